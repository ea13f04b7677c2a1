// The binary layout of the file-I/O interfaces: a caller that reaches
// operation n through entry n of the raw vtable (as a plug-in or host built
// apart from this header does) lands in the method the header names for
// that slot, on the same object.
#include <gtest/gtest.h>

#include <cstring>

#include "tests/fileio/SlotFakes.h"
#include "tests/fileio/kit/WuFioTestPlugin.h"

namespace {

using namespace wu_test;

void* const* Vtable(void* object) { return *static_cast<void* const* const*>(object); }

// Calls entry `slot` as a function taking the object first.
template <typename R, typename... Args>
R CallSlot(void* object, size_t slot, Args... args) {
  auto fn = reinterpret_cast<R (*)(void*, Args...)>(Vtable(object)[slot]);
  return fn(object, args...);
}

struct SlotCase {
  const char* where;       // interface and slot, for the failure message
  void* object;            // a fake implementing the interface
  const char* method;      // the method the header names for the slot
  void (*call)(void*);     // calls the slot through the raw vtable
};

FakeWuFileIOMgrForApp manager;
FakeWuReadFileClass readClass;
FakeWuRenderFileClass renderClass;
FakeWuReadFile readFile;
FakeWuRenderFile renderFile;
FakeWuReadStream readStream;
FakeWuReadAudioStream audioStream;
FakeWuReadVideoStream videoStream;
FakeWuReadVideoStreamFormat videoFormat;
FakeWuReadAudioStreamV1 audioV1;
FakeWuReadVideoStreamV1 videoV1;
FakeWuRenderPostSave postSave;
FakeWuReadFileNotify notify;
FakeWuReadFileChain chain;
FakeWuFileIOClassList classList;
FakeWuFileIOTypeEnum typeEnum;
FakeWuFIOPluginEnum pluginEnum;
FakeWuFileIOSurrogate surrogate;
FakeWuFioFilterBuilder2 builder;
FakeWuFileIOPropertyPage page;
FakeWuFileIOTemplateEditHolder holder;
FakeWuReadMetaProjectLink projectLink;
FakeWuReadMetaVersion version;
FakeWuReadMetaLoopInfo loopInfo;
FakeWuReadMetaMediaTag mediaTag;

const GUID kGuid = {0x01020304, 0x0506, 0x0708, {9, 10, 11, 12, 13, 14, 15, 16}};

// A row: the fake, the slot, the method expected there, and the raw call
// with arguments of the slot's types (R: the slot's result type).
#define SLOT_R(R, fake, slot, name, ...)                                      \
  SlotCase {                                                                  \
    #fake " slot " #slot, &fake, #name, [](void* o) {                         \
      (void)CallSlot<R>(o, slot __VA_OPT__(, ) __VA_ARGS__);                  \
    }                                                                         \
  }
#define SLOT(fake, slot, name, ...) SLOT_R(HRESULT, fake, slot, name __VA_OPT__(, ) __VA_ARGS__)

template <typename T>
T* Null() {
  return nullptr;
}

// The kit's class factory over a class whose creation records the call.
HRESULT CreateRecorded(REFIID, void** object) {
  *object = nullptr;
  return Hit(nullptr, "CreateInstance");
}
const WuFioTestClass kRecordedClass = {&kGuid, &CreateRecorded};

