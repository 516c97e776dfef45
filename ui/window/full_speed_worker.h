// The loop of a full-speed run, free of any window: it steps the model under
// model_mutex as fast as it can and reports through callbacks, which the
// window turns into queued calls on its own thread.
#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>

#include "model/model_state.h"

namespace ombrisk {

// Steps between two repaints of a full-speed run, by the number of cells.
int full_speed_repaint_period(int cols, int rows);

inline constexpr std::chrono::milliseconds kStepMutexWait{5000};

struct FullSpeedCallbacks {
  // Every P steps. Called without the mutex held; must not block on the
  // window thread.
  std::function<void()> repaint;
  // model_mutex could not be had within kStepMutexWait. Must not block on the
  // window thread; the loop then waits for the mutex without a limit.
  std::function<void()> mutex_timed_out;
};

// Runs until a stop rule holds:
// - full_speed (read through std::atomic_ref) has been cleared and step is a
//   multiple of P, so the run stops on a repainted step;
// - p_display_min is below -10000 or NaN after a step (clears full_speed);
// - step has reached INT_MAX (clears full_speed);
// - `abort` is set: leaves after the current step (the window is closing or
//   about to rebuild the lattice).
// Every step, and every model access, happens under model_mutex.
void run_full_speed(ModelState& m, std::timed_mutex& model_mutex,
                    const std::atomic<bool>& abort, const FullSpeedCallbacks& callbacks);

}  // namespace ombrisk
