// The pixel-exchange builder: picks fetch, store and operation functions
// for a pair of pixel types and sets up the gamma curves.
#include "imaging/WuXchg.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "imaging/WuColorMath.h"
#include "imaging/WuXchgTables.h"

namespace {

constexpr double kDefaultGamma = 2.2222222222222223;  // a gamma of 0.0
constexpr double kMinGamma = 0.5;
constexpr double kMaxGamma = 4.0;

constexpr DWORD kFlagQualityMask = 0xF;
constexpr DWORD kFlagQualityKeep = 0x07FFF1F0;  // drops the quality, bits 9-11 and 27-31
constexpr DWORD kFlagForce16 = 0x10;
constexpr DWORD kFlagInterpolate = 0x20;
constexpr DWORD kFlagSecondRow = 0x40;
constexpr DWORD kFlagAlternate = 0x80;
constexpr DWORD kQualityFlags[5] = {0, 0x180, 0x1C0, 0x1E0, 0x1F0};

// The slot entries of a type at a mode row, or null for a type outside 16 to 32.
const WuXchgSlots* SlotsOf(WUPIXELTYPE type, int mode) {
  if (type >= WUXCHG_SMALL_FIRST && type < WUXCHG_SMALL_FIRST + WUXCHG_SMALL_COUNT)
    return &g_wuXchgSmallSlots[mode][type - WUXCHG_SMALL_FIRST];
  if (type >= WUXCHG_LARGE_FIRST && type < WUXCHG_LARGE_FIRST + WUXCHG_LARGE_COUNT)
    return &g_wuXchgLargeSlots[mode][type - WUXCHG_LARGE_FIRST];
  return nullptr;
}

bool IsFloatSide(WUPIXELTYPE type) { return type == WUPIXEL_GREY32 || type == WUPIXEL_RGBA128F; }

void SetUpCurve(WuGammaCurve* curve, double dstGamma, double srcGamma) {
  if (dstGamma == 0.0) dstGamma = kDefaultGamma;
  if (srcGamma == 0.0) srcGamma = kDefaultGamma;
  dstGamma = std::clamp(dstGamma, kMinGamma, kMaxGamma);
  srcGamma = std::clamp(srcGamma, kMinGamma, kMaxGamma);
  WuGammaCurve_SetGamma(curve, static_cast<float>(srcGamma / dstGamma));
}

}  // namespace

HRESULT WuXCHGGetFunctionPointers(WUPIXELTYPE dstType, WUPIXELTYPE srcType, DWORD flags,
                                  WUXCHGFUNCS* record, const WUXCHGOPTIONS* options,
                                  double dstGamma, double srcGamma) {
  std::memset(record, 0, sizeof(*record));
  WuGammaCurve_SetGamma(&record->storeCurve, 1.0f);
  WuGammaCurve_SetGamma(&record->fetchCurve, 1.0f);

  if (!SlotsOf(srcType, 0) || !SlotsOf(dstType, 0)) return E_INVALIDARG;

  // Lane capability: both types have an 8-bit (row 2) or a float (row 4) store.
  const bool lanes8 = SlotsOf(srcType, 2)->store && SlotsOf(dstType, 2)->store;
  const bool lanesFloat = SlotsOf(srcType, 4)->store && SlotsOf(dstType, 4)->store;

  const DWORD quality = flags & kFlagQualityMask;
  if (quality >= 1 && quality <= 4) flags = (flags & kFlagQualityKeep) | kQualityFlags[quality];
  if (!lanes8 && !lanesFloat) flags |= kFlagForce16;
  record->flags = flags;

  int mode = 0;
  int opRow = 0;
  record->laneMode = WUXCHG_LANES16;
  if (!(flags & kFlagForce16) && lanes8) {
    record->laneMode = WUXCHG_LANES8;
    mode = 2;
    opRow = 2;
  } else if (!(flags & kFlagForce16) && lanesFloat) {
    record->laneMode = WUXCHG_LANESFLOAT;
    mode = 4;
  }
  if (flags & kFlagInterpolate) ++mode;
  if (flags & kFlagSecondRow) ++opRow;
  record->edgeWidth = (flags >> 16) & 0xFF;
  record->srcType = srcType;
  record->dstType = dstType;

  if (options) {
    record->options = *options;
    const DWORD code = options->opCode;
    if (code >= static_cast<DWORD>(WUXCHG_OP_CODES)) return E_NOTIMPL;
    if (record->laneMode == WUXCHG_LANESFLOAT) {
      // Only the cross-fade has a float form.
      if (code != 3) return E_NOTIMPL;
      record->op = &WuXchgOpFloatCrossFade;
      record->op4 = &WuXchgOp4FloatCrossFade;
    } else {
      const WuXchgOps& ops = g_wuXchgOpTables.t[(flags & kFlagAlternate) ? 1 : 0][opRow][code];
      record->op = ops.op;
      record->op4 = ops.op4;
      record->opKeyMask = ops.opKeyMask;
      record->opKey2x2 = ops.opKey2x2;
    }
    if (!record->op) return E_NOTIMPL;
  }

  const WuXchgSlots& from = *SlotsOf(srcType, mode);
  const WuXchgSlots& to = *SlotsOf(dstType, mode);
  record->fetch = from.fetch;
  record->fetchBilinear = from.fetchBilinear;
  record->fetchArea = from.fetchArea;
  record->fetchVertical = from.fetchVertical;
  record->fetch2x2 = from.fetch2x2;
  record->fetch4 = from.fetch4;
  record->store = to.store;
  record->store4 = to.store4;

  if (IsFloatSide(srcType))
    SetUpCurve(&record->fetchCurve, dstGamma, srcGamma);
  else if (IsFloatSide(dstType))
    SetUpCurve(&record->storeCurve, dstGamma, srcGamma);
  return 0;
}

void WuXCHGFreeCurves(WUXCHGFUNCS* record) {
  WuGammaCurve_FreeTables(&record->storeCurve);
  WuGammaCurve_FreeTables(&record->fetchCurve);
}

WORD WuXchgFloatTo16(float x) {
  if (!(x >= 0.0f)) return 0;  // below 0, or NaN
  if (x > 1.0f) return 0xFFFF;
  return static_cast<WORD>(x * 65535.0f + 0.5f);
}

LONG WuXchgRgbDistance16(const WORD* a, const WORD* b) {
  return std::abs(a[0] - b[0]) + std::abs(a[1] - b[1]) + std::abs(a[2] - b[2]);
}

LONG WuXchgRgbDistance8(const BYTE* a, const BYTE* b) {
  return std::abs(a[0] - b[0]) + std::abs(a[1] - b[1]) + std::abs(a[2] - b[2]);
}
