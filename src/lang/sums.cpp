// Indexed sums and products over stored text: "<" header ">" (repeated for
// nested ranges) and a body in "[" "]" or "(" ")", replayed once for every
// value of the index.

#include "core/error_codes.h"
#include "core/errors.h"
#include "core/globals.h"
#include "numbers/freelists.h"
#include "quoly/quoly_add.h"
#include "quoly/quoly_balanced_product.h"
#include "quoly/quoly_balanced_sum.h"
#include "quoly/quoly_mult.h"
#include "toplevel/language_services.h"
#include "lang/expressions.h"
#include "lang/floating.h"
#include "lang/nesting.h"
#include "lang/statements.h"
#include "lang/variables.h"

namespace tavrin {

namespace {

// Reads over a body that is not evaluated, up to its closing bracket.
void pass_over(textptr inf, nameptr* p, const char* mate) {
  scanner(inf, &token, p);
  formptr body = nullptr;
  struct Owner {
    formptr* f;
    ~Owner() { free_form(f); }
  } owner{&body};
  const condexptr good = last_good_one;
  const comptr comm = last_comm;
  spec_right_side(&body, inf, p, mate);
  if (last_good_one == body->cptr) {  // the statement is dropped: not a last good one
    last_good_one = good;
    last_comm = comm;
  }
  if (*p == nullptr && inf != nullptr && *inf != nullptr && (*inf)->at_eof() && !tok_is(mate))
    abandon(input_ended_inside_unfinished_statement_definition_error, &token);
}

}  // namespace

void sum_mult_up(bool is_sum, textptr inf, quolyptr n, nameptr* p, bool parse_only,
                 long double* sum, char* mate) {
  NestingLevel level;
  scanner(inf, &token, p);
  CountingLoop loop;
  loop.read_header(inf, p);
  if (!tok_is(">")) abandon(greater_expected_after_loop_header_error, &token);
  scanner(inf, &token, p);
  const nameptr mark = *p;
  const tokentipe mark_token = token;
  const nameptr mark_next = currentchar;
  const bool nested = tok_is("<");
  const char* closing = nullptr;
  if (!nested) {
    if (tok_is("[")) {
      closing = "]";
    } else if (tok_is("(")) {
      closing = ")";
    } else {
      abandon(open_bracket_open_paren_less_expected_after_loop_error, &token);
    }
    *mate = closing[0];
  }
  ValueCell result;
  quoly_set(is_sum ? 0 : 1, &result.q);
  result.q->next = nullptr;
  BalancedSum sum_so_far;
  BalancedProduct product_so_far;
  long double total = is_sum ? 0 : 1;
  if (loop.init <= loop.stop && !parse_only) {
    for (;;) {
      *p = mark;
      token = mark_token;
      currentchar = mark_next;
      ValueCell body;
      if (integerflag) {
        // Real floating mode: the bodies are floating sums.
        long double v = 0;
        if (nested) {
          sum_mult_up(is_sum, inf, &body.q, p, false, &v, mate);
        } else {
          scanner(inf, &token, p);
          old_iexpre(&v, p);
        }
        total = is_sum ? total + v : total * v;
        if (!loop.next_round()) break;
        continue;
      }
      if (nested) {
        sum_mult_up(is_sum, inf, &body.q, p, false, sum, mate);
      } else {
        scanner(inf, &token, p);
        old_expre(inf, &body.q, p);
      }
      if (is_sum) {
        sum_so_far.add(body.release());
      } else {
        product_so_far.multiply(body.release());
      }
      if (!loop.next_round()) break;
    }
  } else if (nested) {
    ValueCell ignored;
    sum_mult_up(is_sum, inf, &ignored.q, p, true, sum, mate);
  } else {
    pass_over(inf, p, closing);
  }
  if (!integerflag) {
    free_quoly(&result.q);
    result.q = is_sum ? sum_so_far.take() : product_so_far.take();
  }
  free_quoly(n);
  *n = result.release();
  if (integerflag && sum != nullptr) *sum = total;
}

}  // namespace tavrin
