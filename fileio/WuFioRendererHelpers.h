// Helpers over a renderer class: its preset bit rates, the extension and
// file-dialog texts it gives, and the step after a file-save dialog.
#pragma once

#include "fileio/WuFileIO.h"
#include "platform/kernel/types.h"

// Info-text ids of a renderer class's texts.
constexpr DWORD WUFIO_TEXT_PATTERNS = 4;     // the extension patterns, "*.a;*.b"
constexpr DWORD WUFIO_TEXT_DESCRIPTION = 5;  // the file-type description

// out[0..count) = bits per second of presets first.. (type 4, video, with
// part bit 2, audio added with bit 1; else type 3, audio), 0 for a preset
// without the part asked for or whose query fails. 1 for count 0,
// E_INVALIDARG without class or array, E_NOTIMPL without part bits; a
// failing preset stops the loop and is returned; else the last status.
HRESULT WuFio_GetBitratesForRangeOfPresets(IWuRenderFileClass* cls, LONG first, LONG count,
                                           DWORD parts, LONGLONG* out);

// The first extension pattern without its "*" (".tsr" of "*.tsr;*.ts2"),
// bounded and terminated. Returns the class's status.
HRESULT WuFio_GetDefaultRendererExtension(IWuRenderFileClass* cls, LPWSTR buffer, LONG size);
// The whole pattern list, bounded and terminated.
HRESULT WuFio_GetRendererExtensionsList(IWuRenderFileClass* cls, LPWSTR buffer, LONG size);
// A file-dialog filter pair: the description (with " (patterns)" when
// `showPatterns`), a terminator, the patterns ("*.*" without), and two
// terminators within the buffer's last two units. E_POINTER, E_INVALIDARG
// for a size below 14 characters.
HRESULT WuFio_GetRendererOpenDialogFilterString(IWuRenderFileClass* cls, LPWSTR buffer,
                                                LONG size, BOOL showPatterns);
// Lets the class's post-save interface (IWuRenderPostSave) change the path and the template in
// *record. 0 without the interface or without a template slot; otherwise
// its status, the slot and the path changed only on success (the old
// template freed unless handed back).
HRESULT WuFio_PostSaveDialog(IWuRenderFileClass* cls, HWND owner, LPWSTR path, LONG pathSize,
                             tagWUTEMPLATExV2** record);
