#include "arrays/targets.h"
#include "lang/expressions.h"
#include "toplevel/startup.h"

int main(int argc, char** argv) {
  tavrin::install_language();
  tavrin::install_arrays();
  return tavrin::tavrin_main(argc > 0 ? argv[0] : "tavrin");
}
