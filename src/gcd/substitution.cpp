// Substitution of a fraction n2/d2 for one variable of a polynomial, the
// result a numerator and a denominator (case_one, case_two, highest_level,
// highest_case2; contracts in gcd.h).
//
// At the variable's own level the substitution is Horner's rule with a
// fraction: for c0 x^e0 + ... + cm x^em,
//   t := c0;  t := t n2^(e(k-1) - ek) + ck D,  D := D d2^(e(k-1) - ek);
//   finally t := t n2^em, D := D d2^em,
// which gives t / D with D = d2^e0. Above that level each coefficient is
// substituted on its own and the quotients are added over one common
// denominator: c/den joins the sum S/D as (S den + c D) / (D den), after the
// integer contents of c and den have been cancelled (big integers only).
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

#include "core/globals.h"
#include "core/thresholds.h"
#include "numbers/bigint.h"
#include "numbers/freelists.h"
#include "numbers/node_handles.h"
#include "poly/intpoly.h"
#include "poly/poly_add.h"
#include "poly/poly_measures.h"
#include "poly/poly_mult.h"
#include "poly/poly_power.h"
#include "poly/poly_repr.h"
#include "gcd/gcd.h"

namespace tavrin {

using nodes::is_bare_leaf;
using nodes::new_term;
using nodes::OwnedPoly;
using nodes::ScratchNumber;

namespace {

// The coefficient of t, moved out of t (t keeps a nil coefficient; its
// node goes back with the old list).
poly take_coefficient(poly t) {
  if (t->numb) {
    poly c = nullptr;
    node_assign(t, &c);
    return c;
  }
  poly c = t->pcoef;
  t->pcoef = nullptr;
  return c;
}

// p one level lower: a pad's coefficient, a bare leaf itself.
poly one_level_down(poly p) {
  if (p == nullptr || is_bare_leaf(p)) return p;
  return p->pcoef;
}

// p `levels` levels lower, through its pads.
poly levels_down(poly p, std::int32_t levels) {
  for (std::int32_t k = 0; k < levels; ++k) p = one_level_down(p);
  return p;
}

bool big_integer_mode() { return !lintmode && !flotemode && !modularmode; }

// c / den in lowest terms as far as their integer contents go.
void cancel_contents(poly c, poly den) {
  if (!big_integer_mode() || poly_iszero(c)) return;
  ScratchNumber g;
  find_common_content(c, den, g.get());
  if (is_longint(g.get(), 1)) return;
  num_poly_quot(c, g.get(), 0);
  num_poly_quot(den, g.get(), 0);
}

// *p := *p * f at lev (nothing when f is nil or 1).
void times(poly* p, poly f, polypt lev) {
  if (f == nullptr || poly_eq_1(f)) return;
  poly_mult(*p, f, p, lev);
}

// A fraction c/den (den nil: 1) handed to a sum: contents cancelled, a
// denominator 1 dropped.
void prepare(poly c, poly* den) {
  if (*den == nullptr) return;
  cancel_contents(c, *den);
  if (poly_eq_1(*den)) free_poly(den);
}

// A sum of fractions over one common denominator D (nil: 1) at the level
// `lev`; TermSum and PolySum hold what is summed.
class FractionSum {
 public:
  poly take_denominator() { return den_.release(); }

 protected:
  explicit FractionSum(polypt lev) : lev_(lev) {}

  // c/den (both moved in) brought over D: the numerator c D, nil when c is
  // 0. When den is not 1 after the contents are cancelled, scale_held(den)
  // multiplies what the sum holds by it and D := D den.
  template <class ScaleHeld>
  poly join(poly c, poly den, ScaleHeld scale_held) {
    OwnedPoly cc, dd;
    cc.p = c;
    dd.p = den;
    if (poly_iszero(cc.p)) return nullptr;
    prepare(cc.p, dd.cell());
    times(cc.cell(), den_.p, lev_);
    if (dd.p != nullptr) {
      scale_held(dd.p);
      if (den_.p == nullptr) {
        den_.p = dd.release();
      } else {
        times(den_.cell(), dd.p, lev_);
      }
    }
    return cc.release();
  }

  polypt lev_;

 private:
  OwnedPoly den_;
};

// Coefficient lists with a common denominator: the terms c x^e of one
// list, in order of falling exponents, their coefficients and D at the
// level `lev` below the list.
class TermSum : public FractionSum {
 public:
  explicit TermSum(polypt lev) : FractionSum(lev) {}
  ~TermSum() {
    for (auto& t : terms_) free_poly(&t.second);
  }
  TermSum(const TermSum&) = delete;
  TermSum& operator=(const TermSum&) = delete;

