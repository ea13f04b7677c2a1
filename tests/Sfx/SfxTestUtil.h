// Helpers of the self-extractor tests: a fresh run state with a language
// handle over the test program, and a front end that records every box
// shown and closes it with its default button.
#pragma once

#include <gtest/gtest.h>

#include <mutex>
#include <string>
#include <vector>

#include "Sfx/SfxRunState.h"
#include "foundation/WuKernelState.h"
#include "foundation/WuLang.h"
#include "foundation/WuPrintF.h"
#include "platform/user/frontend.h"
#include "platform/kernel/locale.h"
#include "platform/kernel/module.h"
#include "tests/common/TestUtil.h"

namespace sfxtest {

using wutest::U16;
using wutest::U8;

// Records the title and the static texts of each modal dialog and presses
// Enter in it.
class BoxRecorder : public platform::FrontEnd {
 public:
  struct Box {
    std::u16string title;  // window title
    std::u16string text;   // the static texts, joined
  };

  void ModalBegin(HWND dialog) override {
    Box box{platform::WindowText(dialog), {}};
    for (const platform::ControlInfo& c : platform::DescribeDialog(dialog))
      if (c.kind == platform::ControlKind::kText) box.text += c.text;
    std::lock_guard<std::mutex> hold(lock_);
    boxes_.push_back(box);
  }
  void ModalIdle(HWND dialog) override { platform::PressEnter(dialog); }
  void ModalEnd(HWND, INT_PTR) override {}

  std::vector<Box> boxes() {
    std::lock_guard<std::mutex> hold(lock_);
    return boxes_;
  }

 private:
  std::mutex lock_;
  std::vector<Box> boxes_;
};

// A zeroed run state whose language handle (also the kernel's) reads the
// test program's strings, the token table, and the box recorder.
class RunStateTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_SfxRunState = {};
    ASSERT_EQ(WuLang_Open(&lang_, GetModuleHandleW(nullptr), 0, 0), S_OK);
    WuKernel_SetLangHandle(lang_);
    g_SfxRunState.lang = lang_;
    WuPrintF_CreateTokens();
    platform::SetFrontEnd(&boxes_);
  }
  void TearDown() override {
    platform::SetFrontEnd(nullptr);
    WuPrintF_DestroyTokens();
    WuKernel_SetLangHandle(nullptr);
    WuLang_Close(lang_);
    g_SfxRunState = {};
    platform::SetUserLocale(0, 0);
    platform::SetSystemLocale(0);
  }

  HWULANG lang_ = nullptr;
  BoxRecorder boxes_;
};

}  // namespace sfxtest
