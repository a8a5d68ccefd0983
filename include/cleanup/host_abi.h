/* The host interface of the clean-up plug-in, written once.
 *
 * Both sides include this header: the plug-in's host layer (which asks the
 * dispatcher for a routine by selector and calls it) and the project's own
 * host (which answers the selectors). It is plain C so that any other host
 * can be written against it.
 *
 * Widths: every value keeps the width the host contract gives it; only
 * addresses are pointer-sized. Booleans that cross the boundary are HostBool
 * (uint8_t): 0 is false, any other value is true.
 *
 * Missing routines: the dispatcher answers NULL for a selector it does not
 * serve. The caller then acts as if the routine returned 0 / false / a null
 * handle and did nothing; out-arguments are left untouched.
 *
 * Texts handed *in* to the host are NUL-terminated UTF-8 in buffers the
 * plug-in reuses at once: a routine that keeps a text must copy it before it
 * returns.
 */
#ifndef CLEANUP_HOST_ABI_H
#define CLEANUP_HOST_ABI_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Values ------------------------------------------------------------ */

typedef uint32_t ObjectHandle; /* 0 = no object */
typedef int32_t ClassId;
typedef int32_t DialogId;
typedef uint8_t HostBool;      /* 0 = false, any other value = true */
typedef char** MemHandle;      /* pointer to a pointer to a block; NULL = none */

/* The dispatcher answers a selector with the routine's address, or NULL. */
typedef void* (*HostDispatcher)(int32_t selector);

/* cbp: the address of a location that holds the dispatcher's address. */
typedef HostDispatcher* CallbackPtr;

typedef void (*TraversalCallback)(ObjectHandle object, CallbackPtr cbp);
typedef void (*DialogEventHandler)(DialogId dialog, int32_t* itemHit,
                                   int32_t* data, void* userData);

/* ---- Records ----------------------------------------------------------- *
 * Plain arrays of IEEE 754 binary64, no padding. The host reads and writes
 * them in exactly these layouts. */

typedef struct { double y, x; } HostWorldPt;                       /* y first! */
typedef struct { double top, left, bottom, right; } HostWorldRect; /* y grows up */
typedef struct { double x, y, z; } HostWorldPt3D;                  /* x first */

/* ---- Object and vertex types -------------------------------------------- *
 * The type codes GetObjectType answers that the routines below treat apart;
 * any other code is an object with bounds alone, as 3, 4 and 10 are. */

enum HostObjectType {
  kLineType = 2,              /* two end points (17, 120, 121) */
  kBoxType3 = 3,              /* bounds alone */
  kBoxType4 = 4,              /* bounds alone */
  kVertexListType = 5,        /* flat vertex list of plain corners (83 makes one) */
  kArcType = 6,               /* centre, radii and angles (224, 225) */
  kPoint3DType = 9,           /* one 3D point (316) */
  kValueBoxType = 10,         /* bounds plus a 32-bit value (493) */
  kFourPoints3DType = 15,     /* four 3D points (297) plus a 32-bit value (127) */
  kPointType = 17,            /* one point (315) */
  kCurvedVertexListType = 21, /* flat vertex list that may hold arc vertices (119 makes one) */
  kVertexList3DType = 25      /* vertex list of 3D points (65) */
};

/* Vertex types of flat vertex lists (12, 85, 68); any other is opaque. */
enum HostVertexType {
  kPlainCorner = 0, /* a corner the outline runs straight through */
  kArcVertex = 3    /* where an arc's end tangents meet, with the arc's radius */
};

enum {
  kHostTextBufferSize = 256,      /* texts: at most 255 bytes plus NUL */
  kSettingsRecordSize = 68,       /* the plug-in's settings block */
  kDialogSetupEvent = -2605,      /* *itemHit of the set-up event */
  kDialogItemAccept = 1,
  kDialogItemCancel = 2
};

/* ---- Options beyond the nine flags: bytes 36 to 67 of the settings record.
 * Valid only while bytes 36 to 38 hold the tag "XOP" and byte 39 the version;
 * a record without it has every option below off (creating the record writes
 * nothing there). One byte an option, nonzero = on. A host that offers these
 * options writes the tag (and the options it wants) into the record; the
 * options dialog then shows them as a group of its own, items 15 to 22, with
 * labels at list 11000 index = item and help at list 11001 index = item + 1. */
