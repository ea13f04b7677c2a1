// The messages of the common controls that the front ends read and drive:
// the codes every common control shares, the progress bar's and the tab
// control's class names, messages and records, and the property sheet's
// messages. The controls themselves are in platform/comctl/ (commctrl.h,
// which includes this file); the front ends of this area observe and press
// them only through these messages, so the protocol lives here, below both.
#pragma once

#include "platform/kernel/types.h"
#include "platform/user/windows.h"

// ---- Shared -------------------------------------------------------------------------------
constexpr UINT CCM_FIRST = 0x2000;
constexpr UINT CCM_SETBKCOLOR = CCM_FIRST + 1;
constexpr COLORREF CLR_DEFAULT = 0xFF000000;
constexpr DWORD CCS_TOP = 0x00000001;
constexpr DWORD CCS_NOMOVEY = 0x00000002;
constexpr DWORD CCS_BOTTOM = 0x00000003;
constexpr DWORD CCS_NORESIZE = 0x00000004;
constexpr DWORD CCS_NOPARENTALIGN = 0x00000008;
constexpr DWORD CCS_ADJUSTABLE = 0x00000020;
constexpr DWORD CCS_NODIVIDER = 0x00000040;
constexpr DWORD CCS_VERT = 0x00000080;

// Notification codes common to every control (WM_NOTIFY).
constexpr UINT NM_FIRST = 0;
constexpr UINT NM_OUTOFMEMORY = NM_FIRST - 1;
constexpr UINT NM_CLICK = NM_FIRST - 2;
constexpr UINT NM_DBLCLK = NM_FIRST - 3;
constexpr UINT NM_RETURN = NM_FIRST - 4;
constexpr UINT NM_RCLICK = NM_FIRST - 5;
constexpr UINT NM_RDBLCLK = NM_FIRST - 6;
constexpr UINT NM_SETFOCUS = NM_FIRST - 7;
constexpr UINT NM_KILLFOCUS = NM_FIRST - 8;
constexpr UINT NM_CUSTOMDRAW = NM_FIRST - 12;
constexpr UINT NM_KEYDOWN = NM_FIRST - 15;

// ---- Progress bar ------------------------------------------------------------------------------
// The position stays within the range. PBM_STEPIT past the end starts over
// from the other end. Every change of position or range is passed to the
// front end (a terminal shows a live bar).
#define PROGRESS_CLASSW u"msctls_progress32"
constexpr DWORD PBS_SMOOTH = 0x01;
constexpr DWORD PBS_VERTICAL = 0x04;
constexpr DWORD PBS_MARQUEE = 0x08;
constexpr UINT PBM_SETRANGE = WM_USER + 1;     // lParam: low word min, high word max (16 bits); the old range
constexpr UINT PBM_SETPOS = WM_USER + 2;       // the old position
constexpr UINT PBM_DELTAPOS = WM_USER + 3;     // the old position
constexpr UINT PBM_SETSTEP = WM_USER + 4;      // the old step
constexpr UINT PBM_STEPIT = WM_USER + 5;       // the old position
constexpr UINT PBM_SETRANGE32 = WM_USER + 6;   // wParam min, lParam max (32 bits)
constexpr UINT PBM_GETRANGE = WM_USER + 7;     // wParam TRUE: min else max; lParam PBRANGE* or NULL
constexpr UINT PBM_GETPOS = WM_USER + 8;
constexpr UINT PBM_SETBARCOLOR = WM_USER + 9;
constexpr UINT PBM_SETBKCOLOR = CCM_SETBKCOLOR;
constexpr UINT PBM_SETMARQUEE = WM_USER + 10;
constexpr UINT PBM_GETSTEP = WM_USER + 13;
constexpr UINT PBM_GETBKCOLOR = WM_USER + 14;
constexpr UINT PBM_GETBARCOLOR = WM_USER + 15;
constexpr UINT PBM_SETSTATE = WM_USER + 16;
constexpr UINT PBM_GETSTATE = WM_USER + 17;
constexpr int PBST_NORMAL = 1;
constexpr int PBST_ERROR = 2;
constexpr int PBST_PAUSED = 3;
struct PBRANGE {
  int iLow;   // minimum
  int iHigh;  // maximum
};

