// Update application layer: the string table, the user-interface seam, the update procedure
// object with the update workflow, and the progress callback.
//
// Nothing here uses a window system: the desktop GUI, the terminal front end and the scripted
// front end of the tests each implement IUserInterface.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <iosfwd>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "download/download.hpp"
#include "firmware/firmware.hpp"
#include "res/res.hpp"

// File choice outcomes.
constexpr int16_t kChooseOk = 0;
constexpr int16_t kChooseDialogFailed = 11;
constexpr int16_t kChooseCancelled = 100;

enum PromptMode : int16_t {
    PromptSelectPort = 0,
    PromptSearching = 1,
    PromptCameraInfo = 2,
    PromptClear = 3,
};

struct ViewRect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;
    int32_t Width() const { return right - left; }
    int32_t Height() const { return bottom - top; }
};

// ---------------------------------------------------------------------------------------------
// User-interface seam.
// ---------------------------------------------------------------------------------------------

// A window that can be centred over the view.
class IPlaceableWindow {
  public:
    virtual ~IPlaceableWindow() = default;
    virtual void GetOuterSize(int32_t* width, int32_t* height) = 0;
    // Moves the window (screen coordinates), size unchanged, and repaints it at once.
    virtual void MoveTo(int32_t left, int32_t top) = 0;
};

// The prompt line's window: repainted whenever the prompt text changes.
class IPromptBar {
  public:
    virtual ~IPromptBar() = default;
    virtual void Repaint() = 0;
};

// The modeless progress window.
class IProgressWindow {
  public:
    virtual ~IProgressWindow() = default;
    // Draws the stage text (when not null), the frame, the bar and the figure, and makes them
    // visible before it returns. (The one-second pause at the end belongs to the caller.)
    virtual void ShowProgress(uint32_t stage, int16_t percent, const char* text) = 0;
    // Destroys the window.
    virtual void CloseProgress() = 0;
};

class IUserInterface {
  public:
    virtual ~IUserInterface() = default;

    // The view's drawing area (origin 0, 0) and an immediate repaint of its invalid part.
    virtual ViewRect ViewClientRect() = 0;
    virtual void RepaintView() = 0;

    // The port dialog. Returns kDialogOk with `port` set (0 AUTO, 1-4 COM1-COM4) after calling
    // ShowPrompt(PromptSearching) on the updater, or kDialogQuit.
    virtual int RunPortDialog(int16_t* port) = 0;
    // Dialogs 103, 104, 105 and 112 with their text; returns kDialogOk or kDialogQuit.
    virtual int RunTextDialog(DialogId dialog, const std::string& text) = 0;
    // Beep, then a message box with the title string, one OK button and the information icon.
    // `extendedText` (may be empty) goes under the text: what lies behind it, line by line.
    virtual void ShowMessage(const std::string& text, const std::string& extendedText) = 0;
    // A warning that asks for no answer (a line or more, each ending in a line feed), while the
    // update goes on. By default written to standard error, made visible (TerminalText).
    virtual void ShowNotice(const std::string& text);
    // The open-file dialog: kChooseOk with the chosen (existing) file's path, kChooseCancelled,
    // or kChooseDialogFailed.
    virtual int16_t ChooseFile(const std::string& filter, const std::string& initialName,
                               std::string* path) = 0;

    virtual void BeginWaitCursor() = 0;
    virtual void EndWaitCursor() = 0;

    // A new progress window, or null when it cannot be created.
    virtual std::unique_ptr<IProgressWindow> CreateProgressWindow() = 0;
};

// ---------------------------------------------------------------------------------------------
// Signals from outside the camera.
// ---------------------------------------------------------------------------------------------

// The run's answer to the signals that would end it, in force while the object lives (one at a
// time; the dispositions found are put back after). SIGPIPE and SIGHUP are ignored: a write to a
// closed pipe or a hung-up terminal just fails, and the update goes on. SIGINT and SIGTERM end
// the process at once, by that signal, after every open port has been put back as found, except
// inside an exchange section (CSignalsHeld) and while the transfer's result is shown
// (CResultShown). SIGQUIT ends it at once by that signal, the ports put back first. A signal the
// process was started to ignore stays ignored. Signals are handled on the thread that made the
// object (the main thread, which opens and closes the ports). On Windows the console's Ctrl+C and
// Ctrl+Break follow the rules of SIGINT and SIGTERM (the process then exits with 130 or 143, the
// statuses POSIX shells show for those signals); closing the console ends it at once with 143,
// the ports put back.
class CRunSignals {
  public:
    CRunSignals();
    ~CRunSignals();
    CRunSignals(const CRunSignals&) = delete;
    CRunSignals& operator=(const CRunSignals&) = delete;
};

