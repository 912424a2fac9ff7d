// The accelerator list: shortcut texts ("Ctrl+O", "Alt+S") bound to the
// things they act on, newest first. Menu items register their command keys
// here and controls their mnemonics; the keyboard dispatcher asks the list
// before any KeyDown is raised.
#pragma once

#include <cstdint>
#include <string>

// What an entry's target is; each kind's layer says how it acts.
enum AcceleratorKind : int32_t {
    kMenuAccelerator = 0,        // target: (parent menu handle & 0xFFFF) << 16 | command id
    kMnemonicAccelerator = 1,    // a button-like control: focus it and click it
    kClickAccelerator = 2,       // a control given a simulated click at (0, 0)
    kTabPageAccelerator = 3,     // a tab-panel page: select it
    kStaticTextAccelerator = 4,  // a static text: its AcceleratorKey event
    kAcceleratorKindCount
};

// Adds an entry in front, first removing any entry with the same target and kind.
void RegisterAccelerator(uint32_t target, AcceleratorKind kind, const std::string& keyText);
// Removes the entry of that target and kind, if any.
void RemoveAccelerator(uint32_t target, AcceleratorKind kind);
void ClearAccelerators();
int AcceleratorCount();

// How the entries of one kind act: true when the target could act, which
// ends the search and consumes the key.
using AcceleratorAction = bool (*)(uint32_t target);
void SetAcceleratorAction(AcceleratorKind kind, AcceleratorAction action);

// Tries the entries whose text equals the key name, in list order; true when
// one acted. Entries may be added or removed by the action itself.
bool RunAccelerator(const std::string& keyName);
