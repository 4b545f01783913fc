// The output statement. One item at a time, by its first token: a quoted
// text, the end of the statement (a line end), an array block after "[",
// or a value. In a list an item may end in ":" and a format: a width, "char"
// (the character of the value's code), or char:width.

#include <cstring>
#include <string>

#include "core/error_codes.h"
#include "core/errors.h"
#include "core/globals.h"
#include "core/mode_guard.h"
#include "numbers/freelists.h"
#include "numbers/mod_journal.h"
#include "numbers/value_holds.h"
#include "poly/poly_repr.h"
#include "toplevel/dispatch.h"
#include "toplevel/display.h"
#include "toplevel/language_services.h"
#include "toplevel/output_file.h"
#include "toplevel/state.h"
#include "toplevel/tokens.h"
#include "lang/expressions.h"
#include "lang/lang_upcalls.h"
#include "lang/variables.h"
#include "arrays/array_display.h"
#include "arrays/array_store.h"
#include "arrays/declarations.h"

namespace tavrin {

namespace {

constexpr std::size_t longest_text = 255;
const tokentipe no_end = {"", 0};

using namespace tokens;
bool statement_end() { return is_tok(";") || is_tok(end_marker_name); }

// Where the statement writes: the terminal (outflag) or the output file.
struct target {
  std::FILE* f;
  bool outflag;
};

// A width after ":": a sum of terms with modular arithmetic off that must be
// an integer (else error 118 and no width).
std::int32_t read_width(textptr inf, nameptr* flag) {
  ModularBracket integers;
  ValueCell w;
  old_expre(inf, &w.q, flag);
  if (w.q == nullptr || !w.q->numb) {
    error(subscript_dimension_not_integer_error, &token);
    return 0;
  }
  const std::int32_t v = quoly_convert_to_int(w.q);
  return v == no_int_value ? 0 : v;
}

struct item_format {
  bool given = false;
  bool charprint = false;
  std::int32_t width = 0;
};

// After the item: ":" and its format, or nothing.
item_format read_format(textptr inf, nameptr* flag) {
  item_format f;
  if (!is_tok(":")) return f;
  f.given = true;
  scanner(inf, &token, flag);
  if (is_tok("char")) {
    f.charprint = true;
    scanner(inf, &token, flag);
    if (!is_tok(":")) return f;
    scanner(inf, &token, flag);
  }
  f.width = read_width(inf, flag);
  return f;
}

// A quoted text, the opening quote current: the characters up to the
// closing quote (at most 255 kept; two quotes in a row stand for one), then
// the token after it.
void handle_quote(textptr inf, nameptr* flag, const target& t) {
  std::string text;
  for (;;) {
    tokentipe ch{};
    bool endline = false;
    dumbscanner(inf, &ch, flag, &endline);
    if (std::strcmp(ch.name, "'") == 0) {
      if (!quote_follows(inf, flag)) break;
      dumbscanner(inf, &ch, flag, &endline);
    }
    if (*flag != nullptr && std::strcmp(ch.name, end_marker_name) == 0) {
      token = ch;
      error(output_list_ended_before_close_paren_error, &token);
      return;
    }
    if (text.size() < longest_text) text += ch.name;
  }
  if (text.size() > longest_text) text.resize(longest_text);
  scanner(inf, &token, flag);
  std::fputs(text.c_str(), t.f);
  if (is_tok(":")) {
    scanner(inf, &token, flag);
    const std::int32_t w = read_width(inf, flag);
    doblanks(t.f, w - static_cast<std::int32_t>(text.size()));
  }
}

// The range a or a~b of one subscript (from the index origin); an empty
// range (the ending token at once) is every index. *lo, *hi from 0.
void read_range(textptr inf, nameptr* flag, char ending, std::int32_t count, std::int32_t* lo,
                std::int32_t* hi, std::int32_t outside, std::int32_t reversed) {
  if (token.name[0] == ending && token.name[1] == '\0') {
    *lo = 0;
    *hi = count - 1;
    return;
  }
  std::int32_t a = 0;
  std::int32_t b = 0;
  bool two = false;
  evalcoords(inf, &a, &b, flag, ending, '~', &two, false);
  // "a" alone is one index; "a~" runs to the end.
  if (!two) b = b == -1 ? count - 1 + addresser : a;
  *lo = a - addresser;
  *hi = b - addresser;
  if (*lo < 0 || *hi < 0 || *lo >= count || *hi >= count) abandon(outside, &token);
  if (*hi < *lo) abandon(reversed, &token);
}

// "[" current: an array, whole or a block, with its format in a list.
void array_item(textptr inf, nameptr* flag, bool ok, bool do_extras, const target& t) {
  scanner(inf, &token, flag);
  tokentipe x = token;
  arrptr q = nullptr;
  fasterlookup(&x, &q, inf, flag);
  const bool system = q == syst;
  if (system && (syst == nullptr || syst->rows < 1 || syst->stop < 0))
    abandon(system_array_empty_error, &token);
  if (q == nullptr) abandon(no_such_array_error, &x);
  const std::int32_t rows = q->rows;
  const std::int32_t cols =
      system ? static_cast<std::int32_t>((std::int64_t{syst->stop} + 1) / syst->rows)
             : array_cols(q);
  std::int32_t r0 = 0, r1 = rows - 1, c0 = 0, c1 = cols - 1;
  scanner(inf, &token, flag);
  if (is_tok("[")) {
    scanner(inf, &token, flag);
    read_range(inf, flag, ',', rows, &r0, &r1, row_range_outside_array_error,
               row_range_reversed_error);
    if (!is_tok(",")) abandon(close_bracket_expected_after_subscripts_error, &token);
    scanner(inf, &token, flag);
    read_range(inf, flag, ']', cols, &c0, &c1, column_range_outside_array_error,
               column_range_reversed_error);
    scanner(inf, &token, flag);
  }
  if (!is_tok("]")) abandon(close_bracket_expected_24_error, &token);
  scanner(inf, &token, flag);
  item_format f;
  if (ok) f = read_format(inf, flag);
  if (!is_tok("]") && !statement_end() && !is_tok(",") && !is_tok(")"))
    abandon(close_bracket_expected_24_error, &token);
  const std::int32_t location = q->spar != nullptr ? r0 + c0 * rows : q->start + r0 + c0 * rows;
  const ArrayDisplayFlags how{.outf_is_tty = t.outflag,
                              .charprint = f.charprint,
                              .from_store = !system,
                              .extras = do_extras && t.outflag && !ok};
  arrdisplay(t.f, &x, q, system ? r0 + c0 * rows : location, r1 - r0 + 1, c1 - c0 + 1,
             r0 + addresser, c0 + addresser, rows, f.width > 0 ? f.width : 4, how, syst_stash);
}

// A value item: the single item of "!x" or "!!x", or an item of a list.
void value_item(textptr inf, quolyptr n, nameptr* flag, bool ok, const target& t) {
  std::int32_t length = 0;
  if (!ok) {
    quolyptr qp = nullptr;
    colm_ptrptr aux = nullptr;
    std::int32_t colpos = 0;
    fact(inf, &qp, n, &aux, &colpos, flag, true);
    HeldValues held;  // the display polls for interrupts
    if (qp != n) qp = held.hold(qp);
    const quoly v = qp != nullptr && *qp != nullptr ? *qp : *n;
    if (v == nullptr) {
      ValueCell zero;
      quoly_set(0, &zero.q);
      quoly_display(t.f, zero.q, &length, &semicolon, polynames, {.to_terminal = t.outflag});
    } else {
      quoly_display(t.f, v, &length, &semicolon, polynames, {.to_terminal = t.outflag});
    }
    return;
  }
  quoly v = nullptr;
  HeldValues held;  // the format read next may change the variable
  if (is_tok("^")) {
    scanner(inf, &token, flag);
    get_quoly(&v, inf, flag);
    if (v != nullptr) v = *held.hold(&v);
  } else {
    old_expre(inf, n, flag);
    v = *n;
  }
  const item_format f = read_format(inf, flag);
  ValueCell zero;
  if (v == nullptr) {
    quoly_set(0, &zero.q);
    v = zero.q;
  }
  if (f.charprint && !v->numb) {
    error(character_display_entry_not_number_error, &quotesign);
    return;
  }
  if (!f.given) {
    std::fputc(' ', t.f);
    ++length;
  }
  quoly_display(t.f, v, &length, &no_end, polynames,
                {.to_terminal = t.outflag, .char_flag = f.charprint});
  if (f.charprint) length = 1;
  if (f.width > length) doblanks(t.f, f.width - length - 1);
}

void one_write_out(textptr inf, quolyptr n, nameptr* flag, bool ok, const target& t) {
  ScopedValue<std::int32_t> keep_size(disp_size);
  if (is_tok("'")) {
    handle_quote(inf, flag, t);
  } else if (statement_end()) {
    if (ok) {
      error(output_list_ended_before_close_paren_error, &token);
      return;
    }
    std::fputc('\n', t.f);
  } else if (is_tok("[")) {
    array_item(inf, flag, ok, true, t);
  } else {
    value_item(inf, n, flag, ok, t);
  }
}

}  // namespace

void write_out(textptr inf, quolyptr n, nameptr* flag) {
  scanner(inf, &token, flag);
  const bool line_end = is_tok("!");
  if (line_end) scanner(inf, &token, flag);
  target t{Output, true};
  {
    ValueCell work;
    if (!is_tok("(")) {
      one_write_out(inf, &work.q, flag, false, t);
    } else {
      scanner(inf, &token, flag);
      if (is_tok("&")) {
        scanner(inf, &token, flag);
        if (!is_tok("o")) abandon(o_expected_after_amp_error, &token);
        if (outpuf == nullptr) abandon(no_output_file_open_error, &token);
        t = {outpuf, false};
        scanner(inf, &token, flag);
        if (is_tok(",")) scanner(inf, &token, flag);
      }
      while (!is_tok(")")) {
        one_write_out(inf, &work.q, flag, true, t);
        if (is_tok(",")) {
          scanner(inf, &token, flag);
        } else if (!is_tok(")")) {
          abandon(comma_close_paren_expected_output_list_error, &token);
        }
      }
      scanner(inf, &token, flag);
    }
  }
  set_zero_value(n);
  if (line_end) {
    std::fputc('\n', t.f);
    if (t.outflag) std::fflush(stdout);
  }
  if (t.f == outpuf) check_output_file();
}

}  // namespace tavrin
