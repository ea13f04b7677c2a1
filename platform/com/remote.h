// Objects across processes: a process publishes a class object
// (CoRegisterClassObject) as a channel endpoint in the runtime folder
// (platform/kernel/channel.h), and CoCreateInstance with CLSCTX_LOCAL_SERVER
// in another process of the user connects to it and gets a proxy.
//
// A proxy sends each operation as one message: the object, the operation
// and its arguments; the answer carries the status and the out-arguments.
// What an operation's arguments are comes from a table that the interface's
// owner registers (RegisterComInterfaceTable), with the code that makes a
// proxy of the interface and the code that calls the real object; this area
// registers IStream's (Read, Write, Seek, SetSize, Stat). An interface
// without a table answers E_NOINTERFACE across processes; an operation
// outside the table E_NOTIMPL.
//
// Every message is outside data for its receiver and checked against the
// table's row before it is acted on: an unknown object, an operation out of
// range, or arguments whose kinds and sizes disagree with the row end the
// connection. An out buffer never gets more than its caller's size, an
// answer is checked whole before any of it reaches the caller, texts end
// inside the message, records are no larger than they state (32 MiB at
// most), and descriptors come only with handle pushes and pull answers
// (others are closed and end the connection).
//
// File handles cross as their descriptors (ComPushHandle, ComPullHandle);
// HANDLE arguments cross as numbers, and the callee may pull one while the
// call is in progress.
//
// Calls from several threads go at once, each waiting for its own answer;
// requests of the peer are served on threads of their own, so a call that
// meets a request from the other side does not block it. A connection's
// reading thread only reads and checks messages: whatever runs the served
// objects' own code (the call, QueryInterface of the interfaces that come
// in, the release of an object the peer let go) runs on a serving thread, so
// that code may itself call across. When the peer
// process dies or closes the connection, every pending and later call
// through its proxies fails at once with RPC_E_DISCONNECTED.
//
// Message, every number little-endian:
//   0  4  kind: 1 request, 2 answer, 3 release of an object, 4 a handle
//         pushed to the receiver, 5 a handle pulled from the receiver, 6 the
//         objects of an answer taken
//   4  4  call number (answers repeat their request's)
//   request:  8 8 object id, 16 4 operation, 20 . arguments
//   answer:   8 4 status (HRESULT; a Win32 error code for pushes and pulls),
//             12 . out-arguments (a push's: 8 bytes, the handle's value in
//             the receiver; a pull's: its one descriptor, when it succeeded)
//   release:  8 8 object id
//   push:     8 8 the handle's value in the sender, with its one descriptor
//   pull:     8 8 the handle's value in the receiver
//   taken:    nothing more; the call number is the answered call's. The
//             receiver of an answer with objects come home (tag 2) sends it
//             once it holds them; until then their sender keeps its proxies
//             of them, so they are still served when they are looked up.
// Object ids are unique in the serving process (the class object is 0), so
// tag 2 names an object served to the peer's process over any of its
// connections: a proxy held over one connection goes home over another.
// Arguments of a request, in row order:
//   value, handle        8 bytes
//   in buffer            4 bytes count n (its count argument times its
//                        element size) and n bytes
//   in record            the row's size in bytes
//   in text              4 bytes n, the UTF-16 units with the terminating
//                        NUL (0: a NULL pointer), and 2n bytes; the last unit
//                        must be 0, so the text ends inside the message
//   in-out text          as in text, n at most the room (never NULL)
//   in sized, in-out sized, in-out allocated
//                        4 bytes n (0: NULL) and n bytes, whose first 4 (the
//                        size word) say n for in sized and in-out allocated;
//                        the row's size <= n <= 32 MiB
//   in-out value         8 bytes, the caller's preset (0 for NULL)
//   in interface         4 bytes tag (0 NULL, 2 an object of the receiver)
//                        and 8 bytes its id
//   window and the pure outs send nothing (a window crosses as null).
// Out-arguments of an answer, in row order:
//   out buffer           4 bytes count (at most the caller's) and the bytes
//   out, in-out text     4 bytes n units, at most the caller's room (0:
//                        buffer untouched), 2n bytes ending with a NUL
//   out and in-out value 8 bytes; out record: the row's size in bytes
//   in-out sized         4 bytes n, at most the caller's (0: untouched), bytes
//   out BSTR             4 bytes byte length (0xFFFFFFFF: NULL) and bytes
//   out BSTR array       4 bytes count (the caller's, or 0 on failure) and
//                        as many out BSTRs
//   out allocated        4 bytes n (0: NULL) and n bytes, n its size word,
//                        the row's size <= n <= 32 MiB
//   in-out allocated     4 bytes: 0 the caller's record kept (n must be its
//                        size), 1 replaced; then as out allocated
//   out interface        4 bytes tag (0 none, 1 a new object of the sender,
//                        2 an object of the receiver come home) and 8 bytes id
//   out frames           4 bytes n and n bytes: n the frames given (its count
//                        argument) times the frame's bytes, at most the
//                        caller's frames (0 on failure)
// A request sends nothing for out frames: the serving side sizes its buffer
// from the object's own frame size, and answers E_INVALIDARG when that many
// frames could not cross in one answer.
#pragma once

