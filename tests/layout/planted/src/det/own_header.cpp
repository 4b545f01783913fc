// Sorted: the file's own header first, then <...>, then the layers lowest
// first; a second block (core/ again) is sorted on its own. The check may not name it.
#include "det/own_header.h"

#include <cstdint>
#include <vector>

#include "core/errors.h"
#include "numbers/word_field.h"
#include "det/int_determ.h"

#include "core/globals.h"
#include "matrix/zmatrix.h"
