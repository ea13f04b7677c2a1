// What a program that loads plug-ins exports to them. Plug-ins link no
// library of ours and resolve the platform against their host, so a host
// program is linked with ENABLE_EXPORTS and calls WuFio_KeepHostExports
// once: that keeps the functions plug-ins call in the program, which the
// linker would otherwise leave out when the program does not call them
// itself.
#pragma once

// Returns the table of kept functions (its address keeps it linked).
const void* const* WuFio_KeepHostExports();
