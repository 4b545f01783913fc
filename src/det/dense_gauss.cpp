// Dense Gaussian elimination (see dense_gauss.h).
#include "det/dense_gauss.h"
#include "core/error_codes.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <optional>
#include <utility>
#include <vector>

#include "core/errors.h"
#include "core/globals.h"
#include "core/interrupts.h"
#include "numbers/freelists.h"
#include "numbers/node_handles.h"
#include "numbers/work_arrays.h"
#include "poly/poly_measures.h"
#include "poly/poly_repr.h"
#include "gcd/gcd_stash.h"
#include "quoly/quoly_add.h"
#include "quoly/quoly_mult.h"
#include "quoly/quoly_quot.h"
#include "toplevel/polymodding.h"
#include "toplevel/state.h"
#include "matrix/float_images.h"
#include "matrix/row_ops.h"
#include "det/bareiss.h"
#include "det/elimination_guards.h"
#include "det/float_check.h"

namespace tavrin {

namespace {

inline quoly& at(workptr a, std::int32_t r, std::int32_t c, std::int32_t m) {
  return a->stash[static_cast<std::int64_t>(c) * m + r];
}

bool is_zero(quoly q) { return q == nullptr || quoly_iszero(q); }

// A fresh number cell 0 (array cells keep their next nil).
void set_number(std::int32_t v, quolyptr q) {
  quoly_set(v, q);
  (*q)->next = nullptr;
}

// target := target - f * x.
void sub_product(quolyptr target, quoly f, quoly x) {
  if (is_zero(f) || is_zero(x)) return;
  quoly p = nullptr;
  quoly_mult(f, x, &p);
  if (*target == nullptr) set_number(0, target);
  best_quoly_sub(target, p);
}

void push_op(colptr* list, std::int32_t i, std::int32_t j, quoly f) {
  colptr op = nullptr;
  newcol(&op);
  op->i = i;
  op->j = j;
  op->f = f;
  op->next = *list;
  *list = op;
}

// Gives a list of recorded operations back (values freed, nodes to colgarb).
void free_ops(colptr* list) {
  while (*list != nullptr) {
    colptr op = *list;
    *list = op->next;
    free_quoly(&op->f);
    op->next = colgarb;
    colgarb = op;
  }
}

struct OpLists {
  colptr rows = nullptr, cols = nullptr;
  ~OpLists() {
    free_ops(&rows);
    free_ops(&cols);
  }
};

// The array under elimination: an own pool copy of ar, or ar / outar
// itself; published as dupptr / duparr until the end. The copy's cells are
// freed and the array given back on every exit.
class WorkingArray {
 public:
  WorkingArray(workptr ar, workptr outar, std::int32_t m, bool invert, bool ar_free, bool oar_free,
               bool equal)
      : cells_(std::int64_t{m} * m) {
    const char* name = "outar";
    if (invert) {
      w_ = outar;
      // outar may be ar itself holding borrowed cells: each source cell is
      // read before its slot is cleared.
      if (!(oar_free && equal))
        for (std::int64_t k = 0; k < cells_; ++k) {
          const quoly from = ar->stash[k];
          quoly copy = nullptr;
          copy_cell(from, &copy);
          if (oar_free) free_quoly(&outar->stash[k]);
          outar->stash[k] = copy;
        }
    } else if (ar_free && equal) {
      w_ = ar;
    } else {
      guard_.emplace(&quotsign);
      if (!guard_->taken()) return;
      w_ = guard_->get();
      own_ = true;
      name = "dup";
      for (std::int64_t k = 0; k < cells_; ++k) {
        w_->stash[k] = nullptr;
        copy_cell(ar->stash[k], &w_->stash[k]);
      }
    }
    dupptr = w_;
    if (duparr != nullptr) {
      std::strcpy(duparr->name.name, name);
      duparr->stop = static_cast<std::int32_t>(cells_ - 1);
      duparr->rows = m;
    }
  }
  ~WorkingArray() { release(); }
  WorkingArray(const WorkingArray&) = delete;
  WorkingArray& operator=(const WorkingArray&) = delete;
  workptr get() const { return w_; }
  void release() {
    if (w_ == nullptr) return;
    if (own_)
      for (std::int64_t k = 0; k < cells_; ++k) free_quoly(&w_->stash[k]);
    if (dupptr == w_) dupptr = nullptr;
    if (duparr != nullptr) {
      std::strcpy(duparr->name.name, "  ");
      duparr->stop = -1;
    }
    w_ = nullptr;
    guard_.reset();
  }

