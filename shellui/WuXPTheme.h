// The theme layer: a run-time binding to the visual-styles library
// "UxTheme.dll" and themed drawing that falls back to the classic painters.
//
// A binding record (tXPTHEME) holds the loaded module, its 47 entry points
// and one theme handle per control class (WUXPTHEME_CONTROL). The record's
// drawing methods take a control class in place of a theme handle: while
// the record is themed and enabled and the class has an open handle the
// call goes to the visual-styles library, otherwise to the classic painter
// of the class (shellui/CWuThemeControl.h). A class with neither gives the
// "nothing drawn" result of each method; so does a value outside 0..16.
//
// This system ships no visual-styles module, so outside tests
// XPTheme_Initialize answers 1 and every drawing is classic.
//
// Typical use: XPTheme_Default(preference) once, XPTheme_Initialize with
// XPTheme_Record() (or a record of the host's) and a top-level window at
// start-up, XPTheme_Handle_WM_THEMECHANGED from every window procedure that
// receives WM_THEMECHANGED, XPTheme_Cleanup at shut-down. Everything runs
// on the UI thread; nothing locks.
#pragma once

#include "platform/comctl/commctrl.h"
#include "platform/gdi/gdi.h"
#include "platform/kernel/module.h"
#include "platform/kernel/types.h"
#include "platform/user/windows.h"

// The control classes, each with the theme class name it opens.
enum WUXPTHEME_CONTROL : int {
  WUXPTHEME_WINDOW = 0,        // "Window"
  WUXPTHEME_BUTTON = 1,        // "Button"
  WUXPTHEME_REBAR = 2,         // "Rebar"
  WUXPTHEME_TOOLBAR = 3,       // "Toolbar"
  WUXPTHEME_STATUS = 4,        // "Status"
  WUXPTHEME_LISTVIEW = 5,      // "ListView"
  WUXPTHEME_HEADER = 6,        // "Header"
  WUXPTHEME_PROGRESS = 7,      // "Progress"
  WUXPTHEME_TAB = 8,           // "Tab"
  WUXPTHEME_TRACKBAR = 9,      // "Trackbar"
  WUXPTHEME_TOOLTIP = 10,      // "Tooltip"
  WUXPTHEME_TREEVIEW = 11,     // "TreeView"
  WUXPTHEME_SPIN = 12,         // "Spin"
  WUXPTHEME_SCROLLBAR = 13,    // "Scrollbar"
  WUXPTHEME_EDIT = 14,         // "Edit"
  WUXPTHEME_COMBOBOX = 15,     // "ComboBox"
  WUXPTHEME_EXPLORERBAR = 16,  // "ExplorerBar"
};

// Number of control classes (valid values 0 .. WUXPTHEME_COUNT - 1).
constexpr int WUXPTHEME_COUNT = 17;

// The theme class name of a control class, or null outside 0..16.
LPCWSTR XPTheme_ClassName(int control);

// ---- Visual-styles types ----------------------------------------------------------------

// An open theme of one class (OpenThemeData).
typedef HANDLE HTHEME;

// Theme application properties (Get/SetThemeAppProperties).
constexpr DWORD STAP_ALLOW_NONCLIENT = 0x1;    // themed non-client area
constexpr DWORD STAP_ALLOW_CONTROLS = 0x2;     // themed controls
constexpr DWORD STAP_ALLOW_WEBCONTENT = 0x4;   // themed web content

// DrawThemeText extra flags.
constexpr DWORD DTT_GRAYED = 0x1;              // draw the text greyed

// Part and state numbers used by the library.
constexpr int BP_PUSHBUTTON = 1;               // "Button": push button
constexpr int BP_RADIOBUTTON = 2;              // "Button": radio button
constexpr int BP_CHECKBOX = 3;                 // "Button": check box
constexpr int HP_HEADERSORTARROW = 4;          // "Header": sort arrow
constexpr int SBP_ARROWBTN = 1;                // "Scrollbar": arrow button

