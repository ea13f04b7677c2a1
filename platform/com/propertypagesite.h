// The property page site: what a property page object calls on the frame
// that shows it (status changes, the locale, the frame itself, keyboard
// shortcuts).
//
// Slots, counting from QueryInterface = 0: 3 OnStatusChange,
// 4 GetLocaleID, 5 GetPageContainer, 6 TranslateAccelerator.
#pragma once

#include "platform/com/com.h"

// The window message record of platform/user/window_model.h; this area sits
// below the window manager, so the page site only passes it through.
struct MSG;

inline constexpr IID IID_IPropertyPageSite = {0xB196B28C, 0xBAB4, 0x101A,
                                              {0xB6, 0x9C, 0x00, 0xAA, 0x00, 0x34, 0x1D, 0x07}};

constexpr DWORD PROPPAGESTATUS_DIRTY = 0x1;     // the page's values changed
constexpr DWORD PROPPAGESTATUS_VALIDATE = 0x2;  // the page wants its values checked now
constexpr DWORD PROPPAGESTATUS_CLEAN = 0x4;     // the page's values are applied

class IPropertyPageSite : public IUnknown {
 public:
  // The page's state changed (PROPPAGESTATUS_* bits).
  virtual HRESULT OnStatusChange(DWORD flags) = 0;
  // The locale the page should show itself in; E_POINTER for a NULL pointer.
  virtual HRESULT GetLocaleID(LCID* locale) = 0;
  // The object that holds the pages (E_NOTIMPL when the frame offers none;
  // *container NULL then).
  virtual HRESULT GetPageContainer(IUnknown** container) = 0;
  // Offers the frame a keystroke message the page did not use; S_OK when
  // the frame used it, S_FALSE when not.
  virtual HRESULT TranslateAccelerator(MSG* message) = 0;

 protected:
  ~IPropertyPageSite() = default;
};
