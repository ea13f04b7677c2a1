// Front-end helpers for host applications: questions to the file-I/O
// manager that involve a plug-in class (template validation, the reader
// holding a file locked or not initialised) and the plug-in's problem
// disclosure for a reader key or a file.
#pragma once

#include "fileio/WuFileIO.h"
#include "platform/user/windows.h"

// When WuFioValidateTemplate asks the validator.
enum WU_FIO_VALIDATETEMPLATE_CONTEXT : LONG {
  WU_FIO_VALIDATETEMPLATE_ALWAYS = 0,      // validate whatever the kind
  WU_FIO_VALIDATETEMPLATE_IF_APPLIES = 1,  // only when the class handles the kind
};

// Where the install wizard was asked for; handed on, changes nothing.
enum _FioWizardContext_ : LONG {
  FIOWIZ_CONTEXT_DEFAULT = 0,  // no particular place
  FIOWIZ_CONTEXT_OPEN = 1,     // opening a file
  FIOWIZ_CONTEXT_RENDER = 2,   // rendering to a format
};

// Lets the class of `key` (a renderer class when `renderer` is non-zero,
// else a reader class) validate `record` through its template-validation
// interface. *out1 = 1 and *out2 = 0 first. S_FALSE when there is no
// manager, class or interface, or (context 1) the class does not handle
// `kind`; otherwise what the validator answers. E_INVALIDARG for a NULL
// out pointer.
HRESULT WuFioValidateTemplate(HWND parent, IWuFileIOMgrForApp* manager, DWORD key, BOOL renderer,
                              const tagWUTEMPLATExV2* record, WUFIO_TEMPLATEVALIDATE kind,
                              WU_FIO_VALIDATETEMPLATE_CONTEXT context, int* out1, int* out2,
                              int valueA, int valueB);

// The reader class holding `path` locked, as the manager answers.
// *out = NULL first; E_INVALIDARG for a NULL manager or out pointer.
HRESULT WuFioFindLockedReader(LPCWSTR path, IWuFileIOMgrForApp* manager, IWuReadFileClass** out);

// The reader class identified for the file at `path` whose plug-in is not
// initialised (one reference for the caller). *out = NULL first;
// E_INVALIDARG for a NULL path, manager or out pointer; S_FALSE when the
// file cannot be opened, its reader is initialised or none was identified.
HRESULT WuFioFindUninitializedReader(LPCWSTR path, IWuFileIOMgrForApp* manager, IWuReadFileClass** out);

// Shows the problem disclosure of reader class `key` when its plug-in
// reports a problem (S_OK then); otherwise what fetching the class gave.
// E_INVALIDARG without a manager. `unused`, `context` and `reserved`
// change nothing.
HRESULT WuShowFioInstallWizard(HWND parent, IWuFileIOMgrForApp* manager, DWORD key, int unused,
                               _FioWizardContext_ context, int reserved);
// The same for the reader of the file at `path`, identified by content and
// else by extension; S_FALSE without a manager, when the file cannot be
// opened, no reader is found or the reader refused the data.
HRESULT WuShowFioInstallWizard(HWND parent, IWuFileIOMgrForApp* manager, LPCWSTR path,
                               _FioWizardContext_ context, int reserved);
