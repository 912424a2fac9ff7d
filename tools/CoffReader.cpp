#include "CoffReader.h"

#include "ByteIo.h"

namespace orvtools {

namespace {

constexpr uint32_t kHeaderSize = 20;
constexpr uint32_t kSectionHeaderSize = 40;
constexpr uint32_t kSymbolSize = 18;
constexpr uint32_t kRelocationSize = 10;
// Larger sections are a damaged size field, not a module.
constexpr uint32_t kMaxSectionSize = 64u << 20;

struct Reader {
    const uint8_t* bytes;
    size_t size;
    std::string path;
    std::string* error;
    uint64_t stringTable = 0;
    uint32_t stringTableSize = 0;

    bool Fail(const std::string& what) {
        *error = path + ": " + what;
        return false;
    }

    // A NUL-terminated name inside the string table.
    bool TableString(uint32_t offset, std::string& out) {
        if (offset < 4 || offset >= stringTableSize)
            return Fail("string table offset " + Hex(offset) + " out of range");
        const uint8_t* p = bytes + stringTable + offset;
        const uint32_t room = stringTableSize - offset;
        uint32_t n = 0;
        while (n < room && p[n]) ++n;
        if (n == room) return Fail("unterminated name in the string table at " + Hex(offset));
        out.assign(reinterpret_cast<const char*>(p), n);
        return true;
    }

