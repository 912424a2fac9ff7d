// What the fuzzing program and the replay test drive: a target gives seed
// inputs, mutates an input and runs one input under its checks. A new target
// is one more file that defines a FuzzTarget and registers it.
#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <vector>

using FuzzBytes = std::vector<uint8_t>;
using FuzzRandom = std::mt19937;

struct FuzzOutcome {
    bool accepted = false;  // the input was taken as valid (linked, analysed...)
    std::string fault;      // empty when the input was handled soundly
};

class FuzzTarget {
public:
    virtual ~FuzzTarget() = default;
    virtual const char* Name() const = 0;
    // Valid inputs to start from; every one is accepted without fault.
    virtual std::vector<FuzzBytes> Seeds() = 0;
    // Damages input in place; the result stays below MaxInputSize().
    virtual void Mutate(FuzzBytes& input, FuzzRandom& random) = 0;
    virtual size_t MaxInputSize() const = 0;
    // Runs one input. Faults that do not crash (a write beside a block, a
    // failure without a message, a result that disagrees with the input) are
    // returned; a crash or a hang is caught by the caller.
    virtual FuzzOutcome Run(const FuzzBytes& input) = 0;
    // How many mutants the replay test runs: fewer for a target whose
    // inputs take long.
    virtual int ReplayRounds() const { return 300; }
};

// The whole file at path (a Windows path); false when it cannot be read.
bool ReadFileBytes(const std::string& path, FuzzBytes& out);

// Every registered target, in registration order.
std::vector<FuzzTarget*>& FuzzTargets();
FuzzTarget* FindFuzzTarget(const std::string& name);

struct FuzzTargetRegistration {
    explicit FuzzTargetRegistration(FuzzTarget& target) { FuzzTargets().push_back(&target); }
};
