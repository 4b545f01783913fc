// Products through flat monomial arrays: gathering, the dense-cell and heap
// summations, and the rebuilding of recursive lists.
#include "poly/poly_flat_mult.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <deque>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "core/globals.h"
#include "core/interrupts.h"
#include "core/thresholds.h"
#include "numbers/bigint.h"
#include "numbers/bigint_multiply.h"
#include "numbers/bigint_wide.h"
#include "numbers/freelists.h"
#include "numbers/limb_array.h"
#include "numbers/node_handles.h"
#include "numbers/word_array.h"
#include "poly/poly_flat_impl.h"

namespace tavrin {

namespace detail {
int flat_products_running = 0;
}  // namespace detail

flat_mult_counts flat_mult_methods{};

namespace {

// The most limbs the slots of the dividend of one quotient may take.
constexpr double kronecker_quotient_limbs = 4e6;

using detail::Flat;
using detail::flat_max_levels;
using detail::FlatScan;
using detail::high_part;
using detail::mask_below;
using detail::Packing;
using detail::WordTerms;
using nodes::new_leaf;
using nodes::new_term;

enum class Coefs { residues, small_integers, big_integers };

// ---- Gathering -------------------------------------------------------------------------

void scan(poly p, int level, bool modular, FlatScan& s, const Ring& ring) {
  for (; p != nullptr && s.ok; p = p->next) {
    if (p->numb) {
      ++s.terms;
      const imptr c = p->ncoef;
      if (modular) {
        if (c->lint < 0 || c->lint >= ring.modulus) s.ok = false;
      } else if (s.small) {
        std::int64_t v = 0;
        if (small_number_value(c, &v)) {
          s.maxabs = std::max<std::uint64_t>(s.maxabs, static_cast<std::uint64_t>(v < 0 ? -v : v));
        } else {
          s.small = false;
        }
      }
      continue;
    }
    if (p->exp < 0 || level >= flat_max_levels) {
      s.ok = false;
      return;
    }
    s.maxexp[static_cast<std::size_t>(level)] =
        std::max<std::int64_t>(s.maxexp[static_cast<std::size_t>(level)], p->exp);
    s.depth = std::max(s.depth, level + 1);
    scan(p->pcoef, level + 1, modular, s, ring);
  }
}

void pack(poly p, int level, std::uint64_t prefix, const Packing& pk, Coefs coefs, Flat& f) {
  for (; p != nullptr; p = p->next) {
    if (!p->numb) {
      pack(p->pcoef, level + 1,
           prefix +
               (static_cast<std::uint64_t>(p->exp) << pk.shift[static_cast<std::size_t>(level)]),
           pk, coefs, f);
      continue;
    }
    f.key.push_back(prefix);
    if (coefs == Coefs::residues) {
      f.val.push_back(p->ncoef->lint);
    } else if (coefs == Coefs::small_integers) {
      std::int64_t v = 0;
      small_number_value(p->ncoef, &v);
      f.val.push_back(v);
    } else {
      f.num.push_back(p->ncoef);
    }
  }
}

// ---- The product's terms with long coefficients ---------------------------------------------

// The product's terms in decreasing key order; the numbers are owned here
// until the lists take them.
struct Terms {
  std::vector<std::uint64_t> key;
  std::vector<imptr> num;
  Terms() = default;
  Terms(const Terms&) = delete;
  Terms& operator=(const Terms&) = delete;
  ~Terms() {
    for (imptr& x : num)
      if (x != nullptr) free_imag(&x);
  }
  void push(std::uint64_t k, imptr c) {
    key.push_back(k);
    num.push_back(c);
  }
};

// ---- Heap of row heads -------------------------------------------------------------------

struct HeapEntry {
  std::uint64_t key;
  std::uint32_t i, j;
};

// Restores the max-heap order below position 0 after its entry changed.
inline void sift_down(std::vector<HeapEntry>& h, std::size_t n) {
  std::size_t k = 0;
  const HeapEntry e = h[0];
  for (;;) {
    std::size_t c = 2 * k + 1;
    if (c >= n) break;
    if (c + 1 < n && h[c + 1].key > h[c].key) ++c;
    if (h[c].key <= e.key) break;
    h[k] = h[c];
    k = c;
  }
  h[k] = e;
}

// Visits the term products in decreasing key order: for each key,
// start(key), then add(i, j) for every pair with that key, then end().
// a is the outer (shorter) operand.
template <class Start, class Add, class End>
void heap_walk(const Flat& a, const Flat& b, Start start, Add add, End end) {
  const std::uint32_t na = static_cast<std::uint32_t>(a.key.size());
  const std::uint32_t nb = static_cast<std::uint32_t>(b.key.size());
  std::vector<HeapEntry> h(na);
  // a's keys decrease, so the first row heads already form a heap.
  for (std::uint32_t i = 0; i < na; ++i) h[i] = {a.key[i] + b.key[0], i, 0};
  std::size_t n = na;
  while (n > 0) {
    const std::uint64_t k = h[0].key;
    start(k);
    while (n > 0 && h[0].key == k) {
      const HeapEntry e = h[0];
      add(e.i, e.j);
      if (e.j + 1 < nb) {
        h[0] = {a.key[e.i] + b.key[e.j + 1], e.i, e.j + 1};
      } else {
        h[0] = h[--n];
      }
      if (n > 1) sift_down(h, n);
    }
    end();
  }
}

void heap_big(const Flat& a, const Flat& b, Terms& out) {
  std::optional<nodes::OwnedNumber> acc;  // the sum of the current key's products
  std::uint64_t key = 0;
  std::int64_t until_poll = detail::flat_poll_products / 16;  // each product a long one
  heap_walk(
      a, b, [&](std::uint64_t k) { key = k; },
      [&](std::uint32_t i, std::uint32_t j) {
        if (--until_poll < 0) {
          until_poll = detail::flat_poll_products / 16;
          check_interrupt();
        }
        nodes::OwnedNumber term;
        fast_mult(a.num[i], b.num[j], term.get());
        if (!acc) {
          acc.emplace(term.release());
        } else {
          fastsum(acc->get(), term.get());
        }
      },
      [&]() {
        const imptr sum = acc->get();
        if (sum->size != 1 || sum->head->value != 0) {
          out.push(key, sum);
          acc->release();
        }
        acc.reset();
      });
}

// ---- Scaled copies of a long operand ------------------------------------------------------

// s has at most flat_scaled_terms terms (and kit::lazy_row_terms), each
// coefficient of one limb.
bool scales_by(const Flat& s) {
  if (s.key.size() > static_cast<std::size_t>(std::min(flat_scaled_terms, kit::lazy_row_terms)))
    return false;
  return std::all_of(s.num.begin(), s.num.end(), [](imptr x) { return x->size == 1; });
}

// The product of s (scales_by) and f through the heap of s's rows, each
// row f's copy scaled by one term of s: f's coefficients are gathered once
// as digits, and each product coefficient, at most lazy_row_terms scaled
// digit rows, is summed in word cells and carried once. With an addend g
// (packed alike; s then has fewer than lazy_row_terms terms) the result is
// s f + g_sign g: a term of g at a key of the product is one more row of
// its sum, the others go out as copies between the product's keys.
void scaled_merge(const Flat& s, const Flat& f, Terms& out, const Flat* g = nullptr,
                  std::int32_t g_sign = 1) {
  std::vector<kit::digit> digits;
  std::vector<std::size_t> start(f.num.size() + 1, 0);
  std::vector<std::int8_t> negative(f.num.size());
  std::int32_t longest = 0;
  for (std::size_t j = 0; j < f.num.size(); ++j) {
    const imptr x = f.num[j];
    start[j] = digits.size();
    digits.resize(digits.size() + static_cast<std::size_t>(x->size));
    kit::gather(x, digits.data() + start[j]);
    negative[j] = kit::sign_of_number(x) < 0 ? 1 : 0;
    longest = std::max<std::int32_t>(longest, x->size);
  }
  start[f.num.size()] = digits.size();
  const std::size_t g_terms = g != nullptr ? g->num.size() : 0;
  std::int32_t g_longest = 0;
  for (std::size_t j = 0; j < g_terms; ++j)
    g_longest = std::max<std::int32_t>(g_longest, g->num[j]->size);
  longest = std::max(longest, g_longest);
  std::vector<std::int64_t> factor(s.num.size());
  for (std::size_t i = 0; i < s.num.size(); ++i) factor[i] = s.num[i]->head->value;
  std::vector<std::int64_t> acc(static_cast<std::size_t>(longest), 0);
  std::vector<kit::digit> r(static_cast<std::size_t>(longest) + 2);
  std::vector<kit::digit> g_digits(static_cast<std::size_t>(g_longest));
  std::size_t gi = 0;  // g's next term
  // g's term gi as digits; returns its sign times g_sign.
  auto gather_g = [&]() {
    kit::gather(g->num[gi], g_digits.data());
    return kit::sign_of_number(g->num[gi]) * g_sign;
  };
  // g's terms of keys above k (all when k is nil) go out as they are.
  auto copy_g_above = [&](const std::uint64_t* k) {
    for (; gi < g_terms && (k == nullptr || g->key[gi] > *k); ++gi) {
      const std::int32_t sign = gather_g();
      out.push(g->key[gi], number_from_digits(g_digits.data(), g->num[gi]->size, sign));
    }
  };
  std::uint64_t key = 0;
  std::int32_t used = 0;  // the cells the current sum has reached
  std::int64_t until_poll = detail::flat_poll_products / 16;
  heap_walk(
      s, f,
      [&](std::uint64_t k) {
        copy_g_above(&k);
        key = k;
        used = 0;
      },
      [&](std::uint32_t i, std::uint32_t j) {
        if (--until_poll < 0) {
          until_poll = detail::flat_poll_products / 16;
          check_interrupt();
        }
        const auto n = static_cast<std::int32_t>(start[j + 1] - start[j]);
        kit::lazy_addmul_1(acc.data(), digits.data() + start[j], n,
                           negative[j] != 0 ? -factor[i] : factor[i]);
        used = std::max(used, n);
      },
      [&]() {
        if (gi < g_terms && g->key[gi] == key) {
          const std::int32_t sign = gather_g();
          const std::int32_t n = g->num[gi]->size;
          kit::lazy_addmul_1(acc.data(), g_digits.data(), n, sign);
          used = std::max(used, n);
          ++gi;
        }
        std::int32_t sign = 1;
        const std::int32_t n = kit::lazy_settle(acc.data(), used, r.data(), &sign);
        if (!kit::mag_is_zero(r.data(), n)) out.push(key, number_from_digits(r.data(), n, sign));
      });
  copy_g_above(nullptr);
}

// ---- One big-integer product or quotient (Kronecker substitution) -----------------------

// The bits of |x|.
std::int64_t number_bits(imptr x) {
  const std::int32_t top = x->head->value < 0 ? -x->head->value : x->head->value;
  return static_cast<std::int64_t>(x->size - 1) * limb_bits +
         std::bit_width(static_cast<std::uint32_t>(top));
}

std::int64_t largest_bits(const Flat& f) {
  std::int64_t bits = 0;
  for (const imptr x : f.num) bits = std::max(bits, number_bits(x));
  return bits;
}

// The bits of a bound on the sum of |coefficient| over f, whose largest
// coefficient has `top` bits: each |c| is below 2^bits(c), and one bit
// more covers the rounding of the sum.
std::int64_t sum_bits(const Flat& f, std::int64_t top) {
  double s = 0;
  for (const imptr x : f.num)
    s += std::ldexp(1.0, static_cast<int>(std::max<std::int64_t>(number_bits(x) - top, -1000)));
  return top + static_cast<std::int64_t>(std::ceil(std::log2(s))) + 1;
}

using kit::digit;
using kit::word;

// A polynomial becomes one integer, the sum of its coefficients times
// 2^(28 L i), i its term's exponents read in a mixed radix (level k's digit
// below radix[k], the lowest level the least significant). While exponent
// sums stay below the radices and coefficients below 2^(28 L - 1) in
// magnitude, products and exact quotients of polynomials are those of
// their integers, read back slot by slot as balanced digits.
struct Slots {
  const Packing& pk;
  std::array<std::uint64_t, flat_max_levels> radix{}, stride{};
  std::size_t L = 1;       // digits a slot
  std::uint64_t span = 1;  // the slots of all exponent vectors

