// Hints to an x86-64 processor that change no result: a pause in spin loops
// and a prefetch for writing. Internal to the step code.
#pragma once

#include <immintrin.h>

#include "model/step/x86/processor_x86.h"

namespace ombrisk::step_detail {

inline void spin_pause() { _mm_pause(); }

// PREFETCHW, which every processor with AVX-512 has (GCC emits a read
// prefetch for __builtin_prefetch(p, 1) unless built for such a processor).
inline bool write_prefetch_available() { return processor_has_avx512f(); }
inline void prefetch_for_write(const void* p) {
  asm volatile("prefetchw %0" : : "m"(*static_cast<const char*>(p)));
}

}  // namespace ombrisk::step_detail
