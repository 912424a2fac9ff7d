// Raising a control's events through the rows of its class: with its pane
// and window locked, nothing when the class has no handler (false for a
// Boolean result), nothing once the pane is closing.
#pragma once

#include <cstdint>

#include "objects/ObjectDefinition.h"
#include "orvane/abi.h"

void RaiseControlEvent(ObjectHeader* control, const EventRow* row);
bool RaiseControlBooleanEvent(ObjectHeader* control, const EventRow* row);
void RaiseControlPointEvent(ObjectHeader* control, const EventRow* row, int32_t x, int32_t y);
bool RaiseControlPointBooleanEvent(ObjectHeader* control, const EventRow* row, int32_t x, int32_t y);
// KeyDown (Key As String) with a one-character string.
bool RaiseControlKeyEvent(ObjectHeader* control, const EventRow* row, uint8_t key);
bool ControlHandles(ObjectHeader* control, const EventRow* row);
