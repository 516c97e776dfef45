// add_sd and mul_sd (see model/pinned_ops.h) for processors without a form
// of their own: the plain operations, which give the same bits as the x86
// instructions for every operand that is not NaN and for one NaN operand.
#pragma once

namespace ombrisk::step_detail {

inline double add_sd(double a, double b) { return a + b; }
inline double mul_sd(double a, double b) { return a * b; }

}  // namespace ombrisk::step_detail
