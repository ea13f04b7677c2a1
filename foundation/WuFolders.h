// Folders and groups of files: creating a folder path, deleting trees and
// files by pattern, temporary files and unique sub-folders, folder sizes and
// free disk space, the special and shared folders of the library, and
// moving or copying a folder tree with progress.
//
// Paths are parsed with '\' and '/' as separators and built with '/'.
// Working paths are held in MAX_PATH characters; longer paths are refused.
// Tree walks never enter a symbolic link to a folder (the file layer marks
// links with FILE_ATTRIBUTE_REPARSE_POINT): a link is deleted, counted or
// moved as the link it is, so nothing outside the tree is touched.
#pragma once

#include "platform/kernel/types.h"

// ---- Creating and deleting ---------------------------------------------------------
// Creates every missing folder of the path. The path must start with an
// existing root ("X:\", "\\server\share\" or "/") and hold no doubled
// separator after it. TRUE when the whole path exists as folders
// afterwards; FALSE with the last error set otherwise.
BOOL WuCreateDirectory(LPCWSTR path, void* security);
// Deletes everything in the folder (read-only entries after clearing that
// attribute, folders before they are entered), and the folder itself with
// `remove_folder`. Failures are remembered and the walk goes on; TRUE when
// nothing failed. A folder that is itself a link loses only the link (with
// `remove_folder`), whether or not its name ends in a separator. A
// read-only folder that is kept is emptied and stays read-only.
BOOL WuDeleteDirectoryTree(LPCWSTR folder, BOOL remove_folder);
// Deletes the files matching `pattern` (null: every file) in the folder
// and, with `recurse`, in every sub-folder (never in a linked one); folders
// stay, read-only ones too. A folder named through a link is searched as
// `rm link/*.txt` would. TRUE when no deletion failed.
BOOL WuDeleteFiles(LPCWSTR folder, LPCWSTR pattern, BOOL recurse);
// TRUE when the folder holds nothing but "." and "..", or cannot be
// searched; FALSE for a path of MAX_PATH characters or more.
BOOL WuIsDirectoryEmpty(LPCWSTR folder);

// ---- Fresh names ----------------------------------------------------------------------
// Creates a new empty file folder/<prefix><number><suffix> for the first
// number n = 1, 2, ... (formatted with `number_format`, default "%d") whose
// name is free, and returns its name in `out`. Any of folder, prefix and
// suffix may be null, but not all three (E_INVALIDARG, as for a null `out`
// or a name that does not fit `size`). Another error ends the search with
// the translated Win32 error; the out path is then empty.
HRESULT WuCreateTempFileAndNameEx(LPCWSTR folder, LPCWSTR prefix, LPCWSTR suffix,
                                  LPCWSTR number_format, LPWSTR out, int size);
// The same without folder (relative to the current folder), default format.
HRESULT WuCreateTempFileAndName(LPCWSTR prefix, LPCWSTR suffix, LPWSTR out, int size);
// TRUE when the path is an existing folder in which a new file can be
// created (the file is deleted again).
BOOL WuIsDirectoryWritable(LPCWSTR folder);
// The first of folder/name, folder/name1, folder/name2, ... that names
// nothing yet. `size` must be at least MAX_PATH (else E_INVALIDARG); E_FAIL
// after the number 65,536 or when the name does not fit.
HRESULT WuGetUniqueSubFolder(LPCWSTR folder, LPCWSTR name, LPWSTR out, int size);

// ---- Sizes and space -------------------------------------------------------------------
// Sum of the sizes of every file in the folder and its sub-folders (0 for a
// folder that cannot be searched). E_INVALIDARG without `bytes`.
HRESULT WuGetDirectorySize(LPCWSTR folder, ULONGLONG* bytes);
// The size of a file; 0x8004E007 (size 0) when it cannot be opened.
HRESULT WuGetFileSizeByName(LPCWSTR path, ULONGLONG* size);
// Free bytes available to the caller on the volume of the path's folder,
// divided by `unit` (0: bytes) and capped at 0xFFFFFFFF. On failure (also
// for a path without a root) 0, or 0xFFFFFFFF for a UNC path.
DWORD WuGetDiskFreeSpace(LPCWSTR path, DWORD unit);
// The same for the volume's total bytes.
DWORD WuGetDiskTotalSpace(LPCWSTR path, DWORD unit);

