#include "loader/ResourceManager.h"

#include "strings/dump.h"

WindowsResourceManager& WindowsResourceManager::Instance() {
    static WindowsResourceManager manager;
    return manager;
}

void WindowsResourceManager::Register(uint32_t type, uint16_t id, const uint8_t* data,
                                      uint32_t length, uint32_t fileOffset) {
    ModuleResource* entry = static_cast<ModuleResource*>(RuntimeMemAlloc(sizeof(ModuleResource)));
    *entry = ModuleResource{type, id, data, length, fileOffset};
    entries_.Append(entry);
}

void WindowsResourceManager::Reset() {
    for (int32_t i = 0; i < entries_.Count(); ++i) RuntimeMemFree(entries_.At(i));
    entries_.Clear();
}
