#include "foundation/WuLangTable.h"

namespace {
constexpr DWORD kPrimaryChinese = 0x04;
constexpr DWORD kPrimaryPortuguese = 0x16;
}  // namespace

LCID WuLang_GetConditionedLCID(LCID lcid) {
  DWORD primary = lcid & 0x3FF;
  DWORD sub = (lcid >> 10) & 0x3F;
  if (primary == kPrimaryChinese) return sub == 1 || sub == 3 || sub == 5 ? 0x404 : 0x804;
  if (primary == kPrimaryPortuguese) return lcid;
  return primary | 0x400;
}

int WuLangTable_FindColumn(LCID lcid) {
  LCID wanted = WuLang_GetConditionedLCID(lcid);
  for (int c = 0; c < WULANG_COLUMNS; ++c)
    if (WuLang_GetConditionedLCID(WULANG_COLUMN_LCIDS[c]) == wanted) return c + 1;
  return 0;
}
