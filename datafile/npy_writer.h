// NumPy's .npy format for a growing stack of float64 frames: the header is
// written first with room for any frame count and fixed up on close, so the
// file is a valid array of the frames written so far once it is closed, and
// of none before.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>
#include <vector>

namespace ombrisk {

// The header (magic, version 1.0, length, dictionary) of a little-endian
// float64 C-order array of shape (frames, frame_shape...). Its length does not
// depend on `frames` and is a multiple of 64, so the data that follows is
// aligned for memory mapping.
std::string npy_header(std::size_t frames, const std::vector<std::size_t>& frame_shape);

class NpyWriter {
 public:
  NpyWriter() = default;
  ~NpyWriter();
  NpyWriter(const NpyWriter&) = delete;
  NpyWriter& operator=(const NpyWriter&) = delete;

  // Creates or empties `path` and writes the header for no frames yet.
  bool open(const std::string& path, std::vector<std::size_t> frame_shape);
  bool is_open() const { return file_ != nullptr; }

  // One frame of frame_size() doubles, written exactly as little-endian.
  bool append(const double* values);
  std::size_t frames() const { return frames_; }
  std::size_t frame_size() const;

  // Writes the frame count into the header and closes; false when any write
  // since open() failed. Closing a writer that is not open returns true.
  bool close();

 private:
  std::FILE* file_ = nullptr;
  std::vector<std::size_t> frame_shape_;
  std::size_t frames_ = 0;
  bool ok_ = true;
  std::vector<unsigned char> swapped_;  // big-endian hosts only
};

}  // namespace ombrisk
