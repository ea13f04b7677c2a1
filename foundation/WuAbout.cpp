// The about box: a property sheet of pool pages filled from the caller's
// record, the system-information listing, the label column of text
// listings and the reader of version texts.
#include "foundation/WuAbout.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "foundation/WuDlgTemplate.h"
#include "foundation/WuHelp.h"
#include "foundation/WuKernelState.h"
#include "foundation/WuLang.h"
#include "foundation/WuLangRows.h"
#include "foundation/WuLangTable.h"
#include "foundation/WuLayout.h"
#include "foundation/WuPrintF.h"
#include "foundation/WuRegistry.h"
#include "foundation/WuStaticCtl.h"
#include "foundation/WuStatus.h"
#include "foundation/WuSystem.h"
#include "foundation/WuUIFont.h"
#include "platform/comctl/commctrl.h"
#include "platform/kernel/cpu.h"
#include "platform/kernel/locale.h"
#include "platform/kernel/memory.h"
#include "platform/kernel/module.h"
#include "platform/kernel/version.h"
#include "platform/text/wprintf.h"

namespace {

// ---- Page table -----------------------------------------------------------------------------

enum class Kind { kGeneral, kComputer, kPerformance, kAcknowledgement, kSkin, kComponents,
                  kDevices, kCopyrights };

// One page: its mask bit, its dialog in the pool and what it shows.
struct PageEntry {
  DWORD bit;    // mask bit
  WORD dialog;  // dialog id in WuAboutResPool
  Kind kind;    // which procedure fills it
};

// Indexed by page index.
constexpr PageEntry kPages[] = {
    {0x0001, 101, Kind::kGeneral},    {0x0002, 102, Kind::kComputer},
    {0x0004, 103, Kind::kPerformance}, {0x0008, 113, Kind::kAcknowledgement},
    {0x0010, 114, Kind::kAcknowledgement}, {0x0020, 105, Kind::kAcknowledgement},
    {0x0040, 108, Kind::kAcknowledgement}, {0x0080, 106, Kind::kSkin},
    {0x0100, 104, Kind::kAcknowledgement}, {0x0200, 107, Kind::kGeneral},
    {0x0400, 109, Kind::kComponents},  {0x0800, 110, Kind::kDevices},
    {0x1000, 112, Kind::kCopyrights},  {0x2000, 115, Kind::kAcknowledgement},
};
constexpr int kPageCount = sizeof(kPages) / sizeof(kPages[0]);
// The order in which chosen pages are added to the sheet (page indices).
constexpr int kSheetOrder[kPageCount] = {0, 9, 1, 2, 3, 4, 5, 6, 7, 10, 11, 8, 12, 13};

// The header bitmap by the shared locale: {locale, bitmap id, show}.
struct LanguageEntry {
  DWORD locale;  // WuGetLocale's answer
  WORD bitmap;   // header bitmap in the pool
  BOOL show;     // draw it
};
constexpr LanguageEntry kLanguages[] = {{0, 203, TRUE}, {1, 204, TRUE}};

constexpr int kTemplateSlack = 128;  // room for the rebuilt template's bitmap data
constexpr int kCaptionSize = 260;    // the sheet's caption buffer
constexpr int kMaxBitmaps = 16;      // bitmaps one page template may hand out

// The dialog id of the last active page, kept between calls.
int g_last_page = 0;

HWULANG Kernel() { return WuKernel_GetLangHandle(); }
LPCWSTR Text(const WuLangStringRow& row) { return WuGetString(Kernel(), &row); }
LPCWSTR OrEmpty(LPCWSTR text) { return text ? text : u""; }

// The rectangle of a dialog's control in the dialog's client coordinates.
bool ControlRect(HWND dialog, int id, RECT* rect) {
  HWND control = GetDlgItem(dialog, id);
  if (!control || !GetWindowRect(control, rect)) return false;
  MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(rect), 2);
  return true;
}

// Whether a control is meant to be seen (its own style: the sheet may not
// be shown yet).
bool IsShown(HWND control) { return control && (GetWindowLongPtrW(control, GWL_STYLE) & WS_VISIBLE); }

void ShowControl(HWND dialog, int id, bool show) {
  if (HWND control = GetDlgItem(dialog, id)) ShowWindow(control, show ? SW_SHOW : SW_HIDE);
}

// ---- Shared page behaviour --------------------------------------------------------------------

// Finds the language's header bitmap in the pool.
void FindHeaderBitmap(WUABOUTSTATE* state) {
  DWORD locale = WuGetLocale();
  const LanguageEntry& entry = locale == 1 ? kLanguages[1] : kLanguages[0];
  DWORD size = 0;
  const void* found = WuFindResourceInResPool(&WuAboutResPool, &size, MAKEINTRESOURCEW(entry.bitmap),
                                              RT_BITMAP, 0, nullptr);
  state->header = nullptr;
  state->showHeader = entry.show;
  if (!found || size < sizeof(BITMAPINFOHEADER)) return;
  BITMAPINFOHEADER header;
  std::memcpy(&header, found, sizeof(header));
  if (header.biSize < sizeof(BITMAPINFOHEADER)) return;
  state->header = static_cast<const BITMAPINFOHEADER*>(found);
  state->headerWidth = header.biWidth;
  state->headerHeight = header.biHeight < 0 ? -header.biHeight : header.biHeight;
}

