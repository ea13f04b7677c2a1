// Test seam of the PNG reader: what libpng asked it for.
#pragma once

#include <cstddef>

// The largest single allocation libpng requested of the reader since the
// last reset, in bytes, whether or not it was granted. With `reset` the
// figure is returned and set back to 0.
size_t WuPngRead_LargestRequestForTesting(bool reset);
