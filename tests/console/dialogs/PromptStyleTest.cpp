// Style decoding of the prompt boxes: button sets, icons, default buttons
// and the answer each button gives.
#include "dialogs/PromptStyle.h"

#include <gtest/gtest.h>

namespace {

using namespace PromptStyle;

struct MapRow {
    qint32 set;
    quint8 button1, button2, button3;
};

class MapButtonCodeRows : public ::testing::TestWithParam<MapRow> {};

TEST_P(MapButtonCodeRows, AnswerOfEachButton)
{
    const MapRow &row = GetParam();
    // The icon and default bits must not change the answers.
    for (qint32 extra : {0, 16, 32 + 256, 64 + 512}) {
        const qint32 style = row.set + extra;
        EXPECT_EQ(MapButtonCode(style, 1), row.button1) << "style " << style;
        EXPECT_EQ(MapButtonCode(style, 2), row.button2) << "style " << style;
        EXPECT_EQ(MapButtonCode(style, 3), row.button3) << "style " << style;
    }
}

INSTANTIATE_TEST_SUITE_P(
    ButtonSets, MapButtonCodeRows,
    ::testing::Values(MapRow{0, 1, 0, 0}, MapRow{1, 1, 2, 0}, MapRow{2, 3, 4, 5},
                      MapRow{3, 6, 7, 2}, MapRow{4, 6, 7, 0}, MapRow{5, 4, 2, 0},
                      MapRow{6, 1, 0, 0}, MapRow{15, 1, 0, 0}),
    [](const ::testing::TestParamInfo<MapRow> &info) { return "Set" + std::to_string(info.param.set); });

TEST(MapButtonCode, ButtonsOutsideOneToThreeAnswerNothing)
{
    EXPECT_EQ(MapButtonCode(3, 0), NoAnswer);
    EXPECT_EQ(MapButtonCode(3, 4), NoAnswer);
}

TEST(MapButtonCode, NegativeStyleIsAnUnknownSet)
{
    EXPECT_EQ(MapButtonCode(-3, 1), AnswerOK);
    EXPECT_EQ(MapButtonCode(-3, 2), NoAnswer);
}

TEST(ButtonCaptions, EverySet)
{
    EXPECT_EQ(buttonCaptions(0), QStringList{u"OK"_qs});
    EXPECT_EQ(buttonCaptions(1), (QStringList{u"OK"_qs, u"Cancel"_qs}));
    EXPECT_EQ(buttonCaptions(2), (QStringList{u"Abort"_qs, u"Retry"_qs, u"Ignore"_qs}));
    EXPECT_EQ(buttonCaptions(3), (QStringList{u"Yes"_qs, u"No"_qs, u"Cancel"_qs}));
    EXPECT_EQ(buttonCaptions(4), (QStringList{u"Yes"_qs, u"No"_qs}));
    EXPECT_EQ(buttonCaptions(5), (QStringList{u"Retry"_qs, u"Cancel"_qs}));
    EXPECT_EQ(buttonCaptions(9), QStringList{u"OK"_qs});
}

TEST(Icon, BitsSixteenToSixtyFour)
{
    EXPECT_EQ(icon(16), IconError);
    EXPECT_EQ(icon(4 + 32 + 256), IconQuestion);
    EXPECT_EQ(icon(48), IconWarning);
    EXPECT_EQ(icon(64 + 1), IconInformation);
    EXPECT_EQ(icon(0), NoIcon);
    EXPECT_EQ(icon(80), NoIcon) << "16 + 64 names no icon";
    EXPECT_EQ(icon(112), NoIcon);
}

TEST(DefaultButton, BitsNameShownButtonsOnly)
{
    EXPECT_EQ(defaultButton(4 + 32 + 256, 2), 2);
    EXPECT_EQ(defaultButton(256, 1), 1) << "button 2 not shown";
    EXPECT_EQ(defaultButton(512, 3), 3);
    EXPECT_EQ(defaultButton(512, 2), 1) << "button 3 not shown";
    EXPECT_EQ(defaultButton(256 + 512, 3), 3);
    EXPECT_EQ(defaultButton(256 + 512, 2), 2);
    EXPECT_EQ(defaultButton(3, 3), 1);
}

TEST(WithButtonSet, KeepsIconAndDefaultBits)
{
    EXPECT_EQ(withButtonSet(4 + 32 + 256, 0), 32 + 256);
    EXPECT_EQ(withButtonSet(3 + 16, 1), 1 + 16);
    EXPECT_EQ(withButtonSet(0, 1), 1);
}

} // namespace
