// The shared arrays and the conversions between term lists and arrays.
#include <cstdint>

#include "core/errors.h"
#include "core/globals.h"
#include "numbers/freelists.h"
#include "numbers/node_handles.h"
#include "dense/dense_arrays.h"

namespace tavrin {

using tavrin::nodes::new_leaf;
using tavrin::nodes::new_term;

gcd_ptr xx = nullptr;
gcd_ptr yy = nullptr;
gcd_ptr zz = nullptr;
gcd2_ptr x2 = nullptr;
gcd2_ptr y2 = nullptr;
gcd2_ptr z2 = nullptr;

void allocate_dense_arrays() {
  if (xx != nullptr) return;
  xx = new std::int32_t[gcd_array_size]();
  yy = new std::int32_t[gcd_array_size]();
  zz = new std::int32_t[gcd_array_size]();
  x2 = new gcd1_array[gcd1_array_size]();
  y2 = new gcd1_array[gcd1_array_size]();
  z2 = new gcd1_array[gcd1_array_size]();
}

namespace {

// A fresh leaf holding the residue v (as poly_set sets it), next nil.
poly residue_leaf(std::int32_t v) {
  poly r = nullptr;
  poly_set(v, &r);
  return r;
}

// The list sum x[i]*t^i, i = 0 .. xdeg, xdeg >= 1, x[xdeg] the head's
// coefficient whatever it is.
poly array_list(const std::int32_t* x, std::int32_t xdeg) {
  poly head = new_term(xdeg, residue_leaf(x[xdeg]));
  poly last = head;
  for (std::int32_t i = xdeg - 1; i >= 1; --i) {
    if (x[i] == 0) continue;
    last->next = new_term(i, residue_leaf(x[i]));
    last = last->next;
  }
  if (x[0] != 0) last->next = residue_leaf(x[0]);
  return head;
}

// The one-variable polynomial of x with degree xdeg, by the rule of
// array_to_poly, reporting with `message` a zero constant.
poly array_poly(const std::int32_t* x, std::int32_t xdeg, const char* message) {
  if (xdeg == 0) {
    if (x[0] == 0) tavrin_error(message, true);
    return residue_leaf(x[0]);
  }
  return array_list(x, xdeg);
}

}  // namespace

void fill_poly1_array(poly r, std::int32_t* x, std::int32_t* deg) {
  if (r->numb) {
    *deg = 0;
    x[0] = r->ncoef->lint;
    return;
  }
  const std::int32_t d = r->exp;
  *deg = d;
  std::int32_t i = d;
  for (; i >= 1 && r != nullptr && !r->numb; --i) {
    if (r->exp == i) {
      x[i] = r->pcoef->ncoef->lint;
      r = r->next;
    } else {
      x[i] = 0;
    }
  }
  for (; i >= 1; --i) x[i] = 0;
  x[0] = (r != nullptr && r->numb) ? r->ncoef->lint : 0;
}

void fill_poly2_array(poly r, gcd1_array* x, std::int32_t* deg) {
  if (r->numb) {  // a constant: row 0 alone
    deg[0] = 0;
    x[0][0] = r->ncoef->lint;
    return;
  }
  std::int32_t i = r->exp;
  for (; i >= 1; --i) {
    if (r != nullptr && !r->numb && r->exp == i) {
      fill_poly1_array(r->pcoef, x[i], &deg[i]);
      r = r->next;
    } else {
      deg[i] = -1;
    }
  }
  if (r == nullptr) {
    deg[0] = -1;
  } else if (!r->numb) {  // a term of exponent 0 over a one-variable polynomial
    fill_poly1_array(r->pcoef, x[0], &deg[0]);
  } else {
    x[0][0] = r->ncoef->lint;
    deg[0] = 0;
  }
}

namespace {

// The nodes of the polynomial a cell held, handed out again for the list
// that replaces it while they have the shape of a residue list (a term
// whose coefficient is a leaf with a bare one-word number); whatever is
// left is freed at the end. In word mode (lintmode without floating mode)
// only.
class Recycler {
 public:
  explicit Recycler(poly old) : old_(old) {}
  ~Recycler() { free_poly(&old_); }
  Recycler(const Recycler&) = delete;
  Recycler& operator=(const Recycler&) = delete;

  // The term c t^e (c non-zero), next nil.
  poly term(std::int32_t e, std::int32_t c) {
    poly t = old_;
    if (t != nullptr && !t->numb && reusable(t->pcoef)) {
      old_ = t->next;
      t->exp = e;
      t->next = nullptr;
      t->pcoef->ncoef->lint = c;
      return t;
    }
    return new_term(e, leaf(c));
  }

  // A fresh leaf holding c.
  static poly leaf(std::int32_t c) {
    imptr n;
    newimag(&n);
    n->lint = c;
    return new_leaf(n);
  }

 private:
  static bool reusable(poly c) {
    return c->numb && c->next == nullptr && c->ncoef != nullptr && c->ncoef->size == 0 &&
           c->ncoef->head == nullptr;
  }
  poly old_;
};

}  // namespace

void array_to_poly(const std::int32_t* x, std::int32_t xdeg, poly* p) {
  if (xdeg == 0) {
    if (x[0] == 0) tavrin_error("bad x[0] in array_to_poly.", true);
    poly_set(x[0], p);
    return;
  }
  if (!lintmode || flotemode) {
    free_poly(p);
    *p = array_list(x, xdeg);
    return;
  }
  Recycler nodes(*p);
  *p = nullptr;
  poly head = nodes.term(xdeg, x[xdeg]);
  poly last = head;
  for (std::int32_t i = xdeg - 1; i >= 1; --i) {
    if (x[i] == 0) continue;
    last->next = nodes.term(i, x[i]);
    last = last->next;
  }
  if (x[0] != 0) last->next = Recycler::leaf(x[0]);
  *p = head;
}

void array_to_poly2(const gcd1_array* x, std::int32_t xdeg, const std::int32_t* deg, poly* p) {
  free_poly(p);
  poly head = nullptr;
  poly last = nullptr;
  auto append = [&](poly node) {
    if (last == nullptr) {
      head = node;
    } else {
      last->next = node;
    }
    last = node;
  };
  for (std::int32_t i = xdeg; i >= 1; --i) {
    if (deg[i] == -1) continue;
    append(new_term(i, array_poly(x[i], deg[i], "bad x[0] in array_to_poly.")));
  }
  if (deg[0] == 0) {
    append(array_poly(x[0], 0, "bad x[0][0] in array_to_poly2."));
  } else if (deg[0] >= 1) {
    append(new_term(0, array_list(x[0], deg[0])));
  }
  if (head == nullptr) poly_set(0, &head);  // every row zero: not a product's shape
  *p = head;
}

}  // namespace tavrin
