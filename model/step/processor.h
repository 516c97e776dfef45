// What the processor running the step offers it, probed once. Internal to
// the step code; x86/processor_x86.cpp is the one place that asks an x86
// processor, portable/processor_portable.cpp answers for every other one.
#pragma once

#include "model/step/step_rows.h"

namespace ombrisk::step_detail {

// The widest row code level this processor runs.
SimdLevel widest_simd_level();

}  // namespace ombrisk::step_detail
