// Adjoining and cancelling variables, the rewriting of stored values, the
// Laurent switch and the suspension of the quotient ring, run in-process
// through the statements that ask for them.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "core/errors.h"
#include "core/globals.h"
#include "core/jumps.h"
#include "core/mode_guard.h"
#include "numbers/freelists.h"
#include "poly/poly_repr.h"
#include "poly/poly_upcalls.h"
#include "toplevel/charsets.h"
#include "toplevel/dispatch.h"
#include "toplevel/language_services.h"
#include "toplevel/polymodding.h"
#include "toplevel/scanner.h"
#include "toplevel/state.h"
#include "lang/expressions.h"
#include "lang/variables.h"
#include "frontend/poly_vars.h"
#include "frontend/stored_values.h"
#include "support/data_tables.h"
#include "support/node_accounting.h"
#include "support/output_capture.h"
#include "support/poly_support.h"
#include "support/relation_scope.h"
#include "support/statements.h"
#include "support/value_form.h"

namespace tavrin::test {
namespace {

// A session without variables: statements run in-process; at the end every
// scalar variable and adjoined variable is gone and the modes are back.
class Session : public testing::Test {
 protected:
  Session() {
    load_data_tables();
    init_character_sets();
    make_token_ring();
    clear_all();
  }
  ~Session() override { clear_all(); }

  static void clear_all() {
    clear_variables_and_polynomial_names();
    laurent = false;
    monomial_list = false;
    reset_pseudo_poly();
    quoly_set(0, &prevnum);
  }

