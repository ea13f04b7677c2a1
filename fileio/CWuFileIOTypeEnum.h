// The manager's enumerators: the reader and renderer enumerators, which
// build and own the sorted class lists (records belong to the manager's
// plug-in list), and the plug-in enumerator over the plug-in records.
// Reference counts are atomic: callers may hold them on any thread.
#pragma once

#include <atomic>

#include "fileio/WuFileIO.h"
#include "fileio/WuFioPluginRecord.h"

class CWuFileIOManager;

// The reader or renderer classes in key order.
class CWuFileIOTypeEnum : public IWuFileIOTypeEnum {
 public:
  HRESULT QueryInterface(REFIID iid, void** object) override;
  ULONG AddRef() override;
  ULONG Release() override;
  HRESULT Next(ULONG count, IUnknown** out, ULONG* fetched) override;
  HRESULT Skip(ULONG count) override;
  HRESULT Reset() override;
  HRESULT Clone(IWuFileIOTypeEnum** out) override;
  HRESULT Reserved7() override;
  LONG GetCount() override;
  // 9: teardown: destroys the list (not the records); frees the object
  // when bit 0 of `flags` is set.
  virtual void DeletingDestructor(LONG flags);
  // 10: the record's reader or renderer part.
  virtual WUFIO_CLASS_PART* Part(WUFIO_PLUGIN_RECORD* record) = 0;
  // 11: the id of the class interface (IWuReadFileClass or IWuRenderFileClass).
  virtual void InterfaceId(IID* iid) = 0;
  // 12: builds the sorted list from the plug-in list: usable records with
  // the access bit, passing the filter, one per plug-in class id.
  virtual HRESULT Build(CWuFileIOManager* manager, DWORD filterFlags, const GUID* filterList,
                        LONG filterCount, tWULIST* pluginList);

  // The sorted list (records not owned), NULL before Build.
  tWULIST* List() const { return list_; }
  // The record at a key, NULL when none.
  WUFIO_PLUGIN_RECORD* RecordAt(LONG key) const;

 protected:
  CWuFileIOTypeEnum() = default;
  virtual ~CWuFileIOTypeEnum();
  // The access bit and the sort priority of a record.
  virtual DWORD AccessBit() const = 0;
  virtual int Priority(const GUID& pluginClassId) const = 0;
  // Tells a loaded class object its key (SetIndex).
  virtual void TellKey(IUnknown* object, LONG key) = 0;

 private:
  tWULIST* list_ = nullptr;              // records in key order
  CWuFileIOManager* manager_ = nullptr;  // the owner (no reference)
  std::atomic<LONG> position_{0};        // next key Next hands out
  std::atomic<LONG> references_{0};      // reference count
};

class CWuReaderEnum final : public CWuFileIOTypeEnum {
 public:
  static CWuReaderEnum* Create();
  WUFIO_CLASS_PART* Part(WUFIO_PLUGIN_RECORD* record) override { return &record->reader; }
  void InterfaceId(IID* iid) override { *iid = IID_IWuReadFileClass; }

 protected:
  DWORD AccessBit() const override { return WUFIO_ACCESS_READER; }
  int Priority(const GUID& pluginClassId) const override;
  void TellKey(IUnknown* object, LONG key) override;
};

class CWuRendererEnum final : public CWuFileIOTypeEnum {
 public:
  static CWuRendererEnum* Create();
  WUFIO_CLASS_PART* Part(WUFIO_PLUGIN_RECORD* record) override { return &record->renderer; }
  void InterfaceId(IID* iid) override { *iid = IID_IWuRenderFileClass; }

 protected:
  DWORD AccessBit() const override { return WUFIO_ACCESS_RENDERER; }
  int Priority(const GUID& pluginClassId) const override;
  void TellKey(IUnknown* object, LONG key) override;
};

// The plug-in records as information records. Unusable records are left out.
class CWuFIOPluginEnum final : public IWuFIOPluginEnum {
 public:
  static CWuFIOPluginEnum* Create(CWuFileIOManager* manager, tWULIST* pluginList);

  HRESULT QueryInterface(REFIID iid, void** object) override;
  ULONG AddRef() override;
  ULONG Release() override;
  HRESULT Next(ULONG count, WUFIO_PLUGIN_INFO* info, ULONG* fetched) override;
  HRESULT Skip(ULONG count) override;
  HRESULT Reset() override;
  HRESULT Reserved6() override { return E_UNEXPECTED; }
  HRESULT FindById(REFCLSID id, WUFIO_PLUGIN_INFO* info) override;
  HRESULT Reserved8() override { return E_UNEXPECTED; }
  HRESULT Reserved9() override { return E_UNEXPECTED; }
  // 10: teardown; frees the object when bit 0 of `flags` is set.
  virtual void DeletingDestructor(LONG flags);

 private:
  CWuFIOPluginEnum() = default;
  virtual ~CWuFIOPluginEnum() = default;
  // Fills `info` from `record`.
  static void Fill(const WUFIO_PLUGIN_RECORD* record, WUFIO_PLUGIN_INFO* info);

  tWULIST* list_ = nullptr;              // the manager's plug-in list (not owned)
  std::atomic<LONG> position_{0};        // next record
  std::atomic<LONG> references_{0};      // reference count
  CWuFileIOManager* manager_ = nullptr;  // the owner (no reference)
};
