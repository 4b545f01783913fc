// Sums and differences of polynomials: one merge of the two term lists,
// recursing into the coefficients at equal exponents, with a policy per
// contract.
#include "poly/poly_add.h"

#include "core/globals.h"
#include "core/mode_guard.h"
#include "numbers/freelists.h"
#include "poly/poly_arith_impl.h"
#include "poly/poly_impl.h"
#include "poly/poly_repr.h"

namespace tavrin {

using detail::num_combine;
using detail::num_combine_new;
using detail::num_is_zero;
using detail::NumMode;
using detail::Released;
using nodes::is_bare_leaf;

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

// ---- The merge ------------------------------------------------------------------------------
//
// One merge of the two term lists serves the four contracts. Its policy says
// what becomes of each operand's nodes:
//   consumed: a node is reused in the result (a node of m negated in place
//             for a difference) or released through `rel`;
//   kept:     the result gets a fresh copy of the node (negated for m in a
//             difference), the operand is left as it was;
// and, for one_var, that every coefficient is a bare leaf, so equal exponents
// combine their leaves directly and negation touches the leaf alone.
//   best_…      n consumed, m consumed
//   better_…    n consumed, m kept
//   poly_…      n kept,     m kept
//   simplest_…  n consumed, m consumed, one_var
enum class Use { consumed, kept };

template <NumMode M, bool Sub, Use N, Use Mu, bool OneVar = false>
struct Merge {
  static_assert(N == Use::consumed || Mu == Use::kept, "a kept n comes with a kept m");
  static_assert(!OneVar || (N == Use::consumed && Mu == Use::consumed));

  static poly run(poly n, poly m, Released& rel) {
    if (is_bare_leaf(n) && is_bare_leaf(m)) return leaves(n, m, rel);
    if constexpr (N == Use::consumed) {
      // n plus or minus a zero constant is n: no walk down to its constant term
      // (a running sum of terms, some of them zero, would be quadratic).
      if (zero_bare_leaf<M>(m)) {
        if constexpr (Mu == Use::consumed) rel.leaf(m);
        return n;
      }
    }
    poly head = nullptr;
    poly* link = &head;
    auto append = [&link](poly t) {
      if (t == nullptr) return;
      *link = t;
      link = &t->next;
    };
    while (n != nullptr && m != nullptr) {
      poly nx = n->next;
      poly mx = m->next;
      if (n->exp > m->exp) {
        append(only_n(n, rel));
        n = nx;
      } else if (m->exp > n->exp) {
        append(only_m(m, rel));
        m = mx;
      } else {
        append(equal(n, m, rel));
        n = nx;
        m = mx;
      }
    }
    *link = n != nullptr ? tail_n(n, rel) : m != nullptr ? tail_m(m, rel) : nullptr;
    return zero_if_empty(head);
  }

 private:
  // Two whole constants: their sum or difference, a zero included.
  static poly leaves(poly n, poly m, Released& rel) {
    if constexpr (N == Use::kept) {
      return nodes::new_leaf(num_combine_new<M, Sub>(n->ncoef, m->ncoef));
    } else {
      num_combine<M, Sub>(n->ncoef, m->ncoef);
      if constexpr (Mu == Use::consumed) rel.leaf(m);
      return n;
    }
  }

  // A node of n whose exponent m lacks; nil for a zero leaf.
  static poly only_n(poly t, Released& rel) {
    if constexpr (N == Use::kept) {
      return t->numb && num_is_zero<M>(t->ncoef) ? nullptr : detail::copy_node_alone(t);
    } else {
      if (t->numb && num_is_zero<M>(t->ncoef)) {
        rel.leaf(t);
        return nullptr;
      }
      return t;
    }
  }

  // A node of m whose exponent n lacks, negated for a difference; nil for a
  // zero leaf.
  static poly only_m(poly t, Released& rel) {
    if constexpr (Mu == Use::kept) {
      if (t->numb && num_is_zero<M>(t->ncoef)) return nullptr;
      return Sub ? detail::copy_node_negated(t) : detail::copy_node_alone(t);
    } else {
      if (t->numb && num_is_zero<M>(t->ncoef)) {
        rel.leaf(t);
        return nullptr;
      }
      if constexpr (Sub) {
        if constexpr (OneVar) {
          in_place_neg(t->numb ? t->ncoef : t->pcoef->ncoef);
        } else {
          negate_node(t);
        }
      }
      return t;
    }
  }

  // The node of exponent e whose coefficient is the sum c of two
  // coefficients, n's term reused when n is consumed; nil when c is zero, c
  // itself at exponent 0 when it is a bare leaf.
  static poly place_sum(poly n, poly c, Released& rel) {
    if (is_bare_leaf(c)) {
      if (num_is_zero<M>(c->ncoef)) {
        if constexpr (N == Use::kept) {
          free_poly(&c);
        } else {
          rel.leaf(c);
          rel.node(n);
        }
        return nullptr;
      }
      if (n->exp == 0) {  // the constant term becomes the leaf itself
        if constexpr (N == Use::consumed) rel.node(n);
        return c;
      }
    }
    if constexpr (N == Use::kept) return nodes::new_term(n->exp, c);
    n->pcoef = c;
    return n;
  }

