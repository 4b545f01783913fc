// Sorting rows by their first-column monomial and the set operations on
// sorted sparse columns, against a test-side model: monomials c*x^e keyed
// by e (a number: every number the same key, before all polynomials).
#include "arrays/monomial_sets.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "numbers/freelists.h"
#include "poly/poly_measures.h"
#include "poly/poly_repr.h"
#include "toplevel/state.h"
#include "arrays/array_store.h"
#include "arrays/sparse_store.h"
#include "support/bigref.h"
#include "support/node_accounting.h"
#include "support/poly_support.h"
#include "support/value_form.h"

namespace tavrin::test {
namespace {

// c*x^e (e >= 1), or the number c for e < 0; a fresh value.
quoly monomial(std::int64_t c, int e) {
  Value v =
      make_value(e < 0 ? std::to_string(c) : "(" + std::to_string(c) + ")*x^" + std::to_string(e));
  quoly q = nullptr;
  quoly_assign(v.get(), &q);
  return q;
}

// The model key of a value: -1 for a number, else its degree in x.
int key_of(quoly q) {
  if (q->numb) return -1;
  const RefPoly r = read_poly(q->numer, 1);
  return static_cast<int>(r.terms().rbegin()->first[0]);
}

// A sparse array record of the given rows, one entry per row: row k has
// key keys[k] and coefficient tags[k].
arrptr column(const std::vector<int>& keys, const std::vector<std::int64_t>& tags) {
  arrptr q = nullptr;
  newarray(&q);
  q->rows = static_cast<std::int32_t>(keys.size());
  q->start = 0;
  q->stop = -1;
  set_entry_count(&q->sizearr, q->rows);
  sparse_init(&q->spar, q->rows);
  for (std::int32_t k = 0; k < q->rows; ++k) {
    colm_ptr e = nullptr;
    newcolm(&e);
    e->coord = 1;
    e->next = nullptr;
    e->val = monomial(tags[static_cast<std::size_t>(k)], keys[static_cast<std::size_t>(k)]);
    *sparse_row(q->spar, k + 1) = e;
  }
  return q;
}

void release(arrptr q) {
  free_sparse(&q->spar, q->rows, true);
  free_array_record(q);
}

// Keys of the rows of q (an empty row: -2).
std::vector<int> keys_of(arrptr q) {
  std::vector<int> out;
  for (std::int32_t k = 1; k <= q->rows; ++k) {
    const colm_ptr e = *sparse_row(q->spar, k);
    out.push_back(e == nullptr ? -2 : key_of(e->val));
  }
  return out;
}

TEST(MonomialSort, RowsSortToTheModelOrderAndTravelWhole) {
  PolyVars vars({"x"});
  std::mt19937_64 rng(test_seed() + 170);
  for (int round = 0; round < 12; ++round) {
    const bool sparse = round % 2 == 1;
    const std::int32_t rows = sparse && round % 4 == 3
                                  ? 4100 + static_cast<std::int32_t>(rng() % 50)
                                  : 1 + static_cast<std::int32_t>(rng() % 60);
    const int spread = 1 + static_cast<int>(rng() % 12);  // small: long runs of equal keys
    std::vector<int> keys(static_cast<std::size_t>(rows));
    std::vector<std::int64_t> tags(static_cast<std::size_t>(rows));
    for (std::int32_t k = 0; k < rows; ++k) {
      const int e = static_cast<int>(rng() % static_cast<unsigned>(spread));
      keys[static_cast<std::size_t>(k)] = e == 0 ? -1 : e;
      tags[static_cast<std::size_t>(k)] = k + 1;
    }
    NodeBalance balance;
    std::vector<std::pair<int, std::int64_t>> got;
    if (sparse) {
      arrptr q = column(keys, tags);
      std::int32_t last = 0;
      check_set_first_col(q->spar, &last, rows - 1, &q->name);
      EXPECT_EQ(last, (rows - 1) / 2048);
      sparse_arraysort(0, 0, rows - 1, last);
      for (std::int32_t k = 1; k <= rows; ++k) {
        const quoly v = (*sparse_row(q->spar, k))->val;
        got.emplace_back(key_of(v), 0);
      }
      release(q);
    } else {
      // Two columns: the monomial and its tag, which must stay beside it.
      workarray w{};
      for (std::int32_t k = 0; k < rows; ++k) {
        w.stash[k] = monomial(tags[static_cast<std::size_t>(k)], keys[static_cast<std::size_t>(k)]);
        w.stash[k + rows] = monomial(tags[static_cast<std::size_t>(k)], -1);
      }
      arraysort(&w, 0, rows - 1, rows, 2);
      for (std::int32_t k = 0; k < rows; ++k) {
        got.emplace_back(key_of(w.stash[k]), 0);
        // The tag beside the monomial is its coefficient.
        const quoly tag = w.stash[k + rows];
        const std::int64_t t =
            std::stoll(value_text(tag).substr(value_text(tag).find_first_of("0123456789")));
        quoly again = monomial(t, key_of(w.stash[k]));
        EXPECT_EQ(value_text(w.stash[k]), value_text(again)) << "row " << k;
        free_quoly(&again);
        free_quoly(&w.stash[k]);
        free_quoly(&w.stash[k + rows]);
      }
    }
    std::vector<int> model = keys;
    std::sort(model.begin(), model.end());
    for (std::int32_t k = 0; k < rows; ++k)
      ASSERT_EQ(got[static_cast<std::size_t>(k)].first, model[static_cast<std::size_t>(k)])
          << (sparse ? "sparse" : "dense") << " row " << k << " of " << rows;
    balance.expect_balanced();
  }
  using_spsort = false;
}

TEST(MonomialSets, SizesAndKeysMatchTestSideSetOperations) {
  PolyVars vars({"x"});
  std::mt19937_64 rng(test_seed() + 171);
  for (int round = 0; round < 60; ++round) {
    // Sorted columns of distinct monomials (a constant at most once).
    auto pick = [&]() {
      std::set<int> s;
      const int n = static_cast<int>(rng() % 12);
      for (int k = 0; k < n; ++k) {
        const int e = static_cast<int>(rng() % 16);
        s.insert(e == 0 ? -1 : e);
      }
      if (s.empty()) s.insert(1 + static_cast<int>(rng() % 3));
      return std::vector<int>(s.begin(), s.end());
    };
    const std::vector<int> a = pick(), b = pick();
    std::vector<int> both, either, all;
    std::set_intersection(a.begin(), a.end(), b.begin(), b.end(), std::back_inserter(both));
    std::set_union(a.begin(), a.end(), b.begin(), b.end(), std::back_inserter(either));
    std::merge(a.begin(), a.end(), b.begin(), b.end(), std::back_inserter(all));
    const int op = round % 3;
    NodeBalance balance;
    arrptr q0 = column(a, std::vector<std::int64_t>(a.size(), 3));
    arrptr q1 = column(b, std::vector<std::int64_t>(b.size(), 7));
    check_set_cols(q0, q1);
    const std::int32_t n = op == 0   ? intersect(q0, q1)
                           : op == 1 ? synth_union(q0, q1)
                                     : synth_merge(q0, q1);
    const std::vector<int>& want = op == 0 ? both : op == 1 ? either : all;
    EXPECT_EQ(n, static_cast<std::int32_t>(want.size())) << "operation " << op;
    if (want.empty()) {
      EXPECT_EQ(keys_of(q0), std::vector<int>{-2});
    } else {
      EXPECT_EQ(keys_of(q0), want) << "operation " << op;
    }
    EXPECT_EQ(array_entries(q0), std::max<std::int64_t>(1, static_cast<std::int64_t>(want.size())));
    EXPECT_EQ(q1->rows, static_cast<std::int32_t>(b.size()));
    // A key both have keeps q0's row (coefficient 3) in the union.
    if (op == 1)
      for (std::int32_t k = 1; k <= q0->rows; ++k) {
        const quoly v = (*sparse_row(q0->spar, k))->val;
        if (std::find(a.begin(), a.end(), key_of(v)) != a.end()) {
          quoly from_q0 = monomial(3, key_of(v));
          EXPECT_EQ(value_text(v), value_text(from_q0));
          free_quoly(&from_q0);
        }
      }
    release(q0);
    release(q1);
    balance.expect_balanced();
  }
}

// dump_mons of random polynomials in three variables (pads, big coefficients,
// more than one frame once), with and without field levels and stripping:
// the rows are valid single monomials (one per field-level coefficient), in
// the polynomial's own (descending) order, and sum back to it.
TEST(MonomialColumn, RowsAreTheMonomialsInOrderAndSumBack) {
  PolyVars vars({"x", "y", "z"});
  std::mt19937_64 rng(test_seed() + 170);
  for (int round = 0; round < 80; ++round) {
    RefPoly r = random_refpoly(rng, 3, 12, 4, 3);
    if (round == 0)
      for (int e = 0; e < 2100; ++e) r.add_term({e / 50, e % 50, 1}, BigRef(e + 1));
    const bool strip = round % 2 == 1;
    field_depth = static_cast<std::int16_t>(round % 3 == 2 ? 2 + round % 2 : 0);
    NodeBalance balance;
    poly p = build_poly(r);
    quoly n = nullptr;
    use_up_poly(&p, &n);
    const std::int32_t count = numterms(n);
    arrptr q = nullptr;
    newarray(&q);
    q->rows = count;
    sparse_init(&q->spar, count);
    dump_mons(q, n, strip);
    // Expected: monomials grouped by the exponents above the field levels.
    const std::size_t keep = field_depth == 0 ? 3 : static_cast<std::size_t>(field_depth - 1);
    std::map<RefPoly::Exps, RefPoly> groups;
    for (const auto& [e, c] : r.terms()) {
      RefPoly::Exps top(e.begin(), e.begin() + static_cast<std::ptrdiff_t>(keep));
      groups.try_emplace(top, 3).first->second.add_term(e, c);
    }
    if (r.is_zero() && strip) groups.try_emplace(RefPoly::Exps(keep, 0), 3);
    ASSERT_EQ(count, std::max<std::int32_t>(1, static_cast<std::int32_t>(groups.size())));
    auto want = groups.rbegin();
    for (std::int32_t k = 1; k <= count; ++k) {
      const colm_ptr e = *sparse_row(q->spar, k);
      if (r.is_zero() && !strip) {
        EXPECT_EQ(e, nullptr);
        break;
      }
      ASSERT_NE(e, nullptr) << "row " << k;
      ASSERT_EQ(e->next, nullptr);
      EXPECT_EQ(e->coord, 1);
      const poly got = e->val->numb ? nullptr : e->val->numer;
      RefPoly m(3);
      if (got == nullptr) {
        m = RefPoly::constant(3, number_value(e->val->ncoef));
      } else {
        ASSERT_TRUE(valid_poly(got)) << "row " << k;
        m = read_poly(got);
      }
      RefPoly expect = want->second;
      if (strip) {
        RefPoly::Exps ex = want->first;
        ex.resize(3, 0);
        expect = RefPoly(3);
        expect.add_term(ex, BigRef(1));
      }
      EXPECT_EQ(m, expect) << "row " << k << " of " << count << ", field_depth " << field_depth;
      ++want;
    }
    free_sparse(&q->spar, count, true);
    free_array_record(q);
    free_quoly(&n);
    balance.expect_balanced();
  }
}

}  // namespace
}  // namespace tavrin::test
