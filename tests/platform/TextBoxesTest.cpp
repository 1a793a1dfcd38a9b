// The game's text boxes: a paste from an empty clipboard, and characters the
// game's text cannot hold.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QInputDialog>
#include <QLineEdit>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPointer>
#include <QTest>
#include <QTextEdit>
#include <QTimer>

#include "platform/GameTextValidator.h"
#include "platform/PasteGuard.h"
#include "platform/QtDialogs.h"

namespace {

// While nothing has been copied, the X11 clipboard offers a source without
// a single format.
void CopyNothing() { QGuiApplication::clipboard()->setMimeData(new QMimeData); }

void Copy(const QString& text) {
    auto* data = new QMimeData;
    data->setText(text);
    QGuiApplication::clipboard()->setMimeData(data);
}

// Types the text as a keyboard would, one character per key.
void Type(QWidget* box, const QString& text) {
    for (const char32_t c : text.toUcs4()) {
        QTest::sendKeyEvent(QTest::Click, box, Qt::Key_unknown, QString::fromUcs4(&c, 1), Qt::NoModifier);
    }
}

template <class Box>
void PasteEveryWay(Box& box) {
    box.paste();
    QTest::keyClick(&box, Qt::Key_V, Qt::ControlModifier);
    QTest::keyClick(&box, Qt::Key_Insert, Qt::ShiftModifier);
    QMimeData nothing;
    box.setFocus();
    // A drop of nothing is refused before it is let in.
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &nothing, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(box.viewport(), &enter);
    EXPECT_FALSE(enter.isAccepted());
}

template <class Box>
void GuardedBoxTakesRealPastesOnly() {
    platform::PasteGuarded<Box> box;
    box.setPlainText(QStringLiteral("kept"));
    box.moveCursor(QTextCursor::End);
    CopyNothing();
    PasteEveryWay(box);
    EXPECT_EQ(box.toPlainText(), "kept");
    EXPECT_FALSE(box.canPaste());

    Copy(QStringLiteral(" and more"));
    EXPECT_TRUE(box.canPaste());
    box.paste();
    EXPECT_EQ(box.toPlainText(), "kept and more");
}

TEST(PasteGuard, AMultiLineBoxTakesNothingFromAnEmptyClipboardAndTakesARealPaste) {
    GuardedBoxTakesRealPastesOnly<QPlainTextEdit>();
    GuardedBoxTakesRealPastesOnly<QTextEdit>();
}

TEST(PasteGuard, AOneLineBoxNeedsNoGuard) {
    QLineEdit box(QStringLiteral("kept"));
    CopyNothing();
    box.paste();
    QTest::keyClick(&box, Qt::Key_V, Qt::ControlModifier);
    QTest::keyClick(&box, Qt::Key_Insert, Qt::ShiftModifier);
    EXPECT_EQ(box.text(), "kept");
}

TEST(GameTextValidator, ABoxRefusesWhatTheGameTextCannotHold) {
    QLineEdit box;
    platform::GameTextValidator::Guard(box);
    // Typed: the letters Windows-1252 holds go in (£, €, é, ß), the others not.
    Type(&box, QString::fromUtf8("Caf\u00E9 \u00A3\u20AC\u00DF \u0150\u03A9\U0001F40E!"));
    EXPECT_EQ(box.text(), QString::fromUtf8("Caf\u00E9 \u00A3\u20AC\u00DF !"));
    // Pasted: a text holding one of them is refused whole, as it would not
    // come back as typed.
    box.clear();
    Copy(QString::fromUtf8("Zo\u00EB \u0150rs"));
    box.paste();
    EXPECT_EQ(box.text(), "");
    Copy(QString::fromUtf8("Zo\u00EB Star"));
    box.paste();
    EXPECT_EQ(box.text(), QString::fromUtf8("Zo\u00EB Star"));

    EXPECT_TRUE(platform::FitsGameText(QString::fromUtf8("\u20AC \u00FF ?")));
    EXPECT_FALSE(platform::FitsGameText(QString::fromUtf8("\u0100")));
}

TEST(GameTextValidator, AnInputBoxRefusesItToo) {
    platform::QtDialogs dialogs;
    bool typed = false;
    // Typed into the box once it is up, then OK.
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QInputDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        auto* line = box->findChild<QLineEdit*>();
        ASSERT_NE(line, nullptr);
        line->clear();
        Type(line, QString::fromUtf8("bj\u00F6rn\u0142"));
        typed = true;
        box->accept();
    });
    QTimer::singleShot(5000, [] {  // a deadline: never wait for ever
        if (QWidget* box = QApplication::activeModalWidget()) box->close();
    });
    const auto answer = dialogs.InputBox("Enter a the new contact's username:", "Add New Contact", "");
    EXPECT_TRUE(typed);
    ASSERT_TRUE(answer.has_value());
    EXPECT_EQ(*answer, "bj\xF6rn");
}

}  // namespace