 private:
  static void copy_cell(quoly from, quolyptr to) {
    if (from == nullptr)
      set_number(0, to);
    else
      quoly_assign(from, to);
  }
  std::optional<WorkArrayGuard> guard_;
  workptr w_ = nullptr;
  std::int64_t cells_;
  bool own_ = false;
};

// Resumes the modding-out the router suspended (once).
void resume_suspended(mat_invert_EnvRec& env) {
  if (!env.set_new_polynames) return;
  env.set_new_polynames = false;
  if (using_new_polynames) resume_old_polynames();
}

// X := the inverse of the unit upper triangle U held in a, in place.
void invert_unit_upper(workptr a, std::int32_t m, bool floats) {
  for (std::int32_t c = m - 1; c >= 1; --c)
    for (std::int32_t r = c - 1; r >= 0; --r) {
      if (floats) {
        long double s = at(a, r, c, m)->ncoef->flote;  // the term k = c, X(c, c) = 1
        for (std::int32_t k = r + 1; k < c; ++k)
          s += at(a, r, k, m)->ncoef->flote * at(a, k, c, m)->ncoef->flote;
        at(a, r, c, m)->ncoef->flote = -s;
        continue;
      }
      quoly s = nullptr;
      quoly_assign(at(a, r, c, m), &s);
      for (std::int32_t k = r + 1; k < c; ++k) {
        if (is_zero(at(a, r, k, m)) || is_zero(at(a, k, c, m))) continue;
        quoly p = nullptr;
        quoly_mult(at(a, r, k, m), at(a, k, c, m), &p);
        best_quoly_add(&s, p);
      }
      quoly_inplace(s);
      s->next = nullptr;
      free_quoly(&at(a, r, c, m));
      at(a, r, c, m) = s;
    }
}

// Pivot ranking of number entries: true when a beats b.
bool better_number(quoly a, quoly b) {
  if (flotemode) {
    const long double x = a->ncoef->flote < 0 ? -a->ncoef->flote : a->ncoef->flote;
    const long double y = b->ncoef->flote < 0 ? -b->ncoef->flote : b->ncoef->flote;
    return x > y;
  }
  if (lintmode) return false;
  return a->ncoef->size < b->ncoef->size;
}

}  // namespace

void find_good_spot(workptr dup, std::int32_t i, std::int32_t m, std::int32_t num_cols,
                    std::int32_t* newi, std::int32_t* j) {
  std::int64_t best_number = -1, best_other = -1;
  std::int32_t best_mass = 0;
  const std::int32_t last = std::min(m, i + num_cols - 1);
  for (std::int32_t c = i - 1; c < last; ++c) {
    for (std::int32_t r = i - 1; r < m; ++r) {
      quoly q = at(dup, r, c, m);
      if (is_zero(q)) continue;
      const std::int64_t k = std::int64_t{c} * m + r;
      if (q->numb) {
        if (best_number < 0 || better_number(q, dup->stash[best_number])) best_number = k;
      } else if (best_number < 0) {
        const std::int32_t mass = quoly_mass(q);
        if (best_other < 0 || mass < best_mass) {
          best_other = k;
          best_mass = mass;
        }
      }
    }
    if (c == i - 1 && best_number < 0 && best_other < 0 && m > 1) break;
  }
  const std::int64_t k = best_number >= 0 ? best_number : best_other;
  if (k < 0) {
    *newi = 0;
    return;
  }
  *newi = static_cast<std::int32_t>(k % m) + 1;
  *j = static_cast<std::int32_t>(k / m) + 1;
}

void divide_thru(quolyptr n, workptr dup, bool invert, std::int32_t i, std::int32_t m,
                 colptr* ops) {
  const std::int32_t p = i - 1;
  // The pivot's copy and its reciprocal are freed on every exit: a pivot
  // without an inverse (a composite modulus) ends the statement here.
  nodes::OwnedValue pivot_copy, reciprocal;
  quoly& val = pivot_copy.q;
  quoly_assign(at(dup, p, p, m), &val);
  if (invert) {
    quoly rec = nullptr;
    quoly_assign(val, &rec);
    push_op(ops, p, p, rec);
  } else {
    fast_quoly_mult(n, &val);
  }
  const bool by_reciprocal =
      val->numb ||
      (laurent && (val->denom == nullptr || (val->denom->numb && val->denom->next == nullptr)) &&
       monomial(val->numer));
  if (by_reciprocal) {
    quoly& one = reciprocal.q;
    set_number(1, &one);
    fast_quoly_quot(&one, &val, false);
    for (std::int32_t c = i; c < m; ++c)
      if (!is_zero(at(dup, p, c, m))) fast_quoly_mult(&at(dup, p, c, m), &one);
  } else {
    for (std::int32_t c = i; c < m; ++c)
      if (!is_zero(at(dup, p, c, m))) fast_quoly_quot(&at(dup, p, c, m), &val, false);
  }
  free_quoly(&at(dup, p, p, m));
  set_number(1, &at(dup, p, p, m));
}

void zero_out(workptr dup, std::int32_t i, std::int32_t m, bool allnumbs, colptr* ops) {
  const std::int32_t p = i - 1;
  for (std::int32_t r = i; r < m; ++r) {
    quoly f = nullptr;
    quoly_assign(at(dup, r, p, m), &f);
    push_op(ops, p, r, f);
  }
  simple_zero_out(dup, i, m, allnumbs);
  for (std::int32_t r = i; r < m; ++r) {
    if (allnumbs) {
      at(dup, r, p, m)->ncoef->flote = 0.0L;
    } else {
      free_quoly(&at(dup, r, p, m));
      set_number(0, &at(dup, r, p, m));
    }
  }
}

void restore_rowop(std::int32_t m, workptr outar, colptr q, bool allnumbs) {
  if (q->f == nullptr) {  // exchange
    swap_cols(outar, q->i, q->j, m);
    return;
  }
  if (q->i == q->j) {  // division by the pivot
    if (allnumbs) {
      const long double inv = 1.0L / q->f->ncoef->flote;
      for (std::int32_t r = 0; r < m; ++r) at(outar, r, q->i, m)->ncoef->flote *= inv;
    } else {
      for (std::int32_t r = 0; r < m; ++r)
        if (!is_zero(at(outar, r, q->i, m))) fast_quoly_quot(&at(outar, r, q->i, m), &q->f, false);
    }
    return;
  }
  // column i := column i - f * column j
  for (std::int32_t r = 0; r < m; ++r) {
    if (allnumbs)
      at(outar, r, q->i, m)->ncoef->flote -=
          q->f->ncoef->flote * at(outar, r, q->j, m)->ncoef->flote;
    else
      sub_product(&at(outar, r, q->i, m), q->f, at(outar, r, q->j, m));
  }
}

void small_determ(quolyptr n, quoly* matrx, std::int32_t s, bool verb) {
  auto a = [&](std::int32_t r, std::int32_t c) -> quoly& { return matrx[c * s + r]; };
  if (s == 2) {
    quoly d = nullptr;
    set_number(0, &d);
    sub_product(&d, a(1, 0), a(0, 1));
    quoly_inplace(d);
    sub_product(&d, a(0, 0), a(1, 1));
    quoly_inplace(d);
    d->next = nullptr;
    free_quoly(n);
    *n = d;
    return;
  }
  // The line with the most zeros: rows first, a column only when strictly
  // better, the first among equals.
  std::int32_t best = -1, line = 0;
  bool column = false;
  for (std::int32_t r = 0; r < s; ++r) {
    std::int32_t z = 0;
    for (std::int32_t c = 0; c < s; ++c) z += is_zero(a(r, c)) ? 1 : 0;
    if (z > best) best = z, line = r;
  }
  for (std::int32_t c = 0; c < s; ++c) {
    std::int32_t z = 0;
    for (std::int32_t r = 0; r < s; ++r) z += is_zero(a(r, c)) ? 1 : 0;
    if (z > best) best = z, line = c, column = true;
  }
  auto exchange = [&] {
    for (std::int32_t k = 0; k < s; ++k) {
      if (column)
        std::swap(a(k, 0), a(k, line));
      else
        std::swap(a(0, k), a(line, k));
    }
  };
  if (line != 0) exchange();
  // Expansion along line 0; minor (k, l), side s - 1, column by column.
  const std::int32_t t = s - 1;
  std::vector<quoly> minor(static_cast<std::size_t>(t) * t);
  auto put_line = [&](std::int32_t slot, std::int32_t from) {
    // minor line `slot` (across the expansion) := matrix line `from`
    for (std::int32_t k = 0; k < t; ++k) {
      if (column)
        minor[static_cast<std::size_t>(k) * t + slot] = a(from, k + 1);  // minor row slot
      else
        minor[static_cast<std::size_t>(slot) * t + k] = a(k + 1, from);  // minor column slot
    }
  };
  for (std::int32_t u = 1; u < s; ++u) put_line(u - 1, u);
  quoly sum = nullptr;
  set_number(0, &sum);
  for (std::int32_t u = 0; u < s; ++u) {
    if (u > 0) put_line(u - 1, u - 1);
    if (verb) dumpitt(" ", u + 1, false, false, true);
    quoly e = column ? a(u, 0) : a(0, u);
    if (is_zero(e)) continue;
    quoly term = nullptr;
    small_determ(&term, minor.data(), t, verb);
    fast_quoly_mult(&term, &e);
    if (u % 2 == 1) quoly_inplace(term);
    best_quoly_add(&sum, term);
  }
  if (line != 0) {
    exchange();
    quoly_inplace(sum);
  }
  sum->next = nullptr;
  free_quoly(n);
  *n = sum;
}

void standard_matrix_invert(quolyptr n, std::int32_t m, poly fct, workptr ar, workptr outar,
                            const InvertFlags& how, mat_invert_EnvRec& env) {
  const bool oar_free = how.oar_free;
  const bool invert = how.invert;
  const bool ar_free = how.ar_free;
  const bool equal = how.equal;
  env.allnumbs = env.allnumbs && flotemode;
  const bool floats = env.allnumbs;
  WorkingArray work(ar, outar, m, invert, ar_free, oar_free, equal);
  if (work.get() == nullptr) {  // the pool was exhausted (error 88 reported)
    if (invert) return;
    throw mat_invert_exit{};
  }
  workptr dup = work.get();
  env.mydupptr = dup;
  GcdStashLevel cache;
  TraceLevel trace(m, invert ? false : verbose);
  if (verbose) dumpitt("Standard G.E. method, rank ", m, true, true, true);
  OpLists ops;
  // Watched floating polynomial entries: an entry whose degree passes every
  // minor's has lost its GCDs, and the determinant would be garbage.
  const bool watched = fl_check_watching && flotemode && !floats && !invert;
  const std::int64_t degree_bound = watched ? fl_minor_degree_bound(dup, m) : 0;
  bool singular = false, finished = false;
  // A floating inverse refuses a matrix singular to working precision:
  // rounding leaves a singular matrix's last pivots small but seldom
  // exactly 0, so each pivot is weighed against the magnitudes that formed it.
  const auto entry = [dup, m](std::int32_t r, std::int32_t c) {
    return at(dup, r, c, m)->ncoef->flote;
  };
  std::optional<PivotMagnitudes> bounds;
  if (floats && invert) bounds.emplace(m, entry);
  for (std::int32_t i = 1; i <= m && !finished; ++i) {
    check_interrupt();
    const std::int32_t p = i - 1;
    const std::int32_t num_cols = env.cols_to_search == one_1  ? 1
                                  : env.cols_to_search == half ? (m - i + 2) / 2
                                                               : m - i + 1;
    std::int32_t newi = 0, j = 0;
    find_good_spot(dup, i, m, num_cols, &newi, &j);
    if (verbose) dumpitt(" ", i, false, false, true);
    if (newi == 0) {
      singular = true;
      break;
    }
    if (newi != i) {
      swap_rows(n, dup, !invert, false, p, newi - 1, m);
      if (invert) push_op(&ops.rows, p, newi - 1, nullptr);
    }
    if (j != i) {
      dual_swap_cols(n, dup, invert, p, j - 1, m);
      if (invert) push_op(&ops.cols, p, j - 1, nullptr);
    }
    if (bounds) {
      bounds->swap_rows(p, newi - 1);
      bounds->swap_cols(p, j - 1);
      if (bounds->vanishing(p, entry(p, p))) {
        singular = true;
        break;
      }
      bounds->eliminate(p, entry);
    }
    if (!invert && m - i < env.mycut) {
      const std::int32_t s = m - i + 1;
      if (s == 1) {
        if (floats)
          (*n)->ncoef->flote *= at(dup, p, p, m)->ncoef->flote;
        else
          fast_quoly_mult(n, &at(dup, p, p, m));
      } else {
        std::vector<quoly> block(static_cast<std::size_t>(s) * s);
        for (std::int32_t c = 0; c < s; ++c)
          for (std::int32_t r = 0; r < s; ++r)
            block[static_cast<std::size_t>(c) * s + r] = at(dup, p + r, p + c, m);
        free_quoly(&env.temp);
        if (verbose) dumpitt(" Finish by minors, rank ", s, true, true, true);
        small_determ(&env.temp, block.data(), s, verbose);
        fast_quoly_mult(n, &env.temp);
        free_quoly(&env.temp);
      }
      finished = true;
      break;
    }
    if (!invert && i == m) {
      if (floats) {  // integerflag alone gives no long doubles to multiply
        (*n)->ncoef->flote *= at(dup, p, p, m)->ncoef->flote;
        at(dup, p, p, m)->ncoef->flote = 1.0L;
      } else {
        fast_quoly_mult(n, &at(dup, p, p, m));
        free_quoly(&at(dup, p, p, m));
        set_number(1, &at(dup, p, p, m));
      }
      break;
    }
    if (floats)
      numb_divide_thru(n, dup, invert, i, m, &ops.rows);
    else
      divide_thru(n, dup, invert, i, m, &ops.rows);
    if (invert)
      zero_out(dup, i, m, floats, &ops.rows);
    else
      simple_zero_out(dup, i, m, floats);
    if (watched)
      for (std::int32_t c = i; c < m; ++c)
        for (std::int32_t r = i; r < m; ++r) fl_check_degree(at(dup, r, c, m), degree_bound);
  }
  if (singular) {
    work.release();
    resume_suspended(env);
    if (!invert) {
      if (floats)
        fl_quoly_set(0.0L, n);
      else
        quoly_set(0, n);
      throw mat_invert_exit{};
    }
    const std::int64_t cells = std::int64_t{m} * m;
    if (ar_free)
      for (std::int64_t k = 0; k < cells; ++k) free_quoly(&ar->stash[k]);
    if (!equal)
      for (std::int64_t k = 0; k < cells; ++k) free_quoly(&outar->stash[k]);
    error(matrix_singular_no_inverse_error, &quotsign);
    return;
  }
  if (!invert) {
    work.release();
    exitt(env, n, fct, true);
  }
  if (verbose) dumpitt(" Now inverting upper triangular matrix, rank ", m, true, true, true);
  invert_unit_upper(dup, m, floats);
  if (verbose) std::printf("\n%*sRestoring row and column ops. \n", 3 * dumpitt_level, "");
  for (colptr q = ops.rows; q != nullptr; q = q->next) restore_rowop(m, dup, q, floats);
  for (colptr q = ops.cols; q != nullptr; q = q->next)
    for (std::int32_t c = 0; c < m; ++c) std::swap(at(dup, q->i, c, m), at(dup, q->j, c, m));
  work.release();
  if (env.set_new_polynames) {
    resume_suspended(env);
    const std::int64_t cells = std::int64_t{m} * m;
    for (std::int64_t k = 0; k < cells; ++k)
      if (outar->stash[k] != nullptr && !outar->stash[k]->numb)
        modout_result(&outar->stash[k], env.laurent);
  }
}

void gauss_Bareiss(quolyptr n, std::int32_t m, workptr ar, bool ar_free, bool invert, poly fct,
                   mat_invert_EnvRec& env, bool equal) {
  (void)invert;  // the router asks for determinants only
  WorkingArray work(ar, ar, m, false, ar_free, false, equal);
  if (work.get() == nullptr) throw mat_invert_exit{};
  workptr dup = work.get();
  env.mydupptr = dup;
  TraceLevel trace(m, verbose);
  if (verbose) dumpitt("Gauss-Bareiss method, size ", m, true, true, true);
  nodes::OwnedValue prev;
  for (std::int32_t i = 1; i < m; ++i) {
    check_interrupt();
    const std::int32_t p = i - 1;
    std::int32_t newi = 0, j = 0;
    find_good_spot(dup, i, m, m - i + 1, &newi, &j);
    if (verbose) dumpitt(" ", i, false, false, true);
    if (newi == 0) {
      work.release();
      resume_suspended(env);
      quoly_set(0, n);
      throw mat_invert_exit{};
    }
    if (newi != i) swap_rows(n, dup, true, false, p, newi - 1, m);
    if (j != i) dual_swap_cols(n, dup, false, p, j - 1, m);
    quoly piv = at(dup, p, p, m);
    for (std::int32_t r = i; r < m; ++r)
      for (std::int32_t c = i; c < m; ++c) {
        quoly t = nullptr;
        quoly_mult(piv, at(dup, r, c, m), &t);
        t->next = nullptr;
        sub_product(&t, at(dup, r, p, m), at(dup, p, c, m));
        if (prev.q != nullptr && !is_zero(t)) {
          bool fails = false;
          trial_divide(&prev.q, &t, true, false, true, &fails);
          if (fails) {
            fl_check_lost();  // long doubles seldom divide exactly
            tavrin_error(" Gauss-Bareiss", true);
          }
          if (!t->numb && t->denom == nullptr && t->numer->numb && t->numer->next == nullptr)
            polynum_to_quoly(&t);
        }
        t->next = nullptr;
        free_quoly(&at(dup, r, c, m));
        at(dup, r, c, m) = t;
      }
    free_quoly(&prev.q);
    quoly_assign(piv, &prev.q);
  }
  fast_quoly_mult(n, &at(dup, m - 1, m - 1, m));
  work.release();
  exitt(env, n, fct, true);
}

}  // namespace tavrin
