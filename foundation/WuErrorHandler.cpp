#include "foundation/WuErrorHandler.h"

#include <atomic>

#include "foundation/WuKernelState.h"
#include "foundation/WuLang.h"
#include "foundation/WuLangRows.h"
#include "foundation/WuLangTable.h"
#include "foundation/WuMsgBox.h"
#include "foundation/WuPrintF.h"
#include "foundation/WuStatus.h"
#include "foundation/WuString.h"
#include "platform/kernel/threads.h"

namespace {

// ---- Translation tables --------------------------------------------------------------

// One row of a code translation table.
struct Translation {
  DWORD error;     // Win32 or common-dialog error number
  HRESULT status;  // the status code callers receive
};

constexpr Translation kWin32Translations[] = {
    {ERROR_SUCCESS, S_OK},
    {ERROR_INVALID_FUNCTION, E_INVALIDARG},
    {ERROR_FILE_NOT_FOUND, WU_E_NOT_FOUND},
    {ERROR_PATH_NOT_FOUND, WU_E_NOT_FOUND},
    {ERROR_TOO_MANY_OPEN_FILES, WU_E_TOO_MANY_FILES},
    {ERROR_ACCESS_DENIED, E_ACCESSDENIED},
    {ERROR_INVALID_HANDLE, E_HANDLE},
    {ERROR_OUTOFMEMORY, E_OUTOFMEMORY},
    {84, E_OUTOFMEMORY},  // out of structures
    {ERROR_INVALID_DRIVE, WU_E_INVALID_DEVICE},
    {ERROR_SHARING_VIOLATION, WU_E_IN_USE},
    {ERROR_HANDLE_DISK_FULL, WU_E_DISK_FULL},
    {ERROR_FILE_EXISTS, WU_E_FILE_EXISTS},
    {110, WU_E_OPEN_FILE},  // the system cannot open the device or file
    {ERROR_DISK_FULL, WU_E_DISK_FULL},
    {ERROR_CALL_NOT_IMPLEMENTED, E_NOTIMPL},
    {ERROR_INVALID_NAME, WU_E_BAD_FILE_NAME},
    {ERROR_MOD_NOT_FOUND, WU_E_NOT_FOUND},
    {ERROR_PROC_NOT_FOUND, WU_E_NOT_FOUND},
    {ERROR_BUSY, WU_E_BUSY},
    {ERROR_ALREADY_EXISTS, WU_E_ALREADY_EXISTS},
};

// Extended errors of the common dialogs.
constexpr Translation kCommDlgTranslations[] = {
    {0, S_OK},
    {0x0001, E_INVALIDARG},            // wrong structure size
    {0x0002, E_OUTOFMEMORY},           // initialisation failed
    {0x0003, E_INVALIDARG},            // template missing
    {0x0004, E_INVALIDARG},            // instance handle missing
    {0x0005, E_OUTOFMEMORY},           // a string could not be loaded
    {0x0006, WU_E_RESOURCE_MISSING},   // a resource was not found
    {0x0007, E_OUTOFMEMORY},           // a resource could not be loaded
    {0x0008, E_OUTOFMEMORY},           // a resource could not be locked
    {0x0009, E_OUTOFMEMORY},           // memory could not be allocated
    {0x000A, E_OUTOFMEMORY},           // memory could not be locked
    {0x000B, E_INVALIDARG},            // hook procedure missing
    {0x3001, E_OUTOFMEMORY},           // list box subclassing failed
    {0x3002, WU_E_BAD_FILE_NAME},      // invalid file name
    {0x3003, E_INVALIDARG},            // file name buffer too small
    {0x4001, E_INVALIDARG},            // find/replace buffer of length 0
    {0xFFFF, E_INVALIDARG},            // the dialog failed as a whole
};

template <size_t N>
HRESULT Translate(const Translation (&table)[N], DWORD error) {
  for (const Translation& row : table)
    if (row.error == error) return row.status;
  return E_FAIL;
}

// ---- Built-in texts ------------------------------------------------------------------

// An error context: what the program was doing when the error occurred.
struct ContextRow {
  UINT id;       // context id
  LPCWSTR text;  // text reference of the sentence; "%s" takes the detail text
};

// The explanation of a status code.
struct MessageRow {
  HRESULT code;  // status code
  LPCWSTR text;  // text reference of the explanation
};


// Searched in order; the first row (context 0) also answers unknown ids.
const ContextRow kContexts[] = {
    {0, WuLangRowRef(WuLangRow_ErrorContext0)},
    {1, WuLangRowRef(WuLangRow_ErrorContext1)},
    {2, WuLangRowRef(WuLangRow_ErrorContext2)},
    {3, WuLangRowRef(WuLangRow_ErrorContext3)},
    {5, WuLangRowRef(WuLangRow_ErrorContext5)},
    {6, WuLangRowRef(WuLangRow_ErrorContext6)},
    {7, WuLangRowRef(WuLangRow_ErrorContext7)},
    {8, WuLangRowRef(WuLangRow_ErrorContext8)},
    {9, WuLangRowRef(WuLangRow_ErrorContext9)},
    {10, WuLangRowRef(WuLangRow_ErrorContext10)},
    {11, WuLangRowRef(WuLangRow_ErrorContext11)},
    {12, WuLangRowRef(WuLangRow_ErrorContext12)},
    {14, WuLangRowRef(WuLangRow_ErrorContext14)},
    {15, WuLangRowRef(WuLangRow_ErrorContext15)},
    {16, WuLangRowRef(WuLangRow_ErrorContext16)},
    {17, WuLangRowRef(WuLangRow_ErrorContext17)},
    {18, WuLangRowRef(WuLangRow_ErrorContext18)},
    {19, WuLangRowRef(WuLangRow_ErrorContext19)},
    {20, WuLangRowRef(WuLangRow_ErrorContext20)},
    {22, WuLangRowRef(WuLangRow_ErrorContext22)},
    {21, WuLangRowRef(WuLangRow_ErrorContext21)},
    {23, WuLangRowRef(WuLangRow_ErrorContext23)},
    {24, WuLangRowRef(WuLangRow_ErrorContext24)},
    {25, WuLangRowRef(WuLangRow_ErrorContext25)},
    {27, WuLangRowRef(WuLangRow_ErrorContext27)},
    {28, WuLangRowRef(WuLangRow_ErrorContext28)},
    {29, WuLangRowRef(WuLangRow_ErrorContext29)},
    {30, WuLangRowRef(WuLangRow_ErrorContext30)},
    {26, WuLangRowRef(WuLangRow_ErrorContext26)},
    {4, WuLangRowRef(WuLangRow_ErrorContext4)},
    {31, WuLangRowRef(WuLangRow_ErrorContext31)},
    {32, WuLangRowRef(WuLangRow_ErrorContext32)},
    {33, WuLangRowRef(WuLangRow_ErrorContext33)},
    {34, WuLangRowRef(WuLangRow_ErrorContext34)},
    {35, WuLangRowRef(WuLangRow_ErrorContext35)},
    {36, WuLangRowRef(WuLangRow_ErrorContext36)},
    {37, WuLangRowRef(WuLangRow_ErrorContext37)},
    {38, WuLangRowRef(WuLangRow_ErrorContext38)},
    {39, WuLangRowRef(WuLangRow_ErrorContext39)},
    {40, WuLangRowRef(WuLangRow_ErrorContext40)},
    {41, WuLangRowRef(WuLangRow_ErrorContext41)},
    {43, WuLangRowRef(WuLangRow_ErrorContext43)},
    {44, WuLangRowRef(WuLangRow_ErrorContext44)},
    {45, WuLangRowRef(WuLangRow_ErrorContext45)},
    {46, WuLangRowRef(WuLangRow_ErrorContext46)},
    {47, WuLangRowRef(WuLangRow_ErrorContext47)},
    {49, WuLangRowRef(WuLangRow_ErrorContext49)},
    {50, WuLangRowRef(WuLangRow_ErrorContext50)},
    {51, WuLangRowRef(WuLangRow_ErrorContext51)},
    {52, WuLangRowRef(WuLangRow_ErrorContext52)},
    {54, WuLangRowRef(WuLangRow_ErrorContext54)},
    {55, WuLangRowRef(WuLangRow_ErrorContext55)},
    {56, WuLangRowRef(WuLangRow_ErrorContext56)},
    {57, WuLangRowRef(WuLangRow_ErrorContext57)},
};

// Searched in order; the first row of a code wins.
const MessageRow kMessages[] = {
    {WuStatusCode(0x80004005), WuLangRowRef(WuLangRow_ErrorText80004005)},
    {WuStatusCode(0x8000FFFF), WuLangRowRef(WuLangRow_ErrorText8000FFFF)},
    {WuStatusCode(0x80070057), WuLangRowRef(WuLangRow_ErrorText80070057)},
    {WuStatusCode(0x80004003), WuLangRowRef(WuLangRow_ErrorText80004003)},
    {WuStatusCode(0x80004001), WuLangRowRef(WuLangRow_ErrorText80004001)},
    {WuStatusCode(0x8007000E), WuLangRowRef(WuLangRow_ErrorText8007000E)},
    {WuStatusCode(0x80070006), WuLangRowRef(WuLangRow_ErrorText80070006)},
    {WuStatusCode(0x80004002), WuLangRowRef(WuLangRow_ErrorText80004002)},
    {WuStatusCode(0x80070005), WuLangRowRef(WuLangRow_ErrorText80070005)},
    {WuStatusCode(0x80040154), WuLangRowRef(WuLangRow_ErrorText80040154)},
    {WuStatusCode(0x8004E000), WuLangRowRef(WuLangRow_ErrorText8004E000)},
    {WuStatusCode(0x4E005), WuLangRowRef(WuLangRow_ErrorText4E005)},
    {WuStatusCode(0x8004E001), WuLangRowRef(WuLangRow_ErrorText8004E001)},
    {WuStatusCode(0x8004E002), WuLangRowRef(WuLangRow_ErrorText8004E002)},
    {WuStatusCode(0x8004E003), WuLangRowRef(WuLangRow_ErrorText8004E003)},
    {WuStatusCode(0x8004E004), WuLangRowRef(WuLangRow_ErrorText8004E004)},
    {WuStatusCode(0x8004E005), WuLangRowRef(WuLangRow_ErrorText8004E005)},
    {WuStatusCode(0x8004E00C), WuLangRowRef(WuLangRow_ErrorText8004E00C)},
    {WuStatusCode(0x8004E006), WuLangRowRef(WuLangRow_ErrorText8004E006)},
    {WuStatusCode(0x8004E032), WuLangRowRef(WuLangRow_ErrorText8004E032)},
    {WuStatusCode(0x8004E007), WuLangRowRef(WuLangRow_ErrorText8004E007)},
    {WuStatusCode(0x8004E05A), WuLangRowRef(WuLangRow_ErrorText8004E05A)},
    {WuStatusCode(0x8004E05B), WuLangRowRef(WuLangRow_ErrorText8004E05B)},
    {WuStatusCode(0x8004E009), WuLangRowRef(WuLangRow_ErrorText8004E009)},
    {WuStatusCode(0x8004E008), WuLangRowRef(WuLangRow_ErrorText8004E008)},
    {WuStatusCode(0x8004E16D), WuLangRowRef(WuLangRow_ErrorText8004E16D)},
    {WuStatusCode(0x8004E00B), WuLangRowRef(WuLangRow_ErrorText8004E00B)},
    {WuStatusCode(0x8004E00D), WuLangRowRef(WuLangRow_ErrorText8004E00D)},
    {WuStatusCode(0x8004E01C), WuLangRowRef(WuLangRow_ErrorText8004E01C)},
    {WuStatusCode(0x8004E165), WuLangRowRef(WuLangRow_ErrorText8004E165)},
    {WuStatusCode(0x8004E00E), WuLangRowRef(WuLangRow_ErrorText8004E00E)},
    {WuStatusCode(0x8004E00F), WuLangRowRef(WuLangRow_ErrorText8004E00F)},
    {WuStatusCode(0x8004E010), WuLangRowRef(WuLangRow_ErrorText8004E010)},
    {WuStatusCode(0x8004E011), WuLangRowRef(WuLangRow_ErrorText8004E011)},
    {WuStatusCode(0x8004E012), WuLangRowRef(WuLangRow_ErrorText8004E012)},
    {WuStatusCode(0x8004E015), WuLangRowRef(WuLangRow_ErrorText8004E015)},
    {WuStatusCode(0x80040037), WuLangRowRef(WuLangRow_ErrorText80040037)},
    {WuStatusCode(0x80040964), WuLangRowRef(WuLangRow_ErrorText80040964)},
    {WuStatusCode(0x800404B0), WuLangRowRef(WuLangRow_ErrorText800404B0)},
    {WuStatusCode(0x800404E0), WuLangRowRef(WuLangRow_ErrorText800404E0)},
    {WuStatusCode(0x8004E0A0), WuLangRowRef(WuLangRow_ErrorText8004E0A0)},
    {WuStatusCode(0x8004E016), WuLangRowRef(WuLangRow_ErrorText8004E016)},
    {WuStatusCode(0x8004E017), WuLangRowRef(WuLangRow_ErrorText8004E017)},
    {WuStatusCode(0x8004E0A1), WuLangRowRef(WuLangRow_ErrorText8004E0A1)},
    {WuStatusCode(0x8004E080), WuLangRowRef(WuLangRow_ErrorText8004E080)},
    {WuStatusCode(0x8004E081), WuLangRowRef(WuLangRow_ErrorText8004E081)},
    {WuStatusCode(0x8004E082), WuLangRowRef(WuLangRow_ErrorText8004E082)},
    {WuStatusCode(0x8004E083), WuLangRowRef(WuLangRow_ErrorText8004E083)},
    {WuStatusCode(0x80030070), WuLangRowRef(WuLangRow_ErrorText8007000E)},
    {WuStatusCode(0x80030005), WuLangRowRef(WuLangRow_ErrorText80030005)},
    {WuStatusCode(0x80030103), WuLangRowRef(WuLangRow_ErrorText80030103)},
    {WuStatusCode(0x80030009), WuLangRowRef(WuLangRow_ErrorText80004003)},
    {WuStatusCode(0x8003001D), WuLangRowRef(WuLangRow_ErrorText8004E009)},
    {WuStatusCode(0x8004E084), WuLangRowRef(WuLangRow_ErrorText8004E084)},
    {WuStatusCode(0x4E009), WuLangRowRef(WuLangRow_ErrorText4E009)},
    {WuStatusCode(0x4E003), WuLangRowRef(WuLangRow_ErrorText4E003)},
    {WuStatusCode(0x8004E02E), WuLangRowRef(WuLangRow_ErrorText8004E02E)},
    {WuStatusCode(0x8004E02F), WuLangRowRef(WuLangRow_ErrorText8004E02F)},
    {WuStatusCode(0x8004E030), WuLangRowRef(WuLangRow_ErrorText8004E030)},
    {WuStatusCode(0x8004E031), WuLangRowRef(WuLangRow_ErrorText8004E031)},
    {WuStatusCode(0x8004E0A2), WuLangRowRef(WuLangRow_ErrorText8004E0A2)},
    {WuStatusCode(0x8004E051), WuLangRowRef(WuLangRow_ErrorText8004E051)},
    {WuStatusCode(0x8004E0A3), WuLangRowRef(WuLangRow_ErrorText8004E0A3)},
    {WuStatusCode(0x8004E01F), WuLangRowRef(WuLangRow_ErrorText8004E01F)},
    {WuStatusCode(0x8004E0A5), WuLangRowRef(WuLangRow_ErrorText8004E0A5)},
    {WuStatusCode(0x8004E0AF), WuLangRowRef(WuLangRow_ErrorText8004E0AF)},
    {WuStatusCode(0x8004E019), WuLangRowRef(WuLangRow_ErrorText8004E019)},
    {WuStatusCode(0x8004E01E), WuLangRowRef(WuLangRow_ErrorText8004E011)},
    {WuStatusCode(0x8004E0A6), WuLangRowRef(WuLangRow_ErrorText8004E0A6)},
    {WuStatusCode(0x4E000), WuLangRowRef(WuLangRow_ErrorText4E000)},
    {WuStatusCode(0x4E006), WuLangRowRef(WuLangRow_ErrorText8004E01F)},
    {WuStatusCode(0x8004E00A), WuLangRowRef(WuLangRow_ErrorText8004E00A)},
    {WuStatusCode(0x8004E01A), WuLangRowRef(WuLangRow_ErrorText8004E01A)},
    {WuStatusCode(0x8004E01B), WuLangRowRef(WuLangRow_ErrorText8004E01B)},
    {WuStatusCode(0x8004E01D), WuLangRowRef(WuLangRow_ErrorText8004E01D)},
    {WuStatusCode(0x8004E023), WuLangRowRef(WuLangRow_ErrorText8004E023)},
    {WuStatusCode(0x8004E050), WuLangRowRef(WuLangRow_ErrorText8004E050)},
    {WuStatusCode(0x8004E025), WuLangRowRef(WuLangRow_ErrorText8004E025)},
    {WuStatusCode(0x8004E026), WuLangRowRef(WuLangRow_ErrorText8004E026)},
    {WuStatusCode(0x8004E028), WuLangRowRef(WuLangRow_ErrorText8004E028)},
    {WuStatusCode(0x8004E0A8), WuLangRowRef(WuLangRow_ErrorText8004E0A8)},
    {WuStatusCode(0x8004E054), WuLangRowRef(WuLangRow_ErrorText8004E054)},
    {WuStatusCode(0x4E007), WuLangRowRef(WuLangRow_ErrorText4E007)},
    {WuStatusCode(0x4E008), WuLangRowRef(WuLangRow_ErrorText4E008)},
    {WuStatusCode(0x8004E035), WuLangRowRef(WuLangRow_ErrorText8004E035)},
    {WuStatusCode(0x8004E036), WuLangRowRef(WuLangRow_ErrorText8004E036)},
    {WuStatusCode(0x8004E037), WuLangRowRef(WuLangRow_ErrorText8004E037)},
    {WuStatusCode(0x8004E038), WuLangRowRef(WuLangRow_ErrorText8004E038)},
    {WuStatusCode(0x8004E039), WuLangRowRef(WuLangRow_ErrorText8004E039)},
    {WuStatusCode(0x8004E171), WuLangRowRef(WuLangRow_ErrorText8004E171)},
    {WuStatusCode(0x8004E172), WuLangRowRef(WuLangRow_ErrorText8004E172)},
    {WuStatusCode(0x8004E173), WuLangRowRef(WuLangRow_ErrorText8004E173)},
    {WuStatusCode(0x8004E033), WuLangRowRef(WuLangRow_ErrorText8004E033)},
    {WuStatusCode(0x8004E03A), WuLangRowRef(WuLangRow_ErrorText8004E03A)},
    {WuStatusCode(0x8004E0C5), WuLangRowRef(WuLangRow_ErrorText8004E0C5)},
    {WuStatusCode(0x4E00B), WuLangRowRef(WuLangRow_ErrorText4E00B)},
    {WuStatusCode(0x4E00C), WuLangRowRef(WuLangRow_ErrorText4E00C)},
    {WuStatusCode(0x4E00E), WuLangRowRef(WuLangRow_ErrorText4E00E)},
    {WuStatusCode(0x8004E03B), WuLangRowRef(WuLangRow_ErrorText8004E03B)},
    {WuStatusCode(0x8004E03D), WuLangRowRef(WuLangRow_ErrorText8004E03D)},
    {WuStatusCode(0x8004E03E), WuLangRowRef(WuLangRow_ErrorText8004E03E)},
    {WuStatusCode(0x4E010), WuLangRowRef(WuLangRow_ErrorText4E010)},
    {WuStatusCode(0x8004E163), WuLangRowRef(WuLangRow_ErrorText8004E163)},
    {WuStatusCode(0x4E015), WuLangRowRef(WuLangRow_ErrorText4E015)},
    {WuStatusCode(0x8004E0AB), WuLangRowRef(WuLangRow_ErrorText8004E0AB)},
    {WuStatusCode(0x8004E0B4), WuLangRowRef(WuLangRow_ErrorText8004E0B4)},
    {WuStatusCode(0x8004E142), WuLangRowRef(WuLangRow_ErrorText8004E142)},
    {WuStatusCode(0x8004E047), WuLangRowRef(WuLangRow_ErrorText8004E047)},
    {WuStatusCode(0x8004E02A), WuLangRowRef(WuLangRow_ErrorText8004E02A)},
    {WuStatusCode(0x8004E02B), WuLangRowRef(WuLangRow_ErrorText8004E02B)},
    {WuStatusCode(0xC00D0BC2), WuLangRowRef(WuLangRow_ErrorTextC00D0BC2)},
    {WuStatusCode(0xC00D0BC4), WuLangRowRef(WuLangRow_ErrorTextC00D0BC4)},
    {WuStatusCode(0xC00D0BCF), WuLangRowRef(WuLangRow_ErrorTextC00D0BCF)},
    {WuStatusCode(0xC00D002B), WuLangRowRef(WuLangRow_ErrorTextC00D002B)},
    {WuStatusCode(0xC00D0BC6), WuLangRowRef(WuLangRow_ErrorTextC00D0BC6)},
    {WuStatusCode(0xC00D0BC3), WuLangRowRef(WuLangRow_ErrorText8004E012)},
    {WuStatusCode(0xC00D0BC5), WuLangRowRef(WuLangRow_ErrorText8004E012)},
    {WuStatusCode(0x8004E020), WuLangRowRef(WuLangRow_ErrorText8004E020)},
    {WuStatusCode(0x8004E162), WuLangRowRef(WuLangRow_ErrorText8004E162)},
    {WuStatusCode(0x8004E0B5), WuLangRowRef(WuLangRow_ErrorText8004E0B5)},
    {WuStatusCode(0x8004E0B6), WuLangRowRef(WuLangRow_ErrorText8004E0B6)},
    {WuStatusCode(0x8004E164), WuLangRowRef(WuLangRow_ErrorText8004E164)},
    {WuStatusCode(0x8004E109), WuLangRowRef(WuLangRow_ErrorText8004E109)},
    {WuStatusCode(0x8004E045), WuLangRowRef(WuLangRow_ErrorText8004E045)},
    {WuStatusCode(0x8004E089), WuLangRowRef(WuLangRow_ErrorText8004E089)},
    {WuStatusCode(0x4E018), WuLangRowRef(WuLangRow_ErrorText4E018)},
    {WuStatusCode(0x8004E05C), WuLangRowRef(WuLangRow_ErrorText8004E05C)},
    {WuStatusCode(0x8004E05D), WuLangRowRef(WuLangRow_ErrorText8004E05D)},
    {WuStatusCode(0x8004E05E), WuLangRowRef(WuLangRow_ErrorText8004E05E)},
    {WuStatusCode(0x8004E060), WuLangRowRef(WuLangRow_ErrorText8004E060)},
    {WuStatusCode(0x8004E0D4), WuLangRowRef(WuLangRow_ErrorText8004E0D4)},
    {WuStatusCode(0x8004E03C), WuLangRowRef(WuLangRow_ErrorText8004E03C)},
    {WuStatusCode(0x8004E166), WuLangRowRef(WuLangRow_ErrorText8004E166)},
    {WuStatusCode(0x8004E0A9), WuLangRowRef(WuLangRow_ErrorText8004E0A9)},
    {WuStatusCode(0x800A0026), WuLangRowRef(WuLangRow_ErrorText800A0026)},
    {WuStatusCode(0x8004E0EC), WuLangRowRef(WuLangRow_ErrorText8004E0EC)},
    {WuStatusCode(0x8004E0EE), WuLangRowRef(WuLangRow_ErrorText8004E0EE)},
    {WuStatusCode(0x8004E0ED), WuLangRowRef(WuLangRow_ErrorText8004E0ED)},
    {WuStatusCode(0x8004E0EF), WuLangRowRef(WuLangRow_ErrorText8004E0EF)},
    {WuStatusCode(0x8004E0AC), WuLangRowRef(WuLangRow_ErrorText8004E0AC)},
    {WuStatusCode(0x8004E055), WuLangRowRef(WuLangRow_ErrorText8004E055)},
    {WuStatusCode(0x8004E0C9), WuLangRowRef(WuLangRow_ErrorText8004E0C9)},
    {WuStatusCode(0x8004E0AE), WuLangRowRef(WuLangRow_ErrorText8004E0AE)},
    {WuStatusCode(0x8004E0C2), WuLangRowRef(WuLangRow_ErrorText8004E0C2)},
    {WuStatusCode(0x8004E0AA), WuLangRowRef(WuLangRow_ErrorText8004E0AA)},
    {WuStatusCode(0x8004E024), WuLangRowRef(WuLangRow_ErrorText8004E024)},
    {WuStatusCode(0x8004E15F), WuLangRowRef(WuLangRow_ErrorText8004E15F)},
    {WuStatusCode(0x8004E161), WuLangRowRef(WuLangRow_ErrorText8004E161)},
    {WuStatusCode(0x8004E08A), WuLangRowRef(WuLangRow_ErrorText8004E08A)},
    {WuStatusCode(0x8004E186), WuLangRowRef(WuLangRow_ErrorText8004E186)},
    {WuStatusCode(0x8004E061), WuLangRowRef(WuLangRow_ErrorText8004E061)},
    {WuStatusCode(0x8004E16E), WuLangRowRef(WuLangRow_ErrorText8004E16E)},
    {WuStatusCode(0x8004E16F), WuLangRowRef(WuLangRow_ErrorText8004E16F)},
    {WuStatusCode(0x8004E170), WuLangRowRef(WuLangRow_ErrorText8004E170)},
    {WuStatusCode(0x8004E189), WuLangRowRef(WuLangRow_ErrorText8004E189)},
    {WuStatusCode(0x8004E17C), WuLangRowRef(WuLangRow_ErrorText8004E17C)},
    {WuStatusCode(0x8004E17D), WuLangRowRef(WuLangRow_ErrorText8004E17D)},
    {WuStatusCode(0x8004E17E), WuLangRowRef(WuLangRow_ErrorText8004E17E)},
    {WuStatusCode(0x8004E17F), WuLangRowRef(WuLangRow_ErrorText8004E17F)},
    {WuStatusCode(0x8004E180), WuLangRowRef(WuLangRow_ErrorText8004E180)},
    {WuStatusCode(0x8004E181), WuLangRowRef(WuLangRow_ErrorText8004E181)},
    {WuStatusCode(0x8004E182), WuLangRowRef(WuLangRow_ErrorText8004E182)},
    {WuStatusCode(0x8004E183), WuLangRowRef(WuLangRow_ErrorText8004E183)},
    {WuStatusCode(0x8004E184), WuLangRowRef(WuLangRow_ErrorText8004E184)},
};

// ---- Registered tables ---------------------------------------------------------------

// One application table.
struct RegisteredTable {
  const _wuerror_table* entries;  // the caller's entries (kept, not copied)
  int count;                      // number of entries
  HWULANG lang;                   // their language; NULL = the kernel handle
};

RegisteredTable g_tables[WUERROR_MAX_TABLES];  // filled in registration order
std::atomic<int> g_table_count{0};              // tables published to lookups

// ---- Details state -------------------------------------------------------------------

struct DetailsState {
  HRESULT last_error;                  // code given with the latest line
  DWORD owner_thread;                  // thread of the first line; 0 = none
  int line_count;                      // lines added since the clearing
  int length;                          // characters in `text`
  WCHAR text[WUERROR_DETAILS_SIZE];    // the lines, each ending "\r\n"
  WCHAR line[WUERROR_DETAILS_SIZE];    // the line being formatted
};

DetailsState g_details;                          // cleared as a whole
WCHAR g_message[WUERROR_MESSAGE_SIZE];           // WuErrorHandler_GetErrorMessage's result

// Guards the details state and table registration. Lines may come from
// more than one thread (the owner, and others passing the owner's code),
// so appends are serialised. The section is recursive: the exception
// filter may run on a thread that was inside the handler.
CRITICAL_SECTION* HandlerLock() {
  static CRITICAL_SECTION* lock = [] {
    static CRITICAL_SECTION section;
    InitializeCriticalSection(&section);
    return &section;
  }();
  return lock;
}

class Locked {
 public:
  Locked() { EnterCriticalSection(HandlerLock()); }
  ~Locked() { LeaveCriticalSection(HandlerLock()); }
  Locked(const Locked&) = delete;
  Locked& operator=(const Locked&) = delete;
};

void ClearDetails() {
  g_details.last_error = S_OK;
  g_details.owner_thread = 0;
  g_details.line_count = 0;
  g_details.length = 0;
  g_details.text[0] = 0;
}

// The details text copied into a new block (WuGlobalDelete), or NULL when
// there are no lines or no memory. Call with the lock held.
WCHAR* CopyDetails() {
  if (g_details.line_count == 0 || g_details.length == 0) return nullptr;
  SIZE_T bytes = (static_cast<SIZE_T>(g_details.length) + 1) * sizeof(WCHAR);
  auto* copy = static_cast<WCHAR*>(WuGlobalNew(bytes));
  if (copy) WuStrCpyN(copy, g_details.text, g_details.length + 1);
  return copy;
}

// ---- Composition ---------------------------------------------------------------------

// A composed context sentence this long leaves no room worth filling.
constexpr int kMessageFull = 1948;
// Room for the explanation of a code that no table knows.
constexpr int kMissingSize = 100;

// Appends `text` at `out` (room for `size` characters) with its "$(Name)"
// references replaced and every other '%' and '$' shown as it stands: the
// text is a message, not a format, and there are no arguments to give to
// its conversions. Returns the characters written.
int AppendReferences(WCHAR* out, int size, LPCWSTR text) {
  if (!WuHasFormatChars(text)) return WuStrCpyNLen(out, text, size);
  int length = WuStrLenSafe(text);
  SIZE_T bytes = (2 * static_cast<SIZE_T>(length) + 1) * sizeof(WCHAR);
  auto* escaped = static_cast<WCHAR*>(WuGlobalNew(bytes));
  if (!escaped) return WuStrCpyNLen(out, text, size);  // without its references
  WCHAR* to = escaped;
  for (const WCHAR* at = text; *at; ++at) {
    if (*at == u'%' || (*at == u'$' && at[1] != u'(')) *to++ = *at;  // doubled: written once
    *to++ = *at;
  }
  *to = 0;
  int n = WuPrintFN(out, size, escaped);
  WuGlobalDelete(escaped);
  return n;
}

// Composes the message of a context, a status code and a detail into `out`
// of WUERROR_MESSAGE_SIZE characters; returns its length. Every step is
// bounded: a long detail or explanation is cut at the buffer's end.
int Compose(WCHAR* out, LPCWSTR context, HRESULT code, LPCWSTR detail) {
  // The context sentence with the detail as its one argument.
  int n = WuPrintFN(out, WUERROR_MESSAGE_SIZE, WuErrorHandler_GetContextString(context),
                    detail ? detail : u"");
  if (n >= kMessageFull) return n;
  // Then the explanation of the code, or the "message missing" text.
  LPCWSTR text = WuErrorHandler_GetHresultString(code);
  WCHAR missing[kMissingSize];
  if (!text) {
    WuPrintFN(missing, kMissingSize, WuGetString(WuKernel_GetLangHandle(), &WuLangRow_ErrorMessageMissing),
              static_cast<DWORD>(code));
    text = missing;
  }
  return n + AppendReferences(out + n, WUERROR_MESSAGE_SIZE - n, text);
}

}  // namespace

