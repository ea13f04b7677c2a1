#include "fileio/WuFioValues.h"

#include <bit>

int WuFio_CountSetBits(DWORD value) { return std::popcount(value); }

namespace {

// n / d rounded up, for n >= 0 and d > 0; a negative n is left to plain
// division.
LONGLONG DivideUp(LONGLONG n, LONGLONG d) { return n > 0 ? (n + d - 1) / d : n / d; }

}  // namespace

DWORD WuFio_ConstrainValueToTable(DWORD value, const DWORD* table, LONG count, LONG rounding,
                                  LONG* index) {
  LONG pick;
  if (count <= 0 || !table) {
    if (index) *index = -1;
    return value;
  }
  if (value <= table[0]) {
    pick = 0;
  } else if (value >= table[count - 1]) {
    pick = count - 1;
  } else {
    // table[0] < value < table[count - 1]: the loop stops by count - 1.
    LONG c = 1;
    while (value > table[c]) ++c;
    if (value == table[c]) {
      pick = c;
    } else if (rounding == -1) {
      pick = c - 1;
    } else if (rounding == 1) {
      pick = c;
    } else {
      LONGLONG dl = static_cast<LONGLONG>(value) - table[c - 1];
      LONGLONG du = static_cast<LONGLONG>(table[c]) - value;
      if (rounding > 1) dl = DivideUp(dl, rounding);
      if (rounding < -1) du = DivideUp(du, -static_cast<LONGLONG>(rounding));
      pick = dl < du ? c - 1 : c;
    }
  }
  if (index) *index = pick;
  return table[pick];
}
