// Symbolic links moved as links.
#include "platform/kernel/links.h"

#include <string_view>

#include "platform/kernel/files_internal.h"

namespace {

// The names of an absolute path, in order.
std::vector<std::string_view> NamesOf(std::string_view path) {
  std::vector<std::string_view> names;
  while (!path.empty()) {
    size_t slash = path.find('/');
    std::string_view name = path.substr(0, slash);
    if (!name.empty()) names.push_back(name);
    if (slash == std::string_view::npos) break;
    path.remove_prefix(slash + 1);
  }
  return names;
}

// The text of a link in the folder `to` that names what the relative
// `text` names when read in the folder `from`. Both folders are as they lie
// on disk (no links in them), so ".." from one of them is its parent and a
// climb down into a folder is undone by a ".." that follows it. The rest of
// `text` is kept as written: links met in it are read as before.
std::string RetargetRelative(std::string_view text, std::string_view from, std::string_view to) {
  std::vector<std::string_view> here = NamesOf(to);
  std::vector<std::string_view> there = NamesOf(from);
  size_t common = 0;
  while (common < here.size() && common < there.size() && here[common] == there[common])
    ++common;
  std::vector<std::string_view> down(there.begin() + static_cast<std::ptrdiff_t>(common),
                                     there.end());
  for (;;) {
    size_t slash = text.find('/');
    std::string_view first = text.substr(0, slash);
    if (first == "." || (slash == 0 && !text.empty())) {
      // "./" or an extra '/' adds nothing.
    } else if (first == ".." && !down.empty()) {
      down.pop_back();
    } else {
      break;
    }
    text.remove_prefix(slash == std::string_view::npos ? text.size() : slash + 1);
  }
  std::string out;
  for (size_t i = common; i < here.size(); ++i) out += "../";
  for (std::string_view name : down) {
    out += name;
    out += '/';
  }
  out += text;
  while (out.size() > 1 && out.back() == '/') out.pop_back();
  return out.empty() ? std::string(".") : out;
}

DWORD FolderError(int err, const std::string& path) {
  return err == ENOENT || err == ENOTDIR ? ERROR_PATH_NOT_FOUND : PathError(err, path);
}

}  // namespace

namespace platform {

BOOL MoveSymbolicLink(LPCWSTR existing, LPCWSTR target) {
  return Guarded<BOOL>(FALSE, [&]() -> BOOL {
    std::string from, to;
    if (!MapLastName(existing, &from) || !MapName(target, &to)) return FALSE;
    to = WithoutTrailingSlashes(std::move(to));
    struct stat link;
    if (lstat(from.c_str(), &link) != 0) return Fail(PathError(errno, from));
    if (!S_ISLNK(link.st_mode)) return Fail(ERROR_INVALID_PARAMETER);
    std::string text;
    if (int err = ReadLinkText(from, &text)) return Fail(PathError(err, from));
    struct stat folder;
    if (stat(ParentOf(to).c_str(), &folder) != 0) return Fail(FolderError(errno, ParentOf(to)));
    if (!S_ISDIR(folder.st_mode)) return Fail(ERROR_PATH_NOT_FOUND);
    // A link is moved within its file system only, as a folder is renamed.
    if (folder.st_dev != link.st_dev) return Fail(ERROR_NOT_SAME_DEVICE);

    std::string moved = text;
    if (text.empty() || text[0] != '/') {
      std::string there = RealPathOf(ParentOf(from));
      if (there.empty()) return Fail(FolderError(errno, ParentOf(from)));
      std::string here = RealPathOf(ParentOf(to));
      if (here.empty()) return Fail(FolderError(errno, ParentOf(to)));
      moved = RetargetRelative(text, there, here);
    }
    if (moved == text) {
      if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return TRUE;
      return Fail(errno == EEXIST ? ERROR_ALREADY_EXISTS : PathError(errno, to));
    }
    // The link is made anew with its new text, then the old one goes; when
    // it cannot go, the new one goes again.
    if (symlink(moved.c_str(), to.c_str()) != 0)
      return Fail(errno == EEXIST ? ERROR_ALREADY_EXISTS : PathError(errno, to));
    if (lchown(to.c_str(), link.st_uid, link.st_gid) != 0) {
      // Only root may give it the old owner; it stays the caller's.
    }
    const struct timespec times[2] = {link.st_atim, link.st_mtim};
    utimensat(AT_FDCWD, to.c_str(), times, AT_SYMLINK_NOFOLLOW);
    if (unlink(from.c_str()) != 0) {
      int err = errno;
      unlink(to.c_str());
      return Fail(PathError(err, from));
    }
    return TRUE;
  });
}

}  // namespace platform
