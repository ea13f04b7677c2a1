// A small shortcut file built byte by byte: the header, a one-item item-id
// list, link info with the local base path C:\test\a.txt (ANSI form only),
// the description "Café", relative path .\a.txt, working folder C:\test and
// arguments "-x" (UTF-16, or ANSI code page 1252), one extra-data block of
// an unknown kind and the terminal block. Every size, offset and count is
// listed with a value that points past the end of its parent.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace wutest {

struct ShortcutField {
  const char* name;  // what the field is
  size_t at;         // its byte offset in the file
  int width;         // 2 or 4 bytes
  uint32_t past;     // a value that reaches past its parent's end
};

struct ShortcutFixture {
  std::string bytes;                  // the whole file
  std::string id_list;                // the item-id list as stored (items and terminator)
  std::string extra;                  // the extra block as stored
  std::vector<ShortcutField> fields;  // every size, offset and count
};

namespace shortcut_detail {
inline void Put16(std::string& b, uint32_t v) {
  b += static_cast<char>(v & 0xFF);
  b += static_cast<char>((v >> 8) & 0xFF);
}
inline void Put32(std::string& b, uint32_t v) {
  Put16(b, v & 0xFFFF);
  Put16(b, v >> 16);
}
inline void Set32(std::string& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}
// A string-data entry: count, then UTF-16 or single bytes (the text is
// Latin-1 here, so its bytes are its code-page-1252 form).
inline void PutCounted(std::string& b, const std::u16string& text, bool unicode) {
  Put16(b, static_cast<uint32_t>(text.size()));
  for (char16_t c : text) {
    if (unicode)
      Put16(b, c);
    else
      b += static_cast<char>(c);
  }
}
}  // namespace shortcut_detail

inline ShortcutFixture MakeShortcutFixture(bool unicode) {
  using namespace shortcut_detail;
  ShortcutFixture f;
  std::string& b = f.bytes;
  // Header.
  Put32(b, 0x4C);
  const uint8_t clsid[16] = {0x01, 0x14, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00,
                             0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};
  b.append(reinterpret_cast<const char*>(clsid), 16);
  // Item-id list, link info, description, relative path, working folder,
  // arguments; Unicode when asked.
  Put32(b, 0x1 | 0x2 | 0x4 | 0x8 | 0x10 | 0x20 | (unicode ? 0x80 : 0));
  Put32(b, 0x20);                      // attributes
  for (int i = 0; i < 6; ++i) Put32(b, 0x01D00000 + i);  // three times
  Put32(b, 1234);                      // file size
  Put32(b, 0);                         // icon index
  Put32(b, 3);                         // show command
  Put16(b, 0x0241);                    // hot key
  b.append(10, '\0');                  // reserved
  f.fields.push_back({"header size", 0, 4, 0x4D});

  // Item-id list: one item of 6 bytes and the terminator.
  const size_t list_at = b.size();
  Put16(b, 8);
  const size_t item_at = b.size();
  Put16(b, 6);
  b += "abcd";
  Put16(b, 0);
  f.id_list = b.substr(item_at);
  f.fields.push_back({"item-id item size", item_at, 2, 9});

  // Link info, small header: volume id, local base path, suffix.
  const size_t info = b.size();
  Put32(b, 0);  // size, set below
  Put32(b, 0x1C);
  Put32(b, 1);
  Put32(b, 0x1C);  // volume id
  Put32(b, 0);     // local base path, set below
  Put32(b, 0);     // no network link
  Put32(b, 0);     // suffix, set below
  const size_t volume = b.size();
  Put32(b, 0x11);
  Put32(b, 3);
  Put32(b, 0x1234ABCD);
  Put32(b, 0x10);
  b += '\0';
  Set32(b, info + 16, static_cast<uint32_t>(b.size() - info));
  b += std::string("C:\\test\\a.txt") + '\0';
  Set32(b, info + 24, static_cast<uint32_t>(b.size() - info));
  b += '\0';
  const uint32_t info_size = static_cast<uint32_t>(b.size() - info);
  Set32(b, info, info_size);
  f.fields.push_back({"link info header size", info + 4, 4, info_size + 4});
  f.fields.push_back({"volume id offset", info + 12, 4, info_size});
  f.fields.push_back({"local base path offset", info + 16, 4, info_size});
  f.fields.push_back({"suffix offset", info + 24, 4, info_size});
  f.fields.push_back({"volume id size", volume, 4,
                      static_cast<uint32_t>(info + info_size - volume + 1)});
  f.fields.push_back({"volume label offset", volume + 12, 4, 0x11});

  // String data.
  const std::u16string strings[] = {u"Caf\u00E9", u".\\a.txt", u"C:\\test", u"-x"};
  const char* names[] = {"description count", "relative path count", "working folder count",
                         "arguments count"};
  for (int i = 0; i < 4; ++i) {
    f.fields.push_back({names[i], b.size(), 2, 0xFFFF});
    PutCounted(b, strings[i], unicode);
  }

  // One extra block of a kind nobody knows, then the terminal block.
  const size_t extra = b.size();
  Put32(b, 12);
  Put32(b, 0xA0000077);
  b += "wxyz";
  f.extra = b.substr(extra);
  Put32(b, 0);

  // Sizes measured against the whole file.
  f.fields.push_back({"item-id list size", list_at, 2,
                      static_cast<uint32_t>(b.size() - list_at - 2 + 1)});
  f.fields.push_back({"link info size", info, 4, static_cast<uint32_t>(b.size() - info + 1)});
  f.fields.push_back({"extra block size", extra, 4, static_cast<uint32_t>(b.size() - extra + 1)});
  return f;
}

}  // namespace wutest
