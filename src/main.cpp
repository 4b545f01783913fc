#include "toplevel/startup.h"

int main(int argc, char** argv) {
  return tavrin::tavrin_main(argc > 0 ? argv[0] : "tavrin");
}
