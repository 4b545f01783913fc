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

}  // namespace
}  // namespace tavrin::bench