    static std::string ShortName(const uint8_t* p) {
        size_t n = 0;
        while (n < 8 && p[n]) ++n;
        return std::string(reinterpret_cast<const char*>(p), n);
    }
};

}  // namespace

uint32_t CoffSection::Alignment() const {
    const uint32_t code = (characteristics >> 20) & 0xF;
    if (code == 0 || code == 15) return 16;
    return 1u << (code - 1);
}

const CoffSection* CoffObject::Section(int16_t number) const {
    if (number < 1 || size_t(number) > sections.size()) return nullptr;
    return &sections[size_t(number) - 1];
}

bool ReadCoffObject(const uint8_t* bytes, size_t size, const std::string& path, CoffObject& out,
                    std::string& error) {
    Reader r{bytes, size, path, &error};
    out = CoffObject();
    out.path = path;
    if (!bytes || size < kHeaderSize) return r.Fail("too short for a COFF header");
    const uint16_t machine = Read16(bytes);
    const uint16_t sectionCount = Read16(bytes + 2);
    if (machine == 0 && sectionCount == 0xFFFF)
        return r.Fail("big-object and import-library members are not supported");
    if (machine != coff::kMachineI386) return r.Fail("not an i386 object (machine " + Hex(machine) + ")");
    const uint32_t symbolTable = Read32(bytes + 8);
    const uint32_t symbolCount = Read32(bytes + 12);
    const uint16_t optionalSize = Read16(bytes + 16);

    // Symbol and string tables first: section names may live in the latter.
    if (symbolCount > 0 || symbolTable > 0) {
        if (!InBounds(size, symbolTable, uint64_t(symbolCount) * kSymbolSize))
            return r.Fail("symbol table outside the file");
        r.stringTable = uint64_t(symbolTable) + uint64_t(symbolCount) * kSymbolSize;
        if (!InBounds(size, r.stringTable, 4)) return r.Fail("string table outside the file");
        r.stringTableSize = Read32(bytes + r.stringTable);
        if (r.stringTableSize < 4 || !InBounds(size, r.stringTable, r.stringTableSize))
            return r.Fail("string table size " + Hex(r.stringTableSize) + " out of range");
    }

    const uint64_t sectionTable = uint64_t(kHeaderSize) + optionalSize;
    if (!InBounds(size, sectionTable, uint64_t(sectionCount) * kSectionHeaderSize))
        return r.Fail("section table outside the file");

    out.sections.resize(sectionCount);
    for (uint32_t i = 0; i < sectionCount; ++i) {
        const uint8_t* h = bytes + sectionTable + uint64_t(i) * kSectionHeaderSize;
        CoffSection& s = out.sections[i];
        s.name = Reader::ShortName(h);
        if (!s.name.empty() && s.name[0] == '/') {
            uint32_t offset = 0;
            if (s.name.size() < 2) return r.Fail("bad long section name in section " + std::to_string(i + 1));
            for (size_t k = 1; k < s.name.size(); ++k) {
                const char c = s.name[k];
                if (c < '0' || c > '9')
                    return r.Fail("bad long section name in section " + std::to_string(i + 1));
                offset = offset * 10 + uint32_t(c - '0');  // at most 7 digits: no overflow
            }
            if (!r.TableString(offset, s.name)) return false;
        }
        const uint32_t rawSize = Read32(h + 16);
        const uint32_t rawOffset = Read32(h + 20);
        const uint32_t relocationOffset = Read32(h + 24);
        uint32_t relocationCount = Read16(h + 32);
        s.characteristics = Read32(h + 36);
        s.size = rawSize;
        if (rawSize > kMaxSectionSize)
            return r.Fail("section " + s.name + ": size " + Hex(rawSize) + " too large");
        s.uninitialized = (s.characteristics & coff::kCntUninitializedData) != 0 && rawOffset == 0;
        if (!s.uninitialized && rawSize > 0) {
            if (rawOffset == 0 || !InBounds(size, rawOffset, rawSize))
                return r.Fail("section " + s.name + ": raw data outside the file");
            s.data.assign(bytes + rawOffset, bytes + rawOffset + rawSize);
        }
        uint64_t relocations = relocationOffset;
        if ((s.characteristics & coff::kLnkNRelocOvfl) && relocationCount == 0xFFFF) {
            // The true count is in the first record, which counts itself.
            if (!InBounds(size, relocationOffset, kRelocationSize))
                return r.Fail("section " + s.name + ": relocations outside the file");
            relocationCount = Read32(bytes + relocationOffset);
            if (relocationCount == 0) return r.Fail("section " + s.name + ": bad relocation count");
            relocationCount -= 1;
            relocations += kRelocationSize;
        }
        if (relocationCount > 0 && s.uninitialized)
            return r.Fail("section " + s.name + ": relocations in a section without data");
        if (!InBounds(size, relocations, uint64_t(relocationCount) * kRelocationSize))
            return r.Fail("section " + s.name + ": relocations outside the file");
        s.relocations.resize(relocationCount);
        for (uint32_t k = 0; k < relocationCount; ++k) {
            const uint8_t* p = bytes + relocations + uint64_t(k) * kRelocationSize;
            s.relocations[k] = CoffRelocation{Read32(p), Read32(p + 4), Read16(p + 8)};
        }
    }

    out.symbols.resize(symbolCount);
    for (uint32_t i = 0; i < symbolCount; ++i) {
        const uint8_t* p = bytes + symbolTable + uint64_t(i) * kSymbolSize;
        CoffSymbol& sym = out.symbols[i];
        if (Read32(p) == 0) {
            if (!r.TableString(Read32(p + 4), sym.name)) return false;
        } else {
            sym.name = Reader::ShortName(p);
        }
        sym.value = Read32(p + 8);
        sym.section = int16_t(Read16(p + 12));
        sym.type = Read16(p + 14);
        sym.storageClass = p[16];
        sym.auxCount = p[17];
        if (uint64_t(i) + sym.auxCount >= symbolCount)
            return r.Fail("symbol " + sym.name + ": aux records run past the symbol table");
        if (sym.section < coff::kSectionDebug || (sym.section > 0 && size_t(sym.section) > sectionCount))
            return r.Fail("symbol " + sym.name + ": bad section number " + std::to_string(sym.section));
        const uint8_t* aux = p + kSymbolSize;
        if (sym.storageClass == coff::kClassStatic && sym.section > 0 && sym.auxCount > 0 && sym.value == 0 &&
            sym.name == out.sections[size_t(sym.section) - 1].name) {
            CoffSection& s = out.sections[size_t(sym.section) - 1];
            // The first definition counts; a repeated one is ignored.
            if (!(s.characteristics & coff::kLnkComdat) || s.comdatSelection == 0) {
                sym.sectionDefinition = true;
                if (s.characteristics & coff::kLnkComdat) {
                    s.comdatAssociate = Read16(aux + 12);
                    s.comdatSelection = aux[14];
                }
            }
        }
        if (sym.storageClass == coff::kClassWeakExternal && sym.auxCount > 0) sym.weakDefault = Read32(aux);
        for (uint32_t k = 1; k <= sym.auxCount; ++k) out.symbols[i + k].isAux = true;
        i += sym.auxCount;
    }

    for (const CoffSymbol& sym : out.symbols) {
        if (sym.isAux || sym.weakDefault < 0) continue;
        if (uint64_t(sym.weakDefault) >= symbolCount || out.symbols[size_t(sym.weakDefault)].isAux)
            return r.Fail("weak symbol " + sym.name + ": bad default symbol index");
    }

    for (size_t i = 0; i < out.sections.size(); ++i) {
        CoffSection& s = out.sections[i];
        for (const CoffRelocation& rel : s.relocations) {
            if (rel.symbol >= symbolCount || out.symbols[rel.symbol].isAux)
                return r.Fail("section " + s.name + ": relocation at " + Hex(rel.offset) +
                              " has a bad symbol index " + std::to_string(rel.symbol));
            const uint32_t width = rel.type == coff::kRelDir32 || rel.type == coff::kRelRel32 ? 4 : 0;
            if (!InBounds(s.size, rel.offset, width))
                return r.Fail("section " + s.name + ": relocation at " + Hex(rel.offset) +
                              " outside the section");
        }
        if (!(s.characteristics & coff::kLnkComdat)) continue;
        if (s.comdatSelection == 0)
            return r.Fail("COMDAT section " + s.name + " has no section symbol");
        if (s.comdatSelection == coff::kComdatAssociative) {
            if (s.comdatAssociate < 1 || s.comdatAssociate > sectionCount || s.comdatAssociate == i + 1)
                return r.Fail("COMDAT section " + s.name + ": bad associated section");
            continue;
        }
        // The COMDAT symbol: the first symbol after the section's own with its number.
        bool afterDefinition = false;
        for (size_t k = 0; k < out.symbols.size(); ++k) {
            const CoffSymbol& sym = out.symbols[k];
            if (sym.isAux || sym.section != int16_t(i + 1)) continue;
            if (sym.sectionDefinition) {
                afterDefinition = true;
                continue;
            }
            if (afterDefinition) {
                s.comdatSymbol = int64_t(k);
                break;
            }
        }
        if (s.comdatSymbol < 0) return r.Fail("COMDAT section " + s.name + " has no COMDAT symbol");
    }
    return true;
}

}  // namespace orvtools