// The sheet shows one button: OK in Cancel's place; no context help.
void TidySheet(HWND sheet) {
  HWND ok = GetDlgItem(sheet, IDOK);
  HWND cancel = GetDlgItem(sheet, IDCANCEL);
  if (IsShown(cancel)) {
    RECT r;
    if (ok && ControlRect(sheet, IDCANCEL, &r)) MoveWindow(ok, r.left, r.top, r.right - r.left, r.bottom - r.top, TRUE);
    ShowWindow(cancel, SW_HIDE);
  }
  LONG_PTR ex = GetWindowLongPtrW(sheet, GWL_EXSTYLE);
  if (ex & WS_EX_CONTEXTHELP) SetWindowLongPtrW(sheet, GWL_EXSTYLE, ex & ~static_cast<LONG_PTR>(WS_EX_CONTEXTHELP));
}

// The font of the listings: font 147 for a Russian user interface.
HFONT ListingFont() {
  bool russian = PRIMARYLANGID(WuGetUserDefaultUILanguage()) == 0x19;
  return WuGetUIFont(russian ? 147 : 102);
}

// ---- General page -------------------------------------------------------------------------------

// The link control's class: the record's format with "WuKrn_Static_Class"
// for its first "%s" (taken literally otherwise), or the class itself.
std::u16string LinkClass(LPCWSTR format) {
  std::u16string cls = WUSTATIC_CLASS;
  if (!format || !format[0]) return cls;
  std::u16string f = format;
  size_t at = f.find(u"%s");
  if (at == std::u16string::npos) return f;
  return f.substr(0, at) + cls + f.substr(at + 2);
}

void ReplaceLink(HWND page, const WUABOUTINFO& info) {
  RECT r;
  if (!ControlRect(page, WUABOUT_IDC_LINK, &r)) return;
  DestroyWindow(GetDlgItem(page, WUABOUT_IDC_LINK));
  std::u16string cls = LinkClass(info.linkClassFormat);
  HWND link = CreateWindowExW(0, cls.c_str(), OrEmpty(info.linkText),
                              WS_CHILD | WS_VISIBLE | WS_TABSTOP | SS_NOTIFY, r.left, r.top,
                              r.right - r.left, r.bottom - r.top, page,
                              reinterpret_cast<HMENU>(static_cast<UINT_PTR>(WUABOUT_IDC_LINK)),
                              GetModuleHandleW(nullptr), nullptr);
  if (link) SendMessageW(link, WM_SETFONT, reinterpret_cast<WPARAM>(WuGetUIFont(100)), FALSE);
}

void InitGeneral(HWND page, WUABOUTSTATE* state) {
  const WUABOUTINFO& info = state->info;
  ReplaceLink(page, info);
  SetDlgItemTextW(page, WUABOUT_IDC_PRODUCT, OrEmpty(info.productName));
  SetDlgItemTextW(page, WUABOUT_IDC_VERSION, OrEmpty(info.version));
  SetDlgItemTextW(page, WUABOUT_IDC_COPYRIGHT, OrEmpty(info.copyright));
  SetDlgItemTextW(page, WUABOUT_IDC_COPYRIGHT2, OrEmpty(info.copyright2));
  SetDlgItemTextW(page, WUABOUT_IDC_COMMENTS, OrEmpty(info.comments));
  std::u16string legal = std::u16string(Text(WuLangRow_AboutLegal1)) + Text(WuLangRow_AboutLegal2);
  SetDlgItemTextW(page, WUABOUT_IDC_LEGAL, legal.c_str());
  bool has_area = GetDlgItem(page, WUABOUT_IDC_BITMAP) != nullptr;
  ShowControl(page, WUABOUT_IDC_BITMAP, false);
  if (state->header || (info.bitmap && !has_area)) ShowControl(page, WUABOUT_IDC_HEADER, false);
}

void DrawPacked(HDC dc, const BITMAPINFOHEADER* dib, int x, int y, int width, int height) {
  // A header whose colour table or size no bitmap has is not drawn.
  const int offset = WuPackedDibBitsOffset(dib);
  if (offset < 0) return;
  const BYTE* bits = reinterpret_cast<const BYTE*>(dib) + offset;
  StretchDIBits(dc, x, y, width, height, 0, 0, width, height, bits,
                reinterpret_cast<const BITMAPINFO*>(dib), DIB_RGB_COLORS, SRCCOPY);
}

void PaintGeneral(HWND page, const WUABOUTSTATE* state) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(page, &ps);
  if (!dc) return;
  const WUABOUTINFO& info = state->info;
  RECT r;
  if (info.bitmap) {
    int w = info.bitmapWidth ? info.bitmapWidth : info.bitmap->biWidth;
    int h = info.bitmapHeight ? info.bitmapHeight
                              : (info.bitmap->biHeight < 0 ? -info.bitmap->biHeight : info.bitmap->biHeight);
    if (ControlRect(page, WUABOUT_IDC_BITMAP, &r)) {
      DrawPacked(dc, info.bitmap, r.left + (r.right - r.left - w) / 2, r.bottom - h, w, h);
    } else if (ControlRect(page, WUABOUT_IDC_HEADER, &r)) {
      DrawPacked(dc, info.bitmap, r.left + 8, r.top + 13, w, h);
    }
  }
  if (state->header && state->showHeader && ControlRect(page, WUABOUT_IDC_HEADER, &r))
    DrawPacked(dc, state->header, r.left + 8, r.top + 13, state->headerWidth, state->headerHeight);
  EndPaint(page, &ps);
}

