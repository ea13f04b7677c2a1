# Writes the tables that carry the plug-in interfaces across processes,
# read from their declarations, so that every operation's row, proxy method
# and call on the real object follow the headers without being written out
# by hand.
#
#   cmake -DOUT=<header> -DHEADERS=<h1>|<h2>... -DINTERFACES=<I1>|<I2>... -P WuFioRemoteGen.cmake
#
# For each interface I the output defines, in namespace wufio_remote:
#   kRows_I            its rows from operation 0: QueryInterface crosses (an
#                      interface id in, the interface out), AddRef and Release
#                      stay with the proxy, then every declared operation;
#   Proxy_I            the proxy: each operation sends its arguments;
#   Invoke_I           the calls of the real object with decoded arguments;
#   kTable_I           the table, registered under IID_I by
#                      WuFio_RegisterRemoteTables (WuFioRemoteTables.cpp).
#
# What an argument is follows from its type and the arguments next to it:
#   HWND                          a window, crossing as null
#   HANDLE                        a handle value
#   LONG, DWORD, BOOL, int...     a value
#   GUID, REFIID, REFCLSID        a 16-byte record in
#   LPCWSTR                       a text in
#   LPWSTR + a size after it      a text out, in that many units
#   const void* + DWORD bytes     a buffer in
#   void* + DWORD bytes [+ DWORD* got]  a buffer out [its count]
#   const DWORD* + LONG count     count elements in
#   BSTR* after a LONG count      that many BSTRs out; else one BSTR out
#   (const) tagWUTEMPLATExV2*     a template record in (its own total size)
#   tagWUTEMPLATExV2** out        a new template record out
#   tagWUTEMPLATExV2** other      the caller's record, which may be replaced
#   const _WUFILESTREAMFORMATINFOv2*   a format record in (its size word)
#   _WUFILESTREAMFORMATINFOv2*    a format record in and out (its size word)
#   IX**, void** after REFIID     an interface out; IX* an interface in
#   LONG*, DWORD*, double*...     a number in and out (the caller's preset)
#   GUID*, records*               a record out
#   void* reserved                crossing as null
# A few arguments whose size their type does not tell are named in HINTS
# below. An interface named in FRAMES reads whole frames into a buffer
# (kOutFrames) whose frame size both sides learn of the object: the
# serving side asks the real object (ServedFrameBytes_I), the proxy asks
# across once (ProxyFrameBytes_I, both in WuFioRemoteTables.cpp) and keeps
# the size until the operation named with the interface passes through it.
# An operation named in BY_HAND crosses with arguments of its own: its row
# is kRow_I_Op, its proxy calls ProxyCall_I_Op(remote, arguments...) and
# the serving side ServeCall_I_Op(object, decoded arguments), all written in
# WuFioRemoteTables.cpp. An operation marked WUFIO_LOCAL_ONLY in the header, or whose
# argument nothing here describes, does not cross: its row is empty and its
# proxy answers E_NOTIMPL (an argument nothing describes stops the build
# unless the operation is marked).
cmake_minimum_required(VERSION 3.16)
string(REPLACE "|" ";" headers "${HEADERS}")
string(REPLACE "|" ";" interfaces "${INTERFACES}")

# Interface::Operation::argument=kind,size_arg,count_arg,size
set(HINTS
  "IWuReadAudioStreamV1::GetLengthV1::out=kOutRecord,kNo,kNo,16"
  "IWuReadVideoStreamV1::GetLengthV1::out=kOutRecord,kNo,kNo,16"
  "IWuReadFile::GetFileName::buffer=kOutText,kNo,kNo,260"
  "IWuRenderPostSave::PostSaveDialog::path=kInOutText,2,kNo,0"
  # Samples: `frames` frames of the stream's sample type and channels.
  "IWuReadAudioStream::ReadSamples::buffer=kOutFrames,2,3,0"
  "IWuReadAudioStream::ReadSamples::got=kOutValue,kNo,kNo,4"
  # The version-1 formats' counts say the size needed, which may exceed
  # the buffer: they cross as numbers, not as the bytes given.
  "IWuReadAudioStreamV1::GetFormatV1::format=kOutBuffer,1,kNo,0"
  "IWuReadAudioStreamV1::GetFormatV1::extension=kOutBuffer,4,kNo,0"
  "IWuReadVideoStreamV1::GetFormatV1::format=kOutBuffer,1,kNo,0"
  "IWuReadVideoStreamV1::GetFormatV1::extension=kOutBuffer,4,kNo,0")
