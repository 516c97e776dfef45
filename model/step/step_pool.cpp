#include "model/step/step_pool.h"

#include <chrono>

#include "processor_hints.h"  // the target processor's, from the include path

namespace ombrisk::step_detail {

namespace {

// A step takes well under a millisecond, and a caller that records something
// after each step (a trace line, a frame) comes back within a fraction of
// one: a spin of about this long before sleeping saves the wake-up there.
// It is bounded in time, not in rounds, as a pause takes very different
// times on different processors, and kept short because the cores may be
// shared.
constexpr auto kSpinTime = std::chrono::microseconds(200);
constexpr int kRoundsPerClockRead = 64;

}  // namespace

template <typename T, typename Pred>
void StepPool::spin_then_wait(const std::atomic<T>& a, Pred done) {
  const auto until = std::chrono::steady_clock::now() + kSpinTime;
  for (;;) {
    for (int i = 0; i < kRoundsPerClockRead; ++i) {
      if (done(a.load(std::memory_order_acquire))) return;
      spin_pause();
    }
    if (std::chrono::steady_clock::now() >= until) break;
  }
  // The waker changes `a` before it takes the mutex, and this checks `a`
  // holding it: a change is either seen here or followed by a notification
  // this wait receives.
  std::unique_lock<std::mutex> lock(sleep_);
  wake_.wait(lock, [&] { return done(a.load(std::memory_order_acquire)); });
}

void StepPool::wake_all() {
  { const std::lock_guard<std::mutex> lock(sleep_); }
  wake_.notify_all();
}

StepPool::~StepPool() {
  stopping_.store(true, std::memory_order_release);
  generation_.fetch_add(1, std::memory_order_acq_rel);
  wake_all();
  for (std::thread& t : workers_) t.join();
}

void StepPool::grow(int workers) {
  // Workers only ever start here, under busy_, between two jobs.
  while (static_cast<int>(workers_.size()) < workers) {
    const std::uint32_t start = generation_.load(std::memory_order_relaxed);
    workers_.emplace_back([this, start] { worker_loop(start); });
  }
}

void StepPool::worker_loop(std::uint32_t seen) {
  for (;;) {
    spin_then_wait(generation_, [seen](std::uint32_t g) { return g != seen; });
    seen = generation_.load(std::memory_order_acquire);
    if (stopping_.load(std::memory_order_acquire)) return;
    // A seat taken means the caller waits for this call; none left means the
    // caller has finished (or enough helpers have joined) and must not be
    // touched.
    if (seats_.fetch_sub(1, std::memory_order_acq_rel) > 0) {
      fn_(context_);
      done_.fetch_add(1, std::memory_order_acq_rel);
      wake_all();
    }
  }
}

void StepPool::run(int helpers, WorkFn fn, void* context) {
  std::unique_lock<std::mutex> lock(busy_, std::try_to_lock);
  if (helpers <= 0 || !lock.owns_lock()) {
    fn(context);
    return;
  }
  grow(helpers);
  fn_ = fn;
  context_ = context;
  done_.store(0, std::memory_order_relaxed);
  seats_.store(helpers, std::memory_order_release);
  generation_.fetch_add(1, std::memory_order_acq_rel);
  wake_all();
  fn(context);
  const int left = seats_.exchange(0, std::memory_order_acq_rel);
  const int joined = helpers - (left > 0 ? left : 0);
  spin_then_wait(done_, [joined](int done) { return done >= joined; });
}

StepPool& step_pool() {
  static StepPool pool;
  return pool;
}

}  // namespace ombrisk::step_detail
