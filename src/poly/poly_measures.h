// Measures of polynomials (poly_repr.h): levels and degrees, term and node
// counts, size estimates (masses), shape tests, the monomial order and the
// integer content. The algorithms choose their methods by these answers, so
// every cut-off, cap and saturation value below is part of the contract:
// callers compare the answers with thresholds of their own.
//
// Levels are counted from the list handed in (1) unless a depth argument
// gives the level of that list. field_depth 0 means no field levels;
// otherwise a list at a level >= field_depth lies in the coefficient field.
// "Stops past N": the walk returns its running count as soon as it exceeds N
// (the answer is then some value above N, at most the stated cap), so asking
// whether a polynomial is bigger than N costs about N node visits.
//
// Unless a contract says otherwise, every operand is kept (read only) and
// must not be nil.
#pragma once

#include <cstdint>
#include <vector>

#include "core/records.h"
#include "numbers/poly_nodes.h"  // field_leading_coef

namespace tavrin {

// poly_depth of a constant.
constexpr std::int16_t constant_depth = 16384;
// Saturation values of the masses and of the dense volume.
constexpr std::int32_t poly_mass_limit = 33554430;
constexpr std::int32_t better_poly_mass_limit = 1073741824;
constexpr std::int32_t full_poly_mass_limit = 268435456;
constexpr std::int32_t new_poly_mass_limit = 268435456;
constexpr std::int32_t dense_volume_limit = 2147483629;

// ---- Levels and degrees ---------------------------------------------------------
// The level of the first list, walking down through pads, that has more than
// one node or a non-zero head exponent; constant_depth for a bare leaf (1 for
// a leaf that has a successor).
std::int16_t poly_depth(poly p);
// The same walk, 0 for a bare leaf.
std::int16_t poly_level(poly p);
// 0 for nil or a list of leaves only; else 1 + the largest depth_below of the
// coefficients of its terms (pads count as levels).
std::int16_t depth_below(poly p);
// depth_below of the first list below the leading pads: the levels p spans.
std::int16_t poly_height(poly p);
// As depth_below when field_depth is 0. With field levels, the levels that p
// (at level depth) spans above the field, counted as L - depth + 1 (1 for
// nil). reads: field_depth
std::int16_t quick_depth_below(poly p, std::int16_t depth);
// 0 when d >= field_depth; else the largest of d (when p's head exponent is
// non-zero, else 0) and max_below of every list coefficient at d + 1.
// reads: field_depth
std::int16_t max_below(poly p, std::int16_t d);
// The exponent of the node reached by going polydepth-1 levels down along
// first coefficients (stopping at a leaf).
std::int32_t real_degree(poly p, std::int32_t polydepth);
// 0 for a number value, else real_degree of the numerator.
std::int32_t real_q_degree(quoly q, std::int32_t polydepth);
// real_degree for a polynomial whose levels above pd are pads; 0 for a leaf.
// A non-zero exponent or a leaf above level pd is an internal error with a
// nested command level, after which the walk goes on.
std::int32_t clean_degree(poly u, std::int32_t pd);
// *ans: raised (never lowered; callers start it at -2147483647) to the
// highest exponent of the variable lev levels below q's top (1: q's own head
// exponent); a leaf met on the way raises it to at least 0.
void max_degree(poly q, std::int32_t lev, std::int32_t* ans);
// An upper bound of the total degree of p at level depth: its head exponent e
// plus the largest bound of its coefficients (computed with stop - e); e
// alone when depth = number_polys or p is a leaf; returns as soon as the
// running result reaches stop. reads: number_polys
std::int32_t sum_degrees(poly p, std::int32_t depth, std::int32_t stop);
// field_leading_coef: numbers/poly_nodes.h.
// Some list reached from p (at level d) at a level >= field_depth has a term
// at its head. reads: field_depth
bool exists_field_element(poly p, std::int32_t d);
// False when u or v has a term at its head and depth >= field_depth, or a
// coefficient of one of their terms has a field element at depth + 1.
// reads: field_depth
bool both_above_field_depth(poly u, poly v, std::int32_t depth);
// u involves only its top two levels, as far as samples of the coefficients
// of its terms show (each one's head and the three nodes after it).
bool depth_only_2(poly u);
// *lev := 2; *depth := min(max(ulevel, vlevel), L), L = 4 when total < 1200,
// 8 when total < 10000, else 12.
void poly_level_depth(std::int32_t ulevel, std::int32_t vlevel, std::int32_t total,
                      std::int32_t* lev, std::int32_t* depth);
// The number of levels, from depth (which always counts) down to
// number_polys, at which some list of p (at level depth) has a head exponent
// > 0. reads: number_polys
std::int16_t polys_there(poly p, std::int16_t depth);
// The number of levels at which some term of n has a non-zero exponent.
std::int32_t driver_poly_vars(poly n);

// ---- Term and node counts ----------------------------------------------------------
// Nodes of the top list (0 for nil).
std::int32_t poly_length(poly n);
// Nodes of the top list; stops past cut.
std::int16_t fast_poly_length(poly n, std::int16_t cut);
// A list whose exponents span more than this many times its term count is
// sparse: its signed count is negated (exp_poly_length).
constexpr std::int64_t sparse_spread = 6;
// Nodes of the top list, negated when head exponent - last exponent exceeds
// sparse_spread times that count; *expon := the last node's exponent. *one_var (a request
// on entry) stays true only in modular mode: with at least two variables when
// every term's coefficient is a leaf (in Laurent mode one without successor)
// and the last exponent is >= 0; with one variable when the last exponent is
// >= 0. reads: modularmode, number_polys, laurent
std::int32_t exp_poly_length(poly n, std::int32_t* expon, bool* one_var);

// The residues of a one-variable list gathered by the walk that counts its
// terms (exp_poly_length with a gather), so that a product on element
// vectors reads the list once. Gathered in modular mode only, from a list
// of terms over bare leaves with exponents >= 1 and at most a constant leaf
// last; nothing is kept for a list of fewer than fast_mult_cut terms (no
// vector route takes it), and the gather is given up once the terms walked
// span more than sparse_spread exponents each (a sparse list costs no
// memory beyond its terms). reads: modularmode, fast_mult_cut
class ResidueGather {
 public:
  ResidueGather();
  // The walk is at p, the k-th node (k from 1) of the list headed by head.
  void at(poly head, poly p, std::int32_t k) {
    if (given_up_) return;
    if (!started_) {
      if (k < start_) return;
      started_ = true;
      start(head, p);
      if (given_up_) return;
    }
    if (!add(head->exp, p, k)) give_up();
  }
  // The element vector of the list walked (coefficient of x^i at index i,
  // head exponent + 1 entries) when it was gathered whole, else empty.
  std::vector<std::int32_t> take(poly head);

