// Stand-ins for statements whose evaluators have not been written yet. Each
// prints "not implemented" and abandons the statement, as a built-in without
// a case does; each is replaced by the real routine when its owner lands:
// arrays of arrays (arr_arr_state), user functions
// (remove_args), the reader of written-out values (quoly_readin).
#include "core/errors.h"
#include "toplevel/language_services.h"

namespace tavrin {

void arr_arr_state(textptr, quolyptr, nameptr*) { not_implemented(); }

void quoly_readin(textptr, quolyptr, nameptr*, std::int32_t*) { not_implemented(); }

// No user function can run yet, so no evaluation has arguments to remove.
void remove_args(statptr) {}

}  // namespace tavrin
