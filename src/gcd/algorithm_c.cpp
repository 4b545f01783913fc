// The subresultant remainder sequence (Knuth's Algorithm C), the GCD
// driver's last resort: the GCD of the reduced pair u, v (contents with
// respect to x removed, deg u >= deg v >= 1) by pseudo-remainders
//   s := prem(u, v);  u := v;  v := s / (g h^delta);
//   g := lc(u);  h := h^(1 - delta) g^delta
// (delta = deg u - deg v of the step), whose divisions are exact. When
// another variable y has a leading coefficient of v with fewer terms than
// x's, y is moved to the top of a temporary level "D" for the sequence
// and put back afterwards. A step that looks too expensive hands the pair
// back to polygcd (at most four times a command, counted in alg_c_count).
//
// With the temporary level the pair's contents with respect to y are
// divided out first and their GCD multiplied back at the end: dividing the
// sequence's result by its content in y alone would lose a common factor
// free of y.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <utility>

#include "core/errors.h"
#include "core/globals.h"
#include "core/interrupts.h"
#include "core/mode_guard.h"
#include "numbers/freelists.h"
#include "numbers/node_handles.h"
#include "poly/poly_add.h"
#include "poly/poly_coef.h"
#include "poly/poly_divide.h"
#include "poly/poly_exact_divide.h"
#include "poly/poly_measures.h"
#include "poly/poly_mult.h"
#include "poly/poly_power.h"
#include "poly/poly_repr.h"
#include "gcd/content.h"
#include "gcd/gcd.h"
#include "gcd/modular_gcd.h"
#include "gcd/onevar_gcd.h"
#include "gcd/polygcd_impl.h"

namespace tavrin {

using nodes::degree;
using nodes::is_bare_leaf;
using nodes::OwnedPoly;

namespace {

// The temporary level "D" above pt for the guard's lifetime. Above a level
// of depth d > 1 it has depth d - 1 and only the guard links to it. Above
// the top level it has depth 1 and every level below is renumbered one
// deeper (change_polydata_1, with field_depth); it then heads polynames
// (and pseudo_polynames, when they are pt) and number_polys counts it, so
// that every walk of the levels sees consistent depths. globalpoly is
// raised and interrupts wait (unless danger_ok) while the level exists.
class TemporaryLevel {
 public:
  explicit TemporaryLevel(polypt pt)
      : globalpoly_(globalpoly),
        number_polys_(number_polys),
        polynames_(polynames),
        pseudo_(pseudo_polynames),
        interrupts_(command_int, command_int && danger_ok) {
    newpt(&ptt_);
    ptt_->let.name[0] = 'D';
    ptt_->let.name[1] = '\0';
    ptt_->next = pt;
    if (pt->depth > 1) {
      ptt_->depth = static_cast<std::int16_t>(pt->depth - 1);
    } else {
      ptt_->depth = 1;
      renumbered_ = true;
      change_polydata_1(-1, ptt_);
      ++number_polys;
      if (polynames == pt) polynames = ptt_;
      if (pseudo_polynames == pt) pseudo_polynames = ptt_;
    }
    ++globalpoly;
    ++polygcd_stages.temporary_levels;
  }
  ~TemporaryLevel() {
    if (renumbered_) {
      change_polydata_1(1, ptt_);
      number_polys = number_polys_;
      polynames = polynames_;
      pseudo_polynames = pseudo_;
    }
    globalpoly = globalpoly_;
    ptt_->next = nullptr;
    free_pt(&ptt_);
  }
  TemporaryLevel(const TemporaryLevel&) = delete;
  TemporaryLevel& operator=(const TemporaryLevel&) = delete;

  polypt get() const { return ptt_; }

