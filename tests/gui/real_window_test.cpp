// The real tool on a private X server, driven with keys as a user would: a whole update against
// the virtual camera (checking pixels of the dialogs and of the progress window on the way, and
// the image the camera received), and the exit statuses of quitting and of a missing camera.
// Every wait is a bounded poll for a window or a process state.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "child_process.hpp"
#include "progress_reader.hpp"
#include "xvfb_server.hpp"
#include "xwd_image.hpp"

namespace {

namespace fs = std::filesystem;

constexpr char kTitle[] = "Orvia TK358 Camera Update Software";
constexpr uint32_t kGrey = 0xC0C0C0;

struct Box {
    std::string id;
    int x = 0, y = 0, w = 0, h = 0;
};

// Pixels darker than mid-grey in the rectangle (x, y, w, h): text or a ring drawn on the grey.
int DarkPixels(const XwdImage& image, int x, int y, int w, int h) {
    int count = 0;
    for (int row = std::max(y, 0); row < std::min(y + h, image.height); ++row) {
        for (int col = std::max(x, 0); col < std::min(x + w, image.width); ++col) {
            const uint32_t p = image.At(col, row);
            count += ((p >> 16) & 0xFF) < 0x80 && ((p >> 8) & 0xFF) < 0x80 && (p & 0xFF) < 0x80;
        }
    }
    return count;
}

std::string Bin(const std::string& relative) {
    const char* root = std::getenv("TK358_TEST_BIN");
    return root == nullptr ? std::string() : std::string(root) + "/" + relative;
}

const std::vector<std::string> kNoCamera = {
    "TK358FW_COM1=/nonexistent/tty1", "TK358FW_COM2=/nonexistent/tty2",
    "TK358FW_COM3=/nonexistent/tty3", "TK358FW_COM4=/nonexistent/tty4"};

class RealWindows : public ::testing::Test {
  protected:
    void SetUp() override {
        m_tool = Bin("src/app/main/tk358fw");
        m_camsim = Bin("sim/camsim/tk358-camsim");
        m_maker = Bin("tools/make_sample_firmware");
        for (const std::string& program : {m_tool, m_camsim, m_maker}) {
            if (program.empty() || !fs::exists(program)) {
                GTEST_SKIP() << "not built: " << program;
            }
        }
        if (RunCommand("command -v xdotool xwd xwininfo").empty() || !m_x.Start()) {
            GTEST_SKIP() << "no Xvfb, xdotool, xwd or xwininfo";
        }
        m_dir = fs::temp_directory_path() /
                ("tk358fw-gui-" + std::to_string(getpid()) + "-" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(m_dir);
    }
    void TearDown() override {
        if (!m_dir.empty()) {
            fs::remove_all(m_dir);
        }
    }

    std::string X(const std::string& command) {
        return RunCommand("DISPLAY=" + m_x.Display() + " " + command + " 2>/dev/null");
    }

    std::vector<Box> Windows(const std::string& name) {
        std::vector<Box> boxes;
        std::istringstream ids(X("xdotool search --onlyvisible --name '" + name + "'"));
        std::string id;
        while (ids >> id) {
            Box b;
            b.id = id;
            // The inside of the window on the screen (under a window manager xdotool's place
            // counts the frame twice).
            std::istringstream fields(X("xwininfo -id " + id));
            std::string line;
            while (std::getline(fields, line)) {
                const auto colon = line.find(':');
                if (colon == std::string::npos) {
                    continue;
                }
                const int v = std::atoi(line.c_str() + colon + 1);
                const std::string key = line.substr(0, colon);
                if (key == "  Absolute upper-left X") {
                    b.x = v;
                } else if (key == "  Absolute upper-left Y") {
                    b.y = v;
                } else if (key == "  Width") {
                    b.w = v;
                } else if (key == "  Height") {
                    b.h = v;
                }
            }
            boxes.push_back(b);
        }
        return boxes;
    }
    // The tool's visible windows other than the main window, which spans the screen's width
    // (less a window manager's borders).
    std::vector<Box> Dialogs() {
        std::vector<Box> dialogs;
        for (const Box& b : Windows(kTitle)) {
            if (b.w < 1000) {
                dialogs.push_back(b);
            }
        }
        return dialogs;
    }
    bool WaitDialog(int timeoutMs, Box* found, const std::string& notId = "") {
        return WaitUntil(timeoutMs, [&] {
            for (const Box& b : Dialogs()) {
                if (b.id != notId) {
                    *found = b;
                    return true;
                }
            }
            return false;
        });
    }
    void Keys(const Box& window, const std::string& keys) {
        X("xdotool windowfocus --sync " + window.id + " key " + keys);
    }

    bool StartTool(const std::vector<std::string>& env) {
        std::vector<std::string> all = {"DISPLAY=" + m_x.Display()};
        all.insert(all.end(), env.begin(), env.end());
        return m_toolProcess.Start({m_tool}, all, (m_dir / "tool.log").string());
    }

    // The port dialog as the screen shows it (grey, the prompt bar, a ring on every choice), then
    // Escape, which ends the tool with status 2.
    void EscapeThePortDialog() {
        ASSERT_TRUE(StartTool(kNoCamera));
        Box port;
        ASSERT_TRUE(WaitDialog(60000, &port));
        XwdImage screen;
        const int cornerX = port.x + port.w - 3;
        const int cornerY = port.y + port.h - 3;
        WaitUntil(10000, [&] {  // the dialog may still be drawing its first picture
            return CaptureScreen(m_x.ScreenFile(), &screen) && screen.At(cornerX, cornerY) == kGrey;
        });
        ASSERT_EQ(screen.width, 1024);
        EXPECT_EQ(screen.At(cornerX, cornerY), kGrey);  // dialog colour
        for (const Box& b : Windows(kTitle)) {
            if (b.w >= 1000) {
                EXPECT_EQ(screen.At(b.x + 2, b.y + 2), kGrey);  // the prompt bar, above its text
            }
        }
        int grey = 0;
        for (int row = port.y; row < port.y + port.h; ++row) {
            for (int col = port.x; col < port.x + port.w; ++col) {
                grey += screen.At(col, row) == kGrey;
            }
        }
        EXPECT_GT(grey, port.w * port.h / 2) << "the dialog's inside is not drawn on the screen";
        // Every port choice shows its ring: the left end of each radio button's rectangle
        // (template 153 x 66 units; AUTO, COM1, COM2 at x 10, COM3, COM4 at x 51; rows 16, 30, 44,
        // 10 high).
        const double ux = port.w / 153.0;
        const double uy = port.h / 66.0;
        for (const auto& [x, y] : {std::pair{10, 16}, {10, 30}, {10, 44}, {51, 16}, {51, 30}}) {
            const int left = port.x + static_cast<int>(x * ux);
            const int middle = port.y + static_cast<int>((y + 5) * uy);
            EXPECT_GT(DarkPixels(screen, left, middle - 9, 22, 18), 12) << x << "," << y;
        }
        Keys(port, "Escape");
        EXPECT_EQ(m_toolProcess.WaitExit(30000), 2);
    }

    CXvfbServer m_x;
    fs::path m_dir;
    std::string m_tool, m_camsim, m_maker;
    CChildProcess m_toolProcess;
};

TEST_F(RealWindows, EscapeInThePortDialogEndsWithStatus2) {
    EscapeThePortDialog();
}

// The same under a window manager that frames the windows (openbox): every dialog there must
// still show its inside on the screen.
TEST_F(RealWindows, EscapeInThePortDialogUnderAWindowManager) {
    std::string openbox = RunCommand("command -v openbox");
    if (openbox.empty() || RunCommand("command -v xprop").empty()) {
        GTEST_SKIP() << "no openbox or xprop";
    }
    openbox.pop_back();  // the line's end
    CChildProcess manager;
    ASSERT_TRUE(
        manager.Start({openbox}, {"DISPLAY=" + m_x.Display()}, (m_dir / "openbox.log").string()));
    ASSERT_TRUE(WaitUntil(20000, [&] {
        return X("xprop -root _NET_SUPPORTING_WM_CHECK").find("window id") != std::string::npos;
    }));
    EscapeThePortDialog();
}

TEST_F(RealWindows, MissingCameraShowsTheMessageAndEndsWithStatus1) {
    ASSERT_TRUE(StartTool(kNoCamera));
    Box port;
    ASSERT_TRUE(WaitDialog(60000, &port));
    Keys(port, "Return");  // AUTO: all four ports are searched
    Box message;
    ASSERT_TRUE(WaitDialog(60000, &message, port.id));
    EXPECT_NE(message.w, port.w);
    Keys(message, "Return");
    EXPECT_EQ(m_toolProcess.WaitExit(30000), 1);
}

TEST_F(RealWindows, WholeUpdateAgainstTheVirtualCamera) {
    const fs::path firmware = m_dir / "sample.fw";
    const fs::path received = m_dir / "received.bin";
    ASSERT_EQ(std::system((m_maker + " " + firmware.string() + " 1.20 >/dev/null").c_str()), 0);

    CChildProcess camera;
    const fs::path cameraOut = m_dir / "camsim.out";
    ASSERT_TRUE(camera.Start({m_camsim, "--id", "TK358 T\xC9ST", "--save-image", received.string(),
                              "--log", (m_dir / "camsim.log").string()},
                             {}, cameraOut.string()));
    std::string port;
    ASSERT_TRUE(WaitUntil(20000, [&] {
        std::ifstream in(cameraOut);
        std::string line;
        while (std::getline(in, line)) {
            if (line.rfind("TK358FW_COM1=", 0) == 0) {
                port = line.substr(13);
                return true;
            }
        }
        return false;
    }));
    ASSERT_TRUE(StartTool({"TK358FW_COM1=" + port}));

    // Port dialog: AUTO and OK.
    Box dialog;
    ASSERT_TRUE(WaitDialog(60000, &dialog));
    Keys(dialog, "Return");

    // The file dialog: the path typed, then Enter (once more if completion took the first).
    const auto fileDialogShown = [&] { return !Windows("Select a file").empty(); };
    ASSERT_TRUE(WaitUntil(120000, fileDialogShown));
    // The file dialog fits the screen, centred across the view, below the prompt line, which
    // shows the camera's ID although one of its bytes is no UTF-8.
    Box fileDialog;
    const bool fits = WaitUntil(10000, [&] {
        fileDialog = Windows("Select a file").front();
        return fileDialog.x >= 0 && fileDialog.x + fileDialog.w <= 1024 && fileDialog.y >= 24 &&
               fileDialog.y + fileDialog.h <= 768 &&
               std::abs(fileDialog.x + fileDialog.w / 2 - 512) <= 1;
    });
    EXPECT_TRUE(fits) << fileDialog.w << "x" << fileDialog.h << " at " << fileDialog.x << ","
                      << fileDialog.y;
    XwdImage screen;
    ASSERT_TRUE(CaptureScreen(m_x.ScreenFile(), &screen));
    EXPECT_GT(DarkPixels(screen, 2, 5, 400, 15), 100) << "the prompt line shows no text";
    X("xdotool windowfocus --sync " + fileDialog.id + " type --delay 20 " + firmware.string());
    for (int i = 0; i < 3 && fileDialogShown(); ++i) {
        X("xdotool key Return");
        WaitUntil(3000, [&] { return !fileDialogShown(); });
    }
    ASSERT_FALSE(fileDialogShown());

    // The progress window, read from screen captures until the next dialog replaces it. On the
    // way the owner presses Return in the main window: held back during the transfer, it must not
    // answer the final message unseen.
    Box progress;
    ASSERT_TRUE(WaitDialog(60000, &progress));
    int readings = 0, blueOnWhite = 0, whiteOnBlue = 0, lastPercent = -1;
    bool keyPressed = false;
    Box next;
    const bool ended = WaitUntil(900000, [&] {
        if (WaitDialog(0, &next, progress.id) || !m_toolProcess.Running()) {
            return true;
        }
        XwdImage window;
        if (!CaptureWindow(m_x.Display(), progress.id, &window) || window.height != progress.h) {
            return false;  // the window went away while the capture was taken
        }
        const ProgressReading r =
            ReadProgress([&](int x, int y) { return window.At(x, y); }, window.height);
        if (!r.frame || r.percent < 0) {
            return false;  // not drawn yet
        }
        ++readings;
        EXPECT_EQ(r.barWidth, 3 * r.percent);
        EXPECT_GE(r.percent, lastPercent);
        lastPercent = r.percent;
        EXPECT_EQ(window.At(3, 3), kGrey);
        blueOnWhite += r.glyphsOnWhite > 0 && r.percent > 0 && r.percent < 44;
        whiteOnBlue += r.glyphsOnBlue > 0 && r.percent >= 56;
        for (const Box& b : Windows(kTitle)) {
            if (!keyPressed && r.percent >= 20 && b.w >= 1000) {
                Keys(b, "Return");
                keyPressed = true;
            }
        }
        return false;
    });
    ASSERT_TRUE(ended);
    ASSERT_TRUE(keyPressed);
    ASSERT_FALSE(next.id.empty()) << "the tool ended without its final message";
    EXPECT_GT(readings, 0);
    EXPECT_GT(blueOnWhite, 0) << "no capture showed blue figures on white";
    EXPECT_GT(whiteOnBlue, 0) << "no capture showed white figures on blue";

    // The success dialog shows its text and waits: OK ends the tool with status 0.
    XwdImage shown;
    EXPECT_TRUE(WaitUntil(10000, [&] {
        if (!CaptureWindow(m_x.Display(), next.id, &shown)) {
            return false;
        }
        int grey = 0;  // drawn: mostly the dialog's grey, with dark text in its upper half
        for (int row = 0; row < shown.height; ++row) {
            for (int col = 0; col < shown.width; ++col) {
                grey += shown.At(col, row) == kGrey;
            }
        }
        return grey > shown.width * shown.height / 2 &&
               DarkPixels(shown, 0, 0, shown.width, shown.height / 2) > 100;
    })) << "the final message shows no text";
    EXPECT_TRUE(m_toolProcess.Running());
    Keys(next, "Return");
    EXPECT_EQ(m_toolProcess.WaitExit(60000), 0);

    // What the camera received is the file's image.
    camera.CloseInput();
    ASSERT_EQ(camera.WaitExit(30000), 0);
    std::ifstream file(firmware, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(file)), {});
    std::ifstream got(received, std::ios::binary);
    std::vector<char> image((std::istreambuf_iterator<char>(got)), {});
    ASSERT_EQ(image.size(), 196608u);
    ASSERT_GE(bytes.size(), 128u + 196608u);
    EXPECT_TRUE(std::equal(image.begin(), image.end(), bytes.begin() + 128));
}

}  // namespace
