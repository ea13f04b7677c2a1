// Shared by the files of platform/com only.
#pragma once

#include "platform/com/com.h"

namespace platform {

// The built-in class factory of the Global Interface Table
// (platform/com/globaltable.cpp); com.cpp offers it from the start.
HRESULT CreateGlobalInterfaceTable(REFIID iid, void** object);

struct ComInterfaceTable;
// The table of IStream across processes (platform/com/stream_remote.cpp).
const ComInterfaceTable& StreamInterfaceTable();
// CoCreateInstance's path to a class published by another process
// (platform/com/remote.cpp): a proxy of `iid`, REGDB_E_CLASSNOTREG when
// nobody serves the class.
HRESULT CreateLocalServerInstance(REFCLSID clsid, REFIID iid, void** object);

}  // namespace platform
