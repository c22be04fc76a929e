#include "forms/bitmap_scaling.h"

namespace kavrio {

namespace {

// The length of [cellBegin, cellEnd) inside [begin, end).
unsigned Overlap(unsigned cellBegin, unsigned cellEnd, unsigned begin, unsigned end) {
  const unsigned low = cellBegin > begin ? cellBegin : begin;
  const unsigned high = cellEnd < end ? cellEnd : end;
  return high > low ? high - low : 0;
}

}  // namespace

// The grid is scaled so that a source pixel is targetSize units wide and a target pixel
// sourceSize units wide: every boundary falls on a whole number. A target pixel's weights add
// up to sourceWidth * sourceHeight, so for pictures up to a few thousand pixels a side the
// sums stay well inside 32 bits.
void ResampleRgb(const std::uint8_t* source, int sourceWidth, int sourceHeight, int sourceStride,
                 std::uint8_t* target, int targetWidth, int targetHeight, int targetStride) {
  if (sourceWidth <= 0 || sourceHeight <= 0 || targetWidth <= 0 || targetHeight <= 0) return;
  const unsigned sw = static_cast<unsigned>(sourceWidth), sh = static_cast<unsigned>(sourceHeight);
  const unsigned tw = static_cast<unsigned>(targetWidth), th = static_cast<unsigned>(targetHeight);
  for (unsigned ty = 0; ty < th; ++ty) {
    const unsigned y0 = ty * sh, y1 = y0 + sh;
    for (unsigned tx = 0; tx < tw; ++tx) {
      const unsigned x0 = tx * sw, x1 = x0 + sw;
      unsigned sum[3] = {0, 0, 0};
      unsigned total = 0;
      for (unsigned sy = y0 / th; sy < sh; ++sy) {
        const unsigned wy = Overlap(sy * th, (sy + 1) * th, y0, y1);
        if (wy == 0) break;
        const std::uint8_t* row = source + sy * static_cast<unsigned>(sourceStride);
        for (unsigned sx = x0 / tw; sx < sw; ++sx) {
          const unsigned wx = Overlap(sx * tw, (sx + 1) * tw, x0, x1);
          if (wx == 0) break;
          const unsigned weight = wx * wy;
          for (unsigned c = 0; c < 3; ++c) sum[c] += weight * row[sx * 3 + c];
          total += weight;
        }
      }
      std::uint8_t* out = target + ty * static_cast<unsigned>(targetStride) + tx * 3;
      for (unsigned c = 0; c < 3; ++c) out[c] = static_cast<std::uint8_t>((sum[c] + total / 2) / total);
    }
  }
}

}  // namespace kavrio
