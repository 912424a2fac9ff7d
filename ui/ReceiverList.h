// Notification-receiver lists of controls: the objects a control tells of
// its actions (PerformAction) or value changes (dataChanged), newest first.
#pragma once

#include "orvane/abi.h"

struct ReceiverNode {
    ReceiverNode* next;
    ObjectHeader* receiver;  // one reference
};

// Adds the receiver at the front, locked.
void ReceiverListAdd(ReceiverNode** list, ObjectHeader* receiver);
// Unlinks the first entry for the receiver and unlocks it; nothing when absent.
void ReceiverListRemove(ReceiverNode** list, ObjectHeader* receiver);
void ReceiverListClear(ReceiverNode** list);
// Calls each receiver's implementation of the interface's method, newest
// first; receivers whose class does not implement it are passed over.
void NotifyActionReceivers(ReceiverNode* list);
void NotifyDataReceivers(ReceiverNode* list);
