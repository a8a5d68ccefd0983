// The host layer against fake dispatchers: what a missing routine answers,
// what the host receives, and that gCBP survives a routine that changes it.
#include <gtest/gtest.h>

#include <cstring>
#include <map>

#include "geometry/coords.h"
#include "host/host_calls.h"

namespace {

void* NoRoutine(int32_t) { return nullptr; }
HostDispatcher gNoRoutine = NoRoutine;

TEST(HostLayer, MissingRoutinesAnswerZeroAndTouchNothing) {
  CallbackPtr cbp = &gNoRoutine;
  EXPECT_EQ(ConfirmCommand(cbp, 11000, 14, 0), 0);
  EXPECT_EQ(AllocateHandle(cbp, 68), nullptr);
  EXPECT_EQ(AddClass(cbp, "x"), 0);
  EXPECT_EQ(CreateLayoutDialog(cbp, "t", 1, "a", "c"), 0);
  EXPECT_EQ(VerifyLayout(cbp, 1), 0);
  EXPECT_EQ(RunLayoutDialog(cbp, 1, nullptr, nullptr), 0);
  EXPECT_EQ(NextObject(cbp, 7), 0u);
  EXPECT_EQ(GetObjectType(cbp, 7), 0);
  EXPECT_EQ(GetObjectClass(cbp, 7), 0);
  EXPECT_EQ(GetObjectLongAttr(cbp, 7), 0);
  EXPECT_EQ(GetObjectFlagE(cbp, 7), 0);
  EXPECT_EQ(CreateLine(cbp, nullptr, nullptr), 0u);
  EXPECT_EQ(CreatePolyline(cbp), 0u);
  EXPECT_EQ(GetVertexCount(cbp, 7), 0);
  EXPECT_EQ(IsPolyClosed(cbp, 7), 0);
  EXPECT_EQ(ConvertToPolyline(cbp, 7, 0), 0u);
  EXPECT_EQ(ConvertToType5Object(cbp, 7, 0), 0u);

  // Out-arguments keep what the caller put there.
  double world = 42.0;
  ConvertToWorldLength(cbp, 1.0, &world);
  EXPECT_EQ(world, 42.0);
  WorldRect bounds;
  EXPECT_EQ(GetObjectBounds(cbp, 7, &bounds), 0);
  EXPECT_EQ(bounds, WorldRect());
  WorldPt p(1, 2);
  int32_t type = 9;
  double radius = 3;
  GetVertex(cbp, 7, 1, &p, &type, &radius);
  EXPECT_EQ(p.x, 1);
  EXPECT_EQ(p.y, 2);
  EXPECT_EQ(type, 9);
  EXPECT_EQ(radius, 3);
  char text[kHostTextBufferSize] = "kept";
  GetResourceString(cbp, 11000, 1, text, 1);
  EXPECT_STREQ(text, "kept");
}

TEST(HostLayer, NoDispatcherAtAllIsAMissingRoutine) {
  HostDispatcher none = nullptr;
  EXPECT_EQ(GetObjectType(&none, 1), 0);
  EXPECT_EQ(GetObjectType(nullptr, 1), 0);
  DeleteObject(nullptr, 1, 1);  // must simply do nothing
}

// A host whose routines record what they were given.
struct Recorded {
  int16_t code = 0;
  TraversalCallback callback = nullptr;
  int32_t environment = -1;
  CallbackPtr cbp = nullptr;
  const double* radiusAddress = nullptr;
  double radius = 0;
  int16_t index = 0;
  uint32_t record = 0;
  int asked = 0;
} gRecorded;

CallbackPtr gIntruder = reinterpret_cast<CallbackPtr>(0x1234);

void RecordForEach(int16_t code, TraversalCallback cb, int32_t env, CallbackPtr cbp) {
  gRecorded.code = code;
  gRecorded.callback = cb;
  gRecorded.environment = env;
  gRecorded.cbp = cbp;
}
void RecordAddVertex(ObjectHandle, const HostWorldPt*, int32_t, const double* radius, HostBool) {
  gRecorded.radiusAddress = radius;
  gRecorded.radius = *radius;
}
void RecordSetVertex(ObjectHandle, int16_t index, const HostWorldPt*, int32_t, const double* radius,
                     HostBool) {
  gRecorded.index = index;
  gRecorded.radiusAddress = radius;
  gRecorded.radius = *radius;
}
void RecordAttrRecord(ObjectHandle, uint32_t record) { gRecorded.record = record; }
// A routine that calls back into the plug-in and leaves gCBP changed, as a
// nested main with action 5 would.
int16_t ClobberingGetObjectType(ObjectHandle) {
  gCBP = gIntruder;
  return 2;
}
void Visit(ObjectHandle, CallbackPtr) {}

void* RecordingDispatcher(int32_t selector) {
  ++gRecorded.asked;
  switch (selector) {
    case kSelForEachObject: return reinterpret_cast<void*>(RecordForEach);
    case kSelAddVertex: return reinterpret_cast<void*>(RecordAddVertex);
    case kSelSetVertex: return reinterpret_cast<void*>(RecordSetVertex);
    case kSelSetObjectAttrRecord: return reinterpret_cast<void*>(RecordAttrRecord);
    case kSelGetObjectType: return reinterpret_cast<void*>(ClobberingGetObjectType);
    default: return nullptr;
  }
}
HostDispatcher gRecordingDispatcher = RecordingDispatcher;

TEST(HostLayer, ForEachObjectReceivesTheCallbackPointerAsFourthArgument) {
  gRecorded = {};
  ForEachObject(&gRecordingDispatcher, 38, Visit, 0);
  EXPECT_EQ(gRecorded.code, 38);
  EXPECT_EQ(gRecorded.callback, &Visit);
  EXPECT_EQ(gRecorded.environment, 0);
  EXPECT_EQ(gRecorded.cbp, &gRecordingDispatcher);
}

TEST(HostLayer, VertexRoutinesGetTheAddressOfACopyOfTheRadius) {
  gRecorded = {};
  const WorldPt p(1, 2);
  AddVertex(&gRecordingDispatcher, 1, &p, 3, 2.5, 0);
  EXPECT_NE(gRecorded.radiusAddress, nullptr);
  EXPECT_EQ(gRecorded.radius, 2.5);
  SetVertex(&gRecordingDispatcher, 1, 4, &p, 3, -1.25, 1);
  EXPECT_EQ(gRecorded.index, 4);
  EXPECT_EQ(gRecorded.radius, -1.25);
}

TEST(HostLayer, AttributeRecordBytesTravelLittleEndian) {
  const uint8_t bytes[4] = {0x11, 0x22, 0x33, 0x44};
  SetObjectAttrRecord(&gRecordingDispatcher, 1, bytes);
  EXPECT_EQ(gRecorded.record, 0x44332211u);
}

TEST(HostLayer, CallbackPointerIsRestoredAfterEachRoutine) {
  CallbackPtr outer = reinterpret_cast<CallbackPtr>(0xbeef);
  gCBP = outer;
  EXPECT_EQ(GetObjectType(&gRecordingDispatcher, 1), 2);
  EXPECT_EQ(gCBP, outer);
  gCBP = nullptr;
}

TEST(HostLayer, DispatcherIsAskedAtEveryCall) {
  gRecorded = {};
  gCBP = nullptr;
  for (int i = 0; i < 3; ++i) GetObjectType(&gRecordingDispatcher, 1);
  EXPECT_EQ(gRecorded.asked, 3);
  gCBP = nullptr;
}

}  // namespace
