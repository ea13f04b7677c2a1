// The common controls: progress bar, tab control, toolbar, tree view and
// property sheets, and the process-wide settings the library touches.
//
// The control classes are system classes of the window model
// (platform/user/windows.h): they exist from the start, and
// InitCommonControlsEx only confirms them. Pixel layout is the model's own.
//
// The shared codes and the progress bar's, tab control's, toolbar's and
// property sheet's messages are in platform/user/control_messages.h (the
// front ends read them), included here.
#pragma once

#include "platform/kernel/types.h"
#include "platform/user/control_messages.h"
#include "platform/user/windows.h"

// Sets the UI language of the common controls for the process (recorded).
void InitMUILanguage(LANGID language);

namespace platform {
// The language last given to InitMUILanguage (0 before any call).
LANGID CommonControlsUILanguage();
// Registers the common control classes as system classes; the window model
// calls it through its registrar hook (platform/comctl/comctl_hooks.cpp).
void RegisterCommonControlClasses();
}  // namespace platform

// ---- Initialisation ------------------------------------------------------------------
constexpr DWORD ICC_LISTVIEW_CLASSES = 0x00000001;
constexpr DWORD ICC_TREEVIEW_CLASSES = 0x00000002;
constexpr DWORD ICC_BAR_CLASSES = 0x00000004;
constexpr DWORD ICC_TAB_CLASSES = 0x00000008;
constexpr DWORD ICC_UPDOWN_CLASS = 0x00000010;
constexpr DWORD ICC_PROGRESS_CLASS = 0x00000020;
constexpr DWORD ICC_HOTKEY_CLASS = 0x00000040;
constexpr DWORD ICC_ANIMATE_CLASS = 0x00000080;
constexpr DWORD ICC_WIN95_CLASSES = 0x000000FF;
constexpr DWORD ICC_DATE_CLASSES = 0x00000100;
constexpr DWORD ICC_USEREX_CLASSES = 0x00000200;
constexpr DWORD ICC_COOL_CLASSES = 0x00000400;
constexpr DWORD ICC_STANDARD_CLASSES = 0x00004000;
constexpr DWORD ICC_LINK_CLASS = 0x00008000;

struct INITCOMMONCONTROLSEX {
  DWORD dwSize;  // sizeof(INITCOMMONCONTROLSEX)
  DWORD dwICC;   // ICC_* classes wanted
};
// TRUE for a record of the right size; FALSE (ERROR_INVALID_PARAMETER)
// otherwise.
BOOL InitCommonControlsEx(const INITCOMMONCONTROLSEX* init);
void InitCommonControls();

// ---- Image lists ------------------------------------------------------------------------------
// A row of images of one size. Each image keeps its colours and, in a list
// made with ILC_MASK, a mask of the pixels that are transparent. Controls
// that take a list keep its handle.
struct _IMAGELIST;
typedef struct _IMAGELIST* HIMAGELIST;
constexpr UINT ILC_MASK = 0x00000001;
constexpr UINT ILC_COLOR = 0x00000000;
constexpr UINT ILC_COLORDDB = 0x000000FE;
constexpr UINT ILC_COLOR4 = 0x00000004;
constexpr UINT ILC_COLOR8 = 0x00000008;
constexpr UINT ILC_COLOR16 = 0x00000010;
constexpr UINT ILC_COLOR24 = 0x00000018;
constexpr UINT ILC_COLOR32 = 0x00000020;
constexpr UINT ILD_NORMAL = 0x00000000;
constexpr UINT ILD_TRANSPARENT = 0x00000001;
constexpr UINT ILD_MASK = 0x00000010;
constexpr COLORREF CLR_NONE = 0xFFFFFFFF;
constexpr UINT ILD_ROP = 0x00000040;  // ImageList_DrawIndirect: blit with dwRop

