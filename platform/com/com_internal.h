// Shared by the files of platform/com only.
#pragma once

#include "platform/com/com.h"

namespace platform {

// The built-in class factory of the Global Interface Table
// (platform/com/globaltable.cpp); com.cpp offers it from the start.
HRESULT CreateGlobalInterfaceTable(REFIID iid, void** object);

}  // namespace platform
