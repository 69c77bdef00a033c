// The one test on the real clock: the 5 s connect time-out. The server is a
// loopback socket whose accept queue is full, so the console's connection
// attempt gets no answer at all (its SYN is dropped) and stays in Connecting.
#include "SessionFixture.h"

#include <QElapsedTimer>

namespace {

using ConnectTimeoutTest = SessionFixture;

TEST_F(ConnectTimeoutTest, UnansweredConnectTimesOutAfterFiveSeconds)
{
    UnansweredListener listener;
    ASSERT_NE(listener.port(), 0);
    settings.fPort = listener.port();
    session->setTimeouts(PaymentSession::Timeouts{});   // the console's own: 5,000 ms to connect

    QElapsedTimer elapsed;
    elapsed.start();
    session->BeginSession();
    ASSERT_TRUE(waitIdle(15000));
    const qint64 ms = elapsed.elapsed();
    EXPECT_GE(ms, 5000);
    EXPECT_LT(ms, 9000);
    EXPECT_EQ(host.errorTexts(), QStringList{QStringLiteral("Ühendus maksesüsteemiga katkes. (Timeout)")});
}

} // namespace
