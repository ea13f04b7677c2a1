// The functions plug-ins call, kept in every host that asks.
#include "fileio/WuFioHostExports.h"

#include "fileio/WuFioExports.h"
#include "platform/com/com.h"
#include "platform/com/oleauto.h"
#include "platform/kernel/files.h"
#include "platform/kernel/handles.h"
#include "platform/kernel/memory.h"
#include "platform/kernel/process.h"
#include "platform/kernel/threads.h"

namespace {

const void* const kHostExports[] = {
    reinterpret_cast<const void*>(&CoCreateInstance),
    reinterpret_cast<const void*>(&CreateStreamOnHGlobal),
    reinterpret_cast<const void*>(&SysAllocString),
    reinterpret_cast<const void*>(&SysAllocStringLen),
    reinterpret_cast<const void*>(&SysFreeString),
    reinterpret_cast<const void*>(&GlobalAlloc),
    reinterpret_cast<const void*>(&GlobalFree),
    reinterpret_cast<const void*>(&CreateFileW),
    reinterpret_cast<const void*>(&ReadFile),
    reinterpret_cast<const void*>(&SetFilePointer),
    reinterpret_cast<const void*>(&CloseHandle),
    reinterpret_cast<const void*>(&GetCurrentProcessId),
    reinterpret_cast<const void*>(&ExitProcess),
    reinterpret_cast<const void*>(&Sleep),
    reinterpret_cast<const void*>(&DuplicateHandleFromProcessId),
    reinterpret_cast<const void*>(&DuplicateHandleToProcessId),
};

}  // namespace

const void* const* WuFio_KeepHostExports() { return kHostExports; }
