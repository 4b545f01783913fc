// Images of values modulo a word prime: known answers, the report of a
// denominator that vanishes, the permanent conversion of polynomials,
// random values against residues computed apart and brought back node for
// node, and errors unwinding through the image and through a fold.
#include "quoly/quoly_change_mod.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "core/errors.h"
#include "core/globals.h"
#include "core/jumps.h"
#include "core/mode_guard.h"
#include "numbers/freelists.h"
#include "numbers/mod_journal.h"
#include "poly/poly_images.h"
#include "quoly/quoly.h"
#include "support/data_tables.h"
#include "support/node_accounting.h"
#include "support/output_capture.h"
#include "support/poly_support.h"
#include "support/relation_scope.h"
#include "support/rings.h"
#include "support/value_form.h"

namespace tavrin::test {
namespace {

// What the value is before the image and after the journal is replayed.
std::string whole(quoly q) { return value_shape(q) + " / " + value_text(q); }

// A nested level left by abandoning the computation.
void abandon_level() { throw TopLevelJump{}; }

TEST(ValueImages, KnownAnswersAndTheWayBack) {
  load_data_tables();
  PolyVars vars{"x", "y"};
  auto ref = [&vars](const std::string& s) { return parse_ref(s, vars.names()); };
  NodeBalance balance;
  struct Row {
    const char* value;
    std::int32_t p;
    const char* image;  // "number k", or numerator " / " denominator
  };
  const Row rows[] = {
      {"x + 3 / x + 1", 2, "number 1"},
      {"2*x / 2*x + 4", 3, "x / x + 2"},
      {"3*x*y / x + 1", 3, "number 0"},
      {"3*x + 1", 3, "number 1"},
      {"1 / 2", 7, "number 4"},
      {"6*x + 3 / 4*y", 5, "4*x + 2 / y"},
      {"x^2 - 1 / 3*x^2 + 6*x + 3", 7, "5*x + 2 / x + 1"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.value);
    Value v = make_value(row.value);
    const std::string before = whole(v);
    {
      ModulusScope mod(row.p);
      ModularImage image;
      EXPECT_EQ(quoly_change_to_mod(v.cell()), 0);
      const std::string want = row.image;
      if (want.rfind("number ", 0) == 0) {
        ASSERT_TRUE(v->numb);
        EXPECT_EQ(number_value(v->ncoef), BigRef(std::stoll(want.substr(7))));
      } else {
        const auto slash = want.find(" / ");
        ASSERT_FALSE(v->numb);
        EXPECT_EQ(read_poly(v->numer), ref(want.substr(0, slash)).reduced_mod(BigRef(row.p)));
        EXPECT_EQ(read_poly(v->denom), ref(want.substr(slash + 3)).reduced_mod(BigRef(row.p)));
        EXPECT_TRUE(normal_value(v, false));
      }
      image.restore();
    }
    EXPECT_EQ(whole(v), before);
  }
  {  // a denominator that vanishes: the report, and the other values go on
    Value v = Value::ratfun("x + 1", "3*x"), c = Value::ratfun("5", "3*x"), w = make_value("2 / 5");
    const std::string before_v = whole(v), before_c = whole(c), before_w = whole(w);
    ScopedValue<tokentipe> tok(token);
    std::strcpy(token.name, "v");
    {
      ModulusScope mod(3);
      ModularImage image;
      const std::string out = output_of([&] { EXPECT_EQ(quoly_change_to_mod(v.cell()), -1); });
      const std::string message = output_of([] { out_err_mess(210); });
      EXPECT_EQ(out, " *** Inappropriate symbol: v\n" + message +
                         " Change of precedence will continue. Some data may not be reasonably "
                         "changed.\n");
      output_of([&] { EXPECT_EQ(quoly_change_to_mod(c.cell()), -1); });
      ASSERT_TRUE(c->numb);  // the constant numerator became the value's number
      EXPECT_EQ(number_value(c->ncoef), BigRef(2));
      EXPECT_EQ(quoly_change_to_mod(w.cell()), 0);
      ASSERT_TRUE(w->numb);
      EXPECT_EQ(number_value(w->ncoef), BigRef(1));  // 2 * 5^-1 = 2 * 2
      image.restore();
    }
    EXPECT_EQ(whole(v), before_v);
    EXPECT_EQ(whole(c), before_c);
    EXPECT_EQ(whole(w), before_w);
  }
  {  // the permanent conversion
    Poly a("3*x^2 + 3"), b("x*(3*y) + 1"), c("4*x*y + 6*y + 5");
    ModulusScope mod(3);
    poly_change_num(a.cell());
    EXPECT_EQ(a.get(), nullptr);
    poly_change_num(b.cell());
    ASSERT_NE(b.get(), nullptr);
    EXPECT_TRUE(b->numb && b->next == nullptr);
    EXPECT_EQ(b->ncoef->lint, 1);
    poly_change_num(c.cell());
    EXPECT_EQ(c.ref(), ref("x*y + 2"));
  }
}

TEST(ValueImages, RandomValuesMatchTheirResiduesAndComeBack) {
  load_data_tables();
  PolyVars vars{"x", "y", "t"};
  const auto& names = vars.names();
  std::mt19937_64 rng(test_seed() + 110);
  // Primes with a square root r of 2, so that t = r lies on t^2 = 2.
  std::vector<std::pair<std::int64_t, std::int64_t>> primes;
  for (std::int64_t p = 60000; primes.size() < 24; ++p) {
    bool prime = p % 2 != 0;
    for (std::int64_t d = 3; prime && d * d <= p; d += 2) prime = p % d != 0;
    if (!prime || (p % 8 != 1 && p % 8 != 7)) continue;
    for (std::int64_t r = 1; r < p; ++r)
      if (r * r % p == 2) {
        primes.emplace_back(p, r);
        break;
      }
  }
  NodeBalance balance;
  ModOutScope rel(vars, 3, "t^2 - 2", true);
  auto small = [&](int terms) {
    RefPoly a = random_refpoly(rng, 3, terms, 2, 2);
    RefPoly r(3);
    for (const auto& [e, c] : a.terms()) {  // below the relation's degree in t
      RefPoly::Exps x = e;
      x[2] %= 2;
      r.add_term(x, c);
    }
    return r;
  };
  int vanished = 0;
  for (int i = 0; i < test_iterations(1000); ++i) {
    const auto [p, root] = primes[rng() % primes.size()];
    Value v;
    switch (i % 4) {
      case 0: v = Value::number(random_big(rng, 3)); break;
      case 1:
        v = make_value(random_big(rng, 2).to_decimal() + " / " +
                       (random_big(rng, 1).abs() + BigRef(1)).to_decimal());
        break;
      case 2:
        v = Value::ratfun(small(4).to_string(names));
        check_quoly(v.cell(), false);
        break;
      default: {
        RefPoly d = small(3);
        if (d.is_zero()) d = parse_ref("x + 1", names);
        v = Value::ratfun(small(4).to_string(names), d.to_string(names));
        check_quoly(v.cell(), false);
      }
    }
    if (!v->numb && read_poly(v->numer).is_zero()) continue;
    SCOPED_TRACE(value_text(v) + " modulo " + std::to_string(p));
    const std::string before = whole(v);
    const auto [n, d] = value_parts(v);
    {
      ModulusScope mod(static_cast<std::int32_t>(p));
      ModularImage image;
      image.take_modout_data();
      std::int32_t result = 0;
      const std::string out = output_of([&] { result = quoly_change_to_mod(v.cell()); });
      if (result == -1) {
        ++vanished;
        EXPECT_TRUE(d.reduced_mod(BigRef(p)).is_zero());
      } else {
        EXPECT_TRUE(normal_value(v, false));
        // The residues of the parts, as they stand, at points of t^2 = 2.
        Value residues = Value::ratfun(n.reduced_mod(BigRef(p)).to_string(names),
                                       d.reduced_mod(BigRef(p)).to_string(names));
        for (std::int64_t t : {root, p - root}) {
          const std::vector<std::int64_t> pt{static_cast<std::int64_t>(rng() % p),
                                             static_cast<std::int64_t>(rng() % p), t};
          const auto want = value_mod_at(residues, pt, p);
          if (want) {
            EXPECT_EQ(value_mod_at(v, pt, p), want);
          }
        }
      }
      image.restore();
    }
    ASSERT_EQ(whole(v), before);
  }
  EXPECT_LT(vanished, 5);
}

TEST(ValueImages, AnErrorUnwindingLeavesValuesRelationsAndJournalAsTheyWere) {
  load_data_tables();
  PolyVars vars{"x", "t"};
  NodeBalance balance;
  ScopedValue<command_level_runner> runner(run_command_level, abandon_level);
  {  // the image: modulo 15 the leading coefficient 3 has no inverse
    Value v = make_value("x + 1 / 3*x + 2");
    const std::string before = whole(v);
    fixptr outer = masterfix;
    bool unwound = false;
    output_of(
        [&] {
          ModulusScope mod(15, false);
          ModularImage image;
          quoly_change_to_mod(v.cell());
        },
        &unwound);
    EXPECT_TRUE(unwound);
    EXPECT_EQ(masterfix, outer);
    EXPECT_EQ(whole(v), before);
  }
  {  // the Laurent fold, with the relation put on the level for the inverse
    ScopedValue<bool> field(vars.level(2)->field, true);
    ScopedValue<std::int16_t> fd(field_depth, 2);
    ScopedValue<bool> l(laurent, true);
    Poly rel("t^2 - 2", {"t"}), p("t^-1 + t^3", {"t"});
    const std::string shape = node_shape(rel);
    bool unwound = false;
    const std::string out =
        output_of([&] { mod_out_poly(p.cell(), rel.cell(), 1, 2, vars.level(2)); }, &unwound);
    EXPECT_TRUE(unwound);
    EXPECT_NE(out.find("laurent_fold."), std::string::npos);
    EXPECT_EQ(vars.level(2)->p, nullptr);
    EXPECT_EQ(node_shape(rel), shape);
  }
  {  // the fold steps, with the relation's tail negated: an error below
    ModOutScope low(vars, 2, "t^2 - 3");
    ScopedValue<bool> l(laurent, true);
    Poly rel("2*x^2 - t - 1", {"x", "t"}), p("x^2*t^-1");
    const std::string shape = node_shape(rel);
    const std::string rel_text = rel.str();
    bool unwound = false;
    const std::string out =
        output_of([&] { mod_out_poly(p.cell(), rel.cell(), 1, 2, polynames); }, &unwound);
    EXPECT_TRUE(unwound) << out;
    EXPECT_EQ(node_shape(rel), shape);
    EXPECT_EQ(rel.str(), rel_text);
  }
}

}  // namespace
}  // namespace tavrin::test
