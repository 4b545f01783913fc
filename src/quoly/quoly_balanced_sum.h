// A running sum of many values taken in balanced pairs: the first two
// terms, then the next two, then those two sums, and so on (a binary
// counter of partial sums), so that the long sums are formed only a few
// times. A sum of fractions over many different denominators then costs a
// few products of halves instead of one product by each new denominator
// with the whole sum so far.
#pragma once

#include <cstdint>
#include <vector>

#include "core/records.h"
#include "quoly/quoly_balanced_parts.h"

namespace tavrin {

class BalancedSum {
 public:
  // Starts at the value 0.
  BalancedSum();

  // The sum := the sum + m; m used up. m starts a part of its own while the
  // last part holds 4 terms or more and is a fraction over a denominator
  // that packs densely (one or two variables), else it is added to the last
  // part; a part is added
  // into the one before it once it holds as many terms. Where the order of
  // a sum may show in its result (word-size arithmetic, floating or plain
  // words that may overflow; relations, Laurent mode, field levels) the
  // parts are added up and every term is added to the whole, one after
  // the other, as best_quoly_add does.
  // reads: as best_quoly_add; writes: as best_quoly_add
  void add(quoly m);

  // The sum (0 when nothing was added), handed to the caller; the holder
  // starts again at 0.
  quoly take();

 private:
  BalancedParts parts_;
};

// Pairs apply: big-integer arithmetic without relations, Laurent mode or
// field levels, where a sum's normal form does not depend on its order.
bool balanced_sums_apply();

// Partial sums added to one another since start (a test
// and benchmark hook).
extern long balanced_sum_pairs;

}  // namespace tavrin