// Sizes GetThemePartSize can ask for.
enum THEMESIZE : int { TS_MIN = 0, TS_TRUE = 1, TS_DRAW = 2 };
// Where a theme property came from (GetThemePropertyOrigin).
enum PROPERTYORIGIN : int { PO_STATE = 0, PO_PART = 1, PO_CLASS = 2, PO_GLOBAL = 3, PO_NOTFOUND = 4 };

// Margins of a part (GetThemeMargins).
struct MARGINS {
  int cxLeftWidth;     // left margin
  int cxRightWidth;    // right margin
  int cyTopHeight;     // top margin
  int cyBottomHeight;  // bottom margin
};

// A list of integers (GetThemeIntList).
struct INTLIST {
  int iValueCount;     // values used
  int iValues[402];    // the values
};

// The 47 entry points of the visual-styles library, in resolving order.
typedef HTHEME (*PFN_OpenThemeData)(HWND window, LPCWSTR class_list);
typedef HRESULT (*PFN_CloseThemeData)(HTHEME theme);
typedef HRESULT (*PFN_DrawThemeBackground)(HTHEME theme, HDC dc, int part, int state,
                                           const RECT* rect, const RECT* clip);
typedef HRESULT (*PFN_DrawThemeText)(HTHEME theme, HDC dc, int part, int state, LPCWSTR text,
                                     int count, DWORD flags, DWORD flags2, const RECT* rect);
typedef HRESULT (*PFN_GetThemeBackgroundContentRect)(HTHEME theme, HDC dc, int part, int state,
                                                     const RECT* bounds, RECT* content);
typedef HRESULT (*PFN_GetThemeBackgroundExtent)(HTHEME theme, HDC dc, int part, int state,
                                                const RECT* content, RECT* extent);
typedef HRESULT (*PFN_GetThemePartSize)(HTHEME theme, HDC dc, int part, int state,
                                        RECT* rect, THEMESIZE size_kind, SIZE* size);
typedef HRESULT (*PFN_GetThemeTextExtent)(HTHEME theme, HDC dc, int part, int state,
                                          LPCWSTR text, int count, DWORD flags,
                                          const RECT* bounding, RECT* extent);
typedef HRESULT (*PFN_GetThemeTextMetrics)(HTHEME theme, HDC dc, int part, int state,
                                           TEXTMETRICW* metrics);
typedef HRESULT (*PFN_GetThemeBackgroundRegion)(HTHEME theme, HDC dc, int part, int state,
                                                const RECT* rect, HRGN* region);
typedef HRESULT (*PFN_HitTestThemeBackground)(HTHEME theme, HDC dc, int part, int state,
                                              DWORD options, const RECT* rect, HRGN region,
                                              POINT point, WORD* code);
typedef HRESULT (*PFN_DrawThemeEdge)(HTHEME theme, HDC dc, int part, int state,
                                     const RECT* rect, UINT edge, UINT flags, RECT* content);
typedef HRESULT (*PFN_DrawThemeIcon)(HTHEME theme, HDC dc, int part, int state,
                                     const RECT* rect, HIMAGELIST list, int index);
typedef BOOL (*PFN_IsThemePartDefined)(HTHEME theme, int part, int state);
typedef BOOL (*PFN_IsThemeBackgroundPartiallyTransparent)(HTHEME theme, int part, int state);
typedef HRESULT (*PFN_GetThemeColor)(HTHEME theme, int part, int state, int prop, COLORREF* c);
typedef HRESULT (*PFN_GetThemeMetric)(HTHEME theme, HDC dc, int part, int state, int prop,
                                      int* value);
typedef HRESULT (*PFN_GetThemeMargins)(HTHEME theme, HDC dc, int part, int state, int prop,
                                       RECT* rect, MARGINS* margins);
typedef HRESULT (*PFN_GetThemeString)(HTHEME theme, int part, int state, int prop, LPWSTR buffer,
                                      int size);
