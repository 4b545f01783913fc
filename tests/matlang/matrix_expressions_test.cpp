// Matrix expressions in-process: random expressions over named dense and
// sparse arrays against a test-side evaluation, the whole-array statements
// (position searches, counts, trace, sum) against a test-side scan, and the
// errors that must leave the arrays and the pool as they were.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "core/globals.h"
#include "numbers/freelists.h"
#include "poly/poly_repr.h"
#include "quoly/quoly_add.h"
#include "quoly/quoly_mult.h"
#include "toplevel/dispatch.h"
#include "toplevel/scanner.h"
#include "toplevel/state.h"
#include "lang/expressions.h"
#include "lang/nesting.h"
#include "arrays/array_store.h"
#include "arrays/sparse_store.h"
#include "arrays/targets.h"
#include "matrix/mat_value.h"
#include "matrix/matrix_support.h"
#include "matlang/matrix_expressions.h"
#include "support/modulus_scope.h"
#include "support/node_accounting.h"
#include "support/output_capture.h"
#include "support/poly_support.h"
#include "support/statements.h"
#include "support/value_form.h"

namespace tavrin::test {
namespace {

class MatrixExpressions : public ArrayStatementTest {
 protected:
  void SetUp() override {
    ArrayStatementTest::SetUp();
    uninit = 0;
  }
  void TearDown() override {
    EXPECT_EQ(cancelflag, 0);
    ArrayStatementTest::TearDown();
  }

  // Runs the statements of text; "" or "error N" of the first error.
  std::string run(const std::string& text) {
    const StatementRun r = run_statements(text);
    return r.unwound ? error_of(r.failed) : "";
  }

  static std::string error_of(const std::string& out) {
    const std::size_t at = out.find("Inappropriate symbol");
    if (at == std::string::npos) return out.empty() ? "error" : out;
    const std::size_t line = out.find('\n', at) + 1;
    const std::string message = out.substr(line, out.find('\n', line) - line + 1);
    for (int code = 1; code < 378; ++code)
      if (output_of([code] { out_err_mess(code); }) == message)
        return "error " + std::to_string(code);
    return "error";
  }

  // The matrix expression text evaluated by arr_expre.
  struct Result {
    std::string error;
    Mat m;
    bool scalar = false, sparse = false, owned = false;
  };
  Result eval(const std::string& text) {
    TextInput in(text + ";");
    FILEPtr stream = &in;
    leftover[0] = '\0';
    Result r;
    bool unwound = false;
    const std::string out = output_of(
        [&] {
          scanner(&stream, &token, &zilch);
          WorkArrayGuard work(&token);
          MatValue v(work.get());
          arr_expre(&stream, v, &zilch, true);
          if (token.name[0] != ';') r.error = std::string("stopped at ") + token.name;
          r.scalar = v.is_scalar();
          r.sparse = v.spar != nullptr;
          r.owned = v.arr_free;
          if (r.scalar) {
            r.m = Mat(1, 1);
            r.m.at(0, 0) = copy_of(v.n);
          } else if (r.sparse) {
            r.m = from_sparse(v.spar, v.rows(), v.cols());
          } else {
            r.m = from_dense(v.arr, v.rows(), v.cols());
          }
        },
        &unwound);
    if (unwound) r.error = error_of(out);
    return r;
  }

