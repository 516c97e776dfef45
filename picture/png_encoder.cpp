#include "picture/png_encoder.h"

#include <libdeflate.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <functional>
#include <immintrin.h>
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
  int filled = 0;  // bits waiting in buffer: below 32 after put, below 8 after flush
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
  // Codes of at most 15 bits each, up to three of them after a flush, with no
  // branch: whether a byte is complete follows no pattern, and a mispredicted
  // branch costs more than a store.
  void add_code(std::uint32_t entry) {  // code | length << 16
    buffer |= static_cast<std::uint64_t>(entry & 0xffffu) << filled;
    filled += static_cast<int>(entry >> 16);
  }
  // Writes the whole bytes waiting; needs 8 bytes of room.
  void flush() {
    static_assert(std::endian::native == std::endian::little, "low bits go first");
    std::memcpy(o, &buffer, sizeof buffer);
    const int whole = filled >> 3;
    o += whole;
    buffer >>= 8 * whole;
    filled &= 7;
  }
};

// The start of a deflate block of literals under the code `lengths` (257
// symbols: the bytes and the end of the block).
void put_block_header(BitStream& s, bool last, const std::array<int, 257>& lengths) {
  s.put(last ? 1 : 0, 1);
  s.put(2, 2);              // with its own Huffman codes
  s.put(257 - 257, 5);      // literal/length codes: 0..256
  s.put(1 - 1, 5);          // one distance code, unused (length 0)
  s.put(19 - 4, 4);         // all 19 code length codes follow
  // Code length codes: 0..15 each four bits long (a complete code), the
  // repeat codes 16, 17, 18 unused; sent in the format's order.
  static constexpr std::array<int, 19> kOrder = {16, 17, 18, 0, 8,  7, 9,  6, 10, 5,
                                                 11, 4,  12, 3, 13, 2, 14, 1, 15};
  for (int symbol : kOrder) s.put(symbol < 16 ? 4 : 0, 3);
  // The canonical code of 16 four-bit symbols is the symbol itself, reversed.
  const auto put_length = [&](int length) {
    std::uint32_t reversed = 0;
    for (int b = 0; b < 4; ++b) {
      reversed |= ((static_cast<std::uint32_t>(length) >> b) & 1u) << (3 - b);
    }
    s.put(reversed, 4);
  };
  for (int length : lengths) put_length(length);
  put_length(0);  // the distance code
}

// A zlib stream of `data` as literals under a Huffman code made for them: no
// search for repeats, so it runs at several hundred megabytes a second, while
// the filtered rows of a picture (mostly small differences) still shrink to
// a half or so.
//
// Each code waits for the bit count left by the one before it, so the data is
// cut into kStreams pieces coded side by side (that much more work in
// flight), each piece a block of its own. Every block but the last is closed
// by an empty stored block, which ends on a byte boundary, so the pieces are
// joined by copying bytes.
std::size_t zlib_literals_only(const std::vector<unsigned char>& data,
                               std::vector<unsigned char>& out) {
  constexpr int kEndOfBlock = 256;
  constexpr int kStreams = 2;
  const std::size_t n = data.size();

  // The code comes from every fourth 64-byte stretch of the data (a picture
  // varies slowly from stretch to stretch), and every byte value gets a code
  // whether it was seen or not, so the code fits any data.
  std::array<std::array<std::uint32_t, 256>, 4> counts{};
  constexpr std::size_t kStretch = 64;
  for (std::size_t start = 0; start < n; start += 4 * kStretch) {
    const std::size_t end = std::min(n, start + kStretch);
    std::size_t i = start;
    for (; i + 4 <= end; i += 4) {
      ++counts[0][data[i]];
      ++counts[1][data[i + 1]];
      ++counts[2][data[i + 2]];
      ++counts[3][data[i + 3]];
    }
    for (; i < end; ++i) ++counts[0][data[i]];
  }
  std::vector<std::uint64_t> freq(257, 1);
  for (std::size_t v = 0; v < 256; ++v) {
    freq[v] += 4 * (std::uint64_t{counts[0][v]} + counts[1][v] + counts[2][v] + counts[3][v]);
  }
  const std::vector<int> code_lengths = huffman_lengths(freq, 15);
  const std::vector<std::uint32_t> codes = canonical_codes(code_lengths);
  std::array<int, 257> lengths{};
  std::array<std::uint32_t, 257> entry{};  // code | length << 16
  for (std::size_t v = 0; v < 257; ++v) {
    lengths[v] = code_lengths[v];
    entry[v] = codes[v] | static_cast<std::uint32_t>(code_lengths[v]) << 16;
  }

  // Each piece gets room for its block header (under 200 bytes), codes of at
  // most 15 bits per byte, its closing and the 8 bytes a flush may write
  // ahead.
  const std::size_t piece = (n + kStreams - 1) / kStreams;
  const std::size_t room = 256 + 2 * piece + 32;
  // Only ever grown: shrinking it would make the next frame clear it again.
  if (out.size() < 2 + kStreams * room + 4) out.resize(2 + kStreams * room + 4);
  std::array<BitStream, kStreams> s;
  std::array<const unsigned char*, kStreams> in{};
  std::array<std::size_t, kStreams> count{};
  for (int k = 0; k < kStreams; ++k) {
    s[k].o = out.data() + 2 + k * room;
    put_block_header(s[k], k == kStreams - 1, lengths);
    s[k].write_whole_bytes();
    const std::size_t from = std::min(n, k * piece);
    in[k] = data.data() + from;
    count[k] = std::min(n, from + piece) - from;
  }
  // Three codes per flush in every piece at once while the shortest piece
  // lasts, then each piece's rest alone.
  const std::size_t together = count[kStreams - 1] / 3 * 3;
  for (std::size_t i = 0; i < together; i += 3) {
    for (int k = 0; k < kStreams; ++k) {
      s[k].add_code(entry[in[k][i]]);
      s[k].add_code(entry[in[k][i + 1]]);
      s[k].add_code(entry[in[k][i + 2]]);
      s[k].flush();
    }
  }
  for (int k = 0; k < kStreams; ++k) {
    for (std::size_t i = together; i < count[k]; ++i) {
      s[k].add_code(entry[in[k][i]]);
      s[k].flush();
    }
    s[k].add_code(entry[kEndOfBlock]);
    s[k].flush();
    if (k < kStreams - 1) {
      s[k].put(0, 3);  // a stored block, not the last
      s[k].put(0, 7);  // to the byte boundary
      s[k].write_whole_bytes();
      // length 0 and its complement
      for (unsigned char b : {0x00, 0x00, 0xff, 0xff}) *s[k].o++ = b;
    } else {
      s[k].put(0, 7);  // pads the last byte
      s[k].write_whole_bytes();
    }
  }
  out[0] = 0x78;  // deflate, 32 KiB window
  out[1] = 0x01;  // fastest; check bits make 0x7801 a multiple of 31
  unsigned char* end = s[0].o;
  for (int k = 1; k < kStreams; ++k) {
    const unsigned char* from = out.data() + 2 + k * room;
    const std::size_t bytes = static_cast<std::size_t>(s[k].o - from);
    std::memmove(end, from, bytes);
    end += bytes;
  }
  const std::uint32_t adler = libdeflate_adler32(1, data.data(), data.size());
  for (int shift = 24; shift >= 0; shift -= 8) *end++ = static_cast<unsigned char>(adler >> shift);
  return static_cast<std::size_t>(end - out.data());
}

