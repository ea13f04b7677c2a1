// The serving process of the tests of objects across processes: publishes
// the test stream class (tests/platform/com/RemoteFixture.h) and serves it
// until it is ended, or for 20 s at most.
#include "platform/com/remote.h"
#include "tests/platform/com/RemoteFixture.h"

int main() {
  auto* factory = new wutest::TestStreamFactory();
  DWORD cookie = 0;
  HRESULT hr = CoRegisterClassObject(wutest::CLSID_RemoteTestStreams, factory, CLSCTX_LOCAL_SERVER,
                                     REGCLS_MULTIPLEUSE, &cookie);
  factory->Release();
  if (FAILED(hr)) return 3;
  Sleep(20000);
  CoRevokeClassObject(cookie);
  return 0;
}
