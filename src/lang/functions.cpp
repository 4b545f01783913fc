// User-function definitions and calls: funcdef, evaluate, setargs,
// arrayarg and remove_args.
#include "lang/functions.h"

#include <cstdio>
#include <cstring>
#include <utility>
#include <vector>

#include "core/error_codes.h"
#include "core/errors.h"
#include "core/globals.h"
#include "core/mode_guard.h"
#include "numbers/freelists.h"
#include "poly/poly_repr.h"
#include "toplevel/builtins.h"
#include "toplevel/charsets.h"
#include "toplevel/language_services.h"
#include "toplevel/state.h"
#include "toplevel/tokens.h"
#include "lang/expressions.h"
#include "lang/lang_upcalls.h"
#include "lang/nesting.h"
#include "lang/statements.h"
#include "lang/variables.h"
#include "lang/written_places.h"

namespace tavrin {

bool new_funcs = false;

namespace {

bool is_lower(char c) { return c >= 'a' && c <= 'z'; }
bool is_name(const tokentipe* x, const char* w) { return std::strcmp(x->name, w) == 0; }
using namespace tokens;

bool is_adjoined(const tokentipe& t) {
  for (polypt p = polynames; p != nullptr; p = p->next)
    if (std::strcmp(p->let.name, t.name) == 0) return true;
  return false;
}

void free_function(funcptr f) {
  for (paramptr p = f->pars; p != nullptr;) {
    paramptr next = p->next;
    delete p;
    p = next;
  }
  free_form(&f->rht);
  delete f;
}

// Earlier definitions replaced (or cancelled) while a call of them was
// active; freed once nothing uses them.
std::vector<funcptr> retired;

// One active call: what remove_args must take away again.
// A "^" parameter and the caller's place its value goes back to.
using Reference = std::pair<varptr, WrittenPlace>;

struct LiveCall {
  funcptr f;
  std::vector<Reference> references;
};
std::vector<LiveCall> live_calls;

// The definition of every evaluate frame on the stack, innermost last. A
// frame reads its definition before its call is live (the parameter list,
// while the arguments are read) and while a nested level is open above it.
// Calls and frames end in either order: an unwinding error ends the calls
// before the frames go, an abandoned level statement and a refused
// allocation after; whichever ends last frees a replaced definition.
std::vector<funcptr> frames;

bool in_use(funcptr f) {
  for (const LiveCall& c : live_calls)
    if (c.f == f) return true;
  for (funcptr g : frames)
    if (g == f) return true;
  return false;
}

void sweep_retired() {
  for (std::size_t k = 0; k < retired.size();) {
    if (in_use(retired[k])) {
      ++k;
      continue;
    }
    free_function(retired[k]);
    retired[k] = retired.back();
    retired.pop_back();
  }
}

// Unlinks an earlier definition of f's name from its bucket.
void retire_older(funcptr f) {
  funcptr* link = &f->next;
  while (*link != nullptr) {
    funcptr old = *link;
    if (std::strcmp(old->name.name, f->name.name) == 0) {
      *link = old->next;
      old->next = nullptr;
      retired.push_back(old);
    } else {
      link = &old->next;
    }
  }
  sweep_retired();
}

// Holds f for one evaluate frame; a replaced definition that no other frame
// and no live call holds is freed when the frame goes, by a return or by
// an unwinding error.
struct FrameHold {
  explicit FrameHold(funcptr f) { frames.push_back(f); }
  ~FrameHold() {
    frames.pop_back();
    if (!retired.empty()) sweep_retired();
  }
  FrameHold(const FrameHold&) = delete;
  FrameHold& operator=(const FrameHold&) = delete;
};

// The definition being read: freed unless it was entered.
struct Definition {
  funcptr f = new funcnode{};
  paramptr* tail = &f->pars;
  Definition() { ++func_def_count; }
  // An error resets func_def_count itself.
  ~Definition() {
    if (f != nullptr) free_function(f);
  }
  Definition(const Definition&) = delete;
  Definition& operator=(const Definition&) = delete;
};

// ---- Calls --------------------------------------------------------------------------

arrptr* arr_bucket_of(const tokentipe* x) { return &arr_store[hash(x->name, arr_buckets)]; }

// What setargs builds before anything is pushed: freed on an error.
struct Bindings {
  std::vector<varptr> vars;
  std::vector<arrptr> aliases;
  std::vector<Reference> references;
  ~Bindings() {
    for (varptr v : vars) free_var_record(v);
    for (arrptr a : aliases) {
      a->sizearr = number{};
      a->next = arr_garb;
      arr_garb = a;
    }
  }
};

// "[" passed: the array argument for parameter p, as an alias of the
// caller's array; the token after "]" is current on return.
void arrayarg(textptr inf, nameptr* flag, paramptr p, Bindings* b) {
  scan(inf, flag);
  if (is_name(&token, "<")) abandon(system_array_not_allowed_error, &token);
  arrptr q = nullptr;
  if (is_name(&token, "%")) {
    std::int32_t m = 0;
    {
      ValueCell index;
      get_arr_arr(inf, &index.q, flag, &m);
    }
    if (arrstash == nullptr || m < 0 || m >= arrstash_slots || arrstash[m] == nullptr)
      abandon(empty_slot_store_arrays_error, &token);
    q = arrstash[m];
  } else {
    tokentipe key = token;
    fastestlookup(&key, &q);
    if (q == nullptr) abandon(no_such_array_error, &token);
  }
  arrptr a = nullptr;
  newarray(&a);
  a->name = p->let;
  a->name.address = -1;
  a->start = q->start;
  a->stop = q->stop;
  a->rows = q->rows;
  a->linear = q->linear;
  a->sizearr = q->sizearr;  // shared with the array, never freed through the alias
  a->spar = q->spar;
  a->father = q;
  a->time = q->time < 0 ? q->time : -q->time;
  if (a->time == 0) a->time = -1;
  a->next = nullptr;
  b->aliases.push_back(a);
  scan(inf, flag);
  if (!is_name(&token, "]")) abandon(close_bracket_expected_24_error, &token);
  scan(inf, flag);
}

// The "^" argument: the variable or element named by the token after "^"
// is current; *value a copy of it, *cell the place to write back.
void reference_argument(textptr inf, nameptr* flag, quolyptr value, quolyptr* cell,
                        WrittenPlace* place) {
  if (!is_lower(token.name[0]) || is_adjoined(token))
    abandon(variable_array_element_expected_after_caret_error, &token);
  const tokentipe name = token;
  scan(inf, flag);
  if (is_name(&token, "[")) {
    quolyptr qp = nullptr;
    colm_ptrptr t = nullptr;
    std::int32_t colpos = 0;
    ValueCell shown;
    new_arretrieve(inf, &name, flag, &qp, &shown.q, &t, &colpos);
    if (t != nullptr || qp == nullptr || *qp == nullptr)
      abandon(element_sparse_array_element_without_cell_error, &name);
    quoly_assign(*qp, value);
    *cell = qp;
    *place = place_of(qp);
    return;
  }
  spec_retrieve(&name, value, cell);
  *place = place_of(*cell);
  if ((*value)->numb) (*value)->arr_arg = false;
}

// Reads the arguments of a call of f and binds its parameters; *after the
// token that follows the call, *references the caller's places of its "^"
// parameters.
void setargs(textptr inf, nameptr* flag, funcptr f, tokentipe* after,
             std::vector<Reference>* references) {
  scan(inf, flag);
  if (f->pars == nullptr) {
    *after = token;
    return;
  }
  bool kept = false;
  if (!is_name(&token, "(")) {
    *after = token;
    kept = true;
    std::memcpy(token.name, ")", 2);
    token.address = -1;
  }
  Bindings b;
  for (paramptr p = f->pars; p != nullptr; p = p->next) {
    if (is_adjoined(p->let)) abandon(name_adjoined_variable_not_allowed_error, &p->let);
    ValueCell value;
    quolyptr cell = nullptr;
    WrittenPlace place;
    bool array = false;
    if (!p->result) {
      if (is_name(&token, ")")) {
        quoly_set(0, &value.q);
      } else {
        scan(inf, flag);
        if (is_name(&token, "[")) {
          arrayarg(inf, flag, p, &b);
          quoly_set(0, &value.q);
          array = true;
        } else {
          old_expre(inf, &value.q, flag);
        }
      }
    } else {
      if (is_name(&token, ")")) abandon(variable_name_expected_after_caret_error, &token);
      scan(inf, flag);
      if (is_name(&token, "^")) scan(inf, flag);  // the caller may mark it too
      reference_argument(inf, flag, &value.q, &cell, &place);
    }
    if (value.q->numb) value.q->arr_arg = array;
    p->arry = array;
    p->sparse = array && b.aliases.back()->spar != nullptr;
    varptr v = new_var_record(p->let, value.release());
    v->qp = cell;
    b.vars.push_back(v);
    if (p->result) b.references.emplace_back(v, place);
    p->qp = array ? nullptr : &v->val;
    if (p->next != nullptr) {
      if (is_name(&token, ",")) continue;
      if (!is_name(&token, ")")) abandon(comma_close_paren_expected_after_argument_error, &token);
    }
  }
  if (!is_name(&token, ")")) abandon(too_many_arguments_options_error, &token);
  for (varptr v : b.vars) {
    varptr* head = &sca_store[hash(v->let.name, sca_buckets)];
    v->next = *head;
    *head = v;
  }
  for (arrptr a : b.aliases) {
    arrptr* head = arr_bucket_of(&a->name);
    a->next = *head;
    *head = a;
  }
  b.vars.clear();
  b.aliases.clear();
  *references = std::move(b.references);
  if (!kept) scan(inf, flag);
  if (!kept) *after = token;
}

// Removes the alias made for the array parameter x (false: none found).
bool remove_alias(const tokentipe& x, bool cant_call_error) {
  arrptr* link = arr_bucket_of(&x);
  for (; *link != nullptr; link = &(*link)->next)
    if (std::strcmp((*link)->name.name, x.name) == 0) break;
  arrptr a = *link;
  if (a == nullptr || a->time >= 0) {
    if (a != nullptr) {
      std::printf(
          "*** Warning. On function termination, found an array with the same name as an \n");
      std::printf("       array parameter, namely: %s\n", x.name);
    }
    if (cant_call_error) {
      out_err_mess(array_parameter_lost_array_name_was_error);
      std::printf("\n");
    }
    return false;
  }
  if (a->father != nullptr) a->father->spar = a->spar;
  *link = a->next;
  a->sizearr = number{};
  a->spar = nullptr;
  a->father = nullptr;
  a->next = arr_garb;
  arr_garb = a;
  return true;
}

// Takes away the parameters of the innermost live call, innermost first;
// "^" values go back to the caller's cells. A lost array alias is error 30
// (a message only while an error is being handled), raised once every
// parameter is gone.
void end_call(bool cant_call_error) {
  if (live_calls.empty()) return;
  LiveCall call = std::move(live_calls.back());
  live_calls.pop_back();
  const funcptr f = call.f;
  bool lost_alias = false;
  tokentipe lost{};
  for (paramptr p = f->pars; p != nullptr; p = p->next) {
    varptr* link = &sca_store[hash(p->let.name, sca_buckets)];
    while (*link != nullptr && std::strcmp((*link)->let.name, p->let.name) != 0)
      link = &(*link)->next;
    varptr v = *link;
    if (v == nullptr) continue;
    *link = v->next;
    const bool array = v->val != nullptr && v->val->numb && v->val->arr_arg;
    if (array) v->val->arr_arg = false;
    if (p->result && v->qp != nullptr) {
      // The caller's place, found again when the body (or a later
      // argument) removed places; a place that is gone takes nothing.
      quolyptr cell = v->qp;
      for (Reference& r : call.references)
        if (r.first == v) cell = current_place(&r.second, false);
      if (cell != nullptr) {
        free_quoly(cell);
        *cell = v->val;
        v->val = nullptr;
      }
    }
    free_var_record(v);
    if (array && !remove_alias(p->let, cant_call_error) && !lost_alias) {
      lost_alias = true;
      lost = p->let;
    }
  }
  if (lost_alias && !cant_call_error) abandon(array_parameter_lost_array_name_was_error, &lost);
}

}  // namespace

funcptr find_function(const tokentipe* x) {
  const std::int32_t b =
      x->address >= 0 && x->address < func_buckets ? x->address : hash(x->name, func_buckets);
  for (funcptr f = func_store[b]; f != nullptr; f = f->next)
    if (std::strcmp(f->name.name, x->name) == 0) return f;
  return nullptr;
}

std::int32_t live_call_count() { return static_cast<std::int32_t>(live_calls.size()); }

void funcdef(textptr inf, nameptr* flag) {
  Definition d;
  std::snprintf(current_func, sizeof current_func, "%s", token.name);
  last_good_one = nullptr;
  last_attached = nullptr;
  last_comm = nullptr;
  bool once_more = true;
  tokentipe realtok{};
  funcptr f = d.f;
  f->name = token;
  scan(inf, flag);
  if (is_name(&token, "(")) {
    for (;;) {
      scan(inf, flag);
      bool by_reference = false;
      if (is_name(&token, "^")) {
        by_reference = true;
        scan(inf, flag);
      }
      if (!is_lower(token.name[0])) abandon(parameter_name_must_begin_lower_case_error, &token);
      paramptr p = new paramnode{};
      p->let = token;
      p->let.address = hash(token.name, sca_buckets);
      p->result = by_reference;
      *d.tail = p;
      d.tail = &p->next;
      for (paramptr q = f->pars; q != p; q = q->next)
        if (std::strcmp(q->let.name, p->let.name) == 0)
          abandon(repeated_parameter_name_error, &token);
      scan(inf, flag);
      if (is_name(&token, ",") || is_name(&token, ";")) continue;
      if (is_name(&token, ")")) break;
      abandon(comma_close_paren_expected_parameter_list_error, &token);
    }
    scan(inf, flag);
    if (!is_name(&token, "=")) abandon(equals_expected_after_parameter_list_error, &token);
  } else if (!is_name(&token, "=")) {
    abandon(open_paren_equals_expected_after_function_name_error, &token);
  }
  scan(inf, flag);
  right_side(&f->rht, ".", inf, flag, &once_more, &realtok, f->name.name);
  if (*flag == nullptr && inf != nullptr && *inf != nullptr && (*inf)->at_eof() &&
      !is_name(&token, "."))
    abandon(input_ended_inside_unfinished_statement_definition_error, &f->name);
  const std::int32_t b = hash(f->name.name, func_buckets);
  f->name.address = static_cast<std::int16_t>(b);
  new_funcs = true;
  f->next = func_store[b];
  func_store[b] = f;
  d.f = nullptr;
  retire_older(f);
  if (!once_more) {
    token = realtok;
  } else {
    scan(inf, flag);
  }
  --func_def_count;
}

void evaluate(textptr inf, const tokentipe* name, quolyptr n, nameptr* flag) {
  const funcptr f = find_function(name);
  if (f == nullptr) {
    // Without the table of built-ins a name may be one of them.
    if (numbuiltins < 0) need_data_file(data_file::qerrs);
    quoly_set(0, n);
    error(no_such_function_error, name);
    return;
  }
  if (statcount >= call_depth_limit) abandon(nesting_too_deep_error, name);
  const FrameHold hold(f);
  tokentipe after{};
  std::vector<Reference> references;
  setargs(inf, flag, f, &after, &references);
  live_calls.push_back(LiveCall{f, std::move(references)});
  lastf = lastf->next;
  lastf->f = f;
  ++statcount;
  // A call starts exact; the caller's "Float" comes back however it ends.
  ScopedValue<bool> real_mode(integerflag, false);
  const nameptr saved_start = startexpr, saved_prev = prev_expr, saved_char = currentchar;
  uninit = 0;
  free_quoly(n);
  startexpr = prev_expr = nullptr;
  eval_form(inf, f->rht, n);
  if (*n == nullptr) quoly_set(0, n);
  exit_flag = false;
  end_call(false);
  --statcount;
  token = after;
  currentchar = saved_char;
  syst_dump = false;
  lastf = lastf->prev;
  prev_expr = saved_prev;
  startexpr = saved_start;
}

// A call ended from outside its frame may have held a replaced definition
// last.
void remove_args(statptr) {
  end_call(true);
  sweep_retired();
}

void retire_function(funcptr f) {
  f->next = nullptr;
  retired.push_back(f);
  sweep_retired();
}

void end_all_calls() {
  while (!live_calls.empty()) end_call(true);
  sweep_retired();
}

}  // namespace tavrin
