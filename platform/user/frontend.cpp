// The front ends that answer modal dialogs and message boxes: the scripted
// driver for tests, the terminal front end for people and the
// non-interactive front end for runs without a terminal.
#include "platform/user/frontend.h"

#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/kernel/files.h"
#include "platform/kernel/locale.h"
#include "platform/user/control_messages.h"

namespace platform {

// ---- Choosing the front end ------------------------------------------------------------

namespace {

std::atomic<FrontEnd*> g_installed{nullptr};  // SetFrontEnd
std::atomic<FrontEnd*> g_automatic{nullptr};  // the automatic choice, once made

FrontEnd* AutomaticFrontEnd() {
  static FrontEnd* automatic = []() -> FrontEnd* {
    FrontEnd* made;
    if (isatty(0) && isatty(1)) {
      made = new TerminalFrontEnd(0, 1);  // lives to process exit
    } else {
      made = new NonInteractiveFrontEnd;
    }
    g_automatic.store(made);
    return made;
  }();
  return automatic;
}

// Uninstalls a front end that goes away while installed.
void Forget(FrontEnd* front_end) {
  FrontEnd* expected = front_end;
  g_installed.compare_exchange_strong(expected, nullptr);
}

}  // namespace

void SetFrontEnd(FrontEnd* front_end) { g_installed.store(front_end); }

FrontEnd* CurrentFrontEnd() {
  FrontEnd* installed = g_installed.load();
  return installed ? installed : AutomaticFrontEnd();
}

void NotifyControlChanged(HWND control) {
  // The installed front end, or the automatic one once a modal dialog made
  // it; a change alone never makes one.
  FrontEnd* front_end = g_installed.load();
  if (!front_end) front_end = g_automatic.load();
  if (front_end) front_end->ControlChanged(control);
}

// ---- What front ends share ----------------------------------------------------------------

std::u16string WindowText(HWND window) {
  int n = GetWindowTextLengthW(window);
  if (n <= 0) return std::u16string();
  std::u16string text(static_cast<size_t>(n) + 1, u'\0');
  int got = GetWindowTextW(window, text.data(), n + 1);
  text.resize(static_cast<size_t>(std::max(got, 0)));
  return text;
}

std::u16string StripMnemonics(const std::u16string& text) {
  std::u16string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == u'&') {
      if (i + 1 < text.size() && text[i + 1] == u'&') {
        out.push_back(u'&');
        ++i;
      }
      continue;
    }
    out.push_back(text[i]);
  }
  return out;
}

namespace {

std::u16string ClassOf(HWND hwnd) {
  WCHAR name[64];
  int n = GetClassNameW(hwnd, name, 64);
  return std::u16string(name, static_cast<size_t>(std::max(n, 0)));
}

bool SameText(const std::u16string& a, const std::u16string& b) {
  return a.size() == b.size() && CompareText(a.data(), a.size(), b.data(), b.size(), true) == 0;
}

ControlKind KindOf(HWND hwnd) {
  std::u16string cls = ClassOf(hwnd);
  DWORD style = static_cast<DWORD>(GetWindowLongW(hwnd, GWL_STYLE));
  if (SameText(cls, u"Static")) {
    DWORD type = style & SS_TYPEMASK;
    return type <= SS_RIGHT || type == SS_SIMPLE || type == SS_LEFTNOWORDWRAP ? ControlKind::kText
                                                                              : ControlKind::kOther;
  }
  if (SameText(cls, u"Button")) {
    switch (style & BS_TYPEMASK) {
      case BS_GROUPBOX: return ControlKind::kGroupBox;
      case BS_CHECKBOX: case BS_AUTOCHECKBOX: case BS_3STATE: case BS_AUTO3STATE: return ControlKind::kCheckBox;
      case BS_RADIOBUTTON: case BS_AUTORADIOBUTTON: return ControlKind::kRadioButton;
      default: return ControlKind::kPushButton;
    }
  }
  if (SameText(cls, u"Edit")) return ControlKind::kEdit;
  if (SameText(cls, u"ListBox")) return ControlKind::kList;
  if (SameText(cls, u"ComboBox")) return ControlKind::kCombo;
  if (SameText(cls, PROGRESS_CLASSW)) return ControlKind::kProgress;
  if (SameText(cls, WC_TABCONTROLW)) return ControlKind::kTabs;
  return ControlKind::kOther;
}

// Visible descendants in tab order; child dialogs that are control
// parents (property pages) are entered, not listed.
void CollectVisible(HWND parent, std::vector<HWND>* out) {
  for (HWND h = GetWindow(parent, GW_CHILD); h; h = GetWindow(h, GW_HWNDNEXT)) {
    if (!IsWindowVisible(h)) continue;
    if (GetWindowLongW(h, GWL_EXSTYLE) & WS_EX_CONTROLPARENT) {
      CollectVisible(h, out);
    } else {
      out->push_back(h);
    }
  }
}

// A control of a dialog (or of its pages) by id: a visible one first.
HWND FindControl(HWND dialog, int id) {
  std::vector<HWND> visible;
  CollectVisible(dialog, &visible);
  for (HWND h : visible)
    if (GetDlgCtrlID(h) == id) return h;
  return GetDlgItem(dialog, id);
}

HWND FindButtonByText(HWND dialog, const std::u16string& text) {
  std::vector<HWND> visible;
  CollectVisible(dialog, &visible);
  std::u16string wanted = StripMnemonics(text);
  for (HWND h : visible) {
    ControlKind kind = KindOf(h);
    if (kind != ControlKind::kPushButton && kind != ControlKind::kCheckBox && kind != ControlKind::kRadioButton)
      continue;
    if (SameText(StripMnemonics(WindowText(h)), wanted)) return h;
  }
  return nullptr;
}

bool IsToolbar(HWND hwnd) { return SameText(ClassOf(hwnd), TOOLBARCLASSNAMEW); }

// The visible toolbar of a dialog (or of its pages) holding a button with
// this command, or NULL.
HWND FindToolbarOf(HWND dialog, int command) {
  std::vector<HWND> visible;
  CollectVisible(dialog, &visible);
  for (HWND h : visible)
    if (IsToolbar(h) && SendMessageW(h, TB_COMMANDTOINDEX, static_cast<WPARAM>(command), 0) >= 0) return h;
  return nullptr;
}

// A visible control of a dialog (or of its pages) by id, or NULL.
HWND FindVisibleControl(HWND dialog, int id) {
  std::vector<HWND> visible;
  CollectVisible(dialog, &visible);
  for (HWND h : visible)
    if (GetDlgCtrlID(h) == id) return h;
  return nullptr;
}

// The toolbar button that front ends list under a text: (toolbar, command).
bool FindToolButtonByText(HWND dialog, const std::u16string& text, HWND* toolbar, int* command) {
  std::u16string wanted = StripMnemonics(text);
  for (const ControlInfo& c : DescribeDialog(dialog))
    if (c.tool_button && SameText(StripMnemonics(c.text), wanted)) {
      *toolbar = c.hwnd;
      *command = c.id;
      return true;
    }
  return false;
}

// A toolbar's visible, enabled buttons as push buttons named by their tips.
void DescribeToolbar(HWND toolbar, std::vector<ControlInfo>* out) {
  bool enabled = IsWindowEnabled(toolbar) != FALSE;
  LRESULT n = SendMessageW(toolbar, TB_BUTTONCOUNT, 0, 0);
  for (LRESULT i = 0; i < n; ++i) {
    TBBUTTON button{};
    if (!SendMessageW(toolbar, TB_GETBUTTON, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&button))) continue;
    if ((button.fsStyle & BTNS_SEP) || (button.fsState & TBSTATE_HIDDEN) || !(button.fsState & TBSTATE_ENABLED))
      continue;
    ControlInfo info{};
    info.hwnd = toolbar;
    info.kind = ControlKind::kPushButton;
    info.id = button.idCommand;
    info.text = ToolbarButtonTip(toolbar, button.idCommand);
    if (info.text.empty()) {
      LRESULT length = SendMessageW(toolbar, TB_GETBUTTONTEXTW, static_cast<WPARAM>(button.idCommand), 0);
      if (length > 0) {
        info.text.resize(static_cast<size_t>(length) + 1);
        SendMessageW(toolbar, TB_GETBUTTONTEXTW, static_cast<WPARAM>(button.idCommand),
                     reinterpret_cast<LPARAM>(info.text.data()));
        info.text.resize(static_cast<size_t>(length));
      }
    }
    info.enabled = enabled;
    info.selected = -1;
    info.tool_button = true;
    out->push_back(std::move(info));
  }
}

