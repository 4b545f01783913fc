// Matrix products and powers against the schoolbook product of values, in
// every ring, every dense/sparse combination and every ownership
// combination; and the size limit of the dense products.
#include "matrix/matrix_products.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "core/error_codes.h"
#include "core/globals.h"
#include "core/mode_guard.h"
#include "numbers/freelists.h"
#include "toplevel/state.h"
#include "arrays/sparse_store.h"
#include "matrix/matrix_support.h"
#include "matrix/sparse_copy.h"
#include "matlang/matrix_powers.h"
#include "support/bigref.h"
#include "support/modulus_scope.h"
#include "support/node_accounting.h"
#include "support/output_capture.h"
#include "support/value_form.h"

namespace tavrin::test {
namespace {

// The rings of the products, each with a maker of random entries.
struct RingCase {
  const char* name;
  ValueMaker make;
};

std::string random_poly_text(std::mt19937_64& g) {
  std::string s;
  const int terms = 1 + static_cast<int>(g() % 3);
  for (int t = 0; t < terms; ++t) {
    const int c = static_cast<int>(g() % 19) - 9;
    s += (t ? " + " : "") + std::string("(") + std::to_string(c == 0 ? 1 : c) + ")*x^" +
         std::to_string(g() % 3) + "*y^" + std::to_string(g() % 3);
  }
  return s;
}

ValueMaker residues(std::int64_t p) {
  return [p](std::mt19937_64& g) {
    // Large residues come up often: their word products pass 32 bits.
    const std::int64_t r = g() % 2 ? p - 1 - static_cast<std::int64_t>(g() % 50)
                                   : static_cast<std::int64_t>(g() % static_cast<std::uint64_t>(p));
    return Value::number(BigRef(r));
  };
}

// Runs f once in each ring, inside the ring's scope.
template <class F>
void in_every_ring(F f) {
  {
    SCOPED_TRACE("integers of several limbs");
    f(RingCase{"integers", [](std::mt19937_64& g) { return Value::number(random_big(g, 3)); }});
  }
  {
    SCOPED_TRACE("integers of one or two limbs");
    f(RingCase{"integers", [](std::mt19937_64& g) { return Value::number(random_big(g, 2)); }});
  }
  {
    SCOPED_TRACE("rationals");
    f(RingCase{"rationals", [](std::mt19937_64& g) {
                 return make_value(std::to_string(static_cast<int>(g() % 41) - 20) + " / " +
                                   std::to_string(1 + g() % 12));
               }});
  }
  for (std::int32_t p : {7, 65521, 2147483629, 256}) {
    SCOPED_TRACE("modulus " + std::to_string(p));
    ModulusScope mod(p);
    f(RingCase{"modular", residues(p)});
  }
  {
    SCOPED_TRACE("words");
    WordMode words;
    // Word arithmetic refuses a sum or product beyond 32 bits: entries small
    // enough that the products and powers of these sizes stay within.
    f(RingCase{"words", [](std::mt19937_64& g) {
                 return Value::number(BigRef(static_cast<std::int32_t>(g() % 19) - 9));
               }});
  }
  {
    SCOPED_TRACE("floating");
    FloatingMode fl;
    f(RingCase{"floating", [](std::mt19937_64& g) {
                 return Value::number(BigRef(static_cast<std::int64_t>(g() % 41) - 20));
               }});
  }
  {
    SCOPED_TRACE("polynomials in x and y");
    PolyVars vars{"x", "y"};
    f(RingCase{"polynomials", [](std::mt19937_64& g) { return make_value(random_poly_text(g)); }});
  }
}

// A matrix operand in the dense or the sparse form, in a shared buffer.
struct Operand {
  workptr cells;
  Descr f;
  sparseptr sp = nullptr;
  Operand(const Mat& m, bool sparse, workptr buf) : cells(buf) {
    if (sparse) {
      sp = to_sparse(m);
      set_descr(f.get(), m.rows, m.cols);
    } else {
      to_dense(m, cells, f.get());
    }
  }
};

class MatrixProducts : public MatrixTest {
 protected:
  std::unique_ptr<workarray> buf1 = fresh_work(), buf2 = fresh_work(), buf3 = fresh_work();

