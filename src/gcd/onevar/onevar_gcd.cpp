// The one-variable GCD modulo a word prime and its routing, the GCD over an
// algebraic extension, and the content normalisations.
#include <algorithm>
#include <cassert>
#include <cstdint>
#include <optional>
#include <utility>

#include "core/errors.h"
#include "core/globals.h"
#include "core/interrupts.h"
#include "core/thresholds.h"
#include "numbers/bigint.h"
#include "numbers/freelists.h"
#include "numbers/garbage.h"
#include "numbers/node_handles.h"
#include "dense/dense_char2.h"
#include "dense/dense_gcd.h"
#include "dense/dense_upcalls.h"
#include "poly/poly_add.h"
#include "poly/poly_divide.h"
#include "poly/poly_exact_divide.h"
#include "poly/poly_measures.h"
#include "poly/poly_mult.h"
#include "poly/poly_repr.h"
#include "gcd/gcd.h"
#include "gcd/gcd_globals.h"
#include "gcd/gcd_stash.h"
#include "gcd/onevar_gcd.h"

namespace tavrin {

using nodes::degree;
using nodes::is_bare_leaf;
using nodes::OwnedPoly;
using nodes::ScratchNumber;

namespace {

// Word or floating arithmetic: every number is one word (or long double)
// and every non-zero coefficient of the ground field is invertible.
bool word_arithmetic(const Ring& ring) { return ring.lint || ring.flote; }

// *g := the constant GCD the monomial rule multiplies by: 1 (1.0) in word
// and floating arithmetic; otherwise the GCD of the integer contents of
// other and mono.
void rule_constant(poly other, poly mono, poly* g, const Ring& ring) {
  if (word_arithmetic(ring)) {
    poly_set(1, g);
    return;
  }
  OwnedPoly a, b;
  {
    ScratchNumber c;
    find_gcdcoefs(other, c.get());
    poly_set(0, &a.p);
    num_assign(c.get(), a.p->ncoef);
  }
  {
    ScratchNumber c;
    find_gcdcoefs(mono, c.get());
    poly_set(0, &b.p);
    num_assign(c.get(), b.p->ncoef);
  }
  polygcd(a.p, b.p, g, polynames, {.allcons = false, .canreset = false}, ring);
  if (*g == nullptr) poly_set(1, g);  // no answer came back
}

// The monomial rule: when n (tested first), else m, is a monomial, true
// with *out := g x^j (see onevar_gcd.h). *out: set (nil on entry)
bool monomial_rule(poly n, poly m, poly* out, const Ring& ring) {
  poly mono = nullptr;
  poly other = nullptr;
  if (n->next == nullptr) {
    mono = n;
    other = m;
  } else if (m->next == nullptr) {
    mono = m;
    other = n;
  } else {
    return false;
  }
  OwnedPoly g;
  rule_constant(other, mono, &g.p, ring);
  const std::int32_t k = lastnode(other)->exp;
  const std::int32_t j = std::min(k, degree(mono));
  if (j <= 0) {
    *out = g.release();
    return true;
  }
  base_poly(out, 1);
  (*out)->exp = j;
  free_poly(&(*out)->pcoef);
  (*out)->pcoef = g.release();
  return true;
}

// The pair made monic for the cache lookup; the leading coefficients are
// put back on every exit.
class MonicPair {
 public:
  MonicPair(poly u, poly v, const Ring& ring) : u_(u), v_(v), modulus_(ring.modulus) {
    monic_coefs(u, v, &cu_, &cv_);
  }
  ~MonicPair() {
    restore(u_, cu_);
    restore(v_, cv_);
  }
  MonicPair(const MonicPair&) = delete;
  MonicPair& operator=(const MonicPair&) = delete;

