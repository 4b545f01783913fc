// Checks that a piece of test code gives back every node it takes.
#pragma once

#include <gtest/gtest.h>

#include "numbers/freelists.h"

namespace tavrin {

inline std::ostream& operator<<(std::ostream& os, const node_census& c) {
  return os << "{limbs " << c.limbs << ", numbers " << c.numbers << ", polys " << c.polys
            << ", quolys " << c.quolys << ", colms " << c.colms << "}";
}

}  // namespace tavrin

namespace tavrin::test {

// Records the live node counts on construction; expect_balanced() (or the
// destructor) checks they are the same again.
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

 private:
  node_census before_;
  bool checked_ = false;
};

}  // namespace tavrin::test
