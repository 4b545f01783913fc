// What the sweep reads from a side's output: the best timing of a loop as
// one run's time and the checked values; an error, a stop in the timed
// part, in the set-up or in the checks, each reported as such.
#include "sweep_measure.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace tavrin::bench::sweep {
namespace {

ProgramRun run_of(const std::string& out, bool stopped = false, int phase = 2) {
  ProgramRun r;
  r.out = out;
  r.stopped = stopped;
  r.phase = phase;
  return r;
}

Measure read(const ProgramRun& r, long reps = 1) {
  return read_measure(r, reps, reported_milliseconds);
}

TEST(SweepMeasure, BestTimingOfALoopAndTheValues) {
  // three timings of a loop of 4 runs: the best, 20 ms, is 5 ms a run
  const Measure m =
      read(run_of("setup\n@@go\n@@time 30\n@@time 20\n@@time 25\n@@end\n@@v 12\n@@v  -7\n"), 4);
  EXPECT_DOUBLE_EQ(m.seconds, 0.005);
  EXPECT_EQ(m.values, (std::vector<std::string>{"12", "-7"}));
  EXPECT_TRUE(m.error.empty());
  // a value printed inside the timed part does not count
  EXPECT_TRUE(read(run_of("@@go\n@@v 1\n@@time 1\n@@end\n")).values.empty());
}

TEST(SweepMeasure, ErrorsAreReportedWithoutATime) {
  // gp's and Tavrin's "***", with the line after it
  Measure m = read(run_of("@@go\n  *** division by zero\nat x\n@@end\n"));
  EXPECT_TRUE(std::isnan(m.seconds));
  EXPECT_EQ(m.error, "*** division by zero / at x");
  // Singular's "? "
  m = read(run_of("@@go\n   ? `f` is undefined\n@@time 3\n@@end\n@@v 1\n"));
  EXPECT_TRUE(std::isnan(m.seconds));
  EXPECT_EQ(m.error.substr(0, 17), "? `f` is undefine");
  // a warning is no error; a line of blanks is skipped
  m = read(run_of("   \n  *** Warning: increasing stack size\n@@go\n@@time 2\n@@end\n"));
  EXPECT_DOUBLE_EQ(m.seconds, 0.002);
  // a crash before the end, and an end without a time
  EXPECT_EQ(read(run_of("@@go\n@@time 2\n")).error, "no answer");
  EXPECT_EQ(read(run_of("@@go\n@@end\n")).error, "no time");
}

TEST(SweepMeasure, AKillByTheSystemIsAStopNotAFailure) {
  // killed in the timed part (out of memory): stopped at its limit, noted
  ProgramRun r = run_of("@@go\n@@run\n", false, 1);
  r.killed = true;
  Measure m = read(r);
  EXPECT_TRUE(std::isinf(m.seconds));
  EXPECT_FALSE(m.setup_overran);
  EXPECT_EQ(m.error, "killed by the system (out of memory)");
  // in the set-up alike; after the end the time stands
  r = run_of("setup\n", false, 0);
  r.killed = true;
  m = read(r);
  EXPECT_TRUE(std::isinf(m.seconds) && m.setup_overran);
  r = run_of("@@go\n@@time 4\n@@end\n@@v 1\n");
  r.killed = true;
  EXPECT_DOUBLE_EQ(read(r).seconds, 0.004);
}

TEST(SweepMeasure, StopsByPhase) {
  // in the timed part: overran, no error, so that a longer loop may be tried
  Measure m = read(run_of("@@go\n", true, 1));
  EXPECT_TRUE(std::isinf(m.seconds));
  EXPECT_FALSE(m.setup_overran);
  EXPECT_TRUE(m.error.empty());
  // in the set-up: overran as well (a wall where a peer finishes), and said
  m = read(run_of("building\n", true, 0));
  EXPECT_TRUE(std::isinf(m.seconds));
  EXPECT_TRUE(m.setup_overran);
  EXPECT_EQ(m.error, "set-up overran");
  // in the checks: the time stands, the values printed so far do not
  m = read(run_of("@@go\n@@time 40\n@@end\n@@v 3\n", true, 2));
  EXPECT_DOUBLE_EQ(m.seconds, 0.04);
  EXPECT_TRUE(m.values.empty());
  EXPECT_EQ(m.error, "checks overran");
}

}  // namespace
}  // namespace tavrin::bench::sweep
