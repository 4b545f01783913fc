#include "frontend/modding_out.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "core/error_codes.h"
#include "core/errors.h"
#include "core/globals.h"
#include "core/interrupts.h"
#include "core/mode_guard.h"
#include "numbers/bigint.h"
#include "numbers/freelists.h"
#include "numbers/mod_journal.h"
#include "numbers/node_handles.h"
#include "numbers/primes.h"
#include "numbers/word_mod.h"
#include "poly/poly_diff.h"
#include "poly/poly_images.h"
#include "poly/poly_measures.h"
#include "poly/poly_modout.h"
#include "poly/poly_repr.h"
#include "gcd/aux_primes.h"
#include "factor/factor.h"
#include "quoly/quoly_great_abs.h"
#include "quoly/quoly_upcalls.h"
#include "toplevel/dispatch.h"
#include "toplevel/display.h"
#include "toplevel/language_services.h"
#include "toplevel/polymodding.h"
#include "toplevel/state.h"
#include "toplevel/tokens.h"
#include "lang/expressions.h"
#include "frontend/commands.h"

namespace tavrin {

std::int32_t second_aux_num = 0;

namespace {

constexpr std::int32_t most_relation_degree = 1073741824;  // 2e - 2 below 2^31

constexpr std::int32_t aux_table_size = 4583;
constexpr std::int32_t largest_aux_prime = 65521;
constexpr std::int32_t many_terms = 200;

using tokens::is_tok;

bool is_leaf(poly p) { return p != nullptr && p->numb && p->next == nullptr; }

struct set_mod_out_exit {};

struct set_mod_out_EnvRec {
  textptr inf;
  nameptr* flag;
  polypt q = nullptr;
  bool got_auxes = false;
  bool cancelling = false;
  quoly num = nullptr;  // the relation as read, then its non-leading part
  std::int32_t expon = 0;
  bool imperative = false;
  bool highest = false;
  poly r = nullptr;
  poly alter = nullptr;
  poly muldata = nullptr;
  std::int16_t n = 0;
  bool field = false;
  bool haveaux2 = false;
  bool binomial = false;
  bool replacing = false;   // the level's old relation goes when the new one is in
  poly relation = nullptr;  // the relation from its own level
  imptr aux2 = nullptr;     // a second list read from the input
  ~set_mod_out_EnvRec() {
    free_quoly(&num);
    free_poly(&r);
    free_poly(&alter);
    free_poly(&muldata);
    free_poly(&relation);
    while (aux2 != nullptr) {
      imptr e = aux2;
      aux2 = e->imag;
      special_free(e);
      free_imag(&e);
    }
  }
};

// The field flags of every level, put back when the command fails before
// the new relation is installed (the search of the first list clears the
// level's flag meanwhile).
class FieldFlags {
 public:
  FieldFlags() {
    for (polypt r = polynames; r != nullptr; r = r->next) flags_.push_back(r->field);
  }
  ~FieldFlags() {
    if (!kept_) restore();
  }
  FieldFlags(const FieldFlags&) = delete;
  FieldFlags& operator=(const FieldFlags&) = delete;
  void keep() { kept_ = true; }
  void restore() {
    std::size_t k = 0;
    for (polypt r = polynames; r != nullptr && k < flags_.size(); r = r->next)
      r->field = flags_[k++];
  }

