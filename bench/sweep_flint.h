// FLINT's side of the sweep (benchmarks only): the row's operands built as
// the other sides build them, its operation timed (processor time, the best
// of as many loops as the programs' timings, each taking the sweep's loop
// time), and the checked values printed
// in the sides' common form ("@@go", "@@time ms", "@@end", then "@@v value").
// Z[x] is fmpz_poly, Q[x] fmpq_poly, the prime fields nmod_poly, GF(2^8)
// and GF(2^16) fq_nmod_poly over the fields' polynomials 0x11D and 0x1100B,
// the integers fmpz.
#pragma once

#include <flint/fmpq_poly.h>
#include <flint/fmpz.h>
#include <flint/fmpz_poly.h>
#include <flint/fmpz_poly_factor.h>
#include <flint/fq_nmod_poly.h>
#include <flint/fq_nmod_poly_factor.h>
#include <flint/nmod_poly.h>
#include <flint/nmod_poly_factor.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "peers.h"
#include "sweep_rows.h"

namespace tavrin::bench::sweep {

using u64 = std::uint64_t;

// The field of the checked values: the integers modulo a prime, or GF(2^k)
// on bit patterns.
struct CheckField {
  u64 size;  // the prime, or 2^k
  bool binary() const { return size == 256 || size == 65536; }
  u64 mul(u64 a, u64 b) const {
    if (!binary()) return static_cast<u64>(static_cast<unsigned __int128>(a) * b % size);
    const u64 poly = size == 256 ? 0x11D : 0x1100B;
    u64 r = 0;
    for (; b != 0; b >>= 1) {
      if ((b & 1) != 0) r ^= a;
      a <<= 1;
      if ((a & size) != 0) a ^= poly;
    }
    return r;
  }
  u64 div(u64 a, u64 b) const {  // a / b: b^(size - 2) is b's inverse
    u64 inv = 1;
    for (u64 e = size - 2; e != 0; e >>= 1, b = mul(b, b))
      if ((e & 1) != 0) inv = mul(inv, b);
    return mul(a, inv);
  }
};

// A result as the checks see it: a polynomial's degree, its value at 3 and
// its leading coefficient in the check field; a number is its own value.
struct Summary {
  long degree = 0;
  u64 value = 0, lead = 0;
};

inline Summary number_summary(u64 v) { return {0, v, v}; }

inline u64 fmpz_mod_check(const fmpz_t a) { return fmpz_fdiv_ui(a, static_cast<u64>(check_prime)); }

// How an operation is timed: the best of `runs` loops of runs, each loop
// lengthened until it takes `loop` seconds; `runs` is the same at every
// size of a row, as for the programs.
struct FlintTiming {
  double loop;
  int runs;
};

// Processor seconds of one run of f.
inline double seconds_per_run(const FlintTiming& how, const std::function<void()>& f) {
  double best = 1e300;
  for (int k = 0; k < how.runs; ++k)
    for (long reps = 1;; reps *= 4) {
      const double t0 = cpu_seconds();
      for (long i = 0; i < reps; ++i) f();
      const double t = cpu_seconds() - t0;
      if (t < how.loop && reps < (1L << 20)) continue;
      best = std::min(best, t / static_cast<double>(reps));
      break;
    }
  return best;
}

// The polynomial rings. Each has the type of its polynomials and what the
// rows ask of it; a routine a ring lacks is left out and its rows have no
// FLINT column.

struct ZRing {
  using T = fmpz_poly_struct;
  void init(T* a) const { fmpz_poly_init(a); }
  void clear(T* a) const { fmpz_poly_clear(a); }
  void build(T* a, int which, long degree) const {
    fmpz_poly_fit_length(a, degree + 1);
    for (long k = 0; k <= degree; ++k) fmpz_poly_set_coeff_si(a, k, coefficient(which).at(k));
  }
  void monomial(T* a, long d) const { fmpz_poly_set_coeff_si(a, d, 1); }
  void set_coeff(T* a, long k, long c) const { fmpz_poly_set_coeff_si(a, k, c); }
  void mul(T* r, const T* a, const T* b) const { fmpz_poly_mul(r, a, b); }
  void sqr(T* r, const T* a) const { fmpz_poly_sqr(r, a); }
  void add(T* r, const T* a, const T* b) const { fmpz_poly_add(r, a, b); }
  void pow(T* r, const T* a, ulong e) const { fmpz_poly_pow(r, a, e); }
  bool divides(T* q, const T* a, const T* b) const { return fmpz_poly_divides(q, a, b) != 0; }
  void divexact(T* q, const T* a, const T* b) const { fmpz_poly_div(q, a, b); }
  // The pseudo-quotient and remainder: multiples of Q's by a power of b's lead.
  void divrem(T* q, T* r, const T* a, const T* b) const {
    ulong d;
    fmpz_poly_pseudo_divrem(q, r, &d, a, b);
  }
  Summary eval(const T* a) const {
    fmpz_t v, three;
    fmpz_init(v);
    fmpz_init_set_ui(three, 3);
    fmpz_poly_evaluate_fmpz(v, a, three);
    const u64 r = fmpz_mod_check(v);
    fmpz_clear(v);
    fmpz_clear(three);
    return number_summary(r);
  }
  void deriv(T* r, const T* a) const { fmpz_poly_derivative(r, a); }
  void gcd(T* g, const T* a, const T* b) const { fmpz_poly_gcd(g, a, b); }
  long sqfree(T* radical, const T* a) const {
    fmpz_poly_factor_t f;
    fmpz_poly_factor_init(f);
    fmpz_poly_factor_squarefree(f, a);
    fmpz_poly_one(radical);
    for (slong i = 0; i < f->num; ++i) fmpz_poly_mul(radical, radical, f->p + i);
    const long n = f->num;
    fmpz_poly_factor_clear(f);
    return n;
  }
  Summary summary(const T* a) const {
    const long d = fmpz_poly_degree(a);
    if (d < 0) return {};
    return {d, fmpz_poly_evaluate_mod(a, 3, static_cast<u64>(check_prime)),
            fmpz_mod_check(a->coeffs + d)};
  }
};

struct QRing {
  using T = fmpq_poly_struct;
  void init(T* a) const { fmpq_poly_init(a); }
  void clear(T* a) const { fmpq_poly_clear(a); }
  // cX(k)/cY(k) over the common denominator of all two-digit numbers.
  void build(T* a, int which, long degree) const {
    fmpz_t l, c;
    fmpz_init_set_ui(l, 1);
    fmpz_init(c);
    for (ulong i = 10; i < 100; ++i) {
      fmpz_set_ui(c, i);
      fmpz_lcm(l, l, c);
    }
    fmpz_poly_t num;
    fmpz_poly_init2(num, degree + 1);
    for (long k = 0; k <= degree; ++k) {
      fmpz_divexact_si(c, l, coefficient((which + 1) % 3).at(k));
      fmpz_mul_si(c, c, coefficient(which).at(k));
      fmpz_poly_set_coeff_fmpz(num, k, c);
    }
    fmpq_poly_set_fmpz_poly(a, num);
    fmpq_poly_scalar_div_fmpz(a, a, l);
    fmpz_clear(c);
    fmpz_poly_clear(num);
    fmpz_clear(l);
  }
  void monomial(T* a, long d) const { fmpq_poly_set_coeff_si(a, d, 1); }
  void mul(T* r, const T* a, const T* b) const { fmpq_poly_mul(r, a, b); }
  void sqr(T* r, const T* a) const { fmpq_poly_mul(r, a, a); }
  void add(T* r, const T* a, const T* b) const { fmpq_poly_add(r, a, b); }
  void pow(T* r, const T* a, ulong e) const { fmpq_poly_pow(r, a, e); }
  bool divides(T* q, const T* a, const T* b) const { return fmpq_poly_divides(q, a, b) != 0; }
  void divexact(T* q, const T* a, const T* b) const { fmpq_poly_div(q, a, b); }
  void divrem(T* q, T* r, const T* a, const T* b) const { fmpq_poly_divrem(q, r, a, b); }
  Summary eval(const T* a) const {
    fmpq_t v;
    fmpq_init(v);
    fmpz_t three;
    fmpz_init_set_ui(three, 3);
    fmpq_poly_evaluate_fmpz(v, a, three);
    const CheckField f{static_cast<u64>(check_prime)};
    const u64 r = f.div(fmpz_mod_check(fmpq_numref(v)), fmpz_mod_check(fmpq_denref(v)));
    fmpq_clear(v);
    fmpz_clear(three);
    return number_summary(r);
  }
  void deriv(T* r, const T* a) const { fmpq_poly_derivative(r, a); }
  void gcd(T* g, const T* a, const T* b) const { fmpq_poly_gcd(g, a, b); }
  long sqfree(T* radical, const T* a) const {
    fmpz_poly_t num, rad;
    fmpz_poly_init(num);
    fmpz_poly_init(rad);
    fmpq_poly_get_numerator(num, a);
    const long n = ZRing{}.sqfree(rad, num);
    fmpq_poly_set_fmpz_poly(radical, rad);
    fmpz_poly_clear(num);
    fmpz_poly_clear(rad);
    return n;
  }
  Summary summary(const T* a) const {
    fmpz_poly_t num;
    fmpz_poly_init(num);
    fmpq_poly_get_numerator(num, a);
    Summary s = ZRing{}.summary(num);
    const CheckField f{static_cast<u64>(check_prime)};
    const u64 den = fmpz_mod_check(fmpq_poly_denref(a));
    s.value = f.div(s.value, den);
    s.lead = f.div(s.lead, den);
    fmpz_poly_clear(num);
    return s;
  }
};

struct PrimeRing {
  using T = nmod_poly_struct;
  u64 p;
  void init(T* a) const { nmod_poly_init(a, p); }
  void clear(T* a) const { nmod_poly_clear(a); }
  void build(T* a, int which, long degree) const {
    nmod_poly_fit_length(a, degree + 1);
    for (long k = 0; k <= degree; ++k)
      nmod_poly_set_coeff_ui(a, k, static_cast<u64>(coefficient(which).at(k)) % p);
  }
  void monomial(T* a, long d) const { nmod_poly_set_coeff_ui(a, d, 1); }
  void mul(T* r, const T* a, const T* b) const { nmod_poly_mul(r, a, b); }
  void sqr(T* r, const T* a) const { nmod_poly_mul(r, a, a); }
  void add(T* r, const T* a, const T* b) const { nmod_poly_add(r, a, b); }
  void pow(T* r, const T* a, ulong e) const { nmod_poly_pow(r, a, e); }
  bool divides(T* q, const T* a, const T* b) const { return nmod_poly_divides(q, a, b) != 0; }
  void divexact(T* q, const T* a, const T* b) const { nmod_poly_div(q, a, b); }
  void divrem(T* q, T* r, const T* a, const T* b) const { nmod_poly_divrem(q, r, a, b); }
  Summary eval(const T* a) const { return number_summary(nmod_poly_evaluate_nmod(a, 3)); }
  void deriv(T* r, const T* a) const { nmod_poly_derivative(r, a); }
  void gcd(T* g, const T* a, const T* b) const { nmod_poly_gcd(g, a, b); }
  void xgcd(T* g, T* s, T* t, const T* a, const T* b) const { nmod_poly_xgcd(g, s, t, a, b); }
  void powmod(T* r, const T* a, ulong e, const T* m) const {
    nmod_poly_powmod_ui_binexp(r, a, e, m);
  }
  long factors(T* radical, const T* a, bool whole) const {
    nmod_poly_factor_t f;
    nmod_poly_factor_init(f);
    if (whole)
      nmod_poly_factor(f, a);
    else
      nmod_poly_factor_squarefree(f, a);
    nmod_poly_one(radical);
    for (slong i = 0; i < f->num; ++i) nmod_poly_mul(radical, radical, f->p + i);
    const long n = f->num;
    nmod_poly_factor_clear(f);
    return n;
  }
  long sqfree(T* radical, const T* a) const { return factors(radical, a, false); }
  long factor(T* radical, const T* a) const { return factors(radical, a, true); }
  Summary summary(const T* a) const {
    const long d = nmod_poly_degree(a);
    if (d < 0) return {};
    return {d, nmod_poly_evaluate_nmod(a, 3), nmod_poly_lead(a)[0]};
  }
};

// GF(2^k) on the context of the field, which outlives the row's polynomials.
struct BinaryRing {
  using T = fq_nmod_poly_struct;
  fq_nmod_ctx_t ctx;
  explicit BinaryRing(u64 size) {
    nmod_poly_t m;
    nmod_poly_init(m, 2);
    const u64 poly = size == 256 ? 0x11D : 0x1100B;
    for (int i = 0; (poly >> i) != 0; ++i) nmod_poly_set_coeff_ui(m, i, (poly >> i) & 1);
    fq_nmod_ctx_init_modulus(ctx, m, "y");
    nmod_poly_clear(m);
  }
  BinaryRing(const BinaryRing&) = delete;
  BinaryRing& operator=(const BinaryRing&) = delete;
  ~BinaryRing() { fq_nmod_ctx_clear(ctx); }
  void element(fq_nmod_t e, u64 bits) const {
    fq_nmod_zero(e, ctx);
    for (int i = 0; (bits >> i) != 0; ++i) nmod_poly_set_coeff_ui(e, i, (bits >> i) & 1);
  }
  static u64 bits(const fq_nmod_t e) {
    u64 r = 0;
    for (slong i = 0; i < e->length; ++i) r |= static_cast<u64>(e->coeffs[i]) << i;
    return r;
  }
  void init(T* a) const { fq_nmod_poly_init(a, ctx); }
  void clear(T* a) const { fq_nmod_poly_clear(a, ctx); }
  void build(T* a, int which, long degree) const {
    fq_nmod_poly_fit_length(a, degree + 1, ctx);
    fq_nmod_t e;
    fq_nmod_init(e, ctx);
    for (long k = 0; k <= degree; ++k) {
      element(e, static_cast<u64>(coefficient(which).at(k)));
      fq_nmod_poly_set_coeff(a, k, e, ctx);
    }
    fq_nmod_clear(e, ctx);
  }
  void monomial(T* a, long d) const {
    fq_nmod_t one;
    fq_nmod_init(one, ctx);
    fq_nmod_one(one, ctx);
    fq_nmod_poly_set_coeff(a, d, one, ctx);
    fq_nmod_clear(one, ctx);
  }
  void mul(T* r, const T* a, const T* b) const { fq_nmod_poly_mul(r, a, b, ctx); }
  void sqr(T* r, const T* a) const { fq_nmod_poly_sqr(r, a, ctx); }
  void add(T* r, const T* a, const T* b) const { fq_nmod_poly_add(r, a, b, ctx); }
  void pow(T* r, const T* a, ulong e) const { fq_nmod_poly_pow(r, a, e, ctx); }
  bool divides(T* q, const T* a, const T* b) const {
    return fq_nmod_poly_divides(q, a, b, ctx) != 0;
  }
  void divrem(T* q, T* r, const T* a, const T* b) const { fq_nmod_poly_divrem(q, r, a, b, ctx); }
  void divexact(T* q, const T* a, const T* b) const {
    T r;
    init(&r);
    divrem(q, &r, a, b);
    clear(&r);
  }
  Summary eval(const T* a) const {
    fq_nmod_t x, v;
    fq_nmod_init(x, ctx);
    fq_nmod_init(v, ctx);
    element(x, 3);
    fq_nmod_poly_evaluate_fq_nmod(v, a, x, ctx);
    const u64 r = bits(v);
    fq_nmod_clear(x, ctx);
    fq_nmod_clear(v, ctx);
    return number_summary(r);
  }
  void deriv(T* r, const T* a) const { fq_nmod_poly_derivative(r, a, ctx); }
  void gcd(T* g, const T* a, const T* b) const { fq_nmod_poly_gcd(g, a, b, ctx); }
  void xgcd(T* g, T* s, T* t, const T* a, const T* b) const {
    fq_nmod_poly_xgcd(g, s, t, a, b, ctx);
  }
  void powmod(T* r, const T* a, ulong e, const T* m) const {
    fq_nmod_poly_powmod_ui_binexp(r, a, e, m, ctx);
  }
  long factors(T* radical, const T* a, bool whole) const {
    fq_nmod_poly_factor_t f;
    fq_nmod_poly_factor_init(f, ctx);
    fq_nmod_t lead;
    fq_nmod_init(lead, ctx);
    if (whole)
      fq_nmod_poly_factor(f, lead, a, ctx);
    else
      fq_nmod_poly_factor_squarefree(f, a, ctx);
    fq_nmod_poly_one(radical, ctx);
    for (slong i = 0; i < f->num; ++i) fq_nmod_poly_mul(radical, radical, f->poly + i, ctx);
    const long n = f->num;
    fq_nmod_clear(lead, ctx);
    fq_nmod_poly_factor_clear(f, ctx);
    return n;
  }
  long sqfree(T* radical, const T* a) const { return factors(radical, a, false); }
  long factor(T* radical, const T* a) const { return factors(radical, a, true); }
  Summary summary(const T* a) const {
    const long d = fq_nmod_poly_degree(a, ctx);
    if (d < 0) return {};
    Summary s = eval(a);
    s.degree = d;
    s.lead = bits(a->coeffs + d);
    return s;
  }
};

// The row's polynomials by name, freed with the ring.
template <class R>
class Values {
 public:
  explicit Values(const R& ring) : ring_(ring) {}
  ~Values() {
    for (auto& [name, p] : polys_) ring_.clear(p.get());
  }
  typename R::T* operator[](const std::string& name) {
    auto& p = polys_[name];
    if (!p) {
      p = std::make_unique<typename R::T>();
      ring_.init(p.get());
    }
    return p.get();
  }

