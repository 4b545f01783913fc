// Exact quotients (see exact_quotient.h).
#include "matrix/exact_quotient.h"

#include <algorithm>
#include <cstdint>
#include <utility>
#include <vector>

namespace tavrin {

namespace {

constexpr std::uint32_t digit_bits = 28;
constexpr std::uint32_t digit_mask = (1u << digit_bits) - 1;

// m := m / 2^s (digits base 2^28, s bits known to be zero), leading zeros dropped.
void shift_down(std::vector<std::uint32_t>* m, std::int32_t s) {
  const auto whole = static_cast<std::size_t>(s / static_cast<std::int32_t>(digit_bits));
  const auto bits = static_cast<std::uint32_t>(s % static_cast<std::int32_t>(digit_bits));
  m->erase(m->begin(), m->begin() + static_cast<std::ptrdiff_t>(std::min(whole, m->size())));
  if (bits != 0)
    for (std::size_t i = 0; i < m->size(); ++i) {
      const std::uint32_t up = i + 1 < m->size() ? (*m)[i + 1] : 0;
      (*m)[i] = ((*m)[i] >> bits) | ((up << (digit_bits - bits)) & digit_mask);
    }
  while (!m->empty() && m->back() == 0) m->pop_back();
}

}  // namespace

ExactDivisor::ExactDivisor(const ZInt& d)
    : odd_(d.magnitude().begin(), d.magnitude().end()), sign_(d.sign()) {
  std::size_t low = 0;
  while (odd_[low] == 0) ++low;
  shift_ = static_cast<std::int32_t>(low * digit_bits) + __builtin_ctz(odd_[low]);
  shift_down(&odd_, shift_);
  // Newton's iteration x := x (2 - d x) doubles the correct low bits; an odd
  // d is its own inverse modulo 8.
  const std::uint64_t d0 = odd_[0];
  std::uint64_t x = d0;
  for (int i = 0; i < 4; ++i) x = (x * (2 - d0 * x)) & digit_mask;
  inverse_ = static_cast<std::uint32_t>(x);
}

ZInt ExactDivisor::quotient(const ZInt& n) const {
  if (n.is_zero()) return ZInt(0);
  std::vector<std::uint32_t> a(n.magnitude().begin(), n.magnitude().end());
  shift_down(&a, shift_);
  const std::size_t ld = odd_.size();
  if (a.size() < ld) return ZInt(0);  // not a multiple: no meaningful answer
  // |n| / d < 2^(28 L): the top digit of d' is at least 1.
  const std::size_t len = a.size() - ld + 1;
  a.resize(len);
  ZDigits q;
  q.resize_for_overwrite(len);
  for (std::size_t i = 0; i < len; ++i) {
    const auto qi = static_cast<std::uint32_t>((std::uint64_t{a[i]} * inverse_) & digit_mask);
    q[i] = qi;
    if (qi == 0) continue;
    // a := a - qi d' 2^(28 i), modulo 2^(28 len).
    std::int64_t borrow = 0;
    const std::size_t top = std::min(len, i + ld);
    for (std::size_t t = i; t < top; ++t) {
      const std::int64_t v =
          std::int64_t{a[t]} - static_cast<std::int64_t>(std::uint64_t{qi} * odd_[t - i]) - borrow;
      a[t] = static_cast<std::uint32_t>(v & digit_mask);
      borrow = -(v >> digit_bits);  // v >> 28 floors: the borrow is what was taken past the digit
    }
    for (std::size_t t = top; t < len && borrow != 0; ++t) {
      const std::int64_t v = std::int64_t{a[t]} - borrow;
      a[t] = static_cast<std::uint32_t>(v & digit_mask);
      borrow = -(v >> digit_bits);
    }
  }
  return ZInt::from_digits(std::move(q), n.sign() * sign_);
}

}  // namespace tavrin
