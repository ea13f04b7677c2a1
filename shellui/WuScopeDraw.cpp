// Drawing of the phase scope.
//
// The image is a 32-bit DIB section addressed top-down: pixel (x, y) is at
// topRow + y * rowStep + 4 * x, bytes blue, green, red and intensity. The
// trace keeps its intensity I in the fourth byte (red 0, green I, blue
// I >> 2); the backdrop has intensity 0. GDI draws only the backdrop; the
// plot, fade and overlay work on the bytes.
#include "shellui/WuScopeDraw.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include "foundation/WuString.h"
#include "foundation/WuUIFont.h"
#include "imaging/WuDib.h"
#include "imaging/WuPixelTypes.h"
#include "platform/kernel/cpu.h"
#include "platform/kernel/memory.h"

namespace {

constexpr float kPi = 3.14159274f;  // single-precision pi
constexpr float kPi4 = kPi / 4;
constexpr float kPi34 = 3 * kPi / 4;
constexpr double kDiagonal = 0.7071067932881648;  // default-mode scale of r
constexpr double kDiagonalF = 0.7071067690849304;  // polar fan's 45-degree factor

// One backdrop run: a length in pixels and the colour (fourth byte 0).
struct ScopeRun {
  int32_t length;
  uint32_t color;
};
static_assert(sizeof(ScopeRun) == 8);

struct SineTable {
  float values[513];
  SineTable() {
    for (int i = 0; i < 512; ++i) values[i] = static_cast<float>(std::sin(2.0 * M_PI * i / 512));
    values[512] = 0.0f;
  }
};
const SineTable kSine;

// ---- Image access ----

bool HasImage(const tSCOPEINST* inst) {
  return inst && inst->memDC && inst->image && inst->bits && inst->header.biWidth > 0 &&
         inst->header.biHeight > 0;
}
int ImageWidth(const tSCOPEINST* inst) { return inst->header.biWidth; }
int ImageHeight(const tSCOPEINST* inst) { return inst->header.biHeight; }
BYTE* Pixel(const tSCOPEINST* inst, int x, int y) {
  return inst->topRow + static_cast<ptrdiff_t>(y) * inst->rowStep + 4 * static_cast<ptrdiff_t>(x);
}
size_t ImageBytes(const tSCOPEINST* inst) {
  return static_cast<size_t>(-inst->rowStep) * static_cast<size_t>(ImageHeight(inst));
}

// Truncation toward zero of a value that must fit an int; false for NaN and
// values outside the int range (such a position draws nothing).
bool Trunc(double v, int64_t* out) {
  if (!(v > -2147483648.0 && v < 2147483648.0)) return false;
  *out = static_cast<int64_t>(v);
  return true;
}

// ---- Trace primitives ----

// Moves the intensity towards 220 by (220 - I) >> shift and recolours.
inline void Glow(BYTE* p, int shift) {
  int i = p[3];
  i += (kScopeGlowTarget - i) >> shift;
  p[0] = static_cast<BYTE>(i >> 2);
  p[1] = static_cast<BYTE>(i);
  p[2] = 0;
  p[3] = static_cast<BYTE>(i);
}

struct Canvas {
  const tSCOPEINST* inst;
  int64_t width;
  int64_t height;

  bool Inside(int64_t x, int64_t y) const { return x >= 0 && x < width && y >= 0 && y < height; }
  BYTE* At(int64_t x, int64_t y) const {
    return Pixel(inst, static_cast<int>(x), static_cast<int>(y));
  }

  void Dot(int64_t x, int64_t y) const {
    if (!Inside(x, y)) return;
    Glow(At(x, y), 1);
    if (x - 1 >= 0) Glow(At(x - 1, y), 2);
    if (x + 1 < width) Glow(At(x + 1, y), 2);
    if (y - 1 >= 0) Glow(At(x, y - 1), 2);
    if (y + 1 < height) Glow(At(x, y + 1), 2);
  }

  void Bar(int64_t x, int64_t y0, int64_t y1) const {
    if (x < 0 || x >= width) return;
    int64_t from = std::clamp<int64_t>(std::min(y0, y1), 0, height);
    int64_t to = std::clamp<int64_t>(std::max(y0, y1), 0, height);
    for (int64_t y = from; y < to; ++y) {
      Glow(At(x, y), 1);
      if (x - 1 >= 0) Glow(At(x - 1, y), 2);
      if (x + 1 < width) Glow(At(x + 1, y), 2);
    }
  }

