// Coefficients, degrees, splicing, the greatest integer and the absolute
// value of values: tables of known answers (errors and node accounting
// included) and splicing against the landed sum and product.
#include "quoly/quoly_coef.h"

#include <gtest/gtest.h>

#include <cstring>
#include <initializer_list>
#include <random>
#include <string>
#include <tuple>

#include "core/error_codes.h"
#include "core/globals.h"
#include "core/mode_guard.h"
#include "numbers/work_arrays.h"
#include "poly/poly_coef.h"
#include "poly/poly_divide.h"
#include "poly/poly_repr.h"
#include "quoly/quoly_add.h"
#include "quoly/quoly_great_abs.h"
#include "quoly/quoly_mult.h"
#include "quoly/quoly_power.h"
#include "arrays/sparse_store.h"
#include "support/node_accounting.h"
#include "support/output_capture.h"
#include "support/poly_support.h"
#include "support/relation_scope.h"
#include "support/rings.h"
#include "support/value_form.h"

namespace tavrin::test {
namespace {

// Takes the value out of a temporary handle.
quoly take(Value v) {
  quoly q = v.get();
  *v.cell() = nullptr;
  return q;
}

// The exponent expression the stand-in reader hands to the coefficient
// built-in.
std::string reader_text;
void test_reader(void*, nameptr*, quolyptr v) { *v = take(make_value(reader_text)); }

// The coefficient of the monomial mono_m.
poly mono_m = nullptr;
void mono_xy(quolyptr x, quolyptr n) { quoly_mono_num_coef(x, n, mono_m); }

class ErrorsReturn {
  NumberedErrors numbered_;
  ScopedValue<bool> push_{errorpush, true};
  ScopedValue<std::int32_t> stat_{statcount, 1};  // a report opens a level, left at once
};

TEST(ValueCoefficients, KnownAnswers) {
  PolyVars vars{"x", "y"};
  ErrorsReturn errors;
  ScopedValue<coef_exponent_reader> reader(read_coef_exponent, test_reader);
  NodeBalance balance;
  struct Row {
    const char* n;
    const char* var;
    const char* e;         // the exponent expression
    const char* expected;  // the coefficient
    std::int32_t error;
    const char* tok = ",";
  };
  const Row rows[] = {
      {"x^2*y + 3", "y", "0", "3", 0},
      {"x^2*y + 3", "x", "2", "y", 0},
      {"x^2*y + 3", "x", "1", "0", 0},
      {"x^2*y + 3", "y", "1", "x^2", 0},
      {"x^2*y + 3*y + x", "y", "1", "x^2 + 3", 0},
      {"x^2*y + 3", "2*y", "1", "0", not_a_variable_error},
      {"x^2*y + 3", "y^2", "1", "0", not_a_variable_error},
      {"x^2*y + 3", "x + 1", "1", "0", not_a_variable_error},
      {"x + 1", "x", "1", "0", comma_expected_error, ";"},
      {"x + 1", "x", "y", "1", exponent_not_number_error},  // counted as the exponent 0
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(row.n) + " in " + row.var + "^" + row.e);
    Poly n(row.n);
    Value var = make_value(row.var);
    std::strcpy(token.name, row.tok);
    reader_text = row.e;
    poly ans = nullptr;
    const std::string out = output_of([&] { general_coef(n, &ans, var, nullptr, nullptr); });
    EXPECT_TRUE(row.error == 0 ? out.empty() : reports(out, row.error)) << out;
    EXPECT_TRUE(valid_poly(ans));
    EXPECT_EQ(show_poly(ans), row.expected);
    free_poly(&ans);
  }

  // Degrees: (value, level, lowest) -> degree.
  struct Degree {
    const char* v;
    std::int32_t level;
    bool lowest;
    std::int64_t expected;
  };
  for (const Degree& d : {Degree{"x^3 + x^2", 1, true, 2}, Degree{"x^3 + 5", 1, true, 0},
                          Degree{"x^3*y + x*y^2", 2, true, 1}, Degree{"x^3*y + x*y^2", 2, false, 2},
                          Degree{"7", 1, false, 0}, Degree{"x^3*y + 1 / x + y", 1, false, 3}}) {
    Value v = make_value(d.v);
    Value deg;
    generalized_degree(v.cell(), deg.cell(), d.level, d.lowest);
    EXPECT_EQ(value_text(deg), "number " + std::to_string(d.expected)) << d.v << " " << d.level;
  }