 private:
  void restore(poly p, std::int32_t c) const {
    if (c > 1 && c < modulus_) mod_num_poly_mult(p, c);
  }
  poly u_, v_;
  std::int32_t modulus_;
  std::int32_t cu_ = 1, cv_ = 1;
};

// *q made monic (the factor dropped), unless it is a number.
void make_monic(poly* q, polypt pt) {
  if (is_bare_leaf(*q)) return;
  OwnedPoly factor;
  monic_poly(q, &factor.p, pt);
}

// The answer after a constant argument was reported: the other argument
// when one is zero (made monic when asked), else 1.
void constant_answer(poly n, poly m, poly* out, bool need_monic, polypt pt) {
  poly other = nullptr;
  if (is_bare_leaf(n) && poly_iszero(n)) {
    other = m;
  } else if (is_bare_leaf(m) && poly_iszero(m)) {
    other = n;
  }
  if (other == nullptr) {
    poly_set(1, out);
    return;
  }
  poly_assign(other, out);
  if (need_monic) make_monic(out, pt);
}

// Moduli below this go to the array engine, whose products are unsigned 32
// bits; the others to the word-array Euclid.
constexpr std::int32_t dense_engine_moduli = 65535;

// The cache's halving of the memory budget (never negative).
std::int64_t half_initial_memory() {
  return static_cast<std::int64_t>(static_cast<std::uint64_t>(initial_memory) / 2);
}

// How a one-variable GCD was answered before any engine ran.
enum class early_answer { none, constant, monomial };

// The answers both one-variable GCDs give first, n of the larger degree:
// after a constant argument (reported with `message`), and by the monomial
// rule. *out: set (nil on entry) unless none
early_answer answer_early(poly n, poly m, poly* out, bool need_monic, polypt pt,
                          const char* message, const Ring& ring) {
  if (is_bare_leaf(n) || is_bare_leaf(m)) {
    tavrin_error(message, true);
    constant_answer(n, m, out, need_monic, pt);
    return early_answer::constant;
  }
  return monomial_rule(n, m, out, ring) ? early_answer::monomial : early_answer::none;
}

// The GCD the cache holds for the pair (n of the larger degree), looked up
// with the pair made monic by a Monic guard; nil when it holds none or the
// pair is too small or the cache too full to look. After a lookup that
// found nothing, *pending waits for the answer. n, m: kept (restored)
template <class Monic>
poly cached_gcd(poly n, poly m, std::optional<PendingGcdStore>* pending, const Ring& ring) {
  if (lookupgcd <= 0 || degree(n) + degree(m) <= small_gcd_stash_cut || degree(m) < 2 ||
      gcdmass >= half_initial_memory())
    return nullptr;
  poly holder = nullptr;
  {
    Monic monic(m, n, ring);
    gcdhash(m, n, &holder, ring);
  }
  if (holder->next != nullptr) return holder->next;
  pending->emplace(holder);
  return nullptr;
}

// The pair (a, b) of a remainder sequence: each either an argument (kept)
// or a remainder owned here.
class RemainderPair {
 public:
  RemainderPair(poly n, poly m) : a(n), b(m) {}

  // (a, b) := (b, r), r moved in.
  void advance(OwnedPoly& r) {
    free_poly(&a_own_.p);
    a_own_.p = b_own_.release();
    a = b;
    b_own_.p = r.release();
    b = b_own_.p;
  }

  // *out := a when the sequence reached its GCD, else 1. *out: set (nil on entry)
  void answer(bool reached, poly* out) {
    if (!reached) {
      poly_set(1, out);
    } else if (a_own_.p == a) {
      *out = a_own_.release();
    } else {
      poly_assign(a, out);
    }
  }

  poly a, b;