  void Segment(int64_t x0, int64_t y0, int64_t x1, int64_t y1) const {
    if (x0 == x1) {
      Bar(x0, y0, y1);
      return;
    }
    float e = static_cast<float>(y1 - y0) / static_cast<float>(x1 - x0);
    if (std::fabs(e) > 1.0f) {
      int64_t dir = y1 > y0 ? 1 : -1;
      float step = static_cast<float>(dir) / e;
      float xf = static_cast<float>(x0);
      for (int64_t y = y0; y != y1; y += dir) {
        Dot(static_cast<int64_t>(xf + 0.5f), y);
        xf += step;
      }
    } else {
      int64_t dir = x1 > x0 ? 1 : -1;
      float step = dir > 0 ? e : -e;
      float yf = static_cast<float>(y0);
      for (int64_t x = x0; x != x1; x += dir) {
        Dot(x, static_cast<int64_t>(yf + 0.5f));
        yf += step;
      }
    }
    Dot(x1, y1);
  }
};

// A sample flushed to 0 below 2^-32 (denormals included).
inline float Flush(float v) {
  return (std::bit_cast<uint32_t>(v) & 0x7F800000u) < 0x2F800000u ? 0.0f : v;
}

// ---- Backdrop ----

struct Pens {
  HDC dc;
  HPEN dark;
  HPEN light;
  HGDIOBJ previous;
  Pens(HDC d) : dc(d) {
    dark = CreatePen(PS_SOLID, 1, kScopeDarkGrey);
    light = CreatePen(PS_SOLID, 1, kScopeLightGrey);
    previous = SelectObject(dc, dark);
  }
  ~Pens() {
    SelectObject(dc, previous);
    DeleteObject(dark);
    DeleteObject(light);
  }
  void Use(bool useLight) { SelectObject(dc, useLight ? light : dark); }
  void Line(int x0, int y0, int x1, int y1) {
    MoveToEx(dc, x0, y0, nullptr);
    LineTo(dc, x1, y1);
  }
  void Crosshair(const RECT& r, int x, int y) {
    Line(r.left, y, r.right, y);
    Line(x, r.top, x, r.bottom);
  }
  // Full-length lines halving the size until it falls below the font
  // height (at least 6).
  void TickGrid(const RECT& r, int x, int y, int size) {
    for (;;) {
      const SIZE* font = WuGetUIFontSize(kScopeTickFont);
      int g = font ? font->cy : 0;
      size /= 2;
      if (size < std::max(g, 6)) return;
      Crosshair(r, x - size, y - size);
      Crosshair(r, x + size, y + size);
      TickGrid(r, x - size, y - size, size);
      x += size;
      y += size;
    }
  }
};

void DrawBackdrop(tSCOPEINST* inst, const RECT& r) {
  HDC dc = inst->memDC;
  int w = r.right - r.left;
  int h = r.bottom - r.top;
  int half = w / 2;
  int cx = r.left + half;
  Pens pens(dc);
  DWORD style = inst->style;
  if (style & SCOPES_POLAR) {
    int cy = r.top + static_cast<int>((static_cast<int64_t>(h) * 17) / 32);
    double ri = half * 0.19999998807907104 - 1;
    double ro = half * 0.8999999985098839;
    int qi = static_cast<int>(ri + 0.5), qo = static_cast<int>(ro + 0.5);
    int a = static_cast<int>(ri * kDiagonalF + 0.5), b = static_cast<int>(0.5 - ri * kDiagonalF);
    int c = static_cast<int>(ro * kDiagonalF + 0.5), d = static_cast<int>(0.5 - ro * kDiagonalF);
    pens.Use(false);
    pens.Line(cx + qi, cy, cx + qo, cy);
    pens.Line(cx, cy - qi, cx, cy - qo);
    pens.Line(cx - qi, cy, cx - qo, cy);
    pens.Line(cx + a, cy + b, cx + c, cy + d);
    pens.Line(cx - a, cy + b - 1, cx - c, cy + d - 1);
    ScopeCircle(inst, cx, cy, ri, kScopeLightGrey);
    ScopeCircle(inst, cx, cy, ro, kScopeLightGrey);
    RECT sector = {cx - c + 1, cy - b + 1, cx + c, r.bottom};
    FillRect(dc, &sector, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    pens.Use(true);
    pens.Line(cx - a, cy - b + 1, cx - c, cy - d + 1);
    pens.Line(cx + a, cy - b + 1, cx + c, cy - d + 1);
    return;
  }
  int cy = r.top + h / 2;
  if (style & SCOPES_HALFPLANE) {
    pens.Use(false);
    pens.Line(r.left, cy, r.right, cy);
    pens.TickGrid(r, cx, cy, h);
    pens.Use(true);
    pens.Line(cx, r.top, cx, r.bottom);
    return;
  }
  bool midSide = (style & SCOPES_MIDSIDE) != 0;
  pens.Use(false);
  if (midSide) pens.Crosshair(r, cx, cy);
  pens.TickGrid(r, cx, cy, h);
  pens.Use(midSide);
  pens.Line(r.left, r.bottom - 1, r.right - 1, r.top);
  pens.Line(r.left, r.top, r.right, r.bottom);
  if (!midSide) {
    pens.Use(true);
    pens.Crosshair(r, cx, cy);
  }
}

void FreeRuns(tSCOPEINST* inst) {
  WuGlobalDelete(inst->runs);
  inst->runs = nullptr;
  inst->runBytes = 0;
  inst->runRect = RECT{};
}

// Lists the runs of equal colour of every row of `r`, and clears the
// fourth byte of every pixel. E_OUTOFMEMORY leaves no run list.
HRESULT BuildRuns(tSCOPEINST* inst, const RECT& r) {
  size_t runs = 0;
  for (int y = r.top; y < r.bottom; ++y) {
    const uint32_t* row = reinterpret_cast<const uint32_t*>(Pixel(inst, 0, y));
    uint32_t last = 0;
    for (int x = r.left; x < r.right; ++x) {
      uint32_t c = row[x] & 0x00FFFFFFu;
      if (x == r.left || c != last) ++runs;
      last = c;
    }
  }
  size_t bytes = runs * sizeof(ScopeRun);
  if (bytes > 0xFFFFFFFFu) {
    FreeRuns(inst);
    return E_OUTOFMEMORY;
  }
  if (bytes != inst->runBytes || !inst->runs) {
    void* pointer = nullptr;
    if (inst->runs) {
      HGLOBAL old = GlobalHandle(inst->runs);
      GlobalUnlock(old);
      HGLOBAL block = GlobalReAlloc(old, bytes, GMEM_MOVEABLE);
      pointer = block ? GlobalLock(block) : nullptr;
      if (!pointer) {
        // The old block no longer matches the backdrop: drop it.
        GlobalFree(block ? block : old);
        inst->runs = nullptr;
      }
    } else {
      pointer = WuGlobalNew(bytes);
    }
    if (!pointer) {
      FreeRuns(inst);
      return E_OUTOFMEMORY;
    }
    inst->runs = pointer;
    inst->runBytes = static_cast<DWORD>(bytes);
  }
  ScopeRun* out = static_cast<ScopeRun*>(inst->runs);
  for (int y = r.top; y < r.bottom; ++y) {
    uint32_t* row = reinterpret_cast<uint32_t*>(Pixel(inst, 0, y));
    ScopeRun* current = nullptr;
    for (int x = r.left; x < r.right; ++x) {
      uint32_t c = row[x] & 0x00FFFFFFu;
      row[x] = c;
      if (!current || c != current->color) {
        current = out++;
        current->length = 0;
        current->color = c;
      }
      ++current->length;
    }
  }
  inst->runRect = r;
  return S_OK;
}

BOOL DrawBackground(tSCOPEINST* inst) {
  RECT r = {0, 0, ImageWidth(inst), ImageHeight(inst)};
  FillRect(inst->memDC, &r, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  DrawBackdrop(inst, r);
  return SUCCEEDED(BuildRuns(inst, r)) ? 1 : 0;
}

// Deletes the image; its DC must be gone already (a bitmap selected into
// a DC cannot be deleted).
void DeleteImage(tSCOPEINST* inst) {
  if (inst->image) DeleteObject(inst->image);
  inst->image = nullptr;
  inst->bits = nullptr;
  inst->topRow = nullptr;
  inst->header = BITMAPINFOHEADER{};
}

// ---- Fade rule ----

// The fade of one byte for a factor f: byte * f + 0.5 in single precision,
// to the nearest integer (ties to even), at most 255. With p = fl(byte * f)
// that is ceil(p), plus one when p is an odd integer.
//
// For 0 < f < 1 the same values come from integers: u = floor(byte * U /
// 2^16) and c = floor(byte * C / 2^16) + (byte > 0), when a U reproduces
// floor(p) and a C reproduces ceil(p) for every byte; then the fade is
// max(c, u + (u & 1)). Both are searched from the table when the factor
// changes and the whole form is checked against it byte by byte; factors
// without such a pair (and those of 1 or more) use the single-precision
// form.
struct FadeRule {
  float factor = -1;       // the factor the rule is for
  BYTE faded[256] = {};    // the fade of every byte value
  bool integer = false;    // the integer form holds for every byte
  uint16_t floorMul = 0;   // U
  uint16_t ceilMul = 0;    // C
};

// The interval of multipliers M with floor(b * M / 2^16) = k for every
// (b, k) given, as [lo, hi]; empty when lo > hi.
struct MulRange {
  int64_t lo = 0;
  int64_t hi = 0xFFFF;
  void Require(int64_t b, int64_t k) {
    lo = std::max(lo, (k * 65536 + b - 1) / b);
    hi = std::min(hi, ((k + 1) * 65536 + b - 1) / b - 1);
  }
};

void BuildFadeRule(FadeRule* rule, float factor) {
  rule->factor = factor;
  for (int b = 0; b < 256; ++b) {
    float v = std::nearbyint(static_cast<float>(b) * factor + 0.5f);
    rule->faded[b] = static_cast<BYTE>(std::min(v, 255.0f));
  }
  rule->integer = false;
  if (!(factor > 0 && factor < 1)) return;
  MulRange floorRange, ceilRange;
  for (int b = 1; b < 256; ++b) {
    const float p = static_cast<float>(b) * factor;
    floorRange.Require(b, static_cast<int64_t>(std::floor(p)));
    ceilRange.Require(b, static_cast<int64_t>(std::ceil(p)) - 1);
  }
  if (floorRange.lo > floorRange.hi || ceilRange.lo > ceilRange.hi) return;
  const int64_t mu = floorRange.lo, mc = ceilRange.lo;
  for (int64_t b = 0; b < 256; ++b) {
    int64_t u = (b * mu) >> 16, c = ((b * mc) >> 16) + (b > 0);
    int64_t out = std::max(c, u + (u & 1));
    if (out != rule->faded[b] || out > b) return;
  }
  rule->floorMul = static_cast<uint16_t>(mu);
  rule->ceilMul = static_cast<uint16_t>(mc);
  rule->integer = true;
}

#if defined(__x86_64__)
// The integer form over 32 bytes (eight pixels) at a time, for processors
// with AVX2; unpack and pack work within 16-byte halves, so each half is
// the 16-byte form.
__attribute__((target("avx2"))) inline __m256i FadeEight(__m256i v, __m256i mu, __m256i mc) {
  const __m256i zero = _mm256_setzero_si256();
  const __m256i one = _mm256_set1_epi8(1);
  const __m256i lo = _mm256_unpacklo_epi8(v, zero), hi = _mm256_unpackhi_epi8(v, zero);
  __m256i u = _mm256_packus_epi16(_mm256_mulhi_epu16(lo, mu), _mm256_mulhi_epu16(hi, mu));
  __m256i c = _mm256_packus_epi16(_mm256_mulhi_epu16(lo, mc), _mm256_mulhi_epu16(hi, mc));
  c = _mm256_add_epi8(c, _mm256_min_epu8(v, one));
  u = _mm256_add_epi8(u, _mm256_and_si256(u, one));
  const __m256i unlit = _mm256_cmpeq_epi32(
      _mm256_and_si256(v, _mm256_set1_epi32(static_cast<int>(0xFF000000u))), zero);
  return _mm256_max_epu8(_mm256_max_epu8(c, u), _mm256_and_si256(unlit, v));
}

// Fades whole 64-byte blocks from `p` on; returns where it stopped.
__attribute__((target("avx2"))) BYTE* FadeIntegerAvx2(BYTE* p, BYTE* end, const FadeRule& rule) {
  const __m256i mu = _mm256_set1_epi16(static_cast<short>(rule.floorMul));
  const __m256i mc = _mm256_set1_epi16(static_cast<short>(rule.ceilMul));
  const __m256i alpha = _mm256_set1_epi32(static_cast<int>(0xFF000000u));
  for (; end - p >= 64; p += 64) {
    __m256i* q = reinterpret_cast<__m256i*>(p);
    const __m256i a = _mm256_loadu_si256(q), b = _mm256_loadu_si256(q + 1);
    if (_mm256_testz_si256(_mm256_or_si256(a, b), alpha)) continue;  // nothing lit
    _mm256_storeu_si256(q, FadeEight(a, mu, mc));
    _mm256_storeu_si256(q + 1, FadeEight(b, mu, mc));
  }
  return p;
}

// AVX2 when both the processor as the platform presents it (tests can
// withdraw it) and the real one with its operating system have it. CPUID
// is slow under a hypervisor, so the answer of a processor is kept on the
// thread; a table-made test processor, cheap to ask and perhaps rebuilt at
// the same address, is asked on every pass.
bool FadeWithAvx2() {
  thread_local const platform::ProcessorSource* asked = nullptr;
  thread_local bool answer = false;
  platform::ProcessorSource* source = &platform::CurrentProcessor();
  const bool table = dynamic_cast<platform::FakeProcessor*>(source) != nullptr;
  if (table || source != asked) {
    platform::CpuidRegs top = {}, leaf7 = {};
    answer = __builtin_cpu_supports("avx2") && platform::Cpuid(0, 0, &top) && top.eax >= 7 &&
             platform::Cpuid(7, 0, &leaf7) && (leaf7.ebx & (1u << 5)) != 0;
    asked = table ? nullptr : source;
  }
  return answer;
}
#endif

// The rule of a factor, rebuilt on this thread when the factor changes.
const FadeRule& FadeRuleFor(float factor) {
  thread_local FadeRule rule;
  if (std::bit_cast<uint32_t>(rule.factor) != std::bit_cast<uint32_t>(factor))
    BuildFadeRule(&rule, factor);
  return rule;
}

}  // namespace

// ---- Math sets ----

float ScopeExactMagnitude(float x) { return std::sqrt(x); }
float ScopeExactSine(float a) { return std::sin(a); }
float ScopeExactCosine(float a) { return std::cos(a); }
float ScopeExactAngle(float y, float x) { return std::atan2(y, x); }

float ScopeFastMagnitude(float x) {
  float y = std::bit_cast<float>(0x5F3759DFu - (std::bit_cast<uint32_t>(x) >> 1));
  return x * y * (1.5f - 0.5f * x * y * y);
}

int32_t ScopeTableIndex(float a) {
  float t = a * 256.0f / kPi;
  double d = static_cast<double>(t) + 1.5e-8 + 6755399441055744.0;  // 1.5 * 2^52
  return static_cast<int32_t>(static_cast<uint32_t>(std::bit_cast<uint64_t>(d)));
}

const float* ScopeSineTable() { return kSine.values; }

float ScopeFastSine(float a) {
  int64_t k = ScopeTableIndex(a);
  return k >= 0 ? kSine.values[k % 512] : kSine.values[512 - ((-k) % 512)];
}

float ScopeFastCosine(float a) {
  int64_t k = ScopeTableIndex(a);
  return k >= 0 ? kSine.values[(k + 128) % 512] : kSine.values[(128 - k) % 512];
}

float ScopeFastAngle(float y, float x) {
  float c = std::max(std::fabs(y), 1e-10f);
  float r = x >= 0 ? kPi4 - kPi4 * (x - c) / (x + c) : kPi34 - kPi4 * (x + c) / (c - x);
  return y < 0 ? -r : r;
}

void ScopeChooseMath(tSCOPEINST* inst) {
  bool fast = (inst->style & SCOPES_FASTMATH) != 0;
  inst->magnitude = fast ? ScopeFastMagnitude : ScopeExactMagnitude;
  inst->sine = fast ? ScopeFastSine : ScopeExactSine;
  inst->cosine = fast ? ScopeFastCosine : ScopeExactCosine;
  inst->angle = fast ? ScopeFastAngle : ScopeExactAngle;
}

// ---- Geometry and rebuilds ----

void ScopeWidenRect(RECT* rect) {
  if (rect->right - static_cast<int64_t>(rect->left) <= 0) rect->right = rect->left + 7;
  if (rect->bottom - static_cast<int64_t>(rect->top) <= 0) rect->bottom = rect->top + 7;
}

void ScopeGeometry(tSCOPEINST* inst) {
  const RECT& b = inst->bounds;
  int64_t w = static_cast<int64_t>(b.right) - b.left;
  int64_t h = static_cast<int64_t>(b.bottom) - b.top;
  int64_t m = std::min(w, h);
  int64_t s = std::max<int64_t>(m + (m & 1) - 3, 2);
  s = std::min<int64_t>(s, 0x7FFF);  // larger images are not made
  int64_t left = b.left, top = b.top;
  if (inst->style & SCOPES_CENTER) {
    left += (w - s) / 2;
    top += (h - s) / 2;
  }
  inst->boundsWidth = static_cast<LONG>(std::clamp<int64_t>(w, INT32_MIN, INT32_MAX));
  inst->boundsHeight = static_cast<LONG>(std::clamp<int64_t>(h, INT32_MIN, INT32_MAX));
  auto clampInt = [](int64_t v) { return static_cast<LONG>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX)); };
  inst->plot = RECT{clampInt(left + 2), clampInt(top + 2), clampInt(left + s - 2), clampInt(top + s - 2)};
  inst->imageWidth = inst->imageHeight = static_cast<LONG>(s - 4);
}

