// Burst timing: which bursts are card swipes, played at exact key spacings.
#include "widgets/CardSwipeDetector.h"
#include "common/DeadKeys.h"
#include "common/Timing.h"

#include <gtest/gtest.h>

#include <QSignalSpy>

namespace {

class SwipeTiming : public ::testing::Test {
protected:
    // Types `text` one character every spacingMs, then lets 55 ms pass so
    // Timer3 fires. Returns whether the burst was a swipe, as EndOfBurst
    // would see it.
    bool play(const QString &text, int spacingMs)
    {
        std::optional<bool> swipe;
        auto connection = QObject::connect(&detector, &CardSwipeDetector::burstTimerFired,
                                           [&] { swipe = detector.closeBurst(); });
        for (qsizetype i = 0; i < text.size(); ++i) {
            if (i > 0)
                timing.advanceMs(spacingMs);
            detector.keyPress(QStringView(text).mid(i, 1));
        }
        timing.advanceMs(CardSwipeDetector::kBurstTimerMs);
        QObject::disconnect(connection);
        EXPECT_TRUE(swipe.has_value()) << "Timer3 did not fire 55 ms after the last key";
        return swipe.value_or(false);
    }

    ManualTiming timing;
    CardSwipeDetector detector{timing};
};

TEST_F(SwipeTiming, FortyCharactersAtFiveMsAreASwipe)
{
    const QString track = u";4111111111111111=2612101000000000000?"_qs + u"ab"_qs;
    ASSERT_EQ(track.size(), 40);
    EXPECT_TRUE(play(track, 5));
    EXPECT_EQ(detector.keyBuffer(), track);
}

TEST_F(SwipeTiming, FourFastCharactersAreNotASwipe)
{
    EXPECT_FALSE(play(u"1234"_qs, 5));
    EXPECT_EQ(detector.keyBuffer(), u"1234"_qs);
}

TEST_F(SwipeTiming, FiveFastCharactersAreASwipe)
{
    EXPECT_TRUE(play(u"12345"_qs, 5));
}

TEST_F(SwipeTiming, FiveKeysFiftyMsApartFormOneBurstThatIsNoSwipe)
{
    const qint64 start = timing.nowMs();
    EXPECT_FALSE(play(u"12345"_qs, 50));
    EXPECT_EQ(detector.keyBuffer(), u"12345"_qs) << "gaps below 55 ms keep one burst";
    EXPECT_EQ(detector.burstStart(), start);
}

TEST_F(SwipeTiming, TwentyMsPerCharacterIsStillASwipe)
{
    // 5 keys 11.25 ms apart would be exact; use 5 keys whose span plus the
    // 55 ms tail is exactly 100 ms: gaps 10, 10, 10, 15.
    std::optional<bool> swipe;
    QObject::connect(&detector, &CardSwipeDetector::burstTimerFired, [&] { swipe = detector.closeBurst(); });
    const int gaps[] = {10, 10, 10, 15};
    detector.keyPress(u"1");
    for (int gap : gaps) {
        timing.advanceMs(gap);
        detector.keyPress(u"2");
    }
    timing.advanceMs(55);
    ASSERT_TRUE(swipe.has_value());
    EXPECT_TRUE(*swipe);
}

TEST_F(SwipeTiming, SwipeDecisionBoundary)
{
    EXPECT_TRUE(CardSwipeDetector::isSwipe(5, 100));
    EXPECT_FALSE(CardSwipeDetector::isSwipe(5, 101));
    EXPECT_FALSE(CardSwipeDetector::isSwipe(4, 10));
    EXPECT_TRUE(CardSwipeDetector::isSwipe(40, 250));
}

TEST_F(SwipeTiming, KeysFiftyFiveMsApartAreSeparateBursts)
{
    QSignalSpy fired(&detector, &CardSwipeDetector::burstTimerFired);
    detector.keyPress(u"1");
    timing.advanceMs(55);
    EXPECT_EQ(fired.count(), 1);
    EXPECT_FALSE(detector.isBurstOpen());
    detector.keyPress(u"2");
    EXPECT_EQ(detector.keyBuffer(), u"2"_qs) << "a new burst empties keyBuffer first";
}

TEST_F(SwipeTiming, BurstIsOpenUntilTheTimerFires)
{
    EXPECT_FALSE(detector.isBurstOpen());
    detector.keyPress(u"1");
    EXPECT_TRUE(detector.isBurstOpen());
    timing.advanceMs(54);
    EXPECT_TRUE(detector.isBurstOpen());
    timing.advanceMs(1);
    EXPECT_FALSE(detector.isBurstOpen());
}

TEST_F(SwipeTiming, ResetForgetsTheBurst)
{
    detector.keyPress(u"123"_qs);
    detector.reset();
    EXPECT_FALSE(detector.isBurstOpen());
    EXPECT_TRUE(detector.keyBuffer().isEmpty());
    EXPECT_EQ(detector.burstStart(), -1);
}

TEST_F(SwipeTiming, OnlyTheFirstKeyOfABurstOpensIt)
{
    int opened = 0;
    QObject::connect(&detector, &CardSwipeDetector::burstOpened, [&] {
        ++opened;
        EXPECT_TRUE(detector.keyBuffer().isEmpty()) << "signalled before the opening key is kept";
    });
    EXPECT_TRUE(play(u"12345"_qs, 5));
    EXPECT_EQ(opened, 1);
    EXPECT_FALSE(play(u"6"_qs, 5));
    EXPECT_EQ(opened, 2);
}

TEST(DeadKeySpacingCharacter, DeadKeysStandForThePrintedCharacter)
{
    EXPECT_EQ(DeadKeySpacingCharacter(Qt::Key_Dead_Acute), QChar(u'\u00B4'));
    EXPECT_EQ(DeadKeySpacingCharacter(Qt::Key_Dead_Grave), QChar(u'`'));
    EXPECT_EQ(DeadKeySpacingCharacter(Qt::Key_Dead_Caron), QChar(u'\u02C7'));
    EXPECT_EQ(DeadKeySpacingCharacter(Qt::Key_Dead_Tilde), QChar(u'~'));
    EXPECT_TRUE(DeadKeySpacingCharacter(Qt::Key_Equal).isNull());
    EXPECT_TRUE(DeadKeySpacingCharacter(Qt::Key_Shift).isNull());
}

TEST(ManualTiming, FiresTimersAtTheirDeadlinesInOrder)
{
    ManualTiming timing;
    QObject owner;
    OneShotTimer *a = timing.createTimer(&owner);
    OneShotTimer *b = timing.createTimer(&owner);
    QList<std::pair<char, qint64>> fired;
    QObject::connect(a, &OneShotTimer::timeout, [&] { fired.append({'a', timing.nowMs()}); });
    QObject::connect(b, &OneShotTimer::timeout, [&] {
        fired.append({'b', timing.nowMs()});
        if (fired.size() < 3)
            b->start(10);   // restarted within the step: fires again
    });
    const qint64 t0 = timing.nowMs();
    a->start(30);
    b->start(20);
    timing.advanceMs(100);
    ASSERT_EQ(fired.size(), 3);
    EXPECT_EQ(fired[0], std::make_pair('b', t0 + 20));
    EXPECT_EQ(fired[1], std::make_pair('a', t0 + 30));
    EXPECT_EQ(fired[2], std::make_pair('b', t0 + 30));
    EXPECT_EQ(timing.nowMs(), t0 + 100);
    EXPECT_FALSE(a->isActive());
}

TEST(ManualTiming, StoppedTimerDoesNotFire)
{
    ManualTiming timing;
    QObject owner;
    OneShotTimer *t = timing.createTimer(&owner);
    QSignalSpy spy(t, &OneShotTimer::timeout);
    t->start(10);
    t->stop();
    timing.advanceMs(50);
    EXPECT_EQ(spy.count(), 0);
}

} // namespace
