// The hotkey-entry control: a window class in which the user types a
// keyboard shortcut of one key, or of two keys in sequence, with Ctrl, Alt
// and Shift, and sees its name ("Ctrl+Shift+F5", "Ctrl+K, Num 3").
//
// Register the class with Hotkey2Class_Initialize and create windows of it
// (their window procedure is Hotkey2_WndProc). Each window allocates its
// own instance at WM_CREATE and keeps it in GWLP_USERDATA. A host may
// instead hold an instance itself: Hotkey2Inst_Init fills it for a host
// window, and a window of the class whose user data holds that instance
// before WM_CREATE (set at WM_NCCREATE) works on it; the control never
// frees such an instance.
//
// The owner (the notify window, else the parent) hears of every change by
// WM_COMMAND with code HOTKEY2_CHANGED, and with style HOTKEY2S_ASK it is
// asked about every candidate first (WM_NOTIFY NM_KEYDOWN, NMHOTKEY2). Key
// names come from the string table in the user's language.
#pragma once

#include <cstdint>

#include "platform/kernel/types.h"
#include "platform/user/windows.h"

// Window styles of the control (low word).
constexpr DWORD HOTKEY2S_SEQUENCE = 0x0001;     // a second key may follow the first
constexpr DWORD HOTKEY2S_WANTTAB = 0x0010;      // takes Tab from the dialog
constexpr DWORD HOTKEY2S_WANTESCAPE = 0x0020;   // takes Escape
constexpr DWORD HOTKEY2S_WANTRETURN = 0x0040;   // takes Return
constexpr DWORD HOTKEY2S_WANTSYSKEYS = 0x0080;  // takes system keys
constexpr DWORD HOTKEY2S_ASK = 0x2000;          // asks the owner about every candidate
constexpr DWORD HOTKEY2S_NOPAINT = 0x4000;      // never paints
constexpr DWORD HOTKEY2S_FOCUSCMD = 0x8000;     // a hosted instance reports focus by WM_COMMAND

// Modifier bits of a shortcut.
constexpr WORD HOTKEY2_SHIFT = 0x2;
constexpr WORD HOTKEY2_CTRL = 0x4;
constexpr WORD HOTKEY2_ALT = 0x8;

// State bits of an instance (tWUHOTKEY2INST::flags).
constexpr DWORD HOTKEY2F_DISABLED = 0x1;      // WS_DISABLED, WM_ENABLE
constexpr DWORD HOTKEY2F_FOCUS = 0x2;         // has the keyboard focus
constexpr DWORD HOTKEY2F_HOSTED = 0x4;        // a host's instance (window = the host)
constexpr DWORD HOTKEY2F_NOBACKGROUND = 0x8;  // do not fill the background (set by hosts)
constexpr DWORD HOTKEY2F_SEQUENCE = 0x10;     // HOTKEY2S_SEQUENCE
constexpr DWORD HOTKEY2F_ASK = 0x20;          // HOTKEY2S_ASK
constexpr DWORD HOTKEY2F_FOCUSCMD = 0x40;     // HOTKEY2S_FOCUSCMD
constexpr DWORD HOTKEY2F_NOPAINT = 0x80;      // HOTKEY2S_NOPAINT
constexpr DWORD HOTKEY2F_FIRSTDOWN = 0x100;   // the first key is held down
constexpr DWORD HOTKEY2F_SECONDDOWN = 0x200;  // the second key is held down
constexpr DWORD HOTKEY2F_FRESH = 0x400;       // focus just gained: the next key starts anew

// Private messages. HOTKEY2_GETKEYS copies the keys into the HOTKEY2_KEYINFO
// of lParam (when not null); HOTKEY2_SETKEYS takes them from it (modifiers
// masked to Shift, Ctrl and Alt) and repaints. Both return the first key.
constexpr UINT HOTKEY2_GETKEYS = 0x60A;
constexpr UINT HOTKEY2_SETKEYS = 0x60B;

// WM_COMMAND codes (high word of wParam) sent to the owner.
constexpr WORD HOTKEY2_SETFOCUS = 1;   // a hosted instance with HOTKEY2S_FOCUSCMD gained the focus
constexpr WORD HOTKEY2_KILLFOCUS = 2;  // ... lost it
constexpr WORD HOTKEY2_CHANGED = 3;    // a key message was handled

