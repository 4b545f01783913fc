// One-variable polynomials over the integers on contiguous words: the
// conversions from and to term lists, sums, products, exact quotients,
// contents and residues.
#include "poly/intpoly.h"
#include "poly/intpoly_impl.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "core/globals.h"
#include "core/interrupts.h"
#include "core/thresholds.h"
#include "numbers/freelists.h"
#include "numbers/limb_list.h"
#include "numbers/node_handles.h"
#include "numbers/word_array.h"
#include "numbers/word_field.h"

namespace tavrin {

using kit::dword;
using kit::word;

// ---- The record ----------------------------------------------------------------------

std::int64_t IntPoly::max_bits() const {
  std::int64_t best = 0;
  for (std::int32_t i = 0; i <= degree(); ++i) {
    const std::int32_t n = len(i);
    if (n == 0) continue;
    const word top = mag(i)[n - 1];
    best = std::max<std::int64_t>(best, 64 * std::int64_t{n - 1} + 64 - __builtin_clzll(top));
  }
  return best;
}

void IntPoly::push(const word* m, std::int32_t n, bool negative) {
  while (n > 0 && m[n - 1] == 0) --n;
  data_.insert(data_.end(), m, m + n);
  off_.push_back(static_cast<std::int32_t>(data_.size()));
  neg_.push_back(n > 0 && negative ? 1 : 0);
}

void IntPoly::trim() {
  while (off_.size() > 1 && off_[off_.size() - 1] == off_[off_.size() - 2]) {
    off_.pop_back();
    neg_.pop_back();
  }
}

void IntPoly::clear() {
  data_.clear();
  off_.assign(1, 0);
  neg_.clear();
}

void IntPoly::reserve(std::int32_t coefs, std::int64_t words) {
  off_.reserve(static_cast<std::size_t>(coefs) + 1);
  neg_.reserve(static_cast<std::size_t>(coefs));
  data_.reserve(static_cast<std::size_t>(words));
}

namespace {

using Signed = WordInt;

// Compares magnitudes.
int compare(const word* a, std::int32_t na, const word* b, std::int32_t nb) {
  if (na != nb) return na < nb ? -1 : 1;
  return na == 0 ? 0 : kit::wcmp(a, b, na);
}

// acc += (negative ? -1 : 1) * x[0 .. n).
void add_signed(Signed& acc, const word* x, std::int32_t n, bool negative) {
  if (n == 0) return;
  const auto na = static_cast<std::int32_t>(acc.m.size());
  if (acc.zero() || acc.neg == negative) {
    acc.neg = negative;
    if (na >= n) {
      acc.m.push_back(0);
      acc.m[static_cast<std::size_t>(na)] = kit::wadd(acc.m.data(), acc.m.data(), na, x, n);
    } else {
      std::vector<word> r(static_cast<std::size_t>(n) + 1, 0);
      if (na == 0) {
        std::copy(x, x + n, r.begin());
      } else {
        r[static_cast<std::size_t>(n)] = kit::wadd(r.data(), x, n, acc.m.data(), na);
      }
      acc.m.swap(r);
    }
    acc.trim();
    return;
  }
  const int c = compare(acc.m.data(), na, x, n);
  if (c == 0) {
    acc.m.clear();
    acc.neg = false;
  } else if (c > 0) {
    kit::wsub(acc.m.data(), acc.m.data(), na, x, n);
    acc.trim();
  } else {
    std::vector<word> r(static_cast<std::size_t>(n));
    kit::wsub(r.data(), x, n, acc.m.data(), na);
    acc.m.swap(r);
    acc.neg = negative;
    acc.trim();
  }
}

// acc += (negative ? -1 : 1) * a * b (magnitudes).
void add_product(Signed& acc, const word* a, std::int32_t na, const word* b, std::int32_t nb,
                 bool negative, std::vector<word>& scratch) {
  if (na == 0 || nb == 0) return;
  if (na < nb) {
    std::swap(a, b);
    std::swap(na, nb);
  }
  if (nb == 1 && b[0] == 1) {
    add_signed(acc, a, na, negative);
    return;
  }
  scratch.resize(static_cast<std::size_t>(na + nb));
  kit::fit_exactly(scratch);
  if (nb == 1) {
    scratch[static_cast<std::size_t>(na)] = kit::wmul_1(scratch.data(), a, na, b[0]);
  } else if (na >= nb) {
    kit::wmul(scratch.data(), a, na, b, nb);
  } else {
    kit::wmul(scratch.data(), b, nb, a, na);
  }
  add_signed(acc, scratch.data(), kit::wnormalised(scratch.data(), na + nb), negative);
}

}  // namespace

// ---- Between term lists and IntPoly ------------------------------------------------

bool intpoly_of(poly p, IntPoly* out) {
  if (lintmode || flotemode || modularmode) return false;
  out->clear();
  kit::word_buffer words;
  auto push_number = [&](imptr x) {
    const std::int32_t n = x->size;
    word* w = words.get(kit::words_for_digits(n) + 1);
    const std::int32_t nw = kit::words_of_limbs(w, x->head, n);
    out->push(w, nw, kit::sign_of_number(x) < 0);
  };
  if (p->numb) {
    if (p->next != nullptr || p->ncoef->size <= 0) return false;
    push_number(p->ncoef);
    out->trim();
    return true;
  }
  const std::int32_t deg = p->exp;
  if (deg <= 0) return false;
  // The leaves by exponent, then the coefficients from x^0 upwards.
  std::vector<imptr> at(static_cast<std::size_t>(deg) + 1, nullptr);
  std::int64_t limbs = 0;
  const bool ok = for_each_onevar_leaf(p, [&](std::int32_t e, poly leaf) {
    if (leaf->ncoef->size <= 0) return false;
    at[static_cast<std::size_t>(e)] = leaf->ncoef;
    limbs += leaf->ncoef->size;
    return true;
  });
  if (!ok) return false;
  out->reserve(deg + 1, limbs * 28 / 64 + deg + 1);
  for (std::int32_t i = 0; i <= deg; ++i) {
    imptr x = at[static_cast<std::size_t>(i)];
    if (x == nullptr) {
      out->push_zero();
    } else {
      push_number(x);
    }
  }
  out->trim();
  return true;
}

namespace {

// A fresh number of the magnitude w[0 .. n) (0 when n is 0), negative with neg.
imptr number_of_words(const word* w, std::int32_t n, bool neg) {
  const word zero = 0;
  // the limbs first: error 302 leaves nothing behind
  const kit::limb_list l = kit::limbs_of_words(n == 0 ? &zero : w, std::max(n, 1), neg ? -1 : 1);
  imptr r;
  newimag(&r);
  r->lint = 0;
  r->flote = 0;
  kit::install_limbs(r, l);
  return r;
}

// A fresh number holding coefficient i of a.
imptr coefficient_number(const IntPoly& a, std::int32_t i) {
  return number_of_words(a.len(i) == 0 ? nullptr : a.mag(i), a.len(i), a.neg(i));
}

}  // namespace

namespace {

// A fresh term list of the coefficients of a, from the top down, coefficient
// i (not zero) made by number_at(i).
template <class F>
poly term_list_of(const IntPoly& a, F&& number_at) {
  if (a.is_constant()) {
    if (a.is_zero()) {
      poly r = nullptr;
      poly_set(0, &r);
      return r;
    }
    return nodes::new_leaf(number_at(0));
  }
  nodes::OwnedPoly head;
  poly* tail = head.cell();
  for (std::int32_t i = a.degree(); i >= 0; --i) {
    if (a.len(i) == 0) continue;
    poly leaf = nodes::new_leaf(number_at(i));
    *tail = i == 0 ? leaf : nodes::new_term(i, leaf);
    tail = &(*tail)->next;
  }
  return head.release();
}

}  // namespace

poly intpoly_to_poly(const IntPoly& a) {
  return term_list_of(a, [&a](std::int32_t i) { return coefficient_number(a, i); });
}

poly intpoly_to_poly_times(const IntPoly& a, const WordInt& c) {
  if (c.m.size() == 1 && c.m[0] == 1 && !c.neg) return intpoly_to_poly(a);
  const auto nc = static_cast<std::int32_t>(c.m.size());
  std::vector<word> p;
  return term_list_of(a, [&](std::int32_t i) {
    const std::int32_t n = a.len(i);
    p.assign(static_cast<std::size_t>(n + nc), 0);
    kit::fit_exactly(p);
    if (n >= nc) {
      kit::wmul(p.data(), a.mag(i), n, c.m.data(), nc);
    } else {
      kit::wmul(p.data(), c.m.data(), nc, a.mag(i), n);
    }
    return number_of_words(p.data(), kit::wnormalised(p.data(), n + nc), a.neg(i) != c.neg);
  });
}

// ---- Sums and products -------------------------------------------------------------------

IntPoly intpoly_add(const IntPoly& a, const IntPoly& b, bool subtract) {
  IntPoly r;
  const std::int32_t top = std::max(a.degree(), b.degree());
  r.reserve(top + 1, std::max(a.total_words(), b.total_words()) + top + 1);
  Signed acc;
  for (std::int32_t i = 0; i <= top; ++i) {
    const bool in_a = i <= a.degree() && a.len(i) > 0;
    const bool in_b = i <= b.degree() && b.len(i) > 0;
    if (!in_b) {
      if (in_a) {
        r.push(a.mag(i), a.len(i), a.neg(i));
      } else {
        r.push_zero();
      }
      continue;
    }
    const bool nb = b.neg(i) != subtract;
    if (!in_a) {
      r.push(b.mag(i), b.len(i), nb);
      continue;
    }
    acc.m.assign(a.mag(i), a.mag(i) + a.len(i));
    acc.neg = a.neg(i);
    add_signed(acc, b.mag(i), b.len(i), nb);
    r.push(acc.m.data(), static_cast<std::int32_t>(acc.m.size()), acc.neg);
  }
  r.trim();
  return r;
}

IntPoly intpoly_mul_rows(const IntPoly& a, const IntPoly& b) {
  IntPoly r;
  if (a.is_zero() || b.is_zero()) return r;
  const std::int32_t da = a.degree(), db = b.degree();
  r.reserve(da + db + 1, a.total_words() * (db + 1) + b.total_words());
  Signed acc;
  std::vector<word> scratch;
  for (std::int32_t k = 0; k <= da + db; ++k) {
    acc.m.clear();
    acc.neg = false;
    const std::int32_t lo = std::max(0, k - db), hi = std::min(k, da);
    for (std::int32_t i = lo; i <= hi; ++i) {
      const std::int32_t j = k - i;
      add_product(acc, a.mag(i), a.len(i), b.mag(j), b.len(j), a.neg(i) != b.neg(j), scratch);
    }
    r.push(acc.m.data(), static_cast<std::int32_t>(acc.m.size()), acc.neg);
  }
  r.trim();
  return r;
}

// ---- Kronecker's substitution (intpoly_impl.h) --------------------------------------------

std::vector<word> detail::pack_slots(const IntPoly& a, std::int32_t s, bool* negative) {
  const auto n = static_cast<std::size_t>(a.degree() + 1) * static_cast<std::size_t>(s);
  std::vector<word> pos(n, 0), neg(n, 0);
  bool any_neg = false;
  for (std::int32_t i = 0; i <= a.degree(); ++i) {
    word* dst = (a.neg(i) ? neg.data() : pos.data()) +
                static_cast<std::size_t>(i) * static_cast<std::size_t>(s);
    std::copy(a.mag(i), a.mag(i) + a.len(i), dst);
    any_neg = any_neg || a.neg(i);
  }
  *negative = false;
  if (!any_neg) return pos;
  const auto len = static_cast<std::int32_t>(n);
  if (compare(pos.data(), kit::wnormalised(pos.data(), len), neg.data(),
              kit::wnormalised(neg.data(), len)) >= 0) {
    kit::wsub_n(pos.data(), pos.data(), neg.data(), len);
    return pos;
  }
  kit::wsub_n(neg.data(), neg.data(), pos.data(), len);
  *negative = true;
  return neg;
}

IntPoly detail::unpack_slots(const word* x, std::int32_t n, std::int32_t d, std::int32_t s,
                             bool flip, bool* fits) {
  IntPoly r;
  r.reserve(d + 1, static_cast<std::int64_t>(d + 1) * s);
  std::vector<word> v(static_cast<std::size_t>(s));
  word carry = 0;
  for (std::int32_t k = 0; k <= d; ++k) {
    const std::int64_t at = static_cast<std::int64_t>(k) * s;
    for (std::int32_t i = 0; i < s; ++i)
      v[static_cast<std::size_t>(i)] = at + i < n ? x[at + i] : 0;
    const word over = carry != 0 ? kit::wadd_1(v.data(), v.data(), s, carry) : 0;
    if (over == 0 && (v[static_cast<std::size_t>(s) - 1] >> 63) != 0) {
      // value v - 2^(64 s): magnitude 2^(64 s) - v
      for (auto& w : v) w = ~w;
      kit::wadd_1(v.data(), v.data(), s, 1);
      r.push(v.data(), s, !flip);
      carry = 1;
    } else {
      r.push(v.data(), over != 0 ? 0 : s, flip);
      carry = over;
    }
  }
  if (fits != nullptr) {
    *fits = carry == 0;
    for (std::int64_t i = static_cast<std::int64_t>(d + 1) * s; i < n && *fits; ++i)
      *fits = x[i] == 0;
  }
  r.trim();
  return r;
}

IntPoly intpoly_mul(const IntPoly& a, const IntPoly& b) {
  if (a.is_zero() || b.is_zero()) return IntPoly{};
  if (std::min(a.degree(), b.degree()) < intpoly_rows_degree) return intpoly_mul_rows(a, b);
  // Slots wide enough for twice the largest coefficient of the product.
  const std::int64_t bits =
      a.max_bits() + b.max_bits() + 64 -
      __builtin_clzll(static_cast<unsigned long long>(std::min(a.degree(), b.degree()) + 1)) + 2;
  const auto s = static_cast<std::int32_t>((bits + 63) / 64);
  bool na = false, nb = false;
  const std::vector<word> pa = detail::pack_slots(a, s, &na), pb = detail::pack_slots(b, s, &nb);
  const std::int32_t la = kit::wnormalised(pa.data(), static_cast<std::int32_t>(pa.size()));
  const std::int32_t lb = kit::wnormalised(pb.data(), static_cast<std::int32_t>(pb.size()));
  const std::int32_t dr = a.degree() + b.degree();
  std::vector<word> prod(static_cast<std::size_t>(dr + 2) * static_cast<std::size_t>(s) + 2, 0);
  if (la >= lb) {
    kit::wmul(prod.data(), pa.data(), la, pb.data(), lb);
  } else {
    kit::wmul(prod.data(), pb.data(), lb, pa.data(), la);
  }
  return detail::unpack_slots(prod.data(), static_cast<std::int32_t>(prod.size()), dr, s, na != nb);
}

// ---- Exact quotients ------------------------------------------------------------------------

bool intpoly_divexact_rows(const IntPoly& a, const IntPoly& b, IntPoly* q) {
  q->clear();
  if (a.is_zero()) return true;
  const std::int32_t da = a.degree(), db = b.degree();
  if (da < db) return false;
  const word* lb = b.mag(db);
  const std::int32_t nlb = b.len(db);
  // A cheap test first: the lowest coefficients.
  std::int32_t low = 0;
  while (b.len(low) == 0) ++low;
  for (std::int32_t i = 0; i < low; ++i)
    if (a.len(i) != 0) return false;
  std::vector<Signed> rem(static_cast<std::size_t>(da) + 1);
  for (std::int32_t i = 0; i <= da; ++i) {
    rem[static_cast<std::size_t>(i)].m.assign(a.mag(i), a.mag(i) + a.len(i));
    rem[static_cast<std::size_t>(i)].neg = a.neg(i);
  }
  std::vector<Signed> quot(static_cast<std::size_t>(da - db) + 1);
  std::vector<word> qw, rw, scratch;
  for (std::int32_t k = da; k >= db; --k) {
    Signed& t = rem[static_cast<std::size_t>(k)];
    if (t.zero()) continue;
    const auto nt = static_cast<std::int32_t>(t.m.size());
    if (nt < nlb) return false;
    qw.assign(static_cast<std::size_t>(nt - nlb) + 1, 0);
    rw.assign(static_cast<std::size_t>(nlb), 0);
    kit::fit_exactly(qw);
    kit::fit_exactly(rw);
    if (nlb == 1) {
      rw[0] = 0;
      dword r = 0;
      for (std::int32_t i = nt - 1; i >= 0; --i) {
        const dword cur = (r << 64) | t.m[static_cast<std::size_t>(i)];
        qw[static_cast<std::size_t>(i)] = static_cast<word>(cur / lb[0]);
        r = cur % lb[0];
      }
      if (r != 0) return false;
    } else {
      kit::wdivrem(qw.data(), rw.data(), t.m.data(), nt, lb, nlb);
      if (kit::wnormalised(rw.data(), nlb) != 1 || rw[0] != 0) return false;
    }
    Signed& qk = quot[static_cast<std::size_t>(k - db)];
    qk.m.assign(qw.begin(), qw.end());
    qk.neg = t.neg != b.neg(db);
    qk.trim();
    t.m.clear();
    t.neg = false;
    for (std::int32_t j = 0; j < db; ++j) {
      if (b.len(j) == 0) continue;
      add_product(rem[static_cast<std::size_t>(k - db + j)], qk.m.data(),
                  static_cast<std::int32_t>(qk.m.size()), b.mag(j), b.len(j), qk.neg == b.neg(j),
                  scratch);
    }
  }
  for (std::int32_t i = 0; i < db; ++i)
    if (!rem[static_cast<std::size_t>(i)].zero()) return false;
  for (const Signed& c : quot) q->push(c.m.data(), static_cast<std::int32_t>(c.m.size()), c.neg);
  q->trim();
  return true;
}

// ---- Contents and integer factors -------------------------------------------------------------

std::vector<word> intpoly_content(const IntPoly& a) {
  std::vector<word> g;
  std::vector<word> x, y, out;
  for (std::int32_t i = a.degree(); i >= 0; --i) {
    const std::int32_t n = a.len(i);
    if (n == 0) continue;
    if (g.empty()) {
      g.assign(a.mag(i), a.mag(i) + n);
    } else {
      const auto ng = static_cast<std::int32_t>(g.size());
      const std::int32_t room = std::max(ng, n);
      x.assign(static_cast<std::size_t>(room), 0);
      y.assign(static_cast<std::size_t>(room), 0);
      std::copy(g.begin(), g.end(), x.begin());
      std::copy(a.mag(i), a.mag(i) + n, y.begin());
      out.assign(static_cast<std::size_t>(room), 0);
      kit::fit_exactly(x);
      kit::fit_exactly(y);
      kit::fit_exactly(out);
      const std::int32_t len = kit::wgcd(out.data(), x.data(), ng, y.data(), n);
      g.assign(out.begin(), out.begin() + len);
    }
    if (g.size() == 1 && g[0] == 1) break;
  }
  return g;
}

IntPoly intpoly_div_integer(const IntPoly& a, const std::vector<word>& c) {
  IntPoly r;
  r.reserve(a.degree() + 1, a.total_words());
  const auto nc = static_cast<std::int32_t>(c.size());
  std::vector<word> qw, rw;
  for (std::int32_t i = 0; i <= a.degree(); ++i) {
    const std::int32_t n = a.len(i);
    if (n == 0) {
      r.push_zero();
      continue;
    }
    qw.assign(static_cast<std::size_t>(n - nc) + 1, 0);
    rw.assign(static_cast<std::size_t>(nc), 0);
    kit::fit_exactly(qw);
    kit::fit_exactly(rw);
    kit::wdivrem(qw.data(), rw.data(), a.mag(i), n, c.data(), nc);
    r.push(qw.data(), static_cast<std::int32_t>(qw.size()), a.neg(i));
  }
  r.trim();
  return r;
}

IntPoly intpoly_mul_integer(const IntPoly& a, const std::vector<word>& c) {
  IntPoly r;
  const auto nc = static_cast<std::int32_t>(c.size());
  r.reserve(a.degree() + 1, a.total_words() + static_cast<std::int64_t>(a.degree() + 1) * nc);
  std::vector<word> p;
  for (std::int32_t i = 0; i <= a.degree(); ++i) {
    const std::int32_t n = a.len(i);
    if (n == 0) {
      r.push_zero();
      continue;
    }
    p.assign(static_cast<std::size_t>(n + nc), 0);
    kit::fit_exactly(p);
    if (n >= nc) {
      kit::wmul(p.data(), a.mag(i), n, c.data(), nc);
    } else {
      kit::wmul(p.data(), c.data(), nc, a.mag(i), n);
    }
    r.push(p.data(), n + nc, a.neg(i));
  }
  r.trim();
  return r;
}

// ---- Values ------------------------------------------------------------------------------------

namespace {

// a b.
WordInt times(const WordInt& a, const WordInt& b) {
  WordInt r;
  if (a.zero() || b.zero()) return r;
  const auto na = static_cast<std::int32_t>(a.m.size()), nb = static_cast<std::int32_t>(b.m.size());
  r.m.assign(static_cast<std::size_t>(na + nb), 0);
  if (na >= nb) {
    kit::wmul(r.m.data(), a.m.data(), na, b.m.data(), nb);
  } else {
    kit::wmul(r.m.data(), b.m.data(), nb, a.m.data(), na);
  }
  r.neg = a.neg != b.neg;
  r.trim();
  return r;
}

// The sums a_lo p^0 q^(len-1) + ... + a_(lo+len-1) p^(len-1) q^0 of the
// segments of a, each by Horner's rule or from its halves.
class ScaledValue {
 public:
  ScaledValue(const IntPoly& a, const WordInt& p, const WordInt* q) : a_(a), p_(p), q_(q) {}

