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

// The engines of the matrix built-ins still to come.
void colreduce(quolyptr, arrptr, const bool*, workptr, workptr, workptr, workptr, sparseptr*,
               bool, std::int32_t) {
  missing("colreduce not available");
}
void normalize(quolyptr, arrptr, const bool*, workptr, workptr, workptr, workptr) {
  missing("normalize not available");
}
void red_row_ech(quolyptr, arrptr, const bool*, workptr, workptr, sparseptr*) {
  missing("red_row_ech not available");
}
void sparse_rowreduce(quolyptr, arrptr, bool, const bool*, workptr, sparseptr*, std::int32_t) {
  missing("sparse_rowreduce not available");
}
void fract_free_lu(bool, quolyptr, arrptr, const bool*, workptr, workptr, workptr, workptr,
                   workptr, workptr) {
  missing("fract_free_lu not available");
}


void findlcm(quolyptr, sparseptr, std::int32_t, std::int32_t, std::int32_t, std::int32_t) {
  missing("findlcm not available");
}

}  // namespace tavrin
