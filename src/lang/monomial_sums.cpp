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
#include "numbers/bigint_wide.h"
#include "numbers/freelists.h"
#include "numbers/node_handles.h"
#include "toplevel/number_literals.h"
#include "toplevel/platform.h"

namespace tavrin {

long monomial_sums_read = 0;

namespace {

bool is_lower(char c) { return c >= 'a' && c <= 'z'; }
bool is_letter(char c) { return is_lower(c) || (c >= 'A' && c <= 'Z'); }
bool is_digit(char c) { return c >= '0' && c <= '9'; }
bool is_name_char(char c) { return is_letter(c) || is_digit(c) || c == '_'; }

// One term as read: its sign, its digits (empty: 1) and its exponents, one
// per adjoined variable, top first, in `exps` from `first`.
struct Term {
  bool negative;
  std::string_view digits;
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
    for (const std::string& t : last_) record_token(t.c_str());
  }

 private:
  std::deque<std::string> last_;
};

// The parser over the text: the current token's characters, then the rest
// of the line.
class Parser {
 public:
  Parser(std::string text, std::int32_t vars) : s_(std::move(text)), vars_(vars) {}

  // The whole sum up to its terminator; false on anything else.
  bool run() {
    bool negative = false;
    if (at('-')) {
      negative = true;
      step(1);
    }
    for (;;) {
      if (!term(negative)) return false;
      if (at('+') || at('-')) {
        negative = at('-');
        step(1);
        continue;
      }
      if (at(':') || at(';')) {
        terminator_ = s_[pos_];
        step(1);
        return true;
      }
      return false;
    }
  }

  std::size_t consumed() const { return pos_; }
  char terminator() const { return terminator_; }
  const std::vector<Term>& terms() const { return terms_; }
  const std::vector<std::int32_t>& exps() const { return exps_; }
  const RecentTokens& tokens() const { return tokens_; }

 private:
  bool at(char c) const { return pos_ < s_.size() && s_[pos_] == c; }
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

  // A run of digits; its length (0: none).
  std::size_t digits() {
    std::size_t k = pos_;
    while (k < s_.size() && is_digit(s_[k])) ++k;
    const std::size_t len = k - pos_;
    step(len);
    return len;
  }

  bool term(bool negative) {
    Term t{negative, {}, exps_.size()};
    exps_.resize(exps_.size() + static_cast<std::size_t>(vars_), 0);
    bool have_digits = false;
    for (;;) {
      if (pos_ < s_.size() && is_digit(s_[pos_])) {
        if (have_digits) return false;
        have_digits = true;
        const std::size_t from = pos_;
        const std::size_t len = digits();
        t.digits = std::string_view(s_).substr(from, len);
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
        std::int64_t e = 1;
        if (at('^')) {
          step(1);
          const std::size_t from = pos_;
          const std::size_t n = digits();
          if (n == 0 || n > 7) return false;
          e = std::stoll(std::string(s_.substr(from, n)));
          if (e == 0) return false;
        }
        std::int32_t& slot = exps_[t.first + static_cast<std::size_t>(d - 1)];
        if (slot + e > 100000000) return false;
        slot += static_cast<std::int32_t>(e);
      } else {
        return false;
      }
      if (!at('*')) break;
      step(1);
    }
    terms_.push_back(t);
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
  std::int32_t vars_;
  std::size_t pos_ = 0;
  char terminator_ = ':';
  bool first_taken_ = false;
  std::vector<Term> terms_;
  std::vector<std::int32_t> exps_;
  RecentTokens tokens_;
};

// A fresh number holding the signed decimal value of a term's digits.
imptr coefficient(const Term& t) {
  const std::string_view d = t.digits;
  if (d.empty()) return new_word_number(t.negative ? -1 : 1);
  if (d.size() <= 38) {
    unsigned __int128 v = 0;
    for (const char c : d) v = v * 10 + static_cast<unsigned>(c - '0');
    const auto w = static_cast<wide_int>(v);
    return new_wide_number(t.negative ? -w : w);
  }
  detail::ScratchNumber x;
  decimal_to_big(std::string(d), x.get());
  if (t.negative) in_place_neg(x.get());
  return x.release();
}

bool is_zero(imptr x) { return x->size == 1 && x->head->value == 0; }

// The sorted, combined terms as the polynomial of level `level` (1 = top):
// order[lo, hi) index the terms, their exponents descending from `level`.
class Builder {
 public:
  Builder(const std::vector<std::int32_t>& exps, std::int32_t vars, std::vector<imptr>& coefs)
      : exps_(exps), vars_(vars), coefs_(coefs) {}