typedef HRESULT (*PFN_GetThemeBool)(HTHEME theme, int part, int state, int prop, BOOL* value);
typedef HRESULT (*PFN_GetThemeInt)(HTHEME theme, int part, int state, int prop, int* value);
typedef HRESULT (*PFN_GetThemeEnumValue)(HTHEME theme, int part, int state, int prop, int* value);
typedef HRESULT (*PFN_GetThemePosition)(HTHEME theme, int part, int state, int prop, POINT* p);
typedef HRESULT (*PFN_GetThemeFont)(HTHEME theme, HDC dc, int part, int state, int prop,
                                    LOGFONTW* font);
typedef HRESULT (*PFN_GetThemeRect)(HTHEME theme, int part, int state, int prop, RECT* rect);
typedef HRESULT (*PFN_GetThemeIntList)(HTHEME theme, int part, int state, int prop,
                                       INTLIST* list);
typedef HRESULT (*PFN_GetThemePropertyOrigin)(HTHEME theme, int part, int state, int prop,
                                              PROPERTYORIGIN* origin);
typedef HRESULT (*PFN_SetWindowTheme)(HWND window, LPCWSTR app_name, LPCWSTR id_list);
typedef HRESULT (*PFN_GetThemeFilename)(HTHEME theme, int part, int state, int prop,
                                        LPWSTR buffer, int size);
typedef COLORREF (*PFN_GetThemeSysColor)(HTHEME theme, int color_id);
typedef HBRUSH (*PFN_GetThemeSysColorBrush)(HTHEME theme, int color_id);
typedef BOOL (*PFN_GetThemeSysBool)(HTHEME theme, int bool_id);
typedef int (*PFN_GetThemeSysSize)(HTHEME theme, int size_id);
typedef HRESULT (*PFN_GetThemeSysFont)(HTHEME theme, int font_id, LOGFONTW* font);
typedef HRESULT (*PFN_GetThemeSysString)(HTHEME theme, int string_id, LPWSTR buffer, int size);
typedef HRESULT (*PFN_GetThemeSysInt)(HTHEME theme, int int_id, int* value);
typedef BOOL (*PFN_IsThemeActive)();
typedef BOOL (*PFN_IsAppThemed)();
typedef HTHEME (*PFN_GetWindowTheme)(HWND window);
typedef HRESULT (*PFN_EnableThemeDialogTexture)(HWND window, DWORD flags);
typedef BOOL (*PFN_IsThemeDialogTextureEnabled)(HWND window);
typedef DWORD (*PFN_GetThemeAppProperties)();
typedef void (*PFN_SetThemeAppProperties)(DWORD flags);
typedef HRESULT (*PFN_GetCurrentThemeName)(LPWSTR theme_file, int theme_size, LPWSTR color,
                                           int color_size, LPWSTR size_name, int size_size);
typedef HRESULT (*PFN_GetThemeDocumentationProperty)(LPCWSTR theme_name, LPCWSTR prop_name,
                                                     LPWSTR buffer, int size);
typedef HRESULT (*PFN_DrawThemeParentBackground)(HWND window, HDC dc, RECT* rect);
typedef HRESULT (*PFN_EnableTheming)(BOOL enable);

// Number of entry points a binding resolves.
constexpr int XPTHEME_ENTRY_COUNT = 47;
// Their exported names, in resolving order (the order of the record's fields).
extern const char* const kXPThemeEntryNames[XPTHEME_ENTRY_COUNT];

// ---- The binding record ----------------------------------------------------------------

