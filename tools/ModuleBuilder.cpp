#include "ModuleBuilder.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <set>
#include <stdexcept>
#include <tuple>
#include <utility>

#include "ByteIo.h"
#include "CoffReader.h"
#include "orvane/encoding.h"
#include "orvane/image.h"

namespace orvtools {

namespace {

// Encodings a literal may carry (orvane/abi.h).
constexpr uint64_t kMaxBlock = 1u << 30;
constexpr uint32_t kMaxAlignment = 4096;

struct BuildFailure : std::runtime_error {
    using std::runtime_error::runtime_error;
};

[[noreturn]] void Fail(const std::string& message) { throw BuildFailure(message); }

bool StartsWith(const std::string& s, const char* prefix) { return s.rfind(prefix, 0) == 0; }

uint32_t AlignUp(uint64_t v, uint32_t alignment) {
    const uint64_t r = (v + alignment - 1) / alignment * alignment;
    if (r > kMaxBlock) Fail("module too large");
    return uint32_t(r);
}

enum class Kind { Drop, Code, Data, ReadOnly, Literal, Bss };

Kind Classify(const CoffSection& s) {
    const std::string& n = s.name;
    if (n == ".drectve" || n == ".rdata$zzz" || StartsWith(n, ".debug") ||
        (s.characteristics & (coff::kLnkInfo | coff::kLnkRemove)))
        return Kind::Drop;
    if (n == kLiteralSection || StartsWith(n, (std::string(kLiteralSection) + "$").c_str())) return Kind::Literal;
    if (StartsWith(n, ".text") || (s.characteristics & coff::kCntCode)) return Kind::Code;
    if (s.uninitialized) return Kind::Bss;
    if (StartsWith(n, ".rdata")) return Kind::ReadOnly;
    return Kind::Data;
}

// One literal record of a literal section, and where it went.
struct LiteralSlice {
    uint32_t start = 0;  // in the section
    uint32_t size = 0;
    uint32_t dataOffset = 0;
};

struct Placement {
    Kind kind = Kind::Drop;
    bool discardedCopy = false;  // a COMDAT copy another object provides
    uint32_t offset = 0;         // in its block
    std::vector<LiteralSlice> literals;
};

struct Global {
    enum Type { Defined, Common, Absolute } type = Defined;
    size_t object = 0;
    uint32_t symbol = 0;
    uint32_t value = 0;  // common: size, later its data offset; absolute: value
    bool inComdat = false;
};

struct Target {
    enum Type { Import, Code, Data, Literal, Absolute } type = Import;
    uint32_t value = 0;
    std::string name;  // import: the COFF symbol name
};

std::string CName(const std::string& symbol) {
    return !symbol.empty() && symbol[0] == '_' ? symbol.substr(1) : symbol;
}

class Linker {
public:
    Linker(const std::vector<ObjectInput>& inputs, const BuildOptions& options)
        : inputs_(inputs), options_(options) {}

    void Run(BuildResult& out) {
        objects_.resize(inputs_.size());
        for (size_t i = 0; i < inputs_.size(); ++i) {
            std::string error;
            if (!ReadCoffObject(inputs_[i].bytes.data(), inputs_[i].bytes.size(), inputs_[i].path, objects_[i],
                                error))
                Fail(error);
        }
        if (objects_.empty()) Fail("no objects");
        Classify();
        SelectComdats();
        CollectGlobals();
        LayoutCode();
        LayoutData();
        ApplyRelocations();
        out.blocks.code = std::move(code_);
        out.blocks.data = std::move(data_);
        out.blocks.imports = std::move(imports_);
        out.blocks.resources.clear();
        out.blocks.options.clear();
        MakeMap(out.map);
    }

private:
    std::string Where(size_t o, size_t s, uint32_t offset) const {
        return objects_[o].path + ": " + objects_[o].sections[s].name + "+" + Hex(offset);
    }

    std::string SectionOf(size_t o, size_t s) const {
        return objects_[o].path + ": section " + objects_[o].sections[s].name;
    }

