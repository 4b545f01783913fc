// The GCD driver: trivial cases, the main variable absent from an argument,
// the reductions, the cheap tests and probes, contents, general contents,
// the choice among the engines.
#include <algorithm>
#include <cstdint>
#include <utility>

#include "core/errors.h"
#include "core/globals.h"
#include "core/interrupts.h"
#include "core/mode_guard.h"
#include "core/thresholds.h"
#include "numbers/bigint.h"
#include "numbers/bigint_divide.h"
#include "numbers/freelists.h"
#include "numbers/integer_gcd.h"
#include "numbers/invertible.h"
#include "numbers/mixed_mode.h"
#include "numbers/node_handles.h"
#include "poly/poly_add.h"
#include "poly/poly_measures.h"
#include "poly/poly_repr.h"
#include "poly/poly_trial.h"
#include "gcd/content.h"
#include "gcd/flat_gcd.h"
#include "gcd/gcd.h"
#include "gcd/gcd_stash.h"
#include "gcd/intpoly_gcd.h"
#include "gcd/modular_gcd.h"
#include "gcd/onevar_gcd.h"
#include "gcd/polygcd_impl.h"

namespace tavrin {

using tavrin::nodes::degree;
using tavrin::nodes::is_bare_leaf;
using tavrin::nodes::new_leaf;
using tavrin::nodes::OwnedPoly;
using tavrin::nodes::ScratchNumber;

namespace {

void bump(std::int32_t& counter) {
  counter = static_cast<std::int32_t>(static_cast<std::uint32_t>(counter) + 1u);
}

void reset_content_counters() {
  c_cntcount = 0;
  c_cntdepth = 0;
  a_cntcount = 0;
  d_cntcount = 0;
}

std::int64_t half_initial_memory() {
  return static_cast<std::int64_t>(static_cast<std::uint64_t>(initial_memory) / 2);
}

// *r := the GCD of the coefficient GCDs (gcd_coefs) of u and v, taken with
// the flags `how`; 1 in word arithmetic. u, v: kept; *r: overwritten
void coefficient_gcd(poly u, poly v, poly* r, polypt pt, const GcdFlags& how, const Ring& ring) {
  if (word_modular(ring)) {
    poly_set(1, r);
    return;
  }
  OwnedPoly cu, cv;
  gcd_coefs(u, &cu.p, ring);
  gcd_coefs(v, &cv.p, ring);
  polygcd(cu.p, cv.p, r, pt, how, ring);
}

// *r := x^k over pt's level (replaced).
void power_of_x(poly* r, std::int32_t k) {
  base_poly(r, 1);
  (*r)->exp = k;
}

// The GCD of two numbers: 1.0 in floating and 1 in word arithmetic (0 when
// both are 0), else the integer GCD.
void number_gcd(poly a, poly b, poly* r, const Ring& ring) {
  if (ring.flote || ring.lint) {
    poly_set(poly_iszero(a) && poly_iszero(b) ? 0 : 1, r);
    return;
  }
  ScratchNumber g;
  binary_gcd(a->ncoef, b->ncoef, g.get());
  free_poly(r);
  *r = new_leaf(g.release());
}

// v multiplied by the number q for the duration of a trial division.
class ScaledDivisor {
 public:
  ScaledDivisor(poly v, imptr q) : v_(v), q_(q) { num_poly_mult(v, q); }
  ~ScaledDivisor() { num_poly_quot(v_, q_, 0); }
  ScaledDivisor(const ScaledDivisor&) = delete;
  ScaledDivisor& operator=(const ScaledDivisor&) = delete;

 private:
  poly v_;
  imptr q_;
};

// The pair normalised for a cache lookup: made monic in modular
// arithmetic, else leading terms made positive; undone at the end.
class CacheForm {
 public:
  CacheForm(poly u, poly v, const Ring& ring) : u_(u), v_(v), ring_(ring) {
    if (ring.modular) {
      monic_coefs(u, v, &cu_, &cv_);
      return;
    }
    nu_ = neg_leading_term(u);
    if (nu_) poly_inplace(u);
    nv_ = neg_leading_term(v);
    if (nv_) poly_inplace(v);
  }
  ~CacheForm() {
    if (ring_.modular) {
      if (cu_ > 1 && cu_ < ring_.modulus) mod_num_poly_mult(u_, cu_);
      if (cv_ > 1 && cv_ < ring_.modulus) mod_num_poly_mult(v_, cv_);
      return;
    }
    if (nu_) poly_inplace(u_);
    if (nv_) poly_inplace(v_);
  }
  CacheForm(const CacheForm&) = delete;
  CacheForm& operator=(const CacheForm&) = delete;