// A binding to the visual-styles library. A zeroed record is valid: it is
// unbound and routes every call to the classic painters. The record holds
// plain data only, so the functions below may zero it as a whole.
struct tXPTHEME {
  int32_t themed;                        // 1 while the handles are open and theming is on
  int32_t enabled;                       // the application's theming preference
  HTHEME handles[WUXPTHEME_COUNT];       // one theme per control class (null: none)
  HMODULE module;                        // "UxTheme.dll", null when not loaded
  // The entry points, in resolving order.
  PFN_OpenThemeData OpenThemeData;
  PFN_CloseThemeData CloseThemeData;
  PFN_DrawThemeBackground DrawThemeBackground;
  PFN_DrawThemeText DrawThemeText;
  PFN_GetThemeBackgroundContentRect GetThemeBackgroundContentRect;
  PFN_GetThemeBackgroundExtent GetThemeBackgroundExtent;
  PFN_GetThemePartSize GetThemePartSize;
  PFN_GetThemeTextExtent GetThemeTextExtent;
  PFN_GetThemeTextMetrics GetThemeTextMetrics;
  PFN_GetThemeBackgroundRegion GetThemeBackgroundRegion;
  PFN_HitTestThemeBackground HitTestThemeBackground;
  PFN_DrawThemeEdge DrawThemeEdge;
  PFN_DrawThemeIcon DrawThemeIcon;
  PFN_IsThemePartDefined IsThemePartDefined;
  PFN_IsThemeBackgroundPartiallyTransparent IsThemeBackgroundPartiallyTransparent;
  PFN_GetThemeColor GetThemeColor;
  PFN_GetThemeMetric GetThemeMetric;
  PFN_GetThemeMargins GetThemeMargins;
  PFN_GetThemeString GetThemeString;
  PFN_GetThemeBool GetThemeBool;
  PFN_GetThemeInt GetThemeInt;
  PFN_GetThemeEnumValue GetThemeEnumValue;
  PFN_GetThemePosition GetThemePosition;
  PFN_GetThemeFont GetThemeFont;
  PFN_GetThemeRect GetThemeRect;
  PFN_GetThemeIntList GetThemeIntList;
  PFN_GetThemePropertyOrigin GetThemePropertyOrigin;
  PFN_SetWindowTheme SetWindowTheme;
  PFN_GetThemeFilename GetThemeFilename;
  PFN_GetThemeSysColor GetThemeSysColor;
  PFN_GetThemeSysColorBrush GetThemeSysColorBrush;
  PFN_GetThemeSysBool GetThemeSysBool;
  PFN_GetThemeSysSize GetThemeSysSize;
  PFN_GetThemeSysFont GetThemeSysFont;
  PFN_GetThemeSysString GetThemeSysString;
  PFN_GetThemeSysInt GetThemeSysInt;
  PFN_IsThemeActive IsThemeActive;
  PFN_IsAppThemed IsAppThemed;
  PFN_GetWindowTheme GetWindowTheme;
  PFN_EnableThemeDialogTexture EnableThemeDialogTexture;
  PFN_IsThemeDialogTextureEnabled IsThemeDialogTextureEnabled;
  PFN_GetThemeAppProperties GetThemeAppProperties;
  PFN_SetThemeAppProperties SetThemeAppProperties;
  PFN_GetCurrentThemeName GetCurrentThemeName;
  PFN_GetThemeDocumentationProperty GetThemeDocumentationProperty;
  PFN_DrawThemeParentBackground DrawThemeParentBackground;
  PFN_EnableTheming EnableTheming;