  WordInt of(std::int32_t lo, std::int32_t len, WordInt* qpow) {
    if (len - 1 <= std::max(value_split_degree, 1)) return horner(lo, len, qpow);
    // The lower part has a power of two of coefficients; with len = L1 + L2,
    // the value is lower q^L2 + upper p^L1.
    int k = 0;
    while ((std::int32_t{2} << k) < len) ++k;
    const std::int32_t l1 = std::int32_t{1} << k, l2 = len - l1;
    WordInt upper_q;
    const bool l2_power = (l2 & (l2 - 1)) == 0;
    const WordInt lower = of(lo, l1, nullptr);
    WordInt upper = of(lo + l1, l2, q_ != nullptr && !l2_power ? &upper_q : nullptr);
    WordInt r = times(upper, power(p_, p_powers_, k));
    if (q_ == nullptr) {
      add_signed(r, lower.m.data(), static_cast<std::int32_t>(lower.m.size()), lower.neg);
    } else {
      int k2 = 0;
      while ((std::int32_t{1} << k2) < l2) ++k2;
      const WordInt& q2 = l2_power ? power(*q_, q_powers_, k2) : upper_q;
      std::vector<word> scratch;
      add_product(r, lower.m.data(), static_cast<std::int32_t>(lower.m.size()), q2.m.data(),
                  static_cast<std::int32_t>(q2.m.size()), lower.neg != q2.neg, scratch);
      if (qpow != nullptr) *qpow = times(power(*q_, q_powers_, k), q2);
    }
    return r;
  }

