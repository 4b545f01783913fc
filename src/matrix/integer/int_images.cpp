// Residues, word primes and Garner's mixed radix for the integer
// determinant and the adjugate by images, and the bound they take (see
// int_images.h).
#include "matrix/int_images.h"

#include <cstdint>
#include <vector>

#include "core/errors.h"
#include "core/globals.h"
#include "core/interrupts.h"
#include "core/mode_guard.h"
#include "core/thresholds.h"
#include "numbers/bigint.h"
#include "numbers/freelists.h"
#include "numbers/garner.h"
#include "numbers/limb_array.h"
#include "numbers/primes.h"
#include "numbers/word_field.h"
#include "numbers/word_mod.h"
#include "poly/poly_measures.h"
#include "toplevel/state.h"
#include "arrays/array_store.h"
#include "arrays/sparse_store.h"
#include "matrix/divisor_determ.h"
#include "matrix/image_tasks.h"
#include "matrix/residue_elimination.h"

namespace tavrin::images {

namespace {

constexpr std::int32_t table_primes = 599;  // prime[6..604]

}  // namespace

std::vector<quoly> cells_of(arrptr q, workptr beta, std::int32_t n) {
  std::vector<quoly> cells(static_cast<std::size_t>(n));
  for (std::int32_t i = 0; i < n; ++i) {
    if (beta != nullptr) {
      cells[static_cast<std::size_t>(i)] = beta->stash[i];
      continue;
    }
    quolyptr c = arp_cell(q->start + i);
    if (*c == nullptr) {
      count_uninitialised(q->name.name);
      quoly_set(0, c);
    }
    cells[static_cast<std::size_t>(i)] = *c;
  }
  return cells;
}

void set_power_of_two(imptr x, std::int64_t e) {
  std::vector<std::uint32_t> a(static_cast<std::size_t>(e / limb_bits) + 1, 0);
  a.back() = std::uint32_t{1} << (e % limb_bits);
  ZInt::from_digits(std::move(a), 1).store(x);
}

void assign_number(imptr n, imptr x) {
  kit::install_limbs(x, kit::copy_limbs(n->head, n->size, 1));
}

std::uint32_t table_then_limb_prime(std::int32_t k) {
  need_data_file(data_file::pprods);
  if (k < table_primes) return static_cast<std::uint32_t>(prime[6 + k]->lint);
  return word_prime(static_cast<std::size_t>(k - table_primes), std::uint32_t{1} << limb_bits);
}

std::int32_t primes_for(imptr pd) {
  need_data_file(data_file::pprods);
  const std::int32_t L = pd->size;
  std::int32_t k = L * 7 / 4 + 4;
  if (k < 6) k = 6;
  while (k <= 604 && num_prod[k - 6].size < L) ++k;
  while (k <= 604 && num_prod[k - 6].size == L && num_prod[k - 6].head->value < pd->head->value)
    ++k;
  if (k <= 604) return k - 5;
  // Past the table: generated primes until the product reaches pd.
  ZInt M = ZInt::from_number(&num_prod[table_primes - 1]);
  const ZInt b = ZInt::from_number(pd);
  std::int32_t np = table_primes;
  while (compare_abs(M, b) < 0) M.mul_add(table_then_limb_prime(np++), 0);
  return np;
}

Residues::Residues(const std::vector<quoly>& cells, std::int32_t m)
    : m_(m), small_(static_cast<std::size_t>(m) * m, 0) {
  for (std::int32_t c = 0; c < m; ++c)
    for (std::int32_t r = 0; r < m; ++r) {
      quoly v = cells[static_cast<std::size_t>(c) * m + r];
      const std::size_t at = static_cast<std::size_t>(r) * m + c;
      if (v == nullptr) continue;
      if (v->ncoef->size == 1)
        small_[at] = v->ncoef->head->value;
      else
        long_.emplace_back(at, v->ncoef);
    }
}

void Residues::take(std::uint32_t p, std::uint32_t* out) const {
  const auto sp = static_cast<std::int32_t>(p);
  const std::size_t n = small_.size();
  for (std::size_t i = 0; i < n; ++i) {
    const std::int32_t r = small_[i] % sp;
    out[i] = static_cast<std::uint32_t>(r < 0 ? r + sp : r);
  }
  for (const auto& [at, x] : long_) out[at] = residue(x, p);
}

std::uint32_t residue(imptr x, std::uint32_t p) { return number_residue(x, WordField(p)); }

imptr crt_determ(const std::vector<quoly>& cells, std::int32_t m, imptr pd) {
  if (m < 1) return ZInt(1).to_number();
  // A divisor of the determinant first, when the matrix allows it.
  if (imptr d = divisor_determ(cells, m, pd)) {
    last_prime_count = last_divisor_stats.primes;
    return d;
  }
  const std::int32_t np = primes_for(pd);
  last_prime_count = np;
  ++dumpitt_level;
  struct Level {
    std::int32_t np;
    ~Level() {
      if (dumpitt_level > 0) decr_dumpitt(np, true, verbose);
    }
  } level{np};
  if (verbose) dumpitt("CRT. number of primes needed is ", np, true, true, true);
  // The images, one task per prime (the primes chosen here, in order);
  // Garner's digits then in the order of the primes.
  const Residues res(cells, m);
  std::vector<std::uint32_t> primes(static_cast<std::size_t>(np)), dets(primes.size());
  for (std::int32_t t = 0; t < np; ++t)
    primes[static_cast<std::size_t>(t)] = table_then_limb_prime(t);
  const double side = m;
  run_images(primes.size(), side * side * side / 3, [&](std::size_t t) {
    check_interrupt();
    std::vector<std::uint32_t> store(static_cast<std::size_t>(m) * static_cast<std::size_t>(m));
    res.take(primes[t], store.data());
    dets[t] = prime_residue_determ(store.data(), m, primes[t]);
  });
  std::vector<std::uint32_t> digits(primes.size());
  Garner garner;
  for (std::size_t t = 0; t < primes.size(); ++t) {
    garner.add_prime(primes[t]);
    if (verbose) dumpitt(" ", static_cast<std::int32_t>(t) + 1, false, false, true);
    digits[t] = garner.digit(t, dets[t], digits.data());
  }
  std::vector<std::uint32_t> store(static_cast<std::size_t>(m) * static_cast<std::size_t>(m));
  ModulusGuard guard;
  set_word_modulus(2, true);
  res.take(2, store.data());
  const std::int32_t parity = residue_determ(store.data(), m, 1);
  // The value in [0, M) or, by its parity (M is odd), the one in (-M, 0).
  ZInt A = garner.value(digits.data());
  if (static_cast<std::int32_t>(A.mod_word(2)) != parity) A -= garner.modulus();
  return A.to_number();
}

}  // namespace tavrin::images

