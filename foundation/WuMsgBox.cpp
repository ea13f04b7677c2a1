// Message boxes: the application record, the answering hooks, the platform
// box with its centring hook, the formatting entry points and the dialog
// font helper. The custom box's dialog lives in WuMsgBoxDlg.cpp.
#include "foundation/WuMsgBox.h"

#include <new>

#include "foundation/WuKernelState.h"
#include "foundation/WuLang.h"
#include "foundation/WuLangRows.h"
#include "foundation/WuLayout.h"
#include "foundation/WuPrintF.h"
#include "foundation/WuString.h"
#include "platform/kernel/locale.h"
#include "platform/kernel/threads.h"

namespace {

constexpr int kCaptionSize = 128;  // default caption: 127 characters and a terminator

// The application record. It belongs to the registered (UI) thread; nothing
// is locked.
struct AppData {
  DWORD thread;                  // thread that called WuMsgBoxSetAppData
  HINSTANCE instance;            // module of the centring hook, instance of the custom box
  HWND main_window;              // default owner (its last active pop-up)
  WUMSGBOXHOOK hook;             // answers boxes instead of the platform, or NULL
  void* hook_data;               // first argument of the hook
  WCHAR caption[kCaptionSize];   // default caption
  HHOOK center_hook;             // centring hook while a platform box is open
  LPCWSTR center_caption;        // caption of the box the centring hook waits for
};

AppData g_app{};

// The owner a box gets: NULL = the main window's last active pop-up (none
// without a live main window), (HWND)-1 = no owner.
HWND ResolveOwner(HWND owner) {
  if (owner == reinterpret_cast<HWND>(-1)) return nullptr;
  if (owner) return owner;
  if (!g_app.main_window || !IsWindow(g_app.main_window)) return nullptr;
  return GetLastActivePopup(g_app.main_window);
}

// The no-UI hook's answer for a button set and default index; -1 when the
// index is beyond the set's buttons.
int NoUIAnswer(UINT style) {
  static const int kSet1[] = {IDOK, IDCANCEL};
  static const int kSet2[] = {IDABORT, IDRETRY, IDIGNORE};
  static const int kSet3[] = {IDYES, IDNO, IDCANCEL};
  static const int kSet4[] = {IDYES, IDNO};
  static const int kSet5[] = {IDRETRY, IDCANCEL};
  static const int kSet10[] = {IDYES, WUIDYESTOALL, IDNO, IDCANCEL};
  static const int kSet11[] = {IDYES, IDNO, WUIDDELETE};
  static const int kSet12[] = {IDYES, IDNO, WUIDNOTOALL, IDCANCEL};
  static const int kSet13[] = {IDYES, WUIDYESTOALL, IDNO, WUIDNOTOALL, IDCANCEL};
  struct Set {
    const int* answers;  // one answer per button
    UINT count;          // number of buttons
  };
  static const Set kSets[16] = {
      {nullptr, 0}, {kSet1, 2},  {kSet2, 3},  {kSet3, 3},  {kSet4, 2}, {kSet5, 2},
      {nullptr, 0}, {nullptr, 0}, {nullptr, 0}, {nullptr, 0}, {kSet10, 4}, {kSet11, 3},
      {kSet12, 4},  {kSet13, 5},  {nullptr, 0}, {nullptr, 0}};
  const Set& set = kSets[style & WUMB_BUTTONSET_MASK];
  if (!set.answers) return IDOK;
  UINT index = (style & WUMB_DEFBUTTON_MASK) >> 8;
  return index < set.count ? set.answers[index] : -1;
}

// The no-UI hook: tells the notification function (its data) about the
// message and answers with the default button, so no box is shown. On any
// thread but the registered one it answers 0.
int NoUIHook(void* data, HWND, LPCWSTR text, LPCWSTR, UINT style) {
  if (GetCurrentThreadId() != g_app.thread) return 0;
  WUMSGBOXNOTIFY notify = reinterpret_cast<WUMSGBOXNOTIFY>(data);
  if (notify) notify(text ? text : u"");
  int answer = NoUIAnswer(style);
  if (answer == -1 && notify) notify(WuGetString(WuKernel_GetLangHandle(), &WuLangRow_MsgBoxInvalidParam));
  return answer;
}

// Centres the platform box the centring hook waits for when it is created,
// then removes itself.
LRESULT CenterHookProc(int code, WPARAM wparam, LPARAM lparam) {
  HHOOK self = g_app.center_hook;
  const CWPSTRUCT* msg = reinterpret_cast<const CWPSTRUCT*>(lparam);
  if (code != HC_ACTION || !msg || msg->message != WM_CREATE) {
    return CallNextHookEx(self, code, wparam, lparam);
  }
  WCHAR cls[16];
  bool ours = false;
  if (g_app.center_caption && GetClassNameW(msg->hwnd, cls, 16) && WuLstrCmpN(cls, u"#32770", 16) == 0) {
    const int length = GetWindowTextLengthW(msg->hwnd);
    if (length == WuStrLenSafe(g_app.center_caption)) {
      WCHAR* title = new (std::nothrow) WCHAR[length + 1];
      if (title) {
        GetWindowTextW(msg->hwnd, title, length + 1);
        ours = WuLstrCmpN(title, g_app.center_caption, length + 1) == 0;
        delete[] title;
      }
    }
  }
  if (!ours) return CallNextHookEx(self, code, wparam, lparam);
  WuWndCenter(msg->hwnd, nullptr, nullptr, WUWC_PARENT | WUWC_THIRD);
  LRESULT result = CallNextHookEx(self, code, wparam, lparam);
  UnhookWindowsHookEx(self);
  g_app.center_hook = nullptr;
  g_app.center_caption = nullptr;
  return result;
}

// The text of a format: formatted into `buffer` (WUPRINTF_MAX characters)
// when it holds '%' or '$', else the format itself.
LPCWSTR FormatText(WCHAR* buffer, LPCWSTR format, va_list args) {
  if (!format) return u"";
  bool needs = false;
  for (LPCWSTR p = format; *p && !needs; ++p) needs = *p == u'%' || *p == u'$';
  if (!needs) return format;
  WuVPrintF(buffer, format, args);
  return buffer;
}

// The text the hook sees for a details-mode box: the message, then the
// details between "<Details>" lines. NULL when out of memory.
WCHAR* JoinDetails(LPCWSTR text, LPCWSTR details) {
  static const WCHAR kOpen[] = u"\r\n<Details>\r\n";
  static const WCHAR kClose[] = u"\r\n</Details>";
  int size = WuStrLenSafe(text) + WuStrLenSafe(details) + WuStrLenSafe(kOpen) + WuStrLenSafe(kClose) + 1;
  WCHAR* joined = new (std::nothrow) WCHAR[size];
  if (!joined) return nullptr;
  joined[0] = 0;
  WuStrCatN(joined, text, size);
  WuStrCatN(joined, kOpen, size);
  WuStrCatN(joined, details, size);
  WuStrCatN(joined, kClose, size);
  return joined;
}

BOOL SetFontOnChild(HWND child, LPARAM font) {
  SendMessageW(child, WM_SETFONT, static_cast<WPARAM>(font), TRUE);
  return TRUE;
}

}  // namespace

