// Quotients of values: the in-place family (fast_quoly_quot), the
// three-argument family (quoly_quot), each with its word-size part
// (lint_quot), and remainder with quotient (quoly_mod_and_quot).
#include "quoly/quoly_quot.h"

#include <cstdint>
#include <utility>

#include "core/error_codes.h"
#include "core/errors.h"
#include "core/globals.h"
#include "numbers/bigint.h"
#include "numbers/freelists.h"
#include "numbers/mixed_mode.h"
#include "numbers/node_handles.h"
#include "numbers/word_mod.h"
#include "poly/poly_add.h"
#include "poly/poly_chinese.h"
#include "poly/poly_divide.h"
#include "poly/poly_exact_divide.h"
#include "poly/poly_modout.h"
#include "poly/poly_mult.h"
#include "poly/poly_repr.h"
#include "quoly/quoly_add.h"
#include "quoly/quoly_impl.h"
#include "quoly/quoly_integers_impl.h"
#include "quoly/quoly_mult.h"
#include "quoly/quoly_mult_impl.h"
#include "quoly/quoly_normal_form.h"
#include "quoly/quoly_residues_impl.h"

namespace tavrin {

using detail::gcd_kind;
using detail::is_rational;
using detail::kind_of;
using detail::number_copy;
using detail::ResultCell;
using detail::word_size;
using tavrin::nodes::is_bare_leaf;
using tavrin::nodes::new_leaf;
using tavrin::nodes::OwnedPoly;
using tavrin::nodes::OwnedValue;

namespace {

// The divisor m as its reciprocal d/c for the guard's lifetime: numerator
// and denominator exchanged in place, and exchanged back on every exit, an
// unwinding error included.
class ExchangedParts {
 public:
  explicit ExchangedParts(quoly m) : m_(m) { std::swap(m_->numer, m_->denom); }
  ~ExchangedParts() { std::swap(m_->numer, m_->denom); }
  ExchangedParts(const ExchangedParts&) = delete;
  ExchangedParts& operator=(const ExchangedParts&) = delete;

