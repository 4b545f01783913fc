#include "lang/expressions.h"
#include "toplevel/startup.h"

int main(int argc, char** argv) {
  tavrin::install_language();
  return tavrin::tavrin_main(argc > 0 ? argv[0] : "tavrin");
}
