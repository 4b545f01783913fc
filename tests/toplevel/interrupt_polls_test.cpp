// Interrupts in the long routes, run in-process through the statements that
// ask for them: a GCD by evaluation and interpolation in several variables,
// factoring, each determinant method, the inverse, the normal forms and the
// characteristic and minimal polynomials. The flag is raised before the
// statement; the nested level the first poll opens either resumes (raising
// the flag again, so that every later poll opens one too) or abandons the
// statement. Resumed, the statement gives its uninterrupted answer;
// abandoned, it leaves the values, the arrays and the ring as they were,
// and every node back.
#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/errors.h"
#include "core/globals.h"
#include "core/interrupts.h"
#include "core/jumps.h"
#include "core/mode_guard.h"
#include "core/thresholds.h"
#include "numbers/freelists.h"
#include "poly/poly_repr.h"
#include "gcd/modular_gcd.h"
#include "toplevel/charsets.h"
#include "toplevel/dispatch.h"
#include "toplevel/polymodding.h"
#include "toplevel/scanner.h"
#include "toplevel/state.h"
#include "lang/variables.h"
#include "det/router.h"
#include "support/data_tables.h"
#include "support/node_accounting.h"
#include "support/statements.h"
#include "support/value_form.h"

namespace tavrin::test {
namespace {

// What the nested levels saw.
struct Levels {
  static inline int calls = 0;
  static inline int abandon_at = 0;  // 0: always resume
  static inline bool wrong_ring = false;
  static inline std::int32_t user_modulus = 0;
  static inline bool user_modular = false, user_lint = false;
  static void runner() {
    ++calls;
    if (modulus != user_modulus || modularmode != user_modular || lintmode != user_lint)
      wrong_ring = true;
    if (calls == abandon_at) throw TopLevelJump{};
    interrupt_requested = 1;  // the next poll opens a level again
  }
};

// What a statement does to the stored values besides giving its value.
// in_place: works on its operand step by step; replaces: puts its result
// into the operand only when it is complete.
enum class effect { none, assigns, in_place, replaces };

struct Case {
  const char* name;
  const char* setup;      // statements, one a line
  const char* statement;  // the interrupted one
  effect changes;         // assigns: an array; in_place, replaces: its operand (a normal form)
  int min_polls;
  bool random = false;  // its answer depends on random choices
};

class InterruptPolls : public testing::Test {
 protected:
  InterruptPolls() {
    load_data_tables();
    init_character_sets();
    make_token_ring();
  }
  ~InterruptPolls() override { clear(); }

  // Rational arithmetic with no variables, arrays or adjoined variables.
  static void clear() {
    interrupt_requested = 0;
    if (modularmode) run("&(p = _i)\n");
    run("@[**]\n");
    clear_variables_and_polynomial_names();
    reset_pseudo_poly();
    free_quoly(&prevnum);
    quoly_set(0, &prevnum);
  }

  // Runs statements one a line; the value text of the last, or "unwound".
  static std::string run(const std::string& text) {
    // A command that asks for a value reads the next line; the command's 0
    // carries a limb in any ring.
    const StatementRun r =
        run_statements(text, {.as_input = true, .drop_line = true, .free_with_limbs = true});
    return r.unwound ? "unwound" : r.last;
  }

  // The stored values: the ring, every variable, and the sums and
  // determinants of the arrays a, b and s (where they exist).
  static std::string state() {
    std::string s = std::to_string(modulus) + (modularmode ? "m" : "") + (lintmode ? "w" : "");
    for (varptr v : sca_store)
      for (; v != nullptr; v = v->next)
        s += std::string(" ") + v->let.name + "=" + value_text(v->val);
    for (const char* q : {"Sum[a]", "Trace[a]", "Det[a]", "Sum[b]", "Sum[s]", "Det[s]"})
      s += std::string(" ") + q + "=" + run(std::string(q) + ";\n");
    return s;
  }

