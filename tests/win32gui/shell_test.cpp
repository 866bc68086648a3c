// The Win32 application shell: the main window, its keys, the update started from the view and
// the tool closed after it; input held back during the update's waits.
#include <gtest/gtest.h>

#include <vector>

#include "app/win32_utf8.hpp"
#include "app/win32gui/main_window.hpp"
#include "app/win32gui/wide_text.hpp"
#include "app/win32gui/win32gui.hpp"
#include "win32gui_fixture.hpp"

namespace {

using Win32Shell = Win32Windows;

TEST_F(Win32Shell, InputThatCameDuringAWaitIsDiscardedBeforeTheNextDialog) {
    const auto postInput = [this] {
        PostMessageW(m_owner, WM_KEYDOWN, VK_RETURN, 1);
        PostMessageW(m_owner, WM_CHAR, L'\r', 1);
        PostMessageW(m_owner, WM_LBUTTONDOWN, 0, 0);
        PostMessageW(m_owner, WM_APP, 0, 0);
    };
    // No wait since the last dialog: typed ahead, kept.
    postInput();
    EXPECT_EQ(m_pump.DiscardInputHeldBack(), 0);
    MSG message;
    EXPECT_TRUE(PeekMessageW(&message, m_owner, WM_KEYDOWN, WM_KEYDOWN, PM_NOREMOVE));
    // A wait let only painting through: the input goes, everything else stays.
    m_pump.LetPaintThrough();
    EXPECT_TRUE(PeekMessageW(&message, m_owner, WM_KEYDOWN, WM_KEYDOWN, PM_NOREMOVE));
    postInput();
    EXPECT_EQ(m_pump.DiscardInputHeldBack(), 6);
    EXPECT_FALSE(PeekMessageW(&message, nullptr, WM_KEYFIRST, WM_MOUSELAST, PM_NOREMOVE));
    EXPECT_TRUE(PeekMessageW(&message, m_owner, WM_APP, WM_APP, PM_REMOVE));

    // Through the user interface: the next dialog opens after the discard.
    m_pump.LetPaintThrough();
    PostMessageW(m_owner, WM_KEYDOWN, VK_RETURN, 1);
    WhenDialogOpens([](HWND d) {
        MSG left;
        EXPECT_FALSE(PeekMessageW(&left, nullptr, WM_KEYFIRST, WM_KEYLAST, PM_NOREMOVE));
        PressKey(d, VK_ESCAPE);
    });
    EXPECT_EQ(m_ui->RunTextDialog(kDialogWrongFile, "x"), kDialogQuit);
}

BOOL CALLBACK FindTopWindow(HWND window, LPARAM found) {
    wchar_t name[32] = {};
    GetClassNameW(window, name, 32);
    if (std::wstring(name) == kMainFrameClass) {
        *reinterpret_cast<HWND*>(found) = window;
        return FALSE;
    }
    return TRUE;
}

TEST(Win32Application, MainWindowCoversTheWorkAreaAndClosesWhenTheUpdateEnds) {
    sim::VirtualPortSystem ports;
    HWND main = nullptr;
    WhenDialogOpens([&main](HWND portDialog) {
        EnumThreadWindows(GetCurrentThreadId(), FindTopWindow, reinterpret_cast<LPARAM>(&main));
        ASSERT_NE(main, nullptr);
        wchar_t title[128] = {};
        GetWindowTextW(main, title, 128);
        EXPECT_EQ(win32_utf8::FromWide(title), LoadString(kStrTitle));
        const auto style = static_cast<DWORD>(GetWindowLongPtrW(main, GWL_STYLE));
        EXPECT_EQ(style & (WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX), 0u);
        EXPECT_EQ(style & (WS_CAPTION | WS_THICKFRAME), WS_CAPTION | WS_THICKFRAME);
        EXPECT_EQ(GetMenu(main), nullptr);
        EXPECT_NE(GetClassLongPtrW(main, GCLP_HICON), 0u);
        RECT window{};
        RECT work{};
        GetWindowRect(main, &window);
        SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
        EXPECT_TRUE(EqualRect(&window, &work));
        // The prompt bar's text is the prompt line, drawn at the top.
        const HWND bar = FindWindowExW(main, nullptr, kPromptBarClass, nullptr);
        ASSERT_NE(bar, nullptr);
        wchar_t prompt[128] = {};
        GetWindowTextW(bar, prompt, 128);
        EXPECT_EQ(win32_utf8::FromWide(prompt), LoadString(kStrSelectPort));
        RECT barRect{};
        GetWindowRect(bar, &barRect);
        const HWND view = FindWindowExW(main, nullptr, kViewClass, nullptr);
        RECT viewRect{};
        GetWindowRect(view, &viewRect);
        EXPECT_EQ(viewRect.top, barRect.bottom);
        // The bar is 14 dialog units high in its font.
        const HDC dc = GetDC(bar);
        SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(bar, WM_GETFONT, 0, 0)));
        TEXTMETRICW metrics{};
        GetTextMetricsW(dc, &metrics);
        ReleaseDC(bar, dc);
        EXPECT_EQ(barRect.bottom - barRect.top, MulDiv(14, metrics.tmHeight, 8));
        // Closing is refused while the update runs.
        SendMessageW(main, WM_CLOSE, 0, 0);
        EXPECT_TRUE(IsWindow(main));
        PressKey(portDialog, VK_ESCAPE);
    });
    EXPECT_EQ(RunWin32Application(ports), 2);  // ended by the user's choice
    EXPECT_FALSE(IsWindow(main));
    EXPECT_EQ(g_pUpdater, nullptr);
}

TEST(Win32Application, KeysOfTheAcceleratorTable) {
    sim::VirtualPortSystem ports;
    CPaintOnlyPump pump;
    CMainFrame frame(ports, pump, "");
    ASSERT_TRUE(frame.Create());
    std::vector<ACCEL> keys(16);
    keys.resize(static_cast<size_t>(
        CopyAcceleratorTableW(frame.Accelerators(), keys.data(), static_cast<int>(keys.size()))));
    struct Key {
        BYTE flags;
        WORD key;
        WORD command;
    };
    const std::vector<Key> expected = {{FVIRTKEY | FCONTROL, 'N', 57600},
                                       {FVIRTKEY | FCONTROL, 'O', 57601},
                                       {FVIRTKEY | FCONTROL, 'Q', 32771},
                                       {FVIRTKEY, VK_F6, 57680},
                                       {FVIRTKEY | FSHIFT, VK_F6, 57681}};
    ASSERT_EQ(keys.size(), expected.size());
    for (size_t i = 0; i < keys.size(); ++i) {
        EXPECT_EQ(keys[i].fVirt & ~0x80, expected[i].flags) << i;  // (0x80 ends the table)
        EXPECT_EQ(keys[i].key, expected[i].key) << i;
        EXPECT_EQ(keys[i].cmd, expected[i].command) << i;
    }
    // Ctrl+Q before the update starts closes the tool; the update never runs.
    SendMessageW(frame.Window(), WM_COMMAND, kCommandCloseTool, 0);
    EXPECT_EQ(frame.Window(), nullptr);
    EXPECT_EQ(frame.ExitStatus(), 2);
    MSG quit;
    EXPECT_TRUE(PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
}

}  // namespace
