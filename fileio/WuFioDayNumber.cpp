#include "fileio/WuFioDayNumber.h"

#include "platform/kernel/time.h"

namespace {

constexpr LONG kFirstYear = 1997;
// Lengths of January to November (February of a common year).
constexpr LONG kMonthDays[11] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30};

}  // namespace

HRESULT WuFio_DateToDayNumber(LONG* dayNumber, LONG year, LONG month, LONG day) {
  if (!dayNumber) return E_POINTER;
  if (year < kFirstYear) {
    *dayNumber = 0;
    return E_FAIL;
  }
  const LONG y = year - kFirstYear;
  LONG n = 365 * y + y / 4 + day;
  for (LONG m = 1; m < month && m <= 11; ++m) n += kMonthDays[m - 1];
  if (year % 4 == 0 && month > 2) ++n;
  *dayNumber = n;
  return 0;
}

HRESULT WuFio_GetTodayDayNumber(LONG* dayNumber) {
  SYSTEMTIME now;
  GetSystemTime(&now);
  return WuFio_DateToDayNumber(dayNumber, now.wYear, now.wMonth, now.wDay);
}
