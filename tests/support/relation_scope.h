// Relations on adjoined variables for the lifetime of a scope.
//
// RelationScope: the level's p, expon and multdata are set as given,
// relations are in force (pseudo_polynames) and marked above the field;
// everything is freed and restored at the end. Build the polynomials in the
// arithmetic mode the scope lives in.
// ModOutScope: a relation installed as the mod-out command leaves it, its
// multdata built by fold_poly. SuspendedPolymodding: the levels above the
// field replaced by relation-free copies.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/globals.h"
#include "core/mode_guard.h"
#include "numbers/freelists.h"
#include "numbers/node_handles.h"
#include "poly/poly_modout.h"
#include "poly/poly_repr.h"
#include "gcd/aux_primes.h"
#include "support/bigref.h"
#include "support/poly_support.h"
#include "support/refpoly.h"
#include "support/rings.h"

namespace tavrin::test {

class RelationScope {
 public:
  // relation: a number leaf c (t^expon = c) or the relation polynomial;
  // multdata: t^k reduced, k = 2 expon - 2 down to expon, or nil. Both are
  // owned by the scope.
  RelationScope(polypt level, poly relation, std::int32_t expon, poly multdata = nullptr)
      : level_(level),
        pseudo_(pseudo_polynames, polynames),
        above_(modout_above_field, true),
        old_expon_(level->expon) {
    level->p = relation;
    level->expon = expon;
    level->multdata = multdata;
  }
  ~RelationScope() {
    free_poly(&level_->p);
    free_poly(&level_->multdata);
    level_->expon = old_expon_;
  }
  RelationScope(const RelationScope&) = delete;
  RelationScope& operator=(const RelationScope&) = delete;

 private:
  polypt level_;
  ScopedValue<polypt> pseudo_;
  ScopedValue<bool> above_;
  std::int32_t old_expon_;
};

}  // namespace tavrin::test

namespace tavrin::test {

// What the top level derives from the relations after every change of
// them: pseudo_polynames (polynames when some level has a relation),
// field_depth (the first depth of the bottom run of levels flagged field; 0
// when the bottom level is not), the field flags made to agree with it, and
// modout_above_field (a level above the field has a relation).
inline void reset_relation_state() {
  bool any = false;
  std::vector<polypt> levels;
  for (polypt r = polynames; r != nullptr; r = r->next) {
    levels.push_back(r);
    any = any || r->p != nullptr;
  }
  pseudo_polynames = any ? polynames : nullptr;
  field_depth = 0;
  for (auto it = levels.rbegin(); it != levels.rend() && (*it)->field; ++it)
    field_depth = (*it)->depth;
  modout_above_field = false;
  for (polypt r : levels) {
    r->field = field_depth > 0 && r->depth >= field_depth;
    if (!r->field && r->p != nullptr) modout_above_field = true;
  }
}

// The variable of level `depth` of vars modded out by a monic relation for
// the scope's lifetime, installed as the mod-out command leaves it: the
// relation is written over the names of that level and the ones below it
// and stored from the level down (no pads above it); a binomial t^E + c
// (c a number, possibly absent) is stored as the leaf -c in p (t^E = -c)
// with alt := t^E + c; any other relation in p, with multdata := t^k
// reduced by fold_poly for k = 2E - 2 down to E (built before p is set);
// expon := E; field as asked; then reset_relation_state(). The end frees
// the relation data and restores the level, every field flag and the
// globals. Build it in the arithmetic mode the scope lives in.
class ModOutScope {
 public:
  ModOutScope(const PolyVars& vars, int depth, const std::string& relation, bool field = false)
      : level_(vars.level(depth)),
        relation_(relation),
        name_(vars.names()[static_cast<std::size_t>(depth - 1)]),
        old_expon_(level_->expon),
        old_field_(level_->field) {
    for (polypt r = polynames; r != nullptr; r = r->next) fields_.push_back(r->field);
    const std::vector<std::string> below(vars.names().begin() + (depth - 1), vars.names().end());
    poly rel = make_poly(relation, below);
    const std::int32_t E = rel->numb ? 0 : rel->exp;
    level_->expon = E;
    level_->field = field;
    const bool binomial = !rel->numb && poly_eq_1(rel->pcoef) &&
                          (rel->next == nullptr || (rel->next->numb && rel->next->next == nullptr));
    if (binomial) {
      poly c = nullptr;
      if (rel->next == nullptr) {
        poly_set(0, &c);
      } else {
        node_assign(rel->next, &c);
        poly_inplace(c);
      }
      level_->p = c;
      level_->alt = rel;
    } else {
      poly* link = &level_->multdata;
      for (std::int32_t k = 2 * E - 2; k >= E; --k) {
        poly tk = make_poly(level_->let.name + std::string("^") + std::to_string(k), below);
        fold_poly(&tk, &rel, E, level_);
        *link = nodes::new_term(k, tk);
        link = &(*link)->next;
      }
      level_->p = rel;
    }
    reset_relation_state();
  }
  ~ModOutScope() {
    free_gcd_data(level_);
    level_->aux_num = 0;
    for (imptr& n : aux_table_) free_num_header(n);
    if (!aux_table_.empty()) {
      auxptr = old_auxptr_;
      aux_prime1_number = old_aux_count_;
    }
    free_poly(&level_->p);
    free_poly(&level_->alt);
    free_poly(&level_->multdata);
    level_->expon = old_expon_;
    level_->field = old_field_;
    std::size_t i = 0;
    for (polypt r = polynames; r != nullptr && i < fields_.size(); r = r->next)
      r->field = fields_[i++];
  }
  ModOutScope(const ModOutScope&) = delete;
  ModOutScope& operator=(const ModOutScope&) = delete;

