// The template editor run over fio_test_renderer under the scripted front
// end: choosing, saving, refusing, deleting, OK and Cancel.
#include <algorithm>
#include <cstring>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "foundation/WuTabCtl.h"
#include "foundation/WuDlgTemplate.h"
#include "platform/kernel/error.h"
#include "fileio/WuFioTemplateList.h"
#include "platform/kernel/files.h"
#include "tests/fileio/TempEditFixture.h"
#include "tests/fileio/TemplateBytes.h"

namespace fio_test {
namespace {

constexpr HRESULT kCancelled = static_cast<HRESULT>(0x8004E00C);

// A version-2 template of that name without private data.
tagWUTEMPLATExV2* V2Copy(const char16_t* name) {
  tagWUTEMPLATExV2* r = WuFio_NewTemplate(name, u"", 0);
  r->version = WUTEMPLATE_VERSION_V2;
  return r;
}

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

// The setting bit of a template file's record, -1 when the file is missing
// or too short.
int SettingOfFile(const std::u16string& path) {
  const std::string bytes = wutest::ReadBytes(U8(path));
  if (bytes.size() < 540) return -1;
  const auto* record = reinterpret_cast<const tagWUTEMPLATExV2*>(bytes.data());
  return record->PrivateData()[kRendererSettingsByte] & 1;
}

// The names in a folder.
std::vector<std::string> FolderNames(LPCWSTR folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(U8(folder)))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// In a folder that was empty when the editor opened, a name saved twice
// with different settings stays listed once, and choosing it again gives
// the newer settings.
TEST_F(TempEditTest, SavingANameTwiceKeepsTheNewerSettings) {
  const std::u16string file = std::u16string(folder_) + u"A.wut2";
  int firstSaved = -1, chosen = -1;
  std::vector<std::u16string> names;
  script_.Pick(WUTE_ID_COMBO, 0).Type(WUTE_ID_COMBO, u"A").Press(WUTE_ID_SAVE);
  Look([&](WuTempEditState*) { firstSaved = SettingOfFile(file); });
  script_.Check(kRendererPageControl, true).Press(WUTE_ID_SAVE).Pick(WUTE_ID_COMBO, 0);
  Look([&](WuTempEditState* s) { names = Listed(s); });
  script_.Pick(WUTE_ID_COMBO, 2);
  Look([&](WuTempEditState* s) {
    if (std::u16string(s->current->GetName()) == u"A")
      chosen = s->current->PrivateData()[kRendererSettingsByte] & 1;
  });
  script_.Escape();
  _FIOEDITTEMPLATE args = Args();
  EXPECT_EQ(Edit(&args), S_FALSE);
  EXPECT_EQ(firstSaved, 0);
  EXPECT_EQ(SettingOfFile(file), 1);
  EXPECT_EQ(std::count(names.begin(), names.end(), u"A"), 1);
  EXPECT_EQ(std::find(names.begin(), names.end(), u"A") - names.begin(), 2);
  EXPECT_EQ(chosen, 1);
}

// Changes that a tab change applied are saved, though the page is clean
// again and name and notes are unchanged.
TEST_F(TempEditTest, SaveAfterATabChangeWritesTheAppliedChange) {
  Set(kRendererPropPages, 2);
  const std::u16string mine = WriteTemplate(folder_, u"Mine", u".wut2");
  ASSERT_EQ(SettingOfFile(mine), 0);
  HRESULT saved = E_FAIL;
  script_.Pick(WUTE_ID_COMBO, 2)
      .Check(kRendererPageControl, true)
      .Pick(WUTE_ID_TABS, 1)
      .Press(WUTE_ID_SAVE);
  KeepResult(&saved);
  script_.Escape();
  _FIOEDITTEMPLATE args = Args();
  EXPECT_EQ(Edit(&args), S_FALSE);
  EXPECT_EQ(saved, S_OK);
  EXPECT_EQ(SettingOfFile(mine), 1);
  EXPECT_TRUE(Boxes().empty());  // its own file: no question
}

// A save whose write fails part-way (as on a full disk) leaves the
// template's file byte for byte and nothing else in the folder.
TEST_F(TempEditTest, FailedWriteLeavesTheFileAsItWas) {
  const std::u16string mine = WriteTemplate(folder_, u"Mine", u".wut2");
  const std::string before = wutest::ReadBytes(U8(mine));
  std::optional<wutest::FileSizeLimit> limit;
  HRESULT saved = S_OK;
  script_.Pick(WUTE_ID_COMBO, 2).Check(kRendererPageControl, true);
  Look([&](WuTempEditState*) { limit.emplace(100); });
  script_.Press(WUTE_ID_SAVE);
  KeepResult(&saved);
  Look([&](WuTempEditState*) { limit.reset(); });
  script_.Escape();
  _FIOEDITTEMPLATE args = Args();
  EXPECT_EQ(Edit(&args), S_FALSE);
  limit.reset();
  EXPECT_TRUE(FAILED(saved)) << std::hex << saved;
  EXPECT_EQ(wutest::ReadBytes(U8(mine)), before);
  EXPECT_EQ(FolderNames(folder_), std::vector<std::string>{"Mine.wut2"});
}

// Every refused name gives its warning and "cancelled", on save and on
// delete; the caller's starting template cannot be deleted.
TEST_F(TempEditTest, RefusedNames) {
  struct Case {
    int command;
    const char16_t* name;
    std::u16string text;
  };
  const Case cases[] = {
      {WUTE_ID_SAVE, u"Project Default", Text(WuLangRow_FioEditNoSaveProject)},
      {WUTE_ID_SAVE, u"(Untitled)", Text(WuLangRow_FioEditNoSaveUntitled)},
      {WUTE_ID_SAVE, u"", Text(WuLangRow_FioEditNoSaveEmpty)},
      {WUTE_ID_SAVE, u"Test Video", Format(WuLangRow_FioEditNoSaveBuiltIn, u"Test Video")},
      {WUTE_ID_DELETE, u"Project Default", Text(WuLangRow_FioEditNoDeleteProject)},
      {WUTE_ID_DELETE, u"(Untitled)", Format(WuLangRow_FioEditNoDeleteBuiltIn, u"(Untitled)")},
      {WUTE_ID_DELETE, u"Test Video", Format(WuLangRow_FioEditNoDeleteBuiltIn, u"Test Video")},
      {WUTE_ID_DELETE, u"Start T", Format(WuLangRow_FioEditNoDeleteBuiltIn, u"Start T")},
  };
  EXPECT_EQ(Text(WuLangRow_FioEditNoSaveProject),
            u"Can't modify the built-in 'Project Default' template. Please rename it before "
            u"saving.");
  EXPECT_EQ(Text(WuLangRow_FioEditNoSaveUntitled),
            u"Can't modify the built-in '(Untitled)' template.  Please rename it before saving.");
  HRESULT results[8];
  for (size_t i = 0; i < 8; ++i) {
    results[i] = S_OK;
    script_.Type(WUTE_ID_COMBO, cases[i].name).Press(cases[i].command).Answer(IDOK);
    KeepResult(&results[i]);
  }
  script_.Escape();
  tagWUTEMPLATExV2* start = WuFio_NewTemplate(u"Start T", u"", 0);
  start->version = WUTEMPLATE_VERSION_V2;
  _FIOEDITTEMPLATE args = Args();
  args.slot = start;
  EXPECT_EQ(Edit(&args), S_FALSE);
  std::vector<std::u16string> boxes = Boxes();
  ASSERT_EQ(boxes.size(), 8u);
  for (size_t i = 0; i < 8; ++i) {
    EXPECT_EQ(boxes[i], cases[i].text) << i;
    EXPECT_EQ(results[i], kCancelled) << i;
  }
  std::free(start);
}

// A typed name loses its backslashes, white space (the blanks the notes
// skip too) and mark; a legacy
// template's name asks first; another template's name asks to overwrite.
TEST_F(TempEditTest, SavingNames) {
  WriteTemplate(legacy_, u"Old One", u".wut");
  const std::u16string other = WriteTemplate(folder_, u"Other", u".wut2", 2);
  HRESULT legacy = S_OK, overwrite = E_FAIL;
  script_.Pick(WUTE_ID_COMBO, 0)
      .Type(WUTE_ID_COMBO, u"\\\\ \tMy T (*) \v\f ")
      .Press(WUTE_ID_SAVE)
      .Type(WUTE_ID_COMBO, u"Old One")
      .Press(WUTE_ID_SAVE)
      .Answer(IDCANCEL);
  KeepResult(&legacy);
  script_.Pick(WUTE_ID_COMBO, 0).Type(WUTE_ID_COMBO, u"other").Press(WUTE_ID_SAVE).Answer(IDOK);
  KeepResult(&overwrite);
  script_.Escape();
  _FIOEDITTEMPLATE args = Args();
  EXPECT_EQ(Edit(&args), S_FALSE);
  EXPECT_TRUE(Exists(std::u16string(folder_) + u"My T.wut2"));
  EXPECT_EQ(legacy, kCancelled);
  EXPECT_EQ(overwrite, S_OK);
  EXPECT_FALSE(Exists(std::u16string(folder_) + u"Old One.wut2"));
  std::vector<std::u16string> boxes = Boxes();
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[0], Format(WuLangRow_FioEditLegacyQuestion, u"Old One"));
  EXPECT_EQ(boxes[0],
            u"A Version 1 template with the same name exists. If you continue the Version 1 "
            u"template 'Old One' will be inaccessable. Do you want to save the template with this "
            u"name anyway?");
  EXPECT_EQ(boxes[1], Format(WuLangRow_FioEditOverwrite, other));
  // The file now holds the first preset's copy under the typed name.
  std::string bytes = wutest::ReadBytes(U8(other));
  ASSERT_GE(bytes.size(), 540u);
  const auto* saved = reinterpret_cast<const tagWUTEMPLATExV2*>(bytes.data());
  EXPECT_EQ(std::u16string(saved->GetName()), u"other");
  EXPECT_EQ(saved->audio.blockSize, 200u);  // "Test Audio", not "Test Video"
}

// A template lifted from the older generation keeps the lifted identity
// form, its checksum renewed in Data1.
TEST_F(TempEditTest, SavingLiftedRenewsChecksum) {
  tagWUTEMPLATExV2* preset = nullptr;
  ASSERT_EQ(renderer_->GetPreset(&preset, 1), S_OK);
  tagWUTEMPLATExV2* lifted = WuFio_NewTemplate(u"Lifted", u"", preset->privateSize, preset);
  std::memcpy(reinterpret_cast<BYTE*>(lifted) + 4, reinterpret_cast<BYTE*>(preset) + 4, 524);
  std::free(preset);
  lifted->version = WUTEMPLATE_VERSION_V2;
  lifted->guid = WuFio_MakeUpliftedV1TemplateGuid(lifted);
  ASSERT_TRUE(WuFio_IsUpliftedV1Template(lifted));
  script_.Check(kRendererPageControl, true)
      .Type(WUTE_ID_COMBO, u"Lifted 2")
      .Press(WUTE_ID_SAVE)
      .Escape();
  _FIOEDITTEMPLATE args = Args(FIOEDIT_OWNED);
  args.slot = lifted;  // the editor takes it
  EXPECT_EQ(Edit(&args), S_FALSE);
  EXPECT_EQ(args.slot, nullptr);
  std::string bytes = wutest::ReadBytes(U8(std::u16string(folder_) + u"Lifted 2.wut2"));
  ASSERT_GE(bytes.size(), 540u);
  const auto* saved = reinterpret_cast<const tagWUTEMPLATExV2*>(bytes.data());
  EXPECT_TRUE(WuFio_IsUpliftedV1Template(saved));
  EXPECT_EQ(saved->guid.Data1, WuFio_GetTemplateDataCRC32(saved, FALSE));
}

// OK hands back a template the caller owns: a built-in name becomes the
// unsaved "(Untitled)", a changed preset gets the mark, an unchanged
// listed template comes as a copy.
TEST_F(TempEditTest, OkReturnsOwnedTemplate) {
  struct Case {
    const char16_t* typed;  // NULL: keep the name
    bool change;            // change the page's setting
    const char16_t* name;
    std::u16string notes;
    DWORD modified;
  };
  const Case cases[] = {
      {u"Project Default", true, u"(Untitled)", Text(WuLangRow_FioEditLastUsedNotes),
       FIOEDIT_MODIFIED},
      {u"", false, u"(Untitled)", Text(WuLangRow_FioEditLastUsedNotes), FIOEDIT_MODIFIED},
      {nullptr, true, u"Test Audio (*)", u"Audio: 48,000 Hz\r\nplain", FIOEDIT_MODIFIED},
      {nullptr, false, u"Test Audio", u"Audio: 48,000 Hz\r\nplain", 0},
  };
  EXPECT_EQ(Text(WuLangRow_FioEditLastUsedNotes), u"Last used template that you didn't save...");
  for (const Case& c : cases) {
    script_.Pick(WUTE_ID_COMBO, 0);
    if (c.change) script_.Check(kRendererPageControl, true);
    if (c.typed) script_.Type(WUTE_ID_COMBO, c.typed);
    script_.Press(IDOK);
    _FIOEDITTEMPLATE args = Args();
    EXPECT_EQ(Edit(&args), S_OK);
    ASSERT_NE(args.slot, nullptr);
    EXPECT_EQ(std::u16string(args.slot->GetName()), c.name);
    EXPECT_EQ(std::u16string(WuFio_GetTemplateNotesPtr(args.slot)), c.notes);
    EXPECT_EQ(args.flags & (FIOEDIT_OWNED | FIOEDIT_MODIFIED | FIOEDIT_SAVED),
              FIOEDIT_OWNED | c.modified);
    EXPECT_EQ(args.index, 0);
    std::free(args.slot);  // the caller's: freed once, nothing else holds it
  }
  WCHAR lastUsed[260] = {};
  ASSERT_TRUE(SUCCEEDED(WuFio_GetLastUsedTemplatePath(renderer_, nullptr, lastUsed, 260, FALSE)));
  EXPECT_EQ(LastWrite(lastUsed), 0u);
  EXPECT_EQ(LastWrite(std::u16string(folder_) + u"(Untitled).wut2"), 0u);
  EXPECT_EQ(LastWrite(std::u16string(folder_) + u"Test Audio.wut2"), 0u);
}

// Cancel restores the index, empties the slot and frees the template the
// editor took (LeakSanitizer sees a leak otherwise).
TEST_F(TempEditTest, CancelRestoresAndFrees) {
  tagWUTEMPLATExV2* mine = WuFio_NewTemplate(u"Mine", u"", 0);
  mine->version = WUTEMPLATE_VERSION_V2;
  script_.Pick(WUTE_ID_COMBO, 1).Check(kRendererPageControl, true).Escape();
  _FIOEDITTEMPLATE args = Args(FIOEDIT_OWNED);
  args.slot = mine;
  args.index = 3;
  EXPECT_EQ(Edit(&args), S_FALSE);
  EXPECT_EQ(args.slot, nullptr);
  EXPECT_EQ(args.index, 3);
  EXPECT_EQ(args.flags & FIOEDIT_OWNED, 0u);
}

// Delete removes the file and the entry and selects the first entry; an
// entry that no longer reads asks, naming it, and is deleted on OK.
TEST_F(TempEditTest, DeleteAndBrokenEntry) {
  const std::u16string gone = WriteTemplate(folder_, u"Del Me", u".wut2");
  const std::u16string broken = WriteTemplate(folder_, u"Broken", u".wut2");
  HRESULT deleted = E_FAIL;
  bool listed = true;
  LONG index = -1;
  script_.Type(WUTE_ID_COMBO, u"Del Me").Press(WUTE_ID_DELETE);
  KeepResult(&deleted);
  bool cached = true;
  Look([&](WuTempEditState* s) {
    LONG where = 0, at = -1;
    cached = s->cache->FindTemplateByName(u"Del Me", false, 0, 19, &where, &at, nullptr, 0);
    listed = ItemOf(s, u"Del Me") >= 0;
    index = s->index;
    // Break the "Broken" entry's record in place.
    tWULIST* list = s->cache->GetTemplateList();
    for (LONG i = 0; i < list->count; ++i) {
      auto* r = static_cast<tagWUTEMPLATExV2*>(WuList_PointerAt(list, i));
      if (std::u16string(r->GetName()) == u"Broken") r->privateSize = -1;
    }
  });
  script_.Pick(WUTE_ID_COMBO, 2).Answer(IDOK);
  bool brokenListed = true;
  Look([&](WuTempEditState* s) { brokenListed = ItemOf(s, u"Broken") >= 0; });
  script_.Escape();
  _FIOEDITTEMPLATE args = Args();
  EXPECT_EQ(Edit(&args), S_FALSE);
  EXPECT_EQ(deleted, S_OK);
  EXPECT_FALSE(Exists(gone));
  EXPECT_FALSE(listed);
  EXPECT_FALSE(cached);
  EXPECT_EQ(index, 0);
  std::vector<std::u16string> boxes = Boxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0], u"The template 'Broken' cannot be loaded.  Delete it?");
  EXPECT_FALSE(Exists(broken));
  EXPECT_FALSE(brokenListed);
}

