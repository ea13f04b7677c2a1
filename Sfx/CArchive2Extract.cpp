// CArchive2: sizes, space checks, extraction and the overwrite question.
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

namespace {


// The root of a path's drive, for error details: "X:\", "/" or empty.
void RootOf(LPCWSTR path, WCHAR* root, int size) {
  root[0] = 0;
  if (!path) return;
  if (path[0] && path[1] == u':')
    ArcAppend(root, size, path, ArcIsSeparator(path[2]) ? 3 : 2);
  else if (ArcIsSeparator(path[0]))
    ArcAppend(root, size, path, 1);
}

FILETIME ToFileTime(ULONGLONG value) {
  return FILETIME{static_cast<DWORD>(value), static_cast<DWORD>(value >> 32)};
}

// a + b, held at the largest value instead of wrapping around: recorded
// sizes come from the archive, and a sum that wraps would pass the space
// check.
ULONGLONG AddSizes(ULONGLONG a, ULONGLONG b) {
  ULONGLONG sum;
  return __builtin_add_overflow(a, b, &sum) ? ~0ULL : sum;
}

// True when the name read from the directory is the whole stored name: not
// cut to the name buffer and free of NUL units, which would both make the
// target differ from the name that the entry carries.
bool IsWholeName(const tARCENTRY& e) {
  return platform::WStrLen(e.name) == e.record.nameLength;
}

}  // namespace

// ===========================================================================
// Buffers
// ===========================================================================

bool CArchive2::EnsureBuffers() {
  if (!m_block) m_block = static_cast<BYTE*>(WuGlobalNew(kArchiveBlockSize + 4));
  if (!m_zout) m_zout = static_cast<BYTE*>(WuGlobalNew(kArchiveZOutSize));
  return m_block && m_zout;
}

bool CArchive2::EnsureInflater() {
  if (m_inflater) return inflateReset(m_inflater) == Z_OK;
  auto* z = static_cast<z_stream*>(WuGlobalNew(sizeof(z_stream)));
  if (!z) return false;
  if (inflateInit2(z, -MAX_WBITS) != Z_OK) {
    WuGlobalDelete(z);
    return false;
  }
  m_inflater = z;
  return true;
}

// ===========================================================================
// Sizes and space
// ===========================================================================

HRESULT CArchive2::FailNoSpace(LPCWSTR operation, LPCWSTR folder) {
  WCHAR root[8];
  RootOf(folder, root, 8);
  return Fail(WUARC_ERR_DISK_SPACE, operation, root, WU_E_NO_SPACE);
}

HRESULT CArchive2::GetSizeExtractAll(ULONGLONG& size) {
  size = 0;
  if (!IsOpen() || !m_endValid) return Fail(WUARC_ERR_NOT_OPEN, u"GetSizeExtractAll", nullptr, E_FAIL);
  if (!m_totalKnown) {
    ULONGLONG total = 0;
    tARCENTRY e;
    HRESULT hr;
    for (hr = FindFirst(&e); hr == 0; hr = FindNext(&e))
      total = AddSizes(total, e.record.facts.size);
    if (FAILED(hr)) return hr;  // a damaged directory (reported by the walk)
    m_totalSize = total;
    m_totalKnown = TRUE;
  }
  size = m_totalSize;
  return 0;
}

HRESULT CArchive2::SizeOfMatches(LPCWSTR pattern, ULONGLONG* size) {
  *size = 0;
  tARCPATTERN p;
  if (!ArcParsePattern(pattern, &p))
    return Fail(WUARC_ERR_BUFFER, u"Pattern", pattern, WU_E_BUFFER_TOO_SMALL);
  tARCENTRY e;
  HRESULT hr;
  for (hr = FindFirst(&e); hr == 0; hr = FindNext(&e)) {
    if (!ArcPatternMatches(p, e.name)) continue;
    *size = AddSizes(*size, e.record.facts.size);
    if (p.kind == ArcPatternKind::kExact) break;
  }
  return FAILED(hr) ? hr : 0;
}

HRESULT CArchive2::SizeOfRange(LONG first, LONG count, ULONGLONG* size) {
  *size = 0;
  tARCENTRY e;
  for (LONG i = first; i >= 0 && i - first < count && EntryByIndex(i, &e); ++i)
    *size = AddSizes(*size, e.record.facts.size);
  return 0;
}

