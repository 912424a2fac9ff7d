#include "graphics/FontCache.h"

#include <cstring>

#include "startup/ProcessState.h"
#include "strings/string.h"
#include "strings/utility.h"

namespace {

struct FaceMapping {
    const char* given;
    const char* face;
};
const FaceMapping kFaceMappings[] = {
    {"System", "MS Sans Serif"}, {"Application", "MS Sans Serif"}, {"Geneva", "MS Sans Serif"},
    {"SmallSystem", "MS Sans Serif"}, {"Courier", "Courier New"}, {"Times", "Times New Roman"},
    {"Helvetica", "Arial"}, {"Osaka", "MS UI Gothic"},
};

struct FontEntry {
    FontEntry* next;
    StringValue* name;  // one reference
    int32_t size;
    uint32_t style;
    HFONT font;
    int32_t refCount;
};
FontEntry* gFonts = nullptr;
int32_t gFontCount = 0;

bool SameName(StringValue* a, StringValue* b) {
    return CompareBytesText(reinterpret_cast<const uint8_t*>(StringText(a)), StringLength(a),
                            reinterpret_cast<const uint8_t*>(StringText(b)), StringLength(b)) == 0;
}

// The name as 8-bit text of the system code page, at most LF_FACESIZE - 1 bytes.
void FaceText(StringValue* name, char (&out)[LF_FACESIZE]) {
    out[0] = 0;
    if (!name) return;
    StringHandle wide = StringHandle::Borrow(name);
    if (name->encoding == kEncodingUTF8 || name->encoding == kEncodingUTF16) wide = wide.ToUtf16();
    if (wide.Encoding() == kEncodingUTF16 && !wide.IsEmpty()) {
        int n = WideCharToMultiByte(CP_ACP, 0, reinterpret_cast<const wchar_t*>(wide.Utf16()), wide.Length() / 2,
                                    out, LF_FACESIZE - 1, nullptr, nullptr);
        out[n > 0 ? n : 0] = 0;
    } else {
        lstrcpynA(out, StringText(name), LF_FACESIZE);
    }
}

}  // namespace

const char* FontFaceFor(const char* name) {
    for (const FaceMapping& m : kFaceMappings)
        if (lstrcmpiA(name, m.given) == 0) return m.face;
    return name;
}

BYTE FontCharsetForScript(int script) {
    switch (script) {
        case 13: return SHIFTJIS_CHARSET;  // Japanese, 128
        case 21: return CHINESEBIG5_CHARSET;  // Chinese, 136
        default: return DEFAULT_CHARSET;
    }
}

HFONT FontCacheAcquire(StringValue* name, int32_t size, uint32_t style) {
    if (size == 0) size = 12;
    if (size > 4096) size = 4096;  // keeps -size and the GDI height finite
    if (size < -4096) size = -4096;
    for (FontEntry* e = gFonts; e; e = e->next) {
        if (e->size == size && e->style == style && SameName(e->name, name)) {
            ++e->refCount;
            return e->font;
        }
    }
    char given[LF_FACESIZE];
    FaceText(name, given);
    HFONT font = CreateFontA(-size, 0, 0, 0, (style & kStyleBold) ? FW_BOLD : FW_NORMAL, (style & kStyleItalic) != 0,
                             (style & kStyleUnderline) != 0, FALSE, FontCharsetForScript(gSystemScript),
                             OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE,
                             FontFaceFor(given));
    if (!font) return nullptr;
    auto* e = static_cast<FontEntry*>(PoolAlloc(sizeof(FontEntry), false));
    *e = FontEntry{gFonts, StringRetain(name), size, style, font, 1};
    gFonts = e;
    ++gFontCount;
    return font;
}

void FontCacheRelease(HFONT font) {
    if (!font) return;
    for (FontEntry** link = &gFonts; *link; link = &(*link)->next) {
        FontEntry* e = *link;
        if (e->font != font) continue;
        if (--e->refCount > 0) return;
        *link = e->next;
        DeleteObject(e->font);
        StringRelease(e->name);
        PoolFree(e, sizeof(FontEntry));
        --gFontCount;
        return;
    }
}

int32_t FontCacheCount() { return gFontCount; }
