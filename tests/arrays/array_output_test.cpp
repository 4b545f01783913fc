// Writing arrays and removing them: the display forms against known texts,
// the cancel statement against a model of the store, and arrays written to
// a file and read back as statements.
#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "core/globals.h"
#include "core/mode_guard.h"
#include "numbers/freelists.h"
#include "toplevel/dispatch.h"
#include "toplevel/output_file.h"
#include "toplevel/scanner.h"
#include "toplevel/state.h"
#include "lang/expressions.h"
#include "arrays/array_display.h"
#include "arrays/array_store.h"
#include "arrays/targets.h"
#include "support/node_accounting.h"
#include "support/output_capture.h"
#include "support/statements.h"
#include "support/value_form.h"

namespace tavrin::test {
namespace {

class ArrayOutput : public testing::Test {
 protected:
  ArrayOutput() {
    install_interpreter();
    addresser = 1;
    run("@[**];");
  }
  ~ArrayOutput() override { run("@[**];"); }

  // Runs the statements of text, one a line; what they printed, and
  // "error" when one unwound.
  std::string run(const std::string& text) {
    const StatementRun r = run_statements(text);
    return r.unwound ? r.printed + "error" : r.printed;
  }
  std::string value_of(const std::string& expr) {
    quoly v = nullptr;
    bool unwound = false;
    parse_statement(expr + ";", &v, &unwound);
    const std::string s = v == nullptr ? "nil" : value_text(v);
    free_quoly(&v);
    return s;
  }
  static arrptr array(const char* name) { return array_named(name); }
};

// What a writer puts into a file.
template <class F>
std::string file_text(F f) {
  std::FILE* tmp = std::tmpfile();
  f(tmp);
  std::rewind(tmp);
  std::string s;
  for (int c; (c = std::fgetc(tmp)) != EOF;) s += static_cast<char>(c);
  std::fclose(tmp);
  return s;
}

TEST_F(ArrayOutput, KnownForms) {
  run("Array a[2,3]:\nArray b[1,3]:\nArray c[2,2]:\nArray s[2,3] Sparse:\nArray v[3]:");
  run("a[1,1] := 1: a[1,2] := 2: a[1,3] := 3: a[2,1] := 4: a[2,2] := 5: a[2,3] := 6:");
  run("b[1,1] := 7: b[1,3] := -1:\nc[1,1] := 1/2: c[2,1] := 3: c[1,2] := 4: c[2,2] := 5:");
  run("s[1,1] := 5: s[1,3] := 2/3: s[2,2] := -2:");
  struct form {
    const char* array;
    bool pretty, tty;
    const char* text;
  };
  const form forms[] = {
      // A stored array at the terminal continues under its first entry.
      {"a", false, true, "[[  1,  2,  3, `\n            4,  5,  6   ]]\n"},
      {"b", false, true, "[[  7,  *,  -1  ]]\n"},
      {"v", false, true, "[[  *,  `\n            *,  `\n            *    ]]\n"},
      {"a", false, false,
       " a[ 1, 1] :=  1; \n  a[ 1, 2] :=  2; \n  a[ 1, 3] :=  3; \n"
       " a[ 2, 1] :=  4; \n  a[ 2, 2] :=  5; \n  a[ 2, 3] :=  6; \n"},
      {"c", true, false,
       "[c] := [( 1 / 2,\n          3,\n \n          4,\n          5 \n          )];\n"},
      {"s", false, false, "s[1, 1] := 5;\ns[1, 3] := 2 / 3;\ns[2, 2] := -2;\n \n"},
      {"s", true, true, ">[s] := [ [1, [1, 5], [3, 2 / 3] ] `"},
  };
  for (const form& f : forms) {
    arrptr q = array(f.array);
    ASSERT_NE(q, nullptr) << f.array;
    auto write = [&](std::FILE* out) {
      arrdisplay(out, &q->name, q, q->spar ? 0 : q->start, q->rows, array_cols(q), 1, 1, q->rows, 4,
                 {.outf_is_tty = f.tty, .pretty = f.pretty}, nullptr);
    };
    std::string text = f.tty ? output_of([&] { write(stdout); }) : file_text(write);
    if (f.pretty && f.tty) text = text.substr(0, std::string(f.text).size());
    // The bracketed terminal form of a stored array carries the prompt and
    // name; compare from the brackets on.
    if (!f.pretty && f.tty) text = text.substr(text.find("[["));
    EXPECT_EQ(text, f.text) << f.array;
  }
  {
    // The plain style separates rows by "], [" and drops the row's last ",".
    const arrptr q = array("a");
    ScopedValue<bool> plain(uglyprint, true);
    const std::string text = output_of([&] {
      arrdisplay(stdout, &q->name, q, q->start, 2, 3, 1, 1, 2, 4, {.outf_is_tty = true}, nullptr);
    });
    EXPECT_EQ(text.substr(text.find("[[")), "[[  1,  2,  3], [\n            4,  5,  6   ]]\n");
  }
  // The sparse row list in a file, and the declarations.
  EXPECT_EQ(file_text([&](std::FILE* out) { sparse_display(out, array("s"), false); }),
            "[s] := [ [1, [1, 5], [3, 2 / 3] ] \n         [2, [2, -2] ] ]; \n \n");
  EXPECT_EQ(file_text([&](std::FILE* out) {
              for (const char* n : {"a", "v", "s"}) arrdescribe(out, array(n));
            }),
            "Array a[2,3];\nArray v[3];\nArray s[2,3] Sparse;\n");
  // The compact form of saved states: rows under the first, "0" undefined.
  EXPECT_EQ(file_text([&](std::FILE* out) {
              for (const char* n : {"c", "b", "v"}) {
                const arrptr q = array(n);
                arrdis(out, &q->name, q->start, q->rows, array_cols(q), q->rows);
              }
            }),
            "[c] := [[  1 / 2,  4, \n           3,  5   ]];\n"
            "[b] := [[  7, 0,  -1   ]];\n[v] := [[ 0, 0, 0  ]];\n");
  // The output statement into the output file: the terminal gets nothing.
  const std::string name = testing::TempDir() + "tavrin_out.t";
  run("x := 12:\n&(S = '" + name + "')");
  EXPECT_EQ(run("!(&o, 'x=', x:4, 65:char);\n!!(&o, [b[1, 2~3]]);"), "");
  run("&(S = '@')");
  std::FILE* f = std::fopen(name.c_str(), "r");
  ASSERT_NE(f, nullptr);
  std::string bytes;
  for (int c; (c = std::fgetc(f)) != EOF;) bytes += static_cast<char>(c);
  std::fclose(f);
  std::remove(name.c_str());
  EXPECT_EQ(bytes, "x=12 A b[ 1, 2] :=  *,  b[ 1, 3] := -1; \n\n");
}

// Random dense arrays created and removed in random order: every survivor
// keeps its own values, the store stays packed, and the nodes come back.
TEST_F(ArrayOutput, RemovingArraysKeepsTheOthers) {
  std::mt19937 gen(37);
  struct live {
    std::string name;
    std::int32_t rows, cols;
    std::vector<std::int32_t> values;  // column by column; 0: undefined
  };
  for (int sequence = 0; sequence < 200; ++sequence) {
    NodeBalance balance;
    std::vector<live> arrays;
    const int count = 1 + static_cast<int>(gen() % 5);
    for (int k = 0; k < count; ++k) {
      live a{"a" + std::to_string(k),
             1 + static_cast<std::int32_t>(gen() % 4),
             1 + static_cast<std::int32_t>(gen() % 4),
             {}};
      run("Array " + a.name + "[" + std::to_string(a.rows) + "," + std::to_string(a.cols) + "]:");
      const arrptr q = array(a.name.c_str());
      for (std::int32_t i = 0; i < a.rows * a.cols; ++i) {
        const std::int32_t v = static_cast<std::int32_t>(gen() % 9);
        a.values.push_back(v);
        if (v != 0) quoly_set(v * 1000 + sequence, arp_cell(q->start + i));
      }
      arrays.push_back(a);
    }
    while (!arrays.empty()) {
      const std::size_t gone = gen() % arrays.size();
      ASSERT_EQ(run("@[" + arrays[gone].name + "]:"), "");
      arrays.erase(arrays.begin() + static_cast<std::ptrdiff_t>(gone));
      std::int32_t cells = 0;
      for (const live& a : arrays) {
        const arrptr q = array(a.name.c_str());
        ASSERT_NE(q, nullptr);
        ASSERT_EQ(q->stop - q->start + 1, a.rows * a.cols);
        for (std::int32_t i = 0; i < a.rows * a.cols; ++i) {
          const quoly cell = *arp_cell(q->start + i);
          if (a.values[i] == 0) {
            EXPECT_EQ(cell, nullptr);
          } else {
            ASSERT_NE(cell, nullptr);
            EXPECT_EQ(value_text(cell), "number " + std::to_string(a.values[i] * 1000 + sequence));
          }
        }
        cells += a.rows * a.cols;
      }
      ASSERT_EQ(endarr + 1, cells);
    }
  }
}

// Random arrays written one assignment per entry and read back as
// statements into a fresh array of the same shape.
TEST_F(ArrayOutput, WrittenArraysReadBack) {
  std::mt19937 gen(3737);
  run("&(J = t)");
  const char* const entries[] = {
      "0", "7", "-12", "2/3", "t + 1", "(t^2 - 5)/(3*t + 1)", "123456789012345678901"};
  for (int round = 0; round < 20; ++round) {
    const std::int32_t rows = 1 + static_cast<std::int32_t>(gen() % 4);
    const std::int32_t cols = 1 + static_cast<std::int32_t>(gen() % 4);
    const std::string shape = "[" + std::to_string(rows) + "," + std::to_string(cols) + "]:";
    run("Array w" + shape);
    std::vector<std::string> values;
    for (std::int32_t i = 1; i <= rows; ++i)
      for (std::int32_t j = 1; j <= cols; ++j) {
        values.push_back(entries[gen() % 7]);
        run("w[" + std::to_string(i) + "," + std::to_string(j) + "] := " + values.back() + ":");
      }
    arrptr q = array("w");
    const std::string text = file_text([&](std::FILE* out) {
      arrdisplay(out, &q->name, q, q->start, rows, cols, 1, 1, rows, 4, {.extras = false}, nullptr);
    });
    run("@[w]:\nArray w" + shape);
    // Every written entry is a statement "w[i, j] := value;" on a line.
    std::string statements;
    for (std::size_t at = 0; at < text.size();) {
      const std::size_t end = text.find('\n', at);
      statements += text.substr(at, end - at) + "\n";
      at = end + 1;
    }
    ASSERT_EQ(run(statements).find("error"), std::string::npos) << text;
    std::size_t k = 0;
    for (std::int32_t i = 1; i <= rows; ++i)
      for (std::int32_t j = 1; j <= cols; ++j, ++k) {
        const std::string at = "w[" + std::to_string(i) + "," + std::to_string(j) + "]";
        EXPECT_EQ(value_of(at), value_of(values[k])) << at << " from\n" << text;
      }
    run("@[w]:");
  }
  run("&(J = -t)");
}

// Arrays follow the ring: random integer polynomials in t (coefficients
// below 48, so residues modulo 97 lift back to themselves) in a dense and a
// sparse array come back entry for entry through adjoining, Laurent mode,
// a modular round trip (whole, and journalled by name) and cancelling.
TEST_F(ArrayOutput, ArraysFollowTheRing) {
  std::mt19937 gen(9797);
  run("&(J = t)\nArray d[3,2]:\nArray s[2,3] Sparse:");
  auto poly = [&] {
    std::string p;
    for (int e = 0; e < 3; ++e) {
      const int c = static_cast<int>(gen() % 95) - 47;
      if (c != 0)
        p += (c < 0 ? " - " : " + ") + std::to_string(std::abs(c)) + "*t^" + std::to_string(e);
    }
    return p.empty() ? std::string("t") : "0" + p;
  };
  std::vector<std::string> cells;
  for (const char* at :
       {"d[1,1]", "d[2,1]", "d[3,1]", "d[1,2]", "d[2,2]", "d[3,2]", "s[1,1]", "s[1,3]", "s[2,2]"})
    cells.push_back(at), run(std::string(at) + " := " + poly() + ":");
  auto entries = [&] {
    std::vector<std::string> v;
    for (const std::string& c : cells) v.push_back(value_of(c));
    return v;
  };
  const std::vector<std::string> before = entries();
  for (const char* round_trip :
       {"&(J = s)\n&l\n&l\n&(J = -s)", "&(p = 97)\n&(p = _i)",
        "&(p = 97 : *[d], *[s])\n&(p = _i : *[d], *[s])", "&(p = 97 : **)\n&(p = _i : **)"}) {
    EXPECT_EQ(run(round_trip).find("error"), std::string::npos) << round_trip;
    EXPECT_EQ(entries(), before) << round_trip;
  }
  // A numbered array's element through its slot.
  const bool had_store = arrstash != nullptr;
  if (!had_store) arrstash = new arrptr[arrstash_slots]();
  arrstash[1] = array("d");
  EXPECT_EQ(value_of("0 + %[2][3,2]"), value_of("d[3,2]"));
  EXPECT_EQ(value_of("0 + %[2][4]"), value_of("d[1,2]"));
  arrstash[1] = nullptr;
  if (!had_store) {
    delete[] arrstash;
    arrstash = nullptr;
  }
  run("&(J = -t)");
}

}  // namespace
}  // namespace tavrin::test
