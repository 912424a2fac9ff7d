// Module images through the loader: the image is read by the real reader
// from a file, its blocks are copied between guard pages and linked, and the
// option and resource blocks parsed. Mutations know the image's structure:
// block counts, import records, their types, modes and sites, the chains
// threaded through the code and the operands at the sites.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "loader/ResourceManager.h"
#include "loader/loaderX86.h"
#include "orvane/image.h"
#include "startup/ProcessState.h"
#include "strings/string.h"
#include "tests/TestFiles.h"
#include "tests/fuzz/FuzzMutations.h"
#include "tests/fuzz/GuardedBlock.h"

namespace {

constexpr int kBlockCount = 5;  // code, data, imports, resources, options

struct Image {
    FuzzBytes blocks[kBlockCount];
    FuzzBytes& Code() { return blocks[0]; }
    FuzzBytes& Data() { return blocks[1]; }
    FuzzBytes& Imports() { return blocks[2]; }
};

// Each block a u32 count and its bytes; false unless the counts fit exactly
// as far as they go (trailing bytes are allowed, as the reader allows them).
bool Decode(const FuzzBytes& bytes, Image& image) {
    size_t at = 0;
    for (FuzzBytes& block : image.blocks) {
        if (bytes.size() - at < 4) return false;
        const uint32_t n = Read32(&bytes[at]);
        at += 4;
        if (n > bytes.size() - at) return false;
        block.assign(bytes.begin() + at, bytes.begin() + at + n);
        at += n;
    }
    return true;
}

FuzzBytes Encode(const Image& image) {
    FuzzBytes out;
    for (const FuzzBytes& block : image.blocks) {
        Append32(out, uint32_t(block.size()));
        out.insert(out.end(), block.begin(), block.end());
    }
    return out;
}

// ---- Import records, walked as the loader walks them --------------------------------------

struct Record {
    uint32_t start;  // of the type byte
    uint8_t type;
    uint32_t siteAt;  // import offset of the site or first-site word; 0 when none
    uint32_t nameAt;  // import offset of the first name's length byte; 0 when none
};

std::vector<Record> Records(const FuzzBytes& imports) {
    std::vector<Record> out;
    const uint32_t n = uint32_t(imports.size());
    uint32_t p = 0;
    auto name = [&](uint32_t& at) {
        if (at >= n) return false;
        at += 2u + imports[at];
        return at <= n;
    };
    while (p < n) {
        Record r{p, imports[p], 0, 0};
        uint32_t q = p + 1;
        bool whole = true;
        switch (r.type) {
            case kImportEntryPoint:
                r.siteAt = q + 1;
                r.nameAt = q + 5;
                q += 5;
                whole = q <= n && name(q);
                break;
            case kImportData:
            case kImportCode:
            case kImportLiteral:
                r.siteAt = q;
                q += 4;
                whole = q <= n;
                break;
            case kImportLibrary:
                r.siteAt = q;
                r.nameAt = q + 4;
                q += 4;
                whole = q <= n && name(q) && name(q);
                break;
            default:
                break;
        }
        if (!whole) break;
        out.push_back(r);
        p = q;
    }
    return out;
}

// The sites of a chain as it stands in code, at most limit of them.
std::vector<uint32_t> ChainSites(const FuzzBytes& code, uint32_t first, size_t limit) {
    std::vector<uint32_t> sites;
    for (uint32_t s = first; s != 0 && sites.size() < limit; s = Read32(&code[s])) {
        if (s > code.size() || code.size() - s < 4) break;
        sites.push_back(s);
    }
    return sites;
}

// ---- Structured mutations ------------------------------------------------------------

bool MutateStructure(Image& image, FuzzRandom& random) {
    FuzzBytes& code = image.Code();
    FuzzBytes& imports = image.Imports();
    const std::vector<Record> records = Records(imports);
    const uint32_t codeSize = uint32_t(code.size());
    const uint32_t operation = Below(random, 10);
    if (operation >= 7) {  // options and resources, and the raw bytes of one block
        if (operation == 7) {
            FuzzBytes& options = image.blocks[4];
            options.push_back(OneIn(random, 3) ? uint8_t(random()) : 0);
            const uint32_t n = OneIn(random, 2) ? Below(random, 24) : InterestingNumber(random, 24);
            Append32(options, n);
            for (uint32_t i = 0; i < n && i < 24; ++i) options.push_back(uint8_t('A' + Below(random, 26)));
            if (OneIn(random, 2)) Append32(options, 0x08000100u);
        } else if (operation == 8) {
            FuzzBytes& resources = image.blocks[3];
            Append32(resources, 0x44415441u);  // DATA
            resources.push_back(uint8_t(random()));
            resources.push_back(uint8_t(random()));
            Append32(resources, uint32_t(random()));
            const uint32_t n = Below(random, 32);
            Append32(resources, OneIn(random, 3) ? InterestingNumber(random, n) : n);
            for (uint32_t i = 0; i < n; ++i) resources.push_back(uint8_t(random()));
        } else {
            FuzzBytes& block = image.blocks[OneIn(random, 2) ? 2 : Below(random, kBlockCount)];
            MutateBytes(block, random, 1u << 20);
        }
        return true;
    }
    if (records.empty()) return false;
    const Record& r = records[Below(random, uint32_t(records.size()))];
    switch (operation) {
        case 0: {  // record type
            static const uint8_t kTypes[] = {0, 1, 2, 3, 4, 5, 6, 9, 0xFF};
            imports[r.start] = kTypes[Below(random, sizeof kTypes)];
            return true;
        }
        case 1:  // mode
            if (r.type != kImportEntryPoint) return false;
            imports[r.start + 1] = OneIn(random, 2) ? uint8_t(imports[r.start + 1] ^ 1) : uint8_t(random());
            return true;
        case 2: {  // the site or first site: a boundary, another record's site, anything
            if (!r.siteAt) return false;
            uint32_t site = InterestingNumber(random, codeSize - 4);
            if (OneIn(random, 3)) {
                const Record& other = records[Below(random, uint32_t(records.size()))];
                if (other.siteAt) site = Read32(&imports[other.siteAt]) + Below(random, 4);
            }
            Write32(&imports[r.siteAt], site);
            return true;
        }
        case 3:  // a name's length byte or one of its characters
            if (!r.nameAt) return false;
            if (OneIn(random, 2))
                imports[r.nameAt] = OneIn(random, 2) ? uint8_t(random()) : uint8_t(imports[r.nameAt] + 1 - Below(random, 3));
            else
                imports[r.nameAt + Below(random, imports[r.nameAt] + 2u)] ^= uint8_t(1u << Below(random, 8));
            return true;
        case 4: {  // a chain link: a loop, an overlap, the block's end, anything
            if (r.type != kImportEntryPoint && r.type != kImportLibrary) return false;
            const std::vector<uint32_t> sites = ChainSites(code, Read32(&imports[r.siteAt]), 1u << 16);
            if (sites.empty()) return false;
            const uint32_t i = Below(random, uint32_t(sites.size()));
            uint32_t link;
            switch (Below(random, 5)) {
                case 0: link = sites[Below(random, i + 1)]; break;  // back to itself or before
                case 1: link = sites[i] + 1 + Below(random, 3); break;  // overlapping
                case 2: link = codeSize - Below(random, 4); break;
                case 3: link = 0; break;  // cut short
                default: link = InterestingNumber(random, codeSize); break;
            }
            Write32(&code[sites[i]], link);
            return true;
        }
        case 5: {  // the operand at a type-2, 3 or 5 site
            if (r.type != kImportData && r.type != kImportCode && r.type != kImportLiteral) return false;
            const uint32_t site = Read32(&imports[r.siteAt]);
            if (site > codeSize || codeSize - site < 4) return false;
            const uint32_t blockSize = uint32_t(r.type == kImportCode ? codeSize : image.Data().size());
            const uint32_t boundary = r.type == kImportLiteral ? blockSize - kLiteralHeaderSize : blockSize;
            Write32(&code[site], InterestingNumber(random, boundary));
            return true;
        }
        default: {  // a record dropped, repeated or cut short
            const uint32_t end = r.start + 1 < imports.size() ? uint32_t(imports.size()) : r.start + 1;
            const Record* next = &r + 1 < records.data() + records.size() ? &r + 1 : nullptr;
            const uint32_t stop = next ? next->start : end;
            FuzzBytes record(imports.begin() + r.start, imports.begin() + stop);
            switch (Below(random, 3)) {
                case 0: imports.erase(imports.begin() + r.start, imports.begin() + stop); break;
                case 1: imports.insert(imports.begin() + Below(random, uint32_t(imports.size()) + 1), record.begin(), record.end()); break;
                default: imports.resize(r.start + Below(random, stop - r.start + 1)); break;
            }
            return true;
        }
    }
}

// A block count of the encoded image set to a boundary or a huge number.
void MutateCount(FuzzBytes& bytes, FuzzRandom& random) {
    size_t at = 0;
    std::vector<size_t> counts;
    while (counts.size() < kBlockCount && bytes.size() >= at + 4) {
        counts.push_back(at);
        const uint32_t n = Read32(&bytes[at]);
        if (n > bytes.size() - at - 4) break;
        at += 4 + n;
    }
    if (counts.empty()) return;
    const size_t c = counts[Below(random, uint32_t(counts.size()))];
    Write32(&bytes[c], InterestingNumber(random, Read32(&bytes[c])));
}

// ---- A small image with every record kind, options and resources ----------------------

FuzzBytes SyntheticImage() {
    Image image;
    FuzzBytes& code = image.Code();
    code.assign(96, 0x90);
    FuzzBytes& data = image.Data();
    data.assign(64, 0);
    // A literal "Fuzz" at data offset 8.
    Write32(&data[8 + kLiteralRefCountAt], 1);
    Write32(&data[8 + kLiteralCapacityAt], 6);
    Write32(&data[8 + kLiteralLengthAt], 4);
    Write32(&data[8 + kLiteralEncodingAt], 0x08000100u);
    data[8 + kLiteralLengthByteAt] = 4;
    std::memcpy(&data[8 + kLiteralBytesAt], "Fuzz", 5);
    // Chains: lineTrace called at 4 and 12, its address at 20; GetTickCount called at 28.
    Write32(&code[4], 12);
    Write32(&code[12], 0);
    Write32(&code[20], 0);
    Write32(&code[28], 0);
    Write32(&code[36], 16);  // data offset
    Write32(&code[40], 64);  // code offset at the block's end
    Write32(&code[44], 8);   // the literal, twice
    Write32(&code[48], 8);
    FuzzBytes& imports = image.Imports();
    auto name = [&](const char* s) {
        imports.push_back(uint8_t(std::strlen(s)));
        imports.insert(imports.end(), s, s + std::strlen(s));
        imports.push_back(0);
    };
    auto site = [&](uint8_t type, uint32_t s) {
        imports.push_back(type);
        Append32(imports, s);
    };
    imports.push_back(kImportEntryPoint);
    imports.push_back(kImportModeCall);
    Append32(imports, 4);
    name("lineTrace");
    imports.push_back(kImportEntryPoint);
    imports.push_back(kImportModeAbsolute);
    Append32(imports, 20);
    name("LINETRACE");
    site(kImportLibrary, 28);
    name("GetTickCount");
    name("kernel32.dll");
    site(kImportData, 36);
    site(kImportCode, 40);
    site(kImportLiteral, 44);
    site(kImportLiteral, 48);
    imports.push_back(9);  // an unknown type, skipped alone
    FuzzBytes& resources = image.blocks[3];
    Append32(resources, 0x44415441u);
    resources.push_back(1);
    resources.push_back(0);
    Append32(resources, 0);
    Append32(resources, 3);
    resources.insert(resources.end(), {'a', 'b', 'c'});
    FuzzBytes& options = image.blocks[4];
    options.push_back(0);
    Append32(options, 5);
    options.insert(options.end(), {'T', 'i', 't', 'l', 'e'});
    Append32(options, 0x08000100u);
    return Encode(image);
}

std::string Hex(uint32_t v) {
    char text[16];
    std::snprintf(text, sizeof text, "%u", static_cast<unsigned>(v));
    return text;
}

// Every changed data byte belongs to a literal's text word that now points at
// that literal's own length byte: linking writes nothing else into data.
std::string CheckDataChanges(const FuzzBytes& before, const GuardedBlock& after) {
    const uint8_t* now = after.Data();
    for (uint32_t i = 0; i < before.size(); ++i) {
        if (now[i] == before[i]) continue;
        bool explained = false;
        for (uint32_t j = i >= 3 ? i - 3 : 0; j <= i && !explained; ++j)
            explained = j >= kLiteralTextAt && j + 4 <= before.size() &&
                        Read32(now + j) == uint32_t(uintptr_t(now + j - kLiteralTextAt + kLiteralLengthByteAt));
        if (!explained) return "data byte " + Hex(i) + " changed by the link";
    }
    return "";
}

class LoaderTarget : public FuzzTarget {
public:
    const char* Name() const override { return "loader"; }
    size_t MaxInputSize() const override { return 4u << 20; }

