#include "platform/shell/shelllink.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/kernel/files.h"
#include "platform/kernel/locale.h"
#include "tests/common/TestUtil.h"

namespace {

using namespace wutest;

struct LinkHolder {
  IShellLinkW* link = nullptr;
  ~LinkHolder() {
    if (link) link->Release();
  }
};

TEST(ShellLinkTest, CreatedThroughTheClassTable) {
  LinkHolder h;
  ASSERT_EQ(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                             reinterpret_cast<void**>(&h.link)),
            S_OK);
  ASSERT_NE(h.link, nullptr);
  void* stream = reinterpret_cast<void*>(1);
  EXPECT_EQ(h.link->QueryInterface(IID_IStream, &stream), E_NOINTERFACE);
  EXPECT_EQ(stream, nullptr);
}

TEST(ShellLinkTest, FieldsRoundTripAndAreBounded) {
  LinkHolder h;
  ASSERT_EQ(platform::CreateShellLink(IID_IShellLinkW, reinterpret_cast<void**>(&h.link)), S_OK);
  IShellLinkW* l = h.link;
  WCHAR buf[MAX_PATH];

  EXPECT_EQ(l->GetPath(buf, MAX_PATH, nullptr, 0), S_FALSE);  // nothing set
  EXPECT_EQ(buf[0], 0);
  ASSERT_EQ(l->SetPath(u"/opt/app/run"), S_OK);
  ASSERT_EQ(l->SetArguments(u"-x \"a b\""), S_OK);
  ASSERT_EQ(l->SetWorkingDirectory(u"/opt/app"), S_OK);
  ASSERT_EQ(l->SetDescription(u"Runs the app"), S_OK);
  ASSERT_EQ(l->SetIconLocation(u"/opt/app/app.ico", 3), S_OK);

  EXPECT_EQ(l->GetPath(buf, MAX_PATH, nullptr, 0), S_OK);
  EXPECT_EQ(std::u16string(buf), u"/opt/app/run");
  l->GetArguments(buf, MAX_PATH);
  EXPECT_EQ(std::u16string(buf), u"-x \"a b\"");
  l->GetWorkingDirectory(buf, MAX_PATH);
  EXPECT_EQ(std::u16string(buf), u"/opt/app");
  l->GetDescription(buf, MAX_PATH);
  EXPECT_EQ(std::u16string(buf), u"Runs the app");
  int index = 0;
  l->GetIconLocation(buf, MAX_PATH, &index);
  EXPECT_EQ(std::u16string(buf), u"/opt/app/app.ico");
  EXPECT_EQ(index, 3);

  // Small buffers get a cut, terminated text; bad buffers are refused.
  WCHAR small[4];
  EXPECT_EQ(l->GetPath(small, 4, nullptr, 0), S_OK);
  EXPECT_EQ(std::u16string(small), u"/op");
  EXPECT_EQ(l->GetDescription(nullptr, 10), E_INVALIDARG);
  EXPECT_EQ(l->GetDescription(buf, 0), E_INVALIDARG);

  // A path at the limit is refused and the old one kept.
  std::u16string too_long(MAX_PATH, u'a');
  EXPECT_EQ(l->SetPath(too_long.c_str()), E_INVALIDARG);
  l->GetPath(buf, MAX_PATH, nullptr, 0);
  EXPECT_EQ(std::u16string(buf), u"/opt/app/run");
}

TEST(ShellLinkTest, ResolveReportsWhetherTheTargetExists) {
  LinkHolder h;
  ASSERT_EQ(platform::CreateShellLink(IID_IShellLinkW, reinterpret_cast<void**>(&h.link)), S_OK);
  std::string dir = MakeTempDir();
  std::u16string target = U16(dir + "/target");
  h.link->SetPath(target.c_str());
  EXPECT_EQ(h.link->Resolve(nullptr, SLR_NO_UI), S_FALSE);
  WriteBytes(dir + "/target", "x");
  EXPECT_EQ(h.link->Resolve(nullptr, SLR_NO_UI), S_OK);
}

}  // namespace
