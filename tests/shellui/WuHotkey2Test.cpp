// The hotkey-entry control driven by key messages with the key state set:
// sequences and their timeout, Backspace, modifiers, the owner's veto and
// the flash, focus notices and the caret, painting, dialog codes, the
// private messages, hosted instances and the class.
#include "shellui/WuHotkey2.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "foundation/WuUIFont.h"
#include "imaging/WuPngWrite.h"
#include "platform/kernel/memory.h"
#include "platform/kernel/module.h"
#include "platform/kernel/locale.h"
#include "platform/kernel/time.h"
#include "platform/user/caret.h"
#include "shellui/WuXPTheme.h"
#include "tests/shellui/TestCanvas.h"
#include "tests/shellui/UxThemeStandIn.h"

namespace {

constexpr LPCWSTR kClass = u"WuHotkey2Test";
constexpr DWORD kId = 42;
constexpr COLORREF kOwnerColor = RGB(200, 30, 40);

// What the owner window (and a host) hears.
struct Owner {
  std::vector<WPARAM> commands;          // WM_COMMAND wParam
  std::vector<LPARAM> command_sources;   // WM_COMMAND lParam
  std::vector<UINT> notices;             // WM_NOTIFY codes
  std::vector<NMHOTKEY2> candidates;     // NM_KEYDOWN records
  DWORD answer = HOTKEY2_ACCEPT;         // what the owner answers a candidate
  std::vector<std::u16string> painted;   // the field's text at each WM_CTLCOLOREDIT
  std::vector<int> caret_levels;         // the caret's hide level then
  HBRUSH brush = nullptr;                // WM_CTLCOLOREDIT answer; null: default
};
Owner* g_owner = nullptr;

std::u16string Shown(HWND field) {
  HOTKEY2_KEYINFO info{};
  SendMessageW(field, HOTKEY2_GETKEYS, 0, reinterpret_cast<LPARAM>(&info));
  WCHAR text[HOTKEY2_NAME_CHARS];
  Hotkey2_GetKeyName(text, HOTKEY2_NAME_CHARS, LOWORD(info.keys), HIWORD(info.keys),
                     info.modifiers);
  return text;
}

// Answers the owner's messages; TRUE when it did.
bool OwnerMessage(UINT message, WPARAM wparam, LPARAM lparam, LRESULT* result) {
  if (!g_owner) return false;
  switch (message) {
    case WM_COMMAND:
      g_owner->commands.push_back(wparam);
      g_owner->command_sources.push_back(lparam);
      *result = 0;
      return true;
    case WM_NOTIFY: {
      auto* header = reinterpret_cast<NMHDR*>(lparam);
      g_owner->notices.push_back(header->code);
      if (header->code == NM_KEYDOWN) {
        auto* note = reinterpret_cast<NMHOTKEY2*>(lparam);
        g_owner->candidates.push_back(*note);
        note->answer = g_owner->answer;
      }
      *result = 0;
      return true;
    }
    case WM_CTLCOLOREDIT:
      g_owner->painted.push_back(Shown(reinterpret_cast<HWND>(lparam)));
      g_owner->caret_levels.push_back(platform::GetCaretState().hide_level);
      if (!g_owner->brush) return false;
      SetBkColor(reinterpret_cast<HDC>(wparam), kOwnerColor);
      *result = reinterpret_cast<LRESULT>(g_owner->brush);
      return true;
    default:
      return false;
  }
}

LRESULT OwnerProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  LRESULT result = 0;
  if (OwnerMessage(message, wparam, lparam, &result)) return result;
  return DefWindowProcW(window, message, wparam, lparam);
}

// A host window of the control's procedure that brings its own instance (the
// creation parameter) at WM_NCCREATE and hears its own notices.
LONG_PTR g_user_data_after_destroy = -1;
LRESULT HostProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NCCREATE)
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(
                          reinterpret_cast<CREATESTRUCTW*>(lparam)->lpCreateParams));
  LRESULT result = 0;
  if (OwnerMessage(message, wparam, lparam, &result)) return result;
  result = Hotkey2_WndProc(window, message, wparam, lparam);
  if (message == WM_DESTROY) g_user_data_after_destroy = GetWindowLongPtrW(window, GWLP_USERDATA);
  return result;
}