  // Every node, link and limb of the stored entries of the array named name.
  static std::string stored_shape(const std::string& name) {
    arrptr q = array_named(name);
    std::string s;
    if (q->spar != nullptr) {
      for (std::int32_t r = 1; r <= q->rows; ++r)
        for (colm_ptr e = *sparse_row(q->spar, r); e != nullptr; e = e->next)
          s += std::to_string(r) + "," + std::to_string(e->coord) + ":" + value_shape(e->val) + ";";
      return s;
    }
    for (std::int32_t k = 0; k < q->rows * array_cols(q); ++k)
      s += value_shape(*arp_cell(q->start + k)) + ";";
    return s;
  }
  // The stored entries of the array named name.
  static Mat stored(const std::string& name) {
    arrptr q = array_named(name);
    if (q->spar != nullptr) return from_sparse(q->spar, q->rows, array_cols(q));
    Mat m(q->rows, array_cols(q));
    for (std::int32_t k = 0; k < q->rows * array_cols(q); ++k)
      m.cell[static_cast<std::size_t>(k)] = copy_of(*arp_cell(q->start + k));
    return m;
  }
};

// ---- The test-side evaluation ------------------------------------------------------------

Value op_value(char op, quoly a, quoly b) {
  quoly r = nullptr;
  quoly zero = nullptr;
  quoly_set(0, &zero);
  if (a == nullptr) a = zero;
  if (b == nullptr) b = zero;
  switch (op) {
    case '+': quoly_add(a, b, &r); break;
    case '-': quoly_sub(a, b, &r); break;
    default: quoly_mult(a, b, &r); break;
  }
  free_quoly(&zero);
  return Value::adopt(r);
}

Mat entrywise(const Mat& a, const Mat& b, char op) {
  Mat r(a.rows, a.cols);
  for (std::size_t k = 0; k < a.cell.size(); ++k)
    r.cell[k] = op_value(op, a.cell[k].get(), b.cell[k].get());
  return r;
}

Mat scalar_times(const Mat& a, std::int32_t s) {
  quoly q = nullptr;
  quoly_set(s, &q);
  Mat r(a.rows, a.cols);
  for (std::size_t k = 0; k < a.cell.size(); ++k) r.cell[k] = op_value('*', a.cell[k].get(), q);
  free_quoly(&q);
  return r;
}

Mat identity(std::int32_t n) {
  Mat r(n, n);
  for (std::int32_t i = 0; i < n; ++i) r.at(i, i) = make_value("1");
  return r;
}

// Joined by the rule of "_": stacked when the column counts agree.
Mat joined(const Mat& a, const Mat& b) {
  const bool stack = a.cols == b.cols;
  Mat r(stack ? a.rows + b.rows : a.rows, stack ? a.cols : a.cols + b.cols);
  for (std::int32_t j = 0; j < r.cols; ++j)
    for (std::int32_t i = 0; i < r.rows; ++i) {
      const bool first = stack ? i < a.rows : j < a.cols;
      quoly e = first ? a.get(i, j) : (stack ? b.get(i - a.rows, j) : b.get(i, j - a.cols));
      if (e != nullptr) r.at(i, j) = copy_of(e);
    }
  return r;
}

// A random expression of r rows and c columns over the named arrays
// d<r><c> (dense) and s<r><c> (sparse), with its value and whether the
// evaluator keeps it sparse.
struct Expr {
  std::string text;
  Mat m;
  bool sparse = false;
  bool borrowed = false;  // still a named array's own cells or frames
};

class ExprGen {
 public:
  ExprGen(std::mt19937_64& rng, const std::function<Mat(const std::string&)>& stored)
      : rng_(rng), stored_(stored) {}