enum {
  kExtraBlockOffset = 36,
  kExtraBlockSize = 32,
  kExtraTag0 = 'X', kExtraTag1 = 'O', kExtraTag2 = 'P', /* bytes 36 to 38 */
  kExtraVersion = 1,                                     /* byte 39 */
  kExtraNear = 40,             /* duplicates and overlaps match within the point tolerance */
  kExtraEdges = 41,            /* ... and along the edges of vertex lists */
  kExtraRepeat = 42,           /* the passes run again while a round changes anything */
  kExtraIgnoreLayer = 43,      /* attribute comparisons skip the class */
  kExtraIgnoreColour = 44,     /* ... word attribute A */
  kExtraIgnoreLineweight = 45, /* ... word attribute B */
  kExtraIgnoreLinetype = 46,   /* ... attribute record bytes 2 and 3 */
  kExtraOptionCount = 7,       /* bytes 40 to 46 */
  kExtraGroupLabelItem = 15,   /* the group's label in the dialog */
  kExtraFirstItem = 16         /* check box 16 + k edits byte 40 + k */
};

/* Whether the 68-byte record carries the block's tag. */
static inline int ExtraBlockTagged(const uint8_t* record) {
  return record[kExtraBlockOffset] == kExtraTag0 && record[kExtraBlockOffset + 1] == kExtraTag1 &&
         record[kExtraBlockOffset + 2] == kExtraTag2 && record[kExtraBlockOffset + 3] == kExtraVersion;
}
/* Writes the tag and clears the rest of the block: every option off. */
static inline void TagExtraBlock(uint8_t* record) {
  int i;
  for (i = 4; i < kExtraBlockSize; ++i) record[kExtraBlockOffset + i] = 0;
  record[kExtraBlockOffset] = kExtraTag0;
  record[kExtraBlockOffset + 1] = kExtraTag1;
  record[kExtraBlockOffset + 2] = kExtraTag2;
  record[kExtraBlockOffset + 3] = kExtraVersion;
}

/* ---- The exported entry point ------------------------------------------ *
 * action 1: create the settings record (handle stored in *userData)
 * action 2: free it; action 3: run the command (0 = passes ran, 1 = stopped
 * before them); 5, 6 and any other code: nothing, result 0.
 * userData: address of the host's variable that keeps the settings record's
 * handle between calls. Found by dlsym(handle, "main"). */
typedef int32_t (*PluginMainFn)(int32_t action, int32_t message,
                                MemHandle* userData, CallbackPtr cbp);

enum {
  kActionSetUp = 1,
  kActionTearDown = 2,
  kActionRun = 3
};

/* ---- Selectors ----------------------------------------------------------- */

