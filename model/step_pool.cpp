#include "model/step_pool.h"

#include <immintrin.h>

namespace ombrisk::step_detail {

namespace {

// A step takes well under a millisecond, so a short spin before sleeping saves
// the wake-up; the spin is short because the cores may be shared.
constexpr int kSpinRounds = 4000;

template <typename T, typename Pred>
void spin_then_wait(const std::atomic<T>& a, Pred done) {
  for (int i = 0; i < kSpinRounds; ++i) {
    if (done(a.load(std::memory_order_acquire))) return;
    _mm_pause();
  }
  for (;;) {
    const T seen = a.load(std::memory_order_acquire);
    if (done(seen)) return;
    a.wait(seen, std::memory_order_acquire);
  }
}

}  // namespace

StepPool::~StepPool() {
  stopping_.store(true, std::memory_order_release);
  generation_.fetch_add(1, std::memory_order_acq_rel);
  generation_.notify_all();
  for (std::thread& t : workers_) t.join();
}

void StepPool::grow(int workers) {
  // Workers only ever start here, under busy_, between two jobs.
  while (static_cast<int>(workers_.size()) < workers) {
    const int index = static_cast<int>(workers_.size()) + 1;
    // The worker starts from the generation before the job it is made for.
    const std::uint32_t start = generation_.load(std::memory_order_relaxed);
    workers_.emplace_back([this, index, start] { worker_loop(index, start); });
  }
}

void StepPool::worker_loop(int index, std::uint32_t seen) {
  for (;;) {
    spin_then_wait(generation_, [seen](std::uint32_t g) { return g != seen; });
    seen = generation_.load(std::memory_order_acquire);
    if (stopping_.load(std::memory_order_acquire)) return;
    if (index < bands_) fn_(context_, index);
    if (pending_.fetch_sub(1, std::memory_order_acq_rel) == 1) pending_.notify_one();
  }
}

void StepPool::run(int bands, BandFn fn, void* context) {
  std::unique_lock<std::mutex> lock(busy_, std::try_to_lock);
  if (bands <= 1 || !lock.owns_lock()) {
    for (int b = 0; b < bands; ++b) fn(context, b);
    return;
  }
  grow(bands - 1);
  fn_ = fn;
  context_ = context;
  bands_ = bands;
  pending_.store(static_cast<int>(workers_.size()), std::memory_order_relaxed);
  generation_.fetch_add(1, std::memory_order_acq_rel);
  generation_.notify_all();
  fn(context, 0);
  spin_then_wait(pending_, [](int left) { return left == 0; });
}

StepPool& step_pool() {
  static StepPool pool;
  return pool;
}

}  // namespace ombrisk::step_detail
