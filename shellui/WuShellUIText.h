// "yes" and "no" of the multilingual string table in the current UI
// language, as the shell integration shows them.
#pragma once

#include "foundation/WuLang.h"
#include "foundation/WuLangRows.h"

namespace shellui {

// "yes" or "no".
inline LPCWSTR YesNo(bool yes) { return WuLangText(yes ? WuLangRow_ShellUIYes : WuLangRow_ShellUINo); }

}  // namespace shellui
