// Route files through the route code: the route fuzz module (the route
// sources the map tool is built from, plus a small entry) is loaded into
// this process once and called with every input written to a file, so the
// watchdog, the crash filter and the memory bound of the fuzzing program
// hold for it. Mutations know the statement form of a route line:
// "distance,statement,statement..." with ".keyword argument;argument".
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "loader/loaderX86.h"
#include "objects/RuntimeObjectFoundation.h"
#include "startup/Win32Owners.h"
#include "strings/string.h"
#include "tests/TestFiles.h"
#include "tests/fuzz/FuzzMutations.h"
#include "tests/fuzz/RouteFuzzCall.h"

namespace {

// The reference walk is quadratic: only files up to this size are compared.
constexpr size_t kCompareLimit = 8192;
constexpr size_t kMaxRouteSize = 4u << 20;

// ---- The module ---------------------------------------------------------------------

class RouteModule {
public:
    ~RouteModule() { FreeModuleBlocks(blocks_); }

    // Loads and links the image on first use; the problem stays for later calls.
    const std::string& Load() {
        if (tried_) return problem_;
        tried_ = true;
#ifdef ORVANE_ROUTE_FUZZ_IMAGE
        KernelHandle file(CreateFileA(WinePath(ORVANE_ROUTE_FUZZ_IMAGE).c_str(), GENERIC_READ, FILE_SHARE_READ,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        StringHandle error;
        if (!file.IsValid()) {
            problem_ = "the route fuzz module image cannot be opened";
        } else if (!ReadImageBlocks(file.Get(), 0, blocks_, error)) {
            problem_ = "the route fuzz module image cannot be read";
        } else {
            ModuleImage image;
            image.code = blocks_.code;
            image.codeSize = blocks_.codeSize;
            image.data = blocks_.data;
            image.dataSize = blocks_.dataSize;
            if (!LinkImports(image, blocks_.imports, blocks_.importSize, error))
                problem_ = "the route fuzz module does not link";
            else
                FlushInstructionCache(GetCurrentProcess(), blocks_.code, blocks_.codeSize);
        }
#else
        problem_ = "built without the route fuzz module";
#endif
        return problem_;
    }

    // The entry routine is byte 0 of the code block.
    void Call(RouteFuzzCall& call) { reinterpret_cast<int(__cdecl*)(RouteFuzzCall*)>(blocks_.code)(&call); }

private:
    ModuleBlocks blocks_;
    bool tried_ = false;
    std::string problem_;
};

// ---- Lines of a route file ------------------------------------------------------------

using Line = std::string;  // bytes, with their line end

std::vector<Line> SplitLines(const FuzzBytes& bytes) {
    std::vector<Line> lines;
    size_t start = 0;
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\n') {
            lines.emplace_back(bytes.begin() + start, bytes.begin() + i + 1);
            start = i + 1;
        }
    }
    if (start < bytes.size()) lines.emplace_back(bytes.begin() + start, bytes.end());
    return lines;
}

FuzzBytes JoinLines(const std::vector<Line>& lines) {
    FuzzBytes out;
    for (const Line& l : lines) out.insert(out.end(), l.begin(), l.end());
    return out;
}

// The line without its end, and its end.
size_t BodyLength(const Line& l) {
    size_t n = l.size();
    while (n && (l[n - 1] == '\n' || l[n - 1] == '\r')) --n;
    return n;
}

template <size_t N>
const char* Pick(FuzzRandom& random, const char* const (&table)[N]) {
    return table[Below(random, N)];
}

const char* const kEdgeNumbers[] = {
    "0", "-0", "1e308", "-1e308", "1e309", "NaN", "nan", "-nan", "inf", "-Infinity", "2147483647", "2147483648",
    "-2147483648", "-2147483649", "4294967296", "99999999999999999999999", "1e-320", "0x10", "&H7FFFFFFF", ".5",
    "5.", "-", "+", "e5", "1e", "12abc", "  7  ", "1d3", "", " ", "1.#INF", "\x82\x52\x82\x4f\x82\x4f",  // full-width 300
};
const char* const kKeywords[] = {".curve", ".pitch", ".limit",  ".sta",        ".freeobj",   "Track.Curve",
                                 ".PITCH", ".Limit", "TRACK.STA", ".FreeObj",   ".curveball", ".rail",
                                 ".",      "Track.", ".sta.sta",  ".curve.pitch"};
// Bytes that are not Shift_JIS: lone lead bytes, leads before a byte that
// cannot trail, single bytes no table maps.
const char* const kBadShiftJis[] = {"\x81", "\x9f", "\xe0", "\xfc", "\x80", "\xa0", "\xfd", "\xff",
                                    "\x81\x7f", "\x81\r", "\x81,", "\x82;", "\xef\xfc", "\x85\x40"};
const char* const kNames[] = {"\x89\xd4\x90\x85\x96\xd8",  // 花水木
                              "\x8a\x43\x95\x6c\x8c\xf6\x89\x80", "A", ""};

std::string Number(FuzzRandom& random) {
    if (OneIn(random, 2)) return Pick(random, kEdgeNumbers);
    char text[32];
    const int32_t v = OneIn(random, 2) ? int32_t(Below(random, 2000)) - 1000 : int32_t(InterestingNumber(random, 1000));
    std::snprintf(text, sizeof text, OneIn(random, 4) ? "%d.25" : "%d", v);
    return text;
}

// A statement as a route line holds it, sometimes without its argument.
std::string Statement(FuzzRandom& random) {
    std::string s = Pick(random, kKeywords);
    switch (Below(random, 4)) {
    case 0: return s;  // no argument at all
    case 1: return s + " ";
    default: break;
    }
    s += ' ';
    if (s.find("sta") != std::string::npos && OneIn(random, 2)) return s + Pick(random, kNames) + ";";
    const uint32_t n = 1 + Below(random, 6);
    for (uint32_t i = 0; i < n; ++i) s += (i ? ";" : "") + Number(random);
    if (OneIn(random, 3)) s += ";";
    return s;
}

// Where a keyword starts in the body of a line, or npos.
size_t KeywordAt(const Line& l, FuzzRandom& random) {
    std::vector<size_t> dots;
    for (size_t i = 0, n = BodyLength(l); i < n; ++i)
        if (l[i] == '.') dots.push_back(i);
    return dots.empty() ? std::string::npos : dots[Below(random, uint32_t(dots.size()))];
}

void MutateLines(std::vector<Line>& lines, FuzzRandom& random) {
    if (lines.empty()) lines.push_back("0,.curve 300;0\r\n");
    const uint32_t count = uint32_t(lines.size());
    const uint32_t i = Below(random, count);
    Line& l = lines[i];
    const size_t body = BodyLength(l);
    switch (Below(random, 14)) {
    case 0: {  // an edge number as the distance
        const size_t comma = l.find(',');
        l = Number(random) + (comma == std::string::npos || comma > body ? "," + l : l.substr(comma));
        break;
    }
    case 1: {  // an edge number as an argument
        const size_t k = KeywordAt(l, random);
        if (k == std::string::npos) break;
        size_t a = l.find(' ', k);
        if (a == std::string::npos || a > body) a = body;
        else ++a;
        size_t e = a;
        while (e < body && l[e] != ';' && l[e] != ',') ++e;
        l.replace(a, e - a, (a == body ? " " : "") + Number(random));
        break;
    }
    case 2:  // distances out of order
        std::swap(l, lines[Below(random, count)]);
        if (OneIn(random, 2)) std::reverse(lines.begin() + i, lines.begin() + std::min(count, i + 1 + Below(random, 40)));
        break;
    case 3: {  // a statement left without its argument
        const size_t k = KeywordAt(l, random);
        if (k == std::string::npos) break;
        size_t e = k + 1;
        while (e < body && l[e] != ' ' && l[e] != ';' && l[e] != ',') ++e;
        l = l.substr(0, e) + (OneIn(random, 2) ? "" : OneIn(random, 2) ? " ;;" : " ") + l.substr(body);
        break;
    }
    case 4: {  // bytes that are not Shift_JIS
        const std::string bad = Pick(random, kBadShiftJis);
        if (OneIn(random, 4)) l = l.substr(0, body) + bad;  // a lead byte against the line end or the file's end
        else l.insert(Below(random, uint32_t(body + 1)), bad);
        break;
    }
    case 5: {  // a very long line
        std::string piece = OneIn(random, 2) ? "," + Statement(random) : std::string(1, "a;, .\x81"[Below(random, 6)]);
        const size_t target = OneIn(random, 8) ? (2u << 20) : 1 + Below(random, 1u << 16);
        std::string run;
        run.reserve(target + piece.size());
        while (run.size() < target) run += piece;
        l.insert(body, run);
        break;
    }
    case 6: {  // a new statement line, a continuation line or several statements on one line
        std::string made = OneIn(random, 3) ? "" : Number(random);
        if (!OneIn(random, 6)) made += ",";
        for (uint32_t n = 1 + (OneIn(random, 3) ? Below(random, 4) : 0); n > 0; --n)
            made += Statement(random) + (n > 1 ? "," : "");
        lines.insert(lines.begin() + Below(random, count + 1), made + (OneIn(random, 8) ? "\n" : "\r\n"));
        break;
    }
    case 7:  // upper and lower case, Track. prefixes
        for (size_t k = 0; k < body; ++k)
            if (OneIn(random, 3) && ((l[k] >= 'a' && l[k] <= 'z') || (l[k] >= 'A' && l[k] <= 'Z'))) l[k] ^= 0x20;
        if (OneIn(random, 2)) {
            const size_t k = KeywordAt(l, random);
            if (k != std::string::npos) l.insert(k, OneIn(random, 2) ? "Track" : "TRACK");
        }
        break;
    case 8:  // line ends: LF alone, CR alone, none, NUL bytes
        switch (Below(random, 4)) {
        case 0: l = l.substr(0, body) + "\n"; break;
        case 1: l = l.substr(0, body) + "\r"; break;
        case 2: l = l.substr(0, body); break;
        default: l.insert(Below(random, uint32_t(body + 1)), 1, '\0'); break;
        }
        break;
    case 9: {  // a stretch of lines repeated (many statements)
        const uint32_t n = std::min(count - i, 1 + Below(random, 20));
        const std::vector<Line> stretch(lines.begin() + i, lines.begin() + i + n);
        size_t bytes = 0;
        for (const Line& s : stretch) bytes += s.size();
        const uint32_t times = 1 + Below(random, OneIn(random, 8) ? 20000 : 50);
        std::vector<Line> more;
        for (uint32_t t = 0; t < times && (t + 1) * bytes < kMaxRouteSize / 2; ++t)
            more.insert(more.end(), stretch.begin(), stretch.end());
        lines.insert(lines.begin() + i, more.begin(), more.end());
        break;
    }
    case 10:  // lines removed
        lines.erase(lines.begin() + i, lines.begin() + std::min(count, i + 1 + Below(random, 8)));
        break;
    case 11:  // comments
        if (OneIn(random, 2)) l.insert(0, ";");
        else l.insert(Below(random, uint32_t(body + 1)), OneIn(random, 2) ? ";" : "//");
        break;
    case 12: {  // a statement put on the end of a line
        const std::string s = Statement(random);
        l.insert(body, (OneIn(random, 4) ? "" : ",") + s);
        break;
    }
    default: {  // raw damage to one line
        FuzzBytes b(l.begin(), l.end());
        MutateBytes(b, random, 1u << 16);
        l.assign(b.begin(), b.end());
        break;
    }
    }
}

uint32_t Hash(const FuzzBytes& bytes) {
    uint32_t h = 2166136261u;
    for (uint8_t b : bytes) h = (h ^ b) * 16777619u;
    return h;
}

// ---- The target ---------------------------------------------------------------------

class RouteTarget : public FuzzTarget {
public:
    ~RouteTarget() override {
        if (!path_.empty()) DeleteFileA(path_.c_str());
    }

