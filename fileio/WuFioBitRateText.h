// Bit rates as texts: "1,500 Kbps", "2.5 Mbps".
#pragma once

#include "platform/kernel/types.h"

// Writes `bitsPerSecond` into `buffer` of `size` characters with the unit
// ("bps", "Kbps", "Mbps", "Gbps", "Tbps" in the language of the default
// language handle) that keeps the number below 2,000, grouped in the
// language layer's locale: whole units from 100 up, else one decimal when
// it is not 0. Returns what the bounded copy (WuStrCpyNLen2) returns.
int WuFio_FormatScaledValueText(LONGLONG bitsPerSecond, LPWSTR buffer, LONG size);
