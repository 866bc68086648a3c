// The dialogs as real windows on a private X server: results of OK/Continue, Quit, Enter,
// Escape and the close box; the port dialog's preselection and radio buttons; texts, colours,
// caption and centring over the view; the progress window's text, picture and closing.
#include <gtest/gtest.h>
#include <wx/app.h>
#include <wx/button.h>
#include <wx/frame.h>
#include <wx/init.h>
#include <wx/msgdlg.h>
// (the generic box needs the common message dialog declarations first)
#include <wx/generic/msgdlgg.h>
#include <wx/radiobut.h>
#include <wx/statbox.h>
#include <wx/stattext.h>
#include <wx/timer.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <memory>

#include "app/app.hpp"
#include "app/desktop/desktop.hpp"
#include "app/gui/gui_user_interface.hpp"
#include "app/gui/paint_yield.hpp"
#include "app/gui/port_dialog.hpp"
#include "app/gui/progress_dialog.hpp"
#include "app/gui/text_dialogs.hpp"
#include "desktop/dialog_expectations.hpp"
#include "sim/sim.hpp"
#include "xvfb_server.hpp"

namespace {

// One X server and one toolkit start for the whole test program.
class ToolkitEnvironment final : public ::testing::Environment {
  public:
    static bool Ready() {
        static bool ready = Start();
        return ready;
    }
    void TearDown() override {
        if (s_started) {
            wxEntryCleanup();
            s_started = false;
        }
        Server().Stop();
    }

  private:
    static CXvfbServer& Server() {
        static CXvfbServer server;
        return server;
    }
    static bool Start() {
        if (!Server().Start()) {
            return false;
        }
        setenv("DISPLAY", Server().Display().c_str(), 1);
        static int argc = 1;
        static char name[] = "test_gui";
        static char* argv[] = {name, nullptr};
        wxApp::SetInstance(new wxApp());
        // A failed toolkit assertion fails the test instead of opening a dialog.
        wxSetAssertHandler([](const wxString& file, int line, const wxString& func,
                              const wxString& cond, const wxString& msg) {
            ADD_FAILURE() << "toolkit assertion: " << file << ":" << line << " " << func << " "
                          << cond << " " << msg;
        });
        s_started = wxEntryStart(argc, argv);
        return s_started;
    }
    static inline bool s_started = false;
};

const auto* const g_environment = ::testing::AddGlobalTestEnvironment(new ToolkitEnvironment);

void PressKey(wxWindow& window, int key) {
    wxKeyEvent event(wxEVT_CHAR_HOOK);
    event.m_keyCode = key;
    event.SetEventObject(&window);
    window.GetEventHandler()->ProcessEvent(event);
}

void ClickButton(wxWindow& dialog, wxWindowID id) {
    wxWindow* button = dialog.FindWindow(id);
    ASSERT_NE(button, nullptr);
    wxCommandEvent click(wxEVT_BUTTON, id);
    click.SetEventObject(button);
    button->GetEventHandler()->ProcessEvent(click);
}

// Runs the dialog modally and performs `action` once it is open; a dialog that the action left
// open ends with -1.
int RunWith(wxDialog& dialog, const std::function<void(wxDialog&)>& action) {
    dialog.CallAfter([&dialog, &action] {
        action(dialog);
        if (dialog.IsModal()) {
            dialog.EndModal(-1);
        }
    });
    return dialog.ShowModal();
}

class DialogWindows : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!ToolkitEnvironment::Ready()) {
            GTEST_SKIP() << "no X server (Xvfb) available";
        }
        m_frame = new wxFrame(nullptr, wxID_ANY, "owner", wxPoint(0, 0), wxSize(1000, 700));
        m_view = new wxWindow(m_frame, wxID_ANY);
        m_frame->Show();
        m_ui = std::make_unique<CGuiUserInterface>(m_frame, m_view);
        m_ports.Describe(2, PortInfo{"/dev/ttyUSB0", "FTDI FT232R USB UART", ""});
        g_pUpdater = new CFirmwareUpdater(*m_ui, m_ports);
        g_pUpdater->m_viewRect = ViewRect{0, 0, 1000, 700};
    }
    void TearDown() override {
        delete g_pUpdater;
        g_pUpdater = nullptr;
        m_ui.reset();
        if (m_frame != nullptr) {
            m_frame->Destroy();
        }
    }

    // The dialog sits in the middle of the 1000 x 700 view.
    static void ExpectCentred(wxWindow& dialog) {
        const wxSize size = dialog.GetSize();
        EXPECT_EQ(dialog.GetPosition(), wxPoint(500 - size.x / 2, 350 - size.y / 2));
    }
    static void ExpectLook(wxWindow& dialog) {
        EXPECT_EQ(dialog.GetBackgroundColour(), wxColour(192, 192, 192));
        EXPECT_EQ(dialog.GetForegroundColour(), *wxBLACK);
        EXPECT_EQ(dialog.GetLabel().utf8_string(), LoadString(kStrTitle));
    }

    sim::VirtualPortSystem m_ports;
    wxFrame* m_frame = nullptr;
    wxWindow* m_view = nullptr;
    std::unique_ptr<CGuiUserInterface> m_ui;
};