BOOL ScopeRebuild(tSCOPEINST* inst) {
  ScopeGeometry(inst);
  int w = inst->imageWidth, h = inst->imageHeight;
  if (!inst->memDC || w <= 0 || h <= 0) return 0;
  if (!inst->image || inst->header.biWidth != w || inst->header.biHeight != h) {
    BITMAPINFO info = {};
    // On failure the previous image, if any, stays with its own header and
    // run list; drawing always reads the image's own size.
    if (FAILED(WuVideo_InitBitmapInfo(&info.bmiHeader, WUPIXEL_RGB32, w, h, nullptr, 0, nullptr)))
      return 0;
    void* bits = nullptr;
    HBITMAP image = CreateDIBSection(inst->memDC, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!image || !bits) {
      if (image) DeleteObject(image);
      return 0;
    }
    SelectObject(inst->memDC, image);
    if (inst->image) DeleteObject(inst->image);
    inst->image = image;
    inst->header = info.bmiHeader;
    inst->bits = static_cast<BYTE*>(bits);
    inst->rowStep = -static_cast<LONG>(((info.bmiHeader.biBitCount * w + 31) >> 5) * 4);
    inst->topRow = inst->bits + static_cast<ptrdiff_t>(h - 1) * -inst->rowStep;
  }
  return DrawBackground(inst);
}

