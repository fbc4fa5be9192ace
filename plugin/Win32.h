// The Windows API as the plug-in uses it: the system's own headers on Windows, the platform
// layer's declarations with the same names elsewhere.
#pragma once

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include "Win32Api.h"
#endif

#include <cstdlib>
