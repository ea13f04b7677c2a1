// Writing bitmaps as PNG files: round trips through plain libpng and the
// library's reader, the filters used, refusals and failures.
#include "imaging/WuPngWrite.h"

#include <gtest/gtest.h>
#include <png.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "foundation/WuStatus.h"
#include "imaging/WuPngRead.h"
#include "platform/kernel/memory.h"
#include "tests/common/TestUtil.h"
#include "tests/imaging/DibFixture.h"

namespace {

using wutest::FillPattern;
using wutest::MakeDib;
using wutest::Row;

// A PNG decoded by plain libpng, rows top first, 8-bit RGBA.
struct Decoded {
  png_uint_32 width = 0, height = 0;
  int depth = 0, colorType = 0, interlace = 0;
  std::vector<std::vector<BYTE>> rows;
};

struct Reader {
  const std::string* bytes;
  size_t at;
};

void ReadBytes(png_structp png, png_bytep out, png_size_t n) {
  Reader* r = static_cast<Reader*>(png_get_io_ptr(png));
  if (r->at + n > r->bytes->size()) png_error(png, "short");
  std::memcpy(out, r->bytes->data() + r->at, n);
  r->at += n;
}

bool DecodePlain(const std::string& bytes, Decoded* out) {
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  Reader reader{&bytes, 0};
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, &info, nullptr);
    return false;
  }
  png_set_read_fn(png, &reader, ReadBytes);
  png_read_info(png, info);
  png_get_IHDR(png, info, &out->width, &out->height, &out->depth, &out->colorType, &out->interlace,
               nullptr, nullptr);
  png_set_interlace_handling(png);
  png_read_update_info(png, info);
  out->rows.assign(out->height, std::vector<BYTE>(png_get_rowbytes(png, info)));
  std::vector<png_bytep> pointers;
  for (auto& r : out->rows) pointers.push_back(r.data());
  png_read_image(png, pointers.data());
  png_read_end(png, nullptr);
  png_destroy_read_struct(&png, &info, nullptr);
  return true;
}

class PngWriteTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = wutest::MakeTempDir("pngw");
    blocks_ = platform::LiveGlobalBlockCount();
  }
  void TearDown() override { EXPECT_EQ(platform::LiveGlobalBlockCount(), blocks_); }
  std::u16string Path(const char* name) { return wutest::U16(dir_ + "/" + name); }
  std::string dir_;
  size_t blocks_ = 0;
};

TEST_F(PngWriteTest, RoundTrips) {
  for (WUPIXELTYPE type : {WUPIXEL_RGBA32, WUPIXEL_RGB24}) {
    for (int32_t interlace : {0, 1}) {
      auto src = MakeDib(type, 19, 11);
      FillPattern(src.get(), 40 + type);
      const WUPNGFILEOPTIONS options = {29, interlace};
      const auto path = Path("out.png");
      ASSERT_EQ(WuSaveDiskPngDib(path.c_str(), src.get(), nullptr, &options), S_OK);
      Decoded png;
      ASSERT_TRUE(DecodePlain(wutest::ReadBytes(dir_ + "/out.png"), &png));
      EXPECT_EQ(png.width, 19u);
      EXPECT_EQ(png.height, 11u);
      EXPECT_EQ(png.depth, 8);
      EXPECT_EQ(png.colorType, PNG_COLOR_TYPE_RGB_ALPHA);
      EXPECT_EQ(png.interlace, interlace ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE);
      const int px = type == WUPIXEL_RGB24 ? 3 : 4;
      for (LONG y = 0; y < 11; ++y)
        for (LONG x = 0; x < 19; ++x) {
          const BYTE* s = Row(src.get(), y) + x * px;
          const BYTE* p = png.rows[y].data() + x * 4;
          ASSERT_TRUE(p[0] == s[2] && p[1] == s[1] && p[2] == s[0] && p[3] == (px == 3 ? 255 : s[3]))
              << type << " " << interlace << " " << x << "," << y;
        }
      // The library's reader gives back a type-29 bitmap equal to the source.
      BITMAPINFOHEADER* back = WuLoadPngDib(path.c_str());
      ASSERT_NE(back, nullptr);
      EXPECT_EQ(WuGetPixelType(back), WUPIXEL_RGBA32);
      for (LONG y = 0; y < 11; ++y)
        for (LONG x = 0; x < 19; ++x) {
          const BYTE* s = Row(src.get(), y) + x * px;
          const BYTE* b = Row(back, y) + x * 4;
          ASSERT_TRUE(b[0] == s[0] && b[1] == s[1] && b[2] == s[2] && b[3] == (px == 3 ? 255 : s[3]));
        }
      WuDibFree(back, 0);
    }
  }
}

