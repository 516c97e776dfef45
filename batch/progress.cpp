#include "batch/progress.h"

#include <algorithm>
#include <climits>

#include "datafile/c_text.h"

namespace ombrisk::batch {

namespace {
constexpr auto kCheckInterval = std::chrono::milliseconds(100);
constexpr long long kMaxChunk = 1LL << 20;
}  // namespace

StepProgress::StepProgress(std::ostream& out, bool enabled, Clock::duration show_after)
    : out_(out), enabled_(enabled), show_after_(show_after) {}

long long StepProgress::begin(long long total) {
  total_ = total;
  shown_ = false;
  if (!enabled_) return LLONG_MAX;
  last_done_ = 0;
  chunk_ = 1;
  start_ = last_check_ = Clock::now();
  return chunk_;
}

long long StepProgress::check(long long done) {
  if (!enabled_) return LLONG_MAX;
  const Clock::time_point now = Clock::now();
  const long long made = done - last_done_;
  const auto took = now - last_check_;
  // Size the next chunk from the rate just seen: doubling at most, so one
  // slow start cannot ask for a chunk far too long.
  if (took > Clock::duration::zero() && made > 0) {
    const double rate = static_cast<double>(made) / std::chrono::duration<double>(took).count();
    const double wanted = rate * std::chrono::duration<double>(kCheckInterval).count();
    chunk_ = std::clamp(static_cast<long long>(wanted), 1LL, std::min(2 * chunk_, kMaxChunk));
  } else {
    chunk_ = std::min(2 * chunk_, kMaxChunk);
  }
  last_done_ = done;
  last_check_ = now;

  const auto elapsed = now - start_;
  if (elapsed >= show_after_ && done < total_) {
    const double seconds = std::chrono::duration<double>(elapsed).count();
    const double per_second = seconds > 0.0 ? static_cast<double>(done) / seconds : 0.0;
    out_ << c_format("\rstep %lld of %lld, %.0f steps/s\x1b[K", done, total_, per_second)
         << std::flush;
    shown_ = true;
  }
  return chunk_;
}

void StepProgress::end() {
  if (shown_) out_ << "\r\x1b[K" << std::flush;
  shown_ = false;
}

}  // namespace ombrisk::batch
