// The TextEncoding, _Encodings and TextConverter classes and the string
// entry points that hand out or take encodings.
#include <cstring>

#include "objects/ObjectDefinition.h"
#include "orvane/exports.h"
#include "startup/ProcessState.h"
#include "strings/TextEncodingUtil.h"
#include "strings/basicstr.h"
#include "strings/utility.h"

namespace {

TextEncodingObject* AsEncoding(ObjectHeader* o) { return reinterpret_cast<TextEncodingObject*>(o); }
TextConverterObject* AsConverter(ObjectHeader* o) { return reinterpret_cast<TextConverterObject*>(o); }

uint32_t CodeOf(ObjectHeader* encoding) {
    return encoding ? AsEncoding(encoding)->code : kEncodingUnknown;
}

// The identifier the object stands for, with its variant and format.
uint32_t IdentifierOf(ObjectHeader* encoding) {
    TextEncodingObject* e = AsEncoding(encoding);
    return EncodingCompose(uint32_t(e->base), uint32_t(e->variant), uint32_t(e->format));
}

ObjectHeader* NewEncodingObject(int32_t base, int32_t variant, int32_t format, uint32_t code) {
    ObjectHeader* o = CreateInstance(TextEncodingDefinition());
    if (!o) return nullptr;
    TextEncodingObject* e = AsEncoding(o);
    e->base = base;
    e->variant = variant;
    e->format = format;
    e->valid = 1;
    e->code = code;
    return o;
}

// The bytes of s under another tag, laid out as a record of that tag.
StringHandle CopyTagged(const StringValue* s, uint32_t tag) {
    StringHandle out;
    if (tag == kEncodingUTF16 && s->length % 2 == 0) {
        out = StringHandle::Adopt(StringMakeUtf16(nullptr, s->length / 2));
        if (!out.IsEmpty()) std::memcpy(out.WritableByte(0), s->text + 1, size_t(s->length));
    } else {
        out = StringHandle::Adopt(StringMake(s->text + 1, s->length));
    }
    out.SetEncoding(tag);
    return out;
}

// A module literal: its text directly behind the record, in the module's
// data block. Never changed in place, whatever its count says.
bool IsLaidOutAsLiteral(const StringValue* s) {
    return s->text == reinterpret_cast<const uint8_t*>(s + 1);
}

// ---- Shared objects by identifier -----------------------------------------------------

constexpr uint32_t kSharedChains = 1024;

struct SharedNode {
    uint32_t identifier;
    ObjectHeader* object;
    SharedNode* next;
};
SharedNode* gShared[kSharedChains];
int32_t gSharedCount = 0;

// ---- The _Encodings properties ----------------------------------------------------------

enum class Made { kShared, kNew, kTriple, kSystem };

struct NamedEncoding {
    const char* name;
    Made made;
    uint32_t identifier;
};

const NamedEncoding kNamedEncodings[kEncodingsPropertyCount] = {
    {"UTF8", Made::kShared, kEncodingUTF8},
    {"UTF16", Made::kShared, kEncodingUTF16},
    {"UCS4", Made::kTriple, 0x0100},
    {"MacRoman", Made::kNew, 0},
    {"MacJapanese", Made::kNew, 1},
    {"MacChineseTrad", Made::kNew, 2},
    {"MacKorean", Made::kNew, 3},
    {"MacArabic", Made::kNew, 4},
    {"MacHebrew", Made::kNew, 5},
    {"MacGreek", Made::kNew, 6},
    {"MacCyrillic", Made::kNew, 7},
    {"MacDevanagari", Made::kNew, 9},
    {"MacGurmukhi", Made::kNew, 10},
    {"MacGujarati", Made::kNew, 11},
    {"MacOriya", Made::kNew, 12},
    {"MacBengali", Made::kNew, 13},
    {"MacTamil", Made::kNew, 14},
    {"MacTelugu", Made::kNew, 15},
    {"MacKannada", Made::kNew, 16},
    {"MacMalayalam", Made::kNew, 17},
    {"MacSinhalese", Made::kNew, 18},
    {"MacBurmese", Made::kNew, 19},
    {"MacKhmer", Made::kNew, 20},
    {"MacThai", Made::kNew, 21},
    {"MacLaotian", Made::kNew, 22},
    {"MacGeorgian", Made::kNew, 23},
    {"MacArmenian", Made::kNew, 24},
    {"MacChineseSimp", Made::kNew, 25},
    {"MacTibetan", Made::kNew, 26},
    {"MacMongolian", Made::kNew, 27},
    {"MacEthiopic", Made::kNew, 28},
    {"MacCentralEurRoman", Made::kNew, 29},
    {"MacVietnamese", Made::kNew, 30},
    {"MacExtArabic", Made::kNew, 31},
    {"MacSymbol", Made::kNew, 33},
    {"MacDingbats", Made::kNew, 34},
    {"MacTurkish", Made::kNew, 35},
    {"MacCroatian", Made::kNew, 36},
    {"MacIcelandic", Made::kNew, 37},
    {"MacRomanian", Made::kNew, 38},
    {"MacCeltic", Made::kNew, 39},
    {"MacGaelic", Made::kNew, 40},
    {"ISOLatin1", Made::kNew, 0x0201},
    {"ISOLatin2", Made::kNew, 0x0202},
    {"ISOLatin3", Made::kNew, 0x0203},
    {"ISOLatin4", Made::kNew, 0x0204},
    {"ISOLatinCyrillic", Made::kNew, 0x0205},
    {"ISOLatinArabic", Made::kNew, 0x0206},
    {"ISOLatinGreek", Made::kNew, 0x0207},
    {"ISOLatinHebrew", Made::kNew, 0x0208},
    {"ISOLatin5", Made::kNew, 0x0209},
    {"ISOLatin6", Made::kNew, 0x020A},
    {"ISOLatin7", Made::kNew, 0x020D},
    {"ISOLatin8", Made::kNew, 0x020E},
    {"ISOLatin9", Made::kNew, 0x020F},
    {"DOSLatinUS", Made::kNew, 0x0400},
    {"DOSGreek", Made::kNew, 0x0405},
    {"DOSBalticRim", Made::kNew, 0x0406},
    {"DOSLatin1", Made::kNew, 0x0410},
    {"DOSGreek1", Made::kNew, 0x0411},
    {"DOSLatin2", Made::kNew, 0x0412},
    {"DOSCyrillic", Made::kNew, 0x0413},
    {"DOSTurkish", Made::kNew, 0x0414},
    {"DOSPortuguese", Made::kNew, 0x0415},
    {"DOSIcelandic", Made::kNew, 0x0416},
    {"DOSHebrew", Made::kNew, 0x0417},
    {"DOSCanadianFrench", Made::kNew, 0x0418},
    {"DOSArabic", Made::kNew, 0x0419},
    {"DOSNordic", Made::kNew, 0x041A},
    {"DOSRussian", Made::kNew, 0x041B},
    {"DOSGreek2", Made::kNew, 0x041C},
    {"DOSThai", Made::kNew, 0x041D},
    {"DOSJapanese", Made::kNew, 0x0420},
    {"DOSChineseSimplif", Made::kNew, 0x0421},
    {"DOSKorean", Made::kNew, 0x0422},
    {"DOSChineseTrad", Made::kNew, 0x0423},
    {"WindowsLatin1", Made::kNew, 0x0500},
    {"WindowsANSI", Made::kNew, 0x0500},
    {"WindowsLatin2", Made::kNew, 0x0501},
    {"WindowsCyrillic", Made::kNew, 0x0502},
    {"WindowsGreek", Made::kNew, 0x0503},
    {"WindowsLatin5", Made::kNew, 0x0504},
    {"WindowsHebrew", Made::kNew, 0x0505},
    {"WindowsArabic", Made::kNew, 0x0506},
    {"WindowsBalticRim", Made::kNew, 0x0507},
    {"WindowsVietnamese", Made::kNew, 0x0508},
    {"WindowsKoreanJohab", Made::kNew, 0x0510},
    {"ASCII", Made::kShared, kEncodingASCII},
    {"ShiftJIS", Made::kNew, kEncodingShiftJIS},
    {"KOI8_R", Made::kNew, 0x0A02},
    {"MacRomanLatin1", Made::kNew, 0x0A04},
    {"SystemDefault", Made::kSystem, 0},
};

// The font encoding the last named font gave; ASCII before the first.
uint32_t gLastFontEncoding = kEncodingASCII;

// ---- guessJapaneseEncoding ----------------------------------------------------------------

enum GuessState { kNewJis = 1, kOldJis = 2, kNecJis = 3, kEuc = 4, kSjis = 5, kEucOrSjis = 6, kNothing = 7 };

bool In(int c, int low, int high) { return c >= low && c <= high; }

int Guess(const uint8_t* p, int32_t n) {
    int32_t i = 0;
    auto next = [&]() -> int { return i < n ? p[i++] : -1; };
    int state = kNothing;
    while ((state == kEucOrSjis || state == kNothing) && i < n) {
        int c = next();
        if (c == 0x1B) {
            c = next();
            if (c == '$') {
                c = next();
                if (c == 'B') state = kNewJis;
                else if (c == '@') state = kOldJis;
            } else if (c == 'K') {
                state = kNecJis;
            }
        } else if (In(c, 0x81, 0x8D) || In(c, 0x8F, 0x9F)) {
            state = kSjis;
        } else if (c == 0x8E) {
            c = next();
            if (In(c, 0x40, 0x7E) || In(c, 0x80, 0xA0) || In(c, 0xE0, 0xFC)) state = kSjis;
            else if (In(c, 0xA1, 0xDF)) state = kEucOrSjis;
        } else if (In(c, 0xA1, 0xDF)) {
            c = next();
            if (In(c, 0xF0, 0xFE)) {
                state = kEuc;
            } else if (In(c, 0xA1, 0xDF)) {
                state = kEucOrSjis;
            } else if (In(c, 0xE0, 0xEF)) {
                state = kEucOrSjis;
                while (c > 0x3F && state == kEucOrSjis) {
                    if (In(c, 0x81, 0x8D) || In(c, 0x8F, 0x9F)) state = kSjis;
                    else if (In(c, 0xFD, 0xFE)) state = kEuc;
                    c = next();
                }
            } else if (In(c, 0, 0x9F)) {
                state = kSjis;
            }
        } else if (In(c, 0xF0, 0xFE)) {
            state = kEuc;
        } else if (In(c, 0xE0, 0xEF)) {
            c = next();
            if (In(c, 0x40, 0x7E) || In(c, 0x80, 0xA0)) state = kSjis;
            else if (In(c, 0xFD, 0xFE)) state = kEuc;
            else if (In(c, 0xA1, 0xFC)) state = kEucOrSjis;
        }
    }
    return state;
}

// ---- Rows ------------------------------------------------------------------------------------

const ClassTypeRef kTextEncodingType = ORVANE_CLASS_TYPE("TextEncoding");

void __cdecl TextEncodingInit(ObjectHeader* self) { AsEncoding(self)->valid = 1; }

PropertyRow kTextEncodingProperties[] = {
    {0, "base", &kIntegerType, Fn(textEncodingBaseGetter), "textEncodingBaseGetter", nullptr, nullptr, 0},
    {0, "variant", &kIntegerType, Fn(textEncodingVariantGetter), "textEncodingVariantGetter", nullptr, nullptr, 0},
    {0, "format", &kIntegerType, Fn(textEncodingFormatGetter), "textEncodingFormatGetter", nullptr, nullptr, 0},
    {0, "internetName", &kStringType, Fn(textEncodingInternetName), "textEncodingInternetName", nullptr, nullptr,
     0},
    {0, "code", &kIntegerType, nullptr, "intGetter", nullptr, nullptr, kTextEncodingCodeAt},
};

ParameterRecord kCodePointParameter[] = {{"codePoint", &kIntegerType, 0, {}, {}}};
ParameterRecord kOtherEncodingParameter[] = {{"otherEncoding", &kTextEncodingType.header, 0, {}, {}}};

MethodRow kTextEncodingMethods[] = {
    {"Chr", &kStringType, kCodePointParameter, 1, Fn(TextEncodingChr), "TextEncodingChr", {}, nullptr, nullptr,
     {}, 0},
    {"Equals", &kBooleanType, kOtherEncodingParameter, 1, Fn(TextEncodingEquals), "TextEncodingEquals", {},
     nullptr, nullptr, {}, 0},
};

// One row per named encoding, its index as the parameter; filled once.
PropertyRow kEncodingsProperties[kEncodingsPropertyCount];

PropertyRow* EncodingsProperties() {
    for (int32_t i = 0; i < kEncodingsPropertyCount; ++i)
        kEncodingsProperties[i] = PropertyRow{0, kNamedEncodings[i].name, &kTextEncodingType.header,
                                              Fn(EncodingsGetter), "EncodingsGetter", nullptr, nullptr,
                                              uint32_t(i + 1)};
    return kEncodingsProperties;
}

ParameterRecord kEncodingCodeParameter[] = {{"encodingCode", &kIntegerType, 0, {}, {}}};

MethodRow kEncodingsMethods[] = {
    {"GetFromCode", &kTextEncodingType.header, kEncodingCodeParameter, 1, Fn(EncodingsGetFromCode),
     "EncodingsGetFromCode", {}, nullptr, nullptr, {}, 0},
};

ParameterRecord kTextParameter[] = {{"text", &kStringType, 0, {}, {}}};

MethodRow kTextConverterMethods[] = {
    {"convert", &kStringType, kTextParameter, 1, Fn(textConverterConvert), "textConverterConvert", {}, nullptr,
     nullptr, {}, 0},
    {"clear", nullptr, nullptr, 0, Fn(textConverterClear), "textConverterClear", {}, nullptr, nullptr, {}, 0},
};

}  // namespace