enum class ExchangeSection {
    // SIGINT and SIGTERM are held until Connect returns (a notice says so on standard error);
    // then the owner releases the port and ends the run by the first of them.
    Connect,
    // The first SIGINT or SIGTERM is acknowledged on standard error and the transfer goes on; from
    // the second on, TransferStopRequested() is true and the progress callback stops the transfer
    // after the current block.
    Transfer,
};

// A stretch of camera exchanges that SIGINT and SIGTERM do not interrupt; the count of them
// starts at 0 with each section.
class CSignalsHeld {
  public:
    explicit CSignalsHeld(ExchangeSection section);
    ~CSignalsHeld();
    CSignalsHeld(const CSignalsHeld&) = delete;
    CSignalsHeld& operator=(const CSignalsHeld&) = delete;

    // SIGINT and SIGTERM received since the section began.
    int Received() const;
    // When one was received: ends the process by the first of them (ports put back as found).
    // The caller releases its link first.
    void EndRunIfReceived() const;
};

// True inside the transfer's section once a second SIGINT or SIGTERM has come.
bool TransferStopRequested();

// What a run that a stop request ends at once still writes: the end of its wire trace (the
// closing of the open port and the summary). The owner prepares it anew whenever it changes;
// the system's handler takes it and writes it, as the last thing before the process ends.
namespace last_words {
// Publishes `text` (at most 1 KiB is kept) to be written to descriptor `fd`; fd -1 or an empty
// text withdraws it.
void Prepare(int fd, std::string_view text);
// Takes the published text, once (lock-free, async-signal-safe); false when there is none.
bool Take(int* fd, const char** text, size_t* length);
}  // namespace last_words

// The transfer's result being shown, in force while the object lives. The update is over: a stop
// request ends the process at once with the result's exit status (the ports put back first)
// rather than by the request. After a transfer in which a stop request was acknowledged, the
// result is shown without waiting for an answer (ResultShownWithoutWaiting).
class CResultShown {
  public:
    CResultShown(int exitStatus, bool stopRequested);
    ~CResultShown();
    CResultShown(const CResultShown&) = delete;
    CResultShown& operator=(const CResultShown&) = delete;
};

// True while a result is shown after a stop request: the front ends show it and wait for no
// answer (OK is passed, a question with Continue or Quit takes Quit).
bool ResultShownWithoutWaiting();

// ---------------------------------------------------------------------------------------------
// The update procedure object.
// ---------------------------------------------------------------------------------------------
class CFirmwareUpdater {
  public:
    CFirmwareUpdater(IUserInterface& ui, IPortSystem& ports);
    virtual ~CFirmwareUpdater();  // 0
    CFirmwareUpdater(const CFirmwareUpdater&) = delete;
    CFirmwareUpdater& operator=(const CFirmwareUpdater&) = delete;

    virtual void CenterInView(IPlaceableWindow* window);  // 1
    virtual void ShowPrompt(int16_t mode);                // 2
    // The update workflow; returns how it ended.
    enum class Outcome {
        Installed,            // firmware installed
        Failed,               // camera not found, transfer failed
        EndedByChoice,        // Quit at the port question or after a cancelled file choice
        FileRefused,          // the file missing, unreadable, not a firmware file or too short
        CameraHoldsPictures,  // nothing sent: the pictures are to be saved and deleted first
    };
    virtual Outcome RunUpdate();                                        // 3
    virtual uint16_t ReadWordBigEndian(const uint8_t* bytes);           // 4
    virtual void ReadFirmwareVersion(std::span<const uint8_t> digits);  // 5
    virtual int16_t CompareIdentification(std::span<const uint8_t> image, const char* text,
                                          int count);  // 6
    virtual int16_t ChooseFirmwareFile(bool openDialog, std::string* path,
                                       const std::string& filter);  // 7
    // The loaded file, or false after message 12 has been shown.
    virtual bool LoadFirmwareFile(const std::string& path, FirmwareImage* image,
                                  int64_t* size);  // 8

    // The progress callback of the transfer.
    int32_t OnDownloadProgress(uint32_t stage, int32_t value, int32_t, int32_t);

    // With `first` set, RunUpdate chooses, loads and checks the firmware file before it asks for
    // the port, so that a file given ahead that will not do ends the run before any port is
    // opened. Otherwise (the default) the file is chosen once the camera has been found.
    void CheckFileFirst(bool first) { m_fileFirst = first; }

