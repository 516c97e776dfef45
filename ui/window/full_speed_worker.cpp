#include "ui/window/full_speed_worker.h"

#include <climits>
#include <cmath>

#include "model/time_step.h"
#include "ui/window/model_lock.h"

namespace ombrisk {

int full_speed_repaint_period(int cols, int rows) {
  switch (static_cast<long long>(cols) * rows) {
    case 2500:
    case 10000:
      return 10000;
    case 40000:
      return 2500;
    case 160000:
      return 1000;
    case 640000:
      return 250;
    default:
      return 1000;
  }
}

void run_full_speed(ModelState& m, std::timed_mutex& model_mutex,
                    const std::atomic<bool>& abort, const FullSpeedCallbacks& callbacks) {
  std::atomic_ref<int> full_speed(m.full_speed);
  // The lattice size cannot change during the run: every command that
  // rebuilds the lattice is grayed or ends the run first.
  const int period = full_speed_repaint_period(m.cols, m.rows);
  for (;;) {
    if (!lock_within(model_mutex, kStepMutexWait)) {
      if (callbacks.mutex_timed_out) callbacks.mutex_timed_out();
      // Stepping without the lock would change the grids under a paint that
      // is reading them: wait for the paint to finish instead.
      model_mutex.lock();
    }
    std::unique_lock<std::timed_mutex> lock(model_mutex, std::adopt_lock);
    if (m.step == INT_MAX) {
      // The counter cannot go further (a small lattice gets there within
      // hours): the run ends on the last step it can count.
      full_speed.store(0);
      lock.unlock();
      if (callbacks.repaint) callbacks.repaint();
      return;
    }
    advance_step(m);
    m.step += 1;
    const int r = m.step % period;
    const double p_min = m.display.p_display_min;
    const bool diverged = p_min < -10000.0 || std::isnan(p_min);
    if (diverged) full_speed.store(0);
    lock.unlock();

    if (r == 0 && callbacks.repaint) callbacks.repaint();
    if (diverged || abort.load(std::memory_order_relaxed)) return;
    if (full_speed.load() != 1 && r == 0) return;
    // A paint waiting for the lock gets it before the next step.
    let_lock_waiters_in();
  }
}

}  // namespace ombrisk
