#include "frontend/startup.h"

#include <sys/resource.h>
#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include <cstring>
#include <new>

#include "core/errors.h"
#include "core/globals.h"
#include "core/jumps.h"
#include "core/mode_guard.h"
#include "core/records.h"
#include "numbers/bigint.h"
#include "numbers/freelists.h"
#include "numbers/stash/stash.h"
#include "numbers/work_arrays.h"
#include "gcd/gcd_stash.h"
#include "toplevel/chdat.h"
#include "toplevel/output_file.h"
#include "toplevel/scanner.h"
#include "toplevel/state.h"
#include "frontend/command_loop.h"
#include "frontend/data_files.h"
#include "frontend/error_context.h"
#include "frontend/exec_path.h"

namespace tavrin {

namespace {

constexpr std::int64_t bytes_per_megabyte = 225000;  // the budget counts 4 x 225000 a MB
constexpr std::int64_t default_megabytes = 100;
// Larger figures are not a memory size (their budget would overflow).
constexpr std::int64_t most_megabytes = std::int64_t{1} << 40;

void ignore_startup_statements(TextInput&) {}

// The default loop body: reads standard input to its end, then quits.
void read_to_end_and_quit() {
  while (Input->get() != EOF) {
  }
  throw QuitJump{};
}

// The budget holds from here on, for the start-up file's own statements too
// (a saved state read back as the start-up file declares its arrays there).
void set_memory_budget(std::int64_t megabytes) {
  initial_memory = megabytes * bytes_per_megabyte;
  virtual_cut = initial_memory / 5;
  totalavailablememory = static_cast<std::uint64_t>(4 * initial_memory);
}

// The first item of the start-up file as "%ld" reads it: white space, an
// optional sign, digits. Nothing but the white space is taken when there is
// no number there.
bool read_first_number(TextInput& in, std::int64_t* value) {
  while (in.peek() == ' ' || in.peek() == '\t' || in.peek() == '\n' || in.peek() == '\r' ||
         in.peek() == '\v' || in.peek() == '\f')
    in.get();
  int sign = 0;
  if (in.peek() == '+' || in.peek() == '-') sign = in.get();
  if (in.peek() < '0' || in.peek() > '9') {
    if (sign != 0) in.unget(sign);
    return false;
  }
  std::int64_t v = 0;
  bool too_big = false;
  while (in.peek() >= '0' && in.peek() <= '9') {
    const int digit = in.get() - '0';
    if (v > (most_megabytes - digit) / 10) too_big = true;
    if (!too_big) v = v * 10 + digit;
  }
  if (too_big) return false;
  *value = sign == '-' ? -v : v;
  return true;
}

}  // namespace

startup_statement_runner run_startup_statements = ignore_startup_statements;
command_loop_body run_command_loop = read_to_end_and_quit;

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

void keep_freed_heap() {
#if defined(__GLIBC__)
  // Left to itself the allocator gives the heap's free top back to the
  // system whenever it passes a threshold that only grows after a large
  // mapped block is freed, so that a loop whose steps take and free a few
  // megabytes of scratch moves the heap's end and faults its pages in again
  // at every step, or not, by what ran before. Fixed thresholds: blocks up
  // to 32 MiB come from the heap, and up to 64 MiB of free top is kept.
  mallopt(M_MMAP_THRESHOLD, heap_block_limit);
  mallopt(M_TRIM_THRESHOLD, kept_heap_top);
#endif
}

void raise_stack_limit() {
  constexpr rlim_t wanted = rlim_t{64} << 20;  // room for the interpreter's depth limits
  struct rlimit rl;
  if (getrlimit(RLIMIT_STACK, &rl) != 0) return;
  if (rl.rlim_cur == RLIM_INFINITY || rl.rlim_cur >= wanted) return;
  rl.rlim_cur = wanted;
  const int result = setrlimit(RLIMIT_STACK, &rl);
  if (result != 0) std::fprintf(stderr, "setrlimit returned result = %d\n", result);
}

void set_language_defaults() {
  mincutoff = 1000000;
  levelcount = 1;
  continuation = '`';
  noisy = true;
  time_to_quit = false;
  zilch = nullptr;
  matrix_eval = 0;
  errorpush = false;
  laurent = false;
  uglyprint = false;
  sys_func = nullptr;
  want_sparse = false;
  modout_above_field = false;
  timerflag = false;
  blankone.assign(1, ' ');  // " "
  input_file_name.clear();
  output_file_name.clear();
  tripval = 20;
  dispcutoff = 76;
  {
    BigModeGuard big;
    quoly_set(0, &quol_num_0);
    quol_num_0->next = nullptr;
    quol_num_0->arr_arg = false;
    quol_num_0->ncoef->lint = 0;
    quol_num_0->ncoef->flote = 0;
  }
  endarr = -1;
  limit_char_arrays = 998;
  first_available = 1;
  addresser = 1;
  detcutoff = -1;
  chpoly_block = true;
  // The modulus is -1 (no modulus) from the start: rational arithmetic.
  std::strcpy(prompt, ">");
  promptsize = 1;
  smallsize = 15;
  sizeval = 2600;
  Set_prods_for_char();
  command_int = true;
  leave_replayed_text();  // statements come from the terminal
  leftover[0] = '\0';
  finish = nullptr;
  initial_memory = static_cast<std::int64_t>(memavail() / 4);
  modularmode = false;
  try_rat = false;
  rat_yes = false;
  flotemode = false;
  lintmode = false;
  remember_user_ring();
}

void load_startup(const std::string& includepath) {
  ScopedValue<bool> file_mode(tt_flag, false);
  ScopedValue<char> kept_leftover(leftover[0], '\0');
  ScopedValue<bool> kept_integerflag(integerflag);
  set_memory_budget(default_megabytes);

  std::FILE* f = std::fopen("tvrstart.txt", "r");
  if (f == nullptr) f = std::fopen((includepath + "tvrstart.txt").c_str(), "r");
  if (f == nullptr) {
    std::fprintf(stderr, "No tvrstart.txt file.\n");
    return;
  }
  TextInput in(f, true);
  std::int64_t megabytes = 0;
  if (read_first_number(in, &megabytes) && megabytes >= 0) {
    std::printf(" Amount of RAM you specified (mbytes): %lld.\n",
                static_cast<long long>(megabytes));
    set_memory_budget(megabytes);
  }
  run_startup_statements(in);
}

void write_timing_line(std::FILE* out, std::uint32_t real, std::uint32_t ticks) {
  const unsigned long s = ticks / 1000000u;
  const unsigned long millis = ticks % 1000000u / 1000u;
  const unsigned long h = real / 3600u, m = real % 3600u / 60u, r = real % 60u;
  const unsigned long cm = s / 60u, cs = s % 60u;
  if (h > 0) {
    std::fprintf(out, " Elapsed real time: %lu:%2lu:%2lu.  CPU time: %lu:%2lu.%03lu\n", h, m, r, cm,
                 cs, millis);
  } else if (m > 0) {
    std::fprintf(out, " Elapsed real time: %2lu:%2lu.  CPU time: %lu:%2lu.%03lu\n", m, r, cm, cs,
                 millis);
  } else if (r > 4) {
    std::fprintf(out, " Elapsed real time: %2lu.  CPU time: %2lu.%03lu\n", r, cs, millis);
  } else {
    std::fprintf(out, " Elapsed CPU time: %2lu.%03lu\n", cs, millis);
  }
}

void close_timing(int row) {
  const std::uint32_t wall = wall_seconds(), ticks = cpu_ticks();
  mytime[row][0] = wall - mytime[row][0] - time_off[row][0];
  mytime[row][1] = ticks - mytime[row][1] - time_off[row][1];
  time_off[row][0] = 0;
  time_off[row][1] = 0;
}

std::string start_up(const char* argv0) {
  mytime[0][0] = wall_seconds();
  mytime[0][1] = cpu_ticks();
  keep_freed_heap();
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
  std::printf("\n");
  std::printf(" ");
  showtime();
  set_language_defaults();
  load_startup(dir);
  close_timing();
  if (timerflag) {
    std::printf("\n");
    write_timing_line(stdout, mytime[0][0], mytime[0][1]);
  }
  std::fflush(stdout);
  return dir;
}

void top_of_loop() {
  restore_user_ring();
  std::printf("\n");
  leftover[0] = '\0';
  finish = nullptr;
  if (promptsize > 0) std::printf("%s", prompt);
  std::fflush(stdout);
  standard_input().drop_line();
}

int tavrin_main(const char* argv0) {
  Input = &standard_input();
  Output = stdout;
  install_interrupt_handler();
  install_command_loop();
  try {
    try {
      start_up(argv0);
    } catch (const TopLevelJump&) {
      // An error during start-up abandons the rest of it.
      free_quoly(&sysnum);
    } catch (const std::bad_alloc&) {
      heap_refused();
      free_quoly(&sysnum);
    }
    for (;;) {
      try {
        top_of_loop();
        run_command_loop();
      } catch (const TopLevelJump&) {
        // The statement under way is abandoned with its value.
        free_quoly(&sysnum);
      } catch (const std::bad_alloc&) {
        // An allocation the heap refused abandons it the same way, from
        // whatever command level it was running in.
        heap_refused();
        free_quoly(&sysnum);
      }
    }
  } catch (const QuitJump&) {
    close_output_file_at_quit();
    std::printf("\n");
    std::printf(" bye\n");
    std::fflush(stdout);
  }
  return 0;
}

}  // namespace tavrin
