// Saved fuzzing findings, replayed: each input once made a target fault,
// crash or hang and must now be handled soundly. Also the seeds and a short
// fixed run of mutants, so that a target that stops accepting its own seeds
// or whose checks start failing shows here without the fuzzing program.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
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
    const char* what;  // what it made the loader do
};

// Inputs the fuzzing program found. The first two were found against a loader
// with its chain checks taken out on purpose, to prove the program: they
// stand for those checks.
const Finding kFindings[] = {
    {"loader", "chain-past-code-end.bin", "a chain link 1-3 bytes before the code block's end: read and write past it"},
    {"loader", "chain-loop.bin", "a chain that comes back to itself: no end, growing without bound"},
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
        EXPECT_GE(seeds.size(), 2u);  // the built sample and the synthetic image
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
        for (int round = 0; round < 300; ++round) {
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
