// The program itself at start-up: it finds the data directory beside its
// executable from any current directory, reads it without a message, and
// reports each missing or damaged data file in its own words and goes on.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace tavrin::test {
namespace {

namespace fs = std::filesystem;

struct RunResult {
  std::string out;  // standard output and error together
  int status = -1;
};

// Runs a shell command with standard input empty.
RunResult run(const std::string& command) {
  RunResult r;
  std::FILE* pipe = popen((command + " </dev/null 2>&1").c_str(), "r");
  if (pipe == nullptr) return r;
  char buf[4096];
  std::size_t n = 0;
  while ((n = std::fread(buf, 1, sizeof buf, pipe)) > 0) r.out.append(buf, n);
  const int status = pclose(pipe);
  r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return r;
}

// Runs a shell command that redirects its own input; standard output only.
RunResult run_plain(const std::string& command) {
  RunResult r;
  std::FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return r;
  char buf[4096];
  std::size_t n = 0;
  while ((n = std::fread(buf, 1, sizeof buf, pipe)) > 0) r.out.append(buf, n);
  const int status = pclose(pipe);
  r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return r;
}

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
  const RunResult from_root = run("cd / && " + quoted(executable));
  EXPECT_EQ(from_root.status, 0);
  EXPECT_NE(from_root.out.find(expect), std::string::npos) << from_root.out;
  EXPECT_EQ(from_root.out.find("Tavrin error"), std::string::npos) << from_root.out;

  const RunResult relative =
      run("cd " + quoted(build / "tests") + " && ../" + executable.filename().string());
  EXPECT_NE(relative.out.find(expect), std::string::npos) << relative.out;
  EXPECT_EQ(relative.out.find("Tavrin error"), std::string::npos) << relative.out;

  const RunResult by_path =
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
    const RunResult r = run("cd / && " + quoted(started));
    EXPECT_EQ(r.status, 0) << started;
    EXPECT_NE(r.out.find(expect), std::string::npos) << started << "\n" << r.out.substr(0, 400);
    EXPECT_EQ(r.out.find("Tavrin error"), std::string::npos) << r.out.substr(0, 400);
  }
  fs::remove_all(root);
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
  RunResult start() const { return run("cd / && " + quoted(root_ / "tavrin")); }

  fs::path root_;
};