    IUserInterface& Ui() { return m_ui; }
    // What COM1 to COM4 stand for during this run.
    const PortMap& Ports() const { return m_portMap; }

    // Fields the windows read.
    std::unique_ptr<IProgressWindow> m_pProgressDialog;
    int32_t m_progressOpen = 0;
    ViewRect m_viewRect;
    int32_t m_cameraInfoValid = 0;
    int16_t m_cameraVersionMajor = 0;
    int16_t m_cameraVersionMinor = 0;
    std::array<char, 33> m_cameraId = {};
    int16_t m_fileVersionMajor = 0;
    int16_t m_fileVersionMinor = 0;
    IPromptBar* m_pPromptBar = nullptr;
    std::string m_promptText;

  private:
    // The file loop: asks for files until one is loaded whole with the identification, and
    // returns nothing then (the image and its size set); otherwise the ending of the run.
    std::optional<Outcome> ChooseUsableFile(FirmwareImage* image, int64_t* size);

    IUserInterface& m_ui;
    IPortSystem& m_ports;
    PortMap m_portMap;
    bool m_fileFirst = false;
};

// Text that comes from the camera (its ID, and the prompt line that shows it) as display text in
// UTF-8. The camera's bytes are read in the Windows Western code page (1252), one character per
// byte; the five bytes that code page leaves unassigned become the control characters of the same
// value, so every byte shows and none is dropped.
std::string CameraTextToUtf8(std::string_view bytes);

// The process-wide update procedure object; null while there is none.
extern CFirmwareUpdater* g_pUpdater;

// Answers to the terminal front end's questions given ahead (on the command line).
struct ConsoleAnswers {
    std::optional<int16_t> port;      // the port question: 0 AUTO, 1 to 4 COM1 to COM4
    std::optional<std::string> file;  // the first file question: the path
};

// The terminal front end: runs one update on standard input and output; returns the exit status
// (ExitStatusFor). A firmware file given ahead is checked before any port is opened. After a
// failed transfer it names the retry procedure installed beside this program, if there is one.
int RunConsoleUpdate(IPortSystem& ports, const ConsoleAnswers& answers = {});
// The same on the given streams; `terminal` selects the progress bar redrawn in place, otherwise
// progress is written as lines; `echoInput` echoes each answer read (input that is no terminal);
// `answers` are given ahead; `retryProcedure` is the path named after a failed transfer (empty:
// none).
int RunConsoleUpdate(IPortSystem& ports, std::istream& in, std::ostream& out, bool terminal,
                     bool echoInput, const ConsoleAnswers& answers = {},
                     const std::string& retryProcedure = {});

// The retry procedure installed with the program at `program` (in the documents' folder of the
// same installation), or empty when there is none.
std::string InstalledRetryProcedure(const std::filesystem::path& program);
// The file of the running program, or empty when the system cannot tell.
std::filesystem::path RunningProgram();

// The program's arguments (argv[0] first) as UTF-8 text: on POSIX systems as given, on Windows
// read again from the command line in UTF-16, so that any file name arrives whole whatever the
// system's code page.
std::vector<std::string> ProgramArguments(int argc, char** argv);

// Standard input, output and error as UTF-8 text while the object lives. On Windows a console
// is written with WriteConsoleW and read with ReadConsoleW, so that every character shows and can
// be typed whatever the console's code page; redirected streams, and every stream on POSIX
// systems, carry the UTF-8 bytes as they are.
class CConsoleText {
  public:
    CConsoleText();
    ~CConsoleText();
    CConsoleText(const CConsoleText&) = delete;
    CConsoleText& operator=(const CConsoleText&) = delete;
};

// Paths are UTF-8 text inside the program on every system; these make them the system's paths
// (on Windows UTF-16) and back.
std::filesystem::path PathFromUtf8(std::string_view text);
std::string Utf8FromPath(const std::filesystem::path& path);
// The length of `text` without a UTF-8 character cut short at its end (which waits for the rest
// of its bytes); bytes that are no UTF-8 count as whole.
size_t WholeUtf8Length(std::string_view text);
// A typed path without one pair of surrounding double quotes (as "Copy as path" adds them).
std::string_view WithoutSurroundingQuotes(std::string_view path);