std::string Describe(const std::u16string& text) { return ToUtf8(text); }

}  // namespace

std::vector<ControlInfo> DescribeDialog(HWND dialog) {
  std::vector<HWND> controls;
  CollectVisible(dialog, &controls);
  int def = DefaultButtonId(dialog);
  std::vector<ControlInfo> out;
  for (HWND h : controls) {
    if (IsToolbar(h)) {
      DescribeToolbar(h, &out);
      continue;
    }
    ControlInfo info{};
    info.hwnd = h;
    info.kind = KindOf(h);
    if (info.kind == ControlKind::kOther) continue;
    info.id = GetDlgCtrlID(h);
    info.text = WindowText(h);
    info.enabled = IsWindowEnabled(h) != FALSE;
    info.selected = -1;
    switch (info.kind) {
      case ControlKind::kPushButton:
        info.is_default = (SendMessageW(h, WM_GETDLGCODE, 0, 0) & DLGC_DEFPUSHBUTTON) != 0 ||
                          (def != 0 && info.id == def);
        break;
      case ControlKind::kCheckBox:
      case ControlKind::kRadioButton:
        info.check = static_cast<int>(SendMessageW(h, BM_GETCHECK, 0, 0));
        break;
      case ControlKind::kList: {
        LRESULT n = SendMessageW(h, LB_GETCOUNT, 0, 0);
        for (LRESULT i = 0; i < n; ++i) {
          LRESULT len = SendMessageW(h, LB_GETTEXTLEN, static_cast<WPARAM>(i), 0);
          std::u16string item(static_cast<size_t>(std::max<LRESULT>(len, 0)) + 1, u'\0');
          SendMessageW(h, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(item.data()));
          item.resize(static_cast<size_t>(std::max<LRESULT>(len, 0)));
          info.items.push_back(item);
        }
        info.selected = static_cast<int>(SendMessageW(h, LB_GETCURSEL, 0, 0));
        if (info.selected >= 0 && static_cast<size_t>(info.selected) < info.items.size())
          info.text = info.items[static_cast<size_t>(info.selected)];
        break;
      }
      case ControlKind::kCombo: {
        LRESULT n = SendMessageW(h, CB_GETCOUNT, 0, 0);
        for (LRESULT i = 0; i < n; ++i) {
          LRESULT len = SendMessageW(h, CB_GETLBTEXTLEN, static_cast<WPARAM>(i), 0);
          std::u16string item(static_cast<size_t>(std::max<LRESULT>(len, 0)) + 1, u'\0');
          SendMessageW(h, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(item.data()));
          item.resize(static_cast<size_t>(std::max<LRESULT>(len, 0)));
          info.items.push_back(item);
        }
        info.selected = static_cast<int>(SendMessageW(h, CB_GETCURSEL, 0, 0));
        break;
      }
      case ControlKind::kProgress: {
        PBRANGE range{};
        SendMessageW(h, PBM_GETRANGE, TRUE, reinterpret_cast<LPARAM>(&range));
        info.progress_min = range.iLow;
        info.progress_max = range.iHigh;
        info.progress_pos = static_cast<int>(SendMessageW(h, PBM_GETPOS, 0, 0));
        break;
      }
      case ControlKind::kTabs: {
        LRESULT n = SendMessageW(h, TCM_GETITEMCOUNT, 0, 0);
        for (LRESULT i = 0; i < n; ++i) {
          WCHAR buffer[128] = {};
          TCITEMW item{TCIF_TEXT, 0, 0, buffer, 128, 0, 0};
          SendMessageW(h, TCM_GETITEMW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&item));
          info.items.push_back(buffer);
        }
        info.selected = static_cast<int>(SendMessageW(h, TCM_GETCURSEL, 0, 0));
        break;
      }
      default:
        break;
    }
    out.push_back(std::move(info));
  }
  return out;
}

int DefaultButtonId(HWND dialog) {
  LRESULT def = SendMessageW(dialog, DM_GETDEFID, 0, 0);
  return HIWORD(static_cast<DWORD_PTR>(def)) == DC_HASDEFID ? LOWORD(static_cast<DWORD_PTR>(def)) : 0;
}

