// The Win32 side of the channel's operating-system layer: what it builds from the channel's
// settings, for those who check it without a port.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include "link/KoClasses.h"

// The device control block that SetCommState gets for a settings record, built from zero.
DCB KoWin32BuildDCB(const TKoLineSettings& Settings);
