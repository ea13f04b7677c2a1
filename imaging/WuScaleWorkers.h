// The scaling workers behind the exported scalers. Each takes a prepared
// record and the source image size, and writes the clipped destination
// rounded out to whole pixels. `isFloat` selects 16-byte float pixels,
// otherwise pixels are 4 bytes. Internal to the scalers.
#pragma once

#include "imaging/WuSubpixelParam.h"
#include "platform/kernel/types.h"

namespace wuscale {

// Two-dimensional cubic convolution with a ring of four filtered columns.
void CubicWorker(const WUSUBPIXELPARAM& p, const SIZE& srcSize, bool isFloat, bool overwrite);

// Two-dimensional linear interpolation. Interior rows of 4-byte pixels take
// the SSE2, the "MMX" formula or the scalar form by the processor word.
void LinearWorker(const WUSUBPIXELPARAM& p, bool isFloat, bool overwrite);

// Area averaging. `wideSums` selects 64-bit sums for 4-byte pixels;
// `boxVertical` says that the height shrinks (box over rows) rather than
// the width.
void AreaBoxWorker(const WUSUBPIXELPARAM& p, bool isFloat, bool wideSums, bool overwrite);
void AreaBoxCubicWorker(const WUSUBPIXELPARAM& p, bool isFloat, bool boxVertical, bool wideSums,
                        bool overwrite);
void AreaBoxLinearWorker(const WUSUBPIXELPARAM& p, bool isFloat, bool boxVertical, bool wideSums,
                         bool overwrite);

}  // namespace wuscale
