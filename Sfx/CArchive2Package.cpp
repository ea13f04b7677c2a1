// CArchive2: self-extracting packages, volumes, comments and validation.
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

// Name of the stub file that SplitSEA writes.
constexpr WCHAR kStubFileName[] = u"Seastub.exe";

int Length(LPCWSTR text) { return static_cast<int>(platform::WStrLen(text)); }

HANDLE OpenRead(LPCWSTR path) {
  HANDLE h = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  return h == INVALID_HANDLE_VALUE ? nullptr : h;
}

void FolderOf(LPCWSTR path, WCHAR* folder) {
  ArcCopy(folder, kArchivePathUnits, path);
  folder[ArcFolderPartLength(folder)] = 0;
}

}  // namespace

// ===========================================================================
// Self-extracting packages
// ===========================================================================

HRESULT CArchive2::GetSizeCreateSEA(LPCWSTR stub, ULONGLONG& size) {
  size = 0;
  ULONGLONG stubSize = 0;
  if (!ArcPathSize(stub, &stubSize))
    return Fail(WUARC_ERR_OPEN, u"GetSizeCreateSEA", stub, WU_E_CREATE_FILE);
  LONGLONG archive = GetArchiveSize();
  // A package as source contributes its archive, not its own stub.
  ULONGLONG archiveBytes = archive > 0 ? static_cast<ULONGLONG>(archive) - m_base : 0;
  size = stubSize + archiveBytes;
  return 0;
}

HRESULT CArchive2::IsSpaceForCreateSEA(LPCWSTR output, LPCWSTR stub) {
  if (!IsOpen() || m_mode != WUARC_MODE_SEA) return E_FAIL;
  WCHAR full[kArchivePathUnits], folder[kArchivePathUnits];
  if (!ArcFullPath(output, full, kArchivePathUnits)) return E_INVALIDARG;
  FolderOf(full, folder);
  if (!WuIsDirectory(folder))
    return Fail(WUARC_ERR_NO_FILE, u"IsSpaceForSEA", folder, WU_E_BAD_FILE_NAME);
  ULONGLONG need = 0;
  HRESULT hr = GetSizeCreateSEA(stub, need);
  if (FAILED(hr)) return hr;
  ULONGLONG free_units = 0;
  if (!ArcFreeUnits(folder, &free_units)) return E_FAIL;
  return ArcIsShort(need, free_units) ? 1 : 0;
}

