// The writer: header, stoma lines and grid formatted into a buffer, which
// either becomes the whole text or is passed to the file a chunk at a time.
#include <algorithm>
#include <cstring>
#include <string>

#include "datafile/c_text.h"
#include "datafile/data_file.h"
#include "datafile/file_replace.h"
#include "datafile/fixed_text.h"

namespace ombrisk {

namespace {

// Formatted text goes straight into the buffer through a raw pointer: room is
// made ahead of each batch of values, so the hot loop only stores characters.
// Without a file the buffer grows to hold the whole text; with one, a full
// buffer is written out and reused.
class TextBuffer {
 public:
  TextBuffer(std::string& storage, std::size_t initial, FileReplacement* file)
      : storage_(storage), file_(file) {
    storage_.resize(initial);
  }
  TextBuffer(const TextBuffer&) = delete;
  TextBuffer& operator=(const TextBuffer&) = delete;

  // Room for at least n more characters; returns where to write.
  char* reserve(std::size_t n) {
    if (storage_.size() - used_ < n) {
      if (file_ != nullptr) flush();
      if (storage_.size() - used_ < n) storage_.resize(std::max(storage_.size() * 2, used_ + n));
    }
    return storage_.data() + used_;
  }
  void commit(const char* end) { used_ = static_cast<std::size_t>(end - storage_.data()); }
  void append(const std::string& text) {
    char* p = reserve(text.size());
    std::memcpy(p, text.data(), text.size());
    commit(p + text.size());
  }
  // Writes out what is left, or trims the text to what was written.
  void finish() {
    if (file_ != nullptr) {
      flush();
    } else {
      storage_.resize(used_);
    }
  }

 private:
  void flush() {
    file_->write(storage_.data(), used_);
    used_ = 0;
  }

  std::string& storage_;
  FileReplacement* file_;
  std::size_t used_ = 0;
};

void append_fixed(TextBuffer& buf, double value, int precision, int width) {
  char* p = buf.reserve(kFixedFastMaxChars);
  if (char* end = write_fixed_fast(p, value, precision, width)) {
    buf.commit(end);
  } else {
    buf.append(c_format("%*.*f", width, precision, value));
  }
}

void append_stoma_lines(TextBuffer& buf, const StomaTable& st) {
  for (int i = 0; i < st.stoma_count; ++i) {
    char* p = buf.reserve(2 * 12);
    p = write_int(p, st.stoma_col[i]);
    *p++ = ' ';
    p = write_int(p, st.stoma_row[i]);
    *p++ = ' ';
    buf.commit(p);
    append_fixed(buf, st.stoma_j[i], 9, 11);
    p = buf.reserve(1);
    *p++ = '\n';
    buf.commit(p);
  }
}

// Each value as "%8.4f ", a line end after each row.
void append_grid(TextBuffer& buf, const PGrid& grid, int rows, int cols) {
  constexpr std::size_t kCell = kFixedFastMaxChars + 1;
  for (int r = 0; r < rows; ++r) {
    const double* row = grid[r];
    char* p = buf.reserve(static_cast<std::size_t>(cols) * kCell + 1);
    for (int c = 0; (c += write_cell_row(p, row + c, cols - c)) < cols; ++c) {
      // A huge value: printf prints every integer digit.
      buf.commit(p);
      buf.append(c_format("%8.4f ", row[c]));
      p = buf.reserve(static_cast<std::size_t>(cols - c) * kCell + 1);
    }
    *p++ = '\n';
    buf.commit(p);
  }
}

bool grid_matches(const ModelState& m) {
  return m.rows > 0 && m.cols > 0 && m.p_current.rows == m.rows && m.p_current.cols == m.cols;
}

void write_model(const ModelState& m, TextBuffer& buf) {
  buf.append(c_format("%i %i %i %i %i\n", m.view_width, m.view_height, m.rows, m.cols, m.step));
  buf.append(c_format("%6.4e %6.4e\n", m.params.kepi, m.params.kin));
  buf.append(c_format("%i %i %5.2f %8.4f %8.4f %8.4f %8.4f %8.4f\n", m.stomata.stoma_count,
                      m.border, m.spacing, m.params.Jmax, m.params.Jo, m.params.a,
                      m.params.pminj, m.params.leaf_p));
  append_stoma_lines(buf, m.stomata);
  if (grid_matches(m)) append_grid(buf, m.p_current, m.rows, m.cols);
  buf.finish();
}

}  // namespace

std::string format_data_file(const ModelState& m) {
  const std::size_t stomata =
      m.stomata.stoma_count > 0 ? static_cast<std::size_t>(m.stomata.stoma_count) : 0;
  std::size_t grid = 0;
  if (grid_matches(m)) {
    // Nine characters per ordinary cell, and room for the widest row, so an
    // ordinary model never has the buffer grow.
    const auto rows = static_cast<std::size_t>(m.rows);
    const auto cols = static_cast<std::size_t>(m.cols);
    grid = rows * (cols * 9 + 1) + cols * (kFixedFastMaxChars + 1);
  }
  std::string out;
  TextBuffer buf(out, 1024 + stomata * 36 + grid, nullptr);
  write_model(m, buf);
  return out;
}

FileError save_data_file(const ModelState& m) {
  FileReplacement file(m.data_file_name);
  if (!file.ok()) return FileError::cannot_write;
  // Chunks small enough to stay in the cache while they are written out.
  std::string chunk;
  TextBuffer buf(chunk, 512 * 1024, &file);
  write_model(m, buf);
  return file.commit() ? FileError::none : FileError::cannot_write;
}

}  // namespace ombrisk
