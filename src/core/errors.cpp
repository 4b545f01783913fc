#include "core/errors.h"

#include <cstdio>
#include <cstring>
#include <vector>

#include "core/error_codes.h"
#include "core/globals.h"
#include "core/jumps.h"
#include "core/thread_pool.h"

namespace tavrin {

char erp[erp_slots][erp_width] = {};

namespace {

void leave_at_once() {}
void no_context(std::int32_t, bool) {}

std::vector<error_hook>& hooks(error_stage stage) {
  static std::vector<error_hook> report_hooks;
  static std::vector<error_hook> warned_hooks;
  static std::vector<error_hook> unwind_hooks;
  switch (stage) {
    case error_stage::report: return report_hooks;
    case error_stage::warned: return warned_hooks;
    case error_stage::unwind: break;
  }
  return unwind_hooks;
}

void run_hooks(error_stage stage, std::int32_t code) {
  for (error_hook h : hooks(stage)) h(code);
}

// The end marker of stored text (the two bytes 0xC2 0xA5) is shown as ";".
const char* shown_name(const tokentipe* bad) {
  if (bad == nullptr) return blank.name;
  if (std::strcmp(bad->name, "\xC2\xA5") == 0) return ";";
  return bad->name;
}

// Opens a nested command level on top of the computation under way and
// returns when the user leaves it.
void open_command_level() {
  levelcount += 1;
  if (levelcount > 9) {
    levelcount -= 1;
    std::printf("*** Highest legal command level is 9.\n");
    error(panic_stop_code, &token);
    return;
  }
  struct LevelExit {
    ~LevelExit() {
      if (levelcount > 1) levelcount -= 1;
    }
  } exit_level;
  run_command_level();
}

void global_table_lines(const char* last) {
  std::printf("\n*** You have interrupted at a delicate time. The global poly table has been\n");
  std::printf("    changed. Your variables that are polynomials are unreadable and unusable.\n");
  std::printf("%s", last);
  std::printf("\n");
}

// The resets of an abandoned computation, before the jump to the top level.
void reset_for_top_level(std::int32_t code) {
  statcount = 0;
  run_hooks(error_stage::unwind, code);
  if (globalpoly > 0) {
    global_table_lines("    Beware!  You should probably quit immediately.\n");
    globalpoly = 0;
  }
  levelcount = 1;
  std::fflush(stdout);
  mod_is_changed = 0;
  token.name[0] = '\0';
  token.address = -1;
}

[[noreturn]] void unwind_to_top_level(std::int32_t code) {
  reset_for_top_level(code);
  throw TopLevelJump{};
}

void out_of_heap_warning() {
  std::printf("\n*** Warning.  You are out of heap space.  Abort this computation.\n");
}

}  // namespace

command_level_runner run_command_level = leave_at_once;
error_context_printer print_error_context = no_context;

void print_global_table_warning() {
  global_table_lines("    Beware! (You can use ZZ3 to display a variable.)\n");
}

void add_error_hook(error_stage stage, error_hook hook) {
  std::vector<error_hook>& list = hooks(stage);
  for (error_hook h : list)
    if (h == hook) return;
  list.push_back(hook);
}

void out_err_mess(std::int32_t x) {
  if (x == no_such_amp_command_error)
    std::printf("After &, legal symbols are: v,f,F,r,R,d,D,C,B,I,X,L,K,c,W,@,_s,_t,_G\n");
  if (x > 0 && x < erp_slots && erp[x][0] != '\0') {
    // A stored message keeps its own line end when it was shorter than a slot.
    std::printf("%s", erp[x]);
    const std::size_t len = std::strlen(erp[x]);
    if (erp[x][len - 1] != '\n') std::printf("\n");
  } else if (!usable(data_file::qerrs)) {
    std::printf("Error number %d (the messages are in the data file Qerrs, which is %s).\n", x,
                data_fault_text(fault_of(data_file::qerrs)));
  } else {
    std::printf("Error number %d.\n", x);
  }
}

void warning(std::int32_t x, const tokentipe* bad) {
  if (in_pool_task()) throw TaskFault{};  // reported when the task runs again alone
  std::printf("\n *** Warning.\n");
  switch (x) {
    case content_count_warning:
      std::printf(" *** Loop counter in Content is negative.  Will reset.\n");
      c_cntcount = 200001;
      a_cntcount = 200001;
      d_cntcount = 200001;
      break;
    case unusable_det_factor_warning:
      std::printf(" Specified factor for Det is unusable. Will ignore it.\n");
      break;
    case unreasonable_degree_warning:
      std::printf(" Specified degree is unreasonable. Will ignore it.\n");
      break;
    case power_outside_integers_warning:
      std::printf(" Power is of use only over ground rings Z or Z/p.\n");
      break;
    case even_power_warning:
      std::printf(" With even power, |power| must be 2^k, and modulus mod 4 must equal 3.\n");
      break;
    case odd_power_warning:
      std::printf(" With odd power, gcd(|power|, modulus-1) must be 1.\n");
      break;
    case undefined_variable_error:
      std::printf(" *** Undefined variable: %s.  will use 0\n", shown_name(bad));
      break;
    case division_by_zero_error:
      std::printf(" *** Trying to divide by 0, in variable: %s.  will set quotient to 0\n",
                  shown_name(bad));
      break;
    case cannot_do_det_warning: std::printf(" *** Can't do Det\n"); break;
    case parameter_made_sparse_warning:
      out_err_mess(x);
      std::printf(" If necessary, do a panic stop as soon as possible. Then if\n");
      std::printf(" necessary, delete the parameter %s.\n", shown_name(bad));
      break;
    default:
      std::printf(" *** Can't do %s\n", shown_name(bad));
      out_err_mess(x);
      break;
  }
  std::printf("\n");
}

void error(std::int32_t x, const tokentipe* bad) {
  if (in_pool_task()) throw TaskFault{};  // reported when the task runs again alone
  const bool push = errorpush && (statcount >= 1 || levelcount >= 2);
  tripval = 20;
  warn_cnt = 0;
  if (x >= 0) {
    g_cutoff = 10;
    original_depth = 1;
    alg_c_count = 0;
    c_cntcount = 0;
    c_cntdepth = 0;
    a_cntcount = 0;
    d_cntcount = 0;
    g_cntcount = 0;
    dumpitt_length = 0;
    dumpitt_level = 0;
  }
  run_hooks(error_stage::report, x);
  if (extra_line) std::printf("\n");
  if (x == panic_stop_code) {
    std::printf("*** Panic stop.\n");
    if (levelcount == 1 && statcount == 0)
      std::printf("    You were already at the lowest level.\n");
  } else if (x < 0) {
    std::printf("*** New command level.\n");
  } else {
    if (levelcount >= 2 && (x == undefined_variable_error || x == division_by_zero_error)) {
      warning(x, bad);
      run_hooks(error_stage::warned, x);
      return;
    }
    std::printf("*** Inappropriate symbol: %s\n", shown_name(bad));
    out_err_mess(x);
    if (x == dangling_parameter_error) {
      std::printf("that you have just deleted.  Any reference to this parameter \n");
      std::printf("%s may crash Tavrin. There may be other such dangling array parameters.\n",
                  shown_name(bad));
    }
  }
  const bool unwinds = x == panic_stop_code || (x > 0 && !push);
  print_error_context(x, unwinds);
  std::fflush(stdout);
  if (!unwinds) {
    open_command_level();
    return;
  }
  unwind_to_top_level(x);
}

void abandon(std::int32_t x, const tokentipe* bad) {
  const std::int32_t level = levelcount;
  error(x, bad);
  std::printf("*** The statement cannot go on after this error; it is abandoned.\n");
  if (level <= 1) unwind_to_top_level(x);
  std::fflush(stdout);
  throw LevelJump{level};
}

void tavrin_error(const char* mess, bool push) {
  if (in_pool_task()) throw TaskFault{};  // reported when the task runs again alone
  std::printf("*** Tavrin error. %s\n", mess);
  std::fflush(stdout);
  if (push) error(open_level_code, &blank);
}

void tavrintt_error(const char* mess, bool push) { tavrin_error(mess, push); }

void tavrinerror(const char* mess) {
  if (in_pool_task()) throw TaskFault{};  // reported when the task runs again alone
  std::printf("*** Tavrin error. %s", mess);
  std::fflush(stdout);
}

void rebuild_data_files_hint() {
  std::printf(
      "    Rebuild the data files: run \"make\" in Tavrin's source directory; the build\n"
      "    writes them into BACKWARD/ beside the executable.\n");
}

const char* data_fault_text(data_fault why) {
  switch (why) {
    case data_fault::missing: return "missing";
    case data_fault::damaged: return "damaged";
    case data_fault::unchecked:
    case data_fault::none: break;
  }
  return "not checked (no checksum lists it)";
}

void lacking_data_file(data_file f) {
  if (extra_line) std::printf("\n");
  std::printf("*** Tavrin error. This needs the data file %s, which is %s.\n", data_file_name(f),
              data_fault_text(fault_of(f)));
  rebuild_data_files_hint();
  unwind_to_top_level(0);
}

void not_implemented() {
  std::printf("not implemented\n");
  unwind_to_top_level(0);
}

void memory_exhausted() {
  if (in_pool_task()) throw TaskFault{};  // reported when the task runs again alone
  out_of_heap_warning();
  unwind_to_top_level(0);
}

void heap_refused() {
  out_of_heap_warning();
  reset_for_top_level(0);
}

void dumpitt(const char* messge, std::int32_t n, bool newline, bool multin, bool colon) {
  if (dumpitt_level < 2) {
    suppressor = 1;
  } else if (multin) {
    suppressor = static_cast<std::int32_t>(static_cast<std::uint32_t>(suppressor) *
                                           static_cast<std::uint32_t>(n));
    if (suppressor > 1000) return;
  }
  if (dumpitt_level > dispcutoff) return;
  if (newline) {
    std::printf("\n");
    for (int k = 0; k < 2 * dumpitt_level; ++k) std::printf(" ");
    dumpitt_length = static_cast<std::int16_t>(2 * dumpitt_level);
  }
  if (n >= 0) {
    std::printf("%s%d", messge, n);
    std::int32_t length = dumpitt_length;
    if (std::strcmp(messge, " ") != 0) {
      std::printf(colon ? ": " : ". ");
      length += 2;
    }
    int h = 0;
    for (std::uint32_t v = static_cast<std::uint32_t>(n); v > 1; v >>= 1) ++h;
    length += static_cast<std::int32_t>(std::strlen(messge)) + 1 +
              static_cast<std::int32_t>(0.3 * h + 0.5);
    dumpitt_length = static_cast<std::int16_t>(length);
    if (dumpitt_length > dispcutoff + 2) {
      std::printf("\n");
      for (int k = 0; k < dumpitt_level; ++k) std::printf(" ");
      dumpitt_length = dumpitt_level;
    }
  }
  std::fflush(stdout);
}

void decr_dumpitt(std::int32_t n, bool newline, bool multin) {
  dumpitt_level = static_cast<std::int16_t>(dumpitt_level - 1);
  if (2 * dumpitt_level < 73 && verbose && newline && suppressor <= 1000) {
    int k = 2 * dumpitt_level;
    if (k >= dispcutoff - 3) k = dispcutoff - 12;
    std::printf("\n");
    for (int j = 0; j < k; ++j) std::printf(" ");
    dumpitt_length = static_cast<std::int16_t>(2 * dumpitt_level);
  }
  if (multin) {
    suppressor /= (n == 0 ? 1 : n);
    if (suppressor < 1) suppressor = 1;
  }
}

}  // namespace tavrin
