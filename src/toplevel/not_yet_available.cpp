// Stand-ins for statements whose evaluators have not been written yet. Each
// prints "not implemented" and abandons the statement, as a built-in without
// a case does; each is replaced by the real routine when its owner lands:
// user functions (remove_args).
#include "core/errors.h"
#include "toplevel/language_services.h"

namespace tavrin {

// No user function can run yet, so no evaluation has arguments to remove.
void remove_args(statptr) {}

}  // namespace tavrin