// Pixels [x0, x1) of a row as filtered RGB bytes at out (advanced): each
// byte less the same byte of the pixel to the left, which is black left of
// the row.
void put_sub_filtered(const std::uint32_t* in, int x0, int x1, unsigned char*& out) {
  for (int x = x0; x < x1; ++x) {
    const std::uint32_t left = x > 0 ? in[x - 1] : 0;
    for (int shift : {16, 8, 0}) {
      *out++ = static_cast<unsigned char>((in[x] >> shift) - (left >> shift));
    }
  }
}

bool has_ssse3() {
  static const bool yes = __builtin_cpu_supports("ssse3");
  return yes;
}

// As put_sub_filtered from x0 (> 0), four pixels at a time while four are
// left; returns where it stopped. Writes up to 4 bytes past what it fills.
__attribute__((target("ssse3"))) int put_sub_filtered_ssse3(const std::uint32_t* in, int x0,
                                                             int x1, unsigned char*& out) {
  // Bytes B G R A of four pixels to R G B of each.
  const __m128i order = _mm_setr_epi8(2, 1, 0, 6, 5, 4, 10, 9, 8, 14, 13, 12, -1, -1, -1, -1);
  int x = x0;
  for (; x + 4 <= x1; x += 4) {
    const __m128i now = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + x));
    const __m128i left = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + x - 1));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out),
                     _mm_shuffle_epi8(_mm_sub_epi8(now, left), order));
    out += 12;
  }
  return x;
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
  // 16 bytes of room past the last row for the vector stores.
  raw.resize(row_bytes * static_cast<std::size_t>(height) + 16);
  const bool ssse3 = has_ssse3();
  for (int y = 0; y < height; ++y) {
    const std::uint32_t* in = pixels + static_cast<std::ptrdiff_t>(y) * stride;
    unsigned char* out = raw.data() + static_cast<std::size_t>(y) * row_bytes;
    *out++ = 1;
    int x = 0;
    put_sub_filtered(in, x, 1, out);  // the first pixel, less black
    ++x;
    if (ssse3) x = put_sub_filtered_ssse3(in, x, width, out);
    put_sub_filtered(in, x, width, out);
  }
  raw.resize(row_bytes * static_cast<std::size_t>(height));

  // Kept between calls, as `raw`.
  thread_local std::vector<unsigned char> literals_only;
  thread_local std::vector<unsigned char> idat;
  const unsigned char* packed_data = nullptr;
  std::size_t packed = 0;
  if (level <= 0) {
    packed = zlib_literals_only(raw, literals_only);
    packed_data = literals_only.data();
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
  // 8 bits, RGB, deflate, filtered rows, no interlace
  header.insert(header.end(), {8, 2, 0, 0, 0});
  put_chunk(png, "IHDR", header.data(), header.size());
  put_chunk(png, "IDAT", packed_data, packed);
  put_chunk(png, "IEND", nullptr, 0);
  return png;
}

}  // namespace ombrisk
