#include <gtest/gtest.h>

#include <QSignalSpy>
#include <csignal>

#include "platform/TerminationSignals.h"

namespace {

TEST(TerminationSignals, EachSignalArrivesInTheEventLoop) {
    platform::TerminationSignals handler;
    ASSERT_TRUE(handler.Installed());
    QSignalSpy received(&handler, &platform::TerminationSignals::Received);
    for (int number : {SIGTERM, SIGINT, SIGHUP}) {
        ::raise(number);
        // Nothing happens inside the handler: the event loop delivers it.
        EXPECT_EQ(received.count(), 0) << number;
        ASSERT_TRUE(received.wait(5000)) << number;
        ASSERT_EQ(received.count(), 1);
        EXPECT_EQ(received.takeFirst().at(0).toInt(), number);
    }
}

TEST(TerminationSignals, OnlyOneInstanceHandlesThemAndTheOldHandlingReturns) {
    {
        platform::TerminationSignals first;
        platform::TerminationSignals second;
        EXPECT_TRUE(first.Installed());
        EXPECT_FALSE(second.Installed());
    }
    struct sigaction current {};
    ::sigaction(SIGTERM, nullptr, &current);
    EXPECT_EQ(current.sa_handler, SIG_DFL);
}

}  // namespace
