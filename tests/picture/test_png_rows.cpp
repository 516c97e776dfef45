// PNG rows: the processor's path gives the bytes of the plain loop at every
// width and start in memory, writes nothing past the room it is allowed, and
// both loops give the bytes the filter types define.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

#include "picture/png_rows.h"

using namespace ombrisk;

namespace {

constexpr unsigned char kUntouched = 0xa5;

std::vector<std::uint32_t> random_pixels(std::size_t n, unsigned seed) {
  std::mt19937 gen(seed);
  std::vector<std::uint32_t> pixels(n);
  for (std::uint32_t& p : pixels) p = gen();
  return pixels;
}

}  // namespace

TEST(PngRows, FastPathMatchesPlainAtEveryWidthAndOffset) {
  const std::vector<std::uint32_t> pixels = random_pixels(64 + 8, 7);
  for (int offset = 0; offset < 4; ++offset) {
    for (int width = 1; width <= 64; ++width) {
      const std::uint32_t* in = pixels.data() + offset;
      std::vector<unsigned char> plain(3 * width + kSubRowSlack, kUntouched);
      // One byte before, to write at odd addresses too, and a guard after the room.
      constexpr int kGuard = 8;
      std::vector<unsigned char> fast(1 + 3 * width + kSubRowSlack + kGuard, kUntouched);
      sub_row_plain(in, width, plain.data());
      sub_row(in, width, fast.data() + 1);
      ASSERT_TRUE(std::equal(plain.begin(), plain.begin() + 3 * width, fast.begin() + 1))
          << "width " << width << ", offset " << offset;
      EXPECT_EQ(plain[3 * width], kUntouched) << "the plain loop writes past the row";
      EXPECT_EQ(fast[0], kUntouched);
      EXPECT_TRUE(std::all_of(fast.end() - kGuard, fast.end(),
                              [](unsigned char b) { return b == kUntouched; }))
          << "width " << width << " writes past its room";
    }
  }
}

TEST(PngRows, BytesAreThoseOfTheFilterTypes) {
  const std::uint32_t in[] = {0xff102030u, 0x00112233u, 0x7f0000ffu};
  unsigned char rgb[9];
  rgb_row(in, 3, rgb);
  const unsigned char want_rgb[] = {0x10, 0x20, 0x30, 0x11, 0x22, 0x33, 0x00, 0x00, 0xff};
  EXPECT_TRUE(std::equal(rgb, rgb + 9, want_rgb));

  // Each byte less the one of the pixel to its left, modulo 256, the alpha
  // playing no part; the first pixel less black.
  unsigned char sub[9 + kSubRowSlack];
  sub_row(in, 3, sub);
  const unsigned char want_sub[] = {0x10, 0x20, 0x30, 0x01, 0x02, 0x03, 0xef, 0xde, 0xcc};
  EXPECT_TRUE(std::equal(sub, sub + 9, want_sub));

  // From a pixel on, as the vector path ends with.
  unsigned char tail[3];
  sub_row_plain(in, 3, tail, 2);
  EXPECT_TRUE(std::equal(tail, tail + 3, want_sub + 6));
}