wxRadioButton* Radio(wxWindow& dialog, int id) {
    return dynamic_cast<wxRadioButton*>(dialog.FindWindow(id));
}

TEST_F(DialogWindows, EveryDialogHasTheSizeAndControlsOfItsTemplate) {
    for (const ExpectedDialog& expected : ExpectedDialogs()) {
        SCOPED_TRACE(expected.id);
        CTemplateDialog* dialog = expected.id == kDialogProgress
                                      ? new CProgressDialog(m_frame)
                                      : new CTemplateDialog(m_frame, expected.id);
        const wxSize size = dialog->ConvertDialogToPixels(wxSize(expected.width, expected.height));
        EXPECT_EQ(dialog->GetClientSize(),
                  wxSize(std::max(size.x, expected.minClientWidthPx), size.y));
        EXPECT_EQ(dialog->HasFlag(wxCLOSE_BOX), expected.closeBox);
        for (const ExpectedControl& c : expected.controls) {
            SCOPED_TRACE(c.id);
            wxWindow* control = dialog->Control(c.id);
            ASSERT_NE(control, nullptr);
            switch (c.kind) {
                case ControlKind::GroupBox:
                    EXPECT_NE(dynamic_cast<wxStaticBox*>(control), nullptr);
                    break;
                case ControlKind::RadioButton:
                    EXPECT_NE(dynamic_cast<wxRadioButton*>(control), nullptr);
                    break;
                case ControlKind::PushButton:
                case ControlKind::DefaultButton:
                    EXPECT_NE(dynamic_cast<wxButton*>(control), nullptr);
                    EXPECT_EQ(dialog->GetDefaultItem() == control,
                              c.kind == ControlKind::DefaultButton);
                    break;
                case ControlKind::CentredText:
                    EXPECT_NE(dynamic_cast<wxStaticText*>(control), nullptr);
                    break;
            }
            EXPECT_EQ(control->GetLabel().utf8_string(), c.text);
            const wxPoint at = dialog->ConvertDialogToPixels(wxPoint(c.x, c.y));
            const wxSize extent = dialog->ConvertDialogToPixels(wxSize(c.width, c.height));
            const wxRect r = control->GetRect();
            EXPECT_TRUE(ControlHasItsRectangle(c.kind, PixelRect{at.x, at.y, extent.x, extent.y},
                                               PixelRect{r.x, r.y, r.width, r.height}));
        }
        dialog->Destroy();
    }
}

TEST_F(DialogWindows, PortDialogOpensWithAutoAndEnterTakesIt) {
    CPortDialog dialog(m_frame);
    const int result = RunWith(dialog, [](wxDialog& d) {
        ASSERT_NE(Radio(d, kRadioAuto), nullptr);
        EXPECT_TRUE(Radio(d, kRadioAuto)->GetValue());
        for (int id = kRadioCom1; id <= kRadioCom4; ++id) {
            EXPECT_FALSE(Radio(d, id)->GetValue()) << id;
        }
        EXPECT_EQ(d.GetClientSize(), d.ConvertDialogToPixels(wxSize(153, 66)));
        ExpectCentred(d);
        ExpectLook(d);
        EXPECT_EQ(g_pUpdater->m_promptText, "");
        // Each COM button names its device; the texts stay.
        EXPECT_EQ(Radio(d, kRadioCom1)->GetToolTipText().utf8_string(), "COM1  no device");
        EXPECT_EQ(Radio(d, kRadioCom2)->GetToolTipText().utf8_string(),
                  "COM2  /dev/ttyUSB0  FTDI FT232R USB UART");
        EXPECT_EQ(Radio(d, kRadioCom2)->GetLabel().utf8_string(), "COM2");
        PressKey(d, WXK_RETURN);
    });
    EXPECT_EQ(result, kDialogOk);
    EXPECT_EQ(dialog.m_port, 0);
    EXPECT_EQ(g_pUpdater->m_promptText, LoadString(kStrSearching));
}

