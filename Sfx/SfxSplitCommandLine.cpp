// Splitting a command line into arguments, in place in one block.
#include "Sfx/SfxCommandLine.h"

#include "platform/kernel/locale.h"
#include "platform/kernel/memory.h"

namespace {

// Splits the text at `text` in place: arguments are terminated where they
// end, quote characters are removed. Stores up to `capacity` argument
// pointers and returns how many there are.
int SplitInPlace(WCHAR* text, LPWSTR* arguments, int capacity) {
  int count = 0;
  WCHAR* read = text;
  for (;;) {
    while (*read && platform::IsWhiteSpace(*read)) ++read;
    if (!*read) break;
    // The argument is written from where it starts; removed quotes let the
    // write position fall behind the read position.
    WCHAR* write = read;
    if (count < capacity) arguments[count] = write;
    ++count;
    bool quoted = false;
    while (*read) {
      WCHAR c = *read;
      if (c == u'"') {
        if (quoted && read[1] == u'"') {  // "" inside quotes: one literal quote
          *write++ = u'"';
          read += 2;
        } else {
          quoted = !quoted;
          ++read;
        }
      } else if (!quoted && platform::IsWhiteSpace(c)) {
        ++read;
        break;
      } else {
        *write++ = c;
        ++read;
      }
    }
    *write = 0;
  }
  return count;
}

}  // namespace

LPWSTR* SfxSplitCommandLine(LPCWSTR text, int* count) {
  if (count) *count = 0;
  if (!text || !*text) return nullptr;
  SIZE_T length = platform::WStrLen(text);
  // Every argument but the last is followed by at least one white space, so
  // there are at most (length + 1) / 2 of them; one more slot ends the array.
  SIZE_T slots = (length + 1) / 2 + 1;
  SIZE_T bytes = slots * sizeof(LPWSTR) + (length + 1) * sizeof(WCHAR);
  auto* block = static_cast<BYTE*>(GlobalAlloc(GPTR, bytes));
  if (!block) return nullptr;
  auto* arguments = reinterpret_cast<LPWSTR*>(block);
  auto* copy = reinterpret_cast<WCHAR*>(block + slots * sizeof(LPWSTR));
  for (SIZE_T i = 0; i <= length; ++i) copy[i] = text[i];
  int n = SplitInPlace(copy, arguments, static_cast<int>(slots - 1));
  if (n == 0) {
    GlobalFree(block);
    return nullptr;
  }
  if (count) *count = n;
  return arguments;
}
