// Codes, modes and flags of the archive object and its progress callbacks.
//
// Progress error codes go to CWuArchiveProgress::ReportError with the item
// name set to the operation text (optionally "|" and a detail); status
// codes go to CWuArchiveProgress::ReportStatus.
#pragma once

#include "foundation/WuStatus.h"
#include "platform/kernel/types.h"

// ---- Progress error codes ------------------------------------------------------
constexpr HRESULT WUARC_ERR_INVALID_ARG = WuStatusCode(0xAAAAAAA0);    // bad argument or target folder missing
constexpr HRESULT WUARC_ERR_NOT_OPEN = WuStatusCode(0xAAAAAAA1);       // not open, wrong or unknown mode
constexpr HRESULT WUARC_ERR_CREATE = WuStatusCode(0xAAAAAAA2);         // a file cannot be created
constexpr HRESULT WUARC_ERR_MEMORY = WuStatusCode(0xAAAAAAA3);         // out of memory
constexpr HRESULT WUARC_ERR_OPEN = WuStatusCode(0xAAAAAAA4);           // a file cannot be opened
constexpr HRESULT WUARC_ERR_SIGNATURE = WuStatusCode(0xAAAAAAA5);      // no end record or no central record
constexpr HRESULT WUARC_ERR_COPY = WuStatusCode(0xAAAAAAA6);           // block copy incomplete, or empty source
constexpr HRESULT WUARC_ERR_BUFFER = WuStatusCode(0xAAAAAAA7);         // buffer too small, or empty pattern
constexpr HRESULT WUARC_ERR_DISK_SPACE = WuStatusCode(0xAAAAAAA8);     // out of disk space (detail: drive root)
constexpr HRESULT WUARC_ERR_WRITE = WuStatusCode(0xAAAAAAA9);          // write, compressor or decompressor failure
constexpr HRESULT WUARC_ERR_READ = WuStatusCode(0xAAAAAAAA);           // read failure
constexpr HRESULT WUARC_ERR_FILE_TIME = WuStatusCode(0xAAAAAAAB);      // times of a file cannot be read
constexpr HRESULT WUARC_ERR_NO_WILDCARD = WuStatusCode(0xAAAAAAAC);    // a wildcard pattern without a wildcard
constexpr HRESULT WUARC_ERR_VOLUME_MISSING = WuStatusCode(0xAAAAAAAD); // a volume file is missing (detail: path)
constexpr HRESULT WUARC_ERR_NO_FILE = WuStatusCode(0xAAAAAAAE);        // the archive file does not exist
constexpr HRESULT WUARC_ERR_CRC = WuStatusCode(0xAAAAAAAF);            // CRC mismatch or damaged data
constexpr HRESULT WUARC_ERR_NO_ARCHIVE = WuStatusCode(0xAAAAAAB0);     // no archive file, or too few volumes

// ---- Progress status codes -----------------------------------------------------
constexpr HRESULT WUARC_STATUS_ENTRY_DONE = 0x00000000;      // the current entry's data is finished
constexpr HRESULT WUARC_STATUS_EXTRACTING = 0x0AAAAAA0;      // extracting a file (item = entry name)
constexpr HRESULT WUARC_STATUS_ADDING = 0x0AAAAAA1;          // compressing or storing a file being added
constexpr HRESULT WUARC_STATUS_DROPPED = 0x0AAAAAA3;         // an entry is dropped by a delete
constexpr HRESULT WUARC_STATUS_ASK = 0x0AAAAAA4;             // the target exists: ask
constexpr HRESULT WUARC_STATUS_SKIPPED = 0x0AAAAAA5;         // the target is skipped
constexpr HRESULT WUARC_STATUS_OVERWRITTEN = 0x0AAAAAA6;     // the target is overwritten
constexpr HRESULT WUARC_STATUS_COPYING = 0x0AAAAAA7;         // copying stub, kept entries, volumes
constexpr HRESULT WUARC_STATUS_VALIDATING = 0x0AAAAAA8;      // validating an entry
constexpr HRESULT WUARC_STATUS_ASK_READONLY = 0x0AAAAAA9;    // the target exists and is read-only: ask
constexpr HRESULT WUARC_STATUS_ITEM_BEGUN = 0x0AAAAAAE;      // an item has begun (progress base class)
constexpr HRESULT WUARC_STATUS_FINISHED = 0x0AAAAAAF;        // the whole operation is finished

// ---- Answers kept in the progress object's state ------------------------------------
constexpr HRESULT WUARC_ANSWER_NONE = 0;        // no answer (taken as "overwrite" / "continue")
constexpr HRESULT WUARC_ANSWER_YES = 1;         // overwrite this one
constexpr HRESULT WUARC_ANSWER_NO = 2;          // skip this one
constexpr HRESULT WUARC_ANSWER_YES_ALL = 3;     // overwrite this and every later one
constexpr HRESULT WUARC_ANSWER_NO_ALL = 4;      // skip this and every later one
constexpr HRESULT WUARC_ANSWER_CANCEL = WU_E_CANCELLED;         // abort (0x8004E00C)
constexpr HRESULT WUARC_ANSWER_PENDING = WU_E_CANCEL_PENDING;   // cancel question open (0x8004E050)

// ---- Open modes --------------------------------------------------------------------
constexpr int WUARC_MODE_CREATE = 0;       // a new archive
constexpr int WUARC_MODE_READ = 1;         // read and extract
constexpr int WUARC_MODE_APPEND = 2;       // add entries (through a work copy)
constexpr int WUARC_MODE_DELETE = 3;       // remove entries (through a work copy)
constexpr int WUARC_MODE_SEA = 4;          // source of a self-extracting package
constexpr int WUARC_MODE_VOLUMES = 5;      // split or merge volumes (through a work copy)

// ---- Extraction flags ------------------------------------------------------------------
constexpr DWORD WUARC_EXTRACT_FLAT = 0x1;       // no folders: files under their file-name part
constexpr DWORD WUARC_EXTRACT_NO_ASK = 0x4;     // overwrite existing files without asking
constexpr DWORD WUARC_EXTRACT_NAME_ONLY = 0x8;  // by name: report only the name, no item total

// ---- Add flags ---------------------------------------------------------------------------
constexpr DWORD WUARC_ADD_RECURSE = 0x1;          // a wildcard also adds matching sub-folders
constexpr DWORD WUARC_ADD_NAME_ONLY = 0x2;        // set only the item name, no item total
constexpr DWORD WUARC_ADD_NO_ASK = 0x4;           // append: replace same-named entries unasked
constexpr DWORD WUARC_ADD_CLEAR_READONLY = 0x8;   // clear the read-only bit in stored attributes
// The stored folder goes before every name the call adds (a folder's tree
// and wildcard matches too), so that a path is stored as it was given.
constexpr DWORD WUARC_ADD_KEEP_PATH = 0x10;

// ---- Flags of the copying operations (delete, split, merge, packages) ------------------
constexpr DWORD WUARC_COPY_NAME_ONLY = 0x1;     // progress items carry only a name
constexpr DWORD WUARC_SPLIT_NO_ASK = 0x4;       // SplitSEA: overwrite existing files unasked
