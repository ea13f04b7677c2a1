// The stereo phase scope: a square display that plots pairs of float
// samples (an x and a y channel of interleaved frames) as glowing green
// dots, rays or bars over a grey backdrop, with optional persistence.
//
// Two forms share one instance record and one message handler:
//  - a window control: ScopeInitialize registers a window class; the
//    instance lives in the window's user data and is driven by messages
//    (the WuScope_* wrappers send them);
//  - a hosted (windowless) instance: the caller allocates ScopeInst_GetSize()
//    bytes, initialises them with ScopeInst_Init, forwards messages with
//    ScopeInst_Message and paints with ScopeInst_Draw (the ScopeInst_*
//    wrappers pass the same values to ScopeInst_Message).
//
// Everything runs on the caller's thread; the record is not locked.
#pragma once

#include "platform/gdi/gdi.h"
#include "platform/kernel/types.h"
#include "platform/user/window_model.h"

// Style bits (low word of the style; the high word holds window styles).
constexpr DWORD SCOPES_MIDSIDE = 0x1;     // default plot turned by 45 degrees
constexpr DWORD SCOPES_FOLD = 0x2;        // default plot reflects part of the angle range
constexpr DWORD SCOPES_HALFPLANE = 0x4;   // vertical bars by angle and magnitude
constexpr DWORD SCOPES_POLAR = 0x8;       // radial rays (wins over SCOPES_HALFPLANE)
constexpr DWORD SCOPES_CENTER = 0x80;     // centre the square inside the bounds
constexpr DWORD SCOPES_FASTMATH = 0x100;  // approximate square root, sine, cosine, arc tangent

// State bits.
constexpr DWORD SCOPE_STATE_HOSTED = 0x1;   // windowless instance
constexpr DWORD SCOPE_STATE_ENABLED = 0x2;  // stored by SCOPEM_SETENABLED

// Private messages; every message from 0x600 up goes to the private
// handler, which answers 0 for those it does not list.
constexpr UINT SCOPEM_SETPOS = 0x60B;      // lParam: tSCOPEPLOT*; fade, plot, backdrop
constexpr UINT SCOPEM_SETRANGE = 0x60C;    // lParam: const float*
constexpr UINT SCOPEM_SETCOLORS = 0x60D;   // wParam: count << 16, lParam: table
constexpr UINT SCOPEM_SETTICKS = 0x60E;    // wParam: count << 16, lParam: table
constexpr UINT SCOPEM_GETSTYLE = 0x60F;    // -> style & 0xFFFF
constexpr UINT SCOPEM_SETSTYLE = 0x610;    // wParam: bits, lParam: non-zero set, zero clear
constexpr UINT SCOPEM_GETCOUNT = 0x611;    // -> count
constexpr UINT SCOPEM_SETCOUNT = 0x612;    // wParam low word: update now; lParam: count
constexpr UINT SCOPEM_SETFADE = 0x613;     // lParam: const float*; factor = its square root
constexpr UINT SCOPEM_SETENABLED = 0x619;  // lParam bit 0; -> -1 when it was set, else 0
constexpr UINT SCOPEM_RESET = 0x61A;       // wParam low word: update now

// The plot block of SCOPEM_SETPOS: frame i's x value is
// samples[i * stride + xIndex], its y value samples[i * stride + yIndex]
// (indexes computed in 64 bits).
struct tSCOPEPLOT {
  const float* samples;  // interleaved frames
  int32_t frames;        // frame count; 0 or less draws nothing
  int32_t xIndex;        // x channel within a frame
  int32_t yIndex;        // y channel within a frame
  int32_t stride;        // floats from one frame to the next
};

struct tSCOPEINST;

// The math set: magnitude (square root), sine, cosine and angle (y, x).
typedef float (*SCOPEMATH1)(float value);
typedef float (*SCOPEMATH2)(float y, float x);

// The host's background painter, called first by ScopeInst_Draw with the
// instance's bounds and flags 1.
typedef void (*SCOPEBKGNDPROC)(tSCOPEINST* inst, HDC dc, const RECT* bounds, int flags,
                               LPARAM user);

