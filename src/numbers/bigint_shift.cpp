// Limb-list copies, comparisons of limb lists and shifts of non-negative
// big integers.
#include "core/globals.h"
#include "numbers/bigint.h"
#include "numbers/limb_list.h"

namespace tavrin {

namespace {

constexpr std::int32_t B = limb_base;

void drop_leading_zeros(imptr n) {
  while (n->head != n->tail && n->head->value == 0) {
    numptr z = n->head;
    n->head = z->next;
    free_limb_list(z, z);
    n->size = static_cast<std::int16_t>(n->size - 1);
  }
}

}  // namespace

void fast_num_assign(numptr p, std::int16_t size, imptr x) {
  kit::install_limbs(x, kit::copy_limbs(p, size, 1));
}

void fast_assign(numptr p, std::int16_t size, imptr x) { fast_num_assign(p, size, x); }

bool fast_bigger(numptr n, numptr p, std::int16_t nsize, std::int16_t psize) {
  if (nsize != psize) return nsize > psize;
  for (; n != nullptr && p != nullptr; n = n->next, p = p->next)
    if (n->value != p->value) return n->value > p->value;
  return false;
}

bool equal_which(imptr n, imptr m, bool* firstone) {
  if (n->size != m->size) {
    *firstone = n->size > m->size;
    return false;
  }
  for (numptr p = n->head, q = m->head; p != nullptr; p = p->next, q = q->next) {
    if (p->value != q->value) {
      *firstone = p->value > q->value;
      return false;
    }
  }
  return true;
}

void gen_shift_right(imptr n, std::int32_t m) {
  if (m <= 0) return;
  std::int32_t from_above = 0;
  for (numptr p = n->head; p != nullptr; p = p->next) {
    const std::int32_t v = p->value;
    p->value = (v >> m) | (from_above << (limb_bits - m));
    from_above = v & ones[m];
  }
  drop_leading_zeros(n);
}

void shift_right_1(imptr n) { gen_shift_right(n, 1); }

void shift_right_2(imptr n) { gen_shift_right(n, 2); }

void fillout(imptr n, std::int32_t x) {
  kit::limb_count(n->size + x);
  for (std::int32_t k = 0; k < x; ++k) {
    numptr l = new_limb();
    l->value = 0;
    l->next = nullptr;
    n->tail->next = l;
    n->tail = l;
    n->size = static_cast<std::int16_t>(n->size + 1);
  }
}

void shift_left(imptr n, std::int32_t k) {
  if (n->size == 1 && n->head->value == 0) return;
  kit::limb_count(n->size + k / limb_bits + 1);
  fillout(n, k / limb_bits);
  const std::int32_t r = k % limb_bits;
  if (r == 0) return;
  const std::int32_t top = n->head->value >> (limb_bits - r);
  for (numptr p = n->head; p != nullptr; p = p->next) {
    const std::int32_t below = p->next ? p->next->value >> (limb_bits - r) : 0;
    p->value = ((p->value << r) & (B - 1)) | below;
  }
  if (top != 0) {
    numptr h = new_limb();
    h->value = top;
    h->next = n->head;
    n->head = h;
    n->size = static_cast<std::int16_t>(n->size + 1);
  }
}

void fast_modout(imptr n, imptr pseudodet) {
  const std::int32_t keep = pseudodet->size - 1;
  if (keep <= 0 || n->size <= keep) return;
  numptr last_dropped = n->head;
  for (std::int32_t k = 1; k < n->size - keep; ++k) last_dropped = last_dropped->next;
  numptr first_kept = last_dropped->next;
  free_limb_list(n->head, last_dropped);
  n->head = first_kept;
  n->size = static_cast<std::int16_t>(keep);
  drop_leading_zeros(n);
}

}  // namespace tavrin
