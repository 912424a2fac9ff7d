// The module builder: combines i386 COFF objects into the blocks of a module
// image. Rules:
//
// - Byte 0 of the code block is the entry routine, the C function
//   OrvaneModuleEntry (symbol _OrvaneModuleEntry): its section is placed
//   first, and when the routine does not start that section the builder puts
//   a 5-byte jmp to it at byte 0.
// - Code block: every .text* section (and any section flagged as code), in
//   input order after the entry's section.
// - Data block: .data*, then .rdata*, then the literals, then .bss and common
//   symbols, zero-filled. .rdata$zzz, .drectve and .debug* are dropped.
//   COMDAT copies are kept once.
// - Literals: the section ORVANE_LITERAL_SECTION of orvane/literal.h holds
//   complete string value records; each is checked and equal records of all
//   objects are folded into one.
// - Import records: REL32 to a runtime entry point -> type 1 mode 1 chain;
//   DIR32 to one -> type 1 mode 0 chain; DIR32 to code -> type 3; to data ->
//   type 2; to the start of a literal -> type 5 (into a literal: type 2).
//   REL32 within the code block is resolved here.
// - An entry-point name is the symbol without its leading underscore and must
//   be one of the exports list (exactly). Its sites must hold 0: COFF REL32
//   already counts from the end of the site, so a plain call stores no addend.
// Everything else is an error naming the symbol and the section: relocations
// in data sections, addends on entry points, other relocation types, names the
// runtime does not export (compiler helpers too), malformed literals.
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "ModuleImage.h"

namespace orvtools {

constexpr const char* kDefaultEntry = "OrvaneModuleEntry";
constexpr const char* kLiteralSection = ".orvlit";

struct ObjectInput {
    std::string path;  // for messages
    std::vector<uint8_t> bytes;
};

struct BuildOptions {
    std::set<std::string> exports;       // runtime entry points, C names without the underscore
    std::string entry = kDefaultEntry;   // C name of the entry routine
};

struct MapEntry {
    char block = 'c';  // 'c' code, 'd' data
    uint32_t offset = 0;
    std::string symbol;
};

struct BuildResult {
    ModuleBlocks blocks;
    std::vector<MapEntry> map;  // where the named symbols went, sorted by block and offset
};

bool BuildModule(const std::vector<ObjectInput>& objects, const BuildOptions& options, BuildResult& out,
                 std::string& error);

// The map as text: one "code|data 0x00000000 symbol" line per entry.
std::string FormatMap(const std::vector<MapEntry>& map);

}  // namespace orvtools
