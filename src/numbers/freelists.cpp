#include "numbers/freelists.h"
#include <algorithm>
#include <bit>
#include <cstdint>
#include <functional>
#include <vector>

#include "core/errors.h"
#include "core/globals.h"
#include "core/mode_guard.h"
#include "numbers/bigint.h"
#include "numbers/bigint_wide.h"
#include "numbers/mod_journal.h"
#include "numbers/node_handles.h"
#include "numbers/word_mod.h"

namespace tavrin {

numptr numhead = nullptr;
imptr imhead = nullptr;
poly polygarb = nullptr;
quoly quolygarb = nullptr;
colm_ptr colm_garb = nullptr;
std::uint64_t places_removed = 0;
nameptr name_garb = nullptr;
polypt pt_garb = nullptr;
arrptr arr_garb = nullptr;
sparseptr spargarb = nullptr;
colptr colgarb = nullptr;
condexptr condhead = nullptr;
formptr formhead = nullptr;
fixptr fixgarb = nullptr;

namespace {

// Headers ever taken from the heap (pool mode) or live (bypass mode); the
// pooled kinds are counted by their pools.
long heap_numbers = 0;

// Records of the pooled kinds alive without pools (counted only then).
long bypass_limbs = 0, bypass_polys = 0;
#ifdef TAVRIN_POOL_BYPASS
long bypass_quolys = 0, bypass_colms = 0;
#endif

// Pops a record from the free list head, or takes a new one from fresh().
template <class T, class Fresh>
T* pop_or(T*& head, Fresh fresh) {
  T* r = head;
  if (r != nullptr) {
    head = r->next;
    return r;
  }
  return fresh();
}

// Pops a record of a pooled kind, or carves it from the pool.
template <class T>
T* pop_or_slug(T*& head, stash* pool) {
  return pop_or(head, [pool] { return static_cast<T*>(get_slug_or_unwind(pool)); });
}

// Pops a record of a heap kind, or takes a cleared one from the heap.
template <class T>
T* pop_or_heap(T*& head) {
  return pop_or(head, [] { return new T{}; });
}

// Gives back the list first..last (linked through next) of a pooled kind:
// one splice onto its free list, or, without pools, a delete per record.
template <class T>
void give_back_chain(T* first, T* last, [[maybe_unused]] T*& head, [[maybe_unused]] long& live) {
  if (first == nullptr) return;
#ifdef TAVRIN_POOL_BYPASS
  for (T* p = first;;) {
    T* nx = p->next;
    const bool done = (p == last);
    delete p;
    --live;
    if (done || nx == nullptr) break;
    p = nx;
  }
#else
  last->next = head;
  head = first;
#endif
}

#ifndef TAVRIN_POOL_BYPASS
// Empties the free list head (linked through next) into the pool its
// records were carved from.
template <class T>
void return_to_pool(T*& head, stash* pool) {
  while (head != nullptr) {
    T* p = head;
    head = p->next;
    free_slug(pool, p);
  }
}
#endif

template <class T>
void push(T*& head, T* r) {
  r->next = head;
  head = r;
}

}  // namespace

// ---- Limbs -----------------------------------------------------------------

namespace detail {

numptr carve_limb() { return static_cast<numptr>(get_slug_or_unwind(numstash)); }

poly carve_polynode() { return static_cast<poly>(get_slug_or_unwind(polystash)); }

quoly carve_quolynode() { return static_cast<quoly>(get_slug_or_unwind(quolystash)); }

// Headers are taken from the heap a block at a time and handed out in
// address order (a large sum or product then walks its headers as one
// stream); blocks are never given back. Headers that wipe_free_lists takes
// off imhead wait in spare_headers, linked through imag.
namespace {
constexpr std::size_t header_block = 4096;
number* block_next = nullptr;
number* block_end = nullptr;
imptr spare_headers = nullptr;
}  // namespace

imptr heap_number() {
  ++heap_numbers;
  if (spare_headers != nullptr) {
    imptr r = spare_headers;
    spare_headers = r->imag;
    *r = number{};
    return r;
  }
  if (block_next == block_end) {
    block_next = new number[header_block]{};
    block_end = block_next + header_block;
  }
  return block_next++;
}

}  // namespace detail

#ifdef TAVRIN_POOL_BYPASS
numptr new_limb() {
  ++bypass_limbs;
  return new numnode{};
}
#endif

void free_limb_list(numptr head, numptr tail) {
  give_back_chain(head, tail, numhead, bypass_limbs);
}

namespace detail {

constexpr std::int64_t least_order_interval = 1 << 20;
constexpr std::size_t ordered_run_limbs = 32;
constexpr std::size_t judged_limbs = std::size_t{1} << 22;
std::int64_t limbs_built = 0;
std::int64_t order_limbs_at = least_order_interval;

numptr limbs_sorted_by_comparison(numptr head, std::size_t n) {
  if (head == nullptr) return head;
  std::vector<numptr> a;
  a.reserve(n);
  for (numptr p = head; p != nullptr; p = p->next) a.push_back(p);
  std::sort(a.begin(), a.end(), std::less<numptr>());
  for (std::size_t i = 0; i + 1 < a.size(); ++i) a[i]->next = a[i + 1];
  a.back()->next = nullptr;
  return a.front();
}

namespace {

// The bitmap of the limbs' places, a chunk of address space at a time:
// bit k of a chunk's words stands for the record k grains past the chunk's
// start (plus the list's offset within a grain). Chunks are found through
// an open-addressed table of their numbers (address >> chunk_shift).
constexpr int chunk_shift = 20;
constexpr std::uintptr_t limb_grain = sizeof(numnode);
constexpr std::size_t chunk_words = (std::size_t{1} << chunk_shift) / limb_grain / 64;
static_assert((limb_grain & (limb_grain - 1)) == 0 && chunk_words > 0);

struct chunk_slot {
  std::uintptr_t chunk;  // the chunk's number plus one; 0: an empty slot
  std::size_t words;     // the offset of its bitmap in the words
};

class limb_bitmap {
 public:
  void set(std::uintptr_t v) {
    const std::uintptr_t chunk = v >> chunk_shift;
    if (chunk != last_chunk_) {
      last_chunk_ = chunk;
      last_words_ = words_of(chunk);
    }
    const std::uintptr_t k = (v & ((std::uintptr_t{1} << chunk_shift) - 1)) / limb_grain;
    bits_[last_words_ + k / 64] |= std::uint64_t{1} << (k % 64);
  }
  // Links the records in address order; returns the first.
  numptr link(std::uintptr_t offset) {
    std::vector<chunk_slot> used;
    for (const chunk_slot& c : slots_)
      if (c.chunk != 0) used.push_back(c);
    std::sort(used.begin(), used.end(),
              [](const chunk_slot& a, const chunk_slot& b) { return a.chunk < b.chunk; });
    numnode before{};  // the link to the first record
    numptr last = &before;
    for (const chunk_slot& c : used) {
      const std::uintptr_t base = ((c.chunk - 1) << chunk_shift) + offset;
      for (std::size_t w = 0; w < chunk_words; ++w)
        for (std::uint64_t m = bits_[c.words + w]; m != 0; m &= m - 1) {
          const auto p = reinterpret_cast<numptr>(
              base + (64 * w + static_cast<std::size_t>(std::countr_zero(m))) * limb_grain);
          last->next = p;
          last = p;
        }
    }
    last->next = nullptr;
    return before.next;
  }

