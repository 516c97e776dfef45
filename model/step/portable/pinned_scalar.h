// The pinned scalar operations (see model/pinned_ops.h) in plain C++ for
// processors without a form of their own, giving the results x86-64 gives.
// A result that is not NaN is the IEEE one on every processor. A NaN result
// differs: x86-64 returns the first NaN operand, made quiet, or for an
// invalid operation (inf - inf, 0 * inf, 0 / 0) the negative quiet NaN,
// where ARM64 gives the positive one and other processors may drop the
// operand's NaN; the data files and statistics show the sign ("-nan"), so
// the rare NaN result is made here the way x86-64 makes it.
#pragma once

#include <bit>
#include <cstdint>

namespace ombrisk::step_detail {

namespace pinned_detail {

inline double x86_nan(double a, double b) {
  constexpr std::uint64_t kQuiet = std::uint64_t{1} << 51;
  if (a != a) return std::bit_cast<double>(std::bit_cast<std::uint64_t>(a) | kQuiet);
  if (b != b) return std::bit_cast<double>(std::bit_cast<std::uint64_t>(b) | kQuiet);
  return std::bit_cast<double>(std::uint64_t{0xfff8000000000000});
}

}  // namespace pinned_detail

inline double add_sd(double a, double b) {
  const double r = a + b;
  if (r != r) [[unlikely]] return pinned_detail::x86_nan(a, b);
  return r;
}
inline double sub_sd(double a, double b) {
  const double r = a - b;
  if (r != r) [[unlikely]] return pinned_detail::x86_nan(a, b);
  return r;
}
inline double mul_sd(double a, double b) {
  const double r = a * b;
  if (r != r) [[unlikely]] return pinned_detail::x86_nan(a, b);
  return r;
}
inline double div_sd(double a, double b) {
  const double r = a / b;
  if (r != r) [[unlikely]] return pinned_detail::x86_nan(a, b);
  return r;
}

}  // namespace ombrisk::step_detail
