// The library kernel's process-wide state that several services read: the
// kernel language handle (the library's own texts) and the application
// kernel module. Kernel start-up fills them and shut-down clears them;
// before start-up they are NULL and the services that need them answer
// with their documented fall-backs.
#pragma once

#include "platform/kernel/types.h"

typedef struct WULANG* HWULANG;  // language handle (foundation/WuLang.h)

// The kernel language handle, or NULL outside start-up .. shut-down.
HWULANG WuKernel_GetLangHandle();
// Sets the kernel language handle (kernel start-up, shut-down and tests).
void WuKernel_SetLangHandle(HWULANG lang);
