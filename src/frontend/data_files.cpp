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

// The files the build writes beside the executable, each listed in
// "checksums" with its size and checksum.
constexpr const char* data_file_names[] = {"pow228", "primelist", "pprods", "bprimes", "lrgpmes",
                                           "f256d",  "f2t16d",    "Qerrs",  "chdat"};

std::string data_dir;  // the directory being read, ending in "/"

// Start-up cannot go on: the file is named with what is wrong with it and
// how to make the data files anew.
[[noreturn]] void stop_start_up(const std::string& name, const std::string& what) {
  std::fflush(stdout);
  std::fprintf(stderr, "*** Tavrin error. The data file %s%s %s.\n", data_dir.c_str(), name.c_str(),
               what.c_str());
  std::fprintf(stderr,
               "*** Start-up stopped. Rebuild the data files: run \"make\" in Tavrin's source\n"
               "    directory; the build writes them into BACKWARD/ beside the executable.\n");
  throw StartupStopped{};
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
// and the checksum of the lines before it. Stops start-up when it is
// missing or does not check itself.
std::vector<listed_file> read_checksum_list() {
  std::FILE* f = std::fopen((data_dir + "checksums").c_str(), "rb");
  if (f == nullptr) stop_start_up("checksums", errno == ENOENT ? "is missing" : "cannot be opened");
  std::string text;
  for (int c = std::getc(f); c != EOF; c = std::getc(f)) text.push_back(static_cast<char>(c));
  const bool read_through = std::ferror(f) == 0;
  std::fclose(f);
  if (!read_through) stop_start_up("checksums", "cannot be read");
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
          line_end + 1 == text.size())
        return files;
      break;
    }
    if (!parse_unsigned(size, 10, &e.size) || sum.size() != 16 || !parse_unsigned(sum, 16, &e.sum) ||
        !next_word(line, &pos).empty())
      break;
    files.push_back(e);
    line_start = line_end + 1;
  }
  stop_start_up("checksums", "is damaged");
}