    void Classify() {
        placements_.resize(objects_.size());
        for (size_t o = 0; o < objects_.size(); ++o) {
            placements_[o].resize(objects_[o].sections.size());
            for (size_t s = 0; s < objects_[o].sections.size(); ++s)
                placements_[o][s].kind = orvtools::Classify(objects_[o].sections[s]);
        }
    }

    bool Kept(size_t o, size_t s) const { return placements_[o][s].kind != Kind::Drop; }

    void Discard(size_t o, size_t s) {
        placements_[o][s].kind = Kind::Drop;
        placements_[o][s].discardedCopy = true;
    }

    void SelectComdats() {
        std::map<std::string, std::pair<size_t, size_t>> owners;
        for (size_t o = 0; o < objects_.size(); ++o) {
            for (size_t s = 0; s < objects_[o].sections.size(); ++s) {
                const CoffSection& sec = objects_[o].sections[s];
                if (!(sec.characteristics & coff::kLnkComdat) || sec.comdatSelection == coff::kComdatAssociative)
                    continue;
                const std::string& key = objects_[o].symbols[size_t(sec.comdatSymbol)].name;
                auto it = owners.find(key);
                if (it == owners.end()) {
                    owners.emplace(key, std::make_pair(o, s));
                    continue;
                }
                if (sec.comdatSelection == coff::kComdatNoDuplicates)
                    Fail(SectionOf(o, s) + ": " + key + " is defined more than once (also in " +
                         objects_[it->second.first].path + ")");
                Discard(o, s);
            }
        }
        // An associative section follows the section it is attached to.
        for (bool changed = true; changed;) {
            changed = false;
            for (size_t o = 0; o < objects_.size(); ++o) {
                for (size_t s = 0; s < objects_[o].sections.size(); ++s) {
                    const CoffSection& sec = objects_[o].sections[s];
                    if (!(sec.characteristics & coff::kLnkComdat) ||
                        sec.comdatSelection != coff::kComdatAssociative || placements_[o][s].discardedCopy)
                        continue;
                    if (placements_[o][size_t(sec.comdatAssociate) - 1].discardedCopy) {
                        Discard(o, s);
                        changed = true;
                    }
                }
            }
        }
    }

    void CollectGlobals() {
        for (size_t o = 0; o < objects_.size(); ++o) {
            const CoffObject& obj = objects_[o];
            for (uint32_t i = 0; i < obj.symbols.size(); ++i) {
                const CoffSymbol& sym = obj.symbols[i];
                if (sym.isAux) continue;
                if (sym.storageClass == coff::kClassWeakExternal) {
                    weak_.emplace(sym.name, std::make_pair(o, i));
                    continue;
                }
                if (sym.storageClass != coff::kClassExternal) continue;
                if (sym.section > 0) {
                    const size_t s = size_t(sym.section) - 1;
                    if (!Kept(o, s)) continue;  // a dropped copy: the kept one defines it
                    const bool comdat = (obj.sections[s].characteristics & coff::kLnkComdat) != 0;
                    auto it = globals_.find(sym.name);
                    if (it != globals_.end() && it->second.type != Global::Common) {
                        if (comdat && it->second.inComdat) continue;
                        Fail(SectionOf(o, s) + ": " + sym.name + " is defined more than once (also in " +
                             objects_[it->second.object].path + ")");
                    }
                    Global g;
                    g.type = Global::Defined;
                    g.object = o;
                    g.symbol = i;
                    g.inComdat = comdat;
                    globals_[sym.name] = g;
                } else if (sym.section == coff::kSectionAbsolute) {
                    auto it = globals_.find(sym.name);
                    if (it != globals_.end() && it->second.type != Global::Common)
                        Fail(obj.path + ": absolute symbol " + sym.name + " is defined more than once");
                    Global g;
                    g.type = Global::Absolute;
                    g.object = o;
                    g.symbol = i;
                    g.value = sym.value;
                    globals_[sym.name] = g;
                } else if (sym.section == coff::kSectionUndefined && sym.value > 0) {
                    auto it = globals_.find(sym.name);
                    if (it == globals_.end()) {
                        Global g;
                        g.type = Global::Common;
                        g.object = o;
                        g.symbol = i;
                        g.value = sym.value;
                        globals_[sym.name] = g;
                    } else if (it->second.type == Global::Common) {
                        it->second.value = std::max(it->second.value, sym.value);
                    }
                }
            }
        }
        for (auto& [name, g] : globals_)
            if (g.type == Global::Common && g.value > (64u << 20))
                Fail(objects_[g.object].path + ": common symbol " + name + " too large");
    }

