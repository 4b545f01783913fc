#include "frontend/ring_change.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <utility>
#include <vector>

#include "core/error_codes.h"
#include "core/errors.h"
#include "core/globals.h"
#include "core/interrupts.h"
#include "core/mode_guard.h"
#include "core/thresholds.h"
#include "numbers/bigint.h"
#include "numbers/bigint_multiply.h"
#include "numbers/freelists.h"
#include "numbers/mod_journal.h"
#include "numbers/node_handles.h"
#include "numbers/primes.h"
#include "poly/poly_images.h"
#include "poly/poly_measures.h"
#include "poly/poly_repr.h"
#include "poly/poly_upcalls.h"
#include "gcd/gcd_stash.h"
#include "quoly/quoly_change_mod.h"
#include "quoly/quoly_great_abs.h"
#include "quoly/quoly_upcalls.h"
#include "toplevel/charsets.h"
#include "toplevel/dispatch.h"
#include "toplevel/language_services.h"
#include "toplevel/state.h"
#include "toplevel/tokens.h"
#include "lang/expressions.h"
#include "frontend/command_loop.h"
#include "frontend/commands.h"
#include "frontend/settings.h"
#include "frontend/stored_values.h"

namespace tavrin {

namespace {

// Set while a characteristic-2 field has put the signed display ('H') off:
// leaving the field puts it back, since a later return from a prime
// modulus lifts residues by it, and kept off it would lift -1 to p - 1.
bool signed_display_put_off = false;

}  // namespace

void signed_display_chosen() { signed_display_put_off = false; }

void (*ring_change_probe)() = nullptr;

namespace {

constexpr std::int32_t max_modulus = 2147483644;

using tokens::is_tok;

// ---- The values of one change ---------------------------------------------------------
//
// Entering modular arithmetic, the values converted for good are computed
// into copies and stored only when the whole change has succeeded; the
// journalled ones are converted in place into a journal of this change
// alone. An error frees the copies and replays that journal.

struct pending_cell {
  quoly* cell;
  quoly value;
};

struct pending_entry {
  colm_ptr entry;
  quoly value;
};

struct conversion {
  std::vector<pending_cell> cells;
  std::vector<pending_entry> entries;
  std::vector<sparseptr> sparse_done;  // first frames whose modmode becomes modularmode
  std::int32_t zero_denominators = 0;
};

conversion* current = nullptr;

void probe() {
  if (ring_change_probe != nullptr) ring_change_probe();
}

// Frees a value whose numbers may still carry limbs beside their residues
// (a conversion stopped half-way): every limb goes, in any ring.
void free_all_limbs(quoly* q) {
  BigModeGuard big;
  free_quoly(q);
}

bool is_zero_poly(poly p) {
  return p == nullptr || (p->numb && p->next == nullptr && p->ncoef->lint == 0);
}

// A value becoming nil or zero.
bool vanished(quoly q) { return q == nullptr || quoly_iszero(q); }

// The denominator of *q vanished: the value is freed with the warning.
bool check_0_quoly(quolyptr q) {
  if (!is_zero_poly((*q)->denom)) return false;
  free_all_limbs(q);
  *q = nullptr;
  std::int32_t& count = current != nullptr ? current->zero_denominators : warn_cnt;
  if (++count <= ring_change_warning_limit) {
    std::printf("Warning. A zero quoly denominator was found. That quoly was set to 0.\n");
    std::fflush(stdout);
  }
  return true;
}

// A copy of a value of the rational ring, limbs included.
void rational_copy(quoly v, quoly* copy) {
  BigModeGuard big;
  quoly_assign(v, copy);
}

// A copy of v converted for good; a failed conversion frees it, limbs and
// all.
quoly converted_copy(quoly v) {
  quoly copy = nullptr;
  rational_copy(v, &copy);
  try {
    quoly_change_num(&copy);
    probe();
  } catch (...) {
    free_all_limbs(&copy);
    throw;
  }
  return copy;
}

// The copy of *cell converted for good, queued for the commit.
void queue_converted(quoly* cell) { current->cells.push_back({cell, converted_copy(*cell)}); }

// *cell converted with journal entries (into masterfix).
void journal_converted(quoly* cell) {
  if (*cell != nullptr) quoly_change_to_mod(cell);
  probe();
}

// *cell lifted from its residues in place: its residues stay, so a value
// left lifted by an error is still the same value of the modular ring.
void lift(quoly* cell) {
  if (*cell == nullptr) {
    quoly_set(0, cell);
    return;
  }
  quoly_change_from_mod(*cell);
}

bool has_residue_only(poly p) {
  for (; p != nullptr; p = p->next)
    if (p->numb ? p->ncoef->size == 0 : has_residue_only(p->pcoef)) return true;
  return false;
}

// A value that a name list converted for good but whose return was
// journalled ("**", "*x") still holds residues only: it is lifted, so that
// no value of the rational ring is left without its integer.
void lift_residue_only(quoly* cell) {
  quoly v = *cell;
  if (v == nullptr) return;
  const bool residue_only =
      v->numb ? v->ncoef->size == 0 : has_residue_only(v->numer) || has_residue_only(v->denom);
  if (residue_only) quoly_change_from_mod(v);
}

void journal_sparse(arrptr ap);

// A value whose journal records have all been replayed: no longer marked.
void unmark_journalled(quoly* cell) {
  if (*cell != nullptr) (*cell)->journalled = false;
}

// A value that a change into modular arithmetic with a name list left out
// is converted with journal entries: it reads as its residues in the
// modular ring (a value of the rational ring would read as garbage there)
// and every return to rational arithmetic, which replays the journal, gives
// it back exactly, as if it had never been converted.
void journal_left_out(quoly* cell) {
  quoly v = *cell;
  if (v == nullptr || v->journalled) return;
  const bool residue_only =
      v->numb ? v->ncoef->size == 0 : has_residue_only(v->numer) || has_residue_only(v->denom);
  if (!residue_only) quoly_change_to_mod(cell);
}

void for_each_variable(void (*f)(quoly*)) {
  for (varptr v : sca_store)
    for (; v != nullptr; v = v->next) f(&v->val);
}

void for_each_system_cell(void (*f)(quoly*)) {
  if (syst == nullptr || syst->spar != nullptr || syst_stash == nullptr) return;
  for (std::int32_t k = 0; k <= syst->stop; ++k)
    if (syst_stash->stash[k] != nullptr) f(&syst_stash->stash[k]);
}

// Every defined cell of the dense user arrays (0 .. endarr).
void for_each_dense_cell(void (*f)(quoly*)) {
  for (std::int32_t k = 0; k <= endarr; ++k)
    if (*arp_cell(k) != nullptr) f(arp_cell(k));
}

colm_ptr* row_head(sparseptr first, std::int32_t r) {
  sparseptr frame = first;
  for (std::int32_t k = (r - 1) / sparse_frame_rows; k > 0 && frame != nullptr; --k)
    frame = frame->next;
  if (frame == nullptr) return nullptr;
  return &frame->indx[(r - 1) % sparse_frame_rows];
}

// Every entry of the sparse array ap, rows 1 .. rows in order.
template <class F>
void for_each_entry(arrptr ap, F f) {
  for (std::int32_t r = 1; r <= ap->rows; ++r) {
    colm_ptr* head = row_head(ap->spar, r);
    if (head == nullptr) return;
    for (colm_ptr e = *head; e != nullptr; e = e->next) f(e);
  }
}

// Removes the entries of ap whose value is nil or zero.
void drop_vanished(arrptr ap) {
  for (std::int32_t r = 1; r <= ap->rows; ++r) {
    colm_ptr* link = row_head(ap->spar, r);
    if (link == nullptr) return;
    while (*link != nullptr) {
      if (vanished((*link)->val)) {
        free_colm(link);
      } else {
        link = &(*link)->next;
      }
    }
  }
}

bool already_queued(sparseptr first) {
  for (sparseptr s : current->sparse_done)
    if (s == first) return true;
  return false;
}

// ---- The journal of unlinked sparse entries ------------------------------------------

// The live array named `name` with the creation stamp `time` (an alias of a
// parameter never matches: its stamp is negative), nil when it is gone.
arrptr array_by_stamp(const tokentipe& name, std::int32_t time) {
  for (arrptr a = arr_store[hash(name.name, arr_buckets)]; a != nullptr; a = a->next)
    if (a->time == time && std::strcmp(a->name.name, name.name) == 0) return a;
  return nullptr;
}

// The entry and its value are freed (a journalled value is given back its
// exact form first, by free_quoly).
void drop_entry(colm_ptr e) {
  free_quoly(&e->val);
  free_colm_list(e, e);
}

// Links entry e back into row `row` of ap at its column; an entry that the
// row has meanwhile gained at that column stays, and e goes.
void relink_entry(arrptr ap, std::int32_t row, colm_ptr e) {
  colm_ptr* link = row <= ap->rows ? row_head(ap->spar, row) : nullptr;
  if (link == nullptr) {
    drop_entry(e);
    return;
  }
  while (*link != nullptr && (*link)->coord < e->coord) link = &(*link)->next;
  if (*link != nullptr && (*link)->coord == e->coord) {
    drop_entry(e);
    return;
  }
  e->next = *link;
  *link = e;
}

// Whether this change has nothing (more) to do for the sparse store
// `first`: it is in the ring already, or queued or journalled by an
// earlier entry of this change (arrays bound to one another share a store).
bool sparse_settled(sparseptr first) {
  return first->modmode == modularmode || already_queued(first);
}

// The entries of a sparse array converted for good (queued).
void queue_sparse(arrptr ap) {
  if (ap->spar == nullptr || sparse_settled(ap->spar)) return;
  for_each_entry(ap, [](colm_ptr e) { current->entries.push_back({e, converted_copy(e->val)}); });
  current->sparse_done.push_back(ap->spar);
}

// The entries of a sparse array that hold residues only (made while the
// ring was modular), lifted as lift_residue_only lifts a cell.
void lift_sparse_residue_only(arrptr ap) {
  if (ap->spar == nullptr) return;
  for_each_entry(ap, [](colm_ptr e) { lift_residue_only(&e->val); });
}

void lift_sparse(arrptr ap) {
  if (ap->spar == nullptr) return;
  if (ap->spar->modmode == modularmode) {  // left out of the change: entries made since
    lift_sparse_residue_only(ap);
    return;
  }
  // A journalled entry (starred, or left out of a listed change) has its
  // exact value back from the journal: lifting its residue would lose it.
  for_each_entry(ap, [](colm_ptr e) {
    if (e->val == nullptr || !e->val->journalled) lift(&e->val);
  });
  ap->spar->modmode = modularmode;
}

void for_each_user_sparse_array(void (*f)(arrptr)) {
  for (arrptr a : arr_store)
    for (; a != nullptr; a = a->next)
      if (a->spar != nullptr) f(a);
}

void for_each_sparse_array(void (*f)(arrptr)) {
  for_each_user_sparse_array(f);
  if (syst != nullptr && syst->spar != nullptr) f(syst);
}

// After a return to the rational ring by a name list: the entries of a
// sparse array that hold residues only (converted for good and not named on
// the return, or made while the ring was modular, in a named array too) are
// lifted, the others have had their exact values replayed from the journal;
// either way the array is now of the rational ring.
void settle_sparse_after_list(arrptr ap) {
  for_each_entry(ap, [](colm_ptr e) { lift_residue_only(&e->val); });
  ap->spar->modmode = modularmode;
}

// Stores the converted values: nil becomes 0; sparse entries that vanished
// leave their rows.
void commit(conversion& c) {
  for (pending_cell& p : c.cells) {
    {
      BigModeGuard made_rational;  // freed in the ring it was made in
      free_quoly(p.cell);
    }
    *p.cell = p.value;
    if (*p.cell == nullptr) quoly_set(0, p.cell);
    p.value = nullptr;
  }
  for (pending_entry& p : c.entries) {
    {
      BigModeGuard made_rational;
      free_quoly(&p.entry->val);
    }
    p.entry->val = p.value;
    p.value = nullptr;
  }
  if (!c.entries.empty() || !c.sparse_done.empty()) {
    for (arrptr a : arr_store)
      for (; a != nullptr; a = a->next)
        if (a->spar != nullptr) {
          for (sparseptr s : c.sparse_done)
            if (s == a->spar) drop_vanished(a);
        }
    if (syst != nullptr && syst->spar != nullptr) drop_vanished(syst);
  }
  for (sparseptr s : c.sparse_done) s->modmode = modularmode;
  c.entries.clear();
  c.cells.clear();
}

void discard(conversion& c) {
  for (pending_cell& p : c.cells) free_all_limbs(&p.value);
  for (pending_entry& p : c.entries) free_all_limbs(&p.value);
  c.cells.clear();
  c.entries.clear();
}

// Makes `current` the conversion of one change for its lifetime.
class ConversionScope {
 public:
  ConversionScope() : outer_(current) { current = &conv_; }
  ~ConversionScope() {
    discard(conv_);
    current = outer_;
  }
  ConversionScope(const ConversionScope&) = delete;
  ConversionScope& operator=(const ConversionScope&) = delete;
  conversion& conv() { return conv_; }

