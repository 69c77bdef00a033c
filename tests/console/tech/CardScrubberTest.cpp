// Card data taken out of text bound for the support bundle: Luhn-valid card
// numbers and tracks become as many '*'; everything else stays byte for byte.
#include "tech/CardScrubber.h"

#include <gtest/gtest.h>

namespace {

QByteArray stars(qsizetype n)
{
    return QByteArray(n, '*');
}

QByteArray scrubbed(QByteArray text, ScrubCount *count = nullptr)
{
    const ScrubCount c = ScrubCardData(text);
    if (count)
        *count = c;
    return text;
}

TEST(Luhn, KnownCardNumbersPassAndOneWrongDigitFails)
{
    EXPECT_TRUE(PassesLuhn("4111111111111111"));
    EXPECT_TRUE(PassesLuhn("5555555555554444"));
    EXPECT_TRUE(PassesLuhn("378282246310005"));
    EXPECT_TRUE(PassesLuhn("6304000000000000000"));
    EXPECT_FALSE(PassesLuhn("4111111111111112"));
    EXPECT_FALSE(PassesLuhn("5555555555554445"));
}

TEST(Luhn, EmptyOrNonDigitTextFails)
{
    EXPECT_FALSE(PassesLuhn(""));
    EXPECT_FALSE(PassesLuhn("4111 1111 1111 1111"));
    EXPECT_FALSE(PassesLuhn("411111111111111x"));
}

struct PanRow {
    const char *name;
    const char *pan;
};

class LuhnValidRun : public ::testing::TestWithParam<PanRow> {};

TEST_P(LuhnValidRun, IsReplacedByAsManyStars)
{
    const QByteArray pan = GetParam().pan;
    ScrubCount count;
    EXPECT_EQ(scrubbed("kaart " + pan + " ok", &count), "kaart " + stars(pan.size()) + " ok");
    EXPECT_EQ(count.cardNumbers, 1);
    EXPECT_EQ(count.tracks, 0);
}

INSTANTIATE_TEST_SUITE_P(Lengths13To19, LuhnValidRun,
                         ::testing::Values(PanRow{"Thirteen", "1234567890128"},
                                           PanRow{"FifteenAmex", "378282246310005"},
                                           PanRow{"SixteenVisa", "4111111111111111"},
                                           PanRow{"SixteenMastercard", "5555555555554444"},
                                           PanRow{"Nineteen", "6304000000000000000"}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(CardScrubber, CardShapedNumberFailingLuhnStays)
{
    ScrubCount count;
    EXPECT_EQ(scrubbed("ref 4111111111111112;", &count), "ref 4111111111111112;");
    EXPECT_EQ(count.total(), 0);
}

TEST(CardScrubber, StansAmountsAndStampsStay)
{
    // STAN 123 as it is logged, an amount, a period stamp, a session number.
    const QByteArray text = "STAN=123 Summa: 12,50 1250 261207123000 000042 20261207123000\r\n";
    EXPECT_EQ(scrubbed(text), text);
}

TEST(CardScrubber, LuhnValidRunsOutsideThirteenToNineteenDigitsStay)
{
    const QByteArray text = "123456789015 12345678901234567894";  // 12 and 20 digits, both Luhn-valid
    ASSERT_TRUE(PassesLuhn("123456789015"));
    ASSERT_TRUE(PassesLuhn("12345678901234567894"));
    EXPECT_EQ(scrubbed(text), text);
}

TEST(CardScrubber, DigitsGluedToACardNumberMakeItAnotherRun)
{
    // A 17-digit run that holds a valid 16-digit number is not that number;
    // the run as a whole fails Luhn and stays.
    const QByteArray text = "74111111111111111";
    ASSERT_FALSE(PassesLuhn(text));
    EXPECT_EQ(scrubbed(text), text);
}

TEST(CardScrubber, LettersAroundACardNumberDoNotHideIt)
{
    EXPECT_EQ(scrubbed("B4111111111111111^"), "B" + stars(16) + "^");
    EXPECT_EQ(scrubbed("4111111111111111"), stars(16));
}

TEST(CardScrubber, TrackTwoIsReplacedWholeSentinelsIncluded)
{
    const QByteArray track = ";4111111111111111=25121010000012300000?";
    ScrubCount count;
    EXPECT_EQ(scrubbed("\"07.12.2026 12:30:00 OUT:" + track + "\"\r\n", &count),
              "\"07.12.2026 12:30:00 OUT:" + stars(track.size()) + "\"\r\n");
    EXPECT_EQ(count.tracks, 1);
    EXPECT_EQ(count.cardNumbers, 0) << "the track's own number is not counted twice";
}

TEST(CardScrubber, TrackTwoWithACardNumberFailingLuhnIsStillATrack)
{
    const QByteArray track = ";4111111111111112=2512101?";
    EXPECT_EQ(scrubbed(track), stars(track.size()));
}

TEST(CardScrubber, TrackOneIsReplacedWhole)
{
    const QByteArray track = "%B4111111111111111^TAMM/MARI^2512101000000000000000?";
    ScrubCount count;
    EXPECT_EQ(scrubbed("x" + track + "y", &count), "x" + stars(track.size()) + "y");
    EXPECT_EQ(count.tracks, 1);
}

TEST(CardScrubber, BothTracksOfOneSwipe)
{
    const QByteArray t1 = "%B5555555555554444^TAMM/MARI^2512101000?";
    const QByteArray t2 = ";5555555555554444=2512101000?";
    ScrubCount count;
    EXPECT_EQ(scrubbed(t1 + t2, &count), stars(t1.size() + t2.size()));
    EXPECT_EQ(count.tracks, 2);
}

TEST(CardScrubber, TrackWithoutEndSentinelLosesItsCardNumber)
{
    // Not a track (cut short), but the card number in it still goes.
    EXPECT_EQ(scrubbed(";4111111111111111=2512"), ";" + stars(16) + "=2512");
}

TEST(CardScrubber, TrackMarksFarApartOrAcrossLinesAreNotATrack)
{
    const QByteArray acrossLines = ";123=45\r\nKas klient on püsiklient?";
    EXPECT_EQ(scrubbed(acrossLines), acrossLines);
    const QByteArray tooLong = ";1=" + QByteArray(60, '0') + "?";
    EXPECT_EQ(scrubbed(tooLong), tooLong);
    const QByteArray noCaret = "%Bsee pole rada?";
    EXPECT_EQ(scrubbed(noCaret), noCaret);
}

TEST(CardScrubber, EveryOtherByteIsKept)
{
    QByteArray text;
    for (int b = 0; b < 256; ++b)
        text.append(char(b));
    text.append(";4111111111111111=2512?");
    QByteArray expected = text.first(256) + stars(23);
    EXPECT_EQ(scrubbed(text), expected);
}

} // namespace
