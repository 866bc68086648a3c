#include "app/win32gui/paint_pump.hpp"

#include "app/win32gui/windows_api.hpp"

void CPaintOnlyPump::LetPaintThrough() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE | PM_QS_PAINT)) {
        DispatchMessageW(&message);
    }
    m_inputHeldBack = true;
}

int CPaintOnlyPump::DiscardInputHeldBack() {
    if (!m_inputHeldBack) {
        return 0;
    }
    m_inputHeldBack = false;
    struct Range {
        UINT first;
        UINT last;
    };
    constexpr Range kInput[] = {
        {WM_KEYFIRST, WM_KEYLAST},
        {WM_MOUSEFIRST, WM_MOUSELAST},
        {WM_NCMOUSEMOVE, WM_NCXBUTTONDBLCLK},
    };
    int removed = 0;
    for (const Range& range : kInput) {
        MSG message;
        while (PeekMessageW(&message, nullptr, range.first, range.last, PM_REMOVE)) {
            ++removed;
        }
    }
    return removed;
}
