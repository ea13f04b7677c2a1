// The renderer-class helpers over the test renderer plug-in loaded by the
// manager: post-save by switch, lists by key, preset bit rates, texts.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fileio/WuFioRendererHelpers.h"
#include "fileio/WuFioTemplate.h"
#include "fileio/WuFioTemplateQueries.h"
#include "platform/kernel/locale.h"
#include "tests/fileio/FioRendererFixture.h"

namespace fio_test {
namespace {

using RendererHelpersPluginTest = FioRendererTest;

TEST_F(RendererHelpersPluginTest, PostSaveBySwitch) {
  WCHAR path[64] = u"/chosen.trn";
  tagWUTEMPLATExV2* slot = nullptr;
  ASSERT_EQ(renderer_->GetPreset(&slot, 1), S_OK);
  // A new template replaces the old one.
  ASSERT_EQ(WuFio_PostSaveDialog(renderer_, nullptr, path, 64, &slot), S_OK);
  EXPECT_EQ(std::u16string(path), kRendererPostSavePath);
  EXPECT_EQ(std::u16string(slot->GetName()), kRendererPostSaveName);
  EXPECT_EQ(slot->id, 1);
  // Handed back: the slot keeps a live record (AddressSanitizer).
  ASSERT_EQ(renderer_->SetProperty(kRendererPropPostSave, 1), S_OK);
  tagWUTEMPLATExV2* before = slot;
  ASSERT_EQ(WuFio_PostSaveDialog(renderer_, nullptr, path, 64, &slot), S_OK);
  EXPECT_EQ(slot, before);
  EXPECT_EQ(std::u16string(slot->GetName()), kRendererPostSaveName);
  // A failure leaves path and slot.
  ASSERT_EQ(renderer_->SetProperty(kRendererPropPostSave, 2), S_OK);
  lstrcpynW(path, u"/kept.trn", 64);
  EXPECT_EQ(WuFio_PostSaveDialog(renderer_, nullptr, path, 64, &slot), E_ABORT);
  EXPECT_EQ(std::u16string(path), u"/kept.trn");
  EXPECT_EQ(slot, before);
  WuFio_ReleaseTemplate(slot);
  EXPECT_EQ(SlotCalls(103), 3);
}

TEST_F(RendererHelpersPluginTest, ListsRatesAndTexts) {
  LONG key = -1;
  ASSERT_EQ(renderer_->GetKey(&key), S_OK);
  tWULIST* list = nullptr;
  ASSERT_EQ(WuFio_GetTemplateList(app_, key, &list), S_OK);
  ASSERT_EQ(list->count, kRendererPresetCount);
  for (int i = 0; i < kRendererPresetCount; ++i)
    EXPECT_EQ(std::u16string(static_cast<tagWUTEMPLATExV2*>(WuList_PointerAt(list, i))->GetName()),
              kRendererPresetNames[i]);
  WuFio_ReleaseTemplateList(list);

  // Preset 1 has no video: 0 for video rates; 2 has no audio.
  LONGLONG rates[3];
  EXPECT_EQ(WuFio_GetBitratesForRangeOfPresets(renderer_, 0, 3, 3, rates), S_OK);
  EXPECT_EQ(rates[0], 8000000 + 192000 * 8);
  EXPECT_EQ(rates[1], 0);
  EXPECT_EQ(rates[2], 8000000);
  EXPECT_EQ(WuFio_GetBitratesForRangeOfPresets(renderer_, 2, 2, 2, rates), E_INVALIDARG);
  EXPECT_EQ(rates[0], 8000000);

  WCHAR buf[64];
  EXPECT_EQ(WuFio_GetDefaultRendererExtension(renderer_, buf, 64), S_OK);
  EXPECT_EQ(std::u16string(buf), u".trn");
  ASSERT_EQ(WuFio_GetRendererOpenDialogFilterString(renderer_, buf, 64, TRUE), S_OK);
  const std::u16string expect = std::u16string(kRendererDescription) + u" (" +
                                kRendererPatterns + u")" + u'\0' + kRendererPatterns + u'\0' +
                                u'\0';
  EXPECT_EQ(std::u16string(buf, expect.size()), expect);
}

TEST_F(RendererHelpersPluginTest, BareClassHasNoPatternsNorPostSave) {
  IWuRenderFileClass* bare = nullptr;
  ASSERT_EQ(app_->GetRendererClassById(&bare, kBareRendererClassId), S_OK);
  WCHAR path[32] = u"/chosen.trn";
  tagWUTEMPLATExV2* slot = WuFio_NewTemplate(u"Mine", u"", 0);
  EXPECT_EQ(WuFio_PostSaveDialog(bare, nullptr, path, 32, &slot), S_OK);
  EXPECT_EQ(std::u16string(path), u"/chosen.trn");
  EXPECT_EQ(std::u16string(slot->GetName()), u"Mine");
  WuFio_ReleaseTemplate(slot);
  WCHAR buf[64];
  ASSERT_EQ(WuFio_GetRendererOpenDialogFilterString(bare, buf, 64, TRUE), S_OK);
  const std::u16string expect = std::u16string(kBareRendererDescription) + u'\0' + u"*.*" +
                                u'\0' + u'\0';
  EXPECT_EQ(std::u16string(buf, expect.size()), expect);
  EXPECT_EQ(WuFio_GetDefaultRendererExtension(bare, buf, 64), S_OK);
  EXPECT_EQ(buf[0], 0);
  bare->Release();
  EXPECT_EQ(SlotCalls(103), 0);
}

}  // namespace
}  // namespace fio_test
