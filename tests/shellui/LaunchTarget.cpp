// The application that the launch tests register for their project type.
// It carries a version block with the library's three keys
// (LaunchTarget.rc), so it counts as one of the library's own applications.
//
//   launch_target ARGS...            writes its arguments, one a line, to
//                                    $WU_STATE_ROOT/launch-record.txt and ends
//   launch_target --window CLASS     shows a top-level window of CLASS, writes
//                                    $WU_STATE_ROOT/window-ready.txt, answers
//                                    WM_COPYDATA with 1 and writes its dwData,
//                                    byte count and text to
//                                    $WU_STATE_ROOT/copydata.txt; it runs until
//                                    the test ends it, at most 20 s
//
// Each file is written under a temporary name and renamed, so a reader sees
// it whole or not at all.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "platform/kernel/types.h"
#include "platform/user/windows.h"

namespace {

std::string g_root;

void WriteWhole(const std::string& name, const std::string& text) {
  std::string path = g_root + "/" + name;
  {
    std::ofstream out(path + ".tmp", std::ios::binary);
    out << text;
  }
  std::rename((path + ".tmp").c_str(), path.c_str());
}

std::string Utf8(const char16_t* text, size_t units) {
  std::string out;
  for (size_t i = 0; i < units; ++i) {
    char32_t c = text[i];
    if (c < 0x80) {
      out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (c >> 6)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xE0 | (c >> 12)));
      out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
  }
  return out;
}

LRESULT WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_COPYDATA) {
    const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lparam);
    // "dwData bytes text" where the text is the data up to its last unit;
    // "nul" or "unterminated" says whether that unit is a NUL.
    size_t units = data->cbData / 2;
    const auto* text = static_cast<const char16_t*>(data->lpData);
    bool terminated = units > 0 && text[units - 1] == 0;
    WriteWhole("copydata.txt", std::to_string(data->dwData) + " " + std::to_string(data->cbData) +
                                   " " + (terminated ? "nul" : "unterminated") + "\n" +
                                   Utf8(text, terminated ? units - 1 : units) + "\n");
    // Running on: the answer still travels back to the sender after this.
    return 1;
  }
  if (message == WM_TIMER) {
    PostQuitMessage(1);
    return 0;
  }
  return DefWindowProcW(window, message, wparam, lparam);
}

int RunWindow(const char* className) {
  std::u16string name;
  for (const char* p = className; *p; ++p) name.push_back(static_cast<char16_t>(*p));
  WNDCLASSW wc{};
  wc.lpfnWndProc = WindowProc;
  wc.lpszClassName = name.c_str();
  if (!RegisterClassW(&wc)) return 3;
  HWND window = CreateWindowExW(0, name.c_str(), u"Launch target", WS_OVERLAPPEDWINDOW, 0, 0, 100,
                                100, nullptr, nullptr, nullptr, nullptr);
  if (!window) return 4;
  SetTimer(window, 1, 20000, nullptr);
  WriteWhole("window-ready.txt", "ready\n");
  MSG msg;
  int code = 0;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
  code = static_cast<int>(msg.wParam);
  DestroyWindow(window);
  return code;
}

}  // namespace

int main(int argc, char** argv) {
  const char* root = std::getenv("WU_STATE_ROOT");
  if (!root) return 2;
  g_root = root;
  if (argc == 3 && std::string(argv[1]) == "--window") return RunWindow(argv[2]);
  std::string record;
  for (int i = 1; i < argc; ++i) record += std::string(argv[i]) + "\n";
  WriteWhole("launch-record.txt", record);
  return 0;
}