class WuHotkey2Test : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::SetClockSource(&clock_);
    clock_.ticks = 1000000;
    ASSERT_TRUE(Hotkey2Class_Initialize(GetModuleHandleW(nullptr), kClass));
    struct Class {
      LPCWSTR name;
      WNDPROC proc;
    } classes[] = {{u"HotkeyOwner", OwnerProc}, {u"HotkeyHost", HostProc}};
    for (const Class& c : classes) {
      WNDCLASSEXW wc{};
      wc.cbSize = sizeof(wc);
      wc.lpfnWndProc = c.proc;
      wc.lpszClassName = c.name;
      wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_WINDOW + 1));
      RegisterClassExW(&wc);
    }
    owner_ = CreateWindowExW(0, u"HotkeyOwner", u"", WS_POPUP | WS_VISIBLE, 0, 0, 300, 100,
                             nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(owner_, nullptr);
    g_owner = &heard_;
  }
  void TearDown() override {
    g_owner = nullptr;
    if (owner_) DestroyWindow(owner_);
    platform::ResetKeyState();
    platform::SetClockSource(nullptr);
    EXPECT_TRUE(Hotkey2Class_Terminate(GetModuleHandleW(nullptr), kClass));
  }
  // A field of 120 x 24 at (10, 10) in the owner.
  HWND Make(DWORD style) {
    HWND field = CreateWindowExW(0, kClass, u"", WS_CHILD | WS_VISIBLE | style, 10, 10, 120, 24,
                                 owner_, reinterpret_cast<HMENU>(static_cast<UINT_PTR>(kId)),
                                 nullptr, nullptr);
    EXPECT_NE(field, nullptr);
    return field;
  }
  static void Press(HWND field, int key) {
    platform::SetKeyDown(key, true);
    SendMessageW(field, WM_KEYDOWN, static_cast<WPARAM>(key), 0);
  }
  static void Release(HWND field, int key) {
    platform::SetKeyDown(key, false);
    SendMessageW(field, WM_KEYUP, static_cast<WPARAM>(key), 0);
  }
  // Ctrl+K typed and let go.
  static void CtrlK(HWND field) {
    Press(field, VK_CONTROL);
    Press(field, 'K');
    Release(field, 'K');
    Release(field, VK_CONTROL);
  }
  static void Tap(HWND field, int key) {
    Press(field, key);
    Release(field, key);
  }

  platform::FakeClock clock_;
  HWND owner_ = nullptr;
  Owner heard_;
};

TEST_F(WuHotkey2Test, ASecondKeyFollowsWithinTheTimeout) {
  HWND field = Make(HOTKEY2S_SEQUENCE);
  SetFocus(field);
  Press(field, VK_CONTROL);
  EXPECT_EQ(Shown(field), u"Ctrl+");
  Press(field, 'K');
  EXPECT_EQ(Shown(field), u"Ctrl+K");
  Release(field, 'K');
  Release(field, VK_CONTROL);
  EXPECT_EQ(Shown(field), u"Ctrl+K");  // letting go keeps the shortcut
  clock_.ticks += 10000;               // exactly the timeout: still in time
  Tap(field, 0x63);
  EXPECT_EQ(Shown(field), u"Ctrl+K, Num 3");
  Tap(field, 'A');  // after a complete sequence a key starts anew
  EXPECT_EQ(Shown(field), u"A");
  clock_.ticks += 10001;  // too late for a second key
  Tap(field, 'B');
  EXPECT_EQ(Shown(field), u"B");

  // Right after gaining the focus the first key starts a new shortcut.
  CtrlK(field);
  EXPECT_EQ(Shown(field), u"Ctrl+K");
  SetFocus(owner_);
  SetFocus(field);
  Tap(field, 0x63);
  EXPECT_EQ(Shown(field), u"Num 3");

  // Without sequences every key starts anew.
  HWND single = Make(0);
  SetFocus(single);
  CtrlK(single);
  Tap(single, 0x63);
  EXPECT_EQ(Shown(single), u"Num 3");
}

