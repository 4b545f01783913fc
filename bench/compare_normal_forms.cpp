// The integer Hermite and Smith forms beside PARI (mathnf, matsnf) and
// FLINT (fmpz_mat_hnf, fmpz_mat_hnf_transform, fmpz_mat_snf) on a sweep of
// random matrices: sides 5 to 60, dense and sparse, entries up to 10^4,
// square, singular, tall and wide. Each matrix is put through Hermite and
// Smith with and without the transforms and through MSmith (sparse: its
// own pseudo-determinant; dense: 2 |det| or that of a sparse copy, given),
// all as the built-ins call the drivers. Processor time of the operation
// alone (Tavrin's input matrices made and its results freed outside the
// clock, as the peers' are), alternating runs;
// the ratio is Tavrin over the fastest peer that has the operation (MSmith
// against the peers' Smith forms). Every Smith diagonal is checked against
// PARI's invariants and every rank against PARI's, modulo two word primes.
//
// compare_normal_forms [count [seed [first [route [op [seconds]]]]]]: count
// matrices (200) from seed (71), starting at case first (0); route "euclid"
// or "bounded" forces one route of the drivers ("" or "auto": their own
// choice); op: only that operation ("" all); seconds: Tavrin alone, run for
// that much processor time (for a profiler).
//
// Tavrin's Hermite+T gives P, P^-1, U and U^-1, the peers' U alone (PARI's
// mathnf(x, 1), FLINT's fmpz_mat_hnf_transform): a second ratio, after the
// first on the Hermite+T lines and in its own summary line, is against the
// fastest peer's U followed by its inverse (ZM_inv, fmpz_mat_inv).
// Hermite+U gives P and U, as Hermite([w], [p], [u]) does: against the
// peers' U alike.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "core/thresholds.h"
#include "numbers/bigint.h"
#include "numbers/freelists.h"
#include "toplevel/start_tables.h"
#include "toplevel/state.h"
#include "arrays/array_store.h"
#include "arrays/sparse_store.h"
#include "matrix/normal_forms.h"
#include "matrix/zmatrix.h"
#include "matlang/matrix_builtins.h"
#include "frontend/data_files.h"
#include "frontend/startup.h"
#include "peers.h"

#ifdef TAVRIN_PEER_FLINT
#include <flint/fmpz.h>
#include <flint/fmpz_mat.h>
#endif
#ifdef TAVRIN_PEER_PARI
#include <pari/pari.h>
#endif

using namespace tavrin;

