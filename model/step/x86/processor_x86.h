// The x86-64 instruction sets the step code uses, each asked of the processor
// once. Internal to the step code.
#pragma once

namespace ombrisk::step_detail {

bool processor_has_avx2();
bool processor_has_fma();
bool processor_has_avx512f();

}  // namespace ombrisk::step_detail
