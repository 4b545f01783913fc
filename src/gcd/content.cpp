// Contents with respect to the main variable and to inner variables, and
// the numeric content.
#include "gcd/content.h"
#include "core/error_codes.h"

#include <cassert>
#include <cstdint>
#include <limits>

#include "core/errors.h"
#include "core/globals.h"
#include "core/interrupts.h"
#include "numbers/freelists.h"
#include "numbers/invertible.h"
#include "numbers/node_handles.h"
#include "poly/poly_measures.h"
#include "poly/poly_repr.h"
#include "gcd/content_counting.h"
#include "gcd/gcd.h"

namespace tavrin {

using detail::bump;
using detail::first_pair_gcd;
using detail::leading_pads;
using tavrin::nodes::is_bare_leaf;
using tavrin::nodes::new_leaf;
using tavrin::nodes::new_term;
using tavrin::nodes::OwnedPoly;
using tavrin::nodes::ScratchNumber;

namespace {

// The two coefficients of q with the fewest nodes, when the search runs.
struct FirstPair {
  poly sml;
  poly sec = nullptr;
};

FirstPair choose_first_pair(poly q, polypt pt) {
  FirstPair pair{q};
  const bool search = !(pt->depth > c_cntdepth + 10 || c_cntcount > 200000 || q->next == nullptr);
  std::int32_t least = search ? bigger_node_total(q->pcoef) : 0;
  std::int32_t seclst = std::numeric_limits<std::int32_t>::max();
  bump(c_cntcount);
  if (!search) return pair;
  for (poly t = q->next; t != nullptr; t = t->next) {
    if (t->numb) {
      tavrin_error(" *** pp numb in content", true);
      break;
    }
    if (least < 25 || seclst < 50) break;
    bump(c_cntcount);
    if (c_cntcount < 0) {
      warning(content_count_warning, &token);
      break;
    }
    if (c_cntcount > 200000) break;
    const std::int32_t size = bigger_node_total(t->pcoef);
    if (size < least) {
      pair.sec = pair.sml;
      seclst = least;
      pair.sml = t;
      least = size;
    } else if (size < seclst) {
      pair.sec = t;
      seclst = size;
    }
  }
  return pair;
}

// The numeric content as a fresh leaf (gcd_coefs without a cell).
poly numeric_content(poly q, const Ring& ring) {
  if (ring.flote || ring.lint) {
    poly one = nullptr;
    poly_set(1, &one);
    return one;
  }
  ScratchNumber c;
  find_gcdcoefs(q, c.get());
  return new_leaf(c.release());
}

poly content_of(poly q, polypt pt, bool verbon, bool allcons, bool qsave, const Ring& ring) {
  if (ring.field_depth > 0 && pt->depth >= ring.field_depth) {
    OwnedPoly r;
    if (ring.modular) {
      poly_set(1, &r.p);
      return r.release();
    }
    return numeric_content(q, ring);
  }
  if (lastnode(q)->numb || number_polys == 1 || height_is_1(q) || all_coefs_invrtble(q, pt->depth))
    return numeric_content(q, ring);

  const bool progress = verbose && verbon;
  const std::int32_t n = poly_length(q) - 1;
  if (progress) {
    ++dumpitt_level;
    dumpitt("Content, counting to ", n, true, true, true);
  }
  if (c_cntcount == 0) c_cntdepth = pt->depth + leading_pads(q->pcoef);
  const FirstPair pair = choose_first_pair(q, pt);

  OwnedPoly r;
  std::int32_t k = 0;
  if (first_pair_gcd(pair.sml, pair.sec, pt->next,
                     {.allcons = allcons, .usave = qsave, .vsave = qsave, .canreset = false}, &r.p,
                     ring)) {
    k = 1;
    if (progress) dumpitt(" ", 1, false, false, true);
  }
  for (poly t = q; t != nullptr; t = t->next) {
    check_interrupt();
    if (t->numb) {
      tavrin_error(" *** q numb in content", true);
      break;
    }
    ++k;
    if (t == pair.sml || t == pair.sec) continue;
    OwnedPoly g;
    polygcd(r.p, t->pcoef, &g.p, pt->next,
            {.allcons = allcons, .usave = false, .vsave = qsave, .canreset = false}, ring);
    free_poly(&r.p);
    r.p = g.release();
    if (progress) dumpitt(" ", k, false, false, true);
    if (poly_eq_1(r.p)) break;
  }
  if (progress) decr_dumpitt(n, true, true);
  return r.release();
}

// The rotated skeleton of general_content, given back on every exit.
class Skeleton {
 public:
  Skeleton(poly p, std::int16_t depth) : depth_(depth) {
    if (p->numb) {
      q_ = p;
    } else if (depth == 1) {
      spec_poly_assign(p, &q_);
    } else {
      convert_poly(p, &q_, 1, depth);
    }
  }
  ~Skeleton() {
    if (!q_->numb) free_nodes(q_, 1, depth_);
  }
  Skeleton(const Skeleton&) = delete;
  Skeleton& operator=(const Skeleton&) = delete;
  poly get() const { return q_; }

