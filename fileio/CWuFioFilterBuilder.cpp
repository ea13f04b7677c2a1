#include "fileio/CWuFioFilterBuilder.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "fileio/CWuFileIOManager.h"
#include "fileio/WuFioPluginRecord.h"
#include "foundation/WuList.h"
#include "platform/kernel/locale.h"
#include "platform/kernel/threads.h"

namespace {

// A class id private to this library: QueryInterface answers it with the
// builder object itself (a reference added).
constexpr IID IID_CWuFioFilterBuilder = {0x2F6C8E41, 0x9B7D, 0x4A30,
                                         {0x8C, 0x15, 0x6E, 0xA2, 0x3D, 0x47, 0xB9, 0x0E}};

// The non-empty items of a ";"-separated text.
std::vector<std::u16string> SplitPatterns(const std::u16string& text) {
  std::vector<std::u16string> out;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find(u';', start);
    if (end == std::u16string::npos) end = text.size();
    if (end > start) out.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return out;
}

bool Unlisted(const std::u16string& pattern) {
  return pattern.find(u"*.*") == std::u16string::npos &&
         pattern.find(u'?') == std::u16string::npos;
}

// Whether `pattern` already occurs in `list` followed by ";" or the end.
bool Contains(const std::u16string& list, const std::u16string& pattern) {
  for (size_t at = list.find(pattern); at != std::u16string::npos;
       at = list.find(pattern, at + 1)) {
    size_t end = at + pattern.size();
    bool starts = at == 0 || list[at - 1] == u';';
    if (starts && (end == list.size() || list[end] == u';')) return true;
  }
  return false;
}

void CopyCut(WCHAR* out, size_t room, const std::u16string& text) {
  size_t n = std::min(text.size(), room - 1);
  std::memcpy(out, text.data(), n * sizeof(WCHAR));
  out[n] = 0;
}

}  // namespace

CWuFioFilterBuilder* CWuFioFilterBuilder::Create(CWuFileIOManager* manager) {
  return new (std::nothrow) CWuFioFilterBuilder(manager);
}

CWuFioFilterBuilder::CWuFioFilterBuilder(CWuFileIOManager* manager) : manager_(manager) {
  if (manager_) manager_->AddRef();
}

CWuFioFilterBuilder::~CWuFioFilterBuilder() {
  if (manager_) manager_->Release();
}

void CWuFioFilterBuilder::DeletingDestructor(LONG flags) {
  if (flags & 1) {
    delete this;
    return;
  }
  this->~CWuFioFilterBuilder();
}

HRESULT CWuFioFilterBuilder::QueryInterface(REFIID iid, void** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  if (IsEqualGUID(iid, IID_IWuFioFilterBuilder2) || IsEqualGUID(iid, IID_IUnknown) ||
      IsEqualGUID(iid, IID_CWuFioFilterBuilder)) {
    *object = static_cast<IWuFioFilterBuilder2*>(this);
    AddRef();
    return S_OK;
  }
  if (!manager_) return E_NOINTERFACE;
  return manager_->QueryInterface(iid, object);
}

ULONG CWuFioFilterBuilder::AddRef() {
  return static_cast<ULONG>(InterlockedIncrement(&references_));
}

ULONG CWuFioFilterBuilder::Release() {
  LONG seen = __atomic_load_n(&references_, __ATOMIC_SEQ_CST);
  while (seen > 0 && !__atomic_compare_exchange_n(&references_, &seen, seen - 1, false,
                                                  __ATOMIC_SEQ_CST, __ATOMIC_SEQ_CST)) {
  }
  if (seen > 1) return static_cast<ULONG>(seen - 1);
  if (seen == 1) DeletingDestructor(1);
  return 0;
}

// ---- Adding entries ------------------------------------------------------------------------

HRESULT CWuFioFilterBuilder::Insert(LPCWSTR patterns, LPCWSTR description, DWORD id, LONG index,
                                    DWORD flags, const GUID* firstKey, const GUID* secondKey) {
  Entry entry;
  entry.id = id;
  entry.patterns.assign(patterns ? patterns : u"");
  entry.description.assign(description ? description : u"");
  entry.flags = flags;
  if (firstKey) entry.firstKey = *firstKey;
  if (secondKey) entry.secondKey = *secondKey;
  entry.split = SplitPatterns(entry.patterns);
  if (!hasList_) entries_.reserve(static_cast<size_t>(
      (manager_ ? WuFio_PluginCount(manager_->PluginList()) : 0) + 5));
  hasList_ = true;
  if (index < 0 || static_cast<size_t>(index) >= entries_.size()) {
    entries_.push_back(std::move(entry));
  } else {
    entries_.insert(entries_.begin() + index, std::move(entry));
  }
  state_ |= 3;
  return S_OK;
}

