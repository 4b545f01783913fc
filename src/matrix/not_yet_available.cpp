// Stand-ins for the determinant services not built yet (the adjugate, the
// modular matrix power, random numbers): each
// reports that it is missing and abandons the statement, so no caller goes
// on with a value not computed.
#include "core/errors.h"
#include "matrix/det_services.h"
#include "matrix/matrix_expressions.h"
#include "matrix/matrix_literals.h"

namespace tavrin {

namespace {
[[noreturn]] void missing(const char* what) {
  tavrin_error(what, true);
  not_implemented();
}
}  // namespace

void adjoint(workptr, workptr, bool, std::int32_t, sparseptr*) { missing("adjoint not available"); }

void matpowermod(workptr, arr_descr*, bool*, imptr, quoly*, bool) {
  missing("matpowermod not available");
}

void randomize(bool, quolyptr) { missing("randomize not available"); }

}  // namespace tavrin