 private:
  quoly m_;
};

// n * (1/m) for fractions n and m: into n in place, else into r (the
// callers' variables, which the product may replace). true when the
// result is a number.
bool times_reciprocal(quoly& n, quoly& m, quoly& r, bool in_place, bool laurent_mode) {
  ExchangedParts reciprocal(m);
  if (in_place) {
    fast_gen_quoly_mult(&n, &m, laurent_mode);
  } else {
    gen_quoly_mult(n, m, &r, laurent_mode);
  }
  return r->numb;
}

// The codes of the divisions by a constant GCD of the numerators, by case.
struct quot_codes {
  std::int32_t a_c, c_c;     // a / c: a and c
  std::int32_t a_cd, c_cd;   // a / (c/d)
  std::int32_t a_bc, c_bc;   // (a/b) / c
  std::int32_t word_number;  // word-size numerator by a number
};
// (a/b) / (c/d) is the product with c and d exchanged (fast_gen_quoly_mult,
// gen_quoly_mult), with the product's codes.
constexpr quot_codes in_place_codes{-89, -91, -97, -101, -103, -107, -83};
constexpr quot_codes kept_codes{-163, -167, -169, -173, -179, -181, -161};

// g := gcd(a, c) with both numerators shifted in Laurent mode, or nil (1)
// with nogcd.
void numerator_gcd(quoly n, quoly m, bool nogcd, OwnedPoly& g) {
  if (!nogcd) Lpolygcd(&n->numer, &m->numer, &g.p, true, polynames);
}

// A constant leaf holding a copy of the number k.
poly constant_of(imptr k) { return new_leaf(number_copy(k)); }

// The number in r := a / b for two numbers, b not 0, in word-size
// arithmetic; false after error 85 (a residue without inverse).
bool word_quotient(imptr a, imptr b, imptr r) {
  if (flotemode) {
    r->flote = a->flote / b->flote;
  } else if (modularmode) {
    std::int32_t inv = 0;
    if (!detail::residue_inverse(b->lint, &inv)) {
      error(no_inverse_error, &quotsign);
      return false;
    }
    r->lint = modmult(static_cast<std::uint32_t>(a->lint), static_cast<std::uint32_t>(inv));
  } else {
    r->lint = word_quo(a->lint, b->lint);
  }
  return true;
}

// r := a / b for two number values (a, b kept; r an existing node, which
// may hold a or b): the rule of fast_quoly_quot for two numbers.
void numbers_quotient(imptr a, imptr b, quoly r) {
  if (tavrin::nodes::num_is_zero_now(b)) {
    error(division_by_zero_error, &quotsign);
    detail::become_one(r);
    return;
  }
  if (word_size()) {
    tavrin::nodes::ScratchNumber x;
    if (!word_quotient(a, b, x.get())) {
      detail::become_one(r);
      return;
    }
    if (r->numb) {
      r->ncoef->lint = x.get()->lint;
      r->ncoef->flote = x.get()->flote;
      r->arr_arg = false;
    } else {
      detail::become_number(r, x.release());
    }
    return;
  }
  if (tavrin::nodes::num_is_zero_now(a)) {
    detail::become_zero(r);
    return;
  }
  if (integerflag && a->size == 1 && b->size == 1) {
    // Integer evaluation: the truncated quotient of the two limbs.
    tavrin::nodes::ScratchNumber x;
    setvalue(a->head->value / b->head->value, x.get());
    detail::become_number(r, x.release());
    return;
  }
  divide_integers(a, b, &r);
}

// The end of both finishing steps: a constant numerator that is 0 or has no
// denominator makes r a number; a remaining denominator goes through
// normalise(r, laurent).
void settle_quotient(quoly r, void (*normalise)(quoly, bool)) {
  if (is_bare_leaf(r->numer)) {
    if (poly_iszero(r->numer)) {
      detail::become_zero(r);
      return;
    }
    if (r->denom == nullptr) {
      detail::number_if_constant(r);
      return;
    }
  }
  if (r->denom != nullptr) normalise(r, laurent);
}

// The finishing step of a quotient on r in big-integer arithmetic: a
// denominator 1 dropped, -1 dropped with the numerator negated, another
// constant setting rat by the numerator; a constant numerator that is 0 or
// has no denominator makes r a number; a remaining denominator goes through
// normal_form(r, laurent).
void finish_quotient(quoly r) {
  if (r->numb) return;
  r->rat = false;
  if (r->denom != nullptr && is_bare_leaf(r->denom)) {
    if (poly_eq_1(r->denom)) {
      free_poly(&r->denom);
    } else if (poly_eq_m1(r->denom)) {
      free_poly(&r->denom);
      poly_inplace(r->numer);
    } else {
      r->rat = is_bare_leaf(r->numer);
    }
  }
  settle_quotient(r, normal_form);
}

// The word-size finishing step: as settle_quotient with lint_normal_form.
void finish_lint_quotient(quoly r) {
  if (r->numb) return;
  r->rat = false;
  settle_quotient(r, lint_normal_form);
}

// A denominator that the quotient made 0 (modulo relations): user error
// 210 with token, then r is the number 0. True when that happened.
bool zero_denominator(quoly r) {
  if (r->numb || r->denom == nullptr || !poly_iszero(r->denom)) return false;
  error(zero_denominator_error, &token);
  detail::become_zero(r);
  return true;
}

// The integer contents of r cancelled with field levels (big integers).
void field_contents(quoly r) {
  if (field_depth > 0 && r->denom != nullptr && !r->numb) sanitize(r);
}

// The quotient n / m of two values that are not both numbers in
// big-integer arithmetic into *rc. In place *rc is n (for a non-number n);
// otherwise *rc is a fresh cell and n is kept. True when *rc is complete,
// false when the finishing step is still to run.
bool big_quotient(quoly n, quoly m, quoly r, bool in_place, bool nogcd, const quot_codes& codes) {
  if (n->numb) {
    if (is_rational(m)) {
      ExchangedParts reciprocal(m);
      mult_numb_rat(n, m, &r);
      return true;
    }
    if (tavrin::nodes::num_is_zero_now(n->ncoef)) {
      detail::become_zero(r);
      return true;
    }
    r->numer = constant_of(n->ncoef);
    poly_assign(m->numer, &r->denom);
    sanitize(r);
    if (m->denom != nullptr) poly_mult(r->numer, m->denom, &r->numer, nilpol);
    return false;
  }
  if (m->numb) {
    if (tavrin::nodes::num_is_zero_now(m->ncoef)) {
      error(division_by_zero_error, &quotsign);
      detail::become_one(r);
      return true;
    }
    if (is_rational(n)) {
      quot_rat_numb(n, m, &r);
      return true;
    }
    if (is_longint(m->ncoef, 1)) {
      if (!in_place) {
        poly_assign(n->numer, &r->numer);
        if (n->denom != nullptr) poly_assign(n->denom, &r->denom);
      }
      return true;
    }
    OwnedPoly b;  // n's denominator, set aside
    poly old_b = n->denom;
    if (in_place) {
      b.p = n->denom;
      n->denom = nullptr;
    } else {
      poly_assign(n->numer, &r->numer);
    }
    r->denom = constant_of(m->ncoef);
    sanitize(r);
    if (old_b != nullptr) poly_mult(r->denom, old_b, &r->denom, nilpol);
    return false;
  }
  if (is_rational(n) && is_rational(m)) {
    quot_rats(n, m, &r);
    return true;
  }
  if (n->denom != nullptr && m->denom != nullptr) {
    return times_reciprocal(n, m, r, in_place, laurent);
  }
  // A divisor that divides over the integers: one exact division.
  if (!nogcd && detail::integer_polynomial_quotient(n, m, r)) return true;
  // The parts are read afresh after the GCD and every division: a Laurent
  // shift may rebuild an operand's polynomial (equal, in other nodes).
  OwnedPoly g;
  numerator_gcd(n, m, nogcd, g);
  const gcd_kind kind = kind_of(g.p);
  const bool has_d = m->denom != nullptr;
  if (n->denom == nullptr) {
    // a / c, or a / (c/d) = a d / c.
    detail::divide_by_common(kind, &n->numer, &m->numer, &g.p, &r->numer, &r->denom,
                             {.el_n = laurent, .el_m = laurent, .nflag = !in_place, .dflag = true},
                             has_d ? codes.a_cd : codes.a_c, has_d ? codes.c_cd : codes.c_c);
    if (kind == gcd_kind::one) {
      if (has_d) {
        poly_mult(n->numer, m->denom, &r->numer, polynames);
      } else if (!in_place) {
        poly_assign(n->numer, &r->numer);
      }
      poly_assign(m->numer, &r->denom);
    } else if (has_d) {
      poly_mult(r->numer, m->denom, &r->numer, polynames);
    }
    if (has_d) field_contents(r);
    return false;
  }
  // (a/b) / c = a / (b c).
  OwnedPoly t;
  detail::divide_by_common(kind, &n->numer, &m->numer, &g.p, &r->numer, &t.p,
                           {.el_n = laurent, .el_m = laurent, .nflag = !in_place, .dflag = true},
                           codes.a_bc, codes.c_bc);
  if (kind == gcd_kind::one) {
    if (!in_place) poly_assign(n->numer, &r->numer);
    poly_mult(n->denom, m->numer, &r->denom, polynames);
  } else {
    poly_mult(n->denom, t.p, &r->denom, polynames);
  }
  if (zero_denominator(r)) return true;
  field_contents(r);
  return false;
}

// The quotient *nc / m of two values that are not both numbers in
// word-size arithmetic into *rc, as big_quotient (in place rc is nc for a
// non-number *nc). In Laurent mode two fractions are multiplied through a
// normalised reciprocal, which may replace the value in *rc.
bool word_quotient_of_values(quolyptr nc, quoly m, quolyptr rc, bool in_place, bool nogcd,
                             const quot_codes& codes) {
  quoly n = *nc, r = *rc;
  if (m->numb) {
    if (tavrin::nodes::num_is_zero_now(m->ncoef)) {
      error(division_by_zero_error, &quotsign);
      detail::become_one(r);
      return true;
    }
    bool minus = false;
    const bool one = equal_to_pm1(m->ncoef, &minus) && !minus;
    if (in_place && one) return true;
    OwnedPoly k;
    k.p = constant_of(m->ncoef);
    poly_quot(n->numer, k.p, &r->numer, codes.word_number);
    if (!in_place && n->denom != nullptr) poly_assign(n->denom, &r->denom);
    return false;
  }
  if (n->numb) {
    if (tavrin::nodes::num_is_zero_now(n->ncoef)) {
      detail::become_zero(r);
      return true;
    }
    r->numer = constant_of(n->ncoef);
    if (m->denom != nullptr) poly_mult(r->numer, m->denom, &r->numer, polynames);
    poly_assign(m->numer, &r->denom);
    detail::divide_out_word_denominator(r);
    return false;
  }
  if (n->denom != nullptr && m->denom != nullptr) {
    if (laurent) {
      // The reciprocal d / c in normal form, then an ordinary product.
      OwnedValue recip(tavrin::nodes::new_ratfun_value(nullptr, nullptr));
      poly_assign(m->denom, &recip.q->numer);
      poly_assign(m->numer, &recip.q->denom);
      if (is_bare_leaf(recip.q->denom)) {
        detail::divide_out_word_denominator(recip.q);
      } else {
        lint_normal_form(recip.q, true);
      }
      if (in_place) {
        fast_quoly_mult(nc, &recip.q);
      } else {
        quoly_mult(n, recip.q, rc);
      }
      return true;
    }
    return times_reciprocal(n, m, r, in_place, false);
  }
  if (!nogcd && n->denom == nullptr && detail::residue_polynomial_quotient(n, m, r)) return true;
  // The parts are read afresh after the GCD and every division (Laurent
  // shifts rebuild them).
  OwnedPoly g;
  numerator_gcd(n, m, nogcd, g);
  const bool cancel = kind_of(g.p) == gcd_kind::polynomial;
  if (n->denom == nullptr) {
    if (cancel) {
      reduce(&n->numer, &m->numer, &g.p, &r->numer, &r->denom,
             {.el_n = laurent, .el_m = laurent, .nflag = !in_place, .dflag = true});
      if (m->denom != nullptr) poly_mult(r->numer, m->denom, &r->numer, polynames);
    } else {
      if (m->denom != nullptr) {
        poly_mult(n->numer, m->denom, &r->numer, polynames);
      } else if (!in_place) {
        poly_assign(n->numer, &r->numer);
      }
      poly_assign(m->numer, &r->denom);
    }
  } else {
    OwnedPoly t;
    if (cancel) {
      reduce(&n->numer, &m->numer, &g.p, &r->numer, &t.p,
             {.el_n = laurent, .el_m = laurent, .nflag = !in_place, .dflag = true});
      poly_mult(n->denom, t.p, &r->denom, polynames);
    } else {
      if (!in_place) poly_assign(n->numer, &r->numer);
      poly_mult(n->denom, m->numer, &r->denom, polynames);
    }
    if (zero_denominator(r)) return true;
  }
  detail::divide_out_word_denominator(r);
  return false;
}

// The same operand twice: 1, or error 22 (then 1) for the number 0.
void same_value_quotient(quoly v, quoly r) {
  if (v->numb && tavrin::nodes::num_is_zero_now(v->ncoef)) error(division_by_zero_error, &quotsign);
  detail::become_one(r);
}

// The state of quoly_quot shared with its nested lint_quot: the operands,
// the result cell p, the result under construction q and nogcd.
struct quoly_quot_EnvRec {
  quoly n, m;
  quolyptr p;
  ResultCell q;
  bool nogcd;
  // Frees the old *p and stores q in it.
  void quoly_quot_exit() { q.hand_over(p); }
};

// The word-size part of quoly_quot, into env.q; always ends the call.
void lint_quot(quoly_quot_EnvRec& env) {
  if (!word_quotient_of_values(&env.n, env.m, env.q.cell(), false, env.nogcd, kept_codes))
    finish_lint_quotient(env.q.get());
  env.quoly_quot_exit();
}

}  // namespace

void lint_quot(quolyptr n, quolyptr m, quoly q, bool nogcd) {
  ResultCell result(q);
  tavrin::nodes::settle_integer_inplace(*n);
  const tavrin::nodes::RingOperand divisor(*m);
  quoly M = divisor.get();
  m = &M;
  if ((*n)->numb) {
    if (!word_quotient_of_values(n, *m, result.cell(), false, nogcd, in_place_codes))
      finish_lint_quotient(result.get());
    result.hand_over(n);
    return;
  }
  result.dump();
  if (!word_quotient_of_values(n, *m, n, true, nogcd, in_place_codes)) finish_lint_quotient(*n);
}

void fast_quoly_quot(quolyptr n, quolyptr m, bool nogcd) {
  tavrin::nodes::settle_integer_inplace(*n);
  const tavrin::nodes::RingOperand divisor(*m);
  quoly N = *n, M = divisor.get();
  m = &M;
  if (N == M) {
    same_value_quotient(N, N);
    return;
  }
  if (N->numb && M->numb) {
    numbers_quotient(N->ncoef, M->ncoef, N);
    return;
  }
  if (word_size()) {
    lint_quot(n, m, tavrin::nodes::new_ratfun_value(nullptr, nullptr), nogcd);
    return;
  }
  ResultCell q;
  if (N->numb) {
    if (!big_quotient(N, M, q.get(), false, nogcd, in_place_codes)) finish_quotient(q.get());
    q.hand_over(n);
    return;
  }
  q.dump();
  if (!big_quotient(N, M, N, true, nogcd, in_place_codes)) finish_quotient(N);
}

void quoly_quot(quoly n, quoly m, quolyptr p, bool nogcd) {
  const tavrin::nodes::RingOperand a(n), b(m);
  n = a.get();
  m = b.get();
  if (n->numb && m->numb && n != m && *p != nullptr && (*p)->numb) {
    // Written into the number *p holds (it may be n's or m's).
    numbers_quotient(n->ncoef, m->ncoef, *p);
    return;
  }
  quoly_quot_EnvRec env{n, m, p, {}, nogcd};
  if (n == m) {
    same_value_quotient(n, env.q.get());
  } else if (n->numb && m->numb) {
    numbers_quotient(n->ncoef, m->ncoef, env.q.get());
  } else if (word_size()) {
    lint_quot(env);
    return;
  } else if (!big_quotient(n, m, env.q.get(), false, nogcd, kept_codes)) {
    finish_quotient(env.q.get());
  }
  env.quoly_quot_exit();
}

void quoly_mod_and_quot(quolyptr n, quolyptr m) {
  tavrin::nodes::settle_integer_inplace(*n);
  tavrin::nodes::settle_integer_inplace(*m);
  OwnedValue r, s;
  quoly N = *n, M = *m;
  if (N->numb && M->numb) {
    r.q = tavrin::nodes::new_number_value(detail::zero_number());
    s.q = tavrin::nodes::new_number_value(detail::zero_number());
    mod_and_div(N->ncoef, M->ncoef, r.q->ncoef, s.q->ncoef);
  } else {
    OwnedPoly kn, km, rp, sp;
    if (N->numb) kn.p = constant_of(N->ncoef);
    if (M->numb) km.p = constant_of(M->ncoef);
    poly_mod_and_div(N->numb ? kn.p : N->numer, M->numb ? km.p : M->numer, &rp.p, &sp.p, polynames);
    poly rr = rp.release(), ss = sp.release();
    use_up_poly(&rr, &r.q);
    use_up_poly(&ss, &s.q);
  }
  quoly old_n = *n, old_m = *m;
  *n = r.release();
  *m = s.release();
  free_quoly(&old_n);
  if (old_m != old_n) free_quoly(&old_m);
}

}  // namespace tavrin
