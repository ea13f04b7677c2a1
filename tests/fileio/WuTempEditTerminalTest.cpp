// A person's view of the template editor: the terminal front end on a
// pseudo-terminal shows the tab row, the toolbar's buttons by their tips
// and the page's control as choices, and saving under a typed name from
// there writes the template.
#include <poll.h>
#include <pty.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>

#include "tests/common/PtyHarness.h"
#include "tests/fileio/TempEditFixture.h"

namespace fio_test {
namespace {

using wutest::Pty;

TEST_F(TempEditTest, PersonSavesAtTheTerminal) {
  const std::u16string mine = WriteTemplate(folder_, u"Mine", u".wut2");
  const std::string mine_bytes = wutest::ReadBytes(U8(mine));
  const std::u16string typed = std::u16string(folder_) + u"My T.wut2";
  Pty pty;
  ASSERT_TRUE(pty.ok());
  platform::TerminalFrontEnd terminal(pty.slave(), pty.slave());
  platform::SetFrontEnd(&terminal);
  std::string first;
  std::thread person([&] {
    // A step that fails ends the input, which cancels the editor rather
    // than leaving it waiting.
    struct Closer {
      Pty& pty;
      bool done = false;
      ~Closer() {
        if (!done) pty.Type("\x04");
      }
    } closer{pty};
    size_t at = pty.WaitFor("Choice: ");
    ASSERT_NE(at, std::string::npos) << pty.output();
    first = pty.output();
    // The template list: "Mine" follows the two listed presets.
    pty.Type(pty.NumberOf("Template: ", 0) + "\r");
    at = pty.WaitFor("3. Mine", at);
    ASSERT_NE(at, std::string::npos) << pty.output();
    at = pty.WaitFor("Entry or text: ", at);
    ASSERT_NE(at, std::string::npos) << pty.output();
    pty.Type("3\r");
    at = pty.WaitFor("Choice: ", at);
    const size_t screen = pty.output().rfind("Template: Mine");
    ASSERT_NE(screen, std::string::npos) << pty.output();
    pty.Type(pty.NumberOf("[ ] Test setting", screen) + "\r");
    at = pty.WaitFor("[x] Test setting", at);
    ASSERT_NE(at, std::string::npos) << pty.output();
    at = pty.WaitFor("Choice: ", at);
    ASSERT_NE(at, std::string::npos) << pty.output();
    // The name typed over the listed one.
    pty.Type(pty.NumberOf("Template: ", pty.output().rfind("== ")) + "\r");
    at = pty.WaitFor("Entry or text: ", at);
    ASSERT_NE(at, std::string::npos) << pty.output();
    pty.Type("My T\r");
    at = pty.WaitFor("Template: My T (choose from 3 or type)", at);
    ASSERT_NE(at, std::string::npos) << pty.output();
    at = pty.WaitFor("Choice: ", at);
    ASSERT_NE(at, std::string::npos) << pty.output();
    pty.Type(pty.NumberOf("Save Template", pty.output().rfind("== ")) + "\r");
    at = pty.WaitFor("Choice: ", at);
    ASSERT_NE(at, std::string::npos) << pty.output();
    pty.Type("x\r");  // then Cancel: the saved file stays
    closer.done = true;
  });
  _FIOEDITTEMPLATE args = Args(FIOEDIT_APPPAGE);
  EXPECT_EQ(Edit(&args), S_FALSE);
  person.join();
  platform::SetFrontEnd(&script_);
  EXPECT_NE(first.find("Page: Test Page 1 (choose from 2)"), std::string::npos) << first;
  EXPECT_NE(first.find(") Save Template"), std::string::npos) << first;
  EXPECT_NE(first.find(") Delete Template"), std::string::npos) << first;
  EXPECT_NE(first.find(") Help for Plug-In"), std::string::npos) << first;
  EXPECT_NE(first.find("[ ] Test setting"), std::string::npos) << first;
  // Saved under the typed name with the changed setting; the listed
  // template it started from is left as it was.
  std::string bytes = wutest::ReadBytes(U8(typed));
  ASSERT_GE(bytes.size(), 540u) << "\"My T.wut2\" was written";
  const auto* saved = reinterpret_cast<const tagWUTEMPLATExV2*>(bytes.data());
  EXPECT_EQ(std::u16string(saved->GetName()), u"My T");
  EXPECT_EQ(saved->PrivateData()[kRendererSettingsByte] & 1, 1);
  EXPECT_EQ(wutest::ReadBytes(U8(mine)), mine_bytes);
}

}  // namespace
}  // namespace fio_test
