// The digit store of ZInt: a vector of std::uint32_t digits with room for
// zdigits_inline of them inside the object and a heap block beyond, so that
// the values of the integer-matrix kernels (most of them a few digits) and
// their temporaries cost no allocation.
//
// size() digits in use at data(), in room for cap_ >= size() digits. A
// store holds its digits inline (cap_ == zdigits_inline) until it grows
// past that; it then keeps its heap block, shrinking or not, until it is
// destroyed or moved from. A moved-from store is empty. Copies copy the
// digits in use only. In the sanitizer build the room past size() is poisoned, the
// inline room included, so that a kernel writing past what its caller
// reserved is caught here as on a heap block.
#pragma once

#include <cassert>
#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(__SANITIZE_ADDRESS__)
// The address sanitizer's run-time calls that mark room unusable and usable
// again (its library is linked into the sanitizer build only). Declared on
// a pointer to changeable room, which is what they change: a pointer to
// const would tell the compiler they read the room, unwritten inline digits
// included.
extern "C" void __asan_poison_memory_region(void volatile* addr, std::size_t size);
extern "C" void __asan_unpoison_memory_region(void volatile* addr, std::size_t size);
#endif

namespace tavrin {

// Digits held in the object: 6 holds every value below 2^168 (the
// residues and most products of the small Hermite and Smith cases) in a
// 40-byte ZInt; 4 (32 bytes) and 8 (48 bytes) measured slower there. Even,
// so that the inline room ends on an 8-byte boundary (the sanitizer's
// granule).
inline constexpr std::uint32_t zdigits_inline = 6;
static_assert(zdigits_inline % 2 == 0 && zdigits_inline >= 2);

class ZDigits {
 public:
  ZDigits() noexcept { annotate(); }
  ZDigits(const ZDigits& o) : ZDigits() { copy(o); }
  ZDigits(ZDigits&& o) noexcept : ZDigits() { take(o); }
  ZDigits& operator=(const ZDigits& o) {
    if (this != &o) copy(o);
    return *this;
  }
  ZDigits& operator=(ZDigits&& o) noexcept {
    if (this != &o) take(o);
    return *this;
  }
  ~ZDigits() {
    unannotate();
    if (on_heap()) delete[] heap_;
  }

  std::size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  std::uint32_t* data() { return on_heap() ? heap_ : inline_; }
  const std::uint32_t* data() const { return on_heap() ? heap_ : inline_; }
  std::uint32_t* begin() { return data(); }
  std::uint32_t* end() { return data() + size_; }
  const std::uint32_t* begin() const { return data(); }
  const std::uint32_t* end() const { return data() + size_; }
  std::uint32_t& operator[](std::size_t i) {
    assert(i < size_);
    return data()[i];
  }
  std::uint32_t operator[](std::size_t i) const {
    assert(i < size_);
    return data()[i];
  }
  std::uint32_t back() const {
    assert(size_ > 0);
    return data()[size_ - 1];
  }

  // n digits; those past the old size() are 0.
  void resize(std::size_t n) {
    const std::size_t had = size_;
    resize_for_overwrite(n);
    if (n > had) std::memset(data() + had, 0, (n - had) * sizeof(std::uint32_t));
  }
  // n digits; those past the old size() are left for the caller to write.
  void resize_for_overwrite(std::size_t n) {
    if (n > cap_) grow(n);
    set_size(n);
  }
  void push_back(std::uint32_t d) {
    if (size_ == cap_) grow(std::size_t{size_} + 1);
    set_size(std::size_t{size_} + 1);
    data()[size_ - 1] = d;
  }
  void pop_back() {
    assert(size_ > 0);
    set_size(std::size_t{size_} - 1);
  }
  void clear() { set_size(0); }
  // The n digits at d (d: kept; not this store's own).
  void assign(const std::uint32_t* d, std::size_t n) {
    resize_for_overwrite(n);
    if (n != 0) std::memcpy(data(), d, n * sizeof(std::uint32_t));
  }

 private:
  bool on_heap() const { return cap_ > zdigits_inline; }
  // Room for n > capacity() digits, the digits in use kept: at least
  // double the room, on the heap.
  void grow(std::size_t n);
  // o's digits (not this store's own) copied in.
  void copy(const ZDigits& o) {
    if (o.on_heap() || on_heap()) {
      assign(o.data(), o.size_);
      return;
    }
    copy_inline(o);
  }
  // o's digits into this store, o left empty: its heap block taken over,
  // inline digits copied.
  void take(ZDigits& o) noexcept {
    if (o.on_heap()) {
      take_block(o);
      return;
    }
    // At most zdigits_inline digits: they fit any store without growing.
    if (on_heap()) {
      assign(o.inline_, o.size_);
    } else {
      copy_inline(o);
    }
    o.set_size(0);
  }
  void take_block(ZDigits& o) noexcept;
  // Both stores inline: the whole room copied at once, a fixed length the
  // compiler does in a few moves (only the digits in use where the
  // sanitizer watches the rest).
  void copy_inline(const ZDigits& o) {
    unannotate();
#if defined(__SANITIZE_ADDRESS__)
    std::memcpy(inline_, o.inline_, std::size_t{o.size_} * sizeof(std::uint32_t));
#else
    std::memcpy(inline_, o.inline_, sizeof(inline_));
#endif
    size_ = o.size_;
    annotate();
  }
  void set_size(std::size_t n) {
    unannotate();
    size_ = static_cast<std::uint32_t>(n);
    annotate();
  }
  // The sanitizer's view: the room past size() poisoned, all of it open
  // again before the store changes its room or goes.
  void annotate() const {
#if defined(__SANITIZE_ADDRESS__)
    auto* d = const_cast<std::uint32_t*>(data());
    const std::size_t room = on_heap() ? cap_ * sizeof(std::uint32_t) : sizeof(inline_);
    __asan_poison_memory_region(d + size_, room - size_ * sizeof(std::uint32_t));
#endif
  }
  void unannotate() const {
#if defined(__SANITIZE_ADDRESS__)
    __asan_unpoison_memory_region(const_cast<std::uint32_t*>(data()),
                                  on_heap() ? cap_ * sizeof(std::uint32_t) : sizeof(inline_));
#endif
  }

  std::uint32_t size_ = 0;
  std::uint32_t cap_ = zdigits_inline;
  union {
    std::uint32_t inline_[zdigits_inline];
    std::uint32_t* heap_;
  };
};

}  // namespace tavrin