HRESULT CWuFioFilterBuilder::AddEntry(LPCWSTR patterns, LPCWSTR description, DWORD id,
                                      LONG index, DWORD flags, const GUID* firstKey) {
  return Insert(patterns, description, id, index, flags, firstKey, nullptr);
}

HRESULT CWuFioFilterBuilder::AddTypes(const GUID* selection, LONG count, LONG kind, DWORD flags,
                                      bool anyKind) {
  tWULIST* list = manager_ ? manager_->PluginList() : nullptr;
  LONG n = WuFio_PluginCount(list);
  bool include = (flags & WUFIO_FILTER_INCLUDE) != 0;
  auto present = [](const WUFIO_PLUGIN_RECORD* record, const WUFIO_CLASS_PART& part,
                    DWORD access) {
    return (record->access & access) && WuFio_PartState(&part) != WUFIO_CLASS_UNAVAILABLE;
  };
  for (LONG i = 0; i < n; ++i) {
    const WUFIO_PLUGIN_RECORD* record = WuFio_PluginAt(list, i);
    if (!record || (record->flags & WUFIO_PLUGIN_UNUSABLE)) continue;
    const WUFIO_CLASS_PART& part = kind == 32 ? record->renderer : record->reader;
    DWORD access = kind == 32 ? WUFIO_ACCESS_RENDERER : WUFIO_ACCESS_READER;
    if (!present(record, part, access)) continue;
    if (!part.extensions || !part.extensions[0]) continue;
    if (count > 0 && selection) {
      bool found = false;
      for (LONG s = 0; s < count && !found; ++s) {
        found = WuFio_GuidMatches10(part.classId, selection[s]) ||
                WuFio_GuidMatches10(record->classId, selection[s]);
      }
      if (found != include) continue;
    }
    bool equal = (record->classFlags & mask_) == value_;
    if (equal == invert_) continue;
    if (!anyKind && requiredKind_ != 0) {
      const WUFIO_CLASS_PART& other = requiredKind_ == 32 ? record->renderer : record->reader;
      DWORD otherAccess = requiredKind_ == 32 ? WUFIO_ACCESS_RENDERER : WUFIO_ACCESS_READER;
      if (!present(record, other, otherAccess)) continue;
    }
    LPCWSTR description = record->dialogName && record->dialogName[0] ? record->dialogName
                                                                       : record->name;
    HRESULT hr = Insert(part.extensions, description, static_cast<DWORD>(part.key), -1, 0,
                        &part.classId, &record->classId);
    if (FAILED(hr)) return hr;
  }
  return S_OK;
}

HRESULT CWuFioFilterBuilder::AddFileTypes(const GUID* selection, LONG count, LONG kind,
                                          DWORD flags) {
  return AddTypes(selection, count, kind, flags, false);
}

HRESULT CWuFioFilterBuilder::AddFileTypesAnyKind(const GUID* selection, LONG count, LONG kind,
                                                 DWORD flags) {
  return AddTypes(selection, count, kind, flags, true);
}

HRESULT CWuFioFilterBuilder::AddAllPatternsEntry(LPCWSTR description, DWORD id, LONG index,
                                                 DWORD flags, const GUID* firstKey) {
  return AddAllPatternsEntryEx(description, id, index, flags, firstKey, nullptr, 0);
}

HRESULT CWuFioFilterBuilder::AddAllPatternsEntryEx(LPCWSTR description, DWORD id, LONG index,
                                                   DWORD flags, const GUID* firstKey,
                                                   const GUID* selection, LONG count) {
  bool include = (flags & WUFIO_FILTER_INCLUDE) != 0;
  std::u16string all = BuildPatterns(
      [&](const Entry& e) { return Passes(e, selection, count, include); },
      (flags & WUFIO_FILTER_CAP_260) ? 260 : static_cast<size_t>(-1));
  return AddEntry(all.c_str(), description, id, index, flags, firstKey);
}

// ---- Selection -----------------------------------------------------------------------------