 private:
  OwnedPoly a_own_, b_own_;
};

// *p := the answer held in result.
void hand_over(OwnedPoly& result, poly* p) {
  free_poly(p);
  *p = result.release();
}

}  // namespace

void basic_poly_gcd(poly n, poly m, poly* p, bool need_monic, polypt pt) {
  basic_poly_gcd(n, m, p, need_monic, pt, Ring::current());
}

void basic_poly_gcd(poly n, poly m, poly* p, bool need_monic, polypt pt, const Ring& ring) {
  assert(ring.in_force());
  if (degree(n) < degree(m)) std::swap(n, m);
  OwnedPoly result;
  const early_answer early =
      answer_early(n, m, &result.p, need_monic, pt, " number in basic_poly_gcd ", ring);
  if (early != early_answer::none) {
    if (early == early_answer::monomial) ++onevar_gcd_routes.monomial;
    hand_over(result, p);
    return;
  }

  const std::int32_t dn = degree(n);
  const std::int32_t dm = degree(m);
  std::optional<PendingGcdStore> pending;
  if (poly cached = cached_gcd<MonicPair>(n, m, &pending, ring)) {
    ++onevar_gcd_routes.cache_hits;
    poly_assign(cached, &result.p);
    if (need_monic) make_monic(&result.p, pt);  // stored by a request that did not ask
    hand_over(result, p);
    return;
  }

  DensePoly rn, rm;
  if (need_monic && dm >= onevar_hgcd_degree && residue_ring(ring) &&
      onevar_residues(n, &rn, ring) && onevar_residues(m, &rm, ring)) {
    // The half-GCD on residue vectors gives the monic GCD the engines and
    // the monic step below give.
    ++onevar_gcd_routes.residue_hgcd;
    result.p = onevar_poly(residue_gcd(rn, rm, ring));
  } else if (need_monic && dn >= char2_vector_degree && char2_ring(ring) &&
             onevar_residues(n, &rn, ring) && onevar_residues(m, &rm, ring)) {
    // GF(2^8) and GF(2^16): the same monic GCD by the half-GCD on element
    // vectors.
    ++onevar_gcd_routes.char2_hgcd;
    result.p = onevar_poly(dense_char2_gcd(rn, rm, ring.modulus));
  } else if (dn <= fast_gcd_size) {
    if (ring.modulus < dense_engine_moduli) {
      ++onevar_gcd_routes.dense_engine;
      fastest_poly_gcd(n, m, &result.p, false, pt);
    } else {
      ++onevar_gcd_routes.word_engine;
      faster_poly_gcd(n, m, &result.p, false, pt);
    }
  } else {
    ++onevar_gcd_routes.list_hgcd;
    emgcd_poly(n, m, &result.p, pt, true);
  }
  if (need_monic) make_monic(&result.p, pt);
  if (pending) pending->store(result.p, 2);
  hand_over(result, p);
}

namespace {

// The pair made monic in floating mode for the cache lookup; the leading
// coefficients are put back on every exit.
class FloatMonicPair {
 public:
  FloatMonicPair(poly u, poly v, const Ring& /*ring*/) : u_(u), v_(v) {
    fl_monic_coefs(u, v, &cu_, &cv_);
  }
  ~FloatMonicPair() {
    if (cu_ != 1.0L) fl_num_poly_mult(u_, cu_);
    if (cv_ != 1.0L) fl_num_poly_mult(v_, cv_);
  }
  FloatMonicPair(const FloatMonicPair&) = delete;
  FloatMonicPair& operator=(const FloatMonicPair&) = delete;

