// The time step in one pass over the rows: each row's new values go into
// p_next, the row's stomata take their J (computed from p_current) in table
// order, and the row's sum and bound contribution are noted while the row is
// still in cache. Then p_current and p_next swap places: p_next holds stale
// values until the next step overwrites every cell. Rows may be spread over
// several threads; each row is computed the same way whichever thread does
// it, and the per-row results are combined in row order, so the numbers never
// depend on the thread count or on which thread took which rows.
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

#include "model/exp_vector.h"
#include "model/step_pool.h"
#include "model/step_rows.h"

namespace ombrisk {

namespace {

using step_detail::Coefficients;
using step_detail::RowStats;

std::atomic<int> g_step_threads{0};

// Below this many cells a step is too short for handing rows to other threads
// to pay off.
constexpr std::size_t kThreadedCells = 40000;  // 200 x 200 and up
constexpr int kMaxAutoThreads = 4;

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
  const double* cur;
  double* next;
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
constexpr std::uint32_t kChunkUnits = 4;
constexpr int kChunkRows = kRowUnit * static_cast<int>(kChunkUnits);

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

// PREFETCHW, which every processor with AVX-512 has (GCC emits a read
// prefetch for __builtin_prefetch(p, 1) unless built for such a processor).
bool has_prefetchw() {
  static const bool yes = __builtin_cpu_supports("avx512f");
  return yes;
}
inline void prefetch_for_write(const void* p) {
  asm volatile("prefetchw %0" : : "m"(*static_cast<const char*>(p)));
}

void run_rows(const StepJob& job, int r0, int r1) {
  const std::size_t cols = static_cast<std::size_t>(job.cols);
  const ModelParameters& prm = *job.params;
  const Flux flux{{prm.Jmax * prm.Jo, prm.Jmax - prm.Jo, prm.Jo}, prm.pminj, prm.a};
  // Into the row-ordered scratch, not the table: table neighbours belong to
  // rows that other threads may be doing, and sharing their cache lines would
  // cost more than the step.
  double* j = job.order_j;
  // The scratch lines these rows write were read by the calling thread at the
  // end of the last step; asking for them writable now lets the transfers
  // from its cache overlap the rows' work instead of stalling the stores.
  if (has_prefetchw()) {
    for (int k = job.row_start[r0]; k < job.row_start[r1]; k += 8) prefetch_for_write(j + k);
    for (int r = r0; r < r1; r += 2) prefetch_for_write(job.stats + r);
  }
  for (int r = r0; r < r1; ++r) {
    double* out = job.next + r * cols;
    // The statistics of the row before, finished, ride along with this one.
    step_detail::update_row_with_stats(job.cur, job.rows, job.cols, r, job.q, out,
                                       r > r0 ? out - cols : nullptr, job.bounds,
                                       r > r0 ? &job.stats[r - 1] : nullptr);
    const int k0 = job.row_start[r], k1 = job.row_start[r + 1];
    if ((r - r0) % 2 == 0) {
      // The J of this row's stomata and the next row's together: both rows
      // of p_current have just been read, and eight at a time wastes fewer
      // lanes on a longer run.
      const int k2 = job.row_start[std::min(r + 2, r1)];
      step_detail::stoma_exponentials(job.cur, job.order_cell + k0, k2 - k0, flux.pminj, flux.a,
                                      j + k0);
      step_detail::flux_from_exp(j + k0, k2 - k0, flux.terms);
    }
    for (int k = k0; k < k1; ++k) {
      double& cell = job.next[job.order_cell[k]];
      cell = cell - j[k];
    }
  }
  step_detail::row_stats(job.next + (r1 - 1) * cols, job.cols, job.bounds, job.stats[r1 - 1]);
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
    run_rows(job, u0 * kRowUnit, std::min(u1 * kRowUnit, job.rows));
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
  if (m.p_next.values.size() != cells) {
    m.p_next.rows = rows;
    m.p_next.cols = cols;
    m.p_next.values.resize(cells);
  }

  m.target_p = prm.offset_from_mean == 1 ? prm.leaf_p + m.mean_p : prm.leaf_p;

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
  StepJob job{m.p_current.values.data(),
              m.p_next.values.data(),
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
  for (int r = 0; r < rows; ++r) sum = sum + s.row_stats[r].sum;
  m.mean_p = sum / static_cast<double>(m.cell_count);
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

  std::swap(m.p_current, m.p_next);
}

}  // namespace ombrisk
