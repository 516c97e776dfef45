// The PNG writer: the rows packed for the chosen coder, deflated, and set
// in the PNG chunks.
#include "picture/png_encoder.h"

#include <libdeflate.h>

#include <algorithm>
#include <array>
#include <memory>

#include "picture/deflate_literals.h"
#include "picture/png_rows.h"

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

// This thread's compressor at `level`, kept from call to call: a fresh one
// per picture costs its allocation and its tables' page faults each time.
libdeflate_compressor* compressor_at(int level) {
  thread_local std::unique_ptr<libdeflate_compressor, CompressorDeleter> compressor;
  thread_local int compressor_level = -1;
  if (!compressor || compressor_level != level) {
    compressor.reset(libdeflate_alloc_compressor(level));
    compressor_level = compressor ? level : -1;
  }
  return compressor.get();
}

}  // namespace

std::vector<unsigned char> encode_png_rgb(const std::uint32_t* pixels, int width, int height,
                                          std::ptrdiff_t stride, int level) {
  if (pixels == nullptr || width <= 0 || height <= 0) return {};
  // Coded as literals alone, the rows need the filter that turns even areas
  // into runs of zeros. Deflate finds the repeats of whole pixels itself, and
  // on the lattice's grey map its files come out smaller unfiltered.
  const bool literals_only = level <= 0;
  const std::size_t row_bytes = 1 + 3 * static_cast<std::size_t>(width);
  // Kept between calls: a fresh buffer of a few megabytes per frame costs as
  // much in page faults as filling it.
  thread_local std::vector<unsigned char> raw;
  raw.resize(row_bytes * static_cast<std::size_t>(height) + kSubRowSlack);
  for (int y = 0; y < height; ++y) {
    const std::uint32_t* in = pixels + static_cast<std::ptrdiff_t>(y) * stride;
    unsigned char* out = raw.data() + static_cast<std::size_t>(y) * row_bytes;
    if (literals_only) {
      *out = 1;
      sub_row(in, width, out + 1);
    } else {
      *out = 0;
      rgb_row(in, width, out + 1);
    }
  }
  raw.resize(row_bytes * static_cast<std::size_t>(height));

  // Kept between calls, as `raw`.
  thread_local std::vector<unsigned char> packed_bytes;
  std::size_t packed = 0;
  if (literals_only) {
    packed = zlib_literals_only(raw, packed_bytes);
  } else {
    libdeflate_compressor* compressor = compressor_at(std::min(level, 12));
    if (compressor == nullptr) return {};
    packed_bytes.resize(libdeflate_zlib_compress_bound(compressor, raw.size()));
    packed = libdeflate_zlib_compress(compressor, raw.data(), raw.size(), packed_bytes.data(),
                                      packed_bytes.size());
  }
  if (packed == 0) return {};

  std::vector<unsigned char> png;
  png.reserve(packed + 64);
  static constexpr std::array<unsigned char, 8> kSignature = {0x89, 'P', 'N', 'G',
                                                              '\r', '\n', 0x1a, '\n'};
  png.insert(png.end(), kSignature.begin(), kSignature.end());
  std::vector<unsigned char> header;
  put_u32(header, static_cast<std::uint32_t>(width));
  put_u32(header, static_cast<std::uint32_t>(height));
  // 8 bits, RGB, deflate, filter method 0 (a filter type per row), no interlace
  header.insert(header.end(), {8, 2, 0, 0, 0});
  put_chunk(png, "IHDR", header.data(), header.size());
  put_chunk(png, "IDAT", packed_bytes.data(), packed);
  put_chunk(png, "IEND", nullptr, 0);
  return png;
}

}  // namespace ombrisk