// The instance record.
struct tSCOPEINST {
  DWORD style;            // style bits (low word ours, high word window styles)
  DWORD state;            // SCOPE_STATE_* bits
  HWND window;            // the control, or the host window of a hosted instance
  HWND notifyWindow;      // receives WM_CONTEXTMENU and WM_ENTERIDLE; null: the parent
  DWORD controlId;        // the creation record's menu/id field
  HFONT font;             // WM_SETFONT / WM_GETFONT; not used for drawing
  RECT bounds;            // client rectangle, or the host-given rectangle
  LONG boundsWidth;       // bounds.right - bounds.left
  LONG boundsHeight;      // bounds.bottom - bounds.top
  RECT plot;              // where the image is copied to
  LONG imageWidth;        // side of the offscreen image
  LONG imageHeight;       // equal to imageWidth
  LONG count;             // SCOPEM_SETCOUNT value, 1 after initialisation
  float range;            // SCOPEM_SETRANGE value, stored only
  const void* colors;     // SCOPEM_SETCOLORS table, stored only
  const void* ticks;      // SCOPEM_SETTICKS table, stored only
  LONG colorCount;        // high word of SCOPEM_SETCOLORS' wParam
  LONG tickCount;         // high word of SCOPEM_SETTICKS' wParam
  HDC memDC;              // compatible DC holding the image
  HBITMAP image;          // 32-bit DIB section selected into memDC
  BITMAPINFOHEADER header;  // copy of the image's header
  BYTE* bits;             // first byte of the DIB section
  BYTE* topRow;           // first byte of the top image row
  LONG rowStep;           // bytes from one row to the next one down (negative)
  float fade;             // persistence factor per plot (0: none)
  void* runs;             // backdrop run list (locked movable global block)
  DWORD runBytes;         // its size in bytes
  RECT runRect;           // rectangle the run list covers
  SCOPEMATH1 magnitude;   // math set chosen by SCOPES_FASTMATH
  SCOPEMATH1 sine;
  SCOPEMATH1 cosine;
  SCOPEMATH2 angle;
};

// Registers the window class (style CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS |
// CS_GLOBALCLASS, arrow cursor). 1 when registered, else 0.
BOOL ScopeInitialize(HINSTANCE instance, LPCWSTR className);
// Unregisters it; UnregisterClassW's result.
BOOL ScopeTerminate(HINSTANCE instance, LPCWSTR className);
// The class's window procedure.
LRESULT ScopeWndProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

// Window wrappers: SendMessageW of the matching message.
LRESULT WuScope_SetPos(HWND window, const tSCOPEPLOT* block);
LRESULT WuScope_SetRange(HWND window, const float* range);
LRESULT WuScope_SetColors(HWND window, int count, const void* table);
LRESULT WuScope_SetTicks(HWND window, int count, const void* table);
LRESULT WuScope_GetStyle(HWND window);
LRESULT WuScope_SetStyle(HWND window, DWORD bits, BOOL set);
LRESULT WuScope_GetCount(HWND window);
LRESULT WuScope_SetCount(HWND window, int count, BOOL updateNow);
LRESULT WuScope_SetFade(HWND window, const float* fade);
LRESULT WuScope_SetEnabled(HWND window, BOOL enabled);
LRESULT WuScope_Reset(HWND window, LPARAM value, BOOL updateNow);

// Hosted instances.
// Size of the record in bytes.
int ScopeInst_GetSize();
// Zeroes the record, then initialises it for `host` (the host window may
// be null). The bounds stay at the empty 7 x 7 default until
// ScopeInst_Move. Returns 1.
BOOL ScopeInst_Init(tSCOPEINST* inst, DWORD style, const RECT* rect, HWND host, DWORD id);
// Sets the bounds (an empty rectangle widened to 7 x 7) and rebuilds: 1 when
// unchanged or rebuilt, 0 when the rebuild failed.
BOOL ScopeInst_Move(tSCOPEINST* inst, const RECT* rect);
// Paints into the host's DC after calling `background` (may be null).
BOOL ScopeInst_Draw(tSCOPEINST* inst, HDC dc, SCOPEBKGNDPROC background, LPARAM user);
// The hosted message handler.
LRESULT ScopeInst_Message(tSCOPEINST* inst, UINT message, WPARAM wparam, LPARAM lparam);
// A hosted instance's window and notify window; returns the instance.
tSCOPEINST* ScopeInst_SetOwnerHwnd(tSCOPEINST* inst, HWND window);
// Releases the image, memory DC and run list; the record stays the caller's.
void ScopeInst_Deinit(tSCOPEINST* inst);

// Instance wrappers: ScopeInst_Message with the same values as the window
// wrappers.
LRESULT ScopeInst_SetPos(tSCOPEINST* inst, const tSCOPEPLOT* block);
LRESULT ScopeInst_SetRange(tSCOPEINST* inst, const float* range);
LRESULT ScopeInst_SetColors(tSCOPEINST* inst, int count, const void* table);
LRESULT ScopeInst_SetTicks(tSCOPEINST* inst, int count, const void* table);
LRESULT ScopeInst_GetStyle(tSCOPEINST* inst);
LRESULT ScopeInst_SetStyle(tSCOPEINST* inst, DWORD bits, BOOL set);
LRESULT ScopeInst_GetCount(tSCOPEINST* inst);
LRESULT ScopeInst_SetCount(tSCOPEINST* inst, int count, BOOL updateNow);
LRESULT ScopeInst_SetFade(tSCOPEINST* inst, const float* fade);
LRESULT ScopeInst_SetEnabled(tSCOPEINST* inst, BOOL enabled);
LRESULT ScopeInst_Reset(tSCOPEINST* inst, LPARAM value, BOOL updateNow);
