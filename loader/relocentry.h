// The runtime's table of named entry points: the fixed rows made from the
// export list (handed in by start-up, which knows every entry point), rows
// registered while the intrinsic classes are built, and the name map over both.
// It uses no more than the string map, so class building below start-up may
// register names here.
#pragma once

#include <cstdint>

#include "orvane/abi.h"

struct ExportRow {
    const char* name;  // NUL-terminated 8-bit text that lives as long as the process
    void* entry;
    uint32_t reserved[2];  // 0
};
static_assert(sizeof(ExportRow) == 16, "export row");

// Installs the fixed rows (start-up does, first of all); the rows must live as
// long as the process. Installing them again replaces them.
void ExportInstallFixedRows(const ExportRow* rows, int32_t count);

// Fixed rows first, then the registered ones.
int32_t ExportRowCount();
int32_t ExportFixedRowCount();
// Room in the array of registered rows; when full it grows by the larger of
// 16 and its current capacity.
int32_t ExportDynamicRowCapacity();
// Called only with 0 <= index < ExportRowCount(); nil otherwise.
const ExportRow* ExportRowAt(int32_t index);
// Through the name map (case-insensitive); nil when absent.
const ExportRow* ExportLookup(StringValue* name);
// Link-time lookup: linear scan in index order, lstrcmpiA, first match wins.
void* ExportFindForLink(const char* name);
// Adds a row; a nil entry is ignored, the same name and entry again does
// nothing, the same name with another entry is an assertion report. The name
// text is not copied.
void ExportRegister(const char* name, void* entry);
