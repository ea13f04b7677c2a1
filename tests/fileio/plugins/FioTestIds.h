// The class ids of the test plug-ins, shared by the plug-ins and the tests.
#pragma once

#include "platform/kernel/types.h"

namespace fio_test {

// A test id: {XXXXXXXX-00NN-4000-8000-0000000000NN}. Lists of ids match on
// the first 10 bytes, so NN is repeated there.
constexpr GUID TestId(DWORD first, BYTE last) {
  return {first, last, 0x4000, {0x80, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, last}};
}

// Property ids of the files the test readers open: what Open was given.
constexpr DWORD kFileProcessId = 1;
constexpr DWORD kFileShareFlag = 2;

// What the test files answer of their streams: stream 0 audio, stream 1
// video. The fifth byte of a file's head picks how GetStreamFormat answers
// (kAnswer*); the streams answer version 2 through their current
// interfaces and version 1 through the old ones.
constexpr char kAnswerV2 = '2';        // version 2 (any other byte too)
constexpr char kAnswerV1 = '1';        // version 1, an 18-byte wave record
constexpr char kAnswerV1Pcm16 = 'p';   // version 1, a 16-byte PCM record
constexpr char kAnswerV1Huge = 'g';    // version 1, claiming 1 GiB of format
// The sixth byte picks a stream query that fails with kStreamFailure (any
// other byte: none). The audio stream's format is method 13, its compressed
// format 14; the video-format interface's are 12 and 13.
constexpr char kFailAudioFormat = 'a';
constexpr char kFailAudioCompressed = 'c';
constexpr char kFailVideoFormat = 'v';
constexpr char kFailVideoCompressed = 'w';
constexpr HRESULT kStreamFailure = static_cast<HRESULT>(0x8004E0F5);
constexpr DWORD kStreamRate = 44100;   // audio: frames per second
constexpr WORD kStreamChannels = 2;    // audio: 16-bit PCM
constexpr LONGLONG kAudioLength = 88200;
constexpr LONG kVideoWidth = 320;      // video: 24-bit RGB
constexpr LONG kVideoHeight = 240;
constexpr double kVideoRate = 25.0;
constexpr DWORD kVideoCompression = 0x47504A4D;  // 'MJPG', the compressed video format
constexpr WORD kAudioCompressedTag = 0x55;      // the compressed audio format's tag
constexpr LONGLONG kVideoLength = 250;
constexpr DWORD kV1Values[2] = {7, 9};  // the two values of a version-1 answer
constexpr BYTE kAudioExtensionByte = 0xA5;  // every byte of the audio extension

// ---- fio_test_basic ----
// "TST": a reader of "*.tst" and "*.ts2"; accepts heads "TST1", answers
// 0x8004E086 for "BUSY", refuses the rest.
constexpr CLSID kBasicTst = TestId(0xB0000001, 1);
constexpr CLSID kBasicTstReader = TestId(0xF0E00000, 1);
// "TSX": a reader and renderer of "*.tsx" and "*.ts2"; accepts "TSX1", and
// "BUSY" only under the extension "ts2".
constexpr CLSID kBasicTsx = TestId(0xB0000002, 2);
constexpr CLSID kBasicTsxReader = TestId(0xE0000000, 2);
constexpr CLSID kBasicTsxRenderer = TestId(0xE1000000, 2);
// A reader of WAV files ("*.wav;*.w64") whose reader class id is the first
// row of the type table.
constexpr CLSID kBasicWav = TestId(0xB0000003, 3);
constexpr CLSID kBasicWavReader = {0x0A30C422, 0xB91B, 0x11D3,
                                   {0xA4, 0x84, 0x00, 0x10, 0x5A, 0x24, 0xAA, 0x37}};

// ---- fio_test_order (every reader refuses every file) ----
// First of the reader priority list.
constexpr CLSID kOrderFirst = {0x5A8D382F, 0xEF79, 0x4647,
                               {0xA2, 0xF8, 0x00, 0xAA, 0x00, 0x6B, 0xA2, 0xBA}};
// First of the reader low list.
constexpr CLSID kOrderLow = {0xE61EEE69, 0x6229, 0x40CC,
                             {0xAE, 0x46, 0x00, 0xAA, 0x00, 0x6B, 0xA2, 0xBA}};
// First of the blocked list.
constexpr CLSID kOrderBlocked = {0xB50802D8, 0x9917, 0x11D3,
                                 {0x8A, 0xB7, 0x00, 0xAA, 0x00, 0x6B, 0xA2, 0xBA}};
// Two ids on no list (priority 0).
constexpr CLSID kOrderZeroA = TestId(0xC0000000, 0x0A);
constexpr CLSID kOrderZeroB = TestId(0xC0000000, 0x0B);
// The dependent pair and the class they need.
constexpr CLSID kOrderDependentA = {0x341D000D, 0x95CA, 0x458A,
                                    {0xAC, 0x65, 0x00, 0xAA, 0x00, 0x6B, 0xA2, 0xBA}};
constexpr CLSID kOrderDependentB = {0x34EFD06F, 0xE6D9, 0x4712,
                                    {0x8C, 0x22, 0x00, 0xAA, 0x00, 0x6B, 0xA2, 0xBA}};
constexpr CLSID kOrderNeeded = {0xAEB1C9FC, 0x78EA, 0x4AB1,
                                {0xAA, 0xE7, 0x00, 0xAA, 0x00, 0x6B, 0xA2, 0xBA}};
// Readers of table A rows 6 and 8 (type 0x1004) and of table B's 0x7002 rows.
constexpr CLSID kOrderRow6 = TestId(0xC0000000, 0x06);
constexpr CLSID kOrderRow8 = TestId(0xC0000000, 0x08);
constexpr CLSID kOrderB1 = TestId(0xC0000000, 0x71);
constexpr CLSID kOrderB2 = TestId(0xC0000000, 0x72);
constexpr CLSID kOrderB3 = TestId(0xC0000000, 0x73);
constexpr CLSID kRow6Reader = {0x0117AE4C, 0xAF7F, 0x43D3,
                               {0xA8, 0xDB, 0xC5, 0x8A, 0x60, 0x98, 0x91, 0x8B}};
constexpr CLSID kRow8Reader = {0xC1FE13C2, 0xF794, 0x44DB,
                               {0x95, 0x99, 0x8D, 0xCC, 0x7D, 0x90, 0xFA, 0x03}};
constexpr CLSID kB1Reader = {0xE6D45519, 0x793E, 0x462A,
                             {0x81, 0xA5, 0xC9, 0xF4, 0x45, 0x8E, 0x8C, 0x0F}};
constexpr CLSID kB2Reader = {0x3B0F152B, 0x6354, 0x40B8,
                             {0xA2, 0x77, 0x77, 0xFB, 0xEC, 0x13, 0x29, 0xDA}};
constexpr CLSID kB3Reader = {0xA818A004, 0x5CB3, 0x45E9,
                             {0xBD, 0x3A, 0x3B, 0x1B, 0x5C, 0x67, 0xF9, 0x71}};
// The reader class ids of the listed and zero-priority plug-ins.
constexpr CLSID kOrderFirstReader = TestId(0x10000000, 1);
constexpr CLSID kOrderLowReader = TestId(0xF8000000, 2);  // the greatest id, yet last
constexpr CLSID kOrderBlockedReader = TestId(0x18000000, 3);
constexpr CLSID kOrderZeroAReader = TestId(0x20000000, 0x0A);
constexpr CLSID kOrderZeroBReader = TestId(0x30000000, 0x0B);
constexpr CLSID kOrderDependentAReader = TestId(0x40000000, 0x41);
constexpr CLSID kOrderDependentBReader = TestId(0x41000000, 0x42);
constexpr CLSID kOrderNeededReader = TestId(0x42000000, 0x43);

// ---- fio_test_many: kManyCount reader classes ----
constexpr int kManyCount = 20;
constexpr CLSID ManyId(int i) { return TestId(0xD0000000, static_cast<BYTE>(i)); }
constexpr CLSID ManyReader(int i) { return TestId(0xD1000000, static_cast<BYTE>(i)); }

// ---- fio_test_preload: one reader that needs libfio_test_dep ----
constexpr CLSID kPreload = TestId(0xA0000000, 1);
constexpr CLSID kPreloadReader = TestId(0xA1000000, 1);

// ---- fio_test_generic: the generic reader class ("*.gen"), accepting
// every file ----
constexpr CLSID kGeneric = TestId(0xA3000000, 1);

// ---- fio_test_nolist: a library whose class list cannot be made ----
constexpr CLSID kNoList = TestId(0xA2000000, 1);

// ---- fio_test_keys: reader and renderer classes that misreport their
// keys; each accepts heads "KEY1" and refuses the rest ----
// "Minus" ("*.kym") answers -1.
constexpr CLSID kKeysMinus = TestId(0xA4000000, 1);
constexpr CLSID kKeysMinusReader = TestId(0x09000000, 1);
constexpr CLSID kKeysMinusRenderer = TestId(0x07000000, 1);
// "Lower" ("*.kyl") answers the key before its own.
constexpr CLSID kKeysLower = TestId(0xA4000000, 2);
constexpr CLSID kKeysLowerReader = TestId(0x08000000, 2);
constexpr CLSID kKeysLowerRenderer = TestId(0x06000000, 2);

}  // namespace fio_test
