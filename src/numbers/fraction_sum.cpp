// Sums of fractions with a one-limb denominator (fraction_sum.h).
#include "numbers/fraction_sum.h"

#include <algorithm>
#include <cstdint>
#include <numeric>

#include "numbers/limb_array.h"
#include "numbers/limb_list.h"

namespace tavrin {

namespace {

using kit::digit;

kit::digit_buffer sum_a, sum_b, sum_c, sum_first, sum_second;

// A magnitude in one of the buffers: digits d[0 .. n), normalised.
struct mag {
  digit* d;
  std::int32_t n;
};

// |x| gathered into buf (room digits at least).
mag gathered(imptr x, kit::digit_buffer& buf, std::int32_t room) {
  mag r{buf.get(std::max(room, x->size + 2)), x->size};
  kit::gather(x, r.d);
  return r;
}

// r := x * m for m < 2^28 (r has room for x.n + 1 digits; may be x).
void times_digit(mag& r, const mag& x, digit m) {
  kit::mag_mul_1(r.d, x.d, x.n, m);
  r.n = kit::normalised_length(r.d, x.n + 1);
}

// r := x m + y k for one-digit m and k, in one pass (r has room for
// max(x.n, y.n) + 2 digits; it may be x).
void linear_combination(mag& r, const mag& x, digit m, const mag& y, digit k) {
  const std::int32_t common = std::min(x.n, y.n), n = std::max(x.n, y.n);
  std::uint64_t carry = 0;
  auto put = [&](std::int32_t i, std::uint64_t v) {
    v += carry;
    r.d[i] = static_cast<digit>(v & kit::digit_mask);
    carry = v >> limb_bits;
  };
  for (std::int32_t i = 0; i < common; ++i)
    put(i, std::uint64_t{x.d[i]} * m + std::uint64_t{y.d[i]} * k);
  for (std::int32_t i = common; i < x.n; ++i) put(i, std::uint64_t{x.d[i]} * m);
  for (std::int32_t i = common; i < y.n; ++i) put(i, std::uint64_t{y.d[i]} * k);
  r.d[n] = static_cast<digit>(carry & kit::digit_mask);
  r.d[n + 1] = static_cast<digit>(carry >> limb_bits);
  r.n = kit::normalised_length(r.d, n + 2);
}

}  // namespace

fraction_sum_result short_fraction_sum(imptr a, imptr b, imptr c, std::int32_t d, bool add,
                                       imptr num, imptr den, bool* numerator_gcd) {
  const auto dd = static_cast<digit>(d);
  const std::int32_t room = std::max({a->size, b->size, c->size}) + b->size + 4;
  // g1 := gcd(b, d), n1 := b / g1, n2 := d / g1.
  const mag mb{sum_b.get(std::max(room, b->size + 2)), b->size};
  const digit g1 = std::gcd(kit::gather_mod_1(b, mb.d, dd), dd);
  mag ma = gathered(a, sum_a, room);
  const mag mc = gathered(c, sum_c, room);
  const digit n2 = dd / g1;
  mag n1 = mb;
  if (g1 > 1) {
    n1 = {sum_first.get(room), 0};
    n1.n = kit::mag_divexact_1(n1.d, mb.d, mb.n, g1);
  }
  const bool a_negative = kit::sign_of_number(a) < 0;
  const bool c_negative = (kit::sign_of_number(c) < 0) == add;  // the sign c enters with
  mag s = ma;
  bool negative = a_negative;
  if (a_negative == c_negative && mc.n == 1) {
    // s := a n2 + c n1 in one pass, in a's buffer
    linear_combination(s, ma, n2, n1, mc.d[0]);
  } else {
    // t := a n2 (in a's buffer), u := c n1; s := +-t +- u.
    mag t = ma;
    if (n2 > 1) times_digit(t, ma, n2);
    mag u = n1;
    if (mc.n > 1 || mc.d[0] != 1) {
      u = {sum_second.get(room), 0};
      if (mc.n == 1) {
        times_digit(u, n1, mc.d[0]);
      } else {
        const bool n1_longer = n1.n >= mc.n;
        kit::mag_mul(u.d, n1_longer ? n1.d : mc.d, std::max(n1.n, mc.n), n1_longer ? mc.d : n1.d,
                     std::min(n1.n, mc.n), multcut);
        u.n = kit::normalised_length(u.d, n1.n + mc.n);
      }
    }
    s = t;
    if (a_negative == c_negative) {
      s.n = kit::mag_add(t.d, t.d, t.n, u.d, u.n);
    } else if (kit::mag_compare(t.d, t.n, u.d, u.n) >= 0) {
      s.n = kit::mag_sub_inplace(t.d, t.n, u.d, u.n);
    } else {
      if (u.d == n1.d) {  // n1 is read again below: subtract into the second buffer
        u = {sum_second.get(room), n1.n};
        std::copy(n1.d, n1.d + n1.n, u.d);
      }
      s = u;
      s.n = kit::mag_sub_inplace(u.d, u.n, t.d, t.n);
      negative = c_negative;
    }
  }
  *numerator_gcd = false;
  if (kit::mag_is_zero(s.d, s.n)) return fraction_sum_result::zero;
  // g2 := gcd(s, g1) cancels; the denominator is n1 (d / g2).
  digit g2 = 1;
  if (g1 > 1) {
    *numerator_gcd = true;
    g2 = std::gcd(kit::mag_mod_1(s.d, s.n, g1), g1);
    if (g2 > 1) {
      s.n = kit::mag_divexact_1(s.d, s.d, s.n, g2);
    }
  }
  kit::install_limbs(num, kit::build_limbs(s.d, s.n, negative ? -1 : 1));
  const digit m = dd / g2;
  if (m == g1) return fraction_sum_result::same_denominator;  // n1 g1 = b
  // The denominator n1 m, in c's buffer (c is no longer needed; s and n1
  // are never there).
  mag r{sum_c.get(room), 0};
  times_digit(r, n1, m);
  kit::install_limbs(den, kit::build_limbs(r.d, r.n, 1));
  return fraction_sum_result::fraction;
}

}  // namespace tavrin