 private:
  polypt ptt_ = nullptr;
  bool renumbered_ = false;
  std::int32_t globalpoly_;
  std::int32_t number_polys_;
  polypt polynames_;
  polypt pseudo_;
  ScopedValue<bool> interrupts_;
};

// *q := the quotient of a by b over the coefficient field, by pseudo-division
// (its remainder and factor dropped); nil when none came back.
// a, b: kept; *q: set (nil on entry)
void field_quotient(poly a, poly b, polypt pt, poly* q) {
  OwnedPoly r, c;
  if (is_bare_leaf(b)) {
    pseudo_field_coef_poly_div(a, b, pt, q, r.cell(), c.cell());
  } else {
    num_pseudo_div(a, b, q, r.cell(), c.cell(), pt);
  }
}

// The cost estimate of a step, in 32-bit signed arithmetic with truncating
// division as on the original platform: the products wrap and a negative
// result (an overflow) counts as just above the limit.
std::int32_t step_cost(poly u, poly v, std::int32_t limit) {
  auto wrap = [](std::uint32_t x) { return static_cast<std::int32_t>(x); };
  auto u32 = [](std::int32_t x) { return static_cast<std::uint32_t>(x); };
  const std::int32_t terms = wrap(u32(f_poly_numterms(v)) + u32(f_poly_numterms(u))) / 10;
  const std::int32_t mass = wrap(u32(new_poly_mass(v, 1)) + u32(new_poly_mass(u, 1))) / 2;
  const std::int32_t cost = wrap(u32(terms) * u32(mass) * u32(degree(v)));
  return cost < 0 ? limit + 1 : cost;
}

// The sequence reads the driver's ring: a temporary level shifts the field
// levels one deeper but keeps field_depth > 0 as it was, which is all that
// field() asks. The GCDs it calls under a temporary level take the ring in
// force then (the driver's entry point without a ring).
class SubresultantSequence {
 public:
  explicit SubresultantSequence(polygcd_EnvRec& env) : env_(env) {}
  bool run();

 private:
  void set_up();
  void choose_main_variable();
  void move_variable_up();
  bool too_expensive(std::int32_t du, std::int32_t dv);
  void step(std::int32_t delta);
  void primitive_part(poly* r, polypt lev);
  void divide_content_out(poly* r, poly c, polypt lev);
  bool end_stage();

  bool field() const { return env_.ring.field_depth > 0 && !word_modular(env_.ring); }
  void times(poly* r, poly f) const {
    if (f == nullptr || poly_eq_1(f)) return;
    poly_mult(*r, f, r, ptt_);
  }