HRESULT CWuFioFilterBuilder::SetClassFilter(BOOL exact, DWORD value) {
  if (exact) {
    mask_ = 0xFFFFFFFF;
    value_ = value;
    invert_ = false;
  } else {
    mask_ = value;
    value_ = 0;
    invert_ = value != 0;
  }
  return S_OK;
}

HRESULT CWuFioFilterBuilder::SetClassMask(DWORD mask, DWORD value, DWORD invert) {
  mask_ = mask;
  value_ = value;
  invert_ = (invert & 1) != 0;
  return S_OK;
}

HRESULT CWuFioFilterBuilder::SetRequiredKind(LONG kind) {
  requiredKind_ = kind == 16 || kind == 32 ? kind : 0;
  return S_OK;
}

HRESULT CWuFioFilterBuilder::SetPatternMode(BOOL on) {
  DWORD bit = (on & 1) ? 0x10 : 0;
  if ((state_ & 0x10) != bit) state_ = (state_ & ~0x10u) | bit | 1;
  return S_OK;
}

bool CWuFioFilterBuilder::Passes(const Entry& entry, const GUID* selection, LONG count,
                                 bool include) const {
  if (count <= 0 || !selection) return true;
  bool found = false;
  for (LONG i = 0; i < count && !found; ++i) {
    found = WuFio_GuidMatches10(entry.firstKey, selection[i]) ||
            WuFio_GuidMatches10(entry.secondKey, selection[i]);
  }
  return found == include;
}

void CWuFioFilterBuilder::Mark(const GUID* selection, LONG count, bool include) {
  if (count <= 0 || !selection) {
    ClearMarks();
    return;
  }
  for (Entry& e : entries_) {
    if (!Passes(e, selection, count, include)) {
      e.flags |= WUFIO_FILTER_LEFT_OUT;
    } else if (include) {
      e.flags &= ~WUFIO_FILTER_LEFT_OUT;
    }
  }
}

void CWuFioFilterBuilder::ClearMarks() {
  for (Entry& e : entries_) e.flags &= ~WUFIO_FILTER_LEFT_OUT;
}

HRESULT CWuFioFilterBuilder::SelectEntries(const GUID* selection, LONG count, DWORD,
                                           DWORD flags) {
  bool include = (flags & WUFIO_FILTER_INCLUDE) != 0;
  if (flags & WUFIO_FILTER_MARK) {
    Mark(selection, count, include);
    return S_OK;
  }
  if (count > 0 && selection) {
    std::erase_if(entries_, [&](const Entry& e) { return !Passes(e, selection, count, include); });
  }
  state_ |= 3;
  return S_FALSE;
}

HRESULT CWuFioFilterBuilder::Sort(BOOL descending) {
  std::stable_sort(entries_.begin(), entries_.end(), [&](const Entry& a, const Entry& b) {
    int order = lstrcmpiW(a.description.c_str(), b.description.c_str());
    return descending ? order > 0 : order < 0;
  });
  state_ |= 3;
  return S_OK;
}

HRESULT CWuFioFilterBuilder::Clear() {
  entries_.clear();
  entries_.shrink_to_fit();
  hasList_ = false;
  state_ |= 1;
  return S_OK;
}

// ---- Entries -------------------------------------------------------------------------------

HRESULT CWuFioFilterBuilder::GetEntryCount(LONG* count) {
  if (!count) return E_POINTER;
  *count = static_cast<LONG>(entries_.size());
  return hasList_ ? S_OK : E_FAIL;
}

HRESULT CWuFioFilterBuilder::GetEntry(WUFIO_FILTER_ENTRY* out, LONG index) {
  if (!out) return E_POINTER;
  if (index < 0 || static_cast<size_t>(index) >= entries_.size()) return E_FAIL;
  const Entry& e = entries_[static_cast<size_t>(index)];
  std::memset(out, 0, sizeof(*out));
  out->key = e.firstKey;
  CopyCut(out->description, 260, e.description);
  CopyCut(out->patterns, 260, e.patterns);
  out->id = e.id;
  out->flags = e.flags;
  return S_OK;
}

HRESULT CWuFioFilterBuilder::SetEntryHidden(LONG index, BOOL hidden) {
  if (index < 0 || static_cast<size_t>(index) >= entries_.size()) return E_INVALIDARG;
  DWORD& flags = entries_[static_cast<size_t>(index)].flags;
  flags = hidden ? flags | WUFIO_FILTER_HIDDEN : flags & ~WUFIO_FILTER_HIDDEN;
  return S_OK;
}

