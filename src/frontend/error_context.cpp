#include "frontend/error_context.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "core/globals.h"
#include "core/mode_guard.h"
#include "numbers/freelists.h"
#include "numbers/work_arrays.h"
#include "toplevel/language_services.h"
#include "toplevel/platform.h"
#include "toplevel/scanner.h"
#include "toplevel/state.h"
#include "lang/functions.h"

namespace tavrin {

namespace {

constexpr int context_lines = 3;
constexpr int trace_limit = 500;
constexpr int trace_per_line = 20;
constexpr int trace_per_name = 10;
constexpr std::size_t statement_line_width = 68;

void show_file_context(bool unwinds) {
  std::printf("*** Stopped right before this:\n");
  for (const std::string& line : file_being_read->lines_ahead(context_lines))
    std::printf("%s\n", line.c_str());
  if (close_inpuf && unwinds && inpuf != nullptr && file_being_read == inpuf) {
    delete inpuf;
    inpuf = nullptr;
    file_being_read = nullptr;
    std::printf("\n*** Closing file %s\n", input_file_name.c_str());
    input_file_name.clear();
  }
}

// The recent tokens typed, from the oldest to the last, with nothing between.
void show_recent_tokens() {
  std::printf("*** Error occurred at this point:\n");
  for (nameptr t = start;; t = t->next) {
    std::printf("%s", t->let.name);
    if (t == finish || t->next == nullptr) break;
  }
  if (statcount > 0) std::printf("\n");
}

bool is_end_marker(const tokentipe& t) { return std::strcmp(t.name, end_marker_name) == 0; }

// The stored statement being run when the error came: its earlier text
// (from prev_expr to the statement's start), then the statement itself up
// to the token being read.
void show_interrupted_statement() {
  std::printf("\n*** Function was interrupted at:\n");
  std::size_t count = 0;
  for (nameptr t = prev_expr; t != nullptr && t != startexpr; t = t->next) {
    const char* shown = is_end_marker(t->let) ? ";" : t->let.name;
    std::printf("%s%s", shown, t->space ? " " : "");
    count += std::strlen(shown) + (t->space ? 1 : 0);
    if (count > statement_line_width) {
      std::printf("\n");
      count = 0;
    }
  }
  std::printf("\n");
  for (nameptr t = startexpr; t != nullptr && t != currentchar; t = t->next) {
    if (is_end_marker(t->let)) continue;
    std::printf("%s%s", t->let.name, t->space ? " " : "");
  }
  if (extra_line) std::printf("\n");
}

}  // namespace

void print_function_trace(bool unwinds) {
  if (statcount <= 0 || lastf == nullptr) return;
  std::printf("*** The most recent function evaluations were:\n");
  std::printf(" ");
  int listed = statcount < trace_limit ? statcount : trace_limit;
  int printed = 0;
  statptr s = lastf;
  while (listed > 0) {
    const funcptr f = s->f;
    int run = 0;
    while (listed > 0 && s->f == f) {
      if (run < trace_per_name) {
        std::printf("%s ", f != nullptr ? f->name.name : "?");
        if (++printed % trace_per_line == 0) std::printf("\n ");
      }
      ++run;
      if (unwinds) {
        remove_args(s);
        lastf = s->prev;
      }
      s = s->prev;
      --listed;
    }
    if (run > trace_per_name) std::printf(" ... %d more with this name. \n", run - trace_per_name);
  }
}

void print_context(std::int32_t code, bool unwinds) {
  if (code == 132 && func_def_count > 0)
    std::printf("*** Definition of %s cancelled.\n", current_func);
  if (code >= 0) {
    if (!tt_flag && file_being_read != nullptr) {
      show_file_context(unwinds);
    } else if (code > 0 && tt_flag && finish != nullptr && start != nullptr) {
      show_recent_tokens();
    }
  }
  finish = nullptr;
  leave_flag = false;
  exit_flag = false;
  cycle_flag = false;
  matrix_eval = 0;
  syst_dump = false;
  print_function_trace(unwinds);
  if (startexpr != nullptr) show_interrupted_statement();
}

void leave_replayed_text() {
  startexpr = nullptr;
  prev_expr = nullptr;
  currentchar = nullptr;
  tt_flag = true;
  doing_sys_func = false;
  integerflag = false;
  func_def_count = 0;
}

void reset_on_report(std::int32_t code) {
  want_sparse = false;
  if (code == 0 && was_modulus > 0) {
    if (modulus != was_modulus) set_word_modulus(was_modulus);
    flotemode = false;
    lintmode = true;
    modularmode = true;
    was_modulus = -1;
  }
  if (code > 0) was_modulus = -1;
}

void reset_on_warning(std::int32_t) { finish = nullptr; }

void reset_on_unwind(std::int32_t) {
  leave_replayed_text();
  end_all_calls();
  if (duparr != nullptr && std::strcmp(duparr->name.name, "dup") == 0) {
    if (dupptr != nullptr)
      for (std::int32_t k = 0; k <= duparr->stop; ++k) free_quoly(&dupptr->stash[k]);
    std::strcpy(duparr->name.name, "  ");
    duparr->stop = -1;
  }
  mod_mode_matrix_in_use = false;
  using_spsort = false;
  time_level = 1;
  for (auto& row : time_off) row[0] = row[1] = 0;
  first_available = 1;
}

}  // namespace tavrin
