// The digit store of ZInt (see zdigits.h).
#include "numbers/zdigits.h"

#include <algorithm>

namespace tavrin {

void ZDigits::grow(std::size_t n) {
  std::size_t room = std::max(n, std::size_t{cap_} * 2);
  room += room % 2;  // whole 8-byte granules for the sanitizer
  auto* block = new std::uint32_t[room];
  if (size_ != 0) std::memcpy(block, data(), std::size_t{size_} * sizeof(std::uint32_t));
  unannotate();
  if (on_heap()) delete[] heap_;
  heap_ = block;
  cap_ = static_cast<std::uint32_t>(room);
  annotate();
}

void ZDigits::take_block(ZDigits& o) noexcept {
  unannotate();
  o.unannotate();
  if (on_heap()) delete[] heap_;
  heap_ = o.heap_;
  cap_ = o.cap_;
  size_ = o.size_;
  annotate();
  o.cap_ = zdigits_inline;
  o.size_ = 0;
  o.annotate();
}

}  // namespace tavrin