TEST_F(WuHotkey2Test, BackspaceModifiersAndLeavingTheField) {
  HWND field = Make(HOTKEY2S_SEQUENCE);
  SetFocus(field);
  CtrlK(field);
  Tap(field, 0x63);
  ASSERT_EQ(Shown(field), u"Ctrl+K, Num 3");
  heard_.commands.clear();
  Tap(field, VK_BACK);
  EXPECT_EQ(Shown(field), u"Ctrl+K");
  Tap(field, VK_BACK);
  EXPECT_EQ(Shown(field), u"");
  HOTKEY2_KEYINFO info{1, 1};
  SendMessageW(field, HOTKEY2_GETKEYS, 0, reinterpret_cast<LPARAM>(&info));
  EXPECT_EQ(info.keys, 0u);
  EXPECT_EQ(info.modifiers, 0);
  // Two changes, two notices; key-ups that change nothing send none.
  ASSERT_EQ(heard_.commands.size(), 2u);
  for (size_t i = 0; i < 2; ++i) {
    EXPECT_EQ(heard_.commands[i], MAKEWPARAM(kId, HOTKEY2_CHANGED));
    EXPECT_EQ(heard_.command_sources[i], reinterpret_cast<LPARAM>(field));
  }

  // Backspace with a modifier down is a key like any other.
  CtrlK(field);
  Press(field, VK_CONTROL);
  Tap(field, VK_BACK);
  EXPECT_EQ(Shown(field), u"Ctrl+Back");
  Release(field, VK_CONTROL);

  // A modifier alone shows its prefix; leaving the empty field drops it.
  Tap(field, VK_BACK);
  Tap(field, VK_BACK);
  Press(field, VK_CONTROL);
  Press(field, VK_SHIFT);
  EXPECT_EQ(Shown(field), u"Ctrl+Shift+");
  SetFocus(owner_);
  EXPECT_EQ(Shown(field), u"");
  // Leaving a field with a key keeps the modifiers.
  SetFocus(field);
  Press(field, 'Z');
  SetFocus(owner_);
  EXPECT_EQ(Shown(field), u"Ctrl+Shift+Z");
}

TEST_F(WuHotkey2Test, ModifiersWhileAKeyIsHeldAndSystemKeys) {
  HWND field = Make(0);
  SetFocus(field);
  Press(field, 'K');
  Press(field, VK_CONTROL);  // K still held: the shortcut stays
  EXPECT_EQ(Shown(field), u"K");
  Release(field, 'K');
  Release(field, VK_CONTROL);  // a key-up of a modifier keeps it too
  EXPECT_EQ(Shown(field), u"K");
  Press(field, VK_CONTROL);  // nothing held: a new shortcut of modifiers
  EXPECT_EQ(Shown(field), u"Ctrl+");
  Release(field, VK_CONTROL);
  EXPECT_EQ(Shown(field), u"");
  // System-key messages (Alt held) are handled as the plain ones.
  platform::SetKeyDown(VK_MENU, true);
  SendMessageW(field, WM_SYSKEYDOWN, VK_MENU, 0);
  SendMessageW(field, WM_SYSKEYDOWN, 'F', 0);
  EXPECT_EQ(Shown(field), u"Alt+F");
  SendMessageW(field, WM_SYSKEYUP, 'F', 0);
  platform::SetKeyDown(VK_MENU, false);
  SendMessageW(field, WM_KEYUP, VK_MENU, 0);
  EXPECT_EQ(Shown(field), u"Alt+F");
}

TEST_F(WuHotkey2Test, AnOwnerThatRefusesLeavesTheFieldEmpty) {
  HWND field = Make(HOTKEY2S_ASK);
  heard_.answer = 0;
  SetFocus(field);
  Press(field, VK_CONTROL);
  Press(field, 'K');
  ASSERT_FALSE(heard_.candidates.empty());
  const NMHOTKEY2& last = heard_.candidates.back();
  EXPECT_EQ(last.hdr.hwndFrom, field);
  EXPECT_EQ(last.hdr.idFrom, kId);
  EXPECT_EQ(last.first_key, 'K');
  EXPECT_EQ(last.second_key, 0);
  EXPECT_EQ(last.modifiers, HOTKEY2_CTRL);
  // No key is taken; the modifiers follow what is held.
  EXPECT_EQ(Shown(field), u"Ctrl+");
  Release(field, 'K');
  Release(field, VK_CONTROL);
  EXPECT_EQ(Shown(field), u"");
  // Every key message still reported a change.
  EXPECT_EQ(heard_.commands, std::vector<WPARAM>(4, MAKEWPARAM(kId, HOTKEY2_CHANGED)));
  EXPECT_EQ(heard_.candidates.size(), 4u);

  // An owner that accepts gets the same candidates and the field takes them.
  heard_.answer = HOTKEY2_ACCEPT;
  CtrlK(field);
  EXPECT_EQ(Shown(field), u"Ctrl+K");
}

