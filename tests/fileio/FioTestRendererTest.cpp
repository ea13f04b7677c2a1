// The test renderer plug-in as the template code sees it through the
// manager: its manager, id, texts, presets and switchable conversions.
#include <cstring>

#include "fileio/WuFioTemplate.h"
#include "tests/fileio/FioRendererFixture.h"

namespace fio_test {
namespace {

using RendererPluginTest = FioRendererTest;

TEST_F(RendererPluginTest, ManagerIdPartsAndTexts) {
  IWuFileIOManager* manager = nullptr;
  ASSERT_EQ(renderer_->GetManager(&manager), S_OK);
  ASSERT_NE(manager, nullptr);
  manager->Release();
  GUID id{};
  EXPECT_EQ(renderer_->GetClassId(&id), S_OK);
  EXPECT_TRUE(IsEqualGUID(id, kRendererClassId));
  DWORD mask = 0;
  EXPECT_EQ(renderer_->GetPartMask(&mask), S_OK);
  EXPECT_EQ(mask, 3u);
  const DWORD ids[3] = {1, 4, 5};
  BSTR texts[3] = {};
  ASSERT_EQ(renderer_->GetStrings(ids, 3, texts), S_OK);
  EXPECT_EQ(std::u16string(texts[0]), kRendererFolder);
  EXPECT_EQ(std::u16string(texts[1]), kRendererPatterns);
  EXPECT_EQ(std::u16string(texts[2]), kRendererDescription);
  for (BSTR t : texts) SysFreeString(t);
  EXPECT_EQ(renderer_->SetProperty(kRendererPropFolder, 1), S_OK);
  ASSERT_EQ(renderer_->GetStrings(ids, 1, texts), S_OK);
  EXPECT_EQ(std::u16string(texts[0]), u"..");
  SysFreeString(texts[0]);
  EXPECT_GE(SlotCalls(11), 2);
}

TEST_F(RendererPluginTest, PresetsAreValidRecordsWithPrivateData) {
  LONG count = 0;
  ASSERT_EQ(renderer_->GetPresetCount(&count), S_OK);
  ASSERT_EQ(count, 3);
  for (LONG i = 0; i < count; ++i) {
    tagWUTEMPLATExV2* r = nullptr;
    ASSERT_EQ(renderer_->GetPreset(&r, i), S_OK);
    ASSERT_TRUE(r && r->HasValidLayout());
    EXPECT_EQ(std::u16string(r->GetName()), kRendererPresetNames[i]);
    EXPECT_EQ(std::u16string(WuFio_GetTemplateNotesPtr(r)), kRendererPresetNotes[i]);
    EXPECT_EQ(r->privateSize, kRendererPrivateSize);
    EXPECT_EQ(std::memcmp(r->PrivateData(), "TRND", 4), 0);
    EXPECT_TRUE(IsEqualGUID(r->classId, kRendererClassId));
    EXPECT_EQ(r->id, i);
    EXPECT_EQ(r->audio.blockSize != 0, i != 2);
    EXPECT_EQ(r->video.blockSize != 0, i != 1);
    // Bit rates by the class's own information operation.
    DWORD audioRate = 0;
    LONGLONG videoRate = 0;
    EXPECT_EQ(renderer_->GetTemplateInfo(r, &audioRate, 4, 3), i == 2 ? 1 : S_OK);
    EXPECT_EQ(renderer_->GetTemplateInfo(r, &videoRate, 8, 4), i == 1 ? 1 : S_OK);
    EXPECT_EQ(audioRate, i != 2 ? 192000u * 8 : 0u);
    EXPECT_EQ(videoRate, i != 1 ? 8000000 : 0);
    WuFio_ReleaseTemplate(r);
  }
  tagWUTEMPLATExV2* none = nullptr;
  EXPECT_EQ(renderer_->GetPreset(&none, 3), E_INVALIDARG);
  EXPECT_EQ(none, nullptr);
  EXPECT_EQ(SlotCalls(15), 4);
}

TEST_F(RendererPluginTest, ConversionAndOperationBySwitch) {
  tagWUTEMPLATExV2* preset = nullptr;
  ASSERT_EQ(renderer_->GetPreset(&preset, 1), S_OK);
  tagWUTEMPLATExV2* out = nullptr;
  EXPECT_EQ(renderer_->ConvertTemplate(&out, preset, 1), E_NOTIMPL);
  EXPECT_EQ(out, nullptr);
  ASSERT_EQ(renderer_->SetProperty(kRendererPropConvert, 1), S_OK);
  ASSERT_EQ(renderer_->ConvertTemplate(&out, preset, 2), S_OK);
  ASSERT_NE(out, nullptr);
  EXPECT_EQ(out->attributes, kRendererConvertedMark | 2);
  EXPECT_EQ(std::u16string(out->GetName()), kRendererPresetNames[1]);
  LONGLONG mode = 0;
  EXPECT_EQ(renderer_->GetProperty(kRendererPropLastConvertMode, &mode), S_OK);
  EXPECT_EQ(mode, 2);
  WuFio_ReleaseTemplate(out);
  ASSERT_EQ(renderer_->SetProperty(kRendererPropConvert, 2), S_OK);
  EXPECT_EQ(renderer_->ConvertTemplate(&out, preset, 1), E_FAIL);

  EXPECT_EQ(renderer_->TemplateOperation(&preset, nullptr, nullptr, 2), E_NOTIMPL);
  ASSERT_EQ(renderer_->SetProperty(kRendererPropOperation, 1), S_OK);
  EXPECT_EQ(renderer_->TemplateOperation(&preset, nullptr, nullptr, 2), S_OK);
  EXPECT_EQ(preset->attributes, kRendererOperatedMark | 2);
  WuFio_ReleaseTemplate(preset);
  EXPECT_EQ(SlotCalls(18), 3);
  EXPECT_EQ(SlotCalls(19), 2);
}

}  // namespace
}  // namespace fio_test

namespace fio_test {
namespace {

TEST_F(RendererPluginTest, ProjectDefaultAsksModeTwo) {
  tagWUTEMPLATExV2* out = nullptr;
  EXPECT_EQ(WuFio_MakeProjectDefaultTemplate(renderer_, nullptr, &out), E_NOTIMPL);
  EXPECT_EQ(out, nullptr);
  LONGLONG mode = 0;
  renderer_->GetProperty(kRendererPropLastConvertMode, &mode);
  EXPECT_EQ(mode, 2);
  renderer_->SetProperty(kRendererPropConvert, 1);
  ASSERT_EQ(WuFio_MakeProjectDefaultTemplate(renderer_, nullptr, &out), S_OK);
  EXPECT_EQ(std::u16string(out->GetName()), u"Project Default");
  EXPECT_EQ(out->attributes, kRendererConvertedMark | 2);
  WuFio_ReleaseTemplate(out);
  EXPECT_EQ(WuFio_MakeProjectDefaultTemplate(nullptr, nullptr, &out), E_POINTER);
}

}  // namespace
}  // namespace fio_test
