// The main program of every test binary: opens the pools, allocates the
// shared dense arrays and registers the built-ins and the array statements
// as start-up does, then runs the tests.
#include <gtest/gtest.h>

#include "dense/dense_arrays.h"
#include "lang/expressions.h"
#include "arrays/targets.h"
#include "matlang/matrix_expressions.h"
#include "frontend/startup.h"

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  tavrin::open_pools();
  tavrin::allocate_dense_arrays();
  tavrin::install_language();
  tavrin::install_arrays();
  tavrin::install_matrix_statements();
  return RUN_ALL_TESTS();
}