  // Numeric accessors: copy form (value kept), then in-place form.
  using Accessor = void (*)(quolyptr, quolyptr);
  struct Access {
    const char* v;
    Accessor f;
    const char* expected;
  };
  const Access accesses[] = {
      {"x^2 + x", quoly_z_num_coef, "number 0"},
      {"x^2*y + 4*y + 6", quoly_z_num_coef, "number 6"},
      {"2*x^2 + 3*x", quoly_trail_num_coef, "number 3"},
      {"2*x^2*y + 3*x*y^2 + 5*x*y", quoly_trail_num_coef, "number 5"},
      {"-7*x^2*y + 3*x", quoly_leading_num_coef, "number -7"},
      {"x^2 + 1 / x - 1", quoly_leading_num_coef, "number 1"},
      {"4*x*y + 2*x + y", mono_xy, "number 4"},
      {"4*x^2*y + 2*x", mono_xy, "number 0"},
      {"x*y^2 + 9*x*y + 2", mono_xy, "number 9"},
  };
  Poly mono("x*y");
  mono_m = mono;
  for (const Access& a : accesses) {
    SCOPED_TRACE(a.v);
    Value v = make_value(a.v);
    const std::string shape = value_shape(v);
    Value c;
    a.f(v.cell(), c.cell());
    EXPECT_EQ(value_text(c), a.expected);
    EXPECT_EQ(value_shape(v), shape);
    a.f(v.cell(), v.cell());
    EXPECT_EQ(value_text(v), a.expected);
  }
  // The leading coefficient over the field of y modulo y^2 + 1, modulo 7.
  {
    RingScope mod7(Ring::mod7);
    vars.level(2)->field = true;
    ModOutScope rel(vars, 2, "y^2 + 1", true);
    Value v = make_value("(2*y + 3)*x^2 + x + y");
    Value c;
    quoly_field_leading_coef(v.cell(), c.cell());
    EXPECT_EQ(value_text(c), "2*y + 3");
    Value deg;
    generalized_degree(Value(make_value("x^9 + 1")).cell(), deg.cell(), 1, false);
    EXPECT_EQ(value_text(deg), "number 9");  // the degree itself, not its residue
    quoly_field_leading_coef(v.cell(), v.cell());
    EXPECT_EQ(value_text(v), "2*y + 3");
    EXPECT_TRUE(valid_poly(v->numer));
  }
}

TEST(ValueSplice, PlantedAndAgainstSumAndProduct) {
  PolyVars vars{"t", "u"};
  NodeBalance balance;
  {
    Value p = make_value("1 + t");
    Value q = make_value("5");
    splice_poly(p.cell(), q.cell(), 2);
    EXPECT_EQ(value_text(p), "5*t^2 + t + 1");
    EXPECT_EQ(value_text(q), "number 1");
  }
  std::mt19937_64 rng(test_seed());
  for (int it = 0; it < test_iterations(300); ++it) {
    const RefPoly a = random_refpoly(rng, 2, 5, 4, 2);
    const RefPoly b = random_refpoly(rng, 2, 5, 4, 2);
    const std::int32_t m = 1 + static_cast<std::int32_t>(rng() % 5);
    SCOPED_TRACE(show_poly(Poly(a)) + " + (" + show_poly(Poly(b)) + ") t^" + std::to_string(m));
    Value p;
    Value q;
    for (auto [ref, cell] : {std::pair{&a, p.cell()}, {&b, q.cell()}}) {
      poly raw = Poly(*ref).release();
      use_up_poly(&raw, cell);
    }
    // Reference: p + q * t^m by the landed product, power and sum.
    Value expected = copy_of(p);
    Value shifted = copy_of(q);
    Value tm = make_value("t");
    quoly_compute_power(tm.cell(), m);
    fast_quoly_mult(shifted.cell(), tm.cell());
    best_quoly_add(expected.cell(), take(std::move(shifted)));
    splice_poly(p.cell(), q.cell(), m);
    EXPECT_EQ(value_text(p), value_text(expected));
    EXPECT_TRUE(normal_value(p));
    EXPECT_EQ(value_text(q), "number 1");
  }
}

TEST(ValueGreatIntAbs, KnownAnswersAndErrors) {
  PolyVars vars{"x", "y"};
  ErrorsReturn errors;
  NodeBalance balance;
  struct Row {
    Ring ring;
    const char* v;
    bool abs;
    const char* expected;
    std::int32_t error;
  };
  const Row rows[] = {
      {Ring::integers, "-5 / 2", false, "number -3", 0},
      {Ring::integers, "7 / 2", false, "number 3", 0},
      {Ring::integers, "-6", false, "number -6", 0},
      {Ring::integers, "x / 3", false, "x / 3", 0},
      {Ring::integers, "3*x - 2*y", false, "3*x - 2*y", 0},
      {Ring::mod7, "3*x + 5", false, "3*x + 5", 0},
      {Ring::word, "5", false, "number 5", word_arithmetic_error},
      {Ring::floating, "x", false, "x", not_in_this_arithmetic_error},
      {Ring::integers, "3*x - 2*y", true, "3*x + 2*y", 0},
      {Ring::integers, "-4 / 3", true, "4 / 3 rat", 0},
      {Ring::integers, "x - 1 / -x - 2", true, "x + 1 / x + 2", 0},
      {Ring::integers, "-5", true, "number 5", 0},
      {Ring::word, "-5", true, "number 5", 0},
      {Ring::mod7, "3*x - 2", true, "3*x + 5", 0},
  };
  for (const Row& row : rows) {
    RingScope ring(row.ring);
    SCOPED_TRACE(std::string(ring_name(row.ring)) + (row.abs ? " |" : " $ ") + row.v);
    Value v = make_value(row.v);
    const std::string out = output_of([&] {
      if (row.abs) {
        quoly_abs(v);
      } else {
        quoly_great_int(v.cell());
      }
    });
    EXPECT_TRUE(row.error == 0 ? out.empty() : reports(out, row.error)) << out;
    EXPECT_EQ(row.error != 0, out.find("symbol: $") != std::string::npos) << out;
    EXPECT_EQ(value_text(v), row.expected);
    EXPECT_TRUE(normal_value(v));
  }
  // Floating mode: "$" truncates toward zero, |.| is exact on long doubles.
  RingScope floating(Ring::floating);
  for (auto [x, great, abs] : {std::tuple{-2.5L, -2.0L, 2.5L},
                               {2.75L, 2.0L, 2.75L},
                               {-0.1L, 0.0L, 0.1L},
                               {-1e12L, -1e12L, 1e12L},
                               {-6442450943.5L, -6442450943.0L, 6442450943.5L}}) {
    Value g = Value::adopt(nullptr);
    fl_quoly_set(x, g.cell());
    quoly_great_int(g.cell());
    EXPECT_EQ(g->ncoef->flote, great) << static_cast<double>(x);
    fl_quoly_set(x, g.cell());
    quoly_abs(g);
    EXPECT_EQ(g->ncoef->flote, abs) << static_cast<double>(x);
  }
}

// The link of row r's first entry (rows from 1, frames of 2048).
colm_ptr* row_head(sparseptr s, std::int32_t r) {
  for (; r > sparse_frame_rows; r -= sparse_frame_rows) s = s->next;
  return &s->indx[r - 1];
}

using Entries = std::initializer_list<std::tuple<int, int, const char*>>;

// A sparse matrix of `rows` rows by hand: (row, column, value) entries in
// increasing column order within each row.
sparseptr make_sparse(std::int32_t rows, Entries entries) {
  sparseptr first = nullptr;
  for (sparseptr* link = &first; rows > 0; rows -= sparse_frame_rows, link = &(*link)->next) {
    newsparse(link);
    for (auto& head : (*link)->indx) head = nullptr;
    (*link)->next = nullptr;
  }
  for (auto [r, c, text] : entries) {
    colm_ptr* at = row_head(first, r);
    while (*at != nullptr) at = &(*at)->next;
    newcolm(at);
    **at = colnode{c, take(make_value(text)), nullptr};
  }
  return first;
}

// The entries as "row,column:value" lines; the matrix is given back.
std::string sparse_text(sparseptr s, std::int32_t rows) {
  std::string out;
  for (std::int32_t r = 1; r <= rows; ++r) {
    for (colm_ptr at = *row_head(s, r); at != nullptr; at = at->next)
      out += std::to_string(r) + "," + std::to_string(at->coord) + ":" + value_text(at->val) + "\n";
  }
  free_sparse(&s, rows, true);
  return out;
}

TEST(SparseGreatAbs, EntrywiseScalarOperations) {
  PolyVars vars{"x"};
  const std::int32_t rows = 2050;
  const Entries fractions = {{1, 1, "-5 / 2"}, {1, 4, "1 / 2"}, {2, 2, "7"}, {2050, 3, "-x + 6"}};
  const Entries integers = {{1, 1, "-5"}, {1, 4, "9"}, {2, 2, "7"}, {2050, 3, "-x + 6"}};
  // The expected matrix: the scalar operation on each entry, zeros left out.
  auto entrywise = [&](const Entries& entries, auto op) {
    std::string out;
    for (auto [r, c, text] : entries) {
      Value v = make_value(text);
      op(v.cell());
      if (!quoly_iszero(v))
        out += std::to_string(r) + "," + std::to_string(c) + ":" + value_text(v) + "\n";
    }
    return out;
  };
  const std::string original = sparse_text(make_sparse(rows, fractions), rows);
  // "$" on a copy: the original stays, 1/2 leaves its row.
  sparseptr m = make_sparse(rows, fractions);
  sparseptr s = m;
  sparse_great_abs(&s, rows, false, false);
  EXPECT_NE(s, m);
  EXPECT_EQ(sparse_text(m, rows), original);
  EXPECT_EQ(sparse_text(s, rows), entrywise(fractions, [](quolyptr v) { quoly_great_int(v); }));
  // The absolute value in place.
  s = make_sparse(rows, fractions);
  sparse_great_abs(&s, rows, true, true);
  EXPECT_EQ(sparse_text(s, rows), entrywise(fractions, [](quolyptr v) { quoly_abs(*v); }));
  // "|" 7 in place (7 leaves its row) and "\\" 3 into a new matrix.
  for (auto [which, divisor, free] : {std::tuple{'|', "7", true}, {'\\', "3", false}}) {
    Value n2 = make_value(divisor);
    m = make_sparse(rows, integers);
    s = m;
    sparse_mod_or_div(&s, n2, rows, free, which);
    const std::string expected =
        entrywise(integers, [&](quolyptr v) { quoly_mod_or_div(*v, n2, v, which); });
    if (!free) {
      EXPECT_EQ(sparse_text(m, rows), sparse_text(make_sparse(rows, integers), rows));
    }
    EXPECT_EQ(sparse_text(s, rows), expected) << which;
  }
}

// quoly_put_flote gives every number of a value the long double of its
// limbs: multi-limb and negative ones exactly, the denominator's too.
TEST(ValuePutFlote, EveryNumberGetsItsLongDouble) {
  PolyVars vars{"x"};
  Value v = make_value("1099511627779*x - 1152921504606846976 / 3");  // (2^40 + 3) x - 2^60
  poly term = v->numer, leaf = term->next;
  for (imptr n : {term->pcoef->ncoef, leaf->ncoef, v->denom->ncoef}) n->flote = 0.5L;
  quoly_put_flote(v);
  EXPECT_EQ(term->pcoef->ncoef->flote, 1099511627779.0L);
  EXPECT_EQ(leaf->ncoef->flote, -1152921504606846976.0L);
  EXPECT_EQ(v->denom->ncoef->flote, 3.0L);
}

TEST(ValuePthRoot, FieldElements) {
  PolyVars vars{"t"};
  ScopedValue<std::int32_t> pool(first_available, 1);  // the root table takes a work array
  ErrorsReturn errors;
  RingScope mod3(Ring::mod3);
  vars.level(1)->field = true;
  ModOutScope rel(vars, 1, "t^2 + 1", true);
  Value v = make_value("2*t");  // t^3 = 2t
  quoly_pth_root(v.cell());
  EXPECT_EQ(value_text(v), "t");
  Value w = make_value("t");
  quoly_pth_root(w.cell());
  EXPECT_EQ(value_text(w), "2*t");
}

TEST(ValuePthRoot, MainVariableAboveTheField) {
  PolyVars vars{"x", "t"};
  ErrorsReturn errors;
  RingScope mod3(Ring::mod3);
  vars.level(2)->field = true;
  ModOutScope rel(vars, 2, "t^2 + 1", true);
  Value v = make_value("x^3 + t");
  EXPECT_TRUE(reports(output_of([&] { quoly_pth_root(v.cell()); }), pth_root_above_field_error));
  EXPECT_EQ(value_text(v), "x^3 + t");
}

}  // namespace
}  // namespace tavrin::test
