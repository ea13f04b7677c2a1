// The plug-in interfaces across processes: fake plug-in classes served by a
// child process, called through the generated proxies, a representative
// operation of each kind of argument; operations marked as not crossing;
// the two handle exports between processes.
#include "fileio/WuFioRemoteTables.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "fileio/WuFileIO.h"
#include "fileio/WuFioExports.h"
#include "platform/com/remote.h"
#include "platform/kernel/process.h"
#include "tests/common/TestUtil.h"
#include "tests/fileio/RemoteFakes.h"

namespace {

using namespace wu_remote_test;

// The serving child, ended when the fixture goes.
class RemoteTablesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WuFio_RegisterRemoteTables();
    std::u16string command = u"\"" + wutest::U16(WU_FIO_REMOTE_CHILD) + u"\"";
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    ASSERT_TRUE(CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                               nullptr, &si, &child_));
    for (int i = 0; i < 1000 && !reader_; ++i) {
      if (FAILED(CoCreateInstance(CLSID_RemoteFakeReader, nullptr, CLSCTX_LOCAL_SERVER,
                                  IID_IWuReadFileClass, reinterpret_cast<void**>(&reader_))))
        Sleep(10);
    }
    ASSERT_TRUE(reader_);
    ASSERT_EQ(CoCreateInstance(CLSID_RemoteFakeRenderer, nullptr, CLSCTX_LOCAL_SERVER,
                               IID_IWuRenderFileClass, reinterpret_cast<void**>(&renderer_)),
              S_OK);
  }
  void TearDown() override {
    if (renderer_) renderer_->Release();
    if (reader_) reader_->Release();
    if (child_.hProcess) {
      TerminateProcess(child_.hProcess, 1);
      WaitForSingleObject(child_.hProcess, INFINITE);
      CloseHandle(child_.hProcess);
      CloseHandle(child_.hThread);
    }
  }
  // A file of the state root holding `bytes`, open for reading.
  HANDLE OpenTestFile(const std::string& bytes) {
    std::string path = wutest::MakeTempDir("remote") + "/file.wav";
    wutest::WriteBytes(path, bytes);
    return CreateFileW(reinterpret_cast<LPCWSTR>(wutest::U16(path).c_str()), GENERIC_READ,
                       FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  }

  // Audio stream `index` of a file the fake reader opened, through its
  // proxy; *twin, when asked, another proxy of the same stream.
  IWuReadAudioStream* OpenAudio(LONG index, IWuReadAudioStream** twin = nullptr) {
    HANDLE file = OpenTestFile("RIFFdata");
    IWuReadFile* opened = nullptr;
    IWuReadStream* stream = nullptr;
    IWuReadAudioStream* audio = nullptr;
    if (reader_->Open(&opened, file, GetCurrentProcessId(), u"file.wav", 0) == S_OK) {
      if (opened->OpenStream(&stream, index, WUFILESTREAMTYPE_AUDIO, 0, nullptr) == S_OK) {
        stream->QueryInterface(IID_IWuReadAudioStream, reinterpret_cast<void**>(&audio));
        if (twin) stream->QueryInterface(IID_IWuReadAudioStream, reinterpret_cast<void**>(twin));
        stream->Release();
      }
      opened->Release();
    }
    CloseHandle(file);
    return audio;
  }

  PROCESS_INFORMATION child_ = {};
  IWuReadFileClass* reader_ = nullptr;
  IWuRenderFileClass* renderer_ = nullptr;
};

