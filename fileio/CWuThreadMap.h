// A small hash map from thread ids to interface pointers, one owned
// reference per entry: the per-thread pointers of a blanket's holder
// (CWuGitHolder.h). The caller picks the bucket of every lookup and
// insertion; nodes and the bucket array come from zero-filled global
// memory. The map takes no lock: its holder guards it.
#pragma once

#include "platform/com/com.h"
#include "platform/kernel/types.h"

class CWuThreadMap {
 public:
  // One entry: a thread and the pointer usable on it.
  struct Node {
    DWORD key;       // the thread id
    IUnknown* ptr;   // the interface pointer (an owned reference)
    Node* next;      // next node of the bucket, or NULL
  };

  // Walks every node, bucket by bucket, each list from its head; the end
  // is (0, NULL, map).
  class Iterator {
   public:
    Iterator(UINT bucket, Node* node, const CWuThreadMap* map) : bucket_(bucket), node_(node), map_(map) {}
    Node& operator*() const { return *node_; }
    Node* operator->() const { return node_; }
    Iterator& operator++();
    bool operator==(const Iterator& other) const {
      return bucket_ == other.bucket_ && node_ == other.node_ && map_ == other.map_;
    }

   private:
    UINT bucket_;              // the bucket of `node_`
    Node* node_;               // the current node, NULL at the end
    const CWuThreadMap* map_;  // the map walked
  };

  CWuThreadMap() = default;
  ~CWuThreadMap() { Free(); }
  CWuThreadMap(const CWuThreadMap&) = delete;
  CWuThreadMap& operator=(const CWuThreadMap&) = delete;

  // Makes n + 1 empty buckets; E_OUTOFMEMORY leaves the map uninitialised.
  HRESULT Init(UINT n);
  // Puts (key, ptr) at the head of `bucket` (the map keeps the reference
  // it is given). E_FAIL before Init, E_INVALIDARG for a bucket out of
  // range, WU_E_DUPLICATE when the key is in the bucket already (nothing
  // changes), E_OUTOFMEMORY.
  HRESULT Insert(DWORD key, UINT bucket, IUnknown* ptr);
  // The address of the pointer stored for `key` in `bucket`; the node
  // found moves to the head of its bucket. E_FAIL before Init,
  // E_INVALIDARG for a bucket out of range or a NULL out-parameter,
  // WU_E_NOT_FOUND when the map is empty or the key absent.
  HRESULT Find(DWORD key, UINT bucket, IUnknown*** out);
  // Frees every node and the buckets (not the references the nodes hold)
  // and clears every field.
  void Free();

  Iterator begin() const;
  Iterator end() const { return Iterator(0, nullptr, this); }

  bool IsInitialized() const { return initialized_ != 0; }
  LONG EntryCount() const { return entries_; }
  UINT BucketCount() const { return bucketCount_; }

 private:
  BYTE initialized_ = 0;     // 1 once Init succeeded
  LONG entries_ = 0;         // insertions so far (never decreases)
  UINT bucketCount_ = 0;     // number of buckets
  Node** buckets_ = nullptr; // one head per bucket
};
