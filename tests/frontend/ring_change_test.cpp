// Changes of ground ring run in-process through the statements that ask for
// them: random stored values taken into a word prime and back, with and
// without journals, and with a fault injected in the middle.
#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "core/errors.h"
#include "core/globals.h"
#include "core/jumps.h"
#include "core/mode_guard.h"
#include "numbers/freelists.h"
#include "numbers/mod_journal.h"
#include "poly/poly_repr.h"
#include "poly/poly_upcalls.h"
#include "gcd/gcd_stash.h"
#include "toplevel/charsets.h"
#include "toplevel/dispatch.h"
#include "toplevel/polymodding.h"
#include "toplevel/scanner.h"
#include "toplevel/state.h"
#include "lang/variables.h"
#include "frontend/ring_change.h"
#include "support/data_tables.h"
#include "support/node_accounting.h"
#include "support/output_capture.h"
#include "support/statements.h"
#include "support/value_form.h"

namespace tavrin::test {
namespace {

class RingChange : public testing::Test {
 protected:
  RingChange() {
    load_data_tables();
    init_character_sets();
    make_token_ring();
    clear_all();
  }
  ~RingChange() override {
    ring_change_probe = nullptr;
    changed_in_modmode = false;  // set by relations made in modular arithmetic
    if (modularmode) run("&(p = _i)\n");
    clear_all();
  }

  static void clear_all() {
    clear_variables_and_polynomial_names();
    reset_pseudo_poly();
    quoly_set(0, &prevnum);
  }

  // Runs the statements of text, one a line; *unwound tells whether one of
  // them was abandoned (the rest are skipped).
  static std::string run(const std::string& text, bool* unwound = nullptr) {
    const StatementRun r =
        run_statements(text, {.as_input = true, .drop_line = true, .free_with_limbs = true});
    if (unwound != nullptr) *unwound = r.unwound;
    return r.printed;
  }

