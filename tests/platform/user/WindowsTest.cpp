// The window model: classes, creation and destruction, window data,
// messages across threads, geometry and placement, focus, timers, hooks,
// painting, monitors and system metrics.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "platform/kernel/cpu.h"
#include "platform/gdi/gdi.h"
#include "platform/user/menu.h"
#include "platform/kernel/threads.h"
#include "platform/kernel/time.h"
#include "platform/user/windows.h"

namespace {

// A window procedure that records what reaches it.
struct Log {
  std::vector<std::pair<HWND, UINT>> messages;  // (window, message) in order
  DWORD thread = 0;                             // the thread of the last message
};
thread_local Log* t_log = nullptr;

LRESULT RecordingProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (Log* log = reinterpret_cast<Log*>(GetPropW(hwnd, u"log"))) {
    log->messages.emplace_back(hwnd, message);
    log->thread = GetCurrentThreadId();
  } else if (t_log) {
    t_log->messages.emplace_back(hwnd, message);
  }
  if (message == WM_USER + 1) return static_cast<LRESULT>(wparam) * 2;
  return DefWindowProcW(hwnd, message, wparam, lparam);
}

constexpr LPCWSTR kClass = u"WindowsTestClass";

class WindowsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = RecordingProc;
    wc.cbWndExtra = 16;
    wc.lpszClassName = kClass;
    ASSERT_NE(RegisterClassExW(&wc), 0);
    live_before_ = platform::LiveWindowCount();
  }
  void TearDown() override {
    EXPECT_EQ(platform::LiveWindowCount(), live_before_) << "windows leaked";
    UnregisterClassW(kClass, nullptr);
    platform::ResetSystemMetrics();
    platform::ResetWorkAreas();
    platform::ResetMonitors();
    platform::SetClockSource(nullptr);
  }
  HWND Top(DWORD style = WS_OVERLAPPEDWINDOW, RECT r = {100, 100, 500, 400}) {
    return CreateWindowExW(0, kClass, u"top", style, r.left, r.top, r.right - r.left, r.bottom - r.top,
                           nullptr, nullptr, nullptr, nullptr);
  }
  HWND Child(HWND parent, int id, RECT r = {10, 20, 110, 70}, DWORD style = WS_VISIBLE) {
    return CreateWindowExW(0, kClass, u"child", WS_CHILD | style, r.left, r.top, r.right - r.left,
                           r.bottom - r.top, parent, reinterpret_cast<HMENU>(static_cast<uintptr_t>(id)),
                           nullptr, nullptr);
  }
  // Drains the calling thread's queue, dispatching everything.
  static void Pump() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
  }
  size_t live_before_ = 0;
};

std::vector<UINT> MessagesOf(const Log& log, HWND hwnd) {
  std::vector<UINT> out;
  for (auto& [h, m] : log.messages)
    if (h == hwnd) out.push_back(m);
  return out;
}

size_t IndexOf(const Log& log, HWND hwnd, UINT message) {
  for (size_t i = 0; i < log.messages.size(); ++i)
    if (log.messages[i] == std::make_pair(hwnd, message)) return i;
  return static_cast<size_t>(-1);
}

