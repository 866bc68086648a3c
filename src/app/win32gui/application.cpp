// The desktop application on Windows: common controls, the waits that let only painting through,
// the main window and its message loop.
#include "app/win32gui/windows_api.hpp"

#include <commctrl.h>

#include "app/app.hpp"
#include "app/desktop/desktop.hpp"
#include "app/win32gui/main_window.hpp"
#include "app/win32gui/paint_pump.hpp"
#include "app/win32gui/win32gui.hpp"

int RunWin32Application(IPortSystem& ports) {
    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = sizeof controls;
    controls.dwICC = ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES;
    InitCommonControlsEx(&controls);

    // Every wait of the update (serial waits and clock sleeps) lets paint messages through.
    CPaintOnlyPump paintPump;
    IClock& clock = CurrentClock();
    CUiPump pump(clock, [&paintPump] { paintPump.LetPaintThrough(); });
    CYieldingClock yieldingClock(clock, pump);
    ScopedClock scopedClock(yieldingClock);
    CYieldingPortSystem yieldingPorts(ports, pump);

    const std::filesystem::path program = RunningProgram();
    CMainFrame frame(yieldingPorts, paintPump,
                     program.empty() ? std::string() : InstalledRetryProcedure(program));
    if (!frame.Create()) {
        return 1;
    }
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (frame.Window() == nullptr ||
            !TranslateAcceleratorW(frame.Window(), frame.Accelerators(), &message)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    return frame.ExitStatus();
}
