// CSfxAppData: the package settings, read from the settings file "sfxinst.ini"
// that the control archive carries (section "Vorlundage"): which setup
// program to launch, where to extract, the product names used as tokens,
// the page headings' font and colour, and the package language.
//
// Objects come from zero-filled global memory when created with new and are
// deleted through the virtual destructor.
#pragma once

#include <cstddef>

#include "platform/kernel/types.h"

// The settings file inside the control archive, and its section.
constexpr WCHAR kSfxSettingsFileName[] = u"sfxinst.ini";
constexpr WCHAR kSfxSettingsSection[] = u"Vorlundage";

// Capacities of the texts, in UTF-16 units with the terminator.
constexpr int SFXAPP_PATH_SIZE = 260;        // Banner, DefaultTarget, SetupApp, SetupAppParams
constexpr int SFXAPP_NAME_SIZE = 1024;       // Title, Name
constexpr int SFXAPP_FONT_SIZE = 255;        // TitleFont
constexpr int SFXAPP_COLOR_SIZE = 32;        // TitleFontColor

// The proposed extraction folder when the file names none; its tokens are
// expanded when the folder is chosen.
constexpr WCHAR kSfxDefaultTarget[] = u"$(ProgramFiles)/Orvo Setup/$(AppName)";

// The package language used when the settings ask for an automatic choice
// and the user's language is not one the package offers.
constexpr LCID SFXAPP_FALLBACK_LCID = 1033;

class CSfxAppData {
 public:
  // Every member set to its default.
  CSfxAppData();
  virtual ~CSfxAppData();

  static void* operator new(std::size_t bytes) noexcept;
  static void operator delete(void* pointer) noexcept;
  CSfxAppData(const CSfxAppData&) = delete;
  CSfxAppData& operator=(const CSfxAppData&) = delete;

  // With `write` clear reads every key of the file (missing ones, or a
  // missing file, give the defaults) and returns 0. With `write` set writes
  // every member to the file; E_FAIL at the first failed write, else 0.
  HRESULT ReadWriteProfile(LPCWSTR path, BOOL write);

  INT ExtractToTemp;                          // 1: extract into the temporary folder, no folder page
  INT ShowOverwrite;                          // 0: overwrite existing files without asking
  WCHAR Banner[SFXAPP_PATH_SIZE];             // PNG banner in the control archive; empty: built-in
  WCHAR DefaultTarget[SFXAPP_PATH_SIZE];      // proposed extraction folder (formatted text)
  WCHAR Title[SFXAPP_NAME_SIZE];              // value of the token "AppName.Title"
  WCHAR Name[SFXAPP_NAME_SIZE];               // value of the token "AppName"
  WCHAR SetupApp[SFXAPP_PATH_SIZE];           // setup program in the extraction folder
  WCHAR SetupAppParams[SFXAPP_PATH_SIZE];     // its parameters
  WCHAR TitleFont[SFXAPP_FONT_SIZE];          // face name of the page headings
  WCHAR TitleFontColor[SFXAPP_COLOR_SIZE];    // "red,green,blue" of the page headings
  LCID Lcid;                                  // package language; 0 in the file: automatic

 private:
  HRESULT ReadProfile(LPCWSTR path);
  HRESULT WriteProfile(LPCWSTR path) const;
};

// The package language for the automatic choice: the system's conditioned
// LCID when the user's language (any Spanish counting as 3082) is one of
// the package's 17 languages, else SFXAPP_FALLBACK_LCID.
LCID SfxAutomaticPackageLCID();

// The heading colour of a "red,green,blue" text as a COLORREF (each part's
// low 8 bits); 0 (black) without two commas or for NULL.
COLORREF SfxParseColor(LPCWSTR text);
