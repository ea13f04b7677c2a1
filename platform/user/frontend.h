// Front ends: who answers a modal dialog or message box when it waits for a
// person.
//
// The window model runs a modal dialog's loop on the dialog's thread. When
// the thread's queue is empty the loop hands control to the front end
// (ModalIdle), which may act on the dialog as a person would (press a button,
// type into an edit field, pick an item) or wait a little for the program's
// own work, and then returns so that the loop can deliver what arrived.
// Message boxes and property sheets are modal dialogs too, so one interface
// covers them all. Every call is made on the dialog's thread; several
// threads may run modal dialogs at once, so front ends are thread-safe.
//
// Three front ends:
//  - ScriptedFrontEnd: a queue of actions for tests, with a way to wait until
//    a dialog is shown and a record of what was shown;
//  - TerminalFrontEnd: for people at a terminal; it shows any dialog
//    generically (title, texts, fields, buttons and check boxes as numbered
//    choices, file names with the platform's separator '/') and takes
//    choices from the keyboard, one prompt at a time for the whole process;
//    progress bars are a live row, with the text that changed last as a
//    status row above it, both redrawn in place above a prompt printed
//    once, and left on the screen in their final state when the dialog
//    ends; file and folder dialogs also offer "p" to type a path (their
//    entry lists are picked like any list);
//  - NonInteractiveFrontEnd: for runs without a terminal; it presses each
//    dialog's default push button once (a message box's MB_DEFBUTTONn;
//    a file or folder dialog that stays open after it is cancelled),
//    never waits for a person, and logs each decision on stderr when the
//    environment variable WU_FRONTEND_LOG is set (and not "0"). Each
//    message box it answers is written as one paragraph "caption: text"
//    (the text alone when the caption is empty):
//    a lone OK box without an icon (such as a usage text) to standard
//    output, every other box (errors, warnings, questions) to standard
//    error, so that nothing a box says is lost without a terminal.
// Without SetFrontEnd the model picks the terminal front end when standard
// input and output are both terminals, else the non-interactive one.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/user/windows.h"

