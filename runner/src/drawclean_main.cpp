// drawclean: cleans a drawing file (DXF or the native JSON form) with the
// clean-up plug-in, driven through the project's own host.
#include <malloc.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>

#include "batch.h"
#include "block_runs.h"
#include "command_line.h"
#include "dxf/backdrop.h"
#include "doubled.h"
#include "dxf/drawing.h"
#include "failure.h"
#include "file_io.h"
#include "json_form.h"
#include "plugin_locate.h"
#include "report.h"
#include "run.h"
#include "shown.h"
#include "svg.h"
#include "verify.h"

namespace {

using namespace drawclean;

// Paths are the user's own typing: shown whole unless absurdly long.
constexpr size_t kPathShownLimit = 200;
std::string ShownPath(const std::string& path) { return Shown(path, kPathShownLimit); }

bool IsJsonPath(const std::string& p) { return std::filesystem::path(p).extension() == ".json"; }

bool LooksLikeJson(std::string_view text) {
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
    const std::string handle = rec.entityHandle.empty() ? "" : "handle " + std::string(rec.entityHandle) + ", ";
    return std::string(rec.kind) + " (" + handle + "line " + std::to_string(dxf.file.LineOf(rec.span.first)) + ")";
  }
  return "a " + TypeName(o.type);
}

// A blank DXF into which a drawing from elsewhere is written as new entities.
const char* const kEmptyDxf =
    "  0\nSECTION\n  2\nHEADER\n  9\n$ACADVER\n  1\nAC1009\n  0\nENDSEC\n"
    "  0\nSECTION\n  2\nENTITIES\n  0\nENDSEC\n  0\nEOF\n";

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
int Batch(const CommandLine& c) {
  namespace fs = std::filesystem;
  const std::pair<const char*, bool> singleOnly[] = {
      {"-o", !c.output.empty()},       {"--svg", !c.svgPath.empty()},        {"--report", !c.reportPath.empty()},
      {"--in-place", c.inPlace},       {"--call-log", !c.callLogPath.empty()}, {"--show-dialog", c.showDialog}};
  if (c.outDir.empty() && c.inputs.size() == 1)
    return BadInput(ShownPath(c.inputs[0]) + ": is a directory; to clean the drawings in it, give --out-dir DIR");
  if (c.outDir.empty()) return BadInput("several drawings need --out-dir DIR");
  for (auto& [option, given] : singleOnly)
    if (given) return BadInput(std::string(option) + " cleans one drawing; it cannot be used with --out-dir");
  std::vector<std::string> files;
  std::string error;
  if (!ExpandInputs(c.inputs, files, &error)) return BadInput(error);
  std::error_code ec;
  if (fs::exists(c.outDir, ec) && !fs::is_directory(c.outDir, ec))
    return BadInput(ShownPath(c.outDir) + ": --out-dir is not a folder");

  // Two drawings of one name would overwrite each other, and an input is
  // never an output: refused before any work, like any bad output path.
  std::vector<BatchJob> work;
  for (const std::string& f : files) {
    const std::string out = (fs::path(c.outDir) / fs::path(f).filename()).string();
    if (!c.dryRun && SameFile(f, out)) return BadInput(ShownPath(out) + ": would overwrite the input " + ShownPath(f));
    for (const BatchJob& j : work)
      if (!c.dryRun && SameFile(j.output, out))
        return BadInput(ShownPath(j.input) + " and " + ShownPath(f) + " would both be written to " + ShownPath(out));
    work.push_back({f, out});
  }
  if (!c.dryRun && !fs::exists(c.outDir, ec) && !fs::create_directories(c.outDir, ec))
    return BadInput(ShownPath(c.outDir) + ": cannot make the folder: " + ec.message());

  std::vector<std::string> args = {"--one-line", "--plugin", c.pluginPath};
  for (size_t n = 0; n < kOptionCount; ++n) {
    const std::optional<bool> f = c.all && !c.flags[n] ? std::optional<bool>(true) : c.flags[n];
    if (f) args.push_back(std::string(*f ? "--" : "--no-") + kPassOptions[n].name);
  }
  if (c.pointTol) args.insert(args.end(), {"-t", FormatNumber(*c.pointTol)});
  if (c.sizeTol) args.insert(args.end(), {"-s", FormatNumber(*c.sizeTol)});
  if (c.dryRun) args.push_back("-n");
  if (!c.convertInPlace) args.push_back("--no-convert-in-place");
  for (size_t k : {kNear, kEdges, kRepeat})
    if (c.extra[k]) args.push_back(std::string("--") + ExtraName(k));
  for (size_t k = kIgnoreLayer; k < kExtraCount; ++k)
    if (c.extra[k]) args.insert(args.end(), {"--ignore", ExtraName(k)});
  if (c.verify) args.push_back("--verify");
  if (!c.blocks) args.push_back("--no-blocks");
  if (c.splines) args.push_back("--splines");

  const unsigned workers = std::min<unsigned>(c.jobs.value_or(DefaultJobs()), unsigned(work.size()));
  gStage.doing = "cleaning a batch of drawings";
  const auto start = Clock::now();
  size_t failed = 0;
  // The worker is this very program, wherever it was started from.
  RunBatch("/proc/self/exe", args, work, workers, [&](size_t, const BatchOutcome& o) {
    if (!o.ok) {
      ++failed;
      std::fprintf(stderr, "failed  %s\n", o.line.c_str());
      std::fflush(stderr);
    } else if (!c.quiet) {
      std::printf("cleaned %s\n", o.line.c_str());
      std::fflush(stdout);
    }
  });
  if (!c.quiet || failed)
    std::printf("drawclean: %zu drawings, %zu cleaned, %zu failed, in %.1f s with %u worker%s\n", work.size(),
                work.size() - failed, failed, SecondsSince(start), workers, workers == 1 ? "" : "s");
  return failed ? kExitBadInput : kExitOk;
}