// ---- Application record and hooks ------------------------------------------------------

BOOL WuMsgBoxSetAppData(HINSTANCE instance, HWND main_window, LPCWSTR caption) {
  g_app = AppData{};
  g_app.thread = GetCurrentThreadId();
  g_app.instance = instance;
  g_app.main_window = main_window;
  WuStrCpyN(g_app.caption, caption ? caption : u"", kCaptionSize);
  return TRUE;
}

BOOL WuMsgBoxSetHook(WUMSGBOXHOOK hook, void* data) {
  if (GetCurrentThreadId() != g_app.thread) return FALSE;
  g_app.hook = hook;
  g_app.hook_data = data;
  return TRUE;
}

BOOL WuMsgBoxSetNoUIHook(WUMSGBOXNOTIFY notify) {
  if (GetCurrentThreadId() != g_app.thread) return FALSE;
  if (notify) {
    g_app.hook = NoUIHook;
    g_app.hook_data = reinterpret_cast<void*>(notify);
  } else if (g_app.hook == NoUIHook) {
    g_app.hook = nullptr;
    g_app.hook_data = nullptr;
  }
  return TRUE;
}

LPCWSTR WuMsgBox_GetDefaultCaption() { return g_app.caption; }

HINSTANCE WuMsgBox_GetInstance() { return g_app.instance; }

