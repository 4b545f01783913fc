// Garner's mixed radix over word primes (see garner.h).
#include "numbers/garner.h"

namespace tavrin {

namespace {

// acc + d w, reduced by f first when the sum could pass 2^64 (d, w < 2^31).
inline std::uint64_t accumulate(const WordField& f, std::uint64_t acc, std::uint32_t d, std::uint32_t w) {
  if (acc >= (std::uint64_t{1} << 63)) acc = f.reduce(acc);
  return acc + std::uint64_t{d} * w;
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
  modulus_.mul_add(p, 0);
  ZInt::divmod(modulus_, ZInt(2), &half_, nullptr);
}

std::uint32_t Garner::digit(std::size_t k, std::uint32_t r, const std::uint32_t* d, std::size_t stride) const {
  const WordField& f = fields_[k];
  const std::uint32_t* w = weight_.data() + k * (k - 1) / 2;
  std::uint64_t x = 0;
  for (std::size_t j = 0; j < k; ++j) x = accumulate(f, x, d[j * stride], w[j]);
  return f.mul(f.sub(f.reduce(r), f.reduce(x)), inverse_[k]);
}

void Garner::digits_of(std::size_t k, const std::uint32_t* r, const std::uint32_t* d, std::size_t stride,
                       std::size_t count, std::uint32_t* out) const {
  const WordField& f = fields_[k];
  const std::uint32_t* w = weight_.data() + k * (k - 1) / 2;
  std::vector<std::uint64_t> x(count, 0);
  for (std::size_t j = 0; j < k; ++j) {
    const std::uint32_t* dj = d + j * stride;
    for (std::size_t i = 0; i < count; ++i) x[i] = accumulate(f, x[i], dj[i], w[j]);
  }
  for (std::size_t i = 0; i < count; ++i) out[i] = f.mul(f.sub(f.reduce(r[i]), f.reduce(x[i])), inverse_[k]);
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

}  // namespace tavrin
