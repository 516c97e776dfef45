// The writer on Windows: a device written directly, an existing file
// replaced, a read-only one kept.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "datafile/data_file.h"
#include "saved_model.h"
#include "temp_dir.h"

namespace ombrisk {
namespace {

using testing::files_in;
using testing::read_file;
using testing::start_up;
using testing::TempDir;
using testing::write_file;

TEST(DataFileWrite, DevicesAreWrittenDirectlyAndFilesReplaced) {
  ModelState m = start_up();
  m.data_file_name = "NUL";
  EXPECT_EQ(save_data_file(m), FileError::none);

  TempDir dir;
  m.data_file_name = dir.file("run.dat");
  write_file(m.data_file_name, "an older file\n");
  ASSERT_EQ(save_data_file(m), FileError::none);
  EXPECT_EQ(read_file(m.data_file_name), format_data_file(m));
  EXPECT_EQ(files_in(dir.path()), 1u);

  const std::string locked = dir.file("locked.dat");
  write_file(locked, "keep me\n");
  std::filesystem::permissions(locked, std::filesystem::perms::owner_write,
                               std::filesystem::perm_options::remove);
  m.data_file_name = locked;
  EXPECT_EQ(save_data_file(m), FileError::cannot_write);
  std::filesystem::permissions(locked, std::filesystem::perms::owner_write,
                               std::filesystem::perm_options::add);
  EXPECT_EQ(read_file(locked), "keep me\n");
  EXPECT_EQ(files_in(dir.path()), 2u);
}

}  // namespace
}  // namespace ombrisk
