// The modular probe and the modular GCD method over the integers: GCD images
// modulo word primes, scaled by the GCD of the leading numbers and combined
// in mixed-radix (Garner) form until two successive combinations agree.
#include <algorithm>
#include <chrono>
#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <utility>

#include "core/errors.h"
#include "core/globals.h"
#include "core/interrupts.h"
#include "core/mode_guard.h"
#include "core/no_copy.h"
#include "core/thresholds.h"
#include "numbers/bigint.h"
#include "numbers/bigint_multiply.h"
#include "numbers/freelists.h"
#include "numbers/integer_gcd.h"
#include "numbers/mixed_mode.h"
#include "numbers/node_handles.h"
#include "poly/poly_add.h"
#include "poly/poly_chinese.h"
#include "poly/poly_exact_divide.h"
#include "poly/poly_images.h"
#include "poly/poly_measures.h"
#include "poly/poly_repr.h"
#include "poly/poly_trial.h"
#include "gcd/gcd.h"
#include "gcd/modular_gcd.h"

namespace tavrin {

using nodes::degree;
using nodes::is_bare_leaf;
using nodes::OwnedPoly;
using nodes::ScratchNumber;

modular_gcd_counts modular_gcd_stats;
std::int32_t (*modular_prime_hook)(std::int32_t index, std::int32_t p) = nullptr;
std::int16_t prime_table_limit = prime_count;
bool modular_methods_enabled = true;
void (*modular_image_hook)() = nullptr;

namespace {

// Caller tag of the divisions by the content (printed with their internal
// errors).
constexpr std::int32_t content_division_tag = -270;

// The entries of big_prime (1 .. 1516).
constexpr std::int32_t big_prime_count = 1516;

// n mod p in 0 .. p - 1 from n's limbs (the integer, whatever the mode).
std::int32_t limbs_mod(imptr n, std::int64_t p) {
  std::int64_t r = 0;
  for (numptr l = n->head; l != nullptr; l = l->next) r = (r * 268435456 + l->value) % p;
  if (r < 0) r += p;
  return static_cast<std::int32_t>(r);
}

// p, whose top list is at the given depth, involves a variable of the
// coefficient field (depth field_depth or deeper).
bool involves_field(poly p, std::int32_t depth) {
  if (field_depth <= 0) return false;
  for (poly t = p; t != nullptr; t = t->next) {
    if (t->numb) continue;
    if (depth >= field_depth && t->exp != 0) return true;
    if (!t->pcoef->numb && involves_field(t->pcoef, depth + 1)) return true;
  }
  return false;
}

// The prime-image mode of one prime for the lifetime of the guard: the
// arithmetic modulo the prime, no cache traffic (lookupgcd := cache_off),
// interrupts only where danger_ok allows. The caller's ModulusGuard puts
// back the modulus and the modes; this guard clears the modes again.
class PrimeImageMode {
 public:
  explicit PrimeImageMode(std::int16_t cache_off)
      : interrupts_(command_int, command_int && danger_ok), cache_(lookupgcd, cache_off) {
    modularmode = true;
    lintmode = true;
  }
  ~PrimeImageMode() {
    modularmode = false;
    lintmode = false;
  }
  PrimeImageMode(const PrimeImageMode&) = delete;
  PrimeImageMode& operator=(const PrimeImageMode&) = delete;

 private:
  ScopedValue<bool> interrupts_;
  ScopedValue<std::int16_t> cache_;
};

// A one-limb-or-two number holding v.
class WordNumber : public ScratchNumber {
 public:
  explicit WordNumber(std::int32_t v) { special_set(v, get()); }
};

// A list, most recent first, given back whole on every exit. Links says
// what it is made of: node (the record pointer), value (what push takes),
// push(v, head) (a fresh record for v in front of head) and free_all(&head).
template <class Links>
class RecentFirst : NoCopy {
 public:
  RecentFirst() = default;
  ~RecentFirst() { clear(); }
  void push(typename Links::value v) { head_ = Links::push(v, head_); }
  void clear() { Links::free_all(&head_); }
  typename Links::node head() const { return head_; }

