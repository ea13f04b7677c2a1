// Fuzz target of the metadata sections of the file-properties text. The
// first byte holds switches (bit 0 the diagnostic listing, 1 the broadcast-
// wave section, 2 the loop-info kind, 3 usable media tags, 4 and 5 the loop
// and stretch records present); the rest is cut at '\x1F' into the summary
// stream, the stretch list, the region and command streams, the text values
// ("TAPE..." lines of four id bytes and the value, cut at '\n'), the
// broadcast-wave fields (cut at '\x1E') and up to six enumerator streams
// (sensing blocks, pictures, stretch and beat records, playlists). Every
// interface and stream must come back and no block may leak.
#include <cstdint>
#include <string>
#include <vector>

#include "foundation/WuKernelState.h"
#include "foundation/WuLang.h"
#include "foundation/WuPrintF.h"
#include "platform/kernel/memory.h"
#include "platform/kernel/module.h"
#include "platform/user/windows.h"
#include "shellui/WuFilePropMeta.h"
#include "tests/fuzz/FuzzSupport.h"
#include "tests/shellui/FilePropMetaFakes.h"

namespace {

std::u16string Widen(const std::string& bytes) { return std::u16string(bytes.begin(), bytes.end()); }

// The UI language, once per process: English.
void UseEnglish() {
  static const bool once = [] {
    HWULANG lang = nullptr;
    if (SUCCEEDED(WuLang_Open(&lang, GetModuleHandleW(nullptr), 0x409, 0))) WuKernel_SetLangHandle(lang);
    return true;
  }();
  (void)once;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  wufuzz::Root();
  UseEnglish();
  if (size == 0) return 0;
  HWND edit = CreateWindowExW(0, u"EDIT", u"", WS_POPUP | ES_MULTILINE, 0, 0, 400, 300, nullptr, nullptr,
                              nullptr, nullptr);
  if (!edit) wufuzz::Fail("no edit control", "");
  const uint8_t switches = data[0];
  std::vector<std::string> parts = wufuzz::SplitInput(data + 1, size - 1, '\x1F', 12);
  auto part = [&parts](size_t i) -> const std::string* { return i < parts.size() ? &parts[i] : nullptr; };
  size_t blocks = platform::LiveGlobalBlockCount();
  {
    propmeta::FakeMeta meta;
    if (auto p = part(0)) meta.base.summary = *p;
    if (auto p = part(1)) meta.stretchList = *p;
    if (auto p = part(2)) meta.base.region = *p;
    if (auto p = part(3)) meta.base.command = *p;
    if (auto p = part(4)) {
      for (const std::string& line : wufuzz::SplitInput(reinterpret_cast<const uint8_t*>(p->data()), p->size(), '\n', 16))
        if (line.size() >= 4) meta.texts[line.substr(0, 4)] = Widen(line.substr(4));
    }
    if (auto p = part(5)) {
      std::vector<std::string> fields =
          wufuzz::SplitInput(reinterpret_cast<const uint8_t*>(p->data()), p->size(), '\x1E', 10);
      for (size_t i = 0; i < fields.size(); ++i) meta.base.fields[static_cast<int>(i)] = fields[i];
    }
    for (size_t i = 6; i < parts.size(); ++i) meta.base.meta_streams.push_back(parts[i]);
    meta.loopResult = (switches & 0x10) ? S_OK : S_FALSE;
    meta.stretchResult = (switches & 0x20) ? S_OK : S_FALSE;
    meta.info = {1, 0, 2};

    WUFILEPROPMETA in = {};
    in.edit = edit;
    in.meta = &meta;
    in.loopInfo = (switches & 0x4) ? &meta : nullptr;
    in.streams = meta.streams();
    in.mediaTag = &meta;
    in.mediaTagsUsable = (switches & 0x8) ? TRUE : FALSE;
    in.requestFlags = (switches & 0x2) ? WUFILEPROP_REQUEST_BWF : 0;
    in.diagnostic = (switches & 0x1) ? TRUE : FALSE;
    WuFilePropWriteMetaSections(&in);
    if (meta.refs() != 0 || meta.live() != 0) wufuzz::Fail("a reference was kept", "");
  }
  DestroyWindow(edit);
  if (platform::LiveGlobalBlockCount() != blocks) wufuzz::Fail("a block leaked", "");
  return 0;
}
