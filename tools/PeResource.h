// Finds a resource's data in the bytes of a PE file, without the Win32 loader:
// the resource directory (type, name, language) is walked by hand and every
// offset is checked against the buffer before it is read.
// Plain C++17 so that host tools can use it as well as the runtime's tests.
#pragma once

#include <cstddef>
#include <cstdint>

namespace pe {

struct ResourceData {
    uint32_t fileOffset = 0;  // of the first data byte in the file
    uint32_t size = 0;
};

namespace detail {

inline bool Has(size_t bufferSize, uint64_t offset, uint64_t count) {
    return offset <= bufferSize && count <= bufferSize - offset;
}

inline uint16_t Get16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }

inline uint32_t Get32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

struct Section {
    uint32_t virtualAddress;
    uint32_t rawSize;
    uint32_t rawOffset;
};

class Image {
public:
    Image(const uint8_t* bytes, size_t size) : bytes_(bytes), size_(size) {}

    // Reads the headers; false when the bytes are not a PE image with a
    // resource directory.
    bool Open() {
        if (!Has(size_, 0, 64) || bytes_[0] != 'M' || bytes_[1] != 'Z') return false;
        const uint32_t pe = Get32(bytes_ + 0x3C);
        if (!Has(size_, pe, 24) || Get32(bytes_ + pe) != 0x00004550u) return false;  // "PE\0\0"
        sectionCount_ = Get16(bytes_ + pe + 6);
        const uint16_t optionalSize = Get16(bytes_ + pe + 20);
        const uint64_t optional = uint64_t(pe) + 24;
        if (!Has(size_, optional, optionalSize) || optionalSize < 2) return false;
        const uint16_t magic = Get16(bytes_ + optional);
        uint32_t directories;  // offset of the data directories in the optional header
        if (magic == 0x10B)
            directories = 96;
        else if (magic == 0x20B)
            directories = 112;
        else
            return false;
        if (optionalSize < directories) return false;
        const uint32_t directoryCount = Get32(bytes_ + optional + directories - 4);
        const uint32_t kResourceDirectory = 2;
        if (directoryCount <= kResourceDirectory ||
            uint64_t(directories) + 8 * (kResourceDirectory + 1) > optionalSize)
            return false;
        const uint8_t* entry = bytes_ + optional + directories + 8 * kResourceDirectory;
        const uint32_t rva = Get32(entry);
        if (rva == 0 || Get32(entry + 4) == 0) return false;
        sections_ = optional + optionalSize;
        if (!Has(size_, sections_, uint64_t(sectionCount_) * 40)) return false;
        return ToFileOffset(rva, 16, root_);
    }

    // The file offset of count bytes at the relative virtual address rva,
    // when they are all in one section's raw data.
    bool ToFileOffset(uint32_t rva, uint32_t count, uint64_t& offset) const {
        for (uint32_t i = 0; i < sectionCount_; ++i) {
            const uint8_t* s = bytes_ + sections_ + 40 * uint64_t(i);
            const Section section{Get32(s + 12), Get32(s + 16), Get32(s + 20)};
            if (rva < section.virtualAddress) continue;
            const uint64_t into = uint64_t(rva) - section.virtualAddress;
            if (into > section.rawSize || count > section.rawSize - into) continue;
            offset = uint64_t(section.rawOffset) + into;
            return Has(size_, offset, count);
        }
        return false;
    }

    // The entry of the directory at directoryOffset (relative to the resource
    // root) that matches: a string name (compared ignoring ASCII case) when
    // name is given, else the integer id; any entry when anyEntry is set.
    // Gives the entry's target, with its subdirectory flag.
    bool FindEntry(uint32_t directoryOffset, const char* name, uint16_t id, bool anyEntry,
                   uint32_t& target, bool& isDirectory) const {
        const uint64_t directory = root_ + directoryOffset;
        if (!Has(size_, directory, 16)) return false;
        const uint32_t named = Get16(bytes_ + directory + 12);
        const uint32_t total = named + Get16(bytes_ + directory + 14);
        if (!Has(size_, directory + 16, uint64_t(total) * 8)) return false;
        for (uint32_t i = 0; i < total; ++i) {
            const uint8_t* e = bytes_ + directory + 16 + 8 * uint64_t(i);
            const uint32_t key = Get32(e);
            const bool keyIsName = (key & 0x80000000u) != 0;
            bool match = anyEntry;
            if (!match && name && keyIsName) match = NameEquals(key & 0x7FFFFFFFu, name);
            if (!match && !name && !keyIsName) match = key == id;
            if (!match) continue;
            const uint32_t value = Get32(e + 4);
            isDirectory = (value & 0x80000000u) != 0;
            target = value & 0x7FFFFFFFu;
            return true;
        }
        return false;
    }

    // The data entry at dataEntryOffset (relative to the resource root).
    bool Data(uint32_t dataEntryOffset, ResourceData& out) const {
        const uint64_t entry = root_ + dataEntryOffset;
        if (!Has(size_, entry, 16)) return false;
        const uint32_t rva = Get32(bytes_ + entry);
        const uint32_t size = Get32(bytes_ + entry + 4);
        uint64_t offset;
        if (!ToFileOffset(rva, size, offset) || offset > 0xFFFFFFFFu) return false;
        out.fileOffset = uint32_t(offset);
        out.size = size;
        return true;
    }

private:
    // A directory string: u16 count of UTF-16 units, then the units.
    bool NameEquals(uint32_t nameOffset, const char* name) const {
        const uint64_t at = root_ + nameOffset;
        if (!Has(size_, at, 2)) return false;
        const uint32_t units = Get16(bytes_ + at);
        if (!Has(size_, at + 2, uint64_t(units) * 2)) return false;
        uint32_t i = 0;
        for (; i < units; ++i) {
            if (!name[i]) return false;
            const uint16_t u = Get16(bytes_ + at + 2 + 2 * i);
            if (Upper(u) != Upper(uint8_t(name[i]))) return false;
        }
        return name[i] == 0;
    }

    static uint16_t Upper(uint16_t c) { return c >= 'a' && c <= 'z' ? uint16_t(c - 32) : c; }

    const uint8_t* bytes_;
    size_t size_;
    uint32_t sectionCount_ = 0;
    uint64_t sections_ = 0;
    uint64_t root_ = 0;  // file offset of the resource root directory
};

}  // namespace detail

// Finds the data of resource (typeName, id) in the first language listed.
inline bool FindResourceData(const uint8_t* bytes, size_t size, const char* typeName,
                             uint16_t id, ResourceData& out) {
    if (!bytes || !typeName) return false;
    detail::Image image(bytes, size);
    if (!image.Open()) return false;
    uint32_t names, languages, data;
    bool directory;
    if (!image.FindEntry(0, typeName, 0, false, names, directory) || !directory) return false;
    if (!image.FindEntry(names, nullptr, id, false, languages, directory) || !directory)
        return false;
    if (!image.FindEntry(languages, nullptr, 0, true, data, directory) || directory) return false;
    return image.Data(data, out);
}

// The module locator of the runtime executable: type "PICKLE", id 101.
inline bool FindModuleLocator(const uint8_t* bytes, size_t size, ResourceData& out) {
    return FindResourceData(bytes, size, "PICKLE", 101, out);
}

}  // namespace pe