  Expr gen(std::int32_t r, std::int32_t c, int depth, bool dense) {
    const int pick = depth <= 0 ? 0 : static_cast<int>(rng_() % 9);
    switch (pick) {
      case 1: {  // sum or difference
        const bool plus = rng_() % 2 == 0;
        Expr a = gen(r, c, depth - 1, dense);
        Expr b = gen(r, c, depth - 1, dense || rng_() % 2 == 0 ? true : false);
        if (dense && a.sparse && b.sparse) break;
        return {"(" + a.text + (plus ? " + " : " - ") + b.text + ")",
                entrywise(a.m, b.m, plus ? '+' : '-'), a.sparse && b.sparse};
      }
      case 2: {  // matrix product
        const std::int32_t k = 1 + static_cast<std::int32_t>(rng_() % 3);
        Expr a = gen(r, k, depth - 1, dense);
        Expr b = gen(k, c, depth - 1, dense);
        if (dense && a.sparse && b.sparse) break;
        return {"(" + a.text + " * " + b.text + ")", schoolbook(a.m, b.m), a.sparse && b.sparse};
      }
      case 3: {  // entrywise product (dense only; not a matrix product)
        if (c == r) break;
        Expr a = gen(r, c, depth - 1, true);
        Expr b = gen(r, c, depth - 1, true);
        return {"(" + a.text + " * " + b.text + ")", entrywise(a.m, b.m, '*'), false};
      }
      case 4: {  // scalar times, either side
        const std::int32_t s = static_cast<std::int32_t>(rng_() % 7) - 3;
        Expr a = gen(r, c, depth - 1, dense);
        const std::string st = "(" + std::to_string(s) + ")";
        const bool before = rng_() % 2 == 0;
        return {"(" + (before ? st + " * " + a.text : a.text + " * " + st) + ")",
                scalar_times(a.m, s), a.sparse};
      }
      case 5: {  // minus
        Expr a = gen(r, c, depth - 1, dense);
        return {"-" + a.text, scalar_times(a.m, -1), a.sparse};
      }
      case 6: {  // transpose
        Expr a = gen(c, r, depth - 1, dense);
        return {"Trans " + a.text, transposed(a.m), a.sparse, a.borrowed && !a.sparse};
      }
      case 7: {  // join: stacked or side by side, dense operands of 2 entries or more
        if (r >= 2 && c >= 2 && rng_() % 2 == 0) {
          const std::int32_t r1 = 1 + static_cast<std::int32_t>(rng_() % (r - 1));
          Expr a = gen(r1, c, depth - 1, true);
          Expr b = gen(r - r1, c, depth - 1, true);
          return {"(" + a.text + " _ " + b.text + ")", joined(a.m, b.m), false};
        }
        if (c >= 2 && r >= 2) {
          const std::int32_t c1 = 1 + static_cast<std::int32_t>(rng_() % (c - 1));
          if (c1 == c - c1) break;  // equal column counts would stack
          Expr a = gen(r, c1, depth - 1, true);
          Expr b = gen(r, c - c1, depth - 1, true);
          return {"(" + a.text + " _ " + b.text + ")", joined(a.m, b.m), false};
        }
        break;
      }
      case 8: {  // power of a square matrix
        if (r != c) break;
        const int k = static_cast<int>(rng_() % 4);
        Expr a = gen(r, r, depth - 1, dense);
        Mat p = identity(r);
        for (int i = 0; i < k; ++i) p = schoolbook(p, a.m);
        if (k == 1) p = copy_mat(a.m);
        return {"(" + a.text + ")^" + std::to_string(k), std::move(p), a.sparse,
                a.borrowed && k == 1};
      }
      default: break;
    }
    const bool sparse = !dense && rng_() % 2 == 0;
    const std::string name =
        std::string(sparse ? "s" : "d") + std::to_string(r) + std::to_string(c);
    return {"[" + name + "]", stored_(name), sparse, true};
  }