namespace platform {

// What the window model asks of a front end.
class FrontEnd {
 public:
  virtual ~FrontEnd() = default;
  // A modal dialog has been shown and initialised; its loop starts.
  virtual void ModalBegin(HWND dialog) = 0;
  // The loop has nothing to deliver: act for the person, or wait briefly
  // (at most a few hundred milliseconds, returning early when the thread's
  // queue gets input, e.g. with MsgWaitForMultipleObjects), then return.
  virtual void ModalIdle(HWND dialog) = 0;
  // The loop ended with `result`; the dialog still exists.
  virtual void ModalEnd(HWND dialog, INT_PTR result) = 0;
  // A control shows something new (a progress position, a static text). Called
  // on the control's thread for every control, shown in a dialog or not.
  virtual void ControlChanged(HWND control) {}
};

// Installs a front end (null: the automatic choice). The caller keeps it
// alive while it is installed; a modal loop that is running keeps the front
// end it started with.
void SetFrontEnd(FrontEnd* front_end);
// The installed front end, or the automatic one.
FrontEnd* CurrentFrontEnd();
// Passes a control's change to the current front end.
void NotifyControlChanged(HWND control);

// ---- What front ends share --------------------------------------------------------------

// The kind of a control as a front end sees it.
enum class ControlKind {
  kOther,        // anything else (not shown)
  kText,         // a static text
  kPushButton,   // a push button (default or not)
  kCheckBox,     // a check box (any kind)
  kRadioButton,  // a radio button
  kGroupBox,     // a group box (its text is a heading)
  kEdit,         // an edit field
  kList,         // a list box
  kCombo,        // a combo box
  kProgress,     // a progress bar
  kTabs,         // a tab control
};

// One visible control of a dialog (its descendants included, so a property
// sheet's current page shows too), in tab order. A toolbar shows as its
// visible, enabled buttons, each a push button named by its tip (or, with
// no tip, by its text).
struct ControlInfo {
  HWND hwnd;                         // the control
  ControlKind kind;                  // what it is
  int id;                            // its id
  std::u16string text;               // its text (for lists: the selected item)
  bool enabled;                      // can be used
  bool is_default;                   // the dialog's default push button
  int check;                         // BST_* of a check box or radio button
  std::vector<std::u16string> items; // list, combo and tab items
  int selected;                      // selected item (-1: none)
  int progress_min, progress_max;    // progress range
  int progress_pos;                  // progress position
  bool tool_button;                  // a toolbar's button: hwnd the toolbar, id its command, text its tip
};

// The visible controls of a dialog, as front ends show them.
std::vector<ControlInfo> DescribeDialog(HWND dialog);
// A window's text.
std::u16string WindowText(HWND window);
// A text without its '&' mnemonic markers ("&&" stays one '&').
std::u16string StripMnemonics(const std::u16string& text);
// What a person's actions do to a control (on the control's thread): a
// click of a button, a text typed into a field, an item picked in a list,
// combo box or tab control (with the notifications a person's choice sends).
// FALSE when the control cannot take the action (missing, disabled, wrong
// kind).
bool PressControl(HWND control);
bool TypeIntoControl(HWND control, const std::u16string& text);
bool PickInControl(HWND control, int index);
// A toolbar button's tip: the answer to TTN_GETDISPINFOW sent to the
// toolbar for its command (the toolbar passes it to its parent when it has
// TBSTYLE_TOOLTIPS); empty when there is none.
std::u16string ToolbarButtonTip(HWND toolbar, int command);
// Clicks a toolbar button as a person would (the left button pressed and
// released over it). FALSE when the toolbar or the button is missing,
// hidden or disabled, or is a separator.
bool PressToolbarButton(HWND toolbar, int command);
// What Enter and Escape do in a dialog: the default push button (or IDOK),
// IDCANCEL.
void PressEnter(HWND dialog);
void PressEscape(HWND dialog);
// The default push button's id (DM_GETDEFID), or 0 when there is none.
int DefaultButtonId(HWND dialog);

// Dialogs that choose a file or a folder (the open and save dialogs, the
// folder browser) tell front ends how a person picks a path in them.
struct PathChooser {
  bool folders_only;                                         // a folder browser
  std::u16string (*current)(HWND dialog);                    // the path chosen so far (may be empty)
  bool (*choose)(HWND dialog, const std::u16string& path);   // picks a path as a person would
};
// Attaches a chooser to a dialog (null: removes it); the record must
// outlive the dialog.
void SetPathChooser(HWND dialog, const PathChooser* chooser);
// The dialog's chooser, or null.
const PathChooser* GetPathChooser(HWND dialog);
// Picks a path in a file or folder dialog as a person would: the folder
// browser selects the folder in its tree; a file dialog goes to the
// folder (a path naming a folder) or to the file's folder and puts the
// file's name into its name field. OK is not pressed. FALSE when the
// dialog chooses no paths or refuses this one (e.g. a missing folder).
bool ChoosePath(HWND dialog, const std::u16string& path);

// ---- The scripted driver (tests) ------------------------------------------------------------

// A queue of actions played against modal dialogs. Each action goes to the
// most recently shown modal dialog that is still open, or, when the action
// names a title, to the most recent open dialog with exactly that title;
// the dialog's own thread performs it. A failed action (no such control,
// disabled, wrong kind) is recorded in errors() and dropped. With the queue
// empty the driver just lets the dialog run (a dialog the program ends by
// itself, such as a progress page, needs no action). Press and PressText
// reach a toolbar's buttons too, by command and by tip, when no other
// visible control has that id or text.
class ScriptedFrontEnd : public FrontEnd {
 public:
  // What was shown: one record per modal dialog, taken when it started.
  struct Shown {
    HWND hwnd;                         // the dialog
    std::u16string title;              // its title
    std::vector<std::u16string> texts; // its static texts, in order
    bool message_box;                  // made by MessageBoxW
    INT_PTR result;                    // how it ended (while open: -1)
    bool open;                         // still running
  };

  ScriptedFrontEnd();
  ~ScriptedFrontEnd() override;

  // Actions. `title` empty: the most recent open dialog.
  ScriptedFrontEnd& Press(int id, const std::u16string& title = {});
  ScriptedFrontEnd& PressText(const std::u16string& text, const std::u16string& title = {});
  ScriptedFrontEnd& Type(int id, const std::u16string& text, const std::u16string& title = {});
  ScriptedFrontEnd& Check(int id, bool checked, const std::u16string& title = {});
  ScriptedFrontEnd& Pick(int id, int index, const std::u16string& title = {});
  ScriptedFrontEnd& PickPage(int index, const std::u16string& title = {});
  ScriptedFrontEnd& Enter(const std::u16string& title = {});
  ScriptedFrontEnd& Escape(const std::u16string& title = {});
  // Answers the next message box with a button id.
  ScriptedFrontEnd& Answer(int id);
  // Picks a path in a file or folder dialog (platform::ChoosePath).
  ScriptedFrontEnd& ChoosePath(const std::u16string& path, const std::u16string& title = {});
  // Holds the later actions until a dialog with this title is open.
  ScriptedFrontEnd& WaitFor(const std::u16string& title);
  // Runs code on the dialog's thread (e.g. to look at it).
  ScriptedFrontEnd& Run(std::function<void(HWND)> action, const std::u16string& title = {});