 private:
  typename Links::node head_ = nullptr;
};

// The accepted primes: a limb list.
struct PrimeLinks {
  using node = numptr;
  using value = std::int32_t;
  static numptr push(std::int32_t p, numptr head) {
    numptr l = new_limb();
    l->value = p;
    l->next = head;
    return l;
  }
  static void free_all(numptr* head) {
    while (*head != nullptr) {
      numptr l = *head;
      *head = l->next;
      free_limb_list(l, l);
    }
  }
};

// The mixed-radix digits: term nodes whose coefficients are the digits.
struct DigitLinks {
  using node = poly;
  using value = poly;
  static poly push(poly d, poly head) { return nodes::new_term(0, d, head); }
  static void free_all(poly* head) { free_poly(head); }
};

using PrimeList = RecentFirst<PrimeLinks>;
using DigitList = RecentFirst<DigitLinks>;

// c taken into the symmetric range of m (c - m when c > half): into out.
void symmetric(imptr c, imptr half, imptr m, imptr out) {
  num_assign(c, out);
  if (bigger(out, half)) fastdiff(out, m);
}

void append(poly** tail, poly node) {
  **tail = node;
  *tail = &node->next;
}

// The content of g divided out in place (find_gcdcoefs); its value in c.
void divide_by_content(poly* g, imptr c) {
  find_gcdcoefs(*g, c);
  if (is_longint(c, 1)) return;
  OwnedPoly divisor;
  divisor.p = nodes::new_leaf(nullptr);
  newimag(&divisor.p->ncoef);
  num_assign(c, divisor.p->ncoef);
  poly_quot(*g, divisor.p, g, content_division_tag);
}

struct basic_mod_method_EnvRec;
bool check_equivalent(poly u, poly prev, poly* ans, basic_mod_method_EnvRec& env);

// The first index into the prime table for x and y, into *i; false when the
// method declines.
bool first_prime_index(poly x, poly y, polypt pt, std::int32_t* i) {
  // Without its table of primes the method declines (the others answer).
  if (!modular_methods_enabled || prime[prime_count] == nullptr || !usable(data_file::pprods))
    return false;
  if (involves_field(x, pt->depth) || involves_field(y, pt->depth)) {
    // The arguments involve the coefficient field. Modulo an auxiliary
    // prime P its relations split, the image ring is no field, and image
    // GCDs there are wrong or stop on elements without inverse: the method
    // declines (the driver's field GCD and the subresultant sequence answer).
    return false;
  }
  *i = select_prime(x, y, modular_gcd_prime_buffer, modular_gcd_prime_spread, prime_count, prime);
  if (*i > prime_table_limit)
    *i = prime_table_limit + 1;  // a shortened table (test hook) is used up at once
  return true;
}

// The state of one run of basic_mod_method: the walk through the prime
// tables, the mixed-radix digits and primes of the images taken so far, the
// current and previous combinations U, Uprev and the products of their
// primes with their halves (which the stability walk shares).
struct basic_mod_method_EnvRec : NoCopy {
  basic_mod_method_EnvRec(poly x_in, poly y_in, polypt pt_in, imptr G_in, std::int32_t i_in,
                          bool big_primes)
      : x(x_in),
        y(y_in),
        pt(pt_in),
        G(G_in),
        dx(degree(x_in)),
        dy(degree(y_in)),
        bound(4 * std::max(max_digits(x_in), max_digits(y_in))),
        i(i_in),
        start(i_in),
        big_primes_left(big_primes) {
    special_set(1, newprod.get());
    special_set(0, halfnewprod.get());
    poly_set(0, U.cell());
  }

