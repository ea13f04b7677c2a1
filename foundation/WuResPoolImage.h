// Writing the image of a compiled-in resource pool (WuResPool.h): the
// entries' little-endian fields, texts and headers, for the pools that a
// library assembles from its string rows when it starts (the about box's,
// the shell UI's).
#pragma once

#include <vector>

#include "foundation/WuLangTable.h"
#include "platform/kernel/types.h"

namespace wupool {

// Appends a 16-bit or 32-bit value, little-endian.
void Put16(std::vector<BYTE>* out, WORD v);
void Put32(std::vector<BYTE>* out, DWORD v);
// Pads with zero bytes to a multiple of 4.
void Align4(std::vector<BYTE>* out);
// Appends a text and its terminating NUL unit.
void PutText(std::vector<BYTE>* out, const WCHAR* text);
// Appends one entry with ordinal type and name: its 32-byte header, then
// `data`, aligned to 4 bytes on both sides. Type 0 is the customary empty
// first entry.
void PutEntry(std::vector<BYTE>* image, WORD type, WORD name, WORD language,
              const std::vector<BYTE>& data);
// Appends the head of an extended dialog template: style, item count,
// size in dialog units, no menu, the standard class, the caption and the
// UI font (8 points, "MS Shell Dlg").
void PutDialogHead(std::vector<BYTE>* out, DWORD style, WORD items, WORD cx, WORD cy,
                   const WCHAR* caption);
// Appends the head of one item of an extended dialog template, aligned to
// 4 bytes: a visible child of `style` at (x, y), size (cx, cy), with `id`.
// Its class and text follow.
void PutItemHead(std::vector<BYTE>* out, DWORD style, SHORT x, SHORT y, SHORT cx, SHORT cy,
                 DWORD id);
// The text of a row in a column (1..17): the column's cell, else the
// first; "" when neither is a text.
const WCHAR* Column(const WuLangStringRow* row, int column);

}  // namespace wupool
