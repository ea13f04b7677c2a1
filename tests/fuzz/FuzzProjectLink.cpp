// Fuzz target of the project-link loaders: the input is a file, loaded as a
// RIFF and as a RIFF64 form. Neither load may change the file; a failed
// load leaves the record empty; a loaded record's texts end in a NUL unit
// within their size, and its embedded project list answers without reading
// outside its block. Copies of the record are made and destroyed, and every
// block comes back.
#include <cstdint>
#include <string>

#include "platform/kernel/files.h"
#include "platform/kernel/handles.h"
#include "platform/kernel/locale.h"
#include "platform/kernel/memory.h"
#include "shellui/ProjectLinkChunks.h"
#include "tests/fuzz/FuzzSupport.h"

namespace {

// A present text field must end in a NUL unit within its even size.
void CheckText(DWORD flags, DWORD bit, LPCWSTR text, DWORD size, const std::string& path) {
  if (!(flags & bit)) return;
  if (!text || size < 2 || (size & 1) || text[size / 2 - 1] != 0)
    wufuzz::Fail("a loaded text is not terminated", path);
}

void CheckLoaded(const CWuLinkProjectInfo& info, const std::string& path) {
  DWORD flags = info.GetFlags();
  CheckText(flags, WULPI_PROJECT_PATH, info.GetProjectPath(), info.GetProjectPathSize(), path);
  CheckText(flags, WULPI_COMMAND_LINE, info.GetCommandLineW(), info.GetCommandLineSize(), path);
  CheckText(flags, WULPI_TEMPLATE_NAME, info.GetTemplateName(), info.GetTemplateNameSize(), path);
  CheckText(flags, WULPI_CREATOR_APP_INFO, info.GetCreatorAppInfo(), info.GetCreatorAppInfoSize(),
            path);
  CheckText(flags, WULPI_CREATOR_WINDOW_CLASS, info.GetCreatorAppWindowClassName(),
            info.GetCreatorAppWindowClassNameSize(), path);
  WCHAR text[8];
  info.GetCommandLineW(text, 8);
  info.GetCreatorAppInfo(text, 8);
  if (flags & WULPI_PROJECT_DATA) {
    // Look up the list's first sub-chunk (when it has one) and a missing id.
    const BYTE* list = static_cast<const BYTE*>(info.GetProjectData());
    DWORD size = 0;
    if (info.GetProjectDataSize() >= 20) {
      FOURCC id = list[12] | list[13] << 8 | list[14] << 16 | static_cast<DWORD>(list[15]) << 24;
      if (SUCCEEDED(info.GetProjectData(id, nullptr, &size))) {
        std::string data(size, '\0');
        info.GetProjectData(id, data.data(), &size);
      }
    }
    size = 0;
    info.GetProjectData(RiffId("\x01\x02\x03\x04"), nullptr, &size);
    CWuLinkProjectInfo copy(info);
    const char add[3] = {'a', 'b', 'c'};
    copy.SetProjectData(RiffId("fuzz"), add, 3);
  }
  info.Validate();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string path = wufuzz::Root() + "/work/link.bin";
  if (!wufuzz::WriteFile(path, data, size)) wufuzz::Fail("cannot write", path);
  std::u16string wide = platform::ToUtf16(path);
  size_t blocks = platform::LiveGlobalBlockCount();
  HANDLE file = CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                            nullptr);
  if (file == INVALID_HANDLE_VALUE) wufuzz::Fail("cannot open", path);
  for (auto load : {ProjectLinkRiff_LoadInfo, ProjectLinkRiff64_LoadInfo}) {
    CWuLinkProjectInfo info;
    info.SetTemplateName(u"left over");
    int loaded = -1;
    HRESULT hr = load(file, &info, &loaded);
    if (FAILED(hr)) {
      if (loaded != 0 || info.GetFlags() != 0 || info.GetTemplateName())
        wufuzz::Fail("a failed load left fields", path);
      continue;
    }
    if (loaded != 0 && loaded != 1) wufuzz::Fail("a load gave no flag", path);
    CheckLoaded(info, path);
    CWuLinkProjectInfo copy;
    copy = info;
    CheckLoaded(copy, path);
  }
  LARGE_INTEGER now;
  if (!GetFileSizeEx(file, &now) || now.QuadPart != static_cast<LONGLONG>(size))
    wufuzz::Fail("a loader changed the file", path);
  CloseHandle(file);
  if (platform::LiveGlobalBlockCount() != blocks) wufuzz::Fail("a block leaked", path);
  return 0;
}