// ---- Computer page ----------------------------------------------------------------------------

// The label column of a row's text.
struct Label {
  WCHAR text[WUABOUT_LABEL_BUFFER];
  explicit Label(const WuLangStringRow& row) {
    WuFormatPropLabel(Text(row), WUABOUT_LABEL_WIDTH, text, WUABOUT_LABEL_BUFFER);
  }
};

LPCWSTR YesNo(bool yes) { return Text(yes ? WuLangRow_AboutYes : WuLangRow_AboutNo); }

// A processor name by the class of the CPU support word.
LPCWSTR ClassName(DWORD cpu_class) {
  static const WCHAR* const kNames[] = {u"i486", u"Pentium", u"Pentium Pro", u"Pentium II", u"Pentium III",
                                        u"Pentium 4"};
  if (cpu_class >= 1 && cpu_class <= 6) return kNames[cpu_class - 1];
  return Text(WuLangRow_AboutCpuGeneric);
}

// Memory in tenths of a megabyte: 64-bit, so that no size wraps.
void MemoryLine(HWND edit, const WuLangStringRow& row, ULONGLONG bytes) {
  ULONGLONG tenths = bytes / (1024 * 1024) * 10 + bytes % (1024 * 1024) * 10 / (1024 * 1024);
  WuMEditPrintF(edit, u"%s$I64u%*%u MB", Label(row).text, tenths / 10, static_cast<UINT>(tenths % 10));
}

void OperatingSystemLines(HWND edit) {
  WCHAR text[256];
  WuMEditPrintF(edit, u"%s", Text(WuLangRow_AboutSectionOS));
  if (!WuGetOS(text, 256)) text[0] = 0;
  WuMEditPrintF(edit, u"%s%s", Label(WuLangRow_AboutPlatform).text, text);
  OSVERSIONINFOW os{};
  os.dwOSVersionInfoSize = sizeof(os);
  if (GetVersionExW(&os)) {
    int major = static_cast<int>(os.dwMajorVersion), minor = static_cast<int>(os.dwMinorVersion),
        build = static_cast<int>(os.dwBuildNumber & 0xFFFF);
    if (os.szCSDVersion[0])
      WuMEditPrintF(edit, u"%s%d.%.02d.%.03d (%s)", Label(WuLangRow_AboutVersion).text, major, minor, build,
                    os.szCSDVersion);
    else
      WuMEditPrintF(edit, u"%s%d.%.02d.%.03d", Label(WuLangRow_AboutVersion).text, major, minor, build);
  }
  struct {
    const WuLangStringRow& row;
    LCID lcid;
  } const languages[] = {{WuLangRow_AboutLanguage, WuGetUserDefaultUILanguage()},
                         {WuLangRow_AboutSystemLocale, GetSystemDefaultLCID()},
                         {WuLangRow_AboutUserLocale, GetUserDefaultLCID()}};
  for (const auto& l : languages) {
    if (GetLocaleInfoW(l.lcid, LOCALE_SLANGUAGE, text, 256) <= 0) text[0] = 0;
    WuMEditPrintF(edit, u"%s%s", Label(l.row).text, text);
  }
}

void ProcessorLines(HWND edit, const SYSTEM_INFO& si) {
  WCHAR text[128];
  WuMEditPrintF(edit, u"\r\n%s", Text(WuLangRow_AboutSectionProcessor));
  if (FAILED(WuGetCPUBrandString(text, 128))) platform::Format(text, 128, u"%s", ClassName(WuGetCPUSupport(0) & 0xF));
  WuMEditPrintF(edit, u"%s%s", Label(WuLangRow_AboutClass).text, text);
  if (FAILED(WuGetCPUVendorString(text, 128))) text[0] = 0;
  WuMEditPrintF(edit, u"%s%s Family %d Model %d Stepping %d", Label(WuLangRow_AboutIdentifier).text, text,
                si.wProcessorLevel, si.wProcessorRevision >> 8, si.wProcessorRevision & 0xFF);
  WuMEditPrintF(edit, u"%s%u", Label(WuLangRow_AboutProcessorCount).text, WuGetProcessorCount());
  struct {
    const WuLangStringRow& row;
    DWORD bit;
  } const features[] = {{WuLangRow_AboutMmx, 0x10},    {WuLangRow_AboutSse, 0x20},
                        {WuLangRow_AboutSse2, 0x40},   {WuLangRow_AboutSse3, 0x80},
                        {WuLangRow_AboutSsse3, 0x100}, {WuLangRow_AboutSse41, 0x200},
                        {WuLangRow_AboutSse42, 0x400}};
  for (const auto& f : features)
    WuMEditPrintF(edit, u"%s%s", Label(f.row).text, YesNo(WuGetCPUSupport(f.bit) != 0));
  // Features the processor has but the library is barred from using. The
  // detection sets the thread's MXCSR: keep this thread's as it was.
  DWORD mxcsr = platform::GetMxcsr();
  DWORD detected = 0;
  WuDetectCPUFeatures(nullptr, &detected, nullptr);
  platform::SetMxcsr(mxcsr);
  if (detected & 0x7F0 & ~WuGetCPUSupport(0x7F0)) WuMEditPrintF(edit, u"%s", Text(WuLangRow_AboutBarredNote));
}

