#include "loader/relocentry.h"

#include <windows.h>

#include <climits>
#include <cstring>

#include "objects/StringMap.h"
#include "orvane/exports.h"
#include "startup/AssertionReport.h"
#include "strings/dump.h"
#include "strings/string.h"
#include "strings/utility.h"

namespace {
const ExportRow* gFixedRows = nullptr;
int32_t gFixedRowCount = 0;
constexpr int32_t kRowSize = int32_t(sizeof(ExportRow));

// Both live for the whole process: module code holds entries from them until
// the end, so they are never torn down by static destruction.
PointerArray& DynamicRows() {
    static PointerArray* rows = new PointerArray(0);
    return *rows;
}

StringMap* gNameMap = nullptr;

void EnterName(StringMap& map, const ExportRow* row) {
    // The first row of a name wins; later duplicates stay reachable by index only.
    if (map.FindText(row->name)) return;
    StringHandle key(row->name);
    map.Insert(key.Get(), const_cast<ExportRow*>(row));
}

// Built on first use from every row present at that time.
StringMap& NameMap() {
    if (!gNameMap) {
        gNameMap = new StringMap;
        for (int32_t i = 0; i < ExportRowCount(); ++i) EnterName(*gNameMap, ExportRowAt(i));
    }
    return *gNameMap;
}
}  // namespace

void ExportInstallFixedRows(const ExportRow* rows, int32_t count) {
    gFixedRows = rows;
    gFixedRowCount = rows && count > 0 ? count : 0;
    // A map built before holds none of them, or the old ones: build it afresh.
    delete gNameMap;
    gNameMap = nullptr;
}

int32_t ExportFixedRowCount() { return gFixedRowCount; }
int32_t ExportRowCount() { return gFixedRowCount + DynamicRows().Count(); }
int32_t ExportDynamicRowCapacity() { return DynamicRows().Capacity(); }

const ExportRow* ExportRowAt(int32_t index) {
    if (index < 0 || index >= ExportRowCount()) return nullptr;
    if (index < gFixedRowCount) return &gFixedRows[index];
    return static_cast<const ExportRow*>(DynamicRows().At(index - gFixedRowCount));
}

const ExportRow* ExportLookup(StringValue* name) {
    void* row = nullptr;
    return NameMap().Find(name, &row) ? static_cast<const ExportRow*>(row) : nullptr;
}

void ExportRegister(const char* name, void* entry) {
    if (!entry || !name || !*name) return;
    void* found = nullptr;
    if (NameMap().FindText(name, &found)) {
        const ExportRow* oldEntry = static_cast<const ExportRow*>(found);
        if (entry != oldEntry->entry)
            RUNTIME_FIXED_REPORT(kReportExportConflict);
        return;
    }
    ExportRow* newEntry = static_cast<ExportRow*>(PoolAlloc(kRowSize, true));
    if (!newEntry) {
        RUNTIME_ASSERT(newEntry);
        return;
    }
    *newEntry = ExportRow{name, entry, {0, 0}};
    DynamicRows().Append(newEntry);
    EnterName(NameMap(), newEntry);
}

void* ExportFindForLink(const char* name) {
    if (!name) return nullptr;
    for (int32_t i = 0; i < ExportRowCount(); ++i)
        if (lstrcmpiA(ExportRowAt(i)->name, name) == 0) return ExportRowAt(i)->entry;
    return nullptr;
}

extern "C" void** RuntimeAllocatePluginEntrypointsTable(int32_t count) {
    // A count whose byte size does not fit is refused like 0.
    if (count <= 0 || count > (INT32_MAX - 8) / int32_t(sizeof(void*))) return nullptr;
    int32_t bytes = count * int32_t(sizeof(void*));
    void** table = static_cast<void**>(RuntimeMemAlloc(bytes));
    std::memset(table, 0, bytes);
    return table;
}