TEST_F(WuHotkey2Test, TheFlashShowsTheCandidateThreeTimes) {
  HWND field = Make(HOTKEY2S_ASK);
  heard_.answer = HOTKEY2_ACCEPT | HOTKEY2_FLASH;
  SetFocus(field);
  heard_.painted.clear();
  heard_.caret_levels.clear();
  auto start = std::chrono::steady_clock::now();
  Press(field, 'K');
  auto waited = std::chrono::steady_clock::now() - start;
  EXPECT_GE(waited, std::chrono::milliseconds(740));  // 3 x (150 + 100) ms, waited for real
  EXPECT_EQ(heard_.painted,
            (std::vector<std::u16string>{u"K", u"", u"K", u"", u"K", u"", u"K"}));
  // The caret hides while the candidate flashes.
  EXPECT_EQ(heard_.caret_levels, (std::vector<int>{1, 1, 1, 1, 1, 1, 0}));
  EXPECT_EQ(platform::GetCaretState().hide_level, 0);
  EXPECT_EQ(Shown(field), u"K");

  // A field that never paints flashes nothing but still takes the key.
  HWND quiet = Make(HOTKEY2S_ASK | HOTKEY2S_NOPAINT);
  SetFocus(quiet);
  heard_.painted.clear();
  heard_.commands.clear();
  Press(quiet, 'J');
  EXPECT_TRUE(heard_.painted.empty());
  EXPECT_EQ(Shown(quiet), u"J");
  EXPECT_EQ(heard_.commands, std::vector<WPARAM>{MAKEWPARAM(kId, HOTKEY2_CHANGED)});
}

TEST_F(WuHotkey2Test, FocusNoticesAndTheCaret) {
  HWND field = Make(0);
  SetFocus(field);
  EXPECT_EQ(heard_.notices, std::vector<UINT>{NM_SETFOCUS});
  platform::CaretState caret = platform::GetCaretState();
  EXPECT_EQ(caret.owner, field);
  EXPECT_EQ(caret.size.cx, 1);
  EXPECT_EQ(caret.size.cy, 24 - 4);
  EXPECT_EQ(caret.hide_level, 0);
  SetFocus(owner_);
  EXPECT_EQ(heard_.notices, (std::vector<UINT>{NM_SETFOCUS, NM_KILLFOCUS}));
  EXPECT_EQ(platform::GetCaretState().owner, nullptr);
  EXPECT_TRUE(heard_.commands.empty());
  SendMessageW(field, WM_LBUTTONDOWN, 0, 0);  // a click takes the focus
  EXPECT_EQ(GetFocus(), field);
  SetFocus(owner_);

  // Hosted instances tell their host by WM_COMMAND, and only when asked to.
  for (DWORD style : {DWORD{HOTKEY2S_FOCUSCMD}, DWORD{0}}) {
    heard_ = Owner();
    auto* inst = static_cast<tWUHOTKEY2INST*>(LocalAlloc(LPTR, sizeof(tWUHOTKEY2INST)));
    HWND host = CreateWindowExW(0, u"HotkeyHost", u"", WS_POPUP | WS_VISIBLE, 0, 0, 100, 24,
                                nullptr, nullptr, nullptr, inst);
    ASSERT_NE(host, nullptr);
    RECT rect{0, 0, 100, 24};
    ASSERT_TRUE(Hotkey2Inst_Init(inst, style, &rect, host, 7, nullptr));
    SetFocus(owner_);  // the new pop-up took the focus before it had its instance
    heard_ = Owner();
    SetFocus(host);
    SetFocus(owner_);
    if (style) {
      EXPECT_EQ(heard_.commands, (std::vector<WPARAM>{MAKEWPARAM(7, HOTKEY2_SETFOCUS),
                                                      MAKEWPARAM(7, HOTKEY2_KILLFOCUS)}));
      EXPECT_EQ(heard_.command_sources[0], reinterpret_cast<LPARAM>(host));
    } else {
      EXPECT_TRUE(heard_.commands.empty());
    }
    EXPECT_TRUE(heard_.notices.empty());
    DestroyWindow(host);
    EXPECT_EQ(LocalFree(inst), nullptr);
  }
}

