#include "frontend/data_files.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

#include "core/errors.h"
#include "core/globals.h"
#include "core/jumps.h"
#include "numbers/bigint.h"
#include "numbers/freelists.h"
#include "numbers/word_mod.h"
#include "dense/dense_arrays.h"
#include "toplevel/builtins.h"
#include "toplevel/chdat.h"
#include "toplevel/data_reader.h"
#include "toplevel/start_tables.h"
#include "toplevel/state.h"
#include "lang/operator_aliases.h"

namespace tavrin {

namespace {

constexpr std::int32_t group_base = 100000000;  // limb base of two_28

// The files the build writes beside the executable, each listed in
// "checksums" with its size and checksum, in the order start-up opens them,
// with the message of one that cannot be opened.
struct file_entry {
  data_file file;
  const char* cant_find;
};
constexpr file_entry data_files[data_file_count] = {
    {data_file::chdat, "can't find chdat."},        {data_file::qerrs, "can't find Qerrs"},
    {data_file::pow228, "can't find pow228."},      {data_file::pprods, "can't find pprods"},
    {data_file::primelist, "can't find primelist"}, {data_file::bprimes, "can't find bprimes"},
    {data_file::f256d, "can't find f256d"},         {data_file::f2t16d, "can't find f2t16d"},
    {data_file::lrgpmes, "can't find lrgpmes"}};

std::string data_dir;  // the directory being read, ending in "/"

std::string path_of(data_file f) { return data_dir + data_file_name(f); }

// The file is left unused for the reason given, with the message (the
// first reason found stands).
void leave_unused(data_file f, data_fault why, const std::string& message) {
  if (!usable(f)) return;
  data_file_faults[static_cast<int>(f)] = why;
  tavrin_error(message.c_str(), false);
}

void missing(data_file f) {
  for (const file_entry& e : data_files)
    if (e.file == f) leave_unused(f, data_fault::missing, e.cant_find);
}

// what: the reader's own message, or what is wrong after "<name> is damaged: ".
void damaged(data_file f, const std::string& what) { leave_unused(f, data_fault::damaged, what); }
void damaged_because(data_file f, const std::string& why) {
  damaged(f, std::string(data_file_name(f)) + " is damaged: " + why + ".");
}

// The size and FNV-1a 64-bit checksum of a file, as the generator computes
// them; nil when it can be read through, else what is wrong.
const char* file_checksum(const std::string& path, std::uint64_t* size, std::uint64_t* sum) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) return errno == ENOENT ? "is missing" : "cannot be opened";
  std::uint64_t h = 14695981039346656037u, n = 0;
  for (int c = getc_unlocked(f); c != EOF; c = getc_unlocked(f)) {
    h = (h ^ static_cast<unsigned char>(c)) * 1099511628211u;
    ++n;
  }
  const bool ok = std::ferror(f) == 0;
  std::fclose(f);
  *size = n;
  *sum = h;
  return ok ? nullptr : "cannot be read";
}

std::uint64_t fnv1a(const std::string& bytes) {
  std::uint64_t h = 14695981039346656037u;
  for (const char c : bytes) h = (h ^ static_cast<unsigned char>(c)) * 1099511628211u;
  return h;
}

// The next word of `line` from *pos (blanks skipped).
std::string next_word(const std::string& line, std::size_t* pos) {
  const std::size_t from = line.find_first_not_of(' ', *pos);
  if (from == std::string::npos) return {};
  const std::size_t to = line.find(' ', from);
  *pos = to == std::string::npos ? line.size() : to;
  return line.substr(from, *pos - from);
}

// The unsigned number of `text` in base 10 or 16 (digits only, 1 .. 20 of
// them); false when it is none.
bool parse_unsigned(const std::string& text, int base, std::uint64_t* v) {
  if (text.empty() || text.size() > 20) return false;
  std::uint64_t r = 0;
  for (const char c : text) {
    int d = -1;
    if (c >= '0' && c <= '9') d = c - '0';
    if (base == 16 && c >= 'a' && c <= 'f') d = c - 'a' + 10;
    if (d < 0) return false;
    r = r * static_cast<std::uint64_t>(base) + static_cast<std::uint64_t>(d);
  }
  *v = r;
  return true;
}

