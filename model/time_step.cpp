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
  // The table and lattice size the grouping above was made for: a table that
  // has not changed since the last step (the usual case) is not grouped again.
  std::vector<int> sorted_row, sorted_col;
  int sorted_rows = -1, sorted_cols = -1;
};
thread_local Scratch t_scratch;

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
  // Chunks of rows not yet taken: [front, back) in the low and high halves.
  // The calling thread takes them from the front, helpers from the back, so
  // from step to step each thread keeps mostly the same rows and finds them
  // in its own cache (the cores need not share a last-level cache; taking
  // chunks in turn made every thread read rows the other one had written).
  // On a line of its own, so that taking a chunk does not evict the fields
  // above.
  alignas(64) std::atomic<std::uint64_t> span{0};
  std::thread::id caller;
  // Set by the calling thread: the table that gets the J values, and the
  // stomata whose J it has already put there (those of its own rows, which
  // run from row 0 without a gap).
  double* stoma_j = nullptr;
  int copied = 0;
};

// Rows per chunk: small enough that a thread that starts late still gets a
// share, large enough that the counter is rarely touched.
constexpr int kRowChunk = 16;

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

// The next chunk from the front or the back, or -1 when none is left.
int take_chunk(StepJob& job, bool front) {
  std::uint64_t s = job.span.load(std::memory_order_relaxed);
  for (;;) {
    const std::uint32_t f = static_cast<std::uint32_t>(s), b = static_cast<std::uint32_t>(s >> 32);
    if (f >= b) return -1;
    const std::uint64_t n = front ? s + 1 : s - (std::uint64_t{1} << 32);
    if (job.span.compare_exchange_weak(s, n, std::memory_order_relaxed)) {
      return static_cast<int>(front ? f : b - 1);
    }
  }
}

void run_chunks(void* context) {
  StepJob& job = *static_cast<StepJob*>(context);
  const bool front = std::this_thread::get_id() == job.caller;
  for (;;) {
    const int chunk = take_chunk(job, front);
    if (chunk < 0) break;
    const int r0 = chunk * kRowChunk;
    const int end = std::min(r0 + kRowChunk, job.rows);
    run_rows(job, r0, end);
    if (!front) continue;
    // The caller's J go into the table chunk by chunk (no helper touches it),
    // so that the time this takes is shared out with the rows.
    const int copied = job.row_start[end];
    for (int k = job.copied; k < copied; ++k) job.stoma_j[job.order[k]] = job.order_j[k];
    job.copied = copied;
  }
}

int thread_count(int rows, std::size_t cells) {
  int n = g_step_threads.load(std::memory_order_relaxed);
  if (n == 0) {
    static const int hw = static_cast<int>(std::thread::hardware_concurrency());
    n = cells >= kThreadedCells ? std::clamp(hw, 1, kMaxAutoThreads) : 1;
  }
  return std::max(1, std::min(n, (rows + kRowChunk - 1) / kRowChunk));
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
              static_cast<std::uint64_t>((rows + kRowChunk - 1) / kRowChunk) << 32,
              std::this_thread::get_id(),
              st.stoma_j.data()};
  step_detail::step_pool().run(thread_count(rows, cells) - 1, run_chunks, &job);
  const int placed = s.row_start[rows];  // stomata on the lattice
  for (int k = job.copied; k < placed; ++k) st.stoma_j[s.order[k]] = s.order_j[k];

  if (d.auto_j_range == 1) {
    // The table is one "row" of J values scanned from (Jmax, 0.0).
    double lo = prm.Jmax, hi = 0.0;
    if (n > 0) {
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