// ---- Translation ---------------------------------------------------------------------

HRESULT WuErrorHandler_TranslateWin32Error(DWORD error) {
  return Translate(kWin32Translations, error);
}

HRESULT WuErrorHandler_TranslateCommDlgError(DWORD error) {
  return Translate(kCommDlgTranslations, error);
}

// ---- Tables and texts ----------------------------------------------------------------

HRESULT WuErrorHandler_AddErrorTable(HWULANG lang, const _wuerror_table_rcid* entries, int count) {
  if (count < 0) return E_INVALIDARG;
  if (!entries && count > 0) return E_POINTER;
  Locked lock;
  int n = g_table_count.load(std::memory_order_relaxed);
  if (n >= WUERROR_MAX_TABLES) return S_FALSE;
  g_tables[n] = {entries, count, lang};
  g_table_count.store(n + 1, std::memory_order_release);  // lookups see the whole record
  return S_OK;
}

HRESULT WuErrorHandler_AddErrorTable(const _wuerror_table* entries, int count) {
  // The kernel handle is taken at each lookup, so the table follows the
  // handle the kernel has then.
  return WuErrorHandler_AddErrorTable(nullptr, entries, count);
}

LPCWSTR WuErrorHandler_GetHresultString(HRESULT code) {
  int tables = g_table_count.load(std::memory_order_acquire);
  for (int t = 0; t < tables; ++t) {
    const RegisteredTable& table = g_tables[t];
    for (int i = 0; i < table.count; ++i) {
      if (table.entries[i].code != code) continue;
      HWULANG lang = table.lang ? table.lang : WuKernel_GetLangHandle();
      return WuGetStringSmart(lang, table.entries[i].text);
    }
  }
  for (const MessageRow& row : kMessages)
    if (row.code == code) return WuGetStringSmart(WuKernel_GetLangHandle(), row.text);
  return nullptr;
}

