// The application folder name, the mutex name and the cache paths.
#include "fileio/WuFioPaths.h"

#include <mutex>
#include <string>
#include <vector>

#include "foundation/WuPath.h"
#include "foundation/WuPathStrings.h"
#include "foundation/WuString.h"
#include "platform/kernel/files.h"
#include "platform/kernel/locale.h"
#include "platform/kernel/version.h"
#include "platform/shell/shell.h"

namespace {

std::mutex g_lock;                 // guards the fields below
std::u16string g_moduleFolder;     // set by the test hook, else empty
bool g_pathsSet = false;           // the four texts below are set
std::u16string g_cacheFolder;      // folder of the cache profile
std::u16string g_cacheName;        // its file name
std::u16string g_metricsFolder;    // folder of the metrics profile
std::u16string g_metricsName;      // its file name

constexpr WCHAR kCacheName[] = u"FFCache_x86.ini";
constexpr WCHAR kMetricsName[] = u"FFMetrics_x86.ini";

std::u16string Decimal(unsigned value) {
  std::u16string digits;
  do {
    digits.insert(digits.begin(), static_cast<char16_t>(u'0' + value % 10));
    value /= 10;
  } while (value);
  return digits;
}

std::u16string Hex4(unsigned value) {
  static const char16_t kDigits[] = u"0123456789ABCDEF";
  std::u16string text;
  for (int shift = 12; shift >= 0; shift -= 4) text += kDigits[(value >> shift) & 0xF];
  return text;
}

// The program's file name, or the module's.
std::u16string ModuleFileName(LPCWSTR modulePath) {
  if (modulePath) return modulePath;
  WCHAR name[520] = {};
  WuGetModuleFileName(nullptr, name, 520);
  return name;
}

// A special folder followed by the application folder name (its '\' as
// nested folders), created; empty when it cannot be had.
std::u16string UserFolder(int csidl, const std::u16string& appFolderName) {
  WCHAR base[260] = {};
  if (FAILED(SHGetFolderPathW(nullptr, csidl | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT,
                              base)))
    return std::u16string();
  std::u16string folder = base;
  std::u16string name;
  for (size_t i = 0; i <= appFolderName.size(); ++i) {
    if (i < appFolderName.size() && !WuIsPathSeparator(appFolderName[i])) {
      name += appFolderName[i];
      continue;
    }
    if (name.empty() || name == u"." || name == u"..") {
      name.clear();
      continue;
    }
    folder += u'/';
    folder += name;
    name.clear();
    CreateDirectoryW(folder.c_str(), nullptr);
  }
  if (!WuIsDirectory(folder.c_str()) || folder.size() >= 240) return std::u16string();
  return folder;
}

}  // namespace

HRESULT WuFio_AppFolderNameFromBlock(const void* block, LPCWSTR moduleName, LPWSTR out,
                                     int size) {
  if (!out || size <= 0) return E_INVALIDARG;
  std::u16string name;
  if (block) {
    unsigned language = 0x0409, codePage = 0x04E4;
    void* value = nullptr;
    UINT length = 0;
    if (VerQueryValueW(block, u"\\VarFileInfo\\Translation", &value, &length) && length >= 4) {
      const BYTE* pair = static_cast<const BYTE*>(value);
      language = pair[0] | (pair[1] << 8);
      codePage = pair[2] | (pair[3] << 8);
    }
    std::u16string query =
        u"\\StringFileInfo\\" + Hex4(language) + Hex4(codePage) + u"\\ProductName";
    if (VerQueryValueW(block, query.c_str(), &value, &length) && length > 1) {
      std::u16string product(static_cast<const WCHAR*>(value));
      if (product.size() >= 5 && WuStrCmpNI(product.c_str(), u"Orvo ", 5) == 0)
        product.erase(0, 5);
      if (!product.empty()) name = u"Orvo\\" + product;
    }
  }
  if (name.empty()) {
    WCHAR plain[260] = {};
    WuGetFileNameWithoutPathOrExtension(moduleName ? moduleName : u"", plain, 260);
    name = plain;
  }
  if (block) {
    void* value = nullptr;
    UINT length = 0;
    if (VerQueryValueW(block, u"\\", &value, &length) && length >= sizeof(VS_FIXEDFILEINFO)) {
      const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(value);
      name += u"\\" + Decimal(fixed->dwProductVersionMS >> 16) + u"." +
              Decimal(fixed->dwProductVersionMS & 0xFFFF);
    }
  }
  WuStrCpyN(out, name.c_str(), size);
  return S_OK;
}

