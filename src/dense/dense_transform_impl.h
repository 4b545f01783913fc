// Number-theoretic transforms of residue arrays, the engine behind the long
// products of dense/ (the array product, the Newton division and the
// products modulo a polynomial of dense_modular.h).
//
// Representation.
// - The three transform primes of numbers/ntt.h (transform_prime_table,
//   each below 2^30). A product over the integers is
//   formed modulo the first two or all three, enough that their product
//   exceeds every coefficient (at most (shorter length) (modul - 1)^2), and
//   joined by the Chinese remainder theorem.
// - A spectrum is the transform of an array of length N = 2^lg (6 <= lg <=
//   21) modulo `count` of the primes: prime k's N values at v[k N ...].
//   Spectral values lie in [0, 2p). Their order is the transform's own (the
//   bit-reversed order, permuted inside blocks of 64); pointwise operations
//   do not see it, and the backward transform undoes it.
// - The first half of a spectrum of length N is the spectrum of length N/2
//   of the array folded modulo t^(N/2) - 1 (the forward transform's first
//   level folds, the later levels treat the halves apart).
// - Pointwise products are Montgomery products: a b 2^-32 mod p. Every
//   spectrum that reaches spectrum_values has passed through exactly one
//   product (sums of such spectra included), whose factor 2^-32 the final
//   scaling takes back with 1/N.
// - The values come back through the Chinese remainder theorem as integers
//   in [0, P), P the product of the primes used, then modulo the caller's
//   modulus: a spectrum must stand for a combination of residue arrays with
//   non-negative integer coefficients below P. There is therefore no
//   difference of spectra; a caller subtracts by adding the negated
//   residues (p - c), and counts the sums in the bound it passes to
//   transform_primes_needed.
//
// The butterflies run eight lanes at a time where the processor has AVX2
// (chosen once at start), otherwise one at a time; both give the same
// spectra.
#pragma once

#include <cstdint>
#include <vector>

namespace tavrin::dense_detail {

constexpr int transform_min_lg = 6;
constexpr int transform_max_lg = 21;

// The number of transform primes (2 or 3) whose product exceeds
// len (modul - 1)^2: the coefficient bound of a product whose shorter
// operand has len coefficients below modul. modul < 2^31.
int transform_primes_needed(std::int64_t len, std::int32_t modul);

// The smallest lg >= transform_min_lg with 2^lg >= n.
int transform_lg(std::int64_t n);

// A spectrum's values modulo each prime: prime k's 2^lg values at
// base + k stride. A view of the first half of a spectrum has lg one less
// and the same stride.
struct SpectrumView {
  std::uint32_t* base = nullptr;
  int lg = 0;
  int count = 0;
  std::size_t stride = 0;
  std::size_t size() const { return std::size_t{1} << lg; }
  std::uint32_t* of(int k) const { return base + static_cast<std::size_t>(k) * stride; }
  SpectrumView half() const { return {base, lg - 1, count, stride}; }
};
struct ConstSpectrum {
  const std::uint32_t* base = nullptr;
  int lg = 0;
  int count = 0;
  std::size_t stride = 0;
  ConstSpectrum() = default;
  ConstSpectrum(const SpectrumView& v) : base(v.base), lg(v.lg), count(v.count), stride(v.stride) {}
  std::size_t size() const { return std::size_t{1} << lg; }
  const std::uint32_t* of(int k) const { return base + static_cast<std::size_t>(k) * stride; }
  ConstSpectrum half() const {
    ConstSpectrum h = *this;
    --h.lg;
    return h;
  }
};

// An owned spectrum (storage reused from one use to the next).
class Spectrum {
 public:
  // Storage for `count` primes at length 2^lg.
  SpectrumView shape(int lg, int count) {
    lg_ = lg;
    count_ = count;
    v_.resize((std::size_t{1} << lg) * static_cast<std::size_t>(count));
    return view();
  }
  SpectrumView view() { return {v_.data(), lg_, count_, std::size_t{1} << lg_}; }
  ConstSpectrum view() const {
    SpectrumView v{const_cast<std::uint32_t*>(v_.data()), lg_, count_, std::size_t{1} << lg_};
    return v;
  }
  int lg() const { return lg_; }
  int count() const { return count_; }

 private:
  int lg_ = 0;
  int count_ = 0;
  std::vector<std::uint32_t> v_;
};

// s := the spectrum of length 2^lg modulo `count` primes of a[0 .. na)
// (residues below 2^31), zero padded; a longer array is folded modulo
// t^(2^lg) - 1 first. Returns s's view.
SpectrumView spectrum_of(const std::int32_t* a, std::int64_t na, int lg, int count, Spectrum& s);

// Pointwise operations; every view has the same lg and count, and r may be
// any of the inputs.
// r := a * b (Montgomery).
void spectrum_mul(ConstSpectrum a, ConstSpectrum b, SpectrumView r);
// r := a * b + c * d.
void spectrum_mul_add(ConstSpectrum a, ConstSpectrum b, ConstSpectrum c, ConstSpectrum d,
                      SpectrumView r);
// r := a + b (values kept in [0, 2p)).
void spectrum_add(ConstSpectrum a, ConstSpectrum b, SpectrumView r);

// out[0 .. n) := the coefficients from .. from + n of the cyclic product
// (length 2^lg) that s holds after one pointwise product, modulo modul.
// s's values are overwritten (the backward transform runs in place).
// from + n <= 2^lg.
void spectrum_values(SpectrumView s, std::int32_t modul, std::int64_t from, std::int64_t n,
                     std::int32_t* out);

// Whether the eight-lane butterflies are in use (a test and benchmark hook);
// force_scalar_transforms switches them off for the rest of the run.
bool transforms_vectorised();
void force_scalar_transforms(bool scalar);

}  // namespace tavrin::dense_detail