# Interface=the operation after which its proxy forgets the frame size.
set(FRAMES "IWuReadAudioStream=SetSampleType")
# Operations whose arguments cross in another form than their types say:
# the surrogate's template editor sends its class as the class id and its
# templates stream as the stream's bytes.
set(BY_HAND "IWuFileIOSurrogate::EditTemplate")

include("${CMAKE_CURRENT_LIST_DIR}/WuFioDeclRead.cmake")

set(scalars LONG DWORD ULONG BOOL int UINT LONGLONG ULONGLONG HRESULT WORD BYTE WUFIO_TEMPLATEVALIDATE)
set(numbers LONG DWORD ULONG BOOL int UINT LONGLONG ULONGLONG HRESULT double FLOAT)

# wu_kind(<iface> <op> <index> <types list var> <names list var> <out var>)
# Sets out to "kind,size_arg,count_arg,size,iid" or "" when nothing fits.
function(wu_kind iface op i tv nv out)
  list(GET ${tv} ${i} t)
  list(GET ${nv} ${i} n)
  list(LENGTH ${tv} count)
  math(EXPR next "${i} + 1")
  math(EXPR after "${i} + 2")
  set(nt "")
  set(at "")
  set(nn "")
  if(next LESS count)
    list(GET ${tv} ${next} nt)
    list(GET ${nv} ${next} nn)
  endif()
  if(after LESS count)
    list(GET ${tv} ${after} at)
  endif()
  foreach(h IN LISTS HINTS)
    if(h MATCHES "^${iface}::${op}::${n}=(.*)$")
      set(${out} "${CMAKE_MATCH_1},nullptr" PARENT_SCOPE)
      return()
    endif()
  endforeach()
  set(k "")
  if(t STREQUAL "HWND")
    set(k "kWindow,kNo,kNo,0,nullptr")
  elseif(t STREQUAL "HANDLE")
    set(k "kHandle,kNo,kNo,0,nullptr")
  elseif(t IN_LIST scalars)
    set(k "kValue,kNo,kNo,0,nullptr")
  elseif(t STREQUAL "GUID" OR t STREQUAL "REFIID" OR t STREQUAL "REFCLSID")
    set(k "kInRecord,kNo,kNo,16,nullptr")
  elseif(t STREQUAL "LPCWSTR" OR t STREQUAL "const WCHAR*")
    set(k "kInText,kNo,kNo,0,nullptr")
  elseif(t STREQUAL "LPWSTR" AND nt IN_LIST scalars)
    set(k "kOutText,${next},kNo,0,nullptr")
  elseif(t STREQUAL "const void*" AND nt STREQUAL "DWORD")
    set(k "kInBuffer,${next},kNo,0,nullptr")
  elseif(t STREQUAL "void*" AND nt STREQUAL "DWORD")
    if(at STREQUAL "DWORD*" OR at STREQUAL "LONG*")
      set(k "kOutBuffer,${next},${after},0,nullptr")
    else()
      set(k "kOutBuffer,${next},kNo,0,nullptr")
    endif()
  elseif(t MATCHES "^const (DWORD|LONG|GUID)\\*$" AND nt STREQUAL "LONG")
    set(k "kInBuffer,${next},kNo,sizeof(${CMAKE_MATCH_1}),nullptr")
  elseif(t STREQUAL "BSTR*")
    set(k "kOutBstr,kNo,kNo,0,nullptr")
    math(EXPR last "${i} - 1")
    if(last GREATER_EQUAL 0)
      list(GET ${tv} ${last} pt)
      list(GET ${nv} ${last} pn)
      if(pt STREQUAL "LONG" AND pn STREQUAL "count")
        set(k "kOutBstrArray,${last},kNo,0,nullptr")
      endif()
    endif()
  elseif(t STREQUAL "const tagWUTEMPLATExV2*" OR t STREQUAL "tagWUTEMPLATExV2*")
    set(k "kInSized,kNo,kNo,WUTEMPLATE_MIN_SIZE,nullptr")
  elseif(t STREQUAL "tagWUTEMPLATExV2**")
    if(n STREQUAL "out" OR n STREQUAL "newRecord")
      set(k "kOutAlloc,kNo,kNo,WUTEMPLATE_MIN_SIZE,nullptr")
    else()
      set(k "kInOutAlloc,kNo,kNo,WUTEMPLATE_MIN_SIZE,nullptr")
    endif()
  elseif(t STREQUAL "const _WUFILESTREAMFORMATINFOv2*")
    set(k "kInSized,kNo,kNo,WUFILESTREAMFORMATINFO_SIZE,nullptr")
  elseif(t STREQUAL "_WUFILESTREAMFORMATINFOv2*")
    set(k "kInOutSized,kNo,kNo,WUFILESTREAMFORMATINFO_SIZE,nullptr")
  elseif(t MATCHES "^(I[A-Z][A-Za-z0-9]*)\\*\\*$")
    set(k "kOutInterface,kNo,kNo,0,&IID_${CMAKE_MATCH_1}")
  elseif(t STREQUAL "void**")
    math(EXPR last "${i} - 1")
    if(last GREATER_EQUAL 0)
      list(GET ${tv} ${last} pt)
      if(pt STREQUAL "REFIID")
        set(k "kOutInterface,${last},kNo,0,nullptr")
      endif()
    endif()
  elseif(t MATCHES "^(I[A-Z][A-Za-z0-9]*)\\*$")
    set(k "kInInterface,kNo,kNo,0,&IID_${CMAKE_MATCH_1}")
  elseif(t MATCHES "^([A-Za-z]+)\\*$" AND CMAKE_MATCH_1 IN_LIST numbers)
    set(k "kInOutValue,kNo,kNo,sizeof(${CMAKE_MATCH_1}),nullptr")
  elseif(t MATCHES "^(GUID|WuMetaLoopRecord|WuMetaMediaTagInfo)\\*$")
    set(k "kOutRecord,kNo,kNo,sizeof(${CMAKE_MATCH_1}),nullptr")
  elseif(t STREQUAL "void*" AND n STREQUAL "reserved")
    set(k "kWindow,kNo,kNo,0,nullptr")
  endif()
  set(${out} "${k}" PARENT_SCOPE)
