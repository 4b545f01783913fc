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
#include "gcd/gcd.h"
#include "gcd/modular_gcd.h"
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

namespace tavrin {

using detail::degree;
using detail::is_bare_leaf;
using detail::OwnedPoly;
using detail::ScratchNumber;

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
  static poly push(poly d, poly head) { return detail::new_term(0, d, head); }
  static void free_all(poly* head) { free_poly(head); }
};

using PrimeList = RecentFirst<PrimeLinks>;
using DigitList = RecentFirst<DigitLinks>;

// The state of one run of basic_mod_method that the stability walk shares:
// the current and previous products of primes with their halves.
struct basic_mod_method_EnvRec {
  ScratchNumber ucoef, halfnewprod, newprod, prevcoef, halfprod, prod;
};

// c taken into the symmetric range of m (c - m when c > half): into out.
void symmetric(imptr c, imptr half, imptr m, imptr out) {
  num_assign(c, out);
  if (bigger(out, half)) fastdiff(out, m);
}

void append(poly** tail, poly node) {
  **tail = node;
  *tail = &node->next;
}

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
        append(&tail, detail::new_leaf(n.release()));
      }
    } else {
      OwnedPoly q;
      if (!check_equivalent(u->pcoef, prev->pcoef, q.cell(), env)) return false;
      if (q.p != nullptr) {
        if (u->exp == 0 && is_bare_leaf(q.p)) {
          append(&tail, q.release());  // a number at exponent 0 is the constant leaf
        } else {
          append(&tail, detail::new_term(u->exp, q.release()));
        }
      }
    }
    u = u->next;
    prev = prev->next;
  }
  *ans = out.release();
  return true;
}

// The content of g divided out in place (find_gcdcoefs); its value in c.
void divide_by_content(poly* g, imptr c) {
  find_gcdcoefs(*g, c);
  if (is_longint(c, 1)) return;
  OwnedPoly divisor;
  divisor.p = detail::new_leaf(nullptr);
  newimag(&divisor.p->ncoef);
  num_assign(c, divisor.p->ncoef);
  poly_quot(*g, divisor.p, g, content_division_tag);
}

}  // namespace

