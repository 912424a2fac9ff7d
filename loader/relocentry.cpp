#include "loader/relocentry.h"

#include <windows.h>

#include "orvane/exports.h"

namespace {
const ExportRow kFixedRows[] = {
#define ORVANE_EXPORT(name, result, params) {#name, reinterpret_cast<void*>(&name), {0, 0}},
#include "orvane/exports.inc"
#undef ORVANE_EXPORT
};
constexpr int32_t kFixedRowCount = int32_t(sizeof kFixedRows / sizeof kFixedRows[0]);
}  // namespace

int32_t ExportFixedRowCount() { return kFixedRowCount; }
int32_t ExportRowCount() { return kFixedRowCount; }
const ExportRow* ExportRowAt(int32_t index) { return &kFixedRows[index]; }
const ExportRow* ExportLookup(StringValue*) { return nullptr; }
void ExportRegister(const char*, void*) {}

void* ExportFindForLink(const char* name) {
    for (int32_t i = 0; i < ExportRowCount(); ++i)
        if (lstrcmpiA(ExportRowAt(i)->name, name) == 0) return ExportRowAt(i)->entry;
    return nullptr;
}

extern "C" void** RuntimeAllocatePluginEntrypointsTable(int32_t count) { return nullptr; }
