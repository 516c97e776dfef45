// Saving a file's contents so that a failure never leaves a half-written
// file under its name.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace ombrisk {

// Writes the new contents of `path` (a UTF-8 name), always byte for byte:
// line ends are never translated.
//
// A regular file, or a name that does not exist yet, gets a new temporary
// file in the same directory, renamed over it by commit() once it is
// completely written and closed: until then `path` is left as it was, and a
// replacement that is not committed removes its temporary file. An existing
// file keeps its permission bits and is not replaced when it is read-only.
// A symbolic link, also one whose file does not exist, is followed: the file
// it names is the one replaced and the link stays; a link into a folder that
// does not exist cannot be written.
//
// A character device or a pipe (FIFO) has no contents to keep and cannot be
// renamed over: it is opened and written directly. A directory, a block
// device or a pipe without a reader cannot be written.
class FileReplacement {
 public:
  explicit FileReplacement(const std::string& path);
  ~FileReplacement();
  FileReplacement(const FileReplacement&) = delete;
  FileReplacement& operator=(const FileReplacement&) = delete;

  // False when the file could not be opened or created, or a write failed.
  bool ok() const { return handle_ != -1 && ok_; }
  bool write(const char* data, std::size_t size);
  // Closes the file and, unless it is written directly, renames it over the
  // target; false on any failure.
  bool commit();

 private:
  void discard();

  std::string target_;     // the file replaced (a link's destination) or written
  std::string temporary_;  // empty when written directly
  std::intptr_t handle_ = -1;
  bool ok_ = true;
};

// The whole of `size` bytes at `data` through a FileReplacement.
bool replace_file_contents(const std::string& path, const char* data, std::size_t size);

}  // namespace ombrisk