// The outputs of one drawing: the drawing, the picture, the JSON report.
// Each is checked, and its temporary file made, before the drawing is read,
// so a bad path fails at once, not after the work.
struct Output {
  const char* option;
  const std::string& path;
  bool wanted;
  PendingOutput file;
};

std::optional<int> PrepareOutputs(const CommandLine& c, Output (&outputs)[3]) {
  std::string error;
  for (Output& o : outputs) {
    if (!o.wanted) continue;
    if (o.option != outputs[0].option && SameFile(c.inputs[0], o.path))
      return BadInput(ShownPath(o.path) + ": " + o.option + " would overwrite the input");
    if (!o.file.Prepare(o.path, &error)) return BadInput(ShownPath(o.path) + ": cannot write: " + error);
    for (Output& other : outputs)
      if (&other != &o && other.wanted && !other.file.Target().empty() &&
          SameFile(other.file.Target(), o.file.Target()))
        return BadInput(ShownPath(o.path) + ": " + o.option + " and " + other.option + " name the same file");
  }
  return std::nullopt;
}

// One drawing's way through the program, step by step.
struct Cleaning {
  Cleaning(const CommandLine& commandLine, const std::string& path) : c(commandLine), input(path) {}
  const CommandLine& c;
  const std::string& input;
  hostapp::Host host;
  DxfDrawing dxf;
  std::vector<std::string> classes;
  bool inJson = false, outJson = false;
  std::string marker;
  DrawingSnapshot before;  // for the picture
  std::vector<ObjectHandle> verifyHandles;
  std::vector<hostapp::Object> verifyBefore;
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> callLog{nullptr, &std::fclose};
  RunResult run;
  std::vector<BlockRun> blocks;  // user blocks, each cleaned on its own
  ReportContext ctx;

