// Sections of ELF files: the header, the section header table and the
// section-name table, each checked against the file's size before it is
// read.
#include "platform/kernel/elf_sections_internal.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

#include "platform/kernel/error.h"

namespace platform {
namespace {

constexpr BYTE kMagic[4] = {0x7F, 'E', 'L', 'F'};
constexpr BYTE kClass32 = 1;
constexpr BYTE kClass64 = 2;
constexpr BYTE kLittleEndian = 1;
constexpr DWORD kNoBits = 8;          // SHT_NOBITS: no contents in the file
constexpr uint32_t kExtendedIndex = 0xFFFF;  // SHN_XINDEX
constexpr size_t kMaxNameTable = 16 * 1024 * 1024;  // larger name tables are damage

uint64_t Get(const BYTE* p, size_t bytes) {
  uint64_t v = 0;
  for (size_t i = 0; i < bytes; ++i) v |= static_cast<uint64_t>(p[i]) << (8 * i);
  return v;
}

// Where the fields of the two classes lie.
struct Layout {
  size_t header_size;   // the ELF header
  size_t shoff;         // e_shoff
  size_t word;          // width of addresses and offsets
  size_t shentsize;     // e_shentsize
  size_t shnum;         // e_shnum
  size_t shstrndx;      // e_shstrndx
  size_t section_size;  // one section header, at least
  size_t sh_offset;     // sh_offset within a section header
  size_t sh_size;       // sh_size
  size_t sh_link;       // sh_link
};
constexpr Layout k32 = {52, 32, 4, 46, 48, 50, 40, 16, 20, 24};
constexpr Layout k64 = {64, 40, 8, 58, 60, 62, 64, 24, 32, 40};

// The file, read only where it exists.
class File {
 public:
  explicit File(int fd, uint64_t size) : fd_(fd), size_(size) {}
  uint64_t size() const { return size_; }
  // True when [offset, offset + bytes) lies inside the file.
  bool Holds(uint64_t offset, uint64_t bytes) const {
    return offset <= size_ && bytes <= size_ - offset;
  }
  // Reads a range the caller checked with Holds; false with errno set.
  bool Read(uint64_t offset, void* out, size_t bytes) const {
    BYTE* p = static_cast<BYTE*>(out);
    while (bytes) {
      ssize_t n = pread(fd_, p, bytes, static_cast<off_t>(offset));
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        if (n == 0) errno = EIO;  // the file shrank under us
        return false;
      }
      p += n;
      offset += static_cast<uint64_t>(n);
      bytes -= static_cast<size_t>(n);
    }
    return true;
  }

 private:
  int fd_;
  uint64_t size_;
};

struct Section {
  DWORD name = 0;       // offset of its name in the name table
  DWORD type = 0;       // sh_type
  uint64_t offset = 0;  // where its bytes start in the file
  uint64_t size = 0;    // how many there are
  DWORD link = 0;       // sh_link
};

ElfSection Find(const File& file, const char* wanted, size_t max_size, std::vector<BYTE>* out,
                DWORD* error) {
  auto failed = [&]() {
    *error = ErrorFromErrno(errno);
    return ElfSection::kFailed;
  };
  BYTE ident[16];
  if (!file.Holds(0, sizeof ident)) return ElfSection::kNotElf;
  if (!file.Read(0, ident, sizeof ident)) return failed();
  if (std::memcmp(ident, kMagic, 4) != 0) return ElfSection::kNotElf;
  if ((ident[4] != kClass32 && ident[4] != kClass64) || ident[5] != kLittleEndian)
    return ElfSection::kDamaged;
  const Layout& l = ident[4] == kClass64 ? k64 : k32;

  BYTE header[64];
  if (!file.Holds(0, l.header_size)) return ElfSection::kDamaged;
  if (!file.Read(0, header, l.header_size)) return failed();
  uint64_t table = Get(header + l.shoff, l.word);
  uint64_t entry_size = Get(header + l.shentsize, 2);
  uint64_t count = Get(header + l.shnum, 2);
  uint64_t names_index = Get(header + l.shstrndx, 2);
  if (table == 0) return ElfSection::kAbsent;  // no section headers at all
  if (entry_size < l.section_size) return ElfSection::kDamaged;

  auto read_section = [&](uint64_t index, Section* s) -> ElfSection {
    // index < count and the whole table lies in the file (checked below,
    // or for section 0 before the count is known).
    BYTE raw[64];
    uint64_t at = table + index * entry_size;
    if (!file.Holds(at, l.section_size)) return ElfSection::kDamaged;
    if (!file.Read(at, raw, l.section_size)) return failed();
    s->name = static_cast<DWORD>(Get(raw, 4));
    s->type = static_cast<DWORD>(Get(raw + 4, 4));
    s->offset = Get(raw + l.sh_offset, l.word);
    s->size = Get(raw + l.sh_size, l.word);
    s->link = static_cast<DWORD>(Get(raw + l.sh_link, 4));
    return ElfSection::kFound;
  };

  // Files with many sections keep the count and the name table's index in
  // section 0.
  if (count == 0 || names_index == kExtendedIndex) {
    Section first;
    ElfSection r = read_section(0, &first);
    if (r != ElfSection::kFound) return r;
    if (count == 0) count = first.size;
    if (names_index == kExtendedIndex) names_index = first.link;
  }
  if (count == 0) return ElfSection::kAbsent;
  if (count > file.size() / entry_size || !file.Holds(table, count * entry_size))
    return ElfSection::kDamaged;
  if (names_index >= count) return ElfSection::kDamaged;

  Section names_section;
  ElfSection r = read_section(names_index, &names_section);
  if (r != ElfSection::kFound) return r;
  if (names_section.type == kNoBits || names_section.size > kMaxNameTable ||
      !file.Holds(names_section.offset, names_section.size))
    return ElfSection::kDamaged;
  std::vector<char> names(static_cast<size_t>(names_section.size));
  if (!names.empty() && !file.Read(names_section.offset, names.data(), names.size())) return failed();

  size_t wanted_length = std::strlen(wanted);
  for (uint64_t i = 1; i < count; ++i) {
    Section s;
    r = read_section(i, &s);
    if (r != ElfSection::kFound) return r;
    // The name must end inside the table.
    if (s.name >= names.size() || names.size() - s.name <= wanted_length) continue;
    if (std::memcmp(names.data() + s.name, wanted, wanted_length + 1) != 0) continue;
    if (s.type == kNoBits || s.size > max_size || !file.Holds(s.offset, s.size))
      return ElfSection::kDamaged;
    out->resize(static_cast<size_t>(s.size));
    if (!out->empty() && !file.Read(s.offset, out->data(), out->size())) return failed();
    return ElfSection::kFound;
  }
  return ElfSection::kAbsent;
}

}  // namespace

ElfSection ReadElfSection(const std::string& linux_path, const char* name, size_t max_size,
                          std::vector<BYTE>* out, DWORD* error) {
  out->clear();
  int fd = open(linux_path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    *error = ErrorFromErrno(errno);
    return ElfSection::kFailed;
  }
  struct stat st;
  ElfSection result;
  if (fstat(fd, &st) != 0) {
    *error = ErrorFromErrno(errno);
    result = ElfSection::kFailed;
  } else if (!S_ISREG(st.st_mode)) {
    result = ElfSection::kNotElf;
  } else {
    result = Find(File(fd, static_cast<uint64_t>(st.st_size)), name, max_size, out, error);
  }
  close(fd);
  if (result != ElfSection::kFound) out->clear();
  return result;
}

}  // namespace platform
