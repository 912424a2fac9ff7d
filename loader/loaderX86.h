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
// Nothing outside the code and data blocks is ever written; a damaged record
// fails the link before any of its sites is touched. A name the runtime does
// not export is reported (line 206, "foundFunction") and fails the link.
bool LinkImports(const ModuleImage& image, const uint8_t* block, uint32_t length,
                 StringHandle& error);
void ParseOptions(const uint8_t* block, uint32_t length);
void ParseResources(const uint8_t* block, uint32_t length, uint32_t fileOffset);

// Finds the image, reads, links and runs the module. False when it could not
// be loaded (the reason has been shown).
bool LoadAndRunModule();

// ---- The steps of LoadAndRunModule, for tests ----------------------------------

// The five blocks as read. The code block is executable memory.
struct ModuleBlocks {
    uint8_t* code = nullptr;
    uint32_t codeSize = 0;
    uint8_t* data = nullptr;
    uint32_t dataSize = 0;
    uint8_t* imports = nullptr;
    uint32_t importSize = 0;
    uint8_t* resources = nullptr;
    uint32_t resourceSize = 0;
    uint32_t resourceFileOffset = 0;  // 0 in development mode
    uint8_t* options = nullptr;
    uint32_t optionSize = 0;
};

// The PICKLE locator: false (development mode) when it is too short or starts
// with "PICK" or holds offset 0; otherwise the image offset and, when
// present, the media word.
bool ParseLocator(const uint8_t* data, uint32_t size, uint32_t& imageOffset,
                  uint32_t& mediaOffset);
// Reads the image at imageOffset of an open file (a Win32 HANDLE). Every count
// is checked against what the file still holds before anything is allocated.
bool ReadImageBlocks(void* file, uint32_t imageOffset, ModuleBlocks& blocks,
                     StringHandle& error);
// Reads the image appended to the executable open as file: the image must lie
// behind the executable's own headers, sections and symbols, then as
// ReadImageBlocks.
bool ReadAppendedImage(void* file, uint32_t imageOffset, ModuleBlocks& blocks,
                       StringHandle& error);
// Reads import.dat, code.dat, data.dat, rsrc.dat and options.dat from the
// current directory.
bool ReadDevelopmentBlocks(ModuleBlocks& blocks, StringHandle& error);
// Gives back the buffers of blocks that were not run.
void FreeModuleBlocks(ModuleBlocks& blocks);
// Sets the bases, parses the options, links (showing the message on failure),
// parses the resources, calls the entry and empties the shutdown list.
bool RunModuleBlocks(const ModuleBlocks& blocks);

// The media area word of the locator; 0 in development mode.
uint32_t MediaAreaOffset();

// The libraries loaded for type-4 records (never freed).
int32_t LoadedLibraryCount();
// Forgets the loaded-library list and the bases (tests).
void ResetLoaderState();
