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

// The largest lattice a data file may ask for: 4000 rows of at most 800
// columns (two grids of about 51 MB). Fewer than 2 rows is refused as well.
inline constexpr int kMaxDataFileRows = 4000;

// The drawing size a data file may give, in pixels on each side: a drawing
// wider or higher than this cannot be shown, and 0 or less draws nothing.
inline constexpr int kMinViewSize = 1;
inline constexpr int kMaxViewSize = 10000;

// The message for an error kind, with the whole file name in place of %s;
// empty for FileError::none.
std::string file_error_text(FileError error, const std::string& file_name);

// The whole file text of the model, byte for byte as the writer stores it.
std::string format_data_file(const ModelState& m);

// Writes the model to m.data_file_name through a temporary file beside it that
// is renamed over the old one only when complete; through a symbolic link the
// file it names is replaced and the link stays. A character device or a pipe
// is written directly. cannot_write when the file cannot be created or a
// write fails (the old file is then left as it was and the temporary
// removed), for an existing file that is read-only, a link into a missing
// folder, a directory and a pipe without a reader. The bytes are the same on
// every platform: line ends are LF.
FileError save_data_file(const ModelState& m);

// Reads the header and the stomata of m.data_file_name into a staging copy and
// applies them only when the whole file is accepted; a refused file leaves the
// model as it was. Sets m.load_succeeded.
//
// Refused (bad_data): a header or stoma line with too few numbers; a number
// NumberReader refuses (an integer field outside the int range or going on
// as a fraction or exponent, a number that is only a prefix such as 0x or
// 1e+, a word longer than kMaxNumberWord); cols not
// 50, 100, 200, 400 or 800; rows outside 2..kMaxDataFileRows; a drawing size
// outside kMinViewSize..kMaxViewSize; stoma_count outside 0..kMaxStomata; a
// stoma off the lattice; kepi, kin, spacing, Jmax, Jo, a, pminj or leaf_p not
// finite. A stoma's J is taken as read, nan and inf included: it is what a
// diverged model saved, and the next step recomputes it. The grid after the
// stoma lines is never read.
FileError load_data_file(ModelState& m);

}  // namespace ombrisk