 private:
  const R& ring_;
  std::map<std::string, std::unique_ptr<typename R::T>> polys_;
};

// Prints the checked values in the order the languages print them: the
// degrees and counts first, then the values.
inline void print_checks(const Row& row, const std::map<std::string, Summary>& results) {
  const CheckField f{static_cast<u64>(check_field(row.ring))};
  for (const bool raw : {true, false})
    for (const Check& c : row.op->checks) {
      if ((c.kind == 'd' || c.kind == 'n') != raw) continue;
      const Summary& s = results.at(c.var);
      if (c.kind == 'd') {
        std::printf("@@v %ld\n", s.degree);
        continue;
      }
      const u64 v = c.kind == 'v' || c.kind == 'n'
                        ? s.value
                        : f.div(s.value, c.kind == 'm' ? s.lead : results.at(c.by).lead);
      std::printf("@@v %llu\n", static_cast<unsigned long long>(v));
    }
}

inline void print_time(double seconds) {
  std::printf("@@go\n@@time %.6f\n@@end\n", 1000 * seconds);
}

// Runs the row at size n in ring R, or prints nothing when R lacks its
// routine.
template <class R>
void flint_poly_row(const R& ring, const Row& row, long n, const FlintTiming& how) {
  Values<R> v(ring);
  for (const Operand& o : row.op->operands) {
    const long d = size_of(o.size, n);
    if (o.builder == 'X') {
      ring.monomial(v[o.name], d);
    } else if (o.builder == 'E' || o.builder == 'D') {
      if constexpr (requires { &R::set_coeff; }) {
        for (long k = 0; k <= d; ++k)
          if (o.builder == 'E') ring.set_coeff(v[o.name], k, 1);
        if (o.builder == 'D') {
          ring.set_coeff(v[o.name], d, -1);
          ring.set_coeff(v[o.name], 7, 1);
          ring.set_coeff(v[o.name], 0, -2);
        }
      }
    } else
      ring.build(v[o.name], o.builder - 'A', d);
  }
  for (const Derived& d : row.op->derived) {
    if (d.op == '*')
      ring.mul(v[d.target], v[d.left], v[d.right]);
    else
      ring.add(v[d.target], v[d.left], v[d.right]);
  }
  std::map<std::string, Summary> results;
  auto keep = [&](const char* name) { results[name] = ring.summary(v[name]); };
  double t = -1;
  switch (row.op->flint) {
    case Flint::mul:
      t = seconds_per_run(how, [&] { ring.mul(v["c"], v["a"], v["b"]); }), keep("c");
      break;
    case Flint::sqr: t = seconds_per_run(how, [&] { ring.sqr(v["c"], v["a"]); }), keep("c"); break;
    case Flint::add:
      t = seconds_per_run(how, [&] { ring.add(v["c"], v["a"], v["b"]); }), keep("c");
      break;
    case Flint::pow:
      t = seconds_per_run(how, [&] { ring.pow(v["c"], v["a"], static_cast<ulong>(n / 8 - 1)); }),
      keep("c");
      break;
    case Flint::deriv:
      t = seconds_per_run(how, [&] { ring.deriv(v["c"], v["a"]); }), keep("c");
      break;
    case Flint::divides: {
      bool k = false;
      t = seconds_per_run(how, [&] { k = ring.divides(v["q"], v["c"], v["b"]); });
      results["k"] = number_summary(k ? 1 : 0);
      keep("q");
      break;
    }
    case Flint::divexact:
      t = seconds_per_run(how, [&] { ring.divexact(v["q"], v["c"], v["b"]); }), keep("q");
      break;
    case Flint::quo:
    case Flint::rem:
    case Flint::divrem:
      t = seconds_per_run(how, [&] { ring.divrem(v["q"], v["r"], v["e"], v["b"]); });
      keep("q");
      keep("r");
      break;
    case Flint::eval: t = seconds_per_run(how, [&] { results["v"] = ring.eval(v["a"]); }); break;
    case Flint::gcd:
      t = seconds_per_run(how, [&] { ring.gcd(v["g"], v["u"], v["w"]); }), keep("g");
      break;
    case Flint::xgcd:
      if constexpr (requires { &R::xgcd; }) {
        t = seconds_per_run(how, [&] { ring.xgcd(v["g"], v["s"], v["t"], v["u"], v["w"]); });
        keep("g"), keep("s"), keep("t");
      }
      break;
    case Flint::powmod:
      if constexpr (requires { &R::powmod; })
        t = seconds_per_run(how, [&] { ring.powmod(v["c"], v["a"], 1000003, v["m"]); }), keep("c");
      break;
    case Flint::sqfree:
    case Flint::factor: {
      long k = 0;
      if (row.op->flint == Flint::sqfree) {
        t = seconds_per_run(how, [&] { k = ring.sqfree(v["r"], v["s"]); });
      } else if constexpr (requires { &R::factor; }) {
        t = seconds_per_run(how, [&] { k = ring.factor(v["r"], v["a"]); });
      }
      results["k"] = number_summary(static_cast<u64>(k));
      keep("r");
      break;
    }
    default: break;
  }
  if (t < 0) return;
  print_time(t);
  print_checks(row, results);
}

// s u + t w = g with s the residue of least absolute value modulo w/g (the
// cofactors of Euclid's algorithm, which Tavrin and gp give; a tie goes to
// the positive one).
inline void canonical_cofactors(fmpz_t s, fmpz_t t, const fmpz_t g, const fmpz_t u,
                                const fmpz_t w) {
  fmpz_t m, h;
  fmpz_init(m);
  fmpz_init(h);
  fmpz_divexact(m, w, g);
  fmpz_abs(m, m);
  fmpz_mod(s, s, m);
  fmpz_fdiv_q_2exp(h, m, 1);
  if (fmpz_cmp(s, h) > 0) fmpz_sub(s, s, m);
  fmpz_mul(h, s, u);
  fmpz_sub(t, g, h);
  fmpz_divexact(t, t, w);
  fmpz_clear(m);
  fmpz_clear(h);
}

// The integer rows.
inline void flint_integer_row(const Row& row, long n, const FlintTiming& how) {
  std::map<std::string, std::unique_ptr<fmpz[]>> v;
  auto at = [&](const std::string& name) -> fmpz* {
    auto& x = v[name];
    if (!x) {
      x = std::make_unique<fmpz[]>(1);
      fmpz_init(x.get());
    }
    return x.get();
  };
  for (const Operand& o : row.op->operands) {
    fmpz_set_ui(at(o.name), static_cast<ulong>(integer_base(o.builder)));
    fmpz_pow_ui(at(o.name), at(o.name),
                static_cast<ulong>(integer_exponent(o.builder, size_of(o.size, n))));
    fmpz_add_ui(at(o.name), at(o.name), static_cast<ulong>(integer_addend(o.builder)));
  }
  for (const Derived& d : row.op->derived) {
    if (d.op == '*')
      fmpz_mul(at(d.target), at(d.left), at(d.right));
    else
      fmpz_add(at(d.target), at(d.left), at(d.right));
  }
  double t = -1;
  switch (row.op->flint) {
    case Flint::mul: t = seconds_per_run(how, [&] { fmpz_mul(at("c"), at("a"), at("b")); }); break;
    case Flint::sqr: t = seconds_per_run(how, [&] { fmpz_mul(at("c"), at("a"), at("a")); }); break;
    case Flint::pow: t = seconds_per_run(how, [&] { fmpz_pow_ui(at("c"), at("w"), 16); }); break;
    case Flint::quo:
      t = seconds_per_run(how, [&] { fmpz_fdiv_q(at("q"), at("e"), at("b")); });
      break;
    case Flint::rem:
      t = seconds_per_run(how, [&] { fmpz_fdiv_r(at("r"), at("e"), at("b")); });
      break;
    case Flint::divexact:
      t = seconds_per_run(how, [&] { fmpz_divexact(at("q"), at("c"), at("b")); });
      break;
    case Flint::gcd: t = seconds_per_run(how, [&] { fmpz_gcd(at("g"), at("u"), at("w")); }); break;
    case Flint::xgcd:
      t = seconds_per_run(how, [&] { fmpz_xgcd(at("g"), at("s"), at("t"), at("u"), at("w")); });
      canonical_cofactors(at("s"), at("t"), at("g"), at("u"), at("w"));
      break;
    case Flint::sqrt: t = seconds_per_run(how, [&] { fmpz_sqrt(at("r"), at("e")); }); break;
    case Flint::powmod:
      t = seconds_per_run(how, [&] { fmpz_powm(at("c"), at("a"), at("b"), at("m")); });
      break;
    case Flint::fac:
      t = seconds_per_run(how, [&] { fmpz_fac_ui(at("c"), static_cast<ulong>(n)); });
      break;
    case Flint::read: {
      const std::string digits = decimal_digits(n);
      t = seconds_per_run(how, [&] { fmpz_set_str(at("a"), digits.c_str(), 10); });
      break;
    }
    case Flint::write:
      t = seconds_per_run(how, [&] { flint_free(fmpz_get_str(nullptr, 10, at("a"))); });
      break;
    default: break;
  }
  if (t < 0) return;
  print_time(t);
  std::map<std::string, Summary> results;
  for (auto& [name, x] : v) results[name] = number_summary(fmpz_mod_check(x.get()));
  print_checks(row, results);
  for (auto& [name, x] : v) fmpz_clear(x.get());
}

// FLINT's side of the row at size n, timed as `how` says
// (nothing printed when FLINT has no such routine).
inline void flint_row(const Row& row, long n, const FlintTiming& how) {
  if (row.op->flint == Flint::none) return;
  switch (row.ring) {
    case Ring::integers: flint_integer_row(row, n, how); break;
    case Ring::z: flint_poly_row(ZRing{}, row, n, how); break;
    case Ring::q: flint_poly_row(QRing{}, row, n, how); break;
    case Ring::gf256:
    case Ring::gf65536:
      flint_poly_row(BinaryRing(static_cast<u64>(info(row.ring).size)), row, n, how);
      break;
    default: flint_poly_row(PrimeRing{static_cast<u64>(info(row.ring).size)}, row, n, how); break;
  }
}

}  // namespace tavrin::bench::sweep
