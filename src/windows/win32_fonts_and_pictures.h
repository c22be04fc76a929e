// What the form engine makes for a control at the real DPI: its font, with a substitute where
// the table's face is missing (win32_fonts.cpp), and its picture, a bitmap resource at its
// natural size or smoothly resampled where a pixel is not 15 twips (win32_pictures.cpp).
#pragma once

#include <windows.h>

#include "forms/form_spec.h"

namespace kavrio {

// A new font for `spec` at `dpi`; the caller owns it (DeleteObject).
HFONT CreateFormFont(const FontSpec& spec, int dpi);

// A bitmap of resource `id`, `width` x `height` pixels; the caller owns it (DeleteObject).
// nullptr when the resource is missing or unreadable.
HBITMAP LoadFormPicture(HINSTANCE instance, int id, int width, int height);

}  // namespace kavrio
