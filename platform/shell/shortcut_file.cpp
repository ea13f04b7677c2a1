// Reading and writing shortcut files. The reader walks the file through
// bounded windows (`Span`): each structure is read only inside the window
// of its parent, so a size, offset or count that points past its parent or
// the file fails the read instead of reaching other bytes.
#include "platform/shell/shortcut_file.h"

#include <new>

#include "platform/kernel/locale.h"

namespace platform {
namespace {

// The class id at bytes 4-19 of the header, as stored.
constexpr uint8_t kLinkClassId[16] = {0x01, 0x14, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00,
                                      0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};

// Link-info flags.
constexpr DWORD kInfoVolumeAndLocalPath = 0x1;  // volume id and local base path present
constexpr DWORD kInfoNetworkAndSuffix = 0x2;    // network link present
// Header sizes of link info: without and with the UTF-16 offsets.
constexpr DWORD kInfoHeaderSmall = 0x1C;
constexpr DWORD kInfoHeaderLarge = 0x24;
// Network-link flags and sizes.
constexpr DWORD kNetValidDevice = 0x1;    // the device name is present
constexpr DWORD kNetValidNetType = 0x2;   // the provider type is meaningful
constexpr DWORD kNetHeaderSmall = 0x14;   // header without the UTF-16 offsets
constexpr DWORD kNetHeaderLarge = 0x1C;   // header with them
// Volume-id sizes.
constexpr DWORD kVolumeHeaderSmall = 0x10;  // header with the ANSI label offset
constexpr DWORD kVolumeHeaderLarge = 0x14;  // header with the UTF-16 label offset too
// Environment-variable block: its ANSI and UTF-16 targets.
constexpr size_t kEnvAnsiAt = 8;
constexpr size_t kEnvAnsiBytes = 260;
constexpr size_t kEnvWideAt = kEnvAnsiAt + kEnvAnsiBytes;
constexpr size_t kEnvWideChars = 260;

uint16_t Get16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t Get32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

// A window of the input; every read is checked against its size.
struct Span {
  const uint8_t* data;  // first byte of the window
  size_t size;          // bytes in the window

