// Placeholder for a service of the factorisation code that the value
// operations call and that has not been written yet. It reports an internal
// error (with a nested command level) and leaves its result untouched.
#include "core/errors.h"
#include "gcd/pth_root.h"

namespace tavrin {

// p-th roots of field elements (square-free decomposition).
void pth_root(poly*, polypt) { tavrin_error("pth_root not available", true); }

}  // namespace tavrin