TEST_F(WindowsTest, ClassesRegisterOncePerInstanceAndCannotGoWhileUsed) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = RecordingProc;
  wc.lpszClassName = u"windowstestclass";  // the same name in another case
  EXPECT_EQ(RegisterClassExW(&wc), 0);
  EXPECT_EQ(GetLastError(), ERROR_CLASS_ALREADY_EXISTS);

  WNDCLASSEXW info{};
  ATOM atom = static_cast<ATOM>(GetClassInfoExW(nullptr, kClass, &info));
  EXPECT_NE(atom, 0);
  EXPECT_EQ(info.cbWndExtra, 16);
  EXPECT_TRUE(GetClassInfoExW(nullptr, u"button", &info)) << "system classes are found by any case";
  EXPECT_TRUE(GetClassInfoExW(nullptr, WC_DIALOG, &info));
  EXPECT_EQ(info.cbWndExtra, DLGWINDOWEXTRA);
  EXPECT_FALSE(GetClassInfoExW(nullptr, u"NoSuchClass", &info));
  EXPECT_EQ(GetLastError(), ERROR_CLASS_DOES_NOT_EXIST);

  // The atom names the class as well as its name does.
  HWND hwnd = CreateWindowExW(0, MAKEINTATOM(atom), u"", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  ASSERT_TRUE(hwnd);
  WCHAR name[64];
  EXPECT_EQ(GetClassNameW(hwnd, name, 64), 16);
  EXPECT_EQ(std::u16string(name), kClass);
  EXPECT_FALSE(UnregisterClassW(kClass, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_CLASS_HAS_WINDOWS);
  EXPECT_FALSE(UnregisterClassW(u"Button", nullptr)) << "system classes stay";
  DestroyWindow(hwnd);
}

TEST_F(WindowsTest, CreationAndDestructionFollowTheMessageOrder) {
  Log log;
  t_log = &log;
  HWND top = Top(WS_OVERLAPPEDWINDOW);
  HWND child = Child(top, 7);
  HWND grandchild = Child(child, 8);
  ASSERT_TRUE(top && child && grandchild);
  std::vector<UINT> created = MessagesOf(log, top);
  ASSERT_GE(created.size(), 4u);
  EXPECT_EQ(created[0], WM_NCCREATE);
  EXPECT_EQ(created[1], WM_CREATE);
  EXPECT_NE(IndexOf(log, top, WM_PARENTNOTIFY), static_cast<size_t>(-1)) << "a child tells its parent";
  EXPECT_EQ(GetParent(child), top);
  EXPECT_EQ(GetDlgCtrlID(child), 7);
  EXPECT_EQ(GetAncestor(grandchild, GA_ROOT), top);
  PostMessageW(child, WM_USER + 5, 0, 0);

  log.messages.clear();
  ASSERT_TRUE(DestroyWindow(top));
  t_log = nullptr;
  // WM_DESTROY reaches a window before its children, WM_NCDESTROY after.
  EXPECT_LT(IndexOf(log, top, WM_DESTROY), IndexOf(log, child, WM_DESTROY));
  EXPECT_LT(IndexOf(log, child, WM_DESTROY), IndexOf(log, grandchild, WM_DESTROY));
  EXPECT_LT(IndexOf(log, grandchild, WM_NCDESTROY), IndexOf(log, child, WM_NCDESTROY));
  EXPECT_LT(IndexOf(log, child, WM_NCDESTROY), IndexOf(log, top, WM_NCDESTROY));
  for (HWND h : {top, child, grandchild}) EXPECT_FALSE(IsWindow(h));
  MSG msg;
  EXPECT_FALSE(PeekMessageW(&msg, nullptr, WM_USER + 5, WM_USER + 5, PM_REMOVE)) << "posted messages go with it";
  EXPECT_FALSE(DestroyWindow(top));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
}

LRESULT RefuseNcCreate(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NCCREATE) return FALSE;
  return DefWindowProcW(hwnd, message, wparam, lparam);
}
LRESULT RefuseCreate(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_CREATE) return -1;
  return DefWindowProcW(hwnd, message, wparam, lparam);
}
LRESULT VetoCreation(int code, WPARAM, LPARAM) { return code == HCBT_CREATEWND ? 1 : 0; }

TEST_F(WindowsTest, FailedCreationsLeaveNoWindow) {
  struct Case {
    const char* what;
    WNDPROC proc;
    DWORD style;
    DWORD error;  // 0: not checked
  };
  const Case cases[] = {
      {"WM_NCCREATE refuses", RefuseNcCreate, 0, 0},
      {"WM_CREATE refuses", RefuseCreate, 0, 0},
      {"a child without a parent", RecordingProc, WS_CHILD, ERROR_TLW_WITH_WSCHILD},
  };
  for (const Case& c : cases) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = c.proc;
    wc.lpszClassName = u"FailingClass";
    ASSERT_NE(RegisterClassExW(&wc), 0);
    EXPECT_EQ(CreateWindowExW(0, u"FailingClass", u"", c.style, 0, 0, 10, 10, nullptr, nullptr, nullptr,
                              nullptr),
              nullptr)
        << c.what;
    if (c.error) {
      EXPECT_EQ(GetLastError(), c.error) << c.what;
    }
    EXPECT_EQ(platform::LiveWindowCount(), live_before_) << c.what;
    EXPECT_TRUE(UnregisterClassW(u"FailingClass", nullptr)) << c.what;
  }
  EXPECT_EQ(CreateWindowExW(0, u"NoSuchClass", u"", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_CANNOT_FIND_WND_CLASS);
  HHOOK hook = SetWindowsHookExW(WH_CBT, VetoCreation, nullptr, GetCurrentThreadId());
  EXPECT_EQ(Top(), nullptr) << "a CBT hook can veto a creation";
  UnhookWindowsHookEx(hook);
  EXPECT_EQ(platform::LiveWindowCount(), live_before_);
}

WNDPROC g_original = nullptr;
LRESULT SubclassProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_USER + 1) return 1000 + CallWindowProcW(g_original, hwnd, message, wparam, lparam);
  return CallWindowProcW(g_original, hwnd, message, wparam, lparam);
}

