// wurc: the resource compiler.
//
// Compiles a resource script into C++ source that registers the resources
// with the program's resource store (platform/kernel/resource.h), and/or into a
// resource file that the store loads as a module (the language resource
// module beside a program). Its second job merges the row files of the
// multilingual string table into one generated table.
//
// The build runs it through cmake/Resources.cmake; `wurc --help` documents
// the script syntax, the resource file format and the row-file syntax.
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "Lexer.h"
#include "Output.h"
#include "Rows.h"
#include "Script.h"

namespace {

const char kUsage[] = R"(usage:
  wurc [--cpp FILE [--module NAME]] [--lng FILE] [--version-section FILE]
       [--depfile FILE] SCRIPT
      --cpp FILE      write C++ source that registers the resources when the
                      program starts, for its main module or, with --module,
                      for a module of that name (GetModuleHandleW finds it)
      --lng FILE      write a resource file (loaded with LoadLibraryW)
      --version-section FILE
                      write C++ source that puts the script's version block
                      (type 16) into the program's section ".wuversion"
      --depfile FILE  write the files read, in make syntax
  wurc --rows --header FILE --include NAME --source FILE ROWFILE...
      merge row files into the multilingual string table: a header declaring
      the rows and a source defining the table; NAME is how the source
      includes the header (e.g. foundation/WuLangRows.h)
  wurc --help
)";

struct Options {
  bool rows = false;
  std::string cpp, module, lng, version_section, depfile, header, include, source;
  std::vector<std::string> inputs;
};

bool TakeValue(int argc, char** argv, int& i, const char* flag, std::string& out) {
  if (std::strcmp(argv[i], flag) != 0) return false;
  if (i + 1 >= argc) throw wurc::Error(std::string(flag) + " needs a value");
  out = argv[++i];
  return true;
}

Options ParseArguments(int argc, char** argv) {
  Options o;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--rows") == 0) {
      o.rows = true;
    } else if (TakeValue(argc, argv, i, "--cpp", o.cpp) ||
               TakeValue(argc, argv, i, "--module", o.module) ||
               TakeValue(argc, argv, i, "--lng", o.lng) ||
               TakeValue(argc, argv, i, "--version-section", o.version_section) ||
               TakeValue(argc, argv, i, "--depfile", o.depfile) ||
               TakeValue(argc, argv, i, "--header", o.header) ||
               TakeValue(argc, argv, i, "--include", o.include) ||
               TakeValue(argc, argv, i, "--source", o.source)) {
    } else if (argv[i][0] == '-' && argv[i][1] == '-') {
      throw wurc::Error(std::string("unknown option ") + argv[i]);
    } else {
      o.inputs.push_back(argv[i]);
    }
  }
  return o;
}

int Run(const Options& o) {
  if (o.rows) {
    if (o.header.empty() || o.source.empty() || o.include.empty() || o.inputs.empty())
      throw wurc::Error("--rows needs --header, --include, --source and row files");
    wurc::GenerateRowTable(o.inputs, o.header, o.include, o.source);
    return 0;
  }
  if (o.inputs.size() != 1) throw wurc::Error("one script expected");
  if (o.cpp.empty() && o.lng.empty() && o.version_section.empty())
    throw wurc::Error("nothing to write: give --cpp, --lng or --version-section");
  if (!o.module.empty() && o.cpp.empty()) throw wurc::Error("--module goes with --cpp");
  wurc::ResourceSet set = wurc::ParseScript(o.inputs[0]);
  if (!o.cpp.empty()) wurc::WriteCppSource(set, o.module, o.inputs[0], o.cpp);
  if (!o.lng.empty()) wurc::WriteResourceFile(set, o.lng);
  if (!o.version_section.empty()) wurc::WriteVersionSection(set, o.inputs[0], o.version_section);
  if (!o.depfile.empty()) {
    const std::string& target =
        !o.cpp.empty() ? o.cpp : !o.lng.empty() ? o.lng : o.version_section;
    wurc::WriteDepFile(o.depfile, target, set.inputs);
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  // Past a file-size limit ("ulimit -f") a write fails, as on a full disk,
  // and the old output stays with no temporary file left, instead of the
  // program ending by SIGXFSZ halfway.
  std::signal(SIGXFSZ, SIG_IGN);
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      std::printf("%s\n%s\n%s\n%s", kUsage, wurc::kScriptHelp, wurc::kResourceFileHelp,
                  wurc::kRowsHelp);
      return 0;
    }
  }
  try {
    return Run(ParseArguments(argc, argv));
  } catch (const std::exception& e) {
    std::fprintf(stderr, "wurc: %s\n", e.what());
    return 1;
  }
}
