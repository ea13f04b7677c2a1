// The fixture of the menu manager's tests: a host window whose procedure
// routes through a manager with images, accelerators and a state hook.
#pragma once

#include <gtest/gtest.h>

#include <initializer_list>
#include <map>
#include <string>
#include <vector>

#include "shellui/CWuMenuManager.h"
#include "tests/shellui/MenuPopupRoutine.h"

namespace wutest {

// A host's manager: images, accelerators and the state hook by command.
class HostManager : public CWuMenuManager {
 public:
  std::map<UINT, int> images;
  std::map<UINT, _wuhotkey> accelerators;
  int init_calls = 0;
  int MenuMan_GetImageIndex(UINT id) override {
    auto it = images.find(id);
    return it == images.end() ? -1 : it->second;
  }
  void MenuMan_InitMenuState(HWND, HMENU) override { ++init_calls; }
  int MenuMan_GetAcceleratorInfo(UINT id, _wuhotkey* hotkey) override {
    auto it = accelerators.find(id);
    if (it == accelerators.end()) return 0;
    *hotkey = it->second;
    return 1;
  }
};

// The host window's procedure routes through the manager first; what it
// leaves (the application's own owner-drawn items) the window handles.
inline HostManager* g_manager = nullptr;
inline std::vector<ULONG_PTR> g_app_measured;  // item data of WM_MEASUREITEM the window got
inline std::vector<ULONG_PTR> g_app_drawn;     // item data of WM_DRAWITEM the window got
inline std::vector<UINT> g_commands;

inline LRESULT HostProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  LRESULT result = 0;
  if (g_manager && g_manager->MenuMan_HandleMessage(window, message, wParam, lParam, &result))
    return result;
  if (message == WM_MEASUREITEM) {
    auto* m = reinterpret_cast<MEASUREITEMSTRUCT*>(lParam);
    g_app_measured.push_back(m->itemData);
    m->itemWidth = 50;
    m->itemHeight = 30;
    return TRUE;
  }
  if (message == WM_DRAWITEM) {
    g_app_drawn.push_back(reinterpret_cast<DRAWITEMSTRUCT*>(lParam)->itemData);
    return TRUE;
  }
  if (message == WM_COMMAND) g_commands.push_back(LOWORD(wParam));
  return DefWindowProcW(window, message, wParam, lParam);
}

class MenuManager : public ::testing::Test {
 protected:
  void SetUp() override {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = HostProc;
    wc.lpszClassName = u"MenuManHost";
    RegisterClassExW(&wc);
    window_ = CreateWindowExW(0, u"MenuManHost", u"", WS_OVERLAPPEDWINDOW, 0, 0, 300, 200,
                              nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(window_, nullptr);
    gdi_start_ = platform::GdiObjectCount();
    _wumenuman_info info{};
    info.active = 1;
    manager_.MenuMan_SetInfo(&info);
    ASSERT_EQ(manager_.MenuMan_Init(), S_OK);
    g_manager = &manager_;
    g_app_measured.clear();
    g_app_drawn.clear();
    g_commands.clear();
  }
  void TearDown() override {
    g_manager = nullptr;
    manager_.MenuMan_DeInit();
    for (HMENU m : menus_) DestroyMenu(m);
    for (HIMAGELIST l : lists_) ImageList_Destroy(l);
    DestroyWindow(window_);
    UnregisterClassW(u"MenuManHost", nullptr);
  }
  HMENU Popup() {
    HMENU m = CreatePopupMenu();
    menus_.push_back(m);
    return m;
  }
  // A popup of `counts` columns of plain items (ids 100, 101, ...).
  HMENU Columns(std::initializer_list<int> counts) {
    HMENU m = Popup();
    UINT id = 100;
    bool first = true;
    for (int n : counts) {
      for (int i = 0; i < n; ++i) {
        UINT flags = MF_STRING | (!first && i == 0 ? MF_MENUBREAK : 0);
        std::u16string text = u"Item " + std::u16string(1, static_cast<char16_t>(u'A' + id - 100));
        AppendMenuW(m, flags, id++, text.c_str());
      }
      first = false;
    }
    return m;
  }
  // A masked list of 16x16 images: image k is a filled square of colour
  // `colours[k]` inset by 3 pixels, transparent around it.
  HIMAGELIST Images(std::initializer_list<COLORREF> colours) {
    int n = static_cast<int>(colours.size());
    Canvas strip(16 * n, 16);
    RECT all{0, 0, 16 * n, 16};
    HBRUSH key = CreateSolidBrush(RGB(255, 0, 255));
    FillRect(strip.dc(), &all, key);
    DeleteObject(key);
    int k = 0;
    for (COLORREF c : colours) {
      RECT r{16 * k + 3, 3, 16 * k + 13, 13};
      HBRUSH b = CreateSolidBrush(c);
      FillRect(strip.dc(), &r, b);
      DeleteObject(b);
      ++k;
    }
    HIMAGELIST list = ImageList_Create(16, 16, ILC_COLOR32 | ILC_MASK, n, 1);
    HBITMAP copy = CreateCompatibleBitmap(strip.dc(), 16 * n, 16);
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, copy);
    BitBlt(dc, 0, 0, 16 * n, 16, strip.dc(), 0, 0, SRCCOPY);
    SelectObject(dc, old);
    DeleteDC(dc);
    ImageList_AddMasked(list, copy, RGB(255, 0, 255));
    DeleteObject(copy);
    lists_.push_back(list);
    return list;
  }
  static const WuMenuItemRecord* Record(const PopupItem& item) {
    return reinterpret_cast<const WuMenuItemRecord*>(item.data);
  }

  HWND window_ = nullptr;
  HostManager manager_;
  size_t gdi_start_ = 0;
  std::vector<HMENU> menus_;
  std::vector<HIMAGELIST> lists_;
};

}  // namespace wutest
