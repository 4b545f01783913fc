// Constructors, destructors and free lists of every record (records.h).
//
// A constructor pops its type's free list and falls back on a pool (limbs,
// polynodes, value cells, sparse entries) or the heap only when the list is
// empty; a destructor pushes the record, and for the value types everything
// hanging from it, back onto the free lists. Nothing is returned to the
// operating system. A popped record keeps whatever it held beyond the fields
// each constructor names, so callers set every other field.
//
// All free-list traffic goes through this header. Built with
// TAVRIN_POOL_BYPASS, every record comes from `new` and goes back with
// `delete`, so the address sanitizer sees each use of a freed record.
#pragma once

#include <cstdint>

#include "core/globals.h"
#include "core/records.h"
#include "numbers/stash/stash.h"

namespace tavrin {

// ---- Free-list heads (read them; change them only through this header) -----
extern numptr numhead;      // limbs, through `next`
extern imptr imhead;        // number headers, through `imag`
extern poly polygarb;       // polynodes, through `next`
extern quoly quolygarb;     // value cells, through `next`
extern colm_ptr colm_garb;  // sparse entries
extern nameptr name_garb;
extern polypt pt_garb;
extern arrptr arr_garb;
extern sparseptr spargarb;
extern colptr colgarb;
// Counts the removals of places where values are stored: sparse entries
// given back (free_colm_list), variables freed and arrays cancelled (by
// their owners). A writer that found its place earlier finds it again when
// this has moved (lang/written_places.h).
extern std::uint64_t places_removed;
extern condexptr condhead;
extern formptr formhead;
extern fixptr fixgarb;

namespace detail {
// The constructors' paths for an empty free list (pools, the heap).
numptr carve_limb();
poly carve_polynode();
quoly carve_quolynode();
imptr heap_number();
}  // namespace detail

// ---- Limbs -----------------------------------------------------------------
// One limb; its fields are whatever they were.
numptr new_limb();
// Gives back the limb list head..tail (linked through next) in one splice.
void free_limb_list(numptr head, numptr tail);

// Long numbers are walked limb by limb, which is fast when their limbs lie
// in address order and slow when they are strewn over the pool (every limb
// a cache miss). The builders of long limb lists count the limbs they take
// (count_built_limbs, before they take them); once they have taken more
// than eight times the free limbs found at the last ordering (a million at
// least), the free list is put in address order again, so that the lists
// built next are runs of neighbouring limbs, unless it already consists of
// such runs, 32 limbs long on average or more (numbers freed whole), as
// judged on its first four million limbs, which are taken next. The
// ordering takes time linear in the list (a bitmap of the limbs' places).
// The order changes nothing else: the same limbs stay free. Nothing happens
// without pools.
namespace detail {
extern std::int64_t limbs_built;     // limbs counted since the last ordering
extern std::int64_t order_limbs_at;  // the count that triggers the next one
// Puts numhead in ascending address order unless it is made of long runs;
// sets the next trigger.
void order_free_limbs();
// The limb list head (linked through next, nil-ended) relinked in
// ascending address order; returns its first limb. The bitmap route needs
// every record on one grain (all addresses equal modulo the record's size,
// as the pool's are): it marks each record's place in a bitmap of the
// address chunks the list touches, in one walk, then links the records
// chunk by chunk in address order, in linear time and writing the records
// in address order. The comparison route sorts the n addresses.
numptr limbs_sorted_by_bitmap(numptr head);
numptr limbs_sorted_by_comparison(numptr head, std::size_t n);
}  // namespace detail
inline void count_built_limbs(std::int32_t n) {
  detail::limbs_built += n;
  if (detail::limbs_built >= detail::order_limbs_at) detail::order_free_limbs();
}

// Walking a limb list. Lists built from the pool or from an ordered free
// list are mostly runs of neighbouring records, one record apart in one
// direction. limb_step(p) is the distance in bytes from p to its
// successor; limb_after(p, step) is p's successor, guessed to lie `step`
// bytes on: while the guess holds, the walk goes on without waiting for
// each link to be read (the link is still read, to check the guess).
// Without pools every limb is a heap record of its own: plain links.
inline std::intptr_t limb_step(numptr p) {
  return p != nullptr && p->next != nullptr
             ? static_cast<std::intptr_t>(reinterpret_cast<std::uintptr_t>(p->next) -
                                          reinterpret_cast<std::uintptr_t>(p))
             : 0;
}
inline numptr limb_after(numptr p, std::intptr_t step) {
#ifndef TAVRIN_POOL_BYPASS
  const numptr next = p->next;
  const auto guess = reinterpret_cast<numptr>(reinterpret_cast<std::uintptr_t>(p) +
                                              static_cast<std::uintptr_t>(step));
  // An opaque copy of the guess, made before the comparison: once the two
  // are known equal the compiler would otherwise return the link read. The
  // other path stays a branch (a conditional move would wait for the link).
  numptr ahead = guess;
  __asm__("" : "+r"(ahead));
  if (__builtin_expect(next != guess, 0)) {
    numptr link = next;
    __asm__ volatile("" : "+r"(link));
    return link;
  }
  return ahead;
#else
  (void)step;
  return p->next;
#endif
}

// Writes limbs into the free list's first records in one walk, for
// builders that compute the values in their own loop: while more(),
// put(v) gives the next record the value v. finish() takes the records
// written off the free list, ends the list they form, sets *tail to its
// last record and returns its first (nil when none was written); the
// builder goes on with new_limb when the free list ran out first.
class limb_writer {
 public:
  limb_writer() : head_(numhead), p_(numhead), step_(limb_step(numhead)) {}
  bool more() const {
#ifdef TAVRIN_POOL_BYPASS
    return false;
#else
    return p_ != nullptr;
#endif
  }
  void put(std::int32_t v) {
    p_->value = v;
    last_ = p_;
    p_ = limb_after(p_, step_);
  }
  numptr finish(numptr* tail) {
    *tail = last_;
    if (last_ == nullptr) return nullptr;
    numhead = p_;
    last_->next = nullptr;
    return head_;
  }

