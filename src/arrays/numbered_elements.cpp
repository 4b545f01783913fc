// The cell of an element of a numbered array ("%[k][r, c]"), for the factor
// reader (spec_arretrieve: lang/lang_upcalls.h).
#include <cstdio>

#include "core/globals.h"
#include "numbers/freelists.h"
#include "toplevel/state.h"
#include "lang/lang_upcalls.h"
#include "arrays/array_store.h"
#include "arrays/declarations.h"

namespace tavrin {

void spec_arretrieve(textptr inf, nameptr* flag, arrptr q, quolyptr* qp, colm_ptrptr* t,
                     std::int32_t* colpos) {
  scanner(inf, &token, flag);
  std::int32_t r = 0;
  std::int32_t c = 0;
  bool two = false;
  evalcoords(inf, &r, &c, flag, ']', ',', &two, false);
  scanner(inf, &token, flag);
  new_array_quoly_ptr(q, &r, &c, two, qp, &arr_arrsign, t);
  *colpos = c;
  if (*qp == nullptr || **qp != nullptr) return;
  // A place that exists without a value becomes 0, with the counted warning.
  quoly_set(0, *qp);
  (**qp)->arr_arg = false;
  ++uninit;
  if (uninit < 21)
    std::printf("Warning. Uninitialized array element in %% has been set to 0.\n");
  else if (uninit == 21)
    std::printf(" ....etc...\n");
}

}  // namespace tavrin
