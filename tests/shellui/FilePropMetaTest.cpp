// The metadata sections of the file-properties text, written into a
// multi-line edit control from fake metadata: each section's lines for
// rich files, the stream-header checks, the capture time, and plug-in
// answers that lie about their sizes.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "foundation/WuKernelState.h"
#include "foundation/WuLang.h"
#include "foundation/WuPrintF.h"
#include "foundation/WuStatus.h"
#include "platform/kernel/locale.h"
#include "platform/kernel/module.h"
#include "platform/user/controls.h"
#include "platform/user/frontend.h"
#include "platform/user/windows.h"
#include "shellui/CWuLinkProjectInfo.h"
#include "shellui/WuFilePropMeta.h"
#include "tests/shellui/FakeFioWorld.h"

namespace {

using metatest::GuidBytes;
using metatest::InfoItem;
using metatest::Le32;
using metatest::Le64;
using metatest::MetaStream;
using metatest::ReaderStream;
using metatest::Utf16Bytes;
using Lines = std::vector<std::string>;

std::string U8(const std::u16string& text) { return platform::ToUtf8(text.c_str()); }

// A labelled line as the listing lays it out: four spaces, the label and
// its colon padded to width - 1 characters, then the value.
std::string L(const std::string& label, const std::string& value, size_t width = 22) {
  std::string column = "    " + label + ":";
  if (column.size() < width - 1) column.resize(width - 1, ' ');
  return column + value;
}

// The lines from `header` to the end of its section (the empty line
// excluded); empty when the header is not there.
Lines Section(const Lines& lines, const std::string& header) {
  Lines out;
  size_t i = 0;
  while (i < lines.size() && lines[i] != header) ++i;
  for (; i < lines.size() && !lines[i].empty(); ++i) out.push_back(lines[i]);
  return out;
}

// The lines from `header` to the end of the listing.
Lines Tail(const Lines& lines, const std::string& header) {
  size_t i = 0;
  while (i < lines.size() && lines[i] != header) ++i;
  return Lines(lines.begin() + static_cast<long>(i), lines.end());
}

// A flat metadata block: {total, version, structure version, payload size}
// and the payload; `sizeField` replaces the payload size when given.
std::string SensingBlock(const std::string& payload, std::optional<uint32_t> total = std::nullopt,
                         std::optional<uint32_t> sizeField = std::nullopt) {
  return Le32(total.value_or(16 + static_cast<uint32_t>(payload.size()))) + Le32(0x00010041) +
         Le32(2) + Le32(sizeField.value_or(static_cast<uint32_t>(payload.size()))) + payload;
}

// A picture block: {total, 2, type, MIME bytes, description bytes, data
// size}, the two texts with their terminators, the data. `total` and
// `mimeBytes` replace the computed fields when given.
std::string PictureBlock(uint32_t type, const std::u16string& mime, const std::u16string& description,
                         const std::string& data, std::optional<uint32_t> total = std::nullopt,
                         std::optional<uint32_t> mimeBytes = std::nullopt) {
  std::string m = Utf16Bytes(mime), d = Utf16Bytes(description);
  uint32_t size = static_cast<uint32_t>(24 + m.size() + d.size() + data.size());
  return Le32(total.value_or(size)) + Le32(2) + Le32(type) +
         Le32(mimeBytes.value_or(static_cast<uint32_t>(m.size()))) + Le32(static_cast<uint32_t>(d.size())) +
         Le32(static_cast<uint32_t>(data.size())) + m + d + data;
}

// An enumerator stream whose header claims `count` and whose single
// element's sub-header claims `elementSize`, followed by `bytes`.
std::string OddElementStream(const GUID& kind, uint32_t count, uint32_t elementSize,
                             const std::string& bytes, uint32_t version = 100) {
  return Le32(28) + Le32(100) + Le32(count) + GuidBytes(kind) + Le32(28) + Le32(version) +
         Le32(elementSize) + GuidBytes(kind) + bytes;
}

const std::string kPng = std::string("\x89PNG\r\n\x1a\n", 8) + std::string("\0\0\0\x0dIHDR", 8);

class FilePropMetaTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(WuLang_Open(&lang_, GetModuleHandleW(nullptr), 0x409, 0), S_OK);
    WuKernel_SetLangHandle(lang_);
    ASSERT_TRUE(platform::SetUserLocale(0x409, 0x409));
    edit_ = CreateWindowExW(0, u"EDIT", u"", WS_POPUP | ES_MULTILINE, 0, 0, 400, 300, nullptr, nullptr,
                            nullptr, nullptr);
    ASSERT_TRUE(edit_);
  }
  void TearDown() override {
    DestroyWindow(edit_);
    platform::SetUserLocale(0, 0);
    WuKernel_SetLangHandle(nullptr);
    if (lang_) WuLang_Close(lang_);
    // Every interface, stream and text handed out came back.
    EXPECT_EQ(world_.Leaks(), "");
  }

  // The input over the fake file: every kind offered.
  WUFILEPROPMETA Input() {
    WUFILEPROPMETA in = {};
    in.meta = &meta_;
    in.loopInfo = &meta_;
    in.streams = &meta_.base;
    in.mediaTag = &meta_;
    in.mediaTagsUsable = TRUE;
    return in;
  }
  Lines Run(WUFILEPROPMETA in) {
    in.edit = edit_;
    WuMEditPrintF(edit_, nullptr);
    WuFilePropWriteMetaSections(&in);
    std::string text = U8(platform::WindowText(edit_));
    Lines lines;
    size_t start = 0;
    for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
      lines.push_back(text.substr(start, end - start));
    EXPECT_EQ(start, text.size()) << "every line ends in CR LF";
    return lines;
  }

  // Text values by four-character id.
  void SetTexts(const std::map<std::string, std::u16string>& texts) {
    meta_.textValues.clear();
    for (const auto& [id, text] : texts) meta_.textValues[RiffId4(id)] = fakefio::Ok(text);
  }
  static DWORD RiffId4(const std::string& id) {
    return static_cast<DWORD>(static_cast<BYTE>(id[0])) | static_cast<DWORD>(static_cast<BYTE>(id[1])) << 8 |
           static_cast<DWORD>(static_cast<BYTE>(id[2])) << 16 | static_cast<DWORD>(static_cast<BYTE>(id[3])) << 24;
  }

  fakefio::World world_;
  fakefio::FakeMeta& meta_ = world_.AddMeta();
  HWULANG lang_ = nullptr;
  HWND edit_ = nullptr;
};