    void Append(std::vector<uint8_t>& block, uint32_t at, const CoffSection& sec, uint8_t fill) {
        if (block.size() < at) block.resize(at, fill);
        if (uint64_t(at) + sec.size > kMaxBlock) Fail("module too large");
        if (sec.uninitialized)
            block.resize(size_t(at) + sec.size, 0);
        else
            block.insert(block.end(), sec.data.begin(), sec.data.end());
    }

    void LayoutCode() {
        const std::string entrySymbol = "_" + options_.entry;
        auto it = globals_.find(entrySymbol);
        if (it == globals_.end() || it->second.type != Global::Defined)
            Fail("the entry routine " + options_.entry + " (symbol " + entrySymbol + ") is not defined");
        const size_t eo = it->second.object;
        const CoffSymbol& entry = objects_[eo].symbols[it->second.symbol];
        const size_t es = size_t(entry.section) - 1;
        if (placements_[eo][es].kind != Kind::Code)
            Fail(SectionOf(eo, es) + ": the entry routine " + entrySymbol + " is not in a code section");
        if (entry.value >= objects_[eo].sections[es].size)
            Fail(SectionOf(eo, es) + ": " + entrySymbol + " lies outside its section");

        std::vector<std::pair<size_t, size_t>> order{{eo, es}};
        for (size_t o = 0; o < objects_.size(); ++o)
            for (size_t s = 0; s < objects_[o].sections.size(); ++s)
                if (placements_[o][s].kind == Kind::Code && !(o == eo && s == es)) order.emplace_back(o, s);

        uint64_t at = entry.value == 0 ? 0 : 5;  // room for the jmp
        for (const auto& [o, s] : order) {
            const CoffSection& sec = objects_[o].sections[s];
            at = AlignUp(at, std::min(sec.Alignment(), kMaxAlignment));
            placements_[o][s].offset = uint32_t(at);
            Append(code_, uint32_t(at), sec, 0xCC);  // padding traps
            at = code_.size();
        }
        if (entry.value != 0) {
            const uint64_t target = uint64_t(placements_[eo][es].offset) + entry.value;
            code_[0] = 0xE9;
            Write32(&code_[1], uint32_t(target - 5));
        }
    }

    void PlaceData(Kind kind) {
        for (size_t o = 0; o < objects_.size(); ++o) {
            for (size_t s = 0; s < objects_[o].sections.size(); ++s) {
                if (placements_[o][s].kind != kind) continue;
                const CoffSection& sec = objects_[o].sections[s];
                const uint32_t at = AlignUp(data_.size(), std::min(sec.Alignment(), kMaxAlignment));
                placements_[o][s].offset = at;
                Append(data_, at, sec, 0);
            }
        }
    }

    // A named symbol at offset of a section, for messages.
    std::string SymbolAt(size_t o, size_t s, uint32_t offset) const {
        for (const CoffSymbol& sym : objects_[o].symbols)
            if (!sym.isAux && !sym.sectionDefinition && sym.section == int16_t(s + 1) && sym.value == offset)
                return sym.name;
        return objects_[o].sections[s].name + "+" + Hex(offset);
    }

    // The target of a relocation for messages: a section symbol is shown as
    // the name defined where it points, when there is one.
    std::string Describe(size_t o, uint32_t index, uint32_t addend) const {
        const CoffSymbol& sym = objects_[o].symbols[index];
        if (!sym.sectionDefinition) return sym.name;
        const size_t s = size_t(sym.section) - 1;
        const uint32_t into = sym.value + addend;
        const std::string place = objects_[o].sections[s].name + "+" + Hex(into);
        const std::string name = SymbolAt(o, s, into);
        return name == place ? place : name + " (" + place + ")";
    }

