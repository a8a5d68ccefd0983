// drawclean: cleans a drawing file (DXF or the native JSON form) with the
// clean-up plug-in, driven through the project's own host.
#include <malloc.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <filesystem>
#include <iostream>

#include <CLI/CLI.hpp>

#include "batch.h"
#include "dxf_backdrop.h"
#include "dxf_map.h"
#include "failure.h"
#include "file_io.h"
#include "json_form.h"
#include "plugin_locate.h"
#include "report.h"
#include "run.h"
#include "svg.h"
#include "verify.h"

namespace {

using namespace drawclean;

constexpr int kExitOk = 0;
constexpr int kExitRunFailed = 1;
constexpr int kExitBadInput = 2;

int BadInput(const std::string& what) {
  std::fprintf(stderr, "drawclean: %s\n", what.c_str());
  return kExitBadInput;
}

// Paths are the user's own typing: shown whole unless absurdly long.
constexpr size_t kPathShownLimit = 200;
std::string ShownPath(const std::string& path) { return Shown(path, kPathShownLimit); }

bool IsJsonPath(const std::string& p) { return std::filesystem::path(p).extension() == ".json"; }

bool LooksLikeJson(const std::string& text) {
  for (char c : text) {
    if (c == ' ' || c == '\t' || c == '\r' || c == '\n') continue;
    return c == '{';
  }
  return false;
}

std::string DefaultOutput(const std::string& input) {
  std::filesystem::path p(input);
  return (p.parent_path() / (p.stem().string() + ".clean" + p.extension().string())).string();
}

DrawingSnapshot Snapshot(const hostapp::Host& host, const std::string& marker) {
  DrawingSnapshot s;
  const auto markerId = host.FindClass(marker);
  for (ObjectHandle h : host.Objects())
    if (!markerId || host.Get(h).cls != *markerId) s.emplace_back(h, host.Get(h));
  return s;
}

// "ARC (handle 2F, line 120)" for an object read from a DXF entity, else
// what the object is.
std::string PlaceOf(const DxfDrawing& dxf, ObjectHandle h, const hostapp::Object& o) {
  for (const DxfEntityRecord& rec : dxf.records) {
    if (rec.handle != h) continue;
    const size_t at = dxf.file.tags[rec.span.first].begin;
    const size_t line = 1 + size_t(std::count(dxf.file.source.begin(), dxf.file.source.begin() + long(at), '\n'));
    return rec.kind + " (" + (rec.entityHandle.empty() ? "" : "handle " + rec.entityHandle + ", ") + "line " +
           std::to_string(line) + ")";
  }
  return "a " + TypeName(o.type);
}

// A blank DXF into which a drawing from elsewhere is written as new entities.
const char* const kEmptyDxf =
    "  0\nSECTION\n  2\nHEADER\n  9\n$ACADVER\n  1\nAC1009\n  0\nENDSEC\n"
    "  0\nSECTION\n  2\nENTITIES\n  0\nENDSEC\n  0\nEOF\n";

struct PassOption {
  const char* name;
  const char* help;
};
// Option flags 0..8 in record order.
constexpr PassOption kPassOptions[kOptionCount] = {
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

using Clock = std::chrono::steady_clock;
double SecondsSince(Clock::time_point t) { return std::chrono::duration<double>(Clock::now() - t).count(); }

RunStage gStage;

std::string FormatNumber(double v) {
  char b[40];
  std::snprintf(b, sizeof b, "%.17g", v);
  return b;
}

// Many drawings into one folder, each by a worker process running this
// program on one file with the same options.
int Batch(const std::vector<std::string>& inputs, const std::string& outDir, std::optional<unsigned> jobs,
          const std::array<std::optional<bool>, kOptionCount>& flags, bool all, std::optional<double> pointTol,
          std::optional<double> sizeTol, bool dryRun, bool quiet, bool convertInPlace, bool verify,
          const std::string& pluginPath,
          std::initializer_list<std::pair<const char*, bool>> singleOnly) {
  namespace fs = std::filesystem;
  if (outDir.empty() && inputs.size() == 1)
    return BadInput(ShownPath(inputs[0]) + ": is a directory; to clean the drawings in it, give --out-dir DIR");
  if (outDir.empty()) return BadInput("several drawings need --out-dir DIR");
  for (auto& [option, given] : singleOnly)
    if (given) return BadInput(std::string(option) + " cleans one drawing; it cannot be used with --out-dir");
  std::vector<std::string> files;
  std::string error;
  if (!ExpandInputs(inputs, files, &error)) return BadInput(error);
  std::error_code ec;
  if (fs::exists(outDir, ec) && !fs::is_directory(outDir, ec))
    return BadInput(ShownPath(outDir) + ": --out-dir is not a folder");

  // Two drawings of one name would overwrite each other, and an input is
  // never an output: refused before any work, like any bad output path.
  std::vector<BatchJob> work;
  for (const std::string& f : files) {
    const std::string out = (fs::path(outDir) / fs::path(f).filename()).string();
    if (!dryRun && SameFile(f, out)) return BadInput(ShownPath(out) + ": would overwrite the input " + ShownPath(f));
    for (const BatchJob& j : work)
      if (!dryRun && SameFile(j.output, out))
        return BadInput(ShownPath(j.input) + " and " + ShownPath(f) + " would both be written to " + ShownPath(out));
    work.push_back({f, out});
  }
  if (!dryRun && !fs::exists(outDir, ec) && !fs::create_directories(outDir, ec))
    return BadInput(ShownPath(outDir) + ": cannot make the folder: " + ec.message());

  std::vector<std::string> args = {"--one-line", "--plugin", pluginPath};
  for (size_t n = 0; n < kOptionCount; ++n) {
    const std::optional<bool> f = all && !flags[n] ? std::optional<bool>(true) : flags[n];
    if (f) args.push_back(std::string(*f ? "--" : "--no-") + kPassOptions[n].name);
  }
  if (pointTol) args.insert(args.end(), {"-t", FormatNumber(*pointTol)});
  if (sizeTol) args.insert(args.end(), {"-s", FormatNumber(*sizeTol)});
  if (dryRun) args.push_back("-n");
  if (!convertInPlace) args.push_back("--no-convert-in-place");
  if (verify) args.push_back("--verify");

  const unsigned workers = std::min<unsigned>(jobs.value_or(DefaultJobs()), unsigned(work.size()));
  gStage.doing = "cleaning a batch of drawings";
  const auto start = Clock::now();
  size_t failed = 0;
  // The worker is this very program, wherever it was started from.
  RunBatch("/proc/self/exe", args, work, workers, [&](size_t, const BatchOutcome& o) {
    if (!o.ok) {
      ++failed;
      std::fprintf(stderr, "failed  %s\n", o.line.c_str());
      std::fflush(stderr);
    } else if (!quiet) {
      std::printf("cleaned %s\n", o.line.c_str());
      std::fflush(stdout);
    }
  });
  if (!quiet || failed)
    std::printf("drawclean: %zu drawings, %zu cleaned, %zu failed, in %.1f s with %u worker%s\n", work.size(),
                work.size() - failed, failed, SecondsSince(start), workers, workers == 1 ? "" : "s");
  return failed ? kExitBadInput : kExitOk;
}

int Drawclean(int argc, char** argv) {
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
      "  drawclean --show-dialog --join --dry-run plan.dxf\n"
      "  drawclean --all -j 4 drawings/ extra.dxf --out-dir cleaned/   # many at once\n\n"
      "Exit status: 0 done, 1 the plug-in could not run, 2 bad input or options (in a batch: any drawing failed).");

  std::vector<std::string> inputs;
  std::string output, reportPath, svgPath, callLogPath, pluginPath, outDir;
  std::optional<unsigned> jobs;
  bool oneLine = false;
  std::array<std::optional<bool>, kOptionCount> flags{};
  bool all = false, dryRun = false, quiet = false, inPlace = false, showDialog = false, convertInPlace = true;
  bool verify = false;
  std::optional<double> pointTol, sizeTol;

  app.add_option("input", inputs, "drawing to clean (.dxf or .json); with --out-dir, several, or folders")
      ->required();
  app.add_option("-o,--output", output, "cleaned drawing (default: INPUT.clean.EXT; format by extension)");
  app.add_flag("-a,--all", all, "switch every pass on (and arcs in --join)");
  for (size_t n = 0; n < kOptionCount; ++n) {
    const std::string on = std::string("--") + kPassOptions[n].name;
    app.add_flag_callback(on, [&flags, n] { flags[n] = true; }, kPassOptions[n].help)->group("Passes");
    app.add_flag_callback("--no-" + std::string(kPassOptions[n].name), [&flags, n] { flags[n] = false; },
                          "")->group("Passes");
  }
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
  app.add_option("-t,--point-tolerance", pointTol, "point tolerance (default 0.01)")
      ->check(CLI::Validator(tolerance, "NUMBER>=0"));
  app.add_option("-s,--size-tolerance", sizeTol, "size tolerance of degenerate removal (default 0.0001)")
      ->check(CLI::Validator(tolerance, "NUMBER>=0"));
  app.add_option("--report", reportPath, "also write the report as JSON to this file");
  app.add_option("--svg", svgPath, "write a before/after picture to this SVG file");
  app.add_flag("-n,--dry-run", dryRun, "run and report, but write no drawing");
  app.add_flag("-q,--quiet", quiet, "print no report");
  app.add_flag("--in-place", inPlace, "allow the output to replace the input file");
  app.add_flag("--convert-in-place,!--no-convert-in-place", convertInPlace,
               "host keeps an object's handle when converting it (default) or gives a new one");
  app.add_flag("--verify", verify,
               "check that everything drawn before is still drawn within the point tolerance; "
               "if not, write nothing, say where, exit 2");
  app.add_flag("--show-dialog", showDialog, "print the options dialog as the host showed it");
  app.add_option("--plugin", pluginPath,
                 "the plug-in library to load (default: $DRAWCLEAN_PLUGIN, else the installed one)");
  app.add_option("--call-log", callLogPath, "write every host call the plug-in makes to this file, as it happens");
  app.add_option("--out-dir", outDir, "clean every input (a folder: its .dxf and .json files) into DIR, same names");
  app.add_option("-j,--jobs", jobs, "with --out-dir: drawings cleaned at once, each in its own process (default: cores)")
      ->check(CLI::Range(1u, 1024u));
  // A worker of a batch: the report as one line.
  app.add_flag("--one-line", oneLine)->group("");

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

  const PluginChoice plugin = ChoosePlugin(pluginPath, std::getenv("DRAWCLEAN_PLUGIN"), ThisProgramLayout());
  if (const std::string missing = MissingPluginMessage(plugin); !missing.empty()) {
    std::fprintf(stderr, "drawclean: %s\n", missing.c_str());
    return kExitRunFailed;
  }
  pluginPath = plugin.path;

  if (!outDir.empty() || inputs.size() > 1 || std::filesystem::is_directory(inputs[0]))
    return Batch(inputs, outDir, jobs, flags, all, pointTol, sizeTol, dryRun, quiet, convertInPlace, verify,
                 pluginPath,
                 {{"-o", !output.empty()}, {"--svg", !svgPath.empty()}, {"--report", !reportPath.empty()},
                  {"--in-place", inPlace}, {"--call-log", !callLogPath.empty()}, {"--show-dialog", showDialog}});
  if (jobs) return BadInput("-j only applies with --out-dir");
  const std::string& input = inputs[0];

  if (all)
    for (auto& f : flags)
      if (!f) f = true;
  if (output.empty()) output = inPlace ? input : DefaultOutput(input);
  if (!dryRun && SameFile(input, output) && !inPlace)
    return BadInput(ShownPath(output) + ": output would overwrite the input; give --in-place to allow it");

  // Every output is checked, and its temporary file made, before the drawing
  // is read: a bad path fails at once, not after the work.
  struct Output {
    const char* option;
    const std::string& path;
    bool wanted;
    PendingOutput file;
  };
  Output outputs[] = {{"-o", output, !dryRun, {}},
                      {"--svg", svgPath, !svgPath.empty(), {}},
                      {"--report", reportPath, !reportPath.empty(), {}}};
  std::string error;
  for (Output& o : outputs) {
    if (!o.wanted) continue;
    if (o.option != outputs[0].option && SameFile(input, o.path))
      return BadInput(ShownPath(o.path) + ": " + o.option + " would overwrite the input");
    if (!o.file.Prepare(o.path, &error)) return BadInput(ShownPath(o.path) + ": cannot write: " + error);
    for (Output& other : outputs)
      if (&other != &o && other.wanted && !other.file.Target().empty() &&
          SameFile(other.file.Target(), o.file.Target()))
        return BadInput(ShownPath(o.path) + ": " + o.option + " and " + other.option + " name the same file");
  }

  std::string text;
  gStage.doing = "reading the drawing";
  const auto readStart = Clock::now();
  if (!ReadFile(input, text, &error)) return BadInput(ShownPath(input) + ": " + error);
  if (text.empty()) return BadInput(ShownPath(input) + ": empty file");
  const bool inJson = IsJsonPath(input) || LooksLikeJson(text);
  const bool outJson = IsJsonPath(output);

  hostapp::Host host;
  DxfDrawing dxf;
  std::vector<std::string> classes;
  if (inJson) {
    if (!LoadJsonDrawing(text, host, classes, &error)) return BadInput(ShownPath(input) + ": " + error);
  } else {
    if (!LoadDxf(std::move(text), host, dxf, &error)) return BadInput(ShownPath(input) + ": " + error);
    for (const auto& r : dxf.records)
      if (r.handle && std::find(classes.begin(), classes.end(), r.props.layer) == classes.end())
        classes.push_back(r.props.layer);
  }
  // A layer named like the marker class would be swept with it: the marker
  // takes a name that no layer of this drawing has.
  hostapp::SetMarkerClassName(host.UnusedClassName(hostapp::kDefaultMarkerClassName));
  const std::string marker = MarkerClassName();
  // Only the picture needs the drawing as it was: a copy of a large drawing is
  // not taken for nothing.
  const DrawingSnapshot before = svgPath.empty() ? DrawingSnapshot{} : Snapshot(host, marker);
  std::vector<ObjectHandle> verifyHandles;
  const std::vector<hostapp::Object> verifyBefore =
      verify ? DrawnObjects(host, marker, &verifyHandles) : std::vector<hostapp::Object>{};
  std::vector<PassedKind> passedThrough;
  if (!inJson) passedThrough = PassedThrough(dxf);
  gStage.entitiesRead = host.ObjectCount();
  const double readSeconds = SecondsSince(readStart);

  // A debugging aid: the host streams every call here as it happens, so the
  // log never has to fit in memory.
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> callLog(nullptr, &std::fclose);
  if (!callLogPath.empty()) {
    callLog.reset(std::fopen(callLogPath.c_str(), "w"));
    if (!callLog) return BadInput(callLogPath + ": cannot write: " + std::strerror(errno));
  }

  RunOptions options;
  options.flags = flags;
  options.pointTolerance = pointTol;
  options.sizeTolerance = sizeTol;
  options.convertInPlace = convertInPlace;
  options.progress = !quiet && ::isatty(STDERR_FILENO);
  options.keepDialog = showDialog;
  options.callLog = callLog.get();
  gStage.doing = "cleaning the drawing";
  RunResult r = RunPlugin(host, pluginPath, options);
  if (!r.loaded) {
    std::fprintf(stderr, "drawclean: cannot load the plug-in %s: %s\n", pluginPath.c_str(), r.error.c_str());
    return kExitRunFailed;
  }
  if (showDialog) std::printf("%s\n", r.dialogText.c_str());
  for (const std::string& e : r.ignoredDialogEvents)
    std::fprintf(stderr, "drawclean: warning: dialog refused %s\n", e.c_str());
  if (r.result != 0) {
    std::fprintf(stderr, "drawclean: the plug-in stopped before cleaning (result %d)\n", r.result);
    return kExitRunFailed;
  }

  ReportContext ctx;
  if (verify) {
    gStage.doing = "checking that nothing drawn was lost";
    const auto verifyStart = Clock::now();
    std::vector<ObjectHandle> afterHandles;
    ctx.coverage = VerifyRun(verifyBefore, host, marker, r, &afterHandles);
    ctx.verifySeconds = SecondsSince(verifyStart);
    if (!ctx.coverage->Passed()) {
      std::fprintf(stderr, "drawclean: %s: %s; nothing written\n", ShownPath(input).c_str(),
                   CoverageLine(*ctx.coverage).c_str());
      auto before = [&](size_t i) { return PlaceOf(dxf, verifyHandles[i], verifyBefore[i]); };
      auto after = [&](size_t i) { return PlaceOf(dxf, afterHandles[i], host.Get(afterHandles[i])); };
      for (const std::string& line : VerifyFailureLines(*ctx.coverage, before, after))
        std::fprintf(stderr, "  %s\n", line.c_str());
      return kExitBadInput;
    }
  }

  gStage.doing = "writing the drawing";
  const auto writeStart = Clock::now();
  ctx.input = input;
  ctx.output = dryRun ? "" : output;
  ctx.format = outJson ? "json" : "dxf";
  ctx.passedThrough = std::move(passedThrough);
  ctx.passedLeftOut = outJson;
  if (outJson && !ctx.passedThrough.empty() && !dryRun)
    std::fprintf(stderr, "drawclean: warning: the JSON form holds none of these, left out: %s\n",
                 PassedThroughText(ctx.passedThrough).c_str());
  std::string out;
  if (outJson) {
    out = SaveJsonDrawing(host, classes, marker);
  } else {
    ctx.dxf = true;
    if (inJson) {
      std::string ignored;
      LoadDxf(kEmptyDxf, host, dxf, &ignored);  // adds nothing: the blank has no entities
    }
    out = SaveDxf(dxf, host, marker, &ctx.file);
    if (ctx.file.outOfHandles)
      return BadInput(ShownPath(input) + ": no entity handle above the largest in use is free for the new entities");
    if (ctx.file.skipped)
      std::fprintf(stderr, "drawclean: warning: %zu objects have no DXF form and were left out\n", ctx.file.skipped);
  }
  ctx.readSeconds = readSeconds;
  ctx.writeSeconds = SecondsSince(writeStart);  // the drawing's text built
  const std::string texts[] = {
      dryRun ? std::string() : std::move(out),  // moved: a large drawing is not held twice
      svgPath.empty() ? "" : BeforeAfterSvg(before, Snapshot(host, marker), input, inJson ? Backdrop{} : BackdropOf(dxf)),
      reportPath.empty() ? "" : ReportJson(r, ctx)};
  // All written in full before any replaces its target.
  for (size_t i = 0; i < std::size(outputs); ++i)
    if (outputs[i].wanted && !outputs[i].file.Write(texts[i], &error))
      return BadInput(ShownPath(outputs[i].path) + ": cannot write: " + error);
  for (Output& o : outputs)
    if (o.wanted && !o.file.Commit(&error)) return BadInput(ShownPath(o.path) + ": cannot write: " + error);
  if (oneLine) std::printf("%s\n", ReportLine(r, ctx).c_str());
  else if (!quiet) std::fputs(ReportText(r, ctx).c_str(), stdout);
  for (const std::string& v : r.violations)
    if (quiet) std::fprintf(stderr, "drawclean: warning: host contract violation: %s\n", v.c_str());
  return kExitOk;
}

}  // namespace

int main(int argc, char** argv) {
  // Blocks of a megabyte and more come straight from the system and go back
  // when freed. By default the allocator raises that limit after each such
  // free, so the indexes of the passes, made and freed one after the other,
  // would leave their memory held in the heap through the rest of the run.
  mallopt(M_MMAP_THRESHOLD, 1 << 20);
  return RunGuarded([&] { return Drawclean(argc, argv); }, gStage);
}