// The WM_GETDLGCODE answer before any message is looked at.
constexpr DWORD HOTKEY2_DLGCODE = 0x81;  // DLGC_WANTARROWS | DLGC_WANTCHARS
// Milliseconds within which a second key may follow the first.
constexpr DWORD HOTKEY2_SEQUENCE_TIMEOUT = 10000;
// Characters the control names a shortcut in (with the terminator).
constexpr int HOTKEY2_NAME_CHARS = 260;

// The instance record of one control.
struct tWUHOTKEY2INST {
  DWORD style;             // window style given at creation
  DWORD flags;             // HOTKEY2F_* state bits
  HWND window;             // the control's window (the host for a hosted instance)
  DWORD control_id;        // sent with every notification
  HWND notify_window;      // receives notifications; null: the window's parent
  RECT rect;               // drawing area
  HFONT font;              // WM_SETFONT; null: UI font 100
  DWORD dialog_code;       // base answer to WM_GETDLGCODE
  int32_t text_width;      // width of the shown text + 1; the caret stands after it
  LPVOID user_data;        // the creation parameter
  WORD first_key;          // virtual key, 0 for none
  WORD second_key;         // second key of a sequence, 0 for none
  WORD modifiers;          // HOTKEY2_SHIFT/CTRL/ALT; other bits kept as given
  DWORD last_key_time;     // GetTickCount when the first key was taken
  DWORD sequence_timeout;  // milliseconds a second key may follow
};

// The keys of HOTKEY2_GETKEYS / HOTKEY2_SETKEYS.
struct HOTKEY2_KEYINFO {
  DWORD keys;      // first key in the low word, second key in the high word
  WORD modifiers;  // HOTKEY2_SHIFT/CTRL/ALT
};

// A shortcut as a host stores it (the menu manager's accelerators).
struct _wuhotkey {
  DWORD keys;       // first key in the low word, second key in the high word
  DWORD modifiers;  // HOTKEY2_SHIFT/CTRL/ALT in the low word
};
static_assert(sizeof(_wuhotkey) == 8, "two 32-bit fields");

// The candidate notification: WM_NOTIFY with code NM_KEYDOWN and the
// control id as wParam. The owner clears bit 0 of `answer` to refuse the
// candidate and sets bit 1 to have it flashed.
struct NMHOTKEY2 {
  NMHDR hdr;         // control window, control id, NM_KEYDOWN
  WORD first_key;    // the candidate's first key
  WORD second_key;   // its second key
  WORD modifiers;    // its modifiers
  DWORD answer;      // preset to HOTKEY2_ACCEPT
};
constexpr DWORD HOTKEY2_ACCEPT = 0x1;  // answer bit: take the candidate
constexpr DWORD HOTKEY2_FLASH = 0x2;   // answer bit: flash it three times

// Registers the class `class_name` for `instance` (class style
// CS_VREDRAW | CS_HREDRAW | CS_GLOBALCLASS, the I-beam cursor, the window
// colour's brush). TRUE when it was registered already or is now.
BOOL Hotkey2Class_Initialize(HINSTANCE instance, LPCWSTR class_name);
// Unregisters the class; the result of UnregisterClassW.
BOOL Hotkey2Class_Terminate(HINSTANCE instance, LPCWSTR class_name);

// Fills a host's instance as a window's creation does, with `host` as both
// window and parent (a hosted instance): the rectangle is {0, 0, width,
// height} of `rect`. Flags HOTKEY2F_FOCUS, HOTKEY2F_HOSTED,
// HOTKEY2F_NOBACKGROUND and the bits above 0x80 already in the record are
// kept; the rest of the record is reset. TRUE; FALSE for a null instance.
BOOL Hotkey2Inst_Init(tWUHOTKEY2INST* instance, DWORD style, const RECT* rect, HWND host,
                      DWORD control_id, LPVOID user_data);

// Writes the name of a shortcut into `buffer` of `capacity` characters (cut
// to fit, always terminated) and returns its length: the prefixes "Ctrl+",
// "Alt+", "Shift+" of `modifiers`, the first key's name, then ", " and the
// second key's name when it is set and at least three characters remain.
// Key code 0 has an empty name. 0 with nothing written for a null buffer or
// a capacity of 0 or less.
int Hotkey2_GetKeyName(LPWSTR buffer, int capacity, WORD first_key, WORD second_key,
                       WORD modifiers);

// The window procedure of the class.
LRESULT Hotkey2_WndProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
