// The reader the real-window tests use to check the progress window, checked on composed
// pictures (so a screen capture that passes it shows exactly what the composition draws).
#include <gtest/gtest.h>

#include "app/desktop/desktop.hpp"
#include "progress_reader.hpp"

namespace {

ProgressReading ReadComposed(int16_t percent) {
    Picture p;
    p.width = 330;
    p.height = 58;
    p.pixels.assign(330u * 58u, 0xC0C0C0);
    ComposeProgressPicture(p, percent, &DigitStripPicture());
    return ReadProgress([&p](int x, int y) { return p.At(x, y); }, p.height);
}

TEST(ProgressReader, ReadsEveryPercentBack) {
    for (int percent = 0; percent <= 100; ++percent) {
        const ProgressReading r = ReadComposed(static_cast<int16_t>(percent));
        ASSERT_TRUE(r.frame) << percent;
        ASSERT_EQ(r.barWidth, 3 * percent);
        ASSERT_EQ(r.percent, percent);
        // Below 44 the figure is all on white; from 56 on (bar end 178) all on blue.
        if (percent < 44) {
            EXPECT_GT(r.glyphsOnWhite, 0);
            EXPECT_EQ(r.glyphsOnBlue, 0) << percent;
        }
        if (percent >= 56) {
            EXPECT_EQ(r.glyphsOnWhite, 0) << percent;
            EXPECT_GT(r.glyphsOnBlue, 0);
        }
    }
}

TEST(ProgressReader, RejectsAPictureWithoutFigure) {
    Picture p;
    p.width = 330;
    p.height = 58;
    p.pixels.assign(330u * 58u, 0xC0C0C0);
    ComposeProgressPicture(p, 20, nullptr);
    const ProgressReading r = ReadProgress([&p](int x, int y) { return p.At(x, y); }, p.height);
    EXPECT_TRUE(r.frame);
    EXPECT_EQ(r.barWidth, 60);
    EXPECT_EQ(r.percent, -1);
}

}  // namespace
