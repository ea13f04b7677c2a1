// The process-wide shell-link object shared by the library.
#pragma once

#include "platform/shell/shelllink.h"

// Hands out the cached shell-link object with one added reference, creating
// it on the first successful call. E_INVALIDARG for a NULL out pointer; the
// creation's error (nothing cached) when the object cannot be made.
HRESULT WuGetShellLink(IShellLinkW** link);

// Releases the cached object once, when one was made (process exit).
void WuShellLink_ReleaseCache();
