#include "toplevel/startup.h"

#include <sys/resource.h>

#include <cstdio>

#include "core/globals.h"
#include "core/records.h"
#include "gcd/gcd_stash.h"
#include "numbers/bigint.h"
#include "numbers/stash/stash.h"
#include "toplevel/data_files.h"
#include "toplevel/exec_path.h"

namespace tavrin {

void open_pools() {
  if (polystash != nullptr) return;
  polystash = open_stash(16, "stash of polynodes", sizeof(polynode));
  quolystash = open_stash(20, "stash of quolynodes", sizeof(quolynode));
  numstash = open_stash(8, "stash of numnodes", sizeof(numnode));
  imagstash = open_stash(32, "stash of numbers", sizeof(number));
  colmstash = open_stash(12, "stash of colms", sizeof(colnode));
  init_number_constants();
  register_gcd_stash_hooks();
}

void raise_stack_limit() {
  constexpr rlim_t wanted = 1048576;
  struct rlimit rl;
  if (getrlimit(RLIMIT_STACK, &rl) != 0) return;
  if (rl.rlim_cur == RLIM_INFINITY || rl.rlim_cur >= wanted) return;
  rl.rlim_cur = wanted;
  const int result = setrlimit(RLIMIT_STACK, &rl);
  if (result != 0) std::fprintf(stderr, "setrlimit returned result = %d\n", result);
}

std::string start_up(const char* argv0) {
  raise_stack_limit();
  open_pools();
  const std::string dir = data_directory(argv0);
  std::printf("\n");
  std::printf("Tavrin version 4.0: exact algebra with polynomials and matrices\n");
  std::printf("\n");
  std::printf("Reading initialization data from directory %s\n", dir.c_str());
  std::printf(" initializing...\n");
  std::fflush(stdout);
  initialize(dir);
  std::fflush(stdout);
  return dir;
}

int tavrin_main(const char* argv0) {
  start_up(argv0);
  return 0;
}

}  // namespace tavrin