HRESULT CWuFioFilterBuilder::FindEntryByKey(LONG* index, const GUID* key) {
  if (!index || !key) return E_POINTER;
  *index = -1;
  for (size_t i = 0; i < entries_.size(); ++i) {
    if (WuFio_GuidMatches10(entries_[i].firstKey, *key)) {
      *index = static_cast<LONG>(i);
      return S_OK;
    }
  }
  return S_FALSE;
}

std::vector<std::u16string> CWuFioFilterBuilder::VisiblePatterns() const {
  std::vector<std::u16string> out;
  for (const Entry& e : entries_) {
    if (e.flags & (WUFIO_FILTER_HIDDEN | WUFIO_FILTER_LEFT_OUT)) continue;
    for (const std::u16string& p : e.split) out.push_back(p);
  }
  return out;
}

// ---- Building the outputs ------------------------------------------------------------------

template <class Usable>
std::u16string CWuFioFilterBuilder::BuildPatterns(Usable usable, size_t capacity) const {
  std::u16string out;
  size_t rounds = 0;
  for (const Entry& e : entries_) {
    if (usable(e)) rounds = std::max(rounds, e.split.size());
  }
  for (size_t round = 0; round < rounds; ++round) {
    for (const Entry& e : entries_) {
      if (!usable(e) || round >= e.split.size()) continue;
      const std::u16string& p = e.split[round];
      if (!Unlisted(p) || Contains(out, p)) continue;
      size_t grown = out.size() + (out.empty() ? 0 : 1) + p.size();
      if (grown > capacity) return out;
      if (!out.empty()) out += u';';
      out += p;
    }
  }
  return out;
}

template <class Usable>
std::u16string CWuFioFilterBuilder::BuildFilter(Usable usable) const {
  std::u16string out;
  for (const Entry& e : entries_) {
    if (!usable(e) || e.description.empty() || e.patterns.empty()) continue;
    out += e.description;
    if (!(e.flags & WUFIO_FILTER_NO_PATTERNS)) out += u" (" + e.patterns + u")";
    out += u'\0';
    out += e.patterns;
    out += u'\0';
  }
  out += u'\0';
  return out;
}

HRESULT CWuFioFilterBuilder::RefreshPatternList(const GUID* selection, LONG count, DWORD flags) {
  if (!hasList_) return E_FAIL;
  Mark(selection, count, (flags & WUFIO_FILTER_INCLUDE) != 0);
  DWORD cap = flags & WUFIO_FILTER_CAP_260 ? 4 : 0;
  if (count != patternCount_ || (state_ & 4) != cap || (state_ & 2)) {
    auto usable = [](const Entry& e) {
      return !(e.flags & (WUFIO_FILTER_HIDDEN | WUFIO_FILTER_LEFT_OUT));
    };
    size_t needed = 2;
    for (const Entry& e : entries_) {
      if (usable(e)) needed += 2 * (e.patterns.size() + 1);
    }
    needed = needed + 4 + 2;
    if (patterns_.size() * sizeof(WCHAR) < needed) patterns_.assign(needed / sizeof(WCHAR), 0);
    size_t capacity = patterns_.size() - 1;
    if (cap) capacity = std::min<size_t>(capacity, 260);
    std::u16string text = BuildPatterns(usable, capacity);
    std::fill(patterns_.begin(), patterns_.end(), 0);
    std::copy(text.begin(), text.end(), patterns_.begin());
    patternLength_ = text.empty() ? 0 : static_cast<LONG>(text.size() + 1);
    patternCount_ = count;
    state_ = (state_ & ~6u) | cap;
  }
  ClearMarks();
  return S_OK;
}

HRESULT CWuFioFilterBuilder::RefreshFilterString(const GUID* selection, LONG count,
                                                 DWORD flags) {
  if (!hasList_) return E_FAIL;
  Mark(selection, count, (flags & WUFIO_FILTER_INCLUDE) != 0);
  if ((state_ & 1) || count != filterCount_) {
    auto usable = [](const Entry& e) {
      return !(e.flags & (WUFIO_FILTER_HIDDEN | WUFIO_FILTER_LEFT_OUT));
    };
    ids_.clear();
    for (const Entry& e : entries_) {
      if (usable(e)) ids_.push_back(e.id);
    }
    hasIds_ = true;
    std::u16string text = BuildFilter(usable);
    filter_.assign(text.begin(), text.end());
    filterLength_ = static_cast<LONG>(text.size());
    state_ &= ~1u;
    filterCount_ = count;
  }
  ClearMarks();
  return S_OK;
}