BOOL ScopeRebuildBackdrop(tSCOPEINST* inst) {
  if (!HasImage(inst)) return 0;
  return DrawBackground(inst);
}

void ScopeRelease(tSCOPEINST* inst) {
  if (inst->memDC) {
    DeleteDC(inst->memDC);
    inst->memDC = nullptr;
  }
  DeleteImage(inst);
  FreeRuns(inst);
}

// ---- Fade and overlay ----

void ScopeFade(tSCOPEINST* inst) {
  if (!HasImage(inst)) return;
  if (!(inst->fade > 0)) {
    std::memset(inst->bits, 0, ImageBytes(inst));
    return;
  }
  const FadeRule& rule = FadeRuleFor(std::min(inst->fade, 256.0f));
  BYTE* p = inst->bits;
  BYTE* const end = p + ImageBytes(inst);
#if defined(__SSE2__)
  // Sixteen pixels at a time; blocks without a lit pixel are skipped.
  const __m128i alpha = _mm_set1_epi32(static_cast<int>(0xFF000000u));
  const __m128i zero = _mm_setzero_si128();
  if (rule.integer) {
    // The integer form of the rule (see FadeRule): u and c from 16-bit
    // products, out = max(c, u + (u & 1)). The rule never raises a byte, so
    // max(out, unlit pixel) keeps an unlit pixel as it is.
    const __m128i one = _mm_set1_epi8(1);
    const __m128i mu = _mm_set1_epi16(static_cast<short>(rule.floorMul));
    const __m128i mc = _mm_set1_epi16(static_cast<short>(rule.ceilMul));
    auto fade4 = [&](__m128i v) {
      const __m128i lo = _mm_unpacklo_epi8(v, zero), hi = _mm_unpackhi_epi8(v, zero);
      __m128i u = _mm_packus_epi16(_mm_mulhi_epu16(lo, mu), _mm_mulhi_epu16(hi, mu));
      __m128i c = _mm_packus_epi16(_mm_mulhi_epu16(lo, mc), _mm_mulhi_epu16(hi, mc));
      c = _mm_add_epi8(c, _mm_min_epu8(v, one));
      u = _mm_add_epi8(u, _mm_and_si128(u, one));
      const __m128i unlit = _mm_cmpeq_epi32(_mm_and_si128(v, alpha), zero);
      return _mm_max_epu8(_mm_max_epu8(c, u), _mm_and_si128(unlit, v));
    };
#if defined(__x86_64__)
    if (FadeWithAvx2()) p = FadeIntegerAvx2(p, end, rule);
#endif
    for (; end - p >= 64; p += 64) {
      __m128i* q = reinterpret_cast<__m128i*>(p);
      const __m128i a = _mm_loadu_si128(q), b = _mm_loadu_si128(q + 1);
      const __m128i c = _mm_loadu_si128(q + 2), d = _mm_loadu_si128(q + 3);
      const __m128i any = _mm_or_si128(_mm_or_si128(a, b), _mm_or_si128(c, d));
      if (_mm_movemask_epi8(_mm_cmpeq_epi32(_mm_and_si128(any, alpha), zero)) == 0xFFFF) continue;
      _mm_storeu_si128(q, fade4(a));
      _mm_storeu_si128(q + 1, fade4(b));
      _mm_storeu_si128(q + 2, fade4(c));
      _mm_storeu_si128(q + 3, fade4(d));
    }
  } else {
    // The rule itself in single precision: the products are the table's
    // operations, and the conversion rounds to nearest even as nearbyint.
    const __m128 scale = _mm_set1_ps(rule.factor);
    const __m128 half = _mm_set1_ps(0.5f);
    auto fade4 = [&](BYTE* at) {
      const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
      const __m128i unlit = _mm_cmpeq_epi32(_mm_and_si128(v, alpha), zero);
      if (_mm_movemask_epi8(unlit) == 0xFFFF) return;
      auto channel = [&](__m128i words) {
        return _mm_cvtps_epi32(_mm_add_ps(_mm_mul_ps(_mm_cvtepi32_ps(words), scale), half));
      };
      const __m128i lo = _mm_unpacklo_epi8(v, zero), hi = _mm_unpackhi_epi8(v, zero);
      const __m128i a = _mm_packs_epi32(channel(_mm_unpacklo_epi16(lo, zero)),
                                        channel(_mm_unpackhi_epi16(lo, zero)));
      const __m128i b = _mm_packs_epi32(channel(_mm_unpacklo_epi16(hi, zero)),
                                        channel(_mm_unpackhi_epi16(hi, zero)));
      const __m128i out = _mm_packus_epi16(a, b);
      _mm_storeu_si128(reinterpret_cast<__m128i*>(at),
                       _mm_or_si128(_mm_and_si128(unlit, v), _mm_andnot_si128(unlit, out)));
    };
    for (; end - p >= 64; p += 64) {
      const __m128i* q = reinterpret_cast<const __m128i*>(p);
      __m128i any = _mm_or_si128(_mm_or_si128(_mm_loadu_si128(q), _mm_loadu_si128(q + 1)),
                                 _mm_or_si128(_mm_loadu_si128(q + 2), _mm_loadu_si128(q + 3)));
      if (_mm_movemask_epi8(_mm_cmpeq_epi32(_mm_and_si128(any, alpha), zero)) == 0xFFFF) continue;
      fade4(p);
      fade4(p + 16);
      fade4(p + 32);
      fade4(p + 48);
    }
  }
#endif
  for (; p < end; p += 4) {
    if (!p[3]) continue;
    p[0] = rule.faded[p[0]];
    p[1] = rule.faded[p[1]];
    p[2] = rule.faded[p[2]];
    p[3] = rule.faded[p[3]];
  }
}

