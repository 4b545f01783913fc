#include "toplevel/display.h"

#include <cmath>

#include "core/errors.h"
#include "core/globals.h"
#include "core/mode_guard.h"
#include "numbers/base10.h"
#include "numbers/bigint.h"
#include "numbers/bigint_divide.h"
#include "numbers/bigint_multiply.h"
#include "numbers/node_handles.h"
#include "poly/poly_measures.h"
#include "poly/poly_repr.h"
#include "toplevel/scanner.h"
#include "toplevel/state.h"

namespace tavrin {

using nodes::ScratchNumber;

bool linesuppression = true;
std::int32_t number_line_breaks = 0;

namespace {

// The decimal digits of 0 <= v < 10^8 (1 for 0).
std::int32_t digit_count(std::int32_t v) {
  std::int32_t d = 1;
  while (v >= 10 && d < 8) {
    v /= 10;
    ++d;
  }
  return d;
}

// The sign of a big integer as its limbs carry it (the first non-zero limb).
bool negative_limbs(imptr y) {
  for (numptr l = y->head; l != nullptr; l = l->next)
    if (l->value != 0) return l->value < 0;
  return false;
}

std::int32_t magnitude(std::int32_t v) { return v < 0 ? -v : v; }

bool is_zero_number(imptr n) {
  return n->head == nullptr || (n->head == n->tail && n->head->value == 0);
}

// The decimal approximation of the rational number num / den that follows
// it at the terminal: ";  or  ", the truncated quotient, ".", and 8 *
// disp_size digits of the fraction, then the newline.
void write_approximation(std::FILE* outf, imptr num, imptr den, std::int32_t* mylength,
                         std::int32_t* lines, bool extra_space) {
  BigModeGuard big;
  ScratchNumber quot, rem, digits, scaled, abs_den;
  divide(num, den, quot.get(), rem.get());
  std::fputs(";  or  ", outf);
  checklength(outf, true, mylength, lines);
  adjlength(mylength, 7);
  checklength(outf, true, mylength, lines);
  if (is_zero_number(quot.get()) && negative_limbs(rem.get())) std::fputc('-', outf);
  showint(outf, quot.get(),
          {.unpadded_first = true, .extra_space = extra_space, .to_terminal = true}, mylength);
  std::fputc('.', outf);
  adjlength(mylength, 1);
  checklength(outf, true, mylength, lines);
  abs_val_num(rem.get(), rem.get());
  abs_val_num(den, abs_den.get());
  multiply(rem.get(), &disp_cons, rem.get());
  divide(rem.get(), abs_den.get(), digits.get(), scaled.get());
  *mylength += 1;
  showint(outf, digits.get(),
          {.leading_zeros = true, .extra_space = extra_space, .to_terminal = true}, mylength);
  std::fputc('\n', outf);
}

}  // namespace

void write_break(std::FILE* outf, bool outf_is_tty) {
  if (uglyprint) {
    std::fputc(continuation, outf);
  } else if (outf_is_tty) {
    std::fputc(' ', outf);
    std::fputc(continuation, outf);
  }
  std::fputc('\n', outf);
}

void checklength(std::FILE* outf, bool outf_is_tty, std::int32_t* mylength, std::int32_t* lines) {
  if (*mylength < dispcutoff) return;
  write_break(outf, outf_is_tty);
  std::fflush(outf);
  *mylength = 0;
  *lines += 1;
}

void checklength320(std::FILE* outf, bool outf_is_tty, std::int32_t* mylength) {
  if (*mylength < dispcutoff) return;
  write_break(outf, outf_is_tty);
  *mylength = 0;
}

void adjlength(std::int32_t* mylength, std::int32_t n) {
  *mylength += *mylength >= dispcutoff - 8 ? 8 : n;
}

void blank_space(std::FILE* outf, std::int32_t* mylength) {
  if (uglyprint) return;
  std::fputc(' ', outf);
  *mylength += 1;
}

void doblanks(std::FILE* outf, std::int32_t ind) {
  if (ind >= dispcutoff - 3) ind = dispcutoff - 12;
  for (std::int32_t k = 0; k < ind; ++k) std::fputc(' ', outf);
}

void showint(std::FILE* outf, imptr y, const ShowintOptions& how, std::int32_t* mylength) {
  const bool flag = how.unpadded_first;
  const bool zeros_flag = how.leading_zeros;
  const bool base10_flag = how.base10;
  const bool indent_flag = how.indent;
  const bool extra_space = how.extra_space;
  const bool outf_is_tty = how.to_terminal;
  ScratchNumber converted;
  imptr b = y;
  if (!base10_flag) {
    if (y->size > 15) {
      verybig_base_10(y->head, y->tail, y->size, converted.get());
    } else {
      make_base_10(y, converted.get());
    }
    b = converted.get();
  }

  if (zeros_flag) {
    const std::int32_t zeros = (disp_size - b->size) * 8;
    for (std::int32_t k = 1; k <= zeros; ++k) {
      std::fputc('0', outf);
      *mylength += 1;
      if (k % 8 == 0) {
        checklength320(outf, outf_is_tty, mylength);
        std::fputc(' ', outf);
      }
    }
  }
  if (b->size >= 2 && b->head != nullptr && b->head->value == 0)
    tavrin_error("bad 0 node found in showint", true);

  const bool negative = negative_limbs(b);
  if (!indent_flag && negative) {
    std::fputc('-', outf);
    *mylength += 1;
    if (extra_space && !uglyprint) std::fputc(' ', outf);
  }
  if (b->head == nullptr) return;

  for (numptr l = b->head; l != nullptr; l = l->next) {
    const std::int32_t v = magnitude(l->value);
    if (l == b->head && flag) {
      const std::int32_t d = digit_count(v);
      if (indent_flag) {
        for (std::int32_t k = d; k < 8; ++k) std::fputc(' ', outf);
        std::fputc(negative ? '-' : ' ', outf);
        std::fprintf(outf, "%d", v);
        *mylength += 8;
      } else {
        std::fprintf(outf, "%d", v);
        *mylength += d;
      }
    } else {
      std::fprintf(outf, "%08d", v);
      *mylength += 8;
    }
    if (l->next == nullptr || *mylength < dispcutoff || uglyprint) continue;
    if (outf_is_tty) {
      std::fputc(' ', outf);
      std::fputc(continuation, outf);
      std::fputc('\n', outf);
      *mylength = 0;
      ++number_line_breaks;
      std::fputc(' ', outf);
    } else {
      std::fputc(' ', outf);
    }
  }
}

void display(std::FILE* outf, bool outf_is_tty, bool flag, imptr a, std::int32_t* mylength,
             bool extra_space) {
  if (flotemode) {
    const long double x = a->flote;
    if (extra_space) {
      std::fprintf(outf, "- %.20Lg", -x);
    } else {
      std::fprintf(outf, "%.20Lg", x);
    }
    if (x == 0) {
      *mylength += 1;
    } else if (std::isfinite(x) && x == std::floor(x)) {
      *mylength += static_cast<std::int32_t>(std::floor(std::log(std::fabs(x)) / 2.3L)) + 1;
    } else {
      *mylength += 22;
    }
    return;
  }
  if (lintmode) {
    std::int32_t v = a->lint;
    if (modularmode && alt_form_display && half_modulus < v && v < modulus) v -= modulus;
    std::int64_t shown = v;
    if (extra_space && shown < 0) {
      std::fputs("- ", outf);
      shown = -shown;
    }
    std::fprintf(outf, "%lld", static_cast<long long>(shown));
    *mylength += v == 0 ? 1 : static_cast<std::int32_t>(0.3 * logg2lint(v) + 0.5) + 1;
    return;
  }
  showint(outf, a,
          {.unpadded_first = true,
           .indent = flag,
           .extra_space = extra_space,
           .to_terminal = outf_is_tty},
          mylength);
}

void quoly_display(std::FILE* outf, quoly p, std::int32_t* mylength, const tokentipe* endchar,
                   polypt q, const DisplayOptions& how) {
  const bool outf_is_tty = how.to_terminal;
  const bool flag = how.complete;
  linesuppression = do_line_sup;
  if (p->numb) {
    if (how.char_flag) {
      std::fputc(static_cast<unsigned char>(convert_to_int(p->ncoef)), outf);
    } else {
      display(outf, outf_is_tty, flag, p->ncoef, mylength, false);
    }
  } else {
    const bool has_denom = p->denom != nullptr;
    const bool parenthesised =
        (has_denom && !poly_small(p->numer)) || (!outf_is_tty && !p->rat && !monomial_list);
    if (outf_is_tty && how.leadoff && promptsize > 0) std::fputc(' ', stdout);
    std::int32_t lines = 0;
    if (parenthesised) {
      std::fputc('(', outf);
      *mylength += 1;
      blank_space(outf, mylength);
    }
    poly_display(outf, p->numer, mylength, endchar, q,
                 {.to_terminal = outf_is_tty,
                  .complete = has_denom ? false : flag,
                  .extra_space = how.extra_space},
                 &lines);
    if (parenthesised) {
      blank_space(outf, mylength);
      std::fputc(')', outf);
      *mylength += 1;
    }
    if (has_denom) {
      blank_space(outf, mylength);
      std::fputc('/', outf);
      *mylength += 1;
      blank_space(outf, mylength);
      const bool denom_parenthesised = !poly_small(p->denom);
      if (denom_parenthesised) {
        std::fputc('(', outf);
        *mylength += 1;
        blank_space(outf, mylength);
      }
      linesuppression = do_line_sup;
      lines = 0;
      poly_display(outf, p->denom, mylength, endchar, q, {.to_terminal = outf_is_tty}, &lines);
      if (denom_parenthesised) {
        blank_space(outf, mylength);
        std::fputc(')', outf);
        *mylength += 1;
      }
    }
    const bool constant_parts =
        p->numer != nullptr && p->numer->numb && (p->denom == nullptr || p->denom->numb);
    if (!lintmode && p->rat && disp_size >= 1 && outf_is_tty && constant_parts) {
      if (!flag) return;
      write_approximation(outf, p->numer->ncoef, has_denom ? p->denom->ncoef : &number_1, mylength,
                          &lines, how.extra_space);
      if (polynames != nullptr && extra_line) std::fputc('\n', stdout);
      return;
    }
  }
  if (flag) {
    if (outf_is_tty) {
      std::fputc('\n', outf);
    } else {
      std::fprintf(outf, "%s\n", endchar->name);
    }
    if (polynames != nullptr && extra_line) std::fputc('\n', stdout);
  } else if (!outf_is_tty && how.linend) {
    std::fprintf(outf, "%s\n", endchar->name);
    *mylength = 4;
  }
}

}  // namespace tavrin
