// A pseudo-terminal for tests of the terminal front end: the test reads
// what the program under test writes on the terminal side and types
// answers into it.
#pragma once

#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <unistd.h>

#include <chrono>
#include <string>

namespace wutest {

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
  // Takes what has been written and not read yet.
  void Drain() {
    pollfd p{master_, POLLIN, 0};
    char buffer[512];
    ssize_t n;
    while (poll(&p, 1, 0) > 0 && (n = read(master_, buffer, sizeof(buffer))) > 0)
      output_.append(buffer, static_cast<size_t>(n));
  }
  void Type(const std::string& text) { EXPECT_EQ(write(master_, text.data(), text.size()), static_cast<ssize_t>(text.size())); }
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

}  // namespace wutest
