// Element vectors over GF(2^8) and GF(2^16) (dense_char2.h).
#include "dense/dense_char2.h"

#include <algorithm>
#include <cstdint>
#include <utility>
#include <vector>

#include "core/thresholds.h"
#include "numbers/bit_poly.h"
#include "numbers/char2_field.h"
#include "dense/half_gcd_impl.h"
#include "dense/series_inverse_impl.h"

namespace tavrin {

namespace {

using u32 = std::uint32_t;
using u64 = std::uint64_t;

// One field: its tables, and the reduction of a Kronecker slot.
class Field {
 public:
  explicit Field(std::int32_t q)
      : t_(char2_tables_of(q)),
        bits_(q == 256 ? 8 : 16),
        mask_(static_cast<u32>(q - 1)),
        fold_(fold_table(q)) {}

  int bits() const { return bits_; }
  std::int32_t order() const { return t_.order; }
  std::int32_t log(std::int32_t v) const { return t_.logs[v]; }
  std::int32_t power(std::int32_t k) const { return t_.expo[k]; }
  std::int32_t mul(std::int32_t x, std::int32_t y) const {
    return x == 0 || y == 0 ? 0 : t_.expo[t_.logs[x] + t_.logs[y]];
  }
  std::int32_t inverse(std::int32_t x) const {
    const std::int32_t l = t_.logs[x];
    return t_.expo[l == 0 ? 0 : t_.order - l];
  }
  std::int32_t square(std::int32_t x) const { return x == 0 ? 0 : t_.expo[2 * t_.logs[x]]; }
  // The order is odd: the square root of x^l is x^(l / 2) or x^((l + order) / 2).
  std::int32_t sqrt(std::int32_t x) const {
    if (x == 0) return 0;
    const std::int32_t l = t_.logs[x];
    return t_.expo[(l % 2 == 0 ? l : l + t_.order) / 2];
  }
  // The element of a slot v of degree below 2 bits - 1.
  std::int32_t reduce(u64 v) const {
    return static_cast<std::int32_t>((static_cast<u32>(v) & mask_) ^ fold_[v >> bits_]);
  }

 private:
  // fold[h] = h z^bits reduced by the field's polynomial, h < 2^(bits - 1).
  static const std::vector<u32>& fold_table(std::int32_t q) {
    static const std::vector<u32> small = build(8, gf256_poly);
    static const std::vector<u32> large = build(16, gf65536_poly);
    return q == 256 ? small : large;
  }
  static std::vector<u32> build(int bits, u32 poly) {
    std::vector<u32> f(std::size_t{1} << (bits - 1));
    for (u32 h = 0; h < f.size(); ++h) {
      u32 v = h << bits;
      for (int k = 2 * bits - 2; k >= bits; --k)
        if ((v >> k) & 1u) v ^= poly << (k - bits);
      f[h] = v;
    }
    return f;
  }

  const char2_tables& t_;
  int bits_;
  u32 mask_;
  const std::vector<u32>& fold_;
};

void trim(DensePoly& a) {
  while (!a.empty() && a.back() == 0) a.pop_back();
}

// The schoolbook product, each row by the logarithm of its coefficient.
DensePoly rows(const DensePoly& a, const DensePoly& b, const Field& F) {
  const DensePoly& s = a.size() <= b.size() ? a : b;
  const DensePoly& l = a.size() <= b.size() ? b : a;
  std::vector<std::int32_t> logs(l.size());
  for (std::size_t j = 0; j < l.size(); ++j) logs[j] = l[j] == 0 ? -1 : F.log(l[j]);
  DensePoly z(a.size() + b.size() - 1, 0);
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] == 0) continue;
    const std::int32_t li = F.log(s[i]);
    std::int32_t* row = z.data() + i;
    for (std::size_t j = 0; j < l.size(); ++j)
      if (logs[j] >= 0) row[j] ^= F.power(li + logs[j]);
  }
  trim(z);
  return z;
}

