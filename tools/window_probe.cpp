// Reads the windows of a running Windows program from another process of the same session (under
// Wine: the same Wine server), for the scripts that drive the desktop application with keys: its
// visible top-level windows and their visible controls, one line each. It asks only what any
// program may ask of another's windows; the application has nothing of its own for it.
//
//   window_probe list PROGRAM.exe        one snapshot (status 1 when PROGRAM.exe is not running)
//   window_probe watch PROGRAM.exe       a snapshot whenever what it shows changes, polled every
//                                        100 ms, from the program's start until it has ended
//
// A snapshot:
//   snapshot MS                          (watch only: milliseconds since the probe started)
//   window HWND class=C rect=X,Y,W,H client=X,Y,W,H active=0|1 text=T
//   control HWND class=C id=N rect=X,Y,W,H button=KIND checked=0|1|2 focus=0|1 text=T
//   end
// Windows in z-order (topmost first), each followed by its controls (all its visible
// descendants). Rectangles are in screen pixels, `client` the window's inside. `button` and
// `checked` only for buttons (`checked` only for radio buttons and check boxes; -1 when the
// program did not answer within 500 ms). An edit control's text is what it holds (asked of it;
// -1 when it did not answer). Texts in UTF-8 with \\ \n \r \t and \xHH for other
// control characters; a text is always the last field of its line.
#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

namespace {

constexpr DWORD kWatchPeriodMs = 100;
constexpr UINT kAnswerTimeoutMs = 500;
constexpr size_t kEditCharacters = 32768;

std::string Utf8(const std::wstring& text) {
    if (text.empty()) {
        return {};
    }
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                      nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n,
                        nullptr, nullptr);
    return out;
}

std::string Escaped(const std::string& text) {
    std::string out;
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '\\') {
            out += "\\\\";
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\t') {
            out += "\\t";
        } else if (u < 0x20 || u == 0x7F) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", u);
            out += hex;
        } else {
            out += c;
        }
    }
    return out;
}

// The window's own text. For another process's window this is the text the system keeps for it,
// read without sending the window a message, so a busy program does not hold the probe up.
std::string TextOf(HWND hwnd) {
    const int length = GetWindowTextLengthW(hwnd);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    const int got = GetWindowTextW(hwnd, text.data(), length + 1);
    text.resize(static_cast<size_t>(got > 0 ? got : 0));
    return Escaped(Utf8(text));
}

// What an edit control holds (typed text is not the text the system keeps): asked of the control
// itself, -1 when it did not answer in time.
std::string EditTextOf(HWND edit) {
    std::wstring text(kEditCharacters, L'\0');
    DWORD_PTR got = 0;
    if (SendMessageTimeoutW(edit, WM_GETTEXT, kEditCharacters,
                            reinterpret_cast<LPARAM>(text.data()), SMTO_ABORTIFHUNG | SMTO_BLOCK,
                            kAnswerTimeoutMs, &got) == 0) {
        return "-1";
    }
    text.resize(got);
    return Escaped(Utf8(text));
}

std::string ClassOf(HWND hwnd) {
    wchar_t name[256] = {};
    GetClassNameW(hwnd, name, 256);
    return Utf8(name);
}

std::string Box(const RECT& r) {
    return std::to_string(r.left) + "," + std::to_string(r.top) + "," +
           std::to_string(r.right - r.left) + "," + std::to_string(r.bottom - r.top);
}

std::string Handle(HWND hwnd) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%08llX",
                  static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(hwnd)));
    return text;
}

// The Windows process ids of every running process whose program file is `program`.
std::vector<DWORD> ProcessesOf(const std::wstring& program) {
    std::vector<DWORD> ids;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) {
        return ids;
    }
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot, &entry); more;
         more = Process32NextW(snapshot, &entry)) {
        if (_wcsicmp(entry.szExeFile, program.c_str()) == 0) {
            ids.push_back(entry.th32ProcessID);
        }
    }
    CloseHandle(snapshot);
    return ids;
}

bool BelongsTo(HWND hwnd, const std::vector<DWORD>& processes) {
    DWORD process = 0;
    GetWindowThreadProcessId(hwnd, &process);
    return std::find(processes.begin(), processes.end(), process) != processes.end();
}

