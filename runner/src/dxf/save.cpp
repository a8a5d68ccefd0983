// Writing the drawing back: the ENTITIES section in the host's order, each
// entity byte for byte when its object is as it was loaded, through its kind
// when it changed or is new; everything else of the file untouched.
#include <algorithm>
#include <optional>
#include <utility>
#include <vector>

#include "dxf/entity_kind.h"
#include "dxf/properties.h"
#include "hostapp/object_compare.h"

namespace drawclean {
namespace {

struct Saver {
  EntityWriter w;
  DxfWriteStats st;

  // A new entity in place of `origin` (which lends its handle) or of the
  // entity whose properties the object inherited.
  std::string Fresh(const hostapp::Object& o, const EntityKind* kind, const DxfEntityRecord* origin) {
    if (!kind) {
      ++st.skipped;
      return "";
    }
    const DxfDrawing& d = w.d;
    NewEntity e;
    e.origin = origin;
    const DxfEntityRecord* model = origin;
    const int64_t g = o.attr.group;
    if (!model && g >= 1 && size_t(g) <= d.records.size()) model = &d.records[size_t(g - 1)];
    e.props = w.PropertiesOf(o);
    if (model) e.owner = DxfRecord{d.file, model->span.first, model->span.last}.Str(330);
    if (origin) e.handle = std::string(origin->entityHandle);
    return kind->fresh(w, o, e);
  }

  std::string Changed(const DxfEntityRecord& rec, const hostapp::Object& o) {
    const EntityKind* kind = KindFor(o, &rec, w.d.version);
    if (!kind || kind->name != rec.kind || (kind->keeps && !kind->keeps(rec, w.d.file, o)))
      return Fresh(o, kind, &rec);
    TagEdits edits;
    PropertyEdits(w.PropertiesOf(o), rec.props, edits);
    return kind->changed(w, rec, o, std::move(edits));
  }
};

// The text of d.entities' body as the host now holds the drawing; nothing
// when it is as it was.
std::optional<std::string> EntitiesText(DxfDrawing& d, const hostapp::Host& host, const std::string& marker,
                                        DxfWriteStats& stats) {
  Saver s{EntityWriter{d, host, marker}, {}};
  // Sorted pairs, not a hash map: a million entities would cost 40 bytes each in nodes.
  std::vector<std::pair<ObjectHandle, size_t>> byHandle;
  for (size_t k = 0; k < d.records.size(); ++k)
    if (d.records[k].handle != 0) byHandle.emplace_back(d.records[k].handle, k);
  std::sort(byHandle.begin(), byHandle.end());

  std::string body;
  std::vector<bool> emitted(d.records.size(), false);
  size_t next = 0;  // records before it are written or accounted for
  bool differs = false;
  auto raw = [&](const DxfEntityRecord& rec) { body += RawTags(d.file, rec.span.first, rec.span.last); };
  // Entities no object stands for keep their place among the others.
  auto flushTo = [&](size_t k) {
    for (; next < k; ++next) {
      if (emitted[next] || d.records[next].handle != 0) continue;
      raw(d.records[next]);
      emitted[next] = true;
    }
  };
  hostapp::Object was;  // the object of an entity as it was loaded
  for (ObjectHandle h : host.Objects()) {
    const hostapp::Object& o = host.Get(h);
    if (o.cls != 0 && host.ClassExists(o.cls) && host.ClassName(o.cls) == marker) {
      differs = true;
      continue;
    }
    const auto it = std::lower_bound(byHandle.begin(), byHandle.end(), std::make_pair(h, size_t{0}));
    if (it == byHandle.end() || it->first != h) {
      const std::string text = s.Fresh(o, KindFor(o, nullptr, d.version), nullptr);
      if (!text.empty()) ++s.st.created;
      body += text;
      differs = true;
      continue;
    }
    const size_t k = it->second;
    if (k < next && !emitted[k]) differs = true;  // moved backwards in the order
    flushTo(k);
    const DxfEntityRecord& rec = d.records[k];
    if (ObjectOf(d, k, was) && SameObject(o, was)) {
      raw(rec);
      ++s.st.unchanged;
    } else {
      body += s.Changed(rec, o);
      ++s.st.changed;
      differs = true;
    }
    emitted[k] = true;
    next = std::max(next, k + 1);
  }
  flushTo(d.records.size());
  for (size_t k = 0; k < d.records.size(); ++k)
    if (!emitted[k] && d.records[k].handle != 0) {
      ++s.st.removed;
      differs = true;
    }
  // Entities that lost their place (a later object emitted first) go last.
  for (size_t k = 0; k < d.records.size(); ++k)
    if (!emitted[k] && d.records[k].handle == 0) raw(d.records[k]);

  stats = s.st;
  if (!differs || !d.entities) return std::nullopt;
  const size_t firstEntity = d.records.empty() ? d.entities->end : d.records.front().span.first;
  return std::string(RawTags(d.file, d.entities->body, firstEntity)) + body;
}

}  // namespace

std::string SaveDxf(DxfDrawing& d, const hostapp::Host& host, const std::string& marker, DxfWriteStats* stats,
                    std::vector<DxfBlockWrite>* blocks) {
  d.handles.moved = d.handles.refused = false;  // what this writing does
  std::vector<DxfSplice> splices;
  // Each block in its place; handles are given out across them all, so no
  // two new entities share one.
  for (size_t i = 0; blocks && i < blocks->size(); ++i) {
    DxfBlockWrite& b = (*blocks)[i];
    DxfDrawing& part = *b.part;
    const std::optional<size_t> seedTag = part.handles.seedTag;
    part.handles = d.handles;
    part.handles.seedTag = seedTag;
    const auto text = EntitiesText(part, *b.host, b.markerClass, b.stats);
    d.handles.seed = part.handles.seed;
    d.handles.exhausted = part.handles.exhausted;
    d.handles.moved = d.handles.moved || part.handles.moved;
    d.handles.refused = d.handles.refused || part.handles.refused;
    if (text && part.block) splices.push_back({part.block->body, part.block->end, *text});
  }
  DxfWriteStats st;
  if (auto text = EntitiesText(d, host, marker, st))
    splices.push_back({d.entities->body, d.entities->end, std::move(*text)});
  if (d.handles.moved && d.handles.seedTag)
    splices.push_back({*d.handles.seedTag, *d.handles.seedTag + 1,
                       FormatTag(d.file, 5, FormatHandle(d.handles.seed))});
  st.outOfHandles = d.handles.refused;
  if (stats) *stats = st;
  std::sort(splices.begin(), splices.end(), [](const DxfSplice& x, const DxfSplice& y) { return x.first < y.first; });
  return WriteDxf(d.file, std::move(splices));
}

}  // namespace drawclean
