// A small seeded soak in the test suite: whole updates with faults and line noise drawn from
// fixed seeds; every run must pass the rig's checks, and a run that did not install is followed by
// a second run without the fault, which must. The long soak is the soak program.
#include <gtest/gtest.h>

#include <cstdint>

#include "hardening/update_rig.hpp"

namespace {

TEST(SeededSoak, TwentyFourDrawnRunsPassEveryCheckAndARetryInstalls) {
    const rig::FirmwareFile file;
    int installed = 0;
    for (uint64_t seed = 1; seed <= 24; ++seed) {
        const rig::RunSetup setup = rig::SetupForSeed(seed);
        const rig::RunWithRetry run = rig::RunAndRetry(setup, file);
        EXPECT_TRUE(run.Passed()) << "seed " << seed << ": " << rig::DescribeSetup(setup) << "\n"
                                  << run.Describe();
        installed += run.first.ending == rig::Ending::Installed ? 1 : 0;
    }
    // The draw is not all faults: some runs get through.
    EXPECT_GT(installed, 0);
}

TEST(SeededSoak, ASeedRepeatsItsRunExactly) {
    const rig::FirmwareFile file;
    const rig::RunReport first = rig::RunWholeUpdate(rig::SetupForSeed(7), file);
    const rig::RunReport again = rig::RunWholeUpdate(rig::SetupForSeed(7), file);
    EXPECT_EQ(first.ending, again.ending);
    EXPECT_EQ(first.blocks, again.blocks);
    EXPECT_EQ(first.virtualMs, again.virtualMs);
    EXPECT_EQ(first.flips, again.flips);
}

}  // namespace
