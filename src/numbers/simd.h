// Eight-lane residue arithmetic (AVX2) for the hot loops of the transforms
// (numbers/ntt.h) and of dense/. Every routine that uses these has a
// one-lane twin giving the same results; a caller chooses by
// simd_available(), which asks the processor once.
//
// Lanes hold unsigned 32-bit residues. Lazy forms keep values in [0, 2m)
// for a modulus m below 2^31 (2^30 where a sum of two lazy values is
// formed).
#pragma once

#include <cstdint>

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#define TAVRIN_AVX2 1
#endif

namespace tavrin::simd {

#ifdef TAVRIN_AVX2
inline bool simd_available() {
  static const bool yes = __builtin_cpu_supports("avx2");
  return yes;
}

#define AVX2_FN __attribute__((target("avx2")))

AVX2_FN inline __m256i vset(std::uint32_t v) { return _mm256_set1_epi32(static_cast<int>(v)); }
AVX2_FN inline __m256i vload(const std::uint32_t* a) {
  return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(a));
}
AVX2_FN inline void vstore(std::uint32_t* a, __m256i v) {
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(a), v);
}

// min(v, v - m) unsigned: v reduced from [0, 2m) to [0, m).
AVX2_FN inline __m256i vreduce(__m256i v, __m256i m) {
  return _mm256_min_epu32(v, _mm256_sub_epi32(v, m));
}

// The high 32 bits of the lane products a b.
AVX2_FN inline __m256i vmulhi(__m256i a, __m256i b) {
  const __m256i e = _mm256_mul_epu32(a, b);
  const __m256i o = _mm256_mul_epu32(_mm256_srli_epi64(a, 32), _mm256_srli_epi64(b, 32));
  return _mm256_blend_epi32(_mm256_srli_epi64(e, 32), o, 0xAA);
}

// a w mod m in [0, 2m) (Shoup: wq = floor(w 2^32 / m), w < m), lane by lane.
AVX2_FN inline __m256i vshoup(__m256i a, __m256i w, __m256i wq, __m256i m) {
  const __m256i q = vmulhi(a, wq);
  return _mm256_sub_epi32(_mm256_mullo_epi32(a, w), _mm256_mullo_epi32(q, m));
}

// a b 2^-32 mod p in [0, 2p) (Montgomery, ninv = -p^-1 mod 2^32), a, b < 2p,
// p < 2^30.
AVX2_FN inline __m256i vmont(__m256i a, __m256i b, __m256i p, __m256i ninv) {
  const __m256i te = _mm256_mul_epu32(a, b);
  const __m256i to = _mm256_mul_epu32(_mm256_srli_epi64(a, 32), _mm256_srli_epi64(b, 32));
  const __m256i ue = _mm256_add_epi64(te, _mm256_mul_epu32(_mm256_mul_epu32(te, ninv), p));
  const __m256i uo = _mm256_add_epi64(to, _mm256_mul_epu32(_mm256_mul_epu32(to, ninv), p));
  return _mm256_blend_epi32(_mm256_srli_epi64(ue, 32), uo, 0xAA);
}
#else
inline bool simd_available() { return false; }
#endif

}  // namespace tavrin::simd