// The inflated rows of a non-interlaced file use filters None, Sub and
// Paeth only.
TEST_F(PngWriteTest, FiltersNoneSubAndPaeth) {
  auto src = MakeDib(WUPIXEL_RGBA32, 64, 40);
  for (LONG y = 0; y < 40; ++y)
    for (LONG x = 0; x < 64; ++x) {
      BYTE* p = Row(src.get(), y) + x * 4;
      // Smooth gradients with noisy patches: several filters win somewhere.
      p[0] = static_cast<BYTE>(x * 4), p[1] = static_cast<BYTE>(y * 6);
      p[2] = static_cast<BYTE>((x * y) ^ (y > 20 ? x * 37 : 0)), p[3] = 255;
    }
  const WUPNGFILEOPTIONS options = {29, 0};
  ASSERT_EQ(WuSaveDiskPngDib(Path("f.png").c_str(), src.get(), nullptr, &options), S_OK);
  const std::string file = wutest::ReadBytes(dir_ + "/f.png");
  std::string idat;
  for (size_t at = 8; at + 12 <= file.size();) {
    const BYTE* c = reinterpret_cast<const BYTE*>(file.data() + at);
    size_t len = (size_t(c[0]) << 24) | (c[1] << 16) | (c[2] << 8) | c[3];
    if (std::memcmp(c + 4, "IDAT", 4) == 0) idat.append(file, at + 8, len);
    at += 12 + len;
  }
  std::vector<BYTE> raw(40 * (1 + 64 * 4));
  uLongf rawSize = raw.size();
  ASSERT_EQ(uncompress(raw.data(), &rawSize, reinterpret_cast<const Bytef*>(idat.data()), idat.size()), Z_OK);
  ASSERT_EQ(rawSize, raw.size());
  std::vector<int> seen(5, 0);
  for (int y = 0; y < 40; ++y) {
    BYTE filter = raw[y * (1 + 64 * 4)];
    ASSERT_TRUE(filter == 0 || filter == 1 || filter == 4) << int(filter);
    ++seen[filter];
  }
}

