#pragma once

#include <string>

#include "savegame/SavedGame.h"
#include "shell/FormWindow.h"

class QLabel;
class QPlainTextEdit;

namespace shell {

// The save and load windows' common body: a heading, the warning not to stop
// the program, and the step log Text1, which always shows its last line.
// The window repaints itself after each step (the steps run inside one
// handler, so no event would paint it in between). The player cannot close
// it: it closes when its steps are done.
class LogWindow : public FormWindow, public savegame::StepLog {
    Q_OBJECT
public:
    // Paints the background.
    void Form_Load();

    void ShowLog(const std::string& text) override;
    // The caret to the end of the log, nothing selected: the last line shows.
    void ScrollLogToEnd();

    QLabel* Label12 = nullptr;
    QLabel* Label1 = nullptr;
    QPlainTextEdit* Text1 = nullptr;

signals:
    // After every change of the log, once the window has repainted.
    void LogShown();
    // The window has been painted on the screen for the first time (raised
    // just after that paint): from now on its repaints reach the screen.
    void Shown();

protected:
    LogWindow(QWidget* owner, const char* name, const QString& caption, const QString& heading);
    void paintEvent(QPaintEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    bool painted_ = false;
};

// The save window.
class Form3 final : public LogWindow {
    Q_OBJECT
public:
    explicit Form3(QWidget* owner);
};

// The load window.
class Form4 final : public LogWindow {
    Q_OBJECT
public:
    explicit Form4(QWidget* owner);
};

}  // namespace shell
