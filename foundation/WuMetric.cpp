#include "foundation/WuMetric.h"

#include <atomic>
#include <cstring>

#include "foundation/WuNumber.h"
#include "foundation/WuStatus.h"
#include "foundation/WuString.h"
#include "platform/com/com.h"
#include "platform/kernel/locale.h"

namespace {

// The company key of the short forms.
constexpr WCHAR kCompany[] = u"Talvene";
// The last name of every store's key path.
constexpr WCHAR kMetricsKey[] = u"Metrics";

// The process's default store (WU_DEFAULT_METRIC).
std::atomic<HWUMETRIC> g_default_store{nullptr};

// The store a handle stands for; NULL for none.
HWUMETRIC Resolve(HWUMETRIC store) {
  return store == WU_DEFAULT_METRIC ? g_default_store.load() : store;
}

// The open key of a store; NULL without a store or key.
HKEY KeyOf(HWUMETRIC store) {
  HWUMETRIC resolved = Resolve(store);
  return resolved ? resolved->key : nullptr;
}

// Appends a text to `out` (`size` characters), bounded.
void Append(LPWSTR out, int size, LPCWSTR text) { WuStrCatN(out, text, size); }

void AppendUnsigned(LPWSTR out, int size, DWORD value) {
  WCHAR text[12];
  WuDWordToText(value, text, FALSE);
  Append(out, size, text);
}

// The absolute value of a setting number (n and -n are one setting).
DWORD Magnitude(int number) {
  return number < 0 ? 0u - static_cast<DWORD>(number) : static_cast<DWORD>(number);
}

// Size of a value-name buffer.
constexpr int kNameSize = 16;

// A prefix letter and the number's magnitude.
void BuildName(int number, const WCHAR* prefix, WCHAR out[kNameSize]) {
  out[0] = 0;
  Append(out, kNameSize, prefix);
  AppendUnsigned(out, kNameSize, Magnitude(number));
}

// The value name the registry store uses for a setting of a type: the bare
// number for 32-bit values.
void StoreName(int number, DWORD type, WCHAR out[kNameSize]) {
  switch (type) {
    case REG_DWORD: BuildName(number, u"", out); break;
    case REG_SZ: BuildName(number, u"S", out); break;
    case REG_BINARY: BuildName(number, u"B", out); break;
    default: BuildName(number, u"Z", out); break;
  }
}

// "Software\<company>\<app>[\<major>.<minor>]" into `out` (MAX_PATH).
void BuildAppPath(LPWSTR out, LPCWSTR application, DWORD version, LPCWSTR company) {
  out[0] = 0;
  Append(out, MAX_PATH, u"Software\\");
  Append(out, MAX_PATH, company);
  Append(out, MAX_PATH, u"\\");
  Append(out, MAX_PATH, application);
  if (version > 0xFFFFFF) {
    Append(out, MAX_PATH, u"\\");
    AppendUnsigned(out, MAX_PATH, version >> 24);
    Append(out, MAX_PATH, u".");
    AppendUnsigned(out, MAX_PATH, (version >> 16) & 0xFF);
  }
}

// The store's key path: the application path, "\Metrics" and the sub-key.
void BuildStorePath(LPWSTR out, LPCWSTR application, DWORD version, LPCWSTR company,
                    LPCWSTR sub_key) {
  BuildAppPath(out, application, version, company);
  Append(out, MAX_PATH, u"\\");
  Append(out, MAX_PATH, kMetricsKey);
  if (sub_key && *sub_key) {
    Append(out, MAX_PATH, u"\\");
    Append(out, MAX_PATH, sub_key);
  }
}

// Deletes a key and every key below it; a missing key is no error.
void DeleteKeyTree(HKEY root, LPCWSTR path) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return;
  DWORD index = 0;
  for (;;) {
    WCHAR name[MAX_PATH];
    DWORD length = MAX_PATH;
    if (RegEnumKeyExW(key, index, name, &length, nullptr, nullptr, nullptr, nullptr) !=
        ERROR_SUCCESS)
      break;
    DeleteKeyTree(key, name);
    // A child that could not be deleted is stepped over.
    HKEY still = nullptr;
    if (RegOpenKeyExW(key, name, 0, KEY_QUERY_VALUE, &still) == ERROR_SUCCESS) {
      RegCloseKey(still);
      ++index;
    }
  }
  RegCloseKey(key);
  RegDeleteKeyW(root, path);
}

