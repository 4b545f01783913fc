// Products of polynomials: the route choice of poly_mult, Karatsuba on
// term-list views, schoolbook rows with a numeric relation applied on the
// fly, and the one-variable products modulo a word prime.
#include "poly/poly_mult.h"

#include <algorithm>
#include <cstdlib>
#include <utility>
#include <vector>

#include "core/globals.h"
#include "core/ring.h"
#include "core/thresholds.h"
#include "numbers/char2_field.h"
#include "numbers/freelists.h"
#include "numbers/word_field.h"
#include "dense/dense_arrays.h"
#include "dense/dense_char2.h"
#include "dense/dense_modular.h"
#include "dense/dense_mult.h"
#include "poly/poly_add.h"
#include "poly/poly_arith_impl.h"
#include "poly/poly_flat_mult.h"
#include "poly/poly_impl.h"
#include "poly/poly_measures.h"
#include "poly/poly_power.h"
#include "poly/poly_repr.h"
#include "poly/poly_tower_mult.h"
#include "poly/poly_view_impl.h"

namespace tavrin {

using nodes::is_bare_leaf;
using nodes::new_leaf;
using nodes::new_term;

mult_route_counts mult_routes{};

namespace {

// ---- Helpers ----------------------------------------------------------------------

// p is the zero polynomial (poly_iszero, inline for the product loops).
inline bool is_zero_poly(poly p) {
  return p->numb && p->next == nullptr && nodes::num_is_zero_now(p->ncoef);
}

// The k-th node of p (k >= 1).
poly nth_node(poly p, std::int32_t k) {
  for (std::int32_t i = 1; i < k; ++i) p = p->next;
  return p;
}

// *p := *p * t^s: every top-level exponent raised by s, the constant leaf
// made a term of exponent s over itself, and a term that reaches exponent 0
// over a bare leaf replaced by that leaf.
void shift_up(poly* p, std::int32_t s) {
  if (s == 0) return;
  poly* link = p;
  for (poly t = *p; t != nullptr;) {
    poly nx = t->next;
    poly node = t;
    if (t->numb) {
      t->next = nullptr;
      node = new_term(s, t);
    } else {
      t->exp = exp_add(t->exp, s);
      if (t->exp == 0 && is_bare_leaf(t->pcoef)) {
        node = t->pcoef;
        free_polynode_list(t, t);
      }
    }
    *link = node;
    link = &node->next;
    t = nx;
  }
  *link = nullptr;
}

// The fold of a product by the relation of pol (which has one).
void fold_by(poly* r, polypt pol) {
  if (pol->p->numb) {
    num_fold_poly(r, &pol->p, pol->expon);
  } else {
    fold_by_relation(r, pol);
  }
}

// ---- Karatsuba on term lists --------------------------------------------------------------

// n * m by one Karatsuba split on term lists: with n = n1 t^s + n0 and
// m = m1 t^s + m0, n m = P2 t^2s + (P1 - P2 - P3) t^s + P3 where
// P1 = (n1 + n0)(m1 + m0), P2 = n1 m1, P3 = n0 m0. mult(a, b, &r) forms the
// products, fold(&r) reduces a shifted product, add(a, b, &r) consumes both.
// Precondition: positive counts of at least 2, lowest exponents >= 0.
template <class Mult, class Fold, class Add>
poly karatsuba_split(poly n, poly m, std::int32_t size1, std::int32_t size2, std::int32_t e1,
                     std::int32_t e2, Mult mult, Fold fold, Add add) {
  const bool square = (n == m);
  const std::int32_t h1 = size1 / 2;
  const std::int32_t h2 = size2 / 2;
  std::int32_t s = nth_node(n, h1)->exp - e1;
  if (!square) s = std::min(s, nth_node(m, h2)->exp - e2);
  // The temporaries, freed on every exit; a consumed one is taken out first.
  nodes::OwnedPoly sum_n, sum_m, p1, p2, p3;
  {
    detail::SplitView vn, vm;
    vn.split(n, h1, s);
    poly n_lo = vn.lower();
    poly m_hi = n, m_lo = n_lo;
    if (!square) {
      vm.split(m, h2, s);
      m_hi = m;
      m_lo = vm.lower();
    }
    poly_add(n, n_lo, &sum_n.p);
    if (!square) poly_add(m_hi, m_lo, &sum_m.p);
    mult(sum_n.p, square ? sum_n.p : sum_m.p, &p1.p);
    free_poly(&sum_n.p);
    free_poly(&sum_m.p);
    mult(n, m_hi, &p2.p);
    mult(n_lo, m_lo, &p3.p);
  }
  // A consuming call owns its operands: they are taken out before it starts.
  poly mid = p1.release();
  better_poly_sub(mid, p2.p, &mid);
  better_poly_sub(mid, p3.p, &mid);
  p1.p = mid;
  if (!is_zero_poly(p1.p)) {
    shift_up(&p1.p, s);
    fold(&p1.p);
  }
  mid = p1.release();
  add(mid, p3.release(), &mid);
  p1.p = mid;
  if (!is_zero_poly(p2.p)) {
    shift_up(&p2.p, exp_add(s, s));
    fold(&p2.p);
  }
  poly r = nullptr;
  add(p1.release(), p2.release(), &r);
  return r;
}

// n * m when n or m is a bare leaf: the product of two numbers, 0, or the
// other operand scaled. n, m: kept; *r: set (nil on entry).
void by_constant(poly n, poly m, poly* r) {
  const bool nc = is_bare_leaf(n);
  if (nc && is_bare_leaf(m)) {
    *r = new_leaf(detail::num_product_new(n->ncoef, m->ncoef));
    return;
  }
  poly c = nc ? n : m;
  if (nodes::num_is_zero_now(c->ncoef)) {
    poly_set(0, r);
  } else {
    scalar_by_poly(c->ncoef, nc ? m : n, r);
  }
}

// ---- Schoolbook rows ------------------------------------------------------------------

// The row c * inner for a constant c; nil when every product vanished.
poly constant_row(imptr c, poly inner) {
  poly row = nullptr;
  scalar_by_poly(c, inner, &row);
  if (is_zero_poly(row)) free_poly(&row);
  return row;
}

// The row a * inner for the term a, coefficients multiplied at the level
// below. With wrap, a product of degree e >= E (E the relation's degree) is
// stored at e - E times the relation's constant crel, and the nodes placed
// after the first wrap that rise again go to a second list put in front at
// the end (operands of degree below E keep the row decreasing). nil when
// every product vanished.
poly term_row(poly a, poly inner, polypt below, bool wrap, std::int32_t E, poly crel,
              const Ring& ring) {
  const std::int32_t e1 = a->exp;
  poly c1 = a->pcoef;
  nodes::OwnedPoly first, second_list;  // both lists stay terminated
  poly* link = &first.p;
  poly* link2 = &second_list.p;
  bool wrapped = false, second = false, placed = false;
  std::int32_t last_e = 0;
  for (poly j = inner; j != nullptr; j = j->next) {
    std::int32_t e = exp_add(e1, j->exp);
    nodes::OwnedPoly q;
    if (j->numb) {
      scalar_by_poly(j->ncoef, c1, &q.p);
    } else {
      poly_mult(c1, j->pcoef, &q.p, below, ring);
    }
    if (is_zero_poly(q.p)) continue;
    if (wrap && e >= E) {
      e -= E;
      poly_mult(q.p, crel, &q.p, nilpol, ring);
      if (is_zero_poly(q.p)) continue;
      wrapped = true;
    } else if (wrapped && placed && e > last_e) {
      second = true;
    }
    poly node = (e == 0 && is_bare_leaf(q.p)) ? q.release() : new_term(e, q.release());
    if (second) {
      *link2 = node;
      link2 = &node->next;
    } else {
      *link = node;
      link = &node->next;
    }
    last_e = e;
    placed = true;
  }
  if (second_list.p == nullptr) return first.release();
  *link2 = first.release();
  return second_list.release();
}

// The schoolbook product of poly_mult: the operand with fewer nodes outside
// (n on a tie), one row per outer node added into the running result.
poly standard_product(poly n, poly m, polypt pol, const Ring& ring) {
  const std::int32_t ln = poly_length(n);
  const std::int32_t lm = (m == n) ? ln : poly_length(m);
  poly outer = ln <= lm ? n : m;
  poly inner = ln <= lm ? m : n;
  const bool numrel = pol != nullptr && pol->p != nullptr && pol->p->numb && pol->expon >= 1;
  const bool polyrel = pol != nullptr && pol->p != nullptr && !pol->p->numb;
  const std::int32_t E = numrel ? pol->expon : 0;
  // Operands of degree E or more, or with negative exponents, would break the
  // order of wrapped rows: their product is folded as a whole instead.
  bool wrap = numrel;
  if (numrel && (n->exp >= E || m->exp >= E || lastnode(n)->exp < 0 || lastnode(m)->exp < 0))
    wrap = false;
  polypt below = pol != nullptr ? pol->next : nilpol;
  poly crel = numrel ? pol->p : nullptr;
  nodes::OwnedPoly owned;
  poly& r = owned.p;
  for (poly a = outer; a != nullptr; a = a->next) {
    poly row =
        a->numb ? constant_row(a->ncoef, inner) : term_row(a, inner, below, wrap, E, crel, ring);
    if (row == nullptr) continue;
    if (r == nullptr) {
      r = row;
    } else {
      best_poly_add(r, row, &r);
    }
  }
  if (r == nullptr) poly_set(0, &r);
  if (numrel && !wrap) {
    num_fold_poly(&r, &pol->p, E);
  } else if (polyrel) {
    fast_fold_poly(&r, pol);
  }
  return owned.release();
}

// The product of the leaf counts reaches flat_mult_terms (counting stops
// as soon as it does).
bool flat_wanted(poly n, poly m) {
  if (flat_mult_terms <= 1) return true;
  const std::int64_t a = leaf_count_capped(n, flat_mult_terms);
  if (a >= flat_mult_terms) return true;
  const std::int64_t need = flat_mult_terms / a + (flat_mult_terms % a != 0 ? 1 : 0);
  return leaf_count_capped(m, need) >= need;
}

// ---- One variable --------------------------------------------------------------------

// The number of a one-variable node: a leaf's own, a term's coefficient's.
inline imptr coef_number(poly t) { return t->numb ? t->ncoef : t->pcoef->ncoef; }

}  // namespace

void simplest_standard(poly n, poly m, std::int32_t size1, std::int32_t size2, poly* q) {
  simplest_standard(n, m, size1, size2, q, Ring::current());
}

void simplest_standard(poly n, poly m, std::int32_t size1, std::int32_t size2, poly* q,
                       const Ring& ring) {
  ++mult_routes.simplest_rows;
  poly outer = size1 <= size2 ? n : m;
  poly inner = size1 <= size2 ? m : n;
  // The rows summed pairwise: partial[i] holds the sum of 2^i rows (or nil).
  const bool pairwise = !ring.flote && std::min(size1, size2) >= standard_pairwise_rows;
  struct Partial {
    std::vector<poly> v;
    ~Partial() {
      for (poly& x : v)
        if (x != nullptr) free_poly(&x);
    }
  } partial;
  for (poly a = outer; a != nullptr; a = a->next) {
    imptr c = coef_number(a);
    const std::int32_t ea = a->numb ? 0 : a->exp;
    nodes::OwnedPoly row;  // terminated as it grows
    poly* link = &row.p;
    for (poly j = inner; j != nullptr; j = j->next) {
      const std::int32_t e = exp_add(ea, j->numb ? 0 : j->exp);
      imptr v = detail::num_product_new(c, coef_number(j));
      if (nodes::num_is_zero_now(v)) {
        free_imag(&v);
        continue;
      }
      poly node = new_leaf(v);
      if (e != 0) node = new_term(e, node);
      *link = node;
      link = &node->next;
    }
    if (row.p == nullptr) continue;
    if (pairwise) {
      std::size_t level = 0;
      for (; row.p != nullptr && level < partial.v.size() && partial.v[level] != nullptr; ++level) {
        poly held = std::exchange(partial.v[level], nullptr);
        poly sum = nullptr;
        simplest_poly_add(held, row.release(), &sum);
        row.p = sum;
      }
      if (row.p == nullptr) continue;  // the rows cancelled
      if (level == partial.v.size()) partial.v.push_back(nullptr);
      partial.v[level] = row.release();
    } else if (*q == nullptr) {
      *q = row.release();
    } else {
      simplest_poly_add(*q, row.release(), q);
    }
  }
  for (poly& part : partial.v) {
    if (part == nullptr) continue;
    if (*q == nullptr) {
      *q = std::exchange(part, nullptr);
    } else {
      simplest_poly_add(*q, std::exchange(part, nullptr), q);
    }
  }
  if (*q == nullptr) poly_set(0, q);
}

void fastest_standard(poly n, poly m, std::int32_t size1, std::int32_t size2, poly* q) {
  fastest_standard(n, m, size1, size2, q, Ring::current());
}

void fastest_standard(poly n, poly m, std::int32_t size1, std::int32_t size2, poly* q,
                      const Ring& ring) {
  if (4 * std::int64_t{size1} > n->exp && 4 * std::int64_t{size2} > m->exp) {
    ++mult_routes.simplest_arrays;
    k_fastest_poly_mult(n, m, q);
  } else {
    simplest_standard(n, m, size1, size2, q, ring);
  }
}

namespace {

// The product of two one-variable polynomials over a prime field, their
// exponents non-negative and at least a quarter of them present (or their
// term products outnumbering the product's degree twice over), on residue
// vectors by the transforms (by pieces past the longest one): for degrees
// past the arrays of fastest_standard (fast_gcd_size). dn, dm: the degrees.
bool residue_product_applies(std::int32_t dn, std::int32_t dm, std::int32_t a1, std::int32_t a2,
                             const Ring& ring) {
  const std::int64_t degree = std::int64_t{dn} + dm;
  return ring.modular && ring.lint && mod_is_prime && !ring.char2 && !ring.flote &&
         degree > fast_gcd_size &&
         ((4 * std::int64_t{a1} > dn && 4 * std::int64_t{a2} > dm) ||
          std::int64_t{a1} * a2 >= 2 * degree);
}

// The product in GF(2^8) or GF(2^16) on element vectors (Kronecker's
// substitution into one carry-less product; a square, one operand twice or
// two equal ones, by the squares of the coefficients), for operands as residue_product takes them,
// from a product degree of char2_vector_degree on.
bool char2_product_applies(std::int32_t dn, std::int32_t dm, std::int32_t a1, std::int32_t a2,
                           const Ring& ring) {
  // Dense operands, or sparse ones whose term products outnumber the
  // product's degree twice over (a power's Frobenius image times a dense
  // list): the element vectors cost the degree, the rows the products.
  const std::int64_t degree = std::int64_t{dn} + dm;
  return ring.modular && ring.lint && ring.char2 && !ring.flote && degree >= char2_vector_degree &&
         ((4 * std::int64_t{a1} > dn && 4 * std::int64_t{a2} > dm) ||
          std::int64_t{a1} * a2 >= 2 * degree);
}

// A short operand (fewer terms than fast_mult_cut) times a long one with a
// quarter of its terms present, over a prime field or GF(2^8) / GF(2^16):
// the long operand's scaled copies summed into one element vector, a pass
// each, where the rows' term lists merge into a sum that grows row by row.
bool scaled_rows_apply(std::int32_t dn, std::int32_t dm, std::int32_t a1, std::int32_t a2,
                       const Ring& ring) {
  const std::int32_t shorter = std::min(a1, a2), longer = std::max(a1, a2);
  const std::int32_t l_degree = a1 <= a2 ? dm : dn;
  const std::int64_t degree = std::int64_t{dn} + dm;
  return ring.modular && ring.lint && (mod_is_prime || ring.char2) && !ring.flote && shorter >= 2 &&
         longer >= scaled_rows_terms && 4 * std::int64_t{longer} > l_degree &&
         degree <= 4 * std::int64_t{shorter} * longer;
}

// The product s l: l's element vector scaled by each non-zero entry of s
// and added in at that entry's exponent.
DensePoly scaled_rows(const DensePoly& s, const DensePoly& x, const Ring& ring) {
  DensePoly z(s.size() + x.size() - 1, 0);
  const auto p = static_cast<std::uint32_t>(ring.modulus);
  const char2_tables* t = ring.char2 ? &char2_tables_of(ring.modulus) : nullptr;
  for (std::size_t e = 0; e < s.size(); ++e) {
    const std::int32_t c = s[e];
    if (c == 0) continue;
    std::int32_t* out = z.data() + e;
    if (t != nullptr) {
      const std::int32_t lc = t->logs[c];
      for (std::size_t i = 0; i < x.size(); ++i)
        if (x[i] != 0) out[i] ^= t->expo[lc + t->logs[x[i]]];
    } else {
      const ShoupMultiplier w(static_cast<std::uint32_t>(c), p);
      for (std::size_t i = 0; i < x.size(); ++i)
        out[i] = add_residues(out[i],
                              static_cast<std::int32_t>(w.times(static_cast<std::uint32_t>(x[i]))),
                              ring.modulus);
    }
  }
  return z;
}

// A sparse operand times another over GF(2^8), GF(2^16) or a prime field,
// such as a power's Frobenius image (terms spread q apart) times a dense
// power: the scaled rows cost the sparse terms times the other's vector
// length, where the element vectors cost carry-less or transform products
// over the product's whole degree. The rows go first when they cost at
// most sparse_rows_ratio times that degree; *n_outside: the cheaper order
// has n's terms scale m's vector. Two operands with a quarter of their
// terms present keep the element vectors.
bool rows_cheaper(std::int32_t dn, std::int32_t dm, std::int32_t a1, std::int32_t a2,
                  bool* n_outside) {
  if (std::min(a1, a2) < 2 || (4 * std::int64_t{a1} > dn && 4 * std::int64_t{a2} > dm))
    return false;
  const std::int64_t n_rows = std::int64_t{a1} * (std::int64_t{dm} + 1);
  const std::int64_t m_rows = std::int64_t{a2} * (std::int64_t{dn} + 1);
  *n_outside = n_rows <= m_rows;
  return std::min(n_rows, m_rows) <= std::int64_t{sparse_rows_ratio} * (std::int64_t{dn} + dm);
}

enum class VectorRoute { lists, rows_n_outside, rows_m_outside, char2, residues };

// The element-vector route simplest_poly_mult takes for operands of degrees
// dn, dm, signed term counts size1, size2 and lowest exponents expon, exp2
// (lists: a route on term lists).
VectorRoute vector_route(std::int32_t dn, std::int32_t dm, std::int32_t size1, std::int32_t size2,
                         std::int32_t expon, std::int32_t exp2, const Ring& ring) {
  const std::int32_t a1 = std::abs(size1), a2 = std::abs(size2);
  const bool list_split_ok = size1 >= 2 && size2 >= 2 && expon >= 0 && exp2 >= 0;
  // Element vectors first: sparse operands (negative sizes) whose term
  // products outnumber the product's degree go there too.
  const bool vectors = a1 >= fast_mult_cut && a2 >= fast_mult_cut && expon >= 0 && exp2 >= 0;
  const bool char2 = vectors && char2_product_applies(dn, dm, a1, a2, ring);
  const bool residues = vectors && !char2 && residue_product_applies(dn, dm, a1, a2, ring);
  bool n_outside = false;
  if ((char2 || residues) && rows_cheaper(dn, dm, a1, a2, &n_outside))
    return n_outside ? VectorRoute::rows_n_outside : VectorRoute::rows_m_outside;
  if (!char2 && !residues && (size1 < fast_mult_cut || size2 < fast_mult_cut || !list_split_ok)) {
    if (expon >= 0 && exp2 >= 0 && scaled_rows_apply(dn, dm, a1, a2, ring))
      return a1 <= a2 ? VectorRoute::rows_n_outside : VectorRoute::rows_m_outside;
    return VectorRoute::lists;
  }
  if (char2) return VectorRoute::char2;
  if (residues) return VectorRoute::residues;
  return VectorRoute::lists;
}

// The product a b by an element-vector route other than lists.
DensePoly vector_product(const DensePoly& a, const DensePoly& b, VectorRoute route,
                         const Ring& ring) {
  switch (route) {
    case VectorRoute::rows_n_outside: ++mult_routes.simplest_scaled; return scaled_rows(a, b, ring);
    case VectorRoute::rows_m_outside: ++mult_routes.simplest_scaled; return scaled_rows(b, a, ring);
    case VectorRoute::char2:
      ++mult_routes.simplest_char2;
      // A square often comes as two copies of one value; a == b of one
      // vector would compare it with itself word by word.
      return &a == &b || a == b ? dense_char2_sqr(a, ring.modulus)
                                : dense_char2_mul(a, b, ring.modulus);
    default: ++mult_routes.simplest_residues; return dense_mul(a, b, ring.modulus);
  }
}

}  // namespace

DensePoly element_vector(poly n) {
  DensePoly a(static_cast<std::size_t>(n->exp) + 1);
  std::int32_t d = 0;
  fill_poly1_array(n, a.data(), &d);
  return a;
}

poly list_of_vector(DensePoly c) {
  dense_trim(c);
  poly r = nullptr;
  if (c.empty()) {
    poly_set(0, &r);
  } else {
    array_to_poly(c.data(), dense_degree(c), &r);
  }
  return r;
}

namespace {

// The signed term count (negated as exp_poly_length does for a sparse
// list) and the lowest exponent of a non-empty element vector.
std::int32_t vector_size(const DensePoly& a, std::int32_t* low) {
  std::int32_t nonzero = 0;
  *low = -1;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (a[i] == 0) continue;
    ++nonzero;
    if (*low < 0) *low = static_cast<std::int32_t>(i);
  }
  return std::int64_t{dense_degree(a)} - *low > sparse_spread * nonzero ? -nonzero : nonzero;
}

}  // namespace

