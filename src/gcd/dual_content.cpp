// GCDs of coefficients taken over two polynomials at once (the dual and the
// auxiliary content), and primitive parts in rational arithmetic over a
// coefficient field (special_div, special_div_2).
//
// Both contents follow the scheme of content(): numeric shortcuts, then the
// GCD of the two coefficients with the fewest nodes, then the others in
// list order with an early stop. The dual content walks p's terms and q's
// as one list: p's last node is linked to q's first for the duration of
// the call (a guard unlinks it on every exit).
#include <cstdint>
#include <limits>

#include "core/error_codes.h"
#include "core/errors.h"
#include "core/globals.h"
#include "core/trace_level.h"
#include "numbers/freelists.h"
#include "numbers/invertible.h"
#include "numbers/node_handles.h"
#include "poly/poly_add.h"
#include "poly/poly_divide.h"
#include "poly/poly_measures.h"
#include "poly/poly_repr.h"
#include "gcd/content.h"
#include "gcd/content_counting.h"
#include "gcd/gcd.h"

namespace tavrin {

using detail::bump;
using detail::first_pair_gcd;
using detail::leading_pads;
using tavrin::nodes::is_bare_leaf;
using tavrin::nodes::OwnedPoly;

namespace {

// One search step of the two smallest coefficients: false when the
// counter says the search must end (a negative count is reported by
// warning(0)).
bool count_search_step(std::int32_t& counter) {
  bump(counter);
  if (counter < 0) {
    warning(content_count_warning, &token);
    return false;
  }
  return counter <= 200000;
}

// A coefficient met in the search: its term, keep flag and size.
struct Candidate {
  poly term;
  bool save;
  std::int32_t size;
};

// The two smallest coefficients met so far.
struct Candidates {
  Candidate sml;
  Candidate sec{nullptr, false, std::numeric_limits<std::int32_t>::max()};

  bool goes_on() const { return sml.size >= 20 && sec.size >= 40; }
  void offer(poly term, std::int32_t size, bool save) {
    if (size < sml.size) {
      sec = sml;
      sml = {term, save, size};
    } else if (size < sec.size) {
      sec = {term, save, size};
    }
  }
};

// p's last node linked to q's first for the guard's lifetime.
class JoinedList {
 public:
  JoinedList(poly p, poly q) : tail_(lastnode(p)) { tail_->next = q; }
  ~JoinedList() { tail_->next = nullptr; }
  JoinedList(const JoinedList&) = delete;
  JoinedList& operator=(const JoinedList&) = delete;

