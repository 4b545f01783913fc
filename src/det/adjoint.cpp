// The adjugate or inverse of an integer matrix by word-prime images joined
// by the Chinese remainder theorem (mod_matrix_inv, a method of the router).
#include <cstdint>
#include <cstdio>
#include <vector>

#include "core/error_codes.h"
#include "core/errors.h"
#include "core/globals.h"
#include "core/interrupts.h"
#include "core/mode_guard.h"
#include "core/thresholds.h"
#include "numbers/freelists.h"
#include "numbers/garner.h"
#include "numbers/node_handles.h"
#include "numbers/work_arrays.h"
#include "numbers/zint.h"
#include "poly/poly_repr.h"
#include "quoly/quoly_mult.h"
#include "quoly/quoly_quot.h"
#include "toplevel/state.h"
#include "arrays/det_upcalls.h"
#include "matrix/image_tasks.h"
#include "matrix/int_images.h"
#include "matrix/scaled_solve.h"
#include "matrix/zmatrix.h"
#include "det/int_determ.h"

namespace tavrin {

namespace {

// Frees a caller's value cell that a routine consumes, when the scope ends.
struct CellFree {
  quoly* q;
  ~CellFree() { free_quoly(q); }
};

// The adjugate (or inverse) of the integer matrix in ar from d A^-1 lifted
// p-adically (scaled_inverse) when the matrix has at least
// inverse_lift_side rows, entries below 2^24 and nothing is printed: the
// adjugate is det A times A^-1, the same values as the images give. False,
// nothing written, otherwise.
bool lifted_adjugate(workptr ar, workptr outar, bool oar_free, std::int32_t m, quolyptr det,
                     bool inverse) {
  if (verbose || m < inverse_lift_side) return false;
  ZMatrix a(m, m);
  for (std::int32_t c = 0; c < m; ++c)
    for (std::int32_t r = 0; r < m; ++r) {
      const quoly v = ar->stash[static_cast<std::size_t>(c) * m + r];
      if (v == nullptr || !v->numb || v->ncoef->size > 1) return false;
      a.at(r, c) = ZInt::from_number(v->ncoef);
    }
  const ZInt d = ZInt::from_number((*det)->ncoef);
  ZMatrix y;
  if (!scaled_inverse(a, d.abs(), &y)) return false;
  const bool negative = d.sign() < 0;
  for (std::int32_t c = 0; c < m; ++c)
    for (std::int32_t r = 0; r < m; ++r) {
      ZInt& x = y.at(r, c);
      quoly v = nodes::new_number_value((negative ? -x : x).to_number());
      x = ZInt();
      if (inverse) fast_quoly_quot(&v, det, false);
      const std::size_t k = static_cast<std::size_t>(c) * m + r;
      if (oar_free) free_quoly(&outar->stash[k]);
      outar->stash[k] = v;
    }
  return true;
}

}  // namespace

bool mod_matrix_inv(workptr ar, workptr outar, bool oar_free, std::int32_t m, quolyptr det,
                    quolyptr pseudodet, sparseptr*, bool inverse) {
  CellFree free_det{det}, free_bound{pseudodet};
  // Between images (or lifting steps) the user may interrupt, when
  // interrupts are allowed inside delicate sections; nothing of the
  // caller's has changed yet.
  const ScopedValue<bool> interrupts(command_int, command_int && danger_ok);
  if (lifted_adjugate(ar, outar, oar_free, m, det, inverse)) return true;
  imptr dn = (*det)->ncoef;
  const std::int32_t want = images::primes_for((*pseudodet)->ncoef);
  // The primes that do not divide the determinant, as many as the bound asks.
  std::vector<std::int32_t> used;
  for (std::int32_t k = 0; static_cast<std::int32_t>(used.size()) < want; ++k)
    if (images::residue(dn, images::table_then_limb_prime(k)) != 0) used.push_back(k);
  last_prime_count = static_cast<std::int32_t>(used.size());
  if (verbose)
    std::printf("\n%*sModular algorithm, counting to %d\n", 3 * dumpitt_level, "", used.back() + 6);
  const std::int64_t cells = std::int64_t{m} * m;
  const auto size = static_cast<std::size_t>(cells);
  const images::Residues res(images::cells_of(nullptr, ar, static_cast<std::int32_t>(cells)), m);
  // One adjugate image per prime (a task each, marked when singular), then
  // in the order of the primes the progress, the error of a singular image
  // and Garner's digits of every cell, digit t of cell i at t * size + i.
  std::vector<std::vector<std::uint32_t>> images(used.size());
  std::vector<char> singular(used.size(), 0);
  std::vector<std::uint32_t> primes(used.size());
  for (std::size_t t = 0; t < used.size(); ++t) primes[t] = images::table_then_limb_prime(used[t]);
  const double side = m;
  run_images(used.size(), side * side * side, [&](std::size_t t) {
    check_interrupt();
    const std::uint32_t p = primes[t];
    std::vector<std::uint32_t> a(size), adj(size);
    res.take(p, a.data());
    if (!images::residue_adjugate(a.data(), m, p, images::residue(dn, p), adj.data())) {
      singular[t] = 1;
      return;
    }
    std::vector<std::uint32_t>& img = images[t];
    img.resize(size);
    for (std::int32_t r = 0; r < m; ++r)
      for (std::int32_t c = 0; c < m; ++c)
        img[static_cast<std::size_t>(c) * m + r] = adj[static_cast<std::size_t>(r) * m + c];
  });
  Garner garner;
  std::vector<std::uint32_t> digits(used.size() * size);
  for (std::size_t t = 0; t < used.size(); ++t) {
    if (verbose) dumpitt(" ", static_cast<std::int32_t>(t) + 1, false, false, true);
    if (singular[t] != 0) tavrin_error("singular image in the adjoint-CRT method.", true);
    garner.add_prime(primes[t]);
    garner.digits_of(t, images[t].data(), digits.data(), size, size, &digits[t * size]);
    images[t] = {};
  }
  if (verbose) std::printf("\n%*sFinishing up Chinese Remainder Theorem.\n", 3 * dumpitt_level, "");
  for (std::int64_t k = 0; k < cells; ++k) {
    quoly v = nodes::new_number_value(
        garner.symmetric(&digits[static_cast<std::size_t>(k)], size).to_number());
    if (inverse) fast_quoly_quot(&v, det, false);
    if (oar_free) free_quoly(&outar->stash[k]);
    outar->stash[k] = v;
  }
  return true;
}

}  // namespace tavrin
