// A stand-in for a package's setup program. It records what it was given
// into the file named by SFX_STANDIN_RECORD, one fact a line:
//   pid=<process id>
//   arg=<argument>                  one line per argument after the program
//   folder=<its own folder>
//   file=<path below its folder>    every file it sees there, sorted
// then, when SFX_STANDIN_READONLY names a folder, leaves that folder in its
// own folder holding a file and a sub-folder with a file, both folders
// read-only (mode 555, as some tools leave their caches); then, when
// SFX_STANDIN_SLEEP is set, sleeps that many seconds, and exits with the
// code in SFX_STANDIN_EXIT (default 0).
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;

int main(int argc, char** argv) {
  const char* record = std::getenv("SFX_STANDIN_RECORD");
  fs::path self = fs::weakly_canonical(fs::path(argv[0]));
  fs::path folder = self.parent_path();
  std::vector<std::string> files;
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(folder, ec); !ec && it != fs::end(it);
       it.increment(ec))
    if (it->is_regular_file()) files.push_back(fs::relative(it->path(), folder).string());
  std::sort(files.begin(), files.end());
  if (record) {
    std::string text = "pid=" + std::to_string(getpid()) + "\n";
    for (int i = 1; i < argc; ++i) text += std::string("arg=") + argv[i] + "\n";
    text += "folder=" + folder.string() + "\n";
    for (const std::string& f : files) text += "file=" + f + "\n";
    // Written under a second name and renamed: a reader never sees half.
    std::string partial = std::string(record) + ".part";
    if (FILE* out = std::fopen(partial.c_str(), "w")) {
      std::fwrite(text.data(), 1, text.size(), out);
      std::fclose(out);
      std::rename(partial.c_str(), record);
    }
  }
  if (const char* name = std::getenv("SFX_STANDIN_READONLY")) {
    fs::path kept = folder / name;
    fs::create_directories(kept / "sub", ec);
    for (const fs::path& file : {kept / "file.dat", kept / "sub" / "file.dat"})
      if (FILE* out = std::fopen(file.c_str(), "w")) std::fclose(out);
    const fs::perms mode = fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                           fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec;
    fs::permissions(kept / "sub", mode, ec);
    fs::permissions(kept, mode, ec);
  }
  if (const char* sleep_s = std::getenv("SFX_STANDIN_SLEEP")) sleep(std::atoi(sleep_s));
  const char* code = std::getenv("SFX_STANDIN_EXIT");
  return code ? std::atoi(code) : 0;
}
