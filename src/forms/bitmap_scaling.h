// Smooth resampling of a 24-bit picture, used to show the window pictures at DPIs where a
// pixel is not 15 twips. Portable.
#pragma once

#include <cstdint>

namespace kavrio {

// Resamples `source` (sourceWidth x sourceHeight pixels, 3 bytes each, rows of
// sourceStride bytes) into `target` (targetWidth x targetHeight, rows of targetStride bytes).
// Each target pixel is the area-weighted average of the source pixels it covers, so
// enlarging blends neighbours and shrinking keeps every source pixel's share.
void ResampleRgb(const std::uint8_t* source, int sourceWidth, int sourceHeight, int sourceStride,
                 std::uint8_t* target, int targetWidth, int targetHeight, int targetStride);

}  // namespace kavrio
