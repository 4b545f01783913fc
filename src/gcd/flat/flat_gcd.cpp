// The flat GCD engines' entry: when they apply, the problem read into term
// arrays, the images modulo the user's prime (in an extension field when it
// is small) or modulo word primes combined over the integers, and the
// result built once as recursive lists.
#include "gcd/flat_gcd.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "core/globals.h"
#include "core/interrupts.h"
#include "core/thread_pool.h"
#include "core/thresholds.h"
#include "numbers/bigint.h"
#include "numbers/freelists.h"
#include "numbers/garner.h"
#include "numbers/integer_gcd.h"
#include "numbers/node_handles.h"
#include "numbers/zint.h"
#include "poly/poly_add.h"
#include "poly/poly_measures.h"
#include "poly/poly_repr.h"
#include "gcd/content.h"
#include "gcd/flat/flat_gcd_impl.h"
#include "gcd/flat/flat_poly_impl.h"
#include "gcd/flat/gcd_fields_impl.h"
#include "gcd/modular_gcd.h"

namespace tavrin {

flat_gcd_method flat_gcd_choice = flat_gcd_method::automatic;
bool flat_cofactor_proof = true;
bool flat_lattice_proof = true;
bool flat_lattice_check = true;
bool flat_product_check = true;
flat_gcd_counts flat_gcd_stats{};

namespace flat {

namespace {

thread_local flat_gcd_counts* gcd_counting = &flat_gcd_stats;
thread_local division_counts* division_counting = &flat_divisions;

}  // namespace

flat_gcd_counts& gcd_tally() { return *gcd_counting; }
division_counts& division_tally() { return *division_counting; }

TallyInto::TallyInto(Tally* t) : gcd_(gcd_counting), div_(division_counting) {
  gcd_counting = &t->gcd;
  division_counting = &t->div;
}

TallyInto::~TallyInto() {
  gcd_counting = gcd_;
  division_counting = div_;
}

void Tally::add_to_globals() const {
  using G = flat_gcd_counts;
  for (long G::*c : {&G::calls, &G::dense, &G::sparse, &G::plane, &G::extension, &G::primes,
                     &G::division_primes, &G::cofactor_proofs, &G::product_primes,
                     &G::cofactor_points, &G::lattice_points, &G::unlucky, &G::declined})
    flat_gcd_stats.*c += gcd.*c;
  using D = division_counts;
  for (long D::*c : {&D::dense, &D::heap, &D::heap_terms, &D::integer, &D::lanes})
    flat_divisions.*c += div.*c;
}

namespace {

// The number of leaves of p, counting stopped past cap.
std::int64_t leaves_capped(poly p, std::int64_t cap, std::int64_t n = 0) {
  for (; p != nullptr && n <= cap; p = p->next)
    n = p->numb ? n + 1 : leaves_capped(p->pcoef, cap, n);
  return n;
}

// ---- The cofactors of the last GCD --------------------------------------------------------------

// A polynomial's terms as they stand: keys, and the words of each
// coefficient (its limbs, or its residue).
struct Fingerprint {
  std::vector<std::uint64_t> key;
  std::vector<std::int32_t> words;
  std::vector<std::uint32_t> start{0};
};

// The terms of p (at the problem's level; false when p does not fit the
// problem) into *fp.
bool fingerprint(poly p, const Problem& pr, Fingerprint* fp) {
  fp->key.clear();
  fp->words.clear();
  fp->start.assign(1, 0);
  bool fits = true;
  auto walk = [&](auto&& self, poly q, int level, std::uint64_t prefix) -> void {
    for (; q != nullptr && fits; q = q->next) {
      if (q->numb) {
        fp->key.push_back(prefix);
        if (lintmode) {
          fp->words.push_back(q->ncoef->lint);
        } else {
          for (numptr l = q->ncoef->head; l != nullptr; l = l->next) fp->words.push_back(l->value);
        }
        fp->start.push_back(static_cast<std::uint32_t>(fp->words.size()));
        return;
      }
      if (level >= pr.levels) {
        fits = false;
        return;
      }
      const int var = pr.var_of[static_cast<std::size_t>(level)];
      if (q->exp < 0 || (var < 0 && q->exp != 0) || (var >= 0 && q->exp > pr.layout.largest())) {
        fits = false;
        return;
      }
      self(self, q->pcoef, level + 1,
           var < 0 ? prefix : prefix + static_cast<std::uint64_t>(q->exp) * pr.layout.unit(var));
    }
  };
  walk(walk, p, 0, 0);
  return fits;
}

// The same from the problem's own operand as flatten read it (the same
// terms in the same order), without a second walk through its lists.
void fingerprint(const Poly<imptr>& a, Fingerprint* fp) {
  fp->key = a.key;
  fp->words.clear();
  fp->start.assign(1, 0);
  fp->start.reserve(a.size() + 1);
  for (imptr x : a.coef) {
    for (numptr l = x->head; l != nullptr; l = l->next) fp->words.push_back(l->value);
    fp->start.push_back(static_cast<std::uint32_t>(fp->words.size()));
  }
}

void fingerprint(const Poly<std::uint32_t>& a, Fingerprint* fp) {
  fp->key = a.key;
  fp->words.assign(a.coef.begin(), a.coef.end());
  fp->start.resize(a.size() + 1);
  for (std::size_t i = 0; i <= a.size(); ++i) fp->start[i] = static_cast<std::uint32_t>(i);
}

bool same_terms(const Fingerprint& a, const Fingerprint& b) {
  return a.key == b.key && a.start == b.start && a.words == b.words;
}

// The last GCD found with its cofactors, for reduce (flat_gcd_cofactors).
struct Memo {
  bool valid = false;
  bool modular = false;
  std::int32_t modulus = 0;
  polypt pt = nullptr;
  std::int32_t polys = 0;
  Problem pr;
  Fingerprint u, v, g;
  // the cofactors' terms: residues, or signed magnitudes over the integers
  // (to be divided by the content GCD cg, not 1 only over the integers)
  std::vector<std::uint64_t> ukey, vkey;
  std::vector<std::uint32_t> ures, vres;
  std::vector<ZInt> uval, vval;
  ZInt cg;
};

Memo& memo() {
  static Memo m;
  return m;
}

// Starts a record of the problem at pt whose operands flatten read into a
// and b (the GCD and cofactors follow).
template <class C>
Memo& start_memo(const Poly<C>& a, const Poly<C>& b, const Problem& pr, polypt pt) {
  Memo& m = memo();
  m.valid = false;
  fingerprint(a, &m.u);
  fingerprint(b, &m.v);
  m.modular = modularmode;
  m.modulus = modulus;
  m.pt = pt;
  m.polys = number_polys;
  m.pr = pr;
  return m;
}

// ---- Modulo the user's prime --------------------------------------------------------------------

template <class F>
bool to_ground(const F& f, const MPoly& a, Poly<std::uint32_t>* g) {
  g->clear();
  for (std::size_t i = 0; i < a.size(); ++i) {
    std::uint32_t r = 0;
    if (!f.to_ground(a.coef[i], &r))
      return false;  // cannot happen: GCDs and cofactors lie in the ground field
    g->push(a.key[i], r);
  }
  return true;
}

template <class F>
MPoly in_field(const F& f, const Poly<std::uint32_t>& a) {
  MPoly A;
  for (std::size_t i = 0; i < a.size(); ++i) A.push(a.key[i], f.from_ground(a.coef[i]));
  return A;
}

// The GCD g of a and b, found in the field f (the ground field or an
// extension with more points) and proven in the ground field f0: the degree
// bounds from images in f, the exact divisions in f0, whose quotients are
// the cofactors (found true; false when the GCD is 1 and nothing was
// divided). The ground field's arithmetic is the faster one.
template <class F, class F0>
bool gcd_in_field(const F& f, const F0& f0, const Problem& pr, const Poly<std::uint32_t>& a,
                  const Poly<std::uint32_t>& b, Poly<std::uint32_t>* g, Poly<std::uint32_t>* qa,
                  Poly<std::uint32_t>* qb, bool* found) {
  const Layout& lay = pr.layout;
  const MPoly A = in_field(f, a), B = in_field(f, b);
  Rng rng(a.size() * 7919 + b.size());
  *found = false;
  std::vector<std::int32_t> bounds;
  if (!degree_bounds(f, lay, A, B, rng, &bounds)) return false;
  if (std::all_of(bounds.begin(), bounds.end(), [](std::int32_t x) { return x == 0; })) {
    g->clear();
    g->push(0, 1);
    return true;
  }
  const MPoly A0 = in_field(f0, a), B0 = in_field(f0, b);
  const bool a_small = a.size() <= b.size();
  MPoly G, G0, qs, ql;
  for (int attempt = 0; attempt < 4; ++attempt) {
    if (field_gcd(f, lay, A, B, rng, &G, false, nullptr, nullptr, &bounds) != engine_status::done)
      continue;
    if (degrees_of(lay, G) != bounds || !to_ground(f, G, g)) continue;
    G0 = in_field(f0, *g);
    if (mpoly_divides(f0, lay, a_small ? A0 : B0, G0, &qs) &&
        mpoly_divides(f0, lay, a_small ? B0 : A0, G0, &ql)) {
      *found = to_ground(f0, a_small ? qs : ql, qa) && to_ground(f0, a_small ? ql : qs, qb);
      return true;
    }
  }
  return false;
}

bool modular_gcd(poly u, poly v, const Problem& pr, polypt pt, poly* r) {
  Poly<std::uint32_t> a, b, g, qa, qb;
  flatten(u, pr, &a);
  flatten(v, pr, &b);
  const auto p = static_cast<std::uint32_t>(modulus);
  constexpr std::uint64_t wanted_points = 65536;
  bool ok = false, found = false;
  if (finf) {
    // GF(2^8) in GF(2^16); GF(2^16) itself
    const LogField ground(log_tables_for(p, 0));
    const auto t = log_tables_for(p, wanted_points);
    if (t->q > p) ++flat_gcd_stats.extension;
    ok = gcd_in_field(LogField(t), ground, pr, a, b, &g, &qa, &qb, &found);
  } else if (auto t = p < wanted_points / 2 ? log_tables_for(p, wanted_points) : nullptr) {
    ++flat_gcd_stats.extension;
    ok = gcd_in_field(LogField(t), PrimeField(p), pr, a, b, &g, &qa, &qb, &found);
  } else {
    ok = gcd_in_field(PrimeField(p), PrimeField(p), pr, a, b, &g, &qa, &qb, &found);
  }
  if (!ok) return false;
  free_poly(r);
  *r = rebuild(g.key, pr, [&g](std::size_t k) { return word_leaf(g.coef[k]); });
  if (found && !(*r)->numb) {
    Memo& m = start_memo(a, b, pr, pt);
    if (!fingerprint(*r, pr, &m.g)) return true;
    m.ukey = std::move(qa.key);
    m.ures = std::move(qa.coef);
    m.vkey = std::move(qb.key);
    m.vres = std::move(qb.coef);
    m.valid = true;
  }
  return true;
}

// ---- Over the integers --------------------------------------------------------------------------

std::int32_t bits_of(std::uint64_t x) {
  std::int32_t b = 0;
  for (; x != 0; x >>= 1) ++b;
  return b;
}

// The residues of one polynomial over the primes of a run, aligned by key:
// one column a prime.
struct Residues {
  std::vector<std::uint64_t> key;
  std::vector<std::vector<std::uint32_t>> col;  // col[prime][term]

