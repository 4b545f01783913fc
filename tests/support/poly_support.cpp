#include "support/poly_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <ostream>
#include <sstream>

#include "core/globals.h"
#include "numbers/freelists.h"
#include "numbers/node_handles.h"

namespace tavrin {

void PrintTo(polynode* p, std::ostream* os) {
  if (p == nullptr) {
    *os << "nil";
    return;
  }
  *os << test::show_poly(p) << "  " << test::dump_poly(p);
}

}  // namespace tavrin

namespace tavrin::test {

void PrintTo(const RefPoly& r, std::ostream* os) {
  std::vector<std::string> names = current_var_names();
  *os << r.to_string(names);
}

// ---- Adjoined variables ----------------------------------------------------------

PolyVars::PolyVars(std::initializer_list<std::string> names)
    : PolyVars(std::vector<std::string>(names)) {}

PolyVars::PolyVars(const std::vector<std::string>& names)
    : names_(names),
      saved_polynames_(polynames),
      saved_pseudo_(pseudo_polynames),
      saved_number_polys_(number_polys),
      saved_field_depth_(field_depth),
      saved_modout_above_field_(modout_above_field) {
  for (const auto& row : polyvar) saved_polyvar_.emplace_back(row, strnlen(row, 11));
  polypt head = nullptr;
  polypt* link = &head;
  std::int16_t depth = 1;
  for (const std::string& n : names) {
    polypt r = nullptr;
    newpt(&r);
    std::strncpy(r->let.name, n.c_str(), 10);
    r->let.name[10] = '\0';
    r->let.address = -1;
    r->depth = depth++;
    *link = r;
    link = &r->next;
  }
  polynames = head;
  pseudo_polynames = nullptr;
  number_polys = static_cast<std::int32_t>(names.size());
  field_depth = 0;
  modout_above_field = false;
  std::vector<std::string> sorted = names;
  std::sort(sorted.begin(), sorted.end());  // std::string compares bytes as unsigned
  for (auto& row : polyvar) std::memset(row, 0, sizeof row);
  for (std::size_t i = 0; i < sorted.size() && i < static_cast<std::size_t>(max_polys); ++i)
    std::strncpy(polyvar[i], sorted[i].c_str(), 10);
}

PolyVars::~PolyVars() {
  for (polypt r = polynames; r != nullptr;) {
    polypt next = r->next;
    free_pt(&r);
    r = next;
  }
  polynames = saved_polynames_;
  pseudo_polynames = saved_pseudo_;
  number_polys = saved_number_polys_;
  field_depth = saved_field_depth_;
  modout_above_field = saved_modout_above_field_;
  for (std::size_t i = 0; i < saved_polyvar_.size(); ++i) {
    std::memset(polyvar[i], 0, sizeof polyvar[i]);
    std::strncpy(polyvar[i], saved_polyvar_[i].c_str(), 10);
  }
}

polypt PolyVars::level(int depth) const {
  polypt r = polynames;
  for (int k = 1; k < depth && r != nullptr; ++k) r = r->next;
  return r;
}

std::vector<std::string> current_var_names() {
  std::vector<std::string> r;
  for (polypt p = polynames; p != nullptr; p = p->next) r.emplace_back(p->let.name);
  return r;
}

// ---- Numbers -----------------------------------------------------------------------

imptr make_number(const BigRef& v) {
  if (!flotemode && !lintmode) return from_ref(v);
  imptr n;
  newimag(&n);
  if (flotemode) {
    n->flote = std::strtold(v.to_decimal().c_str(), nullptr);
  } else if (modularmode) {
    BigRef r = v % BigRef(modulus);
    if (r.negative()) r = r + BigRef(modulus);
    n->lint = static_cast<std::int32_t>(r.to_int64());
  } else {
    n->lint = static_cast<std::int32_t>(
        static_cast<std::uint32_t>(static_cast<std::uint64_t>((v % BigRef::pow2(32)).to_int64())));
  }
  return n;
}

BigRef number_value(const number* n) {
  if (flotemode) {
    const long double f = n->flote;
    if (f != std::floor(f))
      ADD_FAILURE() << "floating value " << static_cast<double>(f) << " is not integral";
    return BigRef(static_cast<std::int64_t>(std::llround(f)));
  }
  if (lintmode) return BigRef(n->lint);
  return to_ref(n);
}

// ---- Building -----------------------------------------------------------------------

namespace {

using Term = std::pair<RefPoly::Exps, BigRef>;

poly leaf_node(const BigRef& v) { return tavrin::nodes::new_leaf(make_number(v)); }

// The terms (all with the same exponents above `level`) as the list of
// level `level` (0-based): one node per distinct exponent at this level, in
// decreasing order; a constant coefficient of exponent 0 becomes the leaf.
poly build_level(const std::vector<Term>& terms, std::size_t level, std::size_t nvars) {
  if (level == nvars) return leaf_node(terms.front().second);
  std::map<std::int32_t, std::vector<Term>, std::greater<>> groups;
  for (const Term& t : terms) {
    RefPoly::Exps rest = t.first;
    const std::int32_t e = rest[level];
    groups[e].push_back(t);
  }
  poly head = nullptr;
  poly* link = &head;
  for (const auto& [e, group] : groups) {
    poly coef = build_level(group, level + 1, nvars);
    // Only a bare constant stands for itself; a Laurent list needs its term.
    poly node =
        (e == 0 && coef->numb && coef->next == nullptr) ? coef : tavrin::nodes::new_term(e, coef);
    *link = node;
    link = &node->next;
  }
  return head;
}

}  // namespace

poly build_poly(const RefPoly& r0) {
  RefPoly r = modularmode ? r0.reduced_mod(BigRef(modulus)) : r0;
  if (r.is_zero()) return leaf_node(BigRef(0));
  std::vector<Term> terms(r.terms().begin(), r.terms().end());
  return build_level(terms, 0, static_cast<std::size_t>(r.nvars()));
}

poly make_poly(const std::string& text, const std::vector<std::string>& vars) {
  return build_poly(parse_ref(text, vars));
}

poly make_poly(const std::string& text) { return make_poly(text, current_var_names()); }

poly make_leaf(const BigRef& v) { return leaf_node(v); }

// ---- Reading ---------------------------------------------------------------------------

namespace {

void read_list(poly p, std::size_t level, RefPoly::Exps& e, RefPoly& out) {
  for (; p != nullptr; p = p->next) {
    if (p->numb) {
      RefPoly::Exps x = e;
      for (std::size_t i = level; i < x.size(); ++i) x[i] = 0;
      out.add_term(x, number_value(p->ncoef));
      continue;
    }
    if (level >= e.size()) {
      ADD_FAILURE() << "a term below the last variable";
      continue;
    }
    e[level] = p->exp;
    read_list(p->pcoef, level + 1, e, out);
    e[level] = 0;
  }
}

}  // namespace

RefPoly read_poly(poly p, int nvars) {
  RefPoly r(nvars);
  RefPoly::Exps e(static_cast<std::size_t>(nvars), 0);
  read_list(p, 0, e, r);
  return r;
}

RefPoly read_poly(poly p) { return read_poly(p, number_polys); }

std::string show_poly(poly p) {
  if (p == nullptr) return "nil";
  std::vector<std::string> names = current_var_names();
  int depth = 0;
  for (poly q = p; q != nullptr && !q->numb; q = q->pcoef) ++depth;
  const int nvars = std::max(static_cast<int>(names.size()), depth);
  return read_poly(p, nvars).to_string(names);
}

namespace {

void dump_list(poly p, std::ostream& os) {
  os << "[";
  for (poly q = p; q != nullptr; q = q->next) {
    if (q != p) os << "; ";
    if (q->numb) {
      os << number_value(q->ncoef);
    } else {
      os << q->exp << ":";
      if (q->pcoef != nullptr && q->pcoef->numb && q->pcoef->next == nullptr) {
        os << number_value(q->pcoef->ncoef);
      } else if (q->pcoef == nullptr) {
        os << "nil";
      } else {
        dump_list(q->pcoef, os);
      }
    }
  }
  os << "]";
}

}  // namespace

std::string dump_poly(poly p) {
  if (p == nullptr) return "nil";
  std::ostringstream os;
  if (p->numb && p->next == nullptr) {
    os << number_value(p->ncoef);
  } else {
    dump_list(p, os);
  }
  return os.str();
}

namespace {

void shape_list(poly p, std::ostream& os) {
  for (; p != nullptr; p = p->next) {
    os << "(" << static_cast<const void*>(p) << " e" << p->exp << " next "
       << static_cast<const void*>(p->next);
    if (p->numb) {
      const number* n = p->ncoef;
      os << " leaf " << static_cast<const void*>(n) << " size " << n->size << " limbs";
      for (numptr l = n->size > 0 ? n->head : nullptr; l != nullptr; l = l->next)
        os << " " << static_cast<const void*>(l) << ":" << l->value;
      os << ")";
    } else {
      os << " coef " << static_cast<const void*>(p->pcoef) << " [";
      shape_list(p->pcoef, os);
      os << "])";
    }
  }
}

}  // namespace

std::string node_shape(poly p) {
  std::ostringstream os;
  os << static_cast<const void*>(p) << ": ";
  shape_list(p, os);
  return os.str();
}

// ---- Validation ---------------------------------------------------------------------------

namespace {

class Validator {
 public:
  explicit Validator(int nvars) : nvars_(nvars) {}
  std::string problem;

