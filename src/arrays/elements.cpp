// Array elements read inside expressions: the exact reader new_arretrieve
// and the floating reader iarretrieve (declared in lang/lang_upcalls.h,
// which the factor readers include).
#include <cstring>

#include "core/error_codes.h"
#include "core/errors.h"
#include "core/globals.h"
#include "numbers/freelists.h"
#include "toplevel/state.h"
#include "lang/lang_upcalls.h"
#include "lang/statements.h"
#include "arrays/array_store.h"
#include "arrays/declarations.h"
#include "arrays/sparse_store.h"

namespace tavrin {

namespace {

bool is_name(const tokentipe* x, const char* w) { return std::strcmp(x->name, w) == 0; }

// The cell of (r, c) in the system array "<" (its dense cells live in
// syst_stash); nil for an absent sparse entry. Out of range: error 27.
void system_cell(const tokentipe* x, std::int32_t r, std::int32_t c, bool two, quolyptr* qp,
                 colm_ptrptr* t, std::int32_t* colpos, bool* sparse) {
  const std::int64_t rows = syst->rows;
  const std::int64_t cols = rows > 0 ? array_cols(syst) : 0;
  const std::int64_t count = rows * cols;
  std::int64_t r0 = static_cast<std::int64_t>(r) - addresser;
  std::int64_t c0 = two ? static_cast<std::int64_t>(c) - addresser : 0;
  if (!two) {  // one subscript runs down the columns
    if (r0 < 0 || r0 >= count) abandon(subscript_dimension_out_range_error, x);
    c0 = r0 / rows;
    r0 %= rows;
  }
  if (r0 < 0 || r0 >= rows || c0 < 0 || c0 >= cols) abandon(subscript_dimension_out_range_error, x);
  *t = nullptr;
  *sparse = syst->spar != nullptr;
  if (*sparse) {
    const auto col = static_cast<std::int32_t>(c0 + 1);
    colm_ptr e = *sparse_row(syst->spar, static_cast<std::int32_t>(r0 + 1));
    while (e != nullptr && e->coord < col) e = e->next;
    *qp = e != nullptr && e->coord == col ? &e->val : nullptr;
    *colpos = static_cast<std::int32_t>(c0 + 1);
    return;
  }
  const std::int64_t k = r0 + c0 * rows;
  *qp = &syst_stash->stash[k];
  *colpos = static_cast<std::int32_t>(k);
}

// The array named x and the cell of (r, c) in it; a nil dense cell becomes
// the integer 0 without a warning.
void element_cell(const tokentipe* x, std::int32_t r, std::int32_t c, bool two, quolyptr* qp,
                  colm_ptrptr* t, std::int32_t* colpos, bool* sparse) {
  if (is_name(x, "<")) {
    system_cell(x, r, c, two, qp, t, colpos, sparse);
    return;
  }
  arrptr q = nullptr;
  array_seek(x, &q);
  new_array_quoly_ptr(q, &r, &c, two, qp, x, t);
  *colpos = c;
  *sparse = q->spar != nullptr;
  if (*t == nullptr && **qp == nullptr) {
    quoly_set(0, *qp);
    (**qp)->arr_arg = false;
  }
}

}  // namespace

void new_arretrieve(textptr inf, const tokentipe* x, nameptr* flag, quolyptr* qp, quolyptr n,
                    colm_ptrptr* t, std::int32_t* colpos) {
  if (is_name(x, "if") || is_name(x, "while")) {
    // A statement whose condition begins with "[".
    sys_func_token = token;
    token = *x;
    doing_sys_func = true;
    call_sys_func(inf, n, flag);
    *qp = n;
    return;
  }
  std::int32_t r = 0;
  std::int32_t c = 0;
  bool two = false;
  element_subscripts(inf, flag, &r, &c, &two);
  bool sparse = false;
  element_cell(x, r, c, two, qp, t, colpos, &sparse);
}

void ievalcoords(std::int32_t* r, std::int32_t* c, nameptr* flag, bool* c_is_there) {
  float_coords(&Input, r, c, flag, c_is_there);
}

void iarretrieve(const tokentipe* x, quolyptr* qp, nameptr* flag, bool* sparse) {
  scanner(&Input, &token, flag);
  std::int32_t r = 0;
  std::int32_t c = 0;
  bool two = false;
  ievalcoords(&r, &c, flag, &two);
  scanner(&Input, &token, flag);
  colm_ptrptr t = nullptr;
  std::int32_t colpos = 0;
  element_cell(x, r, c, two, qp, &t, &colpos, sparse);
  if (*qp != nullptr && !(**qp)->numb) abandon(not_number_error, x);
}

}  // namespace tavrin