enum HostSelector {
  /* Command frame, memory and texts */
  kSelConfirmCommand = 26,
  kSelSetCommandMode = 73,
  kSelConvertToWorldLength = 551,
  kSelGetHostPoint = 172,
  kSelSetHostPoint = 101,
  kSelSetHostUpdates = 174,
  kSelFinishObjectChanges = 325,
  kSelRefreshHost = 29,
  kSelAllocateHandle = 375,
  kSelFreeHandle = 376,
  kSelGetResourceString = 387,
  /* Classes */
  kSelAddClass = 168,
  kSelDeleteClass = 169,
  kSelSetClassState = 267,
  /* Layout dialogs */
  kSelCreateLayoutDialog = 579,
  kSelCreateCheckBox = 580,
  kSelCreateStaticText = 587,
  kSelCreateEditReal = 703,
  kSelSetItemHelpText = 588,
  kSelSetFirstLayoutItem = 590,
  kSelPlaceItemBelow = 593,
  kSelPlaceItemRight = 592,
  kSelVerifyLayout = 589,
  kSelRunLayoutDialog = 620,
  kSelSetBooleanItem = 600,
  kSelEnableItem = 601,
  kSelGetEditReal = 705,
  /* Objects and traversal */
  kSelForEachObject = 34,
  kSelNextObject = 77,
  kSelGetObjectType = 60,
  kSelGetObjectBounds = 0,
  kSelDeleteObject = 81,
  kSelGetObjectClass = 70,
  kSelSetObjectClass = 71,
  /* Attributes */
  kSelGetObjectLongAttr = 1,
  kSelSetObjectLongAttr = 9,
  kSelGetObjectWordAttrA = 3,
  kSelSetObjectWordAttrA = 11,
  kSelGetObjectWordAttrB = 2,
  kSelSetObjectWordAttrB = 10,
  kSelGetObjectAttrRecord = 62,
  kSelSetObjectAttrRecord = 63,
  kSelCopyObjectAttributes = 110,
  kSelGetObjectFlagA = 420,
  kSelGetObjectFlagB = 421,
  kSelGetObjectFlagC = 422,
  kSelGetObjectFlagD = 423,
  kSelGetObjectFlagE = 424,
  kSelGetObjectFlagF = 425,
  kSelSetObjectFlagA = 426,
  kSelSetObjectFlagB = 427,
  kSelSetObjectFlagC = 428,
  kSelSetObjectFlagD = 429,
  kSelSetObjectFlagE = 430,
  kSelSetObjectFlagF = 431,
  kSelGetObjectLongAttrC = 127,
  kSelGetObjectLongAttrB = 493,
  /* Lines, arcs and points */
  kSelCreateLine = 17,
  kSelGetLineEnds = 120,
  kSelSetLineEnds = 121,
  kSelGetArcGeometry = 224,
  kSelSetArcAngles = 225,
  kSelGetObjectPoint = 315,
  kSelGetObjectPoint3D = 316,
  kSelGetObjectPoints3D = 297,
  /* Vertex-list objects */
  kSelCreatePolyline = 20,
  kSelAddVertex = 12,
  kSelSetVertex = 85,
  kSelDeleteVertex = 89,
  kSelGetVertexCount = 72,
  kSelGetVertex = 68,
  kSelGetVertex3D = 65,
  kSelIsPolyClosed = 14,
  kSelSetPolyClosed = 190,
  kSelResetObject = 153,
  kSelPrepareObject = 165,
  kSelConvertToPolyline = 119,
  kSelConvertToType5Object = 83
};

/* ---- Routine prototypes -------------------------------------------------- *
 * One function-pointer type per routine: what the dispatcher's answer for
 * the selector must be cast to. The comment above each states its contract. */

/* ---- Command frame, memory and texts ---- */

/* 26: asks the user's go-ahead with text (listId, index); false ends a run. */
typedef HostBool (*ConfirmCommandFn)(int16_t listId, int16_t index, HostBool flag);
/* 73: sets the host's command mode; the plug-in passes 0 after the dialog. */
typedef void (*SetCommandModeFn)(int16_t mode);
/* 551: converts a user length into world units (the units of object bounds)
   and writes it to *outWorld. */
typedef void (*ConvertToWorldLengthFn)(double length, double* outWorld);
/* 172 / 101: read and write back a host point; the plug-in does not look at it. */
typedef void (*GetHostPointFn)(HostWorldPt* out);
typedef void (*SetHostPointFn)(const HostWorldPt* in);
/* 174: display updates off (0) or on (nonzero). */
typedef void (*SetHostUpdatesFn)(HostBool on);
/* 325: called once after the final sweep, only when a pass ran. */
typedef void (*FinishObjectChangesFn)(void);
/* 29: called once at the end of every run of the pass driver. */
typedef void (*RefreshHostFn)(void);
/* 375: a new block of size bytes, owned by the host; NULL when none.
   The block's address is read through the handle at every use. */
typedef MemHandle (*AllocateHandleFn)(int32_t size);
/* 376: frees a block of AllocateHandle. */
typedef void (*FreeHandleFn)(MemHandle handle);
/* 387: fills outText256 (NUL-terminated, at most 255 bytes) with text index
   of list listId. */
typedef void (*GetResourceStringFn)(int16_t listId, int16_t index,
                                    char* outText256, HostBool flag);

/* ---- Classes ---- */

/* 168: a class of that name exists afterwards; its id (the same id for an
   existing name). 0 when no class could be made. Copies name. */
typedef ClassId (*AddClassFn)(const char* name);
/* 169: removes the class of that name. */
typedef void (*DeleteClassFn)(const char* name);
/* 267: sets a class's state flag; the plug-in passes the marker class and 0. */
typedef void (*SetClassStateFn)(ClassId cls, HostBool flag);

