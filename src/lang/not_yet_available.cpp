// Stand-ins for what the expression evaluator reaches before its owner
// lands: each prints "not implemented" and abandons the statement.
#include <cstring>

#include "core/errors.h"
#include "lang/later_services.h"
#include "numbers/freelists.h"
#include "toplevel/state.h"

namespace tavrin {

tokentipe sys_func_token = {"", -1};

void spec_arretrieve(textptr, nameptr*, arrptr, quolyptr*, colm_ptrptr*, std::int32_t*) {
  not_implemented();
}

void quoly_get_coef(textptr, quolyptr, nameptr*, bool, bool) {
  tavrin_error("quoly_get_coef not available", true);
  not_implemented();
}

}  // namespace tavrin
