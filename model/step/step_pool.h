// A small set of persistent threads that run the bands of one time step
// together with the calling thread. Internal to model/.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

namespace ombrisk::step_detail {

class StepPool {
 public:
  using WorkFn = void (*)(void* context);

  StepPool() = default;
  StepPool(const StepPool&) = delete;
  StepPool& operator=(const StepPool&) = delete;
  ~StepPool();

  // Runs fn(context) on the calling thread and on up to helpers pool threads
  // at once, and returns when every call that started has returned. fn shares
  // out the work itself (the calls take rows from a common counter), so a
  // helper that wakes late finds nothing left, and one that has not woken by
  // the time the caller's call returns is not waited for. When another caller
  // is using the pool, fn runs on the calling thread alone.
  void run(int helpers, WorkFn fn, void* context);

 private:
  void worker_loop(std::uint32_t seen);
  void grow(int workers);
  // Returns once done(a) holds: a short spin, then asleep until a wake_all.
  template <typename T, typename Pred>
  void spin_then_wait(const std::atomic<T>& a, Pred done);
  // After a change that a sleeper in spin_then_wait may be waiting for.
  void wake_all();

  std::mutex busy_;  // one step at a time uses the workers
  std::vector<std::thread> workers_;
  std::atomic<std::uint32_t> generation_{0};
  std::atomic<int> seats_{0};  // helpers that may still join the present job
  std::atomic<int> done_{0};   // helpers that joined it and have finished
  std::atomic<bool> stopping_{false};
  // Sleeping through a mutex and a condition variable rather than
  // std::atomic::wait, which in GCC 12's library can miss a wake-up where
  // the system has no futex (Windows), leaving a step waiting for ever.
  std::mutex sleep_;
  std::condition_variable wake_;
  // The present job; written before seats_ is opened.
  WorkFn fn_ = nullptr;
  void* context_ = nullptr;
};

// The process-wide pool of the time step.
StepPool& step_pool();

}  // namespace ombrisk::step_detail
