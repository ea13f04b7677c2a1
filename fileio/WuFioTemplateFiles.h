// Render template files and their folders. Every folder lies below the
// user's roaming application-data folder:
//   <appdata>/Orvo/Render Templates/<class folder>/   ".wut2" files, one per template
//   <appdata>/Orvo/Render Templates/Last Used/        "<AppName>-<class folder><suffix>.wut2"
//   <appdata>/Orvo/File Templates/<plug-in>/<class id>/   legacy ".wut" files
// The class folder is the renderer class's template folder text (its text
// kind 1), lower-cased and made a valid file name; a text that is empty or
// only dots is refused, so no file lands outside the class's folder.
//
// Folder functions return 0 when the folder exists, 1 when it does not (the
// path is still produced), 0x8004E03C when it does not fit the buffer, or
// the failure of the renderer class or manager as it came.
#pragma once

#include "fileio/WuFileIO.h"
#include "platform/kernel/types.h"

// Text kind of a renderer class's template folder name (GetStrings).
constexpr DWORD WUFIO_TEXT_TEMPLATE_FOLDER = 1;

// The class folder name into `out` (260 characters). 0x8004E00B when the
// class gives an empty name or one of dots only.
HRESULT WuFio_GetTemplateClassFolderName(IWuRenderFileClass* cls, LPWSTR out);
// "<appdata>/Orvo/<kind>/<sub>/" into `out`.
HRESULT WuFio_GetTemplateFolder(LPCWSTR kind, LPCWSTR sub, LPWSTR out, DWORD size);
// The class's "Render Templates" folder.
HRESULT WuFio_GetRenderTemplateFolder(IWuRenderFileClass* cls, LPWSTR out, DWORD size);
// The class's "File Templates" folder of legacy files.
HRESULT WuFio_GetLegacyTemplateFolder(IWuRenderFileClass* cls, LPWSTR out, DWORD size);
// The last-used file of the class and `suffix` (NULL: none), its folder
// created on request.
HRESULT WuFio_GetLastUsedTemplatePath(IWuRenderFileClass* cls, LPCWSTR suffix, LPWSTR out,
                                      DWORD size, BOOL createFolder);
// The file of a user template: the last-used path (empty suffix) for an
// empty name or the "(Untitled)" text in any letter case, else the class's
// folder (created on request), the name cut to 255 characters and made a
// valid file name, and ".wut2".
HRESULT WuFio_GetUserTemplateFilePath(IWuRenderFileClass* cls, LPCWSTR name, LPWSTR out,
                                      DWORD size, BOOL createFolder);

// One record from a stream's current position: generation 1 is read and
// lifted (with `cls` when given), others must state a size in
// 536..0x02000000. 0x8004E00B for short or bad records and generations
// above `highestVersion`'s or 2.
HRESULT WuFio_LoadTemplateData(tagWUTEMPLATExV2** out, IStream* stream, DWORD highestVersion,
                               IWuRenderFileClass* cls);
// A whole open file as one record, checked: 0x8004E00B for a file that is
// empty or above 0x02000000 bytes, shorter than 540 bytes or than its
// stated size, of version 0x00FFFFFF or less, or (generation 2) with sizes
// that do not fit or block sizes other than 0 and 200; 0x8004E008 when the
// read fails. A generation-1 record comes back as it stands, for lifting.
HRESULT WuFio_LoadTemplateData(tagWUTEMPLATExV2** out, HANDLE file);
// A template file, generation-1 content lifted. 0x8004E007 when the file
// cannot be opened.
HRESULT WuFio_LoadRawUserTemplate(IWuRenderFileClass* cls, LPCWSTR path,
                                  tagWUTEMPLATExV2** out);
// Template number `number` counting the class's presets first: number k
// at or past the preset count is file k - count of the legacy folder in
// listing order. E_UNEXPECTED when there is no such file.
HRESULT WuFio_LoadRawLegacyTemplate(IWuRenderFileClass* cls, LONG number,
                                    tagWUTEMPLATExV2** out);
// Writes a record (its total size in bytes) as the whole file `path`: the
// bytes go to a new file beside it that replaces it once written whole, so
// a failed or short write leaves an existing file as it was. `overwrite`
// FALSE fails on an existing file. Failures are converted Win32 errors.
HRESULT WuFio_WriteTemplateFile(LPCWSTR path, const tagWUTEMPLATExV2* record, BOOL overwrite);
// The last-used template of the class and `suffix`: write (creating the
// folder; `overwrite` FALSE fails on an existing file), load, delete
// (0x8004E00A when the file cannot be deleted).
HRESULT WuFio_SaveAppLastUsedTemplate(IWuRenderFileClass* cls, const tagWUTEMPLATExV2* record,
                                      LPCWSTR suffix, BOOL overwrite);
HRESULT WuFio_LoadAppLastUsedTemplate(IWuRenderFileClass* cls, LPCWSTR suffix,
                                      tagWUTEMPLATExV2** out);
HRESULT WuFio_DeleteAppLastUsedTemplate(IWuRenderFileClass* cls, LPCWSTR suffix);

// Whether `name` (or `fileName` without its extension) is the "(Untitled)"
// text in any letter case.
bool WuFio_IsUntitledTemplateName(LPCWSTR name);