    void PlaceLiterals(size_t o, size_t s) {
        const CoffSection& sec = objects_[o].sections[s];
        const std::vector<uint8_t>& d = sec.data;
        Placement& place = placements_[o][s];
        uint32_t pos = 0;
        while (pos < sec.size) {
            if (sec.uninitialized || std::all_of(d.begin() + pos, d.end(), [](uint8_t b) { return b == 0; }))
                break;  // trailing padding
            auto where = [&] { return Where(o, s, pos) + ": literal " + SymbolAt(o, s, pos); };
            if (sec.size - pos < kLiteralHeaderSize + 1) Fail(where() + ": malformed (cut short)");
            const uint8_t* p = &d[pos];
            const uint32_t refCount = Read32(p + kLiteralRefCountAt), text = Read32(p + kLiteralTextAt);
            const uint32_t capacity = Read32(p + kLiteralCapacityAt), length = Read32(p + kLiteralLengthAt);
            const uint32_t encoding = Read32(p + kLiteralEncodingAt);
            const uint8_t lengthByte = p[kLiteralLengthByteAt];
            if (refCount != 1) Fail(where() + ": malformed (refCount " + std::to_string(refCount) + ", not 1)");
            if (text != 0) Fail(where() + ": malformed (text pointer " + Hex(text) + ", not 0)");
            if (length == 0) Fail(where() + ": malformed (length 0: the empty string is nil)");
            if (length > sec.size - pos - kLiteralHeaderSize - 1)
                Fail(where() + ": malformed (length runs past the section)");
            if (capacity != length + 2)
                Fail(where() + ": malformed (capacity " + std::to_string(capacity) + ", not length + 2 = " +
                     std::to_string(length + 2) + ")");
            if (encoding != kEncodingUTF8 && encoding != kEncodingASCII)
                Fail(where() + ": malformed (encoding " + Hex(encoding) + ", not UTF-8 or ASCII)");
            if (lengthByte != (length < 256 ? length : 255))
                Fail(where() + ": malformed (length byte " + std::to_string(lengthByte) + ")");
            if (p[kLiteralBytesAt + length] != 0) Fail(where() + ": malformed (no NUL after the text)");
            const uint32_t recordSize = uint32_t(LiteralRecordSize(length));
            if (recordSize > sec.size - pos) Fail(where() + ": malformed (record runs past the section)");
            for (uint32_t k = kLiteralBytesAt + length + 1; k < recordSize; ++k)
                if (p[k] != 0) Fail(where() + ": malformed (padding after the NUL is not zero)");
            if (encoding == kEncodingASCII)
                for (uint32_t k = 0; k < length; ++k)
                    if (p[kLiteralBytesAt + k] & 0x80) Fail(where() + ": malformed (ASCII literal with a byte >= 0x80)");

            std::vector<uint8_t> key(p, p + recordSize);
            auto it = literalPool_.find(key);
            uint32_t at;
            if (it == literalPool_.end()) {
                at = AlignUp(data_.size(), 4);
                data_.resize(at, 0);
                data_.insert(data_.end(), key.begin(), key.end());
                literalPool_.emplace(std::move(key), at);
            } else {
                at = it->second;
            }
            place.literals.push_back(LiteralSlice{pos, recordSize, at});
            pos += recordSize;
        }
        // Every name in the section must be a record's own.
        std::set<uint32_t> starts;
        for (const LiteralSlice& l : place.literals) starts.insert(l.start);
        for (const CoffSymbol& sym : objects_[o].symbols) {
            if (sym.isAux || sym.sectionDefinition || sym.section != int16_t(s + 1)) continue;
            if (!starts.count(sym.value))
                Fail(Where(o, s, sym.value) + ": literal " + sym.name +
                     " is misaligned (not at the start of a 4-byte aligned record)");
        }
    }

