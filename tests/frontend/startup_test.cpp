// The program itself at start-up: it finds the data directory beside its
// executable from any current directory and at any depth, reads it without
// a message, and stops at a missing or damaged data file, naming it.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
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
  // Start-up stopped, naming the file and how to rebuild the data.
  void expect_stopped(const ShellRun& r, const char* name, const std::string& context) const {
    EXPECT_EQ(r.status, 1) << context << "\n" << r.out;
    EXPECT_NE(r.out.find("*** Tavrin error. The data file " + file(name).string() + " "),
              std::string::npos)
        << context << "\n" << r.out;
    EXPECT_NE(r.out.find("Rebuild the data files"), std::string::npos) << context;
    EXPECT_EQ(r.out.find(" bye"), std::string::npos) << context << ": no prompt, no statement";
  }

  fs::path root_;
};

// Each data file, and the list of checksums, damaged in each way: start-up
// stops before the first prompt, naming the file.
TEST_F(DamagedData, EveryDamageStopsStartUpNamingTheFile) {
  const char* names[] = {"pow228", "primelist", "pprods", "bprimes", "lrgpmes",
                         "f256d",  "f2t16d",    "Qerrs",  "chdat",   "checksums"};
  const ShellRun intact = start("&q\n");
  EXPECT_EQ(intact.status, 0) << intact.out;
  EXPECT_NE(intact.out.find(" bye\n"), std::string::npos) << intact.out;
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
    const std::pair<const char*, std::string> damages[] = {
        {"empty", ""},           {"one byte", "7"},         {"garbage", "\x01\xff garbage \x7f\n"},
        {"a digit changed", changed}, {"negative numbers", negated}};
    for (const auto& [how, text] : damages) {
      write_file(file(name), text);
      expect_stopped(start("x := 1;\n"), name, std::string(name) + ", " + how);
    }
    fs::remove(file(name));
    expect_stopped(start(), name, std::string(name) + ", missing");
    fs::create_directory(file(name));
    expect_stopped(start(), name, std::string(name) + ", a directory");
    fs::remove(file(name));
    write_file(file(name), kept);
  }
  const ShellRun again = start("&q\n");
  EXPECT_EQ(again.status, 0) << "restored: " << again.out;
}

// Damage that keeps the listed checksum true (the list made anew) is still
// caught by the readers: counts, ranges, the last prime of each table, the
// order of the built-ins.
TEST_F(DamagedData, DamageBehindAMatchingChecksumIsCaughtWhileReading) {
  struct cut {
    const char* name;
    std::function<std::string(const std::string&)> damage;
  };
  const std::string qerrs = read_file(file("Qerrs"));
  std::size_t texts_end = 0;
  for (int k = 0; k < 377; ++k) texts_end = qerrs.find('\n', texts_end) + 1;
  const std::size_t count_end = qerrs.find('\n', texts_end);
  const std::string texts = qerrs.substr(0, texts_end), table = qerrs.substr(count_end + 1);
  const cut cuts[] = {
      {"primelist", [](const std::string& t) { return first_values(t, 1229 + 100); }},
      {"primelist", [](const std::string& t) { return first_values(t, 1000); }},
      {"bprimes", [](const std::string& t) { return first_values(t, 1515); }},
      {"lrgpmes", [](const std::string& t) { return first_values(t, 1999) + "x\n"; }},
      {"pprods", [](const std::string& t) { return first_values(t, 599 + 40); }},
      {"pprods", [](const std::string& t) { return first_values(t, 500); }},
      {"pow228", [](const std::string& t) { return first_values(t, 700); }},
      {"chdat", [](const std::string& t) { return first_values(t, 300); }},
      {"Qerrs", [&](const std::string&) { return texts + "200\n" + table; }},
      {"Qerrs", [&](const std::string&) { return texts + "-3\n" + table; }},
      {"Qerrs", [&](const std::string&) { return texts + "109\nArray -\nBinomial"; }},
      {"Qerrs", [&](const std::string&) { return texts + "109\nZebra -\n" + table; }},
      {"Qerrs", [&](const std::string&) { return texts.substr(0, texts.size() / 2); }},
  };
  for (const cut& c : cuts) {
    const std::string kept = read_file(file(c.name));
    const std::string list = read_file(file("checksums"));
    write_file(file(c.name), c.damage(kept));
    reseal(c.name);
    expect_stopped(start("x := 1;\n"), c.name, c.name);
    write_file(file(c.name), kept);
    write_file(file("checksums"), list);
  }
}

// The rows of the characteristic-polynomial table past the first eleven are
// read when a variable is first adjoined. A table cut short there (with a
// matching checksum) starts, and "Chpoly" computes the missing rows: the
// same answer as with the whole table.
TEST_F(DamagedData, ChpolyComputesTheRowsATableLacks) {
  std::string input = "&(J = x)\nArray m[12,12]:\n";
  for (int i = 1; i <= 12; ++i)
    for (int j = 1; j <= 12; ++j)
      input += "m[" + std::to_string(i) + "," + std::to_string(j) + "] := " +
               std::to_string((i * 7 + j * 3) % 5 - 2) + ":\n";
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
  const std::size_t from = whole.out.find(" initializing"), cut_from = cut.out.find(" initializing");
  EXPECT_EQ(cut.out.substr(cut.out.find('>', cut_from)), whole.out.substr(whole.out.find('>', from)));
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
  EXPECT_NE(run_shell(command).out.find(" Amount of RAM you specified (mbytes): 7.\n"), std::string::npos);
}

}  // namespace
}  // namespace tavrin::test
