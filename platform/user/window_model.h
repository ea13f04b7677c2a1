// The window manager: a headless model of windows, classes and messages
// that the library's window and dialog procedures were written against,
// so that those procedures run unchanged. Part of platform/user/windows.h,
// which callers include; the dialog manager and message boxes are in
// platform/user/dialogs.h, the standard controls in platform/user/controls.h.
//
// What is modelled
//  - Window objects: class and procedure, styles, parent/owner, id, text,
//    rectangles, visibility, enabled state, z-order, user data and extra
//    bytes. Handles are never reused: a destroyed window's handle is refused
//    (ERROR_INVALID_WINDOW_HANDLE) instead of reaching a wrong window.
//  - One message queue per thread (keyed on GetCurrentThreadId), created by
//    the thread's first window, message call or queue query. A thread's
//    windows are removed silently when it ends.
//  - Geometry on a fixed frame model (AdjustWindowRectEx): the border,
//    dialog frame, sizing frame, client edge, caption and menu bar take the
//    sizes GetSystemMetrics reports. Pixel results are the model's own.
//  - Focus and activation per thread, one foreground window per process.
//  - Timers (WM_TIMER through the queue, due by GetTickCount64, so an
//    installed platform::FakeClock drives them), WH_CBT and WH_CALLWNDPROC
//    hooks, painting through the drawing layer's window DCs.
//  - The dialog manager (dialog templates in both layouts, modal and
//    modeless dialogs, keyboard navigation, default buttons), the standard
//    controls and message boxes.
//
// Threads: SendMessageW to a window of another thread is marshalled to the
// window's thread and waited for, as the platform does. The window's thread
// runs the procedure when it next looks at its queue (GetMessageW,
// PeekMessageW, WaitMessage, MsgWaitForMultipleObjects, a modal loop, or
// while it waits in a SendMessageW of its own), so procedures always run on
// the thread that owns the window and never under a lock of the model. A
// sender keeps serving messages sent to its own windows while it waits, so
// two threads that send to each other do not deadlock. A thread that blocks
// without looking at its queue holds up its senders, as on the platform.
// PostMessageW, PostThreadMessageW and EndDialog never wait and are safe
// from any thread; a worker that sets a progress bar or ends a dialog while
// the dialog's modal loop runs needs nothing else.
//
// When a modal dialog or message box waits for a person, the model asks the
// installed front end (platform/user/frontend.h).
#pragma once

#include <string>

#include "platform/gdi/gdi.h"
#include "platform/kernel/types.h"


// ---- Message parameter packing ------------------------------------------------------
constexpr WORD LOWORD(DWORD_PTR value) { return static_cast<WORD>(value & 0xFFFF); }
constexpr WORD HIWORD(DWORD_PTR value) { return static_cast<WORD>((value >> 16) & 0xFFFF); }
constexpr BYTE LOBYTE(DWORD_PTR value) { return static_cast<BYTE>(value & 0xFF); }
constexpr BYTE HIBYTE(DWORD_PTR value) { return static_cast<BYTE>((value >> 8) & 0xFF); }
constexpr LONG MAKELONG(WORD low, WORD high) {
  return static_cast<LONG>(static_cast<DWORD>(low) | (static_cast<DWORD>(high) << 16));
}
constexpr WPARAM MAKEWPARAM(WORD low, WORD high) {
  return static_cast<WPARAM>(static_cast<DWORD>(MAKELONG(low, high)));
}
constexpr LPARAM MAKELPARAM(WORD low, WORD high) {
  return static_cast<LPARAM>(static_cast<DWORD>(MAKELONG(low, high)));
}
constexpr LRESULT MAKELRESULT(WORD low, WORD high) {
  return static_cast<LRESULT>(static_cast<DWORD>(MAKELONG(low, high)));
}
// Signed coordinates packed in an LPARAM.
constexpr int GET_X_LPARAM(LPARAM lp) { return static_cast<SHORT>(LOWORD(static_cast<DWORD_PTR>(lp))); }
constexpr int GET_Y_LPARAM(LPARAM lp) { return static_cast<SHORT>(HIWORD(static_cast<DWORD_PTR>(lp))); }

// An atom passed where a class name is expected.
inline LPCWSTR MAKEINTATOM(ATOM atom) {
  return reinterpret_cast<LPCWSTR>(static_cast<ULONG_PTR>(atom));
}

