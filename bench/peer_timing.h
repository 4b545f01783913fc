// Timing of Tavrin beside a peer library in the comparison programs:
// processor seconds (the machine may be shared), alternating runs, medians.
#pragma once

#include <time.h>

#include <algorithm>
#include <functional>
#include <utility>
#include <vector>

namespace tavrin::bench {

// Processor time of this process in seconds.
inline double cpu_seconds() {
  timespec ts{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + 1e-9 * static_cast<double>(ts.tv_nsec);
}

// The median of v; 0 when v is empty.
inline double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0.0 : v[v.size() / 2];
}

struct PairTiming {
  int reps = 5;                             // runs of each
  bool stop_when_slow = true;               // one run each when ours takes over two seconds
  std::function<void(double)> first_peer;   // told the first peer time, when set
  double peer_once_after = 0;               // > 0: a peer run slower than this is not repeated
};

// Times ours() and peer() alternately (peer may be empty), the peer first so
// that a row stopped in ours still has the peer's time; the medians in
// seconds. A first pair in which ours takes under a second only fills the
// pools and tables and is not counted.
inline std::pair<double, double> time_pair(const std::function<void()>& ours,
                                           const std::function<void()>& peer,
                                           const PairTiming& how = {}) {
  std::vector<double> a, b;
  bool warm = false;
  for (int i = 0; i < how.reps; ++i) {
    const bool peer_slow = how.peer_once_after > 0 && !b.empty() && b.front() > how.peer_once_after;
    if (peer && !peer_slow) {
      const double t0 = cpu_seconds();
      peer();
      b.push_back(cpu_seconds() - t0);
      if (i == 0 && how.first_peer) how.first_peer(b.back());
    }
    const double t0 = cpu_seconds();
    ours();
    a.push_back(cpu_seconds() - t0);
    if (!warm && a.front() < 1.0) {
      warm = true;
      a.clear();
      if (b.empty() || how.peer_once_after <= 0 || b.front() <= how.peer_once_after) b.clear();
      --i;
      continue;
    }
    if (a.front() > 2.0 && how.stop_when_slow) break;
  }
  return {median(a), median(b)};
}

}  // namespace tavrin::bench
