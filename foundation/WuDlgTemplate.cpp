// Dialog templates built in memory, mapped back, and measured.
#include "foundation/WuDlgTemplate.h"

#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "foundation/WuLang.h"
#include "foundation/WuResMenu.h"
#include "foundation/WuUIFont.h"
#include "platform/kernel/memory.h"
#include "platform/kernel/resource.h"

namespace {

constexpr DWORD kSetFont = 0x40;           // DS_SETFONT
constexpr WORD kOrdinal = 0xFFFF;          // an ordinal follows
constexpr WORD kDefaultWeight = 400;       // FW_NORMAL
constexpr BYTE kDefaultCharSet = 1;        // DEFAULT_CHARSET
constexpr int kDialogFontKind = 100;       // the UI font of dialogs

bool IsId(LPCWSTR ref) { return IS_INTRESOURCE(ref); }
WORD IdOf(LPCWSTR ref) { return static_cast<WORD>(reinterpret_cast<ULONG_PTR>(ref)); }

// The text of a string reference: an id through the handle's string
// resources, anything else through WuGetStringSmart; empty when none.
std::u16string Resolve(HWULANG lang, LPCWSTR ref) {
  LPCWSTR text = nullptr;
  if (IsId(ref)) {
    if (lang) text = WuGetString(lang, static_cast<UINT>(IdOf(ref)));
  } else {
    text = lang ? WuGetStringSmart(lang, ref) : ref;
  }
  return text ? std::u16string(text) : std::u16string();
}

// Little-endian output of a template under construction.
class Writer {
 public:
  void Word(WORD v) { Put(&v, 2); }
  void DWord(DWORD v) { Put(&v, 4); }
  void Short(SHORT v) { Put(&v, 2); }
  void Byte(BYTE v) { Put(&v, 1); }
  void String(const std::u16string& s) {
    Put(s.data(), s.size() * sizeof(WCHAR));
    Word(0);
  }
  void Bytes(const void* p, size_t n) { Put(p, n); }
  void Align4() { bytes_.resize((bytes_.size() + 3) & ~static_cast<size_t>(3), 0); }
  size_t Length() const { return bytes_.size(); }
  // Menu or class: 0, 0xFFFF and an id, or a name.
  void NameOrId(LPCWSTR ref) {
    if (!ref) {
      Word(0);
    } else if (IsId(ref)) {
      Word(kOrdinal);
      Word(IdOf(ref));
    } else {
      String(ref);
    }
  }
  // Copies the template into a locked, zero-filled global block rounded up
  // to 4 bytes; NULL when memory runs out.
  const DLGTEMPLATE* Finish(size_t* length) const {
    size_t size = (bytes_.size() + 3) & ~static_cast<size_t>(3);
    HGLOBAL block = GlobalAlloc(GHND, size);
    void* p = block ? GlobalLock(block) : nullptr;
    if (!p) {
      if (block) GlobalFree(block);
      return nullptr;
    }
    std::memcpy(p, bytes_.data(), bytes_.size());
    if (length) *length = bytes_.size();
    return static_cast<const DLGTEMPLATE*>(p);
  }

 private:
  void Put(const void* p, size_t n) {
    const BYTE* b = static_cast<const BYTE*>(p);
    bytes_.insert(bytes_.end(), b, b + n);
  }
  std::vector<BYTE> bytes_;
};

// A control's class: 0xFFFF and the atom, or the name.
void WriteClass(Writer& w, LPCWSTR cls) {
  if (IsId(cls)) {
    w.Word(kOrdinal);
    w.Word(IdOf(cls));
  } else {
    w.String(cls);
  }
}

}  // namespace

