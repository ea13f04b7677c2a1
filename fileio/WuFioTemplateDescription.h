// A render template described in a few lines of text ("Audio: 48,000 Hz,
// 16 Bit, Stereo, PCM\r\nVideo: 25 fps, 720x576, Progressive\r\n"), and the
// drop-down width of a combo box listing such texts.
#pragma once

#include "fileio/WuFileIO.h"
#include "platform/kernel/types.h"

// Describes the audio part (bit 0 of `parts`), the video part (bit 1) or
// both (0) of `tpl` into `out` of `size` characters, cut cleanly when the
// room runs out. An empty text when neither part has streams and no
// stream-format flag line applies. E_INVALIDARG for a null template or
// output or a size below 1, 0x8004E00B for a record failing its layout
// check; else 0.
HRESULT WuFio_MakeTemplateDescription(const WUTEMPLATExV2* tpl, DWORD parts, LPWSTR out,
                                      int size);

// Sets the combo box's drop-down width to its widest item in the box's
// font plus the width of a horizontal scroll arrow and 5 pixels.
void WuRefreshComboBoxDropDownWidth(HWND combo);
