// fio_test_min: one class, one operation. GetVersion answers a memory
// stream holding kFioTestMinVersion; the stream and its memory come from
// the host program's platform.
#include "tests/fileio/kit/WuFioTestPlugin.h"
#include "tests/fileio/plugins/FioTestMin.h"

namespace {

class MinVersion final : public WuFioTestObject<IWuReadMetaVersion> {
 public:
  MinVersion() : WuFioTestObject<IWuReadMetaVersion>(IID_IWuReadMetaVersion) {}

  HRESULT GetVersion(IStream** stream, DWORD reserved) override {
    WuFioTestCount(kWuFioTestCalls);
    if (!stream) return E_POINTER;
    *stream = nullptr;
    if (reserved != 0) return E_INVALIDARG;
    IStream* made = nullptr;
    HRESULT hr = CreateStreamOnHGlobal(nullptr, TRUE, &made);
    if (FAILED(hr)) return hr;
    const DWORD version = kFioTestMinVersion;
    LARGE_INTEGER start{};
    hr = made->Write(&version, sizeof(version), nullptr);
    if (SUCCEEDED(hr)) hr = made->Seek(start, STREAM_SEEK_SET, nullptr);
    if (FAILED(hr)) {
      made->Release();
      return hr;
    }
    *stream = made;
    return S_OK;
  }

 private:
  ~MinVersion() override = default;
};

HRESULT MakeMinVersion(REFIID iid, void** object) {
  MinVersion* made = new MinVersion();
  HRESULT hr = made->QueryInterface(iid, object);
  made->Release();
  return hr;
}

}  // namespace

const WuFioTestClass g_wuFioTestClasses[] = {{&CLSID_FioTestMin, &MakeMinVersion}};
const int g_wuFioTestClassCount = 1;
