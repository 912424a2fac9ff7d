// Loading the application module. The image is untrusted: every count, site
// and offset read from it is checked against the block it points into before
// anything is read or written there.
#include "loader/loaderX86.h"

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

#include "loader/ExecutableLayout.h"
#include "loader/ResourceManager.h"
#include "loader/relocentry.h"
#include "orvane/image.h"
#include "startup/AssertionReport.h"
#include "startup/ProcessState.h"
#include "startup/ShutdownList.h"
#include "startup/SystemVersion.h"
#include "startup/Win32Owners.h"
#include "strings/utility.h"
#include "ui/MessageDialog.h"

namespace {

constexpr WORD kLocatorId = 101;
constexpr uint32_t kNameBufferSize = 256;

uint8_t* gCodeBase = nullptr;
uint8_t* gDataBase = nullptr;
uint32_t gMediaAreaOffset = 0;

struct LoadedLibrary {
    StringHandle name;
    HMODULE handle;
    LoadedLibrary* next;
};
LoadedLibrary* gLibraries = nullptr;  // newest first

const char kDevelopmentFiles[5][12] = {"import.dat", "code.dat", "data.dat", "rsrc.dat",
                                       "options.dat"};

// ---- Messages -------------------------------------------------------------------

StringHandle Text(const char* a, const char* b = nullptr, const char* c = nullptr,
                  const char* d = nullptr, const char* e = nullptr) {
    StringHandle s(a);
    for (const char* part : {b, c, d, e})
        if (part) s.AppendC(part);
    return s;
}

StringHandle TextWithNumber(const char* before, uint32_t value, const char* after) {
    char number[16];
    std::snprintf(number, sizeof number, "%u", static_cast<unsigned>(value));
    return Text(before, number, after);
}

StringHandle CutOffRecordMessage(uint32_t offset) {
    return TextWithNumber(
        "The application could not be loaded because its link records are damaged: "
        "the record at import offset ",
        offset, " is cut off.");
}

StringHandle SiteOutsideCodeMessage(uint32_t site) {
    return TextWithNumber(
        "The application could not be loaded because its link records are damaged: "
        "code offset ",
        site, " lies outside the code block.");
}

StringHandle ChainLoopsMessage(uint32_t first) {
    return TextWithNumber(
        "The application could not be loaded because its link records are damaged: "
        "the chain of sites starting at code offset ",
        first, " does not end.");
}

StringHandle LiteralOutsideDataMessage(uint32_t offset) {
    return TextWithNumber(
        "The application could not be loaded because its link records are damaged: "
        "the string literal at data offset ",
        offset, " lies outside the data block.");
}

StringHandle OperandOutsideBlockMessage(uint8_t type, uint32_t operand, uint32_t site) {
    const char* block = type == kImportData ? "data" : "code";
    char text[224];
    std::snprintf(text, sizeof text,
                  "The application could not be loaded because its link records are damaged: "
                  "the %s offset %u at code offset %u lies outside the %s block.",
                  block, static_cast<unsigned>(operand), static_cast<unsigned>(site), block);
    return StringHandle(text);
}

StringHandle NotExportedMessage(const char* name) {
    return Text("The application could not be loaded because the runtime does not export the "
                "function ",
                name, ".");
}

StringHandle DamagedImageMessage() {
    return StringHandle(
        "The application could not be loaded because its module image is incomplete or "
        "damaged.");
}

StringHandle UnreadableFileMessage(const char* name) {
    return Text("The application could not be loaded because the file ", name,
                " could not be read.");
}

StringHandle NoMemoryMessage() {
    return StringHandle(
        "The application could not be loaded because there is not enough memory.");
}

StringHandle NoCodeMessage() {
    return StringHandle("The application could not be loaded because it contains no code.");
}

// ---- Little-endian access ----------------------------------------------------------

uint32_t Get32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

void Put32(uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
    p[2] = uint8_t(v >> 16);
    p[3] = uint8_t(v >> 24);
}

uint32_t Address(const void* p) { return uint32_t(reinterpret_cast<uintptr_t>(p)); }

// Sequential reads that refuse to run past the end of the block.
class BlockReader {
public:
    BlockReader(const uint8_t* block, uint32_t length) : block_(block), length_(length) {}

    uint32_t Position() const { return pos_; }
    bool AtEnd() const { return pos_ >= length_; }
    uint32_t Remaining() const { return length_ - pos_; }