 private:
  std::size_t words_of(std::uintptr_t chunk) {
    if (2 * (count_ + 1) > slots_.size()) grow();
    std::size_t i = hash(chunk);
    for (; slots_[i].chunk != 0; i = (i + 1) & (slots_.size() - 1))
      if (slots_[i].chunk == chunk + 1) return slots_[i].words;
    slots_[i] = {chunk + 1, bits_.size()};
    ++count_;
    bits_.resize(bits_.size() + chunk_words, 0);
    return slots_[i].words;
  }
  std::size_t hash(std::uintptr_t chunk) const {
    return static_cast<std::size_t>((chunk * 0x9e3779b97f4a7c15ULL) >> 20) & (slots_.size() - 1);
  }
  void grow() {
    std::vector<chunk_slot> old(std::max<std::size_t>(64, 2 * slots_.size()));
    old.swap(slots_);
    for (const chunk_slot& c : old) {
      if (c.chunk == 0) continue;
      std::size_t i = hash(c.chunk - 1);
      while (slots_[i].chunk != 0) i = (i + 1) & (slots_.size() - 1);
      slots_[i] = c;
    }
  }

  std::vector<chunk_slot> slots_;
  std::vector<std::uint64_t> bits_;
  std::size_t count_ = 0;
  std::uintptr_t last_chunk_ = ~std::uintptr_t{0};
  std::size_t last_words_ = 0;
};

}  // namespace

numptr limbs_sorted_by_bitmap(numptr head) {
  if (head == nullptr) return head;
  const std::uintptr_t offset = reinterpret_cast<std::uintptr_t>(head) % limb_grain;
  limb_bitmap bits;
  for (numptr p = head; p != nullptr; p = p->next) bits.set(reinterpret_cast<std::uintptr_t>(p));
  return bits.link(offset);
}

void order_free_limbs() {
  limbs_built = 0;
#ifndef TAVRIN_POOL_BYPASS
  // A free list made of long runs of neighbouring limbs (numbers built from
  // the pool and freed whole) is walked about as fast as an ordered one,
  // each run at the pace of limb_after's guess: it is left as it is. Runs
  // average at least ordered_run_limbs limbs then, judged on the list's
  // first judged_limbs limbs, which the builders take next (a list of
  // hundreds of millions of limbs is not walked whole to leave it alone).
  std::size_t n = 0, runs = 0;
  std::intptr_t step = 0;
  const std::uintptr_t grain_offset = reinterpret_cast<std::uintptr_t>(numhead) % sizeof(numnode);
  bool on_grain = true;
  numptr p = numhead;
  // the walk guesses each link one step on (limb_after), so that it goes
  // through a run without waiting for each link to be read
  auto walk = [&](std::size_t upto) {
    for (; p != nullptr && n < upto; ++n) {
      const numptr next = limb_after(p, step);
      const auto s = next == nullptr
                         ? std::intptr_t{0}
                         : static_cast<std::intptr_t>(reinterpret_cast<std::uintptr_t>(next) -
                                                      reinterpret_cast<std::uintptr_t>(p));
      if (s != step || n == 0) ++runs;
      step = s;
      on_grain = on_grain && reinterpret_cast<std::uintptr_t>(p) % sizeof(numnode) == grain_offset;
      p = next;
    }
  };
  walk(judged_limbs);
  const bool long_runs = runs * ordered_run_limbs <= n;
  if (!long_runs) walk(SIZE_MAX);
  order_limbs_at = std::max<std::int64_t>(least_order_interval, 8 * static_cast<std::int64_t>(n));
  if (n < 2 || long_runs) return;
  numhead = on_grain ? limbs_sorted_by_bitmap(numhead) : limbs_sorted_by_comparison(numhead, n);
#endif
}

}  // namespace detail

// ---- Number headers --------------------------------------------------------

#ifdef TAVRIN_POOL_BYPASS
void newimag(imptr* p) {
  ++heap_numbers;
  *p = new number{};
}
#endif

namespace {

// Gives back x's limbs (unless word mode is on: a number's limbs are not
// its own then) and its header.
inline void give_back_number(imptr x) {
  if (x->size >= 1 && !lintmode) free_limb_list(x->head, x->tail);
#ifdef TAVRIN_POOL_BYPASS
  delete x;
  --heap_numbers;
#else
  x->imag = imhead;
  imhead = x;
#endif
}

}  // namespace

void free_imag(imptr* p) {
  imptr x = *p;
  if (x == nullptr) return;
  give_back_number(x);
  *p = nullptr;
}

void free_num(imptr x) {
  if (x->size >= 1 && !lintmode) {
    free_limb_list(x->head, x->tail);
    x->head = nullptr;
    x->tail = nullptr;
    x->size = 0;
  }
}

void special_free(imptr x) {
  if (x->size > 0) free_limb_list(x->head, x->tail);
  x->head = nullptr;
  x->tail = nullptr;
  x->size = 0;
}

// ---- Polynomial nodes and value cells ---------------------------------------

#ifdef TAVRIN_POOL_BYPASS
void newpoly(poly* p) {
  ++bypass_polys;
  *p = new polynode{};
}
#endif

#ifdef TAVRIN_POOL_BYPASS
void newquoly(quoly* q) {
  ++bypass_quolys;
  *q = new quolynode{};
}
#endif

void newcolm(colm_ptr* q) {
#ifdef TAVRIN_POOL_BYPASS
  ++bypass_colms;
  *q = new colnode{};
#else
  *q = pop_or_slug(colm_garb, colmstash);
#endif
}

void free_polynode_list(poly first, poly last) {
  give_back_chain(first, last, polygarb, bypass_polys);
}

void free_colm_list(colm_ptr first, colm_ptr last) {
  ++places_removed;
#ifdef TAVRIN_POOL_BYPASS
  give_back_chain(first, last, colm_garb, bypass_colms);
#else
  long unused = 0;
  give_back_chain(first, last, colm_garb, unused);
#endif
}

void free_frame_list(sparseptr first, sparseptr last) {
  long uncounted = 0;  // frames are not counted among the live records
  give_back_chain(first, last, spargarb, uncounted);
}

namespace {

// Fetches the record some steps on from at, a step being the distance
// from before to at (nothing without a record before). Only a hint: the
// address may hold no record at all.
template <class T>
inline void prefetch_ahead(const T* at, const T* before) {
  constexpr std::uintptr_t ahead_steps = 8;
  if (before == nullptr) return;
  const auto here = reinterpret_cast<std::uintptr_t>(at);
  const std::uintptr_t step = here - reinterpret_cast<std::uintptr_t>(before);
  __builtin_prefetch(reinterpret_cast<const void*>(here + ahead_steps * step));
}

}  // namespace

void free_poly(poly* p) {
  poly first = *p;
  if (first == nullptr) return;
  // The coefficient links are not cleared: a freed node keeps nothing its
  // next owner relies on. Only the links of terms over lone leaves, and of
  // the leaves, are written, to chain each leaf after its term.
  poly q = first;
  // Records of a large polynomial mostly lie in runs one step apart: the
  // node, leaf and number some terms on are fetched ahead at the steps
  // between the last two seen, so the walk need not wait on each record
  // in turn.
  poly leaf_before = nullptr;
  imptr number_before = nullptr;
  numptr limb_before = nullptr;
  poly last = q;  // the last node of the chain given back
  for (;;) {
    const poly next = q->next;
    last = q;
    if (q->numb) {
      if (q->ncoef != nullptr) give_back_number(q->ncoef);
    } else if (poly c = q->pcoef; c != nullptr) {
      if (c->numb && c->next == nullptr) {  // a term over a lone leaf
        const imptr x = c->ncoef;
        prefetch_ahead(c, leaf_before);
        prefetch_ahead(x, number_before);
        if (x != nullptr && x->size >= 1 && !lintmode) {
          prefetch_ahead(x->head, limb_before);
          limb_before = x->head;
        }
        leaf_before = c;
        number_before = x;
        if (x != nullptr) give_back_number(x);
        // The leaf goes back right after its term: a list built next,
        // a term and then its leaf, takes them in the same places, and
        // lists rebuilt again and again keep their records together.
        q->next = c;
        c->next = next;
        last = c;
      } else {
        free_poly(&c);
      }
    }
    if (next == nullptr) break;
    prefetch_ahead(next, q);
    q = next;
  }
  free_polynode_list(first, last);
  *p = nullptr;
}

#ifdef TAVRIN_POOL_BYPASS
void free_quoly(quoly* q) {
  if (*q != nullptr) detail::free_quoly_other(q);
}
#endif

void detail::free_quoly_other(quoly* q) {
  quoly x = *q;
  if (x->holds != 0) {
    x->let_go = true;
    *q = nullptr;
    return;
  }
  if (x->journalled) {
    // Its exact value comes back first; its numbers then hold limbs beside
    // their residues, freed whatever the ring.
    release_journalled(x);
    ScopedValue<bool> limbs(lintmode, false);
    free_quoly(q);
    return;
  }
  if (x->numb) {
    free_imag(&x->ncoef);
  } else {
    free_poly(&x->numer);
    free_poly(&x->denom);
  }
#ifdef TAVRIN_POOL_BYPASS
  delete x;
  --bypass_quolys;
#else
  push(quolygarb, x);
#endif
  *q = nullptr;
}

void purge_list(quoly* p) {
  quoly q = *p;
  while (q != nullptr) {
    quoly nx = q->next;
    free_quoly(&q);
    q = nx;
  }
  *p = nullptr;
}

void special_free_poly(poly* p) {
  poly first = *p;
  if (first == nullptr) return;
  poly last = first;
  for (poly q = first; q != nullptr; q = q->next) {
    if (q->ncoef != nullptr) free_imag(&q->ncoef);
    last = q;
  }
  free_polynode_list(first, last);
  *p = nullptr;
}

void remove_dummy(poly u) {
  poly inner = u->pcoef;
  u->numb = true;
  u->ncoef = inner->ncoef;
  free_polynode_list(inner, inner);
}

void init_poly_node(poly p) { newimag(&p->ncoef); }

void init_quoly_node(quoly p) { newimag(&p->ncoef); }

// ---- Constant shortcuts -----------------------------------------------------

void poly_set(std::int32_t num, poly* p) {
  free_poly(p);
  poly r;
  newpoly(&r);
  r->next = nullptr;
  r->exp = 0;
  r->numb = true;
  init_poly_node(r);
  setvalue(num, r->ncoef);
  *p = r;
}

namespace {

// *q := a fresh number cell in place of its old value, its number header
// (no limbs, lint and flote stale) filled by set before the cell goes in.
template <class Set>
void set_number_cell(quoly* q, Set set) {
  free_quoly(q);
  quoly r = nodes::new_number_value(nullptr);
  newimag(&r->ncoef);
  set(r->ncoef);
  *q = r;
}

}  // namespace

void quoly_set(std::int32_t num, quoly* q) {
  set_number_cell(q, [num](imptr n) { setvalue(num, n); });
}

void fl_quoly_set(long double num, quoly* q) {
  set_number_cell(q, [num](imptr n) { n->flote = num; });
}

void quoly_set_integer(std::int64_t v, quoly* q) {
  if (flotemode) {
    fl_quoly_set(static_cast<long double>(v), q);
  } else if (lintmode) {
    quoly_set(static_cast<std::int32_t>(static_cast<std::uint32_t>(v)), q);
  } else if (v >= -2147483647 && v <= 2147483647) {
    quoly_set(static_cast<std::int32_t>(v), q);
  } else {
    free_quoly(q);
    *q = nodes::new_number_value(new_word_number_slow(v));
  }
  (*q)->next = nullptr;
}

void quoly_set_image(std::int64_t v, quoly* q) {
  if (modularmode && !flotemode) {
    quoly_set(integer_image(v), q);
    (*q)->next = nullptr;
    return;
  }
  quoly_set_integer(v, q);
}

// ---- Other records ----------------------------------------------------------

void newname(nameptr* p) {
  nameptr r = pop_or_heap(name_garb);
  r->compiled = false;
  r->space = false;
  *p = r;
}

void newpt(polypt* p) {
  polypt r = pop_or_heap(pt_garb);
  r->let = tokentipe{};
  r->expon = 0;
  r->depth = 0;
  r->polycut = poly_cutoff;
  r->modls = -1;
  r->p = nullptr;
  r->alt = nullptr;
  r->multdata = nullptr;
  r->pwr = nullptr;
  r->roots = nullptr;
  r->gcd_data = nullptr;
  r->next = nullptr;
  r->field = false;
  r->aux_num = 0;
  *p = r;
}

void newdummy(polypt s, polypt* pp3) {
  newpt(pp3);
  polypt r = *pp3;
  r->next = s->next;
  r->depth = s->depth;
  r->let = s->let;
  r->expon = s->expon;
}

void newarray(arrptr* q) {
  *q = pop_or_heap(arr_garb);  // a heap record is cleared: sizearr.size 0
}

void free_array_record(arrptr q) {
  special_free(&q->sizearr);
  push(arr_garb, q);
}

void newsparse(sparseptr* p) {
  sparseptr r = pop_or_heap(spargarb);
  r->modmode = modularmode;
  *p = r;
}

void newcol(colptr* q) {
  colptr r = pop_or_heap(colgarb);
  r->f = nullptr;
  *q = r;
}

void newcond(condexptr* p) { *p = pop_or_heap(condhead); }

void newform(formptr* p) { *p = pop_or_heap(formhead); }

void newfix(fixptr* p) {
  fixptr r = pop_or_heap(fixgarb);
  r->special = zzero;
  r->owner = nullptr;
  *p = r;
}

void free_pt(polypt* p) {
  polypt r = *p;
  if (r == nullptr) return;
  push(pt_garb, r);
  free_relations(r);
  while (r->gcd_data != nullptr) {
    imptr nx = r->gcd_data->imag;
    special_free(r->gcd_data);  // the entry's limb, whatever the mode
    free_imag(&r->gcd_data);
    r->gcd_data = nx;
  }
  r->aux_num = 0;
  *p = nullptr;
}

void freename(nameptr p) {
  if (p == nullptr) return;
  nameptr last = p;
  while (last->next != nullptr) last = last->next;
  last->next = name_garb;
  name_garb = p;
}

// Frees a whole statement list: every statement, its comments, and the
// branches and bodies below it.
void free_form(formptr* p) {
  formptr f = *p;
  *p = nullptr;
  while (f != nullptr) {
    formptr next = f->next;
    for (comptr c = f->comms; c != nullptr;) {
      comptr cn = c->next;
      freename(c->q);
      delete c;
      c = cn;
    }
    f->comms = nullptr;
    free_cond(&f->cptr);
    f->next = formhead;
    formhead = f;
    f = next;
  }
}

void free_cond(condexptr* p) {
  condexptr c = *p;
  *p = nullptr;
  if (c == nullptr) return;
  freename(c->cond);
  freename(c->expr);
  c->cond = nullptr;
  c->expr = nullptr;
  free_form(&c->form1);
  free_form(&c->form2);
  c->next = condhead;
  condhead = c;
}

void free_fix_list(fixptr first, fixptr last) {
  if (first == nullptr) return;
  last->next = fixgarb;
  fixgarb = first;
}

// ---- Accounting --------------------------------------------------------------

namespace {

// Length of the list from p, next(q) giving each record's successor.
template <class T, class Next>
long chain_length(T p, Next next) {
  long n = 0;
  for (; p != nullptr; p = next(p)) ++n;
  return n;
}

}  // namespace

long list_length(numptr p) {
  return chain_length(p, [](numptr q) { return q->next; });
}
long list_length(imptr p) {
  return chain_length(p, [](imptr q) { return q->imag; });
}
long list_length(poly p) {
  return chain_length(p, [](poly q) { return q->next; });
}
long list_length(quoly p) {
  return chain_length(p, [](quoly q) { return q->next; });
}

node_census live_nodes() {
  node_census c{};
#ifdef TAVRIN_POOL_BYPASS
  c.limbs = bypass_limbs;
  c.numbers = heap_numbers;
  c.polys = bypass_polys;
  c.quolys = bypass_quolys;
  c.colms = bypass_colms;
#else
  auto used = [](const stash* s) { return s ? static_cast<long>(s->slugs_used) : 0L; };
  long colms = 0;
  for (colm_ptr q = colm_garb; q != nullptr; q = q->next) ++colms;
  c.limbs = used(numstash) - list_length(numhead);
  c.numbers = heap_numbers - list_length(imhead);
  c.polys = used(polystash) - list_length(polygarb);
  c.quolys = used(quolystash) - list_length(quolygarb);
  c.colms = used(colmstash) - colms;
#endif
  return c;
}

void wipe_free_lists() {
#ifndef TAVRIN_POOL_BYPASS
  // Each record goes back to the pool it was carved from; headers to the
  // spare headers of the heap blocks they came from.
  return_to_pool(numhead, numstash);
  return_to_pool(polygarb, polystash);
  return_to_pool(quolygarb, quolystash);
  while (imhead != nullptr) {
    imptr p = imhead;
    imhead = p->imag;
    p->imag = detail::spare_headers;
    detail::spare_headers = p;
    --heap_numbers;
  }
#endif
}

}  // namespace tavrin