// ---- Summary ------------------------------------------------------------------------------

TEST_F(FilePropMetaTest, SummaryLabelsKnownPrintableAndUnprintableIds) {
  meta_.base.summary = ReaderStream({
      InfoItem("INAM", u"Night drive"), InfoItem("ABCD", u"own field"),
      InfoItem("\x01XYZ", u"binary id"), InfoItem("TAPE", u"skipped"), InfoItem("_tfs", u"1234"),
      InfoItem("TORG", u"Studio 4"), InfoItem("a b1", u"spaced"),
  });
  Lines lines = Run(Input());
  EXPECT_EQ(Section(lines, "Summary"),
            (Lines{"Summary", "    Title:           Night drive", L("[ABCD]", "own field"),
                   L("Unknown", "binary id"), L("Organization", "Studio 4"), L("[a b1]", "spaced")}));
  EXPECT_EQ(lines[0], "Summary") << "the first section";
}

TEST_F(FilePropMetaTest, SummaryWithoutShownItemsWritesNothing) {
  const std::optional<std::string> cases[] = {
      std::nullopt,                                    // no stream
      ReaderStream({}),                                // no items
      Le32(12) + Le32(100) + Le32(0x80000000),         // negative count
      ReaderStream({InfoItem("STAT", u"1 2 3"), InfoItem("TCOD", u"0")}),  // only skipped ids
      std::string("\x0c\0\0", 3),                      // short header
  };
  for (const auto& summary : cases) {
    meta_.base.summary = summary;
    EXPECT_TRUE(Section(Run(Input()), "Summary").empty());
  }
}

