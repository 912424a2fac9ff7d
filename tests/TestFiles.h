// Folders and paths of test files.
#pragma once

#include <windows.h>

#include <string>

#include "startup/Win32Owners.h"

// Deletes the files of a folder (not its subfolders) and the folder.
inline void RemoveFolder(const std::wstring& folder) {
    WIN32_FIND_DATAW found;
    {
        FindHandle find(FindFirstFileW((folder + L"\\*").c_str(), &found));
        if (find.IsValid()) {
            do {
                std::wstring name = found.cFileName;
                if (name != L"." && name != L"..") DeleteFileW((folder + L"\\" + name).c_str());
            } while (FindNextFileW(find.Get(), &found));
        }
    }
    RemoveDirectoryW(folder.c_str());
}

// A new folder in the temporary folder, named for the test program, the
// process and a counter: orvane_<name>_<process>_<n>. No trailing backslash.
inline std::wstring FreshTempFolder(const std::wstring& name) {
    static int counter = 0;
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    std::wstring folder = std::wstring(temp) + L"orvane_" + name + L"_" + std::to_wstring(GetCurrentProcessId()) +
                          L"_" + std::to_wstring(++counter);
    CreateDirectoryW(folder.c_str(), nullptr);
    return folder;
}

// A fresh temporary folder, removed with its files when done.
class TempFolder {
public:
    explicit TempFolder(const std::wstring& name) : path_(FreshTempFolder(name)) {}
    ~TempFolder() { RemoveFolder(path_); }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::wstring& Path() const { return path_; }
    std::wstring File(const std::wstring& name) const { return path_ + L"\\" + name; }

private:
    std::wstring path_;
};

// A Linux path as Wine sees it: on drive Z:, with backslashes.
inline std::string WinePath(std::string path) {
    if (!path.empty() && path[0] == '/') path = "Z:" + path;
    for (char& c : path)
        if (c == '/') c = '\\';
    return path;
}
