// The global function table: functions module code calls without a receiver
// (MsgBox, Quit, ...), in the row format of methods.
#pragma once

#include <cstdint>

struct MethodRow;

const MethodRow* GlobalFunctionRows();
int32_t GlobalFunctionRowCount();
// Enters every named function of the table into the export table.
void RegisterGlobalFunctionTable();
