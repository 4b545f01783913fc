// The interpreter's depth limits. Every reader that can recurse (statements,
// expressions, factors, terms, conditions, sums, matrix expressions) keeps a
// NestingLevel for its lifetime, so nesting deeper than the limit is user
// error 216 long before the C++ stack could run out; user-function calls
// are counted apart (statcount) against call_depth_limit.
#pragma once

#include <cstdint>

#include "core/error_codes.h"
#include "core/errors.h"
#include "toplevel/scanner.h"

namespace tavrin {

// Active user-function calls; the next call is error 216. The ring of call
// records (lastf) has exactly this many records.
constexpr std::int32_t call_depth_limit = 500;
// Nested levels of all readers together. Deep recursion of an ordinary
// function (a few levels per call) meets the call limit first.
constexpr std::int32_t nesting_depth_limit = 4000;

extern std::int32_t statement_depth;  // levels open now

class NestingLevel {
 public:
  NestingLevel() {
    if (statement_depth >= nesting_depth_limit) abandon(nesting_too_deep_error, &token);
    ++statement_depth;
  }
  ~NestingLevel() { --statement_depth; }
  NestingLevel(const NestingLevel&) = delete;
  NestingLevel& operator=(const NestingLevel&) = delete;
};

}  // namespace tavrin