  // c/den (both moved in) at exponent e.
  void add(std::int32_t e, poly c, poly den) {
    c = join(c, den, [this](poly d) {
      for (auto& t : terms_) times(&t.second, d, lev_);
    });
    if (c != nullptr) terms_.emplace_back(e, c);
  }

  // The list of the terms (0 when none); the denominator (nil: 1) stays.
  poly take_list() {
    OwnedPoly out;
    poly* link = out.cell();
    for (auto& [e, c] : terms_) {
      poly node = (e == 0 && is_bare_leaf(c)) ? c : new_term(e, c);
      c = nullptr;
      *link = node;
      link = &node->next;
    }
    terms_.clear();
    if (out.p == nullptr) poly_set(0, out.cell());
    return out.release();
  }

 private:
  std::vector<std::pair<std::int32_t, poly>> terms_;
};

// Whole polynomials at one level with a common denominator.
class PolySum : public FractionSum {
 public:
  explicit PolySum(polypt lev) : FractionSum(lev) {}

  void add(poly c, poly den) {
    c = join(c, den, [this](poly d) {
      if (sum_.p != nullptr) times(sum_.cell(), d, lev_);
    });
    if (c == nullptr) return;
    if (sum_.p == nullptr) {
      sum_.p = c;
    } else {
      best_poly_add(sum_.p, c, sum_.cell());
    }
  }
  poly take_sum() {
    if (sum_.p == nullptr) poly_set(0, sum_.cell());
    return sum_.release();
  }

 private:
  OwnedPoly sum_;
};

// Powers of one polynomial, the last exponent asked for kept.
class Powers {
 public:
  Powers(poly base, polypt lev) : base_(base), lev_(lev) {}

  // base^e, e >= 1 (owned by this object; valid until the next call).
  poly get(std::int32_t e) {
    if (e == 1) return base_;
    if (power_.p == nullptr || e != exponent_) {
      free_poly(power_.cell());
      poly_assign(base_, power_.cell());
      compute_power(power_.cell(), e, lev_);
      exponent_ = e;
    }
    return power_.p;
  }