// The coefficients packed into slots of 2 bits each, PER = 64 / (2 bits)
// to a word; the whole words spelt out (the shifts constant).
template <int PER>
std::vector<u64> pack(const DensePoly& a) {
  constexpr int slot = 64 / PER;
  std::vector<u64> w((a.size() + PER - 1) / PER, 0);
  const std::size_t whole = a.size() / PER;
  const auto at = [&a](std::size_t i) { return static_cast<u64>(static_cast<u32>(a[i])); };
  for (std::size_t k = 0; k < whole; ++k) {
    const std::size_t i = PER * k;
    if constexpr (PER == 4)
      w[k] = at(i) | at(i + 1) << 16 | at(i + 2) << 32 | at(i + 3) << 48;
    else
      w[k] = at(i) | at(i + 1) << 32;
  }
  for (std::size_t i = PER * whole; i < a.size(); ++i)
    w[whole] |= at(i) << (slot * static_cast<int>(i - PER * whole));
  return w;
}

template <int PER>
DensePoly kronecker_by(const DensePoly& a, const DensePoly& b, const Field& F) {
  constexpr int slot = 64 / PER;
  constexpr u64 mask = (u64{1} << slot) - 1;
  const std::vector<u64> w = bit_poly_mul(pack<PER>(a), pack<PER>(b));
  DensePoly z(a.size() + b.size() - 1);
  // The whole words slot by slot, then the slots of the last word below z's end.
  const std::size_t whole = z.size() / PER;
  for (std::size_t k = 0; k < whole; ++k) {
    const u64 v = w[k];
    std::int32_t* out = z.data() + PER * k;
    out[0] = F.reduce(v & mask);
    out[1] = F.reduce((v >> slot) & mask);
    if constexpr (PER == 4) {
      out[2] = F.reduce((v >> 32) & mask);
      out[3] = F.reduce(v >> 48);
    }
  }
  for (std::size_t i = PER * whole; i < z.size(); ++i)
    z[i] = F.reduce((w[whole] >> (slot * static_cast<int>(i - PER * whole))) & mask);
  trim(z);
  return z;
}

DensePoly kronecker(const DensePoly& a, const DensePoly& b, const Field& F) {
  return F.bits() == 8 ? kronecker_by<4>(a, b, F) : kronecker_by<2>(a, b, F);
}

// The inverse of the power series s (s[0] non-zero) to n terms, by Newton's
// iteration g := g + g (s g - 1), doubling the precision (the sign is
// immaterial in characteristic 2).
DensePoly series_inverse(const DensePoly& s, std::int32_t n, std::int32_t q, const Field& F) {
  DensePoly g = dense_detail::newton_series_inverse(
      s, n, F.inverse(s[0]),
      [q](const DensePoly& a, const DensePoly& b) { return dense_char2_mul(a, b, q); }, trim,
      [](std::int32_t c) { return c; });
  trim(g);
  return g;
}

// x := x mod y in place by elimination (y non-zero), the quotient in *quo
// when given; x trimmed.
void eliminate(DensePoly& x, const DensePoly& y, const Field& F, DensePoly* quo) {
  const std::int32_t dy = static_cast<std::int32_t>(y.size()) - 1;
  const std::int32_t inv = F.inverse(y.back());
  std::vector<std::int32_t> logs(static_cast<std::size_t>(dy));
  for (std::int32_t i = 0; i < dy; ++i)
    logs[static_cast<std::size_t>(i)] =
        y[static_cast<std::size_t>(i)] == 0 ? -1 : F.log(y[static_cast<std::size_t>(i)]);
  if (quo != nullptr) quo->assign(x.size() >= y.size() ? x.size() - y.size() + 1 : 0, 0);
  for (std::int32_t cur = static_cast<std::int32_t>(x.size()) - 1; cur >= dy; --cur) {
    const std::int32_t lead = x[static_cast<std::size_t>(cur)];
    if (lead == 0) continue;
    const std::int32_t c = F.mul(lead, inv);
    if (quo != nullptr) (*quo)[static_cast<std::size_t>(cur - dy)] = c;
    const std::int32_t lc = F.log(c);
    std::int32_t* row = x.data() + (cur - dy);
    for (std::int32_t i = 0; i < dy; ++i)
      if (logs[static_cast<std::size_t>(i)] >= 0)
        row[i] ^= F.power(lc + logs[static_cast<std::size_t>(i)]);
    x[static_cast<std::size_t>(cur)] = 0;
  }
  trim(x);
}

DensePoly reversed(const DensePoly& a, std::size_t n) {
  DensePoly r(n, 0);
  for (std::size_t i = 0; i < n && i < a.size(); ++i) r[i] = a[a.size() - 1 - i];
  return r;
}

