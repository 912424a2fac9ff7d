// The module image: five blocks (code, data, import, resource, options), as
// an image file (each block a u32 little-endian byte count, then its bytes)
// or as the five development-mode files.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace orvtools {

struct ModuleBlocks {
    std::vector<uint8_t> code;
    std::vector<uint8_t> data;
    std::vector<uint8_t> imports;
    std::vector<uint8_t> resources;
    std::vector<uint8_t> options;
};

// Import record types.
enum ImportType : uint8_t {
    kImportEntryPoint = 1,  // runtime entry point by name: a chain of sites
    kImportData = 2,        // add the data base at the site
    kImportCode = 3,        // add the code base at the site
    kImportLibrary = 4,     // routine of an external library (never written by the builder)
    kImportLiteral = 5,     // string literal: add the data base, fix its text pointer
};

// Entry-point chain modes.
constexpr uint8_t kModeAbsolute = 0;  // the site receives the address
constexpr uint8_t kModeCall = 1;      // the site receives a rel32 displacement

struct ImportRecord {
    uint8_t type = 0;
    uint8_t mode = 0;       // type 1
    uint32_t site = 0;      // the site, or the first site of a chain
    std::string name;       // types 1 and 4
    std::string library;    // type 4
};

std::vector<uint8_t> EncodeImage(const ModuleBlocks& blocks);

// Reads an image from bytes[0, size); consumed receives its length. Fails on
// a count that runs past the end.
bool DecodeImage(const uint8_t* bytes, size_t size, ModuleBlocks& blocks, size_t& consumed,
                 std::string& error);

// Writes import.dat, code.dat, data.dat, rsrc.dat and options.dat into dir.
bool WriteDevelopmentFiles(const std::string& dir, const ModuleBlocks& blocks, std::string& error);

void AppendImportRecord(std::vector<uint8_t>& block, const ImportRecord& record);

// Splits an import block into records; fails on a record cut short or an
// unknown type (the builder writes none).
bool DecodeImports(const std::vector<uint8_t>& block, std::vector<ImportRecord>& records,
                   std::string& error);

// The sites of a chain starting at first, walked through the code block.
// Fails on a link outside the code or a loop.
bool WalkChain(const std::vector<uint8_t>& code, uint32_t first, std::vector<uint32_t>& sites,
               std::string& error);

}  // namespace orvtools