// A saved template that no group of the cache takes stays the editor's:
// it is neither leaked nor freed twice, and OK hands it over.
TEST_F(TempEditTest, SavedTemplateNoGroupTakesStaysOwned) {
  bool owned = false, listed = true;
  script_.Pick(WUTE_ID_COMBO, 0);
  Look([](WuTempEditState* s) {
    // No group's folder is the file's folder any more.
    CWuGlobalTemplateCache* global = s->cache->Global();
    for (LONG g = 0; g < global->Groups()->count; ++g) global->Group(g)->folder[0] = 0;
  });
  script_.Type(WUTE_ID_COMBO, u"Kept").Press(WUTE_ID_SAVE);
  Look([&](WuTempEditState* s) {
    owned = (s->state & WUTE_OWNED) != 0 && std::u16string(s->current->GetName()) == u"Kept";
    listed = s->cache->LocateTemplate(s->current) >= 0;
  });
  script_.Press(IDOK);
  _FIOEDITTEMPLATE args = Args();
  EXPECT_EQ(Edit(&args), S_OK);
  EXPECT_TRUE(owned);
  EXPECT_FALSE(listed);
  EXPECT_TRUE(Exists(std::u16string(folder_) + u"Kept.wut2"));
  ASSERT_NE(args.slot, nullptr);
  EXPECT_EQ(std::u16string(args.slot->GetName()), u"Kept");
  EXPECT_EQ(args.flags & (FIOEDIT_OWNED | FIOEDIT_SAVED), FIOEDIT_OWNED | FIOEDIT_SAVED);
  std::free(args.slot);
}

