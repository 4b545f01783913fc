// A running sum taken in balanced pairs while the pairs pay.
#include "quoly/quoly_balanced_sum.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "core/globals.h"
#include "numbers/freelists.h"
#include "numbers/node_handles.h"
#include "quoly/quoly_add.h"

namespace tavrin {

long balanced_sum_pairs = 0;

namespace {

// The terms a part holds before the next term starts a part of its own: a
// pair of shorter sums costs a GCD of two denominators that are not both
// linear (the probe of a linear one does not answer it), more than the
// short passes of adding their terms one by one (n = 40: 4 terms 0.15 s,
// 1 term 0.29 s, no pairs 0.24 s for 40 sums of 1/(x + k y + k^2)).
constexpr std::uint64_t terms_before_pairs = 4;

// The leaves of p and, per level, its largest exponent.
void measure(poly p, std::size_t level, std::int64_t* leaves, std::vector<std::int32_t>* top) {
  for (; p != nullptr; p = p->next) {
    if (p->numb) {
      ++*leaves;
      continue;
    }
    if (top->size() <= level) top->resize(level + 1, 0);
    (*top)[level] = std::max((*top)[level], p->exp);
    measure(p->pcoef, level + 1, leaves, top);
  }
}

// q is a fraction whose denominator fills at least a third of the box of
// its exponents: a product of two such sums packs into few more slots than
// it has terms (one or two variables), so a pair costs a few packed
// products where adding the second one's terms one by one costs a pass
// over the first for each. Denominators with three variables fill a sixth
// and sums over them stay term by term.
bool packs_densely(quoly q) {
  if (q->numb || q->denom == nullptr || nodes::is_bare_leaf(q->denom)) return false;
  std::int64_t leaves = 0;
  std::vector<std::int32_t> top;
  measure(q->denom, 0, &leaves, &top);
  double box = 1;
  for (const std::int32_t e : top) box *= static_cast<double>(e) + 1;
  return 3.0 * static_cast<double>(leaves) >= box;
}

}  // namespace

bool balanced_sums_apply() {
  return !lintmode && !flotemode && !integerflag && !laurent && pseudo_polynames == nullptr &&
         field_depth == 0;
}

BalancedSum::BalancedSum() : parts_(best_quoly_add, 0, &balanced_sum_pairs) {}

void BalancedSum::add(quoly m) {
  const bool pairs = balanced_sums_apply();
  if (!pairs) parts_.fold_all();
  if (pairs && parts_.last_count() >= terms_before_pairs && packs_densely(parts_.last()))
    parts_.push(m);
  else
    parts_.absorb(m);
}

quoly BalancedSum::take() { return parts_.take(); }

}  // namespace tavrin
