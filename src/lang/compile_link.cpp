// "Compile": the statements of a function body after it are run by the
// statement itself, so the call ends there.
#include <cstring>

#include "core/errors.h"
#include "core/globals.h"
#include "core/interrupts.h"
#include "lang/functions.h"
#include "lang/statements.h"
#include "numbers/freelists.h"
#include "toplevel/state.h"

namespace tavrin {

void compile(textptr inf, quolyptr n, condexptr p) {
  if (statcount == 0) abandon(234, &token);
  const funcptr f = lastf->f;
  if (f->comp == nullptr) {
    formptr q = f->rht;
    while (q != nullptr && q->cptr != p) q = q->next;
    if (q == nullptr) abandon(229, &token);
    f->comp = q->next;
  }
  for (formptr q = f->comp; q != nullptr; q = q->next) {
    check_interrupt();
    free_quoly(n);
    getval(inf, q->cptr, n);
    if (exit_flag || leave_flag || cycle_flag) break;
  }
  if (*n == nullptr) quoly_set(0, n);
  exit_flag = true;
}

}  // namespace tavrin
