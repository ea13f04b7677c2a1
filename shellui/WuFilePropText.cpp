// The file-properties text.
#include "shellui/WuFilePropText.h"

#include "foundation/WuPrintF.h"

void FillFilePropertiesText(HWND edit, LPCWSTR path, IWuReadFile* reader,
                            IWuFileIOMgrForApp* manager, DWORD flags, BOOL diagnostic) {
  (void)path;
  (void)reader;
  (void)manager;
  (void)flags;
  (void)diagnostic;
  WuMEditPrintF(edit, nullptr);
}
