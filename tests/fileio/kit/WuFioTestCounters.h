// What test plug-ins report to the test program that loads them: counters
// per plug-in name, kept in the program so they outlive the plug-in's
// unloading. A plug-in reports through WuFioTestReport, which the program
// exports; a host that exports nothing cannot load a test plug-in.
#pragma once

#include <string>

#include "platform/kernel/types.h"

// The counters of one plug-in.
enum WuFioTestCounter : int {
  kWuFioTestLoads = 0,      // the library was loaded
  kWuFioTestUnloads = 1,    // the library was unloaded
  kWuFioTestCreations = 2,  // objects made by a class factory
  kWuFioTestCalls = 3,      // operations called on the plug-in's objects
  kWuFioTestLive = 4,       // objects (factories included) not yet destroyed
  kWuFioTestCounterCount = 5,
};

// Adds `delta` to counter `counter` of plug-in `plugin` and notes the
// calling thread. Defined by the test program.
extern "C" __attribute__((visibility("default"))) void WuFioTestReport(const char* plugin,
                                                                      int counter,
                                                                      LONG delta);

// Keeps `text` (UTF-16, NULL for none) as the last note of `channel`.
// Defined by the test program.
extern "C" __attribute__((visibility("default"))) void WuFioTestNote(const char* channel,
                                                                    const char16_t* text);

namespace wu_test {

// A plug-in's counters as the test program holds them.
struct PluginCounts {
  LONG values[kWuFioTestCounterCount] = {};  // by WuFioTestCounter
  DWORD lastThread = 0;                      // thread of the last report
  LONG operator[](WuFioTestCounter c) const { return values[c]; }
};

// The counters of `plugin` (all zero when it never reported).
PluginCounts PluginCountsOf(const char* plugin);
// The last note of `channel` (empty when none).
std::u16string PluginNote(const char* channel);
// Forgets every plug-in's counters and notes.
void ResetPluginCounts();

}  // namespace wu_test
