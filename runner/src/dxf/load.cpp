// Reading a DXF drawing into the host: the tags once, then each entity of the
// ENTITIES section through its kind.
#include "dxf/entity_kind.h"
#include "dxf/properties.h"

namespace drawclean {

namespace {

// One entity into a host object, through its kind; a SPLINE only when the
// drawing is read with splines, flattened within its deviation.
bool ReadEntity(const DxfDrawing& d, DxfEntityRecord& rec, const DxfRecord& r, hostapp::Object& o) {
  if (rec.kind == "SPLINE") {
    if (d.options.splineDeviation) return ReadSpline(rec, r, *d.options.splineDeviation, o);
    rec.passReason = PassReason::kKind;
    return false;
  }
  const EntityKind* kind = KindNamed(rec.kind);
  if (kind) return kind->read(rec, r, o);
  rec.passReason = PassReason::kKind;
  return false;
}

// Reads the records of d.entities into the host.
bool LoadEntities(hostapp::Host& host, DxfDrawing& d, std::string* error) {
  if (!d.entities) return true;
  const auto spans = SplitEntities(d.file, d.entities->body, d.entities->end);
  d.records.reserve(spans.size());
  for (const DxfEntity& span : spans) {
    DxfEntityRecord rec;
    rec.span = span;
    rec.kind = Trimmed(d.file.tags[span.first].value);
    const DxfRecord r{d.file, span.first, RecordEnd(d.file, span.first, span.last), error};
    const DxfEntityHead head = ReadEntityHead(r);
    rec.entityHandle = head.handle;
    rec.props = head.props;
    if (!rec.entityHandle.empty()) d.usesHandles = true;
    if (head.subclassMarkers) d.subclassMarkers = true;
    hostapp::Object o;
    bool mapped = false;
    if (head.paperSpace) rec.passReason = PassReason::kPaperSpace;
    else if (!r.failed) mapped = ReadEntity(d, rec, r, o);
    if (r.failed) return false;
    if (mapped) {
      ResolveProperties(rec, d, host);
      ApplyProperties(rec, d.records.size(), o);
      rec.handle = host.Add(o);
    }
    d.records.push_back(std::move(rec));
  }
  if (d.version.NeedsHandlesAndMarkers()) d.usesHandles = d.subclassMarkers = true;
  return true;
}

bool Load(std::optional<DxfFile> file, hostapp::Host& host, DxfDrawing& d, std::string* error,
          const DxfReadOptions& options) {
  if (!file) return false;
  d = DxfDrawing{};
  d.file = std::move(*file);
  d.options = options;
  d.version = VersionOf(d.file);
  d.handles = HandlesOf(d.file);
  for (const DxfSection& s : FindSections(d.file))
    if (s.name == "ENTITIES") d.entities = s;
  return LoadEntities(host, d, error);
}

}  // namespace

bool LoadDxf(std::string text, hostapp::Host& host, DxfDrawing& d, std::string* error,
             const DxfReadOptions& options) {
  return Load(ParseDxf(std::move(text), error), host, d, error, options);
}

bool LoadDxf(std::shared_ptr<const void> owner, std::string_view text, hostapp::Host& host, DxfDrawing& d,
             std::string* error, const DxfReadOptions& options) {
  return Load(ParseDxf(std::move(owner), text, error), host, d, error, options);
}

bool LoadDxfBlock(const DxfDrawing& whole, const DxfBlock& block, hostapp::Host& host, DxfDrawing& part,
                  std::string* error) {
  part = DxfDrawing{};
  part.file = BlockFile(whole.file, block);
  part.options = whole.options;
  part.block = block;
  part.version = whole.version;
  // The seed's tag is the whole file's: SaveDxf moves it there.
  part.handles = whole.handles;
  part.handles.seedTag.reset();
  part.usesHandles = whole.usesHandles;
  part.subclassMarkers = whole.subclassMarkers;
  part.entities = DxfSection{block.name, 0, 0, part.file.tags.size()};
  return LoadEntities(host, part, error);
}

bool ObjectOf(const DxfDrawing& d, size_t k, hostapp::Object& o) {
  const DxfEntityRecord& rec = d.records[k];
  if (rec.handle == 0) return false;
  DxfEntityRecord scratch;  // what reading notes about the entity is known already
  scratch.span = rec.span;
  scratch.kind = rec.kind;
  const DxfRecord r{d.file, rec.span.first, RecordEnd(d.file, rec.span.first, rec.span.last)};
  o = hostapp::Object{};
  if (!ReadEntity(d, scratch, r, o) || r.failed) return false;
  ApplyProperties(rec, k, o);
  return true;
}

}  // namespace drawclean
