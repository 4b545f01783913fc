// Images of values modulo the word prime: the journalled temporary image of
// a value and the permanent conversion of a polynomial.
#include "quoly/quoly_change_mod.h"

#include <cstdint>
#include <cstdio>

#include "core/error_codes.h"
#include "core/errors.h"
#include "core/globals.h"
#include "numbers/freelists.h"
#include "numbers/mod_journal.h"
#include "numbers/node_handles.h"
#include "numbers/poly_nodes.h"
#include "poly/poly_add.h"
#include "poly/poly_exact_divide.h"
#include "poly/poly_images.h"
#include "poly/poly_in_place.h"
#include "poly/poly_modout.h"
#include "poly/poly_mult.h"
#include "poly/poly_repr.h"
#include "quoly/quoly_normal_form.h"

namespace tavrin {

using nodes::is_bare_leaf;
using nodes::OwnedPoly;

namespace {

// The value q takes the number of its numerator, the single leaf *q->numer,
// which stays the leaf's too (entry one); the numerator link is journalled.
void borrow_numerator_number(quoly q, quoly_change_to_mod_EnvRec& env) {
  poly leaf = q->numer;
  push_fix(&q->numer, leaf, zzero);
  q->ncoef = leaf->ncoef;
  q->arr_arg = false;
  convert_to_num(q, one, env);
}

// The value q becomes the number held by the fresh leaf `leaf` (the leaf
// node is freed, its number moved into q; entry two).
void become_fresh_number(quoly q, poly leaf, quoly_change_to_mod_EnvRec& env) {
  imptr n = leaf->ncoef;
  special_free(n);  // a residue: no limbs to carry
  leaf->ncoef = nullptr;
  free_polynode_list(leaf, leaf);
  q->ncoef = n;
  q->arr_arg = false;
  convert_to_num(q, two, env);
}

// num := num / the residue c (its inverse modulo the prime).
void divide_by_number(poly num, imptr c) { num_poly_quot(num, c, 0); }

}  // namespace

void convert_to_num(quoly q, classtype typ, quoly_change_to_mod_EnvRec& env) {
  q->numb = true;
  env.fix = push_fix(q, nullptr, typ);
}

std::int32_t prec_error(std::int32_t num, const tokentipe* tok, quoly_change_to_mod_EnvRec&) {
  std::printf(" *** Inappropriate symbol: %s\n", tok->name);
  out_err_mess(num);
  std::printf(" Change of precedence will continue. Some data may not be reasonably changed.\n");
  std::fflush(stdout);
  return -1;
}

void check_quoly_1(quoly_change_to_mod_EnvRec& env) {
  quoly q = *env.q;
  push_fix(&q->numer, q->numer, zzero);
  push_fix(&q->denom, q->denom, zzero);
  // The work is done on copies: the GCD and the divisions may rebuild their
  // operands (Laurent shifts), and the converted nodes must stay as the
  // journal knows them.
  OwnedPoly num, den;
  poly_assign(q->numer, num.cell());
  poly_assign(q->denom, den.cell());
  if (!is_bare_leaf(den.p)) {
    OwnedPoly g;
    Lpolygcd(num.cell(), den.cell(), g.cell(), false, polynames);
    if (g.p != nullptr && !is_bare_leaf(g.p)) {
      reduce(num.cell(), den.cell(), g.cell(), num.cell(), den.cell(),
             {.el_n = laurent, .nflag = true, .dflag = true});
    }
  }
  if (is_bare_leaf(den.p)) {
    divide_by_number(num.p, den.p->ncoef);
    free_poly(den.cell());
  } else {
    OwnedPoly factor;
    monic_poly(den.cell(), factor.cell(), polynames);
    if (factor.p != nullptr) {
      if (is_bare_leaf(factor.p)) {
        divide_by_number(num.p, factor.p->ncoef);
      } else {  // the inverse of a leading coefficient in the field levels
        poly_mult(num.p, factor.p, num.cell(), polynames);
      }
    }
    if (laurent) {
      OwnedPoly exps;
      poly tail = nullptr;
      clear_bads(den.cell(), exps.cell(), &tail, 2147483647, 16384);
      if (exps.p != nullptr) {
        eliminate_bads(num.cell(), exps.p, -1);
        if (modout_above_field) above_field_modout(num.cell());
      }
      if (is_bare_leaf(den.p)) {
        divide_by_number(num.p, den.p->ncoef);
        free_poly(den.cell());
      }
    }
  }
  if (den.p == nullptr && is_bare_leaf(num.p)) {
    become_fresh_number(q, num.release(), env);
    return;
  }
  q->numer = num.release();
  q->denom = den.release();
  env.fix = push_fix(q, nullptr, three);
}

std::int32_t quoly_change_to_mod(quolyptr qc) {
  quoly_change_to_mod_EnvRec env;
  env.q = qc;
  quoly q = *qc;
  // Whichever way the conversion ends, the records it made are the value's
  // own (numbers/mod_journal.h): freeing the value replays them first.
  struct owned_records {
    quoly q;
    fixptr before;
    ~owned_records() { own_journal_records(q, before); }
  } owned{q, masterfix};
  if (q->numb) {
    change_num(q->ncoef, false, true);
    return 0;
  }
  if (q->rat) {
    push_fix(q, nullptr, four);
    q->rat = false;
  }
  poly_change_to_mod(&q->numer, true);
  if (q->numer == nullptr) {  // the number 0
    if (q->denom != nullptr) push_fix(&q->denom, q->denom, zzero);
    nodes::ScratchNumber zero;
    q->ncoef = zero.release();
    q->arr_arg = false;
    convert_to_num(q, two, env);
    return 0;
  }
  if (q->denom == nullptr) {
    if (is_bare_leaf(q->numer)) borrow_numerator_number(q, env);
    return 0;
  }
  poly_change_to_mod(&q->denom, true);
  if (q->denom == nullptr) {
    if (is_bare_leaf(q->numer)) borrow_numerator_number(q, env);
    return prec_error(zero_denominator_error, &token, env);
  }
  check_quoly_1(env);
  return 0;
}

void poly_change_num(poly* p) {
  poly* link = p;
  while (*link != nullptr) {
    poly t = *link;
    if (t->numb) {
      change_num(t->ncoef, true, true);
      if (t->ncoef->lint == 0) {
        *link = t->next;
        t->next = nullptr;
        free_poly(&t);
        continue;
      }
      link = &t->next;
      continue;
    }
    poly_change_num(&t->pcoef);
    link = detail::settle_term(link, t->pcoef == nullptr);
  }
}

}  // namespace tavrin