 private:
  // x^(2^k), from the table of the squares of x.
  static const WordInt& power(const WordInt& x, std::vector<WordInt>& table, int k) {
    if (table.empty()) table.push_back(x);
    while (static_cast<int>(table.size()) <= k) table.push_back(times(table.back(), table.back()));
    return table[static_cast<std::size_t>(k)];
  }
  WordInt coefficient(std::int32_t i) const {
    WordInt c;
    c.m.assign(a_.mag(i), a_.mag(i) + a_.len(i));
    c.neg = a_.neg(i);
    return c;
  }
  // h := a_top, then h := h p + a_i q^(top - i) down to i = lo; *qpow := q^len.
  WordInt horner(std::int32_t lo, std::int32_t len, WordInt* qpow) const {
    const std::int32_t top = lo + len - 1;
    WordInt h = coefficient(top);
    WordInt qp;
    if (q_ != nullptr) qp = *q_;
    std::vector<word> scratch;
    for (std::int32_t i = top - 1; i >= lo; --i) {
      h = times(h, p_);
      if (a_.len(i) == 0) {
        if (q_ != nullptr && i > lo) qp = times(qp, *q_);
        continue;
      }
      if (q_ == nullptr) {
        add_signed(h, a_.mag(i), a_.len(i), a_.neg(i));
      } else {
        add_product(h, a_.mag(i), a_.len(i), qp.m.data(), static_cast<std::int32_t>(qp.m.size()),
                    a_.neg(i) != qp.neg, scratch);
        if (i > lo) qp = times(qp, *q_);
      }
    }
    if (qpow != nullptr && q_ != nullptr) *qpow = len == 1 ? *q_ : times(qp, *q_);
    return h;
  }

