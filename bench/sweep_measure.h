// What one side of the sweep measured at one size, read from what its
// program printed: the best of its timings between the lines "@@go" and
// "@@end", the checked values after them ("@@v ..."), or why there is no
// time (an error, a stop at the limit, no answer).
#pragma once

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "peers.h"
#include "sweep_figures.h"

namespace tavrin::bench::sweep {

// Each "@@time ms" in the timed part: gp's and FLINT's report.
inline std::vector<double> reported_milliseconds(const std::string& timed) {
  std::vector<double> ms;
  for (std::size_t at = timed.find("@@time "); at != std::string::npos;
       at = timed.find("@@time ", at + 1))
    ms.push_back(std::atof(timed.c_str() + at + 7));
  return ms;
}

// What one side measured at one size.
struct Measure {
  double seconds = absent;  // one run of the operation; `overran` when stopped
  std::vector<std::string> values;
  std::string error;           // what the side printed on an error, or why it gave no time
  bool setup_overran = false;  // stopped before the operation began
};

// Reads a side's output: the best of its timings between "@@go" and "@@end"
// (divided by the runs of the loop) and the values printed after as
// "@@v ...".
inline Measure read_measure(const ProgramRun& r, long reps,
                            const std::function<std::vector<double>(const std::string&)>& ms) {
  Measure m;
  const std::vector<std::string> lines = lines_of(r.out);
  for (std::size_t i = 0; i < lines.size() && m.error.empty();
       ++i) {  // the error and the line after it
    const std::size_t from = lines[i].find_first_not_of(' ');
    if (from == std::string::npos) continue;
    const bool error = lines[i].find("***") != std::string::npos ||
                       lines[i].compare(from, 2, "? ") == 0;  // Singular's
    // warnings are not errors, nor Tavrin's note that a quotient ring is not a field
    if (error && lines[i].find("Warning") == std::string::npos &&
        lines[i].find("Not a field") == std::string::npos)
      m.error = lines[i].substr(from) + (i + 1 < lines.size() ? " / " + lines[i + 1] : "");
  }
  // an overrun of the set-up counts as one of the operation, and so does a
  // kill by the system (out of memory) before the end
  if (r.timed_out() || (r.stopped && r.phase == 0) || (r.killed && r.phase < 2)) {
    m.seconds = overran;
    m.setup_overran = r.phase == 0;
    if (m.setup_overran) m.error = "set-up overran";
    if (r.killed)
      m.error = std::string("killed by the system (out of memory)") +
                (m.setup_overran ? " in the set-up" : "");
    return m;
  }
  const std::size_t go = r.out.find("@@go"),
                    end = r.out.find("@@end", go == std::string::npos ? 0 : go);
  if (go == std::string::npos || end == std::string::npos || !m.error.empty()) {
    if (m.error.empty()) m.error = "no answer";
    return m;
  }
  if (r.stopped) m.error = "checks overran";  // the time stands, the values are missing
  const std::vector<double> times = ms(r.out.substr(go, end - go));
  if (times.empty()) {
    m.error = "no time";
    return m;
  }
  m.seconds = *std::min_element(times.begin(), times.end()) / 1000 / static_cast<double>(reps);
  for (const std::string& line : lines_of(r.out.substr(end))) {
    const std::size_t at = line.find("@@v");
    if (at == std::string::npos) continue;
    const std::size_t from = line.find_first_not_of(' ', at + 3);
    m.values.push_back(from == std::string::npos ? "" : line.substr(from));
  }
  if (r.stopped) m.values.clear();
  return m;
}

}  // namespace tavrin::bench::sweep
