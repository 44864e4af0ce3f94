// Shared by the POSIX layer's tests: a scratch directory and running a piece of a
// test in a child process, for what would change the test process itself (signals,
// the terminal, trapping arithmetic, standard handles).
#ifndef TAVO_TESTS_PLATFORM_PLATFORM_TEST_SUPPORT_H_
#define TAVO_TESTS_PLATFORM_PLATFORM_TEST_SUPPORT_H_

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>

#include "gtest/gtest.h"
#include "win32_subset.h"

// A fresh directory under TMPDIR, removed with everything in it afterwards.
class ScratchDirectory : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base ? base : "/tmp") + "/tavo-platform-XXXXXX";
    ASSERT_NE(mkdtemp(&pattern[0]), nullptr);
    dir_ = pattern;
  }
  void TearDown() override {
    ASSERT_EQ(std::system(("rm -rf '" + dir_ + "'").c_str()), 0);
  }
  std::string Path(const std::string& name) const { return dir_ + "/" + name; }
  std::string MakeFile(const std::string& name, const std::string& content) const {
    std::ofstream(Path(name), std::ios::binary) << content;
    return Path(name);
  }

  std::string dir_;
};

inline HANDLE OpenForReading(const std::string& path, DWORD flags = 0) {
  return CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                     OPEN_EXISTING, flags, nullptr);
}

// Runs body in a child process and returns its wait status; body's result is the
// child's exit code.
inline int RunInChild(const std::function<int()>& body) {
  pid_t child = fork();
  if (child == 0) _exit(body());
  int status = -1;
  waitpid(child, &status, 0);
  return status;
}

#endif  // TAVO_TESTS_PLATFORM_PLATFORM_TEST_SUPPORT_H_
