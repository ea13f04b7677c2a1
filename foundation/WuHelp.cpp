#include "foundation/WuHelp.h"

#include <string>

#include "foundation/WuKernelState.h"
#include "foundation/WuLang.h"
#include "foundation/WuPath.h"
#include "foundation/WuPathStrings.h"
#include "foundation/WuString.h"
#include "foundation/WuSystem.h"
#include "platform/comctl/commctrl.h"
#include "platform/kernel/cpu.h"
#include "platform/kernel/files.h"
#include "platform/gdi/gdi.h"
#include "platform/shell/help.h"
#include "platform/kernel/locale.h"
#include "platform/kernel/module.h"
#include "platform/registry/registry.h"
#include "platform/shell/shell.h"

namespace {

// The product-information service: the page and its queries.
constexpr WCHAR kProductInfoPage[] = u"https://www.example.com/productinfo.asp";
constexpr WCHAR kProductName[] = u"WuFoundation";
// The technical-support address, both the recipient's name and address.
constexpr WCHAR kSupportAddress[] = u"support@example.com";

constexpr WCHAR kSharedInfoKey[] = u"Software\\Talvene\\Shared Information";
constexpr WCHAR kPopupTopic[] = u"::/Popup.txt";

// Mail texts: file paths in bytes, the other texts in characters.
constexpr int kMailPathBytes = 260;
constexpr int kMailTextChars = 255;

// The default help file of each type (WinHelp, HTML help).
WCHAR g_help_file[2][MAX_PATH];
// The help control, loaded on first use and kept.
HMODULE g_help_control = nullptr;

bool KnownType(int type) { return type == WUHELP_WINHELP || type == WUHELP_HTMLHELP; }

// WinHelp is gone from version 6.0 on.
bool WinHelpRefused(int type) {
  return type == WUHELP_WINHELP && WuOSVersionAtLeast(VER_PLATFORM_WIN32_NT, 6, 0, 0);
}

bool Exists(LPCWSTR path) { return path[0] && WuDoesFileExist(path); }

bool EqualsNoCase(LPCWSTR a, LPCWSTR b) {
  auto fold = [](WCHAR c) -> WCHAR { return c >= u'A' && c <= u'Z' ? c + 32 : c; };
  for (; *a && *b; ++a, ++b)
    if (fold(*a) != fold(*b)) return false;
  return *a == *b;
}

// Copies `text` into the buffer when it fits whole.
bool Store(LPWSTR buffer, int size, const std::u16string& text) {
  if (static_cast<int>(text.size()) >= size) return false;
  WuStrCpyN(buffer, text.c_str(), size);
  return true;
}

// Replaces the path's file name with `name` (bounded).
void ReplaceFileName(LPWSTR path, int size, LPCWSTR name) {
  WCHAR* at = WuGetFileNamePtrW(path);
  int used = static_cast<int>(at - path);
  WuStrCpyN(at, name, size - used);
}

// Sets the extension of the type; other types keep the path's.
void SetTypeExtension(int type, LPWSTR path, int size) {
  if (type == WUHELP_WINHELP) WuReplaceExtensionOnPathName(path, size, u".hlp");
  if (type == WUHELP_HTMLHELP) WuReplaceExtensionOnPathName(path, size, u".chm");
}

// Replaces the path by its first existing language variant; false when
// none is sought or none exists.
bool UseLanguageVariant(LPWSTR path, int size) {
  WCHAR abbrev[16] = {};
  if (!WuLang_GetLangAbbrev(WuKernel_GetLangHandle(), abbrev, 16)) abbrev[0] = 0;
  std::u16string lang = abbrev;
  if (lang.empty() || EqualsNoCase(abbrev, u"enu")) return false;
  std::u16string whole = path;
  if (static_cast<int>(whole.size() + lang.size()) >= size) return false;
  size_t dot = static_cast<size_t>(WuGetFileNameExtensionPtrW(path) - path);
  std::u16string stem = whole.substr(0, dot);
  std::u16string ext = whole.substr(dot);
  for (const std::u16string& candidate : {stem + lang + ext, stem + u"_" + lang + ext}) {
    if (WuDoesFileExist(candidate.c_str())) return Store(path, size, candidate);
  }
  std::u16string pattern = stem + lang.substr(0, lang.size() - 1) + u"*" + ext;
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW(pattern.c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return false;
  FindClose(search);
  size_t name_at = static_cast<size_t>(WuGetFileNamePtrW(path) - path);
  return Store(path, size, whole.substr(0, name_at) + found.cFileName);
}

// The shared help folder, when the registry names one that exists.
bool SharedHelpFolder(LPWSTR folder, int size) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSharedInfoKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
    return false;
  DWORD type = REG_NONE;
  DWORD bytes = static_cast<DWORD>((size - 1) * sizeof(WCHAR));
  LONG error = RegQueryValueExW(key, u"HelpFolder", nullptr, &type,
                                reinterpret_cast<BYTE*>(folder), &bytes);
  RegCloseKey(key);
  if (error != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) return false;
  folder[bytes / sizeof(WCHAR)] = 0;  // terminated even when stored without one
  return folder[0] && WuIsDirectory(folder);
}

// The help control's entry, loading the control on first use.
HTMLHELPW_FN HtmlHelpEntry() {
  if (!g_help_control) g_help_control = LoadLibraryW(u"HHCTRL.OCX");
  if (!g_help_control) return nullptr;
  auto entry = reinterpret_cast<HTMLHELPW_FN>(GetProcAddress(g_help_control, "HtmlHelpW"));
  if (!entry) {
    FreeLibrary(g_help_control);
    g_help_control = nullptr;
  }
  return entry;
}

// The help file of a call: the one given, else the type's default.
LPCWSTR HelpFileOf(int type, LPCWSTR file) { return file ? file : g_help_file[type]; }

// The help id of a control in a {control id, help id} list ended by a 0
// control id, else the default.
DWORD MapHelpId(const DWORD* map, int control_id, DWORD default_id) {
  for (; map && map[0] != 0; map += 2)
    if (map[0] == static_cast<DWORD>(control_id)) return map[1];
  return default_id;
}

// A text in the ANSI code page, cut to `limit` bytes (terminator included).
std::string Ansi(LPCWSTR text, int limit) {
  if (!text) return std::string();
  int whole = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (whole <= 0) return std::string();
  std::string out(static_cast<size_t>(whole), '\0');
  WideCharToMultiByte(CP_ACP, 0, text, -1, out.data(), whole, nullptr, nullptr);
  out.resize(std::char_traits<char>::length(out.c_str()));
  if (static_cast<int>(out.size()) >= limit) out.resize(static_cast<size_t>(limit - 1));
  return out;
}

// A text cut to `chars` characters, then in the ANSI code page.
std::string AnsiChars(LPCWSTR text, int chars) {
  if (!text) return std::string();
  std::u16string cut(text);
  if (static_cast<int>(cut.size()) > chars) cut.resize(static_cast<size_t>(chars));
  return Ansi(cut.c_str(), chars * 4 + 1);
}

// Sends a message through the mail library's send dialog, keeping the
// window disabled and the mouse captured meanwhile.
HRESULT SendThroughMailLibrary(HWND window, MapiMessage* message) {
  HMODULE library = LoadLibraryW(u"MAPI32.DLL");
  if (!library) return E_FAIL;
  auto send = reinterpret_cast<LPMAPISENDMAIL>(GetProcAddress(library, "MAPISendMail"));
  if (!send) {
    FreeLibrary(library);
    return E_FAIL;
  }
  HCURSOR previous = SetCursor(LoadCursorW(nullptr, IDC_WAIT));
  if (window) {
    EnableWindow(window, FALSE);
    SetCapture(window);
  }
  SetFocus(nullptr);
  ULONG result = send(0, reinterpret_cast<ULONG_PTR>(window), message,
                      MAPI_LOGON_UI | MAPI_DIALOG, 0);
  if (window) {
    ReleaseCapture();
    EnableWindow(window, TRUE);
    SetActiveWindow(GetDesktopWindow());
    SetActiveWindow(window);
    SetFocus(window);
  }
  SetCursor(previous);
  FreeLibrary(library);
  // A failed logon is a failure, not a success; the user's cancel is not.
  return result == SUCCESS_SUCCESS || result == MAPI_USER_ABORT ? S_OK : E_FAIL;
}

// Sends a message with the subject and at most one attachment and one
// recipient.
HRESULT SendMail(HWND window, LPCWSTR subject, MapiFileDesc* attachment, MapiRecipDesc* recipient) {
  std::string subject_text = AnsiChars(subject, kMailTextChars);
  MapiMessage message = {};
  message.lpszSubject = subject_text.data();
  message.nFileCount = attachment ? 1 : 0;
  message.lpFiles = attachment;
  message.nRecipCount = recipient ? 1 : 0;
  message.lpRecips = recipient;
  return SendThroughMailLibrary(window, &message);
}

}  // namespace

