#include "ModuleImage.h"

#include <set>

#include "ByteIo.h"

namespace orvtools {

std::vector<uint8_t> EncodeImage(const ModuleBlocks& blocks) {
    std::vector<uint8_t> out;
    for (const std::vector<uint8_t>* b :
         {&blocks.code, &blocks.data, &blocks.imports, &blocks.resources, &blocks.options}) {
        Append32(out, uint32_t(b->size()));
        out.insert(out.end(), b->begin(), b->end());
    }
    return out;
}

bool DecodeImage(const uint8_t* bytes, size_t size, ModuleBlocks& blocks, size_t& consumed,
                 std::string& error) {
    static const char* const kNames[] = {"code", "data", "import", "resource", "options"};
    std::vector<uint8_t>* parts[] = {&blocks.code, &blocks.data, &blocks.imports, &blocks.resources,
                                     &blocks.options};
    uint64_t at = 0;
    for (int i = 0; i < 5; ++i) {
        if (!InBounds(size, at, 4)) {
            error = std::string("image cut short before the ") + kNames[i] + " count";
            return false;
        }
        const uint32_t n = Read32(bytes + at);
        at += 4;
        if (!InBounds(size, at, n)) {
            error = std::string("image: the ") + kNames[i] + " block (" + std::to_string(n) +
                    " bytes) runs past the end";
            return false;
        }
        parts[i]->assign(bytes + at, bytes + at + n);
        at += n;
    }
    consumed = size_t(at);
    return true;
}

bool WriteDevelopmentFiles(const std::string& dir, const ModuleBlocks& blocks, std::string& error) {
    const std::string prefix = dir.empty() ? std::string() : dir + "/";
    return WriteFile(prefix + "import.dat", blocks.imports, error) &&
           WriteFile(prefix + "code.dat", blocks.code, error) &&
           WriteFile(prefix + "data.dat", blocks.data, error) &&
           WriteFile(prefix + "rsrc.dat", blocks.resources, error) &&
           WriteFile(prefix + "options.dat", blocks.options, error);
}

namespace {

void AppendName(std::vector<uint8_t>& block, const std::string& name) {
    Append8(block, uint8_t(name.size()));
    block.insert(block.end(), name.begin(), name.end());
    Append8(block, 0);
}

bool ReadName(const std::vector<uint8_t>& block, size_t& p, std::string& name) {
    if (!InBounds(block.size(), p, 1)) return false;
    const size_t n = block[p];
    if (!InBounds(block.size(), p + 1, n + 1)) return false;
    name.assign(block.begin() + long(p + 1), block.begin() + long(p + 1 + n));
    p += n + 2;
    return true;
}

}  // namespace

void AppendImportRecord(std::vector<uint8_t>& block, const ImportRecord& record) {
    Append8(block, record.type);
    switch (record.type) {
    case kImportEntryPoint:
        Append8(block, record.mode);
        Append32(block, record.site);
        AppendName(block, record.name);
        break;
    case kImportLibrary:
        Append32(block, record.site);
        AppendName(block, record.name);
        AppendName(block, record.library);
        break;
    default:
        Append32(block, record.site);
        break;
    }
}

bool DecodeImports(const std::vector<uint8_t>& block, std::vector<ImportRecord>& records,
                   std::string& error) {
    records.clear();
    size_t p = 0;
    while (p < block.size()) {
        const size_t start = p;
        ImportRecord r;
        r.type = block[p++];
        bool ok = true;
        switch (r.type) {
        case kImportEntryPoint:
            ok = InBounds(block.size(), p, 5);
            if (ok) {
                r.mode = block[p];
                r.site = Read32(&block[p + 1]);
                p += 5;
                ok = ReadName(block, p, r.name);
            }
            break;
        case kImportLibrary:
            ok = InBounds(block.size(), p, 4);
            if (ok) {
                r.site = Read32(&block[p]);
                p += 4;
                ok = ReadName(block, p, r.name) && ReadName(block, p, r.library);
            }
            break;
        case kImportData:
        case kImportCode:
        case kImportLiteral:
            ok = InBounds(block.size(), p, 4);
            if (ok) {
                r.site = Read32(&block[p]);
                p += 4;
            }
            break;
        default:
            error = "import record of unknown type " + std::to_string(r.type) + " at " + Hex(start);
            return false;
        }
        if (!ok) {
            error = "import record at " + Hex(start) + " cut short";
            return false;
        }
        records.push_back(r);
    }
    return true;
}

bool WalkChain(const std::vector<uint8_t>& code, uint32_t first, std::vector<uint32_t>& sites,
               std::string& error) {
    sites.clear();
    std::set<uint32_t> seen;
    uint32_t s = first;
    while (true) {
        if (!InBounds(code.size(), s, 4)) {
            error = "chain site " + Hex(s) + " outside the code block";
            return false;
        }
        if (!seen.insert(s).second) {
            error = "chain loops at " + Hex(s);
            return false;
        }
        sites.push_back(s);
        s = Read32(&code[s]);
        if (s == 0) return true;
    }
}

}  // namespace orvtools
