#include "numbers/value_holds.h"

#include <utility>

#include "numbers/freelists.h"

namespace tavrin {

void let_go_of(quoly v) {
  if (--v->holds != 0 || !v->let_go) return;
  v->let_go = false;
  free_quoly(&v);
}

HeldValues::~HeldValues() { release(); }

quolyptr HeldValues::hold(quolyptr place) {
  if (place == nullptr || *place == nullptr) return place;
  if (used_ == inline_cells) {
    if (more_ == nullptr) more_ = std::make_unique<HeldValues>();
    return more_->hold(place);
  }
  quoly v = *place;
  hold_value(v);
  held_[used_] = v;
  cells_[used_] = v;
  return &cells_[used_++];
}

void HeldValues::release() {
  if (more_ != nullptr) more_->release();
  while (used_ > 0) {
    --used_;
    cells_[used_] = nullptr;
    let_go_of(std::exchange(held_[used_], nullptr));
  }
}

}  // namespace tavrin