  // Nodes of n and m with the same exponent.
  static poly equal(poly n, poly m, Released& rel) {
    if constexpr (OneVar) {
      // Both leaves, or both terms over bare leaves.
      poly nl = n->numb ? n : n->pcoef;
      poly ml = m->numb ? m : m->pcoef;
      num_combine<M, Sub>(nl->ncoef, ml->ncoef);
      rel.leaf(ml);
      if (ml != m) rel.node(m);
      if (num_is_zero<M>(nl->ncoef)) {
        rel.leaf(nl);
        if (nl != n) rel.node(n);
        return nullptr;
      }
      return n;
    } else if (!n->numb && !m->numb) {
      poly c = run(n->pcoef, m->pcoef, rel);
      if constexpr (Mu == Use::consumed) rel.node(m);
      return place_sum(n, c, rel);
    } else if (!n->numb) {  // m is the constant leaf: it goes into n's coefficient
      poly c;
      if constexpr (Mu == Use::consumed) {
        m->next = nullptr;
        c = run(n->pcoef, m, rel);
      } else {
        ScopedValue<poly> alone(m->next, nullptr);  // cut from its successors (Laurent lists)
        c = run(n->pcoef, m, rel);
      }
      if constexpr (N == Use::kept) return nodes::new_term(n->exp, c);
      n->pcoef = c;
      return n;
    } else if (!m->numb) {  // n is the constant leaf: the result is n -+ m's coefficient
      poly c;
      if constexpr (N == Use::consumed) {
        n->next = nullptr;
        c = run(n, m->pcoef, rel);
      } else {
        ScopedValue<poly> alone(n->next, nullptr);  // cut from its successors (Laurent lists)
        c = run(n, m->pcoef, rel);
      }
      if constexpr (Mu == Use::kept) return nodes::new_term(0, c);
      m->pcoef = c;
      return m;
    } else if constexpr (N == Use::kept) {
      imptr r = num_combine_new<M, Sub>(n->ncoef, m->ncoef);
      if (num_is_zero<M>(r)) {
        free_imag(&r);
        return nullptr;
      }
      return nodes::new_leaf(r);
    } else {
      num_combine<M, Sub>(n->ncoef, m->ncoef);
      if constexpr (Mu == Use::consumed) rel.leaf(m);
      if (num_is_zero<M>(n->ncoef)) {
        rel.leaf(n);
        return nullptr;
      }
      return n;
    }
  }

  // What is left of n once m has run out; nil for a lone zero leaf.
  static poly tail_n(poly n, Released& rel) {
    if constexpr (N == Use::kept) {
      return zero_bare_leaf<M>(n) ? nullptr : detail::copy_list(n);
    } else {
      if (zero_bare_leaf<M>(n)) {
        rel.leaf(n);
        return nullptr;
      }
      return n;
    }
  }

  // What is left of m once n has run out, negated for a difference; nil for
  // a lone zero leaf.
  static poly tail_m(poly m, Released& rel) {
    if constexpr (Mu == Use::kept) {
      if (zero_bare_leaf<M>(m)) return nullptr;
      return Sub ? detail::copy_list_negated(m) : detail::copy_list(m);
    } else {
      if (zero_bare_leaf<M>(m)) {
        rel.leaf(m);
        return nullptr;
      }
      if constexpr (Sub) {
        if constexpr (OneVar) {
          for (poly t = m; t != nullptr; t = t->next)
            in_place_neg(t->numb ? t->ncoef : t->pcoef->ncoef);
        } else {
          poly_inplace(m);
        }
      }
      return m;
    }
  }
};

// ---- Dispatch by mode --------------------------------------------------------------------------

// f.template operator()<M>() for the NumMode M of the current mode flags:
// the one switch from the flags to a merge instantiated for them.
template <class F>
inline poly by_mode(F&& f) {
  switch (detail::num_mode()) {
    case NumMode::floating: return f.template operator()<NumMode::floating>();
    case NumMode::char2: return f.template operator()<NumMode::char2>();
    case NumMode::modular: return f.template operator()<NumMode::modular>();
    case NumMode::word: return f.template operator()<NumMode::word>();
    case NumMode::big: break;
  }
  return f.template operator()<NumMode::big>();
}

// The merge of policy (N, Mu) in the current mode; one_var only where the
// leaves are residues or long doubles, else the general merge.
template <bool Sub, Use N, Use Mu, bool OneVar = false>
poly merge(poly n, poly m, Released& rel) {
  return by_mode([&]<NumMode M>() {
    constexpr bool one_var = OneVar && M != NumMode::word && M != NumMode::big;
    return Merge<M, Sub, N, Mu, one_var>::run(n, m, rel);
  });
}

}  // namespace

void best_poly_add(poly n, poly m, poly* p) {
  Released rel;
  *p = merge<false, Use::consumed, Use::consumed>(n, m, rel);
}

void best_poly_sub(poly n, poly m, poly* p) {
  Released rel;
  *p = merge<true, Use::consumed, Use::consumed>(n, m, rel);
}

void better_poly_add(poly n, poly m, poly* p) {
  Released rel;
  *p = merge<false, Use::consumed, Use::kept>(n, m, rel);
}

void better_poly_sub(poly n, poly m, poly* p) {
  Released rel;
  *p = merge<true, Use::consumed, Use::kept>(n, m, rel);
}

void poly_add(poly n, poly m, poly* p) {
  Released none;
  poly r = merge<false, Use::kept, Use::kept>(n, m, none);
  free_poly(p);
  *p = r;
}

void poly_sub(poly n, poly m, poly* p) {
  Released none;
  poly r = merge<true, Use::kept, Use::kept>(n, m, none);
  free_poly(p);
  *p = r;
}

void simplest_poly_add(poly n, poly m, poly* p) {
  Released rel;
  *p = merge<false, Use::consumed, Use::consumed, true>(n, m, rel);
}

void simplest_poly_sub(poly n, poly m, poly* p) {
  Released rel;
  *p = merge<true, Use::consumed, Use::consumed, true>(n, m, rel);
}

}  // namespace tavrin
