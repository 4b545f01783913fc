// A relation on one adjoined variable for the lifetime of a scope, as the
// mod-out command would install it: the level's p, expon and multdata are
// set, relations are in force (pseudo_polynames) and marked above the field;
// everything is freed and restored at the end. Build the polynomials in the
// arithmetic mode the scope lives in.
#pragma once

#include <cstdint>

#include "numbers/freelists.h"
#include "toplevel/globals.h"
#include "toplevel/mode_guard.h"

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
