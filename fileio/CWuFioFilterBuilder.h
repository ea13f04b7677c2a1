// The file-type filter builder: turns the manager's file types (or the
// caller's own entries) into a common-dialog filter string ("description
// (patterns)", terminator, patterns, terminator, ..., final terminator)
// and a ";"-separated list of unique patterns. Entries are narrowed by
// class-flag masks and by lists of class ids (matched on their first 10
// bytes), hidden, removed and sorted; outputs are rebuilt on demand.
#pragma once

#include <string>
#include <vector>

#include "fileio/WuFileIO.h"

class CWuFileIOManager;

// Entry flags.
constexpr DWORD WUFIO_FILTER_NO_PATTERNS = 0x4;     // the description is shown without patterns
constexpr DWORD WUFIO_FILTER_HIDDEN = 0x800;        // left out of every output
constexpr DWORD WUFIO_FILTER_LEFT_OUT = 0x10000000;  // left out by the current selection
// Selection and build flags.
constexpr DWORD WUFIO_FILTER_INCLUDE = 0x1;     // the selection names the entries to keep
constexpr DWORD WUFIO_FILTER_CAP_260 = 0x20;    // the pattern list stays within 260 characters
constexpr DWORD WUFIO_FILTER_MARK = 0x1000;     // SelectEntries marks instead of deleting

class CWuFioFilterBuilder final : public IWuFioFilterBuilder2 {
 public:
  // A builder on `manager` (a reference is held; NULL allowed) with a
  // reference count of 0; NULL when memory runs out.
  static CWuFioFilterBuilder* Create(CWuFileIOManager* manager);

  HRESULT QueryInterface(REFIID iid, void** object) override;
  ULONG AddRef() override;
  ULONG Release() override;
  HRESULT AddFileTypes(const GUID* selection, LONG count, LONG kind, DWORD flags) override;
  HRESULT AddFileTypesAnyKind(const GUID* selection, LONG count, LONG kind,
                              DWORD flags) override;
  HRESULT SetClassFilter(BOOL exact, DWORD value) override;
  HRESULT SetClassMask(DWORD mask, DWORD value, DWORD invert) override;
  HRESULT SetRequiredKind(LONG kind) override;
  HRESULT SetPatternMode(BOOL on) override;
  HRESULT AddEntry(LPCWSTR patterns, LPCWSTR description, DWORD id, LONG index, DWORD flags,
                   const GUID* firstKey) override;
  HRESULT AddAllPatternsEntry(LPCWSTR description, DWORD id, LONG index, DWORD flags,
                              const GUID* firstKey) override;
  HRESULT AddAllPatternsEntryEx(LPCWSTR description, DWORD id, LONG index, DWORD flags,
                                const GUID* firstKey, const GUID* selection,
                                LONG count) override;
  HRESULT Sort(BOOL descending) override;
  HRESULT GetFilterString(LPWSTR buffer, DWORD* size, DWORD* ids, LONG* idCount) override;
  HRESULT GetFilterStringEx(LPWSTR buffer, DWORD* size, DWORD* ids, LONG* idCount,
                            const GUID* selection, LONG count, DWORD flags) override;
  HRESULT Clear() override;
  HRESULT GetEntryCount(LONG* count) override;
  HRESULT GetEntry(WUFIO_FILTER_ENTRY* out, LONG index) override;
  HRESULT SetEntryHidden(LONG index, BOOL hidden) override;
  HRESULT FindEntryByKey(LONG* index, const GUID* key) override;
  HRESULT SelectEntries(const GUID* selection, LONG count, DWORD unused, DWORD flags) override;
  HRESULT RefreshFilterString(const GUID* selection, LONG count, DWORD flags) override;
  HRESULT RefreshPatternList(const GUID* selection, LONG count, DWORD flags) override;
  HRESULT GetLengths(LONG* filterLength, LONG* patternLength, LONG* idCount) override;
  HRESULT CopyFilterString(LPWSTR buffer, LONG size) override;
  HRESULT CopyIds(DWORD* ids, LONG count) override;
  HRESULT CopyPatternList(LPWSTR buffer, LONG size, WCHAR separator) override;
  LPCWSTR GetFilterStringPointer() override;
  LONG GetFilterStringLength() override;
  LPCWSTR GetPatternListPointer() override;
  LONG GetPatternListLength() override;
  const DWORD* GetIdArray() override;
  LONG GetIdCount() override;
  void DeletingDestructor(LONG flags) override;

