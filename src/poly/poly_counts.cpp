// Term and node counts, most of them stopping early past a fixed cut-off.
#include <algorithm>
#include <cstdint>
#include <utility>
#include <vector>

#include "core/globals.h"
#include "core/thresholds.h"
#include "poly/poly_impl.h"
#include "poly/poly_measures.h"
#include "poly/poly_repr.h"

namespace tavrin {

using nodes::is_bare_leaf;

namespace {

// A running count that stops the walk once it exceeds `limit`.
struct Tally {
  std::int64_t count = 0;
  std::int64_t limit;
  explicit Tally(std::int64_t l) : limit(l) {}
  bool add(std::int64_t n) {
    count += n;
    return count > limit;
  }
  bool done() const { return count > limit; }
};

bool is_field_level(std::int32_t depth) { return field_depth > 0 && depth >= field_depth; }

std::int32_t clamp32(std::int64_t v) {
  return static_cast<std::int32_t>(std::min<std::int64_t>(v, INT32_MAX));
}

// Leaves of n (a field-level list counting 1 when `fields`).
void count_leaves(poly n, std::int32_t depth, bool fields, Tally& t) {
  if (fields && is_field_level(depth)) {
    t.add(1);
    return;
  }
  for (poly p = n; p != nullptr; p = p->next) {
    if (p->numb) {
      if (t.add(1)) return;
    } else {
      count_leaves(p->pcoef, depth + 1, fields, t);
      if (t.done()) return;
    }
  }
}

// All nodes of n.
void count_nodes(poly n, Tally& t) {
  for (poly p = n; p != nullptr; p = p->next) {
    if (t.add(1)) return;
    if (!p->numb) {
      count_nodes(p->pcoef, t);
      if (t.done()) return;
    }
  }
}

std::int64_t leaves(poly n, std::int64_t limit, std::int32_t depth = 1, bool fields = false) {
  Tally t(limit);
  count_leaves(n, depth, fields, t);
  return t.count;
}

std::int64_t node_count(poly n, std::int64_t limit) {
  Tally t(limit);
  count_nodes(n, t);
  return t.count;
}

constexpr std::int64_t no_limit = INT64_MAX;

}  // namespace

std::int32_t poly_length(poly n) {
  std::int32_t c = 0;
  for (; n != nullptr; n = n->next) ++c;
  return c;
}

std::int16_t fast_poly_length(poly n, std::int16_t cut) {
  std::int16_t c = 0;
  for (; n != nullptr; n = n->next)
    if (++c > cut) break;
  return c;
}

std::int32_t exp_poly_length(poly n, std::int32_t* expon, bool* one_var, ResidueGather* gather) {
  std::int32_t c = 0;
  bool leaf_coefs = true;
  poly last = n;
  for (poly p = n; p != nullptr; p = p->next) {
    ++c;
    last = p;
    if (!p->numb && !(laurent ? is_bare_leaf(p->pcoef) : p->pcoef->numb)) leaf_coefs = false;
    if (gather != nullptr) gather->at(n, p, c);
  }
  *expon = last->exp;
  if (*one_var) {
    if (!modularmode || last->exp < 0) {
      *one_var = false;
    } else if (number_polys >= 2) {
      *one_var = leaf_coefs;
    }
  }
  const std::int64_t spread = std::int64_t{n->exp} - last->exp;
  return spread > sparse_spread * c ? -c : c;
}

std::int32_t exp_poly_length(poly n, std::int32_t* expon, bool* one_var) {
  return exp_poly_length(n, expon, one_var, nullptr);
}

ResidueGather::ResidueGather() : start_(std::max(fast_mult_cut, 1)) {}

void ResidueGather::start(poly head, poly p) {
  if (!modularmode || head->numb) {  // before any allocation: most long lists are not residues
    give_up();
    return;
  }
  from_top_.reserve(static_cast<std::size_t>(sparse_spread * start_) + 1);
  std::int32_t k = 1;
  for (poly q = head; q != p; q = q->next, ++k) {
    if (!add(head->exp, q, k)) {
      give_up();
      return;
    }
  }
}

void ResidueGather::give_up() {
  given_up_ = true;
  from_top_ = {};
}

std::vector<std::int32_t> ResidueGather::take(poly head) {
  if (!started_ || given_up_ || head->numb) return {};
  std::vector<std::int32_t> v = std::move(from_top_);
  v.resize(static_cast<std::size_t>(head->exp) + 1, 0);
  std::reverse(v.begin(), v.end());
  return v;
}

std::int16_t fast_numterms(poly n) { return static_cast<std::int16_t>(leaves(n, 60)); }

std::int16_t fast_f_numterms(poly n, std::int16_t depth) {
  return static_cast<std::int16_t>(leaves(n, 100, depth, true));
}

std::int32_t node_total(poly n) { return clamp32(node_count(n, 17)); }

namespace {

// A leaf counts 1, a term its exponent plus its coefficient's count.
void count_weighted(poly n, Tally& t) {
  for (poly p = n; p != nullptr; p = p->next) {
    if (p->numb) {
      if (t.add(1)) return;
    } else {
      if (t.add(p->exp)) return;
      count_weighted(p->pcoef, t);
      if (t.done()) return;
    }
  }
}

}  // namespace

std::int32_t new_node_total(poly n) {
  Tally t(100);
  count_weighted(n, t);
  return clamp32(std::min<std::int64_t>(t.count, 200));
}

std::int32_t big_node_total(poly n) {
  return clamp32(std::min<std::int64_t>(node_count(n, 800), 1600));
}

std::int32_t bigg_node_total(poly n) { return clamp32(node_count(n, 12000)); }

std::int32_t bigger_node_total(poly n) { return clamp32(node_count(n, 256000)); }

namespace {

// deglist[depth] := max(deglist[depth], head exponent + 1), then counts the
// nodes of positive exponent and the leaves of n, recursing.
void expon_walk(poly n, std::int32_t depth, Tally& t) {
  if (depth >= 0 && depth <= max_polys)
    deglist[depth] = std::max(deglist[depth], exp_add(n->exp, 1));
  for (poly p = n; p != nullptr; p = p->next) {
    if (p->numb) {
      if (t.add(1)) return;
      continue;
    }
    if (p->exp > 0 && t.add(1)) return;
    expon_walk(p->pcoef, depth + 1, t);
    if (t.done()) return;
  }
}

}  // namespace

std::int16_t expon_node_total(poly n, std::int32_t depth, bool init, std::int32_t* expop) {
  if (init) {
    if (depth >= 0 && depth <= max_polys) deglist[depth] = exp_add(n->exp, 1);
    for (std::int32_t l = depth + 1; l <= number_polys && l <= max_polys; ++l)
      if (l >= 0) deglist[l] = 0;
  }
  Tally t(1600);
  expon_walk(n, depth, t);
  if (init) {
    std::int64_t prod = 1;
    for (std::int32_t l = std::max(depth, 0); l <= number_polys && l <= max_polys; ++l) {
      if (deglist[l] == 0) break;
      prod *= deglist[l];
      if (prod > INT32_MAX || prod < 0) {
        prod = dense_volume_limit;
        break;
      }
    }
    *expop = static_cast<std::int32_t>(prod);
  }
  return static_cast<std::int16_t>(std::min<std::int64_t>(t.count, 3200));
}

std::int32_t poly_numterms(poly n, std::int32_t depth) {
  return clamp32(leaves(n, no_limit, depth, true));
}

std::int32_t qpoly_numterms(poly n, std::int32_t depth) {
  if (is_field_level(depth)) return 1;
  std::int64_t count = 0;
  for (poly p = n; p != nullptr; p = p->next) {
    if (p->numb) {
      ++count;
      continue;
    }
    count += qpoly_numterms(p->pcoef, depth + 1);
    if (count > 1000) break;
  }
  return clamp32(count);
}

std::int32_t q_poly_numterms(poly n) {
  return clamp32(std::min<std::int64_t>(leaves(n, 200010), 200010));
}

std::int32_t f_poly_numterms(poly n) { return clamp32(leaves(n, no_limit)); }

std::int32_t poly_nodes(poly n) { return clamp32(leaves(n, 40)); }

std::int32_t poly_weight(poly n, std::int32_t depth) {
  constexpr std::int64_t cap = 10000000;
  if (is_field_level(depth)) return 1;
  std::int64_t sum = 0;
  for (poly p = n; p != nullptr; p = p->next) {
    sum += p->numb ? depth : std::int64_t{depth} * poly_weight(p->pcoef, depth + 1);
    if (sum > cap) return static_cast<std::int32_t>(cap);
  }
  return static_cast<std::int32_t>(sum);
}

std::int32_t numterms(quoly q) {
  if (q->numb) return 1;
  std::int64_t n = poly_numterms(q->numer, 1);
  if (q->denom != nullptr) n += poly_numterms(q->denom, 1);
  return clamp32(n);
}

std::int32_t f_numterms(quoly q) {
  if (q->numb) return 1;
  return clamp32(std::int64_t{f_poly_numterms(q->numer)} + f_poly_numterms(q->denom));
}

}  // namespace tavrin
