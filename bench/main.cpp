// The main program of every benchmark: opens the pools and allocates the
// shared dense arrays as start-up does, then runs the benchmarks asked for.
#include <benchmark/benchmark.h>

#include "dense/dense_arrays.h"
#include "frontend/startup.h"

int main(int argc, char** argv) {
  tavrin::open_pools();
  tavrin::allocate_dense_arrays();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
