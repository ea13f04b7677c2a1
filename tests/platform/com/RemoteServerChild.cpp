// The serving process of the tests of objects across processes: publishes
// the test stream class (tests/platform/com/RemoteFixture.h) and the class
// of every kind of argument (RemoteKindsFixture.h), and serves them until it
// is ended, or for 20 s at most.
#include "platform/com/remote.h"
#include "tests/platform/com/RemoteSeedRecorder.h"
#include "tests/platform/com/RemoteFixture.h"
#include "tests/platform/com/RemoteKindsFixture.h"

int main() {
  wutest::RegisterKindsTable();
  wutest::RecordSeedsWhenAsked();
  auto* factory = new wutest::TestStreamFactory();
  auto* kinds = new wutest::KindsFactory();
  DWORD cookie = 0, kinds_cookie = 0;
  HRESULT hr = CoRegisterClassObject(wutest::CLSID_RemoteTestKinds, kinds, CLSCTX_LOCAL_SERVER,
                                     REGCLS_MULTIPLEUSE, &kinds_cookie);
  kinds->Release();
  if (FAILED(hr)) return 3;
  // The stream class last: the tests wait for it, and then find both.
  hr = CoRegisterClassObject(wutest::CLSID_RemoteTestStreams, factory, CLSCTX_LOCAL_SERVER,
                             REGCLS_MULTIPLEUSE, &cookie);
  factory->Release();
  if (FAILED(hr)) return 3;
  Sleep(20000);
  CoRevokeClassObject(cookie);
  CoRevokeClassObject(kinds_cookie);
  return 0;
}
