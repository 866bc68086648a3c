// Building the camera information record from the decoded status block.
#include "camera/camera.hpp"

namespace {

constexpr uint16_t kModeCount = 4;

}  // namespace

void FillCameraInfo(const CameraStatus& status, CameraInfo* info) {
    info->clock = CameraTimeFromClock(status.clock);
    info->versionDigits = status.versionDigits;

    // A mode index that selects no figure leaves the figures of the previous fill.
    const bool modeKnown = status.modeIndex < kModeCount;
    info->store0Pictures = status.store0Pictures;
    if (modeKnown) {
        info->store0Figure = status.store0Figures[status.modeIndex];
    }
    if (status.Store1Present()) {
        info->store1Pictures = status.store1Pictures;
        if (modeKnown) {
            info->store1Figure = status.store1Figures[status.modeIndex];
        }
        info->totalPictures = static_cast<int16_t>(info->store0Pictures + info->store1Pictures);
        info->totalFigure = static_cast<int16_t>(info->store0Figure + info->store1Figure);
    } else {
        info->store1Pictures = -1;
        info->store1Figure = -1;
        info->totalPictures = info->store0Pictures;
        info->totalFigure = info->store0Figure;
    }

    info->fixed80 = 80;
    info->fixed60 = 60;
    info->fixed1280 = 1280;
    info->fixed960 = 960;
}