  const IntPoly& a_;
  const WordInt& p_;
  const WordInt* q_;
  std::vector<WordInt> p_powers_, q_powers_;
};

}  // namespace

WordInt intpoly_scaled_value(const IntPoly& a, const WordInt& p, const WordInt* q) {
  if (a.is_zero()) return WordInt{};
  ScaledValue v(a, p, q);
  return v.of(0, a.degree() + 1, nullptr);
}

WordInt word_int_of(imptr x) {
  WordInt r;
  r.m.assign(static_cast<std::size_t>(kit::words_for_digits(x->size)) + 1, 0);
  r.m.resize(static_cast<std::size_t>(kit::words_of_limbs(r.m.data(), x->head, x->size)));
  r.neg = kit::sign_of_number(x) < 0;
  r.trim();
  return r;
}

imptr number_of_word_int(const WordInt& v) {
  return v.zero() ? number_of_words(nullptr, 0, false)
                  : number_of_words(v.m.data(), static_cast<std::int32_t>(v.m.size()), v.neg);
}

WordInt word_int_power(const WordInt& x, std::int32_t e) {
  WordInt r;
  r.m.push_back(1);
  WordInt base = x;
  for (; e > 0; e >>= 1) {
    if ((e & 1) != 0) r = times(r, base);
    if (e > 1) base = times(base, base);
  }
  return r;
}

// ---- Powers ------------------------------------------------------------------------------------

bool intpoly_power(const IntPoly& a, std::int32_t k, IntPoly* out) {
  if (a.is_zero() || k < 1) return false;
  std::int32_t v = 0;  // a = x^v h, h(0) != 0
  while (a.len(v) == 0) ++v;
  const std::int32_t d = a.degree() - v;
  if (static_cast<std::int64_t>(a.degree()) * k > INT32_MAX - 1) return false;
  // h's coefficients as words, with a bound on the multipliers
  // h_i ((k + 1) i - n) of the recurrence (below 2^63).
  std::vector<std::int32_t> support;  // i >= 1 with h_i != 0
  std::vector<std::int64_t> h(static_cast<std::size_t>(d) + 1, 0);
  for (std::int32_t i = 0; i <= d; ++i) {
    const std::int32_t n = a.len(v + i);
    if (n == 0) continue;
    if (n > 1 || (a.mag(v + i)[0] >> 62) != 0) return false;
    const auto c = static_cast<std::int64_t>(a.mag(v + i)[0]);
    h[static_cast<std::size_t>(i)] = a.neg(v + i) ? -c : c;
    if (i > 0) support.push_back(i);
    const __int128 bound = static_cast<__int128>(c) * (static_cast<__int128>(k) + 1) * (d + 1);
    if (bound >= (static_cast<__int128>(1) << 63)) return false;
  }
  out->clear();
  const std::int32_t top = d * k;
  // |g_n| <= (sum of |h_i|)^k: room for every coefficient at that bound.
  double norm = 0;
  for (const std::int64_t c : h) norm += static_cast<double>(c < 0 ? -c : c);
  const double words = static_cast<double>(k) * std::log2(norm) / 64.0 + 1.0;
  out->reserve(v * k + top + 1, static_cast<std::int64_t>(static_cast<double>(top + 1) * words));
  for (std::int32_t i = 0; i < v * k; ++i) out->push_zero();
  // g_0 = h_0^k.
  WordInt h0;
  h0.m.push_back(static_cast<word>(h[0] < 0 ? -h[0] : h[0]));
  WordInt g0 = word_int_power(h0, k);
  out->push(g0.m.data(), static_cast<std::int32_t>(g0.m.size()), h[0] < 0 && (k & 1) != 0);
  const std::int32_t base = v * k;  // where g_0 sits
  std::vector<word> acc, quot;
  for (std::int32_t n = 1; n <= top; ++n) {
    if ((n & 1023) == 0) check_interrupt();
    // n h_0 g_n = sum of h_i ((k + 1) i - n) g_(n-i), in two's complement.
    std::int32_t longest = 0;
    for (const std::int32_t i : support) {
      if (i > n) break;
      longest = std::max(longest, out->len(base + n - i));
    }
    const std::int32_t len = longest + 2;
    acc.assign(static_cast<std::size_t>(len), 0);
    for (const std::int32_t i : support) {
      if (i > n) break;
      const std::int32_t j = base + n - i;
      const std::int32_t m = out->len(j);
      const std::int64_t c =
          h[static_cast<std::size_t>(i)] * (static_cast<std::int64_t>(k + 1) * i - n);
      if (m == 0 || c == 0) continue;
      const word uc = static_cast<word>(c < 0 ? -c : c);
      if ((c < 0) == out->neg(j)) {
        const word carry = kit::waddmul_1(acc.data(), out->mag(j), m, uc);
        kit::wadd_1(acc.data() + m, acc.data() + m, len - m, carry);
      } else {
        const word borrow = kit::wsubmul_1(acc.data(), out->mag(j), m, uc);
        kit::wsub_1(acc.data() + m, acc.data() + m, len - m, borrow);
      }
    }
    const bool negative = (acc.back() >> 63) != 0;
    if (negative) {  // the magnitude: -acc
      for (word& w : acc) w = ~w;
      kit::wadd_1(acc.data(), acc.data(), len, 1);
    }
    const std::int32_t na = kit::wnormalised(acc.data(), len);
    if (na == 1 && acc[0] == 0) {
      out->push_zero();
      continue;
    }
    const word divisor = static_cast<word>(n) * static_cast<word>(h[0] < 0 ? -h[0] : h[0]);
    quot.assign(static_cast<std::size_t>(na), 0);
    kit::fit_exactly(quot);
    const std::int32_t nq = kit::wdivexact(quot.data(), acc.data(), na, &divisor, 1);
    out->push(quot.data(), nq, negative != (h[0] < 0));
  }
  out->trim();
  return true;
}

// ---- Residues -----------------------------------------------------------------------------------

namespace {

// The residue of a magnitude in 64-bit words, most significant first.
std::uint32_t reduce_words(const word* x, std::int32_t n, const WordField& red) {
  std::uint32_t r = 0;
  for (std::int32_t i = n - 1; i >= 0; --i)
    r = red.reduce_wide((static_cast<dword>(r) << 64) | x[i]);
  return r;
}

}  // namespace

std::uint32_t words_mod(const word* x, std::int32_t n, std::uint32_t p) {
  return reduce_words(x, n, WordField(p));
}

std::vector<std::int32_t> intpoly_residues(const IntPoly& a, std::int32_t p) {
  std::vector<std::int32_t> r(static_cast<std::size_t>(a.degree() + 1), 0);
  const auto up = static_cast<std::uint32_t>(p);
  const WordField red(up);
  for (std::int32_t i = 0; i <= a.degree(); ++i) {
    const std::uint32_t v = reduce_words(a.mag(i), a.len(i), red);
    r[static_cast<std::size_t>(i)] = static_cast<std::int32_t>(a.neg(i) && v != 0 ? up - v : v);
  }
  while (!r.empty() && r.back() == 0) r.pop_back();
  return r;
}

}  // namespace tavrin
