// Taking model_mutex with a time limit.
#pragma once

#include <chrono>
#include <mutex>

namespace ombrisk {

// Locks `mutex` if it becomes free within `wait`; false after a time-out.
// The deadline is on the system clock: a steady-clock wait goes through
// pthread_mutex_clocklock, which ThreadSanitizer does not see, so a sanitized
// build would report every paint and step as a race. The uncontended case is
// a plain try_lock.
inline bool lock_within(std::timed_mutex& mutex, std::chrono::milliseconds wait) {
  if (mutex.try_lock()) return true;
  return mutex.try_lock_until(std::chrono::system_clock::now() + wait);
}

}  // namespace ombrisk
