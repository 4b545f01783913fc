// The partial results of a long running sum or product kept as a binary
// counter: each part is the sum (or product) of consecutive values in
// their order, the parts' counts decreasing from the first, and a part is
// folded into the one before it once it holds as many values. The long
// results are then formed a few times from halves instead of once for
// every new value from the whole so far.
#pragma once

#include <cstdint>
#include <vector>

#include "core/records.h"

namespace tavrin {

class BalancedParts {
 public:
  // combine(a, m): *a := *a op m, m used up. identity: the value of no
  // values (0 or 1). *pairs counts the parts folded together.
  using Combine = void (*)(quolyptr a, quoly m);
  BalancedParts(Combine combine, std::int32_t identity, long* pairs)
      : combine_(combine), identity_(identity), pairs_(pairs) {}
  ~BalancedParts();
  BalancedParts(const BalancedParts&) = delete;
  BalancedParts& operator=(const BalancedParts&) = delete;

  // The last part, started at the identity when there is none, as a
  // running result starts.
  const quoly& last();
  // The values taken into the last part.
  std::uint64_t last_count();
  // m starts a part of its own; parts of equal counts are folded.
  void push(quoly m);
  // m is combined into the last part (used up); parts of equal counts are folded.
  void absorb(quoly m);
  // Every part folded into the first.
  void fold_all();
  // The whole (the identity when nothing was taken in), handed to the
  // caller; the holder starts again empty.
  quoly take();

 private:
  struct Part {
    quoly q;
    std::uint64_t count;  // the values taken into q
  };
  std::vector<Part> parts_;
  Combine combine_;
  std::int32_t identity_;
  long* pairs_;
  void fold_last();
  void fold_equals();  // the last part into the one before while it holds as many
};

}  // namespace tavrin
