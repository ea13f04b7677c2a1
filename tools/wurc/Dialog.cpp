#include "Dialog.h"

#include <cstring>

namespace wurc {

namespace {

struct StyleConstant {
  const char* name;  // as written in scripts
  uint32_t value;    // its bits
};

const StyleConstant kStyleConstants[] = {
    // Windows.
    {"WS_OVERLAPPED", 0x00000000}, {"WS_POPUP", 0x80000000}, {"WS_CHILD", 0x40000000},
    {"WS_MINIMIZE", 0x20000000}, {"WS_VISIBLE", 0x10000000}, {"WS_DISABLED", 0x08000000},
    {"WS_CLIPSIBLINGS", 0x04000000}, {"WS_CLIPCHILDREN", 0x02000000},
    {"WS_MAXIMIZE", 0x01000000}, {"WS_CAPTION", 0x00C00000}, {"WS_BORDER", 0x00800000},
    {"WS_DLGFRAME", 0x00400000}, {"WS_VSCROLL", 0x00200000}, {"WS_HSCROLL", 0x00100000},
    {"WS_SYSMENU", 0x00080000}, {"WS_THICKFRAME", 0x00040000}, {"WS_GROUP", 0x00020000},
    {"WS_TABSTOP", 0x00010000}, {"WS_MINIMIZEBOX", 0x00020000},
    {"WS_MAXIMIZEBOX", 0x00010000},
    // Extended window styles.
    {"WS_EX_DLGMODALFRAME", 0x00000001}, {"WS_EX_NOPARENTNOTIFY", 0x00000004},
    {"WS_EX_TOPMOST", 0x00000008}, {"WS_EX_ACCEPTFILES", 0x00000010},
    {"WS_EX_TRANSPARENT", 0x00000020}, {"WS_EX_TOOLWINDOW", 0x00000080},
    {"WS_EX_WINDOWEDGE", 0x00000100}, {"WS_EX_CLIENTEDGE", 0x00000200},
    {"WS_EX_CONTEXTHELP", 0x00000400}, {"WS_EX_RIGHT", 0x00001000},
    {"WS_EX_STATICEDGE", 0x00020000}, {"WS_EX_APPWINDOW", 0x00040000},
    {"WS_EX_CONTROLPARENT", 0x00010000},
    // Dialogs.
    {"DS_ABSALIGN", 0x01}, {"DS_SYSMODAL", 0x02}, {"DS_LOCALEDIT", 0x20},
    {"DS_SETFONT", 0x40}, {"DS_MODALFRAME", 0x80}, {"DS_NOIDLEMSG", 0x100},
    {"DS_SETFOREGROUND", 0x200}, {"DS_3DLOOK", 0x04}, {"DS_FIXEDSYS", 0x08},
    {"DS_NOFAILCREATE", 0x10}, {"DS_CONTROL", 0x400}, {"DS_CENTER", 0x800},
    {"DS_CENTERMOUSE", 0x1000}, {"DS_CONTEXTHELP", 0x2000}, {"DS_SHELLFONT", 0x48},
    // Statics.
    {"SS_LEFT", 0x00}, {"SS_CENTER", 0x01}, {"SS_RIGHT", 0x02}, {"SS_ICON", 0x03},
    {"SS_BLACKRECT", 0x04}, {"SS_GRAYRECT", 0x05}, {"SS_WHITERECT", 0x06},
    {"SS_BLACKFRAME", 0x07}, {"SS_GRAYFRAME", 0x08}, {"SS_WHITEFRAME", 0x09},
    {"SS_SIMPLE", 0x0B}, {"SS_LEFTNOWORDWRAP", 0x0C}, {"SS_OWNERDRAW", 0x0D},
    {"SS_BITMAP", 0x0E}, {"SS_ETCHEDHORZ", 0x10}, {"SS_ETCHEDVERT", 0x11},
    {"SS_ETCHEDFRAME", 0x12}, {"SS_NOPREFIX", 0x80}, {"SS_NOTIFY", 0x100},
    {"SS_CENTERIMAGE", 0x200}, {"SS_SUNKEN", 0x1000}, {"SS_ENDELLIPSIS", 0x4000},
    {"SS_PATHELLIPSIS", 0x8000},
    // Buttons.
    {"BS_PUSHBUTTON", 0x00}, {"BS_DEFPUSHBUTTON", 0x01}, {"BS_CHECKBOX", 0x02},
    {"BS_AUTOCHECKBOX", 0x03}, {"BS_RADIOBUTTON", 0x04}, {"BS_3STATE", 0x05},
    {"BS_AUTO3STATE", 0x06}, {"BS_GROUPBOX", 0x07}, {"BS_AUTORADIOBUTTON", 0x09},
    {"BS_OWNERDRAW", 0x0B}, {"BS_LEFTTEXT", 0x20}, {"BS_ICON", 0x40}, {"BS_BITMAP", 0x80},
    {"BS_LEFT", 0x100}, {"BS_RIGHT", 0x200}, {"BS_CENTER", 0x300}, {"BS_TOP", 0x400},
    {"BS_BOTTOM", 0x800}, {"BS_VCENTER", 0xC00}, {"BS_PUSHLIKE", 0x1000},
    {"BS_MULTILINE", 0x2000}, {"BS_NOTIFY", 0x4000}, {"BS_FLAT", 0x8000},
    // Edits.
    {"ES_LEFT", 0x00}, {"ES_CENTER", 0x01}, {"ES_RIGHT", 0x02}, {"ES_MULTILINE", 0x04},
    {"ES_UPPERCASE", 0x08}, {"ES_LOWERCASE", 0x10}, {"ES_PASSWORD", 0x20},
    {"ES_AUTOVSCROLL", 0x40}, {"ES_AUTOHSCROLL", 0x80}, {"ES_NOHIDESEL", 0x100},
    {"ES_READONLY", 0x800}, {"ES_WANTRETURN", 0x1000}, {"ES_NUMBER", 0x2000},
    // List and combo boxes.
    {"LBS_NOTIFY", 0x01}, {"LBS_SORT", 0x02}, {"LBS_NOREDRAW", 0x04},
    {"LBS_MULTIPLESEL", 0x08}, {"LBS_OWNERDRAWFIXED", 0x10}, {"LBS_HASSTRINGS", 0x40},
    {"LBS_USETABSTOPS", 0x80}, {"LBS_NOINTEGRALHEIGHT", 0x100},
    {"LBS_EXTENDEDSEL", 0x800}, {"LBS_STANDARD", 0x00A00003},
    {"CBS_SIMPLE", 0x01}, {"CBS_DROPDOWN", 0x02}, {"CBS_DROPDOWNLIST", 0x03},
    {"CBS_OWNERDRAWFIXED", 0x10}, {"CBS_AUTOHSCROLL", 0x40}, {"CBS_SORT", 0x100},
    {"CBS_HASSTRINGS", 0x200}, {"CBS_NOINTEGRALHEIGHT", 0x400},
    // Progress bars and scroll bars.
    {"PBS_SMOOTH", 0x01}, {"PBS_VERTICAL", 0x04}, {"PBS_MARQUEE", 0x08},
    {"SBS_HORZ", 0x00}, {"SBS_VERT", 0x01},
};

const struct {
  const char16_t* name;  // class keyword, upper case
  uint16_t ordinal;      // its predefined ordinal
} kClasses[] = {{u"BUTTON", 0x80},   {u"EDIT", 0x81},      {u"STATIC", 0x82},
                {u"LISTBOX", 0x83},  {u"SCROLLBAR", 0x84}, {u"COMBOBOX", 0x85}};

class Writer {
 public:
  void U8(uint8_t v) { out_.push_back(v); }
  void U16(uint16_t v) {
    U8(static_cast<uint8_t>(v & 0xFF));
    U8(static_cast<uint8_t>(v >> 8));
  }
  void U32(uint32_t v) {
    U16(static_cast<uint16_t>(v & 0xFFFF));
    U16(static_cast<uint16_t>(v >> 16));
  }
  void I16(int16_t v) { U16(static_cast<uint16_t>(v)); }
  void Text(const std::u16string& s) {
    for (char16_t c : s) U16(static_cast<uint16_t>(c));
    U16(0);
  }
  void Ref(const DialogRef& r) {
    switch (r.kind) {
      case DialogRef::Kind::kNone: U16(0); break;
      case DialogRef::Kind::kOrdinal: U16(0xFFFF); U16(r.ordinal); break;
      case DialogRef::Kind::kText: Text(r.text); break;
    }
  }
  void AlignTo4() {
    while (out_.size() % 4) U8(0);
  }
  std::vector<uint8_t> Take() { return std::move(out_); }

