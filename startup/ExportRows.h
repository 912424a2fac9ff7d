// The fixed rows of the export table: one for each entry point of
// orvane/exports.inc, in its order. They name every entry point of the
// runtime, so they sit at the top with start-up, which hands them to the
// export table (loader/relocentry.h) before anything is looked up.
#pragma once

#include <cstdint>

#include "loader/relocentry.h"

const ExportRow* ExportFixedRows();
int32_t ExportFixedRowsCount();
