// The table of the matrix built-ins' engines (see matrix_engines.h).
#include "matrix/matrix_engines.h"

#include "matrix/normal_forms.h"

namespace tavrin {

MatrixEngines matrix_engines{colreduce,        intcolred,     intnormal, normalize,  red_row_ech,
                             sparse_rowreduce, fract_free_lu, minors,    new_pseudo, sparse_chpoly};

}  // namespace tavrin
