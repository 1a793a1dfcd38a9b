// `cmake --install` into a fresh prefix, as a packager or a player building
// from source would run it.
#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>

#include "resources/Pictures.h"

namespace {

struct Outcome {
    bool finished = false;
    int exitCode = -1;
    QString output;
};

Outcome RunProgram(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    Outcome run;
    run.finished = process.waitForFinished(120000);
    if (!run.finished) process.kill();
    run.exitCode = process.exitCode();
    run.output = QString::fromLocal8Bit(process.readAll());
    return run;
}

bool HasColour(const QImage& image) {
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (qAlpha(image.pixel(x, y)) != 0) return true;
        }
    }
    return false;
}

TEST(Install, PutsTheGameItsDesktopEntryAndItsIconsUnderThePrefix) {
    QTemporaryDir prefix;
    ASSERT_TRUE(prefix.isValid());
    const Outcome install =
        RunProgram(QStringLiteral(CMAKE_COMMAND), {"--install", QStringLiteral(BUILD_FOLDER), "--prefix", prefix.path()});
    ASSERT_TRUE(install.finished);
    ASSERT_EQ(install.exitCode, 0) << install.output.toStdString();
    const QDir root(prefix.path());

    const QFileInfo game(root.filePath("bin/trotwick"));
    EXPECT_TRUE(game.isFile() && game.isExecutable());
    EXPECT_TRUE(install.output.contains(game.absoluteFilePath())) << install.output.toStdString();

    const QString entry = root.filePath("share/applications/trotwick.desktop");
    ASSERT_TRUE(QFileInfo(entry).isFile());
    EXPECT_TRUE(install.output.contains(entry));
    QSettings desktop(entry, QSettings::IniFormat);
    desktop.beginGroup("Desktop Entry");
    EXPECT_EQ(desktop.value("Exec").toString(), "trotwick");
    EXPECT_EQ(desktop.value("Icon").toString(), "trotwick");
    EXPECT_TRUE(desktop.value("Categories").toStringList().contains("Game"));

    const QString validator = QStandardPaths::findExecutable("desktop-file-validate");
    ASSERT_FALSE(validator.isEmpty()) << "desktop-file-validate is missing: tools/setup-debian installs it";
    const Outcome validate = RunProgram(validator, {entry});
    EXPECT_EQ(validate.exitCode, 0);
    EXPECT_EQ(validate.output.trimmed(), "") << "no errors, no warnings, no hints";

    for (int side : resources::kIconSizes) {
        SCOPED_TRACE(side);
        const QString icon = root.filePath(QStringLiteral("share/icons/hicolor/%1x%1/apps/trotwick.png").arg(side));
        EXPECT_TRUE(install.output.contains(icon));
        const QImage image(icon);
        ASSERT_FALSE(image.isNull());
        EXPECT_EQ(image.size(), QSize(side, side));
        EXPECT_TRUE(image.hasAlphaChannel());
        EXPECT_TRUE(HasColour(image));
    }
}

}  // namespace
