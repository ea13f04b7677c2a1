// Project-link info and application launch: loading the link of a media
// file, the argument text, the hand-over to a running instance and the
// process start, and the launch that ties them together.
#include "shellui/WuProjLinkLaunch.h"

#include <vector>

#include "foundation/WuErrorHandler.h"
#include "foundation/WuKernelState.h"
#include "foundation/WuPathStrings.h"
#include "foundation/WuResPool.h"
#include "foundation/WuString.h"
#include "mediaformats/WuFMMeta.h"
#include "platform/kernel/files.h"
#include "platform/kernel/process.h"
#include "shellui/WuProjLinkInternal.h"
#include "shellui/WuShellUIPool.h"

namespace {

// A text assembled within a capacity; `overflow` records whether anything
// did not fit.
struct Builder {
  WCHAR* out;
  int size;  // capacity with the terminator
  int n = 0;
  bool overflow = false;
  void Add(WCHAR c) {
    if (n < size - 1)
      out[n++] = c;
    else
      overflow = true;
    out[n] = 0;
  }
  void Add(const WCHAR* text) {
    for (; text && *text; ++text) Add(*text);
  }
  void AddQuoted(const WCHAR* text) {
    Add(u'"');
    Add(text);
    Add(u'"');
  }
};

// Case-insensitive (ASCII) comparison, as window class names compare.
bool SameClassName(const WCHAR* a, const WCHAR* b) {
  for (;; ++a, ++b) {
    WCHAR ca = *a, cb = *b;
    if (ca >= u'A' && ca <= u'Z') ca = static_cast<WCHAR>(ca - u'A' + u'a');
    if (cb >= u'A' && cb <= u'Z') cb = static_cast<WCHAR>(cb - u'A' + u'a');
    if (ca != cb) return false;
    if (!ca) return true;
  }
}

struct WindowSearch {
  const WCHAR* className;
  std::vector<HWND> found;
};

BOOL CollectWindow(HWND window, LPARAM data) {
  auto* search = reinterpret_cast<WindowSearch*>(data);
  WCHAR name[257];
  name[0] = 0;
  if (GetClassNameW(window, name, 257) > 0 && SameClassName(name, search->className))
    search->found.push_back(window);
  return TRUE;
}

}  // namespace

// ---- Finding the link -----------------------------------------------------------------------

