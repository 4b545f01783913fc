// The text a piece of code prints, for tests of reports and printed lines.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "core/errors.h"
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

// What write(f) writes to a stream f of its own.
template <class F>
std::string stream_text(F write) {
  char* buf = nullptr;
  std::size_t size = 0;
  std::FILE* f = open_memstream(&buf, &size);
  write(f);
  std::fclose(f);
  std::string out(buf, size);
  std::free(buf);
  return out;
}

// How often part stands in text (overlapping places counted).
inline std::size_t occurrences(const std::string& text, const std::string& part) {
  std::size_t n = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

// Whether out holds the message line of the user error code.
inline bool reports(const std::string& out, std::int32_t code) {
  return out.find(output_of([code] { out_err_mess(code); })) != std::string::npos;
}

// Blanks the message table for its scope, so that every error report prints
// "Error number N." whether or not an earlier test of the program loaded the
// texts; the table comes back as it was when the guard ends.
class NumberedErrors {
 public:
  NumberedErrors() {
    std::memcpy(saved_, erp, sizeof erp);
    for (auto& text : erp) text[0] = '\0';
  }
  ~NumberedErrors() { std::memcpy(erp, saved_, sizeof erp); }
  NumberedErrors(const NumberedErrors&) = delete;
  NumberedErrors& operator=(const NumberedErrors&) = delete;

 private:
  char saved_[erp_slots][erp_width];
};

}  // namespace tavrin::test
