// Saved fuzzing findings, replayed: each input once made a target fault,
// crash or hang and must now be handled soundly. Also the seeds and a short
// fixed run of mutants, so that a target that stops accepting its own seeds
// or whose checks start failing shows here without the fuzzing program.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <cstdio>
#include <string>

#include "tests/TestFiles.h"
#include "tests/TestSupport.h"
#include "tests/fuzz/FuzzTarget.h"
#include "tests/fuzz/GuardedBlock.h"

namespace {

struct Finding {
    const char* target;
    const char* file;  // under tests/fuzz/findings/<target>/
    const char* what;  // what it made the target do
};

// Inputs the fuzzing program found. The first two were found against a loader
// with its chain checks taken out on purpose, to prove the program: they
// stand for those checks.
const Finding kFindings[] = {
    {"loader", "chain-past-code-end.bin", "a chain link 1-3 bytes before the code block's end: read and write past it"},
    {"loader", "chain-loop.bin", "a chain that comes back to itself: no end, growing without bound"},
    // Drawing the route group at a scroll offset moved its members there and
    // back by the opposite amount, which is not exact: the group the walk
    // made was no longer the reference's after one render.
    {"route", "scrolled-draw-huge-positions.bin", "a start of 1e308: members 5e302 off after one scrolled draw"},
    {"route", "scrolled-draw-station-marks.bin", "a station mark's figure changed by one scrolled draw"},
    {"route", "scrolled-draw-short-route.bin", "a sample route ending in a -nan distance line, changed by one scrolled draw"},
    {nullptr, nullptr, nullptr},  // end
};

bool ReadInput(const std::string& path, FuzzBytes& out) {
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    uint8_t buffer[65536];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, f)) > 0;) out.insert(out.end(), buffer, buffer + n);
    std::fclose(f);
    return true;
}

TEST(FuzzReplay, SavedFindingsAreHandledSoundly) {
    AssertionCapture capture;  // damaged images are reported, then refused
    for (const Finding* f = kFindings; f->target; ++f) {
        SCOPED_TRACE(std::string(f->file) + ": " + f->what);
        FuzzTarget* target = FindFuzzTarget(f->target);
        ASSERT_NE(target, nullptr);
        FuzzBytes input;
        ASSERT_TRUE(ReadInput(WinePath(std::string(ORVANE_FUZZ_FINDINGS) + "/" + f->target + "/" + f->file), input));
        EXPECT_EQ(target->Run(input).fault, "");
    }
}

TEST(FuzzReplay, EveryTargetAcceptsItsSeeds) {
    ASSERT_FALSE(FuzzTargets().empty());
    for (FuzzTarget* target : FuzzTargets()) {
        SCOPED_TRACE(target->Name());
        const std::vector<FuzzBytes> seeds = target->Seeds();
        EXPECT_GE(seeds.size(), 2u);  // loader: the built sample and the synthetic image; route: samples, generated
        for (const FuzzBytes& seed : seeds) {
            const FuzzOutcome outcome = target->Run(seed);
            EXPECT_TRUE(outcome.accepted);
            EXPECT_EQ(outcome.fault, "");
        }
    }
}

// Mutants of a fixed seed: sound, some accepted and some refused (a mutator
// that only ever breaks the image, or never does, tests nothing).
TEST(FuzzReplay, MutantsAreHandledSoundlyAndSomeStillLink) {
    AssertionCapture capture;
    for (FuzzTarget* target : FuzzTargets()) {
        SCOPED_TRACE(target->Name());
        FuzzRandom random(7u);
        const std::vector<FuzzBytes> seeds = target->Seeds();
        ASSERT_FALSE(seeds.empty());
        int accepted = 0, refused = 0;
        for (int round = 0; round < target->ReplayRounds(); ++round) {
            FuzzBytes input = seeds[round % seeds.size()];
            target->Mutate(input, random);
            EXPECT_LE(input.size(), target->MaxInputSize());
            const FuzzOutcome outcome = target->Run(input);
            ASSERT_EQ(outcome.fault, "") << "round " << round;
            (outcome.accepted ? accepted : refused)++;
        }
        EXPECT_GT(accepted, 0);
        EXPECT_GT(refused, 0);
    }
}

// ---- What the route mutations make ----------------------------------------------------

bool LeadByte(uint8_t b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }
bool TrailByte(uint8_t b) { return b >= 0x40 && b <= 0xFC && b != 0x7F; }

// A route file as the checks read it: its bytes, and its lines in lower
// case without their line ends.
struct RouteText {
    explicit RouteText(const FuzzBytes& b) : bytes(b) {
        std::string all(b.begin(), b.end());
        for (char& c : all) c = char(std::tolower(static_cast<unsigned char>(c)));
        for (size_t start = 0;;) {
            const size_t end = all.find('\n', start);
            std::string line = all.substr(start, end == std::string::npos ? std::string::npos : end - start);
            if (!line.empty() && line.back() == '\r') line.pop_back();
            lines.push_back(std::move(line));
            if (end == std::string::npos) break;
            start = end + 1;
        }
    }
    const FuzzBytes& bytes;
    std::vector<std::string> lines;
};