 private:
  poly base_;
  polypt lev_;
  OwnedPoly power_;
  std::int32_t exponent_ = 0;
};

// The old top nodes of *p (coefficients taken out or leaves) freed, *p :=
// the new polynomial.
void replace_list(poly* p, poly fresh) {
  free_poly(p);
  *p = fresh;
}

void replace_denominator(poly* pden, poly den) {
  free_poly(pden);
  *pden = den;
}

// *p (a polynomial in pol's variable) with every coefficient that is not a
// number leaf replaced by substitute(&c, &den) one level down, the terms
// summed over a common denominator; *p and *pden replaced.
template <class Substitute>
void substitute_coefficients(poly* p, poly* pden, polypt pol, Substitute substitute) {
  TermSum sum(pol->next);
  for (poly t = *p; t != nullptr; t = t->next) {
    poly c = take_coefficient(t);
    poly den = nullptr;
    if (!is_bare_leaf(c)) {
      OwnedPoly cc;
      cc.p = c;
      substitute(cc.cell(), &den);
      c = cc.release();
    }
    sum.add(t->numb ? 0 : t->exp, c, den);
  }
  replace_list(p, sum.take_list());
  OwnedPoly den;
  den.p = sum.take_denominator();
  if (den.p != nullptr && !is_bare_leaf(den.p)) add_pad(den.cell(), 1);
  replace_denominator(pden, den.release());
}

// highest_level on words for a one-variable list over the integers that
// is not sparse, of degree value_words_degree or more, and a number n2
// over a number d2 (nil: 1): the sum of c_k n2^k d2^(d - k) at once
// (intpoly_scaled_value), and d2^d. False, nothing changed, otherwise.
bool value_on_words(poly* q, poly* qden, poly n2, poly d2) {
  if (lintmode || flotemode || modularmode) return false;
  if (!is_bare_leaf(n2) || (d2 != nullptr && !is_bare_leaf(d2))) return false;
  if ((*q)->numb || (*q)->exp < value_words_degree) return false;
  std::int32_t low = 0;
  bool one = false;
  if (exp_poly_length(*q, &low, &one) < 0) return false;  // sparse: a power a gap
  IntPoly a;
  if (!intpoly_of(*q, &a)) return false;
  const WordInt p = word_int_of(n2->ncoef);
  WordInt d;
  if (d2 != nullptr) d = word_int_of(d2->ncoef);
  const WordInt v = intpoly_scaled_value(a, p, d2 != nullptr ? &d : nullptr);
  OwnedPoly t, den;
  t.p = nodes::new_leaf(number_of_word_int(v));
  if (d2 != nullptr) den.p = nodes::new_leaf(number_of_word_int(word_int_power(d, a.degree())));
  replace_list(q, t.release());
  replace_denominator(qden, den.release());
  return true;
}

}  // namespace

void highest_level(poly* q, poly* qden, poly n2, poly d2, std::int16_t level, polypt pol) {
  if (value_on_words(q, qden, n2, d2)) return;
  Powers n2_powers(n2, pol);
  std::optional<Powers> d2_powers;
  if (d2 != nullptr) d2_powers.emplace(d2, pol);
  OwnedPoly t, den;
  // t := t n2^e, and den := den d2^e when d2 is not 1.
  auto raise_by = [&](std::int32_t e) {
    poly_mult(t.p, n2_powers.get(e), t.cell(), pol);
    if (!d2_powers) return;
    if (den.p == nullptr) {
      poly_assign(d2_powers->get(e), den.cell());
    } else {
      poly_mult(den.p, d2_powers->get(e), den.cell(), pol);
    }
  };
  std::int32_t previous = 0;
  bool first = true;
  for (poly node = *q; node != nullptr; node = node->next) {
    const std::int32_t e = node->exp;
    OwnedPoly c;
    c.p = take_coefficient(node);
    if (!is_bare_leaf(c.p)) add_pad(c.cell(), level);
    if (first) {
      t.p = c.release();
      first = false;
      previous = e;
      continue;
    }
    const std::int32_t gap = previous - e;
    previous = e;
    raise_by(gap);
    if (d2_powers) times(c.cell(), den.p, pol);
    best_poly_add(t.release(), c.release(), t.cell());
  }
  if (previous >= 1) raise_by(previous);
  replace_list(q, t.release());
  replace_denominator(qden, den.release());
}

void case_one(poly* p, poly* pden, std::int16_t target, poly n2, poly d2, polypt pol) {
  if (target <= 1) {
    if (!(*p)->numb && (*p)->exp > 0) {
      highest_level(p, pden, n2, d2, 1, pol);
    } else {
      free_poly(pden);
    }
    return;
  }
  substitute_coefficients(p, pden, pol, [&](poly* c, poly* den) {
    case_one(c, den, static_cast<std::int16_t>(target - 1), n2, d2, pol->next);
  });
}

void highest_case2(poly* q, poly* qden, std::int32_t target, poly n2, poly d2,
                   std::int16_t leveldown, polypt pol) {
  if (target <= 1) {
    highest_level(q, qden, n2, d2, static_cast<std::int16_t>(leveldown + 1), pol);
    return;
  }
  // The results lie at n2's level; q's own variable is leveldown levels
  // below it there.
  PolySum sum(pol);
  for (poly t = *q; t != nullptr; t = t->next) {
    OwnedPoly c, den;
    c.p = take_coefficient(t);
    if (!is_bare_leaf(c.p))
      highest_case2(c.cell(), den.cell(), target - 1, n2, d2,
                    static_cast<std::int16_t>(leveldown + 1), pol);
    const std::int32_t e = t->numb ? 0 : t->exp;
    if (e != 0 && !poly_iszero(c.p)) {
      OwnedPoly x;
      base_poly(x.cell(), leveldown + 1);
      poly term = x.p;
      for (std::int32_t k = 0; k < leveldown; ++k) term = term->pcoef;
      term->exp = e;
      poly_mult(c.p, x.p, c.cell(), pol);
    }
    sum.add(c.release(), den.release());
  }
  replace_list(q, sum.take_sum());
  replace_denominator(qden, sum.take_denominator());
}

void case_two(poly* p, poly* pden, std::int32_t target, std::int32_t source, poly n2, poly d2,
              polypt pol) {
  if (target <= source) {  // n2 lies wholly below the variable: no mixing of levels
    case_one(p, pden, static_cast<std::int16_t>(target), levels_down(n2, target - 1),
             levels_down(d2, target - 1), pol);
    return;
  }
  if (source <= 1) {
    highest_case2(p, pden, target, n2, d2, 0, pol);
    return;
  }
  poly n2_below = one_level_down(n2);
  poly d2_below = one_level_down(d2);
  substitute_coefficients(p, pden, pol, [&](poly* c, poly* den) {
    case_two(c, den, target - 1, source - 1, n2_below, d2_below, pol->next);
  });
}

}  // namespace tavrin
