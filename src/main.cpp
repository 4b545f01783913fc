#include "lang/expressions.h"
#include "arrays/targets.h"
#include "matlang/matrix_expressions.h"
#include "frontend/startup.h"

int main(int argc, char** argv) {
  tavrin::install_language();
  tavrin::install_arrays();
  tavrin::install_matrix_statements();
  return tavrin::tavrin_main(argc > 0 ? argv[0] : "tavrin");
}
