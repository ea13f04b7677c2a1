// Hostile packages: packages made by hand to attack the archive reader.
//
// Each package is written byte by byte below (a few bytes of stub, then the
// archive) and kept as a file in tests/Sfx/hostile/, so that the end-to-end
// tests and the fuzzers replay exactly these bytes. The committed files must
// equal what the generator makes; run this test program with
// WU_WRITE_HOSTILE_PACKAGES=1 to write them again after changing a case.
//
// Every committed package is opened and extracted into a fresh folder below
// a fresh parent, in a child process with a time limit (and, outside the
// sanitizer build, a memory limit). The test checks the result codes and
// progress errors, what the target folder holds afterwards, that nothing
// changed beside the target folder, that no escaped file appeared anywhere
// a hostile name could point to, and that a planted link was not followed.
#include <dirent.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "Sfx/CArchive2.h"
#include "Sfx/UmRecords.h"
#include "foundation/WuStatus.h"
#include "tests/Sfx/ArchiveTestUtil.h"

#if defined(__SANITIZE_ADDRESS__)
#define HOSTILE_UNDER_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define HOSTILE_UNDER_ASAN 1
#endif
#endif
#ifdef HOSTILE_UNDER_ASAN
#include <sanitizer/lsan_interface.h>
#endif

namespace archtest {
namespace {

// ---------------------------------------------------------------------------
// The generator
// ---------------------------------------------------------------------------

// The stub in front of every package: a few bytes of our own.
constexpr char kStub[] = "#!/bin/false\n# hostile test package\n";
// The file name that every escaping entry name ends in.
constexpr char kEscaped[] = "escaped-by-package.txt";
// The control archive every package carries first, and the settings in it:
// a package run reads them and then extracts the whole package into
// $(ProgramFiles)/hostile-target, with no setup program to start.
constexpr char16_t kControlName[] = u"sfxctrl.ach";
constexpr char kControlSettings[] =
    "[Vorlundage]\nName=Hostile\nExtractToTemp=0\nSetupApp=no-such-setup\n"
    "DefaultTarget=$(ProgramFiles)/hostile-target\n";

// One entry: its local header and data as written, and its central record.
struct Item {
  std::u16string name;                 // name in the local header and the central record
  std::string stored;                  // data after the local header's texts
  tUMCENTRALRECORD central{};          // central fields (facts, attributes)
  std::u16string second;               // second text (local header and central record)
  std::u16string third;                // third text (central record)
  std::optional<ULONGLONG> localOffset;  // central record's offset, when not the real one
};

// A package written field by field with the record writers of the reader.
class Builder {
 public:
  // A package: the stub, and the control archive as its first entry.
  Builder() { File(kControlName, ControlArchive()); }
  // A bare archive of no entries with `stubText` in front.
  explicit Builder(const char* stubText) : stub(stubText) {}

  // The control archive's bytes: "sfxinst.ini" alone, stored, base 0.
  static std::string ControlArchive() {
    Builder control("");
    control.File(u"sfxinst.ini", kControlSettings);
    return control.Build();
  }

  // Offset of entry `index`'s local header from the archive base.
  ULONGLONG LocalOffsetOf(size_t index) const {
    ULONGLONG at = 0;
    for (size_t n = 0; n < index && n < items.size(); ++n)
      at += kUmLocalHeaderSize + 2 * (items[n].name.size() + items[n].second.size()) +
            items[n].stored.size();
    return at;
  }

  // A file entry; its sizes and CRCs follow from its data.
  Item& File(const std::u16string& name, const std::string& data, DWORD method = 0) {
    Item i;
    i.name = name;
    i.stored = method ? RawDeflate(data, 9) : data;
    tUMENTRYFACTS& f = i.central.facts;
    f.method = method;
    f.level = method ? 9 : 0;
    f.fileTime = FileTimeOf(1577934245);
    f.storedCrc = Crc(i.stored);
    f.dataCrc = Crc(data);
    f.storedSize = i.stored.size();
    f.size = data.size();
    i.central.attributes = 0x80;
    items.push_back(i);
    return items.back();
  }
  Item& Folder(const std::u16string& name) {
    Item& i = File(name, "");
    i.central.attributes = 0x10;
    return i;
  }

