// The progress trace's nesting level held for the life of a computation, and
// a counted progress line.
#pragma once

#include <cstdint>

#include "core/errors.h"
#include "core/globals.h"

namespace tavrin {

// One trace level for a computation of size m. Its closing line follows
// `verbose` as it is at the end, or the multin given. A user error resets
// the trace to level 0 before it unwinds, so nothing is closed twice.
class TraceLevel {
 public:
  explicit TraceLevel(std::int32_t m) : m_(m), follow_verbose_(true) { ++dumpitt_level; }
  TraceLevel(std::int32_t m, bool multin) : m_(m), multin_(multin) { ++dumpitt_level; }
  ~TraceLevel() {
    if (dumpitt_level > 0) decr_dumpitt(m_, true, follow_verbose_ ? verbose : multin_);
  }
  TraceLevel(const TraceLevel&) = delete;
  TraceLevel& operator=(const TraceLevel&) = delete;

 private:
  std::int32_t m_;
  bool multin_ = false;
  bool follow_verbose_ = false;
};

// A counted progress line, shown only when `on` (as it is at construction):
// the text and the count n open a trace level, step(k) shows k, end()
// closes the level.
class CountingProgress {
 public:
  CountingProgress(const char* text, std::int32_t n, bool on) : n_(n), on_(on) {
    if (!on_) return;
    ++dumpitt_level;
    dumpitt(text, n, true, true, true);
  }
  void step(std::int32_t k) const {
    if (on_) dumpitt(" ", k, false, false, true);
  }
  void end() const {
    if (on_) decr_dumpitt(n_, true, true);
  }

 private:
  std::int32_t n_;
  bool on_;
};

}  // namespace tavrin