 private:
  std::vector<uint8_t> out_;
};

}  // namespace

bool LookupStyleConstant(const std::string& name, uint32_t* value) {
  for (const StyleConstant& c : kStyleConstants) {
    if (name == c.name) {
      *value = c.value;
      return true;
    }
  }
  return false;
}

uint16_t PredefinedClassOrdinal(const std::u16string& name) {
  std::u16string upper = name;
  for (char16_t& c : upper)
    if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
  for (const auto& c : kClasses)
    if (upper == c.name) return c.ordinal;
  return 0;
}

std::vector<uint8_t> SerializeDialog(const DialogSpec& d) {
  Writer w;
  uint32_t style = d.style | (d.has_font ? 0x40u : 0u);
  uint16_t count = static_cast<uint16_t>(d.items.size());
  if (d.extended) {
    w.U16(1);
    w.U16(0xFFFF);
    w.U32(d.help_id);
    w.U32(d.ex_style);
    w.U32(style);
  } else {
    w.U32(style);
    w.U32(d.ex_style);
  }
  w.U16(count);
  w.I16(d.x);
  w.I16(d.y);
  w.I16(d.cx);
  w.I16(d.cy);
  w.Ref(d.menu);
  w.Ref(d.cls);
  w.Text(d.caption);
  if (d.has_font) {
    w.U16(d.point_size);
    if (d.extended) {
      w.U16(d.weight);
      w.U8(d.italic);
      w.U8(d.charset);
    }
    w.Text(d.face);
  }
  for (const DialogItem& item : d.items) {
    w.AlignTo4();
    if (d.extended) {
      w.U32(item.help_id);
      w.U32(item.ex_style);
      w.U32(item.style);
    } else {
      w.U32(item.style);
      w.U32(item.ex_style);
    }
    w.I16(item.x);
    w.I16(item.y);
    w.I16(item.cx);
    w.I16(item.cy);
    if (d.extended)
      w.U32(item.id);
    else
      w.U16(static_cast<uint16_t>(item.id));
    w.Ref(item.cls);
    w.Ref(item.text);
    w.U16(0);  // no creation data
  }
  return w.Take();
}

}  // namespace wurc
