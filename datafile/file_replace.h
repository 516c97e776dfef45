// Replacing a file's contents so that a failure never leaves a half-written
// file under its name.
#pragma once

#include <cstddef>
#include <string>

namespace ombrisk {

// Writes `size` bytes to a new temporary file in the same directory as `path`
// and renames it over `path` once it is completely written and closed. An
// existing file keeps its permission bits; a symbolic link keeps pointing to
// the file it names, which is the one replaced. On any failure the temporary
// file is removed, `path` is left as it was, and false is returned.
bool replace_file_contents(const std::string& path, const char* data, std::size_t size);

}  // namespace ombrisk
