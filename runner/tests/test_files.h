// What the runner's tests share: whole-file reads and writes, and a fixture
// that runs the drawclean program in a scratch folder of its own.
#pragma once

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

inline std::string ReadAll(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

inline void WriteAll(const std::filesystem::path& p, const std::string& text) {
  std::ofstream(p, std::ios::binary) << text;
}

#ifdef DRAWCLEAN_EXE
struct Outcome {
  int status = -1;
  std::string out, err;
};

// Each test gets an empty folder, removed afterwards.
class DrawcleanRun : public ::testing::Test {
 protected:
  std::filesystem::path dir;
  void SetUp() override {
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    dir = std::filesystem::temp_directory_path() /
          ("drawclean-" + std::to_string(::getpid()) + "-" + test->test_suite_name() + "-" + test->name());
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
  }
  void TearDown() override { std::filesystem::remove_all(dir); }
  std::string path(const std::string& name) const { return (dir / name).string(); }

  // Runs drawclean with args (shell syntax) and collects what it printed.
  Outcome run(const std::string& args) {
    const std::string cmd = std::string(DRAWCLEAN_EXE) + " " + args + " >" + path("stdout") + " 2>" + path("stderr");
    const int s = std::system(cmd.c_str());
    Outcome r{WIFEXITED(s) ? WEXITSTATUS(s) : -1, ReadAll(path("stdout")), ReadAll(path("stderr"))};
    std::filesystem::remove(path("stdout")), std::filesystem::remove(path("stderr"));
    return r;
  }
};
#endif
