// A drawing file with a header named without its area, another area's
// internal header and a system header.
#include "platform/wave.h"
#include "platform/kernel/files_internal.h"
#include <unistd.h>
