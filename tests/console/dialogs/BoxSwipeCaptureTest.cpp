// Swipe capture of masked boxes: fast bursts kept, slow typing dropped.
#include "dialogs/BoxSwipeCapture.h"
#include "common/Timing.h"

#include <gtest/gtest.h>

namespace {

class BoxCapture : public ::testing::Test {
protected:
    void type(const QString &text, int spacingMs)
    {
        for (qsizetype i = 0; i < text.size(); ++i) {
            if (i > 0)
                timing.advanceMs(spacingMs);
            capture.keyPress(QStringView(text).mid(i, 1));
        }
    }

    ManualTiming timing;
    BoxSwipeCapture capture{timing};
};

TEST_F(BoxCapture, SwipedTrackIsKept)
{
    type(u";123456=789?"_qs, 5);
    timing.advanceMs(100);
    EXPECT_EQ(capture.swipeText(), u";123456=789?"_qs);
}

TEST_F(BoxCapture, SlowTypingIsDroppedAtEachKey)
{
    type(u"1234"_qs, 200);
    timing.advanceMs(100);
    EXPECT_TRUE(capture.swipeText().isEmpty());
}

TEST_F(BoxCapture, ThreeKeysWithinFiftyFiveMsSurviveTwoDoNot)
{
    // The timer fires 55 ms after the last key: 55 / 3 <= 20, 55 / 2 > 20.
    type(u"12"_qs, 50);
    timing.advanceMs(55);
    EXPECT_TRUE(capture.swipeText().isEmpty());
    type(u"123"_qs, 50);
    timing.advanceMs(55);
    EXPECT_EQ(capture.swipeText(), u"123"_qs);
}

TEST_F(BoxCapture, KeptTextGrowsWithLaterKeys)
{
    type(u"abc"_qs, 5);
    timing.advanceMs(500);
    type(u"d"_qs, 0);
    timing.advanceMs(500);
    EXPECT_EQ(capture.swipeText(), u"abcd"_qs);
}

TEST_F(BoxCapture, ResetEmptiesAndStops)
{
    type(u"abc"_qs, 5);
    capture.reset();
    EXPECT_TRUE(capture.swipeText().isEmpty());
    EXPECT_EQ(capture.lastKeyTime(), timing.nowMs());
    EXPECT_FALSE(capture.Timer1()->isActive());
}

} // namespace
