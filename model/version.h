// The program's version, the same for the window, ombrisk-batch and the
// Python module; it comes from the project's version in CMake.
#pragma once

namespace ombrisk {

const char* ombrisk_version();

}  // namespace ombrisk