void DisplayAndMemoryLines(HWND edit, MEMORYSTATUSEX* memory) {
  WuMEditPrintF(edit, u"\r\n%s", Text(WuLangRow_AboutSectionDisplay));
  int bits = 0;
  if (HDC screen = GetDC(nullptr)) {
    bits = GetDeviceCaps(screen, BITSPIXEL);
    ReleaseDC(nullptr, screen);
  }
  WuMEditPrintF(edit, u"%s%dx%dx%d", Label(WuLangRow_AboutPrimary).text, GetSystemMetrics(SM_CXSCREEN),
                GetSystemMetrics(SM_CYSCREEN), bits);
  WuMEditPrintF(edit, u"\r\n%s", Text(WuLangRow_AboutSectionMemory));
  *memory = MEMORYSTATUSEX{};
  memory->dwLength = sizeof(MEMORYSTATUSEX);
  if (!GlobalMemoryStatusEx(memory)) return;
  MemoryLine(edit, WuLangRow_AboutPhysicalMemory, memory->ullTotalPhys);
  MemoryLine(edit, WuLangRow_AboutPagingMemory, memory->ullAvailPageFile);
  MemoryLine(edit, WuLangRow_AboutVirtualMemory, memory->ullTotalVirtual);
}

// The details shown with Shift held.
void DetailLines(HWND edit, const SYSTEM_INFO& si, const MEMORYSTATUSEX& memory) {
  WuMEditPrintF(edit, u"");
  WuMEditPrintF(edit, u"%s%.08I64Xh", Label(WuLangRow_AboutActiveMask).text,
                static_cast<ULONGLONG>(si.dwActiveProcessorMask));
  WuMEditPrintF(edit, u"%s%d %%", Label(WuLangRow_AboutMemoryLoad).text, static_cast<int>(memory.dwMemoryLoad));
  WuMEditPrintF(edit, u"%s$u KB", Label(WuLangRow_AboutPageSize).text, si.dwPageSize / 1024);
  WuMEditPrintF(edit, u"%s$u KB", Label(WuLangRow_AboutGranularity).text, si.dwAllocationGranularity / 1024);
  WuMEditPrintF(edit, u"%s0x%.08I64X", Label(WuLangRow_AboutMinAddress).text,
                static_cast<ULONGLONG>(reinterpret_cast<UINT_PTR>(si.lpMinimumApplicationAddress)));
  WuMEditPrintF(edit, u"%s0x%.08I64X", Label(WuLangRow_AboutMaxAddress).text,
                static_cast<ULONGLONG>(reinterpret_cast<UINT_PTR>(si.lpMaximumApplicationAddress)));
  WuMEditPrintF(edit, u"%s%s", Label(WuLangRow_AboutCmov).text, YesNo(WuGetCPUSupport(0x1000) != 0));
  WuMEditPrintF(edit, u"%s%s", Label(WuLangRow_AboutFcomi).text, YesNo(WuGetCPUSupport(0x2000) != 0));
  WuMEditPrintF(edit, u"%s%s", Label(WuLangRow_AboutRdtsc).text, YesNo(WuGetCPUSupport(0x4000) != 0));
  WuMEditPrintF(edit, u"%s%d", Label(WuLangRow_AboutCpuidLevel).text, WuCpuid_GetMaxLeaf());
  platform::CpuidRegs leaf1{}, leaf2{};
  platform::Cpuid(1, 0, &leaf1);
  platform::Cpuid(2, 0, &leaf2);
  WuMEditPrintF(edit, u"%s%.08Xh", Label(WuLangRow_AboutCpuidVersion).text, leaf1.eax);
  WuMEditPrintF(edit, u"%s%.08Xh", Label(WuLangRow_AboutCpuidFeatures).text, leaf1.edx);
  WuMEditPrintF(edit, u"%s%.08Xh", Label(WuLangRow_AboutCacheEax).text, leaf2.eax);
  WuMEditPrintF(edit, u"%s%.08Xh", Label(WuLangRow_AboutCacheEbx).text, leaf2.ebx);
  WuMEditPrintF(edit, u"%s%.08Xh", Label(WuLangRow_AboutCacheEcx).text, leaf2.ecx);
  WuMEditPrintF(edit, u"%s%.08Xh", Label(WuLangRow_AboutCacheEdx).text, leaf2.edx);
}

void InitComputer(HWND page) {
  HWND edit = GetDlgItem(page, WUABOUT_IDC_SYSINFO);
  if (!edit) return;
  SendMessageW(edit, WM_SETFONT, reinterpret_cast<WPARAM>(ListingFont()), FALSE);
  SYSTEM_INFO si{};
  GetSystemInfo(&si);
  MEMORYSTATUSEX memory{};
  OperatingSystemLines(edit);
  ProcessorLines(edit, si);
  DisplayAndMemoryLines(edit, &memory);
  if (GetKeyState(VK_SHIFT) < 0) DetailLines(edit, si, memory);
}

