// What front ends do with a toolbar's buttons: name them by their tips and
// click them (see frontend.h). The toolbar itself is in platform/comctl/;
// it is reached only through the messages of control_messages.h.
#include "platform/user/frontend.h"

#include <string>

#include "platform/kernel/resource.h"
#include "platform/user/control_messages.h"

namespace platform {

namespace {

// The most units of a tip read through a pointer the answer gives.
constexpr size_t kMaxTip = 1024;
// wParam of a mouse message while the left button is held.
constexpr WPARAM kLeftButtonHeld = 0x0001;

std::u16string Bounded(const WCHAR* text, size_t limit) {
  size_t n = 0;
  while (n < limit && text[n]) ++n;
  return std::u16string(text, n);
}

// The button of a command, or FALSE when there is none.
bool ButtonOf(HWND toolbar, int command, TBBUTTON* button) {
  LRESULT index = SendMessageW(toolbar, TB_COMMANDTOINDEX, static_cast<WPARAM>(command), 0);
  return index >= 0 && SendMessageW(toolbar, TB_GETBUTTON, static_cast<WPARAM>(index),
                                    reinterpret_cast<LPARAM>(button)) != FALSE;
}

}  // namespace

std::u16string ToolbarButtonTip(HWND toolbar, int command) {
  if (!toolbar) return std::u16string();
  NMTTDISPINFOW info{};
  info.hdr = NMHDR{toolbar, static_cast<UINT_PTR>(command), TTN_GETDISPINFOW};
  info.lpszText = info.szText;
  SendMessageW(toolbar, WM_NOTIFY, static_cast<WPARAM>(command), reinterpret_cast<LPARAM>(&info));
  if (info.lpszText == info.szText) return Bounded(info.szText, sizeof(info.szText) / sizeof(WCHAR));
  if (IS_INTRESOURCE(info.lpszText)) {
    // A string resource of the answer's module.
    UINT id = static_cast<UINT>(reinterpret_cast<ULONG_PTR>(info.lpszText));
    if (!info.hinst || id == 0) return std::u16string();
    WCHAR buffer[256];
    int n = LoadStringW(info.hinst, id, buffer, 256);
    return n > 0 ? std::u16string(buffer, static_cast<size_t>(n)) : std::u16string();
  }
  if (info.lpszText == reinterpret_cast<LPWSTR>(static_cast<INT_PTR>(-1))) return std::u16string();  // no answer
  return Bounded(info.lpszText, kMaxTip);
}

bool PressToolbarButton(HWND toolbar, int command) {
  if (!toolbar || !IsWindowVisible(toolbar) || !IsWindowEnabled(toolbar)) return false;
  TBBUTTON button{};
  if (!ButtonOf(toolbar, command, &button)) return false;
  if ((button.fsStyle & BTNS_SEP) || (button.fsState & TBSTATE_HIDDEN) || !(button.fsState & TBSTATE_ENABLED))
    return false;
  RECT r{};
  if (!SendMessageW(toolbar, TB_GETRECT, static_cast<WPARAM>(command), reinterpret_cast<LPARAM>(&r))) return false;
  LPARAM at = MAKELPARAM(static_cast<WORD>((r.left + r.right) / 2), static_cast<WORD>((r.top + r.bottom) / 2));
  SendMessageW(toolbar, WM_LBUTTONDOWN, kLeftButtonHeld, at);
  SendMessageW(toolbar, WM_LBUTTONUP, 0, at);
  return true;
}

}  // namespace platform
