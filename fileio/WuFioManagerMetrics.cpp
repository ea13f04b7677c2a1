// The manager's numbered settings: ids 0 to 39 in memory, id 40 a fixed
// 0, every other id (negative ones included) in section "Metrics" of the
// metrics profile, read and written through a profile made for each call.
#include <cstdint>
#include <cstring>
#include <string>

#include "fileio/CWuFileIOManager.h"
#include "fileio/CWuProfile.h"
#include "fileio/WuFioPaths.h"
#include "foundation/WuString.h"
#include "platform/registry/profile.h"

namespace {

// The last id kept in memory and the id that always reads as 0.
constexpr DWORD kMemoryMetrics = 40;
// The default a number is first read with: a stored value never equals it
// unless it was stored as it.
constexpr int kNumberProbe = 61453;
// The most 32-bit values binary data may hold, and the longest text of
// such data (128 values of at most 11 characters and their commas).
constexpr DWORD kMaxBinaryValues = 128;
constexpr DWORD kMaxBinaryText = 1538;

// The key of a profile metric: `letter` and the decimal magnitude of the
// id read as signed. The magnitude is taken as unsigned, so 0x80000000
// gives "2147483648" (its signed negation does not exist).
std::u16string MetricKey(char16_t letter, DWORD id) {
  DWORD magnitude = static_cast<LONG>(id) < 0 ? 0u - id : id;
  std::string digits = std::to_string(magnitude);
  std::u16string key(1, letter);
  key.append(digits.begin(), digits.end());
  return key;
}

// The metrics profile, section "Metrics"; not valid when its path is not
// set (the name stays empty).
class MetricsProfile {
 public:
  MetricsProfile() : set_(WuFio_GetMetricsProfile(folder_, name_)), profile_(folder_, name_) {
    profile_.SetSection(u"Metrics");
  }
  CWuProfile* operator->() { return &profile_; }
  explicit operator bool() const { return set_ && profile_.IsValid(); }

 private:
  WCHAR folder_[260] = {};  // the profile's folder
  WCHAR name_[260] = {};    // its file name
  bool set_;                // the paths are set
  CWuProfile profile_;      // the profile over them
};

// A piece of binary-data text read like a decimal integer: white space, a
// sign, digits up to the first other character; nothing gives 0. Kept as
// the low 32 bits.
DWORD ParseValue(const WCHAR* at, const WCHAR* end) {
  while (at < end && (*at == u' ' || *at == u'\t')) ++at;
  bool negative = false;
  if (at < end && (*at == u'-' || *at == u'+')) negative = *at++ == u'-';
  uint64_t value = 0;
  for (; at < end && *at >= u'0' && *at <= u'9'; ++at)
    value = value * 10 + static_cast<uint64_t>(*at - u'0');
  DWORD low = static_cast<DWORD>(value);
  return negative ? 0u - low : low;
}

}  // namespace

HRESULT CWuFileIOManager::GetMetric(DWORD id, LONG* value) {
  if (!value) return E_POINTER;
  *value = 0;
  if (id < kMemoryMetrics) {
    *value = metrics_[id];
    return S_OK;
  }
  if (id == kMemoryMetrics) return S_OK;
  MetricsProfile profile;
  if (!profile) return WUFIO_E_ABSENT;
  std::u16string key = MetricKey(u'D', id);
  int read = profile->GetInt(key.c_str(), kNumberProbe);
  if (read != kNumberProbe) {
    *value = read;
    return S_OK;
  }
  // Either stored as 61453 or absent: a second default tells them apart.
  read = profile->GetInt(key.c_str(), 0);
  if (read == 0) return WUFIO_E_ABSENT;
  *value = read;
  return S_OK;
}

HRESULT CWuFileIOManager::SetMetric(DWORD id, LONG value) {
  if (id < kMemoryMetrics) {
    metrics_[id] = value;
    return S_OK;
  }
  if (id == kMemoryMetrics) return E_UNEXPECTED;
  MetricsProfile profile;
  if (!profile) return E_UNEXPECTED;
  return profile->WriteInt(MetricKey(u'D', id).c_str(), value);
}