TEST_F(PngWriteTest, RefusalsAndFailures) {
  auto src = MakeDib(WUPIXEL_RGB24, 4, 4);
  // Only four-byte working types: nothing is created otherwise.
  for (int32_t type : {27, 32, 0}) {
    const WUPNGFILEOPTIONS options = {type, 0};
    EXPECT_EQ(WuSaveDiskPngDib(Path("no.png").c_str(), src.get(), nullptr, &options), E_INVALIDARG);
  }
  BITMAPINFOHEADER empty = *src;
  empty.biWidth = 0;
  const WUPNGFILEOPTIONS good = {29, 0};
  EXPECT_EQ(WuSaveDiskPngDib(Path("no.png").c_str(), &empty, WuDibGetBits(src.get()), &good), E_INVALIDARG);
  EXPECT_TRUE(wutest::ReadBytes(dir_ + "/no.png").empty());
  // A folder that does not exist.
  EXPECT_EQ(WuSaveDiskPngDib(Path("missing/x.png").c_str(), src.get(), nullptr, &good), WU_E_CREATE_FILE);
  // The working bitmap cannot be allocated.
  platform::FailNextAllocations(1);
  EXPECT_EQ(WuSaveDiskPngDib(Path("oom.png").c_str(), src.get(), nullptr, &good), E_OUTOFMEMORY);
  platform::FailNextAllocations(0);
  // A read-only file is refused as before and kept; no new file is left.
  const std::string readOnly = dir_ + "/ro.png";
  wutest::WriteBytes(readOnly, "read-only");
  ASSERT_EQ(chmod(readOnly.c_str(), 0444), 0);
  EXPECT_EQ(WuSaveDiskPngDib(Path("ro.png").c_str(), src.get(), nullptr, &good), WU_E_CREATE_FILE);
  EXPECT_EQ(wutest::ReadBytes(readOnly), "read-only");
  for (const auto& entry : std::filesystem::directory_iterator(dir_))
    EXPECT_NE(entry.path().extension(), ".tmp") << entry.path();
  // 28 as the working type writes the same colours.
  const WUPNGFILEOPTIONS opaque = {28, 0};
  EXPECT_EQ(WuSaveDiskPngDib(Path("o.png").c_str(), src.get(), nullptr, &opaque), S_OK);
}

// The names in a folder, sorted.
std::vector<std::string> Names(const std::string& dir) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// Each allocation of a save fails in turn: the working bitmap, the copy,
// libpng's structures, zlib's state (allocated with the first rows) and the
// memory file. Every failure leaves the existing file byte for byte and no
// other file in its folder; nothing leaks on any path. The save then
// succeeds once the plan runs out.
TEST_F(PngWriteTest, AllocationFailuresKeepTheFile) {
  auto src = MakeDib(WUPIXEL_RGB24, 200, 200);
  FillPattern(src.get(), 5);
  const WUPNGFILEOPTIONS options = {29, 0};
  const std::string file = dir_ + "/kept.png";
  const std::string old = "an earlier file that must survive";
  int failures = 0;
  const size_t blocks = platform::LiveGlobalBlockCount();
  HRESULT hr = E_FAIL;
  for (int skip = 0; skip < 200; ++skip) {
    wutest::WriteBytes(file, old);
    platform::FailAllocationsAfter(skip, 1);
    hr = WuSaveDiskPngDib(Path("kept.png").c_str(), src.get(), nullptr, &options);
    platform::FailNextAllocations(0);
    ASSERT_EQ(platform::LiveGlobalBlockCount(), blocks) << skip;
    if (SUCCEEDED(hr)) break;
    ++failures;
    EXPECT_TRUE(hr == E_OUTOFMEMORY || hr == E_FAIL) << skip << " " << std::hex << hr;
    const std::string kept = wutest::ReadBytes(file);
    EXPECT_TRUE(kept == old) << skip << ": " << kept.size() << " bytes";
    EXPECT_EQ(Names(dir_), std::vector<std::string>{"kept.png"}) << skip;
  }
  EXPECT_EQ(hr, S_OK);
  // Bitmap, libpng's two structures, zlib's buffers and the memory file.
  EXPECT_GE(failures, 5);
  Decoded png;
  ASSERT_TRUE(DecodePlain(wutest::ReadBytes(file), &png));
  EXPECT_EQ(png.width, 200u);
  EXPECT_EQ(Names(dir_), std::vector<std::string>{"kept.png"});
}