namespace {

struct Case {
  std::int32_t rows, cols;
  bool sparse;          // stored sparse
  const char* kind;     // square, singular, tall, wide, thin (few entries, stored dense)
  std::vector<long> a;  // row by row
  long at(std::int32_t r, std::int32_t c) const {
    return a[static_cast<std::size_t>(r) * cols + c];
  }
};

Case make_case(std::mt19937_64& rng, int k) {
  Case m;
  const int shape = k % 4;  // square, singular, tall, wide
  const bool sparse = (k / 4) % 2 == 1;
  const bool thin = !sparse && (k / 8) % 3 == 2;  // dense store, few entries
  const std::int32_t side = 5 + static_cast<std::int32_t>(rng() % 56);
  const std::int32_t other =
      std::max<std::int32_t>(1, side - 1 - static_cast<std::int32_t>(rng() % (side / 2 + 1)));
  m.rows = shape == 3 ? other : side;
  m.cols = shape == 2 ? other : side;
  m.sparse = sparse;
  m.kind = shape == 0 ? "square" : shape == 1 ? "singular" : shape == 2 ? "tall" : "wide";
  if (thin)
    m.kind = shape == 0   ? "thin-sq"
             : shape == 1 ? "thin-sing"
             : shape == 2 ? "thin-tall"
                          : "thin-wide";
  static const long bounds[] = {9, 99, 999, 9999};
  const long bound = bounds[rng() % 4];
  m.a.assign(static_cast<std::size_t>(m.rows) * m.cols, 0);
  auto entry = [&] {
    long v = 0;
    while (v == 0) v = static_cast<long>(rng() % static_cast<std::uint64_t>(2 * bound + 1)) - bound;
    return v;
  };
  if (sparse || thin) {
    const std::int64_t per_row = 1 + static_cast<std::int64_t>(rng() % 4);
    for (std::int64_t t = 0; t < per_row * m.rows; ++t) m.a[rng() % m.a.size()] = entry();
  } else {
    for (long& x : m.a) x = rng() % 8 == 0 ? 0 : entry();
  }
  if (shape == 1 && m.rows >= 3) {  // a row that is a combination of two others
    const std::int32_t t = m.rows / 2;
    for (std::int32_t c = 0; c < m.cols; ++c)
      m.a[static_cast<std::size_t>(t) * m.cols + c] = 2 * m.at(0, c) - m.at(m.rows - 1, c);
  }
  return m;
}

// ---- Tavrin's side ----------------------------------------------------------------------------

// The matrix as a named array (dense on pages of its own from page
// first_page on, or sparse).
struct NamedArray {
  std::vector<std::unique_ptr<storerec>> pages;
  std::vector<storeptr> saved;
  arrnode q{};
  std::int32_t rows, cols, first;
  explicit NamedArray(const Case& m, std::int32_t first_page = 0)
      : rows(m.rows), cols(m.cols), first(first_page) {
    q.rows = rows;
    set_entry_count(&q.sizearr, std::int64_t{rows} * cols);
    if (m.sparse) {
      q.start = 0;
      q.stop = -1;
      sparse_init(&q.spar, rows);
      for (std::int32_t r = 0; r < rows; ++r) {
        colm_ptrptr link = sparse_row(q.spar, r + 1);
        for (std::int32_t c = 0; c < cols; ++c) {
          if (m.at(r, c) == 0) continue;
          colm_ptr e = nullptr;
          newcolm(&e);
          e->coord = c + 1;
          e->next = nullptr;
          e->val = nullptr;
          quoly_set(static_cast<std::int32_t>(m.at(r, c)), &e->val);
          *link = e;
          link = &e->next;
        }
      }
      return;
    }
    for (std::int32_t p = 0; p * page_cells < rows * cols; ++p) {
      pages.push_back(std::make_unique<storerec>());
      saved.push_back(arp[first + p]);
      arp[first + p] = pages.back().get();
    }
    q.start = first * page_cells;
    q.stop = q.start + rows * cols - 1;
    for (std::int32_t c = 0; c < cols; ++c)
      for (std::int32_t r = 0; r < rows; ++r) {
        quoly v = nullptr;
        quoly_set(static_cast<std::int32_t>(m.at(r, c)), &v);
        *arp_cell(q.start + r + c * rows) = v;
      }
  }
  ~NamedArray() {
    if (q.spar != nullptr) {
      free_sparse(&q.spar, rows, true);
    } else {
      for (std::int32_t k = 0; k < rows * cols; ++k) free_quoly(arp_cell(q.start + k));
      for (std::size_t p = 0; p < pages.size(); ++p)
        arp[first + static_cast<std::int32_t>(p)] = saved[p];
    }
    special_free(&q.sizearr);
  }
  NamedArray(const NamedArray&) = delete;
  NamedArray& operator=(const NamedArray&) = delete;
  // Entry (r, c) from 0, or nil for an absent sparse one.
  imptr at(std::int32_t r, std::int32_t c) const {
    if (q.spar == nullptr) return (*arp_cell(q.start + r + c * rows))->ncoef;
    for (colm_ptr e = *sparse_row(q.spar, r + 1); e != nullptr; e = e->next)
      if (e->coord == c + 1) return e->val->ncoef;
    return nullptr;
  }
};

// Four work arrays made once, as the built-ins take them from a pool.
workptr pooled_work(int i) {
  static std::unique_ptr<workarray> pool[4];
  if (pool[i] == nullptr) pool[i] = std::make_unique<workarray>();
  return pool[i].get();
}

// The transforms of one call, given back afterwards.
struct Outputs {
  std::int32_t rows, cols;
  bool sparse;
  workptr w[4] = {nullptr, nullptr, nullptr, nullptr};
  sparseptr aux[4] = {nullptr, nullptr, nullptr, nullptr};
  Outputs(std::int32_t r, std::int32_t c, bool sp, bool wanted) : rows(r), cols(c), sparse(sp) {
    if (!wanted || sp) return;
    for (int i = 0; i < 4; ++i) w[i] = pooled_work(i);
  }
  ~Outputs() {
    for (int i = 0; i < 4; ++i) {
      const std::int32_t s = i % 2 == 0 ? rows : cols;
      if (aux[i] != nullptr) free_sparse(&aux[i], s, true);
      if (w[i] != nullptr)
        for (std::int32_t k = 0; k < s * s; ++k) free_quoly(&w[i]->stash[k]);
    }
  }
};

enum Op { hermite, hermite_t, hermite_u, smith, smith_t, msmith, ops };
const char* const op_name[ops] = {"Hermite", "Hermite+T", "Hermite+U",
                                  "Smith",   "Smith+T",   "MSmith"};

bool with_transforms(Op op) { return op == hermite_t || op == hermite_u || op == smith_t; }

// The pseudo-determinant given to a dense MSmith: that of a sparse copy.
imptr dense_pseudodet(const Case& m) {
  Case s = m;
  s.sparse = true;
  NamedArray a(s);
  quoly pd = nullptr;
  quoly_set(0, &pd);
  new_pseudo(&pd, &a.q);
  imptr x = nullptr;
  newimag(&x);
  x->size = 0;
  num_assign(pd->ncoef, x);
  free_quoly(&pd);
  return x;
}

struct TavrinResult {
  std::int32_t rank = 0;
  std::vector<ZInt> diag;  // the Smith diagonal (the Hermite pivots)
};

// The engine call of op on a (as the built-ins make it), its rank into *n;
// the transforms into out.
void call_engine(const Case& m, Op op, imptr dense_pd, NamedArray& a, Outputs& out, quoly* n) {
  const bool t = with_transforms(op), inverses = t && op != hermite_u;
  const bool want[6] = {t, t, inverses, inverses, false, false};
  const workptr* w = out.w;
  switch (op) {
    case hermite:
    case hermite_t:
    case hermite_u:
      intcolred(n, &a.q, want, w[0], w[1], w[2], w[3], out.aux, false, nullptr);
      break;
    case smith:
    case smith_t:
      intnormal(n, &a.q, want, w[0], w[1], w[2], w[3], false, nullptr, out.aux, 83);
      break;
    default: {
      quoly pd = nullptr;
      quoly_set(0, &pd);
      if (m.sparse) {
        new_pseudo(&pd, &a.q);
      } else {
        num_assign(dense_pd, pd->ncoef);
      }
      intnormal(n, &a.q, want, w[0], w[1], w[2], w[3], true, pd->ncoef, out.aux, 42);
      free_quoly(&pd);
    }
  }
}

TavrinResult run_tavrin(const Case& m, Op op, imptr dense_pd) {
  NamedArray a(m);
  const bool t = with_transforms(op);
  Outputs out(m.rows, m.cols, m.sparse, t);
  quoly n = nullptr;
  quoly_set(0, &n);
  call_engine(m, op, dense_pd, a, out, &n);
  TavrinResult r;
  r.rank = static_cast<std::int32_t>(ZInt::from_number(n->ncoef).to_int64());
  free_quoly(&n);
  for (std::int32_t i = 0; i < std::min(m.rows, m.cols); ++i) {
    imptr x = a.at(i, i);
    r.diag.push_back(x == nullptr ? ZInt(0) : ZInt::from_number(x));
  }
  return r;
}

// Seconds one engine call takes, as the peers are timed: the input
// matrices of a batch are made before the clock starts and the results
// freed after it stops. Each call's transforms are freed inside the clock,
// as the old ones are when the built-in is called again, so that the pools
// are reused as in a session. Batches of about 20 ms (at most 100 calls and
// 40,000 input entries), the fastest of three (one when slow).
double engine_seconds(const Case& m, Op op, imptr dense_pd, double one_run) {
  const bool t = with_transforms(op);
  const int most = std::clamp(40000 / (m.rows * m.cols), 1, 100);
  const int calls = std::clamp(static_cast<int>(0.02 / std::max(one_run, 1e-7)), 1, most);
  double best = 1e30;
  for (int batch = 0; batch < 3; ++batch) {
    std::vector<std::unique_ptr<NamedArray>> in;
    const std::int32_t pages = (m.rows * m.cols + page_cells - 1) / page_cells;
    for (int c = 0; c < calls; ++c) in.push_back(std::make_unique<NamedArray>(m, c * pages));
    quoly n = nullptr;
    quoly_set(0, &n);
    const double t0 = bench::cpu_seconds();
    for (int c = 0; c < calls; ++c) {
      Outputs out(m.rows, m.cols, m.sparse, t);
      call_engine(m, op, dense_pd, *in[static_cast<std::size_t>(c)], out, &n);
    }
    const double seconds = bench::cpu_seconds() - t0;
    free_quoly(&n);
    best = std::min(best, seconds / calls);
    if (seconds > 1.0) break;
  }
  return best;
}

// ---- The peers --------------------------------------------------------------------------------

#ifdef TAVRIN_PEER_FLINT
struct FlintMatrix {
  fmpz_mat_t a, at, h, u;  // at: the transpose, for FLINT's row-style Hermite form
  explicit FlintMatrix(const Case& m) {
    fmpz_mat_init(a, m.rows, m.cols);
    fmpz_mat_init(at, m.cols, m.rows);
    fmpz_mat_init(h, m.rows, m.cols);
    fmpz_mat_init(u, m.cols, m.cols);
    for (std::int32_t r = 0; r < m.rows; ++r)
      for (std::int32_t c = 0; c < m.cols; ++c) {
        fmpz_set_si(fmpz_mat_entry(a, r, c), m.at(r, c));
        fmpz_set_si(fmpz_mat_entry(at, c, r), m.at(r, c));
      }
  }
  ~FlintMatrix() {
    fmpz_mat_clear(a);
    fmpz_mat_clear(at);
    fmpz_mat_clear(h);
    fmpz_mat_clear(u);
  }
  FlintMatrix(const FlintMatrix&) = delete;
  FlintMatrix& operator=(const FlintMatrix&) = delete;
};

// FLINT's operation for op, or nothing when FLINT has none.
std::function<void()> flint_op(FlintMatrix& f, Op op) {
  switch (op) {
    case hermite:
      return [&f] {
        fmpz_mat_t h;
        fmpz_mat_init(h, fmpz_mat_nrows(f.at), fmpz_mat_ncols(f.at));
        fmpz_mat_hnf(h, f.at);
        fmpz_mat_clear(h);
      };
    case hermite_t:
    case hermite_u:
      return [&f] {
        fmpz_mat_t h, u;
        fmpz_mat_init(h, fmpz_mat_nrows(f.at), fmpz_mat_ncols(f.at));
        fmpz_mat_init(u, fmpz_mat_nrows(f.at), fmpz_mat_nrows(f.at));
        fmpz_mat_hnf_transform(h, u, f.at);
        fmpz_mat_clear(h);
        fmpz_mat_clear(u);
      };
    case smith:
    case msmith:
      return [&f] {
        fmpz_mat_t s;
        fmpz_mat_init(s, fmpz_mat_nrows(f.a), fmpz_mat_ncols(f.a));
        fmpz_mat_snf(s, f.a);
        fmpz_mat_clear(s);
      };
    default: return {};
  }
}

// FLINT's transform of the Hermite form and its inverse.
std::function<void()> flint_u_and_inverse(FlintMatrix& f) {
  return [&f] {
    const slong n = fmpz_mat_nrows(f.at);
    fmpz_mat_t h, u, v;
    fmpz_t den;
    fmpz_mat_init(h, n, fmpz_mat_ncols(f.at));
    fmpz_mat_init(u, n, n);
    fmpz_mat_init(v, n, n);
    fmpz_init(den);
    fmpz_mat_hnf_transform(h, u, f.at);
    fmpz_mat_inv(v, den, u);
    fmpz_clear(den);
    fmpz_mat_clear(h);
    fmpz_mat_clear(u);
    fmpz_mat_clear(v);
  };
}
#endif

#ifdef TAVRIN_PEER_PARI
GEN pari_matrix(const Case& m) {
  GEN x = cgetg(m.cols + 1, t_MAT);
  for (std::int32_t c = 0; c < m.cols; ++c) {
    GEN col = cgetg(m.rows + 1, t_COL);
    for (std::int32_t r = 0; r < m.rows; ++r) gel(col, r + 1) = stoi(m.at(r, c));
    gel(x, c + 1) = col;
  }
  return x;
}

std::function<void()> pari_op(GEN x, Op op) {
  switch (op) {
    case hermite:
    case hermite_t:
    case hermite_u:
      return [x, op] {
        const pari_sp av = avma;
        mathnf0(x, op == hermite ? 0 : 1);
        set_avma(av);
      };
    default:
      return [x, op] {
        const pari_sp av = avma;
        matsnf0(x, op == smith_t ? 1 : 0);
        set_avma(av);
      };
  }
}

// PARI's transform of the Hermite form and its inverse.
std::function<void()> pari_u_and_inverse(GEN x) {
  return [x] {
    const pari_sp av = avma;
    GEN hu = mathnf0(x, 1);
    GEN den = nullptr;
    ZM_inv(gel(hu, 2), &den);
    set_avma(av);
  };
}

// PARI's invariants of x, non-zero ones ascending, and its rank.
void pari_invariants(GEN x, std::vector<std::uint32_t> (&mods)[2], std::int32_t* rank) {
  static const std::uint32_t primes[2] = {2147483647u, 1000000007u};
  const pari_sp av = avma;
  GEN d = matsnf0(x, 0);
  std::vector<GEN> nz;
  for (long i = 1; i < lg(d); ++i)
    if (signe(gel(d, i)) != 0) nz.push_back(gel(d, i));
  std::sort(nz.begin(), nz.end(), [](GEN a, GEN b) { return cmpii(a, b) < 0; });
  *rank = static_cast<std::int32_t>(nz.size());
  for (int k = 0; k < 2; ++k) {
    mods[k].clear();
    for (GEN g : nz) mods[k].push_back(static_cast<std::uint32_t>(umodiu(g, primes[k])));
  }
  set_avma(av);
}
#endif

// Seconds a run of f takes: runs repeated until 20 ms have passed (at most
// 100), the fastest of three such batches (one batch when slow).
[[maybe_unused]] double seconds_of(const std::function<void()>& f) {
  double best = 1e30;
  for (int batch = 0; batch < 3; ++batch) {
    int runs = 0;
    const double t0 = bench::cpu_seconds();
    double t = 0;
    do {
      f();
      ++runs;
      t = bench::cpu_seconds() - t0;
    } while (t < 0.02 && runs < 100);
    best = std::min(best, t / runs);
    if (t > 1.0) break;
  }
  return best;
}

}  // namespace

