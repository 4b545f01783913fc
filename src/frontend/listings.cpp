#include "frontend/listings.h"

#include <cstring>
#include <vector>

#include "core/globals.h"
#include "core/mode_guard.h"
#include "core/thresholds.h"
#include "numbers/freelists.h"
#include "poly/poly_images.h"
#include "poly/poly_repr.h"
#include "toplevel/display.h"
#include "toplevel/language_services.h"
#include "toplevel/scanner.h"
#include "toplevel/state.h"
#include "arrays/array_display.h"
#include "frontend/modding_out.h"

namespace tavrin {

namespace {

constexpr int names_shown = 10;        // entries of one name written in a row
constexpr int bucket_described = 20;   // arrays described a bucket, unsorted
constexpr int total_described = 1500;  // arrays described in all, unsorted

int key_compare(const char* a, const char* b) {
  return std::strcmp(a, b);  // strcmp compares as unsigned bytes
}

// The entries i .. j of q: the median of the first, middle and last keys
// becomes the pivot, the range is split about it and each side is sorted;
// the run of keys equal to the pivot's around its final place is left out.
void quicksort(sortrec* q, std::int32_t i, std::int32_t j) {
  while (j - i >= 2) {
    const std::int32_t m = (i + j) / 2;
    std::int32_t r;
    if (key_compare(q[i].name, q[m].name) < 0) {
      r = key_compare(q[j].name, q[i].name) <= 0  ? i
          : key_compare(q[j].name, q[m].name) < 0 ? j
                                                  : m;
    } else {
      r = key_compare(q[j].name, q[m].name) <= 0  ? m
          : key_compare(q[j].name, q[i].name) < 0 ? j
                                                  : i;
    }
    std::swap(q[i], q[r]);
    const sortrec pivot = q[i];
    std::int32_t up = i, down = j + 1;
    for (;;) {
      do ++up;
      while (up < j && key_compare(q[up].name, pivot.name) <= 0);
      do --down;
      while (down > i && key_compare(q[down].name, pivot.name) > 0);
      if (up >= down) break;
      std::swap(q[up], q[down]);
    }
    std::swap(q[i], q[down]);
    std::int32_t lo = down - 1, hi = down + 1;
    while (lo >= i && key_compare(q[lo].name, pivot.name) == 0) --lo;
    while (hi <= j && key_compare(q[hi].name, pivot.name) == 0) ++hi;
    // The smaller side recursively, the larger one by the loop.
    if (lo - i < j - hi) {
      quicksort(q, i, lo);
      i = hi;
    } else {
      quicksort(q, hi, j);
      j = lo;
    }
  }
  if (j - i == 1 && key_compare(q[i].name, q[j].name) > 0) std::swap(q[i], q[j]);
}

bool is_number_value(quoly v) { return v->numb; }

// Writes one variable (see dump).
void write_variable(std::FILE* outf, bool outf_is_tty, bool do_data, varptr p) {
  const bool array_param = p->val->numb && is_array_param(p->val);
  if (array_param && !outf_is_tty) return;
  std::fprintf(outf, " %s", p->let.name);
  if (do_data) std::fprintf(outf, " := ");
  if (array_param) {
    std::fprintf(outf, " array parameter.\n");
    return;
  }
  if (!do_data) {
    std::fprintf(outf, "\n");
    return;
  }
  const quoly v = p->val;
  const bool plain = v->numb || (!lintmode && v->rat);
  if (!outf_is_tty && !monomial_list && !uglyprint && !plain) std::fprintf(outf, "&_n ");
  std::int32_t length = 0;
  if (outf_is_tty)
    quoly_display(outf, v, &length, &semicolon, polynames,
                  {.to_terminal = true, .complete = true, .linend = true});
  else
    quoly_display(outf, v, &length, &semicolon, polynames, {.linend = true});
  if (!is_number_value(v)) std::fprintf(outf, "\n");
}

// Writes the variables in the order given, at most ten of one name in a row.
void write_variables(std::FILE* outf, bool outf_is_tty, bool do_data,
                     const std::vector<varptr>& order) {
  std::size_t k = 0;
  while (k < order.size()) {
    std::size_t run = k + 1;
    while (run < order.size() && std::strcmp(order[run]->let.name, order[k]->let.name) == 0) ++run;
    for (std::size_t i = k; i < run && i < k + names_shown; ++i)
      write_variable(outf, outf_is_tty, do_data, order[i]);
    if (run - k > names_shown && outf_is_tty)
      std::fprintf(outf, " ... %d more with this name. \n",
                   static_cast<int>(run - k - names_shown));
    k = run;
  }
}

// Array pointers ride in the sort table's variable field.
varptr as_entry(arrptr a) { return reinterpret_cast<varptr>(a); }
arrptr as_array(varptr v) { return reinterpret_cast<arrptr>(v); }

// The arrays sorted by name for "&v"; false (nothing written) beyond the
// table's size.
bool do_sorted_var_list() {
  std::int32_t count = 0;
  for (arrptr chain : arr_store) {
    std::int32_t k = 0;
    std::int32_t run = 0;
    const arrnode* previous = nullptr;
    for (arrptr q = chain; q != nullptr; q = q->next) {
      if (previous != nullptr && std::strcmp(previous->name.name, q->name.name) == 0) {
        ++run;
      } else {
        run = 1;
      }
      previous = q;
      if (run > names_shown) {
        sortrec& last = sortp[count];
        if (last.count == 0) last.count = 8;
        ++last.count;
        continue;
      }
      if (++count > sort_entries) return false;
      ++k;
      chain_key(sortp[count].name, q->name, k);
      sortp[count].count = 0;
      sortp[count].pt = as_entry(q);
    }
  }
  sort_vars(sortp, count);
  for (std::int32_t i = 1; i <= count; ++i) {
    arrdescribe(stdout, as_array(sortp[i].pt));
    if (sortp[i].count > 8) std::printf(" ... %d more with this name. \n", sortp[i].count - 8);
  }
  return true;
}

// The arrays in table order when there are too many to sort.
void unsorted_array_list() {
  std::int32_t total = 0, described = 0;
  for (arrptr chain : arr_store) {
    std::int32_t here = 0, left = 0;
    for (arrptr q = chain; q != nullptr; q = q->next) {
      ++total;
      if (here < bucket_described && described < total_described) {
        arrdescribe(stdout, q);
        ++here;
        ++described;
      } else if (described < total_described) {
        ++left;
      }
    }
    if (left > 0) std::printf(" ... %d more.\n", left);
  }
  if (total > total_described) {
    std::printf("   ....\n");
    std::printf(" There are %d arrays.\n", total);
    std::printf("   %d were not described here.\n", total - total_described);
  }
}

// The relation of a modded-out level: p, or the whole binomial when p holds
// only its constant.
poly relation_of(polypt q) { return q->p->numb && q->alt != nullptr ? q->alt : q->p; }

void list_levels(std::FILE* outt) {
  std::vector<polypt> levels;
  for (polypt q = polynames; q != nullptr; q = q->next) levels.push_back(q);
  int on_line = 0;
  for (auto it = levels.rbegin(); it != levels.rend(); ++it) {
    polypt q = *it;
    if (q->p == nullptr) {
      if (on_line == 12) {
        std::fprintf(outt, "\n");
        on_line = 0;
      }
      std::fprintf(outt, "    %s;", q->let.name);
      ++on_line;
      continue;
    }
    if (on_line > 0) std::fprintf(outt, "\n");
    std::fprintf(outt, "    %s;", q->let.name);
    std::fprintf(outt, "  subject to ");
    std::int32_t length = 0, lines = 0;
    poly_display(outt, relation_of(q), &length, &semicolon, q, {.to_terminal = true}, &lines);
    std::fprintf(outt, " = 0.");
    if (q->field) std::fprintf(outt, " This creates a field.");
    std::fprintf(outt, "\n");
    on_line = 0;
  }
  if (on_line > 0) std::fprintf(outt, "\n");
}

void save_levels(std::FILE* outt) {
  std::fprintf(outt, "\n");
  std::vector<polypt> levels;
  for (polypt q = polynames; q != nullptr; q = q->next) levels.push_back(q);
  for (auto it = levels.rbegin(); it != levels.rend(); ++it) {
    polypt q = *it;
    std::fprintf(outt, "    &(J = %s);", q->let.name);
    if (q->p == nullptr) {
      std::fprintf(outt, "\n");
      continue;
    }
    if (lintmode) {
      std::fprintf(outt, "\n");
      std::fprintf(outt,
                   ";; Warning. This file was saved in modular mode. The polynomial written\n");
      std::fprintf(outt,
                   ";;   below after &(P = has been converted back to rational mode. It may\n");
      std::fprintf(outt, ";;   not be correct. Check it before reading this file.");
    }
    std::fprintf(outt, "\n &(P = ");
    {
      // In modular arithmetic the relation holds residues (a relation set
      // there has no integers at all): a copy lifted to integers is written.
      struct lifted_copy {
        poly p = nullptr;
        ~lifted_copy() {
          BigModeGuard limbs;
          free_poly(&p);
        }
      } lifted;
      poly written = relation_of(q);
      if (lintmode && !flotemode) {
        poly_assign(written, &lifted.p);
        poly_change_from_mod(lifted.p);
        written = lifted.p;
      }
      BigModeGuard rational;
      std::int32_t length = 0, lines = 0;
      poly_display(outt, written, &length, &semicolon, q, {}, &lines);
    }
    if (q->field) {
      std::fprintf(outt, ", 1");
      if (aux_prime1_number > 0) {
        std::fprintf(outt, ":");
        for (std::int32_t k = 1; k <= aux_prime1_number; ++k) {
          std::fprintf(outt, k < aux_prime1_number ? " %0d," : " %0d",
                       static_cast<int>(auxptr[k]->head->value));
          if (k % 10 == 7) std::fprintf(outt, "\n ");
        }
      } else if (q->aux_num > 0) {
        std::fprintf(outt, ": ");
      }
      if (q->aux_num > 0) {
        std::fprintf(outt, "\n :");
        int separators = 0;
        for (imptr g = q->gcd_data; g != nullptr; g = g->imag) {
          if (g != q->gcd_data) {
            std::fprintf(outt, ",");
            if (++separators % 6 == 0) std::fprintf(outt, "\n");
          }
          std::fprintf(outt, " %1d, %1d", static_cast<int>(g->lint),
                       static_cast<int>(g->head != nullptr ? g->head->value : 0));
        }
      }
    }
    std::fprintf(outt, ");\n");
  }
  std::fprintf(outt, "\n");
}

const char* on_off(bool on) { return on ? "on." : "off."; }

}  // namespace

void chain_key(nametype key, const tokentipe& name, std::int32_t k) {
  std::size_t len = std::strlen(name.name);
  if (len > sizeof(nametype) - 1) len = sizeof(nametype) - 1;
  std::memcpy(key, name.name, len);
  if (len == sizeof(nametype) - 1) --len;
  key[len] = static_cast<char>(static_cast<unsigned char>(32 + k));
  key[len + 1] = '\0';
}

void sort_vars(sortrec* q, std::int32_t size) {
  if (size >= 2) quicksort(q, 1, size);
}

void dump(std::FILE* outf, bool outf_is_tty, bool mynoisy) {
  const bool do_data = !outf_is_tty || mynoisy;
  std::vector<varptr> order;
  bool sorted = true;
  for (varptr chain : sca_store) {
    for (varptr p = chain; p != nullptr; p = p->next) {
      order.push_back(p);
      if (static_cast<std::int32_t>(order.size()) > sort_entries) sorted = false;
    }
  }
  if (sorted) {
    const auto count = static_cast<std::int32_t>(order.size());
    for (std::int32_t i = 1; i <= count; ++i) {
      std::strcpy(sortp[i].name, order[i - 1]->let.name);
      sortp[i].count = 0;
      sortp[i].pt = order[i - 1];
    }
    sort_vars(sortp, count);
    for (std::int32_t i = 1; i <= count; ++i) order[i - 1] = sortp[i].pt;
  }
  write_variables(outf, outf_is_tty, do_data, order);
}

void listvars(bool wantvalues) {
  dump(stdout, true, wantvalues);
  std::printf("\narrays:\n\n");
  if (!do_sorted_var_list()) unsorted_array_list();
}

void polylist(std::FILE* outt, bool saveflag) {
  if (saveflag)
    save_levels(outt);
  else
    list_levels(outt);
}

void global_dump() {
  std::printf("\n Basic arithmetic ring: ");
  std::printf("%s", flotemode  ? "float arithmetic"
                    : lintmode ? "integer arithmetic, float off"
                               : "rational arithmetic");
  std::printf(".\n");
  std::printf(" Display constant is %li.\n", static_cast<long>(disp_size));
  std::printf(" Pushing after errors is %s\n", on_off(errorpush));
  if (integerflag) std::printf("Real float mode on.\n");
  std::printf(" Displaying results is %s\n", on_off(noisy));
  std::printf(" Block on Chpoly is %s\n", on_off(chpoly_block));
  std::printf(" Hensel gcd double checking is %s\n", on_off(hen_check));
  if (lookupgcd != 0)
    std::printf(" GCD stashing level is %0d, so it's on. table mass: %d\n",
                static_cast<int>(lookupgcd), static_cast<int>(gcdmass));
  else
    std::printf(" GCD stashing level is %0d, so it's off. table mass: %d\n", 0,
                static_cast<int>(gcdmass));
  if (detcutoff >= 0) std::printf(" Detcutoff is %1d.\n", static_cast<int>(detcutoff));
  std::printf(" Kartasuba cutoff for poly multiplication is %1d.\n", static_cast<int>(poly_cutoff));
  if (gauss_cutoff == 1 && detcutoff == 2)
    std::printf(" Determinant method is Gauss-Bareiss.\n");
  else if (gauss_cutoff == 0 && detcutoff > 0)
    std::printf(" Determinant method is Gauss elimination until %d rows, then minors expansion.\n",
                static_cast<int>(detcutoff));
  if (detcutoff == -1 && rat_det_method_cut == 1)
    std::printf(
        " Determinant method is Lagrange interpolation if polynomials and more than 4 rows.\n");
  std::printf(" Sparse pivot heuristic is %d.\n", static_cast<int>(pseudet_heur));
  std::printf(" Array initial index is %s\n", addresser == 1 ? "1." : "0.");
  std::printf(" Command interrupt is %s\n", m_interrupt == 0   ? "off."
                                            : m_interrupt == 1 ? "on, level 1."
                                                               : "on, level 2.");
  if (std::strcmp(prompt, ">") != 0) {
    if (prompt[0] == '\r')
      std::printf(" Prompt is: <cr>\n");
    else
      std::printf(" Prompt is: %s\n", prompt);
  }
  if (namelength != 10) std::printf(" Maximum name length is %1d.\n", static_cast<int>(namelength));
  if (uglyprint) std::printf(" Ugly printing is on.\n");
  if (verbose) std::printf(" Verbose display is on.\n");
  if (windy) std::printf(" Extra verbose display is on.\n");
  if (lagrange_stash != 0) {
    std::printf(" Writing LaGrange determ. coefficients to file is on.\n");
    if (!verbose || !windy) std::printf("    But verbose and windy must be turned on too.\n");
  }
  if (timerflag) std::printf(" Timing is enabled.\n");
  if (!input_file_name.empty()) std::printf(" Reading from file %s.\n", input_file_name.c_str());
  if (!output_file_name.empty()) std::printf(" Saving to file %s.\n", output_file_name.c_str());
  const bool unit_denominator = rand_denom_n.size == 1 && rand_denom_n.head != nullptr &&
                                (rand_denom_n.head->value == 1 || rand_denom_n.head->value == -1);
  if (!unit_denominator) {
    std::printf(" Denominator for random is:");
    std::int32_t length = 0;
    BigModeGuard exact;
    display(stdout, true, false, &rand_denom_n, &length, false);
    std::printf("\n");
  }
  if (polynames == nullptr) {
    std::printf(" No polynomial variables exist.\n");
  } else {
    std::printf(" These %1d polynomial variables have been created:\n",
                static_cast<int>(number_polys));
    polylist(stdout, false);
  }
  if (field_depth > 0) {
    std::printf(" Field depth is: %1d.\n", static_cast<int>(field_depth));
    if (number_polys - field_depth > 3)
      std::printf(
          " *** Warning. Many poly vars (%d) are in the field. Performance may slow, especially "
          "over Z.\n",
          static_cast<int>(field_depth));
  }
  if (laurent) std::printf(" Laurent polynomials allowed.\n");
  if (aux_prime1_number > 0) {
    std::printf(" There are %d first auxiliary primes: \n  ", static_cast<int>(aux_prime1_number));
    for (std::int32_t k = 1; k <= aux_prime1_number; ++k) {
      std::printf("   %0d", static_cast<int>(auxptr[k]->head->value));
      if (k % 10 == 0) std::printf("\n  ");
    }
    std::printf("\n");
  }
  if (field_depth > 0) {
    if (second_aux_num > 0 && !no_aux_primes2)
      std::printf(" There are %d second auxiliary primes.\n", static_cast<int>(second_aux_num));
    else
      std::printf(" There are no second auxiliary primes.\n");
  }
  std::printf("\n");
  if (danger_ok) std::printf(" *** Can interrupt anytime! This is a bit dangerous.\n\n");
}

}  // namespace tavrin