    void LayoutData() {
        PlaceData(Kind::Data);
        PlaceData(Kind::ReadOnly);
        for (size_t o = 0; o < objects_.size(); ++o)
            for (size_t s = 0; s < objects_[o].sections.size(); ++s)
                if (placements_[o][s].kind == Kind::Literal) PlaceLiterals(o, s);
        PlaceData(Kind::Bss);
        for (auto& [name, g] : globals_) {
            if (g.type != Global::Common) continue;
            const uint32_t size = g.value;
            const uint32_t alignment = size >= 16 ? 16 : size >= 8 ? 8 : size >= 4 ? 4 : 1;
            const uint32_t at = AlignUp(data_.size(), alignment);
            data_.resize(size_t(at) + size, 0);
            g.value = at;
        }
        if (data_.size() > kMaxBlock) Fail("module too large");
    }

    // Where symbol + addend of section s lies.
    Target Locate(size_t o, size_t s, uint32_t value, uint32_t addend, const std::string& symbol) const {
        const Placement& place = placements_[o][s];
        Target t;
        const uint32_t into = value + addend;
        switch (place.kind) {
        case Kind::Drop:
            Fail("refers to " + symbol + " in the dropped section " + objects_[o].sections[s].name + " of " +
                 objects_[o].path);
        case Kind::Code:
            t.type = Target::Code;
            t.value = place.offset + into;
            return t;
        case Kind::Literal:
            for (const LiteralSlice& l : place.literals) {
                if (into >= l.start && into - l.start < l.size) {
                    t.type = into == l.start ? Target::Literal : Target::Data;
                    t.value = l.dataOffset + (into - l.start);
                    return t;
                }
            }
            Fail("refers to " + symbol + "+" + Hex(addend) + ", not inside a literal of " +
                 objects_[o].sections[s].name + " of " + objects_[o].path);
        default:
            t.type = Target::Data;
            t.value = place.offset + into;
            return t;
        }
    }

    Target Resolve(size_t o, uint32_t index, uint32_t addend, int depth = 0) const {
        const CoffSymbol& sym = objects_[o].symbols[index];
        if (depth > 8) Fail("weak symbol " + sym.name + " does not resolve");
        if (sym.section > 0) {
            const size_t s = size_t(sym.section) - 1;
            if (!placements_[o][s].discardedCopy || sym.storageClass != coff::kClassExternal)
                return Locate(o, s, sym.value, addend, sym.name);
        } else if (sym.section == coff::kSectionAbsolute) {
            Target t;
            t.type = Target::Absolute;
            t.value = sym.value + addend;
            return t;
        } else if (sym.section == coff::kSectionDebug) {
            Fail("refers to the debug symbol " + sym.name);
        } else if (sym.storageClass != coff::kClassExternal && sym.storageClass != coff::kClassWeakExternal) {
            Fail("refers to the undefined local symbol " + sym.name);
        }
        auto it = globals_.find(sym.name);
        if (it != globals_.end()) {
            const Global& g = it->second;
            Target t;
            switch (g.type) {
            case Global::Defined: {
                const CoffSymbol& def = objects_[g.object].symbols[g.symbol];
                return Locate(g.object, size_t(def.section) - 1, def.value, addend, def.name);
            }
            case Global::Common:
                t.type = Target::Data;
                t.value = g.value + addend;
                return t;
            case Global::Absolute:
                t.type = Target::Absolute;
                t.value = g.value + addend;
                return t;
            }
        }
        auto w = weak_.find(sym.name);
        if (w != weak_.end()) {
            const auto [wo, wi] = w->second;
            const CoffSymbol& weak = objects_[wo].symbols[wi];
            if (weak.weakDefault >= 0) return Resolve(wo, uint32_t(weak.weakDefault), addend, depth + 1);
        }
        Target t;
        t.type = Target::Import;
        t.name = sym.name;
        return t;
    }