 private:
  numptr head_;
  numptr p_;
  numptr last_ = nullptr;
  std::intptr_t step_;
};

// ---- Number headers --------------------------------------------------------
// *p := a header with size 0 and nil links (lint and flote are stale).
void newimag(imptr* p);
// Frees the number *p (nil does nothing): its limbs go back when it has any
// and word mode is off (in word mode the limbs stay where they are); the
// header goes on imhead; *p := nil.
void free_imag(imptr* p);
// Gives back x's limbs only (same test as free_imag) and marks x empty
// (size 0, nil links), so a record that lives on never frees them twice.
void free_num(imptr x);
// Gives back x's limbs whatever the mode; size := 0, nil links.
void special_free(imptr x);

// ---- Polynomial nodes and value cells ---------------------------------------
// *p := a node; its fields are whatever they were.
void newpoly(poly* p);
// *q := a value node; its fields are whatever they were, but arr_arg,
// journalled and let_go false and holds 0.
void newquoly(quoly* q);
void newcolm(colm_ptr* q);
// Splices the node list first..last (linked through next) onto polygarb;
// their coefficients must already be freed or owned elsewhere.
void free_polynode_list(poly first, poly last);
// Splices the sparse entries first..last (linked through next) onto
// colm_garb; their values must already be freed or owned elsewhere.
void free_colm_list(colm_ptr first, colm_ptr last);
// Splices the frame chain first..last (linked through next) onto spargarb.
void free_frame_list(sparseptr first, sparseptr last);
// Frees the polynomial *p (nil does nothing): every number by free_imag,
// every coefficient recursively, each level's list in one splice; *p := nil.
void free_poly(poly* p);
// Frees one value cell (not the cells after it along next); *q := nil. A
// journalled value first gets its exact value back from the journal. A
// value that readers hold is only let go (numbers/value_holds.h): the last
// of them frees it.
void free_quoly(quoly* q);
namespace detail {
// free_quoly of a journalled cell or a quotient (of every cell without pools).
void free_quoly_other(quoly* q);
}  // namespace detail
// Frees a whole chain of value cells along next; *p := nil.
void purge_list(quoly* p);
// A list of number-carrying nodes: frees every non-nil ncoef and the nodes.
void special_free_poly(poly* p);
// u is a term whose pcoef is a single number node: u becomes that number
// node (exp and next unchanged) and the inner node is freed.
void remove_dummy(poly u);
// Gives the node a fresh header with size 0 as its ncoef (numb untouched).
void init_poly_node(poly p);
void init_quoly_node(quoly p);

// ---- Constant shortcuts -----------------------------------------------------
// Frees *p, then makes *p a single number node holding num, set by mode:
// floating: flote; word: lint unchanged (not reduced); big: setvalue.
void poly_set(std::int32_t num, poly* p);
// Frees *q, then *q := a fresh number cell holding num (setvalue), next nil.
void quoly_set(std::int32_t num, quoly* q);
void fl_quoly_set(long double num, quoly* q);
// Frees *q, then *q := the integer v itself as a number value (next nil):
// counts, degrees, multiplicities, ranks, positions, character codes and
// other integer results. Modular and word arithmetic: lint := v as it is
// (a residue only when v is one; ring arithmetic reads the word as its
// image, see integer_image); floating: flote; otherwise the big integer v.
// Modular arithmetic: v must fit a word.
void quoly_set_integer(std::int64_t v, quoly* q);
// Frees *q, then *q := the image of the integer v in the ring in force (next
// nil): modular arithmetic: integer_image(v); otherwise as
// quoly_set_integer. For integers that enter ring arithmetic at once.
void quoly_set_image(std::int64_t v, quoly* q);

// ---- Other records ----------------------------------------------------------
void newname(nameptr* p);  // compiled and space := false
// Sets polycut := poly_cutoff, modls := -1, p, alt, multdata, pwr, roots,
// gcd_data, next := nil, field := false, aux_num := 0, and clears let, expon
// and depth (a recycled record keeps nothing of its old use).
void newpt(polypt* p);
// newpt, then copies next, depth, let and expon from *s.
void newdummy(polypt s, polypt* pp3);
void newarray(arrptr* q);  // a heap record has sizearr.size 0
// Frees the entry count's limbs and puts the record on arr_garb.
void free_array_record(arrptr q);
void newsparse(sparseptr* p);  // modmode := modularmode
void newcol(colptr* q);        // f := nil
void newcond(condexptr* p);
void newform(formptr* p);
void newfix(fixptr* p);  // special := zzero

// Frees the record's p, alt, roots and multdata (free_relations in
// mod_journal.h), its gcd_data numbers, aux_num := 0, puts it on pt_garb
// and sets *p := nil. pwr is not freed.
void free_pt(polypt* p);
// Splices the whole chain from p along next onto name_garb.
void freename(nameptr p);
// Frees a whole statement list (each statement, its comments, its branches)
// onto formhead and condhead; *p becomes nil.
void free_form(formptr* p);
// Frees the chains cond and expr, the lists form1 and form2, and the node;
// *p becomes nil.
void free_cond(condexptr* p);
// Gives an undo-journal list back in one splice.
void free_fix_list(fixptr first, fixptr last);

// ---- Accounting for tests and reports ----------------------------------------
// Records handed out and not yet freed, by kind.
struct node_census {
  long limbs;
  long numbers;
  long polys;
  long quolys;
  long colms;
  bool operator==(const node_census&) const = default;
};
node_census live_nodes();

// Length of a list linked through `next` (or `imag` for headers).
long list_length(numptr p);
long list_length(imptr p);
long list_length(poly p);
long list_length(quoly p);

// Empties the free lists of limbs, number headers, polynodes and value
// cells: their records go back to the pools (headers to the heap blocks
// they were taken from).
void wipe_free_lists();

namespace detail {

// Appends limbs k..n-1 (limb k from take(), holding value_at(k)) after
// last, or from the start of an empty list (last nil); *tail := the last
// limb. Returns the list's head.
template <class F, class Take>
[[gnu::always_inline]] inline numptr append_limbs(std::int32_t k, std::int32_t n, F& value_at,
                                                  numptr head, numptr last, numptr* tail,
                                                  Take take) {
  for (; k < n; ++k) {
    numptr l = take();
    l->value = value_at(k);
    l->next = nullptr;
    if (last == nullptr) {
      head = l;
    } else {
      last->next = l;
    }
    last = l;
  }
  *tail = last;
  return head;
}

}  // namespace detail

// ---- The constructors' common case, inline -------------------------------------
// Products and sums build millions of records; the pop of a free list is
// kept in the caller's code.
#ifndef TAVRIN_POOL_BYPASS
namespace detail {
// The first record of the free list head (linked through its member Link),
// or fresh() when the list is empty.
template <auto Link, class T, class Fresh>
inline T* pop_free(T*& head, Fresh fresh) {
  T* r = head;
  if (r == nullptr) return fresh();
  head = r->*Link;
  return r;
}
}  // namespace detail

inline numptr new_limb() {
  return detail::pop_free<&numnode::next>(numhead, [] { return detail::carve_limb(); });
}

// A fresh list of n >= 1 limbs, limb k (from the head) holding
// value_at(k), linked through next and ended by nil; *tail := its last
// limb. The limbs are taken off the free list in one walk that writes the
// values as it goes.
template <class F>
numptr take_limbs(std::int32_t n, F&& value_at, numptr* tail) {
  numptr head = numhead;
  numptr last = nullptr;
  numptr p = numhead;
  const std::intptr_t step = limb_step(p);
  std::int32_t k = 0;
  for (; k < n && p != nullptr; ++k) {
    p->value = value_at(k);
    last = p;
    p = limb_after(p, step);
  }
  if (k > 0) {
    numhead = p;
    last->next = nullptr;
  } else {
    head = nullptr;
  }
  // the free list ran out
  return detail::append_limbs(k, n, value_at, head, last, tail,
                              [] { return detail::carve_limb(); });
}

inline void newpoly(poly* p) {
  *p = detail::pop_free<&polynode::next>(polygarb, [] { return detail::carve_polynode(); });
}

inline void newquoly(quoly* q) {
  const quoly r =
      detail::pop_free<&quolynode::next>(quolygarb, [] { return detail::carve_quolynode(); });
  r->arr_arg = false;
  r->journalled = false;
  r->let_go = false;
  r->holds = 0;
  *q = r;
}

// Value cells are made and freed a cell at a time by the million (the
// cells of matrices and their transforms): a plain number's is given back
// here, inline.
inline void free_quoly(quoly* q) {
  const quoly x = *q;
  if (x == nullptr) return;
  if (x->journalled || !x->numb || x->holds != 0) {
    detail::free_quoly_other(q);
    return;
  }
  if (const imptr n = x->ncoef; n != nullptr) {
    if (n->size >= 1 && !lintmode) {
      n->tail->next = numhead;
      numhead = n->head;
    }
    n->imag = imhead;
    imhead = n;
  }
  x->next = quolygarb;
  quolygarb = x;
  *q = nullptr;
}

inline void newimag(imptr* p) {
  const imptr r = detail::pop_free<&number::imag>(imhead, [] { return detail::heap_number(); });
  r->head = nullptr;
  r->tail = nullptr;
  r->imag = nullptr;
  r->size = 0;
  *p = r;
}
#else
template <class F>
numptr take_limbs(std::int32_t n, F&& value_at, numptr* tail) {
  return detail::append_limbs(0, n, value_at, nullptr, nullptr, tail, [] { return new_limb(); });
}
#endif

}  // namespace tavrin
