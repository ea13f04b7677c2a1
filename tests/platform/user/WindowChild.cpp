// The child program of the tests of windows of other processes. It makes a
// top-level window of class argv[1] and one of class "WuChildOther", then:
//   pump    runs a message loop; the first window answers WM_COPYDATA with
//           argv[2] (a number) after writing the file argv[3]: "main" or
//           "other" (the thread the procedure ran on), a zero byte, dwData
//           in decimal, a zero byte, then the bytes carried
//   hang    never looks at its queue again (sends to it wait forever)
//   return  answers the first WM_COPYDATA as pump does, then at once
//           destroys its windows and returns from main (exit code 0)
//   exit    the same, but ends through ExitProcess(0)
//   exit-open  answers, then ends through ExitProcess(0) with its windows
//           still open
//   stuck   waits until a message is sent to it without ever answering,
//           then ends through ExitProcess(0) (the sender's request is
//           left in its handler)
// argv[4] is the mode. pump and hang run until the test ends them.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/kernel/files.h"
#include "platform/kernel/locale.h"
#include "platform/kernel/process.h"
#include "platform/kernel/threads.h"
#include "platform/user/windows.h"

namespace {

DWORD g_main_thread = 0;
bool g_quit_after_answer = false;
LRESULT g_answer = 0;
std::string g_record;

LRESULT Proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_COPYDATA) {
    const auto* cds = reinterpret_cast<const COPYDATASTRUCT*>(lparam);
    std::string out = GetCurrentThreadId() == g_main_thread ? "main" : "other";
    out += '\0';
    out += std::to_string(cds->dwData);
    out += '\0';
    if (cds->cbData) out.append(static_cast<const char*>(cds->lpData), cds->cbData);
    // Written beside the record and renamed, so the test reads it whole.
    std::string temporary = g_record + ".tmp";
    FILE* f = std::fopen(temporary.c_str(), "wb");
    if (f) {
      std::fwrite(out.data(), 1, out.size(), f);
      std::fclose(f);
      std::rename(temporary.c_str(), g_record.c_str());
    }
    if (g_quit_after_answer) PostQuitMessage(0);
    return g_answer;
  }
  return DefWindowProcW(window, message, wparam, lparam);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 5) return 2;
  g_main_thread = GetCurrentThreadId();
  g_answer = static_cast<LRESULT>(std::strtoll(argv[2], nullptr, 10));
  g_record = argv[3];
  const std::string mode = argv[4];
  g_quit_after_answer = mode == "return" || mode == "exit" || mode == "exit-open";
  const std::u16string name = platform::ToUtf16(argv[1]);
  HWND windows[2] = {};
  int made = 0;
  for (const char16_t* cls : {name.c_str(), u"WuChildOther"}) {
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = Proc;
    wc.lpszClassName = cls;
    if (!RegisterClassExW(&wc)) return 3;
    windows[made] = CreateWindowExW(0, cls, u"child", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100,
                                    nullptr, nullptr, nullptr, nullptr);
    if (!windows[made++]) return 3;
  }
  if (mode == "hang") {
    while (true) Sleep(INFINITE);
  }
  if (mode == "stuck") {
    while (!(GetQueueStatus(QS_SENDMESSAGE) & QS_SENDMESSAGE)) Sleep(1);
    ExitProcess(0);
  }
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
  // The answer was given just now: the last window takes the endpoint
  // along, and the process ends at once.
  if (mode == "exit-open") ExitProcess(0);
  for (HWND window : windows) DestroyWindow(window);
  if (mode == "exit") ExitProcess(0);
  return 0;
}
