// Whether the program's error stream is a terminal the progress line may be
// drawn on. One implementation per system, chosen by CMake.
#pragma once

namespace ombrisk::batch {

bool error_stream_is_terminal();

}  // namespace ombrisk::batch