  // Reads the drawing into the host, and what the later steps need of it as it was.
  std::optional<int> Read() {
    FileBytes file;
    std::string error;
    gStage.doing = "reading the drawing";
    const auto readStart = Clock::now();
    if (!ReadFileBytes(input, file, &error)) return BadInput(ShownPath(input) + ": " + error);
    if (file.text.empty()) return BadInput(ShownPath(input) + ": empty file");
    inJson = IsJsonPath(input) || LooksLikeJson(file.text);
    outJson = IsJsonPath(c.output);
    if (inJson) {
      if (!LoadJsonDrawing(std::string(file.text), host, classes, &error))
        return BadInput(ShownPath(input) + ": " + error);
    } else {
      DxfReadOptions read;
      // Half the tolerance for the curve, so a pass that moves a vertex by
      // the tolerance still leaves it near the curve.
      if (c.splines) read.splineDeviation = c.pointTol.value_or(kDefaultPointTolerance) * host.settings.worldScale / 2;
      if (!LoadDxf(std::move(file.owner), file.text, host, dxf, &error, read))
        return BadInput(ShownPath(input) + ": " + error);
      for (const auto& r : dxf.records)
        if (r.handle && std::find(classes.begin(), classes.end(), r.props.layer) == classes.end())
          classes.push_back(r.props.layer);
      std::vector<std::string> skipped;
      if (c.blocks) LoadBlocks(dxf, c.verify, blocks, &skipped);
      for (const std::string& why : skipped)
        std::fprintf(stderr, "drawclean: warning: %s: %s\n", ShownPath(input).c_str(), why.c_str());
      // The JSON form is one drawing: it has no place for a block's.
      if (outJson && !blocks.empty() && !c.dryRun)
        return BadInput(ShownPath(input) + ": " + std::to_string(blocks.size()) +
                        (blocks.size() == 1 ? " user block holds" : " user blocks hold") +
                        " geometry, which the JSON form cannot carry; write DXF, or give --no-blocks");
      ctx.blocksCleaned = c.blocks;
    }
    // A layer named like the marker class would be swept with it: the marker
    // takes a name that no layer of this drawing has.
    hostapp::SetMarkerClassName(host.UnusedClassName(hostapp::kDefaultMarkerClassName));
    marker = MarkerClassName();
    // Only the picture needs the drawing as it was: a copy of a large drawing
    // is not taken for nothing.
    if (!c.svgPath.empty()) before = Snapshot(host, marker);
    if (c.verify) verifyBefore = DrawnObjects(host, marker, &verifyHandles);
    if (!inJson) ctx.passedThrough = PassedThrough(dxf);
    gStage.entitiesRead = host.ObjectCount();
    ctx.readSeconds = SecondsSince(readStart);
    return std::nullopt;
  }

  // Runs the plug-in over the drawing.
  std::optional<int> Clean() {
    // A debugging aid: the host streams every call here as it happens, so the
    // log never has to fit in memory.
    if (!c.callLogPath.empty()) {
      callLog.reset(std::fopen(c.callLogPath.c_str(), "w"));
      if (!callLog) return BadInput(c.callLogPath + ": cannot write: " + std::strerror(errno));
    }
    RunOptions options;
    options.flags = c.flags;
    options.pointTolerance = c.pointTol;
    options.sizeTolerance = c.sizeTol;
    options.extra = c.extra;
    options.convertInPlace = c.convertInPlace;
    options.progress = !c.quiet && ::isatty(STDERR_FILENO);
    options.keepDialog = c.showDialog;
    options.callLog = callLog.get();
    gStage.doing = "cleaning the drawing";
    run = RunPlugin(host, c.pluginPath, options);
    if (!run.loaded) {
      std::fprintf(stderr, "drawclean: cannot load the plug-in %s: %s\n", c.pluginPath.c_str(), run.error.c_str());
      return kExitRunFailed;
    }
    if (c.showDialog) std::printf("%s\n", run.dialogText.c_str());
    for (const std::string& e : run.ignoredDialogEvents)
      std::fprintf(stderr, "drawclean: warning: dialog refused %s\n", e.c_str());
    if (run.result != 0) {
      std::fprintf(stderr, "drawclean: the plug-in stopped before cleaning (result %d)\n", run.result);
      return kExitRunFailed;
    }
    gStage.doing = "cleaning the drawing's blocks";
    std::string error;
    for (BlockRun& b : blocks) {
      if (!RunBlock(b, c.pluginPath, options, &error)) {
        std::fprintf(stderr, "drawclean: block %s: %s\n", Shown(b.name).c_str(), error.c_str());
        return kExitRunFailed;
      }
      for (const std::string& v : b.run.violations) run.violations.push_back("block " + Shown(b.name) + ": " + v);
    }
    hostapp::SetMarkerClassName(marker);
    return std::nullopt;
  }

