// In-place addition and subtraction of big integers.
//
// One pass runs down the aligned limbs from the top, bringing each sum into
// the result's sign range and pushing the carry into the limb above it
// (already visited). Only when such a carry pushes that limb out of range
// is a second pass needed: the list from the head down to the lowest limb
// out of range is reversed, walked back up normalising, and relinked. The
// receiver's limbs are reused; new limbs come only for a longer operand,
// a spare at the top and a final carry.
#include "core/thresholds.h"
#include "numbers/bigint.h"
#include "numbers/limb_array.h"
#include "numbers/limb_list.h"

namespace tavrin {

namespace {

constexpr std::int32_t B = limb_base;

bool out_of_range(std::int32_t v, std::int32_t sign) {
  return sign > 0 ? (v < 0 || v >= B) : (v > 0 || v <= -B);
}

// Brings v into the range of `sign` and returns the carry into the limb above.
std::int32_t normalise(std::int32_t& v, std::int32_t sign) {
  if (sign > 0) {
    if (v < 0) {
      v += B;
      return -1;
    }
    if (v >= B) {
      v -= B;
      return 1;
    }
  } else {
    if (v > 0) {
      v -= B;
      return 1;
    }
    if (v <= -B) {
      v += B;
      return -1;
    }
  }
  return 0;
}

std::int32_t sign_of(std::int32_t v) { return v < 0 ? -1 : 1; }

// Walks from `bad` up to the head normalising each limb below the head.
void fix_upwards(imptr n, numptr bad, std::int32_t sign) {
  numptr after = bad->next;
  numptr prev = nullptr;
  for (numptr p = n->head; p != after;) {
    numptr nx = p->next;
    p->next = prev;
    prev = p;
    p = nx;
  }
  // prev == bad; the reversed list runs from bad up to the old head.
  numptr relinked = after;
  for (numptr q = bad; q != nullptr;) {
    numptr up = q->next;
    if (up != nullptr) {
      const std::int32_t c = normalise(q->value, sign);
      up->value += c;
    }
    q->next = relinked;
    relinked = q;
    q = up;
  }
  n->head = relinked;
}

// n := n + s*m for big integers; m is the list mh of ms limbs (captured
// before n changes, so m may be n itself); s is +1 or -1. A sum longer than
// a number can be leaves n a valid zero and is reported.
void add_inplace_unchecked(imptr n, numptr mh, std::int32_t ms, std::int32_t s) {
  std::int32_t ns = n->size;
  if (ns == 0) {  // a header without limbs counts as zero
    kit::install_limbs(n, kit::copy_limbs(mh, ms, s));
    return;
  }
  if (ns == 1 && ms == 1) {
    const std::int32_t t = n->head->value + s * mh->value;
    if (t > -B && t < B) {
      n->head->value = t;
      return;
    }
    numptr h = new_limb();
    h->value = sign_of(t);
    h->next = n->head;
    n->head->value = t - h->value * B;
    n->head = h;
    n->size = 2;
    return;
  }

  std::int32_t size = ns;  // the length of n's list as it changes
  std::int32_t R;          // sign of the result
  numptr above;            // the limb above the first aligned position
  numptr cur;              // first aligned limb of n
  numptr mp = mh;          // first aligned limb of m
  if (ns > ms) {
    R = sign_of(n->head->value);
    above = n->head;
    for (std::int32_t k = 1; k < ns - ms; ++k) above = above->next;
    cur = above->next;
  } else if (ns < ms) {
    R = s * sign_of(mh->value);
    kit::limb_list extra = kit::copy_limbs(mh, ms - ns, s);
    for (std::int32_t k = 0; k < ms - ns; ++k) mp = mp->next;
    extra.tail->next = n->head;
    cur = n->head;
    above = extra.tail;
    n->head = extra.head;
    size = ms;
  } else {
    const std::int32_t top = n->head->value + s * mh->value;
    if (top != 0) {
      R = sign_of(top);
      numptr spare = new_limb();
      spare->value = 0;
      spare->next = n->head;
      n->head = spare;
      size = ns + 1;
      above = spare;
      cur = spare->next;
    } else {
      // The heads cancel: find the first position whose sum is not zero.
      numptr p = n->head;
      numptr q = mh;
      std::int32_t k = 0;
      while (p != nullptr && p->value + s * q->value == 0) {
        p = p->next;
        q = q->next;
        ++k;
      }
      if (p == nullptr) {  // n + s*m = 0: keep the tail limb as the zero
        numptr t = n->tail;
        if (n->head != t) {
          numptr last = n->head;
          while (last->next != t) last = last->next;
          free_limb_list(n->head, last);
        }
        t->value = 0;
        t->next = nullptr;
        n->head = t;
        n->size = 1;
        return;
      }
      R = sign_of(p->value + s * q->value);
      // The first cancelled limb becomes the spare above position k; the
      // other cancelled limbs are freed.
      numptr spare = n->head;
      if (k > 1)
        free_limb_list(spare->next, [&] {
          numptr l = spare;
          for (std::int32_t j = 1; j < k; ++j) l = l->next;
          return l;
        }());
      spare->value = 0;
      spare->next = p;
      size = ns - k + 1;
      above = spare;
      cur = p;
      mp = q;
    }
  }

  numptr bad = nullptr;
  while (cur != nullptr) {
    std::int32_t t = cur->value + s * mp->value;
    const std::int32_t c = normalise(t, R);
    cur->value = t;
    if (c != 0) {
      above->value += c;
      if (out_of_range(above->value, R)) bad = above;  // always the lowest so far
    }
    above = cur;
    cur = cur->next;
    mp = mp->next;
  }
  if (bad != nullptr && bad != n->head) fix_upwards(n, bad, R);

  // A head of magnitude 2^28 gets a new head limb above it.
  if (n->head->value >= B || n->head->value <= -B) {
    numptr h = new_limb();
    h->value = R;
    h->next = n->head;
    n->head->value -= R * B;
    n->head = h;
    size += 1;
  }
  // Leading zero limbs go back to the free list.
  while (n->head->value == 0 && n->head != n->tail) {
    numptr z = n->head;
    n->head = z->next;
    free_limb_list(z, z);
    size -= 1;
  }
  if (size > kit::max_limbs) {
    // The sum does not fit a number: leave n a valid zero and report.
    numptr t = n->tail;
    numptr last = n->head;
    while (last->next != t) last = last->next;
    free_limb_list(n->head, last);
    t->value = 0;
    n->head = t;
    n->size = 1;
    kit::limb_count(size);
  }
  n->size = static_cast<std::int16_t>(size);
}

// A number's limbs, given back on every exit unless released.
struct HeldLimbs {
  number x{};
  HeldLimbs() = default;
  HeldLimbs(const HeldLimbs&) = delete;
  HeldLimbs& operator=(const HeldLimbs&) = delete;
  ~HeldLimbs() {
    if (x.size > 0) free_limb_list(x.head, x.tail);
  }
};

// As add_inplace_unchecked, but a sum too long for a number leaves n as it
// was: only an operand of the greatest length can overflow, and then the
// sum is formed in a copy first.
void add_inplace(imptr n, numptr mh, std::int32_t ms, std::int32_t s) {
  if (n->size >= 1 && n->size <= word_number_limbs && ms >= 1 && ms <= word_number_limbs) {
    // Words: the sum in 64 bits, n's limbs written over (m may be n: both
    // values are read first).
    const std::int64_t x =
        n->size == 1 ? n->head->value : std::int64_t{n->head->value} * B + n->tail->value;
    const std::int64_t y = ms == 1 ? mh->value : std::int64_t{mh->value} * B + mh->next->value;
    const std::int64_t t = x + s * y;
    kit::set_limbs_from_magnitude(n, static_cast<std::uint64_t>(t < 0 ? -t : t), t < 0, true);
    return;
  }
  if (n->size < kit::max_limbs && ms < kit::max_limbs) {
    add_inplace_unchecked(n, mh, ms, s);
    return;
  }
  HeldLimbs sum;
  kit::install_limbs(&sum.x, kit::copy_limbs(n->head, n->size, 1));
  add_inplace_unchecked(&sum.x, mh, ms, s);
  kit::install_limbs(n, kit::limb_list{sum.x.head, sum.x.tail, sum.x.size});
  sum.x.size = 0;
}

void add_lists(std::int16_t nsize, std::int16_t msize, numptr p, numptr q, imptr ans,
               std::int32_t s) {
  HeldLimbs sum;
  kit::install_limbs(&sum.x, kit::copy_limbs(p, nsize, 1));
  add_inplace_unchecked(&sum.x, q, msize, s);
  kit::install_limbs(ans, kit::limb_list{sum.x.head, sum.x.tail, sum.x.size});
  sum.x.size = 0;
}

}  // namespace

void fastsum(imptr n, imptr m) { add_inplace(n, m->head, m->size, 1); }

void fastdiff(imptr n, imptr m) { add_inplace(n, m->head, m->size, -1); }

void medsum(std::int16_t nsize, std::int16_t msize, numptr p, numptr q, imptr ans) {
  add_lists(nsize, msize, p, q, ans, 1);
}

void meddiff(std::int16_t nsize, std::int16_t msize, numptr p, numptr q, imptr ans) {
  add_lists(nsize, msize, p, q, ans, -1);
}

}  // namespace tavrin
