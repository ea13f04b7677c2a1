// The process that serves the fake plug-in classes of the tests of the
// plug-in interfaces across processes (RemoteFakes.h), as a surrogate
// serves real ones, until it is ended or for 20 s at most. With the
// argument "idle" it serves nothing and only waits as long.
#include <string>

#include "fileio/WuFioRemoteTables.h"
#include "platform/com/remote.h"
#include "tests/platform/com/RemoteSeedRecorder.h"
#include "tests/fileio/RemoteFakes.h"

int main(int argc, char** argv) {
  if (argc > 1 && std::string(argv[1]) == "idle") {
    Sleep(20000);
    return 0;
  }
  WuFio_RegisterRemoteTables();
  wutest::RecordSeedsWhenAsked();
  using namespace wu_remote_test;
  auto* reader = new Factory<FakeReader>();
  auto* renderer = new Factory<FakeRenderer>();
  auto* surrogate = new Factory<FakeSurrogate>();
  DWORD cookies[3] = {};
  // The reader last: the tests wait for it, and then find the others.
  HRESULT hr = CoRegisterClassObject(CLSID_RemoteFakeRenderer, renderer, CLSCTX_LOCAL_SERVER,
                                     REGCLS_MULTIPLEUSE, &cookies[1]);
  if (SUCCEEDED(hr))
    hr = CoRegisterClassObject(CLSID_RemoteFakeSurrogate, surrogate, CLSCTX_LOCAL_SERVER,
                               REGCLS_MULTIPLEUSE, &cookies[2]);
  if (SUCCEEDED(hr))
    hr = CoRegisterClassObject(CLSID_RemoteFakeReader, reader, CLSCTX_LOCAL_SERVER,
                               REGCLS_MULTIPLEUSE, &cookies[0]);
  reader->Release();
  renderer->Release();
  surrogate->Release();
  if (FAILED(hr)) return 3;
  Sleep(20000);
  CoRevokeClassObject(cookies[0]);
  CoRevokeClassObject(cookies[1]);
  CoRevokeClassObject(cookies[2]);
  return 0;
}
