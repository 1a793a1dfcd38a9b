#include <gtest/gtest.h>

#include <QLabel>
#include <QFontMetrics>
#include <QImage>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>

#include "platform/PictureBox.h"
#include "platform/Twips.h"
#include "shell/TreeView.h"
#include "platform/Timer.h"
#include "shell/Form1.h"
#include "tests/support/RecordingDialogs.h"
#include "tests/support/Screenshots.h"

namespace {

using shell::Form1;
using shell::Panel;

class Form1Test : public ::testing::Test {
protected:
    core::Game game;
    testing_support::RecordingDialogs dialogs;
    Form1 form{game, dialogs};

    std::string NoticeText() const { return form.Notice->text().toStdString(); }
    bool NoticeBold() const { return form.Notice->font().bold(); }
};

TEST_F(Form1Test, NoticeIsBoldForOneSecondAndEmptiedAtTheSixthTick) {
    form.ShowNotice("Welcome To Trotwick");
    EXPECT_EQ(NoticeText(), "Welcome To Trotwick");
    EXPECT_TRUE(NoticeBold());
    EXPECT_TRUE(form.Timer("NoticeTim").Running());

    form.NoticeTim_Timer();
    EXPECT_FALSE(NoticeBold());
    for (int tick = 2; tick <= 5; ++tick) form.NoticeTim_Timer();
    EXPECT_EQ(NoticeText(), "Welcome To Trotwick");

    form.NoticeTim_Timer();
    EXPECT_EQ(NoticeText(), "");
    EXPECT_FALSE(form.Timer("NoticeTim").Enabled());
}

TEST_F(Form1Test, ANewerNoticeReplacesTheOlderAndGetsItsOwnSixSeconds) {
    form.ShowNotice("first");
    for (int tick = 0; tick < 3; ++tick) form.NoticeTim_Timer();
    form.ShowNotice("second");
    EXPECT_EQ(NoticeText(), "second");
    EXPECT_TRUE(NoticeBold());
    EXPECT_EQ(form.NOTICEexpirey, 0);
    for (int tick = 0; tick < 5; ++tick) form.NoticeTim_Timer();
    EXPECT_EQ(NoticeText(), "second");
    form.NoticeTim_Timer();
    EXPECT_EQ(NoticeText(), "");
}

TEST_F(Form1Test, NoticeShowsThePoundSign) {
    form.ShowNotice("Your horse sold for \xA3" "1,000");
    EXPECT_EQ(form.Notice->text(), QString::fromUtf8("Your horse sold for \u00A31,000"));
}

// A notice too long for its line shows its beginning (in bold and after),
// ending in "…"; one that fits shows whole. The whole text stays the line's,
// and its tip's while it does not fit.
TEST_F(Form1Test, ALongNoticeShowsItsBeginning) {
    const std::string start = "You were caught by the police!";
    const std::string police = start +
                               " Your horse has been taken away into care, and has now been released back onto the "
                               "market for re-homing.";
    const auto picture = [&](const std::string& text, bool bold) {
        form.ShowNotice(text);
        if (!bold) form.NoticeTim_Timer();
        return form.Notice->grab().toImage();
    };
    for (const bool bold : {true, false}) {
        SCOPED_TRACE(bold);
        const QImage alone = picture(start, bold);
        EXPECT_EQ(form.Notice->toolTip(), QString()) << "it fits";
        const QImage whole = picture(police, bold);
        EXPECT_EQ(NoticeText(), police);
        EXPECT_EQ(form.Notice->toolTip().toStdString(), police);
        // Up to the end of its first sentence the long notice looks as that
        // sentence does alone.
        const int shared = QFontMetrics(form.Notice->font()).horizontalAdvance(QString::fromStdString(start)) + 4;
        ASSERT_LT(shared, whole.width());
        ASSERT_EQ(alone.size(), whole.size());
        EXPECT_EQ(alone.copy(0, 0, shared, alone.height()), whole.copy(0, 0, shared, whole.height()));
        EXPECT_NE(alone, whole);
    }
    form.PaintBackgrounds();
    form.ShowNotice(police);
    testing_support::SaveScreenshot(form, "notice-police");
    testing_support::SaveScreenshot(*form.Notice, "notice-police-line");
}

struct LevelUpCase {
    double money;
    bool levelsUp;
    const char* line;
};

// The status line's longest caption does not fit its width: it shows its
// beginning and "…", and the whole text stays the label's and its tip's.
TEST_F(Form1Test, AStatusTooLongForItsLineEndsInAnEllipsis) {
    const QString caption = QStringLiteral("Trotwick Zircona - PATCH DOWNLOADED, FOLLOW INSTRUCTIONS!");
    form.Label13->setText(caption);
    form.Label13->grab();
    EXPECT_EQ(form.Label13->text(), caption);
    EXPECT_EQ(form.Label13->toolTip(), caption);
    form.Label13->setText(QStringLiteral("Version 7.0 (2007)"));
    form.Label13->grab();
    EXPECT_EQ(form.Label13->toolTip(), QString());
}

TEST_F(Form1Test, LevelUpAtOneBillionResetsTheMoneyOncePerTick) {
    const LevelUpCase cases[] = {
        {999999999.99, false, "Money: \u00A3999,999,999.99"},
        {1000000000, true, "Money: \u00A325,000"},
        {5e12, true, "Money: \u00A325,000"},
        {5000, false, "Money: \u00A35,000"},
    };
    int opened = 0;
    form.SetOpener(shell::SmallWindow::EliteHorse, [&] { ++opened; });
    for (const auto& c : cases) {
        game.Money = c.money;
        game.Level = 3;
        opened = 0;
        form.Timer1_Timer();
        EXPECT_EQ(game.Level, c.levelsUp ? 4 : 3) << c.money;
        EXPECT_EQ(opened, c.levelsUp ? 1 : 0) << c.money;
        EXPECT_EQ(form.Label11->text(), QString::fromUtf8(c.line));
    }
}

TEST_F(Form1Test, NavigationBringsOneScreenToTheFront) {
    form.Command4->click();
    EXPECT_EQ(form.FrontPanel(), Panel::Stables);
    EXPECT_FALSE(form.PanelBox(Panel::Tracks).isVisibleTo(&form));
    form.Command2->click();
    EXPECT_EQ(form.FrontPanel(), Panel::Market);
    form.Command8->click();
    EXPECT_EQ(form.FrontPanel(), Panel::Tracks);
    form.new_->trigger();
    EXPECT_EQ(form.FrontPanel(), Panel::NewGamey);
}

TEST_F(Form1Test, LayoutFollowsTheTwipsTable) {
    const std::tuple<const char*, QRect> cases[] = {
        {"Notice", QRect(0, 0, 681, 23)},      {"Label11", QRect(8, 296, 305, 25)},
        {"Label13", QRect(8, 320, 297, 17)},   {"Command8", QRect(320, 304, 113, 33)},
        {"Command4", QRect(440, 304, 113, 33)}, {"Command2", QRect(560, 304, 113, 33)},
        {"Tracks", QRect(0, 16, 681, 273)},    {"Stables", QRect(0, 24, 681, 265)},
        {"Picture8", QRect(8, 24, 681, 265)},
    };
    for (const auto& [name, rect] : cases) {
        auto* widget = form.findChild<QWidget*>(name);
        ASSERT_NE(widget, nullptr) << name;
        EXPECT_EQ(widget->geometry(), rect) << name;
    }
    EXPECT_EQ(form.Client->size(), QSize(680, 343));
    EXPECT_EQ(form.Label13->text(), "Version 7.0 (2007)");
    EXPECT_EQ(form.windowTitle(), "Trotwick - Kestrane Central");
}

TEST_F(Form1Test, TimersHaveTheirIntervalsAndStartOnlyWhenLoadEnds) {
    const std::tuple<const char*, int, bool> cases[] = {
        {"NoticeTim", 1000, true}, {"Timer1", 1000, true},  {"LiveUpdate", 10000, false},
        {"MoveHorses", 50, false}, {"HorseMover", 50, false}, {"Baby", 0, false},
        {"SpeedTimer", 1000, false}, {"StamTimer", 1000, false}, {"Timer4", 500, true},
        {"Timer5", 500, true},     {"LANrace", 50, false},  {"PayEm", 1000, false},
        {"Timer2", 1000, true},    {"RandInterval", 1000, false}, {"Connecti", 500, true},
    };
    for (const auto& [name, interval, enabled] : cases) {
        EXPECT_EQ(form.Timer(name).Interval(), interval) << name;
        EXPECT_FALSE(form.Timer(name).Enabled()) << name;
    }
    form.EnableDesignTimeTimers();
    for (const auto& [name, interval, enabled] : cases) EXPECT_EQ(form.Timer(name).Enabled(), enabled) << name;
}

TEST_F(Form1Test, MenusHoldGameAndHelpWithTheirKeys) {
    EXPECT_EQ(form.fil->title(), "&Game");
    EXPECT_EQ(form.new_->text(), "&New Game");
    EXPECT_EQ(form.Save->text(), "&Save Game");
    EXPECT_EQ(form.exit_->text(), "&Quit");
    EXPECT_EQ(form.help->title(), "&Help");
    EXPECT_EQ(QKeySequence::mnemonic(form.fil->title()), QKeySequence(Qt::ALT | Qt::Key_G));
    EXPECT_EQ(QKeySequence::mnemonic(form.help->title()), QKeySequence(Qt::ALT | Qt::Key_H));
    int about = 0;
    form.SetOpener(shell::SmallWindow::About, [&] { ++about; });
    form.ab->trigger();
    EXPECT_EQ(about, 1);
    form.ShowLeaderBoard();  // no window installed yet: nothing happens
}

TEST_F(Form1Test, TheWindowKeepsItsDesignedSize) {
    form.show();
    const QSize designed = form.size();
    EXPECT_EQ(form.centralWidget()->size(), QSize(platform::Pixels(10200), platform::Pixels(5145)));
    form.showMaximized();
    EXPECT_EQ(form.size(), designed);
    form.resize(designed / 2);
    EXPECT_EQ(form.size(), designed);
    EXPECT_EQ(form.minimumSize(), form.maximumSize());
}

TEST_F(Form1Test, PictureOfTheMainWindow) {
    form.PaintBackgrounds();
    game.Money = 5000;
    form.UpdateMoneyLine();
    form.ShowNotice("Welcome To Trotwick");
    testing_support::SaveScreenshot(form, "main-window");
    form.StableTree->AddNode("STUD0", "Happy Beauty", 3);
    form.StableTree->AddNode("MAIR1", "Soft Honey", 20);
    form.Command4_Click();
    testing_support::SaveScreenshot(form, "stables-empty-card");
    form.Command6_Click();
    testing_support::SaveScreenshot(form, "sell-question");
}

}  // namespace
