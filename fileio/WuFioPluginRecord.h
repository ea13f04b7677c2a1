// Plug-in records: one per plug-in class a library offers, or one for a
// library that offers none (unusable). The manager's plug-in list is a
// tWULIST of record pointers; the records are zero-filled global memory and
// are freed by WuFio_FreePluginRecord (never by the list).
//
// A record made for a library path is a candidate: it names the library and
// its modification time; the cache or the probe fills in its classes.
#pragma once

#include "fileio/WuFileIO.h"
#include "platform/com/classfactory.h"
#include "platform/kernel/types.h"

struct tWULIST;

// State flags of a record.
constexpr DWORD WUFIO_PLUGIN_PRELOADED = 0x1;     // preload modules were loaded: unload them with the record
constexpr DWORD WUFIO_PLUGIN_UNUSABLE = 0x2;      // not a plug-in library or no class: every list skips it
constexpr DWORD WUFIO_PLUGIN_BLOCKED = 0x4;       // the class id is blocked (set with 0x2)
constexpr DWORD WUFIO_PLUGIN_FOREIGN = 0x10;      // the image is not for this machine: surrogate only
constexpr DWORD WUFIO_PLUGIN_FORCED_OUT = 0x20;   // "ForceOutOfProcess": surrogate
constexpr DWORD WUFIO_PLUGIN_CHANGED = 0x40;      // the cached description is out of date: rewrite it
constexpr DWORD WUFIO_PLUGIN_STALE = 0x80;        // not in the cache or stale: probe the library
constexpr DWORD WUFIO_PLUGIN_FIRST = 0x100;       // the library's first record
constexpr DWORD WUFIO_PLUGIN_IN_SURROGATE = 0x200;  // the class lives in the surrogate now

// Access bits: what the class offers.
constexpr DWORD WUFIO_ACCESS_READER = 0x10;
constexpr DWORD WUFIO_ACCESS_RENDERER = 0x20;

// States of a record's reader or renderer part.
constexpr LONG WUFIO_CLASS_NOT_LOADED = 0;
constexpr LONG WUFIO_CLASS_LOADED = 1;
constexpr LONG WUFIO_CLASS_UNAVAILABLE = 2;

// The record version.
constexpr DWORD WUFIO_PLUGIN_RECORD_VERSION = 5;

// The reader or the renderer part of a record.
struct WUFIO_CLASS_PART {
  GUID classId;       // the reader (renderer) class id, zero when none
  LONG key;           // position in the sorted reader (renderer) list
  IUnknown* object;   // the class object once loaded (owned reference)
  LONG state;         // WUFIO_CLASS_*; read and written atomically
  LPWSTR extensions;  // owned: the normalised extension list, or NULL
};

// One plug-in class of one library.
struct WUFIO_PLUGIN_RECORD {
  DWORD size;              // WUFIO_PLUGIN_RECORD_SIZE
  GUID classId;            // the class made through the library's class factory
  HMODULE module;          // the library once loaded by this record, else NULL
  IClassFactory* factory;  // its class factory once loaded, else NULL
  WCHAR name[260];         // the class's display name
  WCHAR path[260];         // the library's full path
  LPWSTR dialogName;       // owned: the dialog name, or NULL
  DWORD langId;            // LCID the cached texts were made for
  LPWSTR preloads;         // owned: ";"-separated preload modules, or NULL
  HMODULE* preloaded;      // owned: the preload modules this record loaded, or NULL
  LONG preloadedCount;     // their number
  DWORD flags;             // WUFIO_PLUGIN_* state flags
  DWORD streamType;        // stream type, from the class list
  DWORD access;            // WUFIO_ACCESS_* bits
  DWORD refresh;           // bit 0: load the class at start to renew its description
  DWORD classFlags;        // the class flags value
  DWORD modTime;           // the library's modification time (DOS date and time, UTC)
  WUFIO_CLASS_PART reader;    // the reader class
  WUFIO_CLASS_PART renderer;  // the renderer class
  DWORD version;           // WUFIO_PLUGIN_RECORD_VERSION
};
// The record's size word; its natural size here.
constexpr DWORD WUFIO_PLUGIN_RECORD_SIZE = sizeof(WUFIO_PLUGIN_RECORD);

