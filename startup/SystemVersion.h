// Which family of Windows the process runs on. A leaf: any unit may ask.
#pragma once

// True on Windows NT systems, where the runtime calls the wide-character
// forms of the platform's functions.
bool IsWindowsNT();