  bool Fits(size_t at, size_t bytes) const { return at <= size && size - at >= bytes; }
  bool Read16(size_t at, uint16_t* value) const {
    if (!Fits(at, 2)) return false;
    *value = Get16(data + at);
    return true;
  }
  bool Read32(size_t at, uint32_t* value) const {
    if (!Fits(at, 4)) return false;
    *value = Get32(data + at);
    return true;
  }
  // The part [at, at + bytes); false when it does not fit.
  bool Sub(size_t at, size_t bytes, Span* part) const {
    if (!Fits(at, bytes)) return false;
    *part = Span{data + at, bytes};
    return true;
  }
};

// `count` bytes of the ANSI code page as UTF-16.
bool FromAnsi(const uint8_t* text, size_t count, std::u16string* out) {
  out->clear();
  if (count == 0) return true;
  const LPCSTR source = reinterpret_cast<LPCSTR>(text);
  int n = MultiByteToWideChar(CP_ACP, 0, source, static_cast<int>(count), nullptr, 0);
  if (n <= 0) return false;
  out->resize(static_cast<size_t>(n));
  return MultiByteToWideChar(CP_ACP, 0, source, static_cast<int>(count), out->data(), n) == n;
}

// `count` UTF-16 units stored little-endian.
void FromWide(const uint8_t* text, size_t count, std::u16string* out) {
  out->resize(count);
  for (size_t i = 0; i < count; ++i) (*out)[i] = static_cast<char16_t>(Get16(text + 2 * i));
}

// An ANSI text that starts at `at` and ends with a zero inside the window.
bool AnsiText(const Span& span, size_t at, std::u16string* out) {
  if (at >= span.size) return false;
  for (size_t end = at; end < span.size; ++end)
    if (span.data[end] == 0) return FromAnsi(span.data + at, end - at, out);
  return false;
}

// A UTF-16 text that starts at `at` and ends with a zero unit inside the
// window.
bool WideText(const Span& span, size_t at, std::u16string* out) {
  for (size_t end = at; span.Fits(end, 2); end += 2)
    if (Get16(span.data + end) == 0) {
      FromWide(span.data + at, (end - at) / 2, out);
      return true;
    }
  return false;
}

// The item-id list at `*at`: a 16-bit size, then items of a 16-bit size
// (at least 2) and their bytes, ending with a zero size exactly at the end.
bool ReadIdList(const Span& file, size_t* at, ShortcutFile* out) {
  uint16_t list_size = 0;
  Span list;
  if (!file.Read16(*at, &list_size) || !file.Sub(*at + 2, list_size, &list)) return false;
  size_t item = 0;
  for (;;) {
    uint16_t item_size = 0;
    if (!list.Read16(item, &item_size)) return false;
    if (item_size == 0) {
      item += 2;
      break;
    }
    if (item_size < 2 || !list.Fits(item, item_size)) return false;
    item += item_size;
  }
  if (item != list.size) return false;
  out->id_list.assign(list.data, list.data + list.size);
  *at += 2 + list.size;
  return true;
}

// The volume id at `at` of link info.
bool ReadVolumeId(const Span& info, size_t at, ShortcutFile* out) {
  uint32_t volume_size = 0;
  Span volume;
  if (!info.Read32(at, &volume_size) || volume_size < kVolumeHeaderSmall ||
      !info.Sub(at, volume_size, &volume))
    return false;
  uint32_t label_at = 0;
  volume.Read32(4, &out->drive_type);
  volume.Read32(8, &out->drive_serial);
  volume.Read32(12, &label_at);
  if (label_at == kVolumeHeaderLarge) {
    uint32_t wide_at = 0;
    if (!volume.Read32(16, &wide_at) || wide_at < kVolumeHeaderLarge) return false;
    return WideText(volume, wide_at, &out->volume_label);
  }
  if (label_at < kVolumeHeaderSmall) return false;
  return AnsiText(volume, label_at, &out->volume_label);
}

// The network link at `at` of link info.
bool ReadNetworkLink(const Span& info, size_t at, ShortcutFile* out) {
  uint32_t net_size = 0;
  Span net;
  if (!info.Read32(at, &net_size) || net_size < kNetHeaderSmall || !info.Sub(at, net_size, &net))
    return false;
  uint32_t flags = 0, name_at = 0, device_at = 0;
  net.Read32(4, &flags);
  net.Read32(8, &name_at);
  net.Read32(12, &device_at);
  net.Read32(16, &out->provider_type);
  if (name_at < kNetHeaderSmall) return false;
  if (!AnsiText(net, name_at, &out->net_name)) return false;
  if ((flags & kNetValidDevice) && (device_at < kNetHeaderSmall ||
                                    !AnsiText(net, device_at, &out->device_name)))
    return false;
  if (name_at > kNetHeaderSmall) {
    // The header holds the UTF-16 offsets too; a zero offset means none.
    uint32_t wide_name_at = 0, wide_device_at = 0;
    if (net_size < kNetHeaderLarge || !net.Read32(20, &wide_name_at) ||
        !net.Read32(24, &wide_device_at))
      return false;
    if (wide_name_at != 0 &&
        (wide_name_at < kNetHeaderLarge || !WideText(net, wide_name_at, &out->net_name)))
      return false;
    if ((flags & kNetValidDevice) && wide_device_at != 0 &&
        (wide_device_at < kNetHeaderLarge || !WideText(net, wide_device_at, &out->device_name)))
      return false;
  }
  return true;
}

// Link info at `*at`.
bool ReadLinkInfo(const Span& file, size_t* at, ShortcutFile* out) {
  uint32_t info_size = 0;
  Span info;
  if (!file.Read32(*at, &info_size) || info_size < kInfoHeaderSmall ||
      !file.Sub(*at, info_size, &info))
    return false;
  uint32_t header = 0, flags = 0, volume_at = 0, base_at = 0, net_at = 0, suffix_at = 0;
  info.Read32(4, &header);
  if (header != kInfoHeaderSmall && (header < kInfoHeaderLarge || header > info_size)) return false;
  info.Read32(8, &flags);
  info.Read32(12, &volume_at);
  info.Read32(16, &base_at);
  info.Read32(20, &net_at);
  info.Read32(24, &suffix_at);
  uint32_t wide_base_at = 0, wide_suffix_at = 0;
  if (header >= kInfoHeaderLarge) {
    info.Read32(28, &wide_base_at);
    info.Read32(32, &wide_suffix_at);
  }
  // Every offset points past the header, inside link info.
  auto inside = [&](uint32_t offset) { return offset >= header && offset < info_size; };
  if (flags & kInfoVolumeAndLocalPath) {
    if (!inside(volume_at) || !ReadVolumeId(info, volume_at, out)) return false;
    if (!inside(base_at) || !AnsiText(info, base_at, &out->local_base_path)) return false;
    if (wide_base_at != 0 &&
        (!inside(wide_base_at) || !WideText(info, wide_base_at, &out->local_base_path)))
      return false;
  }
  if (flags & kInfoNetworkAndSuffix) {
    if (!inside(net_at) || !ReadNetworkLink(info, net_at, out)) return false;
  }
  if (flags & (kInfoVolumeAndLocalPath | kInfoNetworkAndSuffix)) {
    if (!inside(suffix_at) || !AnsiText(info, suffix_at, &out->path_suffix)) return false;
    if (wide_suffix_at != 0 &&
        (!inside(wide_suffix_at) || !WideText(info, wide_suffix_at, &out->path_suffix)))
      return false;
  }
  *at += info_size;
  return true;
}

// One string of the string data at `*at`: a 16-bit count of characters.
bool ReadCountedString(const Span& file, size_t* at, bool unicode, std::u16string* out) {
  uint16_t count = 0;
  if (!file.Read16(*at, &count)) return false;
  const size_t bytes = unicode ? 2u * count : count;
  if (!file.Fits(*at + 2, bytes)) return false;
  const uint8_t* text = file.data + *at + 2;
  if (unicode) {
    FromWide(text, count, out);
  } else if (!FromAnsi(text, count, out)) {
    return false;
  }
  *at += 2 + bytes;
  return true;
}

// The target of an environment-variable block (its whole bytes): the
// UTF-16 text when it has one, else the ANSI text, each up to its zero or
// the end of its field.
bool ReadEnvironmentBlock(const Span& block, ShortcutFile* out) {
  if (block.size != kLinkEnvironmentBlockSize) return false;
  size_t n = 0;
  while (n < kEnvWideChars && Get16(block.data + kEnvWideAt + 2 * n) != 0) ++n;
  if (n > 0) {
    FromWide(block.data + kEnvWideAt, n, &out->environment_target);
    return true;
  }
  while (n < kEnvAnsiBytes && block.data[kEnvAnsiAt + n] != 0) ++n;
  return FromAnsi(block.data + kEnvAnsiAt, n, &out->environment_target);
}

// Extra-data blocks from `at` up to and including the terminal block (a
// size below 4).
bool ReadExtraBlocks(const Span& file, size_t at, ShortcutFile* out) {
  const size_t first = at;
  for (;;) {
    uint32_t block_size = 0;
    if (!file.Read32(at, &block_size)) return false;
    if (block_size < 4) break;
    Span block;
    uint32_t signature = 0;
    if (block_size < 8 || !file.Sub(at, block_size, &block)) return false;
    block.Read32(4, &signature);
    if (signature == kLinkEnvironmentSignature && !ReadEnvironmentBlock(block, out)) return false;
    at += block_size;
  }
  out->extra.assign(file.data + first, file.data + at);
  return true;
}

// Appenders of the writer.
void Put16(std::vector<uint8_t>& out, uint32_t value) {
  out.push_back(static_cast<uint8_t>(value));
  out.push_back(static_cast<uint8_t>(value >> 8));
}
void Put32(std::vector<uint8_t>& out, uint32_t value) {
  Put16(out, value & 0xFFFF);
  Put16(out, value >> 16);
}
void Set32(std::vector<uint8_t>& out, size_t at, uint32_t value) {
  for (int i = 0; i < 4; ++i) out[at + i] = static_cast<uint8_t>(value >> (8 * i));
}
void PutTime(std::vector<uint8_t>& out, const FILETIME& time) {
  Put32(out, time.dwLowDateTime);
  Put32(out, time.dwHighDateTime);
}
// A text in the ANSI code page with its zero.
void PutAnsi(std::vector<uint8_t>& out, const std::u16string& text) {
  if (!text.empty()) {
    int n = WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                nullptr, nullptr);
    if (n > 0) {
      std::string bytes(static_cast<size_t>(n), '\0');
      WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), bytes.data(), n,
                          nullptr, nullptr);
      for (char c : bytes) out.push_back(static_cast<uint8_t>(c));
    }
  }
  out.push_back(0);
}
// A UTF-16 text with its zero.
void PutWide(std::vector<uint8_t>& out, const std::u16string& text) {
  for (char16_t c : text) Put16(out, c);
  Put16(out, 0);
}

