// The summation of word-size term products of the flat product: dense
// chunks of cells or a heap of row heads, chosen by an estimate of their
// costs; accumulators of one word or 128 bits, reduced (modulo the
// modulus) only once a product term is complete.
#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <deque>
#include <type_traits>
#include <vector>

#include "core/globals.h"
#include "core/interrupts.h"
#include "core/thresholds.h"
#include "numbers/word_field.h"
#include "poly/poly_flat_impl.h"

namespace tavrin::detail {

namespace {

using u128 = unsigned __int128;

// ---- The accumulators ------------------------------------------------------------------

// One product of two coefficients in the accumulator's type: integers
// signed (their bound keeps a narrow sum within 63 bits), residues
// unsigned (each product below 2^62).
template <class Acc>
inline Acc product_of(std::int64_t x, std::int64_t y) {
  if constexpr (std::is_same_v<Acc, std::int64_t>) {
    return x * y;
  } else if constexpr (std::is_same_v<Acc, wide_int>) {
    return static_cast<wide_int>(x) * y;
  } else {
    return static_cast<Acc>(static_cast<std::uint64_t>(x) * static_cast<std::uint64_t>(y));
  }
}

// ---- Dense chunks ----------------------------------------------------------------------

// The product's exponent vectors split in two: the upper levels [0, split)
// choose a chunk, the lower ones a cell of it, numbered in the mixed radix
// of the product's exponent bounds (so a cell number of a term product is
// the sum of its factors' cell numbers, and cell numbers fall as keys do).

// A run of an operand's terms in one chunk, with its lowest and highest cell.
struct Group {
  std::uint64_t high;
  std::uint32_t begin, end;
  std::uint32_t lowmin, lowmax;
};

struct GroupPair {
  std::uint64_t high;
  std::uint32_t a, b;
};

struct DensePlan {
  int split = 0;
  int lowbits = 64;  // the key bits below the chunk's levels
  std::uint64_t cells = 1;
  std::array<std::uint64_t, flat_max_levels> radix{}, stride{};
  std::vector<std::uint32_t> ia, ib;
  std::vector<Group> ga, gb;
  std::vector<GroupPair> pairs;  // grouped by chunk, chunks decreasing
  double scanned = 0;            // cells the passes visit
};

void cell_numbers(const Flat& f, const Packing& pk, const DensePlan& plan,
                  std::vector<std::uint32_t>& idx) {
  idx.resize(f.key.size());
  for (std::size_t t = 0; t < f.key.size(); ++t) {
    std::uint64_t c = 0;
    for (int k = plan.split; k < pk.depth; ++k)
      c += static_cast<std::uint64_t>(pk.field(f.key[t], k)) *
           plan.stride[static_cast<std::size_t>(k)];
    idx[t] = static_cast<std::uint32_t>(c);
  }
}

std::vector<Group> groups_of(const Flat& f, const std::vector<std::uint32_t>& idx, int lowbits) {
  std::vector<Group> g;
  const auto n = static_cast<std::uint32_t>(f.key.size());
  for (std::uint32_t i = 0; i < n;) {
    const std::uint64_t h = high_part(f.key[i], lowbits);
    std::uint32_t j = i + 1;
    while (j < n && high_part(f.key[j], lowbits) == h) ++j;
    g.push_back({h, i, j, idx[j - 1], idx[i]});
    i = j;
  }
  return g;
}

// The plan of the dense chunks, or false when the cells of a chunk would
// pass `cap` even for the deepest level alone, or the chunks hold too few
// term products to pay for their passes.
bool make_plan(const Flat& a, const Flat& b, const Packing& pk, const FlatScan& sa,
               const FlatScan& sb, std::uint64_t cap, DensePlan& plan) {
  const int d = pk.depth;
  for (int k = 0; k < d; ++k) {
    const auto kk = static_cast<std::size_t>(k);
    plan.radix[kk] = static_cast<std::uint64_t>(sa.maxexp[kk] + sb.maxexp[kk]) + 1;
  }
  int s = d;
  std::uint64_t cells = 1;
  while (s > 0 && static_cast<double>(cells) *
                          static_cast<double>(plan.radix[static_cast<std::size_t>(s - 1)]) <=
                      static_cast<double>(cap)) {
    cells *= plan.radix[static_cast<std::size_t>(s - 1)];
    --s;
  }
  if (s == d) return false;
  plan.split = s;
  plan.cells = cells;
  plan.lowbits = s == 0 ? 64 : pk.shift[static_cast<std::size_t>(s - 1)];
  std::uint64_t st = 1;
  for (int k = d - 1; k >= s; --k) {
    plan.stride[static_cast<std::size_t>(k)] = st;
    st *= plan.radix[static_cast<std::size_t>(k)];
  }
  const bool square = &a == &b;
  cell_numbers(a, pk, plan, plan.ia);
  if (!square) cell_numbers(b, pk, plan, plan.ib);
  const std::vector<std::uint32_t>& ib = square ? plan.ia : plan.ib;
  plan.ga = groups_of(a, plan.ia, plan.lowbits);
  plan.gb = square ? plan.ga : groups_of(b, ib, plan.lowbits);
  const double products = static_cast<double>(a.key.size()) * static_cast<double>(b.key.size());
  if (static_cast<double>(plan.ga.size()) * static_cast<double>(plan.gb.size()) * 2.0 > products)
    return false;
  plan.pairs.reserve(plan.ga.size() * plan.gb.size());
  for (std::uint32_t i = 0; i < plan.ga.size(); ++i)
    for (std::uint32_t j = 0; j < plan.gb.size(); ++j)
      plan.pairs.push_back({plan.ga[i].high + plan.gb[j].high, i, j});
  std::sort(plan.pairs.begin(), plan.pairs.end(),
            [](const GroupPair& x, const GroupPair& y) { return x.high > y.high; });
  for (std::size_t s0 = 0; s0 < plan.pairs.size();) {
    std::uint64_t lo = ~std::uint64_t{0}, hi = 0;
    std::size_t t = s0;
    for (; t < plan.pairs.size() && plan.pairs[t].high == plan.pairs[s0].high; ++t) {
      lo = std::min<std::uint64_t>(
          lo, std::uint64_t{plan.ga[plan.pairs[t].a].lowmin} + plan.gb[plan.pairs[t].b].lowmin);
      hi = std::max<std::uint64_t>(
          hi, std::uint64_t{plan.ga[plan.pairs[t].a].lowmax} + plan.gb[plan.pairs[t].b].lowmax);
    }
    plan.scanned += static_cast<double>(hi - lo + 1);
    s0 = t;
  }
  return true;
}

// The accumulators of the cells: all zero between uses.
template <class Acc>
std::vector<Acc>& cell_store() {
  static std::deque<std::vector<Acc>> cells;
  return scratch_at_depth(cells);
}

// Visits the cells hi down to lo of one chunk row by row: row(base, zlo,
// ztop, rowkey) for the cells base + t, t from ztop down to zlo, whose
// packed low keys are rowkey | t. The deepest level counts down within a
// row, the levels above it like an odometer from row to row.
template <class Row>
void visit_rows(const DensePlan& plan, const Packing& pk, std::uint64_t lo, std::uint64_t hi,
                Row row) {
  const int last = pk.depth - 1;
  std::array<std::uint64_t, flat_max_levels> dig{};
  std::uint64_t x = hi;
  std::uint64_t rowkey = 0;
  for (int k = last; k >= plan.split; --k) {
    const auto kk = static_cast<std::size_t>(k);
    dig[kk] = x % plan.radix[kk];
    x /= plan.radix[kk];
    if (k < last) rowkey |= dig[kk] << pk.shift[kk];
  }
  const std::uint64_t top_digit = plan.radix[static_cast<std::size_t>(last)] - 1;
  std::uint64_t cell = hi;
  std::uint64_t z = dig[static_cast<std::size_t>(last)];
  for (;;) {
    const std::uint64_t base = cell - z;  // the row's cell of digit 0
    row(base, base >= lo ? 0 : lo - base, z, rowkey);
    if (base <= lo) return;
    int k = last - 1;
    while (dig[static_cast<std::size_t>(k)] == 0) {
      const auto kk = static_cast<std::size_t>(k);
      dig[kk] = plan.radix[kk] - 1;
      rowkey += dig[kk] << pk.shift[kk];
      --k;
    }
    --dig[static_cast<std::size_t>(k)];
    rowkey -= std::uint64_t{1} << pk.shift[static_cast<std::size_t>(k)];
    cell = base - 1;
    z = top_digit;
  }
}

// x + y for an accumulator; with Fold (one-word residue sums, y below
// 2^62, x below 2^63) a sum of 2^63 or more is brought back below 2^63 by
// subtracting fold, a multiple of the modulus of at least 2^62.
template <class Acc, bool Fold>
inline Acc add_to(Acc x, Acc y, std::uint64_t fold) {
  if constexpr (Fold) {
    const Acc s = x + y;
    return s >= (Acc{1} << 63) ? s - fold : s;
  } else {
    return x + y;
  }
}

// acc[ia[i] + ib[j]] += a[i] b[j] for every i < na, j < nb. Kept out of
// line, so its few values stay in registers.
template <class Acc, bool Fold>
[[gnu::noinline]] void add_products(Acc* acc, const std::uint32_t* ia, const std::int64_t* a,
                                    std::uint32_t na, const std::uint32_t* ib,
                                    const std::int64_t* b, std::uint32_t nb, std::uint64_t fold) {
  for (std::uint32_t i = 0; i < na; ++i) {
    Acc* base = acc + ia[i];
    const std::int64_t x = a[i];
    for (std::uint32_t j = 0; j < nb; ++j) {
      Acc& c = base[ib[j]];
      c = add_to<Acc, Fold>(c, product_of<Acc>(x, b[j]), fold);
    }
  }
}

// The cells c[span - 1] down to c[0], whose keys are key0 + span - 1 down
// to key0: the non-zero ones written to keys and sums (every cell is
// written, only the non-zero ones counted), every cell cleared. Returns
// how many were kept.
template <class Acc>
[[gnu::noinline]] std::size_t take_row(Acc* c, std::size_t span, std::uint64_t key0,
                                       std::uint64_t* keys, Acc* sums) {
  std::size_t kept = 0;
  for (std::size_t z = span; z-- > 0;) {
    const Acc v = c[z];
    c[z] = 0;
    keys[kept] = key0 + z;
    sums[kept] = v;
    kept += (v != 0) ? 1 : 0;
  }
  return kept;
}

// The sums of the product's terms into keys and sums, keys decreasing; a
// zero sum is dropped.
template <class Acc, bool Fold>
void dense_sum(const Flat& a, const Flat& b, const Packing& pk, const DensePlan& plan,
               std::uint64_t fold, FlatBuffer<std::uint64_t>& keys, FlatBuffer<Acc>& sums) {
  std::vector<Acc>& store = cell_store<Acc>();
  if (store.size() < plan.cells) store.assign(plan.cells, Acc{0});
  Acc* acc = store.data();
  const std::vector<std::uint32_t>& ib = (&a == &b) ? plan.ia : plan.ib;
  // Cells left non-zero by an error unwinding out of a pass are cleared here.
  struct Clear {
    Acc* acc;
    std::uint64_t lo = 0, hi = 0;
    bool live = false;
    ~Clear() {
      if (live) std::fill(acc + lo, acc + hi + 1, Acc{0});
    }
  } guard{acc};
  const std::int64_t* av = a.val.data();
  const std::int64_t* bv = b.val.data();
  const std::uint32_t* bi = ib.data();
  std::int64_t until_poll = flat_poll_products;
  for (std::size_t s = 0; s < plan.pairs.size();) {
    const std::uint64_t high = plan.pairs[s].high;
    std::uint64_t lo = ~std::uint64_t{0}, hi = 0;
    std::size_t t = s;
    for (; t < plan.pairs.size() && plan.pairs[t].high == high; ++t) {
      const Group& x = plan.ga[plan.pairs[t].a];
      const Group& y = plan.gb[plan.pairs[t].b];
      lo = std::min<std::uint64_t>(lo, std::uint64_t{x.lowmin} + y.lowmin);
      hi = std::max<std::uint64_t>(hi, std::uint64_t{x.lowmax} + y.lowmax);
      guard.lo = lo;
      guard.hi = hi;
      guard.live = true;
      // x's rows in blocks of some flat_poll_products term products, a poll
      // between blocks (the cells are cleared if the level abandons this)
      const std::uint32_t nb = y.end - y.begin;
      const std::uint32_t block =
          static_cast<std::uint32_t>(std::max<std::int64_t>(1, flat_poll_products / nb));
      for (std::uint32_t i = x.begin; i < x.end;) {
        const std::uint32_t rows = std::min(block, x.end - i);
        until_poll -= std::int64_t{rows} * nb;
        if (until_poll < 0) {
          until_poll = flat_poll_products;
          check_interrupt();
        }
        add_products<Acc, Fold>(acc, plan.ia.data() + i, av + i, rows, bi + y.begin, bv + y.begin,
                                nb, fold);
        i += rows;
      }
    }
    guard.lo = lo;
    guard.hi = hi;
    guard.live = true;
    const std::uint64_t top = plan.lowbits >= 64 ? 0 : high << plan.lowbits;
    visit_rows(
        plan, pk, lo, hi,
        [&](std::uint64_t base, std::uint64_t zlo, std::uint64_t ztop, std::uint64_t rowkey) {
          const std::size_t span = static_cast<std::size_t>(ztop - zlo + 1);
          const std::size_t kept = take_row(acc + base + zlo, span, top | rowkey | zlo,
                                            keys.room(span), sums.room(span));
          keys.commit(kept);
          sums.commit(kept);
        });
    guard.live = false;
    s = t;
  }
}

// ---- Heap of row heads -----------------------------------------------------------------

struct HeapEntry {
  std::uint64_t key;
  std::uint32_t i, j;
};

// h[1 .. n] a max-heap but for h[1]: restores it.
inline void sift_down(HeapEntry* h, std::size_t n) {
  const HeapEntry e = h[1];
  std::size_t k = 1;
  for (;;) {
    std::size_t c = 2 * k;
    if (c > n) break;
    if (c < n && h[c + 1].key > h[c].key) ++c;
    if (h[c].key <= e.key) break;
    h[k] = h[c];
    k = c;
  }
  h[k] = e;
}

// h[1 .. n] a max-heap but for h[n]: restores it.
inline void sift_up(HeapEntry* h, std::size_t n) {
  const HeapEntry e = h[n];
  std::size_t k = n;
  while (k > 1 && h[k / 2].key < e.key) {
    h[k] = h[k / 2];
    k /= 2;
  }
  h[k] = e;
}

// The term products in decreasing key order, each key's sum emitted once.
// A row (one term of a times b) enters the heap only when the row above it
// has given its first product, so the heap holds the rows in play.
template <class Acc, bool Fold>
void heap_sum(const Flat& a, const Flat& b, std::uint64_t fold, FlatBuffer<std::uint64_t>& keys,
              FlatBuffer<Acc>& sums) {
  const auto na = static_cast<std::uint32_t>(a.key.size());
  const auto nb = static_cast<std::uint32_t>(b.key.size());
  std::vector<HeapEntry> store(static_cast<std::size_t>(na) + 1);
  HeapEntry* h = store.data();
  const std::uint64_t* ak = a.key.data();
  const std::uint64_t* bk = b.key.data();
  const std::int64_t* av = a.val.data();
  const std::int64_t* bv = b.val.data();
  std::size_t n = 1;
  h[1] = {ak[0] + bk[0], 0, 0};
  std::int64_t until_poll = flat_poll_products;
  while (n > 0) {
    const std::uint64_t key = h[1].key;
    Acc acc = 0;
    do {
      if (--until_poll < 0) {
        until_poll = flat_poll_products;
        check_interrupt();
      }
      const HeapEntry e = h[1];
      acc = add_to<Acc, Fold>(acc, product_of<Acc>(av[e.i], bv[e.j]), fold);
      if (e.j + 1 < nb) {
        h[1] = {ak[e.i] + bk[e.j + 1], e.i, e.j + 1};
      } else {
        h[1] = h[n--];
      }
      if (n > 1) sift_down(h, n);
      if (e.j == 0 && e.i + 1 < na) {
        h[++n] = {ak[e.i + 1] + bk[0], e.i + 1, 0};
        sift_up(h, n);
      }
    } while (n > 0 && h[1].key == key);
    if (acc != 0) {
      keys.push(key);
      sums.push(acc);
    }
  }
}

// ---- Costs -------------------------------------------------------------------------------

// Measured on random products in three variables (nanoseconds): a term
// product into a cell, a cell visited, a chunk pair set up; a heap step
// per level of the heap's depth and per product.
constexpr double cell_product_ns = 1.0;
constexpr double wide_cell_product_ns = 1.6;
constexpr double cell_visit_ns = 0.35;
constexpr double wide_cell_visit_ns = 0.6;
constexpr double pair_ns = 25.0;
constexpr double heap_product_ns = 6.0;
constexpr double heap_level_ns = 2.5;

double heap_cost(const Flat& a, const Flat& b) {
  const double products = static_cast<double>(a.key.size()) * static_cast<double>(b.key.size());
  return products *
         (heap_product_ns + heap_level_ns * std::log2(static_cast<double>(a.key.size()) + 1.0));
}

double dense_cost(const Flat& a, const Flat& b, const DensePlan& plan, bool wide) {
  const double products = static_cast<double>(a.key.size()) * static_cast<double>(b.key.size());
  return products * (wide ? wide_cell_product_ns : cell_product_ns) +
         plan.scanned * (wide ? wide_cell_visit_ns : cell_visit_ns) +
         static_cast<double>(plan.pairs.size()) * pair_ns;
}

std::uint64_t cell_cap() {
  return flat_cell_bits <= 0 ? 0 : std::uint64_t{1} << std::min<std::int32_t>(flat_cell_bits, 30);
}

// The sums of Acc of the residues: scratch kept between products.
template <class Acc>
FlatBuffer<Acc>& residue_sums() {
  static std::deque<FlatBuffer<Acc>> sums;
  return scratch_at_depth(sums);
}

template <class Acc, bool Fold = false>
FlatMethod run(const Flat& a, const Flat& b, const Packing& pk, const DensePlan* plan,
               const WordSums& how, WordTerms& out) {
  FlatBuffer<Acc>* sums = nullptr;
  if constexpr (std::is_same_v<Acc, std::int64_t>) {
    sums = &out.val;
  } else if constexpr (std::is_same_v<Acc, wide_int>) {
    sums = &out.wide;
  } else {
    sums = &residue_sums<Acc>();
    sums->clear();
  }
  if (plan != nullptr) {
    dense_sum<Acc, Fold>(a, b, pk, *plan, how.fold, out.key, *sums);
  } else {
    heap_sum<Acc, Fold>(a, b, how.fold, out.key, *sums);
  }
  if constexpr (std::is_unsigned_v<Acc> || std::is_same_v<Acc, u128>) {
    // Residues: each sum reduced once, the terms that vanish dropped.
    const WordField red(how.modulus);
    const std::size_t n = out.key.size();
    std::uint64_t* k = out.key.data();
    const Acc* v = sums->data();
    std::int64_t* r = out.val.room(n);
    std::size_t kept = 0;
    for (std::size_t i = 0; i < n; ++i) {
      std::uint64_t x = 0;
      if constexpr (std::is_same_v<Acc, u128>) {
        x = red.reduce_wide(v[i]);
      } else {
        x = red.reduce(v[i]);
      }
      k[kept] = k[i];
      r[kept] = static_cast<std::int64_t>(x);
      kept += x != 0 ? 1 : 0;
    }
    out.key.truncate(kept);
    out.val.commit(kept);
  }
  return plan != nullptr ? FlatMethod::dense : FlatMethod::heap;
}

}  // namespace

FlatMethod sum_word_products(const Flat& a, const Flat& b, const Packing& pk, const FlatScan& sa,
                             const FlatScan& sb, const WordSums& how, WordTerms& out) {
  DensePlan plan;
  bool dense = false;
  double summed = heap_cost(a, b);
  if (flat_scan_ratio > 0 && make_plan(a, b, pk, sa, sb, cell_cap(), plan)) {
    // flat_scan_ratio 4 takes the cheaper; more favours the cells.
    const double cells = dense_cost(a, b, plan, !how.narrow);
    dense = 4.0 * cells <= static_cast<double>(flat_scan_ratio) * summed;
    if (dense) summed = cells;
  }
  if (!how.modular && flat_packed_ratio > 0) {
    // flat_packed_ratio 4 takes the cheaper; more favours the packed product.
    const double packed = packed_cost(a, b, pk, sa, sb);
    if (packed >= 0 && 4.0 * packed <= static_cast<double>(flat_packed_ratio) * summed) {
      packed_word_product(a, b, pk, sa, sb, how.narrow, out);
      return FlatMethod::packed;
    }
  }
  const DensePlan* p = dense ? &plan : nullptr;
  if (how.modular) {
    if (!how.narrow) return run<u128>(a, b, pk, p, how, out);
    return how.fold != 0 ? run<std::uint64_t, true>(a, b, pk, p, how, out)
                         : run<std::uint64_t>(a, b, pk, p, how, out);
  }
  return how.narrow ? run<std::int64_t>(a, b, pk, p, how, out)
                    : run<wide_int>(a, b, pk, p, how, out);
}

}  // namespace tavrin::detail
