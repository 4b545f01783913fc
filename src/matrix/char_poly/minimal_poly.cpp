// The minimal polynomial of a sparse square matrix by random projections.
// Modulo a prime p, the sequence a_i = <y, A^i x> (x a random start vector,
// y a sum of a few coordinate vectors) satisfies the minimal recurrence of
// A; the extended Euclidean algorithm on x^N and S = sum a_i x^(N-i),
// stopped once the remainder falls below degree n, yields it (N = 2n + 1).
// Over the integers the images modulo the word primes are combined in mixed
// radix with digits in [0, p), so each coefficient comes out in [0, M), M
// the primes' product; the image modulo a check prime tells which
// coefficients are really negative and are moved down by M.
//
// That answer divides the minimal polynomial but may be a proper divisor
// (coordinate projections miss what they never look at), so it is only the
// first step: minimal_poly_proof.cpp proves it or completes it. When every
// image has degree n, each is the characteristic polynomial modulo its
// prime, and with the coefficient bound below M the answer is proven as it
// stands.
//
// All of it runs on word residues (products of the sparse rows with the
// vector, the polynomial divisions); the user's matrix is only read.
#include "matrix/char_poly/minimal_poly.h"
#include "core/error_codes.h"
#include "core/target_clones.h"
#include "matrix/operand_keeper.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <utility>
#include <vector>

#include "core/errors.h"
#include "core/globals.h"
#include "core/interrupts.h"
#include "core/thresholds.h"
#include "core/trace_level.h"
#include "numbers/char2_field.h"
#include "numbers/freelists.h"
#include "numbers/garner.h"
#include "numbers/limb_array.h"
#include "numbers/limb_list.h"
#include "numbers/mixed_mode.h"
#include "numbers/node_handles.h"
#include "numbers/primes.h"
#include "numbers/word_mod.h"
#include "arrays/det_upcalls.h"
#include "arrays/sparse_store.h"
#include "matrix/char_poly/minimal_poly_impl.h"
#include "matrix/image_tasks.h"

