// The bit-identity table of the FFT tests: each row names two ways to reach
// one result (variant, flag, placement, buffer offset) that must give equal
// bits over a range of orders. The FFT families add their rows with
// WU_FFT_IDENTITY_ROW in their test files; one test walks every row.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace dsptest {

// The bytes of a result at an order.
using IdentityWay = std::function<std::vector<uint8_t>(int order)>;

struct IdentityRow {
  std::string name;   // what is compared, naming both ways
  int minOrder;       // first order
  int maxOrder;       // last order
  IdentityWay first;  // one way
  IdentityWay second; // the other way
};

// Every registered row.
std::vector<IdentityRow>& IdentityRows();

// Registers a row at static initialisation.
struct IdentityRowRegistrar {
  explicit IdentityRowRegistrar(IdentityRow row);
};

}  // namespace dsptest

#define WU_FFT_IDENTITY_CONCAT2(a, b) a##b
#define WU_FFT_IDENTITY_CONCAT(a, b) WU_FFT_IDENTITY_CONCAT2(a, b)
// Adds a row: WU_FFT_IDENTITY_ROW({"name", minOrder, maxOrder, first, second});
#define WU_FFT_IDENTITY_ROW(...)                                                            \
  static const ::dsptest::IdentityRowRegistrar WU_FFT_IDENTITY_CONCAT(identityRow_, __LINE__)( \
      ::dsptest::IdentityRow __VA_ARGS__)
