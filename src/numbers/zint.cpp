// Integers as plain values (see zint.h).
#include "numbers/zint.h"

#include <algorithm>
#include <bit>
#include <utility>

#include "core/thresholds.h"
#include "numbers/bigint.h"
#include "numbers/integer_gcd.h"
#include "numbers/limb_array.h"
#include "numbers/node_handles.h"
#include "numbers/word_hgcd_impl.h"

namespace tavrin {

namespace {

constexpr std::uint32_t base_bits = 28;
constexpr std::uint32_t digit_mask = (1u << base_bits) - 1;

std::int64_t to_i64(const ZDigits& m) {
  std::uint64_t v = 0;
  for (std::size_t i = m.size(); i-- > 0;) v = (v << base_bits) | m[i];
  return static_cast<std::int64_t>(v);
}

// The magnitude m as one 128-bit word (at most 128 bits).
unsigned __int128 to_u128(const ZDigits& m) {
  unsigned __int128 v = 0;
  for (std::size_t i = m.size(); i-- > 0;) v = (v << base_bits) | m[i];
  return v;
}

// v as a ZInt.
ZInt from_wide(__int128 v) {
  auto m = v < 0 ? -static_cast<unsigned __int128>(v) : static_cast<unsigned __int128>(v);
  ZDigits d;
  for (; m != 0; m >>= base_bits) d.push_back(static_cast<std::uint32_t>(m & digit_mask));
  return ZInt::from_digits(std::move(d), v < 0 ? -1 : 1);
}

// Bits [pos, pos + 124) of the magnitude m.
unsigned __int128 leading_bits(const ZDigits& m, std::int64_t pos) {
  using u128 = unsigned __int128;
  auto i = static_cast<std::size_t>(pos / base_bits);
  const auto off = static_cast<int>(pos % base_bits);
  if (i >= m.size()) return 0;
  u128 v = m[i] >> off;
  for (int have = static_cast<int>(base_bits) - off; have < 124 && ++i < m.size();
       have += static_cast<int>(base_bits))
    v |= static_cast<u128>(m[i]) << have;
  return v & ((static_cast<u128>(1) << 124) - 1);
}

// (u, v) := (A u + B v, C u + D v): a matrix of Euclidean steps.
void apply_steps(const kit::Matrix& m, ZInt* u, ZInt* v) {
  ZInt nu = ZInt(m.A) * *u;
  nu += ZInt(m.B) * *v;
  ZInt nv = ZInt(m.C) * *u;
  nv += ZInt(m.D) * *v;
  *u = std::move(nu);
  *v = std::move(nv);
}

}  // namespace

std::int64_t word_xgcd(std::int64_t a, std::int64_t b, std::int64_t* s, std::int64_t* t) {
  std::int64_t r0 = a < 0 ? -a : a, r1 = b < 0 ? -b : b;
  std::int64_t s0 = 1, s1 = 0, t0 = 0, t1 = 1;
  while (r1 != 0) {
    const std::int64_t q = r0 / r1;
    std::swap(r0, r1);
    r1 -= q * r0;
    std::swap(s0, s1);
    s1 -= q * s0;
    std::swap(t0, t1);
    t1 -= q * t0;
  }
  *s = a < 0 ? -s0 : s0;
  *t = b < 0 ? -t0 : t0;
  return r0;
}

ZInt::ZInt(std::int64_t v) {
  if (v == 0) return;
  sign_ = v < 0 ? -1 : 1;
  std::uint64_t m = v < 0 ? 0 - static_cast<std::uint64_t>(v) : static_cast<std::uint64_t>(v);
  while (m != 0) {
    mag_.push_back(static_cast<std::uint32_t>(m & digit_mask));
    m >>= base_bits;
  }
}

void ZInt::trim() {
  while (!mag_.empty() && mag_.back() == 0) mag_.pop_back();
  if (mag_.empty()) sign_ = 0;
}

ZInt ZInt::from_number(imptr x) {
  ZInt r;
  r.mag_.resize_for_overwrite(static_cast<std::size_t>(x->size));
  kit::gather(x, r.mag_.data());
  r.sign_ = kit::sign_of_number(x);
  r.trim();
  return r;
}

ZInt ZInt::from_digits(ZDigits magnitude, int sign) {
  ZInt r;
  r.mag_ = std::move(magnitude);
  r.sign_ = sign < 0 ? -1 : 1;
  r.trim();
  return r;
}

ZInt ZInt::from_digits(std::span<const std::uint32_t> magnitude, int sign) {
  ZInt r;
  r.mag_.assign(magnitude.data(), magnitude.size());
  r.sign_ = sign < 0 ? -1 : 1;
  r.trim();
  return r;
}

imptr ZInt::to_number() const {
  return number_from_digits(mag_.data(), static_cast<std::int32_t>(mag_.size()),
                            sign_ < 0 ? -1 : 1);
}

void ZInt::store(imptr x) const { store_digits(mag_.data(), digits(), sign_, x); }

void ZInt::store_digits(const std::uint32_t* d, std::int32_t n, int sign, imptr x) {
  static const std::uint32_t zero = 0;
  while (n > 0 && d[n - 1] == 0) --n;
  if (n == 0) d = &zero;
  kit::install_limbs(x, kit::build_limbs(d, n == 0 ? 1 : n, sign < 0 ? -1 : 1));
}

void ZInt::store_word(std::int64_t v, imptr x) {
  std::uint64_t m = v < 0 ? 0 - static_cast<std::uint64_t>(v) : static_cast<std::uint64_t>(v);
  std::uint32_t d[3];
  std::int32_t n = 0;
  for (; m != 0; m >>= base_bits) d[n++] = static_cast<std::uint32_t>(m & ((1u << base_bits) - 1));
  store_digits(d, n, v < 0 ? -1 : 1, x);
}

std::uint32_t ZInt::mod_word(std::uint32_t p) const {
  std::uint64_t r = 0;
  for (std::size_t i = mag_.size(); i-- > 0;) r = ((r << base_bits) | mag_[i]) % p;
  if (sign_ < 0 && r != 0) r = p - r;
  return static_cast<std::uint32_t>(r);
}

int compare_abs(const ZInt& a, const ZInt& b) {
  if (a.mag_.size() != b.mag_.size()) return a.mag_.size() < b.mag_.size() ? -1 : 1;
  for (std::size_t i = a.mag_.size(); i-- > 0;)
    if (a.mag_[i] != b.mag_[i]) return a.mag_[i] < b.mag_[i] ? -1 : 1;
  return 0;
}

int compare(const ZInt& a, const ZInt& b) {
  if (a.sign_ != b.sign_) return a.sign_ < b.sign_ ? -1 : 1;
  const int c = compare_abs(a, b);
  return a.sign_ < 0 ? -c : c;
}

ZInt ZInt::add_signed(const ZInt& a, const ZInt& b, int bs) {
  if (b.sign_ == 0) return a;
  if (a.sign_ == 0) {
    ZInt r = b;
    r.sign_ = bs;
    return r;
  }
  ZInt r;
  if (a.sign_ == bs) {
    r.mag_.resize_for_overwrite(std::max(a.mag_.size(), b.mag_.size()) + 1);
    const std::int32_t n =
        kit::mag_add(r.mag_.data(), a.mag_.data(), a.digits(), b.mag_.data(), b.digits());
    r.mag_.resize(static_cast<std::size_t>(n));
    r.sign_ = a.sign_;
  } else {
    const int c = compare_abs(a, b);
    if (c == 0) return r;
    const ZInt& big = c > 0 ? a : b;
    const ZInt& small = c > 0 ? b : a;
    r.mag_ = big.mag_;
    r.sign_ = c > 0 ? a.sign_ : bs;
    const std::int32_t n =
        kit::mag_sub_inplace(r.mag_.data(), r.digits(), small.mag_.data(), small.digits());
    r.mag_.resize(static_cast<std::size_t>(n));
  }
  r.trim();
  return r;
}

ZInt operator+(const ZInt& a, const ZInt& b) { return ZInt::add_signed(a, b, b.sign_); }

ZInt operator-(const ZInt& a, const ZInt& b) { return ZInt::add_signed(a, b, -b.sign_); }

ZInt operator*(const ZInt& a, const ZInt& b) {
  ZInt r;
  if (a.sign_ == 0 || b.sign_ == 0) return r;
  r.mag_.resize_for_overwrite(a.mag_.size() + b.mag_.size());
  if (a.mag_.size() == 1 || b.mag_.size() == 1) {
    const ZInt& longer = a.mag_.size() == 1 ? b : a;
    const std::uint32_t m = a.mag_.size() == 1 ? a.mag_[0] : b.mag_[0];
    kit::mag_mul_1(r.mag_.data(), longer.mag_.data(), longer.digits(), m);
    r.mag_.resize(longer.mag_.size() + 1);
  } else {
    kit::mag_mul(r.mag_.data(), a.mag_.data(), a.digits(), b.mag_.data(), b.digits(), multcut);
  }
  r.sign_ = a.sign_ * b.sign_;
  r.trim();
  return r;
}

void ZInt::add_digits_inplace(const std::uint32_t* m, std::int32_t n, int s) {
  const auto had = static_cast<std::int32_t>(mag_.size());
  if (s == sign_) {
    mag_.resize_for_overwrite(static_cast<std::size_t>(std::max(had, n)) + 1);
    mag_.resize(static_cast<std::size_t>(kit::mag_add(mag_.data(), mag_.data(), had, m, n)));
    return;
  }
  const int c = kit::mag_compare(mag_.data(), had, m, n);
  if (c == 0) {
    mag_.clear();
    sign_ = 0;
    return;
  }
  if (c > 0) {
    mag_.resize(static_cast<std::size_t>(kit::mag_sub_inplace(mag_.data(), had, m, n)));
    return;
  }
  // |m| exceeds: m - |this|, with m's sign.
  thread_local std::vector<std::uint32_t> big;
  big.assign(m, m + n);
  big.resize(static_cast<std::size_t>(kit::mag_sub_inplace(big.data(), n, mag_.data(), had)));
  mag_.assign(big.data(), big.size());
  sign_ = s;
}

ZInt& ZInt::operator+=(const ZInt& b) {
  if (b.sign_ == 0) return *this;
  if (this == &b) return *this = *this + b;
  if (sign_ == 0) {  // b's digits into this store's room
    mag_ = b.mag_;
    sign_ = b.sign_;
    return *this;
  }
  add_digits_inplace(b.mag_.data(), b.digits(), b.sign_);
  return *this;
}

ZInt& ZInt::operator-=(const ZInt& b) {
  if (b.sign_ == 0) return *this;
  if (this == &b) return *this = *this - b;
  if (sign_ == 0) {  // b's digits into this store's room
    mag_ = b.mag_;
    sign_ = -b.sign_;
    return *this;
  }
  add_digits_inplace(b.mag_.data(), b.digits(), -b.sign_);
  return *this;
}

void ZInt::add_mul_small(const ZInt& a, std::int32_t m) {
  if (a.sign_ == 0 || m == 0) return;
  const auto um = static_cast<std::uint32_t>(m < 0 ? -m : m);
  const int s = m < 0 ? -a.sign_ : a.sign_;
  const std::size_t na = a.mag_.size();
  if (sign_ == 0 || sign_ == s) {
    // One pass adding a * |m| into the digits (a may be this ZInt: each
    // digit is read before it is written).
    mag_.resize(std::max(na + 1, mag_.size()) + 1);
    std::uint32_t* r = mag_.data();
    const std::uint32_t* ad = a.mag_.data();
    std::uint64_t carry = 0;
    std::size_t i = 0;
    for (; i < na; ++i) {
      const std::uint64_t v = r[i] + std::uint64_t{ad[i]} * um + carry;
      r[i] = static_cast<std::uint32_t>(v & digit_mask);
      carry = v >> base_bits;
    }
    for (; carry != 0; ++i) {
      const std::uint64_t v = r[i] + carry;
      r[i] = static_cast<std::uint32_t>(v & digit_mask);
      carry = v >> base_bits;
    }
    sign_ = s;
    trim();
    return;
  }
  thread_local std::vector<std::uint32_t> p;
  p.resize(na + 1);
  kit::mag_mul_1(p.data(), a.mag_.data(), a.digits(), um);
  auto n = static_cast<std::int32_t>(p.size());
  while (n > 0 && p[static_cast<std::size_t>(n) - 1] == 0) --n;
  add_digits_inplace(p.data(), n, s);
}

void ZInt::mul_add(std::uint32_t m, std::uint32_t a) {
  std::uint64_t carry = a;
  for (std::uint32_t& d : mag_) {
    const std::uint64_t v = std::uint64_t{d} * m + carry;
    d = static_cast<std::uint32_t>(v & digit_mask);
    carry = v >> base_bits;
  }
  for (; carry != 0; carry >>= base_bits)
    mag_.push_back(static_cast<std::uint32_t>(carry & digit_mask));
  sign_ = mag_.empty() ? 0 : 1;
  trim();
}

void ZInt::divmod(const ZInt& a, const ZInt& d, ZInt* q, ZInt* r) {
  ZInt quot, rem;
  if (a.sign_ != 0) {
    if (compare_abs(a, d) < 0) {
      rem = a;
    } else if (d.mag_.size() == 1) {
      const std::uint64_t dv = d.mag_[0];
      quot.mag_.resize_for_overwrite(a.mag_.size());
      std::uint64_t acc = 0;
      for (std::size_t i = a.mag_.size(); i-- > 0;) {
        acc = (acc << base_bits) | a.mag_[i];
        quot.mag_[i] = static_cast<std::uint32_t>(acc / dv);
        acc %= dv;
      }
      rem = ZInt(static_cast<std::int64_t>(acc));
      quot.sign_ = 1;
      quot.trim();
      if (rem.sign_ != 0) rem.sign_ = a.sign_;
    } else {
      ZDigits u = a.mag_;
      u.resize_for_overwrite(a.mag_.size() + 1);  // u[na] is the kernel's to write
      quot.mag_.resize_for_overwrite(a.mag_.size() - d.mag_.size() + 1);
      kit::mag_divmod(u.data(), a.digits(), d.mag_.data(), d.digits(), quot.mag_.data());
      quot.sign_ = 1;
      quot.trim();
      u.resize(d.mag_.size());
      rem.mag_ = std::move(u);
      rem.sign_ = a.sign_;
      rem.trim();
    }
    // Truncated so far (quotient of |a| by |d|, remainder with a's sign).
    if (quot.sign_ != 0) quot.sign_ = a.sign_ * d.sign_;
    if (rem.sign_ < 0) {
      rem.add_digits_inplace(d.mag_.data(), d.digits(), 1);
      quot -= ZInt(d.sign_);
    }
  }
  if (q != nullptr) *q = std::move(quot);
  if (r != nullptr) *r = std::move(rem);
}

ZInt ZInt::mod(const ZInt& m) const {
  if (sign_ >= 0 && compare_abs(*this, m) < 0) return *this;
  ZInt r;
  divmod(*this, m, nullptr, &r);
  return r;
}

bool ZInt::divides(const ZInt& a, const ZInt& d, ZInt* q) {
  ZInt quot, rem;
  divmod(a, d, &quot, &rem);
  if (!rem.is_zero()) return false;
  *q = std::move(quot);
  return true;
}

ZInt ZInt::gcd(const ZInt& a, const ZInt& b) {
  if (a.is_zero()) return b.abs();
  if (b.is_zero()) return a.abs();
  if (a.is_small() || b.is_small()) {
    const ZInt& s = a.is_small() ? a : b;
    const ZInt& o = a.is_small() ? b : a;
    std::uint64_t x = static_cast<std::uint64_t>(to_i64(s.mag_));
    ZInt r;  // o mod |s|, which has gcd(o, s) with |s|
    divmod(o, s, nullptr, &r);
    std::uint64_t y = static_cast<std::uint64_t>(r.to_int64());
    while (y != 0) {
      x %= y;
      std::swap(x, y);
    }
    return ZInt(static_cast<std::int64_t>(x));
  }
  nodes::ScratchNumber x, y;
  imptr xa = a.to_number(), yb = b.to_number();
  num_assign(xa, x.get());
  num_assign(yb, y.get());
  special_free(xa);
  free_imag(&xa);
  special_free(yb);
  free_imag(&yb);
  binary_gcd(x.get(), y.get(), x.get());
  return from_number(x.get());
}

ZInt ZInt::xgcd(const ZInt& a, const ZInt& b, ZInt* s, ZInt* t) {
  if (a.is_small() && b.is_small()) {
    std::int64_t ss = 0, tt = 0;
    const std::int64_t g = word_xgcd(a.to_int64(), b.to_int64(), &ss, &tt);
    *s = ZInt(ss);
    *t = ZInt(tt);
    return ZInt(g);
  }
  const std::int64_t wide = std::min(xgcd_wide_bits, 124);  // cofactors and q s stay below 2^126
  if (a.bit_length() <= wide && b.bit_length() <= wide) {
    using u128 = unsigned __int128;
    using i128 = __int128;
    u128 r0 = to_u128(a.mag_), r1 = to_u128(b.mag_);
    i128 s0 = 1, s1 = 0, t0 = 0, t1 = 1;
    while (r1 != 0) {
      const u128 q = r0 / r1, r = r0 % r1;
      r0 = r1;
      r1 = r;
      const i128 ns = s0 - static_cast<i128>(q) * s1, nt = t0 - static_cast<i128>(q) * t1;
      s0 = s1;
      s1 = ns;
      t0 = t1;
      t1 = nt;
    }
    *s = from_wide(a.sign() < 0 ? -s0 : s0);
    *t = from_wide(b.sign() < 0 ? -t0 : t0);
    return from_wide(static_cast<i128>(r0));
  }
  ZInt r0 = a.abs(), r1 = b.abs(), s0 = 1, s1 = 0, t0 = 0, t1 = 1, q, r;
  while (!r1.is_zero()) {
    // Lehmer's step: the quotients certain from the leading bits of both
    // (Knuth, TAOCP vol. 2, 4.5.2, Algorithm L), applied as one matrix to
    // the remainders and the cofactors: the quotients of the divisions.
    const std::int64_t la = r0.bit_length();
    if (la > xgcd_lehmer_bits && la - r1.bit_length() < 62 && compare_abs(r0, r1) >= 0) {
      const std::int64_t pos = std::max<std::int64_t>(la - 124, 0);
      kit::Matrix m{};
      if (kit::lehmer_matrix(leading_bits(r0.mag_, pos), leading_bits(r1.mag_, pos), m)) {
        apply_steps(m, &r0, &r1);
        apply_steps(m, &s0, &s1);
        apply_steps(m, &t0, &t1);
        continue;
      }
    }
    divmod(r0, r1, &q, &r);
    std::swap(r0, r1);
    std::swap(r1, r);
    s0 -= q * s1;
    std::swap(s0, s1);
    t0 -= q * t1;
    std::swap(t0, t1);
  }
  if (a.sign() < 0) s0.sign_ = -s0.sign_;
  if (b.sign() < 0) t0.sign_ = -t0.sign_;
  *s = std::move(s0);
  *t = std::move(t0);
  return r0;
}

bool ZInt::inverse_mod(const ZInt& a, const ZInt& m, ZInt* x) {
  ZInt s, t;
  const ZInt g = xgcd(a.mod(m), m, &s, &t);
  if (!g.is_one()) return false;
  *x = s.mod(m);
  return true;
}

}  // namespace tavrin