HRESULT CArchive2::GetSizeExtractEntry(LPCWSTR pattern, ULONGLONG& size, DWORD) {
  size = 0;
  if (!IsOpen() || !m_endValid) return Fail(WUARC_ERR_NOT_OPEN, u"GetSizeExtractEntry", nullptr, E_FAIL);
  return SizeOfMatches(pattern, &size);
}

HRESULT CArchive2::GetSizeExtractEntry(LONG first, LONG* count, ULONGLONG& size, DWORD) {
  size = 0;
  if (!IsOpen() || !m_endValid) return Fail(WUARC_ERR_NOT_OPEN, u"GetSizeExtractEntry", nullptr, E_FAIL);
  return SizeOfRange(first, count && *count >= 1 ? *count : 1, &size);
}

// 1 when `need` bytes do not fit on the folder's volume, 0 when they do.
HRESULT CArchive2::SpaceCheck(ULONGLONG need, LPCWSTR folder, HRESULT missingCode,
                              HRESULT missingResult) {
  if (!folder || !WuIsDirectory(folder)) {
    WCHAR root[8];
    RootOf(folder, root, 8);
    return Fail(missingCode, u"IsSpace", root[0] ? root : folder, missingResult);
  }
  ULONGLONG free_units = 0;
  if (!ArcFreeUnits(folder, &free_units)) return E_FAIL;
  return ArcIsShort(need, free_units) ? 1 : 0;
}

HRESULT CArchive2::IsSpaceForExtractAll(LPCWSTR folder, DWORD) {
  ULONGLONG need = 0;
  HRESULT hr = GetSizeExtractAll(need);
  if (FAILED(hr)) return hr;
  return SpaceCheck(need, folder, WUARC_ERR_DISK_SPACE, WU_E_BAD_FILE_NAME);
}

HRESULT CArchive2::IsSpaceForExtractEntry(LPCWSTR pattern, LPCWSTR folder, DWORD flags) {
  ULONGLONG need = 0;
  HRESULT hr = GetSizeExtractEntry(pattern, need, flags);
  if (FAILED(hr)) return hr;
  return SpaceCheck(need, folder, WUARC_ERR_INVALID_ARG, E_INVALIDARG);
}

HRESULT CArchive2::IsSpaceForExtractEntry(LONG first, LONG* count, LPCWSTR folder, DWORD flags) {
  ULONGLONG need = 0;
  HRESULT hr = GetSizeExtractEntry(first, count, need, flags);
  if (FAILED(hr)) return hr;
  return SpaceCheck(need, folder, WUARC_ERR_INVALID_ARG, E_INVALIDARG);
}

// ===========================================================================
// Extraction
// ===========================================================================

HRESULT CArchive2::CheckVolumesPresent() {
  for (DWORD n = 2; n <= m_volumeCount; ++n) {
    WCHAR volume[kArchivePathUnits];
    if (!VolumePath(n, volume, kArchivePathUnits) || !ArcFileExists(volume))
      return Fail(WUARC_ERR_VOLUME_MISSING, u"ExtractAll", volume, WU_E_BAD_DATA);
  }
  return 0;
}

HRESULT CArchive2::ExtractAll(LPCWSTR folder, DWORD flags) {
  if (!IsOpen() || m_mode == WUARC_MODE_CREATE || !m_endValid) return E_FAIL;
  ULONGLONG need = 0;
  HRESULT hr = GetSizeExtractAll(need);
  if (FAILED(hr)) return hr;
  hr = IsSpaceForExtractAll(folder, flags);
  if (hr != 0) return FailNoSpace(u"ExtractAll", folder);
  hr = CheckVolumesPresent();
  if (FAILED(hr)) return hr;
  m_extractFlags = flags;
  m_madeFolder[0] = 0;
  BeginItem(m_path, m_totalSize, false);
  HRESULT result = 0;
  tARCENTRY e;
  for (hr = FindFirst(&e); hr == 0; hr = FindNext(&e)) {
    if (m_stop && m_stop->load()) {
      result = WUARC_ANSWER_CANCEL;
      break;
    }
    HRESULT one = ExtractOne(e, folder, flags);
    if (FAILED(one)) {
      result = one;
      break;
    }
  }
  if (FAILED(hr)) result = hr;
  Status(WUARC_STATUS_FINISHED);
  return result;
}

