// Seeded soak: many whole firmware updates in virtual time, each with faults and line noise drawn
// from its own seed. A run that did not install is followed by a second run on the same camera
// without the fault, on its port, which must install. Counts the endings and prints every run
// that broke a check, with the seed that repeats it (soak --first SEED --runs 1).
//
// Usage: soak [--runs N] [--first SEED]        (defaults: 1000 runs from seed 1)
// Exit status 0 when every run passed every check, 1 otherwise.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>

#include "tests/hardening/update_rig.hpp"

int main(int argc, char** argv) {
    uint64_t runs = 1000;
    uint64_t first = 1;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--runs") == 0) {
            runs = std::strtoull(argv[i + 1], nullptr, 10);
        } else if (std::strcmp(argv[i], "--first") == 0) {
            first = std::strtoull(argv[i + 1], nullptr, 10);
        } else {
            std::fprintf(stderr, "usage: soak [--runs N] [--first SEED]\n");
            return 2;
        }
    }

    const rig::FirmwareFile file;
    std::map<std::string, uint64_t> endings;
    uint64_t broken = 0;
    uint64_t retries = 0;
    uint64_t flips = 0;
    uint64_t virtualMs = 0;
    uint32_t longestWait = 0;
    const auto start = std::chrono::steady_clock::now();
    for (uint64_t seed = first; seed < first + runs; ++seed) {
        const rig::RunSetup setup = rig::SetupForSeed(seed);
        const rig::RunWithRetry run = rig::RunAndRetry(setup, file);
        const rig::RunReport& report = run.first;
        ++endings[rig::EndingName(report.ending)];
        retries += run.retried ? 1 : 0;
        flips += static_cast<uint64_t>(report.flips);
        virtualMs += report.virtualMs;
        longestWait = std::max({longestWait, report.longestWaitMs, run.retry.longestWaitMs});
        if (!run.Passed()) {
            ++broken;
            std::printf("seed %llu FAILED: %s\n  %s\n", static_cast<unsigned long long>(seed),
                        rig::DescribeSetup(setup).c_str(), run.Describe().c_str());
        }
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

    std::printf("soak: %llu runs (seeds %llu to %llu) in %.1f s wall, %.1f h virtual\n",
                static_cast<unsigned long long>(runs), static_cast<unsigned long long>(first),
                static_cast<unsigned long long>(first + runs - 1), seconds,
                static_cast<double>(virtualMs) / 3.6e6);
    for (const auto& [name, count] : endings) {
        std::printf("  %-15s %llu\n", name.c_str(), static_cast<unsigned long long>(count));
    }
    std::printf("  retried without the fault, all installed unless listed above: %llu\n",
                static_cast<unsigned long long>(retries));
    std::printf("  bits flipped on the line: %llu; longest single wait: %u ms\n",
                static_cast<unsigned long long>(flips), longestWait);
    std::printf("%llu passed, %llu failed\n", static_cast<unsigned long long>(runs - broken),
                static_cast<unsigned long long>(broken));
    return broken == 0 ? 0 : 1;
}
