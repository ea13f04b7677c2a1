// CArchive2: the object, opening, the end record and the central directory.
#include "Sfx/CArchive2.h"

#include <zlib.h>

#include "Sfx/ArchiveEntry.h"
#include "foundation/WuString.h"
#include "platform/kernel/error.h"
#include "platform/kernel/files.h"
#include "platform/kernel/handles.h"
#include "platform/kernel/locale.h"

namespace {

// TRUE when a + b overflows or exceeds limit.
bool SumExceeds(ULONGLONG a, ULONGLONG b, ULONGLONG limit) {
  ULONGLONG sum;
  return __builtin_add_overflow(a, b, &sum) || sum > limit;
}

HANDLE OpenFile(LPCWSTR path, DWORD access, DWORD share, DWORD disposition) {
  HANDLE h = CreateFileW(path, access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
  return h == INVALID_HANDLE_VALUE ? nullptr : h;
}

void CloseFile(HANDLE* h) {
  if (*h) CloseHandle(*h);
  *h = nullptr;
}

}  // namespace

// ===========================================================================
// Object
// ===========================================================================

CArchive2::CArchive2()
    : m_archive(nullptr),
      m_output(nullptr),
      m_entries(nullptr),
      m_progress(nullptr),
      m_block(nullptr),
      m_zout(nullptr),
      m_inflater(nullptr),
      m_deflater(nullptr),
      m_stop(nullptr) {
  ResetState();
}

CArchive2::~CArchive2() {
  // An archive never closed is abandoned: its work copy goes, and the file
  // it was to replace stays as it was.
  bool abandoned = IsOpen() && !m_workPath.empty() && m_output;
  ReleaseAll();
  if (abandoned) ArcDeleteWorkFile(m_workPath.c_str());
  DropVolumeWork();
  if (m_inflater) {
    inflateEnd(m_inflater);
    WuGlobalDelete(m_inflater);
  }
  if (m_deflater) {
    deflateEnd(m_deflater);
    WuGlobalDelete(m_deflater);
  }
  WuGlobalDelete(m_block);
  WuGlobalDelete(m_zout);
}

void* CArchive2::operator new(std::size_t bytes) noexcept { return WuGlobalNew(bytes); }

void CArchive2::operator delete(void* pointer) noexcept { WuGlobalDelete(pointer); }

// Everything that describes an open archive back to "closed". Handles,
// lists and tables must have been released (ReleaseAll).
void CArchive2::ResetState() {
  m_writePos = 0;
  m_mode = WUARC_MODE_CREATE;
  m_method = kUmMethodDeflate;
  m_level = 6;
  m_end = {};
  m_comment[0] = 0;
  m_archiveName[0] = 0;
  m_thirdText[0] = 0;
  m_findCursor = -1;
  m_findIndex = -1;
  m_path[0] = 0;
  m_workPath.clear();
  m_replacePath.clear();
  m_outputPath[0] = 0;
  m_extractFlags = 0;
  m_addFlags = 0;
  m_deleteFlags = 0;
  m_base = 0;
  m_volumeCount = 0;
  m_written = 0;
  m_allDecision = 0;
  m_allDecisionReadOnly = 0;
  m_changed = FALSE;
  m_totalSize = 0;
  m_totalKnown = FALSE;
  m_fileSystem[0] = 0;
  m_offsets = nullptr;
  m_offsetCount = 0;
  m_endValid = FALSE;
  m_endAt = 0;
  m_dir = nullptr;
  m_dirBytes = 0;
  m_oldCount = 0;
  m_volumesToDelete = 0;
  m_oldArchiveName[0] = 0;
  m_madeFolder[0] = 0;
  m_namePrefix[0] = 0;
}

// Closes handles and frees the lists and tables of an open archive.
void CArchive2::ReleaseAll() {
  if (m_output == m_archive) m_output = nullptr;
  CloseFile(&m_output);
  CloseFile(&m_archive);
  if (m_entries) {
    if (!(WuList_GetCreateOptions(m_entries) & WULIST_INPLACE))
      for (LONG i = 0; i < m_entries->count; ++i) WuGlobalDelete(WuList_PointerAt(m_entries, i));
    WuList_Destroy(m_entries);
    m_entries = nullptr;
  }
  WuGlobalDelete(m_offsets);
  m_offsets = nullptr;
  m_offsetCount = 0;
  WuGlobalDelete(m_dir);
  m_dir = nullptr;
  m_dirBytes = 0;
}

// ===========================================================================
// Reporting
// ===========================================================================

HRESULT CArchive2::Fail(HRESULT code, LPCWSTR operation, LPCWSTR detail, HRESULT result) {
  if (!m_progress) return result;
  WCHAR text[kArchivePathUnits];
  text[0] = 0;
  ArcAppend(text, kArchivePathUnits, operation);
  if (detail && *detail) {
    ArcAppend(text, kArchivePathUnits, u"|");
    ArcAppend(text, kArchivePathUnits, detail);
  }
  m_progress->SetFileName(text);
  m_progress->ReportError(code);
  return result;
}

void CArchive2::Status(HRESULT code) {
  if (m_progress) m_progress->ReportStatus(code);
}

void CArchive2::SetItem(LPCWSTR name) {
  if (m_progress) m_progress->SetFileName(name);
}

void CArchive2::BeginItem(LPCWSTR name, ULONGLONG total, bool nameOnly) {
  if (!m_progress) return;
  if (nameOnly)
    m_progress->SetFileName(name);
  else
    m_progress->BeginItem(name, total);
}

void CArchive2::AddBytes(ULONGLONG count) {
  if (m_progress) m_progress->AddBytes(count);
}

// Takes an answer that another thread may have left; a cancel stops the
// current operation.
HRESULT CArchive2::Poll() {
  if (m_stop && m_stop->load()) return WUARC_ANSWER_CANCEL;
  if (!m_progress) return 0;
  return m_progress->WaitForAnswer() == WUARC_ANSWER_CANCEL ? WUARC_ANSWER_CANCEL : 0;
}

// ===========================================================================
// Opening
// ===========================================================================

HRESULT CArchive2::Open(LPCWSTR path, int mode, CWuArchiveProgress* progress) {
  if (IsOpen()) return E_FAIL;  // one archive at a time: Close first
  ReleaseAll();
  ResetState();
  m_progress = progress;
  if (!ArcFullPath(path, m_path, kArchivePathUnits)) {
    m_path[0] = 0;
    return Fail(WUARC_ERR_INVALID_ARG, u"Open Main", path, E_INVALIDARG);
  }
  WCHAR folder[kArchivePathUnits];
  ArcCopy(folder, kArchivePathUnits, m_path);
  folder[ArcFolderPartLength(folder)] = 0;
  tARCDISKINFO disk;
  if (ArcDiskInfo(folder, &disk)) ArcCopy(m_fileSystem, 128, disk.fileSystem);
  m_mode = mode;

  HRESULT hr;
  switch (mode) {
    case WUARC_MODE_READ:
    case WUARC_MODE_SEA:
      hr = OpenForReading(mode);
      break;
    case WUARC_MODE_CREATE: {
      // The new archive is written as a work copy and takes the name on
      // Close: a file already there stays whole until then. What could
      // never be replaced (a folder, a read-only file) is refused now.
      // A name that is a link stands for the file it names: that file is
      // replaced, and the link stays.
      m_archive = ArcCreateWorkFileFor(m_path, true, &m_replacePath, &m_workPath);
      if (!m_archive) {
        hr = Fail(WUARC_ERR_CREATE, m_path, nullptr, WU_E_CREATE_FILE);
        break;
      }
      m_output = m_archive;
      m_volumeCount = 1;
      m_changed = TRUE;
      hr = WuList_CreateExZ(&m_entries, sizeof(void*), -1, -1, 0);
      if (FAILED(hr)) hr = Fail(WUARC_ERR_MEMORY, u"Open Main", nullptr, E_OUTOFMEMORY);
      break;
    }
    case WUARC_MODE_APPEND:
    case WUARC_MODE_DELETE:
    case WUARC_MODE_VOLUMES:
      hr = OpenWithWorkCopy(mode);
      break;
    default:
      hr = Fail(WUARC_ERR_NOT_OPEN, u"Open Main", nullptr, E_NOTIMPL);
      break;
  }
  if (FAILED(hr)) {
    ReleaseAll();
    if (!m_workPath.empty()) ArcDeleteWorkFile(m_workPath.c_str());
    ResetState();
    m_progress = progress;
  }
  return hr;
}

// Modes 1 and 4: the archive for reading, shared for reading.
HRESULT CArchive2::OpenForReading(int mode) {
  bool sea = mode == WUARC_MODE_SEA;
  if (!ArcFileExists(m_path))
    return sea ? Fail(WUARC_ERR_OPEN, u"Open SEA", m_path, WU_E_CREATE_FILE)
               : Fail(WUARC_ERR_NO_FILE, u"open read", m_path, WU_E_FILE_EXISTS);
  m_archive = OpenFile(m_path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
  if (!m_archive) return Fail(WUARC_ERR_CREATE, m_path, nullptr, WU_E_CREATE_FILE);
  HRESULT hr = ReadEndRecord(m_archive);
  if (hr == E_OUTOFMEMORY) return Fail(WUARC_ERR_MEMORY, u"open read", m_path, hr);
  if (FAILED(hr)) return Fail(WUARC_ERR_SIGNATURE, u"open read", m_path, WU_E_BAD_SIGNATURE);
  // The total walks the whole directory: a damaged one fails the open.
  ULONGLONG total = 0;
  return GetSizeExtractAll(total);
}

// Modes 2, 3 and 5: the archive, its end record, and a fresh work copy that
// receives the stub first.
HRESULT CArchive2::OpenWithWorkCopy(int mode) {
  LPCWSTR op = mode == WUARC_MODE_APPEND   ? u"Open Append"
               : mode == WUARC_MODE_DELETE ? u"Open Delete"
                                           : u"OpenMultiVol";
  DWORD access = mode == WUARC_MODE_VOLUMES ? GENERIC_READ | GENERIC_WRITE : GENERIC_READ;
  m_archive = OpenFile(m_path, access, FILE_SHARE_READ, OPEN_EXISTING);
  if (!m_archive) return Fail(WUARC_ERR_OPEN, op, m_path, WU_E_CREATE_FILE);
  HRESULT hr = ReadEndRecord(m_archive);
  if (hr == E_OUTOFMEMORY) return Fail(WUARC_ERR_MEMORY, op, m_path, hr);
  if (FAILED(hr)) return Fail(WUARC_ERR_SIGNATURE, op, m_path, WU_E_BAD_SIGNATURE);
  if (mode != WUARC_MODE_VOLUMES && m_volumeCount > 1)
    return Fail(WUARC_ERR_NOT_OPEN, op, m_path, WU_E_BAD_SIGNATURE);
  // Entries are copied by walking the directory: a damaged one is refused
  // before anything is written.
  ULONGLONG total = 0;
  hr = GetSizeExtractAll(total);
  if (FAILED(hr)) return hr;
  // The work copy goes beside the file that the archive's name stands for
  // (a link's target), which it replaces on Close.
  m_output = ArcCreateWorkFileFor(m_path, false, &m_replacePath, &m_workPath);
  if (!m_output) return Fail(WUARC_ERR_CREATE, op, m_path, WU_E_CREATE_FILE);
  m_oldCount = static_cast<LONG>(m_end.entryCount2);
  m_writePos = 0;
  if (mode == WUARC_MODE_DELETE)
    hr = WuList_CreateExZ(&m_entries, sizeof(tUMDELETEMARK), -1, -1, WULIST_INPLACE);
  else if (mode == WUARC_MODE_APPEND)
    hr = WuList_CreateExZ(&m_entries, sizeof(void*), -1, -1, 0);
  if (FAILED(hr)) return Fail(WUARC_ERR_MEMORY, op, nullptr, E_OUTOFMEMORY);
  return m_base > 0 ? WriteSEAStub() : S_OK;
}

// ===========================================================================
// End record
// ===========================================================================

// Finds the end record in the last 32 KB of the file: the last occurrence
// of its signature, at any byte alignment, that describes a directory that
// fits the file. Candidates that do not (a signature inside a stub, a
// comment or trailing data) are passed over. Then reads the texts and the
// central directory.
HRESULT CArchive2::ReadEndRecord(HANDLE file) {
  m_endValid = FALSE;
  ULONGLONG size = 0;
  if (!ArcFileSize(file, &size)) return WU_E_READ;
  if (size < static_cast<ULONGLONG>(kUmEndRecordSize)) return WU_E_BAD_SIGNATURE;
  DWORD window = size < kUmEndScanWindow ? static_cast<DWORD>(size) : kUmEndScanWindow;
  ArcBuffer tail(window);
  if (!tail) return E_OUTOFMEMORY;
  ULONGLONG start = size - window;
  if (!ArcReadExact(file, start, tail.get(), window)) return WU_E_READ;

  for (LONG pos = static_cast<LONG>(window) - kUmEndRecordSize; pos >= 0; --pos) {
    if (UmGet32(tail.get() + pos) != kUmEndSignature) continue;
    tUMENDRECORD e;
    UmDecodeEndRecord(tail.get() + pos, &e);
    ULONGLONG at = start + static_cast<ULONGLONG>(pos);
    if (!IsEndRecordCandidate(file, size, at, e)) continue;

    // The texts: comment, archive name, third text.
    ULONGLONG textBytes = UmEndRecordBytes(e) - kUmEndRecordSize;
    ArcBuffer texts(textBytes ? textBytes : 1);
    if (!texts) return E_OUTOFMEMORY;
    if (!ArcReadExact(file, at + kUmEndRecordSize, texts.get(), static_cast<DWORD>(textBytes)))
      return WU_E_READ;
    const BYTE* p = texts.get();
    UmDecodeText(p, e.commentLength, m_comment, kUmCommentUnits);
    p += 2ULL * e.commentLength;
    UmDecodeText(p, e.nameLength, m_archiveName, kUmNameUnits);
    p += 2ULL * e.nameLength;
    UmDecodeText(p, e.thirdLength, m_thirdText, kUmNameUnits);

    m_end = e;
    m_endAt = at;
    m_base = e.baseOffset;
    m_volumeCount = e.volumeCount;
    m_endValid = TRUE;
    return LoadDirectory(file);
  }
  return WU_E_BAD_SIGNATURE;
}

// A candidate is taken when its texts fit in the file, its central directory
// lies before it, and the directory begins with a central record (or holds
// no entries).
bool CArchive2::IsEndRecordCandidate(HANDLE file, ULONGLONG fileSize, ULONGLONG at,
                                     const tUMENDRECORD& e) {
  if (e.volumeCount == 0) return false;
  if (SumExceeds(at, UmEndRecordBytes(e), fileSize)) return false;
  ULONGLONG dirStart;
  if (__builtin_add_overflow(e.baseOffset, e.dirOffset, &dirStart)) return false;
  if (SumExceeds(dirStart, e.dirSize, at)) return false;
  if (e.entryCount2 == 0) return true;
  if (e.dirSize / kUmCentralRecordSize < e.entryCount2) return false;
  BYTE signature[4];
  return ArcReadExact(file, dirStart, signature, 4) && UmGet32(signature) == kUmCentralSignature;
}

// Reads the whole central directory into memory.
HRESULT CArchive2::LoadDirectory(HANDLE file) {
  WuGlobalDelete(m_dir);
  m_dirBytes = m_end.dirSize;
  m_dir = static_cast<BYTE*>(WuGlobalNew(m_dirBytes ? m_dirBytes : 1));
  if (!m_dir) {
    m_dirBytes = 0;
    return E_OUTOFMEMORY;
  }
  ULONGLONG done = 0;
  while (done < m_dirBytes) {
    ULONGLONG left = m_dirBytes - done;
    DWORD n = left > 0x40000000 ? 0x40000000 : static_cast<DWORD>(left);
    if (!ArcReadExact(file, m_base + m_end.dirOffset + done, m_dir + done, n)) return WU_E_READ;
    done += n;
  }
  return S_OK;
}

// ===========================================================================
// Walking the central directory
// ===========================================================================

// Decodes the record at a directory offset: it must lie whole within the
// directory and carry the central signature.
bool CArchive2::DecodeEntryAt(ULONGLONG dirPos, LONG index, tARCENTRY* entry) const {
  if (!m_dir || SumExceeds(dirPos, kUmCentralRecordSize, m_dirBytes)) return false;
  if (UmGet32(m_dir + dirPos) != kUmCentralSignature) return false;
  UmDecodeCentralRecord(m_dir + dirPos, &entry->record);
  if (SumExceeds(dirPos, UmCentralRecordBytes(entry->record), m_dirBytes)) return false;
  UmDecodeText(m_dir + dirPos + kUmCentralRecordSize, entry->record.nameLength, entry->name,
               kUmNameUnits);
  entry->dirPos = dirPos;
  entry->index = index;
  return true;
}

// 0 with the first entry, 1 when the directory holds none. The walk goes on
// from the entry itself (FindNext), so walks may nest: a callback may look
// up names while an extraction walks the directory.
HRESULT CArchive2::FindFirst(tARCENTRY* entry) {
  m_findCursor = -1;
  m_findIndex = -1;
  entry->index = -1;
  if (!IsOpen()) return Fail(WUARC_ERR_NO_ARCHIVE, u"FindFirst", nullptr, E_FAIL);
  if (!m_endValid) return Fail(WUARC_ERR_SIGNATURE, u"FindFirst", m_path, E_FAIL);
  if (m_end.entryCount2 == 0) return 1;
  if (!DecodeEntryAt(0, 0, entry)) {
    entry->index = -1;
    return Fail(WUARC_ERR_SIGNATURE, u"FindFirst", m_path, WU_E_BAD_SIGNATURE);
  }
  m_findCursor = 0;
  m_findIndex = 0;
  return 0;
}

// 0 with the entry after `entry`, 1 after the last entry the end record
// counts. A record before that which cannot be read whole or lacks its
// signature means a damaged directory: a failure, never a short walk that
// would read as the end (entries after it would be silently lost).
HRESULT CArchive2::FindNext(tARCENTRY* entry) {
  if (entry->index < 0) return Fail(WUARC_ERR_NO_ARCHIVE, u"FindNext", nullptr, E_FAIL);
  ULONGLONG next = entry->dirPos + UmCentralRecordBytes(entry->record);
  LONG index = entry->index + 1;
  if (index >= static_cast<LONG>(m_end.entryCount2)) {
    m_findCursor = -1;
    entry->index = -1;
    return 1;
  }
  if (!DecodeEntryAt(next, index, entry)) {
    m_findCursor = -1;
    entry->index = -1;
    return Fail(WUARC_ERR_SIGNATURE, u"FindNext", m_path, WU_E_BAD_SIGNATURE);
  }
  m_findCursor = static_cast<LONGLONG>(next);
  m_findIndex = index;
  return 0;
}

// 0 with the entry of exactly that name (case-insensitive), 1 when none.
HRESULT CArchive2::FindByName(LPCWSTR name, tARCENTRY* entry) {
  if (!name || !m_endValid) return 1;
  for (HRESULT hr = FindFirst(entry); hr == 0; hr = FindNext(entry))
    if (lstrcmpiW(entry->name, name) == 0) return 0;
  return 1;
}

// One directory offset per record, up to the records really there.
HRESULT CArchive2::BuildOffsetTable() {
  if (m_offsets) return S_OK;
  LONG count = GetArchiveCount();
  if (count <= 0) return S_OK;
  m_offsets = static_cast<ULONGLONG*>(WuGlobalNew(sizeof(ULONGLONG) * static_cast<SIZE_T>(count)));
  if (!m_offsets) return Fail(WUARC_ERR_MEMORY, u"BuildOffsetTable", nullptr, E_OUTOFMEMORY);
  m_offsetCount = 0;
  tARCENTRY e;
  HRESULT hr;
  for (hr = FindFirst(&e); hr == 0 && m_offsetCount < count; hr = FindNext(&e))
    m_offsets[m_offsetCount++] = e.dirPos;
  return FAILED(hr) ? hr : S_OK;
}

bool CArchive2::EntryByIndex(LONG index, tARCENTRY* entry) {
  if (index < 0 || FAILED(BuildOffsetTable()) || index >= m_offsetCount) return false;
  return DecodeEntryAt(m_offsets[index], index, entry);
}

// ===========================================================================
// Getters
// ===========================================================================

LONG CArchive2::GetArchiveCount() {
  if (!IsOpen() || !m_endValid) return -1;
  return static_cast<LONG>(m_end.entryCount2);
}

HRESULT CArchive2::GetEntryName(LONG index, LPWSTR buffer, int size) {
  if (!buffer || size <= 0) return 0;
  buffer[0] = 0;
  tARCENTRY e;
  if (EntryByIndex(index, &e)) WuStrCpyNLen(buffer, e.name, size);
  return 0;
}

#define WU_ARCHIVE_GETTERS(Getter, Type, expr)                \
  HRESULT CArchive2::Getter(LPCWSTR name, Type& out) {       \
    tARCENTRY e;                                             \
    if (FindByName(name, &e) != 0) {                         \
      out = Type{};                                          \
      return 1;                                              \
    }                                                        \
    out = expr;                                              \
    return 0;                                                \
  }                                                          \
  HRESULT CArchive2::Getter(LONG index, Type& out) {         \
    tARCENTRY e;                                             \
    if (EntryByIndex(index, &e)) out = expr;                 \
    return 0;                                                \
  }

WU_ARCHIVE_GETTERS(GetEntryUncompressedSize, ULONGLONG, e.record.facts.size)
WU_ARCHIVE_GETTERS(GetEntryCompressedSize, ULONGLONG, e.record.facts.storedSize)
WU_ARCHIVE_GETTERS(GetEntryCompressionType, DWORD, e.record.facts.method)
WU_ARCHIVE_GETTERS(GetEntryFileTime, FILETIME,
                   (FILETIME{static_cast<DWORD>(e.record.facts.fileTime),
                             static_cast<DWORD>(e.record.facts.fileTime >> 32)}))
WU_ARCHIVE_GETTERS(GetEntryCRC32, DWORD, e.record.facts.dataCrc)
WU_ARCHIVE_GETTERS(GetEntryFileAttributes, DWORD, e.record.attributes)

#undef WU_ARCHIVE_GETTERS

BOOL CArchive2::IsEntryInArchive(LPCWSTR name) {
  if (!IsOpen()) return FALSE;
  tARCENTRY e;
  return FindByName(name, &e) == 0 ? TRUE : FALSE;
}

BOOL CArchive2::GetArchiveSEAStatus() { return m_base > 0 ? TRUE : FALSE; }

LONG CArchive2::GetMultiVolumeStatus() { return static_cast<LONG>(m_volumeCount); }

HRESULT CArchive2::GetCreateTime(FILETIME& time) {
  time = {};
  if (m_archive) GetFileTime(m_archive, &time, nullptr, nullptr);
  return 0;
}

HRESULT CArchive2::GetModifyTime(FILETIME& time) {
  time = {};
  if (m_archive) GetFileTime(m_archive, nullptr, nullptr, &time);
  return 0;
}

LONGLONG CArchive2::GetArchiveSize() {
  if (!IsOpen()) return -1;
  ULONGLONG total = 0;
  if (!ArcFileSize(m_archive, &total)) return -1;
  for (DWORD n = 2; n <= m_volumeCount; ++n) {
    WCHAR volume[kArchivePathUnits];
    ULONGLONG size = 0;
    if (!VolumePath(n, volume, kArchivePathUnits) || !ArcPathSize(volume, &size)) {
      Fail(WUARC_ERR_VOLUME_MISSING, u"GetArchiveSize", volume, WU_E_BAD_DATA);
      break;
    }
    total += size;
  }
  return static_cast<LONGLONG>(total);
}

bool CArchive2::VolumePath(DWORD n, WCHAR* out, int size) const {
  out[0] = 0;
  return ArcVolumeName(out, size, m_path, m_archiveName, n);
}
