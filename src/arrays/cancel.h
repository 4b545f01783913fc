// The cancel statement "@" (rubout: toplevel/language_services.h) and what
// it must know of the evaluators above it.
#pragma once

#include <cstdint>

namespace tavrin {

// The depth of open matrix expressions, defined with them: while one is
// open nothing may be cancelled, since its borrowed cells may point into an
// array (error 170).
extern std::int32_t cancelflag;

}  // namespace tavrin
