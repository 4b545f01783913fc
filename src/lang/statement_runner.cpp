// The statement runner: conditionals, while and for loops and plain
// statements of stored statement lists, and the system function (an "if",
// "while" or "for" met where a value is expected, read and run at once).
#include <algorithm>
#include <cstring>
#include <vector>

#include "core/error_codes.h"
#include "core/errors.h"
#include "core/globals.h"
#include "core/interrupts.h"
#include "core/mode_guard.h"
#include "numbers/freelists.h"
#include "toplevel/dispatch.h"
#include "toplevel/language_services.h"
#include "toplevel/state.h"
#include "lang/expressions.h"
#include "lang/floating.h"
#include "lang/functions.h"
#include "lang/lang_upcalls.h"
#include "lang/nesting.h"
#include "lang/statements.h"
#include "lang/variables.h"

namespace tavrin {

namespace {

bool at_end_marker() { return std::strcmp(token.name, end_marker_name) == 0; }
bool any_flag() { return exit_flag || leave_flag || cycle_flag; }

// Makes the first node of a stored text current; the cursor designates it.
nameptr start_reading(nameptr text) {
  token = text->let;
  currentchar = text->next;
  return text;
}

// The body of a loop; the round ends early on a flag. Answers true when
// the loop must end.
bool run_round(textptr inf, formptr body, quolyptr n) {
  eval_form(inf, body, n);
  if (exit_flag) return true;
  if (leave_flag) {
    leave_flag = false;
    return true;
  }
  cycle_flag = false;
  return false;
}

void run_conditional(textptr inf, condexptr p, quolyptr n) {
  startexpr = p->cond;
  nameptr cursor = start_reading(p->cond);
  const bool c = bool_expre(inf, &cursor);
  eval_form(inf, c ? p->form1 : p->form2, n);
}

void run_while(textptr inf, condexptr p, quolyptr n) {
  for (;;) {
    check_interrupt();
    startexpr = p->cond;
    nameptr cursor = start_reading(p->cond);
    if (!bool_expre(inf, &cursor)) return;
    if (run_round(inf, p->form1, n)) return;
    prev_expr = startexpr;
  }
}

void run_for(textptr inf, condexptr p, quolyptr n) {
  startexpr = p->cond;
  nameptr cursor = start_reading(p->cond->next);
  CountingLoop loop;
  loop.read_header(inf, &cursor);
  if (!at_end_marker()) abandon(loop_header_must_end_loop_text_error, &token);
  while (loop.init <= loop.stop) {
    check_interrupt();
    if (run_round(inf, p->form1, n)) break;
    loop.next_round();
  }
}

void run_plain(textptr inf, condexptr p, quolyptr n) {
  StatementStart fresh;
  startexpr = p->expr;
  nameptr cursor = start_reading(p->expr);
  g_cutoff = 10;
  original_depth = 1;
  c_cntcount = c_cntdepth = a_cntcount = d_cntcount = g_cntcount = alg_c_count = 0;
  const char c = statement_character(token);
  if (c == '"' || c == '[' || c == '~') {
    run_array_statement(static_cast<ArrayCode>(c), inf, n, &cursor);
  } else if (tok_is("MPowermod")) {
    run_array_statement(ArrayCode::matrix_powermod, inf, n, &cursor);
  } else if (tok_is("Adjoint") || tok_is("Altmult") || tok_is("Altpower")) {
    run_array_statement(ArrayCode::adjoint, inf, n, &cursor);
  } else if (tok_is("Compile")) {
    if (statcount == 0) abandon(compile_outside_function_error, &token);
    compile(inf, n, p);
    return;
  } else if (tok_is("Float")) {
    integerflag = true;
    scanner(inf, &token, &cursor);
  } else if (integerflag && (c == 'A' || c == 'C' || c == 'M')) {
    long double value = 0;
    old_iexpre(&value, &cursor);
    real_to_value(value, n);
  } else if (c == 'A' || c == 'C' || c == 'M' || c == 'F') {
    float_statement = false;  // exact, also in a floating body
    old_expre(inf, n, &cursor);
  } else if (integerflag && c != '!') {
    long double value = 0;
    iexpre(&value, &cursor);
    real_to_value(value, n);
  } else {
    float_statement = false;
    parse(inf, n, &cursor);
  }
  if (!tok_is(";") && !at_end_marker()) abandon(tokens_left_over_after_function_body_error, &token);
}

// Puts the reader's state back however call_sys_func is left; frees a
// list whose reading was abandoned.
struct SysFuncState {
  formptr list = nullptr;
  ~SysFuncState() {
    free_form(&list);
    in_sys_func = false;
  }
};

// The system-function lists being run, innermost last. A system function
// read while another runs (a value typed for "?") replaces sys_func; the
// list it replaced is freed when its last run ends.
std::vector<formptr> lists_running;

bool is_running(formptr list) {
  return std::find(lists_running.begin(), lists_running.end(), list) != lists_running.end();
}

// Makes list the system function, freeing the one it replaces unless that
// one is still running.
void install_sys_func(formptr list) {
  formptr old = sys_func;
  sys_func = list;
  if (old != nullptr && old != list && !is_running(old)) free_form(&old);
}

// One run of a system-function list, on every exit.
class SysFuncRun {
 public:
  explicit SysFuncRun(formptr list) : list_(list) { lists_running.push_back(list); }
  ~SysFuncRun() {
    lists_running.pop_back();
    if (list_ != sys_func && !is_running(list_)) free_form(&list_);
  }
  SysFuncRun(const SysFuncRun&) = delete;
  SysFuncRun& operator=(const SysFuncRun&) = delete;

