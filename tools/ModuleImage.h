// The module image: five blocks (code, data, import, resource, options), as
// an image file (each block a u32 little-endian byte count, then its bytes)
// or as the five development-mode files.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "orvane/image.h"

namespace orvtools {

struct ModuleBlocks {
    std::vector<uint8_t> code;
    std::vector<uint8_t> data;
    std::vector<uint8_t> imports;
    std::vector<uint8_t> resources;
    std::vector<uint8_t> options;
};

struct ImportRecord {
    uint8_t type = 0;       // an OrvaneImportType
    uint8_t mode = 0;       // kImportEntryPoint: an OrvaneImportMode
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
