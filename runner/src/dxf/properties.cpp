#include "dxf/properties.h"

namespace drawclean {
namespace {

// The long attribute holds a true colour with this bit set, so 0 (what a pass
// that clears the attribute leaves) means "none" and black stays black.
constexpr int32_t kTrueColourPresent = 0x1000000;

uint16_t LinetypeIndex(DxfDrawing& d, const std::string& name) {
  for (size_t i = 0; i < d.linetypes.size(); ++i)
    if (d.linetypes[i] == name) return uint16_t(i);
  d.linetypes.push_back(name);
  return uint16_t(d.linetypes.size() - 1);
}

}  // namespace

DxfEntityHead ReadEntityHead(const DxfRecord& r) {
  // One pass finds each code's first tag; the values are read in a fixed
  // order, so the first malformed one is the one reported.
  enum { kHandle, kLayer, kLinetype, kColour, kLineweight, kTrueColour, kInvisible, kSpace, kCount };
  size_t at[kCount];
  for (size_t& a : at) a = SIZE_MAX;
  auto mark = [&](int slot, size_t i) {
    if (at[slot] == SIZE_MAX) at[slot] = i;
  };
  DxfEntityHead h;
  for (size_t i = r.first + 1; i < r.last; ++i) {
    switch (r.At(i).code) {
      case 5: mark(kHandle, i); break;
      case 8: mark(kLayer, i); break;
      case 6: mark(kLinetype, i); break;
      case 62: mark(kColour, i); break;
      case 370: mark(kLineweight, i); break;
      case 420: mark(kTrueColour, i); break;
      case 60: mark(kInvisible, i); break;
      case 67: mark(kSpace, i); break;
      case 100: h.subclassMarkers = true; break;
      default: break;
    }
  }
  auto text = [&](int slot, std::string_view fallback) {
    return at[slot] == SIZE_MAX ? fallback : Trimmed(r.At(at[slot]).value);
  };
  auto integer = [&](int slot, long long fallback) {
    return at[slot] == SIZE_MAX ? fallback : r.IntAt(at[slot], fallback);
  };
  h.handle = text(kHandle, "");
  h.props.layer = std::string(text(kLayer, "0"));
  h.props.linetype = std::string(text(kLinetype, ""));
  h.props.colour = int16_t(integer(kColour, 256));
  h.props.lineweight = int16_t(integer(kLineweight, -1));
  h.props.trueColour = int32_t(integer(kTrueColour, -1));
  h.props.invisible = integer(kInvisible, 0) != 0;
  h.paperSpace = integer(kSpace, 0) != 0;
  return h;
}

void ResolveProperties(DxfEntityRecord& rec, DxfDrawing& d, hostapp::Host& host) {
  rec.cls = host.ClassNamed(rec.props.layer);
  rec.linetype = LinetypeIndex(d, rec.props.linetype);
}

void ApplyProperties(const DxfEntityRecord& rec, size_t index, hostapp::Object& o) {
  const DxfProperties& p = rec.props;
  o.cls = rec.cls;
  o.attr.wordA = p.colour;
  o.attr.wordB = p.lineweight;
  o.attr.longAttr = p.trueColour >= 0 ? (kTrueColourPresent | p.trueColour) : 0;
  o.attr.record[2] = uint8_t(rec.linetype & 0xFF);
  o.attr.record[3] = uint8_t(rec.linetype >> 8);
  o.attr.flags[0] = p.invisible ? 1 : 0;
  o.attr.group = int64_t(index) + 1;
}

DxfProperties PropertiesOf(const DxfDrawing& d, const hostapp::Host& host, const std::string& marker,
                           const hostapp::Object& o) {
  DxfProperties p;
  const int64_t g = o.attr.group;
  if (g >= 1 && size_t(g) <= d.records.size()) p = d.records[size_t(g - 1)].props;
  const std::string cls = o.cls != 0 && host.ClassExists(o.cls) ? host.ClassName(o.cls) : "";
  if (!cls.empty() && cls != marker) p.layer = cls;
  p.colour = o.attr.wordA;
  p.lineweight = o.attr.wordB;
  // A pass may clear the long attribute; the colour then stays the inherited one.
  if (o.attr.longAttr != 0) p.trueColour = o.attr.longAttr & 0xFFFFFF;
  const size_t lt = size_t(o.attr.record[2]) | size_t(o.attr.record[3]) << 8;
  if (lt < d.linetypes.size()) p.linetype = d.linetypes[lt];
  p.invisible = o.attr.flags[0] != 0;
  return p;
}

void PropertyEdits(const DxfProperties& now, const DxfProperties& was, TagEdits& edits) {
  auto& set = edits.set;
  if (now.layer != was.layer) set.emplace_back(8, now.layer);
  if (now.linetype != was.linetype) {
    if (now.linetype.empty()) edits.drop.push_back(6);
    else set.emplace_back(6, now.linetype);
  }
  if (now.colour != was.colour) set.emplace_back(62, std::to_string(now.colour));
  if (now.lineweight != was.lineweight) set.emplace_back(370, std::to_string(now.lineweight));
  if (now.trueColour != was.trueColour) {
    if (now.trueColour < 0) edits.drop.push_back(420);
    else set.emplace_back(420, std::to_string(now.trueColour));
  }
  if (now.invisible != was.invisible) set.emplace_back(60, now.invisible ? "1" : "0");
}

}  // namespace drawclean