  polygcd_EnvRec& env_;
  OwnedPoly u_, v_, g_, h_, s_, t_, newh_;
  OwnedPoly common_;  // the GCD of the contents with respect to the moved variable
  std::optional<TemporaryLevel> level_;
  polypt ptt_ = nullptr;
  std::int32_t avsize_ = 1;
};

// The working polynomial of a, owned by the sequence from now on.
poly take_working_copy(polygcd_EnvRec& env, gcd_arg& a) {
  env.make_copy(a);
  poly c = std::exchange(a.copy, nullptr);
  a.p = a.orig;
  a.negated = false;
  return c;
}

void SubresultantSequence::set_up() {
  u_.p = take_working_copy(env_, env_.u);
  v_.p = take_working_copy(env_, env_.v);
  for (poly* q : {&env_.s, &env_.t, &env_.g, &env_.h}) free_poly(q);
  poly_set(1, g_.cell());
  poly_set(1, h_.cell());
  if (degree(u_.p) == degree(v_.p) && f_poly_numterms(u_.p) < f_poly_numterms(v_.p))
    std::swap(u_.p, v_.p);
  ptt_ = env_.pt;
  // Only the degree in x is asked for: x stays the main variable.
  if (!env_.leave_early) choose_main_variable();
  if (avsize_ > 1) move_variable_up();
  if (degree(u_.p) < degree(v_.p)) std::swap(u_.p, v_.p);
}

void SubresultantSequence::choose_main_variable() {
  const auto depth = static_cast<std::int16_t>(env_.pt->depth);
  const std::int32_t n = fast_f_numterms(u_.p, depth) + fast_f_numterms(v_.p, depth);
  if (n < 31 || degree(v_.p) < 3) return;
  const std::int32_t top = env_.ring.field_depth >= 1 ? std::min(12, env_.ring.field_depth - depth)
                                                      : std::min(12, number_polys - depth + 1);
  std::int32_t fewest = 0;
  for (std::int32_t i = 1; i <= top; ++i) {
    std::int32_t dv = -2147483647;
    std::int32_t du = -2147483647;
    max_degree(v_.p, i, &dv);
    max_degree(u_.p, i, &du);
    if (dv > 0 && du > 0) {
      OwnedPoly lc;
      extract_coef(v_.p, lc.cell(), static_cast<std::int16_t>(i - 1), dv, false);
      const std::int32_t count = poly_numterms(lc.p, depth);
      if (i == 1) {
        fewest = count;
      } else if (count < fewest) {
        fewest = count;
        avsize_ = i;
      }
    }
    if (fewest < 3) break;
  }
}

void SubresultantSequence::move_variable_up() {
  level_.emplace(env_.pt);
  ptt_ = level_->get();
  OwnedPoly x;
  base_poly(x.cell(), 1);
  for (OwnedPoly* p : {&v_, &u_}) {
    add_pad(p->cell(), 1);
    OwnedPoly den;
    case_two(p->cell(), den.cell(), avsize_ + 1, 1, x.p, nullptr, ptt_);
  }
  // The contents with respect to the new main variable.
  OwnedPoly cu, cv;
  content(u_.p, cu.cell(), ptt_, false, env_.allcons, true);
  content(v_.p, cv.cell(), ptt_, false, env_.allcons, true);
  divide_content_out(u_.cell(), cu.p, ptt_);
  divide_content_out(v_.cell(), cv.p, ptt_);
  polygcd(cu.p, cv.p, common_.cell(), ptt_->next,
          {.allcons = env_.allcons, .usave = false, .vsave = false, .canreset = false});
}

void SubresultantSequence::divide_content_out(poly* r, poly c, polypt lev) {
  if (poly_eq_1(c)) return;
  if (is_bare_leaf(c)) {
    num_poly_quot(*r, c->ncoef, 0);
  } else if (field()) {
    OwnedPoly cc;
    poly_assign(c, cc.cell());
    special_div(r, cc.cell(), lev);
  } else {
    fast_divide(r, c, lev, sequence_content_division_tag);
  }
}

// *r divided by its content with respect to lev's variable, its leading
// number made positive (not in word-modular arithmetic).
void SubresultantSequence::primitive_part(poly* r, polypt lev) {
  OwnedPoly c;
  content(*r, c.cell(), lev, false, env_.allcons, true);
  divide_content_out(r, c.p, lev);
  if (!word_modular(env_.ring) && neg_leading_term(*r)) poly_inplace(*r);
}

bool SubresultantSequence::too_expensive(std::int32_t du, std::int32_t dv) {
  const std::int32_t limit = number_polys < 10 ? 120000 : 40000;
  const std::int32_t avsparse = step_cost(u_.p, v_.p, limit);
  const std::int32_t vcoef = f_poly_numterms(v_.p->pcoef);
  if (!((avsparse > limit && vcoef > 400) || (avsparse > 200000 && vcoef > 2))) return false;
  if (alg_c_count >= 4) {
    if (verbose)
      std::printf("Warning. Can't abandon Algorithm C. %li, %li, %li\n", static_cast<long>(du),
                  static_cast<long>(dv), static_cast<long>(avsparse));
    return false;
  }
  ++alg_c_count;
  ++polygcd_stages.abandoned;
  if (verbose || !chinhensel) {
    std::printf("Warning. Abandon Algorithm C. %li, %li, %li, %li, ",
                static_cast<long>(alg_c_count), static_cast<long>(du), static_cast<long>(dv),
                static_cast<long>(avsparse));
    std::printf("%li\n", static_cast<long>(vcoef));
  }
  if (!chinhensel && alg_c_count < 4) {
    std::printf("\n");
    std::printf("!! ** Warning. You set &O to force Algorithm C!\n");
    std::printf("\n");
    tavrin_error("&O conflict with large GCD problem.", false);
  }
  return true;
}

// One step of the sequence after the pseudo-remainder: u := v, v := s, and
// the exact divisions that keep the coefficients small.
void SubresultantSequence::step(std::int32_t delta) {
  free_poly(u_.cell());
  u_.p = v_.release();
  v_.p = s_.release();
  // g := g h^delta, with newh = h^(delta - 1).
  if (delta > 0) {
    if (delta == 1) {
      poly_set(1, newh_.cell());
    } else {
      poly_assign(h_.p, newh_.cell());
      if (delta > 2) compute_power(newh_.cell(), delta - 1, ptt_);
    }
    times(g_.cell(), newh_.p);
    times(g_.cell(), h_.p);
  }
  // v := v / g.
  if (!poly_eq_1(g_.p)) {
    if (!field()) {
      if (is_bare_leaf(g_.p)) {
        num_poly_quot(v_.p, g_.p->ncoef, 0);
      } else {
        fast_poly_divide(v_.cell(), g_.p, ptt_, step_division_tag);
      }
    } else {
      OwnedPoly q;
      field_quotient(v_.p, g_.p, ptt_, q.cell());
      if (q.p != nullptr) {
        free_poly(v_.cell());
        v_.p = q.release();
      }
    }
  }
  // g := lc(u), padded to u's level.
  poly_assign(u_.p->pcoef, g_.cell());
  if (!is_bare_leaf(g_.p)) add_pad(g_.cell(), 1);
  // t := g^delta; h := h^(1 - delta) g^delta = t / newh.
  if (delta == 0) {
    poly_set(1, t_.cell());
  } else {
    poly_assign(g_.p, t_.cell());
    if (delta > 1) compute_power(t_.cell(), delta, ptt_);
  }
  if (delta == 1) {
    poly_assign(t_.p, h_.cell());
  } else if (delta > 1) {
    OwnedPoly quotient;
    if (!field()) {
      if (is_bare_leaf(newh_.p)) {
        poly_quot(t_.p, newh_.p, quotient.cell(), h_division_tag);
      } else {
        bool failed = false;
        gen_poly_divide(t_.p, newh_.p, quotient.cell(), ptt_, &failed);
        if (failed) tavrin_error("poly_divide failed in Alg C.", true);
      }
    } else {
      field_quotient(t_.p, newh_.p, ptt_, quotient.cell());
    }
    if (quotient.p != nullptr) {
      free_poly(h_.cell());
      h_.p = quotient.release();
    }
  }
  free_poly(newh_.cell());
  // Over a coefficient field v is kept monic (and free of its integer content).
  if (env_.ring.field_depth > 0) {
    OwnedPoly factor;
    if (word_modular(env_.ring)) {
      monic_poly(v_.cell(), factor.cell(), ptt_);
    } else {
      rat_monic_poly(v_.cell(), factor.cell(), ptt_);
      clear_up(v_.cell());
    }
  }
}

bool SubresultantSequence::end_stage() {
  OwnedPoly r;
  r.p = v_.release();
  if (level_) {
    // The pair is primitive in the top variable, so is its GCD: a result
    // free of it is 1.
    if (!is_bare_leaf(r.p) && r.p->exp == 0) poly_set(1, r.cell());
    if (!is_bare_leaf(r.p)) primitive_part(r.cell(), ptt_);
    if (!common_.p->numb) add_pad(common_.cell(), 1);
    times(r.cell(), common_.p);
    // y back in its place: the top variable D := y.
    OwnedPoly y, den;
    base_poly(y.cell(), avsize_ + 1);
    case_one(r.cell(), den.cell(), 1, y.p, nullptr, ptt_);
    if (!is_bare_leaf(r.p)) {
      poly pad = r.p;
      r.p = pad->pcoef;
      pad->pcoef = nullptr;
      free_polynode_list(pad, pad);
    }
    free_poly(common_.cell());
    level_.reset();
    ptt_ = env_.pt;
  }
  for (OwnedPoly* q : {&u_, &g_, &h_, &s_, &t_, &newh_}) free_poly(q->cell());
  if (r.p->numb || r.p->exp == 0) {
    poly_set(1, r.cell());
  } else if (!env_.leave_early) {
    primitive_part(r.cell(), env_.pt);
  }
  free_poly(&env_.s);
  env_.s = r.release();
  return env_.wrap_it_up();
}

bool SubresultantSequence::run() {
  set_up();
  for (;;) {
    check_interrupt();
    if (is_bare_leaf(v_.p)) {
      tavrin_error("v number in Alg C.", true);
      poly_set(1, v_.cell());
      break;
    }
    const std::int32_t du = degree(u_.p);
    const std::int32_t dv = degree(v_.p);
    const std::int32_t delta = du - dv;
    if (((du > 2 && dv > 1) || q_poly_numterms(v_.p) > 200000) && too_expensive(du, dv)) {
      OwnedPoly g;
      polygcd(u_.p, v_.p, g.cell(), ptt_,
              {.leave_early = env_.leave_early,
               .do_fast = env_.do_fast,
               .allcons = env_.allcons,
               .usave = false,
               .vsave = false,
               .canreset = false});
      free_poly(v_.cell());
      v_.p = g.release();
      break;
    }
    pseudo_div_no_q(u_.p, v_.p, s_.cell(), ptt_, true);
    if (poly_iszero(s_.p)) break;
    if (s_.p->numb || s_.p->exp == 0) {
      poly_set(1, v_.cell());
      break;
    }
    step(delta);
  }
  return end_stage();
}

}  // namespace

std::int32_t algorithm_c_cost(poly u, poly v) {
  return step_cost(u, v, number_polys < 10 ? 120000 : 40000);
}

bool algorithm_c(polygcd_EnvRec& env) {
  SubresultantSequence sequence(env);
  return sequence.run();
}

}  // namespace tavrin
