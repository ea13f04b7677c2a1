// The list stream and the template stream over it.
#include "fileio/CWuListStream.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "fileio/WuFioTemplateLayout.h"
#include "foundation/WuList.h"
#include "foundation/WuString.h"

CWuListStream::CWuListStream(tWULIST* list) : list_(list) {
  header_[0] = WU_LISTSTREAM_HEADER_BYTES;
  header_[1] = WU_LISTSTREAM_VERSION;
  header_[2] = 0;
}

HRESULT CWuListStream::QueryInterface(REFIID iid, void** object) {
  if (!object) return E_POINTER;
  if (IsEqualGUID(iid, IID_IUnknown) || IsEqualGUID(iid, IID_IStream)) {
    *object = static_cast<IStream*>(this);
    AddRef();
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

ULONG CWuListStream::AddRef() { return static_cast<ULONG>(++references_); }

ULONG CWuListStream::Release() {
  const LONG left = --references_;
  if (left == 0) DeletingDestructor(1);
  return static_cast<ULONG>(left);
}

void CWuListStream::DeletingDestructor(LONG flags) {
  this->~CWuListStream();
  if (flags & 1) WuGlobalDelete(this);
}

ULONG CWuListStream::Advance(BYTE* out, ULONG bytes, HRESULT* hr) {
  *hr = S_OK;
  ULONG done = 0;
  while (done < bytes) {
    if (index_ < 0) {
      // The header, its count taken from the list as it is now.
      header_[2] = DeliveredCount();
      BYTE head[WU_LISTSTREAM_HEADER_BYTES];
      for (int i = 0; i < 3; ++i) WuTpl_SetWord(head, 4 * i, header_[i]);
      const ULONG n = std::min<ULONG>(WU_LISTSTREAM_HEADER_BYTES - offset_, bytes - done);
      if (out) std::memcpy(out + done, head + offset_, n);
      offset_ += n;
      done += n;
      if (offset_ < WU_LISTSTREAM_HEADER_BYTES) continue;
      index_ = 0;
      offset_ = 0;
      data_ = nullptr;
      size_ = 0;
      if (list_->count == 0) break;
      const void* item = WuList_PointerAt(list_, 0);
      if (!item) continue;  // passed over below
      if (FAILED(*hr = GetItem(item, &data_, &size_))) return done;
      continue;
    }
    if (index_ >= list_->count) break;
    if (data_ && offset_ < size_) {
      const ULONG n = std::min<ULONG>(size_ - offset_, bytes - done);
      if (out) std::memcpy(out + done, data_ + offset_, n);
      offset_ += n;
      done += n;
      continue;
    }
    // The current piece is exhausted: ask for the item at the index. The
    // item just delivered answers E_FAIL and the index moves on; null
    // entries are passed over.
    const void* item = WuList_PointerAt(list_, index_);
    if (!item) {
      GetItem(nullptr, &data_, &size_);
      data_ = nullptr;
      size_ = 0;
      ++index_;
      continue;
    }
    const BYTE* data = nullptr;
    DWORD size = 0;
    const HRESULT got = GetItem(item, &data, &size);
    if (got == E_FAIL) {
      ++index_;
      continue;
    }
    if (FAILED(got)) {
      *hr = got;
      return done;
    }
    data_ = data;
    size_ = size;
    offset_ = 0;
  }
  return done;
}

DWORD CWuListStream::DeliveredCount() const {
  DWORD count = 0;
  const void* previous = nullptr;
  for (LONG i = 0; i < list_->count; ++i) {
    const void* item = WuList_PointerAt(list_, i);
    if (item && item != previous) ++count;
    previous = item;
  }
  return count;
}

HRESULT CWuListStream::Read(void* buffer, ULONG bytes, ULONG* read) {
  if (read) *read = 0;
  if (!buffer) return E_INVALIDARG;
  if (!list_) return WUTPL_E_NO_LIST;
  HRESULT hr;
  const ULONG done = Advance(static_cast<BYTE*>(buffer), bytes, &hr);
  if (read) *read = done;
  if (done == 0) return FAILED(hr) ? hr : E_INVALIDARG;
  return S_OK;
}

HRESULT CWuListStream::Seek(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER* position) {
  if (!list_) return WUTPL_E_NO_LIST;
  HRESULT hr = S_OK;
  switch (origin) {
    case STREAM_SEEK_SET:
      index_ = -1;
      offset_ = 0;
      data_ = nullptr;
      size_ = 0;
      GetItem(nullptr, &data_, &size_);
      data_ = nullptr;
      size_ = 0;
      break;
    case STREAM_SEEK_CUR: {
      const ULONG want = move.u.LowPart;
      const ULONG done = Advance(nullptr, want, &hr);
      if (SUCCEEDED(hr) && done < want) hr = WUTPL_E_NO_LIST;
      break;
    }
    case STREAM_SEEK_END:
      index_ = list_->count;
      offset_ = 0;
      data_ = nullptr;
      size_ = 0;
      break;
    default:
      return STG_E_INVALIDFUNCTION;
  }
  if (position) position->QuadPart = static_cast<ULONGLONG>(index_ < 0 ? 0 : index_);
  return hr;
}

CWuTemplateStream* CWuTemplateStream::Create(tWULIST* list) {
  void* memory = WuGlobalNew(sizeof(CWuTemplateStream));
  if (!memory) return nullptr;
  return new (memory) CWuTemplateStream(list);
}

void CWuTemplateStream::DeletingDestructor(LONG flags) {
  this->~CWuTemplateStream();
  if (flags & 1) WuGlobalDelete(this);
}

HRESULT CWuTemplateStream::GetItem(const void* item, const BYTE** data, DWORD* size) {
  if (!item) {
    last_ = nullptr;
    return S_OK;
  }
  if (item == last_) return E_FAIL;
  last_ = item;
  *data = static_cast<const BYTE*>(item);
  *size = WuTpl_Size(item);
  return S_OK;
}