HRESULT WuGetProjectLinkInfo(LPWSTR path, int size, tWULAUNCHAPPINFO* request,
                             CWuLinkProjectInfo* info, int* loaded) {
  if (loaded) *loaded = 0;
  if (!info || !loaded || !path || size < 1 || !request || !request->manager ||
      (!request->mediaPath && !request->reader))
    return E_INVALIDARG;
  path[0] = 0;
  if (request->mediaPath) WuStrCpyN(path, request->mediaPath, size);

  IWuReadFile* reader = request->reader;
  if (reader) {
    reader->AddRef();
    WCHAR name[WULAUNCH_PATH_CHARS] = {};
    if (SUCCEEDED(reader->GetFileName(name))) {
      name[WULAUNCH_PATH_CHARS - 1] = 0;  // whatever the reader wrote
      if (name[0]) WuStrCpyN(path, name, size);
    }
  } else if (path[0]) {
    if (FAILED(request->manager->OpenFile(path, &reader, 0))) reader = nullptr;
  }

  if (reader) {
    IWuReadMeta* meta = nullptr;
    HRESULT hr = reader->GetMetaReader(&meta);
    if (SUCCEEDED(hr) && meta) {
      hr = ProjectLinkReadMeta_LoadInfo(meta, info, loaded);
      meta->Release();
      reader->Release();
      return hr;
    }
    reader->Release();
  }

  if (!path[0]) return WU_E_UNSUPPORTED_FORMAT;
  WCHAR sideName[WULAUNCH_PATH_CHARS + 8];
  HRESULT hr = WuFMMeta_CreateMetaName(path, sideName, WULAUNCH_PATH_CHARS + 8, 1);
  if (FAILED(hr)) return hr;
  HANDLE file = CreateFileW(sideName, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return S_OK;
  hr = ProjectLinkRiff_LoadInfo(file, info, loaded);
  CloseHandle(file);
  return hr;
}

// ---- Texts ------------------------------------------------------------------------------------

HRESULT ProjLink_BuildArguments(LPCWSTR commandLine, LPCWSTR mediaPath, LPWSTR out, int size) {
  if (!out || size < 1) return E_INVALIDARG;
  out[0] = 0;
  if (!mediaPath) mediaPath = u"";
  Builder text{out, size};
  if (!commandLine || !commandLine[0]) {
    text.AddQuoted(mediaPath);
    return text.overflow ? WU_E_BUFFER_TOO_SMALL : S_OK;
  }
  // Does the command line hold a "%s"? ("%%" is a literal '%', so "%%s" is
  // not one.)
  bool hasPath = false;
  for (const WCHAR* p = commandLine; *p; ++p) {
    if (p[0] == u'%' && p[1] == u'%') {
      ++p;
    } else if (p[0] == u'%' && p[1] == u's') {
      hasPath = true;
      break;
    }
  }
  if (!hasPath) {
    text.Add(commandLine);
    text.Add(u' ');
    text.AddQuoted(mediaPath);
    return text.overflow ? WU_E_BUFFER_TOO_SMALL : S_OK;
  }
  // The command line is data from the media file: nothing but "%s" and
  // "%%" is interpreted.
  for (const WCHAR* p = commandLine; *p; ++p) {
    if (p[0] == u'%' && p[1] == u's') {
      text.Add(mediaPath);
      ++p;
    } else if (p[0] == u'%' && p[1] == u'%') {
      text.Add(u'%');
      ++p;
    } else {
      text.Add(*p);
    }
  }
  return text.overflow ? WU_E_BUFFER_TOO_SMALL : S_OK;
}

// ---- Hand-over and start ------------------------------------------------------------------------

HRESULT ProjLink_SendToCreatorWindow(CWuLinkProjectInfo* info) {
  if (!info) return E_INVALIDARG;
  WCHAR className[257];
  WCHAR projectPath[WULAUNCH_PATH_CHARS];
  if (!ProjLink_HasField(info, WULPI_CREATOR_WINDOW_CLASS) ||
      info->GetCreatorAppWindowClassName(className, 257) <= 0)
    return S_OK;
  if (!ProjLink_HasField(info, WULPI_PROJECT_PATH) ||
      info->GetProjectPath(projectPath, WULAUNCH_PATH_CHARS) <= 0)
    return S_OK;

  WindowSearch search{className, {}};
  EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&search));
  DWORD bytes = static_cast<DWORD>((WuStrLenSafe(projectPath) + 1) * sizeof(WCHAR));
  if (bytes > 0x8000) bytes = 0x8000;
  for (HWND window : search.found) {
    COPYDATASTRUCT data{WULAUNCH_COPYDATA_PROJECT, bytes, projectPath};
    if (SendMessageW(window, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data))) return 1;
  }
  return S_OK;
}

HRESULT ProjLink_StartProcess(LPCWSTR appPath, LPCWSTR arguments) {
  if (!appPath || !appPath[0]) return E_INVALIDARG;
  WCHAR command[WULAUNCH_COMMAND_CHARS];
  Builder text{command, WULAUNCH_COMMAND_CHARS};
  text.AddQuoted(appPath);
  if (arguments && arguments[0]) {
    text.Add(u' ');
    text.Add(arguments);
  }
  // A cut command would start the program with other arguments.
  if (text.overflow) return WU_E_BUFFER_TOO_SMALL;
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(nullptr, command, nullptr, nullptr, FALSE, NORMAL_PRIORITY_CLASS, nullptr,
                      nullptr, &startup, &process))
    return WuErrorHandler_TranslateWin32Error(GetLastError());
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return S_OK;
}

// ---- The launch -----------------------------------------------------------------------------------

