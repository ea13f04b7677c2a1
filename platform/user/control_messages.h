// The messages of the common controls that the front ends read and drive:
// the codes every common control shares, the progress bar's, the tab
// control's and the toolbar's class names, messages and records, the tool
// tip's text request, and the property sheet's messages. The controls themselves are in platform/comctl/ (commctrl.h,
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

// ---- Toolbar -------------------------------------------------------------------------------------
// Buttons lie in one row from the indent, each its button width (a
// separator its iBitmap width, 8 when 0); hidden buttons take no room and
// have no rectangle. A TBBUTTON is 32 bytes here; TB_BUTTONSTRUCTSIZE
// records the caller's size and the 32-bit form's 20 is taken to mean this
// record.
// A click on an enabled button (the left button pressed and released over
// it) sends WM_COMMAND (wParam the button's command, lParam the toolbar) to
// the notify window: the parent, or the window given by TB_SETPARENT. A
// check button (BTNS_CHECK) changes its checked state first.
// With TBSTYLE_TOOLTIPS the toolbar answers a TTN_GETDISPINFOW notice sent
// to it (as a tool tip asks for a button's text; idFrom the command) by
// passing it to the notify window, whose answer is the button's tip (see
// NMTTDISPINFOW); without the style it answers nothing. Front ends name
// the buttons by these tips.
#define TOOLBARCLASSNAMEW u"ToolbarWindow32"
constexpr BYTE TBSTATE_CHECKED = 0x01;
constexpr BYTE TBSTATE_PRESSED = 0x02;
constexpr BYTE TBSTATE_ENABLED = 0x04;
constexpr BYTE TBSTATE_HIDDEN = 0x08;
constexpr BYTE TBSTATE_INDETERMINATE = 0x10;
constexpr BYTE TBSTATE_WRAP = 0x20;
constexpr BYTE TBSTATE_ELLIPSES = 0x40;
constexpr BYTE TBSTATE_MARKED = 0x80;
constexpr BYTE BTNS_BUTTON = 0x00;
constexpr BYTE BTNS_SEP = 0x01;
constexpr BYTE BTNS_CHECK = 0x02;
constexpr BYTE BTNS_GROUP = 0x04;
constexpr BYTE BTNS_CHECKGROUP = BTNS_GROUP | BTNS_CHECK;
constexpr BYTE BTNS_DROPDOWN = 0x08;
constexpr BYTE BTNS_AUTOSIZE = 0x10;
constexpr BYTE BTNS_NOPREFIX = 0x20;
constexpr BYTE BTNS_SHOWTEXT = 0x40;
constexpr BYTE BTNS_WHOLEDROPDOWN = 0x80;
constexpr BYTE TBSTYLE_BUTTON = BTNS_BUTTON;
constexpr BYTE TBSTYLE_SEP = BTNS_SEP;
constexpr BYTE TBSTYLE_CHECK = BTNS_CHECK;
constexpr BYTE TBSTYLE_GROUP = BTNS_GROUP;
constexpr BYTE TBSTYLE_CHECKGROUP = BTNS_CHECKGROUP;
constexpr BYTE TBSTYLE_DROPDOWN = BTNS_DROPDOWN;
constexpr BYTE TBSTYLE_AUTOSIZE = BTNS_AUTOSIZE;
constexpr DWORD TBSTYLE_TOOLTIPS = 0x0100;
constexpr DWORD TBSTYLE_WRAPABLE = 0x0200;
constexpr DWORD TBSTYLE_ALTDRAG = 0x0400;
constexpr DWORD TBSTYLE_FLAT = 0x0800;
constexpr DWORD TBSTYLE_LIST = 0x1000;
constexpr DWORD TBSTYLE_CUSTOMERASE = 0x2000;
constexpr DWORD TBSTYLE_REGISTERDROP = 0x4000;
constexpr DWORD TBSTYLE_TRANSPARENT = 0x8000;
constexpr DWORD TBSTYLE_EX_DRAWDDARROWS = 0x00000001;
constexpr DWORD TBSTYLE_EX_MIXEDBUTTONS = 0x00000008;
constexpr DWORD TBSTYLE_EX_HIDECLIPPEDBUTTONS = 0x00000010;
constexpr DWORD TBSTYLE_EX_DOUBLEBUFFER = 0x00000080;
constexpr UINT TB_ENABLEBUTTON = WM_USER + 1;
constexpr UINT TB_CHECKBUTTON = WM_USER + 2;
constexpr UINT TB_PRESSBUTTON = WM_USER + 3;
constexpr UINT TB_HIDEBUTTON = WM_USER + 4;
constexpr UINT TB_INDETERMINATE = WM_USER + 5;
constexpr UINT TB_ISBUTTONENABLED = WM_USER + 9;
constexpr UINT TB_ISBUTTONCHECKED = WM_USER + 10;
constexpr UINT TB_ISBUTTONPRESSED = WM_USER + 11;
constexpr UINT TB_ISBUTTONHIDDEN = WM_USER + 12;
constexpr UINT TB_ISBUTTONINDETERMINATE = WM_USER + 13;
constexpr UINT TB_SETSTATE = WM_USER + 17;
constexpr UINT TB_GETSTATE = WM_USER + 18;
constexpr UINT TB_DELETEBUTTON = WM_USER + 22;
constexpr UINT TB_GETBUTTON = WM_USER + 23;
constexpr UINT TB_BUTTONCOUNT = WM_USER + 24;
constexpr UINT TB_COMMANDTOINDEX = WM_USER + 25;
constexpr UINT TB_GETITEMRECT = WM_USER + 29;
constexpr UINT TB_BUTTONSTRUCTSIZE = WM_USER + 30;
constexpr UINT TB_SETBUTTONSIZE = WM_USER + 31;
constexpr UINT TB_SETBITMAPSIZE = WM_USER + 32;
constexpr UINT TB_AUTOSIZE = WM_USER + 33;
constexpr UINT TB_GETTOOLTIPS = WM_USER + 35;
constexpr UINT TB_SETPARENT = WM_USER + 37;
constexpr UINT TB_SETROWS = WM_USER + 39;
constexpr UINT TB_GETROWS = WM_USER + 40;
constexpr UINT TB_SETCMDID = WM_USER + 42;
constexpr UINT TB_SETINDENT = WM_USER + 47;
constexpr UINT TB_SETIMAGELIST = WM_USER + 48;
constexpr UINT TB_GETIMAGELIST = WM_USER + 49;
constexpr UINT TB_GETRECT = WM_USER + 51;
constexpr UINT TB_SETHOTIMAGELIST = WM_USER + 52;
constexpr UINT TB_SETDISABLEDIMAGELIST = WM_USER + 54;
constexpr UINT TB_SETSTYLE = WM_USER + 56;
constexpr UINT TB_GETSTYLE = WM_USER + 57;
constexpr UINT TB_GETBUTTONSIZE = WM_USER + 58;
constexpr UINT TB_SETBUTTONWIDTH = WM_USER + 59;
constexpr UINT TB_SETMAXTEXTROWS = WM_USER + 60;
constexpr UINT TB_GETTEXTROWS = WM_USER + 61;
constexpr UINT TB_INSERTBUTTONW = WM_USER + 67;
constexpr UINT TB_ADDBUTTONSW = WM_USER + 68;
constexpr UINT TB_GETBUTTONTEXTW = WM_USER + 75;
constexpr UINT TB_ADDSTRINGW = WM_USER + 77;
constexpr UINT TB_SETEXTENDEDSTYLE = WM_USER + 84;
constexpr UINT TB_GETEXTENDEDSTYLE = WM_USER + 85;
constexpr UINT TB_GETIDEALSIZE = WM_USER + 99;  // wParam FALSE: width, TRUE: height into SIZE*
constexpr UINT TBN_FIRST = 0U - 700U;
struct TBBUTTON {
  int iBitmap;        // image index (a separator: its width)
  int idCommand;      // command id sent with WM_COMMAND
  BYTE fsState;       // TBSTATE_*
  BYTE fsStyle;       // BTNS_*
  BYTE bReserved[6];  // padding
  DWORD_PTR dwData;   // caller's value
  INT_PTR iString;    // text: an index of TB_ADDSTRINGW or a pointer
};
static_assert(sizeof(TBBUTTON) == 32);

// ---- Tool tips ------------------------------------------------------------------------------------
constexpr UINT TTN_FIRST = 0U - 520U;
constexpr UINT TTN_GETDISPINFOW = TTN_FIRST - 10;
constexpr UINT TTN_NEEDTEXTW = TTN_GETDISPINFOW;
constexpr UINT TTF_IDISHWND = 0x0001;
constexpr UINT TTF_DI_SETITEM = 0x8000;
// The text a tool tip asks for. The answer is one of: lpszText pointing at
// a text; the text copied into szText (lpszText left at szText); or hinst
// with lpszText a string resource id (MAKEINTRESOURCEW).
struct NMTTDISPINFOW {
  NMHDR hdr;          // hwndFrom the asking control, idFrom the tool (a button's command), TTN_GETDISPINFOW
  LPWSTR lpszText;    // the answer (or a resource id with hinst)
  WCHAR szText[80];   // room for an answer
  HINSTANCE hinst;    // module of a string resource, or NULL
  UINT uFlags;        // TTF_*
  LPARAM lParam;      // the tool's value (a button's dwData)
};

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