    // The loader refuses an address that points before its block or more than
    // one byte past its end, so such an image is never built.
    static void RequireInsideBlock(const std::string& where, const std::string& symbol, uint32_t offset,
                                   size_t blockSize, const char* block) {
        if (offset > blockSize)
            Fail(where + ": address of " + symbol + " lies outside the " + block + " block (offset " +
                 Hex(offset) + ", block size " + Hex(uint32_t(blockSize)) + ")");
    }

    void ApplyRelocations() {
        std::vector<std::pair<uint32_t, uint8_t>> plain;  // site, type 2/3/5
        for (size_t o = 0; o < objects_.size(); ++o) {
            for (size_t s = 0; s < objects_[o].sections.size(); ++s) {
                const Placement& place = placements_[o][s];
                if (place.kind == Kind::Drop) continue;
                const CoffObject& obj = objects_[o];
                const CoffSection& sec = obj.sections[s];
                std::vector<CoffRelocation> relocations;
                for (const CoffRelocation& r : sec.relocations)
                    if (r.type != coff::kRelAbsolute) relocations.push_back(r);
                if (place.kind != Kind::Code) {
                    if (!relocations.empty()) {
                        const CoffRelocation& r = relocations.front();
                        const bool wide = r.type == coff::kRelDir32 || r.type == coff::kRelRel32;
                        const uint32_t addend = wide && !sec.uninitialized ? Read32(&sec.data[r.offset]) : 0;
                        Fail(Where(o, s, r.offset) + ": address of " + Describe(o, r.symbol, addend) +
                             " stored in the data section " + sec.name +
                             ": the module format has relocations only in the code block");
                    }
                    continue;
                }
                std::sort(relocations.begin(), relocations.end(),
                          [](const CoffRelocation& a, const CoffRelocation& b) { return a.offset < b.offset; });
                for (size_t k = 0; k < relocations.size(); ++k) {
                    const CoffRelocation& r = relocations[k];
                    const std::string where = Where(o, s, r.offset);
                    if (r.type != coff::kRelDir32 && r.type != coff::kRelRel32)
                        Fail(where + ": relocation type " + Hex(r.type) + " to " + Describe(o, r.symbol, 0) +
                             " is not supported");
                    const uint32_t site = place.offset + r.offset;
                    const uint32_t addend = Read32(&code_[site]);
                    auto symbol = [&] { return Describe(o, r.symbol, addend); };  // for messages only
                    if (k > 0 && r.offset < relocations[k - 1].offset + 4)
                        Fail(where + ": relocation to " + symbol() + " overlaps the one before it");
                    Target t;
                    try {
                        t = Resolve(o, r.symbol, addend);
                    } catch (const BuildFailure& e) {
                        Fail(where + ": " + e.what());
                    }
                    const bool relative = r.type == coff::kRelRel32;
                    switch (t.type) {
                    case Target::Import: {
                        const std::string name = CName(t.name);
                        if (!options_.exports.count(name))
                            Fail(where + ": " + name + " (symbol " + t.name +
                                 ") is not an entry point the runtime exports");
                        if (addend != 0)
                            Fail(where + ": " + (relative ? "call of " : "address of ") + name + " (symbol " +
                                 t.name + ") with addend " + std::to_string(int32_t(addend)) +
                                 ": an entry-point site holds the bare address");
                        if (name.size() > 255) Fail(where + ": entry-point name " + name + " too long");
                        const uint8_t mode = relative ? kImportModeCall : kImportModeAbsolute;
                        auto key = std::make_pair(mode, name);
                        auto it = chainIndex_.find(key);
                        if (it == chainIndex_.end()) {
                            it = chainIndex_.emplace(key, chains_.size()).first;
                            chains_.push_back({mode, name, {}});
                        }
                        chains_[it->second].sites.push_back(site);
                        break;
                    }
                    case Target::Code:
                        if (relative) {
                            Write32(&code_[site], t.value - (site + 4));
                        } else {
                            RequireInsideBlock(where, symbol(), t.value, code_.size(), "code");
                            Write32(&code_[site], t.value);
                            plain.emplace_back(site, kImportCode);
                        }
                        break;
                    case Target::Data:
                    case Target::Literal:
                        if (relative)
                            Fail(where + ": relative reference to the data symbol " + symbol() +
                                 ": code and data blocks are placed apart");
                        RequireInsideBlock(where, symbol(), t.value, data_.size(), "data");
                        Write32(&code_[site], t.value);
                        plain.emplace_back(site, t.type == Target::Literal ? kImportLiteral : kImportData);
                        break;
                    case Target::Absolute:
                        if (relative) Fail(where + ": relative reference to the absolute symbol " + symbol());
                        Write32(&code_[site], t.value);
                        break;
                    }
                }
            }
        }
        for (Chain& c : chains_) {
            std::sort(c.sites.begin(), c.sites.end());
            for (size_t k = 0; k < c.sites.size(); ++k)
                Write32(&code_[c.sites[k]], k + 1 < c.sites.size() ? c.sites[k + 1] : 0);
            ImportRecord r;
            r.type = kImportEntryPoint;
            r.mode = c.mode;
            r.site = c.sites.front();
            r.name = c.name;
            AppendImportRecord(imports_, r);
        }
        std::sort(plain.begin(), plain.end());
        for (const auto& [site, type] : plain) {
            ImportRecord r;
            r.type = type;
            r.site = site;
            AppendImportRecord(imports_, r);
        }
    }