    bool U8(uint8_t& v) {
        if (Remaining() < 1) return false;
        v = block_[pos_++];
        return true;
    }
    bool U16(uint16_t& v) {
        if (Remaining() < 2) return false;
        v = uint16_t(block_[pos_] | block_[pos_ + 1] << 8);
        pos_ += 2;
        return true;
    }
    bool U32(uint32_t& v) {
        if (Remaining() < 4) return false;
        v = Get32(block_ + pos_);
        pos_ += 4;
        return true;
    }
    bool Bytes(uint32_t n, const uint8_t*& p) {
        if (Remaining() < n) return false;
        p = block_ + pos_;
        pos_ += n;
        return true;
    }
    // One length byte, that many characters and a NUL, which is skipped.
    bool Name(char (&buffer)[kNameBufferSize]) {
        uint8_t n;
        const uint8_t* p;
        if (!U8(n) || !Bytes(uint32_t(n) + 1, p)) return false;
        std::memcpy(buffer, p, n);
        buffer[n] = 0;
        return true;
    }

private:
    const uint8_t* block_;
    uint32_t length_;
    uint32_t pos_ = 0;
};

// ---- Linking -------------------------------------------------------------------------

bool SiteInside(const ModuleImage& image, uint32_t site) {
    return site <= image.codeSize && image.codeSize - site >= 4;
}

// Walks a whole chain before anything is patched, so a chain that leaves the
// code block or never ends patches nothing. A chain of non-overlapping sites
// holds at most codeSize / 4 of them.
bool CollectChain(const ModuleImage& image, uint32_t first, std::vector<uint32_t>& sites,
                  StringHandle& error) {
    sites.clear();
    const uint32_t limit = image.codeSize / 4 + 1;
    for (uint32_t s = first; s != 0; s = Get32(image.code + s)) {
        if (!SiteInside(image, s)) {
            error = SiteOutsideCodeMessage(s);
            return false;
        }
        if (sites.size() == limit) {
            error = ChainLoopsMessage(first);
            return false;
        }
        sites.push_back(s);
    }
    return true;
}

// The single site of a type-2, 3 or 5 record, which must lie in the code block.
bool ReadSite(BlockReader& in, const ModuleImage& image, uint32_t recordStart, uint32_t& site,
              StringHandle& error) {
    if (!in.U32(site)) {
        error = CutOffRecordMessage(recordStart);
        return false;
    }
    if (!SiteInside(image, site)) {
        error = SiteOutsideCodeMessage(site);
        return false;
    }
    return true;
}

void PatchDisplacements(const ModuleImage& image, const std::vector<uint32_t>& sites,
                        const void* entry) {
    for (uint32_t s : sites) Put32(image.code + s, Address(entry) - (Address(image.code + s) + 4));
}

void PatchAbsolute(const ModuleImage& image, const std::vector<uint32_t>& sites,
                   const void* entry) {
    for (uint32_t s : sites) Put32(image.code + s, Address(entry));
}

LoadedLibrary* FindLoadedLibrary(const char* name) {
    const int32_t n = int32_t(std::strlen(name));
    for (LoadedLibrary* l = gLibraries; l; l = l->next)
        if (CompareBytesText(reinterpret_cast<const uint8_t*>(l->name.Text()), l->name.Length(),
                             reinterpret_cast<const uint8_t*>(name), n) == 0)
            return l;
    return nullptr;
}

// The library of a type-4 record, loaded once whatever the letter case of its name.
HMODULE LibraryFor(const char* name) {
    if (LoadedLibrary* known = FindLoadedLibrary(name)) return known->handle;
    if (!name[0]) return nullptr;
    HMODULE handle = LoadLibraryA(name);
    if (!handle) return nullptr;
    LoadedLibrary* entry = new (std::nothrow) LoadedLibrary{StringHandle(name), handle, gLibraries};
    if (entry) gLibraries = entry;
    return handle;
}

}  // namespace

uint8_t* CodeBase() { return gCodeBase; }
uint8_t* DataBase() { return gDataBase; }
uint32_t MediaAreaOffset() { return gMediaAreaOffset; }

int32_t LoadedLibraryCount() {
    int32_t n = 0;
    for (LoadedLibrary* l = gLibraries; l; l = l->next) ++n;
    return n;
}

void ResetLoaderState() {
    while (gLibraries) {
        LoadedLibrary* next = gLibraries->next;
        delete gLibraries;  // the library itself stays loaded
        gLibraries = next;
    }
    gCodeBase = nullptr;
    gDataBase = nullptr;
    gMediaAreaOffset = 0;
}