bool PressControl(HWND control) {
  if (!control || !IsWindowEnabled(control) || !IsWindowVisible(control)) return false;
  ControlKind kind = KindOf(control);
  if (kind != ControlKind::kPushButton && kind != ControlKind::kCheckBox && kind != ControlKind::kRadioButton)
    return false;
  SendMessageW(control, BM_CLICK, 0, 0);
  return true;
}

bool TypeIntoControl(HWND control, const std::u16string& text) {
  if (!control || !IsWindowEnabled(control)) return false;
  ControlKind kind = KindOf(control);
  DWORD style = static_cast<DWORD>(GetWindowLongW(control, GWL_STYLE));
  if (kind == ControlKind::kEdit) {
    if (style & ES_READONLY) return false;
    // A person replaces the whole text: select it and type over it.
    SendMessageW(control, EM_SETSEL, 0, -1);
    SendMessageW(control, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(text.c_str()));
    return true;
  }
  if (kind == ControlKind::kCombo && (style & 3) != CBS_DROPDOWNLIST) {
    SetWindowTextW(control, text.c_str());
    HWND parent = GetParent(control);
    if (parent)
      SendMessageW(parent, WM_COMMAND, MAKEWPARAM(static_cast<WORD>(GetDlgCtrlID(control)), CBN_EDITCHANGE),
                   reinterpret_cast<LPARAM>(control));
    return true;
  }
  return false;
}

bool PickInControl(HWND control, int index) {
  if (!control || !IsWindowEnabled(control) || index < 0) return false;
  HWND parent = GetParent(control);
  WORD id = static_cast<WORD>(GetDlgCtrlID(control));
  switch (KindOf(control)) {
    case ControlKind::kList: {
      if (SendMessageW(control, LB_SETCURSEL, static_cast<WPARAM>(index), 0) == LB_ERR) return false;
      if (parent && (GetWindowLongW(control, GWL_STYLE) & LBS_NOTIFY))
        SendMessageW(parent, WM_COMMAND, MAKEWPARAM(id, LBN_SELCHANGE), reinterpret_cast<LPARAM>(control));
      return true;
    }
    case ControlKind::kCombo: {
      if (SendMessageW(control, CB_SETCURSEL, static_cast<WPARAM>(index), 0) == CB_ERR) return false;
      if (parent) {
        SendMessageW(parent, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(control));
        SendMessageW(parent, WM_COMMAND, MAKEWPARAM(id, CBN_SELENDOK), reinterpret_cast<LPARAM>(control));
      }
      return true;
    }
    case ControlKind::kTabs: {
      if (index >= SendMessageW(control, TCM_GETITEMCOUNT, 0, 0)) return false;
      NMHDR header{control, id, TCN_SELCHANGING};
      if (parent && SendMessageW(parent, WM_NOTIFY, id, reinterpret_cast<LPARAM>(&header))) return false;
      SendMessageW(control, TCM_SETCURSEL, static_cast<WPARAM>(index), 0);
      header.code = TCN_SELCHANGE;
      if (parent) SendMessageW(parent, WM_NOTIFY, id, reinterpret_cast<LPARAM>(&header));
      return true;
    }
    default:
      return false;
  }
}

namespace {
constexpr LPCWSTR kPathChooserProp = u"platform.PathChooser";
}  // namespace

void SetPathChooser(HWND dialog, const PathChooser* chooser) {
  if (chooser) {
    SetPropW(dialog, kPathChooserProp, const_cast<PathChooser*>(chooser));
  } else {
    RemovePropW(dialog, kPathChooserProp);
  }
}

const PathChooser* GetPathChooser(HWND dialog) {
  return static_cast<const PathChooser*>(GetPropW(dialog, kPathChooserProp));
}

bool ChoosePath(HWND dialog, const std::u16string& path) {
  const PathChooser* chooser = GetPathChooser(dialog);
  return chooser && !path.empty() && chooser->choose(dialog, path);
}

void PressEnter(HWND dialog) {
  HWND focus = GetFocus();
  MSG msg{focus && IsChild(dialog, focus) ? focus : dialog, WM_KEYDOWN, VK_RETURN, 0, 0, {0, 0}};
  IsDialogMessageW(dialog, &msg);
}

void PressEscape(HWND dialog) {
  MSG msg{dialog, WM_KEYDOWN, VK_ESCAPE, 0, 0, {0, 0}};
  IsDialogMessageW(dialog, &msg);
}

// ---- The scripted driver --------------------------------------------------------------------

ScriptedFrontEnd::ScriptedFrontEnd() = default;

ScriptedFrontEnd::~ScriptedFrontEnd() { Forget(this); }

ScriptedFrontEnd& ScriptedFrontEnd::Add(Action action) {
  std::lock_guard<std::mutex> guard(lock_);
  actions_.push_back(std::move(action));
  WakeOpenDialogsLocked();
  return *this;
}

ScriptedFrontEnd& ScriptedFrontEnd::Press(int id, const std::u16string& title) {
  return Add(Action{Kind::kPress, id, 0, {}, title, {}});
}
ScriptedFrontEnd& ScriptedFrontEnd::PressText(const std::u16string& text, const std::u16string& title) {
  return Add(Action{Kind::kPressText, 0, 0, text, title, {}});
}
ScriptedFrontEnd& ScriptedFrontEnd::Type(int id, const std::u16string& text, const std::u16string& title) {
  return Add(Action{Kind::kType, id, 0, text, title, {}});
}
ScriptedFrontEnd& ScriptedFrontEnd::Check(int id, bool checked, const std::u16string& title) {
  return Add(Action{Kind::kCheck, id, checked ? 1 : 0, {}, title, {}});
}
ScriptedFrontEnd& ScriptedFrontEnd::Pick(int id, int index, const std::u16string& title) {
  return Add(Action{Kind::kPick, id, index, {}, title, {}});
}
ScriptedFrontEnd& ScriptedFrontEnd::PickPage(int index, const std::u16string& title) {
  return Add(Action{Kind::kPickPage, 0, index, {}, title, {}});
}
ScriptedFrontEnd& ScriptedFrontEnd::Enter(const std::u16string& title) {
  return Add(Action{Kind::kEnter, 0, 0, {}, title, {}});
}
ScriptedFrontEnd& ScriptedFrontEnd::Escape(const std::u16string& title) {
  return Add(Action{Kind::kEscape, 0, 0, {}, title, {}});
}
ScriptedFrontEnd& ScriptedFrontEnd::ChoosePath(const std::u16string& path, const std::u16string& title) {
  return Add(Action{Kind::kChoosePath, 0, 0, path, title, {}});
}
ScriptedFrontEnd& ScriptedFrontEnd::Answer(int id) { return Add(Action{Kind::kAnswer, id, 0, {}, {}, {}}); }
ScriptedFrontEnd& ScriptedFrontEnd::WaitFor(const std::u16string& title) {
  return Add(Action{Kind::kWaitFor, 0, 0, {}, title, {}});
}
ScriptedFrontEnd& ScriptedFrontEnd::Run(std::function<void(HWND)> action, const std::u16string& title) {
  return Add(Action{Kind::kRun, 0, 0, {}, title, std::move(action)});
}

