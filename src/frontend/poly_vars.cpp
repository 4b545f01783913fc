#include "frontend/poly_vars.h"

#include <cstdio>
#include <cstring>

#include "core/error_codes.h"
#include "core/errors.h"
#include "core/globals.h"
#include "numbers/freelists.h"
#include "numbers/garbage.h"
#include "numbers/node_handles.h"
#include "poly/poly_repr.h"
#include "toplevel/chdat.h"
#include "toplevel/language_services.h"
#include "toplevel/polymodding.h"
#include "toplevel/state.h"
#include "toplevel/tokens.h"
#include "lang/expressions.h"
#include "frontend/commands.h"
#include "frontend/modding_out.h"
#include "frontend/stored_values.h"

namespace tavrin {

namespace {

using tokens::is_tok;

bool lower_letter(char c) { return c >= 'a' && c <= 'z'; }

bool name_char(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

// Byte order of names, as its_a_polyname reads polyvar.
int name_order(const char* a, const char* b) { return std::strncmp(a, b, sizeof(nametype)); }

void renumber() {
  std::int16_t d = 1;
  for (polypt q = polynames; q != nullptr; q = q->next) q->depth = d++;
}

polypt record_at(std::int32_t depth) {
  polypt q = polynames;
  for (std::int32_t d = 1; d < depth && q != nullptr; ++d) q = q->next;
  return q;
}

// How the command was given and what it asks.
struct request {
  bool cancel = false;
  bool bottom = false;      // ">" at entry
  bool from_array = false;  // the name was spelled by an array
  bool relation = false;    // ", P =" follows the name
  tokentipe name{};
  tokentipe saved{};  // a token read ahead by the "Var" factor
  bool have_saved = false;
};

// "Var" k when cancelling: the name of the variable at depth k.
void name_by_position(textptr inf, nameptr* flag, request& r) {
  scanner(inf, &token, flag);
  std::int32_t k = 0;
  {
    nodes::OwnedValue value;
    quolyptr place = value.cell();
    colm_ptrptr aux = nullptr;
    std::int32_t colpos = 0;
    fact(inf, &place, value.cell(), &aux, &colpos, flag, false);
    quoly got = place == value.cell() ? value.q : *place;
    k = got != nullptr && got->numb ? quoly_convert_to_int(got) : 0;
  }
  r.saved = token;
  r.have_saved = true;
  if (k > number_polys || k < 1) {
    error(bad_variable_name_error, &token);
    return;  // resumed: "Var" names no variable (error 169 follows)
  }
  r.name = record_at(k)->let;
}

// The name just read (in token, or spelled by an array): the "Var" form,
// then the character checks.
void check_name(textptr inf, nameptr* flag, request& r) {
  if (!lower_letter(r.name.name[0])) {
    if (r.cancel && std::strcmp(r.name.name, "Var") == 0 && !r.from_array) {
      name_by_position(inf, flag, r);
      return;
    }
    error(bad_variable_name_error, &r.name);
  }
  for (const char* c = r.name.name + 1; *c != '\0'; ++c)
    if (!name_char(*c)) error(bad_variable_name_error, &r.name);
}

// An array operand spelling the name.
void name_from_array(textptr inf, nameptr* flag, request& r) {
  std::string spelled;
  get_from_array(inf, flag, &spelled);
  if (spelled.empty() || spelled.size() > 10) error(bad_variable_name_error, &token);
  std::memset(r.name.name, 0, sizeof r.name.name);
  std::strncpy(r.name.name, spelled.c_str(), 10);
  r.name.address = -1;
  r.from_array = true;
}

// After the name: ", P =" starts a relation; otherwise ")" must follow.
void read_tail(textptr inf, nameptr* flag, request& r) {
  if (is_tok(",")) {
    if (r.cancel) error(no_relation_allowed_when_cancelling_error, &token);
    if (r.bottom && r.from_array) error(greater_not_allowed_array_name_relation_error, &token);
    scanner(inf, &token, flag);
    if (!is_tok("P")) error(p_expected_after_comma_error, &token);
    scanner(inf, &token, flag);
    if (!is_tok("=")) error(equals_expected_error, &token);
    r.relation = true;
    return;
  }
  if (!is_tok(")")) error(close_paren_expected_after_setting_error, &token);
}

void read_bare(request& r) {
  std::printf(".\n");
  std::fflush(stdout);
  std::printf(" Enter variable name:\n");
  do_prompts();
  nameptr none = nullptr;
  scanner(&Input, &token, &none);
  if (is_tok(">")) error(greater_not_allowed_prompt_error, &token);
  if (is_tok("-")) {
    r.cancel = true;
    scanner(&Input, &token, &none);
  }
  if (token.name[0] == '[') {
    name_from_array(&Input, &none, r);
  } else {
    r.name = token;
  }
  check_name(&Input, &none, r);
}

void read_valued(textptr inf, nameptr* flag, bool* doscanner, request& r) {
  scanner(inf, &token, flag);
  if (is_tok("-")) {
    r.cancel = true;
    scanner(inf, &token, flag);
  }
  if (token.name[0] == '[') {
    name_from_array(inf, flag, r);
    read_tail(inf, flag, r);
    *doscanner = false;
  } else {
    r.name = token;
  }
  check_name(inf, flag, r);
  if (r.name.name[0] != '\0' && r.have_saved) *doscanner = false;
  if (windy || *flag == nullptr) {
    std::printf(": %s%s.\n", r.cancel ? "cancel " : "", r.name.name);
    std::fflush(stdout);
  }
  if (!r.from_array) {
    if (r.have_saved) {
      token = r.saved;
    } else {
      scanner(inf, &token, flag);
    }
    read_tail(inf, flag, r);
    *doscanner = false;
  }
}

void adjoin(const request& r) {
  if (number_polys >= max_polys) {
    error(too_many_variables_150_already_adjoined_error, &r.name);
    return;  // resumed: there is no room for another variable
  }
  polypt fresh = nullptr;
  newpt(&fresh);
  fresh->let = r.name;
  const bool over_others = !r.bottom && polynames != nullptr;
  if (r.bottom) {
    if (polynames == nullptr) {
      polynames = fresh;
    } else {
      polypt last = polynames;
      while (last->next != nullptr) last = last->next;
      last->next = fresh;
    }
  } else {
    fresh->next = polynames;
    polynames = fresh;
    if (pseudo_polynames != nullptr) pseudo_polynames = fresh;
  }
  renumber();
  insert_polyvar(r.name.name);
  if (field_depth > 0) ++field_depth;
  // A level without a relation ends the characteristic-2 shortcuts
  // (char2_degs1) as a cancelled one may restore them.
  reset_pseudo_poly();
  if (over_others) {
    update_vars();
    update_arrays();
  }
  if (need_to_set_char_poly) {
    need_to_set_char_poly = false;
    // Without the file the rows stay empty and are computed when needed.
    if (usable(data_file::chdat)) read_char_poly_rows(12, pol_rows - 1);
    for (std::int32_t i = 12; i < pol_rows; ++i)
      for (std::int32_t j = 0; j <= i; ++j) size_data_strucs += sizequoly(pol[i][j]);
  }
}

void cancel(textptr inf, nameptr* flag, const request& r, std::int16_t depth) {
  attach_poly_EnvRec env{inf, flag, nullptr, depth};
  quoly_set(1, &env.one);
  env.one->next = nullptr;
  badcnt = 0;
  try {
    downdate_stored_values(&env);
  } catch (...) {
    free_quoly(&env.one);
    throw;
  }
  if (badcnt > ring_change_warning_limit)
    std::printf("... There were %d more such cases.\n",
                static_cast<int>(badcnt - ring_change_warning_limit));
  delete_poly_name(depth);
  remove_polyvar(r.name.name);
  free_quoly(&env.one);
  reset_pseudo_poly();
  renumber();
}

}  // namespace

void insert_polyvar(const char* name) {
  std::int32_t k = number_polys;
  while (k > 0 && name_order(name, polyvar[k - 1]) < 0) {
    std::memcpy(polyvar[k], polyvar[k - 1], sizeof polyvar[k]);
    --k;
  }
  std::memset(polyvar[k], 0, sizeof polyvar[k]);
  std::strncpy(polyvar[k], name, 10);
  ++number_polys;
}

void remove_polyvar(const char* name) {
  std::int32_t k = 0;
  while (k < number_polys && name_order(name, polyvar[k]) != 0) ++k;
  if (k == number_polys) return;
  for (; k + 1 < number_polys; ++k) std::memcpy(polyvar[k], polyvar[k + 1], sizeof polyvar[k]);
  std::memset(polyvar[number_polys - 1], 0, sizeof polyvar[0]);
  --number_polys;
}

void attach_poly(textptr inf, nameptr* flag, bool not_imper, bool* doscanner) {
  refuse_ring_change();
  request r;
  r.bottom = is_tok(">");
  if (r.bottom && field_depth > 0) error(greater_not_allowed_while_fields_exist_error, &token);
  if (windy || not_imper || *flag == nullptr) std::printf(" Change of polynomial variable");
  if (lintmode) changed_in_modmode = true;
  *doscanner = true;
  if (not_imper) {
    read_bare(r);
  } else {
    read_valued(inf, flag, doscanner, r);
  }
  token = r.name;

  std::int16_t depth = 0;
  const bool adjoined = is_poly_name(r.name.name, &depth);
  if (r.cancel) {
    if (!adjoined) {
      error(not_adjoined_variable_error, &r.name);
      return;
    }
    if (r.bottom) std::printf("Warning.  '>' ignored.\n");
  } else if (adjoined) {
    error(variable_already_adjoined_error, &r.name);
    return;
  }
  quoly_set(0, &prevnum);

  if (r.cancel) {
    cancel(inf, flag, r, depth);
    if (windy || not_imper || *flag == nullptr) std::printf("%s now cancelled.\n", r.name.name);
  } else {
    adjoin(r);
    if (r.relation) {
      set_mod_out(inf, flag, true, true);
      if (!is_tok(")")) error(close_paren_expected_after_setting_error, &token);
    }
  }
}

void install_poly_vars() { add_error_hook(error_stage::unwind, polymodding_on_error); }

}  // namespace tavrin
