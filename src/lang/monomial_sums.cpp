// Long sums of monomials read in one pass (monomial_sums.h).
#include "lang/monomial_sums.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

#include "core/globals.h"
#include "core/thresholds.h"
#include "numbers/bigint.h"
#include "numbers/bigint_multiply.h"
#include "numbers/bigint_wide.h"
#include "numbers/freelists.h"
#include "numbers/node_handles.h"
#include "toplevel/number_literals.h"
#include "toplevel/platform.h"
#include "toplevel/tokens.h"

namespace tavrin {

long monomial_sums_read = 0;

namespace {

bool is_lower(char c) { return c >= 'a' && c <= 'z'; }
bool is_letter(char c) { return is_lower(c) || (c >= 'A' && c <= 'Z'); }
using tokens::is_digit;
bool is_name_char(char c) { return is_letter(c) || is_digit(c) || c == '_'; }

// A monomial as read: its coefficient (owned) and its exponents, one per
// adjoined variable, top first, at `first` in the parser's pool.
struct Mono {
  imptr coef;
  std::size_t first;
};

// The tokens of the text after the first, the last token_ring_size of them,
// for the ring of recent tokens.
class RecentTokens {
 public:
  void add(std::string_view t) {
    if (last_.size() == token_ring_size) last_.pop_front();
    last_.emplace_back(t);
  }
  void record() const {
    for (const std::string& t : last_) {
      nametype name{};
      t.copy(name, sizeof(nametype) - 1);
      record_token(name);
    }
  }

 private:
  std::deque<std::string> last_;
};

// A fresh number holding the value of the decimal digits d.
imptr number_of_digits(std::string_view d) {
  if (d.size() <= 38) {
    unsigned __int128 v = 0;
    for (const char c : d) v = v * 10 + static_cast<unsigned>(c - '0');
    return new_wide_number(static_cast<wide_int>(v));
  }
  nodes::ScratchNumber x;
  decimal_to_big(std::string(d), x.get());
  return x.release();
}

// The parser over the text (the current token's characters, then the rest
// of the line): sums of terms, a term a product of factors, a factor a run
// of digits, a variable with an optional exponent, or a parenthesised sum.
// Blanks and tabs between tokens are skipped as the scanner skips them.
class Parser {
 public:
  Parser(std::string text, std::int32_t vars)
      : s_(std::move(text)), vars_(static_cast<std::size_t>(vars)) {}
  ~Parser() {
    for (Mono& m : monos_)
      if (m.coef != nullptr) free_imag(&m.coef);
  }
  Parser(const Parser&) = delete;
  Parser& operator=(const Parser&) = delete;

  // The whole sum up to its terminator; false on anything else.
  bool run() {
    if (!sum(0)) return false;
    if (at(':') || at(';')) {
      terminator_ = s_[pos_];
      step(1);
      return true;
    }
    return false;
  }

  std::size_t consumed() const { return pos_; }
  char terminator() const { return terminator_; }
  std::vector<Mono>& monos() { return monos_; }
  const std::vector<std::int32_t>& exps() const { return exps_; }
  const RecentTokens& tokens() const { return tokens_; }

 private:
  void blanks() {
    while (pos_ < s_.size() && (s_[pos_] == ' ' || s_[pos_] == '\t')) ++pos_;
  }
  bool at(char c) {
    blanks();
    return pos_ < s_.size() && s_[pos_] == c;
  }
  // Takes k one-character tokens.
  void step(std::size_t k) {
    for (std::size_t i = 0; i < k; ++i) note(std::string_view(s_).substr(pos_ + i, 1));
    pos_ += k;
  }
  void note(std::string_view t) {
    if (!first_taken_) {
      first_taken_ = true;  // the current token: the scanner recorded it
      return;
    }
    tokens_.add(t);
  }

  // A run of digits (at the current position); its text.
  std::string_view digits() {
    std::size_t k = pos_;
    while (k < s_.size() && is_digit(s_[k])) ++k;
    const std::string_view d = std::string_view(s_).substr(pos_, k - pos_);
    step(k - pos_);
    return d;
  }

  // The monomials of the terms from the current position up to a ")" or
  // the terminator, appended to monos_ from index `from` on.
  bool sum(int depth) {
    if (depth > 64) return false;
    bool negative = false;
    if (at('-')) {
      negative = true;
      step(1);
    }
    for (;;) {
      if (!term(negative, depth)) return false;
      if (at('+') || at('-')) {
        negative = at('-');
        step(1);
        continue;
      }
      return true;
    }
  }

