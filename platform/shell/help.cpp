#include "platform/shell/help.h"

#include <mutex>

#include "platform/kernel/cpu.h"
#include "platform/kernel/error.h"
#include "platform/kernel/files.h"
#include "platform/kernel/posix_io.h"
#include "platform/user/windows.h"

namespace {

// What the help entries keep between calls.
struct HelpState {
  std::mutex lock;                              // guards the fields below
  std::vector<platform::HelpRequest> requests;  // every request, oldest first
  HWND viewer = nullptr;                        // the help window, once made
};

HelpState& State() {
  static HelpState* state = new HelpState;  // lives to process exit
  return *state;
}

void Record(const platform::HelpRequest& request) {
  HelpState& state = State();
  std::lock_guard<std::mutex> guard(state.lock);
  state.requests.push_back(request);
}

// A request as the caller made it, not yet answered.
platform::HelpRequest NewRequest(platform::HelpRequest::Kind kind, HWND window, LPCWSTR file,
                                 UINT command, DWORD_PTR data) {
  platform::HelpRequest request;
  request.kind = kind;
  request.window = window;
  request.file = file ? file : u"";
  request.command = command;
  request.data = data;
  return request;
}

// WinHelp is gone from version 6.0 on.
bool WinHelpRefused() {
  platform::SystemModel model = platform::CurrentSystemModel();
  return model.platform_id == VER_PLATFORM_WIN32_NT && model.major >= 6;
}

// TRUE when the file part of a help name exists: the name up to "::" (a
// topic inside the file) or '>' (a window name).
bool HelpFileExists(const std::u16string& name) {
  size_t cut = name.size();
  size_t topic = name.find(u"::");
  if (topic != std::u16string::npos) cut = topic;
  size_t window = name.find(u'>');
  if (window != std::u16string::npos && window < cut) cut = window;
  if (cut == 0) return false;
  std::string path = platform::ToLinuxPath(std::u16string_view(name).substr(0, cut));
  return platform::KindOfLinuxPath(path) == platform::LinuxPathKind::kFile;
}

constexpr WCHAR kViewerClass[] = u"WuHelpViewer";

// The help window, made on first use (again when it was destroyed). Its
// class keeps no state of its own.
HWND Viewer() {
  HelpState& state = State();
  std::lock_guard<std::mutex> guard(state.lock);
  if (state.viewer && IsWindow(state.viewer)) return state.viewer;
  WNDCLASSW window_class = {};
  window_class.style = CS_GLOBALCLASS;
  window_class.lpfnWndProc = &DefWindowProcW;
  window_class.lpszClassName = kViewerClass;
  RegisterClassW(&window_class);  // fails harmlessly once registered
  state.viewer = CreateWindowExW(0, kViewerClass, u"Help", WS_POPUP, 0, 0, 400, 300, nullptr,
                                 nullptr, nullptr, nullptr);
  return state.viewer;
}

// Closes the help window when there is one.
void CloseViewer() {
  HWND viewer = nullptr;
  {
    HelpState& state = State();
    std::lock_guard<std::mutex> guard(state.lock);
    viewer = state.viewer;
    state.viewer = nullptr;
  }
  if (viewer && IsWindow(viewer)) DestroyWindow(viewer);
}

HWND HtmlHelpStandIn(HWND caller, LPCWSTR file, UINT command, DWORD_PTR data) {
  platform::HelpRequest request =
      NewRequest(platform::HelpRequest::Kind::kHtmlHelp, caller, file, command, data);
  if (command == HH_DISPLAY_TEXT_POPUP && data) {
    const HH_POPUP* popup = reinterpret_cast<const HH_POPUP*>(data);
    request.has_popup = true;
    request.popup_id = popup->idString;
    request.popup_point = popup->pt;
    request.popup_colors[0] = popup->clrForeground;
    request.popup_colors[1] = popup->clrBackground;
    request.popup_margins = popup->rcMargins;
    request.popup_font = popup->pszFont ? popup->pszFont : u"";
  }
  HWND answer = nullptr;
  if (command == HH_CLOSE_ALL) {
    CloseViewer();  // the call has no window to give
  } else if (!HelpFileExists(request.file)) {
    SetLastError(ERROR_FILE_NOT_FOUND);
  } else {
    answer = Viewer();
  }
  request.succeeded = answer != nullptr;
  Record(request);
  return answer;
}

}  // namespace

BOOL WinHelpW(HWND window, LPCWSTR file, UINT command, ULONG_PTR data) {
  platform::HelpRequest request =
      NewRequest(platform::HelpRequest::Kind::kWinHelp, window, file, command, data);
  if (WinHelpRefused()) {
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
  } else if (command == HELP_QUIT || HelpFileExists(request.file)) {
    request.succeeded = true;
  } else {
    SetLastError(ERROR_FILE_NOT_FOUND);
  }
  Record(request);
  return request.succeeded ? TRUE : FALSE;
}

namespace platform {

std::vector<HelpRequest> HelpRequests() {
  HelpState& state = State();
  std::lock_guard<std::mutex> guard(state.lock);
  return state.requests;
}

void ClearHelpRequests() {
  HelpState& state = State();
  std::lock_guard<std::mutex> guard(state.lock);
  state.requests.clear();
}

void* HelpControlExport(const char* name) {
  if (name && std::string_view(name) == "HtmlHelpW")
    return reinterpret_cast<void*>(&HtmlHelpStandIn);
  return nullptr;
}

}  // namespace platform