bool vector_poly_mult(DensePoly* a, poly m) {
  const Ring ring = Ring::current();
  if (a->empty() || (m != nullptr && is_bare_leaf(m))) return false;
  std::int32_t low = 0, exp2 = 0;
  const std::int32_t size1 = vector_size(*a, &low);
  std::int32_t size2 = size1;
  if (m != nullptr) {
    bool one = false;
    size2 = exp_poly_length(m, &exp2, &one);
  } else {
    exp2 = low;
  }
  const std::int32_t dn = dense_degree(*a);
  const VectorRoute route =
      vector_route(dn, m != nullptr ? m->exp : dn, size1, size2, low, exp2, ring);
  if (route == VectorRoute::lists) return false;
  *a = m != nullptr ? vector_product(*a, element_vector(m), route, ring)
                    : vector_product(*a, *a, route, ring);
  dense_trim(*a);
  return true;
}

bool vectors_take(poly n, poly m) {
  if (is_bare_leaf(n) || is_bare_leaf(m)) return false;
  bool one = false;
  std::int32_t expon = 0, exp2 = 0;
  const std::int32_t size1 = exp_poly_length(n, &expon, &one);
  const std::int32_t size2 = exp_poly_length(m, &exp2, &one);
  return vector_route(n->exp, m->exp, size1, size2, expon, exp2, Ring::current()) !=
         VectorRoute::lists;
}