/* ---- Layout dialogs ---- (every text argument is copied by the host) */

/* 579: a new dialog with item 1 (accept) and item 2 (cancel). */
typedef DialogId (*CreateLayoutDialogFn)(const char* title, HostBool flag,
                                         const char* acceptLabel,
                                         const char* cancelLabel);
/* 580: a check box with that item id. */
typedef void (*CreateCheckBoxFn)(DialogId d, int32_t item, const char* label);
/* 587: a static text with that item id. */
typedef void (*CreateStaticTextFn)(DialogId d, int32_t item, const char* text,
                                   int16_t width);
/* 703: an editable real-number field showing initial. */
typedef void (*CreateEditRealFn)(DialogId d, int32_t item, int32_t kind,
                                 double initial, int16_t width);
/* 588: attaches a help text to the item. */
typedef void (*SetItemHelpTextFn)(DialogId d, int32_t item, const char* text);
/* 590 / 593 / 592: layout; results are advisory. */
typedef HostBool (*SetFirstLayoutItemFn)(DialogId d, int32_t item);
typedef HostBool (*PlaceItemBelowFn)(DialogId d, int32_t reference,
                                     int32_t placed, int16_t dx, int16_t dy);
typedef HostBool (*PlaceItemRightFn)(DialogId d, int32_t reference,
                                     int32_t placed, int16_t dx, int16_t dy);
/* 589: false means the dialog must not be run. */
typedef HostBool (*VerifyLayoutFn)(DialogId d);
/* 620: runs modally. Calls handler(d, &itemHit, &data, userData) first with
   itemHit = -2605 (set-up), then once per item event; for a check box *data
   is nonzero when the box is now checked. Returns the item that closed the
   dialog: 1 accepted, 2 cancelled. */
typedef int32_t (*RunLayoutDialogFn)(DialogId d, DialogEventHandler handler,
                                     void* userData);
/* 600: sets a check box. 601: enables or disables an item, buttons included. */
typedef void (*SetBooleanItemFn)(DialogId d, int32_t item, HostBool value);
typedef void (*EnableItemFn)(DialogId d, int32_t item, HostBool enabled);
/* 705: true and *out when the field holds a valid number; false otherwise. */
typedef HostBool (*GetEditRealFn)(DialogId d, int32_t item, int16_t kind,
                                  double* out);

/* ---- Objects and traversal ---- */

/* 34: calls callback(object, cbp) once for each visited object. The callback
   may delete or re-class the object it was handed and may create objects. */
typedef void (*ForEachObjectFn)(int16_t traverseCode, TraversalCallback callback,
                                int32_t environment, CallbackPtr cbp);
/* 77: the next object in the host's order, 0 after the last. */
typedef ObjectHandle (*NextObjectFn)(ObjectHandle o);
/* 60: the object's type code. */
typedef int16_t (*GetObjectTypeFn)(ObjectHandle o);
/* 0: fills the bounding rectangle. */
typedef HostBool (*GetObjectBoundsFn)(ObjectHandle o, HostWorldRect* out);
/* 81: the object is gone; allowed on the object being visited. */
typedef void (*DeleteObjectFn)(ObjectHandle o, HostBool flag);
/* 70 / 71: the object's class id. */
typedef ClassId (*GetObjectClassFn)(ObjectHandle o);
typedef void (*SetObjectClassFn)(ObjectHandle o, ClassId cls);

/* ---- Attributes ---- */

typedef int32_t (*GetObjectLongAttrFn)(ObjectHandle o);             /* 1 */
typedef void (*SetObjectLongAttrFn)(ObjectHandle o, int32_t value); /* 9 */
typedef int16_t (*GetObjectWordAttrAFn)(ObjectHandle o);            /* 3 */
typedef void (*SetObjectWordAttrAFn)(ObjectHandle o, int16_t value); /* 11 */
typedef int16_t (*GetObjectWordAttrBFn)(ObjectHandle o);            /* 2 */
typedef void (*SetObjectWordAttrBFn)(ObjectHandle o, int16_t value); /* 10 */
/* 62: fills 4 bytes at outRecord4. */
typedef HostBool (*GetObjectAttrRecordFn)(ObjectHandle o, uint8_t* outRecord4);
/* 63: record bytes 0..3 are the little-endian bytes of record. */
typedef void (*SetObjectAttrRecordFn)(ObjectHandle o, uint32_t record);
/* 110: copies the host-internal attribute group from source to destination. */
typedef void (*CopyObjectAttributesFn)(ObjectHandle destination,
                                       ObjectHandle source);
