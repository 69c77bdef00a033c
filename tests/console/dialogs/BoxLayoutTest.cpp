// The prompt box's twips arithmetic and its conversion to pixels.
#include "dialogs/BoxLayout.h"

#include <gtest/gtest.h>

namespace {

using namespace BoxLayout;

struct TwipsRow {
    int twips;
    qreal dpi;
    int pixels;
};

class TwipsToPixelsRows : public ::testing::TestWithParam<TwipsRow> {};

TEST_P(TwipsToPixelsRows, FourteenFortyTwipsPerInch)
{
    const TwipsRow &row = GetParam();
    EXPECT_EQ(twipsToPixels(row.twips, row.dpi), row.pixels);
}

INSTANTIATE_TEST_SUITE_P(Resolutions, TwipsToPixelsRows,
                         ::testing::Values(TwipsRow{1440, 96, 96}, TwipsRow{15, 96, 1},
                                           TwipsRow{5640, 96, 376}, TwipsRow{1800, 96, 120},
                                           TwipsRow{1095, 96, 73}, TwipsRow{5640, 144, 564},
                                           TwipsRow{375, 120, 31}, TwipsRow{0, 96, 0}));

TEST(PixelsToTwips, RoundTripsAtNinetySixDpi)
{
    for (int px : {0, 1, 13, 73, 376})
        EXPECT_EQ(twipsToPixels(pixelsToTwips(px, 96), 96), px);
    EXPECT_EQ(pixelsToTwips(10, 0), 0);
}

struct HeightRow {
    const char *name;
    int labelTop, labelHeight;
    int frame, dialog;
};

class MessageHeightRows : public ::testing::TestWithParam<HeightRow> {};

TEST_P(MessageHeightRows, GrowsByTheFramesExcessOverDesign)
{
    const HeightRow &row = GetParam();
    EXPECT_EQ(messageFrameHeight(row.labelTop, row.labelHeight), row.frame);
    EXPECT_EQ(dialogHeight(row.frame), row.dialog);
}

INSTANTIATE_TEST_SUITE_P(
    Labels, MessageHeightRows,
    ::testing::Values(HeightRow{"OneLine", 240, 195, 645, 1800},
                      HeightRow{"ExactlyFits", 240, 645, 1095, 1800},
                      HeightRow{"OneTwipTooTall", 240, 646, 1096, 1801},
                      HeightRow{"TenLines", 240, 1950, 2400, 3105}),
    [](const ::testing::TestParamInfo<HeightRow> &info) { return std::string(info.param.name); });

TEST(InputFrame, FieldBelowLabelAndFrameBelowField)
{
    EXPECT_EQ(inputFieldTop(240, 195), 645);
    EXPECT_EQ(inputFrameHeight(240, 195, 285), 645 + 285 + 150);
    EXPECT_EQ(dialogHeight(inputFrameHeight(240, 195, 285)), 1800);
    EXPECT_EQ(dialogHeight(inputFrameHeight(240, 600, 285)), 1800 + (240 + 600 + 210 + 285 + 150 - 1095));
}

} // namespace