// A record's part as loaded or not, read and written atomically.
inline LONG WuFio_PartState(const WUFIO_CLASS_PART* part) {
  return __atomic_load_n(&part->state, __ATOMIC_ACQUIRE);
}
inline void WuFio_SetPartState(WUFIO_CLASS_PART* part, LONG state) {
  __atomic_store_n(&part->state, state, __ATOMIC_RELEASE);
}

// A new record with size, version and the current UI language; NULL when
// memory runs out.
WUFIO_PLUGIN_RECORD* WuFio_NewPluginRecord();
// A copy of `source` with copies of its texts, without module, factory or
// class objects; NULL when memory runs out.
WUFIO_PLUGIN_RECORD* WuFio_CopyPluginRecord(const WUFIO_PLUGIN_RECORD* source);
// Frees the record: its class objects, its factory, its library, then the
// preload modules it loaded (each once) and its texts. NULL is ignored.
void WuFio_FreePluginRecord(WUFIO_PLUGIN_RECORD* record);
// Frees every record of the list and the list. NULL is ignored.
void WuFio_FreePluginList(tWULIST* list);
// A new empty list for records; NULL when memory runs out.
tWULIST* WuFio_NewPluginList();
// The record at `index` of a plug-in list.
WUFIO_PLUGIN_RECORD* WuFio_PluginAt(const tWULIST* list, LONG index);
// The number of records, 0 for NULL.
LONG WuFio_PluginCount(const tWULIST* list);

// Replaces an owned text with a copy of `text` (NULL or empty clears it).
// E_OUTOFMEMORY leaves it as it was.
HRESULT WuFio_SetText(LPWSTR* field, LPCWSTR text);

// The current UI language.
DWORD WuFio_CurrentLangId();

// Normalises an extension list: split at ";", leading white space dropped,
// each entry cut at its first white space, empty entries dropped, joined
// with ";". Returns a new owned text (empty list: an empty text), NULL when
// memory runs out.
LPWSTR WuFio_NormaliseExtensionList(LPCWSTR list);

// Adds a candidate record for the library `path` to `list`. A name without
// extension gets ".so". 1 (nothing added) for a path too long for 260
// characters, a path already in the list (compared normalised, without
// regard to case) or a missing file; E_OUTOFMEMORY; else 0. The record is
// flagged 0x100, plus 0x2 when the file is not an executable image or 0x10
// when its machine is not this one.
HRESULT WuFio_AddPluginCandidate(tWULIST* list, LPCWSTR path);

// Makes a new candidate list from library paths (count may be 0). The
// list is returned even when a candidate fails (E_OUTOFMEMORY).
HRESULT WuFio_SetPluginCandidateDLLs(tWULIST** out, const WCHAR* const* paths, LONG count);
// The same from a list of path pointers.
HRESULT WuFio_SetPluginCandidateDLLs(tWULIST** out, tWULIST* paths);

// Whether a class id passes a filter list: with no list (count 0) every
// id passes; with `include` only listed ids pass, else only ids not
// listed. Ids match on their first 10 bytes.
bool WuFio_GuidPassesFilterList(const GUID& id, const GUID* list, LONG count, bool include);
// Whether two ids agree on their first 10 bytes.
bool WuFio_GuidMatches10(const GUID& a, const GUID& b);

// Paths compared as the plug-in code compares them: separators alike,
// "." and ".." resolved, without regard to case. 0 when equal.
int WuFio_ComparePaths(LPCWSTR a, LPCWSTR b);
// Whether `path`, normalised, lies inside the folder `folder` (compared
// the same way).
bool WuFio_PathIsInside(LPCWSTR path, LPCWSTR folder);
