// The link and bitmap static control (see WuStaticCtl.h).
#include "foundation/WuStaticCtl.h"

#include <cstring>

#include "platform/kernel/error.h"
#include "platform/gdi/gdi.h"

namespace {

// Window extra slot holding the bitmap handle (0 for the text form).
constexpr int kBitmapSlot = 0;

// The bitmap named by creation data, or NULL. `data` points at the 16-bit
// size, then the 16-bit value 1 and a 4- or 8-byte handle.
HBITMAP BitmapFromCreationData(const BYTE* data) {
  if (!data) return nullptr;
  WORD size = 0, kind = 0;
  std::memcpy(&size, data, 2);
  if (size < 4) return nullptr;
  std::memcpy(&kind, data + 2, 2);
  if (kind != 1) return nullptr;
  uint64_t handle = 0;
  if (size >= 10) {
    std::memcpy(&handle, data + 4, 8);
  } else if (size >= 6) {
    uint32_t small = 0;
    std::memcpy(&small, data + 4, 4);
    handle = small;
  } else {
    return nullptr;
  }
  return reinterpret_cast<HBITMAP>(static_cast<uintptr_t>(handle));
}

void Paint(HWND window) {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(window, &paint);
  if (!dc) return;
  RECT client{};
  GetClientRect(window, &client);
  HBITMAP bitmap = reinterpret_cast<HBITMAP>(GetWindowLongPtrW(window, kBitmapSlot));
  if (bitmap) {
    HDC memory = CreateCompatibleDC(dc);
    if (memory) {
      HGDIOBJ old = SelectObject(memory, bitmap);
      BitBlt(dc, 0, 0, client.right, client.bottom, memory, 0, 0, SRCCOPY);
      SelectObject(memory, old);
      DeleteDC(memory);
    }
  } else {
    WCHAR text[1024];
    int n = GetWindowTextW(window, text, 1024);
    HGDIOBJ font = reinterpret_cast<HGDIOBJ>(SendMessageW(window, WM_GETFONT, 0, 0));
    HGDIOBJ old = font ? SelectObject(dc, font) : nullptr;
    SetBkMode(dc, TRANSPARENT);
    DrawTextW(dc, text, n, &client, DT_LEFT | DT_WORDBREAK | DT_NOPREFIX);
    if (old) SelectObject(dc, old);
  }
  EndPaint(window, &paint);
}

LRESULT StaticProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_CREATE: {
      const CREATESTRUCTW* create = reinterpret_cast<const CREATESTRUCTW*>(lparam);
      HBITMAP bitmap =
          BitmapFromCreationData(static_cast<const BYTE*>(create ? create->lpCreateParams : nullptr));
      SetWindowLongPtrW(window, kBitmapSlot, reinterpret_cast<LONG_PTR>(bitmap));
      return 0;
    }
    case WM_LBUTTONUP: {
      HWND parent = GetParent(window);
      if (parent) {
        NMHDR header{window, static_cast<UINT_PTR>(GetDlgCtrlID(window)), WUSTATIC_NOTIFY_CLICK};
        SendMessageW(parent, WM_NOTIFY, header.idFrom, reinterpret_cast<LPARAM>(&header));
      }
      return 0;
    }
    case WM_PAINT:
      Paint(window);
      return 0;
    case WM_NCDESTROY: {
      HBITMAP bitmap = reinterpret_cast<HBITMAP>(SetWindowLongPtrW(window, kBitmapSlot, 0));
      if (bitmap) DeleteObject(bitmap);
      break;
    }
    default:
      break;
  }
  return DefWindowProcW(window, message, wparam, lparam);
}

}  // namespace

BOOL WuStaticCtl_Register(HINSTANCE instance) {
  WNDCLASSW wc{};
  wc.style = CS_GLOBALCLASS;
  wc.lpfnWndProc = StaticProc;
  wc.cbWndExtra = sizeof(LONG_PTR);
  wc.hInstance = instance;
  wc.hCursor = LoadCursorW(nullptr, IDC_HAND);
  wc.lpszClassName = WUSTATIC_CLASS;
  if (RegisterClassW(&wc)) return TRUE;
  return GetLastError() == ERROR_CLASS_ALREADY_EXISTS ? TRUE : FALSE;
}

BOOL WuStaticCtl_Unregister(HINSTANCE instance) {
  return UnregisterClassW(WUSTATIC_CLASS, instance);
}

HBITMAP WuStaticCtl_GetBitmap(HWND control) {
  return reinterpret_cast<HBITMAP>(GetWindowLongPtrW(control, kBitmapSlot));
}
