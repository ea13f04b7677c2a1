// The shell integration's resource pool: the file-properties page
// ("General", 100), the launch dialogs ("Run Application", 102, and
// "Source Project Not Found", 103) and the plug-in problem dialog (104) in the pool's five
// languages, assembled from the rows of foundation/strings/shellui.rows into
// one compiled resource image (see foundation/WuResPool.h for the entry
// layout) and installed in WuShellUIResPool.
#include "shellui/WuShellUIPool.h"

#include <cstring>
#include <mutex>
#include <new>
#include <vector>

#include "foundation/WuLangRows.h"
#include "foundation/WuLangTable.h"
#include "foundation/WuResPool.h"
#include "foundation/WuResPoolImage.h"
#include "foundation/WuStaticCtl.h"
#include "platform/user/controls.h"
#include "platform/user/dialogs.h"
#include "platform/user/windows.h"

namespace {

using wupool::Align4;
using wupool::Column;
using wupool::Put16;
using wupool::Put32;
using wupool::PutEntry;
using wupool::PutDialogHead;
using wupool::PutItemHead;
using wupool::PutText;

constexpr WORD kButton = 0x0080;
constexpr WORD kEdit = 0x0081;
constexpr WORD kStatic = 0x0082;

// One control of a dialog.
struct Control {
  WORD atom;                    // class atom
  const WuLangStringRow* text;  // the text's row, or NULL for an empty text
  WORD id;                      // control id
  SHORT x, y, cx, cy;           // dialog units
  DWORD style;                  // besides WS_CHILD | WS_VISIBLE
};

// One dialog: its id, caption, size and controls.
struct Dialog {
  WORD id;
  const WuLangStringRow* caption;
  SHORT cx, cy;
  std::vector<Control> controls;  // in tab order
};

constexpr DWORD kText = SS_LEFT | SS_NOPREFIX;

Control Label(const WuLangStringRow* row, WORD id, SHORT x, SHORT y, SHORT cx, SHORT cy = 10) {
  return {kStatic, row, id, x, y, cx, cy, kText};
}
Control Field(WORD id, SHORT x, SHORT y, SHORT cx, SHORT cy = 10) {
  return {kStatic, nullptr, id, x, y, cx, cy, kText};
}
Control Button(const WuLangStringRow* row, WORD id, SHORT x, SHORT y, bool isDefault) {
  return {kButton, row, id, x, y, 50, 14,
          static_cast<DWORD>((isDefault ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON) | WS_TABSTOP)};
}

// 102 Run Application: a label column and a value column.
Dialog RunDialog() {
  constexpr SHORT kLabelX = 7, kLabelW = 96, kValueX = 106, kValueW = 187;
  Dialog d{WUSHELLUI_DLG_RUNAPP, &WuLangRow_ShellUIRunCaption, 300, 206, {}};
  struct Row {
    const WuLangStringRow* label;
    WORD labelId, valueId;
    SHORT y, cy;
  };
  const Row rows[] = {
      {&WuLangRow_ShellUIRunName, 0xFFFF, 1011, 7, 10},
      {&WuLangRow_ShellUIRunVersion, 0xFFFF, 1012, 19, 10},
      {&WuLangRow_ShellUIRunCompany, 0xFFFF, 1016, 31, 10},
      {&WuLangRow_ShellUIRunPath, 0xFFFF, 1010, 43, 10},
      {&WuLangRow_ShellUIRunCommandLine, 0xFFFF, 1013, 55, 20},
      {&WuLangRow_ShellUIRunProjectData, 0xFFFF, 1017, 79, 10},
      {&WuLangRow_ShellUIRunCreatedBy, 1022, 1023, 91, 10},
      {&WuLangRow_ShellUIRunWindowClass, 1024, 1025, 103, 10},
      {&WuLangRow_ShellUIRunProjectPath, 1018, 1019, 115, 20},
      {&WuLangRow_ShellUIRunKnownApp, 0xFFFF, 1014, 139, 10},
      {&WuLangRow_ShellUIRunSecurity, 1021, 1015, 151, 10},
  };
  for (const Row& r : rows) {
    d.controls.push_back(Label(r.label, r.labelId, kLabelX, r.y, kLabelW, r.cy));
    d.controls.push_back(Field(r.valueId, kValueX, r.y, kValueW, r.cy));
  }
  d.controls.push_back({kButton, &WuLangRow_ShellUIRunDontShow, 1020, 7, 167, 286, 10,
                        BS_AUTOCHECKBOX | WS_TABSTOP});
  d.controls.push_back(Button(&WuLangRow_ShellUIRunButton, IDOK, 186, 185, true));
  d.controls.push_back(Button(&WuLangRow_ShellUICancelButton, IDCANCEL, 243, 185, false));
  return d;
}

// 103 Source Project Not Found.
Dialog NotFoundDialog() {
  Dialog d{WUSHELLUI_DLG_NOTFOUND, &WuLangRow_ShellUINotFoundCaption, 260, 110, {}};
  d.controls.push_back(Label(&WuLangRow_ShellUINotFoundText, 0xFFFF, 7, 7, 246, 30));
  d.controls.push_back(Field(1006, 7, 42, 246, 10));
  d.controls.push_back(Label(&WuLangRow_ShellUINotFoundBrowseText, 0xFFFF, 7, 60, 246, 10));
  d.controls.push_back(Button(&WuLangRow_ShellUINotFoundBrowse, 1026, 146, 89, true));
  d.controls.push_back(Button(&WuLangRow_ShellUICancelButton, IDCANCEL, 203, 89, false));
  return d;
}

// Class atom standing for the library's link control, written by name.
constexpr WORD kLinkControl = 0;

// 104 a plug-in's problem: its message, the information line, the link and
// the (always hidden) check box.
Dialog PluginProblemDialog() {
  Dialog d{WUSHELLUI_DLG_PLUGINPROBLEM, &WuLangRow_ShellUIPluginCaption, 300, 122, {}};
  d.controls.push_back(Label(&WuLangRow_ShellUIPluginMessage, 1002, 7, 7, 286, 40));
  d.controls.push_back(Label(&WuLangRow_ShellUIPluginInfoLine, 1007, 7, 52, 286, 20));
  d.controls.push_back({kLinkControl, nullptr, 1001, 7, 76, 286, 10, SS_LEFT | WS_TABSTOP});
  d.controls.push_back({kButton, &WuLangRow_ShellUIPluginDontShow, 1000, 7, 104, 180, 10,
                        BS_AUTOCHECKBOX | WS_TABSTOP});
  d.controls.push_back(Button(&WuLangRow_ShellUIOkButton, IDOK, 243, 101, true));
  return d;
}

// 100 the file-properties page "General": a label over the read-only text.
Dialog FilePropertiesPage() {
  Dialog d{WUSHELLUI_DLG_FILEPROPS, &WuLangRow_ShellUIPropsPageCaption, 350, 200, {}};
  d.controls.push_back({kStatic, &WuLangRow_ShellUIPropsPageLabel, 0xFFFF, 6, 6, 78, 8, SS_LEFT});
  d.controls.push_back({kEdit, nullptr, WUSHELLUI_FILEPROPS_TEXT, 6, 16, 338, 179,
                        WS_BORDER | WS_HSCROLL | WS_VSCROLL | ES_MULTILINE | ES_READONLY | ES_AUTOHSCROLL |
                            ES_AUTOVSCROLL});
  return d;
}

// Styles of a modal dialog and of a property page.
constexpr DWORD kModalStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT | DS_3DLOOK;
constexpr DWORD kPageStyle = WS_CHILD | WS_CAPTION | DS_SETFONT | DS_3DLOOK;

// An extended dialog template in one column's language.
std::vector<BYTE> DialogTemplate(const Dialog& d, int column, DWORD style = kModalStyle) {
  std::vector<BYTE> out;
  PutDialogHead(&out, style, static_cast<WORD>(d.controls.size()),
                static_cast<WORD>(d.cx), static_cast<WORD>(d.cy), Column(d.caption, column));
  for (const Control& c : d.controls) {
    PutItemHead(&out, c.style, c.x, c.y, c.cx, c.cy, c.id);
    if (c.atom == kLinkControl) {
      PutText(&out, WUSTATIC_CLASS);  // a class named, not an atom
    } else {
      Put16(&out, 0xFFFF);
      Put16(&out, c.atom);
    }
    PutText(&out, c.text ? Column(c.text, column) : u"");
    Put16(&out, 0);  // no creation data
  }
  return out;
}


// The pool's languages: the language id each entry carries and the column
// of the string table its texts come from.
struct Language {
  WORD id;
  LCID column;
};
constexpr Language kLanguages[] = {
    {0x409, 0x409}, {0x407, 0x407}, {0x0A, 0x40A}, {0x40C, 0x40C}, {0x411, 0x411}};

// The image (the empty entry first), or empty when memory runs out.
std::vector<BYTE>* BuildImage() {
  auto* image = new (std::nothrow) std::vector<BYTE>;
  if (!image) return nullptr;
  try {
    const Dialog dialogs[] = {RunDialog(), NotFoundDialog()};
    PutEntry(image, 0, 0, 0, {});
    for (const Language& language : kLanguages) {
      int column = WuLangTable_FindColumn(language.column);
      if (column < 1) column = 1;
      PutEntry(image, 5, WUSHELLUI_DLG_FILEPROPS, language.id,
               DialogTemplate(FilePropertiesPage(), column, kPageStyle));
      for (const Dialog& d : dialogs) PutEntry(image, 5, d.id, language.id, DialogTemplate(d, column));
      PutEntry(image, 5, WUSHELLUI_DLG_PLUGINPROBLEM, language.id, DialogTemplate(PluginProblemDialog(), column));
    }
  } catch (const std::bad_alloc&) {
    image->clear();
  }
  return image;
}

}  // namespace

BOOL WuShellUI_InstallResPool() {
  static std::once_flag once;
  static std::vector<BYTE>* image = nullptr;  // lives for the process
  std::call_once(once, [] {
    image = BuildImage();
    if (!image || image->empty()) return;
    WuShellUIResPool.data = image->data();
    WuShellUIResPool.size = static_cast<DWORD>(image->size());
  });
  return image && !image->empty();
}