  // Runs the statements of text, one a line, and returns what they printed;
  // *code := the user error that stopped them (0: none), *last := the value
  // of the last statement as value_text.
  std::string run(const std::string& text, std::int32_t* code = nullptr,
                  std::string* last = nullptr) {
    const StatementRun r = run_statements(text, {.as_input = true, .drop_line = true});
    if (code != nullptr) *code = r.unwound ? reported_error(r.failed) : 0;
    if (last != nullptr && !r.last.empty()) *last = r.last;
    return r.printed;
  }
  std::int32_t error_of(const std::string& text) {
    std::int32_t code = 0;
    run(text, &code);
    return code;
  }
  std::string value_of(const std::string& text) {
    std::string last;
    std::int32_t code = 0;
    run(text, &code, &last);
    return code != 0 ? "error " + std::to_string(code) : last;
  }
  static std::vector<std::string> names_top_down() {
    std::vector<std::string> names;
    for (polypt q = polynames; q != nullptr; q = q->next) names.emplace_back(q->let.name);
    return names;
  }
  static std::string shown_value(const std::string& variable) {
    varptr v = variable_named(variable);
    return v == nullptr ? "none" : value_text(v->val);
  }
  static std::string number(std::int64_t v) { return value_text(Value::number(BigRef(v))); }
};

TEST_F(Session, AdjoiningCancellingAndTheirErrors) {
  BigModeGuard big;
  EXPECT_EQ(run("&(J = y)\n&(J = x)\n"),
            " Change of polynomial variable: y.\n"
            " Change of polynomial variable: x.\n");
  EXPECT_EQ(names_top_down(), (std::vector<std::string>{"x", "y"}));
  EXPECT_EQ(value_of("3*x^2*y - x*y + 5;"), value_text(make_value("3*x^2*y - x*y + 5")));

  struct Refusal {
    const char* statement;
    std::int32_t code;
  };
  const std::vector<Refusal> refusals = {
      {"&(J = x)", 126},      {"&(J = -z)", 169},   {"&(J = -Var 0)", 124},
      {"&(J = -Var 3)", 124}, {"&(J x)", 4},        {"&(J = 9x)", 124},
      {"&(J = X)", 124},      {"&(J = a$)", 135},   {"&(J = -x, P = 1)", 356},
      {"&(J = a, Q)", 355},   {"&(J = a, P 1)", 4}, {"*x;", 363},
      {"&(J = [a])", 28},
  };
  for (const Refusal& r : refusals) {
    EXPECT_EQ(error_of(r.statement), r.code) << r.statement;
    EXPECT_EQ(names_top_down(), (std::vector<std::string>{"x", "y"})) << r.statement;
  }

  // The bottom, the position form, a ">" ignored when cancelling.
  EXPECT_EQ(run("&(J > w)\n"), " Change of polynomial variable: w.\n");
  EXPECT_EQ(names_top_down(), (std::vector<std::string>{"x", "y", "w"}));
  EXPECT_EQ(run("&(J = -Var 2)\n"),
            " Change of polynomial variable: cancel y.\ny now cancelled.\n");
  EXPECT_EQ(
      run("&(J > -w)\n"),
      " Change of polynomial variable: cancel w.\nWarning.  '>' ignored.\nw now cancelled.\n");
  EXPECT_EQ(names_top_down(), (std::vector<std::string>{"x"}));
  for (polypt q = polynames; q != nullptr; q = q->next) EXPECT_EQ(q->depth, 1);

  // The bare command reads the name after its prompt.
  EXPECT_EQ(run("&J\nq\n"), " Change of polynomial variable.\n Enter variable name:\n>");
  EXPECT_EQ(names_top_down(), (std::vector<std::string>{"q", "x"}));
  EXPECT_EQ(error_of("&J\n>\n"), 362);

  // At most 150 variables.
  std::string many;
  for (int k = 0; k < 148; ++k) many += "&(J = v" + std::to_string(k) + ")\n";
  run(many);
  EXPECT_EQ(number_polys, 150);
  EXPECT_EQ(error_of("&(J = toomany)"), 228);
  EXPECT_EQ(number_polys, 150);
}

TEST_F(Session, CancellingPutsOneForTheVariable) {
  BigModeGuard big;
  run("&(J = y)\n&(J = x)\np := x^2 + 3:\nq := 1/(x - 1):\nr := (x + y)/(x*y + 1):\n"
      "s := 7:\n");
  EXPECT_EQ(run("&(J = -x)\n"),
            " Change of polynomial variable: cancel x.\n"
            "Warning. A quoly denominator has become 0.  That variable has been set to 1.\n"
            "x now cancelled.\n");
  EXPECT_EQ(shown_value("p"), number(4));
  EXPECT_EQ(shown_value("q"), number(1));
  EXPECT_EQ(shown_value("s"), number(7));
  EXPECT_EQ(shown_value("r"), number(1));  // (1 + y)/(y + 1)
  run("&(J = x)\nr := (x + y)/(x*y + 2):\n");
  run("&(J = -x)\n");
  EXPECT_EQ(shown_value("r"), value_text(make_value("(y + 1) / (y + 2)")));

  // 45 vanishing denominators: 40 warnings and the summary.
  std::string statements = "&(J = x)\n";
  for (int k = 0; k < 45; ++k) statements += "u" + std::to_string(k) + " := 1/(x - 1):\n";
  run(statements);
  const std::string out = run("&(J = -x)\n");
  EXPECT_EQ(occurrences(out, "Warning. A quoly"), 40u);
  EXPECT_NE(out.find("... There were 5 more such cases.\n"), std::string::npos) << out;
}

// downdate_vars rewrites the scalar variables only and downdate_arrays the
// dense array cells only: each value at x = 1, a denominator vanishing
// there giving 1 with the warning of its storage.
TEST_F(Session, DowndatingVariablesAndArraysApart) {
  BigModeGuard big;
  run("&(J = x)\np := x^2 + 3:\nq := 1/(x - 1):\nArray a[2]:\na[1] := 2*x + 1:\n"
      "a[2] := 1/(x - 1):\n");
  TextInput in("");
  FILEPtr stream = &in;
  attach_poly_EnvRec env{&stream, &zilch, nullptr, 1};
  quoly_set(1, &env.one);
  badcnt = 0;
  EXPECT_EQ(output_of([&] { downdate_vars(&env); }),
            "Warning. A quoly denominator has become 0.  That variable has been set to 1.\n");
  EXPECT_EQ(shown_value("p"), number(4));
  EXPECT_EQ(shown_value("q"), number(1));
  EXPECT_EQ(value_of("a[1];"), value_text(make_value("2*x + 1")));
  EXPECT_EQ(output_of([&] { downdate_arrays(&env); }),
            "Warning. A quoly denominator has become 0.  That array entry has been set to 1.\n");
  EXPECT_EQ(badcnt, 2);
  EXPECT_EQ(value_of("a[1] + 10*a[2];"), number(13));
  free_quoly(&env.one);
  run("&(J = -x)\n");
  EXPECT_EQ(value_of("a[1] + 10*a[2] + 100*p + 1000*q;"), number(1413));
  run("@[a]\n");
}

// Adjoining u over s and t and cancelling it again gives every stored value
// back, node for node in count; values in the system array follow too.
TEST_F(Session, RandomValuesComeBackAfterAdjoiningAndCancelling) {
  BigModeGuard big;
  std::mt19937_64 rng(2024);
  run("&(J = t)\n&(J = s)\n");
  const std::vector<std::string> names = {"s", "t"};
  const int count = 60;
  std::string statements;
  for (int k = 0; k < count; ++k) {
    const RefPoly n = random_refpoly(rng, 2, 5, 3, 2);
    const RefPoly d = random_refpoly(rng, 2, 3, 2, 1);
    statements += "a" + std::to_string(k) + " := (" + n.to_string(names) + ")";
    if (!d.is_zero() && rng() % 2 == 0) statements += "/(" + d.to_string(names) + ")";
    statements += ":\n";
  }
  statements += "b := 2/3:\n";
  run(statements);
  // The system array's dense cells.
  ScopedValue<std::int32_t> stop(syst->stop, 2);
  const char* cells[3] = {"s*t + 1", "(t - 1) / (s + 2)", "5"};
  for (int k = 0; k < 3; ++k) {
    syst_stash->stash[k] = nullptr;
    quoly_assign(make_value(cells[k]), &syst_stash->stash[k]);
  }

  auto snapshot = [&] {
    std::vector<std::string> texts;
    for (int k = 0; k < count; ++k) texts.push_back(shown_value("a" + std::to_string(k)));
    texts.push_back(shown_value("b"));
    for (int k = 0; k < 3; ++k) texts.push_back(value_text(syst_stash->stash[k]));
    return texts;
  };
  const std::vector<std::string> before = snapshot();
  for (int round = 0; round < 3; ++round) {
    // The second round puts 1 for u in every value instead of only dropping
    // the level.
    ScopedValue<bool> shortcut(downdate_shortcut, round != 1);
    NodeBalance balance;
    run("&(J = u)\n");
    // Over u, s, t every value is still in normal form.
    for (int k = 0; k < count; k += 7) {
      tokentipe name{};
      std::snprintf(name.name, sizeof name.name, "a%d", k);
      name.address = -1;
      EXPECT_TRUE(normal_value(find_var(&name)->val));
    }
    EXPECT_TRUE(normal_value(syst_stash->stash[1]));
    run("&(J = -u)\n");
    balance.expect_balanced();
    EXPECT_EQ(snapshot(), before);
  }
  // The Laurent switch on and off gives the values back too.
  run("&l\n&l\n");
  EXPECT_EQ(snapshot(), before);
  for (int k = 0; k < 3; ++k) free_quoly(&syst_stash->stash[k]);
}

TEST_F(Session, PolyvarFollowsRandomAdjoiningAndCancelling) {
  BigModeGuard big;
  std::mt19937_64 rng(7);
  const std::vector<std::string> pool = {"a",   "b",  "zz", "q_1", "x", "xa", "x9",  "m", "beta",
                                         "abc", "ab", "w",  "k2",  "y", "yy", "t_t", "c", "d"};
  std::set<std::string> adjoined;
  for (int step = 0; step < 500; ++step) {
    const std::string& name = pool[rng() % pool.size()];
    const bool present = adjoined.count(name) != 0;
    const char* form = rng() % 3 == 0 ? "&(J > " : "&(J = ";
    if (present && rng() % 2 == 0) {
      EXPECT_EQ(error_of(std::string(form) + "-" + name + ")"), 0);
      adjoined.erase(name);
    } else if (present) {
      EXPECT_EQ(error_of(std::string(form) + name + ")"), 126);
    } else {
      EXPECT_EQ(error_of(std::string(form) + name + ")"), 0);
      adjoined.insert(name);
    }
    ASSERT_EQ(number_polys, static_cast<std::int32_t>(adjoined.size()));
    std::vector<std::string> sorted(adjoined.begin(), adjoined.end());
    for (std::size_t k = 0; k < sorted.size(); ++k) ASSERT_EQ(polyvar[k], sorted[k]);
    std::vector<std::string> listed = names_top_down();
    std::sort(listed.begin(), listed.end());
    ASSERT_EQ(listed, sorted);
    std::int16_t d = 1;
    for (polypt q = polynames; q != nullptr; q = q->next) ASSERT_EQ(q->depth, d++);
    for (const std::string& n : pool) {
      char key[11] = {};
      std::snprintf(key, sizeof key, "%s", n.c_str());
      ASSERT_EQ(its_a_polyname(key), adjoined.count(n) != 0) << n;
    }
  }
}

TEST_F(Session, LaurentSwitch) {
  BigModeGuard big;
  run("&(J = t)\nr := 1/t:\nu := (t + 1)/t^2:\nh := 1/2:\nn := 5:\n");
  EXPECT_EQ(run("&l\n"), " Negative exponents enabled.\n");
  EXPECT_TRUE(laurent);
  EXPECT_EQ(shown_value("r"), "t^-1");
  EXPECT_EQ(shown_value("u"), "t^-1 + t^-2");
  EXPECT_EQ(shown_value("h"), value_text(make_value("1 / 2")));
  EXPECT_EQ(shown_value("n"), number(5));
  EXPECT_EQ(value_of("(t + 1)/t^2;"), "t^-1 + t^-2");
  EXPECT_EQ(run("&l\n"), " Negative exponents disabled.\n");
  EXPECT_EQ(shown_value("r"), value_text(make_value("1 / t")));
  EXPECT_EQ(shown_value("u"), value_text(make_value("(t + 1) / t^2")));
}

TEST(Polymodding, SuspensionAndDerivedState) {
  load_data_tables();
  install_poly_vars();
  BigModeGuard big;
  PolyVars vars({"a", "b"});
  ModOutScope field(vars, 2, "b^2 - 2", true);
  ModOutScope above(vars, 1, "a^2 - 3");
  EXPECT_EQ(field_depth, 2);
  EXPECT_TRUE(modout_above_field);
  EXPECT_TRUE(need_to_turn_off_mod_out(false, false, false, 0, 0));
  EXPECT_FALSE(need_to_turn_off_mod_out(true, false, false, 5, 5));

  polypt full = polynames;
  {
    ScopedValue<bool> talk(verbose, true);
    const std::string out = output_of([] { adjust_polyname_ptrs(); });
    EXPECT_NE(out.find("Polymodding suspended on vars 1 to 1"), std::string::npos) << out;
  }
  EXPECT_TRUE(using_new_polynames);
  EXPECT_NE(polynames, full);
  EXPECT_EQ(polynames->p, nullptr);
  EXPECT_STREQ(polynames->let.name, "a");
  EXPECT_EQ(polynames->next, full->next) << "the field level is shared";
  EXPECT_FALSE(need_to_turn_off_mod_out(false, false, false, 0, 0));
  // An error unwinding while suspended resumes.
  bool unwound = false;
  output_of([] { error(1, &blank); }, &unwound);
  EXPECT_TRUE(unwound);
  EXPECT_FALSE(using_new_polynames);
  EXPECT_EQ(polynames, full);
  EXPECT_EQ(pseudo_polynames, full);
  EXPECT_EQ(field_depth, 2);

  // Only the bottom run of field levels counts.
  full->field = true;
  full->next->field = false;
  reset_pseudo_poly();
  EXPECT_EQ(field_depth, 0);
  EXPECT_FALSE(full->field);
  EXPECT_TRUE(modout_above_field);
  EXPECT_FALSE(char2_degs1) << "a field flag was met";
  reset_pseudo_poly();
  EXPECT_TRUE(char2_degs1) << "two relations of degree 2, no field";
  full->next->field = true;
  reset_pseudo_poly();
  EXPECT_EQ(field_depth, 2);
  EXPECT_FALSE(char2_degs1);

  // Laurent mode is refused over a relation that is not a field.
  bool refused = false;
  const std::string out = output_of([] { check_for_mod_out(); }, &refused);
  EXPECT_TRUE(refused);
  EXPECT_TRUE(reports(out, 271)) << out;
  EXPECT_FALSE(laurent);
}

TEST(Evaluation, OneValueForOneVariable) {
  load_data_tables();
  BigModeGuard big;
  PolyVars vars({"x", "y"});
  struct Case {
    const char* value;
    std::int16_t target;
    const char* put;
    const char* expected;
  };
  const std::vector<Case> cases = {
      {"x^2 + y", 1, "3", "y + 9"},
      {"x^2 + y", 2, "2", "x^2 + 2"},
      {"x^2 + y", 2, "1 / x", "(x^3 + 1) / x"},
      {"x^2 + y", 1, "y / 2", "(y^2 + 4*y) / 4"},
      {"(x + y) / (x - y)", 1, "y + 1", "2*y + 1"},
      {"5", 1, "1 / y", "5"},
      {"(x + 1) / (y - 2)", 2, "x", "(x + 1) / (x - 2)"},
  };
  for (const Case& c : cases) {
    Value v = make_value(c.value);
    Value put = make_value(c.put);
    quoly values = put.get();
    std::int16_t target = c.target;
    get_evalquoly(&Input, v.cell(), &values, &target, &zilch, false, false);
    EXPECT_EQ(value_text(v), value_text(make_value(c.expected))) << c.value << " at " << c.put;
    EXPECT_TRUE(normal_value(v));
  }
  // A vanishing denominator.
  Value v = make_value("1 / (x - 2)");
  Value two = make_value("2");
  quoly values = two.get();
  std::int16_t target = 1;
  bool unwound = false;
  const std::string out = output_of(
      [&] { get_evalquoly(&Input, v.cell(), &values, &target, &zilch, false, false); }, &unwound);
  EXPECT_TRUE(unwound);
  EXPECT_TRUE(reports(out, 22));
}

}  // namespace
}  // namespace tavrin::test
