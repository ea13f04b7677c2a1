// Serial devices: the stand-in for the ports "COM1".."COM9" and "AUX".
//
// Opening one of these names with CreateFileW (any case, optionally written
// "\\.\COM1" or with a trailing ':') reaches a plain file that the layer
// maps the device to: by default UserStateDir()/devices/<NAME> (upper
// case), created on first open and written at its end, so a test can read
// back what was "sent" over the port. Whether a device exists is a setting
// of this process: every device exists until SetCommDevicePresent turns it
// off, and then opening it fails with ERROR_FILE_NOT_FOUND. Other names
// never reach a device: "C:\COM1" is a file named COM1.
//
// Ports are opened exclusively in practice: a share mode of 0 makes a
// second open fail with ERROR_SHARING_VIOLATION, as for files.
//
// The line settings (DCB) are kept per device for the life of the process:
// GetCommState reads what the last SetCommState stored (9,600 baud, 8 data
// bits, no parity, one stop bit before that). DeviceIoControl writes its
// input bytes to the device file and records the control code.
#pragma once

#include <string>
#include <string_view>

#include "platform/kernel/types.h"

// Parity and stop-bit values of DCB.
constexpr BYTE NOPARITY = 0;
constexpr BYTE ODDPARITY = 1;
constexpr BYTE EVENPARITY = 2;
constexpr BYTE MARKPARITY = 3;
constexpr BYTE SPACEPARITY = 4;
constexpr BYTE ONESTOPBIT = 0;
constexpr BYTE ONE5STOPBITS = 1;
constexpr BYTE TWOSTOPBITS = 2;

constexpr DWORD CBR_9600 = 9600;
constexpr DWORD CBR_115200 = 115200;

// The line settings of a serial port.
struct DCB {
  DWORD DCBlength;              // size of the record in bytes
  DWORD BaudRate;               // bits per second
  DWORD fBinary : 1;            // binary mode (always 1)
  DWORD fParity : 1;            // parity checking on
  DWORD fOutxCtsFlow : 1;       // CTS output flow control
  DWORD fOutxDsrFlow : 1;       // DSR output flow control
  DWORD fDtrControl : 2;        // DTR flow control mode
  DWORD fDsrSensitivity : 1;    // DSR sensitivity
  DWORD fTXContinueOnXoff : 1;  // XOFF continues transmission
  DWORD fOutX : 1;              // XON/XOFF output flow control
  DWORD fInX : 1;               // XON/XOFF input flow control
  DWORD fErrorChar : 1;         // replace parity errors by ErrorChar
  DWORD fNull : 1;              // discard null bytes
  DWORD fRtsControl : 2;        // RTS flow control mode
  DWORD fAbortOnError : 1;      // abort reads and writes on an error
  DWORD fDummy2 : 17;           // reserved
  WORD wReserved;               // 0
  WORD XonLim;                  // bytes in the input buffer before XON
  WORD XoffLim;                 // free bytes in the input buffer before XOFF
  BYTE ByteSize;                // data bits, 5 to 8
  BYTE Parity;                  // NOPARITY .. SPACEPARITY
  BYTE StopBits;                // ONESTOPBIT .. TWOSTOPBITS
  char XonChar;                 // XON character
  char XoffChar;                // XOFF character
  char ErrorChar;               // parity-error replacement
  char EofChar;                 // end-of-input character
  char EvtChar;                 // event character
  WORD wReserved1;              // reserved
};
typedef DCB* LPDCB;

// The settings of the port behind `file`. FALSE with ERROR_INVALID_HANDLE
// for a handle that is not an open serial device, ERROR_INVALID_PARAMETER
// for a NULL record.
BOOL GetCommState(HANDLE file, LPDCB dcb);
// Stores the settings; FALSE with ERROR_INVALID_PARAMETER for a baud rate of
// 0, data bits outside 5..8, or a parity or stop-bit value out of range.
BOOL SetCommState(HANDLE file, LPDCB dcb);

// Sends a control request to a device. Here every file handle open for
// writing accepts it: the input bytes are written at the file pointer (like
// WriteFile), nothing is returned (*bytes_returned = 0), and for a serial
// device the code is recorded. FALSE with ERROR_INVALID_HANDLE for a handle
// that is not a file, ERROR_ACCESS_DENIED without write access.
BOOL DeviceIoControl(HANDLE device, DWORD control_code, LPVOID in_buffer, DWORD in_size,
                     LPVOID out_buffer, DWORD out_size, LPDWORD bytes_returned,
                     void* overlapped);

namespace platform {

// The canonical device name ("COM1".."COM9", "AUX") that `name` opens, or
// an empty text when `name` is not a serial device.
std::u16string CommDeviceName(std::u16string_view name);

// Makes a device exist or not for later opens (open handles stay open).
// FALSE when `name` is not a serial device.
bool SetCommDevicePresent(std::u16string_view name, bool present);
// Maps a device to another Linux file (empty: back to the default). FALSE
// when `name` is not a serial device.
bool SetCommDeviceFile(std::u16string_view name, const std::string& linux_file);
// The Linux file a device writes to, or an empty text when `name` is not a
// serial device or the device does not exist.
std::string CommDeviceFile(std::u16string_view name);

// The settings a device keeps and the last control code sent to it (0 when
// none); FALSE when `name` is not a serial device.
bool CommDeviceState(std::u16string_view name, DCB* dcb, DWORD* last_control_code);

}  // namespace platform
