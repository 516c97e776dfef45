// The progress line of long --steps runs.
#include <gtest/gtest.h>

#include <climits>
#include <sstream>

#include "batch/progress.h"

namespace {

using ombrisk::batch::StepProgress;

TEST(StepProgress, DisabledNeverWritesNorAsksForChecks) {
  std::ostringstream out;
  StepProgress progress(out, false, std::chrono::seconds(0));
  EXPECT_EQ(progress.begin(1000), LLONG_MAX);
  EXPECT_EQ(progress.check(500), LLONG_MAX);
  progress.end();
  EXPECT_EQ(out.str(), "");
}

TEST(StepProgress, ShowsStepsAndRateOnOneLineThenClearsIt) {
  std::ostringstream out;
  StepProgress progress(out, true, std::chrono::seconds(0));
  EXPECT_EQ(progress.begin(1000), 1);
  // Each check asks for a chunk of at least one step; each redraws the line
  // in place.
  const long long chunk = progress.check(1);
  EXPECT_GE(chunk, 1);
  EXPECT_GE(progress.check(1 + chunk), 1);
  const std::string line = out.str();
  EXPECT_EQ(line.rfind("\rstep 1 of 1000, ", 0), 0u) << line;
  EXPECT_NE(line.find("\rstep " + std::to_string(1 + chunk) + " of 1000, "), std::string::npos)
      << line;
  EXPECT_NE(line.find(" steps/s"), std::string::npos) << line;
  EXPECT_EQ(line.find('\n'), std::string::npos);
  progress.end();
  EXPECT_EQ(out.str().substr(line.size()), "\r\x1b[K");
}

TEST(StepProgress, QuietUntilTheRunIsLongEnough) {
  std::ostringstream out;
  StepProgress progress(out, true, std::chrono::hours(1));
  progress.begin(10);
  progress.check(5);
  progress.end();
  EXPECT_EQ(out.str(), "");
}

}  // namespace
