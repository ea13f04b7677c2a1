// Memory tokens: a block used in place in its own process, and a child's
// block reached through its file mapping or through a private copy with
// and without write-back.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

#include "foundation/WuMemoryToken.h"
#include "platform/kernel/process.h"

extern char** environ;

namespace {

TEST(WuMemoryTokenTest, OwnProcessUsesTheBlockInPlace) {
  char block[32] = "0123456789";
  _wumemorytoken token{};
  token.qwBase = reinterpret_cast<uintptr_t>(block);
  token.qwOffset = 4;
  token.dwSize = 6;
  token.dwProcessId = GetCurrentProcessId();
  CMappingOfWuMemoryToken access(token, 0);
  void* pointer = nullptr;
  EXPECT_EQ(access.GetPointer(&pointer), S_OK);
  EXPECT_EQ(pointer, block + 4);
  EXPECT_EQ(access.DataSize(), 6);

  // A copy reaches the same bytes; disposing either frees nothing.
  CMappingOfWuMemoryToken copy(access);
  EXPECT_EQ(copy.Pointer(), block + 4);
  access.Dispose();
  EXPECT_EQ(access.Pointer(), nullptr);
  EXPECT_EQ(access.DataSize(), -1);
  EXPECT_EQ(access.GetPointer(&pointer), E_FAIL);
  EXPECT_EQ(pointer, nullptr);
  EXPECT_STREQ(block, "0123456789");
}

TEST(WuMemoryTokenTest, TokenOfAMissingProcessIsInvalid) {
  _wumemorytoken token{};
  token.qwBase = 0x10000;
  token.dwSize = 16;
  token.dwProcessId = 0x7FFFFFF0;  // above any process id Linux hands out
  CMappingOfWuMemoryToken reader(token, WUMEMTOKEN_READ);
  EXPECT_EQ(reader.Pointer(), nullptr);
  EXPECT_EQ(reader.DataSize(), -1);
  token.bIsMapping = 1;
  CMappingOfWuMemoryToken mapped(token, 0);
  EXPECT_EQ(mapped.Pointer(), nullptr);
}

// The token child, with pipes to its standard input and output.
class TokenChild {
 public:
  explicit TokenChild(const char* mode) {
    int in[2], out[2];
    if (pipe(in) != 0 || pipe(out) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_addclose(&actions, in[1]);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    char* argv[] = {const_cast<char*>(WU_TOKEN_CHILD), const_cast<char*>(mode), nullptr};
    if (posix_spawn(&pid_, WU_TOKEN_CHILD, &actions, nullptr, argv, environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    close(in[0]);
    close(out[1]);
    to_child_ = fdopen(in[1], "w");
    from_child_ = fdopen(out[0], "r");
  }
  ~TokenChild() {
    if (to_child_) std::fclose(to_child_);
    if (from_child_) std::fclose(from_child_);
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
  }

  // Reads the token the child printed.
  bool ReadToken(_wumemorytoken* token) {
    std::string hex = ReadLine();
    if (hex.size() != 2 * sizeof(*token)) return false;
    auto* bytes = reinterpret_cast<unsigned char*>(token);
    for (size_t i = 0; i < sizeof(*token); ++i)
      bytes[i] = static_cast<unsigned char>(std::stoi(hex.substr(2 * i, 2), nullptr, 16));
    return true;
  }
  // Tells the child to report its block and returns the report.
  std::string Finish() {
    std::fputs("done\n", to_child_);
    std::fflush(to_child_);
    std::string report = ReadLine();
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? report : "child failed";
  }

 private:
  std::string ReadLine() {
    char line[256];
    if (!from_child_ || !std::fgets(line, sizeof(line), from_child_)) return std::string();
    std::string text(line);
    if (!text.empty() && text.back() == '\n') text.pop_back();
    return text;
  }

  pid_t pid_ = -1;
  FILE* to_child_ = nullptr;
  FILE* from_child_ = nullptr;
};

// A parent may read its child's memory unless Yama leaves tracing to
// administrators (scope 2) or forbids it (scope 3).
bool MayReadChildMemory() {
  std::ifstream in("/proc/sys/kernel/yama/ptrace_scope");
  int scope = 0;
  if (!(in >> scope)) return true;
  return scope < 2 || (scope == 2 && geteuid() == 0);
}

TEST(WuMemoryTokenTest, ChildBlockThroughAPrivateCopy) {
  if (!MayReadChildMemory()) GTEST_SKIP() << "Yama forbids reading a child's memory";
  struct Case {
    DWORD access;
    const char* seen;      // what the receiver's copy holds at first
    const char* reported;  // the child's block after Dispose
  };
  const Case cases[] = {
      {WUMEMTOKEN_READ, "child block", "child block"},         // no write-back
      {0, "child block", "parent text"},                       // read and write back
      {WUMEMTOKEN_READ | WUMEMTOKEN_WRITEBACK, "child block", "parent text"},
      {WUMEMTOKEN_WRITEBACK, "", "parent text"},               // zero-filled, written back
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.access);
    TokenChild child("heap");
    _wumemorytoken token{};
    ASSERT_TRUE(child.ReadToken(&token));
    ASSERT_EQ(token.bIsMapping, 0u);
    CMappingOfWuMemoryToken access(token, c.access);
    char* data = static_cast<char*>(access.Pointer());
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(access.DataSize(), 64);
    EXPECT_NE(data, reinterpret_cast<char*>(static_cast<uintptr_t>(token.qwBase)));
    EXPECT_STREQ(data, c.seen);
    std::strcpy(data, "parent text");
    access.Dispose();
    EXPECT_EQ(access.Pointer(), nullptr);
    EXPECT_EQ(child.Finish(), c.reported);
  }
}

TEST(WuMemoryTokenTest, ChildBlockThroughItsFileMapping) {
  TokenChild child("mapping");
  _wumemorytoken token{};
  ASSERT_TRUE(child.ReadToken(&token));
  ASSERT_NE(token.bIsMapping, 0u);
  CMappingOfWuMemoryToken access(token, WUMEMTOKEN_READ);
  char* data = static_cast<char*>(access.Pointer());
  ASSERT_NE(data, nullptr);
  EXPECT_STREQ(data, "child block");
  // A view is shared memory: the child sees the change without write-back,
  // also through a copy of the object.
  CMappingOfWuMemoryToken copy(access);
  access.Dispose();
  ASSERT_NE(copy.Pointer(), nullptr);
  std::strcpy(static_cast<char*>(copy.Pointer()), "shared text");
  EXPECT_EQ(child.Finish(), "shared text");
}

}  // namespace
