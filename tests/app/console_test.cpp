// The terminal front end: answer parsing, the dialogs' conventions on streams, progress output,
// and whole updates against the virtual camera.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <utility>

#include "app/app_test_support.hpp"

namespace {

using apptest::FirmwareFile;

TEST(ConsoleAnswers, PortChoice) {
    struct Case {
        const char* line;
        ConsoleChoice choice;
        int16_t port;
    };
    const Case cases[] = {
        {"", ConsoleChoice::Port, 0},           {"  ", ConsoleChoice::Port, 0},
        {"auto", ConsoleChoice::Port, 0},       {" AuTo \t", ConsoleChoice::Port, 0},
        {"COM1", ConsoleChoice::Port, 1},       {"com4", ConsoleChoice::Port, 4},
        {"2", ConsoleChoice::Port, 2},          {" 3 ", ConsoleChoice::Port, 3},
        {"q", ConsoleChoice::Quit, -1},         {"Quit", ConsoleChoice::Quit, -1},
        {"0", ConsoleChoice::AskAgain, -1},     {"5", ConsoleChoice::AskAgain, -1},
        {"COM5", ConsoleChoice::AskAgain, -1},  {"COM", ConsoleChoice::AskAgain, -1},
        {"com 1", ConsoleChoice::AskAgain, -1}, {"quitx", ConsoleChoice::AskAgain, -1},
    };
    for (const Case& c : cases) {
        int16_t port = -1;
        EXPECT_EQ(ParsePortAnswer(c.line, &port), c.choice) << '"' << c.line << '"';
        EXPECT_EQ(port, c.port) << '"' << c.line << '"';
    }
}

TEST(ConsoleAnswers, ContinueOrQuit) {
    for (const char* line : {"", " ", "c", "C", "continue", " Continue "}) {
        EXPECT_EQ(ParseContinueQuitAnswer(line), ConsoleChoice::Continue) << line;
    }
    for (const char* line : {"q", "QUIT", " quit"}) {
        EXPECT_EQ(ParseContinueQuitAnswer(line), ConsoleChoice::Quit) << line;
    }
    for (const char* line : {"y", "ok", "cont", "qq"}) {
        EXPECT_EQ(ParseContinueQuitAnswer(line), ConsoleChoice::AskAgain) << line;
    }
}

TEST(ConsoleAnswers, CarriageReturnsBecomeLineBreaks) {
    EXPECT_EQ(TerminalText("a\rb"), "a\nb");
    EXPECT_EQ(TerminalText("a\r\nb\n"), "a\nb\n");
    EXPECT_EQ(TerminalText("\r"), "\n");
    EXPECT_EQ(TerminalText(LoadString(kStrImagesPresent)),
              "The camera contains images,\nuse the camera application to save and delete the "
              "images before downloading firmware.   ");
}

TEST(CameraText, EveryByteShowsAsOneCharacter) {
    const std::pair<std::string, std::string> cases[] = {
        {"TK358-01", "TK358-01"},
        {"Andr\xE9", "Andr\xC3\xA9"},
        {"\x80", "\xE2\x82\xAC"},
        {"\x81", "\xC2\x81"},
        {"\x9F", "\xC5\xB8"},
        {"\xFF", "\xC3\xBF"},
        {std::string(1, '\0'), std::string(1, '\0')},
    };
    for (const auto& [bytes, shown] : cases) {
        EXPECT_EQ(CameraTextToUtf8(bytes), shown) << bytes;
    }
    std::string all;
    for (int b = 0; b < 256; ++b) {
        all += static_cast<char>(b);
    }
    const std::string text = CameraTextToUtf8(all);
    const auto characters = std::count_if(text.begin(), text.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    });
    EXPECT_EQ(characters, 256);
}

