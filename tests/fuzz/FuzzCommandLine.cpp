// Fuzz target of the self-extractor's command line: the input is the
// command line (UTF-8) followed by up to eight response files, each after a
// zero byte. The files are written as "r1".."r8" into the current folder,
// so "@r1" names the first; the line is split and applied as at start-up.
#include <cstdint>
#include <string>
#include <vector>

#include "Sfx/SfxCommandLine.h"
#include "Sfx/SfxRunState.h"
#include "platform/kernel/locale.h"
#include "platform/kernel/memory.h"
#include "tests/fuzz/FuzzSession.h"
#include "tests/fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string& root = wufuzz::Root();
  wufuzz::ResetSfxRun();
  std::vector<std::string> parts = wufuzz::SplitInput(data, size, '\0', 9);
  for (size_t i = 1; i < 9; ++i) {
    std::string file = root + "/work/r" + std::to_string(i);
    if (i < parts.size())
      wufuzz::WriteFile(file, parts[i].data(), parts[i].size());
    else
      wufuzz::RemoveTree(file);
  }
  std::u16string line = platform::ToUtf16(parts[0]);

  // The splitter on its own: the block must end where the count says.
  int count = -1;
  LPWSTR* arguments = SfxSplitCommandLine(line.c_str(), &count);
  if (arguments) {
    for (int i = 0; i < count; ++i)
      if (!arguments[i]) wufuzz::Fail("argument missing", std::to_string(i));
    if (arguments[count]) wufuzz::Fail("argument list not ended", std::to_string(count));
    GlobalFree(arguments);
  } else if (count != 0) {
    wufuzz::Fail("no block but a count", std::to_string(count));
  }

  SfxProcessCommandLine(line.c_str(), FALSE);
  wufuzz::ResetSfxRun();
  return 0;
}
