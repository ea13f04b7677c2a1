// File mappings, views, and process memory access by handle.
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "platform/kernel/files.h"
#include "platform/kernel/handles.h"
#include "platform/kernel/mapping.h"
#include "platform/kernel/process.h"
#include "tests/common/TestUtil.h"

namespace {

using wutest::U16;

TEST(MappingTest, PageFileViewsShareMemoryAndOutliveTheHandle) {
  HANDLE mapping = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 200000,
                                      nullptr);
  ASSERT_NE(mapping, nullptr);
  auto* whole = static_cast<char*>(MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, 0));
  auto* second = static_cast<char*>(MapViewOfFile(mapping, FILE_MAP_READ, 0, 65536, 100));
  ASSERT_NE(whole, nullptr);
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(whole[199999], 0);  // zero-filled
  std::strcpy(whole + 65536, "shared");
  EXPECT_STREQ(second, "shared");

  auto* copy = static_cast<char*>(MapViewOfFile(mapping, FILE_MAP_COPY, 0, 65536, 0));
  ASSERT_NE(copy, nullptr);
  copy[0] = 'S';
  EXPECT_EQ(second[0], 's');  // a copy-on-write view keeps its changes

  EXPECT_TRUE(CloseHandle(mapping));
  EXPECT_STREQ(second, "shared");
  EXPECT_TRUE(UnmapViewOfFile(second));
  EXPECT_FALSE(UnmapViewOfFile(second));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_ADDRESS);
  EXPECT_FALSE(UnmapViewOfFile(whole + 1));
  EXPECT_TRUE(UnmapViewOfFile(whole));
  EXPECT_TRUE(UnmapViewOfFile(copy));
}

TEST(MappingTest, RefusedRequests) {
  HANDLE ro = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READONLY, 0, 4096, nullptr);
  ASSERT_NE(ro, nullptr);
  struct Case {
    HANDLE mapping;
    DWORD access;
    DWORD offset;
    SIZE_T bytes;
    DWORD error;
  };
  const Case cases[] = {
      {ro, FILE_MAP_WRITE, 0, 0, ERROR_ACCESS_DENIED},
      {ro, FILE_MAP_READ, 4096, 0, ERROR_MAPPED_ALIGNMENT},
      {ro, FILE_MAP_READ, 65536, 0, ERROR_ACCESS_DENIED},  // beyond the end
      {ro, FILE_MAP_READ, 0, 4097, ERROR_ACCESS_DENIED},
      {nullptr, FILE_MAP_READ, 0, 0, ERROR_INVALID_HANDLE},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(MapViewOfFile(c.mapping, c.access, 0, c.offset, c.bytes), nullptr);
    EXPECT_EQ(GetLastError(), c.error) << c.access << " " << c.offset << " " << c.bytes;
  }
  CloseHandle(ro);
  EXPECT_EQ(CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 0, nullptr),
            nullptr);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST(MappingTest, FileBackedMapping) {
  std::string path = wutest::MakeTempDir("map") + "/data.bin";
  wutest::WriteBytes(path, "file bytes");
  HANDLE file = CreateFileW(U16(path).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  HANDLE mapping = CreateFileMappingW(file, nullptr, PAGE_READWRITE, 0, 0, nullptr);
  ASSERT_NE(mapping, nullptr);
  auto* view = static_cast<char*>(MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, 0));
  ASSERT_NE(view, nullptr);
  EXPECT_EQ(std::string(view, 10), "file bytes");
  view[0] = 'F';
  UnmapViewOfFile(view);
  CloseHandle(mapping);
  CloseHandle(file);
  EXPECT_EQ(wutest::ReadBytes(path), "File bytes");

  // A read-only handle cannot back a writable mapping.
  file = CreateFileW(U16(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                     nullptr);
  EXPECT_EQ(CreateFileMappingW(file, nullptr, PAGE_READWRITE, 0, 0, nullptr), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  CloseHandle(file);
}

TEST(MappingTest, NamedMappings) {
  HANDLE first = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 4096,
                                    u"wu-test-named");
  ASSERT_NE(first, nullptr);
  HANDLE second = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 4096,
                                     u"wu-test-named");
  EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
  HANDLE opened = OpenFileMappingW(FILE_MAP_READ, FALSE, u"wu-test-named");
  ASSERT_NE(second, nullptr);
  ASSERT_NE(opened, nullptr);
  auto* a = static_cast<char*>(MapViewOfFile(first, FILE_MAP_WRITE, 0, 0, 0));
  auto* b = static_cast<char*>(MapViewOfFile(opened, FILE_MAP_READ, 0, 0, 0));
  std::strcpy(a, "one memory");
  EXPECT_STREQ(b, "one memory");
  UnmapViewOfFile(a);
  UnmapViewOfFile(b);
  CloseHandle(first);
  CloseHandle(second);
  CloseHandle(opened);
  EXPECT_EQ(OpenFileMappingW(FILE_MAP_READ, FALSE, u"wu-test-named"), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
}

TEST(MappingTest, ThreadsCreatingOneNameAtOnceShareOneMapping) {
  constexpr int kThreads = 8;
  for (int round = 0; round < 40; ++round) {
    const std::u16string name = u"wu-test-race-" + U16(std::to_string(round));
    HANDLE handles[kThreads] = {};
    DWORD errors[kThreads] = {};
    std::atomic<int> waiting{kThreads};
    std::vector<std::thread> threads;
    for (int i = 0; i < kThreads; ++i)
      threads.emplace_back([&, i] {
        waiting.fetch_sub(1);
        while (waiting.load() > 0) std::this_thread::yield();
        handles[i] = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 4096, name.c_str());
        errors[i] = GetLastError();
      });
    for (std::thread& t : threads) t.join();
    // One creator; everyone else opened what it made.
    int created = 0;
    for (int i = 0; i < kThreads; ++i) {
      ASSERT_NE(handles[i], nullptr);
      created += errors[i] == ERROR_SUCCESS;
      EXPECT_TRUE(errors[i] == ERROR_SUCCESS || errors[i] == ERROR_ALREADY_EXISTS) << errors[i];
    }
    EXPECT_EQ(created, 1) << "round " << round;
    auto* first = static_cast<char*>(MapViewOfFile(handles[0], FILE_MAP_WRITE, 0, 0, 0));
    ASSERT_NE(first, nullptr);
    std::strcpy(first, "one memory");
    for (int i = 1; i < kThreads; ++i) {
      auto* view = static_cast<char*>(MapViewOfFile(handles[i], FILE_MAP_READ, 0, 0, 0));
      ASSERT_NE(view, nullptr);
      EXPECT_STREQ(view, "one memory") << "round " << round << " thread " << i;
      UnmapViewOfFile(view);
    }
    UnmapViewOfFile(first);
    for (HANDLE h : handles) CloseHandle(h);
    if (HasFailure()) break;
  }
}