bool LinkImports(const ModuleImage& image, const uint8_t* block, uint32_t length,
                 StringHandle& error) {
    BlockReader in(block, length);
    std::vector<uint32_t> sites;
    char name[kNameBufferSize];
    char library[kNameBufferSize];
    while (!in.AtEnd()) {
        const uint32_t start = in.Position();
        uint8_t type;
        in.U8(type);
        switch (type) {
            case kImportEntryPoint: {
                uint8_t mode;
                uint32_t first;
                if (!in.U8(mode) || !in.U32(first) || !in.Name(name)) {
                    error = CutOffRecordMessage(start);
                    return false;
                }
                if (!CollectChain(image, first, sites, error)) return false;
                void* entry = ExportFindForLink(name);
                if (!entry) {
                    // Cancel ends the process here; after OK the module must not
                    // run, since its calls through this chain would jump into
                    // the chain's links.
                    StringHandle message = Text("Function '", name, "' was not exported");
                    RUNTIME_FIXED_REPORT_WITH(kReportNotExported, message.Text());
                    error = NotExportedMessage(name);
                    return false;
                }
                if (mode == kImportModeCall)
                    PatchDisplacements(image, sites, entry);
                else
                    PatchAbsolute(image, sites, entry);
                break;
            }
            case kImportData:
            case kImportCode: {
                uint32_t site;
                if (!ReadSite(in, image, start, site, error)) return false;
                const uint8_t* base = type == kImportData ? image.data : image.code;
                const uint32_t size = type == kImportData ? image.dataSize : image.codeSize;
                uint8_t* p = image.code + site;
                // The offset may point just past the end of its block: compiled
                // code may hold an end pointer.
                const uint32_t operand = Get32(p);
                if (operand > size) {
                    error = OperandOutsideBlockMessage(type, operand, site);
                    return false;
                }
                Put32(p, operand + Address(base));
                break;
            }
            case kImportLibrary: {
                uint32_t first;
                if (!in.U32(first) || !in.Name(name) || !in.Name(library)) {
                    error = CutOffRecordMessage(start);
                    return false;
                }
                if (!CollectChain(image, first, sites, error)) return false;
                HMODULE handle = LibraryFor(library);
                if (!handle) {
                    error = Text("The application could not be loaded because a necessary shared "
                                 "library ",
                                 library, " could not be found.");
                    return false;
                }
                FARPROC routine = GetProcAddress(handle, name);
                if (!routine) {
                    error = Text("The application could not be loaded because the routine ", name,
                                 " could not be found in the shared library ", library, ".");
                    return false;
                }
                PatchDisplacements(image, sites, reinterpret_cast<const void*>(routine));
                break;
            }
            case kImportLiteral: {
                uint32_t site;
                if (!ReadSite(in, image, start, site, error)) return false;
                uint8_t* p = image.code + site;
                const uint32_t v = Get32(p);
                // The record and its length byte; the text pointer points at the latter.
                if (v > image.dataSize || image.dataSize - v < kLiteralHeaderSize) {
                    error = LiteralOutsideDataMessage(v);
                    return false;
                }
                uint8_t* literal = image.data + v;
                Put32(p, Address(literal));
                if (Get32(literal + kLiteralTextAt) == 0)
                    Put32(literal + kLiteralTextAt, Address(literal + kLiteralLengthByteAt));
                break;
            }
            default:
                break;  // an unknown type byte is skipped alone
        }
    }
    return true;
}

void ParseOptions(const uint8_t* block, uint32_t length) {
    BlockReader in(block, length);
    while (!in.AtEnd()) {
        uint8_t kind;
        in.U8(kind);
        if (kind != 0) {
            RUNTIME_FIXED_REPORT(kReportOptionKind);
            continue;
        }
        uint32_t n;
        if (!in.U32(n)) return;
        if (n == 0) {
            gMDIMode = true;
            continue;
        }
        const uint8_t* text;
        uint32_t encoding;
        if (!in.Bytes(n, text) || !in.U32(encoding)) return;
        gMDIMode = true;
        StringValue* title = StringMake(text, int32_t(n));
        if (title) title->encoding = encoding;
        StringRelease(gFrameTitle);
        gFrameTitle = title;
    }
}

void ParseResources(const uint8_t* block, uint32_t length, uint32_t fileOffset) {
    BlockReader in(block, length);
    while (!in.AtEnd()) {
        uint32_t type, ignored, size;
        uint16_t id;
        const uint8_t* data;
        if (!in.U32(type) || !in.U16(id) || !in.U32(ignored) || !in.U32(size)) return;
        const uint32_t dataOffset = fileOffset ? fileOffset + in.Position() : 0;
        if (!in.Bytes(size, data)) return;
        WindowsResourceManager::Instance().Register(type, id, data, size, dataOffset);
    }
}

// ---- Reading the blocks -------------------------------------------------------------