  poly build(const std::vector<std::size_t>& order, std::size_t lo, std::size_t hi, std::int32_t level) {
    if (level > vars_) {
      imptr c = coefs_[order[lo]];
      coefs_[order[lo]] = nullptr;
      return detail::new_leaf(c);
    }
    detail::OwnedPoly head;
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
        return detail::new_term(0, c);
      }
      *tail = e == 0 && c->numb ? c : detail::new_term(e, c);
      tail = &(*tail)->next;
      i = j;
    }
    return head.release();
  }

 private:
  std::int32_t exp(std::size_t term, std::int32_t level) const {
    return exps_[term * static_cast<std::size_t>(vars_) + static_cast<std::size_t>(level - 1)];
  }
  const std::vector<std::int32_t>& exps_;
  std::int32_t vars_;
  std::vector<imptr>& coefs_;
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
    if (leftover[0] == '\0' || leftover[0] == ' ') return false;
    prefix.push_back(leftover[0]);
  } else if (leftover[0] != '\0') {
    return false;
  }
  const std::int32_t vars = number_polys;
  Parser parser(prefix + std::string(rest), vars);
  if (!parser.run()) return false;
  if (parser.consumed() < prefix.size()) return false;

  // The terms sorted by their exponents, top variable first, descending;
  // equal monomials combined, zero sums dropped.
  const std::vector<Term>& terms = parser.terms();
  const std::vector<std::int32_t>& exps = parser.exps();
  const auto v = static_cast<std::size_t>(vars);
  std::vector<std::size_t> order(terms.size());
  for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
  auto key = [&](std::size_t t) { return exps.begin() + static_cast<std::ptrdiff_t>(t * v); };
  std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
    return std::lexicographical_compare(key(b), key(b) + static_cast<std::ptrdiff_t>(v), key(a),
                                        key(a) + static_cast<std::ptrdiff_t>(v));
  });
  std::vector<imptr> coefs(terms.size(), nullptr);
  struct Owner {
    std::vector<imptr>& c;
    ~Owner() {
      for (imptr& x : c)
        if (x != nullptr) free_imag(&x);
    }
  } owner{coefs};
  std::vector<std::size_t> kept;
  kept.reserve(order.size());
  for (std::size_t i = 0; i < order.size();) {
    std::size_t j = i + 1;
    while (j < order.size() && std::equal(key(order[i]), key(order[i]) + static_cast<std::ptrdiff_t>(v), key(order[j])))
      ++j;
    imptr c = coefficient(terms[order[i]]);
    coefs[order[i]] = c;
    for (std::size_t k = i + 1; k < j; ++k) {
      imptr d = coefficient(terms[order[k]]);
      fastsum(c, d);
      free_imag(&d);
    }
    if (is_zero(c)) {
      free_imag(&coefs[order[i]]);
    } else {
      kept.push_back(order[i]);
    }
    i = j;
  }

  // The value: 0, a constant, or the polynomial.
  quoly value = nullptr;
  if (kept.empty()) {
    value = detail::new_number_value(new_word_number(0));
  } else {
    Builder builder(exps, vars, coefs);
    detail::OwnedPoly p;
    p.p = builder.build(kept, 0, kept.size(), 1);
    if (p.p->numb && p.p->next == nullptr) {
      imptr c = p.p->ncoef;
      p.p->ncoef = nullptr;
      free_poly(&p.p);
      value = detail::new_number_value(c);
    } else {
      value = detail::new_ratfun_value(p.release(), nullptr);
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
