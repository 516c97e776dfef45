// The row code's level: the widest the processor has unless a narrower one
// is asked for.
#include <atomic>

#include "model/step/processor.h"
#include "model/step/step_rows.h"

namespace ombrisk::step_detail {

namespace {

std::atomic<SimdLevel> g_forced{SimdLevel::automatic};

}  // namespace

void set_simd_level(SimdLevel level) { g_forced.store(level, std::memory_order_relaxed); }

SimdLevel simd_level() {
  const SimdLevel forced = g_forced.load(std::memory_order_relaxed);
  static const SimdLevel best = widest_simd_level();
  if (forced == SimdLevel::automatic) return best;
  return static_cast<int>(forced) < static_cast<int>(best) ? forced : best;
}

}  // namespace ombrisk::step_detail