namespace {

// The overlay of one pixel with a run colour (see ScopeOverlay).
inline void OverlayPixel(BYTE* p, uint32_t color, bool keepTrail) {
  uint32_t pixel;
  std::memcpy(&pixel, p, 4);
  if (keepTrail && pixel == color) return;  // the backdrop already
  const int cb = color & 0xFF, cg = (color >> 8) & 0xFF, cr = (color >> 16) & 0xFF;
  const int f = 255 - p[3];
  if (keepTrail && !(p[1] > cg || p[0] > cb || p[2] > cr)) {
    std::memcpy(p, &color, 4);
    return;
  }
  if (keepTrail && p[2] != 0) return;
  p[2] = static_cast<BYTE>(std::min(255, p[2] + ((cr * f) >> 8)));
  p[1] = static_cast<BYTE>(std::min(255, p[1] + ((cg * f) >> 8)));
  p[0] = static_cast<BYTE>(std::min(255, p[0] + ((cb * f) >> 8)));
}

#if defined(__SSE2__)
// The same for four pixels of one run.
inline __m128i OverlayFour(__m128i v, __m128i color, __m128i color16, bool keepTrail) {
  const __m128i zero = _mm_setzero_si128();
  // 255 - I of each pixel in all four 16-bit lanes of its channels.
  __m128i f = _mm_sub_epi32(_mm_set1_epi32(255), _mm_srli_epi32(v, 24));
  f = _mm_or_si128(f, _mm_slli_epi32(f, 16));
  const __m128i addLo = _mm_srli_epi16(_mm_mullo_epi16(color16, _mm_unpacklo_epi32(f, f)), 8);
  const __m128i addHi = _mm_srli_epi16(_mm_mullo_epi16(color16, _mm_unpackhi_epi32(f, f)), 8);
  const __m128i sum = _mm_adds_epu8(v, _mm_packus_epi16(addLo, addHi));  // at most 255
  if (!keepTrail) return sum;
  // Pixels nowhere brighter than the colour take it; brighter trace pixels
  // (red 0) get the sum; other brighter pixels stay.
  const __m128i notAbove = _mm_cmpeq_epi8(_mm_max_epu8(v, color), color);
  const __m128i dim = _mm_cmpeq_epi32(
      _mm_or_si128(notAbove, _mm_set1_epi32(static_cast<int>(0xFF000000u))), _mm_set1_epi32(-1));
  const __m128i redZero = _mm_cmpeq_epi32(_mm_and_si128(v, _mm_set1_epi32(0x00FF0000)), zero);
  const __m128i lit = _mm_or_si128(_mm_and_si128(redZero, sum), _mm_andnot_si128(redZero, v));
  return _mm_or_si128(_mm_and_si128(dim, color), _mm_andnot_si128(dim, lit));
}
#endif

}  // namespace

