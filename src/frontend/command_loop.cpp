#include "frontend/command_loop.h"

#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <tuple>

#include "core/error_codes.h"
#include "core/errors.h"
#include "core/globals.h"
#include "core/interrupts.h"
#include "core/jumps.h"
#include "core/mode_guard.h"
#include "numbers/freelists.h"
#include "numbers/node_handles.h"
#include "toplevel/charsets.h"
#include "toplevel/dispatch.h"
#include "toplevel/display.h"
#include "toplevel/language_services.h"
#include "toplevel/polymodding.h"
#include "toplevel/scanner.h"
#include "toplevel/state.h"
#include "lang/expressions.h"
#include "lang/functions.h"
#include "arrays/array_display.h"
#include "frontend/command_files.h"
#include "frontend/error_context.h"
#include "frontend/poly_vars.h"
#include "frontend/startup.h"

namespace tavrin {

namespace {

// ---- The ground ring the user chose ------------------------------------------------------

struct ground_ring {
  bool flotemode = false, lintmode = false, modularmode = false;
  std::int32_t modulus = -1;
  bool mod_is_prime = false;
};
ground_ring user_ring;

// ---- Steps shared by the loops -----------------------------------------------------------

// End of input where a statement would begin quits as "&q" does.
void quit_at_end_of_input() {
  if ((leftover[0] == '\0' || leftover[0] == ' ') && Input->at_eof()) throw QuitJump{};
}

int timing_row() {
  const int row = time_level - 1;
  return row < 0 ? 0 : (row >= timing_rows ? timing_rows - 1 : row);
}

void start_timing(int row) {
  mytime[row][0] = wall_seconds();
  mytime[row][1] = cpu_ticks();
}

bool is_token(const char* name) { return std::strcmp(token.name, name) == 0; }

// The system array as the matrix statement left it, bracketed, at the
// terminal.
void show_system_array() {
  if (syst == nullptr || syst->rows < 1) return;
  const std::int32_t cols = static_cast<std::int32_t>((std::int64_t{syst->stop} + 1) / syst->rows);
  arrdisplay(stdout, &syst->name, syst, 0, syst->rows, cols, addresser, addresser, syst->rows, 4,
             {.outf_is_tty = true, .from_store = false}, syst_stash);
}

// What the loops show after a statement: nothing after ":" (a line end with
// extra_line); otherwise the value (not after "@") when noisy is on; then
// the timing line when timing is on.
void show_result(quoly value, int row) {
  const bool quiet = is_token(":");
  const bool at_sign = is_token("@");
  if (quiet) {
    if (extra_line) std::printf("\n");
  } else {
    if (syst_dump && noisy && !at_sign) show_system_array();
    if (extra_line) std::printf("\n");
    if (noisy) std::fflush(stdout);
    if (!at_sign && noisy) {
      std::int32_t length = 0;
      quoly_display(Output, value, &length, &semicolon, polynames, result_display);
    }
    if (polynames == nullptr && noisy && extra_line) std::printf("\n");
  }
  syst_dump = false;
  if (timerflag) {
    write_timing_line(stdout, mytime[row][0], mytime[row][1]);
    if (extra_line) std::printf("\n");
  }
}

// The value of the statement just ended becomes the previous result.
void keep_as_previous(quoly* value) {
  std::fflush(stdout);
  free_quoly(&prevnum);
  prevnum = *value;
  *value = nullptr;
}

// ---- The state a nested level puts back when it is left -----------------------------------

struct level_state {
  bool tt_flag, flotemode, lintmode, modularmode, integerflag, doing_sys_func, done_load;
  std::int32_t func_def_count;
  tokentipe token;
  nameptr startexpr, prev_expr, currentchar;

