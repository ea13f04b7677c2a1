// Response files: "@file" arguments whose text holds further arguments.
#include "Sfx/SfxCommandLine.h"

#include "foundation/WuStatus.h"
#include "platform/kernel/files.h"
#include "platform/kernel/handles.h"
#include "platform/kernel/locale.h"
#include "platform/kernel/memory.h"

namespace {

// Nesting of response files on this thread (a file naming itself, directly
// or through others, would otherwise recurse until the stack runs out).
thread_local int t_responseDepth = 0;
// Response files read on this thread below the outermost one being read (a
// file naming itself many times would fan out without end within the depth
// limit).
thread_local int t_responseFiles = 0;

// Largest response file read, in bytes: the converter counts in int.
constexpr LONGLONG kMaxResponseBytes = 0x7FFFFFF0;

// Reads a whole file into a zero-filled block with two spare zero bytes.
HRESULT ReadWholeFile(LPCWSTR path, char** bytes) {
  *bytes = nullptr;
  HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return WU_E_OPEN_FILE;
  HRESULT hr = S_OK;
  LARGE_INTEGER size = {};
  char* block = nullptr;
  if (!GetFileSizeEx(file, &size) || size.QuadPart < 0) {
    hr = WU_E_READ;
  } else if (size.QuadPart > kMaxResponseBytes) {
    hr = E_OUTOFMEMORY;
  } else {
    block = static_cast<char*>(GlobalAlloc(GPTR, static_cast<SIZE_T>(size.QuadPart) + 2));
    if (!block) hr = E_OUTOFMEMORY;
  }
  DWORD total = 0;
  while (SUCCEEDED(hr) && total < static_cast<DWORD>(size.QuadPart)) {
    DWORD got = 0;
    if (!ReadFile(file, block + total, static_cast<DWORD>(size.QuadPart) - total, &got, nullptr) ||
        got == 0)
      hr = WU_E_READ;  // a file that cannot be read whole is not taken as empty
    total += got;
  }
  CloseHandle(file);
  if (FAILED(hr)) {
    if (block) GlobalFree(block);
    return hr;
  }
  *bytes = block;
  return S_OK;
}

// Converts the ANSI text up to its first zero byte into a new block of
// UTF-16 (GlobalFree).
HRESULT AnsiToWide(const char* bytes, WCHAR** text) {
  *text = nullptr;
  // No flags: the platform's UTF-8 code page refuses any but the error flag.
  int units = MultiByteToWideChar(CP_ACP, 0, bytes, -1, nullptr, 0);
  if (units <= 0) return WU_E_BAD_DATA;
  auto* wide = static_cast<WCHAR*>(GlobalAlloc(GPTR, static_cast<SIZE_T>(units) * sizeof(WCHAR)));
  if (!wide) return E_OUTOFMEMORY;
  if (MultiByteToWideChar(CP_ACP, 0, bytes, -1, wide, units) <= 0) {
    GlobalFree(wide);
    return WU_E_BAD_DATA;
  }
  *text = wide;
  return S_OK;
}

// TRUE when the text holds nothing but white space.
bool OnlyWhiteSpace(const WCHAR* text) {
  for (; *text; ++text)
    if (!platform::IsWhiteSpace(*text)) return false;
  return true;
}

}  // namespace

HRESULT SfxReadResponseFile(LPCWSTR path) {
  if (!path) return E_INVALIDARG;
  if (t_responseDepth >= SFX_MAX_RESPONSE_DEPTH) return E_INVALIDARG;
  if (t_responseDepth == 0) t_responseFiles = 0;
  if (++t_responseFiles > SFX_MAX_RESPONSE_FILES) return E_INVALIDARG;
  char* bytes = nullptr;
  HRESULT hr = ReadWholeFile(path, &bytes);
  if (FAILED(hr)) return hr;
  WCHAR* text = nullptr;
  hr = AnsiToWide(bytes, &text);
  GlobalFree(bytes);
  if (FAILED(hr)) return hr;
  int count = 0;
  LPWSTR* arguments = SfxSplitCommandLine(text, &count);
  // No arguments from a text of white space only means nothing to apply;
  // from any other text the split could not allocate.
  bool empty = OnlyWhiteSpace(text);
  GlobalFree(text);
  if (!arguments) return empty ? 1 : E_OUTOFMEMORY;
  ++t_responseDepth;
  hr = SfxProcessOptions(arguments, 0, count);
  --t_responseDepth;
  GlobalFree(arguments);
  return hr;
}
