#include "datafile/file_replace.h"

namespace ombrisk {

bool replace_file_contents(const std::string& path, const char* data, std::size_t size) {
  FileReplacement file(path);
  file.write(data, size);
  return file.commit();
}

}  // namespace ombrisk
