// Length-prefixed UTF-16 texts (BSTR) handed between components.
//
// A BSTR points at the first character of a block that holds, just before
// it, the text's length in bytes as a 32-bit value; the text is followed by
// a terminating zero that the length does not count. A BSTR may hold zeros
// of its own. NULL is a valid BSTR and reads as the empty text.
#pragma once

#include "platform/kernel/types.h"

typedef WCHAR OLECHAR;
typedef WCHAR* BSTR;

// A new BSTR copied from the zero-terminated `text`; NULL when `text` is
// NULL or memory runs out.
BSTR SysAllocString(const OLECHAR* text);
// A new BSTR of `length` characters copied from `text`, or left zero-filled
// when `text` is NULL; NULL when memory runs out.
BSTR SysAllocStringLen(const OLECHAR* text, UINT length);
// A new BSTR of `bytes` bytes copied from `data` (zero-filled for NULL).
BSTR SysAllocStringByteLen(const char* data, UINT bytes);
// Replaces *text by a copy of `with` (freeing the old one); FALSE, leaving
// *text as it was, when memory runs out or `text` is NULL.
INT SysReAllocString(BSTR* text, const OLECHAR* with);
// The same with a given length (`with` may be NULL: zero-filled).
INT SysReAllocStringLen(BSTR* text, const OLECHAR* with, UINT length);
// Frees a BSTR; NULL does nothing.
void SysFreeString(BSTR text);
// Length in characters (0 for NULL).
UINT SysStringLen(BSTR text);
// Length in bytes (0 for NULL).
UINT SysStringByteLen(BSTR text);

namespace platform {
// Test hook: the next `count` BSTR allocations fail as if memory were
// exhausted. Allocations are the calls of SysAllocString,
// SysAllocStringLen, SysAllocStringByteLen and the two SysReAllocString
// forms; calls refused for their arguments alone (a NULL text to
// SysAllocString, a NULL BSTR pointer, a length too large) take no step.
// 0 turns failures off.
void FailNextBstrAllocations(int count);
// Test hook: the next `skip` BSTR allocations succeed, then `count` fail;
// a later call replaces the plan.
void FailBstrAllocationsAfter(int skip, int count);
}  // namespace platform
