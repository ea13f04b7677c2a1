// CArchive2: adding entries, the central directory, the end record, and Close.
#include <zlib.h>

#include "Sfx/ArchiveEntry.h"
#include "Sfx/ArchivePattern.h"
#include "Sfx/CArchive2.h"
#include "foundation/WuString.h"
#include "platform/kernel/error.h"
#include "platform/kernel/filemode.h"
#include "platform/kernel/files.h"
#include "platform/kernel/handles.h"
#include "platform/kernel/locale.h"
#include "platform/kernel/time.h"

namespace {


// Attributes that describe the file's kind on this machine, not the file.
constexpr DWORD kLocalOnlyAttributes = FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE;

int Length(LPCWSTR text) { return static_cast<int>(platform::WStrLen(text)); }

ULONGLONG FileTimeValue(const FILETIME& t) {
  return (static_cast<ULONGLONG>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
}

// Calls `visit(path, find data)` for every entry of a folder but "." and "..".
template <class Visit>
HRESULT ForEachInFolder(LPCWSTR folder, Visit visit) {
  WCHAR pattern[kArchivePathUnits];
  if (!ArcJoin(pattern, kArchivePathUnits, folder, u"*")) return WU_E_BAD_FILE_NAME;
  WIN32_FIND_DATAW fd;
  HANDLE find = FindFirstFileW(pattern, &fd);
  if (find == INVALID_HANDLE_VALUE) return 0;  // empty or unreadable: nothing to visit
  HRESULT hr = 0;
  do {
    if (lstrcmpW(fd.cFileName, u".") == 0 || lstrcmpW(fd.cFileName, u"..") == 0) continue;
    WCHAR child[kArchivePathUnits];
    if (!ArcJoin(child, kArchivePathUnits, folder, fd.cFileName)) {
      hr = WU_E_BAD_FILE_NAME;
      break;
    }
    hr = visit(child, fd);
  } while (SUCCEEDED(hr) && FindNextFileW(find, &fd));
  FindClose(find);
  return hr;
}

bool IsFolder(const WIN32_FIND_DATAW& fd) { return fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY; }
bool IsLink(const WIN32_FIND_DATAW& fd) {
  return fd.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT;
}
bool IsDevice(const WIN32_FIND_DATAW& fd) { return fd.dwFileAttributes & FILE_ATTRIBUTE_DEVICE; }
ULONGLONG SizeOf(const WIN32_FIND_DATAW& fd) {
  return (static_cast<ULONGLONG>(fd.nFileSizeHigh) << 32) | fd.nFileSizeLow;
}

// Size and item count of a folder tree (the folder itself counts as an item).
void SumTree(LPCWSTR folder, ULONGLONG* size, LONG* count) {
  ++*count;
  ForEachInFolder(folder, [&](LPCWSTR child, const WIN32_FIND_DATAW& fd) -> HRESULT {
    if (IsFolder(fd)) {
      if (!IsLink(fd)) SumTree(child, size, count);
    } else if (!IsDevice(fd)) {
      *size += SizeOf(fd);
      ++*count;
    }
    return 0;
  });
}

}  // namespace

// ===========================================================================
// Sizes and space for adding
// ===========================================================================

HRESULT CArchive2::SizeOfAdd(LPCWSTR path, DWORD flags, ULONGLONG* size, LONG* count) {
  *size = 0;
  *count = 0;
  DWORD a = GetFileAttributesW(path);
  if (a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY)) {
    SumTree(path, size, count);
    return 0;
  }
  if (a != INVALID_FILE_ATTRIBUTES) {
    ArcPathSize(path, size);
    *count = 1;
    return 0;
  }
  tARCPATTERN p;
  if (!ArcParsePattern(ArcFileNamePart(path), &p) || p.kind == ArcPatternKind::kExact) return 0;
  WCHAR folder[kArchivePathUnits];
  ArcCopy(folder, kArchivePathUnits, path);
  folder[ArcFolderPartLength(folder)] = 0;
  return ForEachInFolder(folder, [&](LPCWSTR child, const WIN32_FIND_DATAW& fd) -> HRESULT {
    if (!ArcPatternMatches(p, fd.cFileName)) return 0;
    if (IsFolder(fd)) {
      if ((flags & WUARC_ADD_RECURSE) && !IsLink(fd)) SumTree(child, size, count);
    } else if (!IsDevice(fd)) {
      *size += SizeOf(fd);
      ++*count;
    }
    return 0;
  });
}