// Reads a 32-bit value; false when missing or of another type.
bool ReadDword(HWUMETRIC store, LPCWSTR name, LONG* value) {
  HKEY key = KeyOf(store);
  if (!key || !name) return false;
  DWORD type = 0;
  DWORD data = 0;
  DWORD bytes = sizeof data;
  if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&data), &bytes) !=
          ERROR_SUCCESS ||
      type != REG_DWORD || bytes != sizeof data)
    return false;
  *value = static_cast<LONG>(data);
  return true;
}

HRESULT WriteValue(HWUMETRIC store, LPCWSTR name, DWORD type, const void* data, DWORD bytes) {
  HKEY key = KeyOf(store);
  if (!key || !name) return E_FAIL;
  return RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), bytes) == ERROR_SUCCESS
             ? S_OK
             : E_FAIL;
}

// Reads a text-like value of `type` into `buffer` (`size` characters),
// cut to fit and zero-filled. Returns the characters of data copied, or -1
// when the value is missing or of another type.
int ReadChars(HWUMETRIC store, LPCWSTR name, DWORD type, LPWSTR buffer, int size) {
  std::memset(buffer, 0, static_cast<size_t>(size) * sizeof(WCHAR));
  HKEY key = KeyOf(store);
  if (!key) return -1;
  DWORD found = 0;
  DWORD bytes = 0;
  if (RegQueryValueExW(key, name, nullptr, &found, nullptr, &bytes) != ERROR_SUCCESS ||
      found != type)
    return -1;
  WCHAR* data = static_cast<WCHAR*>(WuGlobalNew(bytes + sizeof(WCHAR)));
  if (!data) return -1;
  LONG error = RegQueryValueExW(key, name, nullptr, &found, reinterpret_cast<BYTE*>(data), &bytes);
  int chars = static_cast<int>(bytes / sizeof(WCHAR));
  if (chars > size - 1) chars = size - 1;
  if (error == ERROR_SUCCESS && found == type)
    std::memcpy(buffer, data, static_cast<size_t>(chars) * sizeof(WCHAR));
  else
    chars = -1;
  WuGlobalDelete(data);
  return chars;
}

// The text-like getters: a missing or empty value gives the default.
int GetChars(HWUMETRIC store, int number, DWORD type, LPWSTR buffer, int size, LPCWSTR default_text,
             BOOL keep_empty) {
  if (!buffer || size <= 0) return 0;
  WCHAR name[kNameSize];
  StoreName(number, type, name);
  int chars = ReadChars(store, name, type, buffer, size);
  bool empty = chars <= 0 || buffer[0] == 0;
  if (chars >= 0 && (!empty || keep_empty)) return type == REG_SZ ? lstrlenW(buffer) : chars;
  return WuStrCpyNLen(buffer, default_text, size);
}

}  // namespace

HWUMETRIC WuMetric_SetDefault(HWUMETRIC store) { return g_default_store.exchange(store); }

// ---- Opening and closing ---------------------------------------------------------

