#include "platform/shell/shell_path.h"

#include <string>
#include <string_view>
#include <vector>

namespace {

bool IsSep(WCHAR c) { return c == u'\\' || c == u'/'; }

bool IsLetter(WCHAR c) { return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z'); }

// Whether a path starts at a root: a separator (which also begins
// "\\server\share") or a drive "X:".
bool HasRoot(std::u16string_view p) {
  return (!p.empty() && IsSep(p[0])) || (p.size() >= 2 && IsLetter(p[0]) && p[1] == u':');
}

// The path written with '/', its names folded: "." dropped, ".." removing
// the name before it.
std::u16string Canonical(std::u16string_view p) {
  std::u16string out;
  std::u16string_view rest = p;
  bool rooted = true;
  if (p.size() >= 2 && IsSep(p[0]) && IsSep(p[1])) {
    // "\\server\share": the server and share names are the root.
    out = u"/";
    rest = p.substr(2);
    for (int piece = 0; piece < 2; ++piece) {
      size_t s = 0;
      while (s < rest.size() && IsSep(rest[s])) ++s;
      rest.remove_prefix(s);
      size_t e = 0;
      while (e < rest.size() && !IsSep(rest[e])) ++e;
      if (e == 0) break;
      out += u'/';
      out += rest.substr(0, e);
      rest.remove_prefix(e);
    }
  } else if (p.size() >= 2 && IsLetter(p[0]) && p[1] == u':') {
    out = std::u16string(p.substr(0, 2)) + u'/';
    rest = p.substr(2);
  } else if (!p.empty() && IsSep(p[0])) {
    out = u"/";
  } else {
    rooted = false;
  }

  std::vector<std::u16string_view> names;
  size_t leading_up = 0;  // ".." kept at the front of a relative path
  bool any = false;       // the text named something
  size_t i = 0;
  while (i < rest.size()) {
    while (i < rest.size() && IsSep(rest[i])) ++i;
    size_t start = i;
    while (i < rest.size() && !IsSep(rest[i])) ++i;
    if (i == start) break;
    std::u16string_view name = rest.substr(start, i - start);
    any = true;
    if (name == u".") continue;
    if (name == u"..") {
      if (names.size() > leading_up)
        names.pop_back();
      else if (!rooted) {
        names.push_back(name);
        ++leading_up;
      }
      continue;
    }
    names.push_back(name);
  }

  bool unc_root = rooted && out.size() > 1 && out[1] == u'/';
  for (size_t n = 0; n < names.size(); ++n) {
    if (n > 0 || unc_root) out += u'/';
    out += names[n];
  }
  if (!names.empty() && !rest.empty() && IsSep(rest.back())) out += u'/';
  if (!rooted && names.empty() && any) out = u".";
  return out;
}

}  // namespace

LPWSTR PathCombineW(LPWSTR dest, LPCWSTR folder, LPCWSTR more) {
  if (!dest) return nullptr;
  if (!folder && !more) {
    dest[0] = 0;
    return nullptr;
  }
  std::u16string_view f = folder ? std::u16string_view(folder) : std::u16string_view();
  std::u16string_view m = more ? std::u16string_view(more) : std::u16string_view();
  std::u16string joined;
  if (m.empty())
    joined = f;
  else if (f.empty() || HasRoot(m))
    joined = m;
  else if (IsSep(f.back()))
    joined = std::u16string(f) + std::u16string(m);  // "/" + "x" must not become "//x"
  else
    joined = std::u16string(f) + u'/' + std::u16string(m);
  std::u16string result = Canonical(joined);
  if (result.size() >= static_cast<size_t>(MAX_PATH)) {
    dest[0] = 0;
    return nullptr;
  }
  result.copy(dest, result.size());
  dest[result.size()] = 0;
  return dest;
}