HRESULT CArchive2::ExtractEntry(LPCWSTR pattern, LPCWSTR folder, DWORD flags) {
  if (!IsOpen() || m_mode == WUARC_MODE_CREATE || !m_endValid) return E_FAIL;
  tARCPATTERN p;
  if (!ArcParsePattern(pattern, &p))
    return Fail(WUARC_ERR_BUFFER, u"ExtractEntry", pattern, WU_E_BUFFER_TOO_SMALL);
  ULONGLONG need = 0;
  HRESULT hr = SizeOfMatches(pattern, &need);
  if (FAILED(hr)) return hr;
  hr = IsSpaceForExtractEntry(pattern, folder, flags);
  if (hr != 0) return FailNoSpace(u"ExtractEntry", folder);
  hr = CheckVolumesPresent();
  if (FAILED(hr)) return hr;
  m_extractFlags = flags;
  m_madeFolder[0] = 0;
  BeginItem(pattern, need, (flags & WUARC_EXTRACT_NAME_ONLY) != 0);
  bool matched = false;
  HRESULT result = 0;
  tARCENTRY e;
  for (hr = FindFirst(&e); hr == 0; hr = FindNext(&e)) {
    if (!ArcPatternMatches(p, e.name)) continue;
    matched = true;
    result = ExtractOne(e, folder, flags);
    if (FAILED(result) || p.kind == ArcPatternKind::kExact) break;
  }
  if (FAILED(hr)) result = hr;
  Status(WUARC_STATUS_FINISHED);
  if (FAILED(result)) return result;
  return matched ? 0 : 1;
}

HRESULT CArchive2::ExtractEntry(LONG first, LONG* count, LPCWSTR folder, DWORD flags) {
  if (!IsOpen() || m_mode == WUARC_MODE_CREATE || !m_endValid) return E_FAIL;
  LONG n = count && *count >= 1 ? *count : 1;
  HRESULT hr = BuildOffsetTable();
  if (FAILED(hr)) return hr;
  hr = IsSpaceForExtractEntry(first, &n, folder, flags);
  if (hr != 0) return FailNoSpace(u"ExtractEntry", folder);
  hr = CheckVolumesPresent();
  if (FAILED(hr)) return hr;
  ULONGLONG need = 0;
  SizeOfRange(first, n, &need);
  m_extractFlags = flags;
  m_madeFolder[0] = 0;
  BeginItem(m_path, need, (flags & WUARC_EXTRACT_NAME_ONLY) != 0);
  bool any = false;
  HRESULT result = 0;
  tARCENTRY e;
  for (LONG i = first; i >= 0 && i - first < n && EntryByIndex(i, &e); ++i) {
    any = true;
    result = ExtractOne(e, folder, flags);
    if (FAILED(result)) break;
  }
  Status(WUARC_STATUS_FINISHED);
  if (FAILED(result)) return result;
  return any ? 0 : 1;
}

HRESULT CArchive2::ExtractOne(const tARCENTRY& entry, LPCWSTR folder, DWORD flags) {
  if (IsFolderEntry(entry))
    return (flags & WUARC_EXTRACT_FLAT) ? 0 : ExtractFolderEntry(entry, folder, flags);
  return ExtractFileEntry(entry, folder, flags);
}

HRESULT CArchive2::ExtractFolderEntry(const tARCENTRY& entry, LPCWSTR folder, DWORD) {
  if (!IsWholeName(entry) || !ArcIsSafeRelativeName(entry.name, true))
    return Fail(WUARC_ERR_INVALID_ARG, entry.name, nullptr, WU_E_BAD_FILE_NAME);
  return MakeParentFolders(folder, entry.name, true);
}

