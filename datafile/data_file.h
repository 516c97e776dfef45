// The plain-text data file: writer and reader. Numbers always use the "C"
// conventions, whatever the process locale is.
#pragma once

#include <string>

#include "model/model_state.h"

namespace ombrisk {

enum class FileError {
  none,
  cannot_find,   // "Cannot find file %s"
  bad_data,      // "Error in data file %s"
  cannot_write,  // "Cannot write file %s"
};

// The message for an error kind, with the whole file name in place of %s;
// empty for FileError::none.
std::string file_error_text(FileError error, const std::string& file_name);

// The whole file text of the model, byte for byte as the writer stores it.
std::string format_data_file(const ModelState& m);

// Writes the model to m.data_file_name through a temporary file beside it that
// is renamed over the old one only when complete.
FileError save_data_file(const ModelState& m);

// Reads the header and the stomata of m.data_file_name into a staging copy and
// applies them only when the whole file is accepted; a refused file leaves the
// model as it was. Sets m.load_succeeded.
FileError load_data_file(ModelState& m);

}  // namespace ombrisk