// Size in characters, terminator included, of a free-space text.
constexpr int WU_DISKSPACE_TEXT_MAX = 64;
// The free space of the path's volume as text in `out`
// (WU_DISKSPACE_TEXT_MAX characters), in the kernel language: in units of
// 102,400 bytes with one decimal as "$.1z Megabytes" below 10,000 units,
// else those units divided by 1,024 as "$.1z Gigabytes"; "-- Megabytes"
// for an empty path or when the space cannot be read. Returns the length.
int WuFormatDiskFreeSpace(LPCWSTR path, LPWSTR out);

// ---- Special and shared folders ------------------------------------------------------------
// The shell folder of `csidl` followed by "Orvo/<name>/<major>.<minor>/"
// when WuIsHiddenFolderByDefault holds for it, else "<name>/<major>.<minor>/";
// the folder is created. `size` at least MAX_PATH. S_OK, the shell's error,
// E_INVALIDARG (no buffer, no name, small size) or E_FAIL.
HRESULT WuGetSpecialFolderVer(LPWSTR out, int size, int csidl, LPCWSTR name, int major, int minor);
// The same without the version folder.
HRESULT WuGetSpecialFolderNoVer(LPWSTR out, int size, int csidl, LPCWSTR name);

// Indexes of the library's special shared folders.
constexpr int WU_SPECIAL_FOLDER_THEMES = 0;       // value "PellacordThemesFolder"
constexpr int WU_SPECIAL_FOLDER_TRANSITIONS = 1;  // value "AudioTransitionsFolder"

// The value "SharedComponentsFolder" of HKEY_LOCAL_MACHINE
// "Software\Talvene\Shared Information". The translated registry error
// (0x8004E00A when missing) and an empty `out` on failure.
HRESULT WuGetSharedComponentsFolder(LPWSTR out, int size);
// The index's value of the shared-information key; when it is missing, the
// shared components folder followed by the index's default folder name and
// '/'. E_INVALIDARG for an index other than 0 and 1.
HRESULT WuGetSpecialOrvoFolder(LPWSTR out, int size, int index);
// Writes the index's value (REG_SZ); 0x8004E142 when the key cannot be
// created or written.
HRESULT WuSetSpecialOrvoFolder(LPCWSTR path, int index);
// The index's default folder name ("Pellacord Themes", "Audio
// Transitions"), bounded. E_INVALIDARG for another index or no buffer.
HRESULT WuGetSpecialOrvoDefaultFolderName(LPWSTR out, int size, int index);

// ---- Moving and copying trees ----------------------------------------------------------------
// Progress of a tree copy: the caller's argument, the percentage done (0 to
// 100) and the source file just copied (null for the first call). A
// negative result is an error; 0x8004E00C cancels.
typedef HRESULT (*WuFolderProgressProc)(void* argument, double percent, LPCWSTR source_path);

// Modes of WuCopyMoveFolderTree.
constexpr int WU_TREE_MOVE = 0;   // move every file, remove the emptied folders
constexpr int WU_TREE_COPY = 1;   // copy every file, with progress
constexpr int WU_TREE_CHECK = 2;  // check that every file could be moved

