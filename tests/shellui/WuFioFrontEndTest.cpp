// The file-I/O front-end helpers against a fake manager and fake classes.
#include "shellui/WuFioFrontEnd.h"

#include <gtest/gtest.h>

#include <string>

#include "foundation/WuKernelState.h"
#include "foundation/WuLang.h"
#include "platform/kernel/handles.h"
#include "platform/user/frontend.h"
#include "tests/common/TestUtil.h"
#include "tests/shellui/FioClassFakes.h"

namespace {

using wu_test::FakeReaderClass;
using wu_test::FakeRenderClass;
using wu_test::FakeValidator;
using wu_test::FioFakeManager;

constexpr HRESULT kNotInitialised = static_cast<HRESULT>(0x8004E047);
constexpr HRESULT kRefused = static_cast<HRESULT>(0x8004E033);
constexpr HRESULT kNotFound = static_cast<HRESULT>(0x80070490);

// ---- Template validation ---------------------------------------------------------------------

struct ValidateCall {
  int out1 = -5, out2 = -5;
  HRESULT Run(IWuFileIOMgrForApp* manager, DWORD key, BOOL renderer,
              WU_FIO_VALIDATETEMPLATE_CONTEXT context,
              WUFIO_TEMPLATEVALIDATE kind = WUFIO_TEMPLATEVALIDATE_RENDER) {
    return WuFioValidateTemplate(reinterpret_cast<HWND>(0x1234), manager, key, renderer,
                                 reinterpret_cast<const tagWUTEMPLATExV2*>(0x5678), kind, context,
                                 &out1, &out2, 11, 22);
  }
};

TEST(FioValidateTemplate, NothingToAskAnswersFalseWithDefaults) {
  FioFakeManager manager;
  FakeReaderClass plain;  // offers no validator
  FakeReaderClass picky;
  FakeValidator validator;
  validator.applies = FALSE;
  picky.s.validator = &validator;
  manager.readers = {{1, &plain}, {2, &picky}};

  const struct {
    IWuFileIOMgrForApp* manager;
    DWORD key;
    BOOL renderer;
    const char* what;
  } cases[] = {{nullptr, 1, FALSE, "no manager"},
               {&manager, 9, FALSE, "no class"},
               {&manager, 1, TRUE, "no renderer of that key"},
               {&manager, 1, FALSE, "no validator"},
               {&manager, 2, FALSE, "kind not handled"}};
  for (const auto& c : cases) {
    ValidateCall call;
    EXPECT_EQ(call.Run(c.manager, c.key, c.renderer, WU_FIO_VALIDATETEMPLATE_IF_APPLIES), S_FALSE) << c.what;
    EXPECT_EQ(call.out1, 1) << c.what;
    EXPECT_EQ(call.out2, 0) << c.what;
  }
  EXPECT_EQ(validator.appliesCalls, 1);
  EXPECT_EQ(validator.lastKind, WUFIO_TEMPLATEVALIDATE_RENDER);
  EXPECT_EQ(validator.validateCalls, 0);
  // Every reference taken was given back.
  EXPECT_EQ(plain.s.refs, 1);
  EXPECT_EQ(picky.s.refs, 1);
  EXPECT_EQ(validator.refs, 1);
}

TEST(FioValidateTemplate, ValidatorsAnswerPassesThrough) {
  FioFakeManager manager;
  FakeRenderClass render;
  FakeValidator validator;
  validator.applies = FALSE;  // context 0 does not ask
  validator.result = E_ABORT;
  render.s.validator = &validator;
  manager.renderers = {{4, &render}};
  ValidateCall call;
  EXPECT_EQ(call.Run(&manager, 4, TRUE, WU_FIO_VALIDATETEMPLATE_ALWAYS, WUFIO_TEMPLATEVALIDATE_SAVE), E_ABORT);
  EXPECT_EQ(validator.appliesCalls, 0);
  EXPECT_EQ(validator.validateCalls, 1);
  EXPECT_EQ(validator.lastParent, reinterpret_cast<HWND>(0x1234));
  EXPECT_EQ(validator.lastRecord, reinterpret_cast<const tagWUTEMPLATExV2*>(0x5678));
  EXPECT_EQ(validator.lastKind, WUFIO_TEMPLATEVALIDATE_SAVE);
  EXPECT_EQ(validator.lastA, 11);
  EXPECT_EQ(validator.lastB, 22);
  EXPECT_EQ(validator.seen1, 1);  // preset before the call
  EXPECT_EQ(validator.seen2, 0);
  EXPECT_EQ(call.out1, 7);
  EXPECT_EQ(call.out2, 9);
  EXPECT_EQ(render.s.refs, 1);
  EXPECT_EQ(validator.refs, 1);

  // Context 1 with a handled kind validates as well.
  validator.applies = TRUE;
  validator.result = S_OK;
  EXPECT_EQ(call.Run(&manager, 4, TRUE, WU_FIO_VALIDATETEMPLATE_IF_APPLIES), S_OK);
  EXPECT_EQ(validator.validateCalls, 2);
}

TEST(FioValidateTemplate, MissingOutPointersAreRefused) {
  FioFakeManager manager;
  int value = -5;
  EXPECT_EQ(WuFioValidateTemplate(nullptr, &manager, 0, FALSE, nullptr, WUFIO_TEMPLATEVALIDATE_GENERAL,
                                  WU_FIO_VALIDATETEMPLATE_ALWAYS, nullptr, &value, 0, 0),
            E_INVALIDARG);
  EXPECT_EQ(WuFioValidateTemplate(nullptr, &manager, 0, FALSE, nullptr, WUFIO_TEMPLATEVALIDATE_GENERAL,
                                  WU_FIO_VALIDATETEMPLATE_ALWAYS, &value, nullptr, 0, 0),
            E_INVALIDARG);
  EXPECT_EQ(value, -5);
}

// ---- Locked and uninitialised readers ---------------------------------------------------------

class FioReaderLookupTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string folder = wutest::MakeTempDir("fio-front");
    wutest::WriteBytes(folder + "/take.xyz", "RIFF0000");
    path_ = wutest::U16(folder + "/take.xyz");
    missing_ = wutest::U16(folder + "/none.xyz");
    manager_.readers = {{3, &reader_}};
  }
  FioFakeManager manager_;
  FakeReaderClass reader_;
  std::u16string path_, missing_;
};

