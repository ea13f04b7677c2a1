// The common controls: the process-wide settings, initialisation, the
// helpers the controls share and the registration of their classes. Each
// control is a file of its own (progress_bar.cpp, tab_control.cpp,
// toolbar.cpp, tree_view.cpp, property_sheets.cpp, image_lists.cpp).
//
// Like the standard controls (platform/user/controls.cpp), each control keeps
// its state in a record whose pointer sits in its first extra bytes, and
// every access is a message on the control's own thread.
#include "platform/comctl/commctrl.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <set>
#include <string>
#include <vector>

#include "platform/comctl/comctl_internal.h"
#include "platform/gdi/gdi.h"
#include "platform/kernel/error.h"
#include "platform/kernel/locale.h"
#include "platform/kernel/resource.h"
#include "platform/user/control_state.h"
#include "platform/user/frontend.h"

namespace {
std::atomic<LANGID> g_mui_language{0};  // the language of the last InitMUILanguage
}  // namespace

void InitMUILanguage(LANGID language) { g_mui_language.store(language); }

namespace platform {
LANGID CommonControlsUILanguage() { return g_mui_language.load(); }
}  // namespace platform

BOOL InitCommonControlsEx(const INITCOMMONCONTROLSEX* init) {
  if (!init || init->dwSize != sizeof(INITCOMMONCONTROLSEX)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  return TRUE;
}

void InitCommonControls() {}

namespace platform {
inline namespace comctl_internal {


// WM_NOTIFY with a header (and what follows it) to the parent.
LRESULT NotifyParent(HWND hwnd, NMHDR* header) {
  header->hwndFrom = hwnd;
  header->idFrom = static_cast<UINT_PTR>(GetDlgCtrlID(hwnd));
  HWND parent = GetParent(hwnd);
  return parent ? SendMessageW(parent, WM_NOTIFY, header->idFrom, reinterpret_cast<LPARAM>(header)) : 0;
}

// The width of a text in a window's font.
int TextWidth(HWND hwnd, const std::u16string& text) {
  HDC dc = CreateCompatibleDC(nullptr);
  if (!dc) return static_cast<int>(text.size()) * 7;
  HFONT font = reinterpret_cast<HFONT>(SendMessageW(hwnd, WM_GETFONT, 0, 0));
  HGDIOBJ old = SelectObject(dc, font ? font : GetStockObject(DEFAULT_GUI_FONT));
  SIZE size{};
  GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
  if (old) SelectObject(dc, old);
  DeleteDC(dc);
  return size.cx;
}

void CopyOut(const std::u16string& text, LPWSTR buffer, int size) {
  if (!buffer || size <= 0) return;
  size_t n = std::min(text.size(), static_cast<size_t>(size - 1));
  text.copy(buffer, n);
  buffer[n] = 0;
}

void Register(LPCWSTR name, WNDPROC proc) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  wc.style = CS_GLOBALCLASS | CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW;
  wc.lpfnWndProc = proc;
  wc.cbWndExtra = sizeof(void*);
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<intptr_t>(COLOR_BTNFACE + 1));
  wc.lpszClassName = name;
  RegisterSystemClass(wc, 0);
}

}  // namespace comctl_internal

void RegisterCommonControlClasses() {
  RegisterProgressBarClass();
  RegisterTabControlClass();
  RegisterToolbarClass();
  RegisterTreeViewClass();
}

}  // namespace platform
