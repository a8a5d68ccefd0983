// The plug-in's host layer: one thin typed function per host routine.
//
// Every function takes the callback pointer first, asks the dispatcher for
// its routine afresh (nothing is cached), and when the host has no such
// routine answers 0 / false / a null handle without touching any argument.
// Around each call it keeps gCBP and puts it back, so a host routine that
// calls back into the plug-in (a traversal, a dialog event, a nested main)
// can never leave a changed gCBP behind.
//
// This is the only place that calls into the host by selector. Class
// changes, conversions and deletions are also reported to the run's marks
// (base/run_marks.h); that costs no host call.
#pragma once

#include <cstdint>

#include "base/world_types.h"
#include "cleanup/host_abi.h"

// The callback pointer of the host call being served; set only by the entry
// point. Null while the library is loaded and idle.
extern CallbackPtr gCBP;

// Told after each change the plug-in asks of the host's drawing, so that a
// candidate index can keep up: (o, o) geometry or type of o changed, (0, o)
// o created, (o, 0) o deleted, (old, new) old converted into new, which
// takes its place. Null when nothing listens (the usual case).
using ObjectChangeListener = void (*)(CallbackPtr cbp, ObjectHandle before, ObjectHandle after);
extern ObjectChangeListener gObjectChangeListener;

// Counts the changes the plug-in has asked of the drawing (those the listener
// hears, and class changes): a round of passes that leaves it as it was
// changed nothing.
extern uint64_t gDrawingChanges;

// ---- Command frame, memory and texts ----
HostBool ConfirmCommand(CallbackPtr cbp, int16_t listId, int16_t index, HostBool flag);
void SetCommandMode(CallbackPtr cbp, int16_t mode);
void ConvertToWorldLength(CallbackPtr cbp, double length, double* outWorld);
void GetHostPoint(CallbackPtr cbp, WorldPt* out);
void SetHostPoint(CallbackPtr cbp, const WorldPt* in);
void SetHostUpdates(CallbackPtr cbp, HostBool on);
void FinishObjectChanges(CallbackPtr cbp);
void RefreshHost(CallbackPtr cbp);
MemHandle AllocateHandle(CallbackPtr cbp, int32_t size);
void FreeHandle(CallbackPtr cbp, MemHandle handle);
void GetResourceString(CallbackPtr cbp, int16_t listId, int16_t index, char* outText256,
                       HostBool flag);

// ---- Classes ----
ClassId AddClass(CallbackPtr cbp, const char* name);
void DeleteClass(CallbackPtr cbp, const char* name);
void SetClassState(CallbackPtr cbp, ClassId cls, HostBool flag);

// ---- Layout dialogs ----
DialogId CreateLayoutDialog(CallbackPtr cbp, const char* title, HostBool flag,
                            const char* acceptLabel, const char* cancelLabel);
void CreateCheckBox(CallbackPtr cbp, DialogId d, int32_t item, const char* label);
void CreateStaticText(CallbackPtr cbp, DialogId d, int32_t item, const char* text, int16_t width);
void CreateEditReal(CallbackPtr cbp, DialogId d, int32_t item, int32_t kind, double initial,
                    int16_t width);
void SetItemHelpText(CallbackPtr cbp, DialogId d, int32_t item, const char* text);
HostBool SetFirstLayoutItem(CallbackPtr cbp, DialogId d, int32_t item);
HostBool PlaceItemBelow(CallbackPtr cbp, DialogId d, int32_t reference, int32_t placed,
                        int16_t dx, int16_t dy);
HostBool PlaceItemRight(CallbackPtr cbp, DialogId d, int32_t reference, int32_t placed,
                        int16_t dx, int16_t dy);
HostBool VerifyLayout(CallbackPtr cbp, DialogId d);
int32_t RunLayoutDialog(CallbackPtr cbp, DialogId d, DialogEventHandler handler, void* userData);
void SetBooleanItem(CallbackPtr cbp, DialogId d, int32_t item, HostBool value);
void EnableItem(CallbackPtr cbp, DialogId d, int32_t item, HostBool enabled);
HostBool GetEditReal(CallbackPtr cbp, DialogId d, int32_t item, int16_t kind, double* out);

// ---- Objects and traversal ----
// The host routine also receives cbp, as its fourth argument.
void ForEachObject(CallbackPtr cbp, int16_t traverseCode, TraversalCallback callback,
                   int32_t environment);
ObjectHandle NextObject(CallbackPtr cbp, ObjectHandle o);
int16_t GetObjectType(CallbackPtr cbp, ObjectHandle o);
HostBool GetObjectBounds(CallbackPtr cbp, ObjectHandle o, WorldRect* out);
void DeleteObject(CallbackPtr cbp, ObjectHandle o, HostBool flag);
ClassId GetObjectClass(CallbackPtr cbp, ObjectHandle o);
void SetObjectClass(CallbackPtr cbp, ObjectHandle o, ClassId cls);

