#include "ui/png_encoder.h"

#include <libdeflate.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <functional>
#include <memory>
#include <queue>
#include <utility>

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

// Code lengths of a Huffman code for `freq` (zero frequency: no code), none
// longer than `limit`: built with a heap, and with the frequencies halved
// (never to zero) until the longest code fits.
std::vector<int> huffman_lengths(std::vector<std::uint64_t> freq, int limit) {
  const int n = static_cast<int>(freq.size());
  std::vector<int> lengths(n, 0);
  for (;;) {
    // Nodes 0..n-1 are the symbols, later ones the merged pairs.
    std::vector<int> parent(2 * n, -1);
    using Item = std::pair<std::uint64_t, int>;
    std::priority_queue<Item, std::vector<Item>, std::greater<Item>> heap;
    for (int i = 0; i < n; ++i) {
      if (freq[i] > 0) heap.push({freq[i], i});
    }
    int next = n;
    while (heap.size() > 1) {
      const Item a = heap.top();
      heap.pop();
      const Item b = heap.top();
      heap.pop();
      parent[a.second] = parent[b.second] = next;
      heap.push({a.first + b.first, next++});
    }
    int longest = 0;
    for (int i = 0; i < n; ++i) {
      int depth = 0;
      if (freq[i] > 0) {
        for (int node = i; parent[node] >= 0; node = parent[node]) ++depth;
      }
      lengths[i] = depth;
      longest = std::max(longest, depth);
    }
    if (longest <= limit) return lengths;
    for (std::uint64_t& f : freq) {
      if (f > 0) f = std::max<std::uint64_t>(1, f / 2);
    }
  }
}

// The canonical codes of the lengths, bit-reversed as the stream sends them.
std::vector<std::uint32_t> canonical_codes(const std::vector<int>& lengths) {
  std::array<int, 16> count{};
  for (int l : lengths) ++count[static_cast<std::size_t>(l)];
  count[0] = 0;
  std::array<std::uint32_t, 16> next{};
  std::uint32_t code = 0;
  for (int bits = 1; bits < 16; ++bits) {
    code = (code + static_cast<std::uint32_t>(count[static_cast<std::size_t>(bits - 1)])) << 1;
    next[static_cast<std::size_t>(bits)] = code;
  }
  std::vector<std::uint32_t> codes(lengths.size(), 0);
  for (std::size_t i = 0; i < lengths.size(); ++i) {
    const int l = lengths[i];
    if (l == 0) continue;
    const std::uint32_t c = next[static_cast<std::size_t>(l)]++;
    std::uint32_t reversed = 0;
    for (int b = 0; b < l; ++b) reversed |= ((c >> b) & 1u) << (l - 1 - b);
    codes[i] = reversed;
  }
  return codes;
}

// Deflate's bit order: least significant bit first. Writes into room made
// beforehand.
struct BitStream {
  std::uint64_t buffer = 0;
  int filled = 0;  // bits waiting in buffer: below 32 after put, below 8 after put_code
  unsigned char* o = nullptr;

  // Any bits, up to 32.
  void put(std::uint64_t bits, int count) {
    buffer |= bits << filled;
    filled += count;
    if (filled >= 32) {
      for (int k = 0; k < 4; ++k) *o++ = static_cast<unsigned char>(buffer >> (8 * k));
      buffer >>= 32;
      filled -= 32;
    }
  }
  // Writes the whole bytes waiting, so that fewer than 8 bits are left.
  void write_whole_bytes() {
    while (filled >= 8) {
      *o++ = static_cast<unsigned char>(buffer);
      buffer >>= 8;
      filled -= 8;
    }
  }
  // One code (at most 15 bits, fewer than 8 waiting) with no branch: whether
  // a byte is complete follows no pattern, and a mispredicted branch costs
  // more than a store. Needs 8 bytes of room.
  void put_code(std::uint32_t bits, int count) {
    buffer |= static_cast<std::uint64_t>(bits) << filled;
    filled += count;
    static_assert(std::endian::native == std::endian::little, "low bits go first");
    std::memcpy(o, &buffer, sizeof buffer);
    const int whole = filled >> 3;
    o += whole;
    buffer >>= 8 * whole;
    filled &= 7;
  }
};