  // Themed drawing: arguments as the visual-styles function of the same
  // name with a control class in place of the theme handle. Scroll-bar
  // arrow hover states 17..20 become the normal states 1, 5, 9, 13 on the
  // classic path, and on the themed path before Windows Vista.
  //
  // Themed: DrawThemeBackground (the header's sort arrow is always the
  // library's own). Classic: PaintBackground. No painter: E_INVALIDARG.
  HRESULT WuDrawThemeBackground(WUXPTHEME_CONTROL control, HDC dc, int part, int state,
                                const RECT* rect, const RECT* clip);
  // DrawThemeText / PaintText; no painter: E_INVALIDARG.
  HRESULT WuDrawThemeText(WUXPTHEME_CONTROL control, HDC dc, int part, int state, LPCWSTR text,
                          int count, DWORD flags, DWORD flags2, const RECT* rect);
  // DrawThemeIcon / PaintIcon; no painter: E_INVALIDARG.
  HRESULT WuDrawThemeIcon(WUXPTHEME_CONTROL control, HDC dc, int part, int state,
                          const RECT* rect, HIMAGELIST list, int index);
  // GetThemeBackgroundContentRect / ContentRect; no painter: the output is
  // the bounds (when both are given) and E_INVALIDARG.
  HRESULT WuGetThemeBackgroundContentRect(WUXPTHEME_CONTROL control, HDC dc, int part,
                                          int state, const RECT* bounds, RECT* content);
  // GetThemeBackgroundExtent / ExtentRect; no painter: the output is the
  // content (when both are given) and E_INVALIDARG.
  HRESULT WuGetThemeBackgroundExtentRect(WUXPTHEME_CONTROL control, HDC dc, int part,
                                         int state, const RECT* content, RECT* extent);
  // IsThemeBackgroundPartiallyTransparent / IsPartiallyTransparent; no
  // painter: FALSE.
  BOOL WuIsThemeBackgroundPartiallyTransparent(WUXPTHEME_CONTROL control, int part, int state);
  // GetThemeTextExtent / TextExtent; no painter: E_INVALIDARG.
  HRESULT WuGetThemeTextExtent(WUXPTHEME_CONTROL control, HDC dc, int part, int state,
                               LPCWSTR text, int count, DWORD flags, const RECT* bounding,
                               RECT* extent);
  // GetThemeFont when themed; E_NOTIMPL whenever not (there is no classic
  // counterpart).
  HRESULT WuGetThemeFont(WUXPTHEME_CONTROL control, HDC dc, int part, int state, int prop,
                         LOGFONTW* font);
};

// ---- Binding functions ------------------------------------------------------------------

// The library's own record (the default storage a host binds).
tXPTHEME* XPTheme_Record();

// Zeroes the library's own record, sets its preference to `enabled` and
// clears the default binding. Returns `enabled`.
int XPTheme_Default(int enabled);

// The default binding: the record of the last successful
// XPTheme_Initialize, or null.
tXPTHEME* XPTheme_GetDefault();

// Binds `record` (its preference is kept) to "UxTheme.dll" for `window`:
//  - the module cannot be loaded: 1, the record zeroed, the default
//    binding unchanged;
//  - an entry point is missing: E_UNEXPECTED, the module released, the
//    record zeroed and the default binding cleared;
//  - else 0 and the record is the default binding. With `follow_system`
//    the preference becomes "the application allows any theming" and the
//    record is themed when a theme is active and controls may be themed.
//    Without it a preference of 0 turns theming off for the application
//    (SetThemeAppProperties(0)); otherwise, when a theme is active, the
//    application allows all theming and the record is themed. A themed
//    record opens the 17 class handles (a class that cannot be opened
//    keeps a null handle and draws classically).
// E_INVALIDARG for a null record.
HRESULT XPTheme_Initialize(tXPTHEME* record, HWND window, BOOL follow_system);

// Releases a record: nothing while there is no default binding or for a
// null record; otherwise the open handles are closed, the module freed and
// the whole record zeroed (the default binding pointer stays).
void XPTheme_Cleanup(tXPTHEME* record);

// Closes the record's handles (null: the default binding; nothing when
// there is none) and reopens them for `window` when the module is loaded,
// a theme is active and controls may be themed. Returns 0.
LRESULT XPTheme_Handle_WM_THEMECHANGED(tXPTHEME* record, HWND window);

// Draws a check box, or a radio button with DFCS_BUTTONRADIO, for DFCS_
// flags: themed through the default binding's "Button" handle, classically
// (DrawFrameControl with DFC_BUTTON and the same flags) when there is no
// themed handle. TRUE when drawn.
BOOL XPTheme_DrawFrameControl(HDC dc, RECT* rect, UINT flags);