void WuHelp_SetHelpFilePath(int type, LPCWSTR path) {
  if (!KnownType(type) || WinHelpRefused(type)) return;
  WuStrCpyN(g_help_file[type], path ? path : u"", MAX_PATH);
}

int WuHelp_GetHelpFilePath(int type, LPWSTR buffer, int size) {
  if (!buffer || size <= 0) return 0;
  if (!KnownType(type) || WinHelpRefused(type)) {
    buffer[0] = 0;
    return 0;
  }
  return WuStrCpyNLen(buffer, g_help_file[type], size);
}

BOOL WuHelp_CreateHelpFilePath(int type, HMODULE module, LPWSTR buffer, int size, LPCWSTR file,
                               BOOL no_variant) {
  if (!buffer || size <= 0) return FALSE;
  buffer[0] = 0;
  if (WinHelpRefused(type)) return FALSE;
  DWORD length = WuGetModuleFileName(module, buffer, static_cast<DWORD>(size));
  if (length == 0 || length >= static_cast<DWORD>(size)) {
    buffer[0] = 0;
    return FALSE;
  }
  if (file) ReplaceFileName(buffer, size, file);
  SetTypeExtension(type, buffer, size);
  if (!no_variant) UseLanguageVariant(buffer, size);
  return TRUE;
}

