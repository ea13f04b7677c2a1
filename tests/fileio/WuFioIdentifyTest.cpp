// Which reader class opens a file: the refused heads, the type tables
// walked for an identified type, the classes claiming an extension, and the
// answers of the search.
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>

#include "platform/kernel/files.h"
#include "tests/fileio/FioManagerFixture.h"

namespace fio_test {
namespace {

class IdentifyTest : public FioManagerTest {
 protected:
  void SetUp() override {
    FioManagerTest::SetUp();
    WriteConfig("a.Fio2007-Config",
                {{"basic", PluginPath("fio_test_basic")}, {"other", PluginPath(OtherPlugin())}});
    app_ = Create(0);
    ASSERT_NE(app_, nullptr);
  }
  // The plug-in configured beside fio_test_basic.
  virtual const char* OtherPlugin() const { return "fio_test_order"; }
  void TearDown() override {
    if (app_) app_->Release();
    FioManagerTest::TearDown();
  }
  // Writes `bytes` as `name` in the test folder and identifies it.
  HRESULT Identify(const std::string& name, const std::string& bytes, LONG* key) {
    std::string path = dir_ + "/" + name;
    wutest::WriteBytes(path, bytes);
    HANDLE file = CreateFileW(U16(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(file, INVALID_HANDLE_VALUE);
    HRESULT hr = app_->IdentifyReader(file, U16(path).c_str(), key, 0);
    CloseHandle(file);
    return hr;
  }
  // The key of a reader class id.
  LONG KeyOf(const GUID& readerId) {
    IWuReadFileClass* cls = nullptr;
    LONG key = -1;
    if (app_->GetReaderClassById(&cls, readerId) == S_OK) {
      cls->GetKey(&key);
      cls->Release();
    }
    return key;
  }
  // CheckFile and CheckPath calls of all classes.
  static LONG AllCalls() {
    LONG calls = 0;
    for (const char* tag : {"fio_test_basic/TST", "fio_test_basic/TSX", "fio_test_basic/WAV",
                            "fio_test_order/Row6", "fio_test_order/Row8", "fio_test_order/First"})
      calls += PluginCountsOf(tag)[kWuFioTestCalls];
    return calls;
  }

  IWuFileIOMgrForApp* app_ = nullptr;
};

std::string Le32(DWORD v) {
  return std::string{static_cast<char>(v), static_cast<char>(v >> 8), static_cast<char>(v >> 16),
                     static_cast<char>(v >> 24)};
}

// A GUID as a file holds it.
std::string GuidBytes(const GUID& id) {
  std::string bytes = Le32(id.Data1);
  bytes += std::string{static_cast<char>(id.Data2), static_cast<char>(id.Data2 >> 8),
                       static_cast<char>(id.Data3), static_cast<char>(id.Data3 >> 8)};
  bytes.append(reinterpret_cast<const char*>(id.Data4), 8);
  return bytes;
}

std::string Wave64Head(const GUID& form, size_t bytes) {
  const GUID riff = {0x66666972, 0x912E, 0x11CF, {0xA5, 0xD6, 0x28, 0xDB, 0x04, 0xC1, 0x00, 0x00}};
  std::string head = GuidBytes(riff) + std::string(8, '\x10') + GuidBytes(form);
  head.resize(bytes, '\0');
  return head;
}

TEST_F(IdentifyTest, RefusedHeadsReachNoClass) {
  const GUID refusedForm = {0x46C429EF, 0x904A, 0x11D2,
                            {0x87, 0x22, 0x00, 0xC0, 0x4F, 0x8E, 0xDB, 0x8A}};
  struct Case {
    const char* name;
    std::string bytes;
    bool refused;
  };
  const Case cases[] = {
      {"MIDI", "MThd" + Le32(0x06000000) + std::string(20, '\0'), true},
      {"RIFF of size 0", "RIFF" + Le32(0) + "WAVE" + std::string(20, '\0'), true},
      {"RIFF form WUPL", "RIFF" + Le32(100) + "WUPL" + std::string(20, '\0'), true},
      {"RIFF form WUPJ", "RIFF" + Le32(100) + "WUPJ" + std::string(20, '\0'), true},
      {"package", "WUPK" + std::string(20, '\0'), true},
      {"Wave64 of a refused form", Wave64Head(refusedForm, 64), true},
      {"MIDI head of 11 bytes", "MThd" + std::string(7, '\0'), false},
      {"Wave64 head of 40 bytes", Wave64Head(refusedForm, 40), false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(CWuFileIOManager::IsRefusedHead(reinterpret_cast<const BYTE*>(c.bytes.data()),
                                              static_cast<DWORD>(c.bytes.size())),
              c.refused);
    const LONG before = AllCalls();
    LONG key = 5;
    HRESULT hr = Identify("head.bin", c.bytes, &key);
    if (c.refused) {
      EXPECT_EQ(hr, WUFIO_E_REFUSED);
      EXPECT_EQ(AllCalls(), before);
    } else {
      EXPECT_EQ(hr, WUFIO_E_NOT_FOUND);
      EXPECT_GT(AllCalls(), before);
    }
    EXPECT_EQ(key, -1);
  }
}

TEST_F(IdentifyTest, Answers) {
  const std::string wav = "RIFF" + Le32(36) + "WAVEfmt " + Le32(16) + std::string(28, '\1');
  struct Case {
    const char* name;
    std::string file, bytes;
    HRESULT result;
    GUID winner;  // the key's class, zero for none
  };
  const Case cases[] = {
      {"a WAV file by its type", "sound.xyz", wav, S_OK, kBasicWavReader},
      {"accepted by the extension's class", "a.tst", "TST1 and more", S_OK, kBasicTstReader},
      {"accepted by any class", "a.xyz", "TSX1 and more", S_OK, kBasicTsxReader},
      {"possible, then accepted", "a.ts2", "BUSY and more", WUFIO_S_PASSED_OVER, kBasicTsxReader},
      {"only possible", "a.tst", "BUSY and more", WUFIO_E_NOT_NOW, kBasicTstReader},
      {"nothing", "a.xyz", "NONE and more", WUFIO_E_NOT_FOUND, GUID{}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LONG key = 99;
    EXPECT_EQ(Identify(c.file, c.bytes, &key), c.result);
    EXPECT_EQ(key, IsEqualGUID(c.winner, GUID{}) ? -1 : KeyOf(c.winner));
  }
}

TEST_F(IdentifyTest, TheWalkOfATypeStopsAtTheFirstOtherCode) {
  // An ASF file named ".wmv" is type 0x1004: rows 6 and 8 carry that code,
  // but row 7 (0x1005) ends the walk before row 8.
  const BYTE asf[16] = {0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                        0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
  std::string bytes(reinterpret_cast<const char*>(asf), 16);
  bytes += Le32(100) + Le32(0) + std::string(40, '\0');
  LONG key = 0;
  // Row 6's class could open it later; that ends the search.
  EXPECT_EQ(Identify("clip.wmv", bytes, &key), WUFIO_E_NOT_NOW);
  EXPECT_EQ(key, KeyOf(kRow6Reader));
  EXPECT_EQ(PluginCountsOf("fio_test_order/Row6")[kWuFioTestCalls], 1);
  EXPECT_EQ(PluginCountsOf("fio_test_order/Row8")[kWuFioTestCalls], 0);
}

TEST_F(IdentifyTest, ExtensionLookups) {
  struct Case {
    const char* name;
    const char16_t* ext;
    LONG from;
    HRESULT result;
    GUID found;
  };
  const Case cases[] = {
      {"with a dot, any case", u".TsT", 0, S_OK, kBasicTstReader},
      {"normalised entry", u"ts2", 0, S_OK, kBasicTstReader},
      {"WUAP and a digit reads W64", u"WUAP0", 0, S_OK, kBasicWavReader},
      {"WUAP alone does not", u"WUAP", 0, WUFIO_E_NOT_FOUND, GUID{}},
      {"start -1 counts as 0", u"tst", -1, S_OK, kBasicTstReader},
      {"no claimant", u"xyz", 0, WUFIO_E_NOT_FOUND, GUID{}},
      {"a cut entry does not claim", u"x", 0, WUFIO_E_NOT_FOUND, GUID{}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    IWuReadFileClass* cls = nullptr;
    LONG key = c.from;
    EXPECT_EQ(app_->FindReaderClassByExtension(&cls, c.ext, &key), c.result);
    GUID id = {};
    if (cls) {
      cls->GetClassId(&id);
      cls->Release();
      EXPECT_EQ(key, KeyOf(c.found));
    }
    EXPECT_TRUE(IsEqualGUID(id, c.found));
  }
  // key + 1 finds the next claimant of "ts2", then none.
  IWuReadFileClass* cls = nullptr;
  LONG key = 0;
  ASSERT_EQ(app_->FindReaderClassByExtension(&cls, u"ts2", &key), S_OK);
  cls->Release();
  key += 1;
  ASSERT_EQ(app_->FindReaderClassByExtension(&cls, u"ts2", &key), S_OK);
  EXPECT_EQ(key, KeyOf(kBasicTsxReader));
  cls->Release();
  key += 1;
  EXPECT_EQ(app_->FindReaderClassByExtension(&cls, u"ts2", &key), WUFIO_E_NOT_FOUND);
  // Argument errors.
  key = 0;
  EXPECT_EQ(app_->FindReaderClassByExtension(&cls, nullptr, &key), WUFIO_E_NOT_FOUND);
  key = -2;
  EXPECT_EQ(app_->FindReaderClassByExtension(&cls, u"tst", &key), E_INVALIDARG);
  EXPECT_EQ(app_->FindReaderClassByExtension(&cls, u"tst", nullptr), E_INVALIDARG);
  // Renderers.
  IWuRenderFileClass* renderer = nullptr;
  key = 0;
  ASSERT_EQ(app_->FindRendererClassByExtension(&renderer, u"TSX", &key), S_OK);
  GUID id = {};
  renderer->GetClassId(&id);
  EXPECT_TRUE(IsEqualGUID(id, kBasicTsxRenderer));
  renderer->Release();
  key = 0;
  EXPECT_EQ(app_->FindRendererClassByExtension(&renderer, u"WUAP0", &key), WUFIO_E_NOT_FOUND);
  // By id and by key.
  EXPECT_EQ(app_->GetRendererClassById(&renderer, kBasicTsxRenderer), S_OK);
  renderer->Release();
  EXPECT_EQ(app_->GetRendererClassById(&renderer, GUID{}), WUFIO_E_NOT_FOUND);
  EXPECT_EQ(app_->GetRendererClassByKey(&renderer, 1), E_NOINTERFACE);
  EXPECT_EQ(app_->GetReaderClassByKey(&cls, -1), E_NOINTERFACE);
}

TEST_F(IdentifyTest, LastUsedReader) {
  IWuReadFileClass* cls = nullptr;
  EXPECT_EQ(app_->GetLastUsedReaderClass(&cls), E_NOINTERFACE);
  ASSERT_EQ(app_->GetReaderClassById(&cls, kBasicTsxReader), S_OK);
  EXPECT_EQ(app_->NoteReaderClassUsed(cls), S_OK);
  cls->Release();
  ASSERT_EQ(app_->GetLastUsedReaderClass(&cls), S_OK);
  GUID id = {};
  cls->GetClassId(&id);
  EXPECT_TRUE(IsEqualGUID(id, kBasicTsxReader));
  cls->Release();
}

// Ends the test program when the scope is not left within `seconds`: a
// search that runs forever fails the run instead of hanging it.
class Deadline {
 public:
  Deadline(const char* what, int seconds)
      : thread_([this, what, seconds] {
          std::unique_lock<std::mutex> lock(mutex_);
          if (!left_.wait_for(lock, std::chrono::seconds(seconds), [this] { return done_; })) {
            std::fprintf(stderr, "%s: did not end within %d s\n", what, seconds);
            std::fflush(stderr);
            std::_Exit(1);
          }
        }) {}
  ~Deadline() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      done_ = true;
    }
    left_.notify_all();
    thread_.join();
  }

 private:
  std::mutex mutex_;
  std::condition_variable left_;
  bool done_ = false;
  std::thread thread_;  // last: starts once the rest is made
};

// Classes that answer GetKey with something other than their place in the
// list: one answers -1, one the place before its own.
class MisreportedKeyTest : public IdentifyTest {
 protected:
  const char* OtherPlugin() const override { return "fio_test_keys"; }
  // The place of a class in the reader (or renderer) list, -1 for none.
  LONG PlaceOf(const GUID& id, bool reader) {
    LONG count = reader ? app_->GetReaderCount() : app_->GetRendererCount();
    for (LONG k = 0; k < count; ++k) {
      GUID got = {};
      if (reader) {
        IWuReadFileClass* cls = nullptr;
        if (app_->GetReaderClassByKey(&cls, k) != S_OK) continue;
        cls->GetClassId(&got);
        cls->Release();
      } else {
        IWuRenderFileClass* cls = nullptr;
        if (app_->GetRendererClassByKey(&cls, k) != S_OK) continue;
        cls->GetClassId(&got);
        cls->Release();
      }
      if (IsEqualGUID(got, id)) return k;
    }
    return -1;
  }
};

struct Misreporter {
  const char* name;
  const char* ext;  // the extension only it claims
  const char* tag;  // its counter
  GUID reader, renderer;
};

const Misreporter kMisreporters[] = {
    {"a class answering -1", "kym", "fio_test_keys/Minus", kKeysMinusReader, kKeysMinusRenderer},
    {"a class answering a lower key", "kyl", "fio_test_keys/Lower", kKeysLowerReader,
     kKeysLowerRenderer},
};

TEST_F(MisreportedKeyTest, ExtensionLookupsContinueAfterThePlaceFound) {
  for (const Misreporter& c : kMisreporters) {
    SCOPED_TRACE(c.name);
    const std::u16string ext = U16(c.ext);
    for (bool reader : {true, false}) {
      SCOPED_TRACE(reader ? "readers" : "renderers");
      const LONG place = PlaceOf(reader ? c.reader : c.renderer, reader);
      ASSERT_GT(place, 0);
      // Continuing from each answer + 1 finds the one claimant once, at
      // its place (bounded: a lookup that went back would find it again).
      std::vector<LONG> found;
      LONG key = 0;
      for (int round = 0; round < 4; ++round) {
        HRESULT hr;
        if (reader) {
          IWuReadFileClass* cls = nullptr;
          hr = app_->FindReaderClassByExtension(&cls, ext.c_str(), &key);
          if (cls) cls->Release();
        } else {
          IWuRenderFileClass* cls = nullptr;
          hr = app_->FindRendererClassByExtension(&cls, ext.c_str(), &key);
          if (cls) cls->Release();
        }
        if (hr != S_OK) break;
        found.push_back(key);
        key += 1;
      }
      EXPECT_EQ(found, std::vector<LONG>{place});
    }
  }
}

TEST_F(MisreportedKeyTest, SearchesEndAndAskTheClaimantOnce) {
  for (const Misreporter& c : kMisreporters) {
    const LONG place = PlaceOf(c.reader, true);
    ASSERT_GT(place, 0);
    for (bool accepts : {true, false}) {
      SCOPED_TRACE(std::string(c.name) + (accepts ? ", accepting" : ", refusing"));
      const std::string name = std::string("a.") + c.ext;
      const std::string path = dir_ + "/" + name;
      auto asks = [&] { return PluginCountsOf(c.tag)[kWuFioTestCalls]; };
      Deadline deadline(c.name, 20);
      LONG before = asks();
      LONG key = 99;
      // Identification by content, then by name alone.
      EXPECT_EQ(Identify(name, accepts ? "KEY1 and more" : "NONE and more", &key),
                accepts ? S_OK : WUFIO_E_NOT_FOUND);
      EXPECT_EQ(key, accepts ? place : -1);
      EXPECT_EQ(asks(), before + 1);
      before = asks();
      key = 99;
      EXPECT_EQ(app_->FindReaderByFileName(U16(path).c_str(), &key),
                accepts ? S_OK : WUFIO_E_NOT_FOUND);
      EXPECT_EQ(key, accepts ? place : -1);
      EXPECT_EQ(asks(), before + 1);
      // Opening (which falls back to the name when nothing accepts) and
      // telling a reader of the file.
      before = asks();
      IWuReadFile* file = nullptr;
      EXPECT_EQ(app_->OpenFile(U16(path).c_str(), &file, 0), accepts ? S_OK : WUFIO_E_NOT_FOUND);
      if (file) {
        IWuReadFileClass* cls = nullptr;
        GUID id = {};
        if (file->GetClass(&cls) == S_OK) {
          cls->GetClassId(&id);
          cls->Release();
        }
        file->Release();
        EXPECT_TRUE(IsEqualGUID(id, c.reader));
      }
      EXPECT_EQ(asks(), before + (accepts ? 1 : 2));
      before = asks();
      EXPECT_EQ(app_->NotifyReaderOfFile(U16(path).c_str(), 0), S_FALSE);
      EXPECT_EQ(asks(), before + 1);
    }
  }
}

}  // namespace
}  // namespace fio_test
