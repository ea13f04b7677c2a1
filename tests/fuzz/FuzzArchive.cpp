// Fuzz target of the "UM" archive reader: the input is a package file. It
// is opened for reading, every entry's facts are read, and when the space
// check passes every entry is extracted into a fresh folder, as the
// self-extractor's worker does. Nothing may land outside that folder.
#include <cstdint>
#include <string>

#include "Sfx/CArchive2.h"
#include "Sfx/CWuArchiveProgress.h"
#include "platform/kernel/locale.h"
#include "platform/kernel/state.h"
#include "tests/fuzz/FuzzSupport.h"

namespace {

// Extraction flags of the control archive: flat, overwriting without asking.
constexpr DWORD kFlatNoAsk = 7;

// Reads every directory fact the reader offers, by index.
void ReadDirectory(CArchive2& archive) {
  LONG count = archive.GetArchiveCount();
  for (LONG i = 0; i < count && i < 4096; ++i) {
    WCHAR name[kUmNameUnits];
    ULONGLONG size = 0;
    DWORD value = 0;
    FILETIME time{};
    archive.GetEntryName(i, name, kUmNameUnits);
    archive.GetEntryUncompressedSize(i, size);
    archive.GetEntryCompressedSize(i, size);
    archive.GetEntryCompressionType(i, value);
    archive.GetEntryFileTime(i, time);
    archive.GetEntryCRC32(i, value);
    archive.GetEntryFileAttributes(i, value);
    archive.ValidateEntry(i);
  }
  WCHAR comment[kUmCommentUnits];
  archive.GetVolumeComment(comment, kUmCommentUnits);
  archive.GetArchiveSize();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string& root = wufuzz::Root();
  const std::string box = root + "/work/archive";
  const std::string package = box + "/package.exe";
  const std::string out = box + "/out";
  const std::string flat = box + "/flat";
  wufuzz::RemoveTree(box);
  if (!platform::MakeDirs(out) || !platform::MakeDirs(flat) || !wufuzz::WriteFile(package, data, size))
    wufuzz::Fail("cannot prepare", box);

  CWuArchiveProgress* progress = new CWuArchiveProgress();
  CArchive2* archive = new CArchive2();
  if (!progress || !archive) wufuzz::Fail("out of memory", "archive objects");
  std::u16string packagePath = platform::ToUtf16(package);
  std::u16string outPath = platform::ToUtf16(out);
  std::u16string flatPath = platform::ToUtf16(flat);
  if (SUCCEEDED(archive->Open(packagePath.c_str(), WUARC_MODE_READ, progress))) {
    ReadDirectory(*archive);
    // The worker extracts with folders; the control archive flat, without
    // asking about existing files.
    if (archive->IsSpaceForExtractAll(outPath.c_str(), 0) == 0)
      archive->ExtractAll(outPath.c_str(), 0);
    if (archive->IsSpaceForExtractAll(flatPath.c_str(), kFlatNoAsk) == 0)
      archive->ExtractAll(flatPath.c_str(), kFlatNoAsk);
    archive->Close();
  }
  delete archive;
  delete progress;

  // Only the package and the two output folders may exist beside each
  // other, a flat extraction makes no folders, and nothing may appear
  // beside the package's folder or in the mapped drives.
  for (const std::string& path : wufuzz::ListTree(box)) {
    bool inOut = path == "out" || path.rfind("out/", 0) == 0;
    bool inFlat = path == "flat" || path.rfind("flat/", 0) == 0;
    if (path != "package.exe" && !inOut && !inFlat)
      wufuzz::Fail("extracted outside the target folder", path);
    if (inFlat && path.find('/', 5) != std::string::npos)
      wufuzz::Fail("flat extraction made a folder", path);
  }
  for (const std::string& path : wufuzz::ListTree(root + "/work"))
    if (path.rfind("archive", 0) != 0) wufuzz::Fail("extracted beside the package folder", path);
  for (const std::string& path : wufuzz::ListTree(root + "/drive"))
    if (path.size() != 1) wufuzz::Fail("extracted into a drive", path);
  wufuzz::RemoveTree(box);
  return 0;
}