  explicit Slots(const Packing& p) : pk(p) {}
  // Radices from the largest exponents per level; false when the slots of
  // all exponent vectors would pass 2^30.
  bool set_radices(const std::array<std::int64_t, flat_max_levels>& top) {
    double span = 1;
    for (int k = pk.depth - 1; k >= 0; --k) {
      const auto kk = static_cast<std::size_t>(k);
      radix[kk] = static_cast<std::uint64_t>(top[kk]) + 1;
      stride[kk] = static_cast<std::uint64_t>(span);
      span *= static_cast<double>(radix[kk]);
      if (span > 1e9) return false;
    }
    this->span = static_cast<std::uint64_t>(span);
    return true;
  }
  std::uint64_t index_of(std::uint64_t key) const {
    std::uint64_t i = 0;
    for (int k = 0; k < pk.depth; ++k) {
      const auto kk = static_cast<std::size_t>(k);
      i += static_cast<std::uint64_t>(pk.field(key, k)) * stride[kk];
    }
    return i;
  }
  std::uint64_t key_of(std::uint64_t index) const {
    std::uint64_t key = 0;
    for (int k = pk.depth - 1; k >= 0; --k) {
      const auto kk = static_cast<std::size_t>(k);
      key |= (index % radix[kk]) << pk.shift[kk];
      index /= radix[kk];
    }
    return key;
  }
  // w := |integer of f| as normalised words (its length returned), *sign its
  // sign. f's keys decrease, so its first term has the highest slot.
  std::int32_t pack_words(const Flat& f, std::vector<word>& w, int* sign) const {
    return pack_words(f, 0, f.key.size(), 0, w, sign);
  }
  // The same for the terms [t0, t1) of f, their slots taken less `base` (at
  // most the lowest of them).
  std::int32_t pack_words(const Flat& f, std::size_t t0, std::size_t t1, std::uint64_t base,
                          std::vector<word>& w, int* sign) const {
    const std::size_t len = static_cast<std::size_t>(index_of(f.key[t0]) - base + 1) * L;
    std::vector<digit> pos(len, 0), neg;  // neg only when some coefficient is negative
    for (std::size_t t = t0; t < t1; ++t) {
      const imptr x = f.num[t];
      const bool negative = kit::sign_of_number(x) < 0;
      if (negative && neg.empty()) neg.assign(len, 0);
      kit::gather(x, (negative ? neg.data() : pos.data()) + (index_of(f.key[t]) - base) * L);
    }
    const auto dn = static_cast<std::int32_t>(len);
    const std::int32_t np = kit::normalised_length(pos.data(), dn);
    *sign = 1;
    std::int32_t nr = np;
    const digit* r = pos.data();
    if (!neg.empty()) {
      const std::int32_t nn = kit::normalised_length(neg.data(), dn);
      if (kit::mag_compare(pos.data(), np, neg.data(), nn) >= 0) {
        nr = kit::mag_sub_inplace(pos.data(), np, neg.data(), nn);
      } else {
        nr = kit::mag_sub_inplace(neg.data(), nn, pos.data(), np);
        r = neg.data();
        *sign = -1;
      }
    }
    w.assign(static_cast<std::size_t>(kit::words_for_digits(nr)), 0);
    return kit::words_of_digits(w.data(), r, nr);
  }
  // The terms of sign * w (nw words), read slot by slot from the lowest: a
  // slot of 2^(28 L - 1) or more is negative and lends one to the next. The
  // lending may reach one slot past w's words: a top coefficient 1 over a
  // negative one packs to an empty top slot. False when a term lands past
  // the slots of the exponent vectors (w is no such integer).
  bool unpack(const word* w, std::int32_t nw, int sign, Terms& out) const {
    const std::size_t nd = static_cast<std::size_t>(kit::digits_for_words(nw));
    const std::size_t slots = (nd + L - 1) / L + 1;
    // The digits read off the words as they are needed (no copy of the
    // whole integer in digits), zeros past the words.
    std::int64_t bit = 0;
    auto next = [w, nw, &bit]() {
      const std::int64_t k = bit >> 6;
      const int off = static_cast<int>(bit & 63);
      bit += limb_bits;
      if (k >= nw) return digit{0};
      word v = w[k] >> off;
      if (off + limb_bits > 64 && k + 1 < nw) v |= w[k + 1] << (64 - off);
      return static_cast<digit>(v) & kit::digit_mask;
    };
    return unpack_from(next, slots, sign, out);
  }
  // The same from the digits z[0 .. slots L) of |integer|.
  bool unpack_digits(const digit* z, std::size_t slots, int sign, Terms& out) const {
    return unpack_from([z, k = std::size_t{0}]() mutable { return z[k++]; }, slots, sign, out);
  }
  // The same from the digits next() gives, the lowest first.
  template <class Next>
  bool unpack_from(Next next, std::size_t slots, int sign, Terms& out) const {
    std::vector<std::uint64_t> keys;
    std::vector<imptr> nums;
    struct Free {
      std::vector<imptr>& v;
      ~Free() {
        for (imptr& x : v)
          if (x != nullptr) free_imag(&x);
      }
    } guard{nums};
    std::vector<digit> v(L);
    digit carry = 0;
    constexpr digit half = digit{1} << (limb_bits - 1);
    for (std::size_t i = 0; i < slots; ++i) {
      bool zero = true;
      for (std::size_t d = 0; d < L; ++d) {
        digit x = next() + carry;
        carry = x >> limb_bits;
        x &= kit::digit_mask;
        v[d] = x;
        zero = zero && x == 0;
      }
      if (zero) continue;
      if (i >= span) return false;
      std::int32_t value_sign = sign;
      if (v[L - 1] >= half) {  // v - 2^(28 L): magnitude 2^(28 L) - v
        value_sign = -sign;
        digit borrow = 0;
        for (std::size_t d = 0; d < L; ++d) {
          const std::int64_t x = -static_cast<std::int64_t>(v[d]) - borrow;
          borrow = x < 0 ? 1 : 0;
          v[d] = static_cast<digit>(x + (borrow != 0 ? static_cast<std::int64_t>(limb_base) : 0));
        }
        carry = 1;
      }
      imptr x;
      newimag(&x);
      x->lint = 0;
      x->flote = 0;
      x->size = 0;
      nums.push_back(x);
      const kit::limb_list l = kit::build_limbs(v.data(), static_cast<std::int32_t>(L), value_sign);
      x->head = l.head;
      x->tail = l.tail;
      x->size = l.size;
      keys.push_back(key_of(i));
    }
    if (carry != 0) return false;
    for (std::size_t t = keys.size(); t-- > 0;) {
      out.push(keys[t], nums[t]);
      nums[t] = nullptr;
    }
    return true;
  }
};

// The terms of f cut into runs of at most `most` consecutive slots, as
// many runs as that needs and of like widths: the first term of each run
// and, after the last run, f's term count. f's keys decrease, and so do
// their slots.
std::vector<std::size_t> slot_runs(const Flat& f, const Slots& sl, std::uint64_t most) {
  const std::uint64_t slots = sl.index_of(f.key[0]) + 1;
  const std::uint64_t runs = (slots + most - 1) / most;
  const std::uint64_t width = (slots + runs - 1) / runs;
  std::vector<std::size_t> starts;
  for (std::size_t t = 0; t < f.key.size();) {
    starts.push_back(t);
    const std::uint64_t top = sl.index_of(f.key[t]);
    const std::uint64_t floor = top + 1 > width ? top + 1 - width : 0;
    ++t;
    while (t < f.key.size() && sl.index_of(f.key[t]) >= floor) ++t;
  }
  starts.push_back(f.key.size());
  return starts;
}

// z[off ..) += w, or -= w when `subtract` (nw words, as digits), the carry
// or borrow taken up to z's end: z holds a number modulo 2^(28 z.size()),
// a negative one as its complement.
void add_digits_at(std::vector<digit>& z, std::size_t off, const word* w, std::int32_t nw,
                   bool subtract, std::vector<digit>& scratch) {
  const std::int32_t nd = kit::digits_for_words(nw);
  scratch.assign(static_cast<std::size_t>(nd), 0);
  kit::digits_of_words(scratch.data(), w, nw);
  const auto n = static_cast<std::size_t>(kit::normalised_length(scratch.data(), nd));
  const std::size_t end = z.size();
  // 1 or 0 above the digits written so far: a carry, or a borrow when subtracting
  digit over = 0;
  std::size_t i = off;
  for (std::size_t k = 0; k < n && i < end; ++k, ++i) {
    const digit x = subtract ? z[i] - scratch[k] - over : z[i] + scratch[k] + over;
    over = x >> limb_bits;  // the borrow wraps round to all ones above the digit
    z[i] = x & kit::digit_mask;
    if (subtract) over &= 1;
  }
  for (; over != 0 && i < end; ++i) {
    const digit x = subtract ? z[i] - over : z[i] + over;
    over = (x >> limb_bits) & 1;
    z[i] = x & kit::digit_mask;
  }
}

// The product of a and b in slots of sl.L digits (`slots` of them) when the
// one product would be too long: a and b are cut into runs of consecutive
// slots (kronecker_run_counts), and the product of every pair of runs,
// each packed from its lowest slot, is added in (or taken off) at the sum
// of their lowest slots.
bool kronecker_pieces(const Flat& a, const Flat& b, const Slots& sl, std::uint64_t slots,
                      Terms& out) {
  const std::uint64_t slots_a = sl.index_of(a.key[0]) + 1, slots_b = sl.index_of(b.key[0]) + 1;
  const auto L = static_cast<double>(sl.L);
  const detail::RunCounts runs = detail::kronecker_run_counts(
      static_cast<double>(slots_a) * L, static_cast<double>(slots_b) * L,
      static_cast<double>(flat_kronecker_limbs));
  const std::vector<std::size_t> runs_a = slot_runs(a, sl, (slots_a + runs.a - 1) / runs.a);
  const std::vector<std::size_t> runs_b =
      &a == &b && runs.a == runs.b ? runs_a : slot_runs(b, sl, (slots_b + runs.b - 1) / runs.b);
  // The sum modulo 2^(28 z.size()): one digit above the product's slots
  // tells its sign.
  std::vector<digit> z(slots * sl.L + 1, 0), scratch;
  std::vector<word> wa, wb, wr;
  for (std::size_t i = 0; i + 1 < runs_a.size(); ++i) {
    const std::uint64_t base_a = sl.index_of(a.key[runs_a[i + 1] - 1]);
    int sign_a = 1;
    const std::int32_t na = sl.pack_words(a, runs_a[i], runs_a[i + 1], base_a, wa, &sign_a);
    for (std::size_t j = 0; j + 1 < runs_b.size(); ++j) {
      check_interrupt();
      const std::uint64_t base_b = sl.index_of(b.key[runs_b[j + 1] - 1]);
      int sign_b = 1;
      const std::int32_t nb = sl.pack_words(b, runs_b[j], runs_b[j + 1], base_b, wb, &sign_b);
      wr.assign(static_cast<std::size_t>(na + nb), 0);
      if (na >= nb)
        kit::wmul(wr.data(), wa.data(), na, wb.data(), nb);
      else
        kit::wmul(wr.data(), wb.data(), nb, wa.data(), na);
      add_digits_at(z, (base_a + base_b) * sl.L, wr.data(), na + nb, sign_a * sign_b < 0, scratch);
    }
  }
  if (z.back() < (digit{1} << (limb_bits - 1))) return sl.unpack_digits(z.data(), slots, 1, out);
  // Negative: the magnitude is the complement, the digits inverted plus one.
  digit carry = 1;
  for (digit& d : z) {
    const digit x = (kit::digit_mask - d) + carry;
    carry = x >> limb_bits;
    d = x & kit::digit_mask;
  }
  return sl.unpack_digits(z.data(), slots, -1, out);
}

}  // namespace

namespace detail {

RunCounts kronecker_run_counts(double la, double lb, double limit) {
  // Both cut to at most half the limit always fits; the search starts there.
  const auto most_a = static_cast<std::uint64_t>(std::max(1.0, std::ceil(2 * la / limit)));
  RunCounts best{most_a, static_cast<std::uint64_t>(std::max(1.0, std::ceil(2 * lb / limit)))};
  double least = static_cast<double>(best.b) * la + static_cast<double>(best.a) * lb;
  for (std::uint64_t ra = 1; ra <= 2 * most_a; ++ra) {
    const double room = limit - la / static_cast<double>(ra);
    if (room <= 0) continue;
    const auto rb = static_cast<std::uint64_t>(std::max(1.0, std::ceil(lb / room)));
    const double cost = static_cast<double>(rb) * la + static_cast<double>(ra) * lb;
    if (cost < least) {
      best = {ra, rb};
      least = cost;
    }
  }
  return best;
}

}  // namespace detail

namespace {

// The slots of the product's exponent vectors and a slot width for its
// coefficients; false (nothing emitted) when the slots would be too sparse
// for the one product to pay.
bool kronecker(const Flat& a, const Flat& b, const Packing& pk, const FlatScan& sa,
               const FlatScan& sb, Terms& out) {
  if (flat_kronecker_ratio <= 0) return false;
  Slots sl(pk);
  std::array<std::int64_t, flat_max_levels> top{};
  for (int k = 0; k < pk.depth; ++k) {
    const auto kk = static_cast<std::size_t>(k);
    top[kk] = sa.maxexp[kk] + sb.maxexp[kk];
  }
  if (!sl.set_radices(top)) return false;
  const std::uint64_t slots_a = sl.index_of(a.key[0]) + 1;
  const std::uint64_t slots_b = sl.index_of(b.key[0]) + 1;
  const double products = static_cast<double>(a.key.size()) * static_cast<double>(b.key.size());
  if (static_cast<double>(slots_a) * static_cast<double>(slots_b) >
      static_cast<double>(flat_kronecker_ratio) * products)
    return false;
  // A product coefficient is at most max|a| sum|b|, sum|a| max|b|, and
  // max|a| max|b| times the shorter term count.
  const std::int64_t bits_a = largest_bits(a), bits_b = largest_bits(b);
  const std::int64_t count_bits =
      std::bit_width(static_cast<std::uint64_t>(std::min(a.key.size(), b.key.size())));
  const std::int64_t bound = std::min({bits_a + bits_b + count_bits, bits_a + sum_bits(b, bits_b),
                                       sum_bits(a, bits_a) + bits_b}) +
                             1;
  const std::int64_t slot = (bound + limb_bits - 1) / limb_bits;
  // Products in one variable have no bound on slot width or length: the
  // products by terms they would fall to cost far more than their terms.
  const bool one_variable = detail::varying_level(pk, sa, sb) >= 0;
  if (!one_variable && slot > 1024) return false;
  if (flat_kronecker_ratio <= 1024) {
    // Measured costs: about 3.3 ns * words^1.585 for the one product of
    // words-long halves, 150 ns plus a nanosecond a limb pair for each
    // coefficient product by terms.
    const double words =
        0.5 * static_cast<double>(slots_a + slots_b) * static_cast<double>(slot) * 28.0 / 64.0;
    const double limbs_a = static_cast<double>(largest_bits(a) / limb_bits + 1);
    const double limbs_b = static_cast<double>(largest_bits(b) / limb_bits + 1);
    if (3.3 * std::pow(words, 1.585) > products * (150.0 + limbs_a * limbs_b)) return false;
  }
  sl.L = static_cast<std::size_t>(slot);
  const double limbs = static_cast<double>(slots_a + slots_b) * static_cast<double>(slot);
  // Past the limit the pieces' sum takes 4 bytes a limb of the whole
  // product, the products of the pieces as much as one product up to the limit.
  if (!one_variable && limbs > static_cast<double>(flat_kronecker_limbs))
    return kronecker_pieces(a, b, sl, slots_a + slots_b, out);
  // A square packs once and squares (one transform fewer).
  const bool square = &a == &b;
  std::vector<word> wa, wb;
  int sign_a = 1, sign_b = 1;
  const std::int32_t na = sl.pack_words(a, wa, &sign_a);
  const std::int32_t nb = square ? na : sl.pack_words(b, wb, &sign_b);
  if (square) sign_b = sign_a;
  if ((na == 1 && wa[0] == 0) || (!square && nb == 1 && wb[0] == 0)) return false;
  // every word is written by the product: no zeros first
  const std::unique_ptr<word[]> wr(new word[static_cast<std::size_t>(na + nb)]);
  if (square)
    kit::wsqr(wr.get(), wa.data(), na);
  else if (na >= nb)
    kit::wmul(wr.get(), wa.data(), na, wb.data(), nb);
  else
    kit::wmul(wr.get(), wb.data(), nb, wa.data(), na);
  return sl.unpack(wr.get(), na + nb, sign_a * sign_b, out);
}

bool quotient_in_slots(const Flat& n, const Flat& m, const Packing& pk, const FlatScan& sn,
                       const FlatScan& sm, const Slots& sl, std::int64_t m_sum, Terms& out);

// The quotient n / m of flat operands through one integer division, with
// slots wide enough for n's coefficients and for the quotient's (as
// expected, then as large as n's) times m's sum of magnitudes. The
// quotient read back is proved right, not assumed: the division is exact,
// its exponents at each level are at most n's less m's, and its
// coefficients times m's sum of magnitudes stay below a half slot, so its
// product with m fills no slot past its range and packs to n's integer:
// it is n / m as polynomials. False (nothing emitted) otherwise, or when
// the slots are too sparse or too many.
bool kronecker_quotient(const Flat& n, const Flat& m, const Packing& pk, const FlatScan& sn,
                        const FlatScan& sm, Terms& out) {
  if (flat_kronecker_ratio <= 0) return false;
  for (int k = 0; k < pk.depth; ++k)
    if (sm.maxexp[static_cast<std::size_t>(k)] > sn.maxexp[static_cast<std::size_t>(k)])
      return false;
  Slots sl(pk);
  if (!sl.set_radices(sn.maxexp)) return false;
  const std::uint64_t slots_n = sl.index_of(n.key[0]) + 1;
  if (static_cast<double>(slots_n) > 16.0 * static_cast<double>(n.key.size()) + 64) return false;
  // bits of m's sum of magnitudes, at most
  const std::int64_t m_sum =
      largest_bits(m) + std::bit_width(static_cast<std::uint64_t>(m.key.size()));
  // The slots must hold n's coefficients; the quotient's are expected near
  // n's less m's (a wider slot is tried when they are not).
  const std::int64_t n_bits = largest_bits(n);
  const std::int64_t guess = std::max(n_bits - largest_bits(m), std::int64_t{0}) +
                             std::bit_width(static_cast<std::uint64_t>(n.key.size())) + 8;
  for (const std::int64_t q_bits : {guess, n_bits}) {
    const std::int64_t bound = std::max(n_bits, q_bits + m_sum) + 2;
    const std::int64_t slot = (bound + limb_bits - 1) / limb_bits;
    if (slot > 1024 ||
        static_cast<double>(slots_n) * static_cast<double>(slot) > kronecker_quotient_limbs)
      return false;
    if (q_bits != guess && static_cast<std::size_t>(slot) <= sl.L) return false;  // no wider
    sl.L = static_cast<std::size_t>(slot);
    if (quotient_in_slots(n, m, pk, sn, sm, sl, m_sum, out)) return true;
  }
  return false;
}

// One attempt of kronecker_quotient at the slot width of sl.
bool quotient_in_slots(const Flat& n, const Flat& m, const Packing& pk, const FlatScan& sn,
                       const FlatScan& sm, const Slots& sl, std::int64_t m_sum, Terms& out) {
  std::vector<word> wn, wm;
  int sign_n = 1, sign_m = 1;
  const std::int32_t nn = sl.pack_words(n, wn, &sign_n);
  const std::int32_t nm = sl.pack_words(m, wm, &sign_m);
  if (nn < nm || (nm == 1 && wm[0] == 0)) return false;
  std::vector<word> wq(static_cast<std::size_t>(nn - nm + 1), 0),
      wr(static_cast<std::size_t>(nm), 0);
  kit::wdivrem(wq.data(), wr.data(), wn.data(), nn, wm.data(), nm);
  if (kit::wnormalised(wr.data(), nm) != 1 || wr[0] != 0) return false;
  const std::int32_t nq = kit::wnormalised(wq.data(), nn - nm + 1);
  Terms q;
  if (!sl.unpack(wq.data(), nq, sign_n * sign_m, q) || q.key.empty()) return false;
  const std::int64_t room = static_cast<std::int64_t>(sl.L) * limb_bits - 1;
  for (std::size_t t = 0; t < q.key.size(); ++t) {
    if (number_bits(q.num[t]) + m_sum > room) return false;
    for (int k = 0; k < pk.depth; ++k) {
      const auto kk = static_cast<std::size_t>(k);
      const std::int64_t e = pk.field(q.key[t], k);
      if (e + sm.maxexp[kk] > sn.maxexp[kk]) return false;
    }
  }
  for (std::size_t t = 0; t < q.key.size(); ++t) {
    out.push(q.key[t], q.num[t]);
    q.num[t] = nullptr;
  }
  return true;
}
// ---- Back to recursive lists ------------------------------------------------------------
//
// The lists are built in the reverse of the order in which free_poly gives
// nodes back: a list's nodes first, then the coefficients from its last
// term to its first; so the leaves, their numbers and limbs come from the
// last term to the first (each number's limbs from the head). The free
// lists hand out first what went back last, so a product that replaces one
// of a like shape takes its nodes in the order the old one held them, and
// the free lists keep whatever address order they had instead of
// scattering a little more with every product.
template <class Make>  // imptr make(std::size_t t): the number of term t
class ListBuilder {
 public:
  ListBuilder(const std::uint64_t* key, const Packing& pk, Make make)
      : key_(key), pk_(pk), make_(make) {}