  // Uprev := U, prod := newprod for the pass about to start.
  void next_pass() {
    free_poly(Uprev.cell());
    Uprev.p = U.release();
    num_assign(newprod.get(), prod.get());
    num_assign(halfnewprod.get(), halfprod.get());
  }

  // The pass leaves the combination unchanged.
  void same_as_before() {
    poly_assign(Uprev.p, U.cell());
    num_assign(prod.get(), newprod.get());
    num_assign(halfprod.get(), halfnewprod.get());
  }

  // *p := the prime of index i, made the modulus; false when the tables are
  // used up or the product of the primes has long passed the bound.
  bool next_prime(std::int32_t* p) {
    if (i > limit) {
      if (!big_primes_left) return false;
      big_primes_left = false;
      limit += big_prime_count;
      ++modular_gcd_stats.big_prime_switches;
    }
    if (i - start > 10 && logg2(prod.get()) > bound) return false;
    *p = i > prime_table_limit ? big_prime[i - prime_table_limit] : prime[i]->head->value;
    if (modular_prime_hook != nullptr) *p = modular_prime_hook(tried, *p);
    ++tried;
    set_word_modulus(*p);
    return true;
  }

  // g := the GCD of the images of x and y modulo the prime in force, times
  // Gp (G modulo p), lifted to the symmetric range; false when p divides G
  // (the image would be 0) or either image loses degree.
  bool gcd_image(std::int32_t Gp, OwnedPoly& g) {
    if (Gp == 0) return false;
    {
      ModularImage image;
      poly xi = x;
      poly yi = y;
      image.take(&xi);
      image.take(&yi);
      if (xi == nullptr || yi == nullptr || degree(xi) < dx || degree(yi) < dy) return false;
      image.take_modout_data();
      const PrimeImageMode mode(-16383);
      const auto t0 = std::chrono::steady_clock::now();
      if (modular_image_hook != nullptr) modular_image_hook();
      polygcd(xi, yi, g.cell(), pt);
      modular_gcd_stats.image_nanoseconds += std::chrono::duration_cast<std::chrono::nanoseconds>(
                                                 std::chrono::steady_clock::now() - t0)
                                                 .count();
      mod_mult_num(g.p, Gp);
      ++modular_gcd_stats.images;
    }
    const ScopedValue<bool> symmetric_lift(alt_form_display, true);
    poly_change_from_mod(g.p);
    return true;
  }

  // The first image of a run: true when it is the GCD itself (its content
  // divided out, it divides x and y); else its degree becomes the candidate.
  bool first_image_divides(OwnedPoly& g, std::int32_t Gp, std::int32_t p) {
    if (2 * static_cast<std::int64_t>(Gp) < p) {
      ScratchNumber c;
      if (Gp == 1) {
        special_set(1, c.get());
      } else {
        divide_by_content(g.cell(), c.get());
      }
      if (is_bare_leaf(g.p) || (trial_poly_divide_noq(x, g.p, pt, true, true, false) &&
                                trial_poly_divide_noq(y, g.p, pt, true, true, false)))
        return true;
      if (!is_longint(c.get(), 1)) num_poly_mult(g.p, c.get());
    }
    cand = degree(g.p);
    first = false;
    return false;
  }

  // Every earlier prime of the run was unlucky: the run starts again at i.
  void restart() {
    ++modular_gcd_stats.restarts;
    start = i;
    digits.clear();
    primes.clear();
    special_set(1, newprod.get());
    special_set(0, halfnewprod.get());
    free_poly(U.cell());
    poly_set(0, U.cell());
    first = true;
  }