HRESULT CArchive2::GetSizeAddEntry(LPCWSTR path, ULONGLONG& size, DWORD flags) {
  size = 0;
  WCHAR full[kArchivePathUnits];
  if (!ArcFullPath(path, full, kArchivePathUnits)) return E_INVALIDARG;
  ArcStripTrailingSeparators(full);
  LONG count = 0;
  return SizeOfAdd(full, flags, &size, &count);
}

HRESULT CArchive2::GetCountAddEntry(LPCWSTR path, LONG& count, DWORD flags) {
  count = 0;
  WCHAR full[kArchivePathUnits];
  if (!ArcFullPath(path, full, kArchivePathUnits)) return E_INVALIDARG;
  ArcStripTrailingSeparators(full);
  ULONGLONG size = 0;
  return SizeOfAdd(full, flags, &size, &count);
}

HRESULT CArchive2::IsSpaceForAddEntry(LPCWSTR path, DWORD flags) {
  if (!IsOpen() || (m_mode != WUARC_MODE_CREATE && m_mode != WUARC_MODE_APPEND)) return E_FAIL;
  ULONGLONG need = 0;
  HRESULT hr = GetSizeAddEntry(path, need, flags);
  if (FAILED(hr)) return hr;
  if (m_mode == WUARC_MODE_APPEND) {
    LONGLONG archive = GetArchiveSize();
    if (archive > 0) need += static_cast<ULONGLONG>(archive);
  }
  WCHAR folder[kArchivePathUnits];
  ArcCopy(folder, kArchivePathUnits, m_path);
  folder[ArcFolderPartLength(folder)] = 0;
  ULONGLONG free_units = 0;
  if (!ArcFreeUnits(folder, &free_units)) return E_FAIL;
  return ArcIsShort(need, free_units) ? 1 : 0;
}

// ===========================================================================
// Adding
// ===========================================================================

HRESULT CArchive2::AddEntryToArchive(LPCWSTR path, DWORD method, DWORD level, DWORD flags,
                                     LPCWSTR storedFolder) {
  if (!IsOpen() || (m_mode != WUARC_MODE_CREATE && m_mode != WUARC_MODE_APPEND))
    return Fail(WUARC_ERR_NOT_OPEN, u"AddEntryToArchive", nullptr, E_FAIL);
  // Checked before anything is written, so no half entry can be left.
  if (method != kUmMethodStored && method != kUmMethodDeflate)
    return Fail(WUARC_ERR_INVALID_ARG, u"AddEntryToArchive", path, E_NOTIMPL);
  WCHAR full[kArchivePathUnits];
  if (level > 9 || !ArcFullPath(path, full, kArchivePathUnits))
    return Fail(WUARC_ERR_INVALID_ARG, u"AddEntryToArchive", path, E_INVALIDARG);
  ArcStripTrailingSeparators(full);
  if (storedFolder && !*storedFolder) storedFolder = nullptr;
  // Keeping the path: the stored folder becomes a prefix of every name
  // below, and the call goes on as one without a stored folder.
  m_namePrefix[0] = 0;
  if (storedFolder && (flags & WUARC_ADD_KEEP_PATH)) {
    if (!ArcAppend(m_namePrefix, kArchivePathUnits, storedFolder)) {
      m_namePrefix[0] = 0;
      return Fail(WUARC_ERR_INVALID_ARG, u"AddEntryToArchive", storedFolder, E_INVALIDARG);
    }
    storedFolder = nullptr;
  }

  HRESULT hr = IsSpaceForAddEntry(full, flags);
  if (hr != 0) {
    m_namePrefix[0] = 0;
    return Fail(WUARC_ERR_DISK_SPACE, u"AddEntryToArchive", full, WU_E_NO_SPACE);
  }
  ULONGLONG size = 0;
  LONG count = 0;
  SizeOfAdd(full, flags, &size, &count);
  BeginItem(full, size, (flags & WUARC_ADD_NAME_ONLY) != 0);
  m_addFlags = flags;
  m_method = method;
  m_level = level;

  int base = ArcFolderPartLength(full);
  DWORD a = GetFileAttributesW(full);
  if (a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY))
    hr = storedFolder ? Fail(WUARC_ERR_INVALID_ARG, u"AddEntryToArchive", full, E_INVALIDARG)
                      : AddFolderTree(full, base);
  else if (a != INVALID_FILE_ATTRIBUTES)
    hr = AddFile(full, base, storedFolder);
  else if (!storedFolder)
    hr = AddWildcard(full, flags);
  else
    hr = Fail(WUARC_ERR_OPEN, u"AddFile", full, WU_E_CREATE_FILE);
  m_namePrefix[0] = 0;
  Status(WUARC_STATUS_FINISHED);
  return hr;
}

