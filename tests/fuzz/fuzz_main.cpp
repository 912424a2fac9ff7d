// The fuzzing program: mutates each target's seeds and runs the results
// under the target's checks, one input at a time, each bounded in time (a
// watchdog on the processor time of the run, since the machine may be
// shared, with four times as much wall time as a backstop for waits) and
// memory (the process's peak commit). A fault, a crash or a
// hang saves the input as <target>-<hash>.bin in the findings folder, ready to
// join the replay test's table.
//
//   fuzz [--target NAME] [--count N] [--seconds S] [--seed N]
//        [--findings DIR] [--timeout-ms N] [--memory-mb N] [--replay FILE]
#include <windows.h>
#include <psapi.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "startup/AssertionReport.h"
#include "startup/RuntimeMain.h"
#include "startup/intrinsicClass.h"
#include "tests/fuzz/FuzzMutations.h"

namespace {

struct Options {
    std::string target;  // empty: every target
    uint64_t count = 1000;
    double seconds = 0;  // 0: no time budget
    uint32_t seed = 1;
    std::string findings = "fuzz-findings";
    uint32_t timeoutMs = 10000;
    uint32_t memoryMb = 768;
    std::string replay;
};

// The input being run, for the watchdog and the crash filter.
const FuzzBytes* gCurrent = nullptr;
const char* gCurrentTarget = "";
std::atomic<DWORD> gStartedAt{0};
std::atomic<uint64_t> gCpuAtStart{0};
std::atomic<bool> gRunning{false};
HANDLE gMainThread = nullptr;

// Processor time of the main thread in milliseconds.
uint64_t MainThreadCpuMs() {
    FILETIME created, exited, kernel, user;
    if (!GetThreadTimes(gMainThread, &created, &exited, &kernel, &user)) return 0;
    auto ms = [](const FILETIME& t) { return ((uint64_t(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 10000; };
    return ms(kernel) + ms(user);
}
std::string gFindings;

uint32_t Hash(const FuzzBytes& bytes) {
    uint32_t h = 2166136261u;
    for (uint8_t b : bytes) h = (h ^ b) * 16777619u;
    return h;
}

std::string SaveFinding(const char* target, const FuzzBytes& input) {
    CreateDirectoryA(gFindings.c_str(), nullptr);
    char name[64];
    std::snprintf(name, sizeof name, "\\%s-%08x.bin", target, static_cast<unsigned>(Hash(input)));
    const std::string path = gFindings + name;
    FILE* f = std::fopen(path.c_str(), "wb");
    if (f) {
        if (!input.empty()) std::fwrite(input.data(), 1, input.size(), f);
        std::fclose(f);
    }
    return path;
}

LONG WINAPI OnCrash(EXCEPTION_POINTERS* info) {
    if (gCurrent) {
        const std::string path = SaveFinding(gCurrentTarget, *gCurrent);
        std::fprintf(stderr, "FINDING crash (exception 0x%08lx at %p): %s\n",
                     info->ExceptionRecord->ExceptionCode, info->ExceptionRecord->ExceptionAddress,
                     path.c_str());
    }
    std::fflush(stderr);
    ExitProcess(3);
}

DWORD WINAPI Watchdog(void* parameter) {
    const uint32_t timeoutMs = *static_cast<const uint32_t*>(parameter);
    for (;;) {
        Sleep(100);
        if (!gRunning) continue;
        const uint64_t cpu = MainThreadCpuMs() - gCpuAtStart;
        const uint64_t wall = GetTickCount() - gStartedAt;
        if (gRunning && (cpu > timeoutMs || wall > uint64_t(timeoutMs) * 4)) {
            // The main thread is stuck inside the run, so the input is still there.
            const std::string path = SaveFinding(gCurrentTarget, *gCurrent);
            std::fprintf(stderr, "FINDING hang (%llu ms of processor time, %llu ms in all, bound %u ms): %s\n",
                         static_cast<unsigned long long>(cpu), static_cast<unsigned long long>(wall), timeoutMs,
                         path.c_str());
            std::fflush(stderr);
            ExitProcess(2);
        }
    }
}

size_t PeakCommit() {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    return GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters) ? counters.PeakPagefileUsage : 0;
}

// Runs one input under the watchdog; true when it was sound.
bool RunOne(FuzzTarget& target, const FuzzBytes& input, const Options& options, FuzzOutcome& outcome) {
    gCurrent = &input;
    gCurrentTarget = target.Name();
    gStartedAt = GetTickCount();
    gCpuAtStart = MainThreadCpuMs();
    gRunning = true;
    outcome = target.Run(input);
    gRunning = false;
    if (outcome.fault.empty() && PeakCommit() > size_t(options.memoryMb) << 20)
        outcome.fault = "memory over " + std::to_string(options.memoryMb) + " MB";
    return outcome.fault.empty();
}

bool ReadInput(const std::string& path, FuzzBytes& out) {
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    out.clear();
    uint8_t buffer[65536];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, f)) > 0;) out.insert(out.end(), buffer, buffer + n);
    std::fclose(f);
    return true;
}

struct Tally {
    uint64_t inputs = 0, accepted = 0, findings = 0;
};

