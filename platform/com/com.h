// The component object base: interfaces with reference counts, per-thread
// initialisation, creation of registered classes, task memory and the
// memory stream over global memory.
//
// Interfaces are abstract classes whose methods return HRESULT (AddRef and
// Release the new reference count). Binary layout: operation n of an
// interface, counting from QueryInterface, AddRef and Release (0, 1, 2) and
// then the base interfaces' operations first, is entry n of its vtable. So
// no interface declares a virtual destructor (it would take two entries):
// each declares a protected non-virtual one, and an object class is final
// (or declares its own virtual destructor after every numbered operation). An object lives while it has
// references; Release of the last one destroys it. Interface identifiers are
// GUIDs compared field by field (IsEqualGUID in platform/kernel/types.h).
//
// Classes are not found in the registry: code that offers a class registers
// a factory function for its CLSID with platform::RegisterComClass, and
// CoCreateInstance calls it. Aggregation is not supported.
//
// Threads: initialisation is counted per thread. Objects made here are
// thread-safe in their reference counts; a stream is used by one thread at
// a time.
#pragma once

#include "platform/kernel/memory.h"
#include "platform/kernel/types.h"

// ---- Status codes of this layer ------------------------------------------------------
constexpr HRESULT RPC_E_CHANGED_MODE = static_cast<HRESULT>(0x80010106u);    // other threading model
constexpr HRESULT STG_E_INVALIDFUNCTION = static_cast<HRESULT>(0x80030001u); // not supported / bad seek
constexpr HRESULT STG_E_INVALIDPOINTER = static_cast<HRESULT>(0x80030009u);  // a required pointer is NULL
constexpr HRESULT STG_E_MEDIUMFULL = static_cast<HRESULT>(0x80030070u);      // the stream cannot grow
constexpr HRESULT RPC_E_DISCONNECTED = static_cast<HRESULT>(0x80010108u);   // the object's process is gone
constexpr HRESULT CO_E_NOTINITIALIZED = static_cast<HRESULT>(0x800401F0u);  // the thread was not initialised
constexpr HRESULT STG_E_INVALIDFLAG = static_cast<HRESULT>(0x800300FFu);     // unknown flag value

typedef const IID& REFIID;
typedef const CLSID& REFCLSID;

