// Stand-in for the determinant and inverse router until the determinant
// methods land: it reports that it is missing (internal error with a nested
// level) and abandons the statement, so no caller goes on with a matrix that
// was not inverted. Replaced by the real router.
#include "core/errors.h"
#include "matrix/det_services.h"

namespace tavrin {

void mat_invert(workptr, workptr, bool, bool, std::int32_t, quolyptr, bool, bool, sparseptr*, poly,
                std::int32_t, std::int32_t, std::int32_t, bool, std::int32_t) {
  tavrin_error("mat_invert not available", true);
  not_implemented();
}

}  // namespace tavrin
