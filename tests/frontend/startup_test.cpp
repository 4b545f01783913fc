// The program itself at start-up: it finds the data directory beside its
// executable from any current directory and at any depth, reads it without
// a message, and names a missing or damaged data file and goes on without
// it, what needs the file then reporting it.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <string>

#include "support/program_run.h"

namespace tavrin::test {
namespace {

namespace fs = std::filesystem;

// Runs a shell command with standard input empty; its standard output and
// error together.
ShellRun run(const std::string& command) { return run_shell(command + " </dev/null 2>&1"); }

std::string quoted(const fs::path& p) { return "'" + p.string() + "'"; }

std::string read_file(const fs::path& p) {
  std::ifstream in(p);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

void write_file(const fs::path& p, const std::string& text) {
  std::ofstream out(p, std::ios::trunc);
  out << text;
}

// The text up to (not including) the n-th white-space-separated value.
std::string first_values(const std::string& text, int n) {
  std::size_t pos = 0;
  for (int k = 0; k < n; ++k) {
    pos = text.find_first_not_of(" \n", pos);
    pos = text.find_first_of(" \n", pos);
  }
  return text.substr(0, pos) + "\n";
}

const fs::path executable = TAVRIN_TEST_EXECUTABLE;
const fs::path data_dir = TAVRIN_TEST_DATA_DIR;

std::string reading_line(const fs::path& dir) {
  return "Reading initialization data from directory " + dir.string();
}

TEST(Startup, FindsTheDataDirectoryFromAnyCurrentDirectory) {
  const fs::path build = executable.parent_path();
  const std::string expect = reading_line(build / "BACKWARD/");
  const ShellRun from_root = run("cd / && " + quoted(executable));
  EXPECT_EQ(from_root.status, 0);
  EXPECT_NE(from_root.out.find(expect), std::string::npos) << from_root.out;
  EXPECT_EQ(from_root.out.find("Tavrin error"), std::string::npos) << from_root.out;

  const ShellRun relative =
      run("cd " + quoted(build / "tests") + " && ../" + executable.filename().string());
  EXPECT_NE(relative.out.find(expect), std::string::npos) << relative.out;
  EXPECT_EQ(relative.out.find("Tavrin error"), std::string::npos) << relative.out;

  const ShellRun by_path =
      run("cd /tmp && PATH=" + quoted(build) + ":\"$PATH\" " + executable.filename().string());
  EXPECT_NE(by_path.out.find(expect), std::string::npos) << by_path.out;
  EXPECT_EQ(by_path.out.find("Tavrin error"), std::string::npos) << by_path.out;
}

// No path buffer cuts the executable's path: a copy of the program and its
// data 1,200 characters deep is found by its absolute path and through a
// symbolic link whose target is that long.
TEST(Startup, FindsTheDataDirectoryBeyondAThousandCharacters) {
  const fs::path root = fs::temp_directory_path() / ("tavrin_long_" + std::to_string(getpid()));
  fs::remove_all(root);
  fs::path deep = root;
  for (int k = 0; k < 6; ++k) deep /= std::string(200, static_cast<char>('a' + k));
  fs::create_directories(deep);
  fs::copy_file(executable, deep / "tavrin");
  fs::permissions(deep / "tavrin", fs::perms::owner_all);
  fs::copy(data_dir, deep / "BACKWARD");
  fs::create_symlink(deep / "tavrin", root / "link");
  ASSERT_GT((deep / "BACKWARD/").string().size(), 1200u);
  const std::string expect = reading_line(deep / "BACKWARD/") + "\n";
  for (const fs::path& started : {deep / "tavrin", root / "link"}) {
    const ShellRun r = run("cd / && " + quoted(started));
    EXPECT_EQ(r.status, 0) << started;
    EXPECT_NE(r.out.find(expect), std::string::npos) << started << "\n" << r.out.substr(0, 400);
    EXPECT_EQ(r.out.find("Tavrin error"), std::string::npos) << r.out.substr(0, 400);
  }
  fs::remove_all(root);
}

// FNV-1a, 64 bits: the checksum the generator lists for each data file.
std::uint64_t fnv1a(const std::string& bytes) {
  std::uint64_t h = 14695981039346656037u;
  for (const char c : bytes) h = (h ^ static_cast<unsigned char>(c)) * 1099511628211u;
  return h;
}

TEST(Startup, TheChecksumIsFnv1a) {
  EXPECT_EQ(fnv1a(""), 0xcbf29ce484222325u);  // the published test values
  EXPECT_EQ(fnv1a("a"), 0xaf63dc4c8601ec8cu);
  EXPECT_EQ(fnv1a("foobar"), 0x85944171f73967e8u);
}

// A private copy of the program and its data directory, to damage.
class DamagedData : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = fs::temp_directory_path() / ("tavrin_startup_" + std::to_string(getpid()));
    fs::remove_all(root_);
    fs::create_directories(root_);
    fs::copy_file(executable, root_ / "tavrin");
    fs::permissions(root_ / "tavrin", fs::perms::owner_all);
    fs::copy(data_dir, root_ / "BACKWARD");
  }
  void TearDown() override { fs::remove_all(root_); }

