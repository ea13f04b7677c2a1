#include "fileio/WuFioTemplateDescription.h"

#include <cmath>
#include <cstring>
#include <vector>

#include "audio/WuWaveFormat.h"
#include "fileio/WuFioAudioText.h"
#include "fileio/WuFioBitRateText.h"
#include "fileio/WuFioFormatNames.h"
#include "foundation/WuKernelState.h"
#include "foundation/WuLang.h"
#include "foundation/WuLangRows.h"
#include "foundation/WuPrintF.h"
#include "foundation/WuStatus.h"
#include "foundation/WuString.h"
#include "foundation/WuUIFont.h"
#include "platform/user/controls.h"
#include "platform/user/window_model.h"

namespace {

// Appends within the caller's room; a part that does not fit is cut.
struct Text {
  LPWSTR out;
  int size;
  void Add(LPCWSTR part) { WuStrCatN(out, part, size); }
  int Length() const { return WuStrLenSafe(out); }
  int Left() const { return size - 1 - Length(); }
};

// The stream count as " Multistream, " or "2 Streams, " for more than one.
void AddStreamCount(Text& text, DWORD count, LPCWSTR separator) {
  if (count <= 1) return;
  WCHAR part[64];
  if (count == 0xFFFFFF00u)
    WuStrCpyNLen2(part, WuLangText(WuLangRow_FioDescMultistream), 64);
  else
    WuPrintFN(part, 64, WuLangText(WuLangRow_FioDescStreams), static_cast<int>(count));
  text.Add(part);
  text.Add(separator);
}

// A format in a template's room of `room` bytes: read within the room,
// whatever its size field says.
void ReadRoom(const BYTE* bytes, UINT room, _wuwaveformat_plus* format) {
  // The copy reads min(room, the record's length) bytes of the source.
  WuAudio_GeneralCopyWuWaveFormat(format, room, *reinterpret_cast<const _wuwaveformat*>(bytes),
                                  WUCOPYDEST_ASSOURCE);
}

bool IsEmptyFormat(const _wuwaveformat& f) {
  if (f.SampleType != WUSAMPLE_NONE) return false;
  return !f.IsCompressed() || f.wFormatTag == 0;
}

double ReadDouble(const BYTE* bytes) {
  double v;
  std::memcpy(&v, bytes, sizeof(v));
  return v;
}

struct FlagLine {
  DWORD mask;                  // bits that must all be set
  bool both;                   // needs the audio and the video part described
  const WuLangStringRow* row;  // the line
};

}  // namespace