TEST(MappingTest, ProcessMemoryNeedsTheRights) {
  char source[16] = "process memory";
  char target[16] = {};
  HANDLE reader = OpenProcess(PROCESS_VM_READ, FALSE, GetCurrentProcessId());
  ASSERT_NE(reader, nullptr);
  SIZE_T done = 0;
  EXPECT_TRUE(ReadProcessMemory(reader, source, target, sizeof(source), &done));
  EXPECT_EQ(done, sizeof(source));
  EXPECT_STREQ(target, "process memory");
  EXPECT_FALSE(WriteProcessMemory(reader, target, "x", 1, &done));
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  // Duplicating needs PROCESS_DUP_HANDLE.
  HANDLE copy = nullptr;
  EXPECT_FALSE(DuplicateHandle(reader, reader, GetCurrentProcess(), &copy, 0, FALSE,
                               DUPLICATE_SAME_ACCESS));
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  CloseHandle(reader);

  HANDLE writer = OpenProcess(PROCESS_VM_WRITE | PROCESS_VM_OPERATION, FALSE,
                              GetCurrentProcessId());
  ASSERT_NE(writer, nullptr);
  EXPECT_TRUE(WriteProcessMemory(writer, target, "written", 8, &done));
  EXPECT_STREQ(target, "written");
  CloseHandle(writer);

  EXPECT_EQ(OpenProcess(PROCESS_VM_READ, FALSE, 0x7FFFFFF0), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST(MappingTest, PartialCopyStopsAtAnUnreadablePage) {
  const long page = sysconf(_SC_PAGESIZE);
  const SIZE_T bytes = static_cast<SIZE_T>(2 * page);
  auto* pages = static_cast<char*>(platform::MapPages(bytes, PAGE_READWRITE));
  ASSERT_NE(pages, nullptr);
  ASSERT_TRUE(platform::ProtectPages(pages + page, static_cast<SIZE_T>(page), PAGE_NOACCESS));
  std::string buffer(64, '\0');
  SIZE_T done = 0;
  EXPECT_FALSE(ReadProcessMemory(GetCurrentProcess(), pages + page - 16, buffer.data(), 64, &done));
  EXPECT_EQ(GetLastError(), ERROR_PARTIAL_COPY);
  EXPECT_EQ(done, 16u);
  platform::UnmapPages(pages, bytes);
}

TEST(MappingTest, DuplicateFromAnotherProcessFindsOnlyMappingHandles) {
  // The parent process has no mapping behind an invented handle.
  HANDLE parent = OpenProcess(PROCESS_DUP_HANDLE, FALSE, static_cast<DWORD>(getppid()));
  ASSERT_NE(parent, nullptr);
  HANDLE copy = nullptr;
  EXPECT_FALSE(DuplicateHandle(parent, reinterpret_cast<HANDLE>(uintptr_t{0x1234}),
                               GetCurrentProcess(), &copy, 0, FALSE, DUPLICATE_SAME_ACCESS));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  // Handles are only brought into this process.
  HANDLE event = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 64, nullptr);
  EXPECT_FALSE(DuplicateHandle(GetCurrentProcess(), event, parent, &copy, 0, FALSE,
                               DUPLICATE_SAME_ACCESS));
  EXPECT_EQ(GetLastError(), ERROR_NOT_SUPPORTED);
  CloseHandle(event);
  CloseHandle(parent);
}

}  // namespace
