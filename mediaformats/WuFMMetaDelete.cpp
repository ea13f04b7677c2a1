// Metadata chunks deleted by kind, and the marker test.
#include "foundation/WuErrorHandler.h"
#include "mediaformats/Iff.h"
#include "mediaformats/Riff.h"
#include "mediaformats/Riff64.h"
#include "mediaformats/Riff64Counter.h"
#include "mediaformats/RiffFile.h"
#include "mediaformats/WuFMMeta.h"
#include "platform/kernel/error.h"
#include "platform/kernel/files.h"
#include "platform/kernel/handles.h"

namespace {

// A RIFF chunk of a kind: its id, or the list type of a "LIST".
struct RiffRow {
  DWORD kind;
  FOURCC id;
  BOOL is_list;
};

// Constant tables: nothing here keeps state.
constexpr RiffRow kRiffRows[] = {
    {WUFIO_META_INFO, RiffId("INFO"), TRUE},       {WUFIO_META_MARKERS, RiffId("cue "), FALSE},
    {WUFIO_META_MARKERS, RiffId("adtl"), TRUE},    {WUFIO_META_MARKERS, RiffId("wu01"), FALSE},
    {WUFIO_META_WU04, RiffId("wu04"), FALSE},      {WUFIO_META_SCOT, RiffId("scot"), FALSE},
    {WUFIO_META_PLAYLIST, RiffId("plst"), FALSE},  {WUFIO_META_PLAYLIST, RiffId("wu02"), FALSE},
    {WUFIO_META_TRACKLIST, RiffId("tlst"), FALSE}, {WUFIO_META_DISPLAY, RiffId("DISP"), FALSE},
    {WUFIO_META_SAMPLER, RiffId("smpl"), FALSE},   {WUFIO_META_STR2, RiffId("str2"), FALSE},
    {WUFIO_META_BOOKMARKS, RiffId("bmrk"), FALSE}, {WUFIO_META_BEATS, RiffId("dtbt"), FALSE},
    {WUFIO_META_PICTURES, RiffId("pic "), TRUE},   {WUFIO_META_BMPI, RiffId("bmpi"), FALSE},
    {WUFIO_META_BMPM, RiffId("bmpm"), FALSE},
};
static_assert(sizeof kRiffRows / sizeof kRiffRows[0] == 17);

struct Riff64Row {
  DWORD kind;
  const GUID* id;
};

constexpr Riff64Row kRiff64Rows[] = {
    {WUFIO_META_INFO, &kMetaGuidInfo},           {WUFIO_META_SLOT4, &kMetaGuidSlot4},
    {WUFIO_META_MARKERS, &kMetaGuidMarkers},     {WUFIO_META_WU04, &kMetaGuidWu04},
    {WUFIO_META_SCOT, &kMetaGuidScot},           {WUFIO_META_PLAYLIST, &kMetaGuidPlaylist},
    {WUFIO_META_TRACKLIST, &kMetaGuidTracklist}, {WUFIO_META_DISPLAY, &kMetaGuidDisplay},
    {WUFIO_META_SAMPLER, &kMetaGuidSampler},     {WUFIO_META_STR2, &kMetaGuidStr2},
    {WUFIO_META_BOOKMARKS, &kMetaGuidBookmarks}, {WUFIO_META_BEATS, &kMetaGuidBeats},
    {WUFIO_META_PICTURES, &kMetaGuidPictures},   {WUFIO_META_BMPI, &kMetaGuidBmpi},
    {WUFIO_META_BMPM, &kMetaGuidBmpm},
};
static_assert(sizeof kRiff64Rows / sizeof kRiff64Rows[0] == 15);

// Deletes the first chunk `count` times, or until it is gone; a chunk that
// is not there is no error.
template <class Delete>
HRESULT DeleteUpTo(DWORD count, Delete remove) {
  for (DWORD i = 0; i < count; ++i) {
    HRESULT hr = remove();
    if (hr == RIFF_E_NOT_FOUND) return S_OK;
    if (FAILED(hr)) return hr;
  }
  return S_OK;
}

template <class Delete>
HRESULT DeleteEvery(Delete remove) {
  return DeleteUpTo(0xFFFFFFFF, remove);
}

}  // namespace

HRESULT WuFMMeta_DeleteFirstChunks(HANDLE file, FOURCC id, DWORD count) {
  return DeleteUpTo(count, [&] {
    DWORD removed = 0;
    return riff_DeleteChunk(file, id, &removed, FALSE);
  });
}

HRESULT WuFMMeta64_DeleteFirstChunks(HANDLE file, const GUID& id, DWORD count) {
  return DeleteUpTo(count, [&] {
    ULONGLONG removed = 0;
    return riff64_DeleteChunk(file, id, &removed);
  });
}

