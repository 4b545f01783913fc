// Garner's mixed radix over word primes (see garner.h).
#include "numbers/garner.h"
#include "core/target_clones.h"

#include <algorithm>

namespace tavrin {

namespace {

// x[i] += d[i] w for i < count.
TAVRIN_CLONES void add_scaled(std::uint64_t* __restrict x, const std::uint32_t* __restrict d,
                              std::uint32_t w, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) x[i] += std::uint64_t{d[i]} * w;
}

}  // namespace

void Garner::add_prime(std::uint32_t p) {
  const WordField f(p);
  std::uint32_t place = f.reduce(1);
  for (const WordField& e : fields_) {
    weight_.push_back(place);
    place = f.mul(place, f.reduce(e.modulus()));
  }
  fields_.push_back(f);
  inverse_.push_back(f.inv(place));
  largest_ = std::max(largest_, p);
  modulus_.mul_add(p, 0);
  ZInt::divmod(modulus_, ZInt(2), &half_, nullptr);
}

std::uint32_t Garner::digit(std::size_t k, std::uint32_t r, const std::uint32_t* d,
                            std::size_t stride) const {
  const WordField& f = fields_[k];
  const std::uint32_t* w = weight_.data() + k * (k - 1) / 2;
  // Digit j is below the largest prime, its place value below p_k.
  const int limbs = dot_limbs(k, std::uint64_t{largest_ - 1} * (f.modulus() - 1));
  const std::uint32_t x = word_dot(
      f, k, limbs, [d, w, stride](std::size_t j) { return std::uint64_t{d[j * stride]} * w[j]; });
  return f.mul(f.sub(f.reduce(r), x), inverse_[k]);
}

void Garner::digits_of(std::size_t k, const std::uint32_t* r, const std::uint32_t* d,
                       std::size_t stride, std::size_t count, std::uint32_t* out) const {
  const WordField& f = fields_[k];
  const std::uint32_t* w = weight_.data() + k * (k - 1) / 2;
  std::vector<std::uint64_t> x(count, 0);
  // A sum of products d_j w_j (d_j below the largest prime, w_j below p_k)
  // is reduced only when the next `room` of them could pass 2^64: after
  // every third digit for primes near 2^31, never for primes below 2^16.
  const std::size_t room = static_cast<std::size_t>(
      std::min<std::uint64_t>(dot_room(std::uint64_t{largest_} * f.modulus(), f), k + 1));
  for (std::size_t j0 = 0; j0 < k; j0 += room) {
    const std::size_t j1 = std::min(k, j0 + room);
    if (j0 > 0)
      for (std::size_t i = 0; i < count; ++i) x[i] = f.reduce(x[i]);
    for (std::size_t j = j0; j < j1; ++j) add_scaled(x.data(), d + j * stride, w[j], count);
  }
  for (std::size_t i = 0; i < count; ++i)
    out[i] = f.mul(f.sub(f.reduce(r[i]), f.reduce(x[i])), inverse_[k]);
}

void Garner::digits(const std::uint32_t* r, std::uint32_t* d, std::size_t stride) const {
  for (std::size_t k = 0; k < fields_.size(); ++k) d[k * stride] = digit(k, r[k], d, stride);
}

ZInt Garner::value(const std::uint32_t* d, std::size_t stride) const {
  ZInt x;
  for (std::size_t k = fields_.size(); k-- > 0;) x.mul_add(fields_[k].modulus(), d[k * stride]);
  return x;
}

ZInt Garner::symmetric(const std::uint32_t* d, std::size_t stride) const {
  ZInt x = value(d, stride);
  if (compare(x, half_) > 0) x -= modulus_;
  return x;
}

bool Garner::above_half(const std::uint32_t* d, std::size_t k, std::size_t stride) const {
  for (std::size_t j = k; j-- > 0;) {
    const std::uint32_t h = (fields_[j].modulus() - 1) / 2;
    if (d[j * stride] != h) return d[j * stride] > h;
  }
  return false;
}

}  // namespace tavrin
