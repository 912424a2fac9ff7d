// Controls: the packed property assignment through which compiled code sets
// up the controls of its windows.
#include <cstring>

#include "objects/ObjectDefinition.h"
#include "objects/globalFunctionsDecl.h"
#include "orvane/exports.h"
#include "startup/AssertionReport.h"
#include "strings/string.h"

namespace {

using BoolSetter = void(__cdecl*)(ObjectHeader*, int32_t, int32_t);
using IntSetter = void(__cdecl*)(ObjectHeader*, int32_t, int32_t);
using SingleSetter = void(__cdecl*)(ObjectHeader*, int32_t, float);
using DoubleSetter = void(__cdecl*)(ObjectHeader*, int32_t, double);
using StringSetter = void(__cdecl*)(ObjectHeader*, int32_t, StringValue*);

// Reads the packed records; every read is checked against the end, so data
// cut inside a record stops with a report instead of reading past it.
class PackedReader {
public:
    PackedReader(const uint8_t* bytes, int32_t n) : at_(bytes), end_(bytes + n) {}
    bool AtEnd() const { return at_ >= end_; }
    bool Has(uint32_t n) const { return uint32_t(end_ - at_) >= n; }
    uint32_t Big(int n) {
        uint32_t v = 0;
        for (int i = 0; i < n; ++i) v = (v << 8) | *at_++;
        return v;
    }
    const uint8_t* Take(uint32_t n) {
        const uint8_t* p = at_;
        at_ += n;
        return p;
    }

private:
    const uint8_t* at_;
    const uint8_t* end_;
};

// The first letter of the type code: the second %-separated field.
char TypeCodeOf(const PropertyEntry& p) {
    const char* text = StringText(p.declaration);
    const char* percent = std::strchr(text, '%');
    return percent ? percent[1] : '\0';
}

// Bytes of the value behind the index, by type code; 0 for a code outside the table.
int32_t FixedValueSize(char code) {
    switch (code) {
        case 'b': return 1;
        case 'c': return 3;
        case 'i':
        case 'f': return 4;
        case 'd': return 8;
        case 's': return 4;  // the length; the bytes follow
        default: return 0;
    }
}

void ReportTruncated() {
    RUNTIME_FIXED_REPORT(kReportMassPropertyCutShort);
}

}  // namespace

extern "C" void RuntimeMassPropertySetter(ObjectHeader* object, StringValue* data) {
    if (!object || !data || !object->classPtr) return;
    ClassRecord* cls = object->classPtr;
    PackedReader in(reinterpret_cast<const uint8_t*>(StringText(data)), StringLength(data));
    while (!in.AtEnd()) {
        if (!in.Has(2)) return ReportTruncated();
        uint32_t destIndex = in.Big(2);
        if (destIndex >= uint32_t(cls->propertyCount)) {
            // The record's size is unknown without its property: nothing after it can be read.
            RUNTIME_FIXED_REPORT(kReportMassPropertyIndex);
            return;
        }
        const PropertyEntry& destProperty = cls->properties[destIndex];
        char code = TypeCodeOf(destProperty);
        int32_t size = FixedValueSize(code);
        if (size == 0) {
            RUNTIME_FIXED_REPORT(kReportMassPropertyType);
            return;
        }
        if (!in.Has(uint32_t(size))) return ReportTruncated();
        void* setter = destProperty.setter;
        if (setter == reinterpret_cast<void*>(kGenericAccessor)) setter = GenericSetterFor(code);
        if (!setter) RUNTIME_FIXED_REPORT(kReportMassPropertyReadOnly);
        int32_t parameter = destProperty.parameter;
        switch (code) {
            case 'b': {
                int32_t value = in.Big(1) != 0;
                if (setter) reinterpret_cast<BoolSetter>(setter)(object, parameter, value);
                break;
            }
            case 'c': {
                int32_t value = int32_t(in.Big(3));
                if (setter) reinterpret_cast<IntSetter>(setter)(object, parameter, value);
                break;
            }
            case 'i': {
                int32_t value = int32_t(in.Big(4));
                if (setter) reinterpret_cast<IntSetter>(setter)(object, parameter, value);
                break;
            }
            case 'f': {
                uint32_t bits = in.Big(4);
                float value;
                std::memcpy(&value, &bits, 4);
                if (setter) reinterpret_cast<SingleSetter>(setter)(object, parameter, value);
                break;
            }
            case 'd': {
                uint64_t bits = uint64_t(in.Big(4)) << 32;
                bits |= in.Big(4);
                double value;
                std::memcpy(&value, &bits, 8);
                if (setter) reinterpret_cast<DoubleSetter>(setter)(object, parameter, value);
                break;
            }
            case 's': {
                uint32_t n = in.Big(4);
                if (!in.Has(n)) return ReportTruncated();
                const uint8_t* bytes = in.Take(n);
                StringHandle value = StringHandle::Adopt(StringMake(bytes, int32_t(n)));
                if (!value.IsEmpty()) value.Get()->encoding = kEncodingUTF8;
                if (setter) reinterpret_cast<StringSetter>(setter)(object, parameter, value.Get());
                break;
            }
        }
    }
}
