// The one record of the lattice model and the operations that build and
// release its storage. Plain data: the window, the batch runner and the tests
// each make their own instance and pass it by reference.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace ombrisk {

// The largest single-precision value, held as a double: the "nothing seen yet"
// start of the bound searches.
inline constexpr double kFloatMaxAsDouble = 3.4028234663852886e38;

inline constexpr int kMaxStomata = 20000;

// Radio-button ids of the five lattice sizes; `dimension_choice` holds one.
inline constexpr int kDimension50 = 1018;
inline constexpr int kDimension100 = 1019;
inline constexpr int kDimension200 = 1020;
inline constexpr int kDimension400 = 1021;
inline constexpr int kDimension800 = 1022;

// Side of the lattice for a dimension choice id, or 0 for an unknown id.
int dimension_side(int dimension_choice);
// Dimension choice id for a lattice side, or 0 when the side is not one of the five.
int dimension_choice_for_side(int side);

// `rows` x `cols` doubles in one block, addressed [row][column].
struct PGrid {
  int rows = 0;
  int cols = 0;
  std::vector<double> values;

  double* operator[](int r) { return values.data() + static_cast<std::size_t>(r) * cols; }
  const double* operator[](int r) const {
    return values.data() + static_cast<std::size_t>(r) * cols;
  }
  bool empty() const { return values.empty(); }
};

struct ModelParameters {
  double kepi = 0.1;
  double kin = 0.01;
  double Jmax = 1.0;
  double Jo = 0.01;
  double a = 1.0;
  double pminj = -10.0;
  double leaf_p = 0.0;
  int offset_from_mean = 0;
};

// Parallel arrays, each with `stoma_count` entries. Stoma i sits on cell
// [stoma_row[i]][stoma_col[i]].
struct StomaTable {
  int stoma_count = 10;
  std::vector<int> stoma_col;
  std::vector<int> stoma_row;
  std::vector<double> stoma_j;
  std::vector<int> backup_col;
  std::vector<int> backup_row;
};

struct DisplaySettings {
  unsigned int timer_interval_ms = 500;
  int display_interval = 1;
  double p_display_min = -5.0;
  double p_display_max = 0.0;
  int auto_p_range = 1;
  double j_display_min = 0.0;
  double j_display_max = 1.0;
  int auto_j_range = 1;
};

struct ModelState {
  int rows = 100;
  int cols = 100;
  int cell_count = 10000;
  PGrid p_current;
  PGrid p_next;
  int step = 0;

  ModelParameters params;
  double target_p = 0.0;
  double mean_p = 0.0;

  StomaTable stomata;
  double spacing = 1.0;
  int border = 1;

  DisplaySettings display;

  int view_width = 800;
  int view_height = 800;
  int dimension_choice = kDimension100;
  std::string data_file_name = "output.dat";
  int saved_border = 1;
  double saved_spacing = 1.0;

  // Run flags, 0 or 1. `full_speed` is shared with the full-speed worker:
  // the window accesses it through std::atomic_ref.
  int paused = 1;
  int full_speed = 0;
  int dialog_accepted = 0;
  int load_succeeded = 0;
};

inline constexpr std::size_t kMaxDataFileNameLength = 259;

// J(p) = Jmax*Jo / (exp(-(p - pminj)*a) * (Jmax - Jo) + Jo).
double stoma_flux(const ModelParameters& params, double p);

// Builds grids for the present rows, cols and stoma_count and returns the model
// to step 0, paused, every p 0, display bounds reset.
void reset_lattice(ModelState& m);

// Releases both grids.
void free_lattice(ModelState& m);

// Replaces the five stoma arrays with arrays of `stoma_count` entries. New
// positions are cell (column 0, row 0), inside every lattice, so a table that
// placement could not fill still holds only valid cells; every new J is
// stoma_flux(0).
void allocate_stoma_table(ModelState& m);

// The fixed placement written at start-up (fits the 100 x 100 lattice).
inline constexpr int kStartupStomaCount = 10;
inline constexpr int kStartupStomaCol[kStartupStomaCount] = {10, 10, 20, 30, 50,
                                                             60, 60, 80, 80, 80};
inline constexpr int kStartupStomaRow[kStartupStomaCount] = {20, 60, 40, 80, 30,
                                                             40, 70, 20, 40, 70};
void place_startup_stomata(ModelState& m);

// Start values, reset_lattice, allocate_stoma_table, the ten start-up stomata.
// Leaves the generator alone: the caller seeds it.
void start_up_model(ModelState& m);

// True when every stoma lies on a cell of the lattice and the arrays match
// `stoma_count`.
bool stomata_inside_lattice(const ModelState& m);

}  // namespace ombrisk
