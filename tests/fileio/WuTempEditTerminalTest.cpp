// A person's view of the template editor: the terminal front end on a
// pseudo-terminal shows the tab row, the toolbar's buttons by their tips
// and the page's control as choices, and saving from there writes the
// template.
#include <poll.h>
#include <pty.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>

#include "tests/fileio/TempEditFixture.h"

namespace fio_test {
namespace {

class Pty {
 public:
  Pty() { ok_ = openpty(&master_, &slave_, nullptr, nullptr, nullptr) == 0; }
  ~Pty() {
    if (ok_) {
      close(master_);
      close(slave_);
    }
  }
  bool ok() const { return ok_; }
  int slave() const { return slave_; }
  // Reads until the output holds `text` after `from`; its position after
  // the text, or npos after ten seconds (a guard, not a timing).
  size_t WaitFor(const std::string& text, size_t from = 0) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    for (;;) {
      size_t at = output_.find(text, from);
      if (at != std::string::npos) return at + text.size();
      if (std::chrono::steady_clock::now() > deadline) return std::string::npos;
      pollfd p{master_, POLLIN, 0};
      if (poll(&p, 1, 50) > 0) {
        char buffer[512];
        ssize_t n = read(master_, buffer, sizeof(buffer));
        if (n > 0) output_.append(buffer, static_cast<size_t>(n));
      }
    }
  }
  void Type(const std::string& text) {
    EXPECT_EQ(write(master_, text.data(), text.size()), static_cast<ssize_t>(text.size()));
  }
  const std::string& output() const { return output_; }
  // The choice number shown before `label` in the output after `from`.
  std::string NumberOf(const std::string& label, size_t from) const {
    size_t at = output_.find(label, from);
    if (at == std::string::npos) return "?";
    size_t paren = output_.rfind(") ", at);
    size_t start = paren;
    while (start > 0 && isdigit(static_cast<unsigned char>(output_[start - 1]))) --start;
    return output_.substr(start, paren - start);
  }

 private:
  bool ok_ = false;
  int master_ = -1;
  int slave_ = -1;
  std::string output_;
};

TEST_F(TempEditTest, PersonSavesAtTheTerminal) {
  const std::u16string mine = WriteTemplate(folder_, u"Mine", u".wut2");
  Pty pty;
  ASSERT_TRUE(pty.ok());
  platform::TerminalFrontEnd terminal(pty.slave(), pty.slave());
  platform::SetFrontEnd(&terminal);
  std::string first;
  std::thread person([&] {
    size_t at = pty.WaitFor("Choice: ");
    ASSERT_NE(at, std::string::npos) << pty.output();
    first = pty.output();
    // The template list: "Mine" follows the two listed presets.
    pty.Type(pty.NumberOf("Template: ", 0) + "\r");
    at = pty.WaitFor("3. Mine", at);
    ASSERT_NE(at, std::string::npos) << pty.output();
    pty.Type("3\r");
    at = pty.WaitFor("Choice: ", at);
    const size_t screen = pty.output().rfind("Template: Mine");
    ASSERT_NE(screen, std::string::npos) << pty.output();
    pty.Type(pty.NumberOf("[ ] Test setting", screen) + "\r");
    at = pty.WaitFor("[x] Test setting", at);
    ASSERT_NE(at, std::string::npos) << pty.output();
    at = pty.WaitFor("Choice: ", at);
    pty.Type(pty.NumberOf("Save Template", at - 200) + "\r");
    at = pty.WaitFor("Choice: ", at);
    ASSERT_NE(at, std::string::npos) << pty.output();
    pty.Type("x\r");  // then Cancel: the saved file stays
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
  std::string bytes = wutest::ReadBytes(U8(mine));
  ASSERT_GE(bytes.size(), 540u);
  const auto* saved = reinterpret_cast<const tagWUTEMPLATExV2*>(bytes.data());
  EXPECT_EQ(std::u16string(saved->GetName()), u"Mine");
  EXPECT_EQ(saved->PrivateData()[kRendererSettingsByte] & 1, 1);
}

}  // namespace
}  // namespace fio_test
