// fio_test_min, the smallest test plug-in: one class whose objects answer
// the metadata version kind with a stream made by the host's platform.
#pragma once

#include "platform/kernel/types.h"

// The plug-in's one class.
inline constexpr CLSID CLSID_FioTestMin = {0x6D1B0F3A, 0x52C4, 0x4E0B,
                                           {0x9A, 0x1E, 0x3C, 0x70, 0x15, 0xB2, 0x8D, 0x01}};
// The version its objects answer.
constexpr DWORD kFioTestMinVersion = 0x01000100;
