// Fuzz target of the package settings: the input is the settings file the
// control archive carries. It is read as the self-extractor reads it, its
// colour is parsed, and the settings are written to a second file and read
// back; texts that were read must survive that round.
#include <cstdint>
#include <cstring>
#include <string>

#include "Sfx/CSfxAppData.h"
#include "platform/kernel/locale.h"
#include "platform/kernel/state.h"
#include "tests/fuzz/FuzzSession.h"
#include "tests/fuzz/FuzzSupport.h"

namespace {

// The texts of two settings objects, compared field by field.
bool SameTexts(const CSfxAppData& a, const CSfxAppData& b) {
  auto same = [](const WCHAR* x, const WCHAR* y) {
    return std::u16string_view(x) == std::u16string_view(y);
  };
  return same(a.Banner, b.Banner) && same(a.DefaultTarget, b.DefaultTarget) &&
         same(a.Title, b.Title) && same(a.Name, b.Name) && same(a.SetupApp, b.SetupApp) &&
         same(a.SetupAppParams, b.SetupAppParams) && same(a.TitleFont, b.TitleFont) &&
         same(a.TitleFontColor, b.TitleFontColor) && a.ExtractToTemp == b.ExtractToTemp &&
         a.ShowOverwrite == b.ShowOverwrite && a.Lcid == b.Lcid;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string folder = wufuzz::Root() + "/work/settings";
  wufuzz::SfxSession();
  wufuzz::RemoveTree(folder);
  platform::MakeDirs(folder);
  const std::string input = folder + "/sfxinst.ini";
  const std::string copy = folder + "/copy.ini";
  if (!wufuzz::WriteFile(input, data, size)) wufuzz::Fail("cannot write", input);

  CSfxAppData* read = new CSfxAppData();
  CSfxAppData* back = new CSfxAppData();
  if (!read || !back) wufuzz::Fail("out of memory", "settings objects");
  read->ReadWriteProfile(platform::ToUtf16(input).c_str(), FALSE);
  SfxParseColor(read->TitleFontColor);
  std::u16string copyPath = platform::ToUtf16(copy);
  if (read->ReadWriteProfile(copyPath.c_str(), TRUE) == 0) {
    back->ReadWriteProfile(copyPath.c_str(), FALSE);
    if (!SameTexts(*read, *back)) wufuzz::Fail("settings changed on a write and read", copy);
  }
  delete read;
  delete back;
  wufuzz::RemoveTree(folder);
  return 0;
}
