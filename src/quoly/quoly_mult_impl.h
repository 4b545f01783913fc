// The steps that the products and the quotients of values share. Private to
// quoly/.
//
// Each step builds its result into a cell r that is either the left
// operand n itself (the in-place families: n's numerator and denominator
// are worked on and overwritten, in_place true) or a fresh cell whose
// numerator and denominator start nil (the three-argument families: n is
// kept, in_place false). Sources are always read from n and the right
// operand m; a part of r once written is read from r. So one call serves
// both families: poly_mult(n->numer, c, &r->numer) is a * c in place or
// into the fresh cell alike.
#pragma once

#include <cstdint>

#include "core/records.h"
#include "poly/poly_modout.h"  // ReduceFlags

namespace tavrin::detail {

// The diagnostic codes of the four exact divisions by a constant GCD in a
// product of two fractions: a and the other denominator by g1, the other
// numerator and b by g2.
struct cross_codes {
  std::int32_t a, d, c, b;
};
inline constexpr cross_codes fast_gen_codes{-51, -53, -59, -61};  // the product in place
inline constexpr cross_codes gen_codes{-121, -131, -137, -139};   // into a fresh cell

// What a computed GCD g cancels: nothing (nil, 1, or in word-size
// arithmetic any constant, a unit there), a constant (exact division of
// each side by poly_quot), or a polynomial (reduce).
enum class gcd_kind { one, constant, polynomial };
gcd_kind kind_of(poly g);

// *x1 := *x / *g and *y1 := *y / *g for the GCD *g of kind k: a polynomial
// by reduce with flags (which may rebuild *x and *y in Laurent mode), a
// constant by poly_quot with the diagnostic codes cx and cy; nothing for
// gcd_kind::one. *g: kept or consumed by reduce; *x1, *y1: overwritten.
void divide_by_common(gcd_kind k, poly* x, poly* y, poly* g, poly* x1, poly* y1,
                      const ReduceFlags& flags, std::int32_t cx, std::int32_t cy);

// The body of fast_gen_quoly_mult (in_place, r = n) and gen_quoly_mult
// (r a fresh cell): r := n * m for two values with denominators, a =
// numer(n), b = denom(n), c = numer(m), d = denom(m):
//   a = d and c = b: the constant numerator 1 and no denominator (the
//   caller makes it a number); a = d: c over b, check_quoly(r, false);
//   c = b: a over d, check_quoly(r, laurent); b = d: a c over b d and the
//   denominator checks (do_mults in place); otherwise g1 := gcd(a, d)
//   (Lpolygcd, v_odd = laur), g2 := gcd(c, b), (a/g1)(c/g2) over
//   (b/g2)(d/g1) and the denominator checks (do_mults in place); rat := not
//   word-size and both constants. Modulo a prime the residue route may
//   answer first (quoly_residues_impl.h).
// n: changed when in_place (r is n), else kept; m: kept; r: receives the
// product (it may become a number value, the same node).
// reads: mode flags, laurent, polynames, pseudo_polynames, token
void fractions_product(quoly n, quoly m, quoly r, bool in_place, bool laur,
                       const cross_codes& codes);

// The checks of r's denominator after a product:
//   - not a constant: a zero numerator drops it; else, outside word-size
//     arithmetic with relations in force, the integer contents cancelled;
//   - the constant 0: user error 210 with token, then r is the number 0;
//   - a zero numerator drops it;
//   - word-size arithmetic: divided into the numerator and dropped;
//   - otherwise, with relations in force, the integer contents cancelled;
//     1 is dropped, -1 dropped with the numerator negated, a negative
//     constant negated with the numerator.
// r: changed in place.
void denominator_checks(quoly r);

// In word-size arithmetic, a constant denominator of r divided into the
// numerator and dropped (nothing otherwise, or without a denominator).
void divide_out_word_denominator(quoly r);

// A cell for values built in place of another: a fresh rational-function
// cell (numer, denom nil), freed on every exit with whatever it holds
// unless handed over.
class ResultCell {
 public:
  ResultCell();
  // Takes over q, a fresh cell of the caller's.
  explicit ResultCell(quoly q) : q_(q) {}
  ~ResultCell();
  ResultCell(const ResultCell&) = delete;
  ResultCell& operator=(const ResultCell&) = delete;
  quoly get() const { return q_; }
  // The cell itself, for routines that replace the value it holds.
  quolyptr cell() { return &q_; }
  // The cell goes to *p; the old *p is freed afterwards (so it may be an
  // operand of the computation).
  void hand_over(quolyptr p);
  // The cell alone goes back to the free list (its parts must be nil or
  // owned elsewhere).
  void dump();

 private:
  quoly q_ = nullptr;
};

}  // namespace tavrin::detail
