// Texts of the multilingual string table in the current UI language (the
// kernel's language handle), as the shell integration shows them.
#pragma once

#include "foundation/WuKernelState.h"
#include "foundation/WuLang.h"
#include "foundation/WuLangRows.h"

namespace shellui {

// The row's text.
inline LPCWSTR Row(const WuLangStringRow& row) { return WuGetString(WuKernel_GetLangHandle(), &row); }

// "yes" or "no".
inline LPCWSTR YesNo(bool yes) { return Row(yes ? WuLangRow_ShellUIYes : WuLangRow_ShellUINo); }

}  // namespace shellui
