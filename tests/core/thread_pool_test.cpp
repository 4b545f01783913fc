// The pool of independent tasks: every index runs to its end once, results
// do not depend on the thread count, and errors and interrupts inside tasks
// reach the user as a plain loop's would.
#include "core/thread_pool.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "core/error_codes.h"
#include "core/errors.h"
#include "core/globals.h"
#include "core/interrupts.h"
#include "core/jumps.h"
#include "core/mode_guard.h"
#include "support/output_capture.h"

namespace tavrin {
namespace {

constexpr int thread_counts[] = {1, 2, 3, 8};

struct Threads {
  explicit Threads(int n) { set_thread_count(n); }
  ~Threads() { set_thread_count(0); }
};

// A task of uneven length whose value is known in closed form: the sum of
// i k over k below 1000 i mod 2^64 is i * (1000 i)(1000 i - 1) / 2.
std::uint64_t slow_sum(std::size_t i) {
  std::uint64_t s = 0;
  for (std::uint64_t k = 0; k < 1000 * i; ++k) s += i * k;
  return s;
}

TEST(ThreadPool, EveryIndexRunsOnceAndResultsAreTheSameAtEveryCount) {
  for (int threads : thread_counts) {
    Threads pool(threads);
    for (std::size_t n : {0u, 1u, 2u, 7u, 64u, 300u}) {
      std::vector<std::uint64_t> out(n, 0);
      std::vector<std::atomic<int>> runs(n);
      run_tasks(n, [&](std::size_t i) {
        runs[i].fetch_add(1);
        out[i] = slow_sum(i);
      });
      for (std::size_t i = 0; i < n; ++i) {
        const std::uint64_t m = 1000 * i;
        ASSERT_EQ(runs[i].load(), 1) << threads << " threads, task " << i;
        ASSERT_EQ(out[i], m == 0 ? 0 : i * (m * (m - 1) / 2)) << threads << " threads";
      }
    }
  }
}

TEST(ThreadPool, ATaskThatRunsTasksRunsThemInOrderOnItsThread) {
  Threads pool(4);
  std::vector<std::vector<std::size_t>> order(8);
  run_tasks(8, [&](std::size_t i) {
    EXPECT_EQ(in_pool_task(), true);
    run_tasks(5, [&](std::size_t j) { order[i].push_back(j); });
  });
  EXPECT_FALSE(in_pool_task());
  for (const auto& o : order) EXPECT_EQ(o, (std::vector<std::size_t>{0, 1, 2, 3, 4}));
}

// The fixture of the error tests: a nested level is a hook that counts
// itself and either returns ("&_p") or abandons the computation ("&@").
int levels_opened = 0;
bool level_abandons = false;
void fake_level() {
  ++levels_opened;
  if (level_abandons) throw TopLevelJump{};
}

class ThreadPoolFaults : public testing::Test {
 protected:
  ThreadPoolFaults()
      : runner_(run_command_level, fake_level),
        push_(errorpush, true),
        stat_(statcount, 1),
        extra_(extra_line, false),
        command_(command_int, true) {
    levels_opened = 0;
    level_abandons = false;
    std::strcpy(erp[22], "Trying to divide by zero.\n");
  }
  ~ThreadPoolFaults() override { interrupt_requested = 0; }
  test::NumberedErrors numbered_;
  ScopedValue<command_level_runner> runner_;
  ScopedValue<bool> push_;
  ScopedValue<std::int32_t> stat_;
  ScopedValue<bool> extra_;
  ScopedValue<bool> command_;
};

// Tasks 5 and 9 report error 22; the level is left with "&_p" each time, so
// a plain loop prints two reports, in index order, and every task finishes.
TEST_F(ThreadPoolFaults, ErrorsInTasksReportAsInALoop) {
  std::string expected;
  for (int threads : thread_counts) {
    Threads pool(threads);
    levels_opened = 0;
    std::vector<int> out(16, 0);
    testing::internal::CaptureStdout();
    run_tasks(16, [&](std::size_t i) {
      if (i == 5 || i == 9) error(22, &quotsign);
      out[i] = static_cast<int>(i * i);
    });
    const std::string printed = testing::internal::GetCapturedStdout();
    if (threads == 1) expected = printed;
    EXPECT_EQ(printed, expected) << threads << " threads";
    EXPECT_EQ(levels_opened, 2) << threads << " threads";
    for (int i = 0; i < 16; ++i) EXPECT_EQ(out[i], i * i);
  }
  EXPECT_NE(expected.find("Trying to divide by zero."), std::string::npos);
}

// An interrupt raised inside a task opens one level on the calling thread
// once no task runs; "&_p" reruns the stopped tasks, "&@" leaves run_tasks.
TEST_F(ThreadPoolFaults, AnInterruptStopsTheTasksAndOpensOneLevel) {
  for (int threads : thread_counts) {
    for (bool abandon : {false, true}) {
      Threads pool(threads);
      levels_opened = 0;
      level_abandons = abandon;
      std::atomic<int> raised{0};
      std::vector<std::uint64_t> out(40, 0);
      testing::internal::CaptureStdout();
      bool left = false;
      try {
        run_tasks(40, [&](std::size_t i) {
          if (i == 3 && raised.fetch_add(1) == 0) interrupt_requested = 1;
          std::uint64_t sum = 0;  // a stopped task runs again from its start
          for (int step = 0; step < 50; ++step) {
            check_interrupt();
            sum += slow_sum(i % 7);
          }
          out[i] = sum;
        });
      } catch (const TopLevelJump&) {
        left = true;
      }
      testing::internal::GetCapturedStdout();
      EXPECT_EQ(levels_opened, 1) << threads << " threads";
      EXPECT_EQ(interrupt_requested.load(), 0);
      EXPECT_EQ(left, abandon) << threads << " threads";
      if (!abandon) {
        for (std::size_t i = 0; i < out.size(); ++i) ASSERT_EQ(out[i], 50 * slow_sum(i % 7)) << i;
      }
    }
  }
}

// A hold open around the pool keeps the interrupt pending: no task stops.
TEST_F(ThreadPoolFaults, AHeldInterruptWaits) {
  Threads pool(4);
  InterruptHold hold;
  interrupt_requested = 1;
  std::atomic<int> finished{0};
  run_tasks(20, [&](std::size_t) {
    check_interrupt();
    finished.fetch_add(1);
  });
  EXPECT_EQ(finished.load(), 20);
  EXPECT_EQ(levels_opened, 0);
  EXPECT_EQ(interrupt_requested.load(), 1);
}

}  // namespace
}  // namespace tavrin