 private:
  poly tail_;
};

// The progress line of a content search, when verbose and verbon are on.
using Progress = CountingProgress;

// *r := gcd(numeric content of a, numeric content of b) through polygcd,
// or 1 in modular arithmetic. b may be nil (only a's content then).
void numeric_pair(poly a, poly b, poly* r, polypt pt, bool bsave, bool b_is_whole, bool do_fast,
                  const Ring& ring) {
  OwnedPoly out;
  if (ring.modular) {
    poly_set(1, &out.p);
  } else {
    gcd_coefs(a, &out.p);
    if (b_is_whole) {
      polygcd(out.p, b, &out.p, pt,
              {.do_fast = do_fast, .allcons = false, .vsave = bsave, .canreset = false}, ring);
    } else {
      OwnedPoly t;
      gcd_coefs(b, &t.p);
      polygcd(out.p, t.p, &out.p, pt, {.do_fast = do_fast, .allcons = false, .canreset = false},
              ring);
    }
  }
  free_poly(r);
  *r = out.release();
}

}  // namespace

void dual_content(poly p, poly q, poly* r, polypt pt, const PairContentFlags& flags) {
  dual_content(p, q, r, pt, flags, Ring::current());
}

void dual_content(poly p, poly q, poly* r, polypt pt, const PairContentFlags& flags,
                  const Ring& ring) {
  const auto depth = static_cast<std::int16_t>(pt->depth);
  if ((ring.field_depth > 0 && depth >= ring.field_depth) || lastnode(q)->numb ||
      lastnode(p)->numb || all_coefs_invrtble(q, depth) || all_coefs_invrtble(p, depth)) {
    numeric_pair(q, p, r, pt, true, false, false, ring);
    return;
  }
  const Progress progress("Dual Content, counting to ", f_poly_numterms(p) + f_poly_numterms(q),
                          verbose && flags.verbon);
  const JoinedList joined(p, q);
  if (d_cntcount == 0) d_cntdepth = depth + 1 + 2 * quick_depth_below(p, depth) / 3;

  Candidates c{{p, flags.psave, 0}};
  if (!(depth > d_cntdepth + 2 || d_cntcount > 200000)) {
    c.sml.size = bigger_node_total(p->pcoef);
    bool save = flags.psave;
    for (poly t = p->next; t != nullptr && c.goes_on(); t = t->next) {
      if (!count_search_step(d_cntcount)) break;
      if (t == q) save = flags.qsave;
      c.offer(t, bigger_node_total(t->pcoef), save);
    }
  }

  OwnedPoly g;
  std::int32_t k = 0;
  if (first_pair_gcd(
          c.sml.term, c.sec.term, pt->next,
          {.allcons = flags.allcons, .usave = c.sml.save, .vsave = c.sec.save, .canreset = false},
          &g.p, ring)) {
    k = 1;
    progress.step(1);
  }
  bool save = flags.psave;
  for (poly t = p; t != nullptr; t = t->next) {
    if (t == q) save = flags.qsave;
    ++k;
    if (t == c.sml.term || t == c.sec.term) continue;
    polygcd(g.p, t->pcoef, &g.p, pt->next,
            {.allcons = flags.allcons, .usave = false, .vsave = save, .canreset = false}, ring);
    progress.step(k);
    if (is_bare_leaf(g.p) && (ring.lint || poly_eq_pm1(g.p))) break;
  }
  progress.end();
  free_poly(r);
  *r = g.release();
}

void aux_content(poly p, poly q, poly* r, polypt pt, const PairContentFlags& flags) {
  aux_content(p, q, r, pt, flags, Ring::current());
}

void aux_content(poly p, poly q, poly* r, polypt pt, const PairContentFlags& flags,
                 const Ring& ring) {
  const auto depth = static_cast<std::int16_t>(pt->depth);
  if (ring.field_depth > 0 && depth >= ring.field_depth) {
    numeric_pair(q, p, r, pt, true, true, true, ring);
    return;
  }
  if (lastnode(q)->numb || height_is_1(q) || all_coefs_invrtble(q, depth)) {
    OwnedPoly out;
    gcd_coefs(q, &out.p);
    polygcd(out.p, p, &out.p, pt, {.allcons = false, .vsave = flags.psave, .canreset = false},
            ring);
    free_poly(r);
    *r = out.release();
    return;
  }
  const Progress progress("Aux Content, counting to ", f_poly_numterms(q), verbose && flags.verbon);
  if (a_cntcount == 0) a_cntdepth = depth + leading_pads(q->pcoef);

  Candidates c{{p, flags.psave, 0}};
  if (!(depth > a_cntdepth + 10 || a_cntcount > 200000)) {
    c.sml.size = big_node_total(p->pcoef);
    for (poly t = q; t != nullptr && c.goes_on(); t = t->next) {
      if (!count_search_step(a_cntcount)) break;
      c.offer(t, big_node_total(t->pcoef), flags.qsave);
    }
  }

  // With no second candidate the first is p itself.
  OwnedPoly g;
  std::int32_t k = 0;
  if (first_pair_gcd(c.sml.term, c.sec.term, pt->next,
                     {.allcons = flags.allcons, .usave = c.sml.save, .vsave = c.sec.save}, &g.p,
                     ring)) {
    k = 1;
    progress.step(1);
    if (c.sml.term != p && c.sec.term != p) {
      polygcd(g.p, p->pcoef, &g.p, pt->next,
              {.allcons = flags.allcons, .usave = false, .vsave = flags.psave}, ring);
      k = 2;
      progress.step(2);
    }
  }
  for (poly t = q; t != nullptr; t = t->next) {
    ++k;
    if (t == c.sml.term || t == c.sec.term) continue;
    polygcd(g.p, t->pcoef, &g.p, pt->next,
            {.allcons = flags.allcons, .usave = false, .vsave = flags.qsave}, ring);
    progress.step(k);
    if (poly_eq_1(g.p)) break;
  }
  progress.end();
  free_poly(r);
  *r = g.release();
}

namespace {

// *u := quo, then divided by its integer content unless that is 1.
void make_integer_primitive(poly* u, poly quo) {
  free_poly(u);
  *u = quo;
  OwnedPoly c;
  gcd_coefs(*u, &c.p);
  if (!poly_eq_1(c.p)) num_poly_quot(*u, c.p->ncoef, 0);
}

void divide_by_field_content(poly* u, poly s, polypt pt, const char* message) {
  if (is_bare_leaf(s)) {  // a number content: an exact division
    OwnedPoly quo;
    poly_assign(*u, &quo.p);
    num_poly_quot(quo.p, s->ncoef, 0);
    make_integer_primitive(u, quo.release());
    return;
  }
  OwnedPoly quo, rem, coef;
  num_pseudo_div(*u, s, &quo.p, &rem.p, &coef.p, pt);
  if (rem.p != nullptr && !node_iszero(rem.p)) tavrin_error(message, false);
  make_integer_primitive(u, quo.release());
}

}  // namespace

void special_div(poly* u, poly* s, polypt pt) {
  if (is_bare_leaf(*s)) {
    divide_by_field_content(u, *s, pt, "not 0 in special_div");
    return;
  }
  // The content one level below *u, padded for the division and unpadded
  // again on every exit.
  class Padded {
   public:
    explicit Padded(poly* s) : s_(s) { add_pad(s_, 1); }
    ~Padded() {
      poly pad = *s_;
      *s_ = pad->pcoef;
      pad->pcoef = nullptr;
      free_polynode_list(pad, pad);
    }
    Padded(const Padded&) = delete;
    Padded& operator=(const Padded&) = delete;

   private:
    poly* s_;
  } padded(s);
  divide_by_field_content(u, *s, pt, "not 0 in special_div");
}

void special_div_2(poly* u, poly* s, polypt pt) {
  divide_by_field_content(u, *s, pt, "not 0 in special_div_2");
}

}  // namespace tavrin
