#include "block_runs.h"

#include "shown.h"
#include "verify.h"

namespace drawclean {

void LoadBlocks(const DxfDrawing& whole, bool keepBefore, std::vector<BlockRun>& blocks,
                std::vector<std::string>* skipped) {
  for (const DxfBlock& b : FindBlocks(whole.file)) {
    if (!b.user || b.body == b.end) continue;
    BlockRun run;
    run.name = b.name;
    run.host = std::make_unique<hostapp::Host>();
    std::string error;
    if (!LoadDxfBlock(whole, b, *run.host, run.part, &error)) {
      if (skipped) skipped->push_back("block " + Shown(b.name) + " left as it is: " + error);
      continue;
    }
    if (run.host->ObjectCount() == 0) continue;  // nothing the passes handle
    // Like the model space's: a name no layer of this block has.
    run.marker = run.host->UnusedClassName(hostapp::kDefaultMarkerClassName);
    if (keepBefore) run.verifyBefore = DrawnObjects(*run.host, run.marker, &run.verifyHandles);
    blocks.push_back(std::move(run));
  }
}

bool RunBlock(BlockRun& b, const std::string& pluginPath, const RunOptions& options, std::string* error) {
  // The marker's name is the host resources' own, set for this block's run.
  hostapp::SetMarkerClassName(b.marker);
  RunOptions quiet = options;
  quiet.progress = false;
  quiet.keepDialog = false;
  b.run = RunPlugin(*b.host, pluginPath, quiet);
  if (!b.run.loaded) *error = "cannot load the plug-in " + pluginPath + ": " + b.run.error;
  else if (b.run.result != 0) *error = "the plug-in stopped before cleaning (result " + std::to_string(b.run.result) + ")";
  return b.run.loaded && b.run.result == 0;
}

std::vector<DxfBlockWrite> BlockWrites(std::vector<BlockRun>& blocks) {
  std::vector<DxfBlockWrite> writes;
  for (BlockRun& b : blocks) writes.push_back({&b.part, b.host.get(), b.marker, {}});
  return writes;
}

}  // namespace drawclean