// Writes the stub, then the source's archive (from its own base, so a
// package may serve as source too), then an end record whose base is the
// stub's size. Volume files are copied by Close.
HRESULT CArchive2::CreateSEA(LPCWSTR output, LPCWSTR stub, DWORD flags) {
  if (!IsOpen() || m_mode != WUARC_MODE_SEA || m_output) return E_FAIL;
  WCHAR outPath[kArchivePathUnits], stubPath[kArchivePathUnits];
  if (!ArcFullPath(output, outPath, kArchivePathUnits) ||
      !ArcFullPath(stub, stubPath, kArchivePathUnits))
    return Fail(WUARC_ERR_INVALID_ARG, u"CreateSEA", output, E_INVALIDARG);
  // Creating the output must never destroy one of the inputs, also not
  // through a link at the output's name.
  std::u16string outFile, stubFile;
  if (!ArcReplacedFile(outPath, &outFile) || !ArcReplacedFile(stubPath, &stubFile) ||
      lstrcmpW(outPath, m_path) == 0 || lstrcmpW(outPath, stubPath) == 0 || outFile == stubFile ||
      lstrcmpW(outFile.c_str(), m_path) == 0)
    return Fail(WUARC_ERR_INVALID_ARG, u"CreateSEA", outPath, E_INVALIDARG);
  HRESULT hr = IsSpaceForCreateSEA(outPath, stubPath);
  if (hr != 0) return Fail(WUARC_ERR_DISK_SPACE, u"CreateSEA", outPath, WU_E_NO_SPACE);

  HANDLE stubIn = OpenRead(stubPath);
  ULONGLONG newBase = 0;
  if (!stubIn || !ArcFileSize(stubIn, &newBase)) {
    if (stubIn) CloseHandle(stubIn);
    return Fail(WUARC_ERR_OPEN, u"CreateSEA", stubPath, WU_E_CREATE_FILE);
  }
  // The package is written as a work copy beside the file the output names
  // (a link's target), which Close puts in its place: an existing output
  // stays whole until then.
  m_output = ArcCreateWorkFile(outFile.c_str(), &m_workPath);
  if (!m_output) {
    CloseHandle(stubIn);
    return Fail(WUARC_ERR_CREATE, outPath, nullptr, WU_E_CREATE_FILE);
  }
  m_replacePath = outFile;
  ArcCopy(m_outputPath, kArchivePathUnits, outPath);
  bool nameOnly = (flags & WUARC_COPY_NAME_ONLY) != 0;

  BeginItem(u"Stub Executable", newBase, nameOnly);
  hr = BlockCopy(stubIn, 0, m_output, 0, newBase);
  CloseHandle(stubIn);
  if (SUCCEEDED(hr)) {
    Status(WUARC_STATUS_FINISHED);
    ULONGLONG archiveBytes = m_end.dirOffset + m_end.dirSize;
    BeginItem(u"Archive Entries", m_end.dirOffset, nameOnly);
    hr = BlockCopy(m_archive, m_base, m_output, newBase, archiveBytes);
    if (SUCCEEDED(hr)) {
      Status(WUARC_STATUS_FINISHED);
      // The stored name is the source's full path (its file name when the
      // path is too long): volume names are made from it.
      WCHAR name[kUmNameUnits];
      LPCWSTR source = PackageStoredName();
      if (!ArcCopy(name, kUmNameUnits, source)) ArcCopy(name, kUmNameUnits, ArcFileNamePart(source));
      tUMENDRECORD e = m_end;
      e.baseOffset = newBase;
      e.commentLength = static_cast<DWORD>(Length(m_comment));
      e.nameLength = static_cast<DWORD>(Length(name));
      e.thirdLength = 0;
      hr = WriteEndRecordTo(m_output, newBase + archiveBytes, e, m_comment, name);
      if (FAILED(hr)) hr = Fail(WUARC_ERR_WRITE, u"CreateSEA", outPath, WU_E_WRITE);
    }
  }
  if (FAILED(hr)) {
    // No half-built package is left behind.
    CloseHandle(m_output);
    m_output = nullptr;
    ArcDeleteWorkFile(m_workPath.c_str());
    m_workPath.clear();
    m_replacePath.clear();
    m_outputPath[0] = 0;
    return hr == WUARC_ANSWER_CANCEL ? hr : WU_E_WRITE;
  }
  return 0;
}

// The name a new package stores: the source's path, or for a source that is
// a package itself the name it stores (the stem of its volume files).
LPCWSTR CArchive2::PackageStoredName() const {
  return m_base > 0 && m_archiveName[0] ? m_archiveName : m_path;
}

// Close of mode 4: volume files 2..N of the source go beside the package.
HRESULT CArchive2::CopySEAMultiFiles() {
  if (m_volumeCount <= 1) return 0;
  BeginItem(u"Entries", 0, true);
  for (DWORD n = 2; n <= m_volumeCount; ++n) {
    WCHAR source[kArchivePathUnits], target[kArchivePathUnits];
    if (!VolumePath(n, source, kArchivePathUnits) ||
        !ArcVolumeName(target, kArchivePathUnits, m_outputPath, PackageStoredName(), n))
      return Fail(WUARC_ERR_VOLUME_MISSING, u"CopySEAMultiFiles", source, WU_E_FILE_EXISTS);
    if (ArcFileExists(target)) continue;  // already there: left alone
    ULONGLONG size = 0;
    if (!ArcPathSize(source, &size))
      return Fail(WUARC_ERR_VOLUME_MISSING, u"CopySEAMultiFiles", source, WU_E_FILE_EXISTS);
    if (size == 0) return Fail(WUARC_ERR_COPY, u"CopySEAMultiFiles", source, WU_E_BAD_DATA);
    if (!CopyFileW(source, target, TRUE))
      return Fail(WUARC_ERR_WRITE, u"CopySEAMultiFiles", target, WU_E_WRITE);
    AddBytes(size);
    Status(WUARC_STATUS_COPYING);
  }
  Status(WUARC_STATUS_FINISHED);
  return 0;
}