// The folder's own entry first, then everything below it in enumeration
// order. Linked folders are not entered.
HRESULT CArchive2::AddFolderTree(LPCWSTR folder, int baseLength) {
  HRESULT hr = AddDirectory(folder, baseLength);
  if (FAILED(hr)) return hr;
  return ForEachInFolder(folder, [&](LPCWSTR child, const WIN32_FIND_DATAW& fd) -> HRESULT {
    if (IsFolder(fd)) return IsLink(fd) ? 0 : AddFolderTree(child, baseLength);
    return IsDevice(fd) ? 0 : AddFile(child, baseLength, nullptr);
  });
}

HRESULT CArchive2::AddWildcard(LPCWSTR path, DWORD flags) {
  tARCPATTERN p;
  if (!ArcParsePattern(ArcFileNamePart(path), &p) || p.kind == ArcPatternKind::kExact)
    return Fail(WUARC_ERR_NO_WILDCARD, u"AddWildcard", path, 1);
  int base = ArcFolderPartLength(path);
  WCHAR folder[kArchivePathUnits];
  ArcCopy(folder, kArchivePathUnits, path);
  folder[base] = 0;
  return ForEachInFolder(folder, [&](LPCWSTR child, const WIN32_FIND_DATAW& fd) -> HRESULT {
    if (!ArcPatternMatches(p, fd.cFileName)) return 0;
    if (IsFolder(fd))
      return (flags & WUARC_ADD_RECURSE) && !IsLink(fd) ? AddFolderTree(child, base) : 0;
    return IsDevice(fd) ? 0 : AddFile(child, base, nullptr);
  });
}

// The stored name of a path: below the base folder, or the stored folder and
// the file name. 1 when it is empty; names over 259 units are refused (two
// names cut to the same text would collide).
HRESULT CArchive2::MakeStoredName(LPCWSTR path, int baseLength, LPCWSTR storedFolder, bool folder,
                                  WCHAR* name) {
  WCHAR text[kArchivePathUnits];
  text[0] = 0;
  bool fits = true;
  if (storedFolder) {
    fits = ArcAppend(text, kArchivePathUnits, storedFolder);
    int n = Length(text);
    if (fits && n > 0 && !ArcIsSeparator(text[n - 1])) fits = ArcAppend(text, kArchivePathUnits, u"\\");
    fits = fits && ArcAppend(text, kArchivePathUnits, ArcFileNamePart(path));
  } else {
    if (m_namePrefix[0]) {
      fits = ArcAppend(text, kArchivePathUnits, m_namePrefix) &&
             (ArcIsSeparator(text[Length(text) - 1]) || ArcAppend(text, kArchivePathUnits, u"\\"));
    }
    fits = fits && ArcAppend(text, kArchivePathUnits, path + baseLength);
  }
  if (fits && folder && text[0]) fits = ArcAppend(text, kArchivePathUnits, u"\\");
  if (!fits || Length(text) > kUmMaxNameLength)
    return Fail(WUARC_ERR_INVALID_ARG, u"AddFile", path, WU_E_BAD_FILE_NAME);
  if (!text[0]) return 1;
  ArcToStoredSeparators(text);
  ArcCopy(name, kUmNameUnits, text);
  return 0;
}

// Append mode: an entry of the same name already in the archive is offered
// to the overwrite question (unless the caller said not to ask).
HRESULT CArchive2::AskReplaceExisting(LPCWSTR name) {
  if (m_mode != WUARC_MODE_APPEND || (m_addFlags & WUARC_ADD_NO_ASK) || !m_progress) return 0;
  if (!IsEntryInArchive(name)) return 0;
  return AskOverwrite(name);
}

bool CArchive2::IsOwnFile(LPCWSTR path) const {
  return lstrcmpW(path, m_path) == 0 ||
         (!m_replacePath.empty() && lstrcmpW(path, m_replacePath.c_str()) == 0) ||
         (!m_workPath.empty() && lstrcmpW(path, m_workPath.c_str()) == 0);
}

HRESULT CArchive2::WriteOutput(const void* data, DWORD count) {
  if (!ArcWriteAt(m_output, m_base + m_writePos, data, count)) return WU_E_WRITE;
  m_writePos += count;
  return 0;
}

