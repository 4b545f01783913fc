// Views of a term list split at an exponent, made of the list's own nodes.
// Private to poly/.
#pragma once

#include <cstdint>

#include "core/interrupts.h"
#include "core/no_copy.h"
#include "core/records.h"
#include "poly/poly_impl.h"

namespace tavrin::detail {
using tavrin::nodes::is_bare_leaf;

// n = upper * t^s + lower as views of n's own nodes: the first h nodes (all
// terms) lowered by s and cut off after the h-th, which stands for its
// coefficient's number when it reaches exponent 0 over a bare leaf; lower is
// the rest. The destructor (or restore) puts every node back as it was, so
// an unwinding error leaves n intact. Interrupts are held meanwhile.
class SplitView : NoCopy {
 public:
  SplitView() = default;
  ~SplitView() { restore(); }

  // Precondition: 1 <= h <= the number of leading terms, each of the first h
  // exponents at least s.
  void split(poly n, std::int32_t h, std::int32_t s) {
    head_ = n;
    h_ = h;
    s_ = s;
    poly t = n;
    for (std::int32_t k = 1;; ++k, t = t->next) {
      t->exp -= s;
      if (k == h) break;
    }
    last_ = t;
    lo_ = t->next;
    t->next = nullptr;
    if (t->exp == 0 && is_bare_leaf(t->pcoef)) {
      leaf_ = t->pcoef;
      t->numb = true;
      t->ncoef = leaf_->ncoef;
    }
  }

  // Splits off the leading terms of exponent at least e (lowered by e); when
  // there are none, upper() is nil and lower() is n.
  void split_at(poly n, std::int32_t e) {
    std::int32_t h = 0;
    for (poly t = n; t != nullptr && !t->numb && t->exp >= e; t = t->next) ++h;
    if (h == 0) {
      head_ = nullptr;
      lo_ = n;
      return;
    }
    split(n, h, e);
  }

  poly upper() const { return head_; }
  poly lower() const { return lo_; }

  void restore() {
    if (head_ == nullptr) return;
    if (leaf_ != nullptr) {
      last_->numb = false;
      last_->pcoef = leaf_;
      leaf_ = nullptr;
    }
    last_->next = lo_;
    poly t = head_;
    for (std::int32_t k = 0; k < h_; ++k, t = t->next) t->exp += s_;
    head_ = nullptr;
  }

 private:
  poly head_ = nullptr;
  poly last_ = nullptr;
  poly lo_ = nullptr;
  poly leaf_ = nullptr;
  std::int32_t h_ = 0;
  std::int32_t s_ = 0;
  InterruptHold hold_;  // a nested command level would see n cut up
};

}  // namespace tavrin::detail
