// Small value helpers of the file-I/O plug-ins: bit counts and picking a
// value from an ascending table.
#pragma once

#include "platform/kernel/types.h"

// The number of 1 bits of `value`.
int WuFio_CountSetBits(DWORD value);

// The entry of `table` (`count` entries, ascending, compared unsigned) that
// stands for `value`; its index goes to *index when given. At or below the
// first entry gives the first, at or above the last the last, an equal
// entry itself. Between two entries `rounding` decides: -1 the lower, 1
// the upper; otherwise the nearer, ties going up, where r above 1 divides
// the distance to the lower entry by r and r below -1 the distance to the
// upper entry by |r| (rounded up) first. A count of 0 or less or a NULL
// table gives `value` itself and index -1.
DWORD WuFio_ConstrainValueToTable(DWORD value, const DWORD* table, LONG count, LONG rounding,
                                  LONG* index);
