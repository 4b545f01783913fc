// Stand-ins for GCD engines, and for the language services the GCD
// built-ins call, that have not been written yet. Each is marked with what
// it stands for; every one of them is replaced by the real service.
#include "core/errors.h"
#include "core/globals.h"
#include "gcd/extended_gcd.h"
#include "gcd/gcd.h"
#include "gcd/modular_gcd.h"
#include "numbers/freelists.h"

namespace tavrin {

// ---- Modular methods (to come) ------------------------------------------------------------------

// Stand-in: no prime is usable, so the probe is skipped.
bool use_modular(poly, poly, bool*, bool*, polypt, std::int16_t, imptr*, std::int32_t*) {
  return false;
}

// Stand-ins: the methods fail (the driver goes on to its next method).
void basic_mod_method(poly, poly, poly* r, bool* success, polypt) {
  *r = nullptr;
  *success = false;
}

bool mod_do_Chinese(poly, poly, std::int32_t) { return false; }

bool mod_multivar_Chinese(poly, poly, poly*, std::int32_t, polypt) { return false; }

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