HRESULT WuMetric_OpenAppVersion(HWUMETRIC* out, LPCWSTR key_path, LPCWSTR sub_key) {
  if (!out) return E_INVALIDARG;
  *out = nullptr;
  if (!key_path) return E_INVALIDARG;
  HWUMETRIC store = static_cast<HWUMETRIC>(WuGlobalNew(sizeof(WUMETRIC)));
  if (!store) return E_OUTOFMEMORY;
  lstrcpynW(store->key_path, key_path, MAX_PATH);
  if (sub_key && *sub_key) {
    Append(store->key_path, MAX_PATH, u"\\");
    Append(store->key_path, MAX_PATH, sub_key);
  }
  if (RegCreateKeyW(HKEY_CURRENT_USER, store->key_path, &store->key) != ERROR_SUCCESS)
    store->key = nullptr;
  *out = store;
  return S_OK;
}

HRESULT WuMetric_OpenRegHiveAndVersion(HWUMETRIC* out, LPCWSTR application, DWORD version,
                                       LPCWSTR company, LPCWSTR sub_key) {
  if (out) *out = nullptr;
  if (!out || !application || !company) return E_INVALIDARG;
  WCHAR path[MAX_PATH];
  BuildStorePath(path, application, version, company, nullptr);
  return WuMetric_OpenAppVersion(out, path, sub_key);
}

HRESULT WuMetric_Open(HWUMETRIC* out, LPCWSTR application, DWORD version, LPCWSTR sub_key) {
  return WuMetric_OpenRegHiveAndVersion(out, application, version, kCompany, sub_key);
}

HRESULT WuMetric_OpenSubKey(HWUMETRIC* out, HWUMETRIC parent, LPCWSTR sub_key) {
  if (out) *out = nullptr;
  HWUMETRIC from = Resolve(parent);
  if (!from) return E_FAIL;
  WCHAR path[MAX_PATH];
  lstrcpynW(path, from->key_path, MAX_PATH);
  // Cut after the first "\Metrics": a sub-store of a sub-store is a sibling.
  const int marker = 1 + lstrlenW(kMetricsKey);
  for (int i = 0; path[i]; ++i) {
    if (path[i] == u'\\' && WuStrCmpNI(path + i + 1, kMetricsKey, marker - 1) == 0 &&
        (path[i + marker] == 0 || path[i + marker] == u'\\')) {
      path[i + marker] = 0;
      break;
    }
  }
  return WuMetric_OpenAppVersion(out, path, sub_key);
}

HRESULT WuMetric_Close(HWUMETRIC store) {
  if (!store || store == WU_DEFAULT_METRIC) return 0;
  HWUMETRIC expected = store;
  g_default_store.compare_exchange_strong(expected, nullptr);
  if (store->key) RegCloseKey(store->key);
  if (store->second_key) RegCloseKey(store->second_key);
  WuGlobalDelete(store);
  return 0;
}

HRESULT WuMetric_CloseAndDeleteKey(HWUMETRIC store) {
  HWUMETRIC resolved = Resolve(store);
  if (!resolved) return E_FAIL;
  WCHAR path[MAX_PATH];
  lstrcpynW(path, resolved->key_path, MAX_PATH);
  WuMetric_Close(resolved);
  DeleteKeyTree(HKEY_CURRENT_USER, path);
  return S_OK;
}

HRESULT WuMetric_DeleteKeyHiveAndVersion(LPCWSTR application, DWORD version, LPCWSTR company,
                                         LPCWSTR sub_key) {
  if (!application || !company) return 0;
  WCHAR path[MAX_PATH];
  BuildStorePath(path, application, version, company, sub_key);
  DeleteKeyTree(HKEY_LOCAL_MACHINE, path);
  DeleteKeyTree(HKEY_CURRENT_USER, path);
  return 0;
}

HRESULT WuMetric_DeleteKey(LPCWSTR application, DWORD version, LPCWSTR sub_key) {
  return WuMetric_DeleteKeyHiveAndVersion(application, version, kCompany, sub_key);
}

HRESULT WuMetric_DeleteAllHiveAndVersion(LPCWSTR application, DWORD version, LPCWSTR company) {
  if (!application || !*application || !company || !*company) return 0;
  WCHAR path[MAX_PATH];
  BuildAppPath(path, application, version, company);
  DeleteKeyTree(HKEY_LOCAL_MACHINE, path);
  DeleteKeyTree(HKEY_CURRENT_USER, path);
  return 0;
}