TEST_F(WuHotkey2Test, DialogCodes) {
  struct Case {
    DWORD style;
    UINT message;     // 0: no message given
    WPARAM key;
    WORD modifiers;   // set through HOTKEY2_SETKEYS
    WORD first_key;
    LRESULT code;
  } cases[] = {
      {0, 0, 0, 0, 0, 0x81},
      {0xF0, 0, 0, 0, 0, 0x81},
      {0, WM_KEYDOWN, 'A', 0, 0, 0x81},
      {0, WM_KEYDOWN, VK_TAB, 0, 0, 0x81},
      {HOTKEY2S_WANTTAB, WM_KEYDOWN, VK_TAB, 0, 0, 0x85},
      {HOTKEY2S_WANTTAB, WM_KEYUP, VK_TAB, 0, 0, 0x85},
      {HOTKEY2S_WANTESCAPE, WM_KEYDOWN, VK_ESCAPE, 0, 0, 0x85},
      {HOTKEY2S_WANTESCAPE, WM_KEYDOWN, VK_RETURN, 0, 0, 0x81},
      {HOTKEY2S_WANTRETURN, WM_KEYDOWN, VK_RETURN, 0, 0, 0x85},
      {0, WM_KEYDOWN, 'A', HOTKEY2_CTRL, 0, 0x85},    // Ctrl held, no key yet
      {0, WM_KEYDOWN, 'A', HOTKEY2_ALT, 0, 0x85},
      {0, WM_KEYDOWN, 'A', HOTKEY2_SHIFT, 0, 0x81},
      {0, WM_KEYDOWN, 'A', HOTKEY2_CTRL, 'K', 0x81},  // a key already there
      {HOTKEY2S_WANTSYSKEYS, WM_SYSKEYDOWN, 'A', 0, 0, 0x85},
      {HOTKEY2S_WANTSYSKEYS, WM_SYSKEYUP, 'A', 0, 0, 0x85},
      {0x70, WM_SYSKEYDOWN, VK_TAB, HOTKEY2_CTRL, 0, 0x81},
      {HOTKEY2S_WANTSYSKEYS, WM_CHAR, 'A', HOTKEY2_CTRL, 0, 0x81},
  };
  for (const Case& c : cases) {
    HWND field = Make(c.style);
    HOTKEY2_KEYINFO keys{c.first_key, c.modifiers};
    SendMessageW(field, HOTKEY2_SETKEYS, 0, reinterpret_cast<LPARAM>(&keys));
    MSG msg{field, c.message, c.key, 0, 0, {0, 0}};
    LPARAM lparam = c.message ? reinterpret_cast<LPARAM>(&msg) : 0;
    EXPECT_EQ(SendMessageW(field, WM_GETDLGCODE, 0, lparam), c.code)
        << std::hex << c.style << " " << c.message << " " << c.key;
    DestroyWindow(field);
  }
}

