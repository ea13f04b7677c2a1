// The per-thread interface map of blanket holders.
#include "fileio/CWuThreadMap.h"

#include <new>

#include "foundation/WuStatus.h"
#include "platform/kernel/memory.h"

HRESULT CWuThreadMap::Init(UINT n) {
  Free();
  UINT count = n + 1;
  void* heads = count != 0 ? GlobalAlloc(GPTR, sizeof(Node*) * static_cast<SIZE_T>(count)) : nullptr;
  if (!heads) return E_OUTOFMEMORY;
  buckets_ = static_cast<Node**>(heads);
  bucketCount_ = count;
  initialized_ = 1;
  return S_OK;
}

HRESULT CWuThreadMap::Insert(DWORD key, UINT bucket, IUnknown* ptr) {
  if (!initialized_) return E_FAIL;
  if (bucket >= bucketCount_) return E_INVALIDARG;
  for (Node* n = buckets_[bucket]; n; n = n->next) {
    if (n->key == key) return WU_E_DUPLICATE;
  }
  void* mem = GlobalAlloc(GPTR, sizeof(Node));
  if (!mem) return E_OUTOFMEMORY;
  Node* node = new (mem) Node{key, ptr, buckets_[bucket]};
  buckets_[bucket] = node;
  ++entries_;
  return S_OK;
}

HRESULT CWuThreadMap::Find(DWORD key, UINT bucket, IUnknown*** out) {
  if (!initialized_) return E_FAIL;
  if (bucket >= bucketCount_ || !out) return E_INVALIDARG;
  if (entries_ == 0) return WU_E_NOT_FOUND;
  Node* prev = nullptr;
  for (Node* n = buckets_[bucket]; n; prev = n, n = n->next) {
    if (n->key != key) continue;
    if (prev) {  // move to front
      prev->next = n->next;
      n->next = buckets_[bucket];
      buckets_[bucket] = n;
    }
    *out = &n->ptr;
    return S_OK;
  }
  return WU_E_NOT_FOUND;
}

void CWuThreadMap::Free() {
  if (initialized_) {
    for (UINT b = 0; b < bucketCount_; ++b) {
      Node* n = buckets_[b];
      while (n) {
        Node* next = n->next;
        GlobalFree(n);
        n = next;
      }
    }
    GlobalFree(buckets_);
  }
  initialized_ = 0;
  entries_ = 0;
  bucketCount_ = 0;
  buckets_ = nullptr;
}

CWuThreadMap::Iterator CWuThreadMap::begin() const {
  if (entries_ >= 1) {
    for (UINT b = 0; b < bucketCount_; ++b) {
      if (buckets_[b]) return Iterator(b, buckets_[b], this);
    }
  }
  return end();
}

CWuThreadMap::Iterator& CWuThreadMap::Iterator::operator++() {
  if (!node_) return *this;
  if (node_->next) {
    node_ = node_->next;
    return *this;
  }
  for (UINT b = bucket_ + 1; b < map_->bucketCount_; ++b) {
    if (map_->buckets_[b]) {
      bucket_ = b;
      node_ = map_->buckets_[b];
      return *this;
    }
  }
  bucket_ = 0;
  node_ = nullptr;
  return *this;
}