TEST_F(FilePropMetaTest, SummaryValuesThatFillOrPassTheirBuffer) {
  // A value of exactly 520 bytes with no terminator fills the first
  // buffer; a longer one grows it; a size of 4 GB, beyond what the stream
  // holds, ends the section after the lines already written.
  const std::u16string full(260, u'f'), longer(700, u'g');
  std::string fullItem = Le32(12) + "ICMT" + Le32(520) + std::string(reinterpret_cast<const char*>(full.data()), 520);
  std::string longItem = Le32(12) + "IART" + Le32(1400) + std::string(reinterpret_cast<const char*>(longer.data()), 1400);
  std::string huge = Le32(12) + "IENG" + Le32(0xFFFFFFFF) + Utf16Bytes(u"tiny");
  meta_.base.summary = ReaderStream({fullItem, InfoItem("INAM", u"after"), longItem, huge,
                                     InfoItem("IGNR", u"never shown")});
  EXPECT_EQ(Section(Run(Input()), "Summary"),
            (Lines{"Summary", L("Comment", U8(full)), L("Title", "after"), L("Artist", U8(longer))}));
  // An odd size keeps whole characters only; a count beyond the items ends
  // at the stream's end.
  meta_.base.summary = Le32(12) + Le32(100) + Le32(1000) + Le32(12) + "INAM" + Le32(5) + std::string("a\0b\0c", 5);
  EXPECT_EQ(Section(Run(Input()), "Summary"), (Lines{"Summary", L("Title", "ab")}));
  // A summary of 10,000 items is listed whole, in order.
  std::vector<std::string> many;
  for (int i = 0; i < 10000; ++i) many.push_back(InfoItem("INAM", platform::ToUtf16(std::to_string(i))));
  meta_.base.summary = ReaderStream(many);
  Lines lines = Section(Run(Input()), "Summary");
  ASSERT_EQ(lines.size(), 10001u);
  for (int i : {0, 255, 256, 9999}) EXPECT_EQ(lines[static_cast<size_t>(i) + 1], L("Title", std::to_string(i)));
}

// ---- Capture ------------------------------------------------------------------------------

TEST_F(FilePropMetaTest, CaptureAndStatistics) {
  struct Case {
    std::map<std::string, std::u16string> texts;
    Lines expected;
  };
  const Case cases[] = {
      {{{"TAPE", u"Reel 7"}, {"DTIM", u"30871732 359123328"}, {"VMAJ", u"2"}, {"VMIN", u"12345678901234567"},
        {"CMNT", u"take two"}, {"RATE", u"5"}, {"STAT", u"1200 3 4096"}},
       {"Capture", L("Tape Name", "Reel 7"), L("Recorded", "Thursday, March 4, 2021 5:06:07 AM"),
        L("Version", "2.123456789012345"), L("Comment", "take two"), L("Rating", "5"), L("Statistics", ""),
        L("  Captured frames", "1200", 24), L("  Dropped frames", "3", 24), L("  Data rate", "4096", 24)}},
      // Without "STAT" no statistics; a short "STAT" gives what it holds.
      {{{"RATE", u"3"}}, {"Capture", L("Rating", "3")}},
      {{{"TAPE", u"A"}, {"STAT", u" 25  "}},
       {"Capture", L("Tape Name", "A"), L("Statistics", ""), L("  Captured frames", "25", 24)}},
      // "STAT" without a capture field shows neither section.
      {{{"STAT", u"1 2 3"}, {"VMIN", u"4"}}, {}},
  };
  for (const Case& c : cases) {
    SetTexts(c.texts);
    EXPECT_EQ(Section(Run(Input()), "Capture"), c.expected);
  }
  EXPECT_EQ(L("Statistics", ""), "    Statistics:      ");
}

TEST_F(FilePropMetaTest, CaptureValueFillingTheBufferIsCut) {
  // The reader fills the whole buffer without a terminator.
  meta_.textValues[RiffId4("CMNT")] = fakefio::Text{S_OK, u"", true};
  EXPECT_EQ(Section(Run(Input()), "Capture"), (Lines{"Capture", L("Comment", std::string(1023, 'x'))}));
}

TEST(FormatCaptureTime, ConvertsAFileTimePairUnconverted) {
  ASSERT_TRUE(platform::SetUserLocale(0x409, 0x409));
  struct Case {
    std::u16string text;
    int size;
    std::string expected;
  };
  const Case cases[] = {
      {u"30871732 359123328", 100, "Thursday, March 4, 2021 5:06:07 AM"},  // UTC, not local
      {u"0 0", 100, "0 0"},
      {u"", 100, ""},
      {u"recorded on tape", 100, "recorded on tape"},  // reads as 0 0: the text stays
      {u"0 0 and more", 5, "0 0 "},                     // the copy is bounded
      {u"30871732 359123328", 12, "Thursday, M"},        // so is the date and time
  };
  for (const Case& c : cases) {
    WCHAR out[128];
    std::fill(std::begin(out), std::end(out), u'#');
    FormatCaptureTime(c.text.c_str(), out, c.size);
    EXPECT_EQ(U8(out), c.expected) << U8(c.text);
    EXPECT_EQ(out[c.size], u'#') << "written past the size";
  }
  platform::SetUserLocale(0, 0);
}

