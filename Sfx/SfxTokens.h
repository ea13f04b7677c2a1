// The formatted-text tokens of a self-extractor run: the product names from
// the package settings and the machine's folders that texts such as the
// default extraction folder refer to.
#pragma once

#include "platform/kernel/types.h"

class CSfxAppData;

// Registers "AppName" (setting Name), "AppName.Title" (setting Title),
// "WindowsDrive" (the root of the Windows folder) and "ProgramFiles" (the
// program-files folder; UI string 308 of the run's language handle when the
// platform names none). The folders come from the platform's special-folder
// map. FALSE when a token could not be added.
BOOL SfxRegisterTokens(const CSfxAppData& settings);
