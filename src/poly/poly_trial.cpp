// Trial division with its random pre-tests, and its two-prime modular form.
#include "poly/poly_trial.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "core/errors.h"
#include "core/globals.h"
#include "core/interrupts.h"
#include "core/mode_guard.h"
#include "numbers/bigint.h"
#include "numbers/bigint_divide.h"
#include "numbers/freelists.h"
#include "numbers/node_handles.h"
#include "numbers/primes.h"
#include "numbers/word_mod.h"
#include "dense/dense_divide.h"
#include "poly/intpoly.h"
#include "poly/poly_add.h"
#include "poly/poly_arith_impl.h"
#include "poly/poly_divide.h"
#include "poly/poly_divide_impl.h"
#include "poly/poly_eval.h"
#include "poly/poly_flat_mult.h"
#include "poly/poly_images.h"
#include "poly/poly_impl.h"
#include "poly/poly_measures.h"
#include "poly/poly_mult.h"
#include "poly/poly_repr.h"
#include "poly/poly_upcalls.h"

namespace tavrin {

using detail::FieldInverse;
using detail::in_field_levels;
using detail::NegatedTail;
using nodes::is_bare_leaf;
using nodes::OwnedNumber;
using nodes::OwnedPoly;
using nodes::ScratchNumber;

namespace {

// Leaves of a divisor above which a long division negates a copy of its
// tail rather than the tail itself (see long_division).
constexpr std::int64_t large_divisor_leaves = 2000;

poly constant_poly(std::int32_t v) {
  poly z = nullptr;
  poly_set(v, &z);
  return z;
}

// ---- Quotients by a number ---------------------------------------------------------

// How the coefficients are divided: the inverse is formed once modulo the
// modulus; the other modes divide leaf by leaf.
struct NumberDivisor {
  imptr m;
  std::int32_t inverse = 0;  // modular mode
};

// A fresh number n / d, or nil when the quotient is not exact (big
// integers: a non-zero remainder; every mode: 0 from a non-zero n).
imptr number_quotient(imptr n, const NumberDivisor& d, const Ring& ring) {
  OwnedNumber r;
  if (!ring.flote && !ring.lint) {
    ScratchNumber rem;
    divide(n, d.m, r.get(), rem.get());
    if (rem.get()->head->value != 0 || r.get()->head->value == 0) return nullptr;
  } else {
    if (ring.modular) {
      r.get()->lint =
          modmult(static_cast<std::uint32_t>(n->lint), static_cast<std::uint32_t>(d.inverse));
    } else {
      quot(n, d.m, r.get());
    }
    if (nodes::num_is_zero_now(r.get())) return nullptr;
  }
  return r.release();
}

// The list n divided coefficientwise, or nil when a coefficient fails.
poly quotient_list(poly n, const NumberDivisor& d, const Ring& ring) {
  OwnedPoly head;
  poly* link = head.cell();
  for (poly t = n; t != nullptr; t = t->next) {
    poly node;
    if (t->numb) {
      imptr r = number_quotient(t->ncoef, d, ring);
      if (r == nullptr) return nullptr;
      node = nodes::new_leaf(r);
    } else {
      poly c = quotient_list(t->pcoef, d, ring);
      if (c == nullptr) return nullptr;
      node = detail::make_term(t->exp, c);
    }
    *link = node;
    link = &node->next;
  }
  return head.release();
}

// ---- The progress trace ------------------------------------------------------------------

// A trace level opened (with verbose and windy) for the guard's lifetime.
class TraceLevel {
 public:
  TraceLevel(const char* messge, std::int32_t n) : open_(verbose && windy), n_(n) {
    if (!open_) return;
    dumpitt_level = static_cast<std::int16_t>(dumpitt_level + 1);
    dumpitt(messge, n, true, true, true);
  }
  ~TraceLevel() {
    // A user error resets the trace to level 0 before it unwinds.
    if (open_ && dumpitt_level > 0) decr_dumpitt(n_, true, true);
  }
  TraceLevel(const TraceLevel&) = delete;
  TraceLevel& operator=(const TraceLevel&) = delete;
  void step(std::int32_t k) const {
    if (open_) dumpitt(" ", k, false, false, true);
  }

