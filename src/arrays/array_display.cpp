// Writers of arrays (array_display.h, arrdisplay in
// toplevel/language_services.h).
#include "arrays/array_display.h"

#include <cinttypes>
#include <cstring>

#include "core/error_codes.h"
#include "core/errors.h"
#include "core/globals.h"
#include "toplevel/charsets.h"
#include "toplevel/display.h"
#include "toplevel/state.h"
#include "arrays/array_store.h"
#include "arrays/sparse_store.h"

namespace tavrin {

namespace {

const tokentipe comma_end = {",", 1};
const tokentipe blank_end = {" ", 1};
const tokentipe no_end = {"", 0};

const char* const ten_blanks = "          ";

// One fetch for the three places a block's entries live: the paged store,
// a work array, the sparse frames. Returns nil for an undefined cell.
struct block_source {
  arrptr q;
  workptr stash;
  bool from_store;
  std::int32_t location, total_rows;

  quoly at(std::int32_t i, std::int32_t j) const {
    if (q != nullptr && q->spar != nullptr)
      return spar_retrieve(q->spar, location % total_rows + i + 1, location / total_rows + j + 1);
    const std::int64_t cell = std::int64_t{location} + i + std::int64_t{total_rows} * j;
    if (from_store) return *arp_cell(static_cast<std::int32_t>(cell));
    return stash->stash[cell];
  }
  bool sparse() const { return q != nullptr && q->spar != nullptr; }
  bool linear() const { return q != nullptr && q->linear; }
};

// The entry as the character of its code; error 121 (entry skipped) when it
// is not a number.
void write_char(std::FILE* outf, quoly v) {
  if (!v->numb) {
    error(character_display_entry_not_number_error, &quotesign);
    return;
  }
  std::int32_t length = 0;
  quoly_display(outf, v, &length, &no_end, polynames, {.char_flag = true});
}

// In a file a value the number reader cannot take is announced with "&_n",
// so that the polynomial reader reads it back.
void read_back_prefix(std::FILE* outf, quoly v) {
  if (monomial_list || uglyprint) return;
  const bool plain = v->numb || (v->rat && !lintmode);
  if (!plain) std::fputs("&_n ", outf);
}

void label(std::FILE* outf, const tokentipe* x, bool linear, std::int32_t r, std::int32_t c) {
  if (linear)
    std::fprintf(outf, " %s[%2" PRId32 "] := ", x->name, r);
  else
    std::fprintf(outf, " %s[%2" PRId32 ",%2" PRId32 "] := ", x->name, r, c);
}

void pad(std::FILE* outf, std::int32_t n) {
  for (; n > 0; --n) std::fputc(' ', outf);
}

struct block_shape {
  std::int32_t rows, cols, firstrow, firstcol, desired;
  bool tty, charprint, extras;
};

void pretty_form(std::FILE* outf, const tokentipe* x, const block_source& src,
                 const block_shape& b) {
  const std::int32_t namelen = static_cast<std::int32_t>(std::strlen(x->name));
  bool first = true;
  for (std::int32_t j = 0; j < b.cols; ++j) {
    for (std::int32_t i = 0; i < b.rows; ++i) {
      const bool last = j == b.cols - 1 && i == b.rows - 1;
      std::int32_t length = 0;
      if (b.extras) {
        if (b.tty) {
          label(outf, x, src.linear(), b.firstrow + i, b.firstcol + j);
          length = namelen + (src.linear() ? 15 : 18);
        } else if (first) {
          std::fprintf(outf, "[%s] := [( ", x->name);
        } else {
          std::fputs(ten_blanks, outf);
        }
      }
      first = false;
      const tokentipe* endtok = last ? &blank_end : &comma_end;
      const quoly v = src.at(i, j);
      if (v == nullptr) {
        if (b.tty)
          std::fputs("not defined.\n", outf);
        else
          std::fprintf(outf, "0%s\n", endtok->name);
      } else {
        if (b.charprint) {
          write_char(outf, v);
        } else {
          if (!b.tty) read_back_prefix(outf, v);
          quoly_display(outf, v, &length, endtok, polynames,
                        {.to_terminal = b.tty, .linend = !src.sparse()});
        }
        if (b.tty || src.sparse()) std::fputc('\n', outf);
      }
      if (i == b.rows - 1 && b.rows > 1 && j < b.cols - 1) std::fputs(" \n", outf);
    }
  }
  if (b.tty)
    std::fputs(" \n", outf);
  else
    std::fprintf(outf, "%s)];\n", ten_blanks);
}

void matrix_form(std::FILE* outf, const tokentipe* x, const block_source& src,
                 const block_shape& b) {
  std::int32_t indent = 0;
  if (b.tty) {
    if (!src.from_store) {
      if (b.extras) {
        std::fputs("[[ ", outf);
        indent = 3;
      } else if (!uglyprint) {
        std::fputs("   ", outf);
        indent = 3;
      }
    } else if (b.extras) {
      const bool level = levelcount > 1;
      if (level) std::fprintf(outf, "%" PRId32, levelcount);
      std::fprintf(outf, "%s[%s] := [[ ", prompt, x->name);
      indent = static_cast<std::int32_t>(std::strlen(prompt) + std::strlen(x->name)) + 9;
      if (prompt[0] == '\r') --indent;
      if (level) ++indent;
    }
  }
  for (std::int32_t i = 0; i < b.rows; ++i) {
    for (std::int32_t j = 0; j < b.cols; ++j) {
      const bool last = i == b.rows - 1 && j == b.cols - 1;
      const bool more_follow = j < b.cols - 1 || (src.linear() && i < b.rows - 1);
      std::int32_t length = 0;
      const quoly v = src.at(i, j);
      if (!b.tty) {
        if (v == quol_num_0) continue;
        label(outf, x, src.linear(), b.firstrow + i, b.firstcol + j);
      }
      if (v == nullptr) {
        std::fputs(last ? " * " : " *,", outf);
        if (more_follow && b.desired >= 4) pad(outf, b.desired - 3);
        continue;
      }
      if (b.charprint) {
        write_char(outf, v);
        length = 1;
      } else {
        if (b.extras && b.desired > 1) {
          std::fputc(' ', outf);
          length = 1;
        }
        if (!b.tty && b.extras) read_back_prefix(outf, v);
        quoly_display(outf, v, &length, &comma_end, polynames, {.to_terminal = b.tty});
      }
      if (!b.tty) {
        std::fputs("; \n", outf);
        ++length;
      } else if (!last && !(uglyprint && j == b.cols - 1)) {
        std::fputc(',', outf);
        ++length;
      }
      if (more_follow) pad(outf, b.desired - length);
    }
    if (!b.tty) continue;
    if (i < b.rows - 1) {
      if (!b.extras)
        std::fputc('\n', outf);
      else if (uglyprint)
        std::fputs("], [\n", outf);
      else
        std::fprintf(outf, " %c\n", continuation);
      doblanks(outf, indent);
    } else if (b.extras) {
      if (b.rows > 1)
        std::fputs("   ]]\n", outf);
      else
        std::fputs(b.charprint ? " ]]\n" : "  ]]\n", outf);
    }
  }
  if (b.tty && b.extras) std::fflush(stdout);
}

// The entries of row r of the sparse array p that hold a value, in column
// order.
template <class F>
void for_row_entries(arrptr p, std::int32_t r, F f) {
  for (colm_ptr c = *sparse_row(p->spar, r); c != nullptr; c = c->next)
    if (c->val != nullptr && !sparse_val_iszero(c->val)) f(c);
}

bool row_has_entries(arrptr p, std::int32_t r) {
  bool any = false;
  for_row_entries(p, r, [&](colm_ptr) { any = true; });
  return any;
}

}  // namespace

void sparse_display(std::FILE* outf, arrptr p, bool istty) {
  std::int32_t indent;
  if (istty && std::strcmp(p->name.name, "<") == 0) {
    std::fputs("[", outf);
    indent = 1;
  } else {
    const char* pr = istty ? prompt : "";
    std::fprintf(outf, "%s[%s] := [ ", pr, p->name.name);
    indent = static_cast<std::int32_t>(std::strlen(p->name.name) + std::strlen(pr)) + 8;
  }
  bool first = true;
  const std::int32_t shift = addresser - 1;
  for (std::int32_t r = 1; p->spar != nullptr && r <= p->rows; ++r) {
    if (!row_has_entries(p, r)) continue;
    if (!first) {
      if (istty) std::fprintf(outf, " %c", continuation);
      std::fputs(" \n", outf);
      doblanks(outf, indent);
    }
    first = false;
    std::fprintf(outf, "[%" PRId32, r + shift);
    std::int32_t length = indent + 3;
    colm_ptr lastc = nullptr;
    for_row_entries(p, r, [&](colm_ptr c) { lastc = c; });
    for_row_entries(p, r, [&](colm_ptr c) {
      std::fprintf(outf, ", [%" PRId32 ", ", c->coord + shift);
      length += 7;
      quoly_display(outf, c->val, &length, &no_end, polynames, {.to_terminal = istty});
      std::fputc(']', outf);
      ++length;
      if (length > 150 && c != lastc) {
        if (istty) std::fprintf(outf, " %c", continuation);
        std::fputs(" \n", outf);
        doblanks(outf, indent + 3);
        length = indent + 3;
      }
    });
    std::fputs(" ]", outf);
  }
  std::fputs(" ]", outf);
  if (!istty) std::fputc(';', outf);
  std::fputs(" \n \n", outf);
}

void better_sparse_display(std::FILE* outf, arrptr p) {
  const std::int32_t shift = addresser - 1;
  for (std::int32_t r = 1; p->spar != nullptr && r <= p->rows; ++r)
    for_row_entries(p, r, [&](colm_ptr c) {
      std::fprintf(outf, "%s[%" PRId32 ", %" PRId32 "] := ", p->name.name, r + shift,
                   c->coord + shift);
      std::int32_t length = 7;
      quoly_display(outf, c->val, &length, &no_end, polynames, {});
      std::fputs(";\n", outf);
    });
  std::fputs(" \n", outf);
}

void arrdis(std::FILE* outf, const tokentipe* x, std::int32_t location, std::int32_t rows,
            std::int32_t cols, std::int32_t total_rows) {
  std::fprintf(outf, "[%s] := [[ ", x->name);
  const std::int32_t indent = static_cast<std::int32_t>(std::strlen(x->name)) + 9;
  for (std::int32_t i = 0; i < rows; ++i) {
    for (std::int32_t j = 0; j < cols; ++j) {
      const bool last = i == rows - 1 && j == cols - 1;
      const quoly v = *arp_cell(location + i + total_rows * j);
      if (v != nullptr) {
        std::int32_t length = 0;
        std::fputc(' ', outf);
        quoly_display(outf, v, &length, &no_end, polynames, {});
        if (!last) std::fputs(", ", outf);
      } else {
        std::fputs(last ? "0  " : "0, ", outf);
      }
    }
    if (cols > 1) {
      if (i < rows - 1) {
        std::fputc('\n', outf);
        doblanks(outf, indent);
      } else {
        std::fputs("   ]];\n", outf);
      }
    }
  }
  if (cols == 1) std::fputs(*arp_cell(location + rows - 1) != nullptr ? "  ]];\n" : "]];\n", outf);
}

void arrdescribe(std::FILE* outf, arrptr p) {
  std::fprintf(outf, "Array %s[%1" PRId32, p->name.name, p->rows);
  if (p->linear)
    std::fputs("]", outf);
  else
    std::fprintf(outf, ",%1" PRId32 "]", array_cols(p));
  std::fputs(p->spar != nullptr ? " Sparse;\n" : ";\n", outf);
}

void arrdisplay(std::FILE* outf, tokentipe* x, arrptr q, std::int32_t location, std::int32_t rows,
                std::int32_t cols, std::int32_t firstrow, std::int32_t firstcol,
                std::int32_t total_rows, std::int32_t desired, const ArrayDisplayFlags& how,
                workptr stash) {
  const bool outf_is_tty = how.outf_is_tty;
  const bool pretty = how.pretty;
  const bool charprint = how.charprint;
  const bool from_store = how.from_store;
  const bool extras = how.extras;
  if (q != nullptr) {
    *x = q->name;
  } else {
    q = find_array(x);
    if (q == nullptr) {
      error(no_such_array_error, &token);
      return;
    }
    location = q->spar != nullptr ? 0 : q->start;
    rows = q->rows;
    total_rows = q->rows;
    cols = array_cols(q);
  }
  if (rows < 1 || cols < 1) return;
  const bool whole = rows == q->rows && cols == array_cols(q);
  if (q->spar != nullptr && whole) {
    if (pretty && outf_is_tty) {
      sparse_display(outf, q, true);
      return;
    }
    if (!pretty && !outf_is_tty) {
      better_sparse_display(outf, q);
      return;
    }
  }
  const block_source src{q, stash, from_store, location, total_rows};
  const block_shape b{rows, cols, firstrow, firstcol, desired, outf_is_tty, charprint, extras};
  if (pretty)
    pretty_form(outf, x, src, b);
  else
    matrix_form(outf, x, src, b);
}

}  // namespace tavrin
