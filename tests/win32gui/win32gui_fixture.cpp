#include "win32gui_fixture.hpp"

#include <commctrl.h>

#include <cstdio>
#include <string>

#include "app/win32_utf8.hpp"
#include "app/win32gui/wide_text.hpp"

namespace {

std::function<void(HWND)> g_action;
HWND g_except = nullptr;

BOOL CALLBACK FindDialog(HWND window, LPARAM found) {
    wchar_t name[16] = {};
    GetClassNameW(window, name, 16);
    if (window != g_except && IsWindowVisible(window) && std::wstring(name) == L"#32770") {
        *reinterpret_cast<HWND*>(found) = window;
        return FALSE;
    }
    return TRUE;
}

void CALLBACK LookForDialog(HWND, UINT, UINT_PTR timer, DWORD) {
    HWND dialog = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), FindDialog, reinterpret_cast<LPARAM>(&dialog));
    if (dialog != nullptr) {
        KillTimer(nullptr, timer);
        const std::function<void(HWND)> action = std::move(g_action);
        action(dialog);
    }
}

BOOL CALLBACK AddText(HWND child, LPARAM texts) {
    wchar_t text[1024] = {};
    GetWindowTextW(child, text, 1024);
    std::string& all = *reinterpret_cast<std::string*>(texts);
    for (char c : win32_utf8::FromWide(text)) {
        if (c != '\r') {
            all += c;
        }
    }
    all += '\n';
    return TRUE;
}

}  // namespace

// The test program runs in a desktop of its own, with a display of its own within the shared Wine
// server: the program starts itself once more in a new desktop, from the start (the libraries
// it loads take their display as they start), and ends with that run's status.
int main(int argc, char** argv) {
    constexpr wchar_t kDesktopVariable[] = L"TK358_TEST_DESKTOP";
    if (GetEnvironmentVariableW(kDesktopVariable, nullptr, 0) == 0) {
        std::wstring name = L"tk358fw-test-" + std::to_wstring(GetCurrentProcessId());
        // Under Wine a desktop with a size is a virtual one: one window on the X display, its
        // windows placed by Wine itself (no window manager needed).
        RegSetKeyValueW(HKEY_CURRENT_USER, L"Software\\Wine\\Explorer\\Desktops", name.c_str(),
                        REG_SZ, L"1024x768", sizeof L"1024x768");
        const HDESK desktop =
            CreateDesktopW(name.c_str(), nullptr, nullptr, 0, GENERIC_ALL, nullptr);
        if (desktop == nullptr || !SetEnvironmentVariableW(kDesktopVariable, name.c_str())) {
            std::fputs("test_win32gui: no desktop for the windows\n", stderr);
            return 1;
        }
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        startup.lpDesktop = name.data();
        PROCESS_INFORMATION process{};
        std::wstring commandLine = GetCommandLineW();
        if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                            nullptr, &startup, &process)) {
            std::fputs("test_win32gui: cannot start in the new desktop\n", stderr);
            return 1;
        }
        WaitForSingleObject(process.hProcess, INFINITE);
        DWORD status = 1;
        GetExitCodeProcess(process.hProcess, &status);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
        CloseDesktop(desktop);
        RegDeleteKeyValueW(HKEY_CURRENT_USER, L"Software\\Wine\\Explorer\\Desktops", name.c_str());
        return static_cast<int>(status);
    }
    // The controls of common controls 6, which the manifest asks for (as in the application).
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

void WhenDialogOpens(std::function<void(HWND)> action, HWND except) {
    g_action = std::move(action);
    g_except = except;
    SetTimer(nullptr, 0, 10, LookForDialog);
}

void PressKey(HWND window, WPARAM key) {
    PostMessageW(window, WM_KEYDOWN, key, 1);
    PostMessageW(window, WM_KEYUP, key, 0xC0000001);
}

std::string ChildTexts(HWND window) {
    std::string texts;
    EnumChildWindows(window, AddText, reinterpret_cast<LPARAM>(&texts));
    return texts;
}

RECT ClientRectOf(HWND dialog, HWND control) {
    RECT r{};
    GetWindowRect(control, &r);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

void Win32Windows::SetUp() {
    m_owner =
        CreateWindowExW(0, L"STATIC", L"owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, kViewWidth,
                        kViewHeight, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(m_owner, nullptr);
    m_ui = std::make_unique<CWin32UserInterface>(m_owner, m_owner, m_pump,
                                                 "C:\\tk358fw\\retry-procedure.md");
    m_ports.Describe(2, PortInfo{"\\\\.\\COM2", "USB Serial Port", ""});
    g_pUpdater = new CFirmwareUpdater(*m_ui, m_ports);
    g_pUpdater->m_viewRect = ViewRect{0, 0, kViewWidth, kViewHeight};
}

void Win32Windows::TearDown() {
    delete g_pUpdater;
    g_pUpdater = nullptr;
    m_ui.reset();
    DestroyWindow(m_owner);
}

void Win32Windows::ExpectCentred(HWND dialog) {
    RECT r{};
    GetWindowRect(dialog, &r);
    EXPECT_EQ(r.left, kViewWidth / 2 - (r.right - r.left) / 2);
    EXPECT_EQ(r.top, kViewHeight / 2 - (r.bottom - r.top) / 2);
}
