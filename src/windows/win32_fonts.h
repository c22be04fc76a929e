// Fonts of the forms: the table's face and size at the real DPI, with a substitute where the
// face is missing.
#pragma once

#include <windows.h>

#include "forms/form_spec.h"

namespace kavrio {

// A new font for `spec` at `dpi`; the caller owns it (DeleteObject).
HFONT CreateFormFont(const FontSpec& spec, int dpi);

}  // namespace kavrio
