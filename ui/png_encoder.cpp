#include "ui/png_encoder.h"

#include <libdeflate.h>

#include <array>
#include <memory>

namespace ombrisk {

namespace {

void put_u32(std::vector<unsigned char>& out, std::uint32_t v) {
  out.push_back(static_cast<unsigned char>(v >> 24));
  out.push_back(static_cast<unsigned char>(v >> 16));
  out.push_back(static_cast<unsigned char>(v >> 8));
  out.push_back(static_cast<unsigned char>(v));
}

// Length, type, data and the CRC of type and data.
void put_chunk(std::vector<unsigned char>& out, const char (&type)[5], const unsigned char* data,
               std::size_t size) {
  put_u32(out, static_cast<std::uint32_t>(size));
  const std::size_t type_at = out.size();
  out.insert(out.end(), type, type + 4);
  if (size > 0) out.insert(out.end(), data, data + size);
  put_u32(out, static_cast<std::uint32_t>(
                   libdeflate_crc32(0, out.data() + type_at, size + 4)));
}

struct CompressorDeleter {
  void operator()(libdeflate_compressor* c) const { libdeflate_free_compressor(c); }
};

}  // namespace

std::vector<unsigned char> encode_png_rgb(const std::uint32_t* pixels, int width, int height,
                                          std::ptrdiff_t stride, int level) {
  if (pixels == nullptr || width <= 0 || height <= 0) return {};
  const std::unique_ptr<libdeflate_compressor, CompressorDeleter> compressor(
      libdeflate_alloc_compressor(level < 1 ? 1 : (level > 12 ? 12 : level)));
  if (!compressor) return {};

  // Each row: filter type 1 (each byte less the same byte of the pixel to its
  // left), which turns the picture's even areas into runs of zeros.
  const std::size_t row_bytes = 1 + 3 * static_cast<std::size_t>(width);
  // Kept between calls: a fresh buffer of a few megabytes per frame costs as
  // much in page faults as the filtering itself.
  thread_local std::vector<unsigned char> raw;
  raw.resize(row_bytes * static_cast<std::size_t>(height));
  for (int y = 0; y < height; ++y) {
    const std::uint32_t* in = pixels + static_cast<std::ptrdiff_t>(y) * stride;
    unsigned char* out = raw.data() + static_cast<std::size_t>(y) * row_bytes;
    *out++ = 1;
    unsigned r0 = 0, g0 = 0, b0 = 0;
    for (int x = 0; x < width; ++x) {
      const unsigned r = (in[x] >> 16) & 0xffu, g = (in[x] >> 8) & 0xffu, b = in[x] & 0xffu;
      out[0] = static_cast<unsigned char>(r - r0);
      out[1] = static_cast<unsigned char>(g - g0);
      out[2] = static_cast<unsigned char>(b - b0);
      out += 3;
      r0 = r;
      g0 = g;
      b0 = b;
    }
  }

  thread_local std::vector<unsigned char> idat;
  idat.resize(libdeflate_zlib_compress_bound(compressor.get(), raw.size()));
  const std::size_t packed =
      libdeflate_zlib_compress(compressor.get(), raw.data(), raw.size(), idat.data(), idat.size());
  if (packed == 0) return {};

  std::vector<unsigned char> png;
  png.reserve(packed + 64);
  static constexpr std::array<unsigned char, 8> kSignature = {0x89, 'P', 'N', 'G',
                                                              '\r', '\n', 0x1a, '\n'};
  png.insert(png.end(), kSignature.begin(), kSignature.end());
  std::vector<unsigned char> header;
  put_u32(header, static_cast<std::uint32_t>(width));
  put_u32(header, static_cast<std::uint32_t>(height));
  header.insert(header.end(), {8, 2, 0, 0, 0});  // 8 bits, RGB, deflate, filtered rows, no interlace
  put_chunk(png, "IHDR", header.data(), header.size());
  put_chunk(png, "IDAT", idat.data(), packed);
  put_chunk(png, "IEND", nullptr, 0);
  return png;
}

}  // namespace ombrisk
