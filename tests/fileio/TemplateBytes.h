// Hand-built render template records for the template tests: a record is
// a calloc'd block laid out byte for byte (texts after the padded private
// data), so tests do not depend on the code under test to make them.
#pragma once

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "fileio/WuFioTemplateLayout.h"
#include "foundation/WuList.h"

namespace fio_test {

// A record with the given texts and `priv` private bytes (valued 1, 2,
// ...); `fill` goes into the first settings word (offset 60).
inline tagWUTEMPLATExV2* MakeRecord(const std::u16string& name, const std::u16string& notes = u"",
                                    DWORD priv = 0, DWORD fill = 0) {
  const DWORD units = static_cast<DWORD>(name.size() + notes.size() + 2);
  const DWORD size = WUTPL_HEADER_BYTES + WuTpl_Pad4(priv) + 2 * units;
  BYTE* r = static_cast<BYTE*>(std::calloc(1, size));
  WuTpl_SetWord(r, 0, size);
  WuTpl_SetWord(r, 4, 0x02000000);
  WuTpl_SetWord(r, 60, fill);
  WuTpl_SetWord(r, WUTPL_OFFSET_TEXTLEN, units);
  WuTpl_SetWord(r, WUTPL_OFFSET_PRIVSIZE, priv);
  for (DWORD i = 0; i < priv; ++i) r[WUTPL_HEADER_BYTES + i] = static_cast<BYTE>(i + 1);
  char16_t* text = reinterpret_cast<char16_t*>(r + WUTPL_HEADER_BYTES + WuTpl_Pad4(priv));
  std::memcpy(text, name.data(), 2 * name.size());
  std::memcpy(text + name.size() + 1, notes.data(), 2 * notes.size());
  return reinterpret_cast<tagWUTEMPLATExV2*>(r);
}

inline std::vector<BYTE> BytesOf(const void* record) {
  const BYTE* b = static_cast<const BYTE*>(record);
  return std::vector<BYTE>(b, b + WuTpl_Size(record));
}

// An owning list of record pointers.
inline tWULIST* NewTemplateList() {
  tWULIST* list = nullptr;
  WuList_CreateExZ(&list, 0, 4, 4, WULIST_OWNITEMS | WULIST_LOCKED);
  return list;
}
// A list that borrows its records.
inline tWULIST* NewBorrowingList() {
  tWULIST* list = nullptr;
  WuList_CreateExZ(&list, 0, 4, 4, 0);
  return list;
}
inline void Append(tWULIST* list, void* record) {
  const bool owning = (WuList_GetCreateOptions(list) & WULIST_OWNITEMS) != 0;
  WuList_InsertList(list, -1, &record, owning ? -1 : 1);
}

}  // namespace fio_test
