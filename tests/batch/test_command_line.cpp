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

namespace {

TEST(BatchCommandLine, ManifestOptionsAndRowRanges) {
  ParseResult r = parse_command_line({"--manifest", "m.csv", "--rows", "3-7", "--summary",
                                      "s_{row}.csv", "--steps", "row", "--save", "x.dat"});
  ASSERT_EQ(r.error, "");
  EXPECT_EQ(r.line.manifest, "m.csv");
  EXPECT_EQ(r.line.first_row, 3);
  EXPECT_EQ(r.line.last_row, 7);
  EXPECT_EQ(r.line.summary, "s_{row}.csv");
  ASSERT_EQ(r.line.actions.size(), 2u);
  EXPECT_TRUE(r.line.actions[0].row_steps);

  r = parse_command_line({"--manifest", "m.csv", "--row", "12"});
  ASSERT_EQ(r.error, "");  // a manifest run needs no action of its own
  EXPECT_EQ(r.line.first_row, 12);
  EXPECT_EQ(r.line.last_row, 12);

  EXPECT_NE(parse_command_line({"--manifest", "m", "--row", "1", "--rows", "1-2"}).error, "");
  EXPECT_NE(parse_command_line({"--manifest", "m", "--rows", "2-"}).error, "");
  EXPECT_NE(parse_command_line({"--manifest", "m", "--rows", "-2"}).error, "");
  EXPECT_NE(parse_command_line({"--manifest", "m", "--row", "1", "--steps", "row", "--steps",
                                "row"})
                .error,
            "");
  EXPECT_TRUE(parse_command_line({"--steps", "1", "--version"}).line.version);
  EXPECT_EQ(parse_command_line({"--open-threshold", "0.25", "--stats"}).line.open_threshold, 0.25);
}

}  // namespace
