// Stand-ins for the determinant services not built yet (the modular matrix
// power, random numbers, and the services of the second body): each
// reports that it is missing and abandons the statement, so no caller goes
// on with a value not computed.
#include "arrays/det_upcalls.h"
#include "core/errors.h"
#include "matrix/det_services.h"
#include "matrix/matrix_builtins.h"
#include "matrix/matrix_expressions.h"
#include "matrix/matrix_literals.h"

namespace tavrin {

namespace {
[[noreturn]] void missing(const char* what) {
  tavrin_error(what, true);
  not_implemented();
}
}  // namespace

void Mills(arrptr, std::int32_t, std::int32_t, quolyptr, quolyptr, bool*) {
  missing("Mills not available");
}

}  // namespace tavrin