// The local path: base path and suffix, none without a base path (the
// suffix then belongs to the network share).
std::u16string LocalPath(const ShortcutFile& link) {
  return link.local_base_path.empty() ? std::u16string() : link.local_base_path + link.path_suffix;
}

// Link info for a local path, or for a network share when there is no local
// path.
void PutLinkInfo(std::vector<uint8_t>& out, const ShortcutFile& link) {
  const size_t start = out.size();
  const std::u16string local = LocalPath(link);
  out.resize(start + kInfoHeaderLarge, 0);
  Set32(out, start + 4, kInfoHeaderLarge);
  auto here = [&] { return static_cast<uint32_t>(out.size() - start); };
  if (!local.empty()) {
    Set32(out, start + 8, kInfoVolumeAndLocalPath);
    // Volume id of a fixed drive, serial 0, empty label.
    Set32(out, start + 12, here());
    Put32(out, kVolumeHeaderSmall + 1);
    Put32(out, kLinkDriveFixed);
    Put32(out, 0);
    Put32(out, kVolumeHeaderSmall);
    out.push_back(0);
    Set32(out, start + 16, here());
    PutAnsi(out, local);
    Set32(out, start + 24, here());
    PutAnsi(out, u"");
    Set32(out, start + 28, here());
    PutWide(out, local);
    Set32(out, start + 32, here());
    PutWide(out, u"");
  } else {
    Set32(out, start + 8, kInfoNetworkAndSuffix);
    Set32(out, start + 20, here());
    const size_t net = out.size();
    out.resize(net + kNetHeaderLarge, 0);
    DWORD flags = (link.device_name.empty() ? 0 : kNetValidDevice) |
                  (link.provider_type != 0 ? kNetValidNetType : 0);
    Set32(out, net + 4, flags);
    Set32(out, net + 16, link.provider_type);
    auto net_here = [&] { return static_cast<uint32_t>(out.size() - net); };
    Set32(out, net + 8, net_here());
    PutAnsi(out, link.net_name);
    if (!link.device_name.empty()) {
      Set32(out, net + 12, net_here());
      PutAnsi(out, link.device_name);
    }
    Set32(out, net + 20, net_here());
    PutWide(out, link.net_name);
    if (!link.device_name.empty()) {
      Set32(out, net + 24, net_here());
      PutWide(out, link.device_name);
    }
    Set32(out, net, net_here());
    Set32(out, start + 24, here());
    PutAnsi(out, link.path_suffix);
    Set32(out, start + 32, here());
    PutWide(out, link.path_suffix);
  }
  Set32(out, start, here());
}

