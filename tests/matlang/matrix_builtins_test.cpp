// The matrix built-ins run as statements: the normal-form reader against
// recording engines (which slots are asked for, the sizes of the arrays
// made, the errors); Hermite and Smith of random matrices checked through
// the built-ins themselves (alpha*A*beta = H by Iszero); and Chpoly's
// combining step rebuilding random characteristic polynomials.
#include <gtest/gtest.h>

#include <optional>
#include <random>
#include <string>
#include <vector>

#include "core/errors.h"
#include "core/globals.h"
#include "numbers/freelists.h"
#include "poly/poly_repr.h"
#include "toplevel/charsets.h"
#include "toplevel/dispatch.h"
#include "toplevel/platform.h"
#include "toplevel/scanner.h"
#include "arrays/array_store.h"
#include "arrays/sparse_store.h"
#include "matlang/matrix_builtins.h"
#include "matlang/matrix_expr_impl.h"
#include "support/bigref.h"
#include "support/data_tables.h"
#include "support/modulus_scope.h"
#include "support/output_capture.h"
#include "support/poly_support.h"
#include "support/statements.h"
#include "support/value_form.h"

namespace tavrin::test {
namespace {

class MatrixBuiltins : public testing::Test {
 protected:
  MatrixBuiltins() {
    load_data_tables();
    init_character_sets();
    make_token_ring();
  }
  ~MatrixBuiltins() override { matrix_engines = saved_; }
  // Runs the statements, one a line: the value of the last as value_text,
  // or "error N" for the first that reports user error N.
  std::string run(const std::string& text) {
    const StatementRun r = run_statements(text);
    if (!r.unwound) return r.last;
    const std::int32_t code = reported_error(r.failed);
    return code == 0 ? "error" : "error " + std::to_string(code);
  }
  MatrixEngines saved_ = matrix_engines;
};

// What the recording engines saw.
struct Seen {
  std::string engine;
  bool want[4] = {};
  bool work[4] = {};
  bool sparse_out = false;
  std::int32_t k = 0;
};
Seen seen;

void note(const char* e, const bool* want, workptr w1, workptr w2, workptr w3, workptr w4) {
  seen = Seen{};
  seen.engine = e;
  const workptr w[4] = {w1, w2, w3, w4};
  for (int i = 0; i < 4; ++i) {
    seen.want[i] = want[i];
    seen.work[i] = w[i] != nullptr;
  }
}

std::string shape(const char* name) {
  const arrptr a = array_named(name);
  if (a == nullptr) return "none";
  return std::to_string(a->rows) + "x" + std::to_string(array_cols(a)) +
         (a->spar != nullptr ? "s" : "");
}

TEST_F(MatrixBuiltins, NormalFormReaderAsksForTheSlotsGiven) {
  matrix_engines.colreduce = [](quolyptr n, arrptr, const bool* want, workptr a, workptr b,
                                workptr c, workptr d, sparseptr*, bool pd, std::int32_t k) {
    note(pd ? "pseudet" : "colreduce", want, a, b, c, d);
    seen.k = k;
    free_quoly(n);
    quoly_set(3, n);
  };
  matrix_engines.intcolred = [](quolyptr n, arrptr, const bool* want, workptr a, workptr b,
                                workptr c, workptr d, sparseptr*, bool, imptr) {
    note("intcolred", want, a, b, c, d);
    free_quoly(n);
    quoly_set(2, n);
  };
  matrix_engines.red_row_ech = [](quolyptr n, arrptr, const bool* want, workptr a, workptr b,
                                  sparseptr*) {
    note("red_row_ech", want, a, b, nullptr, nullptr);
    free_quoly(n);
    quoly_set(1, n);
  };
  run("Array m[2,3]:\n[m] := 1:\n");
  struct Case {
    const char* call;
    // The value or "error N"; codes that share a text (325 and 306, 70 and
    // 1, 178 and 96) are found as the lowest of them.
    const char* result;
    const char* engine;
    const char* want;       // "1010": slots wanted
    const char* shapes[4];  // the arrays named o1 .. o4 afterwards
  } cases[] = {
      {"Hermite([m], [o1], , [o3])", "2", "intcolred", "1010", {"2x2", "none", "2x2", "none"}},
      {"Hermite([m], , [o2], , [o4])", "2", "intcolred", "0101", {"none", "3x3", "none", "3x3"}},
      {"Colreduce([m])", "3", "colreduce", "0000", {"none", "none", "none", "none"}},
      {"Pseudet([m], [o1], 4)", "3", "pseudet", "1000", {"2x3", "none", "none", "none"}},
      {"Redrowech([m], [o1], [o2])", "1", "red_row_ech", "1100", {"2x2", "2x2", "none", "none"}},
      {"Redrowech([m], [o1], [o2], [o3])", "error 306", "", "", {"none", "none", "none", "none"}},
      {"Pseudet([m], [o1], 4, [o3])", "error 306", "", "", {"none", "none", "none", "none"}},
      {"Hermite([m], [o1], [o2], [o3], [o4], [o5])",
       "error 1",
       "",
       "",
       {"none", "none", "none", "none"}},
      {"Hermite([m], [o1] [o2])", "error 1", "", "", {"none", "none", "none", "none"}},
      {"Hermite([m], o1)", "error 96", "", "", {"none", "none", "none", "none"}},
      {"Hermite([m], [o1[1]])", "error 182", "", "", {"none", "none", "none", "none"}},
      {"Hermite([m[1, 1~2]])", "error 182", "", "", {"none", "none", "none", "none"}},
      {"Minors([m], [o1], [o2])", "error 327", "", "", {"none", "none", "none", "none"}},
      {"FFLU([m], , [o2])", "error 324", "", "", {"none", "none", "none", "none"}},
      {"Rowreduce([m])", "error 333", "", "", {"none", "none", "none", "none"}},
  };
  int number = 0;
  for (const Case& c : cases) {
    seen = Seen{};
    // Fresh names for every case: a failing call must leave none behind.
    const std::string prefix = "c" + std::to_string(++number);
    std::string call = c.call;
    for (std::size_t at = call.find("[o"); at != std::string::npos; at = call.find("[o", at + 2))
      call.replace(at + 1, 1, prefix + "o");
    const std::string want = c.result[0] == 'e' ? c.result : value_text(make_value(c.result));
    EXPECT_EQ(run(call + ";\n"), want) << c.call;
    EXPECT_EQ(seen.engine, c.engine) << c.call;
    for (int i = 0; i < 4 && c.engine[0] != '\0'; ++i) {
      EXPECT_EQ(seen.want[i], c.want[i] == '1') << c.call << " slot " << i + 1;
      EXPECT_EQ(seen.work[i], c.want[i] == '1') << c.call << " work array " << i + 1;
    }
    for (int i = 0; i < 4; ++i) {
      const std::string name = prefix + "o" + std::to_string(i + 1);
      EXPECT_EQ(shape(name.c_str()), c.shapes[i]) << c.call << " " << name;
    }
  }
  EXPECT_EQ(run("Pseudet([m], , 4);\n"), value_text(make_value("3")));
  EXPECT_EQ(seen.k, 4 - addresser + 1);
  EXPECT_EQ(first_available, 1);
}

// Hermite and Smith of random integer matrices through the built-ins: the
// transforms they make satisfy alpha*A*beta = form and alpha*alphinv = I.
TEST_F(MatrixBuiltins, RandomNormalFormsSatisfyTheirTransforms) {
  std::mt19937_64 rng(test_seed() + 40);
  for (int round = 0; round < 12; ++round) {
    const int r = 2 + static_cast<int>(rng() % 4), c = 2 + static_cast<int>(rng() % 4);
    const bool sparse = round % 3 == 2;
    // Names of their own in every round (r1a, r1h, ...).
    const std::string p = "r" + std::to_string(round);
    std::string s = "Array a[" + std::to_string(r) + "," + std::to_string(c) + "]" +
                    (sparse ? " Sparse" : "") + ":\n";
    for (int i = 1; i <= r; ++i)
      for (int j = 1; j <= c; ++j)
        if (!sparse || rng() % 2 == 0)
          s += "a[" + std::to_string(i) + "," + std::to_string(j) +
               "] := " + std::to_string(static_cast<int>(rng() % 41) - 20) + ":\n";
    s += "Array id[" + std::to_string(r) + "," + std::to_string(r) +
         "]:\n[id] := 0:\nDiag [id] := 1:\n";
    s += "Array jd[" + std::to_string(c) + "," + std::to_string(c) +
         "]:\n[jd] := 0:\nDiag [jd] := 1:\n";
    const char* form = round % 2 == 0 ? "Hermite" : "Smith";
    s += "[h] := [a]:\n" + std::string(form) + "([h], [al], [be], [ai], [bi]):\n";
    s += "Iszero([al] * [a] * [be] - [h]) + 2*Iszero([al] * [ai] - [id]) + "
         "4*Iszero([be] * [bi] - [jd]);\n";
    for (const char* name :
         {"[al]", "[be]", "[ai]", "[bi]", "[id]", "[jd]", "[h]", "[a]", "a[", "id[", "jd["}) {
      const std::string from = name;
      const std::string to = from[0] == '[' ? "[" + p + from.substr(1) : p + from;
      for (std::size_t at = s.find(from); at != std::string::npos;
           at = s.find(from, at + to.size()))
        s.replace(at, from.size(), to);
    }
    EXPECT_EQ(run(s), value_text(make_value("7"))) << form << " round " << round << "\n" << s;
  }
}

// An engine that wrecks its operand half-way and is then abandoned (an
// error or an interrupt stopped with "&@"): every dense cell or sparse row
// from the middle on is cleared or replaced.
void wreck_and_abandon(arrptr q) {
  if (q->spar != nullptr) {
    for (std::int32_t r = (q->rows + 1) / 2; r <= q->rows; ++r) {
      colm_ptrptr row = sparse_row(q->spar, r);
      free_sparse_row(*row);
      *row = nullptr;
    }
  } else {
    for (std::int32_t k = (q->start + q->stop) / 2; k <= q->stop; ++k) {
      free_quoly(arp_cell(k));
      if (k % 2 == 0) quoly_set(k, arp_cell(k));
    }
  }
  abandon(216, &blank);
}

// Every in-place matrix built-in abandoned half-way leaves its operand as
// it was, dense or sparse, in the rational and in a modular ring; one that
// returns keeps its result; a built-in that does not change its operand
// keeps no copy of it (its node balance is the test's).
TEST_F(MatrixBuiltins, AnAbandonedBuiltinLeavesItsOperandAsItWas) {
  matrix_engines.colreduce = [](quolyptr, arrptr q, const bool*, workptr, workptr, workptr, workptr,
                                sparseptr*, bool, std::int32_t) { wreck_and_abandon(q); };
  matrix_engines.intcolred = [](quolyptr, arrptr q, const bool*, workptr, workptr, workptr, workptr,
                                sparseptr*, bool, imptr) { wreck_and_abandon(q); };
  matrix_engines.intnormal = [](quolyptr, arrptr q, const bool*, workptr, workptr, workptr, workptr,
                                bool, imptr, sparseptr*, std::int32_t) { wreck_and_abandon(q); };
  matrix_engines.normalize = [](quolyptr, arrptr q, const bool*, workptr, workptr, workptr,
                                workptr) { wreck_and_abandon(q); };
  matrix_engines.red_row_ech = [](quolyptr, arrptr q, const bool*, workptr, workptr, sparseptr*) {
    wreck_and_abandon(q);
  };
  matrix_engines.sparse_rowreduce = [](quolyptr, arrptr q, bool, const bool*, workptr, sparseptr*,
                                       std::int32_t) { wreck_and_abandon(q); };
  matrix_engines.fract_free_lu = [](bool, quolyptr, arrptr q, const bool*, workptr, workptr,
                                    workptr, workptr, workptr, workptr) { wreck_and_abandon(q); };
  std::mt19937_64 rng(test_seed() + 63);
  for (const std::int32_t p : {0, 101}) {
    std::optional<ModulusScope> ring;
    if (p != 0) ring.emplace(p);
    for (const bool sparse : {false, true}) {
      const std::string kind = std::string(sparse ? " Sparse" : "") + (p != 0 ? " mod 101" : "");
      std::string s = std::string("Array b[5,4]") + (sparse ? " Sparse" : "") + ":\n";
      for (int i = 1; i <= 5; ++i)
        for (int j = 1; j <= 4; ++j)
          if (rng() % 3 != 0)
            s += "b[" + std::to_string(i) + "," + std::to_string(j) +
                 "] := " + std::to_string(static_cast<int>(rng() % 19) - 9) + ":\n";
      run(s + "[c] := [b]:\n");
      const char* in_place[] = {"Colreduce([b])", "Hermite([b])",   "Smith([b])",
                                "MSmith([b], 7)", "Normalize([b])", "Redrowech([b])",
                                "Rowreduce([b])", "Pseudet([b])",   "FFLU([b], [pv], [lo])"};
      for (const char* call : in_place) {
        const std::string result = run(std::string(call) + ";\n");
        if (result.rfind("error", 0) == 0 && result != "error 216") continue;  // refused first
        EXPECT_EQ(result, "error 216") << call << kind;
        EXPECT_EQ(run("Iszero([b] - [c]);\n"), value_text(make_value("1"))) << call << kind;
      }
      // Built-ins without engines: they return, and their result stays.
      if (sparse) {
        EXPECT_EQ(run("STrans[b];\nCols[b];\n"), value_text(make_value("5")));
        run("STrans[b]:\n");
      }
      run("Reverse[b]:\nReverse[b]:\n");
      EXPECT_EQ(run("Iszero([b] - [c]);\n"), value_text(make_value("1"))) << kind;
    }
    // The arrays go while their ring is in force (their numbers are of it).
    for (const char* name : {"b", "c", "pv", "lo"}) run(std::string("@[") + name + "]:\n");
  }
}

// The Lagrange basis polynomial i of the points 1 .. m, built test-side.
void test_basis(std::int32_t m, std::int32_t i, quolyptr w) {
  std::string num = "1";
  quoly q = nullptr;
  quoly_set(1, &q);
  for (std::int32_t j = 1; j <= m; ++j) {
    if (j == i) continue;
    num += "*(x - " + std::to_string(j) + ")";
    quoly_set(i - j, w);
    quoly next = matexpr::entry_op('/', q, *w);
    free_quoly(w);
    free_quoly(&q);
    q = next;
  }
  Value v = make_value(num);
  *w = matexpr::entry_op('*', v.get(), q);
  free_quoly(&q);
}

TEST_F(MatrixBuiltins, ChpolyCombiningRebuildsRandomCharacteristicPolynomials) {
  PolyVars vars({"x"});
  std::mt19937_64 rng(test_seed() + 41);
  for (std::int32_t r = 4; r <= 40; ++r) {
    // p = (-1)^r (x^r - t x^(r-1)) + random lower terms.
    std::vector<BigRef> coef(static_cast<std::size_t>(r) + 1, BigRef(0));
    const std::int64_t t = static_cast<std::int64_t>(rng() % 199) - 99;
    const BigRef sign = r % 2 == 0 ? BigRef(1) : BigRef(-1);
    coef[static_cast<std::size_t>(r)] = sign;
    coef[static_cast<std::size_t>(r - 1)] = sign * BigRef(-t);
    for (std::int32_t k = 0; k + 1 < r; ++k)
      coef[static_cast<std::size_t>(k)] = BigRef(static_cast<std::int64_t>(rng() % 20001) - 10000);
    std::string text = "0";
    for (std::int32_t k = 0; k <= r; ++k)
      text += " + (" + coef[static_cast<std::size_t>(k)].to_decimal() + ")*x^" + std::to_string(k);
    auto at = [&](std::int64_t v) {
      BigRef s = 0;
      for (std::int32_t k = r; k >= 0; --k) s = s * BigRef(v) + coef[static_cast<std::size_t>(k)];
      return make_value(s.to_decimal());
    };
    std::vector<Value> d;
    std::vector<quoly> dq;
    for (std::int32_t i = 1; i <= r - 2; ++i) d.push_back(at(i));
    for (auto& v : d) dq.push_back(v.get());
    Value c0 = at(0);
    Value tv = make_value(std::to_string(t));
    quoly n = nullptr;
    combine_char_poly(&n, r, tv.get(), c0.get(), dq.data(), test_basis);
    EXPECT_EQ(value_text(n), value_text(make_value(text).get())) << "r = " << r;
    free_quoly(&n);
  }
}

// Arithmetic modulo p, test-side.
std::int64_t mul_mod(std::int64_t a, std::int64_t b, std::int64_t p) {
  return static_cast<std::int64_t>(static_cast<__int128>(a) * b % p);
}
std::int64_t inv_mod(std::int64_t a, std::int64_t p) {
  std::int64_t r = 1;
  for (std::int64_t e = p - 2; e > 0; e >>= 1, a = mul_mod(a, a, p))
    if (e & 1) r = mul_mod(r, a, p);
  return r;
}

// det(m) modulo p by elimination.
std::int64_t det_mod(std::vector<std::vector<std::int64_t>> m, std::int64_t p) {
  const std::size_t n = m.size();
  std::int64_t d = 1;
  for (std::size_t c = 0; c < n; ++c) {
    std::size_t r = c;
    while (r < n && m[r][c] == 0) ++r;
    if (r == n) return 0;
    if (r != c) {
      std::swap(m[r], m[c]);
      d = (p - d) % p;
    }
    d = mul_mod(d, m[c][c], p);
    const std::int64_t iv = inv_mod(m[c][c], p);
    for (std::size_t k = c + 1; k < n; ++k) {
      const std::int64_t f = mul_mod(m[k][c], iv, p);
      for (std::size_t j = c; j < n; ++j) m[k][j] = (m[k][j] - mul_mod(f, m[c][j], p) + p) % p;
    }
  }
  return d;
}

// Chpoly of random numeric matrices modulo primes above the size (so by
// interpolation, past the basis table at 40 rows) equals the polynomial
// through the points (s, det(a - sI)), s = 0 .. r, computed test-side.
TEST_F(MatrixBuiltins, ModularChpolyAgreesWithDeterminantsAtEnoughPoints) {
  PolyVars vars({"x"});
  std::mt19937_64 rng(test_seed() + 42);
  int round = 0;
  for (const std::int64_t p : {11LL, 101LL, 65521LL, 2147483629LL}) {
    ModulusScope ring(static_cast<std::int32_t>(p));
    for (const std::int32_t r : {4, 6, 9, 13, 40, 41}) {
      if (r >= p) continue;
      std::vector<std::vector<std::int64_t>> a(r, std::vector<std::int64_t>(r));
      const std::string name = "cm" + std::to_string(round++);
      std::string s = "Array " + name + "[" + std::to_string(r) + "," + std::to_string(r) + "]:\n";
      for (int i = 0; i < r; ++i)
        for (int j = 0; j < r; ++j) {
          a[i][j] = static_cast<std::int64_t>(rng() % static_cast<std::uint64_t>(p));
          s += name + "[" + std::to_string(i + 1) + "," + std::to_string(j + 1) +
               "] := " + std::to_string(a[i][j]) + ":\n";
        }
      std::vector<std::int64_t> coef(static_cast<std::size_t>(r) + 1, 0);
      for (std::int64_t i = 0; i <= r; ++i) {
        auto shifted = a;
        for (int k = 0; k < r; ++k) shifted[k][k] = (shifted[k][k] - i + p) % p;
        std::vector<std::int64_t> basis{1};
        std::int64_t den = 1;
        for (std::int64_t k = 0; k <= r; ++k) {
          if (k == i) continue;
          std::vector<std::int64_t> next(basis.size() + 1, 0);
          for (std::size_t e = 0; e < basis.size(); ++e) {
            next[e + 1] = (next[e + 1] + basis[e]) % p;
            next[e] = (next[e] + mul_mod(p - k, basis[e], p)) % p;
          }
          basis = next;
          den = mul_mod(den, (i - k + p) % p, p);
        }
        const std::int64_t w = mul_mod(det_mod(shifted, p), inv_mod(den, p), p);
        for (std::size_t e = 0; e < basis.size(); ++e)
          coef[e] = (coef[e] + mul_mod(w, basis[e], p)) % p;
      }
      std::string text = "0";
      for (std::size_t e = 0; e < coef.size(); ++e)
        text += " + " + std::to_string(coef[e]) + "*x^" + std::to_string(e);
      EXPECT_EQ(run(s + "Chpoly([" + name + "]);\n"), value_text(make_value(text).get()))
          << "p = " << p << ", r = " << r;
    }
  }
}

// "Chpoly" of a dense array: the images (progress lines off) against the
// interpolation by exact determinants or, with fractions, the determinant of
// a - xI (progress lines on), on both sides of the basis table's reach.
TEST_F(MatrixBuiltins, ChpolyByImagesMatchesTheInterpolation) {
  PolyVars vars({"x"});
  std::mt19937_64 rng(test_seed() + 52);
  for (const int r : {4, 7, 13, 41, -3, -6}) {
    const int n = r < 0 ? -r : r;  // negative: with fractions
    const std::string name = "cp" + std::to_string(n);
    std::string s = "Array " + name + "[" + std::to_string(n) + "," + std::to_string(n) + "]:\n";
    for (int i = 1; i <= n; ++i)
      for (int j = 1; j <= n; ++j)
        s += name + "[" + std::to_string(i) + "," + std::to_string(j) +
             "] := " + std::to_string(static_cast<int>(rng() % 199) - 99) +
             (r < 0 ? "/" + std::to_string(1 + rng() % 6) : "") + ":\n";
    run(s);
    const std::string call = "Chpoly([" + name + "]);\n";
    const std::string images = run(call);
    verbose = true;
    const std::string interpolated = run(call);
    verbose = false;
    EXPECT_EQ(images, interpolated) << r;
    EXPECT_NE(images.find("x^" + std::to_string(n)), std::string::npos) << images;
  }
}

}  // namespace
}  // namespace tavrin::test
