// The reader: header and stoma lines into a staging copy, checked as a whole,
// then applied to the model in the order the storage rebuild needs.
#include <cmath>
#include <vector>

#include "datafile/data_file.h"
#include "datafile/number_reader.h"

namespace ombrisk {

namespace {

struct StagedFile {
  int view_width = 0, view_height = 0, rows = 0, cols = 0, step = 0;
  double kepi = 0, kin = 0;
  int stoma_count = 0, border = 0;
  double spacing = 0, Jmax = 0, Jo = 0, a = 0, pminj = 0, leaf_p = 0;
  std::vector<int> col, row;
  std::vector<double> j;
};

bool read_header(NumberReader& in, StagedFile& f) {
  return in.read_int(f.view_width) && in.read_int(f.view_height) && in.read_int(f.rows) &&
         in.read_int(f.cols) && in.read_int(f.step) &&
         in.read_double(f.kepi) && in.read_double(f.kin) &&
         in.read_int(f.stoma_count) && in.read_int(f.border) && in.read_double(f.spacing) &&
         in.read_double(f.Jmax) && in.read_double(f.Jo) && in.read_double(f.a) &&
         in.read_double(f.pminj) && in.read_double(f.leaf_p);
}

bool header_acceptable(const StagedFile& f) {
  if (dimension_choice_for_side(f.cols) == 0) return false;
  if (f.rows < 2 || f.rows > kMaxDataFileRows) return false;
  if (f.view_width < kMinViewSize || f.view_width > kMaxViewSize) return false;
  if (f.view_height < kMinViewSize || f.view_height > kMaxViewSize) return false;
  if (f.stoma_count < 0 || f.stoma_count > kMaxStomata) return false;
  for (double v : {f.kepi, f.kin, f.spacing, f.Jmax, f.Jo, f.a, f.pminj, f.leaf_p}) {
    if (!std::isfinite(v)) return false;
  }
  return true;
}

bool read_stomata(NumberReader& in, StagedFile& f) {
  const auto n = static_cast<std::size_t>(f.stoma_count);
  f.col.resize(n);
  f.row.resize(n);
  f.j.resize(n);
  for (std::size_t i = 0; i < n; ++i) {
    if (!(in.read_int(f.col[i]) && in.read_int(f.row[i]) && in.read_double(f.j[i]))) return false;
    if (f.col[i] < 0 || f.col[i] >= f.cols || f.row[i] < 0 || f.row[i] >= f.rows) return false;
  }
  return true;
}

FileError read_file(const std::string& name, StagedFile& f) {
  NumberReader in;
  if (!in.open(name)) return FileError::cannot_find;
  if (!read_header(in, f) || !header_acceptable(f) || !read_stomata(in, f)) {
    return FileError::bad_data;
  }
  return FileError::none;
}

void apply(const StagedFile& f, ModelState& m) {
  // The parameters first: the rebuild's J and J display bounds come from them.
  m.params.kepi = f.kepi;
  m.params.kin = f.kin;
  m.params.Jmax = f.Jmax;
  m.params.Jo = f.Jo;
  m.params.a = f.a;
  m.params.pminj = f.pminj;
  m.params.leaf_p = f.leaf_p;
  m.border = f.border;
  m.spacing = f.spacing;
  m.view_width = f.view_width;
  m.view_height = f.view_height;

  m.stomata.stoma_count = f.stoma_count;
  allocate_stoma_table(m);
  free_lattice(m);
  m.rows = f.rows;
  m.cols = f.cols;
  reset_lattice(m);  // step 0, paused, every p 0, display bounds reset

  m.stomata.stoma_col = f.col;
  m.stomata.stoma_row = f.row;
  m.stomata.stoma_j = f.j;
  m.dimension_choice = dimension_choice_for_side(f.cols);
}

}  // namespace

FileError load_data_file(ModelState& m) {
  m.load_succeeded = 0;
  StagedFile staged;
  const FileError error = read_file(m.data_file_name, staged);
  if (error != FileError::none) return error;
  apply(staged, m);
  m.load_succeeded = 1;
  return FileError::none;
}

}  // namespace ombrisk
