// Resolving shortcut files through the shared shell link. The shared object
// holds one link at a time, so one process-wide lock covers a call from its
// Load to its last getter: two threads resolving at once each read their
// own link.
#include "shellui/WuLnkFile.h"

#include <mutex>

#include "foundation/WuPathStrings.h"
#include "foundation/WuShellLink.h"
#include "foundation/WuString.h"
#include "platform/com/oleauto.h"
#include "platform/com/persist.h"
#include "platform/kernel/locale.h"
#include "platform/shell/shelllink.h"

namespace {

// Held from Load to the last read of the shared link.
std::mutex g_resolve_lock;

// The failure answer: the path itself in the output.
BOOL CopyPath(LPCWSTR path, LPWSTR out, int size) {
  if (out && out != path && size > 0) WuStrCpyN(out, path ? path : u"", size);
  return FALSE;
}

// Resolve: no window, and a time-out of 4 ms in the high word.
constexpr DWORD kResolveFlags = SLR_NO_UI | (4u << 16);

}  // namespace

BOOL WuIsLnkFile(LPCWSTR path, LPWSTR out, int size, DWORD flags, tWUSHORTCUTINFO* info) {
  if (!path) return CopyPath(path, out, size);
  if (lstrcmpiW(WuGetFileNameExtensionPtrW(WuGetFileNamePtrW(path)), u".lnk") != 0)
    return CopyPath(path, out, size);
  if (flags == 0) flags = SLGP_RAWPATH;

  IShellLinkW* link = nullptr;
  if (FAILED(WuGetShellLink(&link))) return CopyPath(path, out, size);
  BOOL resolved = FALSE;
  IPersistFile* file = nullptr;
  if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
    BSTR name = SysAllocString(path);
    if (name) {
      std::lock_guard<std::mutex> hold(g_resolve_lock);
      if (SUCCEEDED(file->Load(name, STGM_READ)) && link->Resolve(nullptr, kResolveFlags) == S_OK &&
          out && size > 0 && SUCCEEDED(link->GetPath(out, size, nullptr, flags))) {
        resolved = TRUE;
        if (info) {
          if (reinterpret_cast<LPWSTR>(info) != out) WuStrCpyN(info->targetPath, out, 520);
          link->GetArguments(info->arguments, 1024);
          link->GetIconLocation(info->iconLocation, 260, &info->iconIndex);
          link->GetWorkingDirectory(info->workingDir, 260);
        }
      }
    }
    SysFreeString(name);
    file->Release();
  }
  link->Release();
  return resolved ? TRUE : CopyPath(path, out, size);
}
