#include "fileio/WuFioBitRateText.h"

#include "foundation/WuKernel.h"
#include "foundation/WuKernelState.h"
#include "foundation/WuLang.h"
#include "foundation/WuPrintF.h"
#include "foundation/WuString.h"

int WuFio_FormatScaledValueText(LONGLONG bitsPerSecond, LPWSTR buffer, LONG size) {
  // The unit: up to four steps of 1,000 while the value reaches 2,000 units.
  LONGLONG unit = 1;
  int steps = 0;
  while (steps < 4 && bitsPerSecond >= 2000 * unit) {
    unit *= 1000;
    ++steps;
  }
  LPCWSTR name = WuLangText(*WuKernel_BitRateUnits[steps]);

  WCHAR text[WUPRINTF_MAX];
  if (steps == 0) {
    WuPrintFN(text, WUPRINTF_MAX, u"$d %s", static_cast<int>(bitsPerSecond), name);
  } else {
    const LONGLONG whole = (bitsPerSecond + unit / 2) / unit;
    const LONGLONG tenths = (bitsPerSecond + unit / 20) / (unit / 10);
    if (whole >= 100)
      WuPrintFN(text, WUPRINTF_MAX, u"$d %s", static_cast<int>(whole), name);
    else if (tenths % 10 != 0)
      WuPrintFN(text, WUPRINTF_MAX, u"%.1z %s", static_cast<int>(tenths), name);
    else
      WuPrintFN(text, WUPRINTF_MAX, u"$d %s", static_cast<int>(tenths / 10), name);
  }
  return WuStrCpyNLen2(buffer, text, size);
}
