// CArchive2: reader and writer of "UM" archives (layout in Sfx/UmRecords.h).
//
// One object serves one archive at a time: it is opened with a mode, used,
// closed with Close() and may then be opened again.
//
//   WUARC_MODE_READ     read the directory and extract entries;
//   WUARC_MODE_CREATE   write a new archive (its directory is written by Close);
//   WUARC_MODE_APPEND   add entries; the archive is rewritten into a work copy
//                       "~<name>" beside it, which Close renames over it;
//   WUARC_MODE_DELETE   mark entries and drop them on Close (work copy too);
//   WUARC_MODE_SEA      the source archive of CreateSEA;
//   WUARC_MODE_VOLUMES  split into volume files or merge them (work copy too).
//
// A new archive and a package are written through such a work copy as
// well, so a file that had the name stays whole until Close puts the new
// one in its place. Only its owner may read a work copy while it is
// written; the file it becomes has the permission bits of the file it
// replaces (a new file: those of any new file). An object destroyed while
// open abandons its work copy.
//
// The archive may sit behind a stub program (a self-extracting package): its
// end record is found by scanning the last 32 KB of the file backwards, and
// every stored offset counts from the archive base. Volume files 2..N sit
// beside the first one, named from the stored archive name.
//
// Every failure is reported twice: as a WUARC_ERR_* code to the progress
// object (with the item name set to the operation text, optionally "|" and a
// detail) and as the returned status code. Objects come from zero-filled
// global memory when created with new. One thread uses an object; answers to
// its questions may come from other threads through the progress object.
#pragma once

#include <atomic>
#include <cstddef>
#include <string>
#include <vector>

#include "Sfx/ArchiveCodes.h"
#include "Sfx/ArchiveIo.h"
#include "Sfx/ArchivePath.h"
#include "Sfx/CWuArchiveProgress.h"
#include "Sfx/UmRecords.h"
#include "foundation/WuList.h"
#include "platform/kernel/types.h"

struct tARCENTRY;
struct tARCSTREAM;
struct z_stream_s;

// One entry added to or kept in an archive being written (1,112 bytes).
struct tUMENTRYRECORD {
  tUMLOCALHEADER header;       // the local header as written
  ULONGLONG localOffset;       // offset of the local header
  WCHAR name[kUmNameUnits];    // entry name, '\'-separated, terminated
  WCHAR second[kUmNameUnits];  // second text (empty for entries added here)
};
static_assert(sizeof(tUMENTRYRECORD) == 1112);

// One delete mark per directory index (delete mode).
struct tUMDELETEMARK {
  DWORD mark;           // 1: drop the entry; 0: keep it
  LONGLONG newOffset;   // the kept entry's new local-header offset, -1 when dropped
};

class CArchive2 {
 public:
  CArchive2();
  virtual ~CArchive2();

  static void* operator new(std::size_t bytes) noexcept;
  static void operator delete(void* pointer) noexcept;
  CArchive2(const CArchive2&) = delete;
  CArchive2& operator=(const CArchive2&) = delete;

  // A flag another thread may set to stop the current operation: it is
  // checked wherever the progress object is polled, and stops the
  // operation as a cancel answer does (WUARC_ANSWER_CANCEL). NULL: none.
  // The flag must outlive the operations that check it.
  void SetStopFlag(const std::atomic<bool>* stop) { m_stop = stop; }

  // ---- Opening and closing -----------------------------------------------------------
  HRESULT Open(LPCWSTR path, int mode, CWuArchiveProgress* progress);
  // Writes what the mode leaves to write and puts a rewritten archive in
  // place. 1 when a work copy was dropped because nothing changed.
  HRESULT Close();