void ScriptedFrontEnd::WakeOpenDialogsLocked() {
  for (const Shown& s : shown_)
    if (s.open) PostMessageW(s.hwnd, WM_NULL, 0, 0);
}

HWND ScriptedFrontEnd::TargetLocked(const Action& action) {
  for (auto it = shown_.rbegin(); it != shown_.rend(); ++it) {
    if (!it->open) continue;
    if (action.kind == Kind::kAnswer) {
      if (it->message_box) return it->hwnd;
      continue;
    }
    if (action.title.empty() || it->title == action.title) return it->hwnd;
  }
  return nullptr;
}

void ScriptedFrontEnd::ModalBegin(HWND dialog) {
  Shown record{dialog, WindowText(dialog), {}, IsMessageBoxWindow(dialog), -1, true};
  for (const ControlInfo& c : DescribeDialog(dialog))
    if (c.kind == ControlKind::kText) record.texts.push_back(c.text);
  std::lock_guard<std::mutex> guard(lock_);
  shown_.push_back(std::move(record));
  changed_.notify_all();
}

void ScriptedFrontEnd::ModalEnd(HWND dialog, INT_PTR result) {
  std::lock_guard<std::mutex> guard(lock_);
  for (auto it = shown_.rbegin(); it != shown_.rend(); ++it)
    if (it->open && it->hwnd == dialog) {
      it->open = false;
      it->result = result;
      break;
    }
  changed_.notify_all();
}

void ScriptedFrontEnd::ModalIdle(HWND dialog) {
  {
    std::unique_lock<std::mutex> lock(lock_);
    while (!actions_.empty()) {
      Action& next = actions_.front();
      HWND target = TargetLocked(next);
      if (next.kind == Kind::kWaitFor) {
        if (!target) break;
        actions_.pop_front();
        changed_.notify_all();
        continue;
      }
      if (target != dialog) break;
      Action action = std::move(next);
      actions_.pop_front();
      lock.unlock();
      Apply(dialog, action);
      lock.lock();
      changed_.notify_all();
      // Other threads' dialogs may hold the next action.
      WakeOpenDialogsLocked();
      return;
    }
  }
  MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
}

void ScriptedFrontEnd::Apply(HWND dialog, const Action& action) {
  auto fail = [&](const std::string& what) {
    std::lock_guard<std::mutex> guard(lock_);
    errors_.push_back(what + " in \"" + Describe(WindowText(dialog)) + "\"");
  };
  switch (action.kind) {
    case Kind::kPress:
    case Kind::kAnswer: {
      HWND control = FindVisibleControl(dialog, action.id);
      HWND toolbar = control ? nullptr : FindToolbarOf(dialog, action.id);
      if (toolbar) {
        if (!PressToolbarButton(toolbar, action.id))
          fail("toolbar button " + std::to_string(action.id) + " cannot be pressed");
        break;
      }
      if (!control) control = GetDlgItem(dialog, action.id);
      if (control) {
        if (!PressControl(control)) fail("control " + std::to_string(action.id) + " cannot be pressed");
      } else if (action.id == IDOK || action.id == IDCANCEL) {
        // Enter and Escape reach a dialog without such a button.
        SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(static_cast<WORD>(action.id), BN_CLICKED), 0);
      } else {
        fail("no control " + std::to_string(action.id));
      }
      break;
    }
    case Kind::kPressText: {
      HWND control = FindButtonByText(dialog, action.text);
      HWND toolbar = nullptr;
      int command = 0;
      bool pressed = control ? PressControl(control)
                             : FindToolButtonByText(dialog, action.text, &toolbar, &command) &&
                                   PressToolbarButton(toolbar, command);
      if (!pressed) fail("no button \"" + Describe(action.text) + "\" to press");
      break;
    }
    case Kind::kType:
      if (!TypeIntoControl(FindControl(dialog, action.id), action.text))
        fail("cannot type into control " + std::to_string(action.id));
      break;
    case Kind::kCheck: {
      HWND control = FindControl(dialog, action.id);
      ControlKind kind = control ? KindOf(control) : ControlKind::kOther;
      if (kind != ControlKind::kCheckBox && kind != ControlKind::kRadioButton) {
        fail("no check box " + std::to_string(action.id));
        break;
      }
      bool checked = SendMessageW(control, BM_GETCHECK, 0, 0) == BST_CHECKED;
      if (checked != (action.value != 0) && !PressControl(control))
        fail("check box " + std::to_string(action.id) + " cannot be pressed");
      break;
    }
    case Kind::kPick:
      if (!PickInControl(FindControl(dialog, action.id), action.value))
        fail("cannot pick item " + std::to_string(action.value) + " in control " + std::to_string(action.id));
      break;
    case Kind::kPickPage: {
      HWND tab = reinterpret_cast<HWND>(SendMessageW(dialog, PSM_GETTABCONTROL, 0, 0));
      bool ok = tab ? PickInControl(tab, action.value)
                    : SendMessageW(dialog, PSM_SETCURSEL, static_cast<WPARAM>(action.value), 0) != 0;
      if (!ok) fail("cannot pick page " + std::to_string(action.value));
      break;
    }
    case Kind::kEnter:
      PressEnter(dialog);
      break;
    case Kind::kEscape:
      PressEscape(dialog);
      break;
    case Kind::kRun:
      if (action.run) action.run(dialog);
      break;
    case Kind::kChoosePath:
      if (!platform::ChoosePath(dialog, action.text)) fail("cannot choose the path \"" + Describe(action.text) + "\"");
      break;
    case Kind::kWaitFor:
      break;
  }
}

