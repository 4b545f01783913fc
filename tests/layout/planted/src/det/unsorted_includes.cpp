// A planted fault for the include-blocks check: numbers/ before core/ in
// one block. The check must name this file.
#include <vector>

#include "numbers/word_field.h"
#include "core/errors.h"