namespace tavrin {

using namespace minpoly;

std::vector<std::uint32_t> xmills;
std::int32_t mills_mod = 0;

namespace {

constexpr std::int32_t start_vector_size = 32767;
// The last table position a combination may use.
constexpr std::int32_t last_mills_prime = 603;

std::uint32_t residue_of(imptr x, std::uint64_t p) {
  std::int64_t r = 0;
  const auto sp = static_cast<std::int64_t>(p);
  for (numptr l = x->head; l != nullptr; l = l->next) r = (r * limb_base + l->value) % sp;
  return static_cast<std::uint32_t>(r < 0 ? r + sp : r);
}

}  // namespace

ResidueRows minpoly::residues_mod(const IntegerRows& m, std::uint64_t p) {
  ResidueRows r;
  r.start.reserve(m.start.size());
  r.start.push_back(0);
  const auto sp = static_cast<std::int64_t>(p);
  for (std::size_t i = 0; i + 1 < m.start.size(); ++i) {
    for (std::int32_t k = m.start[i]; k < m.start[i + 1]; ++k) {
      const auto kk = static_cast<std::size_t>(k);
      std::uint32_t v = 0;
      if (m.big[kk] != nullptr) {
        v = residue_of(m.big[kk], p);
      } else {
        const std::int64_t s = m.small[kk] % sp;
        v = static_cast<std::uint32_t>(s < 0 ? s + sp : s);
      }
      if (v == 0) continue;
      r.col.push_back(m.col[kk]);
      r.val.push_back(v);
    }
    r.start.push_back(static_cast<std::int32_t>(r.col.size()));
  }
  return r;
}

namespace {

// The start vector for a modulus of `size` elements: drawn on first use,
// drawn again when its range has to change.
void ensure_start_vector(std::int64_t size) {
  const auto range = static_cast<std::int32_t>(std::min<std::int64_t>(size, 5));
  if (!xmills.empty() && !(size < mills_mod) && !(mills_mod < size && mills_mod < 5)) return;
  mills_mod = range;
  xmills.assign(start_vector_size, 0);
  for (auto& v : xmills) v = static_cast<std::uint32_t>(rand_integer2() % mills_mod);
}

// The first n entries of the start vector for a modulus of `size`
// elements. Every image of one answer works from this copy, so a nested
// command level that draws the vector again cannot mix two start vectors.
std::vector<std::uint32_t> start_vector(std::int64_t size, std::int32_t n) {
  ensure_start_vector(size);
  return {xmills.begin(), xmills.begin() + n};
}

// Terms past its degree that a generator of a prefix must have matched
// before the sequence stops early: enough that a chance match has
// probability about 2^-40 over a field of `size` elements (at least 8).
std::int32_t confirming_terms(std::int64_t size) {
  const double bits = std::log2(static_cast<double>(std::max<std::int64_t>(size, 2)));
  return std::max(8, static_cast<std::int32_t>(std::ceil(40.0 / bits)));
}

// The minimal polynomial, monic, of the projected sequence of the matrix m
// (n rows) modulo the field f, from the start vector x; y the projection
// coordinates, `slow` of them used. With `early` (the caller proves or
// completes the answer) the prefixes of 2k + 1 terms are tried for k =
// minpoly_first_terms, 2k, 4k, ... below n, and the sequence stops at the
// first whose generator has degree d with d + confirming_terms <= k: it then
// matches at least k + 1 + confirming_terms terms past its degree. The
// degree of a prefix's generator never exceeds that of the whole
// sequence's, which divides the minimal polynomial, so the proof's lower
// bound on the degree holds either way.
// What mod_Mills reads of the settings, taken on the calling thread: the
// progress level (verbose; it closes with a line end), the progress lines
// of a large matrix (loud) and the first prefix tried.
struct MillsSettings {
  bool verbose;
  bool loud;
  std::int32_t first_terms;
};
MillsSettings mills_settings(std::int32_t n) {
  return {verbose, verbose && n > 1000, minpoly_first_terms};
}

template <class F>
residues mod_Mills(const F& f, const std::vector<std::uint32_t>& x, const ResidueRows& m,
                   std::int32_t n, std::int32_t slow, const std::int32_t* y, bool early,
                   const MillsSettings& settings) {
  const bool loud = settings.loud;
  const std::int32_t N = 2 * n + 1;
  std::optional<TraceLevel> trace;
  if (settings.verbose) trace.emplace(n, loud);
  if (loud) dumpitt("Modular Minpoly. counting to ", N, true, true, true);
  // Progress lines count every step, so the loud run keeps the whole sequence.
  early = early && !loud;
  const std::int32_t confirm = confirming_terms(f.size());
  std::int32_t k = std::max(1, settings.first_terms);
  // The current and next iterate.
  std::vector<std::uint32_t> emills = x;
  std::vector<std::uint32_t> fmills(static_cast<std::size_t>(n), 0);
  // a[i - 1] = a_i.
  std::vector<std::uint32_t> a;
  a.reserve(static_cast<std::size_t>(N));
  // a_i projects A^(i-1)·x: the sequence starts at the start vector itself,
  // or a zero eigenvalue would lose one factor x.
  for (std::int32_t i = 1; i <= N; ++i) {
    std::uint32_t t = 0;
    for (std::int32_t j = 0; j < slow; ++j) t = f.add(t, emills[static_cast<std::size_t>(y[j])]);
    a.push_back(t);
    if (early && k < n && i == 2 * k + 1) {
      // s[j] = a_(i-j): the coefficient of x^j in the prefix's S.
      residues s(a.rbegin(), a.rend());
      residues g = sequence_generator(f, std::move(s), k, false, nullptr);
      if (deg(g) + confirm <= k) return g;
      k *= 2;
    }
    if (i == N) break;
    apply(f, m, emills, fmills);
    if (loud && i % 100 == 0) dumpitt(" ", i, false, false, true);
    std::swap(emills, fmills);
    check_interrupt();
  }
  if (loud) {
    std::printf("\n");
    dumpitt("second phase. counting to degree of Minpoly", -1, true, true, true);
  }
  // s[j] = a_(N-j): the coefficient of x^j in S.
  residues s(a.rbegin(), a.rend());
  return sequence_generator(f, std::move(s), n, loud,
                            [](std::int32_t i) { dumpitt(" ", i, false, false, true); });
}

// The projection coordinates (from 0): near a third, two thirds and the end
// of the rows, and two more below the first and the third for the slower
// settings.
void projection_coordinates(std::int32_t rows, std::int32_t* y) {
  y[0] = rows / 3 - 1 + rand_integer2() % 2;
  y[1] = 2 * rows / 3 - 1 + rand_integer2() % 2;
  y[2] = rows - 2 + rand_integer2() % 2;
  const std::int32_t d = rows > 30 ? rand_integer2() % 4 : 0;
  const std::int32_t d2 = rows > 30 ? rand_integer2() % 4 : 0;
  y[3] = y[0] - 2 - d;
  y[4] = y[2] - 2 - d2;
}

}  // namespace

TAVRIN_CLONES __attribute__((optimize("vect-cost-model=dynamic"))) void minpoly::add_shoup_multiple(
    std::uint32_t* __restrict t, const std::uint32_t* __restrict b, std::size_t n, std::uint32_t w,
    std::uint32_t p) {
  const std::uint32_t wq = shoup_quotient(w, p);
  for (std::size_t j = 0; j < n; ++j) t[j] = word_add(t[j], shoup_mul(b[j], w, wq, p), p);
}

namespace {

imptr word_number(std::uint32_t c) {
  imptr x = nullptr;
  newimag(&x);
  x->lint = static_cast<std::int32_t>(c);
  x->flote = 0.0L;
  return x;
}

// The answer from its coefficients (lowest degree first, zero ones nil,
// moved in): the polynomial in the top variable, a number value when
// constant.
quoly finish_1(const std::vector<imptr>& coef) {
  poly head = nullptr;
  poly* link = &head;
  for (std::size_t j = coef.size(); j-- > 0;) {
    if (coef[j] == nullptr) continue;
    poly leaf = nodes::new_leaf(coef[j]);
    *link = j == 0 ? leaf : nodes::new_term(static_cast<std::int32_t>(j), leaf);
    link = &(*link)->next;
  }
  if (head == nullptr) {
    imptr z = nullptr;
    newimag(&z);
    setvalue(0, z);
    return nodes::new_number_value(z);
  }
  if (nodes::is_bare_leaf(head)) {
    imptr n = head->ncoef;
    free_polynode_list(head, head);
    return nodes::new_number_value(n);
  }
  return nodes::new_ratfun_value(head, nullptr);
}

// Restores command_int on both exits.
class InterruptSetting {
 public:
  InterruptSetting() : saved_(command_int) { command_int = saved_ && danger_ok; }
  ~InterruptSetting() { command_int = saved_; }
  InterruptSetting(const InterruptSetting&) = delete;
  InterruptSetting& operator=(const InterruptSetting&) = delete;