TEST_F(WindowsTest, WindowDataAndSubclassing) {
  HWND hwnd = Top();
  EXPECT_EQ(SetWindowLongPtrW(hwnd, GWLP_USERDATA, 1234), 0);
  EXPECT_EQ(GetWindowLongPtrW(hwnd, GWLP_USERDATA), 1234);
  EXPECT_EQ(SetWindowLongPtrW(hwnd, 8, 42), 0);
  EXPECT_EQ(GetWindowLongPtrW(hwnd, 8), 42);
  EXPECT_EQ(GetWindowLongPtrW(hwnd, 9), 0) << "an index past the extra bytes";
  EXPECT_EQ(GetLastError(), ERROR_INVALID_INDEX);
  EXPECT_EQ(GetWindowLongW(hwnd, 12), 0);
  EXPECT_EQ(GetLastError(), ERROR_SUCCESS) << "the last four bytes are in range for 32 bits";

  Log log;
  t_log = &log;
  LONG old_style = GetWindowLongW(hwnd, GWL_STYLE);
  SetWindowLongW(hwnd, GWL_STYLE, old_style | WS_VSCROLL);
  EXPECT_NE(IndexOf(log, hwnd, WM_STYLECHANGING), static_cast<size_t>(-1));
  EXPECT_LT(IndexOf(log, hwnd, WM_STYLECHANGING), IndexOf(log, hwnd, WM_STYLECHANGED));
  t_log = nullptr;

  g_original = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(SubclassProc)));
  EXPECT_EQ(g_original, RecordingProc);
  EXPECT_EQ(SendMessageW(hwnd, WM_USER + 1, 21, 0), 1042) << "the subclass runs first and passes on";
  SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_original));
  EXPECT_EQ(SendMessageW(hwnd, WM_USER + 1, 21, 0), 42);

  // Text is cut to the buffer and always terminated.
  SetWindowTextW(hwnd, u"Unpacking Wizard");
  EXPECT_EQ(GetWindowTextLengthW(hwnd), 16);
  WCHAR buffer[8];
  EXPECT_EQ(GetWindowTextW(hwnd, buffer, 8), 7);
  EXPECT_EQ(std::u16string(buffer), u"Unpacki");
  DestroyWindow(hwnd);
}

TEST_F(WindowsTest, GeometryFollowsTheFrameModel) {
  struct Case {
    DWORD style;
    DWORD ex_style;
  };
  const Case cases[] = {{WS_POPUP, 0},
                        {WS_POPUP | WS_BORDER, 0},
                        {WS_POPUP | WS_CAPTION | WS_SYSMENU, WS_EX_DLGMODALFRAME},
                        {WS_OVERLAPPEDWINDOW, WS_EX_CLIENTEDGE},
                        {WS_POPUP | WS_CAPTION, WS_EX_TOOLWINDOW}};
  for (const Case& c : cases) {
    RECT want{0, 0, 300, 200};
    RECT frame = want;
    ASSERT_TRUE(AdjustWindowRectEx(&frame, c.style, FALSE, c.ex_style));
    HWND hwnd = CreateWindowExW(c.ex_style, kClass, u"", c.style, 50, 60, frame.right - frame.left,
                                frame.bottom - frame.top, nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(hwnd);
    RECT client, window;
    GetClientRect(hwnd, &client);
    GetWindowRect(hwnd, &window);
    EXPECT_EQ(client.right, 300) << std::hex << c.style;
    EXPECT_EQ(client.bottom, 200) << std::hex << c.style;
    EXPECT_EQ(window.left, 50);
    // The client origin lies inside the frame by the frame's left and top.
    POINT origin{0, 0};
    ClientToScreen(hwnd, &origin);
    EXPECT_EQ(origin.x, 50 - frame.left);
    EXPECT_EQ(origin.y, 60 - frame.top);
    DestroyWindow(hwnd);
  }
  // Scroll bars come out of the client area.
  HWND hwnd = CreateWindowExW(0, kClass, u"", WS_POPUP | WS_VSCROLL | WS_HSCROLL, 0, 0, 200, 100, nullptr,
                              nullptr, nullptr, nullptr);
  RECT client;
  GetClientRect(hwnd, &client);
  EXPECT_EQ(client.right, 200 - GetSystemMetrics(SM_CXVSCROLL));
  EXPECT_EQ(client.bottom, 100 - GetSystemMetrics(SM_CYHSCROLL));
  DestroyWindow(hwnd);
}

LRESULT ClampingProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_WINDOWPOSCHANGING) {
    auto* pos = reinterpret_cast<WINDOWPOS*>(lparam);
    if (!(pos->flags & SWP_NOSIZE)) pos->cx = std::min(pos->cx, 150);
  }
  return RecordingProc(hwnd, message, wparam, lparam);
}

