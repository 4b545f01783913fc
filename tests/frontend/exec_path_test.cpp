// Finding the executable and its data directory.
#include "frontend/exec_path.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace tavrin {
namespace {

namespace fs = std::filesystem;

class ExecPath : public testing::Test {
 protected:
  ExecPath() {
    root_ =
        fs::temp_directory_path() / ("tavrin_exec_" + std::to_string(getpid()) + "_" +
                                     testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(root_);
    fs::create_directories(root_);
    root_ = fs::canonical(root_);
    const char* p = std::getenv("PATH");
    old_path_ = p ? p : "";
    old_cwd_ = fs::current_path();
  }
  ~ExecPath() override {
    setenv("PATH", old_path_.c_str(), 1);
    fs::current_path(old_cwd_);
    fs::remove_all(root_);
  }
  void make_program(const fs::path& p) {
    fs::create_directories(p.parent_path());
    std::ofstream(p) << "#!/bin/sh\n";
    fs::permissions(p, fs::perms::owner_all);
  }
  fs::path root_;
  std::string old_path_;
  fs::path old_cwd_;
};

TEST_F(ExecPath, AbsolutePath) {
  std::string buf;
  EXPECT_EQ(GetExecName("/opt/x/prog", &buf), 0);
  EXPECT_EQ(buf, "/opt/x/prog");
  EXPECT_EQ(data_directory("/opt/x/prog"), "/opt/x/BACKWARD/");
}

TEST_F(ExecPath, FoundThroughPathSkippingDirectories) {
  // A directory named like the program comes first on PATH and is skipped.
  fs::create_directories(root_ / "first" / "prog");
  make_program(root_ / "second" / "prog");
  const std::string path = "::" + (root_ / "first").string() + ":" + (root_ / "second").string();
  setenv("PATH", path.c_str(), 1);
  std::string buf;
  EXPECT_EQ(GetExecName("prog", &buf), 0);
  EXPECT_EQ(buf, (root_ / "second" / "prog").string());
  EXPECT_EQ(data_directory("prog"), (root_ / "second").string() + "/BACKWARD/");
  setenv("PATH", (root_ / "nowhere").c_str(), 1);
  EXPECT_EQ(GetExecName("prog", &buf), -1);
  EXPECT_EQ(buf, "");
  EXPECT_EQ(data_directory("prog"), "./BACKWARD/");
}

TEST_F(ExecPath, OneLevelOfSymbolicLink) {
  make_program(root_ / "usr" / "local" / "lib" / "x" / "prog");
  fs::create_directories(root_ / "usr" / "local" / "bin");
  fs::create_symlink("../lib/x/prog", root_ / "usr" / "local" / "bin" / "prog");
  setenv("PATH", (root_ / "usr" / "local" / "bin").c_str(), 1);
  EXPECT_EQ(data_directory("prog"),
            (root_ / "usr" / "local" / "bin").string() + "/../lib/x/BACKWARD/");
  std::string full = (root_ / "usr" / "local" / "bin" / "prog").string();
  resolve_symlink(&full);
  EXPECT_EQ(full, (root_ / "usr" / "local" / "bin").string() + "/../lib/x/prog");
}

TEST_F(ExecPath, RelativePathsGoThroughTheCurrentDirectory) {
  make_program(root_ / "build" / "prog");
  fs::current_path(root_);
  std::string buf;
  EXPECT_EQ(GetExecName("./build/prog", &buf), 2);
  EXPECT_EQ(buf, (root_ / "build" / "prog").string());
  // A name with a slash is never looked up on PATH.
  setenv("PATH", "/nonexistent", 1);
  EXPECT_EQ(GetExecName("build/prog", &buf), 2);
  EXPECT_EQ(buf, (root_ / "build" / "prog").string());
  fs::current_path(root_ / "build");
  EXPECT_EQ(GetExecName("../build/prog", &buf), 2);
  EXPECT_EQ(data_directory("../build/prog"), (root_ / "build").string() + "/BACKWARD/");
  EXPECT_EQ(GetExecName("./missing", &buf), 1) << "absolute but not resolvable";
}

TEST(PathElements, SplitsOnColons) {
  std::string buf;
  const char* rest = getPathElement("/a:/bb:", &buf);
  EXPECT_EQ(buf, "/a");
  rest = getPathElement(rest, &buf);
  EXPECT_EQ(buf, "/bb");
  ASSERT_NE(rest, nullptr);
  EXPECT_EQ(getPathElement(rest, &buf), nullptr);
  EXPECT_EQ(buf, "");
  EXPECT_EQ(get_file_mode("/definitely/not/here"), -1);
  EXPECT_TRUE(S_ISDIR(static_cast<mode_t>(get_file_mode("/"))));
}

}  // namespace
}  // namespace tavrin
