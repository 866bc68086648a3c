// Update application layer: the string table, the user-interface seam, the update procedure
// object with the update workflow, and the progress callback.
//
// Nothing here uses a window system: the desktop GUI, the terminal front end and the scripted
// front end of the tests each implement IUserInterface.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
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

// Dialog templates and results.
enum DialogId : int {
    kDialogWrongFile = 103,
    kDialogSuccess = 104,
    kDialogSelectionCancelled = 105,
    kDialogPort = 107,
    kDialogProgress = 108,
    kDialogImagesPresent = 112,
};
constexpr int kDialogOk = 1;    // OK or Continue (the default button, Enter)
constexpr int kDialogQuit = 2;  // Quit or the cancel key

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
    virtual void ShowMessage(const std::string& text) = 0;
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
        Installed,      // firmware installed
        Failed,         // camera not found, file not readable, transfer failed
        EndedByChoice,  // quit, pictures in the camera, refused file then quit
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

    IUserInterface& Ui() { return m_ui; }

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
    IUserInterface& m_ui;
    IPortSystem& m_ports;
};

// The process-wide update procedure object; null while there is none.
extern CFirmwareUpdater* g_pUpdater;

// Answers to the terminal front end's questions given ahead (on the command line).
struct ConsoleAnswers {
    std::optional<int16_t> port;      // the port question: 0 AUTO, 1 to 4 COM1 to COM4
    std::optional<std::string> file;  // the first file question: the path
};

// The terminal front end: runs one update on standard input and output; returns the exit status
// (0 installed, 1 failed, 2 ended by the user's choice or refused).
int RunConsoleUpdate(IPortSystem& ports, const ConsoleAnswers& answers = {});
// The same on the given streams; `terminal` selects the progress bar redrawn in place, otherwise
// progress is written as lines; `echoInput` echoes each answer read (input that is no terminal).
int RunConsoleUpdate(IPortSystem& ports, std::istream& in, std::ostream& out, bool terminal,
                     bool echoInput, const ConsoleAnswers& answers = {});

// The process exit status for an outcome: 0 installed, 1 failed, 2 ended by choice.
int ExitStatusFor(CFirmwareUpdater::Outcome outcome);

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
// a line break.
std::string TerminalText(std::string_view text);

// The questions of the terminal front end, and the answers given ahead for them. With both the
// port and the file given the run is unattended: nothing is read from the input, a question that
// offers Continue or Quit takes Quit (the safe answer) and a message with only OK is passed. The
// port and the file answer their own question once; whatever else comes is read as usual.
class CPresetAnswers {
  public:
    enum class Question { Port, File, ContinueOrQuit, Acknowledge };

    explicit CPresetAnswers(ConsoleAnswers answers = {});
    // The answer line for `question` given ahead, or nothing when it is to be read.
    std::optional<std::string> Take(Question question);

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

    ViewRect ViewClientRect() override;
    void RepaintView() override;
    int RunPortDialog(int16_t* port) override;
    int RunTextDialog(DialogId dialog, const std::string& text) override;
    void ShowMessage(const std::string& text) override;
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
        Message,     // text
        ChooseFile,  // text = filter, detail = initial name, result, detail2 = path
        WaitCursorOn,
        WaitCursorOff,
        CreateProgress,  // result 1 when a window was made
        Progress,        // stage, value, text (empty for none)
        CloseProgress,
        Prompt,  // text = the prompt line after the change (repaint of the prompt bar)
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
    void ShowMessage(const std::string& text) override;
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
