#include "foundation/WuErrorHandler.h"

#include <gtest/gtest.h>

namespace {

struct Translation {
  DWORD error;
  uint32_t status;
};

TEST(WuErrorHandlerTest, TranslatesWin32ErrorsThroughItsTable) {
  const Translation table[] = {
      {0, 0x00000000},
      {1, 0x80070057},
      {2, 0x8004E00A},
      {3, 0x8004E00A},
      {4, 0x8004E026},
      {5, 0x80070005},
      {6, 0x80070006},
      {14, 0x8007000E},
      {84, 0x8007000E},
      {15, 0x800404B0},
      {32, 0x8004E05A},
      {39, 0x8004E002},
      {112, 0x8004E002},
      {80, 0x8004E032},
      {110, 0x8004E007},
      {120, 0x80004001},
      {123, 0x8004E00D},
      {126, 0x8004E00A},
      {127, 0x8004E00A},
      {170, 0x8004E005},
      {183, 0x8004E170},
      // Every other number is E_FAIL, including those that would be
      // negative as signed values and codes that are already HRESULTs.
      {1000, 0x80004005},
      {7, 0x80004005},
      {8, 0x80004005},
      {87, 0x80004005},
      {0xFFFFFFFF, 0x80004005},
      {0x80070002, 0x80004005},
  };
  for (const Translation& t : table)
    EXPECT_EQ(static_cast<HRESULT>(t.status), WuErrorHandler_TranslateWin32Error(t.error))
        << "error " << t.error;
}

}  // namespace