HRESULT WuFMMeta_DeleteEveryChunk(HANDLE file, FOURCC id, BOOL is_list) {
  return DeleteEvery([&] {
    DWORD removed = 0;
    return riff_DeleteChunk(file, id, &removed, is_list);
  });
}

HRESULT WuFMMeta64_DeleteEveryChunk(HANDLE file, const GUID& id) {
  return WuFMMeta64_DeleteFirstChunks(file, id, 0xFFFFFFFF);
}

DWORD WuFMMeta_CountChunks(HANDLE file, FOURCC id) {
  DWORD left = 0;
  if (!rifffile::SeekTo(file, 0) || FAILED(riff_ReadFileID(file, &left, nullptr))) return 0;
  DWORD count = 0;
  DWORD size = 0;
  while (SUCCEEDED(riff_FindChunkHeader(file, id, &size, &left))) {
    ++count;
    ULONGLONG padded = riffbytes::PadEven(size);
    rifffile::SkipForward(file, padded);
    left = padded >= left ? 0 : left - static_cast<DWORD>(padded);
  }
  return count;
}

DWORD WuFMMeta64_CountChunks(HANDLE file, const GUID& id) {
  ULONGLONG form = 0;
  if (!rifffile::SeekTo(file, 0) || FAILED(riff64_ReadFileID(file, &form, nullptr))) return 0;
  LONGLONG left = riff64counter::FromSize(form);
  DWORD count = 0;
  ULONGLONG size = 0;
  while (SUCCEEDED(riff64_FindChunkHeader(file, id, &size, &left))) {
    ++count;
    riff64counter::Lower(&left, riff64_SkipChunk(file, size));
  }
  return count;
}

HRESULT WuFMMeta_DeleteKindsFromFile(HANDLE file, DWORD kinds, BOOL riff64) {
  if (riff64) {
    for (const Riff64Row& row : kRiff64Rows) {
      if (!(kinds & row.kind)) continue;
      HRESULT hr = WuFMMeta64_DeleteEveryChunk(file, *row.id);
      if (FAILED(hr)) return hr;
    }
    return S_OK;
  }
  // An AIFF or AIFF-C file (whatever its compression) holds only the AIFF
  // kind: its "INST", then its "MARK".
  if (iff_IsAIFFForm(file)) {
    if (!(kinds & WUFIO_META_AIFF_MARKERS)) return S_OK;
    for (DWORD id : {IffId("INST"), IffId("MARK")}) {
      HRESULT hr = DeleteEvery([&] {
        DWORD removed = 0;
        return iff_DeleteChunk(file, id, &removed);
      });
      if (FAILED(hr)) return hr;
    }
    return S_OK;
  }
  for (const RiffRow& row : kRiffRows) {
    if (!(kinds & row.kind)) continue;
    HRESULT hr = WuFMMeta_DeleteEveryChunk(file, row.id, row.is_list);
    if (FAILED(hr)) return hr;
  }
  return S_OK;
}

DWORD WuFMMeta_KindOfChunk(FOURCC id, BOOL is_list) {
  DWORD kinds = 0;
  for (const RiffRow& row : kRiffRows)
    if (row.id == id && row.is_list == is_list) kinds |= row.kind;
  return kinds;
}

DWORD WuFMMeta64_KindOfChunk(const GUID& id) {
  DWORD kinds = 0;
  for (const Riff64Row& row : kRiff64Rows)
    if (IsEqualGUID(*row.id, id)) kinds |= row.kind;
  return kinds;
}

HRESULT WuFMMeta_DeleteMetaChunksEx(LPCWSTR path, DWORD kinds, BOOL riff64) {
  if (!path) return S_OK;
  HANDLE file = CreateFileW(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    // A file that is not there has nothing to delete; one that is there
    // and cannot be written keeps its chunks, which the caller must learn.
    DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return S_OK;
    return WuErrorHandler_TranslateWin32Error(error);
  }
  HRESULT hr = WuFMMeta_DeleteKindsFromFile(file, kinds, riff64);
  CloseHandle(file);
  return hr;
}

HRESULT WuFMMeta_DeleteMetaChunks(LPCWSTR path) {
  return WuFMMeta_DeleteMetaChunksEx(path, WUFIO_META_MARKERS, FALSE);
}

HRESULT WuFMMeta_LookForMarkers(LPCWSTR path) {
  if (!path) return RIFF_E_NOT_FOUND;
  HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return RIFF_E_NOT_FOUND;
  DWORD size = 0;
  DWORD left = 0;
  HRESULT hr = riff_FindChunkHeaderInRIFF(file, RiffId("cue "), &size, &left);
  CloseHandle(file);
  return SUCCEEDED(hr) ? S_OK : RIFF_E_NOT_FOUND;
}