// Writes the stub and the archive of an open package as two files in a folder.
HRESULT CArchive2::SplitSEA(LPCWSTR folder, DWORD flags) {
  if (!IsOpen() || !m_endValid || m_mode == WUARC_MODE_CREATE) return E_FAIL;
  if (m_base == 0) return Fail(WUARC_ERR_OPEN, u"SplitSEA", m_path, WU_E_OPEN_FILE);
  ULONGLONG packageSize = 0, free_units = 0;
  ArcFileSize(m_archive, &packageSize);
  if (!folder || !WuIsDirectory(folder) || !ArcFreeUnits(folder, &free_units))
    return Fail(WUARC_ERR_INVALID_ARG, u"SplitSEA", folder, E_INVALIDARG);
  if (ArcIsShort(packageSize, free_units))
    return Fail(WUARC_ERR_DISK_SPACE, u"SplitSEA", folder, WU_E_NO_SPACE);
  bool ask = !(flags & WUARC_SPLIT_NO_ASK);

  WCHAR stubPath[kArchivePathUnits];
  if (!ArcJoin(stubPath, kArchivePathUnits, folder, kStubFileName))
    return Fail(WUARC_ERR_INVALID_ARG, u"SplitSEA", folder, E_INVALIDARG);
  // Each file is written as a work copy that replaces an existing one (the
  // file a link of that name points to) only once it is whole.
  std::u16string work, file;
  if (!(ask && ArcFileExists(stubPath) && AskOverwrite(stubPath) != 0)) {
    HANDLE h = ArcCreateWorkFileFor(stubPath, false, &file, &work);
    if (!h) return Fail(WUARC_ERR_CREATE, stubPath, nullptr, WU_E_CREATE_FILE);
    HRESULT hr = BlockCopy(m_archive, 0, h, 0, m_base);
    if (!ArcCommitWorkFile(h, work.c_str(), file.c_str(), SUCCEEDED(hr)))
      return FAILED(hr) ? hr : Fail(WUARC_ERR_WRITE, stubPath, nullptr, WU_E_WRITE);
  }

  // The archive keeps its stored file name; a package without one is named
  // after itself with the extension ".ach".
  WCHAR name[kArchivePathUnits];
  ArcCopy(name, kArchivePathUnits, ArcFileNamePart(m_archiveName));
  if (!name[0]) {
    ArcCopy(name, kArchivePathUnits, ArcFileNamePart(m_path));
    WCHAR* dot = nullptr;
    for (WCHAR* p = name; *p; ++p)
      if (*p == u'.') dot = p;
    if (dot) *dot = 0;
    ArcAppend(name, kArchivePathUnits, u".ach");
  }
  WCHAR archivePath[kArchivePathUnits];
  if (!ArcJoin(archivePath, kArchivePathUnits, folder, name))
    return Fail(WUARC_ERR_INVALID_ARG, u"SplitSEA", folder, E_INVALIDARG);
  if (ask && ArcFileExists(archivePath) && AskOverwrite(archivePath) != 0) return 0;
  HANDLE h = ArcCreateWorkFileFor(archivePath, false, &file, &work);
  if (!h) return Fail(WUARC_ERR_CREATE, archivePath, nullptr, WU_E_CREATE_FILE);
  ULONGLONG archiveBytes = m_end.dirOffset + m_end.dirSize;
  HRESULT hr = BlockCopy(m_archive, m_base, h, 0, archiveBytes);
  if (SUCCEEDED(hr)) {
    tUMENDRECORD e = m_end;
    e.baseOffset = 0;
    LPCWSTR storedName = m_volumeCount > 1 ? m_archiveName : u"";
    e.commentLength = static_cast<DWORD>(Length(m_comment));
    e.nameLength = static_cast<DWORD>(Length(storedName));
    e.thirdLength = 0;
    hr = WriteEndRecordTo(h, archiveBytes, e, m_comment, storedName);
    if (FAILED(hr)) hr = Fail(WUARC_ERR_WRITE, archivePath, nullptr, WU_E_WRITE);
  }
  if (!ArcCommitWorkFile(h, work.c_str(), file.c_str(), SUCCEEDED(hr)))
    return FAILED(hr) ? hr : Fail(WUARC_ERR_WRITE, archivePath, nullptr, WU_E_WRITE);
  return 0;
}