HRESULT WuFio_MakeTemplateDescription(const WUTEMPLATExV2* tpl, DWORD parts, LPWSTR out,
                                      int size) {
  if (!tpl || !out || size <= 0) return E_INVALIDARG;
  if (!tpl->HasValidLayout()) return WU_E_BAD_DATA;
  out[0] = 0;
  if (parts == 0) parts = 3;
  Text text{out, size};
  WCHAR separator[8];
  WuPrintFN(separator, 8, u"$, ");
  WCHAR part[WUPRINTF_MAX];
  const BYTE* record = reinterpret_cast<const BYTE*>(tpl);

  bool audio = false;
  if ((parts & 1) && tpl->audio.streamCount != 0) {
    audio = true;
    text.Add(WuLangText(WuLangRow_FioDescAudio));
    AddStreamCount(text, tpl->audio.streamCount, separator);
    _wuwaveformat_plus format;
    ReadRoom(record + 144, 96, &format);
    if (IsEmptyFormat(format)) ReadRoom(record + 72, 40, &format);
    WuAudio_GetFormatText(format, part, WUPRINTF_MAX, WUFMTTEXT_BITRATE);
    text.Add(part);
  }

  bool video = false;
  if ((parts & 2) && tpl->video.streamCount != 0) {
    video = true;
    if (audio && text.Left() > 3) text.Add(u"\r\n");
    text.Add(WuLangText(WuLangRow_FioDescVideo));
    AddStreamCount(text, tpl->video.streamCount, separator);
    const WUTEMPLATE_VIDEO& v = tpl->video;

    const double rate = ReadDouble(v.settings + 16);
    if (rate == 0) {
      text.Add(WuLangText(WuLangRow_FioDescProjectRate));
    } else {
      if (rate == std::floor(rate) && std::fabs(rate) < 2e9)
        WuPrintFN(part, WUPRINTF_MAX, WuLangText(WuLangRow_FioDescFps), static_cast<int>(rate));
      else
        WuPrintFN(part, WUPRINTF_MAX, WuLangText(WuLangRow_FioDescFpsFraction), rate);
      text.Add(part);
      if ((v.flags & 1) && text.Left() > 1) {
        text.Add(u" ");
        text.Add(WuLangText((v.flags & 3) == 3 ? WuLangRow_FioDescPulldown2332
                                               : WuLangRow_FioDescPulldown32));
      }
    }

    const BITMAPINFOHEADER& frame = v.output.biSize != 0 ? v.output : v.source;
    text.Add(separator);
    if (frame.biWidth != 0 && frame.biHeight != 0) {
      // A top-down header stores a negative height: its size is the magnitude.
      WuPrintFN(part, WUPRINTF_MAX, u"%dx%d", static_cast<int>(frame.biWidth),
                static_cast<int>(std::abs(static_cast<long long>(frame.biHeight))));
      text.Add(part);
    } else {
      text.Add(WuLangText(WuLangRow_FioDescProjectSize));
    }

    LONG interlace;
    std::memcpy(&interlace, v.settings + 12, sizeof(interlace));
    if (interlace != -1) {
      if (LPCWSTR name = WuVideo_GetInterlaceTypeName(interlace, FALSE)) {
        text.Add(separator);
        text.Add(name);
      }
    }

    if (v.output.biSize != 0 && v.output.biCompression != 0) {
      WuVideo_GetCompressionTypeName(v.output.biCompression, part, WUPRINTF_MAX, TRUE);
      text.Add(separator);
      text.Add(part);
    }

    if (v.flags & 0x20) {
      text.Add(separator);
      text.Add(WuLangText(WuLangRow_FioDescVbr));
    } else if (v.flags & 0x10) {
      LONGLONG bytesPerSecond;
      std::memcpy(&bytesPerSecond, v.bytesPerSecond, sizeof(bytesPerSecond));
      if (bytesPerSecond > 0 && bytesPerSecond < (LONGLONG{1} << 59)) {
        WuFio_FormatScaledValueText(bytesPerSecond * 8, part, WUPRINTF_MAX);
        text.Add(separator);
        text.Add(part);
      }
    }

    const double aspect = ReadDouble(v.settings + 24);
    if (aspect != 0) {
      WuPrintFN(part, WUPRINTF_MAX, WuLangText(WuLangRow_FioDescAspect), aspect);
      text.Add(u"\r\n");
      text.Add(part);
    }
  }

  static const FlagLine kFlagLines[] = {
      {0x1, false, &WuLangRow_FioDescElementary},
      {0x2, false, &WuLangRow_FioDescTransport},
      {0x10, false, &WuLangRow_FioDescMultifile},
      {0x1000, false, &WuLangRow_FioDescMui},
      {0x4, true, &WuLangRow_FioDescNoInterleave},
      {0x20, false, &WuLangRow_FioDescExternalMeta},
      {0x40, false, &WuLangRow_FioDescNoExternalMeta},
  };
  DWORD streamFlags;
  std::memcpy(&streamFlags, tpl->common, sizeof(streamFlags));
  for (const FlagLine& line : kFlagLines) {
    if ((streamFlags & line.mask) != line.mask) continue;
    if (line.both && !(audio && video)) continue;
    if (text.Length() > 0) text.Add(u"\r\n");
    text.Add(WuLangText(*line.row));
  }

  const int length = text.Length();
  if (length > 0 && text.Left() > 3 && out[length - 1] != u'\n') text.Add(u"\r\n");
  return S_OK;
}

void WuRefreshComboBoxDropDownWidth(HWND combo) {
  if (!combo) return;
  const LRESULT count = SendMessageW(combo, CB_GETCOUNT, 0, 0);
  if (count <= 0) return;
  const HFONT font = reinterpret_cast<HFONT>(SendMessageW(combo, WM_GETFONT, 0, 0));
  LONG widest = 0;
  std::vector<WCHAR> item;
  for (LRESULT i = 0; i < count; ++i) {
    // Each item is read into a buffer sized by its own length.
    const LRESULT length = SendMessageW(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(i), 0);
    if (length < 0) continue;
    item.assign(static_cast<size_t>(length) + 1, 0);
    const LRESULT got = SendMessageW(combo, CB_GETLBTEXT, static_cast<WPARAM>(i),
                                     reinterpret_cast<LPARAM>(item.data()));
    if (got < 0) continue;
    item[static_cast<size_t>(length)] = 0;
    SIZE extent{};
    if (WuGetTextExtent(font, item.data(), WuStrLenSafe(item.data()), &extent) &&
        extent.cx > widest)
      widest = extent.cx;
  }
  SendMessageW(combo, CB_SETDROPPEDWIDTH,
               static_cast<WPARAM>(widest + GetSystemMetrics(SM_CXHSCROLL) + 5), 0);
}
