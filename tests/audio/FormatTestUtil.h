// Plain formats of a sample type for the copy and channel tests.
#pragma once

#include "audio/WuSampleType.h"
#include "audio/WuWaveFormat.h"
#include "audio/WuWfx.h"

namespace audiotest {

// A plain platform record of a type at 48 kHz.
inline WAVEFORMATEX Wfx(WUSAMPLETYPE type, DWORD channels) {
  WAVEFORMATEX wfx{};
  WuAudio_InitWfx(&wfx, 48000, type, channels);
  return wfx;
}

// A typed record of a type at 48 kHz.
inline _wuwaveformat Record(WUSAMPLETYPE type, UINT channels) {
  _wuwaveformat r{};
  r.Init(48000, type, channels, 0, sizeof(r));
  return r;
}

}  // namespace audiotest
