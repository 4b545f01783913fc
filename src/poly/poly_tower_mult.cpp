// Products in a tower of two adjoined variables modulo a word prime, by one
// transform product of packed rows and a division by the monic relations.
#include "poly/poly_tower_mult.h"

#include <algorithm>
#include <cstdint>
#include <utility>
#include <vector>

#include "core/globals.h"
#include "core/thresholds.h"
#include "numbers/freelists.h"
#include "numbers/node_handles.h"
#include "dense/dense_modular.h"
#include "poly/poly_flat_mult.h"
#include "poly/poly_repr.h"

namespace tavrin {

namespace {

using nodes::is_bare_leaf;
using nodes::new_leaf;
using nodes::new_term;
using Row = std::vector<std::uint32_t>;

// The non-zero entries of a row: (exponent, residue).
using Sparse = std::vector<std::pair<std::int32_t, std::uint32_t>>;

// A monic relation x^E = sum tail[k] x^k (k < E), tail[k] a row in t (a
// single residue at the bottom level). E = 0: no relation.
struct Relation {
  std::int32_t E = 0;
  std::vector<std::pair<std::int32_t, Row>> tail;  // non-zero entries only
  std::vector<Sparse> sparse;                      // the same, entry by entry
};

std::uint32_t residue_of(poly leaf, const Ring& ring) {
  const std::int64_t v = leaf->ncoef->lint % ring.modulus;
  return static_cast<std::uint32_t>(v < 0 ? v + ring.modulus : v);
}

std::uint32_t negated(std::uint32_t v, const Ring& ring) {
  return v == 0 ? 0 : static_cast<std::uint32_t>(ring.modulus) - v;
}

// *row := the polynomial c in t (a bare leaf, or t's list over bare number
// leaves); false when c involves a lower variable.
bool read_row(poly c, Row* row, const Ring& ring) {
  row->assign(static_cast<std::size_t>(nodes::degree(c)) + 1, 0);
  for (poly x = c; x != nullptr; x = x->next) {
    if (x->numb) {
      (*row)[0] = residue_of(x, ring);
    } else {
      if (!is_bare_leaf(x->pcoef) || x->exp < 0) return false;
      (*row)[static_cast<std::size_t>(x->exp)] = residue_of(x->pcoef, ring);
    }
  }
  return true;
}

// *rows := the rows of n in s (rows[j] the coefficient of s^j), *leaves
// := its number leaves; false when a coefficient is not a polynomial in t
// alone.
bool read_rows(poly n, std::vector<Row>* rows, std::int64_t* leaves, const Ring& ring) {
  rows->assign(static_cast<std::size_t>(nodes::degree(n)) + 1, Row{});
  *leaves = 0;
  for (poly x = n; x != nullptr; x = x->next) {
    if (x->numb) {
      (*rows)[0] = Row{residue_of(x, ring)};
      ++*leaves;
    } else if (x->exp < 0 ||
               !read_row(x->pcoef, &(*rows)[static_cast<std::size_t>(x->exp)], ring)) {
      return false;
    } else {
      const Row& r = (*rows)[static_cast<std::size_t>(x->exp)];
      *leaves += std::count_if(r.begin(), r.end(), [](std::uint32_t v) { return v != 0; });
    }
  }
  return true;
}

Sparse sparse_of(const Row& r) {
  Sparse s;
  for (std::size_t i = 0; i < r.size(); ++i)
    if (r[i] != 0) s.emplace_back(static_cast<std::int32_t>(i), r[i]);
  return s;
}

// The relation of level lv as a rule x^E = tail; false when it is not of
// the kind this product takes (a coefficient not in t's variable, or not in
// numbers at the bottom, or not monic).
bool read_relation(polypt lv, bool bottom, Relation* rel, const Ring& ring) {
  if (lv->p == nullptr) return true;
  poly p = lv->p;
  if (p->numb) {  // x^E = c
    if (lv->expon < 1) return false;
    rel->E = lv->expon;
    if (residue_of(p, ring) != 0) rel->tail.emplace_back(0, Row{residue_of(p, ring)});
  } else {
    if (p->exp < 1 || !is_bare_leaf(p->pcoef) || residue_of(p->pcoef, ring) != 1) return false;
    rel->E = p->exp;
    for (poly x = p->next; x != nullptr; x = x->next) {
      Row r;
      const std::int32_t k = x->numb ? 0 : x->exp;
      poly c = x->numb ? x : x->pcoef;
      if (x->numb) {
        r = Row{residue_of(x, ring)};
      } else if ((bottom && !is_bare_leaf(c)) || !read_row(c, &r, ring)) {
        return false;
      }
      for (auto& v : r) v = negated(v, ring);
      rel->tail.emplace_back(k, std::move(r));
    }
  }
  for (const auto& [k, r] : rel->tail) rel->sparse.push_back(sparse_of(r));
  return true;
}

// row := row reduced by the bottom relation (entries of exponent E and up
// folded from the top); trimmed to at most E entries.
void reduce_row(Row& row, const Relation& rel, const Ring& ring) {
  const auto p = static_cast<std::uint64_t>(ring.modulus);
  if (rel.E > 0) {
    const auto E = static_cast<std::size_t>(rel.E);
    for (std::size_t i = row.size(); i-- > E;) {
      const std::uint64_t c = row[i];
      if (c == 0) continue;
      row[i] = 0;
      for (const auto& [k, r] : rel.tail) {
        std::uint32_t& dst = row[i - E + static_cast<std::size_t>(k)];
        dst = static_cast<std::uint32_t>((dst + c * r[0]) % p);
      }
    }
    if (row.size() > E) row.resize(E);
  }
  while (!row.empty() && row.back() == 0) row.pop_back();
}

// dst += q * r, dst grown as needed.
void add_product(Row& dst, const Row& q, const Row& r, const Sparse& rs, const Ring& ring) {
  const auto p = static_cast<std::uint64_t>(ring.modulus);
  const std::size_t need = q.size() + r.size() - 1;
  if (dst.size() < need) dst.resize(need, 0);
  if (rs.size() >= 32 && q.size() >= 32) {
    const DensePoly a(q.begin(), q.end());
    const DensePoly b(r.begin(), r.end());
    const DensePoly c = dense_mul(a, b, ring.modulus);
    for (std::size_t i = 0; i < c.size(); ++i)
      dst[i] = static_cast<std::uint32_t>((dst[i] + static_cast<std::uint64_t>(c[i])) % p);
    return;
  }
  for (const auto& [e, v] : rs) {
    std::uint32_t* out = dst.data() + e;
    for (std::size_t i = 0; i < q.size(); ++i)
      if (q[i] != 0)
        out[i] = static_cast<std::uint32_t>((out[i] + static_cast<std::uint64_t>(q[i]) * v) % p);
  }
}

// rows := rows reduced by the top relation (rows E and up divided out from
// the top, each quotient row reduced by the bottom relation first), then
// every row by the bottom relation.
void reduce_rows(std::vector<Row>& rows, const Relation& top, const Relation& bottom,
                 const Ring& ring) {
  if (top.E > 0) {
    const auto E = static_cast<std::size_t>(top.E);
    for (std::size_t j = rows.size(); j-- > E;) {
      Row q = std::move(rows[j]);
      reduce_row(q, bottom, ring);
      if (q.empty()) continue;
      for (std::size_t i = 0; i < top.tail.size(); ++i) {
        const auto& [k, r] = top.tail[i];
        add_product(rows[j - E + static_cast<std::size_t>(k)], q, r, top.sparse[i], ring);
      }
    }
    if (rows.size() > E) rows.resize(E);
  }
  for (Row& r : rows) reduce_row(r, bottom, ring);
}

// The product rows of n and m by Kronecker's substitution: row j of each
// operand at j K, K the product's t-degree plus one.
std::vector<Row> packed_product(const std::vector<Row>& a, const std::vector<Row>& b,
                                const Ring& ring) {
  std::size_t wa = 1, wb = 1;
  for (const Row& r : a) wa = std::max(wa, r.size());
  for (const Row& r : b) wb = std::max(wb, r.size());
  const std::size_t K = wa + wb - 1;
  auto pack = [K](const std::vector<Row>& rows) {
    DensePoly v((rows.size() - 1) * K + K, 0);
    for (std::size_t j = 0; j < rows.size(); ++j)
      std::copy(rows[j].begin(), rows[j].end(), v.begin() + static_cast<std::ptrdiff_t>(j * K));
    dense_trim(v);
    return v;
  };
  const DensePoly pa = pack(a);
  const DensePoly pb = pack(b);
  std::vector<Row> c(a.size() + b.size() - 1);
  if (pa.empty() || pb.empty()) return c;
  const DensePoly pc = &a == &b ? dense_mul(pa, pa, ring.modulus) : dense_mul(pa, pb, ring.modulus);
  for (std::size_t j = 0; j < c.size() && j * K < pc.size(); ++j) {
    const std::size_t end = std::min(pc.size(), j * K + K);
    c[j].assign(pc.begin() + static_cast<std::ptrdiff_t>(j * K),
                pc.begin() + static_cast<std::ptrdiff_t>(end));
  }
  return c;
}

poly residue_leaf(std::uint32_t v) {
  imptr x;
  newimag(&x);
  x->lint = static_cast<std::int32_t>(v);
  return new_leaf(x);
}

// The polynomial in t of a trimmed non-empty row.
poly row_poly(const Row& r) {
  if (r.size() == 1) return residue_leaf(r[0]);
  nodes::OwnedPoly head;
  poly* link = head.cell();
  for (std::size_t i = r.size(); i-- > 0;) {
    if (r[i] == 0) continue;
    poly node =
        i == 0 ? residue_leaf(r[0]) : new_term(static_cast<std::int32_t>(i), residue_leaf(r[i]));
    *link = node;
    link = &node->next;
  }
  return head.release();
}

// The polynomial in s of trimmed rows (0 when all are empty).
poly rows_poly(const std::vector<Row>& rows) {
  nodes::OwnedPoly head;
  poly* link = head.cell();
  for (std::size_t j = rows.size(); j-- > 0;) {
    if (rows[j].empty()) continue;
    poly c = row_poly(rows[j]);
    poly node = (j == 0 && is_bare_leaf(c)) ? c : new_term(static_cast<std::int32_t>(j), c);
    *link = node;
    link = &node->next;
  }
  if (head.p == nullptr) poly_set(0, head.cell());
  return head.release();
}

// Every row of degree below its relation's (none: any degree).
bool reduced(const std::vector<Row>& rows, const Relation& top, const Relation& bottom) {
  if (top.E > 0 && rows.size() > static_cast<std::size_t>(top.E)) return false;
  if (bottom.E == 0) return true;
  return std::all_of(rows.begin(), rows.end(),
                     [&](const Row& r) { return r.size() <= static_cast<std::size_t>(bottom.E); });
}

// The packed arrays cost at most four times the term products, and the
// packed product holds at most 2^27 coefficients (its transforms' words
// and indices).
bool dense_enough(const std::vector<Row>& a, const std::vector<Row>& b, std::int64_t products) {
  std::size_t wa = 1, wb = 1;
  for (const Row& r : a) wa = std::max(wa, r.size());
  for (const Row& r : b) wb = std::max(wb, r.size());
  const auto cells = static_cast<std::int64_t>((a.size() + b.size() - 1) * (wa + wb - 1));
  return cells <= 4 * products && cells <= (std::int64_t{1} << 27);
}

// The product of the leaf counts reaches tower_mult_terms (counting stops
// as soon as it does).
bool enough_terms(poly n, poly m) {
  if (tower_mult_terms <= 1) return true;
  const std::int64_t a = leaf_count_capped(n, tower_mult_terms);
  if (a >= tower_mult_terms) return true;
  const std::int64_t need = tower_mult_terms / a + (tower_mult_terms % a != 0 ? 1 : 0);
  return leaf_count_capped(m, need) >= need;
}

}  // namespace

bool tower_poly_mult(poly n, poly m, poly* p, polypt pol) {
  return tower_poly_mult(n, m, p, pol, Ring::current());
}

bool tower_poly_mult(poly n, poly m, poly* p, polypt pol, const Ring& ring) {
  if (!ring.modular || !ring.lint || !mod_is_prime || ring.char2 || ring.flote || ring.laurent ||
      ring.modulus < 2)
    return false;
  if (pol == nullptr || pol->next == nullptr || is_bare_leaf(n) || is_bare_leaf(m)) return false;
  if (pol->p == nullptr && pol->next->p == nullptr) return false;
  if (!enough_terms(n, m)) return false;
  Relation top, bottom;
  if (!read_relation(pol, false, &top, ring) || !read_relation(pol->next, true, &bottom, ring))
    return false;
  std::vector<Row> a, b;
  std::int64_t ln = 0, lm = 0;
  if (!read_rows(n, &a, &ln, ring) || (m != n && !read_rows(m, &b, &lm, ring))) return false;
  if (m == n) lm = ln;
  const std::vector<Row>& bb = m == n ? a : b;
  if (!reduced(a, top, bottom) || !reduced(bb, top, bottom) || !dense_enough(a, bb, ln * lm))
    return false;
  std::vector<Row> c = packed_product(a, bb, ring);
  reduce_rows(c, top, bottom, ring);
  poly r = rows_poly(c);
  free_poly(p);
  *p = r;
  return true;
}

}  // namespace tavrin