#include <memory>
#include <string>

#include "platform/com/com.h"

// ---- Registration of class objects ------------------------------------------------------------
constexpr DWORD REGCLS_SINGLEUSE = 0;
constexpr DWORD REGCLS_MULTIPLEUSE = 1;
constexpr DWORD REGCLS_MULTI_SEPARATE = 2;

constexpr HRESULT CO_E_OBJISREG = static_cast<HRESULT>(0x800401FCu);  // already registered

// Publishes `object` (which answers IClassFactory) as the class object of
// `clsid` for other processes (`context` must include CLSCTX_LOCAL_SERVER,
// else E_INVALIDARG). The object is held until CoRevokeClassObject or the
// process ends. An endpoint left by a dead process is replaced; one whose
// process still serves gives CO_E_OBJISREG. *cookie names the registration.
HRESULT CoRegisterClassObject(REFCLSID clsid, IUnknown* object, DWORD context, DWORD flags,
                              DWORD* cookie);
// Withdraws a registration: the endpoint goes, the class object is
// released. Connections already made stay. E_INVALIDARG for an unknown
// cookie.
HRESULT CoRevokeClassObject(DWORD cookie);

namespace platform {

// ---- Interface tables ------------------------------------------------------------------------
// Kinds of arguments.
enum class ComArgKind : BYTE {
  kValue,       // a number of up to 8 bytes, sent
  kInBuffer,    // bytes sent: the value of argument `size_arg` elements of `size`
                // bytes (0: 1)
  kOutBuffer,   // bytes received, at most the value of argument `size_arg` elements
                // of `size` bytes (0: 1); the count received goes to the out value
                // of argument `count_arg` (or nowhere: 0xFF)
  kOutValue,    // a number of `size` (4 or 8) bytes received (a NULL pointer skips it)
  kInOutValue,  // as kOutValue, the caller's preset sent first (0 for NULL)
  kOutRecord,   // a fixed record of `size` bytes received
  kInRecord,    // a fixed record of `size` bytes sent (REFIID, a GUID by value)
  kInText,      // a UTF-16 text sent with its terminator (NULL crosses)
  kOutText,     // a UTF-16 text received into the value of argument `size_arg`
                // units (0xFF: `size` units), terminated
  kInOutText,   // as kOutText, the caller's text (terminated within the room) sent first
  kInSized,     // a record sent whose first DWORD is its size in bytes (at least
                // `size`, at most 32 MiB; NULL crosses)
  kInOutSized,  // a buffer whose first DWORD, preset by the caller, is its size:
                // sent, and received back (never more than that size)
  kOutBstr,     // a BSTR received (BSTR*; the caller frees it)
  kOutBstrArray,  // the value of argument `size_arg` BSTRs received (BSTR*)
  kOutAlloc,    // a record the callee allocates (T**: calloc, freed with free),
                // its first DWORD its size (at least `size`, at most 32 MiB)
  kInOutAlloc,  // as kOutAlloc, the caller's record sent first; the callee may
                // replace it (the caller's old one freed) or change it in place
  kOutInterface,  // an interface received (T**): of `*iid`, or of the interface id
                  // in argument `size_arg` when `iid` is null; a new proxy, or the
                  // receiver's own object when it comes home
  kInInterface,   // an interface sent: NULL, or a proxy of an object of the
                  // receiver, which gets its own object; any other (an object of
                  // the caller's process) makes the call answer E_NOTIMPL
  kHandle,      // a HANDLE value, sent as a number; while the call is in progress
                // the receiver may pull a copy of it (ComPullHandle)
  kWindow,      // a window handle: crosses as null (no window of the caller's
                // process can be a parent or owner in the receiver)
  kOutFrames,   // bytes received in whole frames: at most the value of argument
                // `size_arg` frames, whose size each side learns of its own: the
                // proxy gives it in the argument's `value`, the serving side asks
                // the table's `frame_bytes` of the object. The frames given go to
                // the out value of argument `count_arg`, and the bytes received
                // must be exactly that many frames.
};

struct ComArgRow {
  ComArgKind kind;   // what crosses
  BYTE size_arg;     // the index of the argument with the count (see the kinds)
  BYTE count_arg;    // kOutBuffer: the argument getting the count received (0xFF: none)
  DWORD size;        // element or record size, or units (see the kinds)
  const IID* iid;    // kOutInterface, kInInterface: the interface (see the kinds)
};

constexpr size_t kMaxComArgs = 12;

// One operation: its arguments in order. A row of count 0 does not cross
// processes, unless it is marked as an operation without arguments.
struct ComOperationRow {
  BYTE count;                       // arguments used
  ComArgRow args[kMaxComArgs];      // their kinds
  bool bare = false;                // count 0: crosses all the same, without arguments
};

// One argument of a call, as a proxy gives it and a stub receives it.
struct ComArg {
  ULONGLONG value = 0;       // kValue, kHandle
  const void* in = nullptr;  // kInBuffer, kInRecord, kInText, kInSized, kInInterface
                             // (the interface pointer)
  void* out = nullptr;       // the other kinds: where it goes (NULL: nowhere); for
                             // kInOutSized and kInOutAlloc also where it comes from
};

class ComRemoteObject;

// What an interface's owner registers.
struct ComInterfaceTable {
  DWORD first;                       // number of the table's first operation (3 after IUnknown)
  DWORD count;                       // operations in the table
  const ComOperationRow* rows;       // their rows
  // Makes a proxy of the interface over `remote` (which it keeps) in *object.
  HRESULT (*make_proxy)(std::shared_ptr<ComRemoteObject> remote, void** object);
  // Calls operation `operation` of `object` (the interface itself) with the
  // decoded arguments; out-arguments point at buffers sized by the row.
  HRESULT (*invoke)(IUnknown* object, DWORD operation, ComArg* args);
  // For operations with kOutFrames: the bytes of one frame of `object` (the
  // interface itself) for operation `operation`, asked of the object on the
  // serving side. Null when no operation has one.
  HRESULT (*frame_bytes)(IUnknown* object, DWORD operation, DWORD* bytes) = nullptr;
};

// Registers (or replaces) the table of interface `iid`. The table lives as
// long as the program. Thread-safe.
void RegisterComInterfaceTable(REFIID iid, const ComInterfaceTable* table);
// The table of interface `iid`, or null.
const ComInterfaceTable* FindComInterfaceTable(REFIID iid);

// An object in another process, seen from a proxy. Released there when the
// last proxy holding it goes.
class ComRemoteObject {
 public:
  virtual ~ComRemoteObject() = default;
  // Calls operation `operation` (numbered as in the vtable) with `args`, as
  // many as the row has. RPC_E_DISCONNECTED once the peer is gone,
  // E_NOTIMPL for an operation outside the table.
  virtual HRESULT Call(DWORD operation, ComArg* args) = 0;
};

// ---- Handles across processes ------------------------------------------------------------
// A file handle crosses as its descriptor, over a connection to the other
// process (a proxy's or a served client's). These answer a Win32 error code
// (ERROR_SUCCESS when done).

// Gives process `processId` a copy of file handle `handle`, over the oldest
// connection between the two: the peer enters the descriptor in its handle
// table, notes the copy as made for this process, and *copy receives its
// handle value there. The peer closes the copy when that connection ends
// (this process disconnects), unless it was closed before.
// ERROR_ACCESS_DENIED without a connection to the process;
// ERROR_INVALID_HANDLE when `handle` is not a file handle.
DWORD ComPushHandle(HANDLE handle, DWORD processId, ULONGLONG* copy);

// Takes a copy of handle `handle` of process `processId` into this process
// (*copy, closed by the caller). The peer answers only for a handle that is
// a handle argument of a call it has in progress to this process; any
// other gives ERROR_ACCESS_DENIED, as does a process without a connection.
DWORD ComPullHandle(ULONGLONG handle, DWORD processId, HANDLE* copy);

// Closes handle `handle` when it was copied into this process for the
// client whose call the current thread serves; ERROR_INVALID_PARAMETER for
// any other handle, or outside a served call.
DWORD ComCloseCopiedHandle(ULONGLONG handle);

// The process of the client whose call the current thread serves; 0
// outside a served call.
DWORD ComCallerProcessId();

// The process that serves the object behind proxy `object`; 0 when it is
// not a proxy (or its connection ended).
DWORD ComProxyProcessId(IUnknown* object);

// The number of handles copied into this process for clients (tests and
// diagnostics).
size_t ComCopiedHandleCount();

// ---- The message reader, for fuzzing ----------------------------------------------------------
// Reads `message`, with `descriptors` descriptors attached, as a connection
// reads what its peer sent, with `table` serving the object the message
// names (the class object being 0): decodes, checks and frees it, without
// calling anything. True when the message would be acted on.
bool ComReadMessageForTest(const std::string& message, size_t descriptors,
                           const ComInterfaceTable* table);

// Sees every message a connection of this process receives, before it is
// checked: its bytes, its number of descriptors, and for a request the
// interface of the object it names (else null). For recording the seeds of
// the message reader's fuzz target; null stops it.
typedef void (*ComMessageObserver)(const std::string& message, size_t descriptors, const IID* iid);
void SetComMessageObserver(ComMessageObserver observer);

}  // namespace platform