HRESULT WuFio_GetAppFolderName(LPCWSTR modulePath, LPWSTR out, int size) {
  if (!out || size <= 0) return E_INVALIDARG;
  std::u16string file = ModuleFileName(modulePath);
  std::vector<BYTE> block;
  DWORD bytes = GetFileVersionInfoSizeW(file.c_str(), nullptr);
  if (bytes) {
    block.resize(bytes);
    if (!GetFileVersionInfoW(file.c_str(), 0, bytes, block.data())) block.clear();
  }
  return WuFio_AppFolderNameFromBlock(block.empty() ? nullptr : block.data(), file.c_str(), out,
                                      size);
}

void WuFio_MakeMutexName(LPCWSTR appFolderName, LPWSTR out, int size) {
  if (!out || size <= 0) return;
  WCHAR name[260] = {};
  WuStrCpyN(name, appFolderName ? appFolderName : u"", 260);
  for (WCHAR* at = name; *at; ++at)
    if (*at == u'\\') *at = u' ';
  WCHAR whole[260] = {};
  WuStrCpyN(whole, u"Local\\Talvene ", 260);
  WuStrCatN(whole, name, 260);
  WuStrCpyN(out, whole, size);
}

DWORD WuFio_GetManagerModuleFolder(LPWSTR out, DWORD size) {
  {
    std::lock_guard<std::mutex> hold(g_lock);
    if (!g_moduleFolder.empty()) {
      if (g_moduleFolder.size() + 1 > size) {
        if (size) out[0] = 0;
        return 0;
      }
      WuStrCpyN(out, g_moduleFolder.c_str(), static_cast<int>(size));
      return static_cast<DWORD>(g_moduleFolder.size());
    }
  }
  return WuGetModulePath(nullptr, out, size);
}

void WuFio_SetManagerModuleFolder(LPCWSTR folder) {
  std::lock_guard<std::mutex> hold(g_lock);
  g_moduleFolder = folder ? folder : u"";
  if (!g_moduleFolder.empty() && !WuIsPathSeparator(g_moduleFolder.back())) g_moduleFolder += u'/';
  g_pathsSet = false;
}

HRESULT WuFio_EnsureCachePaths(LPCWSTR appFolderName, DWORD flags, LPCWSTR modulePath) {
  {
    std::lock_guard<std::mutex> hold(g_lock);
    if (g_pathsSet) return S_OK;
  }
  WCHAR made[260] = {};
  if (!appFolderName) {
    WuFio_GetAppFolderName(modulePath, made, 260);
    appFolderName = made;
  }
  std::u16string cacheFolder, metricsFolder, cacheName = kCacheName, metricsName = kMetricsName;
  if (!(flags & WUFIO_CREATE_CACHE_NEXT_TO_MODULE)) {
    cacheFolder = UserFolder(CSIDL_LOCAL_APPDATA, appFolderName);
    metricsFolder = UserFolder(CSIDL_APPDATA, appFolderName);
  }
  if (cacheFolder.empty() || metricsFolder.empty()) {
    WCHAR folder[260] = {};
    if (modulePath) {
      WuGetPathNameFromFilePath(modulePath, folder, 260);
    } else {
      WuFio_GetManagerModuleFolder(folder, 260);
    }
    // Without a folder the profiles would land elsewhere: none are kept.
    if (!*folder) return E_FAIL;
    std::u16string file = ModuleFileName(modulePath);
    std::u16string moduleName = WuGetFileNamePtrW(file.c_str());
    cacheFolder = metricsFolder = folder;
    cacheName = moduleName + u" " + kCacheName;
    metricsName = moduleName + u" " + kMetricsName;
  }
  std::lock_guard<std::mutex> hold(g_lock);
  if (g_pathsSet) return S_OK;
  g_cacheFolder = cacheFolder;
  g_cacheName = cacheName;
  g_metricsFolder = metricsFolder;
  g_metricsName = metricsName;
  g_pathsSet = true;
  return S_OK;
}

bool WuFio_CachePathsSet() {
  std::lock_guard<std::mutex> hold(g_lock);
  return g_pathsSet;
}

BOOL WuFio_GetCacheProfile(LPWSTR folder, LPWSTR name) {
  std::lock_guard<std::mutex> hold(g_lock);
  if (!g_pathsSet) return FALSE;
  WuStrCpyN(folder, g_cacheFolder.c_str(), 260);
  WuStrCpyN(name, g_cacheName.c_str(), 260);
  return TRUE;
}

BOOL WuFio_GetMetricsProfile(LPWSTR folder, LPWSTR name) {
  std::lock_guard<std::mutex> hold(g_lock);
  if (!g_pathsSet) return FALSE;
  WuStrCpyN(folder, g_metricsFolder.c_str(), 260);
  WuStrCpyN(name, g_metricsName.c_str(), 260);
  return TRUE;
}
