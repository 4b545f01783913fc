#include "support/statements.h"

#include <algorithm>
#include <cstdio>
#include <iterator>

#include "core/globals.h"
#include "core/mode_guard.h"
#include "numbers/freelists.h"
#include "poly/poly_repr.h"
#include "toplevel/charsets.h"
#include "toplevel/dispatch.h"
#include "toplevel/platform.h"
#include "toplevel/scanner.h"
#include "toplevel/state.h"
#include "lang/expressions.h"
#include "lang/variables.h"
#include "arrays/array_store.h"
#include "arrays/sparse_store.h"
#include "arrays/targets.h"
#include "support/data_tables.h"
#include "support/output_capture.h"
#include "support/value_form.h"

namespace tavrin::test {

StatementRun run_statements(const std::string& text, const StatementOptions& options) {
  TextInput in(text);
  FILEPtr stream = &in;
  ScopedValue<FILEPtr> input(Input, options.as_input ? &in : Input);
  leftover[0] = '\0';
  StatementRun run;
  for (;;) {
    scanner(&stream, &token, &zilch);
    if (in.at_eof() && token.name[0] == ';') break;
    quoly value = nullptr;
    bool unwound = false;
    const std::string out = output_of([&] { parse(&stream, &value, &zilch); }, &unwound);
    run.printed += out;
    if (!unwound) {
      run.last = value == nullptr ? "nil" : value_text(value);
      if (value != nullptr) run.latest = run.last;
    }
    if (options.free_with_limbs) {
      BigModeGuard limbs_too;
      free_quoly(&value);
    } else {
      free_quoly(&value);
    }
    if (unwound) {
      run.unwound = true;
      run.failed = out;
      break;
    }
    if (in.at_eof()) break;
    if (options.drop_line)
      in.drop_line();
    else
      in.get();  // the line end that ended the statement
  }
  return run;
}

std::string parse_statement(const std::string& text, quoly* value, bool* unwound) {
  TextInput in(text);
  FILEPtr stream = &in;
  leftover[0] = '\0';
  scanner(&stream, &token, &zilch);
  return output_of([&] { parse(&stream, value, &zilch); }, unwound);
}

std::int32_t reported_error(const std::string& out) {
  if (out.find("Inappropriate") == std::string::npos) return 0;
  for (std::int32_t code = 1; code < 378; ++code)
    if (reports(out, code)) return code;
  return 0;
}

void install_interpreter() {
  load_data_tables();
  init_character_sets();
  make_token_ring();
  install_language();
  install_arrays();
}

void clear_arrays() {
  for (arrptr& head : arr_store) {
    while (head != nullptr) {
      arrptr a = head;
      head = a->next;
      if (a->spar != nullptr) free_sparse(&a->spar, a->rows, true);
      special_free(&a->sizearr);  // its limbs, in any ring (as the program frees it)
      a->sizearr = number{};
      a->next = arr_garb;
      arr_garb = a;
    }
  }
  for (std::int32_t i = 0; i <= endarr; ++i) free_quoly(arp_cell(i));
  endarr = -1;
}

namespace {

// A token for name, looked up by its hash (address -1).
tokentipe name_token(const std::string& name) {
  tokentipe t{};
  std::snprintf(t.name, sizeof t.name, "%s", name.c_str());
  t.address = -1;
  return t;
}

}  // namespace

varptr variable_named(const std::string& name) {
  tokentipe t = name_token(name);
  return find_var(&t);
}

arrptr array_named(const std::string& name) {
  tokentipe t = name_token(name);
  return find_array(&t);
}

void clear_scalar_variables() {
  for (varptr& bucket : sca_store) {
    while (bucket != nullptr) {
      varptr v = bucket;
      bucket = v->next;
      free_quoly(&v->val);
      v->next = var_garb;
      var_garb = v;
    }
  }
}

void clear_variables_and_polynomial_names() {
  clear_scalar_variables();
  while (polynames != nullptr) delete_poly_name(1);
  number_polys = 0;
  for (auto& row : polyvar) std::fill(std::begin(row), std::end(row), '\0');
}

std::string last_value_or_error(const std::string& text) {
  const StatementRun r = run_statements(text);
  if (!r.unwound) return r.last;
  return "error " + std::to_string(reported_error(r.failed));
}

void leave_to_the_rationals() {
  clear_variables_and_polynomial_names();
  changed_in_modmode = false;
  run_statements("&(p = _i)");
}

}  // namespace tavrin::test
