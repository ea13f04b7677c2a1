// fio_test_renderer: one renderer class with presets, texts and switchable
// template conversions, shared by the plug-in and the tests.
//
// Slot behaviour:
//   6  GetManager: the manager given to Initialize (AddRef'd), or E_FAIL.
//   7  GetClassId: kRendererClassId.
//   8  GetPartMask: 3 (audio and video).
//   11 GetStrings: kind 1 the template folder (kRendererFolder, or the text
//      chosen by kRendererPropFolder), 2 the name, 4 the patterns, 5 the
//      description.
//   14, 15 three presets (kRendererPresetNames), each with kRendererPrivateSize
//      bytes of private data ("TRND", index, 0xAA) and the class id at 24:
//      0 audio and video, 1 audio only, 2 video only; id at 12 = index.
//   18 ConvertTemplate: by kRendererPropConvert; the replacement is a copy
//      of the record (preset 0 when none is given) whose attribute word is
//      kRendererConvertedMark | mode.
//   19 TemplateOperation: by kRendererPropOperation; the replacement is a
//      copy of *record whose attribute word is kRendererOperatedMark | mode.
//   QueryInterface also answers the post-save interface (IWuRenderPostSave):
//      method 3 by kRendererPropPostSave writes kRendererPostSavePath into the
//      path and gives a copy of the template renamed kRendererPostSaveName,
//      hands back the template it was given, or fails with E_ABORT.
//   20 GetTemplateInfo: type 3 the audio bit rate (DWORD, 1 without audio),
//      type 4 the video bit rate (i64, needs 8 bytes, 1 without video).
//   21 GetPageCount: kRendererPropPages pages (E_NOTIMPL when negative),
//      kRendererPropExtraPages extra pages, kRendererPropPageFlags as flags,
//      after waiting kRendererPropPageCountDelay milliseconds.
//   22 GetPage: page `number` (0 to pages + extra - 1) as a new test page
//      (below); an extra page only after slot 23, a page of
//      kRendererPropFailingPages fails (E_FAIL), a page of
//      kRendererPropInfoPages is the template-information page.
//   23 PreparePages: makes the extra pages available and keeps the owner
//      window (kRendererPropPreparedOwner).
// A test page (IWuFileIOPropertyPage, operations counted under
// "fio_test_renderer/page/<slot>") is a child dialog (no font: dialog
// units of the system font) holding one check box, kRendererPageControl,
// which shows bit 0 of private byte kRendererSettingsByte of the page's
// template. Clicking it flips that bit, makes the page dirty and tells
// the site PROPPAGESTATUS_DIRTY. Apply hands the holder the page's
// template (its slot 4) and makes the page clean; a page of
// kRendererPropApplyFails answers E_FAIL and stays dirty. Titles are
// kRendererPageTitle and the page number + 1, or kRendererLongPageTitle
// for a page of kRendererPropLongTitles.
// Every operation counts under "fio_test_renderer/<slot>" (kWuFioTestCalls).
#pragma once

#include "tests/fileio/plugins/FioTestIds.h"

namespace fio_test {

constexpr CLSID kRendererPlugin = TestId(0xE7000000, 0x01);
constexpr CLSID kRendererClassId = TestId(0xE7100000, 0x01);
// A second, bare renderer class: the same presets, no extension patterns
// and no post-save interface.
constexpr CLSID kBareRendererPlugin = TestId(0xE7000000, 0x02);
constexpr CLSID kBareRendererClassId = TestId(0xE7100000, 0x02);
constexpr const char16_t* kBareRendererDescription = u"Bare render files";
// The fixed GUID of preset i.
constexpr GUID RendererPresetGuid(int i) { return TestId(0xE7200000, static_cast<BYTE>(i)); }

constexpr const char16_t* kRendererFolder = u"Test Render";
constexpr const char16_t* kRendererPatterns = u"*.trn;*.tr2";
constexpr const char16_t* kRendererDescription = u"Test render files";
constexpr const char16_t* kRendererPresetNames[3] = {u"Project Default", u"Test Audio",
                                                     u"Test Video"};
constexpr const char16_t* kRendererPresetNotes[3] = {u"", u"Audio: 48,000 Hz\r\nplain",
                                                     u"Video: 640x480"};
constexpr int kRendererPresetCount = 3;
constexpr LONG kRendererPrivateSize = 6;

// Class properties (slots 16 and 17).
enum : DWORD {
  // Answer of slot 18: 0 E_NOTIMPL (the default), 1 a replacement, 2 E_FAIL.
  kRendererPropConvert = 1,
  // Answer of slot 19: 0 E_NOTIMPL (the default), 1 a replacement.
  kRendererPropOperation = 2,
  // Read only: the mode last given to slot 18 (0 before any call).
  kRendererPropLastConvertMode = 3,
  // Text kind 1: 0 kRendererFolder, 1 "..", 2 "", 3 none (NULL), 4 "...".
  kRendererPropFolder = 4,
  // Answer of the post-save method: 0 a new template, 1 the one given, 2 E_ABORT.
  kRendererPropPostSave = 5,
  // Slot 21: the page count (default 1; negative: E_NOTIMPL), the extra
  // page count (default 0) and the flags (default 0).
  kRendererPropPages = 6,
  kRendererPropExtraPages = 7,
  kRendererPropPageFlags = 8,
  // Page masks, bit n for page number n (default 0, none): pages whose
  // creation fails, pages whose Apply fails, pages with the 32-unit title,
  // pages that are the template-information page.
  kRendererPropFailingPages = 9,
  kRendererPropApplyFails = 10,
  kRendererPropLongTitles = 11,
  kRendererPropInfoPages = 12,
  // Read only: the owner window slot 23 was given (-1 when it was given
  // none), 0 before it was called.
  kRendererPropPreparedOwner = 13,
  // Milliseconds slot 21 waits before answering (default 0).
  kRendererPropPageCountDelay = 14,
  // Read only: the process the class lives in.
  kRendererPropProcessId = 15,
};

constexpr const char16_t* kRendererPageTitle = u"Test Page ";
constexpr const char16_t* kRendererLongPageTitle = u"Thirty-two character page titles";
constexpr int kRendererPageControl = 1100;
constexpr const char16_t* kRendererPageControlText = u"&Test setting";
constexpr int kRendererSettingsByte = 5;
// The page's size in dialog units of the system font.
constexpr int kRendererPageWidth = 160;
constexpr int kRendererPageHeight = 40;

constexpr const char16_t* kRendererPostSavePath = u"/saved/by/plug-in.trn";
constexpr const char16_t* kRendererPostSaveName = u"After Save";

constexpr DWORD kRendererConvertedMark = 0x7E570000;
constexpr DWORD kRendererOperatedMark = 0x0BE70000;

}  // namespace fio_test