endfunction()

set(out "// Generated from the plug-in interface declarations; do not edit.\n#pragma once\n\nnamespace wufio_remote {\n")
set(registrations "")
foreach(iface IN LISTS interfaces)
  set(chain "")
  set(cur "${iface}")
  while(NOT cur STREQUAL "IUnknown")
    wu_fio_decls_of("${cur}" decls base)
    list(PREPEND chain "${cur}")
    set(decls_${cur} "${decls}")
    set(cur "${base}")
  endwhile()
  set(slot 3)
  set(frames_of "")
  foreach(c IN LISTS chain)
    foreach(f IN LISTS FRAMES)
      if(f MATCHES "^${c}=(.*)$")
        set(frames_of "${c}")
        set(frames_forget "${CMAKE_MATCH_1}")
      endif()
    endforeach()
  endforeach()
  set(rows "    /* 0 QueryInterface */ {2, {{K::kInRecord, kNo, kNo, 16, nullptr}, {K::kOutInterface, 0, kNo, 0, nullptr}}},\n    /* 1 AddRef */ {0, {}},\n    /* 2 Release */ {0, {}},\n")
  set(methods "")
  set(cases "")
  foreach(c IN LISTS chain)
    foreach(d IN LISTS decls_${c})
      string(REGEX REPLACE "[ \n]+" " " d "${d}")
      set(local FALSE)
      if(d MATCHES "^WUFIO_LOCAL_ONLY (.*)$")
        set(local TRUE)
        set(d "${CMAKE_MATCH_1}")
      endif()
      if(NOT d MATCHES "^virtual ([A-Za-z_][A-Za-z0-9_]*) ([A-Za-z_][A-Za-z0-9_]*)\\(([^()]*)\\) = 0$")
        message(FATAL_ERROR "${iface}: cannot read \"${d}\"")
      endif()
      set(ret "${CMAKE_MATCH_1}")
      set(name "${CMAKE_MATCH_2}")
      set(params "${CMAKE_MATCH_3}")
      set(types "")
      set(names "")
      if(NOT params STREQUAL "")
        string(REPLACE "," ";" plist "${params}")
        foreach(p IN LISTS plist)
          string(STRIP "${p}" p)
          if(NOT p MATCHES "^(.*[^A-Za-z0-9_])([A-Za-z_][A-Za-z0-9_]*)$")
            message(FATAL_ERROR "${iface}::${name}: a parameter without a name")
          endif()
          set(pt "${CMAKE_MATCH_1}")
          set(pn "${CMAKE_MATCH_2}")
          string(STRIP "${pt}" pt)
          string(REGEX REPLACE " +\\*" "*" pt "${pt}")
          list(APPEND types "${pt}")
          list(APPEND names "${pn}")
        endforeach()
      endif()
      list(LENGTH types nargs)
      if("${c}::${name}" IN_LIST BY_HAND)
        list(JOIN names ", " pass)
        set(sig "${ret} ${name}(${params}) override")
        string(REPLACE "@" ";" sig "${sig}")
        string(APPEND rows "    /* ${slot} ${name} */ kRow_${c}_${name},\n")
        string(APPEND methods "  ${sig} {\n    return Result<${ret}>(ProxyCall_${c}_${name}(remote_.get(), ${pass}));\n  }\n")
        string(APPEND cases "    case ${slot}:\n      return ServeCall_${c}_${name}(o, a);\n")
        math(EXPR slot "${slot} + 1")
        continue()
      endif()
      # The row, the proxy's argument lines and the call's arguments.
      set(row_args "")
      set(sets "")
      set(call_args "")
      if(nargs GREATER 12)
        set(local TRUE)
      endif()
      if(NOT local AND nargs GREATER 0)
        math(EXPR lasti "${nargs} - 1")
        foreach(i RANGE ${lasti})
          wu_kind("${c}" "${name}" ${i} types names k)
          if(k STREQUAL "")
            list(GET types ${i} t)
            list(GET names ${i} n)
            message(FATAL_ERROR "${c}::${name}: nothing describes \"${t} ${n}\"; mark the operation WUFIO_LOCAL_ONLY or describe it")
          endif()
          string(REPLACE "," ";" kl "${k}")
          list(GET kl 0 kind)
          list(GET kl 1 sa)
          list(GET kl 2 ca)
          list(GET kl 3 size)
          list(GET kl 4 iid)
          list(GET types ${i} t)
          list(GET names ${i} n)
          string(APPEND row_args "{K::${kind}, ${sa}, ${ca}, static_cast<DWORD>(${size}), ${iid}}, ")
          if(kind STREQUAL "kOutFrames")
            if(NOT frames_of STREQUAL c)
              message(FATAL_ERROR "${c}::${name}: frames without a FRAMES entry")
            endif()
            string(APPEND sets "    DWORD frame_bytes = 0;\n    HRESULT learned = ProxyFrameBytes_${c}(this, &frame_bytes_, &frame_bytes);\n    if (FAILED(learned)) return Result<${ret}>(learned);\n    a[${i}].out = ${n};\n    a[${i}].value = frame_bytes;\n")
            set(expr "static_cast<${t}>(a[${i}].out)")
          elseif(kind STREQUAL "kValue")
            string(APPEND sets "    a[${i}].value = static_cast<ULONGLONG>(${n});\n")
            set(expr "static_cast<${t}>(a[${i}].value)")
          elseif(kind STREQUAL "kHandle")
            string(APPEND sets "    a[${i}].value = reinterpret_cast<ULONG_PTR>(${n});\n")
            set(expr "reinterpret_cast<${t}>(static_cast<ULONG_PTR>(a[${i}].value))")
          elseif(kind STREQUAL "kWindow")
            string(APPEND sets "    (void)${n};\n")
            set(expr "static_cast<${t}>(nullptr)")
          elseif(kind STREQUAL "kInRecord" AND (t STREQUAL "GUID" OR t STREQUAL "REFIID" OR t STREQUAL "REFCLSID"))
            string(APPEND sets "    a[${i}].in = &${n};\n")
            set(expr "*static_cast<const GUID*>(a[${i}].in)")
          elseif(kind MATCHES "^kIn(Text|Buffer|Sized|Record|Interface)$")
            string(APPEND sets "    a[${i}].in = ${n};\n")
            set(expr "static_cast<${t}>(const_cast<void*>(a[${i}].in))")
          else()
            string(APPEND sets "    a[${i}].out = ${n};\n")
            set(expr "static_cast<${t}>(a[${i}].out)")
          endif()
          list(APPEND call_args "${expr}")
        endforeach()
      endif()
      list(JOIN call_args ", " call_args)
      set(sig "${ret} ${name}(${params}) override")
      string(REPLACE "@" ";" sig "${sig}")
      if(local)
        string(APPEND rows "    /* ${slot} ${name} */ {0, {}},\n")
        string(APPEND methods "  ${sig} {\n    return Result<${ret}>(E_NOTIMPL);\n  }\n")
      else()
        if(nargs EQUAL 0)
          string(APPEND rows "    /* ${slot} ${name} */ {0, {}, true},\n")
        else()
          string(APPEND rows "    /* ${slot} ${name} */ {${nargs}, {${row_args}}},\n")
        endif()
        if(NOT frames_of STREQUAL "" AND c STREQUAL frames_of AND name STREQUAL frames_forget)
          # The object's frames change with it: learned again at the next read.
          string(APPEND methods "  ${sig} {\n    platform::ComArg a[${nargs}];\n${sets}    HRESULT hr = remote_->Call(${slot}, a);\n    frame_bytes_ = 0;\n    return Result<${ret}>(hr);\n  }\n")
        elseif(nargs EQUAL 0)
          string(APPEND methods "  ${sig} {\n    return Result<${ret}>(remote_->Call(${slot}, nullptr));\n  }\n")
        else()
          string(APPEND methods "  ${sig} {\n    platform::ComArg a[${nargs}];\n${sets}    return Result<${ret}>(remote_->Call(${slot}, a));\n  }\n")
        endif()
        string(APPEND cases "    case ${slot}:\n      return Status(o->${name}(${call_args}));\n")
      endif()
      math(EXPR slot "${slot} + 1")
    endforeach()
  endforeach()
  # The ids a proxy answers itself: its own and its bases'.
  set(ids "iid == IID_IUnknown")
  foreach(c IN LISTS chain)
    string(APPEND ids " || iid == IID_${c}")
  endforeach()
  set(frames_member "")
  set(frames_table "")
  if(NOT frames_of STREQUAL "")
    set(frames_member "  std::atomic<DWORD> frame_bytes_{0};  // the frame size learned, 0 until asked\n")
    set(frames_table ", ServedFrameBytes_${frames_of}")
  endif()
  string(APPEND out "
inline const platform::ComOperationRow kRows_${iface}[] = {
${rows}};

class Proxy_${iface} final : public ${iface} {
 public:
  explicit Proxy_${iface}(std::shared_ptr<platform::ComRemoteObject> remote) : remote_(std::move(remote)) {}
  virtual ~Proxy_${iface}() = default;
  HRESULT QueryInterface(REFIID iid, void** object) override {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (${ids}) {
      *object = static_cast<${iface}*>(this);
      AddRef();
      return S_OK;
    }
    return RemoteQueryInterface(remote_.get(), iid, object);
  }
  ULONG AddRef() override { return ++refs_; }
  ULONG Release() override {
    ULONG left = --refs_;
    if (!left) delete this;
    return left;
  }
${methods}
 private:
  std::shared_ptr<platform::ComRemoteObject> remote_;
  std::atomic<ULONG> refs_{1};
${frames_member}};

inline HRESULT MakeProxy_${iface}(std::shared_ptr<platform::ComRemoteObject> remote, void** object) {
  auto* proxy = new (std::nothrow) Proxy_${iface}(std::move(remote));
  *object = proxy ? static_cast<${iface}*>(proxy) : nullptr;
  return proxy ? S_OK : E_OUTOFMEMORY;
}

inline HRESULT Invoke_${iface}(IUnknown* object, DWORD operation, platform::ComArg* a) {
  auto* o = static_cast<${iface}*>(object);
  switch (operation) {
    case 0:
      return o->QueryInterface(*static_cast<const IID*>(a[0].in), static_cast<void**>(a[1].out));
${cases}  }
  return E_NOTIMPL;
}

inline const platform::ComInterfaceTable kTable_${iface} = {
    0, ${slot}, kRows_${iface}, MakeProxy_${iface}, Invoke_${iface}${frames_table}};
")
  string(APPEND registrations "  X(${iface}) \\\n")
endforeach()
string(APPEND out "\n}  // namespace wufio_remote\n\n#define WU_FIO_REMOTE_INTERFACES(X) \\\n${registrations}  /* end */\n")

set(old "")
if(EXISTS "${OUT}")
  file(READ "${OUT}" old)
endif()
if(NOT old STREQUAL out)
  file(WRITE "${OUT}" "${out}")
endif()