  static std::map<std::string, std::string> stored_values() {
    std::map<std::string, std::string> values;
    for (varptr v : sca_store)
      for (; v != nullptr; v = v->next) values[v->let.name] = value_text(v->val);
    return values;
  }
};

// Random values over x and y: integers of up to 100 digits, fractions,
// polynomials with fractional coefficients, and quotients of polynomials,
// some of whose denominators vanish modulo p.
std::string random_value(std::mt19937& rng, std::int32_t p) {
  auto integer = [&rng](int digits) {
    std::string s = std::to_string(1 + rng() % 9);
    for (int k = 1; k < digits; ++k) s += static_cast<char>('0' + rng() % 10);
    return s;
  };
  auto poly = [&](bool fractions) {
    std::string s;
    const int terms = 1 + static_cast<int>(rng() % 4);
    for (int k = 0; k < terms; ++k) {
      if (k > 0) s += rng() % 2 ? " + " : " - ";
      s += integer(1 + static_cast<int>(rng() % 25));
      if (fractions && rng() % 2) s += "/" + integer(1 + static_cast<int>(rng() % 3));
      s += "*x^" + std::to_string(rng() % 4) + "*y^" + std::to_string(rng() % 3);
    }
    return s;
  };
  switch (rng() % 6) {
    case 0: return (rng() % 2 ? "-" : "") + integer(1 + static_cast<int>(rng() % 100));
    case 1:
      return integer(1 + static_cast<int>(rng() % 40)) + "/" +
             integer(1 + static_cast<int>(rng() % 40));
    case 2: return "1/" + std::to_string(p) + "^" + std::to_string(1 + rng() % 3);
    case 3: return poly(true);
    case 4: return "(" + poly(false) + ")/(" + poly(false) + ")";
    default: return "(" + poly(false) + ")/(" + std::to_string(p) + "*(" + poly(false) + "))";
  }
}

TEST_F(RingChange, StarredValuesComeBackExactlyAndAFaultLeavesTheOldRing) {
  const std::int32_t primes[] = {3, 7, 97, 65521, 2147483629};
  std::mt19937 rng(29);
  run("&(p = 97)\n&(p = _i)\n");  // the display size of rational arithmetic after a return
  for (int round = 0; round < 12; ++round) {
    clear_all();
    run("&(J = y)\n&(J = x)\n");
    const std::int32_t p = primes[rng() % 5];
    std::string assignments;
    std::string names;
    const int count = 4 + static_cast<int>(rng() % 8);
    for (int k = 0; k < count; ++k) {
      const std::string name = "v" + std::to_string(k);
      assignments += name + " := " + random_value(rng, p) + ":\n";
      names += (k > 0 ? ", *" : "*") + name;
    }
    run(assignments);
    const auto before = stored_values();
    ASSERT_EQ(before.size(), static_cast<std::size_t>(count)) << assignments;
    const std::string into = "&(p = " + std::to_string(p);
    NodeBalance balance;
    {
      SCOPED_TRACE(assignments + " modulo " + std::to_string(p));
      // Every name starred, and everything journalled by "**".
      for (const std::string& list : {names, std::string("**")}) {
        run(into + " : " + list + ")\n");
        EXPECT_TRUE(modularmode);
        EXPECT_EQ(modulus, p);
        run("&(p = _i : " + list + ")\n");
        EXPECT_FALSE(modularmode || lintmode);
        EXPECT_EQ(modulus, -1);
        EXPECT_EQ(stored_values(), before) << list;
        EXPECT_EQ(masterfix, nullptr);
        EXPECT_EQ(sparse_fix, nullptr);
      }
      // A fault after k converted values, whole conversion or journalled:
      // the ring and every value stay as they were.
      for (const std::string& tail : {std::string(")"), " : " + names + ")"}) {
        static int left = 0;
        left = static_cast<int>(rng() % static_cast<std::uint32_t>(count));
        ring_change_probe = [] {
          if (left-- == 0) abandon(216, &blank);
        };
        bool unwound = false;
        run(into + tail + "\n", &unwound);
        ring_change_probe = nullptr;
        EXPECT_TRUE(unwound) << tail;
        EXPECT_FALSE(modularmode || lintmode);
        EXPECT_EQ(modulus, -1);
        EXPECT_EQ(stored_values(), before) << tail;
        EXPECT_EQ(masterfix, nullptr);
      }
    }
    free_quoly(&prevnum);
    quoly_set(0, &prevnum);
    balance.expect_balanced();
  }
}

// Converting for good and lifting back gives the residue in the symmetric
// range the lifting uses: checked against the value modulo p computed
// independently, at random points.
TEST_F(RingChange, ConvertedValuesAreTheirImagesModuloP) {
  std::mt19937 rng(2929);
  run("&(J = y)\n&(J = x)\n");
  std::string assignments;
  for (int k = 0; k < 10; ++k)
    assignments += "w" + std::to_string(k) + " := " + random_value(rng, 1000003) + ":\n";
  run(assignments);
  std::map<std::string, quoly> originals;
  for (varptr v : sca_store)
    for (; v != nullptr; v = v->next) {
      quoly c = nullptr;
      BigModeGuard big;
      quoly_assign(v->val, &c);
      originals[v->let.name] = c;
    }
  const std::int32_t p = 1000003;
  run("&(p = 1000003)\n");
  run("&(p = _i)\n");
  for (auto& [name, q] : originals) {
    varptr v = variable_named(name);
    ASSERT_NE(v, nullptr);
    for (int trial = 0; trial < 5; ++trial) {
      const std::vector<RatRef> point = {RatRef(BigRef(static_cast<std::int64_t>(rng() % 50))),
                                         RatRef(BigRef(static_cast<std::int64_t>(rng() % 50)))};
      std::optional<RatRef> expected;
      {
        BigModeGuard big;
        expected = value_at(q, point);
      }
      // A denominator that vanishes at the point or modulo p has no image.
      if (!expected || expected->den() % BigRef(p) == BigRef(0)) continue;
      const auto got = value_at(v->val, point);
      if (!got) continue;
      // a/b = c/d modulo p: a d - c b is a multiple of p.
      const BigRef cross = expected->num() * got->den() - got->num() * expected->den();
      EXPECT_EQ(cross % BigRef(p), BigRef(0)) << name << " = " << value_text(q);
    }
    free_quoly(&q);
  }
}

// Values journalled into one prime and given back exactly, then left out of
// the list of a change into another: there they read as their images
// modulo the new prime (checked at random points against the exact value
// reduced independently), not as the residues of the first, and the return
// by the same list gives them back exactly once more.
TEST_F(RingChange, ValuesLeftOutOfAListReadAsTheirImagesInTheNextRing) {
  const std::int32_t primes[] = {2, 3, 7, 97, 65521};
  std::mt19937 rng(4141);
  run("&(p = 97)\n&(p = _i)\n");  // the globals a change resets, as after any change
  for (int round = 0; round < 8; ++round) {
    clear_all();
    run("&(J = y)\n&(J = x)\n");
    // The one named value is an integer whose image, lifted back, has the
    // same nodes, so that the balance sees the values left out alone.
    const std::string named = "k";
    std::string assignments = "k := 7:\nz := 2*x/(x + 5):\nb := x:\n";
    std::int32_t p1 = 2, p2 = 3;
    if (round > 0) {
      // Values some of whose denominators vanish modulo the small p1 and,
      // but for chance, none modulo the large p2.
      p1 = primes[rng() % 3];
      p2 = primes[3 + rng() % 2];
      const int count = 3 + static_cast<int>(rng() % 6);
      for (int k = 0; k < count; ++k)
        assignments += "v" + std::to_string(k) + " := " + random_value(rng, p1) + ":\n";
    }
    run(assignments);
    const auto before = stored_values();
    std::map<std::string, quoly> originals;
    for (varptr v : sca_store)
      for (; v != nullptr; v = v->next) {
        BigModeGuard big;
        quoly_assign(v->val, &originals[v->let.name]);
      }
    SCOPED_TRACE(assignments + "journalled modulo " + std::to_string(p1) +
                 ", then left out modulo " + std::to_string(p2));
    free_gcd_stash();  // the change empties the cache of GCDs
    NodeBalance balance;
    run("&(p = " + std::to_string(p1) + " : **)\n&(p = _i : **)\n");
    ASSERT_EQ(stored_values(), before);
    run("&(p = " + std::to_string(p2) + " : " + named + ")\n");
    ASSERT_TRUE(modularmode);
    int checked = 0;
    for (const auto& [name, q] : originals) {
      if (name == named) continue;
      varptr v = variable_named(name);
      ASSERT_NE(v, nullptr) << name;
      for (int trial = 0; trial < 6; ++trial) {
        const std::int64_t a = rng() % 50, b = rng() % 50;
        std::optional<RatRef> exact;
        {
          BigModeGuard big;
          exact = value_at(q, {RatRef(a), RatRef(b)});
        }
        if (!exact || exact->den() % BigRef(p2) == BigRef(0)) continue;
        const auto got = value_mod_at(v->val, {a % p2, b % p2}, p2);
        if (!got) continue;
        // got = num / den modulo p2: got * den - num is a multiple of p2.
        const BigRef cross = BigRef(*got) * exact->den() - exact->num();
        EXPECT_EQ(cross % BigRef(p2), BigRef(0))
            << name << " = " << value_text(q) << " at " << a << ", " << b;
        ++checked;
      }
    }
    EXPECT_GT(checked, 0);
    run("&(p = _i : " + named + ")\n");
    auto after = stored_values();
    auto expected = before;
    after.erase(named);
    expected.erase(named);
    EXPECT_EQ(after, expected);
    free_quoly(&prevnum);
    quoly_set(0, &prevnum);
    balance.expect_balanced();
    for (auto& [name, q] : originals) free_quoly(&q);
  }
}

TEST_F(RingChange, ZeroDenominatorsAreCountedPerCommand) {
  std::string statements;
  for (int k = 0; k < 43; ++k) statements += "u" + std::to_string(k) + " := 1/3:\n";
  run(statements);
  const std::string out = run("&(p = 3)\n");
  EXPECT_EQ(occurrences(out, "Warning. A zero quoly"), 40u);
  EXPECT_NE(out.find("... There were 3 more such cases.\n"), std::string::npos) << out;
  run("&(p = _i)\n");
  for (const auto& [name, text] : stored_values())
    EXPECT_EQ(text, value_text(Value::number(BigRef(0)))) << name;
}

// The relation records as the mod-out command leaves them.
TEST_F(RingChange, RelationRecords) {
  run("&(J = t)\n&(P = t^2 + 1)\n");
  polypt t = polynames;
  ASSERT_NE(t->p, nullptr);
  EXPECT_EQ(t->expon, 2);
  EXPECT_TRUE(t->p->numb && t->p->next == nullptr && t->p->ncoef->head->value == -1);
  ASSERT_NE(t->alt, nullptr);
  ASSERT_NE(t->multdata, nullptr);
  EXPECT_EQ(t->multdata->exp, 2);
  EXPECT_EQ(t->multdata->next, nullptr);
  run("&(P = t^3)\n");
  EXPECT_TRUE(t->p->numb && (t->p->ncoef->size == 0 || t->p->ncoef->head->value == 0));
  EXPECT_EQ(t->polycut, 60);
  int nodes = 0;
  for (poly m = t->multdata; m != nullptr; m = m->next) ++nodes;
  EXPECT_EQ(nodes, 2);  // t^4 and t^3
  run("&(P = t^3 + t + 1)\n");
  EXPECT_EQ(t->alt, nullptr);
  EXPECT_FALSE(t->p->numb);
  // t^4 = -t^2 - t and t^3 = -t - 1 modulo the relation.
  run("a := t^4:\nb := t^3:\n");
  const auto values = stored_values();
  EXPECT_EQ(values.at("a"), value_text(make_value("-t^2 - t")));
  EXPECT_EQ(values.at("b"), value_text(make_value("-t - 1")));
}

}  // namespace
}  // namespace tavrin::test