  // Waits (at most `milliseconds`) until a dialog with this title (empty:
  // any) is open; its handle or NULL.
  HWND WaitShown(const std::u16string& title, DWORD milliseconds);
  // TRUE when every action has been played.
  bool Done();
  std::vector<Shown> shown();
  std::vector<std::string> errors();

  void ModalBegin(HWND dialog) override;
  void ModalIdle(HWND dialog) override;
  void ModalEnd(HWND dialog, INT_PTR result) override;

 private:
  enum class Kind { kPress, kPressText, kType, kCheck, kPick, kPickPage, kEnter, kEscape,
                    kAnswer, kWaitFor, kRun, kChoosePath };
  struct Action {
    Kind kind;                           // what to do
    int id = 0;                          // control id / button id / page
    int value = 0;                       // check state or item index
    std::u16string text;                 // text to type or button text
    std::u16string title;                // target dialog title (empty: most recent)
    std::function<void(HWND)> run;       // kRun
  };

  ScriptedFrontEnd& Add(Action action);
  HWND TargetLocked(const Action& action);
  void Apply(HWND dialog, const Action& action);
  void WakeOpenDialogsLocked();

  std::mutex lock_;                       // guards everything below
  std::condition_variable changed_;       // a dialog opened or closed, an action was played
  std::deque<Action> actions_;            // actions still to play
  std::vector<Shown> shown_;              // every dialog shown, oldest first
  std::vector<std::string> errors_;       // failed actions
};

// ---- The terminal front end ---------------------------------------------------------------

// Shows dialogs on a terminal and takes choices from it (both file
// descriptors, by default 0 and 1). While a dialog is shown the terminal is
// switched to non-canonical input without echo, and restored afterwards.
class TerminalFrontEnd : public FrontEnd {
 public:
  explicit TerminalFrontEnd(int input_fd = 0, int output_fd = 1);
  ~TerminalFrontEnd() override;

  void ModalBegin(HWND dialog) override;
  void ModalIdle(HWND dialog) override;
  void ModalEnd(HWND dialog, INT_PTR result) override;
  void ControlChanged(HWND control) override;

 private:
  struct Session;
  Session* TopLocked();
  Session* FindLocked(HWND dialog);
  // Shows the dialog; with `prompt`, its live rows and the prompt after it.
  void RenderLocked(Session& session, bool prompt = true);
  // The live rows (a dialog with bars: the last changed text, the bars).
  std::vector<std::string> LiveRowsLocked(Session& session);
  // Draws the live rows and the prompt from the current line on.
  void DrawLiveLineLocked(Session& session);
  // Redraws the live rows in place, leaving the prompt line as it is.
  void UpdateLiveRowsLocked(Session& session);
  // Redraws the prompt line (prompt and what is typed).
  void DrawPromptLocked(Session& session);
  // The terminal's width in columns.
  int WidthLocked();
  void WriteLocked(const std::string& text);
  void HandleLine(HWND dialog, const std::string& line);
  void RawModeLocked(bool on);

  int in_;                                     // input descriptor
  int out_;                                    // output descriptor
  std::mutex lock_;                            // the terminal: one prompt at a time
  std::vector<std::unique_ptr<Session>> sessions_;  // open dialogs, newest last
  bool raw_ = false;                           // the terminal is in our mode
  void* saved_termios_ = nullptr;              // the mode to restore
};

// ---- The non-interactive front end ----------------------------------------------------------

class NonInteractiveFrontEnd : public FrontEnd {
 public:
  NonInteractiveFrontEnd();
  ~NonInteractiveFrontEnd() override;
  void ModalBegin(HWND dialog) override;
  void ModalIdle(HWND dialog) override;
  void ModalEnd(HWND dialog, INT_PTR result) override;

 private:
  void Log(const std::string& line);
  void WriteBox(HWND dialog);

  std::mutex lock_;              // guards pressed_ and the box counts
  int boxes_out_ = 0;            // boxes written to standard output
  int boxes_err_ = 0;            // boxes written to standard error
  std::vector<HWND> pressed_;    // dialogs whose default was pressed (or that have none)
  bool log_;                     // WU_FRONTEND_LOG asks for log lines
};

}  // namespace platform
