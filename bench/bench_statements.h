// Runs a text of statements through the dispatcher, as the command loop
// would, each value freed: the benchmarks' way to set up arrays and rings.
#pragma once

#include <string>

#include "core/globals.h"
#include "numbers/freelists.h"
#include "numbers/work_arrays.h"
#include "toplevel/charsets.h"
#include "toplevel/chdat.h"
#include "toplevel/dispatch.h"
#include "toplevel/platform.h"
#include "toplevel/scanner.h"
#include "toplevel/start_tables.h"
#include "toplevel/state.h"
#include "frontend/data_files.h"
#include "bench_ring.h"

namespace tavrin::bench {

// The value of the one statement text (nil when it gives none), read by
// `read` (a statement, or old_expre for an expression); the caller frees it.
inline quoly statement_value(const std::string& text,
                             void (*read)(textptr, quolyptr, nameptr*) = parse) {
  TextInput in(text);
  FILEPtr stream = &in;
  tt_flag = false;
  leftover[0] = '\0';
  scanner(&stream, &token, &zilch);
  quoly value = nullptr;
  read(&stream, &value, &zilch);
  return value;
}

inline void run_statements(const std::string& text) {
  TextInput in(text);
  FILEPtr stream = &in;
  tt_flag = false;
  leftover[0] = '\0';
  for (;;) {
    scanner(&stream, &token, &zilch);
    if (in.at_eof() && token.name[0] == ';') break;
    quoly value = nullptr;
    parse(&stream, &value, &zilch);
    free_quoly(&value);
    if (in.at_eof()) break;
    in.get();
  }
}

// The tables read and x, y, z, w adjoined, once per program, with the
// character sets and tokens the statement readers need.
inline void adjoin_xyzw_once() {
  if (polynames != nullptr) return;
  initialize(TAVRIN_BENCH_DATA_DIR);
  init_character_sets();
  make_token_ring();
  adjoin_variables({"x", "y", "z", "w"});
}

// Reads the data directory and sets up the tables and work areas the
// statements need (the pools are the caller's), then adjoins x.
inline void start_with_x() {
  initialize(TAVRIN_BENCH_DATA_DIR);
  allocate_work_areas();
  init_character_sets();
  make_token_ring();
  addresser = 1;
  first_available = 1;
  run_statements("&(J = x)\n");
}

}  // namespace tavrin::bench