// The process exit statuses, the same in every front end and on every system. A stop request
// outside the exchanges ends the process by that request instead (130 for SIGINT or Ctrl+C, 143
// for SIGTERM or Ctrl+Break in a shell).
constexpr int kExitInstalled = 0;
constexpr int kExitFailed = 1;        // camera not found, transfer failed
constexpr int kExitEndedByUser = 2;   // Quit (cancel, close box) at a question or dialog
constexpr int kExitUsage = 64;        // EX_USAGE: unknown option, bad value, bad combination
constexpr int kExitFileRefused = 65;  // EX_DATAERR: firmware file missing, unreadable, wrong
constexpr int kExitCameraHoldsPictures = 69;  // EX_UNAVAILABLE: nothing sent, pictures in it

// The process exit status for an outcome (the constants above).
int ExitStatusFor(CFirmwareUpdater::Outcome outcome);

// ---------------------------------------------------------------------------------------------
// Ports in words: the port list and the reasons behind a camera that was not found.
// ---------------------------------------------------------------------------------------------

// "COM1  /dev/ttyUSB0  FTDI FT232R USB UART, serial A12345, USB 0403:6001", "COM3  no device";
// a device named rather than found is marked "(from TK358FW_COM1)". Devices are padded to
// `deviceWidth` characters.
std::string PortLine(int portNumber, const PortInfo& info, size_t deviceWidth);
// COM1 to COM4 as PortLine gives them, one per line.
std::string PortLines(const PortMap& map);
// The whole list: COM1 to COM4, the devices found beyond them with how to reach them, and the
// devices never searched.
void WritePortList(std::ostream& out, const PortMap& map);
// One line per port tried with what came of it ("COM1 (/dev/ttyUSB0): permission denied"),
// each followed by the fix for the common causes; empty when no port was tried.
std::string PortsTriedReport(const std::vector<PortAttempt>& tried, const PortMap& map);
// The same for the last port tried, only when it failed while open (the device went away).
std::string PortFailureReport(const std::vector<PortAttempt>& tried, const PortMap& map);
// The warning for a port opened although other programs hold its device open ("tk358fw:
// warning: COM1 (/dev/ttyS0) is also open in agetty, process 612; ..."), or empty.
std::string OtherHolderWarning(const std::vector<PortAttempt>& tried, const PortMap& map);

// ---------------------------------------------------------------------------------------------
// The terminal front end.
// ---------------------------------------------------------------------------------------------

// An answer line: surrounding blanks removed, letters in upper case.
std::string NormaliseAnswer(std::string_view line);

enum class ConsoleChoice { Port, Continue, Quit, AskAgain };
// Port choice: empty or AUTO -> port 0; COM1-COM4 or 1-4 -> that port; Q or QUIT -> Quit.
ConsoleChoice ParsePortAnswer(std::string_view line, int16_t* port);
// Continue/Quit: empty, C or CONTINUE -> Continue; Q or QUIT -> Quit.
ConsoleChoice ParseContinueQuitAnswer(std::string_view line);
// A text as the terminal shows it: each carriage return (alone or before a line feed) becomes
// a line break; every other control character is made visible as in TerminalLine.
std::string TerminalText(std::string_view text);
// Text from outside (camera, file, input) as one terminal line: control characters (C0 line
// breaks included, DEL) and bytes that are no UTF-8 are shown as \xNN, C1 characters as \u0080
// to \u009f. Other UTF-8 text is kept.
std::string TerminalLine(std::string_view text);

// The questions of the terminal front end, and the answers given ahead for them. With both the
// port and the file given the run is unattended: nothing is read from the input, a question that
// offers Continue or Quit takes Quit (the safe answer) and a message with only OK is passed. The
// port and the file answer their own question once; whatever else comes is read as usual, unless
// a result is shown without waiting (ResultShownWithoutWaiting): then each takes its safe answer.
class CPresetAnswers {
  public:
    enum class Question { Port, File, ContinueOrQuit, Acknowledge };

    explicit CPresetAnswers(ConsoleAnswers answers = {});
    // The answer line for `question` given ahead, or nothing when it is to be read.
    std::optional<std::string> Take(Question question);
    // The answer that ends or passes `question` without harm: Quit, an empty path (cancel), or
    // Enter for OK.
    static std::string SafeAnswer(Question question);

  private:
    ConsoleAnswers m_answers;
    bool m_unattended;
};

class CConsoleUserInterface final : public IUserInterface, public IPromptBar {
  public:
    // `terminal`: output is a terminal (progress redrawn in place). When input is not a terminal
    // (`echoInput`), each answer read is echoed so that the transcript reads as a dialogue.
    CConsoleUserInterface(std::istream& in, std::ostream& out, bool terminal, bool echoInput,
                          CPresetAnswers answers = CPresetAnswers());

