/* A second, independent host, written in plain C from the interface document
 * alone (it does not include the project's header or host library). It loads
 * libcleanup.so, sends actions 1, 3 and 2, answers the options dialog by
 * clicking the type-17 box, and checks the calls it sees against the order
 * the command is meant to make them in. Exit status 0 when all is as expected.
 */
#include <dlfcn.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

typedef uint32_t ObjectHandle;
typedef int32_t ClassId;
typedef int32_t DialogId;
typedef uint8_t HostBool;
typedef char** MemHandle;
typedef void* (*HostDispatcher)(int32_t selector);
typedef HostDispatcher* CallbackPtr;
typedef void (*TraversalCallback)(ObjectHandle object, CallbackPtr cbp);
typedef void (*DialogEventHandler)(DialogId, int32_t*, int32_t*, void*);
typedef int32_t (*MainFn)(int32_t, int32_t, MemHandle*, CallbackPtr);
typedef struct { double y, x; } Pt;
typedef struct { double top, left, bottom, right; } Rect;

/* ---- the log: one line per call ---- */
static char gLog[400][96];
static int gLogCount;
static void Log(const char* fmt, long a, long b, long c) {
  if (gLogCount < 400) snprintf(gLog[gLogCount++], 96, fmt, a, b, c);
}

/* ---- a drawing of four objects: types 17, 2, 17, 9 ---- */
static int16_t gType[5] = {0, 17, 2, 17, 9};
static int gAlive[5] = {0, 1, 1, 1, 1};
static ClassId gClass[5];
static ClassId gMarker;
static char gMarkerName[256];
static int gUpdatesOn = 1;

/* ---- routines ---- */
static HostBool ConfirmCommand(int16_t list, int16_t index, HostBool flag) {
  Log("ConfirmCommand(%ld,%ld,%ld)", list, index, flag);
  return 1;
}
static void SetCommandMode(int16_t mode) { Log("SetCommandMode(%ld)", mode, 0, 0); }
static void ConvertToWorldLength(double length, double* out) {
  Log("ConvertToWorldLength", 0, 0, 0);
  *out = length;
}
static void GetHostPoint(Pt* p) { Log("GetHostPoint", 0, 0, 0); p->x = p->y = 0; }
static void SetHostPoint(const Pt* p) { (void)p; Log("SetHostPoint", 0, 0, 0); }
static void SetHostUpdates(HostBool on) { Log("SetHostUpdates(%ld)", on != 0, 0, 0); gUpdatesOn = on != 0; }
static void FinishObjectChanges(void) { Log("FinishObjectChanges", 0, 0, 0); }
static void RefreshHost(void) { Log("RefreshHost", 0, 0, 0); }
static char* gBlock;
static MemHandle AllocateHandle(int32_t size) {
  Log("AllocateHandle(%ld)", size, 0, 0);
  gBlock = calloc(1, (size_t)size);
  MemHandle h = malloc(sizeof(char*));
  *h = gBlock;
  return h;
}
static int gFreed;
static void FreeHandle(MemHandle h) {
  Log("FreeHandle", 0, 0, 0);
  free(*h);
  free(h);
  gFreed++;
}
static void GetResourceString(int16_t list, int16_t index, char* out, HostBool flag) {
  Log("GetResourceString(%ld,%ld)", list, index, 0);
  snprintf(out, 256, "text %d.%d", list, index);
}
static ClassId AddClass(const char* name) {
  Log("AddClass", 0, 0, 0);
  snprintf(gMarkerName, sizeof gMarkerName, "%s", name);
  gMarker = 7;
  return gMarker;
}
static void DeleteClass(const char* name) {
  Log("DeleteClass(%ld)", strcmp(name, gMarkerName) == 0, 0, 0);
}
static void SetClassState(ClassId c, HostBool f) { Log("SetClassState(%ld,%ld)", c, f, 0); }

/* dialog */
static DialogId CreateLayoutDialog(const char* t, HostBool f, const char* a, const char* c) {
  Log("CreateLayoutDialog", 0, 0, 0);
  return 42;
}
static void CreateCheckBox(DialogId d, int32_t item, const char* l) { Log("CreateCheckBox(%ld)", item, 0, 0); }
static void CreateStaticText(DialogId d, int32_t item, const char* t, int16_t w) {
  Log("CreateStaticText(%ld,%ld)", item, w, 0);
}
static void CreateEditReal(DialogId d, int32_t item, int32_t kind, double v, int16_t w) {
  Log("CreateEditReal(%ld,%ld,%ld)", item, kind, w);
}
static void SetItemHelpText(DialogId d, int32_t item, const char* t) { Log("SetItemHelpText(%ld)", item, 0, 0); }
static HostBool SetFirstLayoutItem(DialogId d, int32_t item) { Log("SetFirstLayoutItem(%ld)", item, 0, 0); return 1; }
static HostBool PlaceItemBelow(DialogId d, int32_t r, int32_t p, int16_t dx, int16_t dy) {
  Log("PlaceItemBelow(%ld,%ld,%ld)", r, p, dx);
  return 1;
}
static HostBool PlaceItemRight(DialogId d, int32_t r, int32_t p, int16_t dx, int16_t dy) {
  Log("PlaceItemRight(%ld,%ld,%ld)", r, p, dx);
  return 1;
}
static HostBool VerifyLayout(DialogId d) { Log("VerifyLayout", 0, 0, 0); return 1; }
static int32_t RunLayoutDialog(DialogId d, DialogEventHandler handler, void* userData) {
  Log("RunLayoutDialog", 0, 0, 0);
  int32_t item = -2605, data = 0;
  handler(d, &item, &data, userData);
  item = 5; /* the type-17 box, clicked on */
  data = 1;
  handler(d, &item, &data, userData);
  return 1;
}
static void SetBooleanItem(DialogId d, int32_t item, HostBool v) { Log("SetBooleanItem(%ld,%ld)", item, v, 0); }
static void EnableItem(DialogId d, int32_t item, HostBool e) { Log("EnableItem(%ld,%ld)", item, e, 0); }
static HostBool GetEditReal(DialogId d, int32_t item, int16_t kind, double* out) { return 0; }

