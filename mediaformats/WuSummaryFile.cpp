// The INFO summary in files: "INFO" and "UNFO" lists.
#include <algorithm>
#include <memory>
#include <new>

#include "mediaformats/Riff.h"
#include "mediaformats/RiffFile.h"
#include "mediaformats/WuFileBound.h"
#include "mediaformats/WuGlobalBlock.h"
#include "mediaformats/WuSummary.h"
#include "platform/kernel/locale.h"

namespace {

// The text of one stored entry of `size` bytes in its own block, or null.
using Decode = LPWSTR (*)(const BYTE* bytes, DWORD size);

LPWSTR DecodeAnsi(const BYTE* bytes, DWORD size) {
  // `bytes` holds size + 1 bytes, the last one zero: the text ends at its
  // own terminator or after its size.
  auto* text = static_cast<LPWSTR>(wublock::Alloc((static_cast<size_t>(size) + 1) * sizeof(WCHAR)));
  if (!text) return nullptr;
  if (size > 0 &&
      MultiByteToWideChar(CP_ACP, 0, reinterpret_cast<const char*>(bytes), -1, text,
                          static_cast<int>(size + 1)) <= 0)
    text[0] = 0;
  return text;
}

LPWSTR DecodeUtf16(const BYTE* bytes, DWORD size) {
  DWORD chars = size / 2;
  auto* text = static_cast<LPWSTR>(wublock::Alloc((static_cast<size_t>(chars) + 1) * sizeof(WCHAR)));
  if (!text) return nullptr;
  for (DWORD i = 0; i < chars; ++i) text[i] = static_cast<WCHAR>(riffbytes::Get16(bytes + 2 * i));
  text[chars] = 0;
  return text;
}

HRESULT LoadList(HANDLE file, WuSummary* summary, DWORD bytes_left, Decode decode) {
  if (!summary) return E_INVALIDARG;
  WuSummary_Free(summary);
  DWORD count = 0;
  DWORD counter = bytes_left;
  HRESULT hr = riff_GetNumListEntries(file, &count, &counter);
  if (FAILED(hr) || count == 0) return hr;
  summary->items = static_cast<WuSummaryItem*>(wublock::Alloc(count * sizeof(WuSummaryItem)));
  if (!summary->items) return E_OUTOFMEMORY;
  summary->count = count;
  DWORD left = bytes_left;
  for (DWORD i = 0; i < count && SUCCEEDED(hr); ++i) {
    FOURCC id = 0;
    DWORD size = 0;
    hr = left < 8 ? RIFF_E_READ : riff_ReadChunkHeader(file, &id, &size);
    if (FAILED(hr)) break;
    left -= 8;
    // An entry must lie inside the list: a size beyond it is never
    // allocated.
    if (size > left || !wubound::FitsInFile(file, size)) {
      hr = RIFF_E_READ;
      break;
    }
    left -= static_cast<DWORD>(std::min<ULONGLONG>(left, riffbytes::PadEven(size)));
    std::unique_ptr<BYTE[]> bytes(new (std::nothrow) BYTE[static_cast<size_t>(size) + 1]);
    if (!bytes) {
      hr = E_OUTOFMEMORY;
      break;
    }
    hr = riff_ReadData(file, bytes.get(), size);
    if (FAILED(hr)) break;
    bytes[size] = 0;
    summary->items[i].id = id;
    summary->items[i].text = decode(bytes.get(), size);
    if (!summary->items[i].text) hr = E_OUTOFMEMORY;
  }
  if (FAILED(hr)) WuSummary_Free(summary);
  return hr;
}

// One entry's stored bytes (terminator included) into `bytes`.
using Encode = bool (*)(LPCWSTR text, std::unique_ptr<BYTE[]>* bytes, DWORD* size);

bool EncodeAnsi(LPCWSTR text, std::unique_ptr<BYTE[]>* bytes, DWORD* size) {
  DWORD n = riff_AnsiByteLength(text);
  bytes->reset(new (std::nothrow) BYTE[static_cast<size_t>(n) + 1]());
  if (!*bytes) return false;
  WuWideToMultiByte(reinterpret_cast<LPSTR>(bytes->get()), text, static_cast<int>(n + 1), CP_ACP);
  (*bytes)[n] = 0;
  *size = n + 1;
  return true;
}

bool EncodeUtf16(LPCWSTR text, std::unique_ptr<BYTE[]>* bytes, DWORD* size) {
  DWORD chars = static_cast<DWORD>(WuStrLenSafe(text)) + 1;
  bytes->reset(new (std::nothrow) BYTE[static_cast<size_t>(chars) * 2]);
  if (!*bytes) return false;
  for (DWORD i = 0; i < chars; ++i) riffbytes::Put16(bytes->get() + 2 * i, text[i]);
  *size = chars * 2;
  return true;
}

HRESULT SaveList(HANDLE file, const WuSummary* summary, DWORD* written, FOURCC type,
                 Encode encode) {
  if (written) *written = 0;
  if (!summary) return E_INVALIDARG;
  if (summary->count == 0 || !summary->items) return S_OK;
  LONGLONG start = rifffile::Tell(file);
  if (start < 0) return RIFF_E_WRITE;
  HRESULT hr = riff_WriteListHeader(file, type, 0);
  if (FAILED(hr)) return hr;
  DWORD list_size = 4;
  for (DWORD i = 0; i < summary->count; ++i) {
    const WuSummaryItem& item = summary->items[i];
    if (!item.text) continue;
    std::unique_ptr<BYTE[]> bytes;
    DWORD size = 0;
    if (!encode(item.text, &bytes, &size)) return E_OUTOFMEMORY;
    DWORD chunk = 0;
    hr = riff_WriteChunk(file, item.id, bytes.get(), size, &chunk);
    if (FAILED(hr)) return hr;
    list_size += chunk;
  }
  LONGLONG end = rifffile::Tell(file);
  BYTE field[4];
  riffbytes::Put32(field, list_size);
  if (end < 0 || !rifffile::SeekTo(file, static_cast<ULONGLONG>(start) + 4)) return RIFF_E_WRITE;
  hr = rifffile::WriteExact(file, field, sizeof field);
  if (!rifffile::SeekTo(file, static_cast<ULONGLONG>(end)) && SUCCEEDED(hr)) hr = RIFF_E_WRITE;
  if (FAILED(hr)) return hr;
  if (written) *written = list_size + 8;
  return S_OK;
}

}  // namespace

