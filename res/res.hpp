// Resources built into the binary: the string table, the progress window's texts, the dialog
// templates, the accelerator table and the pictures (background, digit strip, icon). Nothing here
// depends on a window system: each desktop front end builds its windows from these.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

enum StringId : int {
    kStrDocType = 2,
    kStrTitle = 3,
    kStrImagesPresent = 5,
    kStrCameraNotFound = 6,
    kStrUpdateFailed = 10,
    kStrFilter = 11,
    kStrFileError = 12,
    kStrFileNotFound = 13,
    kStrSelectionCanceled = 15,
    kStrSelectPort = 16,
    kStrCameraId = 17,
    kStrFirmwareVersion = 19,
    kStrWrongFile = 20,
    kStrSuccess = 21,
    kStrSearching = 22,
};

// The text of a string; empty for a number that is not in the table.
const std::string& LoadString(int id);

// The texts of the progress window.
extern const char kProgressRunning[];    // stages 0 and 1
extern const char kProgressCompleted[];  // stage 2
extern const char kProgressFailed[];     // stage 3

// ---------------------------------------------------------------------------------------------
// Dialog templates: sizes, positions and control rectangles in dialog units.
// ---------------------------------------------------------------------------------------------

enum DialogId : int {
    kDialogPromptBar = 102,
    kDialogWrongFile = 103,
    kDialogSuccess = 104,
    kDialogSelectionCancelled = 105,
    kDialogPort = 107,
    kDialogProgress = 108,
    kDialogImagesPresent = 112,
};
constexpr int kDialogOk = 1;    // OK or Continue (the default button, Enter)
constexpr int kDialogQuit = 2;  // Quit or the cancel key

// The port dialog's radio buttons; the port each stands for is its identifier - 110, AUTO (5)
// meaning 0.
enum PortRadioId : int {
    kRadioCom1 = 111,
    kRadioCom2 = 112,
    kRadioCom3 = 113,
    kRadioCom4 = 114,
    kRadioAuto = 115,
};

enum class ControlKind {
    GroupBox,       // frame with a title
    RadioButton,    // automatic radio; the first of the dialog starts the group
    PushButton,     // normal push button
    DefaultButton,  // the default push button (Enter)
    CentredText,    // static text, centred in its rectangle, wrapped to its width
};

struct ControlTemplate {
    ControlKind kind;
    int id;
    int x, y, width, height;
    const char* text;
};

struct DialogTemplate {
    int id;
    int x, y, width, height;
    int fontPoints;   // Arial
    bool systemMenu;  // a close box
    std::vector<ControlTemplate> controls;
};

// The template with the given number (103, 104, 105, 107, 108, 112), or null.
const DialogTemplate* FindDialogTemplate(int id);
// Every dialog template.
const std::vector<DialogTemplate>& DialogTemplates();

// The control of the dialogs that shows the dialog's text.
constexpr int kTextControlId = 100;
// The prompt bar's template (102): 300 x 14 dialog units, no controls.
constexpr int kPromptBarWidthDlu = 300;
constexpr int kPromptBarHeightDlu = 14;
// Where the prompt bar draws its text, in pixels of its client area.
constexpr int kPromptTextX = 2;
constexpr int kPromptTextY = 5;

// ---------------------------------------------------------------------------------------------
// The main window: its commands, the accelerator table and the timer that starts the update.
// ---------------------------------------------------------------------------------------------

enum CommandId : int {
    kCommandCloseTool = 32771,     // Ctrl+Q: the main window destroys itself
    kCommandNewDocument = 57600,   // Ctrl+N
    kCommandOpenDocument = 57601,  // Ctrl+O
    kCommandNextPane = 57680,      // F6
    kCommandPrevPane = 57681,      // Shift+F6
};

struct Accelerator {
    enum Modifier : int { kNone = 0, kCtrl = 1, kShift = 2 };
    enum Key : int { kKeyF6 = 0x75 };  // other keys are their upper-case letters
    int modifiers;
    int key;
    CommandId command;
};
// Accelerator table 2.
const std::vector<Accelerator>& AcceleratorTable();

// The view's timer: the update starts 200 ms after the first paint.
constexpr int kUpdateTimerId = 99;
constexpr int kUpdateTimerMs = 200;
// The main window's size before it is moved over the desktop's client area.
constexpr int kMainWindowWidth = 640;
constexpr int kMainWindowHeight = 400;

// ---------------------------------------------------------------------------------------------
// Pictures.
// ---------------------------------------------------------------------------------------------

// A picture as 0xRRGGBB pixels, row by row from the top.
struct Picture {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;
    uint32_t At(int x, int y) const { return pixels[static_cast<size_t>(y * width + x)]; }
};

const Picture& BackgroundPicture();  // 512 x 341
const Picture& DigitStripPicture();  // 96 x 16: digits 0-9 in 8-pixel cells, % in a 12-pixel cell
const Picture& IconPicture();        // 32 x 32, on white

// A picture with each pixel's opacity, 0 (transparent) to 255 (opaque).
struct TransparentPicture {
    Picture picture;
    std::vector<uint8_t> alpha;
};
// The icon drawn at `size` x `size` pixels, transparent around its rounded tile.
TransparentPicture DrawIcon(int size);
// The same drawing as a scalable (SVG) document.
std::string IconSvg();

// The icon as an icon file (.ico) with one image for each of `sizes` (1 to 256 pixels), each in
// 32 bits with its opacity and a mask.
std::vector<uint8_t> IconFile(const std::vector<int>& sizes);
// The sizes of the programs' icon on Windows, from the smallest the taskbar shows to the largest
// that Explorer shows.
inline const std::vector<int> kWindowsIconSizes = {16, 20, 24, 32, 40, 48, 64, 96, 128, 256};