// A new empty list of images `cx` by `cy` (both 1..4096); NULL
// (ERROR_INVALID_PARAMETER) otherwise. `initial` and `grow` are hints.
HIMAGELIST ImageList_Create(int cx, int cy, UINT flags, int initial, int grow);
BOOL ImageList_Destroy(HIMAGELIST list);
// Appends the images of a bitmap cut into the list's width from the left
// (a part narrower than one image is dropped). With a mask bitmap
// (monochrome: white is transparent) and ILC_MASK the mask is kept. The
// index of the first image added, or -1.
int ImageList_Add(HIMAGELIST list, HBITMAP image, HBITMAP mask);
// The same with the pixels of colour `mask` transparent (ILC_MASK).
int ImageList_AddMasked(HIMAGELIST list, HBITMAP image, COLORREF mask);
int ImageList_GetImageCount(HIMAGELIST list);
BOOL ImageList_GetIconSize(HIMAGELIST list, int* cx, int* cy);
// Draws image `index` at (x, y). Transparent pixels of a masked list are
// left as they are (ILD_NORMAL and ILD_TRANSPARENT alike); ILD_MASK draws
// the mask itself, black for the image and white for the transparent
// pixels.
BOOL ImageList_Draw(HIMAGELIST list, int index, HDC dc, int x, int y, UINT style);
// Draws image `index` at (x, y), `dx` by `dy` pixels of it from its top
// left (0: the image's width or height). With ILD_NORMAL and a background
// colour `bk` the transparent pixels of a masked list are painted in it;
// CLR_NONE and CLR_DEFAULT (the list's background, which is always none
// here) leave them as they are, as ILD_TRANSPARENT does. `fg` matters only
// for blending, which is not drawn. (platform/comctl/image_list_draw_ex.cpp)
BOOL ImageList_DrawEx(HIMAGELIST list, int index, HDC dc, int x, int y, int dx, int dy,
                      COLORREF bk, COLORREF fg, UINT style);
// Where an image lies in the list's strip. The list keeps its images as
// pixels, not as bitmaps, so hbmImage and hbmMask are NULL; rcImage is
// the image's rectangle (image `index` at x = index * width).
struct IMAGEINFO {
  HBITMAP hbmImage;  // NULL here
  HBITMAP hbmMask;   // NULL here
  int Unused1;       // unused
  int Unused2;       // unused
  RECT rcImage;      // the image's rectangle in the strip
};
// FALSE for a bad list, index or null record. (image_list_indirect.cpp)
BOOL ImageList_GetImageInfo(HIMAGELIST list, int index, IMAGEINFO* info);
// The arguments of ImageList_DrawIndirect.
struct IMAGELISTDRAWPARAMS {
  DWORD cbSize;        // sizeof(IMAGELISTDRAWPARAMS)
  HIMAGELIST himl;     // the list
  int i;               // image index
  HDC hdcDst;          // destination
  int x;               // destination left
  int y;               // destination top
  int cx;              // width drawn (0: the image's width)
  int cy;              // height drawn (0: the image's height)
  int xBitmap;         // left of the part drawn within the image (ILD_ROP only)
  int yBitmap;         // top of the part drawn within the image (ILD_ROP only)
  COLORREF rgbBk;      // background colour, as ImageList_DrawEx's `bk`
  COLORREF rgbFg;      // foreground colour, as ImageList_DrawEx's `fg`
  UINT fStyle;         // ILD_* style
  DWORD dwRop;         // raster operation with ILD_ROP
  DWORD fState;        // effects: not drawn
  DWORD Frame;         // alpha: not drawn
  COLORREF crEffect;   // effect colour: not drawn
};
// Without ILD_ROP: ImageList_DrawEx with the record's values. With
// ILD_ROP: the image (with ILD_MASK its mask, black for the image and
// white for the transparent pixels) is blitted with dwRop, so a mono-like
// mask can paint through the destination's brush. FALSE (with
// ERROR_INVALID_PARAMETER) for a bad record, index or offset.
BOOL ImageList_DrawIndirect(IMAGELISTDRAWPARAMS* params);
// A list from a bitmap resource of `instance` cut into images `cx` wide
// (the bitmap's height high). `mask` is CLR_NONE for no mask or the colour
// that is transparent. Only IMAGE_BITMAP is taken; `flags` go to
// LoadImageW (LR_CREATEDIBSECTION is accepted). NULL on failure.
HIMAGELIST ImageList_LoadImageW(HINSTANCE instance, LPCWSTR name, int cx, int grow,
                                COLORREF mask, UINT type, UINT flags);


