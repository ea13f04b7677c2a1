// The template editor run over fio_test_renderer under the scripted front
// end: choosing, saving, refusing, deleting, OK and Cancel.
#include <cstring>
#include <string>

#include "foundation/WuTabCtl.h"
#include "foundation/WuDlgTemplate.h"
#include "platform/kernel/error.h"
#include "platform/kernel/files.h"
#include "tests/fileio/TempEditFixture.h"

namespace fio_test {
namespace {

constexpr HRESULT kCancelled = static_cast<HRESULT>(0x8004E00C);

TEST(TempEditMark, AddAndStrip) {
  struct Case {
    const char16_t* name;
    int size;
    const char16_t* added;
    const char16_t* stripped;
  } cases[] = {
      {u"My T", 20, u"My T (*)", u"My T"},
      {u"My T (*)", 20, u"My T (*)", u"My T"},
      {u"", 20, u" (*)", u""},
      {u" (*)", 20, u" (*)", u" (*)"},            // 4 characters: not stripped
      {u"x (*)", 20, u"x (*)", u"x"},
      {u"abcdefgh", 9, u"abcd (*)", u"abcdefgh"},  // cut to make room
      {u"My T(*)", 20, u"My T(*) (*)", u"My T(*)"},
  };
  for (const Case& c : cases) {
    WCHAR buffer[32] = {};
    std::memcpy(buffer, c.name, (std::char_traits<char16_t>::length(c.name) + 1) * 2);
    WuTempEdit_AddModifiedMark(buffer, c.size);
    EXPECT_EQ(std::u16string(buffer), c.added) << U8(c.name);
    std::memcpy(buffer, c.name, (std::char_traits<char16_t>::length(c.name) + 1) * 2);
    WuTempEdit_StripModifiedMark(buffer);
    EXPECT_EQ(std::u16string(buffer), c.stripped) << U8(c.name);
  }
}

// Select a preset, edit the notes and the page's setting, type a name and
// save with the toolbar: the file appears, the cache and the list hold it;
// a second save writes nothing.
TEST_F(TempEditTest, SaveWritesOnceAndLists) {
  const std::u16string file = std::u16string(folder_) + u"My T.wut2";
  std::string firstBytes;
  ULONGLONG firstTime = 0;
  bool cached = false, listed = false;
  HRESULT second = E_FAIL;
  script_.Pick(WUTE_ID_COMBO, 0)
      .Type(WUTE_ID_NOTES, u"my notes")
      .Check(kRendererPageControl, true)
      .Type(WUTE_ID_COMBO, u"My T")
      .PressText(u"Save Template");
  Look([&](WuTempEditState* s) {
    LONG where = 0, index = -1;
    const tagWUTEMPLATExV2* found =
        s->cache->FindTemplateByName(u"My T", true, 16, 19, &where, &index, nullptr, 0);
    cached = found != nullptr && found == s->current && index >= 0;
    listed = ItemOf(s, u"My T") >= 0;
    firstBytes = wutest::ReadBytes(U8(file));
    firstTime = LastWrite(file);
  });
  script_.Press(WUTE_ID_SAVE);
  KeepResult(&second);
  script_.Escape();
  _FIOEDITTEMPLATE args = Args();
  EXPECT_EQ(Edit(&args), S_FALSE);
  EXPECT_TRUE(cached);
  EXPECT_TRUE(listed);
  EXPECT_EQ(second, S_FALSE);
  ASSERT_FALSE(firstBytes.empty());
  EXPECT_EQ(wutest::ReadBytes(U8(file)), firstBytes);
  const auto* saved = reinterpret_cast<const tagWUTEMPLATExV2*>(firstBytes.data());
  EXPECT_EQ(std::u16string(saved->GetName()), u"My T");
  EXPECT_EQ(std::u16string(WuFio_GetTemplateNotesPtr(saved)), u"my notes");
  EXPECT_EQ(saved->PrivateData()[kRendererSettingsByte] & 1, 1);
  GUID expected{};
  ASSERT_EQ(WuFio_InitGUIDFromTemplateMD5DataHash(&expected, saved, TRUE), S_OK);
  EXPECT_TRUE(saved->guid == expected);
  EXPECT_NE(firstTime, 0u);
  EXPECT_EQ(LastWrite(file), firstTime);
}

}  // namespace
}  // namespace fio_test
