// Checks of FFT twiddle tables against the layouts they promise.
//
// A layout is walked as a sequence of slots (which angle, cos or -sin); a
// checker compares the table's values with the slots in order:
// - every value against the base sine table read at the slot's angle, bit
//   for bit, so equal angles give equal bits in every stage, level and
//   variant that reads the same base table;
// - optionally every value against the exact value (within a number of
//   units in the last place, exact angles exactly) and against every value
//   of the same angle seen before.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <map>
#include <sstream>
#include <string>
#include <type_traits>
#include <utility>

namespace dsptest {

// One table value: cos(2*pi*m/2^l), or -sin of that angle.
struct TwiddleSlot {
  uint64_t m;  // angle numerator
  int l;       // log2 of the period
  bool sine;   // true: -sin, false: cos
};

constexpr int kAnglePeriodBits = 30;  // the common period of angle keys
constexpr long double kPiL = 3.141592653589793238462643383279502884L;

// The angle of a slot at the period 2^30.
inline uint64_t AngleKey(const TwiddleSlot& s) {
  return (s.m << (kAnglePeriodBits - s.l)) & ((uint64_t{1} << kAnglePeriodBits) - 1);
}

// The exact value of a slot. The angle is first reduced to an eighth of a
// period by the symmetries, so that no precision is lost near the values
// close to zero.
inline long double ExactTwiddle(const TwiddleSlot& s) {
  const uint64_t period = uint64_t{1} << kAnglePeriodBits;
  auto at = [&](uint64_t k) {
    return 2 * kPiL * static_cast<long double>(k) / static_cast<long double>(period);
  };
  uint64_t k = AngleKey(s);
  long double sinSign = 1, cosSign = 1;
  if (k > period / 2) k = period - k, sinSign = -1;          // sin(-x) = -sin x
  if (k > period / 4) k = period / 2 - k, cosSign = -cosSign;  // sin(pi-x) = sin x
  long double sine, cosine;
  if (k > period / 8) {
    sine = cosl(at(period / 4 - k));
    cosine = sinl(at(period / 4 - k));
  } else {
    sine = sinl(at(k));
    cosine = cosl(at(k));
  }
  return s.sine ? -sinSign * sine : cosSign * cosine;
}

// The value of a slot read from the sine table s of order a (l <= a): the
// angle at the table's period, the quarter-wave symmetries, and the sign.
template <class T>
T FromBaseTable(const T* s, int a, const TwiddleSlot& slot) {
  const uint64_t period = uint64_t{1} << a;
  const uint64_t k = (slot.m << (a - slot.l)) % period;
  const uint64_t q = period / 4;
  // sin and cos of 2*pi*k/period as (sign, index).
  T sine, cosine;
  if (k <= q) sine = s[k], cosine = s[q - k];
  else if (k <= 2 * q) sine = s[2 * q - k], cosine = -s[k - q];
  else if (k <= 3 * q) sine = -s[k - 2 * q], cosine = -s[3 * q - k];
  else sine = -s[4 * q - k], cosine = s[k - 3 * q];
  return slot.sine ? -sine : cosine;
}

template <class T>
uint64_t BitsOf(T v) {
  uint64_t b = 0;
  std::memcpy(&b, &v, sizeof v);
  return b;
}

// Walks a table along its layout; see the header comment.
template <class T>
class TableChecker {
 public:
  // ulps < 0: no comparison with exact values and no angle map; base null:
  // no comparison with a base table.
  TableChecker(const T* table, const T* base, int a, int ulps)
      : table_(table), base_(base), a_(a), ulps_(ulps) {}

  void operator()(const TwiddleSlot& s) {
    size_t i = count_++;
    if (!failure_.empty()) return;
    T value = table_[i];
    if (base_ && BitsOf(value) != BitsOf(FromBaseTable(base_, a_, s)))
      return Fail(i, s, "differs from the base table");
    if (ulps_ < 0) return;
    long double exact = ExactTwiddle(s);
    long double allowed = 0;
    bool exactAngle = AngleKey(s) % (uint64_t{1} << (kAnglePeriodBits - 2)) == 0;
    if (!exactAngle) {
      int e = 0;
      std::frexp(exact, &e);
      allowed = ulps_ * std::ldexp(1.0L, e - (std::is_same_v<T, float> ? 24 : 53));
    }
    if (std::fabs(static_cast<long double>(value) - exact) > allowed)
      return Fail(i, s, "too far from the exact value");
    auto [it, inserted] = seen_.emplace(std::make_pair(AngleKey(s), s.sine), BitsOf(value));
    if (!inserted && it->second != BitsOf(value)) return Fail(i, s, "differs from its angle's");
  }

  size_t count() const { return count_; }
  ::testing::AssertionResult Result() const {
    if (failure_.empty()) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << failure_;
  }

 private:
  void Fail(size_t i, const TwiddleSlot& s, const char* what) {
    std::ostringstream text;
    text << "value " << i << " (" << (s.sine ? "-sin " : "cos ") << s.m << "/2^" << s.l
         << ") = " << static_cast<double>(table_[i]) << " " << what;
    failure_ = text.str();
  }

  const T* table_;
  const T* base_;
  int a_;
  int ulps_;
  size_t count_ = 0;
  std::string failure_;
  std::map<std::pair<uint64_t, bool>, uint64_t> seen_;
};

// Four-lane records: for each factor f in [first, last], four cos of
// f*(p+t), then four -sin, t = 0..3.
template <class Sink>
void FourLane(Sink& sink, uint64_t p, int l, int first, int last) {
  for (int f = first; f <= last; ++f) {
    for (int t = 0; t < 4; ++t) sink(TwiddleSlot{f * (p + t), l, false});
    for (int t = 0; t < 4; ++t) sink(TwiddleSlot{f * (p + t), l, true});
  }
}
// Pair records: for each factor f, cos of f*p and f*(p+1), then their -sin.
template <class Sink>
void PairOf(Sink& sink, uint64_t p, int l, int first, int last) {
  for (int f = first; f <= last; ++f) {
    sink(TwiddleSlot{f * p, l, false});
    sink(TwiddleSlot{f * (p + 1), l, false});
    sink(TwiddleSlot{f * p, l, true});
    sink(TwiddleSlot{f * (p + 1), l, true});
  }
}
// Interleaved (cos, -sin) of one angle.
template <class Sink>
void Interleaved(Sink& sink, uint64_t m, int l) {
  sink(TwiddleSlot{m, l, false});
  sink(TwiddleSlot{m, l, true});
}

inline uint64_t ReverseBits(uint64_t x, int bits) {
  uint64_t r = 0;
  for (int i = 0; i < bits; ++i) r |= ((x >> i) & 1) << (bits - 1 - i);
  return r;
}

}  // namespace dsptest
