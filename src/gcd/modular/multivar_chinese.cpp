// The GCD modulo a prime of polynomials in two or more variables by
// evaluation images: the top variable x is replaced by residues a, the GCDs
// of the images are taken with respect to the second variable y (by the
// driver, recursively), scaled so that their leading coefficients in y
// agree, and interpolated back in x (Newton's form). When that fails the
// two top variables are exchanged and the method runs once more.
#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <utility>
#include <vector>

#include "core/error_codes.h"
#include "core/errors.h"
#include "core/globals.h"
#include "core/interrupts.h"
#include "core/mode_guard.h"
#include "numbers/freelists.h"
#include "numbers/node_handles.h"
#include "numbers/primes.h"
#include "numbers/word_mod.h"
#include "poly/poly_add.h"
#include "poly/poly_exact_divide.h"
#include "poly/poly_measures.h"
#include "poly/poly_repr.h"
#include "poly/poly_trial.h"
#include "gcd/content.h"
#include "gcd/gcd.h"
#include "gcd/modular_gcd.h"

namespace tavrin {

using nodes::degree;
using nodes::is_bare_leaf;
using nodes::OwnedPoly;

namespace {

// The records after pt, `count` of them, out of the chain for the guard's
// lifetime: the following records' depths and field_depth (when positive)
// are lowered by count and interrupts wait (unless danger_ok); with
// `temporary`, globalpoly is raised as for any temporary change of levels.
class SkippedLevels {
 public:
  SkippedLevels(polypt pt, std::int16_t count, bool temporary)
      : pt_(pt),
        next_(pt->next),
        count_(count),
        globalpoly_(globalpoly),
        interrupts_(command_int, command_int && danger_ok) {
    polypt after = pt->next;
    for (std::int16_t k = 0; k < count && after != nullptr; ++k) after = after->next;
    pt->next = after;
    change_polydata_1(count, pt);
    if (temporary) ++globalpoly;
  }
  ~SkippedLevels() {
    change_polydata_1(static_cast<std::int16_t>(-count_), pt_);
    pt_->next = next_;
    globalpoly = globalpoly_;
  }
  SkippedLevels(const SkippedLevels&) = delete;
  SkippedLevels& operator=(const SkippedLevels&) = delete;

 private:
  polypt pt_;
  polypt next_;
  std::int16_t count_;
  std::int32_t globalpoly_;
  ScopedValue<bool> interrupts_;
};

// The coefficient nodes that raise_coefs removed from the caller's x and y,
// one list for each lifting, put back (newest lifting first) when the guard
// ends, on every exit.
class LiftedCoefficients {
 public:
  LiftedCoefficients() = default;
  ~LiftedCoefficients() {
    for (std::size_t k = lifts_.size(); k-- > 0;) {
      poly removed = lifts_[k].second;
      for (poly t = lifts_[k].first; t != nullptr && removed != nullptr; t = t->next) {
        if (t->numb || t->pcoef->numb) continue;
        poly c = removed;
        removed = removed->next;
        c->next = nullptr;
        c->pcoef = t->pcoef;
        t->pcoef = c;
      }
    }
  }
  LiftedCoefficients(const LiftedCoefficients&) = delete;
  LiftedCoefficients& operator=(const LiftedCoefficients&) = delete;

  // raise_coefs(x, ...) recorded for the way back.
  void lift(poly x, bool* allnumbs, std::int32_t* deg) {
    poly removed = nullptr;
    raise_coefs(x, &removed, allnumbs, deg);
    if (removed != nullptr) lifts_.emplace_back(x, removed);
  }