// The manager's EditTemplate over a list stream of private templates.
class EditTemplateSlotTest : public TempEditTest {
 protected:
  void SetUp() override {
    TempEditTest::SetUp();
    ASSERT_EQ(WuList_CreateExZ(&list_, 0, 4, 4, WULIST_OWNITEMS | WULIST_LOCKED), S_OK);
    for (const char16_t* name : {u"Private One", u"Private Two"}) {
      tagWUTEMPLATExV2* preset = nullptr;
      ASSERT_EQ(renderer_->GetPreset(&preset, 1), S_OK);
      ASSERT_EQ(WuFio_SetTemplateNameAndNotes(preset, u"x", nullptr), S_OK);
      tagWUTEMPLATExV2* named = WuFio_NewTemplate(name, u"", preset->privateSize, preset);
      std::memcpy(reinterpret_cast<BYTE*>(named) + 4, reinterpret_cast<BYTE*>(preset) + 4, 524);
      std::memcpy(named->PrivateData(), preset->PrivateData(), preset->PaddedPrivateSize());
      std::free(preset);
      Append(list_, named);
    }
    ASSERT_EQ(WuFio_MakeTemplateListIStream(list_, &stream_), S_OK);
  }
  void TearDown() override {
    if (stream_) stream_->Release();
    WuFio_ReleaseTemplateList(list_);
    TempEditTest::TearDown();
  }
  tWULIST* list_ = nullptr;
  IStream* stream_ = nullptr;
};

