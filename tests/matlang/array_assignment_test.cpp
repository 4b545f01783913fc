// Array assignment statements and generated matrices in-process: random
// targets receive random values, compared with a test-side model of the
// fit and store rules; generated matrices against a test-side loop.
#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <string>
#include <vector>

#include "core/globals.h"
#include "numbers/freelists.h"
#include "poly/poly_repr.h"
#include "toplevel/dispatch.h"
#include "toplevel/state.h"
#include "lang/expressions.h"
#include "arrays/array_store.h"
#include "arrays/sparse_store.h"
#include "arrays/targets.h"
#include "matrix/matrix_support.h"
#include "matlang/matrix_expressions.h"
#include "support/node_accounting.h"
#include "support/output_capture.h"
#include "support/statements.h"

namespace tavrin::test {
namespace {

// A test-side array of integers, column-major.
struct Model {
  int rows = 0, cols = 0;
  std::vector<long> e;
  long& at(int i, int j) { return e[static_cast<std::size_t>(i + j * rows)]; }
};

class ArrayAssignment : public ArrayStatementTest {
 protected:
  // Runs the statements; "" or the error report.
  static std::string run(const std::string& text) {
    uninit = 0;
    quoly value = nullptr;
    bool unwound = false;
    const std::string out = parse_statement(text, &value, &unwound);
    free_quoly(&value);
    return unwound ? out : "";
  }
  // The array named name as integers (nil and absent entries 0).
  static Model read(const char* name) {
    arrptr q = array_named(name);
    Model m;
    if (q == nullptr) return m;
    m.rows = q->rows;
    m.cols = array_cols(q);
    for (int j = 0; j < m.cols; ++j)
      for (int i = 0; i < m.rows; ++i) {
        quoly v = q->spar != nullptr ? spar_retrieve(q->spar, i + 1, j + 1)
                                     : *arp_cell(q->start + i + j * m.rows);
        m.e.push_back(v == nullptr ? 0 : quoly_convert_to_int(v));
      }
    return m;
  }
  // Declares name as rows x cols (sparse or dense) holding model's entries.
  static void make(const char* name, const Model& m, bool sparse) {
    const std::string n = name;
    ASSERT_EQ(run("Array " + n + "[" + std::to_string(m.rows) + "," + std::to_string(m.cols) + "]" +
                  (sparse ? " Sparse:" : ":")),
              "");
    for (int j = 0; j < m.cols; ++j)
      for (int i = 0; i < m.rows; ++i)
        ASSERT_EQ(
            run(n + "[" + std::to_string(i + addresser) + "," + std::to_string(j + addresser) +
                "] := " + std::to_string(m.e[static_cast<std::size_t>(i + j * m.rows)]) + ":"),
            "");
  }
};

Model random_model(std::mt19937_64& rng, int rows, int cols) {
  Model m{rows, cols, {}};
  for (int k = 0; k < rows * cols; ++k) m.e.push_back(static_cast<long>(rng() % 7) - 3);
  return m;
}

void same(const Model& got, const Model& want, const std::string& what) {
  ASSERT_EQ(got.rows, want.rows) << what;
  ASSERT_EQ(got.cols, want.cols) << what;
  EXPECT_EQ(got.e, want.e) << what;
}

TEST_F(ArrayAssignment, RandomTargetsAndValuesFollowTheFitAndStoreRules) {
  std::mt19937_64 rng(35);
  for (int round = 0; round < 240; ++round) {
    NodeBalance balance;
    addresser = static_cast<std::int32_t>(rng() % 2);
    const bool sparse = rng() % 3 == 0;
    Model t = random_model(rng, 1 + static_cast<int>(rng() % 3), 1 + static_cast<int>(rng() % 3));
    Model u = random_model(rng, 1 + static_cast<int>(rng() % 3), 1 + static_cast<int>(rng() % 3));
    if (sparse) u.rows = t.rows, u.e.resize(static_cast<std::size_t>(u.rows * u.cols));
    make("t", t, sparse);
    const bool u_sparse = rng() % 2 == 0;
    make("u", u, u_sparse);
    const Model u_before = read("u");
    const long k = static_cast<long>(rng() % 9) - 4;
    const int form = static_cast<int>(rng() % (sparse ? 3 : 6));
    std::string text;
    std::string error;
    Model want = t;
    const auto scaled = [&](int s) {
      Model m = u;
      for (long& x : m.e) x *= s;
      return m;
    };
    if (form == 0) {  // a scalar into the whole array
      text = "[t] := " + std::to_string(k) + ":";
      for (long& x : want.e) x = k;
    } else if (form == 1 || form == 2) {  // a borrowed or an owned matrix
      const int s = form == 1 ? 1 : 2;
      text = form == 1 ? "[t] := [u]:" : "[t] := 2*[u]:";
      const Model v = scaled(s);
      if (v.e.size() == t.e.size() && !sparse && !u_sparse) {
        want.e = v.e;  // same count: column-major, the target's shape kept
      } else {
        want = v;
      }
    } else if (form == 3) {  // a block: a value of its shape, turned, or another shape
      const int r1 = static_cast<int>(rng() % t.rows), c1 = static_cast<int>(rng() % t.cols);
      const int br = 1 + static_cast<int>(rng() % (t.rows - r1));
      const int bc = 1 + static_cast<int>(rng() % (t.cols - c1));
      const int pick = static_cast<int>(rng() % 3);
      const int vr = pick == 0 ? br : pick == 1 ? bc : 1 + static_cast<int>(rng() % 3);
      const int vc = pick == 0 ? bc : pick == 1 ? br : 1 + static_cast<int>(rng() % 3);
      std::string list;  // typed row by row, a line end after each row
      for (int i = 0; i < vr; ++i)
        for (int j = 0; j < vc; ++j)
          list += std::to_string(i * vc + j + 1) + (j + 1 < vc ? ", " : i + 1 < vr ? ", `\n" : "");
      const auto sub = [&](int a, int n) {
        return std::to_string(a + addresser) + "~" + std::to_string(a + n - 1 + addresser);
      };
      text = "[t[" + sub(r1, br) + ", " + sub(c1, bc) + "]] := [[" + list + "]]:";
      const bool vectors = (vr == 1 || vc == 1) && (br == 1 || bc == 1);
      if (vr * vc != br * bc || (vr != br && !vectors)) {
        error = "does not fit";
      } else {
        for (int q = 0; q < br * bc; ++q)
          want.at(r1 + q % br, c1 + q / br) = (q % vr) * vc + q / vr + 1;
      }
    } else if (form == 4) {  // a scalar into a block
      const int r1 = static_cast<int>(rng() % t.rows);
      text = "[t[" + std::to_string(r1 + addresser) + ", ]] := " + std::to_string(k) + ":";
      for (int j = 0; j < t.cols; ++j) want.at(r1, j) = k;
    } else {  // a scalar on the diagonal, or the array's own transpose
      if (rng() % 2 == 0) {
        text = "Diag [t] := " + std::to_string(k) + ":";
        for (int i = 0; i < std::min(t.rows, t.cols); ++i) want.at(i, i) = k;
      } else {
        text = "[t] := Trans [t]:";
        for (int i = 0; i < t.rows; ++i)
          for (int j = 0; j < t.cols; ++j)
            want.e[static_cast<std::size_t>(j + i * t.cols)] = t.at(i, j);
      }
    }
    const std::string out = run(text);
    if (error.empty()) {
      ASSERT_EQ(out, "") << text;
    } else {
      EXPECT_NE(out.find(error), std::string::npos) << text << out;
    }
    same(read("t"), want, text);
    same(read("u"), u_before, text + " (the right side)");
    clear();
    balance.expect_balanced();
    if (HasFailure()) FAIL() << round;
  }
}

TEST_F(ArrayAssignment, GeneratedMatricesEqualATestSideLoop) {
  std::mt19937_64 rng(8);
  // The loop variables, kept between rounds; the first statement of the
  // kind makes its lasting state.
  ASSERT_EQ(run("[g] := [<i = 1, 2><j = 1, 2> i]: i := 0: j := 0:"), "");
  clear();
  for (int round = 0; round < 80; ++round) {
    NodeBalance balance;
    addresser = static_cast<std::int32_t>(rng() % 2);
    const int o = addresser;
    const int a1 = o + static_cast<int>(rng() % 3), b1 = a1 + static_cast<int>(rng() % 4);
    const int s1 = 1 + static_cast<int>(rng() % 2);
    const int a2 = o + static_cast<int>(rng() % 3), b2 = a2 + static_cast<int>(rng() % 4);
    const int s2 = 1 + static_cast<int>(rng() % 3);
    const bool two = rng() % 3 != 0;
    const bool sparse = rng() % 2 == 0;
    const int rows = b1 - o + 1, cols = two ? b2 - o + 1 : 1;
    Model want{rows, cols, std::vector<long>(static_cast<std::size_t>(rows * cols), 0)};
    for (int i = a1; i <= b1; i += s1)
      for (int j = two ? a2 : o; j <= (two ? b2 : o); j += two ? s2 : 1)
        want.at(i - o, j - o) = (i * 3 - j) * (i - 2);
    if (sparse) {
      make("g", Model{rows, cols, std::vector<long>(static_cast<std::size_t>(rows * cols), 9)},
           true);
    }
    const auto header = [](int a, int b, int s, const char* v) {
      return std::string("<") + v + " = " + std::to_string(a) + ", " + std::to_string(b) + ", " +
             std::to_string(s) + ">";
    };
    const std::string text = "[g] := [" + header(a1, b1, s1, "i") +
                             (two ? header(a2, b2, s2, "j") + " (i*3 - j)*(i - 2)]:"
                                  : " (i*3 - " + std::to_string(o) + ")*(i - 2)]:");
    ASSERT_EQ(run(text), "") << text;
    same(read("g"), want, text);
    clear();
    ASSERT_EQ(run("i := 0: j := 0:"), "");
    balance.expect_balanced();
    if (HasFailure()) FAIL() << round << text;
  }
}

}  // namespace
}  // namespace tavrin::test