BOOL WuHelp_CreateSharedHelpFilePath(int type, HMODULE module, LPWSTR buffer, int size,
                                     LPCWSTR file, BOOL no_variant) {
  if (!buffer || size <= 0) return FALSE;
  buffer[0] = 0;
  if (WinHelpRefused(type)) return FALSE;
  if (!SharedHelpFolder(buffer, size)) {
    buffer[0] = 0;
    return FALSE;
  }
  WuAddSlashToPathName(buffer, size);
  WCHAR name[MAX_PATH];
  if (!file) {
    if (WuGetModuleFileName(module, name, MAX_PATH) == 0) {
      buffer[0] = 0;
      return FALSE;
    }
    file = WuGetFileNamePtrW(name);
  }
  WuStrCatN(buffer, file, size);
  SetTypeExtension(type, buffer, size);
  if (!no_variant) UseLanguageVariant(buffer, size);
  return TRUE;
}

BOOL WuHelp_CreateHelpFilePathEX(int type, HMODULE module, LPWSTR buffer, int size, LPCWSTR file,
                                 BOOL no_variant) {
  if (WuHelp_CreateSharedHelpFilePath(type, module, buffer, size, file, no_variant)) return TRUE;
  return WuHelp_CreateHelpFilePath(type, module, buffer, size, file, no_variant);
}

BOOL WuHelp_CreateUnsharedHelpFilePath(int type, HMODULE module, LPWSTR buffer, int size) {
  if (!WuHelp_CreateHelpFilePath(type, module, buffer, size, nullptr, FALSE)) return FALSE;
  if (Exists(buffer)) return TRUE;
  // Beside the main program instead, under the module's own file name.
  WCHAR module_file[MAX_PATH];
  if (WuGetModuleFileName(module, module_file, MAX_PATH) == 0) return FALSE;
  if (WuGetModulePath(nullptr, buffer, static_cast<DWORD>(size)) == 0) return FALSE;
  WuStrCatN(buffer, WuGetFileNamePtrW(module_file), size);
  SetTypeExtension(type, buffer, size);
  UseLanguageVariant(buffer, size);
  return Exists(buffer) ? TRUE : FALSE;
}

BOOL WuHelp_CreatePluginHelpFilePath(int type, HMODULE module, LPWSTR buffer, int size,
                                     BOOL prefer_shared) {
  if (!buffer || size <= 0) return FALSE;
  for (int pass = 0; pass < 2; ++pass) {
    bool shared = (pass == 0) == (prefer_shared != FALSE);
    if (shared) {
      if (WuHelp_CreateSharedHelpFilePath(type, module, buffer, size, nullptr, FALSE) &&
          Exists(buffer))
        return TRUE;
    } else if (WuHelp_CreateUnsharedHelpFilePath(type, module, buffer, size)) {
      return TRUE;
    }
  }
  buffer[0] = 0;
  return FALSE;
}

BOOL WuHelp_ContextHelp(int type, HWND window, DWORD_PTR data, UINT command, LPCWSTR file) {
  if (!KnownType(type) || WinHelpRefused(type)) return 0;
  LPCWSTR path = HelpFileOf(type, file);
  if (!path[0]) return 0;
  if (type == WUHELP_WINHELP) {
    if ((command == 0 || command == HELP_QUIT) && !WuDoesFileExist(path)) return 0;
    return WinHelpW(window, path, command, data);
  }
  HTMLHELPW_FN html_help = HtmlHelpEntry();
  if (!html_help) return 0;
  HWND help_window = html_help(GetDesktopWindow(), path, command, data);
  if (!help_window) return 0;
  BringWindowToTop(help_window);
  return TRUE;
}

