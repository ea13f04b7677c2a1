// Modules: the main program and its registered exports, built-in system
// modules, shared objects with reference counts, export modules and the
// file-name truncation rule.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "platform/kernel/cpu.h"
#include "platform/kernel/error.h"
#include "platform/kernel/locale.h"
#include "platform/kernel/module.h"
#include "tests/common/TestUtil.h"

namespace {

using wutest::U16;

class ModuleTest : public ::testing::Test {
 protected:
  void SetUp() override { loaded_at_start_ = platform::LoadedModuleCount(); }
  void TearDown() override {
    platform::ResetSystemModel();
    EXPECT_EQ(platform::LoadedModuleCount(), loaded_at_start_);
  }
  size_t loaded_at_start_ = 0;
};

std::u16string ModuleFileName(HMODULE module) {
  WCHAR buffer[4096];
  DWORD n = GetModuleFileNameW(module, buffer, 4096);
  return std::u16string(buffer, n);
}

TEST_F(ModuleTest, MainModuleIsTheProgramFile) {
  HMODULE main = GetModuleHandleW(nullptr);
  ASSERT_NE(main, nullptr);
  char exe[4096];
  ssize_t n = readlink("/proc/self/exe", exe, sizeof(exe) - 1);
  ASSERT_GT(n, 0);
  exe[n] = 0;
  std::u16string file = ModuleFileName(nullptr);
  EXPECT_EQ(file, ModuleFileName(main));
  // The same file, whatever form the path layer gives it.
  std::u16string base = U16(strrchr(exe, '/') + 1);
  ASSERT_GE(file.size(), base.size());
  EXPECT_EQ(file.substr(file.size() - base.size()), base);
  EXPECT_TRUE(FreeLibrary(main));  // the program is never unloaded
  EXPECT_EQ(GetModuleHandleW(nullptr), main);
}

TEST_F(ModuleTest, FileNameIsTruncatedToTheBufferSize) {
  std::u16string file = ModuleFileName(nullptr);
  const DWORD len = static_cast<DWORD>(file.size());
  const struct {
    DWORD size;     // buffer size
    DWORD result;   // returned length
    bool short_;    // ERROR_INSUFFICIENT_BUFFER expected
  } kCases[] = {{1, 1, true}, {5, 5, true}, {len, len, true}, {len + 1, len, false}};
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.size);
    std::u16string buffer(len + 8, u'#');
    SetLastError(0);
    EXPECT_EQ(GetModuleFileNameW(nullptr, buffer.data(), c.size), c.result);
    EXPECT_EQ(GetLastError(), c.short_ ? ERROR_INSUFFICIENT_BUFFER : 0u);
    DWORD copied = c.short_ ? c.size - 1 : len;
    EXPECT_EQ(buffer.substr(0, copied), file.substr(0, copied));
    EXPECT_EQ(buffer[copied], u'\0');
    EXPECT_EQ(buffer[copied + 1], u'#');  // nothing beyond the terminator
  }
  WCHAR untouched = u'#';
  EXPECT_EQ(GetModuleFileNameW(nullptr, &untouched, 0), 0u);
  EXPECT_EQ(untouched, u'#');
}

TEST_F(ModuleTest, RegisteredExportsOfTheMainModuleComeFirst) {
  HMODULE main = GetModuleHandleW(nullptr);
  static int marker = 0;
  EXPECT_EQ(GetProcAddress(main, "_WuTest_Registered@0"), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_PROC_NOT_FOUND);
  platform::RegisterMainModuleExport("_WuTest_Registered@0", &marker);
  EXPECT_EQ(reinterpret_cast<void*>(GetProcAddress(main, "_WuTest_Registered@0")), &marker);
  EXPECT_EQ(reinterpret_cast<void*>(GetProcAddress(nullptr, "_WuTest_Registered@0")), &marker);
  platform::RegisterMainModuleExport("_WuTest_Registered@0", nullptr);
  EXPECT_EQ(GetProcAddress(main, "_WuTest_Registered@0"), nullptr);

  // Without a registration the program's dynamic symbols answer.
  typedef size_t (*StrlenFn)(const char*);
  auto len = reinterpret_cast<StrlenFn>(GetProcAddress(main, "strlen"));
  ASSERT_NE(len, nullptr);
  EXPECT_EQ(len("abc"), 3u);
}