// ---- Attributes ----
int32_t GetObjectLongAttr(CallbackPtr cbp, ObjectHandle o);
void SetObjectLongAttr(CallbackPtr cbp, ObjectHandle o, int32_t value);
int16_t GetObjectWordAttrA(CallbackPtr cbp, ObjectHandle o);
void SetObjectWordAttrA(CallbackPtr cbp, ObjectHandle o, int16_t value);
int16_t GetObjectWordAttrB(CallbackPtr cbp, ObjectHandle o);
void SetObjectWordAttrB(CallbackPtr cbp, ObjectHandle o, int16_t value);
HostBool GetObjectAttrRecord(CallbackPtr cbp, ObjectHandle o, uint8_t outRecord4[4]);
void SetObjectAttrRecord(CallbackPtr cbp, ObjectHandle o, const uint8_t record4[4]);
void CopyObjectAttributes(CallbackPtr cbp, ObjectHandle destination, ObjectHandle source);
HostBool GetObjectFlagA(CallbackPtr cbp, ObjectHandle o);
HostBool GetObjectFlagB(CallbackPtr cbp, ObjectHandle o);
HostBool GetObjectFlagC(CallbackPtr cbp, ObjectHandle o);
HostBool GetObjectFlagD(CallbackPtr cbp, ObjectHandle o);
HostBool GetObjectFlagE(CallbackPtr cbp, ObjectHandle o);
HostBool GetObjectFlagF(CallbackPtr cbp, ObjectHandle o);
void SetObjectFlagA(CallbackPtr cbp, ObjectHandle o);
void SetObjectFlagB(CallbackPtr cbp, ObjectHandle o);
void SetObjectFlagC(CallbackPtr cbp, ObjectHandle o);
void SetObjectFlagD(CallbackPtr cbp, ObjectHandle o);
void SetObjectFlagE(CallbackPtr cbp, ObjectHandle o);
void SetObjectFlagF(CallbackPtr cbp, ObjectHandle o);
int32_t GetObjectLongAttrC(CallbackPtr cbp, ObjectHandle o);
int32_t GetObjectLongAttrB(CallbackPtr cbp, ObjectHandle o);

// ---- Lines, arcs and points ----
ObjectHandle CreateLine(CallbackPtr cbp, const WorldPt* first, const WorldPt* second);
void GetLineEnds(CallbackPtr cbp, ObjectHandle o, WorldPt* first, WorldPt* second);
void SetLineEnds(CallbackPtr cbp, ObjectHandle o, const WorldPt* first, const WorldPt* second);
void GetArcGeometry(CallbackPtr cbp, ObjectHandle o, double* startDeg, double* sweepDeg,
                    WorldPt* center, double* hRadius, double* vRadius);
void SetArcAngles(CallbackPtr cbp, ObjectHandle o, double startDeg, double sweepDeg);
void GetObjectPoint(CallbackPtr cbp, ObjectHandle o, WorldPt* out);
void GetObjectPoint3D(CallbackPtr cbp, ObjectHandle o, WorldPt3D* out);
void GetObjectPoints3D(CallbackPtr cbp, ObjectHandle o, WorldPt3D outFour[4]);

// ---- Vertex-list objects (vertices numbered from 1) ----
ObjectHandle CreatePolyline(CallbackPtr cbp);
// AddVertex and SetVertex take the radius by value and hand the host the
// address of that copy.
void AddVertex(CallbackPtr cbp, ObjectHandle o, const WorldPt* p, int32_t vertexType,
               double radius, HostBool flag);
void SetVertex(CallbackPtr cbp, ObjectHandle o, int16_t index, const WorldPt* p,
               int32_t vertexType, double radius, HostBool flag);
void DeleteVertex(CallbackPtr cbp, ObjectHandle o, int16_t index);
int16_t GetVertexCount(CallbackPtr cbp, ObjectHandle o);
void GetVertex(CallbackPtr cbp, ObjectHandle o, int16_t index, WorldPt* p, int32_t* vertexType,
               double* radius);
void GetVertex3D(CallbackPtr cbp, ObjectHandle o, int16_t index, WorldPt3D* p);
HostBool IsPolyClosed(CallbackPtr cbp, ObjectHandle o);
void SetPolyClosed(CallbackPtr cbp, ObjectHandle o, HostBool closed);
void ResetObject(CallbackPtr cbp, ObjectHandle o);
HostBool PrepareObject(CallbackPtr cbp, ObjectHandle o);
ObjectHandle ConvertToPolyline(CallbackPtr cbp, ObjectHandle o, HostBool flag);
ObjectHandle ConvertToType5Object(CallbackPtr cbp, ObjectHandle o, HostBool flag);
