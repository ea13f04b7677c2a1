// Front-end helpers between host applications, the file-I/O manager and
// plug-in classes.
#include "shellui/WuFioFrontEnd.h"

#include "fileio/CWuFileIOManager.h"
#include "platform/kernel/files.h"
#include "platform/kernel/handles.h"
#include "shellui/WuFioPluginProblems.h"

namespace {

// Opens a file for identification only; INVALID_HANDLE_VALUE on failure.
HANDLE OpenForIdentification(LPCWSTR path) {
  if (!path) return INVALID_HANDLE_VALUE;
  return CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                     FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
}

// Releases an interface when the scope ends.
template <class T>
struct Held {
  T* p = nullptr;
  ~Held() {
    if (p) p->Release();
  }
};

}  // namespace

HRESULT WuFioValidateTemplate(HWND parent, IWuFileIOMgrForApp* manager, DWORD key, BOOL renderer,
                              const tagWUTEMPLATExV2* record, WUFIO_TEMPLATEVALIDATE kind,
                              WU_FIO_VALIDATETEMPLATE_CONTEXT context, int* out1, int* out2,
                              int valueA, int valueB) {
  if (!out1 || !out2) return E_INVALIDARG;
  *out1 = 1;
  *out2 = 0;
  if (!manager) return S_FALSE;

  // The class asked for its validator, then let go.
  IUnknown* cls = nullptr;
  HRESULT hr;
  if (renderer) {
    IWuRenderFileClass* render = nullptr;
    hr = manager->GetRendererClassByKey(&render, static_cast<LONG>(key));
    cls = render;
  } else {
    IWuReadFileClass* read = nullptr;
    hr = manager->GetReaderClassByKey(&read, static_cast<LONG>(key));
    cls = read;
  }
  if (FAILED(hr) || !cls) {
    if (cls) cls->Release();
    return S_FALSE;
  }
  Held<IWuFioTemplateValidate> validator;
  hr = cls->QueryInterface(IID_IWuFioTemplateValidate, reinterpret_cast<void**>(&validator.p));
  cls->Release();
  if (FAILED(hr) || !validator.p) return S_FALSE;

  if (context == WU_FIO_VALIDATETEMPLATE_IF_APPLIES && !validator.p->AppliesTo(kind)) return S_FALSE;
  return validator.p->Validate(parent, record, kind, valueA, valueB, out1, out2);
}

HRESULT WuFioFindLockedReader(LPCWSTR path, IWuFileIOMgrForApp* manager, IWuReadFileClass** out) {
  if (!out) return E_INVALIDARG;
  *out = nullptr;
  if (!manager) return E_INVALIDARG;
  return manager->FindLockingReaderClass(path, out);
}

HRESULT WuFioFindUninitializedReader(LPCWSTR path, IWuFileIOMgrForApp* manager, IWuReadFileClass** out) {
  if (!out) return E_INVALIDARG;
  *out = nullptr;
  if (!path || !manager) return E_INVALIDARG;
  HANDLE file = OpenForIdentification(path);
  if (file == INVALID_HANDLE_VALUE) return S_FALSE;
  LONG key = 0;
  HRESULT hr = manager->IdentifyReader(file, path, &key, 0);
  CloseHandle(file);
  if (hr != WUFIO_E_DEPENDENCY) return S_FALSE;
  return manager->GetReaderClassByKey(out, key);
}

HRESULT WuShowFioInstallWizard(HWND parent, IWuFileIOMgrForApp* manager, DWORD key, int /*unused*/,
                               _FioWizardContext_ /*context*/, int /*reserved*/) {
  if (!manager) return E_INVALIDARG;
  Held<IWuReadFileClass> cls;
  HRESULT hr = manager->GetReaderClassByKey(&cls.p, static_cast<LONG>(key));
  if (FAILED(hr)) return hr;
  if (!cls.p) return hr;
  if (!WuFio_IsPluginAccessible(cls.p)) {
    WuFio_DisclosePluginProblems(cls.p, parent);
    hr = S_OK;
  }
  return hr;
}

HRESULT WuShowFioInstallWizard(HWND parent, IWuFileIOMgrForApp* manager, LPCWSTR path,
                               _FioWizardContext_ context, int reserved) {
  if (!manager) return S_FALSE;
  HANDLE file = OpenForIdentification(path);
  if (file == INVALID_HANDLE_VALUE) return S_FALSE;
  LONG key = 0;
  HRESULT hr = manager->IdentifyReader(file, path, &key, 0);
  if (hr == WUFIO_E_DEPENDENCY) {
    hr = S_OK;
  } else if (FAILED(hr) && hr != WUFIO_E_REFUSED) {
    key = 0;
    hr = manager->FindReaderByFileName(path, &key);
  }
  CloseHandle(file);
  if (FAILED(hr)) return S_FALSE;
  return WuShowFioInstallWizard(parent, manager, static_cast<DWORD>(key), 1, context, reserved);
}