HRESULT CArchive2::AppendRecord(const tUMENTRYRECORD& record) {
  auto* copy = static_cast<tUMENTRYRECORD*>(WuGlobalNew(sizeof(tUMENTRYRECORD)));
  if (!copy) return Fail(WUARC_ERR_MEMORY, record.name, nullptr, E_OUTOFMEMORY);
  *copy = record;
  if (FAILED(WuList_InsertItem(m_entries, -1, copy))) {
    WuGlobalDelete(copy);
    return Fail(WUARC_ERR_MEMORY, record.name, nullptr, E_OUTOFMEMORY);
  }
  ++m_written;
  return 0;
}

namespace {

// Writes a local header and the texts behind it into `out`; returns the
// byte count.
DWORD EncodeLocal(const tUMENTRYRECORD& r, BYTE* out) {
  UmEncodeLocalHeader(r.header, out);
  UmEncodeText(r.name, r.header.nameLength, out + kUmLocalHeaderSize);
  UmEncodeText(r.second, r.header.secondLength,
               out + kUmLocalHeaderSize + 2 * r.header.nameLength);
  return kUmLocalHeaderSize + 2 * (r.header.nameLength + r.header.secondLength);
}

constexpr DWORD kLocalBytesMax = kUmLocalHeaderSize + 4 * kUmNameUnits;

}  // namespace

HRESULT CArchive2::AddFile(LPCWSTR path, int baseLength, LPCWSTR storedFolder) {
  if (IsOwnFile(path)) return 0;  // never the archive (or its work copy) into itself
  tUMENTRYRECORD r{};
  HRESULT hr = MakeStoredName(path, baseLength, storedFolder, false, r.name);
  if (hr != 0) return hr == 1 ? 0 : hr;
  hr = AskReplaceExisting(r.name);
  if (hr != 0) return hr == 1 ? 0 : hr;

  DWORD attributes = GetFileAttributesW(path) & ~kLocalOnlyAttributes;
  if (m_addFlags & WUARC_ADD_CLEAR_READONLY) attributes &= ~FILE_ATTRIBUTE_READONLY;
  HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return Fail(WUARC_ERR_OPEN, u"AddFile", path, WU_E_CREATE_FILE);
  ULONGLONG size = 0;
  FILETIME written{};
  if (!ArcFileSize(file, &size) || !GetFileTime(file, nullptr, nullptr, &written)) {
    CloseHandle(file);
    return Fail(WUARC_ERR_FILE_TIME, u"AddFile", path, WU_E_BAD_DATA);
  }

  r.header.signature = kUmLocalSignature;
  r.header.facts.method = m_method;
  r.header.facts.level = m_level;
  r.header.facts.fileTime = FileTimeValue(written);
  r.header.facts.size = size;
  r.header.attributes = attributes;
  r.header.nameLength = static_cast<DWORD>(Length(r.name));
  r.localOffset = m_writePos;
  BYTE local[kLocalBytesMax];
  hr = WriteOutput(local, EncodeLocal(r, local));
  if (SUCCEEDED(hr))
    hr = m_method == kUmMethodStored ? NoCompressFile(file, size, &r) : CompressZipFile(file, size, &r);
  else
    hr = Fail(WUARC_ERR_WRITE, u"AddFile", path, WU_E_WRITE);
  CloseHandle(file);

  if (SUCCEEDED(hr)) {
    // The sizes and CRCs are known only now: fill offsets 28..43.
    BYTE patch[16];
    UmPut32(patch, r.header.facts.storedCrc);
    UmPut32(patch + 4, r.header.facts.dataCrc);
    UmPut64(patch + 8, r.header.facts.storedSize);
    if (!ArcWriteAt(m_output, m_base + r.localOffset + 28, patch, 16))
      hr = Fail(WUARC_ERR_WRITE, u"AddFile", path, WU_E_WRITE);
  }
  if (SUCCEEDED(hr)) hr = AppendRecord(r);
  // A failed entry is not in the directory; the next one takes its place.
  if (FAILED(hr)) m_writePos = r.localOffset;
  return hr;
}

