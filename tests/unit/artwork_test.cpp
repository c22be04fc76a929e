// The committed artwork, read as Windows loads it: the picture bitmaps and the
// launcher icon, their headers, and enough of their pixels to show real art.
#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes ReadResource(const char* name) {
  std::ifstream file(std::string(KAVRIO_SOURCE_DIR "/src/resources/") + name, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

std::uint32_t U16(const Bytes& b, std::size_t at) { return b.at(at) | b.at(at + 1) << 8; }
std::int32_t I32(const Bytes& b, std::size_t at) {
  return static_cast<std::int32_t>(U16(b, at) | U16(b, at + 2) << 16);
}

constexpr int kWidth = 122, kHeight = 262, kStride = 124;  // rows padded to 4 bytes
constexpr std::size_t kPixelOffset = 14 + 40 + 256 * 4;

class ArtworkPicture : public testing::TestWithParam<const char*> {};

TEST_P(ArtworkPicture, HeadersDescribeAnUncompressedBottomUp8BitImage) {
  const Bytes bmp = ReadResource(GetParam());
  ASSERT_EQ(bmp.size(), kPixelOffset + kStride * kHeight);
  EXPECT_EQ(bmp[0], 'B');
  EXPECT_EQ(bmp[1], 'M');
  EXPECT_EQ(I32(bmp, 2), static_cast<std::int32_t>(bmp.size()));  // bfSize
  EXPECT_EQ(I32(bmp, 10), static_cast<std::int32_t>(kPixelOffset));
  EXPECT_EQ(I32(bmp, 14), 40);       // BITMAPINFOHEADER
  EXPECT_EQ(I32(bmp, 18), kWidth);
  EXPECT_EQ(I32(bmp, 22), kHeight);  // positive: bottom-up
  EXPECT_EQ(U16(bmp, 26), 1u);
  EXPECT_EQ(U16(bmp, 28), 8u);
  EXPECT_EQ(I32(bmp, 30), 0);        // BI_RGB
  const std::int32_t image_size = I32(bmp, 34);
  EXPECT_TRUE(image_size == 0 || image_size == kStride * kHeight) << image_size;
  EXPECT_EQ(I32(bmp, 46), 256);      // biClrUsed
  for (int row = 0; row < kHeight; ++row) {
    const std::size_t pad = kPixelOffset + row * kStride + kWidth;
    EXPECT_EQ(bmp[pad] | bmp[pad + 1], 0) << "padding of row " << row;
  }
}

TEST_P(ArtworkPicture, IsDrawnArtWithTheDarkBlueWordmarkCentredAtItsFoot) {
  const Bytes bmp = ReadResource(GetParam());
  ASSERT_EQ(bmp.size(), kPixelOffset + kStride * kHeight);
  auto index_at = [&](int x, int y) { return bmp[kPixelOffset + (kHeight - 1 - y) * kStride + x]; };
  auto is_dark_blue = [&](int index) {
    const std::uint8_t b = bmp[54 + 4 * index], g = bmp[55 + 4 * index], r = bmp[56 + 4 * index];
    return b >= 80 && r < 60 && g < 80 && b > g + 30;
  };
  std::set<int> indices_used;
  int wordmark_pixels = 0, wordmark_x_sum = 0, dark_blue_above_foot = 0;
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      const int index = index_at(x, y);
      indices_used.insert(index);
      if (!is_dark_blue(index)) continue;
      if (y >= kHeight - 24) {
        ++wordmark_pixels;
        wordmark_x_sum += x;
      } else {
        ++dark_blue_above_foot;
      }
    }
  }
  // Smooth shading over many tints, not a few flat blocks.
  EXPECT_GE(indices_used.size(), 128u);
  // "Kavrio" at 8 to 12 px high takes a few hundred pixels.
  EXPECT_GE(wordmark_pixels, 120);
  EXPECT_LE(wordmark_pixels, 600);
  ASSERT_GT(wordmark_pixels, 0);
  EXPECT_NEAR(static_cast<double>(wordmark_x_sum) / wordmark_pixels, kWidth / 2.0, 4.0);
  EXPECT_LT(dark_blue_above_foot, wordmark_pixels / 4) << "the wordmark belongs at the foot";
}

