// The figures of the benchmark sweep: growth exponents over the last three
// sizes both sides finished, the ratio at the largest such size, and the
// flags, on times of known growth.
#include "sweep_figures.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace tavrin::bench {
namespace {

// c n^e at the sizes.
std::vector<double> power_times(const std::vector<double>& sizes, double c, double e) {
  std::vector<double> t;
  for (double n : sizes) t.push_back(c * std::pow(n, e));
  return t;
}

const std::vector<double> sizes{1000, 2000, 4000, 8000, 16000};

TEST(SweepFigures, ExponentsOfPowersOverTheLastThreeSizes) {
  // a steeper start does not count: only 4000, 8000, 16000 do
  std::vector<double> ours = power_times(sizes, 1e-9, 2);
  ours[0] = 1e-12;
  const Comparison c = compare_sides(sizes, ours, power_times(sizes, 1e-5, 1));
  EXPECT_NEAR(c.exponent, 2.0, 1e-9);
  EXPECT_NEAR(c.peer_exponent, 1.0, 1e-9);
  EXPECT_NEAR(c.ratio, 1e-9 * 16000 / 1e-5, 1e-9);
  EXPECT_TRUE(c.steep);
  EXPECT_FALSE(c.slow);
  EXPECT_FALSE(c.wall);
  // noise around a slope: the least-squares slope of the three points
  const std::vector<double> noisy{0.01, 0.01, 1.0, 2.2, 3.9};
  EXPECT_NEAR(growth_exponent(sizes, noisy, noisy), std::log(3.9 / 1.0) / std::log(4.0), 1e-9);
}

TEST(SweepFigures, FlagsAtTheirThresholds) {
  const std::vector<double> peer = power_times(sizes, 1e-6, 1.5);
  auto scaled = [&](double k, double extra) {  // k times the peer, times n^extra
    std::vector<double> t = peer;
    for (std::size_t i = 0; i < t.size(); ++i) t[i] *= k * std::pow(sizes[i] / sizes.back(), extra);
    return t;
  };
  EXPECT_FALSE(compare_sides(sizes, scaled(3.0, 0), peer).slow);
  EXPECT_TRUE(compare_sides(sizes, scaled(3.01, 0), peer).slow);
  EXPECT_FALSE(compare_sides(sizes, scaled(1, 0.19), peer).steep);
  EXPECT_TRUE(compare_sides(sizes, scaled(1, 0.21), peer).steep);
  // a shallower or faster side is never flagged
  const Comparison better = compare_sides(sizes, scaled(0.5, -0.5), peer);
  EXPECT_FALSE(better.slow || better.steep || better.wall);
}

TEST(SweepFigures, WallsAndMissingTimes) {
  const std::vector<double> peer = power_times(sizes, 1e-6, 2);
  // ours stopped at the last size: a wall; figures from the sizes both finished
  std::vector<double> ours = power_times(sizes, 2e-6, 2);
  ours.back() = overran;
  Comparison c = compare_sides(sizes, ours, peer);
  EXPECT_TRUE(c.wall);
  EXPECT_NEAR(c.exponent, 2.0, 1e-9);
  EXPECT_NEAR(c.ratio, 2.0, 1e-9);
  // the peer stopped too, or did not run there: no wall
  std::vector<double> peer_stopped = peer;
  peer_stopped.back() = overran;
  EXPECT_FALSE(compare_sides(sizes, ours, peer_stopped).wall);
  peer_stopped.back() = absent;
  EXPECT_FALSE(compare_sides(sizes, ours, peer_stopped).wall);
  // times below the timers' resolution and a peer that never ran give no figures
  const std::vector<double> zero(sizes.size(), 0.0), none(sizes.size(), absent);
  c = compare_sides(sizes, zero, peer);
  EXPECT_TRUE(std::isnan(c.exponent) && std::isnan(c.ratio));
  c = compare_sides(sizes, ours, none);
  EXPECT_TRUE(std::isnan(c.peer_exponent) && std::isnan(c.ratio));
  EXPECT_FALSE(c.slow || c.steep || c.wall);
  // two sizes still give a slope
  EXPECT_NEAR(growth_exponent({1000, 2000}, {1.0, 4.0}, {1.0, 1.0}), 2.0, 1e-9);
}

// A side's row under the sweep's rule on synthetic runs: at each doubling
// size, the best of `timings` runs of which the first is cold (fresh
// memory, `cold` times a warm run), going on while goes_on allows.
std::vector<double> row_under_rule(double c, double e, double cold, int timings, double limit) {
  std::vector<double> t;
  double spent = 0;
  for (double n = 1000; n <= 1024000; n *= 2) {
    const double warm = c * std::pow(n, e);
    const double best = timings > 1 ? warm : cold * warm;
    t.push_back(best);
    spent += timings * best;
    if (!goes_on(best, spent, limit)) break;
  }
  return t;
}

TEST(SweepFigures, WhenASideGoesOnToTheNextSize) {
  struct Case {
    double seconds, spent;
    bool on;
  };
  const Case cases[] = {
      {5.0, 15.0, true},      // a quarter of the limit, timings within it
      {5.01, 6.0, false},     // one run over a quarter of the limit
      {1.0, 20.0, true},      // the timings add up to the limit
      {1.0, 20.01, false},    // and past it
      {0.0, 0.0, true},       // under the timer's resolution
      {overran, 0.0, false},  // stopped
      {absent, 0.0, false},   // failed or did not run
  };
  for (const Case& k : cases)
    EXPECT_EQ(goes_on(k.seconds, k.spent, 20), k.on) << k.seconds << " s, " << k.spent;
}

TEST(SweepFigures, EverySizeTimedAlikeKeepsTheGrowth) {
  // Quadratic, the first run of a process 1.6 times slower: the best of
  // three at every size gives the slope 2 and no flag against a quadratic
  // peer; one cold run at the last size alone would steepen it past the
  // margin.
  const std::vector<double> ours = row_under_rule(1e-11, 2, 1.6, 3, 20),
                            peer = row_under_rule(5e-12, 2, 1.0, 3, 20);
  const std::vector<double> sizes = {1000,  2000,   4000,   8000,   16000,  32000,
                                     64000, 128000, 256000, 512000, 1024000};
  const std::vector<double> at(sizes.begin(),
                               sizes.begin() + static_cast<std::ptrdiff_t>(ours.size()));
  std::vector<double> peer_at = peer;
  peer_at.resize(ours.size(), absent);
  const Comparison c = compare_sides(at, ours, peer_at);
  EXPECT_NEAR(c.exponent, 2.0, 1e-9);
  EXPECT_FALSE(c.steep);
  std::vector<double> mixed = ours;
  mixed.back() *= 1.6;
  EXPECT_TRUE(compare_sides(at, mixed, peer_at).steep);
  // Linear, 4 s at 512,000: one run is within a quarter of the limit
  // there, but three timings a size add up to 24 s and the row stops; with
  // one timing a size (rows with a cache) it goes on to 1,024,000.
  EXPECT_EQ(row_under_rule(4.0 / 512000, 1, 1.0, 3, 20).size(), sizes.size() - 1);
  EXPECT_EQ(row_under_rule(4.0 / 512000, 1, 1.0, 1, 20).size(), sizes.size());
}

}  // namespace
}  // namespace tavrin::bench
