// System sounds.
//
// This stand-in plays nothing: it records every request (the sound name and
// the flags) in a small process-wide log that tests can read, and answers as
// the platform would for a sound that exists. The known names are the system
// sound aliases ("SystemDefault", "SystemAsterisk", "SystemExclamation",
// "SystemHand", "SystemQuestion", "SystemStart", "SystemExit",
// "SystemNotification") and the library's application alias
// "Brisvanemoor_DoneProcessing", compared without regard to case.
#pragma once

#include <string>
#include <vector>

#include "platform/kernel/types.h"

// sndPlaySoundW flags.
constexpr UINT SND_SYNC = 0x0000;       // return when the sound has ended
constexpr UINT SND_ASYNC = 0x0001;      // return at once
constexpr UINT SND_NODEFAULT = 0x0002;  // no default sound for an unknown name
constexpr UINT SND_MEMORY = 0x0004;     // the "name" points to wave data in memory
constexpr UINT SND_LOOP = 0x0008;       // repeat until the next call (with SND_ASYNC)
constexpr UINT SND_NOSTOP = 0x0010;     // do not stop a sound that is playing

// Records the request and returns TRUE for a known name, for sound data in
// memory (SND_MEMORY with a non-NULL pointer) and for NULL (which stops the
// current sound); FALSE for any other name. Nothing is played.
BOOL sndPlaySoundW(LPCWSTR sound, UINT flags);

namespace platform {

// One recorded sndPlaySoundW call.
struct SoundRequest {
  std::u16string name;  // the sound name; empty for NULL and for SND_MEMORY
  UINT flags;           // the flags as given
};

// The requests recorded so far, oldest first (at most the last 64).
std::vector<SoundRequest> GetSoundLog();
// Empties the log.
void ClearSoundLog();

}  // namespace platform
