// Flat polynomials of the GCD engines (flat_gcd.h): arrays of terms with
// packed exponent vectors, and their conversion from and to the recursive
// lists of poly_repr.h. Private to src/gcd/flat.
//
// Representation. The variables of a problem are numbered 0 .. n - 1, 0
// being the highest level that occurs (the levels that occur in neither
// argument are left out and put back as pads when the result is rebuilt).
// An exponent vector is one 64-bit key: variable k in the field of `width`
// bits at shift (n - 1 - k) * width, whose top bit (the guard) stays 0, so
// keys compare as exponent vectors in lexicographic order and the
// difference of two keys shows a negative field in the guard bits. A
// polynomial is its terms in strictly decreasing key order, no coefficient
// zero; the zero polynomial has no terms.
#pragma once

#include <cstdint>
#include <vector>

#include "core/records.h"
#include "poly/exponent_keys.h"

namespace tavrin::flat {

// Every variable's field `width` bits wide, the top one the guard: a
// Packing of width - 1 value bits at (nvars - 1 - k) * width.
struct Layout {
  int nvars = 0;
  int width = 0;             // bits of a field, the guard bit included
  std::uint64_t guards = 0;  // the guard bit of every field
  detail::Packing packing;

  Layout() = default;
  Layout(int n, int w) : nvars(n), width(w) {
    packing.depth = n;
    packing.total = n * w;
    for (int k = 0; k < n; ++k) {
      packing.shift[static_cast<std::size_t>(k)] = (n - 1 - k) * w;
      packing.width[static_cast<std::size_t>(k)] = w - 1;
      guards |= std::uint64_t{1} << (shift(k) + w - 1);
    }
  }
  int shift(int k) const { return packing.shift[static_cast<std::size_t>(k)]; }
  std::uint64_t unit(int k) const { return packing.unit(k); }
  std::uint64_t field_mask(int k) const { return packing.field_mask(k); }
  std::int32_t exponent(std::uint64_t key, int k) const {
    return static_cast<std::int32_t>(packing.field(key, k));
  }
  // The key with variable k's field cleared.
  std::uint64_t without(std::uint64_t key, int k) const { return key & ~field_mask(k); }
  // The largest exponent a field holds.
  std::int32_t largest() const {
    return static_cast<std::int32_t>((std::int64_t{1} << (width - 1)) - 1);
  }
  // a - b has a negative field (b does not divide a as monomials).
  bool borrows(std::uint64_t a, std::uint64_t b) const { return ((a - b) & guards) != 0; }
};

template <class C>
struct Poly {
  std::vector<std::uint64_t> key;
  std::vector<C> coef;
  std::size_t size() const { return key.size(); }
  bool empty() const { return key.empty(); }
  void clear() {
    key.clear();
    coef.clear();
  }
  void push(std::uint64_t k, C c) {
    key.push_back(k);
    coef.push_back(c);
  }
};

// A problem read from two recursive polynomials: its layout, and for each
// flat variable the level (0 = pt's level) it stands for.
struct Problem {
  Layout layout;
  std::vector<int> level_of;         // flat variable -> relative level
  std::vector<int> var_of;           // relative level -> flat variable, -1 for a level left out
  int levels = 0;                    // relative levels from pt down (number_polys - depth + 1)
  std::vector<std::int32_t> degree;  // largest exponent of each flat variable in u and v
};

// Sets up the problem of u and v (polynomials at pt's level): false when it
// does not fit (an exponent negative, a field wider than a key allows, or
// no variable at all).
bool read_problem(poly u, poly v, polypt pt, Problem* pr);

// The terms of p with their coefficients: the numbers themselves (not
// copied; p must outlive the result), or their word residues.
void flatten(poly p, const Problem& pr, Poly<imptr>* out);
void flatten(poly p, const Problem& pr, Poly<std::uint32_t>* out);

// The recursive polynomial of sorted terms at pt's level, each coefficient
// made by leaf(k) (k the term's index). The terms are not empty.
template <class MakeLeaf>
poly rebuild(const std::vector<std::uint64_t>& keys, const Problem& pr, MakeLeaf leaf);

// A new leaf holding the word residue r.
poly word_leaf(std::uint32_t r);

// The recursive polynomial of the sorted keys [lo, hi) from relative level
// `level` on; leaf(k) gives term k's coefficient.
poly rebuild_range(const std::vector<std::uint64_t>& keys, std::size_t lo, std::size_t hi,
                   int level, const Problem& pr, poly (*leaf)(std::size_t, void*), void* ctx);

template <class MakeLeaf>
poly rebuild(const std::vector<std::uint64_t>& keys, const Problem& pr, MakeLeaf leaf) {
  return rebuild_range(
      keys, 0, keys.size(), 0, pr,
      [](std::size_t k, void* c) { return (*static_cast<MakeLeaf*>(c))(k); }, &leaf);
}

}  // namespace tavrin::flat
