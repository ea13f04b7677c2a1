// The template editor's fixture: the manager over fio_test_renderer, a
// scripted front end, the class's template folders emptied, and helpers to
// run the editor and look at its state while it runs.
#pragma once

#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "fileio/WuFioTemplate.h"
#include "fileio/WuFioTemplateFiles.h"
#include "fileio/WuTempEdit.h"
#include "fileio/WuTempEditState.h"
#include "foundation/WuKernelState.h"
#include "foundation/WuLang.h"
#include "foundation/WuLangRows.h"
#include "foundation/WuFolders.h"
#include "foundation/WuList.h"
#include "platform/kernel/files.h"
#include "platform/user/frontend.h"
#include "platform/user/windows.h"
#include "tests/fileio/FioRendererFixture.h"

namespace fio_test {

class TempEditTest : public FioRendererTest {
 protected:
  void SetUp() override {
    FioRendererTest::SetUp();
    ASSERT_TRUE(SUCCEEDED(WuFio_GetRenderTemplateFolder(renderer_, folder_, 260)));
    ASSERT_TRUE(SUCCEEDED(WuFio_GetLegacyTemplateFolder(renderer_, legacy_, 260)));
    EmptyFolder(folder_);
    EmptyFolder(legacy_);
    platform::SetFrontEnd(&script_);
  }
  void TearDown() override {
    platform::SetFrontEnd(nullptr);
    EXPECT_TRUE(script_.errors().empty()) << script_.errors()[0];
    EmptyFolder(folder_);
    EmptyFolder(legacy_);
    FioRendererTest::TearDown();
  }

  // Deletes the template files ("*.wut*") of one of the class's template
  // folders; nothing for a folder that is not one.
  static void EmptyFolder(LPCWSTR folder) {
    const std::u16string dir(folder);
    if (dir.empty() || dir[0] != u'/' || dir.find(u"Templates/") == std::u16string::npos) return;
    std::u16string pattern = dir + u"*.wut*";
    WIN32_FIND_DATAW data{};
    HANDLE find = FindFirstFileW(pattern.c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return;
    do {
      if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        DeleteFileW((dir + data.cFileName).c_str());
    } while (FindNextFileW(find, &data));
    FindClose(find);
  }

  void Set(DWORD id, LONGLONG value) { ASSERT_EQ(renderer_->SetProperty(id, value), S_OK); }

  // A record of the argument layout for the renderer class.
  _FIOEDITTEMPLATE Args(DWORD flags = 0) {
    _FIOEDITTEMPLATE args{};
    args.size = sizeof(args);
    args.flags = flags;
    args.cls = renderer_;
    args.index = -2;
    return args;
  }
  HRESULT Edit(_FIOEDITTEMPLATE* args) { return WuTempEdit_Edit(args, app_); }

  // The editor's state behind its dialog (the open dialog that is not a box).
  static WuTempEditState* StateOf(HWND dialog) {
    return reinterpret_cast<WuTempEditState*>(GetWindowLongPtrW(dialog, DWLP_USER));
  }
  // Runs `look` on the editor's state while the dialog runs.
  void Look(std::function<void(WuTempEditState*)> look) {
    script_.Run([look](HWND dialog) { look(StateOf(dialog)); });
  }
  // Records the result of the last save or delete.
  void KeepResult(HRESULT* out) {
    Look([out](WuTempEditState* s) { *out = s->lastSave; });
  }

  // A template file in a folder: a copy of preset `preset` renamed.
  std::u16string WriteTemplate(LPCWSTR folder, const std::u16string& name, const char16_t* ext,
                               int preset = 1) {
    tagWUTEMPLATExV2* record = nullptr;
    EXPECT_EQ(renderer_->GetPreset(&record, preset), S_OK);
    tagWUTEMPLATExV2* renamed =
        WuFio_NewTemplate(name.c_str(), u"file notes", record->privateSize, record);
    std::memcpy(reinterpret_cast<BYTE*>(renamed) + 4, reinterpret_cast<BYTE*>(record) + 4, 524);
    std::memcpy(renamed->PrivateData(), record->PrivateData(), record->PaddedPrivateSize());
    std::free(record);
    WuCreateDirectory(folder, nullptr);
    std::u16string path = std::u16string(folder) + name + ext;
    wutest::WriteBytes(U8(path),
                       std::string(reinterpret_cast<const char*>(renamed), renamed->totalSize));
    std::free(renamed);
    return path;
  }

  static std::u16string Text(const WuLangStringRow& row) { return WuLangText(row); }
  static std::u16string Format(const WuLangStringRow& row, const std::u16string& arg) {
    std::u16string text = Text(row);
    size_t at = text.find(u"%s");
    if (at != std::u16string::npos) text.replace(at, 2, arg);
    return text;
  }
  // The texts of the message boxes shown so far.
  std::vector<std::u16string> Boxes() {
    std::vector<std::u16string> texts;
    for (const auto& shown : script_.shown())
      if (shown.message_box)
        for (const auto& t : shown.texts) texts.push_back(t);
    return texts;
  }
  static bool Exists(const std::u16string& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
  }
  // A file's last-write time, 0 when it is missing.
  static ULONGLONG LastWrite(const std::u16string& path) {
    WIN32_FIND_DATAW data{};
    HANDLE find = FindFirstFileW(path.c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return 0;
    FindClose(find);
    return (static_cast<ULONGLONG>(data.ftLastWriteTime.dwHighDateTime) << 32) |
           data.ftLastWriteTime.dwLowDateTime;
  }
  // The names listed in the template combo box.
  static std::vector<std::u16string> Listed(WuTempEditState* s) {
    std::vector<std::u16string> names;
    LRESULT count = SendMessageW(s->combo, CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
      WCHAR text[300] = {};
      SendMessageW(s->combo, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text));
      names.push_back(text);
    }
    return names;
  }
  // The combo box item of a listed name, -1 when not listed.
  static int ItemOf(WuTempEditState* s, const std::u16string& name) {
    std::vector<std::u16string> names = Listed(s);
    for (size_t i = 0; i < names.size(); ++i)
      if (names[i] == name) return static_cast<int>(i);
    return -1;
  }

  platform::ScriptedFrontEnd script_;
  WCHAR folder_[260] = {};
  WCHAR legacy_[260] = {};
};

}  // namespace fio_test