  void clear() {
    key.clear();
    col.clear();
  }
  std::uint32_t at(std::size_t term, std::size_t prime) const { return col[prime][term]; }
  // The image of the next prime (scaled by s).
  void add(const MPoly& img, const PrimeField& f, elem s) {
    if (!col.empty() && img.key != key) {
      // a support that differs (a coefficient 0 modulo some prime): the union
      std::vector<std::uint64_t> nk;
      std::vector<std::size_t> from;  // old index + 1, 0 when new
      std::size_t i = 0, j = 0;
      while (i < key.size() || j < img.size()) {
        if (j == img.size() || (i < key.size() && key[i] > img.key[j])) {
          nk.push_back(key[i]);
          from.push_back(++i);
        } else if (i == key.size() || img.key[j] > key[i]) {
          nk.push_back(img.key[j++]);
          from.push_back(0);
        } else {
          nk.push_back(key[i]);
          from.push_back(++i);
          ++j;
        }
      }
      for (auto& c : col) {
        std::vector<std::uint32_t> nc(nk.size(), 0);
        for (std::size_t t = 0; t < nk.size(); ++t)
          if (from[t] != 0) nc[t] = c[from[t] - 1];
        c = std::move(nc);
      }
      key = std::move(nk);
    } else if (col.empty()) {
      key = img.key;
    }
    std::vector<std::uint32_t> c(key.size(), 0);
    for (std::size_t t = 0, j = 0; j < img.size(); ++t)
      if (key[t] == img.key[j]) c[t] = f.mul(s, img.coef[j++]);
    col.push_back(std::move(c));
  }
};

// The values of a Residues in the symmetric range of the primes' product,
// with their largest bit length.
struct Values {
  std::vector<ZInt> value;
  std::int32_t height = 0;
};

Values values_of(const Residues& r, const Garner& crt) {
  Values out;
  out.value.resize(r.key.size());
  const std::size_t k = crt.size();
  std::vector<std::uint32_t> res(k), digits(k);
  for (std::size_t t = 0; t < r.key.size(); ++t) {
    for (std::size_t i = 0; i < k; ++i) res[i] = r.at(t, i);
    crt.digits(res.data(), digits.data());
    out.value[t] = crt.symmetric(digits.data());
    out.height = std::max(out.height, static_cast<std::int32_t>(out.value[t].bit_length()));
  }
  return out;
}

// The value of x in a word I wide enough for it.
template <class I>
I small_value(imptr x) {
  I v = 0;
  for (numptr l = x->head; l != nullptr; l = l->next)
    v = v * limb_base + l->value;  // limbs carry the sign
  return v;
}

// The bit length of |x|.
std::int32_t number_bits(imptr x) {
  if (x->head == nullptr) return 0;
  return (x->size - 1) * limb_bits + bits_of(static_cast<std::uint64_t>(std::abs(x->head->value)));
}

// The bit length of the largest coefficient of a.
std::int32_t height_of(const Poly<imptr>& a) {
  std::int32_t h = 0;
  for (imptr x : a.coef) h = std::max(h, number_bits(x));
  return h;
}

// A and B modulo p (false when p divides a leading coefficient).
bool reduce_mod(const Poly<imptr>& a, const PrimeField& f, MPoly* A) {
  A->clear();
  if (number_residue(a.coef[0], f) == 0) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    const elem c = number_residue(a.coef[i], f);
    if (c != 0) A->push(a.key[i], c);
  }
  return true;
}

// Whether g divides a over the integers: exact divisions modulo primes
// (the first that fails shows it does not), the quotients combined until
// the product of the primes M bounds both sides of g q = a: |g| |q|
// min(terms) < M / 2 and |a| < M / 2 make the congruence an identity.
bool divides_over_z(const Layout& lay, const Poly<imptr>& a, const Poly<imptr>& g,
                    std::vector<std::uint64_t>* qkey, Values* q) {
  const std::int32_t ha = height_of(a), hg = height_of(g);
  // small coefficients: one division in words
  const auto in_words = [&](auto word) -> division_result {
    using I = decltype(word);
    Poly<I> A, G, Q;
    for (std::size_t i = 0; i < a.size(); ++i) A.push(a.key[i], small_value<I>(a.coef[i]));
    for (std::size_t i = 0; i < g.size(); ++i) G.push(g.key[i], small_value<I>(g.coef[i]));
    const division_result st = int_divides(lay, A, G, hg, &Q);
    if (st != division_result::exact) return st;
    q->value.resize(Q.size());
    q->height = 0;
    for (std::size_t i = 0; i < Q.size(); ++i) {
      const I c = Q.coef[i];
      auto m = static_cast<unsigned __int128>(c < 0 ? -c : c);
      std::vector<std::uint32_t> n;
      for (; m != 0; m >>= limb_bits) n.push_back(static_cast<std::uint32_t>(m & (limb_base - 1)));
      q->value[i] = ZInt::from_digits(std::move(n), c < 0 ? -1 : 1);
      q->height = std::max(q->height, static_cast<std::int32_t>(q->value[i].bit_length()));
    }
    *qkey = std::move(Q.key);
    return st;
  };
  // a quotient too large for 64-bit sums is tried again in 128 bits
  if (hg <= 62 && ha <= 124) {
    division_result st = ha <= 60 ? in_words(std::int64_t{}) : division_result::too_large;
    if (st == division_result::too_large) st = in_words(__int128{});
    if (st != division_result::too_large) return st == division_result::exact;
  }
  // The primes go in batches, one pass of the dense division for each, as
  // many as M is expected to need: |a| and |g| |q| about |a| times the terms.
  const std::int32_t wanted = ha + bits_of(std::min(a.size(), g.size())) + 4;
  Garner crt;
  Residues rq;
  MPoly A, G;
  std::vector<PrimeField> batch;
  std::vector<MPoly> qs;
  bool lanes = true;
  for (std::size_t k = 0; k < 256;) {
    check_interrupt();
    const std::int32_t have =
        crt.size() == 0 ? 0 : static_cast<std::int32_t>(crt.modulus().bit_length());
    const auto want = static_cast<std::size_t>(
        std::clamp((wanted - have + 30) / 31, 1, static_cast<int>(max_lanes)));
    batch.clear();
    for (; k < 256 && batch.size() < want; ++k) {
      const PrimeField f(image_prime(k));
      if (number_residue(g.coef[0], f) != 0) batch.push_back(f);
    }
    if (batch.empty()) break;
    division_result st = lanes ? lanes_divides(batch, lay, a, g, &qs) : division_result::too_large;
    if (st == division_result::not_exact) return false;
    if (st == division_result::too_large) {
      // prime by prime
      lanes = false;
      qs.assign(batch.size(), MPoly());
      for (std::size_t j = 0; j < batch.size(); ++j) {
        reduce_mod(g, batch[j], &G);
        A.clear();
        for (std::size_t i = 0; i < a.size(); ++i)
          if (const elem c = number_residue(a.coef[i], batch[j]); c != 0) A.push(a.key[i], c);
        if (!mpoly_divides(batch[j], lay, A, G, &qs[j])) return false;
      }
    }
    for (std::size_t j = 0; j < batch.size(); ++j) {
      ++flat_gcd_stats.division_primes;
      crt.add_prime(batch[j].modulus());
      rq.add(qs[j], batch[j], 1);
      const auto mbits = static_cast<std::int32_t>(crt.modulus().bit_length());
      if (mbits < ha + 2) continue;
      Values vq = values_of(rq, crt);
      if (hg + vq.height + bits_of(std::min(g.size(), rq.key.size())) < mbits - 1) {
        *qkey = std::move(rq.key);
        *q = std::move(vq);
        return true;
      }
    }
  }
  return false;
}

// The GCD of the integer contents of u and v.
void content_gcd(poly u, poly v, imptr c) { find_common_content(u, v, c); }

// The univariate problems of Brown's method with cofactors for A and B
// with the GCD G (degrees da, db, dg): in each variable from the last down
// as many points as the degrees in it prove (the box), or, with the
// lattice, at point i of a variable the images proven to the total degree
// S - i only (see brown_gcd.cpp), but at least the cofactors' and G's
// degree there plus two points.
double brown_problems(const Layout& lay, const MPoly& A, const MPoly& B,
                      const std::vector<std::int32_t>& da, const std::vector<std::int32_t>& db,
                      const std::vector<std::int32_t>& dg) {
  const std::size_t k = da.size();
  double box = 1;
  for (std::size_t l = 1; l < k; ++l) box *= std::max(da[l], db[l]) + 1.0;
  if (!flat_lattice_proof || k < 2) return box;
  std::int64_t S = 0;
  for (const MPoly* p : {&A, &B})
    for (std::uint64_t key : p->key) {
      std::int64_t t = 0;
      for (int l = 0; l < lay.nvars; ++l) t += lay.exponent(key, l);
      S = std::max(S, t);
    }
  // leaves[s]: the problems below one point whose images need the bound s
  std::vector<double> leaves(static_cast<std::size_t>(S) + 1, 1), next(leaves.size());
  for (std::size_t l = 1; l < k; ++l) {
    const std::int64_t all = std::max(da[l], db[l]) + 1;
    const std::int64_t need = std::max({dg[l], da[l] - dg[l], db[l] - dg[l]}) + 2;
    for (std::int64_t s = 0; s <= S; ++s) {
      const std::int64_t points = std::min(all, std::max(s + 1, need));
      double sum = 0;
      for (std::int64_t i = 0; i < points; ++i)
        sum += leaves[static_cast<std::size_t>(std::max<std::int64_t>(s - i, 0))];
      next[static_cast<std::size_t>(s)] = sum;
    }
    std::swap(leaves, next);
  }
  return std::min(box, leaves[static_cast<std::size_t>(S)]);
}

// Whether Brown's method makes the images of a and b, for the first
// prime's images A and B and the degree bounds dg of their GCD: its
// univariate problems as the lattice of the proof by cofactors cuts them
// go into the plan, and field_gcd's choice follows the same count.
bool brown_chosen(const Layout& lay, const MPoly& A, const MPoly& B,
                  const std::vector<std::int32_t>& dg, ZippelPlan* plan) {
  const std::vector<std::int32_t> da = degrees_of(lay, A), db = degrees_of(lay, B);
  plan->brown_points = brown_problems(lay, A, B, da, db, dg);
  if (flat_gcd_choice != flat_gcd_method::automatic)
    return flat_gcd_choice == flat_gcd_method::dense;
  return dense_preferred(lay, A.size(), B.size(), da, db, plan->brown_points);
}

// Whether the exact divisions proving G (the image of gcd(A, B)) would
// cost more than flat_cofactor_ratio times Brown's images with cofactors
// (see its comment in thresholds.h). A cofactor's terms are estimated as
// its degree box filled as densely as its operand's.
bool divisions_dearer(const Layout& lay, const MPoly& A, const MPoly& B, const MPoly& G) {
  const std::vector<std::int32_t> da = degrees_of(lay, A), db = degrees_of(lay, B),
                                  dg = degrees_of(lay, G);
  double box_a = 1, box_b = 1, bar_a = 1, bar_b = 1;
  for (std::size_t l = 0; l < da.size(); ++l) {
    box_a *= da[l] + 1.0;
    box_b *= db[l] + 1.0;
    bar_a *= da[l] - dg[l] + 1.0;
    bar_b *= db[l] - dg[l] + 1.0;
  }
  const double first = std::max(da[0], db[0]) + 1.0;
  const double brown = brown_problems(lay, A, B, da, db, dg) * first * first;
  const double terms =
      static_cast<double>(A.size()) * bar_a / box_a + static_cast<double>(B.size()) * bar_b / box_b;
  return static_cast<double>(G.size()) * terms > brown * flat_cofactor_ratio;
}

// The proof by cofactors. Modulo each prime p Brown's method gives G, Abar
// and Bbar with G Abar = A and G Bbar = B exactly (G monic), whatever the
// luck of p; H = gamma G, Abar and Bbar combined over the primes then
// satisfy H Abar = gamma a and H Bbar = gamma b modulo their product M.
// Once |H| |Abar| min(terms) and |gamma a| (and the same for b) are below
// M / 2, the congruences are identities over the integers, and pp(H)
// divides a and b (Gauss's lemma).
bool cofactors_prove(const Values& vh, std::size_t h_terms, const Values& va, std::size_t a_terms,
                     const Values& vb, std::size_t b_terms, std::int32_t h_gamma_a,
                     std::int32_t h_gamma_b, std::int32_t mbits) {
  return vh.height + va.height + bits_of(std::min(h_terms, a_terms)) < mbits - 1 &&
         vh.height + vb.height + bits_of(std::min(h_terms, b_terms)) < mbits - 1 &&
         h_gamma_a < mbits - 1 && h_gamma_b < mbits - 1;
}

// Whether the cofactor proof holds: by M alone (cofactors_prove), or with
// transform primes for the rest of its bound. Those take H, Abar and Bbar
// well inside M's range only (a candidate wrong modulo M shows values near
// its edge), and check H Abar = gamma a, H Bbar = gamma b modulo as many
// transform primes as the bound needs beyond M (each adds 29 bits or
// more). The identities hold modulo M already (each image prime's
// cofactors are exact), so they then hold modulo M times those primes.
bool cofactors_proven(const Layout& lay, const std::vector<std::uint64_t>& kh, const Values& vh,
                      const std::vector<std::uint64_t>& ka, const Values& va,
                      const std::vector<std::uint64_t>& kb, const Values& vb, const Poly<imptr>& a,
                      const Poly<imptr>& b, imptr gamma, std::int32_t h_gamma_a,
                      std::int32_t h_gamma_b, std::int32_t mbits) {
  if (cofactors_prove(vh, kh.size(), va, ka.size(), vb, kb.size(), h_gamma_a, h_gamma_b, mbits))
    return true;
  if (!flat_product_check || vh.height >= mbits - 16 || va.height >= mbits - 16 ||
      vb.height >= mbits - 16)
    return false;
  const std::int32_t need =
      std::max({vh.height + va.height + bits_of(std::min(kh.size(), ka.size())),
                vh.height + vb.height + bits_of(std::min(kh.size(), kb.size())), h_gamma_a,
                h_gamma_b}) +
      2 - mbits;
  const auto primes = static_cast<std::size_t>((std::max(need, 0) + 28) / 29);
  if (primes > product_check_primes()) return false;
  if (!products_agree(lay, {&kh, &vh.value}, {{&ka, &va.value}, {&kb, &vb.value}}, {&a, &b},
                      ZInt::from_number(gamma), primes))
    return false;
  flat_gcd_stats.product_primes += static_cast<long>(primes);
  return true;
}

// x c / d for each value x (exact: false when a division leaves a remainder).
bool times_over(std::vector<ZInt>& xs, const ZInt& c, const ZInt& d) {
  if (c.is_one() && d.is_one()) return true;
  for (ZInt& x : xs)
    if (!ZInt::divides(x * c, d, &x)) return false;
  return true;
}

// G := the GCD of the images A and B modulo f, with its cofactors Abar and
// Bbar when *cofactors is 1 (Brown's images); false when the prime gives
// none to use. The first image decides *cofactors (unknown: -1), by which
// proof is the cheaper; the cofactors then start from the next prime.
bool gcd_image(const PrimeField& f, const Layout& lay, const MPoly& A, const MPoly& B, Rng& rng,
               ZippelPlan* plan, const std::vector<std::int32_t>* bounds, int* cofactors, MPoly* G,
               MPoly* Abar, MPoly* Bbar) {
  if (*cofactors == 1) {
    if (A.size() == 1 || B.size() == 1) return false;  // a prime that leaves one term
    if (brown_gcd(f, lay, A, B, lay.nvars, rng, G, Abar, Bbar) != engine_status::done) return false;
    ++gcd_tally().dense;
    return true;
  }
  if (field_gcd(f, lay, A, B, rng, G, false, plan, nullptr, bounds) != engine_status::done) {
    *plan = ZippelPlan();
    if (field_gcd(f, lay, A, B, rng, G, false, plan, nullptr, bounds) != engine_status::done)
      return false;
  }
  if (*cofactors < 0) {
    *cofactors = divisions_dearer(lay, A, B, *G) ? 1 : 0;
    if (*cofactors == 1) return false;
  }
  return true;
}

// One prime's image computed as a pool task: the operands' reductions, the
// image and its cofactors, the plan it left and the counts it made.
struct PrimeImage {
  std::uint32_t prime = 0;
  bool reduced = false;  // no degree lost modulo the prime
  bool found = false;    // gcd_image gave an image
  MPoly A, B, G, Abar, Bbar;
  ZippelPlan plan;
  Tally tally;
};

// The seed of the points of prime k's image, of operands of na and nb terms.
std::uint64_t image_seed(std::size_t na, std::size_t nb, std::size_t k) {
  return (na * 7919 + nb) ^ ((k + 1) * 0x9E3779B97F4A7C15ull);
}

// The candidate's terms gk have the degrees *bounds. A bound that a point
// made too large is tried again, the first three times (*tries counts
// them), by degree_bounds at new points of the images fa and fb modulo f.
bool meets_bounds(const PrimeField& f, const Layout& lay, const MPoly& fa, const MPoly& fb,
                  const MPoly& gk, Rng& rng, int* tries, std::vector<std::int32_t>* bounds) {
  if (degrees_of(lay, gk) == *bounds) return true;
  if (++*tries <= 3) {
    std::vector<std::int32_t> again;
    if (degree_bounds(f, lay, fa, fb, rng, &again))
      for (std::size_t i = 0; i < bounds->size(); ++i)
        (*bounds)[i] = std::min((*bounds)[i], again[i]);
  }
  return degrees_of(lay, gk) == *bounds;
}

// The images of the primes k, k + 1, ... side by side, as many as there are
// threads (at most up to the 512th prime), each with the plan and method
// the earlier images fixed and points of its own prime's seed.
std::vector<PrimeImage> prime_images(const Poly<imptr>& a, const Poly<imptr>& b, const Layout& lay,
                                     const ZippelPlan& plan,
                                     const std::vector<std::int32_t>& bounds, int cofactors,
                                     std::size_t k) {
  std::vector<PrimeImage> images(
      std::min<std::size_t>(static_cast<std::size_t>(thread_count()), 512 - k));
  for (std::size_t j = 0; j < images.size(); ++j) images[j].prime = image_prime(k + j);
  run_tasks(images.size(), [&](std::size_t j) {
    PrimeImage& im = images[j];
    const std::uint32_t prime = im.prime;
    im = PrimeImage();  // a task run again starts afresh
    im.prime = prime;
    const TallyInto tally(&im.tally);
    const PrimeField f(im.prime);
    if (!reduce_mod(a, f, &im.A) || !reduce_mod(b, f, &im.B)) return;
    im.reduced = true;
    im.plan = plan;
    Rng points(image_seed(a.size(), b.size(), k + j));
    int method = cofactors;
    im.found = gcd_image(f, lay, im.A, im.B, points, &im.plan, &bounds, &method, &im.G, &im.Abar,
                         &im.Bbar);
  });
  return images;
}

// *r := the constant GCD cg.
bool constant_gcd(imptr cg, poly* r) {
  imptr c = nullptr;
  newimag(&c);
  num_assign(cg, c);
  free_poly(r);
  *r = nodes::new_leaf(c);
  return true;
}

// *r := g times the content cg, leading with a positive coefficient.
bool integer_answer(poly g, imptr cg, poly* r) {
  if (!is_longint(cg, 1)) num_poly_mult(g, cg);
  if (neg_leading_term(g)) poly_inplace(g);
  free_poly(r);
  *r = g;
  return true;
}

// The cofactors a / g and b / g of a GCD: their keys and coefficients.
struct Cofactors {
  std::vector<std::uint64_t> ka;
  std::vector<ZInt> qa;
  std::vector<std::uint64_t> kb;
  std::vector<ZInt> qb;
};

// Records the cofactors of the GCD g = h / ch of a and b (negated when h's
// leading term was flipped) for the driver's reduction.
void remember_cofactors(const Poly<imptr>& a, const Poly<imptr>& b, const Problem& pr, polypt pt,
                        poly g, imptr cg, Cofactors q, bool flipped) {
  Memo& mo = start_memo(a, b, pr, pt);
  if (!fingerprint(g, pr, &mo.g)) return;
  mo.ukey = std::move(q.ka);
  mo.vkey = std::move(q.kb);
  mo.uval = std::move(q.qa);
  mo.vval = std::move(q.qb);
  if (flipped) {
    for (ZInt& x : mo.uval) x = -x;
    for (ZInt& x : mo.vval) x = -x;
  }
  mo.cg = ZInt::from_number(cg).abs();
  mo.valid = true;
}

bool integer_gcd(poly u, poly v, const Problem& pr, polypt pt, poly* r) {
  Poly<imptr> a, b;
  flatten(u, pr, &a);
  flatten(v, pr, &b);
  const Layout& lay = pr.layout;
  nodes::ScratchNumber gamma, cg;
  binary_gcd(a.coef[0], b.coef[0], gamma.get());
  content_gcd(u, v, cg.get());
  auto answer = [&](poly g) { return integer_answer(g, cg.get(), r); };
  auto constant_answer = [&]() { return constant_gcd(cg.get(), r); };
  // The cofactors a / g and b / g of the result g = h / ch are recorded for
  // the driver's reduction.
  auto remember = [&](const std::vector<std::uint64_t>& ka, std::vector<ZInt> qa,
                      const std::vector<std::uint64_t>& kb, std::vector<ZInt> qb, bool flipped) {
    remember_cofactors(a, b, pr, pt, *r, cg.get(), {ka, std::move(qa), kb, std::move(qb)}, flipped);
  };
  const std::int32_t h_gamma = number_bits(gamma.get());
  const std::int32_t h_gamma_a = h_gamma + height_of(a), h_gamma_b = h_gamma + height_of(b);
  Rng rng(a.size() * 7919 + b.size());
  std::vector<std::int32_t> bounds;
  Garner crt;
  Residues rh, ra, rb;
  std::uint64_t lm = 0;
  ZippelPlan plan;
  MPoly A, B, G, Abar, Bbar;
  std::vector<ZInt> last;
  int bound_tries = 0;
  int cofactors = -1;  // Brown's images with their cofactors: unknown until the first prime
  // The image fg (cofactors fabar, fbbar) modulo f of the operands' images
  // fa, fb, taken in the primes' order: the combination grows by it and is
  // tried as the answer; true when it is.
  const auto take_image = [&](const PrimeField& f, const MPoly& fa, const MPoly& fb,
                              const MPoly& fg, const MPoly& fabar, const MPoly& fbbar) -> bool {
    if (crt.size() != 0 && fg.key[0] > lm) {
      ++flat_gcd_stats.unlucky;
      return false;
    }
    if (crt.size() == 0 || fg.key[0] < lm) {
      if (crt.size() != 0) ++flat_gcd_stats.unlucky;
      crt.clear();
      rh.clear();
      ra.clear();
      rb.clear();
      last.clear();
      lm = fg.key[0];
    }
    crt.add_prime(f.modulus());
    rh.add(fg, f, number_residue(gamma.get(), f));
    if (cofactors == 1) {
      ra.add(fabar, f, 1);
      rb.add(fbbar, f, 1);
    }
    const auto mbits = static_cast<std::int32_t>(crt.modulus().bit_length());
    // the cofactor proof cannot hold before M passes gamma a and gamma b, unless transform
    // primes add to M (and take candidates well inside M's range only)
    const bool short_of_gamma = mbits < std::max(h_gamma_a, h_gamma_b) + 2;
    if (cofactors == 1 && short_of_gamma && !flat_product_check) return false;
    const Values vh = values_of(rh, crt);
    Values va, vb;
    if (cofactors == 1) {
      if (short_of_gamma && vh.height >= mbits - 16) return false;
      va = values_of(ra, crt);
      vb = values_of(rb, crt);
      if (!cofactors_proven(lay, rh.key, vh, ra.key, va, rb.key, vb, a, b, gamma.get(), h_gamma_a,
                            h_gamma_b, mbits))
        return false;
    } else {
      // Try the candidate when its coefficients are well inside the range, or
      // the latest prime changed none of them.
      const bool stable = vh.value == last;
      last = vh.value;
      if (!stable && vh.height >= mbits - 16) return false;
    }
    nodes::OwnedPoly h;
    h.p = rebuild(rh.key, pr,
                  [&vh](std::size_t t) { return nodes::new_leaf(vh.value[t].to_number()); });
    if (h.p->numb) return constant_answer();
    nodes::ScratchNumber ch;
    find_gcdcoefs(h.p, ch.get());
    if (!is_longint(ch.get(), 1)) num_poly_quot(h.p, ch.get(), 0);
    Poly<imptr> g;
    flatten(h.p, pr, &g);
    MPoly gk;
    for (std::uint64_t key : g.key) gk.push(key, 1);
    if (!meets_bounds(f, lay, fa, fb, gk, rng, &bound_tries, &bounds)) return false;
    if (cofactors == 1) {
      // a / g = Abar ch / gamma, and the same for b
      ++flat_gcd_stats.cofactor_proofs;
      const bool flipped = neg_leading_term(h.p);  // not expected: H leads with gamma > 0
      answer(h.release());
      const ZInt zc = ZInt::from_number(ch.get()), zg = ZInt::from_number(gamma.get());
      if (times_over(va.value, zc, zg) && times_over(vb.value, zc, zg))
        remember(ra.key, std::move(va.value), rb.key, std::move(vb.value), flipped);
      return true;
    }
    const bool a_small = a.size() <= b.size();
    std::vector<std::uint64_t> ks, kl;
    Values qs, ql;
    if (divides_over_z(lay, a_small ? a : b, g, &ks, &qs) &&
        divides_over_z(lay, a_small ? b : a, g, &kl, &ql)) {
      const bool flipped = neg_leading_term(h.p);  // not expected: H leads with gamma > 0
      answer(h.release());
      remember(a_small ? ks : kl, std::move(a_small ? qs.value : ql.value), a_small ? kl : ks,
               std::move(a_small ? ql.value : qs.value), flipped);
      return true;
    }
    return false;
  };
  // Large problems, once the first image has fixed the bounds, the method
  // and the plan: the images of as many primes as there are threads side
  // by side, each with points of its own prime's seed, taken in order.
  const bool side_by_side = a.size() + b.size() >= flat_image_thread_terms;
  for (std::size_t k = 0; k < 512;) {
    check_interrupt();
    if (side_by_side && !bounds.empty() && cofactors >= 0 && crt.size() != 0) {
      std::vector<PrimeImage> images = prime_images(a, b, lay, plan, bounds, cofactors, k);
      k += images.size();
      for (PrimeImage& im : images) {
        im.tally.add_to_globals();
        if (!im.reduced) continue;
        ++flat_gcd_stats.primes;
        plan = std::move(im.plan);
        if (im.found && take_image(PrimeField(im.prime), im.A, im.B, im.G, im.Abar, im.Bbar))
          return true;
      }
      continue;
    }
    const PrimeField f(image_prime(k++));
    if (!reduce_mod(a, f, &A) || !reduce_mod(b, f, &B)) continue;  // a prime that lowers a degree
    if (bounds.empty()) {
      if (!degree_bounds(f, lay, A, B, rng, &bounds)) {
        bounds.clear();
        continue;
      }
      if (std::all_of(bounds.begin(), bounds.end(), [](std::int32_t x) { return x == 0; }))
        return constant_answer();
    }
    // a single term is field_gcd's to answer (Brown's method is not used on it)
    if (cofactors < 0 && !(flat_cofactor_proof && a.size() > 1 && b.size() > 1 &&
                           brown_chosen(lay, A, B, bounds, &plan)))
      cofactors = 0;
    ++flat_gcd_stats.primes;
    if (gcd_image(f, lay, A, B, rng, &plan, &bounds, &cofactors, &G, &Abar, &Bbar) &&
        take_image(f, A, B, G, Abar, Bbar))
      return true;
  }
  return false;
}

}  // namespace

}  // namespace flat

