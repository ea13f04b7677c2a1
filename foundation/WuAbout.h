// The about box and version text.
//
// WuAboutBox shows a tabbed, localised about box: a property sheet whose
// pages are dialog templates of the about pool (WuAboutResPool), chosen by
// a page mask and filled from a record of texts that the caller keeps. The
// library adds the system-information page (operating system, languages,
// processor, display and memory) itself.
//
// Two helpers serve the rest of the library: WuFormatPropLabel pads a
// label column for text listings, and WuVersion_GetString reads a text of a
// file's version block.
#pragma once

#include "foundation/WuResPool.h"
#include "platform/gdi/gdi.h"
#include "platform/kernel/types.h"
#include "platform/user/windows.h"

// ---- Pages --------------------------------------------------------------------------------
// Mask bits of the pages, with the dialog id of each page's template.
constexpr DWORD WUABOUT_GENERAL = 0x0001;      // 101
constexpr DWORD WUABOUT_COMPUTER = 0x0002;     // 102: the system information
constexpr DWORD WUABOUT_PERFORMANCE = 0x0004;  // 103
constexpr DWORD WUABOUT_ACK_113 = 0x0008;      // 113: acknowledgement page
constexpr DWORD WUABOUT_ACK_114 = 0x0010;      // 114: acknowledgement page
constexpr DWORD WUABOUT_ACK_105 = 0x0020;      // 105: acknowledgement page
constexpr DWORD WUABOUT_ACK_108 = 0x0040;      // 108: acknowledgement page
constexpr DWORD WUABOUT_SKIN = 0x0080;         // 106
constexpr DWORD WUABOUT_CREDITS = 0x0100;      // 104: acknowledgement page with optional lines
constexpr DWORD WUABOUT_GENERAL2 = 0x0200;     // 107: General, second layout
constexpr DWORD WUABOUT_COMPONENTS = 0x0400;   // 109
constexpr DWORD WUABOUT_DEVICES = 0x0800;      // 110: multimedia devices
constexpr DWORD WUABOUT_COPYRIGHTS = 0x1000;   // 112: composed acknowledgement text
constexpr DWORD WUABOUT_ACK_115 = 0x2000;      // 115: acknowledgement page
// The pages of a mask of 0.
constexpr DWORD WUABOUT_DEFAULT_PAGES = WUABOUT_GENERAL | WUABOUT_COMPUTER | WUABOUT_PERFORMANCE;

// Start selectors.
constexpr int WUABOUT_START_LAST = 0;         // the page shown last time, else the first
constexpr int WUABOUT_START_GENERAL = 1;      // General (mask bit 0x1 required)
constexpr int WUABOUT_START_COMPUTER = 2;     // Computer (mask bit 0x2 required)
constexpr int WUABOUT_START_PERFORMANCE = 3;  // Performance (mask bit 0x4 required)

// Acknowledgement flags. 0x1..0x4 show the optional lines 3040..3042 of the
// acknowledgement pages. On the Copyrights page each flag adds its text;
// 0x8 shows two images, 0x10 a link and an image, 0x40 leaves out the
// built-in thanks and 0x20 adds the closing text.
constexpr DWORD WUABOUT_ACK_LINE1 = 0x01;
constexpr DWORD WUABOUT_ACK_LINE2 = 0x02;
constexpr DWORD WUABOUT_ACK_LINE3 = 0x04;
constexpr DWORD WUABOUT_ACK_IMAGES = 0x08;
constexpr DWORD WUABOUT_ACK_LINK = 0x10;
constexpr DWORD WUABOUT_ACK_CLOSING = 0x20;
constexpr DWORD WUABOUT_ACK_NO_THANKS = 0x40;

// Control ids of the page templates that the pages fill.
constexpr int WUABOUT_IDC_SKIN_TITLE = 3004;
constexpr int WUABOUT_IDC_SKIN_AUTHOR = 3005;
constexpr int WUABOUT_IDC_SKIN_COPYRIGHT = 3006;
constexpr int WUABOUT_IDC_SKIN_DESCRIPTION = 3007;
constexpr int WUABOUT_IDC_HEADER = 3008;      // the header bitmap's place
constexpr int WUABOUT_IDC_PRODUCT = 3009;
constexpr int WUABOUT_IDC_VERSION = 3010;
constexpr int WUABOUT_IDC_COPYRIGHT = 3011;
constexpr int WUABOUT_IDC_LEGAL = 3015;
constexpr int WUABOUT_IDC_COMMENTS = 3016;
constexpr int WUABOUT_IDC_SYSINFO = 3017;     // the Computer page's listing
constexpr int WUABOUT_IDC_LINK = 3018;        // the web link
constexpr int WUABOUT_IDC_BITMAP = 3021;      // the caller's bitmap's place
constexpr int WUABOUT_IDC_COMPONENTS = 3022;
constexpr int WUABOUT_IDC_DEVICES = 3039;
constexpr int WUABOUT_IDC_ACK_LINE1 = 3040;
constexpr int WUABOUT_IDC_ACK_LINE2 = 3041;
constexpr int WUABOUT_IDC_ACK_LINE3 = 3042;
constexpr int WUABOUT_IDC_ACK_TEXT = 3043;    // the Copyrights page's text
constexpr int WUABOUT_IDC_COPYRIGHT2 = 3044;
constexpr int WUABOUT_IDC_ACK_IMAGE1 = 3060;
constexpr int WUABOUT_IDC_ACK_IMAGE2 = 3067;
constexpr int WUABOUT_IDC_ACK_IMAGE3 = 3068;
constexpr int WUABOUT_IDC_ACK_LINK = 3069;

