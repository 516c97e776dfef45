// The time step in one pass over the rows, in place: each row's new values go
// into a small buffer, the row's stomata take their J (computed from the old
// values) in table order, the row's sum and bound contribution are noted
// while the row is still in cache, and the row goes back into p_current once
// the row below no longer needs its old values. Writing into the lines just
// read spares fetching a second grid's lines before writing them, a third
// of the memory traffic; p_next is left alone. Rows may be spread over
// several threads in chunks; the first and last rows of a chunk wait in
// buffers of their own until the chunks beside them are done with their old
// values. Each row is computed the same way whichever thread does it, and
// the per-row results are combined in row order, so the numbers never depend
// on the thread count or on which thread took which rows.
#include "model/time_step.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <thread>
#include <utility>
#include <vector>

#include "model/pinned_ops.h"
#include "model/step/exp_vector.h"
#include "model/step/step_pool.h"
#include "model/step/step_rows.h"
#include "processor_hints.h"  // the target processor's, from the include path

namespace ombrisk {

namespace {

using step_detail::Coefficients;
using step_detail::RowStats;

std::atomic<int> g_step_threads{0};

// Below this many cells a step is too short for handing rows to other threads
// to pay off.
constexpr std::size_t kThreadedCells = 40000;  // 200 x 200 and up
constexpr int kMaxAutoThreads = 4;

// Rows of new values, each laid out like the lattice row it is for (the same
// place within a 64-byte line), so that the row code's aligned octets line
// up in both.
class RowSlots {
 public:
  void reserve(int slots, int cols) {
    stride_ = (static_cast<std::size_t>(cols) + 15) / 8 * 8;
    const std::size_t need = static_cast<std::size_t>(slots) * stride_ + 8;
    if (storage_.size() < need) storage_.resize(need);
  }
  double* slot(int i, const double* like) {
    const auto a = reinterpret_cast<std::uintptr_t>(storage_.data());
    double* base = storage_.data() + ((64 - a % 64) % 64) / sizeof(double);
    return base + static_cast<std::size_t>(i) * stride_ +
           (reinterpret_cast<std::uintptr_t>(like) % 64) / sizeof(double);
  }

 private:
  std::vector<double> storage_;
  std::size_t stride_ = 0;
};

// Kept between steps so that a step allocates nothing once they are big
// enough; one set per calling thread, so separate models may step at once.
struct Scratch {
  std::vector<int> row_start;  // stomata of row r: order[row_start[r] .. row_start[r + 1])
  std::vector<int> order;      // stoma indices by row, in table order within a row
  std::vector<int> order_cell;  // the cell of order[k]: row * cols + column
  std::vector<double> order_j;  // J of order[k]
  std::vector<RowStats> row_stats;
  // Per unit of rows: set by the helper that did it once its J are in
  // order_j.
  std::vector<std::atomic<unsigned char>> unit_done;
  // The rows on either side of each unit boundary that is also a chunk
  // boundary (2u: the row above, 2u + 1: the row below), and per boundary the
  // chunks beside it that are done.
  RowSlots edge_rows;
  std::vector<std::atomic<unsigned char>> edge_done;
  // The table and lattice size the grouping above was made for: a table that
  // has not changed since the last step (the usual case) is not grouped again.
  std::vector<int> sorted_row, sorted_col;
  int sorted_rows = -1, sorted_cols = -1;
};
thread_local Scratch t_scratch;

// The smallest and largest J of a set of stomata, when no J is NaN or zero;
// `plain` false when one may be (then only a scan in table order gives the
// bounds).
struct JRange {
  double lo = 0.0;
  double hi = 0.0;
  bool any = false;
  bool plain = true;

