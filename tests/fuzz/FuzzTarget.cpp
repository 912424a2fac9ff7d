#include "tests/fuzz/FuzzTarget.h"

#include <windows.h>

#include "startup/Win32Owners.h"

std::vector<FuzzTarget*>& FuzzTargets() {
    static std::vector<FuzzTarget*> targets;
    return targets;
}

FuzzTarget* FindFuzzTarget(const std::string& name) {
    for (FuzzTarget* t : FuzzTargets())
        if (name == t->Name()) return t;
    return nullptr;
}

bool ReadFileBytes(const std::string& path, FuzzBytes& out) {
    KernelHandle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsValid()) return false;
    const DWORD size = GetFileSize(file.Get(), nullptr);
    if (size == INVALID_FILE_SIZE) return false;
    out.resize(size);
    DWORD got = 0;
    return size == 0 || (ReadFile(file.Get(), out.data(), size, &got, nullptr) && got == size);
}
