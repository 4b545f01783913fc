#include "toplevel/start_tables.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <new>

#include "core/globals.h"
#include "core/mode_guard.h"
#include "numbers/bigint.h"
#include "numbers/bigint_multiply.h"
#include "numbers/freelists.h"
#include "numbers/node_handles.h"
#include "toplevel/charsets.h"
#include "toplevel/scanner.h"
#include "toplevel/state.h"

namespace tavrin {

namespace {

constexpr int prefilled_nodes = 5001;

// A zeroed array of n elements of the trivial type T that lives for the
// run. calloc takes fresh zero pages from the system, which are only touched
// when used: start-up does not spend its time clearing megabytes.
template <class T>
T* zeroed_array(std::size_t n) {
  void* p = std::calloc(n, sizeof(T));
  if (p == nullptr) throw std::bad_alloc();
  return static_cast<T*>(p);
}

void set_name(tokentipe& t, const char* name) {
  std::strncpy(t.name, name, sizeof t.name - 1);
  t.name[sizeof t.name - 1] = '\0';
  t.address = -1;
}

// A fresh empty array record named `name` (stop -1: no cells).
arrptr new_empty_array(const char* name) {
  arrptr a;
  newarray(&a);
  set_name(a->name, name);
  a->start = 0;
  a->stop = -1;
  special_free(&a->sizearr);
  a->rows = 0;
  a->spar = nullptr;
  a->linear = false;
  a->next = nullptr;
  a->father = nullptr;
  a->time = 0;
  return a;
}

}  // namespace

void set_first_defaults() {
  namelength = 10;
  fast_gcd_size = 25000;
  gcd_stash_cutoff = 200;
  small_gcd_stash_cut = 100;
  aux_num_1factor = 400;
  aux_num_2factor = 100;
  trial_cutoff = 25;
  massnum = 3;
  depthnum = 2;
  sqcut = 16;
  multcut = 16;
  simplest_poly_cutoff = 140;
  fast_mult_cut = 10;
  disp_size = 5;
  cmd_modder = 32;
  pseudet_heur = 0;
  m_interrupt = 1;
  array_time = 1;
  was_modulus = -1;
  prev_modulus = -1;
  sqrt_mod = -1;
  numblocks = -1;
  // The switches the start turns on, and those it turns off.
  for (bool* on :
       {&pos_mod, &mod_matrix_ok, &try_rat, &rat_yes, &do_line_sup, &chinhensel, &hen_check,
        &alt_form_display, &no_aux_primes2, &extra_line, &was_in_rat, &tt_flag})
    *on = true;
  for (bool* off : {&verbose, &danger_ok, &nomodpolyreadin, &diskstore, &monomial_list, &windy,
                    &command_int, &close_inpuf, &lintmode, &flotemode, &modularmode})
    *off = false;
  init_character_sets();
}

void make_char_table_and_duparr() {
  for (auto& row : pol)
    for (quoly& q : row) free_quoly(&q);
  if (duparr == nullptr) duparr = new_empty_array("  ");
  dupptr = nullptr;
}

void make_rings_and_tables() {
  if (dodo == nullptr) {
    static const char* const suffixes[] = {"2", "1", ""};
    for (const char* suffix : suffixes) {
      for (char letter = 'a'; letter <= 'z'; ++letter) {
        polypt v;
        newpt(&v);
        char name[4] = {letter, '\0', '\0', '\0'};
        std::strcat(name, suffix);
        set_name(v->let, name);
        v->next = dodo;
        dodo = v;
      }
    }
    std::int16_t depth = 1;
    for (polypt v = dodo; v != nullptr; v = v->next) v->depth = depth++;
  }

  if (lastf == nullptr) {
    statptr first = new statnode{nullptr, nullptr, nullptr};
    statptr last = first;
    for (int k = 1; k < statring_size; ++k) {
      statptr s = new statnode{last, nullptr, nullptr};
      last->next = s;
      last = s;
    }
    last->next = first;
    first->prev = last;
    lastf = first;
  }
  statcount = 0;
  make_token_ring();

  for (varptr& v : sca_store) v = nullptr;
  for (arrptr& a : arr_store) a = nullptr;
  for (funcptr& f : func_store) f = nullptr;
}

void prefill_limbs_and_arrstash() {
  numptr head = nullptr, tail = nullptr;
  for (int k = 0; k < prefilled_nodes; ++k) {
    numptr l = new_limb();
    l->value = 0;
    l->next = head;
    head = l;
    if (tail == nullptr) tail = l;
  }
  free_limb_list(head, tail);

  if (arrstash == nullptr) {
    arrstash = zeroed_array<arrptr>(arrstash_slots);
  } else {
    for (int k = 0; k < arrstash_slots; ++k) arrstash[k] = nullptr;
  }
}

void make_sort_tables() {
  if (sortp == nullptr) sortp = zeroed_array<sortrec>(sort_entries + 1);
  for (sparseptr& f : spsort) f = nullptr;
  using_spsort = false;
}

void set_second_defaults() {
  std::strcpy(eprompt, ":");
  mod_det_method_cut = 150;
  rat_det_method_cut = 5000;
  gauss_cutoff = 0;
  gcdmass = 0;
  minorprime = 0;
  init_max_stash = 2;
  init_min_stash = 3;
  wanthalf = 1;
  lagrangecut = 10;
  poly_cutoff = 20;
  emgcd_basic_cut = 10;
  hgcd_cut = 11000;
  div_poly_cutoff = 6;
  mod_method_diff = 6;
  mod_matrix_size = 399;

  BigModeGuard big;
  // disp_cons := 10^8 multiplied disp_size times.
  special_set(1, &disp_cons);
  for (std::int32_t k = 0; k < disp_size; ++k) fast_mult(&disp_cons, &tens_base, &disp_cons);
  disp_cons.flote = 0;
  disp_cons.lint = 0;
  special_set(1, &rand_denom_n);
  rand_denom_n.lint = 1;
  rand_denom_n.flote = 1;

  poly_set(1, &poly_1);
  poly_1->ncoef->lint = 1;
  poly_1->ncoef->flote = 1;

  if (syst == nullptr) syst = new_empty_array("<");
  if (syst_stash == nullptr) syst_stash = zeroed_array<workarray>(1);

  quoly_set(0, &prevnum);
  prevnum->next = nullptr;
  prevnum->arr_arg = false;
  prevnum->ncoef->lint = 0;
  prevnum->ncoef->flote = 0;
}

void prefill_poly_nodes() {
  poly first = nullptr, last = nullptr;
  for (int k = 0; k < prefilled_nodes; ++k) {
    poly p = nodes::new_term(0, nullptr, first);
    first = p;
    if (last == nullptr) last = p;
  }
  free_polynode_list(first, last);
}

void allocate_work_areas() {
  // A second call keeps the residue matrix and the size it has grown to
  // (check_mod_matrix_size adds cells above the size only).
  if (mod_mode_matrix == nullptr) {
    mod_matrix_size = 399;
    mod_mode_matrix = zeroed_array<workarray>(1);
    BigModeGuard big;
    for (std::int32_t k = 0; k <= mod_matrix_size; ++k) {
      quoly_set(0, &mod_mode_matrix->stash[k]);
      mod_mode_matrix->stash[k]->next = nullptr;
      mod_mode_matrix->stash[k]->arr_arg = false;
      mod_mode_matrix->stash[k]->ncoef->lint = 0;
      mod_mode_matrix->stash[k]->ncoef->flote = 0;
    }
  }
  if (clc == nullptr) {
    clc = zeroed_array<std::int32_t>(pivot_entries);
    clr = zeroed_array<std::int32_t>(pivot_entries);
    clc_min = zeroed_array<std::int32_t>(pivot_entries);
    clbest = zeroed_array<quoly>(pivot_entries);
  }
  lagrange_stash = 0;
  suppressor = 1;
}

}  // namespace tavrin
