// A stand-in "UxTheme.dll" for the theme layer's tests: an export module
// with the 47 entry points of the visual-styles library. Every call is
// recorded; DrawThemeBackground and DrawThemeText fill their rectangle in a
// colour chosen by class, part and state, so pixels show where a drawing
// went. One stand-in exists at a time.
#pragma once

#include <string>
#include <vector>

#include "shellui/WuXPTheme.h"

namespace uxtheme_standin {

// One recorded call.
struct Call {
  std::string name;    // entry point
  int control = -1;    // class of the theme handle (-1: none)
  int part = 0;        // part, where the entry point takes one
  int state = 0;       // state, where the entry point takes one
};

// How the stand-in answers.
struct Options {
  bool enable_theming = true;   // false: "EnableTheming" is not exported
  BOOL theme_active = TRUE;     // IsThemeActive
  DWORD app_properties = 7;     // GetThemeAppProperties until SetThemeAppProperties
  int refused_class = -1;       // OpenThemeData fails for this class
};

// The module, registered as "UxTheme.dll" while the object lives (the
// test's own reference; the layer adds and releases its own).
class StandIn {
 public:
  explicit StandIn(const Options& options = Options());
  ~StandIn();
  StandIn(const StandIn&) = delete;
  StandIn& operator=(const StandIn&) = delete;

  HMODULE module() const { return module_; }
  // Switches that the next calls see.
  void SetThemeActive(BOOL active);
  void SetAppProperties(DWORD properties);

 private:
  HMODULE module_ = nullptr;
};

// The calls so far, and forgetting them.
const std::vector<Call>& Calls();
void ClearCalls();
// The calls of one entry point.
std::vector<Call> CallsOf(const std::string& name);
// Theme handles opened and not yet closed.
int OpenThemeCount();
// The last value given to SetThemeAppProperties (-1: none).
long long LastSetAppProperties();

// The fill colours of DrawThemeBackground and DrawThemeText.
COLORREF BackgroundColor(int control, int part, int state);
COLORREF TextColor(int control, int part, int state);

}  // namespace uxtheme_standin