void ScopeOverlay(tSCOPEINST* inst, bool trail) {
  if (!HasImage(inst) || !inst->runs) return;
  const RECT& r = inst->runRect;
  if (r.left < 0 || r.top < 0 || r.right > ImageWidth(inst) || r.bottom > ImageHeight(inst)) return;
  const ScopeRun* run = static_cast<const ScopeRun*>(inst->runs);
  const ScopeRun* runEnd = run + inst->runBytes / sizeof(ScopeRun);
  const bool keepTrail = trail && inst->fade > 0;
  const int64_t width = static_cast<int64_t>(r.right) - r.left;
  for (int y = r.top; y < r.bottom; ++y) {
    BYTE* const row = Pixel(inst, r.left, y);
    for (int64_t x = 0; x < width;) {
      if (run == runEnd) return;
      const int64_t length = std::min<int64_t>(run->length, width - x);
      const uint32_t color = run->color;
      ++run;
      if (length <= 0) return;  // a damaged list ends the overlay
      BYTE* p = row + 4 * x;
      x += length;
      if (!color) continue;
      if (length == 1) {
        OverlayPixel(p, color, keepTrail);
        continue;
      }
      BYTE* const stop = p + 4 * length;
#if defined(__SSE2__)
      const __m128i c = _mm_set1_epi32(static_cast<int>(color));
      const __m128i c16 = _mm_unpacklo_epi8(c, _mm_setzero_si128());
      for (; stop - p >= 16; p += 16) {
        __m128i* q = reinterpret_cast<__m128i*>(p);
        const __m128i v = _mm_loadu_si128(q);
        // A stretch that is the backdrop already stays as it is.
        if (keepTrail && _mm_movemask_epi8(_mm_cmpeq_epi32(v, c)) == 0xFFFF) continue;
        _mm_storeu_si128(q, OverlayFour(v, c, c16, keepTrail));
      }
#endif
      for (; p < stop; p += 4) OverlayPixel(p, color, keepTrail);
    }
  }
}

