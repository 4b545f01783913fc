// The determinant by images modulo word primes (see crt_determinant.h).
#include "matrix/crt_determinant.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <utility>
#include <vector>

#include "core/interrupts.h"
#include "numbers/garner.h"
#include "numbers/primes.h"
#include "numbers/word_field.h"
#include "matrix/image_tasks.h"

namespace tavrin {

namespace {

// log2 of Hadamard's bound, the product of the rows' Euclidean norms, from
// above: each |x| below 2^bits(x).
double hadamard_log2(const ZMatrix& s) {
  double total = 0.0;
  for (std::int32_t r = 0; r < s.rows; ++r) {
    std::int64_t top = -1;
    for (std::int32_t c = 0; c < s.cols; ++c) top = std::max(top, s.at(r, c).bit_length());
    if (top <= 0) return -HUGE_VAL;  // a zero row
    double sum = 0.0;
    for (std::int32_t c = 0; c < s.cols; ++c)
      if (!s.at(r, c).is_zero())
        sum += std::ldexp(1.0, static_cast<int>(2 * (s.at(r, c).bit_length() - top)));
    total += static_cast<double>(top) + 0.5 * std::log2(sum) + 1e-9;
  }
  return total;
}

// det s modulo p by elimination.
std::uint32_t determinant_mod(const ZMatrix& s, const WordField& f, std::vector<std::uint64_t>& a) {
  const std::int32_t n = s.rows;
  const std::uint32_t p = f.modulus();
  const auto w = static_cast<std::size_t>(n);
  a.resize(w * w);
  for (std::size_t i = 0; i < w * w; ++i) a[i] = s.cell[i].mod_word(p);
  std::uint64_t det = 1;
  for (std::size_t i = 0; i < w; ++i) {
    std::size_t piv = i;
    while (piv < w && a[piv * w + i] == 0) ++piv;
    if (piv == w) return 0;
    if (piv != i) {
      std::swap_ranges(a.begin() + static_cast<std::ptrdiff_t>(i * w),
                       a.begin() + static_cast<std::ptrdiff_t>((i + 1) * w),
                       a.begin() + static_cast<std::ptrdiff_t>(piv * w));
      det = det == 0 ? 0 : p - det;
    }
    const std::uint64_t d = a[i * w + i];
    det = f.reduce(det * d);
    const std::uint64_t inv = f.inv(static_cast<std::uint32_t>(d));
    for (std::size_t r = i + 1; r < w; ++r) {
      const std::uint64_t x = a[r * w + i];
      if (x == 0) continue;
      const std::uint64_t g = p - f.reduce(x * inv);
      for (std::size_t c = i + 1; c < w; ++c)
        a[r * w + c] = f.reduce(a[r * w + c] + g * a[i * w + c]);
    }
  }
  return static_cast<std::uint32_t>(det);
}

}  // namespace

ZInt crt_abs_determinant(const ZMatrix& s) {
  const double need = hadamard_log2(s) + 1.0;
  if (need == -HUGE_VAL) return 0;
  // The primes until their product passes the bound, then one image per
  // prime (a task each) and the digits in the order of the primes.
  Garner garner;
  for (double have = 0.0; have <= need;) {
    const std::uint32_t p = word_prime(garner.size());
    garner.add_prime(p);
    have += std::log2(static_cast<double>(p)) - 1e-9;
  }
  std::vector<std::uint32_t> dets(garner.size()), digits(garner.size());
  const double side = s.rows;
  run_images(dets.size(), side * side * side / 3, [&](std::size_t k) {
    check_interrupt();
    std::vector<std::uint64_t> work;
    dets[k] = determinant_mod(s, garner.field(k), work);
  });
  for (std::size_t k = 0; k < dets.size(); ++k) digits[k] = garner.digit(k, dets[k], digits.data());
  return garner.symmetric(digits.data()).abs();
}

}  // namespace tavrin
