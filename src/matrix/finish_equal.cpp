// The value-comparison built-in's ending (see finish_equal.h). Each part is
// brought to one of three forms: a number (a number value, a bare number
// leaf, or the 1 of a missing denominator), a polynomial, or a whole
// rational function; values in normal form are equal only in the same form.
#include "matrix/finish_equal.h"

#include "numbers/bigint.h"
#include "numbers/freelists.h"
#include "numbers/node_handles.h"
#include "poly/poly_repr.h"
#include "toplevel/builtin_names.h"

namespace tavrin {

namespace {

struct Part {
  imptr num = nullptr;    // a number
  poly p = nullptr;       // a polynomial that is no bare number
  quoly whole = nullptr;  // a rational function with a denominator
};

Part from_poly(poly p, imptr one) {
  if (p == nullptr) return {.num = one};
  if (p->numb && p->next == nullptr) return {.num = p->ncoef};
  return {.p = p};
}

Part part_of(quoly q, bool numer, bool denom, imptr one) {
  if (q->numb) return {.num = denom ? one : q->ncoef};
  if (numer) return from_poly(q->numer, one);
  if (denom) return from_poly(q->denom, one);
  if (q->denom != nullptr) return {.whole = q};
  return from_poly(q->numer, one);
}

bool matches(const Part& a, const Part& b, bool neg) {
  if (a.num != nullptr && b.num != nullptr)
    return neg ? negtive(a.num, b.num) : equal(a.num, b.num);
  if (a.p != nullptr && b.p != nullptr) return neg ? poly_neg(a.p, b.p) : poly_equal(a.p, b.p);
  if (a.whole != nullptr && b.whole != nullptr)
    return neg ? quoly_negtive(a.whole, b.whole) : quoly_equal(a.whole, b.whole);
  return false;
}

}  // namespace

void finish_equal(std::int32_t index, quolyptr n, quoly x, quoly y, const bool want[6]) {
  nodes::ScratchNumber one;
  setvalue(1, one.get());
  const Part a = part_of(x, want[0], want[1], one.get());
  const Part b = part_of(y, want[2], want[3], one.get());
  quoly_set(matches(a, b, index != bi::Equal) ? 1 : 0, n);
}

}  // namespace tavrin
