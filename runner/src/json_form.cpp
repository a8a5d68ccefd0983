#include "json_form.h"

#include <climits>
#include <cmath>
#include <cstring>
#include <limits>

#include <nlohmann/json.hpp>

#include "shown.h"

namespace drawclean {
namespace {

using nlohmann::json;
using hostapp::Object;

// The library's messages quote the input near the fault; this many
// characters keep that quote short.
constexpr size_t kJsonMessageLimit = 120;

// "[json.exception.parse_error.101] parse error ..." without the bracket.
std::string WithoutLibraryTag(const char* what) {
  std::string s = what;
  if (!s.empty() && s.front() == '[') {
    const size_t close = s.find("] ");
    if (close != std::string::npos) s.erase(0, close + 2);
  }
  return s;
}

struct BadInput {
  std::string where, what;
};

double Num(const json& j, const std::string& where) {
  if (!j.is_number()) throw BadInput{where, "expected a number"};
  double v = j.get<double>();
  if (!std::isfinite(v)) throw BadInput{where, "expected a finite number"};
  return v;
}

template <typename T>
T Int(const json& j, const std::string& where) {
  if (!j.is_number_integer()) throw BadInput{where, "expected an integer"};
  if (j.is_number_unsigned() && j.get<unsigned long long>() > (unsigned long long)LLONG_MAX)
    throw BadInput{where, "integer out of range"};
  long long v = j.get<long long>();
  if (v < (long long)std::numeric_limits<T>::min() || v > (long long)std::numeric_limits<T>::max())
    throw BadInput{where, "integer out of range"};
  return T(v);
}

HostWorldPt Pt(const json& j, const std::string& where) {
  if (!j.is_array() || j.size() != 2) throw BadInput{where, "expected [x, y]"};
  return HostWorldPt{Num(j[1], where + "[1]"), Num(j[0], where + "[0]")};
}

HostWorldPt3D Pt3(const json& j, const std::string& where) {
  if (!j.is_array() || j.size() != 3) throw BadInput{where, "expected [x, y, z]"};
  return HostWorldPt3D{Num(j[0], where + "[0]"), Num(j[1], where + "[1]"), Num(j[2], where + "[2]")};
}

json J(const HostWorldPt& p) { return json::array({p.x, p.y}); }
json J(const HostWorldPt3D& p) { return json::array({p.x, p.y, p.z}); }

bool Zero(const HostWorldPt& p) { return p.x == 0 && p.y == 0 && !std::signbit(p.x) && !std::signbit(p.y); }
bool Zero(const HostWorldPt3D& p) { return p.x == 0 && p.y == 0 && p.z == 0 && !std::signbit(p.x) && !std::signbit(p.y) && !std::signbit(p.z); }
bool Zero(double d) { return d == 0 && !std::signbit(d); }

bool UsesVertices(int16_t t) { return t == kVertexListType || t == kCurvedVertexListType; }
bool HasOwnGeometry(int16_t t) {
  return t == kLineType || t == kArcType || UsesVertices(t) || t == kVertexList3DType || t == kPointType ||
         t == kPoint3DType || t == kFourPoints3DType;
}

// The members without which an object of the type has no geometry: a
// missing one would read as zeros, which degenerate removal then deletes.
std::vector<const char*> RequiredMembers(int16_t t) {
  switch (t) {
    case kLineType: return {"first", "second"};
    case kArcType: return {"center", "hRadius", "vRadius", "startDeg", "sweepDeg"};
    case kVertexListType: case kCurvedVertexListType: return {"vertices"};
    case kVertexList3DType: return {"vertices3d"};
    case kPointType: return {"point"};
    case kPoint3DType: return {"point3d"};
    case kFourPoints3DType: return {"points3d"};
    default: return {"bounds"};
  }
}

// Keys come from the input: quoted short and safe.
std::string Member(const std::string& at, const std::string& key) { return at + "." + Shown(key); }

Object ReadObject(const json& j, const std::string& at, hostapp::Host& host,
                  std::vector<std::string>& classes) {
  if (!j.is_object()) throw BadInput{at, "expected an object"};
  if (!j.contains("type")) throw BadInput{at, "missing \"type\""};
  static const char* const kKnown[] = {"type", "class", "attributes", "first", "second", "center",
                                       "hRadius", "vRadius", "startDeg", "sweepDeg", "point",
                                       "point3d", "points3d", "vertices", "vertices3d", "closed",
                                       "bounds"};
  for (auto it = j.begin(); it != j.end(); ++it) {
    bool known = false;
    for (const char* k : kKnown) known = known || it.key() == k;
    if (!known) throw BadInput{Member(at, it.key()), "unknown member"};
  }
  Object o;
  o.type = Int<int16_t>(j["type"], at + ".type");
  if (j.contains("class")) {
    if (!j["class"].is_string()) throw BadInput{at + ".class", "expected a class name"};
    const std::string name = j["class"].get<std::string>();
    if (!name.empty()) {
      o.cls = host.ClassNamed(name);
      if (std::find(classes.begin(), classes.end(), name) == classes.end()) classes.push_back(name);
    }
  }
  if (j.contains("attributes")) {
    const json& a = j["attributes"];
    const std::string w = at + ".attributes";
    if (!a.is_object()) throw BadInput{w, "expected an object"};
    for (auto it = a.begin(); it != a.end(); ++it) {
      const std::string& k = it.key();
      const std::string wk = Member(w, k);
      if (k == "wordA") o.attr.wordA = Int<int16_t>(*it, wk);
      else if (k == "wordB") o.attr.wordB = Int<int16_t>(*it, wk);
      else if (k == "long") o.attr.longAttr = Int<int32_t>(*it, wk);
      else if (k == "longB") o.attr.longB = Int<int32_t>(*it, wk);
      else if (k == "longC") o.attr.longC = Int<int32_t>(*it, wk);
      else if (k == "group") o.attr.group = Int<int64_t>(*it, wk);
      else if (k == "record" || k == "flags") {
        const size_t n = k == "record" ? 4 : 6;
        if (!it->is_array() || it->size() != n)
          throw BadInput{wk, "expected " + std::to_string(n) + " bytes"};
        uint8_t* dst = k == "record" ? o.attr.record : o.attr.flags;
        for (size_t i = 0; i < n; ++i) dst[i] = Int<uint8_t>((*it)[i], wk + "[" + std::to_string(i) + "]");
      } else {
        throw BadInput{wk, "unknown attribute"};
      }
    }
  }
  if (j.contains("first")) o.first = Pt(j["first"], at + ".first");
  if (j.contains("second")) o.second = Pt(j["second"], at + ".second");
  if (j.contains("center")) o.center = Pt(j["center"], at + ".center");
  if (j.contains("hRadius")) o.hRadius = Num(j["hRadius"], at + ".hRadius");
  if (j.contains("vRadius")) o.vRadius = Num(j["vRadius"], at + ".vRadius");
  if (j.contains("startDeg")) o.startDeg = Num(j["startDeg"], at + ".startDeg");
  if (j.contains("sweepDeg")) o.sweepDeg = Num(j["sweepDeg"], at + ".sweepDeg");
  if (j.contains("point")) o.point = Pt(j["point"], at + ".point");
  if (j.contains("point3d")) o.point3d = Pt3(j["point3d"], at + ".point3d");
  if (j.contains("points3d")) {
    const json& p = j["points3d"];
    if (!p.is_array() || p.size() != 4) throw BadInput{at + ".points3d", "expected four [x, y, z]"};
    for (int i = 0; i < 4; ++i) o.points3d[i] = Pt3(p[i], at + ".points3d[" + std::to_string(i) + "]");
  }
  if (j.contains("vertices")) {
    const json& vs = j["vertices"];
    const std::string w = at + ".vertices";
    if (!vs.is_array()) throw BadInput{w, "expected an array"};
    if (vs.size() > 32767) throw BadInput{w, "more than 32767 vertices"};
    for (size_t i = 0; i < vs.size(); ++i) {
      const json& v = vs[i];
      const std::string wi = w + "[" + std::to_string(i) + "]";
      if (!v.is_array() || (v.size() != 2 && v.size() != 4))
        throw BadInput{wi, "expected [x, y] or [x, y, type, radius]"};
      hostapp::Vertex x;
      x.p = HostWorldPt{Num(v[1], wi + "[1]"), Num(v[0], wi + "[0]")};
      if (v.size() == 4) {
        x.type = Int<int32_t>(v[2], wi + "[2]");
        x.radius = Num(v[3], wi + "[3]");
      }
      o.vertices.push_back(x);
    }
  }
  if (j.contains("vertices3d")) {
    const json& vs = j["vertices3d"];
    const std::string w = at + ".vertices3d";
    if (!vs.is_array()) throw BadInput{w, "expected an array"};
    if (vs.size() > 32767) throw BadInput{w, "more than 32767 vertices"};
    for (size_t i = 0; i < vs.size(); ++i) o.vertices3d.push_back(Pt3(vs[i], w + "[" + std::to_string(i) + "]"));
  }
  if (j.contains("closed")) {
    if (!j["closed"].is_boolean()) throw BadInput{at + ".closed", "expected true or false"};
    o.closed = j["closed"].get<bool>();
  }
  if (j.contains("bounds")) {
    const json& b = j["bounds"];
    const std::string w = at + ".bounds";
    if (!b.is_object()) throw BadInput{w, "expected {top, left, bottom, right}"};
    for (const char* k : {"top", "left", "bottom", "right"})
      if (!b.contains(k)) throw BadInput{w, std::string("missing \"") + k + "\""};
    o.bounds = HostWorldRect{Num(b["top"], w + ".top"), Num(b["left"], w + ".left"),
                             Num(b["bottom"], w + ".bottom"), Num(b["right"], w + ".right")};
  }
  for (const char* member : RequiredMembers(o.type))
    if (!j.contains(member))
      throw BadInput{at, "missing \"" + std::string(member) + "\" (needed by type " + std::to_string(o.type) + ")"};
  return o;
}

json WriteObject(const Object& o, const hostapp::Host& host) {
  json j;
  j["type"] = o.type;
  if (o.cls != 0) j["class"] = host.ClassName(o.cls);
  json a = json::object();
  const auto& at = o.attr;
  if (at.wordA) a["wordA"] = at.wordA;
  if (at.wordB) a["wordB"] = at.wordB;
  if (at.longAttr) a["long"] = at.longAttr;
  if (at.longB) a["longB"] = at.longB;
  if (at.longC) a["longC"] = at.longC;
  if (at.group) a["group"] = at.group;
  static const uint8_t kZero[6] = {};
  if (std::memcmp(at.record, kZero, 4) != 0)
    a["record"] = json::array({at.record[0], at.record[1], at.record[2], at.record[3]});
  if (std::memcmp(at.flags, kZero, 6) != 0) {
    json f = json::array();
    for (uint8_t b : at.flags) f.push_back(b);
    a["flags"] = f;
  }
  if (!a.empty()) j["attributes"] = a;
  const int16_t t = o.type;
  // Each field goes out when the type uses it, and any other field whenever
  // it holds something, so nothing the host keeps is lost.
  if (t == kLineType || !Zero(o.first)) j["first"] = J(o.first);
  if (t == kLineType || !Zero(o.second)) j["second"] = J(o.second);
  if (t == kArcType || !Zero(o.center)) j["center"] = J(o.center);
  if (t == kArcType || !Zero(o.hRadius)) j["hRadius"] = o.hRadius;
  if (t == kArcType || !Zero(o.vRadius)) j["vRadius"] = o.vRadius;
  if (t == kArcType || !Zero(o.startDeg)) j["startDeg"] = o.startDeg;
  if (t == kArcType || !Zero(o.sweepDeg)) j["sweepDeg"] = o.sweepDeg;
  if (t == kPointType || !Zero(o.point)) j["point"] = J(o.point);
  if (t == kPoint3DType || !Zero(o.point3d)) j["point3d"] = J(o.point3d);
  bool anyFace = t == kFourPoints3DType;
  for (const auto& p : o.points3d) anyFace = anyFace || !Zero(p);
  if (anyFace) {
    json f = json::array();
    for (const auto& p : o.points3d) f.push_back(J(p));
    j["points3d"] = f;
  }
  if (UsesVertices(t) || !o.vertices.empty()) {
    json vs = json::array();
    for (const auto& v : o.vertices) {
      if (v.type == kPlainCorner && Zero(v.radius)) vs.push_back(json::array({v.p.x, v.p.y}));
      else vs.push_back(json::array({v.p.x, v.p.y, v.type, v.radius}));
    }
    j["vertices"] = vs;
  }
  if (t == kVertexList3DType || !o.vertices3d.empty()) {
    json vs = json::array();
    for (const auto& v : o.vertices3d) vs.push_back(J(v));
    j["vertices3d"] = vs;
  }
  if (UsesVertices(t) || t == kVertexList3DType || o.closed) j["closed"] = o.closed;
  const HostWorldRect& b = o.bounds;
  if (!HasOwnGeometry(t) || !Zero(b.top) || !Zero(b.left) || !Zero(b.bottom) || !Zero(b.right))
    j["bounds"] = {{"top", b.top}, {"left", b.left}, {"bottom", b.bottom}, {"right", b.right}};
  return j;
}

}  // namespace

bool LoadJsonDrawing(const std::string& text, hostapp::Host& host, std::vector<std::string>& classes,
                     std::string* error) {
  json doc;
  try {
    doc = json::parse(text);
  } catch (const json::exception& e) {
    // A number beyond the double range (1e999) is the library's out_of_range.
    if (error) *error = std::string("not valid JSON: ") + Shown(WithoutLibraryTag(e.what()), kJsonMessageLimit);
    return false;
  }
  try {
    if (!doc.is_object()) throw BadInput{"(top level)", "expected an object"};
    if (!doc.contains("format") || doc["format"] != kJsonFormatName)
      throw BadInput{"format", std::string("expected \"") + kJsonFormatName + "\""};
    // 1.0 is 1 as well: JSON does not tell integers from other numbers.
    if (!doc.contains("version") || !doc["version"].is_number() ||
        doc["version"].get<double>() != double(kJsonFormatVersion))
      throw BadInput{"version", "expected " + std::to_string(kJsonFormatVersion)};
    if (doc.contains("classes")) {
      const json& c = doc["classes"];
      if (!c.is_array()) throw BadInput{"classes", "expected an array of names"};
      for (size_t i = 0; i < c.size(); ++i) {
        if (!c[i].is_string() || c[i].get<std::string>().empty())
          throw BadInput{"classes[" + std::to_string(i) + "]", "expected a non-empty name"};
        classes.push_back(c[i].get<std::string>());
        host.ClassNamed(classes.back());
      }
    }
    if (!doc.contains("objects") || !doc["objects"].is_array()) throw BadInput{"objects", "expected an array"};
    std::vector<Object> objects;
    const json& os = doc["objects"];
    for (size_t i = 0; i < os.size(); ++i)
      objects.push_back(ReadObject(os[i], "objects[" + std::to_string(i) + "]", host, classes));
    for (const Object& o : objects) host.Add(o);
  } catch (const BadInput& b) {
    if (error) *error = b.where + ": " + b.what;
    return false;
  } catch (const json::exception& e) {
    if (error) *error = Shown(WithoutLibraryTag(e.what()), kJsonMessageLimit);
    return false;
  }
  return true;
}

std::string SaveJsonDrawing(const hostapp::Host& host, const std::vector<std::string>& classes,
                            const std::string& markerClass) {
  json doc;
  doc["format"] = kJsonFormatName;
  doc["version"] = kJsonFormatVersion;
  std::vector<std::string> names;
  for (const std::string& c : classes)
    if (c != markerClass && host.FindClass(c)) names.push_back(c);
  json objects = json::array();
  for (ObjectHandle h : host.Objects()) {
    const Object& o = host.Get(h);
    if (o.cls != 0) {
      const std::string name = host.ClassName(o.cls);
      if (name == markerClass) continue;
      if (std::find(names.begin(), names.end(), name) == names.end()) names.push_back(name);
    }
    objects.push_back(WriteObject(o, host));
  }
  doc["classes"] = names;
  doc["objects"] = std::move(objects);
  return doc.dump(1) + "\n";
}

}  // namespace drawclean
