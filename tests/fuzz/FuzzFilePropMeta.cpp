// Fuzz target of the file-properties text over a fake plug-in world, aimed
// at what plug-ins hand over in bytes. The first byte holds switches (bit
// 0 the diagnostic listing, 1 the broadcast-wave section, 2 the loop-info
// kind, 3 the media-tag kind, 4 and 5 the loop and stretch records
// present); the rest is cut at '\x1F' into:
//   0 the summary stream          1 the stretch list
//   2 the region stream           3 the command stream
//   4 text values: lines (cut at '\n') of four id bytes and the value
//   5 the broadcast-wave fields, cut at '\x1E'
//   6 the streams: 32 bytes each {type, ordinal, 2 unused, u32 size
//     answered in the format record, i64 length, u32 field order, u32
//     sample rate, f64 frame rate}
//   7 the subtitle streams: an 8-byte count, then the table's bytes
//   8 the loop record's 24 bytes (fewer are padded with zeros)
//   9.. enumerator streams (sensing blocks, pictures, stretch and beat
//     records, playlists)
// Every interface and stream must come back, every text be freed, and no
// block may leak.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "foundation/WuKernelState.h"
#include "foundation/WuLang.h"
#include "platform/kernel/memory.h"
#include "platform/kernel/module.h"
#include "platform/user/windows.h"
#include "shellui/WuFilePropText.h"
#include "tests/fuzz/FuzzSupport.h"
#include "tests/shellui/FakeFioWorld.h"

namespace {

constexpr size_t kStreamBytes = 32;

std::u16string Widen(const std::string& bytes) { return std::u16string(bytes.begin(), bytes.end()); }

std::vector<std::string> Split(const std::string& part, char separator, size_t max) {
  return wufuzz::SplitInput(reinterpret_cast<const uint8_t*>(part.data()), part.size(), separator, max);
}

template <typename T>
T At(const std::string& bytes, size_t offset) {
  T value;
  std::memcpy(&value, bytes.data() + offset, sizeof value);
  return value;
}

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
  const uint8_t switches = data[0];
  std::vector<std::string> parts = wufuzz::SplitInput(data + 1, size - 1, '\x1F', 15);
  auto part = [&parts](size_t i) -> const std::string* { return i < parts.size() ? &parts[i] : nullptr; };
  HWND edit = CreateWindowExW(0, u"EDIT", u"", WS_POPUP | ES_MULTILINE, 0, 0, 400, 300, nullptr, nullptr,
                              nullptr, nullptr);
  if (!edit) wufuzz::Fail("no edit control", "");
  size_t blocks = platform::LiveGlobalBlockCount();
  {
    fakefio::World world;
    fakefio::FakeMeta& meta = world.AddMeta();
    if (auto p = part(0)) meta.base.summary = *p;
    if (auto p = part(1)) meta.stretchList = *p;
    if (auto p = part(2)) meta.base.region = *p;
    if (auto p = part(3)) meta.base.command = *p;
    if (auto p = part(4)) {
      for (const std::string& line : Split(*p, '\n', 16))
        if (line.size() >= 4) meta.textValues[At<DWORD>(line, 0)] = fakefio::Ok(Widen(line.substr(4)));
    }
    if (auto p = part(5)) {
      std::vector<std::string> fields = Split(*p, '\x1E', 10);
      for (size_t i = 0; i < fields.size(); ++i) meta.base.fields[static_cast<int>(i)] = fields[i];
    }
    if (auto p = part(8)) std::memcpy(&meta.loop, p->data(), std::min(p->size(), sizeof meta.loop));
    for (size_t i = 9; i < parts.size(); ++i) meta.base.meta_streams.push_back(parts[i]);
    meta.hasLoopInfo = (switches & 0x4) != 0;
    meta.hasMediaTag = (switches & 0x8) != 0;
    meta.loopResult = (switches & 0x10) ? S_OK : S_FALSE;
    meta.stretchResult = (switches & 0x20) ? S_OK : S_FALSE;
    meta.tagResult = S_OK;
    meta.tagInfo = {1, 0, 2};

    fakefio::FakeReader& reader = world.AddFile(u"");
    reader.fileName = u"C:\\media\\take.wav";
    reader.meta = &meta;
    if (auto p = part(6)) {
      for (size_t at = 0; at + kStreamBytes <= p->size() && reader.streams.size() < 16; at += kStreamBytes) {
        const std::string s = p->substr(at, kStreamBytes);
        fakefio::StreamDesc desc;
        desc.type = static_cast<BYTE>(s[0]);
        desc.ordinal = static_cast<BYTE>(s[1]);
        desc.answerSize = At<DWORD>(s, 4);
        desc.length = At<LONGLONG>(s, 8);
        desc.fieldOrder = At<DWORD>(s, 16);
        desc.sampleRate = At<DWORD>(s, 20);
        desc.frameRate = At<double>(s, 24);
        reader.streams.push_back(desc);
      }
    }
    if (auto p = part(7)) {
      reader.fileValues[2] = fakefio::OkBytes(p->substr(0, 8));
      reader.fileValues[3] = fakefio::OkBytes(p->size() > 8 ? p->substr(8) : std::string());
    }

    FillFilePropertiesText(edit, u"", &reader, &world.manager, (switches & 0x2) ? 1 : 0,
                           (switches & 0x1) ? TRUE : FALSE);
    std::string leaks = world.Leaks();
    if (!leaks.empty()) wufuzz::Fail("a reference or text was kept", leaks);
  }
  DestroyWindow(edit);
  if (platform::LiveGlobalBlockCount() != blocks) wufuzz::Fail("a block leaked", "");
  return 0;
}
