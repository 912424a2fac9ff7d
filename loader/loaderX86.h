// The application module: locating the image, reading its five blocks,
// linking the import records, options and resources, and running the entry.
#pragma once

#include <cstdint>

#include "strings/string.h"

// Where the code and data blocks live once loaded; compiled code holds
// absolute addresses into both.
struct ModuleImage {
    uint8_t* code = nullptr;
    uint32_t codeSize = 0;
    uint8_t* data = nullptr;
    uint32_t dataSize = 0;
};

uint8_t* CodeBase();
uint8_t* DataBase();

// Links the import block against image. On failure error holds the message.
bool LinkImports(const ModuleImage& image, const uint8_t* block, uint32_t length,
                 StringHandle& error);
void ParseOptions(const uint8_t* block, uint32_t length);
void ParseResources(const uint8_t* block, uint32_t length, uint32_t fileOffset);

// Finds the image, reads, links and runs the module. False when it could not
// be loaded (the reason has been shown).
bool LoadAndRunModule();