/* 420..425: flags A..F, nonzero = on. 426..431: switch flag A..F on. */
typedef HostBool (*GetObjectFlagFn)(ObjectHandle o);
typedef void (*SetObjectFlagFn)(ObjectHandle o);
typedef int32_t (*GetObjectLongAttrCFn)(ObjectHandle o);            /* 127 */
typedef int32_t (*GetObjectLongAttrBFn)(ObjectHandle o);            /* 493 */

/* ---- Lines, arcs and points ---- */

/* 17: a new line between the two points; 0 when none was made. */
typedef ObjectHandle (*CreateLineFn)(const HostWorldPt* first,
                                     const HostWorldPt* second);
typedef void (*GetLineEndsFn)(ObjectHandle o, HostWorldPt* first,
                              HostWorldPt* second);                 /* 120 */
typedef void (*SetLineEndsFn)(ObjectHandle o, const HostWorldPt* first,
                              const HostWorldPt* second);           /* 121 */
/* 224: angles in degrees; hRadius multiplies the cosine, vRadius the sine. */
typedef void (*GetArcGeometryFn)(ObjectHandle o, double* startDeg,
                                 double* sweepDeg, HostWorldPt* center,
                                 double* hRadius, double* vRadius);
typedef void (*SetArcAnglesFn)(ObjectHandle o, double startDeg,
                               double sweepDeg);                    /* 225 */
typedef void (*GetObjectPointFn)(ObjectHandle o, HostWorldPt* out);     /* 315 */
typedef void (*GetObjectPoint3DFn)(ObjectHandle o, HostWorldPt3D* out); /* 316 */
/* 297: fills four consecutive points. */
typedef void (*GetObjectPoints3DFn)(ObjectHandle o, HostWorldPt3D* outFour);

/* ---- Vertex-list objects (vertices numbered from 1) ---- */

/* 20: a new, empty vertex-list object; 0 when none was made. */
typedef ObjectHandle (*CreatePolylineFn)(void);
/* 12: appends a vertex. The radius is passed by address. */
typedef void (*AddVertexFn)(ObjectHandle o, const HostWorldPt* p,
                            int32_t vertexType, const double* radius,
                            HostBool flag);
/* 85: overwrites vertex index. */
typedef void (*SetVertexFn)(ObjectHandle o, int16_t index, const HostWorldPt* p,
                            int32_t vertexType, const double* radius,
                            HostBool flag);
/* 89: removes vertex index; later vertices move down by one. */
typedef void (*DeleteVertexFn)(ObjectHandle o, int16_t index);
typedef int16_t (*GetVertexCountFn)(ObjectHandle o);                /* 72 */
typedef void (*GetVertexFn)(ObjectHandle o, int16_t index, HostWorldPt* p,
                            int32_t* vertexType, double* radius);   /* 68 */
typedef void (*GetVertex3DFn)(ObjectHandle o, int16_t index,
                              HostWorldPt3D* p);                    /* 65 */
typedef HostBool (*IsPolyClosedFn)(ObjectHandle o);                 /* 14 */
typedef void (*SetPolyClosedFn)(ObjectHandle o, HostBool closed);   /* 190 */
/* 153: called after an object's vertices were built or changed. */
typedef void (*ResetObjectFn)(ObjectHandle o);
/* 165: called on an arc just before ConvertToPolyline; result advisory. */
typedef HostBool (*PrepareObjectFn)(ObjectHandle o);
/* 119: the vertex-list object that takes the arc's place (maybe a new
   handle); 0 when the conversion was refused. */
typedef ObjectHandle (*ConvertToPolylineFn)(ObjectHandle o, HostBool flag);
/* 83: the handle that stands for the converted object afterwards; 0 when the
   conversion was refused. */
typedef ObjectHandle (*ConvertToType5ObjectFn)(ObjectHandle o, HostBool flag);

#ifdef __cplusplus
}
#endif

#endif /* CLEANUP_HOST_ABI_H */
