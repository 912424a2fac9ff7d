#include "startup/PluginInstaller.h"

#include <windows.h>
#include <shlobj.h>

#include <cstring>
#include <new>
#include <utility>

#include "loader/ResourceManager.h"
#include "startup/ShutdownList.h"
#include "startup/Win32Owners.h"

namespace {

constexpr uint32_t kPluginResourceType = FourCharCode("TWPl");
constexpr DWORD kMutexWaitMs = 4000;
constexpr int kMaxPlugins = 64;

// At exit frees every loaded plug-in library and deletes its file.
class PluginRemover final : public RuntimeService {
public:
    void Add(ModuleHandle library, const char* path) {
        if (count_ == kMaxPlugins) return;
        libraries_[count_] = std::move(library);
        lstrcpynA(paths_[count_], path, MAX_PATH);
        ++count_;
    }
    ~PluginRemover() override {
        for (int i = 0; i < count_; ++i) {
            libraries_[i].Reset();
            DeleteFileA(paths_[i]);
        }
    }

private:
    ModuleHandle libraries_[kMaxPlugins];
    char paths_[kMaxPlugins][MAX_PATH] = {};
    int count_ = 0;
};

PluginRemover* gRemover = nullptr;
int gInstalled = 0;  // resources already handled by an earlier pass

// The user's application data folder, else the current folder, else the root
// of the system volume; with a trailing backslash.
bool PluginFolder(char* folder) {
    if (SHGetSpecialFolderPathA(nullptr, folder, CSIDL_APPDATA, FALSE) && folder[0]) {
    } else if (GetCurrentDirectoryA(MAX_PATH, folder) && folder[0]) {
    } else if (GetWindowsDirectoryA(folder, MAX_PATH) >= 3) {
        folder[3] = 0;
    } else {
        return false;
    }
    size_t n = std::strlen(folder);
    if (n + 1 >= MAX_PATH) return false;
    if (folder[n - 1] != '\\') lstrcatA(folder, "\\");
    return true;
}

bool WriteWholeFile(const char* path, const uint8_t* bytes, DWORD size) {
    KernelHandle file(CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsValid()) return false;
    DWORD written = 0;
    return WriteFile(file.Get(), bytes, size, &written, nullptr) && written == size;
}

// Ends the process: no destructor runs, so the mutex is given back here.
[[noreturn]] void CannotInstall(KernelHandle& mutex) {
    MessageBoxA(nullptr,
                "The application cannot continue because a needed file cannot be installed. "
                "You don't have appropriate permission to install the file.",
                nullptr, MB_OK | MB_ICONERROR);
    ReleaseMutex(mutex.Get());
    mutex.Reset();
    ExitProcess(0);
}

}  // namespace

void InstallPlugins() {
    WindowsResourceManager& resources = WindowsResourceManager::Instance();
    int pending = 0;
    for (int32_t i = gInstalled; i < resources.Count(); ++i)
        if (resources.At(i).type == kPluginResourceType) ++pending;
    if (pending == 0) return;

    KernelHandle mutex(CreateMutexA(nullptr, TRUE, "TARNWICK MUTEX"));
    if (mutex.IsValid() && GetLastError() == ERROR_ALREADY_EXISTS) WaitForSingleObject(mutex.Get(), kMutexWaitMs);

    char folder[MAX_PATH];
    if (!PluginFolder(folder)) CannotInstall(mutex);
    if (!gRemover) {
        gRemover = new (std::nothrow) PluginRemover();
        ShutdownListAdd(gRemover);
    }
    for (; gInstalled < resources.Count(); ++gInstalled) {
        const ModuleResource& r = resources.At(gInstalled);
        if (r.type != kPluginResourceType || r.length == 0) continue;
        uint32_t nameLength = r.data[0];
        if (1 + nameLength > r.length) continue;  // damaged record: nothing to install
        char path[MAX_PATH];
        if (std::strlen(folder) + nameLength >= MAX_PATH) CannotInstall(mutex);
        lstrcpyA(path, folder);
        size_t n = std::strlen(path);
        std::memcpy(path + n, r.data + 1, nameLength);
        path[n + nameLength] = 0;
        if (!WriteWholeFile(path, r.data + 1 + nameLength, r.length - 1 - nameLength))
            CannotInstall(mutex);
        ModuleHandle library(LoadLibraryA(path));
        if (gRemover) gRemover->Add(std::move(library), path);
    }
    ReleaseMutex(mutex.Get());
}