// ---- Platform boxes ------------------------------------------------------------------

int WuMessageBox(HWND owner, LPCWSTR text, LPCWSTR caption, UINT style) {
  owner = ResolveOwner(owner);
  if (g_app.hook) {
    int answer = g_app.hook(g_app.hook_data, owner, text, caption, style);
    if (answer != -1) return answer;
  }
  if (!caption) caption = g_app.caption;
  // A system-modal stop box is shown as it is; otherwise the box is centred
  // on its owner by a hook that waits for its creation.
  HHOOK installed = nullptr;
  if (style != (MB_SYSTEMMODAL | MB_ICONHAND) && !g_app.center_hook) {
    g_app.center_caption = caption;
    installed = SetWindowsHookExW(WH_CALLWNDPROC, CenterHookProc, g_app.instance, GetCurrentThreadId());
    g_app.center_hook = installed;
    if (!installed) g_app.center_caption = nullptr;
  }
  int answer = MessageBoxW(owner, text, caption, style);
  if (installed && g_app.center_hook == installed) {
    UnhookWindowsHookEx(installed);
    g_app.center_hook = nullptr;
    g_app.center_caption = nullptr;
  }
  return answer;
}

int WuMsgBoxV(HWND owner, UINT style, LPCWSTR format, va_list args) {
  WCHAR buffer[WUPRINTF_MAX];
  return WuMessageBox(owner, FormatText(buffer, format, args), nullptr, style);
}

int WuMsgBox(HWND owner, UINT style, LPCWSTR format, ...) {
  va_list args;
  va_start(args, format);
  int answer = WuMsgBoxV(owner, style, format, args);
  va_end(args);
  return answer;
}

int WuMsgBoxId(HWULANG lang, HWND owner, UINT style, UINT id, ...) {
  va_list args;
  va_start(args, id);
  int answer = WuMsgBoxV(owner, style, WuGetString(lang, id), args);
  va_end(args);
  return answer;
}

// ---- The custom box --------------------------------------------------------------------

int WuMsgBox_CustomExV(HWND owner, UINT style, LPCWSTR details, LPCWSTR check_text,
                       BOOL* check_state, LPCWSTR format, va_list args) {
  const bool details_mode = (style & WUMB_DETAILS) == WUMB_DETAILS;
  if (details_mode && !details) return 0;
  if ((style & WUMB_CHECKBOX) && !check_state) return 0;
  owner = ResolveOwner(owner);
  WCHAR buffer[WUPRINTF_MAX];
  LPCWSTR text = FormatText(buffer, format, args);
  if (g_app.hook) {
    WCHAR* joined = details_mode ? JoinDetails(text, details) : nullptr;
    if (details_mode && !joined) return 0;
    int answer = g_app.hook(g_app.hook_data, owner, joined ? joined : text, g_app.caption, style);
    delete[] joined;
    if (answer != -1) return answer;
  }
  WuMsgBoxCustom box{};
  box.style = style;
  box.text = text;
  box.details = details_mode ? details : nullptr;
  box.check_text = check_text;
  box.check_state = (style & WUMB_CHECKBOX) ? check_state : nullptr;
  return WuMsgBox_RunCustom(owner, &box);
}

int WuMsgBox_CustomEx(HWND owner, UINT style, LPCWSTR details, LPCWSTR check_text,
                      BOOL* check_state, LPCWSTR format, ...) {
  va_list args;
  va_start(args, format);
  int answer = WuMsgBox_CustomExV(owner, style, details, check_text, check_state, format, args);
  va_end(args);
  return answer;
}

int WuMsgBox_Custom(HWND owner, UINT style, LPCWSTR details, LPCWSTR format, ...) {
  va_list args;
  va_start(args, format);
  int answer = WuMsgBox_CustomExV(owner, style, details, nullptr, nullptr, format, args);
  va_end(args);
  return answer;
}

// ---- Dialog font ---------------------------------------------------------------------

BOOL WuDlgInitFont(HWND dialog, HFONT font) {
  // Dialogs of the Western code page keep the font their template names.
  if (GetACP() == 1252) return FALSE;
  if (!font) font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  EnumChildWindows(dialog, SetFontOnChild, reinterpret_cast<LPARAM>(font));
  return TRUE;
}
