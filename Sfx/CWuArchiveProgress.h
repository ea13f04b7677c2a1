// CWuArchiveProgress: the callback object through which CArchive2 reports
// progress, errors and status, and through which it receives answers
// (overwrite decisions, cancel) from another thread.
//
// The answer protocol: a user-interface thread that wants to cancel calls
// RequestCancel() (or SetState(WUARC_ANSWER_PENDING)), asks its question and
// then calls SetAnswer(WUARC_ANSWER_CANCEL or 0). The archive's thread polls
// WaitForAnswer() after every data block; while a cancel question is open it
// blocks until the answer is stored, then takes the answer and clears it.
// Overwrite questions are answered synchronously by ReportStatus storing
// 1..4 in the answer word, which WaitForAnswer() then returns.
//
// The cancel request is kept apart from the answer word, and both are
// guarded by one lock: a "continue" given to a cancel question never
// replaces an overwrite answer, and an abort is never replaced by anything
// but its taking. Each object has its own unnamed answer semaphore, so the
// answers of two objects (or two packages) never release each other.
//
// Questions the archive's thread asks itself (an overwrite question, an
// error box) are bracketed by BeginQuestion()/EndQuestion(): they wait for
// an open cancel question, and a cancel requested while they are open is
// asked only after they close, so the person is never asked two things at
// once.
//
// Objects come from zero-filled global memory (operator new) and are
// deleted through the virtual destructor.
#pragma once

#include <cstddef>

#include "platform/kernel/threads.h"
#include "platform/kernel/types.h"

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
  // While a cancel question is open, waits for its answer; then returns the
  // answer word and clears it.
  HRESULT WaitForAnswer();
  // Answers the open cancel question: WUARC_ANSWER_CANCEL stores an abort,
  // 0 (continue) leaves the answer word as it is; other values are stored
  // as answers (never over an abort). Closes the question and releases the
  // semaphore once.
  void SetAnswer(HRESULT value);
  // Sets the total and clamps the done count to it.
  void SetTotal(ULONGLONG total);

  // User-interface thread: opens a cancel question. TRUE when it may be
  // asked now; FALSE when one is already open, or when the archive's thread
  // is asking a question of its own (the cancel question is then asked
  // when EndQuestion reports it).
  BOOL RequestCancel();
  // Archive thread, before it asks the person something itself: waits
  // while a cancel question is open, then marks its own question open.
  // FALSE when the person has already chosen to abort (nothing need be
  // asked). Always followed by EndQuestion.
  BOOL BeginQuestion();
  // Closes the archive thread's question and stores its answer (0: none;
  // never over an abort). TRUE when a cancel was requested meanwhile and
  // must now be asked (its answer then comes through SetAnswer).
  BOOL EndQuestion(HRESULT answer);

  LPCWSTR ItemName() const { return m_itemName; }
  ULONGLONG Total() const { return m_total; }
  ULONGLONG Done() const { return m_done; }
  HWND Owner() const { return m_owner; }
  // The answer word as it stands; WUARC_ANSWER_PENDING while a cancel
  // question is open.
  HRESULT State() const;
  // WUARC_ANSWER_PENDING opens a cancel question (as RequestCancel); any
  // other value is stored as the answer (never over an abort), without
  // releasing anyone.
  void SetState(HRESULT value);

  // Zero-filled global memory; NULL when memory is exhausted.
  static void* operator new(std::size_t bytes) noexcept;
  static void operator delete(void* pointer) noexcept;

  CWuArchiveProgress(const CWuArchiveProgress&) = delete;
  CWuArchiveProgress& operator=(const CWuArchiveProgress&) = delete;

 protected:
  HANDLE m_semaphore;          // private answer semaphore: initial 0, maximum 1
  LONG m_state;                // answer word: 0 none, 1..4 answers, abort (guarded)
  HWND m_owner;                // owner of message boxes and dialogs, or NULL
  ULONGLONG m_total;           // bytes of the current item
  ULONGLONG m_done;            // bytes done of the current item
  WCHAR m_itemName[260];       // current item name, at most 259 units, terminated
  mutable CRITICAL_SECTION m_lock;  // guards the answer word and the two flags
  BOOL m_cancelPending;        // a cancel question is open (or waits to be asked)
  BOOL m_asking;               // the archive's thread asks a question of its own

 private:
  // With the lock held: waits (releasing it) while a cancel question is open.
  void WaitWhilePendingLocked();
  // Stores an answer unless an abort is stored; with the lock held.
  void StoreAnswerLocked(HRESULT value);
};
