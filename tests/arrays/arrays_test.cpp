// Arrays in-process: random dense and sparse arrays against a test-side
// model, the store's limits, the counted warning, the value cells of
// targets, and the readers of the built-ins.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "core/error_codes.h"
#include "core/globals.h"
#include "core/jumps.h"
#include "core/mode_guard.h"
#include "numbers/freelists.h"
#include "numbers/work_arrays.h"
#include "poly/poly_repr.h"
#include "toplevel/dispatch.h"
#include "toplevel/scanner.h"
#include "toplevel/state.h"
#include "lang/expressions.h"
#include "lang/variables.h"
#include "arrays/array_operands.h"
#include "arrays/array_store.h"
#include "arrays/builtin_dispatch.h"
#include "arrays/second_builtins.h"
#include "arrays/sparse_store.h"
#include "arrays/targets.h"
#include "support/modulus_scope.h"
#include "support/output_capture.h"
#include "support/poly_support.h"
#include "support/statements.h"
#include "support/value_form.h"

namespace tavrin::test {
namespace {

// "error N" for the report in out: the code whose message line follows the
// report's first line (several codes may share a text; the first wins).
std::string error_code(const std::string& out) {
  const std::size_t at = out.find("Inappropriate symbol");
  if (at == std::string::npos) return "error";
  const std::size_t line = out.find('\n', at) + 1;
  const std::string message = out.substr(line, out.find('\n', line) - line + 1);
  for (int code = 1; code < 378; ++code)
    if (output_of([code] { out_err_mess(code); }) == message)
      return "error " + std::to_string(code);
  return "error";
}

// The entries of a sparse row list must be strictly increasing, non-zero
// and within the columns.
void expect_rows_sound(arrptr q) {
  const std::int32_t cols = array_cols(q);
  for (std::int32_t r = 1; r <= q->rows; ++r) {
    std::int32_t last = 0;
    for (colm_ptr e = *sparse_row(q->spar, r); e != nullptr; e = e->next) {
      EXPECT_GT(e->coord, last) << q->name.name << " row " << r;
      EXPECT_LE(e->coord, cols);
      EXPECT_FALSE(sparse_val_iszero(e->val));
      last = e->coord;
    }
  }
}

class Arrays : public testing::Test {
 protected:
  Arrays() {
    install_interpreter();
    clear_arrays();
    addresser = 1;
    if (numblocks < -1) numblocks = -1;
    first_available = 1;
    uninit = 0;
  }
  ~Arrays() override {
    clear_arrays();
    addresser = 1;
  }

