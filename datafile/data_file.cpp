#include "datafile/data_file.h"

namespace ombrisk {

std::string file_error_text(FileError error, const std::string& file_name) {
  switch (error) {
    case FileError::none: return {};
    case FileError::cannot_find: return "Cannot find file " + file_name;
    case FileError::bad_data: return "Error in data file " + file_name;
    case FileError::cannot_write: return "Cannot write file " + file_name;
  }
  return {};
}

}  // namespace ombrisk