TEST_F(RemoteTablesTest, ReaderOperationsCrossByKind) {
  IWuReadFileClass* r = reader_;
  EXPECT_EQ(platform::ComProxyProcessId(r), child_.dwProcessId);
  // Values, and numbers whose caller's preset crosses too.
  EXPECT_EQ(r->SetIndex(5), S_OK);
  LONG key = 100;
  EXPECT_EQ(r->GetKey(&key), S_OK);
  EXPECT_EQ(key, 105);
  GUID id = {};
  EXPECT_EQ(r->GetClassId(&id), S_OK);
  EXPECT_EQ(id, kFakeReaderId);
  // Texts in; an element array in and BSTRs out.
  EXPECT_EQ(r->CheckPath(u"a.wav"), S_OK);
  EXPECT_EQ(r->CheckPath(u"a.txt"), S_FALSE);
  const DWORD ids[2] = {3, 4};
  BSTR texts[2] = {};
  ASSERT_EQ(r->GetStrings(ids, 2, texts), S_OK);
  EXPECT_EQ(std::u16string(texts[0]), u"s3");
  EXPECT_EQ(std::u16string(texts[1]), u"s4");
  for (BSTR t : texts) SysFreeString(t);
  HRESULT status = E_FAIL;
  BSTR state = nullptr;
  ASSERT_EQ(r->GetState(&status, &state), S_OK);
  EXPECT_EQ(status, S_FALSE);
  EXPECT_EQ(std::u16string(state), u"ready");
  SysFreeString(state);
  EXPECT_EQ(r->GetState(&status, nullptr), S_OK);  // the BSTR made there is freed there

  // A handle the callee pulls while the call lasts, and an interface out.
  HANDLE file = OpenTestFile("RIFFdata");
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  IWuReadFile* opened = nullptr;
  ASSERT_EQ(r->Open(&opened, file, GetCurrentProcessId(), u"file.wav", 0), S_OK);
  ASSERT_TRUE(opened);
  WCHAR name[260];
  ASSERT_EQ(opened->GetFileName(name), S_OK);
  EXPECT_EQ(std::u16string(name), u"RIFFdata");
  // Texts out, cut to the caller's room.
  WCHAR text[6];
  EXPECT_EQ(opened->GetFileText(text, 6, 1), S_OK);
  EXPECT_EQ(std::u16string(text), u"fake ");
  // A record sized by its own word, in and out.
  _WUFILESTREAMFORMATINFOv2 format = {};
  format.size = WUFILESTREAMFORMATINFO_SIZE;
  ASSERT_EQ(opened->GetStreamFormat(&format, 2, 2), S_OK);
  EXPECT_EQ(format.streamType, WUFILESTREAMTYPE_AUDIO);
  EXPECT_EQ(format.length, 1002);
  format.size = 8;  // less than the record: refused before it crosses
  EXPECT_EQ(opened->GetStreamFormat(&format, 2, 2), E_INVALIDARG);
  // A stream out (its reserved pointer crossing as null), a buffer out with
  // its count, and QueryInterface asked of the serving object.
  IWuReadStream* stream = nullptr;
  int reserved = 0;
  ASSERT_EQ(opened->OpenStream(&stream, 0, WUFILESTREAMTYPE_AUDIO, 0, &reserved), S_OK);
  BYTE bytes[8] = {};
  DWORD read = 0;
  ASSERT_EQ(stream->Read(bytes, 8, &read), S_OK);
  EXPECT_EQ(read, 4u);
  EXPECT_EQ(bytes[3], 3);
  IWuReadAudioStream* audio = nullptr;
  ASSERT_EQ(stream->QueryInterface(IID_IWuReadAudioStream, reinterpret_cast<void**>(&audio)),
            S_OK);
  DWORD type = 0;
  EXPECT_EQ(audio->GetStreamType(&type), S_OK);
  EXPECT_EQ(type, WUFILESTREAMTYPE_AUDIO);
  void* video = nullptr;
  EXPECT_EQ(stream->QueryInterface(IID_IWuReadVideoStream, &video), E_NOINTERFACE);
  audio->Release();
  stream->Release();
  // An operation without arguments crosses.
  EXPECT_EQ(opened->Close(), S_OK);
  opened->Release();

  // A handle that is no argument of the call is not given.
  HANDLE copy = nullptr;
  EXPECT_EQ(DuplicateHandleFromProcessId(static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(file)),
                                         child_.dwProcessId, &copy),
            E_ACCESSDENIED);
  CloseHandle(file);
}