TEST_F(DialogWindows, PortDialogRadioButtonsChooseThePort) {
    for (int id = kRadioCom1; id <= kRadioCom4; ++id) {
        CPortDialog dialog(m_frame);
        const int result = RunWith(dialog, [id](wxDialog& d) {
            Radio(d, id)->SetValue(true);
            ClickButton(d, wxID_OK);
        });
        EXPECT_EQ(result, kDialogOk);
        EXPECT_EQ(dialog.m_port, id - 110);
    }
}

TEST_F(DialogWindows, PortDialogQuitEscapeAndCloseEndWithQuit) {
    const std::function<void(wxDialog&)> ways[] = {
        [](wxDialog& d) { ClickButton(d, wxID_CANCEL); },
        [](wxDialog& d) { PressKey(d, WXK_ESCAPE); },
        [](wxDialog& d) { d.Close(); },
    };
    for (const auto& way : ways) {
        CPortDialog dialog(m_frame);
        EXPECT_EQ(RunWith(dialog, way), kDialogQuit);
    }
    EXPECT_EQ(g_pUpdater->m_promptText, "");  // the searching prompt comes only with OK
}

TEST_F(DialogWindows, ContinueDialogsAnswerEnterWithContinueAndEscapeWithQuit) {
    for (DialogId id : {kDialogWrongFile, kDialogSelectionCancelled}) {
        SCOPED_TRACE(static_cast<int>(id));
        const std::string text =
            LoadString(id == kDialogWrongFile ? kStrWrongFile : kStrSelectionCanceled);
        std::unique_ptr<CTextDialog> dialog = MakeTextDialog(m_frame, id, text);
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(RunWith(*dialog,
                          [&text](wxDialog& d) {
                              auto* label = dynamic_cast<wxStaticText*>(d.FindWindow(100));
                              ASSERT_NE(label, nullptr);
                              EXPECT_EQ(label->GetLabel().utf8_string(), text);
                              ExpectCentred(d);
                              ExpectLook(d);
                              PressKey(d, WXK_RETURN);
                          }),
                  kDialogOk);
        dialog = MakeTextDialog(m_frame, id, text);
        EXPECT_EQ(RunWith(*dialog, [](wxDialog& d) { PressKey(d, WXK_ESCAPE); }), kDialogQuit);
        dialog = MakeTextDialog(m_frame, id, text);
        EXPECT_EQ(RunWith(*dialog, [](wxDialog& d) { ClickButton(d, wxID_CANCEL); }), kDialogQuit);
    }
}

TEST_F(DialogWindows, SuccessAndPicturesDialogs) {
    const std::string success = "Firmware 2.0 was successfully installed.\nClose the cover.";
    std::unique_ptr<CTextDialog> dialog = MakeTextDialog(m_frame, kDialogSuccess, success);
    EXPECT_EQ(RunWith(*dialog,
                      [&success](wxDialog& d) {
                          EXPECT_EQ(d.FindWindow(100)->GetLabel().utf8_string(), success);
                          EXPECT_EQ(d.FindWindow(wxID_CANCEL), nullptr);  // OK only
                          PressKey(d, WXK_RETURN);
                      }),
              kDialogOk);

    // The pictures dialog: its text's carriage return is a line break; Quit and the close box
    // end it with Quit.
    dialog = MakeTextDialog(m_frame, kDialogImagesPresent, LoadString(kStrImagesPresent));
    EXPECT_EQ(RunWith(*dialog,
                      [](wxDialog& d) {
                          const std::string shown = d.FindWindow(100)->GetLabel().utf8_string();
                          EXPECT_EQ(shown.find('\r'), std::string::npos);
                          EXPECT_EQ(shown.rfind("The camera contains images,\nuse the", 0), 0u);
                          EXPECT_EQ(d.FindWindow(wxID_OK), nullptr);  // Quit only
                          d.Close();
                      }),
              kDialogQuit);
    EXPECT_EQ(m_ui->RunTextDialog(static_cast<DialogId>(106), "x"), kDialogQuit);
}

