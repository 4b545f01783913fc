// Exact division of a numerator and a denominator by their computed GCD,
// starting over with a recomputed GCD when it does not divide.
#include <cstdio>
#include <optional>

#include "core/error_codes.h"
#include "core/errors.h"
#include "core/globals.h"
#include "numbers/freelists.h"
#include "numbers/node_handles.h"
#include "poly/poly_exact_divide.h"
#include "poly/poly_laurent.h"
#include "poly/poly_modout.h"
#include "poly/poly_repr.h"
#include "poly/poly_trial.h"
#include "gcd/flat_gcd.h"
#include "gcd/gcd.h"
#include "quoly/quoly_impl.h"
#include "quoly/quoly_normal_form.h"

namespace tavrin {

using detail::LaurentShift;
using nodes::is_bare_leaf;
using nodes::OwnedPoly;

reduce_verdict_hook reduce_verdict = nullptr;
reduce_count_record reduce_counts{};

namespace {

// The diagnostic code of the exact divisions by a constant GCD.
constexpr std::int32_t constant_gcd_code = -171;

// q := *x / com for one side; false (q nil) when com does not divide *x.
// Without el: trial division (floating mode: gen_poly_divide, taken as
// exact). With el: gen_poly_divide, in Laurent mode around *x shifted away
// by `shift` (which restores *x unless the caller says otherwise) and the
// quotient shifted back.
bool divide_side(poly* x, poly com, bool el, int side, std::optional<LaurentShift>& shift,
                 OwnedPoly& q) {
  bool exact = true;
  if (is_bare_leaf(com)) {
    poly_quot(*x, com, &q.p, constant_gcd_code);
  } else if (!el) {
    if (flotemode) {
      bool failed = false;
      gen_poly_divide(*x, com, &q.p, polynames, &failed);
    } else {
      exact = trial_poly_divide(*x, com, &q.p, polynames, false, false, false);
    }
  } else {
    if (laurent) shift.emplace(x, true);
    bool failed = false;
    gen_poly_divide(*x, com, &q.p, polynames, &failed);
    exact = !failed;
    if (exact && shift) shift->back(&q.p);
  }
  if (exact && q.p == nullptr) poly_set(0, &q.p);
  if (exact && reduce_verdict != nullptr) exact = reduce_verdict(side, true);
  if (!exact) {
    free_poly(&q.p);
    shift.reset();  // the side comes back as it was
  }
  return exact;
}

// The integers modulo a composite: some residues have no inverse.
bool residues_without_inverse() { return modularmode && !flotemode && !finf && !mod_is_prime; }

// The setting turned off, and the warning, before a start over; side 1 is
// the numerator's, 2 the denominator's.
void before_retry(int side, bool el) {
  const char* text = nullptr;
  int number = side;
  if (try_rat && !el) {
    try_rat = false;
    text =
        " Warning %d. A fast probabilistic test for exact poly division has been turned off "
        "(&_t).\n";
  } else if (rat_yes && !el) {
    rat_yes = false;
    number += 2;
    text =
        " Warning %d. Another fast probabilistic test for exact poly division has been turned "
        "off.\n";
  } else {
    number += 4;
    text = " *** Warning %d. A  fast probabilistic gcd algorithm is being retried.\n";
  }
  if (verbose) std::printf(text, number);
}

}  // namespace

void reduce(poly* n, poly* m, poly* com, poly* num, poly* den, const ReduceFlags& flags) {
  const bool el_n = flags.el_n;
  const bool el_m = flags.el_m;
  const bool nflag = flags.nflag;
  const bool dflag = flags.dflag;
  if (!detail::word_size() && field_depth != 0) {
    pseudo_reduce(n, m, com, num, den, nullptr, el_n, el_m,
                  {" reduce 3. Try setting &_t to 0.", " reduce 4. Try setting &_t to 0.",
                   "non-numbers. reduce."});
    return;
  }
  if (!el_n && !el_m && reduce_verdict == nullptr) {
    // the GCD just found by the flat engines brought its cofactors along
    OwnedPoly qn, qm;
    if (flat_gcd_cofactors(*n, *m, *com, &qn.p, &qm.p)) {
      ++reduce_counts.cofactors;
      alg_c_count = 0;
      original_depth = 1;
      free_poly(num);
      *num = qn.release();
      free_poly(den);
      *den = qm.release();
      return;
    }
  }
  for (int starts = 0;; ++starts) {
    OwnedPoly qn, qm;
    std::optional<LaurentShift> shift_n, shift_m;
    bool exact_m = false;
    const bool exact_n = divide_side(n, *com, el_n, 1, shift_n, qn);
    alg_c_count = 0;
    original_depth = 1;
    if (exact_n) {
      exact_m = divide_side(m, *com, el_m, 2, shift_m, qm);
      alg_c_count = 0;
      original_depth = 1;
    }
    if (exact_n && exact_m) {
      // Each side is shifted back unless the caller gave it up; the guards
      // end before the cells are written (num may be n, den may be m).
      if (shift_n && !nflag) shift_n->keep_shifted();
      if (shift_m && !dflag) shift_m->keep_shifted();
      shift_n.reset();
      shift_m.reset();
      free_poly(num);
      *num = qn.release();
      free_poly(den);
      *den = qm.release();
      return;
    }
    shift_n.reset();
    shift_m.reset();
    // Modulo a composite modulus two polynomials need not have a GCD, and
    // the one computed (its steps divide by residues without inverse) is
    // the same every time: once it has been computed again with the exact
    // division tests, a side it does not divide is error 85.
    const bool tests_left = !el_n && !el_m && (try_rat || rat_yes);
    if (starts > 0 && !tests_left && residues_without_inverse()) {
      error(no_inverse_error, &quotsign);
      // Resumed: the value is kept undivided.
      if (num != n) poly_assign(*n, num);
      if (den != m) poly_assign(*m, den);
      return;
    }
    if (starts == reduce_retry_limit) {
      tavrin_error("reduce retry limit", true);
      // Resumed: the value is kept undivided.
      if (num != n) poly_assign(*n, num);
      if (den != m) poly_assign(*m, den);
      return;
    }
    before_retry(exact_n ? 2 : 1, el_n || el_m);
    free_poly(com);
    detail::value_polygcd(*n, *m, com, polynames);
    if (*com == nullptr) poly_set(1, com);
  }
}

}  // namespace tavrin
