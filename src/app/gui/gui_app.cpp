#include "app/gui/gui_app.hpp"

#include <wx/init.h>

#include <cstdio>
#include <cstdlib>

#include "app/desktop/desktop.hpp"
#include "app/gui/gui.hpp"
#include "app/gui/main_frame.hpp"
#include "app/gui/paint_yield.hpp"

bool CTk358fwApp::OnInit() {
    SetAppName("tk358fw");
    auto* frame = new CMainFrame(m_ports, [this](CFirmwareUpdater::Outcome outcome) {
        m_exitStatus = ExitStatusFor(outcome);
    });
    SetTopWindow(frame);
    frame->Show();
    return true;
}

int RunGuiApplication(int argc, char** argv, IPortSystem& ports) {
    // Every wait of the update (serial waits and clock sleeps) lets paint events through.
    IClock& clock = CurrentClock();
    CUiPump pump(clock, LetPaintEventsThrough);
    CYieldingClock yieldingClock(clock, pump);
    ScopedClock scopedClock(yieldingClock);
    CYieldingPortSystem yieldingPorts(ports, pump);

    // The tool keeps no settings: toolkit dialogs must not write any (a settings write can also
    // stall the one thread for seconds when no settings service runs).
    setenv("GSETTINGS_BACKEND", "memory", 0);

    auto* app = new CTk358fwApp(yieldingPorts);
    wxApp::SetInstance(app);
    wxInitializer toolkit(argc, argv);
    if (!toolkit.IsOk()) {
        // No display (the application object went with the failed start).
        std::fputs(
            "tk358fw: no display for the desktop application; 'tk358fw --console' runs the "
            "update on the terminal.\n",
            stderr);
        return 1;
    }
    if (!app->CallOnInit()) {
        return 1;
    }
    app->OnRun();
    const int status = app->ExitStatus();
    app->OnExit();
    return status;
}
