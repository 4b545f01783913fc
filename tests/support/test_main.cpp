// The main program of every test binary: opens the pools and allocates the
// shared dense arrays as start-up does, then runs the tests.
#include <gtest/gtest.h>

#include "dense/dense_arrays.h"
#include "frontend/startup.h"

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  tavrin::open_pools();
  tavrin::allocate_dense_arrays();
  return RUN_ALL_TESTS();
}
