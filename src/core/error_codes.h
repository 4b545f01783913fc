// Numbered user errors that Tavrin's own code raises beyond the message
// table's established codes. Each is passed to error(code, &token); its text
// is a line of the message table.
#pragma once

#include <cstdint>

namespace tavrin {

// An exponent computed from others (a shift, a sum or product of exponents)
// does not fit in 32 bits.
constexpr std::int32_t exponent_overflow_error = 368;

// A big integer would need more limbs than its 16-bit length can count.
constexpr std::int32_t number_too_long_error = 302;

// Statements or expressions nested deeper than the interpreter allows.
constexpr std::int32_t nesting_too_deep_error = 216;

}  // namespace tavrin
