#include "support/plugin_fixture.h"

#include <cmath>
#include <algorithm>
#include <cstring>
#include <iterator>
#include <sstream>

using hostapp::Object;

namespace {

// Geometry written by different but equivalent float paths still matches.
constexpr double kGeometryTolerance = 1e-9;

constexpr size_t kTolerance1Offset = 10;
constexpr size_t kTolerance2Offset = 18;

bool Near(double a, double b) { return std::fabs(a - b) <= kGeometryTolerance; }
bool Near(const HostWorldPt& a, const HostWorldPt& b) { return Near(a.x, b.x) && Near(a.y, b.y); }
bool Near(const HostWorldPt3D& a, const HostWorldPt3D& b) {
  return Near(a.x, b.x) && Near(a.y, b.y) && Near(a.z, b.z);
}

void PutPt(std::ostream& os, const HostWorldPt& p) { os << "(" << p.x << ", " << p.y << ")"; }
void PutPt3(std::ostream& os, const HostWorldPt3D& p) {
  os << "(" << p.x << ", " << p.y << ", " << p.z << ")";
}

bool SameAttributes(const hostapp::Attributes& a, const hostapp::Attributes& b) {
  return a.wordA == b.wordA && a.wordB == b.wordB && a.longAttr == b.longAttr &&
         std::memcmp(a.record, b.record, 4) == 0 && std::memcmp(a.flags, b.flags, 6) == 0 &&
         a.longB == b.longB && a.longC == b.longC && a.group == b.group;
}

}  // namespace

Options OnlyPass(int flag) {
  Options o;
  for (uint8_t& f : o.flags) f = 0;
  if (flag >= 0 && flag < 9) o.flags[flag] = 1;
  return o;
}

std::string MarkerClassName() { return hostapp::ResourceText(11003, 11); }

std::string Describe(const Object& o) {
  std::ostringstream os;
  os.precision(12);
  os << "type " << o.type;
  switch (o.type) {
    case 2:
      os << " ";
      PutPt(os, o.first);
      os << "-";
      PutPt(os, o.second);
      break;
    case 6:
      os << " centre ";
      PutPt(os, o.center);
      os << " radii " << o.hRadius << "/" << o.vRadius << " start " << o.startDeg << " sweep "
         << o.sweepDeg;
      break;
    case 5:
    case 21:
      os << (o.closed ? " closed" : " open");
      for (const hostapp::Vertex& v : o.vertices) {
        os << " ";
        PutPt(os, v.p);
        if (v.type != 0 || v.radius != 0) os << "[t" << v.type << " r" << v.radius << "]";
      }
      break;
    case 25:
      os << (o.closed ? " closed" : " open");
      for (const HostWorldPt3D& v : o.vertices3d) {
        os << " ";
        PutPt3(os, v);
      }
      break;
    case 17:
      os << " ";
      PutPt(os, o.point);
      break;
    case 9:
      os << " ";
      PutPt3(os, o.point3d);
      break;
    case 15:
      for (const HostWorldPt3D& p : o.points3d) {
        os << " ";
        PutPt3(os, p);
      }
      break;
    default:
      os << " bounds t" << o.bounds.top << " l" << o.bounds.left << " b" << o.bounds.bottom << " r"
         << o.bounds.right;
      break;
  }
  const hostapp::Attributes& a = o.attr;
  os << " class " << o.cls << " attr{A" << a.wordA << " B" << a.wordB << " L" << a.longAttr
     << " rec" << int(a.record[0]) << "," << int(a.record[1]) << "," << int(a.record[2]) << ","
     << int(a.record[3]) << " flags";
  for (uint8_t f : a.flags) os << int(f);
  os << " LB" << a.longB << " LC" << a.longC << " g" << a.group << "}";
  return os.str();
}