// ===========================================================================
// Volumes
// ===========================================================================

HRESULT CArchive2::DeleteVolumeFiles(DWORD count) {
  for (DWORD n = 2; n <= count; ++n) {
    WCHAR volume[kArchivePathUnits];
    if (ArcVolumeName(volume, kArchivePathUnits, m_path, m_oldArchiveName, n)) DeleteFileW(volume);
  }
  return 0;
}

// Puts the new volume files of a split in place; false when one cannot be.
bool CArchive2::PlaceVolumeFiles() {
  for (VolumeWork& v : m_volumeWork) {
    if (!MoveFileExW(v.work.c_str(), v.target.c_str(), MOVEFILE_REPLACE_EXISTING)) return false;
    v.work.clear();
  }
  return true;
}

// Removes the new volume files of a split that were not put in place.
void CArchive2::DropVolumeWork() {
  for (const VolumeWork& v : m_volumeWork)
    if (!v.work.empty()) ArcDeleteWorkFile(v.work.c_str());
  m_volumeWork.clear();
}

// Keeps the first share of the entry data (and the whole directory) in the
// archive and writes the rest into volume files 2..N of volumeSize bytes.
// Each volume is written as a private work file beside its name, which
// Close puts in place (replacing a file of that name, as of an earlier
// split) together with the archive. A failure removes the volume work files
// made so far; the archive and any file at a volume's name stay as they were.
HRESULT CArchive2::SplitArchive(LONGLONG volumeSize, DWORD flags) {
  if (!IsOpen() || m_mode != WUARC_MODE_VOLUMES) return E_FAIL;
  if (m_volumeCount > 1) return E_FAIL;
  ULONGLONG data = m_end.dirOffset;
  if (volumeSize <= 0) return Fail(WUARC_ERR_INVALID_ARG, u"SplitArchive", m_path, E_INVALIDARG);
  if (data == 0) return 0;
  ULONGLONG v = static_cast<ULONGLONG>(volumeSize);
  if (v > data) return Fail(WUARC_ERR_INVALID_ARG, u"SplitArchive", m_path, E_INVALIDARG);
  WCHAR folder[kArchivePathUnits];
  FolderOf(m_path, folder);
  ULONGLONG free_units = 0;
  if (!ArcFreeUnits(folder, &free_units) || ArcIsShort(data, free_units))
    return Fail(WUARC_ERR_DISK_SPACE, u"SplitArchive", folder, WU_E_NO_SPACE);
  bool nameOnly = (flags & WUARC_COPY_NAME_ONLY) != 0;
  BeginItem(m_path, v, nameOnly);

  // Volume names follow the reading rule: beside the archive, from the
  // stored name that the new end record will carry.
  LPCWSTR stem = m_base > 0 && m_archiveName[0] ? m_archiveName : m_path;
  WCHAR newName[kUmNameUnits];
  if (!ArcCopy(newName, kUmNameUnits, ArcFileNamePart(stem)))
    return Fail(WUARC_ERR_INVALID_ARG, u"SplitArchive", stem, E_INVALIDARG);
  ULONGLONG tail = kUmEndRecordSize + m_base + m_end.dirSize +
                   2ULL * (Length(m_comment) + Length(newName));
  ULONGLONG first = v > tail ? v - tail : 0;
  HRESULT hr = BlockCopy(m_archive, m_base, m_output, m_base, first);
  if (FAILED(hr)) return hr;

  DWORD n = 1;
  for (ULONGLONG pos = first; pos < data && SUCCEEDED(hr);) {
    ++n;
    // A volume holds the archive's data, so it gets the archive's
    // permission bits once written (until then only its owner may read it).
    // What could never be replaced (a folder, a read-only file) is refused
    // now.
    WCHAR volume[kArchivePathUnits];
    VolumeWork made;
    HANDLE h = ArcVolumeName(volume, kArchivePathUnits, m_path, newName, n)
                   ? ArcCreateWorkFileFor(volume, true, &made.target, &made.work)
                   : nullptr;
    if (h) m_volumeWork.push_back(made);
    if (!h) {
      hr = Fail(WUARC_ERR_CREATE, volume, nullptr, WU_E_CREATE_FILE);
      --n;
      break;
    }
    ULONGLONG chunk = data - pos < v ? data - pos : v;
    BeginItem(volume, chunk, nameOnly);
    hr = BlockCopy(m_archive, m_base + pos, h, 0, chunk);
    if (SUCCEEDED(hr) && !platform::SetFileModeLike(h, m_replacePath.c_str()))
      hr = Fail(WUARC_ERR_WRITE, volume, nullptr, WU_E_WRITE);
    CloseHandle(h);
    if (SUCCEEDED(hr)) Status(WUARC_STATUS_FINISHED);
    pos += chunk;
  }
  if (SUCCEEDED(hr))
    hr = BlockCopy(m_archive, m_base + data, m_output, m_base + first, m_end.dirSize);
  if (SUCCEEDED(hr)) {
    m_volumeCount = n;
    m_writePos = first + m_end.dirSize;
    m_written = m_end.entryCount2;
    ArcCopy(m_archiveName, kUmNameUnits, newName);
    hr = AddEndOfCentralDir(first);
  }
  if (SUCCEEDED(hr)) hr = TruncateOutput();
  if (FAILED(hr)) {
    DropVolumeWork();
    return hr;
  }
  m_changed = TRUE;
  return 0;
}