bool use_modular(poly n, poly m, bool* success, bool* isnumb, polypt pt,
                 std::int16_t prime_number, imptr* prme, std::int32_t* expon) {
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
  // Without its table of primes the method declines (the others answer).
  if (!modular_methods_enabled || prime[prime_count] == nullptr || !usable(data_file::pprods)) return;
  imptr* table = prime;
  std::int32_t limit = prime_table_limit;
  std::int32_t i;
  bool big_primes_left = usable(data_file::bprimes);
  if (!involves_field(x, pt->depth) && !involves_field(y, pt->depth)) {
    i = select_prime(x, y, modular_gcd_prime_buffer, modular_gcd_prime_spread, prime_count, prime);
    if (i > limit) i = limit + 1;  // a shortened table (test hook) is used up at once
  } else {
    // The arguments involve the coefficient field. Modulo an auxiliary
    // prime P its relations split, the image ring is no field, and image
    // GCDs there are wrong or stop on elements without inverse: the method
    // declines (the driver's field GCD and the subresultant sequence answer).
    return;
  }
  ++modular_gcd_stats.runs;

  ScratchNumber G;
  binary_gcd(leading_coef(x)->ncoef, leading_coef(y)->ncoef, G.get());
  const std::int32_t dx = degree(x);
  const std::int32_t dy = degree(y);
  const std::int32_t bound = 4 * std::max(max_digits(x), max_digits(y));

  const ModulusGuard ring;
  const ScopedValue<bool> nonnegative(pos_mod, true);  // Garner digits in 0 .. p - 1
  modularmode = false;
  lintmode = false;
  basic_mod_method_EnvRec env;
  special_set(1, env.newprod.get());
  special_set(0, env.halfnewprod.get());
  PrimeList primes;
  DigitList digits;
  OwnedPoly U, Uprev;
  poly_set(0, U.cell());
  std::int32_t start = i;
  std::int32_t tried = 0;  // primes tried in this call (for the test hook)
  bool first = true;
  std::int32_t cand = 0;

  for (;;) {
    check_interrupt();
    free_poly(Uprev.cell());
    Uprev.p = U.release();
    num_assign(env.newprod.get(), env.prod.get());
    num_assign(env.halfnewprod.get(), env.halfprod.get());
    auto same_as_before = [&] {  // the pass leaves the combination unchanged
      poly_assign(Uprev.p, U.cell());
      num_assign(env.prod.get(), env.newprod.get());
      num_assign(env.halfprod.get(), env.halfnewprod.get());
    };

    if (i > limit) {
      if (big_primes_left) {
        big_primes_left = false;
        limit += big_prime_count;
        ++modular_gcd_stats.big_prime_switches;
      } else {
        return;
      }
    }
    if (i - start > 10 && logg2(env.prod.get()) > bound) return;

    std::int32_t p = i > prime_table_limit ? big_prime[i - prime_table_limit] : table[i]->head->value;
    if (modular_prime_hook != nullptr) p = modular_prime_hook(tried, p);
    ++tried;
    set_word_modulus(p);
    const std::int32_t Gp = limbs_mod(G.get(), p);

    OwnedPoly g;
    bool usable = Gp != 0;  // a prime dividing G would scale the image to 0
    if (usable) {
      ModularImage image;
      poly xi = x;
      poly yi = y;
      image.take(&xi);
      image.take(&yi);
      usable = xi != nullptr && yi != nullptr && degree(xi) >= dx && degree(yi) >= dy;
      if (usable) {
        image.take_modout_data();
        const PrimeImageMode mode(-16383);
        const auto t0 = std::chrono::steady_clock::now();
        if (modular_image_hook != nullptr) modular_image_hook();
        polygcd(xi, yi, g.cell(), pt);
        modular_gcd_stats.image_nanoseconds +=
            std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now() - t0)
                .count();
        mod_mult_num(g.p, Gp);
        ++modular_gcd_stats.images;
      }
    }
    if (!usable) {
      same_as_before();
      ++i;
      continue;
    }
    {
      const ScopedValue<bool> symmetric_lift(alt_form_display, true);
      poly_change_from_mod(g.p);
    }

    if (first) {
      if (2 * static_cast<std::int64_t>(Gp) < p) {
        ScratchNumber c;
        if (Gp == 1) {
          special_set(1, c.get());
        } else {
          divide_by_content(g.cell(), c.get());
        }
        if (is_bare_leaf(g.p) || (trial_poly_divide_noq(x, g.p, pt, true, true, false) &&
                                  trial_poly_divide_noq(y, g.p, pt, true, true, false))) {
          ++modular_gcd_stats.first_image;
          *r = g.release();
          *success = true;
          return;
        }
        if (!is_longint(c.get(), 1)) num_poly_mult(g.p, c.get());
      }
      cand = degree(g.p);
      first = false;
    }

    const std::int32_t dg = degree(g.p);
    if (dg > cand) {  // an unlucky prime
      if (verbose && windy)
        std::printf(" *** Alert. spurious factor in gcd. %" PRId32 ", %" PRId32 ", %" PRId32 "\n",
                    p, dg, cand);
      same_as_before();
      ++i;
      continue;
    }
    if (dg < cand) {  // every earlier prime of the run was unlucky
      if (verbose && windy)
        std::printf(" *** ALERT. spurious first factor in gcd. %" PRId32 ", %" PRId32 ", %" PRId32
                    "\n",
                    p, dg, cand);
      ++modular_gcd_stats.restarts;
      start = i;
      digits.clear();
      primes.clear();
      special_set(1, env.newprod.get());
      special_set(0, env.halfnewprod.get());
      free_poly(U.cell());
      poly_set(0, U.cell());
      first = true;
      continue;
    }

    // The Garner step: the new digit d = (g - Uprev) / Mprev modulo p.
    {
      OwnedPoly t;
      OwnedPoly pconst;
      pconst.p = detail::new_leaf(WordNumber(p).release());
      if (digits.head() == nullptr) {
        poly_set(0, t.cell());
      } else {
        t.p = Chinese(digits.head(), pconst.p, primes.head(), pt);
      }
      OwnedPoly w;
      poly_sub(g.p, t.p, w.cell());
      const std::int32_t inverse = inverse_prod(primes.head());
      if (inverse != 1) {
        const WordNumber inv(inverse);
        num_poly_mult(w.p, inv.get());
      }
      poly_remainder_inplace(w.cell(), pconst.p->ncoef);
      if (w.p == nullptr) poly_set(0, w.cell());
      OwnedPoly scaled;
      poly_assign(w.p, scaled.cell());
      num_poly_mult(scaled.p, env.prod.get());
      poly_add(Uprev.p, scaled.p, U.cell());
      digits.push(w.release());
      primes.push(p);
      const WordNumber pn(p);
      fast_mult(env.prod.get(), pn.get(), env.newprod.get());
      num_assign(env.newprod.get(), env.halfnewprod.get());
      shift_right_1(env.halfnewprod.get());
      ++modular_gcd_stats.garner_steps;
    }
    ++i;

    // The stability test: the last two combinations agree.
    if (degree(Uprev.p) == degree(U.p) && bigger(env.prod.get(), G.get())) {
      OwnedPoly ans;
      if (check_equivalent(U.p, Uprev.p, ans.cell(), env)) {
        if (ans.p == nullptr) {
          tavrin_error(" Basic mod method. r is nil.", true);
          return;
        }
        ScratchNumber c;
        divide_by_content(ans.cell(), c.get());
        *r = ans.release();
        *success = true;
        return;
      }
    }
  }
}

}  // namespace tavrin
