// Decimal digit groups of word arrays by divide and conquer: x is divided
// by a power P_k = 10^(8 2^k) of about half its length, the remainder gives
// exactly 2^k groups and the quotient the groups above them. The powers are
// formed once, by squaring, and kept for later conversions.
#include <algorithm>
#include <cstdint>
#include <vector>

#include "core/thresholds.h"
#include "numbers/word_array_impl.h"

namespace tavrin::detail {

namespace {

using words = std::vector<word>;

constexpr word group_base = 100000000;                   // 10^8
constexpr word two_groups = group_base * group_base;    // 10^16

// P_k = 10^(8 2^k), k = 0, 1, ..., normalised.
std::vector<words>& powers() {
  static std::vector<words> p{{group_base}};
  return p;
}

const words& power(std::size_t k) {
  std::vector<words>& p = powers();
  while (p.size() <= k) {
    const words& last = p.back();
    const auto n = static_cast<std::int32_t>(last.size());
    words sq(static_cast<std::size_t>(2 * n));
    wsqr(sq.data(), last.data(), n);
    sq.resize(static_cast<std::size_t>(wnormalised(sq.data(), 2 * n)));
    p.push_back(std::move(sq));
  }
  return p[k];
}

// Appends the groups of x (n words, used up) to out, least significant
// first, by repeated division by 10^16; then pads with zero groups to
// `width` groups, or (width 0) drops leading zero groups (keeping one).
void groups_by_division(word* x, std::int32_t n, std::vector<std::uint32_t>& out,
                        std::size_t width) {
  const std::size_t start = out.size();
  n = wnormalised(x, n);
  while (n > 1 || x[0] != 0) {
    word r = 0;
    for (std::int32_t i = n - 1; i >= 0; --i) x[i] = wdiv_2by1(r, x[i], two_groups, &r);
    out.push_back(static_cast<std::uint32_t>(r % group_base));
    out.push_back(static_cast<std::uint32_t>(r / group_base));
    n = wnormalised(x, n);
  }
  if (width > 0) {
    out.resize(start + width, 0);  // the value is below 10^(8 width)
  } else {
    while (out.size() > start + 1 && out.back() == 0) out.pop_back();
    if (out.size() == start) out.push_back(0);
  }
}

void groups_rec(const word* x, std::int32_t n, std::vector<std::uint32_t>& out, std::size_t width) {
  n = wnormalised(x, n);
  // The largest power of at most half x's length.
  std::size_t k = 0;
  bool split = n >= std::max<std::int32_t>(wide_decimal_words, 4);
  if (split) {
    while (static_cast<std::int32_t>(power(k + 1).size()) <= (n + 1) / 2) ++k;
    split = static_cast<std::int32_t>(power(k).size()) <= (n + 1) / 2;
  }
  if (!split) {
    words copy(x, x + n);
    groups_by_division(copy.data(), n, out, width);
    return;
  }
  const words& p = power(k);
  const auto np = static_cast<std::int32_t>(p.size());
  words q(static_cast<std::size_t>(n - np + 1)), r(static_cast<std::size_t>(np));
  wdivrem(q.data(), r.data(), x, n, p.data(), np);
  const std::size_t start = out.size();
  groups_rec(r.data(), np, out, std::size_t{1} << k);
  groups_rec(q.data(), n - np + 1, out, width == 0 ? 0 : width - (out.size() - start));
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
std::int32_t words_for_groups(std::int64_t count) { return static_cast<std::int32_t>(count * 133 / 320 + 4); }

// r[0 .. words_for_groups(count)) := the value of the groups, the low 2^k
// of them (2^k < count, the largest) converted apart and the high ones
// multiplied by P_k; returns the normalised length.
std::int32_t value_rec(const std::uint32_t* g, std::int64_t count, word* r) {
  if (words_for_groups(count) < 2 * std::max<std::int64_t>(wide_decimal_words, 4)) return value_by_steps(g, count, r);
  std::size_t k = 0;
  while ((std::int64_t{2} << k) < count) ++k;
  const std::int64_t low = std::int64_t{1} << k;
  const words& p = power(k);
  const auto np = static_cast<std::int32_t>(p.size());
  words hi(static_cast<std::size_t>(words_for_groups(count - low)));
  const std::int32_t nh = value_rec(g, count - low, hi.data());
  std::fill(r, r + words_for_groups(count), word{0});
  wmul(r, p.data(), np, hi.data(), nh);
  words lo(static_cast<std::size_t>(words_for_groups(low)));
  const std::int32_t nl = value_rec(g + (count - low), low, lo.data());
  const std::int32_t nr = np + nh;
  wadd(r, r, nr, lo.data(), nl);  // no carry: lo < P_k
  return wnormalised(r, nr);
}

}  // namespace

std::int32_t wfrom_decimal(const std::uint32_t* groups, std::int64_t count, std::vector<word>& w) {
  w.assign(static_cast<std::size_t>(words_for_groups(count)), 0);
  return value_rec(groups, count, w.data());
}

void wdecimal(const word* x, std::int32_t n, std::vector<std::uint32_t>& groups) {
  groups.clear();
  groups_rec(x, n, groups, 0);
}

}  // namespace tavrin::detail