bool flat_gcd(poly u, poly v, poly* r, polypt pt) {
  if (!modular_methods_enabled) return false;
  if (flotemode || (lintmode && !(modularmode && mod_is_prime))) return false;
  if (pseudo_polynames != nullptr || field_depth != 0 || pt == nullptr) return false;
  if (u->numb || v->numb) return false;
  if (flat::leaves_capped(u, flat_gcd_terms) + flat::leaves_capped(v, flat_gcd_terms) <
      flat_gcd_terms)
    return false;
  flat::Problem pr;
  if (!flat::read_problem(u, v, pt, &pr) || pr.layout.nvars < 2) return false;
  ++flat_gcd_stats.calls;
  const bool done =
      modularmode ? flat::modular_gcd(u, v, pr, pt, r) : flat::integer_gcd(u, v, pr, pt, r);
  if (!done) ++flat_gcd_stats.declined;
  return done;
}

bool flat_gcd_cofactors(poly n, poly m, poly com, poly* qn, poly* qm) {
  flat::Memo& mo = flat::memo();
  if (!mo.valid) return false;
  mo.valid = false;  // used once
  if (mo.modular != modularmode || (modularmode && mo.modulus != modulus) ||
      lintmode != modularmode || flotemode || mo.polys != number_polys ||
      pseudo_polynames != nullptr || field_depth != 0)
    return false;
  // the record's problem may lie some pad levels below n's (the driver descends through them)
  int pads = 0;
  bool found = false;
  for (polypt l = polynames; l != nullptr; l = l->next, ++pads)
    if (l == mo.pt) {
      found = true;
      break;
    }
  if (!found) return false;
  poly a = n, b = m, g = com;
  for (int k = 0; k < pads; ++k) {
    for (poly* x : {&a, &b, &g}) {
      if ((*x)->numb || (*x)->exp != 0 || (*x)->next != nullptr) return false;
      *x = (*x)->pcoef;
    }
  }
  flat::Fingerprint fa, fb, fg;
  if (!flat::fingerprint(a, mo.pr, &fa) || !flat::same_terms(fa, mo.u) ||
      !flat::fingerprint(b, mo.pr, &fb) || !flat::same_terms(fb, mo.v) ||
      !flat::fingerprint(g, mo.pr, &fg) || !flat::same_terms(fg, mo.g))
    return false;
  nodes::OwnedPoly x, y;
  if (modularmode) {
    x.p =
        flat::rebuild(mo.ukey, mo.pr, [&mo](std::size_t k) { return flat::word_leaf(mo.ures[k]); });
    y.p =
        flat::rebuild(mo.vkey, mo.pr, [&mo](std::size_t k) { return flat::word_leaf(mo.vres[k]); });
  } else {
    x.p = flat::rebuild(mo.ukey, mo.pr,
                        [&mo](std::size_t k) { return nodes::new_leaf(mo.uval[k].to_number()); });
    y.p = flat::rebuild(mo.vkey, mo.pr,
                        [&mo](std::size_t k) { return nodes::new_leaf(mo.vval[k].to_number()); });
    if (!mo.cg.is_one()) {
      nodes::ScratchNumber c;
      imptr cg = mo.cg.to_number();
      num_assign(cg, c.get());
      free_imag(&cg);
      num_poly_quot(x.p, c.get(), 0);
      num_poly_quot(y.p, c.get(), 0);
    }
  }
  if (pads > 0) {
    if (!x.p->numb) add_pad(&x.p, pads);
    if (!y.p->numb) add_pad(&y.p, pads);
  }
  free_poly(qn);
  *qn = x.release();
  free_poly(qm);
  *qm = y.release();
  return true;
}

}  // namespace tavrin