int main(int argc, char** argv) {
  const int count = argc > 1 ? std::atoi(argv[1]) : 200;
  const std::uint64_t seed = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 71;
  const int first = argc > 3 ? std::atoi(argv[3]) : 0;
  const std::string route = argc > 4 ? argv[4] : "";
  const std::string only = argc > 5 ? argv[5] : "";
  const double seconds = argc > 6 ? std::atof(argv[6]) : 0.0;
  if (route == "euclid") {
    normal_form_direct_side = INT32_MAX;
    normal_form_direct_bits = INT32_MAX;
    normal_form_cells = 0;
  } else if (route == "bounded") {
    normal_form_direct_side = 0;
  }
  open_pools();
  initialize(TAVRIN_BENCH_DATA_DIR);
  allocate_work_areas();
#ifdef TAVRIN_PEER_PARI
  pari_init_opts(std::size_t{1} << 28, 0, INIT_DFTm);
  paristack_setsize(std::size_t{1} << 28, std::size_t{1} << 33);
#endif
  std::mt19937_64 rng(seed);
  std::vector<double> ratios[ops], all, same_outputs;
  int wrong = 0;
  std::printf("%4s %-10s %3s %7s %-10s %11s %11s %11s %7s\n", "case", "kind", "sp", "size", "op",
              "Tavrin ms", "FLINT ms", "PARI ms", "ratio");
  for (int k = 0; k < first + count; ++k) {
    const Case m = make_case(rng, k);
    if (k < first) continue;
    std::vector<std::uint32_t> mods[2];
    std::int32_t pari_rank = -1;
#ifdef TAVRIN_PEER_FLINT
    FlintMatrix fm(m);
#endif
#ifdef TAVRIN_PEER_PARI
    const pari_sp av = avma;
    GEN px = gclone(pari_matrix(m));
    pari_invariants(px, mods, &pari_rank);
#endif
    imptr dense_pd = m.sparse ? nullptr : dense_pseudodet(m);
    for (int o = 0; o < ops; ++o) {
      const Op op = static_cast<Op>(o);
      if (!only.empty() && only != op_name[o]) continue;
      if (seconds > 0) {
        int runs = 0;
        const double t0 = bench::cpu_seconds();
        while (bench::cpu_seconds() - t0 < seconds) {
          run_tavrin(m, op, dense_pd);
          ++runs;
        }
        std::printf("%4d %-10s %3s %3dx%-3d %-10s %11.3f ms, %d runs\n", k, m.kind,
                    m.sparse ? "sp" : "", m.rows, m.cols, op_name[o],
                    1e3 * (bench::cpu_seconds() - t0) / runs, runs);
        continue;
      }
      const double t0 = bench::cpu_seconds();
      const TavrinResult res = run_tavrin(m, op, dense_pd);
      const double ours = engine_seconds(m, op, dense_pd, bench::cpu_seconds() - t0);
      double fl = 0, pa = 0;
#ifdef TAVRIN_PEER_FLINT
      // FLINT's Smith form of a singular or non-square matrix (Kannan-Bachem)
      // takes seconds from side 20 on: timed on nonsingular square ones only.
      const bool flint_smith_ok = m.rows == m.cols && pari_rank == m.rows;
      if (auto f = flint_op(fm, op);
          f && (op == hermite || op == hermite_t || op == hermite_u || flint_smith_ok))
        fl = seconds_of(f);
#endif
#ifdef TAVRIN_PEER_PARI
      pa = seconds_of(pari_op(px, op));
#endif
      double best = 0;
      for (double p : {fl, pa})
        if (p > 0 && (best == 0 || p < best)) best = p;
      const double ratio = best > 0 ? ours / best : 0;
      // The peers' U and U^-1, for Hermite+T.
      double same = 0;
      if (op == hermite_t) {
        double fl_same = 0, pa_same = 0;
#ifdef TAVRIN_PEER_FLINT
        fl_same = seconds_of(flint_u_and_inverse(fm));
#endif
#ifdef TAVRIN_PEER_PARI
        pa_same = seconds_of(pari_u_and_inverse(px));
#endif
        for (double p : {fl_same, pa_same})
          if (p > 0 && (same == 0 || p < same)) same = p;
        if (same > 0) same_outputs.push_back(ours / same);
      }
      // Checks against PARI: the rank, and the Smith diagonals.
      bool ok = pari_rank < 0 || res.rank == pari_rank;
      if (ok && pari_rank >= 0 && op != hermite && op != hermite_t && op != hermite_u) {
        for (int q = 0; q < 2 && ok; ++q) {
          static const std::uint32_t primes[2] = {2147483647u, 1000000007u};
          for (std::int32_t i = 0; i < pari_rank && ok; ++i)
            ok = res.diag[static_cast<std::size_t>(i)].sign() > 0 &&
                 res.diag[static_cast<std::size_t>(i)].mod_word(primes[q]) ==
                     mods[q][static_cast<std::size_t>(i)];
          for (std::size_t i = static_cast<std::size_t>(pari_rank); i < res.diag.size() && ok; ++i)
            ok = res.diag[i].is_zero();
        }
      }
      if (!ok) ++wrong;
      if (ratio > 0) {
        ratios[o].push_back(ratio);
        all.push_back(ratio);
      }
      std::printf("%4d %-10s %3s %3dx%-3d %-10s %11.3f %11.3f %11.3f %7.2f", k, m.kind,
                  m.sparse ? "sp" : "", m.rows, m.cols, op_name[o], 1e3 * ours, 1e3 * fl, 1e3 * pa,
                  ratio);
      if (same > 0) std::printf("  (U, U^-1: %.3f ms, %.2f)", 1e3 * same, ours / same);
      std::printf("%s\n", ok ? "" : "  WRONG");
      std::fflush(stdout);
    }
    if (dense_pd != nullptr) {
      special_free(dense_pd);
      free_imag(&dense_pd);
    }
#ifdef TAVRIN_PEER_PARI
    gunclone(px);
    set_avma(av);
#endif
  }
  auto summary = [](const char* name, std::vector<double> v) {
    if (v.empty()) return;
    std::sort(v.begin(), v.end());
    std::printf("%-10s worst %7.2f  median %6.2f  (%zu timings)\n", name, v.back(), v[v.size() / 2],
                v.size());
  };
  std::printf("\nTavrin / fastest peer:\n");
  for (int o = 0; o < ops; ++o) summary(op_name[o], ratios[o]);
  summary("all", all);
  if (!same_outputs.empty())
    std::printf("\nTavrin / fastest peer's U and U^-1 (the outputs Tavrin gives):\n");
  summary("Hermite+T", same_outputs);
  std::printf("wrong answers: %d\n", wrong);
#ifdef TAVRIN_PEER_PARI
  pari_close();
#endif
  return wrong == 0 ? 0 : 1;
}