HRESULT CWuFioFilterBuilder::GetFilterString(LPWSTR buffer, DWORD* size, DWORD* ids,
                                             LONG* idCount) {
  return GetFilterStringEx(buffer, size, ids, idCount, nullptr, 0, 0);
}

HRESULT CWuFioFilterBuilder::GetFilterStringEx(LPWSTR buffer, DWORD* size, DWORD* ids,
                                               LONG* idCount, const GUID* selection, LONG count,
                                               DWORD flags) {
  if (!hasList_) return E_FAIL;
  bool include = (flags & WUFIO_FILTER_INCLUDE) != 0;
  DWORD cap = flags & WUFIO_FILTER_CAP_260 ? 4 : 0;
  if (count != filterCount_ || (state_ & 4) != cap) state_ |= 1;
  auto usable = [&](const Entry& e) { return Passes(e, selection, count, include); };
  if (state_ & 1) {
    std::u16string text;
    if (state_ & 0x10) {
      text = BuildPatterns(usable, cap ? 260 : static_cast<size_t>(-1));
      std::replace(text.begin(), text.end(), u';', u'\0');
      text += u'\0';
      text += u'\0';
    } else {
      text = BuildFilter(usable);
    }
    filter_.assign(text.begin(), text.end());
    filterLength_ = static_cast<LONG>(text.size());
    filterCount_ = count;
    state_ = (state_ & ~5u) | cap;
  }
  HRESULT hr = S_OK;
  if (size) {
    DWORD bytes = static_cast<DWORD>(filter_.size() * sizeof(WCHAR));
    if (buffer) {
      if (*size >= bytes) {
        std::memcpy(buffer, filter_.data(), bytes);
      } else {
        hr = E_FAIL;
      }
    }
    *size = bytes;
  }
  if (idCount) {
    LONG passing = 0;
    for (const Entry& e : entries_) passing += usable(e) ? 1 : 0;
    if (ids && *idCount >= passing) {
      LONG at = 0;
      for (const Entry& e : entries_) {
        if (usable(e)) ids[at++] = e.id;
      }
    }
    *idCount = passing;
  }
  return hr;
}

// ---- Reading the outputs -------------------------------------------------------------------

HRESULT CWuFioFilterBuilder::GetLengths(LONG* filterLength, LONG* patternLength, LONG* idCount) {
  if (filterLength) *filterLength = filterLength_;
  if (patternLength) *patternLength = patternLength_;
  if (idCount) *idCount = static_cast<LONG>(ids_.size());
  return hasList_ ? S_OK : E_FAIL;
}

HRESULT CWuFioFilterBuilder::CopyFilterString(LPWSTR buffer, LONG size) {
  if (!buffer || size < 2) return E_INVALIDARG;
  size_t have = filter_.size();
  if (have == 0) {
    buffer[0] = 0;
    return S_OK;
  }
  size_t room = static_cast<size_t>(size);
  std::memcpy(buffer, filter_.data(), std::min(have, room) * sizeof(WCHAR));
  if (have > room) {
    buffer[room - 1] = 0;
    return WUFIO_E_BUFFER_TOO_SMALL;
  }
  return S_OK;
}

HRESULT CWuFioFilterBuilder::CopyIds(DWORD* ids, LONG count) {
  if (!ids || count <= 0) return E_INVALIDARG;
  for (LONG i = 0; i < count; ++i) {
    if (!hasIds_) {
      ids[i] = 0;
    } else {
      ids[i] = static_cast<size_t>(i) < ids_.size() ? ids_[static_cast<size_t>(i)]
                                                   : static_cast<DWORD>(-1);
    }
  }
  return S_OK;
}

HRESULT CWuFioFilterBuilder::CopyPatternList(LPWSTR buffer, LONG size, WCHAR separator) {
  if (!buffer || size < 2) return E_INVALIDARG;
  size_t length = patternLength_ > 0 ? static_cast<size_t>(patternLength_ - 1) : 0;
  size_t room = static_cast<size_t>(size);
  HRESULT hr = S_OK;
  size_t keep = length;
  if (length + 1 > room) {
    hr = WUFIO_E_BUFFER_TOO_SMALL;
    keep = room - 1;
    // A pattern that ends exactly at the cut stays; a partial one goes.
    if (patterns_[keep] != u';') {
      while (keep > 0 && patterns_[keep] != u';') --keep;
    }
  }
  for (size_t i = 0; i < keep; ++i) {
    WCHAR c = patterns_[i];
    buffer[i] = c == u';' ? separator : c;
  }
  buffer[keep] = 0;
  return hr;
}

