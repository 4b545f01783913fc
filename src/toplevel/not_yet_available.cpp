// Stand-ins for statements whose evaluators have not been written yet. Each
// prints "not implemented" and abandons the statement, as a built-in without
// a case does; each is replaced by the real routine when its owner lands:
// output (write_out), cancelling (rubout), the reader of written-out values (quoly_readin).
#include "core/errors.h"
#include "toplevel/language_services.h"

namespace tavrin {

void write_out(textptr, quolyptr, nameptr*) { not_implemented(); }

void rubout(textptr, nameptr*) { not_implemented(); }

void quoly_readin(textptr, quolyptr, nameptr*, std::int32_t*) { not_implemented(); }

}  // namespace tavrin
