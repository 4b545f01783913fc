// Placeholders for GCD engines that have not been written yet. Each reports
// an internal error (with a nested command level) and leaves its results
// untouched. Every one of them is replaced by the real engine.
#include "core/errors.h"
#include "gcd/gcd.h"

namespace tavrin {

void polygcd(poly, poly, poly*, bool, bool, bool, polypt, bool, bool, bool) {
  tavrin_error("polygcd not available", true);
}

void case_one(poly*, poly*, std::int16_t, poly, poly, polypt) {
  tavrin_error("case_one not available", true);
}

void case_two(poly*, poly*, std::int32_t, std::int32_t, poly, poly, polypt) {
  tavrin_error("case_two not available", true);
}

}  // namespace tavrin
