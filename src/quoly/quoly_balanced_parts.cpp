// A binary counter of partial sums or products.
#include "quoly/quoly_balanced_parts.h"

#include "numbers/freelists.h"
#include "quoly/quoly_impl.h"

namespace tavrin {

BalancedParts::~BalancedParts() {
  for (Part& p : parts_) free_quoly(&p.q);
}

const quoly& BalancedParts::last() {
  if (parts_.empty()) {
    quoly start = nullptr;
    quoly_set(identity_, &start);
    start->next = nullptr;
    parts_.push_back({start, 0});
  }
  return parts_.back().q;
}

std::uint64_t BalancedParts::last_count() {
  last();
  return parts_.back().count;
}

void BalancedParts::fold_last() {
  const Part part = parts_.back();
  parts_.pop_back();
  parts_.back().count += part.count;
  ++*pairs_;
  combine_(&parts_.back().q, part.q);
}

void BalancedParts::fold_equals() {
  while (parts_.size() > 1 && parts_[parts_.size() - 2].count <= parts_.back().count) fold_last();
}

void BalancedParts::push(quoly m) {
  last();
  parts_.push_back({m, 1});
  fold_equals();
}

void BalancedParts::absorb(quoly m) {
  last();
  ++parts_.back().count;
  combine_(&parts_.back().q, m);
  fold_equals();
}

void BalancedParts::fold_all() {
  while (parts_.size() > 1) fold_last();
}

quoly BalancedParts::take() {
  fold_all();
  const quoly r = last();
  parts_.clear();
  return r;
}

}  // namespace tavrin