LPCWSTR CWuFioFilterBuilder::GetFilterStringPointer() {
  return filter_.empty() ? nullptr : filter_.data();
}
LONG CWuFioFilterBuilder::GetFilterStringLength() { return filterLength_; }
LPCWSTR CWuFioFilterBuilder::GetPatternListPointer() {
  return patterns_.empty() ? nullptr : patterns_.data();
}
LONG CWuFioFilterBuilder::GetPatternListLength() { return patternLength_; }
const DWORD* CWuFioFilterBuilder::GetIdArray() { return hasIds_ ? ids_.data() : nullptr; }
LONG CWuFioFilterBuilder::GetIdCount() { return static_cast<LONG>(ids_.size()); }

// ---- Unique extension lists ----------------------------------------------------------------

HRESULT WuFio_BuildUniqueExtensionList(tWULIST* list, IWuFioFilterBuilder2* builder,
                                       const GUID* ids, LONG count, DWORD flags) {
  if (!list || !builder) return E_INVALIDARG;
  if (ids && count > 0) builder->SelectEntries(ids, count, 0, flags | WUFIO_FILTER_MARK);
  // Ours gives its patterns whole; another builder's come through its
  // 1,080-byte entry records.
  std::vector<std::u16string> patterns;
  void* object = nullptr;
  if (SUCCEEDED(builder->QueryInterface(IID_CWuFioFilterBuilder, &object)) && object) {
    auto* self = static_cast<CWuFioFilterBuilder*>(static_cast<IWuFioFilterBuilder2*>(object));
    patterns = self->VisiblePatterns();
    self->Release();
  } else {
    LONG entries = 0;
    if (FAILED(builder->GetEntryCount(&entries))) entries = 0;
    WUFIO_FILTER_ENTRY entry;
    for (LONG i = 0; i < entries; ++i) {
      if (FAILED(builder->GetEntry(&entry, i))) continue;
      if (entry.flags & (WUFIO_FILTER_HIDDEN | WUFIO_FILTER_LEFT_OUT)) continue;
      entry.patterns[259] = 0;
      for (std::u16string& p : SplitPatterns(entry.patterns)) patterns.push_back(std::move(p));
    }
  }
  HRESULT hr = S_OK;
  for (const std::u16string& pattern : patterns) {
    if (!Unlisted(pattern)) continue;
    std::u16string ext = pattern[0] == u'*' ? pattern.substr(1) : pattern;
    if (ext.empty()) continue;
    LONG n = list->count;
    LONG at = n;
    bool present = false;
    for (LONG i = 0; i < n; ++i) {
      int order = lstrcmpiW(ext.c_str(), static_cast<LPCWSTR>(WuList_PointerAt(list, i)));
      if (order == 0) present = true;
      if (order <= 0) {
        at = i;
        break;
      }
    }
    if (present) continue;
    hr = WuList_AllocAndInsertItem(list, ext.c_str(), (ext.size() + 1) * sizeof(WCHAR), at,
                                   nullptr);
    if (FAILED(hr)) break;
  }
  builder->SelectEntries(nullptr, 0, 0, WUFIO_FILTER_MARK);
  return hr;
}

HRESULT WuFio_BuildUniqueExtensionList(IWuFileIOMgrForApp* manager, tWULIST* list, LONG kind,
                                       DWORD classFlags, const GUID* ids, LONG count,
                                       DWORD flags) {
  if (!manager || !list) return E_INVALIDARG;
  DWORD mask = classFlags;
  DWORD value = 0;
  if (flags & 0x400) {
    flags &= ~0xC00u;
    mask = 0x0FFFFFFF;
    value = classFlags;
  } else if (classFlags != 0) {
    flags |= 0x800;
  }
  IWuFioFilterBuilder2* builder = nullptr;
  HRESULT hr = manager->CreateFilterBuilderEx(&builder, kind, mask, value, flags);
  if (FAILED(hr)) return hr;
  if (!builder) return E_FAIL;
  if (ids && count > 0) builder->SelectEntries(ids, count, 0, flags | WUFIO_FILTER_MARK);
  hr = WuFio_BuildUniqueExtensionList(list, builder, nullptr, 0, flags);
  builder->Release();
  return hr;
}
