// What the launch files share: the record's presence test and the loaders
// they call.
#pragma once

#include "shellui/CWuLinkProjectInfo.h"
#include "shellui/ProjectLinkChunks.h"

// TRUE when the record's field of presence bit `bit` (WULPI_*) is present.
inline bool ProjLink_HasField(const CWuLinkProjectInfo* info, DWORD bit) {
  return (info->GetFlags() & bit) != 0;
}