namespace tavrin::test {
namespace {

// The search of the first auxiliary list sets the modulus per candidate and
// gives the user's ring back however it ends; a failed declaration leaves
// the variable free.
TEST_F(RingChange, AuxiliarySearchLeavesTheRing) {
  run("&(J = t)\n");
  for (const char* ring : {"", "&(p = 65521)\n"}) {
    run(ring);
    const auto snapshot = [] {
      return std::vector<double>{double(modulus),  double(half_modulus), double(two28_mod),
                                 rmodulus,         double(smallmodulus), double(mod_is_prime),
                                 double(finf),     double(lintmode),     double(modularmode),
                                 double(flotemode)};
    };
    const auto before = snapshot();
    run("&(P = t^2 + 1, 1)\n");
    EXPECT_EQ(snapshot(), before) << ring;
    run("&(P = -t)\n");
  }
}

}  // namespace
}  // namespace tavrin::test

namespace tavrin::test {
namespace {

std::vector<std::int32_t> first_list() {
  std::vector<std::int32_t> primes;
  for (std::int32_t k = 1; k <= aux_prime1_number; ++k) primes.push_back(auxptr[k]->lint);
  return primes;
}

std::vector<std::pair<std::int32_t, std::int32_t>> second_list(polypt q) {
  std::vector<std::pair<std::int32_t, std::int32_t>> pairs;
  for (imptr e = q->gcd_data; e != nullptr; e = e->imag)
    pairs.emplace_back(e->lint, e->head->value);
  return pairs;
}

// The searched lists hold what they promise (a prime of the first list
// keeps t^2 + 2 irreducible: -2 is no square modulo it; a pair of the
// second is a root), and written back after ":" they rebuild the same
// records.
TEST_F(RingChange, AuxiliaryListsAreRightAndReadBack) {
  run("&(J = t)\n&(P = t^2 + 2, 1)\n");
  const auto first = first_list();
  const auto second = second_list(polynames);
  ASSERT_FALSE(first.empty());
  ASSERT_FALSE(second.empty());
  EXPECT_EQ(polynames->aux_num, static_cast<std::int16_t>(second.size()));
  for (std::int32_t p : first) {
    bool square = false;
    for (std::int64_t x = 0; x < p && !square; ++x) square = (x * x + 2) % p == 0;
    EXPECT_FALSE(square) << p;
  }
  for (std::size_t k = 0; k < second.size(); ++k) {
    const auto [p, x] = second[k];
    EXPECT_EQ((static_cast<std::int64_t>(x) * x + 2) % p, 0) << p;
    if (k > 0) {
      EXPECT_LT(p, second[k - 1].first);  // decreasing primes
    }
  }
  std::string text = "&(P = -t)\n&(P = t^2 + 2, 1 : ";
  for (std::size_t k = 0; k < first.size(); ++k)
    text += (k > 0 ? ", " : "") + std::to_string(first[k]);
  text += " : ";
  for (std::size_t k = 0; k < second.size(); ++k)
    text += (k > 0 ? ", " : "") + std::to_string(second[k].first) + ", " +
            std::to_string(second[k].second);
  run(text + ")\n");
  EXPECT_EQ(first_list(), first);
  EXPECT_EQ(second_list(polynames), second);
  EXPECT_TRUE(polynames->field);
  // A bad pair leaves the level as it was.
  run("&(P = t^2 + 2, 1 : 7 : 13, 13)\n");
  EXPECT_EQ(second_list(polynames), second);
  EXPECT_TRUE(polynames->field);
  EXPECT_NE(polynames->p, nullptr);
}

}  // namespace
}  // namespace tavrin::test