// A disk that fills part-way through the save (a file-size limit): the
// save fails, a good PNG it was to replace is left byte for byte, and no
// part-written file stays beside it.
TEST_F(PngWriteTest, AFullDiskKeepsTheFile) {
  const WUPNGFILEOPTIONS options = {29, 0};
  auto small = MakeDib(WUPIXEL_RGB24, 20, 20);
  FillPattern(small.get(), 3);
  ASSERT_EQ(WuSaveDiskPngDib(Path("good.png").c_str(), small.get(), nullptr, &options), S_OK);
  const std::string good = wutest::ReadBytes(dir_ + "/good.png");
  ASSERT_LT(good.size(), 4000u);
  auto large = MakeDib(WUPIXEL_RGB24, 200, 200);
  FillPattern(large.get(), 9);  // noise: far more than 4,000 bytes compressed
  {
    wutest::FileSizeLimit limit(4000);
    EXPECT_EQ(WuSaveDiskPngDib(Path("good.png").c_str(), large.get(), nullptr, &options), E_FAIL);
  }
  const std::string kept = wutest::ReadBytes(dir_ + "/good.png");
  EXPECT_TRUE(kept == good) << kept.size() << " bytes in place of " << good.size();
  EXPECT_EQ(Names(dir_), std::vector<std::string>{"good.png"});
  // Without the limit the same save replaces it whole.
  ASSERT_EQ(WuSaveDiskPngDib(Path("good.png").c_str(), large.get(), nullptr, &options), S_OK);
  Decoded png;
  ASSERT_TRUE(DecodePlain(wutest::ReadBytes(dir_ + "/good.png"), &png));
  EXPECT_EQ(png.width, 200u);
  EXPECT_EQ(Names(dir_), std::vector<std::string>{"good.png"});
}

// Names a user saves to: a time stamp with ':' in a folder, a deep folder,
// and a link to the picture kept elsewhere (the link stays; the picture it
// names is replaced, and a failed save leaves it and its folder as they were).
TEST_F(PngWriteTest, SavesToColonNamesDeepFoldersAndThroughLinks) {
  const WUPNGFILEOPTIONS options = {29, 0};
  auto small = MakeDib(WUPIXEL_RGB24, 20, 20);
  FillPattern(small.get(), 3);
  std::string deep = dir_;  // a folder of 250 characters
  while (deep.size() < 250) {
    deep += "/" + std::string(std::min<size_t>(40, 249 - deep.size()), 'd');
    ASSERT_EQ(mkdir(deep.c_str(), 0755), 0);
  }
  ASSERT_EQ(deep.size(), 250u);
  ASSERT_EQ(mkdir((dir_ + "/shots").c_str(), 0755), 0);
  ASSERT_EQ(mkdir((dir_ + "/real").c_str(), 0755), 0);
  wutest::WriteBytes(dir_ + "/real/r.png", "old picture");
  ASSERT_EQ(symlink("real/r.png", (dir_ + "/link.png").c_str()), 0);
  for (const std::string& name :
       {dir_ + "/shots/2024-05-01T12:30:00.png", deep + "/p.png", dir_ + "/link.png"}) {
    SCOPED_TRACE(name);
    EXPECT_EQ(WuSaveDiskPngDib(wutest::U16(name).c_str(), small.get(), nullptr, &options), S_OK);
    Decoded png;
    EXPECT_TRUE(DecodePlain(wutest::ReadBytes(name), &png));
    EXPECT_EQ(png.width, 20u);
  }
  struct stat st;
  ASSERT_EQ(lstat((dir_ + "/link.png").c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  const std::string saved = wutest::ReadBytes(dir_ + "/real/r.png");
  ASSERT_NE(saved, "old picture");

  auto large = MakeDib(WUPIXEL_RGB24, 200, 200);
  FillPattern(large.get(), 9);
  {
    wutest::FileSizeLimit limit(4000);
    EXPECT_EQ(WuSaveDiskPngDib(wutest::U16(dir_ + "/link.png").c_str(), large.get(), nullptr,
                               &options),
              E_FAIL);
  }
  EXPECT_TRUE(wutest::ReadBytes(dir_ + "/real/r.png") == saved);
  EXPECT_EQ(Names(dir_ + "/real"), std::vector<std::string>{"r.png"});
}

}  // namespace
