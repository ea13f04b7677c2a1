// Control placement against a reference control.
#include "shellui/WuControlPlacement.h"

#include "platform/user/dialogs.h"

namespace {

// The window rectangles of control `id` of `dialog` and of the reference
// control, both in the dialog's client coordinates. False when either
// control is missing.
bool FindRects(HWND dialog, int id, HWND ref_dialog, int ref_id, HWND* control, RECT* rect,
               RECT* ref) {
  if (!ref_dialog) ref_dialog = GetParent(dialog);
  *control = GetDlgItem(dialog, id);
  if (!*control) return false;
  HWND reference = ref_dialog ? GetDlgItem(ref_dialog, ref_id) : nullptr;
  if (!reference) return false;
  if (!GetWindowRect(*control, rect) || !GetWindowRect(reference, ref)) return false;
  MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(rect), 2);
  MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(ref), 2);
  return true;
}

// One direction of the alignment: `low`/`high` are the control's edges,
// `ref_low`/`ref_high` the reference's.
void AlignEdges(bool take_low, bool take_high, LONG ref_low, LONG ref_high, LONG* low,
                LONG* high) {
  const LONG extent = *high - *low;
  if (take_low && take_high) {
    *low = ref_low;
    *high = ref_high;
  } else if (take_low) {
    *low = ref_low;
    *high = ref_low + extent;
  } else if (take_high) {
    *high = ref_high;
    *low = ref_high - extent;
  }
}

}  // namespace

BOOL WuAlignControlToOtherControl(HWND ref_dialog, int ref_id, HWND dialog, int id, DWORD flags,
                                  const RECT* adjust) {
  HWND control = nullptr;
  RECT rect, ref;
  if (!FindRects(dialog, id, ref_dialog, ref_id, &control, &rect, &ref)) return FALSE;
  AlignEdges(flags & WUALIGN_LEFT, flags & WUALIGN_RIGHT, ref.left, ref.right, &rect.left,
             &rect.right);
  AlignEdges(flags & WUALIGN_TOP, flags & WUALIGN_BOTTOM, ref.top, ref.bottom, &rect.top,
             &rect.bottom);
  if (adjust) {
    rect.left += adjust->left;
    rect.top += adjust->top;
    rect.right += adjust->right;
    rect.bottom += adjust->bottom;
  }
  return SetWindowPos(control, nullptr, rect.left, rect.top, rect.right - rect.left,
                      rect.bottom - rect.top, SWP_NOZORDER | SWP_NOACTIVATE);
}

BOOL WuSetPosHookControl(HWND dialog, HWND ref_dialog, int ref_id, int id, int grow) {
  HWND control = nullptr;
  RECT rect, ref;
  if (!FindRects(dialog, id, ref_dialog, ref_id, &control, &rect, &ref)) return FALSE;
  if (grow != 0) {
    ref.left -= grow;
    ref.right += grow;
  }
  return SetWindowPos(control, nullptr, ref.left, rect.top, ref.right - ref.left,
                      rect.bottom - rect.top, SWP_NOZORDER | SWP_NOACTIVATE);
}
