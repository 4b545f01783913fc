// The cancel statement "@": removes scalar variables, arrays and user
// functions by name (rubout, declared in toplevel/language_services.h).
//
// Removing a dense array closes its gap in the cell store: the cells of
// every later array move down and their ranges are lowered, so the store
// stays packed from cell 0 to endarr in creation order.
#include <cstdio>
#include <cstring>

#include "core/error_codes.h"
#include "core/errors.h"
#include "core/globals.h"
#include "numbers/freelists.h"
#include "toplevel/charsets.h"
#include "toplevel/language_services.h"
#include "toplevel/state.h"
#include "toplevel/tokens.h"
#include "lang/functions.h"
#include "lang/variables.h"
#include "arrays/array_store.h"
#include "arrays/cancel.h"
#include "arrays/sparse_store.h"

namespace tavrin {

namespace {

// Thrown to abandon one cancel; rubout goes on after it.
struct cancel_aborted {};

// What the removal of one name shares: the name, the array found, the
// array that bears the placeholder name meanwhile (its name comes back on
// every exit), the function found and its predecessor.
struct single_rubout_EnvRec {
  tokentipe oldtok{};
  arrptr r = nullptr;
  nameptr* flag = nullptr;
  arrptr u2 = nullptr;
  tokentipe u2_name{};
  std::int32_t i = 0;
  funcptr p = nullptr;
  funcptr s = nullptr;