  // The Garner step: the new digit d = (g - Uprev) / Mprev modulo p, and
  // U := Uprev + d Mprev.
  void garner_step(poly g, std::int32_t p) {
    OwnedPoly t;
    OwnedPoly pconst;
    pconst.p = nodes::new_leaf(WordNumber(p).release());
    if (digits.head() == nullptr) {
      poly_set(0, t.cell());
    } else {
      t.p = Chinese(digits.head(), pconst.p, primes.head(), pt);
    }
    OwnedPoly w;
    poly_sub(g, t.p, w.cell());
    const std::int32_t inverse = inverse_prod(primes.head());
    if (inverse != 1) {
      const WordNumber inv(inverse);
      num_poly_mult(w.p, inv.get());
    }
    poly_remainder_inplace(w.cell(), pconst.p->ncoef);
    if (w.p == nullptr) poly_set(0, w.cell());
    OwnedPoly scaled;
    poly_assign(w.p, scaled.cell());
    num_poly_mult(scaled.p, prod.get());
    poly_add(Uprev.p, scaled.p, U.cell());
    digits.push(w.release());
    primes.push(p);
    const WordNumber pn(p);
    fast_mult(prod.get(), pn.get(), newprod.get());
    num_assign(newprod.get(), halfnewprod.get());
    shift_right_1(halfnewprod.get());
    ++modular_gcd_stats.garner_steps;
  }

  // The stability test: true when the last two combinations agree, the
  // common value (its content divided out) in *r and *success set.
  bool stable(poly* r, bool* success) {
    if (degree(Uprev.p) != degree(U.p) || !bigger(prod.get(), G)) return false;
    OwnedPoly ans;
    if (!check_equivalent(U.p, Uprev.p, ans.cell(), *this)) return false;
    if (ans.p == nullptr) {
      tavrin_error(" Basic mod method. r is nil.", true);
      return true;
    }
    ScratchNumber c;
    divide_by_content(ans.cell(), c.get());
    *r = ans.release();
    *success = true;
    return true;
  }