// Creates the folders of `relative` below `folder` (all of them with
// includeLast, else all but the last component). A component that exists as
// anything but a real folder (a symbolic link, a file) is refused, so no
// file is ever written outside the target tree.
HRESULT CArchive2::MakeParentFolders(LPCWSTR folder, LPCWSTR relative, bool includeLast) {
  WCHAR path[kArchivePathUnits];
  if (!ArcJoin(path, kArchivePathUnits, folder, relative))
    return Fail(WUARC_ERR_CREATE, relative, nullptr, WU_E_BAD_FILE_NAME);
  ArcStripTrailingSeparators(path);
  int end = static_cast<int>(platform::WStrLen(path));
  if (!includeLast) end = ArcFolderPartLength(path) - 1;
  int folderLength = static_cast<int>(platform::WStrLen(folder));
  if (end <= folderLength) return 0;
  path[end] = 0;
  if (lstrcmpW(path, m_madeFolder) == 0) return 0;
  for (int i = folderLength + 1; i <= end; ++i) {
    if (i < end && !ArcIsSeparator(path[i])) continue;
    WCHAR saved = path[i];
    path[i] = 0;
    DWORD a = GetFileAttributesW(path);
    if (a == INVALID_FILE_ATTRIBUTES) {
      if (!CreateDirectoryW(path, nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
        return Fail(WUARC_ERR_CREATE, path, nullptr, WU_E_CREATE_FILE);
      a = GetFileAttributesW(path);
    }
    if (a == INVALID_FILE_ATTRIBUTES || !(a & FILE_ATTRIBUTE_DIRECTORY) ||
        (a & FILE_ATTRIBUTE_REPARSE_POINT))
      return Fail(WUARC_ERR_CREATE, path, nullptr, WU_E_CREATE_FILE);
    path[i] = saved;
  }
  ArcCopy(m_madeFolder, kArchivePathUnits, path);
  return 0;
}

HRESULT CArchive2::ExtractFileEntry(const tARCENTRY& entry, LPCWSTR folder, DWORD flags) {
  const tUMENTRYFACTS& f = entry.record.facts;
  LPCWSTR relative = (flags & WUARC_EXTRACT_FLAT) ? ArcFileNamePart(entry.name) : entry.name;
  if (!IsWholeName(entry) || !ArcIsSafeRelativeName(relative, false))
    return Fail(WUARC_ERR_INVALID_ARG, entry.name, nullptr, WU_E_BAD_FILE_NAME);
  if (f.method != kUmMethodStored && f.method != kUmMethodDeflate) return E_NOTIMPL;
  WCHAR target[kArchivePathUnits];
  if (!ArcJoin(target, kArchivePathUnits, folder, relative))
    return Fail(WUARC_ERR_CREATE, entry.name, nullptr, WU_E_BAD_FILE_NAME);
  HRESULT hr = MakeParentFolders(folder, relative, false);
  if (FAILED(hr)) return hr;

  if (!EnsureBuffers()) return Fail(WUARC_ERR_MEMORY, entry.name, nullptr, E_OUTOFMEMORY);
  tARCSTREAM in{};
  if (f.storedSize > 0) {
    hr = OpenStream(UmDataOffset(entry.record), &in);
    if (FAILED(hr)) return hr;
  }
  HANDLE out = nullptr;
  std::u16string work;
  hr = CreateTarget(target, flags, &out, &work);
  if (hr != 0) {
    CloseStream(&in);
    return hr;
  }
  SetItem(entry.name);
  Status(WUARC_STATUS_EXTRACTING);
  DWORD readCrc = 0, writtenCrc = 0;
  hr = f.method == kUmMethodStored
           ? ExtractInternalNoCompression(entry, out, &in, &readCrc, &writtenCrc)
           : ExtractInternalZipCompression(entry, out, &in, &readCrc, &writtenCrc);
  CloseStream(&in);
  // A file that replaces another is put in place only when it is whole and
  // right: on any failure the old file stays as it was.
  bool damaged = SUCCEEDED(hr) && (writtenCrc != f.dataCrc || readCrc != f.storedCrc);
  if (!work.empty() && (FAILED(hr) || damaged)) {
    ArcCommitWorkFile(out, work.c_str(), target, false);
    return FAILED(hr) ? hr : Fail(WUARC_ERR_CRC, entry.name, nullptr, WU_E_BAD_DATA);
  }
  if (FAILED(hr)) {
    CloseHandle(out);
    return hr;
  }
  Status(WUARC_STATUS_ENTRY_DONE);
  FILETIME t = ToFileTime(f.fileTime);
  SetFileTime(out, &t, &t, &t);
  if (!work.empty()) {
    // The replaced file's read-only flag is cleared (as an overwrite in
    // place would), the new file takes its other permission bits.
    DWORD old = GetFileAttributesW(target);
    bool wasReadOnly = old != INVALID_FILE_ATTRIBUTES && (old & FILE_ATTRIBUTE_READONLY);
    if (wasReadOnly) SetFileAttributesW(target, FILE_ATTRIBUTE_NORMAL);
    if (!ArcCommitWorkFile(out, work.c_str(), target, true)) {
      if (wasReadOnly) SetFileAttributesW(target, FILE_ATTRIBUTE_READONLY);
      return Fail(WUARC_ERR_CREATE, target, nullptr, WU_E_CREATE_FILE);
    }
  } else {
    CloseHandle(out);
  }
  if (entry.record.attributes & FILE_ATTRIBUTE_READONLY)
    SetFileAttributesW(target, FILE_ATTRIBUTE_READONLY);
  if (damaged) return Fail(WUARC_ERR_CRC, entry.name, nullptr, WU_E_BAD_DATA);
  return 0;
}

// Creates the target file. A new name is created at once; an existing file
// is offered to the overwrite question first (0 overwrite, 1 skip, or the
// answer). Links, folders and devices in its place are refused, and the
// file is opened without following a link. An existing file is not
// touched yet: the new one is written to a private work file beside it
// (its path in `work`, else `work` is empty), which replaces it once whole.
HRESULT CArchive2::CreateTarget(LPCWSTR target, DWORD flags, HANDLE* out, std::u16string* work) {
  work->clear();
  *out = platform::CreateFileNoFollow(target, GENERIC_WRITE, 0, CREATE_NEW, FILE_ATTRIBUTE_NORMAL);
  if (*out != INVALID_HANDLE_VALUE) return 0;
  *out = nullptr;
  if (GetLastError() != ERROR_FILE_EXISTS)
    return Fail(WUARC_ERR_CREATE, target, nullptr, WU_E_CREATE_FILE);
  DWORD a = GetFileAttributesW(target);
  if (a == INVALID_FILE_ATTRIBUTES ||
      (a & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)))
    return Fail(WUARC_ERR_CREATE, target, nullptr, WU_E_CREATE_FILE);
  if (!(flags & WUARC_EXTRACT_NO_ASK) && m_progress) {
    HRESULT hr = (a & FILE_ATTRIBUTE_READONLY) ? AskOverwriteReadOnly(target) : AskOverwrite(target);
    if (hr != 0) return hr;
  }
  // A name that was free: the folder's other files (entries of this archive
  // among them) are never touched.
  HANDLE h = ArcCreateWorkFile(target, work);
  if (!h) return Fail(WUARC_ERR_CREATE, target, nullptr, WU_E_CREATE_FILE);
  *out = h;
  return 0;
}

HRESULT CArchive2::ExtractInternalNoCompression(const tARCENTRY& entry, HANDLE target,
                                                tARCSTREAM* in, DWORD* readCrc,
                                                DWORD* writtenCrc) {
  const tUMENTRYFACTS& f = entry.record.facts;
  if (f.storedSize != f.size) return Fail(WUARC_ERR_CRC, entry.name, nullptr, WU_E_BAD_DATA);
  uLong crc = crc32(0L, Z_NULL, 0);
  for (ULONGLONG remaining = f.size; remaining > 0;) {
    DWORD want = remaining < kArchiveBlockSize ? static_cast<DWORD>(remaining) : kArchiveBlockSize;
    DWORD got = 0;
    HRESULT hr = ReadStream(in, m_block, want, &got);
    if (FAILED(hr)) return hr;
    crc = crc32(crc, m_block, got);
    DWORD written = 0;
    if (!WriteFile(target, m_block, got, &written, nullptr) || written != got)
      return Fail(WUARC_ERR_WRITE, entry.name, nullptr, WU_E_WRITE);
    remaining -= got;
    AddBytes(got);
    if (Poll() == WUARC_ANSWER_CANCEL) return WUARC_ANSWER_CANCEL;
  }
  // What was written is exactly what was read.
  *readCrc = *writtenCrc = static_cast<DWORD>(crc);
  return 0;
}

// Raw inflate. The input ends with one extra zero byte (raw inflate may need
// it to finish); a stream that still does not end, that yields more than
// the recorded size, or that is followed by stray bytes is damaged.
HRESULT CArchive2::ExtractInternalZipCompression(const tARCENTRY& entry, HANDLE target,
                                                 tARCSTREAM* in, DWORD* readCrc,
                                                 DWORD* writtenCrc) {
  const tUMENTRYFACTS& f = entry.record.facts;
  uLong rcrc = crc32(0L, Z_NULL, 0);
  uLong wcrc = rcrc;
  ULONGLONG written = 0;
  if (f.storedSize > 0) {
    if (!EnsureInflater()) return Fail(WUARC_ERR_MEMORY, entry.name, nullptr, E_OUTOFMEMORY);
    z_stream* z = m_inflater;
    z->avail_in = 0;
    ULONGLONG remaining = f.storedSize;
    bool zeroOffered = false;
    bool outputFull = false;
    for (;;) {
      if (z->avail_in == 0 && !outputFull) {
        if (remaining > 0) {
          DWORD want = remaining < kArchiveBlockSize ? static_cast<DWORD>(remaining)
                                                     : kArchiveBlockSize;
          DWORD got = 0;
          HRESULT hr = ReadStream(in, m_block, want, &got);
          if (FAILED(hr)) return hr;
          rcrc = crc32(rcrc, m_block, got);
          remaining -= got;
          z->next_in = m_block;
          z->avail_in = got;
        } else if (!zeroOffered) {
          m_block[0] = 0;
          z->next_in = m_block;
          z->avail_in = 1;
          zeroOffered = true;
        } else {
          return Fail(WUARC_ERR_CRC, entry.name, nullptr, WU_E_BAD_DATA);  // never ends
        }
      }
      z->next_out = m_zout;
      z->avail_out = kArchiveZOutSize;
      int ret = inflate(z, Z_NO_FLUSH);
      // The decompressor's own failures (damaged data included) are
      // decompressor failures. No progress (Z_BUF_ERROR) is not one: the
      // input runs out above, and a stream that never ends is damaged data.
      if (ret != Z_OK && ret != Z_STREAM_END && ret != Z_BUF_ERROR)
        return Fail(WUARC_ERR_WRITE, entry.name, nullptr, WU_E_WRITE);
      outputFull = z->avail_out == 0;
      DWORD produced = kArchiveZOutSize - z->avail_out;
      if (produced > 0) {
        if (produced > f.size - written)
          return Fail(WUARC_ERR_CRC, entry.name, nullptr, WU_E_BAD_DATA);  // longer than recorded
        DWORD n = 0;
        if (!WriteFile(target, m_zout, produced, &n, nullptr) || n != produced)
          return Fail(WUARC_ERR_WRITE, entry.name, nullptr, WU_E_WRITE);
        wcrc = crc32(wcrc, m_zout, produced);
        written += produced;
        AddBytes(produced);
        if (Poll() == WUARC_ANSWER_CANCEL) return WUARC_ANSWER_CANCEL;
      }
      if (ret == Z_STREAM_END) break;
    }
    if (remaining > 0 || (z->avail_in > 0 && !zeroOffered))
      return Fail(WUARC_ERR_CRC, entry.name, nullptr, WU_E_BAD_DATA);  // stray bytes after the stream
  }
  if (written != f.size) return Fail(WUARC_ERR_CRC, entry.name, nullptr, WU_E_BAD_DATA);
  *readCrc = static_cast<DWORD>(rcrc);
  *writtenCrc = static_cast<DWORD>(wcrc);
  return 0;
}

// ===========================================================================
// The data stream across volumes
// ===========================================================================

HRESULT CArchive2::OpenStream(ULONGLONG archiveOffset, tARCSTREAM* s) {
  *s = {};
  ULONGLONG dirOffset = m_end.dirOffset;
  if (archiveOffset < dirOffset) {
    *s = {m_archive, 1, m_base + archiveOffset, dirOffset - archiveOffset};
    return 0;
  }
  ULONGLONG rest = archiveOffset - dirOffset;
  for (DWORD n = 2; n <= m_volumeCount; ++n) {
    WCHAR volume[kArchivePathUnits];
    ULONGLONG size = 0;
    if (!VolumePath(n, volume, kArchivePathUnits) || !ArcPathSize(volume, &size)) {
      return Fail(WUARC_ERR_VOLUME_MISSING, u"ExtractCentralDirectoryFile", volume,
                  WU_E_BAD_FILE_NAME);
    }
    if (rest < size) {
      HANDLE h = CreateFileW(volume, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
      if (h == INVALID_HANDLE_VALUE)
        return Fail(WUARC_ERR_VOLUME_MISSING, u"ExtractCentralDirectoryFile", volume,
                    WU_E_BAD_FILE_NAME);
      *s = {h, n, rest, size - rest};
      return 0;
    }
    rest -= size;
  }
  return Fail(WUARC_ERR_READ, u"ExtractCentralDirectoryFile", m_path, WU_E_READ);
}

// Reads up to `want` bytes (at least one), crossing into the next volume
// file when the current one is used up.
HRESULT CArchive2::ReadStream(tARCSTREAM* s, BYTE* buffer, DWORD want, DWORD* got) {
  *got = 0;
  while (s->left == 0) {
    if (!s->file || s->volume >= m_volumeCount)
      return Fail(WUARC_ERR_READ, u"Read", m_path, WU_E_READ);
    CloseStream(s);
    DWORD next = s->volume + 1;
    WCHAR volume[kArchivePathUnits];
    ULONGLONG size = 0;
    HANDLE h = nullptr;
    if (VolumePath(next, volume, kArchivePathUnits) && ArcPathSize(volume, &size))
      h = CreateFileW(volume, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                      FILE_ATTRIBUTE_NORMAL, nullptr);
    if (!h || h == INVALID_HANDLE_VALUE)
      return Fail(WUARC_ERR_OPEN, volume, nullptr, WU_E_BAD_FILE_NAME);
    *s = {h, next, 0, size};
  }
  DWORD n = s->left < want ? static_cast<DWORD>(s->left) : want;
  DWORD read = 0;
  if (!ArcReadAt(s->file, s->filePos, buffer, n, &read) || read == 0)
    return Fail(WUARC_ERR_READ, u"Read", m_path, WU_E_READ);
  s->filePos += read;
  s->left -= read;
  *got = read;
  return 0;
}

void CArchive2::CloseStream(tARCSTREAM* s) {
  if (s->file && s->file != m_archive) CloseHandle(s->file);
  s->file = nullptr;
}

// ===========================================================================
// The overwrite question
// ===========================================================================

HRESULT CArchive2::AskOverwrite(LPCWSTR target) {
  return AskOverwriteKind(target, &m_allDecision, WUARC_STATUS_ASK);
}

HRESULT CArchive2::AskOverwriteReadOnly(LPCWSTR target) {
  return AskOverwriteKind(target, &m_allDecisionReadOnly, WUARC_STATUS_ASK_READONLY);
}

// 0 overwrite, 1 skip, or the answer as given (a cancel code).
HRESULT CArchive2::AskOverwriteKind(LPCWSTR target, HRESULT* remembered, HRESULT askCode) {
  SetItem(target);
  if (*remembered == WUARC_ANSWER_YES_ALL) {
    Status(WUARC_STATUS_OVERWRITTEN);
    return 0;
  }
  if (*remembered == WUARC_ANSWER_NO_ALL) {
    Status(WUARC_STATUS_SKIPPED);
    return 1;
  }
  Status(askCode);
  HRESULT answer = m_progress ? m_progress->WaitForAnswer() : WUARC_ANSWER_NONE;
  switch (answer) {
    case WUARC_ANSWER_YES_ALL:
      *remembered = answer;
      [[fallthrough]];
    case WUARC_ANSWER_YES:
      Status(WUARC_STATUS_OVERWRITTEN);
      return 0;
    case WUARC_ANSWER_NO_ALL:
      *remembered = answer;
      [[fallthrough]];
    case WUARC_ANSWER_NO:
      Status(WUARC_STATUS_SKIPPED);
      return 1;
    default:
      return answer;
  }
}
