#include "support/bigref.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <ostream>
#include <stdexcept>

#include "numbers/freelists.h"

namespace tavrin::test {

BigRef::BigRef(std::int64_t v) {
  neg_ = v < 0;
  std::uint64_t m = neg_ ? 0ull - static_cast<std::uint64_t>(v) : static_cast<std::uint64_t>(v);
  while (m != 0) {
    mag_.push_back(static_cast<std::uint32_t>(m));
    m >>= 32;
  }
}

BigRef BigRef::pow2(unsigned k) {
  BigRef r;
  r.mag_.assign(k / 32 + 1, 0);
  r.mag_.back() = 1u << (k % 32);
  return r;
}

void BigRef::trim() {
  while (!mag_.empty() && mag_.back() == 0) mag_.pop_back();
  if (mag_.empty()) neg_ = false;
}

int BigRef::cmp_mag(const std::vector<std::uint32_t>& a, const std::vector<std::uint32_t>& b) {
  if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
  for (std::size_t i = a.size(); i-- > 0;)
    if (a[i] != b[i]) return a[i] < b[i] ? -1 : 1;
  return 0;
}

std::vector<std::uint32_t> BigRef::add_mag(const std::vector<std::uint32_t>& a,
                                           const std::vector<std::uint32_t>& b) {
  std::vector<std::uint32_t> r(std::max(a.size(), b.size()) + 1, 0);
  std::uint64_t carry = 0;
  for (std::size_t i = 0; i < r.size(); ++i) {
    std::uint64_t s = carry;
    if (i < a.size()) s += a[i];
    if (i < b.size()) s += b[i];
    r[i] = static_cast<std::uint32_t>(s);
    carry = s >> 32;
  }
  return r;
}

std::vector<std::uint32_t> BigRef::sub_mag(const std::vector<std::uint32_t>& a,
                                           const std::vector<std::uint32_t>& b) {
  std::vector<std::uint32_t> r(a.size(), 0);
  std::int64_t borrow = 0;
  for (std::size_t i = 0; i < a.size(); ++i) {
    std::int64_t d = static_cast<std::int64_t>(a[i]) - borrow - (i < b.size() ? b[i] : 0);
    borrow = d < 0 ? 1 : 0;
    if (d < 0) d += (std::int64_t{1} << 32);
    r[i] = static_cast<std::uint32_t>(d);
  }
  return r;
}

BigRef BigRef::operator-() const {
  BigRef r = *this;
  if (!r.is_zero()) r.neg_ = !r.neg_;
  return r;
}

BigRef BigRef::abs() const {
  BigRef r = *this;
  r.neg_ = false;
  return r;
}

BigRef operator+(const BigRef& a, const BigRef& b) {
  BigRef r;
  if (a.neg_ == b.neg_) {
    r.mag_ = BigRef::add_mag(a.mag_, b.mag_);
    r.neg_ = a.neg_;
  } else if (BigRef::cmp_mag(a.mag_, b.mag_) >= 0) {
    r.mag_ = BigRef::sub_mag(a.mag_, b.mag_);
    r.neg_ = a.neg_;
  } else {
    r.mag_ = BigRef::sub_mag(b.mag_, a.mag_);
    r.neg_ = b.neg_;
  }
  r.trim();
  return r;
}

BigRef operator-(const BigRef& a, const BigRef& b) { return a + (-b); }

BigRef operator*(const BigRef& a, const BigRef& b) {
  BigRef r;
  if (a.is_zero() || b.is_zero()) return r;
  r.mag_.assign(a.mag_.size() + b.mag_.size(), 0);
  for (std::size_t i = 0; i < a.mag_.size(); ++i) {
    std::uint64_t carry = 0;
    for (std::size_t j = 0; j < b.mag_.size(); ++j) {
      const std::uint64_t t =
          static_cast<std::uint64_t>(a.mag_[i]) * b.mag_[j] + r.mag_[i + j] + carry;
      r.mag_[i + j] = static_cast<std::uint32_t>(t);
      carry = t >> 32;
    }
    std::size_t k = i + b.mag_.size();
    while (carry != 0) {
      const std::uint64_t t = static_cast<std::uint64_t>(r.mag_[k]) + carry;
      r.mag_[k] = static_cast<std::uint32_t>(t);
      carry = t >> 32;
      ++k;
    }
  }
  r.neg_ = a.neg_ != b.neg_;
  r.trim();
  return r;
}

std::size_t BigRef::bit_length() const {
  if (mag_.empty()) return 0;
  std::size_t n = 32 * (mag_.size() - 1);
  for (std::uint32_t top = mag_.back(); top != 0; top >>= 1) ++n;
  return n;
}

bool BigRef::bit(std::size_t k) const {
  const std::size_t w = k / 32;
  return w < mag_.size() && ((mag_[w] >> (k % 32)) & 1u);
}

BigRef operator<<(const BigRef& a, unsigned k) {
  if (a.is_zero()) return a;
  BigRef r;
  r.neg_ = a.neg_;
  r.mag_.assign(a.mag_.size() + k / 32 + 1, 0);
  for (std::size_t i = 0; i < a.mag_.size(); ++i) {
    const std::uint64_t v = static_cast<std::uint64_t>(a.mag_[i]) << (k % 32);
    r.mag_[i + k / 32] |= static_cast<std::uint32_t>(v);
    r.mag_[i + k / 32 + 1] |= static_cast<std::uint32_t>(v >> 32);
  }
  r.trim();
  return r;
}

void divmod(const BigRef& a, const BigRef& b, BigRef& q, BigRef& r) {
  if (b.is_zero()) throw std::domain_error("BigRef division by zero");
  BigRef quo, rem;
  const BigRef d = b.abs();
  for (std::size_t k = a.bit_length(); k-- > 0;) {
    rem = rem << 1;
    if (a.bit(k)) rem = rem + BigRef(1);
    if (rem >= d) {
      rem = rem - d;
      if (quo.mag_.size() < k / 32 + 1) quo.mag_.resize(k / 32 + 1, 0);
      quo.mag_[k / 32] |= 1u << (k % 32);
    }
  }
  quo.trim();
  quo.neg_ = !quo.is_zero() && (a.neg_ != b.neg_);
  rem.neg_ = !rem.is_zero() && a.neg_;
  q = quo;
  r = rem;
}

BigRef operator/(const BigRef& a, const BigRef& b) {
  BigRef q, r;
  divmod(a, b, q, r);
  return q;
}

BigRef operator%(const BigRef& a, const BigRef& b) {
  BigRef q, r;
  divmod(a, b, q, r);
  return r;
}

bool operator<(const BigRef& a, const BigRef& b) {
  if (a.neg_ != b.neg_) return a.neg_;
  const int c = BigRef::cmp_mag(a.mag_, b.mag_);
  return a.neg_ ? c > 0 : c < 0;
}

BigRef BigRef::gcd(BigRef a, BigRef b) {
  a = a.abs();
  b = b.abs();
  while (!b.is_zero()) {
    BigRef r = a % b;
    a = b;
    b = r;
  }
  return a;
}

std::int64_t BigRef::to_int64() const {
  std::uint64_t m = 0;
  if (mag_.size() > 2) throw std::overflow_error("BigRef does not fit int64");
  for (std::size_t i = mag_.size(); i-- > 0;) m = (m << 32) | mag_[i];
  return neg_ ? static_cast<std::int64_t>(0ull - m) : static_cast<std::int64_t>(m);
}

BigRef BigRef::from_decimal(const std::string& s) {
  BigRef r;
  std::size_t i = 0;
  bool neg = false;
  if (i < s.size() && (s[i] == '-' || s[i] == '+')) neg = s[i++] == '-';
  for (; i < s.size(); ++i) {
    if (s[i] < '0' || s[i] > '9') throw std::invalid_argument("not a decimal: " + s);
    r = r * BigRef(10) + BigRef(s[i] - '0');
  }
  return neg ? -r : r;
}

std::string BigRef::to_decimal() const {
  if (is_zero()) return "0";
  std::vector<std::uint32_t> m = mag_;
  std::string digits;
  while (!m.empty()) {
    std::uint64_t rem = 0;
    for (std::size_t i = m.size(); i-- > 0;) {
      const std::uint64_t cur = (rem << 32) | m[i];
      m[i] = static_cast<std::uint32_t>(cur / 1000000000u);
      rem = cur % 1000000000u;
    }
    while (!m.empty() && m.back() == 0) m.pop_back();
    for (int k = 0; k < 9; ++k) {
      digits.push_back(static_cast<char>('0' + rem % 10));
      rem /= 10;
      if (m.empty() && rem == 0) break;
    }
  }
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
  if (neg_) digits.push_back('-');
  std::reverse(digits.begin(), digits.end());
  return digits;
}

std::ostream& operator<<(std::ostream& os, const BigRef& v) { return os << v.to_decimal(); }

// ---- Bridges -----------------------------------------------------------------

namespace {

// |v| in base 2^28, most significant first (one digit 0 for zero).
std::vector<std::int32_t> base28_digits(const BigRef& v) {
  std::vector<std::int32_t> d;
  const std::size_t bits = v.bit_length();
  const std::size_t n = bits == 0 ? 1 : (bits + 27) / 28;
  for (std::size_t k = n; k-- > 0;) {
    std::int32_t digit = 0;
    for (int b = 27; b >= 0; --b)
      digit = (digit << 1) | (v.bit(28 * k + static_cast<unsigned>(b)) ? 1 : 0);
    d.push_back(digit);
  }
  return d;
}

}  // namespace

BigRef to_ref(const number* x) {
  BigRef r;
  for (numptr p = x->head; p != nullptr; p = p->next) r = r * BigRef(268435456) + BigRef(p->value);
  return r;
}

void assign_ref(imptr x, const BigRef& v) {
  if (x->size > 0) free_limb_list(x->head, x->tail);
  x->head = x->tail = nullptr;
  x->size = 0;
  const int s = v.negative() ? -1 : 1;
  for (std::int32_t digit : base28_digits(v)) {
    numptr l = new_limb();
    l->value = s * digit;
    l->next = nullptr;
    if (x->tail) {
      x->tail->next = l;
    } else {
      x->head = l;
    }
    x->tail = l;
    ++x->size;
  }
}

imptr from_ref(const BigRef& v) {
  imptr x;
  newimag(&x);
  assign_ref(x, v);
  return x;
}

std::vector<std::int32_t> limbs_of(const number* x) {
  std::vector<std::int32_t> r;
  for (numptr p = x->head; p != nullptr; p = p->next) r.push_back(p->value);
  return r;
}

::testing::AssertionResult valid_bigint(const number* x) {
  if (x->size < 1 || x->head == nullptr)
    return ::testing::AssertionFailure() << "no limbs (size " << x->size << ")";
  int sign = 0;
  int count = 0;
  numptr last = nullptr;
  for (numptr p = x->head; p != nullptr; p = p->next) {
    ++count;
    last = p;
    if (p->value >= 268435456 || p->value <= -268435456)
      return ::testing::AssertionFailure() << "limb " << count << " out of range: " << p->value;
    const int s = p->value > 0 ? 1 : (p->value < 0 ? -1 : 0);
    if (s != 0 && sign != 0 && s != sign)
      return ::testing::AssertionFailure() << "limb " << count << " has the wrong sign";
    if (s != 0) sign = s;
    if (count > 40000) return ::testing::AssertionFailure() << "limb list does not end";
  }
  if (count != x->size)
    return ::testing::AssertionFailure() << "size " << x->size << " but " << count << " limbs";
  if (last != x->tail) return ::testing::AssertionFailure() << "tail is not the last limb";
  if (count > 1 && x->head->value == 0) return ::testing::AssertionFailure() << "leading zero limb";
  return ::testing::AssertionSuccess();
}

// ---- Random values ---------------------------------------------------------------

namespace {

std::int32_t random_limb(std::mt19937_64& rng) {
  switch (rng() % 6) {
    case 0: return 0;
    case 1: return 268435455;
    case 2: return static_cast<std::int32_t>(rng() % 4);
    case 3: return 268435455 - static_cast<std::int32_t>(rng() % 4);
    default: return static_cast<std::int32_t>(rng() % 268435456);
  }
}

BigRef from_digits(const std::vector<std::int32_t>& digits, bool neg) {
  BigRef r;
  for (std::int32_t d : digits) r = r * BigRef(268435456) + BigRef(d);
  return neg ? -r : r;
}

}  // namespace

BigRef random_big_exact(std::mt19937_64& rng, int limbs) {
  std::vector<std::int32_t> d(static_cast<std::size_t>(limbs));
  for (auto& v : d) v = random_limb(rng);
  while (d[0] == 0) d[0] = random_limb(rng);
  return from_digits(d, rng() % 2 == 0);
}

BigRef random_big(std::mt19937_64& rng, int max_limbs) {
  if (rng() % 10 == 0) return BigRef(0);
  int limbs = 1 + static_cast<int>(rng() % static_cast<unsigned>(max_limbs));
  if (rng() % 4 == 0) limbs = 1 + static_cast<int>(rng() % 3 % static_cast<unsigned>(max_limbs));
  return random_big_exact(rng, limbs);
}

BigRef random_even_factor(std::mt19937_64& rng, int kind) {
  const unsigned t = 1 + static_cast<unsigned>(rng() % 200);
  if (kind % 3 == 0) return BigRef::pow2(64) + BigRef(2);
  if (kind % 3 == 1) return BigRef::pow2(t);
  return (random_big_exact(rng, 1 + static_cast<int>(rng() % 92)).abs() * BigRef(2) + BigRef(1))
         << t;
}

std::uint64_t test_seed() {
  if (const char* s = std::getenv("TAVRIN_TEST_SEED")) return std::strtoull(s, nullptr, 10);
  return 20261207;
}

int test_iterations(int base) {
  if (const char* s = std::getenv("TAVRIN_TEST_MULTIPLIER")) {
    const int m = std::atoi(s);
    if (m > 0) return base * m;
  }
  return base;
}

}  // namespace tavrin::test