 private:
  formptr list_;
};

// Runs the system function's list with the reader's replay positions
// cleared; *n := the value of the last statement run (0 when none). The
// token, the positions and the loop flags are as before afterwards.
void run_sys_func(textptr inf, formptr list, quolyptr n) {
  SysFuncRun run(list);
  // "Float" in the statement lasts until it ends, however it ends.
  ScopedValue<bool> real_mode(integerflag);
  const tokentipe saved = token;
  const nameptr saved_prev = prev_expr;
  const nameptr saved_start = startexpr;
  free_quoly(n);
  prev_expr = nullptr;
  startexpr = nullptr;
  eval_form(inf, list, n);
  if (*n == nullptr) {
    quoly_set(0, n);
    (*n)->next = nullptr;
  }
  token = saved;
  prev_expr = saved_prev;
  startexpr = saved_start;
  exit_flag = cycle_flag = leave_flag = false;
}

}  // namespace

void eval_form(textptr inf, formptr q, quolyptr n) {
  for (; q != nullptr; q = q->next) {
    check_interrupt();
    free_quoly(n);
    getval(inf, q->cptr, n);
    if (any_flag()) return;
  }
}

void getval(textptr inf, condexptr p, quolyptr n) {
  NestingLevel level;
  // After "Float" every statement, condition and loop header is floating
  // unless the plain statement's dispatch makes it exact.
  ScopedValue<bool> kind(float_statement, integerflag);
  prev_expr = startexpr;
  if (p->cond == nullptr) {
    run_plain(inf, p, n);
  } else if (!p->aloop) {
    run_conditional(inf, p, n);
  } else if (std::strcmp(p->cond->let.name, ":") == 0) {
    run_for(inf, p, n);
  } else {
    run_while(inf, p, n);
  }
}

void call_sys_func(textptr inf, quolyptr n, nameptr* flag) {
  SysFuncState state;
  // "Float" in the statement lasts until it ends, however it ends.
  ScopedValue<bool> real_mode(integerflag);
  ++func_def_count;
  in_sys_func = true;
  last_good_one = nullptr;
  last_attached = nullptr;
  last_comm = nullptr;
  semicount = 0;
  newform(&state.list);
  state.list->cptr = nullptr;
  state.list->comms = nullptr;
  state.list->next = nullptr;
  bool once_more = true;
  tokentipe realtok{};
  basic_form(&state.list->cptr, &state.list->comms, ";", inf, flag, &once_more, &realtok);
  if (tok_is(";") && tt_flag) {
    ++semicount;
    if (semicount == 1 || semicount == 13) {
      last_good_one = state.list->cptr;
      last_comm = state.list->comms;
    }
    if (semicount >= 15) abandon(too_many_empty_statements_row_error, &token);
  } else {
    semicount = 0;
  }
  in_sys_func = false;
  if (*flag == nullptr && inf != nullptr && *inf != nullptr && (*inf)->at_eof() && !tok_is(";"))
    abandon(input_ended_inside_unfinished_statement_definition_error, &token);
  --func_def_count;
  formptr list = state.list;
  state.list = nullptr;
  install_sys_func(list);
  run_sys_func(inf, list, n);
}

void call_last_sys_func(textptr inf, quolyptr n) { run_sys_func(inf, sys_func, n); }

}  // namespace tavrin
