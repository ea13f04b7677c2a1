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
// connection. An out buffer never gets more than its caller's size.
//
// Calls from several threads go at once, each waiting for its own answer;
// requests of the peer are served on threads of their own, so a call that
// meets a request from the other side does not block it. When the peer
// process dies or closes the connection, every pending and later call
// through its proxies fails at once with RPC_E_DISCONNECTED.
//
// Message, every number little-endian:
//   0  4  kind: 1 request, 2 answer, 3 release of an object
//   4  4  call number (answers repeat their request's)
//   request:  8 8 object id, 16 4 operation, 20 . arguments
//   answer:   8 4 status (HRESULT), 12 . out-arguments
//   release:  8 8 object id
// Arguments, in row order: a value is 8 bytes; an in buffer is 4 bytes of
// size (equal to its size argument) and the bytes. Out-arguments, in row
// order: an out buffer is 4 bytes of size (at most its size argument) and
// the bytes; an out value 8 bytes; a record its row's size in bytes.
#pragma once

#include <memory>

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
  kValue,      // a number of up to 8 bytes, sent
  kInBuffer,   // bytes sent; their count is the value of argument `size_arg`
  kOutBuffer,  // bytes received, at most the value of argument `size_arg`; the count
               // received goes to the out value of argument `count_arg` (or nowhere: 0xFF)
  kOutValue,   // a number of `size` (4 or 8) bytes received (a NULL pointer skips it)
  kOutRecord,  // a fixed record of `size` bytes received
};

struct ComArgRow {
  ComArgKind kind;   // what crosses
  BYTE size_arg;     // kInBuffer, kOutBuffer: the index of the argument with the size
  BYTE count_arg;    // kOutBuffer: the argument getting the count received (0xFF: none)
  DWORD size;        // kOutValue: 4 or 8; kOutRecord: its size in bytes (at most 32 MiB)
};

constexpr size_t kMaxComArgs = 8;

// One operation: its arguments in order.
struct ComOperationRow {
  BYTE count;                       // arguments used
  ComArgRow args[kMaxComArgs];      // their kinds
};

// One argument of a call, as a proxy gives it and a stub receives it.
struct ComArg {
  ULONGLONG value = 0;       // kValue
  const void* in = nullptr;  // kInBuffer (proxy side)
  void* out = nullptr;       // kOutBuffer, kOutValue, kOutRecord: where it goes (NULL: nowhere)
};

class ComRemoteObject;

// What an interface's owner registers.
struct ComInterfaceTable {
  DWORD first;                       // number of the table's first operation (3 after IUnknown)
  DWORD count;                       // operations in the table
  const ComOperationRow* rows;       // their rows (a row of count 0: not across processes)
  // Makes a proxy of the interface over `remote` (which it keeps) in *object.
  HRESULT (*make_proxy)(std::shared_ptr<ComRemoteObject> remote, void** object);
  // Calls operation `operation` of `object` (the interface itself) with the
  // decoded arguments; out-arguments point at buffers sized by the row.
  HRESULT (*invoke)(IUnknown* object, DWORD operation, ComArg* args);
};

// Registers (or replaces) the table of interface `iid`. The table lives as
// long as the program. Thread-safe.
void RegisterComInterfaceTable(REFIID iid, const ComInterfaceTable* table);

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

}  // namespace platform
