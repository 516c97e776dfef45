// Taking model_mutex with a time limit, and giving way to a thread that waits
// for it.
#pragma once

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

namespace ombrisk {

// Threads waiting in lock_within for a lock that was taken.
inline std::atomic<int>& lock_waiters() {
  static std::atomic<int> waiters{0};
  return waiters;
}

// Locks `mutex` if it becomes free within `wait`; false after a time-out.
// The deadline is on the system clock: a steady-clock wait goes through
// pthread_mutex_clocklock, which ThreadSanitizer does not see, so a sanitized
// build would report every paint and step as a race. The uncontended case is
// a plain try_lock.
inline bool lock_within(std::timed_mutex& mutex, std::chrono::milliseconds wait) {
  if (mutex.try_lock()) return true;
  lock_waiters().fetch_add(1);
  const bool locked = mutex.try_lock_until(std::chrono::system_clock::now() + wait);
  lock_waiters().fetch_sub(1);
  return locked;
}

// For a thread that releases a lock and takes it again at once (the
// full-speed worker between two steps): the mutex is not fair, so a thread
// waiting in lock_within (a paint) could be shut out for good. While one
// waits, yield until it has the lock, for at most `limit`.
inline void let_lock_waiters_in(std::chrono::milliseconds limit = std::chrono::milliseconds(20)) {
  if (lock_waiters().load(std::memory_order_relaxed) == 0) return;
  const auto until = std::chrono::steady_clock::now() + limit;
  while (lock_waiters().load() > 0 && std::chrono::steady_clock::now() < until) {
    std::this_thread::yield();
  }
}

}  // namespace ombrisk
