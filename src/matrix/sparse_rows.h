// A cursor over the rows of a sparse matrix (sparse_store.h): frames of
// sparse_frame_rows row heads, chained by `next`; row r sits in slot
// (r - 1) mod sparse_frame_rows of its frame.
#pragma once

#include <cstdint>

#include "core/records.h"

namespace tavrin {

// Walks the rows of a frame chain from row `row`, given the frame that
// holds it: the head of the current row, then on to the next (crossing to
// the next frame after its last slot). The walk reads the chain and keeps
// nothing.
class RowWalk {
 public:
  RowWalk(sparseptr frame, std::int32_t row)
      : frame_(frame), slot_((row - 1) % sparse_frame_rows) {}
  colm_ptr first() const { return frame_->indx[slot_]; }
  colm_ptrptr head() const { return &frame_->indx[slot_]; }
  void next() {
    if (++slot_ == sparse_frame_rows) {
      frame_ = frame_->next;
      slot_ = 0;
    }
  }

 private:
  sparseptr frame_;
  std::int32_t slot_;
};

}  // namespace tavrin
