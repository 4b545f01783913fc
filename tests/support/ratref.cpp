#include "support/ratref.h"

#include <gtest/gtest.h>

#include <ostream>

namespace tavrin::test {

RatRef::RatRef(const BigRef& n, const BigRef& d) {
  if (d.is_zero()) {
    ADD_FAILURE() << "RatRef with denominator 0";
    return;
  }
  const BigRef g = BigRef::gcd(n, d);
  num_ = n / g;
  den_ = d / g;
  if (den_.negative()) {
    num_ = -num_;
    den_ = -den_;
  }
}

RatRef RatRef::operator-() const {
  RatRef r = *this;
  r.num_ = -r.num_;
  return r;
}

RatRef operator+(const RatRef& a, const RatRef& b) {
  if (a.is_integer() && b.is_integer()) return RatRef(a.num_ + b.num_);
  return RatRef(a.num_ * b.den_ + b.num_ * a.den_, a.den_ * b.den_);
}

RatRef operator-(const RatRef& a, const RatRef& b) { return a + (-b); }

RatRef operator*(const RatRef& a, const RatRef& b) {
  if (a.is_integer() && b.is_integer()) return RatRef(a.num_ * b.num_);
  return RatRef(a.num_ * b.num_, a.den_ * b.den_);
}

RatRef operator/(const RatRef& a, const RatRef& b) {
  if (b.is_zero()) {
    ADD_FAILURE() << "RatRef division by 0";
    return RatRef();
  }
  return RatRef(a.num_ * b.den_, a.den_ * b.num_);
}

RatRef RatRef::pow(std::int64_t k) const {
  RatRef base = k < 0 ? RatRef(1) / *this : *this;
  std::uint64_t e = k < 0 ? 0ull - static_cast<std::uint64_t>(k) : static_cast<std::uint64_t>(k);
  RatRef r(1);
  while (e != 0) {
    if (e & 1u) r = r * base;
    e >>= 1;
    if (e != 0) base = base * base;
  }
  return r;
}

std::string RatRef::to_string() const {
  return is_integer() ? num_.to_decimal() : num_.to_decimal() + "/" + den_.to_decimal();
}

std::ostream& operator<<(std::ostream& os, const RatRef& v) { return os << v.to_string(); }

RatRef random_ratref(std::mt19937_64& rng, std::int64_t max_num, std::int64_t max_den) {
  const std::uint64_t pick = rng() % 8;
  if (pick == 0) return RatRef(0);
  if (pick == 1) return RatRef(rng() % 2 ? 1 : -1);
  const auto n =
      static_cast<std::int64_t>(rng() % static_cast<std::uint64_t>(2 * max_num + 1)) - max_num;
  if (pick == 2 || max_den <= 1) return RatRef(n);
  const auto d = 1 + static_cast<std::int64_t>(rng() % static_cast<std::uint64_t>(max_den));
  return RatRef(BigRef(n), BigRef(d));
}

RatRef evaluate(const RefPoly& p, const std::vector<RatRef>& point) {
  if (point.size() != static_cast<std::size_t>(p.nvars())) {
    ADD_FAILURE() << "evaluate: " << point.size() << " values for " << p.nvars() << " variables";
    return RatRef();
  }
  RatRef sum;
  for (const auto& [e, c] : p.terms()) {
    RatRef t(c);
    for (std::size_t i = 0; i < e.size(); ++i)
      if (e[i] != 0) t = t * point[i].pow(e[i]);
    sum = sum + t;
  }
  return sum;
}

std::optional<RatRef> evaluate(const RefPoly& num, const RefPoly& den,
                               const std::vector<RatRef>& point) {
  const RatRef d = evaluate(den, point);
  if (d.is_zero()) return std::nullopt;
  return evaluate(num, point) / d;
}

}  // namespace tavrin::test