 private:
  // Gathers the k-th node p of a list of head exponent top; false when the
  // list is no list of residues or too sparse.
  bool add(std::int32_t top, poly p, std::int32_t k) {
    std::int64_t j = top;
    std::int32_t v = 0;
    if (p->numb) {
      if (p->next != nullptr) return false;
      v = p->ncoef->lint;
    } else {
      const poly c = p->pcoef;
      if (p->exp < 1 || !c->numb || c->next != nullptr) return false;
      j -= p->exp;
      v = c->ncoef->lint;
    }
    if (j < 0 || j > sparse_spread * k) return false;
    const auto at = static_cast<std::size_t>(j);
    if (at < from_top_.size()) {
      from_top_[at] = v;
    } else {
      if (at > from_top_.size()) from_top_.resize(at, 0);
      from_top_.push_back(v);
    }
    return true;
  }
  // Gathers the nodes from head to before p (walked a moment ago).
  void start(poly head, poly p);
  void give_up();

  std::vector<std::int32_t> from_top_;  // the coefficient of x^(top - j) at j
  bool started_ = false;
  std::int32_t start_;  // the node count the gather starts at
  bool given_up_ = false;
};

// exp_poly_length, gathering the residues of n into *gather in the same walk.
std::int32_t exp_poly_length(poly n, std::int32_t* expon, bool* one_var, ResidueGather* gather);
// Leaves over all levels; stops past 60.
std::int16_t fast_numterms(poly n);
// Leaves over all levels of n (at level depth), a field-level list counting
// 1; stops past 100. reads: field_depth
std::int16_t fast_f_numterms(poly n, std::int16_t depth);
// All nodes over all levels; stops past 17.
std::int32_t node_total(poly n);
// A leaf counts 1, a term its exponent plus its coefficient's count; stops
// past 100 and answers at most 200.
std::int32_t new_node_total(poly n);
// All nodes; stops past 800 and answers at most 1600.
std::int32_t big_node_total(poly n);
// All nodes; stops past 12000.
std::int32_t bigg_node_total(poly n);
// All nodes; stops past 256000.
std::int32_t bigger_node_total(poly n);
// Nodes of positive exponent and leaves (exponent-0 terms are walked but not
// counted), n at level depth; stops past 1600 and answers at most 3200.
// deglist: written: with init, deglist[depth] := head exponent + 1 and the
// levels below up to number_polys := 0; without, deglist[depth] is raised to
// it; every level below is raised likewise. With init, *expop := the product
// of deglist[depth] and the following entries up to number_polys, stopping
// at the first 0 entry (the dense volume), dense_volume_limit when it
// overflows 32 bits or is negative. reads: number_polys
std::int16_t expon_node_total(poly n, std::int32_t depth, bool init, std::int32_t* expop);
// Leaves over all levels of n (at level depth), a field-level list counting 1.
// reads: field_depth
std::int32_t poly_numterms(poly n, std::int32_t depth);
// The same; stops past 1000 after adding a coefficient's count.
std::int32_t qpoly_numterms(poly n, std::int32_t depth);
// Leaves; answers 200010 once past 200010.
std::int32_t q_poly_numterms(poly n);
// Leaves; nil gives 0.
std::int32_t f_poly_numterms(poly n);
// Leaves; stops past 40.
std::int32_t poly_nodes(poly n);
// n at level depth: a leaf weighs depth, a term depth times its coefficient's
// weight at depth + 1, a field-level list 1; answers 10000000 once past it.
// reads: field_depth
std::int32_t poly_weight(poly n, std::int32_t depth);
// 1 for a number value; else the terms of numerator plus denominator, each
// counting 1 when field_depth is 1 (poly_numterms at level 1).
std::int32_t numterms(quoly q);
// 1 for a number value, else the leaves of numerator plus denominator.
std::int32_t f_numterms(quoly q);

// ---- Masses (size estimates) ------------------------------------------------------
// Sum over n's top list: a leaf adds 1 in word mode, else its limb count; a
// term of exponent 0 adds poly_mass(coefficient, m, depth); a term of
// exponent e adds m * depth * |e| * poly_mass(coefficient, 1, depth + 1); m
// is multplier for the first node and 1 after it. A product or running sum
// beyond 32 bits gives poly_mass_limit; nil gives 0. In Laurent mode a
// single monomial that is not a leaf weighs instead the pads above its first
// real level + 1 + that level's depth_below. reads: lintmode, laurent
std::int32_t poly_mass(poly n, std::int32_t multplier, std::int32_t depth);
// As poly_mass with the term weight m * ((depth + 2) div 2) * ((|e| + 1) div 2)
// * better_poly_mass(coefficient, 1, depth + 1), saturating at
// better_poly_mass_limit. reads: lintmode, laurent
std::int32_t better_poly_mass(poly n, std::int32_t multplier, std::int32_t depth);
// A leaf adds 1 in word mode, else its bit size (size_of; a leaf without
// limbs adds 1); a term of exponent e adds |e| * full_poly_mass(coefficient,
// multplier, depth - 1) * depth * multplier, exponent 0 adds
// full_poly_mass(coefficient, multplier, depth - 1); at most
// full_poly_mass_limit, which a negative running sum or a product beyond 32
// bits also gives. reads: lintmode
std::int32_t full_poly_mass(poly n, std::int32_t multplier, std::int32_t depth);
// Over at most the first 7 nodes, stopping at the first leaf: the largest
// exponent * depth + new_poly_mass(coefficient, depth + 1) (0 when none is
// positive); at most new_poly_mass_limit; nil gives 0.
std::int32_t new_poly_mass(poly n, std::int32_t depth);
// 13 per term plus its coefficient's mass; 31 per leaf plus, outside word
// mode, 8 per limb; nil gives 0. reads: lintmode
std::int32_t simple_poly_mass(poly n);
// simple_poly_mass, stopping past 350 (resp. 250), tested after each node.
std::int32_t more_simple_poly_mass(poly n);
std::int32_t very_simple_poly_mass(poly n);
// Number value: 1 in word mode, else its limb count. Rational number (rat,
// outside word mode): limbs of numerator plus denominator. Otherwise, with
// M = poly_mass(x, depthnum, 1): M(numer), plus (bit size of a number
// denominator) div 3 + 1, or plus massnum * M(denom) for a polynomial one
// (32-bit arithmetic). A negative result is reported as the internal error
// "quoly_mass < 0." (no nested level) and returned.
// reads: lintmode, laurent, depthnum, massnum
std::int32_t quoly_mass(quoly q);
// quoly_mass with better_poly_mass in place of poly_mass; its internal error
// is "better_quoly_mass < 0.".
std::int32_t better_quoly_mass(quoly q);
// The bit size of a big integer from its first limb and limb count:
// 28 * size - 28 + b, b the position of the highest 1 bit of a non-negative
// limb (-1 for 0) or of the highest 0 bit of a negative one (0 for none).
std::int32_t size_of(std::int32_t value, std::int32_t size);
// size_of of the leaf p's number.
std::int32_t p_size_of(poly p);

// ---- Shape tests -------------------------------------------------------------------
// No node on n's leading chain (first node, its coefficient's first node, ...
// down to the leaf) has a successor.
bool monomial(poly n);
// n is a bare leaf, or after the pads a single term of positive exponent over
// one leaf equal to +1 or -1 (equal_to_pm1). reads: mode flags
bool poly_small(poly n);
// p is one leaf equal to +1 or -1 (equal_to_pm1). reads: mode flags
bool poly_eq_pm1(poly p);
// The two-variable array product may multiply u and v: no field levels, no
// relation above the field, no characteristic-2 field; degrees (larger L,
// smaller S) with dL <= 9 dS; both with more than 25 top nodes, dense enough
// (3 * nodes > degree - last exponent), coefficients numeric polynomials in
// the second variable; dL, the coefficients' largest degree, and both sums at
// most 700. reads: field_depth, modout_above_field, finf
bool try_fast_2_var(poly u, poly v);
// The first real level of p (below the leading terms of exponent 0, *level
// its number from 1) has only number leaves as coefficients. A leaf met while
// descending is an internal error with a nested command level (false).
bool all_coefs_numb(poly p, std::int16_t* level);
// p: changed in place: every exponent of the first list below p's pads is
// multiplied by n (an overflow is the user error exponent_overflow_error).
void mult_expons(poly p, std::int32_t n);
// p has a negative exponent at some level (nil: false).
bool anynegs(poly p);

// ---- Order, content and the rest ---------------------------------------------------------
// The monomial order on single-term polynomials: a constant precedes
// everything; fewer variables come first; then the deeper variable first;
// then the smaller exponent. *equal: set (true exactly for the same
// monomial). A non-constant without a positive exponent on its chain is an
// internal error with a nested command level, after which the comparison goes
// on.
bool mon_less(poly p, poly q, bool* equal);
// The strict order on values whose numerators are monomials: a number value
// precedes every non-number and no number; then a leaf numerator first; then
// as mon_less; equal monomials answer false.
bool quoly_mon_less(quoly p, quoly q);
// The non-strict order: true when p is a number value, false when only q is;
// then as quoly_mon_less, equal monomials answering true.
bool quoly_mon_less_eq(quoly p, quoly q);
// com: overwritten with the content of p: the GCD of the absolute values of
// all its integer coefficients (the walk stops once it is 1). A zero p is
// the internal error "0 in find gcd coefs." and gives 1. Big integers only.
void find_gcdcoefs(poly p, imptr com);
// com: overwritten with the GCD of the contents of a and b. The same value as the GCD of two
// find_gcdcoefs, found without the content of a side with long coefficients.
void find_common_content(poly a, poly b, imptr com);
// Every level whose polycut still equals poly_cutoff gets polycut :=
// newvalue. polynames: changed. reads: poly_cutoff
void reset_cutoffs(std::int32_t newvalue);
// *p, *m: changed in place. k := the number held by the number value *m
// (floating: rounded; word: lint; big: first limb), and that number := 0.
// k = 0 exchanges *p and *m. A number *p stays. Otherwise the terms of *p's
// numerator with exponent >= k move, divided by x^k, into *m (a rational
// function, or a number value when that is a single leaf) and *p keeps the
// rest; when every term moves the two cells are exchanged instead, leaving
// the zero number in *p; when none does *m stays the zero number.
// reads: mode flags
void split_poly(quolyptr p, quolyptr m);

}  // namespace tavrin
