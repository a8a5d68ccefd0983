#include "command_line.h"

#include <cmath>
#include <cstdio>

#include <CLI/CLI.hpp>

namespace drawclean {

int BadInput(const std::string& what) {
  std::fprintf(stderr, "drawclean: %s\n", what.c_str());
  return kExitBadInput;
}

const PassOption kPassOptions[kOptionCount] = {
    {"flatten-3d", "flatten 3D polylines into lines and polylines"},
    {"degenerate", "remove objects no larger than the size tolerance (default on)"},
    {"point-markers", "remove point markers (POINT entities)"},
    {"duplicates", "remove duplicate objects, keeping the later copy"},
    {"merge-overlaps", "merge overlapping collinear lines and arcs of one circle"},
    {"vertex-cleanup", "tidy polylines: close, drop collinear corners (default on)"},
    {"join", "join lines and open polylines that meet end to end"},
    {"join-arcs", "with --join: join arcs too"},
    {"reduce-vertices", "thin out nearly straight runs within the point tolerance"},
};

void ApplyCutOnce(CommandLine& c) {
  for (size_t n : {1, 3, 4, 5, 6, 7})
    if (!c.flags[n]) c.flags[n] = true;
  for (size_t k : {kNear, kEdges, kRepeat}) c.extra[k] = true;
}

std::optional<int> ParseCommandLine(int argc, char** argv, CommandLine& c) {
  CLI::App app{"drawclean " DRAWCLEAN_VERSION
               " - clean up a drawing (ASCII DXF or drawclean JSON) with the clean-up plug-in"};
  app.set_version_flag("--version", std::string("drawclean ") + DRAWCLEAN_VERSION);
  app.footer(
      "Passes run in a fixed order; each --NAME switches one on, --no-NAME off, the rest keep the\n"
      "plug-in's defaults. The options are set by driving the plug-in's own dialog.\n\n"
      "Examples:\n"
      "  drawclean --all plan.dxf -o plan.clean.dxf --svg plan.svg\n"
      "  drawclean --duplicates --join --point-tolerance 0.5 plan.json --report report.json\n"
      "  drawclean --all --dry-run plan.dxf      # report only, write no drawing\n"
      "  drawclean --cut-once -t 0.05 plate.dxf  # one path wherever a cutter would cut twice\n"
      "  drawclean --show-dialog --join --dry-run plan.dxf\n"
      "  drawclean --all -j 4 drawings/ extra.dxf --out-dir cleaned/   # many at once\n\n"
      "Exit status: 0 done, 1 the plug-in could not run, 2 bad input or options (in a batch: any drawing failed).");

  app.add_option("input", c.inputs, "drawing to clean (.dxf or .json); with --out-dir, several, or folders")
      ->required();
  app.add_option("-o,--output", c.output, "cleaned drawing (default: INPUT.clean.EXT; format by extension)");
  app.add_flag("-a,--all", c.all, "switch every pass on (and arcs in --join)");
  for (size_t n = 0; n < kOptionCount; ++n) {
    const std::string on = std::string("--") + kPassOptions[n].name;
    app.add_flag_callback(on, [&c, n] { c.flags[n] = true; }, kPassOptions[n].help)->group("Passes");
    app.add_flag_callback("--no-" + std::string(kPassOptions[n].name), [&c, n] { c.flags[n] = false; },
                          "")->group("Passes");
  }
  app.add_flag("--near", c.extra[kNear],
               "duplicates and overlaps match within the point tolerance, not only exactly")
      ->group("Beyond the passes");
  app.add_flag("--edges", c.extra[kEdges], "duplicates and overlaps also look along polyline edges (not built yet: stored for the plug-in, no pass reads it)")
      ->group("Beyond the passes");
  app.add_flag("--repeat", c.extra[kRepeat], "run the passes again while a round changes anything (8 rounds at most)")
      ->group("Beyond the passes");
  std::vector<std::string> ignored;
  app.add_option("--ignore", ignored,
                 "properties that do not keep objects apart: layer, colour, lineweight, linetype (comma-separated)")
      ->delimiter(',')
      ->check(CLI::IsMember({"layer", "colour", "color", "lineweight", "linetype"}))
      ->group("Beyond the passes");
  app.add_flag("--cut-once", c.cutOnce,
               "for cutting: degenerate objects, duplicates, overlaps, vertex clean-up and join with arcs, "
               "with --near --edges --repeat")
      ->group("Beyond the passes");
  auto tolerance = [](const std::string& s) -> std::string {
    try {
      size_t used = 0;
      const double v = std::stod(s, &used);
      if (used != s.size() || !std::isfinite(v) || v < 0) throw std::invalid_argument("");
      return "";
    } catch (...) {
      return "'" + s + "' is not a finite number >= 0";
    }
  };
  app.add_option("-t,--point-tolerance", c.pointTol, "point tolerance (default 0.01)")
      ->check(CLI::Validator(tolerance, "NUMBER>=0"));
  app.add_option("-s,--size-tolerance", c.sizeTol, "size tolerance of degenerate removal (default 0.0001)")
      ->check(CLI::Validator(tolerance, "NUMBER>=0"));
  app.add_option("--report", c.reportPath, "also write the report as JSON to this file");
  app.add_option("--svg", c.svgPath, "write a before/after picture to this SVG file");
  app.add_flag("-n,--dry-run", c.dryRun, "run and report, but write no drawing");
  app.add_flag("-q,--quiet", c.quiet, "print no report");
  app.add_flag("--in-place", c.inPlace, "allow the output to replace the input file");
  app.add_flag("--convert-in-place,!--no-convert-in-place", c.convertInPlace,
               "host keeps an object's handle when converting it (default) or gives a new one");
  app.add_flag("--verify", c.verify,
               "check that everything drawn before is still drawn within the point tolerance; "
               "if not, write nothing, say where, exit 2");
  app.add_flag("--blocks,!--no-blocks", c.blocks,
               "clean each user block's contents as a drawing of its own (default) or leave blocks alone");
  app.add_flag("--splines", c.splines,
               "turn SPLINEs into polylines within half the point tolerance, so every pass takes them; "
               "an unchanged one stays the SPLINE it was");
  app.add_flag("--show-dialog", c.showDialog, "print the options dialog as the host showed it");
  app.add_option("--plugin", c.pluginPath,
                 "the plug-in library to load (default: $DRAWCLEAN_PLUGIN, else the installed one)");
  app.add_option("--call-log", c.callLogPath, "write every host call the plug-in makes to this file, as it happens");
  app.add_option("--out-dir", c.outDir, "clean every input (a folder: its .dxf and .json files) into DIR, same names");
  app.add_option("-j,--jobs", c.jobs, "with --out-dir: drawings cleaned at once, each in its own process (default: cores)")
      ->check(CLI::Range(1u, 1024u));
  // A worker of a batch: the report as one line.
  app.add_flag("--one-line", c.oneLine)->group("");

  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForVersion& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    std::string what = e.what();
    return BadInput(what + " (see --help)");
  }
  for (const std::string& name : ignored) {
    if (name == "layer") c.extra[kIgnoreLayer] = true;
    if (name == "colour" || name == "color") c.extra[kIgnoreColour] = true;
    if (name == "lineweight") c.extra[kIgnoreLineweight] = true;
    if (name == "linetype") c.extra[kIgnoreLinetype] = true;
  }
  return std::nullopt;
}

}  // namespace drawclean
