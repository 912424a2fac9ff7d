// The interface classes of the runtime: controls in windows, menu bar
// installers and the binding interfaces of controls.
#pragma once

struct ObjectDefinition;

ObjectDefinition* PaneChildDefinition();
ObjectDefinition* MenuBarInstallerDefinition();
ObjectDefinition* StringProviderDefinition();
ObjectDefinition* StringInterfaceDefinition();
ObjectDefinition* BooleanProviderDefinition();
ObjectDefinition* ActionSourceDefinition();
ObjectDefinition* ActionNotificationReceiverDefinition();
ObjectDefinition* DataNotifierDefinition();
ObjectDefinition* DataNotificationReceiverDefinition();
ObjectDefinition* BindingInterfaceDefinition();
ObjectDefinition* BindingPartInterfaceDefinition();

// Classes without fields of their own: collection elements, menu handlers
// and the keyboard.
ObjectDefinition* CollectionElementDefinition();
ObjectDefinition* MenuHandlerDefinition();
ObjectDefinition* KeyboardDefinition();
