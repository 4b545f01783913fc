// Flat polynomials of the GCD engines: reading a problem's variables and
// degrees, flattening recursive lists into sorted term arrays, and building
// the recursive result once from sorted terms.
#include <algorithm>
#include <cstdint>
#include <vector>

#include "core/globals.h"
#include "numbers/freelists.h"
#include "numbers/node_handles.h"
#include "gcd/flat/flat_poly_impl.h"

namespace tavrin::flat {

namespace {

// The largest exponent of each relative level in p; false at a negative one.
bool scan_degrees(poly p, int level, std::vector<std::int32_t>& deg) {
  for (; p != nullptr; p = p->next) {
    if (p->numb) return true;
    if (p->exp < 0) return false;
    if (level >= static_cast<int>(deg.size())) return false;
    deg[static_cast<std::size_t>(level)] = std::max(deg[static_cast<std::size_t>(level)], p->exp);
    if (!scan_degrees(p->pcoef, level + 1, deg)) return false;
  }
  return true;
}

int bits_of(std::int64_t v) {
  int b = 0;
  while (v > 0) {
    ++b;
    v >>= 1;
  }
  return b;
}

template <class C, class Coef>
void flatten_into(poly p, int level, std::uint64_t prefix, const Problem& pr, Poly<C>* out,
                  Coef coef) {
  for (; p != nullptr; p = p->next) {
    if (p->numb) {
      out->push(prefix, coef(p->ncoef));
      return;
    }
    const int var = pr.var_of[static_cast<std::size_t>(level)];
    const std::uint64_t key =
        var < 0 ? prefix : prefix + static_cast<std::uint64_t>(p->exp) * pr.layout.unit(var);
    flatten_into(p->pcoef, level + 1, key, pr, out, coef);
  }
}

}  // namespace

bool read_problem(poly u, poly v, polypt pt, Problem* pr) {
  pr->levels = number_polys - pt->depth + 1;
  if (pr->levels < 1) return false;
  std::vector<std::int32_t> deg(static_cast<std::size_t>(pr->levels), 0);
  if (!scan_degrees(u, 0, deg) || !scan_degrees(v, 0, deg)) return false;
  pr->level_of.clear();
  pr->var_of.assign(deg.size(), -1);
  pr->degree.clear();
  std::int32_t top = 0;
  for (std::size_t l = 0; l < deg.size(); ++l) {
    if (deg[l] == 0) continue;
    pr->var_of[l] = static_cast<int>(pr->level_of.size());
    pr->level_of.push_back(static_cast<int>(l));
    pr->degree.push_back(deg[l]);
    top = std::max(top, deg[l]);
  }
  const int n = static_cast<int>(pr->level_of.size());
  const int width = bits_of(top) + 1;
  if (n == 0 || n * width > 64) return false;
  pr->layout = Layout(n, width);
  return true;
}

void flatten(poly p, const Problem& pr, Poly<imptr>* out) {
  out->clear();
  flatten_into(p, 0, 0, pr, out, [](imptr x) { return x; });
}

void flatten(poly p, const Problem& pr, Poly<std::uint32_t>* out) {
  out->clear();
  flatten_into(p, 0, 0, pr, out, [](imptr x) { return static_cast<std::uint32_t>(x->lint); });
}

poly word_leaf(std::uint32_t r) {
  imptr n = nullptr;
  newimag(&n);
  n->lint = static_cast<std::int32_t>(r);
  n->flote = 0;
  return nodes::new_leaf(n);
}

poly rebuild_range(const std::vector<std::uint64_t>& keys, std::size_t lo, std::size_t hi,
                   int level, const Problem& pr, poly (*leaf)(std::size_t, void*), void* ctx) {
  if (level == pr.levels) return leaf(lo, ctx);
  const int var = pr.var_of[static_cast<std::size_t>(level)];
  if (var < 0) {
    poly c = rebuild_range(keys, lo, hi, level + 1, pr, leaf, ctx);
    return nodes::is_bare_leaf(c) ? c : nodes::new_term(0, c);  // a pad
  }
  nodes::OwnedPoly head;
  poly* tail = &head.p;
  std::size_t i = lo;
  while (i < hi) {
    const std::int32_t e = pr.layout.exponent(keys[i], var);
    std::size_t j = i + 1;
    while (j < hi && pr.layout.exponent(keys[j], var) == e) ++j;
    poly c = rebuild_range(keys, i, j, level + 1, pr, leaf, ctx);
    if (e == 0 && nodes::is_bare_leaf(c)) {
      *tail = c;  // the constant term ends the list
    } else {
      *tail = nodes::new_term(e, c);
      tail = &(*tail)->next;
    }
    i = j;
  }
  return head.release();
}

}  // namespace tavrin::flat