// TRUE when the kept extra blocks hold an environment-variable block.
bool HasEnvironmentBlock(const std::vector<uint8_t>& extra) {
  Span blocks{extra.data(), extra.size()};
  size_t at = 0;
  uint32_t size = 0, signature = 0;
  while (blocks.Read32(at, &size) && size >= 8 && blocks.Fits(at, size)) {
    blocks.Read32(at + 4, &signature);
    if (signature == kLinkEnvironmentSignature) return true;
    at += size;
  }
  return false;
}

}  // namespace

bool ParseShortcutFile(const uint8_t* data, size_t size, ShortcutFile* out) {
  if (!data || size > kLinkMaxFileSize) return false;
  ShortcutFile link;
  const Span file{data, size};
  uint32_t header_size = 0;
  if (!file.Read32(0, &header_size) || header_size != kLinkHeaderSize ||
      !file.Fits(0, kLinkHeaderSize))
    return false;
  for (size_t i = 0; i < sizeof(kLinkClassId); ++i)
    if (data[4 + i] != kLinkClassId[i]) return false;
  link.flags = Get32(data + 20);
  link.attributes = Get32(data + 24);
  link.creation = {Get32(data + 28), Get32(data + 32)};
  link.access = {Get32(data + 36), Get32(data + 40)};
  link.write = {Get32(data + 44), Get32(data + 48)};
  link.file_size = Get32(data + 52);
  link.icon_index = static_cast<int32_t>(Get32(data + 56));
  link.show_command = static_cast<int32_t>(Get32(data + 60));
  link.hotkey = Get16(data + 64);

  size_t at = kLinkHeaderSize;
  try {
    if ((link.flags & kLinkHasIdList) && !ReadIdList(file, &at, &link)) return false;
    if ((link.flags & kLinkHasLinkInfo) && !ReadLinkInfo(file, &at, &link)) return false;
    if (link.flags & kLinkForceNoLinkInfo) {
      // The link info is there but not to be used.
      link.local_base_path.clear();
      link.net_name.clear();
      link.device_name.clear();
      link.path_suffix.clear();
    }
    const bool unicode = (link.flags & kLinkIsUnicode) != 0;
    const struct {
      DWORD flag;
      std::u16string* field;
    } strings[] = {
        {kLinkHasName, &link.description},         {kLinkHasRelativePath, &link.relative_path},
        {kLinkHasWorkingDir, &link.working_dir},   {kLinkHasArguments, &link.arguments},
        {kLinkHasIconLocation, &link.icon_location},
    };
    for (const auto& s : strings)
      if ((link.flags & s.flag) && !ReadCountedString(file, &at, unicode, s.field)) return false;
    if (!ReadExtraBlocks(file, at, &link)) return false;
  } catch (const std::bad_alloc&) {
    return false;
  }
  *out = std::move(link);
  return true;
}