TEST_F(WuHotkey2Test, PrivateMessagesGetAndSetTheKeys) {
  HWND field = Make(0);
  heard_.painted.clear();
  HOTKEY2_KEYINFO in{MAKELONG('K', 0x63), 0xFF};
  EXPECT_EQ(SendMessageW(field, HOTKEY2_SETKEYS, 0, reinterpret_cast<LPARAM>(&in)), 'K');
  EXPECT_EQ(heard_.painted, std::vector<std::u16string>{u"Ctrl+Alt+Shift+K, Num 3"});
  HOTKEY2_KEYINFO out{};
  EXPECT_EQ(SendMessageW(field, HOTKEY2_GETKEYS, 0, reinterpret_cast<LPARAM>(&out)), 'K');
  EXPECT_EQ(out.keys, static_cast<DWORD>(MAKELONG('K', 0x63)));
  EXPECT_EQ(out.modifiers, 0xE);  // masked to Shift, Ctrl and Alt
  EXPECT_EQ(SendMessageW(field, HOTKEY2_GETKEYS, 0, 0), 'K');
  EXPECT_EQ(SendMessageW(field, HOTKEY2_SETKEYS, 0, 0), 'K');  // nothing to take
  EXPECT_EQ(SendMessageW(field, WM_USER + 1, 0, 0), 0);
  EXPECT_EQ(SendMessageW(field, 0x7FFF, 0, 0), 0);
  // The font: stored without a repaint, given back.
  HFONT font = WuGetUIFont(102);
  heard_.painted.clear();
  SendMessageW(field, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
  EXPECT_TRUE(heard_.painted.empty());
  EXPECT_EQ(SendMessageW(field, WM_GETFONT, 0, 0), reinterpret_cast<LRESULT>(font));
}

// The caret position after a paint: left + width of the text + 1 + 2.
int CaretXFor(HFONT font, LPCWSTR text) {
  SIZE size{};
  EXPECT_TRUE(WuGetTextExtent(font, text, -1, &size));
  return size.cx + 1 + 2;
}

TEST_F(WuHotkey2Test, PaintingTheBackgroundTextAndCaret) {
  HWND field = Make(0);
  SetFocus(field);
  HOTKEY2_KEYINFO keys{0x74, 0x6};
  SendMessageW(field, HOTKEY2_SETKEYS, 0, reinterpret_cast<LPARAM>(&keys));
  POINT caret{};
  ASSERT_TRUE(GetCaretPos(&caret));
  EXPECT_EQ(caret.x, CaretXFor(WuGetUIFont(100), u"Ctrl+Shift+F5"));
  EXPECT_EQ(caret.y, 2);
  // Without an answer from the owner the field is in the window colour.
  HDC dc = GetDC(field);
  EXPECT_EQ(GetPixel(dc, 118, 22), GetSysColor(COLOR_WINDOW));
  // The owner's brush and colour fill the field; the text stands on it.
  heard_.brush = CreateSolidBrush(kOwnerColor);
  SendMessageW(field, WM_SETFONT, reinterpret_cast<WPARAM>(WuGetUIFont(102)), FALSE);
  InvalidateRect(field, nullptr, FALSE);
  UpdateWindow(field);
  EXPECT_EQ(GetPixel(dc, 118, 22), kOwnerColor);
  EXPECT_EQ(GetPixel(dc, 0, 0), kOwnerColor);
  int other = 0;
  for (int y = 2; y < 22; ++y)
    for (int x = 2; x < caret.x; ++x) other += GetPixel(dc, x, y) != kOwnerColor;
  EXPECT_GT(other, 0) << "no text drawn";
  ASSERT_TRUE(GetCaretPos(&caret));
  EXPECT_EQ(caret.x, CaretXFor(WuGetUIFont(102), u"Ctrl+Shift+F5"));
  ReleaseDC(field, dc);
  DestroyWindow(field);
  DeleteObject(heard_.brush);
  heard_.brush = nullptr;

  // The caret follows the drawing area's left and top (a host's area here).
  tWUHOTKEY2INST inst{};
  HWND host = CreateWindowExW(0, u"HotkeyHost", u"", WS_POPUP, 0, 0, 120, 30, nullptr, nullptr,
                              nullptr, &inst);
  ASSERT_NE(host, nullptr);
  RECT rect{0, 0, 100, 24};
  ASSERT_TRUE(Hotkey2Inst_Init(&inst, 0, &rect, host, 7, nullptr));
  inst.rect = RECT{10, 3, 110, 27};
  inst.first_key = 'A';
  ShowWindow(host, SW_SHOWNORMAL);
  SetFocus(host);
  EXPECT_EQ(platform::GetCaretState().size.cy, 20);
  InvalidateRect(host, nullptr, FALSE);
  UpdateWindow(host);
  ASSERT_TRUE(GetCaretPos(&caret));
  EXPECT_EQ(caret.x, 10 + CaretXFor(WuGetUIFont(100), u"A"));
  EXPECT_EQ(caret.y, 3 + 2);
  DestroyWindow(host);
}

TEST_F(WuHotkey2Test, ThemedFieldsDrawThroughTheVisualStyles) {
  XPTheme_Default(1);
  auto standin = std::make_unique<uxtheme_standin::StandIn>();
  ASSERT_EQ(XPTheme_Initialize(XPTheme_Record(), nullptr, FALSE), S_OK);
  uxtheme_standin::ClearCalls();
  HWND field = Make(0);
  HOTKEY2_KEYINFO keys{'A', HOTKEY2_CTRL};
  SendMessageW(field, HOTKEY2_SETKEYS, 0, reinterpret_cast<LPARAM>(&keys));
  auto backgrounds = uxtheme_standin::CallsOf("DrawThemeBackground");
  auto texts = uxtheme_standin::CallsOf("DrawThemeText");
  ASSERT_EQ(backgrounds.size(), 1u);
  ASSERT_EQ(texts.size(), 1u);
  EXPECT_EQ(backgrounds[0].control, WUXPTHEME_EDIT);
  EXPECT_EQ(backgrounds[0].part, 1);
  EXPECT_EQ(backgrounds[0].state, 1);
  EXPECT_EQ(texts[0].control, WUXPTHEME_EDIT);
  std::vector<std::string> order;
  for (const auto& call : uxtheme_standin::Calls())
    if (call.name.rfind("DrawTheme", 0) == 0) order.push_back(call.name);
  EXPECT_EQ(order, (std::vector<std::string>{"DrawThemeBackground", "DrawThemeText"}));
  // Both go into the field inside a margin of 2 at the left and top, on the
  // background of the owner's brush.
  HDC dc = GetDC(field);
  EXPECT_EQ(GetPixel(dc, 1, 1), GetSysColor(COLOR_WINDOW));
  EXPECT_EQ(GetPixel(dc, 2, 2), uxtheme_standin::TextColor(WUXPTHEME_EDIT, 1, 1));
  EXPECT_EQ(GetPixel(dc, 119, 23), uxtheme_standin::TextColor(WUXPTHEME_EDIT, 1, 1));
  ReleaseDC(field, dc);
  // WM_THEMECHANGED reaches the theme layer: the handles close and reopen.
  size_t closes = uxtheme_standin::CallsOf("CloseThemeData").size();
  SendMessageW(field, WM_THEMECHANGED, 0, 0);
  EXPECT_EQ(uxtheme_standin::CallsOf("CloseThemeData").size(), closes + WUXPTHEME_COUNT);
  EXPECT_EQ(uxtheme_standin::OpenThemeCount(), WUXPTHEME_COUNT);
  DestroyWindow(field);
  XPTheme_Cleanup(XPTheme_GetDefault());
  XPTheme_Default(0);
}

TEST_F(WuHotkey2Test, HostedInstancesBelongToTheirHost) {
  auto* inst = static_cast<tWUHOTKEY2INST*>(LocalAlloc(LPTR, sizeof(tWUHOTKEY2INST)));
  ASSERT_NE(inst, nullptr);
  inst->flags = HOTKEY2F_NOBACKGROUND | HOTKEY2F_FIRSTDOWN | 0x10000;
  inst->first_key = 'Q';
  HWND host = CreateWindowExW(0, u"HotkeyHost", u"", WS_POPUP, 0, 0, 100, 24, nullptr, nullptr,
                              nullptr, inst);
  ASSERT_NE(host, nullptr);
  int marker = 0;
  RECT rect{5, 6, 105, 30};
  EXPECT_FALSE(Hotkey2Inst_Init(nullptr, 0, &rect, host, 7, nullptr));
  ASSERT_TRUE(Hotkey2Inst_Init(inst, HOTKEY2S_ASK | HOTKEY2S_SEQUENCE, &rect, host, 7, &marker));
  EXPECT_EQ(inst->window, host);
  EXPECT_EQ(inst->notify_window, host);
  EXPECT_EQ(inst->control_id, 7u);
  EXPECT_EQ(inst->user_data, &marker);
  // The host's own bits stay (HOTKEY2F_NOBACKGROUND and those above 0x80).
  EXPECT_EQ(inst->flags, HOTKEY2F_HOSTED | HOTKEY2F_NOBACKGROUND | HOTKEY2F_FIRSTDOWN |
                             HOTKEY2F_ASK | HOTKEY2F_SEQUENCE | 0x10000u);
  EXPECT_EQ(inst->rect.left, 0);
  EXPECT_EQ(inst->rect.right, 100);
  EXPECT_EQ(inst->rect.bottom, 24);
  EXPECT_EQ(inst->first_key, 0);
  EXPECT_EQ(inst->dialog_code, HOTKEY2_DLGCODE);
  EXPECT_EQ(inst->sequence_timeout, HOTKEY2_SEQUENCE_TIMEOUT);
  // The control works on it; with HOTKEY2F_NOBACKGROUND it asks for no brush.
  ShowWindow(host, SW_SHOWNORMAL);
  SetFocus(host);
  CtrlK(host);
  EXPECT_EQ(inst->first_key, 'K');
  EXPECT_EQ(inst->modifiers, HOTKEY2_CTRL);
  EXPECT_FALSE(heard_.candidates.empty());
  UpdateWindow(host);
  EXPECT_TRUE(heard_.painted.empty());
  // Destroying the window leaves the host's instance alone.
  DestroyWindow(host);
  EXPECT_EQ(g_user_data_after_destroy, 0);
  EXPECT_EQ(inst->control_id, 7u);
  EXPECT_EQ(LocalFree(inst), nullptr);

  // A window's own instance is freed with it.
  size_t blocks = platform::LiveGlobalBlockCount();
  HWND field = Make(0);
  EXPECT_EQ(platform::LiveGlobalBlockCount(), blocks + 1);
  DestroyWindow(field);
  EXPECT_EQ(platform::LiveGlobalBlockCount(), blocks);
  // Without memory for it the window is not made.
  platform::FailNextAllocations(1);
  EXPECT_EQ(CreateWindowExW(0, kClass, u"", WS_CHILD, 0, 0, 10, 10, owner_, nullptr, nullptr,
                            nullptr),
            nullptr);
  platform::FailNextAllocations(0);
}

TEST_F(WuHotkey2Test, TheClassAndItsCreationData) {
  EXPECT_TRUE(Hotkey2Class_Initialize(GetModuleHandleW(nullptr), kClass));  // already there
  WNDCLASSW wc{};
  ASSERT_TRUE(GetClassInfoW(GetModuleHandleW(nullptr), kClass, &wc));
  EXPECT_EQ(wc.style, 0x4003u);
  EXPECT_NE(wc.hCursor, nullptr);
  EXPECT_EQ(wc.hbrBackground, reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_WINDOW + 1)));
  EXPECT_EQ(wc.cbWndExtra, 0);

  HWND field = CreateWindowExW(0, kClass, u"", WS_CHILD | WS_DISABLED | 0xE001, 3, 4, 50, 20,
                               owner_, reinterpret_cast<HMENU>(static_cast<UINT_PTR>(kId)),
                               nullptr, &wc);
  ASSERT_NE(field, nullptr);
  auto* inst = reinterpret_cast<tWUHOTKEY2INST*>(GetWindowLongPtrW(field, GWLP_USERDATA));
  ASSERT_NE(inst, nullptr);
  EXPECT_EQ(inst->flags, HOTKEY2F_DISABLED | HOTKEY2F_SEQUENCE | HOTKEY2F_ASK |
                             HOTKEY2F_FOCUSCMD | HOTKEY2F_NOPAINT);
  EXPECT_EQ(inst->notify_window, nullptr);  // the parent is told
  EXPECT_EQ(inst->user_data, &wc);
  EXPECT_EQ(inst->control_id, kId);
  EXPECT_EQ(inst->rect.right - inst->rect.left, 50);
  SendMessageW(field, WM_ENABLE, TRUE, 0);
  EXPECT_EQ(inst->flags & HOTKEY2F_DISABLED, 0u);
  SendMessageW(field, WM_ENABLE, FALSE, 0);
  EXPECT_NE(inst->flags & HOTKEY2F_DISABLED, 0u);
  DestroyWindow(field);
}