 private:
  std::vector<Boolean> flags_;
  bool kept_ = false;
};

bool shows(const set_mod_out_EnvRec& env) { return verbose || *env.flag == nullptr; }

polypt record_at(std::int32_t depth) {
  polypt r = polynames;
  for (std::int32_t k = 1; r != nullptr && k < depth; ++k) r = r->next;
  return r;
}

void free_aux_entry(imptr e) {
  special_free(e);
  free_imag(&e);
}

// The first list's table, allocated when first needed, every entry freed:
// a list forgotten when the last field went (its count set to 0) still
// holds its entries.
void clear_first_list() {
  if (auxptr == nullptr) {
    auxptr = new imptr[aux_table_size + 1]();
    return;
  }
  for (std::int32_t k = 1; k <= aux_table_size; ++k)
    if (auxptr[k] != nullptr) {
      free_aux_entry(auxptr[k]);
      auxptr[k] = nullptr;
    }
}

// A one-limb number of value v (limbs kept whatever the mode).
imptr small_number(std::int32_t v) {
  imptr n = nullptr;
  newimag(&n);
  BigModeGuard big;
  special_set(v, n);
  n->lint = v;
  return n;
}

// An item of an auxiliary list: a sum that must be a number; its value.
bool read_small(set_mod_out_EnvRec& env, std::int32_t* v) {
  quoly x = nullptr;
  bool ok = false;
  {
    ModularBracket suspended;
    scanner(env.inf, &token, env.flag);
    nodes::OwnedValue read;  // freed before the bracket ends on an error
    old_expre(env.inf, read.cell(), env.flag);
    x = read.release();
  }
  if (x != nullptr && x->numb) {
    if (lintmode) {
      *v = x->ncoef->lint;
      ok = true;
    } else if (x->ncoef->size == 1) {
      *v = x->ncoef->head->value;
      ok = true;
    }
  }
  free_quoly(&x);
  return ok;
}

// ---- The lists given in the input -----------------------------------------------------

void get_aux_primes(set_mod_out_EnvRec& env) {
  std::vector<std::int32_t> first;
  for (;;) {
    scanner(env.inf, &token, env.flag);
    if (is_tok(":") || is_tok(")") || is_tok(";")) break;
    std::int32_t p = 0;
    // The item's first token is current: read_small scans, so step back.
    ModularBracket suspended;
    nodes::OwnedValue read;  // freed before the bracket ends on an error
    old_expre(env.inf, read.cell(), env.flag);
    quoly x = read.release();
    bool ok = x != nullptr && x->numb;
    if (ok) {
      if (lintmode) {
        p = x->ncoef->lint;
      } else {
        ok = x->ncoef->size == 1;
        if (ok) p = x->ncoef->head->value;
      }
    }
    free_quoly(&x);
    if (!ok || p < 2 || p > largest_aux_prime) {
      std::printf(" *** You've messed up the first auxiliary prime list.\n");
      error(bad_auxiliary_prime_error, &token);
      return;
    }
    first.push_back(p);
    if (static_cast<std::int32_t>(first.size()) > aux_table_size)
      abandon(too_many_auxiliary_primes_error, &token);
    if (!is_tok(",")) break;
  }
  // The first list is installed whole.
  clear_first_list();
  for (std::size_t k = 0; k < first.size(); ++k) auxptr[k + 1] = small_number(first[k]);
  aux_prime1_number = static_cast<std::int16_t>(first.size());
  env.got_auxes = true;
  if (!is_tok(":")) return;
  // The second list: pairs prime "," root, parsed whole before it replaces
  // the level's list.
  std::vector<std::pair<std::int32_t, std::int32_t>> pairs;
  for (;;) {
    std::int32_t p = 0;
    std::int32_t x = 0;
    if (!read_small(env, &p) || p < 2 || p > largest_aux_prime) {
      std::printf(" *** You've messed up the second auxiliary prime list.\n");
      error(bad_auxiliary_prime_error, &token);
      return;
    }
    if (!is_tok(",")) {
      std::printf(" *** Comma expected. You've messed up the second auxiliary prime list.\n");
      error(bad_auxiliary_prime_error, &token);
      return;
    }
    if (!read_small(env, &x) || x < 0 || x >= p) {
      std::printf(" *** You've messed up the second auxiliary prime list.\n");
      error(bad_auxiliary_prime_error, &token);
      return;
    }
    pairs.emplace_back(p, x);
    if (!is_tok(",")) break;
  }
  for (auto it = pairs.rbegin(); it != pairs.rend(); ++it)
    insert_new_prime(it->first, it->second, &env.aux2);
  env.haveaux2 = true;
}

// ---- The first list searched ----------------------------------------------------------

// The k-th candidate of a new list.
std::int32_t candidate(std::int32_t i, std::int32_t previous) {
  if (i <= 2466) {
    need_data_file(data_file::primelist);
    return med_prime[i];
  }
  if (i <= 3065 && prime[i - 2466 + 5] != nullptr) {
    need_data_file(data_file::pprods);  // prime[6 ..]
    return prime[i - 2466 + 5]->lint;
  }
  return nextprime(previous);
}

poly padded(poly p, std::int32_t pads) {
  poly c = nullptr;
  poly_assign(p, &c);
  for (std::int32_t k = 0; k < pads; ++k) c = nodes::new_term(0, c);
  return c;
}

void compute_aux_primes(poly p, std::int32_t level, set_mod_out_EnvRec& env) {
  if (aux1_hit_0) {
    std::printf("  First auxiliary list is already empty.\n");
    std::fflush(stdout);
    return;
  }
  ScopedValue<bool> no_laurent(laurent, false);
  env.q->field = false;
  if (!lintmode && *env.flag == nullptr) {
    std::printf("  Computing and counting first auxiliary list.\n");
    std::fflush(stdout);
  }
  ScopedValue<std::int16_t> depth(field_depth);
  field_depth = field_depth == number_polys ? 0 : static_cast<std::int16_t>(field_depth + 1);
  const bool filtering = aux_prime1_number > 0 && auxptr != nullptr;
  std::int32_t candidates = 0;
  if (!lintmode)
    candidates =
        filtering ? aux_prime1_number : std::min<std::int32_t>(aux_num_1factor, aux_table_size);
  std::vector<std::int32_t> found;
  std::vector<bool> keep(static_cast<std::size_t>(candidates + 1), false);
  {
    // Declared before the guard: freed after the user's ring is back.
    nodes::OwnedPoly work;
    work.p = padded(p, level - 1);
    InterruptHold hold;
    ModulusGuard ring;  // the user's modulus and modes come back at the end
    std::int32_t prev = 0;
    for (std::int32_t i = 1; i <= candidates; ++i) {
      const std::int32_t pr = filtering ? auxptr[i]->lint : candidate(i, prev);
      prev = pr;
      set_word_modulus(pr, true);
      lintmode = true;
      modularmode = true;
      std::int32_t verdict = 0;
      {
        ModularImage image;
        image.take(work.cell());
        image.take_modout_data();
        // Freed before the image ends.
        nodes::OwnedValue test(nodes::new_ratfun_value(nullptr, nullptr));
        poly_assign(work.get(), &test.q->numer);
        // Over the field of the levels below the new one.
        irreducible_poly(test.cell(), number_polys - level);
        verdict = test.q != nullptr && test.q->numb ? test.q->ncoef->lint : 0;
      }
      lintmode = false;
      modularmode = false;
      if (verdict != 1) continue;
      found.push_back(pr);
      keep[static_cast<std::size_t>(i)] = true;
      if (*env.flag == nullptr) {
        if (found.size() % 10 == 0) std::printf("%5d", static_cast<int>(found.size()));
        if (found.size() % 100 == 0) std::printf("\n");
        std::fflush(stdout);
      }
    }
  }
  const auto count = static_cast<std::int32_t>(found.size());
  if (!lintmode && *env.flag == nullptr) {
    if (count % 100 != 0) std::printf("\n");
    if (count < 50) {
      std::printf(" *** Warning. Few auxiliary primes found.\n");
      std::printf("     Expect slow g.c.d. performance.  It would be better\n");
      std::printf("     to restart Tavrin and use &X to increase the\n");
      std::printf("     first auxiliary search factor.  Current factor is ");
      std::printf("%1d\n", static_cast<int>(aux_num_1factor));
    }
  }
  if (filtering) {
    std::int32_t to = 1;
    for (std::int32_t i = 1; i <= candidates; ++i) {
      if (keep[static_cast<std::size_t>(i)]) {
        auxptr[to++] = auxptr[i];
      } else {
        free_aux_entry(auxptr[i]);
      }
    }
    for (std::int32_t i = to; i <= candidates; ++i) auxptr[i] = nullptr;
  } else {
    clear_first_list();
    for (std::int32_t i = 0; i < count; ++i)
      auxptr[i + 1] = small_number(found[static_cast<std::size_t>(i)]);
  }
  aux_prime1_number = static_cast<std::int16_t>(count);
  if (count == 0) aux1_hit_0 = true;
  env.got_auxes = true;
}

// ---- Reading the command --------------------------------------------------------------

void read_sum(set_mod_out_EnvRec& env, quolyptr into) {
  free_quoly(into);
  old_expre(env.inf, into, env.flag);
}

void end_cancelling(set_mod_out_EnvRec& env) {
  if (env.imperative) {
    if (!is_tok(")")) error(close_paren_expected_error, &token);
  } else if (!is_tok(";")) {
    error(statement_must_end_semicolon_colon_error, &token);
  }
  throw set_mod_out_exit{};
}

void cancel_mod_out(set_mod_out_EnvRec& env) {
  polypt q = env.q;
  if (q->p == nullptr) {
    std::printf(" *** Warning. Wasn't modding out on %s.\n", q->let.name);
  } else {
    free_relations(q);
    q->field = false;
    free_gcd_data(q);
    if (shows(env)) std::printf(" No longer modding out polynomial variable %s.\n", q->let.name);
  }
  reset_pseudo_poly();
  if (field_depth == 0) std::printf(" There are no fields.\n");
  free_quoly(&prevnum);
  quoly_set(0, &prevnum);
  end_cancelling(env);
}

// The relations of every level are out of force while a new relation is
// read, so that it is read as typed (a relation being replaced would
// otherwise reduce its successor).
class RelationsOutOfForce {
 public:
  RelationsOutOfForce()
      : pseudo_(pseudo_polynames, nullptr),
        above_(modout_above_field, false),
        depth_(field_depth, 0) {
    for (polypt r = polynames; r != nullptr; r = r->next) {
      saved_.push_back({r, r->p, r->alt, r->multdata});
      r->p = r->alt = r->multdata = nullptr;
    }
  }
  ~RelationsOutOfForce() {
    for (const held& h : saved_) {
      h.level->p = h.p;
      h.level->alt = h.alt;
      h.level->multdata = h.multdata;
    }
  }
  RelationsOutOfForce(const RelationsOutOfForce&) = delete;
  RelationsOutOfForce& operator=(const RelationsOutOfForce&) = delete;