// ---- The other pages ----------------------------------------------------------------------------

void InitListing(HWND page, int id, LPCWSTR text) {
  HWND edit = GetDlgItem(page, id);
  if (!edit) return;
  SendMessageW(edit, WM_SETFONT, reinterpret_cast<WPARAM>(ListingFont()), FALSE);
  if (text) SetWindowTextW(edit, text);
}

void InitAcknowledgement(HWND page, DWORD flags) {
  ShowControl(page, WUABOUT_IDC_ACK_LINE1, (flags & WUABOUT_ACK_LINE1) != 0);
  ShowControl(page, WUABOUT_IDC_ACK_LINE2, (flags & WUABOUT_ACK_LINE2) != 0);
  ShowControl(page, WUABOUT_IDC_ACK_LINE3, (flags & WUABOUT_ACK_LINE3) != 0);
}

// The built-in thanks in the kernel language, one of five.
const WuLangStringRow& ThanksRow() {
  switch (WuLang_GetLCID(Kernel())) {
    case 1041: return WuLangRow_AboutThanksJapanese;
    case 1031: return WuLangRow_AboutThanksGerman;
    case 1034: return WuLangRow_AboutThanksSpanish;
    case 1036: return WuLangRow_AboutThanksFrench;
    default: return WuLangRow_AboutThanksDefault;
  }
}

std::u16string CopyrightsText(DWORD flags) {
  std::u16string text;
  const struct {
    DWORD flag;
    const WuLangStringRow& row;
  } parts[] = {{0x04, WuLangRow_AboutAck04}, {0x08, WuLangRow_AboutAck08}, {0x10, WuLangRow_AboutAck10},
               {0x01, WuLangRow_AboutAck01}, {0x02, WuLangRow_AboutAck02}};
  for (const auto& p : parts)
    if (flags & p.flag) text.append(Text(p.row)).append(u"\r\n");
  if (!(flags & WUABOUT_ACK_NO_THANKS)) text.append(u"\r\n").append(Text(ThanksRow())).append(u"\r\n");
  if (flags & WUABOUT_ACK_CLOSING) text.append(u"\r\n").append(Text(WuLangRow_AboutAck20));
  return text;
}

void InitCopyrights(HWND page, DWORD flags) {
  bool images = (flags & WUABOUT_ACK_IMAGES) != 0;
  bool link = (flags & WUABOUT_ACK_LINK) != 0;
  ShowControl(page, WUABOUT_IDC_ACK_IMAGE1, images);
  ShowControl(page, WUABOUT_IDC_ACK_IMAGE2, images);
  ShowControl(page, WUABOUT_IDC_ACK_IMAGE3, link);
  ShowControl(page, WUABOUT_IDC_ACK_LINK, link);
  if (HWND control = GetDlgItem(page, WUABOUT_IDC_ACK_LINK)) {
    SetWindowLongPtrW(control, GWL_STYLE, GetWindowLongPtrW(control, GWL_STYLE) | SS_NOTIFY);
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(WuGetUIFont(100)), FALSE);
  }
  InitListing(page, WUABOUT_IDC_ACK_TEXT, CopyrightsText(flags).c_str());
  // The text grows down to the first control left below it, or over all
  // of them when every one is hidden.
  RECT text;
  if (!ControlRect(page, WUABOUT_IDC_ACK_TEXT, &text)) return;
  LONG bottom = text.bottom, first_visible = INT_MAX, lowest = text.bottom;
  for (int id : {WUABOUT_IDC_ACK_LINK, WUABOUT_IDC_ACK_IMAGE1, WUABOUT_IDC_ACK_IMAGE2, WUABOUT_IDC_ACK_IMAGE3}) {
    RECT r;
    if (!ControlRect(page, id, &r) || r.top < text.bottom) continue;
    if (IsShown(GetDlgItem(page, id)))
      first_visible = std::min(first_visible, r.top - (r.top - text.bottom > 4 ? 4 : 0));
    lowest = std::max(lowest, r.bottom);
  }
  bottom = first_visible != INT_MAX ? first_visible : lowest;
  if (bottom > text.bottom)
    MoveWindow(GetDlgItem(page, WUABOUT_IDC_ACK_TEXT), text.left, text.top, text.right - text.left, bottom - text.top,
               TRUE);
}

void RefreshDevices(HWND page, IWuAboutDevices* devices) {
  if (!devices) return;
  devices->Refresh(0);
  LPCWSTR text = nullptr;
  DWORD extra = 0;
  devices->GetText(&text, &extra);
  HWND edit = GetDlgItem(page, WUABOUT_IDC_DEVICES);
  if (edit && text && text[0]) WuMEditPrintF(edit, u"%s", text);
}

// ---- The page procedure ---------------------------------------------------------------------