    const char* Name() const override { return "route"; }
    size_t MaxInputSize() const override { return kMaxRouteSize; }
    int ReplayRounds() const override { return 25; }

    std::vector<FuzzBytes> Seeds() override {
        std::vector<FuzzBytes> seeds;
#ifdef ORVANE_ROUTE_SAMPLES
        for (const char* name : {"hanamizuki.csv", "kogane.csv", "minatomachi.csv"}) {
            FuzzBytes sample;
            if (ReadFileBytes(WinePath(std::string(ORVANE_ROUTE_SAMPLES) + "/" + name), sample))
                seeds.push_back(sample);
        }
#endif
        if (!module_.Load().empty()) return seeds;
        // Generated routes: a small one the reference still walks, and a long one.
        for (const auto& g : {std::make_pair(1u, 120), std::make_pair(2u, 3000)}) {
            RouteFuzzCall call{};
            call.operation = kRouteFuzzGenerate;
            call.seed = g.first;
            call.statements = g.second;
            module_.Call(call);
            StringHandle bytes = StringHandle::Adopt(call.result);
            if (bytes.Get() && bytes.Get()->length > 0)
                seeds.emplace_back(bytes.Get()->text + 1, bytes.Get()->text + 1 + bytes.Get()->length);
        }
        return seeds;
    }

