// Scalar adds and multiplies with their operand order pinned: a + b and
// a * b exactly as written. When both operands are NaN the result is the
// first one's NaN, and a compiler may swap the operands of an add or multiply
// (clang turns -(x * a) into x * -a); pinning the order keeps every path,
// vector or scalar, giving the same NaN bits. The form for the target
// processor is pinned_scalar.h in the step code's folder for it, which CMake
// puts on the model's include path. Internal to model/.
#pragma once

#include "pinned_scalar.h"