TEST_F(DialogWindows, MessageBoxShowsTheReasonsUnderTheUnchangedText) {
    std::string text;
    std::string extended;
    m_frame->CallAfter([&] {
        for (wxWindow* window : wxTopLevelWindows) {
            if (auto* box = dynamic_cast<wxGenericMessageDialog*>(window)) {
                text = box->GetMessage().utf8_string();
                extended = box->GetExtendedMessage().utf8_string();
                box->EndModal(wxID_OK);
            }
        }
    });
    m_ui->ShowMessage(LoadString(kStrCameraNotFound), "COM1 (/dev/ttyUSB0): permission denied\n");
    EXPECT_EQ(text, LoadString(kStrCameraNotFound));
    EXPECT_EQ(extended, "COM1 (/dev/ttyUSB0): permission denied\n");
}

TEST_F(DialogWindows, ProgressWindowShowsTextAndPictureAndCloses) {
    auto* dialog = new CProgressDialog(m_frame);
    wxWeakRef<CProgressDialog> alive(dialog);
    CProgressWindow window(dialog);
    EXPECT_TRUE(dialog->IsShown());
    EXPECT_FALSE(dialog->IsModal());
    ExpectCentred(*dialog);
    ExpectLook(*dialog);
    // The dialog font measures like the one the template was made for: the client holds the
    // frame with about as much room at its right as at its left.
    const int width = dialog->GetClientSize().GetWidth();
    EXPECT_GE(width, kProgressFrameRight + kProgressFrameLeft);
    EXPECT_LE(width, kProgressFrameRight + 2 * kProgressFrameLeft);

    window.ShowProgress(1, 37, kProgressRunning);
    EXPECT_EQ(dialog->FindWindow(100)->GetLabel().utf8_string(), kProgressRunning);
    const Picture& canvas = dialog->Canvas();
    ASSERT_EQ(canvas.height, dialog->GetClientSize().GetHeight());
    const int row = canvas.height - 29;
    EXPECT_EQ(canvas.At(10 + 110, row), 0x0000FFu);
    EXPECT_EQ(canvas.At(10 + 111, row), 0xFFFFFFu);
    // A null text keeps the last one.
    window.ShowProgress(3, 37, nullptr);
    EXPECT_EQ(dialog->FindWindow(100)->GetLabel().utf8_string(), kProgressRunning);

    window.CloseProgress();
    EXPECT_FALSE(dialog->IsShown());
    window.ShowProgress(1, 50, kProgressRunning);  // after closing: nothing happens
    wxTheApp->ProcessIdle();                       // deferred deletion of the window
    EXPECT_FALSE(alive);
}

TEST_F(DialogWindows, PaintYieldHoldsTimersBackUntilTheEventLoopRuns) {
    // A due timer must not fire while the update lets only paint events through (it would
    // re-enter the workflow); it fires once a real event loop runs again.
    int ticks = 0;
    wxTimer timer;
    timer.Bind(wxEVT_TIMER, [&ticks](wxTimerEvent&) { ++ticks; });
    timer.StartOnce(1);
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(300);
    while (std::chrono::steady_clock::now() < end) {
        LetPaintEventsThrough();
    }
    EXPECT_EQ(ticks, 0);
    wxDialog dialog(m_frame, wxID_ANY, "wait");
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    dialog.Bind(wxEVT_IDLE, [&](wxIdleEvent& event) {
        if (!dialog.IsModal()) {
            return;
        }
        if (ticks > 0 || std::chrono::steady_clock::now() > giveUp) {
            dialog.EndModal(0);
        } else {
            event.RequestMore();
        }
    });
    dialog.ShowModal();  // a modal loop: the timer fires, then the dialog ends
    EXPECT_EQ(ticks, 1);
}

}  // namespace