TEST(WuFileIOLayoutTest, EachSlotReachesTheMethodOfItsNumber) {
  const SlotCase cases[] = {
      // The manager: its first, last and a middle operation, the deleting
      // destructor, and the slots other components name.
      SLOT(manager, 3, GetLanguageId, Null<DWORD>(), LONG{0}),
      SLOT(manager, 14, GetReaderClassById, Null<IWuReadFileClass*>(), kGuid),
      SLOT(manager, 15, GetRendererClassById, Null<IWuRenderFileClass*>(), kGuid),
      SLOT(manager, 18, OpenFile, Null<const WCHAR>(), Null<IWuReadFile*>(), DWORD{0}),
      SLOT(manager, 20, EditTemplate, HWND{}, Null<IWuRenderFileClass>(), LONG{0},
           Null<const void>(), Null<DWORD>(), Null<IStream>(), Null<tagWUTEMPLATExV2>(),
           Null<tagWUTEMPLATExV2*>()),
      SLOT_R(LONG, manager, 25, GetReaderCount),
      SLOT(manager, 27, IdentifyReader, HANDLE{}, Null<const WCHAR>(), Null<LONG>(), DWORD{0}),
      SLOT(manager, 28, FindReaderByFileName, Null<const WCHAR>(), Null<LONG>()),
      SLOT(manager, 29, GetReaderClassByKey, Null<IWuReadFileClass*>(), LONG{0}),
      SLOT(manager, 30, GetRendererClassByKey, Null<IWuRenderFileClass*>(), LONG{0}),
      SLOT(manager, 33, FindLockingReaderClass, Null<const WCHAR>(), Null<IWuReadFileClass*>()),
      SLOT(manager, 37, GetPluginEnum, Null<IWuFIOPluginEnum*>()),
      SLOT_R(void, manager, 41, DeletingDestructor, LONG{0}),
      SLOT(manager, 47, ApplyInitializationMetrics, Null<const _WUFIO_INITIALIZATION_METRICS>()),
      SLOT(manager, 54, NoteRendererClassUsed, Null<IWuRenderFileClass>()),
      // Plug-in classes.
      SLOT(readClass, 3, SetIndex, LONG{0}),
      SLOT(readClass, 7, GetClassId, Null<GUID>()),
      SLOT(readClass, 11, GetStrings, Null<const DWORD>(), LONG{0}, Null<BSTR>()),
      SLOT(readClass, 15, Open, Null<IWuReadFile*>(), HANDLE{}, DWORD{0}, Null<const WCHAR>(),
           LONG{0}),
      SLOT(readClass, 18, GetState, Null<HRESULT>(), Null<BSTR>()),
      SLOT(renderClass, 3, SetIndex, LONG{0}),
      SLOT(renderClass, 13, CreateRenderFile, Null<IWuRenderFile*>(), Null<const WCHAR>(),
           Null<const tagWUTEMPLATExV2>(), HANDLE{}, DWORD{0}),
      SLOT(renderClass, 19, TemplateOperation, Null<tagWUTEMPLATExV2*>(),
           Null<const tagWUTEMPLATExV2>(), Null<const tagWUTEMPLATExV2>(), LONG{0}),
      SLOT(renderClass, 21, GetPageCount, Null<LONG>(), Null<LONG>(), Null<DWORD>()),
      SLOT(renderClass, 26, GetState, Null<HRESULT>(), Null<BSTR>()),
      // Files and streams.
      SLOT(readFile, 3, GetClass, Null<IWuReadFileClass*>()),
      SLOT(readFile, 8, Clone, Null<IWuReadFile*>()),
      SLOT(readFile, 13, GetFileName, Null<WCHAR>()),
      SLOT(readFile, 17, GetStreamFormat, Null<_WUFILESTREAMFORMATINFOv2>(), LONG{0}, LONG{1}),
      SLOT(readFile, 20, OpenStream, Null<IWuReadStream*>(), LONG{0}, DWORD{0}, DWORD{0},
           Null<void>()),
      SLOT(readFile, 22, GetMetaReader, Null<IWuReadMeta*>()),
      SLOT(readFile, 23, Close),
      SLOT(renderFile, 3, GetClass, Null<IWuRenderFileClass*>()),
      SLOT(renderFile, 10, End),
      SLOT(renderFile, 17, SetProperty, DWORD{0}, LONGLONG{0}),
      SLOT(readStream, 3, GetClass, Null<IWuReadFileClass*>()),
      SLOT(readStream, 6, GetStreamIndex, Null<LONG>()),
      SLOT(readStream, 10, Read, Null<void>(), DWORD{0}, Null<DWORD>()),
      SLOT(audioStream, 4, GetFile, Null<IWuReadFile*>()),
      SLOT(audioStream, 11, ReadSamples, Null<void>(), LONGLONG{0}, LONG{0}, Null<LONG>()),
      SLOT(audioStream, 13, GetStreamFormat, Null<_WUFILESTREAMFORMATINFOv2>()),
      SLOT(audioStream, 14, GetCompressedFormat, Null<_WUFILESTREAMFORMATINFOv2>()),
      SLOT(audioStream, 18, GetSampleRate, Null<DWORD>()),
      SLOT(videoStream, 11, GetFrameCount, Null<LONGLONG>()),
      SLOT(videoStream, 12, GetStreamFormat, Null<_WUFILESTREAMFORMATINFOv2>()),
      SLOT(videoStream, 22, GetTimecode, LONGLONG{0}, Null<DWORD>()),
      SLOT(videoFormat, 11, GetFormatKinds, Null<DWORD>()),
      SLOT(videoFormat, 12, GetStreamFormat, Null<_WUFILESTREAMFORMATINFOv2>()),
      SLOT(videoFormat, 13, GetCompressedFormat, Null<_WUFILESTREAMFORMATINFOv2>()),
      SLOT(audioV1, 11, GetLengthV1, Null<void>()),
      SLOT(audioV1, 12, GetFormatV1, Null<void>(), DWORD{0}, Null<DWORD>(), Null<void>(),
           DWORD{0}, Null<DWORD>()),
      SLOT(videoV1, 11, GetFrameCountV1, Null<LONGLONG>()),
      SLOT(videoV1, 13, GetLengthV1, Null<void>()),
      SLOT(videoV1, 14, GetFormatV1, Null<void>(), DWORD{0}, Null<DWORD>(), Null<void>(),
           DWORD{0}, Null<DWORD>()),
      // Optional interfaces of plug-in objects.
      SLOT(postSave, 3, PostSaveDialog, HWND{}, Null<WCHAR>(), DWORD{0},
           Null<const tagWUTEMPLATExV2>(), Null<tagWUTEMPLATExV2*>()),
      SLOT(notify, 3, NotifyFile, Null<const WCHAR>()),
      SLOT(chain, 3, GetNextFile, Null<IWuReadFile>(), Null<WCHAR>(), DWORD{260}),
      SLOT(classList, 3, Initialize, Null<IWuFileIOManager>()),
      SLOT(classList, 4, GetCount, Null<LONG>()),
      SLOT(classList, 5, Describe, LONG{0}, Null<GUID>(), Null<WCHAR>(), LONG{260}, Null<DWORD>(),
           Null<DWORD>(), Null<DWORD>(), Null<DWORD>(), Null<DWORD>(), Null<DWORD>(),
           Null<DWORD>(), Null<DWORD>()),
      // Enumerators, the surrogate, the filter builder, the editor.
      SLOT(typeEnum, 3, Next, ULONG{1}, Null<IUnknown*>(), Null<ULONG>()),
      SLOT(typeEnum, 5, Reset),
      SLOT_R(LONG, typeEnum, 8, GetCount),
      SLOT(pluginEnum, 3, Next, ULONG{1}, Null<WUFIO_PLUGIN_INFO>(), Null<ULONG>()),
      SLOT(pluginEnum, 5, Reset),
      SLOT(pluginEnum, 7, FindById, &kGuid, Null<WUFIO_PLUGIN_INFO>()),
      SLOT(pluginEnum, 9, Reserved9),
      SLOT(surrogate, 3, GetProcessId, Null<DWORD>()),
      SLOT(surrogate, 4, CreatePluginClass, Null<const WCHAR>(), &kGuid, &kGuid, Null<void*>()),
      SLOT(surrogate, 5, CloseCopiedHandle, ULONGLONG{0}),
      SLOT(surrogate, 9, EditTemplate, HWND{}, Null<IWuRenderFileClass>(), LONG{0},
           Null<const void>(), Null<DWORD>(), Null<IStream>(), Null<tagWUTEMPLATExV2>(),
           Null<tagWUTEMPLATExV2*>()),
      SLOT(builder, 3, AddFileTypes, Null<const GUID>(), LONG{0}, LONG{16}, DWORD{0}),
      SLOT(builder, 17, GetEntry, Null<WUFIO_FILTER_ENTRY>(), LONG{0}),
      SLOT_R(LONG, builder, 32, GetIdCount),
      SLOT_R(void, builder, 33, DeletingDestructor, LONG{0}),
      SLOT(page, 3, SetPageSite, Null<IPropertyPageSite>()),
      SLOT(page, 10, IsPageDirty),
      SLOT(page, 13, TranslateAccelerator, Null<MSG>()),
      SLOT(page, 15, Refresh),
      SLOT(holder, 3, GetTemplate, Null<tagWUTEMPLATExV2*>()),
      SLOT(holder, 5, GetProjectTemplate, Null<tagWUTEMPLATExV2*>()),
      SLOT(holder, 7, SetMetric, DWORD{0}, LONG{0}),
      // Metadata kinds.
      SLOT(projectLink, 3, GetProjectPath, Null<IStream*>()),
      SLOT(projectLink, 7, GetTemplateData, Null<IStream*>()),
      SLOT(projectLink, 11, GetCreatorWindowClassName, Null<IStream*>()),
      SLOT(version, 3, GetVersion, Null<IStream*>(), DWORD{0}),
      SLOT(loopInfo, 3, GetLoopRecord, Null<WuMetaLoopRecord>()),
      SLOT(loopInfo, 4, GetStretchRecord, Null<void>(), DWORD{0}),
      SLOT(loopInfo, 5, GetStretchList, Null<IStream*>()),
      SLOT(mediaTag, 3, GetTagStream, Null<IStream*>()),
      SLOT(mediaTag, 4, GetInfo, Null<WuMetaMediaTagInfo>()),
  };
  for (const SlotCase& c : cases) {
    SCOPED_TRACE(c.where);
    g_slotHit = {};
    c.call(c.object);
    ASSERT_NE(g_slotHit.method, nullptr);
    EXPECT_STREQ(g_slotHit.method, c.method);
    EXPECT_EQ(g_slotHit.object, c.object);
  }
}

TEST(WuFileIOLayoutTest, KitFactorySlotsAreCreateInstanceAndLockServer) {
  WuFioTestFactory* factory = new WuFioTestFactory(kRecordedClass);
  void* made = &made;
  g_slotHit = {};
  EXPECT_EQ((CallSlot<HRESULT>(factory, 3, Null<IUnknown>(), &IID_IUnknown, &made)), S_OK);
  EXPECT_STREQ(g_slotHit.method, "CreateInstance");
  EXPECT_EQ(made, nullptr);
  EXPECT_EQ((CallSlot<HRESULT>(factory, 4, BOOL{TRUE})), S_OK);
  EXPECT_EQ(factory->Locks(), 1);
  EXPECT_EQ((CallSlot<HRESULT>(factory, 4, BOOL{FALSE})), S_OK);
  EXPECT_EQ(factory->Locks(), 0);
  EXPECT_EQ(factory->Release(), 0u);
}

}  // namespace