TEST_F(DamagedData, EachMissingFileIsNamedAndStartUpGoesOn) {
  const char* names[] = {"pow228", "pprods", "primelist", "bprimes", "f256d",
                         "f2t16d", "lrgpmes",  "chdat",     "Qerrs"};
  const char* messages[] = {"can't find pow228.", "can't find pprods",  "can't find primelist",
                            "can't find bprimes", "can't find f256d",   "can't find f2t16d",
                            "can't find lrgpmes", "can't find chdat.",  "can't find Qerrs"};
  for (int i = 0; i < 9; ++i) {
    const std::string kept = read_file(file(names[i]));
    fs::remove(file(names[i]));
    const RunResult r = start();
    EXPECT_EQ(r.status, 0) << names[i] << "\n" << r.out;
    EXPECT_NE(r.out.find(std::string("*** Tavrin error. ") + messages[i] + "\n"), std::string::npos)
        << names[i] << "\n" << r.out;
    EXPECT_EQ(r.out.find("damaged"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\n bye\n"), std::string::npos) << "start-up completes: " << names[i];
    write_file(file(names[i]), kept);
  }
  fs::remove_all(root_ / "BACKWARD");
  const RunResult none = start();
  EXPECT_EQ(none.status, 0) << none.out;
  for (const char* m : messages) EXPECT_NE(none.out.find(m), std::string::npos) << m;
}

TEST_F(DamagedData, SentinelsReportShortFiles) {
  const std::string primelist = read_file(file("primelist"));
  write_file(file("primelist"), first_values(primelist, 1229 + 100));
  RunResult r = start();
  EXPECT_NE(r.out.find("*** Tavrin error. primelist file is damaged, medium.\n"), std::string::npos)
      << r.out;
  EXPECT_EQ(r.out.find("damaged, small."), std::string::npos) << r.out;
  write_file(file("primelist"), first_values(primelist, 1000));
  r = start();
  EXPECT_NE(r.out.find("primelist file is damaged, medium."), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("*** Tavrin error. primelist file is damaged, small.\n"), std::string::npos)
      << r.out;
  write_file(file("primelist"), primelist);

  write_file(file("bprimes"), first_values(read_file(file("bprimes")), 1515));
  r = start();
  EXPECT_NE(r.out.find("*** Tavrin error. bprimes file is damaged.\n"), std::string::npos) << r.out;

  write_file(file("lrgpmes"), first_values(read_file(file("lrgpmes")), 1999) + "x\n");
  r = start();
  EXPECT_NE(r.out.find("*** Tavrin error. lrgpmes file is damaged.\n"), std::string::npos) << r.out;
  EXPECT_EQ(r.status, 0);
}

TEST_F(DamagedData, ShortPrimeProductsAreReported) {
  const std::string pprods = read_file(file("pprods"));
  // All 599 primes, but the products cut short.
  write_file(file("pprods"), first_values(pprods, 599 + 40));
  RunResult r = start();
  EXPECT_EQ(r.out.find("last prime"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("*** Tavrin error. error in pprods, last num_prod.\n"), std::string::npos)
      << r.out;
  // Primes cut short: the value read, a blank, and the expected last prime.
  write_file(file("pprods"), first_values(pprods, 500));
  r = start();
  EXPECT_NE(r.out.find("*** Tavrin error. error in pprods, last prime.\n0   48869\n"),
            std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("error in pprods, last num_prod."), std::string::npos) << r.out;
  EXPECT_EQ(r.status, 0);
}


// The table of built-ins with a count outside 54 .. 109, or cut short: the
// message, and start-up goes on.
TEST_F(DamagedData, BuiltinCountOutOfRange) {
  const std::string qerrs = read_file(file("Qerrs"));
  std::size_t pos = 0;
  for (int k = 0; k < 377; ++k) pos = qerrs.find('\n', pos) + 1;
  const std::size_t count_end = qerrs.find('\n', pos);
  const std::string texts = qerrs.substr(0, pos), names = qerrs.substr(count_end + 1);
  for (const char* count : {"200", "20", "-3"}) {
    write_file(file("Qerrs"), texts + count + "\n" + names);
    const RunResult r = start();
    EXPECT_EQ(r.status, 0) << count;
    EXPECT_NE(r.out.find("*** Tavrin error. number builtins is wrong.\n"), std::string::npos)
        << count << "\n" << r.out;
    EXPECT_NE(r.out.find("\n bye\n"), std::string::npos) << r.out;
  }
  write_file(file("Qerrs"), texts + "109\nArray -\nBinomial");  // cut short
  const RunResult cut = start();
  EXPECT_EQ(cut.status, 0);
  EXPECT_EQ(cut.out.find("number builtins"), std::string::npos) << cut.out;
  write_file(file("Qerrs"), qerrs);
}

// Without a start-up file anywhere: the message on standard error, no
// memory line, and the budget of 100 MB.
TEST_F(DamagedData, NoStartupFileAnywhere) {
  fs::remove(file("tvrstart.txt"));
  const fs::path cwd = root_ / "empty";
  fs::create_directories(cwd);
  const std::string command = "cd " + quoted(cwd) + " && " + quoted(root_ / "tavrin") +
                              " </dev/null 2>" + quoted(root_ / "stderr.txt");
  const RunResult r = run_plain(command);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(read_file(root_ / "stderr.txt"), "No tvrstart.txt file.\n");
  EXPECT_EQ(r.out.find("Amount of RAM"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find(" initializing...\n\n "), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("\n\n>\n bye\n"), std::string::npos) << r.out;

  // A first item that is no memory size prints no line either.
  for (const char* text : {"x := 3;\n", "-5\n", "99999999999999999999\n", ""}) {
    write_file(file("tvrstart.txt"), text);
    const RunResult other = run_plain(command);
    EXPECT_EQ(other.out.find("Amount of RAM"), std::string::npos) << text << other.out;
    EXPECT_EQ(read_file(root_ / "stderr.txt"), "") << text;
  }
  write_file(file("tvrstart.txt"), "  +7 x := 1;\n");
  EXPECT_NE(run_plain(command).out.find(" Amount of RAM you specified (mbytes): 7.\n"), std::string::npos);
}

}  // namespace
}  // namespace tavrin::test
