// Profile files: "[section]" headers followed by "key=value" lines.
//
// Reading:
// - Section and key names are compared without regard to case. Names and
//   values are trimmed of spaces and tabs; a value enclosed in a matching
//   pair of double or single quotes loses them. A line starting with ';' is
//   a comment. A line without '=' inside a section is a key with an empty
//   value. Lines before the first section belong to no section.
// - A section that appears twice is one section: lookups search every part
//   of it in file order.
// - Files in UTF-8 (with or without a byte-order mark), UTF-16 with a mark
//   (little- or big-endian) and, when the bytes are not valid UTF-8, the
//   ANSI code page are read.
//
// Writing:
// - A file keeps its encoding and its line ends, and every line that is not
//   changed stays as it was. A new file is UTF-8 without a byte-order mark
//   with "\r\n" line ends, as the platform writes them. An ANSI file that
//   would lose characters of a new text is rewritten as UTF-8 with a mark.
// - A changed file is written whole to a temporary file next to it and
//   renamed over it; a file without write permission bits (read-only) is
//   never changed: the call fails with ERROR_ACCESS_DENIED.
// - Texts that could not be read back as written are refused with
//   ERROR_INVALID_PARAMETER instead of corrupting the file: a line break in
//   any text, '=' in a key, ']' in a section name, an empty section or key
//   name.
//
// A file name without a folder names a file in the Windows folder
// (CSIDL_WINDOWS, platform/shell/shell.h); other paths go through
// platform::ToLinuxPath. The user's own profile is "win.ini" there.
#pragma once

#include <string>

#include "platform/kernel/types.h"

// Copies a value, or the default (NULL: empty) when the file, the section
// or the key is missing, and returns the characters copied; a text that
// does not fit is cut to size - 1 characters. With `section` NULL the names
// of all sections, with `key` NULL the keys of the section, are copied as a
// list: each name terminated, the list ended by one more terminator; a list
// that does not fit is cut, ends with two terminators and gives size - 2.
DWORD GetPrivateProfileStringW(LPCWSTR section, LPCWSTR key, LPCWSTR default_value,
                               LPWSTR buffer, DWORD size, LPCWSTR file);
// A value read as a number: decimal, or hexadecimal after "0x"; a leading
// sign; reading stops at the first character that is not a digit. Missing
// or empty: the default.
UINT GetPrivateProfileIntW(LPCWSTR section, LPCWSTR key, INT default_value, LPCWSTR file);
// The "key=value" lines of a section as a list (see above).
DWORD GetPrivateProfileSectionW(LPCWSTR section, LPWSTR buffer, DWORD size, LPCWSTR file);
DWORD GetPrivateProfileSectionNamesW(LPWSTR buffer, DWORD size, LPCWSTR file);

// Sets a value, creating the file and the section when missing. A NULL
// value deletes the key; a NULL key deletes the section.
BOOL WritePrivateProfileStringW(LPCWSTR section, LPCWSTR key, LPCWSTR value, LPCWSTR file);
// Replaces all lines of a section with the list given ("key=value" texts,
// each terminated, one more terminator at the end). NULL deletes it.
BOOL WritePrivateProfileSectionW(LPCWSTR section, LPCWSTR lines, LPCWSTR file);

// The same over the user's profile "win.ini".
DWORD GetProfileStringW(LPCWSTR section, LPCWSTR key, LPCWSTR default_value, LPWSTR buffer,
                        DWORD size);
UINT GetProfileIntW(LPCWSTR section, LPCWSTR key, INT default_value);
BOOL WriteProfileStringW(LPCWSTR section, LPCWSTR key, LPCWSTR value);

namespace platform {

// Reads one value of a profile file named by its Linux path; FALSE when the
// file, section or key is missing.
bool ReadProfileValue(const std::string& linux_file, std::u16string_view section,
                      std::u16string_view key, std::u16string* value);
// Sets (or with `value` NULL deletes) one value of a profile file named by
// its Linux path. Returns ERROR_SUCCESS or a Win32 error number.
DWORD WriteProfileValue(const std::string& linux_file, std::u16string_view section,
                        std::u16string_view key, const std::u16string* value);

// Answers the Linux path of the Windows folder (CSIDL_WINDOWS), made when
// `create` is set; "/" stands for the file system's root.
typedef std::string (*WindowsFolderQuery)(bool create);

// Registers where bare profile names are looked for. The special folders
// live in the shell area above this one, which registers the query when the
// program starts (platform/shell/shell_hooks.cpp); until then bare names are
// looked for in the file system's root.
void SetWindowsFolderQuery(WindowsFolderQuery query);

}  // namespace platform
