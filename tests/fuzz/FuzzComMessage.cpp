// Fuzz target of the reader of messages between processes: the input is an
// interface id (16 bytes), a byte whose low two bits give the number of
// descriptors that come with the message, and the message as a connection
// receives it. The message is read as the reading thread reads its peer's,
// the object it names serving that interface (the plug-in interfaces, the
// test interface of every kind, IStream when the id is none of them): every
// check runs, nothing is called. Reading the same message again must come to
// the same verdict.
#include <cstdint>
#include <string>

#include "fileio/WuFioRemoteTables.h"
#include "platform/com/remote.h"
#include "tests/fuzz/FuzzSupport.h"
#include "tests/platform/com/RemoteKindsFixture.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 17) return 0;
  wufuzz::Root();
  static const bool registered = [] {
    WuFio_RegisterRemoteTables();
    wutest::RegisterKindsTable();
    return true;
  }();
  (void)registered;
  IID iid;
  std::memcpy(&iid, data, sizeof iid);
  const platform::ComInterfaceTable* table = platform::FindComInterfaceTable(iid);
  if (!table) table = platform::FindComInterfaceTable(IID_IStream);
  const std::string message(reinterpret_cast<const char*>(data) + 17, size - 17);
  const size_t descriptors = data[16] & 3;
  bool first = platform::ComReadMessageForTest(message, descriptors, table);
  bool again = platform::ComReadMessageForTest(message, descriptors, table);
  if (first != again) wufuzz::Fail("message reader", "two readings of one message disagree");
  return 0;
}
