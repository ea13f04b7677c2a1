// Image lists.
#include "platform/comctl/commctrl.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <set>
#include <string>
#include <vector>

#include "platform/comctl/comctl_internal.h"
#include "platform/gdi/gdi.h"
#include "platform/kernel/error.h"
#include "platform/kernel/locale.h"
#include "platform/kernel/resource.h"
#include "platform/user/control_state.h"
#include "platform/user/frontend.h"

// ==== Image lists ====================================================================================
// Each image is kept as its pixel colours, row by row, with a flag per
// pixel for the transparent ones (set only in a masked list).
struct _IMAGELIST {
  int cx = 0;                        // image width in pixels
  int cy = 0;                        // image height in pixels
  UINT flags = 0;                    // ILC_* given at creation
  std::vector<COLORREF> pixels;      // all images, cx * cy each
  std::vector<bool> transparent;     // one flag per pixel of `pixels`
  int count = 0;                     // number of images
};

namespace platform {
namespace {

// The live lists, so that handles can be checked.
struct ImageListRegistry {
  std::mutex lock;                  // guards `live`
  std::set<HIMAGELIST> live;        // every list not yet destroyed
};

ImageListRegistry& ImageLists() {
  static ImageListRegistry* registry = new ImageListRegistry;
  return *registry;
}

// The list behind a handle, or NULL (ERROR_INVALID_HANDLE).
HIMAGELIST LiveList(HIMAGELIST list) {
  ImageListRegistry& r = ImageLists();
  std::lock_guard<std::mutex> guard(r.lock);
  if (list && r.live.count(list)) return list;
  SetLastError(ERROR_INVALID_HANDLE);
  return nullptr;
}

// The pixel colours of a bitmap, row by row; false when it cannot be read.
bool ReadBitmap(HBITMAP bitmap, int* width, int* height, std::vector<COLORREF>* out) {
  BITMAP info{};
  if (!bitmap || GetObjectW(bitmap, sizeof(info), &info) != sizeof(info)) return false;
  *width = info.bmWidth;
  *height = info.bmHeight < 0 ? -info.bmHeight : info.bmHeight;
  HDC dc = CreateCompatibleDC(nullptr);
  if (!dc) return false;
  HGDIOBJ old = SelectObject(dc, bitmap);
  bool ok = old != nullptr;
  if (ok) {
    out->resize(static_cast<size_t>(*width) * static_cast<size_t>(*height));
    for (int y = 0; y < *height; ++y)
      for (int x = 0; x < *width; ++x)
        (*out)[static_cast<size_t>(y) * static_cast<size_t>(*width) + static_cast<size_t>(x)] =
            GetPixel(dc, x, y);
    SelectObject(dc, old);
  }
  DeleteDC(dc);
  return ok;
}

// Appends the images of `image` cut from the left; a pixel is transparent
// when the mask bitmap has it white, or when it has the colour `key`.
int AddImages(HIMAGELIST list, HBITMAP image, HBITMAP mask, COLORREF key) {
  if (!LiveList(list)) return -1;
  int width = 0, height = 0;
  std::vector<COLORREF> colours;
  std::vector<COLORREF> mask_colours;
  int mask_width = 0, mask_height = 0;
  try {
    if (!ReadBitmap(image, &width, &height, &colours)) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return -1;
    }
    bool masked = (list->flags & ILC_MASK) != 0;
    if (masked && mask && !ReadBitmap(mask, &mask_width, &mask_height, &mask_colours)) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return -1;
    }
    int added = width / list->cx;
    if (added <= 0) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return -1;
    }
    int first = list->count;
    size_t per_image = static_cast<size_t>(list->cx) * static_cast<size_t>(list->cy);
    list->pixels.resize(list->pixels.size() + per_image * static_cast<size_t>(added), 0);
    list->transparent.resize(list->pixels.size(), false);
    for (int i = 0; i < added; ++i) {
      size_t base = static_cast<size_t>(first + i) * per_image;
      // Rows beyond the bitmap's height stay black and opaque.
      for (int y = 0; y < list->cy && y < height; ++y) {
        for (int x = 0; x < list->cx; ++x) {
          int sx = i * list->cx + x;
          COLORREF c = colours[static_cast<size_t>(y) * static_cast<size_t>(width) +
                               static_cast<size_t>(sx)];
          size_t at = base + static_cast<size_t>(y) * static_cast<size_t>(list->cx) +
                      static_cast<size_t>(x);
          list->pixels[at] = c;
          bool clear = false;
          if (masked && key != CLR_NONE) clear = c == key;
          if (masked && mask && sx < mask_width && y < mask_height)
            clear = (mask_colours[static_cast<size_t>(y) * static_cast<size_t>(mask_width) +
                                  static_cast<size_t>(sx)] &
                     0xFFFFFF) != 0;
          list->transparent[at] = clear;
        }
      }
    }
    list->count += added;
    return first;
  } catch (const std::bad_alloc&) {
    // Nothing half-added stays behind.
    size_t keep = static_cast<size_t>(list->count) * static_cast<size_t>(list->cx) *
                  static_cast<size_t>(list->cy);
    list->pixels.resize(keep);
    list->transparent.resize(keep);
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return -1;
  }
}

}  // namespace

