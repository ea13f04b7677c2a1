// Builders of version blocks (platform/kernel/version.h) and of the resource files
// (platform/kernel/resource.h) that carry them, for tests that read them back.
#pragma once

#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

namespace wutest {

// Little-endian fields and padding to 4 bytes.
inline void Put16(std::string* out, unsigned v) {
  out->push_back(static_cast<char>(v & 0xFF));
  out->push_back(static_cast<char>((v >> 8) & 0xFF));
}
inline void Put32(std::string* out, unsigned v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}
inline void Pad4(std::string* out) {
  while (out->size() % 4) out->push_back('\0');
}

// A text value: UTF-16 with its terminator.
inline std::string Utf16z(const std::u16string& text) {
  std::string out;
  for (char16_t c : text) Put16(&out, c);
  Put16(&out, 0);
  return out;
}

// One node of a version block: key, value (a text's length is counted in
// characters, a binary one's in bytes), children.
inline std::string VersionNode(const std::u16string& key, bool text, const std::string& value,
                               const std::vector<std::string>& children = {}) {
  std::string out;
  Put16(&out, 0);  // the length, set below
  Put16(&out, static_cast<unsigned>(text ? value.size() / 2 : value.size()));
  Put16(&out, text ? 1 : 0);
  for (char16_t c : key) Put16(&out, c);
  Put16(&out, 0);
  Pad4(&out);
  out += value;
  for (const std::string& child : children) {
    Pad4(&out);
    out += child;
  }
  out[0] = static_cast<char>(out.size() & 0xFF);
  out[1] = static_cast<char>((out.size() >> 8) & 0xFF);
  return out;
}

// The fixed part (52 bytes): signature and structure version, then
// `fields` from the file version's high word on, the rest zero.
inline std::string FixedInfo(std::initializer_list<unsigned> fields = {}) {
  std::string out;
  Put32(&out, 0xFEEF04BD);
  Put32(&out, 0x00010000);
  for (unsigned v : fields) Put32(&out, v);
  out.resize(52, '\0');
  return out;
}

// A whole block: the fixed part, one string table keyed `table` ("040904B0")
// holding `texts` as (name, text) pairs, and the one translation
// `translation` (language in the low word, code page in the high).
inline std::string VersionBlock(const std::string& fixed, const std::u16string& table,
                                const std::vector<std::pair<std::u16string, std::u16string>>& texts,
                                unsigned translation) {
  std::vector<std::string> entries;
  for (const auto& [name, text] : texts) entries.push_back(VersionNode(name, true, Utf16z(text)));
  std::string pairs;
  Put32(&pairs, translation);
  return VersionNode(u"VS_VERSION_INFO", false, fixed,
                     {VersionNode(u"StringFileInfo", true, "", {VersionNode(table, true, "", entries)}),
                      VersionNode(u"VarFileInfo", true, "", {VersionNode(u"Translation", false, pairs)})});
}

// One resource of a resource file, named by id.
struct ResourceItem {
  unsigned type;     // RT_* id
  unsigned name;     // resource id
  std::string data;  // its bytes
};

// A resource file holding `items`, all in `language`.
inline std::string ResourceFile(const std::vector<ResourceItem>& items, unsigned language = 0x409) {
  std::string table, data;
  const size_t data_start = 16 + 20 * items.size();
  for (const ResourceItem& item : items) {
    Pad4(&data);
    Put32(&table, item.type);
    Put32(&table, item.name);
    Put16(&table, language);
    Put16(&table, 0);
    Put32(&table, static_cast<unsigned>(data_start + data.size()));
    Put32(&table, static_cast<unsigned>(item.data.size()));
    data += item.data;
  }
  std::string out = "WURM";
  Put16(&out, 1);
  Put16(&out, 16);
  Put32(&out, static_cast<unsigned>(items.size()));
  Put32(&out, static_cast<unsigned>(16 + table.size() + data.size()));
  return out + table + data;
}

}  // namespace wutest
