// The state of one call of the GCD driver polygcd (gcd.h) and the steps
// that share it: reductions of the problem, bookkeeping of the caller's
// arguments, probes, and the exits that assemble the result. Private to
// src/gcd (the subresultant stage that completes the driver works on it).
//
// The problem. u and v (deg u >= deg v after Stage C) are reduced in
// stages: the lowest power of the main variable x is divided out of each
// (exp, tail), in modular arithmetic the exponents are divided by their
// common divisor gcdexp, contents are divided out, and the engines work on
// what is left. The exits put the GCD together again:
//   result = s * d (padded one level) * d2 * (x -> x^gcdexp) * comm,
// then normalised (finish_4). s: the GCD of the reduced pair; d: the GCD of
// the contents with respect to x (a polynomial one level below, or a
// number); d2: the product of the GCDs of the general contents (at x's
// level), nil when none; comm: x^min(uexp, vexp), nil when none.
//
// The caller's arguments. Each gcd_arg holds the polynomial in use (p),
// the caller's own (orig) and the driver's private copy (copy, p == copy),
// nil while the caller's polynomial is used in place. In-place changes of
// the caller's polynomial (the power divided out, the exponents divided, a
// sign removed for the cache) are recorded in the flags and undone by
// restore_caller; check_uv releases the copies and restores the caller's
// polynomials; the destructor does the same for whatever is left, so an
// error unwinding through the driver leaves a kept argument (save true)
// node for node as it came, and never leaks what the driver holds.
// Arguments the caller gives up (save false) have their nodes moved into
// the copy (mini_copy) before the contents are taken; the caller is left an
// empty head to release.
//
// Exits return true ("the call is finished") so that a stage ends with
// `return finish_4();`; the result is then in `result`, which polygcd moves
// to the caller's cell once the state record is gone.
#pragma once

#include <cstdint>
#include <optional>

#include "core/interrupts.h"
#include "core/records.h"
#include "core/ring.h"
#include "poly/poly_upcalls.h"
#include "gcd/gcd_stash.h"

namespace tavrin {

// Caller tags of the exact divisions of the driver (polygcd_steps.cpp) and
// of the subresultant sequence (algorithm_c.cpp), printed with their
// internal errors; kept in one list so that each names one site.
constexpr std::int32_t content_division_tag = -180;
constexpr std::int32_t general_content_division_tag = -181;
constexpr std::int32_t step_division_tag = -190;
constexpr std::int32_t h_division_tag = -191;
constexpr std::int32_t sequence_content_division_tag = -192;

// An interrupt hold that may be taken and given back, and moves with its
// owner (the driver exchanges its arguments).
class ArgHold {
 public:
  ArgHold() = default;
  ArgHold(ArgHold&& o) noexcept : on_(o.on_) { o.on_ = false; }
  ArgHold& operator=(ArgHold&& o) noexcept {
    if (this != &o) {
      reset();
      on_ = o.on_;
      o.on_ = false;
    }
    return *this;
  }
  ~ArgHold() { reset(); }
  void take() {
    if (on_) return;
    ++interrupt_holds;
    on_ = true;
  }
  void reset() {
    if (!on_) return;
    --interrupt_holds;
    on_ = false;
  }

 private:
  bool on_ = false;
};

// A walk down the pads that two polynomials share at their tops: su and sv
// are their coefficients `levels` levels below, at the level lev.
struct PadWalk {
  poly su, sv;
  polypt lev;
  std::int32_t levels = 0;

  // Both are pads here: neither a number nor of positive exponent.
  bool both_pads() const { return !su->numb && !sv->numb && su->exp == 0 && sv->exp == 0; }
  void down() {
    su = su->pcoef;
    sv = sv->pcoef;
    lev = lev->next;
    ++levels;
  }
};

// One argument of the driver and what has been done to it.
struct gcd_arg {
  poly p = nullptr;        // the polynomial in use: orig, or copy
  poly orig = nullptr;     // the caller's polynomial
  poly copy = nullptr;     // the private copy (owned), nil while orig is used in place
  bool save = true;        // the caller keeps orig (usave / vsave)
  std::int32_t exp = 0;    // the lowest power of x divided out (uexp / vexp)
  poly tail = nullptr;     // the node sub_expons unlinked for it (utail / vtail)
  bool power_out = false;  // orig (used in place) has x^exp divided out
  bool divided = false;    // orig (used in place) has its exponents divided by gcdexp
  bool negated = false;    // p negated for the cache lookup (num / num2 = -1)
  // While the caller's polynomial is changed in place, interrupts wait: a
  // nested level could read or change it.
  ArgHold hold;
  void changed_in_place() {
    if (copy == nullptr) hold.take();
  }
};

// The verdict of one random-evaluation probe (fast_test_2).
enum class probe_verdict {
  lost_degree,  // a point lowered a degree: no image GCD
  image,        // an image GCD of positive degree in x (its degree reported)
  coprime       // the image GCD is free of x: so is the GCD
};

struct polygcd_EnvRec {
  polygcd_EnvRec(poly u_in, poly v_in, polypt pt_in, const GcdFlags& how, const Ring& ring_in);
  ~polygcd_EnvRec();
  polygcd_EnvRec(const polygcd_EnvRec&) = delete;
  polygcd_EnvRec& operator=(const polygcd_EnvRec&) = delete;

  // Runs Stages A to H; `result` then holds the GCD.
  void run();

