// Version resources of files: finding a file's version block through the
// module layer, copying it, and walking its node tree.
#include "platform/kernel/version.h"

#include <cstring>
#include <vector>

#include "platform/kernel/elf_sections_internal.h"
#include "platform/kernel/error.h"
#include "platform/kernel/files.h"
#include "platform/kernel/module.h"
#include "platform/kernel/resource.h"

namespace {

constexpr size_t kNodeHead = 6;  // wLength, wValueLength, wType

WORD Read16(const BYTE* p) {
  WORD v;
  std::memcpy(&v, p, 2);
  return v;
}

size_t Align4(size_t n) { return (n + 3) & ~static_cast<size_t>(3); }

// One node of a version block, as offsets from the block's start.
struct Node {
  size_t begin = 0;        // the node's first byte
  size_t end = 0;          // one past its last byte (within its parent)
  size_t key = 0;          // the key's first character
  size_t key_length = 0;   // the key's characters
  size_t value = 0;        // the value's first byte
  size_t value_bytes = 0;  // the value's bytes (within the node)
  WORD value_length = 0;   // wValueLength as stored
  size_t children = 0;     // the first child's offset
};

// Reads the node at `pos`, which must end by `limit`; false when it is
// malformed. A value that claims more than the node holds is cut to it.
bool ReadNode(const BYTE* block, size_t pos, size_t limit, Node* node) {
  if (pos > limit || limit - pos < kNodeHead) return false;
  size_t length = Read16(block + pos);
  if (length < kNodeHead || length > limit - pos) return false;
  node->begin = pos;
  node->end = pos + length;
  node->value_length = Read16(block + pos + 2);
  WORD type = Read16(block + pos + 4);
  node->key = pos + kNodeHead;
  size_t p = node->key;
  while (true) {
    if (node->end - p < 2) return false;  // the key is not terminated
    if (Read16(block + p) == 0) break;
    p += 2;
  }
  node->key_length = (p - node->key) / 2;
  node->value = Align4(p + 2);
  if (node->value > node->end) node->value = node->end;
  size_t bytes = type == 1 ? 2 * static_cast<size_t>(node->value_length) : node->value_length;
  node->value_bytes = bytes < node->end - node->value ? bytes : node->end - node->value;
  node->children = Align4(node->value + node->value_bytes);
  if (node->children > node->end) node->children = node->end;
  return true;
}

WCHAR FoldAscii(WCHAR c) { return c >= u'a' && c <= u'z' ? static_cast<WCHAR>(c - 32) : c; }

bool KeyEquals(const BYTE* block, const Node& node, const WCHAR* name, size_t length) {
  if (node.key_length != length) return false;
  for (size_t i = 0; i < length; ++i)
    if (FoldAscii(Read16(block + node.key + 2 * i)) != FoldAscii(name[i])) return false;
  return true;
}

// The child of `parent` keyed `name`, or false.
bool FindChild(const BYTE* block, const Node& parent, const WCHAR* name, size_t length,
               Node* child) {
  for (size_t pos = parent.children; pos < parent.end;) {
    Node n;
    if (!ReadNode(block, pos, parent.end, &n)) return false;
    if (KeyEquals(block, n, name, length)) {
      *child = n;
      return true;
    }
    pos = Align4(n.end);
  }
  return false;
}

// The first RT_VERSION resource of a module: its bytes and size, or false
// with the last error set.
bool FindVersionResource(HMODULE module, const BYTE** data, DWORD* size) {
  LPCWSTR first = nullptr;
  std::u16string first_name;  // a named resource's name, copied
  auto take_first = [](HMODULE, LPCWSTR, LPWSTR name, LONG_PTR param) -> BOOL {
    auto* out = reinterpret_cast<std::pair<LPCWSTR*, std::u16string*>*>(param);
    if (IS_INTRESOURCE(name)) {
      *out->first = name;
    } else {
      *out->second = name;
      *out->first = out->second->c_str();
    }
    return FALSE;  // the first is enough
  };
  std::pair<LPCWSTR*, std::u16string*> out{&first, &first_name};
  EnumResourceNamesW(module, RT_VERSION, take_first, reinterpret_cast<LONG_PTR>(&out));
  if (!first) {
    DWORD error = GetLastError();
    if (error == ERROR_RESOURCE_ENUM_USER_STOP || error == 0) error = ERROR_RESOURCE_TYPE_NOT_FOUND;
    SetLastError(error);
    return false;
  }
  HRSRC found = FindResourceW(module, first, RT_VERSION);
  if (!found) return false;
  *data = static_cast<const BYTE*>(LockResource(LoadResource(module, found)));
  *size = SizeofResource(module, found);
  if (!*data) return false;
  return true;
}

// A program's or shared object's block from its ".wuversion" section: 1
// with the block in *block, 0 when the file is no ELF file or has no such
// section (the module layer answers for it), -1 with the last error set for
// a damaged file or block.
int ReadSectionBlock(LPCWSTR file, std::vector<BYTE>* block) {
  DWORD error = 0;
  switch (platform::ReadElfSection(platform::ToLinuxPath(file), ".wuversion", 0xFFFF, block,
                                   &error)) {
    case platform::ElfSection::kFound:
      break;
    case platform::ElfSection::kDamaged:
      SetLastError(ERROR_BAD_FORMAT);
      return -1;
    default:  // no section; an unreadable file fails in the module layer
      return 0;
  }
  Node root;
  if (!ReadNode(block->data(), 0, block->size(), &root)) {
    SetLastError(ERROR_BAD_FORMAT);
    return -1;
  }
  return 1;
}

// Runs `use` on the file's version block; false with the last error set
// when the file has none.
template <typename Use>
bool WithVersionBlock(LPCWSTR file, Use use) {
  if (!file || !file[0]) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  std::vector<BYTE> section;
  switch (ReadSectionBlock(file, &section)) {
    case 1:
      return use(section.data(), static_cast<DWORD>(section.size()));
    case -1:
      return false;
    default:
      break;
  }
  HMODULE module = LoadLibraryExW(file, nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (!module) {
    DWORD error = GetLastError();
    // A file that is not there; a damaged resource file stays a bad format.
    SetLastError(error == ERROR_MOD_NOT_FOUND ? ERROR_FILE_NOT_FOUND : error);
    return false;
  }
  const BYTE* data = nullptr;
  DWORD size = 0;
  bool ok = FindVersionResource(module, &data, &size);
  Node root;
  if (ok && !ReadNode(data, 0, size, &root)) {
    SetLastError(ERROR_BAD_FORMAT);
    ok = false;
  }
  if (ok) ok = use(data, size);
  DWORD error = GetLastError();
  FreeLibrary(module);
  SetLastError(error);
  return ok;
}

}  // namespace

DWORD GetFileVersionInfoSizeW(LPCWSTR file, DWORD* handle) {
  if (handle) *handle = 0;
  DWORD result = 0;
  WithVersionBlock(file, [&](const BYTE*, DWORD size) {
    result = size;
    return true;
  });
  return result;
}

BOOL GetFileVersionInfoW(LPCWSTR file, DWORD handle, DWORD size, LPVOID data) {
  if (!data || size < kNodeHead) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  bool ok = WithVersionBlock(file, [&](const BYTE* block, DWORD block_size) {
    DWORD copy = block_size < size ? block_size : size;
    std::memcpy(data, block, copy);
    // Queries trust the root's length: make it cover only what was copied.
    BYTE* out = static_cast<BYTE*>(data);
    DWORD root = Read16(out);
    if (root > copy) {
      WORD cut = static_cast<WORD>(copy);
      std::memcpy(out, &cut, 2);
    }
    return true;
  });
  return ok ? TRUE : FALSE;
}

BOOL VerQueryValueW(LPCVOID block, LPCWSTR sub_block, LPVOID* buffer, UINT* length) {
  if (length) *length = 0;
  if (buffer) *buffer = nullptr;
  if (!block || !sub_block || !buffer) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const BYTE* bytes = static_cast<const BYTE*>(block);
  Node node;
  if (!ReadNode(bytes, 0, Read16(bytes), &node)) {
    SetLastError(ERROR_BAD_FORMAT);
    return FALSE;
  }
  for (const WCHAR* p = sub_block; *p;) {
    if (*p == u'\\') {
      ++p;
      continue;
    }
    const WCHAR* start = p;
    while (*p && *p != u'\\') ++p;
    Node child;
    if (!FindChild(bytes, node, start, static_cast<size_t>(p - start), &child)) {
      SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
      return FALSE;
    }
    node = child;
  }
  if (node.value_bytes == 0) {
    SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
    return FALSE;
  }
  // A text's length counts characters, a binary value's bytes; neither
  // reaches past the node.
  bool text = Read16(bytes + node.begin + 4) == 1;
  *buffer = const_cast<BYTE*>(bytes + node.value);
  if (length) *length = static_cast<UINT>(text ? node.value_bytes / 2 : node.value_bytes);
  return TRUE;
}
