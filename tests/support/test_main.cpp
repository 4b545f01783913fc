// The main program of every test binary: opens the pools as start-up does,
// then runs the tests.
#include <gtest/gtest.h>

#include "toplevel/startup.h"

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  tavrin::open_pools();
  return RUN_ALL_TESTS();
}