// ---- Tree view --------------------------------------------------------------------------------------
// Items with text, parameters and state; the caret (selected) item with
// TVN_SELCHANGINGW / TVN_SELCHANGEDW when it changes.
#define WC_TREEVIEWW u"SysTreeView32"
struct _TREEITEM;
typedef struct _TREEITEM* HTREEITEM;
#define TVI_ROOT (reinterpret_cast<HTREEITEM>(static_cast<ULONG_PTR>(-0x10000)))
#define TVI_FIRST (reinterpret_cast<HTREEITEM>(static_cast<ULONG_PTR>(-0x0FFFF)))
#define TVI_LAST (reinterpret_cast<HTREEITEM>(static_cast<ULONG_PTR>(-0x0FFFE)))
#define TVI_SORT (reinterpret_cast<HTREEITEM>(static_cast<ULONG_PTR>(-0x0FFFD)))
constexpr DWORD TVS_HASBUTTONS = 0x0001;
constexpr DWORD TVS_HASLINES = 0x0002;
constexpr DWORD TVS_LINESATROOT = 0x0004;
constexpr DWORD TVS_EDITLABELS = 0x0008;
constexpr DWORD TVS_SHOWSELALWAYS = 0x0020;
constexpr UINT TV_FIRST = 0x1100;
constexpr UINT TVM_DELETEITEM = TV_FIRST + 1;
constexpr UINT TVM_EXPAND = TV_FIRST + 2;
constexpr UINT TVM_GETITEMRECT = TV_FIRST + 4;
constexpr UINT TVM_GETCOUNT = TV_FIRST + 5;
constexpr UINT TVM_GETNEXTITEM = TV_FIRST + 10;
constexpr UINT TVM_SELECTITEM = TV_FIRST + 11;
constexpr UINT TVM_INSERTITEMW = TV_FIRST + 50;
constexpr UINT TVM_GETITEMW = TV_FIRST + 62;
constexpr UINT TVM_SETITEMW = TV_FIRST + 63;
constexpr WPARAM TVGN_ROOT = 0x0000;
constexpr WPARAM TVGN_NEXT = 0x0001;
constexpr WPARAM TVGN_PREVIOUS = 0x0002;
constexpr WPARAM TVGN_PARENT = 0x0003;
constexpr WPARAM TVGN_CHILD = 0x0004;
constexpr WPARAM TVGN_FIRSTVISIBLE = 0x0005;
constexpr WPARAM TVGN_NEXTVISIBLE = 0x0006;
constexpr WPARAM TVGN_PREVIOUSVISIBLE = 0x0007;
constexpr WPARAM TVGN_DROPHILITE = 0x0008;
constexpr WPARAM TVGN_CARET = 0x0009;
constexpr WPARAM TVGN_LASTVISIBLE = 0x000A;
constexpr WPARAM TVE_COLLAPSE = 0x0001;
constexpr WPARAM TVE_EXPAND = 0x0002;
constexpr WPARAM TVE_TOGGLE = 0x0003;
constexpr UINT TVIF_TEXT = 0x0001;
constexpr UINT TVIF_IMAGE = 0x0002;
constexpr UINT TVIF_PARAM = 0x0004;
constexpr UINT TVIF_STATE = 0x0008;
constexpr UINT TVIF_HANDLE = 0x0010;
constexpr UINT TVIF_SELECTEDIMAGE = 0x0020;
constexpr UINT TVIF_CHILDREN = 0x0040;
constexpr UINT TVIS_SELECTED = 0x0002;
constexpr UINT TVIS_EXPANDED = 0x0020;
constexpr UINT TVC_UNKNOWN = 0x0000;
constexpr UINT TVC_BYMOUSE = 0x0001;
constexpr UINT TVC_BYKEYBOARD = 0x0002;
constexpr UINT TVN_FIRST = 0U - 400U;
constexpr UINT TVN_SELCHANGINGW = TVN_FIRST - 50;
constexpr UINT TVN_SELCHANGEDW = TVN_FIRST - 51;
constexpr UINT TVN_ENDLABELEDITW = TVN_FIRST - 60;
struct TVITEMW {
  UINT mask;            // TVIF_*
  HTREEITEM hItem;      // the item
  UINT state;           // TVIS_*
  UINT stateMask;       // which state bits
  LPWSTR pszText;       // text (TVM_GETITEMW: the buffer)
  int cchTextMax;       // buffer size in characters
  int iImage;           // image index
  int iSelectedImage;   // image index when selected
  int cChildren;        // 1: has children
  LPARAM lParam;        // caller's value
};
struct TVITEMEXW : TVITEMW {
  int iIntegral;        // height in item heights
  UINT uStateEx;        // extended state
  HWND hwnd;            // reserved
  int iExpandedImage;   // image when expanded
  int iReserved;        // reserved
};
struct TVINSERTSTRUCTW {
  HTREEITEM hParent;       // parent (TVI_ROOT or NULL: top level)
  HTREEITEM hInsertAfter;  // TVI_FIRST, TVI_LAST, TVI_SORT or a sibling
  union {
    TVITEMEXW itemex;      // the item (extended form)
    TVITEMW item;          // the item
  };
};
struct NMTREEVIEWW {
  NMHDR hdr;          // the header
  UINT action;        // TVC_*
  TVITEMW itemOld;    // the item before
  TVITEMW itemNew;    // the item after
  POINT ptDrag;       // unused
};

