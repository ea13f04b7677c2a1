// The shell integration's dialogs in the compiled-in resource pool
// WuShellUIResPool (foundation/WuResPool.h).
#pragma once

#include "platform/kernel/types.h"

// Dialog ids in the pool.
constexpr WORD WUSHELLUI_DLG_FILEPROPS = 100;  // the file-properties page "General"
constexpr WORD WUSHELLUI_DLG_RUNAPP = 102;    // "Run Application"
constexpr WORD WUSHELLUI_DLG_NOTFOUND = 103;  // "Source Project Not Found"
constexpr WORD WUSHELLUI_DLG_PLUGINPROBLEM = 104;  // a plug-in's problem ("Orvo File Format Plug-In")

// The read-only, multi-line text control of the "General" page.
constexpr WORD WUSHELLUI_FILEPROPS_TEXT = 1027;

// Assembles the pool's image (dialogs 100, 102, 103 and 104 in the languages 0x409,
// 0x407, 0x0A, 0x40C and 0x411, texts from the string table) and installs it
// in WuShellUIResPool, once per process; later calls do nothing. Called
// before the first of these dialogs runs. FALSE when memory ran out (the
// pool then stays empty and the dialogs are missing).
BOOL WuShellUI_InstallResPool();