namespace tavrin::images {

bool residue_adjugate(std::uint32_t* a, std::int32_t m, std::uint32_t p, std::uint32_t detp,
                      std::uint32_t* out) {
  if (p < (1u << 24)) return residue_inverse(a, m, p, detp, out);
  const auto size = static_cast<std::size_t>(m);
  const std::size_t w = 2 * size;
  std::vector<std::uint32_t> store(size * w, 0);
  std::vector<std::uint32_t*> row(size);
  for (std::size_t r = 0; r < size; ++r) {
    row[r] = store.data() + r * w;
    for (std::size_t c = 0; c < size; ++c) row[r][c] = a[r * size + c];
    row[r][size + r] = detp % p;
  }
  for (std::size_t i = 0; i < size; ++i) {
    check_interrupt();
    std::size_t r = i;
    while (r < size && row[r][i] == 0) ++r;
    if (r == size) return false;
    std::swap(row[i], row[r]);
    const std::uint32_t inv = inverse_modulo(row[i][i], p);
    const std::uint32_t invs = shoup_quotient(inv, p);
    for (std::size_t c = i; c < w; ++c) row[i][c] = shoup_mul(row[i][c], inv, invs, p);
    for (std::size_t k = 0; k < size; ++k) {
      if (k == i) continue;
      const std::uint32_t g = row[k][i];
      if (g == 0) continue;
      const std::uint32_t gs = shoup_quotient(g, p);
      std::uint32_t* __restrict target = row[k];
      const std::uint32_t* __restrict pivot = row[i];
      for (std::size_t c = i; c < w; ++c) {
        const std::uint32_t t = shoup_mul(pivot[c], g, gs, p);
        const std::uint32_t x = target[c];
        target[c] = x >= t ? x - t : x + p - t;
      }
    }
  }
  for (std::size_t r = 0; r < size; ++r)
    for (std::size_t c = 0; c < size; ++c) out[r * size + c] = row[r][size + c];
  return true;
}

}  // namespace tavrin::images