  ScratchNumber ucoef, halfnewprod, newprod, prevcoef, halfprod, prod;
  PrimeList primes;
  DigitList digits;
  OwnedPoly U, Uprev;
  poly x, y;
  polypt pt;
  imptr G;  // the GCD of the leading numbers
  std::int32_t dx, dy, bound;
  std::int32_t limit = prime_table_limit;
  std::int32_t i, start;
  std::int32_t tried = 0;  // primes tried in this run (for the test hook)
  std::int32_t cand = 0;
  bool big_primes_left;
  bool first = true;
};

// The walk of two combinations together (see basic_mod_method): *ans := the
// common value in the symmetric ranges when u (modulo newprod) and prev
// (modulo prod) agree term by term, nil otherwise.
bool check_equivalent(poly u, poly prev, poly* ans, basic_mod_method_EnvRec& env) {
  OwnedPoly out;
  poly* tail = out.cell();
  for (;;) {
    if (u == nullptr) {
      if (prev != nullptr) return false;
      break;
    }
    if (prev == nullptr || u->numb != prev->numb || u->exp != prev->exp) return false;
    if (u->numb) {
      symmetric(u->ncoef, env.halfnewprod.get(), env.newprod.get(), env.ucoef.get());
      symmetric(prev->ncoef, env.halfprod.get(), env.prod.get(), env.prevcoef.get());
      if (!equal(env.ucoef.get(), env.prevcoef.get())) return false;
      const numptr h = env.ucoef.get()->head;
      if (h != nullptr && (h->value != 0 || h->next != nullptr)) {
        ScratchNumber n;
        num_assign(env.ucoef.get(), n.get());
        append(&tail, nodes::new_leaf(n.release()));
      }
    } else {
      OwnedPoly q;
      if (!check_equivalent(u->pcoef, prev->pcoef, q.cell(), env)) return false;
      if (q.p != nullptr) {
        if (u->exp == 0 && is_bare_leaf(q.p)) {
          append(&tail, q.release());  // a number at exponent 0 is the constant leaf
        } else {
          append(&tail, nodes::new_term(u->exp, q.release()));
        }
      }
    }
    u = u->next;
    prev = prev->next;
  }
  *ans = out.release();
  return true;
}

}  // namespace

bool use_modular(poly n, poly m, bool* success, bool* isnumb, polypt pt, std::int16_t prime_number,
                 imptr* prme, std::int32_t* expon) {
  if (!modular_methods_enabled) return false;
  // Images of the coefficient field modulo a prime are no fields (see
  // basic_mod_method): no prime is usable.
  if (involves_field(n, pt->depth) || involves_field(m, pt->depth)) return false;
  imptr nc = leading_coef(n)->ncoef;
  imptr mc = leading_coef(m)->ncoef;
  std::int32_t p = 0;
  for (std::int32_t j = 1; j <= prime_number; ++j) {
    if (prme == nullptr || prme[j] == nullptr) break;  // no table read yet
    const std::int32_t q = prme[j]->head->value;
    if (limbs_mod(nc, q) != 0 && limbs_mod(mc, q) != 0) {
      p = q;
      break;
    }
  }
  if (p == 0) {
    *success = false;
    return false;
  }
  const ModulusGuard ring(p);
  modularmode = false;  // the images are taken from the integer coefficients
  lintmode = false;
  ModularImage image;
  poly ni = n;
  poly mi = m;
  image.take(&ni);
  image.take(&mi);
  image.take_modout_data();
  OwnedPoly g;
  {
    const PrimeImageMode mode(-1000);
    if (number_polys == 1 || (height_is_1(ni) && height_is_1(mi))) {
      basic_poly_gcd(ni, mi, g.cell(), false, pt);
    } else {
      alg_c_count = 0;
      polygcd(ni, mi, g.cell(), pt, {.leave_early = true});
    }
  }
  *expon = degree(g.p);
  *success = *expon == 0;
  *isnumb = g.p->numb;
  return true;
}

void basic_mod_method(poly x, poly y, poly* r, bool* success, polypt pt) {
  *success = false;
  *r = nullptr;
  std::int32_t i = 0;
  if (!first_prime_index(x, y, pt, &i)) return;
  const bool big_primes_left = usable(data_file::bprimes);
  ++modular_gcd_stats.runs;

  ScratchNumber G;
  binary_gcd(leading_coef(x)->ncoef, leading_coef(y)->ncoef, G.get());
  const ModulusGuard ring;
  const ScopedValue<bool> nonnegative(pos_mod, true);  // Garner digits in 0 .. p - 1
  modularmode = false;
  lintmode = false;
  basic_mod_method_EnvRec run(x, y, pt, G.get(), i, big_primes_left);

  for (;;) {
    check_interrupt();
    run.next_pass();
    std::int32_t p = 0;
    if (!run.next_prime(&p)) return;
    const std::int32_t Gp = limbs_mod(G.get(), p);
    OwnedPoly g;
    if (!run.gcd_image(Gp, g)) {
      run.same_as_before();
      ++run.i;
      continue;
    }
    if (run.first && run.first_image_divides(g, Gp, p)) {
      ++modular_gcd_stats.first_image;
      *r = g.release();
      *success = true;
      return;
    }
    const std::int32_t dg = degree(g.p);
    if (dg > run.cand) {  // an unlucky prime
      if (verbose && windy)
        std::printf(" *** Alert. spurious factor in gcd. %" PRId32 ", %" PRId32 ", %" PRId32 "\n",
                    p, dg, run.cand);
      run.same_as_before();
      ++run.i;
      continue;
    }
    if (dg < run.cand) {  // every earlier prime of the run was unlucky
      if (verbose && windy)
        std::printf(" *** ALERT. spurious first factor in gcd. %" PRId32 ", %" PRId32 ", %" PRId32
                    "\n",
                    p, dg, run.cand);
      run.restart();
      continue;
    }
    run.garner_step(g.p, p);
    ++run.i;
    if (run.stable(r, success)) return;
  }
}

}  // namespace tavrin
