// Sections of ELF files: finding one named section of a program or shared
// object on disk, for the version block a program carries in ".wuversion"
// (platform/kernel/version.h). Internal to platform/kernel/.
//
// The file is untrusted: the ELF header, the section header table and the
// section-name table are checked against the file's size before they are
// read, and nothing outside the file is ever read. Both classes (32- and
// 64-bit) of little-endian files are read; a big-endian file is damaged as
// far as this reader is concerned.
#pragma once

#include <string>
#include <vector>

#include "platform/kernel/types.h"

namespace platform {

enum class ElfSection {
  kNotElf,   // the file does not start with the ELF magic
  kAbsent,   // an ELF file without a section of that name
  kFound,    // the section's bytes were read
  kDamaged,  // a header, the name table or the section lies outside the file
  kFailed,   // the file could not be opened or read (*error says why)
};

// Reads the section `name` of the file at `linux_path` into `out` when it is
// there. A section larger than `max_size` bytes, or one without contents in
// the file (SHT_NOBITS), is kDamaged. *error is set for kFailed (a Win32
// error number) and left alone otherwise.
ElfSection ReadElfSection(const std::string& linux_path, const char* name, size_t max_size,
                          std::vector<BYTE>* out, DWORD* error);

}  // namespace platform