TEST_F(WindowsTest, ChildrenMoveWithTheirParentAndPointsMapBack) {
  HWND top = Top(WS_POPUP | WS_CAPTION);
  HWND child = Child(top, 1, RECT{10, 20, 110, 70});
  HWND other = Child(top, 2, RECT{200, 5, 220, 25});
  RECT r;
  GetWindowRect(child, &r);
  POINT origin{0, 0};
  ClientToScreen(top, &origin);
  EXPECT_EQ(r.left, origin.x + 10);
  EXPECT_EQ(r.top, origin.y + 20);
  MoveWindow(top, 300, 300, 400, 300, TRUE);
  RECT after;
  GetWindowRect(child, &after);
  EXPECT_EQ(after.left - r.left, 200);

  POINT p[2] = {{1, 2}, {3, 4}};
  MapWindowPoints(child, other, p, 2);
  MapWindowPoints(other, child, p, 2);
  EXPECT_EQ(p[1].x, 3);
  EXPECT_EQ(p[1].y, 4);
  POINT q{5, 6};
  ClientToScreen(child, &q);
  ScreenToClient(child, &q);
  EXPECT_EQ(q.x, 5);

  // SetWindowPos: flags keep what they say, z-order moves, and a procedure
  // may change the record on the way.
  SetWindowPos(child, nullptr, 40, 50, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  GetWindowRect(child, &r);
  EXPECT_EQ(r.right - r.left, 100);
  EXPECT_EQ(GetWindow(top, GW_CHILD), child);
  SetWindowPos(child, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  EXPECT_EQ(GetWindow(top, GW_CHILD), other);
  SetWindowLongPtrW(child, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ClampingProc));
  Log log;
  t_log = &log;
  SetWindowPos(child, nullptr, 0, 0, 500, 40, SWP_NOMOVE | SWP_NOZORDER);
  t_log = nullptr;
  GetClientRect(child, &r);
  EXPECT_EQ(r.right, 150);
  EXPECT_NE(IndexOf(log, child, WM_SIZE), static_cast<size_t>(-1)) << "the default handling sends WM_SIZE";
  DestroyWindow(top);
}

TEST_F(WindowsTest, PlacementIsFortyFourBytesAndRoundTrips) {
  HWND hwnd = Top(WS_OVERLAPPEDWINDOW | WS_VISIBLE, RECT{100, 120, 500, 420});
  WINDOWPLACEMENT wp{};
  ASSERT_TRUE(GetWindowPlacement(hwnd, &wp));
  EXPECT_EQ(wp.length, 44u);
  EXPECT_EQ(wp.showCmd, static_cast<UINT>(SW_SHOWNORMAL));
  EXPECT_EQ(wp.rcNormalPosition.left, 100);
  EXPECT_EQ(wp.rcNormalPosition.bottom, 420);

  ShowWindow(hwnd, SW_MINIMIZE);
  EXPECT_TRUE(IsIconic(hwnd));
  ASSERT_TRUE(GetWindowPlacement(hwnd, &wp));
  EXPECT_EQ(wp.showCmd, static_cast<UINT>(SW_SHOWMINIMIZED));
  EXPECT_EQ(wp.rcNormalPosition.left, 100) << "the normal rectangle survives minimising";

  wp.showCmd = SW_SHOWNORMAL;
  wp.rcNormalPosition = RECT{10, 20, 210, 220};
  WINDOWPLACEMENT bad = wp;
  bad.length = 40;
  EXPECT_FALSE(SetWindowPlacement(hwnd, &bad));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  ASSERT_TRUE(SetWindowPlacement(hwnd, &wp));
  EXPECT_FALSE(IsIconic(hwnd));
  RECT r;
  GetWindowRect(hwnd, &r);
  EXPECT_EQ(r.left, 10);
  EXPECT_EQ(r.bottom, 220);

  // Maximised, the client area covers the work area of the window's monitor.
  platform::SetWorkArea(0, RECT{0, 0, 1920, 1040});
  ShowWindow(hwnd, SW_SHOWMAXIMIZED);
  EXPECT_TRUE(IsZoomed(hwnd));
  RECT client;
  GetClientRect(hwnd, &client);
  POINT origin{0, 0};
  ClientToScreen(hwnd, &origin);
  EXPECT_EQ(origin.x + client.right, 1920);
  EXPECT_EQ(origin.y + client.bottom, 1040);
  ShowWindow(hwnd, SW_RESTORE);
  GetWindowRect(hwnd, &r);
  EXPECT_EQ(r.left, 10);
  DestroyWindow(hwnd);
}

TEST_F(WindowsTest, FocusActivationAndEnabling) {
  Log log;
  HWND top = Top(WS_POPUP | WS_VISIBLE);
  HWND a = Child(top, 1);
  HWND b = Child(top, 2);
  EXPECT_EQ(GetActiveWindow(), top) << "showing a top-level window activates it";
  SetFocus(a);
  t_log = &log;
  EXPECT_EQ(SetFocus(b), a);
  t_log = nullptr;
  EXPECT_EQ(GetFocus(), b);
  EXPECT_LT(IndexOf(log, a, WM_KILLFOCUS), IndexOf(log, b, WM_SETFOCUS));

  log.messages.clear();
  t_log = &log;
  EXPECT_FALSE(EnableWindow(b, FALSE)) << "it was enabled";
  EXPECT_TRUE(EnableWindow(b, FALSE)) << "now it was disabled";
  t_log = nullptr;
  EXPECT_EQ(MessagesOf(log, b).size(), 2u) << "WM_KILLFOCUS and one WM_ENABLE";
  EXPECT_EQ(GetFocus(), nullptr) << "a disabled window loses the focus";
  EXPECT_FALSE(IsWindowEnabled(b));

  EXPECT_TRUE(ShowWindow(a, SW_HIDE)) << "it was visible";
  EXPECT_FALSE(IsWindowVisible(a));
  EXPECT_FALSE(ShowWindow(a, SW_SHOWNA));
  ShowWindow(top, SW_HIDE);
  EXPECT_FALSE(IsWindowVisible(a)) << "a child is visible only with its parent";
  DestroyWindow(top);
  EXPECT_EQ(GetActiveWindow(), nullptr);
}

LRESULT RefuseFocus(int code, WPARAM, LPARAM) { return code == HCBT_SETFOCUS ? 1 : 0; }

std::vector<int>* g_hook_order = nullptr;
HHOOK g_first_hook = nullptr;
HHOOK g_second_hook = nullptr;
LRESULT FirstHook(int code, WPARAM wparam, LPARAM lparam) {
  auto* cwp = reinterpret_cast<CWPSTRUCT*>(lparam);
  if (cwp->message == WM_USER + 9) g_hook_order->push_back(1);
  return CallNextHookEx(g_first_hook, code, wparam, lparam);
}
LRESULT SecondHook(int code, WPARAM wparam, LPARAM lparam) {
  auto* cwp = reinterpret_cast<CWPSTRUCT*>(lparam);
  if (cwp->message == WM_USER + 9) g_hook_order->push_back(2);
  return CallNextHookEx(g_second_hook, code, wparam, lparam);
}

TEST_F(WindowsTest, HooksChainNewestFirstAndSeeOnlySentMessages) {
  HWND hwnd = Top();
  std::vector<int> order;
  g_hook_order = &order;
  g_first_hook = SetWindowsHookExW(WH_CALLWNDPROC, FirstHook, nullptr, GetCurrentThreadId());
  g_second_hook = SetWindowsHookExW(WH_CALLWNDPROC, SecondHook, nullptr, GetCurrentThreadId());
  SendMessageW(hwnd, WM_USER + 9, 0, 0);
  PostMessageW(hwnd, WM_USER + 9, 0, 0);
  Pump();
  EXPECT_EQ(order, (std::vector<int>{2, 1}));
  EXPECT_TRUE(UnhookWindowsHookEx(g_second_hook));
  EXPECT_FALSE(UnhookWindowsHookEx(g_second_hook));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HOOK_HANDLE);
  order.clear();
  SendMessageW(hwnd, WM_USER + 9, 0, 0);
  EXPECT_EQ(order, (std::vector<int>{1}));
  UnhookWindowsHookEx(g_first_hook);

  HWND child = Child(hwnd, 3);
  HHOOK cbt = SetWindowsHookExW(WH_CBT, RefuseFocus, nullptr, GetCurrentThreadId());
  EXPECT_EQ(SetFocus(child), nullptr);
  EXPECT_NE(GetFocus(), child) << "HCBT_SETFOCUS vetoed the change";
  UnhookWindowsHookEx(cbt);
  EXPECT_EQ(SetWindowsHookExW(WH_CBT, RefuseFocus, nullptr, 0), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_HOOK_NEEDS_HMOD);
  DestroyWindow(hwnd);
}