LPCWSTR WuErrorHandler_GetContextString(LPCWSTR context) {
  HWULANG lang = WuKernel_GetLangHandle();
  auto value = reinterpret_cast<UINT_PTR>(context);
  if (value > 0xFFFF) return WuGetStringSmart(lang, context);  // a text, or a row
  const ContextRow* found = &kContexts[0];
  for (const ContextRow& row : kContexts) {
    if (row.id == value) {
      found = &row;
      break;
    }
  }
  return WuGetStringSmart(lang, found->text);
}

LPCWSTR WuErrorHandler_GetErrorMessage(LPCWSTR context, HRESULT code, LPCWSTR detail) {
  Compose(g_message, context, code, detail);
  return g_message;
}

BSTR WuErrorHandler_ComposeErrorText(LPCWSTR context, HRESULT code, LPCWSTR detail) {
  static constexpr WCHAR kOpen[] = u"\r\n<Details>\r\n";
  static constexpr WCHAR kClose[] = u"\r\n</Details>";
  WCHAR message[WUERROR_MESSAGE_SIZE];
  int n = Compose(message, context, code, detail);
  if (n <= 0) return nullptr;
  Locked lock;
  bool details = g_details.line_count > 0;
  UINT length = static_cast<UINT>(n);
  if (details)
    length += static_cast<UINT>(WuStrLenSafe(kOpen) + g_details.length + WuStrLenSafe(kClose));
  BSTR text = SysAllocStringLen(nullptr, length);
  if (!text) return nullptr;
  WuStrCpy(text, message);
  if (details) {
    WuStrCat(text, kOpen);
    WuStrCat(text, g_details.text);
    WuStrCat(text, kClose);
  }
  return text;
}

