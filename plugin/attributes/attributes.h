// Moving and comparing attributes between drawing objects.
#pragma once

#include "cleanup/host_abi.h"

// Copies every attribute from source to destination; nothing when either is 0.
void CopyAttributes(CallbackPtr cbp, ObjectHandle source, ObjectHandle destination);
// Keeps the object's comparable attributes in the one process-wide snapshot.
HostBool RememberAttributes(CallbackPtr cbp, ObjectHandle object);
// True when the object's attributes equal the snapshot; stops at the first difference.
HostBool MatchesRememberedAttributes(CallbackPtr cbp, ObjectHandle object);
