#include <gtest/gtest.h>

#include <QCloseEvent>
#include <QTest>

#include "platform/PictureBox.h"
#include "platform/Timer.h"
#include "shell/Form15.h"
#include "tests/support/Screenshots.h"

namespace {

TEST(Form15, ShowsThePictureAndStartsTheGameAfterTwoSeconds) {
    int started = 0;
    shell::Form15 splash([&] { ++started; });
    EXPECT_EQ(splash.Timer1().Interval(), 2000);
    EXPECT_TRUE(splash.Timer1().Enabled());
    ASSERT_NE(splash.Picture1, nullptr);
    EXPECT_FALSE(splash.Picture1->Picture().isNull());
    EXPECT_EQ(splash.size(), splash.Picture1->Picture().size());
    splash.show();
    testing_support::SaveScreenshot(splash, "splash");

    splash.Timer1_Timer();
    EXPECT_EQ(started, 1);
    EXPECT_FALSE(splash.isVisible());
    EXPECT_FALSE(splash.Timer1().Enabled());
    splash.Timer1_Timer();  // a late tick starts nothing more
    EXPECT_EQ(started, 1);
}

TEST(Form15, ClickedOrClosedAwayItStartsTheGameOnce) {
    for (int way = 0; way < 3; ++way) {
        int started = 0;
        shell::Form15 splash([&] { ++started; });
        splash.show();
        if (way == 0) QTest::mouseClick(&splash, Qt::LeftButton);
        if (way == 1) QTest::keyClick(&splash, Qt::Key_Escape);
        if (way == 2) splash.close();
        EXPECT_EQ(started, 1) << way;
        EXPECT_FALSE(splash.isVisible()) << way;
        splash.Timer1_Timer();
        splash.close();
        EXPECT_EQ(started, 1) << way;
    }
}

TEST(Form15, StartUpRunningInsideTheTickIsNotStartedAgain) {
    // The start-up may show a modal box, so the splash's timer could tick
    // while it runs.
    int started = 0;
    shell::Form15* splashPtr = nullptr;
    shell::Form15 splash([&] {
        ++started;
        splashPtr->Timer1_Timer();
        splashPtr->close();
    });
    splashPtr = &splash;
    splash.Timer1_Timer();
    EXPECT_EQ(started, 1);
}

}  // namespace
