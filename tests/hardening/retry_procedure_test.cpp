// The README's retry procedure, followed on the virtual camera after updates that failed in
// different ways: where the camera waits, that AUTO does not find it, and that its port and the
// same file install.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "hardening/update_rig.hpp"

namespace {

using rig::Ending;
using rig::Fault;

struct Failure {
    const char* name;
    rig::FaultPlan plan;
    Ending ending;
};

const Failure kFailures[] = {
    {"BlockRefused", {Fault::FailBlock, {rig::kOpBlock, 1, 300}}, Ending::TransferFailed},
    {"CablePulled", {Fault::Unplugged, {rig::kOpBlock, 1, 0}}, Ending::TransferFailed},
    {"AdapterPulled", {Fault::PortFails, {rig::kOpBlock, 1, 767}}, Ending::TransferFailed},
    {"NoiseOnAChecksum",
     {Fault::NoiseToHost, {rig::kOpParameter, 1, 79}, 2},
     Ending::TransferFailed},
    {"CameraFallsSilent", {Fault::Silent, {rig::kOpParameter, 1, 202}}, Ending::TransferFailed},
    // Lost after the switch into download mode: the camera is waiting the same way.
    {"SpeedChangeLost", {Fault::NoiseToHost, {rig::kOpSpeed, 1}, 1}, Ending::CameraNotFound},
};

TEST(RetryProcedure, ThePortAndTheSameFileInstallAfterAFailedUpdate) {
    const rig::FirmwareFile file;
    for (const Failure& failure : kFailures) {
        SCOPED_TRACE(failure.name);
        rig::RunSetup setup;
        setup.plans.push_back(failure.plan);
        rig::UpdateWorld world(setup);
        const rig::RunReport failed = world.Run(file);
        EXPECT_STREQ(rig::EndingName(failed.ending), rig::EndingName(failure.ending))
            << failed.Describe();

        // Where the camera is now: in its download mode at the transfer speed.
        EXPECT_EQ(world.Camera().State().mode, sim::CameraMode::Download);
        EXPECT_EQ(world.CameraBaud(), 38'400u);

        // Step 2: the connection is put back. AUTO does not find the camera, and leaves it as
        // it was.
        world.ClearFaults();
        const rig::RunReport search = world.Run(file, 0);
        EXPECT_TRUE(search.violations.empty()) << search.Describe();
        EXPECT_STREQ(rig::EndingName(search.ending), rig::EndingName(Ending::CameraNotFound));
        EXPECT_EQ(world.Camera().State().mode, sim::CameraMode::Download);

        // Steps 3 to 7: the camera's port and the same file. The prompt line shows no camera ID
        // and version 0.0, as the procedure warns, and the firmware installs.
        const rig::RunReport retry = world.Run(file, 1);
        EXPECT_TRUE(retry.violations.empty()) << retry.Describe();
        EXPECT_STREQ(rig::EndingName(retry.ending), rig::EndingName(Ending::Installed))
            << retry.Describe();
        EXPECT_TRUE(std::any_of(retry.prompts.begin(), retry.prompts.end(),
                                [](const std::string& p) {
                                    return p.find("Firmware Version: 0.0") != std::string::npos;
                                }))
            << "prompts: " << retry.prompts.size();
        EXPECT_EQ(world.Camera().Image(), file.Image());
    }
}

}  // namespace
