#include "platform/text/mlang.h"

#include <algorithm>
#include <vector>

#include "platform/kernel/locale.h"

namespace platform {

namespace {

bool In(BYTE b, BYTE lo, BYTE hi) { return b >= lo && b <= hi; }

// ---- UTF-8 and ASCII ---------------------------------------------------------------------------
// TRUE when the bytes are strict UTF-8 (no overlong forms, no surrogates,
// nothing above U+10FFFF); *multi counts the multi-byte sequences.
bool IsUtf8(const BYTE* p, int n, int* multi) {
  *multi = 0;
  for (int i = 0; i < n;) {
    BYTE b = p[i];
    if (b < 0x80) {
      ++i;
      continue;
    }
    int extra;
    BYTE lo = 0x80, hi = 0xBF;  // the range of the first trail byte
    if (In(b, 0xC2, 0xDF)) {
      extra = 1;
    } else if (In(b, 0xE0, 0xEF)) {
      extra = 2;
      if (b == 0xE0) lo = 0xA0;
      if (b == 0xED) hi = 0x9F;
    } else if (In(b, 0xF0, 0xF4)) {
      extra = 3;
      if (b == 0xF0) lo = 0x90;
      if (b == 0xF4) hi = 0x8F;
    } else {
      return false;
    }
    if (i + extra >= n) return false;  // the sequence is cut off
    if (!In(p[i + 1], lo, hi)) return false;
    for (int k = 2; k <= extra; ++k)
      if (!In(p[i + k], 0x80, 0xBF)) return false;
    i += extra + 1;
    ++*multi;
  }
  return true;
}

// ---- Double-byte code pages -----------------------------------------------------------------------
struct DbcsModel {
  UINT code_page;          // the code page
  UINT language;           // its language
  bool (*common)(BYTE lead, BYTE trail);  // a pair in the ranges of common characters
  const WORD* frequent;    // the most frequent characters of the language
  int frequent_count;      // their number
};

bool CommonShiftJis(BYTE lead, BYTE trail) {
  return In(lead, 0x81, 0x83) || (In(lead, 0x88, 0x98));  // symbols, kana, level-1 kanji
}
bool CommonGbk(BYTE lead, BYTE trail) {
  return In(trail, 0xA1, 0xFE) && (In(lead, 0xA1, 0xA3) || In(lead, 0xB0, 0xD7));
}
bool CommonEucKr(BYTE lead, BYTE trail) {
  return In(trail, 0xA1, 0xFE) && (In(lead, 0xA1, 0xA3) || In(lead, 0xB0, 0xC8));
}
bool CommonBig5(BYTE lead, BYTE trail) {
  return In(lead, 0xA1, 0xA3) || In(lead, 0xA4, 0xC6);  // symbols, frequent hanzi
}

// The most frequent characters of running text, as pairs (lead << 8 | trail).
const WORD kFrequentJapanese[] = {0x82CC, 0x82C9, 0x82CD, 0x82F0, 0x82BD, 0x82AA, 0x82C5,
                                  0x82C4, 0x82C6, 0x82B5, 0x82EA, 0x82B3, 0x82A0, 0x82A2,
                                  0x82A4, 0x82E9, 0x82B7, 0x82C8, 0x82A9, 0x82B1};
const WORD kFrequentChineseSimplified[] = {
    0xB5C4, 0xD2BB, 0xCAC7, 0xB2BB, 0xC1CB, 0xD4DA, 0xC8CB, 0xD3D0, 0xCED2, 0xCBFB,
    0xD5E2, 0xB8F6, 0xC3C7, 0xD6D0, 0xC0B4, 0xC9CF, 0xB4F3, 0xCEAA, 0xBACD, 0xB9FA,
    0xB5D8, 0xB5BD, 0xD2D4, 0xCBB5, 0xCAB1, 0xD2AA, 0xBECD, 0xB3F6, 0xBBE1};
const WORD kFrequentKorean[] = {0xC0CC, 0xB4D9, 0xB4C2, 0xBFA1, 0xC7CF, 0xB0A1, 0xC0BB, 0xC0C7,
                                0xB0ED, 0xC1F6, 0xB7CE, 0xBCAD, 0xB1E2, 0xBBE7, 0xC7D1, 0xB8AE,
                                0xC0D6, 0xB5B5, 0xB5E9, 0xB8A6, 0xC0BA, 0xB4CF, 0xBFE4};
const WORD kFrequentChineseTraditional[] = {
    0xAABA, 0xA440, 0xAC4F, 0xA4A3, 0xA446, 0xA662, 0xA448, 0xA6B3, 0xA7DA, 0xA54C,
    0xB36F, 0xADD3, 0xADCC, 0xA4A4, 0xA8D3, 0xA457, 0xA46A, 0xACB0, 0xA94D, 0xB0EA,
    0xA661, 0xA8EC, 0xA548, 0xBBA1, 0xAEC9, 0xAD6E, 0xB44E, 0xA558, 0xB77C};

template <size_t N>
constexpr int CountOf(const WORD (&)[N]) {
  return static_cast<int>(N);
}

const DbcsModel kModels[] = {
    {932, 0x411, &CommonShiftJis, kFrequentJapanese, CountOf(kFrequentJapanese)},
    {936, 0x804, &CommonGbk, kFrequentChineseSimplified, CountOf(kFrequentChineseSimplified)},
    {949, 0x412, &CommonEucKr, kFrequentKorean, CountOf(kFrequentKorean)},
    {950, 0x404, &CommonBig5, kFrequentChineseTraditional, CountOf(kFrequentChineseTraditional)},
};

// How well a code page explains the text: 0 when the text is not valid in
// it, else a score in (0, 1]; *chars counts its non-ASCII characters.
double ScoreDbcs(const DbcsModel& m, const BYTE* p, int n, int* chars) {
  int total = 0, common = 0, frequent = 0;
  for (int i = 0; i < n;) {
    BYTE b = p[i];
    if (b < 0x80) {
      ++i;
      continue;
    }
    if (m.code_page == 932 && In(b, 0xA1, 0xDF)) {  // half-width katakana
      ++total;
      ++i;
      continue;
    }
    if (!IsMultiByteLeadByte(m.code_page, b) || i + 1 >= n ||
        !IsMultiByteTrailByte(m.code_page, p[i + 1]))
      return 0;
    BYTE t = p[i + 1];
    ++total;
    if (m.common(b, t)) ++common;
    WORD pair = static_cast<WORD>(b << 8 | t);
    if (std::find(m.frequent, m.frequent + m.frequent_count, pair) != m.frequent + m.frequent_count)
      ++frequent;
    i += 2;
  }
  *chars = total;
  if (total == 0) return 0;
  double common_share = static_cast<double>(common) / total;
  double frequent_share = std::min(1.0, 3.0 * frequent / total);
  return 0.7 * common_share + 0.3 * frequent_share;
}

void Push(std::vector<DetectEncodingInfo>& list, UINT cp, UINT language, int confidence) {
  list.push_back(DetectEncodingInfo{language, cp, 100, confidence});
}

}  // namespace

bool IsMultiByteLeadByte(UINT code_page, BYTE b) {
  switch (code_page) {
    case 932: return In(b, 0x81, 0x9F) || In(b, 0xE0, 0xFC);
    case 936:
    case 949:
    case 950: return In(b, 0x81, 0xFE);
    case CP_UTF8: return In(b, 0xC2, 0xF4);
    default: return false;
  }
}

bool IsMultiByteTrailByte(UINT code_page, BYTE b) {
  switch (code_page) {
    case 932: return In(b, 0x40, 0x7E) || In(b, 0x80, 0xFC);
    case 936: return In(b, 0x40, 0x7E) || In(b, 0x80, 0xFE);
    case 949: return In(b, 0x41, 0x5A) || In(b, 0x61, 0x7A) || In(b, 0x81, 0xFE);
    case 950: return In(b, 0x40, 0x7E) || In(b, 0xA1, 0xFE);
    case CP_UTF8: return In(b, 0x80, 0xBF);
    default: return false;
  }
}

UINT MultiByteCodePage() {
  UINT acp = GetACP();
  return IsMultiByteLeadByte(acp, 0x81) || acp == CP_UTF8 ? acp : 0;
}

HRESULT DetectInputCodepage(const char* bytes, int count, DWORD flags, DetectEncodingInfo* out,
                            int* count_inout) {
  if (count < 0 || (count > 0 && !bytes) || !count_inout || *count_inout < 0 ||
      (*count_inout > 0 && !out))
    return E_INVALIDARG;
  int capacity = *count_inout;
  *count_inout = 0;
  if (count == 0) return S_FALSE;
  const BYTE* p = reinterpret_cast<const BYTE*>(bytes);

  std::vector<DetectEncodingInfo> list;
  bool ascii = std::all_of(p, p + count, [](BYTE b) { return b < 0x80; });
  int multi = 0;
  if (ascii) {
    Push(list, 20127, 0x409, 100);
  } else if (IsUtf8(p, count, &multi) && multi > 0) {
    Push(list, CP_UTF8, 0, 100);
  } else {
    double score[4] = {};
    int chars[4] = {};
    for (int m = 0; m < 4; ++m) score[m] = ScoreDbcs(kModels[m], p, count, &chars[m]);
    int order[4] = {0, 1, 2, 3};
    std::stable_sort(order, order + 4, [&](int a, int b) { return score[a] > score[b]; });
    for (int k = 0; k < 4; ++k) {
      int m = order[k];
      if (score[m] <= 0) break;
      int confidence = static_cast<int>(score[m] * 99 + 0.5);
      double margin = k == 0 ? score[m] - score[order[1]] : 0;
      if (k == 0 && chars[m] >= 16 && score[m] >= 0.85 && margin >= 0.15) confidence = 100;
      Push(list, kModels[m].code_page, kModels[m].language, confidence);
    }
  }
  Push(list, 1252, 0x409, list.empty() ? 50 : 10);

  int n = std::min(capacity, static_cast<int>(list.size()));
  std::copy(list.begin(), list.begin() + n, out);
  *count_inout = n;
  return S_OK;
}

}  // namespace platform
