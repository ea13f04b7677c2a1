// Entry-name patterns of the extract, size, validate, delete and add calls.
//
//   "*.*"        matches every name;
//   "*" + text   names (or their file-name parts) that end with text;
//   text + "*"   names (or their file-name parts) that begin with text;
//   anything else (no "*", or a "*" in another place) is an exact name:
//                the whole name or its file-name part, and the search
//                stops at the first match.
// Comparisons ignore case. A pattern of one character or none is refused.
#pragma once

#include "platform/kernel/types.h"

enum class ArcPatternKind {
  kAll,     // "*.*"
  kSuffix,  // "*text"
  kPrefix,  // "text*"
  kExact,   // a name
};

struct tARCPATTERN {
  ArcPatternKind kind;  // how the text is matched
  LPCWSTR text;         // the text without its "*" (points into the pattern)
  int length;           // units of text
};

// False for a null pattern or one of at most one character.
bool ArcParsePattern(LPCWSTR pattern, tARCPATTERN* out);
bool ArcPatternMatches(const tARCPATTERN& pattern, LPCWSTR name);
