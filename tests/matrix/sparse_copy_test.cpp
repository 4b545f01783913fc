// Sparse copies, negation, identity and transposes: round trips on random
// matrices beyond one frame of rows and of columns, and known answers.
#include "matrix/sparse_copy.h"

#include <gtest/gtest.h>

#include <random>

#include "core/globals.h"
#include "numbers/freelists.h"
#include "arrays/sparse_store.h"
#include "matrix/matrix_support.h"
#include "support/bigref.h"
#include "support/modulus_scope.h"
#include "support/node_accounting.h"
#include "support/value_form.h"

namespace tavrin::test {
namespace {

class SparseCopies : public MatrixTest {};

TEST_F(SparseCopies, RoundTripsOnRandomMatrices) {
  std::mt19937_64 rng(test_seed() + 2);
  PolyVars vars{"x", "y"};
  const ValueMaker ints = [](std::mt19937_64& g) { return Value::number(random_big(g, 3)); };
  const ValueMaker polys = [](std::mt19937_64& g) {
    static const char* const forms[] = {"x + 1", "y^2 - 3*x", "2*x*y", "x / (y + 2)", "-5"};
    return make_value(forms[g() % 5]);
  };
  struct Shape {
    std::int32_t rows, cols;
    double zeros;
  };
  for (const Shape s : {Shape{1, 9, 0.3}, Shape{9, 1, 0.3}, Shape{12, 17, 0.5},
                        Shape{2049, 30, 0.9}, Shape{30, 4100, 0.95}}) {
    for (const ValueMaker* make : {&ints, &polys}) {
      NodeBalance balance;
      {
        Mat m = random_mat(rng, s.rows, s.cols, s.zeros, *make);
        const Mat mt = transposed(m);
        sparseptr a = to_sparse(m);
        // Relinking transpose, twice.
        trans_sparse(&a, s.rows, s.cols);
        ASSERT_TRUE(sparse_ok(a, s.cols, s.rows));
        EXPECT_TRUE(same_mat(from_sparse(a, s.cols, s.rows), mt));
        trans_sparse(&a, s.cols, s.rows);
        ASSERT_TRUE(sparse_ok(a, s.rows, s.cols));
        EXPECT_TRUE(same_mat(from_sparse(a, s.rows, s.cols), m));
        // Sharing transpose: the source keeps its values until its entries
        // and frames are given back, after which the transpose owns them.
        sparseptr f = nullptr;
        flip_sparse(a, &f, s.rows, s.cols);
        ASSERT_TRUE(sparse_ok(f, s.cols, s.rows));
        EXPECT_TRUE(same_mat(from_sparse(f, s.cols, s.rows), mt));
        free_sparse_frame(&a, s.rows);
        // Copies, plain and negated: the copy plus the negated copy is empty.
        sparseptr c = nullptr, n = nullptr;
        copy_sparse(&f, &c, s.cols, false);
        copy_sparse(&f, &n, s.cols, true);
        EXPECT_TRUE(sparse_ok(c, s.cols, s.rows));
        EXPECT_TRUE(same_mat(from_sparse(c, s.cols, s.rows), mt));
        // A borrowed matrix is left as it is and a temporary comes back.
        bool temp = false;
        sparseptr borrowed = c;
        sparse_makeneg(&borrowed, s.cols, &temp);
        EXPECT_TRUE(temp);
        EXPECT_NE(borrowed, c);
        EXPECT_TRUE(same_mat(from_sparse(c, s.cols, s.rows), mt));
        EXPECT_TRUE(
            same_mat(from_sparse(borrowed, s.cols, s.rows), from_sparse(n, s.cols, s.rows)));
        // Negating the temporary in place gives the matrix back.
        sparse_makeneg(&borrowed, s.cols, &temp);
        EXPECT_TRUE(same_mat(from_sparse(borrowed, s.cols, s.rows), mt));
        free_sparse(&f, s.cols, true);
        free_sparse(&c, s.cols, true);
        free_sparse(&n, s.cols, true);
        free_sparse(&borrowed, s.cols, true);
      }
    }
  }
}

TEST_F(SparseCopies, KnownAnswers) {
  PolyVars vars{"x", "y"};
  NodeBalance balance;
  // The identity, replacing a matrix that is freed only when owned.
  sparseptr id = nullptr;
  spar_identi(&id, 2050, false);
  ASSERT_TRUE(sparse_ok(id, 2050, 2050));
  EXPECT_EQ(sparse_entries(id, 2050), 2050);
  EXPECT_EQ(value_text(spar_retrieve(id, 2050, 2050)), "number 1");
  sparseptr kept = id;
  spar_identi(&id, 3, false);  // kept is left alone
  EXPECT_EQ(sparse_entries(kept, 2050), 2050);
  spar_identi(&id, 4, true);
  EXPECT_EQ(sparse_entries(id, 4), 4);
  free_sparse(&id, 4, true);
  free_sparse(&kept, 2050, true);
  // A row vector transposed gives one entry per non-zero column.
  {
    Mat v(1, 6);
    v.at(0, 1) = make_value("x");
    v.at(0, 4) = make_value("3");
    sparseptr sp = to_sparse(v);
    trans_sparse(&sp, 1, 6);
    ASSERT_TRUE(sparse_ok(sp, 6, 1));
    EXPECT_EQ(sparse_entries(sp, 6), 2);
    EXPECT_EQ(value_text(spar_retrieve(sp, 2, 1)), value_text(make_value("x")));
    free_sparse(&sp, 6, true);
  }
  // The one-variable copy drops the pad of the absent top variable.
  {
    Value y1 = make_value("y + 1");
    Value c;
    one_var_quoly_assign(y1, c.cell());
    ASSERT_FALSE(c->numb);
    EXPECT_EQ(c->denom, nullptr);
    EXPECT_EQ(dump_poly(c->numer), dump_poly(y1->numer->pcoef));
    Value r = make_value("(x^2 + 2) / (x - 1)");
    one_var_quoly_assign(r, c.cell());  // the old copy is freed
    EXPECT_EQ(c->denom, nullptr);
    EXPECT_EQ(dump_poly(c->numer), dump_poly(r->numer));
  }
  // The copy into the word-residue form holds the residues.
  {
    ModulusScope mod(7);
    Mat m(2, 2);
    m.at(0, 0) = Value::number(BigRef(3));
    m.at(1, 1) = Value::number(BigRef(6));
    sparseptr sp = to_sparse(m), w = nullptr;
    special_copy_sparse(&sp, &w, 2);
    EXPECT_EQ(colm_word(*sparse_row(w, 1)), 3);
    EXPECT_EQ(colm_word(*sparse_row(w, 2)), 6);
    move_data_outof_quoly(w, 2);
    EXPECT_TRUE(same_mat(from_sparse(w, 2, 2), m));
    sparseptr ov = nullptr;
    one_var_copy_sparse(&sp, &ov, 2);
    EXPECT_TRUE(same_mat(from_sparse(ov, 2, 2), m));
    free_sparse(&sp, 2, true);
    free_sparse(&w, 2, true);
    free_sparse(&ov, 2, true);
  }
}

}  // namespace
}  // namespace tavrin::test