/* objects */
static void ForEachObject(int16_t code, TraversalCallback cb, int32_t env, CallbackPtr cbp) {
  Log("ForEachObject(%ld,%ld)", code, env, 0);
  for (ObjectHandle h = 1; h <= 4; ++h)
    if (gAlive[h]) cb(h, cbp);
}
static ObjectHandle NextObject(ObjectHandle o) {
  for (ObjectHandle h = o + 1; h <= 4; ++h)
    if (gAlive[h]) return h;
  return 0;
}
static int16_t GetObjectType(ObjectHandle o) {
  Log("GetObjectType(%ld)", o, 0, 0);
  return gType[o];
}
static void DeleteObject(ObjectHandle o, HostBool f) {
  Log("DeleteObject(%ld,%ld)", o, f, 0);
  gAlive[o] = 0;
}
static ClassId GetObjectClass(ObjectHandle o) {
  Log("GetObjectClass(%ld)", o, 0, 0);
  return gClass[o];
}

static void* Dispatch(int32_t selector) {
  switch (selector) {
    case 26: return (void*)ConfirmCommand;
    case 73: return (void*)SetCommandMode;
    case 551: return (void*)ConvertToWorldLength;
    case 172: return (void*)GetHostPoint;
    case 101: return (void*)SetHostPoint;
    case 174: return (void*)SetHostUpdates;
    case 325: return (void*)FinishObjectChanges;
    case 29: return (void*)RefreshHost;
    case 375: return (void*)AllocateHandle;
    case 376: return (void*)FreeHandle;
    case 387: return (void*)GetResourceString;
    case 168: return (void*)AddClass;
    case 169: return (void*)DeleteClass;
    case 267: return (void*)SetClassState;
    case 579: return (void*)CreateLayoutDialog;
    case 580: return (void*)CreateCheckBox;
    case 587: return (void*)CreateStaticText;
    case 703: return (void*)CreateEditReal;
    case 588: return (void*)SetItemHelpText;
    case 590: return (void*)SetFirstLayoutItem;
    case 593: return (void*)PlaceItemBelow;
    case 592: return (void*)PlaceItemRight;
    case 589: return (void*)VerifyLayout;
    case 620: return (void*)RunLayoutDialog;
    case 600: return (void*)SetBooleanItem;
    case 601: return (void*)EnableItem;
    case 705: return (void*)GetEditReal;
    case 34: return (void*)ForEachObject;
    case 77: return (void*)NextObject;
    case 60: return (void*)GetObjectType;
    case 81: return (void*)DeleteObject;
    case 70: return (void*)GetObjectClass;
    default: return NULL; /* everything else: "not provided" */
  }
}

