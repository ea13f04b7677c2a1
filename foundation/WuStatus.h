// The system's own failure codes: facility 4, from 0x8004E000 upward.
// Each subsystem returns these where the platform's codes say too little;
// the error handler holds their texts. Names describe the meaning the code
// has everywhere in the system.
#pragma once

#include "platform/kernel/types.h"

constexpr HRESULT WuStatusCode(uint32_t code) { return static_cast<HRESULT>(code); }

constexpr HRESULT WU_E_UNSUPPORTED_MEDIA = WuStatusCode(0x8004E000);  // unsupported media type
constexpr HRESULT WU_E_DISK_FULL = WuStatusCode(0x8004E002);          // the disk is full
constexpr HRESULT WU_E_RESOURCES_LOW = WuStatusCode(0x8004E003);      // GDI object not created
constexpr HRESULT WU_E_CREATE_FILE = WuStatusCode(0x8004E006);        // the file could not be created
constexpr HRESULT WU_E_OPEN_FILE = WuStatusCode(0x8004E007);          // cannot open or create a file
constexpr HRESULT WU_E_READ = WuStatusCode(0x8004E008);               // read failure
constexpr HRESULT WU_E_WRITE = WuStatusCode(0x8004E009);              // write failure
constexpr HRESULT WU_E_NOT_FOUND = WuStatusCode(0x8004E00A);          // not found or absent
constexpr HRESULT WU_E_BAD_DATA = WuStatusCode(0x8004E00B);           // bad data or CRC mismatch
constexpr HRESULT WU_E_CANCELLED = WuStatusCode(0x8004E00C);          // cancelled by the user
constexpr HRESULT WU_E_BAD_FILE_NAME = WuStatusCode(0x8004E00D);      // the file name is not valid
constexpr HRESULT WU_E_RESOURCE_MISSING = WuStatusCode(0x8004E00E);   // a necessary resource is missing
constexpr HRESULT WU_E_UNSUPPORTED_FORMAT = WuStatusCode(0x8004E016); // unsupported file format
constexpr HRESULT WU_E_EXCEPTION = WuStatusCode(0x8004E017);          // an exception has occurred
constexpr HRESULT WU_E_INIT_FAILED = WuStatusCode(0x8004E01B);        // a component failed to initialise
constexpr HRESULT WU_E_BAD_VERSION = WuStatusCode(0x8004E01C);        // created with an unsupported version
constexpr HRESULT WU_E_FILE_EXISTS = WuStatusCode(0x8004E032);        // another file of that name exists
constexpr HRESULT WU_E_BUFFER_TOO_SMALL = WuStatusCode(0x8004E03C);   // buffer too small
constexpr HRESULT WU_E_CANCEL_PENDING = WuStatusCode(0x8004E050);     // a cancel question is open
constexpr HRESULT WU_E_DUPLICATE = WuStatusCode(0x8004E0A9);          // duplicate item
constexpr HRESULT WU_E_BAD_SIGNATURE = WuStatusCode(0x8004E0B0);      // bad archive signature
constexpr HRESULT WU_E_NO_SPACE = WuStatusCode(0x8004E0C8);           // not enough disk space for the operation
constexpr HRESULT WU_E_BUSY = WuStatusCode(0x8004E005);               // the system is busy
constexpr HRESULT WU_E_TOO_MANY_FILES = WuStatusCode(0x8004E026);     // too many files are open
constexpr HRESULT WU_E_IN_USE = WuStatusCode(0x8004E05A);             // another application has the file open
constexpr HRESULT WU_E_NEEDS_ADMIN = WuStatusCode(0x8004E142);        // machine settings could not be written
constexpr HRESULT WU_E_FILES_IN_USE = WuStatusCode(0x8004E16E);       // files could not be moved: in use
constexpr HRESULT WU_E_ALREADY_EXISTS = WuStatusCode(0x8004E170);     // the file already exists
constexpr HRESULT WU_E_DEST_UNDER_SOURCE = WuStatusCode(0x8004E186);  // destination lies inside the source
constexpr HRESULT WU_E_INVALID_DEVICE = WuStatusCode(0x800404B0);     // an invalid device was specified