namespace {

uint8_t* NewCodeBuffer(uint32_t size) {
    return static_cast<uint8_t*>(VirtualAlloc(nullptr, size ? size : 1, MEM_COMMIT | MEM_RESERVE,
                                              PAGE_EXECUTE_READWRITE));
}

uint8_t* NewHeapBuffer(uint32_t size) {
    return static_cast<uint8_t*>(HeapAlloc(GetProcessHeap(), 0, size ? size : 1));
}

// Reads exactly size bytes.
bool ReadExactly(HANDLE file, uint8_t* buffer, uint32_t size) {
    while (size > 0) {
        DWORD got = 0;
        if (!ReadFile(file, buffer, size, &got, nullptr) || got == 0) return false;
        buffer += got;
        size -= got;
    }
    return true;
}

bool FileSize(HANDLE file, uint64_t& size) {
    LARGE_INTEGER n;
    if (!GetFileSizeEx(file, &n) || n.QuadPart < 0) return false;
    size = uint64_t(n.QuadPart);
    return true;
}

// The image as the file holds it; the position is tracked here so that no
// count can ask for more than what is left.
class ImageFile {
public:
    ImageFile(HANDLE file, uint64_t position, uint64_t size)
        : file_(file), position_(position), size_(size) {}

    uint64_t Position() const { return position_; }