// ---- Stream headers -----------------------------------------------------------------------

TEST(MetaStreamHeaders, AcceptOnlyWholeHeadersOfVersion100AndTheirKind) {
  int live = 0;
  struct Case {
    std::string bytes;
    HRESULT check;  // CheckMetaStreamHeader
    HRESULT sub;    // ReadMetaSubHeader for the picture kind, from byte 0
  };
  const Case cases[] = {
      {Le32(28) + Le32(100) + Le32(3) + GuidBytes(kMetaGuidPictures), S_OK, S_OK},
      {Le32(28) + Le32(100) + Le32(3) + GuidBytes(kMetaGuidSensing), S_OK, WU_E_READ},
      {Le32(27) + Le32(100) + Le32(3) + GuidBytes(kMetaGuidPictures), WU_E_READ, WU_E_READ},
      {Le32(28) + Le32(101) + Le32(3) + GuidBytes(kMetaGuidPictures), WU_E_READ, WU_E_READ},
      {(Le32(28) + Le32(100) + Le32(3) + GuidBytes(kMetaGuidPictures)).substr(0, 27), WU_E_READ, WU_E_READ},
  };
  for (const Case& c : cases) {
    IStream* s = metatest::MakeStream(c.bytes, &live);
    ASSERT_TRUE(s);
    LONG size = -1;
    GUID kind = {};
    EXPECT_EQ(ReadMetaStreamHeader(s, &size, &kind), c.bytes.size() == 28 ? S_OK : WU_E_READ);
    EXPECT_EQ(CheckMetaStreamHeader(s), c.check);
    LARGE_INTEGER zero = {};
    s->Seek(zero, STREAM_SEEK_SET, nullptr);
    DWORD element = 0;
    EXPECT_EQ(ReadMetaSubHeader(s, kMetaGuidPictures, &element), c.sub);
    if (c.sub == S_OK) {
      EXPECT_EQ(size, 3);
      EXPECT_TRUE(IsEqualGUID(kind, kMetaGuidPictures));
      EXPECT_EQ(element, 3u);
    }
    s->Release();
  }
  EXPECT_EQ(live, 0);
}

// ---- VEMP information and Other metadata --------------------------------------------------

TEST_F(FilePropMetaTest, VempInformationFromTheLoopKindAndTheStreams) {
  meta_.loopResult = S_OK;
  meta_.stretchList = ReaderStream({"item", "item", "item"});
  meta_.base.meta_streams = {
      MetaStream(kMetaGuidStr2, {}) + std::string(20, 's'),
      Le32(28) + Le32(100) + Le32(4) + GuidBytes(kMetaGuidBookmarks),
      Le32(28) + Le32(100) + Le32(7) + GuidBytes(kMetaGuidBeats),
  };
  // The second stretch record's header claims 20 bytes of data.
  meta_.base.meta_streams[0].replace(8, 4, Le32(20));
  EXPECT_EQ(Section(Run(Input()), "VEMP information"),
            (Lines{"VEMP information", L("VEMP chunk", "yes"), L("Stretch chunk", "no"), L("Stretch list", "3"),
                   L("Stretch info2", "yes"), L("Beat markers", "4"), L("Detected beats", "7")}));

  // A second stretch record with fewer than 20 bytes does not count; a
  // stretch list whose header cannot be read stops the walk.
  meta_.base.meta_streams[0].resize(28 + 19);
  meta_.stretchResult = S_OK;
  meta_.stretchList = ReaderStream({}).substr(0, 8);
  EXPECT_EQ(Section(Run(Input()), "VEMP information"),
            (Lines{"VEMP information", L("VEMP chunk", "yes"), L("Stretch chunk", "yes"), L("Stretch list", "no"),
                   L("Stretch info2", "no"), L("Beat markers", "no"), L("Detected beats", "no")}));
  meta_.stretchList.reset();
  EXPECT_EQ(Section(Run(Input()), "VEMP information")[5], L("Beat markers", "4"));

  WUFILEPROPMETA in = Input();
  in.loopInfo = nullptr;
  EXPECT_TRUE(Section(Run(in), "VEMP information").empty());
}