  // ---- Directory -----------------------------------------------------------------------
  // Entry count of the end record; -1 when not open.
  LONG GetArchiveCount();
  HRESULT GetEntryName(LONG index, LPWSTR buffer, int size);
  // By exact name (case-insensitive): 0 found, 1 not found (0 written).
  HRESULT GetEntryUncompressedSize(LPCWSTR name, ULONGLONG& size);
  HRESULT GetEntryCompressedSize(LPCWSTR name, ULONGLONG& size);
  HRESULT GetEntryCompressionType(LPCWSTR name, DWORD& method);
  HRESULT GetEntryFileTime(LPCWSTR name, FILETIME& time);
  HRESULT GetEntryCRC32(LPCWSTR name, DWORD& crc);
  HRESULT GetEntryFileAttributes(LPCWSTR name, DWORD& attributes);
  // By directory index: 0; an index out of range writes nothing.
  HRESULT GetEntryUncompressedSize(LONG index, ULONGLONG& size);
  HRESULT GetEntryCompressedSize(LONG index, ULONGLONG& size);
  HRESULT GetEntryCompressionType(LONG index, DWORD& method);
  HRESULT GetEntryFileTime(LONG index, FILETIME& time);
  HRESULT GetEntryCRC32(LONG index, DWORD& crc);
  HRESULT GetEntryFileAttributes(LONG index, DWORD& attributes);
  BOOL IsEntryInArchive(LPCWSTR name);
  // TRUE for an archive behind a stub (base offset above 0).
  BOOL GetArchiveSEAStatus();
  // The number of volume files.
  LONG GetMultiVolumeStatus();
  HRESULT GetCreateTime(FILETIME& time);
  HRESULT GetModifyTime(FILETIME& time);
  // Bytes of the archive file and of volume files 2..N; -1 when not open.
  LONGLONG GetArchiveSize();

  // ---- Sizes, space and extraction -------------------------------------------------------
  HRESULT GetSizeExtractAll(ULONGLONG& size);
  // 1 when short of space, 0 when enough.
  HRESULT IsSpaceForExtractAll(LPCWSTR folder, DWORD flags);
  HRESULT GetSizeExtractEntry(LPCWSTR pattern, ULONGLONG& size, DWORD flags);
  HRESULT GetSizeExtractEntry(LONG first, LONG* count, ULONGLONG& size, DWORD flags);
  HRESULT IsSpaceForExtractEntry(LPCWSTR pattern, LPCWSTR folder, DWORD flags);
  HRESULT IsSpaceForExtractEntry(LONG first, LONG* count, LPCWSTR folder, DWORD flags);
  HRESULT ExtractAll(LPCWSTR folder, DWORD flags);
  // 0 when something was extracted, 1 when nothing matched, negative on failure.
  HRESULT ExtractEntry(LPCWSTR pattern, LPCWSTR folder, DWORD flags);
  HRESULT ExtractEntry(LONG first, LONG* count, LPCWSTR folder, DWORD flags);
  // Checks stored bytes against their CRC.
  HRESULT ValidateEntry(LPCWSTR pattern);
  HRESULT ValidateEntry(LONG index);

  // ---- Writing ---------------------------------------------------------------------------------
  HRESULT AddEntryToArchive(LPCWSTR path, DWORD method, DWORD level, DWORD flags,
                            LPCWSTR storedFolder);
  HRESULT GetSizeAddEntry(LPCWSTR path, ULONGLONG& size, DWORD flags);
  HRESULT GetCountAddEntry(LPCWSTR path, LONG& count, DWORD flags);
  HRESULT IsSpaceForAddEntry(LPCWSTR path, DWORD flags);
  HRESULT AddVolumeComment(LPCWSTR text);
  HRESULT DeleteEntryFromArchive(LPCWSTR pattern, DWORD flags);
  LONG GetEntryDeleteStatus(LONG index);
  BOOL IsDeleteRequested();
  HRESULT AbortDeletionProcess();

  // ---- Packages, volumes, comments ------------------------------------------------------------
  HRESULT GetSizeCreateSEA(LPCWSTR stub, ULONGLONG& size);
  HRESULT IsSpaceForCreateSEA(LPCWSTR output, LPCWSTR stub);
  HRESULT CreateSEA(LPCWSTR output, LPCWSTR stub, DWORD flags);
  HRESULT SplitSEA(LPCWSTR folder, DWORD flags);
  HRESULT SplitArchive(LONGLONG volumeSize, DWORD flags);
  HRESULT GetSizeMerge(ULONGLONG& size);
  HRESULT IsSpaceForMerge();
  HRESULT MergeArchive(DWORD flags);
  HRESULT Annotate(LPCWSTR path, LPCWSTR comment);
  HRESULT GetVolumeComment(LPWSTR buffer, int size);

 private:
  // Open.cpp: state, end record, directory.
  void ResetState();
  void ReleaseAll();
  bool IsOpen() const { return m_archive != nullptr; }
  HRESULT OpenForReading(int mode);
  HRESULT OpenWithWorkCopy(int mode);
  HRESULT ReadEndRecord(HANDLE file);
  bool IsEndRecordCandidate(HANDLE file, ULONGLONG fileSize, ULONGLONG at, const tUMENDRECORD& e);
  HRESULT LoadDirectory(HANDLE file);
  bool DecodeEntryAt(ULONGLONG dirPos, LONG index, tARCENTRY* entry) const;
  HRESULT FindFirst(tARCENTRY* entry);
  HRESULT FindNext(tARCENTRY* entry);
  HRESULT FindByName(LPCWSTR name, tARCENTRY* entry);
  HRESULT BuildOffsetTable();
  bool EntryByIndex(LONG index, tARCENTRY* entry);