// The width and buffer of the Computer page's label column.
constexpr int WUABOUT_LABEL_WIDTH = 30;
constexpr int WUABOUT_LABEL_BUFFER = 128;

// The multimedia-device provider of the Multimedia Devices page: called
// with the page window when the page initialises, then, each time the page
// becomes active, Refresh(0) and GetText. A non-empty text is appended to
// the page's text box. The caller owns the object.
class IWuAboutDevices {
 public:
  virtual HRESULT Initialize(HWND page) = 0;
  virtual HRESULT Refresh(DWORD reserved) = 0;
  // *text: a text the provider keeps (NULL: nothing); *extra: the
  // provider's own value.
  virtual HRESULT GetText(LPCWSTR* text, DWORD* extra) = 0;

 protected:
  virtual ~IWuAboutDevices() = default;
};

// The caller's record of what to show. Every text may be NULL.
struct WUABOUTINFO {
  int startPage;                    // WUABOUT_START_*
  LPCWSTR productName;              // product name (also in the caption)
  LPCWSTR version;                  // version text
  LPCWSTR copyright;                // copyright text
  LPCWSTR copyright2;               // second copyright text
  LPCWSTR comments;                 // comments
  LPCWSTR linkText;                 // the web link's text
  LPCWSTR linkTarget;               // what the link opens: a page number or an address
  LPCWSTR skinTitle;                // skin title
  LPCWSTR skinAuthor;               // skin author
  LPCWSTR skinCopyright;            // skin copyright
  LPCWSTR skinDescription;          // skin description
  LPARAM computerValue;             // handed to the Computer page (kept, not read)
  LPCWSTR components;               // components text
  IWuAboutDevices* devices;         // multimedia-device provider, or NULL
  DWORD pageMask;                   // WUABOUT_* pages; 0 means WUABOUT_DEFAULT_PAGES
  const BITMAPINFOHEADER* bitmap;   // packed bitmap drawn on the General page, or NULL
  int bitmapWidth;                  // its width in pixels
  int bitmapHeight;                 // its height in pixels
  DWORD ackFlags;                   // WUABOUT_ACK_*
  LPCWSTR linkClassFormat;          // class name of the link with one "%s"; NULL or empty:
                                    // "WuKrn_Static_Class"
  HWND owner;                       // set by WuAboutBox
};

// The sheet's state: the caller's record and what the pages share.
struct WUABOUTSTATE {
  WUABOUTINFO info;                 // copy of the caller's record
  BOOL changed;                     // a page reported a change
  INT_PTR result;                   // WuAboutBox's result (no page sets it)
  BOOL initializing;                // a page is filling its controls
  BOOL centerOnce;                  // the first page centres the sheet
  int lastPage;                     // dialog id of the last active page
  const BITMAPINFOHEADER* header;   // the language's header bitmap (in the pool), or NULL
  int headerWidth;                  // its width
  int headerHeight;                 // its height
  BOOL showHeader;                  // the language table's show flag
  DWORD madePages;                  // bit per page-table index whose dialog was made
};

// Runs the about box modally over `owner`. `size` is the byte size of the
// caller's record; at most sizeof(WUABOUTINFO) bytes are taken, the rest
// reads as zero. Returns 0 when the record is NULL, when the start page
// asked for is not among the chosen pages, or when no page can be made;
// otherwise the state's result (0).
INT_PTR WuAboutBox(HWND owner, const WUABOUTINFO* info, int size);

// Gives a page template its bitmaps: every static control with SS_BITMAP
// whose text names a bitmap (an ordinal or a non-empty name) becomes a
// "WuKrn_Static_Class" control, and when the pool has that bitmap, the
// control gets it as a device bitmap in its creation data and an empty
// text. The rebuilt template replaces the one in `buffer` (`size` bytes of
// a buffer of `buffer_size`) only when it fits. Returns the template's size
// afterwards (`size` when nothing changed, 0 for bad arguments). Bitmaps
// handed to controls are recorded in `bitmaps` (up to `bitmap_count`,
// NULL for none) so that the caller can delete those that no control took;
// *made receives how many were recorded.
int WuAboutBox_CreateDialog(const _WURESPOOL* pool, void* buffer, int size, int buffer_size,
                            HBITMAP* bitmaps = nullptr, int bitmap_count = 0, int* made = nullptr);

// Writes a label column into `buffer` of `size` characters: four spaces,
// the label (cut to fit), ":" and spaces up to width - 1 characters, where
// the width is at most `size`. Returns the width used (0 when nothing fits).
int WuFormatPropLabel(LPCWSTR label, int width, LPWSTR buffer, int size);

// Reads the text `name` of the file's version block for its first
// translation into `buffer` of `size` characters (bounded, terminated).
// S_OK, or 0x8004E00A when the file has no version block, no translation
// or no such text, or an argument is bad.
HRESULT WuVersion_GetString(LPCWSTR path, LPCWSTR name, LPWSTR buffer, int size);

// The dialog id the next WuAboutBox with WUABOUT_START_LAST starts at (0:
// none yet); tests reset it.
int WuAboutBox_GetLastPage();
void WuAboutBox_SetLastPage(int dialog_id);