// Text from outside never drives the terminal: controls, DEL, C1 and stray bytes become escapes.
TEST(ConsoleAnswers, ControlCharactersFromOutsideAreMadeVisible) {
    const std::string hostile = "ID\x1b]0;owned\x07\x1b[2J\r\n\t\x7f";
    EXPECT_EQ(TerminalLine(hostile), "ID\\x1b]0;owned\\x07\\x1b[2J\\x0d\\x0a\\x09\\x7f");
    EXPECT_EQ(TerminalText("a\x1b[2Jb\r"), "a\\x1b[2Jb\n");
    // UTF-8 text stays; C1 controls, invalid and overlong bytes do not.
    EXPECT_EQ(TerminalLine("Caf\xc3\xa9 \xe2\x82\xac"), "Caf\xc3\xa9 \xe2\x82\xac");
    EXPECT_EQ(TerminalLine("\xc2\x9b"
                           "2J|\x9b|\xc0\xaf|\xe9"),
              "\\u009b2J|\\x9b|\\xc0\\xaf|\\xe9");
    // The C1 range at both ends, and the characters just outside it.
    EXPECT_EQ(TerminalLine("\x7e\x7f\xc2\x80|\xc2\x9f\xc2\xa0"), "~\\x7f\\u0080|\\u009f\xc2\xa0");
}

