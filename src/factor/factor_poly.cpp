// Factorisation over finite fields and irreducibility (factor.h).
#include <cassert>
#include <cstdio>
#include <utility>
#include <vector>

#include "core/error_codes.h"
#include "core/errors.h"
#include "core/globals.h"
#include "core/interrupts.h"
#include "core/mode_guard.h"
#include "core/thresholds.h"
#include "numbers/bigint.h"
#include "numbers/bigint_divide.h"
#include "numbers/freelists.h"
#include "numbers/invertible.h"
#include "numbers/node_handles.h"
#include "numbers/primes.h"
#include "numbers/word_mod.h"
#include "poly/poly_add.h"
#include "poly/poly_divide.h"
#include "poly/poly_exact_divide.h"
#include "poly/poly_measures.h"
#include "poly/poly_mult.h"
#include "poly/poly_power.h"
#include "poly/poly_repr.h"
#include "gcd/gcd.h"
#include "gcd/gcd_upcalls.h"
#include "factor/factor.h"
#include "factor/factor_impl.h"
#include "factor/powermod.h"
#include "factor/square_free.h"

namespace tavrin {

using nodes::is_bare_leaf;
using nodes::OwnedPoly;
using nodes::ScratchNumber;

namespace {

constexpr std::int32_t factor_tag = 19;

bool is_pad(poly p) { return !p->numb && p->exp == 0 && p->next == nullptr; }

// The depth of p's variable, through its pads (0 for a constant).
std::int32_t var_depth(poly p) {
  std::int32_t h = 1;
  while (is_pad(p)) {
    p = p->pcoef;
    ++h;
  }
  return p->numb ? 0 : h;
}

// The record of depth d (1 = top); nil past the last.
polypt record_at(std::int32_t d) {
  polypt r = polynames;
  for (std::int32_t i = 1; i < d && r != nullptr; ++i) r = r->next;
  return r;
}

// The first record of the level: -1 the first flagged field, L >= 0 the
// record at depth number_polys - L + 1 (nil past the last).
polypt first_record(std::int32_t level) {
  if (level < 0) {
    polypt r = polynames;
    for (std::int32_t i = 0; i < number_polys && r != nullptr; ++i, r = r->next)
      if (r->field) return r;
    return nullptr;
  }
  return record_at(number_polys - level + 1);
}

poly residue_leaf(std::int32_t v) {
  poly p = nullptr;
  poly_set(v, &p);
  p->ncoef->lint = v;
  return p;
}

// *r := gcd(u, v) in `ring`, both kept, after the per-request resets.
void gcd_of(poly u, poly v, poly* r, const Ring& ring) {
  alg_c_count = 0;
  original_depth = 1;
  polygcd(u, v, r, polynames, {}, ring);
}

// A value cell holding a polynomial (borrowed, not owned) for powermod.
class ValueCell {
 public:
  ValueCell() { q_ = nodes::new_ratfun_value(nullptr, nullptr); }
  ~ValueCell() {
    if (borrowed_) q_->numer = nullptr;
    free_quoly(&q_);
  }
  ValueCell(const ValueCell&) = delete;
  ValueCell& operator=(const ValueCell&) = delete;
  quolyptr cell() { return &q_; }
  // convert_poly_to_w_quoly: *w moved in (a constant becomes a number).
  void take(poly* w) {
    release_borrowed();
    free_quoly(&q_);
    if (is_bare_leaf(*w)) {
      poly_consume(w, &q_);
      q_->next = nullptr;
    } else {
      q_ = nodes::new_ratfun_value(*w, nullptr);
      *w = nullptr;
    }
  }
  // convert_w_quoly_to_poly: the value moved back out.
  void give(poly* w) {
    if (q_->numb) {
      quoly_consume(&q_, w);
    } else {
      *w = q_->numer;
      q_->numer = nullptr;
      free_quoly(&q_);
    }
    q_ = nodes::new_ratfun_value(nullptr, nullptr);
  }
  // v lent for the modulus (not freed with the cell).
  void lend(poly v) {
    release_borrowed();
    free_quoly(&q_);
    q_ = nodes::new_ratfun_value(v, nullptr);
    borrowed_ = true;
  }