  // The list at `level` of the terms [lo, hi), which agree on every level
  // above it.
  poly build(std::size_t lo, std::size_t hi, int level) {
    if (level == pk_.depth - 1) return build_deepest(lo, hi);
    const int sh = pk_.shift[static_cast<std::size_t>(level)];
    const std::uint64_t fmask = mask_below(pk_.width[static_cast<std::size_t>(level)]);
    const std::uint64_t below = mask_below(sh);
    const std::size_t first = runs_.size();
    for (std::size_t i = lo; i < hi;) {
      const std::uint64_t e = (key_[i] >> sh) & fmask;
      std::size_t j = i + 1;
      while (j < hi && ((key_[j] >> sh) & fmask) == e) ++j;
      runs_.push_back(i);
      i = j;
    }
    const std::size_t count = runs_.size() - first;
    nodes::OwnedPoly list;
    poly* link = &list.p;
    for (std::size_t r = 0; r < count; ++r) {
      poly node =
          new_term(static_cast<std::int32_t>((key_[runs_[first + r]] >> sh) & fmask), nullptr);
      *link = node;
      link = &node->next;
      nodes_.push_back(node);
    }
    for (std::size_t r = count; r-- > 0;) {
      const std::size_t i = runs_[first + r];
      const std::size_t j = r + 1 < count ? runs_[first + r + 1] : hi;
      poly node = nodes_[first + r];
      if (j - i == 1 && (key_[i] & below) == 0) {
        if (node->exp == 0) {  // the constant term, or the whole constant
          const imptr x = make_(i);
          node->numb = true;
          node->ncoef = x;
        } else {
          node->pcoef = new_leaf(make_(i));
        }
      } else {
        node->pcoef = build(i, j, level + 1);
      }
    }
    runs_.resize(first);
    nodes_.resize(first);
    return list.release();
  }