INSTANTIATE_TEST_SUITE_P(Artwork, ArtworkPicture, testing::Values("principal.bmp", "aplicacao.bmp"));

// One 32 x 32 entry: ICONDIR (6 bytes), ICONDIRENTRY (16), then the image.
TEST(ArtworkIcon, DirectoryAndImageAreOne32x32TrueColourIconWithMask) {
  const Bytes ico = ReadResource("kavrio.ico");
  ASSERT_GE(ico.size(), 22u);
  EXPECT_EQ(U16(ico, 0), 0u);
  EXPECT_EQ(U16(ico, 2), 1u);  // icon, not cursor
  EXPECT_EQ(U16(ico, 4), 1u);  // one image
  EXPECT_EQ(ico[6], 32);
  EXPECT_EQ(ico[7], 32);
  EXPECT_EQ(ico[8], 0);        // no palette
  EXPECT_EQ(U16(ico, 12), 24u);
  constexpr std::size_t kImage = 40 + 32 * 32 * 3 + 32 * 4;  // header, XOR, AND mask
  EXPECT_EQ(static_cast<std::size_t>(I32(ico, 14)), kImage);
  ASSERT_EQ(I32(ico, 18), 22);
  ASSERT_EQ(ico.size(), 22 + kImage);
  EXPECT_EQ(I32(ico, 22), 40);
  EXPECT_EQ(I32(ico, 26), 32);
  EXPECT_EQ(I32(ico, 30), 64);  // XOR and AND stacked
  EXPECT_EQ(U16(ico, 34), 1u);
  EXPECT_EQ(U16(ico, 36), 24u);
  EXPECT_EQ(I32(ico, 38), 0);
}

TEST(ArtworkIcon, MaskCutsOutARoundBlueButtonAroundAGreenArrow) {
  const Bytes ico = ReadResource("kavrio.ico");
  ASSERT_EQ(ico.size(), 22u + 40 + 32 * 32 * 3 + 32 * 4);
  constexpr std::size_t kXor = 22 + 40, kAnd = kXor + 32 * 32 * 3;
  auto transparent = [&](int x, int y) { return (ico[kAnd + (31 - y) * 4 + x / 8] >> (7 - x % 8) & 1) != 0; };
  auto pixel = [&](int x, int y) { return &ico[kXor + ((31 - y) * 32 + x) * 3]; };  // B, G, R
  const struct { int x, y; bool transparent; } cases[] = {
      {0, 0, true}, {31, 0, true}, {0, 31, true}, {31, 31, true}, {16, 0, true},
      {16, 16, false}, {3, 16, false}, {28, 16, false}, {16, 3, false}, {16, 28, false}};
  for (const auto& c : cases) EXPECT_EQ(transparent(c.x, c.y), c.transparent) << c.x << "," << c.y;

  int opaque = 0, blue = 0;
  for (int y = 0; y < 32; ++y) {
    for (int x = 0; x < 32; ++x) {
      const std::uint8_t* bgr = pixel(x, y);
      if (transparent(x, y)) {
        EXPECT_EQ(bgr[0] | bgr[1] | bgr[2], 0) << "screen must show through at " << x << "," << y;
        continue;
      }
      ++opaque;
      if (bgr[0] > bgr[1] && bgr[0] > bgr[2]) ++blue;
    }
  }
  EXPECT_NEAR(opaque, 735, 40);  // a disc of radius about 15 px
  EXPECT_GT(blue, opaque / 2);
  const std::uint8_t* arrow = pixel(19, 16);
  EXPECT_TRUE(arrow[1] > arrow[0] + 40 && arrow[1] > arrow[2]) << "lime arrow at the centre";
}

}  // namespace
