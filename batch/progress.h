// The one-line progress display of a long --steps run on a terminal. It reads
// the clock only between chunks of steps, sized so that a check comes about
// every tenth of a second, so the steps themselves pay nothing for it.
#pragma once

#include <chrono>
#include <ostream>

namespace ombrisk::batch {

class StepProgress {
 public:
  using Clock = std::chrono::steady_clock;

  // A disabled display never reads the clock and never writes.
  StepProgress(std::ostream& out, bool enabled,
               Clock::duration show_after = std::chrono::seconds(1));

  // Starts a run of `total` steps; returns how many steps to make before the
  // next call of check().
  long long begin(long long total);

  // Called after `done` steps of the run; shows or updates the line once the
  // run has taken longer than `show_after`. Returns how many steps to make
  // before the next call.
  long long check(long long done);

  // Clears the line, if one was shown.
  void end();

 private:
  std::ostream& out_;
  bool enabled_;
  Clock::duration show_after_;
  long long total_ = 0;
  long long last_done_ = 0;
  long long chunk_ = 1;
  Clock::time_point start_{};
  Clock::time_point last_check_{};
  bool shown_ = false;
};

}  // namespace ombrisk::batch
