// "Compile": the statements of a function body after it are linked once
// (every token naming a parameter or one of the listed extra names is bound
// to its value cell), then run by the statement itself, so the call ends
// there. Later calls only rebind the parameters' chains of linked tokens.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <optional>
#include <vector>

#include "core/error_codes.h"
#include "core/errors.h"
#include "core/globals.h"
#include "numbers/freelists.h"
#include "numbers/node_handles.h"
#include "toplevel/charsets.h"
#include "toplevel/state.h"
#include "toplevel/tokens.h"
#include "lang/functions.h"
#include "lang/lang_upcalls.h"
#include "lang/statements.h"
#include "lang/variables.h"

namespace tavrin {

namespace {

constexpr std::size_t link_table_size = 100;
constexpr std::size_t fused_name_limit = 10;

bool is_lower(char c) { return c >= 'a' && c <= 'z'; }
bool is_end(const nameptr t) { return std::strcmp(t->let.name, end_marker_name) == 0; }
using namespace tokens;

// One name of the link table: the cell its tokens are bound to and where
// the next linked token is chained.
struct LinkEntry {
  nametype name;
  quolyptr qp;
  nameptr* link;
};

struct LinkTable {
  std::vector<LinkEntry> entries;
  std::vector<nameptr> externals;  // chain heads of extra names
  ~LinkTable() {
    for (nameptr head : externals) {
      head->next = nullptr;
      freename(head);
    }
  }

  void add(const char* name, quolyptr qp, nameptr* link, const tokentipe* at, bool sorted) {
    for (const LinkEntry& e : entries)
      if (std::strcmp(e.name, name) == 0) abandon(name_already_table_error, at);
    if (entries.size() >= link_table_size) abandon(more_than_100_names_error, at);
    LinkEntry e{};
    std::snprintf(e.name, sizeof e.name, "%s", name);
    e.qp = qp;
    e.link = link;
    auto pos = entries.end();
    if (sorted) {
      pos = std::find_if(entries.begin(), entries.end(),
                         [&](const LinkEntry& x) { return std::strcmp(x.name, name) > 0; });
    }
    entries.insert(pos, e);
  }

  // The entry of `name`: the sorted table is walked from the start and the
  // walk stops at the first greater name.
  LinkEntry* find(const char* name) {
    for (LinkEntry& e : entries) {
      const int c = std::strcmp(e.name, name);
      if (c == 0) return &e;
      if (c > 0) return nullptr;
    }
    return nullptr;
  }