TEST_F(WindowsTest, QueueOrderFiltersAndQuit) {
  HWND a = Top();
  HWND b = Top();
  PostMessageW(a, WM_USER + 1, 1, 0);
  PostMessageW(b, WM_USER + 2, 2, 0);
  PostThreadMessageW(GetCurrentThreadId(), WM_APP, 3, 0);
  PostQuitMessage(7);
  MSG msg;
  ASSERT_TRUE(PeekMessageW(&msg, b, 0, 0, PM_NOREMOVE));
  EXPECT_EQ(msg.message, WM_USER + 2u) << "a window filter";
  ASSERT_TRUE(PeekMessageW(&msg, nullptr, WM_APP, WM_APP, PM_REMOVE));
  EXPECT_EQ(msg.hwnd, nullptr) << "a range filter reaches the thread message";
  ASSERT_TRUE(PeekMessageW(&msg, reinterpret_cast<HWND>(static_cast<intptr_t>(-1)), 0, 0, PM_NOREMOVE));
  EXPECT_EQ(msg.message, WM_QUIT) << "(HWND)-1: thread messages only";
  std::vector<UINT> got;
  while (GetMessageW(&msg, nullptr, 0, 0)) got.push_back(msg.message);
  EXPECT_EQ(got, (std::vector<UINT>{WM_USER + 1, WM_USER + 2})) << "WM_QUIT comes after the posted messages";
  EXPECT_EQ(msg.wParam, 7u);
  EXPECT_EQ(GetMessageW(&msg, reinterpret_cast<HWND>(static_cast<uintptr_t>(0x1234)), 0, 0), -1);

  PostMessageW(a, WM_KEYDOWN, 'A', 0);
  ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_TRUE(TranslateMessage(&msg));
  ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, WM_CHAR);
  EXPECT_EQ(msg.wParam, static_cast<WPARAM>(u'a'));
  DestroyWindow(a);
  DestroyWindow(b);
}