TEST_F(FioReaderLookupTest, LockedReaderComesFromTheManager) {
  manager_.locked = &reader_;
  manager_.lockedResult = S_OK;
  IWuReadFileClass* out = reinterpret_cast<IWuReadFileClass*>(0x1);
  EXPECT_EQ(WuFioFindLockedReader(path_.c_str(), &manager_, &out), S_OK);
  EXPECT_EQ(out, &reader_);
  EXPECT_EQ(manager_.lastPath, path_);
  out->Release();

  out = reinterpret_cast<IWuReadFileClass*>(0x1);
  EXPECT_EQ(WuFioFindLockedReader(path_.c_str(), nullptr, &out), E_INVALIDARG);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(WuFioFindLockedReader(path_.c_str(), &manager_, nullptr), E_INVALIDARG);
  EXPECT_EQ(manager_.lockedCalls, 1);
  EXPECT_EQ(reader_.s.refs, 1);
}

TEST_F(FioReaderLookupTest, UninitialisedReaderOnlyWhenTheManagerSaysSo) {
  const struct {
    HRESULT identify;
    HRESULT result;
    bool found;
  } cases[] = {{kNotInitialised, S_OK, true}, {S_OK, S_FALSE, false}, {kRefused, S_FALSE, false},
               {E_FAIL, S_FALSE, false}};
  for (const auto& c : cases) {
    manager_.identifyResult = c.identify;
    manager_.identifyKey = 3;
    IWuReadFileClass* out = reinterpret_cast<IWuReadFileClass*>(0x1);
    EXPECT_EQ(WuFioFindUninitializedReader(path_.c_str(), &manager_, &out), c.result) << std::hex << c.identify;
    EXPECT_EQ(out, c.found ? &reader_ : nullptr);
    if (out) out->Release();
    // The file was opened for the question and closed before the answer.
    EXPECT_NE(manager_.identifiedFile, nullptr);
    EXPECT_FALSE(CloseHandle(manager_.identifiedFile));
    manager_.identifiedFile = nullptr;
  }
  EXPECT_EQ(reader_.s.refs, 1);
}

TEST_F(FioReaderLookupTest, UninitialisedReaderArgumentsAndMissingFile) {
  IWuReadFileClass* out = reinterpret_cast<IWuReadFileClass*>(0x1);
  EXPECT_EQ(WuFioFindUninitializedReader(nullptr, &manager_, &out), E_INVALIDARG);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(WuFioFindUninitializedReader(path_.c_str(), nullptr, &out), E_INVALIDARG);
  EXPECT_EQ(WuFioFindUninitializedReader(path_.c_str(), &manager_, nullptr), E_INVALIDARG);
  out = reinterpret_cast<IWuReadFileClass*>(0x1);
  EXPECT_EQ(WuFioFindUninitializedReader(missing_.c_str(), &manager_, &out), S_FALSE);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(manager_.identifyCalls, 0);
}

// ---- The install wizard -----------------------------------------------------------------------

