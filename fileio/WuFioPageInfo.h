// The record a template-editor page fills when asked for its information
// (IWuFileIOPropertyPage::GetPageInfo): its title, its size and its help.
// It holds pointers, so it takes its natural size; the page writes that
// size into `cb`. Declarations only: plug-ins include it.
#pragma once

#include "platform/com/persist.h"
#include "platform/gdi/gdi.h"
#include "platform/kernel/types.h"

struct PROPPAGEINFO {
  ULONG cb;               // sizeof(PROPPAGEINFO), written by the page
  LPOLESTR pszTitle;      // the title: task memory (CoTaskMemAlloc) the caller frees
  SIZE size;              // the page's size in pixels
  LPOLESTR pszDocString;  // a description, task memory, or NULL
  LPOLESTR pszHelpFile;   // a help file, task memory, or NULL
  DWORD dwHelpContext;    // the help topic
};

// The longest title the editor reads, in code units, terminator excluded.
constexpr int WUFIO_PAGE_TITLE_MAX = 32;
