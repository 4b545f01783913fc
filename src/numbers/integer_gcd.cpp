// Integer GCDs: words, the binary GCD with division steps, the extended
// Euclidean algorithm with its quotient list, and GCDs of number values.
#include "numbers/integer_gcd.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <utility>
#include <vector>

#include "core/globals.h"
#include "core/thresholds.h"
#include "numbers/bigint.h"
#include "numbers/bigint_divide.h"
#include "numbers/freelists.h"
#include "numbers/limb_array.h"
#include "numbers/limb_list.h"
#include "numbers/word_array.h"
#include "numbers/word_hgcd_impl.h"

namespace tavrin {

using kit::digit;
using kit::limb_list;

namespace {

// A magnitude in one of the working buffers: digits d[0 .. n), normalised.
struct mag {
  digit* d;
  std::int32_t n;
};

bool is_zero(const mag& x) { return kit::mag_is_zero(x.d, x.n); }
bool is_one(const mag& x) { return kit::mag_is_one(x.d, x.n); }
int compare(const mag& a, const mag& b) { return kit::mag_compare(a.d, a.n, b.d, b.n); }
digit top(const mag& x) { return x.d[x.n - 1]; }

// |n| and |m| gathered into the buffers first and second, and third made
// ready for a working value of one digit; each holds max length + 2 digits.
struct operands {
  mag n, m, third;
};
operands gather_operands(imptr n, imptr m, kit::digit_buffer& first, kit::digit_buffer& second,
                         kit::digit_buffer& third) {
  const std::int32_t cap = std::max(n->size, m->size) + 2;
  const operands r{{first.get(cap), n->size}, {second.get(cap), m->size}, {third.get(cap), 1}};
  kit::gather(n, r.n.d);
  kit::gather(m, r.m.d);
  return r;
}

void copy_into(mag& to, const mag& from) {
  std::copy(from.d, from.d + from.n, to.d);
  to.n = from.n;
}

// x := x with its factors 2 taken out.
void make_odd(mag& x) { x.n = kit::mag_shift_right(x.d, x.n, kit::mag_trailing_zeros(x.d, x.n)); }

// r := a - b for a >= b.
void difference(mag& r, const mag& a, const mag& b) {
  copy_into(r, a);
  r.n = kit::mag_sub_inplace(r.d, r.n, b.d, b.n);
}

// x := x mod y (y non-zero); quotient digits into q when not null.
void reduce_mod(mag& x, const mag& y, digit* q) {
  if (x.n < y.n) {
    if (q != nullptr) q[0] = 0;
    return;
  }
  kit::mag_divmod(x.d, x.n, y.d, y.n, q);
  x.n = kit::normalised_length(x.d, y.n);
}

std::uint32_t magnitude(std::int32_t v) {
  return v < 0 ? 0u - static_cast<std::uint32_t>(v) : static_cast<std::uint32_t>(v);
}

// Gives x the list r without giving back what x held (the output records of
// extgcd whose limbs may be shared with an operand).
void put_fresh(imptr x, const limb_list& r) {
  x->head = r.head;
  x->tail = r.tail;
  x->size = r.size;
}

limb_list one_limb(std::int32_t v) {
  const digit d = magnitude(v);
  return kit::build_limbs(&d, 1, v < 0 ? -1 : 1);
}

limb_list abs_copy(imptr x) { return kit::copy_limbs(x->head, x->size, kit::sign_of_number(x)); }

// ---- Numbers of one or two limbs --------------------------------------------------

// The value of a number of one or two limbs.
std::int64_t word_value(imptr x) {
  return x->size == 1 ? x->head->value : std::int64_t{x->head->value} * limb_base + x->tail->value;
}

bool word_sized(imptr x) { return x->size >= 1 && x->size <= word_number_limbs; }

// gcd(a, b) of non-zero words by the binary method.
std::uint64_t word_gcd(std::uint64_t a, std::uint64_t b) {
  const int k = std::countr_zero(a | b);
  a >>= std::countr_zero(a);
  do {
    b >>= std::countr_zero(b);
    if (a > b) std::swap(a, b);
    b -= a;
  } while (b != 0);
  return a << k;
}

// x := sign * v (v below 2^56) from the head; `reuse`: x's old limbs are
// written over (what freeing them and building fresh ones leaves).
void set_word(imptr x, std::uint64_t v, bool negative, bool reuse) {
  kit::set_limbs_from_magnitude(x, v, negative, reuse);
}

// Numbers of up to four limbs (112 bits): their magnitudes as 128-bit words.
constexpr std::int32_t double_word_limbs = 4;
bool double_word_sized(imptr x) { return x->size >= 1 && x->size <= double_word_limbs; }
unsigned __int128 double_word_magnitude(imptr x) {
  unsigned __int128 v = 0;
  for (numptr l = x->head; l != nullptr; l = l->next)
    v = (v << 28) | static_cast<unsigned>(l->value < 0 ? -l->value : l->value);
  return v;
}

// gcd(a, b) of non-zero 128-bit words: remainders while either is wider
// than a word, then the binary method on words.
unsigned __int128 double_word_gcd(unsigned __int128 a, unsigned __int128 b) {
  while ((a >> 64) != 0 || (b >> 64) != 0) {
    if (a < b) std::swap(a, b);
    a %= b;
    if (a == 0) return b;
  }
  return word_gcd(static_cast<std::uint64_t>(a), static_cast<std::uint64_t>(b));
}

// ---- binary_gcd -----------------------------------------------------------------

kit::digit_buffer gcd_first, gcd_second, gcd_third;
kit::word_buffer gcd_words_a, gcd_words_b, gcd_words_g;

// gcd(|n|, |m|) for non-zero n and m on 64-bit words (Lehmer's method),
// both read straight from their limbs; *ng := its length in words.
kit::word* gcd_words(imptr n, imptr m, std::int32_t* ng) {
  using kit::word;
  const std::int32_t wcap = kit::words_for_digits(std::max(n->size, m->size)) + 1;
  word* wa = gcd_words_a.get(wcap);
  word* wb = gcd_words_b.get(wcap);
  const std::int32_t na = kit::words_of_limbs(wa, n->head, n->size);
  const std::int32_t nb = kit::words_of_limbs(wb, m->head, m->size);
  word* wg = gcd_words_g.get(wcap);
  *ng = kit::wgcd(wg, wa, na, wb, nb);
  return wg;
}

// The odd part of gcd(n1, m1) for odd non-zero n1, m1 (the working values,
// used up); the result is one of the three buffers.
mag odd_gcd(mag n1, mag m1, mag t) {
  // t := |n1 - m1|
  if (compare(n1, m1) >= 0) {
    difference(t, n1, m1);
  } else {
    difference(t, m1, n1);
  }
  while (!is_zero(t)) {
    make_odd(t);
    if (is_one(t)) return t;

    // A reduction of the pair: t replaces the larger, and m1 >= n1.
    if (compare(n1, m1) >= 0) {
      std::swap(n1, t);
    } else {
      std::swap(m1, t);
    }
    if (compare(m1, n1) < 0) std::swap(m1, n1);
    // Close in size: one subtraction first.
    if (m1.n == n1.n && 2 * static_cast<std::uint64_t>(top(n1)) > top(m1)) {
      difference(t, m1, n1);
      if (is_zero(t)) return n1;
      make_odd(t);
      if (is_one(t)) return t;
      std::swap(m1, n1);  // m1 := n1, n1 := t
      std::swap(n1, t);
    }
    // The remainder step: t := m1 mod n1.
    copy_into(t, m1);
    reduce_mod(t, n1, nullptr);
    if (is_zero(t)) return n1;
    if (n1.n == 1) {
      t.d[0] = static_cast<digit>(
          smallgcd(static_cast<std::int32_t>(n1.d[0]), static_cast<std::int32_t>(t.d[0])));
      return t;
    }
    make_odd(t);
    std::swap(m1, t);  // m1 := t
    difference(t, n1, m1);
    make_odd(t);
    if (is_one(t)) return t;

    if (n1.n == 1 && m1.n == 1) {
      t.d[0] = static_cast<digit>(
          smallgcd(static_cast<std::int32_t>(n1.d[0]), static_cast<std::int32_t>(m1.d[0])));
      t.n = 1;
      return t;
    }
    std::swap(n1, t);  // n1 := t
    if (compare(m1, n1) > 0) std::swap(n1, m1);
    difference(t, n1, m1);
  }
  return n1;
}

// ---- extgcd -----------------------------------------------------------------------

// The Euclidean quotients of one extgcd, oldest first: the digits of entry i
// are digits[entries[i].first ..] and its kind says how the step began:
// 0 a plain division, 1 after v := u - v, 2 after v := v - u.
struct quotient_entry {
  std::int32_t first;
  std::int32_t length;
  int kind;
};

struct quotient_list {
  std::vector<digit> digits;
  std::vector<quotient_entry> entries;
  void clear() {
    digits.clear();
    entries.clear();
  }
  // Room for a quotient of up to n digits as the newest entry.
  digit* open(std::int32_t n, int kind) {
    const auto first = static_cast<std::int32_t>(digits.size());
    digits.resize(digits.size() + static_cast<std::size_t>(n));
    entries.push_back({first, n, kind});
    return digits.data() + first;
  }
  void close_newest() {
    quotient_entry& e = entries.back();
    e.length = kit::normalised_length(digits.data() + e.first, e.length);
  }
};

quotient_list& recorded_quotients() {
  static quotient_list q;
  return q;
}

kit::digit_buffer ext_first, ext_second, ext_third;

// A cofactor being rebuilt.
using cofactor = std::vector<digit>;

std::int32_t length(const cofactor& c) { return static_cast<std::int32_t>(c.size()); }

void normalise(cofactor& c) {
  c.resize(static_cast<std::size_t>(kit::normalised_length(c.data(), length(c))));
}

cofactor from_digits(const digit* d, std::int32_t n) { return cofactor(d, d + n); }

// p := q a + b.
cofactor mul_add(const digit* q, std::int32_t nq, const cofactor& a, const cofactor& b) {
  cofactor p(static_cast<std::size_t>(nq + length(a) + 1), 0);
  kit::mag_mul_rows(p.data(), q, nq, a.data(), length(a));
  p.back() = 0;
  p.resize(static_cast<std::size_t>(std::max(length(p), length(b) + 1)), 0);
  kit::mag_add(p.data(), p.data(), length(p) - 1, b.data(), length(b));
  normalise(p);
  return p;
}

// a - b for a >= b.
cofactor minus(cofactor a, const cofactor& b) {
  const std::int32_t n = kit::mag_sub_inplace(a.data(), length(a), b.data(), length(b));
  a.resize(static_cast<std::size_t>(n));
  return a;
}

cofactor plus(const cofactor& a, const cofactor& b) {
  cofactor r(static_cast<std::size_t>(std::max(length(a), length(b)) + 1), 0);
  const std::int32_t n = kit::mag_add(r.data(), a.data(), length(a), b.data(), length(b));
  r.resize(static_cast<std::size_t>(n));
  return r;
}

kit::word_buffer quotient_words_u, quotient_words_g, quotient_words_q, quotient_words_r;

// |x| div g exactly, as a magnitude array.
cofactor exact_quotient(imptr x, const mag& g) {
  const std::int32_t s = x->size;
  cofactor u(static_cast<std::size_t>(s + 1), 0);
  kit::gather(x, u.data());
  const std::int32_t nu = kit::normalised_length(u.data(), s);
  if (nu < g.n) return cofactor(1, 0);
  if (g.n >= wide_divide_limbs) {  // on 64-bit words
    using kit::word;
    word* wu = quotient_words_u.get(kit::words_for_digits(nu));
    const std::int32_t mu = kit::words_of_digits(wu, u.data(), nu);
    word* wg = quotient_words_g.get(kit::words_for_digits(g.n));
    const std::int32_t mg = kit::words_of_digits(wg, g.d, g.n);
    if (mu < mg) return cofactor(1, 0);
    word* wq = quotient_words_q.get(mu - mg + 1);
    kit::wdivrem(wq, quotient_words_r.get(mg), wu, mu, wg, mg);
    cofactor q(static_cast<std::size_t>(kit::digits_for_words(mu - mg + 1)), 0);
    q.resize(static_cast<std::size_t>(kit::digits_of_words(q.data(), wq, mu - mg + 1)));
    return q;
  }
  cofactor q(static_cast<std::size_t>(nu - g.n + 1), 0);
  kit::mag_divmod(u.data(), nu, g.d, g.n, q.data());
  normalise(q);
  return q;
}

kit::word_buffer cofactor_words, cofactor_quotient;

// x / g exactly (g: ng words, normalised, dividing the non-zero x) with
// the sign of x, as fresh limbs.
limb_list exact_cofactor(imptr x, const kit::word* g, std::int32_t ng) {
  kit::word* a = cofactor_words.get(kit::words_for_digits(x->size) + 1);
  const std::int32_t na = kit::words_of_limbs(a, x->head, x->size);
  kit::word* q = cofactor_quotient.get(na - ng + 1);
  const std::int32_t nq = kit::wdivexact(q, a, na, g, ng);
  return kit::limbs_of_words(q, nq, kit::sign_of_number(x));
}

// The state extgcd hands to its finish.
struct ext_state {
  imptr n, m, gcd, qn, qm;
  bool* gcd1;
  bool swapped;
  bool do_ext_method;
};

// The cofactors: record copies when the GCD is 1; otherwise rebuilt from the
// quotient list (newest first) or, without it, divided out. With
// `initialize` the newest quotient starts the rebuild; otherwise a and b
// already hold the last pair divided by the GCD.
void wrapup(const ext_state& st, const mag& g, bool initialize, cofactor a, cofactor b) {
  quotient_list& ql = recorded_quotients();
  if (*st.gcd1) {
    *st.qn = *st.n;
    *st.qm = *st.m;
    ql.clear();
    return;
  }
  if (!st.do_ext_method) {
    a = exact_quotient(st.n, g);
    b = exact_quotient(st.m, g);
  } else {
    // (a, b) are the cofactors of (u, v); u was m when swapped.
    auto idx = static_cast<std::int32_t>(ql.entries.size()) - 1;
    if (initialize) {
      const quotient_entry& e = ql.entries[static_cast<std::size_t>(idx)];
      a = from_digits(ql.digits.data() + e.first, e.length);
      if (e.kind == 1) {
        b = minus(a, cofactor{1});
      } else {
        b = cofactor{1};
      }
      --idx;
    }
    for (; idx >= 0; --idx) {
      const quotient_entry& e = ql.entries[static_cast<std::size_t>(idx)];
      cofactor p = mul_add(ql.digits.data() + e.first, e.length, a, b);
      if (e.kind == 1) {
        b = minus(p, a);
      } else {
        b = std::move(a);
      }
      a = std::move(p);
    }
    if (!ql.entries.empty() && ql.entries.front().kind == 2) b = plus(b, a);
    ql.clear();
    if (st.swapped) std::swap(a, b);
  }
  put_fresh(st.qn, kit::build_limbs(a.data(), length(a), kit::sign_of_number(st.n)));
  put_fresh(st.qm, kit::build_limbs(b.data(), length(b), kit::sign_of_number(st.m)));
}

// extgcd with a zero operand.
void extgcd_with_zero(imptr n, imptr m, imptr gcd, imptr qn, imptr qm, bool* gcd1) {
  const bool nzero = kit::is_zero_number(n);
  const bool mzero = kit::is_zero_number(m);
  if (nzero && mzero) {
    kit::install_limbs(gcd, one_limb(0));
    *gcd1 = false;
    put_fresh(qn, one_limb(0));
    put_fresh(qm, one_limb(0));
    return;
  }
  imptr other = nzero ? m : n;
  kit::install_limbs(gcd, abs_copy(other));
  *gcd1 = other->size == 1 && magnitude(other->head->value) == 1;
  if (*gcd1) {
    *qn = *n;
    *qm = *m;
    return;
  }
  const std::int32_t unit = kit::sign_of_number(other);
  put_fresh(qn, one_limb(nzero ? 0 : unit));
  put_fresh(qm, one_limb(nzero ? unit : 0));
}

}  // namespace

// ---- Words and small helpers ----------------------------------------------------

std::int32_t smallgcd(std::int32_t u, std::int32_t v) {
  std::uint32_t a = magnitude(u);
  std::uint32_t b = magnitude(v);
  if (a == 0 || b == 0) return static_cast<std::int32_t>(a | b);
  std::int32_t k = 0;
  while (((a | b) & 1u) == 0) {
    a >>= 1;
    b >>= 1;
    ++k;
  }
  while ((a & 1u) == 0) a >>= 1;
  while ((b & 1u) == 0) b >>= 1;
  // Both odd and below 2^31 now.
  for (;;) {
    std::uint32_t t = a > b ? a - b : b - a;
    if (t == 0) break;
    while ((t & 1u) == 0) t >>= 1;
    if (t == 1) return static_cast<std::int32_t>(1u << k);
    if (a < b) {
      b = t;
    } else {
      a = t;
    }
  }
  return static_cast<std::int32_t>(a << k);
}

std::int32_t countup(std::int32_t n) {
  if (n == 0) return limb_bits;
  return std::countr_zero(static_cast<std::uint32_t>(n));
}

bool pos_bigger(imptr n, imptr m) {
  return fast_bigger(n->head, m->head, static_cast<std::int16_t>(n->size),
                     static_cast<std::int16_t>(m->size));
}

void shift_right(imptr n, std::int32_t m) {
  const std::int32_t whole = m / limb_bits;
  if (whole >= n->size) {
    special_set(0, n);
    return;
  }
  if (whole > 0) {
    numptr last = n->head;
    for (std::int32_t k = 1; k < n->size - whole; ++k) last = last->next;
    free_limb_list(last->next, n->tail);
    last->next = nullptr;
    n->tail = last;
    n->size = static_cast<std::int16_t>(n->size - whole);
  }
  gen_shift_right(n, m % limb_bits);
}

// ---- binary_gcd -----------------------------------------------------------------------

void binary_gcd(imptr n, imptr m, imptr ans) {
  if (kit::is_zero_number(n) || kit::is_zero_number(m)) {
    kit::install_limbs(ans, abs_copy(kit::is_zero_number(n) ? m : n));
    return;
  }
  if (word_sized(n) && word_sized(m)) {  // ans may be n: both are read first
    const std::int64_t x = word_value(n), y = word_value(m);
    set_word(ans,
             word_gcd(static_cast<std::uint64_t>(x < 0 ? -x : x),
                      static_cast<std::uint64_t>(y < 0 ? -y : y)),
             false, ans->size > 0);
    return;
  }
  if (double_word_sized(n) && double_word_sized(m)) {  // up to 112 bits
    const unsigned __int128 g = double_word_gcd(double_word_magnitude(n), double_word_magnitude(m));
    kit::set_limbs_from_magnitude(ans, g, false, ans->size > 0);
    return;
  }
  if (std::max(n->size, m->size) >= wide_gcd_limbs) {
    std::int32_t ng = 0;
    const kit::word* g = gcd_words(n, m, &ng);
    kit::install_limbs(ans, kit::limbs_of_words(g, ng, 1));
    return;
  }
  auto [n1, m1, t] = gather_operands(n, m, gcd_first, gcd_second, gcd_third);
  const std::int32_t nk = kit::mag_trailing_zeros(n1.d, n1.n);
  const std::int32_t mk = kit::mag_trailing_zeros(m1.d, m1.n);
  n1.n = kit::mag_shift_right(n1.d, n1.n, nk);
  m1.n = kit::mag_shift_right(m1.d, m1.n, mk);
  mag g = odd_gcd(n1, m1, t);
  g.n = kit::mag_shift_left(g.d, g.d, g.n, std::min(nk, mk));
  kit::install_limbs(ans, kit::build_limbs(g.d, g.n, 1));
}

// ---- extgcd -------------------------------------------------------------------------------

void extgcd(imptr n, imptr m, imptr gcd, imptr qn, imptr qm, bool* gcd1) {
  if (kit::is_zero_number(n) || kit::is_zero_number(m)) {
    extgcd_with_zero(n, m, gcd, qn, qm, gcd1);
    return;
  }
  if (word_sized(n) && word_sized(m)) {
    const std::int64_t x = word_value(n), y = word_value(m);
    const auto ax = static_cast<std::uint64_t>(x < 0 ? -x : x);
    const auto ay = static_cast<std::uint64_t>(y < 0 ? -y : y);
    const std::uint64_t g = word_gcd(ax, ay);
    set_word(gcd, g, false, gcd->size > 0);
    *gcd1 = g == 1;
    if (*gcd1) {
      *qn = *n;
      *qm = *m;
    } else {
      set_word(qn, ax / g, x < 0, false);
      set_word(qm, ay / g, y < 0, false);
    }
    return;
  }

  if (std::max(n->size, m->size) >= wide_gcd_limbs) {
    // The GCD on words, the cofactors by two exact divisions on words.
    std::int32_t ng = 0;
    const kit::word* g = gcd_words(n, m, &ng);
    kit::install_limbs(gcd, kit::limbs_of_words(g, ng, 1));
    *gcd1 = ng == 1 && g[0] == 1;
    if (*gcd1) {
      *qn = *n;
      *qm = *m;
    } else {
      put_fresh(qn, exact_cofactor(n, g, ng));
      put_fresh(qm, exact_cofactor(m, g, ng));
    }
    return;
  }
  auto [x, y, r] = gather_operands(n, m, ext_first, ext_second, ext_third);
  // u is the larger by length, then by top limb only.
  ext_state st{n, m, gcd, qn, qm, gcd1, false, true};
  st.swapped = y.n > x.n || (y.n == x.n && top(y) > top(x));
  mag u = st.swapped ? y : x;
  mag v = st.swapped ? x : y;

  quotient_list& ql = recorded_quotients();
  ql.clear();
  const std::int64_t total = n->size + m->size + 2;
  std::int64_t steps = 0;
  while (!is_zero(v)) {
    ++steps;
    int kind = 0;
    if (u.n == v.n && 2 * static_cast<std::uint64_t>(top(v)) > top(u)) {
      const int c = compare(u, v);
      if (c == 0) {  // u = 1 * v: the GCD is u
        if (st.do_ext_method) ql.open(1, 0)[0] = 1;
        break;
      }
      if (c < 0) {  // only possible in the first step
        v.n = kit::mag_sub_inplace(v.d, v.n, u.d, u.n);
        kind = 2;
      } else {
        difference(r, u, v);
        std::swap(v, r);
        kind = 1;
      }
    }
    // u := v, v := u mod v, the quotient recorded.
    digit* q = st.do_ext_method ? ql.open(std::max(u.n - v.n + 1, 1), kind) : nullptr;
    reduce_mod(u, v, q);
    if (q != nullptr) ql.close_newest();
    std::swap(u, v);
    if (st.do_ext_method) {
      // Rebuilding the cofactors costs about (c-1)(c div 11); dividing n and
      // m by a GCD of s limbs about (2T - 4s)s.
      const std::int64_t s = v.n;
      if ((steps - 1) * (steps / 11) > (2 * total - 4 * s) * s) {
        ql.clear();
        st.do_ext_method = false;
      }
    }
    if (u.n == 1 && !is_zero(v)) {
      const std::int32_t g =
          smallgcd(static_cast<std::int32_t>(u.d[0]), static_cast<std::int32_t>(v.d[0]));
      kit::install_limbs(gcd, one_limb(g));
      *gcd1 = g == 1;
      const digit gd = static_cast<digit>(g);
      const mag gm{r.d, 1};
      r.d[0] = gd;
      wrapup(st, gm, false, cofactor{u.d[0] / gd}, cofactor{v.d[0] / gd});
      return;
    }
  }
  kit::install_limbs(gcd, kit::build_limbs(u.d, u.n, 1));
  *gcd1 = is_one(u);
  wrapup(st, u, true, cofactor{}, cofactor{});
}

// ---- Cofactors by the half-GCD ------------------------------------------------------------

void half_gcd_cofactors(imptr a, imptr b, imptr g, imptr s, imptr t) {
  using kit::word;
  std::vector<word> wa(static_cast<std::size_t>(kit::words_for_digits(a->size)));
  std::vector<word> wb(static_cast<std::size_t>(kit::words_for_digits(b->size)));
  wa.resize(static_cast<std::size_t>(kit::words_of_limbs(wa.data(), a->head, a->size)));
  wb.resize(static_cast<std::size_t>(kit::words_of_limbs(wb.data(), b->head, b->size)));
  // x is the smaller of |a|, |b| (|a| when equal).
  const bool exchanged = kit::wcmp_norm(wa.data(), static_cast<std::int32_t>(wa.size()), wb.data(),
                                        static_cast<std::int32_t>(wb.size())) > 0;
  const std::vector<word>& x = exchanged ? wb : wa;
  const std::vector<word>& y = exchanged ? wa : wb;
  std::vector<word> gw;
  kit::signed_words sx, sy;
  kit::wgcdext(x.data(), static_cast<std::int32_t>(x.size()), y.data(),
               static_cast<std::int32_t>(y.size()), gw, sx, sy);
  if (exchanged) std::swap(sx, sy);
  // The cofactors of a and b, with the signs of a and b put on them.
  auto limbs_of = [](const kit::signed_words& v, bool flip) {
    static const word zero = 0;
    const bool negative = v.negative != flip && !v.mag.empty();
    return kit::limbs_of_words(v.mag.empty() ? &zero : v.mag.data(),
                               std::max<std::int32_t>(static_cast<std::int32_t>(v.mag.size()), 1),
                               negative ? -1 : 1);
  };
  const limb_list gl = kit::limbs_of_words(gw.data(), static_cast<std::int32_t>(gw.size()), 1);
  const limb_list sl = limbs_of(sx, kit::sign_of_number(a) < 0);
  const limb_list tl = limbs_of(sy, kit::sign_of_number(b) < 0);
  kit::install_limbs(g, gl);
  kit::install_limbs(s, sl);
  kit::install_limbs(t, tl);
}

// ---- Values ---------------------------------------------------------------------------------

void gcdnum(quolyptr n, quolyptr m) {
  imptr a = (*n)->ncoef;
  if (flotemode) {
    a->flote = 1.0L;
    return;
  }
  if (lintmode) {
    a->lint = 1;
    return;
  }
  imptr b = (*m)->ncoef;
  if (kit::is_zero_number(a)) {
    if (kit::sign_of_number(b) < 0)
      for (numptr p = b->head; p != nullptr; p = p->next) p->value = -p->value;
    free_quoly(n);
    *n = *m;
    *m = nullptr;
    return;
  }
  if (kit::is_zero_number(b)) {
    if (kit::sign_of_number(a) < 0)
      for (numptr p = a->head; p != nullptr; p = p->next) p->value = -p->value;
    return;
  }
  binary_gcd(a, b, a);
}

void gcd(imptr n, imptr m, imptr ans) {
  number a{};
  number b{};
  number r{};
  kit::install_limbs(&a, abs_copy(n));
  kit::install_limbs(&b, abs_copy(m));
  while (!kit::is_zero_number(&b)) {
    pos_divide_noq(a.head, b.head, b.tail, static_cast<std::int16_t>(a.size),
                   static_cast<std::int16_t>(b.size), &r);
    std::swap(a, b);  // a := b, b := the remainder
    std::swap(b, r);
  }
  kit::install_limbs(ans, limb_list{a.head, a.tail, a.size});
  special_free(&b);
  special_free(&r);
}

}  // namespace tavrin