HRESULT CArchive2::GetSizeMerge(ULONGLONG& size) {
  LONGLONG total = GetArchiveSize();
  size = total > 0 ? static_cast<ULONGLONG>(total) : 0;
  return 0;
}

HRESULT CArchive2::IsSpaceForMerge() {
  if (!IsOpen() || m_mode != WUARC_MODE_VOLUMES) return E_FAIL;
  ULONGLONG need = 0, free_units = 0;
  GetSizeMerge(need);
  WCHAR folder[kArchivePathUnits];
  FolderOf(m_path, folder);
  if (!ArcFreeUnits(folder, &free_units)) return E_FAIL;
  return ArcIsShort(need, free_units) ? 1 : 0;
}

// Joins volume files 2..N behind the first volume's data in the work copy.
// The volume files are deleted by Close, only after the merged archive has
// replaced the old one.
HRESULT CArchive2::MergeArchive(DWORD flags) {
  if (!IsOpen() || m_mode != WUARC_MODE_VOLUMES) return E_FAIL;
  if (m_volumeCount < 2) return Fail(WUARC_ERR_NO_ARCHIVE, u"MergeArchive", m_path, E_FAIL);
  if (IsSpaceForMerge() != 0) return Fail(WUARC_ERR_DISK_SPACE, u"MergeArchive", m_path, WU_E_NO_SPACE);
  bool nameOnly = (flags & WUARC_COPY_NAME_ONLY) != 0;
  ULONGLONG data = m_end.dirOffset;
  BeginItem(m_path, data, nameOnly);
  HRESULT hr = BlockCopy(m_archive, m_base, m_output, m_base, data);
  ULONGLONG pos = data;
  for (DWORD n = 2; n <= m_volumeCount && SUCCEEDED(hr); ++n) {
    WCHAR volume[kArchivePathUnits];
    HANDLE h = VolumePath(n, volume, kArchivePathUnits) ? OpenRead(volume) : nullptr;
    ULONGLONG size = 0;
    if (!h || !ArcFileSize(h, &size)) {
      if (h) CloseHandle(h);
      return Fail(WUARC_ERR_OPEN, volume, nullptr, WU_E_CREATE_FILE);
    }
    BeginItem(volume, size, nameOnly);
    hr = BlockCopy(h, 0, m_output, m_base + pos, size);
    CloseHandle(h);
    pos += size;
  }
  if (SUCCEEDED(hr)) hr = BlockCopy(m_archive, m_base + data, m_output, m_base + pos, m_end.dirSize);
  if (FAILED(hr)) return hr;
  DWORD volumes = m_volumeCount;
  ArcCopy(m_oldArchiveName, kUmNameUnits, m_archiveName);
  m_volumeCount = 1;
  if (m_base == 0) m_archiveName[0] = 0;
  m_writePos = pos + m_end.dirSize;
  m_written = m_end.entryCount2;
  hr = AddEndOfCentralDir(pos);
  if (SUCCEEDED(hr)) hr = TruncateOutput();
  if (FAILED(hr)) return hr;
  m_volumesToDelete = volumes;
  m_changed = TRUE;
  return 0;
}