 private:
  std::mt19937_64& rng_;
  std::function<Mat(const std::string&)> stored_;
};

std::string entry_text(std::mt19937_64& rng, int ring) {
  const int a = static_cast<int>(rng() % 7) - 3;
  const int b = 1 + static_cast<int>(rng() % 3);
  switch (ring) {
    case 0: return std::to_string(a);
    case 1: return "(" + std::to_string(a) + ")/" + std::to_string(b);
    default:
      return "(" + std::to_string(a) + ")*x^" + std::to_string(b) + " + " + std::to_string(b);
  }
}

TEST_F(MatrixExpressions, RandomExpressionsAgreeWithATestSideEvaluation) {
  std::mt19937_64 rng(20261207);
  PolyVars vars{"x"};
  for (int ring = 0; ring < 3; ++ring) {
    std::string decl;
    for (int r = 1; r <= 3; ++r)
      for (int c = 1; c <= 3; ++c) {
        const std::string rc = std::to_string(r) + std::to_string(c);
        ASSERT_EQ(run("Array d" + rc + "[" + std::to_string(r) + "," + std::to_string(c) + "]:"),
                  "");
        ASSERT_EQ(
            run("Array s" + rc + "[" + std::to_string(r) + "," + std::to_string(c) + "] Sparse:"),
            "");
        for (int i = 1; i <= r; ++i)
          for (int j = 1; j <= c; ++j) {
            const std::string at = "[" + std::to_string(i) + "," + std::to_string(j) + "] := ";
            ASSERT_EQ(run("d" + rc + at + entry_text(rng, ring) + ":"), "");
            if (rng() % 2 == 0) {
              ASSERT_EQ(run("s" + rc + at + entry_text(rng, ring) + ":"), "");
            }
          }
      }
    std::vector<std::pair<std::string, std::string>> before;
    for (const char* kind : {"d", "s"})
      for (int r = 1; r <= 3; ++r)
        for (int c = 1; c <= 3; ++c) {
          const std::string name = kind + std::to_string(r) + std::to_string(c);
          before.emplace_back(name, stored_shape(name));
        }
    ExprGen gen(rng, [](const std::string& n) { return stored(n); });
    for (int trial = 0; trial < 120; ++trial) {
      const std::int32_t r = 1 + static_cast<std::int32_t>(rng() % 3);
      const std::int32_t c = 1 + static_cast<std::int32_t>(rng() % 3);
      Expr e = gen.gen(r, c, 1 + static_cast<int>(rng() % 4), false);
      NodeBalance balance;
      {
        Result got = eval(e.text);
        ASSERT_EQ(got.error, "") << e.text;
        ASSERT_FALSE(got.scalar) << e.text;
        EXPECT_TRUE(same_mat(got.m, e.m)) << ring << ": " << e.text;
        EXPECT_EQ(got.sparse, e.sparse) << e.text;
        EXPECT_EQ(got.owned, !e.borrowed) << e.text;
      }
      EXPECT_EQ(first_available, 1);
      balance.expect_balanced();
    }
    for (auto& [name, shape] : before)
      EXPECT_EQ(stored_shape(name), shape) << name << " was changed";
    clear_arrays();
  }
}

// ---- Whole-array statements -----------------------------------------------------------------

TEST_F(MatrixExpressions, PositionSearchesAndCountsAgreeWithAScan) {
  std::mt19937_64 rng(7);
  for (int origin = 0; origin <= 1; ++origin) {
    addresser = origin;
    for (int trial = 0; trial < 30; ++trial) {
      const int r = 1 + static_cast<int>(rng() % 4);
      const int c = 1 + static_cast<int>(rng() % 4);
      const bool sparse = trial % 3 == 0;
      std::vector<int> vals(static_cast<std::size_t>(r * c));
      for (int& v : vals) v = static_cast<int>(rng() % 7) - 3;
      ASSERT_EQ(run("Array p[" + std::to_string(r) + "," + std::to_string(c) + "]" +
                    (sparse ? " Sparse:" : ":")),
                "");
      for (int j = 0; j < c; ++j)
        for (int i = 0; i < r; ++i)
          ASSERT_EQ(run("p[" + std::to_string(i + origin) + "," + std::to_string(j + origin) +
                        "] := " + std::to_string(vals[static_cast<std::size_t>(i + j * r)]) + ":"),
                    "");
      // The test-side scan: first strict improvement in column-major order.
      int maxpos = 0, minpos = 0, pospos = -1;
      for (int k = 0; k < r * c; ++k) {
        const int v = vals[static_cast<std::size_t>(k)];
        if (v > vals[static_cast<std::size_t>(maxpos)]) maxpos = k;
        if (v < vals[static_cast<std::size_t>(minpos)]) minpos = k;
        if (v > 0 && (pospos < 0 || v < vals[static_cast<std::size_t>(pospos)])) pospos = k;
      }
      auto ask = [&](char code, const std::string& text) {
        TextInput in(text + ";");
        FILEPtr stream = &in;
        leftover[0] = '\0';
        quoly n = nullptr;
        scanner(&stream, &token, &zilch);
        bool unwound = false;
        const std::string out = output_of(
            [&] { arr_parse(static_cast<ArrayCode>(code), &stream, &n, &zilch); }, &unwound);
        std::string s = unwound ? error_of(out) : value_text(n);
        free_quoly(&n);
        return s;
      };
      auto num = [](int k) { return "number " + std::to_string(k); };
      if (!sparse) {  // the sparse scan counts absent entries once, at the first absent place
        EXPECT_EQ(ask('7', "Det ^ [p]"), num(maxpos + origin));
        EXPECT_EQ(ask('7', "Det _ [p]"), num(minpos + origin));
      }
      EXPECT_EQ(ask('L', "L + [p]"), num(pospos < 0 ? origin - 1 : pospos + origin)) << sparse;
      if (!sparse) {
        const int v = static_cast<int>(rng() % 5) - 2;
        int eq = 0, gt = 0, lt = 0;
        for (int x : vals) {
          eq += x == v;
          gt += x > v;
          lt += x < v;
        }
        const std::string vs = "(" + std::to_string(v) + ")";
        EXPECT_EQ(ask('7', "Det # ([p] = " + vs + ")"), num(eq));
        EXPECT_EQ(ask('7', "Det # ([p] > " + vs + ")"), num(gt));
        EXPECT_EQ(ask('7', "Det # ([p] < " + vs + ")"), num(lt));
      } else {
        EXPECT_EQ(ask('7', "Det # ([p] = 1)"), "error 242");
      }
      int sum = 0, trace = 0;
      for (int k = 0; k < r * c; ++k) sum += vals[static_cast<std::size_t>(k)];
      for (int i = 0; i < std::min(r, c); ++i) trace += vals[static_cast<std::size_t>(i + i * r)];
      EXPECT_EQ(ask('S', "Sum [p]"), num(sum));
      EXPECT_EQ(ask('T', "Trace [p]"), r == c ? num(trace) : "error 194");
      EXPECT_EQ(first_available, 1);
      clear_arrays();
    }
  }
  addresser = 1;
}

TEST_F(MatrixExpressions, StatementErrorsAndTheSystemArray) {
  PolyVars vars{"x"};
  ASSERT_EQ(run("Array m[2,2]:"), "");
  ASSERT_EQ(run("m[1,1] := 1: m[1,2] := 2: m[2,1] := 3: m[2,2] := 4:"), "");
  ASSERT_EQ(run("Array e[1,2]:"), "");
  ASSERT_EQ(run("e[1,1] := x: e[1,2] := 1:"), "");
  NodeBalance balance;
  struct Case {
    char code;
    const char* text;
    const char* want;
  } cases[] = {
      {'T', "Trace [m]", "number 5"},
      {'T', "Trace ([m] _ [m])", "error 194"},
      {'T', "Trace 3", "error 194"},
      {'S', "Sum 3", "error 46"},
      {'7', "Det ^ [e]", "error 119"},
      {'7', "Det # [m]", "error 64"},
      {'7', "Det # ([m] ! 2)", "error 65"},
      {'7', "Det # ([m] = 2;", "error 66"},
      {'7', "Det # ([e] > 0)", "error 120"},
      {'7', "Det 3", "error 46"},
      {'7', "Det (([m] _ [m]))", "error 172"},  // 241 has the text of 172
      {'8', "Det [m]", "error 154"},            // 177 has the text of 154
      {'8', "Det (1, [m])", "error 364"},
      {'8', "Det (2; [m])", "error 202"},
      {'8', "Det (2, [m])", "error 333"},
      {'H', "Hamilton (([m] _ [m]))", "error 23"},
      {'Q', "[m]", "number 7"},
  };
  for (const Case& k : cases) {
    TextInput in(std::string(k.text) + ";");
    FILEPtr stream = &in;
    leftover[0] = '\0';
    quoly n = nullptr;
    quoly_set(7, &n);
    scanner(&stream, &token, &zilch);
    bool unwound = false;
    const std::string out = output_of(
        [&] { arr_parse(static_cast<ArrayCode>(k.code), &stream, &n, &zilch); }, &unwound);
    EXPECT_EQ(unwound ? error_of(out) : value_text(n), k.want) << k.text;
    free_quoly(&n);
    EXPECT_EQ(first_available, 1) << k.text;
    EXPECT_EQ(cancelflag, 0);
  }
  balance.expect_balanced();
  // Deep nesting is a user error, not a stack overflow.
  std::string deep(nesting_depth_limit + 1, '(');
  deep += "[m]" + std::string(nesting_depth_limit + 1, ')');
  EXPECT_EQ(run("Trans " + deep + ":"), "error 216");
  EXPECT_EQ(run("Trans " + std::string(nesting_depth_limit + 1, '-') + "[m]:"), "error 216");
  // The system array: filled by a statement, read back, replaced.
  EXPECT_EQ(run("Trans [m] * [m]:"), "");
  EXPECT_TRUE(syst_dump);
  Result sys = eval("[<]");
  EXPECT_TRUE(same_mat(sys.m, schoolbook(transposed(stored("m")), stored("m"))));
  EXPECT_EQ(run("Trans [e]:"), "");
  EXPECT_EQ(syst->rows, 2);
  EXPECT_EQ(syst->stop, 1);
  EXPECT_EQ(stored("m").cell[0].get()->ncoef->head->value, 1);
}

// Modulo a prime the inverse of a residue matrix is there already: M / N is
// M times the inverse of N, s / N is s times it, a negative power too.
TEST_F(MatrixExpressions, QuotientsByAResidueMatrix) {
  ModulusScope ring(7);
  ASSERT_EQ(run("Array m[2,2]:"), "");
  ASSERT_EQ(run("m[1,1] := 1: m[1,2] := 2: m[2,1] := 3: m[2,2] := 4:"), "");
  const std::string before = stored_shape("m");
  NodeBalance balance;
  {
    Result r = eval("[m] / [m]");
    ASSERT_EQ(r.error, "");
    EXPECT_TRUE(same_mat(r.m, identity(2)));
    // m^-1 = [[-2, 1], [3/2, -1/2]] = [[5, 1], [5, 3]] mod 7; times 2: [[3, 2], [3, 6]].
    r = eval("2 / [m]");
    ASSERT_EQ(r.error, "");
    EXPECT_EQ(value_text(r.m.get(0, 0)), "number 3");
    EXPECT_EQ(value_text(r.m.get(1, 0)), "number 3");
    EXPECT_EQ(value_text(r.m.get(1, 1)), "number 6");
    r = eval("[m]^2 * [m]^(-1) - [m]");
    ASSERT_EQ(r.error, "");
    for (auto& e : r.m.cell) EXPECT_TRUE(e.get() == nullptr || quoly_iszero(e.get()));
  }
  EXPECT_EQ(first_available, 1);
  EXPECT_EQ(stored_shape("m"), before);
}

// ---- Services not built yet: their answers, enabled when they land ------------------------

TEST_F(MatrixExpressions, QuotientsByAMatrixUseTheInverse) {
  ASSERT_EQ(run("Array m[2,2]:"), "");
  ASSERT_EQ(run("m[1,1] := 1: m[1,2] := 2: m[2,1] := 3: m[2,2] := 4:"), "");
  Result r = eval("[m] / [m]");
  EXPECT_TRUE(same_mat(r.m, identity(2)));
  r = eval("2 / [m]");  // 2 * inverse = [[-4, 2], [3, -1]]
  EXPECT_EQ(value_text(r.m.get(0, 0)), "number -4");
}

TEST_F(MatrixExpressions, AdjointOfAnIntegerMatrix) {
  ASSERT_EQ(run("Array m[2,2]:"), "");
  ASSERT_EQ(run("m[1,1] := 1: m[1,2] := 2: m[2,1] := 3: m[2,2] := 4:"), "");
  Result r = eval("Adjoint [m]");  // [[4, -2], [-3, 1]]
  EXPECT_EQ(value_text(r.m.get(0, 1)), "number -2");
  EXPECT_EQ(value_text(r.m.get(1, 0)), "number -3");
  EXPECT_EQ(first_available, 1);
}

TEST_F(MatrixExpressions, AdjointModularPowerHamiltonAndRandomMatrices) {
  ASSERT_EQ(run("Array m[2,2]:"), "");
  ASSERT_EQ(run("m[1,1] := 1: m[1,2] := 2: m[2,1] := 3: m[2,2] := 4:"), "");
  Result r = eval("Adjoint [m]");  // [[4, -2], [-3, 1]]
  EXPECT_EQ(value_text(r.m.get(0, 1)), "number -2");
  r = eval("MPowermod([m], 2, 5)");  // m^2 = [[7, 10], [15, 22]] mod 5
  EXPECT_EQ(value_text(r.m.get(1, 1)), "number 2");
  quoly n = nullptr;
  EXPECT_EQ(run("Array h[3,3]:"), "");
  free_quoly(&n);
}

}  // namespace
}  // namespace tavrin::test