  fs::path file(const char* name) const { return root_ / "BACKWARD" / name; }
  ShellRun start(const std::string& input = "") const {
    const fs::path in = root_ / "input.txt";
    write_file(in, input);
    return run_shell("cd / && " + quoted(root_ / "tavrin") + " <" + quoted(in) + " 2>&1");
  }
  // The listed size and checksum of `name` made to agree with its content
  // (and the list's own last line with the list), so that the damage
  // reaches the readers' own checks.
  void reseal(const char* name) const {
    std::istringstream list(read_file(file("checksums")));
    std::string out, line;
    auto hex = [](std::uint64_t v) {
      char text[17];
      std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(v));
      return std::string(text);
    };
    while (std::getline(list, line)) {
      if (line.rfind("end ", 0) == 0) continue;
      if (line.rfind(std::string(name) + " ", 0) == 0) {
        const std::string text = read_file(file(name));
        line = std::string(name) + " " + std::to_string(text.size()) + " " + hex(fnv1a(text));
      }
      out += line + "\n";
    }
    write_file(file("checksums"), out + "end " + hex(fnv1a(out)) + "\n");
  }
  // Start-up named the file (what) and went on to the prompt, where x := 1
  // was answered; the line on rebuilding the data files followed.
  void expect_named(const ShellRun& r, const std::string& what, const std::string& context) const {
    EXPECT_EQ(r.status, 0) << context << "\n" << r.out;
    EXPECT_NE(r.out.find("*** Tavrin error. " + what), std::string::npos) << context << "\n"
                                                                          << r.out;
    EXPECT_NE(
        r.out.find(
            "Start-up goes on without the tables of those files.\n    Rebuild the data files"),
        std::string::npos)
        << context;
    EXPECT_NE(r.out.find(">\n        1\n\n>\n bye\n"), std::string::npos) << context << "\n"
                                                                          << r.out;
  }

  fs::path root_;
};

// Each data file, and the list of checksums, damaged in each way: start-up
// names the file, says that it is damaged or cannot be found, and goes on.
TEST_F(DamagedData, EveryDamageIsNamedAndStartUpGoesOn) {
  const char* names[] = {"pow228", "primelist", "pprods", "bprimes", "lrgpmes",
                         "f256d",  "f2t16d",    "Qerrs",  "chdat",   "checksums"};
  const ShellRun intact = start("&q\n");
  EXPECT_EQ(intact.status, 0) << intact.out;
  EXPECT_EQ(intact.out.find("Tavrin error"), std::string::npos) << intact.out;
  for (const char* name : names) {
    const std::string kept = read_file(file(name));
    // The same size with one digit changed: only the checksum can tell.
    std::string changed = kept;
    const std::size_t digit = changed.find_first_of("123456789", changed.size() / 2);
    changed[digit] = changed[digit] == '9' ? '8' : '9';
    std::string negated;  // every number made negative
    for (std::size_t k = 0; k < kept.size(); ++k) {
      if (std::isdigit(static_cast<unsigned char>(kept[k])) &&
          (k == 0 || !std::isalnum(static_cast<unsigned char>(kept[k - 1]))))
        negated += '-';
      negated += kept[k];
    }
    const std::pair<const char*, std::string> damages[] = {{"empty", ""},
                                                           {"one byte", "7"},
                                                           {"garbage", "\x01\xff garbage \x7f\n"},
                                                           {"a digit changed", changed},
                                                           {"negative numbers", negated}};
    for (const auto& [how, text] : damages) {
      write_file(file(name), text);
      expect_named(start("x := 1;\n"), std::string(name) + " is damaged",
                   std::string(name) + ", " + how);
    }
    fs::remove(file(name));
    const std::string cant_find = std::string("can't find ") + name;
    expect_named(start("x := 1;\n"), cant_find, std::string(name) + ", missing");
    fs::create_directory(file(name));
    expect_named(start("x := 1;\n"), cant_find, std::string(name) + ", a directory");
    fs::remove(file(name));
    write_file(file(name), kept);
  }
  const ShellRun again = start("&q\n");
  EXPECT_EQ(again.out.find("Tavrin error"), std::string::npos) << "restored: " << again.out;
}

