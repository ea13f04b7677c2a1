// Legal-colour check for broadcast composite video.
#include "imaging/WuLegalColor.h"

#include <cmath>

#include "imaging/WuColorMath.h"

namespace {

// RGB to YUV and back; rows are outputs, columns the inputs in pixel order
// (blue, green, red, or Y, U, V).
constexpr float kRgbToYuv[9] = {
    0.114f,     0.587f,     0.299f,      // Y
    0.436798f,  -0.289391f, -0.147407f,  // U
    -0.099978f, -0.514799f, 0.614777f,   // V
};
constexpr float kYuvToRgb[9] = {
    1.0f, 2.028398f,  0.0f,        // blue
    1.0f, -0.393931f, -0.580809f,  // green
    1.0f, 0.0f,       1.140251f,   // red
};
// RGB to YIQ and back.
constexpr float kRgbToYiq[9] = {
    0.114f,     0.587f,     0.299f,     // Y
    -0.321746f, -0.274133f, 0.595879f,  // I
    0.311878f,  -0.523083f, 0.211205f,  // Q
};
constexpr float kYiqToRgb[9] = {
    1.0f, -1.104744f, 1.701157f,   // blue
    1.0f, -0.272558f, -0.646709f,  // green
    1.0f, 0.956295f,  0.621025f,   // red
};

// One standard: its matrices, detection limit and pull-back rule.
struct Standard {
  const float* forward;  // RGB to Y, C1, C2
  const float* inverse;  // Y, C1, C2 to RGB
  float limit;           // the colour is hot above Y + chroma = limit
  bool scaleLuma;        // NTSC: the target is met on 0.925 * signal + 0.075
};
constexpr float kTargetPeak = 1.15f;
constexpr Standard kNtscYiq = {kRgbToYiq, kYiqToRgb, 1.2162162f, true};
constexpr Standard kNtscYuv = {kRgbToYuv, kYuvToRgb, 1.2162162f, true};
constexpr Standard kPalYuv = {kRgbToYuv, kYuvToRgb, 1.2f, false};

float LinearToVideo(float l) {
  if (l < 0.018f) return 4.5f * l;
  const float p = static_cast<float>(std::pow(static_cast<double>(l), 0.45));
  return 1.099f * p - 0.099f;
}

float VideoToLinear(float v) {
  if (v < 0.081f) return v / 4.5f;
  const float base = (v + 0.099f) / 1.099f;
  return static_cast<float>(std::pow(static_cast<double>(base), 2.2222222222222223));
}

// The colour in the standard's space, and whether it is hot.
bool Measure(const Standard& standard, const WURGBAFLOAT* pixel, WURGBAFLOAT* ycc,
             float* chromaSquare) {
  WURGBAFLOAT video;
  HotLinearToVideo(&video, pixel);
  HotMatrixApply(standard.forward, ycc, &video);
  const float d = standard.limit - ycc->blue;
  const float dd = d * d;
  *chromaSquare = ycc->green * ycc->green + ycc->red * ycc->red;
  return dd < *chromaSquare;
}

int Check(const Standard& standard, const WURGBAFLOAT* pixel) {
  WURGBAFLOAT ycc;
  float chromaSquare;
  return Measure(standard, pixel, &ycc, &chromaSquare) ? 1 : 0;
}

int CheckAndPullBack(const Standard& standard, WURGBAFLOAT* pixel) {
  WURGBAFLOAT ycc;
  float chromaSquare;
  if (!Measure(standard, pixel, &ycc, &chromaSquare)) return 0;
  // A hot colour has chroma above 0, so the division is safe.
  float chroma = HotSqrtF(chromaSquare);
  float luma = ycc.blue;
  if (standard.scaleLuma) {
    chroma = chroma * 0.925f;
    luma = luma * 0.925f + 0.075f;
  }
  float k = (chroma - ((chroma + luma) - kTargetPeak)) / chroma;
  if (k > 1.0f) k = 1.0f;
  // Luma above the target (super-white input) cannot be met by chroma
  // alone; the chroma is removed rather than inverted.
  if (k < 0.0f) k = 0.0f;
  ycc.green *= k;
  ycc.red *= k;
  WURGBAFLOAT video;
  HotMatrixApply(standard.inverse, &video, &ycc);
  const float alpha = pixel->alpha;
  HotVideoToLinear(pixel, &video);
  pixel->blue = WuClamp01(pixel->blue);
  pixel->green = WuClamp01(pixel->green);
  pixel->red = WuClamp01(pixel->red);
  pixel->alpha = alpha;
  return 1;
}

}  // namespace

void HotLinearToVideo(WURGBAFLOAT* out, const WURGBAFLOAT* in) {
  const WURGBAFLOAT v = *in;
  out->blue = LinearToVideo(v.blue);
  out->green = LinearToVideo(v.green);
  out->red = LinearToVideo(v.red);
  out->alpha = v.alpha;
}

void HotVideoToLinear(WURGBAFLOAT* out, const WURGBAFLOAT* in) {
  const WURGBAFLOAT v = *in;
  out->blue = VideoToLinear(v.blue);
  out->green = VideoToLinear(v.green);
  out->red = VideoToLinear(v.red);
  out->alpha = v.alpha;
}

void HotMatrixApply(const float matrix[9], WURGBAFLOAT* out, const WURGBAFLOAT* in) {
  const float a = in->blue, b = in->green, c = in->red;
  const float alpha = in->alpha;
  float result[3];
  for (int row = 0; row < 3; ++row) {
    const float* m = matrix + 3 * row;
    float sum = m[0] * a;
    sum = sum + m[1] * b;
    sum = sum + m[2] * c;
    result[row] = sum;
  }
  out->blue = result[0];
  out->green = result[1];
  out->red = result[2];
  out->alpha = alpha;
}

void HotRgbToYuv(WURGBAFLOAT* out, const WURGBAFLOAT* in) { HotMatrixApply(kRgbToYuv, out, in); }
void HotYuvToRgb(WURGBAFLOAT* out, const WURGBAFLOAT* in) { HotMatrixApply(kYuvToRgb, out, in); }
void HotRgbToYiq(WURGBAFLOAT* out, const WURGBAFLOAT* in) { HotMatrixApply(kRgbToYiq, out, in); }
void HotYiqToRgb(WURGBAFLOAT* out, const WURGBAFLOAT* in) { HotMatrixApply(kYiqToRgb, out, in); }

float HotSqrtF(float x) { return std::sqrt(x); }

int HotCheckNTSCYIQ(const WURGBAFLOAT* pixel) { return Check(kNtscYiq, pixel); }
int HotCheckNTSCYUV(const WURGBAFLOAT* pixel) { return Check(kNtscYuv, pixel); }
int HotCheckPALYUV(const WURGBAFLOAT* pixel) { return Check(kPalYuv, pixel); }

int HotCheckNTSCYIQReturn(WURGBAFLOAT* pixel) { return CheckAndPullBack(kNtscYiq, pixel); }
int HotCheckNTSCYUVReturn(WURGBAFLOAT* pixel) { return CheckAndPullBack(kNtscYuv, pixel); }
int HotCheckPALYUVReturn(WURGBAFLOAT* pixel) { return CheckAndPullBack(kPalYuv, pixel); }