    // Makes this the updater's prompt bar.
    void Attach(CFirmwareUpdater* updater);
    // The path printed below the message of a failed transfer (empty: nothing is printed).
    void SetRetryProcedure(std::string path) { m_retryProcedure = std::move(path); }

    ViewRect ViewClientRect() override;
    void RepaintView() override;
    int RunPortDialog(int16_t* port) override;
    int RunTextDialog(DialogId dialog, const std::string& text) override;
    void ShowMessage(const std::string& text, const std::string& extendedText) override;
    int16_t ChooseFile(const std::string& filter, const std::string& initialName,
                       std::string* path) override;
    void BeginWaitCursor() override;
    void EndWaitCursor() override;
    std::unique_ptr<IProgressWindow> CreateProgressWindow() override;

    // IPromptBar: prints the prompt line when it changed and is not empty.
    void Repaint() override;

  private:
    enum class Answer { Read, GivenAhead, EndOfInput };
    // Writes `question` and takes the answer given ahead for it, or reads one answer line.
    Answer Ask(CPresetAnswers::Question kind, const std::string& question, std::string* line);
    void WriteTitle();

    std::istream& m_in;
    std::ostream& m_out;
    bool m_terminal;
    bool m_echoInput;
    CPresetAnswers m_presets;
    CFirmwareUpdater* m_updater = nullptr;
    std::string m_lastPrompt;
    std::string m_retryProcedure;
};

// ---------------------------------------------------------------------------------------------
// The scripted front end: answers from a prepared script and records everything shown.
// ---------------------------------------------------------------------------------------------
struct UiEvent {
    enum class Kind {
        ViewRect,
        RepaintView,
        PortDialog,  // result, value = port
        TextDialog,  // dialog, text, result
        Message,     // text, detail = extended text
        ChooseFile,  // text = filter, detail = initial name, result, detail2 = path
        WaitCursorOn,
        WaitCursorOff,
        CreateProgress,  // result 1 when a window was made
        Progress,        // stage, value, text (empty for none)
        CloseProgress,
        Prompt,  // text = the prompt line after the change (repaint of the prompt bar)
        Notice,  // text
    };
    Kind kind = Kind::RepaintView;
    int dialog = 0;
    std::string text;
    std::string detail;
    std::string detail2;
    int result = 0;
    uint32_t stage = 0;
    int32_t value = 0;
    uint32_t atMs = 0;  // NowMs() when it happened
};

class CScriptedUserInterface final : public IUserInterface, public IPromptBar {
  public:
    struct PortAnswer {
        int result = kDialogOk;
        int16_t port = 0;
    };
    struct FileAnswer {
        int16_t code = kChooseOk;
        std::string path;
    };

    // The script. When a queue is empty: the port dialog quits, text dialogs quit, the file
    // choice is cancelled.
    std::deque<PortAnswer> portAnswers;
    std::deque<int> dialogAnswers;
    std::deque<FileAnswer> fileAnswers;
    ViewRect viewRect{0, 0, 640, 480};
    bool progressWindowAvailable = true;
    // Called after each event has been recorded (may change the script or the world).
    std::function<void(const UiEvent&)> onEvent;

    // Makes this the updater's prompt bar; the port dialog calls ShowPrompt on it.
    void Attach(CFirmwareUpdater* updater);

    const std::vector<UiEvent>& Events() const { return m_events; }
    std::vector<UiEvent> EventsOf(UiEvent::Kind kind) const;
    size_t Count(UiEvent::Kind kind) const;
    void ClearEvents() { m_events.clear(); }

    ViewRect ViewClientRect() override;
    void RepaintView() override;
    int RunPortDialog(int16_t* port) override;
    int RunTextDialog(DialogId dialog, const std::string& text) override;
    void ShowMessage(const std::string& text, const std::string& extendedText) override;
    void ShowNotice(const std::string& text) override;
    int16_t ChooseFile(const std::string& filter, const std::string& initialName,
                       std::string* path) override;
    void BeginWaitCursor() override;
    void EndWaitCursor() override;
    std::unique_ptr<IProgressWindow> CreateProgressWindow() override;
    void Repaint() override;

    // Records an event (used by the progress windows it makes).
    void Record(UiEvent event);

  private:
    CFirmwareUpdater* m_updater = nullptr;
    std::vector<UiEvent> m_events;
};
