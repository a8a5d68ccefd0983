// Which libcleanup.so drawclean loads: --plugin, else DRAWCLEAN_PLUGIN, else
// the plug-in installed relative to the program itself, so an installed copy
// works from any folder and a moved install tree keeps working.
#pragma once

#include <string>

namespace drawclean {

struct PluginLayout {
  std::string self;          // the running program; empty when unknown
  std::string buildProgram;  // drawclean in its build tree
  std::string buildPlugin;   // libcleanup.so in the build tree
  std::string fromBin;       // installed plug-in relative to the program's folder
};

struct PluginChoice {
  std::string path;
  std::string source;  // how it was chosen, for the error message
};

// flag: the --plugin value ("" when not given); env: DRAWCLEAN_PLUGIN or null.
PluginChoice ChoosePlugin(const std::string& flag, const char* env, const PluginLayout& layout);

// The layout this program was built with; self from /proc/self/exe.
PluginLayout ThisProgramLayout();

// One line saying where the plug-in was looked for; "" when a file is there.
std::string MissingPluginMessage(const PluginChoice& choice);

}  // namespace drawclean