TEST_F(FilePropMetaTest, OtherMetadataAndItsPlaylist) {
  const std::string playlist = Le32(28) + Le32(100) + Le32(1) + GuidBytes(kMetaGuidPlaylist);
  struct Case {
    std::optional<std::string> region, command;
    std::string playlistData;
    BOOL diagnostic;
    Lines expected;
  };
  const std::string regions = ReaderStream({metatest::RegionItem(1, 0, 10, true, u"Intro")});
  const Case cases[] = {
      {regions, std::nullopt, std::string(24, 'p'), FALSE,
       {"Other metadata", L("Regions/markers", "yes"), L("Command markers", "no")}},
      {regions, ReaderStream({"c"}), std::string(24, 'p'), TRUE,
       {"Other metadata", L("Regions/markers", "yes"), L("Command markers", "yes"), L("Playlist", "yes")}},
      // 23 bytes are no playlist; nor is one without regions.
      {regions, std::nullopt, std::string(23, 'p'), TRUE,
       {"Other metadata", L("Regions/markers", "yes"), L("Command markers", "no"), L("Playlist", "no")}},
      {ReaderStream({}), std::nullopt, std::string(24, 'p'), TRUE,
       {"Other metadata", L("Regions/markers", "no"), L("Command markers", "no"), L("Playlist", "no")}},
  };
  for (const Case& c : cases) {
    meta_.base.region = c.region;
    meta_.base.command = c.command;
    meta_.base.meta_streams = {playlist + c.playlistData};
    WUFILEPROPMETA in = Input();
    in.diagnostic = c.diagnostic;
    EXPECT_EQ(Section(Run(in), "Other metadata"), c.expected);
  }
}

TEST_F(FilePropMetaTest, WithoutAReaderTheTwoAlwaysWrittenSectionsSayNo) {
  WUFILEPROPMETA in = {};
  in.requestFlags = WUFILEPROP_REQUEST_BWF;
  EXPECT_EQ(Run(in), (Lines{"Other metadata", L("Regions/markers", "no"), L("Command markers", "no"), "",
                            "Media catalogue tags", L("Media tags", "no"), ""}));
}

TEST_F(FilePropMetaTest, MediaTags) {
  meta_.tagInfo = {3, 0, 12};
  meta_.tagResult = S_OK;
  EXPECT_EQ(Section(Run(Input()), "Media catalogue tags"),
            (Lines{"Media catalogue tags", L("Media tags", "yes"), L("Count", "12"), L("Version", "3")}));
  meta_.tagResult = S_FALSE;
  EXPECT_EQ(Section(Run(Input()), "Media catalogue tags"), (Lines{"Media catalogue tags", L("Media tags", "no")}));
  meta_.tagResult = S_OK;
  WUFILEPROPMETA in = Input();
  in.mediaTagsUsable = FALSE;
  EXPECT_EQ(Section(Run(in), "Media catalogue tags")[1], L("Media tags", "no"));
}

// ---- Sensing blocks and pictures ----------------------------------------------------------

TEST_F(FilePropMetaTest, SensingBlocks) {
  std::string payload;
  for (int i = 0; i < 30; ++i) payload.push_back(static_cast<char>(i * 9));
  meta_.base.meta_streams = {MetaStream(kMetaGuidSensing, {SensingBlock(payload), SensingBlock("second")}),
                             MetaStream(kMetaGuidSensing, {SensingBlock("\xab\xcd")})};
  WUFILEPROPMETA in = Input();
  EXPECT_EQ(Tail(Run(in), "Orvo Sensing"),
            (Lines{"Orvo Sensing", L("Version", "1.0.65"), L("Size", "30"), "", "Orvo Sensing",
                   L("Version", "1.0.65"), L("Size", "2"), ""}));
  in.diagnostic = TRUE;
  Lines lines = Tail(Run(in), "Orvo Sensing");
  ASSERT_EQ(lines.size(), 10u);
  EXPECT_EQ(lines[3], L("Data", "00 09 12 1b 24 2d 36 3f 48 51 5a 63 6c 75 7e 87 90 99 a2 ab b4 bd c6 cf "));
  EXPECT_EQ(lines[8], L("Data", "ab cd "));
}