HRESULT WuMetric_DeleteAll(LPCWSTR application, DWORD version) {
  return WuMetric_DeleteAllHiveAndVersion(application, version, kCompany);
}

// ---- 32-bit values --------------------------------------------------------------------

LONG WuGetMetric(HWUMETRIC store, int number) {
  WCHAR name[kNameSize];
  StoreName(number, REG_DWORD, name);
  LONG value = 0;
  return ReadDword(store, name, &value) ? value : 0;
}

LONG WuGetMetricEx(HWUMETRIC store, int number, LONG minimum, LONG maximum, LONG default_value) {
  WCHAR name[kNameSize];
  StoreName(number, REG_DWORD, name);
  LONG value = default_value;
  ReadDword(store, name, &value);
  if (minimum != maximum) {
    if (value < minimum) value = minimum;
    if (value > maximum) value = maximum;
  }
  return value;
}

BOOL WuGetMetricBool(HWUMETRIC store, int number, BOOL default_value) {
  WCHAR name[kNameSize];
  StoreName(number, REG_DWORD, name);
  LONG value = default_value;
  ReadDword(store, name, &value);
  return value ? TRUE : FALSE;
}

HRESULT WuSetMetric(HWUMETRIC store, int number, LONG value) {
  WCHAR name[kNameSize];
  StoreName(number, REG_DWORD, name);
  return WuSetMetricUsingName(store, name, value);
}

LONG WuGetMetricUsingName(HWUMETRIC store, LPCWSTR name, LONG default_value) {
  LONG value = default_value;
  ReadDword(store, name, &value);
  return value;
}

HRESULT WuSetMetricUsingName(HWUMETRIC store, LPCWSTR name, LONG value) {
  DWORD data = static_cast<DWORD>(value);
  return WriteValue(store, name, REG_DWORD, &data, sizeof data);
}

// ---- Texts and multi-texts -------------------------------------------------------------

int WuGetMetricStringEx(HWUMETRIC store, int number, LPWSTR buffer, int size, LPCWSTR default_text,
                        BOOL keep_empty) {
  return GetChars(store, number, REG_SZ, buffer, size, default_text, keep_empty);
}

HRESULT WuSetMetricString(HWUMETRIC store, int number, LPCWSTR text) {
  if (store == WU_DEFAULT_METRIC || !text) return E_FAIL;
  WCHAR name[kNameSize];
  StoreName(number, REG_SZ, name);
  return WriteValue(store, name, REG_SZ, text,
                    static_cast<DWORD>((lstrlenW(text) + 1) * sizeof(WCHAR)));
}

int WuGetMetricMultiStringEx(HWUMETRIC store, int number, LPWSTR buffer, int size,
                             LPCWSTR default_text, BOOL keep_empty) {
  int chars = GetChars(store, number, REG_MULTI_SZ, buffer, size, default_text, keep_empty);
  // A cut list still ends in two terminators.
  if (buffer && size >= 2 && chars >= size - 1) buffer[size - 2] = 0;
  return chars;
}

HRESULT WuSetMetricMultiString(HWUMETRIC store, int number, LPCWSTR texts, int length) {
  if (store == WU_DEFAULT_METRIC || !texts || length < 0) return E_FAIL;
  WCHAR name[kNameSize];
  StoreName(number, REG_MULTI_SZ, name);
  return WriteValue(store, name, REG_MULTI_SZ, texts, static_cast<DWORD>(length) * sizeof(WCHAR));
}

// ---- Binary blocks ------------------------------------------------------------------------

