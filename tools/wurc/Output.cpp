#include "Output.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <sstream>
#include <vector>

#include "Lexer.h"

namespace wurc {

const char kResourceFileHelp[] = R"(RESOURCE FILE FORMAT (version 1; numbers little-endian)
  header, 16 bytes:  0 "WURM"  4 u16 version 1  6 u16 header size 16
                     8 u32 entry count n  12 u32 file size in bytes
  n entries of 20 bytes from offset 16:
                     0 u32 type  4 u32 name  (an id below 0x10000, or
                       0x80000000 | offset of a name)
                     8 u16 language (LANGID)  10 u16 0
                     12 u32 data offset (multiple of 4)  16 u32 data size
  names: at an even offset, u16 count 1..255, then that many UTF-16 units
  (capitals, no terminator); then the data of each resource.
  Every offset and size lies inside the file, ids are 1..65535 and no two
  entries share type, name and language; readers refuse any other file.
)";

namespace {

constexpr uint32_t kNameFlag = 0x80000000u;
constexpr size_t kHeaderSize = 16;
constexpr size_t kEntrySize = 20;
constexpr uint16_t kVersionType = 16;  // RT_VERSION

void Put16(std::string& out, size_t at, uint32_t v) {
  out[at] = static_cast<char>(v & 0xFF);
  out[at + 1] = static_cast<char>((v >> 8) & 0xFF);
}
void Put32(std::string& out, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) out[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

std::string Hex(unsigned v, int digits) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%0*X", digits, v);
  return buf;
}

// The make-syntax form of a path: spaces, '#' and '$' escaped.
std::string MakeEscape(const std::string& path) {
  std::string out;
  for (char c : path) {
    if (c == ' ' || c == '#') out += '\\';
    if (c == '$') out += '$';
    out += c;
  }
  return out;
}

}  // namespace

