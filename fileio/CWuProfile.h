// The profile store of the file-I/O manager: one section of one profile
// (INI) file, read and written through the platform's profile calls. The
// plug-in cache and the metrics keep their values in such files.
//
// Values are read with the absent marker "_._" as their default, so that a
// key with an empty value and a missing key can be told apart: a value that
// reads as "_._" is absent.
//
// A file path longer than MAX_PATH - 1 characters is refused, never cut
// (a cut path names another file): such a profile is not valid and every
// operation fails (reads give nothing, writes and DeleteFile give
// HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE), Exists gives false).
// Section names are kept whole.
#pragma once

#include <string>

#include "platform/kernel/types.h"

// The operations of a profile, in their fixed order.
class CWuProfileLike {
 public:
  virtual ~CWuProfileLike() = default;

  // Copies the key's value into `buffer` (`size` characters, terminated).
  // With `def` NULL the absent marker is the default and an absent value
  // gives an empty buffer and false; otherwise the default is copied when
  // the key is missing and the answer is true. A NULL key copies the
  // section's key names as a list (each terminated, one more terminator).
  virtual bool GetString(LPCWSTR key, LPCWSTR def, LPWSTR buffer, DWORD size) = 0;
  // The key's value as a number (decimal, or hexadecimal after "0x"); the
  // default when missing, empty or not a number.
  virtual int GetInt(LPCWSTR key, int def) = 0;
  // Reads the key's value (a NULL key: the section's key names) whole and
  // stores the pieces that are class ids in registry form
  // ("{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", either case) in order, at
  // most `max` of them. Returns the number stored; with `out` NULL, the
  // number of class ids found (so a caller can size its array).
  virtual int GetGuids(LPCWSTR key, GUID* out, int max) = 0;
  // Sets the key (not NULL) to `text`; an empty or NULL text leaves the key
  // present with an empty value. S_OK, E_INVALIDARG for a NULL key, else
  // the converted Win32 error.
  virtual HRESULT WriteString(LPCWSTR key, LPCWSTR text) = 0;
  // Sets the key to the number in decimal.
  virtual HRESULT WriteInt(LPCWSTR key, int value) = 0;
  // With a key: the key gets the class id in registry form. Without: the
  // class id in registry form is the key and `text` its value.
  virtual HRESULT WriteGuid(LPCWSTR key, const GUID& guid, LPCWSTR text) = 0;
  // Leaves the section present and empty. S_OK or the converted Win32 error.
  virtual HRESULT ClearSection() = 0;
  // Deletes the file: 1 when there is no file, 0 when it was deleted, the
  // converted Win32 error otherwise (a folder of that name, no permission).
  virtual HRESULT DeleteFile() = 0;
  // Whether the file exists (a folder of that name does not count).
  virtual bool Exists() = 0;
};

class CWuProfile final : public CWuProfileLike {
 public:
  // The file `folder` + separator (added when missing) + `name`, given the
  // extension ".ini"; section "main". A NULL or empty folder: `name` alone.
  CWuProfile(LPCWSTR folder, LPCWSTR name);
  // A sub-profile: the same file, section `parent`'s section + "." + `name`.
  CWuProfile(const CWuProfile& parent, LPCWSTR name);
  CWuProfile(const CWuProfile&) = delete;
  CWuProfile& operator=(const CWuProfile&) = delete;

  bool GetString(LPCWSTR key, LPCWSTR def, LPWSTR buffer, DWORD size) override;
  int GetInt(LPCWSTR key, int def) override;
  int GetGuids(LPCWSTR key, GUID* out, int max) override;
  HRESULT WriteString(LPCWSTR key, LPCWSTR text) override;
  HRESULT WriteInt(LPCWSTR key, int value) override;
  HRESULT WriteGuid(LPCWSTR key, const GUID& guid, LPCWSTR text) override;
  HRESULT ClearSection() override;
  HRESULT DeleteFile() override;
  bool Exists() override;

  // The section the operations work on from now on (NULL: empty name,
  // which the profile calls refuse).
  void SetSection(LPCWSTR section);
  LPCWSTR Section() const { return section_.c_str(); }
  // The file path; empty when the profile is not valid.
  LPCWSTR Path() const { return path_; }
  // Whether the path was accepted.
  bool IsValid() const { return valid_; }

 private:
  WCHAR path_[MAX_PATH] = {};  // the profile file, terminated
  bool valid_ = false;         // the path fitted
  std::u16string section_;     // the section of every operation
};

// The absent marker that profile values are read with.
constexpr WCHAR kWuProfileAbsent[] = u"_._";