    bool Count(uint32_t& n) {
        uint8_t bytes[4];
        if (size_ - position_ < 4 || !ReadExactly(file_, bytes, 4)) return false;
        position_ += 4;
        n = Get32(bytes);
        return n <= size_ - position_;
    }
    bool Block(uint8_t* buffer, uint32_t n) {
        if (!ReadExactly(file_, buffer, n)) return false;
        position_ += n;
        return true;
    }

private:
    HANDLE file_;
    uint64_t position_;
    uint64_t size_;
};

HANDLE OpenOwnExecutable() {
    if (!IsWindowsNT()) {
        char path[MAX_PATH];
        DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
        if (n == 0 || n >= MAX_PATH) return INVALID_HANDLE_VALUE;
        return CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    }
    std::vector<wchar_t> path(MAX_PATH);
    for (;;) {
        DWORD n = GetModuleFileNameW(nullptr, path.data(), DWORD(path.size()));
        if (n == 0) return INVALID_HANDLE_VALUE;
        if (n < path.size()) break;
        if (path.size() >= 32768) return INVALID_HANDLE_VALUE;
        path.resize(path.size() * 2);
    }
    return CreateFileW(path.data(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

// Reads one development file whole into a new buffer (executable memory for code).
bool ReadWholeFile(const char* name, bool code, uint8_t*& buffer, uint32_t& size) {
    KernelHandle file(CreateFileA(name, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsValid()) return false;
    uint64_t length = 0;
    if (!FileSize(file.Get(), length) || length > 0x7FFFFFFFu) return false;
    size = uint32_t(length);
    buffer = code ? NewCodeBuffer(size) : NewHeapBuffer(size);
    return buffer && ReadExactly(file.Get(), buffer, size);
}

bool FindLocator(uint32_t& imageOffset, uint32_t& mediaOffset) {
    HRSRC found = FindResourceA(nullptr, MAKEINTRESOURCEA(kLocatorId), "PICKLE");
    if (!found) return false;
    HGLOBAL loaded = LoadResource(nullptr, found);
    const void* data = loaded ? LockResource(loaded) : nullptr;
    if (!data) return false;
    return ParseLocator(static_cast<const uint8_t*>(data), SizeofResource(nullptr, found),
                        imageOffset, mediaOffset);
}

}  // namespace

bool ParseLocator(const uint8_t* data, uint32_t size, uint32_t& imageOffset,
                  uint32_t& mediaOffset) {
    imageOffset = 0;
    mediaOffset = 0;
    if (!data || size < 4 || std::memcmp(data, "PICK", 4) == 0) return false;
    imageOffset = Get32(data);
    if (imageOffset == 0) return false;
    if (size >= 8) mediaOffset = Get32(data + 4);
    return true;
}

void FreeModuleBlocks(ModuleBlocks& blocks) {
    if (blocks.code) VirtualFree(blocks.code, 0, MEM_RELEASE);
    for (uint8_t* p : {blocks.data, blocks.imports, blocks.resources, blocks.options})
        if (p) HeapFree(GetProcessHeap(), 0, p);
    blocks = ModuleBlocks();
}

bool ReadImageBlocks(void* handle, uint32_t imageOffset, ModuleBlocks& blocks,
                     StringHandle& error) {
    HANDLE file = static_cast<HANDLE>(handle);
    blocks = ModuleBlocks();
    uint64_t size = 0;
    LARGE_INTEGER seek;
    seek.QuadPart = imageOffset;
    if (!FileSize(file, size) || imageOffset > size ||
        !SetFilePointerEx(file, seek, nullptr, FILE_BEGIN)) {
        error = DamagedImageMessage();
        return false;
    }
    ImageFile in(file, imageOffset, size);
    bool ok = true;
    bool memory = true;
    // Code, data and import are always read; resource and options only when
    // not empty. The resource block's file offset is where its bytes start.
    auto read = [&](uint8_t*& buffer, uint32_t& n, bool code, bool always,
                    uint32_t* fileOffset) {
        if (!ok) return;
        if (!in.Count(n)) {
            ok = false;
            return;
        }
        if (!always && n == 0) return;
        if (fileOffset) *fileOffset = uint32_t(in.Position());
        buffer = code ? NewCodeBuffer(n) : NewHeapBuffer(n);
        if (!buffer) {
            ok = memory = false;
            return;
        }
        ok = in.Block(buffer, n);
    };
    read(blocks.code, blocks.codeSize, true, true, nullptr);
    read(blocks.data, blocks.dataSize, false, true, nullptr);
    read(blocks.imports, blocks.importSize, false, true, nullptr);
    read(blocks.resources, blocks.resourceSize, false, false, &blocks.resourceFileOffset);
    read(blocks.options, blocks.optionSize, false, false, nullptr);
    if (!ok) {
        FreeModuleBlocks(blocks);
        error = memory ? DamagedImageMessage() : NoMemoryMessage();
    }
    return ok;
}

bool ReadAppendedImage(void* file, uint32_t imageOffset, ModuleBlocks& blocks,
                       StringHandle& error) {
    uint64_t ownEnd = 0;
    if (!ExecutableOwnBytesEnd(file, ownEnd) || imageOffset < ownEnd) {
        blocks = ModuleBlocks();
        error = DamagedImageMessage();
        return false;
    }
    return ReadImageBlocks(file, imageOffset, blocks, error);
}

bool ReadDevelopmentBlocks(ModuleBlocks& blocks, StringHandle& error) {
    blocks = ModuleBlocks();
    struct Target {
        uint8_t*& buffer;
        uint32_t& size;
    };
    Target targets[5] = {{blocks.imports, blocks.importSize},
                         {blocks.code, blocks.codeSize},
                         {blocks.data, blocks.dataSize},
                         {blocks.resources, blocks.resourceSize},
                         {blocks.options, blocks.optionSize}};
    for (int i = 0; i < 5; ++i) {
        if (!ReadWholeFile(kDevelopmentFiles[i], i == 1, targets[i].buffer, targets[i].size)) {
            FreeModuleBlocks(blocks);
            error = UnreadableFileMessage(kDevelopmentFiles[i]);
            return false;
        }
    }
    return true;
}

bool RunModuleBlocks(const ModuleBlocks& blocks) {
    if (blocks.codeSize == 0 || !blocks.code) {
        RuntimeShowMessage(NoCodeMessage());
        return false;
    }
    gCodeBase = blocks.code;
    gDataBase = blocks.data;
    ParseOptions(blocks.options, blocks.optionSize);
    StringHandle error;
    ModuleImage image;
    image.code = blocks.code;
    image.codeSize = blocks.codeSize;
    image.data = blocks.data;
    image.dataSize = blocks.dataSize;
    if (!LinkImports(image, blocks.imports, blocks.importSize, error)) {
        RuntimeShowMessage(error);
        return false;
    }
    ParseResources(blocks.resources, blocks.resourceSize, blocks.resourceFileOffset);
    FlushInstructionCache(GetCurrentProcess(), blocks.code, blocks.codeSize);
    reinterpret_cast<void(__cdecl*)()>(blocks.code)();
    ShutdownListDestroyAll();
    return true;
}

bool LoadAndRunModule() {
    uint32_t imageOffset = 0;
    FindLocator(imageOffset, gMediaAreaOffset);
    ModuleBlocks blocks;
    StringHandle error;
    bool read;
    if (imageOffset != 0) {
        KernelHandle file(OpenOwnExecutable());
        if (!file.IsValid()) {
            RUNTIME_FIXED_REPORT(kReportOwnExecutable);
            return false;
        }
        read = ReadAppendedImage(file.Get(), imageOffset, blocks, error);
    } else {
        read = ReadDevelopmentBlocks(blocks, error);
    }
    if (!read) {
        RuntimeShowMessage(error);
        return false;
    }
    return RunModuleBlocks(blocks);
}
