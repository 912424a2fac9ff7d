#include "ui/ReceiverList.h"

#include <new>
#include <vector>

#include "objects/ObjectDefinition.h"
#include "objects/ObjectHandle.h"
#include "objects/intrinsicInterfaces.h"
#include "orvane/exports.h"
#include "strings/utility.h"

namespace {

using Notification = void(__cdecl*)(ObjectHeader* receiver);

// A handler may add or remove receivers: the list is taken first.
void Notify(ReceiverNode* list, ObjectDefinition* definition) {
    ClassRecord* interfaceClass = ClassOfDefinition(definition);
    std::vector<ObjectHandle> receivers;
    for (ReceiverNode* n = list; n; n = n->next) receivers.push_back(ObjectHandle::Borrow(n->receiver));
    for (const ObjectHandle& r : receivers) {
        if (!RuntimeObjectIsa(r.Get(), interfaceClass)) continue;
        MethodEntry* table = RuntimeLookupInterfaceVtable(r.Get(), interfaceClass);
        if (table && table[1].function) reinterpret_cast<Notification>(table[1].function)(r.Get());
    }
}

}  // namespace

void ReceiverListAdd(ReceiverNode** list, ObjectHeader* receiver) {
    if (!receiver) return;
    auto* node = static_cast<ReceiverNode*>(PoolAlloc(sizeof(ReceiverNode), false));
    RuntimeLockObject(receiver);
    node->receiver = receiver;
    node->next = *list;
    *list = node;
}

void ReceiverListRemove(ReceiverNode** list, ObjectHeader* receiver) {
    for (ReceiverNode** at = list; *at; at = &(*at)->next) {
        if ((*at)->receiver != receiver) continue;
        ReceiverNode* node = *at;
        *at = node->next;
        RuntimeUnlockObject(node->receiver);
        PoolFree(node, sizeof(ReceiverNode));
        return;
    }
}

void ReceiverListClear(ReceiverNode** list) {
    while (*list) ReceiverListRemove(list, (*list)->receiver);
}

void NotifyActionReceivers(ReceiverNode* list) { Notify(list, ActionNotificationReceiverDefinition()); }
void NotifyDataReceivers(ReceiverNode* list) { Notify(list, DataNotificationReceiverDefinition()); }
