// What both desktop front ends (wxWidgets on Linux, Win32 on Windows) share and what needs no
// window system: the port dialog's choice, the view's nested background copies, the progress
// window's picture, and the waits that keep the windows painting while the one thread runs the
// update.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "res/res.hpp"
#include "serial/serial.hpp"

// ---------------------------------------------------------------------------------------------
// The prompt bar, the port dialog, the view and the progress window.
// ---------------------------------------------------------------------------------------------

// The prompt line (the updater's prompt text, which holds the camera's ID bytes) as the prompt
// bar draws it, in UTF-8, on one line: the bytes read as the terminal reads them, with control
// characters shown as the terminal shows them (\x0d, \x1b, \u0081). A line that would be longer
// than kPromptLineMaxCharacters loses its middle to an ellipsis; its last kPromptLineKeptEnd
// characters (the firmware version and the end of the ID) always stay. The longest line of
// ordinary characters (a 32-character ID) is 71 characters.
constexpr size_t kPromptLineMaxCharacters = 96;
constexpr size_t kPromptLineKeptEnd = 40;
std::string PromptLineText(std::string_view promptText);

// A message box as the desktop front ends show it. Under the message of a failed transfer
// (string 10, which sends the owner to the retry procedure) the retry procedure's file is named
// first, and the box offers a button (kOpenRetryProcedureLabel) that opens it with the desktop's
// default program; the box stays until OK. Every other message is shown as given.
struct MessageBoxContent {
    std::string extendedText;  // under the text (may be empty)
    std::string document;      // the file the second button opens; empty: OK only
};
inline constexpr char kOpenRetryProcedureLabel[] = "Open the Retry Procedure";
// `retryProcedure`: the retry procedure's file for this program (empty when there is none).
MessageBoxContent DesktopMessageBox(const std::string& text, const std::string& extendedText,
                                    const std::string& retryProcedure);

// The port for the checked radio button: 1 to 4 for COM1 to COM4, 0 for AUTO. `checkedId` is 0
// when no button is checked; then (and for any other identifier) the port keeps `current`.
int16_t PortFromCheckedRadio(int checkedId, int16_t current);

// Where the view paints the copies of the background picture: the whole client rectangle first,
// then each copy 24 pixels inside the previous one on every side, while the rectangle is still
// wider and higher than the picture.
struct PaintRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    bool operator==(const PaintRect&) const = default;
};

constexpr int kBackgroundWidth = 512;
constexpr int kBackgroundHeight = 341;
constexpr int kBackgroundInset = 24;

// The rectangles of the nested copies for a client area of `width` x `height`, outermost first;
// none when the area is not wider than 512 or not higher than 341 pixels.
std::vector<PaintRect> NestedBackgroundRects(int width, int height);

// The picture of the progress window, composed in memory: the white frame with its black outline,
// the blue bar (3 pixels per percent) and the percentage figure copied from the digit strip by
// exclusive or, so the yellow glyphs turn blue on white and white on blue.
constexpr uint32_t kProgressWhite = 0xFFFFFF;
constexpr uint32_t kProgressBlue = 0x0000FF;
constexpr uint32_t kProgressBlack = 0x000000;
// The frame's left and (exclusive) right edge in client pixels.
constexpr int kProgressFrameLeft = 9;
constexpr int kProgressFrameRight = 311;

// Draws frame, bar and figure for `percent` onto `canvas`, whose height is the window's client
// height B. The frame spans (9, B-31) to (311, B-11), the bar (10, B-30) to (10 + 3 * percent,
// B-12) (right and bottom edges exclusive). With `digitStrip` null the figure is not drawn.
// Pixels outside the canvas are ignored.
void ComposeProgressPicture(Picture& canvas, int16_t percent, const Picture* digitStrip);

// The figure's text: the percent right-aligned in three places and a colon (which selects the
// percent sign); always four characters.
void FormatProgressFigure(int16_t percent, char (&text)[5]);

// ---------------------------------------------------------------------------------------------
// Waits that keep the windows painting.
// ---------------------------------------------------------------------------------------------

