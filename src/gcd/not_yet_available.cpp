// Placeholders for GCD engines, and for the language services the GCD
// built-ins call, that have not been written yet. Each reports an internal
// error (with a nested command level) and leaves its results untouched.
// Every one of them is replaced by the real service.
#include "core/errors.h"
#include "gcd/extended_gcd.h"
#include "gcd/gcd.h"
#include "numbers/freelists.h"

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

namespace {

// Stands for the language's assignment of the cofactors (set_quotient and
// the scanner); the values are freed.
void cofactors_not_assigned(quoly* s, quoly* t, void*, nameptr*) {
  tavrin_error("set_quotient not available", true);
  free_quoly(s);
  free_quoly(t);
}

}  // namespace

cofactor_assigner assign_cofactors = cofactors_not_assigned;

}  // namespace tavrin
