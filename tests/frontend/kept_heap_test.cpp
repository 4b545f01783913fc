// The heap kept as scratch: a loop whose steps take a few megabytes in
// blocks and free them all again reuses the same pages at every step
// instead of having them returned to the system and faulted in anew.
#include <gtest/gtest.h>

#include <sys/resource.h>

#include <cstddef>
#include <cstdlib>
#include <vector>

#include "frontend/startup.h"

namespace tavrin::test {
namespace {

long minor_faults() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return u.ru_minflt;
}

// Faults taken by `steps` steps that each take eight blocks of a MiB, write
// every page, and free them, after two steps that are not counted.
long faults_of_scratch_steps(int steps) {
  constexpr std::size_t block = std::size_t{1} << 20;
  constexpr std::size_t page = 4096;
  auto step = [&] {
    std::vector<char*> blocks;
    for (int i = 0; i < 8; ++i) {
      auto* b = static_cast<char*>(std::malloc(block));
      for (std::size_t k = 0; k < block; k += page) b[k] = static_cast<char>(k);
      blocks.push_back(b);
    }
    for (char* b : blocks) std::free(b);
  };
  step();
  step();
  const long before = minor_faults();
  for (int i = 0; i < steps; ++i) step();
  return minor_faults() - before;
}

// Twenty steps of 8 MiB (2,048 pages each) fault fewer pages than one
// step: the freed blocks stay with the process. Left to itself the
// allocator gives the 8 MiB back at every step (the threshold it sets
// after freeing a mapped MiB is twice that).
TEST(KeptHeap, ScratchBlocksFreedAtEveryStepAreNotFaultedInAgain) {
#if defined(__GLIBC__) && !defined(TAVRIN_TEST_SANITIZED)
  keep_freed_heap();
  EXPECT_LT(faults_of_scratch_steps(20), 2048);
#else
  GTEST_SKIP() << "the allocator's thresholds are set with the C library's own call";
#endif
}

}  // namespace
}  // namespace tavrin::test
