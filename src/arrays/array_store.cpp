#include "arrays/array_store.h"

#include <cstdio>
#include <cstring>
#include <utility>

#include "core/error_codes.h"
#include "core/errors.h"
#include "core/globals.h"
#include "numbers/bigint.h"
#include "numbers/bigint_wide.h"
#include "numbers/freelists.h"
#include "numbers/node_handles.h"
#include "numbers/word_mod.h"
#include "toplevel/charsets.h"
#include "toplevel/state.h"
#include "lang/written_places.h"
#include "arrays/declarations.h"
#include "arrays/sparse_store.h"

namespace tavrin {

std::int64_t array_entries(const arrnode* q) {
  std::int64_t v = 0;
  for (numptr p = q->sizearr.head; p != nullptr; p = p->next) v = v * limb_base + p->value;
  return v;
}

std::int32_t array_cols(const arrnode* q) {
  if (q->rows <= 0) return 0;
  return static_cast<std::int32_t>(array_entries(q) / q->rows);
}

void set_entry_count(imptr x, std::int64_t v) {
  imptr fresh = new_wide_number(v);
  if (x->size > 0) special_free(x);  // a count has limbs in every mode
  x->head = fresh->head;
  x->tail = fresh->tail;
  x->size = fresh->size;
  fresh->head = fresh->tail = nullptr;
  fresh->size = 0;
  free_imag(&fresh);
}

std::int32_t array_bucket(const tokentipe* x) {
  if (x->address >= 0 && x->address < arr_buckets) return x->address;
  return hash(x->name, arr_buckets);
}

void link_array_record(arrptr a, const tokentipe* let, std::int32_t r, bool liner,
                       sparseptr frames) {
  a->name = *let;
  a->rows = r;
  a->spar = frames;
  a->linear = liner;
  a->father = nullptr;
  a->time = array_time;
  ++array_time;
  const std::int32_t b = array_bucket(let);
  a->next = arr_store[b];
  arr_store[b] = a;
}

namespace {

// A new record named let of r by c entries, pushed at the head of its chain.
arrptr push_record(const tokentipe* let, std::int32_t r, std::int32_t c, bool liner) {
  arrptr a = nullptr;
  newarray(&a);
  set_entry_count(&a->sizearr, static_cast<std::int64_t>(r) * c);
  link_array_record(a, let, r, liner, nullptr);
  return a;
}

}  // namespace

void insertarr(const tokentipe* let, std::int32_t r, std::int32_t c, bool liner) {
  if (r < 1 || c < 1) abandon(subscript_dimension_out_range_error, let);
  const std::int64_t count = static_cast<std::int64_t>(r) * c;
  if (count > max_dense_entries) abandon(array_too_large_more_than_1000000_error, &token);
  if (endarr + count > last_cell_index) abandon(array_store_full_too_many_dense_error, &token);
  const std::int32_t first = endarr + 1;
  const std::int32_t last = endarr + static_cast<std::int32_t>(count);
  // Pages first: an allocation failure leaves no record behind.
  while (last >= (numblocks + 1) * page_cells) {
    storeptr page = new storerec;
    for (quoly& cell : page->cell) cell = nullptr;
    arp[numblocks + 1] = page;
    ++numblocks;
  }
  arrptr a = push_record(let, r, c, liner);
  a->start = first;
  a->stop = last;
  endarr = last;
}

namespace {

// A chain of frames without entries (as sparse_init leaves it, even when it
// stopped part way), given back on every exit unless released.
struct EmptyFrames {
  sparseptr head = nullptr;
  EmptyFrames() = default;
  EmptyFrames(const EmptyFrames&) = delete;
  EmptyFrames& operator=(const EmptyFrames&) = delete;
  ~EmptyFrames() {
    if (head == nullptr) return;
    sparseptr last = head;
    while (last->next != nullptr) last = last->next;
    free_frame_list(head, last);
  }
};

}  // namespace

void sparse_create(const tokentipe* let, std::int32_t r, std::int32_t c, bool liner, bool init) {
  if (r < 1 || c < 1) abandon(subscript_dimension_out_range_error, let);
  EmptyFrames frames;
  if (init) sparse_init(&frames.head, r);  // past the memory budget: error 250
  arrptr a = push_record(let, r, c, liner);
  a->start = 0;
  a->stop = -1;
  a->spar = std::exchange(frames.head, nullptr);
}

arrptr find_array(const tokentipe* x) {
  for (arrptr a = arr_store[array_bucket(x)]; a != nullptr; a = a->next)
    if (std::strcmp(a->name.name, x->name) == 0) return a;
  return nullptr;
}

void array_seek(const tokentipe* x, arrptr* q) {
  *q = find_array(x);
  if (*q == nullptr) abandon(no_such_array_error, x);
}

namespace {

// Notes the element at `offset` (column by column from 0) of q, found at
// cell (nil for an absent sparse entry; row_head its row's link), as the
// place last located.
void locate_element(arrptr q, std::int64_t offset, quolyptr cell, colm_ptrptr row_head) {
  located_place = WrittenPlace{};
  located_place.cell = cell;
  located_place.removals = places_removed;
  located_place.array = q;
  located_place.stamp = q->time;
  located_place.name = q->name;
  located_place.offset = offset;
  located_place.row_head = row_head;
  if (row_head != nullptr) located_place.col = static_cast<std::int32_t>(offset / q->rows + 1);
}

}  // namespace

void new_array_quoly_ptr(arrptr q, std::int32_t* r, std::int32_t* c, bool colflag, quolyptr* qp,
                         const tokentipe* x, colm_ptrptr* aux) {
  const std::int64_t r0 = static_cast<std::int64_t>(*r) - addresser;
  const std::int64_t c0 = static_cast<std::int64_t>(*c) - addresser;
  if (r0 < 0 || c0 < 0) abandon(subscript_dimension_out_range_error, x);
  if (colflag && r0 >= q->rows) abandon(subscript_dimension_out_range_error, x);
  if (q->spar == nullptr) {
    const std::int64_t i = q->start + r0 + c0 * q->rows;
    if (i < q->start || i > q->stop) abandon(subscript_dimension_out_range_error, x);
    *aux = nullptr;
    *c = static_cast<std::int32_t>(i);
    *qp = arp_cell(*c);
    locate_element(q, i - q->start, *qp, nullptr);
    return;
  }
  std::int64_t row = r0;
  std::int64_t col = c0 + 1;
  if (!colflag) {
    row = r0 % q->rows;
    col = r0 / q->rows + 1;
  }
  if (col > array_cols(q)) abandon(subscript_dimension_out_range_error, x);
  *r = static_cast<std::int32_t>(row);
  *c = static_cast<std::int32_t>(col);
  sparseptr f = q->spar;
  for (std::int64_t k = row / sparse_frame_rows; k > 0; --k) f = f->next;
  *aux = &f->indx[row % sparse_frame_rows];
  colm_ptr e = **aux;
  while (e != nullptr && e->coord < col) e = e->next;
  *qp = e != nullptr && e->coord == col ? &e->val : nullptr;
  locate_element(q, row + (col - 1) * static_cast<std::int64_t>(q->rows), *qp, *aux);
}

void lookup(const tokentipe* x, std::int32_t r, std::int32_t c, arrptr* q, quolyptr* qp,
            bool colflag) {
  array_seek(x, q);
  colm_ptrptr aux = nullptr;
  new_array_quoly_ptr(*q, &r, &c, colflag, qp, x, &aux);
}

void spec_lookup(const tokentipe* x, std::int32_t spot, arrptr* q, quolyptr* qp) {
  array_seek(x, q);
  if (spot < addresser) abandon(subscript_dimension_out_range_error, x);
  std::int32_t r = spot;
  std::int32_t c = addresser;
  colm_ptrptr aux = nullptr;
  new_array_quoly_ptr(*q, &r, &c, false, qp, x, &aux);
  if (*qp == nullptr && (*q)->spar != nullptr) sparse_set(spot, addresser, *q, qp, false);
}

void count_uninitialised(const char* name) {
  ++uninit;
  if (uninit < 21) {
    if (name != nullptr) {
      std::printf("Warning. Uninitialized array element in [%s] has been set to 0.\n", name);
    } else {
      std::printf("Warning. Uninitialized array element has been set to 0.\n");
    }
  } else if (uninit == 21) {
    std::printf(" ....etc...\n");
  }
}

namespace {

// A nil dense cell becomes the integer 0.
void set_cell_zero(quolyptr cell) {
  quoly_set(0, cell);
  (*cell)->arr_arg = false;
}

}  // namespace

void arretrieve(textptr inf, const tokentipe* x, nameptr* flag, quolyptr* qp) {
  std::int32_t r = 0;
  std::int32_t c = 0;
  bool two = false;
  element_subscripts(inf, flag, &r, &c, &two);
  arrptr q = nullptr;
  array_seek(x, &q);
  colm_ptrptr aux = nullptr;
  new_array_quoly_ptr(q, &r, &c, two, qp, x, &aux);
  if (aux == nullptr && **qp == nullptr) {
    count_uninitialised(x->name);
    set_cell_zero(*qp);
  }
}

void check_and_assign(std::int32_t k, quolyptr q) {
  quolyptr cell = arp_cell(k);
  if (*cell == nullptr) {
    set_cell_zero(cell);
    count_uninitialised(nullptr);
  }
  *q = *cell;
}

bool array_has_unreduced(arrptr q) {
  if (!modularmode || flotemode) return false;
  if (q->spar != nullptr) return sparse_has_unreduced(q->spar, q->rows);
  for (std::int32_t k = q->start; k <= q->stop; ++k)
    if (nodes::unreduced_integer(*arp_cell(k))) return true;
  return false;
}

void settle_array_integers(arrptr q) {
  if (!array_has_unreduced(q)) return;
  if (q->spar != nullptr) {
    sparse_settle_integers(q->spar, q->rows);
    return;
  }
  for (std::int32_t k = q->start; k <= q->stop; ++k) nodes::settle_integer_inplace(*arp_cell(k));
}

}  // namespace tavrin
