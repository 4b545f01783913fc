// Stand-ins for GCD engines, and for the language services the GCD
// built-ins call, that have not been written yet. Each is marked with what
// it stands for; every one of them is replaced by the real service.
#include "core/errors.h"
#include "core/globals.h"
#include "gcd/extended_gcd.h"
#include "gcd/gcd.h"
#include "numbers/freelists.h"

namespace tavrin {

// ---- Language services of the GCD built-ins ------------------------------------------------------

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