HRESULT CWuFileIOManager::GetMetricString(DWORD id, LPWSTR buffer, LONG size, LONG* chars) {
  if (chars) *chars = 0;
  if (buffer && size > 0) buffer[0] = 0;
  if (id <= kMemoryMetrics) return E_INVALIDARG;
  if (!buffer || size <= 0 || !chars) return E_INVALIDARG;
  MetricsProfile profile;
  if (!profile) return WUFIO_E_ABSENT;
  if (!profile->GetString(MetricKey(u'S', id).c_str(), nullptr, buffer,
                          static_cast<DWORD>(size)))
    return WUFIO_E_ABSENT;
  *chars = WuStrLenSafe(buffer) + 1;
  return S_OK;
}

HRESULT CWuFileIOManager::SetMetricString(DWORD id, LPCWSTR text) {
  if (id <= kMemoryMetrics) return E_INVALIDARG;
  MetricsProfile profile;
  if (!profile) return E_UNEXPECTED;
  return profile->WriteString(MetricKey(u'S', id).c_str(), text);
}

HRESULT CWuFileIOManager::DeleteMetric(DWORD id, LONG kind) {
  if (id <= kMemoryMetrics) return E_INVALIDARG;
  char16_t letter = kind == 1 ? u'S' : kind == 3 ? u'B' : kind == 4 ? u'D' : u'Z';
  MetricsProfile profile;
  if (!profile) return S_OK;
  std::u16string key = MetricKey(letter, id);
  profile->WriteString(key.c_str(), u"");
  WritePrivateProfileStringW(profile->Section(), key.c_str(), nullptr, profile->Path());
  return S_OK;
}

HRESULT CWuFileIOManager::GetMetricBinary(DWORD id, void* buffer, DWORD bytes, DWORD* got) {
  if (got) *got = 0;
  if (buffer) std::memset(buffer, 0, bytes);
  if (id <= kMemoryMetrics) return E_INVALIDARG;
  if (!buffer || !got || bytes % 4 != 0) return E_INVALIDARG;
  MetricsProfile profile;
  if (!profile) return WUFIO_E_ABSENT;
  WCHAR text[kMaxBinaryText + 1] = {};
  if (!profile->GetString(MetricKey(u'B', id).c_str(), nullptr, text, kMaxBinaryText + 1))
    return WUFIO_E_ABSENT;
  DWORD wanted = bytes / 4;
  DWORD filled = 0;
  const WCHAR* at = text;
  while (filled < wanted && *at) {
    const WCHAR* end = at;
    while (*end && *end != u',') ++end;
    DWORD value = ParseValue(at, end);
    std::memcpy(static_cast<BYTE*>(buffer) + 4 * filled++, &value, 4);
    at = *end ? end + 1 : end;
  }
  *got = bytes;
  return S_OK;
}

HRESULT CWuFileIOManager::SetMetricBinary(DWORD id, const void* data, DWORD bytes) {
  if (id <= kMemoryMetrics) return E_INVALIDARG;
  DWORD count = bytes / 4;
  if (count > kMaxBinaryValues) return E_INVALIDARG;
  if (!data && count > 0) return E_INVALIDARG;
  // Trailing zero values are dropped; one value always stays.
  while (count > 1 && std::memcmp(static_cast<const BYTE*>(data) + 4 * (count - 1),
                                  "\0\0\0\0", 4) == 0)
    --count;
  std::string text;
  for (DWORD i = 0; i < count; ++i) {
    LONG value = 0;
    std::memcpy(&value, static_cast<const BYTE*>(data) + 4 * i, 4);
    if (i) text += ',';
    text += std::to_string(value);
  }
  if (text.empty()) text = "0";
  MetricsProfile profile;
  if (!profile) return E_UNEXPECTED;
  std::u16string wide(text.begin(), text.end());
  return profile->WriteString(MetricKey(u'B', id).c_str(), wide.c_str());
}