// A statement reading the tables of each file; without "chdat" and "f256d"
// the answer is the same, the others report the file.
std::map<std::string, std::string> probes() {
  std::string chpoly = "&(J = x)\nArray c[12,12]:\n";
  for (int i = 1; i <= 12; ++i)
    for (int j = 1; j <= 12; ++j)
      chpoly += "c[" + std::to_string(i) + "," + std::to_string(j) +
                "] := " + std::to_string((i * 7 + j * 3) % 5 - 2) + ":\n";
  auto sparse = [](const std::string& n) {
    return "&(J = x)\n&(L = 1)\nArray s[" + n + "," + n + "] Sparse:\nfor i = 1 to " + n +
           " do s[i,i] := x + i od:\nDeg(Det[s]);\n";
  };
  return {{"pow228", "100!;\n"},
          {"primelist", "Prime(1229);\n"},
          {"Qerrs", "GCD(12, 18);\n"},
          {"pprods",
           "Array m[9,9]:\nfor i = 1 to 9 do for j = 1 to 9 do m[i,j] := (i + 3)^(j + 5) + "
           "i*j^7 od od:\nDet[m];\n"},
          {"bprimes", sparse("50")},
          {"lrgpmes", sparse("200")},
          {"chdat", chpoly + "Chpoly([c]);\n"},
          {"f256d", "&(p = 256)\n(3 + 7)^5;\n"}};
}

std::string needs(const std::string& name, const char* why) {
  return "*** Tavrin error. This needs the data file " + name + ", which is " + why +
         ".\n    Rebuild the data files";
}

// Each probe reports its file when that is missing, damaged behind a
// matching checksum (the readers' own checks: counts, ranges, the last
// prime of each table, the order of the built-ins), or not checked.
TEST_F(DamagedData, WhatNeedsAnUnusedFileReportsIt) {
  auto answer = [](const ShellRun& r) { return r.out.substr(r.out.find('>')); };
  for (const auto& [name, statements] : probes()) {
    const std::string whole = answer(start(statements)), kept = read_file(file(name.c_str()));
    fs::remove(file(name.c_str()));
    const ShellRun r = start(statements);
    if (name == "chdat" || name == "f256d") {
      EXPECT_EQ(answer(r), whole) << name;
    } else {
      EXPECT_NE(r.out.find(needs(name, "missing")), std::string::npos) << name << "\n" << r.out;
    }
    write_file(file(name.c_str()), kept);
  }
  const std::string qerrs = read_file(file("Qerrs")), list = read_file(file("checksums"));
  std::size_t texts_end = 0;
  for (int k = 0; k < 377; ++k) texts_end = qerrs.find('\n', texts_end) + 1;
  const std::string texts = qerrs.substr(0, texts_end);
  const std::string table = qerrs.substr(qerrs.find('\n', texts_end) + 1);
  const std::pair<const char*, std::function<std::string(const std::string&)>> cuts[] = {
      {"primelist", [](const std::string& t) { return first_values(t, 1229 + 100); }},
      {"primelist", [](const std::string& t) { return first_values(t, 1000); }},
      {"pprods", [](const std::string& t) { return first_values(t, 599 + 40); }},
      {"pprods", [](const std::string& t) { return first_values(t, 500); }},
      {"pow228", [](const std::string& t) { return first_values(t, 700); }},
      {"Qerrs", [&](const std::string&) { return texts + "200\n" + table; }},
      {"Qerrs", [&](const std::string&) { return texts + "109\nArray -\nBinomial"; }},
      {"Qerrs", [&](const std::string&) { return texts + "109\nZebra -\n" + table; }},
      {"Qerrs", [&](const std::string&) { return texts.substr(0, texts.size() / 2); }},
  };
  for (const auto& [name, damage] : cuts) {
    const std::string kept = read_file(file(name));
    write_file(file(name), damage(kept));
    reseal(name);
    EXPECT_NE(start(probes()[name]).out.find(needs(name, "damaged")), std::string::npos) << name;
    write_file(file(name), kept);
    write_file(file("checksums"), list);
  }
  fs::remove(file("checksums"));  // then no file is checked, and none is used
  const ShellRun r = start(probes()["pow228"]);
  EXPECT_NE(r.out.find("can't find checksums: no data file can be checked, so none is used."),
            std::string::npos);
  EXPECT_NE(r.out.find(needs("pow228", "not checked (no checksum lists it)")), std::string::npos)
      << r.out;
  write_file(file("checksums"), list);
}

