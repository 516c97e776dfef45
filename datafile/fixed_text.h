// Fast "%W.Pf" and "%i" formatting that gives exactly the bytes printf gives
// in the "C" locale: the value is rounded from its exact binary value, exact
// ties to even, as std::to_chars and glibc do. The data file writer formats
// hundreds of thousands of values per save, far too many for one printf each.
#pragma once

#include <string>

namespace ombrisk {

// The longest text write_fixed_fast produces, and the room it needs at `dest`.
inline constexpr int kFixedFastMaxChars = 32;

// Appends printf("%*.*f", width, precision, value) to `out` (precision 0..9).
void append_fixed(std::string& out, double value, int precision, int width);

// Writes printf("%*.*f", width, precision, value) at `dest`, which must have
// room for kFixedFastMaxChars characters, and returns the end when the text
// fits in kFixedFastMaxChars characters (nan and inf always do), width at
// most 32 and precision 0..9; returns nullptr otherwise, having written only
// spaces.
char* write_fixed_fast(char* dest, double value, int precision, int width);

// Writes printf("%8.4f", value) at `dest`, which must have room for
// kFixedFastMaxChars characters, and returns the end; nullptr when the text
// would be longer than that, having written only spaces. The
// common case of the data file's cells, made branch-free for speed.
char* write_cell_value(char* dest, double value);

// Writes each of `count` values as printf("%8.4f ", value) from `dest` on,
// which must have room for kFixedFastMaxChars + 1 characters per value, and
// moves `dest` past them. Stops at the first value write_cell_value cannot
// write and returns its index; returns `count` when all are written.
int write_cell_row(char*& dest, const double* values, int count);

// Writes printf("%i", value) at `dest` (at most 11 characters) and returns the end.
char* write_int(char* dest, int value);

}  // namespace ombrisk