  void add(const double* j, int n) {
    if (n <= 0) return;
    RowStats rs;
    step_detail::row_stats(j, n, true, rs);
    if (rs.lo_resets || rs.hi_resets || rs.lo == 0.0 || rs.hi == 0.0) plain = false;
    if (!any || rs.lo < lo) lo = rs.lo;
    if (!any || rs.hi > hi) hi = rs.hi;
    any = true;
  }
};

struct StepJob {
  double* grid;  // p_current, old values until each row is written back
  int rows;
  int cols;
  Coefficients q;
  const ModelParameters* params;
  const int* order_cell;  // the cell of order[k], row * cols + column
  const int* row_start;
  const int* order;
  double* order_j;
  RowStats* stats;
  bool bounds;
  bool j_bounds;  // whether the step gathers the J bounds
  // Units of rows not yet taken: [front, back) in the low and high halves.
  // The calling thread takes them from the front, helpers from the back, so
  // from step to step each thread keeps mostly the same rows and finds them
  // in its own cache (the cores need not share a last-level cache; taking
  // chunks in turn made every thread read rows the other one had written).
  // On a line of its own, so that taking a chunk does not evict the fields
  // above.
  alignas(64) std::atomic<std::uint64_t> span{0};
  std::thread::id caller;
  std::atomic<unsigned char>* unit_done = nullptr;
  RowSlots* edge_rows = nullptr;
  std::atomic<unsigned char>* edge_done = nullptr;
  // Only the calling thread writes the J table, so that no two threads share
  // its cache lines: after each of its chunks it copies its own J and those
  // of the chunks the helpers have finished since. Its own chunks run from
  // the first row without a gap, the helpers' from the last one; the units
  // [front_copied, back_copied) are still to be copied.
  double* stoma_j = nullptr;
  int front_copied = 0;
  int back_copied = 0;
  // The range of the J copied so far, in table order or not (see
  // copy_j_of_units).
  JRange j_range;
};

// Rows are taken in chunks of up to kChunkUnits units of kRowUnit rows: small
// enough that a thread that starts late still gets a share, large enough
// that the counter is rarely touched.
constexpr int kRowUnit = 4;
constexpr std::uint32_t kChunkUnits = 16;
constexpr int kChunkRows = kRowUnit * static_cast<int>(kChunkUnits);
// A chunk's first and last rows are different rows (a chunk shorter than a
// unit is only ever the last one).
static_assert(kRowUnit >= 2);

// stoma_flux with its two parameter-only terms worked out once per step: the
// same operations on the same values, so the same bits. The exponentials of
// two rows' stomata are taken together, then step_detail::flux_from_exp
// finishes them several at a time. The tests hold the result to stoma_flux
// itself.
struct Flux {
  step_detail::FluxTerms terms;  // Jmax * Jo, Jmax - Jo, Jo
  double pminj;
  double a;
};

// The two rows of new values a thread has on hand: the row being computed
// and the one before it, which goes back into the lattice after it.
thread_local RowSlots t_ring;

void run_rows(const StepJob& job, int r0, int r1, bool above_done, bool below_done) {
  const std::size_t cols = static_cast<std::size_t>(job.cols);
  const ModelParameters& prm = *job.params;
  const step_detail::FluxTerms terms{step_detail::mul_sd(prm.Jmax, prm.Jo),
                                     step_detail::sub_sd(prm.Jmax, prm.Jo), prm.Jo};
  const Flux flux{terms, prm.pminj, prm.a};
  RowSlots& ring = t_ring;
  ring.reserve(2, job.cols);
  // A chunk's first and last rows are also read, with their old values, by
  // the chunks above and below: unless that chunk is already done, they wait
  // in the edge rows (see finish_edge). When it is done, its own edge row
  // there goes into the lattice from here, once this chunk has read it.
  const int u0 = r0 / kRowUnit, u1 = r1 / kRowUnit;
  const bool head = r0 > 0 && !above_done, tail = r1 < job.rows && !below_done;
  const auto written_back = [&](int r) { return !(head && r == r0) && !(tail && r == r1 - 1); };
  const auto buffer = [&](int r) {
    const double* row = job.grid + r * cols;
    if (r == r0 - 1) return job.edge_rows->slot(2 * u0, row);  // the done chunk's last row
    if (head && r == r0) return job.edge_rows->slot(2 * u0 + 1, row);
    if (tail && r == r1 - 1) return job.edge_rows->slot(2 * u1, row);
    return ring.slot(r & 1, row);
  };
// Into the row-ordered scratch, not the table: table neighbours belong to
  // rows that other threads may be doing, and sharing their cache lines would
  // cost more than the step.
  double* j = job.order_j;
  // The scratch lines these rows write were read by the calling thread at the
  // end of the last step; asking for them writable now lets the transfers
  // from its cache overlap the rows' work instead of stalling the stores.
  if (step_detail::write_prefetch_available()) {
    for (int k = job.row_start[r0]; k < job.row_start[r1]; k += 8) {
      step_detail::prefetch_for_write(j + k);
    }
    for (int r = r0; r < r1; r += 2) step_detail::prefetch_for_write(job.stats + r);
  }
  for (int r = r0; r < r1; ++r) {
    double* out = buffer(r);
    // (Row r0 - 1's statistics are done again: the same values.)
    double* prev = r > r0 || above_done ? buffer(r - 1) : nullptr;
    // The statistics of the row before, finished, ride along with this one,
    // and so does its way back into the lattice: row r is the last to need
    // its old values.
    double* home = prev && written_back(r - 1) ? job.grid + (r - 1) * cols : nullptr;
    step_detail::update_row_with_stats(job.grid, job.rows, job.cols, r, job.q, out, prev,
                                       job.bounds, prev ? &job.stats[r - 1] : nullptr, home);
    const int k0 = job.row_start[r], k1 = job.row_start[r + 1];
    if ((r - r0) % 2 == 0) {
      // The J of this row's stomata and the next row's together, from their
      // old values: both rows have just been read, and eight at a time wastes
      // fewer lanes on a longer run.
      const int k2 = job.row_start[std::min(r + 2, r1)];
      step_detail::stoma_exponentials(job.grid, job.order_cell + k0, k2 - k0, flux.pminj, flux.a,
                                      j + k0);
      step_detail::flux_from_exp(j + k0, k2 - k0, flux.terms);
    }
    const int row_cell = r * job.cols;
    for (int k = k0; k < k1; ++k) {
      double& cell = out[job.order_cell[k] - row_cell];
      cell = step_detail::sub_sd(cell, j[k]);
    }
  }
  const double* last = buffer(r1 - 1);
  step_detail::row_stats(last, job.cols, job.bounds, job.stats[r1 - 1]);
  if (written_back(r1 - 1)) {
    std::memcpy(job.grid + (r1 - 1) * cols, last, cols * sizeof(double));
  }
  if (below_done) {
    double* below = job.grid + r1 * cols;
    std::memcpy(below, job.edge_rows->slot(2 * u1 + 1, below), cols * sizeof(double));
  }
}

// A chunk beside the unit boundary u is done; the second one to be done puts
// the two edge rows into the lattice, their old values no longer needed.
void finish_edge(const StepJob& job, int u) {
  if (job.edge_done[u].fetch_add(1, std::memory_order_acq_rel) != 1) return;
  const std::size_t cols = static_cast<std::size_t>(job.cols);
  const std::size_t b = static_cast<std::size_t>(u) * kRowUnit;
  double* above = job.grid + (b - 1) * cols;
  double* below = job.grid + b * cols;
  std::memcpy(above, job.edge_rows->slot(2 * u, above), cols * sizeof(double));
  std::memcpy(below, job.edge_rows->slot(2 * u + 1, below), cols * sizeof(double));
}

// The J of the stomata of units [u0, u1) into the table.
void copy_j_of_units(StepJob& job, int u0, int u1) {
  if (u0 >= u1) return;
  const int k0 = job.row_start[u0 * kRowUnit];
  const int k1 = job.row_start[std::min(u1 * kRowUnit, job.rows)];
  for (int k = k0; k < k1; ++k) job.stoma_j[job.order[k]] = job.order_j[k];
  if (job.j_bounds) job.j_range.add(job.order_j + k0, k1 - k0);
}

// The next chunk from the front or the back as units [u0, u1), or false when
// none is left. Chunks are kChunkUnits long until the two ends near each
// other, then shorter, so that the threads finish close together.
bool take_chunk(StepJob& job, bool front, int& u0, int& u1) {
  std::uint64_t s = job.span.load(std::memory_order_relaxed);
  for (;;) {
    const std::uint32_t f = static_cast<std::uint32_t>(s), b = static_cast<std::uint32_t>(s >> 32);
    if (f >= b) return false;
    const std::uint32_t size = std::clamp<std::uint32_t>((b - f) / 4, 1, kChunkUnits);
    const std::uint64_t n = front ? s + size : s - (std::uint64_t{size} << 32);
    if (job.span.compare_exchange_weak(s, n, std::memory_order_relaxed)) {
      u0 = static_cast<int>(front ? f : b - size);
      u1 = u0 + static_cast<int>(size);
      return true;
    }
  }
}

void run_chunks(void* context) {
  StepJob& job = *static_cast<StepJob*>(context);
  const bool front = std::this_thread::get_id() == job.caller;
  int u0, u1;
  while (take_chunk(job, front, u0, u1)) {
    const int r0 = u0 * kRowUnit, r1 = std::min(u1 * kRowUnit, job.rows);
    // Whether the chunks beside it were done when it started, as run_rows
    // saw it.
    const bool above_done = r0 > 0 && job.edge_done[u0].load(std::memory_order_acquire) == 1;
    const bool below_done =
        r1 < job.rows && job.edge_done[u1].load(std::memory_order_acquire) == 1;
    run_rows(job, r0, r1, above_done, below_done);
    if (r0 > 0 && !above_done) finish_edge(job, u0);
    if (r1 < job.rows && !below_done) finish_edge(job, u1);
    if (!front) {
      for (int u = u0; u < u1; ++u) job.unit_done[u].store(1, std::memory_order_release);
      continue;
    }
    // Copying chunk by chunk shares out the time it takes with the rows.
    copy_j_of_units(job, job.front_copied, u1);
    job.front_copied = u1;
    int back = job.back_copied;
    while (back > job.front_copied && job.unit_done[back - 1].load(std::memory_order_acquire)) {
      --back;
    }
    copy_j_of_units(job, back, job.back_copied);
    job.back_copied = back;
  }
}

int thread_count(int rows, std::size_t cells) {
  int n = g_step_threads.load(std::memory_order_relaxed);
  if (n == 0) {
    static const int hw = static_cast<int>(std::thread::hardware_concurrency());
    n = cells >= kThreadedCells ? std::clamp(hw, 1, kMaxAutoThreads) : 1;
  }
  return std::max(1, std::min(n, (rows + kChunkRows - 1) / kChunkRows));
}

// Stomata grouped by row with a counting sort, table order kept within a row.
// A stoma off the lattice is left out (and keeps its J).
void sort_stomata(const StomaTable& st, int n, int rows, int cols, Scratch& s) {
  const std::size_t bytes = static_cast<std::size_t>(n) * sizeof(int);
  if (rows == s.sorted_rows && cols == s.sorted_cols &&
      s.sorted_row.size() == static_cast<std::size_t>(n) &&
      (n == 0 || (std::memcmp(s.sorted_row.data(), st.stoma_row.data(), bytes) == 0 &&
                  std::memcmp(s.sorted_col.data(), st.stoma_col.data(), bytes) == 0))) {
    return;
  }
  s.sorted_rows = rows;
  s.sorted_cols = cols;
  s.sorted_row.assign(st.stoma_row.begin(), st.stoma_row.begin() + n);
  s.sorted_col.assign(st.stoma_col.begin(), st.stoma_col.begin() + n);
  s.row_start.assign(static_cast<std::size_t>(rows) + 2, 0);
  s.order.resize(static_cast<std::size_t>(n));
  s.order_j.resize(static_cast<std::size_t>(n));
  int* start = s.row_start.data();
  const int* row = st.stoma_row.data();
  const int* col = st.stoma_col.data();
  const auto inside = [&](int i) {
    return static_cast<unsigned>(row[i]) < static_cast<unsigned>(rows) &&
           static_cast<unsigned>(col[i]) < static_cast<unsigned>(cols);
  };
  for (int i = 0; i < n; ++i) {
    if (inside(i)) ++start[row[i] + 2];
  }
  for (int r = 2; r < rows + 2; ++r) start[r] += start[r - 1];
  for (int i = 0; i < n; ++i) {
    if (inside(i)) s.order[start[row[i] + 1]++] = i;
  }
  // start[r] is now where row r begins, start[rows] the end of the last row.
  s.order_cell.resize(static_cast<std::size_t>(n));
  for (int k = 0; k < start[rows]; ++k) s.order_cell[k] = row[s.order[k]] * cols + col[s.order[k]];
}

}  // namespace

void set_step_threads(int count) {
  g_step_threads.store(count < 0 ? 0 : count, std::memory_order_relaxed);
}
int step_threads() { return g_step_threads.load(std::memory_order_relaxed); }

void advance_step(ModelState& m) {
  const ModelParameters& prm = m.params;
  DisplaySettings& d = m.display;
  const int rows = m.rows, cols = m.cols;
  if (rows <= 0 || cols <= 0) return;
  const std::size_t cells = static_cast<std::size_t>(rows) * static_cast<std::size_t>(cols);
  if (m.p_current.values.size() != cells) return;

  m.target_p =
      prm.offset_from_mean == 1 ? step_detail::add_sd(prm.leaf_p, m.mean_p) : prm.leaf_p;

  StomaTable& st = m.stomata;
  const int n = std::max(
      0, std::min({st.stoma_count, static_cast<int>(st.stoma_col.size()),
                   static_cast<int>(st.stoma_row.size()), static_cast<int>(st.stoma_j.size())}));
  Scratch& s = t_scratch;
  sort_stomata(st, n, rows, cols, s);
  if (s.row_stats.size() < static_cast<std::size_t>(rows)) s.row_stats.resize(rows);

  const bool p_bounds = d.auto_p_range == 1;
  const int units = (rows + kRowUnit - 1) / kRowUnit;
  if (s.unit_done.size() < static_cast<std::size_t>(units)) {
    s.unit_done = std::vector<std::atomic<unsigned char>>(static_cast<std::size_t>(units));
  }
  for (int u = 0; u < units; ++u) s.unit_done[u].store(0, std::memory_order_relaxed);
  if (s.edge_done.size() < static_cast<std::size_t>(units) + 1) {
    s.edge_done = std::vector<std::atomic<unsigned char>>(static_cast<std::size_t>(units) + 1);
  }
  for (int u = 0; u <= units; ++u) s.edge_done[u].store(0, std::memory_order_relaxed);
  s.edge_rows.reserve(2 * (units + 1), cols);
  StepJob job{m.p_current.values.data(),
              rows,
              cols,
              Coefficients{prm.kepi, prm.kin, m.target_p},
              &prm,
              s.order_cell.data(),
              s.row_start.data(),
              s.order.data(),
              s.order_j.data(),
              s.row_stats.data(),
              p_bounds,
              d.auto_j_range == 1,
              static_cast<std::uint64_t>(units) << 32,
              std::this_thread::get_id(),
              s.unit_done.data(),
              &s.edge_rows,
              s.edge_done.data(),
              st.stoma_j.data(),
              0,
              units,
              JRange{}};
  step_detail::step_pool().run(thread_count(rows, cells) - 1, run_chunks, &job);
  copy_j_of_units(job, job.front_copied, job.back_copied);

  if (job.j_bounds) {
    // The table is one "row" of J values scanned from (Jmax, 0.0). When every
    // stoma is on the lattice and no J is NaN or zero, the range of the J
    // gives the same bounds; otherwise the scan decides.
    double lo = prm.Jmax, hi = 0.0;
    const int placed = s.row_start[rows];  // stomata on the lattice
    if (placed == n && job.j_range.plain) {
      if (job.j_range.any) {
        step_detail::fold_lower(lo, job.j_range.lo, false);
        step_detail::fold_upper(hi, job.j_range.hi, false);
      }
    } else if (n > 0) {
      RowStats js;
      step_detail::row_stats(st.stoma_j.data(), n, true, js);
      step_detail::fold_lower(lo, js.lo, js.lo_resets);
      step_detail::fold_upper(hi, js.hi, js.hi_resets);
    }
    d.j_display_min = lo;
    d.j_display_max = hi;
  }

  // The mean: row sums (see RowStats) added in row order from 0.0.
  double sum = 0.0;
  for (int r = 0; r < rows; ++r) sum = step_detail::add_sd(sum, s.row_stats[r].sum);
  m.mean_p = step_detail::div_sd(sum, static_cast<double>(m.cell_count));
  if (p_bounds) {
    double lo = kFloatMaxAsDouble, hi = -kFloatMaxAsDouble;
    for (int r = 0; r < rows; ++r) {
      const RowStats& rs = s.row_stats[r];
      step_detail::fold_lower(lo, rs.lo, rs.lo_resets);
      step_detail::fold_upper(hi, rs.hi, rs.hi_resets);
    }
    d.p_display_min = lo;
    d.p_display_max = hi;
  }
}

}  // namespace ombrisk
