// The MPEG-4 classifier over synthetic box trees, in memory and through a
// file, and WuFindAtom's walk.
#include "mediaformats/WuMp4Classifier.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "mediaformats/RiffBytes.h"
#include "mediaformats/WuFileId.h"
#include "tests/mediaformats/RiffTestUtil.h"

namespace {

using rifftest::TempFile;

std::string Be32(uint32_t v) {
  std::string s;
  for (int i = 3; i >= 0; --i) s.push_back(static_cast<char>(v >> (8 * i)));
  return s;
}
std::string Be64(uint64_t v) { return Be32(static_cast<uint32_t>(v >> 32)) + Be32(static_cast<uint32_t>(v)); }

std::string Box(const char* type, const std::string& body) {
  return Be32(static_cast<uint32_t>(8 + body.size())) + type + body;
}
std::string FullBox(const char* type, const std::string& body) { return Box(type, Be32(0) + body); }

std::string Ftyp(const char* major, std::vector<const char*> compatible) {
  std::string body = std::string(major) + Be32(0);
  for (const char* brand : compatible) body += brand;
  return Box("ftyp", body);
}

// An expandable descriptor: tag, one length byte, body.
std::string Descriptor(int tag, const std::string& body) {
  return std::string(1, static_cast<char>(tag)) + std::string(1, static_cast<char>(body.size())) + body;
}

std::string Esds(int object_type, int audio_object_type) {
  std::string config = std::string(1, static_cast<char>(object_type)) + std::string(12, '\x01');
  if (audio_object_type >= 0)
    config += Descriptor(5, std::string(1, static_cast<char>(audio_object_type << 3)) + "\x10");
  std::string es = std::string("\x00\x01\x00", 3) + Descriptor(4, config) + Descriptor(6, "\x02");
  return FullBox("esds", Descriptor(3, es));
}

// A sample entry: its fixed fields (28 bytes for audio, 78 for video), then
// the descriptor box, then `padding` bytes.
std::string SampleEntry(const char* type, const std::string& esds, size_t padding = 0) {
  bool audio = std::string(type) == "mp4a";
  return Box(type, std::string(audio ? 28 : 78, '\0') + esds + std::string(padding, '\0'));
}

std::string Track(const char* handler, const std::string& entry) {
  std::string hdlr = FullBox("hdlr", Be32(0) + handler + std::string(13, '\0'));
  std::string stsd = FullBox("stsd", Be32(1) + entry);
  return Box("trak", Box("tkhd", std::string(84, '\0')) +
                         Box("mdia", Box("mdhd", std::string(24, '\0')) + hdlr +
                                         Box("minf", Box("vmhd", std::string(12, '\0')) + Box("stbl", stsd))));
}

std::string Moov(const std::string& tracks) { return Box("moov", FullBox("mvhd", std::string(96, '\0')) + tracks); }

const std::string kAacTrack = Track("soun", SampleEntry("mp4a", Esds(64, 2)));
const std::string kAvcTrack = Track("vide", Box("avc1", std::string(78, '\0') + Box("avcC", "\x01")));

// The classifier through every form: buffer with the file's handle, file
// by handle, file by name. They must agree; the common answer is returned.
DWORD ClassifyAll(const std::string& bytes) {
  TempFile file(bytes, GENERIC_READ);
  DWORD n = static_cast<DWORD>(bytes.size() < 65536 ? bytes.size() : 65536);
  DWORD buffer = WuMp4ClassifyBuffer(file.h(), reinterpret_cast<const BYTE*>(bytes.data()), n);
  DWORD handle = WuMp4ClassifyFile(file.h());
  DWORD name = WuMp4ClassifyFileW(file.Wide().c_str());
  EXPECT_EQ(buffer, handle);
  EXPECT_EQ(handle, name);
  return name;
}

DWORD InMemory(const std::string& bytes) {
  return WuMp4ClassifyBuffer(INVALID_HANDLE_VALUE, reinterpret_cast<const BYTE*>(bytes.data()),
                             static_cast<DWORD>(bytes.size()));
}

TEST(WuMp4ClassifierTest, Brands) {
  // "M4V " with "avc1": AVC at once, before any track is read.
  EXPECT_EQ(InMemory(Ftyp("M4V ", {"avc1"})), 4110u);
  EXPECT_EQ(ClassifyAll(Ftyp("M4V ", {"avc1"}) + Box("mdat", "xx")), 4110u);
  // Memory alone rests on the brands.
  EXPECT_EQ(InMemory(Ftyp("mp42", {"isom"})), 4111u);
  EXPECT_EQ(InMemory(Ftyp("isom", {"mp41"})), 4111u);
  EXPECT_EQ(InMemory(Ftyp("3gp4", {"3gp4"})), 1u);
  // A first box that is not a top-level kind, or larger than the data.
  EXPECT_EQ(InMemory(Box("abcd", "") + Ftyp("mp42", {})), 1u);
  std::string mdat_first = Be32(100000) + "mdat" + std::string(100, '\0');
  EXPECT_EQ(InMemory(mdat_first), 1u);
  EXPECT_EQ(InMemory(std::string("\x00\x00\x00", 3)), 1u);
  EXPECT_EQ(InMemory(Be32(1) + "ftyp" + Be64(24) + "mp42xxxx"), 1u);
}

TEST(WuMp4ClassifierTest, Tracks) {
  std::string ftyp = Ftyp("mp42", {"mp42", "isom"});
  EXPECT_EQ(ClassifyAll(ftyp + Box("mdat", "data") + Moov(kAacTrack)), 20u);
  // A video track with "avc1" entries, the "mp42" brand standing for AVC.
  EXPECT_EQ(ClassifyAll(ftyp + Moov(kAacTrack + kAvcTrack)), 4110u);
  EXPECT_EQ(ClassifyAll(ftyp + Moov(kAvcTrack + kAacTrack)), 4110u);
  // Without a brand for AVC the same video track is not taken for AVC.
  EXPECT_EQ(ClassifyAll(Ftyp("isom", {"iso2"}) + Moov(kAvcTrack)), 4111u);
  // AAC main profile (audio object type 1) is not AAC audio here.
  EXPECT_EQ(ClassifyAll(ftyp + Moov(Track("soun", SampleEntry("mp4a", Esds(64, 1))))), 4111u);
  EXPECT_EQ(ClassifyAll(ftyp + Moov(Track("soun", SampleEntry("mp4a", Esds(64, 29))))), 20u);
  // MPEG-2 video in "mp4v".
  EXPECT_EQ(ClassifyAll(Ftyp("isom", {}) + Moov(Track("vide", SampleEntry("mp4v", Esds(97, -1))))), 4116u);
  EXPECT_EQ(ClassifyAll(Ftyp("isom", {}) + Moov(Track("vide", SampleEntry("mp4v", Esds(32, -1))))), 4111u);
  // A file without "moov" is not classified; "moov" first is walked.
  EXPECT_EQ(ClassifyAll(ftyp + Box("mdat", "data")), 1u);
  EXPECT_EQ(ClassifyAll(Moov(Track("vide", SampleEntry("mp4v", Esds(96, -1))))), 4116u);
}

TEST(WuMp4ClassifierTest, LargeSampleEntryIsNotRead) {
  // A valid descriptor inside an entry above 64 KiB: the track keeps no
  // object type, so the file is not taken for AAC; the walk goes on.
  std::string ftyp = Ftyp("mp42", {"mp42"});
  std::string big = Track("soun", SampleEntry("mp4a", Esds(64, 2), 70000));
  EXPECT_EQ(ClassifyAll(ftyp + Moov(big)), 4111u);
  EXPECT_EQ(ClassifyAll(ftyp + Moov(big + kAacTrack)), 20u);
}

TEST(WuMp4ClassifierTest, DamagedBoxesEndTheWalk) {
  std::string ftyp = Ftyp("mp42", {"mp42"});
  // Inside "moov": a child of size 0 (it runs to the parent's end and
  // swallows the good track), one of size 1 with a 64-bit size of 0, one
  // below its header, one past its parent; then a good track that is not
  // reached.
  const std::string bad_children[] = {
      Be32(0) + "trak",
      Be32(1) + "trak" + Be64(0),
      Be32(4) + "trak",
      Be32(1) + "trak" + Be64(12),
      Be32(5000) + "trak" + std::string(8, '\0'),
  };
  for (const std::string& bad : bad_children) {
    std::string moov_body = FullBox("mvhd", std::string(96, '\0')) + bad + kAacTrack;
    EXPECT_EQ(ClassifyAll(ftyp + Box("moov", moov_body)), 4111u) << bad.size();
  }
  // A top-level box of size 0 runs to the end of the file; its size-1 twin
  // with a 64-bit 0 ends the search for "moov".
  EXPECT_EQ(ClassifyAll(ftyp + Be32(0) + "free" + Moov(kAacTrack)), 1u);
  EXPECT_EQ(ClassifyAll(ftyp + Be32(1) + "free" + Be64(0) + Moov(kAacTrack)), 1u);
  // Cut anywhere, the classifier still ends with an answer.
  std::string whole = ftyp + Moov(kAacTrack + kAvcTrack);
  for (size_t cut = 0; cut < whole.size(); cut += 7) {
    DWORD type = ClassifyAll(whole.substr(0, cut));
    EXPECT_TRUE(type == 1 || type == 4110 || type == 4111 || type == 20) << cut;
  }
}

TEST(WuMp4ClassifierTest, BoxHeaders) {
  WUMP4BOXHEADER h;
  std::string stsd = FullBox("stsd", Be32(3));
  ASSERT_TRUE(WuMp4ReadBoxHeaderFromMemory(reinterpret_cast<const BYTE*>(stsd.data()), 16, &h));
  EXPECT_EQ(h.dwHeaderSize, 16u);
  EXPECT_EQ(h.lEntryCount, 3);
  EXPECT_EQ(h.dwVersionFlags, 0u);
  EXPECT_FALSE(h.bTopLevel);
  std::string uuid = Box("uuid", std::string(16, '\x5A'));
  ASSERT_TRUE(WuMp4ReadBoxHeaderFromMemory(reinterpret_cast<const BYTE*>(uuid.data()), 24, &h));
  EXPECT_TRUE(h.bTopLevel);
  EXPECT_EQ(h.dwHeaderSize, 24u);
  EXPECT_EQ(h.userType[15], 0x5A);
  EXPECT_FALSE(WuMp4ReadBoxHeaderFromMemory(reinterpret_cast<const BYTE*>(uuid.data()), 23, &h));
  std::string small_uuid = Box("uuid", "");
  EXPECT_FALSE(WuMp4ReadBoxHeaderFromMemory(reinterpret_cast<const BYTE*>(small_uuid.data()), 8, &h));

  // From the file: size 0 runs to the limit; 1 takes the 64-bit size.
  TempFile file(Be32(0) + "mdat" + Be32(1) + "free" + Be64(20) + "abcd", GENERIC_READ);
  ASSERT_TRUE(WuMp4ReadBoxHeader(file.h(), 8, &h));
  EXPECT_EQ(h.qwSize, 8u);
  file.Seek(0);
  ASSERT_TRUE(WuMp4ReadBoxHeader(file.h(), 28, &h));
  EXPECT_EQ(h.qwSize, 28u);
  file.Seek(8);
  ASSERT_TRUE(WuMp4ReadBoxHeader(file.h(), 28, &h));
  EXPECT_EQ(h.qwSize, 20u);
  EXPECT_EQ(h.dwHeaderSize, 16u);
  EXPECT_EQ(h.qwOffset, 8u);
  file.Seek(8);
  EXPECT_FALSE(WuMp4ReadBoxHeader(file.h(), 27, &h));  // past the limit
  file.Seek(28);
  EXPECT_FALSE(WuMp4ReadBoxHeader(file.h(), 40, &h));  // short read
}

TEST(WuMp4ClassifierTest, FindAtom) {
  // "mdat" with a 64-bit size of 4 GiB + 16, then "moov" beyond 4 GiB (a
  // sparse file).
  std::string path = wutest::MakeTempDir("atom") + "/big.mov";
  const uint64_t mdat_size = (1ull << 32) + 16;
  {
    std::ofstream out(path, std::ios::binary);
    std::string head = Box("ftyp", std::string("qt  \0\0\0\0", 8)) + Be32(1) + "mdat" + Be64(mdat_size);
    out << head;
    out.seekp(static_cast<std::streamoff>(16 + mdat_size));
    out << Box("moov", std::string(8, '\0'));
  }
  HANDLE file = CreateFileW(wutest::U16(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                            nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  ULONGLONG offset = 7, size = 7;
  const ULONGLONG length = std::filesystem::file_size(path);
  EXPECT_TRUE(WuFindAtom(file, RiffId("moov"), 0, length, &offset, &size));
  EXPECT_EQ(offset, 16 + mdat_size);
  EXPECT_EQ(size, 16u);
  EXPECT_TRUE(WuFindAtom(file, RiffId("mdat"), 0, length, &offset, &size));
  EXPECT_EQ(offset, 16u);
  EXPECT_EQ(size, mdat_size);
  // The search length ends before "moov"; and a zero length.
  EXPECT_FALSE(WuFindAtom(file, RiffId("moov"), 0, 16 + mdat_size, &offset, &size));
  EXPECT_EQ(offset, 0u);
  EXPECT_EQ(size, 0u);
  EXPECT_FALSE(WuFindAtom(file, RiffId("ftyp"), 0, 0, nullptr, nullptr));
  CloseHandle(file);

  // Sizes that would not move the walk forward end it.
  const std::string stalls[] = {
      Be32(1) + "free" + Be64(0),
      Be32(1) + "free" + Be64(15),
      Be32(4) + "free",
      Be32(0) + "free",
  };
  for (const std::string& stall : stalls) {
    TempFile t(stall + Box("moov", ""), GENERIC_READ);
    EXPECT_FALSE(WuFindAtom(t.h(), RiffId("moov"), 0, 1000, &offset, &size)) << stall.size();
  }
  // The first atom's type must be printable.
  TempFile binary(Box("\x01\x02\x03\x04", "") + Box("moov", ""), GENERIC_READ);
  EXPECT_FALSE(WuFindAtom(binary.h(), RiffId("moov"), 0, 16, &offset, &size));
  TempFile fine(Box("wide", "") + Box("moov", ""), GENERIC_READ);
  EXPECT_TRUE(WuFindAtom(fine.h(), RiffId("moov"), 0, 16, &offset, &size));
  EXPECT_EQ(offset, 8u);
}

}  // namespace