  // Runs the statements of `text`, one a line; the value of the last as
  // value_text, or "error N" for the first that reports user error N.
  std::string run(const std::string& text) {
    const StatementRun r = run_statements(text);
    printed_ = r.printed;
    return r.unwound ? error_code(r.failed) : r.last;
  }
  static std::string value(const std::string& s) { return value_text(make_value(s)); }
  // What the last run printed.
  std::string printed_;
  // The statement reports user error code (codes may share a message text).
  bool fails_with(const std::string& statement, std::int32_t code) {
    return run(statement).rfind("error", 0) == 0 && reports(printed_, code);
  }
};

// The model of one array: its shape and its non-zero entries by (row, column)
// from 0.
struct model_array {
  std::int32_t rows, cols;
  bool sparse;
  std::map<std::pair<std::int32_t, std::int32_t>, std::int64_t> entries;
};

TEST_F(Arrays, RandomArraysAgreeWithAModel) {
  std::mt19937 gen(20261207);
  const char* const names[] = {"a", "b", "mat", "v2"};
  for (const std::int32_t origin : {1, 0}) {
    addresser = origin;
    std::map<std::string, model_array> model;
    for (int round = 0; round < 14; ++round) {
      const std::string name = names[gen() % 4];
      const bool big = gen() % 4 == 0;
      const std::int32_t rows = big ? 2000 + static_cast<std::int32_t>(gen() % 1001)
                                    : 1 + static_cast<std::int32_t>(gen() % 9);
      const std::int32_t cols = 1 + static_cast<std::int32_t>(gen() % (big ? 3 : 6));
      const bool sparse = gen() % 2 == 0;
      const std::int32_t endarr_before = endarr;
      ASSERT_EQ(run("Array " + name + "[" + std::to_string(rows) + "," + std::to_string(cols) +
                    "]" + (sparse ? " Sparse" : "") + ";"),
                value("0"));
      EXPECT_EQ(endarr, sparse ? endarr_before : endarr_before + rows * cols);
      model[name] = model_array{rows, cols, sparse, {}};
      model_array& m = model[name];
      for (int op = 0; op < 40; ++op) {
        const std::int32_t r = static_cast<std::int32_t>(gen() % rows);
        const std::int32_t c = static_cast<std::int32_t>(gen() % cols);
        const bool linear = gen() % 2 == 0;
        const std::string at =
            name + "[" +
            (linear ? std::to_string(c * rows + r + origin)
                    : std::to_string(r + origin) + "," + std::to_string(c + origin)) +
            "]";
        if (gen() % 2 == 0) {
          const std::int64_t v = static_cast<std::int64_t>(gen() % 7) - 3;
          ASSERT_EQ(run(at + " := " + std::to_string(v) + ";"), value(std::to_string(v))) << at;
          if (v == 0) {
            m.entries.erase({r, c});
          } else {
            m.entries[{r, c}] = v;
          }
        } else {
          const auto it = m.entries.find({r, c});
          EXPECT_EQ(run(at + ";"), value(std::to_string(it == m.entries.end() ? 0 : it->second)))
              << at;
        }
      }
      // Past the last column, and below the origin, is error 27.
      EXPECT_EQ(run(name + "[" + std::to_string(rows * cols + origin) + "];"), "error 27");
      EXPECT_EQ(run(name + "[" + std::to_string(origin - 1) + "," + std::to_string(origin) + "];"),
                "error 27");
      if (sparse) {
        tokentipe key{};
        std::strcpy(key.name, name.c_str());
        key.address = -1;
        arrptr q = find_array(&key);
        expect_rows_sound(q);
        std::size_t stored = 0;
        for (std::int32_t row = 1; row <= rows; ++row)
          for (colm_ptr e = *sparse_row(q->spar, row); e != nullptr; e = e->next) ++stored;
        EXPECT_EQ(stored, m.entries.size());
      }
    }
    // Every name reads back its newest declaration.
    for (const auto& [name, m] : model)
      for (const auto& [rc, v] : m.entries)
        EXPECT_EQ(run(name + "[" + std::to_string(rc.first + origin) + "," +
                      std::to_string(rc.second + origin) + "];"),
                  value(std::to_string(v)));
    clear_arrays();
  }
}

// A sparse declaration is held to the memory budget by the frames of its
// rows, ceil(rows / 2048) of them: at the budget it is made, one row past it
// it is refused with the sparse store's error 250, not the dense limit's 43
// (which a sparse array of any entry count never meets), and nothing is
// declared. The dense limit still speaks for dense arrays.
TEST_F(Arrays, SparseDeclarationsPastTheBudgetSaySo) {
  const std::int32_t frames = 3;
  ScopedValue<std::uint64_t> budget(totalavailablememory, frames * sizeof(rowarray));
  const std::string rows = std::to_string(frames * sparse_frame_rows);
  EXPECT_EQ(run("Array s1[" + rows + ",5000] Sparse;"), value("0"));
  for (const std::string& declared :
       {"s2[" + std::to_string(frames * sparse_frame_rows + 1) + ",5]",
        std::string("s4[50000000,5]")}) {
    const std::string statement = "Array " + declared + " Sparse;";
    EXPECT_TRUE(fails_with(statement, sparse_matrix_too_large_operation_error)) << printed_;
    EXPECT_FALSE(reports(printed_, array_too_large_more_than_1000000_error)) << printed_;
    tokentipe name{};
    std::strncpy(name.name, declared.c_str(), 2);
    name.address = -1;
    EXPECT_EQ(find_array(&name), nullptr) << statement;
  }
  EXPECT_TRUE(fails_with("Array d[1000,1001];", array_too_large_more_than_1000000_error))
      << printed_;
}

TEST_F(Arrays, DeclarationsAndTheirErrors) {
  const std::pair<const char*, const char*> cases[] = {
      {"Array b[0,5];", "error 27"},  {"Array b[-1,5];", "error 314"},
      {"Array b[1/2];", "error 118"}, {"Array B[2];", "error 40"},
      {"Array b[2;", "error 61"},     {"Array b;", "error 178"},
      {"Array b[1000,1000];", "0"},   {"Array b[1000,1001];", "error 43"},
      {"Array b[2049] Sparse;", "0"}, {"Array b[0] Sparse;", "error 27"},
      {"Array b[2^40];", "error 27"},
  };
  for (const auto& [statement, want] : cases) {
    const std::string w = want;
    if (w.rfind("error ", 0) == 0) {
      EXPECT_TRUE(fails_with(statement, std::stoi(w.substr(6)))) << statement;
    } else {
      EXPECT_EQ(run(statement), value(w)) << statement;
    }
  }
  // A failing second declaration leaves the first made.
  EXPECT_EQ(run("Array p[2,3], Q[4] Sparse;"), "error 40");
  EXPECT_EQ(run("p[2,3] := 4:\np[6];"), value("4"));
  // An older array of the same name is hidden, not removed.
  EXPECT_EQ(run("Array h[2]:\nh[2] := 7:\nArray h[3]:\nh[2];"), value("0"));
  tokentipe h{"h", -1};
  ASSERT_NE(find_array(&h), nullptr);
  ASSERT_NE(find_array(&h)->next, nullptr);
  EXPECT_EQ(std::strcmp(find_array(&h)->next->name.name, "h"), 0);
  // A linear array is one column; a[3,1] is not linear.
  EXPECT_EQ(run("Array l[3], n[3,1];"), value("0"));
  tokentipe l{"l", -1}, n{"n", -1};
  EXPECT_TRUE(find_array(&l)->linear);
  EXPECT_FALSE(find_array(&n)->linear);
  {
    PolyVars vars{"x"};
    EXPECT_EQ(run("Array x[2];"), "error 125");
  }
  {
    // Dimensions and subscripts are ordinary integers in modular arithmetic.
    ModulusScope mod(7);
    EXPECT_EQ(run("Array d[10]:\nd[10] := 1:\nd[10];"), value("1"));
    tokentipe d{"d", -1};
    EXPECT_EQ(find_array(&d)->rows, 10);
  }
  addresser = 0;
  EXPECT_EQ(run("Array e[3,2]:\ne[0] := 5:\ne[2,1] := 6:\ne[0,0];"), value("5"));
  tokentipe e{"e", -1};
  EXPECT_TRUE((*arp_cell(find_array(&e)->start))->numb);
  EXPECT_EQ(run("e[5];"), value("6"));
}

// Per-variable cut-offs from an array: number cells set the adjoined
// variables from the top down, empty cells count without moving on, the
// first cell also sets poly_cutoff (40 below 6), and the walk ends after
// as many cells as variables.
TEST_F(Arrays, CutOffsFromAnArray) {
  ScopedValue<std::int32_t> keep(poly_cutoff, poly_cutoff);
  PolyVars vars{"x", "y", "z"};
  std::vector<std::int32_t> before;
  for (polypt p = polynames; p != nullptr; p = p->next) before.push_back(p->polycut);
  run("Array c[4]:\nc[1] := 8: c[3] := 7: c[4] := 9:");
  EXPECT_EQ(run("&(# = [c])"), value("0"));
  std::vector<std::int32_t> after;
  for (polypt p = polynames; p != nullptr; p = p->next) after.push_back(p->polycut);
  EXPECT_EQ(after, (std::vector<std::int32_t>{8, 7, before[2]}));
  EXPECT_EQ(poly_cutoff, 8);
  run("Array d[2]:\nd[1] := 3:");
  EXPECT_EQ(run("&(# = [d])"), value("0"));
  EXPECT_EQ(poly_cutoff, 40);
  EXPECT_EQ(polynames->polycut, 8);  // 3 is below the least cut-off
  run("Array f[2]:");
  EXPECT_EQ(run("&(# = [f])"), value("0"));  // the empty-array warning, nothing set
  EXPECT_EQ(poly_cutoff, 40);
  EXPECT_EQ(run("&(# = [c[1]])"), "error 258");
}

TEST_F(Arrays, StoreLimitsPagesAndFrames) {
  tokentipe t{"t", -1};
  insertarr(&t, 1024, 1, true);  // cells 0 .. 1023
  EXPECT_EQ(numblocks >= 0 ? arp[0] != nullptr : false, true);
  const std::int32_t pages = numblocks;
  EXPECT_GE(pages, 0);
  EXPECT_EQ(endarr, 1023);
  insertarr(&t, 1, 1, true);  // cell 1024 needs the second page
  EXPECT_GE(numblocks, 1);
  EXPECT_NE(arp[1], nullptr);
  clear_arrays();
  for (int k = 0; k < 5; ++k) insertarr(&t, 1000, 1000, false);
  insertarr(&t, 119, 1000, false);
  EXPECT_EQ(endarr, 5118999);
  EXPECT_EQ(run("Array w[1001];"), "error 26");
  EXPECT_EQ(endarr, 5118999) << "a refused array changes nothing";
  EXPECT_EQ(run("Array w[1000];"), value("0"));
  EXPECT_EQ(endarr, last_cell_index);
  EXPECT_EQ(run("w[1000] := 3:\nw[1000];"), value("3"));
  EXPECT_EQ(run("Array z[1];"), "error 26");
  EXPECT_EQ(run("Array z[1] Sparse;"), value("0")) << "sparse arrays take no cells";
  clear_arrays();
  for (const auto& [rows, frames] : {std::pair{2048, 1}, std::pair{2049, 2}, std::pair{1, 1}}) {
    sparse_create(&t, rows, 3, false, true);
    int count = 0;
    for (sparseptr f = find_array(&t)->spar; f != nullptr; f = f->next) ++count;
    EXPECT_EQ(count, frames) << rows;
  }
}

// Frames come back from the free list with the heads they held: a fresh
// matrix still reads every one of its rows empty, on both sides of a frame's
// last row.
TEST_F(Arrays, RecycledFramesStartWithEmptyRows) {
  colm_ptr stale = nullptr;
  newcolm(&stale);
  stale->coord = 1;
  stale->next = nullptr;
  stale->val = nullptr;
  for (const std::int32_t rows : {1, 7, 2047, 2048, 2049, 4097}) {
    sparseptr old = nullptr;
    sparse_init(&old, 4100);
    sparseptr last = old;
    for (std::int32_t r = 1; r <= 4100; ++r) *sparse_row(old, r) = stale;
    while (last->next != nullptr) last = last->next;
    free_frame_list(old, last);
    sparseptr sp = nullptr;
    sparse_init(&sp, rows);
    std::int32_t frames = 0;
    for (sparseptr f = sp; f != nullptr; f = f->next) ++frames;
    EXPECT_EQ(frames, (rows + 2047) / 2048) << rows;
    std::int32_t filled = 0;
    for (std::int32_t r = 1; r <= rows; ++r) {
      colm_ptrptr head = sparse_row(sp, r);
      filled += *head != nullptr ? 1 : 0;
      *head = nullptr;  // a stale head is not freed twice
    }
    EXPECT_EQ(filled, 0) << rows;
    free_sparse(&sp, rows, true);
  }
  free_colm_list(stale, stale);
}

TEST_F(Arrays, UninitialisedCellsWarnTwentyTimes) {
  ASSERT_EQ(run("Array u[30];"), value("0"));
  std::string text;
  for (int k = 1; k <= 25; ++k) text += "[" + std::to_string(k) + "] ";
  TextInput in(text);
  FILEPtr stream = &in;
  tokentipe u{"u", -1};
  uninit = 0;
  int cells = 0;
  const std::string out = output_of([&] {
    scanner(&stream, &token, &zilch);
    for (int k = 0; k < 25; ++k) {
      quolyptr cell = nullptr;
      arretrieve(&stream, &u, &zilch, &cell);  // leaves the next "[" current
      if (cell != nullptr && *cell != nullptr && (*cell)->numb) ++cells;
    }
  });
  EXPECT_EQ(cells, 25);
  EXPECT_EQ(occurrences(out, "Warning. Uninitialized array element in [u]"), 20u);
  EXPECT_NE(out.find(" ....etc...\n"), std::string::npos);
  EXPECT_EQ(out.find(" ....etc...\n"), out.rfind(" ....etc...\n"));
  // Reading an element in an expression sets it to 0 without a warning.
  EXPECT_EQ(run("Array v[2]:\nv[2];"), value("0"));
  EXPECT_EQ(printed_.find("Warning"), std::string::npos);
}

// The cell get_quoly_ptr designates for the statement text (its first token
// current), or "error N"; `after` receives the token left current.
std::string target_of(const std::string& text, quolyptr* cell, std::string* after) {
  TextInput in(text);
  FILEPtr stream = &in;
  leftover[0] = '\0';
  scanner(&stream, &token, &zilch);
  bool unwound = false;
  const std::string out = output_of([&] { get_quoly_ptr(cell, &stream, &zilch); }, &unwound);
  *after = token.name;
  return unwound ? error_code(out) : "ok";
}

// set_quotient of the value v into the target text.
std::string store_into(const std::string& text, std::int32_t v, char end_char) {
  TextInput in(text);
  FILEPtr stream = &in;
  leftover[0] = '\0';
  scanner(&stream, &token, &zilch);
  quoly m = nullptr;
  quoly_set(v, &m);
  bool unwound = false;
  const std::string out =
      output_of([&] { set_quotient(m, &stream, &zilch, 1, end_char); }, &unwound);
  return unwound ? error_code(out) : "ok";
}

TEST_F(Arrays, ValueCellsOfTargets) {
  ASSERT_EQ(run("Array x[4,5]:\nArray s[4,5] Sparse:\na := 5;"), value("5"));
  tokentipe xn{"x", -1};
  const std::int32_t start = find_array(&xn)->start;
  quolyptr cell = nullptr;
  std::string after;
  EXPECT_EQ(target_of("x[2,3], 1", &cell, &after), "ok");
  EXPECT_EQ(cell, arp_cell(start + 1 + 2 * 4));
  EXPECT_EQ(after, ",");
  EXPECT_EQ(target_of("x[7])", &cell, &after), "ok");
  EXPECT_EQ(cell, arp_cell(start + 6));
  EXPECT_EQ(target_of("x[5,1]", &cell, &after), "error 27");
  EXPECT_EQ(target_of("a, 1", &cell, &after), "ok");
  tokentipe an{"a", -1};
  EXPECT_EQ(cell, &find_var(&an)->val);
  EXPECT_EQ(target_of("b, 1", &cell, &after), "error 19");
  EXPECT_EQ(target_of("<[1]", &cell, &after), "error 243");
  EXPECT_EQ(target_of("y[1]", &cell, &after), "error 28");
  EXPECT_EQ(target_of("s[2,3])", &cell, &after), "ok");
  EXPECT_EQ(cell, nullptr) << "an absent sparse entry";

  EXPECT_EQ(store_into("q)", 9, ')'), "ok");
  EXPECT_EQ(store_into("q)", 8, ')'), "ok");
  EXPECT_EQ(store_into("s[2,3])", 4, ')'), "ok");
  EXPECT_EQ(store_into("s[10])", 6, ')'), "ok");  // the same entry (row 2, column 3)
  EXPECT_EQ(store_into("x[7])", 2, ')'), "ok");
  EXPECT_EQ(store_into("s[1,1])", 0, ')'), "ok");  // an absent entry stays absent
  EXPECT_EQ(store_into("Q)", 1, ')'), "error 232");
  EXPECT_EQ(store_into("<[1])", 1, ')'), "error 176");
  EXPECT_EQ(store_into("q;", 1, ')'), "error 1");
  EXPECT_EQ(run("q;"), value("8")) << "no end character: nothing is stored";
  EXPECT_EQ(run("s[2,3] + x[3,2];"), value("8"));
  tokentipe sn{"s", -1};
  EXPECT_EQ(*sparse_row(find_array(&sn)->spar, 1), nullptr);
  EXPECT_EQ(store_into("s[2,3])", 0, ')'), "ok");  // a present entry is deleted
  EXPECT_EQ(*sparse_row(find_array(&sn)->spar, 2), nullptr);
  {
    PolyVars vars{"t"};
    EXPECT_EQ(store_into("t)", 1, ')'), "error 125");
  }
}

TEST_F(Arrays, ReadersOfTheBuiltIns) {
  // get_level_k: the sum after the current token, read with modular
  // arithmetic off.
  auto level = [&](const std::string& text) -> std::string {
    TextInput in("( " + text + " )");
    FILEPtr stream = &in;
    leftover[0] = '\0';
    scanner(&stream, &token, &zilch);
    quoly n = nullptr;
    builtin_func1_EnvRec env{};
    env.inf = &stream;
    env.flag = &zilch;
    env.n = &n;
    bool unwound = false;
    const std::string out = output_of([&] { get_level_k(&env, true); }, &unwound);
    free_quoly(&n);
    return unwound ? error_code(out) : std::to_string(env.k);
  };
  EXPECT_EQ(level("-1"), "error 300");
  EXPECT_EQ(level("2^40"), "error 314");
  EXPECT_EQ(level("3*4 - 2"), "10");
  {
    PolyVars vars{"t"};
    EXPECT_EQ(level("t + 1"), "error 227");
  }
  {
    ModulusScope mod(5);
    EXPECT_EQ(level("7"), "7");
    EXPECT_TRUE(modularmode) << "the modular switch is restored";
  }

  // The pool: twenty work arrays, the 21st refused, the pool whole after.
  tokentipe w{"W", -1};
  std::vector<std::int32_t> taken;
  for (int k = 0; k < 20; ++k) {
    std::int32_t p = 0;
    new_worknode(&p, &w);
    taken.push_back(p);
  }
  EXPECT_EQ(taken.front(), 1);
  EXPECT_EQ(taken.back(), 20);
  bool unwound = false;
  const std::string out = output_of(
      [&] {
        std::int32_t p = 0;
        new_worknode(&p, &w);
      },
      &unwound);
  EXPECT_TRUE(unwound && reports(out, 88));
  for (int k = 0; k < 20; ++k) free_work();
  EXPECT_EQ(first_available, 1);

  // check_for_monic_poly.
  PolyVars vars{"x", "y"};
  struct monic_case {
    const char *numer, *denom;
    std::string want;  // "depth degree" or "error N"
  };
  const monic_case cases[] = {
      {"x^2 + 1", "", "1 2"},  {"y^3 + 2*y", "", "2 3"},     {"2*x + 1", "", "error 197"},
      {"1", "x", "error 196"}, {"x*y + 1", "", "error 197"},
  };
  for (const monic_case& c : cases) {
    Value v = Value::ratfun(c.numer, c.denom);
    std::int16_t depth = 0;
    std::int32_t degree = 0;
    poly p = nullptr, t = nullptr;
    bool failed = false;
    const std::string text =
        output_of([&] { check_for_monic_poly(282, v, &depth, &degree, &p, &t); }, &failed);
    const std::string got =
        failed ? error_code(text) : std::to_string(depth) + " " + std::to_string(degree);
    EXPECT_EQ(got, c.want) << c.numer;
    if (!failed && depth == 2) {
      EXPECT_NE(t, nullptr);
    }
  }
  Value number = Value::number(3);
  std::int16_t depth = 0;
  std::int32_t degree = 0;
  poly p = nullptr, t = nullptr;
  bool failed = false;
  const std::string text =
      output_of([&] { check_for_monic_poly(282, number, &depth, &degree, &p, &t); }, &failed);
  EXPECT_TRUE(failed && reports(text, 282));
}

// The block left_side selects for the operand text (after the opening "["):
// "rows cols start target_rows" or "error N".
struct operand_case {
  const char* text;
  const char* want;
};

TEST_F(Arrays, ArrayOperandsAndTheirBlocks) {
  ASSERT_EQ(run("Array a[4,5]:\nArray s[4,5] Sparse;"), value("0"));
  tokentipe an{"a", -1};
  const std::int32_t a0 = find_array(&an)->start;
  auto block_of = [&](const std::string& text) {
    TextInput in(text);
    FILEPtr stream = &in;
    leftover[0] = '\0';
    arrptr q = nullptr;
    std::int32_t rows = 0, cols = 0, start = 0, total = 0, fr = 0, fc = 0, target = 0;
    tokentipe old{};
    bool unwound = false;
    const std::string out = output_of(
        [&] {
          left_side(&stream, &q, &rows, &cols, &start, &total, &fr, &fc, &target, &old, &zilch,
                    false);
        },
        &unwound);
    if (unwound) return error_code(out);
    if (q != nullptr && q->spar == nullptr && start >= 0) start -= a0;
    return std::to_string(rows) + " " + std::to_string(cols) + " " + std::to_string(start) + " " +
           std::to_string(target) + (q == nullptr ? " nil" : "");
  };
  const operand_case cases[] = {
      {"a]", "4 5 -1 0"},      {"a[2~3, ~]]", "4 5 1 2"}, {"a[,2]]", "4 1 4 4"},
      {"a[3]]", "4 5 2 1"},    {"a[2~]]", "4 5 1 3"},     {"a[2~3, 4~5]]", "4 2 13 2"},
      {"s[2,3]]", "4 1 9 1"},  {"a[3~2]]", "error 57"},   {"a[0~2]]", "error 56"},
      {"a[1,6]]", "error 58"}, {"a[1,3~2]]", "error 59"}, {"zz]", "0 0 -1 0 nil"},
      {"zz[1]]", "error 55"},  {"A]", "error 42"},        {"<]", "error 176"},
      {"a[1]", "error 24"},
  };
  for (const operand_case& c : cases) EXPECT_EQ(block_of(c.text), c.want) << c.text;
}

// The two readers that clear denominators: of one value (basic_killden) and
// of the selected entries of an array (array_killden).
TEST_F(Arrays, DenominatorsAreCleared) {
  PolyVars vars{"x"};
  ASSERT_EQ(run("Array k[2,2]:\nk[1,1] := 1/2:\nk[2,1] := (x + 1)/(3*x):\nk[1,2] := 5/7:\n"
                "v := 3/(x - 1);"),
            value("3 / x - 1"));
  tokentipe kn{"k", -1};
  const std::int32_t k0 = find_array(&kn)->start;
  const auto numer = [](quoly q) { return value_parts(q).first; };
  const RefPoly n21 = numer(*arp_cell(k0 + 1));
  quoly n = nullptr;
  builtin_func1_EnvRec env{};
  env.flag = &zilch;
  env.n = &n;
  auto with_input = [&](const std::string& text, auto reader) {
    TextInput in(text);
    FILEPtr stream = &in;
    leftover[0] = '\0';
    env.inf = &stream;
    scanner(&stream, &token, &zilch);
    return output_of([&] { reader(&env); });
  };
  // The first column only ("[" already read before the operand).
  with_input("[ k[,1] ] ;", array_killden);
  EXPECT_EQ(value_text(*arp_cell(k0)), value("1"));
  EXPECT_EQ(numer(*arp_cell(k0 + 1)), n21);
  EXPECT_EQ((*arp_cell(k0 + 1))->denom, nullptr);
  EXPECT_EQ(value_text(*arp_cell(k0 + 2)), value("5 / 7")) << "column 2 is not selected";
  EXPECT_EQ(*arp_cell(k0 + 3), nullptr);
  // The whole array: the uninitialised cell becomes 0 with the plain warning.
  const std::string out = with_input("[ k ] ;", array_killden);
  EXPECT_NE(out.find("Warning. Uninitialized array element has been set to 0."), std::string::npos);
  EXPECT_EQ(value_text(*arp_cell(k0 + 2)), value("5"));
  EXPECT_EQ(value_text(*arp_cell(k0 + 3)), value("0"));
  with_input("( v ) ;", basic_killden);
  EXPECT_EQ(run("v;"), value("3"));
  EXPECT_STREQ(token.name, ";");
  free_quoly(&n);
}

// A value's structure, node for node (not its addresses).
std::string structure(quoly q) {
  if (q == nullptr) return "nil";
  if (q->numb) return value_text(q);
  return dump_poly(q->numer) + " / " + dump_poly(q->denom) + (q->rat ? " rat" : "");
}

// Every dense cell and sparse entry of the arrays.
std::vector<std::string> array_shapes() {
  std::vector<std::string> shapes;
  for (std::int32_t k = 0; k <= endarr; ++k) shapes.push_back(structure(*arp_cell(k)));
  for (arrptr a : arr_store)
    for (; a != nullptr; a = a->next)
      if (a->spar != nullptr)
        for (std::int32_t r = 1; r <= a->rows; ++r)
          for (colm_ptr e = *sparse_row(a->spar, r); e != nullptr; e = e->next)
            shapes.push_back(std::to_string(r) + "," + std::to_string(e->coord) + " " +
                             structure(e->val));
  return shapes;
}

TEST_F(Arrays, AdjoiningAndCancellingKeepEveryEntry) {
  run("&(J = t)");
  ASSERT_EQ(number_polys, 1);
  run("Array d[3,2]:\nd[1,1] := t^2 - 3:\nd[2,1] := 5:\nd[3,2] := (t + 1)/(t - 2):\n"
      "d[2,2] := 1/t^2:\n"
      "Array s[2500,3] Sparse:\ns[1,1] := 2*t:\ns[2049,2] := 7/(t^2 + 1):\ns[3,3] := -4:");
  const std::vector<std::string> before = array_shapes();
  run("&(J = u)");
  ASSERT_EQ(number_polys, 2);
  const quoly d11 = *arp_cell(0);
  ASSERT_FALSE(d11->numb);
  EXPECT_EQ(d11->numer->exp, 0) << "a pad over the old polynomial";
  EXPECT_FALSE(d11->numer->numb);
  EXPECT_NE(before, array_shapes());
  EXPECT_EQ(run("d[1,1] - s[1,1] + s[2049,2];"), run("t^2 - 3 - 2*t + 7/(t^2 + 1);"));
  // The Laurent switch moves the monomial denominators of the entries, and back.
  const std::vector<std::string> adjoined = array_shapes();
  run("&l");
  EXPECT_EQ((*arp_cell(4))->denom, nullptr) << "1/t^2 becomes t^-2";
  run("&l");
  EXPECT_EQ(adjoined, array_shapes());
  run("&(J = -u)");
  ASSERT_EQ(number_polys, 1);
  EXPECT_EQ(before, array_shapes());
  // Cancelling t itself: entries become their values at t = 1; a vanishing
  // denominator gives 1, and a sparse entry that becomes 0 is removed.
  run("s[3,1] := t - 1:\nd[3,2] := 1/(t - 1):");
  run("&(J = -t)");
  ASSERT_EQ(number_polys, 0);
  EXPECT_EQ(run("d[1,1];"), value("-2"));
  EXPECT_EQ(run("d[3,2];"), value("1"));
  EXPECT_EQ(run("s[2049,2];"), value("7 / 2"));
  tokentipe sn{"s", -1};
  EXPECT_EQ(*sparse_row(find_array(&sn)->spar, 3), find_array(&sn)->spar->indx[2]);
  ASSERT_NE(find_array(&sn)->spar->indx[2], nullptr);
  EXPECT_EQ(find_array(&sn)->spar->indx[2]->coord, 3) << "(3,1) became 0 and went";
  expect_rows_sound(find_array(&sn));
}

// An element by one subscript (an absent sparse entry created), the small
// primes against a sieve, subscripts by the floating rule (nearest integers).
TEST_F(Arrays, SingleSubscriptsPrimesAndFloatingSubscripts) {
  ASSERT_EQ(run("Array x[4,5]:\nArray s[4,5] Sparse:\nx[3,2] := 7;"), value("7"));
  tokentipe xn{"x", -1}, sn{"s", -1};
  arrptr q = nullptr;
  quolyptr cell = nullptr, again = nullptr;
  spec_lookup(&xn, 7, &q, &cell);  // down the columns: x[3,2]
  EXPECT_EQ(value_text(*cell), value("7"));
  spec_lookup(&sn, 10, &q, &cell);  // s[2,3], created holding 0
  spec_lookup(&sn, 10, &q, &again);
  const colm_ptr e = *sparse_row(q->spar, 2);
  EXPECT_TRUE(e->coord == 3 && e->next == nullptr && cell == &e->val && again == cell);
  EXPECT_TRUE(quoly_iszero(*cell));
  bool unwound = false;
  EXPECT_TRUE(reports(output_of([&] { spec_lookup(&sn, 21, &q, &cell); }, &unwound), 27) &&
              unwound);

  std::vector<bool> composite(10000, false);
  for (std::int32_t k = 2, n = 0; k < 10000; ++k) {
    if (composite[k]) continue;
    Value v = Value::number(++n);
    ASSERT_EQ(nth_prime(v.cell()), k) << n;
    for (std::int32_t m = k * k; m < 10000; m += k) composite[m] = true;
  }
  ScopedValue<bool> push(errorpush, true);  // the report returns, with 0
  ScopedValue<std::int32_t> in_statement(statcount, 1);
  Value past = Value::number(1230);
  std::int32_t p = -1;
  EXPECT_TRUE(reports(output_of([&] { p = nth_prime(past.cell()); }), 346));
  EXPECT_EQ(p, 0);
  EXPECT_EQ(run("Array f[3,2]:\nf[1] := 10:\nf[2] := 20:\nf[3,2] := 30:\n"
                "if 1 then Float; f[3/2] + 2*f[7 | 3] + f[5/2 + 1/5, 1.6] fi;"),
            value("70"));  // f[2] + 2 f[1] + f[3,2]
}

}  // namespace
}  // namespace tavrin::test