// floor(a / b) given the series inverse ginv of b reversed to at least
// deg a - deg b + 1 terms.
DensePoly quotient_by_inverse(const DensePoly& a, const DensePoly& b, const DensePoly& ginv,
                              std::int32_t q) {
  const std::size_t k = a.size() - b.size() + 1;
  DensePoly ra = reversed(a, k);
  trim(ra);
  DensePoly gk(ginv.begin(), ginv.begin() + static_cast<std::ptrdiff_t>(std::min(k, ginv.size())));
  trim(gk);
  DensePoly qr = dense_char2_mul(ra, gk, q);
  qr.resize(k, 0);
  std::reverse(qr.begin(), qr.end());
  trim(qr);
  return qr;
}

// a - quo b, known to have degree below deg b.
DensePoly remainder_of(const DensePoly& a, const DensePoly& b, const DensePoly& quo,
                       std::int32_t q) {
  DensePoly r(a.begin(), a.begin() + static_cast<std::ptrdiff_t>(b.size() - 1));
  const DensePoly p = dense_char2_mul(quo, b, q);
  for (std::size_t i = 0; i < r.size() && i < p.size(); ++i) r[i] ^= p[i];
  trim(r);
  return r;
}

// The field for the half-GCD of half_gcd_impl.h.
struct Char2Ops {
  std::int32_t q;
  DensePoly mul(const DensePoly& a, const DensePoly& b) const { return dense_char2_mul(a, b, q); }
  DensePoly add(const DensePoly& a, const DensePoly& b) const { return dense_char2_add(a, b); }
  DensePoly sub(const DensePoly& a, const DensePoly& b) const { return dense_char2_add(a, b); }
  void divrem(const DensePoly& a, const DensePoly& b, DensePoly* quo, DensePoly* rem) const {
    dense_char2_divrem(a, b, q, quo, rem);
  }
  std::int32_t base_degree() const { return char2_hgcd_degree; }
};

void scale(DensePoly& a, std::int32_t c, const Field& F) {
  if (c == 1) return;
  const std::int32_t lc = F.log(c);
  for (auto& v : a)
    if (v != 0) v = F.power(lc + F.log(v));
}

}  // namespace

DensePoly dense_char2_mul(const DensePoly& a, const DensePoly& b, std::int32_t q) {
  if (a.empty() || b.empty()) return {};
  const Field F(q);
  if (static_cast<std::int64_t>(std::min(a.size(), b.size())) < char2_kronecker_length)
    return rows(a, b, F);
  return kronecker(a, b, F);
}

DensePoly dense_char2_sqr(const DensePoly& a, std::int32_t q) {
  if (a.empty()) return {};
  const Field F(q);
  DensePoly z(2 * a.size() - 1, 0);
  for (std::size_t i = 0; i < a.size(); ++i) z[2 * i] = F.square(a[i]);
  return z;
}

DensePoly dense_char2_add(const DensePoly& a, const DensePoly& b) {
  DensePoly r = a;
  if (r.size() < b.size()) r.resize(b.size(), 0);
  for (std::size_t i = 0; i < b.size(); ++i) r[i] ^= b[i];
  trim(r);
  return r;
}

void dense_char2_divrem(const DensePoly& a, const DensePoly& b, std::int32_t q, DensePoly* quo,
                        DensePoly* rem) {
  if (a.size() < b.size()) {
    if (quo != nullptr) quo->clear();
    if (rem != nullptr) *rem = a;
    return;
  }
  const Field F(q);
  const auto db = static_cast<std::int32_t>(b.size()) - 1;
  const auto k = static_cast<std::int32_t>(a.size() - b.size()) + 1;
  if (db >= char2_newton_degree && k >= char2_newton_degree) {
    const DensePoly ginv = series_inverse(reversed(b, b.size()), k, q, F);
    DensePoly qq = quotient_by_inverse(a, b, ginv, q);
    if (rem != nullptr) *rem = remainder_of(a, b, qq, q);
    if (quo != nullptr) *quo = std::move(qq);
    return;
  }
  DensePoly x = a;
  eliminate(x, b, F, quo);
  if (quo != nullptr) trim(*quo);
  if (rem != nullptr) *rem = std::move(x);
}

DensePoly dense_char2_gcd(const DensePoly& a, const DensePoly& b, std::int32_t q) {
  DensePoly x = a, y = b;
  if (x.size() < y.size()) std::swap(x, y);
  const Char2Ops f{q};
  dense_detail::reduce_by_halves(f, x, y, nullptr);
  const Field F(q);
  while (!y.empty()) {
    eliminate(x, y, F, nullptr);
    std::swap(x, y);
  }
  if (!x.empty()) scale(x, F.inverse(x.back()), F);
  return x;
}