  bool term(bool negative, int depth) {
    const std::size_t from = monos_.size();
    imptr scalar = nullptr;  // a digit factor, owned until used
    struct Scalar {
      imptr* x;
      ~Scalar() {
        if (*x != nullptr) free_imag(x);
      }
    } scalar_owner{&scalar};
    std::vector<std::int32_t> e(vars_, 0);
    bool nested = false;
    for (;;) {
      blanks();
      if (pos_ < s_.size() && is_digit(s_[pos_])) {
        if (scalar != nullptr) return false;
        scalar = number_of_digits(digits());
      } else if (pos_ < s_.size() && is_lower(s_[pos_])) {
        std::size_t k = pos_;
        while (k < s_.size() && is_name_char(s_[k])) ++k;
        const std::size_t len = k - pos_;
        const std::int32_t longest = namelength < 1 || namelength > 10 ? 10 : namelength;
        if (len > static_cast<std::size_t>(longest)) return false;
        const std::int32_t d = depth_of(std::string_view(s_).substr(pos_, len));
        if (d == 0) return false;
        note(std::string_view(s_).substr(pos_, len));
        pos_ = k;
        std::int64_t x = 1;
        if (at('^')) {
          step(1);
          blanks();
          const std::string_view ds = digits();
          if (ds.empty() || ds.size() > 7) return false;
          x = std::stoll(std::string(ds));
          if (x == 0) return false;
        }
        std::int32_t& slot = e[static_cast<std::size_t>(d - 1)];
        if (slot + x > 100000000) return false;
        slot += static_cast<std::int32_t>(x);
      } else if (pos_ < s_.size() && s_[pos_] == '(') {
        if (nested) return false;  // a product of two sums: left to the evaluator
        nested = true;
        step(1);
        if (!sum(depth + 1) || !at(')')) return false;
        step(1);
      } else {
        return false;
      }
      if (at('*')) {
        step(1);
        continue;
      }
      blanks();
      if (pos_ < s_.size() && is_lower(s_[pos_])) continue;  // x y is x * y
      break;
    }
    if (!nested) {
      monos_.push_back({scalar != nullptr ? scalar : new_word_number(1), exps_.size()});
      scalar = nullptr;
      exps_.resize(exps_.size() + vars_, 0);
    }
    // The factors outside the parentheses times every monomial of the term.
    for (std::size_t i = from; i < monos_.size(); ++i) {
      Mono& m = monos_[i];
      for (std::size_t v = 0; v < vars_; ++v) {
        std::int32_t& slot = exps_[m.first + v];
        if (static_cast<std::int64_t>(slot) + e[v] > 100000000) return false;
        slot += e[v];
      }
      if (nested && scalar != nullptr) fast_mult(m.coef, scalar, m.coef);
      if (negative) in_place_neg(m.coef);
    }
    return true;
  }

  // The depth of the adjoined variable so named, 0 for none.
  static std::int32_t depth_of(std::string_view name) {
    std::int32_t d = 1;
    for (polypt p = polynames; p != nullptr; p = p->next, ++d)
      if (name == std::string_view(p->let.name)) return d;
    return 0;
  }

  std::string s_;
  std::size_t vars_;
  std::size_t pos_ = 0;
  char terminator_ = ':';
  bool first_taken_ = false;
  std::vector<Mono> monos_;
  std::vector<std::int32_t> exps_;
  RecentTokens tokens_;
};

bool is_zero(imptr x) { return x->size == 1 && x->head->value == 0; }

// The sorted, combined terms as the polynomial of level `level` (1 = top):
// order[lo, hi) index the terms, their exponents descending from `level`.
class Builder {
 public:
  Builder(const std::vector<std::int32_t>& exps, std::int32_t vars, std::vector<Mono>& monos)
      : exps_(exps), vars_(vars), monos_(monos) {}

