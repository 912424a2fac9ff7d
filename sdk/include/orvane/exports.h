// Declarations of every runtime entry point, made from exports.inc.
#pragma once

#include "orvane/abi.h"

#ifdef __cplusplus
extern "C" {
#endif

#define ORVANE_EXPORT(name, result, params) result __cdecl name params;
#include "orvane/exports.inc"
#undef ORVANE_EXPORT

#ifdef __cplusplus
}
#endif