// ---- Boxes ---------------------------------------------------------------------------

int WuErrorHandler_MsgBox(HWND owner, UINT style, LPCWSTR context, HRESULT code, LPCWSTR detail,
                          BOOL warning) {
  if (code == WU_E_CANCELLED) return IDOK;  // the user knows: no box
  WCHAR message[WUERROR_MESSAGE_SIZE];
  Compose(message, context, code, detail);
  return WuErrorHandler_MsgBoxText(owner, style, message, warning);
}

int WuErrorHandler_MsgBoxText(HWND owner, UINT style, LPCWSTR text, BOOL warning) {
  style &= ~WUMB_DETAILS;
  WCHAR* details = nullptr;
  {
    // The box belongs to this error: take its details and free the state
    // for the next one before the box runs.
    Locked lock;
    details = CopyDetails();
    ClearDetails();
  }
  if (details) style |= WUMB_DETAILS;
  // The box shows at most a formatting buffer's worth of text.
  WCHAR message[WUPRINTF_MAX];
  message[0] = 0;
  if (warning)
    WuStrCpyN(message, WuGetString(WuKernel_GetLangHandle(), &WuLangRow_ErrorWarningPrefix),
              WUPRINTF_MAX);
  WuStrCatN(message, text ? text : u"", WUPRINTF_MAX);
  // The message is the argument of "%s": its own '%' and '$' stay as they are.
  BOOL check = FALSE;
  int result = WuMsgBox_CustomEx(owner, style, details, nullptr, &check, u"%s", message);
  WuGlobalDelete(details);
  return result;
}

