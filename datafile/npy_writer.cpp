#include "datafile/npy_writer.h"

#include <bit>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <limits>

namespace ombrisk {

namespace {

std::string shape_dictionary(std::size_t frames, const std::vector<std::size_t>& frame_shape) {
  std::string dict = "{'descr': '<f8', 'fortran_order': False, 'shape': (";
  dict.append(std::to_string(frames)).append(",");
  for (std::size_t i = 0; i < frame_shape.size(); ++i) {
    if (i > 0) dict.append(",");
    dict.append(" ").append(std::to_string(frame_shape[i]));
  }
  dict.append("), }");
  return dict;
}

constexpr std::size_t kPreambleSize = 10;  // magic 6, version 2, length 2
constexpr std::size_t kAlignment = 64;

namespace fs = std::filesystem;

// An earlier file of that name is removed, not emptied: a reader that still
// has its arrays mapped (numpy's mmap_mode) keeps them, where emptying would
// cut the pages from under it. Through a symbolic link the file it names is
// removed, and the link stays. When the file cannot be removed, opening it
// empties it as before.
void remove_earlier_arrays(const std::string& path) {
  std::error_code ec;
  const fs::path target = fs::canonical(path, ec);
  if (!ec && fs::is_regular_file(target, ec)) fs::remove(target, ec);
}

}  // namespace

std::string npy_header(std::size_t frames, const std::vector<std::size_t>& frame_shape) {
  // Sized for the widest count, so the fixed-up header takes the same room.
  const std::size_t widest =
      shape_dictionary(std::numeric_limits<std::size_t>::max(), frame_shape).size();
  const std::size_t total = (kPreambleSize + widest + 1 + kAlignment - 1) / kAlignment * kAlignment;
  const std::size_t length = total - kPreambleSize;
  std::string dict = shape_dictionary(frames, frame_shape);
  dict.append(length - 1 - dict.size(), ' ');
  dict += '\n';
  std::string header("\x93NUMPY\x01\x00", 8);
  header += static_cast<char>(length & 0xff);
  header += static_cast<char>((length >> 8) & 0xff);
  return header + dict;
}

NpyWriter::~NpyWriter() { close(); }

std::size_t NpyWriter::frame_size() const {
  std::size_t n = 1;
  for (std::size_t d : frame_shape_) n *= d;
  return n;
}

bool NpyWriter::open(const std::string& path, std::vector<std::size_t> frame_shape) {
  close();
  frame_shape_ = std::move(frame_shape);
  frames_ = 0;
  ok_ = true;
  remove_earlier_arrays(path);
  file_ = std::fopen(path.c_str(), "wb");
  if (file_ == nullptr) return false;
  const std::string header = npy_header(0, frame_shape_);
  ok_ = std::fwrite(header.data(), 1, header.size(), file_) == header.size();
  return ok_;
}

bool NpyWriter::append(const double* values) {
  if (file_ == nullptr) return false;
  const std::size_t n = frame_size();
  if constexpr (std::endian::native == std::endian::little) {
    ok_ = ok_ && std::fwrite(values, sizeof(double), n, file_) == n;
  } else {
    swapped_.resize(n * sizeof(double));
    for (std::size_t i = 0; i < n; ++i) {
      std::uint64_t bits;
      std::memcpy(&bits, &values[i], sizeof bits);
      for (int b = 0; b < 8; ++b) swapped_[i * 8 + b] = static_cast<unsigned char>(bits >> (8 * b));
    }
    ok_ = ok_ && std::fwrite(swapped_.data(), 1, swapped_.size(), file_) == swapped_.size();
  }
  if (ok_) ++frames_;
  return ok_;
}

bool NpyWriter::close() {
  if (file_ == nullptr) return true;
  const std::string header = npy_header(frames_, frame_shape_);
  bool ok = ok_ && std::fflush(file_) == 0 && std::fseek(file_, 0, SEEK_SET) == 0 &&
            std::fwrite(header.data(), 1, header.size(), file_) == header.size();
  ok = std::fclose(file_) == 0 && ok;
  file_ = nullptr;
  return ok;
}

}  // namespace ombrisk
