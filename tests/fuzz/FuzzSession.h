// The self-extractor's process state that the command-line and settings
// targets need: a language handle over the program, the printf tokens and
// a front end that answers every box with its default button.
#pragma once

#include "foundation/WuLang.h"

namespace wufuzz {

// Sets the session up once per process and returns the language handle.
HWULANG SfxSession();

// Puts the run state and the locales back to a fresh run's.
void ResetSfxRun();

}  // namespace wufuzz