TEST_F(FilePropMetaTest, SensingBlocksWhoseSizesPassTheBytesRead) {
  const std::string payload(40, 'd');
  struct Case {
    std::string stream;
    Lines expected;
  };
  const Case cases[] = {
      // The payload size beyond the block: the header's fields, no data.
      {MetaStream(kMetaGuidSensing, {SensingBlock(payload, std::nullopt, 5000)}),
       {"Orvo Sensing", L("Version", "1.0.65"), L("Size", "5000"), L("Data", ""), ""}},
      // The block's total beyond the bytes read, a block shorter than its
      // header, a sub-header claiming more than the stream holds: nothing.
      {MetaStream(kMetaGuidSensing, {SensingBlock(std::string(2000, 'd')).substr(0, 30)}), {"Orvo Sensing", ""}},
      {MetaStream(kMetaGuidSensing, {SensingBlock("abc", 100000, 500)}), {"Orvo Sensing", ""}},
      {MetaStream(kMetaGuidSensing, {SensingBlock(payload).substr(0, 12)}), {"Orvo Sensing", ""}},
      {OddElementStream(kMetaGuidSensing, 1, 0xFFFFFFF0, SensingBlock(payload)), {"Orvo Sensing", ""}},
      // A refused sub-header ends the walk before the header.
      {OddElementStream(kMetaGuidSensing, 1, 56, SensingBlock(payload), 99), {}},
  };
  for (const Case& c : cases) {
    meta_.base.meta_streams = {c.stream, MetaStream(kMetaGuidSensing, {SensingBlock("x")})};
    WUFILEPROPMETA in = Input();
    in.diagnostic = TRUE;
    Lines lines = Tail(Run(in), "Orvo Sensing");
    if (c.expected.empty()) {
      EXPECT_TRUE(lines.empty());
    } else {
      ASSERT_GE(lines.size(), c.expected.size());
      EXPECT_EQ(Lines(lines.begin(), lines.begin() + static_cast<long>(c.expected.size())), c.expected);
      EXPECT_EQ(lines.size(), c.expected.size() + 5) << "the next stream's block follows";
    }
  }
}

TEST_F(FilePropMetaTest, PicturesWithTypeFormatAndTexts) {
  meta_.base.meta_streams = {MetaStream(kMetaGuidPictures, {PictureBlock(3, u"image/png", u"Cover", kPng),
                                                            PictureBlock(99, u"image/x-raw", u"", "abcd")})};
  EXPECT_EQ(Tail(Run(Input()), "Pictures"),
            (Lines{"Pictures", L("Count", "2"), "", L("Type", "3 (front cover)"), L("Mime type", "image/png"),
                   L("Description", "Cover"), L("Size", "16"), L("Format", "PNG"), "", L("Type", "99 (unknown)"),
                   L("Mime type", "image/x-raw"), L("Description", ""), L("Size", "4"), L("Format", "Unknown"), ""}));
}

TEST_F(FilePropMetaTest, PicturesWhoseSizesPassTheBytesRead) {
  // A MIME count beyond the block's total damages it (no type, texts or
  // data); a total beyond the bytes read or a block shorter than its header
  // shows nothing for that picture; an element beyond the stream ends the
  // walk.
  std::string stream = MetaStream(kMetaGuidPictures, {
      PictureBlock(4, u"image/png", u"Back", kPng, std::nullopt, 4000),
      PictureBlock(5, u"image/png", u"Leaf", kPng + std::string(4000, 'z')).substr(0, 80),
      PictureBlock(5, u"image/png", u"Leaf", kPng).substr(0, 20),
      PictureBlock(20, u"", u"Logo", "xy"),
  });
  meta_.base.meta_streams = {stream, OddElementStream(kMetaGuidPictures, 2, 1u << 30, PictureBlock(1, u"a", u"b", kPng)),
                             MetaStream(kMetaGuidPictures, {PictureBlock(0, u"a", u"b", "")})};
  EXPECT_EQ(Tail(Run(Input()), "Pictures"),
            (Lines{"Pictures", L("Count", "4"), "", L("Type", "255 (unknown)"), L("Mime type", ""),
                   L("Description", ""), L("Size", "16"), "",
                   L("Type", "20 (publisher/studio logo)"), L("Mime type", ""), L("Description", "Logo"),
                   L("Size", "2"), L("Format", "Unknown"), "", "Pictures", L("Count", "2"), ""}));
}