  // The product a*b through matrix_mult with the given forms and ownership,
  // checking that the borrowed operands are left as they were and that the
  // sparse result keeps the representation.
  Mat product(const Mat& a, const Mat& b, bool sa, bool sb, bool arr_free) {
    Operand A(a, sa, buf1.get()), B(b, sb, buf2.get());
    const sparseptr a_chain = A.sp;
    std::vector<quoly> a_cells(A.cells->stash, A.cells->stash + (sa ? 0 : a.rows * a.cols));
    // A sparse second operand's dense buffer is scratch; without one (nil)
    // the product takes a pool array.
    workptr b_cells = sb && !arr_free ? nullptr : B.cells;
    matrix_mult(A.cells, b_cells, A.f.get(), B.f.get(), arr_free, &A.sp, &B.sp);
    Mat got;
    EXPECT_EQ(A.f.d.rows, a.rows);
    EXPECT_EQ(descr_cols(A.f.get()), b.cols);
    if (A.sp != nullptr) {
      EXPECT_TRUE(sparse_ok(A.sp, a.rows, b.cols));
      got = from_sparse(A.sp, a.rows, b.cols);
      free_sparse(&A.sp, a.rows, true);
    } else {
      got = from_dense(A.cells, a.rows, b.cols);
      free_cells(A.cells, a.rows * b.cols);
    }
    EXPECT_TRUE(
        same_mat(sb ? from_sparse(B.sp, b.rows, b.cols) : from_dense(B.cells, b.rows, b.cols), b))
        << "the second operand changed";
    if (!arr_free) {  // the borrowed first operand is intact, and the test frees it
      if (sa) {
        sparseptr chain = a_chain;
        EXPECT_TRUE(same_mat(from_sparse(chain, a.rows, a.cols), a));
        free_sparse(&chain, a.rows, true);
      } else {
        Mat old(a.rows, a.cols);
        for (std::size_t k = 0; k < a_cells.size(); ++k) old.cell[k] = Value::adopt(a_cells[k]);
        EXPECT_TRUE(same_mat(old, a));
      }
    }
    if (sb) {
      free_sparse(&B.sp, b.rows, true);
    } else {
      free_cells(B.cells, b.rows * b.cols);
    }
    return got;
  }
};

TEST_F(MatrixProducts, EveryRouteEqualsTheSchoolbookProduct) {
  std::mt19937_64 rng(test_seed() + 3);
  ScopedValue<bool> push(errorpush, false);
  in_every_ring([&](const RingCase& ring) {
    NodeBalance balance;
    const int rounds = test_iterations(3);
    for (int round = 0; round < rounds; ++round) {
      std::uniform_int_distribution<std::int32_t> dim(1, 6);
      const std::int32_t r1 = dim(rng),
                         inner = round == 0   ? 1
                                 : round == 1 ? 6
                                              : dim(rng),
                         c2 = dim(rng);
      const double zeros = round == 1 ? 0.0 : 0.4;
      Mat a = random_mat(rng, r1, inner, zeros, ring.make);
      Mat b = random_mat(rng, inner, c2, zeros, ring.make);
      const Mat expect = schoolbook(a, b);
      for (bool sa : {false, true})
        for (bool sb : {false, true})
          for (bool arr_free : {false, true})
            EXPECT_TRUE(same_mat(product(a, b, sa, sb, arr_free), expect))
                << ring.name << ": " << (sa ? "sparse" : "dense") << " * "
                << (sb ? "sparse" : "dense") << (arr_free ? ", temporary" : ", borrowed");
      // The two sparse methods, and Winograd's dense product.
      for (bool by_columns : {false, true}) {
        sparseptr x = to_sparse(a), y = to_sparse(b);
        if (by_columns) {
          mult_sparses_by_columns(&x, &y, r1, inner, c2, true);
        } else {
          mult_sparses(&x, &y, r1, inner, c2, true);
        }
        EXPECT_TRUE(sparse_ok(x, r1, c2));
        EXPECT_TRUE(same_mat(from_sparse(x, r1, c2), expect));
        free_sparse(&x, r1, true);
        free_sparse(&y, inner, true);
      }
      Descr fa, fb;
      to_dense(a, buf1.get(), fa.get());
      to_dense(b, buf2.get(), fb.get());
      fast_mat_mult(buf1.get(), buf2.get(), buf3.get(), r1, inner, c2);
      EXPECT_TRUE(same_mat(from_dense(buf3.get(), r1, c2), expect)) << "Winograd";
      free_cells(buf1.get(), r1 * inner);
      free_cells(buf2.get(), inner * c2);
      free_cells(buf3.get(), r1 * c2);
      // (AB)C = A(BC), mixing the forms.
      Mat c = random_mat(rng, c2, 3, 0.3, ring.make);
      EXPECT_TRUE(same_mat(product(product(a, b, true, false, true), c, false, true, true),
                           product(a, product(b, c, false, false, false), true, true, false)));
    }
  });
}

TEST_F(MatrixProducts, SparseProductsBeyondOneFrame) {
  std::mt19937_64 rng(test_seed() + 4);
  NodeBalance balance;
  const ValueMaker ints = [](std::mt19937_64& g) {
    return Value::number(BigRef(static_cast<std::int64_t>(g() % 7) - 3));
  };
  Mat a = random_mat(rng, 2100, 30, 0.9, ints), b = random_mat(rng, 30, 40, 0.8, ints);
  const Mat ab = schoolbook(a, b);
  EXPECT_TRUE(same_mat(product(a, b, true, true, true), ab));
  // A long inner product of two-limb integers: 40000 * (2^56 - 1)^2 passes
  // 128 bits unless the short sums are moved into the big sum on the way.
  {
    const BigRef big = BigRef(268435456) * BigRef(268435456) - BigRef(1);
    Mat row(1, 40000), col(40000, 1);
    for (std::int32_t k = 0; k < 40000; ++k) {
      row.at(0, k) = Value::number(big);
      col.at(k, 0) = Value::number(big);
    }
    Mat expect(1, 1);
    expect.at(0, 0) = Value::number(BigRef(40000) * big * big);
    EXPECT_TRUE(same_mat(product(row, col, true, true, true), expect));
    EXPECT_TRUE(same_mat(product(row, col, false, false, true), expect));
  }
  // A product whose sums all cancel has empty rows.
  Mat x(2, 2), y(2, 2);
  x.at(0, 0) = Value::number(BigRef(1));
  x.at(0, 1) = Value::number(BigRef(1));
  y.at(0, 0) = Value::number(BigRef(2));
  y.at(1, 0) = Value::number(BigRef(-2));
  sparseptr sx = to_sparse(x), sy = to_sparse(y);
  mult_sparses(&sx, &sy, 2, 2, 2, true);
  EXPECT_EQ(sparse_entries(sx, 2), 0);
  free_sparse(&sx, 2, true);
  free_sparse(&sy, 2, true);
}

TEST_F(MatrixProducts, ADenseProductOfTooManyEntriesIsRefused) {
  NumberedErrors numbered;
  ScopedValue<bool> push(errorpush, false);
  NodeBalance balance;
  Descr fa(2000, 500), fb(500, 600);
  sparseptr none = nullptr, none2 = nullptr;
  buf1->stash[0] = nullptr;
  bool unwound = false;
  const std::string out = output_of(
      [&] { matrix_mult(buf1.get(), buf2.get(), fa.get(), fb.get(), true, &none, &none2); },
      &unwound);
  EXPECT_TRUE(unwound);
  EXPECT_TRUE(reports(out, 43)) << out;
  EXPECT_EQ(descr_cols(fa.get()), 500);
}

// The entries of a sparse product are held to the budget as they are made:
// past it the product is refused part-way, the operands as they were and
// the partial result given back; at it the product is whole. 40 x 1 ones by
// 1 x 30 ones: 1200 entries of 1, 30 a row.
TEST_F(MatrixProducts, ASparseProductPastTheBudgetGivesBackItsPartialResult) {
  NodeBalance balance;
  Mat col(40, 1), row(1, 30);
  for (std::int32_t i = 0; i < 40; ++i) col.at(i, 0) = Value::number(BigRef(1));
  for (std::int32_t j = 0; j < 30; ++j) row.at(0, j) = Value::number(BigRef(1));
  sparseptr a = to_sparse(col), b = to_sparse(row);
  // An entry of 1: a colnode, a value cell, a number and one limb.
  const std::uint64_t whole =
      1200 * (sizeof(colnode) + sizeof(quolynode) + sizeof(number) + sizeof(numnode));
  {
    ScopedValue<std::uint64_t> budget(totalavailablememory, whole - 1);
    NodeBalance nothing_kept;
    sparseptr x = a;
    bool unwound = false;
    const std::string said = output_of([&] { mult_sparses(&x, &b, 40, 1, 30, false); }, &unwound);
    EXPECT_TRUE(unwound);
    EXPECT_TRUE(reports(said, sparse_matrix_too_large_operation_error)) << said;
    EXPECT_EQ(x, a);
    EXPECT_TRUE(same_mat(from_sparse(a, 40, 1), col));
    EXPECT_TRUE(same_mat(from_sparse(b, 1, 30), row));
  }
  ScopedValue<std::uint64_t> budget(totalavailablememory, whole);
  sparseptr x = a;
  mult_sparses(&x, &b, 40, 1, 30, false);
  EXPECT_TRUE(sparse_ok(x, 40, 30));
  EXPECT_TRUE(same_mat(from_sparse(x, 40, 30), schoolbook(col, row)));
  free_sparse(&x, 40, true);
  free_sparse(&a, 40, true);
  free_sparse(&b, 1, true);
}

// A second factor of many columns costs the columns its rows touch, not a
// running sum for every one of its columns: a 2 x 1 by 1 x 20,000,000
// product whose second factor has two entries runs in a child process
// allowed 400 MB of address space beyond the test's (a sum a column would
// take over 2 GB), and gives the four products.
TEST_F(MatrixProducts, AWideSecondFactorTakesNoSumForEachColumn) {
#if defined(TAVRIN_TEST_SANITIZED)
  GTEST_SKIP() << "the sanitizers reserve address space of their own";
#endif
  constexpr std::int32_t cols = 20000000;
  ScopedValue<std::uint64_t> no_budget(totalavailablememory, 0);
  NodeBalance balance;
  Mat a(2, 1);
  a.at(0, 0) = Value::number(BigRef(2));
  a.at(1, 0) = Value::number(BigRef(-3));
  sparseptr sa = to_sparse(a);
  sparseptr sb = nullptr;
  sparse_init(&sb, 1);
  colm_ptrptr t = &sb->indx[0];
  for (const auto& [c, v] : {std::pair<std::int32_t, std::int32_t>{3, 7}, {cols, 5}}) {
    colm_ptr e = nullptr;
    newcolm(&e);
    e->coord = c;
    e->val = nullptr;
    quoly_set(v, &e->val);
    e->val->next = nullptr;
    e->next = nullptr;
    *t = e;
    t = &e->next;
  }
  std::fflush(stdout);
  const pid_t pid = fork();
  if (pid == 0) {
    long pages = 0;
    if (std::FILE* f = std::fopen("/proc/self/statm", "r")) {
      if (std::fscanf(f, "%ld", &pages) != 1) pages = 0;
      std::fclose(f);
    }
    const rlim_t room = static_cast<rlim_t>(pages) * static_cast<rlim_t>(sysconf(_SC_PAGESIZE)) +
                        (rlim_t{400} << 20);
    const rlimit limit{room, room};
    if (pages == 0 || setrlimit(RLIMIT_AS, &limit) != 0) _exit(3);
    // noexcept: a failed allocation ends the child (std::terminate) instead
    // of running on in the test program.
    [&]() noexcept { mult_sparses(&sa, &sb, 2, 1, cols, false); }();
    auto at = [&](std::int32_t r, std::int32_t c) {
      return number_value(spar_retrieve(sa, r, c)->ncoef);
    };
    const bool right = sparse_entries(sa, 2) == 4 && at(1, 3) == BigRef(14) &&
                       at(1, cols) == BigRef(10) && at(2, 3) == BigRef(-21) &&
                       at(2, cols) == BigRef(-15);
    _exit(right ? 0 : 1);
  }
  ASSERT_GT(pid, 0);
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
      << (WIFEXITED(status) ? "exit " + std::to_string(WEXITSTATUS(status))
                            : "signal " + std::to_string(WTERMSIG(status)));
  free_sparse(&sa, 2, true);
  free_sparse(&sb, 1, true);
}

// m^e by repeated schoolbook products.
Mat power_by_hand(const Mat& m, int e) {
  Mat r(m.rows, m.cols);
  for (std::int32_t i = 0; i < m.rows; ++i) r.at(i, i) = Value::number(BigRef(1));
  for (int k = 0; k < e; ++k) r = schoolbook(r, m);
  return r;
}

TEST_F(MatrixProducts, PowersByBothLaddersAndBothForms) {
  std::mt19937_64 rng(test_seed() + 5);
  in_every_ring([&](const RingCase& ring) {
    NodeBalance balance;
    // Polynomial entries grow fast: their matrices stay small.
    const bool grows = std::string(ring.name) == "polynomials";
    const std::int32_t n = 1 + static_cast<std::int32_t>(rng() % (grows ? 2 : 4));
    Mat m = random_mat(rng, n, n, 0.4, ring.make);
    for (int e : {0, 1, 2, 5}) {
      const Mat expect = power_by_hand(m, e);
      for (int form = 0; form < 3; ++form) {  // dense, sparse, dense by the alternative ladder
        for (bool owned : {false, true}) {
          Operand A(m, form == 1, buf1.get());
          const sparseptr chain = A.sp;
          std::vector<quoly> cells(A.cells->stash, A.cells->stash + (form == 1 ? 0 : n * n));
          bool arr_free = owned;
          if (form == 2) {
            alt_mat_power(A.cells, A.f.get(), &arr_free, e);
          } else {
            matrix_power(A.cells, A.f.get(), &arr_free, e, &A.sp);
          }
          EXPECT_EQ(arr_free, e == 1 ? owned : true);
          Mat got;
          if (form == 1) {
            ASSERT_TRUE(sparse_ok(A.sp, n, n));
            got = from_sparse(A.sp, n, n);
          } else {
            got = from_dense(A.cells, n, n);
          }
          EXPECT_TRUE(same_mat(got, expect)) << "power " << e << ", form " << form;
          // The result is the caller's now; a borrowed start is intact.
          const bool same_storage = e == 1;
          if (!owned && !same_storage) {
            if (form == 1) {
              sparseptr c = chain;
              EXPECT_TRUE(same_mat(from_sparse(c, n, n), m));
              free_sparse(&c, n, true);
            } else {
              for (quoly& q : cells) free_quoly(&q);
            }
          }
          if (form == 1) {
            free_sparse(&A.sp, n, true);
          } else {
            free_cells(A.cells, n * n);
          }
        }
      }
    }
  });
}

TEST_F(MatrixProducts, ANegativePowerIsTheInverse) {
  // A^-1 * A = I for an invertible integer matrix.
  Mat m(2, 2);
  m.at(0, 0) = Value::number(BigRef(2));
  m.at(0, 1) = Value::number(BigRef(1));
  m.at(1, 0) = Value::number(BigRef(1));
  m.at(1, 1) = Value::number(BigRef(1));
  Operand A(m, false, buf1.get());
  bool arr_free = true;
  matrix_power(A.cells, A.f.get(), &arr_free, -1, &A.sp);
  Mat inv = from_dense(A.cells, 2, 2);
  free_cells(A.cells, 4);
  EXPECT_TRUE(same_mat(schoolbook(inv, m), power_by_hand(m, 0)));
}

}  // namespace
}  // namespace tavrin::test