size_t LiveImageListCount() {
  ImageListRegistry& r = ImageLists();
  std::lock_guard<std::mutex> guard(r.lock);
  return r.live.size();
}

}  // namespace platform

HIMAGELIST ImageList_Create(int cx, int cy, UINT flags, int initial, int grow) {
  (void)initial;
  (void)grow;
  if (cx <= 0 || cy <= 0 || cx > 4096 || cy > 4096) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  auto* list = new (std::nothrow) _IMAGELIST;
  if (!list) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  list->cx = cx;
  list->cy = cy;
  list->flags = flags;
  try {
    platform::ImageListRegistry& r = platform::ImageLists();
    std::lock_guard<std::mutex> guard(r.lock);
    r.live.insert(list);
  } catch (...) {
    delete list;
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  return list;
}

BOOL ImageList_Destroy(HIMAGELIST list) {
  {
    platform::ImageListRegistry& r = platform::ImageLists();
    std::lock_guard<std::mutex> guard(r.lock);
    if (!list || !r.live.erase(list)) {
      SetLastError(ERROR_INVALID_HANDLE);
      return FALSE;
    }
  }
  delete list;
  return TRUE;
}

int ImageList_Add(HIMAGELIST list, HBITMAP image, HBITMAP mask) {
  return platform::AddImages(list, image, mask, CLR_NONE);
}

int ImageList_AddMasked(HIMAGELIST list, HBITMAP image, COLORREF mask) {
  return platform::AddImages(list, image, nullptr, mask);
}

int ImageList_GetImageCount(HIMAGELIST list) {
  return platform::LiveList(list) ? list->count : 0;
}

BOOL ImageList_GetIconSize(HIMAGELIST list, int* cx, int* cy) {
  if (!platform::LiveList(list) || !cx || !cy) return FALSE;
  *cx = list->cx;
  *cy = list->cy;
  return TRUE;
}

BOOL ImageList_Draw(HIMAGELIST list, int index, HDC dc, int x, int y, UINT style) {
  if (!platform::LiveList(list)) return FALSE;
  if (index < 0 || index >= list->count || !dc) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  size_t base = static_cast<size_t>(index) * static_cast<size_t>(list->cx) *
                static_cast<size_t>(list->cy);
  for (int row = 0; row < list->cy; ++row) {
    for (int col = 0; col < list->cx; ++col) {
      size_t at = base + static_cast<size_t>(row) * static_cast<size_t>(list->cx) +
                  static_cast<size_t>(col);
      bool clear = list->transparent[at];
      if (style & ILD_MASK) {
        SetPixel(dc, x + col, y + row, clear ? RGB(255, 255, 255) : RGB(0, 0, 0));
      } else if (!clear) {
        SetPixel(dc, x + col, y + row, list->pixels[at]);
      }
    }
  }
  return TRUE;
}

HIMAGELIST ImageList_LoadImageW(HINSTANCE instance, LPCWSTR name, int cx, int grow,
                                COLORREF mask, UINT type, UINT flags) {
  if (type != IMAGE_BITMAP || cx <= 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  HBITMAP bitmap = static_cast<HBITMAP>(LoadImageW(instance, name, IMAGE_BITMAP, 0, 0, flags));
  if (!bitmap) return nullptr;
  BITMAP info{};
  HIMAGELIST list = nullptr;
  if (GetObjectW(bitmap, sizeof(info), &info) == sizeof(info) && info.bmWidth >= cx) {
    int height = info.bmHeight < 0 ? -info.bmHeight : info.bmHeight;
    UINT list_flags = ILC_COLOR32 | (mask != CLR_NONE ? ILC_MASK : 0);
    list = ImageList_Create(cx, height, list_flags, info.bmWidth / cx, grow);
    if (list && ImageList_AddMasked(list, bitmap, mask) < 0) {
      ImageList_Destroy(list);
      list = nullptr;
    }
  } else {
    SetLastError(ERROR_INVALID_DATA);
  }
  DeleteObject(bitmap);
  return list;
}
