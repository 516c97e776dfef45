// The writer: header, stoma lines and grid, formatted into one buffer and
// stored in one write.
#include <algorithm>
#include <cstring>
#include <string>

#include "datafile/c_text.h"
#include "datafile/data_file.h"
#include "datafile/file_replace.h"
#include "datafile/fixed_text.h"

namespace ombrisk {

namespace {

// Appends to a string through a raw pointer; the string is sized ahead of
// each batch of values, so the hot loop only stores characters.
class TextBuffer {
 public:
  // Starts `out` afresh with room for `expected` characters.
  TextBuffer(std::string& out, std::size_t expected) : out_(out), used_(0) { out_.resize(expected); }
  ~TextBuffer() { out_.resize(used_); }
  TextBuffer(const TextBuffer&) = delete;
  TextBuffer& operator=(const TextBuffer&) = delete;

  // Room for at least n more characters; returns where to write.
  char* reserve(std::size_t n) {
    if (out_.size() - used_ < n) out_.resize(std::max(out_.size() * 2, used_ + n));
    return out_.data() + used_;
  }
  void commit(const char* end) { used_ = static_cast<std::size_t>(end - out_.data()); }
  void append(const std::string& text) {
    char* p = reserve(text.size());
    std::memcpy(p, text.data(), text.size());
    commit(p + text.size());
  }

 private:
  std::string& out_;
  std::size_t used_;
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
    for (int c = 0; c < cols; ++c) {
      char* end = write_fixed_fast(p, row[c], 4, 8);
      if (end == nullptr) {
        // A huge value: printf prints every integer digit.
        buf.commit(p);
        buf.append(c_format("%8.4f ", row[c]));
        p = buf.reserve(static_cast<std::size_t>(cols - c) * kCell + 1);
        continue;
      }
      *end++ = ' ';
      p = end;
    }
    *p++ = '\n';
    buf.commit(p);
  }
}

}  // namespace

std::string format_data_file(const ModelState& m) {
  const bool grid_ok = m.rows > 0 && m.cols > 0 && m.p_current.rows == m.rows &&
                       m.p_current.cols == m.cols;
  const std::size_t stomata =
      m.stomata.stoma_count > 0 ? static_cast<std::size_t>(m.stomata.stoma_count) : 0;
  const std::size_t cells =
      grid_ok ? static_cast<std::size_t>(m.rows) * static_cast<std::size_t>(m.cols) : 0;
  std::string out;
  {
    // Nine characters per ordinary cell, and room for the widest row, so an
    // ordinary model never has the buffer grow.
    const std::size_t slack = grid_ok ? static_cast<std::size_t>(m.cols) * (kFixedFastMaxChars + 1) : 0;
    TextBuffer buf(out, 1024 + stomata * 36 + cells * 9 + (grid_ok ? m.rows : 0) + slack);
    buf.append(c_format("%i %i %i %i %i\n", m.view_width, m.view_height, m.rows, m.cols, m.step));
    buf.append(c_format("%6.4e %6.4e\n", m.params.kepi, m.params.kin));
    buf.append(c_format("%i %i %5.2f %8.4f %8.4f %8.4f %8.4f %8.4f\n", m.stomata.stoma_count,
                        m.border, m.spacing, m.params.Jmax, m.params.Jo, m.params.a,
                        m.params.pminj, m.params.leaf_p));
    append_stoma_lines(buf, m.stomata);
    if (grid_ok) append_grid(buf, m.p_current, m.rows, m.cols);
  }
  return out;
}

FileError save_data_file(const ModelState& m) {
  const std::string text = format_data_file(m);
  return replace_file_contents(m.data_file_name, text.data(), text.size()) ? FileError::none
                                                                          : FileError::cannot_write;
}

}  // namespace ombrisk