// ---- Plotting ----

void ScopePlot(tSCOPEINST* inst, const tSCOPEPLOT* block) {
  if (!HasImage(inst) || !block) return;
  ScopeFade(inst);
  const Canvas canvas{inst, ImageWidth(inst), ImageHeight(inst)};
  const int64_t w = canvas.width, h = canvas.height;
  const int64_t half = w / 2, cx = half;
  const DWORD style = inst->style;
  if (block->samples && block->frames > 0) {
    for (int64_t i = 0; i < block->frames; ++i) {
      int64_t base = i * block->stride;
      float x = block->samples[base + block->xIndex];
      float y = block->samples[base + block->yIndex];
      if (!std::isfinite(x) || !std::isfinite(y)) continue;
      x = Flush(x);
      y = Flush(y);
      if (style & SCOPES_POLAR) {
        int64_t cy = (h * 17) / 32;
        x = std::clamp(x, -1.0f, 1.0f);
        y = std::clamp(y, -1.0f, 1.0f);
        if (x == 0 && y == 0) continue;
        float r = inst->magnitude(x * x + y * y);
        float p = inst->angle(y, x) + kPi4;
        if (p > kPi) p -= 2 * kPi;
        if (p >= -kPi34 && p <= -kPi4) continue;
        float v = std::clamp(r * 0.4949747323989868f + 0.1f, 0.1f, 0.8f);
        float ho = static_cast<float>(half);
        float ro = ho * 0.9f;
        float rv = ho - ho * v;
        float c = inst->cosine(p), s = inst->sine(p);
        int64_t ax, ay, bx, by;
        if (!Trunc(ro * c, &ax) || !Trunc(ro * s, &ay) || !Trunc(rv * c, &bx) || !Trunc(rv * s, &by))
          continue;
        canvas.Segment(cx + ax, cy - ay, cx + bx, cy - by);
      } else if (style & SCOPES_HALFPLANE) {
        x = std::clamp(x, -1.0f, 1.0f);
        y = std::clamp(y, -1.0f, 1.0f);
        if (x == 0 && y == 0) continue;  // the bar from bottom to bottom
        float r = inst->magnitude(x * x + y * y);
        float t = (inst->angle(y, x) - kPi4) / kPi;
        while (t < -0.5f) t += 1.0f;
        while (t > 0.5f) t -= 1.0f;
        int64_t column, rise;
        if (!Trunc(static_cast<float>(half) * (-2 * t) + 0.5f, &column) ||
            !Trunc((r / 1.4142135381698608f) * static_cast<float>(h) + 0.5f, &rise))
          continue;
        canvas.Bar(cx + column, h - rise, h);
      } else if (!(style & (SCOPES_MIDSIDE | SCOPES_FOLD))) {
        int64_t px, py;
        if (!Trunc(w * (1.0 + x) / 2, &px) || !Trunc(h * (1.0 - y) / 2, &py)) continue;
        canvas.Dot(px, py);
      } else {
        float r = inst->magnitude(x * x + y * y);
        float q = inst->angle(y, x);
        if ((style & SCOPES_FOLD) && ((q >= kPi34 && q <= kPi) || (q >= -kPi && q <= -kPi4)))
          q = kPi / 2 - q;
        if (style & SCOPES_MIDSIDE) q += kPi4;
        double kr = kDiagonal * r;
        int64_t px, py;
        if (!Trunc(w * (1 + kr * inst->cosine(q)) / 2, &px) ||
            !Trunc(h * (1 - kr * inst->sine(q)) / 2, &py))
          continue;
        canvas.Dot(px, py);
      }
    }
  }
  ScopeOverlay(inst, true);
}