HWND ScriptedFrontEnd::WaitShown(const std::u16string& title, DWORD milliseconds) {
  std::unique_lock<std::mutex> lock(lock_);
  HWND found = nullptr;
  auto match = [&] {
    for (auto it = shown_.rbegin(); it != shown_.rend(); ++it)
      if (it->open && (title.empty() || it->title == title)) {
        found = it->hwnd;
        return true;
      }
    return false;
  };
  changed_.wait_for(lock, std::chrono::milliseconds(milliseconds), match);
  return found;
}

bool ScriptedFrontEnd::Done() {
  std::lock_guard<std::mutex> guard(lock_);
  return actions_.empty();
}

std::vector<ScriptedFrontEnd::Shown> ScriptedFrontEnd::shown() {
  std::lock_guard<std::mutex> guard(lock_);
  return shown_;
}

std::vector<std::string> ScriptedFrontEnd::errors() {
  std::lock_guard<std::mutex> guard(lock_);
  return errors_;
}

// ---- The terminal front end ------------------------------------------------------------------

// What the terminal keeps per open dialog.
struct TerminalFrontEnd::Session {
  struct Choice {
    HWND hwnd;    // the control (a toolbar for its buttons)
    int button;   // a toolbar button's command, or -1
  };
  enum class Mode { kChoice, kValue, kPick, kPath };
  HWND dialog = nullptr;                 // the dialog
  bool rendered = false;                 // shown since the last change
  std::vector<Choice> choices;           // choice n is choices[n - 1]
  std::vector<HWND> bars;                // its progress bars
  std::string typed;                     // the line being typed (UTF-8)
  Mode mode = Mode::kChoice;             // what the line answers
  HWND pending = nullptr;                // the field or list a value goes to
  bool input_closed = false;             // the input ended
  std::u16string status;                 // the text that changed last (a dialog with bars)
  size_t rows_drawn = 0;                 // live rows on screen above the prompt line
};

TerminalFrontEnd::TerminalFrontEnd(int input_fd, int output_fd) : in_(input_fd), out_(output_fd) {}

TerminalFrontEnd::~TerminalFrontEnd() {
  Forget(this);
  std::lock_guard<std::mutex> guard(lock_);
  RawModeLocked(false);
  delete static_cast<termios*>(saved_termios_);
}

void TerminalFrontEnd::WriteLocked(const std::string& text) {
  const char* p = text.data();
  size_t left = text.size();
  while (left > 0) {
    ssize_t n = ::write(out_, p, left);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    p += n;
    left -= static_cast<size_t>(n);
  }
}

void TerminalFrontEnd::RawModeLocked(bool on) {
  if (on == raw_) return;
  if (on) {
    termios mode;
    if (tcgetattr(in_, &mode) != 0) return;  // not a terminal: leave it
    if (!saved_termios_) saved_termios_ = new termios(mode);
    *static_cast<termios*>(saved_termios_) = mode;
    mode.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
    mode.c_cc[VMIN] = 1;
    mode.c_cc[VTIME] = 0;
    if (tcsetattr(in_, TCSANOW, &mode) == 0) raw_ = true;
  } else {
    if (saved_termios_) tcsetattr(in_, TCSANOW, static_cast<termios*>(saved_termios_));
    raw_ = false;
  }
}

TerminalFrontEnd::Session* TerminalFrontEnd::TopLocked() {
  return sessions_.empty() ? nullptr : sessions_.back().get();
}

TerminalFrontEnd::Session* TerminalFrontEnd::FindLocked(HWND dialog) {
  for (auto& s : sessions_)
    if (s->dialog == dialog) return s.get();
  return nullptr;
}

