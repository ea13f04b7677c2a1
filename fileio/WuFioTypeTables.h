// The file-I/O manager's fixed class-id tables: which reader classes are
// tried for an identified file type, the order of the reader and renderer
// lists, and the plug-in classes that are never used. The ids name plug-in
// classes that live outside this library; the tables fix only which ids are
// tried and in which order.
//
// Class ids are compared whole (all 16 bytes).
#pragma once

#include <span>

#include "platform/kernel/types.h"

// One row of a type table: a type code and a reader class tried for it.
struct WuFioTypeRow {
  DWORD code;          // WUFILEID_IDENTIFIED_TYPE value (table A) or 0x6000 and above (table B)
  GUID readerClassId;  // the reader class asked for files of that type
};

// Row and id counts.
constexpr int kWuFioTypeTableARows = 90;
constexpr int kWuFioTypeTableBRows = 8;
constexpr int kWuFioReaderPriorityCount = 44;
constexpr int kWuFioReaderLowCount = 5;
constexpr int kWuFioRendererPriorityCount = 21;
constexpr int kWuFioRendererLowCount = 2;
constexpr int kWuFioBlockedCount = 18;
constexpr int kWuFioAlwaysRefreshedCount = 3;

// Type table A: the codes of quick identification (mediaformats/WuFileId.h),
// walked in row order. Type table B: codes 0x6000 and above, asked for by
// code only.
extern const WuFioTypeRow g_wuFioTypeTableA[];
extern const WuFioTypeRow g_wuFioTypeTableB[];

// Plug-in class ids that order the lists, highest priority first, and the
// low lists that go after every unlisted id.
extern const GUID g_wuFioReaderPriorityList[];
extern const GUID g_wuFioReaderLowList[];
extern const GUID g_wuFioRendererPriorityList[];
extern const GUID g_wuFioRendererLowList[];
// Plug-in class ids whose classes are never used.
extern const GUID g_wuFioBlockedList[];
// Plug-in class ids whose cached description is renewed at every start
// unless their flags value has bit 1.
extern const GUID g_wuFioAlwaysRefreshedList[];

// The dependent plug-in classes, which need the class
// CLSID_WuFioRequiredByDependents to be installed and loaded first.
inline constexpr CLSID CLSID_WuFioDependentA = {
    0x341D000D, 0x95CA, 0x458A, {0xAC, 0x65, 0x00, 0xAA, 0x00, 0x6B, 0xA2, 0xBA}};
inline constexpr CLSID CLSID_WuFioDependentB = {
    0x34EFD06F, 0xE6D9, 0x4712, {0x8C, 0x22, 0x00, 0xAA, 0x00, 0x6B, 0xA2, 0xBA}};
inline constexpr CLSID CLSID_WuFioRequiredByDependents = {
    0xAEB1C9FC, 0x78EA, 0x4AB1, {0xAA, 0xE7, 0x00, 0xAA, 0x00, 0x6B, 0xA2, 0xBA}};

// The tables as spans.
std::span<const WuFioTypeRow> WuFio_TypeTableA();
std::span<const WuFioTypeRow> WuFio_TypeTableB();
std::span<const GUID> WuFio_ReaderPriorityList();
std::span<const GUID> WuFio_ReaderLowList();
std::span<const GUID> WuFio_RendererPriorityList();
std::span<const GUID> WuFio_RendererLowList();
std::span<const GUID> WuFio_BlockedList();
std::span<const GUID> WuFio_AlwaysRefreshedList();

// The rows a code's walk takes: rows are skipped up to the first row with
// the code, then taken while the code stays the same; the first row with
// another code ends the walk, so later rows of the same code are never
// reached. Empty when no row has the code. A row's number in its table is
// its pointer minus the table's data().
std::span<const WuFioTypeRow> WuFio_TypeRowsOfCode(std::span<const WuFioTypeRow> table,
                                                   DWORD code);

// The position of an id in a list, counting from 0; -1 when absent.
int WuFio_ListPosition(std::span<const GUID> list, const GUID& id);

// The place of a plug-in class id in the reader (or renderer) ordering:
// position p of the priority list gives 44 - p (21 - p for renderers),
// position p of the low list -1 - p, any other id 0. Higher goes first.
int WuFio_ReaderPriority(const GUID& pluginClassId);
int WuFio_RendererPriority(const GUID& pluginClassId);

// Whether a plug-in class id is on the blocked list.
bool WuFio_IsBlockedClass(const GUID& pluginClassId);
// Whether a plug-in class id is one of the always-refreshed ids.
bool WuFio_IsAlwaysRefreshedClass(const GUID& pluginClassId);