int WuGetMetricBinary(HWUMETRIC store, int number, void* buffer, int size) {
  if (!buffer || size <= 0) return 0;
  DWORD bytes = 0;
  HRESULT hr = WuGetMetricBinaryEx(store, number, buffer, static_cast<DWORD>(size), &bytes);
  if (hr != S_OK) bytes = 0;
  std::memset(static_cast<BYTE*>(buffer) + bytes, 0, static_cast<size_t>(size) - bytes);
  return static_cast<int>(bytes);
}

HRESULT WuGetMetricBinaryEx(HWUMETRIC store, int number, void* buffer, DWORD size, DWORD* bytes) {
  if (!bytes) return E_INVALIDARG;
  *bytes = 0;
  HKEY key = KeyOf(store);
  if (!key) return WU_E_NOT_FOUND;
  WCHAR name[kNameSize];
  StoreName(number, REG_BINARY, name);
  DWORD type = 0;
  DWORD needed = 0;
  if (RegQueryValueExW(key, name, nullptr, &type, nullptr, &needed) != ERROR_SUCCESS ||
      type != REG_BINARY)
    return S_FALSE;
  if (needed > size || (!buffer && needed > 0)) {
    *bytes = needed;
    return WU_E_BUFFER_TOO_SMALL;
  }
  DWORD got = size;
  if (needed > 0 && (RegQueryValueExW(key, name, nullptr, &type, static_cast<BYTE*>(buffer),
                                      &got) != ERROR_SUCCESS ||
                     type != REG_BINARY))
    return S_FALSE;  // changed under us: as good as missing
  *bytes = needed > 0 ? got : 0;
  return S_OK;
}

HRESULT WuSetMetricBinary(HWUMETRIC store, int number, const void* data, DWORD size) {
  if (store == WU_DEFAULT_METRIC || (!data && size)) return E_FAIL;
  WCHAR name[kNameSize];
  StoreName(number, REG_BINARY, name);
  return WriteValue(store, name, REG_BINARY, data, size);
}

// ---- Any kind -------------------------------------------------------------------------------

HRESULT WuGetMetricAny(HWUMETRIC store, int number, DWORD* type, void* buffer, DWORD size,
                       DWORD* bytes) {
  HKEY key = KeyOf(store);
  if (!key || !type || !bytes) return E_UNEXPECTED;
  *bytes = 0;
  DWORD wanted = *type;
  WCHAR name[kNameSize];
  StoreName(number, wanted, name);
  DWORD found = 0;
  DWORD got = buffer ? size : 0;
  LONG error = RegQueryValueExW(key, name, nullptr, &found, static_cast<BYTE*>(buffer), &got);
  if (error == ERROR_SUCCESS && !buffer && got > 0) error = ERROR_MORE_DATA;
  if (error == ERROR_MORE_DATA && found == wanted) {
    *bytes = got;
    return WU_E_BUFFER_TOO_SMALL;
  }
  if (error != ERROR_SUCCESS || found != wanted) return WU_E_NOT_FOUND;
  *type = found;
  *bytes = got;
  if (wanted != REG_SZ) return S_OK;
  // Keep the text terminated inside the buffer.
  const WCHAR terminator = 0;
  BYTE* data = static_cast<BYTE*>(buffer);
  DWORD chars = got / sizeof(WCHAR);
  DWORD capacity = size / sizeof(WCHAR);
  if (chars < capacity) {
    std::memcpy(data + chars * sizeof(WCHAR), &terminator, sizeof terminator);
    return S_OK;
  }
  WCHAR last = 0;
  if (capacity > 0) std::memcpy(&last, data + (capacity - 1) * sizeof(WCHAR), sizeof last);
  if (capacity > 0 && last == 0) return S_OK;
  if (capacity > 0)
    std::memcpy(data + (capacity - 1) * sizeof(WCHAR), &terminator, sizeof terminator);
  *bytes = got + sizeof(WCHAR);
  return WU_E_BUFFER_TOO_SMALL;
}