 private:
  std::vector<std::pair<poly, poly>> lifts_;
};

// The degree of p in the variable one level below its top.
std::int32_t second_degree(poly p) {
  std::int32_t d = -2147483647;
  max_degree(p, 2, &d);
  return d;
}

// The residue v as a constant.
poly residue_leaf(std::int32_t v) {
  imptr n;
  newimag(&n);
  n->lint = v;
  n->flote = 0;
  return nodes::new_leaf(n);
}

// *acc := *acc * k + add (k a non-zero residue); add: kept.
void scale_and_add(poly* acc, std::int32_t k, poly add) {
  if (k != 1) mod_num_poly_mult(*acc, k);
  better_poly_add(*acc, add, acc);
}

// Below every top-level term of *r whose coefficient is a polynomial, h pad
// nodes are inserted.
void insert_pads(poly r, std::int32_t h) {
  for (poly t = r; t != nullptr; t = t->next)
    if (!t->numb && !t->pcoef->numb) add_pad(&t->pcoef, h);
}

// One interpolation attempt (sub_mod_multivar_Chinese).
class Interpolation {
 public:
  Interpolation(poly x, poly y, std::int32_t expo, std::int32_t xdeg, std::int32_t ydeg, polypt pt)
      : x_(x), y_(y), expo_(expo), xdeg_(xdeg), ydeg_(ydeg), pt_(pt) {}
  ~Interpolation() {
    for (poly& c : coefs_) free_poly(&c);
  }
  Interpolation(const Interpolation&) = delete;
  Interpolation& operator=(const Interpolation&) = delete;
  bool run(poly* r);

 private:
  bool next_point(std::int32_t* a, bool first);
  bool image_at(std::int32_t a, OwnedPoly* img);
  poly expand();