struct listed_file {
  std::string name;
  std::uint64_t size = 0, sum = 0;
};

// The list "checksums": a line "name size checksum" per file, then "end"
// and the checksum of the lines before it. Nothing when it is missing or
// does not check itself (*fault then says which).
std::vector<listed_file> read_checksum_list(const char** fault) {
  *fault = nullptr;
  std::FILE* f = std::fopen((data_dir + "checksums").c_str(), "rb");
  if (f == nullptr) {
    *fault = "can't find checksums";
    return {};
  }
  std::string text;
  for (int c = std::getc(f); c != EOF; c = std::getc(f)) text.push_back(static_cast<char>(c));
  const bool read_through = std::ferror(f) == 0;
  std::fclose(f);
  *fault = read_through ? "checksums is damaged" : "can't find checksums";
  if (!read_through) return {};
  std::vector<listed_file> files;
  std::size_t line_start = 0;
  while (line_start < text.size()) {
    const std::size_t line_end = text.find('\n', line_start);
    if (line_end == std::string::npos) break;
    const std::string line = text.substr(line_start, line_end - line_start);
    std::size_t pos = 0;
    listed_file e;
    e.name = next_word(line, &pos);
    const std::string size = next_word(line, &pos), sum = next_word(line, &pos);
    if (e.name == "end" && size.size() == 16 && sum.empty()) {
      std::uint64_t whole = 0;
      if (parse_unsigned(size, 16, &whole) && whole == fnv1a(text.substr(0, line_start)) &&
          line_end + 1 == text.size()) {
        *fault = nullptr;
        return files;
      }
      break;
    }
    if (!parse_unsigned(size, 10, &e.size) || sum.size() != 16 ||
        !parse_unsigned(sum, 16, &e.sum) || !next_word(line, &pos).empty())
      break;
    files.push_back(e);
    line_start = line_end + 1;
  }
  return {};
}

// Every data file is present and is what the build wrote: its size and
// checksum agree with "checksums". One that is not is left unused: missing
// when it cannot be read, damaged otherwise, and unchecked (every file that
// can be read) when the list itself is missing or damaged.
void check_data_files() {
  for (data_fault& f : data_file_faults) f = data_fault::none;
  const char* list_fault = nullptr;
  const std::vector<listed_file> files = read_checksum_list(&list_fault);
  for (const file_entry& e : data_files) {
    const char* name = data_file_name(e.file);
    std::uint64_t size = 0, sum = 0;
    if (file_checksum(path_of(e.file), &size, &sum) != nullptr) {
      missing(e.file);
      continue;
    }
    const auto it = std::find_if(files.begin(), files.end(),
                                 [name](const listed_file& l) { return l.name == name; });
    if (list_fault != nullptr) {
      data_file_faults[static_cast<int>(e.file)] = data_fault::unchecked;
    } else if (it == files.end()) {
      leave_unused(e.file, data_fault::unchecked,
                   std::string("checksums lists no ") + name + "; it is not used.");
    } else if (size != it->size) {
      damaged_because(e.file, std::to_string(size) + " bytes where the build wrote " +
                                  std::to_string(it->size));
    } else if (sum != it->sum) {
      damaged_because(e.file, "its checksum does not match");
    }
  }
  if (list_fault != nullptr) {
    tavrin_error(
        (std::string(list_fault) + ": no data file can be checked, so none is used.").c_str(),
        false);
  }
}

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
      product =
          product * static_cast<std::uint64_t>(prime[j]->lint % p) % static_cast<std::uint64_t>(p);
    invs_prod[i - 7] =
        static_cast<std::int32_t>(inverse_modulo(product, static_cast<std::uint32_t>(p)));
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

