// Sums and differences of polynomials: one merge of the two term lists per
// contract, recursing into the coefficients at equal exponents.
#include "poly/poly_add.h"

#include "core/globals.h"
#include "numbers/freelists.h"
#include "poly/poly_arith_impl.h"
#include "poly/poly_impl.h"
#include "poly/poly_repr.h"

namespace tavrin {

using detail::is_bare_leaf;
using detail::LeafAlone;
using detail::NumMode;
using detail::num_combine;
using detail::num_combine_new;
using detail::num_is_zero;
using detail::Released;

namespace {

template <NumMode M>
inline bool zero_bare_leaf(poly t) {
  return t->numb && t->next == nullptr && num_is_zero<M>(t->ncoef);
}

// The node t alone negated in place (a leaf's number, or the whole
// coefficient of a term).
inline void negate_node(poly t) {
  if (t->numb) {
    in_place_neg(t->ncoef);
  } else {
    poly_inplace(t->pcoef);
  }
}

// An empty merge is the zero polynomial.
inline poly zero_if_empty(poly head) {
  if (head == nullptr) poly_set(0, &head);
  return head;
}

// ---- Both operands consumed --------------------------------------------------------

template <NumMode M, bool Sub>
poly best_merge(poly n, poly m, Released& rel) {
  if (n->numb && n->next == nullptr && m->numb && m->next == nullptr) {
    num_combine<M, Sub>(n->ncoef, m->ncoef);
    rel.leaf(m);
    return n;
  }
  poly head = nullptr;
  poly* link = &head;
  while (n != nullptr && m != nullptr) {
    if (n->exp > m->exp) {
      poly nx = n->next;
      if (n->numb && num_is_zero<M>(n->ncoef)) {
        rel.leaf(n);
      } else {
        *link = n;
        link = &n->next;
      }
      n = nx;
    } else if (m->exp > n->exp) {
      poly mx = m->next;
      if (m->numb && num_is_zero<M>(m->ncoef)) {
        rel.leaf(m);
      } else {
        if constexpr (Sub) negate_node(m);
        *link = m;
        link = &m->next;
      }
      m = mx;
    } else {
      poly nx = n->next;
      poly mx = m->next;
      if (!n->numb && !m->numb) {
        poly c = best_merge<M, Sub>(n->pcoef, m->pcoef, rel);
        rel.node(m);
        if (c->numb && c->next == nullptr) {
          if (num_is_zero<M>(c->ncoef)) {
            rel.leaf(c);
            rel.node(n);
          } else if (n->exp == 0) {  // the constant term becomes the leaf itself
            rel.node(n);
            *link = c;
            link = &c->next;
          } else {
            n->pcoef = c;
            *link = n;
            link = &n->next;
          }
        } else {
          n->pcoef = c;
          *link = n;
          link = &n->next;
        }
      } else if (!n->numb) {  // m is the constant leaf: it goes into n's coefficient
        m->next = nullptr;
        n->pcoef = best_merge<M, Sub>(n->pcoef, m, rel);
        *link = n;
        link = &n->next;
      } else if (!m->numb) {  // n is the constant leaf: m's coefficient becomes n -+ c
        n->next = nullptr;
        m->pcoef = best_merge<M, Sub>(n, m->pcoef, rel);
        *link = m;
        link = &m->next;
      } else {
        num_combine<M, Sub>(n->ncoef, m->ncoef);
        rel.leaf(m);
        if (num_is_zero<M>(n->ncoef)) {
          rel.leaf(n);
        } else {
          *link = n;
          link = &n->next;
        }
      }
      n = nx;
      m = mx;
    }
  }
  if (n != nullptr) {
    if (zero_bare_leaf<M>(n)) {
      rel.leaf(n);
      n = nullptr;
    }
    *link = n;
  } else if (m != nullptr) {
    if (zero_bare_leaf<M>(m)) {
      rel.leaf(m);
      m = nullptr;
    } else if constexpr (Sub) {
      poly_inplace(m);
    }
    *link = m;
  } else {
    *link = nullptr;
  }
  return zero_if_empty(head);
}

// ---- n consumed, m kept ------------------------------------------------------------------

template <NumMode M, bool Sub>
poly better_merge(poly n, poly m, Released& rel) {
  if (n->numb && n->next == nullptr && m->numb && m->next == nullptr) {
    num_combine<M, Sub>(n->ncoef, m->ncoef);
    return n;
  }
  poly head = nullptr;
  poly* link = &head;
  while (n != nullptr && m != nullptr) {
    if (n->exp > m->exp) {
      poly nx = n->next;
      if (n->numb && num_is_zero<M>(n->ncoef)) {
        rel.leaf(n);
      } else {
        *link = n;
        link = &n->next;
      }
      n = nx;
    } else if (m->exp > n->exp) {
      if (!(m->numb && num_is_zero<M>(m->ncoef))) {
        poly t = Sub ? detail::copy_node_negated(m) : detail::copy_node_alone(m);
        *link = t;
        link = &t->next;
      }
      m = m->next;
    } else {
      poly nx = n->next;
      if (!n->numb && !m->numb) {
        poly c = better_merge<M, Sub>(n->pcoef, m->pcoef, rel);
        if (c->numb && c->next == nullptr) {
          if (num_is_zero<M>(c->ncoef)) {
            rel.leaf(c);
            rel.node(n);
          } else if (n->exp == 0) {
            rel.node(n);
            *link = c;
            link = &c->next;
          } else {
            n->pcoef = c;
            *link = n;
            link = &n->next;
          }
        } else {
          n->pcoef = c;
          *link = n;
          link = &n->next;
        }
      } else if (!n->numb) {
        LeafAlone cut(m);
        n->pcoef = better_merge<M, Sub>(n->pcoef, m, rel);
        *link = n;
        link = &n->next;
      } else if (!m->numb) {
        n->next = nullptr;
        poly t = detail::new_term(0, better_merge<M, Sub>(n, m->pcoef, rel));
        *link = t;
        link = &t->next;
      } else {
        num_combine<M, Sub>(n->ncoef, m->ncoef);
        if (num_is_zero<M>(n->ncoef)) {
          rel.leaf(n);
        } else {
          *link = n;
          link = &n->next;
        }
      }
      n = nx;
      m = m->next;
    }
  }
  if (n != nullptr) {
    if (zero_bare_leaf<M>(n)) {
      rel.leaf(n);
      n = nullptr;
    }
    *link = n;
  } else if (m != nullptr && !zero_bare_leaf<M>(m)) {
    *link = Sub ? detail::copy_list_negated(m) : detail::copy_list(m);
  } else {
    *link = nullptr;
  }
  return zero_if_empty(head);
}

// ---- Both kept: every result node new ------------------------------------------------------

template <NumMode M, bool Sub>
poly copy_merge(poly n, poly m) {
  if (n->numb && n->next == nullptr && m->numb && m->next == nullptr)
    return detail::new_leaf(num_combine_new<M, Sub>(n->ncoef, m->ncoef));
  poly head = nullptr;
  poly* link = &head;
  auto append = [&link](poly t) {
    *link = t;
    link = &t->next;
  };
  while (n != nullptr && m != nullptr) {
    if (n->exp > m->exp) {
      if (!(n->numb && num_is_zero<M>(n->ncoef))) append(detail::copy_node_alone(n));
      n = n->next;
    } else if (m->exp > n->exp) {
      if (!(m->numb && num_is_zero<M>(m->ncoef)))
        append(Sub ? detail::copy_node_negated(m) : detail::copy_node_alone(m));
      m = m->next;
    } else {
      if (!n->numb && !m->numb) {
        poly c = copy_merge<M, Sub>(n->pcoef, m->pcoef);
        if (c->numb && c->next == nullptr) {
          if (num_is_zero<M>(c->ncoef)) {
            free_poly(&c);
          } else if (n->exp == 0) {
            append(c);
          } else {
            append(detail::new_term(n->exp, c));
          }
        } else {
          append(detail::new_term(n->exp, c));
        }
      } else if (!n->numb) {
        LeafAlone cut(m);
        append(detail::new_term(n->exp, copy_merge<M, Sub>(n->pcoef, m)));
      } else if (!m->numb) {
        LeafAlone cut(n);
        append(detail::new_term(0, copy_merge<M, Sub>(n, m->pcoef)));
      } else {
        imptr r = num_combine_new<M, Sub>(n->ncoef, m->ncoef);
        if (num_is_zero<M>(r)) {
          free_imag(&r);
        } else {
          append(detail::new_leaf(r));
        }
      }
      n = n->next;
      m = m->next;
    }
  }
  if (n != nullptr && !zero_bare_leaf<M>(n)) {
    *link = detail::copy_list(n);
  } else if (m != nullptr && !zero_bare_leaf<M>(m)) {
    *link = Sub ? detail::copy_list_negated(m) : detail::copy_list(m);
  } else {
    *link = nullptr;
  }
  return zero_if_empty(head);
}

// ---- One variable, both consumed --------------------------------------------------------------

template <NumMode M, bool Sub>
poly simplest_merge(poly n, poly m, Released& rel) {
  if (n->numb && n->next == nullptr && m->numb && m->next == nullptr) {
    num_combine<M, Sub>(n->ncoef, m->ncoef);
    rel.leaf(m);
    return n;
  }
  poly head = nullptr;
  poly* link = &head;
  while (n != nullptr && m != nullptr) {
    if (n->exp > m->exp) {
      poly nx = n->next;
      if (n->numb && num_is_zero<M>(n->ncoef)) {
        rel.leaf(n);
      } else {
        *link = n;
        link = &n->next;
      }
      n = nx;
    } else if (m->exp > n->exp) {
      poly mx = m->next;
      if (m->numb && num_is_zero<M>(m->ncoef)) {
        rel.leaf(m);
      } else {
        if constexpr (Sub) in_place_neg(m->numb ? m->ncoef : m->pcoef->ncoef);
        *link = m;
        link = &m->next;
      }
      m = mx;
    } else {
      poly nx = n->next;
      poly mx = m->next;
      // Equal exponents: both leaves, or both terms over bare leaves.
      poly nl = n->numb ? n : n->pcoef;
      poly ml = m->numb ? m : m->pcoef;
      num_combine<M, Sub>(nl->ncoef, ml->ncoef);
      rel.leaf(ml);
      if (ml != m) rel.node(m);
      if (num_is_zero<M>(nl->ncoef)) {
        rel.leaf(nl);
        if (nl != n) rel.node(n);
      } else {
        *link = n;
        link = &n->next;
      }
      n = nx;
      m = mx;
    }
  }
  if (n != nullptr) {
    if (zero_bare_leaf<M>(n)) {
      rel.leaf(n);
      n = nullptr;
    }
    *link = n;
  } else if (m != nullptr) {
    if (zero_bare_leaf<M>(m)) {
      rel.leaf(m);
      m = nullptr;
    } else if constexpr (Sub) {
      for (poly t = m; t != nullptr; t = t->next) in_place_neg(t->numb ? t->ncoef : t->pcoef->ncoef);
    }
    *link = m;
  } else {
    *link = nullptr;
  }
  return zero_if_empty(head);
}

// ---- Dispatch by mode --------------------------------------------------------------------------

template <bool Sub>
poly best_dispatch(poly n, poly m, Released& rel) {
  switch (detail::num_mode()) {
    case NumMode::floating: return best_merge<NumMode::floating, Sub>(n, m, rel);
    case NumMode::char2: return best_merge<NumMode::char2, Sub>(n, m, rel);
    case NumMode::modular: return best_merge<NumMode::modular, Sub>(n, m, rel);
    case NumMode::word: return best_merge<NumMode::word, Sub>(n, m, rel);
    case NumMode::big: break;
  }
  return best_merge<NumMode::big, Sub>(n, m, rel);
}

template <bool Sub>
poly better_dispatch(poly n, poly m, Released& rel) {
  switch (detail::num_mode()) {
    case NumMode::floating: return better_merge<NumMode::floating, Sub>(n, m, rel);
    case NumMode::char2: return better_merge<NumMode::char2, Sub>(n, m, rel);
    case NumMode::modular: return better_merge<NumMode::modular, Sub>(n, m, rel);
    case NumMode::word: return better_merge<NumMode::word, Sub>(n, m, rel);
    case NumMode::big: break;
  }
  return better_merge<NumMode::big, Sub>(n, m, rel);
}

template <bool Sub>
poly copy_dispatch(poly n, poly m) {
  switch (detail::num_mode()) {
    case NumMode::floating: return copy_merge<NumMode::floating, Sub>(n, m);
    case NumMode::char2: return copy_merge<NumMode::char2, Sub>(n, m);
    case NumMode::modular: return copy_merge<NumMode::modular, Sub>(n, m);
    case NumMode::word: return copy_merge<NumMode::word, Sub>(n, m);
    case NumMode::big: break;
  }
  return copy_merge<NumMode::big, Sub>(n, m);
}

template <bool Sub>
poly simplest_dispatch(poly n, poly m, Released& rel) {
  switch (detail::num_mode()) {
    case NumMode::floating: return simplest_merge<NumMode::floating, Sub>(n, m, rel);
    case NumMode::char2: return simplest_merge<NumMode::char2, Sub>(n, m, rel);
    case NumMode::modular: return simplest_merge<NumMode::modular, Sub>(n, m, rel);
    default: break;
  }
  return best_dispatch<Sub>(n, m, rel);
}

}  // namespace

void best_poly_add(poly n, poly m, poly* p) {
  Released rel;
  *p = best_dispatch<false>(n, m, rel);
}

void best_poly_sub(poly n, poly m, poly* p) {
  Released rel;
  *p = best_dispatch<true>(n, m, rel);
}

void better_poly_add(poly n, poly m, poly* p) {
  Released rel;
  *p = better_dispatch<false>(n, m, rel);
}

void better_poly_sub(poly n, poly m, poly* p) {
  Released rel;
  *p = better_dispatch<true>(n, m, rel);
}

void poly_add(poly n, poly m, poly* p) {
  poly r = copy_dispatch<false>(n, m);
  free_poly(p);
  *p = r;
}

void poly_sub(poly n, poly m, poly* p) {
  poly r = copy_dispatch<true>(n, m);
  free_poly(p);
  *p = r;
}

void simplest_poly_add(poly n, poly m, poly* p) {
  Released rel;
  *p = simplest_dispatch<false>(n, m, rel);
}

void simplest_poly_sub(poly n, poly m, poly* p) {
  Released rel;
  *p = simplest_dispatch<true>(n, m, rel);
}

}  // namespace tavrin
