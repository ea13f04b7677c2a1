// The test program's side of the plug-in kit: the counters the plug-ins
// report to, and the platform functions and library exports the test
// plug-ins call, kept in the program's exported symbols.
#include <map>
#include <mutex>
#include <string>

#include "fileio/CWuTemplateInfoPropPage.h"
#include "platform/com/com.h"
#include "platform/com/oleauto.h"
#include "platform/kernel/files.h"
#include "platform/kernel/handles.h"
#include "platform/kernel/memory.h"
#include "platform/kernel/threads.h"
#include "platform/user/windows.h"
#include "tests/fileio/kit/WuFioTestCounters.h"

namespace {

std::mutex g_lock;
std::map<std::string, wu_test::PluginCounts> g_counts;
std::map<std::string, std::u16string> g_notes;

}  // namespace

extern "C" void WuFioTestReport(const char* plugin, int counter, LONG delta) {
  if (!plugin || counter < 0 || counter >= kWuFioTestCounterCount) return;
  std::lock_guard<std::mutex> hold(g_lock);
  wu_test::PluginCounts& counts = g_counts[plugin];
  counts.values[counter] += delta;
  counts.lastThread = GetCurrentThreadId();
}

extern "C" void WuFioTestNote(const char* channel, const char16_t* text) {
  if (!channel) return;
  std::lock_guard<std::mutex> hold(g_lock);
  g_notes[channel] = text ? text : u"";
}

namespace wu_test {

std::u16string PluginNote(const char* channel) {
  std::lock_guard<std::mutex> hold(g_lock);
  auto found = g_notes.find(channel);
  return found == g_notes.end() ? std::u16string() : found->second;
}

PluginCounts PluginCountsOf(const char* plugin) {
  std::lock_guard<std::mutex> hold(g_lock);
  auto found = g_counts.find(plugin);
  return found == g_counts.end() ? PluginCounts{} : found->second;
}

void ResetPluginCounts() {
  std::lock_guard<std::mutex> hold(g_lock);
  g_counts.clear();
  g_notes.clear();
}

// The platform functions test plug-ins call. The program would not link
// the ones it does not call itself, and the linker may drop unreferenced
// code; taking their addresses here keeps them among its exports.
extern void* const g_pluginImports[];
__attribute__((used)) void* const g_pluginImports[] = {
    reinterpret_cast<void*>(&CreateStreamOnHGlobal),
    reinterpret_cast<void*>(&SysAllocString),
    reinterpret_cast<void*>(&SysFreeString),
    reinterpret_cast<void*>(&GlobalAlloc),
    reinterpret_cast<void*>(&GlobalFree),
    reinterpret_cast<void*>(&CreateFileW),
    reinterpret_cast<void*>(&ReadFile),
    reinterpret_cast<void*>(&CloseHandle),
    // The property pages of fio_test_renderer.
    reinterpret_cast<void*>(&CoTaskMemAlloc),
    reinterpret_cast<void*>(&CreateDialogIndirectParamW),
    reinterpret_cast<void*>(&DestroyWindow),
    reinterpret_cast<void*>(&MoveWindow),
    reinterpret_cast<void*>(&ShowWindow),
    reinterpret_cast<void*>(&EnableWindow),
    reinterpret_cast<void*>(&GetDlgItem),
    reinterpret_cast<void*>(&CheckDlgButton),
    reinterpret_cast<void*>(&GetWindowLongPtrW),
    reinterpret_cast<void*>(&SetWindowLongPtrW),
    reinterpret_cast<void*>(&GetDialogBaseUnits),
    // The library's information page, which fio_test_renderer offers.
    reinterpret_cast<void*>(&WuFio_CreateTemplateInfoPropPage),
};

}  // namespace wu_test