  // Reporting.
  HRESULT Fail(HRESULT code, LPCWSTR operation, LPCWSTR detail, HRESULT result);
  // Reports short space on `folder`'s drive for `operation`: the disk-space
  // progress error with the drive's root, then WU_E_NO_SPACE.
  HRESULT FailNoSpace(LPCWSTR operation, LPCWSTR folder);
  void Status(HRESULT code);
  void SetItem(LPCWSTR name);
  void BeginItem(LPCWSTR name, ULONGLONG total, bool nameOnly);
  void AddBytes(ULONGLONG count);
  HRESULT Poll();

  // Extract.cpp.
  HRESULT CheckVolumesPresent();
  HRESULT ExtractOne(const tARCENTRY& entry, LPCWSTR folder, DWORD flags);
  HRESULT ExtractFolderEntry(const tARCENTRY& entry, LPCWSTR folder, DWORD flags);
  HRESULT ExtractFileEntry(const tARCENTRY& entry, LPCWSTR folder, DWORD flags);
  HRESULT MakeParentFolders(LPCWSTR folder, LPCWSTR relative, bool includeLast);
  HRESULT CreateTarget(LPCWSTR target, DWORD flags, HANDLE* out, std::u16string* work);
  HRESULT ExtractInternalNoCompression(const tARCENTRY& entry, HANDLE target, tARCSTREAM* in,
                                       DWORD* readCrc, DWORD* writtenCrc);
  HRESULT ExtractInternalZipCompression(const tARCENTRY& entry, HANDLE target, tARCSTREAM* in,
                                        DWORD* readCrc, DWORD* writtenCrc);
  HRESULT AskOverwrite(LPCWSTR target);
  HRESULT AskOverwriteReadOnly(LPCWSTR target);
  HRESULT AskOverwriteKind(LPCWSTR target, HRESULT* remembered, HRESULT askCode);
  HRESULT OpenStream(ULONGLONG archiveOffset, tARCSTREAM* stream);
  HRESULT ReadStream(tARCSTREAM* stream, BYTE* buffer, DWORD want, DWORD* got);
  void CloseStream(tARCSTREAM* stream);
  bool VolumePath(DWORD n, WCHAR* out, int size) const;
  HRESULT SizeOfMatches(LPCWSTR pattern, ULONGLONG* size);
  HRESULT SizeOfRange(LONG first, LONG count, ULONGLONG* size);
  HRESULT SpaceCheck(ULONGLONG need, LPCWSTR folder, HRESULT missingFolderCode,
                     HRESULT missingFolderResult);
  bool EnsureBuffers();
  bool EnsureInflater();

  // Write.cpp.
  HRESULT AddFolderTree(LPCWSTR folder, int baseLength);
  HRESULT AddFile(LPCWSTR path, int baseLength, LPCWSTR storedFolder);
  HRESULT AddDirectory(LPCWSTR path, int baseLength);
  HRESULT AddWildcard(LPCWSTR path, DWORD flags);
  HRESULT MakeStoredName(LPCWSTR path, int baseLength, LPCWSTR storedFolder, bool folder,
                         WCHAR* name);
  HRESULT AskReplaceExisting(LPCWSTR name);
  HRESULT NoCompressFile(HANDLE file, ULONGLONG size, tUMENTRYRECORD* record);
  HRESULT CompressZipFile(HANDLE file, ULONGLONG size, tUMENTRYRECORD* record);
  HRESULT WriteOutput(const void* data, DWORD count);
  HRESULT AppendRecord(const tUMENTRYRECORD& record);
  HRESULT AddCentralDirectory();
  HRESULT CopyEntries();
  HRESULT AddEndOfCentralDir(ULONGLONG dirOffset);
  HRESULT SubmitDeleteList();
  HRESULT BlockCopy(HANDLE from, ULONGLONG fromOffset, HANDLE to, ULONGLONG toOffset,
                    ULONGLONG count);
  HRESULT WriteSEAStub();
  HRESULT TruncateOutput();
  bool EnsureDeflater(DWORD level);
  bool IsOwnFile(LPCWSTR path) const;
  HRESULT SizeOfAdd(LPCWSTR path, DWORD flags, ULONGLONG* size, LONG* count);

