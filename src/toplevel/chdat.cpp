#include "toplevel/chdat.h"

#include <vector>

#include "core/errors.h"
#include "core/globals.h"
#include "core/mode_guard.h"
#include "numbers/bigint.h"
#include "numbers/freelists.h"
#include "numbers/node_handles.h"
#include "quoly/quoly_coef.h"
#include "toplevel/data_reader.h"
#include "toplevel/state.h"

namespace tavrin {

namespace {

DataReader chdat_in;

constexpr std::int64_t max_chdat_degree = 1000;  // far above any row

// The next number record into a fresh number; nil when it cannot be read.
imptr read_number_record() {
  const std::int64_t count = chdat_in.ld();
  imptr x;
  newimag(&x);
  read_limbs(chdat_in, count, limb_base, *x, nullptr, true, true);
  if (!chdat_in.ok()) {
    free_imag(&x);
    return nullptr;
  }
  return x;
}

bool is_zero_number(imptr x) { return x->size == 1 && x->head->value == 0; }
bool is_one(imptr x) { return x->size == 1 && x->head->value == 1; }

// The polynomial sum c[k] x^k over the top variable (c[k] moved in, zero
// coefficients freed): a bare leaf for a constant, else terms of decreasing
// exponent ending in the constant leaf when that is not zero.
poly dense_to_poly(std::vector<imptr>& c) {
  poly head = nullptr;
  poly* link = &head;
  for (std::size_t k = c.size(); k-- > 1;) {
    if (is_zero_number(c[k])) {
      free_imag(&c[k]);
      continue;
    }
    *link = nodes::new_term(static_cast<std::int32_t>(k), nodes::new_leaf(c[k]));
    link = &(*link)->next;
  }
  if (head == nullptr || !is_zero_number(c[0])) {
    *link = nodes::new_leaf(c[0]);
  } else {
    free_imag(&c[0]);
  }
  return head;
}

}  // namespace

void open_chdat(const std::string& includepath) { chdat_in.open(includepath + "chdat"); }

bool chdat_readable() { return chdat_in.ok(); }

void direct_poly_read(poly* p) {
  *p = nullptr;
  if (!chdat_in.ok()) return;
  const std::int64_t degree = chdat_in.ld();
  if (!chdat_in.ok() || degree < 0 || degree > max_chdat_degree) {
    chdat_in.fail();
    return;
  }
  std::vector<imptr> c(static_cast<std::size_t>(degree) + 1, nullptr);
  for (std::int64_t k = degree; k >= 0; --k) {
    c[static_cast<std::size_t>(k)] = read_number_record();
    if (c[static_cast<std::size_t>(k)] == nullptr) {
      for (imptr& x : c) free_imag(&x);
      return;
    }
  }
  *p = dense_to_poly(c);
}

void get_char_poly(std::int32_t, std::int32_t, quoly* q) {
  *q = nullptr;
  if (!chdat_in.ok()) return;
  imptr den = read_number_record();
  if (den == nullptr) return;
  poly num;
  direct_poly_read(&num);
  if (num == nullptr) {
    free_imag(&den);
    return;
  }
  if (is_zero_number(den) || den->head->value < 0) {  // denominators are positive
    chdat_in.fail();
    free_imag(&den);
    free_poly(&num);
    return;
  }
  const bool constant = num->numb && num->next == nullptr;
  if (constant && is_one(den)) {
    imptr n = num->ncoef;
    num->ncoef = nullptr;
    free_poly(&num);
    free_imag(&den);
    *q = nodes::new_number_value(n);
    quoly_put_flote(*q);
    return;
  }
  poly d = nullptr;
  if (is_one(den)) {
    free_imag(&den);
  } else {
    d = nodes::new_leaf(den);
  }
  *q = nodes::new_ratfun_value(num, d);
  (*q)->rat = constant && d != nullptr;
  quoly_put_flote(*q);
}

std::int32_t read_char_poly_rows(std::int32_t first, std::int32_t last) {
  // The table holds integers whatever the ring: the rows are read, and the
  // numbers they drop are freed, limbs and all, in big-integer mode (word
  // mode would leave the limbs of a dropped unit denominator behind).
  BigModeGuard big;
  std::int32_t count = 0;
  if (first < 1) first = 1;
  if (last > pol_rows - 1) last = pol_rows - 1;
  for (std::int32_t m = first; m <= last; ++m) {
    for (std::int32_t i = 0; i <= m; ++i) {
      free_quoly(&pol[m][i]);
      get_char_poly(m, i, &pol[m][i]);
      if (pol[m][i] != nullptr) ++count;
    }
  }
  return count;
}

void Set_prods_for_char() {
  BigModeGuard big;
  for (std::int32_t k = 1; k <= denom_count; ++k) {
    quoly_set(k, &denom[k]);
    denom[k]->next = nullptr;
    denom[k]->arr_arg = false;
    denom[k]->ncoef->lint = k;
    denom[k]->ncoef->flote = k;
  }
  need_to_set_char_poly = true;
}

}  // namespace tavrin