  bool list(poly p, int level, const std::string& where) {
    if (p == nullptr) return fail(where, "nil list");
    std::int64_t prev = INT64_MAX;
    int k = 0;
    for (poly t = p; t != nullptr; t = t->next, ++k) {
      const std::string at = where + "/" + std::to_string(k);
      if (++visited_ > 50'000'000) return fail(at, "too many nodes (a cycle?)");
      if (t->exp >= prev) return fail(at, "exponents not strictly decreasing");
      if (t->exp < 0 && !laurent) return fail(at, "negative exponent outside Laurent mode");
      prev = t->exp;
      if (t->numb) {
        if (t->exp != 0) return fail(at, "leaf with a non-zero exponent");
        if (t->next != nullptr && !laurent) return fail(at, "leaf that is not last");
        if (!number(t->ncoef, at)) return false;
        if (p->next != nullptr || level > 0) {
          if (is_zero(t->ncoef)) return fail(at, "zero leaf inside a sum");
        }
        continue;
      }
      if (level >= nvars_) return fail(at, "a term below the last variable");
      poly c = t->pcoef;
      if (c == nullptr) return fail(at, "term without coefficient");
      if (t->exp == 0 && c->numb && c->next == nullptr)
        return fail(at, "term of exponent 0 over a bare leaf");
      if (!list(c, level + 1, at)) return false;
    }
    return true;
  }