// A zlib stream of `data` as one deflate block of literals under a Huffman
// code made for them: no search for repeats, so it runs at a few hundred
// megabytes a second, while the filtered rows of a picture (mostly small
// differences) still shrink to a half or so.
void zlib_literals_only(const std::vector<unsigned char>& data, std::vector<unsigned char>& out) {
  constexpr int kEndOfBlock = 256;
  // Four counts per byte value, so that runs of one value do not wait on the
  // same counter.
  std::vector<std::array<std::uint64_t, 4>> counts(256, std::array<std::uint64_t, 4>{});
  const std::size_t n = data.size();
  std::size_t i = 0;
  for (; i + 4 <= n; i += 4) {
    ++counts[data[i]][0];
    ++counts[data[i + 1]][1];
    ++counts[data[i + 2]][2];
    ++counts[data[i + 3]][3];
  }
  for (; i < n; ++i) ++counts[data[i]][0];
  std::vector<std::uint64_t> freq(257, 0);
  for (int v = 0; v < 256; ++v) {
    const auto& c = counts[static_cast<std::size_t>(v)];
    freq[static_cast<std::size_t>(v)] = c[0] + c[1] + c[2] + c[3];
  }
  freq[kEndOfBlock] = 1;
  const std::vector<int> lengths = huffman_lengths(freq, 15);
  const std::vector<std::uint32_t> codes = canonical_codes(lengths);

  // Room for the header (under 200 bytes), codes of at most 15 bits per byte
  // and the 8 bytes put_code may write ahead.
  out.resize(256 + 2 * n + 16);
  BitStream first;
  first.o = out.data();
  *first.o++ = 0x78;  // deflate, 32 KiB window
  *first.o++ = 0x01;  // fastest; check bits make 0x7801 a multiple of 31
  first.put(1, 1);       // the last block
  first.put(2, 2);       // with its own Huffman codes
  first.put(257 - 257, 5);  // literal/length codes: 0..256
  first.put(1 - 1, 5);      // one distance code, unused (length 0)
  first.put(19 - 4, 4);     // all 19 code length codes follow
  // Code length codes: 0..15 each four bits long (a complete code), the
  // repeat codes 16, 17, 18 unused; sent in the format's order.
  static constexpr std::array<int, 19> kOrder = {16, 17, 18, 0, 8,  7, 9,  6, 10, 5,
                                                 11, 4,  12, 3, 13, 2, 14, 1, 15};
  for (int symbol : kOrder) first.put(symbol < 16 ? 4 : 0, 3);
  // The canonical code of 16 four-bit symbols is the symbol itself.
  const auto put_length = [&](int length) {
    std::uint32_t reversed = 0;
    for (int b = 0; b < 4; ++b) reversed |= ((static_cast<std::uint32_t>(length) >> b) & 1u) << (3 - b);
    first.put(reversed, 4);
  };
  for (int length : lengths) put_length(length);
  put_length(0);  // the distance code
  first.write_whole_bytes();

  // Each code waits for the bit count left by the one before it, so the two
  // halves of the data are coded side by side into two streams (twice the
  // work in flight), and the second is then appended to the first at its bit
  // offset, 32 bits at a time.
  thread_local std::vector<unsigned char> second_half;
  second_half.resize(n + 16);
  BitStream second;
  second.o = second_half.data();
  // Copied to the stack: the byte stores below may alias anything, and the
  // vectors' storage would be read again after every one of them.
  std::array<std::uint32_t, 257> code{};
  std::array<int, 257> length{};
  std::copy(codes.begin(), codes.end(), code.begin());
  std::copy(lengths.begin(), lengths.end(), length.begin());
  const std::size_t half = n / 2;
  const unsigned char* a = data.data();
  const unsigned char* b = data.data() + half;
  for (std::size_t k = 0; k < half; ++k) {
    first.put_code(code[a[k]], length[a[k]]);
    second.put_code(code[b[k]], length[b[k]]);
  }
  if (n - half > half) second.put_code(code[b[half]], length[b[half]]);
  const std::size_t second_bytes = static_cast<std::size_t>(second.o - second_half.data());
  std::size_t k = 0;
  for (; k + 4 <= second_bytes; k += 4) {
    const std::uint32_t word = static_cast<std::uint32_t>(second_half[k]) |
                               static_cast<std::uint32_t>(second_half[k + 1]) << 8 |
                               static_cast<std::uint32_t>(second_half[k + 2]) << 16 |
                               static_cast<std::uint32_t>(second_half[k + 3]) << 24;
    first.put(word, 32);
  }
  for (; k < second_bytes; ++k) first.put(second_half[k], 8);
  first.put(second.buffer, second.filled);
  first.put(code[kEndOfBlock], length[kEndOfBlock]);
  first.put(0, 7);  // pads the last byte
  first.write_whole_bytes();
  out.resize(static_cast<std::size_t>(first.o - out.data()));
  put_u32(out, libdeflate_adler32(1, data.data(), data.size()));
}

struct CompressorDeleter {
  void operator()(libdeflate_compressor* c) const { libdeflate_free_compressor(c); }
};

}  // namespace

std::vector<unsigned char> encode_png_rgb(const std::uint32_t* pixels, int width, int height,
                                          std::ptrdiff_t stride, int level) {
  if (pixels == nullptr || width <= 0 || height <= 0) return {};
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

  // Kept between calls, as `raw`.
  thread_local std::vector<unsigned char> literals_only;
  thread_local std::vector<unsigned char> idat;
  const unsigned char* packed_data = nullptr;
  std::size_t packed = 0;
  if (level <= 0) {
    zlib_literals_only(raw, literals_only);
    packed_data = literals_only.data();
    packed = literals_only.size();
  } else {
    const std::unique_ptr<libdeflate_compressor, CompressorDeleter> compressor(
        libdeflate_alloc_compressor(level > 12 ? 12 : level));
    if (!compressor) return {};
    idat.resize(libdeflate_zlib_compress_bound(compressor.get(), raw.size()));
    packed = libdeflate_zlib_compress(compressor.get(), raw.data(), raw.size(), idat.data(),
                                      idat.size());
    packed_data = idat.data();
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
  header.insert(header.end(), {8, 2, 0, 0, 0});  // 8 bits, RGB, deflate, filtered rows, no interlace
  put_chunk(png, "IHDR", header.data(), header.size());
  put_chunk(png, "IDAT", packed_data, packed);
  put_chunk(png, "IEND", nullptr, 0);
  return png;
}

}  // namespace ombrisk