// The rows of the characteristic-polynomial table past the first eleven are
// read when a variable is first adjoined. A table cut short there (with a
// matching checksum) starts, and "Chpoly" computes the missing rows: the
// same answer as with the whole table.
TEST_F(DamagedData, ChpolyComputesTheRowsATableLacks) {
  std::string input = "&(J = x)\nArray m[12,12]:\n";
  for (int i = 1; i <= 12; ++i)
    for (int j = 1; j <= 12; ++j)
      input += "m[" + std::to_string(i) + "," + std::to_string(j) +
               "] := " + std::to_string((i * 7 + j * 3) % 5 - 2) + ":\n";
  input += "Chpoly([m]);\n";
  const ShellRun whole = start(input);
  ASSERT_EQ(whole.status, 0) << whole.out;
  const std::string chdat = read_file(file("chdat"));
  std::size_t twelfth = 0;  // rows 1 .. 11 are 77 lines
  for (int k = 0; k < 77; ++k) twelfth = chdat.find('\n', twelfth) + 1;
  write_file(file("chdat"), chdat.substr(0, twelfth + 200));
  reseal("chdat");
  const ShellRun cut = start(input);
  EXPECT_EQ(cut.status, 0) << cut.out;
  const std::size_t from = whole.out.find(" initializing"),
                    cut_from = cut.out.find(" initializing");
  EXPECT_EQ(cut.out.substr(cut.out.find('>', cut_from)),
            whole.out.substr(whole.out.find('>', from)));
}

// Without a start-up file anywhere: the message on standard error, no
// memory line, and the budget of 100 MB.
TEST_F(DamagedData, NoStartupFileAnywhere) {
  fs::remove(file("tvrstart.txt"));
  const fs::path cwd = root_ / "empty";
  fs::create_directories(cwd);
  const std::string command = "cd " + quoted(cwd) + " && " + quoted(root_ / "tavrin") +
                              " </dev/null 2>" + quoted(root_ / "stderr.txt");
  const ShellRun r = run_shell(command);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(read_file(root_ / "stderr.txt"), "No tvrstart.txt file.\n");
  EXPECT_EQ(r.out.find("Amount of RAM"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find(" initializing...\n\n "), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("\n\n>\n bye\n"), std::string::npos) << r.out;

  // A first item that is no memory size prints no line either.
  for (const char* text : {"x := 3;\n", "-5\n", "99999999999999999999\n", ""}) {
    write_file(file("tvrstart.txt"), text);
    const ShellRun other = run_shell(command);
    EXPECT_EQ(other.out.find("Amount of RAM"), std::string::npos) << text << other.out;
    EXPECT_EQ(read_file(root_ / "stderr.txt"), "") << text;
  }
  write_file(file("tvrstart.txt"), "  +7 x := 1;\n");
  EXPECT_NE(run_shell(command).out.find(" Amount of RAM you specified (mbytes): 7.\n"),
            std::string::npos);
}

}  // namespace
}  // namespace tavrin::test