// The visible top-level windows of the processes, topmost first.
std::vector<HWND> WindowsOf(const std::vector<DWORD>& processes) {
    struct Search {
        const std::vector<DWORD>* processes;
        std::vector<HWND> found;
    } search{&processes, {}};
    EnumWindows(
        [](HWND hwnd, LPARAM param) -> BOOL {
            auto* s = reinterpret_cast<Search*>(param);
            if (IsWindowVisible(hwnd) && BelongsTo(hwnd, *s->processes)) {
                s->found.push_back(hwnd);
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::vector<HWND> ControlsOf(HWND window) {
    std::vector<HWND> found;
    EnumChildWindows(
        window,
        [](HWND hwnd, LPARAM param) -> BOOL {
            if (IsWindowVisible(hwnd)) {
                reinterpret_cast<std::vector<HWND>*>(param)->push_back(hwnd);
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
}

// The kind of a button control, and whether it holds a check mark.
const char* ButtonKind(LONG style, bool* checkable) {
    *checkable = false;
    switch (style & BS_TYPEMASK) {
        case BS_PUSHBUTTON:
            return "push";
        case BS_DEFPUSHBUTTON:
            return "default";
        case BS_GROUPBOX:
            return "group";
        case BS_RADIOBUTTON:
        case BS_AUTORADIOBUTTON:
            *checkable = true;
            return "radio";
        case BS_CHECKBOX:
        case BS_AUTOCHECKBOX:
        case BS_3STATE:
        case BS_AUTO3STATE:
            *checkable = true;
            return "check";
        default:
            return "other";
    }
}

std::string ControlLine(HWND control, HWND focus) {
    RECT r = {};
    GetWindowRect(control, &r);
    const std::string kind = ClassOf(control);
    std::string line = "control " + Handle(control) + " class=" + kind +
                       " id=" + std::to_string(GetDlgCtrlID(control)) + " rect=" + Box(r);
    if (_stricmp(kind.c_str(), "Button") == 0) {
        bool checkable = false;
        line +=
            std::string(" button=") + ButtonKind(GetWindowLongW(control, GWL_STYLE), &checkable);
        if (checkable) {
            DWORD_PTR checked = 0;
            const bool answered =
                SendMessageTimeoutW(control, BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG | SMTO_BLOCK,
                                    kAnswerTimeoutMs, &checked) != 0;
            line += " checked=" + (answered ? std::to_string(checked) : std::string("-1"));
        }
    }
    line += std::string(" focus=") + (control == focus ? "1" : "0");
    const bool edit = _stricmp(kind.c_str(), "Edit") == 0;
    return line + " text=" + (edit ? EditTextOf(control) : TextOf(control)) + "\n";
}

std::string Snapshot(const std::vector<DWORD>& processes) {
    std::string out;
    for (HWND window : WindowsOf(processes)) {
        GUITHREADINFO thread = {};
        thread.cbSize = sizeof thread;
        GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &thread);
        RECT r = {};
        GetWindowRect(window, &r);
        RECT client = {};
        GetClientRect(window, &client);
        MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&client), 2);
        out += "window " + Handle(window) + " class=" + ClassOf(window) + " rect=" + Box(r) +
               " client=" + Box(client) + " active=" + (window == thread.hwndActive ? "1" : "0") +
               " text=" + TextOf(window) + "\n";
        for (HWND control : ControlsOf(window)) {
            out += ControlLine(control, thread.hwndFocus);
        }
    }
    return out + "end\n";
}

void Print(const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
}

int Watch(const std::wstring& program) {
    const DWORD start = GetTickCount();
    bool seen = false;
    std::string last;
    for (;;) {
        const std::vector<DWORD> processes = ProcessesOf(program);
        if (processes.empty() && seen) {
            Print("ended " + std::to_string(GetTickCount() - start) + "\n");
            return 0;
        }
        seen = seen || !processes.empty();
        if (seen) {
            const std::string snapshot = Snapshot(processes);
            if (snapshot != last) {
                Print("snapshot " + std::to_string(GetTickCount() - start) + "\n" + snapshot);
                last = snapshot;
            }
        }
        Sleep(kWatchPeriodMs);
    }
}

std::wstring Wide(const char* text) {
    const int n = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    std::wstring out(static_cast<size_t>(n > 0 ? n : 1), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text, -1, out.data(), n);
    out.resize(out.size() - 1);
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    _setmode(_fileno(stdout), _O_BINARY);  // lines end with \n alone
    const std::string command = argc >= 3 ? argv[1] : "";
    if (command == "list" && argc == 3) {
        const std::vector<DWORD> processes = ProcessesOf(Wide(argv[2]));
        Print(Snapshot(processes));
        return processes.empty() ? 1 : 0;
    }
    if (command == "watch" && argc == 3) {
        return Watch(Wide(argv[2]));
    }
    std::fprintf(stderr, "usage: window_probe list PROGRAM.exe | watch PROGRAM.exe\n");
    return 64;
}
