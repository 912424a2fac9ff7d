// The Control and RectControl classes: what every control of a window has
// in common (pane creation, position, locks, visibility and enabling with
// their propagation to contained controls, closing a single control).
#pragma once

#include <cstdint>

#include "objects/ObjectDefinition.h"
#include "orvane/abi.h"
#include "ui/WindowObject.h"

struct ObjectDefinition;
struct ControlObject;

ObjectDefinition* ControlDefinition();
ObjectDefinition* RectControlDefinition();

enum ControlEvent : int32_t { kControlCreatePane, kControlOpen, kControlClose };
enum RectControlEvent : int32_t { kRectControlMouseMove, kRectControlMouseEnter, kRectControlMouseExit };
const EventRow* ControlEventRow(ControlEvent event);
const EventRow* RectControlEventRow(RectControlEvent event);

bool IsControl(ObjectHeader* object);
// Creating a control's pane: the class's CreatePane, then the control's
// states, cursor and delegate.
void CreateControlPane(ObjectHeader* control);
// The rect of a control after the window grew by (dW, dH).
Rect16 LockedRect(const ControlObject& control, int32_t dW, int32_t dH);
// The menu handlers the control registered (_AddMenuHandler), or nil.
ObjectHeader* ControlMenuHandler(ObjectHeader* control, StringValue* name);
// The common finalizer part: the control's strings, cursor and handlers.
void __cdecl FinalizeControl(ObjectHeader* control);
