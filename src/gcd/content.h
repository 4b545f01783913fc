// Contents and primitive parts of multivariate polynomials.
//
// Operands are the recursive sparse polynomials of poly_repr.h. pt is the
// level record of the list examined: pt->depth its level (1 = top),
// pt->next the level of its coefficients. The content of q with respect to
// its main variable is the GCD (polygcd, gcd.h) of its coefficients, a
// polynomial whose top list is at pt->next's level, with no pad for pt's
// own level (callers pad it with add_pad where they need it there). A
// numeric content is one new number leaf: 1.0 in floating mode, 1 in word
// and modular mode, else the positive GCD of the integer coefficients.
//
// Primitive parts are formed by the callers: a content that is not 1 is
// divided out in place by num_poly_quot (a number), by special_div /
// special_div_2 in rational arithmetic over a coefficient field, and by the
// exact divisions of poly_exact_divide.h otherwise.
//
// The work counters c_cntcount / c_cntdepth (and a_ / d_ for the auxiliary
// and dual contents) live in core/globals.h. A count past 200000 switches
// the search for the two smallest coefficients off for the rest of the
// command; a count that wraps negative is reported by warning(0).
#pragma once

#include <cstdint>

#include "core/records.h"
#include "core/ring.h"

namespace tavrin {

// *r := the content of q with respect to pt's variable:
//   1. pt at or below field_depth: 1 in modular mode, else gcd_coefs(q);
//   2. gcd_coefs(q) when q's last node is a number leaf, number_polys is 1,
//      every coefficient is a number leaf (height_is_1), or every
//      coefficient lies in the coefficient field (all_coefs_invrtble);
//   3. otherwise the GCD of the coefficients: the two with the fewest nodes
//      (bigger_node_total) first, unless the search is off (pt more than 10
//      levels below c_cntdepth, c_cntcount past 200000, or one term; it also
//      stops once the smallest has fewer than 25 nodes or the second fewer
//      than 50), then the others in list order, stopping at the first GCD
//      equal to 1. c_cntcount grows by 1 a call and 1 a term searched;
//      c_cntdepth is set by the first content of the command (pt's depth
//      plus the pads below q's first coefficient).
// Every GCD is polygcd(.., pt->next, {.allcons = allcons, .canreset =
// false}), the coefficients passed with the keep flag qsave. With verbose and verbon on,
// the progress line "Content, counting to " n ": " " 1" " 2" ... (dumpitt).
// q: kept (a polynomial in pt's variable, not a constant); *r: overwritten
// (may be &q). reads: mode flags, field_depth, number_polys, verbose;
// writes: c_cntcount, c_cntdepth, the progress trace
void content(poly q, poly* r, polypt pt, bool verbon, bool allcons, bool qsave);
// The same in `ring` (the ring in force), read instead of the mode globals.
void content(poly q, poly* r, polypt pt, bool verbon, bool allcons, bool qsave, const Ring& ring);

// *r := the numeric content of q: 1.0 in floating mode, 1 in word mode,
// else the positive GCD of all its integer coefficients (find_gcdcoefs).
// q: kept; *r: overwritten (may be &q). reads: mode flags
void gcd_coefs(poly q, poly* r);
void gcd_coefs(poly q, poly* r, const Ring& ring);

// *r := the content of p with respect to the variable depth - 1 levels
// below pt (depth 1: pt's own, giving content's result one level below pt;
// depth >= 2: a polynomial at pt's level with a pad standing at the level of
// that variable). The variable is rotated to the top of a temporary
// skeleton (convert_poly), content (allcons := wantcons) is taken there and
// the level put back (patch_up); the skeleton shares every coefficient of
// p below its top depth levels and is given back node by node. When the
// variable does not occur in p: *wantr false on entry gives *r := 1 and
// *wantr := true; *wantr true gives *r := a copy of p.
// Internal errors (nested level, the work goes on): " 0 exp head node in
// general_content" for p's head exponent 0, "q number in general content".
// p: kept (no node freed); *r: overwritten; *wantr: read, may be set.
void general_content(poly p, std::int16_t depth, poly* r, polypt pt, bool* wantr, bool wantcons);
void general_content(poly p, std::int16_t depth, poly* r, polypt pt, bool* wantr, bool wantcons,
                     const Ring& ring);

// *q := the skeleton of p (a list at relative level mydepth) with the
// variable of relative level depth rotated to the top and the variables of
// levels mydepth .. depth - 1 moved one level down. The skeleton owns the
// term nodes of its top depth - mydepth + 1 levels; everything below them
// and every number leaf is p's own (shared). p: kept; *q: set.
void convert_poly(poly p, poly* q, std::int16_t mydepth, std::int16_t depth);

// Gives back the term nodes of relative levels mydepth .. depth of the
// skeleton q (number leaves and the lists below depth are shared, kept).
void free_nodes(poly q, std::int16_t mydepth, std::int16_t depth);

// Inserts a pad below every term of relative level depth in q whose
// coefficient is not a number leaf. q: changed in place.
void patch_up(poly q, std::int16_t mydepth, std::int16_t depth);

// ---- Two polynomials at once --------------------------------------------------------------

// How dual_content and aux_content take their GCDs.
struct PairContentFlags {
  bool verbon = false;   // progress messages (with verbose)
  bool allcons = false;  // passed to every polygcd
  bool psave = false;    // the keep flag of p's coefficients
  bool qsave = false;    // the keep flag of q's coefficients
};

// *r := the GCD of all coefficients of p and of q (of the two contents),
// at pt->next's level. p, q: kept; *r: overwritten.
void dual_content(poly p, poly q, poly* r, polypt pt, const PairContentFlags& flags);
void dual_content(poly p, poly q, poly* r, polypt pt, const PairContentFlags& flags,
                  const Ring& ring);

// *r := the GCD of the coefficient of the pad p (p does not involve pt's
// variable) and all coefficients of q, at pt->next's level.
// p, q: kept; *r: overwritten.
void aux_content(poly p, poly q, poly* r, polypt pt, const PairContentFlags& flags);
void aux_content(poly p, poly q, poly* r, polypt pt, const PairContentFlags& flags,
                 const Ring& ring);

// *u := the integer-primitive quotient of *u by its content *s, in rational
// arithmetic over a coefficient field: *s one level below *u (special_div)
// or at *u's level (special_div_2). *u: replaced; *s: kept.
void special_div(poly* u, poly* s, polypt pt);
void special_div_2(poly* u, poly* s, polypt pt);

}  // namespace tavrin
