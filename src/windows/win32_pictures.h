// The form pictures: a bitmap resource at its natural size, or smoothly resampled where a
// pixel is not 15 twips.
#pragma once

#include <windows.h>

namespace kavrio {

// A bitmap of resource `id`, `width` x `height` pixels; the caller owns it (DeleteObject).
// nullptr when the resource is missing or unreadable.
HBITMAP LoadFormPicture(HINSTANCE instance, int id, int width, int height);

}  // namespace kavrio