    void Mutate(FuzzBytes& input, FuzzRandom& random) override {
        const uint32_t n = 1 + Below(random, OneIn(random, 4) ? 8 : 3);
        if (OneIn(random, 10)) {
            for (uint32_t k = 0; k < n; ++k) MutateBytes(input, random, kMaxRouteSize);
        } else {
            std::vector<Line> lines = SplitLines(input);
            for (uint32_t k = 0; k < n; ++k) MutateLines(lines, random);
            input = JoinLines(lines);
        }
        if (input.size() > kMaxRouteSize) input.resize(kMaxRouteSize);
    }

    FuzzOutcome Run(const FuzzBytes& input) override {
        const std::string& problem = module_.Load();
        if (!problem.empty()) return {false, problem};
        if (path_.empty()) {
            char folder[MAX_PATH];
            GetTempPathA(MAX_PATH, folder);
            path_ = std::string(folder) + "orvane-route-fuzz-" + std::to_string(GetCurrentProcessId()) + ".csv";
        }
        {
            KernelHandle file(CreateFileA(path_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                          FILE_ATTRIBUTE_NORMAL, nullptr));
            DWORD written = 0;
            if (!file.IsValid() ||
                (!input.empty() && (!WriteFile(file.Get(), input.data(), DWORD(input.size()), &written, nullptr) ||
                                    written != input.size())))
                return {false, "the route file was not written"};
        }
        StringHandle path(path_.c_str());
        RouteFuzzCall call{};
        call.operation = kRouteFuzzRun;
        call.path = path.Get();
        call.settings = Hash(input);  // the same settings every time the input is run
        call.compare = input.size() <= kCompareLimit;
        const int32_t liveBefore = RuntimeLiveObjectCount();
        module_.Call(call);
        StringHandle fault = StringHandle::Adopt(call.result);
        FuzzOutcome out;
        out.accepted = call.shapes > 0;
        if (fault.Get()) out.fault.assign(reinterpret_cast<const char*>(fault.Get()->text + 1), fault.Get()->length);
        const int32_t leaked = RuntimeLiveObjectCount() - liveBefore;
        if (out.fault.empty() && leaked != 0) out.fault = std::to_string(leaked) + " objects left alive";
        return out;
    }

private:
    RouteModule module_;
    std::string path_;
};

RouteTarget gRoute;
FuzzTargetRegistration gRegistration(gRoute);

}  // namespace