// ---- Tab control --------------------------------------------------------------------------------
// The first item inserted becomes the selection. TCM_SETCURSEL sends no
// notification; a person's choice (platform::PickInControl, arrow keys)
// sends TCN_SELCHANGING (a TRUE answer keeps the old tab) and TCN_SELCHANGE.
#define WC_TABCONTROLW u"SysTabControl32"
constexpr DWORD TCS_BOTTOM = 0x0002;
constexpr DWORD TCS_MULTILINE = 0x0200;
constexpr DWORD TCS_FIXEDWIDTH = 0x0400;
constexpr DWORD TCS_FOCUSNEVER = 0x8000;
constexpr DWORD TCS_TOOLTIPS = 0x4000;
constexpr UINT TCM_FIRST = 0x1300;
constexpr UINT TCM_GETIMAGELIST = TCM_FIRST + 2;
constexpr UINT TCM_SETIMAGELIST = TCM_FIRST + 3;
constexpr UINT TCM_GETITEMCOUNT = TCM_FIRST + 4;
constexpr UINT TCM_DELETEITEM = TCM_FIRST + 8;
constexpr UINT TCM_DELETEALLITEMS = TCM_FIRST + 9;
constexpr UINT TCM_GETITEMRECT = TCM_FIRST + 10;
constexpr UINT TCM_GETCURSEL = TCM_FIRST + 11;
constexpr UINT TCM_SETCURSEL = TCM_FIRST + 12;
constexpr UINT TCM_HITTEST = TCM_FIRST + 13;
constexpr UINT TCM_SETITEMEXTRA = TCM_FIRST + 14;
constexpr UINT TCM_ADJUSTRECT = TCM_FIRST + 40;
constexpr UINT TCM_SETITEMSIZE = TCM_FIRST + 41;
constexpr UINT TCM_GETROWCOUNT = TCM_FIRST + 44;
constexpr UINT TCM_GETCURFOCUS = TCM_FIRST + 47;
constexpr UINT TCM_SETCURFOCUS = TCM_FIRST + 48;
constexpr UINT TCM_GETITEMW = TCM_FIRST + 60;
constexpr UINT TCM_SETITEMW = TCM_FIRST + 61;
constexpr UINT TCM_INSERTITEMW = TCM_FIRST + 62;
constexpr UINT TCIF_TEXT = 0x0001;
constexpr UINT TCIF_IMAGE = 0x0002;
constexpr UINT TCIF_RTLREADING = 0x0004;
constexpr UINT TCIF_PARAM = 0x0008;
constexpr UINT TCIF_STATE = 0x0010;
constexpr UINT TCN_FIRST = 0U - 550U;
constexpr UINT TCN_KEYDOWN = TCN_FIRST - 0;
constexpr UINT TCN_SELCHANGE = TCN_FIRST - 1;
constexpr UINT TCN_SELCHANGING = TCN_FIRST - 2;
struct TCITEMW {
  UINT mask;          // TCIF_*
  DWORD dwState;      // TCIS_* state
  DWORD dwStateMask;  // which state bits
  LPWSTR pszText;     // text (TCM_GETITEMW: the buffer)
  int cchTextMax;     // buffer size in characters
  int iImage;         // image index
  LPARAM lParam;      // caller's value
};
struct TCHITTESTINFO {
  POINT pt;     // client coordinates
  UINT flags;   // out: TCHT_*
};
constexpr UINT TCHT_NOWHERE = 0x0001;
constexpr UINT TCHT_ONITEM = 0x0006;

// ---- Property sheet messages ---------------------------------------------------------------------
constexpr UINT PSM_SETCURSEL = WM_USER + 101;
constexpr UINT PSM_REMOVEPAGE = WM_USER + 102;
constexpr UINT PSM_ADDPAGE = WM_USER + 103;
constexpr UINT PSM_CHANGED = WM_USER + 104;
constexpr UINT PSM_RESTARTWINDOWS = WM_USER + 105;
constexpr UINT PSM_REBOOTSYSTEM = WM_USER + 106;
constexpr UINT PSM_CANCELTOCLOSE = WM_USER + 107;
constexpr UINT PSM_QUERYSIBLINGS = WM_USER + 108;
constexpr UINT PSM_UNCHANGED = WM_USER + 109;
constexpr UINT PSM_APPLY = WM_USER + 110;
constexpr UINT PSM_SETWIZBUTTONS = WM_USER + 112;
constexpr UINT PSM_PRESSBUTTON = WM_USER + 113;
constexpr UINT PSM_SETCURSELID = WM_USER + 114;
constexpr UINT PSM_GETTABCONTROL = WM_USER + 116;
constexpr UINT PSM_ISDIALOGMESSAGE = WM_USER + 117;
constexpr UINT PSM_GETCURRENTPAGEHWND = WM_USER + 118;
constexpr UINT PSM_SETTITLEW = WM_USER + 120;
constexpr UINT PSM_SETFINISHTEXTW = WM_USER + 121;
static_assert(PSM_CHANGED == 0x468);
