#include "model/placement.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <vector>

namespace ombrisk {

namespace {

// Offset of a candidate from the border for the number u and a span:
// floor((u * 2^-15) * span). In double precision u * 2^-15 is exact and so is
// its product with an int span (at most 46 significant bits), so the floor of
// that product is exactly the floor division of u * span by 2^15, which the
// arithmetic right shift gives.
inline int candidate_offset(int u, int span) {
  return static_cast<int>((static_cast<std::int64_t>(u) * span) >> 15);
}

// Largest squared distance d in [0, max_distance] for which a candidate that
// far from a placed stoma is rejected, i.e. spacing > sqrt(double(d)); -1 when
// none is (spacing <= 0 or NaN). The test is monotone in d, so every d up to
// the result is rejected and every d above it accepted.
std::int64_t rejected_distance_limit(double spacing, std::int64_t max_distance) {
  const auto rejects = [spacing](std::int64_t d) {
    return spacing > std::sqrt(static_cast<double>(d));
  };
  if (!rejects(0)) return -1;
  if (rejects(max_distance)) return max_distance;
  std::int64_t lo = 0, hi = max_distance;  // rejects(lo), !rejects(hi)
  while (hi - lo > 1) {
    const std::int64_t mid = lo + (hi - lo) / 2;
    (rejects(mid) ? lo : hi) = mid;
  }
  return lo;
}

std::int64_t integer_sqrt(std::int64_t v) {
  auto r = static_cast<std::uint64_t>(std::sqrt(static_cast<double>(v)));
  const auto uv = static_cast<std::uint64_t>(v);
  while (r * r > uv) --r;
  while ((r + 1) * (r + 1) <= uv) ++r;
  return static_cast<std::int64_t>(r);
}

// The cells that candidates can fall on, one byte each: 1 when a candidate
// there would be rejected by a stoma placed in this call. A placed stoma
// rejects exactly the cells within the limit squared distance, which in each
// row form one run of cells.
class BlockedCells {
 public:
  BlockedCells(int width, int height, std::int64_t limit)
      : width_(width), height_(height), free_(std::int64_t{width} * height),
        cells_(static_cast<std::size_t>(free_), 0) {
    const std::int64_t reach = std::min<std::int64_t>(integer_sqrt(limit), height - 1);
    half_width_.resize(static_cast<std::size_t>(reach) + 1);
    for (std::int64_t dy = 0; dy <= reach; ++dy)
      half_width_[static_cast<std::size_t>(dy)] = integer_sqrt(limit - dy * dy);
  }

  bool blocked(int x, int y) const { return cells_[index(x, y)] != 0; }
  bool all_blocked() const { return free_ == 0; }

  void block_around(int x, int y) {
    const auto reach = static_cast<int>(half_width_.size()) - 1;
    const int y_end = std::min(height_ - 1, y + reach);
    for (int yy = std::max(0, y - reach); yy <= y_end; ++yy) {
      const std::int64_t w = half_width_[static_cast<std::size_t>(std::abs(yy - y))];
      const auto x0 = static_cast<int>(std::max<std::int64_t>(0, x - w));
      const auto x1 = static_cast<int>(std::min<std::int64_t>(width_ - 1, x + w));
      unsigned char* run = cells_.data() + index(x0, yy);
      const std::size_t len = static_cast<std::size_t>(x1 - x0) + 1;
      free_ -= static_cast<std::int64_t>(std::count(run, run + len, 0));
      std::memset(run, 1, len);
    }
  }

 private:
  std::size_t index(int x, int y) const {
    return static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) +
           static_cast<std::size_t>(x);
  }

  int width_;
  int height_;
  std::int64_t free_;
  std::vector<unsigned char> cells_;
  std::vector<std::int64_t> half_width_;  // by row distance, up to the reach
};

// Candidates of one axis lie in [lo, lo + extent - 1].
struct AxisRange {
  int span;
  int lo;
  int extent;
};

AxisRange axis_range(int side, int border) {
  const int span = side - border - border;
  const int a = candidate_offset(0, span), b = candidate_offset(32767, span);
  return {span, border + std::min(a, b), std::max(a, b) - std::min(a, b) + 1};
}

}  // namespace

bool placement_border_fits(int border, int rows, int cols) {
  return border >= 0 && border < rows && border < cols;
}

// Instead of comparing a candidate with every stoma placed so far, each placed
// stoma marks the cells it rejects; a candidate is then one lookup. The draws,
// decisions and positions are those of the direct comparison.
PlacementOutcome randomize_stomata(ModelState& m, Random& random) {
  PlacementOutcome out;
  StomaTable& st = m.stomata;
  if (st.stoma_count <= 0) return out;
  if (!placement_border_fits(m.border, m.rows, m.cols)) {
    out.status = PlacementStatus::border_invalid;
    return out;
  }
  const AxisRange cx = axis_range(m.cols, m.border);
  const AxisRange cy = axis_range(m.rows, m.border);
  const std::int64_t max_distance = std::int64_t{cx.extent - 1} * (cx.extent - 1) +
                                    std::int64_t{cy.extent - 1} * (cy.extent - 1);
  const std::int64_t limit = rejected_distance_limit(m.spacing, max_distance);
  // No index when nothing is ever rejected (spacing <= 0 or NaN).
  std::optional<BlockedCells> index;
  if (limit >= 0) index.emplace(cx.extent, cy.extent, limit);
  BlockedCells* const cells = index ? &*index : nullptr;

  constexpr int kBatch = 1024;  // attempts whose numbers are drawn together
  std::uint16_t draws[2 * kBatch];
  int placed = 0;
  int attempts = 0;
  while (placed < st.stoma_count && attempts < kMaxPlacementAttempts) {
    if (cells && cells->all_blocked()) {
      // Every remaining attempt is rejected: only the generator moves on.
      skip_random(random, 2 * static_cast<std::uint64_t>(kMaxPlacementAttempts - attempts));
      attempts = kMaxPlacementAttempts;
      break;
    }
    const int n = std::min(kBatch, kMaxPlacementAttempts - attempts);
    const Random batch_start = random;
    next_randoms(random, draws, 2 * static_cast<std::size_t>(n));
    int used = 0;
    while (used < n) {
      const int x = candidate_offset(draws[2 * used], cx.span) + m.border - cx.lo;
      const int y = candidate_offset(draws[2 * used + 1], cy.span) + m.border - cy.lo;
      ++used;
      if (cells && cells->blocked(x, y)) continue;
      st.stoma_col[placed] = x + cx.lo;
      st.stoma_row[placed] = y + cy.lo;
      ++placed;
      if (placed == st.stoma_count) break;
      if (cells) {
        cells->block_around(x, y);
        if (cells->all_blocked()) break;
      }
    }
    attempts += used;
    if (used < n) {
      // Give back the numbers drawn for attempts that were not made.
      random = batch_start;
      skip_random(random, 2 * static_cast<std::uint64_t>(used));
    }
  }
  out.placed = placed;
  out.status = placed == st.stoma_count ? PlacementStatus::complete : PlacementStatus::out_of_attempts;
  return out;
}

}  // namespace ombrisk