 private:
  poly u_, v_;
  long double cu_ = 1.0L, cv_ = 1.0L;
};

// *q made monic in floating mode: every coefficient times 1 / its leading
// number, unless that is 1.0.
void fl_make_monic(poly q) {
  const long double c = leading_coef(q)->ncoef->flote;
  if (c != 1.0L) fl_num_poly_mult(q, 1.0L / c);
}

}  // namespace

void fl_basic_poly_gcd(poly n, poly m, poly* p, bool need_monic, polypt pt) {
  fl_basic_poly_gcd(n, m, p, need_monic, pt, Ring::current());
}

void fl_basic_poly_gcd(poly n, poly m, poly* p, bool need_monic, polypt pt, const Ring& ring) {
  if (degree(n) < degree(m)) std::swap(n, m);
  OwnedPoly result;
  if (answer_early(n, m, &result.p, need_monic, pt, " number in float basic_poly_gcd ", ring) !=
      early_answer::none) {
    hand_over(result, p);
    return;
  }

  std::optional<PendingGcdStore> pending;
  if (poly cached = cached_gcd<FloatMonicPair>(n, m, &pending, ring)) {
    poly_assign(cached, &result.p);
    hand_over(result, p);
    return;
  }

  // The remainder sequence.
  RemainderPair pair(n, m);
  while (!pair.b->numb) {
    check_interrupt();
    OwnedPoly r;
    poly_div_no_q(pair.a, pair.b, &r.p);
    if (r.p != nullptr && !poly_iszero(r.p)) {
      bool vanished = false;
      purge_fl(&r.p, &vanished);
      if (vanished || r.p == nullptr) {
        poly_set(0, &r.p);
      } else {
        fl_make_monic(r.p);
      }
    } else if (r.p == nullptr) {
      poly_set(0, &r.p);
    }
    pair.advance(r);
  }
  pair.answer(poly_iszero(pair.b), &result.p);
  if (need_monic && !is_bare_leaf(result.p)) fl_make_monic(result.p);
  if (pending) pending->store(result.p, 2);
  hand_over(result, p);
}

void field_coef_gcd(poly n, poly m, poly* p, polypt pt) {
  field_coef_gcd(n, m, p, pt, Ring::current());
}

void field_coef_gcd(poly n, poly m, poly* p, polypt pt, const Ring& ring) {
  if (degree(n) < degree(m)) std::swap(n, m);
  OwnedPoly result;
  if (monomial_rule(n, m, &result.p, ring)) {
    hand_over(result, p);
    return;
  }
  RemainderPair pair(n, m);
  bool stalled = false;
  while (degree(pair.b) > 0) {
    check_interrupt();
    OwnedPoly q, r, s;
    if (word_arithmetic(ring)) {
      field_coef_poly_divide(pair.a, pair.b, pt, &q.p, &r.p);
    } else {
      pseudo_field_coef_poly_div(pair.a, pair.b, pt, &q.p, &r.p, &s.p);
      if (r.p != nullptr && s.p != nullptr && !poly_eq_1(s.p) && !poly_iszero(r.p))
        clear_up(&r.p, ring);
    }
    if (r.p == nullptr) {  // the division gave nothing back (reported by it)
      stalled = true;
      break;
    }
    pair.advance(r);
  }
  pair.answer(!stalled && poly_iszero(pair.b), &result.p);
  hand_over(result, p);
}

void clear_up(poly* p) { clear_up(p, Ring::current()); }

void clear_up(poly* p, const Ring& ring) {
  if (word_arithmetic(ring) || poly_iszero(*p)) return;
  ScratchNumber c;
  find_gcdcoefs(*p, c.get());
  if (!is_longint(c.get(), 1)) num_poly_quot(*p, c.get(), 0);
}

void rat_monic_poly(poly* q, poly* r, polypt pt) { rat_monic_poly(q, r, pt, Ring::current()); }

void rat_monic_poly(poly* q, poly* r, polypt pt, const Ring& ring) {
  free_poly(r);
  polypt level = pt;
  poly lc = ring.field_depth > 0 ? field_leading_coef(*q, pt, &level) : leading_coef(*q);
  if (lc->numb) {
    clear_up(q, ring);
    return;
  }
  quoly v = nullptr;
  poly_mod_invert(lc, &v, level);
  if (v == nullptr) return;
  if (v->numb) {
    quoly_consume(&v, r);
  } else {
    *r = std::exchange(v->numer, nullptr);
    free_quoly(&v);
  }
  if (*r == nullptr) return;
  if (!is_bare_leaf(*r) && level != nullptr && pt != nullptr && level->depth > pt->depth)
    add_pad(r, level->depth - pt->depth);
  poly_mult(*q, *r, q, pt);
}

}  // namespace tavrin
