#include "numbers/base10.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "core/globals.h"
#include "core/mode_guard.h"
#include "core/thresholds.h"
#include "numbers/bigint.h"
#include "numbers/bigint_divide.h"
#include "numbers/limb_array.h"
#include "numbers/limb_list.h"
#include "numbers/word_array.h"

namespace tavrin {

using kit::append_limb;
using kit::install_limbs;
using kit::limb_list;

namespace {

// A magnitude in base 10^8, least significant group first; normalised
// means no leading zero group (zero is one group 0).
using groups = std::vector<std::uint32_t>;
constexpr std::uint64_t group_base = ten_8;

void trim(groups& a) {
  while (a.size() > 1 && a.back() == 0) a.pop_back();
  if (a.empty()) a.push_back(0);
}

bool is_zero(const groups& a) { return a.size() == 1 && a[0] == 0; }

// The magnitude of `count` limbs from p, and the sign of the number (+1 or
// -1, read from its first non-zero limb).
groups gather(numptr p, std::int32_t count, std::int32_t* sign) {
  groups a(static_cast<std::size_t>(count));
  *sign = 1;
  bool signed_yet = false;
  for (std::int32_t k = count - 1; k >= 0 && p != nullptr; --k, p = p->next) {
    const std::int32_t v = p->value;
    if (!signed_yet && v != 0) {
      *sign = v < 0 ? -1 : 1;
      signed_yet = true;
    }
    a[static_cast<std::size_t>(k)] = static_cast<std::uint32_t>(std::abs(v));
  }
  trim(a);
  return a;
}

// A fresh limb list of sign * a, most significant first; *penult (when not
// null) := the limb before the tail.
limb_list build(const groups& a, std::int32_t sign, numptr* penult = nullptr) {
  limb_list r;
  numptr before_tail = nullptr;
  for (std::size_t k = a.size(); k-- > 0;) {
    before_tail = r.tail;
    append_limb(r, sign * static_cast<std::int32_t>(a[k]));
  }
  if (penult != nullptr) *penult = before_tail;
  return r;
}

// a += b * base^shift.
void add_shifted(groups& a, const groups& b, std::size_t shift) {
  if (a.size() < b.size() + shift + 1) a.resize(b.size() + shift + 1, 0);
  std::uint64_t carry = 0;
  std::size_t k = shift;
  for (std::size_t i = 0; i < b.size() || carry != 0; ++i, ++k) {
    if (k == a.size()) a.push_back(0);
    const std::uint64_t t = a[k] + (i < b.size() ? b[i] : 0) + carry;
    a[k] = static_cast<std::uint32_t>(t % group_base);
    carry = t / group_base;
  }
  trim(a);
}

// a -= b for a >= b.
void sub_inplace(groups& a, const groups& b) {
  std::int64_t borrow = 0;
  for (std::size_t i = 0; i < a.size(); ++i) {
    std::int64_t t = std::int64_t{a[i]} - (i < b.size() ? b[i] : 0) - borrow;
    borrow = t < 0 ? 1 : 0;
    if (t < 0) t += static_cast<std::int64_t>(group_base);
    a[i] = static_cast<std::uint32_t>(t);
  }
  trim(a);
}

groups mul_rows(const groups& a, const groups& b) {
  groups r(a.size() + b.size(), 0);
  for (std::size_t i = 0; i < a.size(); ++i) {
    std::uint64_t carry = 0;
    for (std::size_t j = 0; j < b.size(); ++j) {
      const std::uint64_t t = r[i + j] + std::uint64_t{a[i]} * b[j] + carry;
      r[i + j] = static_cast<std::uint32_t>(t % group_base);
      carry = t / group_base;
    }
    for (std::size_t k = i + b.size(); carry != 0; ++k) {
      const std::uint64_t t = r[k] + carry;
      r[k] = static_cast<std::uint32_t>(t % group_base);
      carry = t / group_base;
    }
  }
  trim(r);
  return r;
}

groups part(const groups& a, std::size_t from, std::size_t to) {
  groups r(a.begin() + static_cast<std::ptrdiff_t>(from),
           a.begin() + static_cast<std::ptrdiff_t>(to));
  trim(r);
  return r;
}

// The product by rows, or by Karatsuba's recursion when both sizes exceed
// 10 and neither is twice the other.
groups mul_fast(const groups& a, const groups& b) {
  const std::size_t na = a.size(), nb = b.size();
  if (na <= 10 || nb <= 10 || na >= 2 * nb || nb >= 2 * na) return mul_rows(a, b);
  const std::size_t h = std::max(na / 2, nb / 2);
  const groups a0 = part(a, 0, h), a1 = part(a, h, na);
  const groups b0 = part(b, 0, h), b1 = part(b, h, nb);
  const groups z2 = mul_fast(a1, b1);
  const groups z0 = mul_fast(a0, b0);
  groups sa = a0, sb = b0;
  add_shifted(sa, a1, 0);
  add_shifted(sb, b1, 0);
  groups z1 = mul_fast(sa, sb);
  sub_inplace(z1, z2);
  sub_inplace(z1, z0);
  groups r = z0;
  if (!is_zero(z1)) add_shifted(r, z1, h);
  if (!is_zero(z2)) add_shifted(r, z2, 2 * h);
  return r;
}

// ans := sign(n) sign(m) * product(|n|, |m|).
template <class Product>
void signed_product(imptr n, imptr m, imptr ans, Product product) {
  std::int32_t sn = 1, sm = 1;
  const groups a = gather(n->head, n->size, &sn);
  const groups b = gather(m->head, m->size, &sm);
  const groups r = product(a, b);
  install_limbs(ans, build(r, is_zero(r) ? 1 : sn * sm));
}

// ans := (the na limbs from p) + sign_q * (the nq limbs from q), limb base
// vblock, all digits of the result with the sign of the result.
void signed_sum(numptr p, std::int32_t np, numptr q, std::int32_t nq, std::int32_t sign_q,
                imptr ans, std::int32_t vblock) {
  std::vector<std::int64_t> d(static_cast<std::size_t>(std::max(np, nq)) + 1, 0);
  for (std::int32_t k = np - 1; k >= 0 && p != nullptr; --k, p = p->next)
    d[static_cast<std::size_t>(k)] += p->value;
  for (std::int32_t k = nq - 1; k >= 0 && q != nullptr; --k, q = q->next)
    d[static_cast<std::size_t>(k)] += std::int64_t{sign_q} * q->value;
  // Carry into the open range (-vblock, vblock).
  std::int64_t carry = 0;
  for (std::int64_t& v : d) {
    v += carry;
    carry = v / vblock;
    v %= vblock;
  }
  while (carry != 0) {
    d.push_back(carry % vblock);
    carry /= vblock;
  }
  std::size_t top = d.size();
  while (top > 0 && d[top - 1] == 0) --top;
  limb_list r;
  if (top == 0) {
    r = build(groups{0}, 1);
  } else {
    // The top digit outweighs all below it: give every digit its sign.
    const std::int64_t s = d[top - 1] > 0 ? 1 : -1;
    for (std::size_t k = 0; k + 1 < top; ++k) {
      if (d[k] * s < 0) {
        d[k] += s * vblock;
        d[k + 1] -= s;
      }
    }
    while (top > 1 && d[top - 1] == 0) --top;
    for (std::size_t k = top; k-- > 0;) append_limb(r, static_cast<std::int32_t>(d[k]));
  }
  install_limbs(ans, r);
}

}  // namespace

void make_base_10(imptr n, imptr n2) {
  // The magnitude's digits divided by 10^8 again and again from the top, as
  // dividing the number by 10^8 repeatedly would, on a copy; each group
  // carries n's sign, as a remainder by 10^8 does.
  static kit::digit_buffer digits;
  static std::vector<std::uint32_t> found;
  const std::int32_t s = n->size;
  kit::digit* u = digits.get(s);
  kit::gather(n, u);
  std::int32_t len = kit::normalised_length(u, s);
  const bool negative = n->head->value < 0;
  found.clear();
  do {
    std::uint64_t r = 0;
    for (std::int32_t i = len; i-- > 0;) {
      const std::uint64_t t = (r << limb_bits) | u[i];
      u[i] = static_cast<kit::digit>(t / group_base);
      r = t % group_base;
    }
    found.push_back(static_cast<std::uint32_t>(r));
    while (len > 1 && u[len - 1] == 0) --len;
  } while (len > 1 || u[0] != 0);
  kit::set_limbs_from(n2, found.data(), static_cast<std::int32_t>(found.size()), negative,
                      n2->size > 0);
}

void verybig_base_10(numptr p, numptr t, std::int16_t size, imptr n2) {
  // Without the powers of 2^28 (data file pow228) the words do it all.
  if (size >= wide_decimal_limbs || (size >= 10 && !usable(data_file::pow228))) {
    // On 64-bit words: the magnitude's groups, then the sign on each.
    std::int32_t sign = 1;
    for (numptr l = p; l != nullptr && l != t->next; l = l->next) {
      if (l->value != 0) {
        sign = l->value < 0 ? -1 : 1;
        break;
      }
    }
    static kit::word_buffer words;
    static groups g;
    kit::word* w = words.get(kit::words_for_digits(size) + 1);
    const std::int32_t nw = kit::words_of_limbs(w, p, size);
    kit::wdecimal(w, nw, g);
    install_limbs(n2, build(g, is_zero(g) ? 1 : sign));
    return;
  }
  if (size < 10) {
    ScopedValue<numptr> cut(t->next, nullptr);  // the limbs end at t for the call
    number whole{};
    whole.head = p;
    whole.tail = t;
    whole.size = size;
    make_base_10(&whole, n2);
    return;
  }
  const std::int32_t h = size / 2;
  const std::int32_t k = size - h;
  numptr upper_tail = p;
  for (std::int32_t i = 1; i < h; ++i) upper_tail = upper_tail->next;
  numptr low = upper_tail->next;
  std::int32_t low_size = k;
  while (low_size > 1 && low->value == 0) {
    low = low->next;
    --low_size;
  }

  number hi{}, lo{}, power{};
  verybig_base_10(p, upper_tail, static_cast<std::int16_t>(h), &hi);
  verybig_base_10(low, t, static_cast<std::int16_t>(low_size), &lo);
  imptr multiplier = &two_28[k - 1 < 130 ? k - 1 : 129];
  if (k > 130) {
    fast_num_assign(two_28[129].head, static_cast<std::int16_t>(two_28[129].size), &power);
    std::int32_t j = k - 130;
    for (; j >= 130; j -= 130) base_10_fast_mult(&power, &two_28[129], &power);
    if (j > 0) base_10_fast_mult(&power, &two_28[j - 1], &power);
    multiplier = &power;
  }
  base_10_fast_mult(&hi, multiplier, &hi);
  summ(&lo, &hi, n2, ten_8);
  special_free(&hi);
  special_free(&lo);
  special_free(&power);
}

void number_of_groups(const std::uint32_t* groups, std::int64_t count, imptr x) {
  static std::vector<kit::word> w;
  const std::int32_t n = kit::wfrom_decimal(groups, count, w);
  install_limbs(x, kit::limbs_of_words(w.data(), n, 1));
}

void summ(imptr n, imptr m, imptr ans, std::int32_t vblock) {
  signed_sum(n->head, n->size, m->head, m->size, 1, ans, vblock);
}

void diff(numptr p, std::int16_t size, imptr m, imptr ans, std::int32_t vblock) {
  signed_sum(p, size, m->head, m->size, -1, ans, vblock);
}

void simp_base_10_mult(imptr n, imptr ans, std::int32_t m, numptrptr penult) {
  std::int32_t sn = 1;
  const groups a = gather(n->head, n->size, &sn);
  const groups b{static_cast<std::uint32_t>(std::abs(m))};
  const groups r = mul_rows(a, b);
  const std::int32_t sign = is_zero(r) ? 1 : (m < 0 ? -sn : sn);
  install_limbs(ans, build(r, sign, penult));
}

void base_10_fast_mult(imptr n, imptr m, imptr ans) { signed_product(n, m, ans, mul_fast); }

void base_10_multiply(imptr n, imptr m, imptr ans) { signed_product(n, m, ans, mul_rows); }

}  // namespace tavrin
