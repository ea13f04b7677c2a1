// Files, folders and paths.
#pragma once

#include <string>

#include "platform/types.h"

namespace platform {

// The Linux path (UTF-8) that a path of the library stands for: '\' and '/'
// both separate, a drive "X:" is replaced by the folder mapped to that drive
// (default "/"), and a relative path stays relative to the current folder.
std::string ToLinuxPath(LPCWSTR path);
std::string ToLinuxPath(std::u16string_view path);

// The library's form of a Linux path (UTF-16, '/' separators).
std::u16string FromLinuxPath(const std::string& path);

// The one separator that built paths use.
constexpr WCHAR kPathSeparator = u'/';

}  // namespace platform
