// Decimal digit groups of word arrays by divide and conquer: x is divided
// by the largest power P_k = 10^(8 2^k) shorter than x, the remainder gives
// exactly 2^k groups and the quotient the groups above them. The powers are
// formed once, by squaring, and kept for later conversions, each with the
// count z of its zero low words (P_k = P' 2^(64 z), z about a third of its
// length, since 10^e = 5^e 2^e), so that every division and product runs on
// P' alone; long divisions use a reciprocal of P' kept with it (Barrett).
// Short pieces get their digits base 10^16 from a table of the place
// values of half-words: products and sums, one division per digit.
#include <algorithm>
#include <array>
#include <cstdint>
#include <deque>
#include <vector>

#include "core/thresholds.h"
#include "numbers/word_array.h"

namespace tavrin::kit {

namespace {

using words = std::vector<word>;

constexpr word group_base = 100000000;                // 10^8
constexpr word two_groups = group_base * group_base;  // 10^16

// P_k = B^z P' with B = 2^64, P' = p[z .. len) (m words, odd top part).
// inv = floor(B^(2m + z) / P') (normalised), or empty until first needed.
struct power_entry {
  words p;
  std::int32_t z = 0;
  words inv;
  std::int32_t len() const { return static_cast<std::int32_t>(p.size()); }
  std::int32_t m() const { return len() - z; }
  const word* top() const { return p.data() + z; }
};

std::int32_t low_zero_words(const words& p) {
  std::int32_t z = 0;
  while (p[static_cast<std::size_t>(z)] == 0) ++z;
  return z;
}

// The powers P_0, P_1, ... formed so far. They hold plain words and depend
// on nothing else; an entry is appended (or its inverse set) only once
// complete, so an exception leaves the table as it was. Entries stay where
// they are while the table grows.
std::deque<power_entry>& powers() {
  static std::deque<power_entry> table{power_entry{{group_base}, 0, {}}};
  return table;
}

power_entry& entry(std::size_t k) {
  std::deque<power_entry>& table = powers();
  while (table.size() <= k) {
    const power_entry& last = table.back();
    const std::int32_t m = last.m();
    // P_{k+1} = P'^2 B^(2z).
    power_entry next;
    next.p.assign(static_cast<std::size_t>(2 * last.z + 2 * m), 0);
    wsqr(next.p.data() + 2 * last.z, last.top(), m);
    next.p.resize(static_cast<std::size_t>(wnormalised(next.p.data(), 2 * last.z + 2 * m)));
    next.z = low_zero_words(next.p);
    table.push_back(std::move(next));
  }
  return table[k];
}

// e.inv, formed on first use by one long division.
const words& inverse(power_entry& e) {
  if (e.inv.empty()) {
    const std::int32_t m = e.m(), nn = 2 * m + e.z + 1;
    words num(static_cast<std::size_t>(nn), 0), q(static_cast<std::size_t>(nn - m + 1)),
        r(static_cast<std::size_t>(m));
    num.back() = 1;
    wdivrem(q.data(), r.data(), num.data(), nn, e.top(), m);
    q.resize(static_cast<std::size_t>(wnormalised(q.data(), nn - m + 1)));
    e.inv = std::move(q);
  }
  return e.inv;
}

// q[0 .. ns - m + 1) := xs div P' and r[0 .. m) := xs mod P' for xs of ns
// words, m < ns <= 2m + z, by the reciprocal: with L = ns - m and
// mu = floor(B^(m + L) / P') (the top words of e.inv), the estimate
// floor(floor(xs / B^(m-1)) mu / B^(L+1)) is at most 2 below the quotient
// (P' has a non-zero top word), and the remainder's excess is taken off.
void divide_by_reciprocal(const word* xs, std::int32_t ns, power_entry& e, word* q, word* r) {
  const std::int32_t m = e.m(), big_l = m + e.z, l = ns - m;
  const words& inv = inverse(e);
  const auto drop = static_cast<std::size_t>(big_l - l);
  const word* mu = inv.data() + drop;
  const auto nmu = static_cast<std::int32_t>(inv.size() - drop);
  words t(static_cast<std::size_t>(l + 1 + nmu));
  wmul(t.data(), xs + m - 1, l + 1, mu, nmu);
  std::copy(t.begin() + (l + 1), t.begin() + (2 * l + 2), q);  // the estimate is below B^(L+1)
  words prod(static_cast<std::size_t>(ns + 1), 0), rem(xs, xs + ns);
  const std::int32_t nq = wnormalised(q, l + 1);
  if (nq > 1 || q[0] != 0) {
    wmul(prod.data(), q, nq, e.top(), m);
    wsub(rem.data(), rem.data(), ns, prod.data(), std::min(ns, nq + m));
  }
  while (wcmp_norm(rem.data(), wnormalised(rem.data(), ns), e.top(), m) >= 0) {
    wsub(rem.data(), rem.data(), ns, e.top(), m);
    wadd_1(q, q, l + 1, 1);
  }
  std::copy(rem.begin(), rem.begin() + m, r);
}

// The place values 2^(32 h) of the half-words of an array of up to 32
// words, in base 10^16 (least significant digit first), and for each digit
// place j the first h whose value reaches it.
struct place_values {
  static constexpr std::size_t halves = 64, places = 40;
  std::array<std::array<word, places>, halves> digit{};
  std::array<std::int32_t, halves> count{};
  std::array<std::int32_t, places> first{};
  place_values() {
    digit[0][0] = 1;
    count[0] = 1;
    for (std::size_t h = 1; h < halves; ++h) {
      word carry = 0;
      auto c = static_cast<std::size_t>(count[h - 1]);
      for (std::size_t j = 0; j < c; ++j) {
        const word d = digit[h - 1][j];
        // d 2^32 + carry, carry < 2^32: its high word is below 10^16.
        carry = wdiv_2by1(d >> 32, (d << 32) + carry, two_groups, &digit[h][j]);
      }
      for (; carry != 0; carry /= two_groups) digit[h][c++] = carry % two_groups;
      count[h] = static_cast<std::int32_t>(c);
    }
    for (std::size_t j = 0, h = 0; j < places; ++j) {
      while (h < halves && static_cast<std::size_t>(count[h]) <= j) ++h;
      first[j] = static_cast<std::int32_t>(h);
    }
  }
};

// Appends the groups of x (n < 32 words) to out, least significant first:
// each digit base 10^16 summed as a column of the half-words times their
// place values (products below 2^86, at most 64 of them: below 2^92) plus
// the carry from below, and carried with one division; then pads with zero
// groups to `width` groups, or (width 0) drops leading zero groups
// (keeping one).
void groups_by_places(const word* x, std::int32_t n, std::vector<std::uint32_t>& out,
                      std::size_t width) {
  static const place_values places;
  std::array<word, place_values::halves> u;
  const auto halves = static_cast<std::size_t>(2 * n);
  for (std::size_t h = 0; h < halves; ++h) u[h] = (x[h / 2] >> (32 * (h % 2))) & 0xFFFFFFFF;
  const auto top = static_cast<std::size_t>(places.count[halves - 1]);
  const std::size_t start = out.size();
  out.resize(start + 2 * top + 4);
  std::uint32_t* g = out.data() + start;
  word carry = 0;
  std::size_t j = 0;
  for (; j < top; ++j) {
    dword sum = carry;
    for (auto h = static_cast<std::size_t>(places.first[j]); h < halves; ++h)
      sum += static_cast<dword>(u[h]) * places.digit[h][j];
    word digit = 0;
    carry = wdiv_2by1(static_cast<word>(sum >> 64), static_cast<word>(sum), two_groups, &digit);
    g[2 * j] = static_cast<std::uint32_t>(digit % group_base);
    g[2 * j + 1] = static_cast<std::uint32_t>(digit / group_base);
  }
  for (; carry != 0; ++j, carry /= two_groups) {  // at most two more digits
    g[2 * j] = static_cast<std::uint32_t>(carry % two_groups % group_base);
    g[2 * j + 1] = static_cast<std::uint32_t>(carry % two_groups / group_base);
  }
  if (width > 0) {
    out.resize(start + width, 0);  // the value is below 10^(8 width)
  } else {
    std::size_t size = 2 * j;
    while (size > 1 && g[size - 1] == 0) --size;
    out.resize(start + size);
  }
}

void groups_rec(const word* x, std::int32_t n, std::vector<std::uint32_t>& out, std::size_t width) {
  n = wnormalised(x, n);
  if (n < std::clamp<std::int32_t>(wide_decimal_words, 4, 32)) {
    groups_by_places(x, n, out, width);
    return;
  }
  // The largest power shorter than x: then x < P_{k+1} = P_k^2.
  std::size_t k = 0;
  while (entry(k + 1).len() < n) ++k;
  power_entry& e = entry(k);
  const std::int32_t len = e.len(), z = e.z, m = e.m();
  words q(static_cast<std::size_t>(n - len + 1)), r(static_cast<std::size_t>(len));
  std::copy(x, x + z, r.begin());  // x mod B^z, below P'
  if (m >= decimal_inverse_words) {
    divide_by_reciprocal(x + z, n - z, e, q.data(), r.data() + z);
  } else {
    wdivrem(q.data(), r.data() + z, x + z, n - z, e.top(), m);
  }
  const std::size_t start = out.size();
  groups_rec(r.data(), len, out, std::size_t{1} << k);
  groups_rec(q.data(), n - len + 1, out, width == 0 ? 0 : width - (out.size() - start));
}

// r[0 .. words_for_groups(count)) := the value of count groups (base 10^8,
// most significant first) by Horner's rule in steps of two groups (10^16);
// returns the normalised length.
std::int32_t value_by_steps(const std::uint32_t* g, std::int64_t count, word* r) {
  std::int32_t n = 1;
  r[0] = count % 2 == 1 ? g[0] : 0;  // an odd count: the top group alone first
  for (std::int64_t i = count % 2; i < count; i += 2) {
    const word step = word{g[i]} * group_base + g[i + 1];
    const word carry = wmul_1(r, r, n, two_groups);
    const word low = wadd_1(r, r, n, step);
    if (carry + low != 0) r[n++] = carry + low;  // carry < 10^16: no overflow
  }
  return wnormalised(r, n);
}

// Words enough for `count` groups (8 log2(10) < 26.6 bits a group) and
// for the product of two parts' words.
std::int32_t words_for_groups(std::int64_t count) {
  return static_cast<std::int32_t>(count * 133 / 320 + 4);
}

// r[0 .. words_for_groups(count)) := the value of the groups, the low 2^k
// of them (2^k < count, the largest) converted apart and the high ones
// multiplied by P' and shifted by P_k's zero words; returns the normalised
// length.
std::int32_t value_rec(const std::uint32_t* g, std::int64_t count, word* r) {
  if (words_for_groups(count) < 2 * std::max<std::int64_t>(wide_decimal_words, 4))
    return value_by_steps(g, count, r);
  std::size_t k = 0;
  while ((std::int64_t{2} << k) < count) ++k;
  const std::int64_t low = std::int64_t{1} << k;
  const power_entry& e = entry(k);
  words hi(static_cast<std::size_t>(words_for_groups(count - low)));
  const std::int32_t nh = value_rec(g, count - low, hi.data());
  std::fill(r, r + words_for_groups(count), word{0});
  wmul(r + e.z, e.top(), e.m(), hi.data(), nh);
  words lo(static_cast<std::size_t>(words_for_groups(low)));
  const std::int32_t nl = value_rec(g + (count - low), low, lo.data());
  const std::int32_t nr = e.len() + nh;
  wadd(r, r, nr, lo.data(), nl);  // no carry: lo < P_k
  return wnormalised(r, nr);
}

}  // namespace

std::int32_t wfrom_decimal(const std::uint32_t* groups, std::int64_t count, std::vector<word>& w) {
  w.assign(static_cast<std::size_t>(words_for_groups(count)), 0);
  fit_exactly(w);
  return value_rec(groups, count, w.data());
}

void wdecimal(const word* x, std::int32_t n, std::vector<std::uint32_t>& groups) {
  groups.clear();
  groups_rec(x, n, groups, 0);
}

}  // namespace tavrin::kit
