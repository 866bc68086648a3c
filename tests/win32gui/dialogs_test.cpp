// The dialogs, message boxes, file dialog and progress window of the Win32 front end as real
// windows: built from the templates with the sizes and controls the tool's user must get, and
// answering keys as the user would press them.
#include "app/win32gui/windows_api.hpp"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "app/desktop/desktop.hpp"
#include "app/win32_utf8.hpp"
#include "app/win32gui/dialog_template_builder.hpp"
#include "app/win32gui/file_dialog.hpp"
#include "app/win32gui/progress_window.hpp"
#include "app/win32gui/wide_text.hpp"
#include "desktop/dialog_expectations.hpp"
#include "win32gui_fixture.hpp"

namespace {

// The file name box of the open-file dialog (dlgs.h).
constexpr int kFileNameBox = 0x47C;

using Win32Dialogs = Win32Windows;

std::string WindowText(HWND window) {
    wchar_t text[512] = {};
    GetWindowTextW(window, text, 512);
    return win32_utf8::FromWide(text);
}

// Each of the four numbers on its own, as the dialog manager converts a template.
PixelRect DialogUnitsToPixels(HWND dialog, int x, int y, int width, int height) {
    RECT r{x, y, width, height};
    MapDialogRect(dialog, &r);
    return PixelRect{r.left, r.top, r.right, r.bottom};
}

BOOL CALLBACK CountChild(HWND, LPARAM count) {
    ++*reinterpret_cast<int*>(count);
    return TRUE;
}

TEST_F(Win32Dialogs, EveryDialogHasTheSizeAndControlsOfItsTemplate) {
    for (const ExpectedDialog& expected : ExpectedDialogs()) {
        SCOPED_TRACE(expected.id);
        std::unique_ptr<CTemplateDialog> dialog =
            expected.id == kDialogProgress ? std::make_unique<CProgressDialog>()
                                           : std::make_unique<CTemplateDialog>(expected.id);
        ASSERT_TRUE(dialog->CreateModeless(m_owner));
        const HWND window = dialog->Window();
        EXPECT_EQ(WindowText(window), LoadString(kStrTitle));
        const auto style = static_cast<DWORD>(GetWindowLongPtrW(window, GWL_STYLE));
        EXPECT_EQ((style & WS_CAPTION) == WS_CAPTION && (style & DS_MODALFRAME) != 0, true);
        EXPECT_EQ((style & WS_SYSMENU) != 0, expected.closeBox);
        LOGFONTW font{};
        GetObjectW(reinterpret_cast<HFONT>(SendMessageW(window, WM_GETFONT, 0, 0)), sizeof font,
                   &font);
        EXPECT_EQ(std::wstring(font.lfFaceName), L"Arial");
        const HDC screen = GetDC(nullptr);
        EXPECT_EQ(font.lfHeight,
                  -MulDiv(expected.fontPoints, GetDeviceCaps(screen, LOGPIXELSY), 72));
        ReleaseDC(nullptr, screen);

        RECT client{};
        GetClientRect(window, &client);
        const PixelRect size = DialogUnitsToPixels(window, 0, 0, expected.width, expected.height);
        EXPECT_EQ(client.right, std::max(size.width, expected.minClientWidthPx));
        EXPECT_EQ(client.bottom, size.height);
        int children = 0;
        EnumChildWindows(window, CountChild, reinterpret_cast<LPARAM>(&children));
        EXPECT_EQ(children, static_cast<int>(expected.controls.size()));
        for (const ExpectedControl& c : expected.controls) {
            SCOPED_TRACE(c.id);
            const HWND control = GetDlgItem(window, c.id);
            ASSERT_NE(control, nullptr);
            wchar_t className[16] = {};
            GetClassNameW(control, className, 16);
            EXPECT_EQ(std::wstring(className),
                      c.kind == ControlKind::CentredText ? L"Static" : L"Button");
            const auto controlStyle = static_cast<DWORD>(GetWindowLongPtrW(control, GWL_STYLE));
            EXPECT_EQ(controlStyle & 0x0F, ControlStyle(c.kind) & 0x0F);  // button or text type
            EXPECT_EQ(WindowText(control), c.text);
            const RECT r = ClientRectOf(window, control);
            EXPECT_TRUE(ControlHasItsRectangle(
                c.kind, DialogUnitsToPixels(window, c.x, c.y, c.width, c.height),
                PixelRect{r.left, r.top, r.right - r.left, r.bottom - r.top}));
        }
    }
}

TEST_F(Win32Dialogs, PortDialogOpensWithAutoNamesTheDevicesAndTakesTheCheckedPort) {
    WhenDialogOpens([](HWND d) {
        EXPECT_EQ(IsDlgButtonChecked(d, kRadioAuto), BST_CHECKED);
        for (int id = kRadioCom1; id <= kRadioCom4; ++id) {
            EXPECT_EQ(IsDlgButtonChecked(d, id), BST_UNCHECKED) << id;
        }
        ExpectCentred(d);
        EXPECT_EQ(g_pUpdater->m_promptText, "");
        // Each COM button names its device in a tooltip.
        const HWND tips = FindWindowExW(nullptr, nullptr, TOOLTIPS_CLASSW, nullptr);
        ASSERT_NE(tips, nullptr);
        EXPECT_EQ(GetWindow(tips, GW_OWNER), d);
        wchar_t text[128] = {};
        TTTOOLINFOW tool{};
        tool.cbSize = sizeof tool;
        tool.hwnd = d;
        tool.uId = reinterpret_cast<UINT_PTR>(GetDlgItem(d, kRadioCom2));
        tool.lpszText = text;
        SendMessageW(tips, TTM_GETTEXTW, 128, reinterpret_cast<LPARAM>(&tool));
        EXPECT_EQ(win32_utf8::FromWide(text), "COM2  \\\\.\\COM2  USB Serial Port");
        PressKey(d, VK_RETURN);
    });
    int16_t port = 9;
    EXPECT_EQ(m_ui->RunPortDialog(&port), kDialogOk);
    EXPECT_EQ(port, 0);
    EXPECT_EQ(g_pUpdater->m_promptText, LoadString(kStrSearching));

    for (int id = kRadioCom1; id <= kRadioCom4; ++id) {
        WhenDialogOpens([id](HWND d) {
            SendDlgItemMessageW(d, id, BM_CLICK, 0, 0);
            PressKey(d, VK_RETURN);
        });
        EXPECT_EQ(m_ui->RunPortDialog(&port), kDialogOk);
        EXPECT_EQ(port, id - 110);
    }
    g_pUpdater->m_promptText.clear();
    for (const UINT way : {WM_KEYDOWN, WM_CLOSE}) {
        WhenDialogOpens([way](HWND d) {
            if (way == WM_KEYDOWN) {
                PressKey(d, VK_ESCAPE);
            } else {
                PostMessageW(d, WM_CLOSE, 0, 0);
            }
        });
        EXPECT_EQ(m_ui->RunPortDialog(&port), kDialogQuit);
    }
    EXPECT_EQ(g_pUpdater->m_promptText, "");  // the searching prompt comes only with OK
}

TEST_F(Win32Dialogs, TextDialogsShowTheirTextAndAnswerEnterEscapeAndTheCloseBox) {
    struct Case {
        DialogId dialog;
        WPARAM key;  // 0: the close box
        int result;
    };
    for (const Case& c :
         {Case{kDialogWrongFile, VK_RETURN, kDialogOk},
          Case{kDialogWrongFile, VK_ESCAPE, kDialogQuit},
          Case{kDialogSelectionCancelled, VK_RETURN, kDialogOk},
          Case{kDialogSelectionCancelled, VK_ESCAPE, kDialogQuit},
          Case{kDialogSuccess, VK_RETURN, kDialogOk}, Case{kDialogImagesPresent, 0, kDialogQuit}}) {
        SCOPED_TRACE(c.dialog);
        const std::string text = "first line\rsecond line\nthird";
        WhenDialogOpens([&c](HWND d) {
            EXPECT_EQ(WindowText(GetDlgItem(d, kTextControlId)),
                      "first line\r\nsecond line\r\nthird");
            ExpectCentred(d);
            if (c.key != 0) {
                PressKey(d, c.key);
            } else {
                SendMessageW(d, WM_SYSCOMMAND, SC_CLOSE, 0);
            }
        });
        EXPECT_EQ(m_ui->RunTextDialog(c.dialog, text), c.result);
    }
    EXPECT_EQ(m_ui->RunTextDialog(static_cast<DialogId>(106), "x"), kDialogQuit);
}

TEST_F(Win32Dialogs, MessageBoxShowsTheReasonsAndOffersTheRetryProcedureAfterAFailedUpdate) {
    for (const int message : {kStrUpdateFailed, kStrCameraNotFound}) {
        SCOPED_TRACE(message);
        std::string shown;
        WhenDialogOpens([&shown](HWND box) {
            EXPECT_EQ(WindowText(box), LoadString(kStrTitle));
            shown = ChildTexts(box);
            const HWND ok = FindWindowExW(box, nullptr, L"Button", L"OK");
            ASSERT_NE(ok, nullptr);
            PostMessageW(ok, BM_CLICK, 0, 0);
        });
        m_ui->ShowMessage(LoadString(message), "COM1 (\\\\.\\COM1): access denied\n");
        EXPECT_NE(shown.find("COM1 (\\\\.\\COM1): access denied"), std::string::npos) << shown;
        const bool failed = message == kStrUpdateFailed;
        EXPECT_EQ(
            shown.find("The retry procedure: C:\\tk358fw\\retry-procedure.md") != std::string::npos,
            failed)
            << shown;
        EXPECT_EQ(shown.find(kOpenRetryProcedureLabel) != std::string::npos, failed) << shown;
        EXPECT_NE(shown.find(LoadString(message).substr(0, 20)), std::string::npos) << shown;
    }
}

TEST_F(Win32Dialogs, FileDialogFiltersFirmwareFilesAndGivesTheChosenPathInUtf8) {
    EXPECT_EQ(OpenDialogFilter(LoadString(kStrFilter)),
              std::wstring(L"Firmware Files (*.fw )   \0*.fw\0\0", 32));
    EXPECT_EQ(OpenDialogFilter(""), std::wstring(L"*.*\0*.*\0\0", 9));

    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / L"tk358fw-\u00fcbung";
    std::filesystem::create_directories(folder);
    const std::filesystem::path file = folder / L"Kamera-\u00e4.fw";
    std::ofstream(file) << "x";
    WhenDialogOpens([&file](HWND d) {
        ExpectCentred(d);
        SetDlgItemTextW(d, kFileNameBox, file.c_str());
        PostMessageW(d, WM_COMMAND, IDOK, 0);
    });
    std::string path;
    EXPECT_EQ(m_ui->ChooseFile(LoadString(kStrFilter), "*.fw", &path), kChooseOk);
    EXPECT_EQ(win32_utf8::ToWide(path), file.wstring());
    WhenDialogOpens([](HWND d) { PostMessageW(d, WM_COMMAND, IDCANCEL, 0); });
    EXPECT_EQ(m_ui->ChooseFile(LoadString(kStrFilter), "*.fw", &path), kChooseCancelled);
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
}

TEST_F(Win32Dialogs, ProgressWindowShowsTextAndPictureThenCloses) {
    auto owned = std::make_unique<CProgressDialog>();
    CProgressDialog* dialog = owned.get();
    ASSERT_TRUE(dialog->CreateModeless(m_owner));
    const HWND window = dialog->Window();
    CProgressWindow progress(std::move(owned));
    EXPECT_TRUE(IsWindowVisible(window));
    ExpectCentred(window);
    progress.ShowProgress(1, 37, kProgressRunning);
    EXPECT_EQ(WindowText(GetDlgItem(window, kTextControlId)), kProgressRunning);
    const Picture& canvas = dialog->Canvas();
    RECT client{};
    GetClientRect(window, &client);
    ASSERT_EQ(canvas.height, client.bottom);
    const int row = canvas.height - 29;
    EXPECT_EQ(canvas.At(10 + 110, row), kProgressBlue);
    EXPECT_EQ(canvas.At(10 + 111, row), kProgressWhite);
    // What the window shows is the picture.
    const HDC dc = GetDC(window);
    EXPECT_EQ(GetPixel(dc, 10 + 110, row), RGB(0, 0, 255));
    EXPECT_EQ(GetPixel(dc, 10 + 111, row), RGB(255, 255, 255));
    ReleaseDC(window, dc);
    // Once painted, the window shows each new percentage at once.
    progress.ShowProgress(3, 80, nullptr);  // a null text keeps the last one
    EXPECT_EQ(WindowText(GetDlgItem(window, kTextControlId)), kProgressRunning);
    const HDC after = GetDC(window);
    EXPECT_EQ(GetPixel(after, 10 + 239, row), RGB(0, 0, 255));
    ReleaseDC(window, after);
    progress.CloseProgress();
    EXPECT_FALSE(IsWindow(window));
    progress.ShowProgress(1, 50, kProgressRunning);  // after closing: nothing happens
}

}  // namespace