TEST_F(ModuleTest, Kernel32IsFoundByAnyFormOfItsName) {
  HMODULE kernel = GetModuleHandleW(u"kernel32");
  ASSERT_NE(kernel, nullptr);
  for (const char16_t* name : {u"KERNEL32.DLL", u"Kernel32.dll", u"C:\\Windows\\System32\\kernel32.dll"}) {
    SCOPED_TRACE(wutest::U8(name));
    EXPECT_EQ(GetModuleHandleW(name), kernel);
    EXPECT_EQ(LoadLibraryW(name), kernel);
  }
  EXPECT_TRUE(FreeLibrary(kernel));
  EXPECT_EQ(GetModuleHandleW(u"kernel32"), kernel);
  SetLastError(0);
  EXPECT_EQ(GetModuleHandleW(u"kernel"), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_MOD_NOT_FOUND);
}

TEST_F(ModuleTest, Kernel32ExportsIsWow64ProcessOnlyWhenTheSystemHasIt) {
  HMODULE kernel = GetModuleHandleW(u"kernel32.dll");
  typedef BOOL (*IsWow64Fn)(HANDLE, BOOL*);
  auto fn = reinterpret_cast<IsWow64Fn>(GetProcAddress(kernel, "IsWow64Process"));
  ASSERT_NE(fn, nullptr);
  BOOL wow64 = TRUE;
  EXPECT_TRUE(fn(nullptr, &wow64));
  EXPECT_FALSE(wow64);

  platform::SystemModel model;
  model.has_is_wow64 = false;
  platform::SetSystemModel(model);
  SetLastError(0);
  EXPECT_EQ(GetProcAddress(kernel, "IsWow64Process"), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_PROC_NOT_FOUND);
  EXPECT_EQ(GetProcAddress(kernel, "NoSuchFunction"), nullptr);
}

TEST_F(ModuleTest, SharedObjectsAreReferenceCounted) {
  HMODULE first = LoadLibraryW(u"libm.so.6");
  ASSERT_NE(first, nullptr) << GetLastError();
  typedef double (*CosFn)(double);
  auto cosine = reinterpret_cast<CosFn>(GetProcAddress(first, "cos"));
  ASSERT_NE(cosine, nullptr);
  EXPECT_EQ(cosine(0.0), 1.0);

  // The full file name loads the same module again, as does the bare name.
  std::u16string path = ModuleFileName(first);
  ASSERT_NE(path.find(u"libm"), std::u16string::npos);
  HMODULE second = LoadLibraryW(path.c_str());
  EXPECT_EQ(second, first);
  EXPECT_EQ(LoadLibraryW(u"libm.so.6"), first);
  EXPECT_EQ(GetModuleHandleW(u"LIBM.SO.6"), first);
  EXPECT_EQ(platform::LoadedModuleCount(), loaded_at_start_ + 1);

  EXPECT_TRUE(FreeLibrary(first));
  EXPECT_TRUE(FreeLibrary(first));
  EXPECT_NE(GetProcAddress(first, "cos"), nullptr);  // one reference left
  EXPECT_TRUE(FreeLibrary(first));
  SetLastError(0);
  EXPECT_FALSE(FreeLibrary(first));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  EXPECT_EQ(GetProcAddress(first, "cos"), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_MOD_NOT_FOUND);
  EXPECT_EQ(GetModuleFileNameW(first, nullptr, 0), 0u);
  EXPECT_EQ(GetLastError(), ERROR_MOD_NOT_FOUND);
}