class FioWizardTest : public FioReaderLookupTest {
 protected:
  void SetUp() override {
    FioReaderLookupTest::SetUp();
    ASSERT_EQ(WuLang_Open(&lang_, GetModuleHandleW(nullptr), 0x409, 0), S_OK);
    WuKernel_SetLangHandle(lang_);
    platform::SetFrontEnd(&script_);
    // A reader whose plug-in failed and explains nothing: the disclosure is
    // the error-context box.
    broken_.s.status = kNotInitialised;
    manager_.readers[5] = &broken_;
  }
  void TearDown() override {
    platform::SetFrontEnd(nullptr);
    WuKernel_SetLangHandle(nullptr);
    WuLang_Close(lang_);
    EXPECT_TRUE(script_.Done());
    for (const std::string& e : script_.errors()) ADD_FAILURE() << e;
    EXPECT_EQ(reader_.s.refs, 1);
    EXPECT_EQ(broken_.s.refs, 1);
  }
  size_t Boxes() { return script_.shown().size(); }

  FakeReaderClass broken_;
  platform::ScriptedFrontEnd script_;
  HWULANG lang_ = nullptr;
};

TEST_F(FioWizardTest, ByKey) {
  EXPECT_EQ(WuShowFioInstallWizard(nullptr, nullptr, 3, 0, FIOWIZ_CONTEXT_DEFAULT, 0), E_INVALIDARG);
  EXPECT_EQ(WuShowFioInstallWizard(nullptr, &manager_, 8, 0, FIOWIZ_CONTEXT_DEFAULT, 0), kNotFound);
  EXPECT_EQ(WuShowFioInstallWizard(nullptr, &manager_, 3, 0, FIOWIZ_CONTEXT_OPEN, 0), S_OK);
  EXPECT_EQ(Boxes(), 0u);
  script_.Answer(IDOK);
  EXPECT_EQ(WuShowFioInstallWizard(nullptr, &manager_, 5, 0, FIOWIZ_CONTEXT_RENDER, 7), S_OK);
  EXPECT_EQ(Boxes(), 1u);
  // The status alone first, then the disclosure with its explanation.
  EXPECT_EQ(broken_.s.stateCalls, 2);
  EXPECT_EQ(broken_.s.stateTextCalls, 1);
}

TEST_F(FioWizardTest, ByPathRefusedDataDoesNotTryTheExtension) {
  manager_.identifyResult = kRefused;
  manager_.extensionResult = S_OK;
  manager_.extensionKey = 5;
  EXPECT_EQ(WuShowFioInstallWizard(nullptr, &manager_, path_.c_str(), FIOWIZ_CONTEXT_DEFAULT, 0), S_FALSE);
  EXPECT_EQ(manager_.extensionCalls, 0);
  EXPECT_EQ(Boxes(), 0u);
}

TEST_F(FioWizardTest, ByPathFallsBackToTheExtensionsReader) {
  manager_.identifyResult = E_FAIL;
  manager_.extensionResult = S_OK;
  manager_.extensionKey = 5;
  script_.Answer(IDOK);
  EXPECT_EQ(WuShowFioInstallWizard(nullptr, &manager_, path_.c_str(), FIOWIZ_CONTEXT_OPEN, 0), S_OK);
  EXPECT_EQ(manager_.extensionCalls, 1);
  EXPECT_EQ(manager_.lastPath, path_);
  EXPECT_EQ(Boxes(), 1u);
  EXPECT_FALSE(CloseHandle(manager_.identifiedFile));  // closed already
}

TEST_F(FioWizardTest, ByPathUninitialisedReaderIsDisclosed) {
  manager_.identifyResult = kNotInitialised;
  manager_.identifyKey = 5;
  script_.Answer(IDOK);
  EXPECT_EQ(WuShowFioInstallWizard(nullptr, &manager_, path_.c_str(), FIOWIZ_CONTEXT_OPEN, 0), S_OK);
  EXPECT_EQ(manager_.extensionCalls, 0);
  EXPECT_EQ(Boxes(), 1u);
}

TEST_F(FioWizardTest, ByPathNothingFound) {
  manager_.identifyResult = E_FAIL;
  manager_.extensionResult = S_FALSE;  // not negative: the key (-1) is asked for and missing
  manager_.extensionKey = -1;
  EXPECT_EQ(WuShowFioInstallWizard(nullptr, &manager_, path_.c_str(), FIOWIZ_CONTEXT_OPEN, 0), kNotFound);
  manager_.extensionResult = E_FAIL;
  EXPECT_EQ(WuShowFioInstallWizard(nullptr, &manager_, path_.c_str(), FIOWIZ_CONTEXT_OPEN, 0), S_FALSE);
  EXPECT_EQ(WuShowFioInstallWizard(nullptr, &manager_, missing_.c_str(), FIOWIZ_CONTEXT_OPEN, 0), S_FALSE);
  EXPECT_EQ(WuShowFioInstallWizard(nullptr, nullptr, path_.c_str(), FIOWIZ_CONTEXT_OPEN, 0), S_FALSE);
  EXPECT_EQ(manager_.identifyCalls, 2);
  EXPECT_EQ(Boxes(), 0u);
}

}  // namespace