// ---- Property sheets ----------------------------------------------------------------------------------
// A sheet is a dialog holding a tab control (or, in wizard mode, none),
// one child dialog per page made when the page is first shown, and its
// buttons: OK, Cancel, Apply (unless PSH_NOAPPLYNOW) and Help (PSH_HASHELP);
// in wizard mode Back, Next, Finish (shown by PSM_SETWIZBUTTONS with
// PSWIZB_FINISH) and Cancel. Pages hear of everything through WM_NOTIFY
// with a PSHNOTIFY from the sheet; their answers come from DWLP_MSGRESULT.
//  - Changing pages: PSN_KILLACTIVE to the old page (non-zero keeps it),
//    then PSN_SETACTIVE to the new one (-1 refuses it; another non-zero
//    value names a page by its dialog resource id).
//  - OK: PSN_KILLACTIVE, then PSN_APPLY (lParam TRUE) to every page made;
//    PSNRET_INVALID selects that page and keeps the sheet open,
//    PSNRET_INVALID_NOCHANGEPAGE only keeps it open. Apply does the same
//    with lParam FALSE and greys the Apply button again.
//  - Cancel (also Escape and Close): PSN_QUERYCANCEL (non-zero keeps the
//    sheet), then PSN_RESET to every page made.
//  - Wizard: Next and Back send PSN_WIZNEXT / PSN_WIZBACK (0: the next or
//    previous page, -1: stay, else a dialog resource id), Finish
//    PSN_WIZFINISH (non-zero: stay).
// PropertySheetW returns 1 after OK or Finish (ID_PSRESTARTWINDOWS /
// ID_PSREBOOTSYSTEM when PSM_RESTARTWINDOWS / PSM_REBOOTSYSTEM asked), 0
// after Cancel, -1 on failure; with PSH_MODELESS the sheet window. The
// pages given as handles are destroyed when the sheet ends.
struct _PSP;
typedef struct _PSP* HPROPSHEETPAGE;
struct PROPSHEETPAGEW;
typedef UINT (*LPFNPSPCALLBACKW)(HWND window, UINT message, PROPSHEETPAGEW* page);
typedef int (*PFNPROPSHEETCALLBACK)(HWND sheet, UINT message, LPARAM param);