// ---- Objects ---------------------------------------------------------------------------------

ObjectHeader* NewTextEncoding(uint32_t identifier) {
    return NewEncodingObject(int32_t(identifier), 0, 0, identifier);
}

ObjectHeader* SharedTextEncoding(uint32_t identifier) {
    CriticalSectionLock lock(gStringLock);
    SharedNode*& chain = gShared[identifier % kSharedChains];
    for (SharedNode* node = chain; node; node = node->next) {
        if (node->identifier != identifier) continue;
        RuntimeLockObject(node->object);
        return node->object;
    }
    ObjectHeader* object = NewTextEncoding(identifier);
    if (!object) return nullptr;
    SharedNode* node = static_cast<SharedNode*>(PoolAlloc(int32_t(sizeof(SharedNode)), false));
    *node = SharedNode{identifier, object, chain};  // the map keeps the first reference
    chain = node;
    ++gSharedCount;
    RuntimeLockObject(object);
    return object;
}

int32_t SharedTextEncodingCount() { return gSharedCount; }

ObjectDefinition* TextEncodingDefinition() {
    static ObjectDefinition* d = DefineClass(ClassDescription{
        "TextEncoding", nullptr, kTextEncodingSize, TextEncodingInit, nullptr,
        ORVANE_ROWS(kTextEncodingProperties), ORVANE_ROWS(kTextEncodingMethods), ORVANE_NO_ROWS});
    return d;
}

