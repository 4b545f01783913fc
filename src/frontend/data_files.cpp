#include "frontend/data_files.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <string>

#include "core/errors.h"
#include "core/globals.h"
#include "dense/dense_arrays.h"
#include "numbers/bigint.h"
#include "numbers/freelists.h"
#include "numbers/word_mod.h"
#include "toplevel/builtins.h"
#include "toplevel/chdat.h"
#include "toplevel/data_reader_impl.h"
#include "toplevel/start_tables.h"
#include "toplevel/state.h"

namespace tavrin {

namespace {

constexpr std::int32_t group_base = 100000000;  // limb base of two_28

// "pow228" and "pprods" are read by both halves of the start-up; "f256d"
// and "f2t16d" stay open for the whole run.
DataReader pow228_in, pprods_in, qerrs_in;
std::FILE* f256d_file = nullptr;
std::FILE* f2t16d_file = nullptr;

// x := the one-limb word prime v in every representation (v outside
// 0 .. 2^28 - 1 fails the reader and gives 0).
void set_table_word(DataReader* in, imptr x, std::int32_t v) {
  if (v < 0 || v >= limb_base) {
    if (in != nullptr) in->fail();
    v = 0;
  }
  special_set(v, x);
  x->lint = v;
  x->flote = v;
  x->imag = nullptr;
}

// The four tables of "pow228" (the file's plain binomial values are read
// by initialize).
void read_pow228_tables(DataReader& in) {
  for (number& p : two_28) {
    const std::int64_t digits = in.li();
    if (digits < 1) in.fail();
    read_limbs(in, (digits + 7) / 8, group_base, p);
  }
  for (std::int32_t& point : factnum) {
    const std::int64_t v = in.li();
    point = (v < INT32_MIN || v > INT32_MAX) ? 0 : static_cast<std::int32_t>(v);
  }
  for (number& f : facts) read_limbs(in, in.li(), limb_base, f);
  facts[0].lint = 1;
  facts[1].lint = 3628800;

  int k = 0;
  for (int n = 1; n <= 50; ++n) {
    std::int64_t width = 1;
    for (int r = 1; r <= 3 * n / 2; ++r) {
      ++k;
      if (k > binom_entries) {
        tavrin_error(" k > 1900.  bad binomial data in pow228", false);
        return;
      }
      std::int64_t first = in.li();
      if (first < 0) {
        ++width;
        first = in.li();
      }
      if (binom[k] == nullptr) newimag(&binom[k]);
      read_limbs(in, width, limb_base, *binom[k], &first);
    }
  }
}

// The inverse of a modulo p (a prime) by the extended Euclidean algorithm,
// made non-negative.
std::int32_t inverse_mod(std::int32_t a, std::int32_t p) {
  std::int32_t g = a % p, x = 0, y = 0;
  if (g == 0) return 0;
  egcd_ints(&g, p, &x, &y);
  return x < 0 ? x + p : x;
}

// invs_prod[i - 7] := the product modulo prime[i] of the inverses of
// prime[6] .. prime[i - 1], for i = 7 .. 604: formed as the inverse of their
// product (the same residue, one inverse per prime instead of i - 6).
void compute_invs_prod() {
  for (int i = 7; i <= prime_count; ++i) {
    const std::int32_t p = prime[i]->lint;
    if (p < 2) {
      invs_prod[i - 7] = 0;
      continue;
    }
    std::uint64_t product = 1;
    for (int j = 6; j < i; ++j)
      product = product * static_cast<std::uint64_t>(prime[j]->lint % p) % static_cast<std::uint64_t>(p);
    invs_prod[i - 7] = inverse_mod(static_cast<std::int32_t>(product), p);
  }
}

void close_file(std::FILE*& f) {
  if (f != nullptr) std::fclose(f);
  f = nullptr;
}

template <class T, std::size_t N>
void read_table(DataReader& in, T (&table)[N], T (DataReader::*read)()) {
  std::fill(std::begin(table), std::end(table), T{0});
  for (std::size_t i = 1; i < N; ++i) table[i] = (in.*read)();
}

constexpr int message_lines = 377;
constexpr std::size_t message_chars = 65;  // kept of each line, line end included

// Lines 1 .. 377 of "Qerrs": the first 65 characters of line x (its line end
// included when the line is shorter) become message x. Missing lines leave
// their messages empty.
void read_message_texts(DataReader& in) {
  std::string line;
  for (int x = 1; x <= message_lines; ++x) {
    erp[x][0] = '\0';
    if (!in.line(line)) continue;
    const std::size_t n = std::min(line.size(), message_chars);
    std::memcpy(erp[x], line.data(), n);
    erp[x][n] = '\0';
  }
}

// "Qerrs", after the messages: numbuiltins, then the name pairs of entries
// 0 .. numbuiltins (at most 110 pairs; a name longer than 10 characters
// keeps its first 10). Rows past the last one read hold "b" and the empty
// name; numbuiltins is kept within -1 .. 109.
void read_builtin_names(DataReader& in) {
  for (auto& row : builtin) {
    std::strcpy(row[0], "b");
    row[1][0] = '\0';
  }
  if (!in.is_open()) {
    numbuiltins = -1;
    return;
  }
  const std::int64_t count = in.ld();
  if (!in.ok() || count > builtin_slots - 1 || count < 54)
    tavrin_error("number builtins is wrong.", false);
  numbuiltins = !in.ok() ? -1 : static_cast<std::int32_t>(std::clamp<std::int64_t>(count, -1, builtin_slots - 1));
  std::string name;
  for (std::int32_t i = 0; i <= numbuiltins; ++i) {
    for (int k = 0; k < 2; ++k) {
      if (!in.word(name)) {
        numbuiltins = i - 1;  // a damaged table ends at its last whole entry
        return;
      }
      std::strncpy(builtin[i][k], name.c_str(), sizeof(nametype) - 1);
      builtin[i][k][sizeof(nametype) - 1] = '\0';
    }
  }
}

}  // namespace

void subinitialize(const std::string& includepath) {
  set_first_defaults();
  make_char_table_and_duparr();
  open_chdat(includepath);
  if (qerrs_in.open(includepath + "Qerrs")) {
    read_message_texts(qerrs_in);
  } else {
    tavrin_error("can't find Qerrs", false);
    for (auto& text : erp) text[0] = '\0';
  }
  make_rings_and_tables();

  if (pow228_in.open(includepath + "pow228")) {
    read_pow228_tables(pow228_in);
  } else {
    tavrin_error("can't find pow228.", false);
  }
  read_builtin_names(qerrs_in);
  qerrs_in.close();
  prefill_limbs_and_arrstash();

  DataReader primelist, bprimes, lrgpmes;
  if (!pprods_in.open(includepath + "pprods")) tavrin_error("can't find pprods", false);
  if (!primelist.open(includepath + "primelist")) tavrin_error("can't find primelist", false);
  if (!bprimes.open(includepath + "bprimes")) tavrin_error("can't find bprimes", false);
  close_file(f256d_file);
  close_file(f2t16d_file);
  f256d_file = std::fopen((includepath + "f256d").c_str(), "r");
  if (f256d_file == nullptr) tavrin_error("can't find f256d", false);
  f2t16d_file = std::fopen((includepath + "f2t16d").c_str(), "r");
  if (f2t16d_file == nullptr) tavrin_error("can't find f2t16d", false);
  if (!lrgpmes.open(includepath + "lrgpmes")) tavrin_error("can't find lrgpmes", false);

  if (primelist.is_open()) {
    read_table(primelist, small_prime, &DataReader::hd);
    read_table(primelist, med_prime, &DataReader::word);
    if (med_prime[2466] != 42349) tavrin_error("primelist file is damaged, medium.", false);
    if (small_prime[1229] == 0) tavrin_error("primelist file is damaged, small.", false);
  }
  if (bprimes.is_open()) {
    read_table(bprimes, big_prime, &DataReader::word);
    if (big_prime[1516] != 65521) tavrin_error("bprimes file is damaged.", false);
  }
  if (lrgpmes.is_open()) {
    read_table(lrgpmes, lrgpme, &DataReader::word);
    if (lrgpme[2000] != 2147483629) tavrin_error("lrgpmes file is damaged.", false);
  }
  make_sort_tables();
}

void initialize(const std::string& includepath) {
  subinitialize(includepath);
  set_second_defaults();

  static constexpr std::int32_t builtin_primes[5] = {3001, 16087, 16273, 16339, 19997};
  for (int i = 1; i <= prime_count; ++i) {
    if (prime[i] == nullptr) newimag(&prime[i]);
    set_table_word(nullptr, prime[i], i <= 5 ? builtin_primes[i - 1] : 0);
  }
  if (pprods_in.is_open()) {
    for (int i = 6; i <= prime_count; ++i) set_table_word(&pprods_in, prime[i], pprods_in.word());
    if (prime[prime_count]->lint != 48869) {
      tavrinerror("error in pprods, last prime.\n");
      std::printf("%d %c %d\n", prime[prime_count]->lint, ' ', 48869);
    }
    compute_invs_prod();
    std::int64_t count = 0;
    for (number& p : num_prod) {
      count = pprods_in.ld();
      read_limbs(pprods_in, count, limb_base, p, nullptr, true);
    }
    if (count != 332) tavrinerror("error in pprods, last num_prod.\n");
  }

  if (pow228_in.is_open()) {
    for (int k = 1; k <= 80; ++k) {
      const std::int32_t v = pow228_in.word();
      if (binom[k] == nullptr) continue;
      binom[k]->lint = v;
      binom[k]->flote = v;
    }
  }
  pow228_in.close();
  pprods_in.close();
  prefill_poly_nodes();

  quoly_set(1, &pol[0][0]);
  pol[0][0]->next = nullptr;
  pol[0][0]->arr_arg = false;
  pol[0][0]->ncoef->lint = 1;
  pol[0][0]->ncoef->flote = 1;
  read_char_poly_rows(1, 11);

  allocate_work_areas();
  for (int i = 0; i <= 150; ++i) global_list[i] = small_prime[8 + i];
  allocate_dense_arrays();
}

}  // namespace tavrin
