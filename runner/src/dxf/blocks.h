// Block definitions of the BLOCKS section, and which of them a user drew:
// those are cleaned as drawings of their own.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "dxf/tags.h"

namespace drawclean {

struct DxfBlock {
  std::string name;  // group 2 of the BLOCK record
  size_t body = 0;   // the first tag of its first entity (== end when it has none)
  size_t end = 0;    // the 0/ENDBLK tag
  bool user = false;  // named by a user: not anonymous, not a layout, no external reference
};

// Every block definition of the file, in file order.
std::vector<DxfBlock> FindBlocks(const DxfFile& file);

// Whether a block of this name and flags (group 70) is one a user made.
// Anonymous blocks (*D dimensions, *X hatches, *U and the like) and layout
// blocks (*Model_Space, *Paper_Space*, R12's $MODEL_SPACE) are drawn by the
// program that wrote the file; external references, and blocks that belong to
// one (xref|name), are another drawing's.
bool IsUserBlock(const std::string& name, long long flags);

// The block's entities as a file of their own: the same text, viewed from
// the block's first entity up to its ENDBLK, so line numbers and every byte
// stay the whole file's.
DxfFile BlockFile(const DxfFile& whole, const DxfBlock& block);

}  // namespace drawclean
