// Residue vectors and arithmetic modulo a fixed polynomial (dense_modular.h).
#include "dense/dense_modular.h"

#include <algorithm>
#include <cstdint>
#include <utility>
#include <vector>

#include "core/interrupts.h"
#include "core/thresholds.h"
#include "numbers/word_field.h"
#include "numbers/word_mod.h"
#include "dense/dense_divide.h"
#include "dense/dense_impl.h"
#include "dense/dense_simd_impl.h"
#include "dense/dense_transform_impl.h"
#include "dense/half_gcd_impl.h"
#include "dense/series_inverse_impl.h"

namespace tavrin {

using dense_detail::ConstSpectrum;
using dense_detail::Spectrum;
using dense_detail::spectrum_of;
using dense_detail::spectrum_values;
using dense_detail::SpectrumView;

namespace {

using u32 = std::uint32_t;
using u64 = std::uint64_t;
using u128 = unsigned __int128;

// x[0 .. n) := x - c y mod p (residues; c a residue).
void sub_multiple_scalar(std::int32_t* x, const std::int32_t* y, std::size_t n, u32 c, u32 p) {
  const u32 w = p - c, wq = shoup_quotient(w, p);
  for (std::size_t i = 0; i < n; ++i) {
    const auto yi = static_cast<u32>(y[i]);
    const u32 t = shoup_mul(yi, w, wq, p);
    u32 s = static_cast<u32>(x[i]) + t;
    if (s >= p) s -= p;
    x[i] = static_cast<std::int32_t>(s);
  }
}

#ifdef TAVRIN_DENSE_AVX2
using dense_detail::vload;
using dense_detail::vreduce;
using dense_detail::vset;
using dense_detail::vshoup;
using dense_detail::vstore;
AVX2_FN void sub_multiple_avx2(std::int32_t* x, const std::int32_t* y, std::size_t n, u32 c,
                               u32 pp) {
  const u32 w0 = pp - c;
  const __m256i w = vset(w0), wq = vset(shoup_quotient(w0, pp)), p = vset(pp);
  auto* ux = reinterpret_cast<u32*>(x);
  const auto* uy = reinterpret_cast<const u32*>(y);
  std::size_t i = 0;
  for (; i + 8 <= n; i += 8) {
    const __m256i t = vreduce(vshoup(vload(uy + i), w, wq, p), p);
    vstore(ux + i, vreduce(_mm256_add_epi32(vload(ux + i), t), p));
  }
  if (i < n) sub_multiple_scalar(x + i, y + i, n - i, c, pp);
}
#endif

void sub_multiple(std::int32_t* x, const std::int32_t* y, std::size_t n, u32 c, u32 p) {
  if (c == 0) return;
#ifdef TAVRIN_DENSE_AVX2
  if (n >= 16 && dense_detail::simd_available()) return sub_multiple_avx2(x, y, n, c, p);
#endif
  sub_multiple_scalar(x, y, n, c, p);
}

u32 mul_residues(u32 a, u32 b, u32 p) { return static_cast<u32>(static_cast<u64>(a) * b % p); }

// The schoolbook product, rows summed unreduced: in 64 bits while the
// products of the shorter operand fit, else with a carry count per entry.
DensePoly schoolbook(const DensePoly& a, const DensePoly& b, std::int32_t p) {
  const std::size_t na = a.size(), nb = b.size();
  const WordField red(static_cast<u32>(p));
  std::vector<u64> acc(na + nb - 1, 0);
  DensePoly z(na + nb - 1);
  const std::size_t shorter = std::min(na, nb);
  if (dot_limbs(shorter, red) <= 1) {
    const DensePoly& s = na <= nb ? a : b;
    const DensePoly& l = na <= nb ? b : a;
    for (std::size_t i = 0; i < s.size(); ++i) {
      const auto si = static_cast<u64>(s[i]);
      if (si == 0) continue;
      u64* row = acc.data() + i;
      for (std::size_t j = 0; j < l.size(); ++j) row[j] += si * static_cast<u64>(l[j]);
    }
    for (std::size_t k = 0; k < z.size(); ++k) z[k] = static_cast<std::int32_t>(red.reduce(acc[k]));
  } else {
    std::vector<u32> carry(z.size(), 0);
    for (std::size_t i = 0; i < na; ++i) {
      const auto ai = static_cast<u64>(a[i]);
      if (ai == 0) continue;
      for (std::size_t j = 0; j < nb; ++j) {
        const u64 t = ai * static_cast<u64>(b[j]);
        acc[i + j] += t;
        carry[i + j] += acc[i + j] < t ? 1u : 0u;
      }
    }
    const u64 two64 = static_cast<u64>((static_cast<u128>(1) << 64) % static_cast<u64>(p));
    for (std::size_t k = 0; k < z.size(); ++k)
      z[k] = static_cast<std::int32_t>(red.reduce(red.reduce(acc[k]) + carry[k] * two64));
  }
  dense_trim(z);
  return z;
}

// The inverse of the power series s (s[0] non-zero) to n terms, by Newton's
// iteration g := g - g (s g - 1), doubling the precision.
DensePoly series_inverse(const DensePoly& s, std::int32_t n, std::int32_t p) {
  return dense_detail::newton_series_inverse(
      s, n, static_cast<std::int32_t>(inverse_modulo(static_cast<u64>(s[0]), static_cast<u32>(p))),
      [p](const DensePoly& a, const DensePoly& b) { return dense_mul(a, b, p); }, dense_trim,
      [p](std::int32_t v) { return v == 0 ? 0 : p - v; });
}

// x := x mod y in place by elimination (y non-zero, its leading
// coefficient inverted once); x trimmed.
void eliminate_in_place(DensePoly& x, const DensePoly& y, std::int32_t p, DensePoly* q) {
  const std::int32_t dy = dense_degree(y);
  const auto up = static_cast<u32>(p);
  const u32 inv = inverse_modulo(static_cast<u64>(y.back()), up);
  if (q != nullptr) q->assign(x.size() >= y.size() ? x.size() - y.size() + 1 : 0, 0);
  for (std::int32_t cur = dense_degree(x); cur >= dy; --cur) {
    const auto lead = static_cast<u32>(x[static_cast<std::size_t>(cur)]);
    if (lead == 0) continue;
    const u32 c = mul_residues(lead, inv, up);
    if (q != nullptr) (*q)[static_cast<std::size_t>(cur - dy)] = static_cast<std::int32_t>(c);
    sub_multiple(x.data() + (cur - dy), y.data(), static_cast<std::size_t>(dy), c, up);
    x[static_cast<std::size_t>(cur)] = 0;
  }
  dense_trim(x);
}

}  // namespace

// ---- Residue vectors ------------------------------------------------------------------

void dense_trim(DensePoly& a) {
  while (!a.empty() && a.back() == 0) a.pop_back();
}

DensePoly dense_mul(const DensePoly& a, const DensePoly& b, std::int32_t p) {
  if (a.empty() || b.empty()) return {};
  if (static_cast<std::int64_t>(std::min(a.size(), b.size())) < dense_transform_length)
    return schoolbook(a, b, p);
  DensePoly z(a.size() + b.size() - 1);
  const auto na = static_cast<std::int32_t>(a.size()), nb = static_cast<std::int32_t>(b.size());
  // Past the longest transform: pieces of half its length, each pair by one.
  if (dense_detail::transform_lg(std::int64_t{na} + nb - 1) > dense_detail::transform_max_lg)
    dense_detail::ntt_product_by_pieces(a.data(), na, b.data(), nb, z.data(), p,
                                        std::int32_t{1} << (dense_detail::transform_max_lg - 1));
  else
    dense_detail::ntt_product(a.data(), na, b.data(), nb, z.data(), p);
  dense_trim(z);
  return z;
}

void dense_divrem(const DensePoly& a, const DensePoly& b, std::int32_t p, DensePoly* q,
                  DensePoly* r) {
  if (a.size() < b.size()) {
    if (q != nullptr) q->clear();
    if (r != nullptr) *r = a;
    return;
  }
  const std::int32_t da = dense_degree(a), db = dense_degree(b);
  if (newton_division_pays(da, db)) {
    DensePoly qq(static_cast<std::size_t>(da - db + 1)), rr(static_cast<std::size_t>(db));
    const std::int32_t rdeg =
        newton_array_divide(a.data(), da, b.data(), db, qq.data(), rr.data(), p);
    rr.resize(static_cast<std::size_t>(rdeg + 1));
    dense_trim(qq);
    if (q != nullptr) *q = std::move(qq);
    if (r != nullptr) *r = std::move(rr);
    return;
  }
  DensePoly x = a;
  eliminate_in_place(x, b, p, q);
  if (q != nullptr) dense_trim(*q);
  if (r != nullptr) *r = std::move(x);
}

DensePoly dense_derivative(const DensePoly& a, std::int32_t p) {
  if (a.size() <= 1) return {};
  DensePoly d(a.size() - 1);
  for (std::size_t e = 1; e < a.size(); ++e)
    d[e - 1] = static_cast<std::int32_t>(static_cast<u64>(e % static_cast<u64>(p)) *
                                         static_cast<u64>(a[e]) % static_cast<u64>(p));
  dense_trim(d);
  return d;
}

void dense_scale(DensePoly& a, std::int32_t c, std::int32_t p) {
  for (auto& v : a)
    v = static_cast<std::int32_t>(
        mul_residues(static_cast<u32>(v), static_cast<u32>(c), static_cast<u32>(p)));
  dense_trim(a);
}

void dense_make_monic(DensePoly& a, std::int32_t p) {
  if (a.empty() || a.back() == 1) return;
  dense_scale(
      a, static_cast<std::int32_t>(inverse_modulo(static_cast<u64>(a.back()), static_cast<u32>(p))),
      p);
}

DensePoly dense_sub(const DensePoly& a, const DensePoly& b, std::int32_t p) {
  DensePoly r = a;
  if (r.size() < b.size()) r.resize(b.size(), 0);
  for (std::size_t i = 0; i < b.size(); ++i) {
    const std::int32_t d = r[i] - b[i];
    r[i] = d < 0 ? d + p : d;
  }
  dense_trim(r);
  return r;
}

DensePoly dense_add(const DensePoly& a, const DensePoly& b, std::int32_t p) {
  DensePoly r = a;
  if (r.size() < b.size()) r.resize(b.size(), 0);
  for (std::size_t i = 0; i < b.size(); ++i) {
    const u32 s = static_cast<u32>(r[i]) + static_cast<u32>(b[i]);
    r[i] = static_cast<std::int32_t>(s >= static_cast<u32>(p) ? s - static_cast<u32>(p) : s);
  }
  dense_trim(r);
  return r;
}

// ---- The half-GCD ----------------------------------------------------------------------

namespace {

using dense_detail::Matrix2;

// The prime field for the half-GCD of half_gcd_impl.h.
struct ResidueOps {
  std::int32_t p;
  DensePoly mul(const DensePoly& a, const DensePoly& b) const { return dense_mul(a, b, p); }
  DensePoly add(const DensePoly& a, const DensePoly& b) const { return dense_add(a, b, p); }
  DensePoly sub(const DensePoly& a, const DensePoly& b) const { return dense_sub(a, b, p); }
  void divrem(const DensePoly& a, const DensePoly& b, DensePoly* q, DensePoly* r) const {
    dense_divrem(a, b, p, q, r);
  }
  std::int32_t base_degree() const { return dense_hgcd_degree; }
};

}  // namespace

DensePoly dense_gcd(const DensePoly& a, const DensePoly& b, std::int32_t p) {
  DensePoly x = a, y = b;
  if (x.size() < y.size()) std::swap(x, y);
  dense_detail::reduce_by_halves(ResidueOps{p}, x, y, nullptr);
  while (!y.empty()) {
    eliminate_in_place(x, y, p, nullptr);
    std::swap(x, y);
  }
  dense_make_monic(x, p);
  return x;
}

void dense_xgcd(const DensePoly& a, const DensePoly& b, std::int32_t p, DensePoly* g, DensePoly* s,
                DensePoly* t) {
  // M (a, b) = (x, y) throughout.
  DensePoly x = a, y = b;
  Matrix2 M = Matrix2::identity();
  const ResidueOps f{p};
  dense_detail::reduce_by_halves(f, x, y, &M);
  while (!y.empty()) dense_detail::divide_kept(f, x, y, &M);
  const auto inv =
      static_cast<std::int32_t>(inverse_modulo(static_cast<u64>(x.back()), static_cast<u32>(p)));
  for (DensePoly* v : {&x, &M.m[0][0], &M.m[0][1]}) dense_scale(*v, inv, p);
  *g = std::move(x);
  *s = std::move(M.m[0][0]);
  *t = std::move(M.m[0][1]);
}

// ---- Modulo a fixed polynomial ----------------------------------------------------------

PolyModulus::PolyModulus(DensePoly f, std::int32_t p)
    : f_(std::move(f)), p_(p), n_(dense_degree(f_)) {
  if (n_ < std::max(dense_modulus_degree, 33) ||
      dense_detail::transform_lg(2 * std::int64_t{n_} - 1) > dense_detail::transform_max_lg)
    return;
  lg_ = dense_detail::transform_lg(2 * std::int64_t{n_} - 1);
  // The largest sum: a b + (-q) f with one factor a sum of two prepared
  // factors, below 3 n (p - 1)^2.
  count_ = dense_detail::transform_primes_needed(4 * std::int64_t{n_}, p_);
  // g = floor(t^(2n-1) / f): reversed, the inverse of f reversed to n terms.
  DensePoly rev(f_.rbegin(), f_.rend());
  const DensePoly inv = series_inverse(rev, n_, p_);
  DensePoly g(inv.rbegin(), inv.rend());
  spectrum_of(g.data(), n_, lg_, count_, g_);
  spectrum_of(f_.data(), n_ + 1, lg_ - 1, count_, f_half_);
}

// Moduli past the longest transform reduce by Newton's division when it
// pays (the same remainder), shorter ones by elimination.
DensePoly PolyModulus::reduce_classical(DensePoly a) const {
  if (a.size() <= f_.size() - 1) return a;
  if (newton_division_pays(dense_degree(a), n_)) {
    DensePoly r;
    dense_divrem(a, f_, p_, nullptr, &r);
    return r;
  }
  eliminate_in_place(a, f_, p_, nullptr);
  return a;
}

DensePoly PolyModulus::remainder_with(DensePoly q, ConstSpectrum a_half,
                                      ConstSpectrum b_half) const {
  // a b + (-q) f, the residues of -q making every term non-negative.
  for (auto& c : q) c = c == 0 ? 0 : p_ - c;
  const SpectrumView r =
      spectrum_of(q.data(), static_cast<std::int64_t>(q.size()), lg_ - 1, count_, s_[2]);
  dense_detail::spectrum_mul_add(a_half, b_half, r, f_half_.view(), r);
  DensePoly out(static_cast<std::size_t>(n_));
  spectrum_values(r, p_, 0, n_, out.data());
  dense_trim(out);
  return out;
}

DensePoly PolyModulus::reduce_product(SpectrumView c, ConstSpectrum a_half,
                                      ConstSpectrum b_half) const {
  // c_hi = floor(c / t^n), n - 1 coefficients; q = floor(c_hi g / t^(n-1)).
  tmp_.resize(static_cast<std::size_t>(n_));
  spectrum_values(c, p_, n_, n_ - 1, tmp_.data());
  const SpectrumView s = spectrum_of(tmp_.data(), n_ - 1, lg_, count_, s_[3]);
  dense_detail::spectrum_mul(s, g_.view(), s);
  DensePoly q(static_cast<std::size_t>(n_ - 1));
  spectrum_values(s, p_, n_ - 1, n_ - 1, q.data());
  return remainder_with(q, a_half, b_half);
}

DensePoly PolyModulus::reduce(DensePoly a) const {
  if (dense_degree(a) < n_) return a;
  if (lg_ == 0 || dense_degree(a) > 2 * n_ - 1) {
    if (lg_ == 0) return reduce_classical(std::move(a));
    DensePoly r;
    dense_divrem(a, f_, p_, nullptr, &r);
    return r;
  }
  // deg a < 2n: q from the top n coefficients; the remainder modulo
  // t^(N/2) - 1, a folded in place of its spectrum.
  a.resize(static_cast<std::size_t>(2 * n_), 0);
  const SpectrumView s = spectrum_of(a.data() + n_, n_, lg_, count_, s_[3]);
  dense_detail::spectrum_mul(s, g_.view(), s);
  DensePoly q(static_cast<std::size_t>(n_));
  spectrum_values(s, p_, n_ - 1, n_, q.data());
  const SpectrumView r = spectrum_of(q.data(), n_, lg_ - 1, count_, s_[2]);
  dense_detail::spectrum_mul(r, f_half_.view(), r);
  DensePoly qf(static_cast<std::size_t>(n_));
  spectrum_values(r, p_, 0, n_, qf.data());
  const std::size_t half = std::size_t{1} << (lg_ - 1);
  DensePoly out(static_cast<std::size_t>(n_));
  for (std::size_t i = 0; i < out.size(); ++i) {
    u64 v = static_cast<u32>(a[i]);
    if (i + half < a.size()) v += static_cast<u32>(a[i + half]);
    v += static_cast<u64>(p_) - static_cast<u32>(qf[i]);
    out[i] = static_cast<std::int32_t>(v % static_cast<u64>(p_));
  }
  dense_trim(out);
  return out;
}

DensePoly PolyModulus::mul(const DensePoly& a, const DensePoly& b) const {
  if (a.empty() || b.empty()) return {};
  if (lg_ == 0) return reduce_classical(dense_mul(a, b, p_));
  const SpectrumView sa =
      spectrum_of(a.data(), static_cast<std::int64_t>(a.size()), lg_, count_, s_[0]);
  const SpectrumView sb =
      spectrum_of(b.data(), static_cast<std::int64_t>(b.size()), lg_, count_, s_[1]);
  const SpectrumView c = s_[2].shape(lg_, count_);
  dense_detail::spectrum_mul(sa, sb, c);
  return reduce_product(c, sa.half(), sb.half());
}

DensePoly PolyModulus::sqr(const DensePoly& a) const {
  if (a.empty()) return {};
  if (lg_ == 0) return reduce_classical(dense_mul(a, a, p_));
  const SpectrumView sa =
      spectrum_of(a.data(), static_cast<std::int64_t>(a.size()), lg_, count_, s_[0]);
  const SpectrumView c = s_[1].shape(lg_, count_);
  dense_detail::spectrum_mul(sa, sa, c);
  return reduce_product(c, sa.half(), sa.half());
}

DensePoly PolyModulus::power(const DensePoly& a, std::uint64_t e) const {
  if (e == 0) return reduce(DensePoly{1});
  int bit = 63;
  while (((e >> bit) & 1u) == 0) --bit;
  const FixedFactor base(a, *this);
  DensePoly r = a;
  for (--bit; bit >= 0; --bit) {
    r = sqr(r);
    if (((e >> bit) & 1u) != 0) r = base.times(r);
  }
  return r;
}

DensePoly PolyModulus::power_of_t(std::uint64_t e) const {
  if (e == 0) return reduce(DensePoly{1});
  int bit = 63;
  while (((e >> bit) & 1u) == 0) --bit;
  DensePoly r = reduce(DensePoly{0, 1});
  const auto up = static_cast<u32>(p_);
  for (--bit; bit >= 0; --bit) {
    r = sqr(r);
    if (((e >> bit) & 1u) == 0 || r.empty()) continue;
    r.insert(r.begin(), 0);  // r t, then one elimination step if it reached t^n
    if (dense_degree(r) == n_) {
      const auto c = static_cast<u32>(r.back());
      sub_multiple(r.data(), f_.data(), static_cast<std::size_t>(n_), c, up);
      r.pop_back();
      dense_trim(r);
    }
  }
  return r;
}

FixedFactor::FixedFactor(const DensePoly& b, const PolyModulus& m) : m_(&m) {
  if (!m.by_transforms()) {
    b_ = b;
    return;
  }
  const std::int32_t n = m.n_;
  spectrum_of(b.data(), static_cast<std::int64_t>(b.size()), m.lg_ - 1, m.count_, half_);
  // b' = floor(b t^n / f) = floor(b g / t^(n-1)).
  const SpectrumView s =
      spectrum_of(b.data(), static_cast<std::int64_t>(b.size()), m.lg_, m.count_, quotient_);
  dense_detail::spectrum_mul(s, m.g_.view(), s);
  std::vector<std::int32_t> bq(static_cast<std::size_t>(n));
  spectrum_values(s, m.p_, n - 1, n, bq.data());
  spectrum_of(bq.data(), n, m.lg_, m.count_, quotient_);
}

FixedFactor FixedFactor::sum(const FixedFactor& x, const FixedFactor& y) {
  FixedFactor r;
  r.m_ = x.m_;
  if (!x.m_->by_transforms()) {
    r.b_ = dense_add(x.b_, y.b_, x.m_->p_);
    return r;
  }
  dense_detail::spectrum_add(x.half_.view(), y.half_.view(),
                             r.half_.shape(x.half_.lg(), x.half_.count()));
  dense_detail::spectrum_add(x.quotient_.view(), y.quotient_.view(),
                             r.quotient_.shape(x.quotient_.lg(), x.quotient_.count()));
  return r;
}

DensePoly FixedFactor::times(const DensePoly& a) const {
  const PolyModulus& m = *m_;
  if (!m.by_transforms()) return m.mul(a, b_);
  if (a.empty()) return {};
  const std::int32_t n = m.n_;
  const SpectrumView sa =
      spectrum_of(a.data(), static_cast<std::int64_t>(a.size()), m.lg_, m.count_, m.s_[0]);
  const SpectrumView t = m.s_[1].shape(m.lg_, m.count_);
  dense_detail::spectrum_mul(sa, quotient_.view(), t);
  DensePoly q(static_cast<std::size_t>(n - 1));
  spectrum_values(t, m.p_, n, n - 1, q.data());
  return m.remainder_with(q, sa.half(), half_.view());
}

// ---- Composition ------------------------------------------------------------------------

Composer::Composer(const DensePoly& h, const PolyModulus& m, std::int32_t k) : m_(&m), k_(k) {
  const auto n = static_cast<std::size_t>(m.degree());
  rows_.assign(static_cast<std::size_t>(k) * n, 0);
  DensePoly power = m.reduce(DensePoly{1});
  const FixedFactor by_h(h, m);
  for (std::int32_t j = 0; j < k; ++j) {
    std::copy(power.begin(), power.end(),
              rows_.begin() + static_cast<std::ptrdiff_t>(static_cast<std::size_t>(j) * n));
    power = by_h.times(power);
    check_interrupt();
  }
  top_ = FixedFactor(power, m);
}

std::vector<DensePoly> Composer::compose(const std::vector<DensePoly>& gs) const {
  const PolyModulus& m = *m_;
  const std::int32_t n = m.degree(), p = m.prime();
  const auto k = static_cast<std::size_t>(k_);
  // The chunks of every g, one row of the left matrix each.
  std::vector<std::size_t> first(gs.size() + 1, 0);
  for (std::size_t i = 0; i < gs.size(); ++i) first[i + 1] = first[i] + (gs[i].size() + k - 1) / k;
  const std::size_t rows = first.back();
  std::vector<u32> a(rows * k, 0);
  for (std::size_t i = 0; i < gs.size(); ++i)
    for (std::size_t c = 0; c < gs[i].size(); ++c) a[first[i] * k + c] = static_cast<u32>(gs[i][c]);
  std::vector<std::int32_t> b(rows * static_cast<std::size_t>(n));
  if (rows > 0)
    dense_detail::residue_matrix_product(a.data(), static_cast<std::int32_t>(rows), k_,
                                         rows_.data(), n, p, b.data());
  std::vector<DensePoly> out(gs.size());
  for (std::size_t i = 0; i < gs.size(); ++i) {
    DensePoly r;
    for (std::size_t row = first[i + 1]; row-- > first[i];) {
      if (row + 1 < first[i + 1]) {
        r = top_.times(r);
        check_interrupt();
      }
      const std::int32_t* bi = b.data() + row * static_cast<std::size_t>(n);
      DensePoly chunk(bi, bi + n);
      dense_trim(chunk);
      r = dense_add(r, chunk, p);
    }
    out[i] = std::move(r);
  }
  return out;
}

DensePoly Composer::compose(const DensePoly& g) const {
  return compose(std::vector<DensePoly>{g}).front();
}

// ---- The residue matrix product -----------------------------------------------------------

namespace dense_detail {

namespace {

// acc[i n + t] += sum_j a[i k + j] plane(h[j n + t]) for rows i < r, the
// plane the low or high 16 bits of h: every product below 2^47, so up to
// 2^17 terms add up in 64 bits.
void plane_product_scalar(const u64* a, std::int32_t r, std::int32_t k, const u32* h,
                          std::int32_t n, int shift, u64* acc) {
  const auto nn = static_cast<std::size_t>(n), kk = static_cast<std::size_t>(k);
  for (std::size_t i = 0; i < static_cast<std::size_t>(r); ++i) {
    u64* out = acc + i * nn;
    for (std::size_t j = 0; j < kk; ++j) {
      const u64 c = a[i * kk + j];
      if (c == 0) continue;
      const u32* row = h + j * nn;
      for (std::size_t t = 0; t < nn; ++t) out[t] += c * ((row[t] >> shift) & 0xffffu);
    }
  }
}

#ifdef TAVRIN_DENSE_AVX2
// Four entries of a row of h, their plane, widened to 64-bit lanes (the
// whole entries when `whole`, for moduli below 2^16).
template <bool whole>
AVX2_FN inline __m256i plane_of(const u32* src, __m128i shift, __m128i mask) {
  const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src));
  if (whole) return _mm256_cvtepu32_epi64(v);
  return _mm256_cvtepu32_epi64(_mm_and_si128(_mm_srl_epi32(v, shift), mask));
}

AVX2_FN inline void add_into(u64* out, __m256i s) {
  _mm256_storeu_si256(
      reinterpret_cast<__m256i*>(out),
      _mm256_add_epi64(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(out)), s));
}