 private:
  poly u_, v_;
  const Ring& ring_;
  std::int32_t cu_ = 1, cv_ = 1;
  bool nu_ = false, nv_ = false;
};

}  // namespace

polygcd_stage_counts polygcd_stages = {};

void polygcd(poly u, poly v, poly* r, polypt pt, const GcdFlags& how) {
  polygcd(u, v, r, pt, how, Ring::current());
}

void polygcd(poly u, poly v, poly* r, polypt pt, const GcdFlags& how, const Ring& ring) {
  poly answer = nullptr;
  {
    polygcd_EnvRec env(u, v, pt, how, ring);
    env.run();
    answer = std::exchange(env.result, nullptr);
  }
  if (answer == nullptr) poly_set(1, &answer);
  free_poly(r);
  *r = answer;
}

void polygcd_EnvRec::run() {
  if (numbers_and_trivial_cases()) return;
  if (main_variable_absent()) return;
  if (ring.modular && mod_is_prime && height_is_1(u.p) && height_is_1(v.p)) {
    ++polygcd_stages.one_variable;
    basic_poly_gcd(u.p, v.p, &result, true, pt, ring);
    return;
  }
  if (!leave_early && integer_onevar_gcd(u.p, v.p, &result, ring)) {
    ++polygcd_stages.integer_vectors;
    return;
  }
  if (!leave_early && flat_gcd(u.p, v.p, &result, pt)) {
    ++polygcd_stages.flat;
    return;
  }
  set_up();
  if (leave_early && comm != nullptr) {  // only the degree was asked for
    ++polygcd_stages.common_power;
    check_uv();
    result = std::exchange(comm, nullptr);
    return;
  }
  if (cheap_tests_and_probes()) return;
  if (contents()) return;
  if (general_contents()) return;
  shape_measures();
  exact_methods();
}

// ---- Stage A: numbers and trivial cases ---------------------------------------------------------

bool polygcd_EnvRec::numbers_and_trivial_cases() {
  ++polygcd_stages.numbers;  // taken back below when the call goes on
  const bool u_number = is_bare_leaf(u.p);
  const bool v_number = is_bare_leaf(v.p);
  // A copy of p, sign-normalised and made monic as the finishing step does.
  auto normalised_copy = [this](poly p) {
    poly_assign(p, &result);
    OwnedPoly c;
    if (!word_modular(ring) && !leave_early) {
      if (neg_leading_term(result)) poly_inplace(result);
      if (ring.field_depth > 0) gcd_coefs(result, &c.p, ring);
    }
    correct_monic_form(&result, c.p);
  };
  if (u_number && v_number) {
    number_gcd(u.p, v.p, &result, ring);
    return true;
  }
  if (u_number || v_number) {
    poly number = u_number ? u.p : v.p;
    poly other = u_number ? v.p : u.p;
    if (poly_iszero(number)) {  // gcd(0, p) is p normalised
      normalised_copy(other);
    } else if (!ring.flote && !poly_eq_1(number)) {
      OwnedPoly c;
      gcd_coefs(other, &c.p, ring);
      polygcd(number, c.p, &result, pt,
              {.leave_early = leave_early, .allcons = false, .canreset = false}, ring);
    } else {
      initial(&result);
    }
    return true;
  }
  if (pt == nullptr) {
    tavrin_error("pt nil in polygcd.", true);
    initial(&result);
    return true;
  }
  if (c_cntcount > 200000) allcons = false;
  if (ring.field_depth > 0 && (in_field(v.p, pt->depth, ring) || in_field(u.p, pt->depth, ring))) {
    coefficient_gcd(u.p, v.p, &result, pt,
                    {.leave_early = leave_early,
                     .allcons = false,
                     .usave = false,
                     .vsave = false,
                     .canreset = false},
                    ring);
    return true;
  }
  if (u.p == v.p) {
    normalised_copy(v.p);
    return true;
  }
  --polygcd_stages.numbers;
  if (ring.modular && mod_is_prime && number_polys == 1) {
    ++polygcd_stages.one_variable;
    basic_poly_gcd(u.p, v.p, &result, true, pt, ring);
    return true;
  }
  if (ring.flote && number_polys == 1) {
    ++polygcd_stages.one_variable;
    fl_basic_poly_gcd(u.p, v.p, &result, true, pt, ring);
    return true;
  }
  return false;
}

// ---- Stage B: the main variable absent from one or both -----------------------------------------

bool polygcd_EnvRec::main_variable_absent() {
  const bool u_pad = degree(u.p) == 0;
  const bool v_pad = degree(v.p) == 0;
  if (u_pad || v_pad) ++polygcd_stages.pads;
  if (u_pad && v_pad) {
    PadWalk w{u.p, v.p, pt};
    while (w.both_pads() && w.lev->next != nullptr) {
      if (w.lev->depth == original_depth) {
        reset_content_counters();
        if (allcons && canreset) {
          g_cntcount = 0;
          g_cutoff = 10;
          original_depth = w.lev->depth + 1;
        }
      }
      w.down();
    }
    OwnedPoly gg;
    polygcd(w.su, w.sv, &gg.p, w.lev,
            {.leave_early = leave_early,
             .do_fast = do_fast,
             .allcons = allcons,
             .usave = u.save,
             .vsave = v.save},
            ring);
    if (!is_bare_leaf(gg.p)) add_pad(&gg.p, w.levels);
    result = gg.release();
    return true;
  }
  if (u_pad || v_pad) {
    const gcd_arg& p = u_pad ? u : v;
    const gcd_arg& q = u_pad ? v : u;
    OwnedPoly gg;
    aux_content(p.p, q.p, &gg.p, pt, {.allcons = allcons, .psave = p.save, .qsave = q.save}, ring);
    if (!is_bare_leaf(gg.p)) add_pad(&gg.p, 1);
    result = gg.release();
    return true;
  }
  return false;
}

// ---- Stage C: set-up ----------------------------------------------------------------------------

void polygcd_EnvRec::set_up() {
  level = pt->depth;
  if (allcons && level < original_depth) original_depth = level;
  if (level <= original_depth) {
    reset_content_counters();
    if (allcons && canreset) {
      g_cntcount = 0;
      g_cutoff = 10;
    }
  }
  gcdexp = 1;
  // The lowest power of x, divided out in place.
  for (gcd_arg* a : {&u, &v}) {
    a->exp = a->p->next == nullptr ? 0 : std::max(0, lastnode(a->p)->exp);
    if (a->exp > 0) {
      sub_expons(a->p, &a->tail, a->exp);
      a->power_out = true;
      a->changed_in_place();
    }
  }
  if (u.exp > 0 && v.exp > 0) power_of_x(&comm, std::min(u.exp, v.exp));
  if (leave_early && comm != nullptr) return;
  if (ring.modular) {
    find_gcd_expons();
    if (gcdexp > 1) {
      ++polygcd_stages.exponent_divisions;
      polygcd_stages.last_gcdexp = gcdexp;
      divide_gcd_expons();
    }
  }
  if (degree(u.p) < degree(v.p)) std::swap(u, v);
  if (word_modular(ring)) {
    good = false;
  } else if (ring.field_depth == 0) {
    good = true;
  } else {
    good = suitable_depth(u.p, v.p, &levels_equal);
  }
  node_tot_u = big_node_total(u.p);
  node_tot_v = big_node_total(v.p);
  totalsize = node_tot_u + node_tot_v;
}

// ---- Stage D: cheap tests and probes ------------------------------------------------------------

bool polygcd_EnvRec::cheap_tests_and_probes() {
  if (v_divides_u_cheaply()) return true;
  choose_general_contents();
  if (modular_probe()) return true;
  if (field_coefficients_first()) return true;
  if (first_random_probe()) return true;

  // The arguments the caller gives up become the driver's own.
  take_over(u);
  take_over(v);

  // Variables that only one argument has.
  if (ring.modular && level >= 2 && totalsize > 40) find_missing_vars();
  return false;
}

// D1. Does v divide u? (small v, larger u)
bool polygcd_EnvRec::v_divides_u_cheaply() {
  if (ring.field_depth == 0 && node_tot_v < 50 && node_tot_u > 20) {
    bool skip = false;
    bool scale = false;
    ScratchNumber quo;
    if (!word_modular(ring)) {
      ScratchNumber cv;
      find_gcdcoefs(v.p, cv.get());
      if (!is_longint(cv.get(), 1)) {
        ScratchNumber cu, rem;
        find_gcdcoefs(u.p, cu.get());
        divide(cu.get(), cv.get(), quo.get(), rem.get());
        bool minus = false;
        if (!iszero(rem.get())) {
          skip = true;
        } else if (rat_yes && !equal_to_pm1(quo.get(), &minus)) {
          scale = true;
        }
      }
    }
    if (!skip) {
      bool divides = false;
      {
        std::optional<ScaledDivisor> scaled;
        if (scale) scaled.emplace(v.p, quo.get());
        divides = trial_poly_divide_noq(u.p, v.p, pt, true, rat_yes && !word_modular(ring), false);
      }
      if (divides) {
        ++polygcd_stages.divides;
        poly_assign(v.p, &result);
        check_uv();
        if (!word_modular(ring) && neg_leading_term(result)) poly_inplace(result);
        mult_gcd_expons(result);
        times_comm(&result);
        if (word_modular(ring)) correct_monic_form(&result, nullptr);
        return true;
      }
    }
  }
  return false;
}

// D2. Whether general contents are to be taken.
void polygcd_EnvRec::choose_general_contents() {
  if (ring.modular && totalsize > 2000 && c_cntcount < 200000) allcons = true;
  if (allcons) {
    if ((c_cntcount == 0 || level == c_cntdepth) && depth_only_2(u.p)) allcons = false;
    if (g_cntcount > g_cutoff) allcons = false;
  }
}

// D3. The modular probe.
bool polygcd_EnvRec::modular_probe() {
  tried_use_modular = false;
  delta = 1;
  if (good && totalsize > tripval) {
    imptr* primes = prime;
    std::int16_t count = 10;
    if (ring.field_depth > 0 && aux_prime1_number > 0 && !levels_equal) {
      primes = auxptr;
      count = aux_prime1_number;
    }
    bool success = false;
    bool isnumb = false;
    tried_use_modular = use_modular(u.p, v.p, &success, &isnumb, pt, count, primes, &delta);
    if (tried_use_modular) {
      if (leave_early || success) ++polygcd_stages.probes;
      if (!success && leave_early) {
        check_uv();
        power_of_x(&result, delta <= 0 ? 1 : delta);
        mult_gcd_expons(result);
        return true;
      }
      if (success && !isnumb) {  // the GCD is free of x
        if (leave_early) {
          base_poly(&d, 1);
        } else {
          dual_content(u.p, v.p, &d, pt, {.allcons = allcons, .psave = u.save, .qsave = v.save},
                       ring);
        }
        single_term_power(&result);
        check_uv();
        return finish_4();
      }
      if (success) {  // coprime but for numbers
        ScratchNumber num;
        find_common_content(u.p, v.p, num.get());
        single_term_power(&result);
        check_uv();
        if (!is_longint(num.get(), 1)) num_poly_mult(result, num.get());
        mult_gcd_expons(result);
        times_comm(&result);
        return true;
      }
      if (delta == degree(v.p)) allcons = false;
    }
  }
  return false;
}

// D4. Every coefficient in the coefficient field.
bool polygcd_EnvRec::field_coefficients_first() {
  if (ring.field_depth > 0 && (word_modular(ring) || no_aux_primes2) &&
      all_coefs_invrtble_both(u.p, v.p, static_cast<std::int16_t>(pt->depth))) {
    ++polygcd_stages.field;
    coefficient_gcd(u.p, v.p, &d, pt, {.leave_early = leave_early, .allcons = false}, ring);
    field_coef_gcd(u.p, v.p, &s, pt, ring);
    if (!word_modular(ring)) clear_up(&s, ring);
    single_term_power(&result);
    check_uv();
    times(&result, s);
    free_poly(&s);
    return finish_4();
  }
  return false;
}

// D5. The first random probe (modular arithmetic).
bool polygcd_EnvRec::first_random_probe() {
  expo = 1;
  ulevel = vlevel = -1;
  if (do_fast && ring.modular) assign_levels();
  if (do_fast && ring.modular && level >= 2) {
    for (std::int16_t trial = 1; trial <= 3; ++trial) {
      const probe_verdict verdict = fast_test_2(trial, &delta);
      if (verdict == probe_verdict::coprime) {
        ++polygcd_stages.probes;
        if (u.p->next == nullptr) {
          expo = std::min(degree(u.p), v.exp);
        } else if (v.p->next == nullptr) {
          expo = std::min(degree(v.p), u.exp);
        } else {
          expo = 0;
        }
        dual_content(u.p, v.p, &g, pt, {.allcons = allcons, .psave = u.save, .qsave = v.save},
                     ring);
        if (!is_bare_leaf(g)) add_pad(&g, 1);
        check_uv();
        patchup(&result, expo, expo);
        if (!is_bare_leaf(g)) times(&result, g);
        free_poly(&g);
        mult_gcd_expons(result);
        times_comm(&result);
        return true;
      }
      bool stop = verdict == probe_verdict::image;
      if (stop) {
        expo = std::max(expo, delta);
      } else if (trial == 3) {
        expo = degree(v.p);
        stop = true;
      }
      if (stop) {
        if (leave_early) {
          ++polygcd_stages.probes;
          check_uv();
          power_of_x(&result, expo);
          mult_gcd_expons(result);
          return true;
        }
        break;
      }
    }
  }
  return false;
}

// ---- Stage E: contents with respect to x --------------------------------------------------------

bool polygcd_EnvRec::contents() {
  content(u.p, &s, pt, false, allcons, true, ring);
  content(v.p, &t, pt, false, allcons, true, ring);
  const bool is_a_mon = u.p->next == nullptr || v.p->next == nullptr;
  if (!is_a_mon) {
    if (!poly_eq_1(s)) divide_by_content(u, s, false);
    if (!poly_eq_1(t)) divide_by_content(v, t, false);
  }
  if (!is_bare_leaf(s)) ulevel = -1;
  if (!is_bare_leaf(t)) vlevel = -1;
  polygcd(s, t, &d, pt->next, {.allcons = allcons, .usave = false, .vsave = false}, ring);
  free_poly(&s);
  free_poly(&t);
  if (u.p->next == nullptr) return monomial_1(u, v);
  if (v.p->next == nullptr) return monomial_1(v, u);
  if (essentially_equal(u.p, v.p)) {
    ++polygcd_stages.equal;
    if (leave_early) {
      power_of_x(&result, degree(u.p));
    } else {
      poly_assign(u.p, &result);
    }
    check_uv();
    if (!word_modular(ring) && neg_leading_term(result)) poly_inplace(result);
    return finish_4();
  }
  return false;
}

// ---- Stage F: general contents ------------------------------------------------------------------

bool polygcd_EnvRec::general_contents() {
  std::int32_t vcoef = 0;
  std::int32_t new_g_cutoff = g_cutoff;
  std::int32_t allcon_start = -1;
  std::int32_t allcon_lim = 0;
  const auto depth = static_cast<std::int16_t>(pt->depth);
  if (allcons) {
    allcon_lim = poly_nodes(u.p);
    const std::int32_t nv = poly_nodes(v.p);
    if (allcon_lim < 4 || nv < 4 || (allcon_lim <= 40 && nv <= 40)) {
      allcons = false;
    } else {
      if (ulevel == -1) ulevel = quick_depth_below(u.p, depth);
      if (vlevel == -1) vlevel = quick_depth_below(v.p, depth);
      poly_level_depth(ulevel, vlevel, bigg_node_total(u.p) + bigg_node_total(v.p), &allcon_start,
                       &allcon_lim);
    }
  }
  if (ring.field_depth > 0) allcon_lim = std::min(allcon_lim, ring.field_depth - pt->depth);
  if (allcons) {
    std::int32_t volume = 0;
    const std::int32_t nodes = expon_node_total(u.p, depth, true, &volume);
    const std::int32_t avsize = nodes > 0 ? volume / nodes : 0;
    if (avsize > 20000) {
      new_g_cutoff = std::max(100, g_cutoff);
    } else if (avsize > 6000) {
      new_g_cutoff = std::max(50, g_cutoff);
    }
  }
  totalsize = 0;
  if (!allcons) return false;

  for (std::int32_t i = allcon_start; i <= allcon_lim; ++i) {
    check_interrupt();
    g_cutoff = new_g_cutoff;
    const auto lev = static_cast<std::int16_t>(i);
    bool u_flag = false;  // the variable does not occur in u
    general_content(u.p, lev, &s, pt, &u_flag, bigg_node_total(u.p) > 13000, ring);
    if (!poly_eq_1(s)) {
      divide_by_content(u, s, true);
      if (!is_bare_leaf(s)) found_something = true;
    }
    bump(g_cntcount);
    ++polygcd_stages.general_contents;
    const std::int32_t ssize = f_poly_numterms(s) - 1;
    std::int32_t tsize = 0;
    std::int32_t pair_size = 0;
    bool v_flag = false;
    const bool v_content = ssize < 12;
    if (v_content) {
      general_content(v.p, lev, &t, pt, &v_flag, bigg_node_total(v.p) > 13000, ring);
      if (!poly_eq_1(t)) {
        divide_by_content(v, t, true);
        if (!is_bare_leaf(t)) found_something = true;
      }
      tsize = f_poly_numterms(t) - 1;
      if (!u_flag && !v_flag) {
        polygcd(s, t, &g, pt, {.allcons = false, .usave = false, .vsave = false, .canreset = false},
                ring);
      } else if (v_flag && !u_flag) {
        polygcd(s, v.p, &g, pt, {.allcons = false, .usave = false, .canreset = false}, ring);
      } else if (u_flag && !v_flag) {
        polygcd(u.p, t, &g, pt, {.allcons = false, .vsave = false, .canreset = false}, ring);
      } else {
        initial(&g);
      }
      pair_size = (u_flag ? f_poly_numterms(u.p) : ssize) + (v_flag ? f_poly_numterms(v.p) : tsize);
    } else {
      polygcd(s, v.p, &g, pt, {.allcons = false, .usave = false, .canreset = false}, ring);
      tsize = f_poly_numterms(g) - 1;
      pair_size = ssize + tsize;
    }
    new_g_cutoff = std::max(pair_size, g_cutoff);
    vcoef += pair_size;
    if (vcoef / (i - allcon_start + 1) > 3 * g_cutoff) g_cutoff = 3 * g_cutoff + 2;
    if (!v_content && !poly_eq_1(g)) divide_by_content(v, g, true);
    if (!is_bare_leaf(g)) found_something = true;
    if (d2 == nullptr) {
      d2 = std::exchange(g, nullptr);
    } else if (!poly_eq_1(g)) {
      times(&d2, g);
    }
    free_poly(&g);
    free_poly(&s);
    free_poly(&t);

    if (is_bare_leaf(u.p) || is_bare_leaf(v.p)) return wrap_it_up2();
    const bool u0 = degree(u.p) == 0;
    const bool v0 = degree(v.p) == 0;
    if (u0 && v0) return both_exps_0();
    if (u0 || v0) return one_exp_0();
    if (u.p->next == nullptr) return monomial_1(u, v);
    if (v.p->next == nullptr) return monomial_1(v, u);

    totalsize += ssize + tsize;
    if (g_cntcount >= g_cutoff) break;
    const std::int32_t bu = bigg_node_total(u.p);
    const std::int32_t bv = bigg_node_total(v.p);
    const std::int32_t larger = std::max(bu, bv);
    const std::int32_t smaller = std::min(bu, bv);
    const std::int32_t uvsize = (bu + bv >= 501 && larger > 8 * smaller) ? 30 : 18;
    if (totalsize >= uvsize) break;
  }
  if (degree(u.p) < degree(v.p)) {
    std::swap(u, v);
    ulevel = vlevel = -1;
  }
  return false;
}

// ---- Stage G: shape measures --------------------------------------------------------------------

void polygcd_EnvRec::shape_measures() {
  const auto depth = static_cast<std::int16_t>(pt->depth);
  std::int32_t volume_u = 0;
  std::int32_t volume_v = 0;
  node_tot_u = expon_node_total(u.p, depth, true, &volume_u);
  node_tot_v = expon_node_total(v.p, depth, true, &volume_v);
  const std::int32_t a_u = node_tot_u > 0 ? volume_u / node_tot_u : 0;
  const std::int32_t a_v = node_tot_v > 0 ? volume_v / node_tot_v : 0;
  usparse = a_u > 2300;
  const bool vsparse = a_v > 2300;
  const std::int32_t avsparse = static_cast<std::int32_t>((std::int64_t{a_u} + a_v) / 2);
  const std::int32_t du = degree(u.p);
  const std::int32_t dv = degree(v.p);
  if (usparse && !vsparse && node_tot_v > 1600) usparse = false;
  if (!usparse && vsparse && node_tot_u < 1600) usparse = true;
  if (usparse && dv >= 2) {
    const std::int32_t qv = qpoly_numterms(v.p, depth);
    if (qv > 1000 || (qv > 50 && qpoly_numterms(u.p, depth) > 1000)) usparse = false;
  }
  const std::int32_t uvsize = std::max(polys_there(u.p, depth), polys_there(v.p, depth));
  if (usparse && du > 5 && dv > 5 && uvsize > 6 &&
      sum_degrees(u.p, depth, 10 * uvsize) + sum_degrees(v.p, depth, 10 * uvsize) > 8 * uvsize)
    usparse = false;
  if (alg_c_count > 2) {
    usparse = false;
  } else if (usparse) {
    const std::int32_t nt = f_poly_numterms(u.p) + f_poly_numterms(v.p);
    const std::int32_t nu = node_tot_u;
    const std::int32_t nv = node_tot_v;
    if ((avsparse < 25000 && nt < 1100) || (avsparse < 60000 && nt < 1600 && du > 2)) {
      usparse = false;
    } else if (avsparse < 30000 || qpoly_numterms(u.p, depth) > 400 ||
               qpoly_numterms(v.p, depth) > 400 || (du > 7 && dv > 7)) {
      if ((nu > 2300 && nv > 900 && du + dv > 9) || (avsparse < 3000 && du + dv < 6) ||
          (nu > 1800 && nv > 350 && du > 3 && dv > 2) ||
          (nu > 2000 && nv > 180 && du > 4 && dv > 3) ||
          (nu > 300 && nv > 900 && du > 3 && dv > 2) ||
          (nu > 220 && nv > 850 && du > 4 && dv > 3) ||
          (nu > 200 && nv > 200 && du > 7 && dv > 7 && avsparse > 200000) ||
          (nu > 100 && nv > 100 && du > 12 && dv > 12 && avsparse > 400000) ||
          (nu > 50 && nv > 50 && du > 14 && dv > 14 && avsparse > 800000) ||
          (nu > 1000 && nv > 1000 && poly_weight(v.p->pcoef, depth + 1) > 200000))
        usparse = false;
    }
  }
  totalsize = node_tot_u + node_tot_v;
  if (c_cntcount > 100000 && totalsize < 300) usparse = true;
  balanced = node_tot_u >= node_tot_v / 20 && node_tot_v >= node_tot_u / 20;
  assign_levels();
}

// ---- Stage H: the exact methods -----------------------------------------------------------------

bool polygcd_EnvRec::exact_methods() {
  monic_over_field();

  // Exact division, coefficients not too large.
  if (!word_modular(ring) && (degree(v.p) == 1 || totalsize > trial_cutoff) &&
      max_digits(u.p) < 35 && v_divides_u())
    return v_is_the_gcd();

  if (modular_method_with_cache()) return true;
  if (second_random_probe()) return true;

  // Only the degree was asked for.
  for (poly* q : {&t, &g, &h}) free_poly(q);
  if (leave_early && ring.modular) {
    ++polygcd_stages.probes;
    check_uv();
    power_of_x(&result, expo);
    return finish_4();
  }

  if (cache_lookup()) return true;
  if (division_and_modular_method()) return true;

  // Every coefficient in the coefficient field.
  if (!word_modular(ring) && ring.field_depth > 0 &&
      all_coefs_invrtble_both(u.p, v.p, static_cast<std::int16_t>(pt->depth))) {
    ++polygcd_stages.field;
    field_coef_gcd(u.p, v.p, &s, pt, ring);
    clear_up(&s, ring);
    return wrap_it_up();
  }

  if (modulo_prime_methods()) return true;

  // The subresultant remainder sequence.
  ++polygcd_stages.algorithm_c;
  return algorithm_c(*this);
}

// s := v, taking over v's private copy when there is one; the result.
bool polygcd_EnvRec::v_is_the_gcd() {
  ++polygcd_stages.exact_division;
  if (v.copy != nullptr) {
    s = std::exchange(v.copy, nullptr);
    v.p = v.orig;
  } else {
    poly_assign(v.p, &s);
  }
  return wrap_it_up();
}

// H1. Over a coefficient field: both monic over the field, content-free.
void polygcd_EnvRec::monic_over_field() {
  if (ring.field_depth >= 1 && !word_modular(ring) && number_polys - ring.field_depth < 4) {
    for (gcd_arg* a : {&u, &v}) {
      make_copy(*a);
      OwnedPoly inverse;
      rat_monic_poly(&a->copy, &inverse.p, pt, ring);
      clear_up(&a->copy, ring);
      a->p = a->copy;
    }
  }
}

// H3. The modular method, with the cache.
bool polygcd_EnvRec::modular_method_with_cache() {
  if (totalsize > tripval && balanced && !word_modular(ring) &&
      do_mod_method_now(u.p, v.p, delta, tried_use_modular)) {
    bool normale = false;
    if (lookupgcd > 0 && totalsize > gcd_stash_cutoff && degree(v.p) > 2) {
      normalize_u_v();
      normale = true;
      gcdhash(u.p, v.p, &gcdp, ring);
      if (gcdp->next != nullptr) {
        ++polygcd_stages.cache_hits;
        poly_assign(gcdp->next, &s);
        return alternate_finish(totalsize, true);
      }
      if (gcdmass < half_initial_memory()) pending.emplace(gcdp);
    }
    bool success = false;
    basic_mod_method(u.p, v.p, &s, &success, pt);
    if (success) {
      ++polygcd_stages.engines;
      return alternate_finish(totalsize, normale);
    }
    if (normale) alt_restore_u_v();
    free_poly(&s);
    pending.reset();
  }
  return false;
}

// H4. The second random probe.
bool polygcd_EnvRec::second_random_probe() {
  if (do_fast) {
    const std::int32_t lengths = fast_poly_length(u.p, 5) + fast_poly_length(v.p, 5);
    std::int32_t tests;
    if (!ring.modular) {
      tests = lengths >= 8 ? 4 : totalsize >= 13 ? 3 : 2;
    } else {
      tests = lengths < 8 ? 1 : totalsize < 26 ? 2 : 3;
    }
    if (tried_use_modular) tests = std::int64_t{u.exp} * v.exp == 0 ? -1 : std::min(tests, 3);
    base = static_cast<std::int16_t>(!ring.modular ? 3 : ring.modulus == 2 ? 2 : 7);
    const std::int16_t* list = base == 3 ? base_3_list : base == 2 ? base_2_list : base_7_list;
    const std::int32_t list_size = base == 3 ? 7 : base == 2 ? 4 : 21;
    const std::int32_t top =
        std::min<std::int32_t>(std::max<std::int32_t>(field_level, tests), 150);
    for (std::int32_t j = 0; j <= top; ++j) local_list[j] = j < list_size ? list[j] : 0;
    if (field_level == 2) {
      if (base == 2) {
        tests = 1;
      } else if (!ring.modular) {
        tests = std::min(6, tests);
      } else {
        tests = std::min(ring.modulus - 1, tests);
      }
    }
    if (ring.modular && !found_something && level >= 2) {
      tests = 0;
    } else {
      expo = 1;
    }
    height = static_cast<std::int16_t>(tests);
    if ((!word_modular(ring) || found_something) && level >= 2 && balanced && height > 0) {
      for (std::int16_t i = 1; i <= height; ++i) {
        if (fast_test_2(i, &delta) == probe_verdict::coprime) {
          ++polygcd_stages.probes;
          check_uv();
          initial(&result);
          return finish_4();
        }
        expo = std::max(expo, delta);
      }
    }
  }
  return false;
}

// H6. The cache.
bool polygcd_EnvRec::cache_lookup() {
  if (lookupgcd > 0 && totalsize > gcd_stash_cutoff && degree(v.p) > 1 &&
      gcdmass < half_initial_memory()) {
    {
      const CacheForm form(u.p, v.p, ring);
      gcdhash(u.p, v.p, &gcdp, ring);
    }
    if (gcdp->next != nullptr) {
      ++polygcd_stages.cache_hits;
      poly_assign(gcdp->next, &s);
      return wrap_it_up();
    }
    if (!pending) pending.emplace(gcdp);
  }
  return false;
}

// H7. Exact division and the modular method once more.
bool polygcd_EnvRec::division_and_modular_method() {
  if (!word_modular(ring)) {
    if ((degree(v.p) == 1 || totalsize > trial_cutoff) && v_divides_u()) return v_is_the_gcd();
    if (totalsize > trial_cutoff && do_mod_method_now(u.p, v.p, delta, true)) {
      bool success = false;
      basic_mod_method(u.p, v.p, &s, &success, pt);
      if (success) {
        ++polygcd_stages.engines;
        return wrap_it_up();
      }
      free_poly(&s);
    }
  }
  return false;
}

// H9. Modulo a prime: exact division, then evaluation images.
bool polygcd_EnvRec::modulo_prime_methods() {
  if (ring.modular) {
    if ((degree(v.p) == 1 || (totalsize > trial_cutoff && massive_enough(v.p->pcoef))) &&
        trial_poly_divide_noq(u.p, v.p, pt, true, false, false))
      return v_is_the_gcd();
    if (level >= 2 && chinhensel && !usparse && mod_do_Chinese(u.p, v.p, expo) &&
        mod_multivar_Chinese(u.p, v.p, &s, expo, pt)) {
      ++polygcd_stages.engines;
      return wrap_it_up();
    }
    free_poly(&s);
  }
  return false;
}

}  // namespace tavrin