 private:
  struct held {
    polypt level;
    poly p, alt, multdata;
  };
  std::vector<held> saved_;
  ScopedValue<polypt> pseudo_;
  ScopedValue<bool> above_;
  ScopedValue<std::int16_t> depth_;
};

// Reads and checks the relation. A relation refused here can neither be put
// in force nor read on past: each refusal abandons the statement.
void get_data(set_mod_out_EnvRec& env) {
  scanner(env.inf, &token, env.flag);
  if (is_tok("-")) {
    env.cancelling = true;
    scanner(env.inf, &token, env.flag);
  }
  {
    RelationsOutOfForce as_typed;
    read_sum(env, &env.num);
  }
  quoly num = env.num;
  if (num == nullptr || num->numb) abandon(relation_number_error, &token);
  if (num->denom != nullptr) abandon(rational_function_not_allowed_error, &token);
  // Down the pads to the relation's own level.
  poly level_list = num->numer;
  env.n = 1;
  while (!level_list->numb && level_list->exp == 0 && level_list->next == nullptr) {
    level_list = level_list->pcoef;
    ++env.n;
  }
  if (level_list->numb || level_list->exp < 0) abandon(negative_exponent_argument_error, &token);
  env.expon = level_list->exp;
  if (!poly_eq_1(level_list->pcoef)) abandon(modulus_not_monic_error, &token);
  if (env.expon < 2 && !env.cancelling) abandon(relation_must_have_degree_least_2_error, &token);
  // The reduction table runs up to t^(2e - 2), an exponent that must fit.
  if (env.expon > most_relation_degree) abandon(exponent_overflow_error, &token);
  if (is_tok(",")) {
    if (env.cancelling) abandon(comma_not_allowed_when_cancelling_error, &token);
    scanner(env.inf, &token, env.flag);
    nodes::OwnedValue f;
    read_sum(env, f.cell());
    env.field = f.q != nullptr && f.q->numb && quoly_eq_1(f.q);
  }
  // Checked before anything changes (a replaced relation is not lost).
  if (env.highest && env.n != 1) abandon(relation_must_top_variable_error, &token);
  env.q = record_at(env.n);
  if (env.q == nullptr) abandon(negative_exponent_argument_error, &token);
  if (env.cancelling) {
    if (env.expon != 1 || level_list->next != nullptr)
      abandon(cancel_relation_bare_variable_only_error, &token);
    cancel_mod_out(env);
  }
  polypt q = env.q;
  if (q->p != nullptr) {
    if (!env.imperative) {
      error(variable_already_modded_out_error, &q->let);
      throw set_mod_out_exit{};
    }
    std::printf(" *** Warning. Was already modding out on %s.\n", q->let.name);
    std::printf("     Will discard former modding polynomial.\n");
    // Discarded once the new relation has been read and checked in full,
    // so that a bad command leaves the old one in force.
    env.replacing = true;
  }
  poly_assign(level_list, &env.relation);
  poly rest = level_list->next;
  env.binomial = rest == nullptr || is_leaf(rest);
  if (!env.binomial && laurent) {
    for (poly t = rest; t != nullptr; t = t->next)
      if (!t->numb && t->exp < 0) abandon(relation_negative_exponent_laurent_mode_error, &token);
  }
  if (env.field) {
    if (q->next != nullptr && !q->next->field) abandon(level_below_field_must_field_error, &token);
    if (field_depth > 0 && field_depth < env.n)
      abandon(field_must_top_level_run_field_error, &q->let);
    field_depth = env.n;
  } else if (laurent) {
    abandon(relation_not_field_laurent_mode_error, &token);
  }
  env.got_auxes = false;
  if (is_tok(":")) {
    if (!env.field) abandon(auxiliary_primes_given_without_field_error, &token);
    get_aux_primes(env);
  } else if (env.field) {
    compute_aux_primes(env.relation, env.n, env);
  }
}

// ---- Describing the relation ------------------------------------------------------------

void show_inline(quoly v, polypt names) {
  std::int32_t length = 0;
  const tokentipe semicolon{";", -1};
  quoly_display(stdout, v, &length, &semicolon, names, {.to_terminal = true});
}

bool positive_constant(poly c) {
  imptr n = c->ncoef;
  if (flotemode) return n->flote > 0;
  if (lintmode) return n->lint != 0 && (!alt_form_display || n->lint <= half_modulus);
  return n->size > 0 && n->head->value > 0;
}

void describe(set_mod_out_EnvRec& env) {
  polypt q = env.q;
  std::printf(" Now modding out polynomial variable %s, using \n", q->let.name);
  std::printf("     ");
  quoly v = nodes::new_ratfun_value(nullptr, nullptr);
  poly rest = env.relation->next;
  if (env.binomial) {
    std::printf("%s^%1d", q->let.name, static_cast<int>(env.expon));
    if (rest != nullptr) {
      if (positive_constant(rest)) std::printf(" + ");
      poly_assign(rest, &v->numer);
      polynum_to_quoly(&v);
      show_inline(v, q);
    }
  } else {
    poly_assign(env.relation, &v->numer);
    if (fieldterms(v) >= many_terms) {
      std::printf(" a poly of %0d terms.\n", static_cast<int>(fieldterms(v)));
    } else {
      show_inline(v, q);
    }
  }
  free_quoly(&v);
  std::printf("\n");
  if (env.field) {
    std::printf("     This creates a field.\n");
    if (!flotemode && env.got_auxes) {
      std::printf("     auxiliary primes (%1d):\n", static_cast<int>(aux_prime1_number));
      if (aux_prime1_number == 0) {
        std::printf(" *** no auxiliary primes.  OK, but polygcd might run slowly.");
      } else {
        std::printf(" ");
        for (std::int32_t k = 1; k <= aux_prime1_number; ++k) {
          std::printf(" %0d", static_cast<int>(auxptr[k]->lint));
          if (k % 10 == 0) std::printf("\n ");
        }
      }
      std::printf("\n");
    }
  } else {
    std::printf(" *** Not a field. Be careful dividing! Some things will not work right.\n");
  }
}

// ---- Reducing the stored values -------------------------------------------------------

void reduce_cell(quolyptr cell, set_mod_out_EnvRec& env) {
  if (*cell == nullptr) return;
  if ((*cell)->journalled) {
    // A value that kept its exact form for a return to rational arithmetic:
    // no such return follows a modding out in modular mode, so it goes on
    // as its residues alone, and the reduction works on those.
    quoly residues = nullptr;
    quoly_assign(*cell, &residues);
    free_quoly(cell);
    *cell = residues;
  }
  mod_out_quoly(cell, &env.r, &env.alter, &env.muldata, env.n, env.expon, env.q);
}

void sparse_update(arrptr ap, set_mod_out_EnvRec& env) {
  sparseptr frame = ap->spar;
  for (std::int32_t r = 1; r <= ap->rows && frame != nullptr; ++r) {
    colm_ptr* link = &frame->indx[(r - 1) % sparse_frame_rows];
    while (*link != nullptr) {
      reduce_cell(&(*link)->val, env);
      if (quoly_iszero((*link)->val)) {
        free_colm(link);
      } else {
        link = &(*link)->next;
      }
    }
    if (r % sparse_frame_rows == 0) frame = frame->next;
  }
}

void reduce_stored_values(set_mod_out_EnvRec& env) {
  InterruptHold hold;
  for (varptr v : sca_store)
    for (; v != nullptr; v = v->next) reduce_cell(&v->val, env);
  for (std::int32_t k = 0; k <= endarr; ++k)
    if (*arp_cell(k) != nullptr) reduce_cell(arp_cell(k), env);
  if (syst != nullptr && syst->spar == nullptr && syst_stash != nullptr)
    for (std::int32_t k = 0; k <= syst->stop; ++k) reduce_cell(&syst_stash->stash[k], env);
  for (arrptr a : arr_store)
    for (; a != nullptr; a = a->next)
      if (a->spar != nullptr) sparse_update(a, env);
  if (syst != nullptr && syst->spar != nullptr) sparse_update(syst, env);
}

// ---- Second lists -------------------------------------------------------------------------

std::int32_t residue(imptr n, std::int32_t p) {
  if (n->size == 0) return ((n->lint % p) + p) % p;
  std::int64_t r = 0;
  bool negative = false;
  for (numptr l = n->head; l != nullptr; l = l->next) {
    std::int64_t v = l->value;
    if (v < 0) {
      negative = true;
      v = -v;
    }
    r = ((r << 28) + v) % p;
  }
  return static_cast<std::int32_t>(negative ? (p - r) % p : r);
}

// g (a polynomial at the level of `levels[0]`) at the roots of levels,
// modulo p.
std::int32_t eval_mod(poly g, const std::vector<std::int32_t>& roots, std::size_t level,
                      std::int32_t p) {
  std::int64_t sum = 0;
  for (poly t = g; t != nullptr; t = t->next) {
    if (t->numb) {
      sum += residue(t->ncoef, p);
    } else if (level < roots.size() && t->exp >= 0) {
      sum += static_cast<std::int64_t>(eval_mod(t->pcoef, roots, level + 1, p)) *
             power_modulo(static_cast<std::uint64_t>((roots[level] % p + p) % p),
                          static_cast<std::uint64_t>(t->exp), static_cast<std::uint32_t>(p));
    }
    sum %= p;
  }
  return static_cast<std::int32_t>(sum);
}

imptr list_entry(polypt level, std::int32_t j) {
  imptr e = level->gcd_data;
  for (std::int32_t k = 1; e != nullptr && k < j; ++k) e = e->imag;
  return e;
}

}  // namespace

std::int32_t fieldterms(quoly n) {
  if (n == nullptr || n->numb) return 1;
  return f_poly_numterms(n->numer) + (n->denom != nullptr ? f_poly_numterms(n->denom) : 0);
}

void make_muldata(poly* muldata, poly* r, std::int32_t expon, polypt q) {
  poly* link = muldata;
  *link = nullptr;
  for (std::int32_t k = 2 * expon - 2; k >= expon; --k) {
    poly tk = nodes::new_term(k, nullptr);
    poly_set(1, &tk->pcoef);
    fold_poly(&tk, r, expon, q);
    poly node = nodes::new_term(k, tk);
    *link = node;
    link = &node->next;
  }
}

void set_aux_num(polypt q) {
  std::int16_t n = 0;
  for (imptr e = q->gcd_data; e != nullptr; e = e->imag) ++n;
  q->aux_num = n;
}

void reconcile_gcd_lists(polypt q) {
  // The primes every level from q down has.
  std::vector<std::int32_t> common;
  for (imptr e = q->gcd_data; e != nullptr; e = e->imag) common.push_back(e->lint);
  for (polypt l = q->next; l != nullptr; l = l->next) {
    std::vector<std::int32_t> here;
    for (imptr e = l->gcd_data; e != nullptr; e = e->imag)
      if (std::find(common.begin(), common.end(), e->lint) != common.end()) here.push_back(e->lint);
    common = here;
  }
  for (polypt l = q; l != nullptr; l = l->next) {
    imptr* link = &l->gcd_data;
    while (*link != nullptr) {
      if (std::find(common.begin(), common.end(), (*link)->lint) == common.end()) {
        imptr gone = *link;
        *link = gone->imag;
        free_aux_entry(gone);
      } else {
        link = &(*link)->imag;
      }
    }
    set_aux_num(l);
  }
}

void make_and_reconcile_gcd_lists(polypt q) {
  polypt below = q->next;
  if (below != nullptr && below->gcd_data == nullptr) {
    free_gcd_data(q);
    return;
  }
  poly f = q->p;
  if (is_leaf(f)) f = q->alt;
  if (f == nullptr) return;
  BigModeGuard big;
  std::vector<polypt> lower;
  for (polypt l = below; l != nullptr; l = l->next) lower.push_back(l);
  for (std::int32_t k = 1; k <= aux_num_2factor; ++k) {
    nodes::OwnedPoly g;
    poly_assign(f, g.cell());
    {
      nodes::OwnedPoly nden, value;
      poly_set(k, value.cell());
      actual_eval_poly(g.cell(), nden.cell(), value.cell(), nullptr, 1, 16384, q);
    }
    poly h = g.p;
    while (h != nullptr && !h->numb && h->exp == 0 && h->next == nullptr) h = h->pcoef;
    if (is_leaf(h)) {
      add_all_to_list(q, k, h->ncoef);
    } else if (h != nullptr && below != nullptr) {
      // Down the pads, h is at the level below q.
      for (std::int32_t j = 1; j <= below->aux_num; ++j) {
        imptr e = list_entry(below, j);
        if (e == nullptr) break;
        const std::int32_t p = e->lint;
        std::vector<std::int32_t> roots;
        for (polypt l : lower) {
          imptr le = list_entry(l, j);
          roots.push_back(le != nullptr ? le->head->value : 0);
        }
        if (eval_mod(h, roots, 0, p) == 0) add_prime_to_list(q, p, k % p);
      }
    }
  }
  set_aux_num(q);
  if (below != nullptr) reconcile_gcd_lists(q);
}

void set_mod_out(textptr inf, nameptr* flag, bool imperative, bool highest) {
  set_mod_out_EnvRec env{inf, flag};
  env.imperative = imperative;
  env.highest = highest;
  FieldFlags flags;
  try {
    if (!imperative) {
      std::printf("Changing polynomial mod out.\n");
      std::printf(" Enter polynomial:\n");
      char old_left[2] = {leftover[0], leftover[1]};
      const bool old_tt = tt_flag;
      do_prompts();
      tt_flag = true;
      env.inf = &Input;
      env.flag = &zilch;
      try {
        get_data(env);
      } catch (...) {
        tt_flag = old_tt;
        leftover[0] = old_left[0];
        leftover[1] = old_left[1];
        throw;
      }
      tt_flag = old_tt;
      leftover[0] = old_left[0];
      leftover[1] = old_left[1];
      env.flag = flag;
    } else {
      get_data(env);
    }
  } catch (const set_mod_out_exit&) {
    return;
  } catch (...) {
    // The state derived from the flags is recomputed once they are back.
    flags.restore();
    flags.keep();
    reset_pseudo_poly();
    throw;
  }
  flags.keep();
  polypt q = env.q;
  if (env.replacing) free_relations(q);
  if (shows(env)) describe(env);

  pseudo_polynames = polynames;
  poly rest = env.relation->next;
  if (!env.binomial) {
    poly_assign(env.relation, &env.r);
  } else {
    if (rest == nullptr) {
      poly_set(0, &env.r);
    } else {
      node_assign(rest, &env.r);
      poly_inplace(env.r);
    }
    env.alter = nodes::new_term(env.expon, nullptr);
    poly_set(1, &env.alter->pcoef);
    if (rest != nullptr) node_assign(rest, &env.alter->next);
  }
  q->field = env.field;
  q->expon = env.expon;
  make_muldata(&env.muldata, &env.r, env.expon, q);

  if (lintmode) {
    env.haveaux2 = true;
    q->aux_num = 0;
  }
  if (env.aux2 != nullptr) {
    free_gcd_data(q);
    q->gcd_data = env.aux2;
    env.aux2 = nullptr;
    set_aux_num(q);
  } else if (!env.haveaux2) {
    free_gcd_data(q);
  }
  if (env.field) {
    q->p = env.r;
    q->alt = env.alter;
    if (!env.haveaux2) {
      if (shows(env)) std::printf(" Computing secondary auxiliary primes for poly mod out...\n");
      try {
        make_and_reconcile_gcd_lists(q);
      } catch (...) {
        q->p = nullptr;
        q->alt = nullptr;
        throw;
      }
    }
    q->p = nullptr;
    q->alt = nullptr;
    if (!lintmode && shows(env))
      std::printf(" Number of secondary auxiliary primes for gcd: %d\n",
                  static_cast<int>(q->aux_num));
    second_aux_num = q->aux_num;
    no_aux_primes2 = second_aux_num < 5;
    if (no_aux_primes2 && !lintmode && shows(env)) {
      std::printf(" *** Warning:  This is a small number.  Try restarting Tavrin,\n");
      std::printf("         then use &A to increase the search factor.  Current\n");
      std::printf("         search factor is %1d.\n", static_cast<int>(aux_num_2factor));
    }
  }
  if (shows(env)) {
    std::printf(" Converting variables...\n");
    std::fflush(stdout);
  }
  free_quoly(&prevnum);
  quoly_set(0, &prevnum);
  if (!highest) reduce_stored_values(env);
  q->p = env.r;
  if (env.binomial && rest == nullptr) q->polycut = 60;
  q->multdata = env.muldata;
  q->alt = env.alter;
  env.r = env.muldata = env.alter = nullptr;
  pseudo_polynames = polynames;
  reset_pseudo_poly();
  if (shows(env) && field_depth > 0 && number_polys - field_depth > 3)
    std::printf(
        " *** Warning. Many poly vars are in the field. Performance may slow, especially over "
        "Z.\n");
}

void mod_out_command(textptr inf, quolyptr n, nameptr* flag) {
  refuse_ring_change();
  if (lintmode) changed_in_modmode = true;
  set_mod_out(inf, flag, false, false);
  free_quoly(n);
  quoly_set(0, n);
  (*n)->next = nullptr;
}

void mod_out_setting(textptr inf, quolyptr n, nameptr* flag) {
  refuse_ring_change();
  if (lintmode) changed_in_modmode = true;
  set_mod_out(inf, flag, true, false);
  if (!is_tok(")")) error(close_paren_expected_after_setting_error, &token);
  // The value 0 made in the current ring, freed in it by the caller.
  free_quoly(n);
  quoly_set(0, n);
  (*n)->next = nullptr;
}

}  // namespace tavrin