std::string CppU16Literal(const std::u16string& text) {
  std::string out = "u\"";
  bool after_hex = false;  // a following hex digit would extend a \x escape
  for (char16_t c : text) {
    bool hex_digit = (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
    if (c == u'"' || c == u'\\') {
      out += '\\';
      out += static_cast<char>(c);
      after_hex = false;
    } else if (c >= 0x20 && c < 0x7F && !(after_hex && hex_digit) && c != u'?') {
      out += static_cast<char>(c);
      after_hex = false;
    } else {
      char buf[16];
      std::snprintf(buf, sizeof buf, "\\x%04X", static_cast<unsigned>(c));
      out += buf;
      after_hex = true;
    }
  }
  return out + "\"";
}

namespace {

// The file that `path` names once every final symbolic link is followed:
// an output kept behind a link is replaced where the link points, and the
// link stays. Relative link text is read from the link's folder; a dangling
// link gives the name it points to (created there, as opening it would).
std::string FinalTarget(const std::string& path) {
  std::string p = path;
  for (int hops = 0; hops < 40; ++hops) {
    struct stat st;
    if (lstat(p.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return p;
    std::string text(st.st_size > 0 ? static_cast<size_t>(st.st_size) + 1 : 4096, '\0');
    ssize_t n = readlink(p.c_str(), text.data(), text.size());
    if (n <= 0 || static_cast<size_t>(n) >= text.size()) throw Error("cannot write " + path);
    text.resize(static_cast<size_t>(n));
    if (text[0] == '/') {
      p = text;
    } else {
      size_t slash = p.find_last_of('/');
      p = (slash == std::string::npos ? std::string() : p.substr(0, slash + 1)) + text;
    }
  }
  throw Error("cannot write " + path + ": too many symbolic links");
}

}  // namespace

// Writes a new file beside the target and renames it over the target once
// whole: a write that fails part-way (a full disk) leaves the old file,
// never a part of a new one. The new file is created exclusively under a
// fresh name that only its owner may read while it is written, so nothing
// already in the folder (a file or link of any name) is opened or
// overwritten. A replaced file keeps its permission bits; a new one gets
// those of any new file.
void WriteWholeFile(const std::string& path, const std::string& contents) {
  const std::string target = FinalTarget(path);
  size_t slash = target.find_last_of('/');
  std::string folder = slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
  std::string name = target.substr(folder.size());
  // The temporary name must fit the file system's name limit: a long output
  // name is shortened in it.
  constexpr size_t kNameMax = 255;
  constexpr char kSuffix[] = ".wurc-XXXXXX";
  if (name.size() > kNameMax - (sizeof kSuffix - 1)) name.resize(kNameMax - (sizeof kSuffix - 1));
  std::string temp = folder + name + kSuffix;
  int fd = mkstemp(temp.data());  // O_CREAT | O_EXCL, mode 0600
  if (fd < 0) throw Error("cannot write " + path);
  bool ok = true;
  for (size_t done = 0; ok && done < contents.size();) {
    ssize_t n = write(fd, contents.data() + done, contents.size() - done);
    if (n < 0 && errno == EINTR) continue;
    ok = n > 0;
    if (ok) done += static_cast<size_t>(n);
  }
  struct stat old;
  mode_t mode;
  if (stat(target.c_str(), &old) == 0 && S_ISREG(old.st_mode)) {
    mode = old.st_mode & 07777;
  } else {
    mode_t mask = umask(0);
    umask(mask);
    mode = 0666 & ~mask;
  }
  ok = ok && fsync(fd) == 0 && fchmod(fd, mode) == 0;
  ok = close(fd) == 0 && ok;
  if (!ok || rename(temp.c_str(), target.c_str()) != 0) {
    unlink(temp.c_str());
    throw Error("cannot write " + path);
  }
}

void WriteVersionSection(const ResourceSet& set, const std::string& script,
                         const std::string& out_path) {
  const Resource* block = nullptr;
  for (const Resource& r : set.resources) {
    if (r.type.is_id && r.type.id == kVersionType) {
      block = &r;
      break;
    }
  }
  if (!block) throw Error(script + ": no version block (a resource of type 16)");
  if (block->data.empty() || block->data.size() > 0xFFFF)
    throw Error(script + ": the version block must hold 1 to 65535 bytes");
  std::ostringstream s;
  s << "// The version block of " << script << ", compiled by wurc. Do not edit.\n"
    << "// It goes into the program's section \".wuversion\", which the version\n"
    << "// calls read from the file (platform/kernel/version.h). Nothing in the\n"
    << "// program refers to it, so it is marked to be retained (\"R\") through\n"
    << "// the linker's section garbage collection.\n"
    << "asm(\".pushsection .wuversion,\\\"R\\\",@progbits\\n\"";
  for (size_t b = 0; b < block->data.size(); ++b) {
    if (b % 16 == 0) s << (b ? "\\n\"" : "") << "\n    \".byte ";
    else s << ",";
    s << Hex(block->data[b], 2);
  }
  s << "\\n\"\n    \".popsection\\n\");\n";
  WriteWholeFile(out_path, s.str());
}

void WriteCppSource(const ResourceSet& set, const std::string& module_name,
                    const std::string& script, const std::string& out_path) {
  std::ostringstream s;
  s << "// Resources compiled from " << script << " by wurc. Do not edit.\n"
    << "#include \"platform/kernel/resource.h\"\n\n"
    << "namespace {\n\n";
  std::map<std::u16string, int> names;  // type and resource names, by text
  auto name_symbol = [&](const ResKey& k) -> std::string {
    if (k.is_id) return "nullptr";
    auto it = names.find(k.name);
    if (it == names.end()) {
      int n = static_cast<int>(names.size());
      it = names.emplace(k.name, n).first;
      s << "const char16_t kName" << n << "[] = " << CppU16Literal(k.name) << ";\n";
    }
    return "kName" + std::to_string(it->second);
  };
  std::vector<std::string> rows;
  for (size_t i = 0; i < set.resources.size(); ++i) {
    const Resource& r = set.resources[i];
    std::string type_name = name_symbol(r.type);
    std::string res_name = name_symbol(r.name);
    s << "alignas(8) const unsigned char kData" << i << "[" << (r.data.empty() ? 1 : r.data.size())
      << "] = {";
    for (size_t b = 0; b < r.data.size(); ++b) {
      if (b % 16 == 0) s << "\n   ";
      s << " " << Hex(r.data[b], 2) << ",";
    }
    if (r.data.empty()) s << "0";
    s << "\n};\n";
    std::ostringstream row;
    row << "    {" << (r.type.is_id ? r.type.id : 0) << ", " << type_name << ", "
        << (r.name.is_id ? r.name.id : 0) << ", " << res_name << ", " << Hex(r.language, 4)
        << ", kData" << i << ", " << r.data.size() << "},";
    rows.push_back(row.str());
  }
  s << "\nconst platform::CompiledResource kResources[] = {\n";
  for (const std::string& row : rows) s << row << "\n";
  if (rows.empty()) s << "    {0, nullptr, 0, nullptr, 0, nullptr, 0},\n";
  s << "};\n\n"
    << "// Registers the resources before main() runs.\n"
    << "struct Registrar {\n"
    << "  Registrar() {\n"
    << "    platform::RegisterCompiledResources("
    << (module_name.empty() ? std::string("nullptr") : CppU16Literal(std::u16string(module_name.begin(), module_name.end())))
    << ", kResources, " << rows.size() << ");\n"
    << "  }\n"
    << "} registrar;\n\n"
    << "}  // namespace\n";
  WriteWholeFile(out_path, s.str());
}

void WriteResourceFile(const ResourceSet& set, const std::string& out_path) {
  size_t n = set.resources.size();
  std::string out(kHeaderSize + n * kEntrySize, '\0');
  std::map<std::u16string, uint32_t> name_offsets;
  auto key_value = [&](const ResKey& k) -> uint32_t {
    if (k.is_id) return k.id;
    auto it = name_offsets.find(k.name);
    if (it != name_offsets.end()) return kNameFlag | it->second;
    if (out.size() % 2) out += '\0';
    uint32_t at = static_cast<uint32_t>(out.size());
    out.append(2 + 2 * k.name.size(), '\0');
    Put16(out, at, static_cast<uint32_t>(k.name.size()));
    for (size_t i = 0; i < k.name.size(); ++i) Put16(out, at + 2 + 2 * i, k.name[i]);
    name_offsets.emplace(k.name, at);
    return kNameFlag | at;
  };
  for (size_t i = 0; i < n; ++i) {
    const Resource& r = set.resources[i];
    size_t e = kHeaderSize + i * kEntrySize;
    Put32(out, e, key_value(r.type));
    Put32(out, e + 4, key_value(r.name));
    Put16(out, e + 8, r.language);
  }
  for (size_t i = 0; i < n; ++i) {
    const Resource& r = set.resources[i];
    while (out.size() % 8) out += '\0';
    size_t e = kHeaderSize + i * kEntrySize;
    Put32(out, e + 12, static_cast<uint32_t>(out.size()));
    Put32(out, e + 16, static_cast<uint32_t>(r.data.size()));
    out.append(r.data.begin(), r.data.end());
  }
  if (out.size() > 0x7FFFFFFF) throw Error(out_path + ": the resources are too large");
  out[0] = 'W';
  out[1] = 'U';
  out[2] = 'R';
  out[3] = 'M';
  Put16(out, 4, 1);
  Put16(out, 6, kHeaderSize);
  Put32(out, 8, static_cast<uint32_t>(n));
  Put32(out, 12, static_cast<uint32_t>(out.size()));
  WriteWholeFile(out_path, out);
}

void WriteDepFile(const std::string& out_path, const std::string& target,
                  const std::vector<std::string>& inputs) {
  std::string s = MakeEscape(target) + ":";
  for (const std::string& in : inputs) s += " \\\n  " + MakeEscape(in);
  WriteWholeFile(out_path, s + "\n");
}

}  // namespace wurc
