// Stand-ins for what the expression evaluator reaches before its owner
// lands: each prints "not implemented" and abandons the statement, except
// the call of a user function, which, no function being definable yet,
// answers as for an unknown name (error 16).
#include <cstring>

#include "core/errors.h"
#include "lang/later_services.h"
#include "numbers/freelists.h"
#include "toplevel/state.h"

namespace tavrin {

tokentipe sys_func_token = {"", -1};

void evaluate(textptr, const tokentipe* name, quolyptr n, nameptr*) {
  for (funcptr f : func_store)
    for (; f != nullptr; f = f->next)
      if (std::strcmp(f->name.name, name->name) == 0) not_implemented();
  quoly_set(0, n);
  error(16, name);
}

}  // namespace tavrin