 private:
  bool fail(const std::string& at, const std::string& why) {
    problem = why + " at node " + at;
    return false;
  }
  static bool is_zero(imptr n) {
    if (flotemode) return n->flote == 0.0L;
    if (lintmode) return n->lint == 0;
    return n->size >= 1 && n->head->value == 0;
  }
  bool number(imptr n, const std::string& at) {
    if (n == nullptr) return fail(at, "leaf without number");
    if (flotemode) return true;
    if (modularmode) {
      if (n->lint < 0 || n->lint >= modulus) return fail(at, "residue out of range");
      return true;
    }
    if (lintmode) return true;
    auto ok = valid_bigint(n);
    if (!ok) return fail(at, std::string("invalid big integer: ") + ok.message());
    return true;
  }

  int nvars_;
  long visited_ = 0;
};

}  // namespace

::testing::AssertionResult valid_poly(poly p, int nvars) {
  Validator v(nvars);
  if (v.list(p, 0, "")) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << v.problem << " in " << dump_poly(p);
}

::testing::AssertionResult valid_poly(poly p) { return valid_poly(p, number_polys); }

// ---- Handles ------------------------------------------------------------------------------

Poly::~Poly() { free_poly(&p_); }

Poly& Poly::operator=(Poly&& o) noexcept {
  if (this != &o) {
    free_poly(&p_);
    p_ = o.p_;
    o.p_ = nullptr;
  }
  return *this;
}

Value Value::number(const BigRef& v) {
  return adopt(tavrin::nodes::new_number_value(make_number(v)));
}

Value Value::ratfun(const std::string& numer, const std::string& denom) {
  poly n = make_poly(numer);
  return adopt(tavrin::nodes::new_ratfun_value(n, denom.empty() ? nullptr : make_poly(denom)));
}

Value::~Value() { free_quoly(&q_); }

Value& Value::operator=(Value&& o) noexcept {
  if (this != &o) {
    free_quoly(&q_);
    q_ = o.q_;
    o.q_ = nullptr;
  }
  return *this;
}

}  // namespace tavrin::test
