// Firmware files that only POSIX systems have: a FIFO without a writer, devices, a file whose
// reported size exceeds its content, and a file too big for the memory the process may have.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/inotify.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "firmware/firmware.hpp"
#include "firmware/identified_bytes.hpp"
#include "temp_dir.hpp"

namespace {

using firmware_test::Identified;
using testdir::TempDir;

TEST(FirmwareLoad, FifoDeviceAndTerminalAreRefusedWithoutBeingOpened) {
    TempDir dir;
    FirmwareImage image;
    int64_t found = -1;
    // Should the loader wait in the FIFO, the alarm ends this test program instead of letting
    // it hang.
    const std::string fifo = dir.Path() + "/fifo.fw";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    // A pseudo-terminal stands for a serial port: opening it would raise its modem lines.
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(master, 0);
    ASSERT_EQ(::grantpt(master), 0);
    ASSERT_EQ(::unlockpt(master), 0);
    const std::string terminal = ::ptsname(master);
    // What the reader opens is seen by a watch on its opening (not on /dev/null, which every
    // program opens).
    const int watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    ASSERT_GE(watch, 0);
    ASSERT_GE(::inotify_add_watch(watch, fifo.c_str(), IN_OPEN), 0);
    ASSERT_GE(::inotify_add_watch(watch, terminal.c_str(), IN_OPEN), 0);
    for (const std::string& path : {fifo, std::string("/dev/null"), terminal}) {
        ::alarm(10);
        EXPECT_EQ(LoadFirmwareFile(path, &image, &found), LoadOutcome::OpenOrReadError) << path;
        ::alarm(0);
        EXPECT_TRUE(image.bytes.empty()) << path;
    }
    char event[256];
    EXPECT_EQ(::read(watch, event, sizeof event), -1) << "a device or FIFO was opened";
    ::close(watch);
    ::close(master);
}

TEST(FirmwareLoad, ReadShorterThanTheSizeFoundIsAReadError) {
    // Files of this kind report a size of a whole page but read back only a few bytes: the
    // missing bytes must never turn into zero padding.
    const char* candidate = "/sys/kernel/mm/transparent_hugepage/enabled";
    struct stat info {};
    if (::stat(candidate, &info) != 0 || info.st_size <= 0) {
        GTEST_SKIP() << "no file here whose reported size exceeds its content";
    }
    FirmwareImage image;
    int64_t found = 0;
    EXPECT_EQ(LoadFirmwareFile(candidate, &image, &found), LoadOutcome::OpenOrReadError);
    EXPECT_TRUE(image.bytes.empty());
}

// Loads `path` with the address space limited to 400 MiB; exits 0 when that gives a read error
// with the file's size found.
[[noreturn]] void LoadWithLittleMemory(const std::string& path, int64_t size) {
    rlimit space{};
    space.rlim_cur = space.rlim_max = rlim_t{400} << 20;
    ::setrlimit(RLIMIT_AS, &space);
    FirmwareImage image;
    int64_t found = 0;
    const LoadOutcome outcome = LoadFirmwareFile(path, &image, &found);
    std::_Exit(outcome == LoadOutcome::OpenOrReadError && found == size ? 0 : 1);
}

TEST(FirmwareLoad, FileTooBigForTheMemoryThereIsIsAReadError) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the address sanitizer ends the process at a failed allocation";
#endif
    TempDir dir;
    constexpr off_t kHuge = off_t{1} << 30;  // sparse: takes no disk space
    const std::string path = dir.Write("huge.fw", Identified(100));
    ASSERT_EQ(::truncate(path.c_str(), kHuge), 0);
    EXPECT_EXIT(LoadWithLittleMemory(path, kHuge), ::testing::ExitedWithCode(0), "");
}

}  // namespace