std::vector<uint8_t> WriteShortcutFile(const ShortcutFile& link) {
  std::vector<uint8_t> out;
  const bool has_id_list = !link.id_list.empty() && link.id_list.size() <= 0xFFFF;
  const bool has_info = !link.local_base_path.empty() || !link.net_name.empty();
  const struct {
    DWORD flag;
    const std::u16string* field;
  } strings[] = {
      {kLinkHasName, &link.description},         {kLinkHasRelativePath, &link.relative_path},
      {kLinkHasWorkingDir, &link.working_dir},   {kLinkHasArguments, &link.arguments},
      {kLinkHasIconLocation, &link.icon_location},
  };
  DWORD flags = (link.flags & ~kLinkContentFlags) | kLinkIsUnicode;
  if (has_id_list) flags |= kLinkHasIdList;
  if (has_info) flags |= kLinkHasLinkInfo;
  for (const auto& s : strings)
    if (!s.field->empty()) flags |= s.flag;
  if (HasEnvironmentBlock(link.extra)) flags |= kLinkHasExpString;

  Put32(out, kLinkHeaderSize);
  out.insert(out.end(), kLinkClassId, kLinkClassId + sizeof(kLinkClassId));
  Put32(out, flags);
  Put32(out, link.attributes);
  PutTime(out, link.creation);
  PutTime(out, link.access);
  PutTime(out, link.write);
  Put32(out, link.file_size);
  Put32(out, static_cast<uint32_t>(link.icon_index));
  Put32(out, static_cast<uint32_t>(link.show_command));
  Put16(out, link.hotkey);
  out.resize(kLinkHeaderSize, 0);  // reserved

  if (has_id_list) {
    Put16(out, static_cast<uint32_t>(link.id_list.size()));
    out.insert(out.end(), link.id_list.begin(), link.id_list.end());
  }
  if (has_info) PutLinkInfo(out, link);
  for (const auto& s : strings) {
    if (s.field->empty()) continue;
    // A count is 16 bits: a longer text is cut (the setters keep texts far
    // shorter).
    const size_t count = s.field->size() < 0xFFFF ? s.field->size() : 0xFFFF;
    Put16(out, static_cast<uint32_t>(count));
    for (size_t i = 0; i < count; ++i) Put16(out, (*s.field)[i]);
  }
  out.insert(out.end(), link.extra.begin(), link.extra.end());
  Put32(out, 0);  // terminal block
  return out;
}

}  // namespace platform
