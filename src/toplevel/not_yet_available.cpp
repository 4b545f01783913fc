// Stand-ins for statements whose evaluators have not been written yet. Each
// prints "not implemented" and abandons the statement, as a built-in without
// a case does; each is replaced by the real routine when its owner lands:
// arrays and matrix statements (arr_parse,
// arr_arr_state), output (write_out), cancelling (rubout), user functions
// (remove_args), the display of polynomials (poly_display: constants only).
#include "core/errors.h"
#include "toplevel/display.h"
#include "toplevel/language_services.h"

namespace tavrin {

void arr_parse(char, textptr, quolyptr, nameptr*) { not_implemented(); }

void arr_arr_state(textptr, quolyptr, nameptr*) { not_implemented(); }

void write_out(textptr, quolyptr, nameptr*) { not_implemented(); }

void rubout(textptr, nameptr*) { not_implemented(); }

// No user function can run yet, so no evaluation has arguments to remove.
void remove_args(statptr) {}

// Stand-in until the display of polynomials: a constant is written as the
// whole display writes it; any other polynomial is not implemented.
void poly_display(std::FILE* outf, bool outf_is_tty, bool flag, poly p, std::int32_t* mylength,
                  const tokentipe*, polypt, bool extra_space, bool maybe_just_number,
                  std::int32_t*) {
  if (p != nullptr && p->numb && p->next == nullptr) {
    if (maybe_just_number) {
      display(outf, outf_is_tty, flag, p->ncoef, mylength, false);
    } else {
      display(outf, outf_is_tty, false, p->ncoef, mylength, extra_space);
    }
    return;
  }
  not_implemented();
}

}  // namespace tavrin