  // Stub, entries, central directory, end record and its texts; `edit` may
  // change the end record's fields before it is written.
  std::string Build(const std::function<void(tUMENDRECORD&)>& edit = {}) const {
    std::string out = stub;
    const ULONGLONG base = out.size();
    std::vector<ULONGLONG> offsets;
    for (const Item& i : items) {
      offsets.push_back(out.size() - base);
      tUMLOCALHEADER h{};
      h.signature = kUmLocalSignature;
      h.facts = i.central.facts;
      h.attributes = i.central.attributes;
      h.nameLength = static_cast<DWORD>(i.name.size());
      h.secondLength = static_cast<DWORD>(i.second.size());
      BYTE bytes[kUmLocalHeaderSize];
      UmEncodeLocalHeader(h, bytes);
      Append(out, bytes, sizeof bytes);
      AppendText(out, i.name);
      AppendText(out, i.second);
      out += i.stored;
    }
    const ULONGLONG dir = out.size() - base;
    for (size_t n = 0; n < items.size(); ++n) {
      const Item& i = items[n];
      tUMCENTRALRECORD c = i.central;
      c.signature = kUmCentralSignature;
      c.nameLength = static_cast<DWORD>(i.name.size());
      c.secondLength = static_cast<DWORD>(i.second.size());
      c.thirdLength = static_cast<DWORD>(i.third.size());
      c.localOffset = i.localOffset ? *i.localOffset : offsets[n];
      BYTE bytes[kUmCentralRecordSize];
      UmEncodeCentralRecord(c, bytes);
      Append(out, bytes, sizeof bytes);
      AppendText(out, i.name);
      AppendText(out, i.second);
      AppendText(out, i.third);
    }
    tUMENDRECORD e{};
    e.signature = kUmEndSignature;
    e.volumeCount = 1;
    e.entryCount = e.entryCount2 = static_cast<DWORD>(items.size());
    e.dirSize = out.size() - base - dir;
    e.dirOffset = dir;
    e.baseOffset = base;
    e.commentLength = static_cast<DWORD>(comment.size());
    e.nameLength = static_cast<DWORD>(archiveName.size());
    e.thirdLength = static_cast<DWORD>(thirdText.size());
    if (edit) edit(e);
    BYTE bytes[kUmEndRecordSize];
    UmEncodeEndRecord(e, bytes);
    Append(out, bytes, sizeof bytes);
    AppendText(out, comment);
    AppendText(out, archiveName);
    AppendText(out, thirdText);
    return out;
  }

  std::string stub = kStub;                        // bytes in front of the archive
  std::vector<Item> items;
  std::u16string comment, archiveName, thirdText;  // end record texts

