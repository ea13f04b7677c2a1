// Accelerator tables: building them from records and resource bytes, and
// matching key messages.
#include "platform/user/accel.h"

#include <gtest/gtest.h>

#include <vector>

#include "platform/kernel/error.h"
#include "platform/kernel/resource.h"
#include "platform/user/windows.h"

namespace {

// Resource bytes of a table: flags, key, command, padding per entry.
std::vector<BYTE> ResourceBytes(const std::vector<ACCEL>& entries, bool mark_last = true) {
  std::vector<BYTE> bytes;
  auto word = [&](WORD w) {
    bytes.push_back(static_cast<BYTE>(w));
    bytes.push_back(static_cast<BYTE>(w >> 8));
  };
  for (size_t i = 0; i < entries.size(); ++i) {
    bool last = mark_last && i + 1 == entries.size();
    word(static_cast<WORD>(entries[i].fVirt | (last ? 0x80 : 0)));
    word(entries[i].key);
    word(entries[i].cmd);
    word(0);
  }
  return bytes;
}

const std::vector<ACCEL> kTable = {
    {FVIRTKEY | FCONTROL, 'S', 101},
    {FVIRTKEY | FCONTROL | FSHIFT, 'S', 102},
    {0, 'a', 103},
    {FVIRTKEY | FALT, VK_F1 + 3, 104},  // Alt+F4
};

TEST(AccelTest, TablesFromResourceBytesAndRecords) {
  size_t live = platform::LiveAcceleratorTableCount();
  std::vector<BYTE> bytes = ResourceBytes(kTable);
  platform::ResourceItem item{RT_ACCELERATOR, MAKEINTRESOURCEW(300), 0x409, bytes.data(),
                              static_cast<DWORD>(bytes.size())};
  ASSERT_TRUE(platform::AddModuleResources(nullptr, &item, 1));
  HACCEL table = LoadAcceleratorsW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(300));
  ASSERT_NE(table, nullptr);
  ASSERT_EQ(CopyAcceleratorTableW(table, nullptr, 0), 4);
  std::vector<ACCEL> copy(4);
  EXPECT_EQ(CopyAcceleratorTableW(table, copy.data(), 2), 2);  // only as many as asked
  EXPECT_EQ(CopyAcceleratorTableW(table, copy.data(), 4), 4);
  for (size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(copy[i].fVirt, kTable[i].fVirt) << i;  // the last-entry mark is not a flag
    EXPECT_EQ(copy[i].key, kTable[i].key) << i;
    EXPECT_EQ(copy[i].cmd, kTable[i].cmd) << i;
  }
  EXPECT_EQ(platform::LiveAcceleratorTableCount(), live + 1);
  EXPECT_TRUE(DestroyAcceleratorTable(table));
  EXPECT_FALSE(DestroyAcceleratorTable(table));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  EXPECT_EQ(CopyAcceleratorTableW(table, nullptr, 0), 0);

  // Entries after the one marked last are not part of the table.
  std::vector<BYTE> early = ResourceBytes({kTable[0]});
  std::vector<BYTE> rest = ResourceBytes({kTable[1]});
  early.insert(early.end(), rest.begin(), rest.end());
  HACCEL one = platform::CreateAcceleratorTableFromResource(early.data(), static_cast<DWORD>(early.size()));
  ASSERT_NE(one, nullptr);
  EXPECT_EQ(CopyAcceleratorTableW(one, nullptr, 0), 1);
  DestroyAcceleratorTable(one);

  HACCEL made = CreateAcceleratorTableW(kTable.data(), 2);
  ASSERT_NE(made, nullptr);
  EXPECT_EQ(CopyAcceleratorTableW(made, nullptr, 0), 2);
  DestroyAcceleratorTable(made);
  EXPECT_EQ(CreateAcceleratorTableW(kTable.data(), 0), nullptr);
  EXPECT_EQ(platform::LiveAcceleratorTableCount(), live);
}