// Walks `source` and moves or copies each entry into the same-named entry of
// `destination` (sub-folders are created first), or only checks each file
// (WU_TREE_CHECK: a file that cannot be opened for reading with delete
// sharing ends the walk with 0x8004E16E). `count` (may be null) counts the
// files moved or copied; `copied` (may be null) adds the bytes copied and
// `total` is the 100 % mark. Failures record 0x8004E009 and the walk goes
// on; 0x8004E00C from the callback ends it at once. Returns the first
// recorded error. After a move without error the emptied source folder is
// removed. A link to a folder inside the tree is moved as a link; it
// cannot be copied (that records 0x8004E009). A source that is itself a
// link to a folder is copied from as that folder (WU_TREE_COPY); the other
// modes do not walk it: 0x8004E009 (S_OK for WU_TREE_CHECK). A copy or
// move whose destination is the source folder or lies inside it (judged by
// the folders on disk, links on either path followed) returns 0x8004E186
// before anything is made or moved.
HRESULT WuCopyMoveFolderTree(LPCWSTR source, LPCWSTR destination, int mode, DWORD* count,
                             ULONGLONG* copied, ULONGLONG total, WuFolderProgressProc callback,
                             void* argument);
// S_OK when every file of the tree could be moved now; 0x8004E16E at the
// first that cannot.
HRESULT WuCanMoveFolder(LPCWSTR folder);
// Moves the folder `old_folder` to `new_folder`: on one volume file by file
// in place, across volumes by copying (with progress through `callback`,
// after checking the free space: 0x8004E002) and then deleting the old
// tree. S_OK at once for equal paths; 0x8004E186 when the new folder is
// the old one or lies inside it, by the path text or (for an old folder
// that is walked, not a link) by the folders on disk, links followed;
// 0x8004E00A when the old folder does not exist; E_FAIL when a root is
// missing; 0x8004E006 when the new folder cannot be created, 0x8004E009
// when it is not writable. `moved` (may be null)
// receives the number of files moved (0 after a failed copy). An old folder
// that is itself a link is moved as the link to a new name that must be
// free (0x8004E006 otherwise; 0x8004E009 across volumes) and still names
// the same folder (a relative link's text is rewritten for its new place);
// what it points at stays where it is. A failed link move leaves no new
// folders behind.
HRESULT WuMoveFolder(LPCWSTR new_folder, LPCWSTR old_folder, DWORD* moved,
                     WuFolderProgressProc callback, void* argument);

// ---- Paths fitted to a width ------------------------------------------------

// Fits `path` into `width` pixels of the DC's current font: a path without
// separator, or one that fits, is copied; otherwise the end of its folder
// part is replaced by "..." so that "..." and the rest from the last
// separator on fit ("C:\Program...\file.txt"). Every write is bounded by
// `size`; `out` must not overlap `path`. Returns 0 (E_INVALIDARG for a
// missing argument).
HRESULT WuCalcPathEllipsisEx(HDC dc, LPCWSTR path, LPWSTR out, int size, int width);
// The same with the window's font on a screen DC and the width of the
// window's client area less `margin` (at least 0). E_FAIL without a DC.
HRESULT WuCalcPathEllipsisExCtl(HWND window, LPCWSTR path, LPWSTR out, int size, int margin);
// Shortens `path` in place (from a copy of at most 1,299 characters); the
// result never grows past the path's own length. TRUE.
BOOL WuCalcPathEllipsis(HDC dc, LPWSTR path, int width);

// Formats a path for display in `width` pixels of the DC's font, into `out`
// of `size` characters, by style:
//   0 the file-name part (bounded by `size`);
//   1 the path shortened in its folder part (WuCalcPathEllipsisEx);
//   2 the file-name part, 4 the whole path: each cut to 255 characters and
//     shortened at its end with "..." (WuCalcStringEllipsis);
//   3 nothing (an empty text).
// S_OK; an empty path gives an empty text. E_INVALIDARG for a NULL path or
// output, a size below 1 or another style.
HRESULT WuFilenameFormat(HDC dc, int width, LPCWSTR path, LPWSTR out, int size, int style);
// The same with the window's font on a screen DC and the width of the
// window's client area less 4 (0 when the client area is narrower than 5).
// E_INVALIDARG for a NULL window; E_FAIL without a DC.
HRESULT WuFilenameFormatForCtl(HWND window, LPCWSTR path, LPWSTR out, int size, int style);
// The same with `font` selected into a screen DC. E_FAIL without a DC.
HRESULT WuFilenameFormatForWidth(HFONT font, int width, LPCWSTR path, LPWSTR out, int size,
                                 int style);
