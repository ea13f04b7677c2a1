// Conversion of single colours between RGB records and WUHSL.
#include "imaging/WuHsl.h"

#include <cmath>

namespace {

constexpr double kByteScale = 0.00392156862745098;  // 1 / 255
constexpr double kSixth = 0.16666666666666666;
// The guard distance of the extended forms: the float nearest 0.000001.
constexpr double kEpsilon = static_cast<double>(0.000001f);

// Hue of a colour with max > min, as a fraction of a turn.
double Hue(double r, double g, double b, double max, double min) {
  const double d = max - min;
  const double rd = (max - r) / d, gd = (max - g) / d, bd = (max - b) / d;
  double h;
  if (r == max)
    h = g == min ? 5.0 + bd : 1.0 - gd;
  else if (g == max)
    h = b == min ? 1.0 + rd : 3.0 - bd;
  else
    h = r == min ? 3.0 + gd : 5.0 - rd;
  return h * kSixth;
}

// Red, green and blue of an HSL colour, in doubles.
struct Rgb {
  double red, green, blue;
};

// The colour of hue H between m1 and m2; false for a hue outside 0 .. 7/6
// (the row index would be outside 0..6).
bool HueToRgb(double H, double m1, double m2, Rgb* out) {
  const double h6 = H * 6.0;
  if (!(h6 > -1.0 && h6 < 7.0)) return false;
  const int k = static_cast<int>(h6);  // truncated toward zero
  const double f = h6 - k;
  const double rising = m1 + f * (m2 - m1);
  const double falling = m2 - f * (m2 - m1);
  switch (k) {
    case 0:
    case 6: *out = {m2, rising, m1}; return true;
    case 1: *out = {falling, m2, m1}; return true;
    case 2: *out = {m1, m2, rising}; return true;
    case 3: *out = {m1, falling, m2}; return true;
    case 4: *out = {rising, m1, m2}; return true;
    case 5: *out = {m2, m1, falling}; return true;
    default: return false;
  }
}

double UpperMix(double L, double S) { return L <= 0.5 ? L * (1.0 + S) : L + S - L * S; }

// Plain form: blue, green and red stay 0 without lightness.
bool PlainHslToRgb(const WUHSL* in, Rgb* out) {
  const double m2 = UpperMix(in->L, in->S);
  if (!(m2 > 0.0)) {
    *out = {0.0, 0.0, 0.0};
    return true;
  }
  return HueToRgb(in->H, 2.0 * in->L - m2, m2, out);
}

BYTE ToByte(double v) {
  const double x = v * 255.0;
  if (!(x > 0.0)) return 0;
  if (x >= 255.0) return 255;
  return static_cast<BYTE>(x);
}

template <typename Pixel>
void StoreFloats(Pixel* out, const Rgb& rgb) {
  out->red = static_cast<float>(rgb.red);
  out->green = static_cast<float>(rgb.green);
  out->blue = static_cast<float>(rgb.blue);
}

}  // namespace

void WuRgbToHslCore(WUHSL* out, double r, double g, double b, double alpha) {
  out->A = alpha;
  const double max = std::fmax(r, std::fmax(g, b));
  const double min = std::fmin(r, std::fmin(g, b));
  out->L = (max + min) * 0.5;
  out->S = 0.0;
  out->H = 0.0;
  if (out->L <= 0.0) return;
  const double d = max - min;
  if (d <= 0.0) {
    out->S = d;
    return;
  }
  out->S = out->L <= 0.5 ? d / (max + min) : d / (2.0 - max - min);
  out->H = Hue(r, g, b, max, min);
}

void WuRgbToHslCoreExtended(WUHSL* out, double r, double g, double b, double alpha) {
  out->A = alpha;
  double max = std::fmax(r, std::fmax(g, b));
  double min = std::fmin(r, std::fmin(g, b));

  // Keep max + min away from 2, where the saturation divides by
  // 2 - max - min; the channel that held the maximum follows.
  double sum = max + min;
  if ((sum > 2.0 - kEpsilon && sum < 2.0) || (sum >= 2.0 && sum < 2.0 + kEpsilon)) {
    max = sum < 2.0 ? max - kEpsilon : max + kEpsilon;
    if (r > g && r > b)
      r = max;
    else if (g > b)
      g = max;
    else
      b = max;
  }
  // Keep max + min away from 0 likewise, moving the minimum.
  sum = max + min;
  if ((sum > -kEpsilon && sum < 0.0) || (sum >= 0.0 && sum < kEpsilon)) {
    min = sum < 0.0 ? min - kEpsilon : min + kEpsilon;
    if (r < g && r < b)
      r = min;
    else if (b > g)
      g = min;
    else
      b = min;
  }

  out->L = (max + min) * 0.5;
  const double d = max - min;
  out->H = 0.0;
  if (d >= -kEpsilon && d < kEpsilon) {
    out->S = d;
    return;
  }
  out->S = out->L <= 0.5 ? d / (max + min) : d / (2.0 - max - min);
  if (out->L < 0.0 || out->L > 1.0) out->S = -out->S;
  out->H = Hue(r, g, b, max, min);
}

void WURGBA_To_WUHSL(WUHSL* out, const WURGBA* in) {
  WuRgbToHslCore(out, in->red * kByteScale, in->green * kByteScale, in->blue * kByteScale,
                 in->alpha * kByteScale);
}

void WURGBAFLOAT_To_WUHSL(WUHSL* out, const WURGBAFLOAT* in) {
  WuRgbToHslCore(out, in->red, in->green, in->blue, in->alpha);
}

void WUDIBPIXEL_To_WUHSL(WUHSL* out, const WUDIBPIXEL* in) {
  WuRgbToHslCore(out, in->red, in->green, in->blue, in->alpha);
}

void WUDIBPIXEL_To_WUHSL_Float(WUHSL* out, const WUDIBPIXEL* in) {
  WuRgbToHslCoreExtended(out, in->red, in->green, in->blue, in->alpha);
}

void WUHSL_To_WURGBA(WURGBA* out, const WUHSL* in) {
  out->alpha = ToByte(in->A);
  Rgb rgb;
  if (!PlainHslToRgb(in, &rgb)) return;
  out->red = ToByte(rgb.red);
  out->green = ToByte(rgb.green);
  out->blue = ToByte(rgb.blue);
}

void WUHSL_To_WURGBAFLOAT(WURGBAFLOAT* out, const WUHSL* in) {
  out->alpha = static_cast<float>(in->A);
  Rgb rgb;
  if (PlainHslToRgb(in, &rgb)) StoreFloats(out, rgb);
}

void WUHSL_To_WUDIBPIXEL(WUDIBPIXEL* out, const WUHSL* in) {
  out->alpha = static_cast<float>(in->A);
  Rgb rgb;
  if (PlainHslToRgb(in, &rgb)) StoreFloats(out, rgb);
}

void WUHSL_To_WUDIBPIXEL_Float(WUDIBPIXEL* out, const WUHSL* in) {
  out->alpha = static_cast<float>(in->A);
  // Outside 0 .. 1 the forward form stored -S; the sign is undone on a
  // local copy, so the caller's record stays as it was.
  const double S = (in->L < 0.0 || in->L > 1.0) ? -in->S : in->S;
  const double m2 = UpperMix(in->L, S);
  Rgb rgb;
  if (HueToRgb(in->H, 2.0 * in->L - m2, m2, &rgb)) StoreFloats(out, rgb);
}
