// Turns a form's twips into pixels at a given DPI, and answers the ordering questions
// (front to back among siblings, focus order) that the form engine needs. Portable.
#pragma once

#include <cstddef>

#include "forms/form_spec.h"

namespace kavrio {

constexpr int kTwipsPerInch = 1440;

// px = twips * dpi / 1440, rounded to the nearest pixel (halves away from zero).
int TwipsToPixels(int twips, int dpi);

struct PixelRect {
  int left, top, width, height;
};

// The control's rectangle in pixels, relative to its container's client origin.
PixelRect ControlPixels(const ControlSpec& control, int dpi);

// The point size in pixels of a font at a DPI, as CreateFont's negative height wants it.
int FontPixelHeight(const FontSpec& font, int dpi);

// The sibling just in front of control `index` (the previous table entry with the same
// container), or -1 when it is the front-most of its siblings.
int SiblingInFront(const FormSpec& form, std::size_t index);

// The control that takes the focus after (or, with `backwards`, before) control `index`, by
// focus order and wrapping round; -1 when the form has no focusable control. Given -1, the
// first (or last) control in focus order.
int NextInFocusOrder(const FormSpec& form, int index, bool backwards);

}  // namespace kavrio
