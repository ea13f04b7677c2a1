// Blankets: wrappers around the plug-in objects of a class hosted by the
// surrogate, each implementing exactly one plug-in interface, callable
// from any thread. A blanket registers the plug-in pointer in the Global
// Interface Table (CWuGitHolder.h) and forwards every call to the pointer
// valid on the calling thread; objects a call hands out come back wrapped
// in blankets of their own.
//
// Blankets exist for IWuReadFileClass, IWuRenderFileClass, IWuReadFile,
// IWuRenderFile, IWuReadStream, IWuReadAudioStream, IWuReadVideoStream and
// IWuReadMeta.
//
// A blanket made from another one (by its QueryInterface, Open, OpenStream
// and the like) holds a reference on that blanket until it is destroyed,
// so a stream outlives the file and class it came from. Class blankets
// keep the manager they are given without a reference (the manager
// outlives its classes).
#pragma once

#include "platform/com/com.h"

// A blanket's call answers CO_E_NOTINITIALIZED (com/com.h) when its thread
// gets no pointer from the table; nothing of the plug-in is called then.

// Wraps the interface `iid` at *object in a new blanket when `iid` is one
// of the eight above; `parent` is the blanket it was asked of (or NULL)
// and `data` the manager (class blankets) or the blanket that made it.
// On a match *object receives the blanket (NULL when none could be made)
// and the caller's reference to the plug-in object is released: 0, or
// E_OUTOFMEMORY when no blanket was made. Another id answers 0 and leaves
// *object unwrapped. A NULL *object gives E_OUTOFMEMORY, a NULL `object`
// E_POINTER.
HRESULT WuFio_WrapInBlanket(REFIID iid, void** object, IUnknown* parent, IUnknown* data);