// The field's states as pictures for people (compared by nothing).
TEST_F(WuHotkey2Test, PictureOfTheFieldsStates) {
  struct State {
    DWORD keys;
    WORD modifiers;
    bool focus;
  } states[] = {
      {0, 0, false}, {0, HOTKEY2_CTRL, true}, {0x74, 0x6, false}, {MAKELONG('K', 0x63), 0x4, true},
      {0xBA, 0x8, false},
  };
  constexpr int kHeight = 28;
  wutest::Canvas sheet(130, kHeight * 5);
  HWND field = Make(0);
  int y = 0;
  for (const State& s : states) {
    if (s.focus)
      SetFocus(field);
    else
      SetFocus(owner_);
    HOTKEY2_KEYINFO keys{s.keys, s.modifiers};
    SendMessageW(field, HOTKEY2_SETKEYS, 0, reinterpret_cast<LPARAM>(&keys));
    HDC dc = GetDC(field);
    BitBlt(sheet.dc(), 2, y + 2, 120, 24, dc, 0, 0, SRCCOPY);
    ReleaseDC(field, dc);
    POINT caret{};
    if (s.focus && GetCaretPos(&caret)) {  // the model draws no caret: the sheet does
      RECT mark{2 + caret.x, y + 2 + caret.y, 3 + caret.x, y + 2 + caret.y + 20};
      FillRect(sheet.dc(), &mark, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    }
    y += kHeight;
  }
  int width = sheet.width(), height = sheet.height();
  std::vector<uint32_t> rows_up(static_cast<size_t>(width) * static_cast<size_t>(height));
  const auto* top_down = static_cast<const uint32_t*>(sheet.bits());
  for (int r = 0; r < height; ++r)
    std::memcpy(&rows_up[static_cast<size_t>(height - 1 - r) * static_cast<size_t>(width)],
                top_down + static_cast<size_t>(r) * static_cast<size_t>(width),
                static_cast<size_t>(width) * 4);
  for (uint32_t& pixel : rows_up) pixel |= 0xFF000000u;
  std::u16string path =
      platform::ToUtf16(std::string(WU_SHELLUI_PICTURES_DIR) + "/hotkey_states.png");
  WUPNGFILEOPTIONS options{28, 0};
  BITMAPINFOHEADER header{sizeof(BITMAPINFOHEADER), width, height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  EXPECT_EQ(WuSaveDiskPngDib(path.c_str(), &header, rows_up.data(), &options), S_OK);
}

}  // namespace
