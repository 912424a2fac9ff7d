// The process-wide font cache: one GDI font per (face, bold, italic,
// underline, size), shared by every drawing context and counted.
#pragma once

#include <windows.h>

#include <cstdint>

#include "orvane/abi.h"

enum : uint32_t { kStyleBold = 1, kStyleItalic = 2, kStyleUnderline = 4 };

// The face a given font name is drawn with ("Helvetica" -> "Arial").
const char* FontFaceFor(const char* name);
// The character set of fonts for a system script.
BYTE FontCharsetForScript(int script);
// A font with one more reference; nil when it cannot be made.
HFONT FontCacheAcquire(StringValue* name, int32_t size, uint32_t style);
void FontCacheRelease(HFONT font);
// Fonts currently held.
int32_t FontCacheCount();
