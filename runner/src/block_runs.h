// User blocks cleaned as drawings of their own: each definition once,
// however often it is placed, in a host of its own through the plug-in with
// the options of the model space's run. Model space and a block never mix.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "coverage/coverage_check.h"
#include "dxf/drawing.h"
#include "hostapp/host.h"
#include "run.h"

namespace drawclean {

struct BlockRun {
  std::string name;
  DxfDrawing part;
  std::unique_ptr<hostapp::Host> host;  // a host keeps its own address
  std::string marker;                   // the plug-in's marker class in this host
  std::vector<hostapp::Object> verifyBefore;  // with --verify: the block as it was
  std::vector<ObjectHandle> verifyHandles;
  RunResult run;
  std::optional<coverage::Report> coverage;
};

// Reads every user block that holds something the host models; the others
// stay as they are. A block with a malformed value stays as it is too, and
// `skipped` says which and why: the rest of the drawing is still cleaned.
// `keepBefore` keeps each block as it was for the check.
void LoadBlocks(const DxfDrawing& whole, bool keepBefore, std::vector<BlockRun>& blocks,
                std::vector<std::string>* skipped);

// Runs the plug-in over one block; false, with why, when it could not clean it.
bool RunBlock(BlockRun& b, const std::string& pluginPath, const RunOptions& options, std::string* error);

// Where each block's drawing goes when the whole file is written.
std::vector<DxfBlockWrite> BlockWrites(std::vector<BlockRun>& blocks);

}  // namespace drawclean
