// The processor hints of the step code where it has none for the processor:
// no pause in spin loops and no write prefetch. Internal to the step code.
#pragma once

namespace ombrisk::step_detail {

inline void spin_pause() {}

inline bool write_prefetch_available() { return false; }
inline void prefetch_for_write(const void*) {}

}  // namespace ombrisk::step_detail