// ---- Interface identifiers -------------------------------------------------------------
inline constexpr IID IID_IUnknown = {0x00000000, 0x0000, 0x0000,
                                     {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr IID IID_ISequentialStream = {0x0C733A30, 0x2A1C, 0x11CE,
                                              {0xAD, 0xE5, 0x00, 0xAA, 0x00, 0x44, 0x77, 0x3D}};
inline constexpr IID IID_IStream = {0x0000000C, 0x0000, 0x0000,
                                    {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

// ---- IUnknown ----------------------------------------------------------------------------
class IUnknown {
 public:
  // Stores a new reference to the interface `iid` in *object (AddRef
  // included); E_NOINTERFACE with *object NULL when the object lacks it,
  // E_POINTER for a NULL object pointer.
  virtual HRESULT QueryInterface(REFIID iid, void** object) = 0;
  virtual ULONG AddRef() = 0;
  virtual ULONG Release() = 0;

 protected:
  // Objects destroy themselves in Release; nobody deletes an interface.
  // Not virtual: it would take vtable entries of the numbered operations.
  ~IUnknown() = default;
};

// ---- Initialisation ------------------------------------------------------------------------
constexpr DWORD COINIT_MULTITHREADED = 0x0;
constexpr DWORD COINIT_APARTMENTTHREADED = 0x2;
constexpr DWORD COINIT_DISABLE_OLE1DDE = 0x4;
constexpr DWORD COINIT_SPEED_OVER_MEMORY = 0x8;

// Counts one initialisation of the calling thread. S_OK for the first,
// S_FALSE for each further one in the same model, RPC_E_CHANGED_MODE (not
// counted) when the thread was initialised in the other model. `reserved`
// must be NULL (E_INVALIDARG). Every S_OK or S_FALSE needs a CoUninitialize.
HRESULT CoInitializeEx(void* reserved, DWORD flags);
// CoInitializeEx with COINIT_APARTMENTTHREADED.
HRESULT CoInitialize(void* reserved);
// Takes back one initialisation of the calling thread; nothing when there
// is none.
void CoUninitialize();

// ---- Creating objects ------------------------------------------------------------------------
constexpr DWORD CLSCTX_INPROC_SERVER = 0x1;
constexpr DWORD CLSCTX_INPROC_HANDLER = 0x2;
constexpr DWORD CLSCTX_LOCAL_SERVER = 0x4;
constexpr DWORD CLSCTX_REMOTE_SERVER = 0x10;
constexpr DWORD CLSCTX_INPROC = CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER;
constexpr DWORD CLSCTX_ALL = CLSCTX_INPROC | CLSCTX_LOCAL_SERVER | CLSCTX_REMOTE_SERVER;

// Makes an object of a registered class and asks it for `iid`. *object is
// NULL on failure: E_POINTER without an out pointer, CLASS_E_NOAGGREGATION
// for an outer unknown, REGDB_E_CLASSNOTREG for a class without a factory,
// or the factory's error (E_NOINTERFACE when the object lacks `iid`). A
// context with an in-process part, or without CLSCTX_LOCAL_SERVER, tries the
// classes of this process first; CLSCTX_LOCAL_SERVER then reaches a class
// object another process published (platform/com/remote.h) and gives a
// proxy, REGDB_E_CLASSNOTREG when nobody serves the class.
HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD context, REFIID iid,
                         void** object);

// ---- Task memory ----------------------------------------------------------------------------
// Memory handed between components; NULL on failure. CoTaskMemFree(NULL)
// does nothing.
void* CoTaskMemAlloc(SIZE_T bytes);
void* CoTaskMemRealloc(void* block, SIZE_T bytes);
void CoTaskMemFree(void* block);

// ---- Streams ------------------------------------------------------------------------------------
// Read and Write move the seek pointer by the bytes transferred.
class ISequentialStream : public IUnknown {
 public:
  // Reads up to `bytes`; *read (may be NULL) gets the count, which is below
  // `bytes` only at the end of the stream. S_OK (also for 0 bytes at the end).
  virtual HRESULT Read(void* buffer, ULONG bytes, ULONG* read) = 0;
  // Writes `bytes`, growing the stream as needed; *written (may be NULL)
  // gets the count.
  virtual HRESULT Write(const void* buffer, ULONG bytes, ULONG* written) = 0;

 protected:
  ~ISequentialStream() = default;
};

constexpr DWORD STREAM_SEEK_SET = 0;  // from the start
constexpr DWORD STREAM_SEEK_CUR = 1;  // from the seek pointer
constexpr DWORD STREAM_SEEK_END = 2;  // from the end

constexpr DWORD STGTY_STORAGE = 1;
constexpr DWORD STGTY_STREAM = 2;
constexpr DWORD STGTY_LOCKBYTES = 3;
constexpr DWORD STGTY_PROPERTY = 4;

constexpr DWORD STATFLAG_DEFAULT = 0;  // with a name (CoTaskMemAlloc; memory streams have none)
constexpr DWORD STATFLAG_NONAME = 1;   // without a name

constexpr DWORD STGC_DEFAULT = 0;

constexpr DWORD LOCK_WRITE = 1;
constexpr DWORD LOCK_EXCLUSIVE = 2;
constexpr DWORD LOCK_ONLYONCE = 4;

constexpr DWORD STGM_READ = 0x0;
constexpr DWORD STGM_WRITE = 0x1;
constexpr DWORD STGM_READWRITE = 0x2;

// What Stat tells about a stream.
struct STATSTG {
  LPWSTR pwcsName;            // name (CoTaskMemAlloc), NULL for nameless streams
  DWORD type;                 // STGTY_*
  ULARGE_INTEGER cbSize;      // size in bytes
  FILETIME mtime;             // last change (zero when not kept)
  FILETIME ctime;             // creation (zero when not kept)
  FILETIME atime;             // last access (zero when not kept)
  DWORD grfMode;              // STGM_* of the opening
  DWORD grfLocksSupported;    // LOCK_* the stream supports
  CLSID clsid;                // class of a storage, zero for streams
  DWORD grfStateBits;         // state bits, 0
  DWORD reserved;             // 0
};

class IStream : public ISequentialStream {
 public:
  // Moves the seek pointer by `move` from the origin (STREAM_SEEK_*);
  // *position (may be NULL) gets the new one. A pointer past the end is
  // allowed (reads there give 0 bytes, writes grow the stream); a negative
  // one is STG_E_INVALIDFUNCTION and leaves the pointer.
  virtual HRESULT Seek(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER* position) = 0;
  // Makes the stream `size` bytes long (new bytes are undefined; the seek
  // pointer stays).
  virtual HRESULT SetSize(ULARGE_INTEGER size) = 0;
  // Copies up to `bytes` from the seek pointer into another stream at its
  // seek pointer; *read and *written (may be NULL) get the counts.
  virtual HRESULT CopyTo(IStream* target, ULARGE_INTEGER bytes, ULARGE_INTEGER* read,
                         ULARGE_INTEGER* written) = 0;
  virtual HRESULT Commit(DWORD flags) = 0;
  virtual HRESULT Revert() = 0;
  virtual HRESULT LockRegion(ULARGE_INTEGER offset, ULARGE_INTEGER bytes, DWORD type) = 0;
  virtual HRESULT UnlockRegion(ULARGE_INTEGER offset, ULARGE_INTEGER bytes, DWORD type) = 0;
  virtual HRESULT Stat(STATSTG* stat, DWORD flags) = 0;
  // A second stream over the same bytes with its own seek pointer (a copy
  // of this one's).
  virtual HRESULT Clone(IStream** stream) = 0;

 protected:
  ~IStream() = default;
};

// A stream over a block of global memory (NULL: a new, empty movable block).
// The stream's size starts as the block's size and the block grows and
// shrinks with it (a block the stream grows must be movable). With
// `delete_on_release` the block is freed when the last stream over it
// (clones included) is released. Commit and Revert do nothing and succeed;
// LockRegion and UnlockRegion answer STG_E_INVALIDFUNCTION. *stream is
// NULL on failure: E_INVALIDARG without an out pointer or for a handle that
// is not a global block, E_OUTOFMEMORY.
HRESULT CreateStreamOnHGlobal(HGLOBAL block, BOOL delete_on_release, IStream** stream);
// The block under a stream made by CreateStreamOnHGlobal; E_INVALIDARG for
// any other stream (and *block NULL).
HRESULT GetHGlobalFromStream(IStream* stream, HGLOBAL* block);

// ---- GUID texts ---------------------------------------------------------------------------
// Writes the braced upper-case form "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}"
// into a buffer of `size` characters. Returns the characters written with
// the terminator (39), or 0 (nothing written) when the buffer is too small.
int StringFromGUID2(const GUID& guid, LPWSTR buffer, int size);

namespace platform {

// Makes an object of a registered class and returns a reference to its
// interface `iid` in *object (E_NOINTERFACE when it has none).
typedef HRESULT (*ComClassFactory)(REFIID iid, void** object);

// Registers (or replaces) the factory of a class; a NULL factory removes
// the registration. Thread-safe.
void RegisterComClass(REFCLSID clsid, ComClassFactory factory);

// Registers (or, with NULL, removes) a class the platform itself offers; a
// RegisterComClass registration of the same class takes precedence. The
// areas above this one register theirs when the program starts (the shell
// link, platform/shell/shelllink.cpp, in the programs that name its class
// id); this area offers the Global Interface Table
// (platform/com/globaltable.h) from the start. Thread-safe.
void RegisterBuiltinComClass(REFCLSID clsid, ComClassFactory factory);

// The calling thread's initialisation count (for tests and checks).
int ComInitCount();

}  // namespace platform
