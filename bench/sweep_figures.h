// The figures of one row of the sweep: a side's times at doubling sizes,
// their growth exponent, the ratio to a peer and the flags that mark a
// row as slower than the peer, steeper than it, or stopped where it is not.
#pragma once

#include <cmath>
#include <cstddef>
#include <limits>
#include <vector>

namespace tavrin::bench {

// A time in seconds; `absent` when the side did not run at that size,
// `overran` when it was stopped at its limit.
constexpr double absent = std::numeric_limits<double>::quiet_NaN();
constexpr double overran = std::numeric_limits<double>::infinity();

inline bool finished(double t) { return std::isfinite(t) && t > 0; }

constexpr double slow_ratio = 3.0;    // flag a row above this ratio to the peer
constexpr double steep_margin = 0.2;  // or with an exponent above the peer's by more

// The least-squares slope of log t against log n over the last three sizes
// at which both sides finished (NaN with fewer than two): the growth
// exponent of ours, and of the peer with ours and peer exchanged.
inline double growth_exponent(const std::vector<double>& sizes, const std::vector<double>& ours,
                              const std::vector<double>& peer) {
  std::vector<double> x, y;
  for (std::size_t i = sizes.size(); i-- > 0 && x.size() < 3;) {
    if (!finished(ours[i]) || !finished(peer[i])) continue;
    x.push_back(std::log(sizes[i]));
    y.push_back(std::log(ours[i]));
  }
  if (x.size() < 2) return absent;
  double mx = 0, my = 0;
  for (std::size_t i = 0; i < x.size(); ++i) mx += x[i], my += y[i];
  mx /= static_cast<double>(x.size());
  my /= static_cast<double>(x.size());
  double sxy = 0, sxx = 0;
  for (std::size_t i = 0; i < x.size(); ++i) {
    sxy += (x[i] - mx) * (y[i] - my);
    sxx += (x[i] - mx) * (x[i] - mx);
  }
  return sxy / sxx;
}

// How the sweep times a row, the same way at every size and for every side:
// each size as the best of the same number of timings in one program run
// (a timing of a short operation is a loop of several runs). Whether a
// side goes on to the next size: it finished this one within a quarter of
// the limit, and its timings in the row so far (`spent`) took no more than
// row_cap_limits times the limit.
constexpr double row_cap_limits = 1.0;
inline bool goes_on(double seconds, double spent, double limit) {
  return std::isfinite(seconds) && seconds <= limit / 4 && spent <= row_cap_limits * limit;
}

// Ours beside one peer.
struct Comparison {
  double exponent = absent, peer_exponent = absent;
  double ratio = absent;  // ours / peer at the largest size both finished
  bool slow = false;      // ratio above slow_ratio
  bool steep = false;     // exponent above the peer's by more than steep_margin
  bool wall = false;      // ours overran at a size the peer finished
};

inline Comparison compare_sides(const std::vector<double>& sizes, const std::vector<double>& ours,
                                const std::vector<double>& peer) {
  Comparison c;
  c.exponent = growth_exponent(sizes, ours, peer);
  c.peer_exponent = growth_exponent(sizes, peer, ours);
  for (std::size_t i = sizes.size(); i-- > 0;) {
    if (std::isinf(ours[i]) && finished(peer[i])) c.wall = true;
    if (std::isnan(c.ratio) && finished(ours[i]) && finished(peer[i])) c.ratio = ours[i] / peer[i];
  }
  c.slow = c.ratio > slow_ratio;
  c.steep = c.exponent > c.peer_exponent + steep_margin;
  return c;
}

}  // namespace tavrin::bench
