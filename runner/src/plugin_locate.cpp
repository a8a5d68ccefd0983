#include "plugin_locate.h"

#include <filesystem>
#include <system_error>

#include "file_io.h"

namespace drawclean {

namespace fs = std::filesystem;

PluginChoice ChoosePlugin(const std::string& flag, const char* env, const PluginLayout& layout) {
  if (!flag.empty()) return {flag, "given with --plugin"};
  if (env && *env) return {env, "given by DRAWCLEAN_PLUGIN"};
  // The build tree's program keeps loading the build tree's plug-in; any other
  // copy is an installed one, whose plug-in sits in the install layout.
  if (layout.self.empty() || SameFile(layout.self, layout.buildProgram))
    return {layout.buildPlugin, "the build tree's plug-in"};
  const fs::path beside = (fs::path(layout.self).parent_path() / layout.fromBin).lexically_normal();
  return {beside.string(), "looked for relative to " + layout.self};
}

PluginLayout ThisProgramLayout() {
  PluginLayout l;
  std::error_code ec;
  const fs::path self = fs::read_symlink("/proc/self/exe", ec);
  if (!ec) l.self = self.string();
  l.buildProgram = DRAWCLEAN_BUILD_PROGRAM;
  l.buildPlugin = DRAWCLEAN_BUILD_PLUGIN;
  l.fromBin = DRAWCLEAN_PLUGIN_FROM_BIN;
  return l;
}

std::string MissingPluginMessage(const PluginChoice& choice) {
  std::error_code ec;
  if (fs::is_regular_file(choice.path, ec)) return "";
  return "no plug-in at " + choice.path + " (" + choice.source +
         "; give --plugin PATH or set DRAWCLEAN_PLUGIN)";
}

}  // namespace drawclean