TEST_F(WindowsTest, SendFromAnotherThreadRunsOnTheWindowsThread) {
  HWND hwnd = Top();
  Log log;
  SetPropW(hwnd, u"log", &log);
  std::atomic<LRESULT> answer{0};
  std::atomic<bool> done{false};
  std::thread worker([&] {
    answer = SendMessageW(hwnd, WM_USER + 1, 21, 0);
    EXPECT_EQ(GetWindowTextLengthW(hwnd), 3);  // WM_GETTEXTLENGTH, marshalled too
    PostMessageW(hwnd, WM_USER + 2, 0, 0);
    done = true;
  });
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0)) {
    DispatchMessageW(&msg);
    if (msg.message == WM_USER + 2) break;
  }
  worker.join();
  EXPECT_TRUE(done);
  EXPECT_EQ(answer, 42);
  EXPECT_EQ(log.thread, GetCurrentThreadId()) << "the procedure ran on the window's thread";
  RemovePropW(hwnd, u"log");
  DestroyWindow(hwnd);
}

// Two threads that send to each other's windows at once both get answers:
// a thread waiting in SendMessageW answers messages sent to it.
TEST_F(WindowsTest, ThreadsSendingToEachOtherDoNotDeadlock) {
  HWND mine = Top();
  std::atomic<HWND> theirs{nullptr};
  HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  HANDLE go = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  std::atomic<LRESULT> their_answer{0};
  std::atomic<bool> answered{false};
  std::thread worker([&] {
    HWND w = CreateWindowExW(0, kClass, u"w", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    theirs = w;
    SetEvent(ready);
    WaitForSingleObject(go, INFINITE);
    their_answer = SendMessageW(mine, WM_USER + 1, 5, 0);
    MSG msg;
    while (!answered) PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);
    DestroyWindow(w);
  });
  WaitForSingleObject(ready, INFINITE);
  SetEvent(go);
  EXPECT_EQ(SendMessageW(theirs, WM_USER + 1, 4, 0), 8);
  answered = true;
  // The worker's send is answered while this thread waits in its own or,
  // when it came later, as soon as this thread looks at its queue.
  MSG msg;
  while (their_answer == 0) PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);
  worker.join();
  EXPECT_EQ(their_answer, 10);
  CloseHandle(ready);
  CloseHandle(go);
  DestroyWindow(mine);
}

TEST_F(WindowsTest, ThreadMessageFromAWorkerReachesTheMainLoop) {
  MSG msg;
  PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);  // the queue exists before the worker posts
  const DWORD main_thread = GetCurrentThreadId();
  std::thread watcher([&] { EXPECT_TRUE(PostThreadMessageW(main_thread, WM_APP + 1, 1602, 0)); });
  ASSERT_TRUE(GetMessageW(&msg, nullptr, 0, 0));
  watcher.join();
  EXPECT_EQ(msg.message, 0x8001u);
  EXPECT_EQ(msg.hwnd, nullptr);
  EXPECT_EQ(msg.wParam, 1602u);

  // A thread that has no queue cannot receive one.
  std::atomic<DWORD> other{0};
  HANDLE stop = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  std::thread idle([&] {
    other = GetCurrentThreadId();
    WaitForSingleObject(stop, INFINITE);
  });
  while (!other) Sleep(1);
  EXPECT_FALSE(PostThreadMessageW(other, WM_APP, 0, 0));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_THREAD_ID);
  SetEvent(stop);
  idle.join();
  CloseHandle(stop);
}

TEST_F(WindowsTest, MsgWaitWakesForHandlesAndForQueueInput) {
  HANDLE event = CreateEventW(nullptr, TRUE, TRUE, nullptr);
  EXPECT_EQ(MsgWaitForMultipleObjects(1, &event, FALSE, 0, QS_ALLINPUT), WAIT_OBJECT_0);
  ResetEvent(event);
  EXPECT_EQ(MsgWaitForMultipleObjects(1, &event, FALSE, 0, QS_ALLINPUT), static_cast<DWORD>(WAIT_TIMEOUT));
  const DWORD me = GetCurrentThreadId();
  std::thread poster([&] { PostThreadMessageW(me, WM_APP, 0, 0); });
  EXPECT_EQ(MsgWaitForMultipleObjects(1, &event, FALSE, INFINITE, QS_ALLINPUT), WAIT_OBJECT_0 + 1);
  poster.join();
  MSG msg;
  EXPECT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
  CloseHandle(event);
}

std::vector<UINT_PTR>* g_timer_calls = nullptr;
void TimerCallback(HWND, UINT, UINT_PTR id, DWORD) { g_timer_calls->push_back(id); }