ObjectDefinition* EncodingsDefinition() {
    static ObjectDefinition* d = DefineClass(ClassDescription{
        "_Encodings", nullptr, kEncodingsSize, nullptr, nullptr, EncodingsProperties(),
        kEncodingsPropertyCount, ORVANE_ROWS(kEncodingsMethods), ORVANE_NO_ROWS});
    return d;
}

ObjectDefinition* TextConverterDefinition() {
    static ObjectDefinition* d = DefineClass(ClassDescription{
        "TextConverter", nullptr, kTextConverterSize, nullptr, nullptr, ORVANE_NO_ROWS,
        ORVANE_ROWS(kTextConverterMethods), ORVANE_NO_ROWS});
    return d;
}

// ---- TextEncoding members ----------------------------------------------------------------------

extern "C" int32_t textEncodingBaseGetter(ObjectHeader* e, int32_t) { return e ? AsEncoding(e)->base : 0; }
extern "C" int32_t textEncodingVariantGetter(ObjectHeader* e, int32_t) { return e ? AsEncoding(e)->variant : 0; }
extern "C" int32_t textEncodingFormatGetter(ObjectHeader* e, int32_t) { return e ? AsEncoding(e)->format : 0; }
extern "C" StringValue* textEncodingInternetName(ObjectHeader*, int32_t) { return nullptr; }

