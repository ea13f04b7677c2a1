// Dialog templates built in memory from header and control records.
//
// A dialog that is not stored as a resource is described by one header
// record and an array of control records. Every caption and control text is
// a string reference resolved through a language handle: a value below
// 0x10000 is a string resource id, anything else a multilingual row or a
// plain text (WuGetStringSmart). The builders turn the records into a plain
// (DLGTEMPLATE) or an extended (DLGTEMPLATEEX) template; the mapper reads a
// template of either kind back into the extended records so that it can be
// edited and built again.
//
// Every template and mapped block lies in locked, zero-filled global memory
// and belongs to the caller, who releases it with WuFreeDialogTemplate (or
// GlobalUnlock and GlobalFree of GlobalHandle(pointer)).
#pragma once

#include "foundation/WuKernelState.h"
#include "platform/gdi/gdi.h"
#include "platform/kernel/types.h"
#include "platform/user/windows.h"

// The face a template gets when its header names none, at 8 points.
#define WUDLG_DEFAULT_FACE u"MS Shell Dlg"
constexpr int WUDLG_DEFAULT_POINTS = 8;
// The most control records a builder uses.
constexpr int WUDLG_MAX_CONTROLS = 256;

// Header of a plain dialog.
struct _wudlghdrcreate {
  DWORD style;        // WS_* and DS_* bits; DS_SETFONT writes font data
  DWORD exStyle;      // WS_EX_* bits
  WORD count;         // control records that follow in the array
  SHORT x, y, cx, cy; // position and size in dialog units
  WORD menu;          // menu resource id; 0 none
  WORD windowClass;   // class atom; 0 the standard dialog class
  LPCWSTR caption;    // string reference
  SHORT pointSize;    // used only with a font face
  LPCWSTR face;       // string reference; NULL "MS Shell Dlg" at 8 points
};

// One control of a plain dialog.
struct _wudlgctrlcreate {
  LPCWSTR ctrlClass;  // below 0x10000 a class atom (0x80..0x85), else a class name
  LPCWSTR text;       // string reference; NULL an empty text
  WORD id;            // control id (0xFFFF when none is needed)
  SHORT x, y, cx, cy; // dialog units
  DWORD exStyle;      // WS_EX_* bits
  DWORD style;        // WS_* and control style bits
};

// Header of an extended dialog.
struct _wudlghdrcreateex {
  LPCWSTR caption;    // string reference
  DWORD style;        // WS_* and DS_* bits
  DWORD exStyle;      // WS_EX_* bits
  LPCWSTR menu;       // NULL none; below 0x10000 a menu id; else a menu name
  LPCWSTR windowClass;// NULL standard class; below 0x10000 an atom; else a class name
  WORD count;         // control records that follow in the array
  SHORT x, y, cx, cy; // position and size in dialog units
  WORD pointSize;     // font size in points
  LPCWSTR face;       // string reference; NULL "MS Shell Dlg", 8 points, 400, upright, charset 1
  WORD weight;        // font weight
  BYTE italic;        // non-zero: italic
  BYTE charSet;       // character set
  DWORD helpId;       // context help id
};

// One control of an extended dialog.
struct _wudlgctrlcreateex {
  LPCWSTR ctrlClass;  // as in _wudlgctrlcreate
  LPCWSTR text;       // string reference; NULL an empty text
  WORD id;            // control id (written as a 32-bit id)
  SHORT x, y, cx, cy; // dialog units
  DWORD exStyle;      // WS_EX_* bits
  DWORD style;        // WS_* and control style bits
  DWORD helpId;       // context help id
  DWORD dataSize;     // creation-data bytes (at most 0xFFFF)
  const void* data;   // creation data; written when size and pointer are both set
};

// A plain template from the records, or NULL when memory runs out. At most
// WUDLG_MAX_CONTROLS controls are used.
const DLGTEMPLATE* WuCreateDialogTemplate(HWULANG lang, const _wudlghdrcreate* header,
                                          const _wudlgctrlcreate* controls);
// An extended template from the records, or NULL. *size (when given)
// receives the template's length in bytes. NULL too, with nothing
// allocated, when a control's creation data (size and pointer both set) is
// larger than 0xFFFF bytes, or when *size is asked for and the length is
// larger than 0xFFFF: a template is never cut to fit.
const DLGTEMPLATE* WuCreateDialogTemplateEx(HWULANG lang, const _wudlghdrcreateex* header,
                                            const _wudlgctrlcreateex* controls, WORD* size);
// Releases a template or a mapped block from this file. FALSE for anything else.
BOOL WuFreeDialogTemplate(const void* block);

// Reads a plain or extended template of `size` bytes into one new block:
// a _wudlghdrcreateex, its control records right after it, then the strings
// and creation data they point to. Stores the block in *out and returns the
// offset at which the strings begin. Returns 0 (and leaves *out alone) for a
// missing argument, a template that does not fit its size or is malformed,
// or when memory runs out.
int WuMapDialogTemplate(const DLGTEMPLATE* dialog_template, int size, _wudlghdrcreateex** out);

// The dialog's size in pixels, from its font's base units (the header's
// face when it has DS_SETFONT and a face, resolved through the handle) or
// else those of the UI dialog font. TRUE unless an argument is missing.
BOOL WuGetDialogSize(HWULANG lang, const _wudlghdrcreate* header, SIZE* size);
BOOL WuGetDialogSizeEx(HWULANG lang, const _wudlghdrcreateex* header, SIZE* size);

// The dialog resource `name` (RT_DIALOG) through the handle: the language
// resource module in the handle's language, then in 1033, then the owner
// module. Stores the locked template in *out and returns its size; 0 and
// NULL when it is missing.
int WuDialogTemplateFromRCID(HWULANG lang, LPCWSTR name, const DLGTEMPLATE** out);
// WuDialogTemplateFromRCID followed by WuMapDialogTemplate.
int WuMapDialogTemplateFromRCID(HWULANG lang, LPCWSTR name, _wudlghdrcreateex** out);