  // The fields, in order, to assign from or to level_globals().
  auto fields() {
    return std::tie(tt_flag, flotemode, lintmode, modularmode, integerflag, doing_sys_func,
                    done_load, func_def_count, token, startexpr, prev_expr, currentchar);
  }
};

// The globals of level_state's names, in its order.
auto level_globals() {
  return std::tie(tt_flag, flotemode, lintmode, modularmode, integerflag, doing_sys_func, done_load,
                  func_def_count, token, startexpr, prev_expr, currentchar);
}

level_state save_level_state() {
  level_state s;
  s.fields() = level_globals();
  if (mod_is_changed >= 1) {  // switched to modular arithmetic internally
    s.flotemode = false;
    s.lintmode = true;
    s.modularmode = true;
  }
  return s;
}

void restore_level_state(level_state s) { level_globals() = s.fields(); }

void take_white_character(TextInput& in) {
  const int c = in.peek();
  if (c != EOF && in_set(throwaways, c)) in.get();
}

void poll_from_reader() { check_interrupt(); }

}  // namespace

void reset_operation_counters() {
  g_cutoff = 10;
  original_depth = 1;
  c_cntcount = 0;
  c_cntdepth = 0;
  a_cntcount = 0;
  d_cntcount = 0;
  g_cntcount = 0;
  alg_c_count = 0;
  uninit = 0;
}

void check_statement_end() {
  if (is_token(";") || is_token(end_marker_name) || is_token("@") || is_token(":")) return;
  error(statement_must_end_semicolon_colon_error, &token);
}

void remember_user_ring() { user_ring = {flotemode, lintmode, modularmode, modulus, mod_is_prime}; }

void restore_user_ring() {
  if (user_ring.modularmode && user_ring.modulus > 1 && modulus != user_ring.modulus)
    set_word_modulus(user_ring.modulus, user_ring.mod_is_prime);
  flotemode = user_ring.flotemode;
  lintmode = user_ring.lintmode;
  modularmode = user_ring.modularmode;
}

void prompt_again(std::int32_t level) {
  if (prompt[0] != '\r') std::fflush(stdout);
  if (level > 1) std::printf("%1d", level);
  if (promptsize > 0) {
    std::printf("%s", prompt);
    std::fflush(stdout);
    take_white_character(*Input);
  } else {
    take_white_character(standard_input());
  }
}

void top_level_loop() {
  for (;;) {
    check_interrupt();
    ddummy = 0;
    warn_cnt = 0;
    quit_at_end_of_input();
    scanner(&Input, &token, &zilch);
    reset_operation_counters();
    const int row = timing_row();
    start_timing(row);
    parse(&Input, &sysnum, &zilch);
    zilch = nullptr;
    close_timing(row);
    if (sysnum == nullptr) set_zero_value(&sysnum);
    check_statement_end();
    finish = nullptr;
    show_result(sysnum, row);
    keep_as_previous(&sysnum);
    if (time_to_quit) {
      time_to_quit = false;
      std::printf(" You must use \"&q\" to quit the highest level.\n");
    }
    prompt_again(1);
  }
}

void run_startup_file(TextInput& in) {
  // Read as a command file is, so that a saved state serves as the start-up
  // file: its ";;" comment lines and its closing "&x;" included.
  ScopedValue<bool> stopped(done_load, false);
  nodes::OwnedValue value;  // freed on every exit, an unwinding error included
  try {
    run_file_statements(&in, &value.q, false);
  } catch (const TopLevelJump&) {
    // An error abandons the rest of the start-up file; start-up goes on.
  } catch (const std::bad_alloc&) {
    heap_refused();
  }
}

namespace {

// What a nested level puts back when a statement typed at it is abandoned
// (LevelJump): the function evaluations it began are ended, the replay
// state and loop flags cleared, a suspension of the quotient ring it began
// resumed, and a floating mode it began ended. The computation
// suspended below the level keeps everything it holds.
struct level_base {
  std::int32_t statcount;
  statptr lastf;
  bool using_new_polynames;
  ground_ring ring;
  std::int32_t time_level;
};

void abandon_level_statement(const level_base& base) {
  while (statcount > base.statcount && lastf != nullptr) {
    remove_args(lastf);
    lastf = lastf->prev;
    --statcount;
  }
  statcount = base.statcount;
  lastf = base.lastf;
  if (using_new_polynames && !base.using_new_polynames) {
    resume_old_polynames();
    reset_pseudo_poly();
  }
  leave_replayed_text();
  finish = nullptr;
  leave_flag = exit_flag = cycle_flag = false;
  matrix_eval = 0;
  syst_dump = false;
  time_level = base.time_level;
  // A "Float" body's floating mode ends with the statement; a ring the user
  // chose at this level stays, as at the top.
  if (flotemode && !base.ring.flotemode) {
    flotemode = false;
    lintmode = base.ring.lintmode;
    modularmode = base.ring.modularmode;
  }
  token.name[0] = '\0';
  token.address = -1;
}

}  // namespace

void command_level() {
  const std::int32_t level = levelcount;
  const level_state saved = save_level_state();
  leave_replayed_text();
  // The statements of this level are counted from 0; a level opened while
  // a statement was under way stands above a suspended computation.
  const bool above_statement = statements_under_way > 0;
  ScopedValue<std::int32_t> own_statements(statements_under_way, 0);
  ScopedValue<std::int32_t> suspended(levels_above_statements,
                                      levels_above_statements + (above_statement ? 1 : 0));

  if (was_in_rat && modularmode) {
    was_modulus = modulus;
    modularmode = false;
    lintmode = false;
    std::printf("\n*** You have interrupted at a delicate time. Tavrin had switched\n");
    std::printf("    internally to arithmetic mod p. It has switched back for your \n");
    std::printf("    convenience during this interrupt. Do not do any significant \n");
    std::printf("    polynomial computations.  To abort, enter &@ followed by  &(p=_i:) .\n");
    std::printf("\n");
  }
  // Interrupted inside a floating computation of a "Float" body: the level
  // computes in the ring the user chose; the floating modes come back with
  // the rest of the saved state when it is left.
  if (flotemode && !user_ring.flotemode) restore_user_ring();
  if (globalpoly > 0) print_global_table_warning();

  const std::uint32_t level_wall = wall_seconds(), level_ticks = cpu_ticks();
  time_level += 1;
  const int row = timing_row();
  time_off[row][0] = 0;
  time_off[row][1] = 0;
  const level_base base{statcount,
                        lastf,
                        using_new_polynames,
                        {flotemode, lintmode, modularmode, modulus, mod_is_prime},
                        time_level};

  // An interrupt is answered from here on, at this level's prompt as at
  // the top: one that arrives while the prompt waits for input opens the
  // next level at once.
  std::fflush(Output);
  if (prompt[0] != '\r') std::fflush(stdout);
  std::printf("%1d", level);
  if (promptsize > 0) {
    std::printf("%s", prompt);
    std::fflush(stdout);
  }
  // The rest of the line the suspended statement was read from is set aside
  // for it: the level reads the lines that follow, and the statement reads
  // on from where it stood when it is resumed.
  const std::string suspended_line = Input->take_rest_of_line();
  leftover[0] = '\0';

  nodes::OwnedValue value;  // freed on every exit, an unwinding error included
  for (;;) {
    try {
      check_interrupt();
      quit_at_end_of_input();
      scanner(&Input, &token, &zilch);
      reset_operation_counters();
      start_timing(row);
      parse(&Input, &value.q, &zilch);
      zilch = nullptr;
      close_timing(row);
      if (value.q == nullptr) set_zero_value(&value.q);
      check_statement_end();
    } catch (const LevelJump& jump) {
      if (jump.level != level) throw;
      // The statement is abandoned; the level goes on at its prompt.
      free_quoly(&value.q);
      zilch = nullptr;
      abandon_level_statement(base);
      std::printf("\n%1d", level);
      if (promptsize > 0) std::printf("%s", prompt);
      std::fflush(stdout);
      leftover[0] = '\0';
      Input->drop_line();
      continue;
    }
    finish = nullptr;

    if (time_to_quit) {
      time_to_quit = false;
      was_modulus = -1;
      time_level -= 1;
      const int below = timing_row();
      time_off[below][0] += wall_seconds() - level_wall;
      time_off[below][1] += cpu_ticks() - level_ticks;
      std::printf("*** Resuming earlier command level\n");
      free_quoly(&value.q);
      restore_level_state(saved);  // the modular mode a level put aside included
      // The line of this level's last statement ends with it; the
      // suspended statement reads on in its own line.
      if (!suspended_line.empty()) {
        Input->drop_line();
        Input->put_back(suspended_line);
      }
      return;
    }
    show_result(value.q, row);
    keep_as_previous(&value.q);
    prompt_again(level);
  }
}

void install_command_loop() {
  run_command_loop = top_level_loop;
  run_startup_statements = run_startup_file;
  run_command_level = command_level;
  print_error_context = print_context;
  TextInput::on_interrupt = poll_from_reader;
  add_error_hook(error_stage::report, reset_on_report);
  add_error_hook(error_stage::warned, reset_on_warning);
  add_error_hook(error_stage::unwind, reset_on_unwind);
  install_poly_vars();
}

}  // namespace tavrin