  // Package.cpp.
  HRESULT CopySEAMultiFiles();
  LPCWSTR PackageStoredName() const;
  HRESULT ValidateEntryData(const tARCENTRY& entry);
  HRESULT WriteEndRecordTo(HANDLE file, ULONGLONG fileOffset, const tUMENDRECORD& end,
                           LPCWSTR comment, LPCWSTR name);
  HRESULT DeleteVolumeFiles(DWORD count);
  bool PlaceVolumeFiles();
  void DropVolumeWork();

  HANDLE m_archive;                  // archive file (read side; create mode: its work copy, the output too)
  HANDLE m_output;                   // create: = m_archive; append, delete, volumes: work copy; SEA: package's work copy
  tWULIST* m_entries;                // create/append: tUMENTRYRECORD*; delete: in-place tUMDELETEMARK
  ULONGLONG m_writePos;              // next write, relative to the base
  CWuArchiveProgress* m_progress;    // callbacks, or NULL
  int m_mode;                        // WUARC_MODE_*
  DWORD m_method;                    // method for entries being added
  DWORD m_level;                     // level for entries being added
  tUMENDRECORD m_end;                // the end record as read (and as it will be written)
  WCHAR m_comment[kUmCommentUnits];  // volume comment
  WCHAR m_archiveName[kUmNameUnits]; // stored archive name
  WCHAR m_thirdText[kUmNameUnits];   // third end-record text (never written)
  LONGLONG m_findCursor;             // directory offset of the current record, -1 when none
  LONG m_findIndex;                  // index of the current record
  WCHAR m_path[kArchivePathUnits];   // full path of the archive
  std::u16string m_workPath;         // work copy (create, append, delete, volumes; SEA: package's)
  std::u16string m_replacePath;      // what it replaces: m_path (SEA: m_outputPath), links followed
  WCHAR m_outputPath[kArchivePathUnits];  // SEA: the package that the work copy becomes
  DWORD m_extractFlags;              // flags of the current extraction
  DWORD m_addFlags;                  // flags of the current add
  DWORD m_deleteFlags;               // flags of the last delete request
  ULONGLONG m_base;                  // archive base in the first volume file
  DWORD m_volumeCount;               // volume files
  DWORD m_written;                   // entries written
  HRESULT m_allDecision;             // remembered yes/no-to-all for ordinary targets (0 none)
  HRESULT m_allDecisionReadOnly;     // the same for read-only targets
  BOOL m_changed;                    // the output must replace the archive on close
  ULONGLONG m_totalSize;             // sum of uncompressed sizes
  BOOL m_totalKnown;                 // m_totalSize is computed
  WCHAR m_fileSystem[128];           // file system of the archive's volume
  ULONGLONG* m_offsets;              // directory offset per index (built on first use)
  LONG m_offsetCount;                // records really found for the table
  BOOL m_endValid;                   // m_end was read and checked
  ULONGLONG m_endAt;                 // file offset of the end record
  BYTE* m_dir;                       // the central directory as read
  ULONGLONG m_dirBytes;              // its size
  LONG m_oldCount;                   // entries of the archive as opened
  DWORD m_volumesToDelete;           // merge: volume files 2..N to delete after the rename
  WCHAR m_oldArchiveName[kUmNameUnits];  // merge: stored name before the merge
  struct VolumeWork {
    std::u16string work;             // the new volume, written privately
    std::u16string target;           // the volume file it replaces (links followed)
  };
  std::vector<VolumeWork> m_volumeWork;  // split: new volumes that Close puts in place
  BYTE* m_block;                     // I/O buffer of kArchiveBlockSize + 4 bytes
  BYTE* m_zout;                      // compressor / decompressor output buffer
  z_stream_s* m_inflater;            // reused raw-inflate stream, or NULL
  z_stream_s* m_deflater;            // reused raw-deflate stream, or NULL
  DWORD m_deflaterLevel;             // level m_deflater was made with
  WCHAR m_madeFolder[kArchivePathUnits];  // last folder known to exist during an extraction
  const std::atomic<bool>* m_stop;   // set by another thread: stop at the next poll (or NULL)
  WCHAR m_namePrefix[kArchivePathUnits];  // WUARC_ADD_KEEP_PATH: folder put before every name
};
