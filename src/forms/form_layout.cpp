#include "forms/form_layout.h"

namespace kavrio {

namespace {

// Twips times DPI stays far inside int for any real window (8295 twips at 960 dpi is 8
// million), so no 64-bit division is needed.
int RoundedDivide(int numerator, int denominator) {
  const int half = denominator / 2;
  return numerator >= 0 ? (numerator + half) / denominator : -((-numerator + half) / denominator);
}

}  // namespace

int TwipsToPixels(int twips, int dpi) {
  return RoundedDivide(twips * dpi, kTwipsPerInch);
}

PixelRect ControlPixels(const ControlSpec& control, int dpi) {
  return {TwipsToPixels(control.left, dpi), TwipsToPixels(control.top, dpi),
          TwipsToPixels(control.width, dpi), TwipsToPixels(control.height, dpi)};
}

int FontPixelHeight(const FontSpec& font, int dpi) {
  // Points are 1/72 inch: pixels = points * dpi / 72.
  return RoundedDivide(font.hundredthsOfPoint * dpi, 72 * 100);
}

int SiblingInFront(const FormSpec& form, std::size_t index) {
  for (std::size_t i = index; i-- > 0;) {
    if (form.controls[i].container == form.controls[index].container) return static_cast<int>(i);
  }
  return -1;
}

int NextInFocusOrder(const FormSpec& form, int index, bool backwards) {
  const int current = index >= 0 ? form.controls[index].focusOrder : (backwards ? 1 << 30 : 0);
  int best = -1, wrap = -1;
  for (std::size_t i = 0; i < form.controlCount; ++i) {
    const int order = form.controls[i].focusOrder;
    if (order == kNoFocus) continue;
    const int candidate = static_cast<int>(i);
    const bool beyond = backwards ? order < current : order > current;
    if (beyond && (best < 0 || (backwards ? order > form.controls[best].focusOrder
                                          : order < form.controls[best].focusOrder))) {
      best = candidate;
    }
    if (wrap < 0 || (backwards ? order > form.controls[wrap].focusOrder
                               : order < form.controls[wrap].focusOrder)) {
      wrap = candidate;
    }
  }
  return best >= 0 ? best : wrap;
}

}  // namespace kavrio