void InitPage(HWND page, int index, WUABOUTSTATE* state) {
  state->madePages |= 1u << index;
  HWND sheet = GetParent(page);
  if (state->centerOnce) {
    WuWndCenter(sheet, nullptr, nullptr, WUWC_PARENT | WUWC_THIRD);
    state->centerOnce = FALSE;
  }
  FindHeaderBitmap(state);
  TidySheet(sheet);
  const WUABOUTINFO& info = state->info;
  switch (kPages[index].kind) {
    case Kind::kGeneral: InitGeneral(page, state); break;
    case Kind::kComputer: InitComputer(page); break;
    case Kind::kPerformance: break;
    case Kind::kAcknowledgement: InitAcknowledgement(page, info.ackFlags); break;
    case Kind::kSkin:
      SetDlgItemTextW(page, WUABOUT_IDC_SKIN_TITLE, OrEmpty(info.skinTitle));
      SetDlgItemTextW(page, WUABOUT_IDC_SKIN_AUTHOR, OrEmpty(info.skinAuthor));
      SetDlgItemTextW(page, WUABOUT_IDC_SKIN_COPYRIGHT, OrEmpty(info.skinCopyright));
      SetDlgItemTextW(page, WUABOUT_IDC_SKIN_DESCRIPTION, OrEmpty(info.skinDescription));
      break;
    case Kind::kComponents: InitListing(page, WUABOUT_IDC_COMPONENTS, info.components); break;
    case Kind::kDevices:
      InitListing(page, WUABOUT_IDC_DEVICES, nullptr);
      if (info.devices) info.devices->Initialize(page);
      break;
    case Kind::kCopyrights: InitCopyrights(page, info.ackFlags); break;
  }
}

INT_PTR Answer(HWND page, LRESULT result) {
  SetWindowLongPtrW(page, DWLP_MSGRESULT, result);
  return TRUE;
}

INT_PTR Notify(HWND page, int index, WUABOUTSTATE* state, const NMHDR* header) {
  const PageEntry& entry = kPages[index];
  switch (header->code) {
    case PSN_SETACTIVE:
      state->lastPage = entry.dialog;
      if (entry.kind == Kind::kDevices) RefreshDevices(page, state->info.devices);
      return Answer(page, 0);
    case PSN_RESET:
      state->changed = FALSE;
      return FALSE;
    case PSN_APPLY:
      state->changed = FALSE;
      return Answer(page, PSNRET_NOERROR);
    default:
      break;
  }
  if (header->code == WUSTATIC_NOTIFY_CLICK) {
    if (entry.kind == Kind::kGeneral && header->idFrom == WUABOUT_IDC_LINK) {
      Internet_BrowseWebPage(page, state->info.linkTarget);
      return TRUE;
    }
    if (entry.kind == Kind::kCopyrights && header->idFrom == WUABOUT_IDC_ACK_LINK) {
      Internet_BrowseWebPage(page, Text(WuLangRow_AboutAckAddress));
      return TRUE;
    }
  }
  return FALSE;
}

INT_PTR PageProc(int index, HWND page, UINT message, WPARAM wparam, LPARAM lparam) {
  auto* state = reinterpret_cast<WUABOUTSTATE*>(GetWindowLongPtrW(page, GWLP_USERDATA));
  if (message == WM_INITDIALOG) {
    const auto* psp = reinterpret_cast<const PROPSHEETPAGEW*>(lparam);
    state = psp ? reinterpret_cast<WUABOUTSTATE*>(psp->lParam) : nullptr;
    if (!state) return FALSE;
    SetWindowLongPtrW(page, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(state));
    state->initializing = TRUE;
    InitPage(page, index, state);
    state->initializing = FALSE;
    return TRUE;
  }
  if (!state) return FALSE;
  switch (message) {
    case WM_NOTIFY:
      return lparam ? Notify(page, index, state, reinterpret_cast<const NMHDR*>(lparam)) : FALSE;
    case WM_COMMAND:
      if (HIWORD(wparam) == EN_CHANGE && !state->initializing) {
        SendMessageW(GetParent(page), PSM_CHANGED, reinterpret_cast<WPARAM>(page), 0);
        state->changed = TRUE;
      }
      return FALSE;
    case WM_PAINT:
      if (kPages[index].kind != Kind::kGeneral) return FALSE;
      PaintGeneral(page, state);
      return TRUE;
    default:
      return FALSE;
  }
}

template <int Index>
INT_PTR IndexedPageProc(HWND page, UINT message, WPARAM wparam, LPARAM lparam) {
  return PageProc(Index, page, message, wparam, lparam);
}

template <int... I>
constexpr std::array<DLGPROC, sizeof...(I)> MakeProcs(std::integer_sequence<int, I...>) {
  return {&IndexedPageProc<I>...};
}
constexpr auto kProcs = MakeProcs(std::make_integer_sequence<int, kPageCount>());

// ---- Building the sheet ---------------------------------------------------------------------------

// One page on its way into the sheet.
struct BuiltPage {
  int index = 0;                         // page index
  HGLOBAL block = nullptr;               // its template
  HBITMAP bitmaps[kMaxBitmaps] = {};     // bitmaps its template hands to controls
  int bitmapCount = 0;                   // how many
};

void FreeBuilt(BuiltPage* page, bool made) {
  if (!made)
    for (int i = 0; i < page->bitmapCount; ++i) DeleteObject(page->bitmaps[i]);
  page->bitmapCount = 0;
  if (page->block) GlobalFree(page->block);
  page->block = nullptr;
}