namespace {

// The element vector of n, from its gather when that holds it whole.
DensePoly gathered_vector(poly n, ResidueGather* gather) {
  DensePoly v = gather->take(n);
  return v.empty() ? element_vector(n) : v;
}

// simplest_poly_mult, with the gathers of the walks that counted n's and
// m's terms (empty when size1 is 0: the counts are made here).
void simplest_mult(poly n, poly m, poly* p, std::int32_t size1, std::int32_t size2,
                   std::int32_t expon, std::int32_t exp2, ResidueGather* n_gather,
                   ResidueGather* m_gather, const Ring& ring) {
  nodes::OwnedPoly owned;
  poly& r = owned.p;
  if (is_bare_leaf(n) || is_bare_leaf(m)) {
    by_constant(n, m, &r);
  } else {
    if (size1 == 0) {
      bool one = false;
      size1 = exp_poly_length(n, &expon, &one, n_gather);
      if (m == n) {
        size2 = size1;
        exp2 = expon;
      } else {
        size2 = exp_poly_length(m, &exp2, &one, m_gather);
      }
    }
    const std::int32_t a1 = std::abs(size1), a2 = std::abs(size2);
    const VectorRoute route = vector_route(n->exp, m->exp, size1, size2, expon, exp2, ring);
    if (route != VectorRoute::lists) {
      const DensePoly a = gathered_vector(n, n_gather);
      r = list_of_vector(vector_product(a, m == n ? a : gathered_vector(m, m_gather), route, ring));
    } else if (size1 < fast_mult_cut || size2 < fast_mult_cut || size1 < 2 || size2 < 2 ||
               expon < 0 || exp2 < 0) {
      simplest_standard(n, m, a1, a2, &r, ring);
    } else if (ring.modulus <= 2 || ring.char2 || ring.flote ||
               std::int64_t{n->exp} + m->exp > fast_gcd_size) {
      ++mult_routes.simplest_karatsuba;
      r = karatsuba_split(
          n, m, size1, size2, expon, exp2,
          [&ring](poly a, poly b, poly* out) { simplest_poly_mult(a, b, out, 0, 0, 0, 0, ring); },
          [](poly*) {}, [](poly a, poly b, poly* out) { simplest_poly_add(a, b, out); });
    } else {
      fastest_standard(n, m, a1, a2, &r, ring);
    }
  }
  free_poly(p);
  *p = owned.release();
}

}  // namespace

