// The processor probe where the step has no vector code of the processor's
// own: the plain row code is all there is.
#include "model/step/processor.h"

namespace ombrisk::step_detail {

SimdLevel widest_simd_level() { return SimdLevel::plain; }

}  // namespace ombrisk::step_detail
