// Gamma transfer curves with optional sampled tables.
#include "imaging/WuGammaCurve.h"

#include <cmath>
#include <cstdint>

#include "imaging/WuColorMath.h"
#include "platform/kernel/memory.h"

namespace {

// Table sizes above this many entries are refused (the byte size of a
// float table must fit in 32 bits).
constexpr int64_t kMaxTableEntries = 0xFFFFFFFFll / sizeof(float);

// Entries of a table of `count` samples, or 0 when it cannot be built.
int64_t TableEntries(int count) {
  if (count < 2) return 0;
  const int64_t entries = static_cast<int64_t>(count) + 1;
  return entries > kMaxTableEntries ? 0 : entries;
}

}  // namespace

void WuGammaCurve_Init(WuGammaCurve* curve) {
  curve->last = 0;
  curve->table = nullptr;
  curve->byteTable = nullptr;
  WuGammaCurve_SetGamma(curve, 1.0f);
}

void WuGammaCurve_Destroy(WuGammaCurve* curve) { WuGammaCurve_FreeTables(curve); }

void WuGammaCurvePair_Init(WuGammaCurve* pair) {
  WuGammaCurve_Init(&pair[0]);
  WuGammaCurve_Init(&pair[1]);
}

void WuGammaCurvePair_Free(WuGammaCurve* pair) {
  WuGammaCurve_Destroy(&pair[0]);
  WuGammaCurve_Destroy(&pair[1]);
}

void WuGammaCurve_SetGamma(WuGammaCurve* curve, float g) {
  WuGammaCurve_FreeTables(curve);
  if (!(g > 0.0f) || std::isinf(g)) g = 1.0f;
  const float inverse = 1.0f / g;
  float k = std::pow(inverse, 1.8836103677749634f);
  float t = 0.03818376734852791f * std::pow(inverse, -0.9418051838874817f);
  float a = 0.0f;
  float s = 1.0f;
  BYTE mode = 1;
  if (g < 1.0f) {
    const float A = std::pow(t, g);
    const float B = t * k;
    a = (B - A) / (A - 1.0f);
  } else if (g == 1.0f) {
    t = 100.0f;
    k = 1.0f;
  } else {
    mode = 0;
    const float q = std::pow(t * k, inverse);
    a = (t - q) / (q - 1.0f);
    s = 1.0f / (a + 1.0f);
  }
  curve->mode = mode;
  curve->gamma = g;
  curve->threshold = t;
  curve->offset = a;
  curve->scale = s;
  curve->slope = k;
}

float WuGammaCurve_Apply(const WuGammaCurve* curve, float x) {
  const float t = curve->threshold;
  const float g = curve->gamma;
  const float a = curve->offset;
  if (x > -t && x < t) return curve->slope * x;
  const bool negative = x <= -t;
  const float m = negative ? -x : x;
  float y;
  if (curve->mode)
    y = (1.0f + a) * std::pow(m, g) - a;
  else
    y = std::pow((m + a) * curve->scale, g);
  return negative ? -y : y;
}

void WuGammaCurve_BuildTable(WuGammaCurve* curve, int count) {
  WuGammaCurve_FreeTables(curve);
  const int64_t entries = TableEntries(count);
  if (entries == 0) return;
  float* table = static_cast<float*>(GlobalAlloc(GPTR, static_cast<SIZE_T>(entries) * sizeof(float)));
  if (!table) return;
  const int n = count - 1;
  for (int i = 0; i <= count; ++i)
    table[i] = WuGammaCurve_Apply(curve, static_cast<float>(i) / static_cast<float>(n));
  curve->table = table;
  curve->last = n;
}

void WuGammaCurve_BuildByteTable(WuGammaCurve* curve, int count) {
  WuGammaCurve_FreeTables(curve);
  const int64_t entries = TableEntries(count);
  if (entries == 0) return;
  BYTE* table = static_cast<BYTE*>(GlobalAlloc(GPTR, static_cast<SIZE_T>(entries)));
  if (!table) return;
  const int n = count - 1;
  for (int i = 0; i <= count; ++i) {
    const float y = WuGammaCurve_Apply(curve, static_cast<float>(i) / static_cast<float>(n));
    // The entry past 1.0 may round to 256; bytes are clamped rather than
    // wrapped.
    const LONG v = WuRoundDoubleToInt(static_cast<double>(y) * 255.0);
    table[i] = static_cast<BYTE>(v < 0 ? 0 : (v > 255 ? 255 : v));
  }
  curve->byteTable = table;
  curve->last = n;
}

float WuGammaCurve_Lookup(const WuGammaCurve* curve, float x) {
  if (std::isnan(x)) return 0.0f;
  if (x < 0.0f || x > 1.0f || !curve->table) return WuGammaCurve_Apply(curve, x);
  const float u = x * static_cast<float>(curve->last);
  LONG i = WuRoundDoubleToInt(static_cast<double>(u) - 0.499999985);
  if (i < 0) i = 0;
  if (i > curve->last) i = curve->last;
  const float f = u - static_cast<float>(i);
  return (1.0f - f) * curve->table[i] + f * curve->table[i + 1];
}

BYTE WuGammaCurve_LookupByte(const WuGammaCurve* curve, float x) {
  if (std::isnan(x) || x < 0.0f) return 0;
  if (x > 1.0f) return 255;
  if (!curve->byteTable) {
    const LONG v = WuRoundDoubleToInt(static_cast<double>(WuGammaCurve_Apply(curve, x)) * 255.0);
    return static_cast<BYTE>(v < 0 ? 0 : (v > 255 ? 255 : v));
  }
  LONG i = WuRoundDoubleToInt(static_cast<double>(x * static_cast<float>(curve->last)));
  if (i > curve->last) i = curve->last;
  return curve->byteTable[i];
}

float WuGammaCurve_GetTableEntry(const WuGammaCurve* curve, int index) {
  if (!curve->table || index < 0 || index > curve->last + 1) return 0.0f;
  return curve->table[index];
}

BOOL WuGammaCurve_IsNonUnity(const WuGammaCurve* curve) {
  return (curve->gamma < 0.999f || curve->gamma > 1.001f) ? TRUE : FALSE;
}

void WuGammaCurve_FreeTables(WuGammaCurve* curve) {
  if (curve->table) GlobalFree(curve->table);
  if (curve->byteTable) GlobalFree(curve->byteTable);
  curve->table = nullptr;
  curve->byteTable = nullptr;
}