  void give_name_back() {
    if (u2 == nullptr) return;
    u2->name = u2_name;
    u2 = nullptr;
  }
  ~single_rubout_EnvRec() { give_name_back(); }
};

using tokens::is_tok;
bool lower_name(const tokentipe* t) { return t->name[0] >= 'a' && t->name[0] <= 'z'; }
bool upper_name(const tokentipe* t) { return t->name[0] >= 'A' && t->name[0] <= 'Z'; }

bool typed_at_top(const single_rubout_EnvRec& env) {
  return levelcount == 1 && *env.flag == nullptr;
}

[[noreturn]] void abort_cancel(single_rubout_EnvRec& env, std::int32_t code, const tokentipe* bad) {
  env.give_name_back();
  error(code, bad);
  std::printf(" Cancel aborted.\n");
  throw cancel_aborted{};
}

void remove_variable(const tokentipe* x) {
  for (varptr* link = &sca_store[var_bucket(x)]; *link != nullptr; link = &(*link)->next) {
    varptr v = *link;
    if (std::strcmp(v->let.name, x->name) != 0) continue;
    forget_links_to(&v->val, nullptr);
    *link = v->next;
    free_var_record(v);
    return;
  }
  error(undefined_variable_error, x);
}

// Closes the gap of n cells that ended at cell `stop`.
void close_gap(std::int32_t stop, std::int32_t n) {
  for (std::int32_t k = stop + 1; k <= endarr; ++k) {
    *arp_cell(k - n) = *arp_cell(k);
    *arp_cell(k) = nullptr;
  }
  for (std::int32_t k = endarr - n + 1; k <= endarr; ++k) *arp_cell(k) = nullptr;
  endarr -= n;
}

// Removes the first array named env.oldtok; with fast, quietly nothing when
// there is none (env.r stays nil).
void removearray(bool fast, single_rubout_EnvRec& env) {
  env.r = find_array(&env.oldtok);
  if (env.r == nullptr) {
    if (fast) return;
    error(no_such_array_error, &env.oldtok);
    throw cancel_aborted{};
  }
  arrptr q = env.r;
  const bool alias = q->time < 0;
  if (alias) {
    if (!typed_at_top(env)) abort_cancel(env, array_parameter_cannot_changed_error, &env.oldtok);
    std::printf(" Warning.  About to delete an array parameter.\n");
  }
  forget_links_to(nullptr, q);
  const std::int32_t b = array_bucket(&env.oldtok);
  for (arrptr* link = &arr_store[b]; *link != nullptr; link = &(*link)->next)
    if (*link == q) {
      *link = q->next;
      break;
    }
  arrptr dangling = nullptr;
  ++places_removed;  // its cells, and the dense cells after them, move
  if (!alias) {
    const std::int32_t stamp = q->time;
    std::int32_t n = 0;
    if (q->spar != nullptr) {
      free_sparse(&q->spar, q->rows, true);
    } else {
      n = q->stop - q->start + 1;
      if (n > 0) {
        for (std::int32_t k = q->start; k <= q->stop; ++k) free_quoly(arp_cell(k));
        close_gap(q->stop, n);
      }
    }
    for (arrptr chain : arr_store)
      for (arrptr a = chain; a != nullptr; a = a->next) {
        if (a->spar == nullptr && n > 0 && (a->time > stamp || -a->time > stamp)) {
          a->start -= n;
          a->stop -= n;
        }
        if (a->time == -stamp) {
          if (typed_at_top(env)) {
            std::printf(" Warning. Encountered array parameter named %s,", a->name.name);
            std::printf(" which is an alias of %s.  Delete it immediately.\n", env.oldtok.name);
          } else {
            dangling = a;
          }
        }
      }
  }
  q->spar = nullptr;
  free_array_record(q);
  if (dangling != nullptr) abort_cancel(env, dangling_parameter_error, &dangling->name);
}

// env.i, env.p, env.s: the bucket, the first function named by the current
// token and its predecessor; error 20 when there is none.
void find_pointer(single_rubout_EnvRec& env) {
  env.i = hash(token.name, func_buckets);
  env.s = nullptr;
  for (funcptr f = func_store[env.i]; f != nullptr; env.s = f, f = f->next)
    if (std::strcmp(f->name.name, token.name) == 0) {
      env.p = f;
      return;
    }
  error(no_such_function_cancel_error, &token);
  throw cancel_aborted{};
}

// Takes the function found by find_pointer out of its chain; it is freed
// once no call of it is running.
void unlink_function(single_rubout_EnvRec& env) {
  if (env.s == nullptr)
    func_store[env.i] = env.p->next;
  else
    env.s->next = env.p->next;
  retire_function(env.p);
}

void expect(const char* closing, std::int32_t code) {
  if (!is_tok(closing)) {
    error(code, &token);
    throw cancel_aborted{};
  }
}

// "[" current: the array forms.
void cancel_arrays(textptr inf, single_rubout_EnvRec& env) {
  scanner(inf, &token, env.flag);
  if (is_tok("<")) {
    error(system_array_not_allowed_error, &token);
    throw cancel_aborted{};
  }
  if (is_tok("*")) {
    scanner(inf, &token, env.flag);
    if (is_tok("*")) {
      for (std::int32_t b = 0; b < arr_buckets; ++b)
        while (arr_store[b] != nullptr) {
          env.oldtok = arr_store[b]->name;
          env.oldtok.address = static_cast<std::int16_t>(b);
          removearray(true, env);
        }
    } else {
      if (!lower_name(&token)) {
        error(no_such_array_error, &token);
        throw cancel_aborted{};
      }
      env.oldtok = token;
      bool any = false;
      for (removearray(true, env); env.r != nullptr; removearray(true, env)) any = true;
      if (!any) {
        error(no_such_array_error, &env.oldtok);
        throw cancel_aborted{};
      }
    }
  } else {
    env.oldtok = token;
    removearray(false, env);
  }
  scanner(inf, &token, env.flag);
  expect("]", close_bracket_expected_24_error);
}

// "<" current: keep the newest definition, remove the older ones.
void cancel_older(textptr inf, single_rubout_EnvRec& env) {
  scanner(inf, &token, env.flag);
  if (upper_name(&token)) {
    find_pointer(env);
    for (funcptr prev = env.p; prev->next != nullptr;) {
      funcptr f = prev->next;
      if (std::strcmp(f->name.name, token.name) == 0) {
        prev->next = f->next;
        retire_function(f);
      } else {
        prev = f;
      }
    }
    scanner(inf, &token, env.flag);
    expect(">", greater_expected_error);
    return;
  }
  if (!is_tok("[")) {
    error(bad_symbol_after_less_error, &token);
    throw cancel_aborted{};
  }
  scanner(inf, &token, env.flag);
  env.oldtok = token;
  arrptr kept = find_array(&env.oldtok);
  if (kept == nullptr) {
    error(no_such_array_error, &env.oldtok);
    throw cancel_aborted{};
  }
  env.u2 = kept;
  env.u2_name = kept->name;
  std::strcpy(kept->name.name, " temp*");
  for (removearray(true, env); env.r != nullptr; removearray(true, env)) {
  }
  env.give_name_back();
  scanner(inf, &token, env.flag);
  expect("]", close_bracket_expected_24_error);
  scanner(inf, &token, env.flag);
  expect(">", greater_expected_error);
}

void single_rubout(textptr inf, nameptr* flag) {
  single_rubout_EnvRec env;
  env.flag = flag;
  try {
    if (lower_name(&token)) {
      remove_variable(&token);
    } else if (is_tok("[")) {
      cancel_arrays(inf, env);
    } else if (upper_name(&token)) {
      find_pointer(env);
      unlink_function(env);
    } else if (is_tok("<")) {
      cancel_older(inf, env);
    } else {
      error(nothing_name_can_cancelled_error, &token);
    }
  } catch (const cancel_aborted&) {
  }
}

}  // namespace

void rubout(textptr inf, nameptr* flag) {
  // Borrowed cells of an open matrix expression may point into any array.
  if (cancelflag > 0) abandon(cannot_cancel_while_array_expression_evaluated_error, &token);
  scanner(inf, &token, flag);
  if (!is_tok("(")) {
    single_rubout(inf, flag);
    return;
  }
  for (;;) {
    scanner(inf, &token, flag);
    single_rubout(inf, flag);
    scanner(inf, &token, flag);
    if (is_tok(")")) return;
    if (!is_tok(",")) {
      error(comma_close_paren_expected_cancel_list_error, &token);
      return;
    }
  }
}

}  // namespace tavrin