  // The check on one user block; false, having said where, when it failed.
  bool VerifyBlock(BlockRun& b) {
    std::vector<ObjectHandle> afterHandles;
    b.coverage = VerifyRun(b.verifyBefore, *b.host, b.marker, b.run, &afterHandles);
    coverage::Report& total = *ctx.coverage;
    total.objectsChecked += b.coverage->objectsChecked;
    total.objectsExempt += b.coverage->objectsExempt;
    if (b.coverage->Passed()) return true;
    std::fprintf(stderr, "drawclean: %s: block %s: %s; nothing written\n", ShownPath(input).c_str(),
                 Shown(b.name).c_str(), CoverageLine(*b.coverage).c_str());
    auto was = [&](size_t i) { return PlaceOf(b.part, b.verifyHandles[i], b.verifyBefore[i]); };
    auto now = [&](size_t i) { return PlaceOf(b.part, afterHandles[i], b.host->Get(afterHandles[i])); };
    for (const std::string& line : VerifyFailureLines(*b.coverage, was, now))
      std::fprintf(stderr, "  %s\n", line.c_str());
    return false;
  }

  // With --verify: nothing drawn may be lost, else nothing is written.
  std::optional<int> Verify() {
    if (!c.verify) return std::nullopt;
    gStage.doing = "checking that nothing drawn was lost";
    const auto verifyStart = Clock::now();
    std::vector<ObjectHandle> afterHandles;
    ctx.coverage = VerifyRun(verifyBefore, host, marker, run, &afterHandles);
    if (ctx.coverage->Passed()) {
      for (BlockRun& b : blocks)
        if (!VerifyBlock(b)) return kExitBadInput;
      ctx.verifySeconds = SecondsSince(verifyStart);
      return std::nullopt;
    }
    std::fprintf(stderr, "drawclean: %s: %s; nothing written\n", ShownPath(input).c_str(),
                 CoverageLine(*ctx.coverage).c_str());
    auto was = [&](size_t i) { return PlaceOf(dxf, verifyHandles[i], verifyBefore[i]); };
    auto now = [&](size_t i) { return PlaceOf(dxf, afterHandles[i], host.Get(afterHandles[i])); };
    for (const std::string& line : VerifyFailureLines(*ctx.coverage, was, now))
      std::fprintf(stderr, "  %s\n", line.c_str());
    return kExitBadInput;
  }

  // What the run left drawn twice, for the report and the picture.
  void MeasureDrawnTwice() {
    gStage.doing = "measuring what is drawn twice";
    const auto start = Clock::now();
    ctx.drawnTwice = drawclean::MeasureDrawnTwice(host, marker, run);
    ctx.drawnTwiceSeconds = SecondsSince(start);
  }

  // The cleaned drawing's text; an exit status when it cannot be written.
  std::optional<int> DrawingText(std::string& out) {
    if (outJson && !ctx.passedThrough.empty() && !c.dryRun)
      std::fprintf(stderr, "drawclean: warning: the JSON form holds none of these, left out: %s\n",
                   PassedThroughText(ctx.passedThrough).c_str());
    if (outJson) {
      out = SaveJsonDrawing(host, classes, marker);
      return std::nullopt;
    }
    ctx.dxf = true;
    if (inJson) {
      std::string ignored;
      LoadDxf(kEmptyDxf, host, dxf, &ignored);  // adds nothing: the blank has no entities
    }
    std::vector<DxfBlockWrite> writes = BlockWrites(blocks);
    out = SaveDxf(dxf, host, marker, &ctx.file, &writes);
    if (ctx.file.outOfHandles)
      return BadInput(ShownPath(input) + ": no entity handle above the largest in use is free for the new entities");
    if (ctx.file.skipped)
      std::fprintf(stderr, "drawclean: warning: %zu objects have no DXF form and were left out\n", ctx.file.skipped);
    return std::nullopt;
  }