extern "C" StringValue* TextEncodingChr(ObjectHeader* encoding, int32_t codePoint) {
    if (!encoding) return nullptr;
    TextEncodingObject* e = AsEncoding(encoding);
    uint32_t cp = uint32_t(codePoint);
    uint8_t bytes[4];
    int32_t n = 0;
    // The family and form come from the full identifier as well as from the
    // fields, so that the UTF8 object (base 0x08000100, format 0) writes UTF-8.
    if (!IsUnicodeEncoding(EncodingBase(e->code))) {
        int shift = 24;
        while (shift > 0 && ((cp >> shift) & 0xFF) == 0) shift -= 8;
        for (; shift >= 0; shift -= 8) bytes[n++] = uint8_t(cp >> shift);
    } else {
        uint32_t format = e->format ? uint32_t(e->format) : EncodingFormat(e->code);
        if (format == 3) {
            std::memcpy(bytes, &cp, 4);
            n = 4;
        } else if (format == 1 || format == 2) {
            n = Utf8Put(cp > 0x1FFFFF ? 0xFFFD : cp, bytes);
        } else if (cp > 0xFFFF && cp <= 0x10FFFF) {
            uint16_t pair[2] = {uint16_t(0xD800 + ((cp - 0x10000) >> 10)),
                                uint16_t(0xDC00 + ((cp - 0x10000) & 0x3FF))};
            std::memcpy(bytes, pair, 4);
            n = 4;
        } else {
            uint16_t unit = uint16_t(cp);
            std::memcpy(bytes, &unit, 2);
            n = 2;
        }
    }
    StringHandle out = StringHandle::Adopt(
        e->code == kEncodingUTF16 && n % 2 == 0
            ? StringMakeUtf16(reinterpret_cast<const uint16_t*>(bytes), n / 2)
            : StringMake(bytes, n));
    out.SetEncoding(e->code);
    return out.Release();
}

