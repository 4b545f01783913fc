// Setting, copying, negation, comparison and predicates of numbers.
#include <cmath>
#include <cstdlib>

#include "core/globals.h"
#include "core/mode_guard.h"
#include "numbers/bigint.h"
#include "numbers/limb_list.h"

namespace tavrin {

using kit::copy_limbs;
using kit::install_limbs;
using kit::limb_list;
using kit::set_one_limb;
using kit::wrap_neg;

namespace {

// The big value of a machine integer, one or two limbs with n's sign.
void set_big(std::int32_t n, imptr x) {
  if (n > -limb_base && n < limb_base) {
    set_one_limb(x, n);
    return;
  }
  if (x->size > 0) free_limb_list(x->head, x->tail);
  numptr h = new_limb();
  numptr t = new_limb();
  h->value = n / limb_base;  // truncated toward zero: both limbs carry n's sign
  t->value = n % limb_base;
  h->next = t;
  t->next = nullptr;
  x->head = h;
  x->tail = t;
  x->size = 2;
}

// x := sign * n, big integers; x may be n.
void big_copy(imptr n, imptr x, std::int32_t sign) {
  if (n == x) {
    if (sign < 0)
      for (numptr p = x->head; p != nullptr; p = p->next) p->value = -p->value;
    return;
  }
  if (n->size == 0) {
    install_limbs(x, limb_list{});
    return;
  }
  install_limbs(x, copy_limbs(n->head, n->size, sign));
}

// The sign of n as the current mode sees it: the head limb when n has limbs.
bool is_negative_for_abs(imptr n) {
  if (n->size > 0) return n->head->value < 0;
  if (flotemode) return n->flote < 0;
  if (lintmode && !modularmode) return n->lint < 0;
  return false;
}

std::int32_t highest_bit(std::uint32_t v) {
  std::int32_t h = -1;
  while (v != 0) {
    ++h;
    v >>= 1;
  }
  return h;
}

}  // namespace

void setvalue(std::int32_t n, imptr x) {
  if (flotemode) {
    x->flote = n;
  } else if (lintmode) {
    x->lint = n;
  } else {
    set_big(n, x);
  }
}

void special_set(std::int32_t n, imptr x) { set_big(n, x); }

void makeneg(imptr num, imptr x) {
  if (modularmode) {
    if (finf) {
      x->lint = num->lint;
    } else {
      x->lint = num->lint == 0 ? 0 : modulus - num->lint;
    }
  } else if (flotemode) {
    x->flote = -num->flote;
  } else if (lintmode) {
    x->lint = wrap_neg(num->lint);
  } else {
    big_copy(num, x, -1);
  }
}

void num_assign(imptr n, imptr x) {
  if (flotemode) {
    x->flote = n->flote;
    if (lintmode) {
      x->lint = n->lint;
      return;
    }
  } else if (lintmode) {
    x->lint = n->lint;
    return;
  }
  big_copy(n, x, 1);
}

void spec_num_assign(imptr n, imptr x) {
  BigModeGuard big;
  big_copy(n, x, 1);
}

void faster_num_assign(numptr p, std::int16_t size, imptrptr x) {
  if (p->value == 0) {
    *x = nullptr;
    return;
  }
  newimag(x);
  install_limbs(*x, copy_limbs(p, size, 1));
}

void in_place_neg(imptr num) {
  if (flotemode) {
    num->flote = -num->flote;
  } else if (lintmode) {
    if (modularmode) {
      if (!finf && num->lint != 0) num->lint = modulus - num->lint;
    } else {
      num->lint = wrap_neg(num->lint);
    }
  } else {
    for (numptr p = num->head; p != nullptr; p = p->next) p->value = -p->value;
  }
}

void abs_val_num(imptr n, imptr m) {
  if (is_negative_for_abs(n)) {
    makeneg(n, m);
  } else {
    num_assign(n, m);
  }
}

bool spec_equal(imptr n, imptr m) {
  if (n->size != m->size) return false;
  for (numptr p = n->head, q = m->head; p != nullptr && q != nullptr; p = p->next, q = q->next)
    if (p->value != q->value) return false;
  return true;
}

bool bigger(imptr n, imptr m) {
  if (flotemode) return n->flote > m->flote;
  if (lintmode) return n->lint > m->lint;
  if (n->size == 1 && m->size == 1) return n->head->value > m->head->value;
  const bool nneg = n->head->value < 0;
  const bool mneg = m->head->value < 0;
  if (nneg != mneg) return mneg;
  if (n->size != m->size) return nneg ? n->size < m->size : n->size > m->size;
  for (numptr p = n->head, q = m->head; p != nullptr; p = p->next, q = q->next)
    if (p->value != q->value) return p->value > q->value;
  return false;
}

bool equal(imptr n, imptr m) {
  if (flotemode) return n->flote == m->flote;
  if (lintmode) return n->lint == m->lint;
  return spec_equal(n, m);
}

bool negtive(imptr n, imptr m) {
  if (modularmode) {
    if (finf) return n->lint == m->lint;
    if (n->lint == 0 && m->lint == 0) return true;
    return static_cast<std::uint32_t>(n->lint) + static_cast<std::uint32_t>(m->lint) ==
           static_cast<std::uint32_t>(modulus);
  }
  if (flotemode) return n->flote == -m->flote;
  if (lintmode) return n->lint == wrap_neg(m->lint);
  if (n->size != m->size) return false;
  for (numptr p = n->head, q = m->head; p != nullptr; p = p->next, q = q->next)
    if (p->value != -q->value) return false;
  return true;
}

bool equal_to_pm1(imptr n, bool* its_minus1) {
  *its_minus1 = false;
  if (flotemode) {
    if (n->flote == -1.0L) {
      *its_minus1 = true;
      return true;
    }
    return n->flote == 1.0L;
  }
  if (lintmode) {
    if (n->lint == -1) {
      *its_minus1 = true;
      return true;
    }
    return n->lint == 1;
  }
  if (spec_equal(n, &number_m1)) {
    *its_minus1 = true;
    return true;
  }
  return spec_equal(n, &number_1);
}

bool int_abs_bigger(imptr firstn, imptr secondn, bool equalok) {
  if (firstn->size != secondn->size) return firstn->size > secondn->size;
  for (numptr p = firstn->head, q = secondn->head; p != nullptr; p = p->next, q = q->next) {
    const std::int32_t a = std::abs(p->value);
    const std::int32_t b = std::abs(q->value);
    if (a != b) return a > b;
  }
  return equalok;
}

bool abs_larger(imptr firstn, imptr secondn) {
  if (flotemode)
    return std::fabs(static_cast<double>(firstn->flote)) >
           std::fabs(static_cast<double>(secondn->flote));
  if (lintmode) return std::llabs(firstn->lint) > std::llabs(secondn->lint);
  return int_abs_bigger(firstn, secondn, false);
}

bool is_longint(imptr num, std::int32_t n) { return num->size == 1 && num->head->value == n; }

std::int32_t logg2(imptr q) {
  return limb_bits * (q->size - 1) + highest_bit(static_cast<std::uint32_t>(q->head->value)) + 1;
}

std::int32_t logg2_neg(imptr q) {
  return limb_bits * (q->size - 1) + highest_bit(static_cast<std::uint32_t>(-q->head->value)) + 1;
}

std::int32_t logg2lint(std::int32_t q) {
  std::uint32_t a = q < 0 ? 0u - static_cast<std::uint32_t>(q) : static_cast<std::uint32_t>(q);
  if (modularmode && a > static_cast<std::uint32_t>(modulus / 2))
    a = static_cast<std::uint32_t>(modulus) - a;
  return highest_bit(a);
}

bool power_of_two(std::int32_t n) {
  std::uint32_t v = static_cast<std::uint32_t>(n);
  if (v == 0) return false;
  while ((v & 1u) == 0) v >>= 1;
  return v == 1;
}

namespace {

// x := v in every representation, as a constant: limbs, lint and flote.
void set_constant(number& x, std::int32_t v) {
  BigModeGuard big;
  setvalue(v, &x);
  x.lint = v;
  x.flote = v;
  x.imag = nullptr;
}

}  // namespace

void init_number_constants() {
  set_constant(number_1, 1);
  set_constant(number_m1, -1);
  set_constant(tens_base, 100000000);
  set_constant(num_2_14, 16384);
  for (int k = 0; k < 32; ++k) ones[k] = static_cast<std::int32_t>((std::uint32_t{1} << k) - 1u);
}

}  // namespace tavrin