TEST(Utf8Text, ACharacterCutShortWaitsForTheRestOfItsBytes) {
    const struct {
        const char* text;
        size_t whole;
    } cases[] = {
        {"abc", 3},
        {"a\xC3", 1},
        {"a\xC3\xBC", 3},
        {"\xE2\x82", 0},
        {"\xE2\x82\xAC", 3},
        {"\xF0\x9F\x98", 0},
        {"\xF0\x9F\x98\x80", 4},
        {"\x80\x80\x80\x80", 4},
        {"a\xFF", 2},
        {"", 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(WholeUtf8Length(c.text), c.whole) << c.text;
    }
    EXPECT_EQ(WithoutSurroundingQuotes("\"C:\\My Files\\a.fw\""), "C:\\My Files\\a.fw");
    EXPECT_EQ(WithoutSurroundingQuotes("\""), "\"");
}

TEST(PortList, SlotsMarksDevicesBeyondAndTheConsoleNeverSearched) {
    PortMap map;
    map.com[0] = {"/dev/ttyUSB0", "FTDI FT232R USB UART, serial A12345, USB 0403:6001", ""};
    map.com[1] = {"/dev/ttyUSB1", "USB\x1b[2J Serial\x9b, USB 1a86:7523", "TK358FW_COM2"};
    map.com[2] = {"", "/dev/ttyUSB0 is COM1", "TK358FW_COM3"};
    map.com[3] = {"/tmp/notes", "not a terminal (a regular file)", "TK358FW_COM4"};
    map.unmapped = {{"/dev/ttyS1", "on-board serial port, 16550A UART", ""}};
    map.skipped = {{"/dev/ttyS0", "the system console (on-board serial port, 16550A UART)", ""}};
    std::ostringstream out;
    WritePortList(out, map);
    EXPECT_EQ(out.str(),
              "COM1  /dev/ttyUSB0  FTDI FT232R USB UART, serial A12345, USB 0403:6001\n"
              "COM2  /dev/ttyUSB1  USB\\x1b[2J Serial\\x9b, USB 1a86:7523  (from TK358FW_COM2)\n"
              "COM3  no device     /dev/ttyUSB0 is COM1  (from TK358FW_COM3)\n"
              "COM4  /tmp/notes    not a terminal (a regular file)  (from TK358FW_COM4)\n"
              "\nAlso found (" +
                  std::string(SystemOtherPortsHelp()) + "):\n" +
                  "      /dev/ttyS1    on-board serial port, 16550A UART\n"
                  "\nNever searched:\n"
                  "      /dev/ttyS0    the system console (on-board serial port, 16550A UART)\n");
}

class ConsoleUi : public ::testing::Test {
  protected:
    CConsoleUserInterface& Ui(const std::string& input, bool terminal = false) {
        in.str(input);
        ui = std::make_unique<CConsoleUserInterface>(in, out, terminal, false);
        ui->Attach(&updater);
        return *ui;
    }

    std::istringstream in;
    std::ostringstream out;
    std::unique_ptr<CConsoleUserInterface> ui;
    CScriptedUserInterface unused;
    sim::VirtualPortSystem ports;
    CFirmwareUpdater updater{unused, ports};
};

TEST_F(ConsoleUi, PromptLineShowsACameraIdThatIsNoUtf8) {
    Ui("");
    const char id[] = "K\xF6nig \x81";
    std::memcpy(updater.m_cameraId.data(), id, std::strlen(id));
    updater.m_cameraInfoValid = 1;
    updater.m_cameraVersionMajor = 1;
    updater.ShowPrompt(PromptCameraInfo);
    // Every byte is a character; the one that decodes to a control is shown as an escape.
    EXPECT_EQ(out.str(), "Camera ID: K\xC3\xB6nig \\u0081     Firmware Version: 1.0\n");
}

TEST_F(ConsoleUi, PortDialogShowsTheMappingAsksUntilAValidAnswerAndSetsTheSearchPrompt) {
    sim::VirtualPortSystem described;
    described.Describe(1, PortInfo{"/dev/ttyUSB0", "FTDI FT232R USB UART", ""});
    described.Describe(3, PortInfo{"/dev/pts/7", "", "TK358FW_COM3"});
    CFirmwareUpdater withPorts(unused, described);
    int16_t port = -1;
    Ui("COM9\nnonsense\ncom3\n").Attach(&withPorts);
    EXPECT_EQ(ui->RunPortDialog(&port), kDialogOk);
    EXPECT_EQ(port, 3);
    EXPECT_EQ(withPorts.m_promptText, LoadString(kStrSearching));
    const std::string shown = out.str();
    EXPECT_NE(shown.find("AUTO COM1 COM2 COM3 COM4\n"
                         "COM1  /dev/ttyUSB0  FTDI FT232R USB UART\n"
                         "COM2  no device\n"
                         "COM3  /dev/pts/7    (from TK358FW_COM3)\n"
                         "COM4  no device\n"
                         "Port (Enter: AUTO)"),
              std::string::npos)
        << shown;
    EXPECT_NE(shown.find(LoadString(kStrSearching) + "\n"), std::string::npos);
}

TEST_F(ConsoleUi, EndOfInputRules) {
    int16_t port = 7;
    EXPECT_EQ(Ui("").RunPortDialog(&port), kDialogQuit);  // Quit
    EXPECT_EQ(port, 7);
    EXPECT_EQ(Ui("").RunTextDialog(kDialogWrongFile, "x"), kDialogQuit);
    EXPECT_EQ(Ui("").RunTextDialog(kDialogSelectionCancelled, "x"), kDialogQuit);
    EXPECT_EQ(Ui("").RunTextDialog(kDialogSuccess, "x"), kDialogOk);  // OK is the only button
    EXPECT_EQ(Ui("").RunTextDialog(kDialogImagesPresent, "x"), kDialogQuit);
    std::string path = "kept";
    EXPECT_EQ(Ui("").ChooseFile(LoadString(kStrFilter), "*.fw ", &path), kChooseCancelled);
    EXPECT_EQ(path, "kept");
    Ui("").ShowMessage("gone", {});  // returns at the end of input
    // A result shown after a stop request reads no answer: Continue or Quit takes Quit.
    const CResultShown shown(0, true);
    in.clear();
    EXPECT_EQ(Ui("c\n").RunTextDialog(kDialogWrongFile, "x"), kDialogQuit);
    EXPECT_EQ(in.tellg(), 0);
}

TEST_F(ConsoleUi, DialogAnswers) {
    EXPECT_EQ(Ui("maybe\n c \n").RunTextDialog(kDialogWrongFile, LoadString(kStrWrongFile)),
              kDialogOk);
    EXPECT_NE(out.str().find("\nSelected file is wrong.\n"), std::string::npos);
    EXPECT_EQ(Ui("\n").RunTextDialog(kDialogSelectionCancelled, "x"), kDialogOk);
    EXPECT_EQ(Ui("QUIT\n").RunTextDialog(kDialogSelectionCancelled, "x"), kDialogQuit);
    // The pictures dialog has only Quit: any line closes it.
    EXPECT_EQ(Ui("continue\n").RunTextDialog(kDialogImagesPresent, "x"), kDialogQuit);
    EXPECT_EQ(Ui("whatever\n").RunTextDialog(kDialogSuccess, "x"), kDialogOk);
    out.str("");
    Ui("anything\n").ShowMessage(LoadString(kStrCameraNotFound), "COM1: no device\n");
    // The reasons follow the unchanged message, before its OK.
    EXPECT_NE(out.str().find(LoadString(kStrTitle) + "\n" + LoadString(kStrCameraNotFound) +
                             "\n\nCOM1: no device\nOK (Enter): "),
              std::string::npos)
        << out.str();
}

TEST_F(ConsoleUi, TheRetryProcedureIsNamedBelowTheFailureMessageOnly) {
    const std::string named = "The retry procedure: /usr/share/doc/tk358fw/retry-procedure.md\n";
    Ui("\n\n").SetRetryProcedure("/usr/share/doc/tk358fw/retry-procedure.md");
    ui->ShowMessage(LoadString(kStrCameraNotFound), "");
    EXPECT_EQ(out.str().find("retry procedure:"), std::string::npos);
    ui->ShowMessage(LoadString(kStrUpdateFailed), "");
    EXPECT_NE(out.str().find("Quit and follow the RETRY PROCEDURE \n in the ReadMe file. \n" +
                             named + "OK (Enter): "),
              std::string::npos)
        << out.str();
}

TEST(RetryProcedureFile, FoundOnlyInTheDocumentsOfTheProgramsInstallation) {
    apptest::TempDir prefix;
    const std::filesystem::path top = prefix.Path();
#ifdef _WIN32
    const std::filesystem::path docs = top / "bin";  // the zip holds it beside the program
#else
    const std::filesystem::path docs = top / "share" / "doc" / "tk358fw";
#endif
    std::filesystem::create_directories(docs);
    std::filesystem::create_directories(top / "bin");
    EXPECT_EQ(InstalledRetryProcedure(top / "bin" / "tk358fw"), "");
    std::ofstream(docs / "retry-procedure.md") << "# If an update fails\n";
    EXPECT_EQ(std::filesystem::path(InstalledRetryProcedure(top / "bin" / "tk358fw")),
              docs / "retry-procedure.md");
    EXPECT_EQ(InstalledRetryProcedure(top / "build" / "src" / "app" / "main" / "tk358fw"), "");
}

TEST_F(ConsoleUi, FileChoiceRefusesMissingPathsAndCancelsOnAnEmptyLine) {
    apptest::TempDir dir;
    const std::string file = dir.Write("Fw One.FW", {1});
    std::string path;
    EXPECT_EQ(Ui(dir.Path() + "/nope.fw\n" + dir.Path() + "\n  " + file + "  \n")
                  .ChooseFile(LoadString(kStrFilter), "*.fw ", &path),
              kChooseOk);
    EXPECT_EQ(path, file);  // case and inner blanks kept
    const std::string shown = out.str();
    const auto count = [&shown](const std::string& text) {
        size_t found = 0;
        for (size_t at = shown.find(text); at != std::string::npos; at = shown.find(text, at + 1)) {
            ++found;
        }
        return found;
    };
    EXPECT_EQ(count(LoadString(kStrFileNotFound)), 1u);  // the missing file
    EXPECT_EQ(count(LoadString(kStrFileError)), 1u);     // the directory: it exists
    EXPECT_NE(shown.find("Firmware Files (*.fw )"), std::string::npos);
    EXPECT_EQ(Ui("   \n" + file + "\n").ChooseFile(LoadString(kStrFilter), "", &path),
              kChooseCancelled);

    // One pair of double quotes around the path, as "Copy as path" adds them, is not part of
    // it; names in any script are found.
    const std::string named =
        dir.Write("J\u00fcrgen \u043f\u0440\u043e\u0448\u0438\u0432\u043a\u0430.fw", {1});
    EXPECT_EQ(Ui(" \"" + named + "\" \n").ChooseFile(LoadString(kStrFilter), "", &path), kChooseOk);
    EXPECT_EQ(path, named);
    EXPECT_EQ(Ui("\"\"" + named + "\"\"\n\"\"\n" + named + "\"\n")
                  .ChooseFile(LoadString(kStrFilter), "", &path),
              kChooseCancelled);  // two pairs, an empty pair, and one quote are no path
}

TEST_F(ConsoleUi, PromptChangesArePrintedOnceAndEmptyOnesNotAtAll) {
    Ui("");
    updater.ShowPrompt(PromptSelectPort);
    updater.ShowPrompt(PromptSelectPort);
    updater.ShowPrompt(PromptClear);
    updater.ShowPrompt(PromptSearching);
    EXPECT_EQ(out.str(), LoadString(kStrSelectPort) + "\n" + LoadString(kStrSearching) + "\n");
    // The camera's ID stays on its line, whatever it holds.
    out.str("");
    std::memcpy(updater.m_cameraId.data(), "X\x1b[2J\nY", 8);
    updater.m_cameraInfoValid = 1;
    updater.ShowPrompt(PromptCameraInfo);
    EXPECT_EQ(out.str(), "Camera ID: X\\x1b[2J\\x0aY     Firmware Version: 0.0\n");
}

TEST_F(ConsoleUi, ProgressAsLinesWhenNotOnATerminal) {
    auto window = Ui("").CreateProgressWindow();
    window->ShowProgress(0, 0, kProgressRunning);
    for (int block = 1; block <= 768; ++block) {
        window->ShowProgress(1, static_cast<int16_t>(TransferPercent(block)), kProgressRunning);
    }
    window->ShowProgress(2, 100, kProgressCompleted);
    window->CloseProgress();
    std::ostringstream expected;
    expected << "Downloading firmware ...   0%\n";
    for (int tenth = 10; tenth <= 90; tenth += 10) {
        expected << "Downloading firmware ...  " << tenth << "%\n";
    }
    expected << "Downloading firmware completed. 100%\n";
    EXPECT_EQ(out.str(), expected.str());
}

TEST_F(ConsoleUi, ProgressFailureLineCarriesTheLastPercentage) {
    auto window = Ui("").CreateProgressWindow();
    window->ShowProgress(0, 0, kProgressRunning);
    window->ShowProgress(1, 3, kProgressRunning);
    window->ShowProgress(3, 3, kProgressFailed);
    EXPECT_EQ(out.str(), "Downloading firmware ...   0%\nDownloading firmware failed.   3%\n");
}

TEST_F(ConsoleUi, ProgressBarRedrawnInPlaceOnATerminal) {
    auto window = Ui("", true).CreateProgressWindow();
    window->ShowProgress(0, 0, kProgressRunning);
    window->ShowProgress(1, 50, kProgressRunning);
    window->ShowProgress(2, 100, kProgressCompleted);
    window->CloseProgress();
    const std::string shown = out.str();
    EXPECT_EQ(std::count(shown.begin(), shown.end(), '\n'), 1);  // one line, ended at the close
    EXPECT_EQ(std::count(shown.begin(), shown.end(), '\r'), 3);
    EXPECT_NE(shown.find("[" + std::string(15, '#') + std::string(15, '.') + "]  50%"),
              std::string::npos);
    EXPECT_NE(shown.find("Downloading firmware completed. [" + std::string(30, '#') + "] 100%\n"),
              std::string::npos);
}

// Whole updates through the terminal front end against the virtual camera.
class ConsoleUpdate : public ::testing::Test {
  protected:
    int Run(const std::string& input, const ConsoleAnswers& answers = {}) {
        in.clear();
        in.str(input);
        const int status = RunConsoleUpdate(world.ports, in, out, false, true, answers);
        EXPECT_EQ(g_pUpdater, nullptr);
        return status;
    }
    // How much of the last run's input was read.
    std::streamoff InputRead() {
        in.clear();
        return in.tellg();
    }

    std::istringstream in;

    apptest::VirtualWorld world;
    apptest::TempDir dir;
    std::ostringstream out;
};

TEST_F(ConsoleUpdate, SuccessfulUpdateExitsWith0) {
    const std::vector<uint8_t> file = FirmwareFile("0120");
    const std::string path = dir.Write("good.fw", file);
    EXPECT_EQ(Run("AUTO\n" + path + "\n\n"), 0);
    EXPECT_EQ(world.camera.Image(), apptest::ImagePart(file));
    const std::string shown = out.str();
    EXPECT_EQ(shown.find("Select the communication port. \n"), 0u);
    EXPECT_NE(shown.find("Firmware 1.20 was successfully installed"), std::string::npos);
    EXPECT_NE(shown.find("Downloading firmware completed. 100%\n"), std::string::npos);
    EXPECT_NE(shown.find(": AUTO\n"), std::string::npos);  // the echoed answer
}

TEST_F(ConsoleUpdate, ExitStatusForEachOutcome) {
    const struct {
        const char* input;
        int16_t pictures;
        int status;
    } cases[] = {
        {"q\n", 0, 2},
        {"1\n\n", 1, 69},       // nothing sent: pictures in the camera
        {"com1\n\nq\n", 0, 2},  // cancelled, then Quit
        {"2\n", 0, 1},          // nothing on COM2
    };
    for (const auto& c : cases) {
        world.camera.State().store0.pictures = c.pictures;
        EXPECT_EQ(Run(c.input), c.status) << c.input;
    }
    EXPECT_NE(out.str().find(LoadString(kStrCameraNotFound)), std::string::npos);
}

// --port and --file both given: nothing is read, Continue-or-Quit takes Quit, OK is passed.
TEST_F(ConsoleUpdate, BothAnswersGivenAheadReadNothing) {
    const std::vector<uint8_t> file = FirmwareFile("0120");
    const std::string good = dir.Write("good.fw", file);
    const std::string wrong = dir.Write("wrong.fw", std::vector<uint8_t>(kFirmwareCompleteBytes));
    const std::string unread = "c\n" + good + "\n\n";  // would continue and install

    // A file that will not do ends the run before any port is opened.
    EXPECT_EQ(Run(unread, {0, wrong}), 65);  // the wrong file's Continue or Quit: Quit
    EXPECT_EQ(InputRead(), 0);

    EXPECT_EQ(Run(unread, {1, dir.Path() + "/missing.fw"}), 65);
    EXPECT_EQ(InputRead(), 0);
    EXPECT_NE(out.str().find(LoadString(kStrTitle) + "\n" + LoadString(kStrFileNotFound)),
              std::string::npos)
        << out.str();
    EXPECT_EQ(world.ports.OpenCount(1), 0);
    EXPECT_EQ(out.str().find("Port (Enter: AUTO)"), std::string::npos) << out.str();

    // A path given ahead is the file as named: no blanks dropped (Windows itself drops them
    // from the end of a name). A directory exists: the loader refuses it.
#ifndef _WIN32
    EXPECT_EQ(Run(unread, {1, good + " "}), 65);
    EXPECT_NE(out.str().find(LoadString(kStrFileNotFound)), std::string::npos) << out.str();
#endif
    EXPECT_EQ(Run(unread, {1, dir.Path()}), 65);
    EXPECT_NE(out.str().find(LoadString(kStrTitle) + "\n" + LoadString(kStrFileError)),
              std::string::npos)
        << out.str();
    EXPECT_EQ(out.str().find("Downloading firmware"), std::string::npos);  // nothing sent

    EXPECT_EQ(Run(unread, {1, good}), 0);
    EXPECT_EQ(InputRead(), 0);
    EXPECT_EQ(world.camera.Image(), apptest::ImagePart(file));
    EXPECT_NE(out.str().find(": COM1\n"), std::string::npos);
}

// One of them given: it answers its own question, the rest is read as usual.
TEST_F(ConsoleUpdate, OneAnswerGivenAhead) {
    const std::string good = dir.Write("good.fw", FirmwareFile("0120"));
    const std::string wrong = dir.Write("wrong.fw", std::vector<uint8_t>(kFirmwareCompleteBytes));
    EXPECT_EQ(Run("\n\n", {std::nullopt, good}), 0);  // the port (Enter: AUTO) and OK read
    EXPECT_EQ(InputRead(), 2);
    EXPECT_LT(out.str().find("path of the file"), out.str().find("Port (Enter: AUTO)"));
    // The file given ahead is checked first: refused, Quit is read before any port question.
    EXPECT_EQ(Run("q\n", {std::nullopt, wrong}), 65);
    EXPECT_EQ(InputRead(), 2);
    EXPECT_EQ(world.ports.OpenCount(1), 1);                  // the first run's only
    EXPECT_EQ(Run(wrong + "\nq\n", {1, std::nullopt}), 65);  // the file and Quit read
}

}  // namespace
