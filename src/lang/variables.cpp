#include "lang/variables.h"

#include <cstdio>
#include <cstring>

#include "core/error_codes.h"
#include "core/errors.h"
#include "core/globals.h"
#include "numbers/freelists.h"
#include "numbers/mod_journal.h"
#include "poly/poly_repr.h"
#include "quoly/quoly_add.h"
#include "toplevel/charsets.h"
#include "toplevel/state.h"
#include "lang/expressions.h"
#include "lang/statements.h"
#include "lang/written_places.h"

namespace tavrin {

varptr var_garb = nullptr;

namespace {

bool is_name(const tokentipe* x, const char* w) { return std::strcmp(x->name, w) == 0; }

// A variable standing for an array argument of a running user function.
bool is_array_marker(quoly v) { return v != nullptr && v->numb && v->arr_arg; }

}  // namespace

varptr new_var_record(const tokentipe& let, quoly value) {
  varptr v = var_garb;
  if (v != nullptr) {
    var_garb = v->next;
  } else {
    v = new varnode{};
  }
  v->let = let;
  v->next = nullptr;
  v->qp = nullptr;
  v->val = value;
  return v;
}

void free_var_record(varptr v) {
  ++places_removed;
  free_quoly(&v->val);
  v->qp = nullptr;
  v->next = var_garb;
  var_garb = v;
}

std::int32_t var_bucket(const tokentipe* x) {
  if (x->address >= 0 && x->address < sca_buckets) return x->address;
  return hash(x->name, sca_buckets);
}

varptr find_var(const tokentipe* x) {
  for (varptr v = sca_store[var_bucket(x)]; v != nullptr; v = v->next)
    if (std::strcmp(v->let.name, x->name) == 0) return v;
  return nullptr;
}

void insert_var(const tokentipe* x, quoly num, varptr* q) {
  if (num->numb) num->arr_arg = false;
  const std::int32_t b = var_bucket(x);
  for (varptr v = sca_store[b]; v != nullptr; v = v->next) {
    if (std::strcmp(v->let.name, x->name) == 0) {
      free_quoly(&v->val);
      v->val = num;
      *q = v;
      return;
    }
  }
  varptr v = new_var_record(*x, num);
  v->next = sca_store[b];
  sca_store[b] = v;
  *q = v;
}

namespace {

// *n := 0 for an array parameter x met where a number is wanted, with the
// warning that says so ("what" ends its first line).
void array_parameter_as_zero(const tokentipe* x, quolyptr n, const char* what) {
  quoly_set(0, n);
  std::printf("Warning. %s is an array parameter%s.\n", x->name, what);
  std::printf("  Value 0 used for %s.\n", x->name);
  std::fflush(stdout);
}

}  // namespace

void retrieve(const tokentipe* x, quolyptr* qp, quolyptr n, textptr inf, nameptr* flag) {
  if (varptr v = find_var(x); v != nullptr) {
    *qp = &v->val;
    locate_variable(v);
    if (is_array_marker(v->val)) {
      array_parameter_as_zero(x, n, " used as a scalar");
      *qp = n;
    }
    return;
  }
  *qp = nullptr;
  if (!is_name(x, "for") && !is_name(x, "if") && !is_name(x, "while")) return;
  if (*flag != nullptr) {
    error(if_while_not_allowed_error, x);
    return;
  }
  sys_func_token = token;
  token = *x;
  doing_sys_func = true;
  call_sys_func(inf, n, flag);
  *qp = n;
}

void iretrieve(const tokentipe* x, quolyptr* qp) {
  varptr v = find_var(x);
  if (v == nullptr) {
    *qp = nullptr;
    return;
  }
  if (!v->val->numb) {
    error(not_number_error, x);
    return;
  }
  *qp = &v->val;
}

void spec_retrieve(const tokentipe* x, quolyptr n, quolyptr* qp) {
  varptr v = find_var(x);
  if (v == nullptr) {
    quoly_set(0, n);
    error(undefined_variable_error, x);
    return;
  }
  *qp = &v->val;
  locate_variable(v);
  if (is_array_marker(v->val)) {
    array_parameter_as_zero(x, n, "");
    return;
  }
  quoly_assign(v->val, n);
}

void get_arr_arr(textptr inf, quolyptr n, nameptr* flag, std::int32_t* m) {
  scanner(inf, &token, flag);
  if (!is_name(&token, "[")) error(open_bracket_expected_after_percent_error, &token);
  scanner(inf, &token, flag);
  std::int32_t k = 0;
  {
    ModularBracket integers;
    old_expre(inf, n, flag);
    if (!is_name(&token, "]")) error(close_bracket_expected_after_index_error, &token);
    if (!(*n)->numb) {
      error(index_not_number_error, &token);
    } else {
      const std::int32_t v = quoly_convert_to_int(*n);
      k = v == no_int_value ? -1 : v - addresser;
    }
  }
  *m = k;
  if (k < 0 || k >= arrstash_slots) error(index_outside_0_399999_error, &token);
}

std::int32_t fasterlookup(tokentipe* x, arrptr* q, textptr inf, nameptr* flag) {
  if (is_name(x, "<")) {
    *q = syst;
    return 0;
  }
  if (!is_name(x, "%")) return fastestlookup(x, q);
  std::int32_t m = 0;
  {
    ValueCell index;
    get_arr_arr(inf, &index.q, flag, &m);
  }
  *q = arrstash == nullptr || m < 0 || m >= arrstash_slots ? nullptr : arrstash[m];
  if (*q == nullptr) {
    error(empty_slot_store_arrays_error, &token);
    return -1;
  }
  return (*q)->start;
}

}  // namespace tavrin
