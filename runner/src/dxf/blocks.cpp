#include "dxf/blocks.h"

#include <cctype>

#include "dxf/record.h"
#include "dxf/structure.h"

namespace drawclean {
namespace {

// Flags of group 70: anonymous, external reference, overlay, dependent on
// one, resolved one.
constexpr long long kNotUserFlags = 1 | 4 | 8 | 16 | 32;

bool StartsWithNoCase(const std::string& s, std::string_view prefix) {
  if (s.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i)
    if (std::toupper(static_cast<unsigned char>(s[i])) != prefix[i]) return false;
  return true;
}

}  // namespace

bool IsUserBlock(const std::string& name, long long flags) {
  if (name.empty() || name[0] == '*') return false;
  if (StartsWithNoCase(name, "$MODEL_SPACE") || StartsWithNoCase(name, "$PAPER_SPACE")) return false;
  if (name.find('|') != std::string::npos) return false;
  return (flags & kNotUserFlags) == 0;
}

std::vector<DxfBlock> FindBlocks(const DxfFile& file) {
  std::vector<DxfBlock> blocks;
  for (const DxfSection& s : FindSections(file)) {
    if (s.name != "BLOCKS") continue;
    const auto records = SplitEntities(file, s.body, s.end);
    for (size_t k = 0; k < records.size(); ++k) {
      if (Trimmed(file.tags[records[k].first].value) != "BLOCK") continue;
      const DxfRecord r{file, records[k].first, records[k].last, nullptr, true};
      DxfBlock b;
      b.name = r.Str(2);
      b.body = records[k].last;
      size_t j = k + 1;
      while (j < records.size() && Trimmed(file.tags[records[j].first].value) != "ENDBLK" &&
             Trimmed(file.tags[records[j].first].value) != "BLOCK")
        ++j;
      // A block cut short (no ENDBLK before the next BLOCK or the section's
      // end) is no block the runner can rewrite safely.
      if (j == records.size() || Trimmed(file.tags[records[j].first].value) != "ENDBLK") {
        k = j - 1;
        continue;
      }
      b.end = records[j].first;
      b.user = IsUserBlock(b.name, r.Int(70));
      blocks.push_back(std::move(b));
      k = j;
    }
  }
  return blocks;
}

DxfFile BlockFile(const DxfFile& whole, const DxfBlock& block) {
  DxfFile f;
  f.text = whole.text;
  f.source = whole.source;
  f.tags.assign(whole.tags.begin() + long(block.body), whole.tags.begin() + long(block.end));
  f.headEnd = block.body < whole.tags.size() ? whole.Begin(block.body) : whole.source.size();
  f.tailBegin = block.end < whole.tags.size() ? whole.Begin(block.end) : whole.source.size();
  f.eol = whole.eol;
  f.paddedCodes = whole.paddedCodes;
  return f;
}

}  // namespace drawclean
