// The runner of the benchmarks' programs (bench/peers.h): a program that
// overruns its limit, in the timed part or before it, is stopped near the
// limit (of processor time, or of wall time when it waits) with what it
// printed kept, each lap of a timed part given the limit; one that fails is reported as ended; a
// program that reads more input than its script gets none and ends.
#include "peers.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

namespace tavrin::bench {
namespace {

double seconds_of(const std::function<void()>& f) {
  const auto start = std::chrono::steady_clock::now();
  f();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

TEST(Programs, AnOverrunIsStoppedNearItsLimit) {
  // a program that computes is stopped after its limit of processor time
  // (on a loaded machine, by the wall time first)
  ProgramRun r;
  double took = seconds_of([&] {
    r = run_program("sh %s", "echo @@go\nwhile :; do :; done\n", {"@@go", "@@end", 0.5, 5});
  });
  EXPECT_TRUE(r.timed_out());
  EXPECT_TRUE(r.seconds >= 0.3 || took >= 0.9 * wall_factor * 0.5)
      << r.seconds << " s, " << took << " s of wall time";
  EXPECT_LT(r.seconds, 1.5);
  // one that waits, after wall_factor times the limit of wall time
  took = seconds_of([&] {
    r = run_program("sh %s", "echo @@go\nsleep 30\necho @@end\n", {"@@go", "@@end", 0.5, 5});
  });
  EXPECT_TRUE(r.stopped);
  EXPECT_TRUE(r.timed_out());
  EXPECT_EQ(r.phase, 1);
  EXPECT_NE(r.out.find("@@go"), std::string::npos);
  EXPECT_GE(took, 0.9 * wall_factor * 0.5);
  EXPECT_LT(took, 5.0);
  // before the start marker, the set-up limit stops it, not as a timeout
  const double setup = seconds_of([&] {
    r = run_program("sh %s", "sleep 30\necho @@go\n", {"@@go", "@@end", 5, 0.5});
  });
  EXPECT_TRUE(r.stopped);
  EXPECT_FALSE(r.timed_out());
  EXPECT_EQ(r.phase, 0);
  EXPECT_LT(setup, 5.0);
}

TEST(Programs, EachLapGetsTheLimit) {
  // three waits of 0.4 s, each under the wall limit of wall_factor * 0.15 s
  // and together over it: laps restart the clock, without them the run is
  // stopped; a lap printed before the start does not count
  const std::string script =
      "echo @@run\necho @@go\nfor i in 1 2 3; do echo @@run; sleep 0.4; done\necho @@end\n";
  ProgramRun r = run_program("sh %s", script, {"@@go", "@@end", 0.15, 5, "@@run"});
  EXPECT_FALSE(r.stopped);
  EXPECT_EQ(r.phase, 2);
  r = run_program("sh %s", script, {"@@go", "@@end", 0.15, 5});
  EXPECT_TRUE(r.timed_out());
  // one lap alone over the limit is stopped
  r = run_program("sh %s", "echo @@go\necho @@run\nsleep 0.4\necho @@run\nsleep 30\necho @@end\n",
                  {"@@go", "@@end", 0.15, 5, "@@run"});
  EXPECT_TRUE(r.timed_out());
}

TEST(Programs, AFailureEndsTheRunWithItsOutput) {
  const ProgramRun r =
      run_program("sh %s", "echo @@go\necho '*** broken' >&2\nexit 3\n", {"@@go", "@@end", 5, 5});
  EXPECT_FALSE(r.stopped);
  EXPECT_EQ(r.phase, 1);
  EXPECT_NE(r.out.find("*** broken"), std::string::npos);
  EXPECT_FALSE(r.killed);
  // a kill not ours (as the system's when memory runs out) is told apart
  const ProgramRun k =
      run_program("sh %s", "echo @@go\nkill -9 $$\necho @@end\n", {"@@go", "@@end", 5, 5});
  EXPECT_TRUE(k.killed);
  EXPECT_FALSE(k.stopped);
  EXPECT_EQ(k.phase, 1);
  const ProgramRun s =
      run_program("sh %s", "echo @@go\nwhile :; do :; done\n", {"@@go", "@@end", 0.3, 5});
  EXPECT_TRUE(s.stopped);
  EXPECT_FALSE(s.killed);
  // a crash of a forked body alike
  const ProgramRun f = run_forked(
      [] {
        std::printf("@@go\n");
        std::fflush(stdout);
        abort();
      },
      {"@@go", "@@end", 5, 5});
  EXPECT_FALSE(f.stopped);
  EXPECT_EQ(f.phase, 1);
}

TEST(Programs, AProgramThatReadsOnGetsNoInput) {
  // our standard input a pipe that stays open: a child reading it would wait
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  const int saved = dup(0);
  dup2(fds[0], 0);
  const ProgramRun r =
      run_program("sh %s", "echo @@go\ncat\necho @@end\n", {"@@go", "@@end", 2, 2});
  dup2(saved, 0);
  close(saved);
  close(fds[0]);
  close(fds[1]);
  EXPECT_FALSE(r.stopped);
  EXPECT_EQ(r.phase, 2);
}

TEST(Programs, RunsFromSeveralThreadsKeepTheirScripts) {
  // each run's script file is its own: every run prints its own word
  constexpr int threads = 8, runs = 40;
  std::vector<int> wrong(threads, 0);
  std::vector<std::thread> pool;
  for (int t = 0; t < threads; ++t)
    pool.emplace_back([t, &wrong] {
      for (int i = 0; i < runs; ++i) {
        const std::string word = "w" + std::to_string(t) + "_" + std::to_string(i);
        if (run_program("cat %s", word + "\n").out != word + "\n") ++wrong[t];
      }
    });
  for (std::thread& t : pool) t.join();
  for (int t = 0; t < threads; ++t) EXPECT_EQ(wrong[t], 0) << "thread " << t;
}

}  // namespace
}  // namespace tavrin::bench
