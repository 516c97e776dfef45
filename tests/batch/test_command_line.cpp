// The picture actions on the command line, including a build without pictures.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "batch/command_line.h"
#include "batch/picture_output.h"

namespace {

using namespace ombrisk::batch;

TEST(BatchCommandLine, PictureActionsKeepTheirPlaceAmongTheOthers) {
  const ParseResult r = parse_command_line(
      {"--every", "5", "--frames", "out dir", "--steps", "10", "--png", "last.png"});
  ASSERT_EQ(r.error, "");
  ASSERT_EQ(r.line.actions.size(), 4u);
  EXPECT_EQ(r.line.actions[1].kind, ActionKind::frames);
  EXPECT_EQ(r.line.actions[1].file, "out dir");
  EXPECT_EQ(r.line.actions[3].kind, ActionKind::png);
  EXPECT_EQ(r.line.actions[3].file, "last.png");

  EXPECT_EQ(parse_command_line({"--png"}).error, "ombrisk-batch: --png needs a value");
  EXPECT_EQ(parse_command_line({"--frames", "--steps", "3"}).error,
            "ombrisk-batch: --frames needs a value");
}

TEST(BatchCommandLine, BuildWithoutPicturesRefusesThemBeforeAnythingRuns) {
  for (const char* action : {"--png", "--frames"}) {
    const ParseResult r = parse_command_line({"--save", "a.dat", action, "x"}, false);
    EXPECT_NE(r.error.find(std::string(action) + ": pictures are not available"),
              std::string::npos)
        << r.error;
  }
  EXPECT_EQ(parse_command_line({"--steps", "3", "--trace", "t.csv"}, false).error, "");
}

TEST(BatchCommandLine, FramesAreNamedByTheirStep) {
  EXPECT_EQ(frame_file_name(0), "frame_000000.png");
  EXPECT_EQ(frame_file_name(250), "frame_000250.png");
  EXPECT_EQ(frame_file_name(12345678), "frame_12345678.png");
}

}  // namespace
