// Scalar adds, subtractions, multiplies and divisions exactly as written:
// add_sd(a, b) is a + b with a first, and so on. When both operands are NaN
// the result is the first one's NaN, and a compiler may swap the operands of
// an add or multiply (clang turns -(x * a) into x * -a); pinning the order
// keeps every path, vector or scalar, giving the same NaN bits. Every
// operation of the model whose result can be a new NaN goes through these,
// so that other processors give x86-64's NaN too. The form for the target
// processor is pinned_scalar.h in the step code's folder for it, which CMake
// puts on the model's include path. Internal to model/.
#pragma once

#include "pinned_scalar.h"