 private:
  poly q_ = nullptr;
  std::int16_t depth_;
};

// Merges the converted head term t with the converted rest u (both lists
// with the rotated variable on top, falling exponents): equal exponents
// hang u's coefficient list after t's single coefficient node; u's
// constant leaf becomes the constant term of t's exponent-0 coefficient,
// or the last node.
poly merge_rotated(poly t, poly u) {
  poly head = nullptr;
  poly* link = &head;
  for (;;) {
    if (t == nullptr) {
      *link = u;
      return head;
    }
    if (u == nullptr) {
      *link = t;
      return head;
    }
    if (u->numb) {
      if (t->exp > 0) {
        *link = t;
        link = &t->next;
        t = t->next;
        continue;
      }
      t->pcoef->next = u;  // t is the last node, its coefficient one node
      *link = t;
      return head;
    }
    if (t->exp > u->exp) {
      *link = t;
      link = &t->next;
      t = t->next;
    } else if (t->exp < u->exp) {
      *link = u;
      link = &u->next;
      u = u->next;
    } else {
      t->pcoef->next = u->pcoef;
      poly spent = u;
      u = u->next;
      free_polynode_list(spent, spent);
      *link = t;
      link = &t->next;
      t = t->next;
    }
  }
}

}  // namespace

namespace detail {

bool first_pair_gcd(poly sml, poly sec, polypt lev, const GcdFlags& how, poly* g,
                    const Ring& ring) {
  if (sec == nullptr) {
    poly_assign(sml->pcoef, g);
    return false;
  }
  polygcd(sml->pcoef, sec->pcoef, g, lev, how, ring);
  return true;
}

}  // namespace detail

void gcd_coefs(poly q, poly* r) { gcd_coefs(q, r, Ring::current()); }

void gcd_coefs(poly q, poly* r, const Ring& ring) {
  poly c = numeric_content(q, ring);
  free_poly(r);
  *r = c;
}

void content(poly q, poly* r, polypt pt, bool verbon, bool allcons, bool qsave) {
  content(q, r, pt, verbon, allcons, qsave, Ring::current());
}

void content(poly q, poly* r, polypt pt, bool verbon, bool allcons, bool qsave, const Ring& ring) {
  assert(ring.in_force());
  poly c = content_of(q, pt, verbon, allcons, qsave, ring);
  free_poly(r);
  *r = c;
}

void general_content(poly p, std::int16_t depth, poly* r, polypt pt, bool* wantr, bool wantcons) {
  general_content(p, depth, r, pt, wantr, wantcons, Ring::current());
}

void general_content(poly p, std::int16_t depth, poly* r, polypt pt, bool* wantr, bool wantcons,
                     const Ring& ring) {
  if (p->numb || p->exp == 0) tavrin_error(" 0 exp head node in general_content", true);
  OwnedPoly out;
  bool not_there = false;
  {
    const Skeleton q(p, depth);
    not_there = q.get()->exp == 0;
    if (not_there) {
      if (!*wantr) {
        poly_set(1, &out.p);
        *wantr = true;
      } else {
        poly_assign(p, &out.p);
      }
    } else {
      content(q.get(), &out.p, pt, false, wantcons, true, ring);
    }
    if (q.get()->numb) tavrin_error("q number in general content", true);
  }
  if (!not_there && depth >= 2 && !out.p->numb) patch_up(out.p, 2, depth);
  free_poly(r);
  *r = out.release();
}

void convert_poly(poly p, poly* q, std::int16_t mydepth, std::int16_t depth) {
  if (p->numb) {
    *q = p;
    return;
  }
  if (mydepth == depth) {
    spec_poly_assign(p, q);
    return;
  }
  const std::int32_t e = p->exp;
  poly t = nullptr;
  convert_poly(p->pcoef, &t, static_cast<std::int16_t>(mydepth + 1), depth);
  // The head term's own variable goes one level down: x^e under every term.
  if (t->numb) {
    if (e > 0) t = new_term(0, new_term(e, t));
  } else {
    poly prev = nullptr;
    for (poly n = t; n != nullptr; prev = n, n = n->next) {
      if (n->numb) {  // the constant in the rotated variable
        if (e > 0) prev->next = new_term(0, new_term(e, n));
        break;
      }
      if (e != 0 || !is_bare_leaf(n->pcoef)) n->pcoef = new_term(e, n->pcoef);
    }
  }
  if (p->next == nullptr) {
    *q = t;
    return;
  }
  poly u = nullptr;
  convert_poly(p->next, &u, mydepth, depth);
  *q = merge_rotated(t, u);
}

void free_nodes(poly q, std::int16_t mydepth, std::int16_t depth) {
  if (q->numb || mydepth > depth) return;
  poly last = nullptr;
  for (poly t = q; t != nullptr && !t->numb; t = t->next) {
    free_nodes(t->pcoef, static_cast<std::int16_t>(mydepth + 1), depth);
    last = t;
  }
  if (last != nullptr) free_polynode_list(q, last);
}

void patch_up(poly q, std::int16_t mydepth, std::int16_t depth) {
  for (poly t = q; t != nullptr && !t->numb; t = t->next) {
    if (mydepth == depth) {
      if (!is_bare_leaf(t->pcoef)) t->pcoef = new_term(0, t->pcoef);
    } else {
      patch_up(t->pcoef, static_cast<std::int16_t>(mydepth + 1), depth);
    }
  }
}

}  // namespace tavrin