TEST_F(WindowsTest, TimersFollowTheTickCount) {
  platform::FakeClock clock;
  clock.ticks = 1000;
  platform::SetClockSource(&clock);
  HWND hwnd = Top();
  EXPECT_EQ(SetTimer(hwnd, 5, 100, nullptr), 5u);
  MSG msg;
  EXPECT_FALSE(PeekMessageW(&msg, nullptr, WM_TIMER, WM_TIMER, PM_REMOVE));
  clock.ticks = 1100;
  ASSERT_TRUE(PeekMessageW(&msg, nullptr, WM_TIMER, WM_TIMER, PM_REMOVE));
  EXPECT_EQ(msg.hwnd, hwnd);
  EXPECT_EQ(msg.wParam, 5u);
  EXPECT_FALSE(PeekMessageW(&msg, nullptr, WM_TIMER, WM_TIMER, PM_REMOVE)) << "due again an interval later";
  clock.ticks = 1200;
  EXPECT_TRUE(PeekMessageW(&msg, nullptr, WM_TIMER, WM_TIMER, PM_NOREMOVE));
  EXPECT_TRUE(KillTimer(hwnd, 5));
  EXPECT_FALSE(PeekMessageW(&msg, nullptr, WM_TIMER, WM_TIMER, PM_REMOVE));
  EXPECT_FALSE(KillTimer(hwnd, 5));

  // A thread timer with a procedure: DispatchMessageW calls it.
  std::vector<UINT_PTR> calls;
  g_timer_calls = &calls;
  UINT_PTR id = SetTimer(nullptr, 0, 50, TimerCallback);
  EXPECT_NE(id, 0u);
  clock.ticks = 1250;
  ASSERT_TRUE(GetMessageW(&msg, nullptr, 0, 0));
  EXPECT_EQ(msg.message, WM_TIMER);
  DispatchMessageW(&msg);
  EXPECT_EQ(calls, (std::vector<UINT_PTR>{id}));
  KillTimer(nullptr, id);
  DestroyWindow(hwnd);
}

std::vector<std::pair<UINT, BOOL>>* g_paints = nullptr;
LRESULT PaintingProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_PAINT) {
    PAINTSTRUCT ps;
    BeginPaint(hwnd, &ps);
    g_paints->emplace_back(static_cast<UINT>(ps.rcPaint.right), ps.fErase);
    EndPaint(hwnd, &ps);
    return 0;
  }
  if (message == WM_ERASEBKGND) return 1;
  return DefWindowProcW(hwnd, message, wparam, lparam);
}

TEST_F(WindowsTest, PaintingComesFromTheQueueForVisibleWindows) {
  std::vector<std::pair<UINT, BOOL>> paints;
  g_paints = &paints;
  HWND hwnd = Top(WS_POPUP, RECT{0, 0, 200, 100});
  SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(PaintingProc));
  RECT part{0, 0, 50, 50};
  InvalidateRect(hwnd, &part, TRUE);
  Pump();
  EXPECT_TRUE(paints.empty()) << "a hidden window does not paint";
  ShowWindow(hwnd, SW_SHOWNA);
  Pump();
  ASSERT_EQ(paints.size(), 1u) << "one WM_PAINT for what piled up";
  EXPECT_EQ(paints[0].first, 200u) << "showing invalidated the whole client area";
  EXPECT_FALSE(paints[0].second) << "the background was erased";
  Pump();
  EXPECT_EQ(paints.size(), 1u) << "BeginPaint validated";
  InvalidateRect(hwnd, &part, FALSE);
  RECT update;
  EXPECT_TRUE(GetUpdateRect(hwnd, &update, FALSE));
  EXPECT_EQ(update.right, 50);
  UpdateWindow(hwnd);
  ASSERT_EQ(paints.size(), 2u) << "UpdateWindow paints at once";
  EXPECT_FALSE(GetUpdateRect(hwnd, &update, FALSE));
  DestroyWindow(hwnd);
}

TEST_F(WindowsTest, MonitorsAndWorkAreas) {
  platform::SetMonitors({{u"\\\\.\\DISPLAY1", RECT{0, 0, 1000, 800}, 32},
                         {u"\\\\.\\DISPLAY2", RECT{1000, 0, 2000, 600}, 32}});
  platform::SetWorkArea(1, RECT{1000, 0, 2000, 560});
  EXPECT_EQ(GetSystemMetrics(SM_CMONITORS), 2);
  EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 1000);
  EXPECT_EQ(GetSystemMetrics(SM_CXVIRTUALSCREEN), 2000);
  HMONITOR first = MonitorFromPoint(POINT{10, 10}, MONITOR_DEFAULTTONULL);
  HMONITOR second = MonitorFromPoint(POINT{1500, 10}, MONITOR_DEFAULTTONULL);
  ASSERT_TRUE(first && second && first != second);
  struct Case {
    RECT rect;
    DWORD flags;
    HMONITOR want;
  };
  const Case cases[] = {
      {{900, 0, 1200, 100}, MONITOR_DEFAULTTONULL, second},    // more of it on the second
      {{950, 0, 1040, 100}, MONITOR_DEFAULTTONULL, first},
      {{1500, 700, 1600, 750}, MONITOR_DEFAULTTONULL, nullptr},  // below the second, off both
      {{1500, 700, 1600, 750}, MONITOR_DEFAULTTOPRIMARY, first},
      {{1500, 700, 1600, 750}, MONITOR_DEFAULTTONEAREST, second},
  };
  for (const Case& c : cases) EXPECT_EQ(MonitorFromRect(&c.rect, c.flags), c.want) << c.rect.left;
  MONITORINFO info{};
  info.cbSize = sizeof(info);
  ASSERT_TRUE(GetMonitorInfoW(second, &info));
  EXPECT_EQ(platform::WorkAreaOfMonitor(second).bottom, 560);
  RECT work;
  ASSERT_TRUE(SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0));
  EXPECT_EQ(work.right, 1000) << "the primary monitor's work area";
  HWND hwnd = Top(WS_POPUP, RECT{1200, 100, 1300, 200});
  EXPECT_EQ(MonitorFromWindow(hwnd, MONITOR_DEFAULTTONULL), second);
  DestroyWindow(hwnd);
}