HRESULT CArchive2::AddDirectory(LPCWSTR path, int baseLength) {
  tUMENTRYRECORD r{};
  HRESULT hr = MakeStoredName(path, baseLength, nullptr, true, r.name);
  if (hr == 1) return Fail(WUARC_ERR_INVALID_ARG, u"AddDirectory", path, 1);
  if (hr != 0) return hr;
  hr = AskReplaceExisting(r.name);
  if (hr != 0) return hr == 1 ? 0 : hr;
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  DWORD attributes = GetFileAttributesW(path) & ~kLocalOnlyAttributes;
  if (m_addFlags & WUARC_ADD_CLEAR_READONLY) attributes &= ~FILE_ATTRIBUTE_READONLY;
  r.header.signature = kUmLocalSignature;
  r.header.facts.method = m_method;
  r.header.facts.level = m_level;
  r.header.facts.fileTime = FileTimeValue(now);
  r.header.attributes = attributes | FILE_ATTRIBUTE_DIRECTORY;
  r.header.nameLength = static_cast<DWORD>(Length(r.name));
  r.localOffset = m_writePos;
  BYTE local[kLocalBytesMax];
  if (FAILED(WriteOutput(local, EncodeLocal(r, local)))) {
    m_writePos = r.localOffset;
    return Fail(WUARC_ERR_WRITE, u"AddDirectory", path, WU_E_WRITE);
  }
  hr = AppendRecord(r);
  if (FAILED(hr)) m_writePos = r.localOffset;
  return hr;
}

HRESULT CArchive2::NoCompressFile(HANDLE file, ULONGLONG size, tUMENTRYRECORD* record) {
  SetItem(record->name);
  Status(WUARC_STATUS_ADDING);
  if (!EnsureBuffers()) return Fail(WUARC_ERR_MEMORY, record->name, nullptr, E_OUTOFMEMORY);
  uLong crc = crc32(0L, Z_NULL, 0);
  for (ULONGLONG done = 0; done < size;) {
    DWORD want = size - done < kArchiveBlockSize ? static_cast<DWORD>(size - done) : kArchiveBlockSize;
    DWORD got = 0;
    if (!ReadFile(file, m_block, want, &got, nullptr) || got != want)
      return Fail(WUARC_ERR_READ, record->name, nullptr, WU_E_READ);
    crc = crc32(crc, m_block, got);
    if (FAILED(WriteOutput(m_block, got)))
      return Fail(WUARC_ERR_WRITE, record->name, nullptr, WU_E_WRITE);
    done += got;
    if (Poll() == WUARC_ANSWER_CANCEL) return WUARC_ANSWER_CANCEL;
    AddBytes(got);
  }
  record->header.facts.storedSize = size;
  record->header.facts.storedCrc = record->header.facts.dataCrc = static_cast<DWORD>(crc);
  Status(WUARC_STATUS_ENTRY_DONE);
  return 0;
}

bool CArchive2::EnsureDeflater(DWORD level) {
  if (m_deflater && m_deflaterLevel == level) return deflateReset(m_deflater) == Z_OK;
  if (m_deflater) {
    deflateEnd(m_deflater);
    WuGlobalDelete(m_deflater);
    m_deflater = nullptr;
  }
  auto* z = static_cast<z_stream*>(WuGlobalNew(sizeof(z_stream)));
  if (!z) return false;
  if (deflateInit2(z, static_cast<int>(level), Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) !=
      Z_OK) {
    WuGlobalDelete(z);
    return false;
  }
  m_deflater = z;
  m_deflaterLevel = level;
  return true;
}

