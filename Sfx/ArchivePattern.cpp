// Entry-name patterns.
#include "Sfx/ArchivePattern.h"

#include "Sfx/ArchivePath.h"
#include "platform/kernel/locale.h"

namespace {

bool Equal(LPCWSTR a, int a_len, LPCWSTR b, int b_len) {
  return platform::CompareText(a, static_cast<size_t>(a_len), b, static_cast<size_t>(b_len),
                               true) == 0;
}

bool EndsWith(LPCWSTR name, const tARCPATTERN& p) {
  int n = static_cast<int>(platform::WStrLen(name));
  return n >= p.length && Equal(name + n - p.length, p.length, p.text, p.length);
}

bool BeginsWith(LPCWSTR name, const tARCPATTERN& p) {
  int n = static_cast<int>(platform::WStrLen(name));
  return n >= p.length && Equal(name, p.length, p.text, p.length);
}

bool Is(LPCWSTR name, const tARCPATTERN& p) {
  int n = static_cast<int>(platform::WStrLen(name));
  return Equal(name, n, p.text, p.length);
}

}  // namespace

bool ArcParsePattern(LPCWSTR pattern, tARCPATTERN* out) {
  int n = pattern ? static_cast<int>(platform::WStrLen(pattern)) : 0;
  if (n <= 1) return false;
  *out = {ArcPatternKind::kExact, pattern, n};
  if (n == 3 && pattern[0] == u'*' && pattern[1] == u'.' && pattern[2] == u'*')
    *out = {ArcPatternKind::kAll, pattern, 0};
  else if (pattern[0] == u'*')
    *out = {ArcPatternKind::kSuffix, pattern + 1, n - 1};
  else if (pattern[n - 1] == u'*')
    *out = {ArcPatternKind::kPrefix, pattern, n - 1};
  return true;
}

bool ArcPatternMatches(const tARCPATTERN& p, LPCWSTR name) {
  if (!name) return false;
  LPCWSTR file = ArcFileNamePart(name);
  switch (p.kind) {
    case ArcPatternKind::kAll:
      return true;
    case ArcPatternKind::kSuffix:
      return EndsWith(name, p) || EndsWith(file, p);
    case ArcPatternKind::kPrefix:
      return BeginsWith(name, p) || BeginsWith(file, p);
    case ArcPatternKind::kExact:
      return Is(name, p) || Is(file, p);
  }
  return false;
}