TEST_F(WindowsTest, NonClientMetricsFollowTheVersion) {
  NONCLIENTMETRICSW ncm{};
  ncm.cbSize = sizeof(ncm);
  ASSERT_TRUE(SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(ncm), &ncm, 0));
  EXPECT_EQ(ncm.iScrollWidth, GetSystemMetrics(SM_CXVSCROLL));
  EXPECT_EQ(std::u16string(ncm.lfMessageFont.lfFaceName), u"Segoe UI");
  EXPECT_LT(ncm.lfMessageFont.lfHeight, 0);
  ncm.cbSize = 500;
  EXPECT_TRUE(SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, 500, &ncm, 0));
  ncm.cbSize = 400;
  EXPECT_FALSE(SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, 400, &ncm, 0));
  platform::SystemModel xp;
  xp.major = 5;
  platform::SetSystemModel(xp);
  ncm.cbSize = sizeof(ncm);
  EXPECT_FALSE(SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(ncm), &ncm, 0))
      << "before version 6 the record has no padded border";
  ncm.cbSize = 500;
  EXPECT_TRUE(SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, 500, &ncm, 0));
  platform::ResetSystemModel();
  platform::SetSystemMetric(SM_CYCAPTION, 30);
  RECT r{0, 0, 100, 100};
  AdjustWindowRectEx(&r, WS_CAPTION, FALSE, 0);
  EXPECT_EQ(r.top, -30 - GetSystemMetrics(SM_CYDLGFRAME)) << "the frame model reads the metrics";
}

TEST_F(WindowsTest, SystemMenuBelongsToTheWindowAndItsGreyedCloseIgnoresSysCommand) {
  HWND popup = Top(WS_POPUP);
  EXPECT_EQ(GetSystemMenu(popup, FALSE), nullptr) << "no WS_SYSMENU, no system menu";
  DestroyWindow(popup);

  HWND hwnd = Top();
  HMENU menu = GetSystemMenu(hwnd, FALSE);
  ASSERT_NE(menu, nullptr);
  EXPECT_EQ(GetSystemMenu(hwnd, FALSE), menu) << "made once, then kept";
  ASSERT_EQ(GetMenuItemCount(menu), 7);
  EXPECT_EQ(GetMenuItemID(menu, 6), static_cast<UINT>(SC_CLOSE));

  Log log;
  t_log = &log;
  auto closes_seen = [&] {
    size_t n = 0;
    for (const auto& [window, message] : log.messages) n += window == hwnd && message == WM_CLOSE;
    return n;
  };
  // Greyed or disabled, Close does nothing: no WM_CLOSE, the window stays.
  for (UINT state : {MF_GRAYED, MF_DISABLED, MF_GRAYED | MF_DISABLED}) {
    EnableMenuItem(menu, SC_CLOSE, MF_BYCOMMAND | state);
    SendMessageW(hwnd, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_EQ(closes_seen(), 0u) << state;
    EXPECT_TRUE(IsWindow(hwnd)) << state;
  }

  // Reverting drops the menu; the next one is fresh, with Close enabled.
  EXPECT_EQ(GetSystemMenu(hwnd, TRUE), nullptr);
  EXPECT_FALSE(IsMenu(menu));
  menu = GetSystemMenu(hwnd, FALSE);
  ASSERT_NE(menu, nullptr);
  EXPECT_EQ(GetMenuState(menu, SC_CLOSE, MF_BYCOMMAND) & (MF_GRAYED | MF_DISABLED), 0u);

  // Enabled, SC_CLOSE (whatever its low bits) closes; the menu goes with
  // the window.
  SendMessageW(hwnd, WM_SYSCOMMAND, SC_CLOSE | 0x2, 0);
  t_log = nullptr;
  EXPECT_EQ(closes_seen(), 1u);
  EXPECT_FALSE(IsWindow(hwnd));
  EXPECT_FALSE(IsMenu(menu));
}

TEST_F(WindowsTest, WindowsOfAnEndedThreadAreRemoved) {
  std::thread worker([&] {
    HWND hwnd = CreateWindowExW(0, kClass, u"", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    EXPECT_TRUE(hwnd);
    Child(hwnd, 1);
  });
  worker.join();
  EXPECT_EQ(platform::LiveWindowCount(), live_before_);
}

}  // namespace