 private:
  // The list at the deepest level (bits 0 up of the keys): one node a term.
  poly build_deepest(std::size_t lo, std::size_t hi) {
    const std::uint64_t fmask = mask_below(pk_.width[static_cast<std::size_t>(pk_.depth - 1)]);
    const std::size_t first = nodes_.size();
    nodes::OwnedPoly list;
    poly* link = &list.p;
    // Each term takes its leaf right after it (a list freed gives its
    // records back in that order); the numbers come last, from the lowest
    // term up.
    for (std::size_t i = lo; i < hi; ++i) {
      const auto e = static_cast<std::int32_t>(key_[i] & fmask);
      poly node = new_term(e, nullptr);
      *link = node;
      link = &node->next;
      nodes_.push_back(node);
      if (e != 0) node->pcoef = new_leaf(nullptr);
    }
    for (std::size_t i = hi; i-- > lo;) {
      poly node = nodes_[first + (i - lo)];
      if (node->exp == 0) {
        const imptr x = make_(i);
        node->numb = true;
        node->ncoef = x;
      } else {
        node->pcoef->ncoef = make_(i);
      }
    }
    nodes_.resize(first);
    return list.release();
  }

  const std::uint64_t* key_;
  const Packing& pk_;
  Make make_;
  std::vector<std::size_t> runs_;  // the runs of the lists being built, level by level
  std::vector<poly> nodes_;        // their nodes
};

// The product's lists from its terms (the zero polynomial when none).
template <class Make>
poly build_lists(const std::uint64_t* key, std::size_t n, const Packing& pk, Make make) {
  if (n == 0) {
    poly z = nullptr;
    poly_set(0, &z);
    return z;
  }
  ListBuilder<Make> b(key, pk, make);
  return b.build(0, n, 0);
}

// The terms of the last product with word-size coefficients, kept between
// products: the arrays of a large product are not taken from the system
// (and faulted in) afresh each time. One set a depth (poly_flat_impl.h).
WordTerms& product_terms() {
  static std::deque<WordTerms> terms;
  return scratch_at_depth(terms);
}

poly build_from(Terms& t, const Packing& pk) {
  return build_lists(t.key.data(), t.key.size(), pk, [&t](std::size_t i) {
    const imptr x = t.num[i];
    t.num[i] = nullptr;
    return x;
  });
}

}  // namespace

bool flat_exact_quotient(poly n, poly m, poly* q, polypt pol) {
  return flat_exact_quotient(n, m, q, pol, Ring::current());
}

bool flat_exact_quotient(poly n, poly m, poly* q, polypt pol, const Ring& ring) {
  if (ring.flote || ring.modular || ring.lint) return false;
  for (polypt l = pol; l != nullptr; l = l->next)
    if (l->p != nullptr) return false;
  if (nodes::is_bare_leaf(n) || nodes::is_bare_leaf(m)) return false;
  FlatScan sn, sm;
  scan(n, 0, false, sn, ring);
  scan(m, 0, false, sm, ring);
  if (!sn.ok || !sm.ok) return false;
  Packing pk;
  pk.depth = std::max(sn.depth, sm.depth);
  for (int k = pk.depth - 1; k >= 0; --k) {
    const std::int64_t top = sn.maxexp[static_cast<std::size_t>(k)];
    pk.width[static_cast<std::size_t>(k)] = std::bit_width(static_cast<std::uint64_t>(top));
    pk.shift[static_cast<std::size_t>(k)] = pk.total;
    pk.total += pk.width[static_cast<std::size_t>(k)];
  }
  if (pk.total > 64) return false;
  Flat fn, fm;
  pack(n, 0, 0, pk, Coefs::big_integers, fn);
  pack(m, 0, 0, pk, Coefs::big_integers, fm);
  Terms out;
  if (!kronecker_quotient(fn, fm, pk, sn, sm, out)) return false;
  ++flat_mult_methods.quotients;
  poly r = build_from(out, pk);
  free_poly(q);
  *q = r;
  return true;
}

std::int64_t leaf_count_capped(poly n, std::int64_t cap) {
  std::int64_t count = 0;
  // An explicit stack of list positions: no recursion for deep coefficients.
  // Each list on the stack holds a leaf at least, so the count stops as
  // soon as the leaves seen and the lists waiting pass the cap: a long
  // list is not walked whole before a leaf is counted.
  std::vector<poly> stack{n};
  while (!stack.empty()) {
    poly p = stack.back();
    stack.pop_back();
    for (; p != nullptr; p = p->next) {
      if (p->numb || nodes::is_bare_leaf(p->pcoef)) {
        ++count;
      } else {
        stack.push_back(p->pcoef);
      }
      const std::int64_t at_least = count + static_cast<std::int64_t>(stack.size());
      if (at_least > cap) return at_least;
    }
  }
  return count;
}

bool flat_poly_mult(poly n, poly m, poly* p, polypt pol) {
  return flat_poly_mult(n, m, p, pol, Ring::current());
}

bool flat_poly_mult(poly n, poly m, poly* p, polypt pol, const Ring& ring) {
  if (ring.flote || (ring.modular && ring.char2) || (!ring.modular && ring.lint)) return false;
  const detail::FlatProductDepth depth;
  for (polypt l = pol; l != nullptr; l = l->next)
    if (l->p != nullptr) return false;
  if (nodes::is_bare_leaf(n) || nodes::is_bare_leaf(m)) return false;
  const bool modular = ring.modular;
  FlatScan sn, sm;
  scan(n, 0, modular, sn, ring);
  if (m == n) {
    sm = sn;
  } else {
    scan(m, 0, modular, sm, ring);
  }
  if (!sn.ok || !sm.ok) return false;

  Packing pk;
  pk.depth = std::max(sn.depth, sm.depth);
  for (int k = pk.depth - 1; k >= 0; --k) {
    const std::int64_t top =
        sn.maxexp[static_cast<std::size_t>(k)] + sm.maxexp[static_cast<std::size_t>(k)];
    if (top > INT32_MAX) return false;  // the term-by-term product reports the overflow
    pk.width[static_cast<std::size_t>(k)] = std::bit_width(static_cast<std::uint64_t>(top));
    pk.shift[static_cast<std::size_t>(k)] = pk.total;
    pk.total += pk.width[static_cast<std::size_t>(k)];
  }
  if (pk.total > 64) return false;

  Coefs coefs = Coefs::residues;
  if (!modular) {
    coefs = Coefs::big_integers;
    if (sn.small && sm.small) {
      // Each product term sums at most min(terms) products below 2^(bits a + bits b).
      const int bound = std::bit_width(sn.maxabs) + std::bit_width(sm.maxabs) +
                        std::bit_width(static_cast<std::uint64_t>(std::min(sn.terms, sm.terms)));
      if (bound <= 126) coefs = Coefs::small_integers;
    }
  }

  Flat fa, fb;
  const bool square = (m == n);
  // The outer operand is the one with fewer terms.
  poly outer = (sn.terms <= sm.terms) ? n : m;
  poly inner = (outer == n) ? m : n;
  const FlatScan& so = outer == n ? sn : sm;
  const FlatScan& si = outer == n ? sm : sn;
  // The arrays take their length at once (no regrowth over long operands).
  for (auto [f, terms] : {std::pair{&fa, so.terms}, std::pair{&fb, square ? 0 : si.terms}}) {
    const auto n_terms = static_cast<std::size_t>(terms);
    f->key.reserve(n_terms);
    if (coefs == Coefs::big_integers) {
      f->num.reserve(n_terms);
    } else {
      f->val.reserve(n_terms);
    }
  }
  pack(outer, 0, 0, pk, coefs, fa);
  if (!square) pack(inner, 0, 0, pk, coefs, fb);
  const Flat& a = fa;
  const Flat& b = square ? fa : fb;

  poly r = nullptr;
  if (coefs == Coefs::big_integers) {
    Terms out;
    if (scales_by(a) || scales_by(b)) {
      ++flat_mult_methods.scaled;
      if (scales_by(a)) {
        scaled_merge(a, b, out);
      } else {
        scaled_merge(b, a, out);
      }
    } else if (kronecker(a, b, pk, so, si, out)) {
      ++flat_mult_methods.kronecker;
    } else {
      ++flat_mult_methods.big_coefficients;
      heap_big(a, b, out);
    }
    r = build_from(out, pk);
  } else {
    detail::WordSums how;
    how.modular = modular;
    const int count_bits = std::bit_width(static_cast<std::uint64_t>(std::min(sn.terms, sm.terms)));
    if (modular) {
      how.modulus = static_cast<std::uint32_t>(ring.modulus);
      how.narrow = 2 * std::bit_width(how.modulus - 1) + count_bits <= 64;
      if (!how.narrow && flat_fold_sums != 0 && how.modulus <= (std::uint32_t{1} << 31)) {
        how.narrow = true;
        how.fold = (std::uint64_t{1} << 63) / how.modulus * how.modulus;
      }
    } else {
      how.narrow = std::bit_width(sn.maxabs) + std::bit_width(sm.maxabs) + count_bits <= 63;
    }
    WordTerms& out = product_terms();
    out.clear();
    switch (detail::sum_word_products(a, b, pk, so, si, how, out)) {
      case detail::FlatMethod::dense: ++flat_mult_methods.dense_cells; break;
      case detail::FlatMethod::heap: ++flat_mult_methods.heap; break;
      case detail::FlatMethod::packed: ++flat_mult_methods.packed; break;
    }
    if (modular) {
      r = build_lists(out.key.data(), out.key.size(), pk, [&out](std::size_t i) {
        imptr x;
        newimag(&x);
        x->lint = static_cast<std::int32_t>(out.val[i]);
        return x;
      });
    } else if (how.narrow) {
      r = build_lists(out.key.data(), out.key.size(), pk,
                      [&out](std::size_t i) { return new_word_number(out.val[i]); });
    } else {
      r = build_lists(out.key.data(), out.key.size(), pk,
                      [&out](std::size_t i) { return new_wide_number(out.wide[i]); });
    }
  }
  free_poly(p);
  *p = r;
  return true;
}

bool flat_mult_add(poly n, poly m, poly c, bool sub, poly* p, polypt pol) {
  return flat_mult_add(n, m, c, sub, p, pol, Ring::current());
}

bool flat_mult_add(poly n, poly m, poly c, bool sub, poly* p, polypt pol, const Ring& ring) {
  if (ring.flote || ring.modular || ring.lint) return false;
  for (polypt l = pol; l != nullptr; l = l->next)
    if (l->p != nullptr) return false;
  if (nodes::is_bare_leaf(n) || nodes::is_bare_leaf(m)) return false;
  FlatScan sn, sm, sc;
  scan(n, 0, false, sn, ring);
  scan(m, 0, false, sm, ring);
  scan(c, 0, false, sc, ring);
  // Word-size operands take the word summations of flat_poly_mult.
  if (!sn.ok || !sm.ok || !sc.ok || (sn.small && sm.small)) return false;
  Packing pk;
  pk.depth = std::max({sn.depth, sm.depth, sc.depth});
  for (int k = pk.depth - 1; k >= 0; --k) {
    const auto K = static_cast<std::size_t>(k);
    const std::int64_t top = std::max(sn.maxexp[K] + sm.maxexp[K], sc.maxexp[K]);
    if (top > INT32_MAX) return false;
    pk.width[K] = std::bit_width(static_cast<std::uint64_t>(top));
    pk.shift[K] = pk.total;
    pk.total += pk.width[K];
  }
  if (pk.total > 64) return false;
  Flat fn, fm, fc;
  pack(n, 0, 0, pk, Coefs::big_integers, fn);
  pack(m, 0, 0, pk, Coefs::big_integers, fm);
  // The shorter operand scales the longer, as in flat_poly_mult; the
  // addend takes one row of each sum.
  const bool n_first = fn.key.size() <= fm.key.size();
  const Flat& a = n_first ? fn : fm;
  const Flat& b = n_first ? fm : fn;
  const Flat* s = scales_by(a) ? &a : scales_by(b) ? &b : nullptr;
  if (s == nullptr || s->key.size() >= static_cast<std::size_t>(kit::lazy_row_terms)) return false;
  pack(c, 0, 0, pk, Coefs::big_integers, fc);
  Terms out;
  scaled_merge(*s, s == &a ? b : a, out, &fc, sub ? -1 : 1);
  ++flat_mult_methods.scaled_sums;
  poly r = build_from(out, pk);
  free_poly(p);
  *p = r;
  return true;
}

}  // namespace tavrin