// The one thread runs the whole update, including every serial wait. So that the windows still
// paint (and the desktop does not flag the tool as not responding), long waits are cut into
// slices of at most kPumpIntervalMs, and between slices the pump lets pending paint events
// through, at most once per interval. What the pump does is given by its owner (the GUI passes a
// yield that admits only paint/size/show events; tests pass a counter).
constexpr uint32_t kPumpIntervalMs = 50;

class CUiPump {
  public:
    CUiPump(IClock& clock, std::function<void()> pump);

    // Runs the pump when kPumpIntervalMs have passed since it last ran (or it never ran).
    // A call from inside the pump does nothing.
    void PumpIfDue();
    // Runs the pump now (unless already inside it).
    void PumpNow();
    // The end of the next wait slice: `deadlineMs`, or kPumpIntervalMs from now when that is
    // earlier.
    uint32_t SliceEnd(uint32_t deadlineMs);

    IClock& Clock() { return m_clock; }

  private:
    IClock& m_clock;
    std::function<void()> m_pump;
    bool m_pumped = false;
    bool m_inside = false;
    uint32_t m_lastPumpMs = 0;
};

// A clock that forwards to another one and keeps the windows painting during long sleeps.
class CYieldingClock final : public IClock {
  public:
    // `pump` must read the same clock as `inner` (not this one).
    CYieldingClock(IClock& inner, CUiPump& pump) : m_inner(inner), m_pump(pump) {}

    uint32_t NowMs() override { return m_inner.NowMs(); }
    // Sleeps in slices, pumping between them; returns once `ms` is reached, never later than the
    // inner clock would.
    void SleepUntilMs(uint32_t ms) override;

  private:
    IClock& m_inner;
    CUiPump& m_pump;
};

// A port system whose ports keep the windows painting while they wait for the line: every wait
// is cut to one slice of at most kPumpIntervalMs after a pump. (Waits may return early; the port
// layer re-checks its condition and deadline and waits again.)
class CYieldingPortSystem final : public IPortSystem {
  public:
    CYieldingPortSystem(IPortSystem& inner, CUiPump& pump) : m_inner(inner), m_pump(pump) {}
    std::unique_ptr<IPortDriver> Open(const std::string& name, PortFailure* failure) override;
    std::unique_ptr<IPortDriver> OpenToSearch(const std::string& name,
                                              PortFailure* failure) override;
    PortMap Ports() override { return m_inner.Ports(); }

  private:
    std::unique_ptr<IPortDriver> Yielding(std::unique_ptr<IPortDriver> port);

    IPortSystem& m_inner;
    CUiPump& m_pump;
};

class CYieldingPortDriver final : public IPortDriver {
  public:
    CYieldingPortDriver(std::unique_ptr<IPortDriver> inner, CUiPump& pump)
        : m_inner(std::move(inner)), m_pump(pump) {}

    PortFailure LastFailure() const override { return m_inner->LastFailure(); }
    bool SetupQueues(uint32_t inBytes, uint32_t outBytes) override {
        return m_inner->SetupQueues(inBytes, outBytes);
    }
    bool ClearErrors(QueueCounts* counts) override { return m_inner->ClearErrors(counts); }
    bool Purge(bool input, bool output) override { return m_inner->Purge(input, output); }
    bool SetBreak(bool on) override { return m_inner->SetBreak(on); }
    bool GetSettings(LineSettings* settings) override { return m_inner->GetSettings(settings); }
    bool SetSettings(const LineSettings& settings) override {
        return m_inner->SetSettings(settings);
    }
    bool Write(const uint8_t* data, uint32_t n) override { return m_inner->Write(data, n); }
    bool Read(uint8_t* data, uint32_t n) override { return m_inner->Read(data, n); }
    void WaitForChange(WaitFor what, uint32_t deadlineMs) override;
    void NoteTimeout(WaitFor what, uint32_t wanted, uint32_t queued) override {
        m_inner->NoteTimeout(what, wanted, queued);
    }

  private:
    std::unique_ptr<IPortDriver> m_inner;
    CUiPump& m_pump;
};