/* ---- what the command is meant to do, in order ---- */
static const char* const kExpected[] = {
  "AllocateHandle(68)",
  "ConfirmCommand(11000,14,0)",
  /* the dialog: title and buttons, check boxes 3..11, label, fields, help texts */
  "GetResourceString(11000,13)", "GetResourceString(11000,1)", "GetResourceString(11000,2)",
  "CreateLayoutDialog",
  "GetResourceString(11000,3)", "CreateCheckBox(3)", "GetResourceString(11000,4)", "CreateCheckBox(4)",
  "GetResourceString(11000,5)", "CreateCheckBox(5)", "GetResourceString(11000,6)", "CreateCheckBox(6)",
  "GetResourceString(11000,7)", "CreateCheckBox(7)", "GetResourceString(11000,8)", "CreateCheckBox(8)",
  "GetResourceString(11000,9)", "CreateCheckBox(9)", "GetResourceString(11000,10)", "CreateCheckBox(10)",
  "GetResourceString(11000,11)", "CreateCheckBox(11)",
  "GetResourceString(11000,12)", "CreateStaticText(12,18)",
  "CreateEditReal(13,1,16)", "CreateEditReal(14,1,16)",
  "GetResourceString(11001,1)", "SetItemHelpText(0)", "GetResourceString(11001,2)", "SetItemHelpText(1)",
  "GetResourceString(11001,3)", "SetItemHelpText(2)", "GetResourceString(11001,4)", "SetItemHelpText(3)",
  "GetResourceString(11001,5)", "SetItemHelpText(4)", "GetResourceString(11001,6)", "SetItemHelpText(5)",
  "GetResourceString(11001,7)", "SetItemHelpText(6)", "GetResourceString(11001,8)", "SetItemHelpText(7)",
  "GetResourceString(11001,9)", "SetItemHelpText(8)", "GetResourceString(11001,10)", "SetItemHelpText(9)",
  "GetResourceString(11001,11)", "SetItemHelpText(10)", "GetResourceString(11001,12)", "SetItemHelpText(11)",
  "GetResourceString(11001,13)", "SetItemHelpText(12)", "GetResourceString(11001,14)", "SetItemHelpText(13)",
  "GetResourceString(11001,15)", "SetItemHelpText(14)",
  "SetFirstLayoutItem(3)", "PlaceItemBelow(3,4,0)", "PlaceItemRight(4,14,0)", "PlaceItemBelow(4,5,0)",
  "PlaceItemBelow(5,6,0)", "PlaceItemBelow(6,7,0)", "PlaceItemBelow(7,8,0)", "PlaceItemBelow(8,9,0)",
  "PlaceItemBelow(9,10,4)", "PlaceItemBelow(10,11,-4)", "PlaceItemBelow(11,12,4)", "PlaceItemRight(12,13,0)",
  "VerifyLayout", "RunLayoutDialog",
  /* set-up event: the nine boxes with the defaults, then flag 6 off disables box 10 */
  "SetBooleanItem(3,0)", "SetBooleanItem(4,1)", "SetBooleanItem(5,0)", "SetBooleanItem(6,0)",
  "SetBooleanItem(7,0)", "SetBooleanItem(8,1)", "SetBooleanItem(9,0)", "SetBooleanItem(10,0)",
  "SetBooleanItem(11,0)", "EnableItem(10,0)",
  /* the run */
  "SetCommandMode(0)", "ConvertToWorldLength", "ConvertToWorldLength",
  "SetHostUpdates(0)", "GetResourceString(11003,11)", "AddClass", "SetClassState(7,0)",
  /* flag 1: degenerate removal reads types (and bounds, which this host lacks) */
  "ForEachObject(38,0)", "GetObjectType(1)", "GetObjectType(2)", "GetObjectType(3)", "GetObjectType(4)",
  /* flag 2: type-17 removal */
  "ForEachObject(38,0)", "GetObjectType(1)", "DeleteObject(1,1)", "GetObjectType(2)",
  "GetObjectType(3)", "DeleteObject(3,1)", "GetObjectType(4)",
  /* flag 5: vertex clean-up reads types */
  "ForEachObject(38,0)", "GetObjectType(2)", "GetObjectType(4)",
  /* the final sweep */
  "ForEachObject(38,0)", "GetObjectClass(2)", "GetObjectClass(4)",
  "FinishObjectChanges", "DeleteClass(1)", "RefreshHost", "SetHostUpdates(1)",
  "GetHostPoint", "SetHostPoint",
  "FreeHandle",
};

int main(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: independent_host PATH/libcleanup.so\n");
    return 2;
  }
  void* lib = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
  if (!lib) {
    fprintf(stderr, "cannot load %s: %s\n", argv[1], dlerror());
    return 2;
  }
  MainFn entry = (MainFn)dlsym(lib, "main");
  if (!entry) {
    fprintf(stderr, "no symbol main in %s\n", argv[1]);
    return 2;
  }
  static HostDispatcher dispatcher = Dispatch;
  MemHandle userData = NULL;
  int r1 = entry(1, 0, &userData, &dispatcher);
  int r3 = entry(3, 0, &userData, &dispatcher);
  int r2 = entry(2, 0, &userData, &dispatcher);

  int failures = 0;
  if (r1 != 0 || r3 != 0 || r2 != 0) {
    fprintf(stderr, "results %d %d %d, expected 0 0 0\n", r1, r3, r2);
    failures++;
  }
  const int expectedCount = (int)(sizeof kExpected / sizeof kExpected[0]);
  for (int i = 0; i < expectedCount || i < gLogCount; ++i) {
    const char* want = i < expectedCount ? kExpected[i] : "(nothing)";
    const char* got = i < gLogCount ? gLog[i] : "(nothing)";
    if (strcmp(want, got) != 0) {
      fprintf(stderr, "call %d: expected %s, got %s\n", i + 1, want, got);
      if (++failures > 10) break;
    }
  }
  if (gAlive[1] || gAlive[3] || !gAlive[2] || !gAlive[4]) {
    fprintf(stderr, "type-17 objects must go and the others stay\n");
    failures++;
  }
  if (gFreed != 1 || !gUpdatesOn) {
    fprintf(stderr, "settings block freed %d times, updates %s\n", gFreed, gUpdatesOn ? "on" : "off");
    failures++;
  }
  if (failures == 0) printf("independent host: %d calls as expected\n", gLogCount);
  return failures == 0 ? 0 : 1;
}
