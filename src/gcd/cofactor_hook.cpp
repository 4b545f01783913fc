// The default of assign_cofactors, the hook through which the extended-GCD
// built-ins hand their cofactors to the variables the user named (the
// language above gcd/ owns the assignment). The array folder installs the
// real assignment at start-up (install_arrays); before that, and in test
// programs that never install it, the default reports an internal error and
// frees the two values.
#include "core/errors.h"
#include "core/globals.h"
#include "numbers/freelists.h"
#include "gcd/extended_gcd.h"
#include "gcd/gcd.h"

namespace tavrin {

namespace {

// The cofactors are freed: nothing assigns them yet.
void cofactors_not_assigned(quoly* s, quoly* t, void*, nameptr*) {
  tavrin_error("set_quotient not available", true);
  free_quoly(s);
  free_quoly(t);
}

}  // namespace

cofactor_assigner assign_cofactors = cofactors_not_assigned;

}  // namespace tavrin