 private:
  void release_borrowed() {
    if (borrowed_) q_->numer = nullptr;
    borrowed_ = false;
  }
  quoly q_ = nullptr;
  bool borrowed_ = false;
};

// The locals of factor_poly shared with its steps.
struct factor_poly_EnvRec {
  ValueCell w_quoly, v_quoly;
  ScratchNumber order_fld, ocopy, logorder;
  std::int32_t count = 0;
  poly out = nullptr;  // the output list
  poly* pt = &out;     // where the next entry is linked
  bool leave_early = false;
  bool showit = false;
  std::int32_t level = -1;
  Ring ring;  // the ring in force: modular word arithmetic
  ~factor_poly_EnvRec() { free_poly(&out); }

  // append_1: *q linked as a new entry with exp e.
  void append_1(poly* q, std::int32_t e) {
    *pt = nodes::new_term(e, *q);
    *q = nullptr;
    pt = &(*pt)->next;
    ++count;
  }

  // ocopy := order_fld (big integers).
  void copy_order() {
    BigModeGuard big;
    num_assign(order_fld.get(), ocopy.get());
  }

  // *w := (*w)^ocopy modulo v.
  void power(poly* w, poly v) {
    w_quoly.take(w);
    v_quoly.lend(v);
    powermod(w_quoly.cell(), v_quoly.cell(), ocopy.get(), verbose && showit, ring);
    w_quoly.give(w);
  }

  // An irreducible factor found: linked with multiplicity m, displayed.
  void link_factor(poly* f, std::int32_t m) {
    if (showit) {
      std::int32_t lines = 0;
      poly_display(Output, *f, &dummy, &semicolon, polynames, {.maybe_just_number = false}, &lines);
      std::fprintf(Output, "\n\n");
      std::fflush(Output);
    }
    append_1(f, m);
  }