    std::vector<FuzzBytes> Seeds() override {
        std::vector<FuzzBytes> seeds{SyntheticImage()};
#ifdef ORVANE_SAMPLE_IMAGE
        FuzzBytes sample;
        if (ReadFileBytes(WinePath(ORVANE_SAMPLE_IMAGE), sample)) seeds.push_back(sample);
#endif
        return seeds;
    }

    void Mutate(FuzzBytes& input, FuzzRandom& random) override {
        for (uint32_t n = 1 + Below(random, OneIn(random, 4) ? 8 : 3); n > 0; --n) {
            Image image;
            const uint32_t kind = Below(random, 16);
            if (kind < 12 && Decode(input, image)) {
                if (MutateStructure(image, random)) input = Encode(image);
            } else if (kind < 14) {
                MutateCount(input, random);
            } else {
                MutateBytes(input, random, MaxInputSize());
            }
        }
        if (input.size() > MaxInputSize()) input.resize(MaxInputSize());
    }

    FuzzOutcome Run(const FuzzBytes& input) override {
        FuzzOutcome out;
        if (!file_.IsValid()) {
            char folder[MAX_PATH], path[MAX_PATH];
            GetTempPathA(MAX_PATH, folder);
            GetTempFileNameA(folder, "fzl", 0, path);
            file_.Reset(CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
            if (!file_.IsValid()) return {false, "no temporary file"};
        }
        DWORD written = 0;
        SetFilePointer(file_.Get(), 0, nullptr, FILE_BEGIN);
        if ((!input.empty() && !WriteFile(file_.Get(), input.data(), DWORD(input.size()), &written, nullptr)) ||
            !SetEndOfFile(file_.Get()))
            return {false, "temporary file not written"};

        // Reading: the real reader, compared with the format's own decoding.
        ModuleBlocks blocks;
        StringHandle error;
        const bool read = ReadImageBlocks(file_.Get(), 0, blocks, error);
        Image expected;
        const bool decodes = Decode(input, expected);
        if (read != decodes) return {false, read ? "the reader took a damaged image" : "the reader refused a sound image"};
        if (!read) {
            if (error.IsEmpty()) return {false, "the reader failed without a message"};
            return out;
        }
        const uint8_t* got[kBlockCount] = {blocks.code, blocks.data, blocks.imports, blocks.resources, blocks.options};
        const uint32_t gotSize[kBlockCount] = {blocks.codeSize, blocks.dataSize, blocks.importSize,
                                               blocks.resourceSize, blocks.optionSize};
        for (int i = 0; i < kBlockCount; ++i) {
            if (gotSize[i] != expected.blocks[i].size() ||
                (gotSize[i] && std::memcmp(got[i], expected.blocks[i].data(), gotSize[i]) != 0)) {
                FreeModuleBlocks(blocks);
                return {false, "block " + Hex(i) + " read wrong"};
            }
        }
        FreeModuleBlocks(blocks);

        // Linking, options and resources on guarded copies.
        GuardedBlock code(expected.blocks[0].data(), uint32_t(expected.blocks[0].size()));
        GuardedBlock data(expected.blocks[1].data(), uint32_t(expected.blocks[1].size()));
        GuardedBlock imports(expected.blocks[2].data(), uint32_t(expected.blocks[2].size()));
        GuardedBlock resources(expected.blocks[3].data(), uint32_t(expected.blocks[3].size()));
        GuardedBlock options(expected.blocks[4].data(), uint32_t(expected.blocks[4].size()));
        const GuardedBlock* all[kBlockCount] = {&code, &data, &imports, &resources, &options};
        for (const GuardedBlock* b : all)
            if (!b->Valid()) return {false, "no memory for a guarded block"};

        ParseOptions(options.Data(), options.Size());
        gMDIMode = false;
        StringRelease(gFrameTitle);
        gFrameTitle = nullptr;

        ModuleImage image;
        image.code = code.Data();
        image.codeSize = code.Size();
        image.data = data.Data();
        image.dataSize = data.Size();
        StringHandle linkError;
        out.accepted = LinkImports(image, imports.Data(), imports.Size(), linkError);
        ResetLoaderState();
        if (!out.accepted && linkError.IsEmpty()) out.fault = "the link failed without a message";
        if (out.fault.empty()) out.fault = CheckDataChanges(expected.blocks[1], data);
        if (out.accepted && out.fault.empty() && std::memcmp(imports.Data(), expected.blocks[2].data(), imports.Size()) != 0)
            out.fault = "the link wrote into the import block";

        WindowsResourceManager& manager = WindowsResourceManager::Instance();
        manager.Reset();
        ParseResources(resources.Data(), resources.Size(), 1000);
        for (int32_t i = 0; i < manager.Count() && out.fault.empty(); ++i) {
            const ModuleResource& r = manager.At(i);
            if (r.data < resources.Data() || r.length > uint32_t(resources.Data() + resources.Size() - r.data) ||
                r.fileOffset != 1000 + uint32_t(r.data - resources.Data()))
                out.fault = "resource " + Hex(uint32_t(i)) + " lies outside its block";
        }
        manager.Reset();

        static const char* const kNames[kBlockCount] = {"code", "data", "import", "resource", "options"};
        for (int i = 0; i < kBlockCount && out.fault.empty(); ++i)
            if (!all[i]->Intact()) out.fault = std::string("a write before the ") + kNames[i] + " block";
        return out;
    }

private:
    KernelHandle file_;
};

LoaderTarget gLoader;
FuzzTargetRegistration gRegistration(gLoader);

}  // namespace
