// CWuArchiveProgress: progress callbacks and the cross-thread answer word.
#include "Sfx/CWuArchiveProgress.h"

#include "Sfx/ArchiveCodes.h"
#include "foundation/WuString.h"
#include "platform/kernel/handles.h"
#include "platform/kernel/threads.h"

CWuArchiveProgress::CWuArchiveProgress() : CWuArchiveProgress(nullptr) {}

CWuArchiveProgress::CWuArchiveProgress(HWND owner)
    : m_semaphore(CreateSemaphoreW(nullptr, 0, 1, nullptr)),
      m_state(0),
      m_owner(owner),
      m_total(0),
      m_done(0),
      m_itemName{},
      m_lock{},
      m_cancelPending(FALSE),
      m_asking(FALSE) {
  InitializeCriticalSection(&m_lock);
}

CWuArchiveProgress::~CWuArchiveProgress() {
  if (m_semaphore) CloseHandle(m_semaphore);
  DeleteCriticalSection(&m_lock);
}

void* CWuArchiveProgress::operator new(std::size_t bytes) noexcept { return WuGlobalNew(bytes); }

void CWuArchiveProgress::operator delete(void* pointer) noexcept { WuGlobalDelete(pointer); }

HRESULT CWuArchiveProgress::BeginItem(LPCWSTR name, ULONGLONG total) {
  SetFileName(name);
  SetTotal(total);
  return ReportStatus(WUARC_STATUS_ITEM_BEGUN);
}

HRESULT CWuArchiveProgress::ReportError(HRESULT) { return 0; }

HRESULT CWuArchiveProgress::ReportStatus(HRESULT) { return 0; }

HRESULT CWuArchiveProgress::AddBytes(ULONGLONG count) {
  m_done += count;
  return 0;
}

void CWuArchiveProgress::SetFileName(LPCWSTR text) {
  WuStrCpyNLen(m_itemName, text, 260);
}

void CWuArchiveProgress::SetTotal(ULONGLONG total) {
  m_total = total;
  if (m_done > m_total) m_done = m_total;
}

// ---- The answer word ------------------------------------------------------------------

void CWuArchiveProgress::WaitWhilePendingLocked() {
  while (m_cancelPending) {
    LeaveCriticalSection(&m_lock);
    // A release left over from an answer nobody waited for wakes this wait
    // early; the loop then looks at the flag again and waits once more.
    if (m_semaphore)
      WaitForSingleObject(m_semaphore, INFINITE);
    else
      Sleep(1);
    EnterCriticalSection(&m_lock);
  }
}

void CWuArchiveProgress::StoreAnswerLocked(HRESULT value) {
  if (value != 0 && m_state != WUARC_ANSWER_CANCEL) m_state = value;
}

HRESULT CWuArchiveProgress::State() const {
  EnterCriticalSection(&m_lock);
  HRESULT state = m_cancelPending ? WUARC_ANSWER_PENDING : m_state;
  LeaveCriticalSection(&m_lock);
  return state;
}

void CWuArchiveProgress::SetState(HRESULT value) {
  EnterCriticalSection(&m_lock);
  if (value == WUARC_ANSWER_PENDING)
    m_cancelPending = TRUE;
  else
    StoreAnswerLocked(value);
  LeaveCriticalSection(&m_lock);
}

HRESULT CWuArchiveProgress::WaitForAnswer() {
  EnterCriticalSection(&m_lock);
  WaitWhilePendingLocked();
  HRESULT answer = m_state;
  m_state = 0;
  LeaveCriticalSection(&m_lock);
  return answer;
}

void CWuArchiveProgress::SetAnswer(HRESULT value) {
  EnterCriticalSection(&m_lock);
  m_cancelPending = FALSE;
  StoreAnswerLocked(value);
  LeaveCriticalSection(&m_lock);
  if (m_semaphore) ReleaseSemaphore(m_semaphore, 1, nullptr);
}

BOOL CWuArchiveProgress::RequestCancel() {
  EnterCriticalSection(&m_lock);
  BOOL askNow = FALSE;
  if (!m_cancelPending) {
    m_cancelPending = TRUE;
    askNow = !m_asking;
  }
  LeaveCriticalSection(&m_lock);
  return askNow;
}

BOOL CWuArchiveProgress::BeginQuestion() {
  EnterCriticalSection(&m_lock);
  WaitWhilePendingLocked();
  m_asking = TRUE;
  BOOL go_on = m_state != WUARC_ANSWER_CANCEL;
  LeaveCriticalSection(&m_lock);
  return go_on;
}

BOOL CWuArchiveProgress::EndQuestion(HRESULT answer) {
  EnterCriticalSection(&m_lock);
  m_asking = FALSE;
  StoreAnswerLocked(answer);
  BOOL askCancel = m_cancelPending;
  if (askCancel && m_state == WUARC_ANSWER_CANCEL) {
    // Already aborting: the cancel question has nothing left to decide.
    m_cancelPending = FALSE;
    askCancel = FALSE;
  }
  LeaveCriticalSection(&m_lock);
  return askCancel;
}