HRESULT CArchive2::CompressZipFile(HANDLE file, ULONGLONG size, tUMENTRYRECORD* record) {
  SetItem(record->name);
  Status(WUARC_STATUS_ADDING);
  if (!EnsureBuffers()) return Fail(WUARC_ERR_MEMORY, record->name, nullptr, E_OUTOFMEMORY);
  uLong dataCrc = crc32(0L, Z_NULL, 0);
  uLong storedCrc = dataCrc;
  ULONGLONG stored = 0;
  if (size > 0) {
    if (!EnsureDeflater(m_level)) return Fail(WUARC_ERR_MEMORY, record->name, nullptr, E_OUTOFMEMORY);
    z_stream* z = m_deflater;
    // Writes what the compressor produced into the output buffer.
    auto drain = [&]() -> HRESULT {
      DWORD produced = kArchiveZOutSize - z->avail_out;
      if (produced == 0) return 0;
      if (FAILED(WriteOutput(m_zout, produced)))
        return Fail(WUARC_ERR_WRITE, record->name, nullptr, WU_E_WRITE);
      storedCrc = crc32(storedCrc, m_zout, produced);
      stored += produced;
      return 0;
    };
    for (ULONGLONG done = 0; done < size;) {
      DWORD want = size - done < kArchiveBlockSize ? static_cast<DWORD>(size - done) : kArchiveBlockSize;
      DWORD got = 0;
      if (!ReadFile(file, m_block, want, &got, nullptr) || got != want)
        return Fail(WUARC_ERR_READ, record->name, nullptr, WU_E_READ);
      if (Poll() == WUARC_ANSWER_CANCEL) return WUARC_ANSWER_CANCEL;
      AddBytes(got);
      dataCrc = crc32(dataCrc, m_block, got);
      z->next_in = m_block;
      z->avail_in = got;
      do {
        z->next_out = m_zout;
        z->avail_out = kArchiveZOutSize;
        int ret = deflate(z, Z_NO_FLUSH);
        if (ret == Z_MEM_ERROR) return Fail(WUARC_ERR_MEMORY, record->name, nullptr, E_OUTOFMEMORY);
        if (ret != Z_OK && ret != Z_BUF_ERROR)
          return Fail(WUARC_ERR_WRITE, record->name, nullptr, WU_E_WRITE);
        HRESULT hr = drain();
        if (FAILED(hr)) return hr;
      } while (z->avail_in > 0 || z->avail_out == 0);
      done += got;
    }
    for (;;) {
      z->next_out = m_zout;
      z->avail_out = kArchiveZOutSize;
      int ret = deflate(z, Z_FINISH);
      if (ret != Z_OK && ret != Z_STREAM_END)
        return Fail(WUARC_ERR_READ, record->name, nullptr, WU_E_WRITE);
      HRESULT hr = drain();
      if (FAILED(hr)) return hr;
      if (ret == Z_STREAM_END) break;
    }
  }
  record->header.facts.storedSize = stored;
  record->header.facts.dataCrc = size > 0 ? static_cast<DWORD>(dataCrc) : 0;
  record->header.facts.storedCrc = size > 0 ? static_cast<DWORD>(storedCrc) : 0;
  Status(WUARC_STATUS_ENTRY_DONE);
  return 0;
}

HRESULT CArchive2::AddVolumeComment(LPCWSTR text) {
  if (m_mode == WUARC_MODE_READ) return 0;
  WuStrCpyNLen(m_comment, text, kUmCommentUnits);
  return 0;
}

// ===========================================================================
// Central directory and end record
// ===========================================================================

HRESULT CArchive2::AddCentralDirectory() {
  if (m_mode != WUARC_MODE_CREATE && m_mode != WUARC_MODE_APPEND) return E_FAIL;
  if (!m_entries) return E_FAIL;
  HRESULT hr = 0;
  if (m_mode == WUARC_MODE_APPEND && m_oldCount > 0 && m_entries->count > 0) {
    hr = CopyEntries();
    if (FAILED(hr)) return hr;
  }
  if (!EnsureBuffers()) return Fail(WUARC_ERR_MEMORY, u"AddCentralDirectory", nullptr, E_OUTOFMEMORY);
  ULONGLONG dirOffset = m_writePos;
  DWORD fill = 0;
  for (LONG i = 0; i < m_entries->count && SUCCEEDED(hr); ++i) {
    const auto* r = static_cast<const tUMENTRYRECORD*>(WuList_PointerAt(m_entries, i));
    tUMCENTRALRECORD c{};
    c.signature = kUmCentralSignature;
    c.facts = r->header.facts;
    c.nameLength = r->header.nameLength;
    c.secondLength = r->header.secondLength;
    c.attributes = r->header.attributes;
    c.localOffset = r->localOffset;
    DWORD bytes = static_cast<DWORD>(UmCentralRecordBytes(c));
    if (fill + bytes > kArchiveBlockSize) {
      hr = WriteOutput(m_block, fill);
      fill = 0;
    }
    UmEncodeCentralRecord(c, m_block + fill);
    UmEncodeText(r->name, c.nameLength, m_block + fill + kUmCentralRecordSize);
    UmEncodeText(r->second, c.secondLength, m_block + fill + kUmCentralRecordSize + 2 * c.nameLength);
    fill += bytes;
  }
  if (SUCCEEDED(hr)) hr = WriteOutput(m_block, fill);
  if (FAILED(hr)) return Fail(WUARC_ERR_WRITE, u"AddCentralDirectory", m_path, WU_E_WRITE);
  if (m_entries->count > 0) m_changed = TRUE;
  if (!m_changed) return 0;
  hr = AddEndOfCentralDir(dirOffset);
  return FAILED(hr) ? hr : TruncateOutput();
}