TEST_F(FilePropMetaTest, EveryPictureOfEveryStreamIsListed) {
  const std::vector<std::string> pictures(150, PictureBlock(6, u"m", u"d", "x"));
  meta_.base.meta_streams = {MetaStream(kMetaGuidPictures, pictures), MetaStream(kMetaGuidPictures, pictures)};
  Lines lines = Run(Input());
  EXPECT_EQ(std::count(lines.begin(), lines.end(), L("Type", "6 (CD label)")), 300);
  EXPECT_EQ(lines.back(), "") << "the last picture is whole";
}

// ---- Project link -------------------------------------------------------------------------

TEST_F(FilePropMetaTest, ProjectLinkVersionsAndFields) {
  fakefio::FakeRenderClass& renderer = world_.AddRenderer();
  renderer.classId = kMetaGuidBwf;
  renderer.strings[5] = u"Wave PCM";

  CWuLinkProjectInfo link;
  ASSERT_EQ(link.SetProjectPath(u"C:\\Songs\\night.prj"), S_OK);
  ASSERT_EQ(link.SetCommandLine(u"app.exe \"%1\""), S_OK);
  ASSERT_EQ(link.SetCreatorAppInfo(u"Studio 9"), S_OK);
  ASSERT_EQ(link.SetCreatorAppWindowClassName(u"StudioMain"), S_OK);
  ASSERT_EQ(link.SetTemplateName(u"CD quality"), S_OK);
  ASSERT_EQ(link.SetTemplateData("tmpl", 4), S_OK);
  ASSERT_EQ(link.SetRendererGuid(kMetaGuidBwf), S_OK);
  ASSERT_EQ(link.SetProjectData(RiffId("data"), "12345", 5), S_OK);

  struct Case {
    DWORD version;
    BOOL diagnostic;
    Lines expected;
  };
  const std::string bytes = " (" + std::to_string(link.GetProjectDataSize()) + " bytes)";
  const Case cases[] = {
      {0x01000100, FALSE,
       {"Project link", L("Version", "1.0.1"), L("Open project", "by reference"),
        L("Project path", "C:\\Songs\\night.prj"), L("Embedded data", "yes" + bytes), L("Created by", "Studio 9"),
        L("Render format", "Wave PCM"), L("Template name", "CD quality"), L("Template data", "included")}},
      {0x01000162, TRUE,
       {"Project link", L("Version", "1.0.1.b"), L("Open project", "by reference"),
        L("Project path", "C:\\Songs\\night.prj"), L("Embedded data", "yes" + bytes), L("Created by", "Studio 9"),
        L("Command line", "app.exe \"%1\""), L("Window class", "StudioMain"), L("Render format", "Wave PCM"),
        L("Template name", "CD quality"), L("Template data", "included")}},
  };
  for (const Case& c : cases) {
    link.SetVersion(c.version);
    WUFILEPROPMETA in = Input();
    in.link = &link;
    in.linkLoaded = TRUE;
    in.manager = &world_.manager;
    in.diagnostic = c.diagnostic;
    EXPECT_EQ(Section(Run(in), "Project link"), c.expected);
    in.linkLoaded = FALSE;
    EXPECT_TRUE(Section(Run(in), "Project link").empty());
  }

  // Only the required fields: no embedded data; without a manager no
  // render format.
  CWuLinkProjectInfo bare;
  ASSERT_EQ(bare.SetProjectPath(u"p"), S_OK);
  ASSERT_EQ(bare.SetCommandLine(u"c"), S_OK);
  ASSERT_EQ(bare.SetRendererGuid(kMetaGuidBwf), S_OK);
  bare.SetVersion(0x02030400);
  WUFILEPROPMETA in = Input();
  in.link = &bare;
  in.linkLoaded = TRUE;
  EXPECT_EQ(Section(Run(in), "Project link"),
            (Lines{"Project link", L("Version", "2.3.4"), L("Open project", "by reference"), L("Project path", "p"),
                   L("Embedded data", "no")}));
  // A record that does not validate shows nothing.
  CWuLinkProjectInfo invalid;
  in.link = &invalid;
  EXPECT_TRUE(Section(Run(in), "Project link").empty());
}

