// What the manager reads of the identified-type tables: the rows of the
// two type tables in row order, the blocked, always-refreshed and
// dependent class ids.
#pragma once

#include "platform/kernel/types.h"

// One row of a type table: a type code and a reader class id.
struct WuFioTypeRow {
  DWORD code;            // WUFILEID_IDENTIFIED_TYPE (table A) or 0x6000 and above (table B)
  GUID readerClassId;    // the reader class tried for it
};

// The rows of table A (identified types) and table B (codes of 0x6000 and
// above); *count receives their number.
const WuFioTypeRow* WuFio_TypeTableA(int* count);
const WuFioTypeRow* WuFio_TypeTableB(int* count);

// Whether a plug-in class id is on the blocked list.
bool WuFio_IsBlockedClass(const GUID& id);
// Whether a plug-in class id is one of the always-refreshed classes.
bool WuFio_IsAlwaysRefreshedClass(const GUID& id);

// The dependent classes and the class they need.
extern const GUID WUFIO_CLSID_DEPENDENT_A;  // {341D000D-95CA-458A-AC65-00AA006BA2BA}
extern const GUID WUFIO_CLSID_DEPENDENT_B;  // {34EFD06F-E6D9-4712-8C22-00AA006BA2BA}
extern const GUID WUFIO_CLSID_NEEDED;       // {AEB1C9FC-78EA-4AB1-AAE7-00AA006BA2BA}
