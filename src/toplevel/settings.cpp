#include "toplevel/settings.h"

#include <cstring>

#include "core/errors.h"
#include "core/globals.h"
#include "toplevel/dispatch.h"
#include "toplevel/modding_out.h"
#include "toplevel/poly_vars.h"
#include "toplevel/ring_change.h"

namespace tavrin {

namespace {

constexpr std::int32_t no_equals_error = 4;
constexpr std::int32_t no_parenthesis_error = 135;

bool is_tok(const char* s) { return std::strcmp(token.name, s) == 0; }

// The name a setting has after "_".
char underscore_setting(char c) {
  switch (c) {
    case 't': return '5';
    case 's': return '6';
    case 'r': return '3';
    case 'l': return '2';
    case 'd': return '4';
    case 'L': return '7';
    default: return c;
  }
}

/* setting -> "J" ("=" | ">") ["-"] name ")" */
void variable_setting(textptr inf, quolyptr n, nameptr* flag) {
  bool doscanner = true;
  attach_poly(inf, flag, false, &doscanner);
  if (doscanner) {
    scanner(inf, &token, flag);
    if (!is_tok(")")) error(no_parenthesis_error, &token);
  }
  set_zero_value(n);
}

}  // namespace

void set_switch(textptr inf, quolyptr n, nameptr* flag, bool*, bool*) {
  scanner(inf, &token, flag);
  if (is_tok("_")) {
    scanner(inf, &token, flag);
    token.name[0] = underscore_setting(token.name[0]);
  }
  const tokentipe setting = token;
  const bool single = setting.name[1] == '\0';
  scanner(inf, &token, flag);
  const bool variable = single && setting.name[0] == 'J';
  if (!is_tok("=") && !(variable && is_tok(">"))) error(no_equals_error, &token);
  if (variable) {
    variable_setting(inf, n, flag);
    return;
  }
  if (single && setting.name[0] == 'p') return modulus_setting(inf, n, flag);
  if (single && setting.name[0] == 'P') return mod_out_setting(inf, n, flag);
  // The other settings, modding out and the ground ring come later.
  not_implemented();
}

}  // namespace tavrin