  static void Append(std::string& out, const BYTE* bytes, size_t n) {
    out.append(reinterpret_cast<const char*>(bytes), n);
  }
  static void AppendText(std::string& out, const std::u16string& text) {
    std::string bytes(2 * text.size(), '\0');
    UmEncodeText(text.data(), static_cast<DWORD>(text.size()), reinterpret_cast<BYTE*>(bytes.data()));
    out += bytes;
  }
};

// An end record standing alone (for false end records in trailing data).
std::string LoneEndRecord(const tUMENDRECORD& e) {
  BYTE bytes[kUmEndRecordSize];
  UmEncodeEndRecord(e, bytes);
  return std::string(reinterpret_cast<const char*>(bytes), sizeof bytes);
}

std::u16string Escaping(const std::u16string& prefix) {
  return prefix + U16(kEscaped);
}

// A package with a harmless entry followed by one under a hostile name.
std::string WithHostileName(const std::u16string& name, DWORD attributes = 0x80) {
  Builder b;
  b.File(u"fine.txt", "ok");
  Item& i = b.File(name, "evil");
  i.central.attributes = attributes;
  return b.Build();
}

// Six entries (the control archive and five files) whose fourth central
// record is damaged by `damage`, given the record's bytes. The walk must
// not read the record as the end of the directory.
std::string WithDamagedFourthRecord(const std::function<void(BYTE* record)>& damage) {
  Builder b;
  for (const char16_t* name : {u"one.txt", u"two.txt", u"three.txt", u"four.txt", u"five.txt"})
    b.File(name, "payload");
  std::string bytes = b.Build();
  // The package's central records are the last six of that signature (the
  // control archive, stored first, holds one of its own).
  const char signature[] = {'U', 'M', 0x01, 0x0B};  // kUmCentralSignature, little-endian
  std::vector<size_t> records;
  for (size_t at = bytes.find(signature, 0, 4); at != std::string::npos;
       at = bytes.find(signature, at + 1, 4))
    records.push_back(at);
  damage(reinterpret_cast<BYTE*>(bytes.data()) + records[records.size() - 6 + 3]);
  return bytes;
}

// A control archive of two entries whose second central record lacks its
// signature: a walk that stopped there would read the settings and go on.
std::string DamagedControlArchive() {
  Builder control("");
  control.File(u"sfxinst.ini", kControlSettings);
  control.File(u"notes.txt", "notes");
  std::string bytes = control.Build();
  bytes[bytes.rfind(std::string("UM\x01\x0B", 4))] ^= 0xFF;
  return bytes;
}

// ---------------------------------------------------------------------------
// The cases
// ---------------------------------------------------------------------------

// What a target folder holds: a path relative to it, then the file's bytes,
// "<folder>" or "<link>".
using Tree = std::map<std::string, std::string>;

struct Hostile {
  const char* file;                      // file name in tests/Sfx/hostile/
  std::function<std::string()> make;     // the package bytes
  HRESULT open;                          // result of Open
  HRESULT extract;                       // result of ExtractAll (when opened)
  std::vector<HRESULT> errors;           // progress errors, in order
  Tree target;                           // the target folder afterwards
  DWORD flags = 0;                       // extraction flags
  std::vector<HRESULT> answers = {};     // answers to overwrite questions
  int asked = 0;                         // overwrite questions expected
  std::function<void(const std::string& parent)> plant = {};  // before extraction
};

const std::string kZeros1k(1024, '\0');

// A target tree that also holds the control archive: every extraction that
// writes anything writes it first.
Tree WithControl(Tree tree) {
  tree[U8(kControlName)] = Builder::ControlArchive();
  return tree;
}

std::vector<Hostile> Cases() {
  const Tree fine = WithControl({{"fine.txt", "ok"}});
  const std::vector<HRESULT> badName = {WUARC_ERR_INVALID_ARG};
  std::vector<Hostile> cases = {
      // Names that leave the target folder.
      {"dotdot.pkg", [] { return WithHostileName(Escaping(u"..\\..\\")); },
       S_OK, WU_E_BAD_FILE_NAME, badName, fine},
      {"dotdot-inner.pkg", [] { return WithHostileName(Escaping(u"docs\\..\\..\\")); },
       S_OK, WU_E_BAD_FILE_NAME, badName, fine},
      {"dotdot-slash.pkg", [] { return WithHostileName(Escaping(u"docs/../../")); },
       S_OK, WU_E_BAD_FILE_NAME, badName, fine},
      {"dotdot-folder.pkg", [] { return WithHostileName(u"..\\escaped-folder\\", 0x10); },
       S_OK, WU_E_BAD_FILE_NAME, badName, fine},
      {"absolute-backslash.pkg", [] { return WithHostileName(Escaping(u"\\")); },
       S_OK, WU_E_BAD_FILE_NAME, badName, fine},
      {"absolute-slash.pkg", [] { return WithHostileName(Escaping(u"/tmp/")); },
       S_OK, WU_E_BAD_FILE_NAME, badName, fine},
      {"drive.pkg", [] { return WithHostileName(Escaping(u"C:\\")); },
       S_OK, WU_E_BAD_FILE_NAME, badName, fine},
      {"drive-relative.pkg", [] { return WithHostileName(Escaping(u"C:")); },
       S_OK, WU_E_BAD_FILE_NAME, badName, fine},
      {"unc.pkg", [] { return WithHostileName(Escaping(u"\\\\server\\share\\")); },
       S_OK, WU_E_BAD_FILE_NAME, badName, fine},
      // A NUL inside a name must not shorten it to something harmless-looking.
      {"nul-in-name.pkg",
       [] { return WithHostileName(std::u16string(u"nul.txt\0\\..\\..\\", 15) + U16(kEscaped)); },
       S_OK, WU_E_BAD_FILE_NAME, badName, fine},

      // Two names for one file: the second meets the first as an existing
      // file and is asked about (answered "no" here).
      {"separator-twins.pkg",
       [] {
         Builder b;
         b.File(u"dir\\twin.txt", "first");
         b.File(u"dir/twin.txt", "second");
         return b.Build();
       },
       S_OK, 0, {}, WithControl({{"dir", "<folder>"}, {"dir/twin.txt", "first"}}), 0, {WUARC_ANSWER_NO}, 1},

      // Links planted in the target before extraction.
      {"planted-link-folder.pkg",
       [] {
         Builder b;
         b.File(u"linkdir\\payload.txt", "evil");
         return b.Build();
       },
       S_OK, WU_E_CREATE_FILE, {WUARC_ERR_CREATE}, WithControl({{"linkdir", "<link>"}}), 0, {}, 0,
       [](const std::string& parent) {
         mkdir((parent + "/outside").c_str(), 0755);
         symlink((parent + "/outside").c_str(), (parent + "/target/linkdir").c_str());
       }},
      {"planted-link-file.pkg",
       [] {
         Builder b;
         b.File(u"linkfile.txt", "evil");
         return b.Build();
       },
       S_OK, WU_E_CREATE_FILE, {WUARC_ERR_CREATE}, WithControl({{"linkfile.txt", "<link>"}}),
       WUARC_EXTRACT_NO_ASK, {}, 0,
       [](const std::string& parent) {
         mkdir((parent + "/outside").c_str(), 0755);
         PutFile(parent + "/outside/victim.txt", "precious");
         symlink((parent + "/outside/victim.txt").c_str(), (parent + "/target/linkfile.txt").c_str());
       }},

      // A folder entry and a file entry of the same name, in both orders.
      {"folder-then-file.pkg",
       [] {
         Builder b;
         b.Folder(u"same\\");
         b.File(u"same", "file");
         return b.Build();
       },
       S_OK, WU_E_CREATE_FILE, {WUARC_ERR_CREATE}, WithControl({{"same", "<folder>"}})},
      {"file-then-folder.pkg",
       [] {
         Builder b;
         b.File(u"same", "file");
         b.Folder(u"same\\");
         b.File(u"same\\inner.txt", "inner");
         return b.Build();
       },
       S_OK, WU_E_CREATE_FILE, {WUARC_ERR_CREATE}, WithControl({{"same", "file"}})},

      // End records that point outside the file: they are not taken, and
      // with no other end record the package is refused.
      {"end-directory-outside.pkg",
       [] {
         Builder b;
         b.File(u"fine.txt", "ok");
         return b.Build([](tUMENDRECORD& e) { e.dirOffset = 1ULL << 40; });
       },
       WU_E_BAD_SIGNATURE, 0, {WUARC_ERR_SIGNATURE}, {}},
      {"end-base-outside.pkg",
       [] {
         Builder b;
         b.File(u"fine.txt", "ok");
         return b.Build([](tUMENDRECORD& e) { e.baseOffset = ~0ULL - 16; });
       },
       WU_E_BAD_SIGNATURE, 0, {WUARC_ERR_SIGNATURE}, {}},
      {"end-directory-size-outside.pkg",
       [] {
         Builder b;
         b.File(u"fine.txt", "ok");
         return b.Build([](tUMENDRECORD& e) { e.dirSize = 1ULL << 40; });
       },
       WU_E_BAD_SIGNATURE, 0, {WUARC_ERR_SIGNATURE}, {}},
      // A local-header offset that wraps around when the name is added.
      {"local-offset-wraps.pkg",
       [] {
         Builder b;
         b.File(u"fine.txt", "ok");
         b.File(u"wrap.bin", Text(2000)).localOffset = ~0ULL - 63;
         return b.Build();
       },
       S_OK, WU_E_READ, {WUARC_ERR_READ}, fine},

      // Four billion entries announced by a small directory.
      {"count-4-billion.pkg",
       [] {
         Builder b;
         b.File(u"fine.txt", "ok");
         return b.Build([](tUMENDRECORD& e) { e.entryCount = e.entryCount2 = 0xFFFFFFFF; });
       },
       WU_E_BAD_SIGNATURE, 0, {WUARC_ERR_SIGNATURE}, {}},

      // Entries sharing bytes: two records over one local header extract
      // alike; an entry whose data runs into the directory is a read failure.
      {"overlapping.pkg",
       [] {
         Builder b;
         b.File(u"one.txt", Text(3000));
         const ULONGLONG one = b.LocalOffsetOf(1);
         b.File(u"two.txt", Text(3000)).localOffset = one;
         Item& six = b.File(u"six.bin", Noise(100));
         six.central.facts.storedSize = six.central.facts.size = 600;
         return b.Build();
       },
       S_OK, WU_E_READ, {WUARC_ERR_READ},
       WithControl({{"one.txt", Text(3000)}, {"two.txt", Text(3000)}, {"six.bin", Noise(100)}})},

      // A deflate bomb: 64 MB of zeros recorded as 1 KB. Nothing past the
      // recorded size is written.
      {"deflate-bomb.pkg",
       [] {
         Builder b;
         Item& bomb = b.File(u"bomb.bin", kZeros1k, 1);
         bomb.stored = RawDeflate(std::string(64 << 20, '\0'), 9);
         bomb.central.facts.storedSize = bomb.stored.size();
         bomb.central.facts.storedCrc = Crc(bomb.stored);
         return b.Build();
       },
       S_OK, WU_E_BAD_DATA, {WUARC_ERR_CRC}, WithControl({{"bomb.bin", ""}})},
      // Recorded sizes that no disk holds, alone or as a sum that wraps
      // around 2^64: refused before anything is written.
      {"huge-recorded-size.pkg",
       [] {
         Builder b;
         b.File(u"huge.bin", kZeros1k, 1).central.facts.size = 1ULL << 50;
         return b.Build();
       },
       S_OK, WU_E_NO_SPACE, {WUARC_ERR_DISK_SPACE}, {}},
      {"size-sum-wraps.pkg",
       [] {
         Builder b;
         b.File(u"half1.bin", kZeros1k, 1).central.facts.size = 1ULL << 63;
         b.File(u"half2.bin", kZeros1k, 1).central.facts.size = 1ULL << 63;
         return b.Build();
       },
       S_OK, WU_E_NO_SPACE, {WUARC_ERR_DISK_SPACE}, {}},

      // Volume counts whose volume files are not there.
      {"missing-volumes.pkg",
       [] {
         Builder b;
         b.archiveName = u"hostile.um";
         b.File(u"fine.txt", "ok");
         return b.Build([](tUMENDRECORD& e) { e.volumeCount = 3; });
       },
       S_OK, WU_E_BAD_DATA, {WUARC_ERR_VOLUME_MISSING}, {}},
      {"volume-count-4-billion.pkg",
       [] {
         Builder b;
         b.archiveName = u"..\\..\\hostile.um";
         b.File(u"fine.txt", "ok");
         return b.Build([](tUMENDRECORD& e) { e.volumeCount = 0xFFFFFFFF; });
       },
       S_OK, WU_E_BAD_DATA, {WUARC_ERR_VOLUME_MISSING}, {}},

      // False end records in trailing data (one pointing outside the file,
      // one whose directory holds no central record) are passed over.
      {"false-end-in-trailing-data.pkg",
       [] {
         Builder b;
         b.File(u"fine.txt", "ok");
         std::string pkg = b.Build();
         tUMENDRECORD outside{kUmEndSignature, 1, 0, 1, 1, 84, 1ULL << 32, 0, 0, 0, 0};
         tUMENDRECORD noCentral{kUmEndSignature, 1, 0, 1, 1, 84, 0, sizeof kStub - 1, 0, 0, 0};
         return pkg + Noise(1000, 7) + LoneEndRecord(outside) + Noise(300, 8) +
                LoneEndRecord(noCentral) + Noise(200, 9);
       },
       S_OK, 0, {}, fine},
      // A whole archive in trailing data is the last end record and wins;
      // its entries obey the same name rules.
      {"false-archive-in-trailing-data.pkg",
       [] {
         Builder real;
         real.File(u"real.txt", "real");
         std::string pkg = real.Build();
         Builder decoy;
         decoy.File(u"decoy.txt", "decoy");
         decoy.File(Escaping(u"..\\"), "evil");
         std::string fake = decoy.Build();
         // The decoy's stub is replaced by the real package: its base becomes
         // the real package's size.
         std::string tail = fake.substr(sizeof kStub - 1);
         ULONGLONG base = pkg.size();
         size_t end = tail.rfind("UM\x05\x0C");
         UmPut64(reinterpret_cast<BYTE*>(tail.data()) + end + 36, base);
         return pkg + tail;
       },
       S_OK, WU_E_BAD_FILE_NAME, badName, WithControl({{"decoy.txt", "decoy"}})},

      // Texts longer than their limits: the excess is read past.
      {"long-texts.pkg",
       [] {
         Builder b;
         b.comment = std::u16string(2000, u'c');
         b.archiveName = std::u16string(400, u'n');
         b.thirdText = std::u16string(300, u't');
         Item& i = b.File(u"kept.txt", "kept");
         i.second = std::u16string(600, u's');
         i.third = std::u16string(700, u'u');
         b.File(u"after.txt", "after");
         return b.Build();
       },
       S_OK, 0, {}, WithControl({{"kept.txt", "kept"}, {"after.txt", "after"}})},
      // An entry name longer than 259 units is refused rather than cut.
      // A damaged central directory (a record's signature, or a text
      // length that runs past the directory) is a damaged package: it does
      // not open, so no part of it is extracted as if it were all.
      {"damaged-record-signature.pkg",
       [] { return WithDamagedFourthRecord([](BYTE* r) { r[0] ^= 0xFF; }); },
       WU_E_BAD_SIGNATURE, 0, {WUARC_ERR_SIGNATURE}, {}},
      {"damaged-record-name-length.pkg",
       [] { return WithDamagedFourthRecord([](BYTE* r) { UmPut32(r + 52, 0xFFFFFFFF); }); },
       WU_E_BAD_SIGNATURE, 0, {WUARC_ERR_SIGNATURE}, {}},
      {"damaged-record-third-length.pkg",
       [] { return WithDamagedFourthRecord([](BYTE* r) { UmPut32(r + 60, 0x7FFFFFFF); }); },
       WU_E_BAD_SIGNATURE, 0, {WUARC_ERR_SIGNATURE}, {}},
      // The package is sound but its control archive's directory is not:
      // the package extracts (the control archive is one stored file);
      // opening the control archive itself fails (the run stops there).
      {"damaged-control-directory.pkg",
       [] {
         Builder b(kStub);
         b.File(kControlName, DamagedControlArchive());
         b.File(u"fine.txt", "ok");
         return b.Build();
       },
       S_OK, 0, {}, {{U8(kControlName), DamagedControlArchive()}, {"fine.txt", "ok"}}},
      {"long-entry-name.pkg",
       [] {
         std::u16string name;
         for (int i = 0; i < 7; ++i) name += std::u16string(40, static_cast<char16_t>(u'a' + i)) + u"\\";
         return WithHostileName(name + u"tail.txt");
       },
       S_OK, WU_E_BAD_FILE_NAME, badName, fine},
  };
  return cases;
}

// ---------------------------------------------------------------------------
// Replaying a package in a child process
// ---------------------------------------------------------------------------

constexpr unsigned kChildSeconds = 30;          // time limit of one replay
constexpr rlim_t kChildExtraData = 256 << 20;   // memory a replay may add

// What the child reports, one value per line.
struct Outcome {
  HRESULT open = 0;
  HRESULT extract = 0;
  std::vector<HRESULT> errors;
  int asked = 0;
  int commentLength = -1;
  int leaks = 0;
};

std::string Serialize(const Outcome& o) {
  std::string s = std::to_string(o.open) + " " + std::to_string(o.extract) + " " +
                  std::to_string(o.asked) + " " + std::to_string(o.commentLength) + " " +
                  std::to_string(o.leaks) + " " + std::to_string(o.errors.size());
  for (HRESULT e : o.errors) s += " " + std::to_string(e);
  return s;
}

bool Deserialize(const std::string& s, Outcome* o) {
  std::istringstream in(s);
  size_t n = 0;
  if (!(in >> o->open >> o->extract >> o->asked >> o->commentLength >> o->leaks >> n)) return false;
  o->errors.resize(n);
  for (HRESULT& e : o->errors)
    if (!(in >> e)) return false;
  return true;
}

// Limits the data segment to what the process uses now plus a margin.
void LimitMemory() {
#ifndef HOSTILE_UNDER_ASAN
  FILE* f = fopen("/proc/self/statm", "r");
  unsigned long size = 0, resident = 0, shared = 0, text = 0, lib = 0, data = 0;
  if (!f) return;
  int got = fscanf(f, "%lu %lu %lu %lu %lu %lu", &size, &resident, &shared, &text, &lib, &data);
  fclose(f);
  if (got != 6) return;
  rlim_t limit = static_cast<rlim_t>(data) * static_cast<rlim_t>(sysconf(_SC_PAGESIZE)) +
                 kChildExtraData;
  struct rlimit r = {limit, limit};
  setrlimit(RLIMIT_DATA, &r);
#endif
}

// Opens the package, lists it and extracts everything into `target`.
Outcome ReplayHere(const Hostile& c, const std::string& package, const std::string& target) {
  Outcome o;
  ScriptedProgress progress;
  progress.answers.assign(c.answers.begin(), c.answers.end());
  CArchive2 a;
  o.open = a.Open(U16(package).c_str(), WUARC_MODE_READ, &progress);
  if (o.open == S_OK) {
    LONG count = a.GetArchiveCount();
    WCHAR name[kUmNameUnits];
    for (LONG i = 0; i < count && i < 1000; ++i) a.GetEntryName(i, name, kUmNameUnits);
    WCHAR comment[kUmCommentUnits];
    if (a.GetVolumeComment(comment, kUmCommentUnits) == 0)
      o.commentLength = static_cast<int>(std::u16string(comment).size());
    a.GetArchiveSize();
    progress.errors.clear();  // listing errors (a missing volume) are not the extraction's
    o.extract = a.ExtractAll(U16(target).c_str(), c.flags);
    a.Close();
  }
  o.errors = progress.errors;
  o.asked = static_cast<int>(progress.asked.size());
  return o;
}

// Runs ReplayHere in a child with a time and memory limit. False (with a
// message) when the child did not report.
bool Replay(const Hostile& c, const std::string& package, const std::string& target, Outcome* o,
            std::string* why) {
  int fds[2];
  if (pipe(fds) != 0) {
    *why = "no pipe";
    return false;
  }
  fflush(nullptr);
  pid_t pid = fork();
  if (pid == 0) {
    close(fds[0]);
    alarm(kChildSeconds);
    LimitMemory();
    Outcome mine = ReplayHere(c, package, target);
#ifdef HOSTILE_UNDER_ASAN
    mine.leaks = __lsan_do_recoverable_leak_check();
#endif
    std::string text = Serialize(mine);
    ssize_t ignored = write(fds[1], text.data(), text.size());
    (void)ignored;
    _exit(0);
  }
  close(fds[1]);
  std::string text;
  char buffer[512];
  for (ssize_t n; (n = read(fds[0], buffer, sizeof buffer)) > 0;) text.append(buffer, n);
  close(fds[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  if (WIFSIGNALED(status)) {
    *why = "the replay was ended by signal " + std::to_string(WTERMSIG(status)) +
           (WTERMSIG(status) == SIGALRM ? " (time limit)" : "");
    return false;
  }
  if (!Deserialize(text, o)) {
    *why = "the replay reported nothing (status " + std::to_string(status) + ")";
    return false;
  }
  return true;
}

// ---------------------------------------------------------------------------
// Looking at folders
// ---------------------------------------------------------------------------

// Everything below `folder` (links not followed): path -> bytes, "<folder>"
// or "<link>". Entries under `skip` (a path relative to folder) are left out.
void ListInto(const std::string& folder, const std::string& prefix, const std::string& skip,
              Tree* tree) {
  DIR* d = opendir(folder.c_str());
  if (!d) return;
  while (dirent* e = readdir(d)) {
    std::string name = e->d_name;
    if (name == "." || name == "..") continue;
    std::string rel = prefix + name;
    if (rel == skip) continue;
    std::string full = folder + "/" + name;
    struct stat st;
    if (lstat(full.c_str(), &st) != 0) continue;
    if (S_ISLNK(st.st_mode)) {
      (*tree)[rel] = "<link>";
    } else if (S_ISDIR(st.st_mode)) {
      (*tree)[rel] = "<folder>";
      ListInto(full, rel + "/", skip, tree);
    } else {
      (*tree)[rel] = GetFile(full);
    }
  }
  closedir(d);
}

Tree List(const std::string& folder, const std::string& skip = "") {
  Tree tree;
  ListInto(folder, "", skip, &tree);
  return tree;
}

// The committed corpus, beside this source file.
std::string CorpusFolder() {
  return SFX_HOSTILE_CORPUS;
}

// Places a hostile name could reach when joined to a target below `parent`.
std::vector<std::string> EscapeSpots(const std::string& parent) {
  std::string up = parent.substr(0, parent.rfind('/'));
  return {parent + "/" + kEscaped, up + "/" + kEscaped, parent + "/target/" + kEscaped,
          "/tmp/" + std::string(kEscaped), "/" + std::string(kEscaped),
          "//server/share/" + std::string(kEscaped), wutest::StateRoot() + "/" + kEscaped};
}

// ---------------------------------------------------------------------------
// Tests
// ---------------------------------------------------------------------------

// The committed files are exactly what the generator writes (and the
// generator writes them on request), so the corpus stays reproducible.
TEST(HostilePackagesTest, CommittedCorpusMatchesTheGenerator) {
  const std::string folder = CorpusFolder();
  const char* write = getenv("WU_WRITE_HOSTILE_PACKAGES");
  if (write && *write == '1') {
    mkdir(folder.c_str(), 0755);
    for (const Hostile& c : Cases()) PutFile(folder + "/" + c.file, c.make());
  }
  size_t packages = 0;
  for (const Hostile& c : Cases()) {
    SCOPED_TRACE(c.file);
    std::string committed = GetFile(folder + "/" + c.file);
    EXPECT_TRUE(committed == c.make()) << "regenerate with WU_WRITE_HOSTILE_PACKAGES=1";
    EXPECT_EQ(0, committed.compare(0, sizeof kStub - 1, kStub)) << "a package starts with the stub";
    EXPECT_LT(committed.size(), 256u * 1024) << "packages stay small";
    ++packages;
  }
  // Every package in the folder comes from the generator.
  size_t onDisk = 0;
  for (const auto& [name, bytes] : List(folder))
    onDisk += name.size() > 4 && name.compare(name.size() - 4, 4, ".pkg") == 0;
  EXPECT_EQ(packages, onDisk);
}

// Every committed package is refused or handled as its case says, in
// bounded time and memory, with nothing written outside the target.
TEST(HostilePackagesTest, EveryPackageIsRefusedOrHandledSafely) {
  const std::string folder = CorpusFolder();
  const std::string scratch = wutest::MakeTempDir("hostile");
  ASSERT_FALSE(scratch.empty());
  for (const Hostile& c : Cases()) {
    SCOPED_TRACE(c.file);
    // The package is replayed from a copy, so that volume files are looked
    // for beside the copy and nothing is written into the source tree.
    std::string copyFolder = wutest::MakeTempDir("copy");
    std::string package = copyFolder + "/" + c.file;
    PutFile(package, GetFile(folder + "/" + c.file));
    std::string parent = wutest::MakeTempDir("parent");
    std::string target = parent + "/target";
    ASSERT_EQ(0, mkdir(target.c_str(), 0755));
    if (c.plant) c.plant(parent);
    const Tree besideBefore = List(parent, "target");
    const Tree copyBefore = List(copyFolder);

    Outcome o;
    std::string why;
    ASSERT_TRUE(Replay(c, package, target, &o, &why)) << why;

    EXPECT_EQ(c.open, o.open);
    if (c.open == S_OK) {
      EXPECT_EQ(c.extract, o.extract);
    }
    EXPECT_EQ(c.errors, o.errors);
    EXPECT_EQ(c.asked, o.asked);
    EXPECT_EQ(0, o.leaks) << "the replay leaked memory";
    EXPECT_EQ(c.target, List(target));
    EXPECT_EQ(besideBefore, List(parent, "target")) << "something changed beside the target";
    EXPECT_EQ(copyBefore, List(copyFolder)) << "something was written beside the package";
    for (const std::string& spot : EscapeSpots(parent)) EXPECT_FALSE(Exists(spot)) << spot;
    if (std::string(c.file) == "long-texts.pkg") {
      EXPECT_EQ(kUmMaxCommentLength, o.commentLength);
    }
  }
}

}  // namespace
}  // namespace archtest
