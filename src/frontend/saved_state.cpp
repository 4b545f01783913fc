#include "frontend/saved_state.h"

#include <cstring>
#include <string>
#include <vector>

#include "core/globals.h"
#include "core/thresholds.h"
#include "toplevel/display.h"
#include "toplevel/language_services.h"
#include "toplevel/output_file.h"
#include "toplevel/state.h"
#include "arrays/array_display.h"
#include "frontend/function_listing.h"
#include "frontend/listings.h"

namespace tavrin {

namespace {

// text with each quote doubled, to stand inside a quoted string.
std::string quoted_text(const char* text) {
  std::string r;
  for (const char* c = text; *c != '\0'; ++c) {
    r += *c;
    if (*c == '\'') r += '\'';
  }
  return r;
}

constexpr std::int32_t compact_number_size = 9;     // limbs of an entry written compactly
constexpr std::int32_t compact_rational_size = 10;  // limbs of numerator plus denominator

// The settings that differ from what a fresh start reads, and the ones
// always written.
void write_settings(std::FILE* f) {
  if (errorpush) std::fprintf(f, "&(e = 1);\n");
  if (!noisy) std::fprintf(f, "&(N = 0);\n");
  std::fprintf(f, "&(m = %li);\n", static_cast<long>(m_interrupt));
  std::fprintf(f, addresser != 0 ? "&(a = 1);\n" : "&(a = 0);\n");
  if (!chpoly_block) std::fprintf(f, "&(B = 0);\n");
  if (detcutoff >= 0) std::fprintf(f, "&(D = %li);\n", static_cast<long>(detcutoff));
  if (std::strcmp(prompt, ">") != 0) {
    if (prompt[0] == '\r')
      std::fprintf(f, "&(M = ' ');\n");
    else
      std::fprintf(f, "&(M = '%s');\n", quoted_text(prompt).c_str());
  }
  if (uglyprint) std::fprintf(f, "&(U = 1);\n");
  if (monomial_list) std::fprintf(f, "&(_l = 1);\n");
  if (timerflag) std::fprintf(f, "&(t = 1);\n");
  if (verbose) std::fprintf(f, "&(V = 1);\n");
  if (windy) std::fprintf(f, "&(W = 1);\n");
  if (lagrange_stash != 0) std::fprintf(f, "&(_L = 1);\n");
  if (rat_det_method_cut == 1) std::fprintf(f, "&(L = 1);\n");
  std::fprintf(f, "&(u = %li);\n", static_cast<long>(pseudet_heur));
  if (polynames != nullptr) polylist(f, true);
  if (laurent) std::fprintf(f, "&(l = 1);\n");
  if (modularmode) std::fprintf(f, "&(p = %li);\n", static_cast<long>(modulus));
  std::fprintf(f, "\n\n");
}

std::int32_t leaf_size(poly p) { return p == nullptr ? 1 : p->ncoef->size; }

// Every entry is absent or a short number: the array is written compactly.
bool all_small(arrptr p) {
  for (std::int32_t i = p->start; i <= p->stop; ++i) {
    const quoly v = *arp_cell(i);
    if (v == nullptr) continue;
    if (v->numb) {
      if (!lintmode && v->ncoef->size > compact_number_size) return false;
    } else if (v->rat && !lintmode) {
      if (leaf_size(v->numer) + leaf_size(v->denom) > compact_rational_size) return false;
    } else {
      return false;
    }
  }
  return true;
}

void do_array_p(std::FILE* f, arrptr p) {
  std::fprintf(f, "\n");
  arrdescribe(f, p);
  if (p->spar != nullptr) {
    sparse_display(f, p, false);
    return;
  }
  const std::int32_t rows = p->rows;
  const std::int32_t cols = rows > 0 ? (p->stop - p->start + 1) / rows : 0;
  if (rows < 1 || cols < 1) return;
  if (all_small(p)) {
    arrdis(f, &p->name, p->start, rows, cols, rows);
  } else {
    tokentipe blank_name{" ", -1};
    arrdisplay(f, &blank_name, p, p->start, rows, cols, 1, 1, rows, 4, {.pretty = true}, nullptr);
  }
}

// The arrays in name order (the k-th of a chain keyed with k), or in table
// order when there are too many to sort. Arrays stamped negative are
// internal and not written.
void write_arrays(std::FILE* f) {
  std::vector<arrptr> order;
  std::int32_t count = 0;
  bool sorted = true;
  for (arrptr chain : arr_store) {
    std::int32_t k = 0;
    for (arrptr q = chain; q != nullptr; q = q->next) {
      order.push_back(q);
      if (++count > sort_entries) {
        sorted = false;
        continue;
      }
      chain_key(sortp[count].name, q->name, ++k);
      sortp[count].count = 0;
      sortp[count].pt = reinterpret_cast<varptr>(q);
    }
  }
  if (sorted) {
    sort_vars(sortp, count);
    for (std::int32_t i = 1; i <= count; ++i) order[i - 1] = reinterpret_cast<arrptr>(sortp[i].pt);
  }
  for (arrptr q : order)
    if (q->time >= 0) do_array_p(f, q);
}

}  // namespace

void write_state(std::FILE* f) {
  write_settings(f);
  std::fprintf(f, ";;** functions:\n");
  list_functions_to_file(f);
  std::fprintf(f, "\n;;** scalars:\n");
  dump(f, false, true);
  std::fprintf(f, "\n;;**  arrays:\n");
  write_arrays(f);
  std::fprintf(f, "&x;\n");
  std::fflush(f);
}

bool save(textptr inf, nameptr* flag) {
  if (outpuf == nullptr) {
    save_output_file(inf, flag, " ");
    return true;
  }
  write_state(outpuf);
  check_output_file();
  if (uglyprint)
    std::printf(
        " Warning: You saved with ugly format! File is unreadable, except for the variables.\n");
  return false;
}

}  // namespace tavrin
