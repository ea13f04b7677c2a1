// Fuzz target of the shortcut-file reader: the input is a shortcut file.
// It is read from memory and through the shell link's IPersistFile, which
// must agree; a failed load must leave the link as it was. A file that
// reads is saved and loaded again: the second writing must equal the first
// and every field must come back.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/com/com.h"
#include "platform/com/persist.h"
#include "platform/kernel/locale.h"
#include "platform/kernel/state.h"
#include "platform/shell/shelllink.h"
#include "platform/shell/shortcut_file.h"
#include "tests/fuzz/FuzzSupport.h"

namespace {

constexpr HRESULT kBadFormat = static_cast<HRESULT>(0x8007000B);

// What the getters of a link give.
std::u16string Fields(IShellLinkW* link) {
  std::u16string all;
  WCHAR buf[INFOTIPSIZE];
  auto add = [&](HRESULT hr) {
    all += SUCCEEDED(hr) ? std::u16string(buf) : u"<failed>";
    all += u'|';
  };
  add(link->GetPath(buf, INFOTIPSIZE, nullptr, SLGP_RAWPATH));
  add(link->GetDescription(buf, INFOTIPSIZE));
  add(link->GetWorkingDirectory(buf, INFOTIPSIZE));
  add(link->GetArguments(buf, INFOTIPSIZE));
  int index = 0;
  add(link->GetIconLocation(buf, INFOTIPSIZE, &index));
  WORD hotkey = 0;
  int show = 0;
  link->GetHotkey(&hotkey);
  link->GetShowCmd(&show);
  all += platform::ToUtf16(std::to_string(index) + "|" + std::to_string(hotkey) + "|" +
                           std::to_string(show));
  return all;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string folder = wufuzz::Root() + "/work/shortcut";
  platform::MakeDirs(folder);
  const std::string path = folder + "/input.lnk";
  if (!wufuzz::WriteFile(path, data, size)) wufuzz::Fail("cannot write", path);

  platform::ShortcutFile parsed;
  const bool reads = platform::ParseShortcutFile(data, size, &parsed);

  IShellLinkW* link = nullptr;
  IPersistFile* file = nullptr;
  if (FAILED(platform::CreateShellLink(IID_IShellLinkW, reinterpret_cast<void**>(&link))) ||
      FAILED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))))
    wufuzz::Fail("no shell link", path);
  link->SetPath(u"C:\\before");
  link->SetArguments(u"before");
  const std::u16string before = Fields(link);

  HRESULT hr = file->Load(platform::ToUtf16(path).c_str(), STGM_READ);
  if (reads != SUCCEEDED(hr)) wufuzz::Fail("memory and file reads disagree", path);
  if (!reads) {
    if (hr != kBadFormat) wufuzz::Fail("a damaged file gave another error", path);
    if (Fields(link) != before) wufuzz::Fail("a failed load changed the link", path);
  } else {
    link->Resolve(nullptr, SLR_NO_UI);
    WCHAR expanded[MAX_PATH];
    link->GetPath(expanded, MAX_PATH, nullptr, 0);
    const std::u16string loaded = Fields(link);

    // What is written reads back, and writing that again gives the same bytes.
    std::vector<uint8_t> first = platform::WriteShortcutFile(parsed);
    platform::ShortcutFile again;
    if (!platform::ParseShortcutFile(first.data(), first.size(), &again))
      wufuzz::Fail("a written file does not read", path);
    if (platform::WriteShortcutFile(again) != first)
      wufuzz::Fail("writing a read file again changed it", path);
    if (again.id_list != parsed.id_list || again.extra != parsed.extra)
      wufuzz::Fail("kept bytes changed", path);

    const std::string saved = folder + "/saved.lnk";
    if (SUCCEEDED(file->Save(platform::ToUtf16(saved).c_str(), TRUE))) {
      IShellLinkW* copy = nullptr;
      IPersistFile* copy_file = nullptr;
      platform::CreateShellLink(IID_IShellLinkW, reinterpret_cast<void**>(&copy));
      copy->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&copy_file));
      if (copy_file->Load(platform::ToUtf16(saved).c_str(), STGM_READ) != S_OK)
        wufuzz::Fail("a saved file does not load", path);
      // A relative path resolves against the saved file's folder: the same
      // folder as the input's.
      if (Fields(copy) != loaded) wufuzz::Fail("a saved file loads other fields", path);
      copy_file->Release();
      copy->Release();
    }
    wufuzz::RemoveTree(saved);
  }
  file->Release();
  link->Release();
  wufuzz::RemoveTree(path);
  return 0;
}