namespace {

// A text as the terminal shows it, in UTF-8. File names show the platform's
// separator: a '\\' next to a character other than a blank becomes '/'
// (stored names and the texts themselves are left as they are).
std::string Shown(const std::u16string& text) {
  if (kPathSeparator != u'/') return ToUtf8(text);
  std::u16string out = text;
  auto blank = [](char16_t c) { return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r'; };
  for (size_t i = 0; i < out.size(); ++i) {
    if (text[i] != u'\\') continue;
    bool before = i > 0 && !blank(text[i - 1]);
    bool after = i + 1 < text.size() && !blank(text[i + 1]);
    if (before || after) out[i] = u'/';
  }
  return ToUtf8(out);
}

// Terminal columns a UTF-8 text takes (East Asian wide characters take
// two); `cut` > 0 shortens the text to at most that many columns.
size_t Columns(std::string* text, size_t cut = 0) {
  size_t columns = 0;
  for (size_t i = 0; i < text->size();) {
    unsigned char c = static_cast<unsigned char>((*text)[i]);
    size_t length = c < 0x80 ? 1 : c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
    if (i + length > text->size()) length = text->size() - i;
    char32_t code = length == 1 ? c : static_cast<char32_t>(c & (0x7F >> length));
    for (size_t k = 1; k < length; ++k) code = (code << 6) | (static_cast<unsigned char>((*text)[i + k]) & 0x3F);
    bool wide = (code >= 0x1100 && code <= 0x115F) || (code >= 0x2E80 && code <= 0xA4CF) ||
                (code >= 0xAC00 && code <= 0xD7A3) || (code >= 0xF900 && code <= 0xFAFF) ||
                (code >= 0xFE30 && code <= 0xFE4F) || (code >= 0xFF00 && code <= 0xFF60) ||
                (code >= 0xFFE0 && code <= 0xFFE6) || (code >= 0x20000 && code <= 0x3FFFD);
    size_t width = wide ? 2 : 1;
    if (cut > 0 && columns + width > cut) {
      text->resize(i);
      break;
    }
    columns += width;
    i += length;
  }
  return columns;
}

std::string Bar(HWND bar) {
  PBRANGE range{};
  SendMessageW(bar, PBM_GETRANGE, TRUE, reinterpret_cast<LPARAM>(&range));
  LONGLONG pos = SendMessageW(bar, PBM_GETPOS, 0, 0);
  LONGLONG span = static_cast<LONGLONG>(range.iHigh) - range.iLow;
  LONGLONG done = span > 0 ? (pos - range.iLow) * 100 / span : 0;
  int percent = static_cast<int>(done < 0 ? 0 : done > 100 ? 100 : done);  // a position outside the range
  constexpr int kWidth = 30;
  int filled = percent * kWidth / 100;
  std::string text(1, '[');
  text.append(static_cast<size_t>(filled), '#');
  text.append(static_cast<size_t>(kWidth - filled), '.');
  text.append("] ");
  text.append(std::to_string(percent));
  text.push_back('%');
  return text;
}

bool HasProgressBar(HWND dialog) {
  for (const ControlInfo& c : DescribeDialog(dialog))
    if (c.kind == ControlKind::kProgress) return true;
  return false;
}

const char* Prompt(int mode) {
  switch (mode) {
    case 1: return "New text: ";
    case 2: return "Item number: ";
    case 3: return "Path: ";
    default: return "Choice: ";
  }
}

}  // namespace

// The terminal's width in columns (80 when it does not say).
int TerminalFrontEnd::WidthLocked() {
  winsize size{};
  if (ioctl(out_, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
  return 80;
}

// A dialog with progress bars keeps two live rows above its prompt: the
// text that changed last (a status line) and the bars. They are redrawn in
// place, cut to the terminal's width so that none wraps.
std::vector<std::string> TerminalFrontEnd::LiveRowsLocked(Session& session) {
  std::vector<std::string> rows;
  if (session.bars.empty()) return rows;
  std::string line;
  for (HWND bar : session.bars) line += (line.empty() ? "" : "  ") + Bar(bar);
  rows.push_back(session.status.empty() ? std::string() : "  " + Shown(session.status));
  rows.push_back(line);
  size_t cut = static_cast<size_t>(WidthLocked() - 1);
  for (std::string& row : rows) Columns(&row, cut);
  return rows;
}

void TerminalFrontEnd::DrawPromptLocked(Session& session) {
  WriteLocked(std::string("\r\x1b[K") + Prompt(static_cast<int>(session.mode)) + session.typed);
}

void TerminalFrontEnd::DrawLiveLineLocked(Session& session) {
  std::vector<std::string> rows = LiveRowsLocked(session);
  std::string text = "\r\x1b[K";
  for (const std::string& row : rows) text += row + "\x1b[K\n";
  session.rows_drawn = rows.size();
  WriteLocked(text);
  DrawPromptLocked(session);
}

void TerminalFrontEnd::UpdateLiveRowsLocked(Session& session) {
  std::vector<std::string> rows = LiveRowsLocked(session);
  // From the cursor up to the first row: the rows, and the part of the
  // prompt line that wrapped.
  std::string prompt = std::string(Prompt(static_cast<int>(session.mode))) + session.typed;
  size_t up = session.rows_drawn + Columns(&prompt) / static_cast<size_t>(WidthLocked());
  std::string to_first_row = "\r";
  if (up > 0) to_first_row += "\x1b[" + std::to_string(up) + "A";
  if (rows.size() != session.rows_drawn || rows.empty()) {
    // The rows changed in number: draw them and the prompt afresh.
    WriteLocked(to_first_row + "\x1b[J");
    DrawLiveLineLocked(session);
    return;
  }
  // In place: rewrite the rows and go back to where the person types.
  std::string text = "\x1b" "7" + to_first_row;  // saves the cursor first
  for (const std::string& row : rows) text += row + "\x1b[K\n";
  text += "\x1b" "8";  // back to the saved cursor
  WriteLocked(text);
}

void TerminalFrontEnd::RenderLocked(Session& session, bool prompt) {
  session.choices.clear();
  session.bars.clear();
  session.status.clear();
  std::string text = "\r\x1b[K\n== " + Shown(WindowText(session.dialog)) + " ==\n";
  std::vector<ControlInfo> controls = DescribeDialog(session.dialog);
  // A text right before a field, list or combo box is that control's label.
  auto is_field = [](ControlKind kind) {
    return kind == ControlKind::kEdit || kind == ControlKind::kList || kind == ControlKind::kCombo;
  };
  auto label_of = [](const std::u16string& text) {
    std::string out = Shown(StripMnemonics(text));
    while (!out.empty() && (out.back() == ':' || out.back() == ' ')) out.pop_back();
    return out;
  };
  std::string label;
  std::string buttons;
  for (size_t i = 0; i < controls.size(); ++i) {
    const ControlInfo& c = controls[i];
    auto number = [&]() {
      if (!c.enabled) return std::string("  -) ");
      session.choices.push_back(Session::Choice{c.hwnd, c.tool_button ? c.id : -1});
      return "  " + std::to_string(session.choices.size()) + ") ";
    };
    std::string shown = Shown(StripMnemonics(c.text));
    switch (c.kind) {
      case ControlKind::kText:
        if (i + 1 < controls.size() && is_field(controls[i + 1].kind)) {
          label = label_of(c.text);
        } else if (!c.text.empty()) {
          bool literal = (GetWindowLongW(c.hwnd, GWL_STYLE) & SS_NOPREFIX) != 0;
          text += "  " + Shown(literal ? c.text : StripMnemonics(c.text)) + "\n";
        }
        break;
      case ControlKind::kGroupBox:
        if (!c.text.empty()) text += "  -- " + shown + " --\n";
        break;
      case ControlKind::kEdit:
        text += number() + (label.empty() ? std::string("Field") : label) + ": [" + Shown(c.text) + "]\n";
        break;
      case ControlKind::kCheckBox:
        text += number() + (c.check == BST_CHECKED ? "[x] " : c.check == BST_INDETERMINATE ? "[-] " : "[ ] ") +
                shown + "\n";
        break;
      case ControlKind::kRadioButton:
        text += number() + (c.check == BST_CHECKED ? "(o) " : "( ) ") + shown + "\n";
        break;
      case ControlKind::kList:
      case ControlKind::kCombo:
      case ControlKind::kTabs: {
        std::string name = c.kind == ControlKind::kTabs ? std::string("Page")
                           : label.empty()              ? std::string("List")
                                                        : label;
        std::string current = c.selected >= 0 && static_cast<size_t>(c.selected) < c.items.size()
                                  ? Shown(StripMnemonics(c.items[static_cast<size_t>(c.selected)]))
                                  : Shown(c.text);
        text += number() + name + ": " + current + " (choose from " + std::to_string(c.items.size()) + ")\n";
        break;
      }
      case ControlKind::kPushButton:
        buttons += number() + shown + (c.is_default ? " *" : "");
        break;
      case ControlKind::kProgress:
        session.bars.push_back(c.hwnd);
        break;
      default:
        break;
    }
    if (c.kind != ControlKind::kText) label.clear();
  }
  if (!buttons.empty()) text += buttons + "\n";
  if (const PathChooser* chooser = GetPathChooser(session.dialog))
    text += std::string("  p) ") + (chooser->folders_only ? "Folder" : "Path") + ": " +
            Shown(chooser->current(session.dialog)) + "\n";
  if (prompt) text += "  (Enter alone: the button marked *; x: close)\n";
  WriteLocked(text);
  session.rendered = true;
  if (prompt) {
    DrawLiveLineLocked(session);
  } else {
    // The dialog's last look: its live rows stay, without a prompt.
    for (const std::string& row : LiveRowsLocked(session)) WriteLocked(row + "\x1b[K\n");
    session.rows_drawn = 0;
  }
}

void TerminalFrontEnd::ModalBegin(HWND dialog) {
  std::lock_guard<std::mutex> guard(lock_);
  auto session = std::make_unique<Session>();
  session->dialog = dialog;
  sessions_.push_back(std::move(session));
  RawModeLocked(true);
}

void TerminalFrontEnd::ModalEnd(HWND dialog, INT_PTR result) {
  std::lock_guard<std::mutex> guard(lock_);
  // A dialog with progress bars that has the terminal is drawn in its final
  // state (a progress page at 100%) before its prompt goes: its live rows
  // stay on the screen.
  Session* ending = FindLocked(dialog);
  if (ending && ending == TopLocked() && !ending->input_closed) {
    if (ending->rendered) {
      if (ending->rows_drawn > 0) UpdateLiveRowsLocked(*ending);
    } else if (HasProgressBar(dialog)) {
      RenderLocked(*ending, false);
    }
  }
  sessions_.erase(std::remove_if(sessions_.begin(), sessions_.end(),
                                 [&](const std::unique_ptr<Session>& s) { return s->dialog == dialog; }),
                  sessions_.end());
  WriteLocked("\r\x1b[K");
  if (Session* top = TopLocked()) {
    top->rendered = false;  // shown again at its next turn
  } else {
    RawModeLocked(false);
  }
}

void TerminalFrontEnd::ControlChanged(HWND control) {
  std::lock_guard<std::mutex> guard(lock_);
  Session* top = TopLocked();
  if (!top || !top->rendered || !IsChild(top->dialog, control) || !IsWindowVisible(control)) return;
  ControlKind kind = KindOf(control);
  if (kind == ControlKind::kText) {
    std::u16string text = WindowText(control);
    if (!top->bars.empty()) {
      // A status line beside the bars: shown in place.
      if (!text.empty()) top->status = text;
      UpdateLiveRowsLocked(*top);
    } else {
      if (!text.empty()) WriteLocked("\r\x1b[K  " + Shown(text) + "\n");
      DrawLiveLineLocked(*top);
    }
  } else if (kind == ControlKind::kProgress) {
    if (std::find(top->bars.begin(), top->bars.end(), control) == top->bars.end()) top->bars.push_back(control);
    UpdateLiveRowsLocked(*top);
  }
}

void TerminalFrontEnd::ModalIdle(HWND dialog) {
  {
    std::lock_guard<std::mutex> guard(lock_);
    Session* session = FindLocked(dialog);
    if (!session || session != TopLocked() || session->input_closed) {
      // Another dialog has the terminal (or it has no input left).
      MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT);
      return;
    }
    if (!session->rendered) RenderLocked(*session);
  }
  pollfd p{in_, POLLIN, 0};
  if (poll(&p, 1, 50) <= 0) return;
  std::string line;
  bool complete = false;
  bool closed = false;
  {
    std::lock_guard<std::mutex> guard(lock_);
    Session* session = FindLocked(dialog);
    if (!session || session != TopLocked()) return;
    char buffer[256];
    ssize_t n = ::read(in_, buffer, sizeof(buffer));
    if (n <= 0) {
      session->input_closed = true;
      closed = true;
    }
    for (ssize_t i = 0; i < n && !complete; ++i) {
      unsigned char c = static_cast<unsigned char>(buffer[i]);
      if (c == '\r' || c == '\n') {
        complete = true;
        line = session->typed;
        session->typed.clear();
        WriteLocked("\n");
        session->rows_drawn = 0;  // the live rows are no longer right above
      } else if (c == 0x7F || c == 0x08) {
        // Removes one character (with its UTF-8 continuation bytes).
        while (!session->typed.empty() && (static_cast<unsigned char>(session->typed.back()) & 0xC0) == 0x80)
          session->typed.pop_back();
        if (!session->typed.empty()) session->typed.pop_back();
        DrawPromptLocked(*session);
      } else if (c == 0x04) {
        closed = true;
      } else if (c >= 0x20) {
        session->typed.push_back(static_cast<char>(c));
        WriteLocked(std::string(1, static_cast<char>(c)));
      }
    }
  }
  if (closed) {
    PressEscape(dialog);
    return;
  }
  if (complete) HandleLine(dialog, line);
}

void TerminalFrontEnd::HandleLine(HWND dialog, const std::string& raw) {
  std::string line = raw;
  while (!line.empty() && line.back() == ' ') line.pop_back();
  while (!line.empty() && line.front() == ' ') line.erase(line.begin());
  Session::Mode mode;
  HWND pending;
  std::vector<Session::Choice> choices;
  {
    std::lock_guard<std::mutex> guard(lock_);
    Session* session = FindLocked(dialog);
    if (!session) return;
    mode = session->mode;
    pending = session->pending;
    choices = session->choices;
    session->mode = Session::Mode::kChoice;
    session->pending = nullptr;
  }
  auto note = [&](const std::string& text) {
    std::lock_guard<std::mutex> guard(lock_);
    WriteLocked("\r\x1b[K  " + text + "\n");
  };
  auto ask = [&](Session::Mode next, HWND control, const std::string& text) {
    std::lock_guard<std::mutex> guard(lock_);
    Session* session = FindLocked(dialog);
    if (!session) return;
    session->mode = next;
    session->pending = control;
    if (!text.empty()) WriteLocked(text);
    DrawLiveLineLocked(*session);
  };
  if (mode == Session::Mode::kValue) {
    if (!line.empty() && !TypeIntoControl(pending, ToUtf16(line))) note("That field cannot be changed.");
  } else if (mode == Session::Mode::kPath) {
    if (!line.empty() && !ChoosePath(dialog, ToUtf16(line))) note("That path cannot be chosen.");
  } else if (mode == Session::Mode::kPick) {
    int n = std::atoi(line.c_str());
    if (!line.empty() && !PickInControl(pending, n - 1)) note("No such item.");
  } else if (line.empty()) {
    int id = DefaultButtonId(dialog);
    HWND button = id ? GetDlgItem(dialog, id) : nullptr;
    if (button && !PressControl(button)) note("The default button is not available.");
  } else if (line == "x" || line == "X") {
    PressEscape(dialog);
  } else if ((line == "p" || line == "P") && GetPathChooser(dialog)) {
    ask(Session::Mode::kPath, nullptr, "\r\x1b[K  Type a path (Enter alone keeps the current one)\n");
    return;
  } else {
    int n = std::atoi(line.c_str());
    if (n < 1 || static_cast<size_t>(n) > choices.size()) {
      note("No such choice.");
    } else {
      const Session::Choice& choice = choices[static_cast<size_t>(n) - 1];
      HWND control = choice.hwnd;
      switch (choice.button >= 0 ? ControlKind::kPushButton : KindOf(control)) {
        case ControlKind::kEdit:
          ask(Session::Mode::kValue, control, "\r\x1b[K  Current text: " + Shown(WindowText(control)) +
                                                  " (Enter alone keeps it)\n");
          return;
        case ControlKind::kList:
        case ControlKind::kCombo:
        case ControlKind::kTabs: {
          std::string items;
          for (const ControlInfo& c : DescribeDialog(dialog))
            if (c.hwnd == control)
              for (size_t i = 0; i < c.items.size(); ++i)
                items += "    " + std::to_string(i + 1) + ". " + Shown(StripMnemonics(c.items[i])) + "\n";
          ask(Session::Mode::kPick, control, "\r\x1b[K" + items);
          return;
        }
        default:
          if (!(choice.button >= 0 ? PressToolbarButton(control, choice.button) : PressControl(control)))
            note("That choice is not available.");
          break;
      }
    }
  }
  std::lock_guard<std::mutex> guard(lock_);
  if (Session* session = FindLocked(dialog)) session->rendered = false;
}

// ---- The non-interactive front end -----------------------------------------------------------

NonInteractiveFrontEnd::NonInteractiveFrontEnd() {
  const char* value = std::getenv("WU_FRONTEND_LOG");
  log_ = value && *value && std::strcmp(value, "0") != 0;
}

NonInteractiveFrontEnd::~NonInteractiveFrontEnd() { Forget(this); }

void NonInteractiveFrontEnd::Log(const std::string& line) {
  if (log_) std::fprintf(stderr, "frontend: %s\n", line.c_str());
}

void NonInteractiveFrontEnd::ModalBegin(HWND dialog) {
  Log(std::string(IsMessageBoxWindow(dialog) ? "message box" : "dialog") + " \"" + ToUtf8(WindowText(dialog)) +
      "\" shown");
  if (IsMessageBoxWindow(dialog)) WriteBox(dialog);
}

namespace {

// What MessageBoxW keeps of a box (platform/dialogs.cpp): its type as a
// window property, its text in the static of this id.
constexpr LPCWSTR kMessageBoxTypeProp = u"platform.MessageBoxType";
constexpr int kMessageBoxTextId = 0xFFFF;

}  // namespace

// "caption: text" as one paragraph: a lone OK box without an icon is
// output the program gives (a usage text) and goes to standard output;
// every other box (errors, warnings, questions) to standard error.
void NonInteractiveFrontEnd::WriteBox(HWND dialog) {
  UINT type = static_cast<UINT>(reinterpret_cast<uintptr_t>(GetPropW(dialog, kMessageBoxTypeProp)));
  bool output = (type & MB_ICONMASK) == 0 && (type & MB_TYPEMASK) == MB_OK;
  std::string text = ToUtf8(WindowText(GetDlgItem(dialog, kMessageBoxTextId)));
  std::string caption = ToUtf8(WindowText(dialog));
  std::string paragraph = caption.empty() ? text : caption + ": " + text;
  while (!paragraph.empty() && (paragraph.back() == '\n' || paragraph.back() == '\r')) paragraph.pop_back();
  paragraph += '\n';
  std::lock_guard<std::mutex> guard(lock_);
  int& written = output ? boxes_out_ : boxes_err_;
  if (written++ > 0) paragraph.insert(paragraph.begin(), '\n');
  FILE* stream = output ? stdout : stderr;
  std::fputs(paragraph.c_str(), stream);
  std::fflush(stream);
}

void NonInteractiveFrontEnd::ModalIdle(HWND dialog) {
  bool first;
  {
    std::lock_guard<std::mutex> guard(lock_);
    first = std::find(pressed_.begin(), pressed_.end(), dialog) == pressed_.end();
    if (first) pressed_.push_back(dialog);
  }
  if (!first && GetPathChooser(dialog)) {
    // A file or folder dialog that its default button did not end (no
    // name chosen, a refused path): nobody can choose one, so cancel.
    Log("the dialog is still open; cancelling");
    PressEscape(dialog);
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 250, QS_ALLINPUT);
    return;
  }
  if (first) {
    int id = DefaultButtonId(dialog);
    HWND button = id ? GetDlgItem(dialog, id) : nullptr;
    if (button && IsWindowEnabled(button)) {
      Log("pressing the default button \"" + ToUtf8(StripMnemonics(WindowText(button))) + "\" (" +
          std::to_string(id) + ")");
      PressControl(button);
      return;
    }
    Log("no default button; the dialog is left to the program");
  }
  MsgWaitForMultipleObjects(0, nullptr, FALSE, 250, QS_ALLINPUT);
}

void NonInteractiveFrontEnd::ModalEnd(HWND dialog, INT_PTR result) {
  {
    std::lock_guard<std::mutex> guard(lock_);
    pressed_.erase(std::remove(pressed_.begin(), pressed_.end(), dialog), pressed_.end());
  }
  Log("\"" + ToUtf8(WindowText(dialog)) + "\" ended with " + std::to_string(result));
}

}  // namespace platform
