#include "startup/ExportRows.h"

#include "orvane/exports.h"

namespace {
const ExportRow kFixedRows[] = {
#define ORVANE_EXPORT(name, result, params) {#name, reinterpret_cast<void*>(&name), {0, 0}},
#include "orvane/exports.inc"
#undef ORVANE_EXPORT
};
}  // namespace

const ExportRow* ExportFixedRows() { return kFixedRows; }
int32_t ExportFixedRowsCount() { return int32_t(sizeof kFixedRows / sizeof kFixedRows[0]); }