namespace {

HRESULT Launch(HWND parent, tWULAUNCHAPPINFO* request, CWuLinkProjectInfo* info,
               tWULAUNCHDLGINFO* dlg) {
  // 1. Arguments. A dialog that lets the user locate the project writes
  // the path it picked into the output: it must be there.
  if (!request || !request->manager || (!request->mediaPath && !request->reader))
    return E_INVALIDARG;
  if ((request->flags & WULAUNCH_LOCATE_PROJECT) &&
      (!request->projectPath || request->projectPathSize <= 0))
    return E_INVALIDARG;
  if (request->projectPath && request->projectPathSize > 0) request->projectPath[0] = 0;
  DWORD options = request->options ? request->options : (WULAUNCH_OPT_OWN_APP | WULAUNCH_OPT_SECURITY);

  // 2. The link.
  WCHAR mediaPath[WULAUNCH_PATH_CHARS];
  int loaded = 0;
  HRESULT hr = WuGetProjectLinkInfo(mediaPath, WULAUNCH_PATH_CHARS, request, info, &loaded);
  if (FAILED(hr)) return hr;
  if (!loaded) return WU_E_NOT_FOUND;
  hr = info->ValidateProjectLink();
  if (FAILED(hr)) return hr;

  // 3. The project path.
  dlg->request = request;
  dlg->info = info;
  dlg->parent = parent;
  info->GetProjectPath(dlg->projectPath, WULAUNCH_PATH_CHARS);
  if (request->projectPath && request->projectPathSize > 0)
    WuStrCpyN(request->projectPath, dlg->projectPath, request->projectPathSize);

  // 4. The application of the project's file type.
  const WCHAR* ext = WuGetFileNameExtensionPtrW(WuGetFileNamePtrW(dlg->projectPath));
  hr = WuLaunch_GetAppPathForExt(ext, dlg->appPath, WULAUNCH_PATH_CHARS);
  if (FAILED(hr)) return hr;
  if (!WuDoesFileExist(dlg->appPath)) return WU_E_PROJLINK_APP_MISSING;

  // 5, 6. The argument text.
  std::vector<WCHAR> commandLine(WULAUNCH_ARGS_CHARS);
  info->GetCommandLineW(commandLine.data(), WULAUNCH_ARGS_CHARS);
  if (info->GetCommandLineSize() / 2 + static_cast<DWORD>(WuStrLenSafe(mediaPath)) + 4 > WULAUNCH_ARGS_CHARS)
    return WU_E_BUFFER_TOO_SMALL;
  hr = ProjLink_BuildArguments(commandLine.data(), mediaPath, dlg->arguments, WULAUNCH_ARGS_CHARS);
  if (FAILED(hr)) return hr;

  // 7. One of the library's own applications?
  dlg->knownApp = WuIsKnownOrvoApp(dlg->appPath);
  if ((options & WULAUNCH_OPT_OWN_APP) && !dlg->knownApp) return WU_E_PROJLINK_NOT_OWN_APP;

  // 8. Ask first.
  INT_PTR answer = 1;
  if (request->flags & WULAUNCH_SHOW_DIALOG) {
    WuShellUI_InstallResPool();
    answer = WuResPoolDialogBox(&WuShellUIResPool, WuKernel_GetLangHandle(),
                                MAKEINTRESOURCEW(WUSHELLUI_DLG_RUNAPP), parent,
                                ProjLink_RunDialogProc, reinterpret_cast<LPARAM>(dlg));
    if (answer == -1) return WU_E_RESOURCE_MISSING;  // never shown: not the user's answer
    if (answer != 1) answer = 0;
  }

  // 9. A project that is not where the link says, whatever the answer so
  // far: missing is an error without the locate flag, and with it the
  // user's answer in the Not Found dialog is the one that counts.
  if (ProjLink_HasField(info, WULPI_PROJECT_PATH) && !WuDoesFileExist(dlg->projectPath)) {
    if (!(request->flags & WULAUNCH_LOCATE_PROJECT)) return WU_E_PROJLINK_PROJECT_MISSING;
    WuShellUI_InstallResPool();
    answer = WuResPoolDialogBox(&WuShellUIResPool, WuKernel_GetLangHandle(),
                                MAKEINTRESOURCEW(WUSHELLUI_DLG_NOTFOUND), parent,
                                ProjLink_NotFoundDialogProc, reinterpret_cast<LPARAM>(dlg));
    if (answer == -1) return WU_E_RESOURCE_MISSING;
    if (answer != 1) answer = 0;
    if (answer && dlg->located[0]) {
      // The whole picked path, never the output's bounded copy.
      Builder text{dlg->arguments, WULAUNCH_ARGS_CHARS};
      text.AddQuoted(dlg->located);
      if (text.overflow) return WU_E_BUFFER_TOO_SMALL;
      // A running instance gets the project where it is now.
      if (FAILED(info->SetProjectPath(dlg->located))) return E_OUTOFMEMORY;
    }
  }

  // 10.
  if ((request->flags & WULAUNCH_CHECK_ONLY) || !answer) return S_OK;

  // 11. A running instance of the creating application.
  if (!(request->flags & WULAUNCH_NO_HANDOVER) && ProjLink_SendToCreatorWindow(info) == 1) return 1;

  // 12. A new process.
  return ProjLink_StartProcess(dlg->appPath, dlg->arguments);
}

}  // namespace

HRESULT WuLaunchApp_ProjLink(HWND parent, tWULAUNCHAPPINFO* request) {
  CWuLinkProjectInfo info;
  auto* dlg = new (std::nothrow) tWULAUNCHDLGINFO{};
  if (!dlg) return E_OUTOFMEMORY;
  HRESULT hr = Launch(parent, request, &info, dlg);
  delete dlg;
  info.FreeMemory();
  return hr;
}