// ---- BWF information ----------------------------------------------------------------------

TEST_F(FilePropMetaTest, BroadcastWaveRecordWithATwoLineCodingHistory) {
  auto& f = meta_.base.fields;
  f[0] = Utf16Bytes(u"Session take");
  f[1] = Utf16Bytes(u"Field recorder");
  f[2] = Utf16Bytes(u"REF-42");
  f[3] = Utf16Bytes(u"2024-05-06");
  f[4] = Utf16Bytes(u"07:08:09");
  f[5] = Le64(441000);
  f[6] = std::string("\x02\x00", 2);
  f[7] = std::string(64, '\0');
  f[8] = std::string(190, '\0');
  f[9] = Utf16Bytes(u"A=PCM,F=48000\r\nA=PCM,F=44100\r\n");
  WUFILEPROPMETA in = Input();
  in.requestFlags = WUFILEPROP_REQUEST_BWF;
  EXPECT_EQ(Section(Run(in), "BWF information"),
            (Lines{"BWF information", L("BWF version", "2"), L("Description", "Session take"),
                   L("Originator", "Field recorder"), L("Originator ref.", "REF-42"), L("Orig. date", "2024-05-06"),
                   L("Orig. time", "07:08:09"), L("Time reference", "441000"), L("Coding history", "A=PCM,F=48000"),
                   std::string(21, ' ') + "A=PCM,F=44100", std::string(21, ' ')}));
  EXPECT_EQ(L("Coding history", "x"), "    Coding history:  x");
  // Not asked for, or not loaded: no section.
  in.requestFlags = 0;
  EXPECT_TRUE(Section(Run(in), "BWF information").empty());
  in.requestFlags = WUFILEPROP_REQUEST_BWF;
  f.erase(1);
  EXPECT_TRUE(Section(Run(in), "BWF information").empty());
}

// ---- The whole set ------------------------------------------------------------------------

TEST_F(FilePropMetaTest, SectionsComeInOrderAndAGermanUiTranslatesThem) {
  meta_.base.summary = ReaderStream({InfoItem("INAM", u"t")});
  SetTexts({{"TAPE", u"r"}});
  meta_.base.meta_streams = {MetaStream(kMetaGuidSensing, {SensingBlock("s")}),
                             MetaStream(kMetaGuidPictures, {PictureBlock(1, u"m", u"d", "x")})};
  CWuLinkProjectInfo link;
  ASSERT_EQ(link.SetProjectPath(u"p"), S_OK);
  ASSERT_EQ(link.SetCommandLine(u"c"), S_OK);
  meta_.base.fields = {{0, Utf16Bytes(u"d")}, {1, Utf16Bytes(u"o")}, {2, Utf16Bytes(u"r")},
                       {3, Utf16Bytes(u"2024-01-01")}, {4, Utf16Bytes(u"00:00:00")}, {5, Le64(0)},
                       {6, std::string(2, '\0')}, {7, std::string(64, '\0')}, {8, std::string(190, '\0')},
                       {9, Utf16Bytes(u"")}};
  WUFILEPROPMETA in = Input();
  in.link = &link;
  in.linkLoaded = TRUE;
  in.requestFlags = WUFILEPROP_REQUEST_BWF;
  const Lines lines = Run(in);
  Lines headers;
  for (size_t i = 0; i < lines.size(); ++i)
    if (!lines[i].empty() && lines[i][0] != ' ' && (i == 0 || lines[i - 1].empty())) headers.push_back(lines[i]);
  EXPECT_EQ(headers, (Lines{"Summary", "Capture", "VEMP information", "Other metadata", "Media catalogue tags",
                            "Orvo Sensing", "Pictures", "Project link", "BWF information"}));

  HWULANG german = nullptr;
  ASSERT_EQ(WuLang_Open(&german, GetModuleHandleW(nullptr), 0x407, 0), S_OK);
  WuKernel_SetLangHandle(german);
  const Lines de = Run(in);
  WuKernel_SetLangHandle(lang_);
  WuLang_Close(german);
  EXPECT_EQ(Section(de, "Zusammenfassung"), (Lines{"Zusammenfassung", L("Titel", "t")}));
  EXPECT_EQ(Section(de, "Weitere Metadaten")[1], L("Bereiche/Marken", "nein"));
}

}  // namespace