  virtual ~CWuFioFilterBuilder();

  // Each usable pattern (neither hidden nor left out, not empty) of every
  // entry, in entry order; for the unique extension list.
  std::vector<std::u16string> VisiblePatterns() const;

 private:
  struct Entry {
    DWORD id = 0;
    std::u16string patterns;
    std::u16string description;
    DWORD flags = 0;
    GUID firstKey{};
    GUID secondKey{};
    std::vector<std::u16string> split;  // the non-empty patterns
  };

  explicit CWuFioFilterBuilder(CWuFileIOManager* manager);
  HRESULT AddTypes(const GUID* selection, LONG count, LONG kind, DWORD flags, bool anyKind);
  HRESULT Insert(LPCWSTR patterns, LPCWSTR description, DWORD id, LONG index, DWORD flags,
                 const GUID* firstKey, const GUID* secondKey);
  bool Passes(const Entry& entry, const GUID* selection, LONG count, bool include) const;
  void Mark(const GUID* selection, LONG count, bool include);
  void ClearMarks();
  // The unique pattern list of the entries `usable` accepts, at most
  // `capacity` characters.
  template <class Usable>
  std::u16string BuildPatterns(Usable usable, size_t capacity) const;
  template <class Usable>
  std::u16string BuildFilter(Usable usable) const;

  CWuFileIOManager* manager_;  // owned reference, NULL none
  LONG references_ = 0;
  bool hasList_ = false;        // an entry was added since the last Clear
  std::vector<Entry> entries_;
  DWORD state_ = 3;             // 1 filter stale, 2 patterns stale, 4 cap of the last build, 0x10 pattern mode
  LONG filterCount_ = -1;       // selection count of the current filter string
  std::vector<WCHAR> filter_;   // the filter string, final terminator included
  LONG filterLength_ = 0;
  LONG patternCount_ = -1;      // selection count of the current pattern list
  std::vector<WCHAR> patterns_;
  LONG patternLength_ = 0;
  std::vector<DWORD> ids_;
  bool hasIds_ = false;
  DWORD mask_ = 0;
  DWORD value_ = 0;
  bool invert_ = false;
  LONG requiredKind_ = 0;
};

// Adds to `list` (a tWULIST of owned items the caller created) each unique
// extension of the builder's entries that are neither hidden nor left out
// (a pattern "*.wav" gives ".wav"; "*.*" and patterns with "?" are left
// out), sorted without regard to case; the first spelling seen stays. With
// a class-id list, only the entries it selects (SelectEntries with
// `flags` | 0x1000) contribute. E_INVALIDARG without list or builder.
HRESULT WuFio_BuildUniqueExtensionList(tWULIST* list, IWuFioFilterBuilder2* builder,
                                       const GUID* ids, LONG count, DWORD flags);
// The same over the manager's file types of `kind` (16 readers, 32
// renderers): flags 0x400 matches class flags (masked with 0x0FFFFFFF)
// equal to `classFlags`, else any of the bits of `classFlags` (none given:
// every type); 0x200 requires the other kind as well, 0x100 adds no types.
// E_INVALIDARG without manager or list.
HRESULT WuFio_BuildUniqueExtensionList(IWuFileIOMgrForApp* manager, tWULIST* list, LONG kind,
                                       DWORD classFlags, const GUID* ids, LONG count,
                                       DWORD flags);
