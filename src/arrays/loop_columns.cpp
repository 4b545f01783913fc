// The array of a loop over the rows of sparse columns: "[" name "]".
#include <cstring>

#include "core/error_codes.h"
#include "core/errors.h"
#include "core/globals.h"
#include "toplevel/scanner.h"
#include "lang/lang_upcalls.h"
#include "arrays/array_operands.h"

namespace tavrin {

arrptr sparse_loop_array(textptr inf, nameptr* flag) {
  arrptr q = nullptr;
  std::int32_t rows = 0, cols = 0, start = 0, total = 0, firstrow = 0, firstcol = 0, target = 0;
  tokentipe name{};
  left_side(inf, &q, &rows, &cols, &start, &total, &firstrow, &firstcol, &target, &name, flag,
            false);
  if (q == nullptr) abandon(no_such_array_error, &name);
  if (q->spar == nullptr) abandon(array_must_sparse_error, &name);
  if (std::strcmp(token.name, "]") == 0) scanner(inf, &token, flag);
  return q;
}

}  // namespace tavrin