 private:
  bool open_;
  std::int32_t n_;
};

// ---- The trial division --------------------------------------------------------------------

struct Verdict {
  bool worked = false;   // the pass reached a verdict
  bool divides = false;  // the verdict
};

// A fresh value leaf holding v in the current mode, put in front of list.
void push_point(poly* list, std::int32_t v) {
  poly p = nullptr;
  poly_set(v, &p);
  p->next = *list;
  *list = p;
}

// The record `k` levels below pt (nil past the bottom).
polypt level_below(polypt pt, std::int32_t k) {
  for (; pt != nullptr && k > 0; --k) pt = pt->next;
  return pt;
}

// A pre-test point for the level `at`: a level with a relation keeps its
// variable (marked by exponent 1), since a value that is no root of the
// relation is no image of the quotient ring.
void push_level_point(poly* list, std::int32_t v, polypt at) {
  push_point(list, v);
  if (at != nullptr && at->p != nullptr) (*list)->exp = 1;
}

// Some level from pt down has a relation.
bool relations_from(polypt pt) {
  for (; pt != nullptr; pt = pt->next)
    if (pt->p != nullptr) return true;
  return false;
}

// Some point keeps its variable.
bool keeps_a_level(poly points) {
  for (; points != nullptr; points = points->next)
    if (points->exp == 1) return true;
  return false;
}

// An image lost the main degree of the operand it came from.
bool lost_degree(poly image, poly operand) {
  return image == nullptr || image->numb || image->exp < operand->exp;
}

// The environment shared by the steps of one trial division (and of the
// form without a quotient).
class TrialDivision {
 public:
  TrialDivision(poly n, poly m, polypt pt, bool shortcut, bool yes_check, bool kill_n, bool noq,
                const Ring& ring)
      : ring_(ring),
        n_(n),
        m_(m),
        pt_(pt),
        shortcut_(shortcut),
        yes_check_(yes_check),
        kill_n_(kill_n),
        noq_(noq) {
    if (kill_n) n_owner_.p = n;
  }

  // q: the quotient cell, nil for the form without a quotient.
  bool run(poly* q);

 private:
  bool answer(poly* q, bool divides, poly quotient);
  bool by_field(poly* q);
  bool by_lower(poly* q);
  bool dense_path_applies() const;
  bool long_division(poly* q, const TraceLevel& trace);

  Verdict fast_test(std::int32_t i);
  Verdict fast_test_1(std::int32_t i);
  Verdict fast_test_rat(std::int32_t i, bool small);
  Verdict partial_test(poly points);

