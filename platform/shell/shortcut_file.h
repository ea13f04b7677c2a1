// The binary shortcut-file format (".lnk"): a 76-byte header, an optional
// item-id list, optional link info (where the target lives: a local path on
// a volume, or a network share), optional string data, and extra-data blocks
// up to a terminal block. All numbers are little-endian.
//
// The reader treats the file as untrusted: every size, offset and count is
// checked against the structure that holds it and against the file, and it
// never reads outside the bytes it is given. The item-id list and the extra
// blocks are kept as bytes (only the environment-variable block is read) so
// that writing a loaded file gives them back unchanged.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/kernel/types.h"

namespace platform {

// Header flags.
constexpr DWORD kLinkHasIdList = 0x1;           // an item-id list follows the header
constexpr DWORD kLinkHasLinkInfo = 0x2;         // link info follows
constexpr DWORD kLinkHasName = 0x4;             // string data: description
constexpr DWORD kLinkHasRelativePath = 0x8;     // string data: relative path
constexpr DWORD kLinkHasWorkingDir = 0x10;      // string data: working folder
constexpr DWORD kLinkHasArguments = 0x20;       // string data: arguments
constexpr DWORD kLinkHasIconLocation = 0x40;    // string data: icon location
constexpr DWORD kLinkIsUnicode = 0x80;          // string data in UTF-16 (else the ANSI code page)
constexpr DWORD kLinkForceNoLinkInfo = 0x100;   // link info present but to be ignored
constexpr DWORD kLinkHasExpString = 0x200;      // an environment-variable block holds the target
// The flags the writer derives from the contents; the others are kept.
constexpr DWORD kLinkContentFlags = 0x3FF;

// Sizes of the fixed parts.
constexpr size_t kLinkHeaderSize = 0x4C;          // the header
constexpr size_t kLinkMaxFileSize = 1u << 20;     // larger files are refused
constexpr DWORD kLinkEnvironmentBlockSize = 0x314;        // environment-variable block
constexpr DWORD kLinkEnvironmentSignature = 0xA0000001;   // its signature

// Volume kinds of the volume id.
constexpr DWORD kLinkDriveFixed = 3;

// What a shortcut file holds.
struct ShortcutFile {
  DWORD flags = 0;                  // header flags (kLink*)
  DWORD attributes = 0;             // the target's file attributes when the link was made
  FILETIME creation = {};           // the target's times when the link was made
  FILETIME access = {};
  FILETIME write = {};
  DWORD file_size = 0;              // the target's size (low 32 bits)
  int32_t icon_index = 0;           // index of the icon in icon_location
  int32_t show_command = 1;         // SW_* of the started program (1: SW_SHOWNORMAL)
  WORD hotkey = 0;                  // key in the low byte, modifiers in the high byte
  std::vector<uint8_t> id_list;     // the item-id list's items and terminator, as stored
  DWORD drive_type = 0;             // volume id as read: kind of drive
  DWORD drive_serial = 0;           // volume id as read: serial number
  std::u16string volume_label;      // volume id as read: label
  std::u16string local_base_path;   // local path of the target (before the suffix)
  std::u16string net_name;          // network share of the target ("\\server\share")
  std::u16string device_name;       // drive letter the share was mapped to ("Z:")
  DWORD provider_type = 0;          // network provider of the share
  std::u16string path_suffix;       // rest of the path after the base path or share
  std::u16string description;       // string data, each empty when absent
  std::u16string relative_path;
  std::u16string working_dir;
  std::u16string arguments;
  std::u16string icon_location;
  std::u16string environment_target;  // target of the environment-variable block (raw)
  std::vector<uint8_t> extra;         // extra-data blocks as stored, without the terminal block
};

// Reads a shortcut file's bytes into *out (replaced whole). false when the
// bytes are not a well-formed shortcut file (wrong header size or class id,
// a structure that does not fit its parent or the file, a missing
// terminator or terminal block, or more than kLinkMaxFileSize bytes); *out
// is then unspecified.
bool ParseShortcutFile(const uint8_t* data, size_t size, ShortcutFile* out);

// The bytes of a shortcut file: the header with the content flags derived
// from the fields (the other flags kept), the item-id list, link info
// (header size 0x24) when there is a local path (the base path and suffix
// joined, written as the local base path in the ANSI code page and in
// UTF-16, behind the volume id of a fixed drive, serial 0, empty label) or
// else a network share (its name, device and suffix), the non-empty strings
// in UTF-16, the kept extra blocks and the terminal block.
std::vector<uint8_t> WriteShortcutFile(const ShortcutFile& link);

}  // namespace platform
