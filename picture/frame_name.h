// The file name of a recorded frame, shared by the window's recording and
// ombrisk-batch --frames (no Qt, so a batch build without the window has it).
#pragma once

#include <string>

#include "datafile/c_text.h"

namespace ombrisk {

// "frame_NNNNNN.png": the step zero-padded to six digits, more when larger.
inline std::string frame_file_name(int step) { return c_format("frame_%06d.png", step); }

}  // namespace ombrisk
