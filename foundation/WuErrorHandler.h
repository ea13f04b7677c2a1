// The error handler: conversion of platform error numbers into the
// system's status codes.
#pragma once

#include "platform/types.h"

// Maps a Win32 error number (GetLastError) to a status code through a fixed
// table: 0 stays 0, the numbers the library meets get their own codes
// (file not found -> 0x8004E00A, access denied -> E_ACCESSDENIED, disk full
// -> 0x8004E002, ...), and every other number, including those with the
// top bit set, becomes E_FAIL. Use HRESULT_FROM_WIN32 (platform/types.h)
// where the platform's own arithmetic conversion is wanted instead.
HRESULT WuErrorHandler_TranslateWin32Error(DWORD error);