bool SameObject(const Object& a, const Object& b, std::string* why) {
  auto fail = [&](const char* what) {
    if (why != nullptr) *why = what;
    return false;
  };
  if (a.type != b.type) return fail("type");
  if (a.cls != b.cls) return fail("class");
  if (!SameAttributes(a.attr, b.attr)) return fail("attributes");
  switch (a.type) {
    case 2:
      if (!Near(a.first, b.first) || !Near(a.second, b.second)) return fail("line ends");
      break;
    case 6:
      if (!Near(a.center, b.center) || !Near(a.hRadius, b.hRadius) || !Near(a.vRadius, b.vRadius) ||
          !Near(a.startDeg, b.startDeg) || !Near(a.sweepDeg, b.sweepDeg))
        return fail("arc geometry");
      break;
    case 5:
    case 21:
      if (a.closed != b.closed) return fail("closed state");
      if (a.vertices.size() != b.vertices.size()) return fail("vertex count");
      for (size_t i = 0; i < a.vertices.size(); ++i) {
        const hostapp::Vertex &u = a.vertices[i], &v = b.vertices[i];
        if (!Near(u.p, v.p) || u.type != v.type || !Near(u.radius, v.radius)) return fail("vertex");
      }
      break;
    case 25:
      if (a.closed != b.closed) return fail("closed state");
      if (a.vertices3d.size() != b.vertices3d.size()) return fail("vertex count");
      for (size_t i = 0; i < a.vertices3d.size(); ++i)
        if (!Near(a.vertices3d[i], b.vertices3d[i])) return fail("vertex");
      break;
    case 17:
      if (!Near(a.point, b.point)) return fail("point");
      break;
    case 9:
      if (!Near(a.point3d, b.point3d)) return fail("point");
      break;
    case 15:
      for (int i = 0; i < 4; ++i)
        if (!Near(a.points3d[i], b.points3d[i])) return fail("points");
      break;
    default:
      if (!Near(a.bounds.top, b.bounds.top) || !Near(a.bounds.left, b.bounds.left) ||
          !Near(a.bounds.bottom, b.bounds.bottom) || !Near(a.bounds.right, b.bounds.right))
        return fail("bounds");
      break;
  }
  return true;
}

void PluginTest::SetUp() {
  std::string error;
  ASSERT_TRUE(host.LoadPlugin(CLEANUP_PLUGIN_PATH, &error)) << error;
}

void PluginTest::TearDown() {
  EXPECT_TRUE(host.Violations().empty()) << [&] {
    std::string all;
    for (const std::string& v : host.Violations()) all += "\n  " + v;
    return "host contract violations:" + all;
  }();
  EXPECT_EQ(host.LiveBlocks(), 0u) << "memory blocks not freed";
}

Options WithExtra(Options o, std::initializer_list<ExtraIndex> on) {
  for (ExtraIndex k : on) o.extra[k] = 1;
  return o;
}

int32_t PluginTest::RunCommand(const Options& options) {
  host.SendAction(kActionSetUp);
  if (uint8_t* block = host.SettingsBlock()) {
    std::memcpy(block, options.flags, sizeof options.flags);
    std::memcpy(block + kTolerance1Offset, &options.tolerance1, sizeof options.tolerance1);
    std::memcpy(block + kTolerance2Offset, &options.tolerance2, sizeof options.tolerance2);
    if (std::any_of(std::begin(options.extra), std::end(options.extra), [](uint8_t b) { return b != 0; })) {
      TagExtraBlock(block);
      std::memcpy(block + kExtraNear, options.extra, sizeof options.extra);
    }
  }
  const int32_t result = host.SendAction(kActionRun);
  host.SendAction(kActionTearDown);
  host.userData = nullptr;
  return result;
}

std::vector<ObjectHandle> PluginTest::Load(const std::vector<Object>& drawing) {
  std::vector<ObjectHandle> handles;
  for (const Object& o : drawing) handles.push_back(host.Add(o));
  return handles;
}

std::vector<Object> PluginTest::Drawing() const {
  std::vector<Object> out;
  for (ObjectHandle h : host.Objects()) out.push_back(host.Get(h));
  return out;
}

void PluginTest::checkPass(const Options& options, const std::vector<Object>& drawing,
                           const std::vector<Object>& expected) {
  Load(drawing);
  EXPECT_EQ(RunCommand(options), 0);
  const std::vector<Object> actual = Drawing();
  bool same = actual.size() == expected.size();
  std::string why;
  for (size_t i = 0; same && i < actual.size(); ++i) same = SameObject(actual[i], expected[i], &why);
  if (same) return;
  std::ostringstream os;
  os << "drawing after the run differs";
  if (!why.empty()) os << " (" << why << ")";
  os << "\nexpected " << expected.size() << " objects:";
  for (const Object& o : expected) os << "\n  " << Describe(o);
  os << "\nactual " << actual.size() << " objects:";
  for (const Object& o : actual) os << "\n  " << Describe(o);
  ADD_FAILURE() << os.str();
}

void PluginTest::checkNoChange(const Options& options, const std::vector<Object>& drawing) {
  checkPass(options, drawing, drawing);
}

namespace {

template <typename Text>
std::vector<std::string> CallsOfTraversal(const hostapp::Host& host, int index, Text text) {
  std::vector<std::string> out;
  int traversal = -1;
  for (const auto& call : host.Calls()) {
    if (call.routine == "ForEachObject") {
      if (traversal == index) break;
      ++traversal;
      continue;
    }
    if (traversal == index) out.push_back(text(call));
  }
  return out;
}

}  // namespace

std::vector<std::string> TraversalCalls(const hostapp::Host& host, int index) {
  return CallsOfTraversal(host, index, [](const auto& call) {
    return call.routine + "(" + call.args + ")";
  });
}

std::vector<std::string> TraversalCallNames(const hostapp::Host& host, int index) {
  return CallsOfTraversal(host, index, [](const auto& call) { return call.routine; });
}
