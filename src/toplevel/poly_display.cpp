#include "toplevel/poly_display.h"

#include <bit>
#include <cstring>
#include <utility>
#include <vector>

#include "core/errors.h"
#include "core/globals.h"
#include "numbers/bigint.h"
#include "poly/poly_repr.h"
#include "toplevel/display.h"
#include "toplevel/scanner.h"
#include "toplevel/state.h"

namespace tavrin {

// The outer (variable name, exponent) pairs of the monomial being written,
// the outermost first.
struct monomial_chain {
  std::vector<std::pair<const char*, std::int32_t>> levels;
};

namespace {

// Index of the highest set bit of |e| (e != 0).
std::int32_t high_bit(std::int32_t e) {
  const std::uint32_t m =
      e < 0 ? 0u - static_cast<std::uint32_t>(e) : static_cast<std::uint32_t>(e);
  return static_cast<std::int32_t>(std::bit_width(m)) - 1;
}

// Positivity of a number as the writers see it: the symmetric residue in
// modular mode with alt_form_display (not in characteristic 2).
bool positive(imptr n) {
  if (flotemode) return n->flote > 0.0L;
  if (lintmode) {
    std::int32_t v = n->lint;
    if (modularmode && alt_form_display && !finf && v > half_modulus) v -= modulus;
    return v > 0;
  }
  for (numptr l = n->head; l != nullptr; l = l->next)
    if (l->value != 0) return l->value > 0;
  return false;
}

// +1 or -1 when n is a unit the writers suppress, else 0.
int unit_sign(imptr n) {
  if (lintmode && modularmode && alt_form_display && !finf) {
    std::int32_t v = n->lint;
    if (v > half_modulus) v -= modulus;
    return v == 1 ? 1 : v == -1 ? -1 : 0;
  }
  bool minus = false;
  if (!equal_to_pm1(n, &minus)) return 0;
  return minus ? -1 : 1;
}

bool plain_number(poly c) { return c->numb && c->next == nullptr; }

// display, with the line breaks inside the number added to *lines.
void display_counted(std::FILE* outf, bool outf_is_tty, imptr a, std::int32_t* mylength,
                     bool extra_space, std::int32_t* lines) {
  const std::int32_t before = number_line_breaks;
  display(outf, outf_is_tty, false, a, mylength, extra_space);
  *lines += number_line_breaks - before;
}

// The cut-off of long terminal output: true when the value must stop here
// (the message written once per value).
bool cut_off(bool outf_is_tty, const std::int32_t* lines) {
  if (!do_line_sup || !outf_is_tty || *lines <= poly_display_max_lines) return false;
  if (linesuppression) {
    std::fputs("   ... more output suppressed ... \n", stdout);
    linesuppression = false;
  }
  return true;
}

// The variable name and its exponent: "x", "x^5", "x^-3" ("x^(-3)" with
// uglyprint), with their estimated lengths.
void write_power(std::FILE* outf, const char* name, std::int32_t e, std::int32_t* mylength) {
  std::fputs(name, outf);
  *mylength += static_cast<std::int32_t>(std::strlen(name));
  if (e > 1) {
    std::fprintf(outf, "^%li", static_cast<long>(e));
    *mylength += 1 + static_cast<std::int32_t>(0.3 * high_bit(e));
  } else if (e < 0) {
    std::fprintf(outf, uglyprint ? "^(%li)" : "^%li", static_cast<long>(e));
    *mylength += (uglyprint ? 3 : 1) + 1 + static_cast<std::int32_t>(0.3 * high_bit(e));
  }
}

// The line break of the monomial writer: the line check's break, without
// its flush.
void monomial_break(std::FILE* outf, bool outf_is_tty, std::int32_t* mylength,
                    std::int32_t* lines) {
  write_break(outf, outf_is_tty);
  *lines += 1;
  *mylength = 0;
}

void extra_zero_node() {
  tavrin_error(" Warning! extra 0-exponent node in this polynomial. Trash it.", true);
}

// Whether a "+" is written before the successor n of the nested form.
bool plus_before(poly n) {
  if (n->numb) return positive(n->ncoef);
  poly c = n->pcoef;
  if (plain_number(c)) return positive(c->ncoef);
  if (n->exp != 0) return true;
  return pos_leading_coef(n) || need_to(c, true);
}

// One monomial: the number leaf c with the chain of outer variables.
void write_monomial(std::FILE* outf, bool outf_is_tty, poly c, const monomial_chain& chain,
                    bool* notfirst, bool* extra_space, std::int32_t* mylength,
                    std::int32_t* lines) {
  if (!*notfirst) {
    *notfirst = true;
  } else if (positive(c->ncoef)) {
    std::fputs(uglyprint ? "+" : "+ ", outf);
    *mylength += uglyprint ? 1 : 2;
    checklength(outf, outf_is_tty, mylength, lines);
  } else {
    *extra_space = true;
  }
  const int unit = unit_sign(c->ncoef);
  const bool bare = chain.levels.empty();
  if (unit != 0 && bare) {
    display_counted(outf, outf_is_tty, c->ncoef, mylength, *extra_space, lines);
  } else if (unit == -1) {
    std::fputc('-', outf);
    *mylength += 1;
    if (!uglyprint) {
      std::fputc(' ', outf);
      *mylength += 1;
    }
  } else if (unit == 0) {
    display_counted(outf, outf_is_tty, c->ncoef, mylength, *extra_space, lines);
  }
  *extra_space = false;
  if (!bare) {
    if (unit == 0) std::fputc('*', outf);
    // The innermost (lowest) variable first.
    for (auto it = chain.levels.rbegin(); it != chain.levels.rend(); ++it) {
      if (it != chain.levels.rbegin()) std::fputc('*', outf);
      *mylength += 1;
      if (*mylength >= dispcutoff - 1) monomial_break(outf, outf_is_tty, mylength, lines);
      write_power(outf, it->first, it->second, mylength);
    }
  }
  blank_space(outf, mylength);
}

}  // namespace

bool need_to(poly p, bool flag) {
  if (p->numb) return positive(p->ncoef);
  if (p->exp != 0) return !plain_number(p->pcoef);
  return flag && need_to(p->pcoef, true);
}

void monomial_disp(std::FILE* outf, bool outf_is_tty, poly p, polypt q, monomial_chain& chain,
                   bool* notfirst, bool* extra_space, std::int32_t* mylength, std::int32_t* lines) {
  for (poly node = p; node != nullptr; node = node->next) {
    if (node->numb) {
      write_monomial(outf, outf_is_tty, node, chain, notfirst, extra_space, mylength, lines);
    } else {
      poly c = node->pcoef;
      if (node->exp == 0 && plain_number(c)) extra_zero_node();
      const bool pushed = node->exp != 0;
      if (pushed) chain.levels.emplace_back(q->let.name, node->exp);
      if (*mylength >= dispcutoff - 10) {
        monomial_break(outf, outf_is_tty, mylength, lines);
        if (cut_off(outf_is_tty, lines)) {
          if (pushed) chain.levels.pop_back();
          return;
        }
      }
      monomial_disp(outf, outf_is_tty, c, q->next, chain, notfirst, extra_space, mylength, lines);
      if (pushed) chain.levels.pop_back();
    }
    if (cut_off(outf_is_tty, lines)) return;
    if (node->next != nullptr && *mylength >= dispcutoff - 4)
      monomial_break(outf, outf_is_tty, mylength, lines);
  }
}

void poly_display(std::FILE* outf, poly p, std::int32_t* mylength, const tokentipe* endchar,
                  polypt q, const DisplayOptions& how, std::int32_t* lines) {
  const bool outf_is_tty = how.to_terminal;
  bool extra_space = how.extra_space;  // set again where no "+" goes before the next term
  if (q == nullptr && !p->numb) {
    tavrin_error(" q = NULL at start of poly_display.", true);
    return;  // no names to write the variables with
  }
  if (plain_number(p) && how.maybe_just_number) {
    display(outf, outf_is_tty, how.complete, p->ncoef, mylength, false);
    return;
  }
  if (monomial_list && q != nullptr && q->next != nullptr) {
    monomial_chain chain;
    bool notfirst = false;
    monomial_disp(outf, outf_is_tty, p, q, chain, &notfirst, &extra_space, mylength, lines);
    return;
  }
  for (poly node = p; node != nullptr; node = node->next) {
    bool item = false;  // a number or a parenthesised coefficient was written
    if (node->numb) {
      display_counted(outf, outf_is_tty, node->ncoef, mylength, extra_space, lines);
      item = true;
    } else {
      const std::int32_t e = node->exp;
      poly c = node->pcoef;
      const bool plain = plain_number(c);
      if (e == 0 && plain) extra_zero_node();
      const bool parens = e != 0 && !plain;
      if (parens) {
        checklength(outf, outf_is_tty, mylength, lines);
        std::fputc('(', outf);
        *mylength += 1;
        extra_space = false;
      }
      if (!plain) {
        poly_display(
            outf, c, mylength, endchar, q->next,
            {.to_terminal = outf_is_tty, .extra_space = extra_space, .maybe_just_number = false},
            lines);
        item = true;
      } else if (const int unit = unit_sign(c->ncoef); unit == -1) {
        std::fputc('-', outf);
        if (extra_space && !uglyprint) {
          std::fputc(' ', outf);
          *mylength += 1;
        }
        checklength(outf, outf_is_tty, mylength, lines);
      } else if (unit == 0) {
        display_counted(outf, outf_is_tty, c->ncoef, mylength, extra_space, lines);
        item = true;
      }
      if (parens) {
        std::fputc(')', outf);
        *mylength += 1;
        checklength(outf, outf_is_tty, mylength, lines);
      }
    }
    if (cut_off(outf_is_tty, lines)) return;
    extra_space = false;
    if (!node->numb && node->exp != 0) {
      if (uglyprint && item) std::fputc('*', outf);
      write_power(outf, q->let.name, node->exp, mylength);
    }
    if (node->numb && node->next != nullptr && !laurent) {
      tavrin_error(" Warning! numb next not nil in this polynomial.", true);
      std::fputc('\n', stdout);
      return;
    }
    if (node->next == nullptr) {
      cut_off(outf_is_tty, lines);
      return;
    }
    if (*mylength >= dispcutoff) {
      if (outf_is_tty && !uglyprint) {
        std::fputc(' ', outf);
        std::fputc(continuation, outf);
      }
      std::fputc('\n', outf);
      *lines += 1;
      *mylength = 1;
    } else {
      if (!uglyprint) std::fputc(' ', outf);
      *mylength += uglyprint ? 1 : 2;
    }
    if (plus_before(node->next)) {
      std::fputs(uglyprint ? "+" : "+ ", outf);
      *mylength += uglyprint ? 1 : 2;
      checklength(outf, outf_is_tty, mylength, lines);
      if (cut_off(outf_is_tty, lines)) return;
    } else {
      extra_space = true;
    }
  }
}

void crude_poly_disp(std::FILE* outf, bool outf_is_tty, poly p, std::int32_t depth, polypt q) {
  if (p == nullptr) return;
  {
    const bool saved_ugly = uglyprint;
    uglyprint = true;
    std::int32_t length = -1000000;
    for (std::int32_t k = 1; k < depth; ++k) std::fputs("  ", outf);
    if (q != nullptr) {
      std::fprintf(outf, "%s: ", q->let.name);
    } else {
      std::fputs(" : ", outf);
    }
    for (poly node = p; node != nullptr; node = node->next) {
      if (node->numb) {
        std::fputc('*', outf);
        display(outf, outf_is_tty, false, node->ncoef, &length, false);
        std::fputc(' ', outf);
      } else {
        std::fprintf(outf, "%li ", static_cast<long>(node->exp));
      }
    }
    std::fputc('\n', outf);
    uglyprint = saved_ugly;
  }
  if (plain_number(p)) return;
  for (poly node = p; node != nullptr; node = node->next) {
    if (node->numb) {
      for (std::int32_t k = 0; k < depth + 1; ++k) std::fputs("  ", outf);
      std::fputs(" **\n", outf);
    } else {
      crude_poly_disp(outf, outf_is_tty, node->pcoef, depth + 2, q != nullptr ? q->next : nullptr);
    }
  }
}

void special_print_poly(poly* p) {
  for (poly node = *p; node != nullptr; node = node->next) {
    imptr number = nullptr;
    if (node->numb) {
      number = node->ncoef;
    } else if (node->pcoef != nullptr && node->pcoef->numb && node->pcoef->next == nullptr) {
      number = node->pcoef->ncoef;
    }
    if (number == nullptr) {
      std::printf("val skipped, %d\n", static_cast<int>(node->exp));
    } else {
      std::printf("val %d, %d\n", static_cast<int>(number->lint), static_cast<int>(node->exp));
    }
  }
}

void epolylist() {
  std::vector<polypt> levels;
  for (polypt q = polynames; q != nullptr; q = q->next) levels.push_back(q);
  int on_line = 0;
  for (auto it = levels.rbegin(); it != levels.rend(); ++it) {
    polypt q = *it;
    if (q->p != nullptr) {
      if (on_line > 0) std::putchar('\n');
      std::printf(" %s;", q->let.name);
      poly rel = q->p->numb && q->alt != nullptr ? q->alt : q->p;
      std::printf("  subject to a poly of degree %0d", static_cast<int>(rel->numb ? 0 : rel->exp));
      if (q->field) std::printf(". This creates a field.");
      std::putchar('\n');
      on_line = 0;
      continue;
    }
    if (on_line == 12) {
      std::putchar('\n');
      on_line = 0;
    }
    std::printf(" %s;", q->let.name);
    ++on_line;
  }
  if (on_line > 0) std::putchar('\n');
}

}  // namespace tavrin