// ---- Callbacks --------------------------------------------------------------------
typedef LRESULT (*WNDPROC)(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
typedef INT_PTR (*DLGPROC)(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);
typedef LRESULT (*HOOKPROC)(int code, WPARAM wparam, LPARAM lparam);
typedef void (*TIMERPROC)(HWND window, UINT message, UINT_PTR id, DWORD time);
typedef BOOL (*WNDENUMPROC)(HWND window, LPARAM data);

// Error numbers of the window manager that platform/kernel/types.h does not list.
constexpr DWORD ERROR_INVALID_INDEX = 1413;           // bad GetWindowLong index
constexpr DWORD ERROR_CLASS_DOES_NOT_EXIST = 1411;    // UnregisterClassW, GetClassInfoExW
constexpr DWORD ERROR_CLASS_HAS_WINDOWS = 1412;       // UnregisterClassW of a class in use
constexpr DWORD ERROR_TLW_WITH_WSCHILD = 1406;        // WS_CHILD without a parent
constexpr DWORD ERROR_INVALID_THREAD_ID = 1444;       // thread without a message queue
constexpr DWORD ERROR_NOT_ENOUGH_QUOTA = 1816;        // posted-message limit reached
constexpr DWORD ERROR_INVALID_HOOK_HANDLE = 1404;     // UnhookWindowsHookEx
constexpr DWORD ERROR_INVALID_HOOK_FILTER = 1426;     // SetWindowsHookExW kind
constexpr DWORD ERROR_HOOK_NEEDS_HMOD = 1428;         // global hook without a module
constexpr DWORD ERROR_CONTROL_ID_NOT_FOUND = 1421;    // GetDlgItem without such a control

// ---- Window classes ----------------------------------------------------------------
constexpr UINT CS_VREDRAW = 0x0001;      // redraw all on a height change
constexpr UINT CS_HREDRAW = 0x0002;      // redraw all on a width change
constexpr UINT CS_DBLCLKS = 0x0008;      // double clicks reach the procedure
constexpr UINT CS_OWNDC = 0x0020;        // one DC per window
constexpr UINT CS_CLASSDC = 0x0040;      // one DC per class
constexpr UINT CS_PARENTDC = 0x0080;     // the parent's DC
constexpr UINT CS_NOCLOSE = 0x0200;      // no Close in the window menu
constexpr UINT CS_SAVEBITS = 0x0800;     // keep the pixels behind
constexpr UINT CS_GLOBALCLASS = 0x4000;  // found for every module instance

struct WNDCLASSW {
  UINT style;              // CS_*
  WNDPROC lpfnWndProc;     // window procedure
  int cbClsExtra;          // extra bytes per class
  int cbWndExtra;          // extra bytes per window (GetWindowLongPtrW with index >= 0)
  HINSTANCE hInstance;     // module that owns the class
  HICON hIcon;             // class icon
  HCURSOR hCursor;         // class cursor
  HBRUSH hbrBackground;    // background brush, or a system colour index + 1
  LPCWSTR lpszMenuName;    // menu resource name (kept, unused)
  LPCWSTR lpszClassName;   // class name, or an atom
};

struct WNDCLASSEXW {
  UINT cbSize;             // sizeof(WNDCLASSEXW), set by the caller
  UINT style;              // CS_*
  WNDPROC lpfnWndProc;     // window procedure
  int cbClsExtra;          // extra bytes per class
  int cbWndExtra;          // extra bytes per window
  HINSTANCE hInstance;     // module that owns the class
  HICON hIcon;             // class icon
  HCURSOR hCursor;         // class cursor
  HBRUSH hbrBackground;    // background brush, or a system colour index + 1
  LPCWSTR lpszMenuName;    // menu resource name (kept, unused)
  LPCWSTR lpszClassName;   // class name, or an atom
  HICON hIconSm;           // small icon
};

// A class is found by name (any case) or atom for the module instance that
// registered it, then among CS_GLOBALCLASS classes, then among the system
// classes ("Button", "Edit", "Static", "ListBox", "ComboBox", "ScrollBar",
// "#32770" and the common controls of platform/comctl/commctrl.h). The same name
// always gives the same atom. NULL/0 with ERROR_CLASS_ALREADY_EXISTS when the
// name is taken for that instance, ERROR_INVALID_PARAMETER for a bad record.
ATOM RegisterClassW(const WNDCLASSW* wc);
ATOM RegisterClassExW(const WNDCLASSEXW* wc);
// FALSE with ERROR_CLASS_DOES_NOT_EXIST (not registered for that instance;
// system classes are never unregistered) or ERROR_CLASS_HAS_WINDOWS.
BOOL UnregisterClassW(LPCWSTR class_name, HINSTANCE instance);
// The class record and a non-zero atom; FALSE (ERROR_CLASS_DOES_NOT_EXIST)
// when no class of that name is visible to the instance.
BOOL GetClassInfoW(HINSTANCE instance, LPCWSTR class_name, WNDCLASSW* wc);
BOOL GetClassInfoExW(HINSTANCE instance, LPCWSTR class_name, WNDCLASSEXW* wc);
// The window's class name; length copied (size-1 at most, terminated).
// For another process's window, its class name as that process listed it.
int GetClassNameW(HWND window, LPWSTR buffer, int size);

constexpr int GCLP_MENUNAME = -8;
constexpr int GCLP_HBRBACKGROUND = -10;
constexpr int GCLP_HCURSOR = -12;
constexpr int GCLP_HICON = -14;
constexpr int GCLP_HMODULE = -16;
constexpr int GCL_CBWNDEXTRA = -18;
constexpr int GCL_CBCLSEXTRA = -20;
constexpr int GCLP_WNDPROC = -24;
constexpr int GCL_STYLE = -26;
constexpr int GCW_ATOM = -32;
constexpr int GCLP_HICONSM = -34;
// Class values by GCL*_ index, or class extra bytes at index >= 0. 0 with
// ERROR_INVALID_INDEX for a bad index.
ULONG_PTR GetClassLongPtrW(HWND window, int index);
ULONG_PTR SetClassLongPtrW(HWND window, int index, LONG_PTR value);

// ---- Window styles -------------------------------------------------------------------
constexpr DWORD WS_OVERLAPPED = 0x00000000;
constexpr DWORD WS_POPUP = 0x80000000;
constexpr DWORD WS_CHILD = 0x40000000;
constexpr DWORD WS_MINIMIZE = 0x20000000;
constexpr DWORD WS_VISIBLE = 0x10000000;
constexpr DWORD WS_DISABLED = 0x08000000;
constexpr DWORD WS_CLIPSIBLINGS = 0x04000000;
constexpr DWORD WS_CLIPCHILDREN = 0x02000000;
constexpr DWORD WS_MAXIMIZE = 0x01000000;
constexpr DWORD WS_BORDER = 0x00800000;
constexpr DWORD WS_DLGFRAME = 0x00400000;
constexpr DWORD WS_CAPTION = WS_BORDER | WS_DLGFRAME;
constexpr DWORD WS_VSCROLL = 0x00200000;
constexpr DWORD WS_HSCROLL = 0x00100000;
constexpr DWORD WS_SYSMENU = 0x00080000;
constexpr DWORD WS_THICKFRAME = 0x00040000;
constexpr DWORD WS_GROUP = 0x00020000;
constexpr DWORD WS_TABSTOP = 0x00010000;
constexpr DWORD WS_MINIMIZEBOX = 0x00020000;
constexpr DWORD WS_MAXIMIZEBOX = 0x00010000;
constexpr DWORD WS_OVERLAPPEDWINDOW =
    WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX;
constexpr DWORD WS_POPUPWINDOW = WS_POPUP | WS_BORDER | WS_SYSMENU;
constexpr DWORD WS_CHILDWINDOW = WS_CHILD;

constexpr DWORD WS_EX_DLGMODALFRAME = 0x00000001;
constexpr DWORD WS_EX_NOPARENTNOTIFY = 0x00000004;
constexpr DWORD WS_EX_TOPMOST = 0x00000008;
constexpr DWORD WS_EX_ACCEPTFILES = 0x00000010;
constexpr DWORD WS_EX_TRANSPARENT = 0x00000020;
constexpr DWORD WS_EX_TOOLWINDOW = 0x00000080;
constexpr DWORD WS_EX_WINDOWEDGE = 0x00000100;
constexpr DWORD WS_EX_CLIENTEDGE = 0x00000200;
constexpr DWORD WS_EX_CONTEXTHELP = 0x00000400;
constexpr DWORD WS_EX_RIGHT = 0x00001000;
constexpr DWORD WS_EX_RTLREADING = 0x00002000;
constexpr DWORD WS_EX_LEFTSCROLLBAR = 0x00004000;
constexpr DWORD WS_EX_CONTROLPARENT = 0x00010000;
constexpr DWORD WS_EX_STATICEDGE = 0x00020000;
constexpr DWORD WS_EX_APPWINDOW = 0x00040000;
constexpr DWORD WS_EX_LAYERED = 0x00080000;
constexpr DWORD WS_EX_NOINHERITLAYOUT = 0x00100000;
constexpr DWORD WS_EX_LAYOUTRTL = 0x00400000;
constexpr DWORD WS_EX_COMPOSITED = 0x02000000;
constexpr DWORD WS_EX_NOACTIVATE = 0x08000000;

// CreateWindowExW's "choose for me" position and size.
constexpr int CW_USEDEFAULT = static_cast<int>(0x80000000u);

// Special window handles.
#define HWND_TOP (reinterpret_cast<HWND>(static_cast<intptr_t>(0)))
#define HWND_BOTTOM (reinterpret_cast<HWND>(static_cast<intptr_t>(1)))
#define HWND_TOPMOST (reinterpret_cast<HWND>(static_cast<intptr_t>(-1)))
#define HWND_NOTOPMOST (reinterpret_cast<HWND>(static_cast<intptr_t>(-2)))
#define HWND_MESSAGE (reinterpret_cast<HWND>(static_cast<intptr_t>(-3)))
#define HWND_BROADCAST (reinterpret_cast<HWND>(static_cast<intptr_t>(0xFFFF)))

// ---- Creating and destroying windows ----------------------------------------------------
struct CREATESTRUCTW {
  LPVOID lpCreateParams;   // the creation parameter
  HINSTANCE hInstance;     // module instance
  HMENU hMenu;             // menu, or the child id
  HWND hwndParent;         // parent (child) or owner (pop-up)
  int cy;                  // height
  int cx;                  // width
  int y;                   // top (parent client coordinates for a child)
  int x;                   // left
  LONG style;              // WS_* and class styles
  LPCWSTR lpszName;        // window text
  LPCWSTR lpszClass;       // class name or atom
  DWORD dwExStyle;         // WS_EX_*
};

// Creates a window: HCBT_CREATEWND to the thread's CBT hooks (non-zero
// vetoes), WM_NCCREATE (FALSE fails), WM_CREATE (-1 fails), WM_SIZE and
// WM_MOVE, WM_PARENTNOTIFY to the parent of a child without
// WS_EX_NOPARENTNOTIFY, then ShowWindow when WS_VISIBLE was asked for. A
// WS_CHILD window needs a parent (ERROR_TLW_WITH_WSCHILD); a pop-up given a
// parent is owned by that parent's top-level window. `menu` is the child id
// of a child window. NULL with the last error set on failure.
HWND CreateWindowExW(DWORD ex_style, LPCWSTR class_name, LPCWSTR window_name, DWORD style,
                     int x, int y, int width, int height, HWND parent, HMENU menu,
                     HINSTANCE instance, LPVOID param);
inline HWND CreateWindowW(LPCWSTR class_name, LPCWSTR window_name, DWORD style, int x, int y,
                          int width, int height, HWND parent, HMENU menu, HINSTANCE instance,
                          LPVOID param) {
  return CreateWindowExW(0, class_name, window_name, style, x, y, width, height, parent, menu,
                         instance, param);
}
// Destroys a window, the windows it owns (on the same thread) and its
// children: WM_DESTROY goes to the window before its children, WM_NCDESTROY
// to the children before the window. Only the window's own thread may
// destroy it (ERROR_ACCESS_DENIED). Posted messages and timers of the window
// are dropped.
BOOL DestroyWindow(HWND window);
// TRUE while the handle names a window that has not been destroyed.
BOOL IsWindow(HWND window);

// ---- Window data ---------------------------------------------------------------------
constexpr int GWLP_WNDPROC = -4;
constexpr int GWLP_HINSTANCE = -6;
constexpr int GWLP_HWNDPARENT = -8;
constexpr int GWLP_ID = -12;
constexpr int GWL_STYLE = -16;
constexpr int GWL_EXSTYLE = -20;
constexpr int GWLP_USERDATA = -21;
constexpr int GWL_USERDATA = GWLP_USERDATA;  // the 32-bit name of the same slot
constexpr int GWL_ID = GWLP_ID;
// Dialog windows keep three pointer-sized slots in their extra bytes.
constexpr int DWLP_MSGRESULT = 0;                   // result of the last message
constexpr int DWLP_DLGPROC = sizeof(LRESULT);       // the dialog procedure
constexpr int DWLP_USER = 2 * sizeof(LRESULT);      // free for the dialog's use
constexpr int DLGWINDOWEXTRA = 4 * sizeof(LRESULT); // extra bytes of a dialog window

// WM_STYLECHANGING / WM_STYLECHANGED record (wParam GWL_STYLE or GWL_EXSTYLE).
struct STYLESTRUCT {
  DWORD styleOld;  // the style before
  DWORD styleNew;  // the style after (WM_STYLECHANGING may change it)
};

// Values by GWL*_ index, or window extra bytes at index >= 0 (index + size
// within cbWndExtra, else ERROR_INVALID_INDEX). Setting returns the previous
// value. GWL_STYLE sends WM_STYLECHANGING/WM_STYLECHANGED; the WS_VISIBLE
// and WS_DISABLED bits change the state directly. GWLP_HWNDPARENT sets the
// owner of a top-level window. A value of 0 is also a valid result: check
// the last error, which is set to 0 first.
LONG_PTR GetWindowLongPtrW(HWND window, int index);
LONG_PTR SetWindowLongPtrW(HWND window, int index, LONG_PTR value);
LONG GetWindowLongW(HWND window, int index);
LONG SetWindowLongW(HWND window, int index, LONG value);

// Calls a window procedure (for a subclass passing messages on).
LRESULT CallWindowProcW(WNDPROC proc, HWND window, UINT message, WPARAM wparam, LPARAM lparam);

// Window text. SetWindowTextW sends WM_SETTEXT, GetWindowTextW WM_GETTEXT
// (at most size-1 characters, always terminated; returns the count copied),
// GetWindowTextLengthW WM_GETTEXTLENGTH.
BOOL SetWindowTextW(HWND window, LPCWSTR text);
int GetWindowTextW(HWND window, LPWSTR buffer, int size);
int GetWindowTextLengthW(HWND window);

// Named properties of a window (removed when it is destroyed).
BOOL SetPropW(HWND window, LPCWSTR name, HANDLE data);
HANDLE GetPropW(HWND window, LPCWSTR name);
HANDLE RemovePropW(HWND window, LPCWSTR name);

// The window's thread id (and this process's id).
DWORD GetWindowThreadProcessId(HWND window, LPDWORD process_id);

// ---- Relations ------------------------------------------------------------------------
constexpr UINT GW_HWNDFIRST = 0;
constexpr UINT GW_HWNDLAST = 1;
constexpr UINT GW_HWNDNEXT = 2;
constexpr UINT GW_HWNDPREV = 3;
constexpr UINT GW_OWNER = 4;
constexpr UINT GW_CHILD = 5;
constexpr UINT GW_ENABLEDPOPUP = 6;
constexpr UINT GA_PARENT = 1;
constexpr UINT GA_ROOT = 2;
constexpr UINT GA_ROOTOWNER = 3;

// The desktop: the parent of every top-level window, as large as the
// primary monitor. It cannot be destroyed.
HWND GetDesktopWindow();
// The parent of a child, the owner of an owned top-level window, else NULL.
HWND GetParent(HWND window);
// Makes `child` a child of `parent` (NULL: the desktop); the old parent.
HWND SetParent(HWND child, HWND parent);
HWND GetAncestor(HWND window, UINT flags);
// Siblings in z-order (front first), owner, first child.
HWND GetWindow(HWND window, UINT command);
HWND GetTopWindow(HWND window);
inline HWND GetNextWindow(HWND window, UINT command) { return GetWindow(window, command); }
BOOL IsChild(HWND parent, HWND window);
// The owned pop-up that was active last (the window itself when none).
HWND GetLastActivePopup(HWND window);
// The system menu of a WS_SYSMENU window (NULL for other windows): made on
// first request with Restore, Move, Size, Minimize, Maximize, a separator
// and Close (SC_* commands), owned by the window and destroyed with it.
// `revert` TRUE drops the window's menu (the next request makes a fresh
// one) and returns NULL. While Close is greyed or disabled, DefWindowProcW
// ignores SC_CLOSE (the close box and Alt+F4 do nothing).
HMENU GetSystemMenu(HWND window, BOOL revert);
// Enumerations run on a snapshot; the callback returns FALSE to stop.
// EnumChildWindows visits every descendant, depth first in z-order.
// EnumWindows (and EnumChildWindows of the desktop) visits the process's
// own top-level windows, then those of the user's other processes of this
// platform (see "Windows of other processes" below).
BOOL EnumWindows(WNDENUMPROC callback, LPARAM data);
BOOL EnumChildWindows(HWND parent, WNDENUMPROC callback, LPARAM data);
BOOL EnumThreadWindows(DWORD thread_id, WNDENUMPROC callback, LPARAM data);
// Top-level windows (or children of `parent`, HWND_MESSAGE for message-only
// windows) by class and title (NULL matches any; names compared without
// case for classes, exactly for titles), after `after` in z-order.
HWND FindWindowW(LPCWSTR class_name, LPCWSTR window_name);
HWND FindWindowExW(HWND parent, HWND after, LPCWSTR class_name, LPCWSTR window_name);

// ---- Messages -------------------------------------------------------------------------
constexpr UINT WM_NULL = 0x0000;
constexpr UINT WM_CREATE = 0x0001;
constexpr UINT WM_DESTROY = 0x0002;
constexpr UINT WM_MOVE = 0x0003;
constexpr UINT WM_SIZE = 0x0005;
constexpr UINT WM_ACTIVATE = 0x0006;
constexpr UINT WM_SETFOCUS = 0x0007;
constexpr UINT WM_KILLFOCUS = 0x0008;
constexpr UINT WM_ENABLE = 0x000A;
constexpr UINT WM_SETREDRAW = 0x000B;
constexpr UINT WM_SETTEXT = 0x000C;
constexpr UINT WM_GETTEXT = 0x000D;
constexpr UINT WM_GETTEXTLENGTH = 0x000E;
constexpr UINT WM_PAINT = 0x000F;
constexpr UINT WM_CLOSE = 0x0010;
constexpr UINT WM_QUERYENDSESSION = 0x0011;
constexpr UINT WM_QUIT = 0x0012;
constexpr UINT WM_ERASEBKGND = 0x0014;
constexpr UINT WM_SYSCOLORCHANGE = 0x0015;
constexpr UINT WM_ENDSESSION = 0x0016;
constexpr UINT WM_SHOWWINDOW = 0x0018;
constexpr UINT WM_WININICHANGE = 0x001A;
constexpr UINT WM_SETTINGCHANGE = WM_WININICHANGE;
constexpr UINT WM_ACTIVATEAPP = 0x001C;
constexpr UINT WM_CANCELMODE = 0x001F;
constexpr UINT WM_SETCURSOR = 0x0020;
constexpr UINT WM_MOUSEACTIVATE = 0x0021;
constexpr UINT WM_GETMINMAXINFO = 0x0024;
constexpr UINT WM_NEXTDLGCTL = 0x0028;
constexpr UINT WM_DRAWITEM = 0x002B;
constexpr UINT WM_MEASUREITEM = 0x002C;
constexpr UINT WM_DELETEITEM = 0x002D;
constexpr UINT WM_VKEYTOITEM = 0x002E;
constexpr UINT WM_CHARTOITEM = 0x002F;
constexpr UINT WM_SETFONT = 0x0030;
constexpr UINT WM_GETFONT = 0x0031;
constexpr UINT WM_QUERYDRAGICON = 0x0037;
constexpr UINT WM_COMPAREITEM = 0x0039;
constexpr UINT WM_WINDOWPOSCHANGING = 0x0046;
constexpr UINT WM_WINDOWPOSCHANGED = 0x0047;
constexpr UINT WM_COPYDATA = 0x004A;
constexpr UINT WM_NOTIFY = 0x004E;
constexpr UINT WM_HELP = 0x0053;
constexpr UINT WM_CONTEXTMENU = 0x007B;
constexpr UINT WM_STYLECHANGING = 0x007C;
constexpr UINT WM_STYLECHANGED = 0x007D;
constexpr UINT WM_DISPLAYCHANGE = 0x007E;
constexpr UINT WM_GETICON = 0x007F;
constexpr UINT WM_SETICON = 0x0080;
constexpr UINT WM_NCCREATE = 0x0081;
constexpr UINT WM_NCDESTROY = 0x0082;
constexpr UINT WM_NCCALCSIZE = 0x0083;
constexpr UINT WM_NCHITTEST = 0x0084;
constexpr UINT WM_NCPAINT = 0x0085;
constexpr UINT WM_NCACTIVATE = 0x0086;
constexpr UINT WM_GETDLGCODE = 0x0087;
constexpr UINT WM_KEYDOWN = 0x0100;
constexpr UINT WM_KEYUP = 0x0101;
constexpr UINT WM_CHAR = 0x0102;
constexpr UINT WM_SYSKEYDOWN = 0x0104;
constexpr UINT WM_SYSKEYUP = 0x0105;
constexpr UINT WM_SYSCHAR = 0x0106;
constexpr UINT WM_INITDIALOG = 0x0110;
constexpr UINT WM_COMMAND = 0x0111;
constexpr UINT WM_SYSCOMMAND = 0x0112;
constexpr UINT WM_TIMER = 0x0113;
constexpr UINT WM_HSCROLL = 0x0114;
constexpr UINT WM_VSCROLL = 0x0115;
constexpr UINT WM_INITMENU = 0x0116;
constexpr UINT WM_INITMENUPOPUP = 0x0117;
constexpr UINT WM_MENUSELECT = 0x011F;
constexpr UINT WM_ENTERIDLE = 0x0121;
constexpr UINT WM_UNINITMENUPOPUP = 0x0125;
constexpr UINT WM_CHANGEUISTATE = 0x0127;
constexpr UINT WM_UPDATEUISTATE = 0x0128;
constexpr UINT WM_QUERYUISTATE = 0x0129;
constexpr UINT WM_CTLCOLORMSGBOX = 0x0132;
constexpr UINT WM_CTLCOLOREDIT = 0x0133;
constexpr UINT WM_CTLCOLORLISTBOX = 0x0134;
constexpr UINT WM_CTLCOLORBTN = 0x0135;
constexpr UINT WM_CTLCOLORDLG = 0x0136;
constexpr UINT WM_CTLCOLORSCROLLBAR = 0x0137;
constexpr UINT WM_CTLCOLORSTATIC = 0x0138;
constexpr UINT WM_MOUSEMOVE = 0x0200;
constexpr UINT WM_LBUTTONDOWN = 0x0201;
constexpr UINT WM_LBUTTONUP = 0x0202;
constexpr UINT WM_LBUTTONDBLCLK = 0x0203;
constexpr UINT WM_RBUTTONDOWN = 0x0204;
constexpr UINT WM_RBUTTONUP = 0x0205;
constexpr UINT WM_MOUSEWHEEL = 0x020A;
constexpr UINT WM_PARENTNOTIFY = 0x0210;
constexpr UINT WM_ENTERMENULOOP = 0x0211;
constexpr UINT WM_EXITMENULOOP = 0x0212;
constexpr UINT WM_CAPTURECHANGED = 0x0215;
constexpr UINT WM_CUT = 0x0300;
constexpr UINT WM_COPY = 0x0301;
constexpr UINT WM_PASTE = 0x0302;
constexpr UINT WM_CLEAR = 0x0303;
constexpr UINT WM_UNDO = 0x0304;
constexpr UINT WM_PRINTCLIENT = 0x0318;
constexpr UINT WM_THEMECHANGED = 0x031A;
constexpr UINT WM_USER = 0x0400;
constexpr UINT WM_APP = 0x8000;

// WM_ACTIVATE states and WM_SIZE kinds.
constexpr WORD WA_INACTIVE = 0;
constexpr WORD WA_ACTIVE = 1;
constexpr WORD WA_CLICKACTIVE = 2;
constexpr WPARAM SIZE_RESTORED = 0;
constexpr WPARAM SIZE_MINIMIZED = 1;
constexpr WPARAM SIZE_MAXIMIZED = 2;

// WM_SYSCOMMAND commands.
constexpr WPARAM SC_SIZE = 0xF000;
constexpr WPARAM SC_MOVE = 0xF010;
constexpr WPARAM SC_MINIMIZE = 0xF020;
constexpr WPARAM SC_MAXIMIZE = 0xF030;
constexpr WPARAM SC_CLOSE = 0xF060;
constexpr WPARAM SC_RESTORE = 0xF120;

struct MSG {
  HWND hwnd;        // target window; NULL for a thread message
  UINT message;     // message number
  WPARAM wParam;    // first parameter
  LPARAM lParam;    // second parameter
  DWORD time;       // GetTickCount when it was posted
  POINT pt;         // cursor position when it was posted
};

// Header of every WM_NOTIFY record.
struct NMHDR {
  HWND hwndFrom;    // control that sends the notification
  UINT_PTR idFrom;  // its id
  UINT code;        // notification code
};

// WM_COPYDATA record.
struct COPYDATASTRUCT {
  ULONG_PTR dwData;  // caller's value
  DWORD cbData;      // byte count of lpData
  LPVOID lpData;     // the bytes
};

// WM_HELP record.
constexpr int HELPINFO_WINDOW = 1;
constexpr int HELPINFO_MENUITEM = 2;
struct HELPINFO {
  UINT cbSize;            // sizeof(HELPINFO)
  int iContextType;       // HELPINFO_WINDOW or HELPINFO_MENUITEM
  int iCtrlId;            // control or menu item id
  HANDLE hItemHandle;     // control window or menu
  DWORD_PTR dwContextId;  // help context
  POINT MousePos;         // cursor position, screen coordinates
};

// Sends a message and returns the procedure's result: directly on the
// window's own thread, marshalled to and waited for from another thread (see
// the top of this file). 0 (last error ERROR_INVALID_WINDOW_HANDLE) for a
// window that is not there or whose thread has ended. HWND_BROADCAST sends
// to every top-level window of the process. To another process's window
// only WM_COPYDATA goes (other messages return 0); see below.
LRESULT SendMessageW(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
// Queues a message for the window's thread (HWND_BROADCAST: every top-level
// window; NULL: the calling thread as PostThreadMessageW). Never waits.
// FALSE with ERROR_INVALID_WINDOW_HANDLE, or ERROR_NOT_ENOUGH_QUOTA when the
// queue holds 10,000 messages.
BOOL PostMessageW(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
// Queues a thread message (hwnd NULL). FALSE with ERROR_INVALID_THREAD_ID
// when the thread has no message queue (it has made no window and asked no
// queue question yet, e.g. PeekMessageW) or has ended.
BOOL PostThreadMessageW(DWORD thread_id, UINT message, WPARAM wparam, LPARAM lparam);

constexpr UINT PM_NOREMOVE = 0x0000;
constexpr UINT PM_REMOVE = 0x0001;
constexpr UINT PM_NOYIELD = 0x0002;

// Message retrieval. Messages sent from other threads are delivered first
// (their procedures run inside the call), then posted messages in order,
// then WM_QUIT, then WM_PAINT for a visible window with an update region,
// then WM_TIMER for a due timer. `window` limits retrieval to that window and
// its descendants ((HWND)-1: thread messages only); min/max limit the message
// numbers (0, 0: all). GetMessageW waits; it returns 0 for WM_QUIT and -1
// for an invalid window filter.
BOOL GetMessageW(MSG* msg, HWND window, UINT min_filter, UINT max_filter);
BOOL PeekMessageW(MSG* msg, HWND window, UINT min_filter, UINT max_filter, UINT remove);
// Calls the target window's procedure (a timer procedure for WM_TIMER with
// one); 0 for a thread message.
LRESULT DispatchMessageW(const MSG* msg);
// Posts WM_CHAR for a WM_KEYDOWN of a key that types a character; TRUE then.
BOOL TranslateMessage(const MSG* msg);
// Makes the thread's next GetMessageW return WM_QUIT with this exit code.
void PostQuitMessage(int exit_code);
// Waits until the thread's queue has something to deliver.
BOOL WaitMessage();

constexpr UINT QS_KEY = 0x0001;
constexpr UINT QS_MOUSEMOVE = 0x0002;
constexpr UINT QS_MOUSEBUTTON = 0x0004;
constexpr UINT QS_POSTMESSAGE = 0x0008;
constexpr UINT QS_TIMER = 0x0010;
constexpr UINT QS_PAINT = 0x0020;
constexpr UINT QS_SENDMESSAGE = 0x0040;
constexpr UINT QS_HOTKEY = 0x0080;
constexpr UINT QS_ALLPOSTMESSAGE = 0x0100;
constexpr UINT QS_MOUSE = QS_MOUSEMOVE | QS_MOUSEBUTTON;
constexpr UINT QS_INPUT = QS_MOUSE | QS_KEY;
constexpr UINT QS_ALLEVENTS = QS_INPUT | QS_POSTMESSAGE | QS_TIMER | QS_PAINT | QS_HOTKEY;
constexpr UINT QS_ALLINPUT = QS_ALLEVENTS | QS_SENDMESSAGE;

// Waits for the handles (as WaitForMultipleObjects; count may be 0) or for
// the calling thread's queue to hold something of the kinds in `wake_mask`.
// Returns WAIT_OBJECT_0 + count for queue input.
DWORD MsgWaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL wait_all,
                                DWORD milliseconds, DWORD wake_mask);
// What the calling thread's queue holds: the QS_* kinds in the low word.
DWORD GetQueueStatus(UINT flags);
// TRUE while the calling thread runs a procedure for a message sent from
// another thread.
BOOL InSendMessage();

// The default handling of every message no procedure takes care of: window
// text, WM_CLOSE (DestroyWindow), painting and background, WM_SHOWWINDOW,
// WM_WINDOWPOSCHANGED (WM_MOVE and WM_SIZE), WM_ACTIVATE (focus), WM_SETFONT
// kept for WM_GETFONT, WM_NCCREATE (the text) and the rest as 0.
LRESULT DefWindowProcW(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

// ---- Geometry ---------------------------------------------------------------------------
// (The rectangle helpers SetRect, IntersectRect... are in platform/gdi/gdi.h.)
// Window rectangle in screen coordinates; client rectangle from (0, 0). The
// client area is the window less its frame (AdjustWindowRectEx) and, with
// WS_VSCROLL / WS_HSCROLL, less the scroll bars.
BOOL GetWindowRect(HWND window, RECT* rect);
BOOL GetClientRect(HWND window, RECT* rect);
// The frame model: grows a client rectangle to the window rectangle for
// these styles. Sizing frame SM_CXFRAME; else a dialog frame SM_CXDLGFRAME
// (WS_DLGFRAME or WS_EX_DLGMODALFRAME); else SM_CXBORDER for WS_BORDER; plus
// SM_CXEDGE for WS_EX_CLIENTEDGE; caption SM_CYCAPTION (SM_CYSMCAPTION for
// WS_EX_TOOLWINDOW) when the style holds all of WS_CAPTION; SM_CYMENU with a
// menu.
BOOL AdjustWindowRectEx(RECT* rect, DWORD style, BOOL menu, DWORD ex_style);
inline BOOL AdjustWindowRect(RECT* rect, DWORD style, BOOL menu) {
  return AdjustWindowRectEx(rect, style, menu, 0);
}
BOOL ClientToScreen(HWND window, POINT* point);
BOOL ScreenToClient(HWND window, POINT* point);
// Maps points from one window's client coordinates to another's (NULL: the
// screen). Returns the offset: low word dx, high word dy.
int MapWindowPoints(HWND from, HWND to, POINT* points, UINT count);

constexpr UINT SWP_NOSIZE = 0x0001;
constexpr UINT SWP_NOMOVE = 0x0002;
constexpr UINT SWP_NOZORDER = 0x0004;
constexpr UINT SWP_NOREDRAW = 0x0008;
constexpr UINT SWP_NOACTIVATE = 0x0010;
constexpr UINT SWP_FRAMECHANGED = 0x0020;
constexpr UINT SWP_SHOWWINDOW = 0x0040;
constexpr UINT SWP_HIDEWINDOW = 0x0080;
constexpr UINT SWP_NOCOPYBITS = 0x0100;
constexpr UINT SWP_NOOWNERZORDER = 0x0200;
constexpr UINT SWP_NOSENDCHANGING = 0x0400;
constexpr UINT SWP_DEFERERASE = 0x2000;
constexpr UINT SWP_ASYNCWINDOWPOS = 0x4000;

// WM_WINDOWPOSCHANGING / WM_WINDOWPOSCHANGED record.
struct WINDOWPOS {
  HWND hwnd;              // the window
  HWND hwndInsertAfter;   // z-order place
  int x;                  // left (parent client coordinates for a child)
  int y;                  // top
  int cx;                 // width
  int cy;                 // height
  UINT flags;             // SWP_*
};

// Moves, sizes, orders, shows or hides a window. WM_WINDOWPOSCHANGING (the
// procedure may change the record), then WM_WINDOWPOSCHANGED, whose default
// handling sends WM_MOVE and WM_SIZE. `insert_after` is a sibling or
// HWND_TOP/BOTTOM/TOPMOST/NOTOPMOST. Coordinates are the parent's client
// coordinates for a child, else screen coordinates.
BOOL SetWindowPos(HWND window, HWND insert_after, int x, int y, int width, int height,
                  UINT flags);
BOOL MoveWindow(HWND window, int x, int y, int width, int height, BOOL repaint);
BOOL BringWindowToTop(HWND window);

// Show states.
constexpr int SW_HIDE = 0;
constexpr int SW_SHOWNORMAL = 1;
constexpr int SW_NORMAL = 1;
constexpr int SW_SHOWMINIMIZED = 2;
constexpr int SW_SHOWMAXIMIZED = 3;
constexpr int SW_MAXIMIZE = 3;
constexpr int SW_SHOWNOACTIVATE = 4;
constexpr int SW_SHOW = 5;
constexpr int SW_MINIMIZE = 6;
constexpr int SW_SHOWMINNOACTIVE = 7;
constexpr int SW_SHOWNA = 8;
constexpr int SW_RESTORE = 9;
constexpr int SW_SHOWDEFAULT = 10;
constexpr int SW_FORCEMINIMIZE = 11;

constexpr UINT WPF_SETMINPOSITION = 0x0001;
constexpr UINT WPF_RESTORETOMAXIMIZED = 0x0002;
constexpr UINT WPF_ASYNCWINDOWPLACEMENT = 0x0004;

// A window's show state and normal (restored) rectangle, in screen
// coordinates. The record is exactly 44 bytes and is stored whole.
struct WINDOWPLACEMENT {
  UINT length;              // 44, set by the caller
  UINT flags;               // WPF_*
  UINT showCmd;             // SW_SHOWNORMAL, SW_SHOWMINIMIZED or SW_SHOWMAXIMIZED
  POINT ptMinPosition;      // position when minimised (-1, -1: none)
  POINT ptMaxPosition;      // position when maximised (-1, -1: none)
  RECT rcNormalPosition;    // restored rectangle
};
static_assert(sizeof(WINDOWPLACEMENT) == 44, "WINDOWPLACEMENT is stored as 44 bytes");

// GetWindowPlacement fills the record (length included). SetWindowPlacement
// needs length 44 (else ERROR_INVALID_PARAMETER), moves the window to the
// normal rectangle and applies the show state.
BOOL GetWindowPlacement(HWND window, WINDOWPLACEMENT* placement);
BOOL SetWindowPlacement(HWND window, const WINDOWPLACEMENT* placement);

// ---- Visibility, state, focus and activation --------------------------------------------------
// Shows, hides, minimises, maximises or restores; returns whether the window
// was visible before. Showing a top-level window activates it unless the
// command says otherwise (SW_SHOWNA, SW_SHOWNOACTIVATE, SW_SHOWMINNOACTIVE).
BOOL ShowWindow(HWND window, int command);
// TRUE when the window and all its ancestors are visible.
BOOL IsWindowVisible(HWND window);
BOOL IsIconic(HWND window);
BOOL IsZoomed(HWND window);
// Enables or disables (WM_ENABLE when the state changes); returns non-zero
// when the window was disabled before. Disabling the focus window (or one of
// its ancestors) takes the focus away.
BOOL EnableWindow(HWND window, BOOL enable);
// TRUE when the window itself is enabled.
BOOL IsWindowEnabled(HWND window);

// Keyboard focus of the calling thread: WM_KILLFOCUS to the old window,
// WM_SETFOCUS to the new one, after HCBT_SETFOCUS (non-zero vetoes). The
// window must belong to the calling thread; its top-level window is
// activated. NULL removes the focus. Returns the previous focus.
HWND SetFocus(HWND window);
HWND GetFocus();
// The calling thread's active top-level window: HCBT_ACTIVATE (non-zero
// vetoes), WM_NCACTIVATE and WM_ACTIVATE(WA_INACTIVE) to the old one, then
// WM_NCACTIVATE and WM_ACTIVATE(WA_ACTIVE) to the new one, whose default
// handling gives it the focus. Returns the previous active window.
HWND SetActiveWindow(HWND window);
HWND GetActiveWindow();
// The process's foreground window; activates it on its thread.
BOOL SetForegroundWindow(HWND window);
HWND GetForegroundWindow();
// Mouse capture of the calling thread.
HWND SetCapture(HWND window);
BOOL ReleaseCapture();
HWND GetCapture();

// ---- Keyboard and mouse state ----------------------------------------------------------------
constexpr int VK_LBUTTON = 0x01;
constexpr int VK_RBUTTON = 0x02;
constexpr int VK_CANCEL = 0x03;
constexpr int VK_BACK = 0x08;
constexpr int VK_TAB = 0x09;
constexpr int VK_RETURN = 0x0D;
constexpr int VK_SHIFT = 0x10;
constexpr int VK_CONTROL = 0x11;
constexpr int VK_MENU = 0x12;
constexpr int VK_ESCAPE = 0x1B;
constexpr int VK_SPACE = 0x20;
constexpr int VK_PRIOR = 0x21;
constexpr int VK_NEXT = 0x22;
constexpr int VK_END = 0x23;
constexpr int VK_HOME = 0x24;
constexpr int VK_LEFT = 0x25;
constexpr int VK_UP = 0x26;
constexpr int VK_RIGHT = 0x27;
constexpr int VK_DOWN = 0x28;
constexpr int VK_INSERT = 0x2D;
constexpr int VK_DELETE = 0x2E;
constexpr int VK_F1 = 0x70;
constexpr int VK_LSHIFT = 0xA0;
constexpr int VK_RSHIFT = 0xA1;
constexpr int VK_LCONTROL = 0xA2;
constexpr int VK_RCONTROL = 0xA3;

// Key state as the model holds it (platform::SetKeyDown): the high bit set
// while the key is down.
SHORT GetKeyState(int virtual_key);
SHORT GetAsyncKeyState(int virtual_key);
// The cursor position the model holds (screen coordinates).
BOOL GetCursorPos(POINT* point);
BOOL SetCursorPos(int x, int y);

// ---- Painting ------------------------------------------------------------------------------
struct PAINTSTRUCT {
  HDC hdc;                 // DC to paint with (over the window's surface)
  BOOL fErase;             // TRUE when the background still needs erasing
  RECT rcPaint;            // the update rectangle, client coordinates
  BOOL fRestore;           // reserved
  BOOL fIncUpdate;         // reserved
  BYTE rgbReserved[32];    // reserved
};

// Adds to the window's update rectangle (NULL: the whole client area; a
// NULL window: every window). A visible window with an update rectangle
// gets WM_PAINT from its queue.
BOOL InvalidateRect(HWND window, const RECT* rect, BOOL erase);
BOOL ValidateRect(HWND window, const RECT* rect);
// FALSE when the window has no update rectangle; else TRUE with it.
BOOL GetUpdateRect(HWND window, RECT* rect, BOOL erase);
// Sends WM_PAINT at once when the window is visible and needs painting.
BOOL UpdateWindow(HWND window);
constexpr UINT RDW_INVALIDATE = 0x0001;
constexpr UINT RDW_INTERNALPAINT = 0x0002;
constexpr UINT RDW_ERASE = 0x0004;
constexpr UINT RDW_VALIDATE = 0x0008;
constexpr UINT RDW_NOINTERNALPAINT = 0x0010;
constexpr UINT RDW_NOERASE = 0x0020;
constexpr UINT RDW_NOCHILDREN = 0x0040;
constexpr UINT RDW_ALLCHILDREN = 0x0080;
constexpr UINT RDW_UPDATENOW = 0x0100;
constexpr UINT RDW_ERASENOW = 0x0200;
constexpr UINT RDW_FRAME = 0x0400;
constexpr UINT RDW_NOFRAME = 0x0800;
// Invalidates or validates (rectangle or whole client; regions are not
// modelled), with RDW_ALLCHILDREN also the descendants, then with
// RDW_UPDATENOW paints at once.
BOOL RedrawWindow(HWND window, const RECT* rect, HRGN region, UINT flags);
// Starts painting: WM_ERASEBKGND when the background needs erasing (the
// default handling fills the client area with the class brush), then a DC
// over the window's surface; the update rectangle is validated. The DC is
// NULL when the drawing layer cannot give one; painting still validates.
HDC BeginPaint(HWND window, PAINTSTRUCT* paint);
BOOL EndPaint(HWND window, const PAINTSTRUCT* paint);

// ---- Timers ---------------------------------------------------------------------------------
constexpr UINT USER_TIMER_MINIMUM = 0x0000000A;
constexpr UINT USER_TIMER_MAXIMUM = 0x7FFFFFFF;
// A timer of the window (or, for NULL, of the calling thread, with a new id)
// that becomes due every `elapse` milliseconds of GetTickCount64 (clamped to
// USER_TIMER_MINIMUM..MAXIMUM). The queue makes WM_TIMER (wParam the id,
// lParam the procedure) when a due timer is retrieved; it is then due again
// one interval later. Setting an existing id replaces it. Returns the id.
UINT_PTR SetTimer(HWND window, UINT_PTR id, UINT elapse, TIMERPROC proc);
BOOL KillTimer(HWND window, UINT_PTR id);

// ---- Hooks ------------------------------------------------------------------------------------
constexpr int WH_MSGFILTER = -1;
constexpr int WH_GETMESSAGE = 3;
constexpr int WH_CALLWNDPROC = 4;
constexpr int WH_CBT = 5;
constexpr int HC_ACTION = 0;
constexpr int HCBT_MOVESIZE = 0;
constexpr int HCBT_MINMAX = 1;
constexpr int HCBT_QS = 2;
constexpr int HCBT_CREATEWND = 3;
constexpr int HCBT_DESTROYWND = 4;
constexpr int HCBT_ACTIVATE = 5;
constexpr int HCBT_CLICKSKIPPED = 6;
constexpr int HCBT_KEYSKIPPED = 7;
constexpr int HCBT_SYSCOMMAND = 8;
constexpr int HCBT_SETFOCUS = 9;

// HCBT_CREATEWND's lParam.
struct CBT_CREATEWNDW {
  CREATESTRUCTW* lpcs;     // the creation record (may be changed)
  HWND hwndInsertAfter;    // z-order place
};
// HCBT_ACTIVATE's lParam.
struct CBTACTIVATESTRUCT {
  BOOL fMouse;             // activated by a click
  HWND hWndActive;         // the window active before
};
// WH_CALLWNDPROC's lParam: a message about to reach a window procedure
// through SendMessageW (or a message the model sends itself).
struct CWPSTRUCT {
  LPARAM lParam;           // second parameter
  WPARAM wParam;           // first parameter
  UINT message;            // message number
  HWND hwnd;               // target window
};

// A hook for one thread (thread_id), or for every thread (0, which needs a
// module instance, else ERROR_HOOK_NEEDS_HMOD). WH_CBT sees
// HCBT_CREATEWND, HCBT_DESTROYWND, HCBT_ACTIVATE (wParam: the window being
// activated) and HCBT_SETFOCUS; WH_CALLWNDPROC sees every sent message before
// the procedure; WH_GETMESSAGE sees each message GetMessageW/PeekMessageW
// return. The newest hook runs first and passes on with CallNextHookEx.
// Hooks of the target window's thread run on that thread.
HHOOK SetWindowsHookExW(int kind, HOOKPROC proc, HINSTANCE module, DWORD thread_id);
BOOL UnhookWindowsHookEx(HHOOK hook);
LRESULT CallNextHookEx(HHOOK hook, int code, WPARAM wparam, LPARAM lparam);

// ---- Monitors ----------------------------------------------------------------------------------
constexpr DWORD MONITOR_DEFAULTTONULL = 0x00000000;
constexpr DWORD MONITOR_DEFAULTTOPRIMARY = 0x00000001;
constexpr DWORD MONITOR_DEFAULTTONEAREST = 0x00000002;
// The monitor that holds the point / overlaps the rectangle most / overlaps
// the window most (a minimised window: its normal rectangle). With none:
// NULL, the primary monitor or the nearest one, by the flag.
HMONITOR MonitorFromPoint(POINT point, DWORD flags);
HMONITOR MonitorFromRect(const RECT* rect, DWORD flags);
HMONITOR MonitorFromWindow(HWND window, DWORD flags);

// ---- System metrics and parameters ----------------------------------------------------------
constexpr int SM_CXSCREEN = 0;
constexpr int SM_CYSCREEN = 1;
constexpr int SM_CXVSCROLL = 2;
constexpr int SM_CYHSCROLL = 3;
constexpr int SM_CYCAPTION = 4;
constexpr int SM_CXBORDER = 5;
constexpr int SM_CYBORDER = 6;
constexpr int SM_CXDLGFRAME = 7;
constexpr int SM_CYDLGFRAME = 8;
constexpr int SM_CXFIXEDFRAME = SM_CXDLGFRAME;
constexpr int SM_CYFIXEDFRAME = SM_CYDLGFRAME;
constexpr int SM_CYVTHUMB = 9;
constexpr int SM_CXHTHUMB = 10;
constexpr int SM_CXICON = 11;
constexpr int SM_CYICON = 12;
constexpr int SM_CXCURSOR = 13;
constexpr int SM_CYCURSOR = 14;
constexpr int SM_CYMENU = 15;
constexpr int SM_CXFULLSCREEN = 16;
constexpr int SM_CYFULLSCREEN = 17;
constexpr int SM_MOUSEPRESENT = 19;
constexpr int SM_CYVSCROLL = 20;
constexpr int SM_CXHSCROLL = 21;
constexpr int SM_DEBUG = 22;
constexpr int SM_SWAPBUTTON = 23;
constexpr int SM_CXMIN = 28;
constexpr int SM_CYMIN = 29;
constexpr int SM_CXSIZE = 30;
constexpr int SM_CYSIZE = 31;
constexpr int SM_CXFRAME = 32;
constexpr int SM_CYFRAME = 33;
constexpr int SM_CXSIZEFRAME = SM_CXFRAME;
constexpr int SM_CYSIZEFRAME = SM_CYFRAME;
constexpr int SM_CXMINTRACK = 34;
constexpr int SM_CYMINTRACK = 35;
constexpr int SM_CXDOUBLECLK = 36;
constexpr int SM_CYDOUBLECLK = 37;
constexpr int SM_CXICONSPACING = 38;
constexpr int SM_CYICONSPACING = 39;
constexpr int SM_MENUDROPALIGNMENT = 40;
constexpr int SM_CMOUSEBUTTONS = 43;
constexpr int SM_CXEDGE = 45;
constexpr int SM_CYEDGE = 46;
constexpr int SM_CXSMICON = 49;
constexpr int SM_CYSMICON = 50;
constexpr int SM_CYSMCAPTION = 51;
constexpr int SM_CXSMSIZE = 52;
constexpr int SM_CYSMSIZE = 53;
constexpr int SM_CXMENUSIZE = 54;
constexpr int SM_CYMENUSIZE = 55;
constexpr int SM_CXMINIMIZED = 57;
constexpr int SM_CYMINIMIZED = 58;
constexpr int SM_CXMAXTRACK = 59;
constexpr int SM_CYMAXTRACK = 60;
constexpr int SM_CXMAXIMIZED = 61;
constexpr int SM_CYMAXIMIZED = 62;
constexpr int SM_NETWORK = 63;
constexpr int SM_CLEANBOOT = 67;
constexpr int SM_CXDRAG = 68;
constexpr int SM_CYDRAG = 69;
constexpr int SM_SHOWSOUNDS = 70;
constexpr int SM_CXMENUCHECK = 71;
constexpr int SM_CYMENUCHECK = 72;
constexpr int SM_MIDEASTENABLED = 74;
constexpr int SM_MOUSEWHEELPRESENT = 75;
constexpr int SM_XVIRTUALSCREEN = 76;
constexpr int SM_YVIRTUALSCREEN = 77;
constexpr int SM_CXVIRTUALSCREEN = 78;
constexpr int SM_CYVIRTUALSCREEN = 79;
constexpr int SM_CMONITORS = 80;
constexpr int SM_SAMEDISPLAYFORMAT = 81;
constexpr int SM_REMOTESESSION = 0x1000;

// A metric of the model: the screen and virtual-screen sizes and the monitor
// count follow the monitor list (platform/gdi/gdi.h); SM_CXFULLSCREEN and
// SM_CYFULLSCREEN the primary work area (less a caption); the frame, caption,
// scroll-bar, icon and other sizes come from a fixed table that tests may
// override (platform::SetSystemMetric). 0 for an unknown index.
int GetSystemMetrics(int index);

constexpr UINT SPI_GETICONTITLELOGFONT = 0x001F;
constexpr UINT SPI_GETMENUDROPALIGNMENT = 0x001B;
constexpr UINT SPI_GETNONCLIENTMETRICS = 0x0029;
constexpr UINT SPI_SETNONCLIENTMETRICS = 0x002A;
constexpr UINT SPI_SETWORKAREA = 0x002F;
constexpr UINT SPI_GETWORKAREA = 0x0030;
constexpr UINT SPI_GETHIGHCONTRAST = 0x0042;
constexpr UINT SPI_GETSCREENREADER = 0x0046;
constexpr UINT SPI_GETFONTSMOOTHING = 0x004A;
constexpr UINT SPI_GETWHEELSCROLLLINES = 0x0068;
constexpr UINT SPI_GETGRADIENTCAPTIONS = 0x1008;
constexpr UINT SPI_GETKEYBOARDCUES = 0x100A;
constexpr UINT SPI_GETMENUUNDERLINES = SPI_GETKEYBOARDCUES;
constexpr UINT SPI_GETFLATMENU = 0x1022;
constexpr UINT SPI_GETDROPSHADOW = 0x1024;

// SPI_GETNONCLIENTMETRICS record (504 bytes; 500 without the last field,
// the size of the platform before version 6).
struct NONCLIENTMETRICSW {
  UINT cbSize;               // 504 or 500, set by the caller
  int iBorderWidth;          // sizing border
  int iScrollWidth;          // vertical scroll bar width
  int iScrollHeight;         // horizontal scroll bar height
  int iCaptionWidth;         // caption button width
  int iCaptionHeight;        // caption button height
  LOGFONTW lfCaptionFont;    // caption font
  int iSmCaptionWidth;       // small caption button width
  int iSmCaptionHeight;      // small caption button height
  LOGFONTW lfSmCaptionFont;  // small caption font
  int iMenuWidth;            // menu-bar button width
  int iMenuHeight;           // menu-bar height
  LOGFONTW lfMenuFont;       // menu font
  LOGFONTW lfStatusFont;     // status-bar and tool-tip font
  LOGFONTW lfMessageFont;    // message-box font
  int iPaddedBorderWidth;    // extra border of captioned windows
};
static_assert(sizeof(NONCLIENTMETRICSW) == 504);

// SPI_GETHIGHCONTRAST record.
constexpr DWORD HCF_HIGHCONTRASTON = 0x00000001;
struct HIGHCONTRASTW {
  UINT cbSize;                 // sizeof(HIGHCONTRASTW)
  DWORD dwFlags;               // HCF_*
  LPWSTR lpszDefaultScheme;    // scheme name (NULL here)
};

// Settings the model answers. SPI_GETWORKAREA gives the primary monitor's
// work area (RECT); SPI_GETNONCLIENTMETRICS the frame sizes of
// GetSystemMetrics and the UI fonts (ui_param and cbSize: the full record or
// the record without iPaddedBorderWidth); SPI_GETICONTITLELOGFONT a
// LOGFONTW; the boolean queries answer into a BOOL; SPI_GETWHEELSCROLLLINES
// into a UINT. FALSE with ERROR_INVALID_PARAMETER for an unknown action or a
// missing or wrongly sized record.
BOOL SystemParametersInfoW(UINT action, UINT ui_param, LPVOID pv_param, UINT win_ini);

// ---- The model's own interface (tests and front ends) -------------------------------------------
namespace platform {

// ---- Windows of other processes ----
// A process listens on the local transport (platform/kernel/transport.h),
// from its first top-level window until its last is gone, on the endpoint
// "windows-<process id>" in the runtime folder. Other processes of the
// same user see its top-level windows: EnumWindows hands them out as
// stand-in handles after their own windows (one handle per window, never
// reused), GetClassNameW names their class, and SendMessageW with
// WM_COPYDATA carries dwData and the bytes (cbData at most 0x8000; more is
// refused with ERROR_INVALID_PARAMETER) to the window's procedure, run on
// the window's own thread (wParam arrives as 0), and returns its answer.
// Any other message to such a window returns 0, and so does a send to a
// process that is gone (its socket is removed and it is skipped from then
// on) or that does not answer within the timeout. Other calls refuse the
// stand-ins (ERROR_INVALID_WINDOW_HANDLE).
constexpr DWORD kForeignWindowTimeoutMs = 5000;
// Changes the time a list or a send waits for another process (tests);
// returns the previous value.
DWORD SetForeignWindowTimeout(DWORD milliseconds);

// Number of windows alive in the process (not counting the desktop).
size_t LiveWindowCount();

// Overrides one GetSystemMetrics answer (tests); ResetSystemMetrics drops
// every override. The UI font of the non-client metrics (caption, menu,
// status and message fonts, and the icon title font) is "Segoe UI" at
// 9 points (lfHeight -12) on the platform's version 6 and later, "Tahoma"
// -11 before (platform/kernel/cpu.h's system model); SetUiFont overrides both.
void SetSystemMetric(int index, int value);
void ResetSystemMetrics();
void SetUiFont(const LOGFONTW& font);
void ResetUiFont();

// The key state GetKeyState/GetAsyncKeyState report.
void SetKeyDown(int virtual_key, bool down);
void ResetKeyState();

// Work area of a monitor (by index in the monitor list; the primary is 0),
// in screen coordinates. Without an override it is the rcWork that
// GetMonitorInfoW reports.
// SPI_GETWORKAREA, MonitorFromRect's callers and the dialog placement read
// it through platform::WorkAreaOfMonitor.
void SetWorkArea(size_t monitor_index, const RECT& work);
void ResetWorkAreas();
RECT WorkAreaOfMonitor(HMONITOR monitor);

// Registers the function that registers the common control classes. The
// common controls live in the comctl area above this one, which registers
// it when the program starts (platform/comctl/comctl_hooks.cpp); the model
// calls it after the standard classes, the first time a class is looked up.
void SetCommonControlClassRegistrar(void (*registrar)());

// A system class: registered once for every module instance (never
// unregistered). `atom` may be 0 to take a new one.
ATOM RegisterSystemClass(const WNDCLASSEXW& wc, ATOM atom);

}  // namespace platform
