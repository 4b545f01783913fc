// Checks that a piece of test code gives back every node it takes.
#pragma once

#include <gtest/gtest.h>

#include <vector>

#include "numbers/freelists.h"

namespace tavrin {

inline std::ostream& operator<<(std::ostream& os, const node_census& c) {
  return os << "{limbs " << c.limbs << ", numbers " << c.numbers << ", polys " << c.polys
            << ", quolys " << c.quolys << ", colms " << c.colms << "}";
}

inline node_census operator-(const node_census& a, const node_census& b) {
  return {a.limbs - b.limbs, a.numbers - b.numbers, a.polys - b.polys, a.quolys - b.quolys,
          a.colms - b.colms};
}

}  // namespace tavrin

namespace tavrin::test {

// Records the live node counts on construction; expect_balanced() (or the
// destructor) checks they are the same again. Live counts are the records
// handed out minus those back on the free lists (with the pool bypass, the
// records allocated and not deleted), so a leak and a double free both show.
// change() tells how many records a piece of code kept, for routines whose
// contract hands nodes to the caller.
class NodeBalance {
 public:
  NodeBalance() : before_(live_nodes()) {}
  ~NodeBalance() {
    if (!checked_) expect_balanced();
  }
  void expect_balanced() {
    checked_ = true;
    EXPECT_EQ(live_nodes(), before_) << "nodes were leaked or freed twice";
  }
  // Live records now minus live records at construction.
  node_census change() const { return live_nodes() - before_; }
  // Starts counting afresh from now (the destructor then checks from here).
  void reset() {
    before_ = live_nodes();
    checked_ = false;
  }

 private:
  node_census before_;
  bool checked_ = false;
};

// Runs f with only `spare` limbs on the free list (the others held aside
// and given back afterwards), so that builders run out of it part-way and
// go on with fresh records. Without pools the free list is always empty.
template <class F>
void with_short_free_list(int spare, F f) {
  std::vector<numptr> held;
  while (numhead != nullptr) held.push_back(new_limb());
  for (int i = 0; i < spare && !held.empty(); ++i) {
    numptr l = held.back();
    held.pop_back();
    l->next = nullptr;
    free_limb_list(l, l);
  }
  f();
  for (numptr l : held) {
    l->next = nullptr;
    free_limb_list(l, l);
  }
}

}  // namespace tavrin::test