// Prepares a page's template; false when the pool lacks it.
bool PreparePage(int index, BuiltPage* out) {
  DWORD size = 0;
  const DLGTEMPLATE* found =
      WuFindDialogTemplateInResPool(&WuAboutResPool, &size, MAKEINTRESOURCEW(kPages[index].dialog), 0);
  if (!found || !size || size > 0x10000) return false;
  int buffer_size = static_cast<int>(size) + kTemplateSlack;
  out->index = index;
  out->block = GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, static_cast<SIZE_T>(buffer_size));
  if (!out->block) return false;
  void* buffer = GlobalLock(out->block);
  std::memcpy(buffer, found, size);
  WuAboutBox_CreateDialog(&WuAboutResPool, buffer, static_cast<int>(size), buffer_size, out->bitmaps, kMaxBitmaps,
                          &out->bitmapCount);
  return true;
}

HPROPSHEETPAGE CreatePage(const BuiltPage& page, WUABOUTSTATE* state) {
  PROPSHEETPAGEW psp{};
  psp.dwSize = sizeof(psp);
  psp.dwFlags = PSP_DLGINDIRECT;
  psp.hInstance = GetModuleHandleW(nullptr);
  psp.pResource = static_cast<const DLGTEMPLATE*>(GlobalLock(page.block));
  GlobalUnlock(page.block);
  psp.pfnDlgProc = kProcs[static_cast<size_t>(page.index)];
  psp.lParam = reinterpret_cast<LPARAM>(state);
  return CreatePropertySheetPageW(&psp);
}

// The position of the start page among the built pages.
UINT StartPosition(const std::vector<BuiltPage>& pages, int selector) {
  for (size_t i = 0; i < pages.size(); ++i) {
    int index = pages[i].index;
    if (selector >= 1 && selector <= 3 ? index == selector - 1 : kPages[index].dialog == g_last_page)
      return static_cast<UINT>(i);
  }
  return 0;
}

bool IsStaticClass(LPCWSTR cls) {
  if (IS_INTRESOURCE(cls)) return reinterpret_cast<UINT_PTR>(cls) == 0x0082;
  static const char16_t kName[] = u"static";
  for (int i = 0; i < 7; ++i) {
    WCHAR c = cls[i];
    if (c >= u'A' && c <= u'Z') c = static_cast<WCHAR>(c + 32);
    if (c != kName[i]) return false;
  }
  return true;
}

}  // namespace

// ---- Exported functions ---------------------------------------------------------------------------

int WuAboutBox_CreateDialog(const _WURESPOOL* pool, void* buffer, int size, int buffer_size, HBITMAP* bitmaps,
                            int bitmap_count, int* made) {
  if (made) *made = 0;
  if (!buffer || size <= 0 || buffer_size < size) return 0;
  _wudlghdrcreateex* header = nullptr;
  if (!WuMapDialogTemplate(static_cast<const DLGTEMPLATE*>(buffer), size, &header)) return size;
  auto* controls = reinterpret_cast<_wudlgctrlcreateex*>(header + 1);
  // Creation data: the 16-bit value 1 and the bitmap handle, 4 bytes when
  // it fits (as templates carry it), else 8.
  std::vector<std::array<BYTE, 10>> data(header->count);
  std::vector<HBITMAP> created;
  bool changed = false;
  for (int i = 0; i < header->count; ++i) {
    _wudlgctrlcreateex& c = controls[i];
    if (!IsStaticClass(c.ctrlClass) || (c.style & 0x1F) != SS_BITMAP) continue;
    if (!c.text || (!IS_INTRESOURCE(c.text) && !c.text[0])) continue;
    const void* dib = WuFindResourceInResPool(pool, nullptr, c.text, RT_BITMAP, 0, nullptr);
    c.ctrlClass = WUSTATIC_CLASS;
    changed = true;
    HBITMAP bitmap = dib ? WuCreateBitmapFromPackedDib(dib) : nullptr;
    if (!bitmap) continue;
    created.push_back(bitmap);
    auto value = static_cast<uint64_t>(reinterpret_cast<UINT_PTR>(bitmap));
    WORD kind = 1;
    std::memcpy(data[i].data(), &kind, 2);
    std::memcpy(data[i].data() + 2, &value, value >> 32 ? 8 : 4);
    c.text = u"";
    c.data = data[i].data();
    c.dataSize = value >> 32 ? 10 : 6;
  }
  int result = size;
  if (changed) {
    WORD rebuilt_size = 0;
    const DLGTEMPLATE* rebuilt = WuCreateDialogTemplateEx(Kernel(), header, controls, &rebuilt_size);
    bool fits = rebuilt && rebuilt_size <= buffer_size;
    if (fits) {
      std::memcpy(buffer, rebuilt, rebuilt_size);
      result = rebuilt_size;
    }
    if (rebuilt) WuFreeDialogTemplate(rebuilt);
    // Bitmaps that no template carries would never be freed by a control.
    if (!fits) {
      for (HBITMAP b : created) DeleteObject(b);
      created.clear();
    }
  }
  WuFreeDialogTemplate(header);
  int recorded = 0;
  for (HBITMAP b : created)
    if (bitmaps && recorded < bitmap_count) bitmaps[recorded++] = b;
  if (made) *made = recorded;
  return result;
}