  poly build(const std::vector<std::size_t>& order, std::size_t lo, std::size_t hi,
             std::int32_t level) {
    if (level > vars_) {
      imptr c = monos_[order[lo]].coef;
      monos_[order[lo]].coef = nullptr;
      return nodes::new_leaf(c);
    }
    nodes::OwnedPoly head;
    poly* tail = head.cell();
    std::size_t i = lo;
    while (i < hi) {
      const std::int32_t e = exp(order[i], level);
      std::size_t j = i + 1;
      while (j < hi && exp(order[j], level) == e) ++j;
      poly c = build(order, i, j, level + 1);
      if (e == 0 && i == lo) {
        // the variable is absent: a constant stays bare, a polynomial is padded
        if (c->numb) return c;
        return nodes::new_term(0, c);
      }
      *tail = e == 0 && c->numb ? c : nodes::new_term(e, c);
      tail = &(*tail)->next;
      i = j;
    }
    return head.release();
  }

 private:
  std::int32_t exp(std::size_t m, std::int32_t level) const {
    return exps_[monos_[m].first + static_cast<std::size_t>(level - 1)];
  }
  const std::vector<std::int32_t>& exps_;
  std::int32_t vars_;
  std::vector<Mono>& monos_;
};

bool route_applies(nameptr* flag) {
  if (*flag != nullptr || lintmode || flotemode || modularmode || integerflag || laurent ||
      number_polys <= 0 || field_depth > 0 || pseudo_polynames != nullptr)
    return false;
  for (polypt p = polynames; p != nullptr; p = p->next)
    if (p->p != nullptr) return false;
  return true;
}

}  // namespace

bool read_monomial_sum(textptr inf, nameptr* flag, quolyptr n) {
  if (!route_applies(flag) || inf == nullptr || *inf == nullptr) return false;
  TextInput& in = **inf;
  const std::string_view rest = in.rest_of_line();
  if (rest.size() < static_cast<std::size_t>(monomial_sum_chars)) return false;
  // The current token's characters come first; a name's following
  // character has been taken from the stream already.
  std::string prefix = token.name;
  if (prefix.empty()) return false;
  if (is_letter(prefix[0])) {
    if (leftover[0] == '\0') return false;
    prefix.push_back(leftover[0]);
  } else if (leftover[0] != '\0') {
    return false;
  }
  const std::int32_t vars = number_polys;
  Parser parser(prefix + std::string(rest), vars);
  if (!parser.run()) return false;
  if (parser.consumed() < prefix.size()) return false;

  // The monomials sorted by their exponents, top variable first,
  // descending; equal ones combined, zero sums dropped.
  std::vector<Mono>& monos = parser.monos();
  const std::vector<std::int32_t>& exps = parser.exps();
  const auto v = static_cast<std::size_t>(vars);
  std::vector<std::size_t> order(monos.size());
  for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
  auto key = [&](std::size_t t) {
    return exps.begin() + static_cast<std::ptrdiff_t>(monos[t].first);
  };
  const auto width = static_cast<std::ptrdiff_t>(v);
  std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
    return std::lexicographical_compare(key(b), key(b) + width, key(a), key(a) + width);
  });
  std::vector<std::size_t> kept;
  kept.reserve(order.size());
  for (std::size_t i = 0; i < order.size();) {
    std::size_t j = i + 1;
    while (j < order.size() && std::equal(key(order[i]), key(order[i]) + width, key(order[j]))) ++j;
    imptr c = monos[order[i]].coef;
    for (std::size_t k = i + 1; k < j; ++k) fastsum(c, monos[order[k]].coef);
    if (!is_zero(c)) kept.push_back(order[i]);
    i = j;
  }

  // The value: 0, a constant, or the polynomial.
  quoly value = nullptr;
  if (kept.empty()) {
    value = nodes::new_number_value(new_word_number(0));
  } else {
    Builder builder(exps, vars, monos);
    nodes::OwnedPoly p;
    p.p = builder.build(kept, 0, kept.size(), 1);
    if (p.p->numb && p.p->next == nullptr) {
      imptr c = p.p->ncoef;
      p.p->ncoef = nullptr;
      free_poly(&p.p);
      value = nodes::new_number_value(c);
    } else {
      value = nodes::new_ratfun_value(p.release(), nullptr);
    }
  }
  // Everything built: the text is taken and the scanner moved past it.
  in.take(parser.consumed() - prefix.size());
  leftover[0] = '\0';
  leftover[1] = '\0';
  parser.tokens().record();
  token.name[0] = parser.terminator();
  token.name[1] = '\0';
  token.address = -1;
  free_quoly(n);
  *n = value;
  ++monomial_sums_read;
  return true;
}

}  // namespace tavrin