// The rows of the built-in table emptied: "b" and the empty name, and no
// entry in use.
void clear_builtin_names() {
  for (auto& row : builtin) {
    std::strcpy(row.name, "b");
    row.second[0] = '\0';
    row.alias = nullptr;
  }
  numbuiltins = -1;
}

// "Qerrs", after the messages: numbuiltins (54 .. 109), then the name pairs
// of entries 0 .. numbuiltins in strictly ascending order of their first
// names (the lookup bisects); rows past the last hold "b" and the empty
// name. Anything else: the message, and false.
bool read_builtin_names(DataReader& in) {
  clear_builtin_names();
  const std::int64_t count = in.ld();
  if (!in.ok() || count > builtin_slots - 1 || count < 54) {
    damaged(data_file::qerrs, "number builtins is wrong.");
    return false;
  }
  std::string name;
  for (std::int32_t i = 0; i <= count; ++i) {
    for (int k = 0; k < 2; ++k) {
      if (!in.word(name) || name.size() >= sizeof(nametype)) {
        damaged_because(data_file::qerrs, "its table of built-ins ends early");
        return false;
      }
      std::strcpy(k == 0 ? builtin[i].name : builtin[i].second, name.c_str());
    }
    if (i > 0 && std::strcmp(builtin[i - 1].name, builtin[i].name) >= 0) {
      damaged_because(data_file::qerrs, "its built-ins are out of order");
      return false;
    }
  }
  numbuiltins = static_cast<std::int32_t>(count);
  link_builtin_aliases();
  return true;
}

// Opens f for reading when it is in use; false otherwise (a file that
// cannot be opened now is missing).
bool open_in_use(DataReader& in, data_file f) {
  if (!usable(f)) return false;
  if (in.open(path_of(f))) return true;
  missing(f);
  return false;
}

// A reader that failed leaves its file damaged (with the message given,
// else "<name> is damaged."). True when the reading is good.
bool read_well(DataReader& in, data_file f, bool sentinel_holds, const char* message = nullptr) {
  if (in.ok() && sentinel_holds) return true;
  damaged(f, message != nullptr ? std::string(message)
                                : std::string(data_file_name(f)) + " is damaged.");
  in.close();
  return false;
}

}  // namespace