extern "C" int32_t TextEncodingEquals(ObjectHeader* a, ObjectHeader* b) {
    if (a == b) return 1;
    return a && b && AsEncoding(a)->code == AsEncoding(b)->code;
}

// ---- _Encodings -------------------------------------------------------------------------------

extern "C" ObjectHeader* GetEncodingsObject(void) { return CreateInstance(EncodingsDefinition()); }

extern "C" ObjectHeader* EncodingsGetter(ObjectHeader*, int32_t index) {
    if (index < 1 || index > kEncodingsPropertyCount) return nullptr;
    const NamedEncoding& named = kNamedEncodings[index - 1];
    switch (named.made) {
    case Made::kShared: return SharedTextEncoding(named.identifier);
    case Made::kNew: return NewTextEncoding(named.identifier);
    case Made::kTriple: return getTextEncoding(int32_t(named.identifier), 0, 3);
    case Made::kSystem: {
        StringHandle system("System");
        return getFontTextEncoding(system.Get());
    }
    }
    return nullptr;
}

extern "C" ObjectHeader* EncodingsGetFromCode(ObjectHeader*, uint32_t encodingCode) {
    return encodingCode == kEncodingUnknown ? nullptr : SharedTextEncoding(encodingCode);
}

extern "C" ObjectHeader* getTextEncoding(int32_t base, int32_t variant, int32_t format) {
    uint32_t code = base == 0x0100 && format == 2 ? kEncodingUTF8 : uint32_t(base);
    return NewEncodingObject(base, variant, format, code);
}