void dense_char2_xgcd(const DensePoly& a, const DensePoly& b, std::int32_t q, DensePoly* g,
                      DensePoly* s, DensePoly* t) {
  // M (a, b) = (x, y) throughout.
  DensePoly x = a, y = b;
  dense_detail::Matrix2 M = dense_detail::Matrix2::identity();
  const Char2Ops f{q};
  dense_detail::reduce_by_halves(f, x, y, &M);
  while (!y.empty()) dense_detail::divide_kept(f, x, y, &M);
  const Field F(q);
  const std::int32_t inv = F.inverse(x.back());
  for (DensePoly* v : {&x, &M.m[0][0], &M.m[0][1]}) scale(*v, inv, F);
  *g = std::move(x);
  *s = std::move(M.m[0][0]);
  *t = std::move(M.m[0][1]);
}

DensePoly dense_char2_derivative(const DensePoly& a) {
  if (a.size() <= 1) return {};
  DensePoly d(a.size() - 1, 0);
  for (std::size_t e = 1; e < a.size(); e += 2) d[e - 1] = a[e];
  trim(d);
  return d;
}

DensePoly dense_char2_sqrt(const DensePoly& a, std::int32_t q) {
  const Field F(q);
  DensePoly r((a.size() + 1) / 2);
  for (std::size_t i = 0; i < r.size(); ++i) r[i] = F.sqrt(a[2 * i]);
  trim(r);
  return r;
}

void dense_char2_make_monic(DensePoly& a, std::int32_t q) {
  if (a.empty() || a.back() == 1) return;
  const Field F(q);
  scale(a, F.inverse(a.back()), F);
}

// ---- Modulo a fixed polynomial ----------------------------------------------------------

Char2Modulus::Char2Modulus(DensePoly f, std::int32_t q)
    : f_(std::move(f)), q_(q), n_(static_cast<std::int32_t>(f_.size()) - 1) {
  if (n_ < char2_newton_degree) return;
  g_ = series_inverse(reversed(f_, f_.size()), n_, q_, Field(q_));
  for (std::size_t i = 0; i < g_.size(); ++i) (i % 2 == 0 ? g_even_ : g_odd_).push_back(g_[i]);
}

DensePoly Char2Modulus::reduce(DensePoly a) const {
  if (static_cast<std::int64_t>(a.size()) <= n_) return a;
  if (g_.empty()) {
    eliminate(a, f_, Field(q_), nullptr);
    return a;
  }
  return remainder_of(a, f_, quotient_by_inverse(a, f_, g_, q_), q_);
}

DensePoly Char2Modulus::mul(const DensePoly& a, const DensePoly& b) const {
  return reduce(dense_char2_mul(a, b, q_));
}

// The reversed top of a square is R(t^2), so its product with g to k terms
// is (R g_even)(t^2) + t (R g_odd)(t^2): two products of half the length.
DensePoly Char2Modulus::sqr(const DensePoly& a) const {
  DensePoly z = dense_char2_sqr(a, q_);
  if (g_.empty() || static_cast<std::int64_t>(z.size()) <= n_) return reduce(std::move(z));
  const std::size_t k = z.size() - static_cast<std::size_t>(n_);  // the quotient's length
  DensePoly r((k + 1) / 2);
  for (std::size_t j = 0; j < r.size(); ++j) r[j] = z[z.size() - 1 - 2 * j];
  trim(r);
  const auto head = [](const DensePoly& g, std::size_t m) {
    DensePoly h(g.begin(), g.begin() + static_cast<std::ptrdiff_t>(std::min(m, g.size())));
    trim(h);
    return h;
  };
  const DensePoly even = dense_char2_mul(r, head(g_even_, (k + 1) / 2), q_);
  const DensePoly odd = dense_char2_mul(r, head(g_odd_, k / 2), q_);
  DensePoly quo(k, 0);
  for (std::size_t j = 0; 2 * j < k && j < even.size(); ++j) quo[k - 1 - 2 * j] = even[j];
  for (std::size_t j = 0; 2 * j + 1 < k && j < odd.size(); ++j) quo[k - 2 - 2 * j] = odd[j];
  trim(quo);
  return remainder_of(z, f_, quo, q_);
}

}  // namespace tavrin