TEST_F(ModuleTest, LoadFailuresTellMissingFromUnloadable) {
  std::string dir = wutest::MakeTempDir("modules");
  std::string text = dir + "/notes.dll";
  FILE* f = fopen(text.c_str(), "w");
  ASSERT_NE(f, nullptr);
  fputs("not a shared object\n", f);
  fclose(f);

  SetLastError(0);
  EXPECT_EQ(LoadLibraryW(U16(dir + "/missing.dll").c_str()), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_MOD_NOT_FOUND);
  EXPECT_EQ(LoadLibraryW(U16(text).c_str()), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_BAD_EXE_FORMAT);
  EXPECT_EQ(LoadLibraryW(u""), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);

  // As a data file it loads: a module without code, counted like the rest.
  HMODULE data = LoadLibraryExW(U16(text).c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(data, nullptr);
  EXPECT_EQ(LoadLibraryExW(U16(text).c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE), data);
  EXPECT_EQ(GetProcAddress(data, "anything"), nullptr);
  std::shared_ptr<platform::Module> m = platform::LookupModule(data);
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(m->linux_path(), text);
  EXPECT_TRUE(FreeLibrary(data));
  EXPECT_TRUE(FreeLibrary(data));
  EXPECT_EQ(LoadLibraryExW(U16(dir + "/missing.dll").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE),
            nullptr);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
}

int Seven() { return 7; }

TEST_F(ModuleTest, ExportModulesAnswerFromTheirTable) {
  const platform::ExportEntry kTable[] = {{"_Seven@0", reinterpret_cast<void*>(&Seven)}};
  HMODULE m = platform::CreateExportModule(u"HostKernel", kTable, 1);
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(GetModuleHandleW(u"hostkernel"), m);
  auto seven = reinterpret_cast<int (*)()>(GetProcAddress(m, "_Seven@0"));
  ASSERT_NE(seven, nullptr);
  EXPECT_EQ(seven(), 7);
  EXPECT_EQ(GetProcAddress(m, "_Eight@0"), nullptr);
  EXPECT_EQ(ModuleFileName(m), ModuleFileName(nullptr));  // defaults to the program's file

  EXPECT_EQ(platform::CreateExportModule(u"Bad", nullptr, 1), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_TRUE(FreeLibrary(m));
  EXPECT_EQ(GetModuleHandleW(u"HostKernel"), nullptr);
}

TEST_F(ModuleTest, ExtensionsAttachOncePerModule) {
  struct Resources : platform::ModuleExtension {
    int id;
    explicit Resources(int i) : id(i) {}
  };
  HMODULE m = platform::CreateExportModule(u"WithResources", nullptr, 0, u"/some/file.dll");
  ASSERT_NE(m, nullptr);
  std::shared_ptr<platform::Module> module = platform::LookupModule(m);
  ASSERT_NE(module, nullptr);
  EXPECT_EQ(module->file_name(), u"/some/file.dll");
  EXPECT_EQ(module->extension(), nullptr);
  auto first = module->AttachExtension(std::make_shared<Resources>(1));
  auto second = module->AttachExtension(std::make_shared<Resources>(2));
  EXPECT_EQ(first, second);
  EXPECT_EQ(static_cast<Resources*>(module->extension().get())->id, 1);
  EXPECT_TRUE(FreeLibrary(m));
  EXPECT_EQ(platform::LookupModule(m), nullptr);
}

// Copies the twin shared object into `folder` as "twin.so"; its full path.
std::string PlaceTwin(const std::string& folder) {
  std::string path = folder + "/twin.so";
  std::filesystem::copy_file(WU_TWIN_MODULE, path);
  return path;
}

TEST_F(ModuleTest, APathFindsTheModuleOfThatFolderNotASameNamedOne) {
  const std::string a = PlaceTwin(wutest::MakeTempDir("twin-a"));
  const std::string b = PlaceTwin(wutest::MakeTempDir("twin-b"));
  const std::string elsewhere = wutest::MakeTempDir("twin-c") + "/twin.so";
  HMODULE from_a = LoadLibraryW(U16(a).c_str());
  ASSERT_NE(from_a, nullptr) << GetLastError();
  HMODULE from_b = LoadLibraryW(U16(b).c_str());
  ASSERT_NE(from_b, nullptr) << GetLastError();
  EXPECT_NE(from_a, from_b);
  EXPECT_TRUE(platform::DynamicLoaderHolds(U16(a).c_str()));
  EXPECT_TRUE(platform::DynamicLoaderHolds(U16(b).c_str()));
  EXPECT_FALSE(platform::DynamicLoaderHolds(U16(elsewhere).c_str()));

  EXPECT_EQ(GetModuleHandleW(U16(a).c_str()), from_a);
  EXPECT_EQ(GetModuleHandleW(U16(b).c_str()), from_b);
  // The same file by another spelling of its path, with '\' separators.
  std::string b_other = b.substr(0, b.rfind('/')) + "\\.\\twin.so";
  EXPECT_EQ(GetModuleHandleW(U16(b_other).c_str()), from_b);
  // A folder that loaded nothing of that name.
  SetLastError(0);
  EXPECT_EQ(GetModuleHandleW(U16(elsewhere).c_str()), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_MOD_NOT_FOUND);
  // The bare name finds one of them, with or without the extension.
  HMODULE bare = GetModuleHandleW(u"twin");
  EXPECT_TRUE(bare == from_a || bare == from_b);
  EXPECT_EQ(GetModuleHandleW(u"TWIN.SO"), bare);

  // Freeing the one of folder a leaves folder b's loaded.
  EXPECT_TRUE(FreeLibrary(GetModuleHandleW(U16(a).c_str())));
  EXPECT_FALSE(platform::DynamicLoaderHolds(U16(a).c_str()));
  EXPECT_TRUE(platform::DynamicLoaderHolds(U16(b).c_str()));
  EXPECT_EQ(GetModuleHandleW(U16(a).c_str()), nullptr);
  EXPECT_EQ(GetModuleHandleW(u"twin"), from_b);
  auto value = reinterpret_cast<int (*)()>(GetProcAddress(from_b, "WuTwinModuleValue"));
  ASSERT_NE(value, nullptr);
  EXPECT_EQ(value(), 42);
  EXPECT_TRUE(FreeLibrary(from_b));
  EXPECT_FALSE(platform::DynamicLoaderHolds(U16(b).c_str()));
  EXPECT_FALSE(platform::DynamicLoaderHolds(nullptr));
}

TEST_F(ModuleTest, ABareNameMatchesEitherModuleExtension) {
  HMODULE dll = platform::CreateExportModule(u"codec.dll", nullptr, 0);
  HMODULE so = platform::CreateExportModule(u"filter.so", nullptr, 0);
  HMODULE plain = platform::CreateExportModule(u"meter", nullptr, 0);
  ASSERT_TRUE(dll && so && plain);
  const struct {
    const char16_t* asked;
    HMODULE expected;
  } cases[] = {
      {u"codec", dll},       {u"CODEC.DLL", dll},    {u"filter", so},
      {u"Filter.SO", so},    {u"meter.so", plain},   {u"meter.dll", plain},
      {u"codec.so", nullptr}, {u"filter.dll", nullptr}, {u"filt", nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(platform::ToUtf8(c.asked));
    EXPECT_EQ(GetModuleHandleW(c.asked), c.expected);
  }
  EXPECT_TRUE(FreeLibrary(dll));
  EXPECT_TRUE(FreeLibrary(so));
  EXPECT_TRUE(FreeLibrary(plain));
}

int Nine() { return 9; }

// ELF names carry no stdcall decoration: "_Name@N" absent as it stands is
// found by its bare name, in every kind of module, while a decorated
// export is still found first and other forms are never stripped.
TEST_F(ModuleTest, ADecoratedNameFallsBackToItsBareName) {
  const platform::ExportEntry kTable[] = {
      {"ErrorReport_StartMonitoringProcess", reinterpret_cast<void*>(&Seven)},
      {"_Both@4", reinterpret_cast<void*>(&Nine)},
      {"Both", reinterpret_cast<void*>(&Seven)},
      {"Plain", reinterpret_cast<void*>(&Seven)},
  };
  HMODULE m = platform::CreateExportModule(u"ErrorReport.so", kTable, 4);
  ASSERT_NE(m, nullptr);
  // The optional error reporter is found among the loaded modules by the
  // bare module name.
  EXPECT_EQ(GetModuleHandleW(u"ErrorReport"), m);
  const struct {
    const char* asked;
    int (*expected)();
  } cases[] = {
      {"_ErrorReport_StartMonitoringProcess@4", &Seven},
      {"ErrorReport_StartMonitoringProcess", &Seven},
      {"_Both@4", &Nine},         // the decorated export wins
      {"_Plain@12", &Seven},
      {"_Plain@", nullptr},       // no digits
      {"_Plain@4x", nullptr},     // not only digits
      {"Plain@4", nullptr},       // no leading underscore
      {"__Plain@4", nullptr},     // "_Plain" is not exported
      {"_@4", nullptr},
      {"_ErrorReport_StopMonitoringProcess@4", nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.asked);
    SetLastError(0);
    FARPROC f = GetProcAddress(m, c.asked);
    EXPECT_EQ(reinterpret_cast<void*>(f), reinterpret_cast<void*>(c.expected));
    if (!c.expected) {
      EXPECT_EQ(GetLastError(), ERROR_PROC_NOT_FOUND);
    }
  }
  EXPECT_TRUE(FreeLibrary(m));

  // A shared object's C names, and the main program's.
  HMODULE libm = LoadLibraryW(u"libm.so.6");
  ASSERT_NE(libm, nullptr);
  EXPECT_EQ(GetProcAddress(libm, "_cos@8"), GetProcAddress(libm, "cos"));
  EXPECT_TRUE(FreeLibrary(libm));
  platform::RegisterMainModuleExport("WuTestMainExport", reinterpret_cast<void*>(&Nine));
  EXPECT_EQ(reinterpret_cast<void*>(GetProcAddress(nullptr, "_WuTestMainExport@0")),
            reinterpret_cast<void*>(&Nine));
  platform::RegisterMainModuleExport("WuTestMainExport", nullptr);
}

}  // namespace