  // A holder for an extra name's chain (given back after linking).
  nameptr* external_link() {
    nameptr head = nodes::new_name(tokentipe{"", -1});
    externals.push_back(head);
    return &head->nother;
  }
};

void capitalised(char* out, const char* name) {
  std::snprintf(out, sizeof(nametype), "%s", name);
  if (is_lower(out[0])) out[0] = static_cast<char>(out[0] - 'a' + 'A');
}

void bind(nameptr t, LinkEntry* e, classtype tipe) {
  t->compiled = true;
  t->tipe = tipe;
  t->qp = e->qp;
  t->nother = nullptr;
  *e->link = t;
  e->link = &t->nother;
}

// The alias made for the array parameter named like p in this call.
arrptr parameter_alias(paramptr p) {
  for (arrptr a = arr_store[hash(p->let.name, arr_buckets)]; a != nullptr; a = a->next)
    if (std::strcmp(a->name.name, p->let.name) == 0) return a->time < 0 ? a : nullptr;
  return nullptr;
}

// The variable of parameter p in the innermost call.
varptr parameter_var(paramptr p) {
  varptr v = find_var(&p->let);
  if (v == nullptr) abandon(array_parameter_lost_array_name_was_error, &p->let);
  return v;
}

bool holds_array(paramptr p) {
  const quoly v = parameter_var(p)->val;
  return v != nullptr && v->numb && v->arr_arg;
}

// The cell a parameter's linked tokens read: its variable's cell, or for
// an array argument the alias record (dense only: 247).
quolyptr parameter_binding(paramptr p) {
  const varptr v = parameter_var(p);
  if (v->val == nullptr || !v->val->numb || !v->val->arr_arg) return &v->val;
  arrptr a = parameter_alias(p);
  if (a == nullptr) abandon(array_parameter_lost_array_name_was_error, &p->let);
  if (a->spar != nullptr) abandon(sparse_array_parameter_not_allowed_error, &p->let);
  return reinterpret_cast<quolyptr>(a);
}

// The tokens of one statement list.
void do_tok_list(nameptr q, LinkTable* table) {
  for (nameptr t = q; t != nullptr && !is_end(t); t = t->next) {
    nameptr after = t->next;
    if (is_lower(t->let.name[0]) && after != nullptr && std::strcmp(after->let.name, "[") == 0) {
      nameptr sub = after->next;
      if (sub != nullptr && !is_end(sub) && sub->next != nullptr &&
          std::strcmp(sub->next->let.name, "]") == 0) {
        char fused[32];
        std::snprintf(fused, sizeof fused, "%s[%s]", t->let.name, sub->let.name);
        if (std::strlen(fused) <= fused_name_limit) {
          if (LinkEntry* e = table->find(fused); e != nullptr) {
            bind(t, e, two);
            t = sub->next;
            continue;
          }
        }
      }
      nametype cap;
      capitalised(cap, t->let.name);
      if (LinkEntry* e = table->find(cap); e != nullptr) bind(t, e, three);
      continue;
    }
    if (LinkEntry* e = table->find(t->let.name); e != nullptr) bind(t, e, one);
  }
}

void do_right(formptr list, LinkTable* table) {
  for (; list != nullptr; list = list->next) {
    const condexptr d = list->cptr;
    if (d == nullptr) continue;
    if (d->cond == nullptr) {
      do_tok_list(d->expr, table);
    } else {
      do_tok_list(d->cond, table);
      do_right(d->form1, table);
      do_right(d->form2, table);
    }
  }
}

// One extra name after "Compile(": the current token is its first token.
void get_one_name(textptr inf, nameptr* cursor, LinkTable* table) {
  if (is_tok("[")) {
    scanner(inf, &token, cursor);
    tokentipe name = token;
    arrptr a = nullptr;
    if (is_lower(name.name[0])) fastestlookup(&name, &a);
    if (a == nullptr) abandon(no_such_array_error, &token);
    if (a->spar != nullptr) abandon(sparse_array_not_allowed_242_error, &token);
    scanner(inf, &token, cursor);
    if (!is_tok("]")) abandon(close_bracket_expected_24_error, &token);
    nametype cap;
    capitalised(cap, name.name);
    table->add(cap, reinterpret_cast<quolyptr>(a), table->external_link(), &name, true);
    scanner(inf, &token, cursor);
    return;
  }
  if (!is_lower(token.name[0])) abandon(target_must_begin_lower_case_letter_error, &token);
  const tokentipe name = token;
  const nameptr at = *cursor;
  const nameptr open = at->next;
  if (open != nullptr && std::strcmp(open->let.name, "[") == 0) {
    const nameptr sub = open->next;
    if (sub == nullptr || is_end(sub) || sub->next == nullptr ||
        std::strcmp(sub->next->let.name, "]") != 0)
      abandon(close_bracket_expected_267_error, &name);
    if (!is_digit(sub->let.name[0])) {
      varptr v = find_var(&sub->let);
      if (v == nullptr) abandon(undefined_variable_error, &sub->let);
      if (!v->val->numb) abandon(value_not_number_error, &sub->let);
    }
    char fused[32];
    std::snprintf(fused, sizeof fused, "%s[%s]", name.name, sub->let.name);
    quolyptr cell = nullptr;
    get_quoly_ptr(&cell, inf, cursor);
    if (cell == nullptr || *cell == nullptr)
      abandon(not_assigned_variable_array_element_error, &name);
    if (std::strlen(fused) <= fused_name_limit)
      table->add(fused, cell, table->external_link(), &name, true);
    return;
  }
  varptr v = find_var(&name);
  if (v == nullptr) abandon(undefined_variable_error, &name);
  table->add(name.name, &v->val, table->external_link(), &name, true);
  scanner(inf, &token, cursor);
}

// The one-time link step of f; p is its "Compile" statement.
void read_and_link(textptr inf, funcptr f, condexptr p) {
  LinkTable table;
  nameptr cursor = p->expr;
  token = cursor->let;
  scanner(inf, &token, &cursor);
  f->do_params = !is_tok("*");
  if (!f->do_params) scanner(inf, &token, &cursor);
  if (f->do_params) {
    for (paramptr q = f->pars; q != nullptr; q = q->next) {
      q->nother = nullptr;
      nametype key;
      q->linked_arry = holds_array(q);
      if (q->linked_arry) {
        capitalised(key, q->let.name);
      } else {
        std::snprintf(key, sizeof key, "%s", q->let.name);
      }
      table.add(key, parameter_binding(q), &q->nother, &q->let, false);
    }
    std::sort(
        table.entries.begin(), table.entries.end(),
        [](const LinkEntry& a, const LinkEntry& b) { return std::strcmp(a.name, b.name) < 0; });
  }
  if (is_tok("(")) {
    do {
      scanner(inf, &token, &cursor);
      get_one_name(inf, &cursor, &table);
    } while (is_tok(","));
    if (!is_tok(")")) abandon(close_paren_expected_after_extra_names_error, &token);
  }
  formptr q = f->rht;
  while (q != nullptr && q->cptr != p) q = q->next;
  if (q == nullptr) abandon(compile_statement_not_found_error, &token);
  do_right(q->next, &table);
  f->comp = q->next;
}

// Forgets every link made in a list (the parameters changed kind).
void unlink_list(formptr list) {
  for (; list != nullptr; list = list->next) {
    const condexptr d = list->cptr;
    if (d == nullptr) continue;
    for (nameptr t : {d->expr, d->cond})
      for (; t != nullptr; t = t->next) {
        t->compiled = false;
        t->tipe = zzero;
        t->qp = nullptr;
        t->nother = nullptr;
      }
    unlink_list(d->form1);
    unlink_list(d->form2);
  }
}

void rebind(paramptr p, quolyptr qp) {
  for (nameptr t = p->nother; t != nullptr; t = t->nother) t->qp = qp;
}

// Is f also running in a call outside the innermost one?
bool outer_call_active(funcptr f) {
  statptr s = lastf->prev;
  for (std::int32_t k = 1; k < statcount; ++k, s = s->prev)
    if (s->f == f) return true;
  return false;
}

bool kinds_changed(funcptr f) {
  for (paramptr p = f->pars; p != nullptr; p = p->next)
    if (holds_array(p) != p->linked_arry) return true;
  return false;
}

// The bindings of the call that runs the linked statements; a recursive
// call rebinds the same tokens, so the outer call's are put back after it.
struct SavedBindings {
  funcptr f;
  std::vector<quolyptr> cells;
  explicit SavedBindings(funcptr g) : f(g) {
    for (paramptr p = f->pars; p != nullptr; p = p->next)
      cells.push_back(p->nother != nullptr ? p->nother->qp : nullptr);
  }
  ~SavedBindings() {
    std::size_t k = 0;
    for (paramptr p = f->pars; p != nullptr; p = p->next, ++k)
      if (cells[k] != nullptr) rebind(p, cells[k]);
  }
  SavedBindings(const SavedBindings&) = delete;
  SavedBindings& operator=(const SavedBindings&) = delete;
};

}  // namespace

namespace {

bool binds(formptr list, quolyptr cell, arrptr arr) {
  for (; list != nullptr; list = list->next) {
    const condexptr d = list->cptr;
    if (d == nullptr) continue;
    for (nameptr t : {d->expr, d->cond})
      for (; t != nullptr; t = t->next) {
        if (!t->compiled) continue;
        if (cell != nullptr && t->tipe == one && t->qp == cell) return true;
        if (arr != nullptr && (t->tipe == two || t->qp == reinterpret_cast<quolyptr>(arr)))
          return true;
      }
    if (binds(d->form1, cell, arr) || binds(d->form2, cell, arr)) return true;
  }
  return false;
}

}  // namespace

void forget_links_to(quolyptr cell, arrptr arr) {
  for (funcptr f : func_store)
    for (; f != nullptr; f = f->next) {
      if (f->comp == nullptr || !binds(f->comp, cell, arr)) continue;
      unlink_list(f->comp);
      for (paramptr q = f->pars; q != nullptr; q = q->next) q->nother = nullptr;
      f->comp = nullptr;
    }
}

void compile(textptr inf, quolyptr n, condexptr p) {
  if (statcount == 0) abandon(compile_outside_function_error, &token);
  const funcptr f = lastf->f;
  if (f->comp != nullptr && f->do_params && kinds_changed(f)) {
    unlink_list(f->comp);
    for (paramptr q = f->pars; q != nullptr; q = q->next) q->nother = nullptr;
    f->comp = nullptr;
  }
  std::optional<SavedBindings> saved;
  if (f->comp != nullptr && f->do_params && outer_call_active(f)) saved.emplace(f);
  if (f->comp == nullptr) {
    read_and_link(inf, f, p);
  } else if (f->do_params) {
    for (paramptr q = f->pars; q != nullptr; q = q->next) rebind(q, parameter_binding(q));
  }
  eval_form(inf, f->comp, n);
  if (*n == nullptr) quoly_set(0, n);
  exit_flag = true;
  std::memcpy(token.name, end_marker_name, sizeof end_marker_name);
  token.address = -1;
}

}  // namespace tavrin
