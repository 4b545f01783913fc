// Garner's mixed radix over word primes (see garner.h).
#include "numbers/garner.h"

namespace tavrin {

void Garner::add_prime(std::uint32_t p) {
  const WordField f(p);
  std::uint32_t prod = f.reduce(1);
  for (const WordField& e : fields_) {
    const std::uint32_t q = f.reduce(e.modulus());
    reduced_.push_back(q);
    prod = f.mul(prod, q);
  }
  fields_.push_back(f);
  inverse_.push_back(f.inv(prod));
  modulus_.mul_add(p, 0);
  ZInt::divmod(modulus_, ZInt(2), &half_, nullptr);
}

std::uint32_t Garner::digit(std::size_t k, std::uint32_t r, const std::uint32_t* d, std::size_t stride) const {
  const WordField& f = fields_[k];
  if (k == 0) return f.reduce(r);
  const std::uint32_t* q = reduced_.data() + k * (k - 1) / 2;
  // x := d_0 + d_1 p_0 + ... + d_{k-1} p_0 ... p_{k-2} modulo p_k (Horner)
  std::uint64_t x = f.reduce(d[(k - 1) * stride]);
  for (std::size_t j = k - 1; j-- > 0;) x = f.reduce(x * q[j] + d[j * stride]);
  return f.mul(f.sub(f.reduce(r), static_cast<std::uint32_t>(x)), inverse_[k]);
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