void subinitialize(const std::string& includepath) {
  data_dir = includepath;
  check_data_files();
  set_first_defaults();
  make_char_table_and_duparr();
  if (usable(data_file::chdat)) {
    open_chdat(includepath);
    if (!chdat_readable()) missing(data_file::chdat);
  }
  if (open_in_use(qerrs_in, data_file::qerrs)) {
    read_message_texts(qerrs_in);
    read_well(qerrs_in, data_file::qerrs, true, "Qerrs is damaged: its messages end early.");
  }
  make_rings_and_tables();

  if (open_in_use(pow228_in, data_file::pow228)) {
    read_pow228_tables(pow228_in);
    read_well(pow228_in, data_file::pow228, true);
  }
  clear_builtin_names();
  if (usable(data_file::qerrs) && !read_builtin_names(qerrs_in)) clear_builtin_names();
  qerrs_in.close();
  if (!usable(data_file::qerrs)) {
    // Reports print the code instead (errors.cpp).
    for (auto& text : erp) text[0] = '\0';
  }
  prefill_limbs_and_arrstash();

  DataReader primelist, bprimes, lrgpmes;
  open_in_use(pprods_in, data_file::pprods);
  open_in_use(primelist, data_file::primelist);
  open_in_use(bprimes, data_file::bprimes);
  close_file(f256d_file);
  close_file(f2t16d_file);
  if (usable(data_file::f256d)) {
    f256d_file = std::fopen(path_of(data_file::f256d).c_str(), "r");
    if (f256d_file == nullptr) missing(data_file::f256d);
  }
  if (usable(data_file::f2t16d)) {
    f2t16d_file = std::fopen(path_of(data_file::f2t16d).c_str(), "r");
    if (f2t16d_file == nullptr) missing(data_file::f2t16d);
  }
  open_in_use(lrgpmes, data_file::lrgpmes);

  if (primelist.is_open()) {
    read_table(primelist, small_prime, &DataReader::hd);
    read_table(primelist, med_prime, &DataReader::word);
    if (read_well(primelist, data_file::primelist, med_prime[2466] == 42349,
                  "primelist file is damaged, medium."))
      read_well(primelist, data_file::primelist, small_prime[1229] == 9973,
                "primelist file is damaged, small.");
  }
  if (bprimes.is_open()) {
    read_table(bprimes, big_prime, &DataReader::word);
    read_well(bprimes, data_file::bprimes, big_prime[1516] == 65521, "bprimes file is damaged.");
  }
  if (lrgpmes.is_open()) {
    read_table(lrgpmes, lrgpme, &DataReader::word);
    read_well(lrgpmes, data_file::lrgpmes, lrgpme[2000] == 2147483629, "lrgpmes file is damaged.");
  }
  // A table of a file found damaged is left empty, as if it had not been read.
  if (!usable(data_file::primelist)) {
    std::fill(std::begin(small_prime), std::end(small_prime), std::int16_t{0});
    std::fill(std::begin(med_prime), std::end(med_prime), 0);
  }
  if (!usable(data_file::bprimes)) std::fill(std::begin(big_prime), std::end(big_prime), 0);
  if (!usable(data_file::lrgpmes)) std::fill(std::begin(lrgpme), std::end(lrgpme), 0);
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
    if (read_well(pprods_in, data_file::pprods, prime[prime_count]->lint == 48869,
                  "error in pprods, last prime.")) {
      std::int64_t count = 0;
      for (number& p : num_prod) {
        count = pprods_in.ld();
        read_limbs(pprods_in, count, limb_base, p, nullptr, true);
      }
      read_well(pprods_in, data_file::pprods, count == 332, "error in pprods, last num_prod.");
    }
  }
  if (usable(data_file::pprods)) {
    compute_invs_prod();
  } else {
    for (int i = 6; i <= prime_count; ++i) set_table_word(nullptr, prime[i], 0);
    for (number& p : num_prod) special_free(&p);
    std::fill(std::begin(invs_prod), std::end(invs_prod), 0);
  }

  if (pow228_in.is_open()) {
    for (int k = 1; k <= 80; ++k) {
      const std::int32_t v = pow228_in.word();
      if (binom[k] == nullptr) continue;
      binom[k]->lint = v;
      binom[k]->flote = v;
    }
    read_well(pow228_in, data_file::pow228, true);
  }
  pow228_in.close();
  pprods_in.close();
  prefill_poly_nodes();

  quoly_set(1, &pol[0][0]);
  pol[0][0]->next = nullptr;
  pol[0][0]->arr_arg = false;
  pol[0][0]->ncoef->lint = 1;
  pol[0][0]->ncoef->flote = 1;
  if (usable(data_file::chdat)) {
    read_char_poly_rows(1, 11);
    if (!chdat_readable()) damaged(data_file::chdat, "chdat is damaged.");
  }
  if (!usable(data_file::chdat)) {
    // No row is read from it again; the rows are computed when needed
    // (char_poly.cpp).
    for (std::int32_t m = 1; m < pol_rows; ++m)
      for (std::int32_t i = 0; i <= m; ++i) free_quoly(&pol[m][i]);
  }

  allocate_work_areas();
  for (int i = 0; i <= 150; ++i) global_list[i] = small_prime[8 + i];
  allocate_dense_arrays();
  bool any_unused = false;
  for (data_fault f : data_file_faults) any_unused = any_unused || f != data_fault::none;
  if (any_unused) {
    std::printf("    Start-up goes on without the tables of those files.\n");
    rebuild_data_files_hint();
  }
}

}  // namespace tavrin