AVX2_FN inline __m256i mac(__m256i s, __m256i c, __m256i h) {
  return _mm256_add_epi64(s, _mm256_mul_epu32(c, h));
}

// Four rows of a by eight columns of h at a time, the 32 sums in registers.
template <bool whole>
AVX2_FN void plane_product_avx2(const u64* a, std::int32_t r, std::int32_t k, const u32* h,
                                std::int32_t n, int shift, u64* acc) {
  const auto nn = static_cast<std::size_t>(n), kk = static_cast<std::size_t>(k),
             rr = static_cast<std::size_t>(r);
  const __m128i mask = _mm_set1_epi32(0xffff);
  const __m128i sh = _mm_cvtsi32_si128(shift);
  std::size_t t = 0;
  for (; t + 8 <= nn; t += 8) {
    std::size_t i = 0;
    for (; i + 4 <= rr; i += 4) {
      __m256i s00 = _mm256_setzero_si256(), s01 = s00, s10 = s00, s11 = s00, s20 = s00, s21 = s00,
              s30 = s00, s31 = s00;
      const u64 *a0 = a + i * kk, *a1 = a0 + kk, *a2 = a1 + kk, *a3 = a2 + kk;
      const u32* row = h + t;
      for (std::size_t j = 0; j < kk; ++j, row += nn) {
        const __m256i h0 = plane_of<whole>(row, sh, mask), h1 = plane_of<whole>(row + 4, sh, mask);
        const __m256i c0 = _mm256_set1_epi64x(static_cast<long long>(a0[j]));
        const __m256i c1 = _mm256_set1_epi64x(static_cast<long long>(a1[j]));
        const __m256i c2 = _mm256_set1_epi64x(static_cast<long long>(a2[j]));
        const __m256i c3 = _mm256_set1_epi64x(static_cast<long long>(a3[j]));
        s00 = mac(s00, c0, h0);
        s01 = mac(s01, c0, h1);
        s10 = mac(s10, c1, h0);
        s11 = mac(s11, c1, h1);
        s20 = mac(s20, c2, h0);
        s21 = mac(s21, c2, h1);
        s30 = mac(s30, c3, h0);
        s31 = mac(s31, c3, h1);
      }
      u64* out = acc + i * nn + t;
      add_into(out, s00);
      add_into(out + 4, s01);
      add_into(out + nn, s10);
      add_into(out + nn + 4, s11);
      add_into(out + 2 * nn, s20);
      add_into(out + 2 * nn + 4, s21);
      add_into(out + 3 * nn, s30);
      add_into(out + 3 * nn + 4, s31);
    }
    for (; i < rr; ++i) {
      __m256i s0 = _mm256_setzero_si256(), s1 = s0;
      const u32* row = h + t;
      for (std::size_t j = 0; j < kk; ++j, row += nn) {
        const __m256i c = _mm256_set1_epi64x(static_cast<long long>(a[i * kk + j]));
        s0 = mac(s0, c, plane_of<whole>(row, sh, mask));
        s1 = mac(s1, c, plane_of<whole>(row + 4, sh, mask));
      }
      add_into(acc + i * nn + t, s0);
      add_into(acc + i * nn + t + 4, s1);
    }
  }
  for (; t < nn; ++t)
    for (std::size_t i = 0; i < rr; ++i) {
      u64 sum = 0;
      for (std::size_t j = 0; j < kk; ++j)
        sum += a[i * kk + j] * ((h[j * nn + t] >> shift) & 0xffffu);
      acc[i * nn + t] += sum;
    }
}
#endif

