// The modular bracket and the replay of the undo journals: values changed
// in place come back node for node, temporary nodes are freed exactly once.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "core/errors.h"
#include "core/globals.h"
#include "core/jumps.h"
#include "core/mode_guard.h"
#include "numbers/freelists.h"
#include "numbers/mod_journal.h"
#include "support/node_accounting.h"
#include "support/poly_build.h"

namespace tavrin::test {
namespace {

// Modular arithmetic with no bracket open, restored afterwards.
struct InModularMode {
  ArithModeGuard modes;
  ScopedValue<std::int16_t> count{mod_is_changed, 0};
  InModularMode() {
    modularmode = true;
    lintmode = true;
  }
};

TEST(CheckModular, NestedBracketsRestoreTheFlags) {
  InModularMode ring;
  bool outer = false, inner = true;
  check_modular(&outer);
  EXPECT_TRUE(outer);
  EXPECT_FALSE(modularmode);
  EXPECT_TRUE(lintmode);  // word mode stays on inside the bracket
  EXPECT_EQ(mod_is_changed, 1);
  check_modular(&inner);
  EXPECT_FALSE(inner);
  EXPECT_EQ(mod_is_changed, 1);
  restore_modular(inner);
  EXPECT_FALSE(modularmode);
  EXPECT_EQ(mod_is_changed, 1);
  restore_modular(outer);
  EXPECT_TRUE(modularmode);
  EXPECT_EQ(mod_is_changed, 0);
}

TEST(CheckModular, OutsideModularModeNothingIsCounted) {
  ArithModeGuard modes;
  modularmode = false;
  bool saved = true;
  check_modular(&saved);
  EXPECT_FALSE(saved);
  EXPECT_EQ(mod_is_changed, 0);
  restore_modular(saved);
  EXPECT_FALSE(modularmode);
  EXPECT_EQ(mod_is_changed, 0);
}

TEST(ModularBracket, RestoresOnExceptionsAndAfterAnError) {
  InModularMode ring;
  try {
    ModularBracket outer;
    ModularBracket inner;
    EXPECT_FALSE(modularmode);
    EXPECT_EQ(mod_is_changed, 1);
    throw std::runtime_error("leave");
  } catch (const std::runtime_error&) {
  }
  EXPECT_TRUE(modularmode);
  EXPECT_EQ(mod_is_changed, 0);

  // A user error unwinds to the top level, which resets the count itself;
  // the bracket must still give modular mode back and not count below 0.
  ScopedValue<bool> no_push(errorpush, false);
  testing::internal::CaptureStdout();
  try {
    ModularBracket bracket;
    ModularBracket nested;
    error(22, &quotsign);
  } catch (const TopLevelJump&) {
  }
  testing::internal::GetCapturedStdout();
  EXPECT_TRUE(modularmode);
  EXPECT_EQ(mod_is_changed, 0);
}

TEST(RestoreFromMod, RelinksPolynomialCellsNewestFirst) {
  NodeBalance balance;
  // 3x^2 + 5x + 7 as a term list.
  poly c = leaf(7);
  poly b = term(1, leaf(5), c);
  poly a = term(2, leaf(3), b);
  poly head = a;
  // An image that lost the term 5x, then its leading term; the inner leaf
  // of the first term is replaced twice (only its first old value counts).
  poly three = a->pcoef;
  poly other = leaf(1);
  push_fix(&a->next, b, zzero);
  a->next = c;
  push_fix(&head, a, zzero);
  head = c;
  push_fix(&a->pcoef, three, zzero);
  a->pcoef = other;
  push_fix(&a->pcoef, other, zzero);
  a->pcoef = nullptr;
  const fixptr newest = masterfix;

  restore_from_mod(&masterfix);
  EXPECT_EQ(masterfix, nullptr);
  EXPECT_EQ(fixgarb, newest);
  EXPECT_EQ(head, a);
  EXPECT_EQ(a->next, b);
  EXPECT_EQ(b->next, c);
  EXPECT_EQ(a->pcoef, three);
  free_poly(&other);
  free_poly(&head);

  fixptr empty = nullptr;
  restore_from_mod(&empty);  // nothing to do
  EXPECT_EQ(empty, nullptr);
}

// A fraction 5 / 3 held as a value cell with numerator and denominator.
quoly fraction() {
  quoly q = nullptr;
  newquoly(&q);
  q->next = nullptr;
  q->numb = false;
  q->numer = leaf(5);
  q->denom = leaf(3);
  q->rat = true;
  return q;
}

// The fraction 5 / 3 with its numerator and denominator journalled, put
// into a temporary form by change and journalled as `form`: restoring the
// journal gives the cell back as the fraction with its own numerator and
// denominator; check(q) then looks at the restored cell before it is freed.
template <class Change, class Check>
void expect_fraction_restored(classtype form, Change change, Check check) {
  quoly q = fraction();
  const poly n = q->numer, d = q->denom;
  push_fix(&q->numer, n, zzero);
  push_fix(&q->denom, d, zzero);
  change(q);
  push_fix(q, nullptr, form);
  restore_from_mod(&masterfix);
  EXPECT_FALSE(q->numb);
  EXPECT_EQ(q->numer, n);
  EXPECT_EQ(q->denom, d);
  check(q);
  free_quoly(&q);
}

TEST(RestoreFromMod, ValueCellsComeBackFromEachTemporaryForm) {
  NodeBalance balance;
  auto nothing_more = [](quoly) {};
  // two: the value became a fresh number.
  expect_fraction_restored(
      two,
      [](quoly q) {
        q->numb = true;
        newimag(&q->ncoef);
        special_set(2, q->ncoef);
      },
      nothing_more);
  // three: fresh numerator and denominator.
  expect_fraction_restored(
      three,
      [](quoly q) {
        q->numer = leaf(4);
        q->denom = term(1, leaf(1), leaf(1));
      },
      nothing_more);
  // one: a number borrowed from the numerator's leaf (not freed).
  imptr borrowed = nullptr;
  expect_fraction_restored(
      one,
      [&](quoly q) {
        borrowed = q->numer->ncoef;
        q->numb = true;
        q->ncoef = borrowed;
      },
      [&](quoly q) { EXPECT_EQ(q->numer->ncoef, borrowed); });
}

// A journalled value freed while the journal still holds its records (a
// variable cancelled or assigned anew in modular arithmetic): its own
// records are replayed before it goes, in modular arithmetic too; the
// records of other values stay and still replay; no node is lost or freed
// twice.
TEST(ReleaseJournalled, FreeingAValueReplaysOnlyItsOwnRecords) {
  NodeBalance balance;
  InModularMode ring;
  for (const bool free_first : {true, false}) {
    SCOPED_TRACE(free_first ? "the older value freed" : "the newer value freed");
    const fixptr outside = masterfix;
    // x: 5 / 3 turned into a fresh number; y: 3t^2 + 5t + 7 without its
    // middle term.
    quoly x = fraction();
    fixptr before = masterfix;
    push_fix(&x->numer, x->numer, zzero);
    push_fix(&x->denom, x->denom, zzero);
    x->numb = true;
    newimag(&x->ncoef);
    x->ncoef->lint = 4;
    push_fix(x, nullptr, two);
    own_journal_records(x, before);
    quoly y = fraction();
    lintmode = false;
    free_poly(&y->numer);
    lintmode = true;
    y->rat = false;
    poly c = leaf(7), b = term(1, leaf(5), c), a = term(2, leaf(3), b);
    y->numer = a;
    before = masterfix;
    push_fix(&a->next, b, zzero);
    a->next = c;
    own_journal_records(y, before);
    EXPECT_TRUE(x->journalled && y->journalled);

    quoly& gone = free_first ? x : y;
    quoly& kept = free_first ? y : x;
    free_quoly(&gone);
    for (fixptr f = masterfix; f != outside; f = f->next) EXPECT_EQ(f->owner, kept);
    restore_from_mod(&masterfix);
    EXPECT_TRUE(kept->journalled) << "it still holds its integers beside its residues";
    if (free_first) {
      EXPECT_EQ(a->next, b) << "the kept value is whole again";
    } else {
      EXPECT_FALSE(x->numb);
    }
    lintmode = false;  // the kept value is exact again: limbs and all
    free_quoly(&kept);
    lintmode = true;
    EXPECT_EQ(masterfix, outside);
  }
}

}  // namespace
}  // namespace tavrin::test