  // Every output written in full before any replaces its target; then the report.
  int Write(Output (&outputs)[3]) {
    gStage.doing = "writing the drawing";
    const auto writeStart = Clock::now();
    ctx.input = input;
    ctx.output = c.dryRun ? "" : c.output;
    ctx.format = outJson ? "json" : "dxf";
    ctx.passedLeftOut = outJson;
    for (BlockRun& b : blocks) {
      ctx.blocks.push_back(BlockReportOf(b.name, b.run));
      if (b.coverage) ctx.blocks.back().coveragePassed = b.coverage->Passed();
    }
    std::string drawing, error;
    if (const auto bad = DrawingText(drawing)) return *bad;
    ctx.writeSeconds = SecondsSince(writeStart);  // the drawing's text built
    const std::string texts[] = {
        c.dryRun ? std::string() : std::move(drawing),  // moved: a large drawing is not held twice
        c.svgPath.empty() ? "" : BeforeAfterSvg(before, Snapshot(host, marker), input, inJson ? Backdrop{} : BackdropOf(dxf),
                                                  ctx.drawnTwice.value_or(coverage::Doubled{}).marks),
        c.reportPath.empty() ? "" : ReportJson(run, ctx)};
    for (size_t i = 0; i < std::size(texts); ++i)
      if (outputs[i].wanted && !outputs[i].file.Write(texts[i], &error))
        return BadInput(ShownPath(outputs[i].path) + ": cannot write: " + error);
    for (Output& o : outputs)
      if (o.wanted && !o.file.Commit(&error)) return BadInput(ShownPath(o.path) + ": cannot write: " + error);
    if (c.oneLine) std::printf("%s\n", ReportLine(run, ctx).c_str());
    else if (!c.quiet) std::fputs(ReportText(run, ctx).c_str(), stdout);
    for (const std::string& v : run.violations)
      if (c.quiet) std::fprintf(stderr, "drawclean: warning: host contract violation: %s\n", v.c_str());
    return kExitOk;
  }
};

int Drawclean(int argc, char** argv) {
  CommandLine c;
  if (const auto done = ParseCommandLine(argc, argv, c)) return *done;

  const PluginChoice plugin = ChoosePlugin(c.pluginPath, std::getenv("DRAWCLEAN_PLUGIN"), ThisProgramLayout());
  if (const std::string missing = MissingPluginMessage(plugin); !missing.empty()) {
    std::fprintf(stderr, "drawclean: %s\n", missing.c_str());
    return kExitRunFailed;
  }
  c.pluginPath = plugin.path;
  if (c.cutOnce) ApplyCutOnce(c);

  if (!c.outDir.empty() || c.inputs.size() > 1 || std::filesystem::is_directory(c.inputs[0])) return Batch(c);
  if (c.jobs) return BadInput("-j only applies with --out-dir");
  const std::string& input = c.inputs[0];
  if (c.all)
    for (auto& f : c.flags)
      if (!f) f = true;
  if (c.output.empty()) c.output = c.inPlace ? input : DefaultOutput(input);
  if (!c.dryRun && SameFile(input, c.output) && !c.inPlace)
    return BadInput(ShownPath(c.output) + ": output would overwrite the input; give --in-place to allow it");

  Output outputs[] = {{"-o", c.output, !c.dryRun, {}},
                      {"--svg", c.svgPath, !c.svgPath.empty(), {}},
                      {"--report", c.reportPath, !c.reportPath.empty(), {}}};
  if (const auto bad = PrepareOutputs(c, outputs)) return *bad;

  Cleaning cleaning(c, input);
  if (const auto bad = cleaning.Read()) return *bad;
  if (const auto failed = cleaning.Clean()) return *failed;
  if (const auto lost = cleaning.Verify()) return *lost;
  // With the check or the picture only: on a 256k-entity plan the measure
  // costs about a sixth of the run.
  if (c.verify || !c.svgPath.empty()) cleaning.MeasureDrawnTwice();
  return cleaning.Write(outputs);
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
