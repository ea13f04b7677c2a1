// The progress objects' answer word between the user-interface thread and
// the worker, and the error box of the extraction worker.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "Sfx/ArchiveCodes.h"
#include "Sfx/CSfxExtractProgress.h"
#include "tests/Sfx/SfxWizardTestUtil.h"

namespace {

using namespace sfxtest;

// Exposes the private answer semaphore.
class OpenProgress : public CWuArchiveProgress {
 public:
  HANDLE Semaphore() const { return m_semaphore; }
};

// Each object has its own semaphore: an answer given to one never releases
// a wait of another (two packages running at once).
TEST(SfxProgressAnswer, ObjectsDoNotReleaseEachOther) {
  OpenProgress a, b;
  ASSERT_NE(a.Semaphore(), nullptr);
  ASSERT_NE(b.Semaphore(), nullptr);
  a.RequestCancel();
  b.RequestCancel();
  b.SetAnswer(0);
  EXPECT_EQ(WaitForSingleObject(a.Semaphore(), 0), static_cast<DWORD>(WAIT_TIMEOUT));
  EXPECT_EQ(a.State(), WUARC_ANSWER_PENDING);
  EXPECT_EQ(b.State(), 0);
  a.SetAnswer(WU_E_CANCELLED);
  EXPECT_EQ(a.WaitForAnswer(), WU_E_CANCELLED);
}

// The cancel request is kept apart from the answer word: a "continue" to
// the cancel question leaves an overwrite answer as it was, an abort wins
// over any answer, and an answer given after the worker's poll is taken at
// the next one.
TEST(SfxProgressAnswer, CancelAndOverwriteAnswersDoNotMix) {
  CWuArchiveProgress p;
  p.SetState(WUARC_ANSWER_NO);  // the overwrite question said "No"
  EXPECT_TRUE(p.RequestCancel());
  EXPECT_FALSE(p.RequestCancel()) << "one cancel question at a time";
  p.SetAnswer(0);
  EXPECT_EQ(p.WaitForAnswer(), WUARC_ANSWER_NO);

  p.SetState(WUARC_ANSWER_NO);
  p.RequestCancel();
  p.SetAnswer(WU_E_CANCELLED);
  p.SetState(WUARC_ANSWER_YES);  // a late answer does not undo the abort
  EXPECT_EQ(p.WaitForAnswer(), WU_E_CANCELLED);

  EXPECT_EQ(p.WaitForAnswer(), 0);  // the worker passed its poll
  p.RequestCancel();
  p.SetAnswer(WU_E_CANCELLED);
  EXPECT_EQ(p.WaitForAnswer(), WU_E_CANCELLED) << "picked up at the next poll";
  EXPECT_EQ(p.WaitForAnswer(), 0);
}

// A question of the worker defers a cancel request until it is closed; an
// abort stored meanwhile makes the deferred question needless.
TEST(SfxProgressAnswer, WorkerQuestionsDeferTheCancelQuestion) {
  CWuArchiveProgress p;
  EXPECT_TRUE(p.BeginQuestion());
  EXPECT_FALSE(p.RequestCancel()) << "not while the worker asks";
  EXPECT_TRUE(p.EndQuestion(WUARC_ANSWER_NO_ALL)) << "ask it now";
  EXPECT_EQ(p.State(), WUARC_ANSWER_PENDING);
  p.SetAnswer(0);
  EXPECT_EQ(p.WaitForAnswer(), WUARC_ANSWER_NO_ALL);

  EXPECT_TRUE(p.BeginQuestion());
  p.RequestCancel();
  EXPECT_FALSE(p.EndQuestion(WU_E_CANCELLED)) << "already aborting";
  EXPECT_EQ(p.WaitForAnswer(), WU_E_CANCELLED);

  p.SetAnswer(WU_E_CANCELLED);
  EXPECT_FALSE(p.BeginQuestion()) << "nothing to ask after an abort";
  EXPECT_FALSE(p.EndQuestion(0));
  EXPECT_EQ(p.WaitForAnswer(), WU_E_CANCELLED);

  // And the worker's question waits while a cancel question is open.
  std::atomic<bool> answered{false};
  std::atomic<bool> askedAfterAnswer{false};
  ASSERT_TRUE(p.RequestCancel());
  std::thread worker([&] {
    BOOL go_on = p.BeginQuestion();
    askedAfterAnswer = answered.load();
    p.EndQuestion(go_on ? WUARC_ANSWER_YES : 0);
  });
  answered = true;
  p.SetAnswer(0);
  worker.join();
  EXPECT_TRUE(askedAfterAnswer);
  EXPECT_EQ(p.WaitForAnswer(), WUARC_ANSWER_YES);
}

// The error box by code, with the detail after "|" filled into its text;
// afterwards the object aborts.
TEST_F(WizardTest, ErrorBoxTextsByCode) {
  const std::u16string abort = u"\n\nAborting the installation.";
  const struct {
    HRESULT code;
    const char16_t* item;
    std::u16string text;
  } cases[] = {
      {WUARC_ERR_MEMORY, u"a.txt", u"Error: Out of memory." + abort},
      {WUARC_ERR_SIGNATURE, u"Open|/x/package.um", u"Error: Bad file signature." + abort},
      {WUARC_ERR_COPY, u"copy", u"Error: Mismatched file block." + abort},
      {WUARC_ERR_BUFFER, u"ExtractEntry|*", u"Error: Buffer too small." + abort},
      {WUARC_ERR_DISK_SPACE, u"ExtractAll|C:\\", u"Error: Out of disk space on C:\\." + abort},
      {WUARC_ERR_VOLUME_MISSING, u"ExtractAll|/p/v2.um", u"Error: Unable to find volume /p/v2.um." + abort},
      {WUARC_ERR_NO_FILE, u"Open|/p/x.um", u"Error: Unable to find the file '/p/x.um'." + abort},
      {WUARC_ERR_CRC, u"a.txt", u"Error: CRC mismatch." + abort},
      {WUARC_ERR_WRITE, u"a.txt",
       u"Please make sure you have local system administrator privileges on this system.\n\n"
       u"Canceling the installation."},
  };
  for (const auto& c : cases) {
    CSfxExtractProgress progress(nullptr, nullptr, nullptr);
    progress.SetFileName(c.item);
    script_.Answer(IDOK);
    EXPECT_EQ(progress.ReportError(c.code), 0);
    EXPECT_EQ(progress.WaitForAnswer(), WU_E_CANCELLED);
    auto shown = script_.shown();
    ASSERT_FALSE(shown.empty());
    EXPECT_EQ(shown.back().title, u"Error");
    EXPECT_EQ(BoxTexts().back(), c.text);
  }
  EXPECT_TRUE(script_.Done());
}

}  // namespace
