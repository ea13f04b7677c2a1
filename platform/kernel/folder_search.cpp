// Folder searches (FindFirstFileW and the like).
#include "platform/kernel/files.h"

#include "platform/kernel/files_internal.h"

inline namespace files_internal {

FindTable& Finds() {
  static FindTable* table = new FindTable;  // lives to process exit
  return *table;
}

// Fills a find record; FALSE when the name does not fit.
bool FillFindData(std::u16string_view name, const Facts& facts, WIN32_FIND_DATAW* data) {
  if (name.size() >= MAX_PATH) return false;
  std::memset(data, 0, sizeof *data);
  data->dwFileAttributes = facts.attributes;
  data->ftCreationTime = facts.creation;
  data->ftLastAccessTime = facts.access;
  data->ftLastWriteTime = facts.write;
  SplitSize(facts.size, &data->nFileSizeHigh, &data->nFileSizeLow);
  std::copy(name.begin(), name.end(), data->cFileName);
  return true;
}

// Lists the matches of a wildcard pattern in a folder; returns
// ERROR_SUCCESS (possibly with no entries) or the error.
DWORD ListFolder(const std::string& folder, std::u16string_view pattern,
                 std::vector<WIN32_FIND_DATAW>* out) {
  DIR* dir = opendir(folder.c_str());
  if (!dir)
    return errno == ENOENT || errno == ENOTDIR ? ERROR_PATH_NOT_FOUND : PathError(errno, folder);
  std::vector<std::pair<std::string, WIN32_FIND_DATAW>> found;
  while (struct dirent* e = readdir(dir)) {
    std::string_view name8(e->d_name);
    std::u16string name = platform::ToUtf16(name8);
    if (!platform::MatchFileName(pattern, name)) continue;
    Facts facts;
    if (FactsAt(dirfd(dir), e->d_name, name8, &facts) != 0) continue;  // vanished meanwhile
    WIN32_FIND_DATAW data;
    if (FillFindData(name, facts, &data)) found.emplace_back(std::string(name8), data);
  }
  closedir(dir);
  std::sort(found.begin(), found.end(), [](const auto& a, const auto& b) {
    int ra = DotRank(a.first), rb = DotRank(b.first);
    return ra != rb ? ra < rb : a.first < b.first;
  });
  out->reserve(found.size());
  for (auto& f : found) out->push_back(f.second);
  return ERROR_SUCCESS;
}

HANDLE FindFirstImpl(LPCWSTR pattern, LPWIN32_FIND_DATAW data) {
  if (!pattern || !data) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  std::u16string_view text(pattern);
  size_t split = text.find_last_of(u"\\/");
  bool drive_only = text.size() >= 2 && IsLetter(text[0]) && text[1] == u':';
  if (split == std::u16string_view::npos && drive_only) split = 1;  // "X:name"
  std::u16string folder_text(split == std::u16string_view::npos ? u"." : text.substr(0, split + 1));
  std::u16string_view name = split == std::u16string_view::npos ? text : text.substr(split + 1);
  if (name.empty()) {
    SetLastError(text.empty() ? ERROR_PATH_NOT_FOUND : ERROR_FILE_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  std::string folder;
  if (!MapName(folder_text.c_str(), &folder)) return INVALID_HANDLE_VALUE;

  auto state = std::make_unique<FindState>();
  if (HasWildcard(name)) {
    DWORD error = ListFolder(folder, name, &state->entries);
    if (error != ERROR_SUCCESS) {
      SetLastError(error);
      return INVALID_HANDLE_VALUE;
    }
  } else {
    std::string path = folder + (folder.back() == '/' ? "" : "/") + platform::ToUtf8(name);
    Facts facts;
    int err = FactsAt(AT_FDCWD, path.c_str(), LastName(path), &facts);
    if (err != 0) {
      SetLastError(PathError(err, path));
      return INVALID_HANDLE_VALUE;
    }
    WIN32_FIND_DATAW entry;
    if (FillFindData(name, facts, &entry)) state->entries.push_back(entry);
  }
  if (state->entries.empty()) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  *data = state->entries[0];
  state->next = 1;
  FindTable& t = Finds();
  std::lock_guard<std::mutex> guard(t.lock);
  uintptr_t value = t.next;
  t.next += 4;
  t.searches.emplace(value, std::move(state));
  SetLastError(ERROR_SUCCESS);
  return reinterpret_cast<HANDLE>(value);
}

}  // namespace files_internal
// Folder searches
// ===========================================================================

HANDLE FindFirstFileW(LPCWSTR pattern, LPWIN32_FIND_DATAW data) {
  return Guarded<HANDLE>(INVALID_HANDLE_VALUE, [&] { return FindFirstImpl(pattern, data); });
}

BOOL FindNextFileW(HANDLE find, LPWIN32_FIND_DATAW data) {
  if (!data) return Fail(ERROR_INVALID_PARAMETER);
  FindTable& t = Finds();
  std::lock_guard<std::mutex> guard(t.lock);
  auto it = t.searches.find(reinterpret_cast<uintptr_t>(find));
  if (it == t.searches.end()) return Fail(ERROR_INVALID_HANDLE);
  FindState& state = *it->second;
  if (state.next >= state.entries.size()) return Fail(ERROR_NO_MORE_FILES);
  *data = state.entries[state.next++];
  return TRUE;
}

BOOL FindClose(HANDLE find) {
  std::unique_ptr<FindState> state;
  FindTable& t = Finds();
  std::lock_guard<std::mutex> guard(t.lock);
  auto it = t.searches.find(reinterpret_cast<uintptr_t>(find));
  if (it == t.searches.end()) return Fail(ERROR_INVALID_HANDLE);
  state = std::move(it->second);
  t.searches.erase(it);
  return TRUE;
}

// ===========================================================================
