// The link and bitmap static control.
#include "foundation/WuStaticCtl.h"

#include <gtest/gtest.h>

#include <cstring>

#include "platform/gdi/gdi.h"

namespace {

// Parent that records the last WM_NOTIFY.
NMHDR g_last{};
LRESULT ParentProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NOTIFY) g_last = *reinterpret_cast<NMHDR*>(lparam);
  return DefWindowProcW(window, message, wparam, lparam);
}

class WuStaticCtlTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(WuStaticCtl_Register(nullptr));
    ASSERT_TRUE(WuStaticCtl_Register(nullptr));  // a second registration is fine
    WNDCLASSW wc{};
    wc.lpfnWndProc = ParentProc;
    wc.lpszClassName = u"WuStaticCtlTestParent";
    RegisterClassW(&wc);
    parent_ = CreateWindowW(u"WuStaticCtlTestParent", u"p", WS_OVERLAPPEDWINDOW, 0, 0, 200, 200,
                            nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(parent_, nullptr);
  }
  void TearDown() override { DestroyWindow(parent_); }
  HWND Make(void* data) {
    return CreateWindowW(WUSTATIC_CLASS, u"link", WS_CHILD | WS_VISIBLE, 0, 0, 50, 20, parent_,
                         reinterpret_cast<HMENU>(static_cast<uintptr_t>(3018)), nullptr, data);
  }
  HWND parent_ = nullptr;
};

TEST_F(WuStaticCtlTest, ClickNotifiesParent) {
  HWND link = Make(nullptr);
  ASSERT_NE(link, nullptr);
  EXPECT_EQ(WuStaticCtl_GetBitmap(link), nullptr);
  g_last = NMHDR{};
  SendMessageW(link, WM_LBUTTONUP, 0, 0);
  EXPECT_EQ(g_last.hwndFrom, link);
  EXPECT_EQ(g_last.idFrom, 3018u);
  EXPECT_EQ(static_cast<int>(g_last.code), -105);
}

TEST_F(WuStaticCtlTest, CreationDataSelectsBitmapAndControlOwnsIt) {
  HBITMAP bitmap = CreateBitmap(4, 4, 1, 32, nullptr);
  ASSERT_NE(bitmap, nullptr);
  // Dialog-template form: size 6, the value 1, a 32-bit handle.
  BYTE data[8] = {6, 0, 1, 0};
  uint32_t handle = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(bitmap));
  ASSERT_EQ(reinterpret_cast<uintptr_t>(bitmap), handle);
  std::memcpy(data + 4, &handle, 4);
  HWND image = Make(data);
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(WuStaticCtl_GetBitmap(image), bitmap);
  DestroyWindow(image);
  EXPECT_FALSE(DeleteObject(bitmap));  // already deleted with the control

  BYTE other[8] = {6, 0, 2, 0, 1, 2, 3, 4};  // not the bitmap form
  HWND text = Make(other);
  EXPECT_EQ(WuStaticCtl_GetBitmap(text), nullptr);
}

}  // namespace
