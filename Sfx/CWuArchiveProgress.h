// CWuArchiveProgress: the callback object through which CArchive2 reports
// progress, errors and status, and through which it receives answers
// (overwrite decisions, cancel) from another thread.
//
// The answer protocol: a user-interface thread that wants to cancel sets the
// state to WUARC_ANSWER_PENDING, asks its question and then calls
// SetAnswer(WUARC_ANSWER_CANCEL or 0). The archive's thread polls
// WaitForAnswer() after every data block; while the state is pending it
// blocks until the answer is stored, then takes the answer and clears the
// state. Overwrite questions are answered synchronously by ReportStatus
// storing 1..4 in the state, which WaitForAnswer() then returns.
//
// Objects come from zero-filled global memory (operator new) and are
// deleted through the virtual destructor.
#pragma once

#include <cstddef>

#include "platform/types.h"

// Name of the answer semaphore every progress object opens.
constexpr WCHAR kWuArchiveSemaphoreName[] = u"WuArchive2.Semaphore";

class CWuArchiveProgress {
 public:
  CWuArchiveProgress();
  explicit CWuArchiveProgress(HWND owner);
  virtual ~CWuArchiveProgress();

  // Copies the item name, sets the total, clamps the done count to it and
  // reports WUARC_STATUS_ITEM_BEGUN through ReportStatus, whose result it
  // returns.
  virtual HRESULT BeginItem(LPCWSTR name, ULONGLONG total);
  // An archive failure (a WUARC_ERR_* code); the item name holds the
  // operation text. The base class ignores it and returns 0.
  virtual HRESULT ReportError(HRESULT code);
  // A WUARC_STATUS_* code. The base class ignores it and returns 0.
  virtual HRESULT ReportStatus(HRESULT code);
  // Adds to the done count; returns 0.
  virtual HRESULT AddBytes(ULONGLONG count);

  // Copies at most 259 units of text into the item name (always terminated).
  void SetFileName(LPCWSTR text);
  // While the state is WUARC_ANSWER_PENDING, waits for the answer; then
  // returns the state and clears it.
  HRESULT WaitForAnswer();
  // Stores an answer and releases the semaphore once.
  void SetAnswer(HRESULT value);
  // Sets the total and clamps the done count to it.
  void SetTotal(ULONGLONG total);

  LPCWSTR ItemName() const { return m_itemName; }
  ULONGLONG Total() const { return m_total; }
  ULONGLONG Done() const { return m_done; }
  HWND Owner() const { return m_owner; }
  // The state word as it stands (for the user-interface thread).
  HRESULT State() const;
  // Sets the state without releasing anyone (WUARC_ANSWER_PENDING before a
  // cancel question, or an answer to an overwrite question).
  void SetState(HRESULT value);

  // Zero-filled global memory; NULL when memory is exhausted.
  static void* operator new(std::size_t bytes) noexcept;
  static void operator delete(void* pointer) noexcept;

  CWuArchiveProgress(const CWuArchiveProgress&) = delete;
  CWuArchiveProgress& operator=(const CWuArchiveProgress&) = delete;

 protected:
  HANDLE m_semaphore;          // "WuArchive2.Semaphore": initial 0, maximum 1
  volatile LONG m_state;       // 0 none; 1..4 answers; pending or cancel codes
  HWND m_owner;                // owner of message boxes and dialogs, or NULL
  ULONGLONG m_total;           // bytes of the current item
  ULONGLONG m_done;            // bytes done of the current item
  WCHAR m_itemName[260];       // current item name, at most 259 units, terminated
};