  // The statement with the flag raised and the nested levels as set.
  static std::string interrupted(const Case& c, int abandon_at) {
    ScopedValue<command_level_runner> runner(run_command_level, &Levels::runner);
    ScopedValue<bool> on(command_int, true), anytime(danger_ok, true);
    Levels::calls = 0;
    Levels::abandon_at = abandon_at;
    Levels::wrong_ring = false;
    Levels::user_modulus = modulus;
    Levels::user_modular = modularmode;
    Levels::user_lint = lintmode;
    interrupt_requested = 1;
    const std::string v = run(std::string(c.statement) + "\n");
    interrupt_requested = 0;
    return v;
  }

  // The setup on fresh arrays.
  static void set_up(const Case& c) {
    clear();
    run(c.setup);
  }

  void check(const Case& c) {
    SCOPED_TRACE(c.name);
    // The method switches the setups set.
    ScopedValue<std::int32_t> keep_d(detcutoff), keep_k(gauss_cutoff), keep_l(rat_det_method_cut),
        keep_m(mod_det_method_cut);
    set_up(c);
    const std::string before = state();
    const std::string plain = run(std::string(c.statement) + "\n");
    ASSERT_NE(plain, "unwound");
    const std::string after = state();
    if (c.changes == effect::none) {
      EXPECT_EQ(after, before);
    }

    // Resumed at every poll: the same answer and the same stored values.
    if (c.changes != effect::none) set_up(c);
    const std::string resumed = interrupted(c, 0);
    if (!c.random) {
      EXPECT_EQ(resumed, plain);
    }
    EXPECT_GE(Levels::calls, c.min_polls) << "polls reached";
    EXPECT_FALSE(Levels::wrong_ring) << "a nested level ran in a switched ring";
    if (!c.random) {
      EXPECT_EQ(state(), after);
    }

    // Abandoned at the second poll: nothing changed, nothing kept.
    set_up(c);
    const std::string again = state();
    // Nodes are counted where the stored values stay as they were.
    std::optional<NodeBalance> balance;
    if (c.changes != effect::in_place) balance.emplace();
    EXPECT_EQ(interrupted(c, 2), "unwound");
    EXPECT_EQ(Levels::calls, 2);
    EXPECT_EQ(interrupt_holds, 0);
    EXPECT_EQ(ring_guards_open, 0);
    if (c.changes != effect::in_place) {
      EXPECT_EQ(state(), again);
      balance->expect_balanced();
    } else {
      // A normal form works on its array in place, step by step: an
      // abandoned one leaves an equivalent matrix, whose normal form is
      // the same.
      EXPECT_EQ(run(std::string(c.statement) + "\n"), plain);
    }
  }
};

// A dense 2n x 2n integer matrix with a known determinant: unit triangular
// factors of small entries, so Det[a] = 1.
std::string unimodular(int n) {
  std::string s = "Array a[" + std::to_string(n) + "," + std::to_string(n) + "]:\n";
  s += "for i = 1 to " + std::to_string(n) + " do for j = 1 to " + std::to_string(n) +
       " do a[i,j] := Binomial(i + j - 2, i - 1) od od:\n";
  return s;
}

TEST_F(InterruptPolls, GcdAndFactoring) {
  const std::string vars = "&(J = w)\n&(J = z)\n&(J = y)\n&(J = x)\n";
  const std::string gcd_setup = vars +
                                "&(p = 32003)\n"
                                "g := (x*y*z + w^2*x + y^3 + z*w + 3)^2:\n"
                                "u := g*(x^3*y + z^4*w + x*w^2 + y + 1)*(x + y + z + w)^2:\n"
                                "v := g*(y^4*z + x^2*w^3 + z*x + 2)*(x - y + z - w + 5)^2:\n";
  const long points = modular_gcd_stats.multivar_points;
  {
    // the driver's own evaluation and interpolation, not the flat engines
    const std::int32_t terms = flat_gcd_terms;
    flat_gcd_terms = INT32_MAX;
    check({"multivariate GCD", gcd_setup.c_str(), "GCD(u, v) - g", effect::none, 3});
    flat_gcd_terms = terms;
  }
  EXPECT_GT(modular_gcd_stats.multivar_points, points) << "evaluation and interpolation";
  const std::string factor_setup =
      "&(J = x)\n&(p = 7)\n"
      "f := (x^12 + x^5 + 3)*(x^13 + 2*x^4 + x + 1)*(x^11 + x^2 + 5)^2*(x^9 + 4)^3:\n";
  check({"factoring", factor_setup.c_str(), "Factor(f, [h])", effect::none, 3});
}

TEST_F(InterruptPolls, DeterminantsByEveryMethod) {
  const std::string dense = unimodular(24);
  check({"integer images", dense.c_str(), "Det[a]", effect::none, 3});
  check({"inverse by images", dense.c_str(), "[b] := 1/[a]", effect::assigns, 3});
  const std::string fractions = unimodular(14) + "a[2,3] := 1/3:\n";
  check({"dense elimination", fractions.c_str(), "Det[a]", effect::none, 3});
  const std::string residues =
      "&(p = 65521)\nArray a[30,30]:\n"
      "for i = 1 to 30 do for j = 1 to 30 do a[i,j] := Prime(30*i + j - 30) od od:\n";
  check({"word prime", residues.c_str(), "Det[a] + Trace[a]", effect::none, 2});
  const std::string polys =
      "&(J = x)\n" + unimodular(7) + "for i = 1 to 7 do a[i,i] := x^2 + i*x od:\n";
  check(
      {"evaluation and interpolation", ("&(L = 1)\n" + polys).c_str(), "Det[a]", effect::none, 3});
  check({"dense Gauss-Bareiss", ("&(K = 1)\n" + polys).c_str(), "Det[a]", effect::none, 3});
  const std::string sparse =
      "&(J = x)\nArray s[12,12] Sparse:\n"
      "for i = 1 to 12 do s[i,i] := x + i; if i < 12 then s[i,i+1] := 1 fi; s[12,i] := 2 od:\n";
  check({"sparse elimination", sparse.c_str(), "Det[s]", effect::none, 3});
  check({"sparse Gauss-Bareiss", ("&(K = 1)\n" + sparse).c_str(), "Det[s]", effect::none, 3});
  check({"sparse evaluation", ("&(L = 1)\n" + sparse).c_str(), "Det[s]", effect::none, 3});
  check({"expansion by minors", ("&(D = 12)\n" + sparse).c_str(), "Det[s]", effect::none, 3});
  const std::string sparse_residues =
      "&(p = 101)\nArray s[40,40] Sparse:\n"
      "for i = 1 to 40 do s[i,i] := i; if i < 40 then s[i,i+1] := 3 fi; s[40,i] := 2 od:\n";
  check({"sparse word prime", sparse_residues.c_str(), "Det[s]", effect::none, 3});
}

TEST_F(InterruptPolls, NormalFormsAndCharacteristicPolynomials) {
  const std::string dense = unimodular(16) + "for i = 1 to 16 do a[i,1] := 2*i + 7 od:\n";
  check({"Hermite", dense.c_str(), "Hermite([a])", effect::replaces, 3});
  check({"Smith", dense.c_str(), "Smith([a])", effect::replaces, 3});
  // Above side 20 the forms are found modulo the determinant: its images
  // poll some 350 times here, the solves, the elimination modulo it and the
  // proofs once a row or step besides.
  const std::string wide =
      unimodular(28) + "for i = 1 to 28 do a[i,1] := 3*i + 11; a[i,i] := a[i,i] + i od:\n";
  check({"Hermite modulo the determinant", wide.c_str(), "Hermite([a])", effect::replaces, 1000});
  check({"Smith modulo the determinant", wide.c_str(), "Smith([a])", effect::replaces, 1000});
  check({"reduced row echelon", dense.c_str(), "Redrowech([a])", effect::in_place, 3});
  check({"characteristic polynomial", ("&(J = x)\n" + unimodular(16)).c_str(), "Chpoly([a])",
         effect::none, 2});
  const std::string sparse =
      "&(J = x)\n&(p = 101)\nArray s[30,30] Sparse:\n"
      "for i = 1 to 30 do s[i,i] := i; if i < 30 then s[i,i+1] := 1 fi od:\n";
  check({"sparse Chpoly", sparse.c_str(), "Chpoly([s], 1)", effect::none, 3});
  check({"minimal polynomial", sparse.c_str(), "Minpoly([s], 1)", effect::none, 2, true});
}

}  // namespace
}  // namespace tavrin::test