BOOL WuHelp_ContextPopupHelp(int type, HWND window, DWORD default_id, int control_id,
                             const DWORD* map, LPCWSTR file) {
  if (!KnownType(type) || WinHelpRefused(type)) return 0;
  LPCWSTR path = HelpFileOf(type, file);
  if (!path[0]) return 0;
  DWORD help_id = 0;
  UINT command = HELP_QUIT;  // WinHelp without a map closes its pop-up
  if (type != WUHELP_WINHELP || map) {
    if (control_id == 0 || control_id == -1) return 0;
    help_id = MapHelpId(map, control_id, default_id);
    if (help_id == 0) return 0;
    command = type == WUHELP_WINHELP ? HELP_CONTEXTPOPUP : HH_DISPLAY_TEXT_POPUP;
  }
  if (type == WUHELP_WINHELP) return WinHelpW(window, path, command, help_id);

  HH_POPUP popup = {};
  popup.cbStruct = sizeof(popup);
  popup.idString = help_id;
  GetCursorPos(&popup.pt);
  popup.clrForeground = static_cast<COLORREF>(-1);
  popup.clrBackground = static_cast<COLORREF>(-1);
  popup.rcMargins = {-1, -1, -1, -1};
  popup.pszFont = u"MS Shell Dlg, 8";
  std::u16string topic = std::u16string(path) + kPopupTopic;
  HTMLHELPW_FN html_help = HtmlHelpEntry();
  if (!html_help) return 0;
  HWND popup_window = html_help(window, topic.c_str(), command, reinterpret_cast<DWORD_PTR>(&popup));
  if (window) SetFocus(window);
  return popup_window ? TRUE : FALSE;
}

BOOL WuHelp_HitTestToolbar(HWND toolbar, HELPINFO* info) {
  if (!toolbar || !info) return FALSE;
  POINT point = info->MousePos;
  if (!ScreenToClient(toolbar, &point)) return FALSE;
  LRESULT count = SendMessageW(toolbar, TB_BUTTONCOUNT, 0, 0);
  for (LRESULT i = 0; i < count; ++i) {
    RECT rect = {};
    if (!SendMessageW(toolbar, TB_GETITEMRECT, static_cast<WPARAM>(i),
                      reinterpret_cast<LPARAM>(&rect)))
      continue;
    if (point.x < rect.left || point.x >= rect.right || point.y < rect.top ||
        point.y >= rect.bottom)
      continue;
    TBBUTTON button = {};
    if (!SendMessageW(toolbar, TB_GETBUTTON, static_cast<WPARAM>(i),
                      reinterpret_cast<LPARAM>(&button)) ||
        button.idCommand == 0)
      return FALSE;
    info->iCtrlId = button.idCommand;
    return TRUE;
  }
  return FALSE;
}

HINSTANCE Internet_BrowseWebPage(HWND window, LPCWSTR page) {
  (void)window;
  std::u16string address;
  uintptr_t number = reinterpret_cast<uintptr_t>(page);
  if (number < 0x10000) {
    // A page number. Numbers outside the service's pages name no address
    // and are refused rather than read as one.
    static const WCHAR* const kQueries[] = {u"Place=News", u"Place=FAQ", u"Place=Support",
                                            u"Place=Home"};
    if (number >= WUWEB_NEWS && number <= WUWEB_HOME)
      address = std::u16string(kProductInfoPage) + u"?" + kQueries[number - WUWEB_NEWS];
    else if (number == WUWEB_PRODUCT)
      address = std::u16string(kProductInfoPage) + u"?Product=" + kProductName;
    else
      return reinterpret_cast<HINSTANCE>(static_cast<uintptr_t>(SE_ERR_FNF));
  } else {
    address = page;
  }
  WCHAR windows_folder[MAX_PATH] = {};
  UINT length = GetWindowsDirectoryW(windows_folder, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) windows_folder[0] = 0;
  return ShellExecuteW(GetDesktopWindow(), u"open", address.c_str(), nullptr,
                       windows_folder[0] ? windows_folder : nullptr, SW_SHOWDEFAULT);
}

HRESULT Internet_MailFile(HWND window, LPCWSTR path, LPCWSTR name, LPCWSTR subject) {
  std::string path_text = Ansi(path, kMailPathBytes);
  std::string name_text = Ansi(name, kMailPathBytes);
  MapiFileDesc attachment = {};
  attachment.nPosition = static_cast<ULONG>(-1);
  attachment.lpszPathName = path_text.data();
  attachment.lpszFileName = name_text.data();
  return SendMail(window, subject, &attachment, nullptr);
}

HRESULT Internet_SendMail(HWND window, LPCWSTR subject, LPCWSTR recipient_name,
                          LPCWSTR recipient_address) {
  std::string name_text = AnsiChars(recipient_name, kMailTextChars);
  std::string address_text = AnsiChars(recipient_address, kMailTextChars);
  MapiRecipDesc recipient = {};
  recipient.ulRecipClass = MAPI_TO;
  recipient.lpszName = name_text.data();
  recipient.lpszAddress = address_text.data();
  return SendMail(window, subject, nullptr, &recipient);
}

HRESULT Internet_SendFeedback(HWND window, LPCWSTR subject) {
  return Internet_SendMail(window, subject, kSupportAddress, kSupportAddress);
}