constexpr DWORD PSP_DEFAULT = 0x00000000;
constexpr DWORD PSP_DLGINDIRECT = 0x00000001;
constexpr DWORD PSP_USEHICON = 0x00000002;
constexpr DWORD PSP_USEICONID = 0x00000004;
constexpr DWORD PSP_USETITLE = 0x00000008;
constexpr DWORD PSP_RTLREADING = 0x00000010;
constexpr DWORD PSP_HASHELP = 0x00000020;
constexpr DWORD PSP_USEREFPARENT = 0x00000040;
constexpr DWORD PSP_USECALLBACK = 0x00000080;
constexpr DWORD PSP_PREMATURE = 0x00000400;
constexpr DWORD PSP_HIDEHEADER = 0x00000800;
constexpr DWORD PSP_USEHEADERTITLE = 0x00001000;
constexpr DWORD PSP_USEHEADERSUBTITLE = 0x00002000;
constexpr UINT PSPCB_ADDREF = 0;
constexpr UINT PSPCB_RELEASE = 1;
constexpr UINT PSPCB_CREATE = 2;

struct PROPSHEETPAGEW {
  DWORD dwSize;                    // bytes of this record (with the caller's data after it)
  DWORD dwFlags;                   // PSP_*
  HINSTANCE hInstance;             // module of the template and strings
  union {
    LPCWSTR pszTemplate;           // dialog resource name or id
    const DLGTEMPLATE* pResource;  // the template itself (PSP_DLGINDIRECT)
  };
  union {
    HICON hIcon;                   // PSP_USEHICON
    LPCWSTR pszIcon;               // PSP_USEICONID
  };
  LPCWSTR pszTitle;                // tab text (PSP_USETITLE): a string or string id
  DLGPROC pfnDlgProc;              // the page's dialog procedure
  LPARAM lParam;                   // caller's value
  LPFNPSPCALLBACKW pfnCallback;    // PSP_USECALLBACK
  UINT* pcRefParent;               // PSP_USEREFPARENT
  LPCWSTR pszHeaderTitle;          // wizard header (second version on)
  LPCWSTR pszHeaderSubTitle;       // wizard header subtitle
  HANDLE hActCtx;                  // activation context (third version)
};
// The first version ends before pszHeaderTitle.
constexpr DWORD PROPSHEETPAGEW_V1_SIZE = offsetof(PROPSHEETPAGEW, pszHeaderTitle);

constexpr DWORD PSH_DEFAULT = 0x00000000;
constexpr DWORD PSH_PROPTITLE = 0x00000001;
constexpr DWORD PSH_USEHICON = 0x00000002;
constexpr DWORD PSH_USEICONID = 0x00000004;
constexpr DWORD PSH_PROPSHEETPAGE = 0x00000008;
constexpr DWORD PSH_WIZARDHASFINISH = 0x00000010;
constexpr DWORD PSH_WIZARD = 0x00000020;
constexpr DWORD PSH_USEPSTARTPAGE = 0x00000040;
constexpr DWORD PSH_NOAPPLYNOW = 0x00000080;
constexpr DWORD PSH_USECALLBACK = 0x00000100;
constexpr DWORD PSH_HASHELP = 0x00000200;
constexpr DWORD PSH_MODELESS = 0x00000400;
constexpr DWORD PSH_RTLREADING = 0x00000800;
constexpr DWORD PSH_WIZARDCONTEXTHELP = 0x00001000;
constexpr DWORD PSH_WIZARD97 = 0x01000000;
constexpr DWORD PSH_NOCONTEXTHELP = 0x02000000;
constexpr UINT PSCB_INITIALIZED = 1;
constexpr UINT PSCB_PRECREATE = 2;

struct PROPSHEETHEADERW {
  DWORD dwSize;                    // bytes of this record
  DWORD dwFlags;                   // PSH_*
  HWND hwndParent;                 // owner
  HINSTANCE hInstance;             // module of the caption and icon
  union {
    HICON hIcon;
    LPCWSTR pszIcon;
  };
  LPCWSTR pszCaption;              // caption: a string or string id
  UINT nPages;                     // number of pages
  union {
    UINT nStartPage;               // first page shown
    LPCWSTR pStartPage;            // PSH_USEPSTARTPAGE: its title
  };
  union {
    const PROPSHEETPAGEW* ppsp;    // PSH_PROPSHEETPAGE: the page records
    HPROPSHEETPAGE* phpage;        // otherwise: page handles
  };
  PFNPROPSHEETCALLBACK pfnCallback;  // PSH_USECALLBACK
  union {
    HBITMAP hbmWatermark;          // second version on
    LPCWSTR pszbmWatermark;
  };
  HPALETTE hplWatermark;
  union {
    HBITMAP hbmHeader;
    LPCWSTR pszbmHeader;
  };
};
// The first version ends before hbmWatermark.
constexpr DWORD PROPSHEETHEADERW_V1_SIZE = offsetof(PROPSHEETHEADERW, hbmWatermark);

