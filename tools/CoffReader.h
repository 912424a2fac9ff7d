// Reader of i386 COFF object files as the cross compiler writes them. Every
// offset, count and index in the file is checked before use: a damaged object
// gives an error, never a read outside the buffer.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace orvtools {

namespace coff {
constexpr uint16_t kMachineI386 = 0x14C;

constexpr uint32_t kCntCode = 0x20;
constexpr uint32_t kCntInitializedData = 0x40;
constexpr uint32_t kCntUninitializedData = 0x80;
constexpr uint32_t kLnkInfo = 0x200;
constexpr uint32_t kLnkRemove = 0x800;
constexpr uint32_t kLnkComdat = 0x1000;
constexpr uint32_t kLnkNRelocOvfl = 0x01000000;

constexpr uint16_t kRelAbsolute = 0x00;
constexpr uint16_t kRelDir32 = 0x06;
constexpr uint16_t kRelRel32 = 0x14;

constexpr uint8_t kClassExternal = 2;
constexpr uint8_t kClassStatic = 3;
constexpr uint8_t kClassWeakExternal = 105;

constexpr int16_t kSectionUndefined = 0;
constexpr int16_t kSectionAbsolute = -1;
constexpr int16_t kSectionDebug = -2;

constexpr uint8_t kComdatNoDuplicates = 1;
constexpr uint8_t kComdatAssociative = 5;
}  // namespace coff

struct CoffRelocation {
    uint32_t offset = 0;  // in the section
    uint32_t symbol = 0;  // index into the symbol table, checked to be a primary record
    uint16_t type = 0;
};

struct CoffSection {
    std::string name;
    uint32_t characteristics = 0;
    uint32_t size = 0;
    bool uninitialized = false;  // no raw data: size zero bytes
    std::vector<uint8_t> data;   // size bytes, empty when uninitialized
    std::vector<CoffRelocation> relocations;
    // COMDAT: selection from the section symbol's aux record, the associated
    // section (1-based) for associative ones, the index of the COMDAT symbol.
    uint8_t comdatSelection = 0;
    uint16_t comdatAssociate = 0;
    int64_t comdatSymbol = -1;

    // The alignment the characteristics ask for; 16 when they give none.
    uint32_t Alignment() const;
};

struct CoffSymbol {
    std::string name;
    uint32_t value = 0;
    int16_t section = 0;  // 1-based; 0 undefined, -1 absolute, -2 debug
    uint16_t type = 0;
    uint8_t storageClass = 0;
    uint8_t auxCount = 0;
    bool isAux = false;           // an aux record of the symbol before it
    bool sectionDefinition = false;  // a section's own symbol (static, with a section aux)
    int64_t weakDefault = -1;     // weak external: index of the default symbol
};

struct CoffObject {
    std::string path;  // for messages
    std::vector<CoffSection> sections;
    std::vector<CoffSymbol> symbols;  // one entry per table record, aux records included

    // The section that symbol section number (1-based) names, or null.
    const CoffSection* Section(int16_t number) const;
};

// Parses an object. On failure error names the file and what is wrong.
bool ReadCoffObject(const uint8_t* bytes, size_t size, const std::string& path, CoffObject& out,
                    std::string& error);

}  // namespace orvtools