namespace tavrin {

std::int32_t last_prime_count = 0;

namespace {

// The small-matrix factors of sides 1..13.
constexpr double small_arr[14] = {0, 100000, 100, 80, 60, 44, 28, 20, 15, 15, 15, 11, 5, 1};

bool is_zero_entry(quoly c) {
  return c == nullptr || (c->ncoef->size == 1 && c->ncoef->head->value == 0);
}

}  // namespace

double fsmallsize(std::int32_t r) {
  if (r <= 13) return r >= 1 ? small_arr[r] : small_arr[1];
  if (r <= 18) return (26.0 - 2.0 * r) / 15.0 + 1.0;
  if (r <= 23) return (126.0 - 7.0 * r) / 150.0 + 0.333333;
  return 0.0;
}

namespace images {

namespace {

// The sums of find_pseudo, one line (a column, or a sparse row) at a time.
class PseudoSums {
 public:
  explicit PseudoSums(std::int32_t* size) : size_(size) { *size_ = 0; }
  void entry(quoly c) {
    if (is_zero_entry(c)) return;
    const std::int32_t s = size_of(c->ncoef->head->value, c->ncoef->size);
    *size_ += s;
    if (s > top_) top_ = s;
    ++k_;
  }
  void end_line() {
    bits_ += 1 + top_;
    logsum_ += 1 + (k_ == 0 ? -1 : size_of(k_, 1));
    top_ = -1;
    k_ = 0;
  }
  void finish(imptr pseudodet, bool* small_one, std::int32_t rows, std::int32_t cols, bool smith,
              bool boost) const {
    const std::int32_t m = rows > cols ? rows : cols;
    if (!smith)
      *small_one = *size_ < static_cast<std::int64_t>(smallsize) * m * m;
    else
      *small_one = static_cast<double>(*size_) < static_cast<double>(m) * m * fsmallsize(m);
    std::int64_t e = bits_ + (logsum_ + 1) / 2;
    if (boost && e % limb_bits != 0) e += limb_bits - e % limb_bits;
    set_power_of_two(pseudodet, e);
  }

 private:
  std::int32_t* size_;
  std::int64_t bits_ = 0, logsum_ = 0;
  std::int32_t top_ = -1, k_ = 0;
};

}  // namespace

void find_pseudo_cells(const std::vector<quoly>& cells, imptr pseudodet, bool* small_one,
                       std::int32_t rows, std::int32_t cols, std::int32_t* size, bool smith,
                       bool boost) {
  PseudoSums sums(size);
  for (std::int32_t i = 0; i < cols; ++i) {
    for (std::int32_t r = 0; r < rows; ++r)
      sums.entry(cells[static_cast<std::size_t>(i) * rows + r]);
    sums.end_line();
  }
  sums.finish(pseudodet, small_one, rows, cols, smith, boost);
}

}  // namespace images

void sp_find_pseudo(sparseptr sp, imptr pseudodet, bool* small_one, std::int32_t rows,
                    std::int32_t cols, std::int32_t* size, bool smith, bool boost) {
  images::PseudoSums sums(size);
  sparseptr frame = sp;
  for (std::int32_t r = 1; r <= rows && frame != nullptr; ++r) {
    const std::int32_t slot = (r - 1) % sparse_frame_rows;
    for (colm_ptr c = frame->indx[slot]; c != nullptr; c = c->next)
      if (!sparse_val_iszero(c->val)) sums.entry(c->val);
    sums.end_line();
    if (slot == sparse_frame_rows - 1) frame = frame->next;
  }
  sums.finish(pseudodet, small_one, rows, cols, smith, boost);
}

void find_pseudo(arrptr q, workptr beta, imptr pseudodet, bool* small_one, std::int32_t rows,
                 std::int32_t cols, std::int32_t* size, bool smith, bool boost) {
  if (q != nullptr && q->spar != nullptr) {
    sp_find_pseudo(q->spar, pseudodet, small_one, rows, cols, size, smith, boost);
    return;
  }
  images::find_pseudo_cells(images::cells_of(q, beta, rows * cols), pseudodet, small_one, rows,
                            cols, size, smith, boost);
}

}  // namespace tavrin