  void random_trial(poly* r, poly f, std::int32_t h, std::int32_t top_exp);
  void odd_cantor_zass(poly* a, std::int32_t h, std::int32_t d, std::int32_t m, imptr e);
  void even_cantor_zass(poly* a, std::int32_t h, std::int32_t d, std::int32_t m);
  void split_rest(poly* f, poly s, std::int32_t h, std::int32_t d, std::int32_t m, bool odd,
                  const char* failure, imptr e);
  void degree_by_degree(poly* v);
};

// *r := x^top_exp + sum c_j x^j (j < top_exp) in f's variable (depth h),
// the c_j random elements of the chosen field, padded to the top.
void factor_poly_EnvRec::random_trial(poly* r, poly f, std::int32_t h, std::int32_t top_exp) {
  std::int32_t L = 0;
  polypt fpt = nullptr;
  if (ring.field_depth != 0 && level != 0) {
    L = level == -1 ? number_polys - ring.field_depth + 1 : level;
    fpt = record_at(number_polys - L + 1);
    if (fpt == nullptr || fpt->p == nullptr || !fpt->field) {
      tavrin_error(" random_poly, pt mix up.", true);
      L = 0;
    }
  }
  const std::int32_t pads = number_polys - poly_level(f) - L;
  OwnedPoly list;
  list.p = nodes::new_term(top_exp, residue_leaf(1));
  poly* link = &list.p->next;
  for (std::int32_t j = top_exp - 1; j >= 0; --j) {
    poly c = nullptr;
    random_field_element(&c, static_cast<std::int16_t>(L), fpt, ring);
    if (c == nullptr) continue;
    if (!is_bare_leaf(c) && pads > 0) add_pad(&c, pads);
    *link = (j == 0 && is_bare_leaf(c)) ? c : nodes::new_term(j, c);
    link = &(*link)->next;
  }
  if (h > 1) add_pad(list.cell(), h - 1);
  free_poly(r);
  *r = list.release();
}

// Step 4 of both splitting routines: f = s * (f / s), both split further.
void factor_poly_EnvRec::split_rest(poly* f, poly s, std::int32_t h, std::int32_t d, std::int32_t m,
                                    bool odd, const char* failure, imptr e) {
  OwnedPoly g, ss;
  ss.p = s;
  bool failed = false;
  gen_poly_divide(*f, ss.get(), g.cell(), polynames, &failed);
  if (failed) tavrin_error(failure, true);
  free_poly(f);
  if (odd) {
    odd_cantor_zass(ss.cell(), h, d, m, e);
    odd_cantor_zass(g.cell(), h, d, m, e);
  } else {
    even_cantor_zass(ss.cell(), h, d, m);
    even_cantor_zass(g.cell(), h, d, m);
  }
}

// e: (q^d - 1) / 2, computed by the caller once per product.
void factor_poly_EnvRec::odd_cantor_zass(poly* a, std::int32_t h, std::int32_t d, std::int32_t m,
                                         imptr e) {
  const std::int32_t deg = true_degree(*a, h);
  if (deg / d == 1) {
    link_factor(a, m);
    return;
  }
  for (;;) {
    check_interrupt();
    OwnedPoly r, s;
    random_trial(r.cell(), *a, h, 2 * d - 1);
    {
      BigModeGuard big;
      num_assign(e, ocopy.get());
    }
    power(r.cell(), *a);
    OwnedPoly one;
    one.p = residue_leaf(1);
    better_poly_sub(r.release(), one.get(), r.cell());
    if (is_bare_leaf(r.get())) continue;
    gcd_of(r.get(), *a, s.cell(), ring);
    if (!is_bare_leaf(s.get())) {
      split_rest(a, s.release(), h, d, m, true, "failure in odd_cantor_zass.", e);
      return;
    }
  }
}

void factor_poly_EnvRec::even_cantor_zass(poly* a, std::int32_t h, std::int32_t d, std::int32_t m) {
  const std::int32_t deg = true_degree(*a, h);
  if (deg / d == 1) {
    link_factor(a, m);
    return;
  }
  const bool random = ring.field_depth > 0 || ring.char2;
  OwnedPoly r, S;
  if (random) {
    random_trial(r.cell(), *a, h, 2 * d);
  } else {
    base_poly(r.cell(), h);
    poly_mult(r.get(), r.get(), S.cell(), polynames);
  }
  std::int32_t squarings = d * logorder.get()->head->value;
  if (ring.char2) squarings *= ring.modulus == 256 ? 8 : 16;
  for (;;) {
    check_interrupt();
    if (random && deg / d == 2) poly_mod_or_div(r.get(), *a, r.cell(), '|', polynames);
    OwnedPoly T, P, s;
    poly_assign(r.get(), T.cell());
    poly_assign(r.get(), P.cell());
    for (std::int32_t n = squarings - 1; n > 0; --n) {
      compute_power(P.cell(), 2, polynames);
      poly_mod_or_div(P.get(), *a, P.cell(), '|', polynames);
      better_poly_add(T.release(), P.get(), T.cell());
    }
    if (!is_bare_leaf(T.get())) {
      gcd_of(T.get(), *a, s.cell(), ring);
      if (!is_bare_leaf(s.get())) {
        split_rest(a, s.release(), h, d, m, false, "failure in even_cantor_zass.", nullptr);
        return;
      }
    }
    if (random) {
      random_trial(r.cell(), *a, h, 2 * d);
    } else {
      poly_mult(r.get(), S.get(), r.cell(), polynames);
    }
  }
}

// The distinct-degree stage of the square-free part *v (consumed), degree
// by degree: t^(q^i) mod *v by powermod, its GCD with *v less t, each
// product found linked with its degree and divided out, then what is left
// once 2 i passes its degree (with leave_early only the first finding).
void factor_poly_EnvRec::degree_by_degree(poly* vp) {
  OwnedPoly v, w, x;
  v.p = *vp;
  *vp = nullptr;
  const std::int32_t h = var_depth(v.get());
  base_poly(w.cell(), h);
  poly_assign(w.get(), x.cell());
  std::int32_t dg = 0;
  for (std::int32_t i = 0;;) {
    dg = true_degree(v.get(), h);
    if (i >= dg / 2) break;
    ++i;
    check_interrupt();
    copy_order();
    power(w.cell(), v.get());
    OwnedPoly t;
    poly_sub(w.get(), x.get(), t.cell());
    if (node_iszero(t.get())) {
      append_1(v.cell(), i);
      dg = 0;
      break;
    }
    OwnedPoly ad;
    gcd_of(t.get(), v.get(), ad.cell(), ring);
    if (!is_bare_leaf(ad.get())) {
      if (!leave_early) fast_poly_divide(v.cell(), ad.get(), polynames, factor_tag);
      append_1(ad.cell(), i);
      if (leave_early) break;
      poly_mod_or_div(w.get(), v.get(), w.cell(), '|', polynames);
    }
  }
  if (v.get() != nullptr && dg > 0 && !(leave_early && count > 0)) append_1(v.cell(), dg);
}

// The same stage on element vectors in GF(2^8) and GF(2^16), when
// `vectors` and *v is one-variable in a variable without a relation; false
// (nothing done) otherwise.
bool char2_degrees(factor_poly_EnvRec& env, poly* v, bool vectors) {
  const std::int32_t h = var_depth(*v);
  DensePoly dv;
  if (!vectors || h == 0 || !char2_route_applies(record_at(h)) || !residues_of(*v, h, &dv) ||
      dense_degree(dv) < fast_factor_degree)
    return false;
  for (detail::DegreeProduct& G :
       detail::distinct_degree_char2(dv, env.ring.modulus, env.leave_early)) {
    poly g = poly_of_residues(G.product, h);
    env.append_1(&g, G.degree);
  }
  free_poly(v);
  return true;
}

// Both stages on residue vectors, for parts in one variable (without a
// relation) over the prime field: the same entries, in the same order, the
// equal-degree stage drawing the same trials. False (nothing done) when the
// parts are not of that shape.
bool residue_route(factor_poly_EnvRec& env, poly* sq, std::int32_t* count) {
  const std::int32_t h = var_depth((*sq)->pcoef);
  if (h == 0 || !residue_route_applies(record_at(h))) return false;
  struct Part {
    DensePoly v, xp;
    std::vector<detail::DegreeProduct> products;
  };
  std::vector<Part> parts;
  std::int32_t degree = 0;
  for (poly N = *sq; N != nullptr; N = N->next) {
    parts.emplace_back();
    if (var_depth(N->pcoef) != h || !residues_of(N->pcoef, h, &parts.back().v)) return false;
    degree += dense_degree(parts.back().v);
  }
  if (degree < fast_factor_degree) return false;
  ++detail::residue_routes.factor;
  const std::int32_t p = env.ring.modulus;
  for (Part& part : parts) {
    part.products = detail::distinct_degree_residues(part.v, p, env.leave_early, &part.xp);
    if (env.leave_early) {
      // The first finding replaces the list.
      const detail::DegreeProduct& first = part.products.front();
      poly found = nodes::new_term(first.degree, poly_of_residues(first.product, h));
      free_poly(sq);
      *sq = found;
      *count = 1;
      return true;
    }
  }
  // The trials of random_trial: t^top plus residues drawn as
  // random_field_element draws them over the prime field.
  const detail::TrialSource draw = [p](std::int32_t top) {
    DensePoly r(static_cast<std::size_t>(top) + 1, 0);
    r.back() = 1;
    for (std::int32_t j = top - 1; j >= 0; --j)
      r[static_cast<std::size_t>(j)] = rand_integer3() % p;
    return r;
  };
  env.count = 0;
  env.out = nullptr;
  env.pt = &env.out;
  std::size_t k = 0;
  for (poly N = *sq; N != nullptr; N = N->next, ++k) {
    for (const detail::DegreeProduct& G : parts[k].products) {
      std::vector<DensePoly> factors;
      if (dense_degree(G.product) / G.degree == 1) {
        factors.push_back(G.product);
      } else {
        DensePoly xg;
        dense_divrem(parts[k].xp, G.product, p, nullptr, &xg);
        detail::equal_degree_residues(G.product, G.degree, xg, p, env.ring.field_depth > 0, draw,
                                      &factors);
      }
      for (const DensePoly& f : factors) {
        poly factor = poly_of_residues(f, h);
        env.link_factor(&factor, N->exp);
      }
    }
  }
  free_poly(sq);
  *sq = env.out;
  env.out = nullptr;
  *count = env.count;
  return true;
}

}  // namespace

std::int32_t true_degree(poly p, std::int32_t h) {
  for (std::int32_t k = 1; k < h && !p->numb; ++k) p = p->pcoef;
  return p->numb ? 0 : p->exp;
}

void order_of_field(imptr n, bool err, std::int32_t level) {
  order_of_field(n, err, level, Ring::current());
}

void order_of_field(imptr n, bool err, std::int32_t level, const Ring& ring) {
  polypt r = first_record(level);
  if (level < 0 && r == nullptr && err) tavrin_error(" pt nil in order_of_field.", true);
  BigModeGuard big;
  special_set(ring.modulus, n);
  for (; r != nullptr; r = r->next) number_power(n, r->expon);
}

void log_order_field(imptr n, std::int32_t level) {
  std::int32_t v = 1;
  for (polypt r = first_record(level); r != nullptr; r = r->next) v *= r->expon;
  BigModeGuard big;
  special_set(v, n);
}

void random_field_element(poly* q, std::int16_t height, polypt pt) {
  random_field_element(q, height, pt, Ring::current());
}

void random_field_element(poly* q, std::int16_t height, polypt pt, const Ring& ring) {
  if (height <= 0 || pt == nullptr) {
    std::int32_t v = rand_integer3();
    if (ring.char2) v = rand_integer2() * 48871 + v;
    v %= ring.modulus;
    if (v == 0) return;
    free_poly(q);
    poly leaf = nullptr;
    poly_set(v, &leaf);
    if (ring.lint) leaf->ncoef->lint = v;
    *q = leaf;
    return;
  }
  OwnedPoly list;
  poly* link = &list.p;
  for (std::int32_t e = pt->expon - 1; e >= 0; --e) {
    poly c = nullptr;
    random_field_element(&c, static_cast<std::int16_t>(height - 1), pt->next, ring);
    if (c == nullptr) continue;
    *link = (e == 0 && is_bare_leaf(c)) ? c : nodes::new_term(e, c);
    link = &(*link)->next;
  }
  if (list.p == nullptr) return;
  free_poly(q);
  *q = list.release();
}

bool cant_factor(poly q, std::int32_t* errno_out, bool check_below) {
  return cant_factor(q, errno_out, check_below, Ring::current());
}

bool cant_factor(poly q, std::int32_t* errno_out, bool check_below, const Ring& ring) {
  const std::int32_t k = var_depth(q);
  std::int32_t last = -1;
  for (polypt r = polynames; r != nullptr; r = r->next)
    if (r->p != nullptr && !r->field && r->depth > last) last = r->depth;
  if (last >= k && ring.field_depth > 0) {
    *errno_out = factor_not_field_error;
    return true;
  }
  *errno_out = factor_coefficient_error;
  const std::int32_t fd = ring.field_depth == 0 ? 16384 : ring.field_depth;
  if (!check_below || k >= fd || fd == k + 1) return false;
  poly top = q;
  while (is_pad(top)) top = top->pcoef;
  return nogood(top, static_cast<std::int16_t>(k), static_cast<std::int16_t>(fd));
}

void factor_poly(poly* a, poly* sq, std::int32_t* count, bool leave_early, bool showit,
                 std::int32_t level) {
  factor_poly(a, sq, count, leave_early, showit, level, Ring::current());
}

void factor_poly(poly* a, poly* sq, std::int32_t* count, bool leave_early, bool showit,
                 std::int32_t level, const Ring& ring) {
  *count = 0;
  if (level == 0 && ring.field_depth == 0) level = -1;
  std::int32_t D = 0;
  if (level >= 0) {
    if (level > 0 && ring.field_depth == 0) {
      error(factor_level_error, &token);
      return;
    }
    D = number_polys - level + 1;
    if (ring.field_depth > D) {
      error(factor_level_error, &token);
      return;
    }
  }
  ArithModeGuard modes;
  total_sq_free(a, sq, count, true, polynames, ring);
  if (*sq == nullptr) return;
  if (leave_early && ((*sq)->next != nullptr || (*sq)->exp > 1)) {
    (*sq)->exp = -1;
    return;
  }
  if (level >= 0 && ring.field_depth < D && !is_bare_leaf(*a)) {
    poly top = *a;
    std::int32_t k = 1;
    while (is_pad(top)) {
      top = top->pcoef;
      ++k;
    }
    if (nogood(top, static_cast<std::int16_t>(k), static_cast<std::int16_t>(D))) {
      if (leave_early) (*sq)->exp = top->exp;
      return;
    }
  }
  factor_poly_EnvRec env;
  env.leave_early = leave_early;
  env.showit = showit;
  env.level = level;
  order_of_field(env.order_fld.get(), false, level, ring);
  modularmode = true;
  lintmode = true;
  env.ring = ring;
  env.ring.modular = env.ring.lint = true;
  assert(env.ring.in_force());
  const bool vectors = first_record(level) == nullptr && !(verbose && showit);
  if (vectors && residue_route(env, sq, count)) return;
  // Distinct-degree stage: each part's pcoef becomes its list of products.
  for (poly N = *sq; N != nullptr; N = N->next) {
    check_interrupt();
    OwnedPoly v;
    v.p = N->pcoef;
    N->pcoef = nullptr;
    env.out = nullptr;
    env.pt = &env.out;
    if (!char2_degrees(env, v.cell(), vectors)) env.degree_by_degree(v.cell());
    N->pcoef = env.out;
    env.out = nullptr;
    if (leave_early && env.count > 0) {
      // The first finding replaces the list.
      poly found = N->pcoef;
      N->pcoef = nullptr;
      free_poly(sq);
      found->next = nullptr;
      *sq = found;
      *count = 1;
      return;
    }
  }
  // Equal-degree stage.
  if (env.ring.modulus % 2 == 0) log_order_field(env.logorder.get(), level);
  env.count = 0;
  env.out = nullptr;
  env.pt = &env.out;
  for (poly N = *sq; N != nullptr; N = N->next) {
    check_interrupt();
    for (poly G = N->pcoef; G != nullptr; G = G->next) {
      const std::int32_t d = G->exp;
      const std::int32_t hg = var_depth(G->pcoef);
      if (env.ring.modulus % 2 != 0) {
        ScratchNumber e;
        {
          BigModeGuard big;
          num_assign(env.order_fld.get(), e.get());
          number_power(e.get(), d);
          ScratchNumber one, two, rem;
          special_set(1, one.get());
          special_set(2, two.get());
          fastdiff(e.get(), one.get());
          pos_divide(e.get(), two.get(), e.get(), rem.get());
        }
        env.odd_cantor_zass(&G->pcoef, hg, d, N->exp, e.get());
      } else {
        env.even_cantor_zass(&G->pcoef, hg, d, N->exp);
      }
    }
  }
  free_poly(sq);
  *sq = env.out;
  env.out = nullptr;
  *count = env.count;
}

void irreducible_poly(quolyptr n, std::int32_t level) {
  const Ring ring = Ring::current();
  quoly v = *n;
  if (v->numb) {
    quoly zero = nullptr;
    quoly_set(0, &zero);
    zero->next = nullptr;
    if (ring.lint) zero->ncoef->lint = 0;
    free_quoly(n);
    *n = zero;
    return;
  }
  if (v->denom != nullptr) {
    error(irreducible_quotient_error, &token);
    return;
  }
  if (ring.laurent && anynegs(v->numer)) {
    error(negative_exponent_argument_error, &token);
    return;
  }
  // The verdict is a code (-1, 0, 1 or a factor count), kept as the word
  // itself: as an image a count could read as another code.
  auto set_number = [&](std::int32_t k) {
    quoly q = nullptr;
    quoly_set(k, &q);
    q->next = nullptr;
    if (ring.lint) q->ncoef->lint = k;
    free_quoly(n);
    *n = q;
  };
  std::int32_t err = 0;
  if (cant_factor(v->numer, &err, true, ring)) {
    set_number(-1);
    return;
  }
  const std::int32_t h = var_depth(v->numer);
  const std::int32_t deg = true_degree(v->numer, h);
  OwnedPoly a, list;
  poly_assign(v->numer, a.cell());
  std::int32_t count = 0;
  factor_poly(a.cell(), list.cell(), &count, true, false, level, ring);
  if (list.get() == nullptr) {
    set_number(0);
    return;
  }
  if (list.get()->exp == deg) {
    set_number(1);
    return;
  }
  poly f = list.get()->pcoef;
  const std::int32_t df = true_degree(f, var_depth(f));
  if (df < deg) {
    free_poly(&(*n)->numer);
    (*n)->numer = f;
    list.get()->pcoef = residue_leaf(0);
    return;
  }
  set_number(deg / list.get()->exp);
}

}  // namespace tavrin
