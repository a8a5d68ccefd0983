// Reading a DXF drawing into the host: the tags once, then each entity of the
// ENTITIES section through its kind.
#include "dxf/entity_kind.h"
#include "dxf/properties.h"

namespace drawclean {

namespace {

bool Load(std::optional<DxfFile> file, hostapp::Host& host, DxfDrawing& d, std::string* error) {
  if (!file) return false;
  d = DxfDrawing{};
  d.file = std::move(*file);
  d.version = VersionOf(d.file);
  d.handles = HandlesOf(d.file);
  for (const DxfSection& s : FindSections(d.file))
    if (s.name == "ENTITIES") d.entities = s;
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
    if (head.paperSpace) {
      rec.passReason = PassReason::kPaperSpace;
    } else if (!r.failed) {
      const EntityKind* kind = KindNamed(rec.kind);
      if (kind) mapped = kind->read(rec, r, o);
      else rec.passReason = PassReason::kKind;
    }
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

}  // namespace

bool LoadDxf(std::string text, hostapp::Host& host, DxfDrawing& d, std::string* error) {
  return Load(ParseDxf(std::move(text), error), host, d, error);
}

bool LoadDxf(std::shared_ptr<const void> owner, std::string_view text, hostapp::Host& host, DxfDrawing& d,
             std::string* error) {
  return Load(ParseDxf(std::move(owner), text, error), host, d, error);
}

bool ObjectOf(const DxfDrawing& d, size_t k, hostapp::Object& o) {
  const DxfEntityRecord& rec = d.records[k];
  const EntityKind* kind = rec.handle != 0 ? KindNamed(rec.kind) : nullptr;
  if (!kind) return false;
  DxfEntityRecord scratch;  // what reading notes about the entity is known already
  scratch.span = rec.span;
  const DxfRecord r{d.file, rec.span.first, RecordEnd(d.file, rec.span.first, rec.span.last)};
  o = hostapp::Object{};
  if (!kind->read(scratch, r, o) || r.failed) return false;
  ApplyProperties(rec, k, o);
  return true;
}

}  // namespace drawclean