bool HasInvalidShiftJis(const RouteText& r) {
    const FuzzBytes& b = r.bytes;
    for (size_t i = 0; i < b.size(); ++i) {
        if (b[i] == 0x80 || b[i] == 0xA0 || b[i] >= 0xFD) return true;
        if (LeadByte(b[i])) {
            if (i + 1 == b.size() || !TrailByte(b[i + 1])) return true;
            ++i;
        }
    }
    return false;
}

bool HasLongLine(const RouteText& r) {
    for (const std::string& l : r.lines)
        if (l.size() >= 65536) return true;
    return false;
}

// A distance field that is NaN, infinite or beyond the 32-bit range.
bool HasHugeDistance(const RouteText& r) {
    for (const std::string& l : r.lines) {
        const std::string first = l.substr(0, std::min(l.find(','), size_t(41)));
        if (first.empty() || first.size() > 40) continue;
        const double v = std::strtod(first.c_str(), nullptr);
        if (v != v || v > 2147483647.0 || v < -2147483648.0 || first.find("nan") != std::string::npos) return true;
    }
    return false;
}

bool HasStatementWithoutArgument(const RouteText& r) {
    for (const std::string& l : r.lines) {
        for (const char* k : {".curve", ".pitch", ".limit", ".sta", ".freeobj"}) {
            for (size_t at = l.find(k); at != std::string::npos; at = l.find(k, at + 1)) {
                const size_t end = at + std::strlen(k);
                if (end == l.size() || l[end] == ',') return true;
            }
        }
    }
    return false;
}

bool HasDistancesOutOfOrder(const RouteText& r) {
    double previous = -1e300;
    for (const std::string& l : r.lines) {
        const size_t comma = l.find(',');
        if (comma == 0 || comma == std::string::npos || comma > 40 || l[0] == ';') continue;
        const std::string first = l.substr(0, comma);
        char* end = nullptr;
        const double v = std::strtod(first.c_str(), &end);
        if (end != first.c_str() + comma || v != v) continue;
        if (v < previous) return true;
        previous = v;
    }
    return false;
}

bool HasManyStatements(const RouteText& r) { return std::count(r.bytes.begin(), r.bytes.end(), '.') >= 5000; }

// Every kind of damage the route target is meant to make shows up among
// 1,500 mutants of its seeds, which themselves have none of it.
TEST(FuzzReplay, RouteMutationsMakeEveryKindOfDamage) {
    FuzzTarget* target = FindFuzzTarget("route");
    ASSERT_NE(target, nullptr);
    const std::vector<FuzzBytes> seeds = target->Seeds();
    ASSERT_GE(seeds.size(), 5u);  // three samples, two generated routes
    struct Kind {
        const char* what;
        bool (*present)(const RouteText&);
        int seen;
    } kinds[] = {
        {"a line of 64 KB or more", HasLongLine, 0},
        {"a NaN, infinite or huge distance", HasHugeDistance, 0},
        {"a statement without its argument", HasStatementWithoutArgument, 0},
        {"distances out of order", HasDistancesOutOfOrder, 0},
        {"bytes that are not Shift_JIS", HasInvalidShiftJis, 0},
        {"5,000 statements or more", HasManyStatements, 0},
    };
    for (const FuzzBytes& seed : seeds) {
        const RouteText text(seed);
        for (const Kind& k : kinds) {
            if (k.present == HasManyStatements && seed.size() >= 20000) continue;  // the long generated route
            EXPECT_FALSE(k.present(text)) << k.what;
        }
    }
    FuzzRandom random(11u);
    for (int round = 0; round < 1500; ++round) {
        FuzzBytes input = seeds[round % 3];  // the samples: small, with every statement kind
        target->Mutate(input, random);
        EXPECT_LE(input.size(), target->MaxInputSize());
        const RouteText text(input);
        for (Kind& k : kinds) k.seen += k.present(text);
    }
    for (const Kind& k : kinds) EXPECT_GT(k.seen, 0) << k.what;
}

}  // namespace

namespace {

// The guard itself: the page behind the block is closed, and a write into
// the slack before the block shows.
TEST(GuardedBlock, ClosesThePageBehindAndSeesWritesBefore) {
    for (uint32_t size : {0u, 1u, 100u, 4096u, 5000u}) {
        SCOPED_TRACE(size);
        const std::vector<uint8_t> bytes(size, 7);
        GuardedBlock block(bytes.data(), size);
        ASSERT_TRUE(block.Valid());
        EXPECT_TRUE(size == 0 || std::equal(bytes.begin(), bytes.end(), block.Data()));
        MEMORY_BASIC_INFORMATION after{}, before{};
        ASSERT_NE(VirtualQuery(block.Data() + size, &after, sizeof after), 0u);
        EXPECT_EQ(after.Protect, DWORD(PAGE_NOACCESS));
        const uint8_t* first = block.Data() - (size % 4096 ? 4096 - size % 4096 : 0) - 1;
        ASSERT_NE(VirtualQuery(first, &before, sizeof before), 0u);
        EXPECT_EQ(before.Protect, DWORD(PAGE_NOACCESS));
        EXPECT_TRUE(block.Intact());
        if (size % 4096) {
            block.Data()[-1] ^= 1;
            EXPECT_FALSE(block.Intact());
        }
    }
}

}  // namespace