    void MakeMap(std::vector<MapEntry>& map) const {
        map.clear();
        for (size_t o = 0; o < objects_.size(); ++o) {
            for (const CoffSymbol& sym : objects_[o].symbols) {
                if (sym.isAux || sym.sectionDefinition || sym.section <= 0) continue;
                const size_t s = size_t(sym.section) - 1;
                const Placement& place = placements_[o][s];
                if (place.kind == Kind::Drop) continue;
                MapEntry e;
                e.block = place.kind == Kind::Code ? 'c' : 'd';
                e.symbol = sym.name;
                if (place.kind == Kind::Literal) {
                    for (const LiteralSlice& l : place.literals)
                        if (l.start == sym.value) e.offset = l.dataOffset;
                } else {
                    e.offset = place.offset + sym.value;
                }
                map.push_back(e);
            }
        }
        for (const auto& [name, g] : globals_) {
            if (g.type != Global::Common) continue;
            map.push_back(MapEntry{'d', g.value, name});
        }
        std::sort(map.begin(), map.end(), [](const MapEntry& a, const MapEntry& b) {
            return std::tie(a.block, a.offset, a.symbol) < std::tie(b.block, b.offset, b.symbol);
        });
    }

    struct Chain {
        uint8_t mode;
        std::string name;
        std::vector<uint32_t> sites;
    };

    const std::vector<ObjectInput>& inputs_;
    const BuildOptions& options_;
    std::vector<CoffObject> objects_;
    std::vector<std::vector<Placement>> placements_;
    std::map<std::string, Global> globals_;
    std::map<std::string, std::pair<size_t, uint32_t>> weak_;
    std::map<std::vector<uint8_t>, uint32_t> literalPool_;
    std::map<std::pair<uint8_t, std::string>, size_t> chainIndex_;
    std::vector<Chain> chains_;
    std::vector<uint8_t> code_, data_, imports_;
};

}  // namespace

bool BuildModule(const std::vector<ObjectInput>& objects, const BuildOptions& options, BuildResult& out,
                 std::string& error) {
    out = BuildResult();
    try {
        Linker(objects, options).Run(out);
        return true;
    } catch (const BuildFailure& e) {
        error = e.what();
        out = BuildResult();
        return false;
    }
}

std::string FormatMap(const std::vector<MapEntry>& map) {
    std::string text;
    char line[32];
    for (const MapEntry& e : map) {
        std::snprintf(line, sizeof line, "%s 0x%08x ", e.block == 'c' ? "code" : "data", unsigned(e.offset));
        text += line;
        text += e.symbol;
        text += '\n';
    }
    return text;
}

}  // namespace orvtools