  const Ring& ring_;
  poly n_;
  poly m_;
  polypt pt_;
  bool shortcut_, yes_check_, kill_n_, noq_;
  OwnedPoly n_owner_;  // n, when the call is to free it
  std::int16_t height_ = 0, md_ = 0, nd_ = 0;
};

bool TrialDivision::answer(poly* q, bool divides, poly quotient) {
  OwnedPoly quo;
  quo.p = quotient;
  if (q == nullptr) return divides;
  free_poly(q);
  if (divides && !(shortcut_ && yes_check_)) *q = quo.release();
  return divides;
}

bool TrialDivision::run(poly* q) {
  if (pt_ == nullptr) {
    tavrin_error(noq_ ? "pt nil in trial_poly_divide_noq." : "pt nil in trial_poly_divide.", true);
    return answer(q, false, nullptr);
  }
  if (is_bare_leaf(m_)) {
    tavrin_error(noq_ ? "m number in trial_poly_divide_noq."
                      : "m is a number in trial_poly_divide. Try turning off the fast divide "
                        "test with &_t.",
                 true);
    return answer(q, false, nullptr);
  }
  if (poly_iszero(n_)) return answer(q, true, constant_poly(0));
  if (n_ == m_) return answer(q, true, constant_poly(1));
  if (in_field_levels(m_, pt_)) return by_field(q);
  if (n_->exp < m_->exp) return false;  // *q untouched
  if (noq_) {
    // Refusals that cost no division.
    if (m_->next == nullptr && lastnode(n_)->exp < m_->exp) return false;
    // Under relations a divisor may span more levels than its multiple:
    // (x + a)(x - a) = x^2 - 2 when a^2 = 2.
    if (pseudo_polynames == nullptr && depth_below(m_) > depth_below(n_)) return false;
  }
  if (m_->exp == 0) return by_lower(q);

  md_ = depth_below(m_);
  nd_ = depth_below(n_);
  height_ = std::max(md_, nd_);
  const TraceLevel trace(noq_ ? "trial divide noq, counting to " : "trial divide, counting to ",
                         n_->exp - m_->exp + 1);
  if (shortcut_) {
    const std::int32_t tries = compute_height(height_, m_, n_, ring_);
    for (std::int32_t i = 0; i <= tries; ++i) {
      const Verdict v = noq_ ? fast_test_1(i) : fast_test(i);
      if (!v.worked) continue;
      if (!v.divides) return answer(q, false, nullptr);
      if (yes_check_) return answer(q, true, nullptr);
      break;
    }
  }
  if (pt_->p == nullptr && detail::char2_division_applies(n_, m_, ring_)) {
    OwnedPoly qd, rd;
    detail::char2_division(n_, m_, noq_ ? nullptr : qd.cell(), rd.cell(), ring_);
    const bool ok = poly_iszero(rd.p);
    return answer(q, ok, ok ? qd.release() : nullptr);
  }
  IntPoly a, b;
  if (detail::integer_operands(n_, m_, pt_, &a, &b, ring_)) {
    // One variable over the integers: on words. A prime that shows m not
    // dividing n spares the division of the packed integers, unless they
    // take one word a coefficient, as the image does: that division then
    // decides at the same cost.
    ++divide_routes.integer_exact;
    IntPoly quotient;
    const bool ok = (intpoly_divexact_one_word(a, b) || intpoly_may_divide(a, b)) &&
                    intpoly_divexact(a, b, &quotient);
    return answer(q, ok, ok && !noq_ ? intpoly_to_poly(quotient) : nullptr);
  }
  if (dense_path_applies()) {
    OwnedPoly qd;
    const bool ok = fastest_poly_div(n_, m_, qd.cell(), ring_);
    return answer(q, ok, qd.release());
  }
  return long_division(q, trace);
}

// m in the field levels: n times m's inverse, divided by its denominator.
bool TrialDivision::by_field(poly* q) {
  if (noq_ && ring_.lint) return true;
  FieldInverse inv;
  if (!inv.take(m_, pt_) || !inv.denom_is_number()) return answer(q, false, nullptr);
  OwnedPoly prod;
  poly_mult(n_, inv.numer, prod.cell(), pt_, ring_);
  if (inv.denom == nullptr) return answer(q, true, prod.release());
  poly r = nullptr;
  bool ok = false;
  trial_poly_quot(prod.p, inv.denom, &r, &ok, ring_);
  return answer(q, ok, ok ? r : nullptr);
}

// m of degree 0: a pad over a polynomial of the levels below.
bool TrialDivision::by_lower(poly* q) {
  if (n_->numb) return answer(q, false, nullptr);
  if (n_->exp == 0) {
    // Both start with pads: divide below them and wrap the quotient again.
    poly n2 = n_;
    poly m2 = m_;
    std::int32_t h = 0;
    polypt pt2 = pt_;
    findHeight(&n2, &m2, &h, &pt2);
    if (kill_n_) {
      poly last_pad = n_;
      for (std::int32_t k = 1; k < h; ++k) last_pad = last_pad->pcoef;
      last_pad->pcoef = nullptr;  // n2 goes down; the pads are freed with n
    }
    poly r = nullptr;
    const bool ok = noq_ ? trial_poly_divide_noq(n2, m2, pt2, shortcut_, yes_check_, kill_n_)
                         : trial_poly_divide(n2, m2, &r, pt2, shortcut_, yes_check_, kill_n_);
    if (r != nullptr && !is_bare_leaf(r)) add_pad(&r, h);
    return answer(q, ok, r);
  }
  poly c = m_->pcoef;
  OwnedPoly result;
  poly* link = result.cell();
  for (poly t = n_; t != nullptr; t = t->next) {
    if (t->numb || is_bare_leaf(t->pcoef)) return answer(q, false, nullptr);
    poly coef = t->pcoef;
    if (kill_n_) t->pcoef = nullptr;  // handed down to be freed there
    poly r = nullptr;
    const bool ok = noq_
                        ? trial_poly_divide_noq(coef, c, pt_->next, shortcut_, yes_check_, kill_n_)
                        : trial_poly_divide(coef, c, &r, pt_->next, shortcut_, yes_check_, kill_n_);
    if (!ok) return answer(q, false, nullptr);
    if (r == nullptr) continue;  // no quotient asked for
    poly node = detail::make_term(t->exp, r);
    *link = node;
    link = &node->next;
  }
  return answer(q, true, result.release());
}

// One variable each, dense enough, modulo a prime: the array division
// (past the arrays on residue vectors, but in characteristic 2).
bool TrialDivision::dense_path_applies() const {
  if (!ring_.modular || !mod_is_prime || (ring_.char2 && n_->exp > fast_gcd_size)) return false;
  for (poly p : {n_, m_}) {
    if (!height_is_1(p) || lastnode(p)->exp < 0) return false;
    const std::int32_t len = poly_length(p);
    if (len <= fast_mult_cut || 2 * len <= p->exp) return false;
  }
  return true;
}

// Long division that stops at the first coefficient that does not divide.
bool TrialDivision::long_division(poly* q, const TraceLevel& trace) {
  const std::int32_t dm = m_->exp;
  poly c = m_->pcoef;
  const bool c_number = is_bare_leaf(c);
  const bool c_field = !c_number && in_field_levels(c, pt_->next);
  // The tail is subtracted as a negated one: negated in place (which holds
  // interrupts until the end), or, for a large divisor, in a copy, so that
  // the long products of the steps may answer an interrupt.
  std::optional<NegatedTail> negated;
  OwnedPoly negated_copy;
  poly tail = m_->next;
  if (leaf_count_capped(tail, large_divisor_leaves) > large_divisor_leaves) {
    negated_copy.p = detail::copy_list_negated(tail);
    tail = negated_copy.p;
  } else {
    negated.emplace(m_);
  }

  OwnedPoly quotient;
  poly* link = quotient.cell();
  OwnedPoly held;  // the remainder once it is ours; before that R is n's own
  if (kill_n_) held.p = n_owner_.release();
  poly R = n_;
  std::int32_t step = 0;
  while (R != nullptr && !R->numb && R->exp >= dm) {
    check_interrupt();
    trace.step(++step);
    const bool own = held.p != nullptr;
    poly rc = R->pcoef;
    poly qc = nullptr;
    bool ok = false;
    if (c_number) {
      trial_poly_quot(rc, c, &qc, &ok, ring_);
    } else if (!is_bare_leaf(rc) || c_field) {
      if (own) R->pcoef = nullptr;  // ours: the division below frees it
      ok = trial_poly_divide(rc, c, &qc, pt_->next, false, false, own, ring_);
    }
    if (!ok) return answer(q, false, nullptr);

    const std::int32_t e = R->exp - dm;
    OwnedPoly term;
    term.p = detail::make_term(e, qc);
    detail::subtract_term_product(R, held, term.p, tail, pt_);
    if (!noq_) {
      *link = term.release();
      link = &(*link)->next;
    }
  }
  const bool divides = R == nullptr || poly_iszero(R);
  return answer(q, divides, divides ? quotient.release() : nullptr);
}

// ---- Pre-tests -------------------------------------------------------------------------------

// The partial-evaluation pass on the points given (one per level below the
// main one): the verdict of dividing the one-variable images.
Verdict TrialDivision::partial_test(poly points) {
  OwnedPoly m_image, n_image;
  poly mi = m_;
  poly ni = n_;
  if (md_ >= 2) {
    all_poly_eval(&m_, points, m_image.cell(), 1);
    mi = m_image.p;
  }
  if (nd_ >= 2) {
    all_poly_eval(&n_, points, n_image.cell(), 1);
    ni = n_image.p;
  }
  if (lost_degree(mi, m_) || lost_degree(ni, n_)) return {};
  if (ring_.modular && mod_is_prime && ring_.field_depth == 0 && !keeps_a_level(points)) {
    OwnedPoly r;
    poly_div_no_q(ni, mi, r.cell(), ring_);
    return {true, r.p == nullptr || poly_iszero(r.p)};
  }
  const bool evaluated = n_image.p != nullptr;
  if (evaluated) ni = n_image.release();
  return {true, trial_poly_divide_noq(ni, mi, pt_, false, false, evaluated, ring_)};
}

// Pass i of trial_poly_divide: small points for the levels below the main one.
Verdict TrialDivision::fast_test(std::int32_t i) {
  OwnedPoly points;
  for (std::int32_t index = height_; index >= 2; --index) {
    std::int32_t v = 0;
    if (index < 7) {
      v = rand_integer2() % 5 + i;
      if (ring_.modular) v %= ring_.modulus;
    }
    push_level_point(points.cell(), v, level_below(pt_, index - 1));
  }
  return partial_test(points.p);
}

// Pass i of trial_poly_divide_noq.
Verdict TrialDivision::fast_test_1(std::int32_t i) {
  need_data_file(data_file::primelist);  // global_list
  if (!ring_.flote && !ring_.lint && height_ > 2 && ring_.field_depth == 0 &&
      !relations_from(pt_)) {
    const Verdict small = fast_test_rat(i, true);
    if (small.worked && !small.divides) return small;
    const Verdict large = fast_test_rat(i, false);
    if (large.worked && !large.divides) return large;
    if (try_rat && height_ >= 5 && md_ >= 2 && small.worked && large.worked) return large;
  }
  const std::int32_t top = std::max(6, (3 * height_ + 3) / 4);
  OwnedPoly points;
  for (std::int32_t index = height_; index >= 2; --index) {
    std::int32_t v = 0;
    if (index <= top) {
      const std::int32_t r = rand_integer2();
      v = global_list[((r % 3) + 3 * (i + index)) % 151];
      if (ring_.modular) {
        v %= ring_.modulus;
      } else {
        v %= 181;
        if (v == 0) v = 1;
      }
    }
    push_level_point(points.cell(), v, level_below(pt_, index - 1));
  }
  return partial_test(points.p);
}

// Every variable, the main one included, replaced by a number: does m's
// value divide n's? Small values of m's make the test worthless.
Verdict TrialDivision::fast_test_rat(std::int32_t i, bool small) {
  OwnedPoly points;
  for (std::int32_t index = height_; index >= 1; --index) {
    const std::int32_t r = rand_integer2();
    std::int32_t v = global_list[((r % 3) + 3 * i + 3 * index) % 151];
    if (small) v = v % 23 + 2;
    push_point(points.cell(), v);
  }
  OwnedPoly mdup, ndup;
  all_poly_eval(&m_, points.p, mdup.cell(), 0);
  if (mdup.p != nullptr && !is_bare_leaf(mdup.p)) {
    tavrin_error("mdup not number in fast_test_rat.", true);
    return {};
  }
  if (mdup.p == nullptr) return {};
  imptr mv = mdup.p->ncoef;
  if (mv->size == 1 && mv->head->value > -40 && mv->head->value < 40) return {};
  all_poly_eval(&n_, points.p, ndup.cell(), 0);
  if (ndup.p != nullptr && !is_bare_leaf(ndup.p)) {
    tavrin_error("ndup not number in fast_test_rat.", true);
    return {};
  }
  if (ndup.p == nullptr) return {};
  ScratchNumber quotient, rem;
  divide(ndup.p->ncoef, mv, quotient.get(), rem.get());
  return {true, rem.get()->head->value == 0};
}

// ---- The two-prime test -------------------------------------------------------------------

// The chain of first nodes of p down to its leading leaf.
std::vector<poly> leading_chain(poly p) {
  std::vector<poly> chain;
  for (; p != nullptr; p = p->numb ? nullptr : p->pcoef) chain.push_back(p);
  return chain;
}

// Clears modular and word mode on every exit.
}  // namespace

bool trial_poly_divide(poly n, poly m, poly* q, polypt pt, bool shortcut, bool yes_check,
                       bool kill_n) {
  return trial_poly_divide(n, m, q, pt, shortcut, yes_check, kill_n, Ring::current());
}

bool trial_poly_divide(poly n, poly m, poly* q, polypt pt, bool shortcut, bool yes_check,
                       bool kill_n, const Ring& ring) {
  TrialDivision d(n, m, pt, shortcut, yes_check, kill_n, false, ring);
  return d.run(q);
}

bool trial_poly_divide_noq(poly n, poly m, polypt pt, bool shortcut, bool yes_check, bool kill_n) {
  return trial_poly_divide_noq(n, m, pt, shortcut, yes_check, kill_n, Ring::current());
}

bool trial_poly_divide_noq(poly n, poly m, polypt pt, bool shortcut, bool yes_check, bool kill_n,
                           const Ring& ring) {
  TrialDivision d(n, m, pt, shortcut, yes_check, kill_n, true, ring);
  return d.run(nullptr);
}

void trial_poly_quot(poly n, poly m, poly* p, bool* success) {
  trial_poly_quot(n, m, p, success, Ring::current());
}

void trial_poly_quot(poly n, poly m, poly* p, bool* success, const Ring& ring) {
  NumberDivisor d{m->ncoef};
  if (ring.modular) {
    ScratchNumber one;
    one.get()->lint = 1;
    ScratchNumber inv;
    quot(one.get(), m->ncoef, inv.get());  // errors 22 and 85 as quot reports them
    d.inverse = inv.get()->lint;
  }
  if (poly_iszero(n)) {
    *p = constant_poly(0);
    *success = true;
    return;
  }
  poly r = quotient_list(n, d, ring);
  *success = r != nullptr;
  if (r != nullptr) *p = r;
}

std::int32_t compute_height(std::int16_t height, poly m, poly n) {
  return compute_height(height, m, n, Ring::current());
}

std::int32_t compute_height(std::int16_t height, poly m, poly n, const Ring& ring) {
  if (height < 2) return -1;
  const std::int32_t L = fast_poly_length(m, 10) + fast_poly_length(n, 10);
  const std::int32_t T = node_total(m) + node_total(n);
  std::int32_t tries;
  if (L < 14) {
    tries = T < 18 ? 3 : 4;
  } else {
    tries = T > 34 ? 5 : 4;
  }
  if (ring.modular) tries = std::min(ring.modulus - 1, tries);
  return tries;
}

void mod_trial_poly_divide(poly x, poly y, bool fast_yes, bool* worked, bool* checked, polypt pt) {
  *worked = false;
  imptr* table = prime;
  std::int16_t last = prime_count;
  std::int16_t k;
  if (field_depth == 0 || both_above_field_depth(x, y, pt->depth)) {
    k = select_prime(x, y, trial_prime_buffer, trial_prime_spread, prime_count, prime);
  } else {
    if (aux_prime1_number < 1) return;
    table = auxptr;
    last = aux_prime1_number;
    k = select_prime(x, y, static_cast<std::int16_t>(last - 3), 3, last, auxptr);
  }
  const ModulusGuard ring;  // the caller's modulus and modes come back on every exit
  const ScopedValue<bool> interrupts(command_int, command_int && danger_ok);
  modularmode = false;  // the images are taken from integer coefficients
  lintmode = false;
  const std::vector<poly> x_chain = leading_chain(x);
  const std::vector<poly> y_chain = leading_chain(y);
  bool first_divides = false;
  for (std::int32_t tests = 0; k <= last; ++k) {
    const std::int32_t p = table[k]->head->value;
    set_word_modulus(p);
    ModularImage image;
    poly xi = x;
    poly yi = y;
    image.take(&xi);
    image.take(&yi);
    if (xi == nullptr || yi == nullptr || leading_chain(xi) != x_chain ||
        leading_chain(yi) != y_chain)
      continue;  // an image lost its leading term: the next prime
    image.take_modout_data();
    modularmode = true;
    lintmode = true;
    const bool divides = trial_poly_divide_noq(xi, yi, pt, true, fast_yes, false);
    modularmode = false;
    lintmode = false;
    image.restore();
    if (++tests == 1) {
      if (!divides) {
        *worked = true;
        *checked = false;
        return;
      }
      first_divides = true;
      continue;
    }
    if (divides && first_divides) {
      *worked = true;
      *checked = true;
    }
    return;
  }
}

}  // namespace tavrin
