// Serial devices: names, their backing files, line settings and control
// requests.
#include "platform/kernel/comm.h"

#include <map>
#include <mutex>
#include <new>

#include "platform/kernel/error.h"
#include "platform/kernel/files.h"
#include "platform/kernel/locale.h"
#include "platform/kernel/state.h"

namespace platform {

namespace {

// What the process knows about one device.
struct DeviceRecord {
  bool absent = false;         // SetCommDevicePresent(false) was called
  std::string file;            // Linux file it is mapped to ("" = default)
  DCB dcb{};                   // the stored line settings
  bool dcb_set = false;        // `dcb` holds a SetCommState result
  DWORD last_control_code = 0; // the last DeviceIoControl code
};

struct DeviceTable {
  std::mutex lock;                               // guards `devices`
  std::map<std::u16string, DeviceRecord> devices;  // by canonical name
};

DeviceTable& Devices() {
  static DeviceTable* table = new DeviceTable;  // lives to process exit
  return *table;
}

// The settings of a port that was never configured.
DCB DefaultDcb() {
  DCB dcb{};
  dcb.DCBlength = sizeof(DCB);
  dcb.BaudRate = CBR_9600;
  dcb.fBinary = 1;
  dcb.ByteSize = 8;
  dcb.Parity = NOPARITY;
  dcb.StopBits = ONESTOPBIT;
  dcb.XonChar = 0x11;
  dcb.XoffChar = 0x13;
  return dcb;
}

WCHAR UpperAscii(WCHAR c) { return (c >= u'a' && c <= u'z') ? static_cast<WCHAR>(c - 32) : c; }

// The record of a device, created on first use; the table lock is held.
DeviceRecord& RecordLocked(const std::u16string& device) {
  return Devices().devices[device];
}

}  // namespace

std::u16string CommDeviceName(std::u16string_view name) {
  // "\\.\COM1" and "//./COM1" name the device too.
  if (name.size() >= 4 && (name[0] == u'\\' || name[0] == u'/') &&
      (name[1] == u'\\' || name[1] == u'/') && name[2] == u'.' &&
      (name[3] == u'\\' || name[3] == u'/'))
    name.remove_prefix(4);
  if (!name.empty() && name.back() == u':') name.remove_suffix(1);
  std::u16string upper;
  for (WCHAR c : name) upper.push_back(UpperAscii(c));
  if (upper == u"AUX") return upper;
  if (upper.size() == 4 && upper.compare(0, 3, u"COM") == 0 && upper[3] >= u'1' &&
      upper[3] <= u'9')
    return upper;
  return std::u16string();
}

bool SetCommDevicePresent(std::u16string_view name, bool present) {
  std::u16string device = CommDeviceName(name);
  if (device.empty()) return false;
  std::lock_guard<std::mutex> guard(Devices().lock);
  try {
    RecordLocked(device).absent = !present;
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

bool SetCommDeviceFile(std::u16string_view name, const std::string& linux_file) {
  std::u16string device = CommDeviceName(name);
  if (device.empty()) return false;
  std::lock_guard<std::mutex> guard(Devices().lock);
  try {
    RecordLocked(device).file = linux_file;
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

std::string CommDeviceFile(std::u16string_view name) {
  std::u16string device = CommDeviceName(name);
  if (device.empty()) return std::string();
  {
    std::lock_guard<std::mutex> guard(Devices().lock);
    auto it = Devices().devices.find(device);
    if (it != Devices().devices.end()) {
      if (it->second.absent) return std::string();
      if (!it->second.file.empty()) return it->second.file;
    }
  }
  return UserStateDir() + "/devices/" + ToUtf8(device);
}

bool CommDeviceState(std::u16string_view name, DCB* dcb, DWORD* last_control_code) {
  std::u16string device = CommDeviceName(name);
  if (device.empty()) return false;
  std::lock_guard<std::mutex> guard(Devices().lock);
  auto it = Devices().devices.find(device);
  const bool known = it != Devices().devices.end();
  if (dcb) *dcb = known && it->second.dcb_set ? it->second.dcb : DefaultDcb();
  if (last_control_code) *last_control_code = known ? it->second.last_control_code : 0;
  return true;
}

}  // namespace platform

namespace {

// The device name of a handle, or empty with ERROR_INVALID_HANDLE.
std::u16string DeviceOf(HANDLE file) {
  std::u16string device;
  try {
    device = platform::DeviceNameOfFileHandle(file);
  } catch (const std::bad_alloc&) {
  }
  if (device.empty()) SetLastError(ERROR_INVALID_HANDLE);
  return device;
}

}  // namespace

BOOL GetCommState(HANDLE file, LPDCB dcb) {
  std::u16string device = DeviceOf(file);
  if (device.empty()) return FALSE;
  if (!dcb) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  platform::CommDeviceState(device, dcb, nullptr);
  return TRUE;
}

BOOL SetCommState(HANDLE file, LPDCB dcb) {
  std::u16string device = DeviceOf(file);
  if (device.empty()) return FALSE;
  if (!dcb || dcb->BaudRate == 0 || dcb->ByteSize < 5 || dcb->ByteSize > 8 ||
      dcb->Parity > SPACEPARITY || dcb->StopBits > TWOSTOPBITS) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  auto& table = platform::Devices();
  std::lock_guard<std::mutex> guard(table.lock);
  try {
    platform::DeviceRecord& record = platform::RecordLocked(device);
    record.dcb = *dcb;
    record.dcb.DCBlength = sizeof(DCB);
    record.dcb_set = true;
  } catch (const std::bad_alloc&) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return FALSE;
  }
  return TRUE;
}

BOOL DeviceIoControl(HANDLE device, DWORD control_code, LPVOID in_buffer, DWORD in_size,
                     LPVOID out_buffer, DWORD out_size, LPDWORD bytes_returned,
                     void* overlapped) {
  if (bytes_returned) *bytes_returned = 0;
  if (platform::DescriptorOfFileHandle(device) < 0) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (!in_buffer && in_size) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  DWORD written = 0;
  if (in_size && !WriteFile(device, in_buffer, in_size, &written, nullptr)) return FALSE;
  std::u16string name = DeviceOf(device);
  if (!name.empty()) {
    auto& table = platform::Devices();
    std::lock_guard<std::mutex> guard(table.lock);
    try {
      platform::RecordLocked(name).last_control_code = control_code;
    } catch (const std::bad_alloc&) {
      // The bytes went out; only the record of the code is missing.
    }
  }
  SetLastError(ERROR_SUCCESS);
  return TRUE;
}
