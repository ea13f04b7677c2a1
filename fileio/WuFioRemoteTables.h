// The tables that carry the plug-in interfaces across processes: every
// operation of the interfaces a surrogate's plug-in objects offer (the
// wrapped classes, files and streams, the metadata reader, and those their
// QueryInterface reaches) and of the surrogate's own interface.
#pragma once

#include "platform/kernel/types.h"

// Registers the tables with the platform's objects across processes, once;
// later calls do nothing. Both sides of a connection call it before their
// first proxy or object crosses.
void WuFio_RegisterRemoteTables();
