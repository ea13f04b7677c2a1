// What the files of the common controls share: notifications to the parent,
// text measuring and copying, class registration, and the registration of
// each control's class. Internal to platform/comctl/.
#pragma once

#include <string>

#include "platform/comctl/commctrl.h"

namespace platform {
inline namespace comctl_internal {

// WM_NOTIFY with a header (and what follows it) to the parent.
LRESULT NotifyParent(HWND hwnd, NMHDR* header);

// The width of a text in a window's font.
int TextWidth(HWND hwnd, const std::u16string& text);

// Copies a text into a caller's buffer of `size` characters, cut to fit.
void CopyOut(const std::u16string& text, LPWSTR buffer, int size);

// Registers a common control's class as a system class.
void Register(LPCWSTR name, WNDPROC proc);

}  // namespace comctl_internal

// Each control's class (progress_bar.cpp, tab_control.cpp, toolbar.cpp,
// tree_view.cpp).
void RegisterProgressBarClass();
void RegisterTabControlClass();
void RegisterToolbarClass();
void RegisterTreeViewClass();

}  // namespace platform