const DLGTEMPLATE* WuCreateDialogTemplate(HWULANG lang, const _wudlghdrcreate* header,
                                          const _wudlgctrlcreate* controls) {
  if (!header || (header->count && !controls)) return nullptr;
  try {
    int count = header->count < WUDLG_MAX_CONTROLS ? header->count : WUDLG_MAX_CONTROLS;
    std::u16string caption = Resolve(lang, header->caption);
    std::u16string face = WUDLG_DEFAULT_FACE;
    SHORT points = WUDLG_DEFAULT_POINTS;
    if (header->face) {
      face = Resolve(lang, header->face);
      points = header->pointSize;
    }
    Writer w;
    w.DWord(header->style);
    w.DWord(header->exStyle);
    w.Word(static_cast<WORD>(count));
    w.Short(header->x);
    w.Short(header->y);
    w.Short(header->cx);
    w.Short(header->cy);
    w.NameOrId(header->menu ? MAKEINTRESOURCEW(header->menu) : nullptr);
    w.NameOrId(header->windowClass ? MAKEINTRESOURCEW(header->windowClass) : nullptr);
    w.String(caption);
    if (header->style & kSetFont) {
      w.Short(points);
      w.String(face);
    }
    for (int i = 0; i < count; ++i) {
      const _wudlgctrlcreate& c = controls[i];
      w.Align4();
      w.DWord(c.style);
      w.DWord(c.exStyle);
      w.Short(c.x);
      w.Short(c.y);
      w.Short(c.cx);
      w.Short(c.cy);
      w.Word(c.id);
      WriteClass(w, c.ctrlClass);
      w.String(c.text ? Resolve(lang, c.text) : std::u16string());
      w.Word(0);
    }
    return w.Finish(nullptr);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

const DLGTEMPLATE* WuCreateDialogTemplateEx(HWULANG lang, const _wudlghdrcreateex* header,
                                            const _wudlgctrlcreateex* controls, WORD* size) {
  if (!header || (header->count && !controls)) return nullptr;
  try {
    int count = header->count < WUDLG_MAX_CONTROLS ? header->count : WUDLG_MAX_CONTROLS;
    std::u16string caption = Resolve(lang, header->caption);
    Writer w;
    w.Word(1);
    w.Word(kOrdinal);
    w.DWord(header->helpId);
    w.DWord(header->exStyle);
    w.DWord(header->style);
    w.Word(static_cast<WORD>(count));
    w.Short(header->x);
    w.Short(header->y);
    w.Short(header->cx);
    w.Short(header->cy);
    w.NameOrId(header->menu);
    w.NameOrId(header->windowClass);
    w.String(caption);
    if (header->style & kSetFont) {
      if (header->face) {
        w.Word(header->pointSize);
        w.Word(header->weight);
        w.Byte(header->italic);
        w.Byte(header->charSet);
        w.String(Resolve(lang, header->face));
      } else {
        w.Word(WUDLG_DEFAULT_POINTS);
        w.Word(kDefaultWeight);
        w.Byte(0);
        w.Byte(kDefaultCharSet);
        w.String(WUDLG_DEFAULT_FACE);
      }
    }
    for (int i = 0; i < count; ++i) {
      const _wudlgctrlcreateex& c = controls[i];
      w.Align4();
      w.DWord(c.helpId);
      w.DWord(c.exStyle);
      w.DWord(c.style);
      w.Short(c.x);
      w.Short(c.y);
      w.Short(c.cx);
      w.Short(c.cy);
      w.DWord(c.id);
      WriteClass(w, c.ctrlClass);
      w.String(c.text ? Resolve(lang, c.text) : std::u16string());
      if (c.dataSize && c.data) {
        // The count word holds at most 0xFFFF bytes: larger data would be
        // cut, and the control would get other data than it was given.
        if (c.dataSize > 0xFFFF) return nullptr;
        w.Word(static_cast<WORD>(c.dataSize));
        w.Bytes(c.data, c.dataSize);
      } else {
        w.Word(0);
      }
    }
    // A length the 16-bit size cannot report is refused, not cut.
    if (size && w.Length() > 0xFFFF) return nullptr;
    size_t length = 0;
    const DLGTEMPLATE* result = w.Finish(&length);
    if (result && size) *size = static_cast<WORD>(length);
    return result;
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

BOOL WuFreeDialogTemplate(const void* block) {
  HGLOBAL handle = block ? GlobalHandle(block) : nullptr;
  if (!handle) return FALSE;
  GlobalUnlock(handle);
  return GlobalFree(handle) == nullptr;
}

// ---- Mapping a template back -------------------------------------------------------------

namespace {

// Reads little-endian fields from the template; every read stays inside it.
class Reader {
 public:
  Reader(const BYTE* bytes, size_t size) : bytes_(bytes), size_(size) {}
  bool Word(WORD* v) { return Get(v, 2); }
  bool DWord(DWORD* v) { return Get(v, 4); }
  bool Short(SHORT* v) { return Get(v, 2); }
  bool Byte(BYTE* v) { return Get(v, 1); }
  bool Align4() {
    size_t next = (pos_ + 3) & ~static_cast<size_t>(3);
    if (next > size_) return false;
    pos_ = next;
    return true;
  }
  // A string that terminates inside the template.
  bool String(std::u16string* s) {
    s->clear();
    for (WORD c; Word(&c);) {
      if (!c) return true;
      s->push_back(static_cast<WCHAR>(c));
    }
    return false;
  }
  bool Bytes(size_t n, std::vector<BYTE>* out) {
    if (n > size_ - pos_) return false;
    out->assign(bytes_ + pos_, bytes_ + pos_ + n);
    pos_ += n;
    return true;
  }

 private:
  bool Get(void* v, size_t n) {
    if (n > size_ - pos_) return false;
    std::memcpy(v, bytes_ + pos_, n);
    pos_ += n;
    return true;
  }
  const BYTE* bytes_;  // the template
  size_t size_;        // its size in bytes
  size_t pos_ = 0;     // read position
};

// A menu, class or text field as read: none, an ordinal or a string.
struct Field {
  int kind = 0;           // 0 none, 1 ordinal, 2 string
  WORD ordinal = 0;       // kind 1
  std::u16string text;    // kind 2
};

// Reads a menu, class or text field: a 0 word is none (an empty text), 0xFFFF
// an ordinal, anything else the first character of a terminated string.
bool ReadField(Reader& r, Field* f) {
  WORD first;
  if (!r.Word(&first)) return false;
  if (first == 0) {
    f->kind = 0;
    return true;
  }
  if (first == kOrdinal) {
    f->kind = 1;
    return r.Word(&f->ordinal);
  }
  f->kind = 2;
  f->text.assign(1, static_cast<WCHAR>(first));
  std::u16string rest;
  if (!r.String(&rest)) return false;
  f->text += rest;
  return true;
}

struct MappedControl {
  _wudlgctrlcreateex rec{};      // fixed fields
  Field cls;                     // class
  Field text;                    // text
  std::vector<BYTE> data;        // creation data
};

struct Mapped {
  _wudlghdrcreateex hdr{};       // fixed fields
  Field menu, cls;               // menu and class
  std::u16string caption;        // caption
  std::u16string face;           // face (empty: none)
  std::vector<MappedControl> controls;
};

bool ParseTemplate(const BYTE* bytes, size_t size, Mapped* m) {
  Reader r(bytes, size);
  WORD first, second;
  if (!r.Word(&first) || !r.Word(&second)) return false;
  bool ex = second == kOrdinal;
  Reader h(bytes, size);
  _wudlghdrcreateex& hdr = m->hdr;
  if (ex) {
    if (!h.Word(&first) || !h.Word(&second) || !h.DWord(&hdr.helpId) ||
        !h.DWord(&hdr.exStyle) || !h.DWord(&hdr.style))
      return false;
  } else if (!h.DWord(&hdr.style) || !h.DWord(&hdr.exStyle)) {
    return false;
  }
  if (!h.Word(&hdr.count) || !h.Short(&hdr.x) || !h.Short(&hdr.y) || !h.Short(&hdr.cx) ||
      !h.Short(&hdr.cy))
    return false;
  if (!ReadField(h, &m->menu) || !ReadField(h, &m->cls)) return false;
  if (!h.String(&m->caption)) return false;
  if (hdr.style & kSetFont) {
    if (!h.Word(&hdr.pointSize)) return false;
    if (ex) {
      if (!h.Word(&hdr.weight) || !h.Byte(&hdr.italic) || !h.Byte(&hdr.charSet)) return false;
    } else {
      hdr.weight = kDefaultWeight;
      hdr.italic = 0;
      hdr.charSet = kDefaultCharSet;
    }
    if (!h.String(&m->face)) return false;
    // The old default face at 8 points becomes the current default.
    if (m->face == u"MS Sans Serif" && hdr.pointSize == 8) m->face.clear();
  }
  // Each item needs at least its fixed part, so a count beyond what the
  // template can hold is refused before anything is reserved.
  size_t fixed = ex ? 24 : 18;
  if (hdr.count > size / fixed) return false;
  m->controls.resize(hdr.count);
  for (MappedControl& c : m->controls) {
    _wudlgctrlcreateex& rec = c.rec;
    if (!h.Align4()) return false;
    if (ex) {
      DWORD id;
      if (!h.DWord(&rec.helpId) || !h.DWord(&rec.exStyle) || !h.DWord(&rec.style) ||
          !h.Short(&rec.x) || !h.Short(&rec.y) || !h.Short(&rec.cx) || !h.Short(&rec.cy) ||
          !h.DWord(&id))
        return false;
      rec.id = static_cast<WORD>(id);
    } else if (!h.DWord(&rec.style) || !h.DWord(&rec.exStyle) || !h.Short(&rec.x) ||
               !h.Short(&rec.y) || !h.Short(&rec.cx) || !h.Short(&rec.cy) || !h.Word(&rec.id)) {
      return false;
    }
    if (!ReadField(h, &c.cls) || !ReadField(h, &c.text)) return false;
    WORD extra;
    if (!h.Word(&extra)) return false;
    if (extra) {
      // A plain template counts the count word itself.
      if (!ex && extra < 2) return false;
      size_t n = ex ? extra : extra - 2u;
      if (!h.Bytes(n, &c.data)) return false;
    }
  }
  return true;
}

// Bytes of the string area for one field (2-byte aligned).
size_t FieldBytes(const Field& f) { return f.kind == 2 ? (f.text.size() + 1) * sizeof(WCHAR) : 0; }

// Places strings and data one after another in the string area.
class Packer {
 public:
  explicit Packer(BYTE* at) : at_(at) {}
  LPCWSTR Text(const std::u16string& s) {
    LPCWSTR p = reinterpret_cast<LPCWSTR>(at_);
    std::memcpy(at_, s.c_str(), (s.size() + 1) * sizeof(WCHAR));
    at_ += (s.size() + 1) * sizeof(WCHAR);
    return p;
  }
  LPCWSTR Ref(const Field& f) {
    if (f.kind == 1) return MAKEINTRESOURCEW(f.ordinal);
    if (f.kind == 2) return Text(f.text);
    return nullptr;
  }
  // Data keeps the next string on a 2-byte boundary.
  const void* Data(const std::vector<BYTE>& d) {
    const void* p = at_;
    std::memcpy(at_, d.data(), d.size());
    at_ += (d.size() + 1) & ~static_cast<size_t>(1);
    return p;
  }

 private:
  BYTE* at_;  // next free byte
};

}  // namespace

int WuMapDialogTemplate(const DLGTEMPLATE* dialog_template, int size, _wudlghdrcreateex** out) {
  if (!dialog_template || size <= 0 || !out) return 0;
  try {
    Mapped m;
    if (!ParseTemplate(reinterpret_cast<const BYTE*>(dialog_template), static_cast<size_t>(size),
                       &m))
      return 0;
    size_t records = sizeof(_wudlghdrcreateex) + m.controls.size() * sizeof(_wudlgctrlcreateex);
    size_t strings = FieldBytes(m.menu) + FieldBytes(m.cls);
    if (!m.caption.empty()) strings += (m.caption.size() + 1) * sizeof(WCHAR);
    if (!m.face.empty()) strings += (m.face.size() + 1) * sizeof(WCHAR);
    for (const MappedControl& c : m.controls)
      strings += FieldBytes(c.cls) + FieldBytes(c.text) + ((c.data.size() + 1) & ~size_t{1});
    HGLOBAL block = GlobalAlloc(GHND, records + strings);
    BYTE* base = block ? static_cast<BYTE*>(GlobalLock(block)) : nullptr;
    if (!base) {
      if (block) GlobalFree(block);
      return 0;
    }
    auto* hdr = reinterpret_cast<_wudlghdrcreateex*>(base);
    auto* ctrls = reinterpret_cast<_wudlgctrlcreateex*>(base + sizeof(_wudlghdrcreateex));
    Packer pack(base + records);
    *hdr = m.hdr;
    hdr->menu = pack.Ref(m.menu);
    hdr->windowClass = pack.Ref(m.cls);
    hdr->caption = m.caption.empty() ? nullptr : pack.Text(m.caption);
    hdr->face = m.face.empty() ? nullptr : pack.Text(m.face);
    for (size_t i = 0; i < m.controls.size(); ++i) {
      const MappedControl& c = m.controls[i];
      ctrls[i] = c.rec;
      ctrls[i].ctrlClass = pack.Ref(c.cls);
      ctrls[i].text = pack.Ref(c.text);
      if (!c.data.empty()) {
        ctrls[i].dataSize = static_cast<DWORD>(c.data.size());
        ctrls[i].data = pack.Data(c.data);
      }
    }
    *out = hdr;
    return static_cast<int>(records);
  } catch (const std::bad_alloc&) {
    return 0;
  }
}

// ---- Resources -------------------------------------------------------------------------------

int WuDialogTemplateFromRCID(HWULANG lang, LPCWSTR name, const DLGTEMPLATE** out) {
  if (out) *out = nullptr;
  if (!lang || !out) return 0;
  HRSRC found = WuFindResource(lang, name, RT_DIALOG);
  HGLOBAL data = found ? WuLoadResource(lang, found) : nullptr;
  const void* bytes = data ? LockResource(data) : nullptr;
  DWORD size = bytes ? WuSizeofResource(lang, found) : 0;
  if (!bytes || !size || size > 0x7FFFFFFF) return 0;
  *out = static_cast<const DLGTEMPLATE*>(bytes);
  return static_cast<int>(size);
}

int WuMapDialogTemplateFromRCID(HWULANG lang, LPCWSTR name, _wudlghdrcreateex** out) {
  const DLGTEMPLATE* found = nullptr;
  int size = WuDialogTemplateFromRCID(lang, name, &found);
  return size ? WuMapDialogTemplate(found, size, out) : 0;
}

// ---- Dialog size -------------------------------------------------------------------------------

namespace {

// The base units of the UI dialog font, used when the dialog's own font
// does not apply.
SIZE FallbackUnits() {
  const SIZE* units = WuGetUIFontSize(kDialogFontKind);
  return units ? *units : SIZE{0, 0};
}

void ScaleSize(SHORT cx, SHORT cy, SIZE units, SIZE* size) {
  if (units.cx == 0 || units.cy == 0) units = FallbackUnits();
  size->cx = MulDiv(cx, units.cx, 4);
  size->cy = MulDiv(cy, units.cy, 8);
}

}  // namespace

BOOL WuGetDialogSize(HWULANG lang, const _wudlghdrcreate* header, SIZE* size) {
  if (!header || !size) return FALSE;
  SIZE units{};
  if ((header->style & kSetFont) && header->face)
    WuGetDialogUnitsForFont(Resolve(lang, header->face).c_str(), header->pointSize, kDefaultWeight,
                            kDefaultCharSet, FALSE, &units);
  ScaleSize(header->cx, header->cy, units, size);
  return TRUE;
}

BOOL WuGetDialogSizeEx(HWULANG lang, const _wudlghdrcreateex* header, SIZE* size) {
  if (!header || !size) return FALSE;
  SIZE units{};
  if ((header->style & kSetFont) && header->face)
    WuGetDialogUnitsForFont(Resolve(lang, header->face).c_str(), header->pointSize, header->weight,
                            header->charSet, header->italic != 0, &units);
  ScaleSize(header->cx, header->cy, units, size);
  return TRUE;
}
