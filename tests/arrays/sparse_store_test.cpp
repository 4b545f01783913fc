// The sparse store: random edit sequences against a map of (row, column) to
// value, and a table of known answers of the readers, the whole-matrix
// operations and the predicates.
#include "arrays/sparse_store.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <random>
#include <string>
#include <utility>

#include "core/error_codes.h"
#include "core/globals.h"
#include "core/mode_guard.h"
#include "numbers/bigint.h"
#include "numbers/freelists.h"
#include "numbers/stash/stash.h"
#include "toplevel/charsets.h"
#include "toplevel/scanner.h"
#include "toplevel/state.h"
#include "matrix/matrix_support.h"
#include "support/bigref.h"
#include "support/modulus_scope.h"
#include "support/node_accounting.h"
#include "support/output_capture.h"
#include "support/value_form.h"

namespace tavrin::test {
namespace {

using Cell = std::pair<std::int32_t, std::int32_t>;

// A sparse user array of the given shape, freed with its frames at the end.
struct SparseArray {
  arrnode a{};
  std::int32_t cols;
  SparseArray(std::int32_t rows, std::int32_t c) : cols(c) {
    a.rows = rows;
    sparse_init(&a.spar, rows);
  }
  ~SparseArray() { free_sparse(&a.spar, a.rows, true); }
};

::testing::AssertionResult agrees(const SparseArray& s, const std::map<Cell, BigRef>& model) {
  std::map<Cell, BigRef> seen;
  for (std::int32_t r = 1; r <= s.a.rows; ++r)
    for (colm_ptr e = *sparse_row(s.a.spar, r); e != nullptr; e = e->next)
      seen[{r, e->coord}] = number_value(e->val->ncoef);
  if (seen == model) return ::testing::AssertionSuccess();
  for (const auto& [k, v] : model)
    if (!seen.count(k) || !(seen[k] == v))
      return ::testing::AssertionFailure()
             << "(" << k.first << ", " << k.second << ") should be " << v.to_decimal();
  return ::testing::AssertionFailure()
         << seen.size() << " entries, " << model.size() << " expected";
}

class SparseStore : public MatrixTest {};

TEST_F(SparseStore, RandomEditsAgreeWithAMap) {
  std::mt19937_64 rng(test_seed());
  ScopedValue<std::int32_t> origin(addresser, 1);
  for (std::int32_t rows : {1, 2047, 2048, 2049, 5000}) {
    NodeBalance balance;
    {
      SparseArray s(rows, 40);
      std::map<Cell, BigRef> model;
      std::uniform_int_distribution<std::int32_t> row(1, rows), col(1, s.cols), op(0, 5);
      std::uniform_int_distribution<std::int32_t> small(-6, 6);
      const int steps = test_iterations(600);
      for (int step = 0; step < steps; ++step) {
        // Rows at the frame boundaries come up often.
        std::int32_t r = step % 4 == 0 ? std::min(rows, 2048 + step % 3 - 1) : row(rng);
        if (r < 1) r = 1;
        const std::int32_t c = col(rng);
        const bool present = model.count({r, c}) != 0;
        const std::int32_t n = step % 7 == 0 ? (1 << 30) + small(rng) : small(rng);
        // Linear subscripts count down the columns from the origin.
        const bool colflag = step % 3 != 0;
        const std::int32_t r1 = colflag ? r : (c - 1) * rows + r;
        switch (op(rng)) {
          case 0:
            if (!present) {
              Value v = Value::number(BigRef(n));
              sparse_insert(r1, c, &s.a, colflag, v.cell());
              if (n != 0) model[{r, c}] = BigRef(n);
            }
            break;
          case 1:
          case 2: {
            const bool assign = op(rng) % 2 == 0;
            isparse_insert(r1, c, n, &s.a, colflag, assign);
            BigRef v = assign || !present ? BigRef(n) : model[{r, c}] + BigRef(n);
            if (!present && n == 0) break;
            if (present && n == 0 && !assign) break;
            if (v == BigRef(0)) {
              model.erase({r, c});
            } else {
              model[{r, c}] = v;
            }
            break;
          }
          case 3:
            if (present) {
              sparse_delete(r1, c, &s.a, colflag);
              model.erase({r, c});
            }
            break;
          case 4:
            if (!present) {
              quolyptr qp = nullptr;
              sparse_set(r1, c, &s.a, &qp, colflag);
              EXPECT_TRUE(sparse_val_iszero(*qp));
              if (n != 0) {
                quoly_set(n, qp);
                (*qp)->next = nullptr;
                model[{r, c}] = BigRef(n);
              } else {
                purge_sparse(sparse_row(s.a.spar, r), c);  // the explicit zero goes
              }
            }
            break;
          default:
            purge_sparse(sparse_row(s.a.spar, r), c);  // a non-zero entry stays
            break;
        }
        ASSERT_TRUE(sparse_ok(s.a.spar, rows, s.cols)) << "rows " << rows << ", step " << step;
      }
      EXPECT_TRUE(agrees(s, model)) << "rows " << rows;
    }
  }
}

TEST_F(SparseStore, KnownAnswers) {
  ScopedValue<std::int32_t> origin(addresser, 1);
  NodeBalance balance;
  {
    SparseArray s(3000, 5);
    // A zero number is not stored; a polynomial always is.
    Value zero = Value::number(BigRef(0));
    sparse_insert(2, 2, &s.a, true, zero.cell());
    EXPECT_EQ(*sparse_row(s.a.spar, 2), nullptr);
    // -5 added onto 5 deletes the entry; 0 assigned to an absent entry does nothing.
    isparse_insert(2048, 3, 5, &s.a, true, false);
    isparse_insert(2048, 3, -5, &s.a, true, false);
    EXPECT_EQ(*sparse_row(s.a.spar, 2048), nullptr);
    isparse_insert(2049, 4, 0, &s.a, true, true);
    EXPECT_EQ(*sparse_row(s.a.spar, 2049), nullptr);
    // A value of two limbs is stored whole, and added to whole.
    isparse_insert(2049, 4, 2000000000, &s.a, true, true);
    isparse_insert(2049, 4, 2000000000, &s.a, true, false);
    EXPECT_EQ(number_value(spar_retrieve(s.a.spar, 2049, 4)->ncoef), BigRef(4000000000LL));
    // Rows 2048 and 2049 lie in different frames.
    EXPECT_EQ(sparse_frame_of(s.a.spar, 2048), s.a.spar);
    EXPECT_EQ(sparse_frame_of(s.a.spar, 2049), s.a.spar->next);
    isparse_insert(2048, 1, 7, &s.a, true, true);
    colm_ptrptr t = sparse_row(s.a.spar, 2048);
    sparseptr isp = s.a.spar;
    quolyptr at = get_sparse(2048, 1, &t, &isp);
    ASSERT_NE(at, nullptr);
    EXPECT_EQ(number_value((*at)->ncoef), BigRef(7));
    EXPECT_EQ(isp, s.a.spar->next);  // moved on to the frame of row 2049
    EXPECT_EQ(t, &s.a.spar->next->indx[0]);
    EXPECT_EQ(get_sparse(2049, 1, &t, &isp), nullptr);
    // An absent entry reads as the shared zero.
    EXPECT_EQ(spar_retrieve(s.a.spar, 1, 1), quol_num_0);
    // Linear subscripts with origin 0: subscript 2048 of 3000 rows is (2049, 1).
    {
      ScopedValue<std::int32_t> zero_origin(addresser, 0);
      isparse_insert(2048, 0, 9, &s.a, false, true);
    }
    EXPECT_EQ(number_value(spar_retrieve(s.a.spar, 2049, 1)->ncoef), BigRef(9));
    // The diagonal reader walks the frames.
    isparse_insert(1, 1, 11, &s.a, true, true);
    sparseptr f = s.a.spar;
    quoly qq = nullptr;
    sparse_qq_set(1, &f, &qq);
    EXPECT_EQ(number_value(qq->ncoef), BigRef(11));
    bool empty = true;
    sparse_iszero(s.a.spar, 3000, &empty);
    EXPECT_FALSE(empty);
    bool allnumbs = false;
    EXPECT_TRUE(sparse_allpolys(s.a.spar, 3000, &allnumbs));
    EXPECT_TRUE(allnumbs);
    EXPECT_EQ(sparse_polydepth(s.a.spar, 3000), 16384);
    EXPECT_TRUE(sparse_one_var_polys(s.a.spar, 3000));
    // Freeing with arr_free false only forgets the matrix.
    sparseptr alias = s.a.spar;
    free_sparse(&alias, 3000, false);
    EXPECT_EQ(alias, nullptr);
    EXPECT_TRUE(sparse_ok(s.a.spar, 3000, 5));
  }
}

TEST_F(SparseStore, WholeMatrixOperationsAndPredicates) {
  std::mt19937_64 rng(test_seed() + 1);
  ScopedValue<std::int32_t> origin(addresser, 1);
  PolyVars vars{"x", "y"};
  NodeBalance balance;
  auto workbuf = fresh_work();
  workptr w = workbuf.get();
  // Dense to sparse and back is the identity; zero cells give nil heads.
  for (std::int32_t rows : {1, 7, 2049}) {
    const std::int32_t cols = rows == 2049 ? 3 : 6;
    Mat m = random_mat(rng, rows, cols, 0.6,
                       [](std::mt19937_64& g) { return Value::number(random_big(g, 2)); });
    SparseArray s(rows, cols);
    Descr d;
    for (bool arr_free : {false, true}) {
      to_dense(m, w, d.get());
      standard_to_sparse(&s.a, w, cols, arr_free);
      EXPECT_TRUE(sparse_ok(s.a.spar, rows, cols));
      EXPECT_TRUE(same_mat(from_sparse(s.a.spar, rows, cols), m));
      for (std::int32_t i = 1; i <= rows; ++i) {
        bool any = false;
        for (std::int32_t j = 0; j < cols; ++j) any = any || m.get(i - 1, j) != nullptr;
        if (!any) {
          EXPECT_EQ(*sparse_row(s.a.spar, i), nullptr);
        }
      }
      free_cells(w, rows * cols);  // taken-over cells are nil now
    }
    Value x = make_value("x + 2");
    sparse_set_scalar(&s.a, cols, x);
    EXPECT_EQ(sparse_entries(s.a.spar, rows), static_cast<long>(rows) * cols);
    EXPECT_EQ(sparse_polydepth(s.a.spar, rows), 1);
    Value zero = Value::number(BigRef(0));
    sparse_set_scalar(&s.a, cols, zero);
    EXPECT_EQ(sparse_entries(s.a.spar, rows), 0);
  }
  // Predicates on polynomial entries.
  {
    SparseArray s(3, 3);
    Value y = make_value("y^2 + 1"), r = make_value("x / (y + 1)"), xy = make_value("x*y - 1");
    sparse_insert(1, 1, &s.a, true, y.cell());
    EXPECT_EQ(sparse_polydepth(s.a.spar, 3), 2);
    EXPECT_TRUE(sparse_one_var_polys(s.a.spar, 3));
    sparse_insert(2, 2, &s.a, true, xy.cell());
    EXPECT_EQ(sparse_polydepth(s.a.spar, 3), 1);
    EXPECT_FALSE(sparse_one_var_polys(s.a.spar, 3));
    bool allnumbs = true;
    EXPECT_TRUE(sparse_allpolys(s.a.spar, 3, &allnumbs));
    EXPECT_FALSE(allnumbs);
    sparse_insert(3, 1, &s.a, true, r.cell());
    EXPECT_FALSE(sparse_allpolys(s.a.spar, 3, &allnumbs));
    EXPECT_FALSE(sparse_negexponents(s.a.spar, 3));
    // Clearing denominators: x / (y + 1) becomes x, 3/4 becomes 3.
    Value q = make_value("3 / 4");
    sparse_insert(3, 3, &s.a, true, q.cell());
    killdenoms(s.a.spar, 0, 3, 3, 3);
    EXPECT_EQ(value_text(spar_retrieve(s.a.spar, 3, 1)), value_text(make_value("x")));
    EXPECT_EQ(value_text(spar_retrieve(s.a.spar, 3, 3)), "number 3");
    EXPECT_TRUE(sparse_ok(s.a.spar, 3, 3));
  }
  // The word-residue form: in and out again gives the same values.
  {
    ModulusScope mod(65521);
    Mat m = random_mat(rng, 40, 40, 0.7, [](std::mt19937_64& g) {
      return Value::number(BigRef(static_cast<std::int64_t>(g() % 65520 + 1)));
    });
    sparseptr sp = to_sparse(m);
    move_data_into_quoly(sp, 40);
    for (std::int32_t i = 1; i <= 40; ++i)
      for (colm_ptr e = *sparse_row(sp, i); e != nullptr; e = e->next)
        EXPECT_EQ(BigRef(colm_word(e)), number_value(m.get(i - 1, e->coord - 1)->ncoef));
    move_data_outof_quoly(sp, 40);
    EXPECT_TRUE(same_mat(from_sparse(sp, 40, 40), m));
    // put_back_sparse hands the rows of one matrix to another.
    sparseptr other = nullptr;
    sparse_init(&other, 40);
    put_back_sparse(sp, other, 40);
    EXPECT_TRUE(same_mat(from_sparse(other, 40, 40), m));
    EXPECT_EQ(sparse_entries(sp, 40), 0);
    free_sparse(&sp, 40, true);
    free_sparse(&other, 40, true);
  }
}

// A frame chain registered as a named array lands in its name's bucket with
// the next creation stamp.
TEST_F(SparseStore, QuickCreateRegistersTheArray) {
  NodeBalance balance;
  ScopedValue<std::int32_t> stamp(array_time, 41);
  for (std::int16_t address : {std::int16_t{-1}, std::int16_t{17}}) {
    tokentipe name{};
    std::strcpy(name.name, "Spm");
    name.address = address;
    sparseptr sp = nullptr;
    sparse_init(&sp, 3000);
    quick_sparse_create(sp, &name, 3000, 7, false);
    const std::int32_t bucket = address < 0 ? hash("Spm", arr_buckets) : address;
    arrptr a = arr_store[bucket];
    ASSERT_NE(a, nullptr);
    EXPECT_STREQ(a->name.name, "Spm");
    EXPECT_EQ(a->spar, sp);
    EXPECT_EQ(a->rows, 3000);
    EXPECT_EQ(a->stop, -1);
    EXPECT_EQ(number_value(&a->sizearr), BigRef(21000));
    EXPECT_EQ(a->time, address < 0 ? 41 : 42);
    arr_store[bucket] = a->next;  // taken out again
    free_sparse(&a->spar, 3000, true);
    special_free(&a->sizearr);
    a->next = arr_garb;
    arr_garb = a;
  }
  EXPECT_EQ(array_time, 43);
}

// Under a budget of three frames the row heads of 3 * 2048 rows are made
// and one row more is refused before a frame is taken: the caller's pointer
// and the free frames stay as they were; so is every larger count.
TEST_F(SparseStore, FramesPastTheBudgetAreRefusedBeforeAnyIsTaken) {
  NodeBalance balance;
  ScopedValue<std::uint64_t> budget(totalavailablememory, 3 * sizeof(rowarray));
  sparseptr sp = nullptr;
  sparse_init(&sp, 3 * sparse_frame_rows);
  std::int32_t frames = 0;
  for (sparseptr f = sp; f != nullptr; f = f->next) ++frames;
  EXPECT_EQ(frames, 3);
  free_sparse(&sp, 3 * sparse_frame_rows, true);
  const sparseptr free_frames = spargarb;
  for (const std::int32_t rows : {3 * sparse_frame_rows + 1, 4 * sparse_frame_rows, 1 << 20}) {
    sparseptr kept = free_frames;  // any marker: it must not be overwritten
    bool unwound = false;
    const std::string said = output_of([&] { sparse_init(&kept, rows); }, &unwound);
    EXPECT_TRUE(unwound) << rows;
    EXPECT_TRUE(reports(said, sparse_matrix_too_large_operation_error)) << said;
    EXPECT_EQ(kept, free_frames) << rows;
    EXPECT_EQ(spargarb, free_frames) << rows;
  }
  // Counts of rows or columns the caller checks itself, without making frames.
  for (const std::int64_t count :
       {std::int64_t{0}, std::int64_t{-5}, std::int64_t{1}, std::int64_t{3} * sparse_frame_rows,
        std::int64_t{3} * sparse_frame_rows + 1, std::int64_t{2147483647}, std::int64_t{1} << 40}) {
    bool unwound = false;
    (void)output_of([&] { check_sparse_rows(count); }, &unwound);
    EXPECT_EQ(unwound, count > 3 * sparse_frame_rows) << count;
  }
  ScopedValue<std::uint64_t> none(totalavailablememory, 0);  // no budget: any count
  bool unwound = false;
  (void)output_of([&] { check_sparse_rows(2147483647); }, &unwound);
  EXPECT_FALSE(unwound);
}

// An entry's size follows its value: a one-limb integer has a limb, 2^30
// two, a residue none. A count of entries is held to the budget without
// forming count times size, so no overflow lets a count through.
TEST_F(SparseStore, EntrySizesFollowTheirValues) {
  const std::uint64_t least = sizeof(colnode) + sizeof(quolynode) + sizeof(number);
  Value five = Value::number(BigRef(5)), big = Value::number(BigRef(1 << 30));
  EXPECT_EQ(sparse_entry_bytes(five), least + sizeof(numnode));
  EXPECT_EQ(sparse_entry_bytes(big), least + 2 * sizeof(numnode));
  EXPECT_EQ(sparse_word_entry_bytes(), least + sizeof(numnode));
  {
    ModulusScope mod(65521);
    Value residue = Value::number(BigRef(5));
    EXPECT_EQ(sparse_entry_bytes(residue), least);
    EXPECT_EQ(sparse_word_entry_bytes(), least);
  }
  ScopedValue<std::uint64_t> held(totalavailablememory, std::uint64_t{1} << 40);
  for (const std::int64_t n :
       {std::int64_t{1} << 62, std::int64_t{1} << 33, std::int64_t{1} << 30}) {
    bool unwound = false;
    const std::string said =
        output_of([&] { check_sparse_entries(n, std::uint64_t{1} << 10); }, &unwound);
    EXPECT_EQ(unwound, n > (std::int64_t{1} << 30)) << n;
    if (unwound) {
      EXPECT_TRUE(reports(said, sparse_matrix_too_large_operation_error)) << said;
    }
  }
  ScopedValue<std::uint64_t> none(totalavailablememory, 0);  // no budget: any count
  bool unwound = false;
  (void)output_of([&] { check_sparse_entries(std::int64_t{1} << 62, 128); }, &unwound);
  EXPECT_FALSE(unwound);
}

// A scalar fill whose entries would pass the budget is refused before
// anything changes: the array keeps its entries and no record is taken. One
// just within it fills every cell, across a frame boundary. An entry of 5 is
// a colnode, a value cell, a number and one limb; of 2^30 one limb more.
TEST_F(SparseStore, AFillPastTheBudgetLeavesTheArrayAsItWas) {
  ScopedValue<std::int32_t> origin(addresser, 1);
  const std::uint64_t entry =
      sizeof(colnode) + sizeof(quolynode) + sizeof(number) + sizeof(numnode);
  Value five = Value::number(BigRef(5)), big = Value::number(BigRef(1 << 30));
  NodeBalance balance;
  const std::int32_t rows = 2049, cols = 2;
  const std::uint64_t count = static_cast<std::uint64_t>(rows) * cols;
  SparseArray s(rows, cols);
  isparse_insert(1, 1, -4, &s.a, true, true);
  isparse_insert(2049, 2, 7, &s.a, true, true);
  const std::map<Cell, BigRef> before = {{{1, 1}, BigRef(-4)}, {{2049, 2}, BigRef(7)}};
  // One byte short for the fives, and short for 2^30 at what the fives take.
  for (const auto& [value, budget] : {std::pair<quoly, std::uint64_t>{five, count * entry - 1},
                                      std::pair<quoly, std::uint64_t>{big, count * entry}}) {
    ScopedValue<std::uint64_t> held(totalavailablememory, budget);
    NodeBalance nothing_taken;
    bool unwound = false;
    const std::string said = output_of([&] { sparse_set_scalar(&s.a, cols, value); }, &unwound);
    EXPECT_TRUE(unwound);
    EXPECT_TRUE(reports(said, sparse_matrix_too_large_operation_error)) << said;
    EXPECT_TRUE(agrees(s, before));
  }
  {
    ScopedValue<std::uint64_t> held(totalavailablememory, count * entry);
    sparse_set_scalar(&s.a, cols, five);
  }
  std::map<Cell, BigRef> fives;
  for (std::int32_t r = 1; r <= rows; ++r)
    for (std::int32_t c = 1; c <= cols; ++c) fives[{r, c}] = BigRef(5);
  EXPECT_TRUE(agrees(s, fives));
  EXPECT_TRUE(sparse_ok(s.a.spar, rows, cols));
}

// The rest of an "&" setting as a token chain, from stored text and from a
// stream.
TEST_F(SparseStore, TheSettingsReader) {
  auto texts = [](nameptr p) {
    std::string s;
    for (; p != nullptr; p = p->next)
      s += std::string(p->let.name) + "@" + std::to_string(p->let.address) + " ";
    return s;
  };
  auto stored = [](std::initializer_list<const char*> tokens) {
    nameptr head = nullptr;
    newname(&head);
    head->next = nullptr;
    nameptr* link = &head->next;
    for (const char* t : tokens) {
      nameptr n = nullptr;
      newname(&n);
      std::strcpy(n->let.name, t);
      n->let.address = 7;
      n->next = nullptr;
      *link = n;
      link = &n->next;
    }
    return head;
  };
  ScopedValue<std::int32_t> defs(func_def_count, 0);
  const struct {
    std::initializer_list<const char*> tokens;
    const char* expected;
  } table[] = {
      {{"D", "3", end_marker_name, "x"}, "D@7 3@7 ;@-1 "},
      {{"f", "(", ")", "x", end_marker_name}, "f@7 (@7 )@7 ;@-1 "},
      {{"a", "b"}, "a@7 ;@-1 "},  // the last token of a used-up chain is not taken
      {{end_marker_name}, ""},
  };
  for (const auto& row : table) {
    nameptr text = stored(row.tokens);
    nameptr got = nullptr;
    get_stream(&got, nullptr, text);
    EXPECT_EQ(texts(got), row.expected);
    freename(got);
    freename(text);
  }
  TextInput in(std::string("3 x ;\n"));
  TextInput* stream = &in;
  ScopedValue<std::int32_t> names(namelength, 10);
  ScopedValue<bool> terminal(tt_flag, false);
  init_character_sets();
  leftover[0] = '\0';
  nameptr got = nullptr;
  get_stream(&got, &stream, nullptr);
  EXPECT_EQ(texts(got), "3@-1 x@-1 ;@-1 ");
  freename(got);
  leftover[0] = '\0';
}

}  // namespace
}  // namespace tavrin::test