// Every data file is present and is what the build wrote: its size and
// checksum agree with "checksums".
void check_data_files() {
  const std::vector<listed_file> files = read_checksum_list();
  for (const char* file : data_file_names) {
    const auto it = std::find_if(files.begin(), files.end(),
                                 [file](const listed_file& l) { return l.name == file; });
    if (it == files.end()) stop_start_up("checksums", std::string("lists no ") + file);
    std::uint64_t size = 0, sum = 0;
    if (const char* fault = file_checksum(data_dir + file, &size, &sum)) stop_start_up(file, fault);
    if (size != it->size)
      stop_start_up(file, "is damaged: " + std::to_string(size) + " bytes where the build wrote " +
                              std::to_string(it->size));
    if (sum != it->sum) stop_start_up(file, "is damaged: its checksum does not match");
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
      if (k > binom_entries) stop_start_up("pow228", "is damaged: more than 1900 binomials");
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

// "Qerrs", after the messages: numbuiltins (54 .. 109), then the name pairs
// of entries 0 .. numbuiltins in strictly ascending order of their first
// names (the lookup bisects); rows past the last hold "b" and the empty
// name. Anything else stops start-up.
void read_builtin_names(DataReader& in) {
  for (auto& row : builtin) {
    std::strcpy(row[0], "b");
    row[1][0] = '\0';
  }
  const std::int64_t count = in.ld();
  if (!in.ok() || count > builtin_slots - 1 || count < 54)
    stop_start_up("Qerrs", "is damaged: the number of built-ins is wrong");
  numbuiltins = static_cast<std::int32_t>(count);
  std::string name;
  for (std::int32_t i = 0; i <= numbuiltins; ++i) {
    for (int k = 0; k < 2; ++k) {
      if (!in.word(name) || name.size() >= sizeof(nametype))
        stop_start_up("Qerrs", "is damaged: its table of built-ins ends early");
      std::strcpy(builtin[i][k], name.c_str());
    }
    if (i > 0 && std::strcmp(builtin[i - 1][0], builtin[i][0]) >= 0)
      stop_start_up("Qerrs", "is damaged: its built-ins are out of order");
  }
}

}  // namespace

void subinitialize(const std::string& includepath) {
  data_dir = includepath;
  check_data_files();
  set_first_defaults();
  make_char_table_and_duparr();
  open_chdat(includepath);
  if (!chdat_readable()) stop_start_up("chdat", "cannot be opened");
  if (!qerrs_in.open(includepath + "Qerrs")) stop_start_up("Qerrs", "cannot be opened");
  read_message_texts(qerrs_in);
  if (!qerrs_in.ok()) stop_start_up("Qerrs", "is damaged: its messages end early");
  make_rings_and_tables();

  if (!pow228_in.open(includepath + "pow228")) stop_start_up("pow228", "cannot be opened");
  read_pow228_tables(pow228_in);
  if (!pow228_in.ok()) stop_start_up("pow228", "is damaged");
  read_builtin_names(qerrs_in);
  qerrs_in.close();
  prefill_limbs_and_arrstash();

  DataReader primelist, bprimes, lrgpmes;
  if (!pprods_in.open(includepath + "pprods")) stop_start_up("pprods", "cannot be opened");
  if (!primelist.open(includepath + "primelist")) stop_start_up("primelist", "cannot be opened");
  if (!bprimes.open(includepath + "bprimes")) stop_start_up("bprimes", "cannot be opened");
  close_file(f256d_file);
  close_file(f2t16d_file);
  f256d_file = std::fopen((includepath + "f256d").c_str(), "r");
  if (f256d_file == nullptr) stop_start_up("f256d", "cannot be opened");
  f2t16d_file = std::fopen((includepath + "f2t16d").c_str(), "r");
  if (f2t16d_file == nullptr) stop_start_up("f2t16d", "cannot be opened");
  if (!lrgpmes.open(includepath + "lrgpmes")) stop_start_up("lrgpmes", "cannot be opened");

  read_table(primelist, small_prime, &DataReader::hd);
  read_table(primelist, med_prime, &DataReader::word);
  if (!primelist.ok() || med_prime[2466] != 42349 || small_prime[1229] != 9973)
    stop_start_up("primelist", "is damaged");
  read_table(bprimes, big_prime, &DataReader::word);
  if (!bprimes.ok() || big_prime[1516] != 65521) stop_start_up("bprimes", "is damaged");
  read_table(lrgpmes, lrgpme, &DataReader::word);
  if (!lrgpmes.ok() || lrgpme[2000] != 2147483629) stop_start_up("lrgpmes", "is damaged");
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
  for (int i = 6; i <= prime_count; ++i) set_table_word(&pprods_in, prime[i], pprods_in.word());
  if (!pprods_in.ok() || prime[prime_count]->lint != 48869)
    stop_start_up("pprods", "is damaged: its last prime is not 48869");
  compute_invs_prod();
  std::int64_t count = 0;
  for (number& p : num_prod) {
    count = pprods_in.ld();
    read_limbs(pprods_in, count, limb_base, p, nullptr, true);
  }
  if (!pprods_in.ok() || count != 332) stop_start_up("pprods", "is damaged");

  for (int k = 1; k <= 80; ++k) {
    const std::int32_t v = pow228_in.word();
    if (binom[k] == nullptr) continue;
    binom[k]->lint = v;
    binom[k]->flote = v;
  }
  if (!pow228_in.ok()) stop_start_up("pow228", "is damaged");
  pow228_in.close();
  pprods_in.close();
  prefill_poly_nodes();

  quoly_set(1, &pol[0][0]);
  pol[0][0]->next = nullptr;
  pol[0][0]->arr_arg = false;
  pol[0][0]->ncoef->lint = 1;
  pol[0][0]->ncoef->flote = 1;
  read_char_poly_rows(1, 11);
  if (!chdat_readable()) stop_start_up("chdat", "is damaged");

  allocate_work_areas();
  for (int i = 0; i <= 150; ++i) global_list[i] = small_prime[8 + i];
  allocate_dense_arrays();
}

}  // namespace tavrin