  // ---- Parameters and state (the fields of the driver's record) ----
  const Ring ring;  // the ring in force for the whole call
  bool leave_early;
  bool do_fast;
  bool allcons;
  bool canreset;
  polypt pt;
  gcd_arg u, v;
  std::int32_t gcdexp = 1;
  poly gcdp = nullptr;                     // the cache holder of the problem
  std::optional<PendingGcdStore> pending;  // store_new_gcd: the store owed to gcdp
  poly d = nullptr, d2 = nullptr, comm = nullptr;
  poly s = nullptr, t = nullptr, g = nullptr, h = nullptr;  // work polynomials, owned
  poly result = nullptr;                                    // *r, owned until handed over
  std::int16_t height = 0;
  std::int16_t field_level = 0, field_ulevel = 0, field_vlevel = 0, base = 3;
  std::int16_t local_list[151] = {};
  bool levels_equal = false;
  std::int32_t level = 0, ulevel = -1, vlevel = -1;
  // The driver's own locals, shared by its stages.
  bool good = false, found_something = false, tried_use_modular = false;
  bool usparse = false, balanced = false;
  std::int32_t delta = 1, expo = 1, totalsize = 0, node_tot_u = 0, node_tot_v = 0;

  // ---- Stages (polygcd.cpp); true when the call is finished ----
  bool numbers_and_trivial_cases();  // A
  bool main_variable_absent();       // B
  void set_up();                     // C (steps 2-8)
  bool cheap_tests_and_probes();     // D
  bool contents();                   // E
  bool general_contents();           // F
  void shape_measures();             // G
  bool exact_methods();              // H
  // The steps of D and H: true when the step finished the call.
  // D1 (does a small v divide u?), D3 (the modular probe), D4 (every
  // coefficient in the coefficient field), D5 (the first random probe).
  bool v_divides_u_cheaply(), modular_probe(), field_coefficients_first(), first_random_probe();
  // D2 (whether general contents are taken), H1 (both monic over the field).
  void choose_general_contents(), monic_over_field();
  // H3 (the modular method with the cache), H4 (the second random probe),
  // H6 (the cache), H7 (exact division and the modular method once more),
  // H9 (modulo a prime); and the exit when v is the GCD (s := v).
  bool modular_method_with_cache(), second_random_probe(), cache_lookup();
  bool division_and_modular_method(), modulo_prime_methods(), v_is_the_gcd();

  // ---- Bookkeeping of the arguments (polygcd_steps.cpp) ----
  void restore_caller(gcd_arg& a);  // undo the in-place changes of a's orig
  void restore_uv();                // restore_caller for both
  void check_uv();                  // release the copies, restore the caller's
  void make_copy(gcd_arg& a);       // make_ucopy_from_u / make_vcopy_from_v
  void take_over(gcd_arg& a);       // an unkept argument's nodes moved into its copy
  void mult_gcd_expons(poly q) const;
  void find_gcd_expons();
  void divide_gcd_expons();
  // x^min(expo, pexp), or 1 when expo < 1, into *r (replaced).
  void patchup(poly* r, std::int32_t pexp, std::int32_t expo) const;
  // patchup for the argument that is a single term, 1 when neither is.
  void single_term_power(poly* r) const;
  void assign_levels();
  bool suitable_depth(poly a, poly b, bool* use_regular_primes) const;
  bool massive_enough(poly lc) const;
  bool v_divides_u();
  probe_verdict fast_test_2(std::int16_t i, std::int32_t* image_degree);
  void find_missing_vars();
  void normalize_u_v();
  void alt_restore_u_v();
  void divide_by_content(gcd_arg& a, poly c, bool same_level);

  // ---- Assembling the result (polygcd_exits.cpp) ----
  void initial(poly* r) const;               // a fresh number leaf (1) into *r
  void correct_monic_form(poly* r, poly x);  // finish_4 step 7 on *r, times x over a field
  void times(poly* r, poly f) const;         // *r := *r * f at pt
  void times_comm(poly* r);                  // *r := *r * comm; comm released
  void pad_d();                              // d padded one level unless a number
  void fold_d_into_d2();                     // d2 := d2 * d (padded), d released
  bool finish_4();
  bool wrap_it_up();
  bool wrap_it_up2();
  bool alternate_finish(std::int32_t total, bool normale);
  bool monomial_1(gcd_arg& m, gcd_arg& o);
  bool one_exp_0();
  bool both_exps_0();
};

// Stage H step 10, the subresultant remainder sequence on the reduced pair
// (contents removed, deg u >= deg v >= 1): it ends through finish_4, or
// hands an abandoned pair back to polygcd and then finishes. Always true.
bool algorithm_c(polygcd_EnvRec& env);

// The sequence's cost estimate of a step on the pair (u, v) (a test hook):
// ((terms of u and v) / 10) * ((new_poly_mass of u and v at depth 1) / 2) *
// deg v in 32-bit signed arithmetic; an overflow (a negative product)
// counts as L + 1, L = 120000, or 40000 with 10 variables or more.
std::int32_t algorithm_c_cost(poly u, poly v);

// Whether the argument lies wholly in the levels of the coefficient field
// of `ring` when its top list stands at level `depth`.
bool in_field(poly p, std::int32_t depth, const Ring& ring);

// Word arithmetic in the driver's sense: word or floating arithmetic.
inline bool word_modular(const Ring& ring) { return ring.lint || ring.flote; }

}  // namespace tavrin