// Append mode: the old entries that no added entry replaces, copied behind
// the added ones in their old order.
HRESULT CArchive2::CopyEntries() {
  LONG added = m_entries->count;
  auto replaced = [&](LPCWSTR name) {
    for (LONG i = 0; i < added; ++i)
      if (lstrcmpiW(static_cast<const tUMENTRYRECORD*>(WuList_PointerAt(m_entries, i))->name,
                    name) == 0)
        return true;
    return false;
  };
  ULONGLONG total = 0;
  tARCENTRY e;
  HRESULT hr;
  for (hr = FindFirst(&e); hr == 0; hr = FindNext(&e))
    if (!replaced(e.name)) total += e.record.facts.storedSize;
  BeginItem(u"Entries", total, false);
  Status(WUARC_STATUS_COPYING);
  for (hr = FindFirst(&e); hr == 0; hr = FindNext(&e)) {
    if (replaced(e.name)) continue;
    tUMENTRYRECORD r{};
    r.header.signature = kUmLocalSignature;
    r.header.facts = e.record.facts;
    r.header.attributes = e.record.attributes;
    ArcCopy(r.name, kUmNameUnits, e.name);
    UmDecodeText(m_dir + e.dirPos + kUmCentralRecordSize + 2ULL * e.record.nameLength,
                 e.record.secondLength, r.second, kUmNameUnits);
    r.header.nameLength = static_cast<DWORD>(Length(r.name));
    r.header.secondLength = static_cast<DWORD>(Length(r.second));
    r.localOffset = m_writePos;
    BYTE local[kLocalBytesMax];
    if (FAILED(WriteOutput(local, EncodeLocal(r, local))))
      return Fail(WUARC_ERR_WRITE, u"CopyEntries", e.name, WU_E_WRITE);
    HRESULT copy = BlockCopy(m_archive, m_base + UmDataOffset(e.record), m_output,
                             m_base + m_writePos, e.record.facts.storedSize);
    if (FAILED(copy)) return copy;
    m_writePos += e.record.facts.storedSize;
    copy = AppendRecord(r);
    if (FAILED(copy)) return copy;
  }
  if (FAILED(hr)) return hr;
  Status(WUARC_STATUS_FINISHED);
  return 0;
}

HRESULT CArchive2::WriteEndRecordTo(HANDLE file, ULONGLONG fileOffset, const tUMENDRECORD& end,
                                    LPCWSTR comment, LPCWSTR name) {
  BYTE bytes[kUmEndRecordSize + 2 * (kUmCommentUnits + kUmNameUnits)];
  UmEncodeEndRecord(end, bytes);
  UmEncodeText(comment, end.commentLength, bytes + kUmEndRecordSize);
  UmEncodeText(name, end.nameLength, bytes + kUmEndRecordSize + 2 * end.commentLength);
  DWORD count = kUmEndRecordSize + 2 * (end.commentLength + end.nameLength);
  return ArcWriteAt(file, fileOffset, bytes, count) ? 0 : WU_E_WRITE;
}

// The end record behind the central directory that starts at dirOffset and
// ends at the write position; the third text is never written.
HRESULT CArchive2::AddEndOfCentralDir(ULONGLONG dirOffset) {
  tUMENDRECORD e{};
  e.signature = kUmEndSignature;
  e.volumeCount = m_volumeCount ? m_volumeCount : 1;
  e.entryCount = e.entryCount2 = m_written;
  e.dirSize = m_writePos - dirOffset;
  e.dirOffset = dirOffset;
  e.baseOffset = m_base;
  e.commentLength = static_cast<DWORD>(Length(m_comment));
  e.nameLength = static_cast<DWORD>(Length(m_archiveName));
  if (FAILED(WriteEndRecordTo(m_output, m_base + m_writePos, e, m_comment, m_archiveName)))
    return Fail(WUARC_ERR_WRITE, u"AddEndOfCentralDir", nullptr, WU_E_WRITE);
  m_writePos += UmEndRecordBytes(e);
  m_end = e;
  m_thirdText[0] = 0;
  return 0;
}

// Cuts the output after the end record, so that no stale bytes follow it.
HRESULT CArchive2::TruncateOutput() {
  if (!ArcSetFileSize(m_output, m_base + m_writePos))
    return Fail(WUARC_ERR_WRITE, u"AddEndOfCentralDir", nullptr, WU_E_WRITE);
  return 0;
}

// ===========================================================================
// Copies
// ===========================================================================

