#include "matrix/operand_keeper.h"

#include <cstring>
#include <unordered_map>

#include "numbers/freelists.h"
#include "numbers/node_handles.h"
#include "poly/poly_repr.h"
#include "toplevel/charsets.h"
#include "toplevel/state.h"
#include "arrays/array_store.h"
#include "arrays/sparse_store.h"
#include "matrix/sparse_copy.h"

namespace tavrin {

namespace {

// The live array named `name` made at `time` (a parameter's alias never
// matches: its stamp is negative), nil when it is gone.
arrptr live_array(const tokentipe& name, std::int32_t time) {
  for (arrptr a = arr_store[hash(name.name, arr_buckets)]; a != nullptr; a = a->next)
    if (a->time == time && std::strcmp(a->name.name, name.name) == 0) return a;
  return nullptr;
}

}  // namespace

void SettledIntegers::settle(arrptr q) {
  if (held_ || q == nullptr || !array_has_unreduced(q)) return;
  held_ = true;
  name_ = q->name;
  time_ = q->time;
  rows_ = q->rows;
  if (q->spar != nullptr) {
    copy_sparse(&q->spar, &copy_, q->rows, false);
    copy_->modmode = q->spar->modmode;
    sparse_settle_integers(copy_, q->rows);
    own_ = q->spar;
    q->spar = copy_;
    return;
  }
  for (std::int32_t k = q->start; k <= q->stop; ++k) {
    const quoly v = *arp_cell(k);
    if (!nodes::unreduced_integer(v)) continue;
    words_.emplace_back(v->ncoef, v->ncoef->lint);
    nodes::settle_integer_inplace(v);
  }
}

SettledIntegers::~SettledIntegers() {
  if (!held_) return;
  const arrptr q = live_array(name_, time_);
  if (own_ != nullptr) {
    if (q != nullptr && q->spar == copy_) {
      free_sparse(&q->spar, rows_, true);
      q->spar = own_;
    } else {
      free_sparse(&own_, rows_, true);  // the array went its own way meanwhile
    }
    return;
  }
  if (q == nullptr) return;
  std::unordered_map<imptr, std::int32_t> old(words_.begin(), words_.end());
  for (std::int32_t k = q->start; k <= q->stop; ++k) {
    const quoly v = *arp_cell(k);
    if (v == nullptr || !v->numb) continue;
    const auto it = old.find(v->ncoef);
    if (it != old.end()) v->ncoef->lint = it->second;
  }
}

void OperandKeeper::keep(arrptr q) {
  if (!active_ || held_ || q == nullptr) return;
  // A parameter's alias shares the cells of the array it stands for: that
  // array is kept (a sparse alias shares frames the keeper cannot replace).
  while (q->time < 0 && q->father != nullptr && q->spar == nullptr) q = q->father;
  if (q->time <= 0) return;
  name_ = q->name;
  time_ = q->time;
  start_ = q->start;
  stop_ = q->stop;
  rows_ = q->rows;
  // An entry that a reader holds (an operand read where it lies) stays as
  // it is for the reader: the array changes a copy of it.
  if (q->spar != nullptr) {
    for (std::int32_t r = 1; r <= q->rows; ++r)
      for (colm_ptr c = *sparse_row(q->spar, r); c != nullptr; c = c->next) writable_value(&c->val);
  } else {
    for (std::int32_t k = start_; k <= stop_; ++k) writable_value(arp_cell(k));
  }
  if (q->spar != nullptr) {
    copy_sparse(&q->spar, &spar_, q->rows, false);
    modmode_ = q->spar->modmode;
    spar_->modmode = modmode_;
  } else {
    cells_.reserve(static_cast<std::size_t>(stop_ - start_ + 1));
    for (std::int32_t k = start_; k <= stop_; ++k) {
      quoly copy = nullptr;
      if (*arp_cell(k) != nullptr) quoly_assign(*arp_cell(k), &copy);
      cells_.push_back(copy);
    }
  }
  held_ = true;
}

void OperandKeeper::commit() { drop(); }

void OperandKeeper::drop() {
  if (!held_) return;
  for (quoly& c : cells_) free_quoly(&c);
  cells_.clear();
  if (spar_ != nullptr) free_sparse(&spar_, rows_, true);
  held_ = false;
}

void OperandKeeper::put_back() {
  const arrptr q = live_array(name_, time_);
  const bool same_shape = q != nullptr && q->start == start_ && q->stop == stop_ &&
                          (q->spar != nullptr) == (spar_ != nullptr);
  if (!same_shape) {
    drop();
    return;
  }
  if (spar_ != nullptr) {
    free_sparse(&q->spar, q->rows, true);  // a transposition may have changed rows
    q->spar = spar_;
    q->rows = rows_;
    spar_ = nullptr;
  } else {
    for (std::int32_t k = start_; k <= stop_; ++k) {
      quolyptr cell = arp_cell(k);
      free_quoly(cell);
      *cell = cells_[static_cast<std::size_t>(k - start_)];
    }
    cells_.clear();
  }
  held_ = false;
}

void OperandKeeper::settle_integers(arrptr q) {
  if (q == nullptr) return;
  if (active_) {
    settle_array_integers(q);
  } else {
    read_only_.settle(q);
  }
}

OperandKeeper::~OperandKeeper() {
  if (held_) put_back();  // the built-in was abandoned
}

}  // namespace tavrin