extern "C" ObjectHeader* getFontTextEncoding(StringValue* fontName) {
    // Every font has the system's encoding; the name is not consulted.
    if (fontName) gLastFontEncoding = SystemEncoding();
    return gLastFontEncoding == kEncodingUnknown ? nullptr : NewTextEncoding(gLastFontEncoding);
}

extern "C" ObjectHeader* getInternetTextEncoding(StringValue*) { return nullptr; }

extern "C" uint32_t GetEncodingFromTEObject(ObjectHeader* encoding) { return CodeOf(encoding); }

extern "C" ObjectHeader* guessJapaneseEncoding(StringValue* s) {
    if (!s) return nullptr;
    switch (Guess(s->text + 1, s->length)) {
    case kNewJis:
    case kOldJis:
    case kNecJis: return NewTextEncoding(kEncodingISO2022JP);
    case kEuc: return NewTextEncoding(kEncodingEUCJP);
    case kSjis: return NewTextEncoding(kEncodingShiftJIS);
    default: return nullptr;
    }
}

// ---- TextConverter -----------------------------------------------------------------------------

extern "C" ObjectHeader* getTextConverter(ObjectHeader* source, ObjectHeader* destination) {
    if (!source || !destination) return nullptr;
    // The converter keeps the full identifiers: a (0x0100, 0, 2) pair is UTF-8,
    // not the UTF-16 its base alone would name.
    uint32_t from = IdentifierOf(source), to = IdentifierOf(destination);
    uint32_t cpFrom = EncodingCodePage(from), cpTo = EncodingCodePage(to);
    bool accepted = (EncodingIsUsable(from) && EncodingIsUsable(to)) || (cpFrom != 0 && cpFrom == cpTo) ||
                    (IsJapaneseCodePage(cpFrom) && IsJapaneseCodePage(cpTo));
    if (!accepted) return nullptr;
    ObjectHeader* o = CreateInstance(TextConverterDefinition());
    if (!o) return nullptr;
    AsConverter(o)->source = from;
    AsConverter(o)->destination = to;
    return o;
}

extern "C" StringValue* textConverterConvert(ObjectHeader* converter, StringValue* text) {
    if (!converter || !text) return nullptr;
    uint32_t from = AsConverter(converter)->source, to = AsConverter(converter)->destination;
    if (from != to) return Transcode(StringHandle::Borrow(text), from, to).Release();
    if (text->encoding == to) return StringRetain(text);
    return CopyTagged(text, to).Release();
}

extern "C" void textConverterClear(ObjectHeader*) {}

// ---- String entry points --------------------------------------------------------------------------

extern "C" ObjectHeader* StringGetEncoding(StringValue* s) {
    uint32_t e = StringEncoding(s);
    return e == kEncodingUnknown ? nullptr : SharedTextEncoding(e);
}

extern "C" StringValue* StringSetEncoding(StringValue* s, ObjectHeader* encoding) {
    if (!s) return nullptr;
    uint32_t tag = CodeOf(encoding);
    if (s->encoding == tag) return StringRetain(s);
    CriticalSectionLock lock(gStringLock);
    // The caller's reference is the only one: nobody else sees the tag change.
    // A change into or out of UTF-16 copies, for the record's other layout.
    bool layoutKept = (tag == kEncodingUTF16) == (s->encoding == kEncodingUTF16);
    if (s->refCount == 1 && layoutKept && !IsLaidOutAsLiteral(s)) {
        s->encoding = tag;
        return StringRetain(s);
    }
    return CopyTagged(s, tag).Release();
}

extern "C" StringValue* StringConvertEncoding(StringValue* s, ObjectHeader* encoding) {
    return ConvertString(s, CodeOf(encoding));
}