TEST(AccelTest, DamagedOrMissingResourcesMakeNoTable) {
  size_t live = platform::LiveAcceleratorTableCount();
  std::vector<BYTE> whole = ResourceBytes(kTable);
  struct Case {
    const char* what;
    std::vector<BYTE> bytes;
  };
  std::vector<Case> cases = {
      {"empty", {}},
      {"no last mark", ResourceBytes(kTable, false)},
      {"cut inside the last entry", std::vector<BYTE>(whole.begin(), whole.end() - 3)},
      {"shorter than one entry", std::vector<BYTE>(whole.begin(), whole.begin() + 6)},
  };
  for (const Case& c : cases) {
    SetLastError(0);
    EXPECT_EQ(platform::CreateAcceleratorTableFromResource(c.bytes.data(),
                                                           static_cast<DWORD>(c.bytes.size())),
              nullptr)
        << c.what;
    EXPECT_EQ(GetLastError(), ERROR_INVALID_DATA) << c.what;
  }
  std::vector<BYTE> cut(whole.begin(), whole.end() - 8);  // the marked entry lost
  platform::ResourceItem item{RT_ACCELERATOR, MAKEINTRESOURCEW(301), 0x409, cut.data(),
                              static_cast<DWORD>(cut.size())};
  ASSERT_TRUE(platform::AddModuleResources(nullptr, &item, 1));
  EXPECT_EQ(LoadAcceleratorsW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(301)), nullptr);
  EXPECT_EQ(LoadAcceleratorsW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(399)), nullptr);
  EXPECT_EQ(platform::LiveAcceleratorTableCount(), live);
}

std::vector<WPARAM>* g_commands = nullptr;

LRESULT CommandProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_COMMAND && g_commands) g_commands->push_back(wparam);
  return DefWindowProcW(hwnd, message, wparam, lparam);
}

TEST(AccelTest, TranslateMatchesKeysWithTheirExactModifiers) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = CommandProc;
  wc.lpszClassName = u"AccelTarget";
  ASSERT_NE(RegisterClassExW(&wc), 0);
  HWND window = CreateWindowExW(0, u"AccelTarget", u"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                nullptr, nullptr);
  ASSERT_NE(window, nullptr);
  HACCEL table = CreateAcceleratorTableW(kTable.data(), static_cast<int>(kTable.size()));
  ASSERT_NE(table, nullptr);
  std::vector<WPARAM> commands;
  g_commands = &commands;

  struct Case {
    UINT message;
    WPARAM key;
    std::vector<int> held;  // virtual keys down
    int command;            // 0: no match
  };
  const Case cases[] = {
      {WM_KEYDOWN, 'S', {VK_CONTROL}, 101},
      {WM_KEYDOWN, 'S', {VK_CONTROL, VK_SHIFT}, 102},
      {WM_KEYDOWN, 'S', {}, 0},                       // Ctrl is required
      {WM_KEYDOWN, 'S', {VK_CONTROL, VK_MENU}, 0},    // an extra modifier is no match
      {WM_KEYUP, 'S', {VK_CONTROL}, 0},               // only key presses count
      {WM_SYSKEYDOWN, VK_F1 + 3, {VK_MENU}, 104},
      {WM_CHAR, 'a', {}, 103},
      {WM_KEYDOWN, 'a', {}, 0},                       // a character entry is no virtual key
      {WM_SYSCHAR, 'a', {VK_MENU}, 0},                // Alt not asked for
  };
  for (const Case& c : cases) {
    platform::ResetKeyState();
    for (int k : c.held) platform::SetKeyDown(k, true);
    commands.clear();
    MSG msg{};
    msg.hwnd = window;
    msg.message = c.message;
    msg.wParam = c.key;
    int result = TranslateAcceleratorW(window, table, &msg);
    if (c.command) {
      EXPECT_EQ(result, 1) << c.key << " " << c.command;
      ASSERT_EQ(commands.size(), 1u) << c.command;
      EXPECT_EQ(commands[0], MAKEWPARAM(static_cast<WORD>(c.command), 1));
    } else {
      EXPECT_EQ(result, 0) << c.key << " message " << c.message;
      EXPECT_TRUE(commands.empty());
    }
  }
  platform::ResetKeyState();
  MSG msg{window, WM_KEYDOWN, 'S', 0, 0, {0, 0}};
  DestroyAcceleratorTable(table);
  EXPECT_EQ(TranslateAcceleratorW(window, table, &msg), 0);  // a destroyed table
  g_commands = nullptr;
  DestroyWindow(window);
  UnregisterClassW(u"AccelTarget", nullptr);
}

}  // namespace