TEST_F(RemoteTablesTest, RendererOperationsCrossByKind) {
  IWuRenderFileClass* r = renderer_;
  tagWUTEMPLATExV2* record = NewTemplate(600, 9);
  EXPECT_EQ(r->CheckTemplate(record), S_OK);
  record->totalSize = 100;  // states less than a template has
  EXPECT_EQ(r->CheckTemplate(record), E_INVALIDARG);
  record->totalSize = 600;
  // A new record out; the caller frees it.
  tagWUTEMPLATExV2* preset = nullptr;
  ASSERT_EQ(r->GetPreset(&preset, 0), S_OK);
  ASSERT_TRUE(preset);
  EXPECT_EQ(preset->totalSize, 560u);
  EXPECT_EQ(preset->id, 70);
  std::free(preset);
  EXPECT_EQ(r->GetPreset(&preset, 1), E_INVALIDARG);
  EXPECT_EQ(preset, nullptr);
  // The caller's record changed in place, then replaced (the old one freed).
  tagWUTEMPLATExV2* same = record;
  ASSERT_EQ(r->TemplateOperation(&record, nullptr, nullptr, 3), S_OK);
  EXPECT_EQ(record, same);
  EXPECT_EQ(record->id, 12);
  record->id = 1;
  tagWUTEMPLATExV2* other = NewTemplate(540, 44);
  ASSERT_EQ(r->TemplateOperation(&record, other, nullptr, 0), S_OK);
  EXPECT_EQ(record->totalSize, 580u);
  EXPECT_EQ(record->id, 44);
  std::free(other);
  // Bytes in, and out no further than the caller's buffer.
  const BYTE settings[6] = {1, 2, 3, 4, 5, 6};
  EXPECT_EQ(r->SetSettings(settings, 6), S_OK);
  BYTE back[8];
  std::memset(back, 0xEE, sizeof back);
  DWORD got = 0;
  EXPECT_EQ(r->GetSettings(back, 4, &got), S_OK);
  EXPECT_EQ(got, 4u);  // the callee said 6
  EXPECT_EQ(back[3], 4);
  EXPECT_EQ(back[4], 0xEE);
  // Windows cross as null.
  EXPECT_EQ(r->PreparePages(reinterpret_cast<HWND>(0x10)), S_OK);
  // An interface reached through QueryInterface, with a value return.
  IWuFioTemplateValidate* validate = nullptr;
  ASSERT_EQ(r->QueryInterface(IID_IWuFioTemplateValidate, reinterpret_cast<void**>(&validate)),
            S_OK);
  EXPECT_TRUE(validate->AppliesTo(WUFIO_TEMPLATEVALIDATE_RENDER));
  EXPECT_FALSE(validate->AppliesTo(WUFIO_TEMPLATEVALIDATE_SAVE));
  int out1 = 1, out2 = 0;
  record->id = 5;
  EXPECT_EQ(validate->Validate(reinterpret_cast<HWND>(0x10), record,
                               WUFIO_TEMPLATEVALIDATE_RENDER, 10, 20, &out1, &out2),
            S_OK);
  EXPECT_EQ(out1, 11);
  EXPECT_EQ(out2, 20);
  validate->Release();
  std::free(record);

  // Operations marked as not crossing answer E_NOTIMPL, the callee untouched.
  void* page = nullptr;
  EXPECT_EQ(r->GetPage(0, IID_IUnknown, &page), E_NOTIMPL);
  EXPECT_EQ(r->Initialize(nullptr), E_NOTIMPL);
  EXPECT_EQ(reader_->Initialize(nullptr), E_NOTIMPL);
}

