#include "numbers/value_holds.h"

#include "numbers/freelists.h"

namespace tavrin {

void detail::free_let_go(quoly v) {
  v->let_go = false;
  free_quoly(&v);
}

quolyptr HeldValues::hold_more(quolyptr place) {
  if (more_ == nullptr) more_ = new HeldValues;
  return more_->hold(place);
}

void HeldValues::release_more() {
  delete more_;  // its destructor lets go of its values
  more_ = nullptr;
}

}  // namespace tavrin
