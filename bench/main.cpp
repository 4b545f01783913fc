// The main program of every benchmark: opens the pools, allocates the shared
// dense arrays and registers the array statements as start-up does, then
// runs the benchmarks asked for.
#include <benchmark/benchmark.h>

#include "dense/dense_arrays.h"
#include "matlang/matrix_expressions.h"
#include "frontend/startup.h"

int main(int argc, char** argv) {
  tavrin::open_pools();
  tavrin::allocate_dense_arrays();
  tavrin::install_matrix_statements();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