HRESULT WuSummary_Load(HANDLE file, WuSummary* summary, DWORD bytes_left) {
  return LoadList(file, summary, bytes_left, DecodeAnsi);
}

HRESULT WuSummary_LoadUNFO(HANDLE file, WuSummary* summary, DWORD bytes_left) {
  return LoadList(file, summary, bytes_left, DecodeUtf16);
}

HRESULT WuSummary_Save(HANDLE file, const WuSummary* summary, DWORD* written) {
  return SaveList(file, summary, written, kSummaryInfo, EncodeAnsi);
}

HRESULT WuSummary_SaveUNFO(HANDLE file, const WuSummary* summary, DWORD* written) {
  return SaveList(file, summary, written, kSummaryUnfo, EncodeUtf16);
}

HRESULT WuSummary_GetStringFromFile(HANDLE file, DWORD id, LPWSTR buffer, DWORD buffer_chars,
                                    DWORD* bytes_left) {
  if (!buffer || buffer_chars == 0) return E_INVALIDARG;
  buffer[0] = 0;
  DWORD start = 0;
  HRESULT hr = riff_SaveLocation(file, &start);
  if (FAILED(hr)) return hr;
  DWORD list_left = 0;
  hr = riff_FindListChunk(file, kSummaryInfo, &list_left, bytes_left);
  DWORD size = 0;
  if (SUCCEEDED(hr)) hr = riff_FindChunkHeader(file, id, &size, &list_left);
  if (SUCCEEDED(hr)) {
    // Only the item's own bytes: an item stored without its terminator ends
    // at its size instead of running into the chunks after it.
    std::unique_ptr<char[]> bytes;
    if (size > list_left || !wubound::FitsInFile(file, size)) {
      hr = RIFF_E_READ;
    } else if (bytes.reset(new (std::nothrow) char[static_cast<size_t>(size) + 1]()); !bytes) {
      hr = E_OUTOFMEMORY;
    } else {
      hr = rifffile::ReadExact(file, bytes.get(), size);
      // A text longer than the buffer keeps the characters that fit.
      if (SUCCEEDED(hr) && size > 0)
        MultiByteToWideChar(CP_ACP, 0, bytes.get(), -1, buffer,
                            static_cast<int>(std::min<DWORD>(buffer_chars, 0x7FFFFFFF)));
      buffer[buffer_chars - 1] = 0;
    }
  }
  riff_RestoreLocation(file, start);
  return hr;
}