  poly x_, y_;
  std::int32_t expo_, xdeg_, ydeg_;
  polypt pt_;
  OwnedPoly glc_;
  bool scaled_ = false;
  std::int32_t needed_ = 0;
  std::int32_t cand_ = -1;
  std::vector<std::int32_t> points_;
  std::vector<poly> coefs_;  // Newton coefficients c0, c1, ...
};

// The first point (first) or the one after *a, spread over the residues
// left with a random gap; false when none is left.
bool Interpolation::next_point(std::int32_t* a, bool first) {
  const std::int32_t p = modulus;
  const std::int32_t count = static_cast<std::int32_t>(points_.size());
  std::int32_t s = first ? (p - 1) / (needed_ + 1) : (p - 1 - *a) / (needed_ - count + 1);
  if (s <= 0) return false;
  if (first && s == 1) {
    *a = 1;
    return true;
  }
  bool ten = false;
  if (s > 60) {
    s /= 3;
  } else if (s >= 16) {
    s = 10;
    ten = true;
  }
  if (first) {
    *a = 2 + rand_integer3() % s;
  } else {
    if (s > 1 && !ten) --s;
    *a = *a + 1 + rand_integer3() % s;
  }
  return *a < p;
}

// The scaled image GCD at x = a, in the variables from y down; false when
// the point is unlucky (an image lost its degree in y, or the leading
// coefficient does not divide). Sets cand_ from the first image; a lower
// degree than cand_ is reported through *img nil and cand_ -2.
bool Interpolation::image_at(std::int32_t a, OwnedPoly* img) {
  OwnedPoly point;
  point.p = residue_leaf(a);
  OwnedPoly tx, ty;
  mod_poly_at_numb(tx.cell(), x_, point.p, pt_, false);
  if (degree(tx.p) < xdeg_) return false;
  mod_poly_at_numb(ty.cell(), y_, point.p, pt_, false);
  if (degree(ty.p) < ydeg_) return false;
  if (modular_image_hook != nullptr) modular_image_hook();
  polygcd(tx.p, ty.p, img->cell(), pt_->next,
          {.allcons = false, .usave = false, .vsave = false, .canreset = false});
  ++modular_gcd_stats.multivar_points;
  const std::int32_t dg = degree(img->p);
  if (cand_ < 0) cand_ = dg;
  if (dg < cand_) {
    cand_ = -2;
    return false;
  }
  if (dg > cand_) return false;
  if (!scaled_) return true;
  OwnedPoly g;  // glc(a), in the variables below y
  mod_poly_at_numb(g.cell(), glc_.p, point.p, pt_, false);
  if (is_bare_leaf(g.p)) {
    mod_num_poly_mult(img->p, g.p->ncoef->lint);
    return true;
  }
  poly lead = img->p->numb ? img->p : img->p->pcoef;
  OwnedPoly factor;
  if (is_bare_leaf(lead)) {
    std::int32_t inverse = 0;
    mod_inverse(lead->ncoef->lint, &inverse);
    poly_assign(g.p, factor.cell());
    mod_num_poly_mult(factor.p, inverse);
  } else {
    bool failed = false;
    gen_poly_divide(g.p, lead, factor.cell(), pt_->next->next, &failed);
    if (failed) return false;
  }
  if (!is_bare_leaf(factor.p)) add_pad(factor.cell(), 1);
  OwnedPoly product;
  poly_mult(img->p, factor.p, product.cell(), pt_->next);
  free_poly(img->cell());
  img->p = product.release();
  return true;
}

bool Interpolation::run(poly* r) {
  if (expo_ < 1) return false;
  {
    OwnedPoly lx, ly;
    lx.p = leading_coef_level_two(x_);
    ly.p = leading_coef_level_two(y_);
    const SkippedLevels skip(pt_, 1, false);
    polygcd(lx.p, ly.p, glc_.cell(), pt_, {.usave = false, .vsave = false});
  }
  scaled_ = !is_bare_leaf(glc_.p);
  needed_ = expo_ + degree(glc_.p);
  std::int32_t a = 0;
  if (!next_point(&a, true)) return false;
  std::int32_t step_inverse = 0;
  while (true) {
    check_interrupt();
    if (a >= modulus) return false;
    OwnedPoly img;
    if (!image_at(a, &img)) {
      if (cand_ == -2) return false;
      ++a;
      continue;
    }
    // The Newton step: c_k := (g_k - N(a_k)) / prod (a_k - a_j).
    const std::size_t k = points_.size();
    if (k > 0) {
      OwnedPoly t;
      poly_assign(coefs_[k - 1], t.cell());
      for (std::size_t j = k - 1; j-- > 0;)
        scale_and_add(t.cell(), mod_sub(a, points_[j], modulus), coefs_[j]);
      OwnedPoly diff;
      poly_sub(img.p, t.p, diff.cell());
      std::int32_t d = 1;
      for (std::size_t j = k; j-- > 0;)
        d = modmult(static_cast<std::uint32_t>(d),
                    static_cast<std::uint32_t>(mod_sub(a, points_[j], modulus)));
      if (d == 0) {
        std::printf("bad2: %" PRId32 "\n", d);
        error(no_inverse_error, &quotsign);
        return false;
      }
      mod_inverse(d, &step_inverse);
      if (!poly_iszero(diff.p)) mod_num_poly_mult(diff.p, step_inverse);
      free_poly(img.cell());
      img.p = diff.release();
    }
    points_.push_back(a);
    coefs_.reserve(coefs_.size() + 1);
    coefs_.push_back(img.release());
    if (static_cast<std::int32_t>(points_.size()) > needed_) break;
    if (!next_point(&a, false)) return false;
  }
  OwnedPoly result;
  result.p = expand();
  if (scaled_) {
    for (std::int32_t tries = 0;; ++tries) {
      OwnedPoly h;
      h.p = content_2(result.p, pt_);
      if (is_bare_leaf(h.p)) break;
      bool failed = false;
      OwnedPoly q;
      gen_poly_divide(result.p, h.p, q.cell(), pt_, &failed);
      if (!failed) {
        free_poly(result.cell());
        result.p = q.release();
        break;
      }
      if (verbose) std::printf("poly divide retry, sub_multivar 2\n");
      if (tries >= 10) {
        tavrin_error(" too many failures, sub_mod_multivar_Chinese.", true);
        return false;
      }
    }
  }
  OwnedPoly factor;
  if (!is_bare_leaf(result.p)) monic_poly(result.cell(), factor.cell(), pt_);
  *r = result.release();
  return true;
}

// The Newton form c0 + c1 (x - a0) + c2 (x - a0)(x - a1) + ... expanded in
// powers of x: R := c_n, then R := R (x - a_j) + c_j for j = n - 1 .. 0.
poly Interpolation::expand() {
  const std::size_t n = coefs_.size() - 1;
  std::vector<poly> R(n + 1, nullptr);  // R[i]: the coefficient of x^i (nil for 0)
  struct Release {
    std::vector<poly>& v;
    ~Release() {
      for (poly& p : v) free_poly(&p);
    }
  } release{R};
  poly_assign(coefs_[n], &R[0]);
  std::size_t top = 0;
  for (std::size_t j = n; j-- > 0;) {
    check_interrupt();
    const std::int32_t neg_a = finf ? points_[j] : modulus - points_[j];
    ++top;
    for (std::size_t i = top; i-- > 0;) {
      // R[i + 1] += R[i]; R[i] *= -a_j, from the top down.
      if (R[i] == nullptr) continue;
      if (R[i + 1] == nullptr) {
        poly_assign(R[i], &R[i + 1]);
      } else {
        better_poly_add(R[i + 1], R[i], &R[i + 1]);
      }
      mod_num_poly_mult(R[i], neg_a);
    }
    if (R[0] == nullptr) {
      poly_assign(coefs_[j], &R[0]);
    } else {
      better_poly_add(R[0], coefs_[j], &R[0]);
    }
    for (poly& c : R)
      if (c != nullptr && poly_iszero(c)) free_poly(&c);
  }
  OwnedPoly out;
  poly* tail = out.cell();
  for (std::size_t i = R.size(); i-- > 0;) {
    if (R[i] == nullptr) continue;
    poly c = std::exchange(R[i], nullptr);
    poly node = i == 0 && is_bare_leaf(c) ? c : nodes::new_term(static_cast<std::int32_t>(i), c);
    *tail = node;
    tail = &node->next;
  }
  if (out.p == nullptr) poly_set(0, out.cell());
  return out.release();
}

}  // namespace

// ---- Tree operations -----------------------------------------------------------------------

void mod_poly_at_numb(poly* p, poly q, poly n2, polypt, bool addpad) {
  if (q->numb) {
    poly_assign(q, p);
    return;
  }
  if (!n2->numb) {
    tavrin_error("n2 not number in mod_poly_at_numb", true);
    poly_set(0, p);
    return;
  }
  const std::int32_t v = n2->ncoef->lint;
  if (v < 1 || v >= modulus) {
    std::printf("bad n2val in mod_poly_at_numb4, %" PRId32 ", %" PRId32 "\n", v, modulus);
    tavrin_error("bad n2val in mod_poly_at_numb4.", true);
    poly_set(0, p);
    return;
  }
  OwnedPoly t;
  poly_assign(q->pcoef, t.cell());
  std::int32_t last = q->exp;
  for (poly s = q->next; s != nullptr; s = s->next) {
    const std::int32_t gap = last - s->exp;
    mod_num_poly_mult(
        t.p,
        gap == 1 ? v : modpower(static_cast<std::uint32_t>(v), static_cast<std::uint64_t>(gap)));
    better_poly_add(t.release(), s->numb ? s : s->pcoef, t.cell());
    last = s->exp;
  }
  if (last >= 1 && !poly_iszero(t.p))
    mod_num_poly_mult(
        t.p,
        last == 1 ? v : modpower(static_cast<std::uint32_t>(v), static_cast<std::uint64_t>(last)));
  if (addpad && !is_bare_leaf(t.p)) add_pad(t.cell(), 1);
  free_poly(p);
  *p = t.release();
}

void swap_levels_1_2(poly* p) {
  if ((*p)->numb) return;
  struct Entry {
    std::int32_t e;
    poly d;
  };
  std::vector<std::pair<std::int32_t, std::vector<Entry>>> groups;  // by decreasing f
  auto add = [&groups](std::int32_t f, std::int32_t e, poly d) {
    auto it = groups.begin();
    while (it != groups.end() && it->first > f) ++it;
    if (it == groups.end() || it->first != f) it = groups.insert(it, {f, {}});
    it->second.push_back({e, d});
  };
  for (poly t = *p; t != nullptr; t = t->next) {
    if (t->numb) {
      add(0, 0, t);
      continue;
    }
    for (poly c = t->pcoef; c != nullptr; c = c->next) {
      if (c->numb) {
        add(0, t->exp, c);
      } else {
        add(c->exp, t->exp, c->pcoef);
      }
    }
  }
  OwnedPoly out;
  poly* tail = out.cell();
  for (auto& [f, entries] : groups) {
    OwnedPoly inner;
    poly* itail = inner.cell();
    for (const Entry& en : entries) {
      OwnedPoly d;
      if (en.d->numb) {
        node_assign(en.d, d.cell());
      } else {
        poly_assign(en.d, d.cell());
      }
      poly node = en.e == 0 && is_bare_leaf(d.p) ? d.release() : nodes::new_term(en.e, d.release());
      *itail = node;
      itail = &node->next;
    }
    poly node =
        f == 0 && is_bare_leaf(inner.p) ? inner.release() : nodes::new_term(f, inner.release());
    *tail = node;
    tail = &node->next;
  }
  free_poly(p);
  *p = out.release();
}

poly content_2(poly x, polypt pt) {
  OwnedPoly copy;
  poly_assign(x, copy.cell());
  swap_levels_1_2(copy.cell());
  OwnedPoly c;
  if (copy.p->numb) {
    poly_assign(copy.p, c.cell());
  } else {
    content(copy.p, c.cell(), pt, false, true, false);
  }
  if (!is_bare_leaf(c.p)) insert_pads(c.p, 1);
  return c.release();
}

void raise_coefs(poly x, poly* q, bool* allnumbs, std::int32_t* deg) {
  *allnumbs = true;
  poly* tail = q;
  while (*tail != nullptr) tail = &(*tail)->next;
  for (poly t = x; t != nullptr; t = t->next) {
    if (t->numb || t->pcoef->numb) continue;
    *allnumbs = false;
    poly c = t->pcoef;  // a pad: x does not involve that level
    t->pcoef = c->pcoef;
    c->pcoef = nullptr;
    *tail = c;
    tail = &c->next;
    *deg = std::max(*deg, degree(t->pcoef));
  }
}

// ---- The method ------------------------------------------------------------------------

bool sub_mod_multivar_Chinese(poly x, poly y, poly* r, std::int32_t expo, std::int32_t xdeg,
                              std::int32_t ydeg, polypt pt) {
  check_interrupt();
  Interpolation attempt(x, y, expo, xdeg, ydeg, pt);
  const bool ok = attempt.run(r);
  if (!ok) ++modular_gcd_stats.multivar_failures;
  return ok;
}

bool mod_multivar_Chinese(poly x, poly y, poly* r, std::int32_t expo, polypt pt) {
  if (!modular_methods_enabled) return false;
  if (degree(x) == 0) {
    tavrin_error("Chinese 0 exponent, x.", true);
    return false;
  }
  if (degree(y) == 0) {
    tavrin_error("Chinese 0 exponent, y.", true);
    return false;
  }
  const std::int32_t nx = new_node_total(x);
  const std::int32_t ny = new_node_total(y);
  if (nx + ny < 80 || (nx < 30 && ny < 30)) return false;
  ++modular_gcd_stats.multivar_runs;

  std::int32_t dx2 = second_degree(x);
  std::int32_t dy2 = second_degree(y);
  std::int16_t shift = 0;
  LiftedCoefficients lifted;
  std::int32_t depth_below = 0;
  for (polypt q = pt->next; q != nullptr; q = q->next) ++depth_below;
  while (dx2 + dy2 == 0) {
    bool xnumbs = true;
    bool ynumbs = true;
    dx2 = dy2 = 0;
    lifted.lift(x, &xnumbs, &dx2);
    lifted.lift(y, &ynumbs, &dy2);
    if ((xnumbs && ynumbs) || shift + 1 >= depth_below) {
      std::printf(" *** Tavrin Warning. Early exit from mod_multivar_Chinese.\n");
      std::fflush(stdout);
      return false;
    }
    ++shift;
    ++modular_gcd_stats.multivar_skipped;
  }
  // Values are put only for the top variable, and the images are GCDs in the
  // second: neither may be bound by a relation (a residue that is no root
  // of the relation is no image of the quotient ring).
  polypt second = pt->next;
  for (std::int16_t k = 0; k < shift; ++k) second = second->next;
  if (pt->p != nullptr || second->p != nullptr || (field_depth > 0 && second->depth >= field_depth))
    return false;
  std::optional<SkippedLevels> skipped;
  if (shift > 0) skipped.emplace(pt, shift, true);
  const ScopedValue<std::int16_t> nesting(dumpitt_level,
                                          static_cast<std::int16_t>(dumpitt_level + 1));

  // The GCD c of the contents with respect to y, divided out.
  OwnedPoly c, xcopy, ycopy;
  poly xx = x;
  poly yy = y;
  for (std::int32_t failures = 0;; ++failures) {
    poly cx = content_2(x, pt);
    poly cy = content_2(y, pt);
    polygcd(cx, cy, c.cell(), pt,
            {.allcons = false, .usave = false, .vsave = false, .canreset = failures == 0});
    free_poly(&cx);
    free_poly(&cy);
    if (is_bare_leaf(c.p)) break;
    bool fx = false;
    bool fy = false;
    gen_poly_divide(x, c.p, xcopy.cell(), pt, &fx);
    if (!fx) gen_poly_divide(y, c.p, ycopy.cell(), pt, &fy);
    if (!fx && !fy) {
      xx = xcopy.p;
      yy = ycopy.p;
      expo = std::max<std::int32_t>(expo - degree(c.p), 1);
      break;
    }
    if (verbose) std::printf("mod multivar poly_divide retry\n");
    free_poly(c.cell());
    free_poly(xcopy.cell());
    free_poly(ycopy.cell());
    if (failures >= 10) {
      tavrin_error(" too many failures, mod_multivar_Chinese.", true);
      return false;
    }
  }

  OwnedPoly result;
  bool worked = false;
  if (degree(xx) == 0 || degree(yy) == 0 || dx2 == 0 || dy2 == 0) {
    poly_set(1, result.cell());
    worked = true;
  }
  // The candidate is the GCD when it divides both arguments. The divisions
  // are exact: a passing evaluation pre-test alone is no proof (modulo a
  // small prime it passes wrong candidates often enough to be seen).
  auto checks_out = [&](poly u, poly v) {
    if (is_bare_leaf(result.p)) return true;
    return trial_poly_divide_noq(u, result.p, pt, true, false, false) &&
           trial_poly_divide_noq(v, result.p, pt, true, false, false);
  };
  for (std::int32_t k = 1; !worked && k <= 4; ++k) {
    if (sub_mod_multivar_Chinese(xx, yy, result.cell(), expo, dx2, dy2, pt)) {
      if (checks_out(xx, yy)) {
        worked = true;
        break;
      }
      ++modular_gcd_stats.multivar_rejected;
      if (verbose && windy) dumpitt("sub_mod_multivar_Chinese retry, 1 A, ", k, true, false, true);
      free_poly(result.cell());
    } else if (verbose && windy) {
      dumpitt("sub_mod_multivar_Chinese retry, 1 B, ", k, true, false, true);
    }
    if (k >= 2) ++expo;
  }
  if (!worked) {
    // The two top variables exchanged.
    OwnedPoly sx, sy;
    poly_assign(xx, sx.cell());
    poly_assign(yy, sy.cell());
    dx2 = degree(sx.p);
    dy2 = degree(sy.p);
    swap_levels_1_2(sx.cell());
    swap_levels_1_2(sy.cell());
    expo = std::min(degree(sx.p), degree(sy.p));
    if (verbose && windy)
      dumpitt("sub_mod_multivar_Chinese retry, swap levels ", expo, true, false, true);
    for (std::int32_t k = 1; k <= 4; ++k) {
      if (sub_mod_multivar_Chinese(sx.p, sy.p, result.cell(), expo, dx2, dy2, pt)) {
        if (checks_out(sx.p, sy.p)) {
          swap_levels_1_2(result.cell());
          worked = true;
          break;
        }
        ++modular_gcd_stats.multivar_rejected;
        if (verbose && windy)
          dumpitt("sub_mod_multivar_Chinese retry, 2 A, ", k, true, false, true);
        if (k >= 2) --expo;
        free_poly(result.cell());
      } else if (verbose && windy) {
        dumpitt("sub_mod_multivar_Chinese retry, 2 B, ", k, true, false, true);
      }
    }
  }
  if (!worked) {
    if (verbose) dumpitt("mod_multivar_Chinese gave up ", 4, true, false, true);
    return false;
  }
  if (c.p != nullptr && !is_bare_leaf(c.p)) {
    OwnedPoly product;
    poly_mult(result.p, c.p, product.cell(), pt);
    free_poly(result.cell());
    result.p = product.release();
  }
  if (shift >= 1 && !is_bare_leaf(result.p)) insert_pads(result.p, shift);
  *r = result.release();
  return true;
}

}  // namespace tavrin
