// CWuArchiveProgress: progress callbacks and the cross-thread answer word.
#include "Sfx/CWuArchiveProgress.h"

#include "Sfx/ArchiveCodes.h"
#include "foundation/WuString.h"
#include "platform/handles.h"
#include "platform/threads.h"

namespace {

// How long one wait on the shared semaphore lasts before the state is
// looked at again. The semaphore is shared by every progress object of the
// process, so a release meant for another object may be taken here (or a
// stale one left over); re-checking the state keeps every waiter correct.
constexpr DWORD kAnswerPollMs = 50;

}  // namespace

CWuArchiveProgress::CWuArchiveProgress() : CWuArchiveProgress(nullptr) {}

CWuArchiveProgress::CWuArchiveProgress(HWND owner)
    : m_semaphore(CreateSemaphoreW(nullptr, 0, 1, kWuArchiveSemaphoreName)),
      m_state(0),
      m_owner(owner),
      m_total(0),
      m_done(0),
      m_itemName{} {}

CWuArchiveProgress::~CWuArchiveProgress() {
  if (m_semaphore) CloseHandle(m_semaphore);
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

HRESULT CWuArchiveProgress::State() const {
  return __atomic_load_n(&m_state, __ATOMIC_SEQ_CST);
}

void CWuArchiveProgress::SetState(HRESULT value) { InterlockedExchange(&m_state, value); }

HRESULT CWuArchiveProgress::WaitForAnswer() {
  for (;;) {
    LONG state = State();
    if (state == WUARC_ANSWER_PENDING) {
      if (m_semaphore)
        WaitForSingleObject(m_semaphore, kAnswerPollMs);
      else
        Sleep(1);
      continue;
    }
    // Take the answer only if nobody changed it meanwhile.
    if (InterlockedCompareExchange(&m_state, 0, state) == state) return state;
  }
}

void CWuArchiveProgress::SetAnswer(HRESULT value) {
  InterlockedExchange(&m_state, value);
  if (m_semaphore) ReleaseSemaphore(m_semaphore, 1, nullptr);
}
