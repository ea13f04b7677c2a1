// CArchive2: delete mode. Entries are marked by directory index and dropped
// when Close rewrites the archive into its work copy.
#include "Sfx/ArchiveEntry.h"
#include "Sfx/ArchivePattern.h"
#include "Sfx/CArchive2.h"

namespace {

tUMDELETEMARK* MarkAt(tWULIST* list, LONG index) {
  return static_cast<tUMDELETEMARK*>(WuList_ItemAt(list, index));
}

}  // namespace

// Marks the entries that match. Every entry gets a mark on the first call
// (1 matched, 0 not), so that entries after an exact name's first match are
// kept rather than missing; an exact name marks only its first match.
HRESULT CArchive2::DeleteEntryFromArchive(LPCWSTR pattern, DWORD flags) {
  if (!IsOpen() || m_mode != WUARC_MODE_DELETE || !m_entries) return E_FAIL;
  tARCPATTERN p;
  if (!ArcParsePattern(pattern, &p))
    return Fail(WUARC_ERR_BUFFER, u"DeleteEntryFromArchive", pattern, WU_E_BUFFER_TOO_SMALL);
  m_deleteFlags = flags;
  bool exactDone = false;
  tARCENTRY e;
  HRESULT hr;
  for (hr = FindFirst(&e); hr == 0; hr = FindNext(&e)) {
    bool match = !exactDone && ArcPatternMatches(p, e.name);
    if (match && p.kind == ArcPatternKind::kExact) exactDone = true;
    if (e.index >= m_entries->count) {
      tUMDELETEMARK mark{match ? 1u : 0u, 0};
      if (FAILED(WuList_InsertItem(m_entries, -1, &mark)))
        return Fail(WUARC_ERR_MEMORY, u"DeleteEntryFromArchive", nullptr, E_OUTOFMEMORY);
    } else if (match) {
      MarkAt(m_entries, e.index)->mark = 1;
    }
  }
  return FAILED(hr) ? hr : 0;
}

LONG CArchive2::GetEntryDeleteStatus(LONG index) {
  if (m_mode != WUARC_MODE_DELETE || !m_entries || !WuList_IsValidIndex(m_entries, index)) return 0;
  return static_cast<LONG>(MarkAt(m_entries, index)->mark);
}

BOOL CArchive2::IsDeleteRequested() {
  if (m_mode != WUARC_MODE_DELETE || !m_entries) return FALSE;
  for (LONG i = 0; i < m_entries->count; ++i)
    if (MarkAt(m_entries, i)->mark) return TRUE;
  return FALSE;
}

HRESULT CArchive2::AbortDeletionProcess() {
  if (m_mode == WUARC_MODE_DELETE && m_entries) WuList_DeleteList(m_entries, 0, -1, FALSE);
  return 0;
}

// Copies the kept entries whole into the work copy, then their central
// records with the new offsets, then the end record.
HRESULT CArchive2::SubmitDeleteList() {
  if (m_mode != WUARC_MODE_DELETE || !m_entries) return E_FAIL;
  if (!IsDeleteRequested()) return 0;
  auto localBytes = [](const tUMCENTRALRECORD& r) {
    return UmDataOffset(r) - r.localOffset + r.facts.storedSize;
  };
  ULONGLONG total = 0;
  tARCENTRY e;
  HRESULT hr;
  for (hr = FindFirst(&e); hr == 0; hr = FindNext(&e))
    if (e.index < m_entries->count && !MarkAt(m_entries, e.index)->mark)
      total += localBytes(e.record);

  m_writePos = 0;
  m_written = 0;
  bool begun = false;
  for (hr = FindFirst(&e); hr == 0; hr = FindNext(&e)) {
    if (e.index >= m_entries->count)
      return Fail(WUARC_ERR_MEMORY, u"SubmitDeleteList", e.name, E_FAIL);
    tUMDELETEMARK* mark = MarkAt(m_entries, e.index);
    if (mark->mark) {
      SetItem(e.name);
      Status(WUARC_STATUS_DROPPED);
      mark->newOffset = -1;
      m_changed = TRUE;
      continue;
    }
    if (!begun) {
      BeginItem(u"Entries", total, (m_deleteFlags & WUARC_COPY_NAME_ONLY) != 0);
      Status(WUARC_STATUS_COPYING);
      begun = true;
    }
    ULONGLONG bytes = localBytes(e.record);
    HRESULT copy = BlockCopy(m_archive, m_base + e.record.localOffset, m_output,
                             m_base + m_writePos, bytes);
    if (FAILED(copy)) return copy;
    mark->newOffset = static_cast<LONGLONG>(m_writePos);
    m_writePos += bytes;
    ++m_written;
  }
  if (FAILED(hr)) return hr;

  if (!EnsureBuffers()) return Fail(WUARC_ERR_MEMORY, u"SubmitDeleteList", nullptr, E_OUTOFMEMORY);
  ULONGLONG dirOffset = m_writePos;
  DWORD fill = 0;
  for (hr = FindFirst(&e); hr == 0; hr = FindNext(&e)) {
    tUMDELETEMARK* mark = MarkAt(m_entries, e.index);
    if (mark->mark) continue;
    ULONGLONG bytes = UmCentralRecordBytes(e.record);
    if (fill + bytes > kArchiveBlockSize) {
      if (FAILED(WriteOutput(m_block, fill)))
        return Fail(WUARC_ERR_WRITE, u"SubmitDeleteList", nullptr, WU_E_WRITE);
      fill = 0;
    }
    if (bytes > kArchiveBlockSize) {
      // A record with texts too long for the buffer goes out by itself.
      BYTE record[kUmCentralRecordSize];
      for (int i = 0; i < kUmCentralRecordSize; ++i) record[i] = m_dir[e.dirPos + i];
      UmPut64(record + 76, static_cast<ULONGLONG>(mark->newOffset));
      if (FAILED(WriteOutput(record, kUmCentralRecordSize)) ||
          FAILED(WriteOutput(m_dir + e.dirPos + kUmCentralRecordSize,
                             static_cast<DWORD>(bytes - kUmCentralRecordSize))))
        return Fail(WUARC_ERR_WRITE, u"SubmitDeleteList", nullptr, WU_E_WRITE);
      continue;
    }
    for (ULONGLONG i = 0; i < bytes; ++i) m_block[fill + i] = m_dir[e.dirPos + i];
    UmPut64(m_block + fill + 76, static_cast<ULONGLONG>(mark->newOffset));
    fill += static_cast<DWORD>(bytes);
  }
  if (FAILED(hr)) return hr;
  if (FAILED(WriteOutput(m_block, fill)))
    return Fail(WUARC_ERR_WRITE, u"SubmitDeleteList", nullptr, WU_E_WRITE);
  hr = AddEndOfCentralDir(dirOffset);
  if (SUCCEEDED(hr)) hr = TruncateOutput();
  if (SUCCEEDED(hr)) Status(WUARC_STATUS_FINISHED);
  return hr;
}
