// The exponentials four (AVX2 with multiply-add) and eight (AVX-512) at a
// time on x86-64, checked against the C library once before use.
#include <cmath>
#include <cstdint>
#include <immintrin.h>

#include "model/step/exp_library.h"
#include "model/step/exp_vector.h"
#include "model/step/step_rows.h"
#include "model/step/x86/pinned_vector.h"
#include "model/step/x86/processor_x86.h"

namespace ombrisk::step_detail {

namespace {

// exp(x) = 2^(k/128) * exp(r) with k = round(x * 128 / ln 2) and |r| at most
// ln 2 / 256: 2^(k/128) from a table of 128 values and the exponent bits,
// exp(r) - 1 from a polynomial of degree 5, every operation (each multiply-add
// rounded once) in the order the C library of this system takes them, so
// each result has the same bits.
constexpr double kInvLn2N = 0x1.71547652b82fep0 * 128;  // 128 / ln 2
constexpr double kShift = 0x1.8p52;  // adding it rounds to an integer kept in the low bits
constexpr double kNegLn2HiN = -0x1.62e42fefa0000p-8;  // -(ln 2 / 128), high part
constexpr double kNegLn2LoN = -0x1.cf79abc9e3b3ap-47;  // and the rest
constexpr double kC2 = 0x1.ffffffffffdbdp-2;
constexpr double kC3 = 0x1.555555555543cp-3;
constexpr double kC4 = 0x1.55555cf172b91p-5;
constexpr double kC5 = 0x1.1111167a4d017p-7;

// For k = 0 .. 127, 2^(k/128) = H * (1 + T): entry 2k holds T, entry 2k + 1
// the bits of H less k << 45, so that adding the bits of k (and of the power
// of two above it) shifted by 45 gives the scale. H is 2^(k/128) rounded to
// the nearest double, T the relative difference rounded, both worked out
// with 80 decimal digits.
alignas(64) constexpr std::uint64_t kTable[256] = {
    0x0000000000000000ull, 0x3ff0000000000000ull,
    0x3c9b3b4f1a88bf6eull, 0x3feff63da9fb3335ull,
    0xbc7160139cd8dc5dull, 0x3fefec9a3e778061ull,
    0xbc905e7a108766d1ull, 0x3fefe315e86e7f85ull,
    0x3c8cd2523567f613ull, 0x3fefd9b0d3158574ull,
    0xbc8bce8023f98efaull, 0x3fefd06b29ddf6deull,
    0x3c60f74e61e6c861ull, 0x3fefc74518759bc8ull,
    0x3c90a3e45b33d399ull, 0x3fefbe3ecac6f383ull,
    0x3c979aa65d837b6dull, 0x3fefb5586cf9890full,
    0x3c8eb51a92fdeffcull, 0x3fefac922b7247f7ull,
    0x3c3ebe3d702f9cd1ull, 0x3fefa3ec32d3d1a2ull,
    0xbc6a033489906e0bull, 0x3fef9b66affed31bull,
    0xbc9556522a2fbd0eull, 0x3fef9301d0125b51ull,
    0xbc5080ef8c4eea55ull, 0x3fef8abdc06c31ccull,
    0xbc91c923b9d5f416ull, 0x3fef829aaea92de0ull,
    0x3c80d3e3e95c55afull, 0x3fef7a98c8a58e51ull,
    0xbc801b15eaa59348ull, 0x3fef72b83c7d517bull,
    0xbc8f1ff055de323dull, 0x3fef6af9388c8deaull,
    0x3c8b898c3f1353bfull, 0x3fef635beb6fcb75ull,
    0xbc96d99c7611eb26ull, 0x3fef5be084045cd4ull,
    0x3c9aecf73e3a2f60ull, 0x3fef54873168b9aaull,
    0xbc8fe782cb86389dull, 0x3fef4d5022fcd91dull,
    0x3c8a6f4144a6c38dull, 0x3fef463b88628cd6ull,
    0x3c807a05b0e4047dull, 0x3fef3f49917ddc96ull,
    0x3c968efde3a8a894ull, 0x3fef387a6e756238ull,
    0x3c875e18f274487dull, 0x3fef31ce4fb2a63full,
    0x3c80472b981fe7f2ull, 0x3fef2b4565e27cddull,
    0xbc96b87b3f71085eull, 0x3fef24dfe1f56381ull,
    0x3c82f7e16d09ab31ull, 0x3fef1e9df51fdee1ull,
    0xbc3d219b1a6fbffaull, 0x3fef187fd0dad990ull,
    0x3c8b3782720c0ab4ull, 0x3fef1285a6e4030bull,
    0x3c6e149289cecb8full, 0x3fef0cafa93e2f56ull,
    0x3c834d754db0abb6ull, 0x3fef06fe0a31b715ull,
    0x3c864201e2ac744cull, 0x3fef0170fc4cd831ull,
    0x3c8fdd395dd3f84aull, 0x3feefc08b26416ffull,
    0xbc86a3803b8e5b04ull, 0x3feef6c55f929ff1ull,
    0xbc924aedcc4b5068ull, 0x3feef1a7373aa9cbull,
    0xbc9907f81b512d8eull, 0x3feeecae6d05d866ull,
    0xbc71d1e83e9436d2ull, 0x3feee7db34e59ff7ull,
    0xbc991919b3ce1b15ull, 0x3feee32dc313a8e5ull,
    0x3c859f48a72a4c6dull, 0x3feedea64c123422ull,
    0xbc9312607a28698aull, 0x3feeda4504ac801cull,
    0xbc58a78f4817895bull, 0x3feed60a21f72e2aull,
    0xbc7c2c9b67499a1bull, 0x3feed1f5d950a897ull,
    0x3c4363ed60c2ac11ull, 0x3feece086061892dull,
    0x3c9666093b0664efull, 0x3feeca41ed1d0057ull,
    0x3c6ecce1daa10379ull, 0x3feec6a2b5c13cd0ull,
    0x3c93ff8e3f0f1230ull, 0x3feec32af0d7d3deull,
    0x3c7690cebb7aafb0ull, 0x3feebfdad5362a27ull,
    0x3c931dbdeb54e077ull, 0x3feebcb299fddd0dull,
    0xbc8f94340071a38eull, 0x3feeb9b2769d2ca7ull,
    0xbc87deccdc93a349ull, 0x3feeb6daa2cf6642ull,
    0xbc78dec6bd0f385full, 0x3feeb42b569d4f82ull,
    0xbc861246ec7b5cf6ull, 0x3feeb1a4ca5d920full,
    0x3c93350518fdd78eull, 0x3feeaf4736b527daull,
    0x3c7b98b72f8a9b05ull, 0x3feead12d497c7fdull,
    0x3c9063e1e21c5409ull, 0x3feeab07dd485429ull,
    0x3c34c7855019c6eaull, 0x3feea9268a5946b7ull,
    0x3c9432e62b64c035ull, 0x3feea76f15ad2148ull,
    0xbc8ce44a6199769full, 0x3feea5e1b976dc09ull,
    0xbc8c33c53bef4da8ull, 0x3feea47eb03a5585ull,
    0xbc845378892be9aeull, 0x3feea34634ccc320ull,
    0xbc93cedd78565858ull, 0x3feea23882552225ull,
    0x3c5710aa807e1964ull, 0x3feea155d44ca973ull,
    0xbc93b3efbf5e2228ull, 0x3feea09e667f3bcdull,
    0xbc6a12ad8734b982ull, 0x3feea012750bdabfull,
    0xbc6367efb86da9eeull, 0x3fee9fb23c651a2full,
    0xbc80dc3d54e08851ull, 0x3fee9f7df9519484ull,
    0xbc781f647e5a3ecfull, 0x3fee9f75e8ec5f74ull,
    0xbc86ee4ac08b7db0ull, 0x3fee9f9a48a58174ull,
    0xbc8619321e55e68aull, 0x3fee9feb564267c9ull,
    0x3c909ccb5e09d4d3ull, 0x3feea0694fde5d3full,
    0xbc7b32dcb94da51dull, 0x3feea11473eb0187ull,
    0x3c94ecfd5467c06bull, 0x3feea1ed0130c132ull,
    0x3c65ebe1abd66c55ull, 0x3feea2f336cf4e62ull,
    0xbc88a1c52fb3cf42ull, 0x3feea427543e1a12ull,
    0xbc9369b6f13b3734ull, 0x3feea589994cce13ull,
    0xbc805e843a19ff1eull, 0x3feea71a4623c7adull,
    0xbc94d450d872576eull, 0x3feea8d99b4492edull,
    0x3c90ad675b0e8a00ull, 0x3feeaac7d98a6699ull,
    0x3c8db72fc1f0eab4ull, 0x3feeace5422aa0dbull,
    0xbc65b6609cc5e7ffull, 0x3feeaf3216b5448cull,
    0x3c7bf68359f35f44ull, 0x3feeb1ae99157736ull,
    0xbc93091fa71e3d83ull, 0x3feeb45b0b91ffc6ull,
    0xbc5da9b88b6c1e29ull, 0x3feeb737b0cdc5e5ull,
    0xbc6c23f97c90b959ull, 0x3feeba44cbc8520full,
    0xbc92434322f4f9aaull, 0x3feebd829fde4e50ull,
    0xbc85ca6cd7668e4bull, 0x3feec0f170ca07baull,
    0x3c71affc2b91ce27ull, 0x3feec49182a3f090ull,
    0x3c6dd235e10a73bbull, 0x3feec86319e32323ull,
    0xbc87c50422622263ull, 0x3feecc667b5de565ull,
    0x3c8b1c86e3e231d5ull, 0x3feed09bec4a2d33ull,
    0xbc91bbd1d3bcbb15ull, 0x3feed503b23e255dull,
    0x3c90cc319cee31d2ull, 0x3feed99e1330b358ull,
    0x3c8469846e735ab3ull, 0x3feede6b5579fdbfull,
    0xbc82dfcd978e9db4ull, 0x3feee36bbfd3f37aull,
    0x3c8c1a7792cb3387ull, 0x3feee89f995ad3adull,
    0xbc907b8f4ad1d9faull, 0x3feeee07298db666ull,
    0xbc55c3d956dcaebaull, 0x3feef3a2b84f15fbull,
    0xbc90a40e3da6f640ull, 0x3feef9728de5593aull,
    0xbc68d6f438ad9334ull, 0x3feeff76f2fb5e47ull,
    0xbc91eee26b588a35ull, 0x3fef05b030a1064aull,
    0x3c74ffd70a5fddcdull, 0x3fef0c1e904bc1d2ull,
    0xbc91bdfbfa9298acull, 0x3fef12c25bd71e09ull,
    0x3c736eae30af0cb3ull, 0x3fef199bdd85529cull,
    0x3c8ee3325c9ffd94ull, 0x3fef20ab5fffd07aull,
    0x3c84e08fd10959acull, 0x3fef27f12e57d14bull,
    0x3c63cdaf384e1a67ull, 0x3fef2f6d9406e7b5ull,
    0x3c676b2c6c921968ull, 0x3fef3720dcef9069ull,
    0xbc808a1883ccb5d2ull, 0x3fef3f0b555dc3faull,
    0xbc8fad5d3ffffa6full, 0x3fef472d4a07897cull,
    0xbc900dae3875a949ull, 0x3fef4f87080d89f2ull,
    0x3c74a385a63d07a7ull, 0x3fef5818dcfba487ull,
    0xbc82919e2040220full, 0x3fef60e316c98398ull,
    0x3c8e5a50d5c192acull, 0x3fef69e603db3285ull,
    0x3c843a59ac016b4bull, 0x3fef7321f301b460ull,
    0xbc82d52107b43e1full, 0x3fef7c97337b9b5full,
    0xbc892ab93b470dc9ull, 0x3fef864614f5a129ull,
    0x3c74b604603a88d3ull, 0x3fef902ee78b3ff6ull,
    0x3c83c5ec519d7271ull, 0x3fef9a51fbc74c83ull,
    0xbc8ff7128fd391f0ull, 0x3fefa4afa2a490daull,
    0xbc8dae98e223747dull, 0x3fefaf482d8e67f1ull,
    0x3c8ec3bc41aa2008ull, 0x3fefba1bee615a27ull,
    0x3c842b94c3a9eb32ull, 0x3fefc52b376bba97ull,
    0x3c8a64a931d185eeull, 0x3fefd0765b6e4540ull,
    0xbc8e37bae43be3edull, 0x3fefdbfdad9cbe14ull,
    0x3c77893b4d91cd9dull, 0x3fefe7c1819e90d8ull,
    0x3c5305c14160cc89ull, 0x3feff3c22b8f71f1ull,
};

// The full-mask forms below are the plain instructions; GCC 12 warns about
// the unmasked intrinsics' undefined source.
constexpr __mmask8 kAll = 0xFF;

// The lanes whose |x| lies in [2^-54, 512) are `ordinary`; only those are
// computed here (the others need the library's special cases).
__attribute__((target("avx512f"))) inline __m512d exp_octet(__m512d x, __mmask8& ordinary) {
  const __m512i top = _mm512_and_si512(_mm512_maskz_srli_epi64(kAll, _mm512_castpd_si512(x), 52),
                                       _mm512_set1_epi64(0x7ff));
  ordinary = _mm512_cmplt_epu64_mask(_mm512_sub_epi64(top, _mm512_set1_epi64(0x3c9)),
                                     _mm512_set1_epi64(0x3f));
  __m512d kd = _mm512_fmadd_pd(x, _mm512_set1_pd(kInvLn2N), _mm512_set1_pd(kShift));
  const __m512i ki = _mm512_castpd_si512(kd);
  kd = _mm512_sub_pd(kd, _mm512_set1_pd(kShift));
  __m512d r = _mm512_fmadd_pd(kd, _mm512_set1_pd(kNegLn2HiN), x);
  r = _mm512_fmadd_pd(kd, _mm512_set1_pd(kNegLn2LoN), r);
  const __m512i at = _mm512_maskz_slli_epi64(kAll, _mm512_and_si512(ki, _mm512_set1_epi64(127)), 1);
  // The entry pairs (T, H) of lanes 0..3 into `lo` and of 4..7 into `hi`, 128
  // bits each, by plain loads: a gather is several times slower here.
  alignas(64) std::uint64_t at_lane[8];
  _mm512_store_si512(at_lane, at);
  const auto pair = [&](int lane) {
    return _mm_load_si128(reinterpret_cast<const __m128i*>(kTable + at_lane[lane]));
  };
  __m512i lo = _mm512_castsi128_si512(pair(0));
  __m512i hi = _mm512_castsi128_si512(pair(4));
  lo = _mm512_inserti32x4(lo, pair(1), 1);
  hi = _mm512_inserti32x4(hi, pair(5), 1);
  lo = _mm512_inserti32x4(lo, pair(2), 2);
  hi = _mm512_inserti32x4(hi, pair(6), 2);
  lo = _mm512_inserti32x4(lo, pair(3), 3);
  hi = _mm512_inserti32x4(hi, pair(7), 3);
  const __m512i even = _mm512_set_epi64(14, 12, 10, 8, 6, 4, 2, 0);
  const __m512i odd = _mm512_set_epi64(15, 13, 11, 9, 7, 5, 3, 1);
  const __m512d tail = _mm512_castsi512_pd(_mm512_permutex2var_epi64(lo, even, hi));
  const __m512i scale_bits = _mm512_add_epi64(_mm512_permutex2var_epi64(lo, odd, hi),
                                              _mm512_maskz_slli_epi64(kAll, ki, 45));
  const __m512d r2 = _mm512_mul_pd(r, r);
  const __m512d low = _mm512_fmadd_pd(r, _mm512_set1_pd(kC3), _mm512_set1_pd(kC2));
  const __m512d high = _mm512_fmadd_pd(r, _mm512_set1_pd(kC5), _mm512_set1_pd(kC4));
  const __m512d sum = _mm512_fmadd_pd(low, r2, _mm512_add_pd(r, tail));
  const __m512d tmp = _mm512_fmadd_pd(_mm512_mul_pd(r2, r2), high, sum);
  const __m512d scale = _mm512_castsi512_pd(scale_bits);
  return _mm512_fmadd_pd(scale, tmp, scale);
}

// The lanes `live` of x, exponentiated into out; those the octet way does
// not cover through the library.
__attribute__((target("avx512f"))) inline void store_exp(__m512d x, __mmask8 live, double* out) {
  __mmask8 ordinary;
  const __m512d e = exp_octet(x, ordinary);
  _mm512_mask_storeu_pd(out, live & ordinary, e);
  const unsigned rest = live & ~ordinary & 0xFFu;
  if (rest == 0) return;
  _mm512_mask_storeu_pd(out, static_cast<__mmask8>(rest), x);
  for (unsigned left = rest; left != 0; left &= left - 1) {
    double& v = out[__builtin_ctz(left)];
    v = std::exp(v);
  }
}

inline __mmask8 live_lanes(int left) {
  return left >= 8 ? 0xFF : static_cast<__mmask8>((1u << left) - 1);
}

__attribute__((target("avx512f"))) void exp_octets(double* v, int n) {
  for (int i = 0; i < n; i += 8) {
    const __mmask8 live = live_lanes(n - i);
    store_exp(_mm512_maskz_loadu_pd(live, v + i), live, v + i);
  }
}

__attribute__((target("avx512f"))) void stoma_exponential_octets(const double* row,
                                                                  const int* cols, int n,
                                                                  double pminj, double a,
                                                                  double* j) {
  const __m512d sign = _mm512_set1_pd(-0.0);
  for (int i = 0; i < n; i += 8) {
    const __mmask8 live = live_lanes(n - i);
    // The eight cells by plain loads, a gather being slower here. Lanes past
    // n read the first lane's cell again: a cell the caller has asked for,
    // where other cells may be another thread's to write meanwhile.
    const int here = n - i < 8 ? n - i : 8;
    const auto two = [&](int lane) {
      return _mm_loadh_pd(_mm_load_sd(&row[cols[i + (lane < here ? lane : 0)]]),
                          &row[cols[i + (lane + 1 < here ? lane + 1 : 0)]]);
    };
    const __m256d low = _mm256_insertf128_pd(_mm256_castpd128_pd256(two(0)), two(2), 1);
    const __m256d high = _mm256_insertf128_pd(_mm256_castpd128_pd256(two(4)), two(6), 1);
    const __m512d zero = _mm512_setzero_pd();
    const __m512d p = _mm512_mask_insertf64x4(
        zero, kAll, _mm512_mask_insertf64x4(zero, kAll, zero, low, 0), high, 1);
    // -((p - pminj) * a), the negation a flip of the sign bit as in the
    // one-at-a-time form.
    const __m512d x = _mm512_castsi512_pd(_mm512_xor_si512(
        _mm512_castpd_si512(mul_pd(_mm512_sub_pd(p, _mm512_set1_pd(pminj)), _mm512_set1_pd(a))),
        _mm512_castpd_si512(sign)));
    store_exp(x, live, j + i);
  }
}

// exp_octet four lanes at a time, for processors with AVX2 and multiply-add
// but not AVX-512: the same operations, so the same bits. The lanes whose
// |x| lies in [2^-54, 512) have all bits set in `ordinary`.
__attribute__((target("avx2,fma"))) inline __m256d exp_quad(__m256d x, __m256i& ordinary) {
  const __m256i top =
      _mm256_and_si256(_mm256_srli_epi64(_mm256_castpd_si256(x), 52), _mm256_set1_epi64x(0x7ff));
  // 0x3c9 <= top < 0x408, as signed compares (top is at most 0x7ff).
  ordinary = _mm256_and_si256(_mm256_cmpgt_epi64(top, _mm256_set1_epi64x(0x3c8)),
                              _mm256_cmpgt_epi64(_mm256_set1_epi64x(0x408), top));
  __m256d kd = _mm256_fmadd_pd(x, _mm256_set1_pd(kInvLn2N), _mm256_set1_pd(kShift));
  const __m256i ki = _mm256_castpd_si256(kd);
  kd = _mm256_sub_pd(kd, _mm256_set1_pd(kShift));
  __m256d r = _mm256_fmadd_pd(kd, _mm256_set1_pd(kNegLn2HiN), x);
  r = _mm256_fmadd_pd(kd, _mm256_set1_pd(kNegLn2LoN), r);
  alignas(32) std::uint64_t at_lane[4];
  _mm256_store_si256(reinterpret_cast<__m256i*>(at_lane),
                     _mm256_slli_epi64(_mm256_and_si256(ki, _mm256_set1_epi64x(127)), 1));
  const auto pair = [&](int lane) {
    return _mm_load_pd(reinterpret_cast<const double*>(kTable + at_lane[lane]));
  };
  // (T0, H0, T2, H2) and (T1, H1, T3, H3).
  const __m256d even = _mm256_insertf128_pd(_mm256_castpd128_pd256(pair(0)), pair(2), 1);
  const __m256d odd = _mm256_insertf128_pd(_mm256_castpd128_pd256(pair(1)), pair(3), 1);
  const __m256d tail = _mm256_unpacklo_pd(even, odd);
  const __m256i scale_bits = _mm256_add_epi64(_mm256_castpd_si256(_mm256_unpackhi_pd(even, odd)),
                                              _mm256_slli_epi64(ki, 45));
  const __m256d r2 = _mm256_mul_pd(r, r);
  const __m256d low = _mm256_fmadd_pd(r, _mm256_set1_pd(kC3), _mm256_set1_pd(kC2));
  const __m256d high = _mm256_fmadd_pd(r, _mm256_set1_pd(kC5), _mm256_set1_pd(kC4));
  const __m256d sum = _mm256_fmadd_pd(low, r2, _mm256_add_pd(r, tail));
  const __m256d tmp = _mm256_fmadd_pd(_mm256_mul_pd(r2, r2), high, sum);
  const __m256d scale = _mm256_castsi256_pd(scale_bits);
  return _mm256_fmadd_pd(scale, tmp, scale);
}

// The first `live` lanes of x, exponentiated into out; those the quad way
// does not cover through the library.
__attribute__((target("avx2,fma"))) inline void store_exp_quad(__m256d x, int live,
                                                               double* out) {
  __m256i ordinary;
  const __m256d e = exp_quad(x, ordinary);
  const int ok = _mm256_movemask_pd(_mm256_castsi256_pd(ordinary));
  if (live == 4 && ok == 0xF) {
    _mm256_storeu_pd(out, e);
    return;
  }
  alignas(32) double ev[4], xv[4];
  _mm256_store_pd(ev, e);
  _mm256_store_pd(xv, x);
  for (int i = 0; i < live; ++i) out[i] = (ok >> i & 1) ? ev[i] : std::exp(xv[i]);
}

__attribute__((target("avx2,fma"))) void exp_quads(double* v, int n) {
  for (int i = 0; i < n; i += 4) {
    const int live = n - i < 4 ? n - i : 4;
    alignas(32) double x[4] = {0.0, 0.0, 0.0, 0.0};
    for (int l = 0; l < live; ++l) x[l] = v[i + l];
    store_exp_quad(_mm256_load_pd(x), live, v + i);
  }
  _mm256_zeroupper();
}

// The first `live` of the four stomata on cells at[0 .. 4) of row.
__attribute__((target("avx2,fma"))) inline void stoma_exponential_quad(const double* row,
                                                                       const int* at, int live,
                                                                       double pminj, double a,
                                                                       double* j) {
  const __m256d p = _mm256_insertf128_pd(
      _mm256_castpd128_pd256(_mm_loadh_pd(_mm_load_sd(&row[at[0]]), &row[at[1]])),
      _mm_loadh_pd(_mm_load_sd(&row[at[2]]), &row[at[3]]), 1);
  const __m256d x = _mm256_xor_pd(
      mul_pd(_mm256_sub_pd(p, _mm256_set1_pd(pminj)), _mm256_set1_pd(a)),
      _mm256_set1_pd(-0.0));
  store_exp_quad(x, live, j);
}

__attribute__((target("avx2,fma"))) void stoma_exponential_quads(const double* row,
                                                                 const int* cols, int n,
                                                                 double pminj, double a,
                                                                 double* j) {
  int i = 0;
  for (; i + 4 <= n; i += 4) stoma_exponential_quad(row, cols + i, 4, pminj, a, j + i);
  if (i < n) {
    // As in the octets: lanes past n read the first lane's cell again.
    int at[4];
    for (int lane = 0; lane < 4; ++lane) at[lane] = cols[i + (i + lane < n ? lane : 0)];
    stoma_exponential_quad(row, at, n - i, pminj, a, j + i);
  }
  _mm256_zeroupper();
}

// Values of every size and sign the step meets, each of the 128 table entries
// many times over: a library whose exp is not the one above (another version,
// or the variant for processors without multiply-add) differs on a good share
// of them.
bool same_as_library(void (*exp_many)(double*, int)) {
  constexpr int kTrials = 4096;
  double trial[kTrials], expected[kTrials];
  std::uint64_t state = 0x9e3779b97f4a7c15ull;
  for (int i = 0; i < kTrials; ++i) {
    state = state * 6364136223846793005ull + 1442695040888963407ull;
    const double unit = static_cast<double>(state >> 11) * 0x1p-53;  // [0, 1)
    const double range = i % 4 == 0 ? 1.0 : i % 4 == 1 ? 20.0 : i % 4 == 2 ? 700.0 : 1e-6;
    trial[i] = (2 * unit - 1) * range;
    expected[i] = std::exp(trial[i]);
  }
  exp_many(trial, kTrials);
  for (int i = 0; i < kTrials; ++i) {
    std::uint64_t a, b;
    __builtin_memcpy(&a, &trial[i], sizeof a);
    __builtin_memcpy(&b, &expected[i], sizeof b);
    if (a != b) return false;
  }
  return true;
}

enum class ExpPath { library, quads, octets };

// The widest path the processor has, the row code's vector level allows (so
// that the tests can pin the narrower ones) and the start-up check passed.
ExpPath exp_path() {
  static const bool octets = processor_has_avx512f() && same_as_library(exp_octets);
  static const bool quads =
      processor_has_avx2() && processor_has_fma() && same_as_library(exp_quads);
  const SimdLevel level = simd_level();
  if (octets && level == SimdLevel::avx512) return ExpPath::octets;
  if (quads && (level == SimdLevel::avx2 || level == SimdLevel::avx512)) return ExpPath::quads;
  return ExpPath::library;
}

}  // namespace

bool exp_vector_in_use() { return exp_path() != ExpPath::library; }

void stoma_exponentials(const double* p, const int* at, int n, double pminj, double a,
                        double* j) {
  switch (exp_path()) {
    case ExpPath::octets: stoma_exponential_octets(p, at, n, pminj, a, j); return;
    case ExpPath::quads: stoma_exponential_quads(p, at, n, pminj, a, j); return;
    case ExpPath::library: break;
  }
  stoma_exponentials_library(p, at, n, pminj, a, j);
}

void exp_in_place(double* v, int n) {
  switch (exp_path()) {
    case ExpPath::octets: exp_octets(v, n); return;
    case ExpPath::quads: exp_quads(v, n); return;
    case ExpPath::library: break;
  }
  exp_in_place_library(v, n);
}

}  // namespace ombrisk::step_detail