  polypt level() const { return level_; }

  // The level's auxiliary primes (gcd_data, aux_num) as the set-up of
  // relations finds them: every prime above 40 dividing the relation's value
  // at each integer x of xs, with the root x (add_all_to_list); and the
  // global table auxptr of those primes for the scope's lifetime. For a
  // relation in the level's variable alone.
  void add_aux_primes(std::initializer_list<std::int32_t> xs) {
    const RefPoly rel = parse_ref(relation_, {name_});
    for (std::int32_t x : xs) {
      BigRef y(0);
      for (const auto& [e, c] : rel.terms()) {
        BigRef term = c;
        for (std::int32_t k = 0; k < e[0]; ++k) term = term * BigRef(x);
        y = y + term;
      }
      imptr n = from_ref(y);
      add_all_to_list(level_, x, n);
      free_num_header(n);
    }
    if (aux_table_.empty()) {
      old_auxptr_ = auxptr;
      old_aux_count_ = aux_prime1_number;
    }
    for (imptr& n : aux_table_) free_num_header(n);
    aux_table_.assign(1, nullptr);  // the table counts from 1
    level_->aux_num = 0;
    for (imptr e = level_->gcd_data; e != nullptr; e = e->imag) {
      ++level_->aux_num;
      aux_table_.push_back(from_ref(BigRef(e->lint)));
    }
    auxptr = aux_table_.data();
    aux_prime1_number = static_cast<std::int16_t>(aux_table_.size() - 1);
  }

 private:
  static void free_num_header(imptr& n) {
    if (n == nullptr) return;
    special_free(n);
    free_imag(&n);
  }

  polypt level_;
  std::string relation_;
  std::string name_;
  std::vector<imptr> aux_table_;
  imptr* old_auxptr_ = nullptr;
  std::int16_t old_aux_count_ = 0;
  std::int32_t old_expon_;
  bool old_field_;
  std::vector<bool> fields_;
  ScopedValue<polypt> pseudo_{pseudo_polynames};
  ScopedValue<std::int16_t> field_depth_{field_depth};
  ScopedValue<bool> above_{modout_above_field};
};

// The tower s^2 = t s + 1 over t^3 = t + 1 on the variables s (level 1)
// and t (level 2) of vars, installed in the ring in force for the scope's
// lifetime, and its reduction on the reference side.
class TwoLevelTower {
 public:
  TwoLevelTower(const PolyVars& vars, Ring ring)
      : ring_(ring),
        lower_(vars, 2, "t^3 - t - 1"),
        upper_(vars, 1, "s^2 - t*s - 1"),
        rest_t_(in_ring(ring, parse_ref("t + 1", vars.names()))),
        rest_s_(in_ring(ring, parse_ref("t*s + 1", vars.names()))) {}
  // What the upper relation puts for s^2.
  const RefPoly& rest_s() const { return rest_s_; }
  // a with t^3 replaced by t + 1 until its degree in t is below 3.
  RefPoly reduce_t(const RefPoly& a) const { return fold_ref(ring_, a, 1, 3, rest_t_); }
  // a with s^2 replaced by t s + 1, then reduced in t.
  RefPoly reduce(const RefPoly& a) const { return reduce_t(fold_ref(ring_, a, 0, 2, rest_s_)); }

 private:
  Ring ring_;
  ModOutScope lower_, upper_;
  RefPoly rest_t_, rest_s_;
};

// Polymodding suspended for the scope's lifetime: polynames is replaced by
// a list whose levels above the field (every level when there is none) are
// fresh records carrying only the name and depth, linked to the field
// levels themselves; the copies are freed and polynames restored at the
// end.
class SuspendedPolymodding {
 public:
  SuspendedPolymodding() {
    polypt* link = &copies_;
    polypt r = polynames;
    for (; r != nullptr && (field_depth == 0 || r->depth < field_depth); r = r->next) {
      polypt c = nullptr;
      newpt(&c);
      c->let = r->let;
      c->depth = r->depth;
      *link = c;
      link = &c->next;
    }
    *link = r;
    polynames = copies_;
  }
  ~SuspendedPolymodding() {
    for (polypt c = copies_; c != nullptr && (field_depth == 0 || c->depth < field_depth);) {
      polypt next = c->next;
      c->next = nullptr;
      free_pt(&c);
      c = next;
    }
  }
  SuspendedPolymodding(const SuspendedPolymodding&) = delete;
  SuspendedPolymodding& operator=(const SuspendedPolymodding&) = delete;

 private:
  ScopedValue<polypt> saved_{polynames};
  polypt copies_ = nullptr;
};

}  // namespace tavrin::test
