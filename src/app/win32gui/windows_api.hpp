// <windows.h> for the Win32 front end, with UNICODE's W functions, less its LoadString macro,
// which would rename the string table's LoadString (res).
#pragma once

#include <windows.h>

#undef LoadString