HRESULT CArchive2::BlockCopy(HANDLE from, ULONGLONG fromOffset, HANDLE to, ULONGLONG toOffset,
                             ULONGLONG count) {
  if (!EnsureBuffers()) return Fail(WUARC_ERR_MEMORY, u"Block Copy", nullptr, E_OUTOFMEMORY);
  ULONGLONG copied = 0;
  while (copied < count) {
    DWORD want = count - copied < kArchiveBlockSize ? static_cast<DWORD>(count - copied)
                                                    : kArchiveBlockSize;
    DWORD got = 0;
    if (!ArcReadAt(from, fromOffset + copied, m_block, want, &got) || got == 0) break;
    if (!ArcWriteAt(to, toOffset + copied, m_block, got))
      return Fail(WUARC_ERR_WRITE, u"Block Copy", nullptr, WU_E_WRITE);
    copied += got;
    AddBytes(got);
    if (Poll() == WUARC_ANSWER_CANCEL) return WUARC_ANSWER_CANCEL;
  }
  if (copied != count) return Fail(WUARC_ERR_COPY, u"Block Copy", nullptr, WU_E_READ);
  return 0;
}

HRESULT CArchive2::WriteSEAStub() {
  BeginItem(u"SEA Stub File", m_base, false);
  return BlockCopy(m_archive, 0, m_output, 0, m_base);
}

// ===========================================================================
// Close
// ===========================================================================

HRESULT CArchive2::Close() {
  if (!IsOpen()) {
    ReleaseAll();
    CWuArchiveProgress* progress = m_progress;
    ResetState();
    m_progress = progress;
    return 0;
  }
  HRESULT result = 0;
  switch (m_mode) {
    case WUARC_MODE_CREATE:
    case WUARC_MODE_APPEND:
      result = AddCentralDirectory();
      break;
    case WUARC_MODE_DELETE:
      result = SubmitDeleteList();
      break;
    case WUARC_MODE_SEA:
      if (m_output) result = CopySEAMultiFiles();
      break;
    default:
      break;
  }

  bool create = m_mode == WUARC_MODE_CREATE;
  bool rewrites = m_mode == WUARC_MODE_APPEND || m_mode == WUARC_MODE_DELETE ||
                  m_mode == WUARC_MODE_VOLUMES;
  bool sea = m_mode == WUARC_MODE_SEA && m_output;
  // The file that the work copy takes the place of: the archive's (or the
  // package's) name with final links followed, so that a link stays.
  LPCWSTR target = m_replacePath.c_str();
  // Until now only its owner could read the work copy; now it gets the
  // permission bits of the file it replaces (a new file: those of any new
  // file). On this platform they are part of the attributes carried over.
  auto giveMode = [&](HANDLE file) {
    if (!platform::SetFileModeLike(file, target) && result >= 0)
      result = Fail(WUARC_ERR_WRITE, u"Close", target, WU_E_WRITE);
  };

  FILETIME created{}, accessed{}, modified{};
  DWORD attributes = INVALID_FILE_ATTRIBUTES;
  if (m_output == m_archive) m_output = nullptr;
  if (create) {
    giveMode(m_archive);  // the archive handle is the work copy itself
  } else {
    GetFileTime(m_archive, &created, &accessed, &modified);
    attributes = GetFileAttributesW(m_path);
  }
  CloseHandle(m_archive);
  m_archive = nullptr;

  if ((rewrites || sea) && m_output) {
    SetFileTime(m_output, &created, &accessed, &modified);
    giveMode(m_output);
    CloseHandle(m_output);
    m_output = nullptr;
    // A package takes the read-only flag of the archive it was made from.
    if (sea && attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
      SetFileAttributesW(m_workPath.c_str(), FILE_ATTRIBUTE_READONLY);
  }

  if ((create || rewrites || sea) && !m_workPath.empty()) {
    if (result >= 0 && (m_changed || sea)) {
      // One rename replaces the file: a crash leaves the old or the new one.
      // New volume files of a split go in place first, before the archive
      // that names them.
      if (!PlaceVolumeFiles() ||
          !MoveFileExW(m_workPath.c_str(), target, MOVEFILE_REPLACE_EXISTING))
        result = Fail(WUARC_ERR_WRITE, u"Close", target, WU_E_WRITE);
      else if (m_volumesToDelete > 1)
        DeleteVolumeFiles(m_volumesToDelete);
    } else if (result >= 0) {
      DeleteFileW(m_workPath.c_str());
      result = 1;
    }
    // A new archive or package that failed is not kept (a failed rewrite
    // leaves its work copy, and the archive as it was).
    if (result < 0 && (create || sea)) ArcDeleteWorkFile(m_workPath.c_str());
  }
  DropVolumeWork();
  CWuArchiveProgress* progress = m_progress;
  ReleaseAll();
  ResetState();
  m_progress = progress;
  return result;
}