HRESULT WuDoesMetricExist(HWUMETRIC store, int number, DWORD type) {
  HKEY key = KeyOf(store);
  if (!key) return S_FALSE;
  WCHAR name[kNameSize];
  StoreName(number, type, name);
  DWORD found = 0;
  BYTE probe = 0;
  DWORD bytes = 1;
  LONG error = RegQueryValueExW(key, name, nullptr, &found, &probe, &bytes);
  return (error == ERROR_SUCCESS || error == ERROR_MORE_DATA) && found == type ? S_OK : S_FALSE;
}

HRESULT WuDeleteMetric(HWUMETRIC store, int number, DWORD type) {
  WCHAR name[kNameSize];
  StoreName(number, type, name);
  return WuDeleteMetricUsingName(store, name, type);
}

HRESULT WuDeleteMetricUsingName(HWUMETRIC store, LPCWSTR name, DWORD type) {
  HKEY key = KeyOf(store);
  if (!key) return S_FALSE;
  if (!name) return E_FAIL;
  return RegDeleteValueW(key, name) == ERROR_SUCCESS ? S_OK : E_FAIL;
}

int WuMetricGetName(int number, DWORD type, LPWSTR out) {
  if (!out) return 0;
  const WCHAR* prefix = type == REG_SZ       ? u"S"
                        : type == REG_BINARY ? u"B"
                        : type == REG_DWORD  ? u"D"
                                             : u"Z";
  BuildName(number, prefix, out);
  return lstrlenW(out);
}

// ---- Settings as streams ------------------------------------------------------------------

HRESULT WuGetMetricStream(HWUMETRIC store, int number, IStream* stream) {
  if (!stream) return E_POINTER;
  DWORD needed = 0;
  HRESULT hr = WuGetMetricBinaryEx(store, number, nullptr, 0, &needed);
  if (hr != WU_E_BUFFER_TOO_SMALL || needed == 0) return E_UNEXPECTED;  // missing or empty
  BYTE* data = static_cast<BYTE*>(WuGlobalNew(needed));
  if (!data) return E_OUTOFMEMORY;
  DWORD got = 0;
  hr = WuGetMetricBinaryEx(store, number, data, needed, &got);
  if (hr == S_OK && got > 0) {
    ULARGE_INTEGER start;
    LARGE_INTEGER none;
    none.QuadPart = 0;
    hr = stream->Seek(none, STREAM_SEEK_CUR, &start);
    ULONG written = 0;
    if (SUCCEEDED(hr)) hr = stream->Write(data, got, &written);
    if (SUCCEEDED(hr) && written != got) hr = E_UNEXPECTED;
    if (SUCCEEDED(hr)) {
      LARGE_INTEGER back;
      back.QuadPart = static_cast<LONGLONG>(start.QuadPart);
      hr = stream->Seek(back, STREAM_SEEK_SET, nullptr);
    }
  } else {
    hr = E_UNEXPECTED;  // changed or emptied under us
  }
  WuGlobalDelete(data);
  return FAILED(hr) ? hr : S_OK;
}

HRESULT WuSetMetricStream(HWUMETRIC store, int number, IStream* stream) {
  if (!stream) return E_POINTER;
  STATSTG stat;
  HRESULT hr = stream->Stat(&stat, STATFLAG_NONAME);
  if (FAILED(hr)) return hr;
  if (stat.cbSize.QuadPart > WUMETRIC_MAX_STREAM) return E_INVALIDARG;
  ULONG size = static_cast<ULONG>(stat.cbSize.QuadPart);
  if (size == 0) return E_UNEXPECTED;
  LARGE_INTEGER start;
  start.QuadPart = 0;
  hr = stream->Seek(start, STREAM_SEEK_SET, nullptr);
  if (FAILED(hr)) return hr;
  BYTE data[WUMETRIC_MAX_STREAM];
  ULONG read = 0;
  hr = stream->Read(data, size, &read);
  if (FAILED(hr)) return hr;
  if (read != size) return E_UNEXPECTED;
  return WuSetMetricBinary(store, number, data, size);
}