// ===========================================================================
// Comments
// ===========================================================================

// Rewrites the end record in place with a new comment. Bytes that followed
// the old end record (a signature block, for example) are kept behind the
// new one, and the file ends where they end. A write that fails part-way
// (a full disk) puts back the bytes it overwrote and the old length, so the
// archive stays readable as it was.
HRESULT CArchive2::Annotate(LPCWSTR path, LPCWSTR comment) {
  if (IsOpen()) return E_FAIL;
  CWuArchiveProgress* progress = m_progress;
  ResetState();
  m_progress = progress;
  if (!ArcFullPath(path, m_path, kArchivePathUnits))
    return Fail(WUARC_ERR_OPEN, u"Annotate", path, WU_E_CREATE_FILE);
  HANDLE h = CreateFileW(m_path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return Fail(WUARC_ERR_OPEN, u"Annotate", m_path, WU_E_CREATE_FILE);
  HRESULT hr = ReadEndRecord(h);
  if (FAILED(hr)) hr = Fail(WUARC_ERR_SIGNATURE, u"Annotate", m_path, WU_E_BAD_SIGNATURE);
  ULONGLONG size = 0;
  ArcBuffer trailing;
  ULONGLONG trailingBytes = 0;
  if (SUCCEEDED(hr) && ArcFileSize(h, &size)) {
    ULONGLONG oldEnd = m_endAt + UmEndRecordBytes(m_end);
    trailingBytes = size > oldEnd ? size - oldEnd : 0;
    if (!trailing.Allocate(trailingBytes ? trailingBytes : 1))
      hr = Fail(WUARC_ERR_MEMORY, u"Annotate", m_path, E_OUTOFMEMORY);
    else if (!ArcReadExact(h, oldEnd, trailing.get(), static_cast<DWORD>(trailingBytes)))
      hr = Fail(WUARC_ERR_READ, u"Annotate", m_path, WU_E_READ);
  }
  if (SUCCEEDED(hr)) {
    WuStrCpyNLen(m_comment, comment, kUmCommentUnits);
    tUMENDRECORD e = m_end;
    e.commentLength = static_cast<DWORD>(Length(m_comment));
    e.nameLength = static_cast<DWORD>(Length(m_archiveName));
    e.thirdLength = 0;
    ULONGLONG at = m_base + m_end.dirOffset + m_end.dirSize;
    ULONGLONG end = at + UmEndRecordBytes(e);
    ULONGLONG newSize = end + trailingBytes;
    // The old bytes that the new ones overwrite.
    DWORD keep = static_cast<DWORD>((newSize < size ? newSize : size) - at);
    ArcBuffer before(keep ? keep : 1);
    if (!before) hr = Fail(WUARC_ERR_MEMORY, u"Annotate", m_path, E_OUTOFMEMORY);
    else if (!ArcReadExact(h, at, before.get(), keep))
      hr = Fail(WUARC_ERR_READ, u"Annotate", m_path, WU_E_READ);
    if (SUCCEEDED(hr) && (FAILED(WriteEndRecordTo(h, at, e, m_comment, m_archiveName)) ||
                          !ArcWriteAt(h, end, trailing.get(), static_cast<DWORD>(trailingBytes)) ||
                          !ArcSetFileSize(h, newSize))) {
      ArcWriteAt(h, at, before.get(), keep);
      ArcSetFileSize(h, size);
      hr = Fail(WUARC_ERR_WRITE, u"Annotate", m_path, WU_E_WRITE);
    }
  }
  CloseHandle(h);
  ReleaseAll();
  ResetState();
  m_progress = progress;
  return FAILED(hr) ? hr : 0;
}

HRESULT CArchive2::GetVolumeComment(LPWSTR buffer, int size) {
  if (!IsOpen()) return Fail(WUARC_ERR_NO_ARCHIVE, u"GetVolumeComment", nullptr, E_FAIL);
  if (!m_endValid) return WU_E_BAD_SIGNATURE;
  int length = Length(m_comment);
  if (!buffer || size <= length)
    return Fail(WUARC_ERR_BUFFER, u"GetVolumeComment", nullptr, WU_E_BUFFER_TOO_SMALL);
  WuStrCpyNLen(buffer, m_comment, size);
  return 0;
}

// ===========================================================================
// Validation
// ===========================================================================

HRESULT CArchive2::ValidateEntry(LPCWSTR pattern) {
  if (!IsOpen() || !m_endValid || m_mode == WUARC_MODE_CREATE || m_mode == WUARC_MODE_VOLUMES)
    return E_FAIL;
  tARCPATTERN p;
  if (!ArcParsePattern(pattern, &p))
    return Fail(WUARC_ERR_BUFFER, u"ValidateEntry", pattern, WU_E_BUFFER_TOO_SMALL);
  ULONGLONG need = 0;
  SizeOfMatches(pattern, &need);
  BeginItem(pattern, need, false);
  HRESULT result = 1;  // nothing matched
  tARCENTRY e;
  HRESULT hr;
  for (hr = FindFirst(&e); hr == 0; hr = FindNext(&e)) {
    if (!ArcPatternMatches(p, e.name)) continue;
    result = ValidateEntryData(e);
    if (FAILED(result) || p.kind == ArcPatternKind::kExact) break;
  }
  if (FAILED(hr)) result = hr;
  Status(WUARC_STATUS_FINISHED);
  return result;
}

HRESULT CArchive2::ValidateEntry(LONG index) {
  if (!IsOpen() || !m_endValid || m_mode == WUARC_MODE_CREATE || m_mode == WUARC_MODE_VOLUMES)
    return 0;
  tARCENTRY e;
  if (!EntryByIndex(index, &e)) return 0;
  BeginItem(e.name, e.record.facts.storedSize, false);
  HRESULT hr = ValidateEntryData(e);
  Status(WUARC_STATUS_FINISHED);
  return hr;
}

// Reads an entry's stored bytes (across volume files) and checks their CRC.
HRESULT CArchive2::ValidateEntryData(const tARCENTRY& entry) {
  if (!EnsureBuffers()) return Fail(WUARC_ERR_MEMORY, entry.name, nullptr, E_OUTOFMEMORY);
  SetItem(entry.name);
  Status(WUARC_STATUS_VALIDATING);
  uLong crc = crc32(0L, Z_NULL, 0);
  ULONGLONG remaining = entry.record.facts.storedSize;
  tARCSTREAM in{};
  HRESULT hr = remaining > 0 ? OpenStream(UmDataOffset(entry.record), &in) : 0;
  while (SUCCEEDED(hr) && remaining > 0) {
    DWORD want = remaining < kArchiveBlockSize ? static_cast<DWORD>(remaining) : kArchiveBlockSize;
    DWORD got = 0;
    hr = ReadStream(&in, m_block, want, &got);
    if (FAILED(hr)) break;
    crc = crc32(crc, m_block, got);
    remaining -= got;
    AddBytes(got);
    if (Poll() == WUARC_ANSWER_CANCEL) hr = WUARC_ANSWER_CANCEL;
  }
  CloseStream(&in);
  if (FAILED(hr)) return hr;
  Status(WUARC_STATUS_ENTRY_DONE);
  if (static_cast<DWORD>(crc) != entry.record.facts.storedCrc)
    return Fail(WUARC_ERR_CRC, entry.name, nullptr, WU_E_BAD_DATA);
  return 0;
}