// whole: the entries of h are below 2^16 (one plane, shift 0).
void plane_product(const u64* a, std::int32_t r, std::int32_t k, const u32* h, std::int32_t n,
                   int shift, bool whole, u64* acc) {
#ifdef TAVRIN_DENSE_AVX2
  if (simd_available()) {
    if (whole) return plane_product_avx2<true>(a, r, k, h, n, shift, acc);
    return plane_product_avx2<false>(a, r, k, h, n, shift, acc);
  }
#endif
  plane_product_scalar(a, r, k, h, n, shift, acc);
}

}  // namespace

void residue_matrix_product(const std::uint32_t* a, std::int32_t r, std::int32_t k,
                            const std::uint32_t* h, std::int32_t n, std::int32_t p,
                            std::int32_t* out) {
  const auto up = static_cast<u32>(p);
  const WordField red(up);
  const std::size_t cells = static_cast<std::size_t>(r) * static_cast<std::size_t>(n);
  const int planes = up > 0x10000u ? 2 : 1;
  std::vector<u64> acc(cells);
  std::vector<u32> sums;
  // Blocks of at most 2^16 terms keep the 64-bit sums exact.
  constexpr std::int32_t block = 1 << 16;
  std::vector<u64> sub;
  for (int plane = 0; plane < planes; ++plane) {
    for (std::int32_t j0 = 0; j0 < k; j0 += block) {
      const std::int32_t kb = std::min(block, k - j0);
      sub.resize(static_cast<std::size_t>(r) * static_cast<std::size_t>(kb));
      for (std::size_t i = 0; i < static_cast<std::size_t>(r); ++i)
        for (std::size_t j = 0; j < static_cast<std::size_t>(kb); ++j)
          sub[i * static_cast<std::size_t>(kb) + j] =
              a[i * static_cast<std::size_t>(k) + static_cast<std::size_t>(j0) + j];
      std::fill(acc.begin(), acc.end(), 0);
      plane_product(sub.data(), r, kb,
                    h + static_cast<std::size_t>(j0) * static_cast<std::size_t>(n), n, 16 * plane,
                    planes == 1, acc.data());
      if (planes == 1 && k <= block) {
        for (std::size_t c = 0; c < cells; ++c)
          out[c] = static_cast<std::int32_t>(red.reduce(acc[c]));
        return;
      }
      if (sums.empty()) sums.assign(cells * static_cast<std::size_t>(planes), 0);
      u32* s = sums.data() + static_cast<std::size_t>(plane) * cells;
      for (std::size_t c = 0; c < cells; ++c) {
        const u32 v = s[c] + red.reduce(acc[c]);
        s[c] = v >= up ? v - up : v;
      }
    }
  }
  const u32 two16 = (1u << 16) % up;
  for (std::size_t c = 0; c < cells; ++c) {
    u64 v = sums[c];
    if (planes == 2) v += static_cast<u64>(sums[cells + c]) * two16;
    out[c] = static_cast<std::int32_t>(red.reduce(v));
  }
}

}  // namespace dense_detail

}  // namespace tavrin
