// Which plug-in drawclean loads, and the one-line message when it is missing.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "plugin_locate.h"

namespace fs = std::filesystem;
using drawclean::ChoosePlugin;
using drawclean::MissingPluginMessage;
using drawclean::PluginChoice;
using drawclean::PluginLayout;

namespace {

class PluginLocate : public ::testing::Test {
 protected:
  fs::path dir;
  PluginLayout layout;
  void SetUp() override {
    dir = fs::temp_directory_path() / ("plugin-locate-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir / "build/runner");
    fs::create_directories(dir / "prefix/bin");
    std::ofstream(dir / "build/runner/drawclean") << "program";
    std::ofstream(dir / "prefix/bin/drawclean") << "program";
    layout.buildProgram = (dir / "build/runner/drawclean").string();
    layout.buildPlugin = (dir / "build/plugin/libcleanup.so").string();
    layout.fromBin = "../lib/cleanup/libcleanup.so";
  }
  void TearDown() override { fs::remove_all(dir); }
};

TEST_F(PluginLocate, PrecedenceAndDefaults) {
  const std::string installed = (dir / "prefix/bin/drawclean").string();
  const std::string besideInstalled = (dir / "prefix/lib/cleanup/libcleanup.so").string();
  struct Case {
    const char* what;
    std::string flag;
    const char* env;
    std::string self;
    std::string want;
  } cases[] = {
      {"--plugin beats the variable", "/x/flag.so", "/x/env.so", installed, "/x/flag.so"},
      {"the variable beats the default", "", "/x/env.so", installed, "/x/env.so"},
      {"an empty variable counts as unset", "", "", installed, besideInstalled},
      {"installed: relative to the program", "", nullptr, installed, besideInstalled},
      {"the build tree's program: the build tree's plug-in", "", nullptr, layout.buildProgram,
       layout.buildPlugin},
      {"the build program through another spelling of its path", "", nullptr,
       (dir / "build/runner/../runner/drawclean").string(), layout.buildPlugin},
      {"program unknown: the build tree's plug-in", "", nullptr, "", layout.buildPlugin},
  };
  for (const Case& c : cases) {
    layout.self = c.self;
    EXPECT_EQ(ChoosePlugin(c.flag, c.env, layout).path, c.want) << c.what;
  }
}

TEST_F(PluginLocate, MissingPluginIsOneLineNamingThePath) {
  const fs::path present = dir / "present.so";
  std::ofstream(present) << "library";
  EXPECT_EQ(MissingPluginMessage({present.string(), "given with --plugin"}), "");

  for (const fs::path& absent : {dir / "absent.so", dir / "build"}) {  // a folder is no plug-in either
    const std::string m = MissingPluginMessage({absent.string(), "given by DRAWCLEAN_PLUGIN"});
    EXPECT_NE(m.find(absent.string()), std::string::npos) << m;
    EXPECT_NE(m.find("DRAWCLEAN_PLUGIN"), std::string::npos) << m;
    EXPECT_EQ(m.find('\n'), std::string::npos) << m;
  }
}

}  // namespace
