// Day numbers of the file-I/O plug-ins: whole days counted from 1 January
// 1997 (day 1), leap years taken as every fourth year.
#pragma once

#include "platform/kernel/types.h"

// The day number of a date into *dayNumber: 0. A year before 1997 stores 0
// and gives E_FAIL; a NULL out gives E_POINTER. Months after the eleventh
// add no more than eleven month lengths.
HRESULT WuFio_DateToDayNumber(LONG* dayNumber, LONG year, LONG month, LONG day);
// The day number of today's UTC date.
HRESULT WuFio_GetTodayDayNumber(LONG* dayNumber);
