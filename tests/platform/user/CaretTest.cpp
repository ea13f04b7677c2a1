// The caret: one per thread, owned by a window of that thread, shown at
// hide level 0.
#include "platform/user/caret.h"

#include <gtest/gtest.h>

#include <thread>

#include "platform/kernel/error.h"
#include "platform/user/windows.h"

namespace {

HWND MakeWindow() {
  return CreateWindowExW(0, u"STATIC", u"", WS_POPUP, 0, 0, 50, 20, nullptr, nullptr, nullptr,
                         nullptr);
}

TEST(CaretTest, LifeOfACaretOnOneThread) {
  HWND a = MakeWindow();
  HWND b = MakeWindow();
  ASSERT_TRUE(a && b);
  POINT p{};
  EXPECT_FALSE(GetCaretPos(&p));  // none yet
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  EXPECT_FALSE(ShowCaret(a));
  EXPECT_FALSE(SetCaretPos(1, 1));
  EXPECT_FALSE(DestroyCaret());

  ASSERT_TRUE(CreateCaret(a, nullptr, 1, 12));
  platform::CaretState s = platform::GetCaretState();
  EXPECT_EQ(s.owner, a);
  EXPECT_EQ(s.size.cx, 1);
  EXPECT_EQ(s.size.cy, 12);
  EXPECT_EQ(s.hide_level, 1);  // a new caret is hidden
  EXPECT_TRUE(ShowCaret(a));
  EXPECT_FALSE(ShowCaret(a));  // already showing: no level below 0
  EXPECT_EQ(platform::GetCaretState().hide_level, 0);
  EXPECT_FALSE(HideCaret(b));  // not the owner
  EXPECT_TRUE(HideCaret(nullptr));
  EXPECT_TRUE(HideCaret(a));
  EXPECT_TRUE(ShowCaret(nullptr));
  EXPECT_EQ(platform::GetCaretState().hide_level, 1);
  EXPECT_TRUE(SetCaretPos(7, 3));
  EXPECT_FALSE(GetCaretPos(nullptr));
  ASSERT_TRUE(GetCaretPos(&p));
  EXPECT_EQ(p.x, 7);
  EXPECT_EQ(p.y, 3);

  // A new caret replaces the old one, hidden and at the origin; 0 sizes take
  // the border metrics.
  ASSERT_TRUE(CreateCaret(b, nullptr, 0, 0));
  s = platform::GetCaretState();
  EXPECT_EQ(s.owner, b);
  EXPECT_EQ(s.size.cx, GetSystemMetrics(SM_CXBORDER));
  EXPECT_EQ(s.size.cy, GetSystemMetrics(SM_CYBORDER));
  EXPECT_EQ(s.position.x, 0);
  EXPECT_EQ(s.hide_level, 1);
  // The owner's destruction takes the caret with it.
  DestroyWindow(b);
  EXPECT_EQ(platform::GetCaretState().owner, nullptr);
  EXPECT_FALSE(DestroyCaret());
  EXPECT_FALSE(CreateCaret(nullptr, nullptr, 1, 1));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
  ASSERT_TRUE(CreateCaret(a, nullptr, 2, 2));
  EXPECT_TRUE(DestroyCaret());
  EXPECT_FALSE(GetCaretPos(&p));
  DestroyWindow(a);
}

TEST(CaretTest, EachThreadHasItsOwnCaret) {
  HWND mine = MakeWindow();
  ASSERT_NE(mine, nullptr);
  ASSERT_TRUE(CreateCaret(mine, nullptr, 1, 10));
  ASSERT_TRUE(SetCaretPos(4, 5));
  bool other_saw_none = false, other_refused_mine = false, other_made_own = false;
  std::thread other([&] {
    POINT p{};
    other_saw_none = !GetCaretPos(&p) && platform::GetCaretState().owner == nullptr;
    other_refused_mine = !CreateCaret(mine, nullptr, 1, 1) &&
                         GetLastError() == ERROR_INVALID_WINDOW_HANDLE;
    HWND theirs = MakeWindow();
    other_made_own = CreateCaret(theirs, nullptr, 3, 3) && SetCaretPos(9, 9) && DestroyCaret();
    DestroyWindow(theirs);
  });
  other.join();
  EXPECT_TRUE(other_saw_none);
  EXPECT_TRUE(other_refused_mine);
  EXPECT_TRUE(other_made_own);
  POINT p{};
  ASSERT_TRUE(GetCaretPos(&p));  // ours is untouched
  EXPECT_EQ(p.x, 4);
  EXPECT_EQ(p.y, 5);
  EXPECT_TRUE(DestroyCaret());
  DestroyWindow(mine);
}

}  // namespace