Tally Fuzz(FuzzTarget& target, const Options& options) {
    Tally tally;
    FuzzRandom random(options.seed);
    std::vector<FuzzBytes> pool = target.Seeds();
    if (pool.empty()) {
        std::printf("%s: no seeds\n", target.Name());
        tally.findings = 1;
        return tally;
    }
    const size_t seedCount = pool.size();
    LARGE_INTEGER frequency, start, now;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    auto elapsed = [&] {
        QueryPerformanceCounter(&now);
        return double(now.QuadPart - start.QuadPart) / double(frequency.QuadPart);
    };
    FuzzOutcome outcome;
    for (const FuzzBytes& seed : pool) {
        ++tally.inputs;
        if (!RunOne(target, seed, options, outcome) || !outcome.accepted) {
            std::printf("%s: a seed is not accepted soundly: %s\n", target.Name(), outcome.fault.c_str());
            ++tally.findings;
        }
    }
    while ((options.seconds > 0 || tally.inputs < options.count) &&
           (options.seconds <= 0 || elapsed() < options.seconds)) {
        FuzzBytes input = pool[Below(random, uint32_t(pool.size()))];
        target.Mutate(input, random);
        ++tally.inputs;
        if (RunOne(target, input, options, outcome)) {
            if (outcome.accepted) {
                ++tally.accepted;
                // Accepted mutants breed further: damage builds up in layers.
                if (pool.size() < 64) pool.push_back(std::move(input));
                else pool[seedCount + Below(random, uint32_t(pool.size() - seedCount))] = std::move(input);
            }
        } else {
            ++tally.findings;
            std::printf("FINDING %s: %s: %s\n", target.Name(), outcome.fault.c_str(),
                        SaveFinding(target.Name(), input).c_str());
            if (PeakCommit() > size_t(options.memoryMb) << 20) break;  // the peak stays: every later input would count
        }
    }
    const double seconds = elapsed();
    std::printf("%s: %llu inputs (%llu accepted, %llu rejected) in %.1f s, %.0f inputs/s, %llu findings\n",
                target.Name(), static_cast<unsigned long long>(tally.inputs),
                static_cast<unsigned long long>(tally.accepted),
                static_cast<unsigned long long>(tally.inputs - tally.accepted - tally.findings), seconds,
                seconds > 0 ? double(tally.inputs) / seconds : 0.0, static_cast<unsigned long long>(tally.findings));
    return tally;
}

bool ParseArguments(int argc, char** argv, Options& o) {
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const char* v = i + 1 < argc ? argv[i + 1] : nullptr;
        if (!v) return false;
        if (a == "--target") o.target = v;
        else if (a == "--count") o.count = std::strtoull(v, nullptr, 10);
        else if (a == "--seconds") o.seconds = std::atof(v);
        else if (a == "--seed") o.seed = uint32_t(std::strtoul(v, nullptr, 10));
        else if (a == "--findings") o.findings = v;
        else if (a == "--timeout-ms") o.timeoutMs = uint32_t(std::strtoul(v, nullptr, 10));
        else if (a == "--memory-mb") o.memoryMb = uint32_t(std::strtoul(v, nullptr, 10));
        else if (a == "--replay") o.replay = v;
        else return false;
        ++i;
    }
    return true;
}

bool AcceptEveryReport(const AssertionReportInfo&) { return true; }  // damaged input is reported, then refused

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!ParseArguments(argc, argv, options)) {
        std::fprintf(stderr,
                     "usage: fuzz [--target NAME] [--count N] [--seconds S] [--seed N] [--findings DIR]\n"
                     "            [--timeout-ms N] [--memory-mb N] [--replay FILE]\n");
        return 64;
    }
    gFindings = options.findings;
    RuntimeInitProcessState(GetModuleHandleA(nullptr));
    SetAssertionReportHook(AcceptEveryReport);
    BuildIntrinsicDefinitions();
    SetUnhandledExceptionFilter(OnCrash);
    DuplicateHandle(GetCurrentProcess(), GetCurrentThread(), GetCurrentProcess(), &gMainThread, 0, FALSE,
                    DUPLICATE_SAME_ACCESS);
    CloseHandle(CreateThread(nullptr, 0, Watchdog, &options.timeoutMs, 0, nullptr));

    std::vector<FuzzTarget*> targets;
    for (FuzzTarget* t : FuzzTargets())
        if (options.target.empty() || options.target == t->Name()) targets.push_back(t);
    if (targets.empty()) {
        std::fprintf(stderr, "no target named %s\n", options.target.c_str());
        return 64;
    }
    if (!options.replay.empty()) {
        FuzzBytes input;
        if (!ReadInput(options.replay, input)) {
            std::fprintf(stderr, "cannot read %s\n", options.replay.c_str());
            return 64;
        }
        int faults = 0;
        for (FuzzTarget* t : targets) {
            FuzzOutcome outcome;
            const bool sound = RunOne(*t, input, options, outcome);
            std::printf("%s: %s%s\n", t->Name(), sound ? (outcome.accepted ? "accepted" : "rejected") : "FAULT: ",
                        outcome.fault.c_str());
            faults += !sound;
        }
        return faults ? 1 : 0;
    }
    std::printf("seed %u\n", options.seed);
    uint64_t findings = 0;
    for (FuzzTarget* t : targets) findings += Fuzz(*t, options).findings;
    return findings ? 1 : 0;
}