// ---- Details -------------------------------------------------------------------------

int WuErrorHandler_DetailsInit() {
  Locked lock;
  ClearDetails();
  return 0;
}

HRESULT WuErrorHandler_DetailsAddStringV(HRESULT code, LPCWSTR format, va_list args) {
  if (!format) return E_POINTER;
  DWORD thread = GetCurrentThreadId();
  Locked lock;
  // Another thread may add to this error's details only with its code.
  bool owned_elsewhere = g_details.owner_thread != 0 && g_details.owner_thread != thread;
  if (owned_elsewhere && code != g_details.last_error) return E_FAIL;
  int n = WuHasFormatChars(format) ? WuVPrintFN(g_details.line, WUERROR_DETAILS_SIZE, format, args)
                                   : WuStrCpyNLen(g_details.line, format, WUERROR_DETAILS_SIZE);
  // The line and its "\r\n" must fit with the terminator; else nothing is added.
  if (g_details.length + n + 2 >= WUERROR_DETAILS_SIZE) return E_FAIL;
  WCHAR* end = g_details.text + g_details.length;
  WuStrCpy(end, g_details.line);
  end[n] = u'\r';
  end[n + 1] = u'\n';
  end[n + 2] = 0;
  g_details.length += n + 2;
  g_details.line_count += 1;
  g_details.last_error = code;
  if (g_details.owner_thread == 0) g_details.owner_thread = thread;
  return S_OK;
}

HRESULT WuErrorHandler_DetailsAddString(HRESULT code, LPCWSTR format, ...) {
  va_list args;
  va_start(args, format);
  HRESULT hr = WuErrorHandler_DetailsAddStringV(code, format, args);
  va_end(args);
  return hr;
}

LPCWSTR WuErrorHandler_DetailsInfo(HRESULT* last_error, int* lines, DWORD* owner_thread) {
  Locked lock;
  if (last_error) *last_error = g_details.last_error;
  if (lines) *lines = g_details.line_count;
  if (owner_thread) *owner_thread = g_details.owner_thread;
  return g_details.line_count > 0 ? g_details.text : nullptr;
}

HRESULT WuErrorHandler_GetLastError() {
  Locked lock;
  return g_details.last_error;
}
