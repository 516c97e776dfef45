// A small set of persistent threads that run the bands of one time step
// together with the calling thread. Internal to model/.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

namespace ombrisk::step_detail {

class StepPool {
 public:
  using BandFn = void (*)(void* context, int band);

  StepPool() = default;
  StepPool(const StepPool&) = delete;
  StepPool& operator=(const StepPool&) = delete;
  ~StepPool();

  // Runs fn(context, b) for every band b in [0, bands), band 0 on the calling
  // thread, and returns when all are done. When another caller is using the
  // pool, or bands is 1, every band runs on the calling thread.
  void run(int bands, BandFn fn, void* context);

 private:
  void worker_loop(int index, std::uint32_t seen);
  void grow(int workers);

  std::mutex busy_;  // one step at a time uses the workers
  std::vector<std::thread> workers_;
  std::atomic<std::uint32_t> generation_{0};
  std::atomic<int> pending_{0};
  std::atomic<bool> stopping_{false};
  // The job of the present generation; written before generation_ is bumped.
  BandFn fn_ = nullptr;
  void* context_ = nullptr;
  int bands_ = 0;
};

// The process-wide pool of the time step.
StepPool& step_pool();

}  // namespace ombrisk::step_detail
