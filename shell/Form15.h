#pragma once

#include <QWidget>
#include <functional>

namespace platform {
class PictureBox;
class Timer;
}  // namespace platform

namespace shell {

// The splash window: one picture, and a 2-second timer that shows the main
// window (which runs the start-up) and closes the splash. A click, a key or
// closing the splash starts the game at once; either way the start-up runs
// once.
class Form15 : public QWidget {
    Q_OBJECT
public:
    // `showMainWindow` shows Form1, running its start-up.
    explicit Form15(std::function<void()> showMainWindow, QWidget* parent = nullptr);
    ~Form15() override;

    void Timer1_Timer();
    platform::Timer& Timer1() const { return *timer1_; }
    bool Done() const { return done_; }

    platform::PictureBox* Picture1 = nullptr;

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    bool StartGame();

    std::function<void()> showMainWindow_;
    platform::Timer* timer1_ = nullptr;
    bool done_ = false;
};

}  // namespace shell