TEST_F(RemoteTablesTest, SamplesCrossInFramesOfTheStreamsOwnType) {
  struct Case {
    const char* what;
    LONG stream;     // of FakeFile::OpenStream
    DWORD set;       // a sample type set through the proxy after a first read (0: none)
    LONGLONG first;  // the read
    LONG frames;
  } cases[] = {
      {"16-bit stereo", 0, 0, 3, 5},
      {"32-bit float mono", 1, 0, 10, 7},
      {"no frames", 0, 0, 4, 0},
      {"16-bit stereo set to 32-bit float, learned again", 0, WUSAMPLE_FLOAT32, 2, 6},
      {"32-bit float mono set to 8-bit, learned again", 1, WUSAMPLE_PCM8, 1, 9},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    IWuReadAudioStream* audio = OpenAudio(c.stream);
    ASSERT_TRUE(audio);
    FakeAudio* local = NewFakeAudio(c.stream);
    BYTE one[8];
    LONG got = -1, expected_got = -1;
    ASSERT_EQ(audio->ReadSamples(one, 0, 1, &got), S_OK);  // the proxy learns the frame size
    if (c.set) {
      ASSERT_EQ(audio->SetSampleType(c.set), S_OK);
      ASSERT_EQ(local->SetSampleType(c.set), S_OK);
    }
    // The read across equals the local one, and nothing past its frames.
    std::vector<BYTE> remote(128, 0xEE), expected(128, 0xEE);
    EXPECT_EQ(audio->ReadSamples(remote.data(), c.first, c.frames, &got), S_OK);
    local->ReadSamples(expected.data(), c.first, c.frames, &expected_got);
    EXPECT_EQ(got, expected_got);
    EXPECT_EQ(remote, expected);
    local->Release();
    audio->Release();
  }
}

TEST_F(RemoteTablesTest, SampleReadsThatCannotCrossAreRefused) {
  const std::vector<BYTE> untouched(64, 0xEE);
  std::vector<BYTE> buffer = untouched;
  LONG got = -1;
  // A stream that says it gave more frames than asked: nothing crosses.
  IWuReadAudioStream* liar = OpenAudio(2);
  ASSERT_TRUE(liar);
  EXPECT_EQ(liar->ReadSamples(buffer.data(), 0, 4, &got), E_UNEXPECTED);
  EXPECT_EQ(got, 0);
  EXPECT_EQ(buffer, untouched);
  liar->Release();

  // Frames whose bytes would pass the bound of a message, refused by the
  // proxy (16-bit stereo: 4 bytes a frame) before they cross...
  IWuReadAudioStream* twin = nullptr;
  IWuReadAudioStream* audio = OpenAudio(0, &twin);
  ASSERT_TRUE(audio && twin);
  EXPECT_EQ(audio->ReadSamples(buffer.data(), 0, 16 * 1024 * 1024 + 1, &got), E_INVALIDARG);
  EXPECT_EQ(audio->ReadSamples(buffer.data(), 0, -1, &got), E_INVALIDARG);
  // ...and by the serving side, by the stream's own frame size: set to
  // 64-bit float stereo through the other proxy, the 20 MiB this proxy
  // allows are 80 MiB there.
  ASSERT_EQ(twin->SetSampleType(WUSAMPLE_FLOAT64), S_OK);
  std::vector<BYTE> big(20u * 1024 * 1024, 0xEE);
  EXPECT_EQ(audio->ReadSamples(big.data(), 0, 5 * 1024 * 1024, &got), E_INVALIDARG);
  EXPECT_EQ(big[0], 0xEE);
  // An answer of frames that disagree with the size this proxy knows is
  // refused whole, and the connection ends.
  EXPECT_EQ(audio->ReadSamples(buffer.data(), 0, 2, &got), RPC_E_DISCONNECTED);
  EXPECT_EQ(buffer, untouched);
  EXPECT_EQ(twin->GetChannelCount(&got), RPC_E_DISCONNECTED);
  twin->Release();
  audio->Release();
}

TEST_F(RemoteTablesTest, HandlesCopiedToAConnectedProcessOnly) {
  HANDLE file = OpenTestFile("0123");
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  HANDLE copy = nullptr;
  ASSERT_EQ(DuplicateHandleToProcessId(file, child_.dwProcessId, &copy), S_OK);
  EXPECT_NE(copy, nullptr);
  EXPECT_EQ(platform::ComCopiedHandleCount(), 0u);  // the copy is the child's
  // A process without a connection to this one gets nothing.
  PROCESS_INFORMATION other = {};
  std::u16string command = u"\"" + wutest::U16(WU_FIO_REMOTE_CHILD) + u"\" idle";
  STARTUPINFOW si = {};
  si.cb = sizeof si;
  ASSERT_TRUE(CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                             nullptr, &si, &other));
  EXPECT_EQ(DuplicateHandleToProcessId(file, other.dwProcessId, &copy), E_ACCESSDENIED);
  EXPECT_EQ(copy, nullptr);
  TerminateProcess(other.hProcess, 1);
  WaitForSingleObject(other.hProcess, INFINITE);
  CloseHandle(other.hProcess);
  CloseHandle(other.hThread);
  CloseHandle(file);
}