void simplest_poly_mult(poly n, poly m, poly* p, std::int32_t size1, std::int32_t size2,
                        std::int32_t expon, std::int32_t exp2) {
  simplest_poly_mult(n, m, p, size1, size2, expon, exp2, Ring::current());
}

void simplest_poly_mult(poly n, poly m, poly* p, std::int32_t size1, std::int32_t size2,
                        std::int32_t expon, std::int32_t exp2, const Ring& ring) {
  ResidueGather n_gather, m_gather;
  simplest_mult(n, m, p, size1, size2, expon, exp2, &n_gather, &m_gather, ring);
}

void standard_form(poly p) { standard_form(p, Ring::current()); }

void standard_form(poly p, const Ring& ring) {
  for (; p != nullptr; p = p->next) {
    if (!p->numb) {
      standard_form(p->pcoef, ring);
    } else if (p->ncoef->lint < 0) {
      p->ncoef->lint += ring.modulus;
    }
  }
}

// ---- The product -------------------------------------------------------------------------

void poly_mult(poly n, poly m, poly* p, polypt pol) { poly_mult(n, m, p, pol, Ring::current()); }

void poly_mult(poly n, poly m, poly* p, polypt pol, const Ring& ring) {
  nodes::OwnedPoly owned;
  poly& r = owned.p;
  if (is_bare_leaf(n) || is_bare_leaf(m)) {
    ++mult_routes.constants;
    by_constant(n, m, &r);
  } else if (!ring.modular && flat_wanted(n, m) && flat_poly_mult(n, m, &r, pol, ring)) {
    // Away from the residues nothing comes before the flat product, and
    // the term counts below serve only the routes after it.
    ++mult_routes.flat;
  } else {
    bool one = true;
    std::int32_t e1 = 0, e2 = 0;
    // The walks that count the terms gather the residues of one-variable
    // lists too, for a product on element vectors.
    ResidueGather n_gather, m_gather;
    const std::int32_t size1 = exp_poly_length(n, &e1, &one, &n_gather);
    std::int32_t size2 = size1;
    if (m != n) {
      size2 = exp_poly_length(m, &e2, &one, &m_gather);
    } else {
      e2 = e1;
    }
    const std::int32_t cut = pol != nullptr ? pol->polycut : poly_cutoff;
    if (one) {
      ++mult_routes.one_variable;
      simplest_mult(n, m, &r, size1, size2, e1, e2, &n_gather, &m_gather, ring);
      if ((ring.field_depth > 0 || modout_above_field) && pol != nullptr && pol->p != nullptr)
        fold_by(&r, pol);
    } else if (pol != nullptr && tower_poly_mult(n, m, &r, pol, ring)) {
      ++mult_routes.tower;
    } else if (ring.modular && n->exp > fast_2_var_degree && m->exp > fast_2_var_degree &&
               !ring.laurent && try_fast_2_var(n, m)) {
      ++mult_routes.two_variable;
      fastest_poly2_mult(n, m, &r);
    } else if (ring.modular && flat_wanted(n, m) && flat_poly_mult(n, m, &r, pol, ring)) {
      ++mult_routes.flat;
    } else if (size1 >= cut && size2 >= cut && size1 >= 2 && size2 >= 2 && e1 >= 0 && e2 >= 0) {
      ++mult_routes.karatsuba;
      r = karatsuba_split(
          n, m, size1, size2, e1, e2,
          [pol, &ring](poly a, poly b, poly* out) { poly_mult(a, b, out, pol, ring); },
          [pol](poly* x) {
            if (pol != nullptr && pol->p != nullptr) fold_by(x, pol);
          },
          [](poly a, poly b, poly* out) { best_poly_add(a, b, out); });
    } else {
      ++mult_routes.schoolbook;
      r = standard_product(n, m, pol, ring);
    }
  }
  free_poly(p);
  *p = owned.release();
}

}  // namespace tavrin
