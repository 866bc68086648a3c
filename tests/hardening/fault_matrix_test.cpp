// Every fault of the virtual camera at every phase of a whole update, run through the workflow
// with the scripted front end in virtual time. Each row names the ending the user must see; every
// row also passes the rig's checks (defined ending and messages, no wait beyond the time-outs,
// port closed, blocks in order with good data, checksums that match the blocks).
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "hardening/update_rig.hpp"

namespace {

using rig::Ending;
using rig::Fault;
using rig::FaultPlan;
using rig::Trigger;

struct Phase {
    const char* name;
    Trigger at;
};

struct Row {
    Fault fault;
    Phase phase;
    Ending expected;
    sim::CameraMode mode = sim::CameraMode::Normal;
    int noiseByte = 1;
    int16_t port = 1;
    Fault alsoFault = Fault::None;  // a second fault at the same moment
};

// The phases of an update with a camera in normal mode, in the order they come.
const Phase kFirstGreeting{"FirstGreeting", {rig::kTriggerGreeting, 1}};
const Phase kInfoLinkCheck{"InfoLinkCheck", {rig::kOpStatus, 1}};
const Phase kInfoRead{"InfoRead", {rig::kOpStatus, 2}};
const Phase kClockRead{"ClockRead", {rig::kOpStatus, 4}};
const Phase kModeSwitch{"ModeSwitch", {rig::kOpDownloadMode, 1}};
const Phase kFinalGreeting{"FinalGreeting", {rig::kTriggerGreeting, 2}};
const Phase kSpeedChange{"SpeedChange", {rig::kOpSpeed, 1}};
const Phase kFirstBank{"FirstBank", {rig::kOpBank, 1}};
const Phase kLastBank{"LastBank", {rig::kOpBank, 4}};
const Phase kBlock0{"Block0", {rig::kOpBlock, 1, 0}};
const Phase kBlock1{"Block1", {rig::kOpBlock, 1, 1}};
const Phase kBlock255{"Block255", {rig::kOpBlock, 1, 255}};
const Phase kBlock256{"Block256", {rig::kOpBlock, 1, 256}};
const Phase kBlock767{"Block767", {rig::kOpBlock, 1, 767}};
const Phase kChecksum79{"Checksum79", {rig::kOpParameter, 1, 79}};
const Phase kChecksum110{"Checksum110", {rig::kOpParameter, 1, 110}};
const Phase kFixed202{"Fixed202", {rig::kOpParameter, 1, 202}};
const Phase kFixed249{"Fixed249", {rig::kOpParameter, 1, 249}};

const std::vector<Phase> kConnectReads = {kInfoLinkCheck, kInfoRead, kClockRead};
const std::vector<Phase> kBanks = {kFirstBank, kLastBank};
const std::vector<Phase> kBlocks = {kBlock0, kBlock1, kBlock255, kBlock256, kBlock767};
const std::vector<Phase> kParameters = {kChecksum79, kChecksum110, kFixed202, kFixed249};

void AddAll(std::vector<Row>& rows, Fault fault, const std::vector<Phase>& phases,
            Ending expected) {
    for (const Phase& p : phases) {
        rows.push_back({fault, p, expected});
    }
}

std::vector<Row> Rows() {
    std::vector<Row> rows;
    const Ending ok = Ending::Installed;
    const Ending notFound = Ending::CameraNotFound;
    const Ending failed = Ending::TransferFailed;

    // Faults that end the exchange they hit. In the reads before the switch they change nothing
    // (those outcomes are not examined); in the mode switch and the speed change the camera is
    // then not found; in the transfer the update fails. Bank commands are not examined either.
    for (Fault f : {Fault::Refuse, Fault::Answer10}) {
        AddAll(rows, f, kConnectReads, ok);
        rows.push_back({f, kModeSwitch, notFound});
        rows.push_back({f, kSpeedChange, notFound});
        AddAll(rows, f, kBanks, ok);
        AddAll(rows, f, kBlocks, failed);
        AddAll(rows, f, kParameters, failed);
    }
    // A completion byte that is wrong or missing: the speed command has none; the switch still
    // happens when only its completion is missing.
    for (Fault f : {Fault::BadCompletion, Fault::NoCompletion}) {
        AddAll(rows, f, kConnectReads, ok);
        rows.push_back({f, kSpeedChange, ok});
        AddAll(rows, f, kBanks, ok);
        AddAll(rows, f, kBlocks, failed);
        AddAll(rows, f, kParameters, failed);
    }
    // The camera switches modes only once it has completed the switch command.
    rows.push_back({Fault::BadCompletion, kModeSwitch, notFound});
    rows.push_back({Fault::NoCompletion, kModeSwitch, notFound});

    // Data packets to the host exist only in the reads; a bad XOR byte on every sending, or 0xE2
    // in place of the packet, fails a read that is not examined.
    for (Fault f : {Fault::BadXorAll, Fault::BadXorOnce, Fault::E2InsteadOfPacket}) {
        AddAll(rows, f, kConnectReads, ok);
        rows.push_back({f, kBlock0, ok});
    }
    // Data packets from the host exist only in the blocks: four refusals are survived, a fifth
    // fails the block.
    AddAll(rows, Fault::RefuseDataFourTimes, kBlocks, ok);
    AddAll(rows, Fault::RefuseDataFiveTimes, kBlocks, failed);
    AddAll(rows, Fault::FailBlock, kBlocks, failed);

    // The camera goes away: before the final greeting it is not found, after it the update fails.
    for (Fault f : {Fault::Silent, Fault::Unplugged}) {
        rows.push_back({f, kFirstGreeting, notFound});
        AddAll(rows, f, kConnectReads, notFound);
        rows.push_back({f, kModeSwitch, notFound});
        rows.push_back({f, kSpeedChange, notFound});
        AddAll(rows, f, kBanks, failed);
        AddAll(rows, f, kBlocks, failed);
        AddAll(rows, f, kParameters, failed);
    }
    // A camera that a break does not reset: no break is needed while nothing else goes wrong;
    // with its status packets spoilt the reads go through the break recovery and still only the
    // final greeting decides.
    rows.push_back({Fault::IgnoreBreak, kFirstGreeting, ok});
    rows.push_back(
        {Fault::IgnoreBreak, kInfoLinkCheck, ok, sim::CameraMode::Normal, 1, 1, Fault::BadXorAll});

    // The serial adapter fails: before the transfer the camera is not found, in it the update
    // fails.
    rows.push_back({Fault::PortFails, kFirstGreeting, notFound});
    AddAll(rows, Fault::PortFails, kConnectReads, notFound);
    rows.push_back({Fault::PortFails, kSpeedChange, notFound});
    AddAll(rows, Fault::PortFails, kBanks, failed);
    AddAll(rows, Fault::PortFails, kBlocks, failed);
    AddAll(rows, Fault::PortFails, kParameters, failed);

    // A camera that cannot hear at the transfer speed is found, then fails the transfer.
    rows.push_back({Fault::DeafAtTransferSpeed, kFirstGreeting, failed});

    // A slow camera inside every wait of the host installs; one slower than the greeting's wait is
    // not found.
    rows.push_back({Fault::StallWithin, kFirstGreeting, ok});
    rows.push_back({Fault::StallBeyond, kFirstGreeting, notFound});
    rows.push_back({Fault::StallBeyond, kFinalGreeting, notFound});
    // In the transfer every answer is awaited 3,000 ms: 2.5 s late is still in time.
    rows.push_back({Fault::StallWithin, kBlock256, ok});
    rows.push_back({Fault::StallBeyond, kBlock0, ok});

    // Greeting answers that are wrong or short: the camera is not found.
    for (Fault f : {Fault::GreetingWrongByte, Fault::GreetingShort}) {
        rows.push_back({f, kFinalGreeting, notFound});
        rows.push_back({f, kFirstGreeting, notFound, sim::CameraMode::Download});
    }

    // One flipped bit in a data packet is caught by its XOR byte and sent again; one in an answer
    // byte ends that exchange as the protocol defines.
    for (const Phase& p : {kBlock0, kBlock255, kBlock256, kBlock767}) {
        rows.push_back({Fault::NoiseToCamera, p, ok, sim::CameraMode::Normal, 1});
        rows.push_back({Fault::NoiseToCamera, p, ok, sim::CameraMode::Normal, 200});
        rows.push_back({Fault::NoiseToHost, p, ok, sim::CameraMode::Normal, 1});      // 0xD1: again
        rows.push_back({Fault::NoiseToHost, p, failed, sim::CameraMode::Normal, 2});  // 0xD2
        rows.push_back({Fault::NoiseToHost, p, failed, sim::CameraMode::Normal, 3});  // completion
    }
    rows.push_back({Fault::NoiseToHost, kInfoRead, ok, sim::CameraMode::Normal, 50});
    // The camera takes the new speed once it has acknowledged; a lost acknowledgement leaves the
    // host sending again at the old speed, and the camera is not found.
    rows.push_back({Fault::NoiseToHost, kSpeedChange, notFound, sim::CameraMode::Normal, 1});
    rows.push_back({Fault::NoiseToHost, kFinalGreeting, notFound, sim::CameraMode::Normal, 3});
    rows.push_back({Fault::NoiseToHost, kChecksum79, failed, sim::CameraMode::Normal, 2});

    // The search of all four ports finds the camera on COM1 and meets the same faults.
    rows.push_back({Fault::None, kFirstGreeting, ok, sim::CameraMode::Normal, 1, 0});
    rows.push_back({Fault::None, kFirstGreeting, ok, sim::CameraMode::Download, 1, 0});
    rows.push_back({Fault::Unplugged, kFirstGreeting, notFound, sim::CameraMode::Normal, 1, 0});
    rows.push_back({Fault::Refuse, kBlock256, failed, sim::CameraMode::Download, 1, 0});
    rows.push_back({Fault::NoCompletion, kFixed249, failed, sim::CameraMode::Normal, 1, 0});
    return rows;
}

std::string RowName(const ::testing::TestParamInfo<Row>& info) {
    const Row& r = info.param;
    std::string name = std::string(rig::FaultName(r.fault)) + "_At" + r.phase.name;
    if (r.fault == Fault::NoiseToCamera || r.fault == Fault::NoiseToHost) {
        name += "_Byte" + std::to_string(r.noiseByte);
    }
    if (r.mode == sim::CameraMode::Download) {
        name += "_DownloadMode";
    }
    if (r.alsoFault != Fault::None) {
        name += std::string("_With") + rig::FaultName(r.alsoFault);
    }
    if (r.port == 0) {
        name += "_Search";
    }
    return name;
}

// How a row reads in test listings.
void PrintTo(const Row& row, std::ostream* os) {
    *os << rig::FaultName(row.fault) << " at " << row.phase.name;
}

class FaultMatrix : public ::testing::TestWithParam<Row> {
  protected:
    static void SetUpTestSuite() { s_file = new rig::FirmwareFile(); }
    static void TearDownTestSuite() {
        delete s_file;
        s_file = nullptr;
    }
    static rig::FirmwareFile* s_file;
};

rig::FirmwareFile* FaultMatrix::s_file = nullptr;

TEST_P(FaultMatrix, EndsAsDefinedAndLeavesTheCameraConsistent) {
    const Row& row = GetParam();
    rig::RunSetup setup;
    setup.mode = row.mode;
    setup.portAnswer = row.port;
    FaultPlan plan;
    plan.fault = row.fault;
    plan.at = row.phase.at;
    plan.noiseByte = row.noiseByte;
    setup.plans.push_back(plan);
    if (row.alsoFault != Fault::None) {
        plan.fault = row.alsoFault;
        setup.plans.push_back(plan);
    }

    rig::UpdateWorld world(setup);
    const rig::RunReport report = world.Run(*s_file);
    EXPECT_TRUE(report.violations.empty()) << report.Describe();
    EXPECT_STREQ(rig::EndingName(report.ending), rig::EndingName(row.expected))
        << report.Describe();
    if (report.ending == Ending::Installed) {
        return;
    }

    // Once the fault is gone, running the tool again installs the firmware into the same camera.
    // After a failed transfer the camera waits in download mode at the transfer speed: the search
    // of all ports sends no break and does not reach it; choosing its port does, through the
    // link check's break.
    world.ClearFaults();
    rig::RunReport retry = world.Run(*s_file);
    EXPECT_TRUE(retry.violations.empty()) << "retry: " << retry.Describe();
    if (row.port == 0 && report.ending == Ending::TransferFailed) {
        EXPECT_STREQ(rig::EndingName(retry.ending), rig::EndingName(Ending::CameraNotFound))
            << "retry: " << retry.Describe();
        retry = world.Run(*s_file, 1);
        EXPECT_TRUE(retry.violations.empty()) << "retry on COM1: " << retry.Describe();
    }
    EXPECT_STREQ(rig::EndingName(retry.ending), rig::EndingName(Ending::Installed))
        << "retry: " << retry.Describe();
}

INSTANTIATE_TEST_SUITE_P(EveryFaultAtEveryPhase, FaultMatrix, ::testing::ValuesIn(Rows()), RowName);

}  // namespace
