#include "fileio/WuFileIO.h"
HRESULT WuFio_GetPluginPath(IWuRenderFileClass*, LPWSTR out, DWORD) { out[0] = 0; return static_cast<HRESULT>(0x8004E00A); }