 private:
  conversion conv_;
  conversion* outer_;
};

// Links the list `tail` behind the last record of the list *head.
template <class Record>
void append_chain(Record** head, Record* tail) {
  while (*head != nullptr) head = &(*head)->next;
  *head = tail;
}

// The journal of one change: masterfix starts empty; on an error the new
// records are replayed; kept() puts the older journal behind the new one.
class JournalScope {
 public:
  JournalScope() : outer_(masterfix), sparse_outer_(sparse_fix) {
    masterfix = nullptr;
    sparse_fix = nullptr;
  }
  ~JournalScope() {
    if (kept_) return;
    restore_from_mod(&masterfix);
    restore_sparsefix();
    masterfix = outer_;
    sparse_fix = sparse_outer_;
  }
  JournalScope(const JournalScope&) = delete;
  JournalScope& operator=(const JournalScope&) = delete;
  void keep() {
    kept_ = true;
    append_chain(&masterfix, outer_);
    append_chain(&sparse_fix, sparse_outer_);
  }

 private:
  fixptr outer_;
  sparse_fixer sparse_outer_;
  bool kept_ = false;
};

void summarise_warnings() {
  if (current != nullptr && current->zero_denominators > ring_change_warning_limit)
    std::printf("... There were %d more such cases.\n",
                static_cast<int>(current->zero_denominators - ring_change_warning_limit));
}

// calc_disp without its change of the current token.
void set_display_size(std::int32_t size) {
  const tokentipe current = token;
  calc_disp(false, size);
  token = current;
}

// The statement's value sysnum is the command's own cell at the top level;
// elsewhere a nil sysnum stays nil.
bool had_sysnum = false;

void free_results(quolyptr num) {
  had_sysnum = sysnum != nullptr;
  free_quoly(num);
  free_quoly(&sysnum);
  free_quoly(&prevnum);
}

void zero_results(quolyptr num) {
  quoly_set(0, &prevnum);
  quoly_set(0, num);
  if (num != &sysnum && had_sysnum) quoly_set(0, &sysnum);
}

void closing_steps(quolyptr num) {
  {
    BigModeGuard big;
    special_set(1, &rand_denom_n);
  }
  rand_denom_n.lint = 1;
  rand_denom_n.flote = 1;
  free_quoly(&prevnum);
  quoly_set(0, &prevnum);
  free_quoly(num);
  quoly_set(0, num);
}

// A sum read from inf as a machine integer (magnitudes of 2^31 and more
// read as -2147483647), the value left in *num.
std::int32_t read_modulus(textptr inf, nameptr* flag, quolyptr num, bool asked) {
  const tokentipe command = token;
  free_quoly(num);
  if (asked) scanner(inf, &token, flag);
  old_expre(inf, num, flag);
  if (*num == nullptr || !(*num)->numb) {
    if (asked) error(modulus_not_number_error, &command);
    return 0;
  }
  return big_quoly_convert_to_int(*num);
}

std::int32_t ask_modulus(textptr inf, nameptr* flag, quolyptr num) {
  ModularBracket suspended;
  if (!tt_flag) return read_modulus(inf, flag, num, false);
  for (;;) {
    std::printf(" Enter modulus:\n");
    std::fflush(stdout);
    do_prompts();
    const std::int32_t m = read_modulus(&Input, &zilch, num, true);
    if (m >= 2 && m <= max_modulus) return m;
    std::printf(" *** Improper modulus %2d. upper limit is 2147483646. Reenter.\n",
                static_cast<int>(m));
  }
}

void convert_stored_values(change_prec_EnvRec* env, nameptr np) {
  if (np != nullptr) {
    change_local(np, env);
    // A return by a list: the values left out of it, journalled on the way
    // in, get their exact old values back as on a plain return.
    if (env->wasmodular) {
      restore_from_mod(&masterfix);
      restore_sparsefix();
    }
    return;
  }
  if (env->wasmodular) {
    // The journalled values (starred, or left out of a listed change) get
    // their exact old values back before the rest is lifted: lifting one
    // first would keep its residue for good.
    restore_from_mod(&masterfix);
    restore_sparsefix();
    for_each_variable(lift_residue_only);
    for_each_dense_cell(lift_residue_only);
    for_each_system_cell(lift);
    for_each_sparse_array(lift_sparse);
    return;
  }
  for_each_variable(queue_converted);
  for_each_dense_cell(queue_converted);
  for_each_system_cell(queue_converted);
  for_each_sparse_array(queue_sparse);
}

void enter_modular(textptr inf, quolyptr num, nameptr* flag, std::int32_t val2, nameptr np,
                   bool printstuff) {
  if (lintmode) {
    error(word_arithmetic_error, &token);
    closing_steps(num);
    return;
  }
  if (printstuff) {
    std::printf(" Changing to modular arithmetic.\n");
    std::fflush(stdout);
  }
  std::int32_t m = val2 == -1 ? ask_modulus(inf, flag, num) : val2;
  if (m < 2 || m > max_modulus) {
    error(modulus_must_lie_between_2_2147483644_error, &token);
    m = 2;
  }
  const bool prime = is_prime(m);
  change_prec_EnvRec env{false, inf};
  ConversionScope scope;
  {
    InterruptHold hold;
    ModulusGuard ring(m, prime);  // the old ring comes back on an error
    if (lookupgcd > 0) free_gcd_stash();
    modularmode = true;
    lintmode = true;
    const std::int32_t old_limit = limit_char_arrays;
    limit_char_arrays = std::min(limit_char_arrays, m);
    JournalScope journal;
    try {
      change_polydata(&env);
      convert_stored_values(&env, np);
    } catch (...) {
      limit_char_arrays = old_limit;
      throw;
    }
    journal.keep();
    {
      BigModeGuard made_rational;  // freed in the ring they were made in
      free_results(num);
    }
    commit(scope.conv());
    if (np != nullptr) {
      for_each_variable(journal_left_out);
      for_each_dense_cell(journal_left_out);
      // The change has committed: these stores are marked modular here.
      for_each_user_sparse_array([](arrptr a) {
        if (sparse_settled(a->spar)) return;
        journal_sparse(a);
        a->spar->modmode = modularmode;
      });
    }
  }
  set_word_modulus(m, prime);
  modularmode = true;
  lintmode = true;
  zero_results(num);
  set_display_size(16);
  reset_cutoffs(40);
  poly_cutoff = 40;
  div_poly_cutoff = 25;
  summarise_warnings();
  was_in_rat = false;
  if (printstuff) {
    std::printf(" Now in modular mode. Modulus is %1d,", static_cast<int>(finf ? 2 : modulus));
    std::printf("%s", mod_is_prime ? " a prime" : " not a prime");
    if (f256) {
      std::printf("; working over the prime field of 2^8 = 256 elements.\n");
    } else if (f2t16) {
      std::printf("; working over the prime field of 2^16 = 65536 elements.\n");
    } else {
      std::printf(".\n");
    }
    std::fflush(stdout);
  }
  if (finf && alt_form_display) {  // residues 0 and 1 have no signed form
    alt_form_display = false;
    signed_display_put_off = true;
  }
  closing_steps(num);
  remember_user_ring();
}

void return_to_rational(textptr inf, quolyptr num, nameptr np, bool printstuff) {
  if (printstuff) {
    std::printf(" Changing to rational arithmetic.\n");
    std::fflush(stdout);
  }
  if (changed_in_modmode) {
    error(cannot_return_rational_arithmetic_after_modding_error, &token);
    return;
  }
  change_prec_EnvRec env{true, inf};
  ConversionScope scope;
  {
    InterruptHold hold;
    ArithModeGuard modes;  // a lifted value is still a value of the modular ring
    {
      BigModeGuard limbs_too;  // a value may carry limbs beside its residue
      free_results(num);
    }
    if (lookupgcd > 0) free_gcd_stash();
    modularmode = false;
    lintmode = false;
    convert_stored_values(&env, np);
  }
  modularmode = false;
  lintmode = false;
  finf = false;
  f256 = false;
  f2t16 = false;
  if (signed_display_put_off) {  // the field's own change of the display ends with it
    alt_form_display = true;
    signed_display_put_off = false;
  }
  reset_cutoffs(40);
  poly_cutoff = 40;
  div_poly_cutoff = 6;
  zero_results(num);
  change_polydata(&env);
  if (np != nullptr) {
    // A list that ended early (a bad entry) skipped the system array too.
    for_each_variable(lift_residue_only);
    for_each_dense_cell(lift_residue_only);
    for_each_system_cell(lift_residue_only);
    for_each_sparse_array(settle_sparse_after_list);
  }
  // Every journal has been replayed: a value that owned records is a plain
  // value of the rational ring again. Left marked, it would be taken by the
  // next change that leaves it out of its list for one journalled into that
  // ring already, and would read there as the residues of the ring it had
  // been journalled into before.
  if (masterfix == nullptr) {
    for_each_variable(unmark_journalled);
    for_each_dense_cell(unmark_journalled);
    for_each_system_cell(unmark_journalled);
    for_each_sparse_array(
        [](arrptr a) { for_each_entry(a, [](colm_ptr e) { unmark_journalled(&e->val); }); });
  }
  clear_word_modulus();
  limit_char_arrays = denom_count;
  was_in_rat = true;
  set_display_size(4);
  closing_steps(num);
  remember_user_ring();
}

// ---- The name list -------------------------------------------------------------------

struct change_local_EnvRec {
  nameptr flag;
  bool firstcall;
  tokentipe oldtok;
  change_prec_EnvRec* outer;
};

struct list_ended {};

[[noreturn]] void prec_error(std::int32_t code, const tokentipe* tok, change_local_EnvRec*) {
  std::printf(" *** Inappropriate symbol: %s\n", tok->name);
  out_err_mess(code);
  std::printf(" Change of ground ring will continue. Some data may not be changed.\n");
  std::fflush(stdout);
  throw list_ended{};
}

// One value named in the list: journalled or for good, either way.
void convert_named(quoly* cell, bool journalled, change_local_EnvRec* env) {
  if (env->outer->wasmodular) {
    if (journalled) {
      restore_from_mod(&masterfix);
    } else {
      lift(cell);
    }
  } else if (journalled) {
    journal_converted(cell);
  } else {
    queue_converted(cell);
  }
}

void journal_variable(quoly* cell) { journal_converted(cell); }

// The entries of a sparse array converted with journal entries; an entry
// that becomes zero leaves its row with a record that links it back. The
// store is marked modular when the change commits.
void journal_sparse(arrptr ap) {
  if (sparse_settled(ap->spar)) return;
  for (std::int32_t r = 1; r <= ap->rows; ++r) {
    colm_ptr* link = row_head(ap->spar, r);
    if (link == nullptr) break;
    while (*link != nullptr) {
      colm_ptr e = *link;
      quoly_change_to_mod(&e->val);
      probe();
      if (vanished(e->val)) {
        *link = e->next;
        e->next = nullptr;
        sparse_fix = new sparse_fixdata{ap->name, ap->time, r, e, sparse_fix};
      } else {
        link = &e->next;
      }
    }
  }
  current->sparse_done.push_back(ap->spar);
}

// "**": everything journalled (entering) or the journals replayed.
void convert_all(change_local_EnvRec* env) {
  if (env->outer->wasmodular) {
    restore_from_mod(&masterfix);
    restore_sparsefix();
    for_each_system_cell(lift);
    if (syst != nullptr && syst->spar != nullptr) lift_sparse(syst);
    return;
  }
  for_each_variable(journal_variable);
  for_each_dense_cell(journal_variable);
  for_each_user_sparse_array(journal_sparse);
  for_each_system_cell(queue_converted);
  if (syst != nullptr && syst->spar != nullptr) queue_sparse(syst);
}

varptr find_variable(const tokentipe* name) {
  for (varptr v = sca_store[hash(name->name, sca_buckets)]; v != nullptr; v = v->next)
    if (std::strcmp(v->let.name, name->name) == 0) return v;
  return nullptr;
}

// The named array ap: a sparse one entry by entry, a dense one cell by cell
// as scalar values are (a journalled return replays the whole journal once);
// an undefined dense cell becomes 0.
void convert_array(arrptr ap, bool journalled, change_local_EnvRec* env) {
  const bool returning = env->outer->wasmodular;
  if (ap->spar != nullptr) {
    if (ap->spar->modmode == modularmode) return;
    if (journalled && returning) {
      restore_from_mod(&masterfix);
      restore_sparsefix();
      ap->spar->modmode = modularmode;
    } else if (journalled) {
      journal_sparse(ap);
    } else if (returning) {
      lift_sparse(ap);
    } else {
      queue_sparse(ap);
    }
    return;
  }
  if (journalled && returning) {
    restore_from_mod(&masterfix);
  } else {
    for (std::int32_t k = ap->start; k <= ap->stop; ++k)
      if (*arp_cell(k) != nullptr) convert_named(arp_cell(k), journalled, env);
  }
  for (std::int32_t k = ap->start; k <= ap->stop; ++k)
    if (*arp_cell(k) == nullptr) quoly_set(0, arp_cell(k));
}

void do_one_name(change_local_EnvRec* env, bool local) {
  (void)local;
  textptr inf = env->outer->inf;
  bool journalled = false;
  if (is_tok("*")) {
    journalled = true;
    scanner(inf, &token, &env->flag);
    if (is_tok("*")) {
      if (!env->firstcall) prec_error(double_star_must_come_first_error, &token, env);
      convert_all(env);
      scanner(inf, &token, &env->flag);
      throw list_ended{};
    }
  }
  if (is_tok("[")) {
    scanner(inf, &token, &env->flag);
    arrptr ap = nullptr;
    if (is_tok("%")) {
      scanner(inf, &token, &env->flag);
      if (!is_tok("[")) error(open_bracket_expected_after_percent_error, &token);
      std::int32_t k = 0;
      {
        ModularBracket suspended;
        nodes::OwnedValue v;  // freed before the bracket ends
        scanner(inf, &token, &env->flag);
        old_expre(inf, v.cell(), &env->flag);
        if (!is_tok("]")) error(close_bracket_expected_after_index_error, &token);
        if (v.q == nullptr || !v.q->numb) error(index_not_number_error, &token);
        k = v.q != nullptr && v.q->numb ? big_quoly_convert_to_int(v.q) : 0;
      }
      const std::int32_t slot = k - addresser;
      if (slot < 0 || slot >= arrstash_slots) error(index_outside_0_399999_error, &token);
      ap = arrstash != nullptr && slot >= 0 && slot < arrstash_slots ? arrstash[slot] : nullptr;
      if (ap == nullptr) prec_error(empty_slot_store_arrays_error, &token, env);
    } else {
      env->oldtok = token;
      fastestlookup(&env->oldtok, &ap);
      if (ap == nullptr) prec_error(no_such_array_error, &env->oldtok, env);
    }
    scanner(inf, &token, &env->flag);
    if (!is_tok("]")) prec_error(close_bracket_expected_24_error, &token, env);
    convert_array(ap, journalled, env);
  } else {
    varptr v = find_variable(&token);
    if (v == nullptr) prec_error(undefined_variable_error, &token, env);
    convert_named(&v->val, journalled, env);
  }
  scanner(inf, &token, &env->flag);
}

}  // namespace

void quoly_change_num(quolyptr q) {
  if (*q == nullptr) return;
  quoly v = *q;
  if (v->numb) {
    change_num(v->ncoef, true, true);
    return;
  }
  v->rat = false;
  poly_change_num(&v->numer);
  if (v->numer == nullptr) {
    free_all_limbs(q);  // the denominator still has its limbs
    *q = nullptr;
    return;
  }
  if (v->denom != nullptr) {
    poly_change_num(&v->denom);
    if (check_0_quoly(q)) return;
    check_quoly(q, laurent);
  } else if (v->numer->numb && v->numer->next == nullptr) {
    polynum_to_quoly(q);
  }
}

void change_polydata(change_prec_EnvRec* env) {
  if (!env->wasmodular) {
    for (polypt r = polynames; r != nullptr; r = r->next) {
      const fixptr before = masterfix;  // the records become the variable's
      poly_change_to_mod(&r->p, false);
      poly_change_to_mod(&r->alt, false);
      if (r->alt != nullptr && r->p == nullptr) {
        // The relation's image vanished: a fresh 0 stands for it, freed
        // when the journal gives the relation back.
        push_fix(&r->p, nullptr, five);
        poly_set(0, &r->p);
      }
      for (poly t = r->multdata; t != nullptr; t = t->next) poly_change_to_mod(&t->pcoef, false);
      claim_journal_records(r, before);
    }
  }
  if (need_to_set_char_poly) return;
  if (env->wasmodular) {
    if (masterfix != nullptr) restore_from_mod(&masterfix);
    return;
  }
  if (!mod_is_prime || chpoly_block) return;
  for (std::int32_t k = 1; k <= denom_count; ++k)
    if (denom[k] != nullptr) quoly_change_to_mod(&denom[k]);
  const std::int32_t n = std::min<std::int32_t>(pol_rows, limit_char_arrays);
  for (std::int32_t c = 0; c < n; ++c)
    for (std::int32_t r = c; r < n; ++r)
      if (pol[r][c] != nullptr) quoly_change_to_mod(&pol[r][c]);
}

void change_local(nameptr np, change_prec_EnvRec* outer) {
  change_local_EnvRec env{np, true, token, outer};
  textptr inf = outer->inf;
  try {
    scanner(inf, &token, &env.flag);
    if (!is_tok(")")) {
      do_one_name(&env, true);
      env.firstcall = false;
      while (!is_tok(")")) {
        if (!is_tok(",")) prec_error(comma_expected_between_names_error, &token, &env);
        scanner(inf, &token, &env.flag);
        do_one_name(&env, true);
      }
    }
  } catch (const list_ended&) {
    // The rest of the list is skipped, but not the system array.
  }
  // The system array goes with the list, sparse frames included, also after
  // a bad entry: left behind it would hold values of the old ring, later
  // read and freed as values of the new.
  const bool sparse_syst = syst != nullptr && syst->spar != nullptr;
  if (outer->wasmodular) {
    for_each_system_cell(lift);
    if (sparse_syst) lift_sparse(syst);
  } else {
    for_each_system_cell(queue_converted);
    if (sparse_syst) queue_sparse(syst);
  }
}

sparse_fixer sparse_fix = nullptr;

void restore_sparsefix() {
  while (sparse_fix != nullptr) {
    sparse_fixer f = sparse_fix;
    sparse_fix = f->next;
    const arrptr ap = array_by_stamp(f->array, f->time);
    if (ap != nullptr && ap->spar != nullptr) {
      relink_entry(ap, f->row, f->node);
    } else {
      drop_entry(f->node);
    }
    delete f;
  }
}

void change_prec(textptr inf, quolyptr num, nameptr* flag, std::int32_t val2, nameptr np,
                 bool printstuff) {
  if (modularmode) {
    return_to_rational(inf, num, np, printstuff);
  } else {
    enter_modular(inf, num, flag, val2, np, printstuff);
  }
}

namespace {

// Switches to the modulus m (or, with m = -1, to rational arithmetic) as
// the valued setting does.
void finish_prec(textptr inf, quolyptr n, nameptr* flag, std::int32_t m, bool infinite,
                 nameptr np) {
  if (lintmode && !modularmode) abandon(word_arithmetic_error, &token);
  refuse_as_operand();
  if (levelcount > 1) abandon(ground_ring_can_change_only_top_error, &token);
  const bool printstuff = *flag == nullptr || np == nullptr;
  if (infinite) {
    if (modularmode) {
      change_prec(inf, n, flag, -1, np, printstuff);
    } else {
      std::printf(" Already in rational mode.\n");
    }
    return;
  }
  const bool pr = printstuff && (verbose || *flag == nullptr);
  if (m < 2 || m > max_modulus) abandon(modulus_must_lie_between_2_2147483644_error, &token);
  if (lintmode) {
    if (modularmode && m == modulus && pr) {
      std::printf(" Already in that arithmetic mode\n");
      return;
    }
    change_prec(inf, n, flag, -1, np, pr);
  }
  change_prec(inf, n, flag, m, np, pr);
}

// A ";" read from the stream at the end of its line ends the statement.
bool line_ended(textptr inf, nameptr* flag) {
  if (!is_tok(";") || *flag != nullptr) return false;
  const int c = (*inf)->peek();
  return c == '\n' || c == '\r' || c == EOF;
}

// The tokens after ":" up to and including ")", as stored text (a head
// node first). The current token is ")" afterwards.
nameptr capture_list(textptr inf, nameptr* flag) {
  nodes::OwnedNames head(nodes::new_name(empty));
  nameptr last = head.get();
  do {
    scanner(inf, &token, flag);
    last->next = nodes::new_name(token);
    last = last->next;
  } while (!is_tok(")") && !is_tok(end_marker_name) && !line_ended(inf, flag));
  return head.release();
}

}  // namespace

void modulus_setting(textptr inf, quolyptr n, nameptr* flag) {
  scanner(inf, &token, flag);
  bool infinite = false;
  std::int32_t m = 0;
  if (is_tok("_")) {
    scanner(inf, &token, flag);
    if (token.name[0] == 'i') {
      infinite = true;
      scanner(inf, &token, flag);
    }
  }
  if (!infinite) {
    ModularBracket suspended;
    const tokentipe setting{"p", -1};
    old_expre(inf, n, flag);
    if (*n == nullptr || !(*n)->numb) abandon(setting_value_not_number_error, &setting);
    m = big_quoly_convert_to_int(*n);
    if (m < 0) abandon(setting_value_must_not_negative_error, &setting);
  }
  nodes::OwnedNames np;
  if (is_tok(":")) np.names = capture_list(inf, flag);
  if (!is_tok(")")) abandon(close_paren_expected_after_setting_error, &token);
  const tokentipe closing = token;
  finish_prec(inf, n, flag, m, infinite, np.get());
  token = closing;
  // The value 0 made in the ring now in force, freed in it by the caller.
  free_quoly(n);
  quoly_set(0, n);
  (*n)->next = nullptr;
}

void modulus_command(textptr inf, quolyptr n, nameptr* flag) {
  refuse_as_operand();
  if (levelcount > 1) abandon(ground_ring_can_change_only_top_error, &token);
  tokentipe local{};
  scanner(inf, &local, flag);
  nameptr captured = nullptr;
  if (std::strcmp(local.name, "(") == 0) {
    if (*flag != nullptr) error(amp_p_not_allowed_stored_text_error, &local);
    save_input_stream(&captured);
    if (captured == nullptr) error(close_paren_expected_error, &local);
  }
  const bool printstuff = verbose || *flag == nullptr;
  const bool read_from_statement = !modularmode && !tt_flag;
  const tokentipe before = token;
  token = local;
  try {
    change_prec(inf, n, flag, -1, captured, printstuff);
  } catch (...) {
    if (captured != nullptr) freename(captured);
    throw;
  }
  (void)before;
  if (read_from_statement) {
    // The sum was read from the statement: the token after it stays.
  } else if (captured != nullptr) {
    freename(captured);
    std::strcpy(token.name, ";");
    token.address = -1;
  } else {
    token = local;
  }
}

}  // namespace tavrin
