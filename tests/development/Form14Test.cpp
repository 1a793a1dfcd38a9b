#include <gtest/gtest.h>

#include <QAction>
#include <QListWidget>
#include <QMenu>

#include "development/Form14.h"
#include "development/LabWindows.h"
#include "shell/Form1.h"
#include "tests/support/RecordingDialogs.h"
#include "tests/support/Screenshots.h"

namespace {

class Form14Test : public ::testing::Test {
protected:
    core::Game game;
    testing_support::RecordingDialogs dialogs;
    shell::Form1 form{game, dialogs};
    development::LabWindows& lab = development::LabWindows::Install(form);
};

TEST_F(Form14Test, TheGameMenuOpensTheTwentySerums) {
    ASSERT_TRUE(form.GameMenu()->actions().contains(lab.geneCollection));
    EXPECT_EQ(lab.geneCollection->text(), "Gene &Collection");
    lab.geneCollection->trigger();
    development::Form14* window = lab.GeneCollection();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->windowTitle(), "Gene Collection");

    const std::pair<const char*, const char*> expected[] = {
        {"S1", "Bone Strength Serum"},  {"S2", "Muscle Density Serum"}, {"S3", "Muscle Strength Serum"},
        {"S4", "Small Hoof Serum"},     {"S5", "Long Lengs Serum"},     {"S6", "Hollow Bone Serum"},
        {"S7", "Rhino Skin Serum"},     {"S8", "Aggression Serum"},     {"S9", "50 Inch Serum"},
        {"S10", "Bone Strength Serum"}, {"S11", "Bone Strength Serum"}, {"S12", "Bone Strength Serum"},
        {"S13", "Bone Strength Serum"}, {"S14", "Bone Strength Serum"}, {"S15", "Bone Strength Serum"},
        {"S16", ""},                    {"S17", "Dynamic Body Serum"},  {"S18", "Albino Serum"},
        {"S19", "Brambly's Secret Formulae"}, {"S20", "Serum X"},
    };
    ASSERT_EQ(window->Genes->count(), 20);
    for (int row = 0; row < 20; ++row) {
        const auto& [key, text] = expected[row];
        EXPECT_EQ(window->Genes->item(row)->text().toStdString(), text) << key;
        EXPECT_EQ(window->GeneText(key), std::string(text)) << key;
        EXPECT_TRUE(window->Genes->item(row)->icon().isNull()) << key;
    }
    EXPECT_EQ(window->GeneText("S12"), "Bone Strength Serum");
    EXPECT_EQ(window->GeneText("S16"), "");
    EXPECT_EQ(window->GeneText("S21"), std::nullopt);
    testing_support::SaveScreenshot(*window, "form14-gene-collection");
}

TEST_F(Form14Test, OneWindowThatIsFilledOncePerLoad) {
    form.Open(shell::SmallWindow::GeneCollection);
    development::Form14* first = lab.GeneCollection();
    form.Open(shell::SmallWindow::GeneCollection);
    EXPECT_EQ(lab.GeneCollection(), first);
    EXPECT_EQ(first->Genes->count(), 20);

    first->close();
    EXPECT_EQ(lab.GeneCollection(), nullptr);
    form.Open(shell::SmallWindow::GeneCollection);
    ASSERT_NE(lab.GeneCollection(), nullptr);
    EXPECT_EQ(lab.GeneCollection()->Genes->count(), 20);
}

}  // namespace
