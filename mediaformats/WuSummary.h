// The INFO summary: texts keyed by four-character ids, kept in memory and
// stored as a "LIST" chunk of type "INFO" (ANSI code page texts) or "UNFO"
// (UTF-16 texts).
//
// Stored list: "LIST", size, the list type, then one chunk per item that
// has a text: the item's id, its size, the text with its terminator and a
// zero pad byte when the size is odd. INFO sizes are the ANSI byte length
// + 1; UNFO sizes are 2 x characters + 2.
//
// Memory: the item array is zero-filled movable global memory, locked; each
// text is a wide string in its own locked movable global block, or null.
// WuSummary_Free releases both.
#pragma once

#include "mediaformats/RiffBytes.h"
#include "mediaformats/RiffStatus.h"
#include "platform/kernel/types.h"

struct WuSummaryItem {
  DWORD id;     // four-character chunk id, such as "INAM"
  LPWSTR text;  // the text, or null
};

struct WuSummary {
  DWORD count;           // items in the array
  WuSummaryItem* items;  // the array, or null when there is none
};

// List types of the stored forms.
constexpr FOURCC kSummaryInfo = RiffId("INFO");
constexpr FOURCC kSummaryUnfo = RiffId("UNFO");

// Frees every text and the array: count 0, items null. Returns 0.
HRESULT WuSummary_Free(WuSummary* summary);
// Index of the first item with `id`, or RIFF_E_NOT_FOUND.
HRESULT WuSummary_GetItemIndex(const WuSummary* summary, DWORD id);
// Text of the first item with `id`, or null.
LPWSTR WuSummary_GetItemText(const WuSummary* summary, DWORD id);
// Sets, replaces or removes an item. Id 0: E_INVALIDARG. An existing item
// takes a copy of a given text (an empty text counts as given); with a null
// text an item holding a text is removed (removing the last frees the
// array) and an item without one stays. A new id is appended with a copy
// of the text or a null text. E_OUTOFMEMORY on a failed allocation.
HRESULT WuSummary_SetItem(WuSummary* summary, DWORD id, LPCWSTR text);
// Deep copy into an empty destination. E_OUTOFMEMORY leaves it empty.
HRESULT WuSummary_Copy(WuSummary* destination, const WuSummary* source);
// 1 when both hold the same texts position by position, else 0. The ids
// are not compared: two summaries with equal texts under other ids are
// equal. A null argument or different counts give 0.
int WuSummary_Compare(const WuSummary* a, const WuSummary* b);
// Merges `source` into `destination`. Move mode (move set): texts move and
// the source ends empty; items whose id the destination has replace its
// text with `replace` set and are dropped otherwise. Copy mode: new ids are
// appended as copies; existing ids go through WuSummary_SetItem with
// `replace` set (a null text then removes the item) and are skipped
// otherwise.
HRESULT WuSummary_Merge(WuSummary* destination, WuSummary* source, BOOL replace, BOOL move);
// Reads the entries of an INFO (ANSI) or UNFO (UTF-16) list. The file
// stands at the list's first entry and `bytes_left` is the entries' size.
// Order and duplicates are kept; odd sizes and texts without their
// terminator are accepted. An entry that runs past the list gives
// RIFF_E_READ. A summary with items is freed first; any failure leaves it
// empty. A list without entries gives 0 and an empty summary.
HRESULT WuSummary_Load(HANDLE file, WuSummary* summary, DWORD bytes_left);
HRESULT WuSummary_LoadUNFO(HANDLE file, WuSummary* summary, DWORD bytes_left);
// Writes the whole list at the position; *written (cleared first) receives
// the list's size + 8. An empty summary writes nothing. RIFF_E_WRITE on a
// failed write; nothing is rolled back.
HRESULT WuSummary_Save(HANDLE file, const WuSummary* summary, DWORD* written);
HRESULT WuSummary_SaveUNFO(HANDLE file, const WuSummary* summary, DWORD* written);
// Reads one INFO text: from the position, finds the "INFO" list under
// *bytes_left (null: to the end of the file), then the item `id` in it,
// and converts the item's own bytes into `buffer` (`buffer_chars`
// characters, always terminated). The position is restored on every path.
HRESULT WuSummary_GetStringFromFile(HANDLE file, DWORD id, LPWSTR buffer, DWORD buffer_chars,
                                    DWORD* bytes_left);