void ScopeReset(tSCOPEINST* inst) {
  if (!HasImage(inst)) return;
  std::memset(inst->bits, 0, ImageBytes(inst));
  ScopeOverlay(inst, false);
}

void ScopeCircle(tSCOPEINST* inst, double cx, double cy, double r, COLORREF color) {
  if (!HasImage(inst)) return;
  const int64_t w = ImageWidth(inst), h = ImageHeight(inst);
  const double lo = (r - 1) * (r - 1), hi = (r + 1) * (r + 1);
  const double colour[3] = {static_cast<double>(GetRValue(color)),
                            static_cast<double>(GetGValue(color)),
                            static_cast<double>(GetBValue(color))};
  auto blend = [&](int64_t x, int64_t y, double g) {
    if (x < 0 || x >= w || y < 0 || y >= h) return;  // only pixels of the image
    BYTE* p = Pixel(inst, static_cast<int>(x), static_cast<int>(y));
    for (int channel = 0; channel < 3; ++channel) {
      BYTE& byte = p[2 - channel];  // red, green, blue to bytes 2, 1, 0
      double v = g * colour[channel] + (1 - g) * byte;
      byte = static_cast<BYTE>(std::floor(std::clamp(v, 0.0, 255.0) + 0.5));
    }
  };
  const int64_t firstRow = std::llround(std::floor(cy - r - 1 + 0.499999985 + 0.5));
  const int64_t endRow = std::llround(std::floor(cy + 0.499999985 + 0.5));
  const int64_t firstColumn = std::llround(std::floor(cx - 0.499999985 + 0.5));
  const int64_t columnLimit = firstColumn + static_cast<int64_t>(std::fabs(r)) + 3;
  const int64_t mx = std::llround(2 * cx), my = std::llround(2 * cy);
  for (int64_t y = firstRow; y < endRow; ++y) {
    double dy = y + 0.5 - cy;
    for (int64_t x = firstColumn; x < columnLimit; ++x) {
      double dx = x + 0.5 - cx;
      double d2 = dx * dx + dy * dy;
      if (d2 > hi) break;
      if (d2 < lo) continue;
      double c = std::clamp(1 - std::fabs(std::sqrt(d2) - r) * 1.1111111111111112, 0.0, 1.0);
      double g = std::sqrt(c);
      int64_t x2 = mx - x - 1, y2 = my - y - 1;
      blend(x, y, g);
      if (x2 != x) blend(x2, y, g);
      if (y2 != y) blend(x, y2, g);
      if (x2 != x && y2 != y) blend(x2, y2, g);
    }
  }
}

// ---- Painting ----

void ScopePaint(tSCOPEINST* inst, HDC dc, SCOPEBKGNDPROC background, LPARAM user) {
  if (!inst || inst->bounds.right - static_cast<int64_t>(inst->bounds.left) < 1 ||
      inst->bounds.bottom - static_cast<int64_t>(inst->bounds.top) < 1)
    return;
  if (!HasImage(inst)) return;
  if (background) background(inst, dc, &inst->bounds, 1, user);
  RECT ring = {inst->plot.left - 2, inst->plot.top - 2, inst->plot.right + 2, inst->plot.bottom + 2};
  DrawEdge(dc, &ring, BDR_SUNKENOUTER, BF_RECT);
  BitBlt(dc, inst->plot.left, inst->plot.top, inst->plot.right - inst->plot.left,
         inst->plot.bottom - inst->plot.top, inst->memDC, 0, 0, SRCCOPY);
}
