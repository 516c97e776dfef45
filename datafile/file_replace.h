// Replacing a file's contents so that a failure never leaves a half-written
// file under its name.
#pragma once

#include <cstddef>
#include <string>

namespace ombrisk {

// A new temporary file in the same directory as `path`, renamed over `path`
// by commit() once it is completely written and closed. An existing file keeps
// its permission bits and is not replaced when it is read-only; a symbolic
// link keeps pointing to the file it names, which is the one replaced. Until
// commit() succeeds, `path` is left as it was; a replacement that is not
// committed removes its temporary file.
class FileReplacement {
 public:
  explicit FileReplacement(const std::string& path);
  ~FileReplacement();
  FileReplacement(const FileReplacement&) = delete;
  FileReplacement& operator=(const FileReplacement&) = delete;

  // False when the temporary file could not be made or a write failed.
  bool ok() const { return fd_ >= 0 && ok_; }
  bool write(const char* data, std::size_t size);
  // Closes the temporary file and renames it over the target; false on any failure.
  bool commit();

 private:
  void discard();

  std::string target_;
  std::string temporary_;
  int fd_ = -1;
  bool ok_ = true;
};

// The whole of `size` bytes at `data` through a FileReplacement.
bool replace_file_contents(const std::string& path, const char* data, std::size_t size);

}  // namespace ombrisk