 private:
  bool saved_;
};

// The number of the last table position whose primes' product covers the
// bound, or 0 when the table is too short.
std::int32_t last_position_for(quoly bound) {
  need_data_file(data_file::pprods);
  const std::int32_t L = bound->ncoef->size;
  const std::int32_t lead = bound->ncoef->head->value;
  std::int32_t count = std::max(6, L * 7 / 4 + 4);
  if (count > last_mills_prime) return 0;
  while (num_prod[count - 6].size < L)
    if (++count > last_mills_prime) return 0;
  while (num_prod[count - 6].size == L && num_prod[count - 6].head->value < lead)
    if (++count > last_mills_prime) return 0;
  return count;
}

struct MillsRun {
  const IntegerRows* m;
  std::int32_t rows;
  std::int32_t slow;
  std::int32_t y[5];
  std::vector<std::uint32_t> x;  // the start vector
};

// One image modulo the prime p; reads no global.
residues mills_image(const MillsRun& run, std::uint64_t p, const MillsSettings& settings) {
  const ResidueRows r = residues_mod(*run.m, p);
  return mod_Mills(PrimeField(p), run.x, r, run.rows, run.slow, run.y, true, settings);
}

// One image modulo the prime at table position k (or the check prime, k 0).
residues do_mod_Mills(const MillsRun& run, std::int32_t k) {
  const std::uint64_t p = k == 0 ? mills_check_prime : static_cast<std::uint64_t>(prime[k]->lint);
  return mills_image(run, p, mills_settings(run.rows));
}

// ---- Several images in one pass ----------------------------------------------------------
// Images modulo image_lanes table primes side by side: the iterates of all
// of them in one n x image_lanes array, so one pass over the integer
// entries serves every prime. Each lane's sequence and generator are those
// of mod_Mills modulo its prime, so the images are the same.

constexpr std::size_t image_lanes = 4;

// The lanes add the products of a row in 64 bits before one remainder: the
// entries one-limb, each row's sum of magnitudes below 2^34 (residues of the
// table primes lie below 2^28).
bool lanes_fit(const IntegerRows& m) {
  for (std::size_t r = 0; r + 1 < m.start.size(); ++r) {
    std::int64_t sum = 0;
    for (std::int32_t k = m.start[r]; k < m.start[r + 1]; ++k) {
      const auto kk = static_cast<std::size_t>(k);
      if (m.big[kk] != nullptr) return false;
      sum += m.small[kk] < 0 ? -m.small[kk] : m.small[kk];
      if (sum >= (std::int64_t{1} << 34)) return false;
    }
  }
  return true;
}

// next := A e modulo each lane's prime (e, next: n x image_lanes, row by row).
TAVRIN_CLONES __attribute__((optimize("vect-cost-model=dynamic"))) void lanes_step(
    const std::int32_t* __restrict start, const std::int32_t* __restrict col,
    const std::int64_t* __restrict val, std::int32_t n, const std::uint32_t* __restrict e,
    const PrimeField* fields, std::uint32_t* __restrict next) {
  constexpr std::size_t L = image_lanes;
  for (std::int32_t r = 0; r < n; ++r) {
    std::int64_t acc[L] = {};
    for (std::int32_t k = start[r]; k < start[r + 1]; ++k) {
      const std::int64_t v = val[k];
      const std::uint32_t* w = e + static_cast<std::size_t>(col[k]) * L;
      for (std::size_t j = 0; j < L; ++j) acc[j] += v * static_cast<std::int64_t>(w[j]);
    }
    for (std::size_t j = 0; j < L; ++j) {
      const auto p = static_cast<std::int64_t>(fields[j].p);
      const std::int64_t t = acc[j] % p;
      next[static_cast<std::size_t>(r) * L + j] = static_cast<std::uint32_t>(t < 0 ? t + p : t);
    }
  }
}

// The images modulo the primes at positions pos .. pos + image_lanes - 1,
// as do_mod_Mills gives them one by one.
std::vector<residues> lane_images(const MillsRun& run, std::int32_t pos) {
  constexpr std::size_t L = image_lanes;
  const std::int32_t n = run.rows, N = 2 * n + 1;
  const auto un = static_cast<std::size_t>(n);
  std::vector<PrimeField> fields;
  std::vector<std::int32_t> confirm;
  for (std::size_t j = 0; j < L; ++j) {
    fields.emplace_back(
        static_cast<std::uint64_t>(prime[pos + static_cast<std::int32_t>(j)]->lint));
    confirm.push_back(confirming_terms(fields.back().size()));
  }
  std::vector<std::uint32_t> e(un * L), next(un * L);
  for (std::size_t r = 0; r < un; ++r)
    for (std::size_t j = 0; j < L; ++j) e[r * L + j] = run.x[r];
  std::vector<residues> a(L), out(L);
  std::vector<bool> done(L, false);
  std::size_t left = L;
  std::int32_t k = std::max(1, minpoly_first_terms);
  for (std::int32_t i = 1; i <= N; ++i) {
    for (std::size_t j = 0; j < L; ++j) {
      std::uint32_t t = 0;
      for (std::int32_t c = 0; c < run.slow; ++c)
        t = fields[j].add(t, e[static_cast<std::size_t>(run.y[c]) * L + j]);
      a[j].push_back(t);
    }
    if (k < n && i == 2 * k + 1) {
      for (std::size_t j = 0; j < L; ++j) {
        if (done[j]) continue;
        residues g =
            sequence_generator(fields[j], residues(a[j].rbegin(), a[j].rend()), k, false, nullptr);
        if (deg(g) + confirm[j] > k) continue;
        out[j] = std::move(g);
        done[j] = true;
        --left;
      }
      if (left == 0) return out;
      k *= 2;
    }
    if (i == N) break;
    lanes_step(run.m->start.data(), run.m->col.data(), run.m->small.data(), n, e.data(),
               fields.data(), next.data());
    std::swap(e, next);
    check_interrupt();
  }
  for (std::size_t j = 0; j < L; ++j)
    if (!done[j])
      out[j] =
          sequence_generator(fields[j], residues(a[j].rbegin(), a[j].rend()), n, false, nullptr);
  return out;
}

// The candidate from images below the side, the first `first` (modulo the
// prime at position 6): the images at positions 6, 7, ... of the greatest
// degree so far are joined until one more leaves the value unchanged in the
// symmetric range, or the positions up to count are used. The proof decides
// whether it is the minimal polynomial, so the primes follow the size of the
// answer rather than the coefficient bound of the characteristic polynomial.
IntegerPoly joined_until_stable(const MillsRun& run, std::int32_t count, residues first,
                                ImageEvidence* evidence) {
  std::vector<std::pair<std::uint32_t, residues>> images;
  images.emplace_back(static_cast<std::uint32_t>(prime[6]->lint), std::move(first));
  std::int32_t d = deg(images.back().second);
  Remainders crt(d);
  crt.join(images.back().first, images.back().second);
  // Images worked out ahead by the lanes, the next one last. The loud run
  // of a large matrix keeps the one-prime images for their progress lines.
  const bool lanes = minpoly_image_lanes && !(verbose && run.rows > 1000) && lanes_fit(*run.m);
  std::vector<residues> ahead;
  for (std::int32_t pos = 7; pos <= count; ++pos) {
    if (verbose && (run.rows < 200 || pos % 5 == 1)) dumpitt(" ", pos - 5, false, false, true);
    const auto q = static_cast<std::uint32_t>(prime[pos]->lint);
    if (lanes && ahead.empty() && pos + static_cast<std::int32_t>(image_lanes) - 1 <= count) {
      ahead = lane_images(run, pos);
      std::reverse(ahead.begin(), ahead.end());
    }
    if (ahead.empty()) {
      images.emplace_back(q, do_mod_Mills(run, pos));
    } else {
      images.emplace_back(q, std::move(ahead.back()));
      ahead.pop_back();
    }
    const residues& g = images.back().second;
    if (deg(g) > d) {
      d = deg(g);
      crt = Remainders(d);
      for (const auto& [p, h] : images)
        if (deg(h) == d) crt.join(p, h);
    } else if (deg(g) == d && !crt.join(q, g)) {
      break;
    }
  }
  evidence->lower_degree = d;
  evidence->start_spans = d == run.rows;
  evidence->x = run.x;
  return crt.symmetric();
}

// The integer minimal polynomial from the images modulo the primes at
// positions 6 .. count and the check prime; *evidence := the greatest degree
// of an image and whether one from the start vector had degree n, *full :=
// every image had degree n.
IntegerPoly integer_coefficients(const MillsRun& run, std::int32_t count, ImageEvidence* evidence,
                                 bool* full) {
  const std::int32_t np = count - 5;
  TraceLevel trace(np, verbose);
  if (verbose) dumpitt("Number of primes needed is ", np, true, true, true);
  // Garner's digits, digit t of coefficient c at digits[t * width + c] (an
  // image has at most rows + 1 coefficients); len: the longest image.
  Garner garner;
  const auto width = static_cast<std::size_t>(run.rows) + 1;
  std::vector<std::uint32_t> digits(static_cast<std::size_t>(np) * width);
  std::size_t len = 0;
  std::int32_t least = run.rows, most = -1;
  auto note = [&](const residues& img) {
    least = std::min(least, deg(img));
    most = std::max(most, deg(img));
  };
  // The first image decides the route; the others and the check prime's
  // are a task each (a verbose run keeps them in turn for its progress
  // lines), consumed in the order of the primes.
  const MillsSettings settings = mills_settings(run.rows);
  std::vector<std::uint64_t> primes(static_cast<std::size_t>(np) + 1, mills_check_prime);
  for (std::int32_t t = 0; t < np; ++t)
    primes[static_cast<std::size_t>(t)] = static_cast<std::uint64_t>(prime[6 + t]->lint);
  std::vector<residues> images(primes.size());
  const auto image = [&](std::size_t t) { images[t] = mills_image(run, primes[t], settings); };
  for (std::int32_t t = 0; t < np; ++t) {
    const std::int32_t pos = 6 + t;
    const auto at = static_cast<std::size_t>(t);
    garner.add_prime(static_cast<std::uint32_t>(primes[at]));
    if (verbose && (t == 0 || run.rows < 200 || pos % 5 == 1))
      dumpitt(" ", t + 1, false, false, true);
    if (t == 0 || settings.verbose) image(at);
    if (t == 0 && deg(images[0]) < run.rows && run.rows >= minpoly_stable_side) {
      *full = false;
      return joined_until_stable(run, count, std::move(images[0]), evidence);
    }
    if (t == 0 && !settings.verbose) {
      const double steps = static_cast<double>(run.m->col.size()) * 2 * run.rows;
      run_images(primes.size() - 1, steps, [&](std::size_t k) {
        check_interrupt();
        image(k + 1);
      });
    }
    residues& img = images[at];
    note(img);
    len = std::max(len, img.size());
    img.resize(width, 0);
    garner.digits_of(at, img.data(), digits.data(), width, width, &digits[at * width]);
    img = {};
  }
  if (settings.verbose) image(primes.size() - 1);
  const residues& check = images.back();
  note(check);
  evidence->lower_degree = most;
  evidence->start_spans = most == run.rows;
  evidence->x = run.x;
  *full = least == run.rows;
  IntegerPoly coef;
  coef.coef.resize(std::max(len, check.size()));
  for (std::size_t c = 0; c < coef.coef.size(); ++c) {
    // The value in [0, M), or the one in (-M, 0) that the check prime shows.
    ZInt a = c < width ? garner.value(&digits[c], width) : ZInt();
    const std::uint32_t want = c < check.size() ? check[c] : 0;
    if (a.mod_word(mills_check_prime) != want) a -= garner.modulus();
    coef.coef[c] = std::move(a);
  }
  while (!coef.coef.empty() && coef.coef.back().is_zero()) coef.coef.pop_back();
  return coef;
}

// The coefficients are those of the characteristic polynomial modulo every
// prime, and the coefficient bound lies below M: nothing is left to prove.
bool proven_by_degree(const IntegerRows& m, std::int32_t rows, std::int32_t count) {
  const number& M = num_prod[count - 6];
  const double log2_m = std::log2(static_cast<double>(M.head->value)) + limb_bits * (M.size - 1.0);
  return log2_coefficient_bound(m, rows) + 0.5 < log2_m;
}

}  // namespace

void Mills(arrptr q, std::int32_t rows, std::int32_t slow, quolyptr bound, quolyptr n,
           bool* succeed) {
  if (q->spar == nullptr || !is_product_of(&q->sizearr, rows, rows))
    abandon(minimal_polynomial_needs_sparse_square_matrix_error, &token);
  if (rows < 8) abandon(matrix_too_small_least_8_rows_error, &token);
  if (rows > start_vector_size)
    abandon(too_many_rows_more_than_32767_error, &token);  // the start vector's length
  if (lintmode && !modularmode)
    abandon(not_available_word_arithmetic_outside_modular_error, &token);
  const SettledIntegers images(q);
  // Floating entries have no residues.
  if (flotemode) abandon(entry_not_number_254_error, &token);
  IntegerRows m;
  ResidueRows mod_rows;
  m.start.push_back(0);
  mod_rows.start.push_back(0);
  for (std::int32_t r = 1; r <= rows; ++r) {
    for (colm_ptr e = *sparse_row(q->spar, r); e != nullptr; e = e->next) {
      if (e->val == nullptr || !e->val->numb) abandon(entry_not_number_254_error, &token);
      imptr v = e->val->ncoef;
      if (modularmode) {
        if (v->lint == 0) continue;
        mod_rows.col.push_back(e->coord - 1);
        mod_rows.val.push_back(static_cast<std::uint32_t>(v->lint));
      } else {
        m.col.push_back(e->coord - 1);
        const bool one_limb = v->size == 1;
        m.small.push_back(one_limb ? v->head->value : 0);
        m.big.push_back(one_limb ? nullptr : v);
      }
    }
    m.start.push_back(static_cast<std::int32_t>(m.col.size()));
    mod_rows.start.push_back(static_cast<std::int32_t>(mod_rows.col.size()));
  }
  InterruptSetting interrupts;
  MillsRun run{&m, rows, slow + 2, {}, {}};
  if (rows < 12) {
    run.slow = std::min(run.slow, 3);
  } else if (rows < 15) {
    run.slow = std::min(run.slow, 4);
  }
  run.slow = std::min(run.slow, 5);
  projection_coordinates(rows, run.y);

  std::vector<imptr> coef;
  if (modularmode) {
    residues r;
    run.x = start_vector(modulus, rows);
    if (finf) {
      const minpoly::Char2Field f{modulus};
      r = complete_in_field(
          f, mod_rows, rows,
          mod_Mills(f, run.x, mod_rows, rows, run.slow, run.y, true, mills_settings(rows)), run.x);
    } else {
      const PrimeField f(static_cast<std::uint64_t>(modulus));
      // Only a field has a minimal polynomial to complete the answer to; modulo
      // a composite number the answer is the whole sequence's generator.
      r = mod_Mills(f, run.x, mod_rows, rows, run.slow, run.y, mod_is_prime, mills_settings(rows));
      if (mod_is_prime) r = complete_in_field(f, mod_rows, rows, std::move(r), run.x);
    }
    coef.assign(r.size(), nullptr);
    for (std::size_t c = 0; c < r.size(); ++c)
      if (r[c] != 0) coef[c] = word_number(r[c]);
  } else {
    if (*bound == nullptr || !(*bound)->numb) abandon(entry_not_number_254_error, &token);
    const std::int32_t count = last_position_for(*bound);
    if (count == 0) {
      *succeed = false;
      return;
    }
    run.x = start_vector(prime[6]->lint, rows);  // every prime lies above 5
    ImageEvidence evidence;
    bool full = false;
    IntegerPoly p = integer_coefficients(run, count, &evidence, &full);
    if (!full || !proven_by_degree(m, rows, count))
      p = prove_over_integers(m, rows, std::move(p), evidence);
    coef.assign(p.coef.size(), nullptr);
    for (std::size_t c = 0; c < p.coef.size(); ++c)
      if (!p.coef[c].is_zero()) coef[c] = p.coef[c].to_number();
  }
  free_quoly(n);
  *n = finish_1(coef);
  *succeed = true;
}

}  // namespace tavrin