// A bare template record: empty texts, or with `textLength` overrunning it.
tagWUTEMPLATExV2* BareRecord(DWORD textLength = 2) {
  auto* record = static_cast<tagWUTEMPLATExV2*>(std::calloc(1, WUTEMPLATE_MIN_SIZE));
  record->totalSize = WUTEMPLATE_MIN_SIZE;
  std::memcpy(reinterpret_cast<BYTE*>(record) + 528, &textLength, 4);
  return record;
}

DWORD WordOf(const tagWUTEMPLATExV2* record, size_t offset) {
  DWORD word = 0;
  std::memcpy(&word, reinterpret_cast<const BYTE*>(record) + offset, 4);
  return word;
}

// The surrogate's template editor: the class crosses as its id, the
// templates stream as its bytes from its position on (a stream of the
// serving side), the settings as 28 bytes, the template records checked by
// the side that receives them.
TEST_F(RemoteTablesTest, SurrogateTemplateEditorCrossesItsOwnWay) {
  IWuFileIOSurrogate* surrogate = nullptr;
  ASSERT_EQ(CoCreateInstance(CLSID_RemoteFakeSurrogate, nullptr, CLSCTX_LOCAL_SERVER,
                             IID_IWuFileIOSurrogate, reinterpret_cast<void**>(&surrogate)),
            S_OK);
  IStream* stream = nullptr;
  ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, &stream), S_OK);
  ASSERT_EQ(stream->Write("0123456789", 10, nullptr), S_OK);
  LARGE_INTEGER at = {};
  at.QuadPart = 4;
  ASSERT_EQ(stream->Seek(at, STREAM_SEEK_SET, nullptr), S_OK);
  const DWORD settings[7] = {0x5E77, 1, 2, 3, 4, 5, 6};
  tagWUTEMPLATExV2* good = BareRecord();
  tagWUTEMPLATExV2* bad = BareRecord(100);
  const HRESULT kBadTemplate = static_cast<HRESULT>(0x8004E00Bu);
  struct Case {
    const char* name;
    LONG mode;               // the fake's page word
    IStream* templates;
    const void* settings;
    tagWUTEMPLATExV2* in;
    HRESULT hr;
    DWORD inSize = 0, streamBytes = 0, settingsWord = 0;  // what the fake saw (with S_OK)
  };
  const Case cases[] = {
      {"everything", 0, stream, settings, good, S_OK, WUTEMPLATE_MIN_SIZE, 6, 0x5E77},
      {"nothing", 0, nullptr, nullptr, nullptr, S_OK, 0, 0xFFFFFFFF, 0},
      {"a bad record back", 1, nullptr, nullptr, nullptr, kBadTemplate, 0, 0, 0},
      {"a bad record in", 0, nullptr, nullptr, bad, kBadTemplate, 0, 0, 0},
      {"a failure", 2, nullptr, nullptr, nullptr, E_ABORT, 0, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    tagWUTEMPLATExV2* out = reinterpret_cast<tagWUTEMPLATExV2*>(1);
    DWORD flags = 0x8;
    EXPECT_EQ(surrogate->EditTemplate(reinterpret_cast<HWND>(0x10), nullptr, c.mode, c.settings,
                                      &flags, c.templates, c.in, &out),
              c.hr);
    if (c.hr != S_OK) {
      EXPECT_EQ(out, nullptr);
      continue;
    }
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(WordOf(out, 8), c.inSize);
    EXPECT_EQ(WordOf(out, 12), c.streamBytes);
    EXPECT_EQ(WordOf(out, 16), c.settingsWord);
    EXPECT_EQ(WordOf(out, 20), 1u) << "an owner window or a class pointer crossed";
    EXPECT_EQ(flags, 0x18u);
    std::free(out);
  }
  std::free(good);
  std::free(bad);
  stream->Release();
  surrogate->Release();
}

}  // namespace