INT_PTR WuAboutBox(HWND owner, const WUABOUTINFO* info, int size) {
  if (!info || size <= 0) return 0;
  auto state = std::unique_ptr<WUABOUTSTATE>(new (std::nothrow) WUABOUTSTATE{});
  if (!state) return 0;
  std::memcpy(&state->info, info, std::min(static_cast<size_t>(size), sizeof(WUABOUTINFO)));
  state->info.owner = owner;
  state->centerOnce = TRUE;
  DWORD mask = state->info.pageMask ? state->info.pageMask : WUABOUT_DEFAULT_PAGES;
  if ((mask & WUABOUT_CREDITS) && state->info.ackFlags == 0) state->info.ackFlags = 3;
  int selector = state->info.startPage;
  if (selector >= 1 && selector <= 3 && !(mask & kPages[selector - 1].bit)) return 0;

  WuStaticCtl_Register(GetModuleHandleW(nullptr));
  WCHAR caption[kCaptionSize];
  platform::Format(caption, kCaptionSize, Text(WuLangRow_AboutCaption), OrEmpty(state->info.productName));

  std::vector<BuiltPage> pages;
  std::vector<HPROPSHEETPAGE> handles;
  for (int index : kSheetOrder) {
    if (!(mask & kPages[index].bit)) continue;
    BuiltPage page;
    // A page whose template is missing is left out rather than made empty.
    if (!PreparePage(index, &page)) {
      FreeBuilt(&page, false);
      continue;
    }
    HPROPSHEETPAGE handle = CreatePage(page, state.get());
    if (!handle) {
      FreeBuilt(&page, false);
      continue;
    }
    pages.push_back(page);
    handles.push_back(handle);
  }
  if (handles.empty()) return 0;

  PROPSHEETHEADERW header{};
  header.dwSize = sizeof(header);
  header.dwFlags = PSH_NOAPPLYNOW;
  header.hwndParent = owner;
  header.hInstance = GetModuleHandleW(nullptr);
  header.pszCaption = caption;
  header.nPages = static_cast<UINT>(handles.size());
  header.nStartPage = StartPosition(pages, selector);
  header.phpage = handles.data();
  PropertySheetW(&header);  // takes over and destroys the page handles

  if (state->lastPage) g_last_page = state->lastPage;
  for (BuiltPage& page : pages) FreeBuilt(&page, (state->madePages >> page.index) & 1);
  return state->result;
}

int WuAboutBox_GetLastPage() { return g_last_page; }
void WuAboutBox_SetLastPage(int dialog_id) { g_last_page = dialog_id; }

int WuFormatPropLabel(LPCWSTR label, int width, LPWSTR buffer, int size) {
  if (!buffer || size <= 0) return 0;
  int w = std::min(width, size);
  buffer[0] = 0;
  if (w <= 0) return 0;
  // Room for w - 1 characters: the indent, the label, then the colon.
  int room = w - 1;
  int n = 0;
  for (; n < 4 && n < room; ++n) buffer[n] = u' ';
  int label_room = room - n - 1;
  if (label && label_room > 0) {
    int length = 0;
    while (label[length] && length < label_room) ++length;
    // Never keep half of a surrogate pair.
    if (label[length] && length > 0 && label[length - 1] >= 0xD800 && label[length - 1] <= 0xDBFF) --length;
    std::memcpy(buffer + n, label, static_cast<size_t>(length) * sizeof(WCHAR));
    n += length;
  }
  if (n < room) buffer[n++] = u':';
  while (n < room) buffer[n++] = u' ';
  buffer[n] = 0;
  return w;
}

HRESULT WuVersion_GetString(LPCWSTR path, LPCWSTR name, LPWSTR buffer, int size) {
  if (!path || !name || !buffer || size <= 0) return WU_E_NOT_FOUND;
  buffer[0] = 0;
  DWORD handle = 0;
  DWORD block_size = GetFileVersionInfoSizeW(path, &handle);
  if (!block_size) return WU_E_NOT_FOUND;
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, block_size);
  if (!block) return WU_E_NOT_FOUND;
  HRESULT result = WU_E_NOT_FOUND;
  void* data = GlobalLock(block);
  void* value = nullptr;
  UINT length = 0;
  if (data && GetFileVersionInfoW(path, handle, block_size, data) &&
      VerQueryValueW(data, u"\\VarFileInfo\\Translation", &value, &length) && length >= 4) {
    WORD pair[2];
    std::memcpy(pair, value, 4);
    WCHAR table[32];
    platform::Format(table, 32, u"\\StringFileInfo\\%04hX%04hX\\", pair[0], pair[1]);
    std::u16string query = std::u16string(table) + name;
    if (VerQueryValueW(data, query.c_str(), &value, &length)) {
      const auto* text = static_cast<const WCHAR*>(value);
      int n = 0;
      while (n + 1 < size && static_cast<UINT>(n) < length && text[n]) {
        buffer[n] = text[n];
        ++n;
      }
      buffer[n] = 0;
      result = S_OK;
    }
  }
  GlobalUnlock(block);
  GlobalFree(block);
  return result;
}