TEST_F(EditTemplateSlotTest, ResultsAndOwnership) {
  tagWUTEMPLATExV2* in = V2Copy(u"Caller's");
  struct Case {
    const char* what;
    std::function<void()> script;
    tagWUTEMPLATExV2* in;
    DWORD flags;  // in
    HRESULT hr;
    const char16_t* name;  // NULL: out stays NULL
    DWORD flagsOut;
  };
  const Case cases[] = {
      {"nothing chosen", [&] { script_.Press(IDOK); }, in, 0, S_FALSE, nullptr, 0},
      {"cancelled", [&] { script_.Pick(WUTE_ID_COMBO, 1).Escape(); }, in, 0, S_FALSE, nullptr, 0},
      {"a listed private template", [&] { script_.Pick(WUTE_ID_COMBO, 1).Press(IDOK); }, in, 0,
       S_OK, u"Private One", 0},
      {"no template in", [&] { script_.Press(IDOK); }, nullptr, 0x18, S_OK, u"Private One", 0},
      {"a changed private template",
       [&] { script_.Pick(WUTE_ID_COMBO, 2).Check(kRendererPageControl, true).Press(IDOK); }, in,
       0x8, S_OK, u"Private Two (*)", 0x10},
  };
  for (const Case& c : cases) {
    c.script();
    tagWUTEMPLATExV2* out = reinterpret_cast<tagWUTEMPLATExV2*>(1);
    DWORD flags = c.flags;
    EXPECT_EQ(app_->EditTemplate(nullptr, renderer_, 0, nullptr, &flags, stream_, c.in, &out),
              c.hr)
        << c.what;
    if (!c.name) {
      EXPECT_EQ(out, nullptr) << c.what;
    } else {
      ASSERT_NE(out, nullptr) << c.what;
      EXPECT_NE(out, in);
      EXPECT_EQ(std::u16string(out->GetName()), c.name) << c.what;
      std::free(out);  // the caller's own: once, and nothing else frees it
    }
    EXPECT_EQ(flags & 0x18, c.flagsOut) << c.what;
  }
  std::free(in);
}
}  // namespace
}  // namespace fio_test
