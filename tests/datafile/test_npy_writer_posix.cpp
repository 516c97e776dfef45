// A new recording under the name of an earlier one: whoever has the earlier
// arrays mapped, as numpy's mmap_mode does, keeps reading them.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <vector>

#include "datafile/npy_writer.h"
#include "temp_dir.h"

namespace {

using namespace ombrisk;
using ombrisk::testing::read_file;
using ombrisk::testing::TempDir;

void record(const std::string& path, double value, int frames) {
  NpyWriter w;
  ASSERT_TRUE(w.open(path, {4, 4}));
  const std::vector<double> frame(16, value);
  for (int i = 0; i < frames; ++i) ASSERT_TRUE(w.append(frame.data()));
  ASSERT_TRUE(w.close());
}

// The first double of frame `frame` in a mapped file.
double mapped_value(const void* map, int frame) {
  double v;
  const std::size_t at = npy_header(0, {4, 4}).size() + frame * 16 * sizeof(double);
  std::memcpy(&v, static_cast<const char*>(map) + at, sizeof v);
  return v;
}

TEST(NpyWriter, AnEarlierFileStillMappedKeepsItsArraysAndALinkStaysALink) {
  TempDir dir;
  for (const bool through_link : {false, true}) {
    SCOPED_TRACE(through_link ? "through a link" : "plain file");
    const std::string target = dir.file(through_link ? "target.npy" : "f.npy");
    const std::string name = through_link ? dir.file("link.npy") : target;
    if (through_link) std::filesystem::create_symlink(target, name);
    record(name, 1.5, 3);

    const int fd = ::open(target.c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    const std::size_t size = std::filesystem::file_size(target);
    void* map = ::mmap(nullptr, size, PROT_READ, MAP_SHARED, fd, 0);
    ASSERT_NE(map, MAP_FAILED);

    record(name, -2.0, 3);
    EXPECT_EQ(mapped_value(map, 0), 1.5);
    EXPECT_EQ(mapped_value(map, 2), 1.5);
    ::munmap(map, size);
    ::close(fd);

    EXPECT_EQ(std::filesystem::is_symlink(name), through_link);
    const std::string now = read_file(name);
    ASSERT_EQ(now.size(), size);
    double first;
    std::memcpy(&first, now.data() + npy_header(0, {4, 4}).size(), sizeof first);
    EXPECT_EQ(first, -2.0);
  }
}

}  // namespace
