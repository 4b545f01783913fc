// The text a piece of code prints, for tests of reports and printed lines.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "core/jumps.h"

namespace tavrin::test {

// Runs f with standard output captured; returns what it printed, and
// *unwound tells whether it unwound to the top level (TopLevelJump).
template <class F>
std::string output_of(F f, bool* unwound) {
  testing::internal::CaptureStdout();
  *unwound = false;
  try {
    f();
  } catch (const TopLevelJump&) {
    *unwound = true;
  }
  return testing::internal::GetCapturedStdout();
}

// The same when the caller does not ask whether it unwound.
template <class F>
std::string output_of(F f) {
  bool unwound = false;
  return output_of(f, &unwound);
}

}  // namespace tavrin::test
