// Placeholder until the writer and reader land: every operation fails.
#include "datafile/data_file.h"

namespace ombrisk {

std::string file_error_text(FileError, const std::string&) { return {}; }
std::string format_data_file(const ModelState&) { return {}; }
FileError save_data_file(const ModelState&) { return FileError::cannot_write; }
FileError load_data_file(ModelState& m) {
  m.load_succeeded = 0;
  return FileError::cannot_find;
}

}  // namespace ombrisk