// WM_NOTIFY record of the sheet's notifications.
struct PSHNOTIFY {
  NMHDR hdr;      // hwndFrom the sheet, idFrom 0, code PSN_*
  LPARAM lParam;  // PSN_APPLY: TRUE for OK
};

constexpr UINT PSN_FIRST = 0U - 200U;
constexpr UINT PSN_SETACTIVE = PSN_FIRST - 0;
constexpr UINT PSN_KILLACTIVE = PSN_FIRST - 1;
constexpr UINT PSN_APPLY = PSN_FIRST - 2;
constexpr UINT PSN_RESET = PSN_FIRST - 3;
constexpr UINT PSN_HELP = PSN_FIRST - 5;
constexpr UINT PSN_WIZBACK = PSN_FIRST - 6;
constexpr UINT PSN_WIZNEXT = PSN_FIRST - 7;
constexpr UINT PSN_WIZFINISH = PSN_FIRST - 8;
constexpr UINT PSN_QUERYCANCEL = PSN_FIRST - 9;
constexpr LRESULT PSNRET_NOERROR = 0;
constexpr LRESULT PSNRET_INVALID = 1;
constexpr LRESULT PSNRET_INVALID_NOCHANGEPAGE = 2;

constexpr WPARAM PSBTN_BACK = 0;
constexpr WPARAM PSBTN_NEXT = 1;
constexpr WPARAM PSBTN_FINISH = 2;
constexpr WPARAM PSBTN_OK = 3;
constexpr WPARAM PSBTN_APPLYNOW = 4;
constexpr WPARAM PSBTN_CANCEL = 5;
constexpr WPARAM PSBTN_HELP = 6;
constexpr LPARAM PSWIZB_BACK = 0x00000001;
constexpr LPARAM PSWIZB_NEXT = 0x00000002;
constexpr LPARAM PSWIZB_FINISH = 0x00000004;
constexpr LPARAM PSWIZB_DISABLEDFINISH = 0x00000008;
constexpr INT_PTR ID_PSRESTARTWINDOWS = 0x2;
constexpr INT_PTR ID_PSREBOOTSYSTEM = ID_PSRESTARTWINDOWS | 0x1;

// The ids of the sheet's own controls.
constexpr int IDC_SHEET_TAB = 0x3020;
constexpr int IDC_SHEET_APPLY = 0x3021;
constexpr int IDC_SHEET_BACK = 0x3023;
constexpr int IDC_SHEET_NEXT = 0x3024;
constexpr int IDC_SHEET_FINISH = 0x3025;

// A page handle from a page record (copied with the caller's data that
// follows it, dwSize bytes in all); NULL (ERROR_INVALID_PARAMETER) for a
// record shorter than the first version or longer than 64 KiB. With PSP_USECALLBACK the page's
// callback hears PSPCB_ADDREF now, PSPCB_CREATE before the page's dialog is
// made (0 refuses the page) and PSPCB_RELEASE when the handle is destroyed.
HPROPSHEETPAGE CreatePropertySheetPageW(const PROPSHEETPAGEW* page);
BOOL DestroyPropertySheetPage(HPROPSHEETPAGE page);
INT_PTR PropertySheetW(const PROPSHEETHEADERW* header);

namespace platform {
// Number of page handles alive (for leak checks in tests).
size_t LivePropertySheetPageCount();
// Number of image lists alive (for leak checks in tests).
size_t LiveImageListCount();
}  // namespace platform
